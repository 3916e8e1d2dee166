// The high-speed comparators.
#include "modules/hscmp.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

enum HscmpRegister : size_t { kCr0 = 0, kCr1 = 1, kFpr = 2, kScr = 3, kPcr = 4 };

const RegisterDecl kHscmpRegisters[] = {
    {"CR0_INIT", 0x00, DW16}, {"CR1_INIT", 0x00, DW16}, {"FPR_INIT", 0x00, DW16},
    {"SCR_INIT", 0x00, DW16}, {"PCR_INIT", 0x00, DW16},
};

constexpr const char* kEnableKey = "Enable Analog Comparator";
constexpr const char* kPositiveKey = "Positive Comparator Input Source:";
constexpr const char* kNegativeKey = "Negative Comparator Input Source:";
constexpr const char* kWindowLinkKey = "Sample / Window Input Enable";
constexpr const char* kLatencyKey = "Maximum output latency:";
constexpr const char* kNoteKey = "user slot note";

// The source field values that take the 12-bit converter and the 5-bit reference (Dorn).
constexpr uint32_t kPositiveReference = 0;
constexpr uint32_t kPositiveDac = 1;
constexpr uint32_t kPositiveCmpRef = 3;
constexpr uint32_t kNegativeDac = 3;

// The crossbar output that carries comparator A's window / sample signal; B and C follow.
constexpr int kFirstWindowOutput = 9;

const HscmpVariant kVariants[] = {
    {.name = "Dorn",
     .partTest = kTestDorn,
     .dornInputs = true,
     .filterCaption = "Comparator Output Filter (not applied to internal PWM Fault inputs, if "
                      "routed in XBAR)"},
    {.name = "Brel",
     .filterCaption = "Comparator Output Filter (not applied to internal PWM Fault inputs, if "
                      "routed in SYS)",
     .userSlotNote = true},
};

// "HSCMP_1" -> 1, "HSCMP_B" -> 1; 0 for a name without such a suffix.
int InstanceOf(const std::string& name) {
  if (name.size() < 2 || name[name.size() - 2] != '_') return 0;
  const unsigned char last = static_cast<unsigned char>(name.back());
  if (std::isdigit(last)) return last - '0';
  if (std::isupper(last)) return last - 'A';
  return 0;
}

// The words of a pin-signal name: "ANA4_CMP1_P2" -> ANA4, CMP1, P2.
std::vector<std::string> Words(const std::string& signal) {
  std::vector<std::string> words(1);
  for (char c : signal) {
    if (c == '_')
      words.emplace_back();
    else
      words.back() += c;
  }
  return words;
}

// The partner's own name for a link text; `fallback` when it is no module.
template <class Capability>
std::string PartnerName(const Capability* partner, const char* fallback) {
  const auto* module = dynamic_cast<const CModuleBase*>(partner);
  return module ? module->GetPrefix() : fallback;
}

}  // namespace

CpmHSCMP::CpmHSCMP(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const HscmpVariant> CpmHSCMP::Variants() { return kVariants; }

std::vector<std::string> CpmHSCMP::PositiveSources(const HscmpVariant& variant, int index) {
  if (variant.dornInputs)
    return {Format("P0 (5-bit VREF%c)", 'A' + index), "P1 (12-bit DAC)", "P2", "P3 (CMP_REF)"};
  // The second comparator of the Brel group has no fourth positive input.
  if (index == 1) return {"P1", "P2", "P3"};
  return {"P1", "P2", "P3", "P4"};
}

std::vector<std::string> CpmHSCMP::NegativeSources(const HscmpVariant& variant) {
  if (variant.dornInputs) return {"M0", "M1", "M2", "M3 (12-bit DAC)"};
  return {"M1", "M2", "M3"};
}

void CpmHSCMP::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<HscmpVariant>(kVariants, doc, &HscmpVariant::partTest);
  index_ = InstanceOf(GetPrefix());
}

void CpmHSCMP::DeclareRegisters() { InitRegisters(kHscmpRegisters, std::size(kHscmpRegisters)); }

void CpmHSCMP::DeclarePage(PageDeclaration& d) {
  const char* const cr0 = "CR0_INIT";
  const char* const cr1 = "CR1_INIT";
  const char* const scr = "SCR_INIT";
  SetHasPins(true);

  d.Group("Comparator");
  d.Box({.caption = kEnableKey, .field = {.reg = cr1, .low = 0}, .comment = kState});
  d.List({.caption = kPositiveKey,
          .field = {.reg = cr0, .low = 2, .high = 3},
          .items = PositiveSources(*variant_, index_),
          .width = 160});
  d.List({.caption = kNegativeKey,
          .field = {.reg = cr0, .low = 0, .high = 1},
          .items = NegativeSources(*variant_),
          .width = 160});
  d.Radio({.caption = "Normal. Output High when Positive Input higher than Negative Input",
           .field = {.reg = cr1, .low = 3, .inverted = true},
           .label = "Ouptut Polarity: Normal. Output High when Positive Input higher than "
                    "Negative Input",
           .groupStart = true});
  d.Radio({.caption = "Inverted. Output High when Negative Input higher than Positive Input",
           .field = {.reg = cr1, .low = 3},
           .label = "Ouptut Polarity: Inverted. Output High when Negative Input higher than "
                    "Positive Input"});
  d.List({.caption = "Power mode: ",
          .field = {.reg = cr1, .low = 4},
          .items = {"Power Saving", "High Speed "},
          .width = 160});
  d.List({.caption = "Select hysteresis Level:",
          .field = {.reg = scr, .low = 6, .high = 7},
          .items = {"1", "2", "3", "4"},
          .width = 160});
  d.Box({.caption = "Enable comparator output pin (CMPO)",
         .field = {.reg = cr1, .low = 1},
         .comment = kState});
  d.Box({.caption = "Unfiltered comparator output (Set CMPO equal to COUTA)",
         .field = {.reg = cr1, .low = 2},
         .comment = kState});
  d.PinWarning();

  d.Group(variant_->filterCaption);
  std::vector<std::string> samples = {"Disabled"};
  for (int n = 1; n <= 7; ++n) samples.push_back(Format("%d", n));
  d.List({.caption = "Consecutive samples required to agree:",
          .field = {.reg = cr0, .low = 4, .high = 6},
          .items = samples,
          .label = "Input Filter: Consecutive Samples Required to Agree",
          .width = 100});
  d.Value({.caption = "Output signal sampling period (0 = filter off):",
           .field = {.reg = "FPR_INIT", .low = 0, .high = 7},
           .label = "Input Filter: Input Signal Sampling [timer clocks] ",
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 255},
           .width = 100});
  d.Box({.caption = "Enable Windowing mode", .field = {.reg = cr1, .low = 6}, .comment = kState});
  d.Box({.caption = "Enable Sampling mode", .field = {.reg = cr1, .low = 7}, .comment = kState});
  d.Link({.caption = "Sample / Window Input Enable", .key = kWindowLinkKey, .width = 360});
  d.Display({.caption = kLatencyKey, .width = 120});

  d.NextBand();
  d.Group("Interrupts");
  d.Box({.caption = "Falling Edge Interrupt",
         .field = {.reg = scr, .low = 3},
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Rising Edge Interrupt",
         .field = {.reg = scr, .low = 4},
         .label = "Interrupts:",
         .comment = kState,
         .newRow = false});
  d.List({.caption = "Stop mode Interrupt sensitive:",
          .field = {.reg = scr, .low = 5},
          .items = {"Level", "Edge"},
          .width = 100});
  if (variant_->userSlotNote) d.Link({.key = kNoteKey, .shown = false});
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmHSCMP::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmHSCMP::Field(size_t reg, int low, int high) const {
  return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmHSCMP::IsEnabled() const { return IsSelected() && Field(kCr1, 0, 0) != 0; }

bool CpmHSCMP::IsWindowingOrSampling() const {
  return Field(kCr1, 6, 6) != 0 || Field(kCr1, 7, 7) != 0;
}

double CpmHSCMP::LatencySeconds() const {
  const double bus = GetBusClockMHz() * 1e6;
  if (!(bus > 0)) return 0;  // no clock to count in (also a clock that is no number)
  const double t = 1 / bus;
  const bool windowing = Field(kCr1, 6, 6) != 0;
  const bool sampling = Field(kCr1, 7, 7) != 0;
  const double c = Field(kCr0, 4, 6);  // consecutive samples
  const double d = Field(kFpr, 0, 7);  // sampling period in bus clocks
  // In sampling mode the output is taken at the window signal: no filter delay.
  if (sampling) return 0;
  if (windowing) return c == 0 || d == 0 ? t : c * d * t + 2 * t;
  if (c == 0 || d == 0) return 0;
  return c == 1 ? 2 * t : t + c * d * t;
}

void CpmHSCMP::UpdateValues() { ShowTime(ControlIdOf(kLatencyKey), LatencySeconds(), true, "???"); }

void CpmHSCMP::UpdateWindowLink() {
  Page* page = GetPage();
  const uint32_t id = ControlIdOf(kWindowLinkKey);
  if (!page || !id) return;
  ModuleContext* context = GetContext();
  std::string link;
  std::string name;
  if (variant_->dornInputs) {
    if (const CrossbarOutputSelector* xbar = FindCapability<CrossbarOutputSelector>(context)) {
      link = xbar->OutputLink(kFirstWindowOutput + index_);
      name = PartnerName(xbar, "XBAR");
    }
  } else if (const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(context)) {
    link = gate->OptionLink(Format("C%d_WS:", index_));
    name = PartnerName(gate, "SYS");
  }
  const std::string see =
      link.empty() ? std::string() : " (see <A HREF=\"" + link + "\">" + name + "</A>)";
  page->SetText(id, "Sample / Window Input Enable" + see);
}

void CpmHSCMP::UpdateEnables() {
  decl_.ApplyRules();
  UpdateWindowLink();
  Page* page = GetPage();
  if (!page || !variant_->userSlotNote) return;
  const uint32_t id = ControlIdOf(kNoteKey);
  const std::string note = UserSlotNote(*this, 0);
  if (!note.empty()) page->SetText(id, note);
  page->SetShown(id, !note.empty());
}

void CpmHSCMP::CheckWarnings() {
  CModule::CheckWarnings();
  if (!variant_->dornInputs) return;
  ModuleContext* context = GetContext();
  const bool enabled = IsEnabled();
  const uint32_t positive = Field(kCr0, 2, 3);
  const uint32_t negative = Field(kCr0, 0, 1);
  const std::string self = GetPrefix();

  // A converter or reference that does not exist in the project is not reported.
  bool dacOff = false;
  for (const DigitalAnalogConverter* dac : FindCapabilities<DigitalAnalogConverter>(context))
    if (dac->DacIndex() == 0) dacOff = !dac->IsPoweredUp();
  bool referenceOff = false;
  for (const VoltageReference* reference : FindCapabilities<VoltageReference>(context))
    if (reference->ReferenceIndex() == index_) referenceOff = !reference->IsReferenceEnabled();

  const std::string dacMessage =
      Format("%s module is using DAC module output and DAC module is not enabled.", self.c_str());
  const char letter = static_cast<char>('A' + index_);
  const std::string referenceMessage =
      Format("%s module is using VREF_%c module output and VREF_%c module is not enabled.",
             self.c_str(), letter, letter);

  std::string positiveMessage;
  if (enabled && positive == kPositiveDac && dacOff) positiveMessage = dacMessage;
  if (enabled && positive == kPositiveReference && referenceOff) positiveMessage = referenceMessage;
  const bool negativeSet = enabled && negative == kNegativeDac && dacOff;
  SetWarning(ControlIdOf(kPositiveKey, true), !positiveMessage.empty(), kPositiveKey,
             positiveMessage);
  SetWarning(ControlIdOf(kNegativeKey, true), negativeSet, kNegativeKey,
             negativeSet ? dacMessage : std::string());
}

bool CpmHSCMP::IsSignalUsed(const std::string& signal) const {
  if (!IsEnabled()) return false;
  // Signal names join the pin's functions with "_": "ANA4_CMP1_P2", "CMP_REF", "CMPA_O".
  // Input digits count from 1 on the Brel group and from 0 on the Dorn group.
  const uint32_t first = variant_->dornInputs ? 0 : 1;
  for (const std::string& word : Words(signal)) {
    if (word.size() == 2 && (word[0] == 'P' || word[0] == 'M') &&
        std::isdigit(static_cast<unsigned char>(word[1]))) {
      const uint32_t digit = static_cast<uint32_t>(word[1] - '0');
      if (digit < first) return false;
      const uint32_t source = word[0] == 'P' ? Field(kCr0, 2, 3) : Field(kCr0, 0, 1);
      return source == digit - first;
    }
    if (word == "OUT" || word == "O") return Field(kCr1, 1, 1) != 0;
    if (word == "REF") return Field(kCr0, 2, 3) == kPositiveCmpRef;
  }
  return true;
}

void RegisterHscmpModuleKinds(ModuleFactory& factory) { factory.Register<CpmHSCMP>("HSCMP"); }

}  // namespace tarq

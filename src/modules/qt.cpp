// The quad timers.
#include "modules/qt.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

enum QtRegister : size_t {
  kCtrl = 0, kScr, kCmp1, kCmp2, kLoad, kCntr, kCmpld1, kCmpld2, kComscr, kFilt, kEnbl
};

constexpr const char* kCountModeKey = "Count mode";
constexpr const char* kPrimaryKey = "Primary source";
constexpr const char* kSecondaryKey = "Secondary";
constexpr const char* kDirectionKey = "Count direction:";
constexpr const char* kInputPolarityKey = "Input polarity";
constexpr const char* kOutputEnableKey = "Output enable (OFLAG to pin)";
constexpr const char* kFrequencyKey = "Frequency:";
constexpr const char* kLatencyKey = "Filter latency:";
constexpr const char* kLatencyTimeKey = "Filter delay:";
constexpr const char* kPrimaryNoteKey = "primary source note";
constexpr const char* kSecondaryNoteKey = "secondary source note";
constexpr const char* kDecoderNoteKey = "decoder collision note";
constexpr const char* kUserNoteKey = "user slot note";
constexpr const char* kFilterClockKey = "filter clock";
constexpr const char* kEnableKey =
    "Timer Channel Enabled (counter starts counting immediatelly after initialized)";
constexpr const char* kReloadTriggerKey = "Reload counter on 2nd trigger";
constexpr const char* kReloadCaptureKey = "Reload counter on capture";

const RegisterDecl kQtRegisters[] = {
    {"CTRL_INIT", 0x0000, DW16 | NODEFAULT}, {"SCR_INIT", 0x0000, DW16},
    {"CMP1_INIT", 0x0000, DW16},             {"CMP2_INIT", 0x0000, DW16},
    {"LOAD_INIT", 0x0000, DW16},             {"CNTR_INIT", 0x0000, DW16},
    {"CMPLD1_INIT", 0x0000, DW16},           {"CMPLD2_INIT", 0x0000, DW16},
    {"COMSCR_INIT", 0x0000, DW16},           {"FILT_INIT", 0x0000, DW16},
    {"ENBL_INIT", 0x000F, DW16},
};

using Routing = QtVariant::Routing;
const QtVariant kVariants[] = {
    {.name = "Classic", .partTests = {kTestClassic, kTestCvx06}, .registerCount = 6},
    {.name = "Tebo",
     .partTests = {kTestTebo},
     .registerCount = 9,
     .preload = true,
     .highSpeedA = "Timer clock sourced from HS_PERF (3x System Clock)",
     .highSpeedB = "Timer clock sourced from HS_PERF (3x System Clock)",
     .routing = Routing::Tebo},
    {.name = "Casp",
     .partTests = {kTestCasp},
     .registerCount = 11,
     .preload = true,
     .filter = true,
     .filterClockLink = true,
     .highSpeedA = "Timer A clock sourced from HS_PERF (3x System Clock)",
     .highSpeedB = "Timer B clock sourced from HS_PERF (3x System Clock)",
     .routing = Routing::Casp},
    {.name = "Brel",
     .partTests = {kTestBrel},
     .registerCount = 11,
     .preload = true,
     .brelOrDorn = true,
     .filter = true,
     .userVectorNote = true,
     .peripheralModes23 = true,
     .highSpeedA = "Timer clock sourced from HS_PERF (3x System Clock)",
     .routing = Routing::Brel},
    {.name = "Dorn",
     .partTests = {kTestDorn},
     .registerCount = 11,
     .preload = true,
     .brelOrDorn = true,
     .reloadControls = true,
     .filter = true,
     .filterClockLink = true,
     .highSpeedA = "Timer A clock sourced from HS_PERF (2x System Clock)",
     .highSpeedB = "Timer B clock sourced from HS_PERF (2x System Clock)",
     .routing = Routing::Dorn},
    {.name = "Later", .registerCount = 9, .preload = true},
};

FieldSpec Bits(const char* reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high};
}
FieldSpec Bit(const char* reg, int bit) { return {.reg = reg, .low = bit}; }

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

}  // namespace

QtInputRecords ParseQtPins(const std::string& text) {
  QtInputRecords records{};
  for (const std::string& rawItem : Split(text, ',')) {
    const std::string item = Trim(rawItem);
    const size_t colon = item.find(':');
    if (colon == std::string::npos) continue;
    int input = -1;
    if (std::sscanf(item.substr(0, colon).c_str(), "%i", &input) != 1) continue;
    if (input < 0 || input > 3) continue;
    QtInputRecord& record = records[static_cast<size_t>(input)];
    record.present = true;
    const std::vector<std::string> alternatives = Split(item.substr(colon + 1), '|');
    for (size_t i = 0; i < alternatives.size(); ++i) {
      const std::string alternative = Trim(alternatives[i]);
      char letter = 0;
      int bit = -1;
      char rest = 0;
      if (std::sscanf(alternative.c_str(), "GPIO_%c%i%c", &letter, &bit, &rest) == 2) {
        // Only four alternatives fit a record; further ones are ignored.
        if (i < record.alternatives.size() && bit >= 0 && bit < kPinsPerPort &&
            std::isalpha(static_cast<unsigned char>(letter))) {
          record.alternatives[i] = {Format("GPIO_%c", letter), bit};
        }
      } else if (alternative == "PWM_ADC") {
        record.pwm = "PWM";
        record.adc = "ADC";
      } else if (alternative.size() == 9 && alternative.rfind("PWM_ADC_", 0) == 0) {
        record.pwm = Format("PWM_%c", alternative[8]);
        record.adc = Format("ADC_%c", alternative[8]);
      }
    }
  }
  return records;
}

CpmQT::CpmQT(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {
  const std::string& name = GetPrefix();
  if (name.size() >= 2) {
    const unsigned char letter = static_cast<unsigned char>(name[name.size() - 2]);
    group_ = std::isalpha(letter) ? std::toupper(letter) - 'A' : 0;
  }
  // The channel indexes four-entry tables: anything but a digit 0..3 counts as channel 0.
  if (!name.empty() && name.back() >= '0' && name.back() <= '3') channel_ = name.back() - '0';
}

std::span<const QtVariant> CpmQT::Variants() { return kVariants; }

void CpmQT::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<QtVariant>(kVariants, doc, &QtVariant::partTests);
  std::string text;
  inputs_ = GetParameter("PINS", text) ? ParseQtPins(text) : QtInputRecords{};
  decoderName_.clear();
  if (GetParameter("DEC", text)) decoderName_ = Trim(text);
}

void CpmQT::DeclareRegisters() {
  std::vector<RegisterDecl> table(kQtRegisters, kQtRegisters + variant_->registerCount);
  // The channel-enable register is one per group: channel 0 of groups A and B writes it.
  if (table.size() > kEnbl && (group_ > 1 || channel_ != 0))
    table[kEnbl].flags |= DUMMYREG | NOSHOWLIST;
  InitRegisters(table.data(), table.size());
}

std::string CpmQT::SiblingName(int channel) const {
  std::string name = GetPrefix();
  if (!name.empty()) name.back() = static_cast<char>('0' + channel);
  return name;
}

void CpmQT::DeclarePage(PageDeclaration& d) {
  const QtVariant& v = *variant_;
  const char* const ctrl = "CTRL_INIT";
  const char* const scr = "SCR_INIT";
  std::vector<std::string> pins = {"Counter #0 input pin", "Counter #1 input pin",
                                   "Counter #2 input pin", "Counter #3 input pin"};
  std::vector<std::string> sources = pins;
  for (int n = 0; n < 4; ++n) sources.push_back(Format("Counter #%d output", n));
  for (const char* prescaler :
       {"Prescaler (IPB clock/ 1)", "Prescaler (IPB clock/ 2)", "Prescaler (IPB clock/ 4)",
        "Prescaler (IPB clock/  8)", "Prescaler (IPB clock/ 16)", "Prescaler (IPB clock/ 32)",
        "Prescaler (IPB clock/ 64)", "Prescaler (IPB clock/ 128)"})
    sources.push_back(prescaler);

  d.Group("Counter");
  d.List({.caption = kCountModeKey, .field = Bits(ctrl, 13, 15),
          .items = {"Stop mode, no operation",
                    "Counting mode, count rising edges of primary source",
                    "Edge mode, count rising and falling edges of primary source",
                    "Gated mode, count primary source rising edges while second input high active",
                    "Quadrature mode, uses primary and secondary sources",
                    "Signed mode, count primary source rising edges, secondary source is direction",
                    "Triggered mode, edge of secondary source triggers primary count till compare",
                    "Cascaded Counter mode (up/down)"},
          .width = 420});
  d.List({.caption = kPrimaryKey, .field = Bits(ctrl, 9, 12), .items = sources, .width = 200,
          .enabled = [this] { return CountMode() != 0; }});
  d.Link({.caption = "(invalid)", .key = kPrimaryNoteKey, .newRow = false, .shown = false});
  d.List({.caption = kSecondaryKey, .field = Bits(ctrl, 7, 8), .items = pins, .width = 200,
          .enabled = [this] { return SecondaryUsed(); }});
  d.Link({.caption = "(invalid)", .key = kSecondaryNoteKey, .newRow = false, .shown = false});
  d.List({.caption = "Count stop mode", .field = Bit(ctrl, 6),
          .items = {"Count repeatedly", "Count until compare and stop"}, .width = 200});
  d.List({.caption = "Count length:", .field = Bit(ctrl, 5),
          .items = {"Roll over", "Count until compare and reinitialize"}, .width = 200});
  d.List({.caption = kDirectionKey, .field = Bit(ctrl, 4), .items = {"Count up", "Count down"},
          .width = 200, .enabled = [this] { return CountMode() != 7; }});
  d.Box({.caption = "Co-channel initialization (on broadcasted event)", .field = Bit(ctrl, 3),
         .comment = kState});
  d.Display({.caption = kFrequencyKey, .width = 120});
  if (v.filter) {
    d.Box({.caption = kEnableKey, .field = Bit("ENBL_INIT", channel_), .comment = kState,
           .shown = group_ <= 1,
           .makeBinding = [this](RegisterRef reg, const std::string& label) {
             // The enable bits live in channel 0 of the group; this box edits that bit.
             if (channel_ != 0 && GetContext()) {
               if (CModuleBase* first = GetContext()->FindModule(SiblingName(0), {}))
                 if (RegisterRef foreign = RegisterRef::Named(*first, "ENBL_INIT")) reg = foreign;
             }
             auto box = std::make_unique<CSetBit>();
             box->Bind(reg, channel_, false, label);
             return std::unique_ptr<CSetCtrl>(std::move(box));
           }});
  }

  d.Group("Output");
  d.List({.caption = "Output mode", .field = Bits(ctrl, 0, 2),
          .items = {"Asserted while counter is active", "Clear OFLAG output on successful compare",
                    "Set OFLAG output on successful compare",
                    "Toggle OFLAG output on successful compare",
                    "Toggle OFLAG output using alternating compare registers",
                    "Set on compare, cleared secondary source input edge",
                    "Set on compare, cleared on counter rollover",
                    "Enable Gated Clock output while counter is active"},
          .width = 300});
  d.Box({.caption = "Master mode (broadcast compare event)", .field = Bit(scr, 5),
         .comment = kState});
  d.Box({.caption = "Enable external OFLAG force (on broadcasted event)", .field = Bit(scr, 4),
         .comment = kState});
  d.Box({.caption = "Forced OFLAG value", .field = Bit(scr, 3), .comment = kState});
  d.Box({.caption = "Force OFLAG output at startup", .field = Bit(scr, 2), .comment = kState});
  d.List({.caption = "Output polarity", .field = Bit(scr, 1), .items = {"True", "Inverted"},
          .width = 100});
  d.Box({.caption = kOutputEnableKey, .field = Bit(scr, 0), .comment = kState,
         .enabled = [this] { return OutputEnableUsable(); }});
  d.Link({.caption = "(collides)", .key = kDecoderNoteKey, .newRow = false, .shown = false});

  d.Group("Input");
  d.List({.caption = kInputPolarityKey, .field = Bit(scr, 9), .items = {"True", "Inverted"},
          .width = 100, .enabled = [this] { return PrimarySource() < 4; }});
  d.List({.caption = "Input capture mode", .field = Bits(scr, 6, 7),
          .items = {"Capture disabled, Input Edge Flag disabled",
                    "Load capture register on rising edge of secondary input",
                    "Load capture register on falling edge of secondary input",
                    "Load capture register on both edges of secondary input"},
          .width = 300});
  if (v.filter) {
    const bool casp = v.routing == Routing::Casp;
    std::vector<std::string> samples;
    for (int n = 3; n <= 10; ++n) samples.push_back(Format("%d", n));
    d.Value({.caption = "Input signal sampling period (0 = filter off):",
             .field = Bits("FILT_INIT", 0, 7),
             .label = "Input Filter: Input Signal Sampling [timer clocks] ",
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 255}, .width = 50});
    d.Link({.caption = v.filterClockLink ? "timer clocks" : "timer clocks", .key = kFilterClockKey,
            .newRow = false});
    (void)casp;
    d.List({.caption = "Consecutive samples required to agree:", .field = Bits("FILT_INIT", 8, 10),
            .items = samples, .label = "Input Filter: Consecutive Samples Required to Agree",
            .width = 60});
    d.Display({.caption = kLatencyKey, .width = 80});
    d.Display({.caption = kLatencyTimeKey, .width = 80, .newRow = false});
  }

  d.NextBand();
  d.Group("Values");
  const NumberSpec number{.hex = true, .zeroAllowed = true};
  d.Value({.caption = "Compare value 1:", .field = Bits("CMP1_INIT", 0, 15), .number = number,
           .width = 80});
  d.Value({.caption = "Compare value 2:", .field = Bits("CMP2_INIT", 0, 15), .number = number,
           .width = 80});
  d.Value({.caption = "Load value:", .field = Bits("LOAD_INIT", 0, 15), .number = number,
           .width = 80});
  d.Value({.caption = "Counter init. value:", .field = Bits("CNTR_INIT", 0, 15), .number = number,
           .width = 80});
  if (v.registerCount > kComscr) {
    const auto preload = [this] { return variant_->preload; };
    const std::vector<std::string> when = {"Never", "Upon successful compare in CMP1",
                                           "Upon successful compare in CMP2"};
    d.Group("Compare Preload");
    d.List({.caption = "1:", .key = "Preload 1", .field = Bits("COMSCR_INIT", 0, 1), .items = when,
            .label = "Preload Control: 1", .width = 220, .enabled = preload});
    d.Value({.caption = "Load value", .key = "Preload 1 value", .field = Bits("CMPLD1_INIT", 0, 15),
             .label = "Load Reg", .number = number, .width = 80, .newRow = false,
             .enabled = preload});
    d.List({.caption = "2:", .key = "Preload 2", .field = Bits("COMSCR_INIT", 2, 3), .items = when,
            .label = "Preload Control: 2", .width = 220, .enabled = preload});
    d.Value({.caption = "Load value", .key = "Preload 2 value", .field = Bits("CMPLD2_INIT", 0, 15),
             .label = "Load Reg", .number = number, .width = 80, .newRow = false,
             .enabled = preload});
    const auto brelOrDorn = [this] { return variant_->brelOrDorn; };
    const auto reloads = [this] { return variant_->reloadControls; };
    d.Box({.caption = kReloadTriggerKey, .field = Bit("COMSCR_INIT", 10),
           .label = "Triggered Count Initialization Control", .comment = kState,
           .shown = v.brelOrDorn,
           .enabled = [this] { return variant_->reloadControls && CountMode() == 6; }});
    d.Box({.caption = kReloadCaptureKey, .field = Bit("COMSCR_INIT", 11),
           .label = "Reload on Capture", .comment = kState, .shown = v.brelOrDorn,
           .enabled = reloads});
    d.Box({.caption = "Enable alternative load", .field = Bit("COMSCR_INIT", 12),
           .label = "Alternative Load", .comment = kState, .shown = v.brelOrDorn,
           .enabled = brelOrDorn});
    d.Box({.caption = "Fault function enabled (secondary input acts as a fault signal)",
           .field = Bit("COMSCR_INIT", 13), .label = "Fault function", .comment = kState,
           .shown = v.brelOrDorn, .enabled = brelOrDorn});
    d.List({.caption = "Debug Operation:", .field = Bits("COMSCR_INIT", 14, 15),
            .items = {"Continue", "Halt TMR", "Force Out to 0", "Halt TMR & Out to 0"},
            .label = "Debug action", .width = 160, .shown = v.brelOrDorn,
            .enabled = brelOrDorn});
  }

  d.Group("Interrupts");
  d.Box({.caption = "Compare", .field = Bit(scr, 14), .label = "Interrupts:", .comment = kState});
  d.Box({.caption = "Overflow", .field = Bit(scr, 12), .label = "Interrupts:", .comment = kState,
         .newRow = false});
  d.Box({.caption = "Input edge", .field = Bit(scr, 10), .label = "Interrupts:",
         .comment = kState, .newRow = false});
  if (v.registerCount > kComscr) {
    d.Box({.caption = "Cmp 1", .field = Bit("COMSCR_INIT", 6), .label = "Interrupts:",
           .comment = kState, .enabled = [this] { return variant_->preload; }});
    d.Box({.caption = "Cmp 2", .field = Bit("COMSCR_INIT", 7), .label = "Interrupts:",
           .comment = kState, .newRow = false, .enabled = [this] { return variant_->preload; }});
  }
  if (v.userVectorNote) d.Link({.key = kUserNoteKey, .shown = false});
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmQT::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

uint32_t CpmQT::Field(size_t reg, int low, int high) const {
  if (reg >= Registers().size()) return 0;
  const uint32_t mask = (1u << (high - low + 1)) - 1;
  return (Registers()[reg].value >> low) & mask;
}

bool CpmQT::SecondaryUsed() const {
  const int mode = CountMode();
  const bool capture = Field(kScr, 6, 7) > 0;
  return (mode > 0 && capture) || (mode >= 3 && mode <= 6);
}

bool CpmQT::OutputEnableUsable() const {
  const QtInputRecord& own = inputs_[static_cast<size_t>(channel_)];
  return own.present && own.adc.empty();
}

bool CpmQT::OnHighSpeedClock() const {
  const char* caption = group_ == 0 ? variant_->highSpeedA : group_ == 1 ? variant_->highSpeedB : "";
  if (!caption || !*caption) return false;
  const auto* system = FindCapability<PeripheralClockGate>(GetContext());
  return system && system->IsOptionChecked(caption);
}

double CpmQT::TimerClockHz() const {
  return static_cast<double>(OnHighSpeedClock() ? GetHSClockMHz() : GetBusClockMHz()) * 1e6;
}

double CpmQT::CountingFrequencyHz() const {
  // A stopped counter counts nothing, whatever its prescaler.
  if (CountMode() == 0) return 0;
  const int source = PrimarySource();
  if (source < 8) return 0;
  float f = static_cast<float>(TimerClockHz() / static_cast<double>(1u << (source - 8)));
  if (CountMode() == 2) f *= 2;
  return std::isfinite(f) ? f : 0;
}

int CpmQT::FilterLatencyClocks() const {
  if (!variant_->filter) return 0;
  const int d = (static_cast<int>(Field(kFilt, 8, 10)) + 3) * static_cast<int>(Field(kFilt, 0, 7)) + 2;
  return d > 2 ? d : 0;
}

void CpmQT::UpdateValues() {
  const double f = CountingFrequencyHz();
  ShowFrequency(ControlIdOf(kFrequencyKey), f, true, CountMode() == 0 ? "OFF" : "non explicit");
  if (!variant_->filter) return;
  const int clocks = FilterLatencyClocks();
  const double clock = TimerClockHz();
  Page* page = GetPage();
  if (clocks > 0 && clock > 0) {
    if (page) page->SetText(ControlIdOf(kLatencyKey), Format("%d clk", clocks));
    ShowTime(ControlIdOf(kLatencyTimeKey), clocks / clock, true, "OFF");
  } else {
    if (page) page->SetText(ControlIdOf(kLatencyKey), "OFF");
    ShowTime(ControlIdOf(kLatencyTimeKey), 0, true, "OFF");
  }
}

void CpmQT::OnModulesReady() {
  CDeclaredModule::OnModulesReady();
}

void CpmQT::UpdateEnables() {
  decl_.ApplyRules();
  Page* page = GetPage();
  if (!page) return;
  if (variant_->filter) {
    const uint32_t id = ControlIdOf(kFilterClockKey);
    std::string text = "timer clocks";
    if (variant_->filterClockLink) {
      const char* caption = group_ == 0 ? variant_->highSpeedA : variant_->highSpeedB;
      if (const auto* system = FindCapability<PeripheralClockGate>(GetContext())) {
        const std::string link = system->OptionLink(caption);
        if (!link.empty()) text = Format("<a href=\"%s\">timer</a> clocks", link.c_str());
      }
    }
    page->SetText(id, text);
  }
  if (variant_->userVectorNote) {
    const uint32_t id = ControlIdOf(kUserNoteKey);
    const std::string note = UserSlotNote(*this, 0);
    if (!note.empty()) page->SetText(id, note);
    page->SetShown(id, !note.empty());
  }
}

void CpmQT::CheckSource(bool primary, const std::string& noteKey) {
  const uint32_t noteId = ControlIdOf(noteKey);
  const int mode = CountMode();
  const bool checked = primary ? mode != 0 : SecondaryUsed();
  Page* page = GetPage();
  if (!checked) {
    SetWarning(noteId, false, {});
    return;
  }
  const int s = primary ? PrimarySource() : SecondarySource();
  if (primary && mode == 7 && (s < 4 || s > 7)) {
    SetWarning(noteId, true, "(cascaded mode error)",
               "In cascaded mode, the timer primary source must be one of the other counter outputs");
    return;
  }
  if (primary && Field(kCtrl, 0, 2) == 7 && s == 8) {
    SetWarning(noteId, true, "(bad for gated output)",
               "In gated output mode, the timer primary source must not be the IPBus_Clk/1");
    return;
  }
  if (s >= 4) {
    const bool self = s <= 7 && SiblingName(s - 4) == GetPrefix();
    SetWarning(noteId, self, self ? "(self-feed not allowed)" : "",
               self ? "Timer source can not be its own output" : "");
    return;
  }
  const QtInputRecord& input = inputs_[static_cast<size_t>(s)];
  if (!input.present) {
    SetWarning(noteId, true, "(unavailable pin)",
               Format("Timer Pin #%d is not available on this device", s));
    return;
  }

  // An internal routing: a module that must offer the right capability to count as present.
  ModuleContext* context = GetContext();
  enum class Need { Pwm, Comparator };
  std::string routeName = input.pwm;
  std::string word = "sync";
  Need need = Need::Pwm;
  bool routedSilently = false;  // routed to a module this project cannot ask yet
  const auto* system = FindCapability<PeripheralClockGate>(context);
  switch (variant_->routing) {
    case Routing::Tebo:
      if (s == 3 && system &&
          system->IsOptionChecked("Timer channel 3 input sourced from PWM reload_sync signal")) {
        routeName = "PWM";
        word = "sync";
      }
      break;
    case Routing::Casp:
      // The system module routes the inputs of timer group A only.
      if (group_ == 0 && system && s >= 1) {
        static const char* const kLists[] = {"", "Timer A1 Input:", "Timer A2 Input:",
                                             "Timer A3 Input:"};
        static const char* const kRouted[] = {"", "Comparator A output (filtered)",
                                              "Comparator B output (filtered)",
                                              "PWM reload sync. signal"};
        if (system->SelectedOptionText(kLists[s]) == kRouted[s]) {
          routeName = s == 1 ? "CMP_A" : s == 2 ? "CMP_B" : "PWM";
          word = s == 3 ? "sync" : "out";
          need = s == 3 ? Need::Pwm : Need::Comparator;
        }
      }
      break;
    case Routing::Brel:
      if (s <= 1 && system) {
        const std::string selected = system->SelectedOptionText(Format("Timer T%d:", s));
        for (int k = 1; k <= 3; ++k)
          if (selected == Format("Comparator %d output", k - 1)) {
            routeName = Format("HSCMP_%d", k - 1);
            word = "out";
            need = Need::Comparator;
          }
        if (selected == "PWM") {
          routeName = "PWM";
          word = "out";
          need = Need::Pwm;
        }
      }
      break;
    default:
      break;
  }
  if (!routeName.empty()) {
    CModuleBase* route = context ? context->FindModule(routeName, {}) : nullptr;
    const bool known = route && (need == Need::Pwm ? dynamic_cast<PwmGenerator*>(route) != nullptr
                                                    : dynamic_cast<Comparator*>(route) != nullptr);
    if (known) {
      SetWarning(noteId, false, {});
      if (page) {
        page->SetText(noteId, Format("(routed to %s %s)", route->MakeLinkHtml(routeName).c_str(),
                                     word.c_str()));
        page->SetShown(noteId, true);
      }
      return;
    }
    // The routing module is not one this project can ask yet: no note, no error.
    routedSilently = true;
  }
  if (routedSilently) {
    SetWarning(noteId, false, {});
    return;
  }

  // The GPIO alternatives: the pin names this group's channel s as its owner.
  const std::string owner = SiblingName(s);
  const int lastMode = variant_->peripheralModes23 ? 4 : 2;
  std::string links;
  std::string names;
  bool anyAlternative = false;
  for (const QtInputRecord::Alternative& alternative : input.alternatives) {
    if (alternative.gpio.empty() || !context) continue;
    PinPort* port = FindPinPort(*context, alternative.gpio.back());
    if (!port) continue;
    anyAlternative = true;
    const int function = port->CurrentFunction(alternative.bit);
    const PinDescription* pin = port->FindPin(alternative.bit);
    if (pin && function >= 1 && function <= lastMode &&
        static_cast<size_t>(function) <= pin->functions.size() &&
        pin->functions[static_cast<size_t>(function - 1)].HasOwner(owner)) {
      SetWarning(noteId, false, {});
      return;
    }
    // The port gives the pin's link target; message and note carry it as an anchor on the
    // pin's name, so the warning leads to the pin's row.
    const std::string anchor = "<A HREF=\"" + port->PinLink(alternative.bit) + "\">" +
                               port->PinName(alternative.bit) + "</A>";
    links += (links.empty() ? "" : " or ") + anchor;
    names += (names.empty() ? "" : "/") + anchor;
  }
  if (!anyAlternative) {
    // No port can be asked about this input: the check stays silent.
    SetWarning(noteId, false, {});
    return;
  }
  if (variant_->routing == Routing::Dorn && group_ == 1 && system) {
    const std::string selected = system->SelectedOptionText(Format("Timer B%d:", s));
    if (selected == Format("XB_OUT%d", 26 + s)) {
      const auto* crossbar = FindCapability<CrossbarOutputSelector>(context);
      const bool set = crossbar && crossbar->GetSelectedInput(26 + s) == 0;
      const std::string link = crossbar ? crossbar->OutputLink(26 + s) : std::string();
      const std::string xbar =
          crossbar ? dynamic_cast<const CModuleBase*>(crossbar)->MakeLinkHtml({}) : std::string();
      SetWarning(noteId, set, set ? Format("(%s OUT%d mode bad)", xbar.c_str(), 26 + s) : "",
                 set ? Format("Timer input #%d is not set in %s", s, xbar.c_str()) : "");
      (void)link;
      return;
    }
  }
  SetWarning(noteId, true, Format("(%s mode bad)", names.c_str()),
             Format("Timer Pin #%d is not set to Timer mode in %s", s, links.c_str()));
}

void CpmQT::CheckDecoder() {
  const uint32_t noteId = ControlIdOf(kDecoderNoteKey);
  CModuleBase* decoder =
      decoderName_.empty() || !GetContext() ? nullptr : GetContext()->FindModule(decoderName_, {});
  const auto* quadrature = dynamic_cast<const QuadratureDecoder*>(decoder);
  const bool collides = quadrature && quadrature->IsDecoderEnabled() && Field(kScr, 0, 0) != 0;
  SetWarning(noteId, collides,
             collides ? Format("(collides with %s)", decoder->MakeLinkHtml({}).c_str()) : "",
             collides ? "Timer output is enabled and may collide with associated Quadrature "
                        "Decoder operation"
                      : "");
}

void CpmQT::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  CDeclaredModule::OnControlEvent(page, control, event);
  if (event == ControlEvent::SelectionChanged) UpdateEnables();
}

void CpmQT::CheckWarnings() {
  CModule::CheckWarnings();
  CheckSource(true, kPrimaryNoteKey);
  CheckSource(false, kSecondaryNoteKey);
  CheckDecoder();
}

void CpmQTALL::DeclarePage(PageDeclaration& d) {
  d.Group("");
  d.Static({.caption = "See submodules of this module."});
}

void RegisterQtModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmQT>("QT");
  factory.Register<CpmQTALL>("QTALL");
}

}  // namespace tarq

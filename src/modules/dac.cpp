// The 12-bit digital-to-analog converters.
#include "modules/dac.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"

const RegisterDecl kDacRegisters[] = {
    {"CTRL_INIT", 0xF001, DW16 | NODEFAULT},
    {"DATA_INIT", 0x0000, DW16},
    {"STEP_INIT", 0x0000, DW16},
    {"MINVAL_INIT", 0x0000, DW16},
    {"MAXVAL_INIT", 0xFFFF, DW16},
};

constexpr const char* kCtrl = "CTRL_INIT";
constexpr const char* kSyncKey = "SYNC_IN Input Enable";
constexpr const char* kAutomaticKey = "Enable Automatic Mode";
constexpr const char* kGlitchKey = "Glitch Filter";
constexpr const char* kDelayKey = "Filter Delay:";
constexpr const char* kDelayTimeKey = "Glitch filter delay time:";

const DacVariant kVariants[] = {
    // Dorn: SYNC_IN is crossbar output 8 ("12-bit DAC SYNC_IN").
    {.name = "Dorn", .partTest = kTestDorn, .syncOutput = 8},
    {.name = "Casp"},
};

}  // namespace

CpmDAC::CpmDAC(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const DacVariant> CpmDAC::Variants() { return kVariants; }

void CpmDAC::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<DacVariant>(kVariants, doc, &DacVariant::partTest);
  const std::string& name = GetPrefix();
  const unsigned char last = name.empty() ? '0' : static_cast<unsigned char>(name.back());
  index_ = std::isdigit(last) ? last - '0' : 0;
}

void CpmDAC::DeclareRegisters() { InitRegisters(kDacRegisters, std::size(kDacRegisters)); }

void CpmDAC::DeclarePage(PageDeclaration& d) {
  // The output reaches its pin (or the comparators) whenever the converter is powered: the
  // page has no pin check.
  const auto automatic = [this] { return Field(3, 3) != 0; };
  const auto glitch = [this] { return Field(12, 12) != 0; };

  d.Group("Digital-to-Analog Converter");
  d.Box({.caption = "Keep DAC Powered Down", .field = {.reg = kCtrl, .low = 0}, .comment = kState});
  d.Static({.caption = "Data Registers Format:"});
  d.Radio({.caption = "Right justified (bits 11:0)",
           .field = {.reg = kCtrl, .low = 1, .inverted = true},
           .label = "Data Registers Format: Right justified (bits 11:0)",
           .groupStart = true});
  d.Radio({.caption = "Left justified (bits 15:4)",
           .field = {.reg = kCtrl, .low = 1},
           .label = "Data Registers Format: Left justified (bits 15:4)",
           .newRow = false});
  d.Link({.caption = kSyncKey, .key = kSyncKey, .width = 360});
  d.Radio({.caption = "Disabled. IP Bus Clock Triggers DAC.",
           .field = {.reg = kCtrl, .low = 2, .inverted = true},
           .label = "SYNC_IN Input: Disabled. IP Bus Clock Triggers DAC.",
           .groupStart = true});
  d.Radio({.caption = "Enabled. SYNC_IN Rising Edge Triggers DAC",
           .field = {.reg = kCtrl, .low = 2},
           .label = "SYNC_IN Input: Enabled. SYNC_IN Rising Edge Triggers DAC"});
  d.Value({.caption = "Initial DATA Register Value:",
           .field = {.reg = "DATA_INIT", .low = 0, .high = 11},
           .label = "Initial DATA Register Value",
           .number = {.zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFF},
           .width = 100});

  d.Group("Automatic Mode");
  d.Box({.caption = kAutomaticKey, .field = {.reg = kCtrl, .low = 3}, .comment = kState});
  d.List({.caption = "Generated Waveform:",
          .field = {.reg = kCtrl, .low = 4, .high = 5},
          .items = {"Invalid option (do not use)", "Sawtooth (counting down)",
                    "Sawtooth (counting up)", "Triangle"},
          .width = 200,
          .enabled = automatic});
  d.Value({.caption = "Stepping Value:",
           .field = {.reg = "STEP_INIT", .low = 0, .high = 11},
           .label = "Automatic mode: Stepping Value",
           .number = {.zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFF},
           .width = 100,
           .enabled = automatic});
  d.Value({.caption = "Minimum Value:",
           .field = {.reg = "MINVAL_INIT", .low = 0, .high = 11},
           .label = "Automatic mode: Minimum Value",
           .number = {.zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFF},
           .width = 100,
           .enabled = automatic});
  d.Value({.caption = "Maximum Value:",
           .field = {.reg = "MAXVAL_INIT", .low = 0, .high = 11},
           .label = "Automatic mode: Maximum Value",
           .number = {.zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFF},
           .width = 100,
           .enabled = automatic});

  d.Group("Glitch Filter");
  d.Box({.caption = kGlitchKey, .field = {.reg = kCtrl, .low = 12}, .comment = kState});
  std::vector<std::string> delays = {"Filter off", "1 clock"};
  for (int n = 2; n <= 7; ++n) delays.push_back(Format("%d clocks", n));
  d.List({.caption = kDelayKey,
          .field = {.reg = kCtrl, .low = 13, .high = 15},
          .items = delays,
          .width = 120,
          .enabled = glitch});
  d.Display({.caption = kDelayTimeKey, .width = 120});
}

uint32_t CpmDAC::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmDAC::Field(int low, int high) const {
  return (Registers()[0].value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmDAC::IsPoweredUp() const { return IsSelected() && Field(0, 0) == 0; }

double CpmDAC::FilterDelaySeconds() const {
  const double bus = GetBusClockMHz() * 1e6;
  if (Field(12, 12) == 0 || !(bus > 0)) return 0;
  return Field(13, 15) / bus;
}

std::string CpmDAC::FilterDelayText() const {
  if (Field(12, 12) == 0 || Field(13, 15) == 0) return "OFF";
  const double seconds = FilterDelaySeconds();
  return TimeText(seconds, true, "???", nullptr);
}

void CpmDAC::UpdateValues() { ShowControlText(ControlIdOf(kDelayTimeKey), FilterDelayText()); }

void CpmDAC::UpdateEnables() {
  decl_.ApplyRules();
  CheckSyncInput();
}

void CpmDAC::CheckSyncInput() {
  const uint32_t id = ControlIdOf(kSyncKey);
  const CrossbarOutputSelector* xbar =
      variant_->syncOutput >= 0 ? FindCapability<CrossbarOutputSelector>(GetContext()) : nullptr;
  if (!xbar) {
    // Nothing routes SYNC_IN here: the line is a plain caption.
    SetWarning(id, false, kSyncKey);
    return;
  }
  const auto* module = dynamic_cast<const CModuleBase*>(xbar);
  const std::string name = module ? module->GetPrefix() : "XBAR";
  const std::string anchor =
      "<A HREF=\"" + xbar->OutputLink(variant_->syncOutput) + "\">" + name + "</A>";
  // Logic 0 (input 0) or no named input leaves SYNC_IN without an edge.
  const bool outputSet = xbar->GetSelectedInput(variant_->syncOutput) > 0;
  const bool syncOn = Field(2, 2) != 0;
  const bool bad = IsPoweredUp() && syncOn && !outputSet;
  if (!bad) {
    SetWarning(id, false, Format("SYNC_IN Input Enable (see %s )", anchor.c_str()));
    return;
  }
  SetWarning(id, true, Format("SYNC_IN Input Enable ( %s OUT8 in bad mode)", anchor.c_str()),
             Format("DAC Sync input is not set in %s", name.c_str()));
}

void CpmDAC::CheckWarnings() {
  CModule::CheckWarnings();
  CheckSyncInput();
}

void RegisterDacModuleKinds(ModuleFactory& factory) { factory.Register<CpmDAC>("DAC"); }

}  // namespace tarq

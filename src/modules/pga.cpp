// The programmable gain amplifiers.
#include "modules/pga.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"

enum PgaRegister : size_t { kCntl0 = 0, kCntl1 = 1, kCntl2 = 2 };

const RegisterDecl kPgaRegisters[] = {
    {"CNTL0_INIT", 0x00, DW8},
    {"CNTL1_INIT", 0x02, DW8},
    {"CNTL2_INIT", 0x0E, DW8},
};

constexpr const char* kEnableKey = "PGA Module Enabled";
constexpr const char* kTriggerKey = "Trigger Mode:";
constexpr const char* kDivisorKey = "Clock Divisor:";
constexpr const char* kClockKey = "PGA clock:";
constexpr const char* kLimitKey = "PGA clock limit";
constexpr const char* kSamplingKey = "Sampling time:";
constexpr const char* kLatencyKey = "Latency:";
constexpr const char* kGainKey = "Total gain:";

constexpr const char* kOrderNote =
    "Please note that in your code, ADC initialization must be performed before PGA "
    "initialization; also use PGA_TEST_STARTUP_COMPLETE command to make sure PGA is "
    "initialized before first use.";

// Amplifiers pair with the converters ADC_0 and ADC_1; later ones have no partner to check.
constexpr int kCheckedAmplifiers = 2;

}  // namespace

CpmPGA::CpmPGA(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmPGA::ChooseVariant(ModuleContext& doc) {
  (void)doc;
  const std::string& name = GetPrefix();
  const unsigned char last = name.empty() ? '0' : static_cast<unsigned char>(name.back());
  index_ = std::isdigit(last) ? last - '0' : 0;
}

void CpmPGA::DeclareRegisters() { InitRegisters(kPgaRegisters, std::size(kPgaRegisters)); }

void CpmPGA::DeclarePage(PageDeclaration& d) {
  const char* const cntl0 = "CNTL0_INIT";
  const std::vector<std::string> gains = {"1x", "2x", "3x", "4x"};

  d.Group("Programmable Gain Amplifier");
  d.Box({.caption = kEnableKey, .field = {.reg = cntl0, .low = 0}, .comment = kState});
  d.Box({.caption = "Low Power mode (limited performance)",
         .field = {.reg = cntl0, .low = 1},
         .comment = kState});
  d.List(
      {.caption = kTriggerKey,
       .field = {.reg = cntl0, .low = 7},
       .items = {"Hardware (positive edge of HW trigger)", "Software (Writing 1 to CNTL2[SWTRIG])"},
       .width = 290});
  d.List({.caption = "Calibration mode:",
          .field = {.reg = "CNTL1_INIT", .low = 3, .high = 4},
          .items = {"Mission Mode", "RESERVED", "Offset Calibration", "Gain Calibration"},
          .width = 160});
  d.Value({.caption = "Charge Pump Divisor",
           .field = {.reg = "CNTL1_INIT", .low = 0, .high = 2},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 7},
           .width = 60});

  d.Group("Gain");
  d.List({.caption = "S/H Gain:",
          .field = {.reg = cntl0, .low = 2},
          .items = {"1x", "2x"},
          .width = 60});
  d.List({.caption = "DIFF Gain:",
          .field = {.reg = cntl0, .low = 3, .high = 4},
          .items = gains,
          .width = 60});
  d.List({.caption = "DSE Gain:",
          .field = {.reg = cntl0, .low = 5, .high = 6},
          .items = gains,
          .width = 60});
  d.Display({.caption = kGainKey, .width = 60});

  d.NextBand();
  d.Group("Timing");
  d.List({.caption = kDivisorKey,
          .field = {.reg = "CNTL2_INIT", .low = 0, .high = 1},
          .items = {"Input clock / 1", "Input clock / 2", "Input clock / 4", "Input clock / 8"},
          .width = 140});
  d.Value({.caption = "Number of clk_gs pulses per conversion",
           .field = {.reg = "CNTL2_INIT", .low = 2, .high = 4},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 7},
           .width = 60});
  d.Display({.caption = kClockKey, .width = 120});
  d.Link({.key = kLimitKey, .newRow = false, .shown = false});
  d.Display({.caption = kSamplingKey, .width = 120});
  d.Display({.caption = kLatencyKey, .width = 120});
}

uint32_t CpmPGA::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmPGA::Field(size_t reg, int low, int high) const {
  return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmPGA::IsEnabled() const { return IsSelected() && Field(kCntl0, 0, 0) != 0; }

int CpmPGA::ClockDivisorField() const { return static_cast<int>(Field(kCntl2, 0, 1)); }

const AnalogConverter* CpmPGA::Converter() const {
  for (const AnalogConverter* adc : FindCapabilities<AnalogConverter>(GetContext()))
    if (adc->ConverterIndex() == index_) return adc;
  return nullptr;
}

double CpmPGA::ClockHz() const {
  const AnalogConverter* adc = Converter();
  const double input = adc ? adc->InputClockMHz() * 1e6 : 0;
  if (!(input > 0)) return 0;  // also an input clock that is no number
  return input / (1u << ClockDivisorField());
}

double CpmPGA::SamplingSeconds() const {
  const double clock = ClockHz();
  return clock > 0 ? (18.0 * Field(kCntl2, 2, 4) + 12) / clock : 0;
}

double CpmPGA::LatencySeconds() const {
  const double clock = ClockHz();
  return clock > 0 ? 8 / clock : 0;
}

int CpmPGA::TotalGain() const {
  return static_cast<int>((Field(kCntl0, 2, 2) + 1) * (Field(kCntl0, 3, 4) + 1) *
                          (Field(kCntl0, 5, 6) + 1));
}

void CpmPGA::UpdateValues() {
  ShowFrequency(ControlIdOf(kClockKey), ClockHz(), true, "???");
  ShowTime(ControlIdOf(kSamplingKey), SamplingSeconds(), true, "???");
  ShowTime(ControlIdOf(kLatencyKey), LatencySeconds(), true, "???");
  ShowControlText(ControlIdOf(kGainKey), Format("%dx", TotalGain()));
}

void CpmPGA::CheckWarnings() {
  CModule::CheckWarnings();
  const bool checked = index_ < kCheckedAmplifiers;
  const bool enabled = checked && IsEnabled();
  const AnalogConverter* adc = checked ? Converter() : nullptr;

  // The clock limit: exactly 8 MHz is allowed.
  const bool tooFast = checked && IsSelected() && ClockHz() > kMaxClockMHz * 1e6;
  SetWarning(ControlIdOf(kLimitKey), tooFast,
             tooFast ? Format("max: %.3f MHz", kMaxClockMHz) : std::string(),
             tooFast ? Format("PGA clock frequency exceeds maximum operating frequency (%.3f MHz)",
                              kMaxClockMHz)
                     : std::string());

  // The converter divides the same input clock: both divisors must agree.
  const bool divisorDiffers = enabled && adc && adc->ClockDivisorField() != ClockDivisorField();
  SetWarning(ControlIdOf(kDivisorKey, true), divisorDiffers, kDivisorKey,
             divisorDiffers
                 ? Format("PGA_%d clock divisor (now %d) must be equal to ADC_%d clock divisor "
                          "(now %d).",
                          index_, 1 << ClockDivisorField(), index_, 1 << adc->ClockDivisorField())
                 : std::string());

  // In hardware trigger mode the delay block's trigger of the same letter starts a sample.
  std::string trigger;
  const DelayBlock* pdb = FindCapability<DelayBlock>(GetContext());
  if (enabled && pdb && Field(kCntl0, 7, 7) == 0) {
    const bool blockOff = !pdb->IsBlockEnabled();
    const bool triggerOff = !pdb->IsTriggerEnabled(index_);
    if (blockOff || triggerOff) {
      if (blockOff) trigger += "PDB must be enabled ";
      if (blockOff && triggerOff) trigger += "and ";
      if (triggerOff) trigger += Format("Trigger %c must be enabled ", 'A' + index_);
      trigger += "in PDB when hardware trigger mode is selected.";
    }
  }
  SetWarning(ControlIdOf(kTriggerKey, true), !trigger.empty(), kTriggerKey, trigger);

  SetWarning(ControlIdOf(kEnableKey), enabled, kEnableKey, enabled ? kOrderNote : "");
}

void RegisterPgaModuleKinds(ModuleFactory& factory) { factory.Register<CpmPGA>("PGA"); }

}  // namespace tarq

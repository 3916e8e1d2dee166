// The comparators of the Casp group.
#include "modules/cmp.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

enum CmpRegister : size_t { kCtrl = 0, kFilt = 1 };

const RegisterDecl kCmpRegisters[] = {
    {"CTRL_INIT", 0x0001, DW16 | NODEFAULT},
    {"FILT_INIT", 0x0000, DW16},
};

constexpr const char* kCtrlName = "CTRL_INIT";
constexpr const char* kNegativeKey = "Negative Comparator Input Source:";
constexpr const char* kPositiveKey = "Positive Comparator Input Source:";
constexpr const char* kExportKey = "EXPORT Output Signal Selection:";
constexpr const char* kClocksKey = "Filter latency [clocks]:";
constexpr const char* kTimeKey = "Filter latency:";

// The source field value that takes the converter's output.
constexpr uint32_t kDacSource = 3;

struct SourceField {
  const char* key;
  int low;
  int high;
};
// The three fields that select an input pad (and the converter).
constexpr SourceField kSourceFields[] = {
    {kNegativeKey, 2, 4}, {kPositiveKey, 6, 8}, {kExportKey, 10, 11}};

}  // namespace

CpmCMP::CpmCMP(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::vector<std::string> CpmCMP::InputSources(int index) {
  return {"CIN1 input pad", "CIN2 input pad", "CIN3 input pad", Format("DAC_%d output", index),
          "IMPORT input"};
}

void CpmCMP::ChooseVariant(ModuleContext& doc) {
  (void)doc;
  // "CMP_A" -> 0, "CMP_B" -> 1.
  const std::string& name = GetPrefix();
  const bool suffix = name.size() >= 2 && name[name.size() - 2] == '_';
  const unsigned char last = suffix ? static_cast<unsigned char>(name.back()) : 'A';
  index_ = std::isupper(last) ? last - 'A' : std::isdigit(last) ? last - '0' : 0;
}

void CpmCMP::DeclareRegisters() { InitRegisters(kCmpRegisters, std::size(kCmpRegisters)); }

void CpmCMP::DeclarePage(PageDeclaration& d) {
  SetHasPins(true);
  const std::vector<std::string> sources = InputSources(index_);
  const std::vector<std::string> exports(sources.begin(), sources.begin() + 4);

  d.Group("Comparator");
  d.Box({.caption = "Keep Comparator Powered Down (i.e. Disabled)",
         .field = {.reg = kCtrlName, .low = 0},
         .comment = kState});
  d.List({.caption = kPositiveKey,
          .field = {.reg = kCtrlName, .low = 6, .high = 8},
          .items = sources,
          .width = 160});
  d.List({.caption = kNegativeKey,
          .field = {.reg = kCtrlName, .low = 2, .high = 4},
          .items = sources,
          .width = 160});
  d.List({.caption = kExportKey,
          .field = {.reg = kCtrlName, .low = 10, .high = 11},
          .items = exports,
          .width = 160});
  d.Radio({.caption = "Normal. Output High when Positive Input higher than Negative Input",
           .field = {.reg = kCtrlName, .low = 1, .inverted = true},
           .label = "Ouptut Polarity: Normal. Output High when Positive Input higher than "
                    "Negative Input",
           .groupStart = true});
  d.Radio({.caption = "Inverted. Output High when Negative Input higher than Positive Input",
           .field = {.reg = kCtrlName, .low = 1},
           .label = "Ouptut Polarity: Inverted. Output High when Negative Input higher than "
                    "Positive Input"});
  d.PinWarning();

  d.Group("Comparator Output Filter");
  std::vector<std::string> samples;
  for (int n = 3; n <= 10; ++n) samples.push_back(Format("%d", n));
  d.List({.caption = "Consecutive samples required to agree:",
          .field = {.reg = "FILT_INIT", .low = 8, .high = 10},
          .items = samples,
          .label = "Input Filter: Consecutive Samples Required to Agree",
          .width = 100});
  d.Value({.caption = "Output signal sampling period (0 = filter off):",
           .field = {.reg = "FILT_INIT", .low = 0, .high = 7},
           .label = "Input Filter: Input Signal Sampling [bus clocks]",
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 255},
           .width = 100});
  d.Display({.caption = kClocksKey, .width = 120});
  d.Display({.caption = kTimeKey, .width = 120});

  d.NextBand();
  d.Group("Interrupts");
  d.Box({.caption = "Falling Edge Interrupt",
         .field = {.reg = kCtrlName, .low = 14},
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Rising Edge Interrupt",
         .field = {.reg = kCtrlName, .low = 15},
         .label = "Interrupts:",
         .comment = kState,
         .newRow = false});
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmCMP::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmCMP::Field(size_t reg, int low, int high) const {
  return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmCMP::IsEnabled() const { return IsSelected() && Field(kCtrl, 0, 0) == 0; }

int CpmCMP::FilterLatencyClocks() const {
  // The samples field counts from 3; the output follows the last sample by two clocks.
  return static_cast<int>((Field(kFilt, 8, 10) + 3) * Field(kFilt, 0, 7) + 2);
}

double CpmCMP::FilterLatencySeconds() const {
  const double bus = GetBusClockMHz() * 1e6;
  const int clocks = FilterLatencyClocks();
  return clocks > 2 && bus > 0 ? clocks / bus : 0;
}

void CpmCMP::UpdateValues() {
  const double seconds = FilterLatencySeconds();
  // Without a filter or a bus clock both read "OFF".
  ShowControlText(ControlIdOf(kClocksKey),
                  seconds > 0 ? Format("%d clk", FilterLatencyClocks()) : "OFF");
  ShowTime(ControlIdOf(kTimeKey), seconds);
}

void CpmCMP::CheckWarnings() {
  CModule::CheckWarnings();
  // A source that takes the converter's output needs that converter switched on; a converter
  // the project does not have is not reported.
  bool dacOff = false;
  for (const DigitalAnalogConverter* dac : FindCapabilities<DigitalAnalogConverter>(GetContext()))
    if (dac->DacIndex() == index_) dacOff = !dac->IsPoweredUp();
  const std::string message =
      Format("%s module is using DAC_%d module output and DAC_%d module is not enabled.",
             GetPrefix().c_str(), index_, index_);
  const bool enabled = IsEnabled();
  for (const SourceField& field : kSourceFields) {
    const bool set = enabled && dacOff && Field(kCtrl, field.low, field.high) == kDacSource;
    SetWarning(ControlIdOf(field.key, true), set, field.key, set ? message : std::string());
  }
}

bool CpmCMP::IsSignalUsed(const std::string& signal) const {
  // A comparator kept powered down uses no pin, whatever its (reset) source fields say.
  if (!IsEnabled()) return false;
  const size_t at = signal.find("CIN");
  if (at != std::string::npos && at + 3 < signal.size() &&
      std::isdigit(static_cast<unsigned char>(signal[at + 3]))) {
    const uint32_t pad = static_cast<uint32_t>(signal[at + 3] - '1');
    for (const SourceField& field : kSourceFields)
      if (Field(kCtrl, field.low, field.high) == pad) return true;
    return false;
  }
  return true;  // the output pin
}

void RegisterCmpModuleKinds(ModuleFactory& factory) { factory.Register<CpmCMP>("CMP"); }

}  // namespace tarq

// The real-time counter of the Brel group.
#include "modules/rtc.h"

#include "framework/Capabilities.h"
#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;
constexpr int kInterruptPanelWidth = 420;

constexpr const char* kSc = "RTCSC_INIT";
constexpr const char* kMod = "RTCMOD_INIT";
constexpr const char* kSourceKey = "Clock Source:";
constexpr const char* kDivideKey = "Divide-By value";
constexpr const char* kRateKey = "Interrupt Rate";
constexpr const char* kRollOverKey = "Roll Over Time";

const RegisterDecl kRegisters[] = {
    {kSc, 0x00, DW8},
    {kMod, 0x00, DW8},
};

// Divide-by of the prescaler field for the 1 kHz and internal sources (0, 2) and for the
// external and the other internal selection (1, 3).
constexpr uint32_t kDivideLow[16] = {0, 8, 32, 64, 128, 256, 512, 1024, 1, 2, 4, 10, 16, 100, 500, 1000};
constexpr uint32_t kDivideHigh[16] = {0,    1024,  2048,  4096,  8192,  16384,  32768,  65536,
                                      1000, 2000,  5000,  10000, 20000, 50000, 100000, 200000};

constexpr double kLowPowerHz = 1000.0;
constexpr double kInternalHz = 32000000.0;

}  // namespace

CpmRTC::CpmRTC(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

void CpmRTC::DeclareRegisters() { InitRegisters(kRegisters, std::size(kRegisters)); }

void CpmRTC::DeclarePage(PageDeclaration& d) {
  std::vector<std::string> prescalers = {"OFF"};
  for (int n = 1; n <= 15; ++n) prescalers.push_back(Format("%d", n));

  d.Group("Real Time Counter");
  d.List({.caption = kSourceKey, .field = {.reg = kSc, .low = 5, .high = 6},
          .items = {"1-kHz low-power oscillator (LPO)", "External clock (ERCLK)",
                    "Internal clock (IRCLK) with RTCLKS[0] = 0",
                    "Internal clock (IRCLK)  with RTCLKS[0] = 1"},
          .width = 260});
  d.List({.caption = "Prescaler:", .field = {.reg = kSc, .low = 0, .high = 3}, .items = prescalers,
          .width = 80});
  d.Display({.caption = kDivideKey, .width = 100});
  d.Value({.caption = "Modulo:", .field = {.reg = kMod, .low = 0, .high = 7},
           .number = {.hex = false, .zeroAllowed = true}, .spin = {.minimum = 0, .maximum = 255},
           .width = 70});
  d.Display({.caption = kRateKey, .width = 120});
  d.Display({.caption = kRollOverKey, .width = 120});

  d.Group("Interrupt");
  d.Box({.caption = "Enable Real-Time interrupt", .field = {.reg = kSc, .low = 4}, .comment = kState});
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmRTC::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId != 0 ? control->captionId : control->id;
}

uint32_t CpmRTC::ClockSource() const { return Registers()[0].value >> 5 & 3u; }
uint32_t CpmRTC::Prescaler() const { return Registers()[0].value & 0xFu; }
uint32_t CpmRTC::Modulo() const { return Registers()[1].value & 0xFFu; }

uint32_t CpmRTC::DivideBy(uint32_t source, uint32_t prescaler) {
  prescaler &= 0xFu;
  return source == 1 || source == 3 ? kDivideHigh[prescaler] : kDivideLow[prescaler];
}

double CpmRTC::SourceClockHz(uint32_t source) {
  switch (source) {
    case 0: return kLowPowerHz;
    case 2:
    case 3: return kInternalHz;
    default: return 0;
  }
}

double CpmRTC::InterruptRateHz() const {
  const uint32_t divide = DivideBy(ClockSource(), Prescaler());
  const double clock = SourceClockHz(ClockSource());
  if (divide == 0 || !(clock > 0)) return 0;
  // A modulo of 0 counts as 1.
  const uint32_t modulo = Modulo() == 0 ? 1 : Modulo();
  return clock / (static_cast<double>(divide) * modulo);
}

void CpmRTC::UpdateValues() {
  const uint32_t divide = DivideBy(ClockSource(), Prescaler());
  ShowControlText(ControlIdOf(kDivideKey), divide == 0 ? "OFF" : Format("%d", static_cast<int>(divide)));
  const double rate = InterruptRateHz();
  ShowFrequency(ControlIdOf(kRateKey), rate, true, "n/a");
  ShowTime(ControlIdOf(kRollOverKey), rate > 0 ? 1.0 / rate : 0.0, true, "n/a");
}

void CpmRTC::CheckWarnings() {
  CModule::CheckWarnings();
  const PowerManagement* power = FindCapability<PowerManagement>(GetContext());
  const bool off = ClockSource() == 0 && power && !power->IsLowPowerOscillatorEnabled();
  SetWarning(ControlIdOf(kSourceKey, true), off, kSourceKey,
             off ? "1 kHz oscilator is selected as a clock source for RTC but it is not enabled in "
                   "PMC module."
                 : "");
}

void RegisterRtcModuleKinds(ModuleFactory& factory) { factory.Register<CpmRTC>("RTC"); }

}  // namespace tarq

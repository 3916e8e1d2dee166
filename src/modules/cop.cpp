// The separate watchdog of the Brel and Dorn groups.
#include "modules/cop.h"

#include <array>

#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"

enum CopRegister : size_t { kCopCtl = 0, kCopTo = 1 };

const RegisterDecl kCopRegisters[] = {
    {"COPCTL_INIT", 0x0302, DW16},
    {"COPTO_INIT", 0xFFFF, DW16},
};

constexpr const char* kSourceKey = "COP clock source:";
constexpr const char* kTimeoutKey = "Timeout:";

// Clock of each source in MHz where it is fixed.
constexpr double kRelaxationMHz = 8.0;
constexpr double kLowPowerMHz = 0.001;
constexpr std::array<uint32_t, 4> kPrescalers = {1, 16, 256, 1024};

const CopVariant kVariants[] = {
    // Dorn: no 1 kHz source check, no bus-clock gate for the watchdog.
    {.name = "Dorn", .partTest = kTestDorn, .lowPowerOscillatorCheck = false,
     .busClockGateCheck = false},
    {.name = "Brel"},
};

}  // namespace

CpmCOP_Brel::CpmCOP_Brel(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const CopVariant> CpmCOP_Brel::Variants() { return kVariants; }

void CpmCOP_Brel::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<CopVariant>(kVariants, doc, &CopVariant::partTest);
}

void CpmCOP_Brel::DeclareRegisters() {
  InitRegisters(kCopRegisters, std::size(kCopRegisters));
}

void CpmCOP_Brel::DeclarePage(PageDeclaration& d) {
  const std::string ctl = "COPCTL_INIT";
  d.Group("Watchdog");
  d.Box({.caption = "COP Enable", .field = {.reg = ctl, .low = 1}, .label = "COP operation",
         .comment = kState});
  d.Box({.caption = "COP Write Protect", .field = {.reg = ctl, .low = 0}, .comment = kState});
  d.Box({.caption = "COP Runs in Wait Mode", .field = {.reg = ctl, .low = 2}, .comment = kState});
  d.Box({.caption = "COP Runs in Stop Mode", .field = {.reg = ctl, .low = 3}, .comment = kState});
  d.Box({.caption = "Enable Loss of Clock COP", .field = {.reg = ctl, .low = 4},
         .comment = kState});
  d.NextBand();
  d.Group("Timeout");
  d.List({.caption = kSourceKey, .field = {.reg = ctl, .low = 5, .high = 6},
          .items = {"Relaxation oscilator", "Crystal oscilator / XTAL", "IP BUS clock",
                    "1 KHz oscilator"},
          .width = 180});
  d.List({.caption = "Prescaler:", .field = {.reg = ctl, .low = 8, .high = 9},
          .items = {"input / 1", "input / 16", "input / 256", "input / 1024"}, .width = 180});
  d.Value({.caption = "Timeout divisor:", .field = {.reg = "COPTO_INIT", .low = 0, .high = 15},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFFF}, .width = 100});
  d.Display({.caption = kTimeoutKey, .width = 120});
}

uint32_t CpmCOP_Brel::ClockSourceWarningId() const {
  const DeclaredControl* control = decl_.Find(kSourceKey);
  return control ? control->captionId : 0;
}

uint32_t CpmCOP_Brel::TimeoutDisplayId() const {
  const DeclaredControl* control = decl_.Find(kTimeoutKey);
  return control ? control->id : 0;
}

WatchdogClock::Source CpmCOP_Brel::GetClockSource() const {
  if (Registers().size() <= kCopCtl) return Source::Other;
  switch ((Registers()[kCopCtl].value >> 5) & 3u) {
    case 0: return Source::Relaxation;
    case 1: return Source::CrystalOscillator;
    case 2: return Source::BusClock;
    default: return Source::LowPowerOscillator;
  }
}

double CpmCOP_Brel::CounterClockMHz() const {
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  double mhz = 0;
  switch (GetClockSource()) {
    case Source::Relaxation: mhz = kRelaxationMHz; break;
    // The crystal frequency the clock module works with (its entry while its page is open).
    case Source::CrystalOscillator: mhz = clock ? clock->GetCrystalFrequencyMHz() : 0; break;
    case Source::BusClock: mhz = clock ? clock->GetBusClockMHz() : 0; break;
    case Source::LowPowerOscillator: mhz = kLowPowerMHz; break;
    case Source::Other: break;
  }
  if (!(mhz > 0)) return 0;  // also a frequency that is no number
  return mhz / kPrescalers[(Registers()[kCopCtl].value >> 8) & 3u];
}

double CpmCOP_Brel::TimeoutSeconds() const {
  const double mhz = CounterClockMHz();
  const uint32_t divisor = Registers()[kCopTo].value & 0xFFFFu;
  // No clock or no divisor: the watchdog never fires ("OFF").
  if (!(mhz > 0) || divisor == 0) return 0;
  return divisor / (mhz * 1e6);
}

void CpmCOP_Brel::UpdateValues() { ShowTime(TimeoutDisplayId(), TimeoutSeconds()); }

std::string CpmCOP_Brel::ClockSourceProblem() const {
  ModuleContext* context = GetContext();
  const ClockSource* clock = FindCapability<ClockSource>(context);
  switch (GetClockSource()) {
    case Source::Relaxation:
      if (clock && !clock->IsRelaxationOscillatorEnabled())
        return "Internal relaxation oscillator is not enabled (and is selected as COP clock "
               "source) - see OCCS.";
      break;
    case Source::CrystalOscillator:
      if (clock && !clock->IsCrystalOscillatorEnabled())
        return "Clock source is not available; crystal oscilator must be enabled or XTAL pin "
               "must be configured properly - see OCCS.";
      break;
    case Source::LowPowerOscillator:
      if (variant_->lowPowerOscillatorCheck) {
        const PowerManagement* power = FindCapability<PowerManagement>(context);
        if (power && !power->IsLowPowerOscillatorEnabled())
          return "1 kHz oscilator is not enabled in PMC module (and is selected as COP clock "
                 "source).";
      }
      break;
    case Source::BusClock:
      if (variant_->busClockGateCheck) {
        const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(context);
        if (gate && !gate->IsOptionChecked("COP timer"))
          return "IP BUS clock is not enabled for COP in SYS module (PCE).";
      }
      break;
    case Source::Other:
      break;
  }
  return {};
}

void CpmCOP_Brel::CheckWarnings() {
  CModule::CheckWarnings();
  const std::string problem = ClockSourceProblem();
  SetWarning(ClockSourceWarningId(), !problem.empty(), kSourceKey, problem);
}

void RegisterCopModuleKinds(ModuleFactory& factory) { factory.Register<CpmCOP_Brel>("COP_Brel"); }

}  // namespace tarq

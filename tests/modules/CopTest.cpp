// The separate watchdog: its timeout on every clock source, the clock-source checks against
// stand-in partners, the variant rows and the examples that carry it.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/cop.h"

namespace tarq {
namespace {

class PowerStandIn : public CModule, public PowerManagement {
 public:
  explicit PowerStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  bool IsLowPowerOscillatorEnabled() const override { return lowPower; }
  bool lowPower = true;
};

class GateStandIn : public CModule, public PeripheralClockGate {
 public:
  explicit GateStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  void CheckPeripheralClock(CModuleBase&) override {}
  bool IsOptionChecked(const std::string& caption) const override {
    asked = caption;
    return checked;
  }
  std::string OptionLink(const std::string&) const override { return {}; }
  std::string SelectedOptionText(const std::string&) const override { return {}; }
  bool checked = true;
  mutable std::string asked;
};

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

// A part with the watchdog and whichever stand-in partners the tree names.
ProjectSpec CopSpec(const std::string& part, const std::string& partners,
                    const std::string& defines = {}) {
  return {.part = part,
          .defines = defines,
          .tree = partners + "COP COP_Brel OCCS IRQ: Watchdog\n",
          .factory = [](ModuleFactory& factory) {
            RegisterStandIn<StubClockSource>(factory, "CLOCK");
            RegisterStandIn<PowerStandIn>(factory, "POWER");
            RegisterStandIn<GateStandIn>(factory, "GATE");
          }};
}

constexpr const char* kAllPartners =
    "OCCS CLOCK NONE IRQ:\nSYS GATE NONE IRQ:\nPMC POWER NONE IRQ:\n";

// COPCTL with a clock source (0..3) and a prescaler position (0..3), COP enabled.
uint32_t Ctl(uint32_t source, uint32_t prescaler) { return 0x0002u | source << 5 | prescaler << 8; }

std::string TimeoutText(ModuleProject& project) {
  auto& cop = project.Module<CpmCOP_Brel>("COP");
  cop.UpdateValues();
  const Control* display = project.Ctl("COP", cop.TimeoutDisplayId());
  return display ? display->text : "(no page)";
}

TEST(CopTimeout, EachClockSourceGivesItsWorkedTimeout) {
  ModuleProject project(CopSpec("CVX-28", kAllPartners));
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  clock.bus = 32;
  clock.crystalMHz = 8;
  project.OpenPage("COP");
  Register& ctl = project.Reg("COP", "COPCTL_INIT");
  Register& to = project.Reg("COP", "COPTO_INIT");
  auto& cop = project.Module<CpmCOP_Brel>("COP");

  // 1 kHz oscillator, / 1, divisor 1000: 1000 / 1000 Hz = 1 s.
  ctl.value = Ctl(3, 0);
  to.value = 1000;
  EXPECT_DOUBLE_EQ(cop.TimeoutSeconds(), 1.0);
  EXPECT_EQ(TimeoutText(project), "1 sec");

  // IP bus at 32 MHz, / 1024, divisor 65535: 65535 / 31250 Hz = 2.09712 s.
  ctl.value = Ctl(2, 3);
  to.value = 65535;
  EXPECT_NEAR(cop.TimeoutSeconds(), 2.09712, 1e-9);
  EXPECT_EQ(TimeoutText(project), "2.09712 sec");

  // Relaxation oscillator at 8 MHz, / 1, divisor 8000: 8000 / 8 MHz = 1 ms.
  ctl.value = Ctl(0, 0);
  to.value = 8000;
  EXPECT_NEAR(cop.TimeoutSeconds(), 0.001, 1e-12);
  EXPECT_EQ(TimeoutText(project), "1 ms");

  // Crystal at 8 MHz, / 16, divisor 64000: 64000 / 500 kHz = 128 ms.
  ctl.value = Ctl(1, 1);
  to.value = 64000;
  EXPECT_NEAR(cop.TimeoutSeconds(), 0.128, 1e-12);
  EXPECT_EQ(TimeoutText(project), "128 ms");
}

TEST(CopTimeout, NoClockOrNoDivisorShowsOffInsteadOfInfinity) {
  ModuleProject project(CopSpec("CVX-28", kAllPartners));
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  project.OpenPage("COP");
  Register& ctl = project.Reg("COP", "COPCTL_INIT");
  project.Reg("COP", "COPTO_INIT").value = 1000;
  auto& cop = project.Module<CpmCOP_Brel>("COP");

  ctl.value = Ctl(1, 0);  // crystal source, no crystal frequency
  EXPECT_EQ(cop.TimeoutSeconds(), 0.0);
  EXPECT_EQ(TimeoutText(project), "OFF");
  ctl.value = Ctl(2, 0);  // bus clock of 0
  EXPECT_EQ(TimeoutText(project), "OFF");
  clock.bus = 32;
  EXPECT_EQ(TimeoutText(project), "31.25 us");  // 1000 / 32 MHz
  project.Reg("COP", "COPTO_INIT").value = 0;  // no divisor
  EXPECT_EQ(TimeoutText(project), "OFF");
}

TEST(CopTimeout, WithoutAClockModuleTheCrystalAndBusSourcesGiveNoTimeout) {
  ModuleProject project(CopSpec("CVX-28", "", "#define APPCFG_EXTAL 8000000L\n"));
  ASSERT_TRUE(project.Opened());
  auto& cop = project.Module<CpmCOP_Brel>("COP");
  project.Reg("COP", "COPCTL_INIT").value = Ctl(1, 0);
  EXPECT_EQ(cop.TimeoutSeconds(), 0.0);
  project.Reg("COP", "COPCTL_INIT").value = Ctl(0, 0);  // the relaxation oscillator is fixed
  EXPECT_GT(cop.TimeoutSeconds(), 0.0);
}

struct SourceCase {
  uint32_t source;
  std::string message;
};

TEST(CopWarnings, EachSourceIsCheckedAgainstItsPartner) {
  const SourceCase cases[] = {
      {0, "Internal relaxation oscillator is not enabled (and is selected as COP clock source) - "
          "see OCCS."},
      {1, "Clock source is not available; crystal oscilator must be enabled or XTAL pin must be "
          "configured properly - see OCCS."},
      {2, "IP BUS clock is not enabled for COP in SYS module (PCE)."},
      {3, "1 kHz oscilator is not enabled in PMC module (and is selected as COP clock source)."},
  };
  ModuleProject project(CopSpec("CVX-28", kAllPartners));
  ASSERT_TRUE(project.Opened());
  auto& cop = project.Module<CpmCOP_Brel>("COP");
  auto& clock = project.Module<StubClockSource>("OCCS");
  auto& gate = project.Module<GateStandIn>("SYS");
  auto& power = project.Module<PowerStandIn>("PMC");
  auto partnersOn = [&](bool on) {
    clock.relaxation = clock.crystal = gate.checked = power.lowPower = on;
  };
  for (const SourceCase& c : cases) {
    SCOPED_TRACE(c.source);
    project.Reg("COP", "COPCTL_INIT").value = Ctl(c.source, 0);
    partnersOn(true);
    project.Check();
    EXPECT_FALSE(project.WarningAt("COP", cop.ClockSourceWarningId()));
    partnersOn(false);
    project.Check();
    auto warning = project.WarningAt("COP", cop.ClockSourceWarningId());
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->text, c.message);
  }
  EXPECT_EQ(gate.asked, "COP timer");
}

TEST(CopWarnings, DornSkipsTheLowPowerAndBusChecksAndMissingPartnersStaySilent) {
  {
    ModuleProject project(CopSpec("CVX-31", kAllPartners));
    ASSERT_TRUE(project.Opened());
    auto& cop = project.Module<CpmCOP_Brel>("COP");
    EXPECT_STREQ(cop.Variant().name, "Dorn");
    project.Module<GateStandIn>("SYS").checked = false;
    project.Module<PowerStandIn>("PMC").lowPower = false;
    for (uint32_t source : {2u, 3u}) {
      project.Reg("COP", "COPCTL_INIT").value = Ctl(source, 0);
      project.Check();
      EXPECT_FALSE(project.WarningAt("COP", cop.ClockSourceWarningId())) << source;
    }
  }
  ModuleProject alone(CopSpec("CVX-28", ""));
  ASSERT_TRUE(alone.Opened());
  auto& cop = alone.Module<CpmCOP_Brel>("COP");
  for (uint32_t source : {0u, 1u, 2u, 3u}) {
    alone.Reg("COP", "COPCTL_INIT").value = Ctl(source, 0);
    EXPECT_EQ(cop.ClockSourceProblem(), "") << source;
  }
}

TEST(CopWatchdogClock, TheClockModuleLearnsTheSourceFromTheWatchdog) {
  ModuleProject project(CopSpec("CVX-28", ""));
  ASSERT_TRUE(project.Opened());
  WatchdogClock* watchdog = FindCapability<WatchdogClock>(&project.Doc());
  ASSERT_NE(watchdog, nullptr);
  const WatchdogClock::Source expected[] = {
      WatchdogClock::Source::Relaxation, WatchdogClock::Source::CrystalOscillator,
      WatchdogClock::Source::BusClock, WatchdogClock::Source::LowPowerOscillator};
  for (uint32_t source = 0; source < 4; ++source) {
    project.Reg("COP", "COPCTL_INIT").value = Ctl(source, 2);
    EXPECT_EQ(watchdog->GetClockSource(), expected[source]);
  }
}

TEST(CopVariants, EveryRowDeclaresACleanPageOnItsRealPart) {
  for (const char* part : {"CVX-28", "CVX-29", "CVX-30", "CVX-35"}) {
    SCOPED_TRACE(part);
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened());
    auto& cop = project.Module<CpmCOP_Brel>("COP");
    EXPECT_EQ(cop.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_STREQ(cop.Variant().name, std::string(part) >= "CVX-30" ? "Dorn" : "Brel");
    project.OpenPage("COP");
    EXPECT_NE(project.CtlByText("COP", "COP Enable"), nullptr);
    // Reset: relaxation oscillator / 1024, divisor 65535: 65535 / 7812.5 Hz = 8.38848 s.
    EXPECT_EQ(TimeoutText(project), "8.38848 sec");
  }
}

TEST(CopExample, TheBrelTimeoutDivisorSurvivesASave) {
  ModuleProject project({.part = "CVX-28",
                         .defines = "#define APPCFG_EXTAL 8000000L\n"
                                    "#define COP_COPTO_INIT 0x03E8U\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("COP");
  // Reset COPCTL: relaxation oscillator / 1024; 1000 / 7812.5 Hz = 128 ms.
  EXPECT_EQ(TimeoutText(project), "128 ms");
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define COP_COPTO_INIT                    0x03E8U"), std::string::npos)
      << header;
}

}  // namespace
}  // namespace tarq

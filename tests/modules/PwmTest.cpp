// The PWM module: timing with worked numbers, dead times, the register tables of the chip
// groups, the fault map of parts with fewer faults, the value registers in percent, the
// complementary-pair and synchronisation checks and the high-speed clock.
#include <gtest/gtest.h>

#include <regex>

#include "../support/ModuleHarness.h"
#include "framework/Capabilities.h"
#include "modules/pwm.h"

namespace tarq {
namespace {

// A system module that answers only whether a box is checked.
class StubGate : public CModule, public PeripheralClockGate {
 public:
  explicit StubGate(const ArchitectureEntry& entry) : CModule(entry) {}
  void CheckPeripheralClock(CModuleBase&) override {}
  bool IsOptionChecked(const std::string& caption) const override {
    return pwmOnHighSpeed && caption == "PWM clock sourced from HS_PERF (3x System Clock)";
  }
  std::string OptionLink(const std::string&) const override { return {}; }
  std::string SelectedOptionText(const std::string&) const override { return {}; }
  bool pwmOnHighSpeed = false;
};

ProjectSpec PwmSpec(const std::string& part, const std::string& moduleInfo = {},
                    const std::string& kind = "PWM") {
  return {.part = part,
          .tree = "OCCS CLOCK NONE IRQ:\nSYS GATE NONE IRQ:\nPWM_A " + kind + " NONE IRQ:\n",
          .moduleInfo = moduleInfo,
          .factory = [](ModuleFactory& factory) {
            factory.Register("CLOCK", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<StubClockSource>(entry));
            });
            factory.Register("GATE", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<StubGate>(entry));
            });
          }};
}

std::string Shown(ModuleProject& project, const std::string& key) {
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  pwm.UpdateValues();
  return project.Ctl("PWM_A", pwm.ControlIdOf(key))->text;
}

TEST(PwmTiming, PeriodFrequencyAndDeadTimesFromPrescalerModulusAndAlignment) {
  ModuleProject project(PwmSpec("CVX-10"));
  ASSERT_TRUE(project.Opened());
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  project.OpenPage("PWM_A");
  Register& pmctl = project.Reg("PWM_A", "PMCTL_INIT");
  Register& pmcfg = project.Reg("PWM_A", "PMCFG_INIT");
  project.Reg("PWM_A", "PWMCM_INIT").value = 1000;

  // No clock: every value falls back, nothing divides by zero.
  EXPECT_EQ(Shown(project, "Clock Period:"), "OFF");
  EXPECT_EQ(Shown(project, "Frequency:"), "OFF");

  project.Module<StubClockSource>("OCCS").bus = 60;
  // Prescaler /2 (field 1): T = 2 / 60 MHz = 33.33 ns; centre alignment counts up and down:
  // P = 2 x 1000 x 33.33 ns = 66.67 us, 1 / P = 15 kHz.
  pmctl.value = 1u << 6;
  EXPECT_NEAR(pwm.ClockPeriod(), 33.333e-9, 1e-12);
  EXPECT_NEAR(pwm.Period(), 66.667e-6, 1e-9);
  EXPECT_EQ(Shown(project, "Clock Period:"), "0.03333 us");
  EXPECT_EQ(Shown(project, "Period:"), "66.66667 us");
  EXPECT_EQ(Shown(project, "Frequency:"), "15 kHz");
  // Edge alignment (PMCFG bit 12): P = 1000 x 33.33 ns = 33.33 us, 30 kHz.
  pmcfg.value = 1u << 12;
  EXPECT_EQ(Shown(project, "Frequency:"), "30 kHz");

  // Dead time 10: /1 gives 10 clocks; a prescaler starts one clock early: /2 gives
  // 10 x 2 - 1 = 19, /4 gives 10 x 4 - 1 = 39 clocks (39 / 60 MHz = 650 ns).
  project.Reg("PWM_A", "PMDEADTM_INIT").value = 10;
  pmctl.value = 0;
  EXPECT_EQ(pwm.DeadTimeClocks(0), 10);
  pmctl.value = 1u << 6;
  EXPECT_EQ(pwm.DeadTimeClocks(0), 19);
  pmctl.value = 2u << 6;
  EXPECT_EQ(pwm.DeadTimeClocks(0), 39);
  EXPECT_EQ(Shown(project, "dead time 0 duration"), "0.65 us");
  // The part has no second dead time.
  EXPECT_EQ(pwm.DeadTimeClocks(1), 0);

  // A modulus beyond the 15-bit counter gives no result at all.
  project.Reg("PWM_A", "PWMCM_INIT").value = 0x8000;
  EXPECT_EQ(pwm.Period(), 0);
  EXPECT_EQ(pwm.DeadTimeSeconds(0), 0);
  EXPECT_EQ(Shown(project, "Frequency:"), "OFF");
}

TEST(PwmTiming, TheHighSpeedClockDrivesTheCounterWhenTheSystemModuleSelectsIt) {
  ModuleProject project(PwmSpec("CVX-25"));
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  clock.bus = 32;
  clock.highSpeed = 96;
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  EXPECT_DOUBLE_EQ(pwm.ClockHz(), 32e6);
  project.Module<StubGate>("SYS").pwmOnHighSpeed = true;
  EXPECT_DOUBLE_EQ(pwm.ClockHz(), 96e6);
  // Fault filter 0: sampling period 4, samples field 1 (4 samples): (1 + 3) x 4 + 2 = 18
  // clocks = 187.5 ns at 96 MHz; period 0 switches the filter off.
  project.OpenPage("PWM_A");
  project.Reg("PWM_A", "FFILT0_INIT").value = 0x0104;
  EXPECT_EQ(pwm.FaultLatencyClocks(0), 18);
  EXPECT_EQ(Shown(project, "fault 0 latency clocks"), "18 clk");
  EXPECT_EQ(Shown(project, "Fault 0 Input Filter: Input Signal Latency"), "0.1875 us");
  EXPECT_EQ(Shown(project, "fault 1 latency clocks"), "OFF");
}

TEST(PwmVariants, RegisterTablesAndDeclarationsOfEveryChipGroup) {
  struct Case {
    const char* part;
    size_t registers;
    const char* deadTime;
  };
  for (const Case& c : {Case{"CVX-01", 17, "PMDEADTM_INIT"}, Case{"CVX-10", 18, "PMDEADTM_INIT"},
                        Case{"CVX-20", 20, "PMDEADTM0_INIT"}, Case{"CVX-25", 25, "PMDEADTM0_INIT"},
                        Case{"CVX-28", 25, "PMDEADTM0_INIT"}}) {
    SCOPED_TRACE(c.part);
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened());
    const std::string prefix = project.Find("PWM_A") ? "PWM_A" : "PWM";
    auto& pwm = project.Module<CpmPWM>(prefix);
    EXPECT_EQ(pwm.Registers().size(), c.registers);
    EXPECT_EQ(pwm.Registers()[4].name, c.deadTime);
    EXPECT_EQ(pwm.Declaration().Verify(), std::vector<std::string>{});
    project.OpenPage(prefix);
    pwm.UpdateEnables();
    // The dead-time correction method is fixed on the Tebo and Casp groups.
    const bool fixed = std::string(c.part) == "CVX-20" || std::string(c.part) == "CVX-25";
    EXPECT_EQ(project.Ctl(prefix, pwm.ControlIdOf("Deadtime Correction Method:"))->enabled,
              !fixed);
  }
  EXPECT_EQ(CpmPWM::Variants().size(), 5u);
}

TEST(PwmFaults, MissingFaultsLeaveTheDisableMapAtOpenAndSave) {
  // Two faults: faults 2 and 3 are cleared from both maps in value, reset and stored value.
  // The header stores the reset map of four faults, as a project written before did.
  ProjectSpec spec = PwmSpec("CVX-10", "PWM_A\n{\n    FAULTS=2\n}\n");
  spec.defines = "#define PWM_A_PMCTL_INIT 0x0001U\n#define PWM_A_PMDISMAP1_INIT 0xFFFFU\n";
  ModuleProject project(spec);
  ASSERT_TRUE(project.Opened());
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  EXPECT_EQ(pwm.FaultMask(), 3u);
  const Register& map1 = project.Reg("PWM_A", "PMDISMAP1_INIT");
  EXPECT_EQ(map1.value, 0x3333u);
  EXPECT_EQ(map1.resetValue, 0x3333u);
  EXPECT_EQ(map1.savedValue, 0x3333u);
  EXPECT_EQ(project.Reg("PWM_A", "PMDISMAP2_INIT").value, 0x33u);
  project.OpenPage("PWM_A");
  pwm.UpdateEnables();
  EXPECT_TRUE(project.Ctl("PWM_A", pwm.ControlIdOf("Fault 1 Pin"))->enabled);
  EXPECT_FALSE(project.Ctl("PWM_A", pwm.ControlIdOf("Fault 2 Pin"))->enabled);
  EXPECT_FALSE(
      project.Ctl("PWM_A", pwm.ControlIdOf("Disable PWM Pins by Fault 3: Pin 5"))->enabled);
  const std::string saved = project.SavedHeader();
  EXPECT_TRUE(std::regex_search(saved, std::regex("PWM_A_PMDISMAP1_INIT +0x3333U"))) << saved;

  // A count beyond four means all four; a mask wins over a count.
  ModuleProject many(PwmSpec("CVX-10", "PWM_A\n{\n    FAULTS=9\n}\n"));
  EXPECT_EQ(many.Module<CpmPWM>("PWM_A").FaultMask(), 15u);
  EXPECT_EQ(many.Reg("PWM_A", "PMDISMAP1_INIT").value, 0xFFFFu);
  ModuleProject masked(PwmSpec("CVX-10", "PWM_A\n{\n    FAULTS_MASK=0x5\n    FAULTS=1\n}\n"));
  EXPECT_EQ(masked.Module<CpmPWM>("PWM_A").FaultMask(), 5u);
  EXPECT_EQ(masked.Reg("PWM_A", "PMDISMAP1_INIT").value, 0x5555u);
}

TEST(PwmValues, PercentEntriesRoundToNearestAndNegativeValuesShowSigned) {
  ModuleProject project(PwmSpec("CVX-10"));
  ASSERT_TRUE(project.Opened());
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  project.Reg("PWM_A", "PWMCM_INIT").value = 1000;
  uint32_t value = 0;
  ASSERT_TRUE(pwm.ParseValueText("50%", value));
  EXPECT_EQ(value, 500u);
  // -50 % of 1000 is -500: 0xFE0C, shown as -50 % again.
  ASSERT_TRUE(pwm.ParseValueText(" -50 %", value));
  EXPECT_EQ(value, 0xFE0Cu);
  EXPECT_EQ(pwm.ValueText(value), "-50 %");
  // 12.25 % of 1000 is 122.5: rounds away from zero on either side.
  ASSERT_TRUE(pwm.ParseValueText("12.25%", value));
  EXPECT_EQ(value, 123u);
  ASSERT_TRUE(pwm.ParseValueText("-12.25%", value));
  EXPECT_EQ(value, static_cast<uint32_t>(-123) & 0xFFFFu);
  EXPECT_FALSE(pwm.ParseValueText("150%", value));
  EXPECT_FALSE(pwm.ParseValueText("50%%", value));
  EXPECT_FALSE(pwm.ParseValueText("12 abc", value));
  ASSERT_TRUE(pwm.ParseValueText("0x20", value));
  EXPECT_EQ(value, 32u);
  // Raw display: the signed count.
  project.Reg("PWM_A", "PWMVAL_RAW_DUMMY").value = 1;
  EXPECT_EQ(pwm.ValueText(0xFE0C), "-500");
  // No modulus: 0 %, never a division by zero.
  project.Reg("PWM_A", "PWMVAL_RAW_DUMMY").value = 0;
  project.Reg("PWM_A", "PWMCM_INIT").value = 0;
  EXPECT_EQ(pwm.ValueText(500), "0 %");
}

TEST(PwmChecks, ComplementaryPairsNeedConsistentSoftwareControl) {
  ModuleProject project(PwmSpec("CVX-10"));
  ASSERT_TRUE(project.Opened());
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  project.OpenPage("PWM_A");
  Register& pmout = project.Reg("PWM_A", "PMOUT_INIT");
  pmout.value = 1u << 10;  // pin 2 only
  project.Check();
  EXPECT_EQ(project.WarningText("PWM_A", pwm.ControlIdOf("pair note 1")),
            "Software output control must be set consistently for the pins 2 and 3 when "
            "operating in complementary mode");
  EXPECT_TRUE(project.WarningText("PWM_A", pwm.ControlIdOf("pair note 0")).empty());
  // Independent pair: no rule.
  project.Reg("PWM_A", "PMCFG_INIT").value = 1u << 2;
  project.Check();
  EXPECT_TRUE(project.WarningText("PWM_A", pwm.ControlIdOf("pair note 1")).empty());

  // The initial value of a pin is editable only under software control; the odd value edit
  // of a complementary pair only for an independent pair.
  project.Reg("PWM_A", "PMCFG_INIT").value = 0;
  project.Reg("PWM_A", "USE_PWMVAL").value = 1;
  pwm.UpdateEnables();
  EXPECT_TRUE(project.Ctl("PWM_A", pwm.ControlIdOf("Initial Value on SW-controled Pins: Pin 2"))
                  ->enabled);
  EXPECT_FALSE(project.Ctl("PWM_A", pwm.ControlIdOf("Initial Value on SW-controled Pins: Pin 3"))
                   ->enabled);
  EXPECT_TRUE(project.Ctl("PWM_A", pwm.ControlIdOf("PWM Value 0"))->enabled);
  EXPECT_FALSE(project.Ctl("PWM_A", pwm.ControlIdOf("PWM Value 1"))->enabled);
}

TEST(PwmChecks, SyncOutputNeedsAZeroWindowAndSystemSourcesAreReported) {
  ModuleProject project(PwmSpec("CVX-25"));
  ASSERT_TRUE(project.Opened());
  auto& pwm = project.Module<CpmPWM>("PWM_A");
  project.OpenPage("PWM_A");
  Register& sync = project.Reg("PWM_A", "SYNC_INIT");
  sync.value = 0x8000 | 5;
  project.Check();
  EXPECT_EQ(project.WarningText("PWM_A", pwm.ControlIdOf("(window must be 0)")),
            "Synchronization window must be set to zero when normal Fault 2 operation is "
            "configured");
  sync.value = 0x8000;
  project.Check();
  EXPECT_TRUE(project.WarningText("PWM_A", pwm.ControlIdOf("(window must be 0)")).empty());

  // The system module asks whether it drives each pair's source and whether the PWM runs.
  const PwmGenerator* generator = FindCapability<PwmGenerator>(&project.Doc());
  ASSERT_NE(generator, nullptr);
  EXPECT_FALSE(generator->IsRunning());
  project.Reg("PWM_A", "PMCTL_INIT").value = 1;
  EXPECT_TRUE(generator->IsRunning());
  // Pair 2-3 on "PSRC1 input (see SYS)" (field 1 at bits 4..2).
  project.Reg("PWM_A", "PMSRC_INIT").value = 1u << 2;
  EXPECT_FALSE(generator->UsesSystemSource(0));
  EXPECT_TRUE(generator->UsesSystemSource(1));
  EXPECT_FALSE(generator->UsesSystemSource(3));
}

}  // namespace
}  // namespace tarq

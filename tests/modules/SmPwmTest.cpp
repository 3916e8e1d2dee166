// The sub-module PWM of the Dorn group: the counter arithmetic and the wizards without a
// page, then the sub-modules, the common control and the software layer in documents with a
// stand-in clock and the real crossbar and interrupt controller.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../support/ModuleHarness.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "modules/smpwm.h"
#include "modules/smpwm_calc.h"
#include "modules/xbar.h"

namespace tarq {
namespace {

using smpwm::Alignment;
using smpwm::Counter;

// ---- arithmetic ----

TEST(SmPwmCounter, TheDornExampleCounterRunsAt7500HzWith12Bits) {
  // INIT 0xF060 = -4000, VAL1 0x0F9F = 3999: 3999 - (-4000) + 1 = 8000 counts; on a 60 MHz
  // clock, prescaler /1: 8000 / 60 MHz = 133.33 us, 1 / 133.33 us = 7500 Hz.
  // Resolution: 2^13 - 1 = 8191 >= 8000 but 2^12 - 1 = 4095 < 8000: n = 12, "12 bit(s)".
  Counter c{.init = -4000, .val1 = 3999, .clockHz = 60e6};
  EXPECT_DOUBLE_EQ(smpwm::PeriodCounts(c), 8000);
  EXPECT_NEAR(smpwm::FrequencyHz(c), 7500, 1e-9);
  EXPECT_EQ(smpwm::ResolutionBits(c), 12);
  // Prescaler /4: 8000 x 4 / 60 MHz = 533.33 us, 1875 Hz; the resolution counts counts.
  c.prescalerField = 2;
  EXPECT_NEAR(smpwm::FrequencyHz(c), 1875, 1e-9);
  EXPECT_EQ(smpwm::ResolutionBits(c), 12);
  // Fractional delay, FRACVAL1 16: 8000 + 16/32 = 8000.5 counts; C = 8000 x 32 + 16 = 256016,
  // 2^18 - 1 = 262143 >= 256016 > 2^17 - 1: 17 bits.
  c = {.init = -4000, .val1 = 3999, .fracVal1 = 16, .fractional = true, .clockHz = 60e6};
  EXPECT_DOUBLE_EQ(smpwm::PeriodCounts(c), 8000.5);
  EXPECT_NEAR(smpwm::PeriodSeconds(c), 8000.5 / 60e6, 1e-15);
  EXPECT_EQ(smpwm::ResolutionBits(c), 17);
}

TEST(SmPwmCounter, NoPeriodOrNoClockGivesZeroNeverInfinity) {
  // VAL1 < INIT: no period, frequency 0 (not 1/0), no resolution.
  Counter c{.init = 100, .val1 = 99, .clockHz = 60e6};
  EXPECT_EQ(smpwm::PeriodSeconds(c), 0);
  EXPECT_EQ(smpwm::FrequencyHz(c), 0);
  EXPECT_EQ(smpwm::ResolutionBits(c), -1);
  // VAL1 = INIT is one count, a valid period.
  c.val1 = 100;
  EXPECT_NEAR(smpwm::FrequencyHz(c), 60e6, 1e-3);
  // No clock: period 0, frequency 0, edges unknown.
  c = {.init = 0, .val1 = 999, .clockHz = 0};
  EXPECT_EQ(smpwm::PeriodSeconds(c), 0);
  EXPECT_EQ(smpwm::FrequencyHz(c), 0);
  EXPECT_LT(smpwm::EdgeSeconds(c, 10, 0), 0);
  EXPECT_EQ(smpwm::DeadTimeSeconds(100, 0), 0);
}

TEST(SmPwmCounter, TheResolutionSearchReaches21BitsForTheLongestFractionalPeriod) {
  // INIT -32768, VAL1 32767: 65536 counts; with the fractional delay and FRACVAL1 31,
  // C = 65536 x 32 + 31 = 2097183 > 2^21 - 1 = 2097151: no n up to 20 fits, n = 21 does.
  Counter c{.init = -32768, .val1 = 32767, .fracVal1 = 31, .fractional = true, .clockHz = 60e6};
  EXPECT_EQ(smpwm::ResolutionBits(c), 21);
  c.fractional = false;
  EXPECT_EQ(smpwm::ResolutionBits(c), 16);  // 2^17 - 1 = 131071 >= 65536 > 2^16 - 1
}

TEST(SmPwmCounter, EdgesAreTimedFromTheStartOfThePeriod) {
  Counter c{.init = -4000, .val1 = 3999, .clockHz = 60e6};
  // VAL2 -2000: 2000 counts after INIT, 2000 / 60 MHz = 33.33 us.
  EXPECT_NEAR(smpwm::EdgeSeconds(c, -2000, 0), 2000 / 60e6, 1e-15);
  // Fractional part 8/32 with the fractional delay on: 2000.25 counts.
  c.fractional = true;
  EXPECT_NEAR(smpwm::EdgeSeconds(c, -2000, 8), 2000.25 / 60e6, 1e-15);
  // Outside INIT..VAL1 the edge never comes.
  EXPECT_LT(smpwm::EdgeSeconds(c, 4000, 0), 0);
  EXPECT_LT(smpwm::EdgeSeconds(c, -4001, 0), 0);
}

TEST(SmPwmWizard, CenterAlignedThreeSubmodulesAt7500Hz) {
  // 60 MHz / 7500 Hz = 8000 counts at /1 (at most 65536 centred counts): INIT -4000,
  // VAL1 3999; 50 % duty: edges at -2000 and 2000; 500 ns x 60 MHz = 30 dead-time counts.
  smpwm::WizardInput in{.clockHz = 60e6,
                        .frequencyHz = 7500,
                        .alignment = Alignment::Center,
                        .deadTimeNs = 500,
                        .dutyPercent = 50,
                        .submodules = {0, 1, 2}};
  const smpwm::WizardResult r = smpwm::ComputeWizard(in);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.prescalerField, 0);
  EXPECT_EQ(r.counts, 8000);
  EXPECT_NEAR(r.actualHz, 7500, 1e-9);
  EXPECT_EQ(r.deadTimeCount, 30);
  ASSERT_EQ(r.settings.size(), 3u);
  const PwmCounterSettings& first = r.settings[0].second;
  EXPECT_EQ(first.init, -4000);
  EXPECT_EQ(first.val1, 3999);
  EXPECT_EQ(first.val0, 0);
  EXPECT_EQ(first.val2, -2000);
  EXPECT_EQ(first.val3, 2000);
  EXPECT_EQ(first.clockSource, 0);
  // PWM_1 and PWM_2 follow PWM_0: its clock, sync and reload, their own prescaler at /1.
  for (size_t i = 1; i < 3; ++i) {
    const PwmCounterSettings& s = r.settings[i].second;
    EXPECT_EQ(s.clockSource, 2);
    EXPECT_EQ(s.syncSource, 2);
    EXPECT_EQ(s.reloadSource, 1);
    EXPECT_EQ(s.prescalerField, 0);
    EXPECT_EQ(s.init, -4000);
  }
  ASSERT_FALSE(r.warnings.empty());
  EXPECT_EQ(r.warnings[0],
            "Warning: This wizard automatically changes in CENTER ALIGN mode channel 1 and 2 Clock "
            "source from channel 0 and prescaler to /1.");
  // The description shown before applying names every sub-module and the warning.
  const std::vector<std::string> lines = smpwm::DescribeWizard(r);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Prescaler /1, 8000 counts per period, frequency 7500.000 Hz");
  EXPECT_EQ(lines[1], "Dead time 30 counts =  500.000 ns");
  EXPECT_EQ(lines[2], "PWM_0: INIT -4000, VAL1 3999, VAL0 0, VAL2 -2000, VAL3 2000, bus clock");
  EXPECT_EQ(lines[5], "Load OK and Run are set for PWM_0, PWM_1, PWM_2.");
}

TEST(SmPwmWizard, PrescalerLimitsAndRefusals) {
  // Edge aligned, 100 Hz on 60 MHz: 600000 clocks; 600000 / 32 = 18750 <= 32768 but
  // 600000 / 16 = 37500 > 32768: prescaler /32, INIT 0, VAL1 18749, exactly 100 Hz.
  smpwm::WizardInput in{
      .clockHz = 60e6, .frequencyHz = 100, .alignment = Alignment::Edge, .submodules = {1}};
  smpwm::WizardResult r = smpwm::ComputeWizard(in);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.prescalerField, 5);
  EXPECT_EQ(r.settings[0].second.init, 0);
  EXPECT_EQ(r.settings[0].second.val1, 18749);
  EXPECT_DOUBLE_EQ(r.actualHz, 100);
  // A sub-module other than PWM_0 first runs on its own: no follower warning.
  EXPECT_TRUE(r.warnings.empty());
  // 1 Hz needs 60e6 / 128 = 468750 counts: more than any prescaler allows.
  in.frequencyHz = 1;
  EXPECT_FALSE(smpwm::ComputeWizard(in).ok);
  // 50 MHz would be 1.2 counts.
  in.frequencyHz = 50e6;
  EXPECT_FALSE(smpwm::ComputeWizard(in).ok);
  // No clock, no frequency, no sub-module: refused with a reason, never a division by 0.
  in = {.clockHz = 0, .frequencyHz = 1000, .submodules = {0}};
  r = smpwm::ComputeWizard(in);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  in = {.clockHz = 60e6, .frequencyHz = 0, .submodules = {0}};
  EXPECT_FALSE(smpwm::ComputeWizard(in).ok);
  in = {.clockHz = 60e6, .frequencyHz = 1000};
  EXPECT_FALSE(smpwm::ComputeWizard(in).ok);
  // A dead time beyond the 11-bit counter is limited, and said so.
  in = {.clockHz = 60e6, .frequencyHz = 1000, .deadTimeNs = 100000, .submodules = {0}};
  r = smpwm::ComputeWizard(in);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.deadTimeCount, 0x7FF);
  EXPECT_EQ(r.warnings.size(), 1u);
}

TEST(SmPwmWizard, EntriesArePercentagesOrPlainNumbers) {
  double value = 0;
  bool percent = false;
  ASSERT_TRUE(smpwm::ParseWizardNumber(" 25 %", value, percent));
  EXPECT_DOUBLE_EQ(value, 25);
  EXPECT_TRUE(percent);
  ASSERT_TRUE(smpwm::ParseWizardNumber("7500", value, percent));
  EXPECT_DOUBLE_EQ(value, 7500);
  EXPECT_FALSE(percent);
  EXPECT_FALSE(smpwm::ParseWizardNumber("7500 Hz", value, percent));
  EXPECT_FALSE(smpwm::ParseWizardNumber("25 % x", value, percent));
  EXPECT_FALSE(smpwm::ParseWizardNumber("fast", value, percent));
}

// ---- modules in a document ----

const std::string kPwmTree =
    "PWM PWMAll_Dorn NONE IRQ:55,56,57 \"Pulse Width Modulator\"\n"
    "{\n"
    "    PWM_0 PWM_Dorn PWM IRQ:47,48 \"Submodule 0\"\n"
    "    PWM_1 PWM_Dorn PWM IRQ:49,50 \"Submodule 1\"\n"
    "    PWM_2 PWM_Dorn PWM IRQ:51,52 \"Submodule 2\"\n"
    "    PWM_3 PWM_Dorn PWM IRQ:53,54 \"Submodule 3\"\n"
    "    PWM_SW PWM_Dorn_SWLayer PWM IRQ: \"EZPWM Software Layer\"\n"
    "}\n";
const std::string kXbar = "XBAR XBAR NONE IRQ: \"Crossbar Switch\"\n";
const std::string kIntc = "INTC INTC NONE IRQ: \"Interrupt Controller\"\n";

ProjectSpec PwmSpec(const std::string& defines, bool withXbar = true, bool withIntc = false) {
  return {.part = "CVX-31",
          .defines = defines,
          .tree = "OCCS CLOCK NONE IRQ:\n" + (withIntc ? kIntc : "") + kPwmTree +
                  (withXbar ? kXbar : ""),
          .factory = [](ModuleFactory& factory) {
            factory.Register("CLOCK", [](const ArchitectureEntry& entry, CModuleBase*) {
              auto clock = std::make_unique<StubClockSource>(entry);
              clock->bus = 60;
              return std::unique_ptr<CModuleBase>(std::move(clock));
            });
          }};
}

const char* const kDornCounter =
    "#define PWM_MCTRL_INIT 0x0001U\n#define PWM_OUTEN_INIT 0x0110U\n"
    "#define PWM_0_CTRL_INIT 0x0400U\n#define PWM_0_INIT_INIT 0xF060U\n"
    "#define PWM_0_VAL1_INIT 0x0F9FU\n";

std::string Shown(ModuleProject& project, const std::string& prefix, const std::string& key) {
  auto& module = *dynamic_cast<CDeclaredModule*>(project.Find(prefix));
  module.UpdateValues();
  const DeclaredControl* control = module.Declaration().Find(key);
  if (!control) return "(no control " + key + ")";
  Control* shown = project.Ctl(prefix, control->id);
  return shown ? shown->text : "(not on the page)";
}

std::string WarningOf(ModuleProject& project, const std::string& prefix, const std::string& key,
                      bool caption = false) {
  auto& module = *dynamic_cast<CDeclaredModule*>(project.Find(prefix));
  const DeclaredControl* control = module.Declaration().Find(key);
  if (!control) return "(no control " + key + ")";
  return project.WarningText(prefix, caption ? control->captionId : control->id);
}

TEST(SmPwmModules, EveryPageDeclaresCleanlyWithTheCommonBitsOnEachSubmodule) {
  ModuleProject project(PwmSpec(""));
  ASSERT_TRUE(project.Opened());
  auto& common = project.Module<CpmPWMAll_Dorn>("PWM");
  EXPECT_EQ(common.GetRegisterCount(), 17u);
  EXPECT_TRUE(common.Declaration().Verify().empty());
  EXPECT_TRUE(common.Declaration().Has("Submodule 3: Disable Pins PWMX by Fault: Fault 3"));
  for (int n = 0; n < 4; ++n) {
    auto& sub = project.Module<CpmPWM_Dorn>(Format("PWM_%d", n));
    EXPECT_EQ(sub.GetRegisterCount(), 28u);
    EXPECT_EQ(sub.SubmoduleNumber(), n);
    const std::vector<std::string> faults = sub.Declaration().Verify();
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_TRUE(sub.Declaration().Has("PWMA Output enable"));
  }
  EXPECT_TRUE(project.Module<CpmPWM_Dorn_SWLayer>("PWM_SW").Declaration().Verify().empty());
  for (const char* prefix : {"PWM", "PWM_0", "PWM_SW"})
    EXPECT_NE(&project.OpenPage(prefix), nullptr);

  // Without the common module a sub-module's page lacks the shared bits and stays sound.
  ModuleProject alone(
      {.part = "CVX-31", .tree = "PWM_1 PWM_Dorn NONE IRQ:49,50 \"Submodule 1\"\n"});
  ASSERT_TRUE(alone.Opened());
  auto& single = alone.Module<CpmPWM_Dorn>("PWM_1");
  EXPECT_TRUE(single.Declaration().Verify().empty());
  EXPECT_FALSE(single.Declaration().Has("PWMA Output enable"));
  alone.OpenPage("PWM_1");
  EXPECT_EQ(Shown(alone, "PWM_1", "Frequency:"), "n/a");  // no clock module
}

TEST(SmPwmModules, TheSubmodulePageEditsItsOwnBitsOfTheCommonRegisters) {
  ModuleProject project(PwmSpec(""));
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("PWM_2");
  auto& sub = project.Module<CpmPWM_Dorn>("PWM_2");
  // PWMA of sub-module 2: output enable bit 8 + 2, mask bit 8 + 2; OUT23_2 is SWCOUT bit 5;
  // run is MCTRL bit 8 + 2; dead-time source 23 of sub-module 2 is DTSRCSEL bits 11..10.
  ASSERT_TRUE(page.Click(sub.ControlIdOf("PWMA Output enable")));
  ASSERT_TRUE(page.Click(sub.ControlIdOf("PWMX Mask")));
  ASSERT_TRUE(page.Click(sub.ControlIdOf("Software Controlled Output 23")));
  ASSERT_TRUE(page.Click(sub.ControlIdOf("Run")));
  EXPECT_EQ(project.Reg("PWM", "-PWM_OUTEN_INIT").value, 1u << 10);
  EXPECT_EQ(project.Reg("PWM", "-PWM_MASK_INIT").value, 1u << 2);
  EXPECT_EQ(project.Reg("PWM", "-PWM_SWCOUT_INIT").value, 1u << 5);
  EXPECT_EQ(project.Reg("PWM", "-PWM_MCTRL_INIT").value, 0x0001u | (1u << 10));
  // The sub-module's own registers are untouched by those boxes.
  EXPECT_EQ(project.Reg("PWM_2", "CTRL_INIT").value, 0x0400u);
  // The common page edits the sub-modules' disable maps: PWMB of sub-module 1 by fault 2 is
  // DISMAP bit 4 + 2.
  Page& commonPage = project.OpenPage("PWM");
  auto& common = project.Module<CpmPWMAll_Dorn>("PWM");
  ASSERT_TRUE(
      commonPage.Click(common.ControlIdOf("Submodule 1: Disable Pins PWMB by Fault: Fault 2")));
  EXPECT_EQ(project.Reg("PWM_1", "DISMAP_INIT").value, 0xFFFFu & ~(1u << 6));
  // Saved (the modules edited are kept, as the user answers the question of unselected
  // modules): the common registers under their own names, the sub-module's with its prefix.
  project.Host().defaultAnswer = Answer::Yes;
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PWM_OUTEN_INIT"), std::string::npos);
  EXPECT_EQ(header.find("PWM_PWM_"), std::string::npos);
  EXPECT_NE(header.find("#define PWM_1_DISMAP_INIT"), std::string::npos);
}

TEST(SmPwmModules, TheDornCounterShowsItsTimingAndTheSyncedSubmoduleTakesPwm0Modulo) {
  ModuleProject project(PwmSpec(std::string(kDornCounter) +
                                "#define PWM_1_CTRL2_INIT 0x0202U\n"  // AUX_CLK, master sync
                                "#define PWM_1_INIT_INIT 0xF060U\n#define PWM_1_VAL1_INIT 0x0001U\n"
                                "#define PWM_0_DTCNT0_INIT 0x001EU\n"
                                "#define PWM_0_VAL2_INIT 0xF830U\n#define PWM_0_VAL3_INIT 0x7000U\n"
                                "#define PWM_0_USE_PWMVAL 1\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM_0");
  // 8000 counts on 60 MHz: 7.5 kHz, 12 bits (see the arithmetic above).
  EXPECT_EQ(Shown(project, "PWM_0", "Frequency:"), "7.5 kHz");
  EXPECT_EQ(Shown(project, "PWM_0", "Resolution:"), "12 bit(s)");
  EXPECT_EQ(Shown(project, "PWM_0", "Counter clock:"), "60 MHz");
  // Dead time 30 / 60 MHz = 0.5 us.
  EXPECT_EQ(Shown(project, "PWM_0", "dead time 0"), "0.5 us");
  // VAL2 0xF830 = -2000: 2000 counts after INIT, 33.33 us; VAL3 0x7000 lies beyond VAL1.
  EXPECT_EQ(Shown(project, "PWM_0", "edge time 2"), "33.33333 us");
  EXPECT_EQ(Shown(project, "PWM_0", "edge time 3"), "outside the period");
  // PWM_1 runs on PWM_0's clock and is re-initialised by its sync: its own VAL1 of 1 gives
  // way to PWM_0's 3999, so it runs the same 7.5 kHz.
  project.OpenPage("PWM_1");
  EXPECT_EQ(Shown(project, "PWM_1", "Frequency:"), "7.5 kHz");
  // Back to its own sync: -4000..1 is 4002 counts, 60 MHz / 4002 = 14.99 kHz.
  project.Reg("PWM_1", "CTRL2_INIT").value = 0x0002;
  EXPECT_EQ(Shown(project, "PWM_1", "Frequency:"), "14.9925 kHz");
  // PWM_0's prescaler /2 halves PWM_1's auxiliary clock.
  project.Reg("PWM_0", "CTRL_INIT").value = 0x0410;
  EXPECT_EQ(Shown(project, "PWM_1", "Counter clock:"), "30 MHz");
}

TEST(SmPwmModules, PeriodZeroShowsTheFallbackAndWarns) {
  ModuleProject project(
      PwmSpec("#define PWM_0_INIT_INIT 0x0010U\n#define PWM_0_VAL1_INIT 0x0008U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM_0");
  project.Check();
  EXPECT_EQ(Shown(project, "PWM_0", "Frequency:"), "n/a");
  EXPECT_EQ(Shown(project, "PWM_0", "Period:"), "n/a");
  EXPECT_EQ(Shown(project, "PWM_0", "Resolution:"), "n/a");
  EXPECT_EQ(WarningOf(project, "PWM_0", "init note"),
            "Init register is higher than Value1 register and PWM output will not be generated "
            "correctly");
  // Signed: INIT 0xFFF0 (-16) is below VAL1 8, no warning.
  project.Reg("PWM_0", "INIT_INIT").value = 0xFFF0;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_0", "init note"), "");
  EXPECT_EQ(Shown(project, "PWM_0", "Resolution:"), "4 bit(s)");  // 25 counts: 2^5 - 1 >= 25
}

TEST(SmPwmModules, Submodule0MustNotTakeItsSourcesFromItself) {
  ModuleProject project(PwmSpec(""));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM_0");
  Register& ctrl2 = project.Reg("PWM_0", "CTRL2_INIT");
  const auto check = [&](uint32_t value) {
    ctrl2.value = value;
    project.Reg("PWM_1", "CTRL2_INIT").value = value;
    project.Check();
  };
  check(0x0002);  // AUX_CLK
  EXPECT_EQ(WarningOf(project, "PWM_0", "Clock source:", true),
            "Clock source for Submodule 0 should not be AUX_CLK as it will force the clock to "
            "logic 0.");
  EXPECT_EQ(WarningOf(project, "PWM_1", "Clock source:", true), "");
  for (uint32_t sync : {1u, 2u}) {
    check(sync << 8);
    EXPECT_EQ(WarningOf(project, "PWM_0", "Sync. source", true),
              "PWM Sync source for Submodule 0 should not be PWM_0 as it will force the signal to "
              "logic 0.");
  }
  check(3u << 8);  // EXT_SYNC is fine
  EXPECT_EQ(WarningOf(project, "PWM_0", "Sync. source", true), "");
  check(0x0004);
  EXPECT_EQ(WarningOf(project, "PWM_0", "Reload source", true),
            "PWM Reload source for Submodule 0 should not be PWM_0 as it will force the signal to "
            "logic 0.");
  // FORCE_SEL 1, 3 and 5 are signals of PWM_0; 0, 2, 4, 6 and 7 are not.
  for (uint32_t force = 0; force < 8; ++force) {
    check(force << 3);
    const bool fromPwm0 = force == 1 || force == 3 || force == 5;
    EXPECT_EQ(WarningOf(project, "PWM_0", "Source of FORCE OUTPUT signal", true).empty(), !fromPwm0)
        << force;
    EXPECT_EQ(WarningOf(project, "PWM_1", "Source of FORCE OUTPUT signal", true), "");
  }
}

TEST(SmPwmModules, FractionalLogicNeedsPowerBothPairsAndA60MHzClock) {
  ModuleProject project(PwmSpec("#define PWM_2_FRCTRL_INIT 0x0002U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM_2");
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_2", "fraction note"),
            "Enable Power for Fractional logic. EZPWM submodule 2 is using Fractional Logic, but "
            "it is not powered up.");
  project.Reg("PWM_2", "FRCTRL_INIT").value = 0x0102;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_2", "fraction note"),
            "Enable Fractional 2 & 3. PWM outputs are not generated correctly, when Fractional "
            "delay logic 1 is enabled and Fractional delay logic 2 & 3 are disabled.");
  project.Reg("PWM_2", "FRCTRL_INIT").value = 0x0106;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_2", "fraction note"),
            "Enable Fractional 4 & 5. PWM outputs are not generated correctly, when Fractional "
            "delay logic 1 is enabled and Fractional delay logic 4 & 5 is disabled.");
  project.Reg("PWM_2", "FRCTRL_INIT").value = 0x0116;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_2", "fraction note"), "");
  EXPECT_EQ(WarningOf(project, "PWM_2", "fractional clock note"), "");  // 60 MHz
  project.Module<StubClockSource>("OCCS").bus = 50;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_2", "fractional clock note"),
            "PWM module clock frequency is not 60MHz and it is required by Fractional Delay Logic");
}

TEST(SmPwmCrossbar, ExternalSignalsAreCheckedAgainstTheCrossbarOutputs) {
  // PWM_1: external clock (CTRL2 1..0 = 1) and EXT_SYNC (9..8 = 3).
  ModuleProject project(PwmSpec("#define PWM_1_CTRL2_INIT 0x0301U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM_1");
  project.Check();
  EXPECT_NE(WarningOf(project, "PWM_1", "clock note")
                .find("PWM module is using external clock, but is not set in"),
            std::string::npos);
  EXPECT_NE(WarningOf(project, "PWM_1", "sync note")
                .find("PWM module is using external sync signal, but is not set in"),
            std::string::npos);
  // Output 20 (XBC10 bits 4..0) feeds the external clock, output 17 (XBC8 bits 12..8) the
  // sync of sub-module 1.
  project.Reg("XBAR", "XBC10_INIT").value = 0x0002;
  project.Reg("XBAR", "XBC8_INIT").value = 0x0300;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM_1", "clock note"), "");
  EXPECT_EQ(WarningOf(project, "PWM_1", "sync note"), "");
  auto& sub = project.Module<CpmPWM_Dorn>("PWM_1");
  EXPECT_NE(
      project.Ctl("PWM_1", sub.ControlIdOf("clock note"))->text.find("Ext Clock is configured"),
      std::string::npos);

  // The output pins are in use while their outputs are enabled.
  EXPECT_FALSE(sub.IsSignalUsed("PWMA1"));
  project.Reg("PWM", "-PWM_OUTEN_INIT").value = 1u << 9;  // PWMA of sub-module 1
  EXPECT_TRUE(sub.IsSignalUsed("PWMA1"));
  EXPECT_FALSE(sub.IsSignalUsed("PWMB1"));
  EXPECT_FALSE(sub.IsSignalUsed("PWMA0"));

  // Without a crossbar the checks are silent.
  ModuleProject noXbar(PwmSpec("#define PWM_1_CTRL2_INIT 0x0301U\n", false));
  ASSERT_TRUE(noXbar.Opened());
  noXbar.Check();
  EXPECT_TRUE(noXbar.WarningsOf("PWM_1").empty());
}

TEST(SmPwmCrossbar, UsedFaultsNeedACrossbarInputAndTheTriggersReachTheCrossbar) {
  // PWMA0 and PWMB0 enabled; PWM_0's disable map maps fault 1 only (A: bit 1, B: bit 5).
  ModuleProject project(
      PwmSpec("#define PWM_OUTEN_INIT 0x0110U\n#define PWM_0_DISMAP_INIT 0x0022U\n"
              "#define XBAR_XBC3_INIT 0x0010U\n"));
  ASSERT_TRUE(project.Opened());
  auto& common = project.Module<CpmPWMAll_Dorn>("PWM");
  EXPECT_FALSE(common.IsFaultUsed(0));
  EXPECT_TRUE(common.IsFaultUsed(1));
  project.OpenPage("PWM");
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM", "fault 0 note"), "");
  EXPECT_NE(WarningOf(project, "PWM", "fault 1 note")
                .find("PWM module is using Fault 1, but is not set in"),
            std::string::npos);
  // Fault 3 by its interrupt alone.
  project.Reg("PWM", "-PWM_FCTRL_INIT").value = 0x0008;
  project.Check();
  EXPECT_NE(WarningOf(project, "PWM", "fault 3 note"), "");
  // Output 22 (fault 1) is XBC11 bits 4..0; output 24 (fault 3) is XBC12 bits 4..0.
  project.Reg("XBAR", "XBC11_INIT").value = 0x0009;
  project.Reg("XBAR", "XBC12_INIT").value = 0x000A;
  project.Check();
  EXPECT_EQ(WarningOf(project, "PWM", "fault 1 note"), "");
  EXPECT_EQ(WarningOf(project, "PWM", "fault 3 note"), "");

  // The crossbar routes PWM0_TRIG_COMB to output 6 (XBC3 0x0010): it warns while PWM_0 has
  // no output trigger on, and stops once trigger 0 is.
  auto warningOfRow = [&](int output) {
    const auto warning = project.WarningAt("XBAR", CpmXBAR::RowWarningId(output));
    return warning ? warning->text : std::string();
  };
  EXPECT_NE(warningOfRow(6).find("PWM_0 triggers are not selected"), std::string::npos);
  project.Reg("PWM_0", "TCTRL_INIT").value = 0x0001;
  project.Check();
  EXPECT_EQ(warningOfRow(6), "");
  EXPECT_TRUE(project.Module<CpmPWM_Dorn>("PWM_0").IsOutputTriggerEnabled(0));
  EXPECT_FALSE(project.Module<CpmPWM_Dorn>("PWM_0").IsOutputTriggerEnabled(6));
}

TEST(SmPwmVectors, InterruptEnablesClaimTheirVectors) {
  ModuleProject project(
      PwmSpec("#define PWM_2_INTEN_INIT 0x1001U\n#define PWM_FCTRL_INIT 0x0001U\n", true, true));
  ASSERT_TRUE(project.Opened());
  project.Check();
  auto& intc = project.Module<CpmINTC>("INTC");
  // Compare 0 and reload of PWM_2: vectors 51 and 52; fault interrupt: vector 57.
  ASSERT_NE(intc.IsrRegister(51), nullptr);
  EXPECT_EQ(intc.IsrRegister(51)->text, "Pwm2CompareISR");
  EXPECT_EQ(intc.IsrRegister(52)->text, "Pwm2ReloadISR");
  EXPECT_EQ(intc.IsrRegister(57)->text, "PwmFaultISR");
  EXPECT_FALSE(intc.IsClaimed(55));
  // A capture interrupt of any sub-module claims the common capture vector.
  project.Reg("PWM_3", "INTEN_INIT").value = 1u << 10;
  project.Reg("PWM_2", "INTEN_INIT").value = 0;
  project.Check();
  EXPECT_TRUE(intc.IsClaimed(55));
  EXPECT_FALSE(intc.IsClaimed(51));
  // A routine the user named on a vector stays when the interrupt is enabled, and is still
  // there when it is disabled again.
  intc.IsrRegister(48)->text = "CommutationIsr";
  intc.IsrRegister(48)->value = 1;
  project.Reg("PWM_0", "INTEN_INIT").value = 1u << 12;
  project.Check();
  EXPECT_TRUE(intc.IsClaimed(48));
  EXPECT_EQ(intc.IsrRegister(48)->text, "CommutationIsr");
  project.Reg("PWM_0", "INTEN_INIT").value = 0;
  project.Check();
  EXPECT_FALSE(intc.IsClaimed(48));
  EXPECT_EQ(intc.IsrRegister(48)->text, "CommutationIsr");
}

TEST(SmPwmSoftwareLayer, NotesFollowTheCountersOfAllFourSubmodules) {
  // PWM_0 centred (-4000..3999), PWM_1 edge (0..999), PWM_2 and PWM_3 neither.
  ModuleProject project(
      PwmSpec(std::string(kDornCounter) +
              "#define PWM_1_VAL1_INIT 0x03E7U\n"
              "#define PWM_2_INIT_INIT 0x0005U\n#define PWM_2_VAL1_INIT 0x0009U\n"
              "#define PWM_3_INIT_INIT 0x0005U\n#define PWM_3_VAL1_INIT 0x0009U\n"));
  ASSERT_TRUE(project.Opened());
  auto& sw = project.Module<CpmPWM_Dorn_SWLayer>("PWM_SW");
  EXPECT_EQ(sw.CommandsNote(),
            "You can use EDGE ALIGN submodule ioctl commands in PWM Submodule 1, you can use "
            "CENTER ALIGN submodule ioctl commands in PWM Submodule 0, ");
  EXPECT_EQ(sw.ThreePhaseNote(), "EZPWM module is not configured to use 3 phase ioctl commands.");
  project.Reg("PWM_1", "VAL1_INIT").value = 0;
  project.Reg("PWM_0", "INIT_INIT").value = 0x0001;
  EXPECT_EQ(sw.CommandsNote(),
            "You can not use any of the EDGE ALIGN submodule ioctl commands, you can not use any "
            "of the CENTER ALIGN submodule ioctl commands.");

  // The 3-phase wizard on PWM_0, PWM_2, PWM_3 centred: the matching command.
  auto& common = project.Module<CpmPWMAll_Dorn>("PWM");
  project.Reg("PWM", "PWM_WIZARD_THREEPHASE0_INIT").value = 7500;
  project.Reg("PWM", "PWM_WIZARD_THREEPHASE3_INIT").value = 0x20;
  ASSERT_TRUE(common.ApplyWizard(true));
  EXPECT_EQ(sw.ThreePhaseNote(),
            "EZPWM module is configured to use 3 phase "
            "EZPWM_CENTER_ALIGN_UPDATE_VALUE_REGS_COMPL_023 ioctl command.");
  // Edge aligned: independent pairs from 0.
  project.Reg("PWM", "PWM_WIZARD_THREEPHASE3_INIT").value = 0x21;
  ASSERT_TRUE(common.ApplyWizard(true));
  EXPECT_EQ(sw.ThreePhaseNote(),
            "EZPWM module is configured to use 3 phase "
            "EZPWM_EDGE_ALIGN_UPDATE_VALUE_REGS_INDEP_023 ioctl command.");
  // One phase changed by hand: no longer three matching phases.
  project.Reg("PWM_3", "VAL1_INIT").value = 100;
  EXPECT_EQ(sw.ThreePhaseNote(), "EZPWM module is not configured to use 3 phase ioctl commands.");
}

TEST(SmPwmWizardPage, TheResultIsShownBeforeTheApplyLinkWritesTheSubmodules) {
  ModuleProject project(PwmSpec(""));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PWM");
  // 7500 Hz centred on PWM_0 and PWM_1 (options: bits 4 and 5).
  project.Reg("PWM", "PWM_WIZARD0_INIT").value = 7500;
  project.Reg("PWM", "PWM_WIZARD3_INIT").value = 0x30;
  EXPECT_EQ(Shown(project, "PWM", "wizard result 0"),
            "Prescaler /1, 8000 counts per period, frequency 7500.000 Hz");
  EXPECT_EQ(Shown(project, "PWM", "wizard result 3"),
            "PWM_1: INIT -4000, VAL1 3999, VAL0 0, VAL2 -2000, VAL3 2000, clock of PWM_0, sync and "
            "reload from PWM_0");
  // Nothing written yet.
  EXPECT_EQ(project.Reg("PWM_1", "VAL1_INIT").value, 0u);
  auto& common = project.Module<CpmPWMAll_Dorn>("PWM");
  common.OnLinkQuery(&common, common.MakeLink(0, CpmPWMAll_Dorn::kApplyWizardQuery, true),
                     CpmPWMAll_Dorn::kApplyWizardQuery);
  EXPECT_EQ(project.Reg("PWM_0", "INIT_INIT").value, 0xF060u);
  EXPECT_EQ(project.Reg("PWM_1", "VAL1_INIT").value, 0x0F9Fu);
  EXPECT_EQ(project.Reg("PWM_1", "CTRL2_INIT").value, 0x0206u);  // AUX_CLK, master reload, sync
  EXPECT_EQ(project.Reg("PWM", "-PWM_MCTRL_INIT").value, 0x0303u);
  EXPECT_EQ(project.Reg("PWM_2", "VAL1_INIT").value, 0u);  // not selected
  project.OpenPage("PWM_1");
  EXPECT_EQ(Shown(project, "PWM_1", "Frequency:"), "7.5 kHz");

  // A wizard that cannot compute says why and writes nothing.
  project.Reg("PWM", "PWM_WIZARD0_INIT").value = 1;
  EXPECT_FALSE(common.ApplyWizard(false));
  EXPECT_EQ(project.Reg("PWM_1", "VAL1_INIT").value, 0x0F9Fu);
  EXPECT_NE(Shown(project, "PWM", "wizard result 0").find("too low"), std::string::npos);

  // The inputs are kept in the header's parameter block and come back.
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("PWM_WIZARD3_INIT"), std::string::npos);
  EXPECT_EQ(header.find("#define PWM_WIZARD"), std::string::npos);
}

}  // namespace
}  // namespace tarq

// The interval timers: rate and roll-over time, slave mode, the two chip groups and the
// Casp example's timer.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/pit.h"

namespace tarq {
namespace {

ProjectSpec PitSpec(const std::string& part, const std::string& timers) {
  return {.part = part,
          .tree = "OCCS CLOCK NONE IRQ:\n" + timers,
          .factory = [](ModuleFactory& factory) {
            factory.Register("CLOCK", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<StubClockSource>(entry));
            });
          }};
}

std::string Shown(ModuleProject& project, const std::string& prefix, const std::string& key) {
  auto& pit = project.Module<CpmPIT>(prefix);
  pit.UpdateValues();
  return project.Ctl(prefix, pit.ControlIdOf(key))->text;
}

TEST(PitTiming, RateAndRollOverFollowModuloAndPrescaler) {
  ModuleProject project(PitSpec("CVX-25", "PIT_0 PIT NONE IRQ:58\n"));
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  project.OpenPage("PIT_0");
  Register& ctrl = project.Reg("PIT_0", "CTRL_INIT");
  project.Reg("PIT_0", "MOD_INIT").value = 31999;

  // No bus clock: no rate, "??" for both.
  EXPECT_EQ(Shown(project, "PIT_0", "Interrupt Rate:"), "??");
  EXPECT_EQ(Shown(project, "PIT_0", "Roll Over Time:"), "??");

  clock.bus = 32;
  // 32 MHz / ((31999 + 1) x 1) = 1 kHz, 1 ms.
  EXPECT_DOUBLE_EQ(project.Module<CpmPIT>("PIT_0").InterruptRateHz(), 1000.0);
  EXPECT_EQ(Shown(project, "PIT_0", "Interrupt Rate:"), "1 kHz");
  EXPECT_EQ(Shown(project, "PIT_0", "Roll Over Time:"), "1 ms");
  // Prescaler "/ 2" (field 1): 32 MHz / (32000 x 2) = 500 Hz, 2 ms.
  ctrl.value = 1u << 3;
  EXPECT_EQ(Shown(project, "PIT_0", "Interrupt Rate:"), "500 Hz");
  EXPECT_EQ(Shown(project, "PIT_0", "Roll Over Time:"), "2 ms");
  // "/ 32768" (field 15), modulo 0: 32 MHz / (1 x 32768) = 976.5625 Hz.
  ctrl.value = 15u << 3;
  project.Reg("PIT_0", "MOD_INIT").value = 0;
  EXPECT_DOUBLE_EQ(project.Module<CpmPIT>("PIT_0").InterruptRateHz(), 976.5625);
}

TEST(PitPage, SlaveModeExistsAfterTheFirstTimerAndHoldsTheCounterEnable) {
  ModuleProject project(PitSpec("CVX-25", "PIT_0 PIT NONE IRQ:58\nPIT_1 PIT NONE IRQ:59\n"));
  ASSERT_TRUE(project.Opened());
  EXPECT_EQ(project.Module<CpmPIT>("PIT_0").Instance(), 0);
  EXPECT_EQ(project.Module<CpmPIT>("PIT_1").Instance(), 1);

  project.OpenPage("PIT_0");
  const uint32_t slave0 = project.Module<CpmPIT>("PIT_0").ControlIdOf("PIT 0 Slave Mode");
  EXPECT_FALSE(project.Ctl("PIT_0", slave0)->shown);
  // Bit 15 on timer 0 means nothing: its counter enable stays free.
  project.Reg("PIT_0", "CTRL_INIT").value = 0x8000;
  project.Module<CpmPIT>("PIT_0").UpdateEnables();
  EXPECT_TRUE(project.CtlByText("PIT_0", "Counter Enable")->enabled);

  project.OpenPage("PIT_1");
  auto& pit1 = project.Module<CpmPIT>("PIT_1");
  EXPECT_TRUE(project.Ctl("PIT_1", pit1.ControlIdOf("PIT 0 Slave Mode"))->shown);
  EXPECT_TRUE(project.CtlByText("PIT_1", "Counter Enable")->enabled);
  project.Reg("PIT_1", "CTRL_INIT").value = 0x8000;
  pit1.UpdateEnables();
  EXPECT_FALSE(project.CtlByText("PIT_1", "Counter Enable")->enabled);
}

TEST(PitVariants, BrelShowsTheInterruptAreaAndCaspDoesNot) {
  for (const char* part : {"CVX-28", "CVX-25"}) {
    SCOPED_TRACE(part);
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened());
    const std::string prefix = std::string(part) == "CVX-28" ? "PIT" : "PIT_2";
    auto& pit = project.Module<CpmPIT>(prefix);
    EXPECT_EQ(pit.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_EQ(pit.Variant().interruptArea, std::string(part) == "CVX-28");
    EXPECT_EQ(pit.Declaration().Has("user slot note"), pit.Variant().interruptArea);
    Page& page = project.OpenPage(prefix);
    EXPECT_EQ(page.Find(CModule::kInterruptPanelBase) != nullptr, pit.Variant().interruptArea);
  }
}

TEST(PitExample, TheCaspTimerKeepsItsSettings) {
  ModuleProject project({.part = "CVX-25",
                         .defines = "#define PIT_0_CTRL_INIT 0x0003U\n"
                                    "#define PIT_0_MOD_INIT 0x7CFFU\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("PIT_0");
  EXPECT_TRUE(project.CtlByText("PIT_0", "Counter Enable")->checked);
  EXPECT_TRUE(project.CtlByText("PIT_0", "Interrupt Enable")->checked);
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PIT_0_CTRL_INIT                   0x0003U"), std::string::npos)
      << header;
  EXPECT_NE(header.find("#define PIT_0_MOD_INIT                    0x7CFFU"), std::string::npos);
}

}  // namespace
}  // namespace tarq

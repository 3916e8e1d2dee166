// The digital-to-analog converters: the glitch-filter delay, the SYNC_IN line against the
// crossbar on the Dorn group, the rows of both groups and the fact the comparators ask.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/dac.h"

namespace tarq {
namespace {

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

// CTRL: powered (bit 0 clear), SYNC_IN, glitch filter and its delay in clocks.
uint32_t Ctrl(bool sync, bool glitch, uint32_t delay) {
  return (sync ? 0x4u : 0u) | (glitch ? 0x1000u : 0u) | delay << 13;
}

TEST(DacFilter, TheDelayCountsBusClocksOnlyWithTheGlitchFilter) {
  ModuleProject project({.part = "CVX-25",
                         .tree = "OCCS CLOCK NONE IRQ:\nDAC_1 DAC NONE IRQ:\n",
                         .factory = [](ModuleFactory& factory) {
                           RegisterStandIn<StubClockSource>(factory, "CLOCK");
                         }});
  ASSERT_TRUE(project.Opened());
  auto& dac = project.Module<CpmDAC>("DAC_1");
  EXPECT_EQ(dac.DacIndex(), 1);
  project.OpenPage("DAC_1");
  uint32_t& ctrl = project.Reg("DAC_1", "CTRL_INIT").value;
  const auto shown = [&] {
    dac.UpdateValues();
    return project.Ctl("DAC_1", dac.ControlIdOf("Glitch filter delay time:"))->text;
  };
  // The reset value: filter on, 7 clocks, but no bus clock yet: "???", never "inf".
  EXPECT_EQ(shown(), "???");
  project.Module<StubClockSource>("OCCS").bus = 32;
  // 7 clocks / 32 MHz = 218.75 ns.
  EXPECT_EQ(shown(), "0.21875 us");
  // 2 clocks / 32 MHz = 62.5 ns.
  ctrl = Ctrl(false, true, 2);
  EXPECT_EQ(shown(), "0.0625 us");
  EXPECT_DOUBLE_EQ(dac.FilterDelaySeconds(), 2 / 32e6);
  // The filter off, or "Filter off" chosen: "OFF".
  ctrl = Ctrl(false, false, 7);
  EXPECT_EQ(shown(), "OFF");
  ctrl = Ctrl(false, true, 0);
  EXPECT_EQ(shown(), "OFF");
}

TEST(DacRows, BothGroupsDeclareCleanPages) {
  for (const char* part : {"CVX-24", "CVX-31"}) {
    SCOPED_TRACE(part);
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened());
    auto& dac = project.Module<CpmDAC>(std::string(part) == "CVX-24" ? "DAC_0" : "DAC");
    EXPECT_EQ(dac.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_EQ(dac.Variant().syncOutput, std::string(part) == "CVX-24" ? -1 : 8);
    EXPECT_EQ(dac.DacIndex(), 0);
  }
}

TEST(DacRows, PoweredUpMeansWrittenAndNotKeptPoweredDown) {
  ModuleProject project({.part = "CVX-24"});
  ASSERT_TRUE(project.Opened());
  auto& dac = project.Module<CpmDAC>("DAC_0");
  uint32_t& ctrl = project.Reg("DAC_0", "CTRL_INIT").value;
  ctrl = 0;
  EXPECT_FALSE(dac.IsPoweredUp());  // not written: the chip keeps its reset value
  dac.SetSelected(true);
  EXPECT_TRUE(dac.IsPoweredUp());
  ctrl = 1;
  EXPECT_FALSE(dac.IsPoweredUp());
}

// The Dorn DAC with the part's own crossbar: output 8 carries SYNC_IN.
TEST(DacSync, AnEnabledSyncInputNeedsTheCrossbarOutput) {
  ModuleProject project({.part = "CVX-31"});
  ASSERT_TRUE(project.Opened());
  auto& dac = project.Module<CpmDAC>("DAC");
  dac.SetSelected(true);
  project.OpenPage("DAC");
  uint32_t& ctrl = project.Reg("DAC", "CTRL_INIT").value;
  // Output 8 is the low field of XBC4.
  uint32_t& xbc4 = project.Reg("XBAR", "XBC4_INIT").value;
  const uint32_t line = dac.ControlIdOf("SYNC_IN Input Enable");
  const auto lineText = [&] {
    project.Check();
    return project.Ctl("DAC", line)->text;
  };

  ctrl = Ctrl(true, false, 0);
  xbc4 = 0;  // Logic 0
  EXPECT_NE(lineText().find("OUT8 in bad mode"), std::string::npos);
  EXPECT_EQ(project.WarningText("DAC", line), "DAC Sync input is not set in XBAR");
  EXPECT_NE(lineText().find("tarq:XBAR/XBAR"), std::string::npos);

  xbc4 = 9;  // CMPA_OUT
  EXPECT_EQ(lineText().rfind("SYNC_IN Input Enable (see <A HREF=", 0), 0u) << lineText();
  EXPECT_NE(lineText().find("XBAR</A> )"), std::string::npos);
  EXPECT_EQ(project.WarningText("DAC", line), "");

  // Powered down or SYNC_IN off: nothing to set.
  xbc4 = 0;
  ctrl = Ctrl(true, false, 0) | 1;
  EXPECT_EQ(lineText().find("bad mode"), std::string::npos);
  ctrl = Ctrl(false, false, 0);
  EXPECT_EQ(lineText().find("bad mode"), std::string::npos);
  EXPECT_EQ(project.WarningText("DAC", line), "");
}

}  // namespace
}  // namespace tarq

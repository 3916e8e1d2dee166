// The Casp comparators: the filter latency, the converter named in the source lists (also one
// the part lacks), the check against the converter and the input pads they use.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/cmp.h"

namespace tarq {
namespace {

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

// CTRL: powered (bit 0 clear) with the negative, positive and EXPORT sources.
uint32_t Ctrl(uint32_t negative, uint32_t positive, uint32_t exported = 0) {
  return negative << 2 | positive << 6 | exported << 10;
}

TEST(CmpFilter, LatencyIsSamplesTimesPeriodPlusTwoClocks) {
  ModuleProject project({.part = "CVX-25",
                         .tree = "OCCS CLOCK NONE IRQ:\nCMP_A CMP NONE IRQ:56\n",
                         .factory = [](ModuleFactory& factory) {
                           RegisterStandIn<StubClockSource>(factory, "CLOCK");
                         }});
  ASSERT_TRUE(project.Opened());
  auto& cmp = project.Module<CpmCMP>("CMP_A");
  project.OpenPage("CMP_A");
  uint32_t& filt = project.Reg("CMP_A", "FILT_INIT").value;
  const auto shown = [&](const char* key) {
    cmp.UpdateValues();
    return project.Ctl("CMP_A", cmp.ControlIdOf(key))->text;
  };
  // Samples field 2 (5 samples), period 10: 5 x 10 + 2 = 52 clocks.
  filt = 2u << 8 | 10;
  EXPECT_EQ(cmp.FilterLatencyClocks(), 52);
  // No bus clock: "OFF" in both, never "inf".
  EXPECT_EQ(shown("Filter latency [clocks]:"), "OFF");
  EXPECT_EQ(shown("Filter latency:"), "OFF");
  project.Module<StubClockSource>("OCCS").bus = 32;
  // 52 / 32 MHz = 1.625 us.
  EXPECT_EQ(shown("Filter latency [clocks]:"), "52 clk");
  EXPECT_EQ(shown("Filter latency:"), "1.625 us");
  // Field 7 (10 samples), period 255: 10 x 255 + 2 = 2552 clocks = 79.75 us.
  filt = 7u << 8 | 255;
  EXPECT_EQ(shown("Filter latency [clocks]:"), "2552 clk");
  EXPECT_EQ(shown("Filter latency:"), "79.75 us");
  // Period 0 is no filter: only the two clocks remain, shown as "OFF".
  filt = 7u << 8;
  EXPECT_EQ(shown("Filter latency [clocks]:"), "OFF");
  EXPECT_EQ(shown("Filter latency:"), "OFF");
}

TEST(CmpSources, EachComparatorNamesItsOwnConverterEvenWhereThePartLacksIt) {
  // CVX-24 has DAC_0 only; CMP_B still names DAC_1 and reports nothing about it.
  ModuleProject project({.part = "CVX-24"});
  ASSERT_TRUE(project.Opened());
  auto& cmpB = project.Module<CpmCMP>("CMP_B");
  EXPECT_EQ(cmpB.Declaration().Verify(), std::vector<std::string>{});
  EXPECT_EQ(CpmCMP::InputSources(1)[3], "DAC_1 output");
  project.OpenPage("CMP_B");
  const DeclaredControl* positive = cmpB.Declaration().Find("Positive Comparator Input Source:");
  ASSERT_NE(positive, nullptr);
  EXPECT_EQ(positive->decl.items,
            (std::vector<std::string>{"CIN1 input pad", "CIN2 input pad", "CIN3 input pad",
                                      "DAC_1 output", "IMPORT input"}));
  EXPECT_EQ(cmpB.Declaration().Find("EXPORT Output Signal Selection:")->decl.items.size(), 4u);
  cmpB.SetSelected(true);
  project.Reg("CMP_B", "CTRL_INIT").value = Ctrl(3, 3, 3);
  project.Check();
  EXPECT_EQ(
      project.WarningText("CMP_B", cmpB.ControlIdOf("Positive Comparator Input Source:", true)),
      "");
}

TEST(CmpSources, AConverterSourceNeedsThatConverterPoweredUp) {
  ModuleProject project({.part = "CVX-25"});
  ASSERT_TRUE(project.Opened());
  auto& cmp = project.Module<CpmCMP>("CMP_A");
  cmp.SetSelected(true);
  project.Find("DAC_0")->SetSelected(true);
  project.Reg("DAC_0", "CTRL_INIT").value = 1;  // kept powered down
  const std::string message =
      "CMP_A module is using DAC_0 module output and DAC_0 module is not enabled.";
  const auto warningAt = [&](const char* key) {
    project.Check();
    return project.WarningText("CMP_A", cmp.ControlIdOf(key, true));
  };
  project.Reg("CMP_A", "CTRL_INIT").value = Ctrl(0, 3);
  EXPECT_EQ(warningAt("Positive Comparator Input Source:"), message);
  EXPECT_EQ(warningAt("Negative Comparator Input Source:"), "");
  project.Reg("CMP_A", "CTRL_INIT").value = Ctrl(3, 0, 3);
  EXPECT_EQ(warningAt("Negative Comparator Input Source:"), message);
  EXPECT_EQ(warningAt("EXPORT Output Signal Selection:"), message);
  EXPECT_EQ(warningAt("Positive Comparator Input Source:"), "");
  // Powered up: clear. A comparator kept powered down uses nothing.
  project.Reg("DAC_0", "CTRL_INIT").value = 0;
  EXPECT_EQ(warningAt("Negative Comparator Input Source:"), "");
  project.Reg("DAC_0", "CTRL_INIT").value = 1;
  project.Reg("CMP_A", "CTRL_INIT").value = Ctrl(3, 0) | 1;
  EXPECT_EQ(warningAt("Negative Comparator Input Source:"), "");
}

TEST(CmpSignals, AnInputPadIsUsedWhenAnySourceSelectsIt) {
  ModuleProject project({.part = "CVX-25"});
  ASSERT_TRUE(project.Opened());
  auto& cmp = project.Module<CpmCMP>("CMP_B");
  // The timers find it as comparator 1.
  const Comparator* comparator = nullptr;
  for (const Comparator* c : FindCapabilities<Comparator>(&project.Doc()))
    if (c->ComparatorIndex() == 1) comparator = c;
  ASSERT_EQ(comparator, static_cast<const Comparator*>(&cmp));
  cmp.SetSelected(true);
  project.Reg("CMP_B", "CTRL_INIT").value = Ctrl(1, 4, 2);  // CIN2, IMPORT, CIN3
  EXPECT_FALSE(cmp.IsSignalUsed("CIN1"));
  EXPECT_TRUE(cmp.IsSignalUsed("CIN2"));
  EXPECT_TRUE(cmp.IsSignalUsed("CIN3"));
  EXPECT_TRUE(cmp.IsSignalUsed("CMPB_OUT"));
  // Kept powered down (the reset value selects CIN1 everywhere): no pin is used.
  project.Reg("CMP_B", "CTRL_INIT").value = Ctrl(0, 0) | 1;
  EXPECT_FALSE(cmp.IsSignalUsed("CIN1"));
  EXPECT_FALSE(cmp.IsSignalUsed("CMPB_OUT"));
  // Powered but not written to the header: the chip keeps it powered down.
  project.Reg("CMP_B", "CTRL_INIT").value = Ctrl(0, 0);
  EXPECT_TRUE(cmp.IsSignalUsed("CIN1"));
  cmp.SetSelected(false);
  EXPECT_FALSE(cmp.IsSignalUsed("CIN1"));
}

}  // namespace
}  // namespace tarq

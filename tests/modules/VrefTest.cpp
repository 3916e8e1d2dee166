// The voltage references: the output level in volts and percent at both ends of the range,
// "OFF" while switched off, and the fact the comparators ask.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/vref.h"

namespace tarq {
namespace {

TEST(VrefOutput, LevelsGiveVoltsAndPercentOfFullScale) {
  ModuleProject project({.part = "CVX-31"});
  ASSERT_TRUE(project.Opened());
  auto& vref = project.Module<CpmVREF_DAC>("VREF_C");
  EXPECT_EQ(vref.Declaration().Verify(), std::vector<std::string>{});
  EXPECT_EQ(vref.ReferenceIndex(), 2);
  project.OpenPage("VREF_C");
  uint32_t& ctrl = project.Reg("VREF_C", "DACCTRL_INIT").value;
  const auto shown = [&](const char* key) {
    vref.UpdateValues();
    return project.Ctl("VREF_C", vref.ControlIdOf(key))->text;
  };
  // Level 31: (31 + 1) x 0.103125 V = 3.3 V; (31 + 1) x 3.125 % = 100 %.
  ctrl = 0x80 | 31;
  EXPECT_EQ(shown("Output Voltage:"), "3.300 V");
  EXPECT_EQ(shown("Output Level (% of VDDA):"), "100.0 %");
  // Level 0: 0.103125 V and 3.125 %, printed "0.103 V" and "3.1 %".
  ctrl = 0x80;
  EXPECT_EQ(shown("Output Voltage:"), "0.103 V");
  EXPECT_EQ(shown("Output Level (% of VDDA):"), "3.1 %");
  // Level 15: 16 x 0.103125 V = 1.65 V, half scale.
  ctrl = 0x80 | 15;
  EXPECT_EQ(shown("Output Voltage:"), "1.650 V");
  EXPECT_EQ(shown("Output Level (% of VDDA):"), "50.0 %");
  // Switched off: both "OFF", and the comparator sees it off even when written.
  ctrl = 31;
  EXPECT_EQ(shown("Output Voltage:"), "OFF");
  EXPECT_EQ(shown("Output Level (% of VDDA):"), "OFF");
  vref.SetSelected(true);
  EXPECT_FALSE(vref.IsReferenceEnabled());
  ctrl = 0x80;
  EXPECT_TRUE(vref.IsReferenceEnabled());
  vref.SetSelected(false);
  EXPECT_FALSE(vref.IsReferenceEnabled());
}

}  // namespace
}  // namespace tarq

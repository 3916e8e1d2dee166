// The external memory interface with its eight chip-select sub-pages, and the temperature
// sensor: declarations, the fields the sub-pages write, the example's settings across a save.
#include <gtest/gtest.h>

#include <regex>

#include "../support/ModuleHarness.h"
#include "framework/Page.h"
#include "modules/semi.h"
#include "modules/tsn.h"

namespace tarq {
namespace {

// Whether the header defines `name` as `value` (any blanks between).
bool HasDefine(const std::string& header, const std::string& name, const std::string& value) {
  return std::regex_search(header, std::regex("#define " + name + "\\s+" + value + "\\b"));
}

TEST(Semi, EveryChipSelectHasItsSubPageOnItsOwnRegisters) {
  ModuleProject project({.part = "CVX-03"});
  ASSERT_TRUE(project.Opened());
  auto& semi = project.Module<CpmSEMI>("SEMI");
  EXPECT_TRUE(semi.Declaration().Verify().empty());
  EXPECT_EQ(semi.Registers().size(), 25u);
  EXPECT_EQ(project.Reg("SEMI", "BCR_INIT").resetValue, 0x02F7u);
  EXPECT_EQ(project.Reg("SEMI", "CSOR7_INIT").resetValue, 0xB817u);

  Page& page = project.OpenPage("SEMI");
  for (int n = 0; n < CpmSEMI::kChipSelects; ++n) {
    const PageDeclaration& sub = semi.ChipSelect(n);
    EXPECT_TRUE(sub.Verify().empty()) << n;
    // The sub-page exists and its write wait states land in CSTCn bits 4..0.
    const DeclaredControl* wait = sub.Find("Write Wait States");
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(wait->decl.field.reg, "CSTC" + std::to_string(n) + "_INIT");
    EXPECT_EQ(wait->decl.label, "Wait States CS" + std::to_string(n) + ": Write Wait States");
    const uint32_t id = CpmSEMI::SubPageId(n) << 16 | wait->id;
    ASSERT_TRUE(page.SelectItem(id, 9)) << n;
    EXPECT_EQ(project.Reg("SEMI", "CSTC" + std::to_string(n) + "_INIT").value & 0x1Fu, 9u) << n;
  }
  // Block sizes double from 1K words.
  EXPECT_EQ(CpmSEMI::BlockWords(0), 1024u);
  EXPECT_EQ(CpmSEMI::BlockWords(3), 8192u);

  // The changed timing registers are written.
  semi.SetSelected(true);
  const std::string header = project.SavedHeader();
  EXPECT_TRUE(HasDefine(header, "SEMI_CSTC5_INIT", "0x0009U")) << header;
}

TEST(Tsn, ThePowerSwitchIsBitZeroOfTheControlRegister) {
  ModuleProject project({.part = "CVX-21"});
  ASSERT_TRUE(project.Opened());
  auto& tsn = project.Module<CpmTSN>("TSN");
  EXPECT_TRUE(tsn.Declaration().Verify().empty());
  project.OpenPage("TSN");
  Control* box = project.CtlByText("TSN", "Power ON temperature sensor system");
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->checked);
  ASSERT_TRUE(tsn.GetPage()->Click(box->id));
  EXPECT_EQ(project.Reg("TSN", "CNTL_INIT").value, 1u);
  tsn.SetSelected(true);
  EXPECT_TRUE(HasDefine(project.SavedHeader(), "TSN_CNTL_INIT", "0x0001U"));
}

}  // namespace
}  // namespace tarq

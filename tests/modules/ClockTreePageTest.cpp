// The clock-tree page under the clock module: where it sits in the tree, that the open page
// follows a clock change made elsewhere, and that a box click lands on the control that
// sets the clock, as a warning link does.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/Hints.h"
#include "modules/ClockTree.h"
#include "modules/occs.h"
#include "project/ModuleTree.h"
#include "../support/ModuleHarness.h"

namespace tarq {
namespace {


const DiagramBox* BoxOf(const Page& page, const std::string& id) {
  const Control* diagram = page.Find(CpmCLOCKTREE::kDiagramId);
  if (diagram == nullptr) return nullptr;
  for (const DiagramBox& box : diagram->boxes)
    if (box.id == id) return &box;
  return nullptr;
}

// CVX-08 (Fenn) from the 8 MHz relaxation oscillator, PLL x30.
ModuleProject FennProject() {
  return ModuleProject({.part = "CVX-08",
                        .defines = "#define OCCS_PLLCR_INIT 0x0082U\n#define OCCS_PLLDB_INIT 0x201DU\n"});
}

TEST(ClockTreePage, SitsUnderTheClockModuleAndWritesNothing) {
  ModuleProject project = FennProject();
  ASSERT_TRUE(project.Opened());
  CModuleBase* page = project.Find("CLOCKTREE");
  ASSERT_NE(page, nullptr);
  TreeNode* node = project.Doc().GetTree().FindNode(page);
  ASSERT_NE(node, nullptr);
  ASSERT_NE(node->parent, nullptr);
  EXPECT_EQ(node->parent->module, project.Find("OCCS"));
  EXPECT_EQ(node->text, "Clock Tree");
  // Nothing to select: no check box, no lines in the header.
  EXPECT_FALSE(page->IsSelectable());
  EXPECT_EQ(ModuleTree::StateImage(*node), 4);
  EXPECT_EQ(project.SavedHeader().find("CLOCKTREE"), std::string::npos);
}

TEST(ClockTreePage, TheOpenPageFollowsAClockChangeAndABoxLeadsToItsControl) {
  ModuleProject project = FennProject();
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("CLOCKTREE");
  ASSERT_NE(BoxOf(page, "pll"), nullptr);
  // 8 MHz x30 = 240 MHz, within the VCO's 160...260 MHz.
  EXPECT_EQ(BoxOf(page, "pll")->value, "240 MHz");
  EXPECT_FALSE(BoxOf(page, "pll")->alert);

  // x34 (PLLDB 0x21 = 33, the multiplier is the field + 1) written by someone else (an
  // automation client, an undo): 8 x 34 = 272 MHz passes 260 MHz, 272 / 2 / 2 = 68 MHz the
  // 60 MHz system limit.
  project.Reg("OCCS", "PLLDB_INIT").value = 0x2021;
  project.Doc().Broadcast(kHintClocksChanged, project.Find("OCCS"));
  ASSERT_NE(BoxOf(page, "pll"), nullptr);
  EXPECT_EQ(BoxOf(page, "pll")->value, "272 MHz");
  EXPECT_TRUE(BoxOf(page, "pll")->alert);
  EXPECT_EQ(BoxOf(page, "pll")->note, "(160...260 MHz)");
  EXPECT_EQ(BoxOf(page, "system")->value, "68 MHz");
  EXPECT_TRUE(BoxOf(page, "system")->alert);
  EXPECT_FALSE(BoxOf(page, "bus")->alert);

  // The PLL box leads to the multiplier (the views follow it: tests/ui); the peripheral
  // clocks to the system module's boxes.
  EXPECT_EQ(BoxOf(page, "pll")->link, "tarq:OCCS/OCCS/" + std::to_string(kOccsMultiplyEdit));
  const Control* diagram = page.Find(CpmCLOCKTREE::kDiagramId);
  const auto gate = std::find_if(diagram->boxes.begin(), diagram->boxes.end(),
                                 [](const DiagramBox& box) { return box.leaf; });
  ASSERT_NE(gate, diagram->boxes.end());
  EXPECT_EQ(gate->link.rfind("tarq:SYS/", 0), 0u) << gate->link;
}

}  // namespace
}  // namespace tarq

#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "framework/Hints.h"
#include "framework/Module.h"
#include "framework/Page.h"
#include "framework/Summaries.h"
#include "project/ModuleTree.h"

namespace tarq {
namespace {

// A module with a declared table, optional run-time registers and a listing rule.
class TableModule : public CModule {
 public:
  TableModule(const ArchitectureEntry& entry, std::vector<RegisterDecl> table,
              CModuleBase* parent = nullptr)
      : CModule(entry, parent) {
    if (!table.empty()) InitRegisters(table.data(), table.size());
  }
  void BuildPage(Page& page) override {
    page.AddEdit(100);
    page.AddCheckBox(200, "Enable");
  }
  bool IsRegisterListed(int index, const Register& reg) const override {
    listedQueries.push_back(index);
    return reg.name != hiddenByModule;
  }
  std::vector<Register*> RunTimeRegisters() override {
    std::vector<Register*> list;
    for (Register& reg : runTime) list.push_back(&reg);
    return list;
  }

  std::string hiddenByModule;
  std::vector<Register> runTime;
  mutable std::vector<int> listedQueries;
};

Register RunTimeRegister(const std::string& name, uint32_t flags, uint32_t value) {
  Register reg;
  reg.name = name;
  reg.flags = flags;
  reg.value = value;
  return reg;
}

std::vector<std::string> Labels(const RegistersSummary& summary) {
  std::vector<std::string> labels;
  for (const RegisterRow& row : summary.Rows())
    labels.push_back(row.kind == RegisterRow::Kind::Separator ? "--" : row.label);
  return labels;
}

std::vector<std::string> Values(const RegistersSummary& summary) {
  std::vector<std::string> values;
  for (const RegisterRow& row : summary.Rows())
    if (row.kind == RegisterRow::Kind::Register) values.push_back(row.valueText);
  return values;
}

// ---------------------------------------------------------------------------------------

TEST(RegistersSummary, RowsFollowTheTableThenRunTimeRegistersThenUserDefines) {
  LinkTestContext doc;
  TableModule sci(LinkEntry("SCI_0", "SCI"), {{"SCIBR_INIT", 0x12, DW16},
                                              {"-COP_COPCTL_INIT~Watchdog", 0, DW16},
                                              {"HIGHLEVEL_MODE", 1, DW8 | DECVALUE | USERDEFINE},
                                              {"_dummy_", 0x80, DW16 | DUMMYREG | NOSHOWLIST},
                                              {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
                                              {"SCICR_INIT", 0xABCD, DW16 | NOEDITLIST},
                                              {"SECRET_INIT", 0, DW16},
                                              {"RX_CHAR_HOOK", 0, DW8 | STRVALUE | USERDEFINE},
                                              {"WIDE_INIT", 0x1234, DW32}});
  sci.hiddenByModule = "SECRET_INIT";
  sci.Registers()[7].text = "OnChar";
  sci.runTime.push_back(RunTimeRegister("-INT_VECTOR_ADDR_5", STRVALUE, 1));
  sci.runTime.back().text = "MyIsr";
  sci.runTime.push_back(RunTimeRegister("-INT_PRIORITY_LEVEL_5", STRVALUE | NOSHOWLIST, 1));
  sci.runTime.push_back(RunTimeRegister("RUNTIME_OPT", DW8 | DECVALUE | USERDEFINE, 7));
  doc.Add(sci);

  RegistersSummary summary(doc);
  summary.OnHint(kHintTreeCurrentModule, &sci);
  EXPECT_EQ(summary.ListedModule(), &sci);
  EXPECT_EQ(Labels(summary),
            (std::vector<std::string>{
                "SCI_0_SCIBR:", "COP_COPCTL Watchdog:", "SCI_0_SCICR:", "SCI_0_WIDE:", "--",
                "INT_VECTOR_ADDR_5:", "--", kUserDefinesCaption,
                "SCI_0_HIGHLEVEL_MODE:", "SCI_0_RX_CHAR_HOOK:", "SCI_0_RUNTIME_OPT:"}));
  EXPECT_EQ(Values(summary), (std::vector<std::string>{"0x0012", "0x0000", "0xABCD", "0x00001234",
                                                       "MyIsr", "1", "OnChar", "7"}));
  EXPECT_FALSE(summary.Rows()[0].readOnly);
  EXPECT_TRUE(summary.Rows()[2].readOnly);
  // Run-time registers are asked about with index -1, table registers with their index.
  EXPECT_NE(std::find(sci.listedQueries.begin(), sci.listedQueries.end(), -1),
            sci.listedQueries.end());
  EXPECT_NE(std::find(sci.listedQueries.begin(), sci.listedQueries.end(), 6),
            sci.listedQueries.end());
}

TEST(RegistersSummary, ModulesWithoutRowsShowTheirNearestAncestorWithRows) {
  LinkTestContext doc;
  TableModule adc(LinkEntry("ADC", "ADC"), {{"ADCR1_INIT", 0, DW16}});
  TableModule channel(LinkEntry("ADC_CH", "ADCCH"), {{"_dummy_", 0, DW16 | NOSHOWLIST}}, &adc);
  TableModule sample(LinkEntry("ADC_S0", "ADCS"), {}, &channel);
  TableModule orphan(LinkEntry("VOID", "VOID"), {});
  for (TableModule* module : {&adc, &channel, &sample, &orphan}) doc.Add(*module);

  RegistersSummary summary(doc);
  summary.OnHint(kHintTreeCurrentModule, &sample);
  EXPECT_EQ(summary.CurrentModule(), &sample);
  EXPECT_EQ(summary.ListedModule(), &adc);
  EXPECT_EQ(Labels(summary), (std::vector<std::string>{"ADC_ADCR1:"}));

  summary.OnHint(kHintTreeCurrentModule, &orphan);
  EXPECT_EQ(summary.ListedModule(), nullptr);
  EXPECT_FALSE(summary.HasRegisterRows());

  summary.OnHint(kHintTreeCurrentModule, &adc);
  EXPECT_TRUE(summary.HasRegisterRows());
  summary.OnHint(kHintDocumentClosing, nullptr);
  EXPECT_EQ(summary.CurrentModule(), nullptr);
  EXPECT_TRUE(summary.Rows().empty());
}

TEST(RegistersSummary, RefusedEntriesLeaveTheRegisterAndAcceptedOnesRefreshThePage) {
  LinkTestContext doc;
  TableModule sci(LinkEntry("SCI_0", "SCI"), {{"SCIBR_INIT", 0x12, DW16},
                                              {"SCICR_INIT", 0x34, DW16 | NOEDITLIST},
                                              {"BUF_SIZE", 8, DW8 | DECVALUE | USERDEFINE},
                                              {"RATE", 0, STRVALUE | FLOATVALUE | USERDEFINE}});
  doc.Add(sci);
  doc.ShowModule(&sci);
  doc.hints.clear();
  RegistersSummary summary(doc);
  summary.SetModule(&sci);
  ASSERT_EQ(Labels(summary),
            (std::vector<std::string>{"SCI_0_SCIBR:", "SCI_0_SCICR:", "--", kUserDefinesCaption,
                                      "SCI_0_BUF_SIZE:", "SCI_0_RATE:"}));

  EXPECT_FALSE(summary.CommitRow(0, "0x10000"));  // too wide for 16 bits
  EXPECT_EQ(sci.Registers()[0].value, 0x12u);
  EXPECT_EQ(
      doc.host.Messages(),
      (std::vector<std::string>{"This register value must be a number between 0 and 0xffff"}));
  EXPECT_FALSE(summary.CommitRow(5, "fast"));
  EXPECT_EQ(sci.Registers()[3].text, "");
  EXPECT_EQ(doc.host.Messages().back(), "This value must be a floating point number");
  // Read-only rows, separators and captions take nothing.
  EXPECT_FALSE(summary.CommitRow(1, "0"));
  EXPECT_FALSE(summary.CommitRow(2, "0"));
  EXPECT_EQ(sci.Registers()[1].value, 0x34u);
  EXPECT_TRUE(doc.hints.empty());

  ASSERT_TRUE(summary.CommitRow(0, "0x1F"));
  EXPECT_EQ(sci.Registers()[0].value, 0x1Fu);
  EXPECT_EQ(summary.Rows()[0].valueText, "0x001F");
  // The page on screen ran RefreshAll, which tells everybody with hint 20.
  ASSERT_FALSE(doc.hints.empty());
  EXPECT_EQ(doc.hints.back(), (std::pair<int, CModuleBase*>{kHintPageRefreshed, &sci}));
  ASSERT_TRUE(summary.CommitRow(4, "10"));
  EXPECT_EQ(summary.Rows()[4].valueText, "10");
  ASSERT_TRUE(summary.CommitRow(5, "1.5"));
  EXPECT_EQ(sci.Registers()[3].text, "1.5");
}

TEST(RegistersSummary, ChangedRowsAreRedUntilTheNextWarningsPass) {
  LinkTestContext doc;
  TableModule sci(LinkEntry("SCI_0", "SCI"),
                  {{"SCIBR_INIT", 0x12, DW16}, {"HOOK", 0, DW8 | STRVALUE | USERDEFINE}});
  doc.Add(sci);
  RegistersSummary summary(doc);
  summary.SetModule(&sci);
  const size_t hookRow = 3;
  EXPECT_EQ(summary.RowTextColour(0), kRowColourNormal);

  // A binding changes the register: the text follows on the hint, and the row turns red.
  sci.Registers()[0].value = 0x99;
  EXPECT_EQ(summary.Rows()[0].valueText, "0x0012");
  summary.OnHint(kHintCheckChanged, &sci);
  EXPECT_EQ(summary.Rows()[0].valueText, "0x0099");
  EXPECT_EQ(summary.RowTextColour(0), (RowColour{192, 0, 0}));

  // Text registers compare their text.
  sci.Registers()[1].text = "OnChar";
  summary.OnHint(kHintChildPageUpdated, &sci);
  EXPECT_EQ(summary.Rows()[hookRow].valueText, "OnChar");
  EXPECT_TRUE(summary.IsRowChanged(hookRow));

  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(summary.RowTextColour(0), kRowColourNormal);
  EXPECT_FALSE(summary.IsRowChanged(hookRow));
  // Back to the old value is a change too, compared with the remembered one.
  sci.Registers()[0].value = 0x12;
  EXPECT_TRUE(summary.IsRowChanged(0));
}

// ---------------------------------------------------------------------------------------

class WarningsSummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.Add(sci);
    doc.Add(spi);
    sci.SetSelected(true);
    spi.SetSelected(false);
    sci.SetWarning(100, true, "", "Warning: SCI clock is off");
    spi.SetWarning(100, true, "", "SPI pins are not assigned");
    sci.SetWarning(200, true, "", "Error: SCI vector");
    doc.hints.clear();
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const WarningRow& row : summary.Rows()) texts.push_back(row.moduleText + "|" + row.text);
    return texts;
  }

  LinkTestContext doc;
  TableModule sci{LinkEntry("SCI_0", "SCI", "Serial 0"), {{"SCIBR_INIT", 0, DW16}}};
  TableModule spi{LinkEntry("SPI_0", "SPI"), {{"SPCR_INIT", 0, DW16}}};
  WarningsSummary summary{doc};
};

TEST_F(WarningsSummaryTest, FilterHidesWarningsOfUnselectedModulesUntilTheyAreSelected) {
  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"Serial 0|SCI clock is off", "Serial 0|SCI vector"}));
  EXPECT_EQ(doc.warnings.Entries().size(), 3u);  // the document keeps them all

  spi.SetSelected(true);
  summary.OnHint(kHintModuleSelectionToggled, &spi);
  summary.OnHint(kHintWarningChanged, &spi);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"Serial 0|SCI clock is off",
                                      "SPI_0|SPI pins are not assigned", "Serial 0|SCI vector"}));

  spi.SetSelected(false);
  summary.SetShowAll(true);
  EXPECT_EQ(Texts().size(), 3u);  // waits for the pass
  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(Texts().size(), 3u);
  summary.SetShowAll(false);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(Texts().size(), 2u);
}

TEST_F(WarningsSummaryTest, RefillsOnlyAtTheEndOfAPassAndAsksForPassesOnEdits) {
  summary.OnHint(kHintWarningsPassDone, nullptr);
  ASSERT_EQ(Texts().size(), 2u);

  const int wakeUps = doc.host.wakeUps;
  sci.SetWarning(100, false, "");
  summary.OnHint(kHintWarningChanged, &sci);
  EXPECT_TRUE(summary.IsRefillPending());
  EXPECT_EQ(Texts().size(), 2u);
  EXPECT_EQ(doc.host.wakeUps, wakeUps + 1);
  // A warning change alone must not ask for a pass: passes set warnings every time.
  EXPECT_EQ(doc.deferredPasses, 0);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Serial 0|SCI vector"}));

  for (int hint : {kHintTreeCurrentModule, kHintModuleSelectionToggled, kHintPaneShown,
                   kHintValueChanged, kHintChoiceChanged, kHintCheckChanged, kHintPageRefreshed,
                   kHintPageUpdated, kHintChildPageRefreshed, kHintChildPageUpdated})
    summary.OnHint(hint, &sci);
  EXPECT_EQ(doc.deferredPasses, 10);
  for (int hint : {kHintRefreshAll, kHintTreeSelectionMoved, kHintClocksChanged})
    summary.OnHint(hint, &sci);
  EXPECT_EQ(doc.deferredPasses, 10);
  summary.SetShowAll(true);
  EXPECT_EQ(doc.deferredPasses, 11);

  summary.OnHint(kHintDocumentClosing, nullptr);
  EXPECT_TRUE(summary.Rows().empty());
}

TEST_F(WarningsSummaryTest, SelectionSurvivesARefillAndDefaultsToTheFirstRow) {
  summary.SetShowAll(true);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  ASSERT_EQ(Texts().size(), 3u);
  EXPECT_TRUE(summary.Rows()[0].selected);
  EXPECT_EQ(summary.FocusedRow(), 0);

  summary.SelectOnly(2);  // "SCI vector"
  summary.SetTopRow(2);
  sci.SetWarning(100, false, "");  // a row above it goes
  summary.OnHint(kHintWarningChanged, &sci);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  ASSERT_EQ(Texts(),
            (std::vector<std::string>{"SPI_0|SPI pins are not assigned", "Serial 0|SCI vector"}));
  EXPECT_FALSE(summary.Rows()[0].selected);
  EXPECT_TRUE(summary.Rows()[1].selected);
  EXPECT_EQ(summary.FocusedRow(), 1);
  EXPECT_EQ(summary.TopRow(), 1);  // as far as the new row count allows

  sci.SetWarning(200, false, "");  // the selected warning itself goes
  summary.OnHint(kHintWarningChanged, &sci);
  summary.OnHint(kHintWarningsPassDone, nullptr);
  ASSERT_EQ(summary.Rows().size(), 1u);
  EXPECT_TRUE(summary.Rows()[0].selected);
  EXPECT_EQ(summary.FocusedRow(), 0);
}

TEST_F(WarningsSummaryTest, ActivationShowsThePageAndExplainsTheWarningAtItsControl) {
  summary.OnHint(kHintWarningsPassDone, nullptr);
  summary.SelectOnly(1);
  ASSERT_TRUE(summary.Activate());
  EXPECT_EQ(doc.current, &sci);
  const auto& tip = sci.GetPage()->CurrentToolTip();
  ASSERT_TRUE(tip.has_value());
  EXPECT_EQ(tip->controlId, 200u);
  EXPECT_EQ(tip->text, "SCI vector");
  EXPECT_EQ(tip->title, "Warning detail");

  // Two rows selected, or none: nothing happens.
  summary.SetSelected(0, true);
  EXPECT_FALSE(summary.Activate());
  summary.SetSelected(0, false);
  summary.SetSelected(1, false);
  EXPECT_FALSE(summary.Activate());

  // The page on screen refuses to be left: no tip on a page that is not shown.
  doc.ShowModule(&spi);
  doc.refuseToLeave = true;
  summary.SelectOnly(0);
  EXPECT_FALSE(summary.Activate());
  EXPECT_EQ(doc.current, &spi);
}

// ---------------------------------------------------------------------------------------

TEST(ModuleTreeController, StateImagesFollowTheCheckBoxesOfTheModulesBelowAGroup) {
  LinkTestContext doc;
  ModuleTree tree;
  TableModule group(LinkEntry("COMM", "VOID"), {});
  TableModule sci(LinkEntry("SCI_0", "SCI"), {{"SCIBR_INIT", 0, DW16}});
  TableModule spi(LinkEntry("SPI_0", "SPI"), {{"SPCR_INIT", 0, DW16}});
  TableModule subGroup(LinkEntry("SUB", "VOID"), {});
  TableModule leafGroup(LinkEntry("LEAF", "VOID"), {});
  TableModule lonely(LinkEntry("LONELY", "VOID"), {});
  for (TableModule* module : {&group, &sci, &spi, &subGroup, &leafGroup, &lonely}) doc.Add(*module);
  TreeNode* groupNode = tree.AddNode(nullptr, "Communication", &group, true);
  TreeNode* sciNode = tree.AddNode(groupNode, "SCI_0", &sci, false);
  TreeNode* subNode = tree.AddNode(groupNode, "Sub", &subGroup, false);
  TreeNode* spiNode = tree.AddNode(subNode, "SPI_0", &spi, false);
  TreeNode* leafNode = tree.AddNode(groupNode, "Leaf", &leafGroup, false);
  TreeNode* lonelyNode = tree.AddNode(nullptr, "Lonely", &lonely, false);
  sci.SetSelected(true);
  doc.hints.clear();

  ModuleTreeController controller(tree, doc);
  controller.RecomputeStateImages();
  EXPECT_EQ(controller.StateImageOf(groupNode), 3);
  EXPECT_EQ(controller.StateImageOf(sciNode), 1);
  EXPECT_EQ(controller.StateImageOf(subNode), 2);
  EXPECT_EQ(controller.StateImageOf(spiNode), 0);
  EXPECT_EQ(controller.StateImageOf(leafNode), 4);
  EXPECT_EQ(controller.StateImageOf(lonelyNode), 2);

  // Selected further down counts for every group above.
  controller.ToggleCheck(spiNode, true);
  EXPECT_EQ(controller.StateImageOf(subNode), 3);
  controller.ToggleCheck(sciNode, false);
  EXPECT_EQ(controller.StateImageOf(groupNode), 3);
  EXPECT_EQ(controller.StateImageOf(sciNode), 0);
  // The last selected module below the group goes: 3 becomes 2.
  controller.ToggleCheck(spiNode, false);
  EXPECT_FALSE(spi.IsSelected());
  EXPECT_EQ(controller.StateImageOf(groupNode), 2);
  EXPECT_EQ(controller.StateImageOf(subNode), 2);

  ASSERT_EQ(doc.hints.size(), 3u);
  EXPECT_EQ(doc.hints.back(), (std::pair<int, CModuleBase*>{kHintModuleSelectionToggled, &spi}));
  EXPECT_EQ(doc.deferredPasses, 3);
  EXPECT_FALSE(controller.IsUpdatingImages());
}

TEST(ModuleTreeController, SelectionMovesOnlyWhenThePageOnScreenLetsGo) {
  LinkTestContext doc;
  ModuleTree tree;
  TableModule sci(LinkEntry("SCI_0", "SCI"), {{"SCIBR_INIT", 0, DW16}});
  TableModule spi(LinkEntry("SPI_0", "SPI"), {{"SPCR_INIT", 0, DW16}});
  doc.Add(sci);
  doc.Add(spi);
  TreeNode* sciNode = tree.AddNode(nullptr, "SCI_0", &sci, false);
  TreeNode* spiNode = tree.AddNode(nullptr, "SPI_0", &spi, false);
  ModuleTreeController controller(tree, doc);

  ASSERT_TRUE(controller.SelectNode(sciNode));
  EXPECT_EQ(doc.hints, (std::vector<std::pair<int, CModuleBase*>>{{2, &sci}, {3, &sci}}));
  doc.refuseToLeave = true;
  EXPECT_FALSE(controller.SelectNode(spiNode));
  EXPECT_FALSE(controller.ShowInTree(&spi));
  EXPECT_EQ(controller.SelectedNode(), sciNode);
  EXPECT_EQ(doc.hints.size(), 2u);
  doc.refuseToLeave = false;
  EXPECT_TRUE(controller.ShowInTree(&spi));
  EXPECT_EQ(controller.SelectedNode(), spiNode);
  EXPECT_EQ(doc.current, &spi);

  controller.OnHint(kHintDocumentClosing, nullptr);
  EXPECT_EQ(controller.SelectedNode(), nullptr);
  EXPECT_EQ(controller.StateImageOf(sciNode), -1);
}

}  // namespace
}  // namespace tarq

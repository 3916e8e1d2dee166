#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PageTestSupport.h"
#include "framework/Capabilities.h"
#include "framework/Hints.h"
#include "framework/TextUtil.h"

namespace tarq {
namespace {

using namespace pagetest;

// Records what a view would be told.
struct RecordingView : PageObserver {
  void OnControlChanged(Page&, const Control& control) override { changed.push_back(control.id); }
  void OnStructureChanged(Page&) override { ++structureChanges; }
  void OnFocusRequest(Page&, const Control& control, bool scroll) override {
    focused.push_back(control.id);
    scrolled = scroll;
  }
  void OnToolTipRequest(Page&, const ToolTipRequest& request) override { toolTips.push_back(request); }
  void OnToolTipClosed(Page&) override { ++toolTipsClosed; }
  void OnPageDestroyed(Page& page) override { destroyed.push_back(page.GetChildId()); }

  std::vector<uint32_t> changed;
  std::vector<uint32_t> focused;
  std::vector<ToolTipRequest> toolTips;
  std::vector<uint32_t> destroyed;
  int structureChanges = 0;
  int toolTipsClosed = 0;
  bool scrolled = false;
};

class PageTest : public ::testing::Test, protected SampleFixture {};

// ---- lookup ----

TEST_F(PageTest, ChildPageControlsAreAddressedWithTheChildIdInTheUpperBits) {
  ControlRef row = module.FindControlById(0x305EC);
  ASSERT_TRUE(row);
  EXPECT_EQ(row.control->text, "Row enabled");
  EXPECT_EQ(row.page->GetChildId(), 3u);
  EXPECT_EQ(row.fullId, 0x305ECu);
  // A plain id is searched on the page first and then in the child pages.
  EXPECT_EQ(module.FindControlById(kIdRowCheck).control, row.control);
  EXPECT_FALSE(module.FindControlById(0x405EC));
  EXPECT_FALSE(module.FindControlById(0));
  EXPECT_EQ(module.FindControlById(kIdDividerEdit).fullId, static_cast<uint32_t>(kIdDividerEdit));
}

TEST_F(PageTest, ControlsAreFoundByTheirExactText) {
  EXPECT_EQ(module.FindControlByText("Row enabled").fullId, 0x305ECu);
  EXPECT_EQ(module.FindControlByText("Clock divider:").control->id,
            static_cast<uint32_t>(kIdDividerCaption));
  EXPECT_FALSE(module.FindControlByText("Clock divider"));
  // Anonymous captions are found too (links name controls by caption).
  ControlRef caption = module.FindControlByText("Name:");
  ASSERT_TRUE(caption);
  EXPECT_EQ(caption.fullId, 0u);
}

TEST_F(PageTest, LabelsOfBoundAndUnboundControls) {
  EXPECT_EQ(page().LabelOf(control(kIdRadioFast)), "Speed: Fast");
  EXPECT_EQ(page().LabelOf(control(kIdModeCaption)), "Operating mode");
  EXPECT_EQ(page().LabelOf(control(kIdClockDisplay)), "");  // no caption in front of it
  Page standalone(&module);
  standalone.AddStatic(0, "Bus clock:\r\n(MHz):");
  Control& display = standalone.AddDisplay(9, "8");
  EXPECT_EQ(standalone.LabelOf(display), "Bus clock: (MHz)");
}

TEST_F(PageTest, ChildPageEventsReachBindingsThroughCompositeIds) {
  ASSERT_TRUE(page().Click(0x305EC));
  EXPECT_EQ(Reg("ROW_INIT").value, 1u);
  ASSERT_EQ(context.hints.size(), 1u);
  EXPECT_EQ(context.hints[0].first, kHintCheckChanged);
}

// ---- validation ----

TEST_F(PageTest, ValidationSkipsHiddenAndDisabledControlsAndRecursesIntoChildPages) {
  Reg("CTRL_INIT").value |= 0x20;  // mode field 2: not in the table
  module.RefreshAll();
  module.EnableControl(kIdModeList, false);
  EXPECT_TRUE(module.ValidateControls(true));
  module.EnableControl(kIdModeList, true);
  module.ShowControl(kIdModeList, false);
  EXPECT_TRUE(module.ValidateControls(true));
  module.ShowControl(kIdModeList, true);
  EXPECT_FALSE(module.ValidateControls(false));
  page().SelectItem(kIdModeList, 0);

  // A failing control on the child page fails the page and gets the focus.
  CSetValue rowValue;
  rowValue.Bind(RegisterRef::Named(module, "ROW_INIT"), {.lowBit = 4, .highBit = 7, .label = "Row value", .hex = false});
  Page* row = page().GetChildPage(kIdPanelHolder);
  row->AddEdit(77, &rowValue);
  page().TypeText(MakeWarningId(kIdPanelHolder, 77), "300");
  EXPECT_FALSE(module.ValidateControls(true));
  EXPECT_EQ(context.host.Messages(), std::vector<std::string>{"Entered value must be lower than 16"});
  EXPECT_EQ(page().GetFocusId(), MakeWarningId(kIdPanelHolder, 77));
  // A hidden child page is not checked.
  module.ShowControl(kIdPanelHolder, false);
  EXPECT_TRUE(module.ValidateControls(false));
  row->RemoveAt(row->IndexOf(*row->Find(77)));
  EXPECT_FALSE(rowValue.HasWindow());
}

// ---- warnings ----

TEST_F(PageTest, WarningColoursTextAndVisibility) {
  module.SetWarning(kIdWarning, true, "Warning: <A HREF=\"tarq:OCCS/OCCS\">clock</A> off");
  EXPECT_EQ(control(kIdWarning).textColour, kWarningTextColour);
  EXPECT_TRUE(control(kIdWarning).shown);
  EXPECT_EQ(control(kIdWarning).text, "Warning: <A HREF=\"tarq:OCCS/OCCS\">clock</A> off");

  // An informative text stays shown, in black, without a warning.
  module.SetWarning(kIdWarning, false, "All fine");
  EXPECT_EQ(control(kIdWarning).textColour, kNormalTextColour);
  EXPECT_TRUE(control(kIdWarning).shown);
  EXPECT_TRUE(context.warnings.Entries().empty());

  module.SetWarning(kIdWarning, false, "");
  EXPECT_FALSE(control(kIdWarning).shown);
  EXPECT_EQ(control(kIdWarning).text, "All fine");

  // A control on a child page, and the warning list's id for it.
  module.SetWarning(MakeWarningId(kIdPanelHolder, kIdRowCheck), true, "", "Row problem");
  EXPECT_EQ(control(0x305EC).textColour, kWarningTextColour);
  ASSERT_EQ(context.warnings.Entries().size(), 1u);
  EXPECT_EQ(context.warnings.Entries()[0].id, 0x305ECu);
}

TEST_F(PageTest, ARebuiltPageShowsTheWarningsOfThePreviousOne) {
  module.SetWarning(kIdWarning, true, "Pins missing");
  module.DestroyPage();
  EXPECT_FALSE(module.HasPage());
  module.SetWarning(kIdClockDisplay, true, "");  // no page: only the list learns of it
  module.CreatePage();
  EXPECT_EQ(control(kIdWarning).text, "Pins missing");
  EXPECT_EQ(control(kIdWarning).textColour, kWarningTextColour);
  EXPECT_EQ(control(kIdClockDisplay).textColour, kWarningTextColour);
  EXPECT_EQ(context.warnings.Entries().size(), 2u);
}

TEST_F(PageTest, ValueDisplaysGoToTheirControl) {
  module.ShowFrequency(kIdClockDisplay, 8000000);
  EXPECT_EQ(control(kIdClockDisplay).text, "8 MHz");
}

// ---- tooltips and focus ----

TEST_F(PageTest, ToolTipFocusesTheNextTabStopAfterACaptionAndAsksTheViews) {
  RecordingView view;
  page().AddObserver(&view);
  ASSERT_TRUE(module.ShowToolTip(kIdDividerCaption, "Enter 1 to 16", "Divider"));
  EXPECT_EQ(page().GetFocusId(), static_cast<uint32_t>(kIdDividerEdit));
  EXPECT_EQ(view.focused, std::vector<uint32_t>{kIdDividerEdit});
  EXPECT_TRUE(view.scrolled);
  ASSERT_EQ(view.toolTips.size(), 1u);
  EXPECT_EQ(view.toolTips[0].controlId, static_cast<uint32_t>(kIdDividerCaption));
  EXPECT_EQ(view.toolTips[0].title, "Divider");
  EXPECT_EQ(view.toolTips[0].text, "Enter 1 to 16");
  EXPECT_EQ(view.toolTips[0].icon, MessageIcon::Information);
  ASSERT_TRUE(page().CurrentToolTip());
  page().CloseToolTip();
  EXPECT_EQ(view.toolTipsClosed, 1);
  EXPECT_FALSE(page().CurrentToolTip());

  // A disabled control is skipped for the focus; an unknown one gets no balloon.
  module.EnableControl(kIdScaledEdit, false);
  module.ShowToolTip(kIdScaledCaption, "t", "T");
  EXPECT_EQ(page().GetFocusId(), static_cast<uint32_t>(kIdNameEdit));
  EXPECT_FALSE(module.ShowToolTip(4242, "t", "T"));
  EXPECT_EQ(view.toolTips.size(), 2u);
  page().RemoveObserver(&view);
}

TEST_F(PageTest, SpinStepsItsBuddyWithinItsRangeAndFollowsItsEnableState) {
  ASSERT_TRUE(page().Spin(kIdDividerSpin, +1));
  EXPECT_EQ(control(kIdDividerEdit).text, "2");
  EXPECT_EQ(Reg("DIV_INIT").value, 1u);
  page().TypeText(kIdDividerEdit, "16");
  page().Spin(kIdDividerSpin, +1);
  EXPECT_EQ(control(kIdDividerEdit).text, "16");

  Page standalone(&module);
  standalone.AddEdit(1).text = "0x0A";
  standalone.AddSpin(2, 1, 0, 255, 4);
  standalone.Spin(2, +1);
  EXPECT_EQ(standalone.Find(1)->text, "0x0E");

  module.EnableControl(kIdDividerEdit, false);
  EXPECT_FALSE(control(kIdDividerSpin).enabled);
  EXPECT_FALSE(page().Spin(kIdDividerSpin, +1));
}

// ---- life cycle ----

TEST_F(PageTest, FirstShowDefersUpdateEnablesToTheNextStep) {
  SamplePageModule other(SampleEntry("SAMPLE_2"));
  other.InitModule(context);
  const int wakeUps = context.host.wakeUps;
  other.CreatePage();
  EXPECT_EQ(other.updateEnablesCalls, 0);
  EXPECT_TRUE(other.HasDeferredPageWork());
  EXPECT_EQ(context.host.wakeUps, wakeUps + 1);
  EXPECT_TRUE(other.RunDeferredPageWork());
  EXPECT_EQ(other.updateEnablesCalls, 1);
  EXPECT_FALSE(other.RunDeferredPageWork());
  EXPECT_TRUE(other.CreatePage());  // already open: nothing is built again
  EXPECT_FALSE(other.HasDeferredPageWork());
}

TEST_F(PageTest, NotificationsAreSwallowedUntilTheFirstShow) {
  Page building(&module);
  CSetBit bit;
  bit.Bind(RegisterRef::Named(module, "ROW_INIT"), 3, false, "Bit");
  building.AddCheckBox(5, "Bit", &bit);
  building.Click(5);
  EXPECT_TRUE(building.Find(5)->checked);
  EXPECT_EQ(Reg("ROW_INIT").value, 0u);
  building.SetLive(true);
  building.Click(5);
  building.Click(5);
  EXPECT_EQ(Reg("ROW_INIT").value, 8u);
}

TEST_F(PageTest, RefreshAllAndUpdateAllMoveEveryBindingAndBroadcast) {
  Reg("DIV_INIT").value = 7;
  Reg("ROW_INIT").value = 1;
  module.RefreshAll();
  EXPECT_EQ(control(kIdDividerEdit).text, "8");
  EXPECT_TRUE(control(0x305EC).checked);
  EXPECT_EQ(module.updateEnablesCalls, 1);
  EXPECT_EQ(context.HintNumbers().back(), kHintPageRefreshed);

  // Controls changed without notifications reach the registers with UpdateAll.
  control(kIdDividerEdit).text = "3";
  control(0x305EC).checked = false;
  module.UpdateAll();
  EXPECT_EQ(Reg("DIV_INIT").value, 2u);
  EXPECT_EQ(Reg("ROW_INIT").value, 0u);
  EXPECT_EQ(context.HintNumbers().back(), kHintPageUpdated);
}

TEST_F(PageTest, DestroyingThePageDetachesBindingsAndTellsTheViews) {
  RecordingView view;
  page().AddObserver(&view);
  module.DestroyPage();
  EXPECT_EQ(view.destroyed, (std::vector<uint32_t>{kIdPanelHolder, 0}));
  EXPECT_FALSE(module.divider.HasWindow());
  EXPECT_FALSE(module.rowBit.HasWindow());
  module.divider.SetValue(9);
  EXPECT_EQ(Reg("DIV_INIT").value, 8u);
  module.CreatePage();
  EXPECT_EQ(control(kIdDividerEdit).text, "9");
}

TEST_F(PageTest, DestroyingABindingBeforeItsPageLeavesNoDanglingControl) {
  auto bit = std::make_unique<CSetBit>();
  bit->Bind(RegisterRef::Named(module, "ROW_INIT"), 2, false, "");
  Page* row = page().GetChildPage(kIdPanelHolder);
  row->AddCheckBox(88, "Extra", bit.get());
  bit.reset();
  EXPECT_EQ(row->Find(88)->binding, nullptr);
  EXPECT_TRUE(page().Click(MakeWarningId(kIdPanelHolder, 88)));
}

TEST_F(PageTest, LinksGoToTheModulesLinkHandler) {
  struct LinkModule : SamplePageModule {
    using SamplePageModule::SamplePageModule;
    void OnLinkActivated(Page&, Control& control, const std::string& href,
                         const std::string& text) override {
      followed.push_back(std::to_string(control.id) + " " + href + " " + text);
    }
    std::vector<std::string> followed;
  } linking(SampleEntry("SAMPLE_3"));
  linking.InitModule(context);
  linking.CreatePage();
  EXPECT_TRUE(linking.GetPage()->ActivateLink(kIdWarning, "tarq:OCCS/OCCS", "clock"));
  EXPECT_EQ(linking.followed, std::vector<std::string>{"1080 tarq:OCCS/OCCS clock"});
}

// ---- interrupt panels ----

class RecordingController : public CModule, public InterruptController {
 public:
  using CModule::CModule;
  void AttachInterruptUser(CModuleBase&, InterruptUser&) override {}
  bool ClaimVector(const InterruptUser&, bool, const std::string&, CModuleBase*) override {
    return false;
  }
  int FindUserSlot(uint32_t, std::string*) const override { return -1; }
  void BuildInterruptPanel(Page& panel, CModuleBase& user, InterruptUser& record,
                           bool wide) override {
    panel.AddStatic(1, Format("%s vector %u", user.GetPrefix().c_str(), record.vector));
    built.push_back(record.vector);
    wides.push_back(wide);
  }
  std::vector<uint32_t> built;
  std::vector<bool> wides;
};

class InterruptPageModule : public CModule {
 public:
  using CModule::CModule;
  void BuildPage(Page& page) override {
    page.AddPlaceholder(510, 300);
    page.AddPlaceholder(500, 300);
    page.AddPlaceholder(510, 100);
    page.AddPlaceholder(501, 100);
    page.AddPlaceholder(502, 100);  // no third interrupt: stays a placeholder
    page.AddLink(kPinWarningControlId, "");
  }
};

TEST(InterruptPanelTest, PanelsAndHeadersTakeTheirPlaceholdersPlaces) {
  PageTestContext context;
  ArchitectureEntry controllerEntry = SampleEntry("INTC");
  controllerEntry.kind = "INTC";
  RecordingController controller(controllerEntry);
  ArchitectureEntry userEntry = SampleEntry("SCI_0");
  userEntry.interrupts = "INT: 20, 21";
  InterruptPageModule user(userEntry);
  context.modules = {&controller, &user};
  controller.InitModule(context);
  user.InitModule(context);
  user.OnModulesReady();
  user.CreatePage();
  Page& page = *user.GetPage();

  EXPECT_TRUE(user.HasPins());
  EXPECT_EQ(controller.built, (std::vector<uint32_t>{20, 21}));
  EXPECT_EQ(controller.wides, (std::vector<bool>{true, false}));
  ASSERT_NE(page.GetChildPage(500), nullptr);
  ASSERT_NE(page.GetChildPage(501), nullptr);
  EXPECT_EQ(page.GetChildPage(502), nullptr);
  EXPECT_EQ(user.FindControlById(MakeWarningId(501, 1)).control->text, "SCI_0 vector 21");

  std::vector<std::string> order;
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    const Control& control = page.ControlAt(i);
    order.push_back(control.id ? std::to_string(control.id) : control.text);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"Interrupt Source", "ISR Name", "Priority", "500",
                                             "ISR Name", "Priority", "501", "502", "1990"}));
}

// ---- self-test log ----

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(PageTest, SelfTestLogOfTheSamplePageMatchesTheGoldenFile) {
  std::string log;
  module.SelfTestAll([&](const std::string& line) { log += line + "\n"; });
  const std::string golden =
      ReadFile(std::string(TARQ_SOURCE_DIR) + "/tests/framework/golden/sample_selftest.log");
  EXPECT_EQ(log, golden);
  // Every register is back where it was.
  EXPECT_EQ(Reg("CTRL_INIT").value, 3u);
  EXPECT_EQ(Reg("DIV_INIT").value, 0u);
  EXPECT_EQ(Reg("SCALE_INIT").value, 0u);
  EXPECT_EQ(Reg("PRESC_INIT").value, 0u);
  EXPECT_EQ(Reg("ROW_INIT").value, 0u);
}

}  // namespace
}  // namespace tarq

// Undo and redo on a real project (the Fenn example): every kind of control, a link action
// that changes several modules, an undo past a save, and the warnings after an undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "ProjectTestSupport.h"
#include "framework/Hints.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/Register.h"
#include "framework/Warnings.h"
#include "modules/ModuleKinds.h"
#include "project/CommandHistory.h"
#include "project/ProjDoc.h"

namespace fs = std::filesystem;

namespace tarq {
namespace {

class HistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "fenn", folder_.Path("fenn"),
             fs::copy_options::recursive);
    DocumentEnvironment environment;
    environment.readUserOptions = false;
    environment.programFolder = TARQ_BINARY_DIR;
    doc_ = std::make_unique<CProjDoc>(host_, environment, RegisterBuiltInModuleKinds);
    ASSERT_TRUE(doc_->OpenProject(folder_.Path("fenn")));
    // The page on screen is the one used last, as in the program.
    DocumentViews views;
    views.currentModule = [this] { return current_; };
    views.showModule = [this](CModuleBase* module) {
      shown_.push_back(module->GetPrefix());
      PageOf(module->GetPrefix());
      return true;
    };
    doc_->SetViews(std::move(views));
    history_ = std::make_unique<CommandHistory>(*doc_);
    doc_->OnIdle();  // the recompute after opening is no step
  }

  CModuleBase& Module(const std::string& prefix) { return *doc_->FindModule(prefix, ""); }
  Page& PageOf(const std::string& prefix) {
    CModuleBase& module = Module(prefix);
    current_ = &module;
    module.CreatePage();
    module.RunDeferredPageWork();
    return *module.GetPage();
  }
  Control& Ctl(const std::string& prefix, uint32_t id) {
    PageOf(prefix);
    Control* control = Module(prefix).FindControlById(id).control;
    if (control == nullptr) throw std::runtime_error("no control " + std::to_string(id));
    return *control;
  }
  uint32_t Value(const std::string& prefix, const std::string& reg) {
    return Module(prefix).FindOwnRegister(reg)->value;
  }
  // A click as the program delivers it: the control takes the focus first.
  void Click(const std::string& prefix, uint32_t id) {
    PageOf(prefix).FocusGained(id);
    PageOf(prefix).Click(id);
    doc_->OnIdle();
  }
  void Select(const std::string& prefix, uint32_t id, int item) {
    PageOf(prefix).FocusGained(id);
    PageOf(prefix).SelectItem(id, item);
    doc_->OnIdle();
  }
  void Type(const std::string& prefix, uint32_t id, const std::string& text) {
    Page& page = PageOf(prefix);
    page.FocusGained(id);
    page.TypeText(id, text);
    page.FocusLost(id);
    doc_->OnIdle();
  }
  std::vector<std::string> WarningTexts() {
    std::vector<std::string> texts;
    for (const Warning& warning : doc_->GetWarnings()->Entries())
      texts.push_back(warning.page->GetPrefix() + ": " + warning.text);
    return texts;
  }

  TempFolder folder_{"history"};
  CollectingHost host_;
  std::unique_ptr<CProjDoc> doc_;
  std::unique_ptr<CommandHistory> history_;
  CModuleBase* current_ = nullptr;
  std::vector<std::string> shown_;  // pages shown through the document, in order
};

constexpr uint32_t kDivisor = 1003, kBaud = 1005, kLoopMode = 1009, kParity = 1021;
constexpr uint32_t kRxFullPriority = (503u << 16) | 5;

TEST_F(HistoryTest, EveryKindOfControlUndoesAndRedoesWithThePageAndDisplays) {
  EXPECT_FALSE(history_->CanUndo());
  EXPECT_EQ(Value("SCI_0", "SCIBR_INIT"), 33u);
  // 60 MHz bus: 60e6 / (33 x 16) = 113636 bps; with 65, 57692 bps.
  const std::string baud = "113636 bps";

  Type("SCI_0", kDivisor, "65");  // a value box
  ASSERT_EQ(Value("SCI_0", "SCIBR_INIT"), 65u);
  EXPECT_EQ(history_->UndoName(), "SCI_0 Divisor");
  Click("SCI_0", kLoopMode);  // a check box sharing its register with other boxes
  EXPECT_EQ(history_->UndoName(), "SCI_0 Loop mode");
  Select("SCI_0", kParity, 2);  // a list of modes
  EXPECT_EQ(history_->UndoName(), "SCI_0 Parity");
  // The priority list of the interrupt panel writes the interrupt controller's register.
  Select("SCI_0", kRxFullPriority, 3);
  ASSERT_EQ(history_->StepCount(), 4u);
  EXPECT_EQ(history_->UndoName(), "SCI_0 62. SCI 0 Receiver Full priority");
  EXPECT_TRUE(doc_->IsModified());

  // Back step by step: registers, controls and the derived display follow each time.
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(Ctl("SCI_0", kRxFullPriority).selection, 2);
  EXPECT_EQ(history_->RedoName(), "SCI_0 62. SCI 0 Receiver Full priority");
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(Ctl("SCI_0", kParity).selection, 0);
  ASSERT_TRUE(history_->Undo());
  EXPECT_FALSE(Ctl("SCI_0", kLoopMode).checked);
  EXPECT_EQ(history_->UndoName(), "SCI_0 Divisor");
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(Value("SCI_0", "SCIBR_INIT"), 33u);
  EXPECT_EQ(Ctl("SCI_0", kDivisor).text, "33");
  EXPECT_EQ(Ctl("SCI_0", kBaud).text, baud);
  EXPECT_FALSE(history_->Undo());
  // Undone to the state that was read: nothing to save.
  EXPECT_FALSE(doc_->IsModified());

  // Forward again, all the way.
  for (int step = 0; step < 4; ++step) ASSERT_TRUE(history_->Redo());
  EXPECT_FALSE(history_->Redo());
  EXPECT_EQ(Ctl("SCI_0", kDivisor).text, "65");
  EXPECT_TRUE(Ctl("SCI_0", kLoopMode).checked);
  EXPECT_EQ(Ctl("SCI_0", kParity).selection, 2);
  EXPECT_EQ(Ctl("SCI_0", kRxFullPriority).selection, 3);
  EXPECT_EQ(Ctl("SCI_0", kBaud).text, "57692 bps");
  // The warnings pass after a redo records nothing of its own.
  doc_->OnIdle();
  EXPECT_EQ(history_->StepCount(), 4u);

  // A new change after an undo drops what could be redone.
  history_->Undo();
  history_->Undo();
  Type("SCI_0", kDivisor, "20");
  EXPECT_FALSE(history_->CanRedo());
  EXPECT_EQ(history_->StepCount(), 3u);
}

TEST_F(HistoryTest, ALinkThatPlacesPinsIsOneStepAndTheWarningsFollowTheUndo) {
  const uint32_t gpioPer = Value("GPIO_D", "PER_INIT");
  const std::vector<std::string> before = WarningTexts();  // of modules not written, too
  // Both pins of the serial port back to GPIO: two steps, and a pin warning at SCI_0.
  Select("GPIO_D", (59648u << 16) | 102, 0);
  Select("GPIO_D", (59649u << 16) | 102, 0);
  EXPECT_EQ(history_->UndoName(), "GPIO_D Pin  1: Function");
  ASSERT_EQ(history_->StepCount(), 2u);
  const std::vector<std::string> withWarning = WarningTexts();
  ASSERT_EQ(withWarning.size(), before.size() + 1);
  EXPECT_TRUE(std::any_of(withWarning.begin(), withWarning.end(), [](const std::string& text) {
    return text.rfind("SCI_0: Two module pins", 0) == 0;
  }));

  // The warning's link assigns the missing pins: one step, however many registers.
  PageOf("SCI_0");  // the link is on the serial port's page
  Module("SCI_0").OpenLink("tarqna:SCI_0/SCI?FIXPINS", {});
  doc_->OnIdle();
  ASSERT_EQ(history_->StepCount(), 3u);
  EXPECT_EQ(history_->UndoName(), "SCI_0 Assign missing pins");
  EXPECT_EQ(WarningTexts(), before);
  EXPECT_EQ(Value("GPIO_D", "PER_INIT"), gpioPer);

  ASSERT_TRUE(history_->Undo());
  doc_->OnIdle();
  EXPECT_EQ(WarningTexts(), withWarning);
  EXPECT_EQ(Value("GPIO_D", "PER_INIT") & 3u, 0u);
  EXPECT_EQ(Ctl("GPIO_D", (59648u << 16) | 102).text, "GPIO");
  ASSERT_TRUE(history_->Undo());
  ASSERT_TRUE(history_->Undo());
  doc_->OnIdle();
  EXPECT_EQ(WarningTexts(), before);
  EXPECT_EQ(Ctl("GPIO_D", (59648u << 16) | 102).text, "TXD0");
  EXPECT_FALSE(doc_->IsModified());
}

TEST_F(HistoryTest, SavingKeepsTheHistoryAndTheSavedStateIsCleanAgain) {
  Type("SCI_0", kDivisor, "65");
  Module("SCI_1").SetSelected(!Module("SCI_1").IsSelected());  // the tree's check box
  doc_->Broadcast(kHintModuleSelectionToggled, &Module("SCI_1"));
  doc_->OnIdle();
  ASSERT_EQ(history_->StepCount(), 2u);
  const bool sci1Selected = Module("SCI_1").IsSelected();
  ASSERT_TRUE(doc_->Save());
  EXPECT_FALSE(doc_->IsModified());
  EXPECT_TRUE(history_->CanUndo());

  // Undo past the save: modified; redo to the saved state: clean again.
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(Module("SCI_1").IsSelected(), !sci1Selected);
  EXPECT_TRUE(doc_->IsModified());
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(Value("SCI_0", "SCIBR_INIT"), 33u);
  ASSERT_TRUE(history_->Redo());
  ASSERT_TRUE(history_->Redo());
  EXPECT_FALSE(doc_->IsModified());
  EXPECT_EQ(Module("SCI_1").IsSelected(), sci1Selected);
}

// An undo or redo shows the page of the module it changed and focuses the control, also
// when another page is on screen, the control's page was closed meanwhile, or the control
// is a pin row's list on a child page.
TEST_F(HistoryTest, UndoAndRedoShowTheChangedPageAndFocusTheChangedControl) {
  const uint32_t pin0Function = (59648u << 16) | 102;
  Type("SCI_0", kDivisor, "65");
  Select("GPIO_D", pin0Function, 0);
  ASSERT_EQ(history_->StepCount(), 2u);
  Module("GPIO_D").DestroyPage();
  PageOf("SCI_0").FocusGained(kParity);  // the user looks at another control of SCI_0

  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(shown_, std::vector<std::string>{"GPIO_D"});
  EXPECT_EQ(current_, &Module("GPIO_D"));
  EXPECT_EQ(PageOf("GPIO_D").GetFocusId(), pin0Function);
  EXPECT_EQ(Ctl("GPIO_D", pin0Function).text, "TXD0");

  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(shown_.back(), "SCI_0");
  EXPECT_EQ(current_, &Module("SCI_0"));
  EXPECT_EQ(PageOf("SCI_0").GetFocusId(), kDivisor);

  PageOf("SCI_0").FocusGained(kParity);
  ASSERT_TRUE(history_->Redo());
  EXPECT_EQ(PageOf("SCI_0").GetFocusId(), kDivisor);
  ASSERT_TRUE(history_->Redo());
  EXPECT_EQ(shown_, (std::vector<std::string>{"GPIO_D", "SCI_0", "SCI_0", "GPIO_D"}));
  EXPECT_EQ(PageOf("GPIO_D").GetFocusId(), pin0Function);

  // A step of the project settings alone has no page to show.
  doc_->GetEditableSettings()->partNumber += "X";
  doc_->CheckAllWarnings(false);
  ASSERT_EQ(history_->UndoName(), "Project settings");
  ASSERT_TRUE(history_->Undo());
  EXPECT_EQ(shown_.size(), 4u);
}

// A name given to an action is the name of that action only: when it changed nothing, the
// next step is named after its own control.
TEST_F(HistoryTest, TheNameOfAnActionThatChangedNothingDoesNotStick) {
  PageOf("SCI_0");
  Module("SCI_0").OpenLink("tarqna:SCI_0/SCI?FIXPINS", {});  // every pin is in place
  doc_->OnIdle();
  EXPECT_EQ(history_->StepCount(), 0u);
  Type("SCI_0", kDivisor, "65");
  EXPECT_EQ(history_->UndoName(), "SCI_0 Divisor");
}

}  // namespace
}  // namespace tarq

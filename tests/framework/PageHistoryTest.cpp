#include <gtest/gtest.h>

#include "framework/Hints.h"
#include "framework/ModuleBase.h"
#include "framework/PageHistory.h"

namespace tarq {
namespace {

ArchitectureEntry Entry(const std::string& name) {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = name;
  return entry;
}

// The right pane as the main frame runs it: every page shown is reported to the history.
class PageHistoryTest : public ::testing::Test {
 protected:
  bool Show(CModuleBase* page) {
    if (refuse) return false;
    onScreen = page;
    history.OnPageShown(page);
    return true;
  }
  PageHistory::ShowPage Shower() {
    return [this](CModuleBase* page) { return Show(page); };
  }

  PageHistory history;
  CModuleBase* onScreen = nullptr;
  bool refuse = false;
  CModuleBase a{Entry("A")}, b{Entry("B")}, c{Entry("C")}, d{Entry("D")};
};

TEST_F(PageHistoryTest, ShowingAPageAfterGoingBackDropsTheForwardHistory) {
  EXPECT_FALSE(history.IsCommandEnabled(kCmdPageBack));
  for (CModuleBase* page : {&a, &b, &c}) Show(page);
  ASSERT_TRUE(history.OnCommand(kCmdPageBack, Shower()));
  ASSERT_TRUE(history.OnCommand(kCmdPageBack, Shower()));
  EXPECT_EQ(onScreen, &a);
  EXPECT_FALSE(history.CanGoBack());
  ASSERT_TRUE(history.Forward(Shower()));  // retraces without recording
  EXPECT_EQ(onScreen, &b);
  EXPECT_EQ(history.Entries(), (std::vector<CModuleBase*>{&a, &b, &c}));
  history.Back(Shower());

  Show(&d);
  EXPECT_FALSE(history.IsCommandEnabled(kCmdPageForward));
  EXPECT_FALSE(history.Forward(Shower()));
  ASSERT_TRUE(history.IsCommandEnabled(kCmdPageBack));
  ASSERT_TRUE(history.Back(Shower()));
  EXPECT_EQ(onScreen, &a);
  EXPECT_FALSE(history.CanGoBack());
}

TEST_F(PageHistoryTest, RefusalsRepeatsAndClosingKeepTheHistoryTrue) {
  Show(&a);
  Show(&b);
  Show(&b);  // a link into the page on screen is no new visit
  refuse = true;
  EXPECT_FALSE(history.Back(Shower()));
  EXPECT_EQ(history.Current(), &b);
  EXPECT_FALSE(history.IsGuarded());
  refuse = false;
  ASSERT_TRUE(history.Back(Shower()));
  EXPECT_EQ(onScreen, &a);

  history.OnHint(kHintDocumentClosing, nullptr);
  EXPECT_TRUE(history.Entries().empty());
  EXPECT_FALSE(history.CanGoForward());
  EXPECT_FALSE(history.OnCommand(kCmdPageForward, Shower()));
}

}  // namespace
}  // namespace tarq

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "LinkTestSupport.h"
#include "framework/HtmlModule.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;

class FakeView : public HtmlView {
 public:
  bool IsActiveView() const override { return active; }
  void Redraw() override { log.push_back("redraw"); }
  void Load(const std::string& url) override { log.push_back("load " + url); }
  bool CallScript(const std::string& function, const std::vector<std::string>& arguments,
                  std::string& result, std::string& reason) override {
    log.push_back(function + "(" + (arguments.empty() ? "" : arguments[0]) + ")");
    reason = scriptError;
    result = "ok";
    return scriptError.empty();
  }
  bool active = true;
  std::string scriptError;
  std::vector<std::string> log;
};

class HtmlModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tarq-html-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    doc.Add(html);
    html.SetPlaceholderPath((folder / "note.html").string());
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
  LinkTestContext doc;
  CHtmlModule html{LinkEntry("PINOUT", "PINOUT", "Pinout")};
  FakeView view;
};

TEST_F(HtmlModuleTest, NavigatesOnlyToNewUrlsOnTheActivePageUnlessForced) {
  html.SetStartUrl("file:///start.html");
  html.AttachView(&view);
  html.Navigate("file:///start.html");
  EXPECT_EQ(view.log, (std::vector<std::string>{"load file:///start.html", "redraw"}));

  view.active = false;
  html.Navigate("file:///b.html");
  EXPECT_EQ(view.log.back(), "redraw");
  EXPECT_EQ(html.GetShownUrl(), "file:///start.html");
  html.SetForceWhenInactive(true);
  html.Navigate("file:///b.html");
  html.SetForceReload(true);
  html.Navigate("file:///b.html");
  EXPECT_EQ(view.log, (std::vector<std::string>{"load file:///start.html", "redraw", "redraw",
                                                "load file:///b.html", "load file:///b.html"}));
}

TEST_F(HtmlModuleTest, ExternalDocumentsOpenWithTheSystemAndLeaveANoteInTheView) {
  EXPECT_EQ(CHtmlModule::ExternalPathOf("file:///home/u/My%20Doc.pdf"), "/home/u/My Doc.pdf");
  EXPECT_EQ(CHtmlModule::ExternalPathOf("FILE:doc.pdf"), "doc.pdf");

  html.AttachView(&view);
  html.SetOpenExternally(true);
  html.Navigate("file:///docs/manual.pdf");
  EXPECT_EQ(doc.host.opened, (std::vector<std::string>{"/docs/manual.pdf"}));
  EXPECT_EQ(view.log, (std::vector<std::string>{
                          "load file://" + fs::absolute(folder).generic_string() + "/note.html"}));
  std::ifstream in(folder / "note.html", std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(),
            "<html><head></head><body>\nThe document file is opened externally. Please keep the "
            "Tarq running until you close the external document.</body></html>\n");

  // Unwritable note: a blank page. Unopenable document: reported, and not taken as shown.
  html.SetPlaceholderPath((folder / "missing" / "note.html").string());
  EXPECT_TRUE(html.OpenExternal("file:///docs/a.pdf"));
  EXPECT_EQ(view.log.back(), "load about:blank");
  doc.host.openSucceeds = false;
  html.Navigate("file:///docs/b.pdf");
  EXPECT_EQ(html.GetShownUrl(), "file:///docs/manual.pdf");
  EXPECT_EQ(doc.host.Messages(),
            (std::vector<std::string>{"Can not open link \"file:///docs/b.pdf\""}));
}

TEST_F(HtmlModuleTest, ScriptCallsReturnTheResultOrTheReasonOfTheFailure) {
  std::string result;
  EXPECT_FALSE(html.CallScript("fill", {"a"}, result));
  EXPECT_EQ(result, "JSCall Error:\nNULL pointer");
  html.AttachView(&view);
  ASSERT_TRUE(html.CallScript("fill", {"GPIO_A"}, result));
  EXPECT_EQ(result, "ok");
  EXPECT_EQ(view.log.back(), "fill(GPIO_A)");
  view.scriptError = "Cannot GetScript";
  EXPECT_FALSE(html.CallScript("fill", {}, result));
  EXPECT_EQ(result, "JSCall Error:\nCannot GetScript");
  EXPECT_EQ(html.GetLastScriptError(), result);
}

TEST_F(HtmlModuleTest, CommentBlockIndentsTheFreeTextUnderTheTitle) {
  const std::string title =
      "    Pinout Software Module Configuration\n--------------------------------------------";
  std::string text;
  html.SetComment(" \r\n \t");
  html.GenerateComment(text);
  EXPECT_EQ(text, title);

  html.SetComment("Line one\r\nLine two\rLine three\nclosing */ here");
  text = "/*.\n";
  html.GenerateComment(text);
  EXPECT_EQ(text,
            "/*.\n" + title + "\n    Line one\n    Line two\n    Line three\n    closing * / here");
}

}  // namespace
}  // namespace tarq

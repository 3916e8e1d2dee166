#include <gtest/gtest.h>

#include "LinkTestSupport.h"
#include "framework/Links.h"
#include "framework/Module.h"
#include "framework/Page.h"

namespace tarq {
namespace {

constexpr uint32_t kBaudEdit = 1516;
constexpr uint32_t kEnableBox = 1200;
constexpr uint32_t kPinRow = 3;
constexpr uint32_t kLinkText = 1300;

// A page with a child page (a pin row) that repeats the module page's edit id.
class LinkedModule : public CModule {
 public:
  using CModule::CModule;
  void BuildPage(Page& page) override {
    page.AddEdit(kBaudEdit);
    page.AddCheckBox(kEnableBox, "Enable receiver");
    page.AddLink(kLinkText, "See <A HREF=\"tarq:SCI_0/SCI/1516\">baud</A>");
    page.AddPlaceholder(kPinRow, 200);
    if (Page* row = page.CreateChildPage(kPinRow)) {
      row->AddCheckBox(0x20, "Rx/Tx enable");
      row->AddEdit(kBaudEdit);
    }
  }
  void OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) override {
    queries.push_back(query + " @ " + url + (source ? " from " + source->GetPrefix() : ""));
    CModule::OnLinkQuery(source, url, query);
  }
  void OnLinkParams(CModuleBase*, const std::string&, const LinkParams& params) override {
    lastParams = params;
  }
  bool FixPins() override {
    pinCalls.push_back("fix");
    return true;
  }
  void CheckPinWarnings() override { pinCalls.push_back("check"); }

  std::vector<std::string> queries;
  LinkParams lastParams;
  std::vector<std::string> pinCalls;
};

class LinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.Add(source);
    doc.Add(sci);
    doc.ShowModule(&source);
    doc.shown.clear();
  }
  const std::optional<ToolTipRequest>& Tip() { return sci.GetPage()->CurrentToolTip(); }

  LinkTestContext doc;
  LinkedModule source{LinkEntry("OCCS", "OCCS")};
  LinkedModule sci{LinkEntry("SCI_0", "SCI", "Serial 0")};
};

TEST_F(LinksTest, MakeLinkWritesTheExactLinkTexts) {
  EXPECT_EQ(sci.MakeLink(1516), "tarq:SCI_0/SCI/1516");
  EXPECT_EQ(sci.MakeLink(0, "FIXPINS", true), "tarqna:SCI_0/SCI?FIXPINS");
  EXPECT_EQ(sci.MakeLink(0x305EC, "tiptext=x"), "tarq:SCI_0/SCI/198124?tiptext=x");
  EXPECT_EQ(sci.MakeLinkHtml("", 1516), "<A HREF=\"tarq:SCI_0/SCI/1516\">Serial 0</A>");
  EXPECT_EQ(source.MakeLinkHtml("", 0, "FIXPINS", true),
            "<A HREF=\"tarqna:OCCS/OCCS?FIXPINS\">OCCS</A>");
}

TEST(LinkText, DecodesEscapesKeepsBrokenOnesAndStopsAtTheLimit) {
  EXPECT_EQ(DecodeUrlEscapes("Set%20this%3f%3F a+b"), "Set this?? a+b");
  EXPECT_EQ(DecodeUrlEscapes("100% %zz%4"), "100% %zz%4");
  EXPECT_EQ(DecodeUrlEscapes(std::string(1023, 'x') + "%41%42"), std::string(1023, 'x') + "A");
  EXPECT_EQ(ParseLinkParams(" TipText =Set this&&x&tiptitle=a=b&tiptitle=Note"),
            (LinkParams{{"tiptext", "Set this"}, {"x", ""}, {"tiptitle", "Note"}}));
}

TEST_F(LinksTest, LinkByIdShowsThePageAndExplainsTheControl) {
  ASSERT_TRUE(source.OpenLink("tarq:SCI_0/SCI/1516", "OCCS: baud"));
  EXPECT_EQ(doc.shown, (std::vector<CModuleBase*>{&sci}));
  ASSERT_TRUE(Tip().has_value());
  EXPECT_EQ(Tip()->controlId, kBaudEdit);
  EXPECT_EQ(Tip()->text, "OCCS: baud");
  EXPECT_EQ(Tip()->title, "");
  EXPECT_EQ(sci.GetPage()->GetFocusId(), kBaudEdit);
  EXPECT_TRUE(sci.queries.empty());

  // A child page's twin by composite id in C syntax.
  ASSERT_TRUE(source.OpenLink("TARQ://SCI_0/SCI/0x305EC", "twin"));
  EXPECT_EQ(Tip()->controlId, 0x305ECu);
}

TEST_F(LinksTest, APageLinkTipNamesTheSourceModuleAndTheLinkText) {
  ASSERT_TRUE(source.GetPage()->ActivateLink(kLinkText, "tarq:SCI_0/SCI/1516", "baud"));
  ASSERT_TRUE(Tip().has_value());
  EXPECT_EQ(Tip()->controlId, kBaudEdit);
  EXPECT_EQ(Tip()->text, "OCCS: baud");
}

TEST_F(LinksTest, QueryTipIsDecodedAndTheQueryReachesTheTarget) {
  ASSERT_TRUE(source.OpenLink("tarq:SCI_0/SCI/1200?tiptext=Set%20this&TIPTITLE=Note", "ignored"));
  ASSERT_TRUE(Tip().has_value());
  EXPECT_EQ(Tip()->controlId, kEnableBox);
  EXPECT_EQ(Tip()->text, "Set this");
  EXPECT_EQ(Tip()->title, "Note");
  EXPECT_EQ(sci.queries, (std::vector<std::string>{
                             "tiptext=Set this&TIPTITLE=Note @ "
                             "tarq:SCI_0/SCI/1200?tiptext=Set this&TIPTITLE=Note from OCCS"}));
  EXPECT_EQ(sci.lastParams.at("tiptitle"), "Note");
}

TEST_F(LinksTest, CaptionLinksMatchWholeTextsOnTheModulePageAndItsChildPages) {
  ASSERT_TRUE(source.OpenLink("tarq:SCI_0/SCI/Enable%20receiver", "tip"));
  EXPECT_EQ(Tip()->controlId, kEnableBox);
  // A caption holding a '/' is still one caption.
  ASSERT_TRUE(source.OpenLink("tarq:SCI_0/SCI/Rx/Tx enable", "row tip"));
  EXPECT_EQ(Tip()->controlId, (kPinRow << 16) | 0x20);
  EXPECT_EQ(Tip()->text, "row tip");
}

TEST_F(LinksTest, WithoutAControlOrATipTextThePageIsShownAndTheQueryStillRuns) {
  for (const char* url :
       {"tarq:SCI_0/SCI/Enable?Q1", "tarq:SCI_0/SCI/enable receiver?Q2", "tarq:SCI_0/SCI/0?Q3",
        "tarq:SCI_0/SCI/9999?Q4", "tarq:SCI_0/SCI/1516?Q5&tiptext="}) {
    ASSERT_TRUE(source.OpenLink(url, "tip")) << url;
    EXPECT_FALSE(Tip().has_value()) << url;
  }
  EXPECT_EQ(sci.queries.size(), 5u);
  EXPECT_EQ(doc.current, &sci);
}

TEST_F(LinksTest, NoActivateLinksActWithoutShowingAndFixPinsChecksAgain) {
  ASSERT_TRUE(source.OpenLink("tarqna:SCI_0/SCI/1516?FIXPINS", "tip"));
  EXPECT_TRUE(doc.shown.empty());
  EXPECT_EQ(doc.current, &source);
  EXPECT_FALSE(sci.HasPage() && Tip().has_value());
  EXPECT_EQ(sci.pinCalls, (std::vector<std::string>{"fix", "check"}));
  // Only the exact word.
  source.OpenLink("tarqna:SCI_0/SCI?fixpins", "");
  source.OpenLink("tarqna:SCI_0/?FIXPINS&x=1", "");  // empty class: prefix alone
  EXPECT_EQ(sci.pinCalls.size(), 2u);
  EXPECT_EQ(sci.queries.size(), 3u);
}

TEST_F(LinksTest, MissingTargetsAndRefusedPageSwitchesStopTheLinkSilently) {
  EXPECT_FALSE(source.OpenLink("tarq:SCI_0/SPI/1516?Q", "tip"));
  EXPECT_FALSE(source.OpenLink("tarq:NOSUCH/SCI?Q", "tip"));
  doc.refuseToLeave = true;
  EXPECT_FALSE(source.OpenLink("tarq:SCI_0/SCI/1516?FIXPINS", "tip"));
  EXPECT_EQ(doc.current, &source);
  EXPECT_TRUE(sci.queries.empty());
  EXPECT_TRUE(doc.host.entries.empty());
}

TEST_F(LinksTest, OtherUrlsGoToTheSystemOpenerAndFailuresAreReported) {
  EXPECT_TRUE(source.OpenLink("https://example.com/doc.pdf", "tip"));
  EXPECT_EQ(doc.host.opened, (std::vector<std::string>{"https://example.com/doc.pdf"}));
  EXPECT_TRUE(doc.host.Messages().empty());

  doc.host.openSucceeds = false;
  EXPECT_FALSE(source.OpenLink("tarqx:SCI_0/SCI", "tip"));
  EXPECT_EQ(doc.host.Messages(),
            (std::vector<std::string>{"Can not open link \"tarqx:SCI_0/SCI\""}));
  EXPECT_TRUE(doc.shown.empty());
}

}  // namespace
}  // namespace tarq

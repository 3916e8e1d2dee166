#include <gtest/gtest.h>

#include "framework/ModuleBase.h"
#include "framework/Warnings.h"

namespace tarq {
namespace {

ArchitectureEntry Entry(const std::string& name) {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = name;
  return entry;
}

std::vector<std::string> Texts(const WarningList& list) {
  std::vector<std::string> texts;
  for (const Warning& warning : list.Entries()) texts.push_back(warning.text);
  return texts;
}

TEST(WarningList, KeepsFirstAppearanceOrderUpdatesInPlaceAndReappendsAtTheEnd) {
  CModuleBase sci(Entry("SCI_0"));
  CModuleBase spi(Entry("SPI_0"));
  WarningList list;
  list.Set(&sci, 100, true, "", "a");
  list.Set(&sci, 101, true, "", "b");
  list.Set(&spi, 100, true, "", "c");  // same control id, other page: its own entry
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b", "c"}));

  list.Set(&sci, 101, true, "", "b2");
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b2", "c"}));

  list.Set(&sci, 100, false, "", "ignored");
  list.Set(&sci, 555, false, "", "never set");  // removing nothing changes nothing
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"b2", "c"}));

  list.Set(&sci, 100, true, "", "a again");
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"b2", "c", "a again"}));
  EXPECT_EQ(list.Entries().back().page, &sci);
  EXPECT_EQ(list.Entries().back().id, 100u);

  list.Clear();
  EXPECT_TRUE(list.Entries().empty());
}

TEST(WarningText, DropsALeadingWarningOrErrorWordInAnyCaseAndTheBlanksAfterIt) {
  EXPECT_EQ(WarningTextOf("Warning: Clock is off"), "Clock is off");
  EXPECT_EQ(WarningTextOf("WARNING:    Clock is off"), "Clock is off");
  EXPECT_EQ(WarningTextOf("wArNiNg:x"), "x");
  EXPECT_EQ(WarningTextOf("error: bad vector"), "bad vector");
  // Only the word directly followed by its colon is a prefix.
  EXPECT_EQ(WarningTextOf("Warning : spaced"), "Warning : spaced");
  EXPECT_EQ(WarningTextOf("Warnings: plural"), "Warnings: plural");
  // The prefix is looked for in the plain text, after the markup is gone.
  EXPECT_EQ(WarningTextOf("<b>Warning:</b> Pin <A HREF=\"tarq:GPIO_A/GPIO\">GPIO_A</A> off"),
            "Pin GPIO_A off");
}

TEST(WarningText, RemovesMarkupAndDecodesEntitiesButKeepsLiteralLessThan) {
  EXPECT_EQ(PlainTextOf("a &lt;b&gt; &amp; &quot;c&quot;"), "a <b> & \"c\"");
  EXPECT_EQ(PlainTextOf("x < 5 and y > 2"), "x < 5 and y > 2");
  EXPECT_EQ(PlainTextOf("first<br>second"), "first second");
  EXPECT_EQ(PlainTextOf("<a href=\"x>y\">link</a> done"), "link done");
  EXPECT_EQ(PlainTextOf("unterminated <a href"), "unterminated <a href");
}

TEST(WarningLink, IsTheHrefOfTheFirstAnchorOfTheControlText) {
  EXPECT_EQ(FirstLinkOf("See <A HREF=\"tarq:OCCS/OCCS/1200\">OCCS</A> and "
                        "<a href=\"tarq:SYS/SYS\">SYS</a>"),
            "tarq:OCCS/OCCS/1200");
  EXPECT_EQ(FirstLinkOf("<a name=\"x\">x</a><a class=y HREF='tarqna:SCI_0/SCI?FIXPINS'>p</a>"),
            "tarqna:SCI_0/SCI?FIXPINS");
  EXPECT_EQ(FirstLinkOf("<a href=tarq:GPIO_A/GPIO>unquoted</a>"), "tarq:GPIO_A/GPIO");
  EXPECT_EQ(FirstLinkOf("<a href=\"tarq:X/Y?a=1&amp;b=2\">q</a>"), "tarq:X/Y?a=1&b=2");
  EXPECT_EQ(FirstLinkOf("<abbr href=\"no\">x</abbr> plain text"), "");

  CModuleBase sci(Entry("SCI_0"));
  WarningList list;
  // The message gives the text; the link still comes from the control text.
  list.Set(&sci, 7, true, "Enable <a href=\"tarq:SYS/SYS/12\">clock</a>",
           "Error: the SCI clock is off");
  ASSERT_EQ(list.Entries().size(), 1u);
  EXPECT_EQ(list.Entries()[0].text, "the SCI clock is off");
  EXPECT_EQ(list.Entries()[0].link, "tarq:SYS/SYS/12");
  list.Set(&sci, 8, true, "", "<a href=\"tarq:SYS/SYS\">only in message</a>");
  EXPECT_EQ(list.Entries()[1].text, "only in message");
  EXPECT_EQ(list.Entries()[1].link, "");
}

}  // namespace
}  // namespace tarq

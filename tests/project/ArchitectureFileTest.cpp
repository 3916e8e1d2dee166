#include <gtest/gtest.h>

#include <random>
#include <string>

#include "project/ArchitectureFile.h"

namespace tarq {
namespace {

ArchitectureFile ParseOk(const std::string& text) {
  ArchitectureFile file;
  std::string error;
  EXPECT_TRUE(ParseArchitectureText(text, file, error)) << error;
  return file;
}

std::string ParseError(const std::string& text) {
  ArchitectureFile file;
  std::string error;
  EXPECT_FALSE(ParseArchitectureText(text, file, error));
  EXPECT_TRUE(file.tree.empty());
  return error;
}

TEST(ArchitectureFileTest, EntryFieldsCommentsAndQuotes) {
  ArchitectureFile file = ParseOk(
      "# program-wide list\n"
      ".BEGIN_TREE_LIST\n"
      "OCCS OCCS NONE : \"Clock\" // trailing comment\n"
      "SCI_0 SCI OCCS INT:20,21 \"!Serial port!SCI 0\" sci.pdf#SCI_0 extra\n"
      "/* a block comment\n   over two lines */\n"
      "GPIO_A GPIO NONE \":5\"\n"
      ".END_TREE_LIST\n");
  ASSERT_EQ(file.tree.size(), 3u);

  const ArchitectureEntry& occs = file.tree[0].entry;
  EXPECT_EQ(occs.name, "OCCS");
  EXPECT_EQ(occs.kind, "OCCS");
  EXPECT_EQ(occs.linkedModule, "NONE");
  EXPECT_EQ(occs.interrupts, ":");
  EXPECT_EQ(occs.labelSuffix, "Clock");  // quotes stripped
  EXPECT_EQ(occs.displayName, "");

  const ArchitectureEntry& sci = file.tree[1].entry;
  EXPECT_EQ(sci.linkedModule, "OCCS");
  EXPECT_EQ(sci.interrupts, "INT:20,21");
  EXPECT_EQ(sci.displayName, "Serial port");  // two-part label with a blank inside
  EXPECT_EQ(sci.labelSuffix, "SCI 0");
  EXPECT_EQ(sci.helpReference, "sci.pdf#SCI_0");  // '#' inside a word is no comment

  EXPECT_EQ(file.tree[2].entry.interrupts, ":5");
  EXPECT_TRUE(file.tree[2].entry.labelSuffix.empty());
}

TEST(ArchitectureFileTest, LabelForms) {
  ArchitectureFile file = ParseOk(
      "A K NONE : !OnlyName\n"
      "B K NONE : !Name!Suffix!More\n"
      "C K NONE : plain\n");
  EXPECT_EQ(file.tree[0].entry.displayName, "OnlyName");
  EXPECT_EQ(file.tree[0].entry.labelSuffix, "");
  EXPECT_EQ(file.tree[1].entry.displayName, "Name");
  EXPECT_EQ(file.tree[1].entry.labelSuffix, "Suffix!More");
  EXPECT_EQ(file.tree[2].entry.displayName, "");
  EXPECT_EQ(file.tree[2].entry.labelSuffix, "plain");
}

TEST(ArchitectureFileTest, NestingAttachesToLastEntryOfTheLevel) {
  ArchitectureFile file = ParseOk(
      "{\n"  // no entry yet: belongs to the top level itself
      "  FIRST K NONE :\n"
      "}\n"
      "GROUP EMPTY NONE :\n"
      "OTHER EMPTY NONE :\n"
      "{\n"
      "  CHILD_1 K NONE :\n"
      "  {\n"
      "    GRANDCHILD K NONE :\n"
      "  }\n"
      "  CHILD_2 K NONE :\n"
      "}\n"
      "{ LATE K NONE : }\n"  // a second list for the same node
      ".END_TREE_LIST\n");
  ASSERT_EQ(file.tree.size(), 3u);
  EXPECT_EQ(file.tree[0].entry.name, "FIRST");
  EXPECT_TRUE(file.tree[1].children.empty());
  const ArchitectureNode& other = file.tree[2];
  ASSERT_EQ(other.children.size(), 3u);
  EXPECT_EQ(other.children[0].entry.name, "CHILD_1");
  ASSERT_EQ(other.children[0].children.size(), 1u);
  EXPECT_EQ(other.children[0].children[0].entry.name, "GRANDCHILD");
  EXPECT_EQ(other.children[1].entry.name, "CHILD_2");
  EXPECT_EQ(other.children[2].entry.name, "LATE");
}

TEST(ArchitectureFileTest, InvalidTreeLists) {
  // Three tokens: the interrupt list is missing.
  std::string error = ParseError("OCCS OCCS NONE :\nSCI_0 SCI NONE\n");
  EXPECT_NE(error.find("Line 2"), std::string::npos) << error;
  EXPECT_NE(error.find("SCI_0"), std::string::npos) << error;
  // The fields must stand on the entry's own line.
  ParseError("SCI_0 SCI\nNONE :\n");
  // A brace does not count as a field.
  ParseError("SCI_0 SCI NONE {\n}\n");
  ParseError("A K NONE :\n{\nB K NONE :\n");
  ParseError("A K NONE :\n}\n");
  // Without the end mark the module information is read as entries.
  ParseError("A K NONE :\n.BEGIN_MODULE_INFO\nA { x=1 }\n");
}

TEST(ArchitectureFileTest, LineJoinKeepsFieldsOnTheEntryLine) {
  ArchitectureFile file = ParseOk("SCI_0 SCI \\\n NONE \\\r\n :1\nNEXT K NONE :\n");
  ASSERT_EQ(file.tree.size(), 2u);
  EXPECT_EQ(file.tree[0].entry.linkedModule, "NONE");
  EXPECT_EQ(file.tree[0].entry.interrupts, ":1");
  EXPECT_EQ(file.tree[1].entry.name, "NEXT");
}

TEST(ArchitectureFileTest, ModuleInformationBlocks) {
  ArchitectureFile file = ParseOk(
      "SCI_0 SCI NONE :\n"
      ".END_TREE_LIST\n"
      "ignored tokens { here }\n"
      ".BEGIN_MODULE_INFO\n"
      "SCI_0 {\n  SCIBR_RESET = 0x0004\n  note = a /* } */ // }\n}\n"
      "LONELY\n"  // a name without a block is dropped
      "GPIO_A { PINS=4 }\n"
      "} stray\n"
      ".END_MODULE_INFO\n"
      "AFTER { x=1 }\n");
  ASSERT_EQ(file.moduleInfo.size(), 2u) << file.moduleInfo.back().first;
  EXPECT_EQ(file.moduleInfo[0].first, "SCI_0");
  // The block is kept whole, up to the brace that closes it.
  EXPECT_EQ(file.moduleInfo[0].second, "\n  SCIBR_RESET = 0x0004\n  note = a /* } */ // }\n");
  EXPECT_EQ(file.moduleInfo[1].first, "GPIO_A");
  EXPECT_EQ(file.moduleInfo[1].second, " PINS=4 ");
}

TEST(ArchitectureFileTest, NestingIsBounded) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "N K NONE :\n{\n";
  std::string error = ParseError(text);
  EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
}

TEST(ArchitectureFileTest, SurvivesMangledInput) {
  const std::string valid =
      "A EMPTY NONE : \"!x!y\" h#d\n{\n B K A INT:1,2 /* c */\n}\n.END_TREE_LIST\n"
      ".BEGIN_MODULE_INFO\nA { k=v }\n.END_MODULE_INFO\n";
  std::mt19937 random(12345);
  const std::string alphabet = "{}\"'#/*\\\n .AK:!";
  for (int round = 0; round < 2000; ++round) {
    std::string text = valid;
    int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t at = random() % (text.size() + 1);
      if (random() % 2 && at < text.size()) {
        text.erase(at, 1 + random() % 3);
      } else {
        text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    ArchitectureFile file;
    std::string error;
    bool ok = ParseArchitectureText(text, file, error);
    EXPECT_EQ(ok, error.empty()) << text;
  }
}

}  // namespace
}  // namespace tarq

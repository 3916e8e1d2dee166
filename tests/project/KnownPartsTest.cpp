#include <gtest/gtest.h>

#include <set>

#include "project/DocumentSettings.h"
#include "project/HeaderFile.h"
#include "project/KnownParts.h"

namespace tarq {

TEST(KnownParts, TableKeepsDecisionOrderAndTheOneAlias) {
  const auto& parts = KnownParts();
  EXPECT_STREQ(parts[0].name, "CVX-01");
  EXPECT_STREQ(parts[7].name, "CVX-36");
  EXPECT_STREQ(parts[8].name, "CVX-09");
  EXPECT_STREQ(parts[kPartRowCVX08].name, "CVX-08");
  EXPECT_STREQ(parts[35].name, "CVX-35");
  EXPECT_EQ(PartNameOfRow(5), "CVX-37");
  EXPECT_EQ(PartNameOfRow(6), "CVX-07");
  EXPECT_EQ(PartNameOfRow(-1), "");
  EXPECT_EQ(PartNameOfRow(36), "");
}

// Every test that is true for a part, the group tests included; all others must be false.
TEST(KnownParts, PartTestsAnswerExactlyTheirTextsAndGroups) {
  const std::pair<const char*, std::set<int>> cases[] = {
      {"CVX-03", {2, 33}},
      {"CVX-06", {5, 34}},
      // The name the tool gives CVX-06 answers CVX-06's test and belongs to the later group.
      {"CVX-37", {5, 34}},
      {"CVX-07", {6, 34}},
      {"CVX-09", {7, 34, 40}},
      {"CVX-08", {8, 34, 40}},
      {"CVX-17", {16, 34, 40, 41}},
      {"CVX-20", {19, 34, 35, 36}},
      {"CVX-24", {23, 34, 35, 37, 39}},
      {"CVX-26", {25, 34, 35, 38, 39}},
      {"CVX-28", {42, 44}},
      {"CVX-29", {42, 43}},
      {"CVX-30", {27, 34, 45, 46}},
      {"CVX-35", {32, 34, 45, 47}},
      {"", {}},
  };
  for (const auto& [part, expected] : cases) {
    const auto results = ComputePartResults(part);
    for (int n = 0; n < kPartTestCount; ++n) {
      EXPECT_EQ(results[static_cast<size_t>(n)], expected.count(n) == 1) << part << " test " << n;
      EXPECT_EQ(TestPartName(part, n), results[static_cast<size_t>(n)]);
    }
  }
  EXPECT_FALSE(TestPartName("CVX-03", -1));
  EXPECT_FALSE(TestPartName("CVX-03", 48));
}

TEST(KnownParts, ChipGroupsNameTheFamilies) {
  EXPECT_EQ(ChipGroupOf("CVX-05"), "classic");
  EXPECT_EQ(ChipGroupOf("CVX-08"), "Fenn");
  EXPECT_EQ(ChipGroupOf("CVX-36"), "Fenn");
  EXPECT_EQ(ChipGroupOf("CVX-23"), "Tebo");
  EXPECT_EQ(ChipGroupOf("CVX-27"), "Casp");
  EXPECT_EQ(ChipGroupOf("CVX-28"), "Brel");
  EXPECT_EQ(ChipGroupOf("CVX-33"), "Dorn");
  EXPECT_EQ(ChipGroupOf("CVX-37"), "later");
  EXPECT_EQ(ChipGroupOf("CVX-99"), "");
  EXPECT_EQ(ChipGroupOf(""), "");
}

TEST(KnownParts, FirstDefinedRowDecidesThePart) {
  HeaderFile header(true);
  header.Parse("#define CVX-08\n#define CVX-01\n#define OTHER 1\n");
  ProjectSettings settings;
  Options options;
  ReadDocumentSettings(header, settings, options);
  EXPECT_EQ(settings.partRow, 0);
  EXPECT_EQ(settings.partName, "CVX-01");
  EXPECT_TRUE(header.FindDefinition("CVX-01")->used);
  // The losing part name is left for the unrecognised definitions.
  EXPECT_FALSE(header.FindDefinition("CVX-08")->used);
  EXPECT_FALSE(header.FindDefinition("OTHER")->used);
}

TEST(KnownParts, AliasAndOlderPartNames) {
  HeaderFile aliased(true);
  aliased.Parse("#define CVX-06\n");
  ProjectSettings settings;
  Options options;
  ReadDocumentSettings(aliased, settings, options);
  EXPECT_EQ(settings.partRow, 5);
  EXPECT_EQ(settings.partName, "CVX-37");
  EXPECT_FALSE(ReplaceOlderPartName(settings));

  HeaderFile older(true);
  older.Parse("#define CVX-36\n");
  ReadDocumentSettings(older, settings, options);
  EXPECT_EQ(settings.partName, "CVX-36");
  EXPECT_TRUE(ReplaceOlderPartName(settings));
  EXPECT_EQ(settings.partRow, kPartRowCVX08);
  EXPECT_EQ(settings.partName, "CVX-08");

  HeaderFile none(true);
  none.Parse("#define APPCFG_PARTNUM  MC1\n");
  ReadDocumentSettings(none, settings, options);
  EXPECT_EQ(settings.partRow, -1);
  EXPECT_EQ(settings.partName, "");
  EXPECT_FALSE(ReplaceOlderPartName(settings));
}

}  // namespace tarq

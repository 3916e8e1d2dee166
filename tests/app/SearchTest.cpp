// Search across every setting: how words match and rank, that every hit's `set` name reaches
// its control on every example, and `tarq-cli find` end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <nlohmann/json.hpp>

#include "app/Cli.h"
#include "app/Search.h"
#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"
#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ExampleProjects;
using apptest::ReadFile;
using apptest::RunCli;
using apptest::TempFolder;

int Rank(const std::string& text, const std::string& query) {
  return MatchRank(text, query, SearchWords(query));
}

TEST(SearchMatching, WordsInAnyOrderWithoutRegardToCaseRankedByHowWellTheyFit) {
  // Every word must be there; order, case and punctuation do not matter.
  EXPECT_GE(Rank("Baud rate divisor", "DIVISOR baud"), 0);
  EXPECT_GE(Rank("Pin  3: Function", "function, pin 3"), 0);
  EXPECT_EQ(Rank("Baud rate divisor", "baud parity"), -1);
  EXPECT_EQ(Rank("Baud rate divisor", "  "), -1);
  // The whole text, then its start, then word starts, then anywhere.
  EXPECT_EQ(Rank("Enable PLL:", "enable pll"), 0);
  EXPECT_EQ(Rank("Enable PLL lock detector", "enable pll"), 1);
  EXPECT_EQ(Rank("Loss of lock interrupt", "interrupt lock"), 2);
  EXPECT_EQ(Rank("Prescaler", "scale"), 3);
}

TEST(SearchMatching, GroupAndModuleOnlyCompleteAMatchTheTextBegan) {
  const SearchEntry divisor{.module = "SCI_0", .group = "Baud Rate", .text = "Divisor"};
  const std::string query = "sci_0 divisor";
  EXPECT_EQ(EntryRank(divisor, query, SearchWords(query)), 4);
  // A word found only outside the text does not make every control of a group a hit.
  const std::string elsewhere = "sci_0 baud";
  EXPECT_EQ(EntryRank(divisor, elsewhere, SearchWords(elsewhere)), -1);
}

DocumentEnvironment ProgramEnvironment() {
  DocumentEnvironment environment;
  environment.programFolder = TARQ_BINARY_DIR;
  environment.readUserOptions = false;
  return environment;
}

TEST(SettingsIndex, EveryHitsSetNameReachesItsControlOnEveryExample) {
  for (const fs::path& project : ExampleProjects()) {
    SCOPED_TRACE(project.filename().string());
    CollectingHost host;
    CProjDoc doc(host, ProgramEnvironment(), RegisterBuiltInModuleKinds);
    ASSERT_TRUE(doc.OpenProject(project.string()));
    SettingsIndex index;
    index.Build(doc);
    // Building the index leaves no page behind that was not open before.
    for (CModuleBase* module : doc.GetModules()) EXPECT_EQ(module->GetPage(), nullptr);
    for (CModuleBase* module : doc.GetModules()) {
      ASSERT_TRUE(module->CreatePage());
      module->RunDeferredPageWork();
    }
    size_t named = 0;
    for (const SearchEntry& entry : index.Entries()) {
      if (entry.kind != SearchHitKind::Control || entry.setName.empty()) continue;
      CModuleBase* module = doc.FindModule(entry.module, "");
      ASSERT_NE(module, nullptr);
      std::string error;
      const ControlRef found = FindSetTarget(*module, entry.setName, error);
      ASSERT_TRUE(found) << entry.module << " \"" << entry.setName << "\": " << error;
      EXPECT_EQ(found.fullId, entry.controlId) << entry.module << " \"" << entry.setName << "\"";
      // Only what a user can click, pick or type into gets a set name: no drawing, no text.
      EXPECT_TRUE(found.control->IsButton() || found.control->IsChoice() || found.control->IsEdit())
          << entry.module << " \"" << entry.setName << "\" is a " << ControlKindName(found.control->kind);
      ++named;
    }
    EXPECT_GT(named, 20u);
  }
}

TEST(SettingsIndex, ChangedOnlyKeepsSettingsThatDifferFromReset) {
  CollectingHost host;
  CProjDoc doc(host, ProgramEnvironment(), RegisterBuiltInModuleKinds);
  ASSERT_TRUE(doc.OpenProject((fs::path(TARQ_SOURCE_DIR) / "examples" / "later").string()));
  SettingsIndex index;
  index.Build(doc);
  auto modulesOf = [](const std::vector<SearchHit>& hits) {
    std::set<std::string> modules;
    for (const SearchHit& hit : hits)
      if (hit.entry->text == "Divisor") modules.insert(hit.entry->module);
    return modules;
  };
  // The example sets both serial ports' rates; its SPI ports stand at their reset divisor.
  const std::set<std::string> all = modulesOf(index.Find("divisor", false));
  const std::set<std::string> changed = modulesOf(index.Find("divisor", true));
  for (const char* module : {"SCI_0", "SCI_1", "SPI_0", "SPI_1"}) EXPECT_EQ(all.count(module), 1u);
  for (const char* module : {"SCI_0", "SCI_1"}) EXPECT_EQ(changed.count(module), 1u);
  for (const char* module : {"SPI_0", "SPI_1"}) EXPECT_EQ(changed.count(module), 0u);
  for (const SearchHit& hit : index.Find("divisor", true)) EXPECT_TRUE(hit.entry->changed);
}

TEST(FindCommand, AHitsSetNameEditsTheSettingAndTheHitThenCountsAsChanged) {
  TempFolder copy;
  fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "later", copy.path() / "later",
           fs::copy_options::recursive);
  const std::string path = (copy.path() / "later").string();
  std::string output, errors;
  ASSERT_EQ(RunCli("find " + path + " 'divisor timeout' --json", &output, &errors), 0);
  const json hits = json::parse(output)["hits"];
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits[0]["module"], "OCCS");
  EXPECT_EQ(hits[0]["kind"], "control");
  EXPECT_FALSE(hits[0]["changed"].get<bool>());
  EXPECT_EQ(RunCli("find " + path + " 'divisor timeout' --changed", &output, &errors), 1);
  const std::string name = hits[0]["set"];
  ASSERT_EQ(RunCli("set " + path + " OCCS '" + name + "=32768' --save", &output), 0) << output;
  ASSERT_EQ(RunCli("find " + path + " 'divisor timeout' --changed --json", &output, &errors), 0);
  EXPECT_EQ(json::parse(output)["hits"][0]["set"], name);

  // Plain output names the set command; nothing found is exit 1, no word a usage error.
  ASSERT_EQ(RunCli("find " + path + " 'divisor timeout'", &output, &errors), 0);
  EXPECT_NE(output.find("-> set OCCS \"" + name + "=VALUE\""), std::string::npos) << output;
  EXPECT_EQ(RunCli("find " + path + " 'no such setting anywhere'", &output, &errors), 1);
  EXPECT_NE(errors.find("nothing matches 'no such setting anywhere'"), std::string::npos);
  EXPECT_EQ(RunCli("find " + path + " ' :: '", &output, &errors), 2);
}

}  // namespace
}  // namespace tarq

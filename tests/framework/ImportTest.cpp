// Import of register values between modules: which registers are copied, what is asked when
// the names differ, and what the dialog's OK does with its choices.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "app/ImportSettings.h"

namespace tarq {
namespace {

// Three modules of one class: B's second register has another name and B lacks the third
// register; C's third register is never imported into C.
ModuleProject ImportProject() {
  return ModuleProject(
      {.part = "CVX-21",
       .defines = "#define A_CTRL_INIT 0x0011U\n#define A_RATE_INIT 0x0022U\n"
                  "#define B_CTRL_INIT 0x0033U\n#define B_SPEED_INIT 0x0044U\n",
       .tree = "A IMP NONE IRQ: \"First\"\nB IMP NONE IRQ: \"Second\"\nC IMP NONE IRQ: \"Third\"\n"
               "D OTHER NONE IRQ: \"Other\"\n",
       .factory = [](ModuleFactory& factory) {
         factory.Register("IMP", [](const ArchitectureEntry& entry, CModuleBase* parent) {
           std::vector<RegisterDecl> table = {
               {"CTRL_INIT", 0, DW16}, {"RATE_INIT", 0, DW16}, {"LOCK_INIT", 0, DW16}};
           if (entry.name == "B") {
             table[1].name = "SPEED_INIT";
             table.pop_back();
           }
           if (entry.name == "C") table[2].flags |= NOIMPORT;
           return std::unique_ptr<CModuleBase>(std::make_unique<StubModule>(entry, table, parent));
         });
         RegisterStub(factory, "OTHER", {{"CTRL_INIT", 0, DW16}});
       }});
}

std::vector<uint32_t> Values(CModuleBase* module) {
  std::vector<uint32_t> values;
  for (const Register& reg : module->Registers()) values.push_back(reg.value);
  return values;
}

TEST(ImportTest, RegistersAreMatchedByIndexAndJudgedOnTheDestination) {
  ModuleProject project = ImportProject();
  ASSERT_TRUE(project.Opened());
  CModuleBase* a = project.Find("A");
  CModuleBase* c = project.Find("C");
  a->Registers()[2].value = 5;
  c->Registers()[2].value = 9;

  // Names match: no question; the destination's NOIMPORT register keeps its value...
  ASSERT_TRUE(c->ImportFrom(*a, nullptr, true));
  EXPECT_EQ(Values(c), std::vector<uint32_t>({0x11, 0x22, 9}));
  EXPECT_TRUE(project.Host().entries.empty());
  EXPECT_TRUE(c->IsModified());
  // ... while the source's flag does not keep it from another module.
  ASSERT_TRUE(a->ImportFrom(*c, nullptr, true));
  EXPECT_EQ(a->Registers()[2].value, 9u);
  // The register beyond the shorter table is never copied.
  ASSERT_TRUE(a->ImportFrom(*project.Find("B"), nullptr, false));
  EXPECT_EQ(Values(a), std::vector<uint32_t>({0x33, 0x22, 9}));

  // A selection limits the copy to its indexes.
  const std::vector<size_t> onlyRate = {1};
  a->Registers()[0].value = 0x55;
  a->Registers()[1].value = 0x66;
  ASSERT_TRUE(c->ImportFrom(*a, &onlyRate, true));
  EXPECT_EQ(Values(c), std::vector<uint32_t>({0x11, 0x66, 9}));
}

TEST(ImportTest, ADifferentNameIsAskedAboutAndCancelChangesNothing) {
  ModuleProject project = ImportProject();
  ASSERT_TRUE(project.Opened());
  CModuleBase* a = project.Find("A");
  CModuleBase* b = project.Find("B");
  CollectingHost& host = project.Host();
  host.entries.clear();

  host.answers = {Answer::Cancel};
  EXPECT_FALSE(a->ImportFrom(*b, nullptr, true));
  EXPECT_EQ(Values(a), std::vector<uint32_t>({0x11, 0x22, 0}));
  ASSERT_EQ(host.entries.size(), 1u);
  EXPECT_EQ(host.entries[0].text,
            "The register names do not match! The A_RATE_INIT register value will set to value "
            "of the B_SPEED_INIT register from the source project\n\nDo you want this to happen?");

  host.answers = {Answer::No};
  EXPECT_TRUE(a->ImportFrom(*b, nullptr, true));
  EXPECT_EQ(Values(a), std::vector<uint32_t>({0x33, 0x22, 0}));

  host.answers = {Answer::Yes};
  EXPECT_TRUE(a->ImportFrom(*b, nullptr, true));
  EXPECT_EQ(Values(a), std::vector<uint32_t>({0x33, 0x44, 0}));

  // Without asking, a differing name is left out; with nothing else chosen nothing is copied.
  const std::vector<size_t> onlySpeed = {1};
  project.Find("C")->Registers()[1].value = 0x77;
  EXPECT_FALSE(project.Find("C")->ImportFrom(*b, &onlySpeed, false));
  EXPECT_EQ(project.Find("C")->Registers()[1].value, 0x77u);
}

TEST(ImportTest, TheDialogListsAndItsOkCommand) {
  ModuleProject project = ImportProject();
  ASSERT_TRUE(project.Opened());
  ImportSettings import(project.Doc(), project.ProgramFolder());
  CollectingHost& host = project.Host();

  std::vector<std::string> sources;
  for (const auto& entry : import.Sources(*project.Find("A"))) sources.push_back(entry.text);
  EXPECT_EQ(sources, std::vector<std::string>({"B", "C"}));
  ASSERT_EQ(import.Sources(*project.Find("D")).size(), 1u);
  EXPECT_EQ(import.Sources(*project.Find("D"))[0].text, "n/a");
  EXPECT_EQ(import.Sources(*project.Find("D"))[0].module, nullptr);
  // NOIMPORT registers are not offered.
  EXPECT_EQ(ImportSettings::Registers(*project.Find("C")).size(), 2u);
  EXPECT_EQ(ImportSettings::Registers(*project.Find("A")).size(), 3u);
  EXPECT_EQ(ImportSettings::Registers(*project.Find("C"))[0].text, " C_CTRL_INIT");

  CModuleBase* a = project.Find("A");
  CModuleBase* c = project.Find("C");
  const std::vector<size_t> none;
  host.entries.clear();
  EXPECT_EQ(import.Import(c, a, &none, host), ImportSettings::Outcome::NothingSelected);
  EXPECT_EQ(host.Messages(), std::vector<std::string>({"No registers selected for importing!"}));
  EXPECT_EQ(import.Import(c, nullptr, nullptr, host), ImportSettings::Outcome::NoSource);

  host.entries.clear();
  host.answers = {Answer::No};
  EXPECT_EQ(import.Import(c, a, nullptr, host), ImportSettings::Outcome::Declined);
  EXPECT_EQ(host.Messages(), std::vector<std::string>({"Are you sure to modify the C module settings?"}));
  EXPECT_EQ(c->Registers()[0].value, 0u);

  host.answers = {Answer::Yes};
  EXPECT_EQ(import.Import(c, a, nullptr, host), ImportSettings::Outcome::Imported);
  EXPECT_EQ(c->Registers()[0].value, 0x11u);

  // Copying what is already there still counts as an import; a source whose only register
  // is refused does not.
  host.entries.clear();
  host.answers = {Answer::Yes, Answer::No};
  const std::vector<size_t> onlySpeed = {1};
  EXPECT_EQ(import.Import(c, project.Find("B"), &onlySpeed, host), ImportSettings::Outcome::NotChanged);
  EXPECT_EQ(host.entries.back().text, "The destination module was NOT changed!");
}

}  // namespace
}  // namespace tarq

// The document's page-driven steps: the self-test log and the validation of every page
// before a save.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "../framework/PageTestSupport.h"
#include "ProjectTestSupport.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace tarq {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class DocumentPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program.Write("CVX-03.cfg", "S_0 SAMPLE NONE :\nS_1 SAMPLE NONE :\n");
  }
  std::unique_ptr<CProjDoc> Open(const std::string& header, bool selfTest) {
    project.Write("ApplicationConfig/appconfig.h", header);
    DocumentEnvironment environment;
    environment.programFolder = program.Root();
    environment.readUserOptions = false;
    environment.selfTest = selfTest;
    auto doc = std::make_unique<CProjDoc>(host, environment, RegisterBuiltInModuleKinds);
    doc->GetFactory().Register("SAMPLE", [](const ArchitectureEntry& entry, CModuleBase*) {
      return std::unique_ptr<CModuleBase>(std::make_unique<pagetest::SamplePageModule>(entry));
    });
    EXPECT_TRUE(doc->OpenProject(project.Root())) << doc->GetLastError();
    return doc;
  }
  std::string LogPath() const { return project.Path("tarq_selftest.log"); }

  TempFolder program{"pages-program"};
  TempFolder project{"pages-project"};
  CollectingHost host;
};

TEST_F(DocumentPagesTest, SelfTestLogsTheFirstModuleOfEachKindAndAppendsSessions) {
  auto doc = Open("#define CVX-03\n", true);
  const std::string golden =
      ReadText(std::string(TARQ_SOURCE_DIR) + "/tests/framework/golden/sample_selftest.log");
  ASSERT_FALSE(golden.empty());

  const std::string title = "New Session Started for project " + project.Root();
  const std::string expectedStart = title + "\n" + std::string(title.size(), '-') + "\n" +
                                    "Module: SAMPLE (S_0)\n" + std::string(20, '-') + "\n" +
                                    golden + "\n\n";
  const std::string log = ReadText(LogPath());
  ASSERT_EQ(log.substr(0, expectedStart.size()), expectedStart);
  EXPECT_EQ(log.find("(S_1)"), std::string::npos);
  // The other kinds follow with their headings and the two empty lines.
  EXPECT_NE(log.find("Module: UNREC (UNREC)\n---------------------\n\n\n"), std::string::npos)
      << log;

  // Registers are back as they were, so nothing counts as modified.
  EXPECT_FALSE(doc->IsModified());
  EXPECT_TRUE(doc->RunSelfTest());
  const std::string twice = ReadText(LogPath());
  EXPECT_EQ(twice.size(), 2 * log.size());
  EXPECT_EQ(twice.substr(log.size()), log);
}

TEST_F(DocumentPagesTest, ValidationBuildsPagesAndShowsTheFirstFailingOne) {
  // S_1's mode field holds 2, which its list has no item for.
  auto doc = Open("#define CVX-03\n#define S_1_CTRL_INIT 0x0023U\n", false);
  CModuleBase* s0 = doc->FindModule("S_0", "");
  CModuleBase* s1 = doc->FindModule("S_1", "");
  ASSERT_TRUE(s0 && s1);

  CModuleBase* failed = nullptr;
  EXPECT_FALSE(doc->ValidateAllModules(false, &failed));
  EXPECT_EQ(failed, s1);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_FALSE(s0->HasPage());  // built for the check only, and gone again

  std::vector<CModuleBase*> shown;
  DocumentViews views;
  views.showModule = [&](CModuleBase* module) {
    shown.push_back(module);
    return true;
  };
  doc->SetViews(views);
  EXPECT_FALSE(doc->ValidateAllModules(true, &failed));
  EXPECT_EQ(shown, std::vector<CModuleBase*>{s1});
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"Selection is not valid"});
  ASSERT_TRUE(s1->HasPage());
  EXPECT_EQ(s1->GetPage()->GetFocusId(), static_cast<uint32_t>(pagetest::kIdModeList));

  // Once the user picks a mode the save may go on.
  s1->GetPage()->SelectItem(pagetest::kIdModeList, 1);
  EXPECT_TRUE(doc->ValidateAllModules(true, &failed));
  EXPECT_EQ(failed, nullptr);
}

}  // namespace
}  // namespace tarq

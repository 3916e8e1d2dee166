// `tarq-cli selftest` on copies of the examples reaches every register-bound control of the
// timer, PWM and CAN pages: each declared control with a register field has a binding, and
// the log of the first module of its kind holds a line for that control.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "CliTestSupport.h"
#include "framework/DeclaredModule.h"
#include "framework/Host.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace fs = std::filesystem;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;
using apptest::TempFolder;

struct Section {
  std::string kind;
  std::set<uint32_t> ids;  // ids of the controls the log has lines for
};

// The log's sections by module prefix ("Module: KIND (PREFIX)").
std::map<std::string, Section> ReadLog(const std::string& log) {
  static const std::regex kHeading(R"(^Module: (\S+) \((\S+)\)$)");
  static const std::regex kLine(R"(^[A-Z]{2}\[\s*(\d+)\];)");
  std::map<std::string, Section> sections;
  Section* current = nullptr;
  std::istringstream lines(log);
  std::string line;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, kHeading)) {
      current = &sections[match[2]];
      current->kind = match[1];
    } else if (current && std::regex_search(line, match, kLine)) {
      current->ids.insert(static_cast<uint32_t>(std::stoul(match[1])));
    }
  }
  return sections;
}

TEST(CliSelfTestCoverage, EveryBoundTimerPwmAndCanControlIsReached) {
  const std::set<std::string> kinds = {"QT", "QTALL", "PWM", "PWM_Brel", "ZCAN", "YSCAN"};
  std::map<std::string, int> examplesPerKind;
  for (const fs::path& example : apptest::ExampleProjects()) {
    TempFolder folder;
    const fs::path root = folder.path() / example.filename();
    fs::copy(example, root, fs::copy_options::recursive);
    std::string output, errors;
    ASSERT_EQ(RunCli("selftest " + root.string(), &output, &errors), 0) << errors;
    const std::map<std::string, Section> sections = ReadLog(ReadFile(root / "tarq_selftest.log"));

    // The same project opened here: the declarations say which controls are bound.
    CollectingHost host;
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    environment.readUserOptions = false;
    environment.takeLock = false;
    CProjDoc doc(host, environment, RegisterBuiltInModuleKinds);
    ASSERT_TRUE(doc.OpenProject(root.string())) << example;
    for (const auto& [prefix, section] : sections) {
      if (!kinds.count(section.kind)) continue;
      ++examplesPerKind[section.kind];
      auto* module = dynamic_cast<CDeclaredModule*>(doc.FindModule(prefix, ""));
      ASSERT_NE(module, nullptr) << example << " " << prefix;
      ASSERT_TRUE(module->CreatePage()) << prefix;
      module->RunDeferredPageWork();
      int bound = 0;
      for (const DeclaredControl* control : module->Declaration().Controls()) {
        if (control->decl.field.reg.empty()) continue;
        EXPECT_NE(control->binding, nullptr) << example.filename() << " " << prefix << " "
                                             << control->decl.caption;
        EXPECT_TRUE(section.ids.count(control->id)) << example.filename() << " " << prefix << " "
                                                    << control->decl.caption << " #" << control->id;
        ++bound;
      }
      // A channel page without bound controls would pass the loop above without a test.
      if (section.kind != "QTALL") {
        EXPECT_GT(bound, 5) << example.filename() << " " << prefix;
      }
    }
  }
  // Every kind on the examples, and the timers and PWM on at least two chip groups.
  for (const std::string& kind : kinds) {
    EXPECT_GE(examplesPerKind[kind], 1) << kind;
  }
  EXPECT_GE(examplesPerKind["QT"], 2);
  EXPECT_GE(examplesPerKind["PWM"], 2);
}

}  // namespace
}  // namespace tarq

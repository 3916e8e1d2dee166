// tarq-cli's page commands on the example projects, run as scripts run them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;

class ProjectCopy {
 public:
  explicit ProjectCopy(const fs::path& example) {
    root_ = fs::temp_directory_path() /
            ("tarq-clipages-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(root_);
    fs::copy(example, root_, fs::copy_options::recursive);
  }
  ~ProjectCopy() { fs::remove_all(root_); }
  const fs::path& root() const { return root_; }
  fs::path header() const { return root_ / "ApplicationConfig" / "appconfig.h"; }

 private:
  static inline int counter_ = 0;
  fs::path root_;
};

std::vector<fs::path> Examples() {
  std::vector<fs::path> projects;
  for (const auto& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "examples"))
    projects.push_back(entry.path());
  std::sort(projects.begin(), projects.end());
  return projects;
}

json Show(const fs::path& project, const std::string& prefixes = {}) {
  std::string output, errors;
  EXPECT_EQ(RunCli("show --json " + project.string() + " " + prefixes, &output, &errors), 0)
      << errors;
  return json::parse(output, nullptr, false);
}

std::string RegisterValue(const json& module, const std::string& define) {
  for (const json& reg : module["registers"])
    if (reg["define"] == define) return reg["value"];
  return {};
}

TEST(CliShow, EveryExampleListsItsPagesWithTheDocumentedKeys) {
  const std::set<std::string> kinds{"label", "group", "check", "radio", "list", "combo",
                                    "edit",  "display", "link", "listbox", "spin", "bar", "diagram"};
  for (const fs::path& example : Examples()) {
    SCOPED_TRACE(example.string());
    ProjectCopy copy(example);
    const json shown = Show(copy.root());
    ASSERT_FALSE(shown.is_discarded());
    EXPECT_FALSE(shown["part"].get<std::string>().empty());
    ASSERT_FALSE(shown["modules"].empty());
    for (const json& module : shown["modules"]) {
      for (const char* key : {"prefix", "class", "display", "selected", "controls", "registers"})
        EXPECT_TRUE(module.contains(key)) << key;
      for (const json& control : module["controls"]) {
        EXPECT_TRUE(kinds.count(control["kind"].get<std::string>())) << control.dump();
        for (const char* key : {"id", "label", "text", "enabled", "visible", "warning"})
          EXPECT_TRUE(control.contains(key)) << key;
      }
    }
    EXPECT_TRUE(shown["warnings"].is_array());
  }
}

// The JSON of `show` is a contract that scripts rely on. After an intended change of the
// clock or system pages, regenerate the golden file with
//   tarq-cli show --json <copy of examples/tebo> OCCS SYS > tests/app/golden/tebo_show_occs_sys.json
TEST(CliShow, JsonOfTheTeboClockAndSystemPagesMatchesTheGoldenFile) {
  ProjectCopy copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "tebo");
  const json shown = Show(copy.root(), "OCCS SYS");
  const json golden = json::parse(
      ReadFile(fs::path(TARQ_SOURCE_DIR) / "tests" / "app" / "golden" / "tebo_show_occs_sys.json"),
      nullptr, false);
  ASSERT_FALSE(golden.is_discarded());
  ASSERT_EQ(shown["modules"].size(), golden["modules"].size());
  for (size_t m = 0; m < golden["modules"].size(); ++m) {
    const json& want = golden["modules"][m];
    const json& got = shown["modules"][m];
    SCOPED_TRACE(want["prefix"].get<std::string>());
    ASSERT_EQ(got["controls"].size(), want["controls"].size());
    for (size_t c = 0; c < want["controls"].size(); ++c)
      EXPECT_EQ(got["controls"][c], want["controls"][c]) << "control " << c;
    EXPECT_EQ(got["registers"], want["registers"]);
  }
  EXPECT_EQ(shown["warnings"], golden["warnings"]);
}

TEST(CliSelfTest, WritesTheLogInTheProjectRoot) {
  ProjectCopy copy(Examples().front());
  std::string output, errors;
  ASSERT_EQ(RunCli("selftest " + copy.root().string(), &output, &errors), 0) << errors;
  const std::string log = ReadFile(copy.root() / "tarq_selftest.log");
  EXPECT_EQ(log.rfind("New Session Started for project ", 0), 0u) << log.substr(0, 200);
  EXPECT_NE(log.find("Module: "), std::string::npos);
  EXPECT_EQ(RunCli("selftest /nonexistent/project", &output), 2);
}

// Finds, on any page, the first enabled and visible control of a kind with a caption.
bool FindControl(const json& shown, const std::string& kind, std::string& prefix, json& found) {
  for (const json& module : shown["modules"]) {
    for (const json& control : module["controls"]) {
      if (control["kind"] == kind && control["enabled"] == true && control["visible"] == true &&
          control["id"].get<int>() != 0) {
        prefix = module["prefix"];
        found = control;
        return true;
      }
    }
  }
  return false;
}

TEST(CliSet, ARefusedEntryLeavesRegistersAndHeaderUntouched) {
  ProjectCopy copy(Examples().front());
  const json before = Show(copy.root());
  std::string prefix;
  json edit;
  if (!FindControl(before, "edit", prefix, edit)) GTEST_SKIP() << "no edit box on any page yet";
  const std::string header = ReadFile(copy.header());
  std::string output, errors;
  const std::string id = "#" + std::to_string(edit["id"].get<int>());
  EXPECT_EQ(RunCli("set --save " + copy.root().string() + " " + prefix + " '" + id + "=not a number'",
                   &output, &errors),
            1);
  EXPECT_FALSE(errors.empty());
  EXPECT_EQ(ReadFile(copy.header()), header);
  EXPECT_EQ(Show(copy.root(), prefix)["modules"][0]["registers"],
            [&] {
              for (const json& module : before["modules"])
                if (module["prefix"] == prefix) return module["registers"];
              return json();
            }());
}

TEST(CliSet, ACheckBoxClickChangesOneRegisterAndIsSaved) {
  ProjectCopy copy(Examples().front());
  const json before = Show(copy.root());
  std::string prefix;
  json box;
  if (!FindControl(before, "check", prefix, box)) GTEST_SKIP() << "no check box on any page yet";
  const std::string id = "#" + std::to_string(box["id"].get<int>());
  const std::string value = box["checked"].get<bool>() ? "off" : "on";
  std::string output, errors;
  ASSERT_EQ(RunCli("set --save " + copy.root().string() + " " + prefix + " '" + id + "=" + value + "'",
                   &output, &errors),
            0)
      << errors;
  const json after = Show(copy.root(), prefix);
  json oldModule;
  for (const json& module : before["modules"])
    if (module["prefix"] == prefix) oldModule = module;
  int changed = 0;
  for (const json& reg : after["modules"][0]["registers"])
    if (RegisterValue(oldModule, reg["define"]) != reg["value"]) ++changed;
  EXPECT_GE(changed, 1);
  bool nowChecked = false;
  for (const json& control : after["modules"][0]["controls"])
    if (control["id"] == box["id"]) nowChecked = control["checked"];
  EXPECT_EQ(nowChecked, value == "on");
}

TEST(CliFollow, ALinkToAModuleOfTheProjectSucceedsAndOtherwiseFails) {
  ProjectCopy copy(Examples().front());
  const json shown = Show(copy.root());
  const std::string prefix = shown["modules"][0]["prefix"];
  const std::string kind = shown["modules"][0]["class"];
  std::string output;
  EXPECT_EQ(RunCli("follow " + copy.root().string() + " 'tarqna:" + prefix + "/" + kind + "'", &output), 0)
      << output;
  EXPECT_EQ(RunCli("follow " + copy.root().string() + " 'tarq:NOSUCH/MODULE'", &output), 1);
  EXPECT_EQ(RunCli("follow " + copy.root().string() + " 'http://example.invalid'", &output), 1);
}

// A link's control is an id (a row's control: child page id x 65536 + id) or the exact
// caption, escaped as the warnings write it. One the page lacks fails before anything is
// followed: an action in the same link does not run and --save writes nothing.
TEST(CliFollow, ALinkToAControlThePageLacksFailsNamingModuleAndControl) {
  ProjectCopy copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "fenn");
  const std::string root = copy.root().string();
  std::string output, errors;
  for (const char* link : {"tarq:SCI_0/SCI/1003", "tarq:SCI_0//1003?tiptext=Set%20this",
                           "tarq:SYS/SYS_V2_Classic/TMR%20A",
                           "tarq:GPIO_C/GPIO/3909091428" /* 0xE900 << 16 | 100 */})
    EXPECT_EQ(RunCli("follow " + root + " '" + std::string(link) + "'", &output, &errors), 0)
        << link << ": " << errors;

  const std::string header = ReadFile(copy.header());
  struct Broken {
    const char* link;
    const char* message;
  };
  for (const Broken& broken : {
           Broken{"tarq:SCI_0/SCI/NOSUCHCONTROL",
                  "tarq-cli: The page of module SCI_0 has no control \"NOSUCHCONTROL\"\n"},
           Broken{"tarq:SCI_0/SCI/9999", "tarq-cli: The page of module SCI_0 has no control \"9999\"\n"},
           Broken{"tarq:SYS/SYS_V2_Classic/TMR%20Z?tiptext=x",
                  "tarq-cli: The page of module SYS has no control \"TMR Z\"\n"},
           Broken{"tarqna:SCI_1/SCI/77?FIXPINS",
                  "tarq-cli: The page of module SCI_1 has no control \"77\"\n"},
           // The class left out: the control stands where the class belongs.
           Broken{"tarq:OCCS/NOSUCHCONTROL",
                  "tarq-cli: module OCCS is of class OCCS, not NOSUCHCONTROL (a link names the "
                  "class before the control: tarq:OCCS/OCCS/NOSUCHCONTROL)\n"},
       }) {
    EXPECT_EQ(RunCli("follow --save " + root + " '" + broken.link + "'", &output, &errors), 1)
        << broken.link;
    const size_t message = errors.find("tarq-cli:");
    EXPECT_EQ(message == std::string::npos ? errors : errors.substr(message), broken.message)
        << broken.link;
  }
  EXPECT_EQ(ReadFile(copy.header()), header);
}

// The Brel example leaves the system module's fault and timer inputs without pins: check
// names them with links to the ports and to the FIXPINS action. Every candidate pin carries
// another peripheral (A4/A5 PWM4/5, B4 RXD, B0..B3 the SPI), so following the action moves nothing and says
// so; once A4 and A5 are GPIOs, it places FAULT1 and FAULT2 there and still cannot place T0.
TEST(CliPins, CheckReportsUnroutedSignalsAndFixPinsNeverTakesRoutedPins) {
  ProjectCopy copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "brel");
  std::string output;
  EXPECT_EQ(RunCli("check --json " + copy.root().string(), &output, nullptr), 1);
  const json checked = json::parse(output.substr(0, output.rfind('}') + 1), nullptr, false);
  ASSERT_FALSE(checked.is_discarded()) << output;
  json pinWarning;
  for (const json& warning : checked["warnings"])
    if (warning["module"] == "SYS" && warning["id"] == 1990) pinWarning = warning;
  ASSERT_FALSE(pinWarning.is_null()) << output;
  EXPECT_EQ(pinWarning["text"],
            "Three module pins (out of three) are not available on any device pin. See GPIO_A and GPIO_B");
  EXPECT_EQ(pinWarning["links"], json::array({"tarq:GPIO_A/GPIO", "tarq:GPIO_B/GPIO",
                                              "tarqna:SYS/SYS_Brel?FIXPINS"}));

  const std::string before = ReadFile(copy.header());
  std::string errors;
  EXPECT_EQ(RunCli("follow " + copy.root().string() + " 'tarqna:SYS/SYS_Brel?FIXPINS' --save",
                   &output, &errors),
            0)
      << errors;
  EXPECT_NE(errors.find("No pin in GPIO mode is left for: FAULT1, FAULT2, T0."), std::string::npos)
      << errors;
  std::string header = ReadFile(copy.header());
  for (const char* line : {"#define SIM_GPSA_INIT                     0x0001U",
                           "#define GPIO_A_PER_INIT                   0x003FU",
                           "#define GPIO_B_PER_INIT                   0x001FU",
                           "    Pin  4: Function: PWM4, PullUp: Enable"})
    EXPECT_NE(header.find(line), std::string::npos) << line << header;
  EXPECT_EQ(header.find("FAULT1, PullUp"), std::string::npos);

  // A4 and A5 made GPIOs: FAULT1 and FAULT2 go there, T0 stays missing.
  const size_t per = header.find("#define GPIO_A_PER_INIT                   0x003FU");
  header.replace(per, std::string("#define GPIO_A_PER_INIT                   0x003FU").size(),
                 "#define GPIO_A_PER_INIT                   0x000FU");
  std::ofstream(copy.header(), std::ios::binary | std::ios::trunc) << header;
  EXPECT_EQ(RunCli("follow " + copy.root().string() + " 'tarqna:SYS/SYS_Brel?FIXPINS' --save",
                   &output, &errors),
            0)
      << errors;
  EXPECT_NE(errors.find("Signals assigned to pins: FAULT1 on GPIO_A4, FAULT2 on GPIO_A5."),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("No pin in GPIO mode is left for: T0."), std::string::npos) << errors;
  header = ReadFile(copy.header());
  EXPECT_NE(header.find("#define GPIO_A_PER_INIT                   0x003FU"), std::string::npos);
  EXPECT_NE(header.find("    Pin  4: Function: FAULT1, PullUp: Enable"), std::string::npos);
  EXPECT_NE(header.find("#define GPIO_B_PER_INIT                   0x001FU"), std::string::npos);
  EXPECT_EQ(RunCli("check " + copy.root().string(), &output, nullptr), 1) << output;
  EXPECT_NE(output.find("One module signal (out of three) is not available"), std::string::npos)
      << output;
}

// A timer counting its input pin needs that pin in peripheral mode. Pin C0 of the classic
// example carries PHASEA0, owned by QT_A0: channel 1 of the same group may count it. Once the
// pin is a GPIO, check names the timer and links to the pin's row, and the link leads there.
TEST(CliTimers, PinModeCheckNamesThePinAndLinksToItsRow) {
  ProjectCopy copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "classic");
  const std::string root = copy.root().string();
  std::string output, errors;
  ASSERT_EQ(RunCli("set --save " + root +
                       " QT_A1 'Count mode=Counting mode, count rising edges of primary source'",
                   &output, &errors),
            0)
      << errors;
  EXPECT_EQ(RunCli("check --json " + root, &output, nullptr), 0) << output;

  ASSERT_EQ(RunCli("set --save " + root + " GPIO_C '#59648/102=GPIO'", &output, &errors), 0)
      << errors;
  EXPECT_EQ(RunCli("check --json " + root, &output, nullptr), 1);
  const json checked = json::parse(output.substr(0, output.rfind('}') + 1), nullptr, false);
  ASSERT_FALSE(checked.is_discarded()) << output;
  json timer;
  for (const json& warning : checked["warnings"])
    if (warning["module"] == "QT_A1") timer = warning;
  ASSERT_FALSE(timer.is_null()) << output;
  EXPECT_EQ(timer["text"], "Timer Pin #0 is not set to Timer mode in GPIO_C0");
  // The row of pin 0 is child page 0xE900; its group box is control 100.
  const std::string rowLink = "tarq:GPIO_C/GPIO/" + std::to_string((0xE900u << 16) | 100u);
  EXPECT_EQ(timer["links"], json::array({rowLink}));
  EXPECT_EQ(RunCli("follow " + root + " '" + rowLink + "'", &output, &errors), 0) << errors;
}

}  // namespace
}  // namespace tarq

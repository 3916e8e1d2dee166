// Honest results: what tarq-cli prints and returns is what the project holds, on copies of
// the example projects.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::TempFolder;

class Copy {
 public:
  explicit Copy(const std::string& name) {
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / name, folder_.path() / name,
             fs::copy_options::recursive);
    root_ = folder_.path() / name;
  }
  std::string Root() const { return "'" + root_.string() + "'"; }
  fs::path Header() const { return root_ / "ApplicationConfig" / "appconfig.h"; }
  std::string Text() const { return ReadFile(Header()); }
  void SetText(const std::string& text) const {
    std::ofstream(Header(), std::ios::binary | std::ios::trunc) << text;
  }
  void Replace(const std::string& from, const std::string& to) const {
    std::string text = Text();
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    SetText(text);
  }

 private:
  TempFolder folder_;
  fs::path root_;
};

json Parse(const std::string& text) { return json::parse(text, nullptr, false); }

// tarq-cli with stdout and stderr kept apart.
int Cli(const std::string& arguments, std::string* out = nullptr, std::string* err = nullptr,
        const std::string& shellPrefix = {}) {
  std::string ignoredOut, ignoredErr;
  return apptest::RunCli(arguments, out ? out : &ignoredOut, err ? err : &ignoredErr, shellPrefix);
}

// ---- 6: bytes that are not UTF-8 ----

TEST(CliResults, JsonOfValuesThatAreNotUtf8IsPrintedNotAborted) {
  Copy project("fenn");
  project.Replace("#define APPCFG_PACKAGE",
                  "#define USER_NAME \"caf\xe9\" /* r\xe9sum\xe9 */\n"
                  "#define APPCFG_PACKAGE");
  const std::string before = project.Text();
  for (const char* command : {"info --json", "show --json", "check --json"}) {
    std::string out, err;
    const int code = Cli(std::string(command) + " " + project.Root() +
                             (std::string(command) == "show --json" ? " UNREC" : ""),
                         &out, &err);
    EXPECT_TRUE(code == 0 || code == 1) << command << " " << code << err;
    EXPECT_FALSE(Parse(out).is_discarded()) << command << out;
  }
  std::string out;
  ASSERT_EQ(Cli("show --json " + project.Root() + " UNREC", &out), 0);
  EXPECT_NE(out.find("caf\xef\xbf\xbd"), std::string::npos);  // U+FFFD in place of the byte
  EXPECT_EQ(Cli("reprocess " + project.Root()), 0);
  EXPECT_NE(project.Text().find("\"caf\xe9\""), std::string::npos);  // the header keeps it
}

// ---- 7, 8: typed numbers ----

TEST(CliResults, TypedFrequenciesBecomeExactHertzAndInvalidOnesAreRefused) {
  Copy project("classic");
  std::string out, err;
  EXPECT_EQ(Cli("set --save " + project.Root() + " OCCS 'Crystal oscillator frequency=18.432'",
                &out, &err),
            0)
      << err;
  EXPECT_NE(project.Text().find("#define APPCFG_EXTCLK 18432000L\n"), std::string::npos);
  EXPECT_EQ(Cli("set --save " + project.Root() + " OCCS 'Crystal oscillator frequency=7.3728'",
                &out, &err),
            0);
  EXPECT_NE(project.Text().find("#define APPCFG_EXTCLK 7372800L\n"), std::string::npos);

  const std::string before = project.Text();
  for (const char* text : {"-1", "8,5", "", "nan", "8e6", "4294.9673"}) {
    EXPECT_EQ(
        Cli("set --save " + project.Root() + " OCCS 'Crystal oscillator frequency=" + text + "'",
            &out, &err),
        1)
        << text;
    EXPECT_NE(err.find("is not a frequency"), std::string::npos) << text << err;
    EXPECT_EQ(project.Text(), before) << text;
  }
}

TEST(CliResults, ThirtyTwoBitDecimalValuesAreWrittenUnsigned) {
  Copy project("fenn");
  std::string out, err;
  ASSERT_EQ(Cli("set --save " + project.Root() +
                    " OCCS 'Use Factory Trim Value=on' 'Re-trim Relaxation Oscillator=3000000000'",
                &out, &err),
            0)
      << err;
  EXPECT_NE(project.Text().find("#define OCCS_RXOSC_RETRIM_CLK             3000000000\n"),
            std::string::npos);
  EXPECT_EQ(Cli("reprocess " + project.Root(), &out, &err), 0);
  EXPECT_EQ(err.find("Invalid values"), std::string::npos) << err;
  EXPECT_NE(project.Text().find("#define OCCS_RXOSC_RETRIM_CLK             3000000000\n"),
            std::string::npos);
}

// ---- 10: set prints the warnings after the change ----

TEST(CliResults, SetPrintsTheWarningsOfTheChangedProjectAsCheckDoes) {
  Copy project("classic");
  std::string before;
  EXPECT_EQ(Cli("check --json " + project.Root(), &before, nullptr), 0) << before;
  EXPECT_TRUE(Parse(before)["warnings"].empty());
  // A faster crystal drives the system clock beyond its limit.
  for (const std::string format : {"", " --json"}) {
    Copy copy("classic");
    std::string printed, err;
    ASSERT_EQ(Cli("set --save" + format + " " + copy.Root() +
                      " OCCS 'Crystal oscillator frequency=18.432'",
                  &printed, &err),
              0)
        << err;
    std::string checked;
    EXPECT_EQ(Cli("check" + format + " " + copy.Root(), &checked, nullptr), 1);
    EXPECT_EQ(printed, checked);
    EXPECT_NE(printed.find("exceeds the maximum"), std::string::npos) << printed;
  }
  // And back: the removed warnings are not printed.
  std::string printed, err;
  ASSERT_EQ(Cli("set --save " + project.Root() + " OCCS 'Crystal oscillator frequency=18.432'",
                &printed, &err),
            0);
  ASSERT_EQ(Cli("set --save " + project.Root() + " OCCS 'Crystal oscillator frequency=8'", &printed,
                &err),
            0);
  EXPECT_EQ(printed, "");
}

// ---- 11: a failed reprocess says why ----

TEST(CliResults, AFailedReprocessAlwaysSaysWhy) {
  Copy project("classic");
  std::string out, err;
  // A write-protected header: the batch answer keeps the protection.
  fs::permissions(project.Header(), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_EQ(Cli("reprocess " + project.Root(), &out, &err), 1);
  fs::permissions(project.Header(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_NE(err.find("tarq-cli: saving " + project.Header().string() + " failed: the file '" +
                     project.Header().string() + "' is write-protected"),
            std::string::npos)
      << err;

  // A value its page refuses: the module and the control are named.
  project.Replace("#define INT_VECTOR_ADDR_48                SpeedLoopIsr",
                  "#define INT_VECTOR_ADDR_48                Speed-Loop");
  EXPECT_EQ(Cli("reprocess " + project.Root(), &out, &err), 1);
  EXPECT_NE(err.find("failed: the selection of module ITCN - INTC is not valid: control \"48. "
                     "Timer A Channel 0 ISR name\": 'Speed-Loop' is not a valid interrupt "
                     "routine name"),
            std::string::npos)
      << err;
}

// ---- 12: values that do not read ----

TEST(CliResults, CheckReportsRegisterValuesThatDoNotRead) {
  Copy project("fenn");
  const std::string text = project.Text();
  const size_t at = text.find("#define OCCS_PLLDB_INIT");
  ASSERT_NE(at, std::string::npos);
  const size_t value = text.find("0x", at);
  std::string changed = text;
  changed.replace(value, text.find('\n', value) - value, "PLL_SETTING");
  project.SetText(changed);
  std::string out;
  EXPECT_EQ(Cli("check " + project.Root(), &out, nullptr), 1);
  EXPECT_NE(out.find("OCCS: Invalid values found (ignoring): #define OCCS_PLLDB_INIT PLL_SETTING"),
            std::string::npos)
      << out;
  EXPECT_EQ(Cli("check --json " + project.Root(), &out, nullptr), 1);
  const json checked = Parse(out);
  ASSERT_FALSE(checked.is_discarded());
  bool found = false;
  for (const json& warning : checked["warnings"])
    found = found || (warning["module"] == "OCCS" &&
                      warning["text"].get<std::string>().find("PLL_SETTING") != std::string::npos);
  EXPECT_TRUE(found) << out;
}

// ---- 13: the command line ----

TEST(CliResults, SelfTestSwitchesVersionHelpAndMistypedCommands) {
  Copy project("fenn");
  const fs::path log = project.Header().parent_path().parent_path() / "tarq_selftest.log";
  for (const std::string form : {"-selftest", "/selftest", "--SelfTest"}) {
    fs::remove(log);
    std::string out, err;
    EXPECT_EQ(Cli(form + " " + project.Root(), &out, &err), 0) << form << err;
    EXPECT_TRUE(fs::exists(log)) << form;
    EXPECT_EQ(out.find("Part:"), std::string::npos) << form;  // not info
  }
  std::string out, err;
  EXPECT_EQ(Cli("chekc " + project.Root(), &out, &err), 2);
  EXPECT_NE(err.find("unknown command 'chekc'"), std::string::npos) << err;
  EXPECT_NE(err.find("check"), std::string::npos);
  EXPECT_EQ(err.find("File not found"), std::string::npos);

  EXPECT_EQ(Cli("--version", &out, &err), 0);
  EXPECT_EQ(out.rfind("tarq-cli ", 0), 0u) << out;
  EXPECT_EQ(Cli("help", &out, &err), 0);
  EXPECT_NE(out.find("reprocess"), std::string::npos);
  for (const char* command :
       {"parts", "info", "check", "reprocess", "selftest", "show", "set", "follow"}) {
    EXPECT_EQ(Cli(std::string(command) + " --help", &out, &err), 0) << command;
    EXPECT_NE(out.find(command), std::string::npos) << command;
  }
}

// ---- 14: read-only commands and the lock ----

TEST(CliResults, ReadOnlyCommandsWorkWhileTheDesktopProgramHoldsTheLock) {
  Copy project("fenn");
  // The desktop program holds the lock file open with an advisory lock; its pid is ours,
  // which has a "window" as far as tarq-cli can tell only through the lock.
  const fs::path lockPath = project.Header().parent_path() / "appconfig.lck";
  std::string out, err;
  const std::string lockAndRun = "exec 9>'" + lockPath.string() + "'; flock -x 9; echo 1 >&9; ";
  for (const char* command : {"info", "check", "show", "selftest"}) {
    const int code = Cli(std::string(command) + " " + project.Root(), &out, &err, lockAndRun);
    EXPECT_TRUE(code == 0 || code == 1) << command << err;
    EXPECT_EQ(err.find("already open"), std::string::npos) << command << err;
  }
}

// ---- 15: set reaches every control show prints ----

TEST(CliResults, SetReachesChildPageControlsAndRefusesAmbiguousNames) {
  Copy project("classic");
  std::string out, err;
  // An interrupt panel row by its caption, and the same row as GROUP/CONTROL.
  EXPECT_EQ(Cli("set --save " + project.Root() +
                    " ITCN '48. Timer A Channel 0 ISR name=SpeedIsr2'"
                    " '48. Timer A Channel 0/priority=Level 3'",
                &out, &err),
            0)
      << err;
  EXPECT_NE(project.Text().find("#define INT_VECTOR_ADDR_48                SpeedIsr2\n"),
            std::string::npos);
  // By the documented #page/control id: the show output gives both.
  std::string shown;
  ASSERT_EQ(Cli("show --json " + project.Root() + " ITCN", &shown), 0);
  const json page = Parse(shown);
  ASSERT_FALSE(page.is_discarded());
  int childId = -1;
  for (const json& control : page["modules"][0]["controls"])
    if (control.contains("children"))
      for (const json& child : control["children"])
        for (const json& inner : child["controls"])
          if (inner["label"] == "48. Timer A Channel 0 ISR name") childId = child["id"];
  ASSERT_GE(childId, 0);
  EXPECT_EQ(
      Cli("set --save " + project.Root() + " ITCN '#" + std::to_string(childId) + "/3=SpeedIsr3'",
          &out, &err),
      0)
      << err;
  EXPECT_NE(project.Text().find("#define INT_VECTOR_ADDR_48                SpeedIsr3\n"),
            std::string::npos);

  // A name several controls carry is refused, never the first match.
  const std::string before = project.Text();
  Copy brel("brel");
  EXPECT_EQ(Cli("set --save " + brel.Root() + " GPIO_A 'Direction=Output'", &out, &err), 1);
  EXPECT_NE(err.find("'Direction' names 8 controls"), std::string::npos) << err;
  EXPECT_EQ(Cli("set --save " + brel.Root() + " GPIO_A 'No such control=1'", &out, &err), 1);
  EXPECT_NE(err.find("no control 'No such control'"), std::string::npos) << err;
  // A pin row by its caption.
  EXPECT_EQ(Cli("set --save " + brel.Root() + " GPIO_A 'Pin  6: Function=GPIO'", &out, &err), 0)
      << err;
}

// ---- 21: clocks in hertz ----

TEST(CliResults, InfoJsonGivesTheClocksInHertzToo) {
  Copy project("classic");
  std::string out;
  ASSERT_EQ(Cli("info --json " + project.Root(), &out, nullptr), 0);
  const json info = Parse(out);
  ASSERT_FALSE(info.is_discarded()) << out;
  EXPECT_TRUE(info["system_clock"].is_string());
  EXPECT_TRUE(info["bus_clock"].is_string());
  ASSERT_TRUE(info["system_clock_hz"].is_number_integer()) << out;
  ASSERT_TRUE(info["bus_clock_hz"].is_number_integer());
  const double systemMHz = std::stod(info["system_clock"].get<std::string>());
  EXPECT_NEAR(info["system_clock_hz"].get<double>(), systemMHz * 1e6, 1000.0);
}

}  // namespace
}  // namespace tarq

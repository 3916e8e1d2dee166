// The timers' and the PWM's cross-module checks end to end through tarq-cli on copies of the
// examples: the system module's high-speed clock choices, the routing of a timer input to the
// PWM reload signal, and the PWM page's links to the system module and its vectors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;
using apptest::ShownModule;

using apptest::ExampleCopy;


// The text of the control after the caption (display, edit or link).
std::string After(const json& module, const std::string& caption) {
  bool next = false;
  for (const json& control : module["controls"]) {
    if (next && control["kind"] != "spin") return control["text"];
    if (control["text"] == caption) next = true;
  }
  return "(none)";
}

// The warnings of `check --json` as module -> texts, and the exit code.
std::multimap<std::string, std::string> Check(const std::string& root, int* exitCode) {
  std::string output;
  *exitCode = RunCli("check --json " + root, &output, nullptr);
  std::multimap<std::string, std::string> warnings;
  const json checked = json::parse(output.substr(0, output.rfind('}') + 1), nullptr, false);
  EXPECT_FALSE(checked.is_discarded()) << output;
  if (checked.is_discarded()) return warnings;
  for (const json& warning : checked["warnings"]) warnings.emplace(warning["module"], warning["text"]);
  return warnings;
}

bool Has(const std::multimap<std::string, std::string>& warnings, const std::string& module,
         const std::string& text) {
  auto [first, last] = warnings.equal_range(module);
  for (auto it = first; it != last; ++it)
    if (it->second == text) return true;
  return false;
}

TEST(TimerChecksCli, HighSpeedClockChoicesReachTheTimerAndThePwmAndAreChecked) {
  // The Tebo example: 32 MHz bus, 96 MHz high-speed clock.
  ExampleCopy copy("tebo");
  int exitCode = -1;
  EXPECT_TRUE(Check(copy.root(), &exitCode).empty());
  EXPECT_EQ(exitCode, 0);
  std::string output, errors;
  ASSERT_EQ(RunCli("set --save " + copy.root() +
                       " QT_A0 'Count mode=Counting mode, count rising edges of primary source'"
                       " 'Primary source=Prescaler (IPB clock/ 1)'",
                   &output, &errors),
            0)
      << errors;
  EXPECT_EQ(After(ShownModule(copy.root(), "QT_A0"), "Frequency:"), "32 MHz");
  EXPECT_EQ(After(ShownModule(copy.root(), "PWM"), "Clock Period:"), "0.03125 us");

  // The PWM on the high-speed clock while timer channel 3 counts its reload pulses: the
  // timer would run slower than the PWM.
  ASSERT_EQ(RunCli("set --save " + copy.root() +
                       " SYS 'Timer channel 3 input sourced from PWM reload_sync signal=1'"
                       " 'PWM clock sourced from HS_PERF (3x System Clock)=1'",
                   &output, &errors),
            0)
      << errors;
  std::multimap<std::string, std::string> warnings = Check(copy.root(), &exitCode);
  EXPECT_EQ(exitCode, 1);
  EXPECT_TRUE(Has(warnings, "SYS",
                  "When PWM reload pulse is routed to Timer, the Timer must run at the same or "
                  "higher clock"));
  // 1 / 96 MHz = 0.0104167 us; modulus and alignment unchanged: 100 us / 3 = 33.33 us.
  const json pwm = ShownModule(copy.root(), "PWM");
  EXPECT_EQ(After(pwm, "Clock Period:"), "0.01042 us");
  EXPECT_EQ(After(pwm, "Frequency:"), "30 kHz");

  // The timers on the high-speed clock as well: no warning, channel 0 counts 96 MHz.
  ASSERT_EQ(RunCli("set --save " + copy.root() +
                       " SYS 'Timer clock sourced from HS_PERF (3x System Clock)=1'",
                   &output, &errors),
            0)
      << errors;
  warnings = Check(copy.root(), &exitCode);
  EXPECT_EQ(exitCode, 0) << warnings.size();
  EXPECT_EQ(After(ShownModule(copy.root(), "QT_A0"), "Frequency:"), "96 MHz");
}

TEST(TimerChecksCli, TimerInputRoutedToThePwmNeedsNoPin) {
  // Casp: input 3 of timer A is pin A7 or B3, or the PWM reload signal when the system
  // module routes it there.
  ExampleCopy copy("casp");
  std::string output, errors;
  ASSERT_EQ(RunCli("set --save " + copy.root() +
                       " QT_A3 'Count mode=Counting mode, count rising edges of primary source'"
                       " 'Primary source=Counter #3 input pin'",
                   &output, &errors),
            0)
      << errors;
  int exitCode = -1;
  std::multimap<std::string, std::string> warnings = Check(copy.root(), &exitCode);
  EXPECT_EQ(exitCode, 1);
  EXPECT_TRUE(Has(warnings, "QT_A3", "Timer Pin #3 is not set to Timer mode in GPIO_A7 or GPIO_B3"))
      << output;

  ASSERT_EQ(RunCli("set --save " + copy.root() + " SYS 'Timer A3 Input:=PWM reload sync. signal'",
                   &output, &errors),
            0)
      << errors;
  warnings = Check(copy.root(), &exitCode);
  EXPECT_EQ(warnings.count("QT_A3"), 0u);
  // The note names the PWM with a link to its page.
  const std::string note = After(ShownModule(copy.root(), "QT_A3"), "Counter #3 input pin");
  EXPECT_EQ(note.rfind("(routed to <", 0), 0u) << note;
  EXPECT_NE(note.find(">PWM</"), std::string::npos) << note;
  EXPECT_NE(note.find(" sync)"), std::string::npos) << note;
}

TEST(TimerChecksCli, PwmFilterClocksLinkToTheSystemModuleAndItsVectorsAreItsOwn) {
  ExampleCopy copy("casp");
  const json pwm = ShownModule(copy.root(), "PWM");
  std::vector<std::string> units;
  std::string isrName;
  for (const json& control : pwm["controls"]) {
    const std::string text = control["text"];
    if (text.find("clks") != std::string::npos && control["kind"] == "link") units.push_back(text);
  }
  // One unit per fault filter, each a link to the system module's high-speed box.
  ASSERT_EQ(units.size(), 4u);
  const std::string href = units.front().substr(units.front().find('"') + 1);
  const std::string target = href.substr(0, href.find('"'));
  for (const std::string& unit : units) EXPECT_EQ(unit, units.front());
  // tarq:SYS/<class>/<the box's caption, blanks as %20>: a box the system page has.
  ASSERT_EQ(target.rfind("tarq:SYS/", 0), 0u) << target;
  std::string caption = target.substr(target.rfind('/') + 1);
  for (size_t at = caption.find("%20"); at != std::string::npos; at = caption.find("%20"))
    caption.replace(at, 3, " ");
  EXPECT_EQ(caption, "PWM clock sourced from HS_PERF (3x System Clock)");
  bool found = false;
  const json system = ShownModule(copy.root(), "SYS");
  for (const json& control : system["controls"])
    found = found || (control["kind"] == "check" && control["text"] == caption);
  EXPECT_TRUE(found) << caption;
  std::string output, errors;

  // The reload and fault vectors (54 and 55) have their panels on the PWM page; a name typed
  // there is the interrupt controller's and is saved with it.
  ASSERT_EQ(RunCli("set --save " + copy.root() + " PWM '54. Reload PWM ISR name:=PwmReloadIsr'", &output,
                   &errors),
            0)
      << errors;
  EXPECT_NE(copy.header().find("#define INT_VECTOR_ADDR_54                PwmReloadIsr"), std::string::npos);
}

}  // namespace
}  // namespace tarq

// The watchdog, power management, delay block and interval timer through tarq-cli on copies
// of the examples: shown values, a setting changed and saved, a second save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;
using apptest::ShownModule;
using apptest::DisplayAfter;

using apptest::ExampleCopy;



TEST(PowerTimersCli, TheBrelWatchdogShowsItsTimeoutAndSavesANewPrescaler) {
  ExampleCopy copy("brel");
  // Relaxation oscillator 8 MHz / 1024, divisor 1000: 1000 / 7812.5 Hz = 128 ms.
  EXPECT_EQ(DisplayAfter(ShownModule(copy.root(), "COP"), "Timeout:"), "128 ms");
  std::string output;
  ASSERT_EQ(RunCli("set --save " + copy.root() + " COP 'Prescaler:=input / 16'", &output), 0)
      << output;
  // 8 MHz / 16 = 500 kHz: 1000 / 500 kHz = 2 ms.
  EXPECT_EQ(DisplayAfter(ShownModule(copy.root(), "COP"), "Timeout:"), "2 ms");
  const std::string header = copy.header();
  EXPECT_NE(header.find("#define COP_COPCTL_INIT                   0x0102U"), std::string::npos);
  EXPECT_NE(header.find("#define COP_COPTO_INIT                    0x03E8U"), std::string::npos);
  EXPECT_NE(header.find("#define PMC_CR2_INIT                      0x01FFU"), std::string::npos);
}

TEST(PowerTimersCli, TheLvdSwitchDisablesItsControls) {
  ExampleCopy copy("brel");
  std::string output;
  ASSERT_EQ(RunCli("set --save " + copy.root() + " PMC 'Enable LVD=off'", &output), 0) << output;
  const json pmc = ShownModule(copy.root(), "PMC");
  int checked = 0;
  for (const json& control : pmc["controls"]) {
    if (control["text"] == "LVD Interrupt" || control["text"] == "Enable LVD reset") {
      EXPECT_FALSE(control["enabled"].get<bool>()) << control;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 2);
  EXPECT_NE(copy.header().find("#define PMC_SCR_INIT                      0x0200U"),
            std::string::npos);
}

TEST(PowerTimersCli, TheCaspTimerShowsItsRateAndEveryExampleStaysFinite) {
  ExampleCopy copy("casp");
  const json pit = ShownModule(copy.root(), "PIT_0");
  EXPECT_NE(DisplayAfter(pit, "Interrupt Rate:"), "(none)");
  for (const auto& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "examples")) {
    std::string output;
    ASSERT_EQ(RunCli("show --json " + entry.path().string(), &output), 0);
    // "inf" or "nan" as a word of their own, in any case.
    static const std::regex kNotANumber("(^|[^A-Za-z])(inf|nan)([^A-Za-z]|$)",
                                        std::regex::icase);
    EXPECT_FALSE(std::regex_search(output, kNotANumber)) << entry.path();
  }
}

}  // namespace
}  // namespace tarq

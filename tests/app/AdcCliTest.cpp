// The converters through tarq-cli on copies of the examples: both Brel converters on the
// alternate clock open, show, check and save; the examples' converters are clean and keep
// their settings; no example shows an infinite or undefined value.
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

using apptest::ExampleProjects;
using apptest::ReadFile;
using apptest::RunCli;
using apptest::DisplayAfter;

using apptest::ExampleCopy;


TEST(AdcCli, BothBrelConvertersOnTheAlternateClockOpenShowCheckAndSave) {
  ExampleCopy copy("brel");
  // ADC_0 on ALTCLK (field 2) with /4; ADC_1 added, on ALTCLK too.
  ASSERT_TRUE(copy.Replace("#define ADC_0_ADCCFG_INIT                 0x0044U\n",
               "#define ADC_0_ADCCFG_INIT                 0x0046U\n"
               "#define ADC_1_ADCCFG_INIT                 0x0002U\n"));
  std::string output, errors;
  ASSERT_EQ(RunCli("info " + copy.root(), &output), 0) << output;

  ASSERT_EQ(RunCli("show --json " + copy.root() + " ADC_0 ADC_1", &output, &errors), 0) << errors;
  const json shown = json::parse(output, nullptr, false);
  ASSERT_FALSE(shown.is_discarded()) << output;
  ASSERT_EQ(shown["modules"].size(), 2u);
  for (const json& module : shown["modules"]) {
    // Neither converter has a clock: "OFF", and no time can be computed.
    EXPECT_EQ(DisplayAfter(module, "Frequency:"), "OFF");
    EXPECT_EQ(DisplayAfter(module, "Sample time:"), "n/a");
    EXPECT_EQ(DisplayAfter(module, "First conversion time:"), "n/a");
  }

  EXPECT_EQ(RunCli("check " + copy.root(), &output), 1) << output;
  const std::string both =
      "Both ADC modules cannot use \"Alternate clock (ALTCLK)\" as their input clock source.";
  EXPECT_NE(output.find("ADC_0: " + both), std::string::npos) << output;
  EXPECT_NE(output.find("ADC_1: " + both), std::string::npos) << output;

  ASSERT_EQ(RunCli("reprocess " + copy.root(), &output), 0) << output;
  const std::string header = copy.header();
  EXPECT_NE(header.find("#define ADC_0_ADCCFG_INIT                 0x0046U"), std::string::npos)
      << header;
  EXPECT_NE(header.find("#define ADC_1_ADCCFG_INIT                 0x0002U"), std::string::npos);

  // ADC_1 back on the bus clock (32 MHz / 4) with its clock output on: ADC_0 runs on its input
  // clock, 32 MHz, divided by its own 4: 8 MHz.
  ASSERT_EQ(RunCli("set --save " + copy.root() +
                       " ADC_1 'Input Clock:=Bus clock' 'Divisor:=Input clock/4' "
                       "'Enable Continuous Clock output=on'",
                   &output),
            0)
      << output;
  ASSERT_EQ(RunCli("show --json " + copy.root() + " ADC_0", &output, &errors), 0) << errors;
  EXPECT_EQ(DisplayAfter(json::parse(output)["modules"][0], "Frequency:"), "8 MHz");
  RunCli("check " + copy.root(), &output);
  EXPECT_EQ(output.find("ADC_0: "), std::string::npos) << output;
  EXPECT_EQ(output.find("ADC_1: "), std::string::npos) << output;
  EXPECT_NE(copy.header().find("#define ADC_1_ADCSC2_INIT                 0x0004U"),
            std::string::npos);
}

TEST(AdcCli, TheExampleConvertersAreCleanAndKeepTheirSettings) {
  struct Case {
    const char* example;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"brel",
       {"#define ADC_0_ADCSC1A_INIT                0x0040U",
        "#define ADC_0_ADCCFG_INIT                 0x0044U"}},
      {"classic",
       {"#define ADC_A_ADCR1_INIT                  0x1804U",
        "#define ADC_A_ADCR2_INIT                  0x0003U"}},
      {"dorn",
       {"#define ADC_ADCR1_INIT                    0x5804U",
        "#define ADC_ADCPWR2_INIT                  0x0205U"}},
      {"tebo",
       {"#define ADC_ADCR1_INIT                    0x5804U",
        "#define ADC_ADCR2_INIT                    0x5023U"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.example);
    ExampleCopy copy(c.example);
    std::string output;
    RunCli("check " + copy.root(), &output);
    for (const std::string& line :
         {std::string("\nADC: "), std::string("\nADC_0: "), std::string("\nADC_A: ")})
      EXPECT_EQ(("\n" + output).find(line), std::string::npos) << output;
    ASSERT_EQ(RunCli("reprocess " + copy.root(), &output), 0) << output;
    const std::string header = copy.header();
    for (const std::string& line : c.lines) EXPECT_NE(header.find(line), std::string::npos) << line;
  }
}

TEST(AdcCli, NoExampleShowsAnInfiniteOrUndefinedValue) {
  const std::regex bad("(^|[^A-Za-z])(inf|nan)([^A-Za-z]|$)", std::regex::icase);
  for (const fs::path& project : ExampleProjects()) {
    SCOPED_TRACE(project.filename().string());
    std::string output, errors;
    ASSERT_EQ(RunCli("show --json " + project.string(), &output, &errors), 0) << errors;
    const json shown = json::parse(output, nullptr, false);
    ASSERT_FALSE(shown.is_discarded());
    int displays = 0;
    for (const json& module : shown["modules"])
      for (const json& control : module["controls"]) {
        if (!control.contains("text") || !control["text"].is_string()) continue;
        const std::string text = control["text"];
        if (control["kind"] == "display") ++displays;
        EXPECT_FALSE(std::regex_search(text, bad)) << module["prefix"] << ": " << text;
      }
    EXPECT_GT(displays, 0);
  }
}

}  // namespace
}  // namespace tarq

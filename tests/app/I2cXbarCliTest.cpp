// The I2C and crossbar pages through tarq-cli on copies of the example projects: the rates
// the examples show, an edit saved and read back, and no display that shows "inf" or "nan".
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

using apptest::ExampleCopy;

json Show(const fs::path& project, const std::string& prefixes) {
  std::string output, errors;
  EXPECT_EQ(RunCli("show --json " + project.string() + " " + prefixes, &output, &errors), 0) << errors;
  return json::parse(output, nullptr, false);
}

// The text of the display that follows the caption `label` on a module's page.
std::string DisplayAfter(const json& module, const std::string& label) {
  const json& controls = module["controls"];
  for (size_t i = 0; i + 1 < controls.size(); ++i)
    if (controls[i]["text"] == label && controls[i + 1]["kind"] == "display")
      return controls[i + 1]["text"];
  return "<no display after " + label + ">";
}

void CollectTexts(const json& controls, std::vector<std::string>& texts) {
  for (const json& control : controls) {
    if (control["kind"] == "display" || control["kind"] == "edit")
      texts.push_back(control["text"].get<std::string>());
    if (control.contains("children"))
      for (const json& child : control["children"]) CollectTexts(child["controls"], texts);
  }
}

TEST(I2cXbarCli, ExamplesShowTheHandComputedBusRates) {
  // Fenn: 60 MHz bus, FDIV 0x15 (MUL 1, "2-9-6-4-1", "10-3"): 2 x (6 + 9 x 4 + 2) = 88,
  // 60 MHz / 88 = 0.68182 MHz.
  ExampleCopy fenn("fenn");
  json shown = Show(fenn.root(), "IIC");
  ASSERT_FALSE(shown.is_discarded());
  EXPECT_EQ(DisplayAfter(shown["modules"][0], "SCL Divider:"), "88");
  EXPECT_EQ(DisplayAfter(shown["modules"][0], "Frequency"), "0.68182 MHz");

  // Tebo: 32 MHz bus, FDIV 0 (MUL 1, "2-7-4-1-0", "5-1"): 2 x (4 + 4 + 2) = 20, 1.6 MHz.
  ExampleCopy tebo("tebo");
  shown = Show(tebo.root(), "IIC");
  EXPECT_EQ(DisplayAfter(shown["modules"][0], "SCL Divider:"), "20");
  EXPECT_EQ(DisplayAfter(shown["modules"][0], "Frequency"), "1.6 MHz");

  // Casp: 32 MHz bus and the reset counts: 32 MHz / (157 + 163) and 32 MHz / (37 + 43).
  ExampleCopy casp("casp");
  shown = Show(casp.root(), "IIC");
  const json& controls = shown["modules"][0]["controls"];
  std::vector<std::string> rates;
  for (size_t i = 0; i + 1 < controls.size(); ++i)
    if (controls[i]["text"] == "Bit rate:") rates.push_back(controls[i + 1]["text"]);
  EXPECT_EQ(rates, (std::vector<std::string>{"100.000 kb/s", "400.000 kb/s"}));
}

TEST(I2cXbarCli, ACrossbarRowEditIsSavedAndSurvivesAReprocess) {
  ExampleCopy dorn("dorn");
  // Output 7 ("ADCB Trigger", register 3 bits 8..12) takes CMPA_OUT (9); output 6 keeps 16.
  const uint32_t id = ((59748u + 7u) << 16) | 2u;
  std::string output;
  ASSERT_EQ(RunCli("set --save " + dorn.root() + " XBAR '#" + std::to_string(id) +
                       "=CMPA_OUT'",
                   &output),
            0)
      << output;
  EXPECT_NE(dorn.header().find("#define XBAR_XBC3_INIT                    0x0910U"), std::string::npos);
  EXPECT_NE(dorn.header().find("Crossbar output 7.: CMPA_OUT"), std::string::npos);
  // The example's comparator A is enabled: the crossbar has nothing to report about it.
  RunCli("check " + dorn.root(), &output);
  EXPECT_EQ(output.find("Cross Bar output"), std::string::npos) << output;

  ASSERT_EQ(RunCli("reprocess " + dorn.root(), &output), 0) << output;
  EXPECT_NE(dorn.header().find("#define XBAR_XBC3_INIT                    0x0910U"), std::string::npos);
}

TEST(I2cXbarCli, NoExampleShowsInfOrNanAnywhere) {
  const std::regex bad("(^|[^A-Za-z])(inf|nan)([^A-Za-z]|$)", std::regex::icase);
  for (const auto& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "examples")) {
    SCOPED_TRACE(entry.path().filename().string());
    ExampleCopy copy(entry.path().filename().string());
    const json shown = Show(copy.root(), "");
    ASSERT_FALSE(shown.is_discarded());
    std::vector<std::string> texts;
    for (const json& module : shown["modules"]) CollectTexts(module["controls"], texts);
    ASSERT_FALSE(texts.empty());
    for (const std::string& text : texts) EXPECT_FALSE(std::regex_search(text, bad)) << text;
  }
}

}  // namespace
}  // namespace tarq

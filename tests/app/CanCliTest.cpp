// The CAN controllers through tarq-cli: the timing rules reported by check with no page open,
// the scripted solver (a typed rate, then a solution row) and a batch save with YSCAN's
// pre-save questions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;

// A project folder holding only a header.
class HeaderProject {
 public:
  HeaderProject(const std::string& name, const std::string& header) {
    root_ = fs::temp_directory_path() / ("tarq-can-" + std::to_string(::getpid()) + name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "ApplicationConfig");
    std::ofstream(root_ / "ApplicationConfig" / "appconfig.h") << header;
  }
  ~HeaderProject() { fs::remove_all(root_); }
  std::string root() const { return root_.string(); }
  std::string header() const { return ReadFile(root_ / "ApplicationConfig" / "appconfig.h"); }

 private:
  fs::path root_;
};

std::string ZcanHeader(uint32_t ctl0, uint32_t ctl1) {
  char lines[160];
  std::snprintf(lines, sizeof lines,
                "#define ZCAN_CTL0_INIT 0x%04XU\n#define ZCAN_CTL1_INIT 0x%04XU\n", ctl0, ctl1);
  return "#define CVX-07\n#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n"
         "#define OCCS_PLLDB_INIT 0x201DU\n" +
         std::string(lines);
}

TEST(CanCli, CheckReportsEveryReachableRuleInOrderWithNoPageOpen) {
  // CTL1 = (P-1) << 8 | (RJW-1) << 6 | (PHASE_SEG1-1) << 3 | (PHASE_SEG2-1);
  // CTL0 = (PROP_SEG-1) | three samples << 7. The field widths keep PROP_SEG, PHASE_SEG1
  // and RJW in range, so the range rules 1, 2 and 6 cannot come from a header.
  const struct {
    uint32_t ctl0, ctl1;
    const char* text;
  } cases[] = {
      // P 8, PROP 8, PSEG1 2, PSEG2 2, three samples.
      {0x87, 0x0709, "PHASE_SEG1 must be greater than 2 when three samples per bit are enabled."},
      // P 8 (IPT 2), PSEG1 1, PSEG2 1.
      {0x07, 0x0700, "PHASE_SEG2 must be equal to IPT (=2) when IPT is greater than PHASE_SEG1."},
      // P 11, PSEG1 3, PSEG2 6: the later example before its fix.
      {0x02, 0x0A55,
       "PHASE_SEG2 must be equal to PHASE_SEG1 when IPT (=2) is less than or equal to PHASE_SEG1."},
      // P 2, PROP 1, PSEG1 1, PSEG2 2: 1 + 1 + 1 + 2 = 5 quanta.
      {0x00, 0x0101,
       "The sum of timing parameters must be between 8 and 25. (SYNC_SEG + PROP_SEG + PHASE_SEG1 + "
       "PHASE_SEG2)"},
      // P 8, PROP 8, PSEG1 2, PSEG2 2, RJW 3.
      {0x07, 0x0789, "RJW must be less than or equal to PHASE_SEG1."},
      // P 1 (IPT 3), PROP 1, PSEG1 3, PSEG2 3: 8 quanta.
      {0x00, 0x0012, "At least nine clocks per bit must be programmed when prescaler is one."},
  };
  for (const auto& c : cases) {
    HeaderProject project("rules", ZcanHeader(c.ctl0, c.ctl1));
    std::string output, errors;
    EXPECT_EQ(RunCli("check --json " + project.root(), &output, &errors), 1) << c.text << errors;
    const json shown = json::parse(output, nullptr, false);
    ASSERT_FALSE(shown.is_discarded()) << output;
    ASSERT_EQ(shown["warnings"].size(), 1u) << output;
    EXPECT_EQ(shown["warnings"][0]["module"], "ZCAN");
    EXPECT_EQ(shown["warnings"][0]["text"], c.text);
  }
  // A valid timing: no warnings, exit 0 (P 10, PROP 3, PSEG1 4, PSEG2 4, RJW 2: 500 kBaud).
  HeaderProject valid("valid", ZcanHeader(0x02, 0x095B));
  EXPECT_EQ(RunCli("check " + valid.root()), 0);
}

TEST(CanCli, ATypedRateAndASolutionRowAreSavedAndShown) {
  HeaderProject project("solver", ZcanHeader(0x02, 0x095B));
  std::string output, errors;
  ASSERT_EQ(RunCli("set --save " + project.root() + " ZCAN 'Baud rate:=250k' 'Solutions:=#0'", &output,
                   &errors),
            0)
      << errors;
  ASSERT_EQ(RunCli("show --json " + project.root() + " ZCAN", &output, &errors), 0) << errors;
  const json shown = json::parse(output, nullptr, false);
  ASSERT_FALSE(shown.is_discarded());
  std::string baud, list;
  bool next = false;
  for (const json& control : shown["modules"][0]["controls"]) {
    if (next && control["kind"] == "edit") baud = control["text"], next = false;
    if (control["text"] == "Baud rate:") next = true;
    if (control["kind"] == "listbox") list = control["items"][0];
  }
  EXPECT_EQ(baud, "250 kBaud");
  // Exact rows first; the first is the smallest prescaler: 60 MHz / 250 kBaud = 240 = 10 x 24.
  EXPECT_NE(list.find("+0.000 %"), std::string::npos) << list;
  EXPECT_EQ(RunCli("check " + project.root()), 0);
  // A rate above the clock: refused with its reason, nothing saved, no "inf" or "nan".
  ASSERT_EQ(RunCli("set --json " + project.root() + " ZCAN 'Baud rate:=200M'", &output, &errors), 0);
  ASSERT_EQ(RunCli("show --json " + project.root(), &output, &errors), 0);
  EXPECT_EQ(output.find("inf"), std::string::npos);
  EXPECT_EQ(output.find("nan"), std::string::npos);
}

TEST(CanCli, BatchSaveAnswersTheIgnoreQuestionsAndKeepsTheModule) {
  // CVX-22, EXTAL clock, prescaler 1, TSEG1 16, TSEG2 8: two EXTAL rules are asked.
  HeaderProject project("yscan", "#define CVX-22\n#define YSCAN_CANBTR0_INIT 0x0000U\n"
                                 "#define YSCAN_CANBTR1_INIT 0x007FU\n");
  std::string output, errors;
  // A save through set: each question answered Yes (ignore), the header written with the module.
  EXPECT_EQ(RunCli("set --save " + project.root() + " YSCAN 'One sample per bit=1'", &output, &errors), 0)
      << errors;
  EXPECT_NE(errors.find("TIME_SEG2 must be lower than 8 when CLKSRC=0 (EXTAL_CLK). Ignore?"),
            std::string::npos)
      << errors;
  EXPECT_NE(project.header().find("YSCAN_CANBTR1_INIT"), std::string::npos);
  EXPECT_NE(project.header().find("0x007F"), std::string::npos);
  // reprocess asks nothing: the rule fails the validation, the header is still written with
  // the module and the failure is reported.
  EXPECT_EQ(RunCli("reprocess " + project.root(), &output, &errors), 1) << errors;
  EXPECT_EQ(errors.find("Ignore?"), std::string::npos) << errors;
  EXPECT_NE(project.header().find("0x007F"), std::string::npos);
}

// The bit-timing graph of a module page in show --json: its caption, boxes and sample point.
struct Graph {
  std::string caption;
  std::vector<std::pair<std::string, int>> boxes;
  int sampleAt = -1;
};
Graph GraphOf(const std::string& root, const std::string& prefix) {
  std::string output, errors;
  EXPECT_EQ(RunCli("show --json " + root + " " + prefix, &output, &errors), 0) << errors;
  const json shown = json::parse(output, nullptr, false);
  Graph graph;
  if (shown.is_discarded()) return graph;
  for (const json& control : shown["modules"][0]["controls"]) {
    if (control["kind"] != "bar") continue;
    graph.caption = control["text"];
    for (const json& box : control["segments"]) graph.boxes.emplace_back(box["label"], box["units"]);
    if (control.contains("marker")) graph.sampleAt = control["marker"]["at"];
  }
  return graph;
}

TEST(CanCli, TheExamplesDrawTheirBitsAndTheDornYscanKeepsItsDefinitions) {
  // The later example: 60 MHz / 10 = 6 MHz, 1 + 3 + 4 + 4 = 12 quanta: 500 kBaud, sampled
  // after 8 quanta.
  const Graph zcan = GraphOf((fs::path(TARQ_SOURCE_DIR) / "examples" / "later").string(), "ZCAN");
  EXPECT_EQ(zcan.caption, "500 kBaud, 12 TQ per bit");
  const std::vector<std::pair<std::string, int>> zcanBit = {{"sync", 1}, {"prop", 3}, {"pseg1", 4}, {"pseg2", 4}};
  EXPECT_EQ(zcan.boxes, zcanBit);
  EXPECT_EQ(zcan.sampleAt, 8);

  // The Dorn example's controller runs on the 8 MHz crystal: prescaler 2, TSEG1 11, TSEG2 4:
  // 4 MHz / 16 = 250 kBaud. It checks clean and its definitions survive two saves.
  const fs::path root = fs::temp_directory_path() / ("tarq-can-" + std::to_string(::getpid()) + "dorn");
  fs::remove_all(root);
  fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "dorn", root, fs::copy_options::recursive);
  const Graph yscan = GraphOf(root.string(), "YSCAN");
  EXPECT_EQ(yscan.caption, "250 kBaud, 16 TQ per bit");
  const std::vector<std::pair<std::string, int>> yscanBit = {{"sync", 1}, {"tseg1", 11}, {"tseg2", 4}};
  EXPECT_EQ(yscan.boxes, yscanBit);
  EXPECT_EQ(yscan.sampleAt, 12);
  std::string output;
  EXPECT_EQ(RunCli("check " + root.string(), &output), 0) << output;
  const fs::path header = root / "ApplicationConfig" / "appconfig.h";
  std::string saved;
  for (int save = 0; save < 2; ++save) {
    ASSERT_EQ(RunCli("reprocess " + root.string(), &output), 0) << output;
    saved = ReadFile(header);
    for (const char* line : {"#define YSCAN_CANCTL1_INIT                0x0080U",
                             "#define YSCAN_CANBTR0_INIT                0x0041U",
                             "#define YSCAN_CANBTR1_INIT                0x003AU",
                             "#define YSCAN_CANIDAC_INIT                0x0010U",
                             "#define YSCAN_CANRIER_INIT                0x0001U",
                             "#define YSCAN_CANIDAR0_INIT               0x30U",
                             "#define YSCAN_CANIDMR1_INIT               0xF7U",
                             "#define INT_VECTOR_ADDR_25                CanRxIsr"})
      EXPECT_NE(saved.find(line), std::string::npos) << "save " << save << ": " << line;
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace tarq

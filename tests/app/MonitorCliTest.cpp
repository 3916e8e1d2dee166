// The run-time monitor options through tarq-cli on copies of the examples: the driver's routine
// follows the chosen interface onto its vectors and off every other one, also when the header
// already had it; the user's own routines stay.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "CliTestSupport.h"

namespace fs = std::filesystem;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;

using apptest::ExampleCopy;

// Puts lines in front of the user definitions, as an earlier save would have.
void AddLines(const ExampleCopy& copy, const std::string& lines) {
  std::string text = copy.header();
  const size_t at = text.find("#define APPCFG_TARQ_VERSION");
  ASSERT_NE(at, std::string::npos);
  text.insert(at, lines);
  copy.WriteHeader(text);
}

void SetMonitor(const ExampleCopy& copy, const std::string& assignments) {
  std::string output;
  ASSERT_EQ(RunCli("set --save " + copy.root() + " SCOPX " + assignments, &output), 0) << output;
}

// The vectors whose routine is the driver's, in header order.
std::vector<int> DriverVectors(const std::string& header) {
  static const std::regex line(R"(#define INT_VECTOR_ADDR_(\d+)\s+SCOPX_Isr\b)");
  std::vector<int> vectors;
  for (auto it = std::sregex_iterator(header.begin(), header.end(), line); it != std::sregex_iterator(); ++it)
    vectors.push_back(std::stoi((*it)[1]));
  return vectors;
}

TEST(MonitorCli, TheRoutineFollowsTheInterfaceFromSerialPortToDebugPortToCanAndOff) {
  ExampleCopy copy("later");  // CVX-07: SCI_0 on 59..62, SCI_1 on 35..38, CAN on 21..24
  SetMonitor(copy, "'Communication Interface:=SCI_0' 'Short Interrupts=1'");
  // Transmit empty (59) and receive full (62) of SCI_0.
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{59, 62}));
  EXPECT_NE(copy.header().find("#define SCOPX_COMM_INTERFACE              1"), std::string::npos);

  SetMonitor(copy, "'Communication Interface:=SCI_1'");
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{35, 38}));

  // The project was saved with the routine on SCI_1's vectors: the new choice takes it off.
  SetMonitor(copy, "'Communication Interface:=JTAG'");
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{9, 10}));
  EXPECT_NE(copy.header().find("#define SCOPX_COMM_INTERFACE              3"), std::string::npos);

  SetMonitor(copy, "'Communication Interface:=CAN' 'Long Interrupts=1'");
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{21, 22, 23, 24}));

  SetMonitor(copy, "'Polling Mode=1'");
  EXPECT_TRUE(DriverVectors(copy.header()).empty());
}

TEST(MonitorCli, ARoutineLeftOnVectorsTheChoiceDoesNotNeedGoesAndTheUsersOwnStay) {
  ExampleCopy copy("later");
  // Polling (the default), yet the header gives the driver's routine three vectors (30 belongs
  // to no interface); the user's own routine sits on a fourth.
  AddLines(copy, 
      "#define INT_VECTOR_ADDR_59 SCOPX_Isr\n"
      "#define INT_VECTOR_ADDR_10 SCOPX_Isr\n"
      "#define INT_VECTOR_ADDR_30 SCOPX_Isr\n"
      "#define INT_VECTOR_ADDR_62 MyRxFullIsr\n");
  std::string output;
  ASSERT_EQ(RunCli("reprocess " + copy.root(), &output), 0) << output;
  const std::string header = copy.header();
  EXPECT_TRUE(DriverVectors(header).empty()) << header;
  EXPECT_NE(header.find("MyRxFullIsr"), std::string::npos);

  // Opened with the routine on SCI_0's vectors while SCI_0 is chosen with interrupts: kept,
  // and switching to polling then removes it from both.
  ExampleCopy kept("later");
  AddLines(kept, 
      "#define INT_VECTOR_ADDR_59 SCOPX_Isr\n"
      "#define INT_VECTOR_ADDR_62 SCOPX_Isr\n"
      "#define SCOPX_COMM_INTERFACE 1\n#define SCOPX_SHORT_INTR 1\n#define SCOPX_POLL_DRIVEN 0\n");
  ASSERT_EQ(RunCli("reprocess " + kept.root(), &output), 0) << output;
  EXPECT_EQ(DriverVectors(kept.header()), (std::vector<int>{59, 62}));
  SetMonitor(kept, "'Polling Mode=1'");
  EXPECT_TRUE(DriverVectors(kept.header()).empty()) << kept.header();
}

TEST(MonitorCli, OnBrelEveryVectorOfTheSerialPortAndTheDebugPortCheck) {
  ExampleCopy copy("brel");  // CVX-28: SCI_0 on 21 and 22, the debug port on 8 and 9
  SetMonitor(copy, "'Communication Interface:=SCI_0' 'Long Interrupts=1'");
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{21, 22}));

  // JTAG from interrupts needs the debug port's interrupts at the controller.
  SetMonitor(copy, "'Communication Interface:=JTAG'");
  EXPECT_EQ(DriverVectors(copy.header()), (std::vector<int>{8, 9}));
  std::string output;
  RunCli("check " + copy.root(), &output);
  EXPECT_NE(output.find("EDPORT Transmit Register Empty and Receive Register Full interrupts must be "
                        "enabled in WINTC module."),
            std::string::npos)
      << output;
  // A CAN interface the part lacks is listed but cannot be served.
  SetMonitor(copy, "'Communication Interface:=CAN (not available)'");
  RunCli("check " + copy.root(), &output);
  EXPECT_NE(output.find("Could not set interrupt vectors required by this interface"), std::string::npos)
      << output;
  EXPECT_TRUE(DriverVectors(copy.header()).empty());
}

}  // namespace
}  // namespace tarq

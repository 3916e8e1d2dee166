// The run-time monitor options: the interface list of each chip group, the vectors the driver's
// routine gets and loses with the real interrupt controller and serial ports, a claim that
// fails, the far buffer of the classic group, and the older Panomon options with their
// exclusive communication defines.
#include <gtest/gtest.h>

#include <regex>

#include "../support/ModuleHarness.h"
#include "modules/intc.h"
#include "modules/pnm.h"
#include "modules/scopx.h"

namespace tarq {
namespace {

// Whether the header defines `name` as `value` (any blanks between).
bool HasDefine(const std::string& header, const std::string& name, const std::string& value) {
  return std::regex_search(header, std::regex("#define " + name + "\\s+" + value + "\\b"));
}

std::string IsrOf(ModuleProject& project, uint32_t vector) {
  for (CModuleBase* module : project.Doc().GetModules())
    if (auto* intc = dynamic_cast<CpmINTC*>(module)) return intc->GetIsrName(vector);
  return "(no controller)";
}

void Choose(ModuleProject& project, uint32_t choice, const char* mode) {
  project.Reg("SCOPX", "COMM_INTERFACE").value = choice;
  for (const char* reg : {"LONG_INTR", "SHORT_INTR", "POLL_DRIVEN"})
    project.Reg("SCOPX", reg).value = std::string(reg) == mode ? 1 : 0;
  project.Check();
}

TEST(ScopxInterfaces, EachGroupListsWhatThePartHasAndMarksOrDropsTheRest) {
  // CVX-03 (classic): no CAN controller, so no CAN items at all.
  ModuleProject classic({.part = "CVX-03"});
  ASSERT_TRUE(classic.Opened());
  auto& c = classic.Module<CpmSCOPX>("SCOPX");
  EXPECT_EQ(c.InterfaceItems(),
            (std::vector<std::string>{"Not specified", "SCI_0", "SCI_1", "JTAG", "JTAG  (with TDF workaround)"}));
  EXPECT_TRUE(c.Declaration().Verify().empty());

  // CVX-07 (later): one CAN controller; the second is marked.
  ModuleProject later({.part = "CVX-07"});
  auto& l = later.Module<CpmSCOPX>("SCOPX");
  EXPECT_EQ(l.InterfaceItems().back(), "CAN_2 (not available)");
  EXPECT_EQ(l.InterfaceItems()[5], "CAN");
  EXPECT_EQ(l.InterfaceValues(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(l.Declaration().Verify().empty());

  // CVX-28 (Brel): one serial port, no CAN.
  ModuleProject brel({.part = "CVX-28"});
  auto& b = brel.Module<CpmSCOPX>("SCOPX");
  EXPECT_EQ(b.InterfaceItems()[2], "SCI_1 (not available)");
  EXPECT_EQ(b.InterfaceItems()[5], "CAN (not available)");
  EXPECT_TRUE(b.Declaration().Verify().empty());
  EXPECT_EQ(CpmSCOPX::Variants().size(), 3u);

  // A stored interface the classic list lacks is kept and written as it was.
  ModuleProject stored({.part = "CVX-03", .defines = "#define SCOPX_COMM_INTERFACE 5\n"});
  EXPECT_EQ(stored.Reg("SCOPX", "COMM_INTERFACE").value, 5u);
  EXPECT_TRUE(HasDefine(stored.SavedHeader(), "SCOPX_COMM_INTERFACE", "5"));
}

TEST(ScopxVectors, TheRoutineMovesWithTheChoiceAndLeavesOthersAlone) {
  // CVX-07: SCI_0 on 59..62 (transmit empty 59, receive full 62), SCI_1 on 35..38, debug port 9, 10.
  ModuleProject project({.part = "CVX-07", .defines = "#define INT_VECTOR_ADDR_60 MyIdleIsr\n"});
  ASSERT_TRUE(project.Opened());
  auto& scopx = project.Module<CpmSCOPX>("SCOPX");

  Choose(project, CpmSCOPX::kSci0, "SHORT_INTR");
  EXPECT_EQ(IsrOf(project, 59), "SCOPX_Isr");
  EXPECT_EQ(IsrOf(project, 62), "SCOPX_Isr");
  EXPECT_EQ(IsrOf(project, 60), "MyIdleIsr");
  EXPECT_FALSE(scopx.VectorFailure());

  Choose(project, CpmSCOPX::kSci1, "LONG_INTR");
  EXPECT_EQ(IsrOf(project, 59), "");
  EXPECT_EQ(IsrOf(project, 62), "");
  EXPECT_EQ(IsrOf(project, 35), "SCOPX_Isr");
  EXPECT_EQ(IsrOf(project, 38), "SCOPX_Isr");

  Choose(project, CpmSCOPX::kJtagTdf, "LONG_INTR");
  EXPECT_EQ(IsrOf(project, 35), "");
  EXPECT_EQ(IsrOf(project, 9), "SCOPX_Isr");
  EXPECT_EQ(IsrOf(project, 10), "SCOPX_Isr");

  // Short interrupts to polling: gone from every vector; the user's routine stays.
  Choose(project, CpmSCOPX::kSci0, "SHORT_INTR");
  Choose(project, CpmSCOPX::kSci0, "POLL_DRIVEN");
  for (uint32_t vector : {59u, 62u, 9u, 10u, 35u, 38u}) EXPECT_EQ(IsrOf(project, vector), "") << vector;
  EXPECT_EQ(IsrOf(project, 60), "MyIdleIsr");
}

TEST(ScopxVectors, AVectorTheSerialDriverHoldsCannotBeHad) {
  // SCI_0's own driver runs from interrupts and holds its vectors.
  ModuleProject project({.part = "CVX-07", .defines = "#define SCI_0_HIGHLEVEL_MODE 2\n"});
  ASSERT_TRUE(project.Opened());
  auto& scopx = project.Module<CpmSCOPX>("SCOPX");
  const uint32_t combo = scopx.ControlIdOf("Communication Interface:", true);
  Choose(project, CpmSCOPX::kSci0, "LONG_INTR");
  EXPECT_TRUE(scopx.VectorFailure());
  EXPECT_EQ(project.WarningText("SCOPX", combo), "Could not set interrupt vectors required by this interface");
  EXPECT_NE(IsrOf(project, 59), "SCOPX_Isr");
  // The other port is free.
  Choose(project, CpmSCOPX::kSci1, "LONG_INTR");
  EXPECT_FALSE(scopx.VectorFailure());
  EXPECT_EQ(project.WarningText("SCOPX", combo), "");
}

TEST(ScopxRecorder, TheFarBufferIsNeverWrittenOnTheClassicGroup) {
  const std::string defines = "#define SCOPX_USE_RECORDER 1\n#define SCOPX_REC_FARBUFF 1\n";
  ModuleProject classic({.part = "CVX-03", .defines = defines});
  ASSERT_TRUE(classic.Opened());
  const std::string header = classic.SavedHeader();
  EXPECT_TRUE(HasDefine(header, "SCOPX_USE_RECORDER", "1")) << header;
  EXPECT_EQ(header.find("#define SCOPX_REC_FARBUFF"), std::string::npos) << header;

  ModuleProject later({.part = "CVX-07", .defines = defines});
  EXPECT_TRUE(HasDefine(later.SavedHeader(), "SCOPX_REC_FARBUFF", "1"));
}

TEST(Pnm, TheCommunicationDefinesAreExclusiveAndTheFirstPortStandsInForNone) {
  ModuleProject project({.part = "CVX-03",
                         .defines = "#define PNM_INCLUDE_CMD_GETINFO_BRIEF\n#define PNM_BUFFER_SIZE 0x30U\n"});
  ASSERT_TRUE(project.Opened());
  auto& pnm = project.Module<CpmPNM>("PNM");
  EXPECT_TRUE(pnm.Declaration().Verify().empty());
  // JTAG is never offered.
  EXPECT_EQ(pnm.CommunicationItems(), (std::vector<std::string>{"SCI_0", "SCI_1"}));
  EXPECT_EQ(pnm.CommunicationIndex(), 0);
  std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PNM_COMM_MODULE_SCI_0\n"), std::string::npos) << header;
  // The option no control shows survives.
  EXPECT_NE(header.find("#define PNM_INCLUDE_CMD_GETINFO_BRIEF\n"), std::string::npos) << header;

  pnm.SelectCommunication(1);
  header = project.SavedHeader();
  EXPECT_NE(header.find("#define PNM_COMM_MODULE_SCI_1\n"), std::string::npos) << header;
  EXPECT_EQ(header.find("#define PNM_COMM_MODULE_SCI_0"), std::string::npos) << header;

  // A stored JTAG choice is kept (the list shows none) until another is chosen.
  ModuleProject jtag({.part = "CVX-03", .defines = "#define PNM_COMM_MODULE_JTAG\n"});
  auto& old = jtag.Module<CpmPNM>("PNM");
  EXPECT_EQ(old.CommunicationIndex(), -1);
  EXPECT_NE(jtag.SavedHeader().find("#define PNM_COMM_MODULE_JTAG\n"), std::string::npos);
  old.SelectCommunication(0);
  header = jtag.SavedHeader();
  EXPECT_EQ(header.find("#define PNM_COMM_MODULE_JTAG"), std::string::npos) << header;
  EXPECT_NE(header.find("#undef PNM_COMM_MODULE_JTAG"), std::string::npos) << header;
  EXPECT_NE(header.find("#define PNM_COMM_MODULE_SCI_0\n"), std::string::npos) << header;
}

}  // namespace
}  // namespace tarq

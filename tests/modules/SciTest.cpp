// The serial communication interface: the variant rows, the divisor fields and baud rates
// with and without fine tune and the high-speed clock, the driver modes with their vector
// claims at the interrupt controller, the forced Brel interrupts, the character type and
// the examples' baud rates.
#include <gtest/gtest.h>

#include <set>

#include "../support/ModuleHarness.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "modules/sci.h"
#include "project/KnownParts.h"

namespace tarq {
namespace {

// A stand-in for the system module: the high-speed boxes the test checks.
class StubGate : public CModule, public PeripheralClockGate {
 public:
  explicit StubGate(const ArchitectureEntry& entry) : CModule(entry) {}
  void CheckPeripheralClock(CModuleBase&) override {}
  bool IsOptionChecked(const std::string& caption) const override { return checked.count(caption) > 0; }
  std::string OptionLink(const std::string&) const override { return {}; }
  std::string SelectedOptionText(const std::string&) const override { return {}; }
  std::set<std::string> checked;
};

struct Partners {
  StubClockSource* clock = nullptr;
  StubGate* gate = nullptr;
};

// A project with stand-in clock and gate, the part's interrupt controller and the SCI
// modules of `sciLines` (tree lines).
ModuleProject SciProject(const std::string& part, const std::string& sciLines,
                         const std::string& defines, Partners& partners) {
  return ModuleProject(
      {.part = part,
       .defines = defines,
       .tree = "OCCS CLK NONE IRQ:\nSIM GATE NONE IRQ:\nINTC INTC NONE IRQ:\n" + sciLines,
       .factory = [&partners](ModuleFactory& factory) {
         factory.Register("CLK", [&partners](const ArchitectureEntry& entry, CModuleBase*) {
           auto clock = std::make_unique<StubClockSource>(entry);
           partners.clock = clock.get();
           return std::unique_ptr<CModuleBase>(std::move(clock));
         });
         factory.Register("GATE", [&partners](const ArchitectureEntry& entry, CModuleBase*) {
           auto gate = std::make_unique<StubGate>(entry);
           partners.gate = gate.get();
           return std::unique_ptr<CModuleBase>(std::move(gate));
         });
       }});
}

std::string BaudText(ModuleProject& project, const std::string& prefix) {
  CpmSCI& sci = project.Module<CpmSCI>(prefix);
  sci.UpdateValues();
  return project.Ctl(prefix, sci.Declaration().Find("Baude Rate:")->id)->text;
}

// One part of each chip group.
const char* const kGroupParts[] = {"CVX-01", "CVX-07", "CVX-08", "CVX-20", "CVX-24", "CVX-28", "CVX-30"};

}  // namespace

TEST(SciVariants, EveryGroupDeclaresWithoutFaultsAndItsOwnControls) {
  for (const char* part : kGroupParts) {
    SCOPED_TRACE(part);
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened());
    CpmSCI& sci = project.Module<CpmSCI>("SCI_0");
    const PageDeclaration& d = sci.Declaration();
    const std::vector<std::string> faults = d.Verify();
    EXPECT_TRUE(faults.empty()) << faults.front();
    const std::string group = ChipGroupOf(part);
    const bool fine = group == "Casp" || group == "Brel" || group == "Dorn";
    EXPECT_EQ(d.Has("Fine Tune:"), fine);
    EXPECT_EQ(d.Has("Enable RX and TX FIFO Queues"), group == "Casp" || group == "Dorn");
    EXPECT_EQ(d.Has("LIN Autobaud feature"), fine || group == "Tebo");
    EXPECT_EQ(sci.FindOwnRegister("SCICR2_INIT")->Has(DUMMYREG), !(fine || group == "Tebo"));
    EXPECT_EQ(d.Has("user vector information 0"), group == "Brel");
    // Every rule runs on the open page without touching a missing control.
    project.OpenPage("SCI_0");
    sci.UpdateEnables();
  }
}

TEST(SciBaudRate, DivisorFieldsFineTuneAndTheHighSpeedClock) {
  // Later part: the divisor is bits 0..12. Bus 32 MHz, SCIBR 0x0040 = 64:
  // 32e6 / (64 x 16) = 31250 bps.
  {
    Partners partners;
    ModuleProject project = SciProject("CVX-08", "SCI_0 SCI NONE IRQ:59,60,61,62\n",
                                       "#define SCI_0_SCIBR_INIT 0x0040U\n", partners);
    ASSERT_TRUE(project.Opened());
    partners.clock->bus = 32;
    project.OpenPage("SCI_0");
    EXPECT_EQ(project.Module<CpmSCI>("SCI_0").Divisor(), 64u);
    EXPECT_EQ(BaudText(project, "SCI_0"), "31250 bps");
    // Divisor 0 and no clock at all show OFF, never inf.
    project.Reg("SCI_0", "SCIBR_INIT").value = 0;
    EXPECT_EQ(BaudText(project, "SCI_0"), "OFF");
    project.Reg("SCI_0", "SCIBR_INIT").value = 0x0040;
    partners.clock->bus = 0;
    EXPECT_EQ(BaudText(project, "SCI_0"), "OFF");
  }
  // Brel: divisor bits 3..15, fine tune bits 0..2. SCIBR = 52 << 3 | 0 = 0x01A0.
  // Bus 32 MHz: 32e6 / (52 x 16) = 38461.5 -> "38462 bps". With the high-speed box and a
  // 96 MHz high-speed clock: 96e6 / 832 = 115384.6 -> "115385 bps". Fine tune 3 (0x01A3):
  // divider (52 x 8 + 3) x 2 = 838, 96e6 / 838 = 114558.5 -> "114558 bps" (single precision).
  {
    Partners partners;
    ModuleProject project = SciProject("CVX-28", "SCI_0 SCI NONE IRQ:21,22\n",
                                       "#define SCI_0_SCIBR_INIT 0x01A0U\n", partners);
    ASSERT_TRUE(project.Opened());
    partners.clock->bus = 32;
    partners.clock->highSpeed = 96;
    project.OpenPage("SCI_0");
    CpmSCI& sci = project.Module<CpmSCI>("SCI_0");
    EXPECT_EQ(sci.Divisor(), 52u);
    EXPECT_EQ(sci.FineTune(), 0u);
    EXPECT_EQ(BaudText(project, "SCI_0"), "38462 bps");
    partners.gate->checked.insert("SCI clock sourced from HS_PERF (3x System Clock)");
    EXPECT_EQ(BaudText(project, "SCI_0"), "115385 bps");
    project.Reg("SCI_0", "SCIBR_INIT").value = 0x01A3;
    EXPECT_EQ(sci.FineTune(), 3u);
    EXPECT_NEAR(sci.BaudRate(), 96e6 / 838, 0.05);
    // The page shows the fields: "Divisor:" 52 and "Fine Tune:" 3 after a refresh.
    sci.RefreshAll();
    EXPECT_EQ(project.Ctl("SCI_0", sci.Declaration().Find("Divisor:")->id)->text, "52");
    EXPECT_EQ(project.Ctl("SCI_0", sci.Declaration().Find("Fine Tune:")->id)->text, "3");
    // Divisor 8191 is the largest; the field cannot hold more.
    project.Reg("SCI_0", "SCIBR_INIT").value = 0xFFF8;
    EXPECT_EQ(sci.Divisor(), 8191u);
  }
  // Dorn: one box per instance; only SCI1's box is checked. Bus 50 MHz, HS 100 MHz,
  // SCIBR 0x0104 = divisor 32, fine tune 4: divider (32 x 8 + 4) x 2 = 520.
  // SCI_0: 50e6 / 520 = 96153.8 -> "96154 bps"; SCI_1: 100e6 / 520 = 192307.7 -> "192308 bps".
  {
    Partners partners;
    ModuleProject project =
        SciProject("CVX-30", "SCI_0 SCI NONE IRQ:33,34,35,36\nSCI_1 SCI NONE IRQ:29,30,31,32\n",
                   "#define SCI_0_SCIBR_INIT 0x0104U\n#define SCI_1_SCIBR_INIT 0x0104U\n", partners);
    ASSERT_TRUE(project.Opened());
    partners.clock->bus = 50;
    partners.clock->highSpeed = 100;
    partners.gate->checked.insert("SCI1 clock sourced from HS_PERF (2x System Clock)");
    project.OpenPage("SCI_0");
    EXPECT_EQ(BaudText(project, "SCI_0"), "96154 bps");
    project.OpenPage("SCI_1");
    EXPECT_EQ(BaudText(project, "SCI_1"), "192308 bps");
  }
}

TEST(SciDriverModes, ClaimsReleasesAndRestoresTheVectorNamesOnALaterPart) {
  // Vectors 59..62 on CVX-08; vector 61 had a name of the user's before the driver took it.
  Partners partners;
  ModuleProject project = SciProject("CVX-08", "SCI_0 SCI NONE IRQ:59,60,61,62\n",
                                     "#define INT_VECTOR_ADDR_61 MyRxErr\n", partners);
  ASSERT_TRUE(project.Opened());
  CpmINTC& intc = project.Module<CpmINTC>("INTC");
  CpmSCI& sci = project.Module<CpmSCI>("SCI_0");
  Register& mode = project.Reg("SCI_0", "HIGHLEVEL_MODE");

  mode.value = 2;  // Buffered
  project.Check();
  EXPECT_EQ(intc.IsrRegister(59)->text, "Sci0TxEmptyISR");
  EXPECT_EQ(intc.IsrRegister(60)->value, 0u);  // the user without a suffix gets no name
  EXPECT_EQ(intc.IsrRegister(61)->text, "Sci0RxErrorISR");
  EXPECT_EQ(intc.IsrRegister(62)->text, "Sci0RxFullISR");
  EXPECT_EQ(intc.ClaimOwner(62), &sci);
  EXPECT_FALSE(project.WarningAt("SCI_0", sci.Declaration().Find(CpmSCI::kModeKey)->captionId));

  mode.value = 0;  // back to "Disabled": the names the vectors had come back
  project.Check();
  EXPECT_EQ(intc.IsrRegister(61)->text, "MyRxErr");
  EXPECT_EQ(intc.IsrRegister(59)->value, 0u);
  EXPECT_FALSE(intc.IsClaimed(59));

  // Mode 3 (from a header) names no item: no selection, the value stays, nothing claimed.
  mode.value = 3;
  Page& page = project.OpenPage("SCI_0");
  project.Check();
  EXPECT_EQ(sci.DriverMode(), -1);
  EXPECT_EQ(page.Find(sci.Declaration().Find(CpmSCI::kModeKey)->id)->selection, -1);
  EXPECT_EQ(mode.value, 3u);
  EXPECT_FALSE(intc.IsClaimed(59));
  EXPECT_FALSE(sci.ValidateControls(false));  // a save refuses the invalid selection
}

TEST(SciDriverModes, AVectorHeldByAnotherModuleWarnsAtTheModeList) {
  Partners partners;
  ModuleProject project = SciProject(
      "CVX-08", "SCI_0 SCI NONE IRQ:59,60,61,62\nSCI_1 SCI NONE IRQ:59,60,61,62\n",
      "#define SCI_0_HIGHLEVEL_MODE 1\n#define SCI_1_HIGHLEVEL_MODE 1\n", partners);
  ASSERT_TRUE(project.Opened());
  project.Check();
  CpmSCI& second = project.Module<CpmSCI>("SCI_1");
  EXPECT_FALSE(project.Module<CpmSCI>("SCI_0").VectorClaimFailed());
  EXPECT_TRUE(second.VectorClaimFailed());
  const auto warning = project.WarningAt("SCI_1", second.Declaration().Find(CpmSCI::kModeKey)->captionId);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, CpmSCI::kClaimFailedText);
  // The mode setting itself is kept.
  EXPECT_EQ(project.Reg("SCI_1", "HIGHLEVEL_MODE").value, 1u);
}

TEST(SciDriverModes, BrelForcesTheInterruptsNamesTwoUsersAndNotesTheUserSlots) {
  // USER1 serves vector 22 (IAR0 low byte 0x16) under the name SlotRx.
  Partners partners;
  ModuleProject project = SciProject("CVX-28", "SCI_0 SCI NONE IRQ:21,22\n",
                                     "#define INTC_IAR0_INIT 0x0016U\n"
                                     "#define INT_VECTOR_ADDR_45 SlotRx\n",
                                     partners);
  ASSERT_TRUE(project.Opened());
  CpmINTC& intc = project.Module<CpmINTC>("INTC");
  CpmSCI& sci = project.Module<CpmSCI>("SCI_0");
  Page& page = project.OpenPage("SCI_0");
  const uint32_t note0 = sci.Declaration().Find("user vector information 0")->id;
  const uint32_t note1 = sci.Declaration().Find("user vector information 1")->id;
  EXPECT_FALSE(page.Find(note0)->shown);
  EXPECT_TRUE(page.Find(note1)->shown);
  EXPECT_NE(page.Find(note1)->text.find("See USER1 (SlotRx) in WINTC module."), std::string::npos);

  EXPECT_EQ(project.Reg("SCI_0", "SCICR_INIT").value, 0u);
  project.Reg("SCI_0", "HIGHLEVEL_MODE").value = 1;
  sci.UpdateEnables();
  // Bits 4 (RX Error), 5 (RX Full) and 7 (TX Empty), not 6 (TX Idle).
  EXPECT_EQ(project.Reg("SCI_0", "SCICR_INIT").value, 0x00B0u);
  EXPECT_EQ(intc.IsrRegister(21)->text, "Sci0TxEmptyISR");
  EXPECT_EQ(intc.IsrRegister(22)->text, "Sci0RxFullErrISR");
  project.Reg("SCI_0", "HIGHLEVEL_MODE").value = 0;
  sci.UpdateEnables();
  EXPECT_FALSE(intc.IsClaimed(21));
  EXPECT_EQ(intc.IsrRegister(21)->value, 0u);
  // The forced bits stay what the register now holds; the boxes show them again.
  EXPECT_TRUE(page.Find(sci.Declaration().Find("TX Empty")->id)->checked);
}

TEST(SciDriverModes, ANameSavedFromTheDriversClaimIsClearedOnRelease) {
  // A project saved in Buffered mode holds the driver's names; switching to "Disabled" after
  // reopening must not keep them as if they were the user's.
  Partners partners;
  ModuleProject project = SciProject("CVX-08", "SCI_0 SCI NONE IRQ:59,60,61,62\n",
                                     "#define SCI_0_HIGHLEVEL_MODE 2\n"
                                     "#define INT_VECTOR_ADDR_59 Sci0TxEmptyISR\n"
                                     "#define INT_VECTOR_ADDR_62 Sci0RxFullISR\n",
                                     partners);
  ASSERT_TRUE(project.Opened());
  project.Check();
  CpmINTC& intc = project.Module<CpmINTC>("INTC");
  EXPECT_TRUE(intc.IsClaimed(59));
  project.Reg("SCI_0", "HIGHLEVEL_MODE").value = 0;
  project.Check();
  EXPECT_EQ(intc.IsrRegister(59)->value, 0u);
  EXPECT_EQ(intc.IsrRegister(62)->text, "");
}

TEST(SciDefinitions, CharTypeIsNamedByInstanceAndWrittenOnlyWithTheModule) {
  Partners partners;
  ModuleProject project =
      SciProject("CVX-08", "SCI SCI NONE IRQ:59,60,61,62\nSCI_1 SCI NONE IRQ:35,36,37,38\n",
                 "#define SCI_1_SCICR_INIT 0x000CU\n", partners);
  ASSERT_TRUE(project.Opened());
  CpmSCI& first = project.Module<CpmSCI>("SCI");
  CpmSCI& second = project.Module<CpmSCI>("SCI_1");
  EXPECT_EQ(first.InstanceNumber(), 0);
  EXPECT_EQ(first.CharTypeRegisterName(), "-SCI0CHAR");
  EXPECT_EQ(second.CharTypeRegisterName(), "-SCI1CHAR");
  // The untouched module is neither modified nor written; the written one gets its type.
  EXPECT_FALSE(first.IsModified());
  EXPECT_FALSE(second.IsModified());
  project.Host().entries.clear();
  const std::string header = project.SavedHeader();
  for (const CollectingHost::Entry& entry : project.Host().entries)
    EXPECT_EQ(entry.text.find("is not selected"), std::string::npos) << entry.text;
  EXPECT_EQ(header.find("SCI_SCIBR_INIT"), std::string::npos);
  EXPECT_EQ(header.find("SCI0CHAR"), std::string::npos);
  EXPECT_NE(header.find("#define SCI1CHAR"), std::string::npos);
  EXPECT_NE(header.find("UWord16"), std::string::npos);

  // "Byte-wide buffer operations" writes "char" and reads back checked.
  project.Reg("SCI_1", "HIGHLEVEL_MODE").value = 1;
  Page& page = project.OpenPage("SCI_1");
  const DeclaredControl* box = second.Declaration().Find("Byte-wide buffer operations");
  ASSERT_TRUE(box && box->binding);
  EXPECT_FALSE(page.Find(box->id)->checked);
  page.Find(box->id)->checked = true;
  box->binding->Update();
  EXPECT_EQ(project.Reg("SCI_1", "-SCI1CHAR").text, "char");
  // The driver mode claimed vectors: the interrupt controller is asked to be written too.
  project.Host().defaultAnswer = Answer::Yes;
  const std::string saved = project.SavedHeader();
  EXPECT_NE(saved.find("#define SCI1CHAR "), std::string::npos) << saved;
  EXPECT_NE(saved.find(" char\n"), std::string::npos);
}

TEST(SciPins, LoopModeDecidesWhichSignalsAreUsed) {
  Partners partners;
  ModuleProject project = SciProject("CVX-08", "SCI_0 SCI NONE IRQ:59,60,61,62\n", "", partners);
  ASSERT_TRUE(project.Opened());
  CpmSCI& sci = project.Module<CpmSCI>("SCI_0");
  Register& cr = project.Reg("SCI_0", "SCICR_INIT");
  EXPECT_TRUE(sci.IsSignalUsed("RXD0"));
  cr.value = 0x8000;  // loop mode, internal
  EXPECT_FALSE(sci.IsSignalUsed("RXD0"));
  EXPECT_FALSE(sci.IsSignalUsed("TXD0"));
  cr.value = 0xA000;  // loop mode, single wire
  EXPECT_FALSE(sci.IsSignalUsed("RXD0"));
  EXPECT_TRUE(sci.IsSignalUsed("TXD0"));
}

}  // namespace tarq

// The system integration modules inside a real document: the peripheral clock check of
// every module, the Brel source-selection checks, the reload-sync rule, the pin-function
// lists and the pages of each variant.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "../support/ModuleHarness.h"
#include "framework/Host.h"
#include "modules/sys.h"

namespace tarq {
namespace {

// Partners as the later modules will offer them, answering from their register bits.
class ClockStub : public StubModule, public ClockSource {
 public:
  ClockStub(const ArchitectureEntry& entry, CModuleBase* parent)
      : StubModule(entry, {{"CTRL_INIT", 0x0011, DW16}, {"OSCTL_INIT", 0x1600, DW16}}, parent) {}
  float GetBusClockMHz() const override { return 0; }
  float GetHighSpeedClockMHz() const override { return 0; }
  float GetSystemClockMHz() const override { return 0; }
  float GetCrystalFrequencyMHz() const override { return 0; }
  // Each enable bit switches its part off when set.
  bool IsPllRunning() const override { return !Bit(0, 4); }
  bool IsCrystalOscillatorEnabled() const override { return !Bit(1, 12); }
  bool IsRelaxationOscillatorEnabled() const override { return !Bit(1, 15); }
};

class PowerStub : public StubModule, public PowerManagement {
 public:
  PowerStub(const ArchitectureEntry& entry, CModuleBase* parent)
      : StubModule(entry, {{"-PMC_CR2_INIT", 0x00FF, DW16}}, parent) {}
  bool IsLowPowerOscillatorEnabled() const override { return Bit(0, 8); }
};

class ComparatorStub : public StubModule, public Comparator {
 public:
  ComparatorStub(const ArchitectureEntry& entry, CModuleBase* parent)
      : StubModule(entry, {{"CR1_INIT", 0, DW16}}, parent) {}
  int ComparatorIndex() const override { return GetPrefix().back() - '0'; }
  bool IsEnabled() const override { return Bit(0, 0); }
  bool IsWindowingOrSampling() const override { return Field(0, 6, 7) != 0; }
};

class DelayStub : public StubModule, public DelayBlock {
 public:
  DelayStub(const ArchitectureEntry& entry, CModuleBase* parent)
      : StubModule(entry, {{"-PDB_SCR_INIT", 0, DW16}}, parent) {}
  // Trigger A is bit 1, trigger B bit 0.
  bool IsTriggerEnabled(int trigger) const override {
    return IsSelected() && Bit(0, trigger == 0 ? 1 : 0);
  }
};

class PwmStub : public StubModule, public PwmGenerator {
 public:
  PwmStub(const ArchitectureEntry& entry, CModuleBase* parent)
      : StubModule(entry, {{"PMCTL_INIT", 0, DW16}, {"PMSRC_INIT", 0, DW16}}, parent) {}
  bool IsRunning() const override { return Bit(0, 0); }
  // Input n's source field (bits 0..1, 2..4, 5..7) reads 1 when it comes from SYS.
  bool UsesSystemSource(int input) const override {
    static const int kField[3][2] = {{0, 1}, {2, 4}, {5, 7}};
    return Field(1, kField[input][0], kField[input][1]) == 1;
  }
};

// A project of one part whose architecture file lists exactly the given tree lines, with
// the stand-in partners.
ModuleProject SysProject(const std::string& part, const std::string& tree,
                         const std::string& defines = {}, const std::string& definedPart = {},
                         const std::string& moduleInfo = {}) {
  return ModuleProject({.part = part,
                        .defines = defines,
                        .tree = tree,
                        .moduleInfo = moduleInfo,
                        .definedPart = definedPart,
                        .factory = [](ModuleFactory& factory) {
                          RegisterStub(factory, "STUB", {{"CTRL_INIT", 0, DW16}});
                          factory.Register<ClockStub>("OCCS_T");
                          factory.Register<PowerStub>("PMC_T");
                          factory.Register<ComparatorStub>("HSCMP_T");
                          factory.Register<DelayStub>("PDB_T");
                          factory.Register<PwmStub>("PWM_T");
                        }});
}
CSysModule& Sys(ModuleProject& project) { return *CSysModule::Find(&project.Doc()); }
// The warning text at a SYS control, or nothing.
std::optional<std::string> SysWarning(ModuleProject& project, const std::string& caption) {
  const std::optional<Warning> warning = project.WarningAt("SYS", Sys(project).ControlId(caption));
  return warning ? std::optional<std::string>(warning->text) : std::nullopt;
}

const char* const kBrelSys = "SYS SYS_Brel NONE IRQ: \"System Integration\"\n";

std::string ClockOff(const std::string& name) {
  return "Module " + name + " is configured for use but its peripheral clock is disabled";
}

// ---------------------------------------------------------------- variants

// A part of each chip group (CVX-37 is defined as CVX-06, as projects name it).
struct GroupPart {
  const char* part;
  const char* defined;
};
const GroupPart kGroupParts[] = {{"CVX-01", ""}, {"CVX-37", "CVX-06"}, {"CVX-07", ""},
                                 {"CVX-08", ""}, {"CVX-17", ""},       {"CVX-21", ""},
                                 {"CVX-24", ""}, {"CVX-28", ""},       {"CVX-31", ""}};
const char* const kSysKinds[] = {"SYS_V1", "SYS_V2_Classic", "SYS_V2_Casp", "SYS_V2_Dorn",
                                 "SYS_Brel"};

TEST(SysVariants, EveryKindOnEveryChipGroupDeclaresAPageWithoutFaults) {
  for (const GroupPart& group : kGroupParts) {
    for (const char* kind : kSysKinds) {
      SCOPED_TRACE(std::string(kind) + " on " + group.part);
      ModuleProject project = SysProject(group.part,
                         std::string("SYS ") + kind + " NONE IRQ:14 \"System Integration\"\n", {},
                         group.defined);
      ASSERT_TRUE(project.Opened());
      CSysModule& sys = Sys(project);
      EXPECT_EQ(sys.Declaration().Verify(), std::vector<std::string>());
      // Every clock row names a box of this variant, bound to a register of its table.
      for (const CSysModule::ClockRow& row : sys.ClockRows()) {
        const DeclaredControl* box = sys.Declaration().Find(row.boxKey);
        ASSERT_NE(box, nullptr) << row.patterns;
        EXPECT_NE(box->Bit(), nullptr) << row.patterns;
      }
      // The page builds, every rule applies, and the checks run on it.
      ASSERT_TRUE(sys.CreatePage());
      sys.UpdateEnables();
      project.Check();
      EXPECT_TRUE(sys.ValidateControls(false));
    }
  }
}

TEST(SysVariants, TheV2RowFollowsThePartAndDecidesTablesAndItems) {
  struct Expect {
    GroupPart part;
    const char* row;
    size_t stopItems;  // "Stop permanently disabled" only with the second texts
    bool dport;        // no debug-port list on CVX-06
    bool can2;         // the CAN2 box, its clock row and a real PCE2 register
    uint32_t pceReset;
  };
  const Expect expected[] = {
      {{"CVX-37", "CVX-06"}, "CVX-06", 3, false, false, 0},
      {{"CVX-07", ""}, "other parts", 3, true, false, 0xFFFF},
      {{"CVX-08", ""}, "Fenn", 3, true, false, 0xFFFF},
      {{"CVX-17", ""}, "CVX-17..19", 3, true, true, 0xFFFF},
      {{"CVX-21", ""}, "Tebo, Casp", 4, true, false, 0x0000},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.part.part);
    ModuleProject project = SysProject(e.part.part, "SYS SYS_V2_Classic NONE IRQ: \"System Integration\"\n", {},
                       e.part.defined);
    ASSERT_TRUE(project.Opened());
    auto& sys = dynamic_cast<CpmSYS_V2&>(Sys(project));
    EXPECT_STREQ(sys.Variant().name, e.row);
    EXPECT_EQ(sys.ListItems("Stop disable").size(), e.stopItems);
    EXPECT_EQ(sys.ListItems("Wait disable").size(), e.stopItems);
    EXPECT_EQ(sys.ListId("DPORT clock to processor core") != 0, e.dport);
    EXPECT_EQ(sys.ControlId("CAN2") != 0, e.can2);
    EXPECT_EQ(sys.FindClockRow("ZCAN2") >= 0, e.can2);
    if (const Register* pce2 = sys.FindOwnRegister("-SIM_PCE2_INIT")) {
      EXPECT_EQ((pce2->flags & DUMMYREG) == 0, e.can2);
    }
    if (const Register* pce = sys.FindOwnRegister("-SIM_PCE_INIT"))
      EXPECT_EQ(pce->value, e.pceReset);
    else
      EXPECT_STREQ(e.row, "CVX-06");
  }
}

TEST(SysVariants, ClockOutputBoxesNameThePinThePortDescriptionsGive) {
  // Pins of port F carry the SYS clock outputs 0 and 3 (behind a selector bit as well); bit 7
  // belongs to another module and bit 8 to no pin, so those boxes keep the general caption.
  ModuleProject project = SysProject("CVX-17",
                     "SYS SYS_V2_Classic NONE IRQ: \"System Integration\"\n"
                     "GPIO_F GPIO NONE IRQ: \"Port F\"\n",
                     {}, {},
                     "GPIO_F\n{\n    0, CLKOSR6:SYS.CLKO0\n"
                     "    1, CLKOSR7:OCCS.XTAL\n    3, GPS1&CLKOSR9:SYS.CLKO3\n}\n");
  ASSERT_TRUE(project.Opened());
  CSysModule& sys = Sys(project);
  EXPECT_NE(sys.ControlId("CLKO0 clock on GPIO_F0"), 0u);
  EXPECT_NE(sys.ControlId("CLKO1 clock on GPIO"), 0u);
  EXPECT_NE(sys.ControlId("CLKO2 clock on GPIO"), 0u);
  EXPECT_NE(sys.ControlId("CLKO3 clock on GPIO_F3"), 0u);
  // The box of bit 9 sets bit 9.
  ASSERT_TRUE(sys.CreatePage());
  ASSERT_TRUE(sys.GetPage()->Click(sys.ControlId("CLKO3 clock on GPIO_F3")));
  EXPECT_EQ(project.Reg("SYS", "-SIM_CLKOSR_INIT").value & 0x3C0, 1u << 9);
}

TEST(SysVariants, SourceListsFollowTheirOutputBoxOnEveryPageThatHasOne) {
  // Brel's two clock outputs and Dorn's one: each list is enabled exactly while its own box
  // is checked, whatever the other output does.
  struct Output {
    const char* part;
    const char* kind;
    const char* box;
    const char* list;
    uint32_t clearBit;  // the boxes are inverted: a clear bit checks them
  };
  const Output outputs[] = {{"CVX-28", "SYS_Brel", "Enable CLKO_0", "CLKO_0 source", 1u << 5},
                            {"CVX-28", "SYS_Brel", "Enable CLKO_1", "CLKO_1 source", 1u << 13},
                            {"CVX-31", "SYS_V2_Dorn", "Enable CLKOUT", "CLKOUT source", 1u << 5}};
  for (const Output& output : outputs) {
    SCOPED_TRACE(output.list);
    ModuleProject project = SysProject(output.part,
                       std::string("SYS ") + output.kind + " NONE IRQ: \"System Integration\"\n");
    ASSERT_TRUE(project.Opened());
    CSysModule& sys = Sys(project);
    Register& clkosr = project.Reg("SYS", "-SIM_CLKOSR_INIT");
    clkosr.value = 0xFFFF;  // every output off
    ASSERT_TRUE(sys.CreatePage());
    sys.UpdateEnables();
    EXPECT_FALSE(sys.IsChecked(output.box));
    EXPECT_FALSE(sys.GetPage()->Find(sys.ListId(output.list))->enabled);
    clkosr.value &= ~output.clearBit;
    sys.RefreshAll();
    sys.UpdateEnables();
    EXPECT_TRUE(sys.IsChecked(output.box));
    EXPECT_TRUE(sys.GetPage()->Find(sys.ListId(output.list))->enabled);
  }
}

TEST(SysVariants, HiddenListsStayBoundButOutOfTheHeaderComment) {
  ModuleProject classic = SysProject("CVX-01", "SYS SYS_V1 NONE IRQ: \"System Integration\"\n");
  ModuleProject dorn = SysProject("CVX-31", "SYS SYS_V2_Dorn NONE IRQ: \"System Integration\"\n");
  for (ModuleProject* project : {&classic, &dorn}) {
    ASSERT_TRUE(project->Opened());
    CSysModule& sys = Sys(*project);
    ASSERT_TRUE(sys.CreatePage());
    std::string comment;
    sys.GenerateComment(comment);
    EXPECT_NE(comment.find("Stop"), std::string::npos);
    EXPECT_EQ(comment.find("Internal memory map"), std::string::npos);
    EXPECT_EQ(comment.find("CLKOUT mode"), std::string::npos);
    EXPECT_EQ(comment.find("CLKOUT select"), std::string::npos);
  }
  // The hidden lists still read their fields.
  dorn.Reg("SYS", "-SIM_CLKOSR_INIT").value = 0x0003;
  EXPECT_EQ(Sys(dorn).Selection("CLKOUT select:"), 3);
}

// ---------------------------------------------------------------- peripheral clock check

TEST(SysPeripheralClock, AlternativeNamesFindTheirBoxAndUnknownNamesAreNeverChecked) {
  ModuleProject project = SysProject("CVX-28",
                     std::string(kBrelSys) +
                         "PIT_2 STUB NONE IRQ: \"!Interval Timer!PIT\"\n"
                         "QT_0 STUB NONE IRQ: \"Channel 0\"\n"
                         "XYZ STUB NONE IRQ: \"Unknown\"\n",
                     "#define PIT_2_CTRL_INIT 0x0001U\n#define XYZ_CTRL_INIT 0x0001U\n");
  ASSERT_TRUE(project.Opened());
  CSysModule& sys = Sys(project);
  EXPECT_EQ(sys.FindClockRow("PIT_2"), sys.FindClockRow("PIT"));
  EXPECT_EQ(sys.FindClockRow("SCI"), sys.FindClockRow("SCI_0"));
  EXPECT_EQ(sys.FindClockRow("PIT_"), -1);  // whole alternatives only
  EXPECT_EQ(sys.FindClockRow("XYZ"), -1);

  // PIT_2 is in use (loaded) with PCE bit 2 clear; the warning names its display name.
  EXPECT_EQ(SysWarning(project, "PIT"), ClockOff("Interval Timer"));
  // QT_0 has its clock off too but is not in use.
  EXPECT_FALSE(SysWarning(project, "Timer Channel 0"));
  EXPECT_EQ(project.WarningsOf("SYS").size(), 1u);

  // Checking the box on the page clears it; the box stays, back in black.
  ASSERT_TRUE(sys.CreatePage());
  const Control* pitBox = sys.GetPage()->Find(sys.ControlId("PIT"));
  ASSERT_NE(pitBox, nullptr);
  EXPECT_EQ(pitBox->textColour, kWarningTextColour);
  ASSERT_TRUE(sys.GetPage()->Click(sys.ControlId("PIT")));
  EXPECT_EQ(project.Reg("SYS", "-SIM_PCE_INIT").value, 0x0004u);
  project.Check();
  EXPECT_FALSE(SysWarning(project, "PIT"));
  EXPECT_TRUE(pitBox->shown);
  EXPECT_EQ(pitBox->text, "PIT");
  EXPECT_EQ(pitBox->textColour, kNormalTextColour);

  // The check keeps working with the page gone; ticking the module in the tree counts too.
  sys.DestroyPage();
  project.Reg("SYS", "-SIM_PCE_INIT").value = 0;
  (*project.Find("QT_0")).SetSelected(true);
  project.Check();
  EXPECT_EQ(SysWarning(project, "PIT"), ClockOff("Interval Timer"));
  EXPECT_EQ(SysWarning(project, "Timer Channel 0"), ClockOff("QT_0"));
}

TEST(SysPeripheralClock, ModulesSharingABoxKeepItsWarningWhileAnyOfThemNeedsIt) {
  // PIT_0 (in use) is checked before PIT_1 (not in use): the later check must not clear it.
  ModuleProject project = SysProject(
      "CVX-28",
      std::string(kBrelSys) + "PIT_0 STUB NONE IRQ: \"Timer\"\nPIT_1 STUB NONE IRQ: \"Timer\"\n",
      "#define PIT_0_CTRL_INIT 0x0001U\n");
  ASSERT_TRUE(project.Opened());
  EXPECT_EQ(SysWarning(project, "PIT"), ClockOff("PIT_0"));
  (*project.Find("PIT_0")).SetSelected(false);
  project.Check();
  EXPECT_FALSE(SysWarning(project, "PIT"));
}

TEST(SysPeripheralClock, IsNotRequestedOnTheClassicGroup) {
  ModuleProject project = SysProject("CVX-03", std::string(kBrelSys) + "PIT STUB NONE IRQ: \"Timer\"\n",
                     "#define PIT_CTRL_INIT 0x0001U\n");
  ASSERT_TRUE(project.Opened());
  EXPECT_EQ(project.WarningsOf("SYS").size(), 0u);
}

TEST(SysPeripheralClock, DornWarnsAboutTheCanControllerClockEvenWhenItIsUnused) {
  ModuleProject project = SysProject("CVX-31",
                     "SYS SYS_V2_Dorn NONE IRQ: \"System Integration\"\n"
                     "YSCAN STUB NONE IRQ: \"CAN\"\nDAC STUB NONE IRQ: \"DAC\"\n");
  ASSERT_TRUE(project.Opened());
  EXPECT_EQ(SysWarning(project, "YSCAN"),
            "To prevent memory read acces error, the YSCAN module clock should be enabled.");
  EXPECT_FALSE(SysWarning(project, "DAC"));  // other unused modules: no warning
  (*project.Find("YSCAN")).SetSelected(true);
  project.Check();
  EXPECT_EQ(SysWarning(project, "YSCAN"), ClockOff("YSCAN"));
  project.Reg("SYS", "-SIM_PCE1_INIT").value |= 1;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "YSCAN"));
}

TEST(SysPeripheralClock, ClassicLayoutReadsTheRegisterAndCvx06HasNoCheck) {
  ModuleProject fenn = SysProject("CVX-08",
                  "SYS SYS_V2_Classic NONE IRQ: \"System Integration\"\n"
                  "QT_A STUB NONE IRQ: \"Timer A\"\nZCAN2 STUB NONE IRQ: \"CAN\"\n",
                  "#define QT_A_CTRL_INIT 1\n#define ZCAN2_CTRL_INIT 1\n");
  ASSERT_TRUE(fenn.Opened());
  EXPECT_EQ(fenn.WarningsOf("SYS").size(), 0u);  // PCE resets to 0xFFFF outside Tebo and Casp
  fenn.Reg("SYS", "-SIM_PCE_INIT").value = 0xFFBF;
  fenn.Reg("SYS", "-SIM_PCE2_INIT").value = 0;
  fenn.Check();
  EXPECT_EQ(SysWarning(fenn, "TMR A"), ClockOff("QT_A"));
  // CAN2 has no box on this part, so nothing can show its warning.
  EXPECT_EQ(fenn.WarningsOf("SYS").size(), 1u);

  ModuleProject cvx06 = SysProject("CVX-37",
                   "SYS SYS_V2_Classic NONE IRQ: \"System Integration\"\n"
                   "QT_A STUB NONE IRQ: \"Timer A\"\n",
                   "#define QT_A_CTRL_INIT 1\n", "CVX-06");
  ASSERT_TRUE(cvx06.Opened());
  EXPECT_EQ(Sys(cvx06).GetRegisterCount(), 5u);
  EXPECT_EQ(Sys(cvx06).Registers()[1].name, "-SIM_PUDR_INIT");
  EXPECT_EQ(cvx06.WarningsOf("SYS").size(), 0u);
}

// ---------------------------------------------------------------- Brel cross-module checks

TEST(SysBrelChecks, HighSpeedClockNeedsThePllAndAMissingClockModuleCountsAsOff) {
  ModuleProject project = SysProject("CVX-28", kBrelSys);
  ASSERT_TRUE(project.Opened());
  project.Reg("SYS", "-SIM_PCR_INIT").value = 0xB000;  // timer, PWM and SCI from HS_PERF
  project.Check();
  EXPECT_EQ(SysWarning(project, "Timer clock sourced from HS_PERF (3x System Clock)"),
            "PLL must be ON and selected in OCCS if sourcing timer from HS_PERF");
  EXPECT_EQ(SysWarning(project, "PWM clock sourced from HS_PERF (3x System Clock)"),
            "PLL must be ON and selected in OCCS if sourcing PWM from HS_PERF");
  EXPECT_EQ(SysWarning(project, "SCI clock sourced from HS_PERF (3x System Clock)"),
            "PLL must be ON and selected in OCCS if sourcing SCI from HS_PERF");

  ModuleProject withPll = SysProject("CVX-28", std::string("OCCS OCCS_T NONE IRQ: \"Clock\"\n") + kBrelSys);
  ASSERT_TRUE(withPll.Opened());
  withPll.Reg("SYS", "-SIM_PCR_INIT").value = 0x1000;
  withPll.Check();
  EXPECT_TRUE(SysWarning(withPll, "SCI clock sourced from HS_PERF (3x System Clock)"));
  withPll.Reg("OCCS", "CTRL_INIT").value &= ~0x10u;  // "Enable PLL" is checked
  withPll.Check();
  EXPECT_EQ(withPll.WarningsOf("SYS").size(), 0u);
}

TEST(SysBrelChecks, ClockOutputsNeedTheirOscillator) {
  ModuleProject project = SysProject("CVX-28", std::string("OCCS OCCS_T NONE IRQ: \"Clock\"\n") + kBrelSys +
                                   "PMC PMC_T NONE IRQ: \"Power\"\n");
  ASSERT_TRUE(project.Opened());
  Register& clkosr = project.Reg("SYS", "-SIM_CLKOSR_INIT");
  clkosr.value = 0x2004;  // CLKO_0 on, 1 kHz oscillator; PMC oscillator off
  project.Check();
  EXPECT_EQ(SysWarning(project, "Enable CLKO_0"),
            "1 kHz oscilator in PMC module is not enabled and is selected as CLKO_0");
  project.Reg("PMC", "-PMC_CR2_INIT").value |= 0x100;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "Enable CLKO_0"));

  // OSCTL 0x1600 has the crystal oscillator off and the relaxation oscillator on.
  clkosr.value = 0x0525;  // CLKO_0 off (source 5), CLKO_1 on with source 5
  project.Check();
  EXPECT_FALSE(SysWarning(project, "Enable CLKO_0"));
  EXPECT_EQ(SysWarning(project, "Enable CLKO_1"),
            "XTAL pin is not configured properly and is needed for CLKO_1 if crystal oscilator "
            "is not enabled - see OCCS");
  clkosr.value = 0x2006;  // CLKO_0 on the relaxation oscillator, which runs
  project.Check();
  EXPECT_EQ(project.WarningsOf("SYS").size(), 0u);
  project.Reg("OCCS", "OSCTL_INIT").value |= 0x8000;
  project.Check();
  EXPECT_EQ(SysWarning(project, "Enable CLKO_0"),
            "Relaxation oscilator in OCCS module is not enabled and is selected as CLKO_0");
}

TEST(SysBrelChecks, TimerInputsFaultsAndPwmSourcesNeedTheirSourceModule) {
  ModuleProject noPwm = SysProject("CVX-28", kBrelSys);
  ASSERT_TRUE(noPwm.Opened());
  noPwm.Reg("SYS", "-SIM_PCE_INIT").value = 0x0003;   // both timer channels
  noPwm.Reg("SYS", "-SIM_IPS1_INIT").value = 0x0004;  // T0 from PWM
  noPwm.Check();
  EXPECT_FALSE(SysWarning(noPwm, "Timer T0:"));  // a missing PWM counts as enabled

  ModuleProject project = SysProject("CVX-28", std::string(kBrelSys) +
                                   "PWM PWM_T NONE IRQ: \"PWM\"\n"
                                   "HSCMP_1 HSCMP_T NONE IRQ: \"Comparator\"\n");
  ASSERT_TRUE(project.Opened());
  project.Reg("SYS", "-SIM_PCE_INIT").value = 0x0001;  // timer channel 0 only
  project.Reg("SYS", "-SIM_IPS1_INIT").value = 0x0004;
  project.Check();
  EXPECT_EQ(SysWarning(project, "Timer T0:"),
            "The module which provides selected source signal \"PWM\"  for Timer T0 is not "
            "enabled.");
  project.Reg("SYS", "-SIM_IPS1_INIT").value = 0x0000;  // package pin: never a warning
  project.Check();
  EXPECT_FALSE(SysWarning(project, "Timer T0:"));

  // FAULT2 and FAULT3 from comparators, checked only while the PWM runs.
  project.Reg("SYS", "-SIM_IPS0_INIT").value = 0x0C00;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "FAULT2:"));
  project.Reg("PWM", "PMCTL_INIT").value = 1;
  project.Check();
  EXPECT_EQ(SysWarning(project, "FAULT2:"),
            "Comparator 1 (HSCMP_1) module is not enabled (and is selected as FAULT2 source).");
  EXPECT_EQ(SysWarning(project, "FAULT3:"),
            "Comparator 2 (HSCMP_2) module is not enabled (and is selected as FAULT3 source).");
  project.Reg("HSCMP_1", "CR1_INIT").value = 1;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "FAULT2:"));
  EXPECT_TRUE(SysWarning(project, "FAULT3:"));

  // PSRC1 on timer channel T1 (off) matters only while the PWM takes input 1 from SYS.
  project.Reg("SYS", "-SIM_IPS0_INIT").value = 4 << 3;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "PSRC1:"));
  project.Reg("PWM", "PMSRC_INIT").value = 1 << 2;
  project.Check();
  EXPECT_EQ(SysWarning(project, "PSRC1:"),
            "The module which provides selected source signal \"Timer channel T1\" for PWM is "
            "not enabled.");
}

TEST(SysBrelChecks, WindowingIsCheckedOnlyForComparatorsThatWindowOrSample) {
  ModuleProject project = SysProject("CVX-28", std::string(kBrelSys) +
                                   "HSCMP_0 HSCMP_T NONE IRQ: \"Comparator\"\n"
                                   "PDB PDB_T NONE IRQ: \"Delay\"\n");
  ASSERT_TRUE(project.Opened());
  Register& ips1 = project.Reg("SYS", "-SIM_IPS1_INIT");
  ips1.value = 2 << 6;                              // C0_WS on PDB trigger A
  project.Reg("HSCMP_0", "CR1_INIT").value = 0x01;  // enabled, no window or sample mode
  project.Check();
  EXPECT_FALSE(SysWarning(project, "C0_WS:"));
  project.Reg("HSCMP_0", "CR1_INIT").value = 0x41;  // windowing
  project.Check();
  EXPECT_EQ(SysWarning(project, "C0_WS:"),
            "The module which provides selected source signal \"PDB Trigger A\" for Comparator "
            "Windowing/Sampling is not enabled.");
  // A trigger counts only while the delay block is in use.
  project.Reg("PDB", "-PDB_SCR_INIT").value = 0x0002;
  project.Check();
  EXPECT_TRUE(SysWarning(project, "C0_WS:"));
  (*project.Find("PDB")).SetSelected(true);
  project.Check();
  EXPECT_FALSE(SysWarning(project, "C0_WS:"));
  ips1.value = 4 << 6;  // tied low
  project.Reg("PDB", "-PDB_SCR_INIT").value = 0;
  project.Check();
  EXPECT_FALSE(SysWarning(project, "C0_WS:"));
}

// ---------------------------------------------------------------- reload-sync rule

TEST(SysClassicChecks, ReloadSyncNeedsTheTimerAtLeastAsFastAsThePwmOnTeboOnly) {
  for (const char* part : {"CVX-21", "CVX-08"}) {
    SCOPED_TRACE(part);
    ModuleProject project = SysProject(part, "SYS SYS_V2_Classic NONE IRQ: \"System Integration\"\n");
    ASSERT_TRUE(project.Opened());
    EXPECT_EQ(Sys(project).Registers()[5].name, "-SIM_GPS_INIT");
    project.Reg("SYS", "-SIM_CONROL_INIT").value = 1 << 9;
    project.Reg("SYS", "-SIM_GPS_INIT").value = 1 << 14;  // PWM from HS_PERF, timer not
    project.Check();
    const auto warning = SysWarning(project, "Timer clock sourced from HS_PERF (3x System Clock)");
    if (std::string(part) == "CVX-21") {
      EXPECT_EQ(warning,
                "When PWM reload pulse is routed to Timer, the Timer must run at the "
                "same or higher clock");
    } else {
      EXPECT_FALSE(warning);
    }
    project.Reg("SYS", "-SIM_GPS_INIT").value = 3 << 14;
    project.Check();
    EXPECT_FALSE(SysWarning(project, "Timer clock sourced from HS_PERF (3x System Clock)"));
  }
}

// ---------------------------------------------------------------- lists and pin signals

TEST(SysLists, PinFunctionListsWriteTheirSelectBitsAndSignalsFollowTheSettings) {
  ModuleProject project = SysProject("CVX-28", kBrelSys);
  ASSERT_TRUE(project.Opened());
  CSysModule& sys = Sys(project);
  ASSERT_TRUE(sys.CreatePage());
  Page& page = *sys.GetPage();
  // GPIO B4 is a three-bit field at bit 11 of GPSB0; "RXD" is item 4.
  ASSERT_TRUE(page.SelectItem(sys.ListId("GPIO B4:"), 4));
  EXPECT_EQ(project.Reg("SYS", "-SIM_GPSB0_INIT").value, 4u << 11);
  // A field value without an item shows no selection.
  project.Reg("SYS", "-SIM_GPSA_INIT").value = 3;
  sys.RefreshAll();
  EXPECT_EQ(page.Find(sys.ListId("GPIO A3:"))->selection, -1);
  EXPECT_EQ(sys.Selection("GPIO A3:"), -1);

  EXPECT_FALSE(sys.IsSignalUsed("CLKO_1"));
  ASSERT_TRUE(page.Click(sys.ControlId("Enable CLKO_1")));
  EXPECT_TRUE(sys.IsSignalUsed("CLKO_1"));
  EXPECT_FALSE(sys.IsSignalUsed("CLKO_0"));
  // The source list follows its enable box.
  sys.UpdateEnables();
  EXPECT_TRUE(page.Find(sys.ListId("CLKO_1 source"))->enabled);
  EXPECT_FALSE(page.Find(sys.ListId("CLKO_0 source"))->enabled);

  EXPECT_TRUE(sys.IsSignalUsed("FAULT2"));  // input pin, no PWM module
  project.Reg("SYS", "-SIM_IPS0_INIT").value = 1 << 10;
  EXPECT_FALSE(sys.IsSignalUsed("FAULT2"));
  EXPECT_FALSE(sys.IsSignalUsed("T1"));  // timer channel 1 not clocked
  project.Reg("SYS", "-SIM_PCE_INIT").value = 0x0002;
  EXPECT_TRUE(sys.IsSignalUsed("T1"));
  EXPECT_FALSE(sys.IsSignalUsed("TDI"));
}

TEST(SysLists, V2PagesPickTheTextsOfTheirPart) {
  ModuleProject fenn = SysProject("CVX-08", "SYS SYS_V2_Classic NONE IRQ:17 \"System Integration\"\n");
  ModuleProject tebo = SysProject("CVX-21", "SYS SYS_V2_Classic NONE IRQ:14 \"System Integration\"\n");
  ASSERT_TRUE(fenn.Opened());
  ASSERT_TRUE(tebo.Opened());
  EXPECT_EQ(Sys(fenn).ListItems("CLKOUT mode:")[1], "Off: Tristated");
  EXPECT_EQ(Sys(tebo).ListItems("CLKOUT mode:")[1], "Off: 0");
  EXPECT_EQ(Sys(fenn).ListItems("Stop disable").size(), 3u);
  EXPECT_EQ(Sys(tebo).ListItems("Wait disable").size(), 4u);
  ASSERT_TRUE(Sys(fenn).CreatePage());
  EXPECT_EQ(Sys(fenn).GetPage()->Find(Sys(fenn).ListId("CLKOUT mode:"))->items[1],
            "Off: Tristated");
  // The low-voltage interrupt gets its interrupt panel placeholder.
  EXPECT_NE(Sys(fenn).GetPage()->Find(CModule::kInterruptPanelBase), nullptr);

  ModuleProject dorn = SysProject("CVX-31", "SYS SYS_V2_Dorn NONE IRQ: \"System Integration\"\n");
  ASSERT_TRUE(dorn.Opened());
  CSysModule& sys = Sys(dorn);
  ASSERT_TRUE(sys.CreatePage());
  EXPECT_FALSE(sys.GetPage()->Find(sys.ListId("CLKOUT select:"))->shown);
  // TB1 reaches its pin through "Timer B1:" on its GPIO item, with the timer clocked.
  EXPECT_FALSE(sys.IsSignalUsed("TB1"));
  ASSERT_TRUE(sys.GetPage()->Click(sys.ControlId("TMR B1")));
  EXPECT_EQ(dorn.Reg("SYS", "-SIM_PCE0_INIT").value, 1u << 10);
  EXPECT_TRUE(sys.IsSignalUsed("TB1"));
  ASSERT_TRUE(sys.GetPage()->SelectItem(sys.ListId("Timer B1:"), 1));
  EXPECT_EQ(dorn.Reg("SYS", "-SIM_GPS3_INIT").value, 1u << 13);
  EXPECT_FALSE(sys.IsSignalUsed("TB1"));
  EXPECT_FALSE(sys.IsSignalUsed("CLKO"));
}

TEST(SysExamples, EveryExampleLoadsIntoItsSystemModuleWithValidSelections) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"brel", "SYS_Brel"},      {"casp", "SYS_V2_Casp"},    {"classic", "SYS_V1"},
      {"dorn", "SYS_V2_Dorn"},   {"fenn", "SYS_V2_Classic"}, {"later", "SYS_V2_Classic"},
      {"tebo", "SYS_V2_Classic"}};
  for (const auto& [group, kind] : expected) {
    SCOPED_TRACE(group);
    TempFolder copy("sys-example");
    std::filesystem::copy(std::filesystem::path(TARQ_SOURCE_DIR) / "examples" / group,
                          copy.Path("project"), std::filesystem::copy_options::recursive);
    CollectingHost host;
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    environment.readUserOptions = false;
    CProjDoc doc(host, environment, RegisterBuiltInModuleKinds);
    ASSERT_TRUE(doc.OpenProject(copy.Path("project")));
    CSysModule* sys = CSysModule::Find(&doc);
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(sys->GetClass(), kind);
    EXPECT_TRUE(sys->IsSelected());
    ASSERT_TRUE(sys->CreatePage());
    sys->UpdateEnables();
    EXPECT_TRUE(sys->ValidateControls(false));
    if (group == "brel") {
      EXPECT_TRUE(sys->IsChecked("Timer Channel 0"));
      EXPECT_TRUE(sys->IsChecked("ADC 0"));
      EXPECT_FALSE(sys->IsChecked("PIT"));
      EXPECT_EQ(sys->Selection("GPIO B4:"), 4);  // "RXD"
    }
  }
}

}  // namespace
}  // namespace tarq

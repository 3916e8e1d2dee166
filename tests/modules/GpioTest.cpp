// The GPIO ports inside a real document: function selection through the system module's
// selector bits, the rows of a port, the port and row checks, the pin check of a module
// with signals and the placing of its missing signals.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>

#include "../support/ModuleHarness.h"
#include "framework/Host.h"
#include "framework/Pins.h"
#include "framework/Warnings.h"
#include "modules/gpio.h"

namespace tarq {
namespace {

// A module with signals on the ports; the names in `unused` are not in use.
class SignalModule : public CModule {
 public:
  SignalModule(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {
    static const RegisterDecl kRegs[] = {{"CTRL_INIT", 0, DW16}};
    InitRegisters(kRegs, 1);
  }
  void InitModule(ModuleContext& doc) override {
    CModule::InitModule(doc);
    SetHasPins(true);
  }
  bool IsSignalUsed(const std::string& signal) const override { return !unused.count(signal); }

  std::set<std::string> unused;
};

// A project of one part with the given tree lines, module information and defines.
ModuleProject PinProject(const std::string& part, const std::string& tree, const std::string& info,
                         const std::string& defines = {}) {
  return ModuleProject({.part = part, .defines = defines, .tree = tree, .moduleInfo = info,
                        .factory = [](ModuleFactory& factory) { factory.Register<SignalModule>("SIGNALS"); }});
}
CpmGPIO& Port(ModuleProject& project, char letter) {
  return project.Module<CpmGPIO>(std::string("GPIO_") + letter);
}

std::string Link(CModuleBase& module) { return module.MakeLinkHtml({}); }

const char* const kBrelTree =
    "SYS SYS_Brel NONE IRQ: \"System Integration\"\n"
    "GPIO_A GPIO NONE IRQ: \"Port A\"\n"
    "GPIO_B GPIO NONE IRQ: \"Port B\"\n"
    "SCI_0 SIGNALS NONE IRQ: \"Serial\"\n";

// Pin 3 tells three functions apart by GPS0 and GPS1; pin 6 needs both bits for one of them.
const char* const kBrelInfo =
    "GPIO_A\n{\n"
    "  0, SCI_0.RXD\n"
    "  3, PWM.PWM3, GPS0:SCI_0.TXD, GPS1:OCCS.EXTAL\n"
    "  6, PWM.FAULT0, GPS6:ADC_0.ANA1, GPS7:IIC.SCL, GPS6&GPS7:SCI_0.TXD\n"
    "  7, \"SYS.RESETB\", checkall\n"
    "  PER=0x0000\n"
    "}\n"
    "GPIO_B\n{\n"
    "  2, SPI_0.MISO, GPS23:SCI_0.TXD\n"
    "  5,\n"
    "  PER=0x0000\n"
    "}\n";

// ---------------------------------------------------------------- selector bits

TEST(GpioFunctions, SelectorBitsTellFunctionsApartBothWays) {
  ModuleProject project = PinProject("CVX-28", kBrelTree, kBrelInfo);
  ASSERT_TRUE(project.Opened());
  CpmGPIO& a = Port(project, 'A');
  Register& gpsa = project.Reg("SYS", "-SIM_GPSA_INIT");
  Register& per = project.Reg("GPIO_A", "PER_INIT");

  a.SelectFunction(3, 2);  // TXD: GPS0 set, GPS1 clear
  EXPECT_EQ(per.value & 0x8u, 0x8u);
  EXPECT_EQ(gpsa.value & 0x3u, 0x1u);
  EXPECT_EQ(a.CurrentFunction(3), 2);
  a.SelectFunction(3, 3);  // EXTAL: the other bit
  EXPECT_EQ(gpsa.value & 0x3u, 0x2u);
  EXPECT_EQ(a.CurrentFunction(3), 3);
  a.SelectFunction(3, 1);  // PWM3: both clear
  EXPECT_EQ(gpsa.value & 0x3u, 0x0u);
  EXPECT_EQ(a.CurrentFunction(3), 1);
  a.SelectFunction(6, 4);  // both bits of pin 6
  EXPECT_EQ(gpsa.value & 0xC0u, 0xC0u);
  EXPECT_EQ(a.CurrentFunction(6), 4);
  EXPECT_EQ(a.CurrentFunctionName(6), "TXD");
  // GPIO clears the peripheral bit only; the selector bits stay.
  a.SelectFunction(6, 0);
  EXPECT_EQ(per.value & 0x40u, 0u);
  EXPECT_EQ(gpsa.value & 0xC0u, 0xC0u);
  EXPECT_EQ(a.CurrentFunction(6), 0);
  EXPECT_EQ(a.CurrentFunctionName(6), "GPIO_A6");

  // GPS bit 23 of port B lives in the second pin-select register.
  Port(project, 'B').SelectFunction(2, 2);
  EXPECT_EQ(project.Reg("SYS", "-SIM_GPSB0_INIT").value, 1u << 7);

  // The page's mode list writes and reads the same way; a bit pattern no function asks
  // for leaves the list without a selection, which the page refuses to keep.
  ASSERT_TRUE(a.CreatePage());
  Page& page = *a.GetPage();
  const uint32_t modeList = a.FindPinDlg(3)->FullId(CpmGPIO_PinDlg::kModeList);
  ASSERT_TRUE(page.SelectItem(modeList, 2));
  EXPECT_EQ(gpsa.value & 0x3u, 0x1u);
  gpsa.value |= 0x3u;
  a.RefreshAll();
  EXPECT_EQ(a.CurrentFunction(3), -1);
  EXPECT_EQ(page.FindControlById(modeList).control->selection, -1);
  EXPECT_FALSE(a.ValidateControls(false));
}

TEST(GpioFunctions, PinLinesAreReadWithTheirOddities) {
  PinDescription pin;
  ASSERT_TRUE(ParsePinDescription(" 6 ,\t\"GPS1&GPS9:A|B.SIG\", C.X, GPS2:D.Y, GPS3:E.Z, checkall", pin));
  EXPECT_EQ(pin.pin, 6);
  EXPECT_TRUE(pin.checkAll);
  ASSERT_EQ(pin.functions.size(), 4u);
  EXPECT_EQ(pin.functions[0].owners, (std::vector<std::string>{"A", "B"}));
  // Three selector bits are remembered; GPS3 is a fourth and is not.
  EXPECT_EQ(pin.gpsBits, (std::vector<int>{1, 9, 2}));
  EXPECT_EQ(pin.functions[0].gpsSet, 0x3u);
  EXPECT_EQ(pin.functions[2].gpsSet, 0x4u);
  EXPECT_EQ(pin.functions[3].gpsSet, 0u);

  ASSERT_TRUE(ParsePinDescription("0x0F, OWNER_ONLY", pin));
  EXPECT_EQ(pin.pin, 15);
  EXPECT_EQ(pin.functions[0].signal, "");  // no dot, no signal
  ASSERT_TRUE(ParsePinDescription("4", pin));
  EXPECT_TRUE(pin.voidLine);
  EXPECT_EQ(pin.FunctionNames(), (std::vector<std::string>{"Peripheral (void)"}));
  EXPECT_FALSE(ParsePinDescription("16, A.B", pin));
  EXPECT_FALSE(ParsePinDescription("PUR=0x00FF", pin));
  EXPECT_FALSE(ParsePinDescription("x, A.B", pin));
}

// ---------------------------------------------------------------- rows and registers

TEST(GpioPorts, RowsFollowThePinLinesAndRegistersTheChipGroup) {
  ModuleProject project = PinProject("CVX-28", kBrelTree, kBrelInfo);
  ASSERT_TRUE(project.Opened());
  CpmGPIO& a = Port(project, 'A');
  EXPECT_EQ(a.ExistingPins(), (std::vector<int>{0, 3, 6, 7}));
  EXPECT_EQ(a.GetRegisterCount(), 10u);
  EXPECT_EQ(a.FindPinDlg(1), nullptr);
  ASSERT_TRUE(a.CreatePage());
  EXPECT_NE(a.GetPage()->GetChildPage(0xE906), nullptr);
  EXPECT_EQ(a.GetPage()->GetChildPage(0xE901), nullptr);
  EXPECT_EQ(a.FindPinDlg(3)->Title(), "Pin 3 : GPIO / PWM3 / TXD / EXTAL");
  EXPECT_EQ(Port(project, 'B').FindPinDlg(5)->Title(), "Pin 5 : GPIO / Peripheral (void)");
  EXPECT_EQ(Port(project, 'B').FindPinDlg(5)->ModeItems(),
            (std::vector<std::string>{"GPIO", "Peripheral"}));
  // The Brel ports have no open-drain register; the linked SYS registers come with the port.
  EXPECT_TRUE(a.Registers()[CpmGPIO::kPpmode].Has(NOSHOWLIST));
  EXPECT_FALSE(a.RunTimeRegisters().empty());
  EXPECT_EQ(a.RunTimeRegisters().front()->name, "-SIM_GPSA_INIT");

  EXPECT_EQ(a.PinName(3), "GPIO_A3");
  EXPECT_EQ(a.CurrentFunctionName(3), "GPIO_A3");  // PER=0: every pin is a GPIO
  EXPECT_EQ(a.PinLink(3), a.MakeLink((0xE903u << 16) | CpmGPIO_PinDlg::kRowGroup));
}

TEST(GpioPorts, EightPinPortsOfEveryGroupAndTheirParameters) {
  struct Case {
    const char* part;
    const char* sys;
    size_t registers;
  };
  for (const Case& c : {Case{"CVX-03", "SYS_V1", 6}, Case{"CVX-07", "SYS_V2_Classic", 7},
                        Case{"CVX-21", "SYS_V2_Classic", 8}, Case{"CVX-31", "SYS_V2_Dorn", 8}}) {
    SCOPED_TRACE(c.part);
    std::string lines;
    for (int pin = 0; pin < 8; ++pin) lines += "  " + std::to_string(pin) + ", SCI_0.S" + std::to_string(pin) + "\n";
    ModuleProject project = PinProject(c.part,
                       std::string("SYS ") + c.sys + " NONE IRQ: \"System\"\nGPIO_B GPIO NONE IRQ: \"Port B\"\n"
                                                     "SCI_0 SIGNALS NONE IRQ: \"Serial\"\n",
                       "GPIO_B\n{\n" + lines + "  PUR=0x000F\n  PER=0x00F0\n  PPMODE=0x0003\n}\n");
    ASSERT_TRUE(project.Opened());
    CpmGPIO& b = Port(project, 'B');
    EXPECT_EQ(b.GetRegisterCount(), c.registers);
    EXPECT_EQ(b.ExistingPins().size(), 8u);
    ASSERT_TRUE(b.CreatePage());
    EXPECT_EQ(b.GetPage()->ChildPages().size(), 8u);
    const Register& pur = *b.FindOwnRegister("PUR_INIT");
    EXPECT_EQ(pur.value, 0x000Fu);
    EXPECT_EQ(pur.resetValue, 0x000Fu);
    EXPECT_EQ(b.FindOwnRegister("PER_INIT")->value, 0x00F0u);
    if (c.registers > 6) {
      EXPECT_EQ(b.FindOwnRegister("PPMODE_INIT")->value, 0x0003u);
    }
    EXPECT_EQ(b.CurrentFunctionName(4), "S4");
    EXPECT_EQ(b.CurrentFunctionName(3), "GPIO_B3");
  }
}

TEST(GpioPorts, OutputModeListCoversDriveStrengthOnItsGroups) {
  const std::string info = "GPIO_A\n{\n  2, SCI_0.TXD\n}\n";
  ModuleProject tebo = PinProject("CVX-21", "SYS SYS_V2_Classic NONE IRQ: \"System\"\nGPIO_A GPIO NONE IRQ: \"A\"\n", info);
  ASSERT_TRUE(tebo.Opened());
  CpmGPIO& a = Port(tebo, 'A');
  ASSERT_TRUE(a.CreatePage());
  const uint32_t list = a.FindPinDlg(2)->FullId(CpmGPIO_PinDlg::kOutputModeList);
  EXPECT_EQ(a.GetPage()->FindControlById(list).control->items.size(), 3u);
  ASSERT_TRUE(a.GetPage()->SelectItem(list, 2));
  EXPECT_EQ(a.FindOwnRegister("PPMODE_INIT")->value, 0x4u);
  EXPECT_EQ(a.FindOwnRegister("DRIVE_INIT")->value, 0x4u);
  ASSERT_TRUE(a.GetPage()->SelectItem(list, 1));
  EXPECT_EQ(a.FindOwnRegister("DRIVE_INIT")->value, 0u);
  a.FindOwnRegister("PPMODE_INIT")->value = 0;
  a.FindOwnRegister("DRIVE_INIT")->value = 0x4u;
  a.RefreshAll();
  EXPECT_EQ(a.GetPage()->FindControlById(list).control->selection, 0);

  ModuleProject later = PinProject("CVX-07", "SYS SYS_V2_Classic NONE IRQ: \"System\"\nGPIO_A GPIO NONE IRQ: \"A\"\n", info);
  ASSERT_TRUE(later.Opened());
  CpmGPIO& b = Port(later, 'A');
  ASSERT_TRUE(b.CreatePage());
  EXPECT_EQ(b.GetPage()->FindControlById(list).control->items,
            (std::vector<std::string>{"Open drain", "Push-pull"}));
}

// ---------------------------------------------------------------- checks

TEST(GpioChecks, InterruptPinsTheErrataAndOutputs) {
  const std::string info = "GPIO_A\n{\n  0, SCI_0.TXD\n  1, SCI_0.RXD\n  PER=0\n}\n";
  const std::string defines = "#define GPIO_A_IENR_INIT 0x0003U\n";
  const uint32_t errata = CpmGPIO::kIdErrata;
  ModuleProject classic = PinProject("CVX-03", "SYS SYS_V1 NONE IRQ: \"S\"\nGPIO_A GPIO NONE IRQ: \"A\"\n", info, defines);
  ASSERT_TRUE(classic.Opened());
  classic.Check();
  auto warning = classic.WarningAt("GPIO_A", errata);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, "More than one GPIO Interrupt pin selected (see chip errata)");
  classic.Reg("GPIO_A", "IENR_INIT").value = 0x0001;
  classic.Check();
  EXPECT_FALSE(classic.WarningAt("GPIO_A", errata));

  ModuleProject fenn = PinProject("CVX-08", "SYS SYS_V2_Classic NONE IRQ: \"S\"\nGPIO_A GPIO NONE IRQ: \"A\"\n", info,
                  defines + "#define GPIO_A_DDR_INIT 0x0002U\n");
  ASSERT_TRUE(fenn.Opened());
  fenn.Check();
  EXPECT_FALSE(fenn.WarningAt("GPIO_A", errata));
  // Pin 1 is an output with its interrupt enabled.
  CpmGPIO& a = Port(fenn, 'A');
  warning = fenn.WarningAt("GPIO_A", a.FindPinDlg(1)->FullId(CpmGPIO_PinDlg::kMustBeInput));
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, "GPIO pin #1 must be in GPIO-Input mode when using the interrupt");
  EXPECT_FALSE(fenn.WarningAt("GPIO_A", a.FindPinDlg(0)->FullId(CpmGPIO_PinDlg::kMustBeInput)));
  // In peripheral mode the interrupt does not matter.
  a.SelectFunction(1, 1);
  fenn.Check();
  EXPECT_FALSE(fenn.WarningAt("GPIO_A", a.FindPinDlg(1)->FullId(CpmGPIO_PinDlg::kMustBeInput)));
}

TEST(GpioChecks, TheSameFunctionOnTwoPinsIsNamedWithBothLinks) {
  ModuleProject project = PinProject("CVX-28", kBrelTree, kBrelInfo);
  ASSERT_TRUE(project.Opened());
  CpmGPIO& a = Port(project, 'A');
  CpmGPIO& b = Port(project, 'B');
  a.SelectFunction(3, 2);  // TXD on A3
  b.SelectFunction(2, 2);  // and on B2
  project.Check();
  const auto warning = project.WarningAt("GPIO_A", a.FindPinDlg(3)->FullId(CpmGPIO_PinDlg::kDuplicateNote));
  ASSERT_TRUE(warning);
  const std::string a3 = "<A HREF=\"" + a.PinLink(3) + "\">GPIO_A3</A>";
  const std::string b2 = "<A HREF=\"" + b.PinLink(2) + "\">GPIO_B2</A>";
  EXPECT_EQ(warning->text, PlainTextOf("The " + a3 + " is configured for the same function as " + b2));
  EXPECT_EQ(warning->link, b.PinLink(2));  // the first link of the note
  ASSERT_TRUE(a.CreatePage());
  project.Check();
  const Control* note =
      a.GetPage()->FindControlById(a.FindPinDlg(3)->FullId(CpmGPIO_PinDlg::kDuplicateNote)).control;
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->shown);
  EXPECT_EQ(note->text, "The same function is configured also on " + b2);
  b.SelectFunction(2, 1);
  project.Check();
  EXPECT_FALSE(project.WarningAt("GPIO_A", a.FindPinDlg(3)->FullId(CpmGPIO_PinDlg::kDuplicateNote)));
}

// ---------------------------------------------------------------- the pin check and FIXPINS

TEST(PinCheck, MessagesCountTheSignalsAndFixPinsPlacesTheMissingOnes) {
  ModuleProject project = PinProject("CVX-28", kBrelTree, kBrelInfo);
  ASSERT_TRUE(project.Opened());
  CModule& sci = dynamic_cast<CModule&>(*project.Find("SCI_0"));
  CModuleBase& portA = *project.Find("GPIO_A");
  CModuleBase& portB = *project.Find("GPIO_B");
  const uint32_t pinWarning = CModule::kPinWarningControlId;

  // RXD (A0) and TXD (A3, A6, B2): neither is placed.
  project.Check();
  auto warning = project.WarningAt("SCI_0", pinWarning);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, PlainTextOf("Two module pins (out of two) are not available on any device pin. See " +
                                       Link(portA) + " and " + Link(portB)));

  // Only RXD in use: one signal out of one.
  project.Module<SignalModule>("SCI_0").unused.insert("TXD");
  project.Check();
  warning = project.WarningAt("SCI_0", pinWarning);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text,
            PlainTextOf("The module signal (RXD) is not available on any device pin. See " + Link(portA)));
  project.Module<SignalModule>("SCI_0").unused.clear();

  // FIXPINS: RXD on A0, TXD on its first pin A3 (port A before port B).
  sci.OnLinkQuery(&sci, sci.MakeLink(0, "FIXPINS", true), "FIXPINS");
  EXPECT_EQ(Port(project, 'A').CurrentFunctionName(0), "RXD");
  EXPECT_EQ(Port(project, 'A').CurrentFunctionName(3), "TXD");
  EXPECT_EQ(Port(project, 'B').CurrentFunction(2), 0);
  project.Check();
  EXPECT_FALSE(project.WarningAt("SCI_0", pinWarning));

  // The page shows the good news, and the duplicate when TXD is placed twice.
  const PinReport placed =
      BuildPinReport(CollectSignals(project.Doc(), sci, {}, true), "");
  EXPECT_FALSE(placed.missing);
  EXPECT_EQ(placed.message, "Both module pins are configured properly in " + Link(portA));
  EXPECT_EQ(placed.controlText, placed.message + ".");
  Port(project, 'B').SelectFunction(2, 2);
  const PinReport twice = BuildPinReport(CollectSignals(project.Doc(), sci, {}, true), "FIX");
  EXPECT_EQ(twice.message, "Both module pins are configured properly in " + Link(portA) + " and " + Link(portB));
  EXPECT_EQ(twice.controlText, twice.message + ". Be aware that there are pins with duplicated functionality in " +
                                   Link(portA) + " and " + Link(portB) + ".");

  // One of two missing, with the FIXPINS link on the control only.
  Port(project, 'A').SelectFunction(0, 0);
  const PinReport one = BuildPinReport(CollectSignals(project.Doc(), sci, {}, true), "FIX");
  EXPECT_TRUE(one.missing);
  EXPECT_EQ(one.message, "One module signal (out of two) is not available on any device pin. See " + Link(portA));
  EXPECT_EQ(one.controlText, one.message + ". Be aware that there are pins with duplicated functionality in " +
                                 Link(portA) + " and " + Link(portB) + ". FIX");
}

TEST(PinCheck, FiltersCountWordsAndSignalCollection) {
  int forced = 0;
  const PinFilter portB("b67y");
  EXPECT_TRUE(portB.Admits("GPIO_B", 6, forced));
  EXPECT_EQ(forced, 0);
  EXPECT_TRUE(portB.Admits("GPIO_B", 7, forced));
  EXPECT_EQ(forced, 2);
  EXPECT_FALSE(portB.Admits("GPIO_A", 6, forced));
  EXPECT_FALSE(portB.Admits("GPIO_B", 5, forced));
  const PinFilter everyPort("3A");
  EXPECT_TRUE(everyPort.Admits("GPIO_C", 10, forced));
  EXPECT_TRUE(everyPort.Admits("GPIO_F", 3, forced));
  EXPECT_FALSE(everyPort.Admits("GPIO_F", 4, forced));
  EXPECT_FALSE(everyPort.Admits("PORT_X", 3, forced));
  EXPECT_TRUE(PinFilter("").Admits("ANYTHING", 9, forced));

  EXPECT_EQ(CountWord(0, false), "No");
  EXPECT_EQ(CountWord(10, true), "ten");
  EXPECT_EQ(CountWord(11, false), "11");

  ModuleProject project = PinProject("CVX-28", kBrelTree, kBrelInfo);
  ASSERT_TRUE(project.Opened());
  CModuleBase& sci = *project.Find("SCI_0");
  // A forced function is taken as it is, even one SCI_0 does not own.
  SignalMap signals = CollectSignals(project.Doc(), sci, "a3z", false);
  ASSERT_EQ(signals.size(), 1u);
  EXPECT_EQ(signals.begin()->first, "EXTAL");
  signals = CollectSignals(project.Doc(), sci, {}, false);
  ASSERT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals["TXD"].candidates.size(), 3u);
  EXPECT_EQ(signals["TXD"].candidates[1].position, 4);  // A6 needs both bits
  // The port itself: its signals are its pin names.
  signals = CollectSignals(project.Doc(), *project.Find("GPIO_B"), {}, false);
  EXPECT_EQ(signals.size(), 2u);
  EXPECT_EQ(signals["GPIO_B5"].selected.size(), 1u);
}

// ---------------------------------------------------------------- chip-group rows

// A part of every chip group, with the system module of its group.
struct GroupPart {
  const char* variant;  // the GpioVariants() row the part must select
  const char* part;
  const char* sys;
};
constexpr GroupPart kGroupParts[] = {
    {"Classic", "CVX-03", "SYS_V1"},         {"Later", "CVX-07", "SYS_V2_Classic"},
    {"Later", "CVX-08", "SYS_V2_Classic"},   {"Tebo/Casp", "CVX-21", "SYS_V2_Classic"},
    {"Tebo/Casp", "CVX-24", "SYS_V2_Casp"},  {"Dorn", "CVX-31", "SYS_V2_Dorn"},
    {"Brel", "CVX-28", "SYS_Brel"},
};

// What a person sees of a pin row, by the pin's state; written from the chip groups'
// behaviour, not from the variant rows.
enum class PinState { Input, Output, Peripheral };

bool PullUpExpected(const std::string& group, char port, int pin, PinState state) {
  if (group == "Classic") return state == PinState::Input;  // follows the direction
  if (group == "Brel") return state != PinState::Output && !(port == 'A' && pin == 7);  // reset pin
  return true;
}

TEST(GpioVariants, EveryChipGroupDeclaresItsRowsAndAppliesItsRules) {
  for (const GpioVariant& variant : GpioVariants()) {
    SCOPED_TRACE(variant.name);
    size_t parts = 0;
    for (const GroupPart& group : kGroupParts) {
      if (std::string(group.variant) != variant.name) continue;
      ++parts;
      SCOPED_TRACE(group.part);
      // A2 carries S1 or S2 (no selector bits: the first function reads as current), A6 S2,
      // A7 the reset pin on Brel, B7 the same pin number on another port, A5 a void line.
      ModuleProject project = PinProject(group.part,
                         std::string("SYS ") + group.sys + " NONE IRQ: \"S\"\n"
                             "GPIO_A GPIO NONE IRQ: \"A\"\nGPIO_B GPIO NONE IRQ: \"B\"\n"
                             "SCI_0 SIGNALS NONE IRQ: \"Serial\"\n",
                         "GPIO_A\n{\n  2, SCI_0.S1, SCI_0.S2\n  5,\n  6, SCI_0.S2\n  7, SYS.RESETB\n"
                         "  PER=0x0000\n}\nGPIO_B\n{\n  6, SCI_0.S3\n  7, SCI_0.S4\n  PER=0x0000\n}\n");
      ASSERT_TRUE(project.Opened());
      CpmGPIO& a = Port(project, 'A');
      CpmGPIO& b = Port(project, 'B');
      ASSERT_EQ(&a.Variant(), &variant);
      const std::string name = variant.name;
      const bool brel = name == "Brel";
      const size_t registers = name == "Classic" ? 6 : brel ? 10 : name == "Later" ? 7 : 8;
      EXPECT_EQ(a.GetRegisterCount(), registers);
      if (registers > CpmGPIO::kPpmode) {
        EXPECT_EQ(a.Registers()[CpmGPIO::kPpmode].Has(NOSHOWLIST), brel);
      }

      ASSERT_TRUE(a.CreatePage());
      ASSERT_TRUE(b.CreatePage());
      for (CpmGPIO* port : {&a, &b}) {
        for (int pin : port->ExistingPins()) {
          const CpmGPIO_PinDlg& row = *port->FindPinDlg(pin);
          EXPECT_EQ(row.Declaration().Verify(), std::vector<std::string>{}) << port->PinName(pin);
        }
      }

      const auto control = [](CpmGPIO& port, int pin, uint32_t id) {
        return port.GetPage()->FindControlById(port.FindPinDlg(pin)->FullId(id)).control;
      };
      // Notes on every group but the classic one; output stage lists by group.
      EXPECT_EQ(control(a, 2, CpmGPIO_PinDlg::kMustBeInput) != nullptr, name != "Classic");
      EXPECT_EQ(control(a, 2, CpmGPIO_PinDlg::kDuplicateNote) != nullptr, name != "Classic");
      EXPECT_EQ(control(a, 2, CpmGPIO_PinDlg::kDriveList) != nullptr, brel);
      const Control* outputMode = control(a, 2, CpmGPIO_PinDlg::kOutputModeList);
      const size_t positions = name == "Later" ? 2 : name == "Tebo/Casp" || name == "Dorn" ? 3 : 0;
      EXPECT_EQ(outputMode ? outputMode->items.size() : 0u, positions);
      if (positions > 0) {
        // The last position: push-pull, and on three positions the drive-strength bit too.
        ASSERT_TRUE(a.GetPage()->SelectItem(a.FindPinDlg(2)->FullId(CpmGPIO_PinDlg::kOutputModeList),
                                            static_cast<int>(positions) - 1));
        EXPECT_EQ(a.FindOwnRegister("PPMODE_INIT")->value & 0x4u, 0x4u);
        if (positions == 3) {
          EXPECT_EQ(a.FindOwnRegister("DRIVE_INIT")->value & 0x4u, 0x4u);
        }
      }

      // The enables of every pin in every state.
      for (CpmGPIO* port : {&a, &b}) {
        const char letter = port->PortLetter();
        for (int pin : port->ExistingPins()) {
          for (PinState state : {PinState::Input, PinState::Output, PinState::Peripheral}) {
            SCOPED_TRACE(port->PinName(pin) + " state " + std::to_string(static_cast<int>(state)));
            port->SetOwnBit(CpmGPIO::kPer, pin, state == PinState::Peripheral);
            port->SetOwnBit(CpmGPIO::kDdr, pin, state == PinState::Output);
            port->UpdateEnables();
            const bool gpio = state != PinState::Peripheral;
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kPullUpList)->enabled,
                      PullUpExpected(name, letter, pin, state));
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kInitList)->enabled, state == PinState::Output);
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kDirectionList)->enabled, gpio);
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kPolarityList)->enabled, gpio);
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kInterruptBox)->enabled, gpio);
            if (!brel) continue;
            // Drive strength and slew rate serve outputs, the filter inputs; peripherals all.
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kDriveList)->enabled, state != PinState::Input);
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kSlewBox)->enabled, state != PinState::Input);
            EXPECT_EQ(control(*port, pin, CpmGPIO_PinDlg::kFilterBox)->enabled, state != PinState::Output);
          }
          port->SetOwnBit(CpmGPIO::kPer, pin, false);
          port->SetOwnBit(CpmGPIO::kDdr, pin, false);
        }
      }

      // FIXPINS gives each signal a pin of its own: S1 takes A2, so S2 goes to A6 although A2
      // lists it too; S3 and S4 take B6 and B7. Every signal ends on exactly one pin, no pin
      // serves two signals, and each pin shows the signal it was given.
      CModule& sci = dynamic_cast<CModule&>(*project.Find("SCI_0"));
      EXPECT_TRUE(AssignMissingSignals(project.Doc(), sci, {}));
      EXPECT_EQ(a.CurrentFunctionName(2), "S1");
      EXPECT_EQ(a.CurrentFunctionName(6), "S2");
      EXPECT_EQ(b.CurrentFunctionName(6), "S3");
      EXPECT_EQ(b.CurrentFunctionName(7), "S4");
      EXPECT_EQ(a.CurrentFunction(7), 0);  // not a signal of the module
      std::set<std::pair<const PinPort*, int>> pins;
      const SignalMap placed = CollectSignals(project.Doc(), sci, {}, true);
      EXPECT_EQ(placed.size(), 4u);
      for (const auto& [signal, where] : placed) {
        ASSERT_EQ(where.selected.size(), 1u) << signal;
        const SignalPin& pin = where.selected.front();
        EXPECT_TRUE(pins.insert({pin.port, pin.pin}).second) << signal << " shares a pin";
        EXPECT_EQ(pin.port->CurrentFunctionName(pin.pin), signal);
      }
      EXPECT_FALSE(AssignMissingSignals(project.Doc(), sci, {}));
    }
    EXPECT_GT(parts, 0u) << "no part of the chip group is tested";
  }
}

}  // namespace
}  // namespace tarq

#include "modules/occs.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/Links.h"
#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"
#include "project/Settings.h"

namespace tarq {

namespace {

// Register positions; every table keeps this order.
constexpr size_t kCtrl = 0;       // PLLCR / CTRL
constexpr size_t kDivBy = 1;      // PLLDB / DIVBY
constexpr size_t kOsc = 2;        // IOSCTL / OSCTL
constexpr size_t kProt = 3;       // PROT or a placeholder
constexpr size_t kLockMode = 4;   // REQUIRED_LOCK_MODE
constexpr size_t kTrimUse = 5;    // USE_FACTORY_TRIM
constexpr size_t kRetrim = 6;     // RXOSC_RETRIM_CLK (Hz)
constexpr size_t kCopCtl = 7;
constexpr size_t kCopTo = 8;
constexpr size_t kClkosr = 9;     // classic only

constexpr uint32_t kClockReg = DW16 | NODEFAULT;
constexpr uint32_t kHidden = DUMMYREG | NOSHOWLIST;
constexpr uint32_t kPlaceholder = DW16 | kHidden;
constexpr uint32_t kTrimParam = DW8 | DECVALUE | USERDEFINE;
constexpr uint32_t kRetrimParam = DW32 | DECVALUE | USERDEFINE;

constexpr RegisterDecl kClassicTable[] = {
    {"PLLCR_INIT", 0x0011, kClockReg},          {"PLLDB_INIT", 0x2013, kClockReg},
    {"IOSCTL_INIT", 0x0080, DW16},              {"_dummy_", 0x80, kPlaceholder},
    {"REQUIRED_LOCK_MODE", 0x40, DW16},         {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0, DW16},
    {"-COP_COPTO_INIT", 0x0FFF, DW16},          {"CLKOSR_INIT", 0, DW16},
};
constexpr RegisterDecl kCvx06Table[] = {
    {"PLLCR_INIT", 0x0011, kClockReg},          {"PLLDB_INIT", 0x201D, kClockReg},
    {"OSCTL_INIT", 0x0000, DW16},               {"_dummy_", 0x80, kPlaceholder},
    {"REQUIRED_LOCK_MODE", 0x40, DW8},          {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0, DW16},
    {"-COP_COPTO_INIT", 0xFFFF, DW16},
};
// CVX-07 and the Fenn group.
constexpr RegisterDecl kLaterTable[] = {
    {"PLLCR_INIT", 0x0011, kClockReg},          {"PLLDB_INIT", 0x201D, kClockReg},
    {"OSCTL_INIT", 0x0000, DW16},               {"_dummy_", 0x80, kPlaceholder},
    {"REQUIRED_LOCK_MODE", 0x20, DW8},          {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0, DW16},
    {"-COP_COPTO_INIT", 0xFFFF, DW16},
};
constexpr RegisterDecl kTeboCaspTable[] = {
    {"PLLCR_INIT", 0x0011, kClockReg},          {"PLLDB_INIT", 0x2000, kClockReg},
    {"OSCTL_INIT", 0x0200, DW16},               {"PROT_INIT", 0, DW16},
    {"REQUIRED_LOCK_MODE", 0x20, DW8},          {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0, DW16},
    {"-COP_COPTO_INIT", 0xFFFF, DW16},
};
constexpr RegisterDecl kBrelTable[] = {
    {"CTRL_INIT", 0x0011, kClockReg},           {"DIVBY_INIT", 0x2000, kClockReg},
    {"OSCTL_INIT", 0x1600, DW16},               {"PROT_INIT", 0, DW16},
    {"REQUIRED_LOCK_MODE", 0x20, DW8},          {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0x0302, DW16},
    {"-COP_COPTO_INIT", 0xFFFF, DW16},          {"_dummy_", 0x80, kPlaceholder},
};
constexpr RegisterDecl kDornTable[] = {
    {"CTRL_INIT", 0x0011, kClockReg},           {"DIVBY_INIT", 0x201D, kClockReg},
    {"OSCTL_INIT", 0x1600, DW16},               {"PROT_INIT", 0, DW16},
    {"REQUIRED_LOCK_MODE", 0x20, DW8},          {"USE_FACTORY_TRIM", 0, kTrimParam},
    {"RXOSC_RETRIM_CLK", 8000000, kRetrimParam}, {"-COP_COPCTL_INIT", 0x0302, DW16},
    {"-COP_COPTO_INIT", 0xFFFF, DW16},          {"_dummy_", 0x80, kPlaceholder},
};

constexpr float kThird = 0.33333334f;
using Users = std::vector<OccsVariant::HighSpeedUser>;
const Users kTeboUsers = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
                          {"Timer", "Timer clock sourced from HS_PERF (3x System Clock)"}};
const Users kCaspUsers = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
                          {"Timer", "Timer A clock sourced from HS_PERF (3x System Clock)"}};
const Users kBrelUsers = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
                          {"Timer", "Timer clock sourced from HS_PERF (3x System Clock)"},
                          {"SCI", "SCI clock sourced from HS_PERF (3x System Clock)"}};
const Users kDornUsers = {{"SCI", "SCI0 clock sourced from HS_PERF (2x System Clock)"},
                          {"Timer", "Timer A clock sourced from HS_PERF (2x System Clock)"}};

// The classic group: prescaler, PLL output over two, 80 MHz system clock, COP from F_out.
OccsVariant Classic(const char* name, std::vector<int> tests, bool relaxation) {
  return {.name = name, .partTests = std::move(tests), .table = kClassicTable,
          .oscillatorRegister = relaxation, .relaxation = relaxation, .trimHighBit = 7,
          .trimMaximum = 255, .prescaler = true, .postscalerLow = 10, .postscalerHigh = 11,
          .postscalerItems = 4, .lockModeValues = {1, 2}, .copDivisorHighBit = 11,
          .clockOutput = true, .systemIsOutput = true, .copFromOutput = true,
          .systemLimit = 80, .vcoLow = 80, .vcoHigh = 240};
}

// CVX-06, CVX-07, the Fenn group and unknown parts: prescaler, 60 MHz system clock.
OccsVariant Later(const char* name, std::vector<int> tests, std::span<const RegisterDecl> table) {
  return {.name = name, .partTests = std::move(tests), .table = table, .prescaler = true,
          .postscalerLow = 10, .postscalerHigh = 11, .postscalerItems = 4};
}

// Tebo and Casp: PLL fixed at 24, F_out a third and F_hs half of the VCO.
OccsVariant TeboCasp(const char* name, std::vector<int> tests) {
  return {.name = name, .partTests = std::move(tests), .table = kTeboCaspTable,
          .relaxation = true, .fixedMultiplier = true, .postscalerLow = 8,
          .postscalerHigh = 10, .postscalerItems = 4, .firstSourceItem = "Osc./Ext. clock",
          .pllOutputFactor = kThird, .pllHighSpeedFactor = 0.5f, .highSpeed = true,
          .systemLimit = 64};
}

// Brel and Dorn: the second layout (relaxation and crystal oscillator registers, MSTR_OSC).
OccsVariant Second(const char* name, std::vector<int> tests, std::span<const RegisterDecl> table) {
  return {.name = name, .partTests = std::move(tests), .table = table, .secondLayout = true,
          .cop = false, .protection = true, .pllHighSpeedFactor = 0.5f, .highSpeed = true,
          .systemLimit = 64};
}

std::vector<OccsVariant> MakeVariants() {
  std::vector<OccsVariant> rows;
  rows.push_back(Classic("CVX-01", {kTestCvx01}, true));
  OccsVariant cvx02 = Classic("CVX-02", {kTestCvx02}, true);
  cvx02.relaxationFixed = true;
  rows.push_back(cvx02);
  rows.push_back(Classic("classic", {kTestClassic}, false));
  OccsVariant cvx06 = Later("CVX-06", {kTestCvx06}, kCvx06Table);
  cvx06.oscillatorRegister = false;
  cvx06.trimHighBit = 7;
  cvx06.lockModeValues = {1, 2};
  rows.push_back(cvx06);
  OccsVariant fennRelax = Later("CVX-08/09", {kTestCvx08, kTestCvx09}, kLaterTable);
  fennRelax.oscillatorReset = 0x1200;
  fennRelax.relaxation = true;
  fennRelax.oscillatorPower = true;
  rows.push_back(fennRelax);
  OccsVariant fenn = Later("Fenn", {kTestFenn}, kLaterTable);
  fenn.oscillatorPower = true;
  rows.push_back(fenn);
  OccsVariant tebo = TeboCasp("Tebo", {kTestTebo});
  tebo.protectionHidden = true;
  tebo.highSpeedOnOscillator = OccsVariant::HighSpeedOnOscillator::Output;
  tebo.clkinPinNote = true;
  tebo.highSpeedUsers = kTeboUsers;
  rows.push_back(tebo);
  OccsVariant casp = TeboCasp("Casp", {kTestCasp});
  casp.externalClock = true;
  casp.oscillatorPower = true;
  casp.copExtras = true;
  casp.protection = true;
  casp.highSpeedOnOscillator = OccsVariant::HighSpeedOnOscillator::HalfVco;
  casp.highSpeedUsers = kCaspUsers;
  rows.push_back(casp);
  for (const bool cvx28 : {true, false}) {
    OccsVariant brel = Second(cvx28 ? "CVX-28" : "Brel",
                              {cvx28 ? kTestCvx28 : kTestBrel}, kBrelTable);
    brel.relaxation = cvx28;
    brel.fixedMultiplier = true;
    brel.postscalerItems = cvx28 ? 9 : 6;
    brel.crystalRange = true;
    brel.userVectorNote = true;
    brel.crystalClockOutputs = true;
    brel.pllOutputFactor = kThird;
    brel.highSpeedUsers = kBrelUsers;
    rows.push_back(brel);
  }
  OccsVariant dorn = Second("Dorn", {kTestDorn}, kDornTable);
  dorn.relaxation = true;
  dorn.postscalerItems = 9;
  dorn.divideBy2 = true;
  dorn.vcoLow = 120;
  dorn.vcoHigh = 240;
  dorn.highSpeedLimit = 120;
  dorn.highSpeedUsers = kDornUsers;
  rows.push_back(dorn);
  rows.push_back(Later("later", {}, kLaterTable));  // CVX-07 and any other part
  return rows;
}

const char* const kRetrimTip =
    "Internal relaxation oscillator may be trimmed by 40% in time-domain (approx 5.7 to 13.3 MHz).";
const char* const kLimitTip = "Current operating system frequency exceeds the maximum which is %d MHz";
const char* const kPllRangeTip = "PLL output frequency should be kept between %d and %d MHz on this device";
const char* const kRelaxOffText = "Internal relaxation oscillator is not enabled (and is selected as MSTR_OSC).";
const char* const kMstrOscCaption = "MSTR_OSC source";

// Keys of the controls the code refers to.
const char* const kKeyRelaxList = "Internal relaxation oscillator:";
const char* const kKeyEnablePll = "Enable PLL";
const char* const kKeyLockDetector = "Enable lock detector";
const char* const kKeyFactoryTrim = "Use Factory Trim Value";
const char* const kKeyTrim = "Trimming value:";
const char* const kKeyRetrim = "Re-trim clock:";

const std::vector<std::string> kProtectionItems = {"Write Protection OFF", "Write Protection ON",
                                                   "Protection Permanently OFF",
                                                   "Protection Permanently ON"};

std::vector<std::string> LossOfLockItems(int detector) {
  const std::string lock = "LCK" + std::to_string(detector);
  return {"Disable", "On rising edge of " + lock, "On falling edge of " + lock,
          "On any edge of " + lock};
}

}  // namespace

std::span<const OccsVariant> OccsVariants() {
  static const std::vector<OccsVariant> rows = MakeVariants();
  return rows;
}

CpmOCCS::CpmOCCS(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {}

// ---- construction ----

void CpmOCCS::ChooseTable(ModuleContext& doc) {
  const std::span<const OccsVariant> rows = OccsVariants();
  variant_ = &rows.back();
  for (const OccsVariant& row : rows) {
    if (std::any_of(row.partTests.begin(), row.partTests.end(),
                    [&doc](int test) { return doc.TestPart(test); })) {
      variant_ = &row;
      break;
    }
  }
  const OccsVariant& v = *variant_;
  InitRegisters(v.table.data(), v.table.size());
  std::vector<Register>& regs = Registers();
  if (v.oscillatorReset != 0) regs[kOsc].resetValue = regs[kOsc].value = v.oscillatorReset;
  if (!v.oscillatorRegister) regs[kOsc].flags |= DUMMYREG;
  if (!v.relaxation) {
    regs[kTrimUse].flags |= kHidden;
    regs[kRetrim].flags |= kHidden;
  }
  if (v.protectionHidden) regs[kProt].flags |= kHidden;
  if (!v.cop) {
    regs[kCopCtl].flags |= kHidden;
    regs[kCopTo].flags |= kHidden;
  }
}

void CpmOCCS::InitModule(ModuleContext& doc) {
  ChooseTable(doc);
  CModule::InitModule(doc);
  DeclarePage();
  AddCommentItemsInHeaderOrder();
  // The page always carries the pin-warning control, so the pin check runs with the page
  // closed as well.
  SetHasPins(true);
}

// ---- the page declaration ----

void CpmOCCS::DeclarePage() {
  const OccsVariant& v = *variant_;
  PageDeclaration& d = decl_;
  d.Clear();
  d.FramesFirst();
  const bool interrupts = !InterruptUsers().empty();
  if (v.secondLayout) {
    d.Group("Relaxation oscillator", kOccsGroupOscillator);
    d.Box({.caption = "Enable internal relaxation oscilator", .id = kOccsRelaxEnable,
           .field = {.reg = Registers()[kOsc].name, .low = 15, .inverted = true}});
    d.List({.caption = "Relaxation oscilator mode", .id = kOccsRelaxModeList,
            .captionId = kOccsRelaxModeCaption, .field = {.reg = Registers()[kOsc].name, .low = 14},
            .items = {"Normal", "Standby"}, .enableWhole = true,
            .enabled = [this] { return IsRelaxationOscillatorEnabled(); }});
    if (v.relaxation) DeclareRelaxationTrim(d);
    d.Group("Crystal oscillator and CLKIN", kOccsGroupCrystal);
    DeclareSecondLayoutOscillators(d);
    d.NextBand();
    d.Group("PLL and system clock", kOccsGroupPll);
    mstrOsc_.SetHandlers(
        [this] { return GetMasterOscillatorSource(); },
        [this](int index) {
          if (index < 0 || index > 2) return;
          Register& ctrl = Registers()[kCtrl];
          Register& osc = Registers()[kOsc];
          if (index == 0) {
            ctrl.value &= ~(1u << 2);
            return;
          }
          ctrl.value |= 1u << 2;
          if (index == 2) osc.value |= 1u << 10;
          else osc.value &= ~(1u << 10);
        },
        kMstrOscCaption);
    // One list over two registers: CTRL bit 2 chooses the relaxation oscillator, OSCTL
    // bit 10 then tells CLKIN from the crystal oscillator.
    d.Custom([this](Page& page) {
      page.AddStatic(kOccsMstrOscCaption, kMstrOscCaption);
      page.AddDropDown(kOccsMstrOscList,
                       {"Relaxation oscilator", "Crystal oscilator / XTAL", "CLKIN"}, &mstrOsc_);
    });
    d.Display({.caption = "Input frequency:", .id = kOccsInputFreq,
               .captionId = kOccsInputFreqCaption, .width = 100});
    DeclarePll(d);
    d.Group("Loss of lock and reference", kOccsGroupMonitor);
    DeclareMonitor(d);
    d.NextBand();
    d.Group("Write protection", kOccsGroupProtection);
    DeclareProtection(d);
    if (interrupts) DeclareInterrupts(d);
  } else {
    d.Group("Clock source", kOccsGroupOscillator);
    DeclareFirstLayoutSource(d);
    d.Group("PLL and system clock", kOccsGroupPll);
    DeclarePll(d);
    d.NextBand();
    d.Group("Loss of lock and reference", kOccsGroupMonitor);
    DeclareMonitor(d);
    d.Group("COP watchdog", kOccsGroupCop);
    DeclareCop(d);
    d.NextBand();
    if (v.protection) {
      d.Group("Write protection", kOccsGroupProtection);
      DeclareProtection(d);
    }
    if (interrupts) DeclareInterrupts(d);
  }
  // The pin report (on the Tebo group the CLKIN pin note), hidden until there is one.
  d.NextBand();
  d.Group({});
  d.Custom([tebo = v.clkinPinNote](Page& page) {
    page.AddLink(kPinWarningControlId, tebo ? "GPIO WARNING MESSAGE HERE" : "").shown = false;
  });
}

void CpmOCCS::DeclareFirstLayoutSource(PageDeclaration& d) {
  const OccsVariant& v = *variant_;
  const std::string& osc = Registers()[kOsc].name;
  // Whether the relaxation oscillator clocks the part: the other sources stand aside.
  std::function<bool()> external;
  if (v.relaxation) {
    external = [this] { return !RelaxationUsed(); };
    d.List({.caption = kKeyRelaxList, .id = kOccsRelaxList, .captionId = kOccsRelaxCaption,
            .field = {.reg = Registers()[kCtrl].name, .low = 2}, .items = {"Used", "Not used"},
            // CVX-02 always runs from its relaxation oscillator.
            .enabled = v.relaxationFixed ? std::function<bool()>([] { return false; })
                                         : std::function<bool()>()});
    DeclareRelaxationTrim(d);
  }
  DeclareFrequencyEdit(d, kOccsXtalFreqCaption, "Crystal oscillator frequency:", kOccsXtalFreqEdit,
                       kOccsXtalFreqUnit, external);
  if (v.externalClock) {
    d.List({.caption = "External clock:", .id = kOccsExtClockList,
            .captionId = kOccsExtClockCaption, .field = {.reg = osc, .low = 10, .high = 11},
            .items = {"Primary Ext. Clock (GPIO_B6 pin)", "Alternate Ext. Clock (GPIO_B5 pin)",
                      "Crystal Oscillator or Clock on XTAL"},
            .enableWhole = true, .enabled = external});
  }
  if (v.oscillatorPower) {
    std::function<bool()> powered;
    if (external && v.externalClock)  // the oscillator runs only for a crystal or a clock on XTAL
      powered = [this] { return !RelaxationUsed() && Field(kOsc, 10, 11) == 2; };
    else
      powered = external;
    d.List({.caption = "Oscillator power:", .id = kOccsOscPowerList,
            .captionId = kOccsOscPowerCaption,
            .field = {.reg = osc, .low = 12, .high = 13, .values = {1, 0, 2}},
            .items = {"Off (External clock source used)", "High power (Resonator is used)",
                      "Low power (Crystal is used)"},
            .label = "Crystal Power Mode", .enableWhole = true, .enabled = powered});
  }
  d.Display({.caption = "Input frequency:", .id = kOccsInputFreq,
             .captionId = kOccsInputFreqCaption, .width = 100});
}

void CpmOCCS::DeclareRelaxationTrim(PageDeclaration& d) {
  const OccsVariant& v = *variant_;
  // Second layout: the relaxation oscillator's own enable; first layout: whether it is used.
  auto on = [this] {
    return variant_->secondLayout ? IsRelaxationOscillatorEnabled() : RelaxationUsed();
  };
  auto factory = [this] { return Bit(kTrimUse, 0); };
  d.Box({.caption = kKeyFactoryTrim, .id = kOccsFactoryTrim,
         .field = {.reg = Registers()[kTrimUse].name, .low = 0}, .enabled = on});
  d.Value({.caption = kKeyTrim, .id = kOccsTrimEdit, .captionId = kOccsTrimCaption,
           .field = {.reg = Registers()[kOsc].name, .low = 0, .high = v.trimHighBit},
           .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = v.trimMaximum, .id = kOccsTrimSpin}, .width = 80,
           .enableWhole = true, .enabled = [on, factory] { return on() && !factory(); }});
  auto retrim = [on, factory] { return on() && factory(); };
  d.Value({.caption = kKeyRetrim, .id = kOccsRetrimEdit, .captionId = kOccsRetrimCaption,
           .field = {.reg = Registers()[kRetrim].name, .low = 0, .high = 31},
           .label = "Re-trim Relaxation Oscillator##Hz", .number = {.hex = false}, .unit = "Hz",
           .unitId = kOccsRetrimUnit, .width = 80, .enableWhole = true, .enabled = retrim});
  d.Static({.caption = v.secondLayout ? "(appr 6... 13 MHz)" : "(appr 6...13 MHz)",
            .key = "re-trim range", .id = kOccsRetrimRange, .newRow = false, .enabled = retrim});
}

void CpmOCCS::DeclareFrequencyEdit(PageDeclaration& d, uint32_t captionId, const char* caption,
                                   uint32_t editId, uint32_t unitId, std::function<bool()> enabled) {
  d.Edit({.caption = caption, .id = editId, .captionId = captionId, .unit = "MHz",
          .unitId = unitId, .width = 80, .enableWhole = true, .enabled = std::move(enabled)});
}

void CpmOCCS::DeclareSecondLayoutOscillators(PageDeclaration& d) {
  const OccsVariant& v = *variant_;
  const std::string& osc = Registers()[kOsc].name;
  auto crystal = [this] { return IsCrystalOscillatorEnabled(); };
  d.Box({.caption = "Crystal oscilator enabled (Direct clock on XTAL disabled)",
         .id = kOccsCrystalEnable, .field = {.reg = osc, .low = 12, .inverted = true}});
  d.List({.caption = "Oscilator mode:", .id = kOccsOscModeList, .captionId = kOccsOscModeCaption,
          .field = {.reg = osc, .low = 13}, .items = {"Resonator", "Crystal"}, .enabled = crystal});
  if (v.crystalRange) {
    d.List({.caption = "Crystal range:", .id = kOccsCrystalRangeList,
            .captionId = kOccsCrystalRangeCaption, .field = {.reg = osc, .low = 11},
            .items = {"32 KHz", "1 to 16 MHz"},
            .enabled = [this] { return IsCrystalOscillatorEnabled() && Bit(kOsc, 13); }});
  }
  if (v.divideBy2)
    d.Box({.caption = "Divide Oscillator By 2", .id = kOccsDivideBy2, .field = {.reg = osc, .low = 11}});
  // The direct clock on XTAL needs its frequency as much as the crystal does.
  DeclareFrequencyEdit(d, kOccsXtalFreqCaption, "Crystal oscilator frequency:", kOccsXtalFreqEdit,
                       kOccsXtalFreqUnit, [this] {
                         return IsCrystalOscillatorEnabled() || GetMasterOscillatorSource() == 1;
                       });
  DeclareFrequencyEdit(d, kOccsClkinCaption, "CLKIN frequency:", kOccsClkinEdit, kOccsClkinUnit,
                       [this] { return GetMasterOscillatorSource() == 2; });
}

void CpmOCCS::DeclarePll(PageDeclaration& d) {
  const OccsVariant& v = *variant_;
  const std::string& ctrl = Registers()[kCtrl].name;
  const std::string& divBy = Registers()[kDivBy].name;
  // The PLL output as system clock needs the PLL (see UpdateEnables).
  d.Box({.caption = kKeyEnablePll, .id = kOccsEnablePll,
         .field = {.reg = ctrl, .low = 4, .inverted = true},
         .enabled = [this] { return SourceItem() == 0; }});
  d.Box({.caption = kKeyLockDetector, .id = kOccsLockDetector, .field = {.reg = ctrl, .low = 7},
         .newRow = false, .enabled = [this] { return SourceItem() == 0 && IsPllRunning(); }});

  if (v.prescaler) {
    d.List({.caption = "Prescaler:", .id = kOccsPrescalerList, .captionId = kOccsPrescalerCaption,
            .field = {.reg = divBy, .low = 8, .high = 9}, .items = {"Input / 1", "/ 2", "/ 4", "/ 8"}});
  } else {
    d.Static({.caption = "Prescaler:", .id = kOccsPrescalerCaption});
    d.Custom(
        [](Page& page) {
          Control& list = page.AddDropDown(kOccsPrescalerList, {"not used"});
          list.selection = 0;
          list.text = "not used";
          list.enabled = false;
        },
        false);
  }

  if (v.fixedMultiplier) {
    d.Static({.caption = "Multiply (PLL Div)", .id = kOccsMultiplyCaption});
    d.Custom(
        [](Page& page) {
          Control& edit = page.AddEdit(kOccsMultiplyEdit);
          edit.text = "24 (fixed)";
          edit.enabled = false;
          edit.layout.width = 80;
        },
        false);
  } else {
    d.Value({.caption = "Multiply (PLL Div)", .id = kOccsMultiplyEdit,
             .captionId = kOccsMultiplyCaption, .field = {.reg = divBy, .low = 0, .high = 6, .offset = 1},
             .label = "Multiplication Factor (PLL Divide-By)", .number = {.hex = false},
             .spin = {.minimum = 1, .maximum = 128, .id = kOccsMultiplySpin}, .width = 80,
             .enabled = [this] { return IsPllRunning(); }});
  }

  d.Display({.caption = "VCO freq.", .id = kOccsVcoFreq, .captionId = kOccsVcoCaption, .width = 100});
  d.Static({.key = "VCO range", .id = kOccsVcoRange, .newRow = false});

  std::vector<std::string> postscalerItems;
  for (int i = 0; i < v.postscalerItems; ++i) postscalerItems.push_back(Format("PLL freq. / %d", 1 << i));
  d.List({.caption = "Postscaler:", .id = kOccsPostscalerList, .captionId = kOccsPostscalerCaption,
          .field = {.reg = divBy, .low = v.postscalerLow, .high = v.postscalerHigh},
          .items = postscalerItems,
          .enabled = [this] { return variant_->secondLayout || IsPllRunning(); }});

  std::vector<std::string> sources = {v.firstSourceItem, "Postscaler output"};
  if (v.secondLayout) sources = {"MSTR_OSC", "PLL"};
  d.List({.caption = "System clock source:", .id = kOccsClockSourceList,
          .captionId = kOccsClockSourceCaption, .field = {.reg = ctrl, .low = 0, .high = 1, .values = {1, 2}},
          .items = sources});

  d.Display({.caption = "Core freq:", .id = kOccsCoreFreq, .captionId = kOccsCoreCaption, .width = 100});
  d.Static({.key = "core range", .id = kOccsCoreRange, .newRow = false});
  if (v.highSpeed) {
    d.Display({.caption = "HS freq.", .id = kOccsHsFreq, .captionId = kOccsHsCaption, .width = 100});
    d.Link({.key = "HS label", .id = kOccsHsLabel, .newRow = false});
  }
  d.List({.caption = "Startup lock mode:", .id = kOccsLockModeList, .captionId = kOccsLockModeCaption,
          .field = {.reg = Registers()[kLockMode].name, .low = 5, .high = 6, .values = v.lockModeValues},
          .items = {"Fine", "Coarse"}});
}

void CpmOCCS::DeclareMonitor(PageDeclaration& d) {
  const std::string& ctrl = Registers()[kCtrl].name;
  d.List({.caption = "Loss of lock 0 (coarse):", .id = kOccsLol0List, .captionId = kOccsLol0Caption,
          .field = {.reg = ctrl, .low = 12, .high = 13}, .items = LossOfLockItems(0),
          .label = "Loss of lock interrupt 0"});
  d.List({.caption = "Loss of lock 1 (fine):", .id = kOccsLol1List, .captionId = kOccsLol1Caption,
          .field = {.reg = ctrl, .low = 14, .high = 15}, .items = LossOfLockItems(1),
          .label = "Loss of lock interrupt 1"});
  d.Box({.caption = "Loss of reference clock Interrupt", .id = kOccsLorInterrupt,
         .field = {.reg = ctrl, .low = 11}});
  d.Value({.caption = "Loss of reference timer period:", .id = kOccsLorPeriodEdit,
           .captionId = kOccsLorPeriodCaption,
           .field = {.reg = Registers()[kDivBy].name, .low = 12, .high = 15}, .number = {.hex = false},
           .spin = {.minimum = 0, .maximum = 15, .id = kOccsLorPeriodSpin}, .width = 50});
  d.Custom([](Page& page) { page.AddDisplay(kOccsLorPeriodTime).layout.width = 100; }, false);
  if (variant_->clockOutput) {
    d.List({.caption = "CLKO pin output clock:", .id = kOccsClkoList, .captionId = kOccsClkoCaption,
            .field = {.reg = Registers()[kClkosr].name, .low = 4}, .items = {"ZCLOCK (Sys. clock)", "None"}});
  }
}

void CpmOCCS::DeclareCop(PageDeclaration& d) {
  const OccsVariant& v = *variant_;
  const std::string& ctl = Registers()[kCopCtl].name;
  d.Box({.caption = "COP Enable", .id = kOccsCopEnable, .field = {.reg = ctl, .low = 1},
         .label = "COP operation"});
  d.Box({.caption = "COP Write Protect", .id = kOccsCopWriteProtect, .field = {.reg = ctl, .low = 0},
         .newRow = false});
  d.Box({.caption = "COP Runs in Wait Mode", .id = kOccsCopWait, .field = {.reg = ctl, .low = 2}});
  d.Box({.caption = "COP Runs in Stop Mode", .id = kOccsCopStop, .field = {.reg = ctl, .low = 3},
         .newRow = false});
  if (v.copExtras) {
    d.Box({.caption = "Enable Loss of Clock COP", .id = kOccsCopLossOfClock, .field = {.reg = ctl, .low = 5}});
    d.Box({.caption = "Use Relaxation Oscillator", .id = kOccsCopRelax, .field = {.reg = ctl, .low = 6},
           .newRow = false});
  }
  d.Value({.caption = "Timeout divisor:", .id = kOccsCopDivisorEdit, .captionId = kOccsCopDivisorCaption,
           .field = {.reg = Registers()[kCopTo].name, .low = 0, .high = v.copDivisorHighBit, .offset = 1},
           .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = 1 << (v.copDivisorHighBit + 1), .id = kOccsCopDivisorSpin},
           .width = 80});
  d.Display({.caption = "Timeout:", .id = kOccsCopTimeout, .captionId = kOccsCopTimeoutCaption, .width = 100});
}

void CpmOCCS::DeclareProtection(PageDeclaration& d) {
  const std::string& prot = Registers()[kProt].name;
  d.List({.caption = "Postscaler && Clock Source", .id = kOccsProtPostList,
          .captionId = kOccsProtPostCaption, .field = {.reg = prot, .low = 4, .high = 5},
          .items = kProtectionItems});
  d.List({.caption = "Oscillator Configuration", .id = kOccsProtOscList,
          .captionId = kOccsProtOscCaption, .field = {.reg = prot, .low = 2, .high = 3},
          .items = kProtectionItems});
  d.List({.caption = "PLL Configuration:", .id = kOccsProtPllList, .captionId = kOccsProtPllCaption,
          .field = {.reg = prot, .low = 0, .high = 1}, .items = kProtectionItems});
}

void CpmOCCS::DeclareInterrupts(PageDeclaration& d) {
  d.Group("Interrupt", kOccsGroupInterrupts);
  d.Custom([this](Page& page) {
    page.AddPlaceholder(kInterruptHeaderFirst, 400);
    for (const InterruptUser& user : InterruptUsers()) {
      page.NewRow();
      page.AddPlaceholder(kInterruptPanelBase + static_cast<uint32_t>(user.index), 400);
    }
  });
  if (variant_->userVectorNote) {
    d.Link({.caption = "(user vector information)", .key = "user vector note",
            .id = kOccsUserVectorNote, .shown = false});
  }
}

// The header comment follows the page, except that the second layout has always named the
// oscillator settings and the MSTR_OSC source before the relaxation oscillator's trim.
void CpmOCCS::AddCommentItemsInHeaderOrder() {
  ClearCommentItems();
  std::vector<const CSetCtrl*> order;
  for (const DeclaredControl* control : decl_.Controls())
    if (control->binding && control->decl.commented) order.push_back(control->binding);
  if (variant_->secondLayout) {
    std::vector<const CSetCtrl*> trim;
    for (const char* key : {kKeyFactoryTrim, kKeyTrim, kKeyRetrim}) {
      if (const DeclaredControl* control = decl_.Find(key)) {
        trim.push_back(control->binding);
        order.erase(std::find(order.begin(), order.end(), control->binding));
      }
    }
    auto pll = std::find(order.begin(), order.end(), decl_.Find(kKeyEnablePll)->binding);
    pll = order.insert(pll, &mstrOsc_) + 1;
    order.insert(pll, trim.begin(), trim.end());
  }
  for (const CSetCtrl* binding : order) AddCommentItem(binding, 0);
}

// ---- register state ----

uint32_t CpmOCCS::Reg(size_t index) const {
  const std::vector<Register>& regs = Registers();
  return index < regs.size() ? regs[index].value : 0;
}

uint32_t CpmOCCS::Field(size_t index, int lowBit, int highBit) const {
  const int width = highBit - lowBit + 1;
  const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  return (Reg(index) >> lowBit) & mask;
}

int CpmOCCS::SourceItem() const {
  switch (Field(kCtrl, 0, 1)) {
    case 1: return 0;
    case 2: return 1;
    default: return -1;
  }
}

bool CpmOCCS::IsPllRunning() const { return !Bit(kCtrl, 4); }
bool CpmOCCS::IsCrystalOscillatorEnabled() const { return UsesSecondLayout() && !Bit(kOsc, 12); }
bool CpmOCCS::IsRelaxationOscillatorEnabled() const { return UsesSecondLayout() && !Bit(kOsc, 15); }

int CpmOCCS::GetMasterOscillatorSource() const {
  if (!Bit(kCtrl, 2)) return 0;
  return Bit(kOsc, 10) ? 2 : 1;
}

bool CpmOCCS::RelaxationUsed() const { return HasRelaxationOscillator() && !Bit(kCtrl, 2); }

const Control* CpmOCCS::OpenControl(uint32_t id) const {
  const Page* page = GetPage();
  return page ? page->Find(id) : nullptr;
}

long long CpmOCCS::EditNumber(uint32_t editId, long long closedValue) const {
  const Control* edit = OpenControl(editId);
  if (!edit) return closedValue;
  uint32_t value = 0;
  if (!ReadCIntegerExact(Trim(edit->text), value)) return -1;
  return static_cast<int32_t>(value);  // "-5" reads as a negative number
}

float CpmOCCS::ParseMHz(const std::string& text) {
  double value = 0;
  // Only a number: "8x" or "nan" must not pass for a frequency.
  if (!ReadFloatExact(text, value) || !std::isfinite(value) || value < 0) return 0;
  return static_cast<float>(value);
}

float CpmOCCS::GetCrystalFrequencyMHz() const {
  if (const Control* edit = OpenControl(kOccsXtalFreqEdit)) return ParseMHz(edit->text);
  const ModuleContext* context = GetContext();
  if (!context) return 0;
  return UsesSecondLayout() ? context->GetSettings().extalMHz : context->GetSettings().extClkMHz;
}

// ---- the clock computation ----

OccsClocks CpmOCCS::ComputeClocks() const {
  OccsClocks c;
  if (!variant_) return c;
  const OccsVariant& v = *variant_;
  const ModuleContext* context = GetContext();
  const ProjectSettings* settings = context ? &context->GetSettings() : nullptr;
  const float extClk = settings ? settings->extClkMHz : 0.0f;
  const float extal = settings ? settings->extalMHz : 0.0f;

  // Input frequency.
  float fin = extClk;
  if (!v.secondLayout) {
    if (const Control* edit = OpenControl(kOccsXtalFreqEdit)) fin = ParseMHz(edit->text);
    c.relaxSelected = RelaxationUsed();
  } else {
    const int source = GetMasterOscillatorSource();
    if (source == 2) {
      const Control* edit = OpenControl(kOccsClkinEdit);
      fin = edit ? ParseMHz(edit->text) : extClk;
    } else if (source == 1) {
      const Control* edit = OpenControl(kOccsXtalFreqEdit);
      fin = edit ? ParseMHz(edit->text) : extal;
      if (v.divideBy2 && Bit(kOsc, 11)) fin *= 0.5f;
    }
    c.relaxSelected = v.relaxation && source == 0;
  }
  if (c.relaxSelected) {
    fin = 8.0f;
    if (Bit(kTrimUse, 0)) {
      fin = static_cast<float>(static_cast<double>(Reg(kRetrim)) * 1e-6);
      c.factoryTrimUsed = true;
    }
  }
  c.input = fin;

  // Prescaler and postscaler. A postscaler field no list item stands for gives no clock.
  const float prescale = v.prescaler ? static_cast<float>(1u << Field(kDivBy, 8, 9)) : 1.0f;
  const uint32_t postscalerField = Field(kDivBy, v.postscalerLow, v.postscalerHigh);
  const float postscale = static_cast<int>(postscalerField) < v.postscalerItems
                              ? static_cast<float>(1u << postscalerField)
                              : 0.0f;
  auto over = [](float value, float divisor) { return divisor > 0 ? value / divisor : 0.0f; };

  // Multiplier.
  long long multiplier = 24;
  if (!v.fixedMultiplier) {
    multiplier = EditNumber(kOccsMultiplyEdit, static_cast<long long>(Field(kDivBy, 0, 6)) + 1);
    if (multiplier < 0 || multiplier > 128) multiplier = 0;
  }

  // VCO.
  c.pllEnabled = IsPllRunning();
  c.vco = c.pllEnabled ? static_cast<float>(multiplier) * fin / prescale : 0.0f;
  const float half = c.vco * 0.5f;

  // Clock generator output and high-speed clock.
  using OnOscillator = OccsVariant::HighSpeedOnOscillator;
  const int source = SourceItem();
  float out = 0;
  float hs = 0;
  if (source == 0) {
    if (v.secondLayout) {
      out = hs = over(fin, postscale);
    } else {
      out = fin / prescale;
      if (v.highSpeedOnOscillator == OnOscillator::HalfVco) hs = over(half, postscale);
      else if (v.highSpeedOnOscillator == OnOscillator::Output) hs = out;
    }
  } else if (source == 1) {
    out = over(c.vco * v.pllOutputFactor, postscale);
    if (v.pllHighSpeedFactor > 0) hs = over(c.vco * v.pllHighSpeedFactor, postscale);
  }
  c.output = out;
  c.highSpeed = hs;
  c.prescale = prescale;
  c.postscale = postscale;
  c.multiplier = multiplier;
  c.sourceItem = source;

  // Stored results.
  if (v.systemIsOutput) {
    c.system = out;
    c.bus = out * 0.5f;
    c.core = out;
  } else {
    c.system = c.bus = c.core = out * 0.5f;
  }
  c.hsStored = v.highSpeed ? hs : 0.0f;

  // COP timeout.
  if (v.cop) {
    float copClock = v.copFromOutput ? out * (1.0f / 16384.0f) : fin * (1.0f / 1024.0f);
    if (v.copExtras && Bit(kCopCtl, 6)) copClock = 0.0078125f;  // the relaxation oscillator
    const long long limit = 1LL << (v.copDivisorHighBit + 1);
    const long long divisor =
        EditNumber(kOccsCopDivisorEdit, static_cast<long long>(Field(kCopTo, 0, v.copDivisorHighBit)) + 1);
    const float rate =
        divisor > 0 && divisor <= limit ? copClock * 1e6f / static_cast<float>(divisor) : 0.0f;
    c.copTimeoutSeconds = rate > 0 ? 1.0f / rate : 0.0f;
  }

  // Loss-of-reference period.
  const float period = static_cast<float>(Field(kDivBy, 12, 15));
  c.lorPeriodSeconds = half > 0 ? period * 10.0f / (half * 1e6f) : 0.0f;
  return c;
}

void CpmOCCS::UpdateValues() {
  if (!variant_) return;
  const OccsClocks clocks = ComputeClocks();
  ShowResults(clocks);
  UpdateLimitWarnings(clocks);
  // The information bar shows the clocks; it follows the page's edits.
  ModuleContext* context = GetContext();
  if (HasPage() && context && context->WarningsEnabled())
    context->Broadcast(kHintClocksChanged, this);
}

void CpmOCCS::ShowResults(const OccsClocks& c) {
  if (!HasPage()) return;
  ShowFrequency(kOccsInputFreq, c.input * 1e6);
  ShowFrequency(kOccsCoreFreq, c.core * 1e6);
  ShowFrequency(kOccsVcoFreq, c.vco * 1e6);
  if (variant_->highSpeed) ShowFrequency(kOccsHsFreq, c.highSpeed * 1e6);
  if (variant_->cop) ShowTime(kOccsCopTimeout, c.copTimeoutSeconds);
  ShowTime(kOccsLorPeriodTime, c.lorPeriodSeconds);
}

void CpmOCCS::UpdateLimitWarnings(const OccsClocks& c) {
  const OccsVariant& v = *variant_;
  if (v.relaxation) {
    const bool outside = c.factoryTrimUsed && (c.input < 5.7f || c.input > 13.0f);
    SetWarning(kOccsRetrimRange, outside, v.secondLayout ? "(appr 6... 13 MHz)" : "(appr 6...13 MHz)",
               outside ? kRetrimTip : "");
  }

  const int limit = v.systemLimit;
  const bool tooFast = c.system > static_cast<float>(limit);
  SetWarning(kOccsCoreRange, tooFast, Format("(max. %d MHz)", limit),
             tooFast ? Format(kLimitTip, limit) : std::string());

  const int low = v.vcoLow;
  const int high = v.vcoHigh;
  const bool outside =
      c.pllEnabled && (c.vco < static_cast<float>(low) || c.vco > static_cast<float>(high));
  SetWarning(kOccsVcoRange, outside, Format("(%d...%d MHz)", low, high),
             outside ? Format(kPllRangeTip, low, high) : std::string());

  if (v.highSpeed) {
    const int hsLimit = v.highSpeedLimit;
    if (c.hsStored > static_cast<float>(hsLimit)) {
      SetWarning(kOccsHsLabel, true, Format("(max. %d MHz)", hsLimit), Format(kLimitTip, hsLimit));
    } else {
      SetWarning(kOccsHsLabel, false, HighSpeedPeripheralText());
    }
  }
}

std::string CpmOCCS::HighSpeedPeripheralText() const {
  const std::vector<OccsVariant::HighSpeedUser>& list = variant_->highSpeedUsers;
  const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
  std::vector<std::string> items;
  for (const OccsVariant::HighSpeedUser& peripheral : list) {
    if (!gate) {
      items.push_back(peripheral.name);
      continue;
    }
    const std::string link = gate->OptionLink(peripheral.sysCaption);
    items.push_back("<A HREF=\"" + link + "\">" + peripheral.name + "</A>");
  }
  if (items.size() == 3)
    return Format("(%s/%s/%s)", items[0].c_str(), items[1].c_str(), items[2].c_str());
  return Format("(%s/%s)", items[0].c_str(), items[1].c_str());
}

// ---- enables ----

void CpmOCCS::ForceCheck(const std::string& key, bool checked) {
  const DeclaredControl* control = decl_.Find(key);
  CSetBit* binding = control ? control->Bit() : nullptr;
  if (!binding || !binding->GetRegisterRef() || binding->GetCheck() == checked) return;
  binding->SetCheck(checked);
  if (binding->HasWindow()) binding->Update();
}

// The enable rules sit with the controls (DeclarePage); here is what they cannot say.
void CpmOCCS::UpdateEnables() {
  if (!variant_) return;
  const OccsVariant& v = *variant_;

  // CVX-02 always runs from its relaxation oscillator.
  if (v.relaxationFixed && Bit(kCtrl, 2)) {
    if (CSetMode* list = decl_.Find(kKeyRelaxList)->Mode()) {
      list->SetIndex(0);
      if (list->HasWindow()) list->Update();
    }
  }
  // The PLL output as system clock needs the PLL and its lock detector.
  if (SourceItem() == 1) {
    ForceCheck(kKeyEnablePll, true);
    ForceCheck(kKeyLockDetector, true);
  }
  decl_.ApplyRules();
  if (v.secondLayout) {
    if (Page* page = GetPage())
      page->SetText(kOccsXtalFreqCaption, IsCrystalOscillatorEnabled()
                                              ? "Crystal oscilator frequency:"
                                              : "Direct clock frequency (XTAL):");
  }
  if (v.userVectorNote) UpdateUserVectorNote();
  UpdateValues();
}

void CpmOCCS::UpdateUserVectorNote() {
  Page* page = GetPage();
  if (!page) return;
  const std::string note = UserSlotNote(*this, 0);
  if (!note.empty()) page->SetText(kOccsUserVectorNote, note);
  page->SetShown(kOccsUserVectorNote, !note.empty());
}

// ---- page events ----

std::string CpmOCCS::FrequencyEditText(float mhz) const { return Format("%.7g", mhz); }

void CpmOCCS::StoreFrequency(uint32_t editId, const std::string& text) {
  ModuleContext* context = GetContext();
  ProjectSettings* settings = context ? context->GetEditableSettings() : nullptr;
  uint32_t hertz = 0;
  // A text that is no frequency shows 0 MHz but leaves the project's value alone. The typed
  // decimals become whole hertz exactly, not through single precision.
  if (!settings || !ReadMegahertzText(text, hertz)) return;
  const bool crystal = UsesSecondLayout() && editId == kOccsXtalFreqEdit;
  (crystal ? settings->extalMHz : settings->extClkMHz) =
      static_cast<float>(static_cast<double>(hertz) / 1e6);
  (crystal ? settings->extalHz : settings->extClkHz) = hertz;
  (crystal ? settings->extalKeepText : settings->extClkKeepText) = false;
}

bool CpmOCCS::ValidateControls(bool showMessages) {
  if (!CModule::ValidateControls(showMessages)) return false;
  for (const uint32_t id : {kOccsXtalFreqEdit, kOccsClkinEdit}) {
    const Control* edit = OpenControl(id);
    if (edit == nullptr || !edit->shown || !edit->enabled) continue;
    uint32_t hertz = 0;
    if (ReadMegahertzText(edit->text, hertz)) continue;
    if (showMessages) {
      if (Host* host = HostInForce())
        host->ShowMessage("'" + edit->text +
                              "' is not a frequency: type a number of megahertz such as 8 or "
                              "18.432, from 0 to 4294.967295",
                          MessageIcon::Exclamation);
    }
    return false;
  }
  return true;
}

void CpmOCCS::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  if (event == ControlEvent::TextChanged &&
      (control.id == kOccsXtalFreqEdit || control.id == kOccsClkinEdit) &&
      &page == GetPage()) {
    StoreFrequency(control.id, control.text);
  }
  // Lists decide what else applies (source, oscillator, external clock), like the boxes.
  if (event == ControlEvent::SelectionChanged && control.IsChoice() && &page == GetPage()) {
    UpdateEnables();
    return;
  }
  CModule::OnControlEvent(page, control, event);
}

// ---- warnings ----

void CpmOCCS::CheckWarnings() {
  CModule::CheckWarnings();
  if (!UsesSecondLayout()) return;
  const bool missing = !IsRelaxationOscillatorEnabled() && GetMasterOscillatorSource() == 0;
  SetWarning(kOccsMstrOscCaption, missing, kMstrOscCaption, missing ? kRelaxOffText : "");
}

void CpmOCCS::CheckPinWarnings() {
  if (!variant_ || !variant_->clkinPinNote) {
    CModule::CheckPinWarnings();
    return;
  }
  CheckClkinPin();
}

void CpmOCCS::CheckClkinPin() {
  std::string text;
  bool warn = false;
  std::string pinText;
  ModuleContext* context = GetContext();
  if (context && !RelaxationUsed() && GetParameter("CLKIN_PIN", pinText)) {
    pinText = Trim(pinText);
    uint32_t pin = 0;
    const bool named = pinText.size() >= 7 && StartsWith(pinText, "GPIO_") &&
                       std::isalpha(static_cast<unsigned char>(pinText[5])) &&
                       ReadCIntegerExact(pinText.substr(6), pin) && pin <= 15 &&
                       std::isdigit(static_cast<unsigned char>(pinText[6]));
    PinPort* port = named ? FindPinPort(*context, pinText[5]) : nullptr;
    if (port && port->FindPin(static_cast<int>(pin))) {
      const int number = static_cast<int>(pin);
      const std::string name = port->PinName(number);
      if (port->CurrentFunction(number) != 0) {
        warn = true;
        text = Format("The %s pin is now in Peripheral mode which may prevent using it as CLKIN.",
                      name.c_str());
      } else if (port->IsOutput(number)) {
        warn = true;
        text = Format("The %s pin is now in Output mode which prevents using the pin as CLKIN.",
                      name.c_str());
      } else {
        text = Format("The %s pin should be left in Input mode to operate as CLKIN pin.",
                      name.c_str());
      }
    }
  }
  SetWarning(kPinWarningControlId, warn, text);
}

// ---- pins ----

bool CpmOCCS::CrystalNeeded() const {
  if (GetMasterOscillatorSource() == 1) return true;
  ModuleContext* context = GetContext();
  if (!context) return false;
  // The watchdog may run from the crystal oscillator.
  if (const WatchdogClock* watchdog = FindCapability<WatchdogClock>(context);
      watchdog && watchdog->GetClockSource() == WatchdogClock::Source::CrystalOscillator)
    return true;
  // Brel: a clock output fed from the crystal oscillator.
  if (variant_->crystalClockOutputs) {
    if (const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(context)) {
      for (int output = 0; output < 2; ++output) {
        const std::string name = Format("CLKO_%d", output);
        if (gate->IsOptionChecked("Enable " + name) &&
            gate->SelectedOptionText(name + " source") == "Crystal Oscillator / XTAL")
          return true;
      }
    }
  }
  return false;
}

bool CpmOCCS::IsSignalUsed(const std::string& signal) const {
  if (!HasRelaxationOscillator()) return false;
  const std::string name = ToUpper(Trim(signal));
  if (!variant_->secondLayout) {
    if (RelaxationUsed()) return false;
    const bool powerOff = Field(kOsc, 12, 13) == 1;  // "Off (External clock source used)"
    if (variant_->externalClock) {
      const uint32_t external = Field(kOsc, 10, 11);
      if (name == "EXTAL" || name == "XTAL") return external == 2 && !powerOff;
      if (name == "CLKIN_PRI") return external == 0;
      if (name == "CLKIN_ALT") return external == 1;
      if (name == "CLKIN_XTL") return external == 2 && powerOff;
      return true;
    }
    if (variant_->oscillatorPower) return !(name == "EXTAL" && powerOff);
    return true;
  }
  const bool crystal = IsCrystalOscillatorEnabled();
  const bool clkin = GetMasterOscillatorSource() == 2;
  if (!crystal && name == "XTAL" && CrystalNeeded()) return true;  // direct clock on XTAL
  if (!crystal && !clkin) return false;
  if (name == "EXTAL" || name == "XTAL") return crystal;
  if (name == "CLKIN") return clkin;
  return true;
}


// ---- page ----

void CpmOCCS::BuildPage(Page& page) {
  if (!variant_) return;
  decl_.BuildPage(page);
  const ProjectSettings* settings = GetContext() ? &GetContext()->GetSettings() : nullptr;
  const float extClk = settings ? settings->extClkMHz : 0.0f;
  const float extal = settings ? settings->extalMHz : 0.0f;
  // The frequency edits show the project's oscillator frequencies.
  if (Control* edit = page.Find(kOccsXtalFreqEdit))
    edit->text = FrequencyEditText(variant_->secondLayout ? extal : extClk);
  if (Control* edit = page.Find(kOccsClkinEdit)) edit->text = FrequencyEditText(extClk);
}

void RegisterOccsModuleKinds(ModuleFactory& factory) { factory.Register<CpmOCCS>("OCCS"); }

}  // namespace tarq

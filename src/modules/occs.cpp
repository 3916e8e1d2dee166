#include "modules/occs.h"

#include <cctype>
#include <cmath>

#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/Links.h"
#include "framework/TextUtil.h"
#include "modules/gpio.h"
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

template <size_t N>
constexpr size_t CountOf(const RegisterDecl (&)[N]) {
  return N;
}

const char* const kRetrimTip =
    "Internal relaxation oscillator may be trimmed by 40% in time-domain (approx 5.7 to 13.3 MHz).";
const char* const kLimitTip = "Current operating system frequency exceeds the maximum which is %d MHz";
const char* const kPllRangeTip = "PLL output frequency should be kept between %d and %d MHz on this device";
const char* const kRelaxOffText = "Internal relaxation oscillator is not enabled (and is selected as MSTR_OSC).";
const char* const kMstrOscCaption = "MSTR_OSC source";

const std::vector<std::string> kProtectionItems = {"Write Protection OFF", "Write Protection ON",
                                                   "Protection Permanently OFF",
                                                   "Protection Permanently ON"};

std::vector<std::string> LossOfLockItems(int detector) {
  const std::string lock = "LCK" + std::to_string(detector);
  return {"Disable", "On rising edge of " + lock, "On falling edge of " + lock,
          "On any edge of " + lock};
}

}  // namespace

CpmOCCS::CpmOCCS(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {}

// ---- construction ----

void CpmOCCS::ChooseTable(ModuleContext& doc) {
  Group& g = group_;
  g = Group{};
  g.classic = doc.TestPart(kTestClassic);
  g.cvx01 = doc.TestPart(kTestCvx01);
  g.cvx02 = doc.TestPart(kTestCvx02);
  g.cvx06 = doc.TestPart(kTestCvx06);
  g.cvx07 = doc.TestPart(kTestCvx07);
  g.cvx08 = doc.TestPart(kTestCvx08);
  g.cvx09 = doc.TestPart(kTestCvx09);
  g.fenn = doc.TestPart(kTestFenn);
  g.tebo = doc.TestPart(kTestTebo);
  g.casp = doc.TestPart(kTestCasp);
  g.brel = doc.TestPart(kTestBrel);
  g.cvx28 = doc.TestPart(kTestCvx28);
  g.dorn = doc.TestPart(kTestDorn);

  secondLayout_ = g.brel || g.dorn;
  hasRelax_ = g.cvx01 || g.cvx02 || g.cvx08 || g.cvx09 || g.TeboOrCasp() || g.cvx28 || g.dorn;
  hasPrescaler_ = !(g.TeboOrCasp() || g.brel || g.dorn);
  fixedMultiplier_ = g.TeboOrCasp() || g.brel;
  hasHighSpeed_ = g.TeboOrCasp() || g.brel || g.dorn;
  hasCop_ = !secondLayout_;

  if (g.classic) InitRegisters(kClassicTable, CountOf(kClassicTable));
  else if (g.cvx06) InitRegisters(kCvx06Table, CountOf(kCvx06Table));
  else if (g.TeboOrCasp()) InitRegisters(kTeboCaspTable, CountOf(kTeboCaspTable));
  else if (g.brel) InitRegisters(kBrelTable, CountOf(kBrelTable));
  else if (g.dorn) InitRegisters(kDornTable, CountOf(kDornTable));
  else InitRegisters(kLaterTable, CountOf(kLaterTable));  // CVX-07, Fenn, and any other part

  std::vector<Register>& regs = Registers();
  if (g.cvx08 || g.cvx09) regs[kOsc].resetValue = regs[kOsc].value = 0x1200;
  if (g.cvx06 || (g.classic && !g.cvx01 && !g.cvx02)) regs[kOsc].flags |= DUMMYREG;
  if (!hasRelax_) {
    regs[kTrimUse].flags |= kHidden;
    regs[kRetrim].flags |= kHidden;
  }
  if (g.tebo) regs[kProt].flags |= kHidden;
  if (secondLayout_) {
    regs[kCopCtl].flags |= kHidden;
    regs[kCopTo].flags |= kHidden;
  }
  tableChosen_ = true;
}

void CpmOCCS::InitModule(ModuleContext& doc) {
  ChooseTable(doc);
  CModule::InitModule(doc);
  BindControls();
  // The page always carries the pin-warning control, so the pin check runs with the page
  // closed as well.
  SetHasPins(true);
}

void CpmOCCS::BindControls() {
  const Group& g = group_;
  auto ref = [this](size_t index) { return RegisterRef{this, index}; };
  ClearCommentItems();

  // Clock source and PLL (CTRL / PLLCR).
  if (hasRelax_ && !secondLayout_) relaxList_.Bind(ref(kCtrl), 2, 2);
  clockSource_.Bind(ref(kCtrl), 0, 1, 0, "", {1, 2});
  enablePll_.Bind(ref(kCtrl), 4, true);
  lockDetector_.Bind(ref(kCtrl), 7);
  lorInterrupt_.Bind(ref(kCtrl), 11);
  lol0_.Bind(ref(kCtrl), 12, 13, 0, "Loss of lock interrupt 0");
  lol1_.Bind(ref(kCtrl), 14, 15, 0, "Loss of lock interrupt 1");

  // Dividers (DIVBY / PLLDB).
  if (!fixedMultiplier_)
    multiply_.Bind(ref(kDivBy), 0, 6, 1, "Multiplication Factor (PLL Divide-By)", false);
  if (hasPrescaler_) {
    prescaler_.Bind(ref(kDivBy), 8, 9);
    postscaler_.Bind(ref(kDivBy), 10, 11);
  } else if (g.TeboOrCasp()) {
    postscaler_.Bind(ref(kDivBy), 8, 10);
  } else {
    postscaler_.Bind(ref(kDivBy), 8, 11);
  }
  lorPeriod_.Bind(ref(kDivBy), 12, 15, 0, "", false);

  // Oscillator control (OSCTL / IOSCTL).
  if (hasRelax_) trim_.Bind(ref(kOsc), 0, (g.classic || g.cvx06) ? 7 : 9, 0, "", false);
  if (g.fenn || g.casp) oscPower_.Bind(ref(kOsc), 12, 13, 0, "Crystal Power Mode", {1, 0, 2});
  if (g.casp) extClock_.Bind(ref(kOsc), 10, 11);
  if (secondLayout_) {
    relaxEnable_.Bind(ref(kOsc), 15, true);
    relaxMode_.Bind(ref(kOsc), 14, 14);
    crystalEnable_.Bind(ref(kOsc), 12, true);
    oscMode_.Bind(ref(kOsc), 13, 13);
    if (g.brel) crystalRange_.Bind(ref(kOsc), 11, 11);
    if (g.dorn) divideBy2_.Bind(ref(kOsc), 11);
    // One list over two registers: CTRL bit 2 chooses the relaxation oscillator, OSCTL
    // bit 10 then tells CLKIN from the crystal oscillator.
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
  }

  if (g.casp || secondLayout_) {
    protPost_.Bind(ref(kProt), 4, 5);
    protOsc_.Bind(ref(kProt), 2, 3);
    protPll_.Bind(ref(kProt), 0, 1);
  }

  lockMode_.Bind(ref(kLockMode), 5, 6, 0, "",
                 (g.classic || g.cvx06) ? std::vector<uint32_t>{1, 2} : std::vector<uint32_t>{2, 1});
  if (hasRelax_) {
    factoryTrim_.Bind(ref(kTrimUse), 0);
    retrim_.Bind(ref(kRetrim), 0, 31, 0, "Re-trim Relaxation Oscillator##Hz", false);
  }

  if (hasCop_) {
    copWriteProtect_.Bind(ref(kCopCtl), 0);
    copEnable_.Bind(ref(kCopCtl), 1, false, "COP operation");
    copWait_.Bind(ref(kCopCtl), 2);
    copStop_.Bind(ref(kCopCtl), 3);
    if (g.casp) {
      copLossOfClock_.Bind(ref(kCopCtl), 5);
      copRelax_.Bind(ref(kCopCtl), 6);
    }
    copDivisor_.Bind(ref(kCopTo), 0, g.classic ? 11 : 15, 1, "", false);
  }
  if (g.classic) clko_.Bind(ref(kClkosr), 4, 4);

  // The header comment, in page order.
  if (secondLayout_) {
    AddCommentItems({{&relaxEnable_, 0}, {&relaxMode_, 0}, {&crystalEnable_, 0}, {&oscMode_, 0}});
    if (g.brel) AddCommentItem(&crystalRange_, 0);
    if (g.dorn) AddCommentItem(&divideBy2_, 0);
    AddCommentItem(&mstrOsc_, 0);
  } else if (hasRelax_) {
    AddCommentItem(&relaxList_, 0);
  }
  if (hasRelax_) AddCommentItems({{&factoryTrim_, 0}, {&trim_, 0}, {&retrim_, 0}});
  if (g.casp) AddCommentItem(&extClock_, 0);
  if (g.fenn || g.casp) AddCommentItem(&oscPower_, 0);
  AddCommentItems({{&enablePll_, 0}, {&lockDetector_, 0}});
  if (hasPrescaler_) AddCommentItem(&prescaler_, 0);
  if (!fixedMultiplier_) AddCommentItem(&multiply_, 0);
  AddCommentItems({{&postscaler_, 0}, {&clockSource_, 0}, {&lockMode_, 0}, {&lol0_, 0},
                   {&lol1_, 0}, {&lorInterrupt_, 0}, {&lorPeriod_, 0}});
  if (g.classic) AddCommentItem(&clko_, 0);
  if (hasCop_) {
    AddCommentItems({{&copEnable_, 0}, {&copWriteProtect_, 0}, {&copWait_, 0}, {&copStop_, 0}});
    if (g.casp) AddCommentItems({{&copLossOfClock_, 0}, {&copRelax_, 0}});
    AddCommentItem(&copDivisor_, 0);
  }
  if (g.casp || secondLayout_) AddCommentItems({{&protPost_, 0}, {&protOsc_, 0}, {&protPll_, 0}});
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

bool CpmOCCS::IsPllEnabled() const { return !Bit(kCtrl, 4); }
bool CpmOCCS::IsCrystalOscillatorEnabled() const { return secondLayout_ && !Bit(kOsc, 12); }
bool CpmOCCS::IsRelaxationOscillatorEnabled() const { return secondLayout_ && !Bit(kOsc, 15); }

int CpmOCCS::GetMasterOscillatorSource() const {
  if (!Bit(kCtrl, 2)) return 0;
  return Bit(kOsc, 10) ? 2 : 1;
}

bool CpmOCCS::RelaxationUsed() const { return hasRelax_ && !Bit(kCtrl, 2); }

int CpmOCCS::PostscalerItems() const {
  if (hasPrescaler_ || group_.TeboOrCasp()) return 4;
  return (group_.cvx28 || group_.dorn) ? 9 : 6;
}

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
  return secondLayout_ ? context->GetSettings().extalMHz : context->GetSettings().extClkMHz;
}

// ---- the clock computation ----

OccsClocks CpmOCCS::ComputeClocks() const {
  OccsClocks c;
  if (!tableChosen_) return c;
  const Group& g = group_;
  const ModuleContext* context = GetContext();
  const ProjectSettings* settings = context ? &context->GetSettings() : nullptr;
  const float extClk = settings ? settings->extClkMHz : 0.0f;
  const float extal = settings ? settings->extalMHz : 0.0f;

  // Input frequency.
  float fin = extClk;
  if (!secondLayout_) {
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
      if (g.dorn && Bit(kOsc, 11)) fin *= 0.5f;
    }
    c.relaxSelected = hasRelax_ && source == 0;
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
  const float prescale = hasPrescaler_ ? static_cast<float>(1u << Field(kDivBy, 8, 9)) : 1.0f;
  const uint32_t postscalerField = hasPrescaler_      ? Field(kDivBy, 10, 11)
                                   : g.TeboOrCasp() ? Field(kDivBy, 8, 10)
                                                    : Field(kDivBy, 8, 11);
  const float postscale = static_cast<int>(postscalerField) < PostscalerItems()
                              ? static_cast<float>(1u << postscalerField)
                              : 0.0f;
  auto over = [](float value, float divisor) { return divisor > 0 ? value / divisor : 0.0f; };

  // Multiplier.
  long long multiplier = 24;
  if (!fixedMultiplier_) {
    multiplier = EditNumber(kOccsMultiplyEdit, static_cast<long long>(Field(kDivBy, 0, 6)) + 1);
    if (multiplier < 0 || multiplier > 128) multiplier = 0;
  }

  // VCO.
  c.pllEnabled = IsPllEnabled();
  c.vco = c.pllEnabled ? static_cast<float>(multiplier) * fin / prescale : 0.0f;
  const float half = c.vco * 0.5f;
  const float third = c.vco * 0.33333334f;

  // Clock generator output and high-speed clock.
  const int source = SourceItem();
  float out = 0;
  float hs = 0;
  if (!secondLayout_) {
    if (source == 0) {
      out = fin / prescale;
      if (g.casp) hs = over(half, postscale);
      else if (g.tebo) hs = out;
    } else if (source == 1) {
      if (g.TeboOrCasp()) {
        out = over(third, postscale);
        hs = over(half, postscale);
      } else {
        out = over(half, postscale);
      }
    }
  } else if (source == 0) {
    out = hs = over(fin, postscale);
  } else if (source == 1) {
    if (g.dorn) {
      out = hs = over(half, postscale);
    } else {
      out = over(third, postscale);
      hs = over(half, postscale);
    }
  }
  c.output = out;
  c.highSpeed = hs;

  // Stored results.
  if (g.classic) {
    c.system = out;
    c.bus = out * 0.5f;
    c.core = out;
  } else {
    c.system = c.bus = c.core = out * 0.5f;
  }
  c.hsStored = hasHighSpeed_ ? hs : 0.0f;

  // COP timeout.
  if (hasCop_) {
    float copClock = g.classic ? out * (1.0f / 16384.0f) : fin * (1.0f / 1024.0f);
    if (g.casp && Bit(kCopCtl, 6)) copClock = 0.0078125f;
    const long long limit = g.classic ? 4096 : 65536;
    const long long divisor =
        EditNumber(kOccsCopDivisorEdit, static_cast<long long>(Field(kCopTo, 0, g.classic ? 11 : 15)) + 1);
    const float rate =
        divisor > 0 && divisor <= limit ? copClock * 1e6f / static_cast<float>(divisor) : 0.0f;
    c.copTimeoutSeconds = rate > 0 ? 1.0f / rate : 0.0f;
  }

  // Loss-of-reference period.
  const float period = static_cast<float>(Field(kDivBy, 12, 15));
  c.lorPeriodSeconds = half > 0 ? period * 10.0f / (half * 1e6f) : 0.0f;
  return c;
}

bool CpmOCCS::GetClockMHz(int which, float& mhz) const {
  const OccsClocks clocks = ComputeClocks();
  switch (which) {
    case kBusClock: mhz = clocks.bus; return true;
    case kHighSpeedClock: mhz = clocks.hsStored; return true;
    case kSystemClock: mhz = clocks.system; return true;
    default: return false;
  }
}

void CpmOCCS::UpdateValues() {
  if (!tableChosen_) return;
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
  if (hasHighSpeed_) ShowFrequency(kOccsHsFreq, c.highSpeed * 1e6);
  if (hasCop_) ShowTime(kOccsCopTimeout, c.copTimeoutSeconds);
  ShowTime(kOccsLorPeriodTime, c.lorPeriodSeconds);
}

void CpmOCCS::UpdateLimitWarnings(const OccsClocks& c) {
  const Group& g = group_;
  if (hasRelax_) {
    const bool outside = c.factoryTrimUsed && (c.input < 5.7f || c.input > 13.0f);
    SetWarning(kOccsRetrimRange, outside, secondLayout_ ? "(appr 6... 13 MHz)" : "(appr 6...13 MHz)",
               outside ? kRetrimTip : "");
  }

  const int limit = g.classic ? 80 : (g.TeboOrCasp() || g.brel || g.dorn) ? 64 : 60;
  const bool tooFast = c.system > static_cast<float>(limit);
  SetWarning(kOccsCoreRange, tooFast, Format("(max. %d MHz)", limit),
             tooFast ? Format(kLimitTip, limit) : std::string());

  const int low = g.classic ? 80 : g.dorn ? 120 : 160;
  const int high = g.classic ? 240 : g.dorn ? 240 : 260;
  const bool outside =
      c.pllEnabled && (c.vco < static_cast<float>(low) || c.vco > static_cast<float>(high));
  SetWarning(kOccsVcoRange, outside, Format("(%d...%d MHz)", low, high),
             outside ? Format(kPllRangeTip, low, high) : std::string());

  if (hasHighSpeed_) {
    const int hsLimit = g.dorn ? 120 : 96;
    if (c.hsStored > static_cast<float>(hsLimit)) {
      SetWarning(kOccsHsLabel, true, Format("(max. %d MHz)", hsLimit), Format(kLimitTip, hsLimit));
    } else {
      SetWarning(kOccsHsLabel, false, HighSpeedPeripheralText());
    }
  }
}

std::string CpmOCCS::HighSpeedPeripheralText() const {
  struct Peripheral {
    const char* name;
    const char* sysCaption;  // the SYS box that feeds the peripheral from HS_PERF
  };
  std::vector<Peripheral> list;
  if (group_.brel) {
    list = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
            {"Timer", "Timer clock sourced from HS_PERF (3x System Clock)"},
            {"SCI", "SCI clock sourced from HS_PERF (3x System Clock)"}};
  } else if (group_.dorn) {
    list = {{"SCI", "SCI0 clock sourced from HS_PERF (2x System Clock)"},
            {"Timer", "Timer A clock sourced from HS_PERF (2x System Clock)"}};
  } else if (group_.casp) {
    list = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
            {"Timer", "Timer A clock sourced from HS_PERF (3x System Clock)"}};
  } else {
    list = {{"PWM", "PWM clock sourced from HS_PERF (3x System Clock)"},
            {"Timer", "Timer clock sourced from HS_PERF (3x System Clock)"}};
  }
  ModuleContext* context = GetContext();
  CModuleBase* sys = context ? context->FindModule("SYS", "") : nullptr;
  std::vector<std::string> items;
  for (const Peripheral& peripheral : list) {
    if (!sys) {
      items.push_back(peripheral.name);
      continue;
    }
    const std::string link = std::string(kLinkScheme) + sys->GetPrefix() + "/" +
                             sys->GetClass() + "/" + EncodeUrlText(peripheral.sysCaption);
    items.push_back("<A HREF=\"" + link + "\">" + peripheral.name + "</A>");
  }
  if (items.size() == 3)
    return Format("(%s/%s/%s)", items[0].c_str(), items[1].c_str(), items[2].c_str());
  return Format("(%s/%s)", items[0].c_str(), items[1].c_str());
}

// ---- enables ----

void CpmOCCS::ForceCheck(CSetBit& binding, bool checked) {
  if (!binding.GetRegisterRef() || binding.GetCheck() == checked) return;
  binding.SetCheck(checked);
  if (binding.HasWindow()) binding.Update();
}

void CpmOCCS::UpdateEnables() {
  if (!tableChosen_) return;
  const Group& g = group_;

  // CVX-02 always runs from its relaxation oscillator.
  if (g.cvx02 && !secondLayout_ && Bit(kCtrl, 2)) {
    relaxList_.SetIndex(0);
    if (relaxList_.HasWindow()) relaxList_.Update();
  }
  if (g.cvx02) EnableControl(kOccsRelaxList, false);

  // The PLL output as system clock needs the PLL and its lock detector.
  const int source = SourceItem();
  if (source == 1) {
    ForceCheck(enablePll_, true);
    ForceCheck(lockDetector_, true);
  }
  EnableControl(kOccsEnablePll, source == 0);
  const bool pll = IsPllEnabled();

  // Multiplier.
  if (!fixedMultiplier_) EnableControl(kOccsMultiplyEdit, pll);

  // Oscillator controls of the second layout; postscaler.
  if (secondLayout_) {
    EnableControl(kOccsPostscalerList, true);
    const bool crystal = IsCrystalOscillatorEnabled();
    const int master = GetMasterOscillatorSource();
    EnableControl(kOccsOscModeList, crystal);
    if (g.brel) EnableControl(kOccsCrystalRangeList, crystal && Bit(kOsc, 13));
    // The direct clock on XTAL needs its frequency as much as the crystal does.
    EnableControls({kOccsXtalFreqCaption, kOccsXtalFreqEdit, kOccsXtalFreqUnit},
                   crystal || master == 1);
    EnableControls({kOccsClkinCaption, kOccsClkinEdit, kOccsClkinUnit}, master == 2);
    if (Page* page = GetPage())
      page->SetText(kOccsXtalFreqCaption,
                    crystal ? "Crystal oscilator frequency:" : "Direct clock frequency (XTAL):");
    if (g.brel) UpdateUserVectorNote();
  } else {
    EnableControl(kOccsPostscalerList, pll);
  }

  // Lock detector.
  EnableControl(kOccsLockDetector, source == 0 && pll);

  // Relaxation oscillator.
  if (hasRelax_) {
    const bool factory = Bit(kTrimUse, 0);
    if (secondLayout_) {
      const bool enabled = IsRelaxationOscillatorEnabled();
      EnableControls({kOccsTrimCaption, kOccsTrimEdit}, enabled && !factory);
      EnableControls({kOccsRetrimCaption, kOccsRetrimEdit, kOccsRetrimUnit, kOccsRetrimRange},
                     enabled && factory);
      EnableControls({kOccsFactoryTrim, kOccsRelaxModeCaption, kOccsRelaxModeList}, enabled);
    } else {
      const bool used = RelaxationUsed();
      EnableControls({kOccsXtalFreqCaption, kOccsXtalFreqEdit, kOccsXtalFreqUnit,
                      kOccsExtClockCaption, kOccsExtClockList},
                     !used);
      EnableControls({kOccsOscPowerCaption, kOccsOscPowerList},
                     !used && (!g.casp || Field(kOsc, 10, 11) == 2));
      EnableControl(kOccsFactoryTrim, used);
      EnableControls({kOccsTrimCaption, kOccsTrimEdit}, used && !factory);
      EnableControls({kOccsRetrimCaption, kOccsRetrimEdit, kOccsRetrimUnit, kOccsRetrimRange},
                     used && factory);
    }
  } else if (secondLayout_) {
    EnableControls({kOccsRelaxModeCaption, kOccsRelaxModeList}, IsRelaxationOscillatorEnabled());
  }
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
  const bool crystal = secondLayout_ && editId == kOccsXtalFreqEdit;
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
  if (!tableChosen_ || !secondLayout_) return;
  const bool missing = !IsRelaxationOscillatorEnabled() && GetMasterOscillatorSource() == 0;
  SetWarning(kOccsMstrOscCaption, missing, kMstrOscCaption, missing ? kRelaxOffText : "");
}

void CpmOCCS::CheckPinWarnings() {
  if (!group_.tebo) {
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
    auto* gpio = named ? dynamic_cast<CpmGPIO*>(context->FindModule(pinText.substr(0, 6), "")) : nullptr;
    const CpmGPIO_PinDlg* row = gpio ? gpio->FindPinDlg(static_cast<int>(pin)) : nullptr;
    bool output = false;
    if (row) {
      const bool peripheral = !row->GetPinState(output);
      const std::string name = gpio->GetPrefix() + std::to_string(pin);
      if (peripheral) {
        warn = true;
        text = Format("The %s pin is now in Peripheral mode which may prevent using it as CLKIN.",
                      name.c_str());
      } else if (output) {
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
  // The watchdog may run from the crystal oscillator (its source field, value 1).
  if (CModuleBase* cop = context->FindModule("COP", "")) {
    if (const Register* ctl = cop->FindRegister("COPCTL_INIT"); ctl && ((ctl->value >> 5) & 3u) == 1)
      return true;
  }
  // Brel: a clock output (enable bits are active low) fed from the crystal oscillator.
  if (group_.brel) {
    if (CModuleBase* sys = context->FindModule("SYS", "")) {
      if (const Register* clkosr = sys->FindRegister("SIM_CLKOSR_INIT")) {
        const uint32_t value = clkosr->value;
        const bool clko0 = (value & (1u << 5)) == 0 && (value & 0x1Fu) == 5;
        const bool clko1 = (value & (1u << 13)) == 0 && ((value >> 8) & 0x7u) == 5;
        if (clko0 || clko1) return true;
      }
    }
  }
  return false;
}

bool CpmOCCS::IsSignalUsed(const std::string& signal) const {
  if (!tableChosen_ || !hasRelax_) return false;
  const std::string name = ToUpper(Trim(signal));
  if (!secondLayout_) {
    if (RelaxationUsed()) return false;
    const bool powerOff = Field(kOsc, 12, 13) == 1;  // "Off (External clock source used)"
    if (group_.casp) {
      const uint32_t external = Field(kOsc, 10, 11);
      if (name == "EXTAL" || name == "XTAL") return external == 2 && !powerOff;
      if (name == "CLKIN_PRI") return external == 0;
      if (name == "CLKIN_ALT") return external == 1;
      if (name == "CLKIN_XTL") return external == 2 && powerOff;
      return true;
    }
    if (group_.fenn) return !(name == "EXTAL" && powerOff);
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
  if (!tableChosen_) return;
  if (secondLayout_) BuildSecondLayout(page);
  else BuildFirstLayout(page);
  // The pin report (on the Tebo group the CLKIN pin note), hidden until there is one.
  page.NewRow();
  Control& pins = page.AddLink(kPinWarningControlId, group_.tebo ? "GPIO WARNING MESSAGE HERE" : "");
  pins.shown = false;
}

void CpmOCCS::BuildFirstLayout(Page& page) {
  const Group& g = group_;
  const bool interrupts = !InterruptUsers().empty();
  page.AddGroupBox(kOccsGroupOscillator, "Clock source");
  page.AddGroupBox(kOccsGroupPll, "PLL and system clock");
  page.NewRow();
  page.AddGroupBox(kOccsGroupMonitor, "Loss of lock and reference");
  page.AddGroupBox(kOccsGroupCop, "COP watchdog");
  page.NewRow();
  if (g.casp) page.AddGroupBox(kOccsGroupProtection, "Write protection");
  if (interrupts) page.AddGroupBox(kOccsGroupInterrupts, "Interrupt");
  page.NewRow();

  page.BeginGroup(kOccsGroupOscillator);
  if (hasRelax_) {
    page.AddStatic(kOccsRelaxCaption, "Internal relaxation oscillator:");
    page.AddDropDown(kOccsRelaxList, {"Used", "Not used"}, &relaxList_);
    page.NewRow();
    page.AddCheckBox(kOccsFactoryTrim, "Use Factory Trim Value", &factoryTrim_);
    page.NewRow();
    page.AddStatic(kOccsTrimCaption, "Trimming value:");
    page.AddEdit(kOccsTrimEdit, &trim_).layout.width = 80;
    page.AddSpin(kOccsTrimSpin, kOccsTrimEdit, 1, g.classic ? 255 : 1023);
    page.NewRow();
    page.AddStatic(kOccsRetrimCaption, "Re-trim clock:");
    page.AddEdit(kOccsRetrimEdit, &retrim_).layout.width = 80;
    page.AddStatic(kOccsRetrimUnit, "Hz");
    page.AddStatic(kOccsRetrimRange, "(appr 6...13 MHz)");
    page.NewRow();
  }
  page.AddStatic(kOccsXtalFreqCaption, "Crystal oscillator frequency:");
  const float extClk = GetContext() ? GetContext()->GetSettings().extClkMHz : 0.0f;
  page.AddEdit(kOccsXtalFreqEdit).text = FrequencyEditText(extClk);
  page.Find(kOccsXtalFreqEdit)->layout.width = 80;
  page.AddStatic(kOccsXtalFreqUnit, "MHz");
  page.NewRow();
  if (g.casp) {
    page.AddStatic(kOccsExtClockCaption, "External clock:");
    page.AddDropDown(kOccsExtClockList,
                     {"Primary Ext. Clock (GPIO_B6 pin)", "Alternate Ext. Clock (GPIO_B5 pin)",
                      "Crystal Oscillator or Clock on XTAL"},
                     &extClock_);
    page.NewRow();
  }
  if (g.fenn || g.casp) {
    page.AddStatic(kOccsOscPowerCaption, "Oscillator power:");
    page.AddDropDown(kOccsOscPowerList,
                     {"Off (External clock source used)", "High power (Resonator is used)",
                      "Low power (Crystal is used)"},
                     &oscPower_);
    page.NewRow();
  }
  page.AddStatic(kOccsInputFreqCaption, "Input frequency:");
  page.AddDisplay(kOccsInputFreq).layout.width = 100;
  page.EndGroup();

  page.BeginGroup(kOccsGroupPll);
  BuildPllGroup(page);
  page.EndGroup();

  page.BeginGroup(kOccsGroupMonitor);
  BuildMonitorGroup(page);
  page.EndGroup();

  page.BeginGroup(kOccsGroupCop);
  BuildCopGroup(page);
  page.EndGroup();

  if (g.casp) {
    page.BeginGroup(kOccsGroupProtection);
    BuildProtectionGroup(page);
    page.EndGroup();
  }
  if (interrupts) {
    page.BeginGroup(kOccsGroupInterrupts);
    BuildInterruptGroup(page);
    page.EndGroup();
  }
}

void CpmOCCS::BuildSecondLayout(Page& page) {
  const Group& g = group_;
  const bool interrupts = !InterruptUsers().empty();
  page.AddGroupBox(kOccsGroupOscillator, "Relaxation oscillator");
  page.AddGroupBox(kOccsGroupCrystal, "Crystal oscillator and CLKIN");
  page.NewRow();
  page.AddGroupBox(kOccsGroupPll, "PLL and system clock");
  page.AddGroupBox(kOccsGroupMonitor, "Loss of lock and reference");
  page.NewRow();
  page.AddGroupBox(kOccsGroupProtection, "Write protection");
  if (interrupts) page.AddGroupBox(kOccsGroupInterrupts, "Interrupt");
  page.NewRow();

  page.BeginGroup(kOccsGroupOscillator);
  page.AddCheckBox(kOccsRelaxEnable, "Enable internal relaxation oscilator", &relaxEnable_);
  page.NewRow();
  page.AddStatic(kOccsRelaxModeCaption, "Relaxation oscilator mode");
  page.AddDropDown(kOccsRelaxModeList, {"Normal", "Standby"}, &relaxMode_);
  page.NewRow();
  if (hasRelax_) {
    page.AddCheckBox(kOccsFactoryTrim, "Use Factory Trim Value", &factoryTrim_);
    page.NewRow();
    page.AddStatic(kOccsTrimCaption, "Trimming value:");
    page.AddEdit(kOccsTrimEdit, &trim_).layout.width = 80;
    page.AddSpin(kOccsTrimSpin, kOccsTrimEdit, 1, 1023);
    page.NewRow();
    page.AddStatic(kOccsRetrimCaption, "Re-trim clock:");
    page.AddEdit(kOccsRetrimEdit, &retrim_).layout.width = 80;
    page.AddStatic(kOccsRetrimUnit, "Hz");
    page.AddStatic(kOccsRetrimRange, "(appr 6... 13 MHz)");
  }
  page.EndGroup();

  const ProjectSettings* settings = GetContext() ? &GetContext()->GetSettings() : nullptr;
  page.BeginGroup(kOccsGroupCrystal);
  page.AddCheckBox(kOccsCrystalEnable, "Crystal oscilator enabled (Direct clock on XTAL disabled)",
                   &crystalEnable_);
  page.NewRow();
  page.AddStatic(kOccsOscModeCaption, "Oscilator mode:");
  page.AddDropDown(kOccsOscModeList, {"Resonator", "Crystal"}, &oscMode_);
  page.NewRow();
  if (g.brel) {
    page.AddStatic(kOccsCrystalRangeCaption, "Crystal range:");
    page.AddDropDown(kOccsCrystalRangeList, {"32 KHz", "1 to 16 MHz"}, &crystalRange_);
    page.NewRow();
  }
  if (g.dorn) {
    page.AddCheckBox(kOccsDivideBy2, "Divide Oscillator By 2", &divideBy2_);
    page.NewRow();
  }
  page.AddStatic(kOccsXtalFreqCaption, "Crystal oscilator frequency:");
  page.AddEdit(kOccsXtalFreqEdit).text = FrequencyEditText(settings ? settings->extalMHz : 0.0f);
  page.Find(kOccsXtalFreqEdit)->layout.width = 80;
  page.AddStatic(kOccsXtalFreqUnit, "MHz");
  page.NewRow();
  page.AddStatic(kOccsClkinCaption, "CLKIN frequency:");
  page.AddEdit(kOccsClkinEdit).text = FrequencyEditText(settings ? settings->extClkMHz : 0.0f);
  page.Find(kOccsClkinEdit)->layout.width = 80;
  page.AddStatic(kOccsClkinUnit, "MHz");
  page.EndGroup();

  page.BeginGroup(kOccsGroupPll);
  page.AddStatic(kOccsMstrOscCaption, kMstrOscCaption);
  page.AddDropDown(kOccsMstrOscList, {"Relaxation oscilator", "Crystal oscilator / XTAL", "CLKIN"},
                   &mstrOsc_);
  page.NewRow();
  page.AddStatic(kOccsInputFreqCaption, "Input frequency:");
  page.AddDisplay(kOccsInputFreq).layout.width = 100;
  page.NewRow();
  BuildPllGroup(page);
  page.EndGroup();

  page.BeginGroup(kOccsGroupMonitor);
  BuildMonitorGroup(page);
  page.EndGroup();

  page.BeginGroup(kOccsGroupProtection);
  BuildProtectionGroup(page);
  page.EndGroup();

  if (interrupts) {
    page.BeginGroup(kOccsGroupInterrupts);
    BuildInterruptGroup(page);
    page.EndGroup();
  }
}

void CpmOCCS::BuildPllGroup(Page& page) {
  const Group& g = group_;
  page.AddCheckBox(kOccsEnablePll, "Enable PLL", &enablePll_);
  page.AddCheckBox(kOccsLockDetector, "Enable lock detector", &lockDetector_);
  page.NewRow();

  page.AddStatic(kOccsPrescalerCaption, "Prescaler:");
  if (hasPrescaler_) {
    page.AddDropDown(kOccsPrescalerList, {"Input / 1", "/ 2", "/ 4", "/ 8"}, &prescaler_);
  } else {
    Control& list = page.AddDropDown(kOccsPrescalerList, {"not used"});
    list.selection = 0;
    list.text = "not used";
    list.enabled = false;
  }
  page.NewRow();

  page.AddStatic(kOccsMultiplyCaption, "Multiply (PLL Div)");
  if (fixedMultiplier_) {
    Control& edit = page.AddEdit(kOccsMultiplyEdit);
    edit.text = "24 (fixed)";
    edit.enabled = false;
    edit.layout.width = 80;
  } else {
    page.AddEdit(kOccsMultiplyEdit, &multiply_).layout.width = 80;
    page.AddSpin(kOccsMultiplySpin, kOccsMultiplyEdit, 1, 128);
  }
  page.NewRow();

  page.AddStatic(kOccsVcoCaption, "VCO freq.");
  page.AddDisplay(kOccsVcoFreq).layout.width = 100;
  page.AddStatic(kOccsVcoRange, "");
  page.NewRow();

  page.AddStatic(kOccsPostscalerCaption, "Postscaler:");
  std::vector<std::string> postscalerItems;
  for (int i = 0; i < PostscalerItems(); ++i) postscalerItems.push_back(Format("PLL freq. / %d", 1 << i));
  page.AddDropDown(kOccsPostscalerList, postscalerItems, &postscaler_);
  page.NewRow();

  page.AddStatic(kOccsClockSourceCaption, "System clock source:");
  std::vector<std::string> sources = {"Prescaler output", "Postscaler output"};
  if (secondLayout_) sources = {"MSTR_OSC", "PLL"};
  else if (g.TeboOrCasp()) sources[0] = "Osc./Ext. clock";
  page.AddDropDown(kOccsClockSourceList, sources, &clockSource_);
  page.NewRow();

  page.AddStatic(kOccsCoreCaption, "Core freq:");
  page.AddDisplay(kOccsCoreFreq).layout.width = 100;
  page.AddStatic(kOccsCoreRange, "");
  page.NewRow();

  if (hasHighSpeed_) {
    page.AddStatic(kOccsHsCaption, "HS freq.");
    page.AddDisplay(kOccsHsFreq).layout.width = 100;
    page.AddLink(kOccsHsLabel, "");
    page.NewRow();
  }

  page.AddStatic(kOccsLockModeCaption, "Startup lock mode:");
  page.AddDropDown(kOccsLockModeList, {"Fine", "Coarse"}, &lockMode_);
}

void CpmOCCS::BuildMonitorGroup(Page& page) {
  page.AddStatic(kOccsLol0Caption, "Loss of lock 0 (coarse):");
  page.AddDropDown(kOccsLol0List, LossOfLockItems(0), &lol0_);
  page.NewRow();
  page.AddStatic(kOccsLol1Caption, "Loss of lock 1 (fine):");
  page.AddDropDown(kOccsLol1List, LossOfLockItems(1), &lol1_);
  page.NewRow();
  page.AddCheckBox(kOccsLorInterrupt, "Loss of reference clock Interrupt", &lorInterrupt_);
  page.NewRow();
  page.AddStatic(kOccsLorPeriodCaption, "Loss of reference timer period:");
  page.AddEdit(kOccsLorPeriodEdit, &lorPeriod_).layout.width = 50;
  page.AddSpin(kOccsLorPeriodSpin, kOccsLorPeriodEdit, 0, 15);
  page.AddDisplay(kOccsLorPeriodTime).layout.width = 100;
  if (group_.classic) {
    page.NewRow();
    page.AddStatic(kOccsClkoCaption, "CLKO pin output clock:");
    page.AddDropDown(kOccsClkoList, {"ZCLOCK (Sys. clock)", "None"}, &clko_);
  }
}

void CpmOCCS::BuildCopGroup(Page& page) {
  page.AddCheckBox(kOccsCopEnable, "COP Enable", &copEnable_);
  page.AddCheckBox(kOccsCopWriteProtect, "COP Write Protect", &copWriteProtect_);
  page.NewRow();
  page.AddCheckBox(kOccsCopWait, "COP Runs in Wait Mode", &copWait_);
  page.AddCheckBox(kOccsCopStop, "COP Runs in Stop Mode", &copStop_);
  page.NewRow();
  if (group_.casp) {
    page.AddCheckBox(kOccsCopLossOfClock, "Enable Loss of Clock COP", &copLossOfClock_);
    page.AddCheckBox(kOccsCopRelax, "Use Relaxation Oscillator", &copRelax_);
    page.NewRow();
  }
  page.AddStatic(kOccsCopDivisorCaption, "Timeout divisor:");
  page.AddEdit(kOccsCopDivisorEdit, &copDivisor_).layout.width = 80;
  page.AddSpin(kOccsCopDivisorSpin, kOccsCopDivisorEdit, 1, group_.classic ? 4096 : 65536);
  page.NewRow();
  page.AddStatic(kOccsCopTimeoutCaption, "Timeout:");
  page.AddDisplay(kOccsCopTimeout).layout.width = 100;
}

void CpmOCCS::BuildProtectionGroup(Page& page) {
  page.AddStatic(kOccsProtPostCaption, "Postscaler && Clock Source");
  page.AddDropDown(kOccsProtPostList, kProtectionItems, &protPost_);
  page.NewRow();
  page.AddStatic(kOccsProtOscCaption, "Oscillator Configuration");
  page.AddDropDown(kOccsProtOscList, kProtectionItems, &protOsc_);
  page.NewRow();
  page.AddStatic(kOccsProtPllCaption, "PLL Configuration:");
  page.AddDropDown(kOccsProtPllList, kProtectionItems, &protPll_);
}

void CpmOCCS::BuildInterruptGroup(Page& page) {
  page.AddPlaceholder(kInterruptHeaderFirst, 400);
  for (const InterruptUser& user : InterruptUsers()) {
    page.NewRow();
    page.AddPlaceholder(kInterruptPanelBase + static_cast<uint32_t>(user.index), 400);
  }
  if (group_.brel) {
    page.NewRow();
    page.AddLink(kOccsUserVectorNote, "(user vector information)").shown = false;
  }
}

void RegisterOccsModuleKinds(ModuleFactory& factory) { factory.Register<CpmOCCS>("OCCS"); }

}  // namespace tarq

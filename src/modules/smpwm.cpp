// The sub-module PWM of the Dorn group: sub-modules, common control and software layer.
#include "modules/smpwm.h"

#include <cmath>
#include <cstdio>

#include "framework/Bindings.h"
#include "framework/Hints.h"
#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "framework/WizardConfirmation.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;
constexpr const char* kNoClock = "n/a";

// Sub-module registers.
constexpr const char* kCtrl = "CTRL_INIT";
constexpr const char* kCtrl2 = "CTRL2_INIT";
constexpr const char* kUseVal = "USE_PWMVAL";
constexpr const char* kInit = "INIT_INIT";
constexpr const char* kVal1 = "VAL1_INIT";
constexpr const char* kFracVal1 = "FRACVAL1_INIT";
constexpr const char* kFrctrl = "FRCTRL_INIT";
constexpr const char* kOctrl = "OCTRL_INIT";
constexpr const char* kTctrl = "TCTRL_INIT";
constexpr const char* kDtcnt[2] = {"DTCNT0_INIT", "DTCNT1_INIT"};
constexpr const char* kInten = "INTEN_INIT";
constexpr const char* kDismap = "DISMAP_INIT";

// Common registers (define names without the module prefix).
constexpr const char* kMctrl = "-PWM_MCTRL_INIT";
constexpr const char* kMctrl2 = "-PWM_MCTRL2_INIT";
constexpr const char* kMask = "-PWM_MASK_INIT";
constexpr const char* kOuten = "-PWM_OUTEN_INIT";
constexpr const char* kSwcout = "-PWM_SWCOUT_INIT";
constexpr const char* kDtsrcsel = "-PWM_DTSRCSEL_INIT";
constexpr const char* kFctrl = "-PWM_FCTRL_INIT";
constexpr const char* kFsts = "-PWM_FSTS_INIT";
constexpr const char* kFfilt = "-PWM_FFILT_INIT";

// Crossbar outputs that feed the sub-module PWM.
constexpr int kXbarExta = 12;     // + sub-module number
constexpr int kXbarExtSync = 16;  // + sub-module number
constexpr int kXbarExtClock = 20;
constexpr int kXbarFault = 21;  // + fault number
constexpr int kXbarExtForce = 25;

// Page keys.
constexpr const char* kClockKey = "Clock source:";
constexpr const char* kPrescalerKey = "Prescaler:";
constexpr const char* kCounterClockKey = "Counter clock:";
constexpr const char* kPeriodKey = "Period:";
constexpr const char* kFrequencyKey = "Frequency:";
constexpr const char* kResolutionKey = "Resolution:";
constexpr const char* kReloadSourceKey = "Reload source";
constexpr const char* kSyncSourceKey = "Sync. source";
constexpr const char* kForceSourceKey = "Source of FORCE OUTPUT signal";
constexpr const char* kInitKey = "Counter Init Value";
constexpr const char* kVal1Key = "Counter Modulo Value (VAL1)";
constexpr const char* kFracVal1Key = "PWM Fractional Value 1";
constexpr const char* kFracClockKey = "fractional clock note";
constexpr const char* kFracPowerKey = "Fraction Power";
constexpr const char* kInitNoteKey = "init note";
constexpr const char* kClockNoteKey = "clock note";
constexpr const char* kSyncNoteKey = "sync note";
constexpr const char* kForceNoteKey = "force note";
constexpr const char* kExtaNoteKey = "exta note";
constexpr const char* kFracNoteKey = "fraction note";
constexpr const char* kVectorNoteKey = "vector note";
constexpr const char* kClaimFailedText =
    "Could not set interrupt vectors required by these interrupts";

std::string FracEnableKey(int k) {
  static const char* const kNames[3] = {"1", "2 & 3", "4 & 5"};
  return std::string("Fraction delay block enable: ") + kNames[k];
}
std::string ValueKey(int n) { return n == 0 ? "PWM Value X" : Format("PWM Value %d", n); }
std::string FracKey(int n) { return Format("PWM Fractional Value %d", n); }
std::string EdgeKey(int n) { return Format("edge time %d", n); }
std::string DeadTimeKey(int d) { return Format("Deadtime count %d", d); }
std::string DeadTimeDisplayKey(int d) { return Format("dead time %d", d); }

FieldSpec Bit(const std::string& reg, int bit, CModuleBase* holder = nullptr) {
  return {.reg = reg, .low = bit, .holder = holder};
}
FieldSpec Bits(const std::string& reg, int low, int high, CModuleBase* holder = nullptr) {
  return {.reg = reg, .low = low, .high = high, .holder = holder};
}

Register* FindReg(std::vector<Register>& table, const std::string& name) {
  for (Register& reg : table)
    if (reg.name == name) return &reg;
  return nullptr;
}
const Register* FindReg(const std::vector<Register>& table, const std::string& name) {
  for (const Register& reg : table)
    if (reg.name == name) return &reg;
  return nullptr;
}
uint32_t FieldOf(const std::vector<Register>& table, const std::string& name, int low, int high) {
  const Register* reg = FindReg(table, name);
  if (!reg) return 0;
  const int width = high - low + 1;
  const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
  return (reg->value >> low) & mask;
}

// Signed 16-bit counts typed and shown as decimal numbers; "0x" entries are taken as the
// register's bits.
bool ParseSignedCount(const std::string& text, uint32_t& value) {
  long number = 0;
  char c = 0;
  if (std::sscanf(text.c_str(), " %li %c", &number, &c) != 1) return false;
  if (number < -32768 || number > 0xFFFF) return false;
  value = static_cast<uint32_t>(number) & 0xFFFFu;
  return true;
}
std::string SignedCountText(uint32_t raw) {
  return Format("%d", static_cast<int>(static_cast<int16_t>(static_cast<uint16_t>(raw & 0xFFFFu))));
}
void MakeSigned(DeclaredControl& control) {
  if (CSetValue* value = control.Value()) value->SetTextHandlers(ParseSignedCount, SignedCountText);
}

std::string AnchorHtml(const std::string& url, const std::string& text) {
  return url.empty() ? text : Format("<A HREF=\"%s\">%s</A>", url.c_str(), text.c_str());
}

// Claims a vector for an enabled interrupt, or releases it; false when another module holds
// it. The vector keeps an ISR name the user gave it (the routine the application has); a
// vector without one gets `defaultName`. Released, it gets back the name it had before.
bool ClaimVector(InterruptController& controller, const InterruptUser& user, bool enable,
                 const std::string& defaultName, CModuleBase* module) {
  std::string name = defaultName;
  if (enable) {
    const std::string current = controller.VectorIsrName(user.vector);
    if (!current.empty()) name = current;
  }
  return controller.ClaimVector(user, enable, name, module) || !enable;
}

const std::vector<std::string>& ReloadItems() {
  static const std::vector<std::string> kItems = [] {
    std::vector<std::string> items = {"Every opportunity"};
    for (int n = 2; n <= 16; ++n) items.push_back(Format("Every %d opportunities", n));
    return items;
  }();
  return kItems;
}

}  // namespace

// ======================================================================================
// Sub-module
// ======================================================================================

CpmPWM_Dorn::CpmPWM_Dorn(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {
  // The number is the last digit of the name: PWM_2 is sub-module 2.
  const std::string& name = entry.name;
  number_ = !name.empty() && name.back() >= '0' && name.back() <= '3' ? name.back() - '0' : 0;
}

bool CpmPWM_Dorn::ForceFromSubmodule0(int forceSelect) {
  // 1: the master force of PWM_0, 3: the master reload of PWM_0, 5: the master sync of PWM_0.
  return forceSelect == 1 || forceSelect == 3 || forceSelect == 5;
}

void CpmPWM_Dorn::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"CTRL_INIT", 0x0400, DW16 | NODEFAULT},
      {"CTRL2_INIT", 0x0000, DW16 | NODEFAULT},
      {"USE_PWMVAL", 0, DW16 | DECVALUE | NOSHOWLIST},
      {"INIT_INIT", 0x0000, DW16 | NODEFAULT},
      {"VAL1_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRACVAL1_INIT", 0x0000, DW16},
      {"VAL0_INIT", 0x0000, DW16 | NODEFAULT},
      {"VAL2_INIT", 0x0000, DW16 | NODEFAULT},
      {"VAL3_INIT", 0x0000, DW16 | NODEFAULT},
      {"VAL4_INIT", 0x0000, DW16 | NODEFAULT},
      {"VAL5_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRACVAL2_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRACVAL3_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRACVAL4_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRACVAL5_INIT", 0x0000, DW16 | NODEFAULT},
      {"FRCTRL_INIT", 0x0000, DW16 | NODEFAULT},
      {"OCTRL_INIT", 0x0000, DW16 | NODEFAULT},
      {"TCTRL_INIT", 0x0000, DW16},
      {"DTCNT0_INIT", 0x07FF, DW16},
      {"DTCNT1_INIT", 0x07FF, DW16},
      {"INTEN_INIT", 0x0000, DW16},
      {"DISMAP_INIT", 0xFFFF, DW16},
      {"CAPTCTRLA_INIT", 0x0000, DW16},
      {"CAPTCOMPA_INIT", 0x0000, DW16},
      {"CAPTCTRLB_INIT", 0x0000, DW16},
      {"CAPTCOMPB_INIT", 0x0000, DW16},
      {"CAPTCTRLX_INIT", 0x0000, DW16},
      {"CAPTCOMPX_INIT", 0x0000, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmPWM_Dorn::OnModulesReady() {
  CDeclaredModule::OnModulesReady();
  common_ = FindCapability<PwmCommonControl>(GetContext());
  // The common module's bits join the page now that it is known.
  if (common_) Redeclare();
}

void CpmPWM_Dorn::Redeclare() {
  DestroyPage();
  decl_.Clear();
  DeclarePage(decl_);
  ClearCommentItems();
  decl_.AddCommentItems();
}

void CpmPWM_Dorn::DeclarePage(PageDeclaration& d) {
  const int n = number_;
  const auto values = [this] { return BitOf(kUseVal, 0); };
  const auto fractional = [this](int k) { return BitOf(kFrctrl, k == 0 ? 1 : k == 1 ? 2 : 4); };

  d.Group("Counter");
  d.List({.caption = kClockKey,
          .field = Bits(kCtrl2, 0, 1),
          .items = {"IPBus clock", "EXT_CLK (crossbar)", "AUX_CLK (clock of PWM_0)"},
          .label = "Clock source",
          .width = 200});
  d.Link({.key = kClockNoteKey, .newRow = false, .shown = false});
  d.List({.caption = kPrescalerKey,
          .field = Bits(kCtrl, 4, 6),
          .items = {"/1", "/2", "/4", "/8", "/16", "/32", "/64", "/128"},
          .label = "Prescaler",
          .width = 80});
  MakeSigned(d.Value({.caption = "Init value (INIT):",
                      .key = kInitKey,
                      .field = Bits(kInit, 0, 15),
                      .label = kInitKey,
                      .number = {.hex = false, .zeroAllowed = true},
                      .width = 90}));
  MakeSigned(d.Value({.caption = "Modulo value (VAL1):",
                      .key = kVal1Key,
                      .field = Bits(kVal1, 0, 15),
                      .label = kVal1Key,
                      .number = {.hex = false, .zeroAllowed = true},
                      .width = 90}));
  d.Link({.key = kInitNoteKey, .newRow = false, .shown = false});
  d.Value({.caption = "Fractional value 1 (/32):",
           .key = kFracVal1Key,
           .field = Bits(kFracVal1, 11, 15),
           .label = kFracVal1Key,
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 31},
           .width = 60,
           .enabled = [fractional] { return fractional(0); }});
  d.Display({.caption = kCounterClockKey, .label = "Counter clock", .width = 110});
  d.Display({.caption = kPeriodKey, .label = "PWM period", .width = 110});
  d.Display({.caption = kFrequencyKey, .label = "PWM frequency", .width = 110});
  d.Display({.caption = kResolutionKey, .label = "PWM resolution", .width = 110});

  d.Group("Reload and Synchronization");
  d.Box({.caption = "Full Cycle Reload", .field = Bit(kCtrl, 10), .comment = kState});
  d.Box({.caption = "Half Cycle Reload",
         .field = Bit(kCtrl, 11),
         .comment = kState,
         .newRow = false});
  d.List({.caption = "Reload Frequency:",
          .field = Bits(kCtrl, 12, 15),
          .items = ReloadItems(),
          .label = "Reload Frequency",
          .width = 170});
  d.List({.caption = "Reload source:",
          .key = kReloadSourceKey,
          .field = Bit(kCtrl2, 2),
          .items = {"Local RELOAD signal", "Master RELOAD from PWM_0"},
          .label = kReloadSourceKey,
          .width = 200});
  d.List({.caption = "Sync. source:",
          .key = kSyncSourceKey,
          .field = Bits(kCtrl2, 8, 9),
          .items = {"Local sync (PWMX)", "Master reload from PWM_0", "Master sync from PWM_0",
                    "EXT_SYNC (crossbar)"},
          .label = kSyncSourceKey,
          .width = 200});
  d.Link({.key = kSyncNoteKey, .newRow = false, .shown = false});
  d.List({.caption = "FORCE OUTPUT source:",
          .key = kForceSourceKey,
          .field = Bits(kCtrl2, 3, 5),
          .items = {"Local FORCE signal", "Master FORCE from PWM_0", "Local RELOAD signal",
                    "Master RELOAD from PWM_0", "Local SYNC signal", "Master SYNC from PWM_0",
                    "EXT_FORCE (crossbar)", "EXT_SYNC (crossbar)"},
          .label = kForceSourceKey,
          .width = 200});
  d.Link({.key = kForceNoteKey, .newRow = false, .shown = false});
  d.Box({.caption = "Double switching mode", .field = Bit(kCtrl, 0), .comment = kState});

  d.Group("Dead Time");
  for (int k = 0; k < 2; ++k) {
    d.Value({.caption = Format("Deadtime count %d:", k),
             .key = DeadTimeKey(k),
             .field = Bits(kDtcnt[k], 0, 10),
             .label = DeadTimeKey(k),
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 0x7FF},
             .width = 70});
    d.Display({.caption = "", .key = DeadTimeDisplayKey(k), .width = 100, .newRow = false});
  }

  d.NextBand();
  d.Group("Value Registers");
  d.Box({.caption = "Initialize Value Registers", .field = Bit(kUseVal, 0), .comment = kState});
  for (int v : {0, 2, 3, 4, 5}) {
    MakeSigned(d.Value({.caption = v == 0 ? "Value X (VAL0):" : Format("Value %d:", v),
                        .key = ValueKey(v),
                        .field = Bits(Format("VAL%d_INIT", v), 0, 15),
                        .label = ValueKey(v),
                        .number = {.hex = false, .zeroAllowed = true},
                        .width = 80,
                        .enabled = values}));
    if (v >= 2) {
      const int k = v <= 3 ? 1 : 2;
      d.Value({.caption = "frac:",
               .key = FracKey(v),
               .field = Bits(Format("FRACVAL%d_INIT", v), 11, 15),
               .label = FracKey(v),
               .number = {.hex = false, .zeroAllowed = true},
               .spin = {.minimum = 0, .maximum = 31},
               .width = 50,
               .newRow = false,
               .enabled = [values, fractional, k] { return values() && fractional(k); }});
      d.Display({.caption = "edge at", .key = EdgeKey(v), .width = 100, .newRow = false});
    }
  }
  d.Box({.caption = "Fraction delay 1",
         .key = FracEnableKey(0),
         .field = Bit(kFrctrl, 1),
         .label = FracEnableKey(0),
         .comment = kState});
  d.Box({.caption = "Fraction delay 2 && 3",
         .key = FracEnableKey(1),
         .field = Bit(kFrctrl, 2),
         .label = FracEnableKey(1),
         .comment = kState,
         .newRow = false});
  d.Box({.caption = "Fraction delay 4 && 5",
         .key = FracEnableKey(2),
         .field = Bit(kFrctrl, 4),
         .label = FracEnableKey(2),
         .comment = kState,
         .newRow = false});
  d.Box({.caption = "Fraction Power",
         .key = kFracPowerKey,
         .field = Bit(kFrctrl, 8),
         .comment = kState});
  d.Link({.key = kFracNoteKey, .shown = false});
  d.Link({.key = kFracClockKey, .shown = false});

  d.Group("Outputs");
  d.PinWarning();
  SetHasPins(true);
  d.List({.caption = "PWMA and PWMB:",
          .key = "PWMA and PWMB Pair Operation",
          .field = Bit(kCtrl2, 13),
          .items = {"Complementary pair", "Independent"},
          .label = "PWMA and PWMB Pair Operation",
          .width = 150});
  d.Box({.caption = "PWMA polarity inverted",
         .key = "PWMA Output Polarity",
         .field = Bit(kOctrl, 10),
         .label = "PWMA Output Polarity",
         .comment = kState});
  d.Box({.caption = "PWMB polarity inverted",
         .key = "PWMB Output Polarity",
         .field = Bit(kOctrl, 9),
         .label = "PWMB Output Polarity",
         .comment = kState,
         .newRow = false});
  d.Box({.caption = "PWMX polarity inverted",
         .key = "PWMX Output Polarity",
         .field = Bit(kOctrl, 8),
         .label = "PWMX Output Polarity",
         .comment = kState,
         .newRow = false});
  d.Box({.caption = "PWM23 initial value",
         .key = "PWM23 Initial Value",
         .field = Bit(kCtrl2, 11),
         .label = "PWM23 Initial Value",
         .comment = kState});
  d.Box({.caption = "PWM45 initial value",
         .key = "PWM45 Initial Value",
         .field = Bit(kCtrl2, 12),
         .label = "PWM45 Initial Value",
         .comment = kState,
         .newRow = false});
  d.Box({.caption = "PWMX initial value",
         .key = "PWMX Initial Value",
         .field = Bit(kCtrl2, 10),
         .label = "PWMX Initial Value",
         .comment = kState,
         .newRow = false});

  // The bits of this sub-module in the common registers.
  if (common_) {
    CModuleBase* holder = common_->SharedRegister(kMctrl).module;
    const char* const pins[3] = {"PWMA", "PWMB", "PWMX"};
    const int pinBit[3] = {8 + n, 4 + n, n};
    for (int p = 0; p < 3; ++p) {
      const std::string label = std::string(pins[p]) + " Output enable";
      d.Box({.caption = label,
             .field = Bit(kOuten, pinBit[p], holder),
             .comment = kState,
             .newRow = p == 0});
    }
    for (int p = 0; p < 3; ++p) {
      const std::string label = std::string(pins[p]) + " Mask";
      d.Box({.caption = label,
             .field = Bit(kMask, pinBit[p], holder),
             .comment = kState,
             .newRow = p == 0});
    }
    d.Box({.caption = "Software output OUT23",
           .key = "Software Controlled Output 23",
           .field = Bit(kSwcout, 2 * n + 1, holder),
           .label = "Software Controlled Output",
           .comment = kState});
    d.Box({.caption = "Software output OUT45",
           .key = "Software Controlled Output 45",
           .field = Bit(kSwcout, 2 * n, holder),
           .label = "Software Controlled Output",
           .comment = kState,
           .newRow = false});
    const std::vector<std::string> sources23 = {
        Format("PWM%d_23 (generated)", n), Format("Inverted PWM%d_23", n),
        Format("OUT23_%d (software)", n), "PWM_EXTA (crossbar)"};
    const std::vector<std::string> sources45 = {Format("PWM%d_45 (generated)", n),
                                                Format("Inverted PWM%d_45", n),
                                                Format("OUT45_%d (software)", n), "PWM_EXTB"};
    d.List({.caption = "Dead time source 23:",
            .key = "Dead Time Source 23",
            .field = Bits(kDtsrcsel, 4 * n + 2, 4 * n + 3, holder),
            .items = sources23,
            .label = "Dead Time Source 23",
            .width = 180});
    d.Link({.key = kExtaNoteKey, .newRow = false, .shown = false});
    d.List({.caption = "Dead time source 45:",
            .key = "Dead Time Source 45",
            .field = Bits(kDtsrcsel, 4 * n, 4 * n + 1, holder),
            .items = sources45,
            .label = "Dead Time Source 45",
            .width = 180});
    d.Box({.caption = "Load OK",
           .key = "Load OK",
           .field = Bit(kMctrl, n, holder),
           .label = "Load OK",
           .comment = kState});
    d.Box({.caption = "Run",
           .key = "Run",
           .field = Bit(kMctrl, n + 8, holder),
           .label = "Run",
           .comment = kState,
           .newRow = false});
    d.Box({.caption = "Double Switching",
           .field = Bit(kMctrl, n + 12, holder),
           .comment = kState,
           .newRow = false});
  }

  d.NextBand();
  d.Group("Output Triggers");
  for (int t = 0; t < 6; ++t) {
    d.Box({.caption = Format("Trigger %d (VAL%d)", t, t),
           .key = Format("Output Trigger %d", t),
           .field = Bit(kTctrl, t),
           .label = Format("Output Trigger %d", t),
           .comment = kState,
           .newRow = t % 3 == 0});
  }

  d.Group("Interrupts");
  for (int t = 0; t < 6; ++t) {
    d.Box({.caption = Format("Compare VAL%d", t),
           .key = Format("Compare %d Interrupt", t),
           .field = Bit(kInten, t),
           .label = Format("Compare %d Interrupt", t),
           .comment = kState,
           .newRow = t % 3 == 0});
  }
  static const char* const kCapture[6] = {"Capture X0", "Capture X1", "Capture B0",
                                          "Capture B1", "Capture A0", "Capture A1"};
  for (int t = 0; t < 6; ++t) {
    d.Box({.caption = kCapture[t],
           .key = std::string(kCapture[t]) + " Interrupt",
           .field = Bit(kInten, 6 + t),
           .label = std::string(kCapture[t]) + " Interrupt",
           .comment = kState,
           .newRow = t % 3 == 0});
  }
  d.Box({.caption = "Reload",
         .key = "Reload Interrupt",
         .field = Bit(kInten, 12),
         .label = "Reload Interrupt",
         .comment = kState});
  d.Box({.caption = "Reload Error",
         .key = "Reload Error Interrupt",
         .field = Bit(kInten, 13),
         .label = "Reload Error Interrupt",
         .comment = kState,
         .newRow = false});
  d.Link({.key = kVectorNoteKey, .shown = false});

  d.Group("Input Capture");
  const std::vector<std::string> edges = {"Disabled", "Falling edge", "Rising edge", "Any edge"};
  for (const char* c : {"A", "B", "X"}) {
    const std::string ctrl = Format("CAPTCTRL%s_INIT", c);
    d.Box({.caption = Format("Capture %s enable", c),
           .key = Format("Capture %s Enable", c),
           .field = Bit(ctrl, 1),
           .label = Format("Capture %s Enable", c),
           .comment = kState});
    d.Box({.caption = "Edge counter",
           .key = Format("Capture %s Edge Counter", c),
           .field = Bit(ctrl, 7),
           .label = Format("Capture %s Edge Counter", c),
           .comment = kState,
           .newRow = false});
    d.List({.caption = Format("%s0 edge:", c),
            .key = Format("Capture %s0 Edge Select", c),
            .field = Bits(ctrl, 2, 3),
            .items = edges,
            .label = Format("Capture %s0 Edge Select", c),
            .width = 110});
    d.List({.caption = Format("%s1 edge:", c),
            .key = Format("Capture %s1 Edge Select", c),
            .field = Bits(ctrl, 4, 5),
            .items = edges,
            .label = Format("Capture %s1 Edge Select", c),
            .width = 110,
            .newRow = false});
    d.List({.caption = "Input:",
            .key = Format("Capture %s Input select", c),
            .field = Bit(ctrl, 6),
            .items = {"Raw input signal", "Edge counter output"},
            .label = Format("Capture %s Input select", c),
            .width = 150});
    d.Value({.caption = "Compare:",
             .key = Format("Edge Compare %s Value", c),
             .field = Bits(Format("CAPTCOMP%s_INIT", c), 0, 7),
             .label = Format("Edge Compare %s Value", c),
             .number = {.hex = true, .zeroAllowed = true},
             .width = 60,
             .newRow = false});
  }
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmPWM_Dorn::Field(const std::string& reg, int low, int high) const {
  return FieldOf(Registers(), reg, low, high);
}

void CpmPWM_Dorn::SetField(const std::string& reg, int low, int high, uint32_t value) {
  Register* r = FindReg(Registers(), reg);
  if (!r) return;
  const int width = high - low + 1;
  const uint32_t mask = ((1u << width) - 1u) << low;
  r->value = (r->value & ~mask) | ((value << low) & mask);
}

int CpmPWM_Dorn::Signed(const std::string& reg) const {
  return static_cast<int16_t>(static_cast<uint16_t>(Field(reg, 0, 15)));
}

uint32_t CpmPWM_Dorn::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

PwmSubmodule* CpmPWM_Dorn::Submodule0() const {
  for (PwmSubmodule* sub : FindCapabilities<PwmSubmodule>(GetContext()))
    if (sub->SubmoduleNumber() == 0) return sub;
  return nullptr;
}

// ---- facts ----

bool CpmPWM_Dorn::IsOutputTriggerEnabled(int trigger) const {
  return trigger >= 0 && trigger < 6 && BitOf(kTctrl, trigger);
}

int CpmPWM_Dorn::InitCount() const { return Signed(kInit); }
int CpmPWM_Dorn::Val1Count() const { return Signed(kVal1); }
bool CpmPWM_Dorn::IsIndependentPair() const { return BitOf(kCtrl2, 13); }

double CpmPWM_Dorn::ModuleClockHz() const { return static_cast<double>(GetBusClockMHz()) * 1e6; }

double CpmPWM_Dorn::CounterClockHz() const {
  switch (Field(kCtrl2, 0, 1)) {
    case 0:
      return ModuleClockHz();
    case 2: {
      // PWM_0's prescaled clock; on PWM_0 itself the auxiliary clock is held at logic 0.
      if (number_ == 0) return 0;
      const PwmSubmodule* first = Submodule0();
      if (!first) return 0;
      const auto* module = dynamic_cast<const CpmPWM_Dorn*>(first);
      const double clock = first->CounterClockHz();
      const int field = module ? static_cast<int>(module->Field(kCtrl, 4, 6)) : 0;
      return clock / static_cast<double>(1 << field);
    }
    default:
      return 0;  // the external clock's frequency is not known here
  }
}

bool CpmPWM_Dorn::DisablesOnFault(int fault) const {
  if (fault < 0 || fault > 3) return false;
  // Only pins whose output is enabled are switched off by a fault.
  bool any = false;
  const int pinBit[3] = {8 + number_, 4 + number_, number_};  // A, B, X in the enable register
  const int mapLow[3] = {0, 4, 8};                            // A, B, X in the disable map
  const auto* holder = common_ ? dynamic_cast<const CModuleBase*>(common_) : nullptr;
  for (int p = 0; p < 3; ++p) {
    const bool enabled =
        holder ? FieldOf(holder->Registers(), kOuten, pinBit[p], pinBit[p]) != 0 : true;
    if (enabled && BitOf(kDismap, mapLow[p] + fault)) any = true;
  }
  return any;
}

bool CpmPWM_Dorn::IsSignalUsed(const std::string& signal) const {
  const std::string name = ToUpper(Trim(signal));
  static const char* const kPins[3] = {"PWMA", "PWMB", "PWMX"};
  const int pinBit[3] = {8 + number_, 4 + number_, number_};
  const auto* holder = common_ ? dynamic_cast<const CModuleBase*>(common_) : nullptr;
  for (int p = 0; p < 3; ++p)
    if (name == Format("%s%d", kPins[p], number_))
      return holder && FieldOf(holder->Registers(), kOuten, pinBit[p], pinBit[p]) != 0;
  return false;
}

bool CpmPWM_Dorn::UsesCommonInterrupt(int vector) const {
  if (vector == 0) return Field(kInten, 6, 11) != 0;
  if (vector == 1) return BitOf(kInten, 13);
  return false;
}

RegisterRef CpmPWM_Dorn::DisableMapRegister() { return RegisterRef::Named(*this, kDismap); }
RegisterRef CpmPWM_Dorn::OutputControlRegister() { return RegisterRef::Named(*this, kOctrl); }

void CpmPWM_Dorn::ApplyCounterSettings(const PwmCounterSettings& s) {
  SetField(kCtrl, 4, 6, static_cast<uint32_t>(s.prescalerField));
  SetField(kCtrl2, 0, 1, static_cast<uint32_t>(s.clockSource));
  SetField(kCtrl2, 8, 9, static_cast<uint32_t>(s.syncSource));
  SetField(kCtrl2, 2, 2, static_cast<uint32_t>(s.reloadSource));
  if (s.setPairMode) SetField(kCtrl2, 13, 13, s.independent ? 1 : 0);
  SetField(kUseVal, 0, 0, 1);
  SetField(kInit, 0, 15, static_cast<uint32_t>(s.init) & 0xFFFFu);
  SetField(kVal1, 0, 15, static_cast<uint32_t>(s.val1) & 0xFFFFu);
  SetField("VAL0_INIT", 0, 15, static_cast<uint32_t>(s.val0) & 0xFFFFu);
  SetField("VAL2_INIT", 0, 15, static_cast<uint32_t>(s.val2) & 0xFFFFu);
  SetField("VAL3_INIT", 0, 15, static_cast<uint32_t>(s.val3) & 0xFFFFu);
  SetField(kDtcnt[0], 0, 10, static_cast<uint32_t>(s.deadTime));
  SetField(kDtcnt[1], 0, 10, static_cast<uint32_t>(s.deadTime));
  SetSelected(true);
  if (GetPage()) RefreshAll();
  if (ModuleContext* context = GetContext()) context->Broadcast(0, this);
}

// ---- values ----

smpwm::Counter CpmPWM_Dorn::Counter() const {
  smpwm::Counter c;
  c.init = InitCount();
  c.val1 = Val1Count();
  // Re-initialised by PWM_0's reload or sync, the counter runs PWM_0's modulo.
  const uint32_t sync = Field(kCtrl2, 8, 9);
  if (number_ != 0 && (sync == 1 || sync == 2))
    if (const PwmSubmodule* first = Submodule0()) c.val1 = first->Val1Count();
  c.fractional = BitOf(kFrctrl, 1);
  c.fracVal1 = static_cast<int>(Field(kFracVal1, 11, 15));
  c.prescalerField = static_cast<int>(Field(kCtrl, 4, 6));
  c.clockHz = CounterClockHz();
  return c;
}

void CpmPWM_Dorn::UpdateValues() {
  const smpwm::Counter c = Counter();
  const double prescaled = c.clockHz / static_cast<double>(1 << c.prescalerField);
  ShowFrequency(ControlIdOf(kCounterClockKey), prescaled, true, kNoClock);
  ShowTime(ControlIdOf(kPeriodKey), smpwm::PeriodSeconds(c), true, kNoClock);
  ShowFrequency(ControlIdOf(kFrequencyKey), smpwm::FrequencyHz(c), true, kNoClock);
  const int bits = smpwm::ResolutionBits(c);
  ShowControlText(ControlIdOf(kResolutionKey), bits >= 0 ? Format("%d bit(s)", bits) : kNoClock);
  for (int k = 0; k < 2; ++k) {
    const double seconds =
        smpwm::DeadTimeSeconds(static_cast<int>(Field(kDtcnt[k], 0, 10)), ModuleClockHz());
    ShowTime(ControlIdOf(DeadTimeDisplayKey(k)), seconds, true, kNoClock);
  }
  for (int v = 2; v <= 5; ++v) {
    smpwm::Counter edge = c;
    edge.fractional = BitOf(kFrctrl, v <= 3 ? 2 : 4);
    const double at =
        smpwm::EdgeSeconds(edge, Signed(Format("VAL%d_INIT", v)),
                           static_cast<int>(Field(Format("FRACVAL%d_INIT", v), 11, 15)));
    const uint32_t id = ControlIdOf(EdgeKey(v));
    if (at < 0)
      ShowControlText(id, c.clockHz > 0 && c.val1 >= c.init ? "outside the period" : kNoClock);
    else
      ShowTime(id, at, true, "0");
  }
}

void CpmPWM_Dorn::UpdateEnables() {
  decl_.ApplyRules();
  ClaimVectors();
}

// ---- checks ----

void CpmPWM_Dorn::ClaimVectors() {
  InterruptController* controller = GetInterruptController();
  if (!controller) return;
  vectorFailure_ = false;
  const bool wanted[2] = {Field(kInten, 0, 5) != 0, BitOf(kInten, 12)};
  static const char* const kSuffix[2] = {"CompareISR", "ReloadISR"};
  for (InterruptUser& user : InterruptUsers()) {
    if (user.index < 0 || user.index > 1) continue;
    const std::string name = Format("Pwm%d", number_) + kSuffix[user.index];
    vectorFailure_ =
        !ClaimVector(*controller, user, wanted[user.index], name, this) || vectorFailure_;
  }
}

void CpmPWM_Dorn::CheckCrossbar() {
  const CrossbarOutputSelector* xbar = FindCapability<CrossbarOutputSelector>(GetContext());
  const CModuleBase* xbarModule = dynamic_cast<const CModuleBase*>(xbar);
  struct ExternalSignal {
    const char* key;
    bool used;
    int output;
    const char* shortMissing;
    const char* missing;
    const char* shortSet;
  };
  const ExternalSignal signals[] = {
      {kClockNoteKey, Field(kCtrl2, 0, 1) == 1, kXbarExtClock, "Ext Clock is not set, see %s",
       "PWM module is using external clock, but is not set in %s",
       "Ext Clock is configured, see %s"},
      {kSyncNoteKey, Field(kCtrl2, 8, 9) == 3, kXbarExtSync + number_,
       "Ext Sync is not set, see %s",
       "PWM module is using external sync signal, but is not set in %s",
       "Ext Sync is configured, see %s"},
      {kForceNoteKey, Field(kCtrl2, 3, 5) == 6, kXbarExtForce, "Ext Force Out is not set, see %s",
       "PWM module is using external output force signal, but is not set in %s",
       "Ext Force Out is configured, see %s"},
      {kExtaNoteKey,
       common_ && FieldOf(dynamic_cast<CModuleBase*>(common_)->Registers(), kDtsrcsel,
                          4 * number_ + 2, 4 * number_ + 3) == 3,
       kXbarExta + number_, "EXTA is not set, see %s",
       "PWM module is using alternative control signal EXTA, but is not set in %s",
       "EXTA is set, see %s"},
  };
  Page* page = GetPage();
  for (const ExternalSignal& s : signals) {
    const uint32_t id = ControlIdOf(s.key);
    if (id == 0) continue;
    bool missing = false;
    std::string shortText;
    std::string message;
    if (xbar && s.used) {
      const std::string link =
          AnchorHtml(xbar->OutputLink(s.output),
                     Format("%s OUT%d", xbarModule->GetPrefix().c_str(), s.output));
      missing = xbar->GetSelectedInput(s.output) <= 0;
      shortText = Format(missing ? s.shortMissing : s.shortSet, link.c_str());
      if (missing) message = Format(s.missing, link.c_str());
    }
    SetWarning(id, missing, shortText, message);
    if (page) page->SetShown(id, !shortText.empty());
  }
}

void CpmPWM_Dorn::CheckWarnings() {
  CModule::CheckWarnings();
  ClaimVectors();
  const bool first = number_ == 0;
  if (const DeclaredControl* c = decl_.Find(kClockKey)) {
    const bool set = first && Field(kCtrl2, 0, 1) == 2;
    SetWarning(
        c->captionId, set, c->decl.caption,
        set ? "Clock source for Submodule 0 should not be AUX_CLK as it will force the clock "
              "to logic 0."
            : "");
  }
  if (const DeclaredControl* c = decl_.Find(kSyncSourceKey)) {
    const uint32_t sync = Field(kCtrl2, 8, 9);
    const bool set = first && (sync == 1 || sync == 2);
    SetWarning(c->captionId, set, c->decl.caption,
               set ? "PWM Sync source for Submodule 0 should not be PWM_0 as it will force the "
                     "signal to logic 0."
                   : "");
  }
  if (const DeclaredControl* c = decl_.Find(kReloadSourceKey)) {
    const bool set = first && BitOf(kCtrl2, 2);
    SetWarning(c->captionId, set, c->decl.caption,
               set ? "PWM Reload source for Submodule 0 should not be PWM_0 as it will force the "
                     "signal to logic 0."
                   : "");
  }
  if (const DeclaredControl* c = decl_.Find(kForceSourceKey)) {
    const bool set = first && ForceFromSubmodule0(static_cast<int>(Field(kCtrl2, 3, 5)));
    SetWarning(c->captionId, set, c->decl.caption,
               set ? "Force initialization source for Submodule 0 should not be PWM_0 as it will "
                     "force the signal to logic 0."
                   : "");
  }
  {
    const bool set = InitCount() > Val1Count();
    const uint32_t id = ControlIdOf(kInitNoteKey);
    SetWarning(id, set, set ? "(INIT > VAL1)" : "",
               set ? "Init register is higher than Value1 register and PWM output will not be "
                     "generated correctly"
                   : "");
    if (Page* page = GetPage()) page->SetShown(id, set);
  }
  CheckCrossbar();
  {
    const bool any = BitOf(kFrctrl, 1) || BitOf(kFrctrl, 2) || BitOf(kFrctrl, 4);
    std::string message;
    if (any && !BitOf(kFrctrl, 8)) {
      message = Format(
          "Enable Power for Fractional logic. EZPWM submodule %d is using Fractional "
          "Logic, but it is not powered up.",
          number_);
    } else if (BitOf(kFrctrl, 1) && !BitOf(kFrctrl, 2)) {
      message =
          "Enable Fractional 2 & 3. PWM outputs are not generated correctly, when Fractional "
          "delay logic 1 is enabled and Fractional delay logic 2 & 3 are disabled.";
    } else if (BitOf(kFrctrl, 1) && !BitOf(kFrctrl, 4)) {
      message =
          "Enable Fractional 4 & 5. PWM outputs are not generated correctly, when Fractional "
          "delay logic 1 is enabled and Fractional delay logic 4 & 5 is disabled.";
    }
    const uint32_t id = ControlIdOf(kFracNoteKey);
    SetWarning(id, !message.empty(), message.empty() ? "" : "(fractional logic incomplete)",
               message);
    if (Page* page = GetPage()) page->SetShown(id, !message.empty());

    // The fractional delay works on a 60 MHz module clock only.
    const double clock = ModuleClockHz();
    const bool wrongClock = any && std::fabs(clock - 60e6) > 60.0;
    const uint32_t clockId = ControlIdOf(kFracClockKey);
    SetWarning(clockId, wrongClock, wrongClock ? "(module clock is not 60 MHz)" : "",
               wrongClock ? "PWM module clock frequency is not 60MHz and it is required by "
                            "Fractional Delay Logic"
                          : "");
    if (Page* page = GetPage()) page->SetShown(clockId, wrongClock);
  }
  {
    const uint32_t id = ControlIdOf(kVectorNoteKey);
    SetWarning(id, vectorFailure_, vectorFailure_ ? kClaimFailedText : "",
               vectorFailure_ ? kClaimFailedText : "");
    if (Page* page = GetPage()) page->SetShown(id, vectorFailure_);
  }
}

// ======================================================================================
// Common control and wizards
// ======================================================================================

namespace {

constexpr const char* kWizard[4] = {"PWM_WIZARD0_INIT", "PWM_WIZARD1_INIT", "PWM_WIZARD2_INIT",
                                    "PWM_WIZARD3_INIT"};
constexpr const char* kThreePhase[4] = {
    "PWM_WIZARD_THREEPHASE0_INIT", "PWM_WIZARD_THREEPHASE1_INIT", "PWM_WIZARD_THREEPHASE2_INIT",
    "PWM_WIZARD_THREEPHASE3_INIT"};
constexpr int kResultLines = 10;
// The sub-module sets of three-phase control: PWM_0 runs the two others.
constexpr int kPhaseSets[3][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}};

std::string WizardTitle(bool threePhase) {
  return threePhase ? "EZPWM 3-phase wizard" : "EZPWM submodules CENTER/EDGE ALIGN wizard";
}
std::string WizardKey(bool threePhase, const char* what) {
  return std::string(threePhase ? "3-phase wizard " : "Wizard ") + what;
}
std::string ResultKey(bool threePhase, int line) {
  return Format("%s result %d", threePhase ? "3-phase wizard" : "wizard", line);
}

// Duty entries: a percentage ("25 %") or a plain percentage number; held in 1/100 %.
bool ParseDuty(const std::string& text, uint32_t& value) {
  double number = 0;
  bool percent = false;
  if (!smpwm::ParseWizardNumber(text, number, percent)) return false;
  (void)percent;
  if (number < 0 || number > 100) return false;
  value = static_cast<uint32_t>(std::lround(number * 100));
  return true;
}
std::string DutyText(uint32_t raw) { return Format("%g %%", raw / 100.0); }

}  // namespace

CpmPWMAll_Dorn::CpmPWMAll_Dorn(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmPWMAll_Dorn::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-PWM_MCTRL_INIT", 0x0001, DW16 | NODEFAULT},
      {"-PWM_MCTRL2_INIT", 0x0000, DW16 | NODEFAULT},
      {"-PWM_MASK_INIT", 0x0000, DW16},
      {"-PWM_OUTEN_INIT", 0x0000, DW16},
      {"-PWM_SWCOUT_INIT", 0x0000, DW16},
      {"-PWM_DTSRCSEL_INIT", 0x0000, DW16},
      {"-PWM_FCTRL_INIT", 0x0000, DW16},
      {"-PWM_FSTS_INIT", 0x0000, DW16},
      {"-PWM_FFILT_INIT", 0x0000, DW16},
      // The wizards' inputs: frequency (Hz), dead time (ns), duty (1/100 %), options.
      {"PWM_WIZARD0_INIT", 10000, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD1_INIT", 500, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD2_INIT", 5000, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD3_INIT", 0x0010, DW32 | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD_THREEPHASE0_INIT", 10000, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD_THREEPHASE1_INIT", 500, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD_THREEPHASE2_INIT", 5000, DW32 | DECVALUE | INTERNAL | NOSHOWLIST},
      {"PWM_WIZARD_THREEPHASE3_INIT", 0x0000, DW32 | INTERNAL | NOSHOWLIST},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmPWMAll_Dorn::OnModulesReady() {
  CDeclaredModule::OnModulesReady();
  submodules_ = FindCapabilities<PwmSubmodule>(GetContext());
  // The sub-modules' disable maps and fault states join the page now that they are known.
  if (!submodules_.empty()) {
    DestroyPage();
    decl_.Clear();
    DeclarePage(decl_);
    ClearCommentItems();
    decl_.AddCommentItems();
  }
}

RegisterRef CpmPWMAll_Dorn::SharedRegister(const std::string& name) {
  return RegisterRef::Named(*this, name);
}

std::vector<int> CpmPWMAll_Dorn::ThreePhaseSubmodules() const {
  const uint32_t set = Field(kThreePhase[3], 4, 5);
  if (set > 2) return {};
  return {kPhaseSets[set][0], kPhaseSets[set][1], kPhaseSets[set][2]};
}

uint32_t CpmPWMAll_Dorn::Field(const std::string& reg, int low, int high) const {
  return FieldOf(Registers(), reg, low, high);
}

uint32_t CpmPWMAll_Dorn::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

void CpmPWMAll_Dorn::DeclarePage(PageDeclaration& d) {
  d.Group("Master Control");
  d.List({.caption = "Monitor PLL State:",
          .field = Bits(kMctrl2, 0, 1),
          .items = {"Not monitored", "Monitored, not locked", "Monitored, locked",
                    "Monitored, locked (write once)"},
          .label = "Monitor PLL State",
          .width = 200});

  d.Group("Fault Inputs");
  for (int k = 0; k < 4; ++k) {
    d.List({.caption = Format("Fault %d level:", k),
            .key = Format("Fault%d Level", k),
            .field = Bit(kFctrl, 12 + k),
            .items = {"Logic 0 is a fault", "Logic 1 is a fault"},
            .label = Format("Fault%d Level", k),
            .width = 130});
    d.List({.caption = "clearing:",
            .key = Format("Fault%d Clearing", k),
            .field = Bit(kFctrl, 8 + k),
            .items = {"Manual", "Automatic"},
            .label = Format("Fault%d Clearing", k),
            .width = 90,
            .newRow = false});
    d.List({.caption = "mode:",
            .key = Format("Fault%d Safety Mode", k),
            .field = Bit(kFctrl, 4 + k),
            .items = {"Normal", "Safe"},
            .label = Format("Fault%d Safety Mode", k),
            .width = 80,
            .newRow = false});
    d.Box({.caption = "Full cycle",
           .key = Format("Fault%d Full Cycle", k),
           .field = Bit(kFsts, 8 + k),
           .label = Format("Fault%d Full Cycle", k),
           .comment = kState});
    d.Box({.caption = "Interrupt",
           .key = Format("Fault%d Interrupt", k),
           .field = Bit(kFctrl, k),
           .label = Format("Fault%d Interrupt", k),
           .comment = kState,
           .newRow = false});
    d.Link({.key = Format("fault %d note", k), .newRow = false, .shown = false});
  }
  d.Group("Fault Filter");
  d.Value({.caption = "Fault Filter Period:",
           .field = Bits(kFfilt, 0, 7),
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 255},
           .unit = "IPBus clocks (0 = off)",
           .width = 60});
  std::vector<std::string> samples;
  for (int s = 3; s <= 10; ++s) samples.push_back(Format("%d samples", s));
  d.List({.caption = "Fault Filter Count:",
          .field = Bits(kFfilt, 8, 10),
          .items = samples,
          .width = 100});
  d.Box({.caption = "Fault Glitch Stretching", .field = Bit(kFfilt, 15), .comment = kState});
  d.Link({.key = "vector note", .shown = false});

  static const char* const kPins[3] = {"PWMA", "PWMB", "PWMX"};
  for (PwmSubmodule* sub : submodules_) {
    const int n = sub->SubmoduleNumber();
    const RegisterRef dismap = sub->DisableMapRegister();
    const RegisterRef octrl = sub->OutputControlRegister();
    if (!dismap || !octrl) continue;
    d.NextBand();
    d.Group(Format("Submodule %d", n));
    for (int p = 0; p < 3; ++p) {
      for (int k = 0; k < 4; ++k) {
        const std::string label =
            Format("Submodule %d: Disable Pins %s by Fault: Fault %d", n, kPins[p], k);
        d.Box({.caption = k == 0 ? Format("%s off by Fault 0", kPins[p]) : Format("Fault %d", k),
               .key = label,
               .field = Bit(dismap.Get()->name, 4 * p + k, dismap.module),
               .label = label,
               .comment = kState,
               .newRow = k == 0});
      }
    }
    for (int p = 0; p < 3; ++p) {
      const int low = 4 - 2 * p;  // A 5..4, B 3..2, X 1..0
      d.List({.caption = Format("%s fault state:", kPins[p]),
              .key = Format("Submodule %d: %s Fault State", n, kPins[p]),
              .field = Bits(octrl.Get()->name, low, low + 1, octrl.module),
              .items = {"Logic 0", "Logic 1", "Tristated", "Tristated (2)"},
              .label = Format("%s Fault State", kPins[p]),
              .width = 100,
              .newRow = p == 0});
    }
  }

  DeclareWizard(d, false);
  DeclareWizard(d, true);
  d.InterruptPanels(kInterruptPanelWidth);
}

void CpmPWMAll_Dorn::DeclareWizard(PageDeclaration& d, bool threePhase) {
  const char* const* regs = threePhase ? kThreePhase : kWizard;
  d.NextBand();
  d.Group(WizardTitle(threePhase));
  d.Value({.caption = "Frequency:",
           .key = WizardKey(threePhase, "frequency"),
           .field = Bits(regs[0], 0, 31),
           .label = WizardKey(threePhase, "frequency"),
           .commented = false,
           .number = {.hex = false, .minimum = 1, .maximum = 10000000},
           .unit = "Hz",
           .width = 90});
  d.List({.caption = "Alignment:",
          .key = WizardKey(threePhase, "alignment"),
          .field = Bit(regs[3], 0),
          .items = {"CENTER ALIGN", "EDGE ALIGN"},
          .label = WizardKey(threePhase, "alignment"),
          .commented = false,
          .width = 120,
          .newRow = false});
  d.Value({.caption = "Dead time:",
           .key = WizardKey(threePhase, "dead time"),
           .field = Bits(regs[1], 0, 31),
           .label = WizardKey(threePhase, "dead time"),
           .commented = false,
           .number = {.hex = false, .maximum = 100000, .zeroAllowed = true},
           .unit = "ns",
           .width = 90});
  DeclaredControl& duty = d.Value({.caption = "Duty cycle:",
                                   .key = WizardKey(threePhase, "duty"),
                                   .field = Bits(regs[2], 0, 31),
                                   .label = WizardKey(threePhase, "duty"),
                                   .commented = false,
                                   .number = {.hex = false, .maximum = 10000, .zeroAllowed = true},
                                   .width = 90,
                                   .newRow = false});
  if (CSetValue* value = duty.Value()) value->SetTextHandlers(ParseDuty, DutyText);
  if (threePhase) {
    d.List({.caption = "Submodules:",
            .key = WizardKey(true, "submodules"),
            .field = Bits(regs[3], 4, 5),
            .items = {"PWM_0, PWM_1, PWM_2", "PWM_0, PWM_1, PWM_3", "PWM_0, PWM_2, PWM_3"},
            .label = WizardKey(true, "submodules"),
            .commented = false,
            .width = 180});
  } else {
    for (int n = 0; n < 4; ++n) {
      d.Box({.caption = Format("PWM_%d", n),
             .key = WizardKey(false, Format("PWM_%d", n).c_str()),
             .field = Bit(regs[3], 4 + n),
             .label = WizardKey(false, Format("PWM_%d", n).c_str()),
             .commented = false,
             .newRow = n == 0});
    }
  }
  for (int line = 0; line < kResultLines; ++line)
    d.Display(
        {.caption = line == 0 ? "Result:" : "", .key = ResultKey(threePhase, line), .width = 900});
  d.Link({.caption = MakeLinkHtml("Apply to the submodules", 0,
                                  threePhase ? kApplyThreePhaseQuery : kApplyWizardQuery, true),
          .key = WizardKey(threePhase, "apply")});
}

smpwm::WizardInput CpmPWMAll_Dorn::WizardInput(bool threePhase) const {
  const char* const* regs = threePhase ? kThreePhase : kWizard;
  smpwm::WizardInput in;
  in.clockHz = static_cast<double>(GetBusClockMHz()) * 1e6;
  in.frequencyHz = Field(regs[0], 0, 31);
  in.deadTimeNs = Field(regs[1], 0, 31);
  in.dutyPercent = Field(regs[2], 0, 31) / 100.0;
  in.alignment = BitOf(regs[3], 0) ? smpwm::Alignment::Edge : smpwm::Alignment::Center;
  in.threePhase = threePhase;
  if (threePhase) {
    in.submodules = ThreePhaseSubmodules();
  } else {
    for (int n = 0; n < 4; ++n)
      if (BitOf(regs[3], 4 + n)) in.submodules.push_back(n);
  }
  return in;
}

smpwm::WizardResult CpmPWMAll_Dorn::WizardResult(bool threePhase) const {
  smpwm::WizardResult result = smpwm::ComputeWizard(WizardInput(threePhase));
  if (result.ok) {
    for (const auto& [n, settings] : result.settings) {
      bool found = false;
      for (const PwmSubmodule* sub : submodules_) found = found || sub->SubmoduleNumber() == n;
      if (!found) {
        result.ok = false;
        result.error = Format("The project has no submodule PWM_%d.", n);
        break;
      }
    }
  }
  return result;
}

bool CpmPWMAll_Dorn::ApplyWizard(bool threePhase) {
  const smpwm::WizardResult result = WizardResult(threePhase);
  if (!result.ok) return false;
  for (const auto& [n, settings] : result.settings)
    for (PwmSubmodule* sub : submodules_)
      if (sub->SubmoduleNumber() == n) sub->ApplyCounterSettings(settings);
  // The sub-modules run once the wizard has set them: load OK and run bits.
  if (Register* mctrl = FindReg(Registers(), kMctrl))
    for (const auto& [n, settings] : result.settings) mctrl->value |= (1u << n) | (1u << (n + 8));
  SetSelected(true);
  if (GetPage()) RefreshAll();
  if (ModuleContext* context = GetContext()) context->Broadcast(0, this);
  return true;
}

void CpmPWMAll_Dorn::OnLinkQuery(CModuleBase* source, const std::string& url,
                                 const std::string& query) {
  if (query == kApplyWizardQuery || query == kApplyThreePhaseQuery) {
    const bool threePhase = query == kApplyThreePhaseQuery;
    const smpwm::WizardResult result = WizardResult(threePhase);
    ModuleContext* context = GetContext();
    if (!context) return;
    if (!result.ok) {
      context->GetHost().ShowMessage(result.error, MessageIcon::Exclamation);
      return;
    }
    if (ConfirmWizardResult(context->GetHost(), WizardTitle(threePhase),
                            smpwm::DescribeWizard(result))) {
      context->NameNextStep(GetPrefix() + " " + WizardTitle(threePhase));
      ApplyWizard(threePhase);
    }
    return;
  }
  CDeclaredModule::OnLinkQuery(source, url, query);
}

void CpmPWMAll_Dorn::UpdateValues() {
  for (bool threePhase : {false, true}) {
    const std::vector<std::string> lines = smpwm::DescribeWizard(WizardResult(threePhase));
    for (int line = 0; line < kResultLines; ++line) {
      const uint32_t id = ControlIdOf(ResultKey(threePhase, line));
      const bool used = line < static_cast<int>(lines.size());
      ShowControlText(id, used ? lines[static_cast<size_t>(line)] : std::string());
      // Only the lines the result has are shown.
      if (const DeclaredControl* c = decl_.Find(ResultKey(threePhase, line)); c && GetPage())
        for (uint32_t shown : c->Ids()) ShowControl(shown, used);
    }
  }
}

bool CpmPWMAll_Dorn::IsFaultUsed(int fault) const {
  if (fault < 0 || fault > 3) return false;
  if (BitOf(kFctrl, fault)) return true;
  for (const PwmSubmodule* sub : submodules_)
    if (sub->DisablesOnFault(fault)) return true;
  return false;
}

void CpmPWMAll_Dorn::ClaimVectors() {
  InterruptController* controller = GetInterruptController();
  if (!controller) return;
  bool capture = false;
  bool reloadError = false;
  for (const PwmSubmodule* sub : submodules_) {
    capture = capture || sub->UsesCommonInterrupt(0);
    reloadError = reloadError || sub->UsesCommonInterrupt(1);
  }
  const bool wanted[3] = {capture, reloadError, Field(kFctrl, 0, 3) != 0};
  static const char* const kNames[3] = {"PwmCaptureISR", "PwmReloadErrorISR", "PwmFaultISR"};
  vectorFailure_ = false;
  for (InterruptUser& user : InterruptUsers()) {
    if (user.index < 0 || user.index > 2) continue;
    vectorFailure_ =
        !ClaimVector(*controller, user, wanted[user.index], kNames[user.index], this) ||
        vectorFailure_;
  }
}

void CpmPWMAll_Dorn::CheckWarnings() {
  CModule::CheckWarnings();
  ClaimVectors();
  Page* page = GetPage();
  const CrossbarOutputSelector* xbar = FindCapability<CrossbarOutputSelector>(GetContext());
  const CModuleBase* xbarModule = dynamic_cast<const CModuleBase*>(xbar);
  for (int k = 0; k < 4; ++k) {
    const uint32_t id = ControlIdOf(Format("fault %d note", k));
    const bool set = xbar && IsFaultUsed(k) && xbar->GetSelectedInput(kXbarFault + k) == 0;
    std::string link;
    if (set)
      link = AnchorHtml(xbar->OutputLink(kXbarFault + k),
                        Format("%s OUT%d", xbarModule->GetPrefix().c_str(), kXbarFault + k));
    SetWarning(
        id, set, set ? Format("( see %s )", link.c_str()) : "",
        set ? Format("PWM module is using Fault %d, but is not set in %s", k, link.c_str()) : "");
    if (page) page->SetShown(id, set);
  }
  const uint32_t id = ControlIdOf("vector note");
  SetWarning(id, vectorFailure_, vectorFailure_ ? kClaimFailedText : "",
             vectorFailure_ ? kClaimFailedText : "");
  if (page) page->SetShown(id, vectorFailure_);
}

// ======================================================================================
// Software layer
// ======================================================================================

namespace {
constexpr const char* kCommandsKey = "commands note";
constexpr const char* kThreePhaseKey = "3-phase note";

// Edge-aligned driver commands need the counter from 0; center-aligned ones a counter
// symmetric about 0.
bool EdgeUsable(const PwmSubmodule& s) { return s.InitCount() == 0 && s.Val1Count() > 0; }
bool CenterUsable(const PwmSubmodule& s) {
  return s.InitCount() == -(s.Val1Count() + 1) && s.InitCount() < s.Val1Count();
}
}  // namespace

CpmPWM_Dorn_SWLayer::CpmPWM_Dorn_SWLayer(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmPWM_Dorn_SWLayer::DeclareRegisters() { InitRegisters(nullptr, 0); }

void CpmPWM_Dorn_SWLayer::DeclarePage(PageDeclaration& d) {
  d.Group("EZPWM driver commands");
  // Notes in words, wrapped to the page.
  d.Link({.key = kCommandsKey, .width = 640});
  d.Link({.key = kThreePhaseKey, .width = 640});
}

std::string CpmPWM_Dorn_SWLayer::CommandsNote() const {
  std::vector<const PwmSubmodule*> subs(4, nullptr);
  for (const PwmSubmodule* s : FindCapabilities<PwmSubmodule>(GetContext()))
    if (s->SubmoduleNumber() >= 0 && s->SubmoduleNumber() < 4)
      subs[static_cast<size_t>(s->SubmoduleNumber())] = s;
  for (const PwmSubmodule* s : subs)
    if (!s) return "The EZPWM software layer needs the submodules PWM_0 to PWM_3.";
  std::string edge;
  std::string center;
  for (int n = 0; n < 4; ++n) {
    if (EdgeUsable(*subs[static_cast<size_t>(n)])) edge += Format("PWM Submodule %d, ", n);
    if (CenterUsable(*subs[static_cast<size_t>(n)])) center += Format("PWM Submodule %d, ", n);
  }
  std::string note = edge.empty()
                         ? "You can not use any of the EDGE ALIGN submodule ioctl commands, "
                         : "You can use EDGE ALIGN submodule ioctl commands in " + edge;
  note += center.empty() ? "you can not use any of the CENTER ALIGN submodule ioctl commands."
                         : "you can use CENTER ALIGN submodule ioctl commands in " + center;
  return note;
}

std::string CpmPWM_Dorn_SWLayer::ThreePhaseNote() const {
  const PwmCommonControl* common = FindCapability<PwmCommonControl>(GetContext());
  const std::vector<int> set = common ? common->ThreePhaseSubmodules() : std::vector<int>{};
  std::vector<const PwmSubmodule*> phases;
  for (int n : set)
    for (const PwmSubmodule* s : FindCapabilities<PwmSubmodule>(GetContext()))
      if (s->SubmoduleNumber() == n) phases.push_back(s);
  const char* const none = "EZPWM module is not configured to use 3 phase ioctl commands.";
  if (set.size() != 3 || phases.size() != 3) return none;
  bool center = true;
  bool edge = true;
  for (const PwmSubmodule* s : phases) {
    center = center && CenterUsable(*s) && !s->IsIndependentPair() &&
             s->Val1Count() == phases[0]->Val1Count();
    edge = edge && EdgeUsable(*s) && s->IsIndependentPair() &&
           s->Val1Count() == phases[0]->Val1Count();
  }
  if (center)
    return Format(
        "EZPWM module is configured to use 3 phase "
        "EZPWM_CENTER_ALIGN_UPDATE_VALUE_REGS_COMPL_0%d%d ioctl command.",
        set[1], set[2]);
  if (edge)
    return Format(
        "EZPWM module is configured to use 3 phase "
        "EZPWM_EDGE_ALIGN_UPDATE_VALUE_REGS_INDEP_0%d%d ioctl command.",
        set[1], set[2]);
  return none;
}

void CpmPWM_Dorn_SWLayer::UpdateValues() {
  if (const DeclaredControl* c = decl_.Find(kCommandsKey)) ShowControlText(c->id, CommandsNote());
  if (const DeclaredControl* c = decl_.Find(kThreePhaseKey))
    ShowControlText(c->id, ThreePhaseNote());
}

void RegisterSmPwmModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmPWMAll_Dorn>("PWMAll_Dorn");
  factory.Register<CpmPWM_Dorn>("PWM_Dorn");
  factory.Register<CpmPWM_Dorn_SWLayer>("PWM_Dorn_SWLayer");
}

}  // namespace tarq

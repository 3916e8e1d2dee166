// The on-chip clock synthesis module: clock source, PLL, clock-register protection and (on
// the older parts) the COP watchdog timeout. It is the project's only source of clock
// frequencies; every other module asks it for the IP bus and high-speed clocks.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Declaration.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// Control ids of the clock page. They are fixed: links in warnings and `show --json` carry them.
enum OccsControlId : uint32_t {
  // group boxes
  kOccsGroupOscillator = 1100,
  kOccsGroupCrystal = 1101,
  kOccsGroupPll = 1102,
  kOccsGroupMonitor = 1103,
  kOccsGroupCop = 1104,
  kOccsGroupProtection = 1105,
  kOccsGroupInterrupts = 1106,
  // oscillators and input
  kOccsRelaxCaption = 1110,
  kOccsRelaxList = 1111,
  kOccsRelaxEnable = 1112,
  kOccsRelaxModeCaption = 1113,
  kOccsRelaxModeList = 1114,
  kOccsFactoryTrim = 1115,
  kOccsTrimCaption = 1116,
  kOccsTrimEdit = 1117,
  kOccsTrimSpin = 1118,
  kOccsRetrimCaption = 1119,
  kOccsRetrimEdit = 1120,
  kOccsRetrimUnit = 1121,
  kOccsRetrimRange = 1122,
  kOccsXtalFreqCaption = 1123,
  kOccsXtalFreqEdit = 1124,
  kOccsXtalFreqUnit = 1125,
  kOccsExtClockCaption = 1126,
  kOccsExtClockList = 1127,
  kOccsOscPowerCaption = 1128,
  kOccsOscPowerList = 1129,
  kOccsCrystalEnable = 1130,
  kOccsOscModeCaption = 1131,
  kOccsOscModeList = 1132,
  kOccsCrystalRangeCaption = 1133,
  kOccsCrystalRangeList = 1134,
  kOccsDivideBy2 = 1135,
  kOccsClkinCaption = 1136,
  kOccsClkinEdit = 1137,
  kOccsClkinUnit = 1138,
  kOccsMstrOscCaption = 1139,
  kOccsMstrOscList = 1140,
  kOccsInputFreqCaption = 1141,
  kOccsInputFreq = 1142,
  // PLL and system clock
  kOccsEnablePll = 1150,
  kOccsLockDetector = 1151,
  kOccsPrescalerCaption = 1152,
  kOccsPrescalerList = 1153,
  kOccsMultiplyCaption = 1154,
  kOccsMultiplyEdit = 1155,
  kOccsMultiplySpin = 1156,
  kOccsVcoCaption = 1157,
  kOccsVcoFreq = 1158,
  kOccsVcoRange = 1159,
  kOccsPostscalerCaption = 1160,
  kOccsPostscalerList = 1161,
  kOccsClockSourceCaption = 1162,
  kOccsClockSourceList = 1163,
  kOccsCoreCaption = 1164,
  kOccsCoreFreq = 1165,
  kOccsCoreRange = 1166,
  kOccsHsCaption = 1167,
  kOccsHsFreq = 1168,
  kOccsHsLabel = 1169,
  kOccsLockModeCaption = 1170,
  kOccsLockModeList = 1171,
  // loss of lock and reference, clock output
  kOccsLol0Caption = 1180,
  kOccsLol0List = 1181,
  kOccsLol1Caption = 1182,
  kOccsLol1List = 1183,
  kOccsLorInterrupt = 1184,
  kOccsLorPeriodCaption = 1185,
  kOccsLorPeriodEdit = 1186,
  kOccsLorPeriodSpin = 1187,
  kOccsLorPeriodTime = 1188,
  kOccsClkoCaption = 1189,
  kOccsClkoList = 1190,
  // COP watchdog
  kOccsCopEnable = 1200,
  kOccsCopWriteProtect = 1201,
  kOccsCopWait = 1202,
  kOccsCopStop = 1203,
  kOccsCopLossOfClock = 1204,
  kOccsCopRelax = 1205,
  kOccsCopDivisorCaption = 1206,
  kOccsCopDivisorEdit = 1207,
  kOccsCopDivisorSpin = 1208,
  kOccsCopTimeoutCaption = 1209,
  kOccsCopTimeout = 1210,
  // clock register protection
  kOccsProtPostCaption = 1220,
  kOccsProtPostList = 1221,
  kOccsProtOscCaption = 1222,
  kOccsProtOscList = 1223,
  kOccsProtPllCaption = 1224,
  kOccsProtPllList = 1225,
  // interrupt note (user vector of the interrupt controller)
  kOccsUserVectorNote = 1230,
};

// The three frequencies the module publishes plus the intermediate values its page shows,
// all in MHz and single precision like the rest of the clock arithmetic.
struct OccsClocks {
  float input = 0;      // F_in
  float vco = 0;        // F_vco, 0 with the PLL off
  float output = 0;     // clock generator output F_out
  float highSpeed = 0;  // F_hs as the page shows it
  float system = 0;     // stored system clock
  float bus = 0;        // stored IP bus clock
  float hsStored = 0;   // stored high-speed clock (0 on parts without one)
  float core = 0;       // what "Core freq:" shows
  bool pllEnabled = false;
  bool relaxSelected = false;
  bool factoryTrimUsed = false;  // the re-trim clock feeds F_in
  float copTimeoutSeconds = 0;
  float lorPeriodSeconds = 0;
  // the dividers and the selection that shaped them (0: a field no list item stands for)
  float prescale = 1;
  float postscale = 1;
  long long multiplier = 0;
  int sourceItem = -1;  // "System clock source:" position
};

// What a chip group's clock module is made of: register table, page, formulas and limits.
// One row per chip group (and per part that differs within its group); the part chooses the
// row once, when the module joins its document.
struct OccsVariant {
  struct HighSpeedUser {
    const char* name;        // "PWM"
    const char* sysCaption;  // the system module's box that feeds it from HS_PERF
  };
  enum class HighSpeedOnOscillator { None, Output, HalfVco };

  const char* name;
  std::vector<int> partTests;  // the part tests that choose the row (any); empty: the fallback
  std::span<const RegisterDecl> table;
  // register tweaks of the part
  bool oscillatorRegister = true;  // false: the oscillator register is a placeholder
  uint32_t oscillatorReset = 0;    // non-zero: the oscillator register's reset value
  bool protectionHidden = false;   // the protection register exists but stays out of lists
  // page
  bool secondLayout = false;       // relaxation and crystal groups, the MSTR_OSC list, no COP
  bool relaxation = false;         // relaxation oscillator with trim and re-trim
  bool relaxationFixed = false;    // the part always runs from it: its list stays at "Used"
  int trimHighBit = 9;
  int trimMaximum = 1023;
  bool prescaler = false;
  bool fixedMultiplier = false;    // 24
  int postscalerLow = 8, postscalerHigh = 11, postscalerItems = 6;
  const char* firstSourceItem = "Prescaler output";
  std::vector<uint32_t> lockModeValues = {2, 1};
  bool externalClock = false;      // the "External clock:" list
  bool oscillatorPower = false;    // the "Oscillator power:" list
  bool crystalRange = false;
  bool divideBy2 = false;
  bool cop = true;
  bool copExtras = false;          // loss-of-clock COP, COP from the relaxation oscillator
  int copDivisorHighBit = 15;
  bool clockOutput = false;        // the CLKO list
  bool protection = false;
  bool userVectorNote = false;
  bool clkinPinNote = false;       // the pin report is the CLKIN pin note
  bool crystalClockOutputs = false;  // the system module's clock outputs can need the crystal
  // formulas
  float pllOutputFactor = 0.5f;    // F_out from the PLL: F_vco times this, over the postscaler
  float pllHighSpeedFactor = 0;    // F_hs from the PLL likewise; 0: no high-speed clock
  HighSpeedOnOscillator highSpeedOnOscillator = HighSpeedOnOscillator::None;
  bool highSpeed = false;          // the part publishes a high-speed clock
  bool systemIsOutput = false;     // system and core clock are F_out (else F_out / 2)
  bool copFromOutput = false;      // the COP counts F_out / 16384 (else F_in / 1024)
  // limits in MHz
  int systemLimit = 60;
  int vcoLow = 160, vcoHigh = 260;
  int highSpeedLimit = 96;
  std::vector<HighSpeedUser> highSpeedUsers;
};

// Every row, in the order the part is tested against them (the last one is the fallback).
std::span<const OccsVariant> OccsVariants();

class CpmOCCS : public CModule, public ClockSource, public ClockTreeSource {
 public:
  explicit CpmOCCS(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // The part chooses the variant row and with it the register table, before the inherited
  // steps apply the "_RESET" parameters; then the page is declared.
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void CheckPinWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;
  // ---- the clock source other modules ask ----
  float GetBusClockMHz() const override { return ComputeClocks().bus; }
  float GetHighSpeedClockMHz() const override { return ComputeClocks().hsStored; }
  float GetSystemClockMHz() const override { return ComputeClocks().system; }
  bool IsPllRunning() const override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // The clock computation from the registers, the document's oscillator frequencies and,
  // while the page is open, the page's edit texts. No side effects.
  OccsClocks ComputeClocks() const;
  // The stages of that computation for the clock-tree diagram (occs_tree.cpp).
  std::vector<ClockStage> ClockStages() const override;

  // The chosen row (null before InitModule) and the page declaration made from it.
  const OccsVariant* Variant() const { return variant_; }
  const PageDeclaration& Declaration() const { return decl_; }

  // ---- state other modules read ----
  bool UsesSecondLayout() const { return variant_ && variant_->secondLayout; }
  bool HasRelaxationOscillator() const { return variant_ && variant_->relaxation; }
  // Second layout: "Crystal oscilator enabled (Direct clock on XTAL disabled)".
  bool IsCrystalOscillatorEnabled() const override;
  // Second layout: "Enable internal relaxation oscilator".
  bool IsRelaxationOscillatorEnabled() const override;
  // "MSTR_OSC source": 0 relaxation oscillator, 1 crystal oscillator / XTAL, 2 CLKIN.
  int GetMasterOscillatorSource() const;
  // The crystal frequency in MHz: the page's "Crystal oscillator frequency:" text while the
  // page is open (0 when it does not read as a number), else the document's value.
  float GetCrystalFrequencyMHz() const override;

  // Reads a frequency text in MHz: exactly one finite, non-negative number, else 0.
  static float ParseMHz(const std::string& text);
  // The frequency edits must hold a number of megahertz that fits 32 bits of hertz.
  bool ValidateControls(bool showMessages) override;

 private:
  void ChooseTable(ModuleContext& doc);
  void DeclarePage();
  void DeclareFirstLayoutSource(PageDeclaration& d);
  void DeclareSecondLayoutOscillators(PageDeclaration& d);
  void DeclareRelaxationTrim(PageDeclaration& d);
  void DeclareFrequencyEdit(PageDeclaration& d, uint32_t captionId, const char* caption,
                            uint32_t editId, uint32_t unitId, std::function<bool()> enabled);
  void DeclarePll(PageDeclaration& d);
  void DeclareMonitor(PageDeclaration& d);
  void DeclareCop(PageDeclaration& d);
  void DeclareProtection(PageDeclaration& d);
  void DeclareInterrupts(PageDeclaration& d);
  void AddCommentItemsInHeaderOrder();

  uint32_t Reg(size_t index) const;
  uint32_t Field(size_t index, int lowBit, int highBit) const;
  bool Bit(size_t index, int bit) const { return Field(index, bit, bit) != 0; }
  // "System clock source:" position (0 or 1), -1 for a register value no item stands for.
  int SourceItem() const;
  bool RelaxationUsed() const;  // first layout: "Internal relaxation oscillator:" at "Used"
  // Number typed into an edit while the page is open; `closedValue` otherwise. Text that
  // is not one integer gives -1.
  long long EditNumber(uint32_t editId, long long closedValue) const;
  // A control of the page while the page is open, or nothing.
  const Control* OpenControl(uint32_t id) const;

  void ShowResults(const OccsClocks& clocks);
  void UpdateLimitWarnings(const OccsClocks& clocks);
  std::string HighSpeedPeripheralText() const;
  void UpdateUserVectorNote();
  void ForceCheck(const std::string& key, bool checked);
  void StoreFrequency(uint32_t editId, const std::string& text);
  std::string FrequencyEditText(float mhz) const;
  void CheckClkinPin();
  bool CrystalNeeded() const;

  const OccsVariant* variant_ = nullptr;
  PageDeclaration decl_{*this};
  // "MSTR_OSC source" spans two registers; the declaration places it, this binding reads it.
  CSetMode mstrOsc_;
};

// Registers the "OCCS" module kind.
void RegisterOccsModuleKinds(ModuleFactory& factory);

}  // namespace tarq

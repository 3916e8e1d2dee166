// The on-chip clock synthesis module: clock source, PLL, clock-register protection and (on
// the older parts) the COP watchdog timeout. It is the project's only source of clock
// frequencies; every other module asks it for the IP bus and high-speed clocks.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Bindings.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// Control ids of the clock page.
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
};

class CpmOCCS : public CModule {
 public:
  explicit CpmOCCS(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // The chip group decides the register table, the page layout and the formulas; it is
  // known once the module belongs to a document, so the table is chosen here, before the
  // inherited steps apply the "_RESET" parameters.
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void CheckPinWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;
  bool GetClockMHz(int which, float& mhz) const override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // The clock computation from the registers, the document's oscillator frequencies and,
  // while the page is open, the page's edit texts. No side effects.
  OccsClocks ComputeClocks() const;

  // ---- state other modules read ----
  bool UsesSecondLayout() const { return secondLayout_; }
  bool HasRelaxationOscillator() const { return hasRelax_; }
  bool IsPllEnabled() const;
  // Second layout: "Crystal oscilator enabled (Direct clock on XTAL disabled)".
  bool IsCrystalOscillatorEnabled() const;
  // Second layout: "Enable internal relaxation oscilator".
  bool IsRelaxationOscillatorEnabled() const;
  // "MSTR_OSC source": 0 relaxation oscillator, 1 crystal oscillator / XTAL, 2 CLKIN.
  int GetMasterOscillatorSource() const;
  // The crystal frequency in MHz: the page's "Crystal oscillator frequency:" text while the
  // page is open (0 when it does not read as a number), else the document's value.
  float GetCrystalFrequencyMHz() const;

  // Reads a frequency text in MHz: exactly one finite, non-negative number, else 0.
  static float ParseMHz(const std::string& text);
  // The frequency edits must hold a number of megahertz that fits 32 bits of hertz.
  bool ValidateControls(bool showMessages) override;

 private:
  struct Group {
    bool classic = false, cvx01 = false, cvx02 = false, cvx06 = false, cvx07 = false;
    bool cvx08 = false, cvx09 = false, fenn = false, tebo = false, casp = false;
    bool brel = false, cvx28 = false, dorn = false;
    bool TeboOrCasp() const { return tebo || casp; }
  };

  void ChooseTable(ModuleContext& doc);
  void BindControls();
  void BuildFirstLayout(Page& page);
  void BuildSecondLayout(Page& page);
  void BuildPllGroup(Page& page);
  void BuildMonitorGroup(Page& page);
  void BuildCopGroup(Page& page);
  void BuildProtectionGroup(Page& page);
  void BuildInterruptGroup(Page& page);

  uint32_t Reg(size_t index) const;
  uint32_t Field(size_t index, int lowBit, int highBit) const;
  bool Bit(size_t index, int bit) const { return Field(index, bit, bit) != 0; }
  // "System clock source:" position (0 or 1), -1 for a register value no item stands for.
  int SourceItem() const;
  bool RelaxationUsed() const;  // first layout: "Internal relaxation oscillator:" at "Used"
  int PostscalerItems() const;
  // Number typed into an edit while the page is open; `closedValue` otherwise. Text that
  // is not one integer gives -1.
  long long EditNumber(uint32_t editId, long long closedValue) const;
  // A control of the page while the page is open, or nothing.
  const Control* OpenControl(uint32_t id) const;

  void ShowResults(const OccsClocks& clocks);
  void UpdateLimitWarnings(const OccsClocks& clocks);
  std::string HighSpeedPeripheralText() const;
  void UpdateUserVectorNote();
  void ForceCheck(CSetBit& binding, bool checked);
  void StoreFrequency(uint32_t editId, const std::string& text);
  std::string FrequencyEditText(float mhz) const;
  void CheckClkinPin();
  bool CrystalNeeded() const;

  Group group_;
  bool tableChosen_ = false;
  bool secondLayout_ = false;
  bool hasRelax_ = false;
  bool hasPrescaler_ = false;     // classic, CVX-06, CVX-07 and Fenn
  bool fixedMultiplier_ = false;  // Tebo, Casp and Brel: 24
  bool hasHighSpeed_ = false;     // Tebo, Casp, Brel and Dorn
  bool hasCop_ = false;           // not on Brel and Dorn

  // bindings (see BindControls for the register fields)
  CSetMode relaxList_, clockSource_, lol0_, lol1_, prescaler_, postscaler_, oscPower_,
      extClock_, lockMode_, clko_, protPost_, protOsc_, protPll_, relaxMode_, oscMode_,
      crystalRange_, mstrOsc_;
  CSetBit enablePll_, lockDetector_, lorInterrupt_, factoryTrim_, copWriteProtect_, copEnable_,
      copWait_, copStop_, copLossOfClock_, copRelax_, relaxEnable_, crystalEnable_, divideBy2_;
  CSetValue multiply_, lorPeriod_, trim_, retrim_, copDivisor_;
};

// Registers the "OCCS" module kind.
void RegisterOccsModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The six-channel pulse-width modulator ("PWM", "PWM_Brel"): prescaled modulus counter,
// edge or centre alignment, dead times, complementary or independent pairs, fault inputs with
// their disable map, software output control, swap and mask, and the six value registers.
// Classic parts use a reduced page; the Tebo and Casp groups add the pair sources, compare
// inversion and a second dead time; Casp parts and the Brel group add fault polarity, fault
// filters and the synchronisation window.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the PWM apart.
struct PwmVariant {
  const char* name = "";
  int partTest = -1;          // the part test that selects the row; -1: any part
  int registerCount = 18;     // 17, 18, 20 or 25
  bool classic = false;       // reduced page, 9-bit dead time
  bool later = true;          // current polarity, wait/debug, swap-and-mask mode, asymmetry
  bool sources = false;       // pair sources, compare inversion, dead time 1 (PMDEADTM0 name)
  bool caspSources = false;   // source items of the system module's PSRC inputs
  bool faultFilters = false;  // fault polarity, fault filters and the sync window
  bool hsClock = false;       // may run on the high-speed peripheral clock
  bool correctionMethod = true;  // the dead-time correction method can be chosen
  bool brel = false;          // glitch stretching, pulse edge control, user-slot note
  bool filterClockLink = false;  // the filters' clock unit links to the system module's box
};

class CpmPWM : public CDeclaredModule, public PwmGenerator {
 public:
  explicit CpmPWM(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const PwmVariant> Variants();
  const PwmVariant& Variant() const { return *variant_; }
  // Bit n set: fault input n exists on this part.
  uint32_t FaultMask() const { return faultMask_; }

  void FixDefaults() override;
  void UpdateEnables() override;
  void UpdateValues() override;
  // The unit of the fault filters: "pwm clks", with "pwm" linked to the system module's
  // high-speed clock box where the part has one.
  std::string FilterClockText() const;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // PwmGenerator
  bool IsRunning() const override;
  bool UsesSystemSource(int input) const override;

  // The counter clock in Hz (0 without a clock), the PWM clock period and PWM period in
  // seconds (0 when unknown or the modulus is out of range), the dead time d (0 or 1) in
  // counter clocks and seconds (0 when off).
  double ClockHz() const;
  double ClockPeriod() const;
  double Period() const;
  int DeadTimeClocks(int d) const;
  double DeadTimeSeconds(int d) const;
  // Fault n's input latency in counter clocks; 0 when its filter is off.
  int FaultLatencyClocks(int n) const;

  // Text of a value register as the page shows it, and the text read back (false: refused).
  std::string ValueText(uint32_t value) const;
  bool ParseValueText(const std::string& text, uint32_t& value) const;

  uint32_t ControlIdOf(const std::string& key) const;

 protected:
  // The Brel class picks its own row.
  virtual const PwmVariant& PickVariant(ModuleContext& doc) const;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void DeclareFaults(PageDeclaration& d);
  void ReadFaultMask();

  uint32_t Field(const char* reg, int low, int high) const;
  bool BitOf(const char* reg, int bit) const { return Field(reg, bit, bit) != 0; }
  bool Complementary(int pair) const { return !BitOf("PMCFG_INIT", 1 + pair); }
  bool SoftwareControl(int pin) const { return BitOf("PMOUT_INIT", 8 + pin); }
  int PairSource(int pair) const;
  uint32_t Modulus() const { return Field("PWMCM_INIT", 0, 15); }
  bool RawValues() const { return BitOf("PWMVAL_RAW_DUMMY", 0); }
  void RefreshValueEdits();

  const PwmVariant* variant_ = nullptr;
  uint32_t faultMask_ = 15;
  uint32_t shownModulus_ = 0xFFFFFFFFu;
  int shownRaw_ = -1;
};

class CpmPWM_Brel : public CpmPWM {
 public:
  using CpmPWM::CpmPWM;

 protected:
  const PwmVariant& PickVariant(ModuleContext& doc) const override;
};

void RegisterPwmModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The sub-module PWM of the Dorn group: four sub-modules ("PWM_Dorn", PWM_0..PWM_3), each a
// signed counter with six edge values, dead times, fractional delays, triggers and capture,
// and the common control ("PWMAll_Dorn") with the fault inputs, masks, output enables,
// software outputs, dead-time sources and the two wizards that compute counter settings for
// several sub-modules at once; the software layer page ("PWM_Dorn_SWLayer") tells which
// driver commands the settings allow.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "modules/smpwm_calc.h"

namespace tarq {

class ModuleFactory;

// One sub-module. The bits it owns in the common registers (load OK, run, masks, output
// enables, software outputs, dead-time sources) are edited on its page.
class CpmPWM_Dorn : public CDeclaredModule, public PwmTriggerSource, public PwmSubmodule {
 public:
  explicit CpmPWM_Dorn(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void OnModulesReady() override;
  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  // PWMAn, PWMBn and PWMXn are in use while their outputs are enabled.
  bool IsSignalUsed(const std::string& signal) const override;

  // PwmTriggerSource
  int SubmoduleIndex() const override { return number_; }
  bool IsOutputTriggerEnabled(int trigger) const override;
  // PwmSubmodule
  int SubmoduleNumber() const override { return number_; }
  int InitCount() const override;
  int Val1Count() const override;
  double CounterClockHz() const override;
  bool IsIndependentPair() const override;
  bool DisablesOnFault(int fault) const override;
  bool UsesCommonInterrupt(int vector) const override;
  RegisterRef DisableMapRegister() override;
  RegisterRef OutputControlRegister() override;
  void ApplyCounterSettings(const PwmCounterSettings& settings) override;

  // The counter as the period computation sees it: with the sync taken from PWM_0, its VAL1.
  smpwm::Counter Counter() const;
  // The PWM module clock (the bus clock) in Hz.
  double ModuleClockHz() const;
  uint32_t ControlIdOf(const std::string& key) const;
  // Whether the force-output source (FORCE_SEL) is a signal of PWM_0.
  static bool ForceFromSubmodule0(int forceSelect);

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void Redeclare();
  uint32_t Field(const std::string& reg, int low, int high) const;
  bool BitOf(const std::string& reg, int bit) const { return Field(reg, bit, bit) != 0; }
  void SetField(const std::string& reg, int low, int high, uint32_t value);
  int Signed(const std::string& reg) const;
  PwmSubmodule* Submodule0() const;
  void ClaimVectors();
  void CheckCrossbar();

  int number_ = 0;
  PwmCommonControl* common_ = nullptr;
  bool vectorFailure_ = false;
};

// The common registers of the sub-module PWM and the wizards.
class CpmPWMAll_Dorn : public CDeclaredModule, public PwmCommonControl {
 public:
  explicit CpmPWMAll_Dorn(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void OnModulesReady() override;
  void UpdateValues() override;
  void CheckWarnings() override;
  void OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) override;

  // PwmCommonControl
  RegisterRef SharedRegister(const std::string& name) override;
  std::vector<int> ThreePhaseSubmodules() const override;

  // The wizards' inputs as they stand and their results; Apply writes a result into the
  // sub-modules (false when it cannot be computed or a sub-module is missing).
  smpwm::WizardInput WizardInput(bool threePhase) const;
  smpwm::WizardResult WizardResult(bool threePhase) const;
  bool ApplyWizard(bool threePhase);
  // Whether fault input k is used: a sub-module maps it to an enabled pin, or its interrupt
  // is on.
  bool IsFaultUsed(int fault) const;
  uint32_t ControlIdOf(const std::string& key) const;

  // The query words of the wizards' apply links.
  static constexpr const char* kApplyWizardQuery = "APPLYWIZARD";
  static constexpr const char* kApplyThreePhaseQuery = "APPLYTHREEPHASE";

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void DeclareWizard(PageDeclaration& d, bool threePhase);
  uint32_t Field(const std::string& reg, int low, int high) const;
  bool BitOf(const std::string& reg, int bit) const { return Field(reg, bit, bit) != 0; }
  void ClaimVectors();

  std::vector<PwmSubmodule*> submodules_;
  bool vectorFailure_ = false;
};

// The software layer page: which driver commands the sub-modules' settings allow.
class CpmPWM_Dorn_SWLayer : public CDeclaredModule {
 public:
  explicit CpmPWM_Dorn_SWLayer(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  bool IsSelectable() const override { return false; }

  // The two notes as the page shows them.
  std::string CommandsNote() const;
  std::string ThreePhaseNote() const;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
};

void RegisterSmPwmModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The programmable delay block of the Brel group ("PDB"): a prescaled counter of the IP bus
// clock up to a modulus, with two delayed triggers A and B that start the converters, and an
// input trigger chosen from the comparators, the PWM, an external pin, the dual timers or
// software.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmPDB : public CDeclaredModule, public DelayBlock {
 public:
  explicit CpmPDB(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  void CheckWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;

  // ---- the trigger facts the system module asks ----
  bool IsTriggerEnabled(int trigger) const override;
  // "PDB Module Enabled" while the block is in use.
  bool IsBlockEnabled() const override;

  // Counter period in seconds; 0 without a modulus or a bus clock.
  double PeriodSeconds() const;
  // Time from the start to trigger n (0: A, 1: B) in seconds; 0 for a delay of 0 or no clock.
  double DelaySeconds(int trigger) const;
  int InputTrigger() const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  uint32_t Field(size_t reg, int low, int high) const;
  // Whether the setting that feeds input trigger n is on; true when nothing tells otherwise.
  bool InputSourceEnabled(int input, std::string& name) const;
  bool ConverterUsesHardwareTrigger(int converter) const;

};

void RegisterPdbModuleKinds(ModuleFactory& factory);

}  // namespace tarq

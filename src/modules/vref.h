// The 5-bit voltage references of the Dorn group ("VREF_A".."VREF_C"): one output level in
// 32 steps of 1/32 of 3.3 V, which the high-speed comparator of the same letter compares with.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmVREF_DAC : public CDeclaredModule, public VoltageReference {
 public:
  explicit CpmVREF_DAC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;

  // ---- the facts the comparator asks ----
  int ReferenceIndex() const override { return index_; }
  bool IsReferenceEnabled() const override;

  // The output in volts and in percent of full scale; 0 while the reference is switched off.
  double OutputVolts() const;
  double OutputPercent() const;

  uint32_t ControlIdOf(const std::string& key) const;

 private:
  bool Switched() const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;

  int index_ = 0;
};

void RegisterVrefModuleKinds(ModuleFactory& factory);

}  // namespace tarq

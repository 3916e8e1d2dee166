// The power management controller of the Brel and Dorn groups ("PMC"): low-voltage detect,
// voltage regulator trim and the 1 kHz low-power oscillator.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmPMC : public CDeclaredModule, public PowerManagement {
 public:
  explicit CpmPMC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateEnables() override;

  // ---- the power facts the system module asks ----
  bool IsLowPowerOscillatorEnabled() const override;

  bool IsLowVoltageDetectEnabled() const;
  uint32_t ControlIdOf(const std::string& key) const;

  // Keys of the controls whose captions repeat or are not unique.
  static constexpr const char* kLvdFactoryKey = "Use Factory Trim Value (LVD)";
  static constexpr const char* kOscFactoryKey = "Use Factory Trim Value (1 kHz)";
  static constexpr const char* kOscTrimKey = "1 kHz Trim:";
  static constexpr const char* kNoteKey = "user slot note";

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  bool Bit(size_t reg, int bit) const;

};

void RegisterPmcModuleKinds(ModuleFactory& factory);

}  // namespace tarq

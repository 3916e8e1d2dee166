// The programmable interval timers ("PIT"): a prescaled modulo counter of the IP bus clock
// with an interrupt, one module per timer. The Brel group has one, the Casp group up to three.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the interval timer apart.
struct PitVariant {
  const char* name = "";
  int partTest = -1;            // the part test that selects the row; -1: any part
  bool interruptArea = false;   // the vector's panel and the user-slot note on the page
};

class CpmPIT : public CDeclaredModule {
 public:
  explicit CpmPIT(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const PitVariant> Variants();
  const PitVariant& Variant() const { return *variant_; }
  // The timer's number: the last character of the module name when it is a digit, else 0.
  int Instance() const { return instance_; }

  void UpdateEnables() override;
  void UpdateValues() override;

  // The interrupt rate in Hz; 0 without a bus clock.
  double InterruptRateHz() const;

  uint32_t ControlIdOf(const std::string& key) const;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  bool SlaveMode() const;

  const PitVariant* variant_ = nullptr;
  int instance_ = 0;
};

void RegisterPitModuleKinds(ModuleFactory& factory);

}  // namespace tarq

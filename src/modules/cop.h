// The separate watchdog of the Brel and Dorn groups ("COP_Brel"): clock source, prescaler,
// timeout divisor and operating modes, and the timeout they give. On the other chip groups the
// watchdog is part of the clock module.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the watchdog apart.
struct CopVariant {
  const char* name = "";
  int partTest = -1;  // the part test that selects the row; -1: any part
  // The 1 kHz oscillator of the power management module and the bus clock's enable in the
  // system module are checked when they feed the watchdog.
  bool lowPowerOscillatorCheck = true;
  bool busClockGateCheck = true;
};

class CpmCOP_Brel : public CDeclaredModule, public WatchdogClock {
 public:
  explicit CpmCOP_Brel(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const CopVariant> Variants();
  const CopVariant& Variant() const { return *variant_; }

  void UpdateValues() override;
  void CheckWarnings() override;

  // ---- the watchdog clock the clock module asks ----
  Source GetClockSource() const override;

  // The clock the counter sees after the prescaler, in MHz (0 when the source gives none).
  double CounterClockMHz() const;
  // The time until the watchdog fires, in seconds; 0 when there is no clock or no divisor.
  double TimeoutSeconds() const;
  // The warning of the clock-source checks; empty when none applies.
  std::string ClockSourceProblem() const;

  // The control the clock-source warning is shown at (the source list's caption).
  uint32_t ClockSourceWarningId() const;
  uint32_t TimeoutDisplayId() const;

 private:
  uint32_t Field(const DeclaredControl* control) const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;

  const CopVariant* variant_ = nullptr;
};

void RegisterCopModuleKinds(ModuleFactory& factory);

}  // namespace tarq

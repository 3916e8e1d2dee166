// The real-time counter of the Brel group ("RTC"): clock source, prescaler, modulo and
// interrupt, with the divide-by, the interrupt rate and the roll-over time they give.
#pragma once

#include <cstdint>
#include <string>

#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

class CpmRTC : public CDeclaredModule {
 public:
  explicit CpmRTC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  void CheckWarnings() override;

  // The prescaler's divide-by for a clock source (0..3) and prescaler field (0..15); 0: off.
  static uint32_t DivideBy(uint32_t source, uint32_t prescaler);
  // The clock of a source in Hz; 0 where the tool cannot know it (the external clock).
  static double SourceClockHz(uint32_t source);
  // Interrupts per second; 0 when the counter is off or its clock unknown.
  double InterruptRateHz() const;

  uint32_t ClockSource() const;
  uint32_t Prescaler() const;
  uint32_t Modulo() const;
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
};

void RegisterRtcModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The programmable gain amplifiers of the Brel group ("PGA_0", "PGA_1"), each in front of the
// converter of the same number: gains, trigger mode, calibration, the clock it divides from
// the converter's input clock, and the sampling time and latency that clock gives. Checks the
// clock limit, the divisor against the converter's and the delay-block trigger it waits for.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmPGA : public CDeclaredModule, public GainAmplifier {
 public:
  explicit CpmPGA(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // The highest clock the amplifier works with.
  static constexpr double kMaxClockMHz = 8.0;

  void UpdateValues() override;
  void CheckWarnings() override;

  // ---- the facts the converter asks ----
  int AmplifierIndex() const override { return index_; }
  // Switched on and in use.
  bool IsEnabled() const override;
  int ClockDivisorField() const override;

  // The amplifier clock in Hz: the paired converter's input clock / 2^divisor; 0 while no
  // converter tells its clock.
  double ClockHz() const;
  // (18 x clk_gs pulses + 12) / clock and 8 / clock, in seconds; 0 without a clock.
  double SamplingSeconds() const;
  double LatencySeconds() const;
  // (S/H + 1) x (DIFF + 1) x (DSE + 1).
  int TotalGain() const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  uint32_t Field(size_t reg, int low, int high) const;
  const AnalogConverter* Converter() const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;

  int index_ = 0;
};

void RegisterPgaModuleKinds(ModuleFactory& factory);

}  // namespace tarq

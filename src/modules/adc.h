// The analog-to-digital converters.
//
// "ADC": the dual converter (converters A and B, 8 or 16 result slots with a channel list,
// limits and offsets, zero-crossing detection, scan modes and power control) of every group
// but Brel. The classic group, CVX-06/07 and the Fenn group have two of them (ADC_A, ADC_B);
// the Tebo, Casp and Dorn groups one ("ADC") whose page shows both converters.
//
// "ADC_Brel": the single result-pair converter of the Brel group (ADC_0, ADC_1), clocked from
// the bus, its sibling's clock output or its own asynchronous clock, and paired with a gain
// amplifier and the delay block.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the dual converter apart.
struct AdcVariant {
  const char* name = "";
  std::vector<int> partTests{};  // the part tests that select the row; none: any part
  int registerCount = 33;        // 32, 33, 34 or 38
  uint32_t adcr2Reset = 0x0005;
  uint32_t highLimitReset = 0x7FF8;
  uint32_t powerReset = 0x00D0;
  bool wideDivisor = true;  // ADCR2 4..0 (else 3..0)
  int slots = 8;            // result slots: 8 or 16
  // One module for both converters (ANA/ANB captions, sample enable boxes, the ANB
  // controls of ADCR2); otherwise one module per converter with the scan-length list.
  bool dual = false;
  double maxClockMHz = 5.0;  // 0: limits by power mode (Dorn)
  enum class Reference { None, PinPairs, Converters } reference = Reference::None;
  bool dorn = false;  // gains, scan control, second divisor and power modes
};

class CpmADC : public CDeclaredModule {
 public:
  explicit CpmADC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const AdcVariant> Variants();
  const AdcVariant& Variant() const { return *variant_; }

  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;

  // Converter A's clock (and B's: the same unless B runs on its own divisor), in MHz; 0
  // without a bus clock.
  double ClockMHz() const;
  double ClockBMHz() const;
  // Whether converter B uses its own divisor (Dorn, parallel scan, not simultaneous).
  bool OwnDivisorB() const;
  // The scan mode is one of the parallel (simultaneous) ones.
  bool ParallelScan() const;
  // The scan length the ADSDIS register stands for (0..8), for the pages with the list.
  int ScanLength() const;
  void SetScanLength(int length);
  // Whether result slot i is enabled (sample enable boxes) and the channel it converts: the
  // item position of its channel list (ANA0.. then ANB.. on the 16-slot pages).
  bool SlotEnabled(int slot) const;
  int SlotChannel(int slot) const;
  // "SMP0 SMP1 / SMP4 " as the page shows it.
  std::string EnabledSamplesText() const;
  // The time from power-up to a ready converter in seconds; 0 without a clock.
  double PowerUpSeconds() const;
  // The time one scan of the enabled slots of converter A (0) or B (1) takes; 0 when the
  // converter converts nothing or has no clock.
  double ConversionSeconds(int converter) const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  uint32_t Field(const char* reg, int low, int high) const;
  void UpdateSampleEnables();
  void CheckClock();
  void CheckParallelChannels();
  void CheckSync();
  std::string MaxNote() const;

  const AdcVariant* variant_ = nullptr;
};

// The Brel group's converter.
class CpmADC_Brel : public CDeclaredModule, public AnalogConverter {
 public:
  explicit CpmADC_Brel(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  void CheckWarnings() override;

  // ---- the converter facts the delay block and the gain amplifier ask ----
  int ConverterIndex() const override { return index_; }
  bool UsesHardwareTrigger() const override;
  float InputClockMHz() const override;
  int ClockDivisorField() const override;

  bool UsesAlternateClock() const;
  bool ContinuousClockOutput() const;
  // The converter clock after the divisor, in MHz; 0 without an input clock.
  double ClockMHz() const;
  // Sample time, first conversion and each further continuous conversion in seconds; 0 when
  // they cannot be computed (no converter clock; for the first conversion also no bus clock).
  double SampleSeconds() const;
  double FirstConversionSeconds() const;
  double ContinuousConversionSeconds() const;

  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void ChooseVariant(ModuleContext& doc) override;
  uint32_t Field(size_t reg, int low, int high) const;
  CpmADC_Brel* Sibling() const;
  const GainAmplifier* Amplifier() const;
  void CheckAmplifier();
  void CheckTrigger();
  void CheckAlternateClock();

  int index_ = 0;
  // "ADC_0" or "ADC_1": the converters with an amplifier, a delay-block trigger and a sibling.
  bool paired_ = false;
  // Set while the input clock is being asked of the sibling: a sibling that asks back
  // (both on the alternate clock) gets 0 instead of a question without end.
  mutable bool askingSibling_ = false;
};

void RegisterAdcModuleKinds(ModuleFactory& factory);

}  // namespace tarq

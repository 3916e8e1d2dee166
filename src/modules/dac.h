// The 12-bit digital-to-analog converters of the Casp group ("DAC_0", "DAC_1") and the Dorn
// group ("DAC"): data format, the trigger (bus clock or the SYNC_IN signal), the automatic
// waveform modes and the glitch filter with the delay it gives. On the Dorn group the SYNC_IN
// signal comes through the crossbar, which is checked.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the converter apart.
struct DacVariant {
  const char* name = "";
  int partTest = -1;  // the part test that selects the row; -1: any part
  // The crossbar output that carries SYNC_IN; -1 where SYNC_IN is not routed by a crossbar.
  int syncOutput = -1;
};

class CpmDAC : public CDeclaredModule, public DigitalAnalogConverter {
 public:
  explicit CpmDAC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const DacVariant> Variants();
  const DacVariant& Variant() const { return *variant_; }

  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;

  // ---- the facts the comparators ask ----
  int DacIndex() const override { return index_; }
  bool IsPoweredUp() const override;

  // The glitch filter's delay in seconds; 0 while the filter is off or there is no bus clock.
  double FilterDelaySeconds() const;
  // The text the delay display shows: "OFF" without a filter, "???" without a bus clock.
  std::string FilterDelayText() const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  uint32_t Field(int low, int high) const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  // The SYNC_IN line against the crossbar: its text and whether it is in error.
  void CheckSyncInput();

  const DacVariant* variant_ = nullptr;
  int index_ = 0;
};

void RegisterDacModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The comparators of the Casp group ("CMP_A", "CMP_B"): input sources among the input pads,
// the converter of the same number and the IMPORT signal, the EXPORT selection, the output
// filter with the latency it gives, and the check that a converter it compares with is on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmCMP : public CDeclaredModule, public Comparator {
 public:
  explicit CpmCMP(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // The source items of comparator `index` (0 for CMP_A): its converter is "DAC_<index>",
  // whether or not the part has it.
  static std::vector<std::string> InputSources(int index);

  void UpdateValues() override;
  void CheckWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;

  // ---- the facts the timers ask of the comparator whose output they count ----
  int ComparatorIndex() const override { return index_; }
  // Switched on (not kept powered down) and in use.
  bool IsEnabled() const override;
  // This comparator has no window or sample input.
  bool IsWindowingOrSampling() const override { return false; }
  // The filter latency in bus clocks (2 and less: no filter).
  int FilterLatencyClocks() const;
  // The filter latency in seconds; 0 without a filter or without a bus clock.
  double FilterLatencySeconds() const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  uint32_t Field(size_t reg, int low, int high) const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;

  int index_ = 0;
};

void RegisterCmpModuleKinds(ModuleFactory& factory);

}  // namespace tarq

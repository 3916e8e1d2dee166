// The high-speed comparators of the Brel group ("HSCMP_0".."HSCMP_2") and the Dorn group
// ("HSCMP_A".."HSCMP_C"): input sources, output filter, windowing and sampling modes, edge
// interrupts and hysteresis; the output latency the filter gives, and on the Dorn group the
// checks that the converter and voltage reference it compares with are switched on.
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

// What tells the chip groups of the high-speed comparator apart.
struct HscmpVariant {
  const char* name = "";
  int partTest = -1;  // the part test that selects the row; -1: any part
  // Dorn: instances named by a letter, inputs numbered from 0, the 5-bit references and the
  // 12-bit converter among the sources, the window signal routed by the crossbar.
  bool dornInputs = false;
  // Caption of the filter group: where the PWM fault inputs take the comparator from.
  const char* filterCaption = "";
  // Brel: the interrupt vector may be served by a user slot of the interrupt controller.
  bool userSlotNote = false;
};

class CpmHSCMP : public CDeclaredModule, public Comparator {
 public:
  explicit CpmHSCMP(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const HscmpVariant> Variants();
  const HscmpVariant& Variant() const { return *variant_; }

  // The source items of a row for instance `index` (0 for HSCMP_0 and HSCMP_A).
  static std::vector<std::string> PositiveSources(const HscmpVariant& variant, int index);
  static std::vector<std::string> NegativeSources(const HscmpVariant& variant);

  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;

  // ---- the facts the crossbar, delay block and system module ask ----
  int ComparatorIndex() const override { return index_; }
  // Switched on and in use.
  bool IsEnabled() const override;
  bool IsWindowingOrSampling() const override;

  // The longest time from an input change to the output, in seconds; 0 when there is no
  // delay to speak of or no bus clock to count it in.
  double LatencySeconds() const;

  // The control of a key; its caption for the captioned kinds when `caption` is set.
  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  uint32_t Field(size_t reg, int low, int high) const;
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  // The window-input line with the link to whoever routes the window signal.
  void UpdateWindowLink();

  const HscmpVariant* variant_ = nullptr;
  int index_ = 0;
};

void RegisterHscmpModuleKinds(ModuleFactory& factory);

}  // namespace tarq

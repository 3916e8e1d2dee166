// The quadrature decoder ("DEC", instances DEC_0 and DEC_1): input mode, filter, watchdog,
// the pulses that initialise the position counter, its interrupts and the 32-bit
// initialisation value, with the watchdog timeout and the filter delay they give.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

class CpmDEC : public CDeclaredModule, public QuadratureDecoder {
 public:
  explicit CpmDEC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  int LoadDefines(HeaderFile& header) override;
  void UpdateValues() override;
  bool WriteDefines(std::string& text) override;

  // ---- what the timer channels on the decoder's pins ask ----
  // The decoder counts as switched on when it is selected to be written.
  bool IsDecoderEnabled() const override { return IsSelected(); }

  // Watchdog timeout and input filter delay in seconds; 0 without a bus clock.
  double TimeoutSeconds() const;
  double FilterDelaySeconds() const;
  // Brings the 32-bit initialisation value and its two 16-bit halves together: a changed
  // 32-bit value is split into UIR (upper) and LIR (lower), changed halves are joined.
  void SyncInitValue();

  uint32_t ControlIdOf(const std::string& key) const;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  uint32_t Value(const char* reg) const;

  uint32_t syncedInit_ = 0;  // the 32-bit value as last brought together
};

void RegisterDecModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The serial peripheral interface: data size, clock divisor and edges, master or slave,
// slave-select behaviour, interrupts, the FIFO and inter-word delay where the part has them,
// and the settings of the kit's SPI driver, whose mode claims the module's vectors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"
#include "modules/driver_mode.h"

namespace tarq {

class ModuleFactory;

// What a chip group's SPI is made of. One row per group; the part chooses it once.
struct SpiVariant {
  const char* name;
  std::vector<int> partTests;  // the part tests that choose the row (any); empty: the fallback
  bool classic = false;        // the classic register table (SPDSR, divisor in SPSCR bits 6..7)
  int divisorItems = 8;        // "IP/2" doubling up to this many items (classic: four fixed ones)
  bool splitDivisor = false;   // list position over SPSCR bits 13..15 and SPDSCR bit 4
  uint32_t divisorLimit = 0;   // the largest divisor the part divides by; 0: no limit
  bool multiply = false;       // "Multiply Divisor 2x" and the slave-select boxes
  bool fifo = false;           // FIFO and inter-word delay registers
  bool delayTime = false;      // the delay shown as a time
  bool invertedPolarity = false;  // "SCLK Polarity:" items stand for the values 1, 0
  bool userSlotNotes = false;
};

std::span<const SpiVariant> SpiVariants();

class CpmSPI : public CDriverModeModule {
 public:
  explicit CpmSPI(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // ---- facts ----
  int InstanceNumber() const;
  // The divisor list position as the registers hold it (0..15 where it is split).
  int DivisorPosition() const;
  void SetDivisorPosition(int position);
  // The divisor the bit clock comes from, after doubling and the part's limit; 0 for a
  // classic position no item stands for.
  uint32_t EffectiveDivisor() const;
  // Whether the doubled divisor exceeds the part's limit.
  bool DivisorLimited() const;
  // The bit clock in Hz; 0 without a bus clock or a divisor.
  double BitClockHz() const;
  // The inter-word delay in seconds (Casp); 0 without a bus clock.
  double DelaySeconds() const;
  // Driver modes (list positions): 0 "Disabled", 1 "Blocking/Non-blocking".
  std::string IsrName(size_t user) const override;

  const SpiVariant* Variant() const { return variant_; }

  static constexpr const char* kMultiplyKey = "Multiply Divisor 2x";

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  bool HasUserSlotNotes() const override { return variant_ && variant_->userSlotNotes; }
  const char* DataRegister() const;

  const SpiVariant* variant_ = nullptr;
};

void RegisterSpiModuleKinds(ModuleFactory& factory);

}  // namespace tarq

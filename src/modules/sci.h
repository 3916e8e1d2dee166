// The serial communication interface: baud-rate divisor, frame format, loop and wake-up
// modes, interrupts, the FIFO queues where the part has them, and the settings of the kit's
// serial driver. In the driver's modes the module claims its interrupt vectors at the
// interrupt controller and names their service routines.
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

// What a chip group's SCI is made of. One row per group; the part chooses it once.
struct SciVariant {
  enum class HighSpeedBox { None, Shared, PerInstance };

  const char* name;
  std::vector<int> partTests;  // the part tests that choose the row (any); empty: the fallback
  bool fineTune = false;       // divisor in bits 3..15 with the fine-tune field in bits 0..2
  bool secondControl = false;  // SCICR2 is a register of the part (LIN autobaud)
  bool fifo = false;           // RX and TX FIFO queues
  // The system module's box that feeds the SCI from the high-speed clock: one for every
  // instance ("SCI clock ...") or one per instance ("SCI0 clock ...", "SCI1 clock ...").
  HighSpeedBox highSpeedBox = HighSpeedBox::None;
  // Driver modes force the RX Full, RX Error and TX Empty enables; the user-slot notes.
  bool forcedInterrupts = false;
  bool userSlotNotes = false;
  // ISR name suffixes, one per interrupt user; an empty suffix gives an empty name.
  std::vector<std::string> isrSuffixes;
};

std::span<const SciVariant> SciVariants();

class CpmSCI : public CDriverModeModule, public MonitorInterface {
 public:
  explicit CpmSCI(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void UpdateValues() override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;
  bool IsSignalUsed(const std::string& signal) const override;
  // ---- as the run-time monitor's interface ----
  // "SCI_0" or "SCI_1".
  std::string MonitorInterfaceName() const override;
  // The transmit-empty and receive-full vectors; every vector of the list on parts whose SCI
  // has a combined receive vector.
  std::vector<uint32_t> MonitorVectors() const override;
  // The character type the program fills in is no user change: an untouched module stays
  // unwritten, and the type is written ("UWord16" when none was given) only with the module.
  bool WriteDefines(std::string& text) override;

  // ---- facts ----
  // The last digit of the module name, else 0 ("SCI_1" 1, "SCI" 0).
  int InstanceNumber() const;
  // "-SCI0CHAR" for instance 0, "-SCI1CHAR" for any other.
  std::string CharTypeRegisterName() const;
  // The divisor (13 bits), the fine-tune value (0 where the part has none).
  uint32_t Divisor() const;
  uint32_t FineTune() const;
  // The clock the SCI divides, in Hz: the bus clock, or the high-speed clock where the
  // system module's box for this instance is checked.
  double InputClockHz() const;
  // The baud rate in bit/s; 0 for a divisor of 0 or of 8192 and above, or no clock.
  double BaudRate() const;
  // Driver modes (list positions): 0 "Disabled", 1 "Blocking/Non-blocking", 2 "Buffered".
  // The ISR name of interrupt user n in a driver mode ("Sci0TxEmptyISR"; empty without a suffix).
  std::string IsrName(size_t user) const override;

  const SciVariant* Variant() const { return variant_; }

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  bool HasUserSlotNotes() const override { return variant_ && variant_->userSlotNotes; }
  void ForceDriverInterrupts();
  void UpdateBufferBoxes();
  Register* Reg(const std::string& name) const;

  const SciVariant* variant_ = nullptr;
};

void RegisterSciModuleKinds(ModuleFactory& factory);

}  // namespace tarq

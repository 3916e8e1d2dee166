// The base of every peripheral module: interrupt users, the pin check hook, the system
// module notification and the clock shortcuts on top of CModuleBase.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/ModuleBase.h"

namespace tarq {

// One interrupt vector a module uses; the interrupt controller serves it.
struct InterruptUser {
  uint32_t vector = 0;
  int index = 0;                      // position in the module's interrupt list
  CModuleBase* controller = nullptr;  // the interrupt controller, once attached
};

class CModule : public CModuleBase {
 public:
  explicit CModule(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // Inherited steps, then every interrupt user is attached to the interrupt controller.
  void InitModule(ModuleContext& doc) override;
  // Pin check (when the page has the pin-warning control), system module notification,
  // recompute. Modules call this first from their own CheckWarnings.
  void CheckWarnings() override;

  // Whether one of the module's signals is in use with the current settings.
  virtual bool IsSignalUsed(const std::string& signal) const {
    (void)signal;
    return true;
  }
  // Checks that the module's signals reach device pins; nothing to do without pin data.
  virtual void CheckPinWarnings() {}
  // Tells the system module (on parts where it tracks the others) of a re-check.
  virtual void NotifySystemModule() {}

  bool HasPins() const { return hasPins_; }
  void SetHasPins(bool hasPins) { hasPins_ = hasPins; }

  std::vector<InterruptUser>& InterruptUsers() { return interruptUsers_; }
  const std::vector<InterruptUser>& InterruptUsers() const { return interruptUsers_; }
  // The interrupt controller found by InitModule, or none.
  CModuleBase* GetInterruptController() const { return interruptController_; }

  // IP bus clock and high-speed peripheral clock of the clock module; 0 without one.
  float GetBusClockMHz() const;
  float GetHSClockMHz() const;

  // Vector numbers after the first ':' of an interrupt list, comma-separated, C syntax.
  // Items that are not numbers are skipped.
  static std::vector<uint32_t> ParseInterruptList(const std::string& text);

 private:
  float ClockMHz(int which) const;

  std::vector<InterruptUser> interruptUsers_;
  CModuleBase* interruptController_ = nullptr;
  bool hasPins_ = false;
};

}  // namespace tarq

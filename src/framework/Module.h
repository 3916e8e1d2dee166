// The base of every peripheral module: interrupt users, the pin check hook, the system
// module notification and the clock shortcuts on top of CModuleBase.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/ModuleBase.h"

namespace tarq {

class InterruptController;

// One interrupt vector a module uses; the interrupt controller serves it.
struct InterruptUser {
  uint32_t vector = 0;
  int index = 0;                      // position in the module's interrupt list
  InterruptController* controller = nullptr;  // the interrupt controller, once attached
};

class CModule : public CModuleBase {
 public:
  explicit CModule(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // Every interrupt user is attached to the document's interrupt controller.
  void OnModulesReady() override;
  // Pin check (when the page has the pin-warning control), system module notification,
  // recompute. Modules call this first from their own CheckWarnings.
  void CheckWarnings() override;

  // Across the two part groups, clock, interrupt controller and SPI settings do not carry
  // over; other sources of this class are allowed.
  bool CanImportFrom(const CModuleBase& other, bool& forbidden) const override;

  // Whether one of the module's signals is in use with the current settings.
  virtual bool IsSignalUsed(const std::string& signal) const {
    (void)signal;
    return true;
  }
  // Checks that the module's signals reach device pins: the pin-warning control reports
  // the signals without a pin (a warning, with a FIXPINS link) or where they are placed.
  virtual void CheckPinWarnings();
  // Tells the peripheral-clock gate (on parts where it tracks the others) of a re-check: it
  // checks this module's peripheral clock. The classic group has no such check.
  virtual void NotifySystemModule();
  // "FIXPINS" (the pin-warning link) places the unassigned signals on pins and checks again;
  // other queries go to the inherited handler.
  void OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) override;
  // Assigns the module's used signals that have no pin to their first candidate pins; true
  // when any pin changed. The port pages and the pin checks follow.
  virtual bool FixPins();

  // ==== page model (ModulePage.cpp) ====
  // The control that reports where the module's signals reach device pins.
  static constexpr uint32_t kPinWarningControlId = 1990;
  // Placeholders: 500 + n holds the panel of the n-th interrupt user (n from 0); 510 to
  // 519 hold column headers over the panels.
  static constexpr uint32_t kInterruptPanelBase = 500;
  static constexpr uint32_t kInterruptHeaderFirst = 510;
  static constexpr uint32_t kInterruptHeaderLast = 519;
  // Width of the narrow header (ISR name, priority); wider placeholders take the wide form.
  static constexpr int kNarrowInterruptHeaderWidth = 180;
  // Has-pins flag from the page, the inherited first show, then the interrupt panels and
  // column headers at their placeholders.
  void OnInitialUpdate() override;
  // Column captions of an interrupt header, in order.
  static std::vector<std::string> InterruptHeaderCaptions(bool wide);

  bool HasPins() const { return hasPins_; }
  void SetHasPins(bool hasPins) { hasPins_ = hasPins; }

  std::vector<InterruptUser>& InterruptUsers() { return interruptUsers_; }
  const std::vector<InterruptUser>& InterruptUsers() const { return interruptUsers_; }
  // The interrupt controller found once every module existed, or none.
  InterruptController* GetInterruptController() const { return interruptController_; }

  // IP bus clock and high-speed peripheral clock of the clock module; 0 without one.
  float GetBusClockMHz() const;
  float GetHSClockMHz() const;

  // Claims (enable) or releases every interrupt user's vector at the interrupt controller,
  // user n under isrName(n); false when a claim failed (another module holds a vector). The
  // name goes along on release too: a name the controller remembered that is the module's own
  // (a project saved while claimed) is then cleared rather than restored.
  bool ClaimInterruptVectors(bool enable, const std::function<std::string(size_t)>& isrName);

  // Vector numbers after the first ':' of an interrupt list, comma-separated, C syntax.
  // Items that are not numbers are skipped.
  static std::vector<uint32_t> ParseInterruptList(const std::string& text);

 private:
  std::vector<InterruptUser> interruptUsers_;
  InterruptController* interruptController_ = nullptr;
  bool hasPins_ = false;
};

}  // namespace tarq

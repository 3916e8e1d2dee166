#include "framework/Module.h"

#include "framework/Capabilities.h"
#include "framework/Host.h"
#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"

namespace tarq {

CModule::CModule(const ArchitectureEntry& entry, CModuleBase* parent) : CModuleBase(entry) {
  SetParentModule(parent);
  int index = 0;
  for (uint32_t vector : ParseInterruptList(entry.interrupts)) {
    InterruptUser user;
    user.vector = vector;
    user.index = index++;
    interruptUsers_.push_back(user);
  }
}

std::vector<uint32_t> CModule::ParseInterruptList(const std::string& text) {
  std::vector<uint32_t> vectors;
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return vectors;
  std::string_view rest = std::string_view(text).substr(colon + 1);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view item = TrimView(rest.substr(0, comma));
    uint32_t vector = 0;
    // A stray word must not become vector 0 (the reset vector) by accident.
    if (!item.empty() && item.front() != '-' && ReadCIntegerExact(item, vector))
      vectors.push_back(vector);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return vectors;
}

void CModule::OnModulesReady() {
  interruptController_ = FindCapability<InterruptController>(GetContext());
  for (InterruptUser& user : interruptUsers_) {
    user.controller = interruptController_;
    if (interruptController_) interruptController_->AttachInterruptUser(*this, user);
  }
}

bool CModule::ClaimInterruptVectors(bool enable,
                                    const std::function<std::string(size_t)>& isrName) {
  if (!interruptController_) return true;
  bool claimed = true;
  for (size_t n = 0; n < interruptUsers_.size(); ++n) {
    const bool done = interruptController_->ClaimVector(interruptUsers_[n], enable, isrName(n), this);
    if (!done && enable) claimed = false;
  }
  return claimed;
}

void CModule::CheckWarnings() {
  if (hasPins_) CheckPinWarnings();
  NotifySystemModule();
  UpdateValues();
}

void CModule::CheckPinWarnings() {
  ModuleContext* context = GetContext();
  if (!context) return;
  const PinReport report =
      BuildPinReport(CollectSignals(*context, *this, {}, true),
                     MakeLinkHtml("Assign the missing signals to pins", 0, "FIXPINS", true));
  if (!report.hasSignals) {
    SetWarning(kPinWarningControlId, false, {});
    return;
  }
  SetWarning(kPinWarningControlId, report.missing, report.controlText, report.message);
}

bool CModule::FixPins() {
  ModuleContext* context = GetContext();
  if (!context) return false;
  const PinPlacement placement = PlaceMissingSignals(*context, *this, {}, true);
  // The user learns what moved and what could not be placed.
  context->GetHost().ShowMessage(DescribePlacement(placement), MessageIcon::Information);
  if (placement.placed.empty()) return false;
  AnnouncePinChanges(*context, this);
  return true;
}

void CModule::NotifySystemModule() {
  ModuleContext* context = GetContext();
  if (!context || context->TestPart(kTestClassic)) return;
  if (auto* gate = FindCapability<PeripheralClockGate>(context)) gate->CheckPeripheralClock(*this);
}

float CModule::GetBusClockMHz() const {
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  return clock ? clock->GetBusClockMHz() : 0.0f;
}

float CModule::GetHSClockMHz() const {
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  return clock ? clock->GetHighSpeedClockMHz() : 0.0f;
}

}  // namespace tarq

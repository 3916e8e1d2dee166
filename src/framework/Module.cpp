#include "framework/Module.h"

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

void CModule::InitModule(ModuleContext& doc) {
  CModuleBase::InitModule(doc);
  // The controller's name depends on the part's kind of interrupt controller.
  interruptController_ = nullptr;
  for (const char* prefix : {"WINTC", "ITCN", "INTC"}) {
    interruptController_ = doc.FindModule(prefix, "INTC");
    if (interruptController_) break;
  }
  for (InterruptUser& user : interruptUsers_) {
    user.controller = interruptController_;
    if (interruptController_) interruptController_->AttachInterruptUser(*this, user);
  }
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
  if (CModuleBase* system = context->FindModule("SYS", "")) system->CheckPeripheralClock(*this);
}

float CModule::ClockMHz(int which) const {
  ModuleContext* context = GetContext();
  if (!context) return 0;
  CModuleBase* clock = context->FindModule("OCCS", "OCCS");
  float mhz = 0;
  if (!clock || !clock->GetClockMHz(which, mhz)) return 0;
  return mhz;
}

float CModule::GetBusClockMHz() const { return ClockMHz(kBusClock); }
float CModule::GetHSClockMHz() const { return ClockMHz(kHighSpeedClock); }

}  // namespace tarq

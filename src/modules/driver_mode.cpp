#include "modules/driver_mode.h"

#include "framework/TextUtil.h"
#include "modules/intc.h"

namespace tarq {

int CDriverModeModule::DriverMode() const {
  const DeclaredControl* control = decl_.Find(kModeKey);
  if (!control || !control->Mode()) return -1;
  const int index = control->Mode()->RegisterIndex();
  return index >= 0 && index < static_cast<int>(control->decl.items.size()) ? index : -1;
}

std::string CDriverModeModule::UserNoteKey(size_t n) {
  return Format("user vector information %d", static_cast<int>(n));
}

void CDriverModeModule::ClaimVectors() {
  vectorFailure_ = !ClaimInterruptVectors(DriverMode() > 0, [this](size_t n) { return IsrName(n); });
}

void CDriverModeModule::UpdateUserSlotNotes() {
  Page* page = GetPage();
  if (!page || !HasUserSlotNotes()) return;
  for (size_t n = 0; n < 2; ++n) {
    const DeclaredControl* label = decl_.Find(UserNoteKey(n));
    if (!label) continue;
    const std::string note = UserSlotNote(*this, n, true);
    if (!note.empty()) page->SetText(label->id, note);
    page->SetShown(label->id, !note.empty());
  }
}

void CDriverModeModule::ReportVectorClaim() {
  if (const DeclaredControl* mode = decl_.Find(kModeKey))
    SetWarning(mode->captionId, vectorFailure_, mode->decl.caption, vectorFailure_ ? kClaimFailedText : "");
}

}  // namespace tarq

// The module side of the page model: building and destroying the page, the first show,
// page-wide refresh, update, validation and self-test, control lookup, tooltips, warning
// colours, and the interrupt panels of CModule.
#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Hints.h"
#include "framework/Module.h"
#include "framework/ModuleBase.h"

namespace tarq {

bool CModuleBase::CreatePage() {
  if (page_) return true;
  page_ = std::make_unique<Page>(this);
  BuildPage(*page_);
  // Warning controls look as the last warnings pass left them.
  for (const auto& [id, state] : warningControls_) ApplyWarningControl(id, state);
  OnInitialUpdate();
  return true;
}

void CModuleBase::DestroyPage() {
  page_.reset();
  deferredUpdateEnables_ = false;
}

void CModuleBase::OnInitialUpdate() {
  if (!page_) return;
  page_->SetLive(true);
  // The enables are set once the page is complete, at the next idle or page step.
  deferredUpdateEnables_ = true;
  if (context_) context_->GetHost().PostWakeUp();
}

bool CModuleBase::RunDeferredPageWork() {
  const bool pending = deferredUpdateEnables_ && page_;
  deferredUpdateEnables_ = false;
  if (pending) UpdateEnables();
  return pending;
}

bool CModuleBase::DoDataExchange(bool saveAndValidate) {
  if (!saveAndValidate) return true;
  return ValidateControls(true);
}

bool CModuleBase::ValidateControls(bool showMessages) {
  return page_ ? page_->Validate(showMessages) : true;
}

void CModuleBase::RefreshAll() {
  if (page_) page_->RefreshBindings(true);
  UpdateEnables();
  if (context_) context_->Broadcast(kHintPageRefreshed, this);
}

void CModuleBase::UpdateAll() {
  if (page_) page_->UpdateBindings();
  if (context_) context_->Broadcast(kHintPageUpdated, this);
}

void CModuleBase::SelfTestAll(const SelfTestLog& log) {
  if (page_) page_->SelfTest(log);
}

ControlRef CModuleBase::FindControlById(uint32_t id) {
  return page_ ? page_->FindControlById(id) : ControlRef{};
}

ControlRef CModuleBase::FindControlByText(const std::string& text) {
  return page_ ? page_->FindControlByText(text) : ControlRef{};
}

bool CModuleBase::ShowToolTip(uint32_t controlId, const std::string& text,
                              const std::string& title) {
  return page_ && page_->ShowToolTip(controlId, text, title);
}

void CModuleBase::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  switch (event) {
    case ControlEvent::Clicked:
      if (control.IsButton()) UpdateEnables();
      break;
    case ControlEvent::SelectionChanged:
    case ControlEvent::TextChanged:
      if (control.IsChoice() || control.IsEdit()) UpdateValues();
      break;
    case ControlEvent::LinkActivated:
      OnLinkActivated(page, control, page.GetActivatedHref(), page.GetActivatedLinkText());
      break;
    default:
      break;
  }
}

void CModuleBase::OnLinkActivated(Page& page, Control& control, const std::string& href,
                                  const std::string& linkText) {
  (void)page; (void)control;
  // The tip at the target tells where the user came from.
  OpenLink(href, GetDisplayName() + ": " + linkText);
}

bool CModuleBase::EnableControl(uint32_t id, bool enable) {
  ControlRef ref = FindControlById(id);
  if (!ref) return false;
  ref.page->SetEnabled(ref.control->id, enable);
  // An up-down control belongs to its edit box.
  for (size_t i = 0; i < ref.page->GetControlCount(); ++i) {
    Control& spin = ref.page->ControlAt(i);
    if (spin.kind == ControlKind::Spin && spin.buddy == ref.control->id && spin.id != 0)
      ref.page->SetEnabled(spin.id, enable);
  }
  return true;
}

bool CModuleBase::ShowControl(uint32_t id, bool show) {
  ControlRef ref = FindControlById(id);
  if (!ref) return false;
  ref.page->SetShown(ref.control->id, show);
  for (size_t i = 0; i < ref.page->GetControlCount(); ++i) {
    Control& spin = ref.page->ControlAt(i);
    if (spin.kind == ControlKind::Spin && spin.buddy == ref.control->id && spin.id != 0)
      ref.page->SetShown(spin.id, show);
  }
  return true;
}

void CModuleBase::EnableControls(std::initializer_list<uint32_t> ids, bool enable) {
  for (uint32_t id : ids) {
    if (id == 0) break;  // lists may carry their old terminator
    EnableControl(id, enable);
  }
}

void CModuleBase::ShowControls(std::initializer_list<uint32_t> ids, bool show) {
  for (uint32_t id : ids) {
    if (id == 0) break;
    ShowControl(id, show);
  }
}

void CModuleBase::ShowControlText(uint32_t controlId, const std::string& text) {
  ControlRef ref = FindControlById(controlId);
  if (ref) ref.page->SetText(ref.control->id, text);
}

void CModuleBase::ShowWarningControl(uint32_t controlId, bool set, const std::string& controlText) {
  WarningControlState& state = warningControls_[controlId];
  state.set = set;
  state.shown = set || !controlText.empty();
  if (!controlText.empty()) state.text = controlText;
  ApplyWarningControl(controlId, state);
}

void CModuleBase::ApplyWarningControl(uint32_t controlId, const WarningControlState& state) {
  ControlRef ref = FindControlById(controlId);
  if (!ref) return;
  Page& page = *ref.page;
  const uint32_t id = ref.control->id;
  if (!state.text.empty()) page.SetText(id, state.text);
  page.SetShown(id, state.shown);
  page.SetTextColour(id, state.set ? kWarningTextColour : kNormalTextColour);
}

// ---- CModule ----

std::vector<std::string> CModule::InterruptHeaderCaptions(bool wide) {
  if (wide) return {"Interrupt Source", "ISR Name", "Priority"};
  return {"ISR Name", "Priority"};
}

void CModule::OnInitialUpdate() {
  SetHasPins(page_ && page_->Find(kPinWarningControlId) != nullptr);
  CModuleBase::OnInitialUpdate();
  if (!page_) return;
  Page& page = *page_;

  // The panel of the n-th interrupt user sits at placeholder 500 + n; the interrupt
  // controller fills it.
  for (InterruptUser& user : interruptUsers_) {
    const uint32_t id = kInterruptPanelBase + static_cast<uint32_t>(user.index);
    Control* placeholder = page.Find(id);
    if (!placeholder) continue;
    const bool wide = placeholder->layout.width > kNarrowInterruptHeaderWidth + 20;
    placeholder->kind = ControlKind::Placeholder;
    placeholder->tabStop = false;
    Page* panel = page.CreateChildPage(id);
    if (panel && user.controller) user.controller->BuildInterruptPanel(*panel, *this, user, wide);
  }

  // Every control carrying a header id becomes a row of column captions.
  for (size_t i = 0; i < page.GetControlCount();) {
    const Control& control = page.ControlAt(i);
    if (control.id < kInterruptHeaderFirst || control.id > kInterruptHeaderLast) {
      ++i;
      continue;
    }
    const bool wide = control.layout.width > kNarrowInterruptHeaderWidth + 20;
    const ControlLayout layout = control.layout;
    const bool shown = control.shown;
    page.RemoveAt(i);
    int column = layout.column;
    for (const std::string& caption : InterruptHeaderCaptions(wide)) {
      Control& header = page.InsertAt(i++, ControlKind::StaticText, kAnonymousControl, caption);
      header.layout = layout;
      header.layout.column = column++;
      header.layout.width = 0;
      header.shown = shown;
    }
  }
}

}  // namespace tarq

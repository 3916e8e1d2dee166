// The page model: controls, child pages, focus, input events and the page-wide binding
// work. Views only mirror what happens here.
#include "framework/Page.h"

#include <algorithm>
#include <cstdlib>

#include "framework/Bindings.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"

namespace tarq {

const char* ControlKindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::StaticText: return "static";
    case ControlKind::GroupBox: return "group";
    case ControlKind::CheckBox: return "check";
    case ControlKind::RadioButton: return "radio";
    case ControlKind::DropDownList: return "list";
    case ControlKind::EditableCombo: return "combo";
    case ControlKind::EditBox: return "edit";
    case ControlKind::ReadOnlyDisplay: return "display";
    case ControlKind::LinkText: return "link";
    case ControlKind::ListBox: return "listbox";
    case ControlKind::Spin: return "spin";
    case ControlKind::Placeholder: return "placeholder";
    case ControlKind::BarGraph: return "bar";
    case ControlKind::Diagram: return "diagram";
  }
  return "?";
}

std::string Control::SelectedText() const {
  if (selection < 0 || static_cast<size_t>(selection) >= items.size()) return {};
  return items[static_cast<size_t>(selection)];
}

namespace {

bool DefaultTabStop(ControlKind kind) {
  switch (kind) {
    case ControlKind::StaticText:
    case ControlKind::GroupBox:
    case ControlKind::ReadOnlyDisplay:
    case ControlKind::Spin:
    case ControlKind::Placeholder:
      return false;
    default:
      return true;
  }
}

bool TakesFocus(const Control& control) {
  return control.tabStop && control.shown && control.enabled;
}

int IndexOfItem(const std::vector<std::string>& items, const std::string& text) {
  auto it = std::find(items.begin(), items.end(), text);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

}  // namespace

Page::Page(CModuleBase* module, Page* parent, uint32_t childId)
    : module_(module), parent_(parent), childId_(childId) {}

Page::~Page() {
  // Children first, while this page (and the observers of the module page) still exist.
  children_.clear();
  for (auto& control : controls_) {
    if (control->binding) control->binding->Detach();
  }
  Page& root = Root();
  if (root.focusPage_ == this) {
    root.focusPage_ = nullptr;
    root.focus_ = nullptr;
  }
  for (PageObserver* observer : ObserversCopy()) observer->OnPageDestroyed(*this);
}

Page& Page::Root() {
  Page* page = this;
  while (page->parent_) page = page->parent_;
  return *page;
}

const Page& Page::Root() const {
  const Page* page = this;
  while (page->parent_) page = page->parent_;
  return *page;
}

// ---- building ----

Control& Page::Add(ControlKind kind, uint32_t id, std::string text) {
  return InsertAt(controls_.size(), kind, id, std::move(text));
}

Control& Page::InsertAt(size_t index, ControlKind kind, uint32_t id, std::string text) {
  auto control = std::make_unique<Control>();
  control->id = id;
  control->kind = kind;
  control->text = std::move(text);
  control->tabStop = DefaultTabStop(kind);
  control->layout.groupBox = kind == ControlKind::GroupBox ? 0 : groupCursor_;
  control->layout.row = rowCursor_;
  control->layout.column = columnCursor_++;
  index = std::min(index, controls_.size());
  Control& added = *control;
  controls_.insert(controls_.begin() + static_cast<std::ptrdiff_t>(index), std::move(control));
  if (IsLive()) NotifyStructureChanged();
  return added;
}

bool Page::RemoveAt(size_t index) {
  if (index >= controls_.size()) return false;
  Control& control = *controls_[index];
  if (control.binding) control.binding->Detach();
  if (control.id != kAnonymousControl) children_.erase(control.id);
  Page& root = Root();
  if (root.focus_ == &control) {
    root.focus_ = nullptr;
    root.focusPage_ = nullptr;
  }
  controls_.erase(controls_.begin() + static_cast<std::ptrdiff_t>(index));
  NotifyStructureChanged();
  return true;
}

bool Page::AttachBinding(uint32_t id, CSetCtrl& binding) {
  Control* control = Find(id);
  if (!control) return false;
  binding.Attach(*this, *control);
  return true;
}

Control& Page::AddStatic(uint32_t id, std::string text) {
  return Add(ControlKind::StaticText, id, std::move(text));
}

Control& Page::AddGroupBox(uint32_t id, std::string text) {
  return Add(ControlKind::GroupBox, id, std::move(text));
}

Control& Page::AddCheckBox(uint32_t id, std::string text, CSetCtrl* binding) {
  Control& control = Add(ControlKind::CheckBox, id, std::move(text));
  if (binding) binding->Attach(*this, control);
  return control;
}

Control& Page::AddRadio(uint32_t id, std::string text, bool groupStart, CSetCtrl* binding) {
  Control& control = Add(ControlKind::RadioButton, id, std::move(text));
  control.groupStart = groupStart;
  if (binding) binding->Attach(*this, control);
  return control;
}

Control& Page::AddDropDown(uint32_t id, std::vector<std::string> items, CSetCtrl* binding) {
  Control& control = Add(ControlKind::DropDownList, id);
  control.items = std::move(items);
  if (binding) binding->Attach(*this, control);
  return control;
}

Control& Page::AddEditableCombo(uint32_t id, std::vector<std::string> items,
                                CSetCtrl* binding) {
  Control& control = Add(ControlKind::EditableCombo, id);
  control.items = std::move(items);
  if (binding) binding->Attach(*this, control);
  return control;
}

Control& Page::AddEdit(uint32_t id, CSetCtrl* binding) {
  Control& control = Add(ControlKind::EditBox, id);
  if (binding) binding->Attach(*this, control);
  return control;
}

Control& Page::AddDisplay(uint32_t id, std::string text) {
  Control& control = Add(ControlKind::ReadOnlyDisplay, id, std::move(text));
  control.readOnly = true;
  return control;
}

Control& Page::AddLink(uint32_t id, std::string markup) {
  return Add(ControlKind::LinkText, id, std::move(markup));
}

Control& Page::AddListBox(uint32_t id, std::vector<std::string> items) {
  Control& control = Add(ControlKind::ListBox, id);
  control.items = std::move(items);
  return control;
}

Control& Page::AddSpin(uint32_t id, uint32_t buddy, int minimum, int maximum, int step) {
  Control& control = Add(ControlKind::Spin, id);
  control.buddy = buddy;
  control.spinMin = minimum;
  control.spinMax = maximum;
  control.spinStep = step;
  return control;
}

Control& Page::AddPlaceholder(uint32_t id, int width) {
  Control& control = Add(ControlKind::Placeholder, id);
  control.layout.width = width;
  return control;
}

Control& Page::AddBarGraph(uint32_t id, std::string caption) {
  Control& control = Add(ControlKind::BarGraph, id, std::move(caption));
  control.tabStop = false;
  return control;
}

Control& Page::AddDiagram(uint32_t id, std::string caption) {
  return Add(ControlKind::Diagram, id, std::move(caption));
}

void Page::BeginGroup(uint32_t groupBoxId) {
  groupCursor_ = groupBoxId;
  NewRow();
}

void Page::EndGroup() {
  groupCursor_ = 0;
  NewRow();
}

void Page::NewRow() {
  ++rowCursor_;
  columnCursor_ = 0;
}

// ---- lookup ----

Control* Page::Find(uint32_t id) {
  if (id == kAnonymousControl) return nullptr;
  for (auto& control : controls_) {
    if (control->id == id) return control.get();
  }
  return nullptr;
}

const Control* Page::Find(uint32_t id) const {
  return const_cast<Page*>(this)->Find(id);
}

int Page::IndexOf(const Control& control) const {
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].get() == &control) return static_cast<int>(i);
  }
  return -1;
}

Control* Page::ControlBefore(const Control& control) {
  const int index = IndexOf(control);
  return index > 0 ? controls_[static_cast<size_t>(index) - 1].get() : nullptr;
}

Control* Page::NextTabStop(Control& control) {
  const int index = IndexOf(control);
  if (index < 0) return nullptr;
  for (size_t i = static_cast<size_t>(index); i < controls_.size(); ++i) {
    if (TakesFocus(*controls_[i])) return controls_[i].get();
  }
  return nullptr;
}

uint32_t Page::FullIdOf(const Control& control) const {
  if (!parent_) return control.id;
  return (childId_ << 16) | (control.id & 0xFFFFu);
}

ControlRef Page::FindControlById(uint32_t id) {
  if (id == kAnonymousControl) return {};
  if (id >= kChildControlIdBase) {
    // The child page is searched like a control: here first, then further down.
    const uint32_t childId = id >> 16;
    const uint32_t ownId = id & 0xFFFFu;
    if (Page* child = GetChildPage(childId)) {
      if (ControlRef found = child->FindControlById(ownId)) return found;
    }
    for (Page* child : ChildPages()) {
      if (ControlRef found = child->FindControlById(id)) return found;
    }
    return {};
  }
  if (Control* control = Find(id)) return {this, control, FullIdOf(*control)};
  for (Page* child : ChildPages()) {
    if (ControlRef found = child->FindControlById(id)) return found;
  }
  return {};
}

ControlRef Page::FindControlByText(const std::string& text) {
  for (auto& control : controls_) {
    if (control->text == text) return {this, control.get(), FullIdOf(*control)};
  }
  for (Page* child : ChildPages()) {
    if (ControlRef found = child->FindControlByText(text)) return found;
  }
  return {};
}

std::string Page::LabelOf(const Control& control) {
  if (control.binding) return control.binding->GetLabel();
  if (control.IsButton() || control.kind == ControlKind::StaticText ||
      control.kind == ControlKind::GroupBox)
    return CaptionLabel(control.text);
  // A diagram names itself; the text above it is an explanation, not its label.
  if (control.kind == ControlKind::Diagram && !control.text.empty()) return control.text;
  const Control* before = ControlBefore(control);
  if (before && before->kind == ControlKind::StaticText) return CaptionLabel(before->text);
  return {};
}

ControlRef Page::Locate(uint32_t id) { return FindControlById(id); }

// ---- child pages ----

Page* Page::CreateChildPage(uint32_t placeholderId) {
  if (!Find(placeholderId)) return nullptr;
  auto child = std::make_unique<Page>(module_, this, placeholderId);
  child->live_ = live_;
  Page* made = child.get();
  children_[placeholderId] = std::move(child);
  NotifyStructureChanged();
  return made;
}

Page* Page::GetChildPage(uint32_t id) const {
  auto it = children_.find(id);
  return it == children_.end() ? nullptr : it->second.get();
}

std::vector<Page*> Page::ChildPages() const {
  std::vector<Page*> pages;
  for (const auto& control : controls_) {
    if (Page* child = GetChildPage(control->id)) pages.push_back(child);
  }
  return pages;
}

void Page::DestroyChildPage(uint32_t id) {
  if (children_.erase(id) > 0) NotifyStructureChanged();
}

// ---- program changes ----

bool Page::SetText(uint32_t id, const std::string& text) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  Control& control = *ref.control;
  if (control.text == text) return true;
  control.text = text;
  if (control.kind == ControlKind::DropDownList || control.kind == ControlKind::EditableCombo)
    control.selection = IndexOfItem(control.items, text);
  ref.page->NotifyChanged(control);
  // A text register follows what the program puts into its edit box.
  if (control.binding && control.IsEdit() && IsLive())
    control.binding->OnControlEvent(ControlEvent::TextSetByProgram);
  return true;
}

bool Page::SetItems(uint32_t id, std::vector<std::string> items) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  Control& control = *ref.control;
  control.items = std::move(items);
  control.selection = IndexOfItem(control.items, control.text);
  if (control.selection < 0 && control.kind == ControlKind::DropDownList) control.text.clear();
  ref.page->NotifyChanged(control);
  return true;
}

bool Page::SetSelection(uint32_t id, int index) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  Control& control = *ref.control;
  if (index < -1 || index >= static_cast<int>(control.items.size())) return false;
  control.selection = index;
  if (control.kind == ControlKind::DropDownList || control.kind == ControlKind::EditableCombo)
    control.text = control.SelectedText();
  ref.page->NotifyChanged(control);
  return true;
}

bool Page::SetCheck(uint32_t id, bool checked) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->checked = checked;
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetEnabled(uint32_t id, bool enabled) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->enabled = enabled;
  if (ref.control->binding) ref.control->binding->OnWindowEnabled(enabled);
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetShown(uint32_t id, bool shown) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->shown = shown;
  if (ref.control->binding) ref.control->binding->OnWindowShown(shown);
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetReadOnly(uint32_t id, bool readOnly) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->readOnly = readOnly;
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetTextColour(uint32_t id, std::optional<Rgb> colour) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->textColour = colour;
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetBackgroundColour(uint32_t id, std::optional<Rgb> colour) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.control->backgroundColour = colour;
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetColumns(uint32_t id, std::vector<std::string> columns) {
  ControlRef ref = Locate(id);
  if (!ref || ref.control->kind != ControlKind::ListBox) return false;
  if (ref.control->columns == columns) return true;
  ref.control->columns = std::move(columns);
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetDiagram(uint32_t id, std::vector<DiagramBox> boxes) {
  ControlRef ref = Locate(id);
  if (!ref || ref.control->kind != ControlKind::Diagram) return false;
  if (ref.control->boxes == boxes) return true;
  ref.control->boxes = std::move(boxes);
  ref.page->NotifyChanged(*ref.control);
  return true;
}

bool Page::SetBar(uint32_t id, const std::string& caption, std::vector<BarSegment> segments,
                  int markerAt, const std::string& markerLabel) {
  ControlRef ref = Locate(id);
  if (!ref || ref.control->kind != ControlKind::BarGraph) return false;
  Control& control = *ref.control;
  if (control.text == caption && control.segments == segments && control.markerAt == markerAt &&
      control.markerLabel == markerLabel)
    return true;
  control.text = caption;
  control.segments = std::move(segments);
  control.markerAt = markerAt;
  control.markerLabel = markerLabel;
  ref.page->NotifyChanged(control);
  return true;
}

std::vector<PageObserver*> Page::ObserversCopy() const {
  // Observers may unregister themselves while being told.
  return Root().observers_;
}

void Page::NotifyChanged(const Control& control) {
  for (PageObserver* observer : ObserversCopy()) observer->OnControlChanged(*this, control);
}

void Page::NotifyStructureChanged() {
  for (PageObserver* observer : ObserversCopy()) observer->OnStructureChanged(*this);
}

// ---- user input ----

void Page::Deliver(Control& control, ControlEvent event) {
  // Until the first show has run, notifications reach no binding and no handler.
  if (!IsLive()) return;
  if (control.binding) control.binding->OnControlEvent(event);
  RunHandler(control, event);
}

void Page::RunHandler(Control& control, ControlEvent event) {
  if (handler_) {
    handler_(*this, control, event);
  } else if (module_) {
    module_->OnControlEvent(*this, control, event);
  }
}

std::vector<Control*> Page::RadioGroupOf(const Control& control) {
  std::vector<Control*> group;
  const int index = IndexOf(control);
  if (index < 0) return group;
  size_t first = static_cast<size_t>(index);
  while (first > 0 && !controls_[first]->groupStart) --first;
  for (size_t i = first; i < controls_.size(); ++i) {
    if (i > first && controls_[i]->groupStart) break;
    if (controls_[i]->kind == ControlKind::RadioButton) group.push_back(controls_[i].get());
  }
  return group;
}

bool Page::Click(uint32_t id) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown || !ref.control->enabled) return false;
  Page& page = *ref.page;
  Control& control = *ref.control;
  if (control.kind == ControlKind::CheckBox) {
    control.checked = !control.checked;
    page.NotifyChanged(control);
  } else if (control.kind == ControlKind::RadioButton) {
    std::vector<Control*> group = page.RadioGroupOf(control);
    for (Control* other : group) {
      other->checked = other == &control;
      page.NotifyChanged(*other);
    }
    // The others write their bits first, so that the clicked button's bit is the one
    // left set when several radio buttons share a register.
    if (IsLive()) {
      for (Control* other : group) {
        if (other != &control && other->binding) other->binding->Update();
      }
    }
  }
  page.Deliver(control, ControlEvent::Clicked);
  return true;
}

bool Page::SelectItem(uint32_t id, int index) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown || !ref.control->enabled || !ref.control->IsChoice())
    return false;
  Control& control = *ref.control;
  if (index < -1 || index >= static_cast<int>(control.items.size())) return false;
  control.selection = index;
  if (control.kind != ControlKind::ListBox) control.text = control.SelectedText();
  ref.page->NotifyChanged(control);
  ref.page->Deliver(control, ControlEvent::SelectionChanged);
  return true;
}

bool Page::TypeText(uint32_t id, const std::string& text) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown || !ref.control->enabled || !ref.control->IsEdit() ||
      ref.control->readOnly)
    return false;
  Control& control = *ref.control;
  control.text = text;
  if (control.kind == ControlKind::EditableCombo)
    control.selection = IndexOfItem(control.items, text);
  ref.page->NotifyChanged(control);
  ref.page->Deliver(control, ControlEvent::TextChanged);
  return true;
}

bool Page::FocusGained(uint32_t id) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown || !ref.control->enabled) return false;
  ref.page->SetFocus(*ref.control, true);
  ref.page->Deliver(*ref.control, ControlEvent::FocusGained);
  return true;
}

bool Page::FocusLost(uint32_t id) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  Page& root = Root();
  if (root.focus_ == ref.control) {
    root.focus_ = nullptr;
    root.focusPage_ = nullptr;
  }
  ref.page->Deliver(*ref.control, ControlEvent::FocusLost);
  return true;
}

bool Page::ActivateLink(uint32_t id, const std::string& href, const std::string& linkText) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown) return false;
  ref.page->activatedHref_ = href;
  ref.page->activatedText_ = linkText;
  ref.page->Deliver(*ref.control, ControlEvent::LinkActivated);
  return true;
}

bool Page::ClickHeader(uint32_t id, int column) {
  ControlRef ref = Locate(id);
  if (!ref || !ref.control->shown || !ref.control->enabled || ref.control->kind != ControlKind::ListBox)
    return false;
  Control& control = *ref.control;
  if (column < 0 || column >= static_cast<int>(control.columns.size())) return false;
  control.clickedColumn = column;
  ref.page->Deliver(control, ControlEvent::HeaderClicked);
  return true;
}

bool Page::Dispatch(const InputEvent& event) {
  switch (event.kind) {
    case InputEvent::Kind::Click: return Click(event.controlId);
    case InputEvent::Kind::SelectItem: return SelectItem(event.controlId, event.item);
    case InputEvent::Kind::TypeText: return TypeText(event.controlId, event.text);
    case InputEvent::Kind::FocusGained: return FocusGained(event.controlId);
    case InputEvent::Kind::FocusLost: return FocusLost(event.controlId);
    case InputEvent::Kind::LinkActivated:
      return ActivateLink(event.controlId, event.href, event.text);
    case InputEvent::Kind::ClickHeader: return ClickHeader(event.controlId, event.item);
  }
  return false;
}

bool Page::ExecuteCommand(uint32_t command) {
  Control* focus = GetFocus();
  if (command == kCmdToggleHexDec && focus && focus->binding) return focus->binding->ToggleHexDec();
  return false;
}

bool Page::Spin(uint32_t spinId, int direction) {
  ControlRef ref = Locate(spinId);
  if (!ref || ref.control->kind != ControlKind::Spin || !ref.control->enabled) return false;
  const Control& spin = *ref.control;
  Control* buddy = ref.page->Find(spin.buddy);
  if (!buddy) return false;
  const std::string text = Trim(buddy->text);
  const bool hex = StartsWith(text, "0x") || StartsWith(text, "0X");
  uint32_t value = 0;
  if (!text.empty() && !ReadCIntegerExact(text, value)) return false;
  // Decimal texts may be negative; hexadecimal ones are unsigned.
  long long next = hex ? static_cast<long long>(value) : static_cast<int32_t>(value);
  next += static_cast<long long>(direction) * spin.spinStep;
  next = std::clamp<long long>(next, spin.spinMin, spin.spinMax);
  // The text keeps its form: hexadecimal with as many digits as before, or decimal.
  const std::string stepped =
      hex ? Format("0x%0*llX", static_cast<int>(text.size() - 2), next) : Format("%lld", next);
  return ref.page->TypeText(buddy->id, stepped);
}

// ---- focus ----

void Page::SetFocus(Control& control, bool scrollIntoView) {
  Page& root = Root();
  root.focusPage_ = this;
  root.focus_ = &control;
  for (PageObserver* observer : ObserversCopy())
    observer->OnFocusRequest(*this, control, scrollIntoView);
}

bool Page::SetFocus(uint32_t id, bool scrollIntoView) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.page->SetFocus(*ref.control, scrollIntoView);
  return true;
}

Control* Page::GetFocus() const { return Root().focus_; }
Page* Page::GetFocusPage() const { return Root().focusPage_; }

uint32_t Page::GetFocusId() const {
  const Page& root = Root();
  if (!root.focus_ || !root.focusPage_) return 0;
  return root.focusPage_->FullIdOf(*root.focus_);
}

// ---- tooltips ----

bool Page::ShowToolTip(uint32_t id, const std::string& text, const std::string& title) {
  ControlRef ref = Locate(id);
  if (!ref) return false;
  ref.page->ShowToolTip(*ref.control, text, title);
  return true;
}

void Page::ShowToolTip(Control& control, const std::string& text, const std::string& title) {
  // A caption cannot take the focus: the control it names (the next tab stop) does.
  if (Control* target = NextTabStop(control)) {
    SetFocus(*target, true);
  } else {
    for (PageObserver* observer : ObserversCopy()) observer->OnFocusRequest(*this, control, true);
  }
  ToolTipRequest request;
  request.controlId = FullIdOf(control);
  request.control = &control;
  request.title = title;
  request.text = text;
  request.icon = MessageIcon::Information;
  Root().toolTip_ = request;
  for (PageObserver* observer : ObserversCopy()) observer->OnToolTipRequest(*this, request);
}

void Page::CloseToolTip() {
  Page& root = Root();
  if (!root.toolTip_) return;
  root.toolTip_.reset();
  for (PageObserver* observer : ObserversCopy()) observer->OnToolTipClosed(*this);
}

// ---- observers ----

void Page::AddObserver(PageObserver* observer) {
  Page& root = Root();
  if (observer && std::find(root.observers_.begin(), root.observers_.end(), observer) ==
                      root.observers_.end())
    root.observers_.push_back(observer);
}

void Page::RemoveObserver(PageObserver* observer) {
  Page& root = Root();
  root.observers_.erase(std::remove(root.observers_.begin(), root.observers_.end(), observer),
                        root.observers_.end());
}

// ---- page-wide binding work ----

std::vector<CSetCtrl*> Page::Bindings() const {
  std::vector<CSetCtrl*> bindings;
  for (const auto& control : controls_) {
    if (control->binding) bindings.push_back(control->binding);
  }
  for (Page* child : ChildPages()) {
    std::vector<CSetCtrl*> more = child->Bindings();
    bindings.insert(bindings.end(), more.begin(), more.end());
  }
  return bindings;
}

void Page::RefreshBindings(bool shownChildPagesOnly) {
  for (auto& control : controls_) {
    if (control->binding) control->binding->Refresh();
  }
  for (auto& control : controls_) {
    Page* child = GetChildPage(control->id);
    if (child && (control->shown || !shownChildPagesOnly)) child->RefreshBindings(shownChildPagesOnly);
  }
}

void Page::UpdateBindings() {
  for (auto& control : controls_) {
    if (control->binding) control->binding->Update();
  }
  for (Page* child : ChildPages()) child->UpdateBindings();
}

bool Page::Validate(bool showMessages) {
  for (size_t i = 0; i < controls_.size(); ++i) {
    Control& control = *controls_[i];
    if (!control.shown || !control.enabled) continue;
    if (control.binding && !control.binding->Validate(showMessages)) {
      // The binding may have rebuilt nothing, but look the control up again to be safe.
      if (showMessages && i < controls_.size()) SetFocus(*controls_[i], true);
      return false;
    }
    if (Page* child = GetChildPage(control.id)) {
      if (!child->Validate(showMessages)) return false;
    }
  }
  return true;
}

void Page::SelfTest(const SelfTestLog& log) {
  for (auto& control : controls_) {
    if (control->binding) control->binding->SelfTest(log);
  }
  for (Page* child : ChildPages()) child->SelfTest(log);
}

}  // namespace tarq

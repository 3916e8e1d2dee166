// The declaration layer: bindings, ids, layout, comment order and rules from one statement
// per control.
#include "framework/Declaration.h"

#include <algorithm>

#include "framework/Module.h"
#include "framework/TextUtil.h"

namespace tarq {

namespace {

struct IdRange {
  uint32_t first;
  uint32_t last;
};

// Ids the framework gives out itself (see the header).
constexpr IdRange kReservedIds[] = {
    {CModule::kInterruptPanelBase, CModule::kInterruptHeaderLast},
    {CModule::kPinWarningControlId, CModule::kPinWarningControlId},
    {kCmdToggleHexDec, kCmdToggleHexDec},
    {0xE900, 0xE9FF},
    {59748, 59779},
};

bool IsBound(DeclKind kind) {
  switch (kind) {
    case DeclKind::Box:
    case DeclKind::Radio:
    case DeclKind::List:
    case DeclKind::Combo:
    case DeclKind::Value:
    case DeclKind::Text:
      return true;
    default:
      return false;
  }
}

bool HasCaption(DeclKind kind) {
  switch (kind) {
    case DeclKind::List:
    case DeclKind::Combo:
    case DeclKind::Value:
    case DeclKind::Text:
    case DeclKind::Edit:
    case DeclKind::Display:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsReservedControlId(uint32_t id) {
  for (const IdRange& range : kReservedIds)
    if (id >= range.first && id <= range.last) return true;
  return false;
}

std::vector<uint32_t> DeclaredControl::Ids() const {
  std::vector<uint32_t> ids;
  for (uint32_t id : {captionId, this->id, unitId, spinId})
    if (id != 0) ids.push_back(id);
  return ids;
}

PageDeclaration::PageDeclaration(CModule& module) : module_(module) {}

PageDeclaration::~PageDeclaration() = default;

void PageDeclaration::Clear(uint32_t firstId) {
  groups_.clear();
  bindings_.clear();
  keys_.clear();
  faults_.clear();
  rules_.clear();
  band_ = 0;
  framesFirst_ = false;
  nextId_ = firstId;
}

// ---- layout ----

void PageDeclaration::NextBand() {
  if (!groups_.empty() && groups_.back().band == band_) ++band_;
}

void PageDeclaration::Group(const std::string& title, uint32_t id) {
  GroupDecl group;
  group.id = TakeId(id);
  group.title = title;
  group.band = band_;
  groups_.push_back(std::move(group));
}

uint32_t PageDeclaration::NextId() {
  while (IsReservedControlId(nextId_)) ++nextId_;
  return nextId_++;
}

uint32_t PageDeclaration::TakeId(uint32_t wanted) {
  if (wanted == 0) return NextId();
  if (IsReservedControlId(wanted))
    faults_.push_back(Format("id %u lies in a range the framework reserves", wanted));
  return wanted;
}

PageDeclaration::Item& PageDeclaration::NewItem(bool newRow) {
  if (groups_.empty()) Group({});
  GroupDecl& group = groups_.back();
  group.items.emplace_back();
  group.items.back().newRow = newRow;
  return group.items.back();
}

std::string PageDeclaration::KeyOf(const ControlDecl& decl) {
  return decl.key.empty() ? decl.caption : decl.key;
}

// ---- controls ----

std::unique_ptr<CSetCtrl> PageDeclaration::MakeBinding(const DeclaredControl& control) {
  const ControlDecl& decl = control.decl;
  const FieldSpec& field = decl.field;
  const RegisterRef reg = RegisterRef::Named(field.holder ? *field.holder : module_, field.reg);
  switch (decl.kind) {
    case DeclKind::Box:
    case DeclKind::Radio: {
      auto bit = std::make_unique<CSetBit>();
      bit->Bind(reg, field.low, field.inverted, decl.label);
      return bit;
    }
    case DeclKind::List:
      if (!field.texts.empty()) {
        auto named = std::make_unique<CSetEnum>();
        named->Bind(reg, false, decl.label);
        named->SetItems(decl.items, field.texts);
        return named;
      }
      [[fallthrough]];
    case DeclKind::Combo: {
      auto mode = std::make_unique<CSetMode>();
      mode->Bind(reg, field.low, field.HighBit(), field.offset, decl.label, field.values);
      return mode;
    }
    case DeclKind::Value: {
      auto value = std::make_unique<CSetValue>();
      value->Bind(reg, {.lowBit = field.low,
                        .highBit = field.HighBit(),
                        .offset = field.offset,
                        .label = decl.label,
                        .hex = decl.number.hex,
                        .minimum = decl.number.minimum,
                        .maximum = decl.number.maximum,
                        .zeroAllowed = decl.number.zeroAllowed});
      return value;
    }
    case DeclKind::Text: {
      auto text = std::make_unique<CSetString>();
      text->Bind(reg, decl.label);
      if (decl.identifier) text->RequireIdentifier();
      return text;
    }
    default:
      return nullptr;
  }
}

DeclaredControl& PageDeclaration::Add(ControlDecl decl) {
  Item& item = NewItem(decl.newRow);
  item.control = std::make_unique<DeclaredControl>();
  DeclaredControl& control = *item.control;
  control.decl = std::move(decl);
  const ControlDecl& d = control.decl;
  if (HasCaption(d.kind)) control.captionId = TakeId(d.captionId);
  control.id = TakeId(d.id);
  if (!d.unit.empty()) control.unitId = TakeId(d.unitId);
  if (d.kind == DeclKind::Value && d.spin.maximum > d.spin.minimum)
    control.spinId = d.spin.id != 0 ? TakeId(d.spin.id) : NextId();

  if (IsBound(d.kind) && !d.unbound) {
    if (d.field.reg.empty()) {
      faults_.push_back("control \"" + KeyOf(d) + "\" has no register field");
    } else if (!(d.field.holder ? static_cast<CModuleBase&>(*d.field.holder) : module_)
                    .FindOwnRegister(d.field.reg)) {
      faults_.push_back("control \"" + KeyOf(d) + "\" names register " + d.field.reg +
                        ", which the table lacks");
    } else {
      auto binding = d.makeBinding
                         ? d.makeBinding(RegisterRef::Named(d.field.holder ? *d.field.holder
                                                                           : module_,
                                                            d.field.reg),
                                         d.label)
                         : MakeBinding(control);
      control.binding = binding.get();
      bindings_.push_back(std::move(binding));
    }
  }
  // The first of two equal keys answers, as a search along the page would.
  keys_.emplace(KeyOf(d), &control);
  if (d.enabled) rules_.push_back({KeyOf(d), true, d.enableWhole, d.enabled});
  if (d.visible) rules_.push_back({KeyOf(d), false, false, d.visible});
  return control;
}

DeclaredControl& PageDeclaration::Box(ControlDecl decl) {
  decl.kind = DeclKind::Box;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Radio(ControlDecl decl) {
  decl.kind = DeclKind::Radio;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::List(ControlDecl decl) {
  decl.kind = DeclKind::List;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Combo(ControlDecl decl) {
  decl.kind = DeclKind::Combo;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Value(ControlDecl decl) {
  decl.kind = DeclKind::Value;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Text(ControlDecl decl) {
  decl.kind = DeclKind::Text;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Edit(ControlDecl decl) {
  decl.kind = DeclKind::Edit;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Display(ControlDecl decl) {
  decl.kind = DeclKind::Display;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Link(ControlDecl decl) {
  decl.kind = DeclKind::Link;
  return Add(std::move(decl));
}

DeclaredControl& PageDeclaration::Static(ControlDecl decl) {
  decl.kind = DeclKind::Static;
  return Add(std::move(decl));
}

void PageDeclaration::PinWarning() {
  Item& item = NewItem(true);
  item.special = Item::Special::PinWarning;
}

void PageDeclaration::InterruptPanels(int width) {
  if (module_.InterruptUsers().empty()) return;
  Item& item = NewItem(true);
  item.special = Item::Special::InterruptPanels;
  item.width = width;
}

void PageDeclaration::Custom(std::function<void(Page& page)> build, bool newRow) {
  Item& item = NewItem(newRow);
  item.special = Item::Special::Custom;
  item.build = std::move(build);
}

void PageDeclaration::EnableIf(const std::string& key, std::function<bool()> rule) {
  if (!Find(key)) faults_.push_back("enable rule for \"" + key + "\", which is not declared");
  rules_.push_back({key, true, false, std::move(rule)});
}

void PageDeclaration::ShowIf(const std::string& key, std::function<bool()> rule) {
  if (!Find(key)) faults_.push_back("show rule for \"" + key + "\", which is not declared");
  rules_.push_back({key, false, false, std::move(rule)});
}

// ---- queries ----

DeclaredControl* PageDeclaration::Find(const std::string& key) {
  auto found = keys_.find(key);
  return found == keys_.end() ? nullptr : found->second;
}

const DeclaredControl* PageDeclaration::Find(const std::string& key) const {
  auto found = keys_.find(key);
  return found == keys_.end() ? nullptr : found->second;
}

const DeclaredControl* PageDeclaration::FindById(uint32_t id) const {
  for (const GroupDecl& group : groups_) {
    for (const Item& item : group.items) {
      if (!item.control) continue;
      const DeclaredControl& control = *item.control;
      if (control.id == id || control.captionId == id) return &control;
    }
  }
  return nullptr;
}

std::vector<const DeclaredControl*> PageDeclaration::Controls() const {
  std::vector<const DeclaredControl*> controls;
  for (const GroupDecl& group : groups_)
    for (const Item& item : group.items)
      if (item.control) controls.push_back(item.control.get());
  return controls;
}

// ---- page ----

void PageDeclaration::BuildControl(Page& page, const DeclaredControl& control) const {
  const ControlDecl& d = control.decl;
  Control* main = nullptr;
  if (control.captionId != 0 || HasCaption(d.kind)) {
    Control& caption = page.AddStatic(control.captionId, d.caption);
    if (d.captionWidth > 0) caption.layout.width = d.captionWidth;
    if (!d.shown) caption.shown = false;
  }
  switch (d.kind) {
    case DeclKind::Box: main = &page.AddCheckBox(control.id, d.caption, control.binding); break;
    case DeclKind::Radio:
      main = &page.AddRadio(control.id, d.caption, d.groupStart, control.binding);
      break;
    case DeclKind::List: main = &page.AddDropDown(control.id, d.items, control.binding); break;
    case DeclKind::Combo:
      main = &page.AddEditableCombo(control.id, d.items, control.binding);
      break;
    case DeclKind::Value:
    case DeclKind::Text: main = &page.AddEdit(control.id, control.binding); break;
    case DeclKind::Edit: main = &page.AddEdit(control.id); break;
    case DeclKind::Display: main = &page.AddDisplay(control.id); break;
    case DeclKind::Link: main = &page.AddLink(control.id, d.caption); break;
    case DeclKind::Static: main = &page.AddStatic(control.id, d.caption); break;
  }
  if (d.width > 0) main->layout.width = d.width;
  // A control declared hidden is hidden as Page::SetShown hides it: its binding learns it too,
  // so it stays out of the header comment.
  if (!d.shown) {
    main->shown = false;
    if (main->binding) main->binding->OnWindowShown(false);
  }
  if (control.spinId != 0)
    page.AddSpin(control.spinId, control.id, d.spin.minimum, d.spin.maximum, d.spin.step);
  if (control.unitId != 0) {
    Control& unit = page.AddStatic(control.unitId, d.unit);
    if (!d.shown) unit.shown = false;
  }
}

void PageDeclaration::BuildPage(Page& page) const {
  // The group boxes of a band share one row, so they stand side by side.
  auto addFrames = [&](size_t first, size_t end) {
    page.NewRow();
    for (size_t g = first; g < end; ++g)
      if (!groups_[g].title.empty()) page.AddGroupBox(groups_[g].id, groups_[g].title);
  };
  auto bandEnd = [&](size_t first) {
    size_t end = first;
    while (end < groups_.size() && groups_[end].band == groups_[first].band) ++end;
    return end;
  };
  if (framesFirst_) {
    for (size_t first = 0; first < groups_.size(); first = bandEnd(first)) addFrames(first, bandEnd(first));
  }
  for (size_t first = 0; first < groups_.size();) {
    const size_t end = bandEnd(first);
    if (!framesFirst_) addFrames(first, end);
    for (size_t g = first; g < end; ++g) {
      const GroupDecl& group = groups_[g];
      if (group.title.empty())
        page.NewRow();
      else
        page.BeginGroup(group.id);
      bool firstItem = true;
      for (const Item& item : group.items) {
        if (item.newRow && !firstItem) page.NewRow();
        firstItem = false;
        switch (item.special) {
          case Item::Special::None:
            BuildControl(page, *item.control);
            break;
          case Item::Special::PinWarning:
            page.AddLink(CModule::kPinWarningControlId, {}).shown = false;
            break;
          case Item::Special::InterruptPanels:
            for (const InterruptUser& user : module_.InterruptUsers()) {
              page.AddPlaceholder(CModule::kInterruptPanelBase + static_cast<uint32_t>(user.index),
                                  item.width);
              page.NewRow();
            }
            break;
          case Item::Special::Custom:
            item.build(page);
            break;
        }
      }
      if (group.title.empty())
        page.NewRow();
      else
        page.EndGroup();
    }
    first = end;
  }
}

void PageDeclaration::AddCommentItems() const {
  for (const DeclaredControl* control : Controls())
    if (control->binding && control->decl.commented)
      module_.AddCommentItem(control->binding, control->decl.comment);
}

void PageDeclaration::ApplyRules() const {
  if (!module_.HasPage()) return;
  for (const Rule& rule : rules_) {
    const DeclaredControl* control = Find(rule.key);
    if (!control) continue;
    const bool on = rule.rule();
    const auto onPage = [this](uint32_t id) { return childPage_ ? (childPage_ << 16) | id : id; };
    // Enabling concerns the control itself (its spin follows it); showing concerns the
    // caption and unit as well.
    if (rule.enable) {
      if (!rule.whole) {
        module_.EnableControl(onPage(control->id), on);
        continue;
      }
      for (uint32_t id : {control->captionId, control->id, control->unitId})
        if (id != 0) module_.EnableControl(onPage(id), on);
      continue;
    }
    for (uint32_t id : control->Ids()) module_.ShowControl(onPage(id), on);
  }
}

std::vector<std::string> PageDeclaration::Verify() const {
  std::vector<std::string> faults = faults_;
  std::vector<uint32_t> ids;
  for (const GroupDecl& group : groups_) ids.push_back(group.id);
  for (const DeclaredControl* control : Controls())
    for (uint32_t id : control->Ids()) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  for (size_t i = 1; i < ids.size(); ++i)
    if (ids[i] == ids[i - 1] && (i < 2 || ids[i - 2] != ids[i]))
      faults.push_back(Format("id %u is used by two controls", ids[i]));
  return faults;
}

}  // namespace tarq

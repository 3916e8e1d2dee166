#include "framework/Summaries.h"

#include <algorithm>
#include <set>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "project/ModuleTree.h"

namespace tarq {

// ================================ registers summary ================================

namespace {

bool IsListable(const Register& reg) { return !reg.Has(NOVALUE) && !reg.Has(NOSHOWLIST); }

RegisterRow SeparatorRow() {
  RegisterRow row;
  row.kind = RegisterRow::Kind::Separator;
  return row;
}

RegisterRow CaptionRow(const std::string& text) {
  RegisterRow row;
  row.kind = RegisterRow::Kind::Caption;
  row.label = text;
  return row;
}

}  // namespace

std::string RegistersSummary::LabelOf(const CModuleBase& module, const Register& reg) {
  std::string label = module.GetDefineName(reg);
  if (EndsWith(label, "_INIT")) label.resize(label.size() - 5);
  if (!reg.note.empty()) label += " " + reg.note;
  return label + ":";
}

std::string RegistersSummary::ValueTextOf(const Register& reg) {
  return reg.Has(STRVALUE) ? reg.text : CModuleBase::FormatValue(reg, false);
}

std::vector<RegisterRow> RegistersSummary::BuildRows(CModuleBase& module) const {
  std::vector<RegisterRow> hardware;
  std::vector<RegisterRow> runTime;
  std::vector<RegisterRow> userDefines;

  // A listed register of another module (a port's pin-select bits) is named as its owner
  // writes it.
  auto ownerOf = [this, &module](const Register& reg) -> const CModuleBase& {
    for (CModuleBase* other : document_.GetModules()) {
      const std::vector<Register>& registers = other->Registers();
      if (!registers.empty() && &reg >= registers.data() && &reg < registers.data() + registers.size())
        return *other;
    }
    return module;
  };
  auto make = [&module, &ownerOf](Register& reg, int tableIndex, int runTimeIndex) {
    RegisterRow row;
    row.tableIndex = tableIndex;
    row.runTimeIndex = runTimeIndex;
    row.label = LabelOf(tableIndex >= 0 ? module : ownerOf(reg), reg);
    row.valueText = ValueTextOf(reg);
    row.readOnly = reg.Has(NOEDITLIST);
    row.rememberedValue = reg.value;
    row.rememberedText = reg.text;
    return row;
  };

  std::vector<Register>& table = module.Registers();
  for (size_t i = 0; i < table.size(); ++i) {
    Register& reg = table[i];
    const int index = static_cast<int>(i);
    if (!IsListable(reg) || !module.IsRegisterListed(index, reg)) continue;
    (reg.Has(USERDEFINE) ? userDefines : hardware).push_back(make(reg, index, -1));
  }
  const std::vector<Register*> made = module.RunTimeRegisters();
  for (size_t i = 0; i < made.size(); ++i) {
    Register* reg = made[i];
    if (reg == nullptr || !IsListable(*reg) || !module.IsRegisterListed(-1, *reg)) continue;
    (reg->Has(USERDEFINE) ? userDefines : runTime).push_back(make(*reg, -1, static_cast<int>(i)));
  }

  std::vector<RegisterRow> rows = std::move(hardware);
  if (!runTime.empty()) {
    if (!rows.empty()) rows.push_back(SeparatorRow());
    rows.insert(rows.end(), runTime.begin(), runTime.end());
  }
  if (!userDefines.empty()) {
    if (!rows.empty()) rows.push_back(SeparatorRow());
    rows.push_back(CaptionRow(kUserDefinesCaption));
    rows.insert(rows.end(), userDefines.begin(), userDefines.end());
  }
  return rows;
}

void RegistersSummary::SetModule(CModuleBase* module) {
  if (module == current_) return;
  current_ = module;
  Rebuild();
}

void RegistersSummary::Rebuild() {
  rows_.clear();
  listed_ = nullptr;
  // A module made by another one (a pin row, a channel) often has no registers of its
  // own; the registers of its creator are what the user edits then. The visited set
  // stops a parent chain that loops back on itself.
  std::set<CModuleBase*> visited;
  for (CModuleBase* module = current_; module != nullptr && visited.insert(module).second;
       module = module->GetParentModule()) {
    std::vector<RegisterRow> rows = BuildRows(*module);
    if (!rows.empty()) {
      rows_ = std::move(rows);
      listed_ = module;
      return;
    }
  }
}

bool RegistersSummary::HasRegisterRows() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const RegisterRow& row) {
    return row.kind == RegisterRow::Kind::Register;
  });
}

Register* RegistersSummary::RowRegister(size_t row) const {
  if (row >= rows_.size() || listed_ == nullptr) return nullptr;
  const RegisterRow& entry = rows_[row];
  if (entry.kind != RegisterRow::Kind::Register) return nullptr;
  // By index, never by a kept pointer: the module may have grown (and moved) its
  // registers since the rows were built.
  if (entry.tableIndex < 0) {
    const std::vector<Register*> made = listed_->RunTimeRegisters();
    const size_t index = static_cast<size_t>(entry.runTimeIndex);
    return index < made.size() ? made[index] : nullptr;
  }
  std::vector<Register>& table = listed_->Registers();
  const size_t index = static_cast<size_t>(entry.tableIndex);
  return index < table.size() ? &table[index] : nullptr;
}

bool RegistersSummary::IsRowChanged(size_t row) const {
  const Register* reg = RowRegister(row);
  if (reg == nullptr) return false;
  const RegisterRow& entry = rows_[row];
  if (reg->Has(STRVALUE)) return reg->text != entry.rememberedText;
  return reg->value != entry.rememberedValue;
}

RowColour RegistersSummary::RowTextColour(size_t row) const {
  return IsRowChanged(row) ? kRowColourChanged : kRowColourNormal;
}

bool RegistersSummary::CommitRow(size_t row, const std::string& text) {
  Register* reg = RowRegister(row);
  if (reg == nullptr || rows_[row].readOnly) return false;
  // Parsed into a copy so that a refused entry cannot leave the register half-changed.
  Register parsed = *reg;
  std::string message;
  if (!CModuleBase::ParseValue(parsed, text, message)) {
    document_.GetHost().ShowMessage(message, MessageIcon::Exclamation);
    return false;
  }
  reg->value = parsed.value;
  reg->text = parsed.text;
  rows_[row].valueText = ValueTextOf(*reg);
  // The page on screen shows the register through its controls: let them follow.
  if (CModuleBase* shown = document_.GetCurrentModule()) shown->RefreshAll();
  return true;
}

void RegistersSummary::RefreshTexts() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (const Register* reg = RowRegister(i)) rows_[i].valueText = ValueTextOf(*reg);
  }
}

void RegistersSummary::RememberValues() {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (const Register* reg = RowRegister(i)) {
      rows_[i].rememberedValue = reg->value;
      rows_[i].rememberedText = reg->text;
    }
  }
}

void RegistersSummary::OnHint(int hint, CModuleBase* sender) {
  switch (hint) {
    case kHintTreeCurrentModule:
      SetModule(sender);
      break;
    case kHintDocumentClosing:
      SetModule(nullptr);
      break;
    case kHintWarningsPassDone:
      RememberValues();
      break;
    case kHintValueChanged:
    case kHintChoiceChanged:
    case kHintCheckChanged:
    case kHintPageRefreshed:
    case kHintPageUpdated:
    case kHintChildPageRefreshed:
    case kHintChildPageUpdated:
      RefreshTexts();
      break;
    default:
      break;
  }
}

// ================================ warnings summary ================================

void WarningsSummary::SetShowAll(bool showAll) {
  if (showAll == showAll_) return;
  showAll_ = showAll;
  MarkForRefill();
  // The refill waits for the end of a warnings pass; make sure one comes.
  document_.CheckAllWarnings(true);
}

void WarningsSummary::MarkForRefill() {
  refillPending_ = true;
  document_.GetHost().PostWakeUp();
}

void WarningsSummary::Refill() {
  refillPending_ = false;
  std::set<std::pair<CModuleBase*, uint32_t>> wasSelected;
  for (const WarningRow& row : rows_) {
    if (row.selected) wasSelected.insert({row.module, row.id});
  }

  rows_.clear();
  focused_ = -1;
  if (const WarningList* warnings = document_.GetWarnings()) {
    for (const Warning& warning : warnings->Entries()) {
      if (warning.page == nullptr) continue;
      if (!showAll_ && !warning.page->IsSelected()) continue;
      WarningRow row;
      row.module = warning.page;
      row.id = warning.id;
      row.moduleText = warning.page->GetDisplayName();
      row.text = warning.text;
      row.link = warning.link;
      row.selected = wasSelected.count({warning.page, warning.id}) != 0;
      if (row.selected && focused_ < 0) focused_ = static_cast<int>(rows_.size());
      rows_.push_back(std::move(row));
    }
  }
  if (focused_ < 0 && !rows_.empty()) {
    focused_ = 0;
    rows_[0].selected = true;
  }
  SetTopRow(top_);
}

void WarningsSummary::SetTopRow(int row) {
  const int last = std::max(0, static_cast<int>(rows_.size()) - 1);
  top_ = std::clamp(row, 0, last);
}

void WarningsSummary::SelectOnly(size_t row) {
  for (size_t i = 0; i < rows_.size(); ++i) rows_[i].selected = i == row;
  if (row < rows_.size()) focused_ = static_cast<int>(row);
}

void WarningsSummary::SetSelected(size_t row, bool selected) {
  if (row < rows_.size()) rows_[row].selected = selected;
}

size_t WarningsSummary::SelectedCount() const {
  return static_cast<size_t>(std::count_if(rows_.begin(), rows_.end(),
                                           [](const WarningRow& row) { return row.selected; }));
}

bool WarningsSummary::Activate() {
  if (SelectedCount() != 1) return false;
  const auto row = std::find_if(rows_.begin(), rows_.end(),
                                [](const WarningRow& entry) { return entry.selected; });
  CModuleBase* module = row->module;
  // A tooltip on a page that could not be shown would point at nothing.
  if (!document_.ShowModule(module)) return false;
  module->ShowToolTip(row->id, row->text, kWarningDetailTitle);
  return true;
}

void WarningsSummary::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  switch (hint) {
    case kHintWarningsPassDone:
      if (refillPending_) Refill();
      break;
    case kHintWarningChanged:
      // Not a pass request: warnings are set on every pass, which would never end.
      MarkForRefill();
      break;
    case kHintDocumentClosing:
      rows_.clear();
      focused_ = -1;
      top_ = 0;
      refillPending_ = true;
      break;
    case kHintClocksChanged:
      // Asked for by the document itself; the list's own requests predate it.
      break;
    default:
      if (AsksForWarningsPass(hint)) document_.CheckAllWarnings(true);
      break;
  }
}

// ================================ module tree ================================

void ModuleTreeController::RecomputeStateImages() {
  updatingImages_ = true;
  images_.clear();
  for (TreeNode* node : tree_.AllNodes()) images_[node] = ModuleTree::StateImage(*node);
  updatingImages_ = false;
}

int ModuleTreeController::StateImageOf(const TreeNode* node) const {
  const auto found = images_.find(node);
  return found == images_.end() ? -1 : found->second;
}

void ModuleTreeController::ToggleCheck(TreeNode* node, bool checked) {
  if (node == nullptr || node->module == nullptr) return;
  node->module->SetSelected(checked);
  RecomputeStateImages();
  document_.Broadcast(kHintModuleSelectionToggled, node->module);
  document_.CheckAllWarnings(true);
}

bool ModuleTreeController::SelectNode(TreeNode* node) {
  if (node == nullptr || node == selected_) return node != nullptr;
  if (node->module == nullptr || !document_.ShowModule(node->module)) return false;
  document_.Broadcast(kHintTreeSelectionMoved, node->module);
  selected_ = node;
  document_.Broadcast(kHintTreeCurrentModule, node->module);
  return true;
}

bool ModuleTreeController::ShowInTree(const CModuleBase* module) {
  TreeNode* node = tree_.FindNode(module);
  if (node == nullptr) return false;
  SelectNode(node);
  return selected_ == node;
}

void ModuleTreeController::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  if (hint == kHintDocumentClosing) {
    images_.clear();
    selected_ = nullptr;
  }
}

}  // namespace tarq

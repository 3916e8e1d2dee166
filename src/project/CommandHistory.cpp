#include "project/CommandHistory.h"

#include <algorithm>
#include <set>
#include <utility>

#include "framework/Bindings.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/Register.h"
#include "project/ProjDoc.h"

namespace tarq {

CommandHistory::CommandHistory(CProjDocBase& doc) : doc_(doc) {
  baseline_ = Capture();
  absorbNextPass_ = doc_.IsUpdatePending();
  doc_.AddObserver(this);
}

CommandHistory::~CommandHistory() { doc_.RemoveObserver(this); }

CommandHistory::State CommandHistory::Capture() const {
  State state;
  for (CModuleBase* module : doc_.GetModules()) {
    ModuleState& captured = state.modules.emplace_back();
    captured.module = module;
    captured.selected = module->IsSelected();
    captured.registers.reserve(module->GetRegisterCount());
    for (const Register& reg : module->Registers())
      captured.registers.push_back({reg.value, reg.text});
  }
  state.settings = doc_.GetSettings();
  return state;
}

bool CommandHistory::SameModules(const State& state) const {
  const std::vector<CModuleBase*> modules = doc_.GetModules();
  if (modules.size() != state.modules.size()) return false;
  for (size_t i = 0; i < modules.size(); ++i)
    if (modules[i] != state.modules[i].module) return false;
  return true;
}

bool CommandHistory::Commit() {
  if (applying_) return false;
  if (!SameModules(baseline_)) {
    // Another project (or another module list): the steps no longer fit it.
    Clear();
    return false;
  }
  State now = Capture();
  Step step;
  for (size_t m = 0; m < now.modules.size(); ++m) {
    const ModuleState& before = baseline_.modules[m];
    const ModuleState& after = now.modules[m];
    if (before.selected != after.selected)
      step.selections.push_back({m, before.selected, after.selected});
    // A table that grew or shrank compares over the rows both have; the rest count as reset.
    const size_t rows = std::max(before.registers.size(), after.registers.size());
    for (size_t r = 0; r < rows; ++r) {
      const RegisterState old = r < before.registers.size() ? before.registers[r] : RegisterState{};
      const RegisterState fresh = r < after.registers.size() ? after.registers[r] : RegisterState{};
      if (!(old == fresh)) step.registers.push_back({m, r, old, fresh});
    }
  }
  if (!(baseline_.settings == now.settings)) {
    step.settingsChanged = true;
    step.settingsBefore = baseline_.settings;
    step.settingsAfter = now.settings;
  }
  baseline_ = std::move(now);
  // A name belongs to the action it was given for, even one that changed nothing.
  std::string given = std::exchange(pendingName_, {});
  if (given.empty()) given = doc_.TakeNextStepName();
  if (absorbNextPass_) {
    absorbNextPass_ = false;
    return false;
  }
  if (step.registers.empty() && step.selections.empty() && !step.settingsChanged) {
    return false;
  }
  step.name = NameOf(step);
  if (!given.empty()) step.name = given;
  steps_.resize(position_);  // what was undone can no longer be redone
  steps_.push_back(std::move(step));
  if (steps_.size() > kMaxSteps) steps_.erase(steps_.begin());
  position_ = steps_.size();
  Notify();
  return true;
}

namespace {

// Writes one side of a step's register edits (registers only; nothing is recomputed).
template <typename Edits, typename Side>
void PutRegisters(const std::vector<CModuleBase*>& modules, const Edits& edits, Side side) {
  for (const auto& edit : edits) {
    CModuleBase* module = modules[edit.module];
    if (edit.index >= module->GetRegisterCount()) continue;
    Register& reg = module->Registers()[edit.index];
    reg.value = side(edit).value;
    reg.text = side(edit).text;
  }
}

}  // namespace

// The step is named after the control the user changed: among the bound controls of the
// page on screen (else of the first module that changed) whose register changed, the one
// whose field reads differently, the focused one first. Several registers share a field
// list, so a changed register alone does not tell which control it was.
std::string CommandHistory::NameOf(Step& step) const {
  std::vector<size_t> modules;
  auto note = [&](size_t m) {
    if (std::find(modules.begin(), modules.end(), m) == modules.end()) modules.push_back(m);
  };
  for (const RegisterEdit& edit : step.registers) note(edit.module);
  for (const SelectionEdit& edit : step.selections) note(edit.module);
  if (modules.empty()) return "Project settings";
  const std::vector<CModuleBase*> all = doc_.GetModules();
  auto changedRegister = [&](const RegisterRef& ref) {
    return std::any_of(step.registers.begin(), step.registers.end(), [&](const RegisterEdit& edit) {
      return all[edit.module] == ref.module && edit.index == ref.index;
    });
  };

  CModuleBase* current = doc_.GetCurrentModule();
  CModuleBase* first = all[modules.front()];
  std::string what;
  CModuleBase* named = nullptr;
  CModuleBase* fieldOwner = nullptr;
  for (CModuleBase* module : {current, first}) {
    if (module == nullptr || module->GetPage() == nullptr || !what.empty()) continue;
    std::vector<CSetCtrl*> candidates;
    for (CSetCtrl* binding : module->GetPage()->Bindings())
      if (changedRegister(binding->GetRegisterRef()) && !binding->GetLabel().empty())
        candidates.push_back(binding);
    if (candidates.empty()) continue;
    Page* page = module->GetPage();
    Control* focus = page->GetFocusPage() ? page->GetFocusPage()->GetFocus() : nullptr;
    const auto focused = std::find_if(candidates.begin(), candidates.end(), [&](CSetCtrl* binding) {
      return focus != nullptr && focus->binding == binding;
    });
    // The control the user is on is the one acted on. Its text may hold an entry not taken
    // yet, so it is not refreshed; the others show what changed besides it.
    const size_t focusedIndex = module == current && focused != candidates.end()
                                    ? static_cast<size_t>(focused - candidates.begin())
                                    : candidates.size();
    auto shown = [&] {
      std::vector<std::string> states;
      for (size_t i = 0; i < candidates.size(); ++i) {
        if (i == focusedIndex) {
          states.emplace_back();
          continue;
        }
        candidates[i]->Refresh();
        const Control* control = candidates[i]->GetWnd();
        states.push_back(control ? std::to_string(control->checked) + "|" +
                                       std::to_string(control->selection) + "|" + control->text
                                 : std::string());
      }
      return states;
    };
    PutRegisters(all, step.registers,
                 [](const RegisterEdit& e) -> const RegisterState& { return e.before; });
    const std::vector<std::string> before = shown();
    PutRegisters(all, step.registers,
                 [](const RegisterEdit& e) -> const RegisterState& { return e.after; });
    const std::vector<std::string> after = shown();
    size_t pick = focusedIndex;
    size_t fieldsChanged = focusedIndex < candidates.size() ? 1 : 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
      if (i == focusedIndex || before[i] == after[i]) continue;
      ++fieldsChanged;
      if (pick == candidates.size()) pick = i;
    }
    CSetCtrl* chosen = candidates[pick == candidates.size() ? 0 : pick];
    what = chosen->GetLabel();
    if (fieldsChanged > 1) what += " and " + std::to_string(fieldsChanged - 1) + " more";
    fieldOwner = chosen->GetRegisterRef().module;
    named = module;
    if (const Control* control = chosen->GetWnd(); control && chosen->GetPage())
      step.controlId = chosen->GetPage()->FullIdOf(*control);
  }
  if (named == nullptr) {
    named = first;
    for (const RegisterEdit& edit : step.registers)
      if (all[edit.module] == first && edit.index < first->GetRegisterCount()) {
        what = first->GetDefineName(first->Registers()[edit.index]);
        break;
      }
    if (what.empty()) what = first->IsSelected() ? "selected" : "not selected";
  }
  step.module = named;
  std::string name = named->GetPrefix() + " " + what;
  // Modules changed besides the one named and the one holding the named field's register.
  const size_t others = std::count_if(modules.begin(), modules.end(), [&](size_t m) {
    return all[m] != named && all[m] != fieldOwner;
  });
  if (others == 1) name += " and 1 other module";
  if (others > 1) name += " and " + std::to_string(others) + " other modules";
  return name;
}

std::string CommandHistory::UndoName() const { return CanUndo() ? steps_[position_ - 1].name : ""; }

std::string CommandHistory::RedoName() const { return CanRedo() ? steps_[position_].name : ""; }

bool CommandHistory::Undo() {
  Commit();  // a change not yet recorded is the step to undo
  if (!CanUndo()) return false;
  --position_;
  Apply(steps_[position_], false);
  return true;
}

bool CommandHistory::Redo() {
  Commit();  // a new change drops the steps to redo
  if (!CanRedo()) return false;
  Apply(steps_[position_], true);
  ++position_;
  return true;
}

void CommandHistory::Apply(const Step& step, bool forward) {
  applying_ = true;
  const std::vector<CModuleBase*> modules = doc_.GetModules();
  std::set<CModuleBase*> touched;
  PutRegisters(modules, step.registers,
               [forward](const RegisterEdit& edit) -> const RegisterState& {
                 return forward ? edit.after : edit.before;
               });
  for (const RegisterEdit& edit : step.registers) touched.insert(modules[edit.module]);
  for (const SelectionEdit& edit : step.selections) {
    modules[edit.module]->SetSelected(forward ? edit.after : edit.before);
    touched.insert(modules[edit.module]);
  }
  if (step.settingsChanged)
    if (ProjectSettings* settings = doc_.GetEditableSettings())
      *settings = forward ? step.settingsAfter : step.settingsBefore;

  // The normal path after a change: the modules recompute, the pages show the values, the
  // tree its marks, and a warnings pass follows at the next idle moment.
  for (CModuleBase* module : modules) {
    if (!touched.count(module)) continue;
    module->UpdateValues();
    if (module->HasPage()) module->RefreshAll();
  }
  for (const SelectionEdit& edit : step.selections)
    doc_.Broadcast(kHintModuleSelectionToggled, modules[edit.module]);
  doc_.Broadcast(kHintRefreshAll, nullptr);
  doc_.CheckAllWarnings(true);
  Reveal(step);
  applying_ = false;
  // What the recompute made of it is the new start, so it is no step of its own.
  baseline_ = Capture();
  Notify();
}

void CommandHistory::Reveal(const Step& step) {
  if (step.module == nullptr || !doc_.ShowModule(step.module)) return;
  Page* page = step.module->GetPage();
  if (page == nullptr) return;
  uint32_t controlId = step.controlId;
  if (controlId == 0) {
    // Recorded while the page was not built: the first control whose register changed.
    const std::vector<CModuleBase*> modules = doc_.GetModules();
    for (CSetCtrl* binding : page->Bindings()) {
      const RegisterRef& ref = binding->GetRegisterRef();
      const bool changed =
          std::any_of(step.registers.begin(), step.registers.end(), [&](const RegisterEdit& edit) {
            return modules[edit.module] == ref.module && edit.index == ref.index;
          });
      if (changed && binding->GetWnd() != nullptr && binding->GetPage() != nullptr) {
        controlId = binding->GetPage()->FullIdOf(*binding->GetWnd());
        break;
      }
    }
  }
  if (controlId != 0) page->SetFocus(controlId);
}

void CommandHistory::Clear() {
  steps_.clear();
  position_ = 0;
  pendingName_.clear();
  doc_.TakeNextStepName();
  baseline_ = Capture();
  absorbNextPass_ = doc_.IsUpdatePending();
  Notify();
}

void CommandHistory::Notify() {
  if (changed_) changed_();
}

void CommandHistory::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  if (hint == kHintWarningsPassDone) Commit();
}

}  // namespace tarq

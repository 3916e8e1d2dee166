// Undo and redo over the register values, the module selection and the project settings.
// The history watches the document: whatever changed between two warnings passes (one
// user action: a control, a summary edit, a link that places pins, an import, a wizard) is
// one step, however many registers and modules it touched. It knows no module: it compares
// the registers of every module, so a module added tomorrow is covered as it stands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Hints.h"
#include "project/Settings.h"

namespace tarq {

class CModuleBase;
class CProjDocBase;

class CommandHistory : public DocumentObserver {
 public:
  // Takes the document's state as it is now as the start; observes the document until
  // destroyed.
  explicit CommandHistory(CProjDocBase& doc);
  ~CommandHistory() override;
  CommandHistory(const CommandHistory&) = delete;
  CommandHistory& operator=(const CommandHistory&) = delete;

  // Records what changed since the last step as a new step (dropping the steps that could
  // be redone); false when nothing changed. The warnings pass calls it after every action.
  bool Commit();
  // The name of the next step, for actions that no single control names ("Assign missing
  // pins", "Import"); otherwise the step is named after the control that changed. Modules
  // name theirs through the document (ModuleContext::NameNextStep). A name is good for the
  // action under way only: the next warnings pass takes it, whether or not anything changed.
  void NameNextStep(std::string name) { pendingName_ = std::move(name); }

  bool CanUndo() const { return position_ > 0; }
  bool CanRedo() const { return position_ < steps_.size(); }
  // "SCI_0 Baud rate divisor"; empty when there is nothing to undo or redo.
  std::string UndoName() const;
  std::string RedoName() const;
  // Restores the state before (after) the step, then recomputes every module, refreshes the
  // pages and asks for a warnings pass. The page of the module the step is named after is
  // shown and the control that changed gets the focus, so the user sees what was undone.
  // False when there is nothing to undo (redo).
  bool Undo();
  bool Redo();
  // Forgets every step; the state as it is now is the start (a project opened anew).
  void Clear();
  size_t StepCount() const { return steps_.size(); }
  // Told after every change of the history (a step, an undo, a redo, a clear).
  void SetChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }

  void OnHint(int hint, CModuleBase* sender) override;

  // Steps kept; the oldest ones go first.
  static constexpr size_t kMaxSteps = 1000;

 private:
  struct RegisterState {
    uint32_t value = 0;
    std::string text;
    bool operator==(const RegisterState&) const = default;
  };
  struct ModuleState {
    CModuleBase* module = nullptr;
    bool selected = false;
    std::vector<RegisterState> registers;
  };
  struct State {
    std::vector<ModuleState> modules;
    ProjectSettings settings;
  };
  struct RegisterEdit {
    size_t module = 0;
    size_t index = 0;
    RegisterState before, after;
  };
  struct SelectionEdit {
    size_t module = 0;
    bool before = false, after = false;
  };
  struct Step {
    std::string name;
    // Where the step shows: the module it is named after and the full id of the control
    // that changed on its page (0: none known when the step was recorded).
    CModuleBase* module = nullptr;
    uint32_t controlId = 0;
    std::vector<RegisterEdit> registers;
    std::vector<SelectionEdit> selections;
    bool settingsChanged = false;
    ProjectSettings settingsBefore, settingsAfter;
  };

  State Capture() const;
  bool SameModules(const State& state) const;
  // Names the step and notes where it shows (step.module, step.controlId).
  std::string NameOf(Step& step) const;
  void Apply(const Step& step, bool forward);
  // Shows the step's page and focuses the control that changed.
  void Reveal(const Step& step);
  void Notify();

  CProjDocBase& doc_;
  State baseline_;
  std::vector<Step> steps_;
  size_t position_ = 0;  // steps before it are done, from it on undone
  std::string pendingName_;
  bool applying_ = false;
  // The recompute of a freshly opened project is no user action: the first warnings pass
  // only sets the start.
  bool absorbNextPass_ = false;
  std::function<void()> changed_;
};

}  // namespace tarq

// Broadcast hints of the project document and the observer interface that receives them.
// A view (module page, tree, bars) never receives its own broadcast.
#pragma once

namespace tarq {

class CModuleBase;

// Refresh everything: module pages run OnUpdate.
inline constexpr int kHintRefreshAll = 0;
// A warnings pass has finished.
inline constexpr int kHintWarningsPassDone = 1;
// The module tree moved its selection to another module (sent with that module).
inline constexpr int kHintTreeSelectionMoved = 2;
// The module tree reports its current module after a selection change.
inline constexpr int kHintTreeCurrentModule = 3;
// A module's selected check box was toggled in the module tree.
inline constexpr int kHintModuleSelectionToggled = 5;
// A docking pane of the main window became visible.
inline constexpr int kHintPaneShown = 6;
// A value binding or the automation interface changed a register.
inline constexpr int kHintValueChanged = 10;
// A choice binding (list, mode) changed a register.
inline constexpr int kHintChoiceChanged = 11;
// A check-box binding changed a register.
inline constexpr int kHintCheckChanged = 12;
// A module page read every binding back into its controls (RefreshAll).
inline constexpr int kHintPageRefreshed = 20;
// A module page wrote every control into its register (UpdateAll).
inline constexpr int kHintPageUpdated = 21;
// A child page refreshed its controls.
inline constexpr int kHintChildPageRefreshed = 22;
// A child page wrote its controls.
inline constexpr int kHintChildPageUpdated = 23;
// A warning was set, changed or removed.
inline constexpr int kHintWarningChanged = 24;
// The clock module recomputed its frequencies; the information bar refreshes on it.
inline constexpr int kHintClocksChanged = 26;
// Modules joined the open project (a plugin made by an automation client); sent with the
// first of them. The tree adds their nodes.
inline constexpr int kHintModulesAdded = 27;
// The document is being closed and emptied.
inline constexpr int kHintDocumentClosing = 30;

// Whether a hint tells of a change the warnings must follow: values, pages, the selection or
// the clocks (a typed oscillator frequency, which no register holds). The warnings pass
// itself sends such hints too; whoever asks for a pass on them skips those.
constexpr bool AsksForWarningsPass(int hint) {
  switch (hint) {
    case kHintClocksChanged:
    case kHintTreeCurrentModule:
    case kHintModuleSelectionToggled:
    case kHintPaneShown:
    case kHintValueChanged:
    case kHintChoiceChanged:
    case kHintCheckChanged:
    case kHintPageRefreshed:
    case kHintPageUpdated:
    case kHintChildPageRefreshed:
    case kHintChildPageUpdated:
      return true;
    default:
      return false;
  }
}

// Anything that follows the document's broadcasts: module pages, the tree, the bars.
class DocumentObserver {
 public:
  virtual ~DocumentObserver() = default;
  virtual void OnHint(int hint, CModuleBase* sender) = 0;
};

}  // namespace tarq

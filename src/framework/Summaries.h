// The models behind the three views around the module pages: the registers summary, the
// warnings summary and the check boxes and selection of the module tree. No widgets here:
// a front end renders these models and feeds user input back into them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/Hints.h"

namespace tarq {

class CModuleBase;
class ModuleContext;
class ModuleTree;
struct Register;
struct TreeNode;

struct RowColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const RowColour&) const = default;
};
inline constexpr RowColour kRowColourNormal{0, 0, 0};
inline constexpr RowColour kRowColourChanged{192, 0, 0};

inline constexpr const char* kNoRegistersText = "No control registers for current module";
inline constexpr const char* kUserDefinesCaption = "User defines (not hardware registers):";

// ---------------------------------------------------------------------------------------
// Registers summary: the registers of the module on screen, with their values, editable.

struct RegisterRow {
  enum class Kind { Register, Separator, Caption };
  Kind kind = Kind::Register;
  // Register rows only:
  int tableIndex = -1;           // index in the module's table; -1 for a run-time register
  int runTimeIndex = -1;         // position in the module's RunTimeRegisters() otherwise
  std::string label;             // "SCI_0_SCIBR:"; the caption text for Kind::Caption
  std::string valueText;         // what the edit box shows (refreshed on the update hints)
  bool readOnly = false;         // NOEDITLIST
  uint32_t rememberedValue = 0;  // register value after the last warnings pass
  std::string rememberedText;
};

class RegistersSummary : public DocumentObserver {
 public:
  explicit RegistersSummary(ModuleContext& document) : document_(document) {}

  // The module the tree reports as current; rows are rebuilt when it changes.
  void SetModule(CModuleBase* module);
  // The module whose registers are listed: the current one or, when it has none to show,
  // the nearest ancestor that has. Null when nothing is listed.
  CModuleBase* ListedModule() const { return listed_; }
  CModuleBase* CurrentModule() const { return current_; }

  const std::vector<RegisterRow>& Rows() const { return rows_; }
  // Whether any register row exists; the view shows kNoRegistersText otherwise.
  bool HasRegisterRows() const;
  // The register a row shows; null for separators and captions.
  Register* RowRegister(size_t row) const;
  // Red while the register differs from the value remembered after the last pass.
  bool IsRowChanged(size_t row) const;
  RowColour RowTextColour(size_t row) const;

  // The user typed `text` into a row and confirmed it. The register takes the value when
  // it is acceptable and the page on screen follows it; otherwise the reason is shown
  // through the host, the register keeps its value and false is returned.
  bool CommitRow(size_t row, const std::string& text);

  // Builds the rows again (the module's table or listing rules changed).
  void Rebuild();
  // Reads every row's text from its register again.
  void RefreshTexts();
  // Every row takes its register's present value as the one to compare with.
  void RememberValues();

  void OnHint(int hint, CModuleBase* sender) override;

  // Row label of a register: its define name without a trailing "_INIT", the note when
  // there is one, and a colon.
  static std::string LabelOf(const CModuleBase& module, const Register& reg);
  // Row text: the value as written in the header without the "U", or the text.
  static std::string ValueTextOf(const Register& reg);

 private:
  // Rows of one module; empty when it has nothing to show.
  std::vector<RegisterRow> BuildRows(CModuleBase& module) const;

  ModuleContext& document_;
  CModuleBase* current_ = nullptr;
  CModuleBase* listed_ = nullptr;
  std::vector<RegisterRow> rows_;
};

// ---------------------------------------------------------------------------------------
// Warnings summary: the document's warnings, two columns, and the way to their controls.

inline constexpr const char* kShowAllWarningsCaption =
    "Show warnings even for non-included modules";
inline constexpr const char* kWarningColumnModule = "Module";
inline constexpr const char* kWarningColumnText = "Warning text";
inline constexpr const char* kWarningDetailTitle = "Warning detail";

struct WarningRow {
  CModuleBase* module = nullptr;
  uint32_t id = 0;         // the warning's control (child page id in the upper 16 bits)
  std::string moduleText;  // column "Module"
  std::string text;        // column "Warning text"
  std::string link;
  bool selected = false;
};

class WarningsSummary : public DocumentObserver {
 public:
  explicit WarningsSummary(ModuleContext& document) : document_(document) {}

  // "Show warnings even for non-included modules". A change takes effect with the next
  // warnings pass, which is requested here.
  void SetShowAll(bool showAll);
  bool ShowAll() const { return showAll_; }

  const std::vector<WarningRow>& Rows() const { return rows_; }
  bool IsRefillPending() const { return refillPending_; }
  // Focused row and first visible row; -1 / 0 while the list is empty.
  int FocusedRow() const { return focused_; }
  int TopRow() const { return top_; }
  void SetTopRow(int row);

  // Selection as the list control reports it.
  void SelectOnly(size_t row);
  void SetSelected(size_t row, bool selected);
  size_t SelectedCount() const;

  // Double click, Enter or Space: with exactly one row selected, shows the warning's page
  // and explains the warning at its control. False when nothing was shown.
  bool Activate();

  // Rebuilds the rows from the document's warning list, keeping the selection.
  void Refill();

  void OnHint(int hint, CModuleBase* sender) override;

 private:
  void MarkForRefill();

  ModuleContext& document_;
  std::vector<WarningRow> rows_;
  bool showAll_ = false;
  bool refillPending_ = true;  // nothing has been filled yet
  int focused_ = -1;
  int top_ = 0;
};

// ---------------------------------------------------------------------------------------
// Module tree: state images of the check boxes, toggling and the selection rules.

class ModuleTreeController : public DocumentObserver {
 public:
  ModuleTreeController(ModuleTree& tree, ModuleContext& document)
      : tree_(tree), document_(document) {}

  // Computes every node's state image (after loading and after each toggle).
  void RecomputeStateImages();
  // The image last computed for a node; -1 for a node not seen yet.
  int StateImageOf(const TreeNode* node) const;

  // The check box of a node was toggled: the module is (de)selected, every image is
  // recomputed, hint 5 goes out and a warnings pass is requested.
  void ToggleCheck(TreeNode* node, bool checked);
  // True while the controller changes the images, so that the view ignores its own echo.
  bool IsUpdatingImages() const { return updatingImages_; }

  // The user selects a node: the module's page is shown first; when the page on screen
  // refuses to be left the selection stays where it was and false is returned.
  bool SelectNode(TreeNode* node);
  TreeNode* SelectedNode() const { return selected_; }
  // Selects the node of a module; true when the selection is now that node.
  bool ShowInTree(const CModuleBase* module);

  void OnHint(int hint, CModuleBase* sender) override;

 private:
  ModuleTree& tree_;
  ModuleContext& document_;
  std::map<const TreeNode*, int> images_;
  TreeNode* selected_ = nullptr;
  bool updatingImages_ = false;
};

}  // namespace tarq

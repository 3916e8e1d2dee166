// The module tree of the left pane: every module in the architecture file's order and
// nesting, a check box (state image) per node for "write this module", and the selection
// that switches the page pane. The rules live in ModuleTreeController; this is its view.
#pragma once

#include <QHash>
#include <QTreeWidget>
#include <functional>

#include "framework/Hints.h"
#include "framework/Summaries.h"

namespace tarq {

class CProjDocBase;
struct TreeNode;

class ModuleTreeView : public QTreeWidget, public DocumentObserver {
  Q_OBJECT

 public:
  // Asked before the selection moves to a node; false keeps the old selection.
  using SelectHandler = std::function<bool(TreeNode*)>;

  explicit ModuleTreeView(CProjDocBase& document, QWidget* parent = nullptr);
  ~ModuleTreeView() override;

  void SetSelectHandler(SelectHandler handler) { selectHandler_ = std::move(handler); }
  ModuleTreeController& Controller() { return controller_; }

  // Fills the view from the document's tree model.
  void BuildTree();
  void AddNewNodes();
  void ExpandAllNodes(bool expand);
  // Moves the highlighted item to a node without asking anyone (the controller already
  // decided).
  void ShowNode(const TreeNode* node);
  QTreeWidgetItem* ItemOf(const TreeNode* node) const { return items_.value(node); }
  TreeNode* NodeOf(const QTreeWidgetItem* item) const;
  // Redraws every node's check box from the controller's state images.
  void RefreshStateImages();
  // Toggles the check box of a node that has one (a module that can be written); false for
  // the others.
  bool ToggleCheck(TreeNode* node);
  // Where a node's check box is drawn, in viewport coordinates.
  QRect CheckBoxRect(const QTreeWidgetItem* item) const;

  void OnHint(int hint, CModuleBase* sender) override;

 signals:
  // Tab or Esc: the page on screen should take the focus.
  void leaveRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
  void AddItems(TreeNode& node, QTreeWidgetItem* parentItem);

  CProjDocBase& document_;
  ModuleTreeController controller_;
  SelectHandler selectHandler_;
  QHash<const TreeNode*, QTreeWidgetItem*> items_;
  QIcon stateIcons_[5];
  bool syncing_ = false;
};

}  // namespace tarq

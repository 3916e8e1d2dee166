#include "ui/ModuleTreeView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "framework/ModuleBase.h"
#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

// Greyed check boxes for nodes that cannot be written themselves: empty (image 2) or
// checked because something below is selected (image 3).
QIcon GreyedCheckIcon(const QWidget* widget, bool checked) {
  const int size = widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  // Drawn faded rather than in the style's disabled look, which is hard to see.
  painter.setOpacity(0.45);
  QStyleOptionButton option;
  option.rect = QRect(0, 0, size, size);
  option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
  option.palette = widget->palette();
  widget->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, widget);
  return QIcon(pixmap);
}

}  // namespace

ModuleTreeView::ModuleTreeView(CProjDocBase& document, QWidget* parent)
    : QTreeWidget(parent), document_(document), controller_(document.GetTree(), document) {
  setObjectName("ModuleTree");
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setExpandsOnDoubleClick(true);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  connect(this, &QTreeWidget::currentItemChanged, this, &ModuleTreeView::OnCurrentItemChanged);
  connect(this, &QTreeWidget::itemChanged, this, &ModuleTreeView::OnItemChanged);
  document_.AddObserver(this);
}

ModuleTreeView::~ModuleTreeView() { document_.RemoveObserver(this); }

TreeNode* ModuleTreeView::NodeOf(const QTreeWidgetItem* item) const {
  return item ? static_cast<TreeNode*>(item->data(0, kNodeRole).value<void*>()) : nullptr;
}

void ModuleTreeView::BuildTree() {
  syncing_ = true;
  clear();
  items_.clear();
  for (const auto& node : document_.GetTree().TopLevel()) AddItems(*node, nullptr);
  controller_.RecomputeStateImages();
  syncing_ = false;
  RefreshStateImages();
}

void ModuleTreeView::AddItems(TreeNode& node, QTreeWidgetItem* parentItem) {
  auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
  item->setText(0, ToQt(node.text));
  item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(&node)));
  items_.insert(&node, item);
  for (const auto& child : node.children) AddItems(*child, item);
  item->setExpanded(node.expanded);
}

void ModuleTreeView::RefreshStateImages() {
  syncing_ = true;
  const QIcon greyedEmpty = GreyedCheckIcon(this, false);
  const QIcon greyedChecked = GreyedCheckIcon(this, true);
  for (auto it = items_.constBegin(); it != items_.constEnd(); ++it) {
    QTreeWidgetItem* item = it.value();
    const int image = controller_.StateImageOf(it.key());
    if (image == 0 || image == 1) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, image == 1 ? Qt::Checked : Qt::Unchecked);
      item->setIcon(0, QIcon());
    } else {
      // Nodes that cannot be written have no check box of their own.
      item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
      item->setData(0, Qt::CheckStateRole, QVariant());
      item->setIcon(0, image == 2 ? greyedEmpty : image == 3 ? greyedChecked : QIcon());
    }
  }
  syncing_ = false;
}

void ModuleTreeView::ExpandAllNodes(bool expand) {
  document_.GetTree().ExpandAll(expand);
  if (expand) {
    expandAll();
  } else {
    collapseAll();
  }
}

void ModuleTreeView::ShowNode(const TreeNode* node) {
  QTreeWidgetItem* item = ItemOf(node);
  if (!item || item == currentItem()) return;
  syncing_ = true;
  setCurrentItem(item);
  scrollToItem(item);
  syncing_ = false;
}

void ModuleTreeView::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
  if (syncing_ || !current) return;
  TreeNode* node = NodeOf(current);
  const bool hadFocus = hasFocus();
  if (selectHandler_ && selectHandler_(node)) {
    // Selecting in the tree keeps the focus in the tree.
    if (hadFocus) setFocus(Qt::OtherFocusReason);
    return;
  }
  // The page on screen refused to be left: the selection goes back. The page has put the
  // focus on the control that needs attention.
  syncing_ = true;
  setCurrentItem(previous);
  syncing_ = false;
}

void ModuleTreeView::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (syncing_ || column != 0 || controller_.IsUpdatingImages()) return;
  TreeNode* node = NodeOf(item);
  if (!node || !(item->flags() & Qt::ItemIsUserCheckable)) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  controller_.ToggleCheck(node, checked);
  RefreshStateImages();
}

void ModuleTreeView::OnHint(int hint, CModuleBase* sender) {
  controller_.OnHint(hint, sender);
  if (hint == kHintDocumentClosing) {
    syncing_ = true;
    clear();
    items_.clear();
    syncing_ = false;
  }
}

void ModuleTreeView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    emit leaveRequested();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

bool ModuleTreeView::focusNextPrevChild(bool next) {
  // Tab goes to the page on screen rather than along the window's focus chain.
  if (next) {
    emit leaveRequested();
    return true;
  }
  return QTreeWidget::focusNextPrevChild(next);
}

}  // namespace tarq

#include "ui/ModuleTreeView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "framework/ModuleBase.h"
#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

// The check box images of the state image column: 0 unchecked, 1 checked, 2 and 3 the same
// faded (a group that cannot be written itself; 3 when something below is selected), 4
// nothing. Drawn as images so that every style shows a box, checked or not.
QIcon StateIcon(const QWidget* widget, int image) {
  const int size = widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget);
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  if (image >= 0 && image <= 3) {
    const bool faded = image >= 2;
    const bool checked = image % 2 == 1;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(faded ? QColor(170, 170, 170) : QColor(90, 90, 90));
    painter.setBrush(faded ? QColor(236, 236, 236) : QColor(Qt::white));
    painter.drawRect(QRectF(1.5, 1.5, size - 3.0, size - 3.0));
    if (checked) {
      painter.setPen(QPen(faded ? QColor(150, 150, 150) : QColor(20, 20, 20), 2.0));
      const double s = size;
      const QPointF tick[] = {{0.25 * s, 0.52 * s}, {0.43 * s, 0.70 * s}, {0.76 * s, 0.30 * s}};
      painter.drawPolyline(tick, 3);
    }
  }
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
  // Long names end in "..." rather than scrolling the tree sideways; the tooltip has them.
  header()->setStretchLastSection(true);
  setTextElideMode(Qt::ElideRight);
  for (int image = 0; image < 5; ++image) stateIcons_[image] = StateIcon(this, image);
  connect(this, &QTreeWidget::currentItemChanged, this, &ModuleTreeView::OnCurrentItemChanged);
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

// Nodes of modules that joined the open project get their items; the rest of the tree keeps
// its expansion and current item.
void ModuleTreeView::AddNewNodes() {
  syncing_ = true;
  for (TreeNode* node : document_.GetTree().AllNodes())
    if (!items_.contains(node)) AddItems(*node, node->parent ? ItemOf(node->parent) : nullptr);
  controller_.RecomputeStateImages();
  syncing_ = false;
  RefreshStateImages();
}

void ModuleTreeView::AddItems(TreeNode& node, QTreeWidgetItem* parentItem) {
  auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
  item->setText(0, ToQt(node.text));
  item->setToolTip(0, ToQt(node.text));
  item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(&node)));
  items_.insert(&node, item);
  for (const auto& child : node.children) AddItems(*child, item);
  item->setExpanded(node.expanded);
}

void ModuleTreeView::RefreshStateImages() {
  for (auto it = items_.constBegin(); it != items_.constEnd(); ++it) {
    const int image = controller_.StateImageOf(it.key());
    it.value()->setIcon(0, stateIcons_[image >= 0 && image <= 4 ? image : 4]);
  }
}

bool ModuleTreeView::ToggleCheck(TreeNode* node) {
  const int image = controller_.StateImageOf(node);
  if (image != 0 && image != 1) return false;
  controller_.ToggleCheck(node, image == 0);
  RefreshStateImages();
  return true;
}

QRect ModuleTreeView::CheckBoxRect(const QTreeWidgetItem* item) const {
  const QRect row = visualItemRect(item);
  const int size = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
  // The image is the item's decoration: at the left of the row, centred vertically.
  return QRect(row.left() + 2, row.top() + (row.height() - size) / 2, size + 4, size);
}

void ModuleTreeView::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  if (item && event->button() == Qt::LeftButton &&
      CheckBoxRect(item).contains(event->position().toPoint()) && ToggleCheck(NodeOf(item))) {
    // A click on the box only toggles it; the page stays where it is.
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void ModuleTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  if (item && CheckBoxRect(item).contains(event->position().toPoint())) {
    event->accept();
    return;
  }
  QTreeWidget::mouseDoubleClickEvent(event);
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

void ModuleTreeView::OnHint(int hint, CModuleBase* sender) {
  controller_.OnHint(hint, sender);
  if (hint == kHintModulesAdded) AddNewNodes();
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
  if (event->key() == Qt::Key_Space && currentItem()) {
    ToggleCheck(NodeOf(currentItem()));
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

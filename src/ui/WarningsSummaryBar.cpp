#include "ui/WarningsSummaryBar.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {

WarningsSummaryBar::WarningsSummaryBar(CProjDocBase& document, QWidget* parent)
    : QDockWidget("Warnings Summary", parent), document_(document), model_(document) {
  setObjectName("WarningsSummaryBar");
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 2, 4, 4);
  column->setSpacing(2);
  showAll_ = new QCheckBox(kShowAllWarningsCaption, body);
  showAll_->setObjectName("ShowAllWarnings");
  list_ = new QTreeWidget(body);
  list_->setObjectName("WarningsList");
  list_->setColumnCount(2);
  list_->setHeaderLabels({kWarningColumnModule, kWarningColumnText});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list_->header()->resizeSection(0, 110);
  list_->header()->setStretchLastSection(true);
  list_->installEventFilter(this);
  column->addWidget(showAll_);
  column->addWidget(list_, 1);
  setWidget(body);

  connect(showAll_, &QCheckBox::toggled, this, [this](bool checked) { model_.SetShowAll(checked); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!filling_) TakeSelection();
  });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ActivateSelected(); });
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (!filling_) model_.SetTopRow(value);
  });
  document_.AddObserver(this);
}

WarningsSummaryBar::~WarningsSummaryBar() { document_.RemoveObserver(this); }

void WarningsSummaryBar::FocusList() {
  show();
  raise();
  list_->setFocus(Qt::OtherFocusReason);
}

void WarningsSummaryBar::TakeSelection() {
  const int count = list_->topLevelItemCount();
  for (int i = 0; i < count; ++i)
    model_.SetSelected(static_cast<size_t>(i), list_->topLevelItem(i)->isSelected());
}

bool WarningsSummaryBar::ActivateSelected() {
  TakeSelection();
  return model_.Activate();
}

void WarningsSummaryBar::Repopulate() {
  filling_ = true;
  list_->setUpdatesEnabled(false);
  list_->clear();
  const std::vector<WarningRow>& rows = model_.Rows();
  QList<QTreeWidgetItem*> items;
  for (const WarningRow& row : rows)
    items.append(new QTreeWidgetItem(QStringList{ToQt(row.moduleText), ToQt(row.text)}));
  list_->addTopLevelItems(items);
  for (size_t i = 0; i < rows.size(); ++i) items[static_cast<qsizetype>(i)]->setSelected(rows[i].selected);
  if (model_.FocusedRow() >= 0 && model_.FocusedRow() < items.size())
    list_->setCurrentItem(items[model_.FocusedRow()], 0, QItemSelectionModel::NoUpdate);
  list_->verticalScrollBar()->setValue(model_.TopRow());
  list_->setUpdatesEnabled(true);
  filling_ = false;
}

void WarningsSummaryBar::OnHint(int hint, CModuleBase* sender) {
  const bool pending = model_.IsRefillPending();
  model_.OnHint(hint, sender);
  // The model refills at the end of a warnings pass; the list follows it then.
  if ((hint == kHintWarningsPassDone && pending) || hint == kHintDocumentClosing) Repopulate();
}

bool WarningsSummaryBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Space:
        ActivateSelected();
        return true;
      case Qt::Key_Escape:
        emit leaveRequested();
        return true;
      default:
        break;
    }
  }
  return QDockWidget::eventFilter(watched, event);
}

}  // namespace tarq

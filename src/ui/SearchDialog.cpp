#include "ui/SearchDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {
namespace {

// The most hits listed: a one-letter query would otherwise list thousands of rows.
constexpr size_t kMostHitsListed = 200;

QString HitText(const SearchEntry& entry) {
  QString text = ToQt(entry.module) + "  \u2013  " + ToQt(entry.text);
  if (!entry.group.empty() && entry.group != entry.text) text += "   (" + ToQt(entry.group) + ")";
  if (entry.kind == SearchHitKind::Register) text += "   [register]";
  if (entry.kind == SearchHitKind::Warning) text += "   [warning]";
  return text;
}

}  // namespace

SearchDialog::SearchDialog(CProjDoc& document, QWidget* parent)
    : QDialog(parent), document_(document) {
  setObjectName("searchDialog");
  setWindowTitle("Find Setting");
  auto* layout = new QVBoxLayout(this);
  field_ = new QLineEdit(this);
  field_->setObjectName("searchField");
  field_->setPlaceholderText("Caption, list item, register or warning text");
  field_->setClearButtonEnabled(true);
  changedOnly_ = new QCheckBox("Non-default only", this);
  changedOnly_->setObjectName("searchChangedOnly");
  list_ = new QListWidget(this);
  list_->setObjectName("searchHits");
  layout->addWidget(field_);
  layout->addWidget(changedOnly_);
  layout->addWidget(list_);
  resize(640, 420);

  connect(field_, &QLineEdit::textChanged, this, [this] { Refilter(); });
  connect(changedOnly_, &QCheckBox::toggled, this, [this] { Refilter(); });
  connect(list_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { ChooseHit(list_->row(item)); });
  // Enter in the field takes the first hit.
  connect(field_, &QLineEdit::returnPressed, this, [this] {
    ChooseHit(list_->currentRow() >= 0 ? list_->currentRow() : 0);
  });
}

void SearchDialog::Reindex() {
  index_.Build(document_);
  Refilter();
}

void SearchDialog::Refilter() {
  hits_ = index_.Find(FromQt(field_->text()), changedOnly_->isChecked());
  if (hits_.size() > kMostHitsListed) hits_.resize(kMostHitsListed);
  list_->clear();
  for (const SearchHit& hit : hits_) list_->addItem(HitText(*hit.entry));
  if (!hits_.empty()) list_->setCurrentRow(0);
}

bool SearchDialog::ChooseHit(int row) {
  if (row < 0 || static_cast<size_t>(row) >= hits_.size()) return false;
  const SearchEntry entry = *hits_[static_cast<size_t>(row)].entry;
  hide();
  // The main window takes the focus back first; the control then keeps the focus it gets.
  if (QWidget* window = parentWidget()) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
  }
  return ShowSearchHit(document_, entry);
}

}  // namespace tarq

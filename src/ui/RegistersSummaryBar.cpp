#include "ui/RegistersSummaryBar.h"

#include <QFocusEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>

#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

// A row label that gives up width before the value does: long register names end in
// "..." (the whole name is the tooltip) instead of pushing the values out of the bar.
class ElidedLabel : public QLabel {
 public:
  ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setToolTip(text);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  QSize minimumSizeHint() const override {
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("MMMM...")), QLabel::minimumSizeHint().height());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
  }
};

}  // namespace

RegistersSummaryBar::RegistersSummaryBar(CProjDocBase& document, QWidget* parent)
    : QDockWidget("Registers Summary", parent), document_(document), model_(document) {
  setObjectName("RegistersSummaryBar");
  scroll_ = new QScrollArea(this);
  scroll_->setWidgetResizable(true);
  scroll_->setFrameShape(QFrame::NoFrame);
  setWidget(scroll_);
  document_.AddObserver(this);
  Rebuild();
}

RegistersSummaryBar::~RegistersSummaryBar() { document_.RemoveObserver(this); }

QLineEdit* RegistersSummaryBar::RowEdit(size_t row) const {
  return row < edits_.size() ? edits_[row] : nullptr;
}

QLabel* RegistersSummaryBar::RowLabel(size_t row) const {
  return row < labels_.size() ? labels_[row] : nullptr;
}

QLineEdit* RegistersSummaryBar::EditFor(const QString& label) const {
  for (size_t i = 0; i < labels_.size(); ++i)
    if (labels_[i] && edits_[i] && labels_[i]->text() == label) return edits_[i];
  return nullptr;
}

int RegistersSummaryBar::RowOf(const QObject* edit) const {
  for (size_t i = 0; i < edits_.size(); ++i)
    if (edits_[i] == edit) return static_cast<int>(i);
  return -1;
}

void RegistersSummaryBar::Rebuild() {
  builtFor_ = model_.ListedModule();
  builtRows_ = model_.Rows().size();
  edits_.assign(builtRows_, nullptr);
  labels_.assign(builtRows_, nullptr);

  auto* rows = new QWidget;
  auto* grid = new QGridLayout(rows);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  int line = 0;
  if (!model_.HasRegisterRows()) {
    auto* note = new QLabel(kNoRegistersText, rows);
    note->setWordWrap(true);
    note->setObjectName("NoRegisters");
    grid->addWidget(note, line++, 0, 1, 2);
  }
  for (size_t i = 0; model_.HasRegisterRows() && i < model_.Rows().size(); ++i) {
    const RegisterRow& row = model_.Rows()[i];
    switch (row.kind) {
      case RegisterRow::Kind::Separator: {
        auto* rule = new QFrame(rows);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
        grid->addWidget(rule, line++, 0, 1, 2);
        break;
      }
      case RegisterRow::Kind::Caption: {
        auto* caption = new QLabel(ToQt(row.label), rows);
        caption->setWordWrap(true);
        grid->addWidget(caption, line++, 0, 1, 2);
        break;
      }
      case RegisterRow::Kind::Register: {
        auto* label = new ElidedLabel(ToQt(row.label), rows);
        auto* edit = new QLineEdit(rows);
        edit->setFont(fixed);
        edit->setReadOnly(row.readOnly);
        // Wide enough for a 32-bit value in hexadecimal.
        edit->setFixedWidth(QFontMetrics(fixed).horizontalAdvance(QStringLiteral("0x00000000")) + 14);
        edit->setObjectName(QStringLiteral("RegisterRow_%1").arg(i));
        label->setBuddy(edit);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] {
          const int index = RowOf(edit);
          if (index >= 0) CommitRow(static_cast<size_t>(index));
        });
        grid->addWidget(label, line, 0);
        grid->addWidget(edit, line++, 1);
        labels_[i] = label;
        edits_[i] = edit;
        break;
      }
    }
  }
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(line, 1);
  // The old rows may still be on the call stack (a commit refreshes the page, which can
  // change the rows): they go once the event loop comes round.
  if (QWidget* old = scroll_->takeWidget()) {
    old->hide();
    old->deleteLater();
  }
  scroll_->setWidget(rows);
  RefreshTexts();
}

void RegistersSummaryBar::RefreshTexts() {
  const std::vector<RegisterRow>& rows = model_.Rows();
  for (size_t i = 0; i < rows.size() && i < edits_.size(); ++i) {
    QLineEdit* edit = edits_[i];
    if (!edit) continue;
    const QString text = ToQt(rows[i].valueText);
    // The row being typed in keeps what the user typed until it is committed.
    if (edit->text() != text && !(edit->hasFocus() && edit->isModified())) {
      edit->setText(text);
      edit->setModified(false);
    }
    const RowColour colour = model_.RowTextColour(i);
    const QColor ink(colour.red, colour.green, colour.blue);
    if (edit->palette().color(QPalette::Text) != ink) {
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Text, ink);
      edit->setPalette(palette);
    }
  }
}

bool RegistersSummaryBar::CommitRow(size_t row) {
  QLineEdit* edit = RowEdit(row);
  if (!edit || edit->isReadOnly() || committing_) return false;
  if (row < model_.Rows().size() && FromQt(edit->text()) == model_.Rows()[row].valueText) {
    edit->setModified(false);
    return true;
  }
  committing_ = true;
  const bool accepted = model_.CommitRow(row, FromQt(edit->text()));
  committing_ = false;
  // The row (or the whole bar) may have been rebuilt by the page's refresh.
  QLineEdit* current = RowEdit(row);
  if (!current) return accepted;
  if (accepted) {
    current->setModified(false);
    RefreshTexts();
  } else {
    // The user stays on the refused entry to correct it.
    current->setFocus(Qt::OtherFocusReason);
    current->selectAll();
  }
  return accepted;
}

bool RegistersSummaryBar::eventFilter(QObject* watched, QEvent* event) {
  const int row = RowOf(watched);
  if (row >= 0) {
    if (event->type() == QEvent::FocusOut) {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      auto* edit = static_cast<QLineEdit*>(watched);
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
          edit->isModified()) {
        // Committed after the focus has moved on, so a refusal can take it back.
        QPointer<QLineEdit> guard = edit;
        QTimer::singleShot(0, this, [this, guard] {
          if (!guard) return;
          const int index = RowOf(guard);
          if (index >= 0) CommitRow(static_cast<size_t>(index));
        });
      }
    } else if (event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      auto* edit = static_cast<QLineEdit*>(watched);
      edit->setText(ToQt(model_.Rows()[static_cast<size_t>(row)].valueText));
      edit->setModified(false);
      return true;
    }
  }
  return QDockWidget::eventFilter(watched, event);
}

void RegistersSummaryBar::OnHint(int hint, CModuleBase* sender) {
  model_.OnHint(hint, sender);
  if (model_.ListedModule() != builtFor_ || model_.Rows().size() != builtRows_ ||
      hint == kHintDocumentClosing) {
    Rebuild();
  } else {
    RefreshTexts();
  }
}

}  // namespace tarq

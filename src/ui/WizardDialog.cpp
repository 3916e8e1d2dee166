#include "ui/WizardDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/GuiHost.h"

namespace tarq {

WizardDialog::WizardDialog(const std::string& title, const std::vector<std::string>& lines,
                           QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromStdString(title) + " - " + kAppTitle);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("The wizard will write these settings into the submodules:", this));
  result_ = new QPlainTextEdit(this);
  result_->setReadOnly(true);
  result_->setLineWrapMode(QPlainTextEdit::NoWrap);
  result_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  result_->setPlainText(text.join('\n'));
  result_->setMinimumSize(720, 180);
  layout->addWidget(result_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  apply_ = buttons->addButton("&Apply", QDialogButtonBox::AcceptRole);
  apply_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace tarq

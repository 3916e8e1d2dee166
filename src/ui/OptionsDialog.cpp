#include "ui/OptionsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

#include "help/DocumentationLookup.h"
#include "ui/WindowSettings.h"

namespace tarq {

namespace {

constexpr const char* kReaderKeys[3] = {kOpenerKey, kPdfReaderPageKey, kPdfReaderDestKey};

}  // namespace

OptionsDialog::OptionsDialog(const Options& options, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Options");
  setObjectName("OptionsDialog");
  auto* column = new QVBoxLayout(this);

  auto* tarqGroup = new QGroupBox("Tarq Options", this);
  auto* tarqColumn = new QVBoxLayout(tarqGroup);
  comments_ = new QCheckBox("Generate detailed comments", tarqGroup);
  keepComments_ = new QCheckBox("Preserve user comments", tarqGroup);
  tarqColumn->addWidget(comments_);
  tarqColumn->addWidget(keepComments_);

  auto* projectGroup = new QGroupBox("Current Project Options", this);
  auto* projectColumn = new QVBoxLayout(projectGroup);
  defaults_ = new QCheckBox("Generate all register values (even if same as reset value)", projectGroup);
  setAsDefault_ = new QCheckBox("Set as default", projectGroup);
  projectColumn->addWidget(defaults_);
  projectColumn->addWidget(setAsDefault_);

  // How help documents open: %f the document, %p the page, %d the named destination.
  auto* readerGroup = new QGroupBox("Documents (%f file, %p page, %d named destination)", this);
  auto* readerForm = new QFormLayout(readerGroup);
  const ReaderCommands defaults = DefaultReaderCommands();
  const std::string defaultTexts[3] = {defaults.opener, defaults.pdfReaderPage,
                                       defaults.pdfReaderDest};
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  for (int i = 0; i < 3; ++i) {
    readers_[i] = new QLineEdit(readerGroup);
    readers_[i]->setObjectName(kReaderKeys[i]);
    readers_[i]->setPlaceholderText(QString::fromStdString(defaultTexts[i]));
    readers_[i]->setText(settings.value(QString("Options/") + kReaderKeys[i]).toString());
    readerForm->addRow(QString(kReaderKeys[i]) + ":", readers_[i]);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  column->addWidget(tarqGroup);
  column->addWidget(projectGroup);
  column->addWidget(readerGroup);
  column->addWidget(buttons);

  comments_->setChecked(options.generateComments);
  keepComments_->setChecked(options.keepUserComments);
  defaults_->setChecked(options.generateDefaults);
  setAsDefault_->setChecked(true);
}

Options OptionsDialog::Result() const {
  Options options;
  options.generateComments = comments_->isChecked();
  options.keepUserComments = keepComments_->isChecked();
  options.generateDefaults = defaults_->isChecked();
  return options;
}

bool OptionsDialog::SetAsDefault() const { return setAsDefault_->isChecked(); }

bool StoreDefaultOptions(const Options& options) {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  settings.setValue("Options/GenerateComments", options.generateComments ? 1 : 0);
  settings.setValue("Options/GenerateDefaults", options.generateDefaults ? 1 : 0);
  settings.setValue("Options/KeepUserComments", options.keepUserComments ? 1 : 0);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

bool StoreReaderCommands(const OptionsDialog& dialog) {
  QSettings settings(kSettingsOrganisation, kSettingsApplication);
  for (int i = 0; i < 3; ++i) {
    const QString key = QString("Options/") + kReaderKeys[i];
    const QString text = dialog.ReaderCommand(i)->text().trimmed();
    if (text.isEmpty())
      settings.remove(key);
    else
      settings.setValue(key, text);
  }
  settings.sync();
  return settings.status() == QSettings::NoError;
}

}  // namespace tarq

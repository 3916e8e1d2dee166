#include "ui/ImportDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "framework/ModuleBase.h"
#include "project/ProjDoc.h"
#include "ui/GuiHost.h"
#include "ui/MainWindow.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

bool Lists(CProjDocBase& document, const CModuleBase* module) {
  const std::vector<CModuleBase*> modules = document.GetModules();
  return module != nullptr && std::find(modules.begin(), modules.end(), module) != modules.end();
}

CModuleBase* ModuleOf(const QComboBox* box) {
  return static_cast<CModuleBase*>(box->currentData().value<void*>());
}

}  // namespace

ImportDialog::ImportDialog(MainWindow& window)
    : QDialog(&window),
      window_(window),
      settings_(window.Document(), window.Document().GetProgramFolder()) {
  setWindowTitle("Import Module Settings");
  setObjectName("ImportDialog");
  setModal(false);

  destinations_ = new QComboBox(this);
  sources_ = new QComboBox(this);
  registers_ = new QListWidget(this);
  all_ = new QRadioButton("Import &all register values", this);
  selected_ = new QRadioButton("Import &selected registers only", this);
  mass_ = new QCheckBox("M&ass-import mode (do not close this window after pressing the OK button)",
                        this);
  projectLabel_ = new QLabel(this);
  other_ = new QPushButton("Other &Project...", this);
  current_ = new QPushButton("&Current Project", this);
  goTo_ = new QPushButton("&Go To Item", this);
  ok_ = new QPushButton("OK", this);
  auto* close = new QPushButton("Close", this);
  ok_->setDefault(true);
  all_->setChecked(true);

  auto* destinationLabel = new QLabel("&Module to be modified:", this);
  destinationLabel->setBuddy(destinations_);
  auto* sourceLabel = new QLabel("M&odule to be imported from:", this);
  sourceLabel->setBuddy(sources_);

  auto* grid = new QGridLayout;
  grid->addWidget(destinationLabel, 0, 0);
  grid->addWidget(destinations_, 0, 1);
  grid->addWidget(goTo_, 0, 2);
  grid->addWidget(projectLabel_, 1, 0, 1, 2);
  grid->addWidget(other_, 1, 2);
  grid->addWidget(current_, 2, 2);
  grid->addWidget(sourceLabel, 3, 0);
  grid->addWidget(sources_, 3, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addWidget(all_);
  column->addWidget(selected_);
  column->addWidget(registers_);
  column->addWidget(mass_);
  column->addLayout(buttons);

  connect(destinations_, &QComboBox::currentIndexChanged, this, [this] { FillSources(); });
  connect(sources_, &QComboBox::currentIndexChanged, this, [this] { FillRegisters(); });
  connect(all_, &QRadioButton::toggled, this, [this] { UpdateEnables(); });
  connect(other_, &QPushButton::clicked, this, [this] { OtherProject(); });
  connect(current_, &QPushButton::clicked, this, [this] { CurrentProject(); });
  connect(goTo_, &QPushButton::clicked, this, [this] { GoToItem(); });
  connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  connect(close, &QPushButton::clicked, this, [this] { hide(); });
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::Refill() {
  if (!Lists(window_.Document(), lastDestination_)) lastDestination_ = nullptr;
  const QSignalBlocker block(destinations_);
  destinations_->clear();
  int chosen = 0;
  for (const ImportSettings::Entry& entry : settings_.Destinations()) {
    if (entry.module == lastDestination_) chosen = destinations_->count();
    destinations_->addItem(ToQt(entry.text), QVariant::fromValue<void*>(entry.module));
  }
  destinations_->setCurrentIndex(destinations_->count() > 0 ? chosen : -1);
  projectLabel_->setText(ToQt(settings_.ProjectLabel()));
  FillSources();
}

void ImportDialog::FillSources() {
  const QSignalBlocker block(sources_);
  sources_->clear();
  if (CModuleBase* destination = ChosenDestination()) {
    for (const ImportSettings::Entry& entry : settings_.Sources(*destination))
      sources_->addItem(ToQt(entry.text), QVariant::fromValue<void*>(entry.module));
  } else {
    sources_->addItem("n/a", QVariant::fromValue<void*>(nullptr));
  }
  sources_->setCurrentIndex(0);
  FillRegisters();
}

void ImportDialog::FillRegisters() {
  registers_->clear();
  if (CModuleBase* source = ChosenSource()) {
    for (const ImportSettings::RegisterEntry& entry : ImportSettings::Registers(*source)) {
      auto* item = new QListWidgetItem(ToQt(entry.text), registers_);
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Checked);
      item->setData(Qt::UserRole, static_cast<qulonglong>(entry.index));
    }
  }
  UpdateEnables();
}

void ImportDialog::UpdateEnables() {
  ok_->setEnabled(ChosenSource() != nullptr);
  registers_->setEnabled(selected_->isChecked());
  current_->setEnabled(settings_.HasOtherProject());
}

CModuleBase* ImportDialog::ChosenDestination() const {
  CModuleBase* module = ModuleOf(destinations_);
  return Lists(window_.Document(), module) ? module : nullptr;
}

CModuleBase* ImportDialog::ChosenSource() const {
  CModuleBase* module = ModuleOf(sources_);
  return Lists(settings_.SourceProject(), module) ? module : nullptr;
}

void ImportDialog::OtherProject() {
  const QString path = chooser_ ? chooser_()
                                : QFileDialog::getOpenFileName(this, "Other Project", QString(),
                                                               "Project header (*.h);;All files (*)");
  if (path.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  projectLabel_->setText("Reading " + path + "...");
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  std::string error;
  const bool opened = settings_.OpenOtherProject(FromQt(path), error);
  QApplication::restoreOverrideCursor();
  projectLabel_->setText(ToQt(settings_.ProjectLabel()));
  if (!opened) return;  // the previous source project stays
  FillSources();
}

void ImportDialog::CurrentProject() {
  settings_.UseCurrentProject();
  projectLabel_->setText(ToQt(settings_.ProjectLabel()));
  FillSources();
}

void ImportDialog::GoToItem() {
  if (CModuleBase* destination = ChosenDestination()) window_.ShowModule(destination);
  raise();
  activateWindow();
}

void ImportDialog::accept() {
  CModuleBase* destination = ChosenDestination();
  std::vector<size_t> selection;
  const bool onlySelected = selected_->isChecked();
  if (onlySelected) {
    for (int row = 0; row < registers_->count(); ++row) {
      const QListWidgetItem* item = registers_->item(row);
      if (item->checkState() == Qt::Checked)
        selection.push_back(static_cast<size_t>(item->data(Qt::UserRole).toULongLong()));
    }
  }
  GuiHost& host = window_.Host();
  const ImportSettings::Outcome outcome =
      settings_.Import(destination, ChosenSource(), onlySelected ? &selection : nullptr, host);
  if (outcome != ImportSettings::Outcome::Imported) return;
  if (mass_->isChecked()) {
    host.ShowMessage("Module " + destination->GetDisplayName() + " was successfully updated",
                     MessageIcon::Information);
    return;
  }
  lastDestination_ = destination;
  hide();
}

}  // namespace tarq

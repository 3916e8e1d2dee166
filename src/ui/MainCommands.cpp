#include "ui/MainCommands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "project/ProjDoc.h"
#include "ui/AboutDialog.h"
#include "ui/GuiHost.h"
#include "ui/ImportDialog.h"
#include "ui/MainWindow.h"
#include "ui/ModuleTreeView.h"
#include "ui/OptionsDialog.h"
#include "ui/PagePane.h"
#include "ui/RegistersSummaryBar.h"
#include "ui/SearchDialog.h"
#include "ui/UiText.h"
#include "ui/WarningsSummaryBar.h"

namespace tarq {

namespace {

constexpr const char* kHeaderFilter = "Header Files (*.h)";
constexpr const char* kUninitialisedQuestion =
    "Can not live with uninitialized document.\n\nTerminate Application?";

}  // namespace

void SetCommandPrompt(QAction* action, const char* prompt) {
  const QString text = QString::fromUtf8(prompt);
  const qsizetype split = text.indexOf(u'\n');
  action->setStatusTip(split < 0 ? text : text.left(split));
  if (split >= 0) action->setToolTip(QString(text.mid(split + 1)).replace("&&", "&"));
}

MainCommands::MainCommands(MainWindow& window) : QObject(&window), window_(window) {
  BuildMenus();
  UpdateStates();
}

MainCommands::~MainCommands() = default;

QAction* MainCommands::Action(const QString& name) const {
  const auto found = actions_.find(name);
  return found == actions_.end() ? nullptr : found->second;
}

QAction* MainCommands::Add(QMenu* menu, const char* name, const QString& text, const char* prompt,
                           std::function<void()> run) {
  auto* action = new QAction(text, &window_);
  action->setObjectName(name);
  if (prompt) SetCommandPrompt(action, prompt);
  connect(action, &QAction::triggered, this, [run] { run(); });
  if (menu) menu->addAction(action);
  // Accelerators work wherever the focus is in the window.
  window_.addAction(action);
  actions_[name] = action;
  return action;
}

void MainCommands::BuildMenus() {
  QMenuBar* bar = window_.menuBar();
  QStyle* style = window_.style();

  QMenu* file = bar->addMenu("&File");
  Add(file, "actionOpen", "&Open...", "Open an existing project\nOpen", [this] { Open(); })
      ->setShortcut(QKeySequence::Open);
  Add(file, "actionSave", "&Save", "Save the project\nSave", [this] { Save(); })
      ->setShortcut(QKeySequence::Save);
  Add(file, "actionSaveAs", "Save &As...", "Save the project under a new name\nSave As",
      [this] { SaveAs(); });
  Add(file, "actionSaveCopyAs", "Save &Copy As...",
      "Save a copy of the project; the project stays where it is\nSave Copy As",
      [this] { SaveCopyAs(); });
  Add(file, "actionSaveAndExit", "Save && E&xit", "Save project and exit\nSave && Exit",
      [this] { SaveAndExit(); })
      ->setShortcut(QKeySequence("Ctrl+Shift+S"));
  file->addSeparator();
  Add(file, "actionOptions", "Tarq &Options...", "Edit Tarq options\nOptions", [this] { Options(); });
  Add(file, "actionImport", "Import Module Settings...",
      "Import module settings from another project\nImport", [this] { ImportModuleSettings(); });
  file->addSeparator();
  Add(file, "actionExit", "E&xit", "Quit the application; asks to save changes\nExit",
      [this] { window_.close(); });

  QMenu* edit = bar->addMenu("&Edit");
  Add(edit, "actionToggleHexDec", "Toggle &Hex/Dec", "Toggle Hex/Dec format\nToggle Hex/Dec",
      [this] { ToggleHexDec(); });
  Add(edit, "actionFind", "&Find Setting...",
      "Find a setting of any module by caption, item, register or warning text\nFind",
      [this] { FindSetting(); })
      ->setShortcut(QKeySequence::Find);

  QMenu* view = bar->addMenu("&View");
  Add(view, "actionExpandTree", "&Expand tree", "Expand the whole module tree\nExpand tree",
      [this] { ExpandTree(true); });
  Add(view, "actionCollapseTree", "&Collapse tree", "Collapse the whole module tree\nCollapse tree",
      [this] { ExpandTree(false); });
  view->addSeparator();
  Add(view, "actionFocusTree", "Focus Module &Tree", "Move the focus into the module tree\nModule tree",
      [this] { FocusTree(); })
      ->setShortcut(QKeySequence("Ctrl+Shift+Q"));
  Add(view, "actionFocusWarnings", "Focus &Warnings List",
      "Show the warnings list and move the focus into it\nWarnings list", [this] { FocusWarnings(); })
      ->setShortcut(QKeySequence("Ctrl+Shift+W"));
  Add(view, "actionClockTree", "C&lock Tree", "Show the clock tree of the part with its frequencies\nClock Tree",
      [this] { ShowClockTree(); });
  view->addSeparator();
  QAction* registers = window_.RegistersBar()->toggleViewAction();
  registers->setObjectName("actionRegistersSummary");
  registers->setText("&Registers Summary");
  registers->setShortcut(QKeySequence("Ctrl+R"));
  SetCommandPrompt(registers, "Show or hide the registers summary\nRegisters Summary");
  view->addAction(registers);
  window_.addAction(registers);
  actions_["actionRegistersSummary"] = registers;
  QAction* warnings = window_.WarningsBar()->toggleViewAction();
  warnings->setObjectName("actionWarningsSummary");
  warnings->setText("W&arnings Summary");
  warnings->setShortcut(QKeySequence("Ctrl+W"));
  SetCommandPrompt(warnings, "Show or hide the warnings summary\nWarnings Summary");
  view->addAction(warnings);
  window_.addAction(warnings);
  actions_["actionWarningsSummary"] = warnings;
  view->addSeparator();
  Add(view, "actionBack", "&Back", kCmdPageBackText, [this] { Back(); })
      ->setShortcut(QKeySequence::Back);
  Add(view, "actionForward", "&Forward", kCmdPageForwardText, [this] { Forward(); })
      ->setShortcut(QKeySequence::Forward);

  QMenu* help = bar->addMenu("&Help");
  Add(help, "actionToolHelp", "Configuration Tool  Help", "Open the Tarq manual\nHelp",
      [this] { ToolHelp(); });
  Add(help, "actionLookupHelp", "&Lookup module documentation",
      "Open the chip manual at the current module\nModule documentation",
      [this] { LookupModuleHelp(); })
      ->setShortcut(QKeySequence::HelpContents);
  help->addSeparator();
  Add(help, "actionAbout", "&About...", "Show the program's name and version\nAbout",
      [this] { About(); });
  // The manual may appear or go while the program runs.
  connect(help, &QMenu::aboutToShow, this, [this] { UpdateStates(); });

  Action("actionSave")->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
  Action("actionBack")->setIcon(style->standardIcon(QStyle::SP_ArrowBack));
  Action("actionForward")->setIcon(style->standardIcon(QStyle::SP_ArrowForward));
  Action("actionLookupHelp")->setIcon(style->standardIcon(QStyle::SP_MessageBoxQuestion));
  warnings->setIcon(style->standardIcon(QStyle::SP_MessageBoxWarning));
  registers->setIcon(style->standardIcon(QStyle::SP_FileDialogDetailedView));

  toolBar_ = window_.addToolBar("Standard");
  toolBar_->setObjectName("StandardToolBar");
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->addAction(Action("actionSave"));
  toolBar_->addSeparator();
  toolBar_->addAction(Action("actionBack"));
  toolBar_->addAction(Action("actionForward"));
  toolBar_->addSeparator();
  toolBar_->addAction(Action("actionToggleHexDec"));
  toolBar_->addAction(registers);
  toolBar_->addAction(warnings);
  toolBar_->addSeparator();
  toolBar_->addAction(Action("actionLookupHelp"));
  Action("actionToggleHexDec")->setIconText("0x");
}

void MainCommands::UpdateStates() {
  const bool open = window_.Document().IsLoaded();
  const PageHistory& history = window_.History();
  Action("actionBack")->setEnabled(history.IsCommandEnabled(kCmdPageBack));
  Action("actionForward")->setEnabled(history.IsCommandEnabled(kCmdPageForward));
  for (const char* name : {"actionSave", "actionSaveAs", "actionSaveCopyAs", "actionSaveAndExit"})
    Action(name)->setEnabled(open);
  Action("actionLookupHelp")->setEnabled(window_.Pane()->CurrentModule() != nullptr);
  Action("actionToolHelp")->setEnabled(QFileInfo::exists(ManualPath()));
}

QString MainCommands::ManualPath() const {
  return QDir(ToQt(window_.Document().GetProgramFolder())).filePath("help/ConfigTool.pdf");
}

QString MainCommands::Choose(FileDialog kind, const QString& proposed) {
  if (chooser_) return chooser_(kind, proposed);
  switch (kind) {
    case FileDialog::Open:
      return QFileDialog::getOpenFileName(&window_, "Open", proposed, kHeaderFilter);
    case FileDialog::SaveAs:
      return QFileDialog::getSaveFileName(&window_, "Save As", proposed, kHeaderFilter);
    case FileDialog::SaveCopyAs:
      return QFileDialog::getSaveFileName(&window_, "Save Copy As", proposed, kHeaderFilter);
  }
  return {};
}

namespace {

// A name typed without an extension gets the header extension, as the filter promises.
QString WithHeaderExtension(QString path) {
  if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".h";
  return path;
}

}  // namespace

bool MainCommands::Save() {
  CProjDoc& document = window_.Document();
  const bool saved = document.Save();
  if (!saved && document.IsReloadRequested()) {
    // The user chose the file on disk over the changes made here.
    if (document.OpenProject(document.GetPath())) {
      window_.OnDocumentOpened();
      window_.statusBar()->showMessage("Reloaded", 3000);
    } else if (!document.IsLoaded()) {
      Reinitialise();
    }
    return false;
  }
  window_.statusBar()->showMessage(saved ? "Saved" : "Not saved", 3000);
  return saved;
}

bool MainCommands::SaveAs() {
  const QString target = WithHeaderExtension(Choose(FileDialog::SaveAs, ToQt(window_.Document().GetPath())));
  if (target.isEmpty()) return false;
  const bool saved = window_.Document().SaveAs(FromQt(target));
  window_.UpdateTitle();
  return saved;
}

bool MainCommands::SaveCopyAs() {
  const QString target =
      WithHeaderExtension(Choose(FileDialog::SaveCopyAs, ToQt(window_.Document().GetPath())));
  if (target.isEmpty()) return false;
  return window_.Document().SaveCopyAs(FromQt(target));
}

void MainCommands::SaveAndExit() { window_.SaveAndExit(); }

bool MainCommands::ConfirmLeavingProject() {
  CProjDoc& document = window_.Document();
  if (!document.IsLoaded()) return true;
  if (!window_.Pane()->CommitCurrentPage()) return false;
  if (!document.NeedsSaveQuestion()) return true;
  const std::string question = Format("Save changes to %s?", document.GetTitle().c_str());
  switch (window_.Host().AskYesNoCancel(question)) {
    case Answer::Yes: return document.Save();
    case Answer::No: return true;
    default: return false;
  }
}

bool MainCommands::Open() {
  if (!ConfirmLeavingProject()) return false;
  const QString path = Choose(FileDialog::Open, ToQt(window_.Document().GetPath()));
  if (path.isEmpty()) return false;
  CProjDoc& document = window_.Document();
  if (document.OpenProject(FromQt(path))) {
    window_.OnDocumentOpened();
    return true;
  }
  // A failed open that emptied the document leaves nothing to work on.
  if (!document.IsLoaded()) Reinitialise();
  window_.UpdateTitle();
  return false;
}

void MainCommands::Reinitialise() {
  CProjDoc& document = window_.Document();
  for (;;) {
    const QString path = Choose(FileDialog::Open, QDir::currentPath());
    if (path.isEmpty()) {
      if (window_.Host().AskYesNo(kUninitialisedQuestion, MessageIcon::Exclamation) == Answer::Yes) {
        window_.close();
        return;
      }
      continue;
    }
    if (document.OpenProject(FromQt(path))) {
      window_.OnDocumentOpened();
      return;
    }
    if (document.IsLoaded()) return;
  }
}

void MainCommands::Options() {
  CProjDoc& document = window_.Document();
  OptionsDialog dialog(document.GetOptions(), &window_);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!StoreReaderCommands(dialog))
    window_.Host().ShowMessage("The document reader commands could not be stored.", MessageIcon::Exclamation);
  const tarq::Options chosen = dialog.Result();
  document.MutableOptions() = chosen;
  if (dialog.SetAsDefault() && !StoreDefaultOptions(chosen))
    window_.Host().ShowMessage("The options could not be stored as defaults.", MessageIcon::Exclamation);
}

void MainCommands::About() {
  AboutDialog dialog(&window_);
  dialog.exec();
}

void MainCommands::ToolHelp() {
  const QString manual = ManualPath();
  if (!QFileInfo::exists(manual)) {
    window_.statusBar()->showMessage("Help document not found: " + manual, 5000);
    return;
  }
  if (!window_.Host().OpenDocument(FromQt(manual), {}))
    window_.statusBar()->showMessage(ToQt("The document reader did not start: " + window_.Host().OpenError()), 5000);
}

void MainCommands::LookupModuleHelp() {
  CModuleBase* module = window_.Pane()->CurrentModule();
  if (module == nullptr) return;
  // The lookup itself is silent; the status bar says why nothing opened.
  const CModuleBase::HelpTarget target = module->GetHelpTarget();
  if (target.file.empty()) {
    window_.statusBar()->showMessage("No documentation for this module", 5000);
  } else if (!target.exists) {
    window_.statusBar()->showMessage(ToQt("Help document not found: " + target.file), 5000);
  } else if (module->ShowHelp() && !window_.Host().OpenError().empty()) {
    window_.statusBar()->showMessage(ToQt("The document reader did not start: " + window_.Host().OpenError()), 5000);
  }
}

void MainCommands::FindSetting() {
  if (search_ == nullptr) search_ = new SearchDialog(window_.Document(), &window_);
  search_->Reindex();
  search_->show();
  search_->raise();
  search_->activateWindow();
  search_->Field()->setFocus();
  search_->Field()->selectAll();
}

// The clock-tree page sits under the clock module in the tree; the menu goes there.
void MainCommands::ShowClockTree() {
  for (CModuleBase* module : window_.Document().GetModules())
    if (module->GetClass() == "CLOCKTREE") {
      window_.ShowModule(module);
      return;
    }
}

ImportDialog* MainCommands::ImportSettingsDialog() const { return importDialog_; }

void MainCommands::ImportModuleSettings() {
  if (importDialog_ == nullptr) {
    importDialog_ = new ImportDialog(window_);
    importDialog_->Refill();
    importDialog_->adjustSize();
    importDialog_->move(window_.geometry().center() - importDialog_->rect().center());
  } else {
    importDialog_->Refill();
  }
  importDialog_->show();
  importDialog_->raise();
  importDialog_->activateWindow();
}

void MainCommands::ToggleHexDec() { window_.Pane()->ExecuteCommand(kCmdToggleHexDec); }

void MainCommands::ExpandTree(bool expand) { window_.Tree()->ExpandAllNodes(expand); }

void MainCommands::FocusTree() { window_.Tree()->setFocus(Qt::ShortcutFocusReason); }

void MainCommands::FocusWarnings() { window_.WarningsBar()->FocusList(); }

bool MainCommands::Back() {
  const bool moved = window_.History().Back([this](CModuleBase* module) { return window_.ShowModule(module); });
  UpdateStates();
  return moved;
}

bool MainCommands::Forward() {
  const bool moved =
      window_.History().Forward([this](CModuleBase* module) { return window_.ShowModule(module); });
  UpdateStates();
  return moved;
}

}  // namespace tarq

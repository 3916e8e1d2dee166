#include "ui/UndoCommands.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "project/CommandHistory.h"
#include "project/ProjDoc.h"
#include "ui/MainCommands.h"
#include "ui/MainWindow.h"
#include "ui/PagePane.h"
#include "ui/UiText.h"

namespace tarq {

UndoCommands::UndoCommands(MainWindow& window)
    : QObject(&window),
      window_(window),
      history_(std::make_unique<CommandHistory>(window.Document())) {
  Install();
  history_->SetChangedCallback([this] { UpdateStates(); });
  UpdateStates();
}

UndoCommands::~UndoCommands() = default;

// The two entries open the Edit menu and follow Save on the toolbar.
void UndoCommands::Install() {
  undo_ = new QAction("&Undo", &window_);
  undo_->setObjectName("actionUndo");
  undo_->setShortcut(QKeySequence::Undo);
  undo_->setIcon(QIcon::fromTheme("edit-undo"));  // without a theme the toolbar shows the text
  SetCommandPrompt(undo_, "Undo the last change\nUndo");
  redo_ = new QAction("&Redo", &window_);
  redo_->setObjectName("actionRedo");
  redo_->setShortcuts({QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")});
  redo_->setIcon(QIcon::fromTheme("edit-redo"));
  SetCommandPrompt(redo_, "Redo the change undone last\nRedo");
  connect(undo_, &QAction::triggered, this, [this] { Undo(); });
  connect(redo_, &QAction::triggered, this, [this] { Redo(); });
  // Accelerators work wherever the focus is in the window.
  window_.addAction(undo_);
  window_.addAction(redo_);

  // A save changes what counts as unsaved: the mark follows at once.
  for (const char* save : {"actionSave", "actionSaveAs", "actionSaveAndExit"})
    if (QAction* action = window_.Commands()->Action(save))
      connect(action, &QAction::triggered, this, [this] { UpdateStates(); });

  for (QAction* entry : window_.menuBar()->actions()) {
    QMenu* menu = entry->menu();
    if (menu == nullptr || menu->title() != "&Edit") continue;
    QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
    menu->insertAction(first, undo_);
    menu->insertAction(first, redo_);
    menu->insertSeparator(first);
  }
  if (auto* toolBar = window_.findChild<QToolBar*>("StandardToolBar")) {
    const QList<QAction*> actions = toolBar->actions();
    const qsizetype save = actions.indexOf(window_.Commands()->Action("actionSave"));
    QAction* before = save >= 0 && save + 1 < actions.size() ? actions[save + 1] : nullptr;
    toolBar->insertAction(before, undo_);
    toolBar->insertAction(before, redo_);
  }
}

bool UndoCommands::Undo() {
  // What the page on screen holds and has not handed on yet is the change to undo.
  if (!window_.Pane()->CommitCurrentPage()) return false;
  const bool undone = history_->Undo();
  UpdateStates();
  return undone;
}

bool UndoCommands::Redo() {
  if (!window_.Pane()->CommitCurrentPage()) return false;
  const bool redone = history_->Redo();
  UpdateStates();
  return redone;
}

void UndoCommands::Reset() {
  history_->Clear();
  UpdateStates();
}

void UndoCommands::UpdateStates() {
  const bool open = window_.Document().IsLoaded();
  undo_->setEnabled(open && history_->CanUndo());
  redo_->setEnabled(open && history_->CanRedo());
  // A "&" of a name is no mnemonic.
  auto entry = [](const std::string& name) { return ToQt(name).replace("&", "&&"); };
  undo_->setText(history_->CanUndo() ? "&Undo: " + entry(history_->UndoName()) : "&Undo");
  redo_->setText(history_->CanRedo() ? "&Redo: " + entry(history_->RedoName()) : "&Redo");
  undo_->setToolTip(history_->CanUndo() ? "Undo: " + ToQt(history_->UndoName()) : "Undo");
  redo_->setToolTip(history_->CanRedo() ? "Redo: " + ToQt(history_->RedoName()) : "Redo");
  window_.UpdateTitle();  // the mark of unsaved changes
}

}  // namespace tarq

// Undo and Redo of the main window: the Edit menu entries and toolbar buttons over the
// document's command history, their texts ("Undo: SCI_0 Divisor"), and the title bar's mark
// of unsaved changes.
#pragma once

#include <QObject>
#include <memory>

class QAction;

namespace tarq {

class CommandHistory;
class MainWindow;

class UndoCommands : public QObject {
  Q_OBJECT

 public:
  explicit UndoCommands(MainWindow& window);
  ~UndoCommands() override;

  CommandHistory& History() { return *history_; }
  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }

  bool Undo();
  bool Redo();
  // A project was opened: its history starts empty.
  void Reset();
  // Entry texts, enables and the title bar's mark for the present state.
  void UpdateStates();

 private:
  void Install();

  MainWindow& window_;
  std::unique_ptr<CommandHistory> history_;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
};

}  // namespace tarq

// The main window: the module tree on the left, the information bar and the page pane on
// the right, the registers and warnings summary bars, menus, toolbar and status bar. It
// composes those pieces and owns the one page switch everything uses; the commands live
// in MainCommands.
#pragma once

#include <QMainWindow>
#include <memory>

#include "framework/PageHistory.h"

class QProgressBar;
class QCloseEvent;

namespace tarq {

class CModuleBase;
class CProjDoc;
class GuiHost;
class InfoBar;
class MainCommands;
class ModuleTreeView;
class PagePane;
class RegistersSummaryBar;
class UndoCommands;
class WarningsSummaryBar;
struct TreeNode;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(CProjDoc& document, GuiHost& host, QWidget* parent = nullptr);
  ~MainWindow() override;

  CProjDoc& Document() { return document_; }
  GuiHost& Host() { return host_; }
  ModuleTreeView* Tree() const { return tree_; }
  PagePane* Pane() const { return pane_; }
  InfoBar* Info() const { return info_; }
  RegistersSummaryBar* RegistersBar() const { return registers_; }
  WarningsSummaryBar* WarningsBar() const { return warnings_; }
  MainCommands* Commands() const { return commands_.get(); }
  UndoCommands* Undo() const { return undo_.get(); }
  PageHistory& History() { return history_; }

  // The page switch of the tree, links, the page history and the warnings list: the tree
  // follows the page. False when the page on screen refuses to be left.
  bool ShowModule(CModuleBase* module);
  // The document has opened a project: tree, first page, title.
  void OnDocumentOpened();
  // Start-up placement (the saved one, else the default size), then shows the window.
  void PlaceAndShow();
  // Another instance asked us forward: restore when minimized, raise, activate.
  void BringToFront();
  void UpdateTitle();
  // The idle pass: questions may be asked from now on, the page's deferred work and the
  // document's pending update and warnings pass run.
  void RunIdleWork();

 public slots:
  // "Save && Exit": saves through the ordinary save; closes without a question when that
  // succeeded, stays open otherwise.
  void SaveAndExit();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool SelectFromTree(TreeNode* node);

  CProjDoc& document_;
  GuiHost& host_;
  PageHistory history_;
  ModuleTreeView* tree_;
  InfoBar* info_;
  PagePane* pane_;
  RegistersSummaryBar* registers_;
  WarningsSummaryBar* warnings_;
  QProgressBar* progress_;
  std::unique_ptr<MainCommands> commands_;
  std::unique_ptr<UndoCommands> undo_;
  bool selectingInTree_ = false;
};

}  // namespace tarq

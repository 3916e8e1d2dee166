#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "framework/Hints.h"
#include "framework/TextUtil.h"
#include "project/ProjDoc.h"
#include "ui/GuiHost.h"
#include "ui/InfoBar.h"
#include "ui/MainCommands.h"
#include "ui/ModuleTreeView.h"
#include "ui/PagePane.h"
#include "ui/RegistersSummaryBar.h"
#include "ui/UiText.h"
#include "ui/UndoCommands.h"
#include "ui/WarningsSummaryBar.h"
#include "ui/WindowSettings.h"

namespace tarq {

MainWindow::MainWindow(CProjDoc& document, GuiHost& host, QWidget* parent)
    : QMainWindow(parent), document_(document), host_(host) {
  setObjectName("MainWindow");
  setDockNestingEnabled(true);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("MainSplitter");
  tree_ = new ModuleTreeView(document_, splitter);
  auto* right = new QWidget(splitter);
  auto* column = new QVBoxLayout(right);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  info_ = new InfoBar(document_, right);
  pane_ = new PagePane(document_, right);
  column->addWidget(info_);
  column->addWidget(pane_, 1);
  splitter->addWidget(tree_);
  splitter->addWidget(right);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 680});
  setCentralWidget(splitter);

  registers_ = new RegistersSummaryBar(document_, this);
  warnings_ = new WarningsSummaryBar(document_, this);
  // Both bars along the bottom, side by side: the page keeps the full width of the pane,
  // which module forms need more than height (they scroll).
  addDockWidget(Qt::BottomDockWidgetArea, warnings_);
  splitDockWidget(warnings_, registers_, Qt::Horizontal);
  resizeDocks({warnings_, registers_}, {560, 340}, Qt::Horizontal);
  resizeDocks({warnings_}, {170}, Qt::Vertical);

  progress_ = new QProgressBar(this);
  progress_->setObjectName("LoadProgress");
  progress_->setMaximumWidth(220);
  progress_->setVisible(false);
  statusBar()->addPermanentWidget(progress_);
  statusBar()->showMessage("Ready");

  document_.AddObserver(&history_);
  tree_->SetSelectHandler([this](TreeNode* node) { return SelectFromTree(node); });
  connect(tree_, &ModuleTreeView::leaveRequested, pane_, &PagePane::FocusPage);
  connect(warnings_, &WarningsSummaryBar::leaveRequested, pane_, &PagePane::FocusPage);
  connect(pane_, &PagePane::pageShown, this, [this](CModuleBase* module) {
    history_.OnPageShown(module);
    commands_->UpdateStates();
  });
  // A bar coming into view has to show the current state: a warnings pass brings it.
  for (QDockWidget* bar : {static_cast<QDockWidget*>(registers_), static_cast<QDockWidget*>(warnings_)}) {
    connect(bar, &QDockWidget::visibilityChanged, this, [this](bool visible) {
      if (visible && document_.IsLoaded()) document_.Broadcast(kHintPaneShown, nullptr);
    });
  }

  DocumentViews views;
  views.commitCurrentPage = [this] { return pane_->CommitCurrentPage(); };
  views.currentModule = [this] { return pane_->CurrentModule(); };
  views.showModule = [this](CModuleBase* module) { return ShowModule(module); };
  document_.SetViews(std::move(views));

  host_.SetDialogParent(this);
  host_.SetProgressBar(progress_);
  host_.SetIdleWork([this] { RunIdleWork(); });

  commands_ = std::make_unique<MainCommands>(*this);
  undo_ = std::make_unique<UndoCommands>(*this);
  UpdateTitle();
}

MainWindow::~MainWindow() {
  host_.SetIdleWork({});
  host_.SetDialogParent(nullptr);
  host_.SetProgressBar(nullptr);
  document_.SetViews({});
  document_.RemoveObserver(&history_);
  pane_->Clear();
}

bool MainWindow::SelectFromTree(TreeNode* node) {
  selectingInTree_ = true;
  const bool shown = tree_->Controller().SelectNode(node);
  selectingInTree_ = false;
  return shown;
}

bool MainWindow::ShowModule(CModuleBase* module) {
  if (!module) return false;
  // Asked by the tree's own selection: only the page has to change.
  if (selectingInTree_) return pane_->Show(module);
  TreeNode* node = document_.GetTree().FindNode(module);
  if (!node) {
    if (!pane_->Show(module)) return false;
    // No node to select; the bars follow the page all the same.
    document_.Broadcast(kHintTreeCurrentModule, module);
    return true;
  }
  selectingInTree_ = true;
  const bool selected = tree_->Controller().SelectNode(node);
  selectingInTree_ = false;
  if (!selected) return false;
  tree_->ShowNode(node);
  // The controller does nothing for the node it already has; the page may differ still.
  return pane_->CurrentModule() == module || pane_->Show(module);
}

void MainWindow::OnDocumentOpened() {
  history_.Clear();
  undo_->Reset();
  tree_->BuildTree();
  info_->Refresh();
  pane_->LoadEarlyPages();
  const auto& top = document_.GetTree().TopLevel();
  if (!top.empty() && top.front()->module) ShowModule(top.front()->module);
  tree_->setFocus(Qt::OtherFocusReason);
  UpdateTitle();
  commands_->UpdateStates();
}

void MainWindow::UpdateTitle() {
  const std::string& title = document_.GetTitle();
  // Unsaved changes are marked by a "*" after the project's name.
  const QString mark = document_.IsLoaded() && document_.IsModified() ? "*" : "";
  setWindowTitle(title.empty() ? QString(kAppTitle) : ToQt(title) + mark + " - " + kAppTitle);
}

void MainWindow::PlaceAndShow() {
  if (!WindowSettings::Restore(*this)) {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? screen->geometry().width() : 1024;
    const QRect placement = DefaultPlacement(width, pos());
    move(placement.topLeft());
    resize(placement.size());
  }
  show();
}

void MainWindow::BringToFront() {
  if (windowState() & Qt::WindowMinimized) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

void MainWindow::RunIdleWork() {
  document_.SetIdleReached(true);
  pane_->RunDeferredWork();
  document_.OnIdle();
  commands_->UpdateStates();
  undo_->UpdateStates();
}

void MainWindow::SaveAndExit() {
  if (!document_.SaveAndExit()) {
    if (document_.IsReloadRequested()) commands_->Save();  // reloads the file on disk
    return;
  }
  close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!document_.IsClosingWithoutQuestion()) {
    // A page that does not validate keeps the window open, with the user on the control.
    if (!pane_->CommitCurrentPage()) {
      event->ignore();
      return;
    }
    if (document_.NeedsSaveQuestion()) {
      const std::string question = Format("Save changes to %s?", document_.GetTitle().c_str());
      switch (host_.AskYesNoCancel(question)) {
        case Answer::Yes:
          if (!document_.Save()) {
            event->ignore();
            return;
          }
          break;
        case Answer::No:
          break;
        default:
          event->ignore();
          return;
      }
    }
  }
  WindowSettings::Save(*this);
  pane_->Clear();
  // Lets go of the modules and the lock now, while the window still exists.
  document_.Reset();
  event->accept();
}

}  // namespace tarq

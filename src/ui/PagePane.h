// The right pane: the page of the module on screen, under a caption naming the module.
// Showing another module first reads the page on screen back (a page that does not
// validate keeps the user on it), then lets the old page go and builds the new one.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <set>

#include "framework/Hints.h"

class QLabel;
class QScrollArea;
class QStackedWidget;

namespace tarq {

class CHtmlModule;
class CModuleBase;
class CProjDocBase;
class HtmlPageView;
class PageRenderer;

class PagePane : public QWidget, public DocumentObserver {
  Q_OBJECT

 public:
  explicit PagePane(CProjDocBase& document, QWidget* parent = nullptr);
  ~PagePane() override;

  CModuleBase* CurrentModule() const { return current_; }
  PageRenderer* Renderer() const;
  HtmlPageView* HtmlView() const;
  QScrollArea* ScrollArea() const { return scroll_; }

  // Reads the page on screen back into its module; false (with the focus on the
  // offending control) when it does not validate.
  bool CommitCurrentPage();
  // Shows a module's page; false when the page on screen refuses to be left.
  bool Show(CModuleBase* module);
  // Lets go of every page (the document is closing).
  void Clear();
  // Makes and loads, off screen, the views of the pages that load early (an opened project).
  void LoadEarlyPages();
  // The page takes the focus (Tab or Esc in the tree or the warnings list).
  void FocusPage();
  // The work the page's first show left for the idle moment.
  void RunDeferredWork();
  // A menu command aimed at the focused control (Toggle Hex/Dec); false when nothing
  // took it.
  bool ExecuteCommand(uint32_t command);

  void OnHint(int hint, CModuleBase* sender) override;

 signals:
  void pageShown(CModuleBase* module);

 private:
  void Leave();
  void DestroyHiddenPages();

  CProjDocBase& document_;
  QLabel* caption_;
  QStackedWidget* stack_;
  QScrollArea* scroll_;
  CModuleBase* current_ = nullptr;
  QPointer<PageRenderer> renderer_;
  QPointer<HtmlPageView> htmlView_;
  // HTML views of modules that keep their page while hidden.
  std::map<CModuleBase*, QPointer<HtmlPageView>> keptViews_;
  // Pages left behind, destroyed once the input that left them has been handled.
  std::set<CModuleBase*> toDestroy_;
};

}  // namespace tarq

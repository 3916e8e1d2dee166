// Renders any page model as a desktop form and keeps the two in step: model changes
// arrive through PageObserver and are mirrored into the widgets; user input goes back as
// page events (click, select, type, focus, link). One factory maps each control kind to
// its widget; the layout comes from the controls' layout hints.
#pragma once

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <unordered_map>
#include <vector>

#include "framework/Page.h"

#include <QScrollArea>
class QBoxLayout;
class QLabel;
class QVBoxLayout;

namespace tarq {

class BalloonTip;

class PageRenderer : public QWidget, public PageObserver {
  Q_OBJECT

 public:
  explicit PageRenderer(Page& page, QWidget* parent = nullptr);
  ~PageRenderer() override;

  Page* GetPage() const { return page_; }
  // Stops following the page (it is going away or another page replaces it).
  void Detach();
  // The scroll area the page sits in: focused controls are scrolled into its view, and
  // wheel turns that a control must not take scroll it.
  void SetScrollArea(QScrollArea* area);

  // The widget that shows a control, or null.
  QWidget* WidgetOf(const Control* control) const;
  // By the id that addresses the control from the module page (child page id in the upper
  // 16 bits).
  QWidget* WidgetOf(uint32_t fullId) const;
  BalloonTip* Balloon() const;
  // Focus to the control the page remembers, else the first one that takes it.
  void FocusPage();

  // ---- PageObserver ----
  void OnControlChanged(Page& page, const Control& control) override;
  void OnStructureChanged(Page& page) override;
  void OnFocusRequest(Page& page, const Control& control, bool scrollIntoView) override;
  void OnToolTipRequest(Page& page, const ToolTipRequest& request) override;
  void OnToolTipClosed(Page& page) override;
  void OnPageDestroyed(Page& page) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Target {
    Page* page = nullptr;
    Control* control = nullptr;
  };

  void Build();
  void ScheduleRebuild();
  void Forget();
  QWidget* BuildContainer(Page& page, uint32_t groupId, QWidget* parent);
  // The factory: one widget per control kind.
  QWidget* CreateControlWidget(Page& page, Control& control, QWidget* parent);
  void Connect(QWidget* widget, Page& page, Control& control);
  void Track(QObject* object, Page& page, Control& control);
  void Apply(const Control& control);
  void ApplyColours(QWidget* widget, const Control& control);
  void ChainTabOrder(Page& page, QWidget*& previous);
  // Runs user input against the control behind `sender`, then shows the model's answer.
  void Dispatch(const QObject* sender, const std::function<void(Page&, Control&)>& input);
  void ShowBalloon(const ToolTipRequest& request);
  void ScrollIntoView(QWidget* widget);
  const Control* SpinOf(const Control* edit) const;
  bool ForwardWheel(QEvent* event);
  // Rows of group boxes side by side stack up when the pane is too narrow for them, and long
  // captions wrap where their group would not fit.
  void AdaptRows();

  Page* page_;
  QPointer<QScrollArea> scrollArea_;
  QPointer<QWidget> content_;
  QVBoxLayout* outer_ = nullptr;
  std::unordered_map<const Control*, QWidget*> widgets_;
  QHash<const QObject*, Target> targets_;
  std::unordered_map<const Control*, const Control*> spinOfEdit_;
  std::vector<QPointer<QBoxLayout>> blockRows_;
  // Grids whose caption column holds captions wider than the wrap width: those captions
  // wrap while the grid, with them on one line, would reach past the pane.
  struct CaptionColumn {
    QPointer<QWidget> container;
    int naturalWidth = 0;  // the least width of the grid with every caption on one line
    std::vector<QPointer<QLabel>> captions;
  };
  std::vector<CaptionColumn> captionColumns_;
  bool applying_ = false;
  unsigned generation_ = 0;
  bool rebuildScheduled_ = false;
  QPointer<BalloonTip> balloon_;
};

}  // namespace tarq

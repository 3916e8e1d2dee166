// A diagram control of a page: boxes joined to their parents, laid out in columns by depth,
// each with its title, value and a red frame while it passes a limit (the clock tree). A
// click on a box reports the box; the page turns it into the box's link.
#pragma once

#include <QRectF>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "framework/Page.h"

namespace tarq {

class DiagramWidget : public QWidget {
  Q_OBJECT

 public:
  using ClickHandler = std::function<void(const DiagramBox& box)>;

  explicit DiagramWidget(QWidget* parent);

  void SetBoxes(const std::vector<DiagramBox>& boxes);
  void SetClickHandler(ClickHandler handler) { onClick_ = std::move(handler); }
  const std::vector<DiagramBox>& Boxes() const { return boxes_; }
  const DiagramBox* Find(const std::string& id) const;
  // Where the box with this id is drawn; empty when there is none.
  QRectF BoxOf(const std::string& id) const;
  // Reports the box under `point` when it has a link; false when there is none.
  bool ClickAt(const QPointF& point);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Layout();
  int Depth(size_t index) const;
  int IndexOf(const std::string& id) const;

  std::vector<DiagramBox> boxes_;
  std::vector<QRectF> rects_;  // parallel to boxes_
  QSize extent_;
  ClickHandler onClick_;
};

}  // namespace tarq

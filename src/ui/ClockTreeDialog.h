// View > Clock Tree: the clock tree of the current part drawn from the clock module's own
// computation, one box per stage and peripheral clock with its live frequency, red where a
// limit is passed. Clicking a box follows its link to the control that sets it.
#pragma once

#include <QDialog>
#include <QRectF>
#include <QWidget>
#include <vector>

#include "modules/ClockTree.h"

class QTimer;

namespace tarq {

class CProjDoc;

class ClockTreeView : public QWidget {
  Q_OBJECT

 public:
  ClockTreeView(CProjDoc& document, QWidget* parent);

  // Builds the tree again from the modules and lays it out.
  void Refresh();
  const ClockTree& Tree() const { return tree_; }
  // Where the node with this id is drawn; empty when there is none.
  QRectF BoxOf(const std::string& id) const;
  // Follows the link of the box under `point`; false when there is no box or link there.
  bool FollowAt(const QPointF& point);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void Layout();

  CProjDoc& document_;
  ClockTree tree_;
  std::vector<QRectF> boxes_;  // parallel to tree_.nodes
  QSize extent_;
};

class ClockTreeDialog : public QDialog {
  Q_OBJECT

 public:
  ClockTreeDialog(CProjDoc& document, QWidget* parent);
  ClockTreeView* View() const { return view_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  ClockTreeView* view_;
  QTimer* refresh_;
};

}  // namespace tarq

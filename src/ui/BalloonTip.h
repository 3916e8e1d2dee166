// The balloon that explains a control after a link or a warning led the user there: a
// title with the information icon and the text, at most 300 pixels wide, pointing at the
// control. It closes on any mouse press, or on a mouse move once it has been up for
// 2000 ms, so the user can read it while the pointer rests.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPainterPath;

namespace tarq {

class BalloonTip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxWidth = 300;
  static constexpr int kMoveCloseDelayMs = 2000;
  // Horizontal distance of the pointed-at spot from the control's left edge.
  static constexpr int kAnchorInset = 8;

  BalloonTip(const QString& title, const QString& text, QWidget* anchorWidget);
  ~BalloonTip() override;

  // Shows the balloon pointing at the top edge of the anchor widget.
  void ShowAtAnchor();
  QString Title() const { return title_; }
  QString Text() const { return text_; }
  // The spot the stem points at, in global coordinates.
  QPoint AnchorPoint() const { return anchorPoint_; }
  bool PointsDown() const { return pointsDown_; }

 signals:
  void closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Place();
  QPainterPath Outline() const;

  QString title_;
  QString text_;
  QPointer<QWidget> anchor_;
  QPoint anchorPoint_;
  bool pointsDown_ = true;  // the stem at the bottom edge, the balloon above the control
  QElapsedTimer shown_;
  bool closing_ = false;
};

}  // namespace tarq

#include "ui/DiagramWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <map>

namespace tarq {

namespace {

// Top-down: a row per step from the roots, so that the chain of a clock reads downwards and a
// page needs a vertical scroll bar rather than a horizontal one.
constexpr qreal kBoxWidth = 210;  // room for a value and its limit: "272 MHz (160...260 MHz)"
constexpr qreal kLeafWidth = 180;
constexpr qreal kBoxHeight = 44;
constexpr qreal kLeafHeight = 38;
constexpr qreal kColumnGap = 24;
constexpr qreal kRowGap = 22;
constexpr qreal kLeafRowGap = 8;
constexpr qreal kMargin = 12;
// Leaves of one parent (the peripheral clocks) fill a grid of this many columns below it.
constexpr int kLeafColumns = 3;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

DiagramWidget::DiagramWidget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setObjectName("diagram");
}

void DiagramWidget::SetBoxes(const std::vector<DiagramBox>& boxes) {
  if (boxes == boxes_) return;
  boxes_ = boxes;
  Layout();
  updateGeometry();
  update();
}

int DiagramWidget::IndexOf(const std::string& id) const {
  for (size_t i = 0; i < boxes_.size(); ++i)
    if (boxes_[i].id == id) return static_cast<int>(i);
  return -1;
}

const DiagramBox* DiagramWidget::Find(const std::string& id) const {
  const int index = IndexOf(id);
  return index < 0 ? nullptr : &boxes_[static_cast<size_t>(index)];
}

int DiagramWidget::Depth(size_t index) const {
  int depth = 0;
  // Bounded by the box count, so a parent cycle in the data cannot hang the view.
  for (int at = IndexOf(boxes_[index].parent); at >= 0 && depth < static_cast<int>(boxes_.size());
       at = IndexOf(boxes_[static_cast<size_t>(at)].parent))
    ++depth;
  return depth;
}

// Rows by depth from the roots; in each row the boxes line up in data order, a child placed
// no further left than its parent. The leaves of a parent fill a grid below it, indented so
// that their lines run down its left side.
void DiagramWidget::Layout() {
  rects_.assign(boxes_.size(), QRectF());
  std::vector<qreal> nextX;
  qreal right = 0, bottom = 0;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i].leaf) continue;
    const size_t row = static_cast<size_t>(Depth(i));
    const int parent = IndexOf(boxes_[i].parent);
    const qreal parentLeft = parent >= 0 && !rects_[static_cast<size_t>(parent)].isNull()
                                 ? rects_[static_cast<size_t>(parent)].left()
                                 : kMargin;
    if (nextX.size() <= row) nextX.resize(row + 1, kMargin);
    const qreal x = std::max(nextX[row], parentLeft);
    rects_[i] = QRectF(x, kMargin + static_cast<qreal>(row) * (kBoxHeight + kRowGap), kBoxWidth, kBoxHeight);
    nextX[row] = x + kBoxWidth + kColumnGap;
    right = std::max(right, rects_[i].right());
    bottom = std::max(bottom, rects_[i].bottom());
  }
  // Leaf grids start below everything drawn so far, so that they cover no box.
  std::map<std::string, int> count, placed;
  for (const DiagramBox& box : boxes_)
    if (box.leaf) ++count[box.parent];
  const qreal gridTop = bottom + kRowGap;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (!boxes_[i].leaf) continue;
    const QRectF parent = BoxOf(boxes_[i].parent);
    const qreal left = (parent.isNull() ? kMargin : parent.left()) + kColumnGap;
    // Down the first column, then the next, in data order.
    const int rows = (count[boxes_[i].parent] + kLeafColumns - 1) / kLeafColumns;
    const int n = placed[boxes_[i].parent]++;
    rects_[i] = QRectF(left + (n / rows) * (kLeafWidth + kColumnGap),
                       gridTop + (n % rows) * (kLeafHeight + kLeafRowGap), kLeafWidth, kLeafHeight);
    right = std::max(right, rects_[i].right());
    bottom = std::max(bottom, rects_[i].bottom());
  }
  extent_ = QSize(static_cast<int>(right + kMargin), static_cast<int>(bottom + kMargin));
}

QSize DiagramWidget::sizeHint() const { return extent_.isEmpty() ? QSize(400, 60) : extent_; }

QRectF DiagramWidget::BoxOf(const std::string& id) const {
  const int index = IndexOf(id);
  return index < 0 || static_cast<size_t>(index) >= rects_.size() ? QRectF() : rects_[static_cast<size_t>(index)];
}

bool DiagramWidget::ClickAt(const QPointF& point) {
  for (size_t i = 0; i < rects_.size(); ++i) {
    if (!rects_[i].contains(point) || boxes_[i].link.empty()) continue;
    if (onClick_) onClick_(boxes_[i]);
    return true;
  }
  return false;
}

void DiagramWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().base());
  if (boxes_.empty()) {
    painter.drawText(rect(), Qt::AlignCenter, "Nothing to draw.");
    return;
  }
  // Lines first, so that the boxes cover their ends. A line leaves its parent's bottom and
  // turns halfway down the gap; a leaf's line runs down the gap left of its grid column.
  painter.setPen(QPen(palette().text().color(), 1.2));
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const QRectF from = BoxOf(boxes_[i].parent);
    if (from.isNull()) continue;
    const QRectF& to = rects_[i];
    const QPointF start(boxes_[i].leaf ? from.left() + kColumnGap / 2 : from.center().x(), from.bottom());
    QPainterPath path(start);
    if (boxes_[i].leaf) {
      const qreal trunk = to.left() - kColumnGap / 2;
      const qreal across = from.bottom() + kRowGap / 2;
      path.lineTo(start.x(), across);
      path.lineTo(trunk, across);
      path.lineTo(trunk, to.center().y());
      path.lineTo(to.left(), to.center().y());
    } else {
      const qreal turn = to.top() - kRowGap / 2;
      path.lineTo(start.x(), turn);
      path.lineTo(to.center().x(), turn);
      path.lineTo(to.center().x(), to.top());
    }
    painter.drawPath(path);
  }
  const QFont plain = font();
  QFont bold = plain;
  bold.setBold(true);
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const DiagramBox& box = boxes_[i];
    const QRectF& r = rects_[i];
    QColor fill = box.off ? QColor(0xee, 0xee, 0xee) : QColor(0xe4, 0xf1, 0xfb);
    if (box.leaf && !box.off) fill = QColor(0xe6, 0xf5, 0xe6);
    if (box.alert) fill = QColor(0xf8, 0xc8, 0xc8);
    painter.setPen(QPen(box.alert ? QColor(0xc0, 0, 0) : QColor(0x55, 0x55, 0x55), box.alert ? 2 : 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(r, 5, 5);
    const QRectF text = r.adjusted(6, 3, -6, -3);
    const int width = static_cast<int>(text.width());
    painter.setPen(box.off ? QColor(0x66, 0x66, 0x66) : QColor(Qt::black));
    painter.setFont(plain);
    QString title = ToQt(box.title);
    if (!box.detail.empty()) title += "  " + ToQt(box.detail);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, painter.fontMetrics().elidedText(title, Qt::ElideRight, width));
    painter.setFont(bold);
    if (box.alert) painter.setPen(QColor(0xc0, 0, 0));
    QString value = ToQt(box.value);
    if (box.alert && !box.note.empty()) value += " " + ToQt(box.note);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom, painter.fontMetrics().elidedText(value, Qt::ElideRight, width));
  }
}

void DiagramWidget::mouseMoveEvent(QMouseEvent* event) {
  for (size_t i = 0; i < rects_.size(); ++i) {
    if (rects_[i].contains(event->position()) && !boxes_[i].link.empty()) {
      setCursor(Qt::PointingHandCursor);
      setToolTip(ToQt(boxes_[i].title + ": " + boxes_[i].value));
      return;
    }
  }
  unsetCursor();
  setToolTip({});
}

void DiagramWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) ClickAt(event->position());
}

}  // namespace tarq

#include "ui/DiagramWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <map>

namespace tarq {

namespace {

constexpr qreal kBoxWidth = 190;
constexpr qreal kBoxHeight = 48;
constexpr qreal kLeafHeight = 40;
constexpr qreal kColumnGap = 50;
constexpr qreal kRowGap = 12;
constexpr qreal kMargin = 16;
// Leaves of one parent (the peripheral clocks) fill columns of at most this many rows.
constexpr int kMaxLeafRows = 12;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

qreal ColumnLeft(size_t column) { return kMargin + static_cast<qreal>(column) * (kBoxWidth + kColumnGap); }

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

// Columns by depth from the root; in each column the boxes stack in data order, a child
// placed no higher than its parent so that the lines run forward and down. The leaves of a
// parent fill columns of their own beside it.
void DiagramWidget::Layout() {
  rects_.assign(boxes_.size(), QRectF());
  std::map<std::string, int> leafCount;
  for (const DiagramBox& box : boxes_)
    if (box.leaf) ++leafCount[box.parent];
  std::map<std::string, int> leafPlaced;
  std::vector<qreal> nextY;
  qreal right = 0, bottom = 0;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const DiagramBox& box = boxes_[i];
    const size_t column = static_cast<size_t>(Depth(i));
    const int parent = IndexOf(box.parent);
    const qreal parentTop = parent >= 0 && !rects_[static_cast<size_t>(parent)].isNull()
                                ? rects_[static_cast<size_t>(parent)].top()
                                : kMargin;
    if (box.leaf) {
      const int count = leafCount[box.parent];
      const int columns = (count + kMaxLeafRows - 1) / kMaxLeafRows;
      const int rows = (count + columns - 1) / columns;
      const int n = leafPlaced[box.parent]++;
      const qreal y = parentTop + (n % rows) * (kLeafHeight + kRowGap);
      rects_[i] = QRectF(ColumnLeft(column + static_cast<size_t>(n / rows)), y, kBoxWidth, kLeafHeight);
    } else {
      if (nextY.size() <= column) nextY.resize(column + 1, kMargin);
      const qreal y = std::max(nextY[column], parentTop);
      rects_[i] = QRectF(ColumnLeft(column), y, kBoxWidth, kBoxHeight);
      nextY[column] = y + kBoxHeight + kRowGap;
    }
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
  // Lines first, so that the boxes cover their ends. A line bends halfway between the
  // columns; the leaves of a later column take a line along the top of their block, so
  // that no line crosses a box.
  painter.setPen(QPen(palette().text().color(), 1.2));
  std::map<std::string, qreal> leafTop;
  for (size_t i = 0; i < boxes_.size(); ++i)
    if (boxes_[i].leaf && !leafTop.count(boxes_[i].parent)) leafTop[boxes_[i].parent] = rects_[i].top();
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const QRectF from = BoxOf(boxes_[i].parent);
    if (from.isNull()) continue;
    const QRectF& to = rects_[i];
    const qreal firstBend = from.right() + kColumnGap / 2;
    const qreal bend = to.left() - kColumnGap / 2;
    QPainterPath path(QPointF(from.right(), from.center().y()));
    path.lineTo(firstBend, from.center().y());
    if (boxes_[i].leaf && bend > firstBend) {
      const qreal above = leafTop[boxes_[i].parent] - kRowGap / 2;
      path.lineTo(firstBend, above);
      path.lineTo(bend, above);
    }
    path.lineTo(bend, to.center().y());
    path.lineTo(to.left(), to.center().y());
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

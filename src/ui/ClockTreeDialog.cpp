#include "ui/ClockTreeDialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "framework/Capabilities.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

constexpr qreal kBoxWidth = 190;
constexpr qreal kBoxHeight = 48;
constexpr qreal kColumnGap = 50;
constexpr qreal kRowGap = 12;
constexpr qreal kMargin = 16;
constexpr int kGateRows = 8;

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// The module whose page the stage links lead to: the clock module.
CModuleBase* ClockModule(CProjDoc& document) {
  return dynamic_cast<CModuleBase*>(FindCapability<ClockTreeSource>(&document));
}

}  // namespace

ClockTreeView::ClockTreeView(CProjDoc& document, QWidget* parent) : QWidget(parent), document_(document) {
  setMouseTracking(true);
  setObjectName("clockTreeView");
}

void ClockTreeView::Refresh() {
  tree_ = BuildClockTree(&document_);
  Layout();
  updateGeometry();
  resize(sizeHint());
  update();
}

// Columns by depth from the source; in each column the boxes stack in tree order, a child
// placed no higher than its parent so that the lines run forward and down.
void ClockTreeView::Layout() {
  boxes_.assign(tree_.nodes.size(), QRectF());
  std::vector<qreal> nextY;
  qreal right = 0, bottom = 0;
  int gates = 0;
  qreal gateTop = kMargin;
  for (size_t i = 0; i < tree_.nodes.size(); ++i) {
    const ClockTreeNode& node = tree_.nodes[i];
    size_t column = static_cast<size_t>(tree_.Depth(node));
    qreal parentTop = kMargin;
    if (const ClockTreeNode* parent = tree_.Find(node.parent)) {
      const QRectF parentBox = boxes_[static_cast<size_t>(parent - tree_.nodes.data())];
      if (!parentBox.isNull()) parentTop = parentBox.top();
    }
    // The peripheral clocks are many: they fill columns of a few rows side by side.
    if (node.gate) {
      if (gates == 0) gateTop = parentTop;
      column += static_cast<size_t>(gates / kGateRows);
      const qreal y = gateTop + (gates % kGateRows) * (kBoxHeight + kRowGap);
      ++gates;
      const qreal x = kMargin + static_cast<qreal>(column) * (kBoxWidth + kColumnGap);
      boxes_[i] = QRectF(x, y, kBoxWidth, kBoxHeight);
      right = std::max(right, boxes_[i].right());
      bottom = std::max(bottom, boxes_[i].bottom());
      continue;
    }
    if (nextY.size() <= column) nextY.resize(column + 1, kMargin);
    const qreal y = std::max(nextY[column], parentTop);
    const qreal x = kMargin + static_cast<qreal>(column) * (kBoxWidth + kColumnGap);
    boxes_[i] = QRectF(x, y, kBoxWidth, kBoxHeight);
    nextY[column] = y + kBoxHeight + kRowGap;
    right = std::max(right, boxes_[i].right());
    bottom = std::max(bottom, boxes_[i].bottom());
  }
  extent_ = QSize(static_cast<int>(right + kMargin), static_cast<int>(bottom + kMargin));
}

QSize ClockTreeView::sizeHint() const { return extent_.isEmpty() ? QSize(400, 200) : extent_; }

QRectF ClockTreeView::BoxOf(const std::string& id) const {
  for (size_t i = 0; i < tree_.nodes.size() && i < boxes_.size(); ++i)
    if (tree_.nodes[i].id == id) return boxes_[i];
  return {};
}

bool ClockTreeView::FollowAt(const QPointF& point) {
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (!boxes_[i].contains(point) || tree_.nodes[i].link.empty()) continue;
    CModuleBase* clock = ClockModule(document_);
    if (clock == nullptr) return false;
    const ClockTreeNode& node = tree_.nodes[i];
    // The main window takes the focus first, so that the control keeps the focus it gets;
    // the diagram stays open beside it.
    if (QWidget* main = window()->parentWidget()) {
      main->activateWindow();
      QApplication::setActiveWindow(main);
    }
    return clock->OpenLink(node.link, "Clock tree: " + node.caption + " " + node.frequencyText);
  }
  return false;
}

void ClockTreeView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), palette().base());
  if (tree_.nodes.empty()) {
    painter.drawText(rect(), Qt::AlignCenter, "The project has no clock module.");
    return;
  }
  // Lines first, so that the boxes cover their ends.
  painter.setPen(QPen(palette().text().color(), 1.2));
  for (size_t i = 0; i < tree_.nodes.size(); ++i) {
    const QRectF from = BoxOf(tree_.nodes[i].parent);
    if (from.isNull()) continue;
    const QRectF& to = boxes_[i];
    QPainterPath path(QPointF(from.right(), from.center().y()));
    const qreal bend = (from.right() + to.left()) / 2;
    path.lineTo(bend, from.center().y());
    path.lineTo(bend, to.center().y());
    path.lineTo(to.left(), to.center().y());
    painter.drawPath(path);
  }
  const QFont plain = font();
  QFont bold = plain;
  bold.setBold(true);
  for (size_t i = 0; i < tree_.nodes.size(); ++i) {
    const ClockTreeNode& node = tree_.nodes[i];
    const QRectF& box = boxes_[i];
    const bool off = node.mhz <= 0;
    QColor fill = off ? QColor(0xee, 0xee, 0xee) : QColor(0xe4, 0xf1, 0xfb);
    if (node.gate && !off) fill = QColor(0xe6, 0xf5, 0xe6);
    if (node.violates) fill = QColor(0xf8, 0xc8, 0xc8);
    painter.setPen(QPen(node.violates ? QColor(0xc0, 0, 0) : QColor(0x55, 0x55, 0x55), node.violates ? 2 : 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, 5, 5);
    const QRectF text = box.adjusted(6, 3, -6, -3);
    painter.setPen(Qt::black);
    painter.setFont(plain);
    QString caption = ToQt(node.caption);
    if (!node.detail.empty()) caption += "  " + ToQt(node.detail);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                     painter.fontMetrics().elidedText(caption, Qt::ElideRight, static_cast<int>(text.width())));
    painter.setFont(bold);
    painter.setPen(node.violates ? QColor(0xc0, 0, 0) : QColor(Qt::black));
    QString value = ToQt(node.frequencyText);
    if (node.violates) value += " " + ToQt(node.limit);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom,
                     painter.fontMetrics().elidedText(value, Qt::ElideRight, static_cast<int>(text.width())));
  }
}

void ClockTreeView::mouseMoveEvent(QMouseEvent* event) {
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i].contains(event->position()) && !tree_.nodes[i].link.empty()) {
      setCursor(Qt::PointingHandCursor);
      return;
    }
  }
  unsetCursor();
}

void ClockTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FollowAt(event->position());
}

ClockTreeDialog::ClockTreeDialog(CProjDoc& document, QWidget* parent)
    : QDialog(parent), view_(new ClockTreeView(document, this)), refresh_(new QTimer(this)) {
  setWindowTitle("Clock Tree");
  setObjectName("clockTreeDialog");
  auto* area = new QScrollArea(this);
  area->setWidget(view_);
  area->setWidgetResizable(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(area);
  resize(900, 560);
  // The frequencies follow the clock page's edits while the dialog is open.
  refresh_->setInterval(500);
  connect(refresh_, &QTimer::timeout, view_, &ClockTreeView::Refresh);
}

void ClockTreeDialog::showEvent(QShowEvent* event) {
  view_->Refresh();
  refresh_->start();
  QDialog::showEvent(event);
}

}  // namespace tarq

namespace tarq {

void ClockTreeDialog::hideEvent(QHideEvent* event) {
  refresh_->stop();
  QDialog::hideEvent(event);
}

}  // namespace tarq

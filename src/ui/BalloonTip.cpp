#include "ui/BalloonTip.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QFontMetrics>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace tarq {

namespace {
constexpr int kStemHeight = 12;
constexpr int kStemWidth = 14;
constexpr int kStemOffset = 18;  // from the balloon's left edge to the stem
constexpr int kRadius = 7;
constexpr int kPadding = 8;
}  // namespace

BalloonTip::BalloonTip(const QString& title, const QString& text, QWidget* anchorWidget)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      title_(title),
      text_(text),
      anchor_(anchorWidget) {
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setObjectName("BalloonTip");
  setPalette(QToolTip::palette());
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);

  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  int row = 0;
  if (!title.isEmpty()) {
    auto* icon = new QLabel(this);
    const int size = 16;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(size, size));
    auto* caption = new QLabel(title, this);
    caption->setObjectName("BalloonTitle");
    caption->setTextFormat(Qt::PlainText);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    const int room = kMaxWidth - 2 * kPadding - size - 6;
    caption->setWordWrap(true);
    // A word-wrapped label would pick a narrow width of its own; short titles stay on one line.
    caption->setFixedWidth(std::min(room, QFontMetrics(bold).horizontalAdvance(title) + 2));
    grid->addWidget(icon, row, 0, Qt::AlignTop);
    grid->addWidget(caption, row, 1);
    ++row;
  }
  auto* body = new QLabel(text, this);
  body->setObjectName("BalloonText");
  body->setTextFormat(Qt::PlainText);
  body->setWordWrap(true);
  int natural = 0;
  for (const QString& line : text.split(u'\n'))
    natural = std::max(natural, body->fontMetrics().horizontalAdvance(line) + 2);
  body->setFixedWidth(std::min(kMaxWidth - 2 * kPadding, natural));
  grid->addWidget(body, row, 0, 1, 2);
  setMaximumWidth(kMaxWidth);
}

BalloonTip::~BalloonTip() { qApp->removeEventFilter(this); }

void BalloonTip::ShowAtAnchor() {
  Place();
  show();
  raise();
  shown_.start();
  // Every window of the program reports its mouse events here until the balloon closes.
  qApp->installEventFilter(this);
}

void BalloonTip::Place() {
  QWidget* anchor = anchor_.data();
  const QPoint top = anchor ? anchor->mapToGlobal(QPoint(kAnchorInset, 0)) : QCursor::pos();
  const QPoint bottom =
      anchor ? anchor->mapToGlobal(QPoint(kAnchorInset, anchor->height())) : QCursor::pos();
  layout()->activate();
  const QSize body = layout()->sizeHint();
  const QScreen* screen = anchor ? anchor->screen() : QApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 4096, 4096);

  // Above the control with the stem pointing down at its top edge; below when there is no
  // room above.
  pointsDown_ = top.y() - body.height() - kStemHeight >= area.top();
  anchorPoint_ = pointsDown_ ? top : bottom;
  const int bodyTop = pointsDown_ ? 0 : kStemHeight;
  setContentsMargins(0, bodyTop, 0, pointsDown_ ? kStemHeight : 0);
  layout()->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  adjustSize();
  int x = anchorPoint_.x() - kStemOffset;
  x = std::clamp(x, area.left(), std::max(area.left(), area.right() - width()));
  const int y = pointsDown_ ? anchorPoint_.y() - height() : anchorPoint_.y();
  move(x, y);
  setMask(QRegion(Outline().toFillPolygon().toPolygon()));
}

QPainterPath BalloonTip::Outline() const {
  const int bodyTop = pointsDown_ ? 0 : kStemHeight;
  const int bodyHeight = height() - kStemHeight;
  QPainterPath path;
  path.addRoundedRect(QRectF(0, bodyTop, width() - 1, bodyHeight - 1), kRadius, kRadius);
  const int stemX = std::clamp(anchorPoint_.x() - pos().x(), kRadius + 2,
                               std::max(kRadius + 2, width() - kStemWidth - kRadius - 2));
  QPolygonF stem;
  if (pointsDown_) {
    stem << QPointF(stemX, bodyHeight - 2) << QPointF(stemX, height() - 1)
         << QPointF(stemX + kStemWidth, bodyHeight - 2);
  } else {
    stem << QPointF(stemX, kStemHeight + 1) << QPointF(stemX, 0)
         << QPointF(stemX + kStemWidth, kStemHeight + 1);
  }
  QPainterPath stemPath;
  stemPath.addPolygon(stem);
  return path.united(stemPath);
}

void BalloonTip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(palette().color(QPalette::ToolTipBase));
  painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
  painter.drawPath(Outline());
}

bool BalloonTip::eventFilter(QObject* watched, QEvent* event) {
  (void)watched;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
      close();
      break;
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseMove:
      if (shown_.isValid() && shown_.elapsed() > kMoveCloseDelayMs) close();
      break;
    default:
      break;
  }
  // The press still reaches its target: the balloon only listens.
  return false;
}

void BalloonTip::closeEvent(QCloseEvent* event) {
  qApp->removeEventFilter(this);
  if (!closing_) {
    closing_ = true;
    emit closed();
  }
  event->accept();
}

}  // namespace tarq

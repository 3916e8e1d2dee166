#include "ui/InfoBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

#include "framework/Capabilities.h"
#include "framework/TextUtil.h"
#include "project/ProjDoc.h"
#include "ui/UiText.h"

namespace tarq {

namespace {

QLabel* AddField(QHBoxLayout* line, const char* caption, QWidget* parent) {
  auto* name = new QLabel(caption, parent);
  auto* value = new QLabel(parent);
  value->setFrameShape(QFrame::StyledPanel);
  value->setFrameShadow(QFrame::Sunken);
  value->setMinimumWidth(110);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  line->addWidget(name);
  line->addWidget(value);
  line->addSpacing(16);
  return value;
}

}  // namespace

InfoBar::InfoBar(CProjDocBase& document, QWidget* parent) : QFrame(parent), document_(document) {
  setObjectName("InfoBar");
  setFrameShape(QFrame::StyledPanel);
  auto* line = new QHBoxLayout(this);
  line->setContentsMargins(8, 3, 8, 3);
  system_ = AddField(line, "System clock:", this);
  system_->setObjectName("SystemClock");
  bus_ = AddField(line, "Bus clock:", this);
  bus_->setObjectName("BusClock");
  line->addStretch(1);
  document_.AddObserver(this);
  Refresh();
}

InfoBar::~InfoBar() { document_.RemoveObserver(this); }

std::string InfoBar::ClockText(float mhz) { return mhz > 0 ? Format("%.3f MHz", mhz) : "n/a"; }

void InfoBar::Refresh() {
  const ClockSource* clock = FindCapability<ClockSource>(&document_);
  system_->setText(ToQt(ClockText(clock ? clock->GetSystemClockMHz() : 0.0f)));
  bus_->setText(ToQt(ClockText(clock ? clock->GetBusClockMHz() : 0.0f)));
}

QString InfoBar::SystemClockText() const { return system_->text(); }
QString InfoBar::BusClockText() const { return bus_->text(); }

void InfoBar::OnHint(int hint, CModuleBase* sender) {
  (void)sender;
  // The modules hear a broadcast after the views: read the clocks once they have
  // recomputed, and once for a burst of broadcasts.
  if ((hint == kHintRefreshAll || hint == kHintClocksChanged) && !refreshPending_) {
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
      refreshPending_ = false;
      Refresh();
    });
  }
  // The clock module is about to go: nothing to read until the next project is open.
  if (hint == kHintDocumentClosing) {
    system_->setText("n/a");
    bus_->setText("n/a");
  }
}

}  // namespace tarq

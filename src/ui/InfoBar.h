// The information bar above the page: the system and bus clock frequencies of the clock
// synthesis module, refreshed whenever the clocks may have changed (hints 0 and 26).
#pragma once

#include <QFrame>
#include <string>

#include "framework/Hints.h"

class QLabel;

namespace tarq {

class CProjDocBase;

class InfoBar : public QFrame, public DocumentObserver {
  Q_OBJECT

 public:
  explicit InfoBar(CProjDocBase& document, QWidget* parent = nullptr);
  ~InfoBar() override;

  // "%.3f MHz", or "n/a" without a clock module or a frequency.
  static std::string ClockText(float mhz);
  void Refresh();
  QString SystemClockText() const;
  QString BusClockText() const;

  void OnHint(int hint, CModuleBase* sender) override;

 private:
  CProjDocBase& document_;
  QLabel* system_;
  QLabel* bus_;
  bool refreshPending_ = false;
};

}  // namespace tarq

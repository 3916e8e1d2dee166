// The warnings summary bar: the document's warnings in two columns ("Module", "Warning
// text"); double click, Enter or Space takes the user to the control a warning is about.
// The rules live in WarningsSummary; this is its view.
#pragma once

#include <QDockWidget>

#include "framework/Hints.h"
#include "framework/Summaries.h"

class QCheckBox;
class QTreeWidget;

namespace tarq {

class CProjDocBase;

class WarningsSummaryBar : public QDockWidget, public DocumentObserver {
  Q_OBJECT

 public:
  explicit WarningsSummaryBar(CProjDocBase& document, QWidget* parent = nullptr);
  ~WarningsSummaryBar() override;

  WarningsSummary& Model() { return model_; }
  QTreeWidget* List() const { return list_; }
  QCheckBox* ShowAllBox() const { return showAll_; }
  // Shows the bar and puts the focus into the list.
  void FocusList();
  // Goes to the warning of the selected row; false when not exactly one row is selected.
  bool ActivateSelected();

  void OnHint(int hint, CModuleBase* sender) override;

 signals:
  // Esc in the list: the page on screen should take the focus.
  void leaveRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Repopulate();
  void TakeSelection();

  CProjDocBase& document_;
  WarningsSummary model_;
  QCheckBox* showAll_;
  QTreeWidget* list_;
  bool filling_ = false;
};

}  // namespace tarq

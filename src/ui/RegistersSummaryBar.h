// The registers summary bar: the registers of the module on screen with their values,
// typed into directly. A row whose register changed since the last warnings pass is red.
// The rules live in RegistersSummary; this is its view.
#pragma once

#include <QDockWidget>
#include <vector>

#include "framework/Hints.h"
#include "framework/Summaries.h"

class QLabel;
class QLineEdit;
class QScrollArea;

namespace tarq {

class CProjDocBase;

class RegistersSummaryBar : public QDockWidget, public DocumentObserver {
  Q_OBJECT

 public:
  explicit RegistersSummaryBar(CProjDocBase& document, QWidget* parent = nullptr);
  ~RegistersSummaryBar() override;

  RegistersSummary& Model() { return model_; }
  // The edit box of a model row; null for separators and captions.
  QLineEdit* RowEdit(size_t row) const;
  QLabel* RowLabel(size_t row) const;
  // The edit box whose label is `label` ("SCI_0_SCIBR:"), or null.
  QLineEdit* EditFor(const QString& label) const;
  // Takes the text of a row's edit box into its register; false when it was refused.
  bool CommitRow(size_t row);

  void OnHint(int hint, CModuleBase* sender) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Rebuild();
  void RefreshTexts();
  int RowOf(const QObject* edit) const;

  CProjDocBase& document_;
  RegistersSummary model_;
  QScrollArea* scroll_;
  std::vector<QLineEdit*> edits_;
  std::vector<QLabel*> labels_;
  CModuleBase* builtFor_ = nullptr;
  size_t builtRows_ = 0;
  bool committing_ = false;
};

}  // namespace tarq

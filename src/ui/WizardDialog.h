// The confirmation of a wizard's result: what it will write, line by line, with Apply and
// Cancel. The wizard's computation lives in the core; this dialog only shows it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace tarq {

class WizardDialog : public QDialog {
  Q_OBJECT

 public:
  WizardDialog(const std::string& title, const std::vector<std::string>& lines,
               QWidget* parent = nullptr);

  QPlainTextEdit* ResultView() const { return result_; }
  QPushButton* ApplyButton() const { return apply_; }

 private:
  QPlainTextEdit* result_ = nullptr;
  QPushButton* apply_ = nullptr;
};

}  // namespace tarq

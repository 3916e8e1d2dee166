// The about box: program name, version and what the program is for.
#pragma once

#include <QDialog>

namespace tarq {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  static QString VersionText();
};

}  // namespace tarq

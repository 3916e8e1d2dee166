// "Options": the per-user options and the current project's option, plus "Set as default"
// to keep the choice for projects opened later.
#pragma once

#include <QDialog>

#include "project/Settings.h"

class QCheckBox;

namespace tarq {

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  OptionsDialog(const Options& options, QWidget* parent = nullptr);

  // The three options as the dialog shows them.
  Options Result() const;
  bool SetAsDefault() const;

  QCheckBox* GenerateComments() const { return comments_; }
  QCheckBox* KeepUserComments() const { return keepComments_; }
  QCheckBox* GenerateDefaults() const { return defaults_; }
  QCheckBox* SetAsDefaultBox() const { return setAsDefault_; }

 private:
  QCheckBox* comments_;
  QCheckBox* keepComments_;
  QCheckBox* defaults_;
  QCheckBox* setAsDefault_;
};

// Writes the three options as the user's defaults (section Options of the settings that
// every project reads when it is opened).
bool StoreDefaultOptions(const Options& options);

}  // namespace tarq

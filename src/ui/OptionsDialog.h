// "Options": the per-user options and the current project's option, plus "Set as default"
// to keep the choice for projects opened later.
#pragma once

#include <QDialog>

#include "project/Settings.h"

class QCheckBox;
class QLineEdit;

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
  // The document reader commands (Opener, PdfReaderPage, PdfReaderDest) as stored; an empty
  // field means the default, shown greyed in it.
  QLineEdit* ReaderCommand(int index) const { return readers_[index]; }

 private:
  QCheckBox* comments_;
  QCheckBox* keepComments_;
  QCheckBox* defaults_;
  QCheckBox* setAsDefault_;
  QLineEdit* readers_[3];
};

// Stores the reader commands of the dialog (an empty one removes its key: the default).
bool StoreReaderCommands(const OptionsDialog& dialog);

// Writes the three options as the user's defaults (section Options of the settings that
// every project reads when it is opened).
bool StoreDefaultOptions(const Options& options);

}  // namespace tarq

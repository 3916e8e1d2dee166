// Ctrl+F: a search field over every setting of the project. Hits are listed as the user
// types; choosing one goes to its control as a warning link does.
#pragma once

#include <QDialog>
#include <vector>

#include "app/Search.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace tarq {

class CProjDoc;

class SearchDialog : public QDialog {
  Q_OBJECT

 public:
  SearchDialog(CProjDoc& document, QWidget* parent);

  // Collects the settings again (values and warnings change while the dialog is closed).
  void Reindex();
  QLineEdit* Field() const { return field_; }
  QCheckBox* ChangedOnlyBox() const { return changedOnly_; }
  QListWidget* HitList() const { return list_; }
  const std::vector<SearchHit>& Hits() const { return hits_; }
  // Goes to the hit in row `row`; false when there is none or its module cannot be shown.
  bool ChooseHit(int row);

 private:
  void Refilter();

  CProjDoc& document_;
  SettingsIndex index_;
  std::vector<SearchHit> hits_;
  QLineEdit* field_ = nullptr;
  QCheckBox* changedOnly_ = nullptr;
  QListWidget* list_ = nullptr;
};

}  // namespace tarq

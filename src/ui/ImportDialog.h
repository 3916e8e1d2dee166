// "Import Module Settings": the modeless dialog over ImportSettings. It stays open for a
// series of imports in mass-import mode.
#pragma once

#include <QDialog>
#include <functional>

#include "app/ImportSettings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace tarq {

class MainWindow;

class ImportDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ImportDialog(MainWindow& window);
  ~ImportDialog() override;

  // Picks the header of another project; an empty text means the user cancelled.
  using ProjectChooser = std::function<QString()>;
  void SetProjectChooser(ProjectChooser chooser) { chooser_ = std::move(chooser); }

  // Refills the lists from the current project and selects the last destination.
  void Refill();

  // ---- the commands ----
  void OtherProject();
  void CurrentProject();
  void GoToItem();
  void accept() override;

  QComboBox* Destinations() const { return destinations_; }
  QComboBox* Sources() const { return sources_; }
  QListWidget* RegisterList() const { return registers_; }
  QRadioButton* AllMode() const { return all_; }
  QRadioButton* SelectedMode() const { return selected_; }
  QCheckBox* MassImport() const { return mass_; }
  QLabel* ProjectLabel() const { return projectLabel_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CurrentProjectButton() const { return current_; }

 private:
  void FillSources();
  void FillRegisters();
  void UpdateEnables();
  CModuleBase* ChosenDestination() const;
  CModuleBase* ChosenSource() const;

  MainWindow& window_;
  ImportSettings settings_;
  ProjectChooser chooser_;
  CModuleBase* lastDestination_ = nullptr;
  QComboBox* destinations_;
  QComboBox* sources_;
  QListWidget* registers_;
  QRadioButton* all_;
  QRadioButton* selected_;
  QCheckBox* mass_;
  QLabel* projectLabel_;
  QPushButton* ok_;
  QPushButton* current_;
  QPushButton* other_;
  QPushButton* goTo_;
};

}  // namespace tarq

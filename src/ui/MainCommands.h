// The commands of the main window: menus, toolbar, accelerators and what each command
// does. File commands run the document's save and open operations; view commands act on
// the tree, the bars and the page history.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <string>

class QAction;
class QMenu;
class QToolBar;

namespace tarq {

class ImportDialog;
class MainWindow;
class SearchDialog;

class MainCommands : public QObject {
  Q_OBJECT

 public:
  enum class FileDialog { Open, SaveAs, SaveCopyAs };
  // Picks a file for a command; an empty text means the user cancelled.
  using FileChooser = std::function<QString(FileDialog kind, const QString& proposed)>;

  explicit MainCommands(MainWindow& window);
  ~MainCommands() override;

  // The action of a command by its object name ("actionSave", "actionBack" ...).
  QAction* Action(const QString& name) const;
  // Enables and disables the commands for the present state.
  void UpdateStates();
  // Tests and scripts choose files without a dialog.
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  // Path of the tool manual; the Help command is enabled while it exists.
  QString ManualPath() const;

  // ---- the commands ----
  bool Save();
  bool SaveAs();
  bool SaveCopyAs();
  void SaveAndExit();
  bool Open();
  void Options();
  void About();
  void ToolHelp();
  void LookupModuleHelp();
  // Shows the modeless import dialog, made the first time and refilled afterwards.
  void ImportModuleSettings();
  ImportDialog* ImportSettingsDialog() const;
  void ToggleHexDec();
  // Opens the search over every setting (Ctrl+F).
  void FindSetting();
  SearchDialog* Search() const { return search_; }
  void ShowClockTree();
  void ExpandTree(bool expand);
  void FocusTree();
  void FocusWarnings();
  bool Back();
  bool Forward();

 private:
  QAction* Add(QMenu* menu, const char* name, const QString& text, const char* prompt,
               std::function<void()> run);
  void BuildMenus();
  QString Choose(FileDialog kind, const QString& proposed);
  // After an open failed and left no project: a file must be chosen, or the program ends.
  void Reinitialise();
  // The page on screen is read back and the user may keep or drop unsaved changes; false
  // when the user stays where they are.
  bool ConfirmLeavingProject();

  MainWindow& window_;
  std::map<QString, QAction*> actions_;
  QToolBar* toolBar_ = nullptr;
  SearchDialog* search_ = nullptr;
  FileChooser chooser_;
  QPointer<ImportDialog> importDialog_;
};

// The status-bar prompt and tooltip of a command from "prompt\ntooltip".
void SetCommandPrompt(QAction* action, const char* prompt);

}  // namespace tarq

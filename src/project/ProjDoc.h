// The project document: the single open project of a running instance. It finds and
// locks the header, reads it, decides the part, builds the modules from the part's
// architecture file, lets them load their definitions, runs the idle-time warnings pass
// and writes the headers back.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/Warnings.h"
#include "project/HeaderFile.h"
#include "project/KnownParts.h"
#include "project/LockFile.h"
#include "project/ModuleFactory.h"
#include "project/ModuleTree.h"
#include "project/Settings.h"

namespace tarq {

class DocumentObserver;
struct ArchitectureNode;

// What the running program tells its document.
class CProjDocBase;

struct DocumentEnvironment {
  std::string programFolder;    // architecture files, help/ and program-wide plugins
  bool selfTest = false;        // "selftest" switch
  bool reprocess = false;       // "reprocess" switch
  bool readUserOptions = true;  // read the per-user options file on every reset
  // Take the project's lock. Read-only commands open without it, as the secondary
  // document does, so they work while the desktop program has the project open.
  bool takeLock = true;
  std::string optionsFile;      // that file; empty means OptionsFilePath()
  // Asks the instance that holds a project's lock to come to the front. The GUI fills it;
  // the CLI leaves it empty.
  std::function<void(long ownerPid, const std::string& headerPath)> activateOtherInstance;
  // Loads the plugins once the architecture file's modules exist; empty: no plugins.
  std::function<void(CProjDocBase& doc)> loadPlugins;
  // Posts "Save && Exit" to the main window at the end of a reprocess open.
  std::function<void()> postSaveAndExit;
};

// What the views tell the document about the page on screen. All optional: without pages
// there is nothing to commit and no page is shown.
struct DocumentViews {
  std::function<bool()> commitCurrentPage;       // read the page's controls back
  std::function<CModuleBase*()> currentModule;   // the module whose page is shown
  // Switch the page to a module; false when the page on screen refuses to be left.
  std::function<bool(CModuleBase*)> showModule;
};

// The host of a secondary document: it shows nothing and changes nothing (No / Cancel).
class SilentHost : public Host {
 public:
  void ShowMessage(const std::string&, MessageIcon) override {}
  Answer AskYesNoCancel(const std::string&) override { return Answer::Cancel; }
  Answer AskYesNo(const std::string&, MessageIcon) override { return Answer::No; }
  Answer AskOkCancel(const std::string&) override { return Answer::Cancel; }
};

// Tag of the secondary document (reading another project for import): no lock, no
// questions, no window work, never the current document.
struct SecondaryDocumentTag {};
inline constexpr SecondaryDocumentTag kSecondaryDocument{};

class CProjDocBase : public ModuleContext {
 public:
  CProjDocBase(Host& host, DocumentEnvironment environment);
  CProjDocBase(SecondaryDocumentTag, DocumentEnvironment environment);
  ~CProjDocBase() override;
  CProjDocBase(const CProjDocBase&) = delete;
  CProjDocBase& operator=(const CProjDocBase&) = delete;

  // ---- opening and closing ----
  // A folder or header path; empty means the current folder. False when nothing was opened;
  // the reason is in GetLastError().
  bool OpenProject(const std::string& path);
  // Empties the document: modules, header, warnings, tree; releases and deletes the lock.
  void Reset();
  // The process is about to end without destroying the document: releases and deletes the
  // lock and removes the temporary files, nothing else.
  void PrepareForExit() {
    lock_.Release();
    DeleteTemporaryPaths();
  }
  const std::string& GetLastError() const { return lastError_; }

  // ---- saving ----
  // Writes every header file (plugin headers, then the main header at `path`).
  bool SaveProject(const std::string& path);
  // Validates every module's page; `failed` receives the module that failed.
  bool ValidateAllModules(bool ask, CModuleBase** failed = nullptr);
  bool Save();
  // Takes the target's lock; the document moves to the target when the save succeeds.
  bool SaveAs(const std::string& target);
  // Only checks the target's lock; the document stays where it is and stays modified.
  bool SaveCopyAs(const std::string& target);
  // "Save && Exit": true when the main window may now close without a save question.
  bool SaveAndExit();
  // Closing the main window: whether the user has to be asked to save.
  bool NeedsSaveQuestion() const { return !closingWithoutQuestion_ && IsModified(); }
  bool IsClosingWithoutQuestion() const { return closingWithoutQuestion_; }
  bool IsSaveAndExitPosted() const { return saveAndExitPosted_; }
  // Why the last save failed (empty after a success).
  const std::string& GetSaveError() const { return saveError_; }
  // The lines of the generated section that the last save refused to drop.
  const std::vector<std::string>& GetRefusedLines() const { return refusedLines_; }
  // What a save would write, with nothing written: every header file (plugin headers, then
  // the main header) with the text a save gives it. `problem` receives why the save would
  // fail (a page that is not valid, lines it would refuse to drop), empty when it would not.
  struct HeaderPreview {
    std::string path;
    std::string text;
  };
  std::vector<HeaderPreview> PreviewSave(std::string& problem);
  // The last save found the header changed on disk and the user chose to reload it.
  bool IsReloadRequested() const { return reloadRequested_; }

  // What reading the project found that a save changes or keeps as it stands: values that
  // do not read (a save resets registers, keeps settings lines) and the lines of the
  // generated section that are not definitions. `check` reports them as warnings.
  struct HeaderNote {
    std::string module;  // the module's prefix; empty for the document's own settings
    std::string text;
    std::vector<std::string> lines;  // the lines concerned, when there are several
  };
  const std::vector<HeaderNote>& GetHeaderNotes() const { return headerNotes_; }

  // ---- modules ----
  // The factory: without an entry the unrecognised-definitions module. The module is
  // appended to the module list; null for an unknown kind.
  CModuleBase* CreateModule(const ArchitectureEntry* entry, CModuleBase* parent);
  // Appends a module made elsewhere (plugin modules); null when it is already listed.
  CModuleBase* AddModule(std::unique_ptr<CModuleBase> module);
  // Places a module made outside the architecture file into the tree.
  TreeNode* AddModuleAtPath(const std::string& path, const std::string& groupClass,
                            CModuleBase* module);
  ModuleTree& GetTree() { return tree_; }
  size_t GetModuleCount() const { return modules_.size(); }
  // The module that loaded the define of this name, or none.
  CModuleBase* GetRegisterOwner(const std::string& defineName) const;

  // ---- ModuleContext ----
  Host& GetHost() override { return *host_; }
  const Options& GetOptions() const override { return options_; }
  CModuleBase* FindModule(const std::string& prefix, const std::string& kind) override;
  std::vector<CModuleBase*> GetModules() override;
  const ProjectSettings& GetSettings() const override { return settings_; }
  bool TestPart(int n) const override;
  void Broadcast(int hint, CModuleBase* sender) override;
  WarningList* GetWarnings() override { return &warnings_; }
  void CheckAllWarnings(bool deferred) override;
  bool WarningsEnabled() const override { return warningsEnabled_; }
  std::string GetProgramFolder() const override { return environment_.programFolder; }
  bool ShowModule(CModuleBase* module) override {
    return views_.showModule ? views_.showModule(module) : true;
  }
  CModuleBase* GetCurrentModule() override {
    return views_.currentModule ? views_.currentModule() : nullptr;
  }
  ProjectSettings* GetEditableSettings() override { return &settings_; }
  // The warnings pass after the action hands the name to the undo history, also when the
  // action changed nothing (the name then goes with it).
  void NameNextStep(const std::string& name) override {
    nextStepName_ = name;
    CheckAllWarnings(true);
  }
  // The name given to the action under way, once: the undo history takes it with the step.
  std::string TakeNextStepName() { return std::exchange(nextStepName_, {}); }

  // ---- settings and state ----
  Options& MutableOptions() { return options_; }
  ProjectSettings& MutableSettings() { return settings_; }
  const std::array<bool, kPartTestCount>& GetPartResults() const { return partResults_; }
  // Options, settings or any module differ from what was read or last saved.
  bool IsModified() const;
  bool IsLoaded() const { return loaded_; }
  bool IsSecondary() const { return secondary_; }
  bool IsUpdatePending() const { return updatePending_; }
  const std::string& GetPath() const { return path_; }
  const std::string& GetProjectRoot() const { return projectRoot_; }
  const std::string& GetTitle() const { return title_; }
  HeaderFile& GetMainHeader() { return *mainHeader_; }
  // Further header files named by plugins: lower-case full path -> header.
  std::map<std::string, std::unique_ptr<HeaderFile>>& GetPluginHeaders() { return pluginHeaders_; }
  // Folders and files made while loading plugin archives; deleted on reset.
  void AddTemporaryPath(const std::string& path) { temporaryPaths_.push_back(path); }
  const LockFile& GetLock() const { return lock_; }

  // ---- application and views ----
  // The application has been through its first idle pass: questions may be asked now.
  void SetIdleReached(bool reached) { idleReached_ = reached; }
  void SetViews(DocumentViews views) { views_ = std::move(views); }
  void AddObserver(DocumentObserver* observer);
  void RemoveObserver(DocumentObserver* observer);
  // The idle work: runs the pending update and warnings pass. True when a pass ran.
  bool OnIdle();

  // The self-test log "tarq_selftest.log" in the project root: for the first module of
  // each kind its page's control self-tests. False when the log could not be written.
  virtual bool RunSelfTest();

 protected:
  // The chip family's own factory; asked before the kinds every document knows.
  virtual std::unique_ptr<CModuleBase> CreateFamilyModule(const ArchitectureEntry& entry,
                                                          CModuleBase* parent);
  // Loads plugins from the program folder, the user's plugin folder and the header's folder,
  // through the environment's loader.
  virtual void LoadPlugins();

 private:
  void ResetContent(bool releaseLock);
  // Shows the "already open" question when allowed and asks the holder to come forward.
  void ReportHeldElsewhere(const LockProbe& probe, const std::string& headerPath);
  bool ReadArchitectureFile();
  void BuildTree(const std::vector<ArchitectureNode>& nodes, TreeNode* parentNode);
  void LoadAllDefines();
  void SetPathAndTitle(const std::string& headerPath);
  bool SaveProjectTo(const std::string& path, bool markSaved);
  // Asks before a save drops lines of the generated section that are not definitions;
  // false when the header must not be written.
  bool ConfirmDroppedLines(const HeaderFile& header, const std::string& moduleText);
  // Asks before overwriting a header that changed on disk since it was read; false when the
  // save must stop.
  bool ConfirmChangedOnDisk(const std::string& target);
  void CollectHeaderNotes(const std::vector<std::string>& invalidSettings);
  // Names the control of `module` whose value is not valid, with its message.
  std::string DescribeInvalidControl(CModuleBase* module);
  // The module sections of one header; false when a module's question was cancelled.
  bool BuildModuleText(HeaderFile& header, std::string& text);
  void DeleteTemporaryPaths();
  // Destroys a page built for a document-wide step when it is hidden and may go.
  void ReleaseTemporaryPage(CModuleBase* module, bool madeHere);

  Host* host_;
  SilentHost silentHost_;
  DocumentEnvironment environment_;
  DocumentViews views_;
  bool secondary_ = false;
  bool idleReached_ = false;

  std::string path_;
  std::string projectRoot_;
  std::string title_;
  std::string lastError_;
  std::unique_ptr<HeaderFile> mainHeader_;
  std::map<std::string, std::unique_ptr<HeaderFile>> pluginHeaders_;
  std::vector<std::unique_ptr<CModuleBase>> modules_;
  ModuleTree tree_;
  ModuleFactory baseFactory_;
  std::map<std::string, CModuleBase*> registerOwners_;
  WarningList warnings_;
  std::vector<DocumentObserver*> observers_;

  Options options_;
  ProjectSettings settings_;
  Options savedOptions_;
  ProjectSettings savedSettings_;
  std::array<bool, kPartTestCount> partResults_{};

  LockFile lock_;
  std::vector<std::string> temporaryPaths_;
  bool loaded_ = false;
  bool warningsEnabled_ = false;
  bool updatePending_ = true;
  std::string nextStepName_;
  bool firstUpdateDone_ = false;
  bool closingWithoutQuestion_ = false;
  bool saveAndExitPosted_ = false;
  bool inWarningsPass_ = false;
  bool reloadRequested_ = false;
  std::string saveError_;
  std::vector<std::string> refusedLines_;
  std::vector<HeaderNote> headerNotes_;
  // The main header as it was read (or last written): its size and time of last change.
  struct FileStamp {
    bool known = false;
    uintmax_t size = 0;
    long long modified = 0;
    bool operator==(const FileStamp&) const = default;
  };
  FileStamp readStamp_;
  static FileStamp StampOf(const std::string& path);
};

// The document of the Corvex family: its module factory, filled by `registerKinds` (the
// program passes RegisterBuiltInModuleKinds from modules/ModuleKinds.h).
class CProjDoc : public CProjDocBase {
 public:
  CProjDoc(Host& host, DocumentEnvironment environment,
           const ModuleKindsRegistration& registerKinds);
  CProjDoc(SecondaryDocumentTag tag, DocumentEnvironment environment,
           const ModuleKindsRegistration& registerKinds);
  ModuleFactory& GetFactory() { return factory_; }

 protected:
  std::unique_ptr<CModuleBase> CreateFamilyModule(const ArchitectureEntry& entry,
                                                  CModuleBase* parent) override;

 private:
  ModuleFactory factory_;
};

// The document that finished reading last (never a secondary one); null when none.
CProjDocBase* CurrentDocument();

}  // namespace tarq

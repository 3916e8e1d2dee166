#include "project/ProjDoc.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>
#include <unordered_set>

#include "framework/Bindings.h"
#include "framework/Hints.h"
#include "framework/TextUtil.h"
#include "project/ArchitectureFile.h"
#include "project/DocumentSettings.h"
#include "project/HeaderWriter.h"
#include "project/OptionsFile.h"
#include "project/UnrecognisedDefinitions.h"

namespace fs = std::filesystem;

namespace tarq {

namespace {

CProjDocBase* g_currentDocument = nullptr;

constexpr const char* kAlreadyOpenQuestion =
    "This project file is already open in other application. Do you want to activate it?";

class WaitCursor {
 public:
  explicit WaitCursor(Host& host) : host_(host) { host_.BeginWaitCursor(); }
  ~WaitCursor() { host_.EndWaitCursor(); }

 private:
  Host& host_;
};

// A folder means its "ApplicationConfig/appconfig.h", else its "appconfig.h".
std::string ResolveHeaderPath(const std::string& path) {
  std::error_code error;
  fs::path resolved = path.empty() ? fs::current_path(error) : fs::path(path);
  if (fs::is_directory(resolved, error)) {
    fs::path inConfigFolder = resolved / "ApplicationConfig" / "appconfig.h";
    resolved = fs::exists(inConfigFolder, error) ? inConfigFolder : resolved / "appconfig.h";
  }
  fs::path absolute = fs::absolute(resolved, error);
  return (error ? resolved : absolute).lexically_normal().string();
}

constexpr const char* kDroppedLinesQuestion =
    "The generated section holds %d line(s) that are not definitions, for example \"%s\". Tarq "
    "does not keep them. Save anyway?";
constexpr const char* kChangedOnDiskQuestion =
    "The file has been changed by another program. Reload it and lose your changes, or keep "
    "your version?";
constexpr const char* kInvalidValuesCaption = "Invalid values found (ignoring):";

bool IsExistingFile(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error) && !fs::is_directory(path, error);
}

// The trimmed lines of a text, for telling whether a line is written again.
std::unordered_set<std::string_view> LinesOf(std::string_view text) {
  std::unordered_set<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.insert(TrimView(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

}  // namespace

CProjDocBase* CurrentDocument() { return g_currentDocument; }

// ---- construction ----

CProjDocBase::CProjDocBase(Host& host, DocumentEnvironment environment)
    : host_(&host), environment_(std::move(environment)) {
  RegisterBaseModuleKinds(baseFactory_);
  ResetContent(true);
}

CProjDocBase::CProjDocBase(SecondaryDocumentTag, DocumentEnvironment environment)
    : host_(&silentHost_), environment_(std::move(environment)), secondary_(true) {
  environment_.selfTest = false;
  environment_.reprocess = false;
  RegisterBaseModuleKinds(baseFactory_);
  ResetContent(true);
}

CProjDocBase::~CProjDocBase() {
  ResetContent(true);
  if (g_currentDocument == this) g_currentDocument = nullptr;
}

CProjDoc::CProjDoc(Host& host, DocumentEnvironment environment,
                   const ModuleKindsRegistration& registerKinds)
    : CProjDocBase(host, std::move(environment)) {
  if (registerKinds) registerKinds(factory_);
}

CProjDoc::CProjDoc(SecondaryDocumentTag tag, DocumentEnvironment environment,
                   const ModuleKindsRegistration& registerKinds)
    : CProjDocBase(tag, std::move(environment)) {
  if (registerKinds) registerKinds(factory_);
}

std::unique_ptr<CModuleBase> CProjDoc::CreateFamilyModule(const ArchitectureEntry& entry,
                                                          CModuleBase* parent) {
  return factory_.Create(entry, parent);
}

std::unique_ptr<CModuleBase> CProjDocBase::CreateFamilyModule(const ArchitectureEntry&,
                                                              CModuleBase*) {
  return nullptr;
}

// ---- reset ----

void CProjDocBase::Reset() { ResetContent(true); }

void CProjDocBase::ResetContent(bool releaseLock) {
  Broadcast(kHintDocumentClosing, nullptr);
  if (releaseLock) lock_.Release();
  loaded_ = false;
  warningsEnabled_ = false;
  updatePending_ = true;
  firstUpdateDone_ = false;
  closingWithoutQuestion_ = false;
  saveAndExitPosted_ = false;
  reloadRequested_ = false;
  saveError_.clear();
  refusedLines_.clear();
  headerNotes_.clear();
  readStamp_ = FileStamp{};

  // Views and lists point at modules: empty them before the modules go.
  tree_.Clear();
  warnings_.Clear();
  registerOwners_.clear();
  while (!modules_.empty()) modules_.pop_back();  // later modules may lean on earlier ones
  mainHeader_ = std::make_unique<HeaderFile>(true);
  pluginHeaders_.clear();

  options_ = Options{};
  if (environment_.readUserOptions) {
    options_ = LoadOptions(environment_.optionsFile.empty() ? OptionsFilePath()
                                                            : environment_.optionsFile);
  }
  settings_ = ProjectSettings{};
  savedOptions_ = options_;
  savedSettings_ = settings_;
  partResults_.fill(false);
  DeleteTemporaryPaths();
  path_.clear();
  projectRoot_.clear();
  title_.clear();
}

void CProjDocBase::DeleteTemporaryPaths() {
  for (const std::string& path : temporaryPaths_) {
    std::error_code error;
    fs::remove_all(path, error);
  }
  temporaryPaths_.clear();
}

// ---- opening ----

void CProjDocBase::ReportHeldElsewhere(const LockProbe& probe, const std::string& headerPath) {
  bool activate = true;
  if (idleReached_) activate = host_->AskYesNo(kAlreadyOpenQuestion) == Answer::Yes;
  if (activate && environment_.activateOtherInstance) {
    environment_.activateOtherInstance(probe.ownerPid, headerPath);
  }
}

bool CProjDocBase::OpenProject(const std::string& requestedPath) {
  lastError_.clear();
  const std::string headerPath = ResolveHeaderPath(requestedPath);
  if (!IsExistingFile(headerPath)) {
    lastError_ = Format("File not found %s", headerPath.c_str());
    host_->ShowMessage(lastError_);
    return false;
  }

  if (!secondary_ && environment_.takeLock) {
    LockProbe probe = lock_.Take(headerPath);
    if (probe.state == LockState::HeldElsewhere) {
      lastError_ = kAlreadyOpenQuestion;
      ReportHeldElsewhere(probe, headerPath);
      return false;
    }
    // Opened without a new lock: a lock still held for another project is stale now.
    if (probe.state == LockState::MayOpen && lock_.IsHeld() &&
        lock_.Path() != LockFile::PathFor(headerPath)) {
      lock_.Release();
    }
  }

  ResetContent(false);
  SetPathAndTitle(headerPath);
  if (!mainHeader_->Read(headerPath, host_)) {
    lastError_ = Format("Cannot read %s", headerPath.c_str());
    ResetContent(true);
    return false;
  }

  std::vector<std::string> invalidSettings;
  ReadDocumentSettings(*mainHeader_, settings_, options_, &invalidSettings);
  if (!invalidSettings.empty()) {
    std::string report = std::string(kInvalidValuesCaption) + "\n\n";
    for (const std::string& line : invalidSettings) report += "     " + line + "\n";
    host_->ShowMessage(report, MessageIcon::Exclamation);
  }
  readStamp_ = StampOf(headerPath);
  ReplaceOlderPartName(settings_);
  partResults_ = ComputePartResults(settings_.partName);
  savedOptions_ = options_;
  savedSettings_ = settings_;
  // An import's modules reach their document through their own context; the current
  // document stays the one the user works on.
  if (!secondary_) g_currentDocument = this;

  if (!ReadArchitectureFile()) {
    // Nothing usable was built: leave no half-open project and no lock behind.
    std::string reason = lastError_;
    ResetContent(true);
    lastError_ = reason;
    return false;
  }
  LoadPlugins();
  if (CModuleBase* unrecognised = CreateModule(nullptr, nullptr)) {
    AddModuleAtPath("\\Unrecognized Definitions", "VOID", unrecognised);
  }

  // Two steps: every module builds its own state, then finds its partners.
  for (size_t i = 0; i < modules_.size(); ++i) modules_[i]->InitModule(*this);
  for (size_t i = 0; i < modules_.size(); ++i) modules_[i]->OnModulesReady();
  LoadAllDefines();
  CollectHeaderNotes(invalidSettings);
  warningsEnabled_ = true;
  for (size_t i = 0; i < modules_.size(); ++i) modules_[i]->FixDefaults();
  CheckAllWarnings(true);

  if (!secondary_) {
    if (environment_.selfTest) {
      WaitCursor wait(*host_);
      RunSelfTest();
      environment_.selfTest = false;
    } else if (environment_.reprocess) {
      saveAndExitPosted_ = true;
      if (environment_.postSaveAndExit) environment_.postSaveAndExit();
    }
  }
  return true;
}

void CProjDocBase::SetPathAndTitle(const std::string& headerPath) {
  path_ = headerPath;
  fs::path folder = fs::path(headerPath).parent_path();
  fs::path root = folder.filename() == "ApplicationConfig" ? folder.parent_path() : folder;
  projectRoot_ = root.string();
  title_ = root.filename().string() + " (" + fs::path(headerPath).filename().string() + ")";
}

bool CProjDocBase::ReadArchitectureFile() {
  const std::string& part = settings_.partName;
  const std::string filePath = (fs::path(environment_.programFolder) / (part + ".cfg")).string();
  std::ifstream in;
  if (!part.empty()) in.open(filePath, std::ios::binary);
  if (!in.is_open()) {
    lastError_ = part.empty()
                     ? std::string("Processor unknown or not defined in project header file.\n")
                     : "Architecture configuration file '" + part + ".cfg' not found\n";
    host_->ShowMessage(lastError_, MessageIcon::Exclamation);
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    lastError_ = "Error reading " + filePath;
    return false;
  }

  ArchitectureFile file;
  std::string error;
  if (!ParseArchitectureText(text, file, error)) {
    // No message box for an invalid file; the reason stays available to the caller.
    lastError_ = filePath + ": " + error;
    return false;
  }
  BuildTree(file.tree, nullptr);
  for (const auto& [name, block] : file.moduleInfo) {
    if (CModuleBase* module = FindModule(name, "")) module->SetParameterText(block);
  }
  return true;
}

// An entry of unknown kind makes no node; what was nested under it joins the last node made
// at its level (or that level's parent), where a nested list would have attached it.
void CProjDocBase::BuildTree(const std::vector<ArchitectureNode>& nodes, TreeNode* parentNode) {
  for (const ArchitectureNode& node : nodes) {
    CModuleBase* parentModule = parentNode != nullptr ? parentNode->module : nullptr;
    CModuleBase* module = CreateModule(&node.entry, parentModule);
    if (module != nullptr) {
      TreeNode* added =
          tree_.AddNode(parentNode, ModuleTree::LabelOf(node.entry), module, parentNode == nullptr);
      BuildTree(node.children, added);
    } else if (!node.children.empty()) {
      TreeNode* last = tree_.LastChild(parentNode);
      BuildTree(node.children, last != nullptr ? last : parentNode);
    }
  }
}

void CProjDocBase::LoadPlugins() {
  if (environment_.loadPlugins) environment_.loadPlugins(*this);
}

void CProjDocBase::LoadAllDefines() {
  host_->BeginProgress("Loading modules", static_cast<int>(modules_.size()));
  for (size_t i = 0; i < modules_.size(); ++i) {
    CModuleBase* module = modules_[i].get();
    HeaderFile* source = module->GetDefineSource();
    module->LoadDefines(source != nullptr ? *source : *mainHeader_);
    for (const Register& reg : module->Registers()) {
      registerOwners_.emplace(module->GetDefineName(reg), module);
    }
    host_->StepProgress();
  }
  host_->EndProgress();
  loaded_ = true;
}

// ---- modules ----

CModuleBase* CProjDocBase::CreateModule(const ArchitectureEntry* entry, CModuleBase* parent) {
  ArchitectureEntry unrecognised;
  unrecognised.name = "UNREC";
  unrecognised.kind = "UNREC";
  const ArchitectureEntry& wanted = entry != nullptr ? *entry : unrecognised;
  std::unique_ptr<CModuleBase> module = CreateFamilyModule(wanted, parent);
  if (!module) module = baseFactory_.Create(wanted, parent);
  if (!module) return nullptr;
  if (parent != nullptr && module->GetParentModule() == nullptr) module->SetParentModule(parent);
  return AddModule(std::move(module));
}

CModuleBase* CProjDocBase::AddModule(std::unique_ptr<CModuleBase> module) {
  if (!module) return nullptr;
  for (const auto& listed : modules_) {
    if (listed.get() == module.get()) {
      (void)module.release();  // already owned by the list
      return nullptr;
    }
  }
  module->SetContext(this);
  modules_.push_back(std::move(module));
  return modules_.back().get();
}

TreeNode* CProjDocBase::AddModuleAtPath(const std::string& path, const std::string& groupClass,
                                        CModuleBase* module) {
  return tree_.AddModuleAtPath(path, groupClass, module,
                               [this](const std::string& group, CModuleBase* parentModule) {
                                 ArchitectureEntry placeholder;
                                 placeholder.name = group;
                                 placeholder.kind = group;
                                 return CreateModule(&placeholder, parentModule);
                               });
}

CModuleBase* CProjDocBase::GetRegisterOwner(const std::string& defineName) const {
  auto found = registerOwners_.find(defineName);
  return found != registerOwners_.end() ? found->second : nullptr;
}

CModuleBase* CProjDocBase::FindModule(const std::string& prefix, const std::string& kind) {
  for (const auto& module : modules_) {
    if (module->GetPrefix() == prefix && (kind.empty() || module->GetClass() == kind)) {
      return module.get();
    }
  }
  return nullptr;
}

std::vector<CModuleBase*> CProjDocBase::GetModules() {
  std::vector<CModuleBase*> list;
  list.reserve(modules_.size());
  for (const auto& module : modules_) list.push_back(module.get());
  return list;
}

bool CProjDocBase::TestPart(int n) const {
  return n >= 0 && n < kPartTestCount && partResults_[static_cast<size_t>(n)];
}

bool CProjDocBase::IsModified() const {
  if (!(options_ == savedOptions_) || !(settings_ == savedSettings_)) return true;
  return std::any_of(modules_.begin(), modules_.end(),
                     [](const auto& module) { return module->IsModified(); });
}

// ---- broadcasts and the idle pass ----

void CProjDocBase::AddObserver(DocumentObserver* observer) {
  if (observer != nullptr &&
      std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
    observers_.push_back(observer);
  }
}

void CProjDocBase::RemoveObserver(DocumentObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CProjDocBase::Broadcast(int hint, CModuleBase* sender) {
  // Copies: an observer may unregister, a module may be added while the hint travels.
  std::vector<DocumentObserver*> observers = observers_;
  for (DocumentObserver* observer : observers) observer->OnHint(hint, sender);
  for (size_t i = 0; i < modules_.size(); ++i) {
    if (modules_[i].get() != sender) modules_[i]->OnUpdate(hint, sender);
  }
  if (AsksForWarningsPass(hint) && loaded_ && !inWarningsPass_) CheckAllWarnings(true);
}

void CProjDocBase::CheckAllWarnings(bool deferred) {
  if (deferred) {
    // Any number of requests before the next idle moment make a single pass.
    updatePending_ = true;
    host_->PostWakeUp();
    return;
  }
  if (warningsEnabled_) {
    updatePending_ = false;
    inWarningsPass_ = true;
    for (size_t i = 0; i < modules_.size(); ++i) modules_[i]->CheckWarnings();
    inWarningsPass_ = false;
  }
  Broadcast(kHintWarningsPassDone, nullptr);
}

bool CProjDocBase::OnIdle() {
  // Work a page's first show left for later (its UpdateEnables).
  for (size_t i = 0; i < modules_.size(); ++i) modules_[i]->RunDeferredPageWork();
  if (!updatePending_ || !loaded_) return false;
  if (!firstUpdateDone_) {
    // The first pass after opening recomputes every module before checking.
    firstUpdateDone_ = true;
    Broadcast(kHintRefreshAll, nullptr);
  }
  CheckAllWarnings(false);
  return true;
}

bool CProjDocBase::RunSelfTest() {
  const std::string logPath = (fs::path(projectRoot_) / "tarq_selftest.log").string();
  bool written = true;
  // Opened, extended and closed for every line: a crash mid-test keeps what came before.
  const SelfTestLog writeLine = [&](const std::string& line) {
    std::ofstream out(logPath, std::ios::binary | std::ios::app);
    out << line << "\n";
    if (!out) written = false;
  };
  const std::string title = Format("New Session Started for project %s", projectRoot_.c_str());
  writeLine(title);
  writeLine(std::string(title.size(), '-'));

  std::set<std::string> testedKinds;
  for (size_t i = 0; i < modules_.size(); ++i) {
    CModuleBase* module = modules_[i].get();
    if (!testedKinds.insert(module->GetClass()).second) continue;  // first of each kind
    const bool madeHere = !module->HasPage();
    if (views_.showModule) views_.showModule(module);
    module->CreatePage();
    const std::string heading =
        Format("Module: %s (%s)", module->GetClass().c_str(), module->GetPrefix().c_str());
    writeLine(heading);
    writeLine(std::string(heading.size(), '-'));
    module->SelfTestAll(writeLine);
    writeLine("\n");
    ReleaseTemporaryPage(module, madeHere);
  }
  return written;
}

void CProjDocBase::ReleaseTemporaryPage(CModuleBase* module, bool madeHere) {
  // A page built only for a document-wide step goes again unless it is on screen now.
  const CModuleBase* shown = views_.currentModule ? views_.currentModule() : nullptr;
  if (madeHere && module != shown && module->DestroyWhenHidden()) module->DestroyPage();
}

// ---- saving ----

bool CProjDocBase::ValidateAllModules(bool ask, CModuleBase** failed) {
  if (failed != nullptr) *failed = nullptr;
  CModuleBase* shown = views_.currentModule ? views_.currentModule() : nullptr;
  for (size_t i = 0; i < modules_.size(); ++i) {
    CModuleBase* module = modules_[i].get();
    // The unrecognised definitions have nothing to validate; their page would only list
    // every one of them again.
    if (dynamic_cast<CpmUNREC*>(module) != nullptr && !module->HasPage()) continue;
    // Validation reads the page's controls: build the page when it is not open.
    const bool madeHere = !module->HasPage();
    module->CreatePage();
    module->UpdateValues();
    module->UpdateEnables();
    bool valid = module == shown || module->ValidateControls(false);
    if (!valid && ask) {
      if (views_.showModule) views_.showModule(module);
      valid = module->ValidateControls(true);
    }
    ReleaseTemporaryPage(module, madeHere && valid);
    if (valid) continue;
    if (failed != nullptr) *failed = module;
    return false;
  }
  return true;
}

bool CProjDocBase::BuildModuleText(HeaderFile& header, std::string& text) {
  for (size_t i = 0; i < modules_.size(); ++i) {
    CModuleBase* module = modules_[i].get();
    if (!module->IsDefineSource(&header)) continue;
    if (auto* unrecognised = dynamic_cast<CpmUNREC*>(module)) {
      // Its block is its whole section; a large one goes straight into the text.
      const size_t before = text.size();
      if (unrecognised->IsSelected()) unrecognised->AppendBlock(text, options_.keepUserComments);
      if (text.size() != before) text += '\n';
      continue;
    }
    std::string section = "/*.\n";
    module->GenerateComment(section);
    section += "\n.*/\n";
    // The module appends its parameter block and defines, or replaces the whole section.
    if (!module->WriteDefines(section)) return false;
    // A module left out of the file contributes nothing, not even its comment.
    if (!module->IsSelected()) section.clear();
    if (!section.empty()) {
      text += section;
      text += '\n';
    }
  }
  return true;
}

bool CProjDocBase::SaveProject(const std::string& path) { return SaveProjectTo(path, true); }

bool CProjDocBase::SaveProjectTo(const std::string& path, bool markSaved) {
  WaitCursor wait(*host_);
  saveError_.clear();
  refusedLines_.clear();
  reloadRequested_ = false;
  const bool reprocess = environment_.reprocess;
  if (!reprocess && views_.commitCurrentPage && !views_.commitCurrentPage()) {
    saveError_ = "the page on screen holds a value that is not valid";
    return false;
  }
  bool succeeded = true;
  CModuleBase* invalid = nullptr;
  if (!ValidateAllModules(!reprocess, &invalid)) {
    saveError_ = DescribeInvalidControl(invalid);
    if (!reprocess) return false;
    succeeded = false;  // a batch run still writes what it has, but reports the failure
  }
  if (!ConfirmChangedOnDisk(path)) return false;

  std::string reason;
  HeaderWriteContext context;
  context.settings = &settings_;
  context.options = &options_;
  context.host = host_;
  context.failureReason = &reason;
  auto fail = [&](const std::string& why) {
    succeeded = false;
    if (saveError_.empty()) saveError_ = why;
  };
  for (auto& [key, header] : pluginHeaders_) {
    std::string text;
    if (!BuildModuleText(*header, text)) {
      fail("a module question was cancelled");
      return false;
    }
    // What no plugin module claimed stays in its header: only the main header has a
    // module of its own for the rest.
    CpmUNREC unclaimed;
    unclaimed.LoadDefines(*header);
    unclaimed.AppendBlock(text, options_.keepUserComments);
    if (!ConfirmDroppedLines(*header, text)) {
      fail(Format("'%s' holds lines that are not definitions", header->path.c_str()));
      continue;
    }
    if (!WriteHeaderFile(*header, header->path, text, false, context)) fail(reason);
  }
  std::string text;
  if (!BuildModuleText(*mainHeader_, text)) {
    fail("a module question was cancelled");
    return false;
  }
  bool mainWritten = false;
  if (!ConfirmDroppedLines(*mainHeader_, text)) {
    fail(Format("'%s' holds lines that are not definitions", path.c_str()));
  } else if (!WriteHeaderFile(*mainHeader_, path, text, true, context)) {
    fail(reason);
  } else {
    mainWritten = true;
  }
  if (mainWritten && path == path_) {
    // What the file holds now: later saves compare against it, and what reading found is
    // gone from it except the settings lines kept as they stood.
    readStamp_ = StampOf(path);
    std::erase_if(headerNotes_, [](const HeaderNote& note) {
      return !note.module.empty() || !note.lines.empty();
    });
    mainHeader_->skippedLines.clear();
  }

  if (succeeded && markSaved) {
    for (const auto& module : modules_) module->MarkSaved();
    // The saved state is what the file now holds, so a saved project is no longer modified.
    savedOptions_ = options_;
    savedSettings_ = settings_;
  }
  return succeeded;
}

bool CProjDocBase::ConfirmDroppedLines(const HeaderFile& header, const std::string& moduleText) {
  if (header.skippedLines.empty()) return true;
  // A line the save writes again (an "#undef" of a register, say) is not lost.
  const std::unordered_set<std::string_view> written = LinesOf(moduleText);
  std::vector<std::string> dropped;
  for (const std::string& line : header.skippedLines)
    if (!written.count(TrimView(line))) dropped.push_back(line);
  if (dropped.empty()) return true;
  const std::string question =
      Format(kDroppedLinesQuestion, static_cast<int>(dropped.size()), dropped.front().c_str());
  if (host_->AskYesNoLosingData(question) == Answer::Yes) return true;
  refusedLines_.insert(refusedLines_.end(), dropped.begin(), dropped.end());
  return false;
}

bool CProjDocBase::ConfirmChangedOnDisk(const std::string& target) {
  if (!readStamp_.known || target != path_) return true;
  const FileStamp now = StampOf(target);
  if (!now.known || now == readStamp_) return true;  // gone: nothing to overwrite
  switch (host_->AskReloadOrKeep(kChangedOnDiskQuestion)) {
    case Answer::No:  // keep this version: it overwrites the file
      return true;
    case Answer::Yes:
      reloadRequested_ = true;
      saveError_ =
          Format("'%s' has been changed by another program; it is to be reloaded", target.c_str());
      return false;
    default:
      saveError_ =
          Format("'%s' has been changed by another program since it was read", target.c_str());
      return false;
  }
}

CProjDocBase::FileStamp CProjDocBase::StampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return {true, static_cast<uintmax_t>(info.st_size),
          static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

void CProjDocBase::CollectHeaderNotes(const std::vector<std::string>& invalidSettings) {
  headerNotes_.clear();
  for (const std::string& line : invalidSettings)
    headerNotes_.push_back({"", std::string(kInvalidValuesCaption) + " " + line, {}});
  // Registers whose value did not read: the save writes their reset values instead.
  for (const auto& module : modules_) {
    for (const Register& reg : module->Registers()) {
      if (!reg.Has(LOADED) || reg.Has(STRVALUE) || reg.Has(NOVALUE)) continue;
      uint32_t value = 0;
      if (ReadCIntegerPrefix(reg.text, value)) continue;
      headerNotes_.push_back({module->GetPrefix(),
                              std::string(kInvalidValuesCaption) + " #define " +
                                  module->GetDefineName(reg) + " " + reg.text,
                              {}});
    }
  }
  // An "#undef" the save writes again (a presence-only register that is off, with every
  // register written) is Tarq's own line, not one that would be lost.
  std::unordered_set<std::string> rewritten;
  if (options_.generateDefaults && !mainHeader_->skippedLines.empty()) {
    for (const auto& module : modules_) {
      if (!module->IsSelected() || !module->IsDefineSource(mainHeader_.get())) continue;
      for (const Register& reg : module->Registers())
        if (reg.Has(NOVALUE) && !reg.Has(DUMMYREG) && !reg.Has(INTERNAL) && reg.value == 0)
          rewritten.insert("#undef " + module->GetDefineName(reg));
    }
  }
  std::vector<std::string> skipped;
  for (const std::string& line : mainHeader_->skippedLines)
    if (!rewritten.count(line)) skipped.push_back(line);
  if (!skipped.empty()) {
    headerNotes_.push_back(
        {"",
         Format("The generated section holds %d line(s) that are not definitions, for example "
                "\"%s\". Tarq does not keep them.",
                static_cast<int>(skipped.size()), skipped.front().c_str()),
         skipped});
  }
}

std::string CProjDocBase::DescribeInvalidControl(CModuleBase* module) {
  if (module == nullptr) return "a module page holds a value that is not valid";
  std::string control;
  std::string message;
  if (Page* page = module->GetPage()) {
    // The first control whose check fails, with the message it would show.
    CollectingHost collecting;
    Host* previous = host_;
    host_ = &collecting;
    std::function<bool(Page&)> find = [&](Page& current) {
      for (size_t i = 0; i < current.GetControlCount(); ++i) {
        Control& item = current.ControlAt(i);
        if (!item.shown || !item.enabled) continue;
        if (item.binding && !item.binding->Validate(true)) {
          control = item.binding->GetLabel();
          if (control.empty()) control = item.text;
          if (control.empty()) control = Format("#%u", item.id);
          return true;
        }
        if (Page* child = current.GetChildPage(item.id))
          if (find(*child)) return true;
      }
      return false;
    };
    find(*page);
    host_ = previous;
    for (const std::string& text : collecting.Messages()) {
      if (!message.empty()) message += " ";
      message += Trim(text);
    }
  }
  std::string description = "the selection of module " + module->GetLabel() + " is not valid";
  if (!control.empty()) description += ": control \"" + control + "\"";
  if (!message.empty()) description += ": " + message;
  return description;
}

bool CProjDocBase::Save() { return SaveProject(path_); }

bool CProjDocBase::SaveAs(const std::string& target) {
  LockFile targetLock;
  if (!secondary_) {
    LockProbe probe = targetLock.Take(target);
    if (probe.state == LockState::HeldElsewhere) {
      ReportHeldElsewhere(probe, target);
      return false;
    }
  }
  // Until the save succeeds the document stays at its old path under its old lock;
  // targetLock releases the new one when we return early.
  if (!SaveProject(target)) return false;
  if (!IsExistingFile(target)) return true;
  if (targetLock.IsHeld()) {
    lock_ = std::move(targetLock);
  } else if (lock_.IsHeld() && lock_.Path() != LockFile::PathFor(target)) {
    lock_.Release();
  }
  std::error_code error;
  fs::path absolute = fs::absolute(target, error);
  SetPathAndTitle((error ? fs::path(target) : absolute).lexically_normal().string());
  readStamp_ = StampOf(path_);  // the file the document now stands for, as just written
  return true;
}

bool CProjDocBase::SaveCopyAs(const std::string& target) {
  if (!secondary_) {
    LockProbe probe = LockFile::Check(target);
    if (probe.state == LockState::HeldElsewhere) {
      ReportHeldElsewhere(probe, target);
      return false;
    }
  }
  // The project's own file still lacks the changes: it stays modified.
  return SaveProjectTo(target, false);
}

bool CProjDocBase::SaveAndExit() {
  if (!Save()) return false;
  closingWithoutQuestion_ = true;
  return true;
}

}  // namespace tarq

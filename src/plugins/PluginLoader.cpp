#include "plugins/PluginLoader.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "framework/Host.h"
#include "framework/TextUtil.h"
#include "plugins/Automation.h"
#include "plugins/PluginModule.h"
#include "plugins/Regex.h"
#include "project/ModuleTree.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBadDeviceFilter = "Invalid device filter in plugin file %1: ";
constexpr const char* kArchiveRefused = "Plugin archive %1 was not loaded: ";

bool HasEnding(const fs::path& path, const char* ending) {
  const std::string name = path.filename().string();
  return name.size() > std::string_view(ending).size() && EndsWith(ToLower(name), ending);
}

std::vector<fs::path> SortedEntries(const std::string& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string Resolved(const std::string& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  return error ? fs::path(path).lexically_normal().string() : resolved.string();
}

}  // namespace

std::string UserPluginFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  fs::path base;
  if (data != nullptr && *data == '/') {
    base = data;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return {};
    base = fs::path(home) / ".local" / "share";
  }
  return (base / "Velmor" / "Tarq Corvex" / "plugins").string();
}

PluginLoader::PluginLoader(CProjDocBase& doc, bool report) : doc_(doc), report_(report) {}

void PluginLoader::Report(const char* text, const std::string& argument) {
  lastProblem_ = ReplaceAll(text, "%1", argument);
  if (report_) doc_.GetHost().ShowMessage(lastProblem_, MessageIcon::Exclamation);
}

void PluginLoader::LoadAll() {
  const std::string folders[] = {doc_.GetProgramFolder(), UserPluginFolder(),
                                 fs::path(doc_.GetPath()).parent_path().string()};
  for (const std::string& folder : folders) {
    std::error_code error;
    if (!folder.empty() && fs::is_directory(folder, error)) LoadPlugins(folder, false, 0);
  }
}

int PluginLoader::LoadPlugins(const std::string& folder, bool scan, int depth) {
  // The same folder reached again (twice named, or through a link) is not read again.
  if (depth > kPluginNestingLimit || !visitedFolders_.insert(Resolved(folder)).second) return 0;
  const std::vector<fs::path> entries = SortedEntries(folder);
  int loaded = 0;
  for (const fs::path& entry : entries) {
    if (!HasEnding(entry, ".tarq")) continue;
    std::error_code error;
    if (fs::is_directory(entry, error)) {
      loaded += LoadPlugins(entry.string(), true, depth + 1);
    } else if (fs::is_regular_file(entry, error)) {
      loaded += LoadArchive(entry.string(), depth + 1);
    }
  }
  if (!scan) return loaded;
  for (const fs::path& entry : entries) {
    std::error_code error;
    if (HasEnding(entry, ".ini") && fs::is_regular_file(entry, error) &&
        LoadPluginFile(entry.string()))
      ++loaded;
  }
  return loaded;
}

int PluginLoader::LoadArchive(const std::string& path, int depth) {
  if (depth > kPluginNestingLimit) {
    Report((std::string(kArchiveRefused) + "nested too deeply").c_str(), path);
    return 0;
  }
  std::string error;
  const std::string folder = MakePrivateFolder(error);
  if (folder.empty()) {
    Report((std::string(kArchiveRefused) + error).c_str(), path);
    return 0;
  }
  doc_.AddTemporaryPath(folder);
  if (!ExtractArchive(path, folder, budget_, error)) {
    Report((std::string(kArchiveRefused) + error).c_str(), path);
    return 0;
  }
  return LoadPlugins(folder, true, depth);
}

bool PluginLoader::LoadPluginFile(const std::string& path) {
  CPluginFile file;
  if (!file.Load(path)) {
    Report(kPluginFileError, path);
    return false;
  }
  for (const CPluginInfo& info : file.Plugins()) CreatePluginModule(info);
  return true;
}

bool PluginLoader::ResolveHeaderPath(const std::string& name, std::string& path) const {
  const std::string relative = ReplaceAll(name, "\\", "/");
  if (relative.empty() || relative.front() == '/' ||
      (relative.size() >= 2 && std::isalpha(static_cast<unsigned char>(relative[0])) &&
       relative[1] == ':'))
    return false;
  const fs::path full = (fs::path(doc_.GetPath()).parent_path() / relative).lexically_normal();
  const fs::path root = fs::path(doc_.GetProjectRoot()).lexically_normal();
  const fs::path inside = full.lexically_relative(root);
  if (inside.empty() || *inside.begin() == ".." || *inside.begin() == ".") return false;
  path = full.string();
  return true;
}

CPluginModule* PluginLoader::CreatePluginModule(const CPluginInfo& info) {
  lastProblem_.clear();
  if (!info.deviceFilter.empty()) {
    Regex filter;
    if (!filter.Compile(info.deviceFilter)) {
      // A filter that does not compile matches no part.
      Report((std::string(kBadDeviceFilter) + filter.GetError()).c_str(),
             info.filePath.empty() ? info.id : info.filePath);
      return nullptr;
    }
    if (!filter.Search(doc_.GetSettings().partName)) return nullptr;
  }
  // A plugin may not take the name of any module, of its own class or another.
  if (doc_.FindModule(info.id, "") != nullptr) {
    Report(kPluginDuplicate, info.id);
    return nullptr;
  }
  if (SplitTreePath(info.treePath).size() > kPluginTreeDepthLimit) {
    Report((std::string(kPluginNotCreated) + " (tree path deeper than " +
            std::to_string(kPluginTreeDepthLimit) + " levels)")
               .c_str(),
           info.id);
    return nullptr;
  }
  HeaderFile* header = nullptr;
  if (!info.headerFile.empty()) {
    std::string path;
    if (!ResolveHeaderPath(info.headerFile, path)) {
      Report(kPluginNotCreated, info.id);
      lastProblem_ += " (header file outside the project folder)";
      return nullptr;
    }
    if (path != doc_.GetPath()) {
      auto& headers = doc_.GetPluginHeaders();
      std::unique_ptr<HeaderFile>& slot = headers[ToLower(path)];
      if (!slot) {
        auto made = std::make_unique<HeaderFile>(false);
        std::error_code error;
        if (fs::exists(path, error)) {
          // A header that exists but does not read would be overwritten on save.
          if (!made->Read(path, report_ ? &doc_.GetHost() : nullptr)) {
            headers.erase(ToLower(path));
            Report(kPluginNotCreated, info.id);
            return nullptr;
          }
        } else {
          // Made on the first save, not now.
          made->path = path;
          made->Parse("");
        }
        slot = std::move(made);
      }
      header = slot.get();
    }
  }
  auto module = std::make_unique<CPluginModule>(info);
  if (header != nullptr) module->SetDefineSource(header);
  if (doc_.AddModuleAtPath(info.treePath, "PLUGINS", module.get()) == nullptr) {
    Report(kPluginNotCreated, info.id);
    return nullptr;
  }
  return static_cast<CPluginModule*>(doc_.AddModule(std::move(module)));
}

void EnablePlugins(DocumentEnvironment& environment) {
  environment.loadPlugins = [](CProjDocBase& doc) {
    if (!doc.IsSecondary()) WatchDocumentForAutomation(doc);
    PluginLoader(doc, !doc.IsSecondary()).LoadAll();
  };
}

}  // namespace tarq

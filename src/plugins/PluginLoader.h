// Finds plugin archives and description files in the plugin folders and creates their
// modules in a document.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "plugins/PluginArchive.h"
#include "plugins/PluginFile.h"

namespace tarq {

class CProjDocBase;
class CPluginModule;
struct DocumentEnvironment;

// Message texts of plugin loading; "%1" is the file name or the plugin id.
inline constexpr const char* kPluginFileError = "Error loading plugin file %1";
inline constexpr const char* kPluginDuplicate = "Duplicate Plugin Module will not be loaded: %1";
inline constexpr const char* kPluginNotCreated = "Could not create Plugin Module item: %1";

// Nesting of ".tarq" folders and archives inside one another that is followed.
inline constexpr int kPluginNestingLimit = 8;
// Levels of the module tree a plugin's tree path may reach, its node included. Every level
// is a folder module, and the tree is walked level by level.
inline constexpr size_t kPluginTreeDepthLimit = 16;

// $XDG_DATA_HOME/Velmor/Tarq Corvex/plugins (default ~/.local/share/...).
std::string UserPluginFolder();

class PluginLoader {
 public:
  // `report`: show messages through the document's host (never for a secondary document).
  PluginLoader(CProjDocBase& doc, bool report);

  // The program folder, the user's plugin folder and the main header's folder, in this
  // order, each once; description files directly in them are not read.
  void LoadAll();
  // Every ".tarq" entry of the folder (a folder or an archive), and with `scan` every
  // description file in it. Returns the number of description files loaded.
  int LoadPlugins(const std::string& folder, bool scan, int depth = 0);
  // Loads one description file and creates its modules; false when it yields no plugin.
  bool LoadPluginFile(const std::string& path);
  // Creates, places and lists one plugin module; null when it was skipped or refused.
  CPluginModule* CreatePluginModule(const CPluginInfo& info);

  // What was refused or skipped, for callers without a host (the automation object).
  const std::string& GetLastProblem() const { return lastProblem_; }

 private:
  int LoadArchive(const std::string& path, int depth);
  void Report(const char* text, const std::string& argument);
  // The full path of a plugin header inside the project folder; false when the name is
  // absolute or leads out of it.
  bool ResolveHeaderPath(const std::string& name, std::string& path) const;

  CProjDocBase& doc_;
  bool report_;
  uint64_t budget_ = kArchiveSizeBudget;
  std::set<std::string> visitedFolders_;  // resolved paths: a folder link is followed once
  std::string lastProblem_;
};

// Installs the plugin loader into a document environment.
void EnablePlugins(DocumentEnvironment& environment);

}  // namespace tarq

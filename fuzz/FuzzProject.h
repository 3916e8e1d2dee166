// A real project for the fuzz targets whose readers only run inside an open document: a
// small part's project in a private temporary folder, made once per fuzzer process and
// removed when it ends. The user's own plugin folder is pointed inside that folder, so no
// plugin of the machine takes part.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "plugins/PluginLoader.h"
#include "project/ProjDoc.h"

namespace fuzzproject {

namespace fs = std::filesystem;

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A small part: few modules, so that opening the project costs little next to what the
// target reads.
inline constexpr const char* kArchitecture =
    ".BEGIN_TREE_LIST\n"
    "OCCS OCCS NONE : \"!Clock!OCCS\"\n"
    "SYS SYS_V2_Classic NONE INT:2,3\n"
    "SCI_0 SCI NONE INT:20,21 \"SCI 0\"\n"
    "PIT_0 PIT NONE :0x10\n"
    ".END_TREE_LIST\n";

inline void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  Check(static_cast<bool>(out));
}

// The private folder: "program" holds the architecture file, "p" is the project (its header
// in p/ApplicationConfig), "data" the user's data folder.
inline const fs::path& Sandbox() {
  static const fs::path sandbox = [] {
    char pattern[] = "/tmp/tarq-fuzz-XXXXXX";
    Check(::mkdtemp(pattern) != nullptr);
    const fs::path made = pattern;
    WriteFile(made / "program" / "CVX-07.cfg", kArchitecture);
    WriteFile(made / "p" / "ApplicationConfig" / "appconfig.h",
              "#define CVX-07\n#define APPCFG_EXTCLK 8.0\n#define SCI_0_SCIBR_INIT 0x0034\n");
    fs::create_directories(made / "data");
    ::setenv("XDG_DATA_HOME", (made / "data").c_str(), 1);
    // Gone again when the fuzzer ends; the path is kept where no destructor reaches it.
    static char kept[4096];
    std::snprintf(kept, sizeof kept, "%s", made.c_str());
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::path(kept), ignored);
    });
    return made;
  }();
  return sandbox;
}

inline fs::path ProjectFolder() { return Sandbox() / "p"; }
inline fs::path HeaderFolder() { return ProjectFolder() / "ApplicationConfig"; }

// The small part's architecture file; plugins as the program loads them when asked.
inline tarq::DocumentEnvironment Environment(bool plugins) {
  tarq::DocumentEnvironment environment;
  environment.programFolder = (Sandbox() / "program").string();
  environment.readUserOptions = false;
  environment.takeLock = false;
  if (plugins) tarq::EnablePlugins(environment);
  return environment;
}

// Opens the sandbox project in `doc` with plugins loaded, then runs a warnings pass and the
// idle step, as the program does after an open.
inline void OpenWithPlugins(tarq::CProjDoc& doc) {
  Check(doc.OpenProject(ProjectFolder().string()));
  doc.CheckAllWarnings(false);
  doc.OnIdle();
}

}  // namespace fuzzproject

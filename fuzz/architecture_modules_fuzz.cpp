// libFuzzer target: an architecture file, however malformed, opens as a project whose modules
// are all created, wired to each other and checked without crashing. The module information
// of timers (PINS, channel names) indexes fixed tables and is the main interest.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace {

namespace fs = std::filesystem;

// A project of the classic part CVX-07 whose architecture file is the input.
const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path root = fs::temp_directory_path() / ("tarq-archmodules-" + std::to_string(::getpid()));
    fs::create_directories(root / "project" / "ApplicationConfig");
    std::ofstream(root / "project" / "ApplicationConfig" / "appconfig.h") << "#define CVX-07\n";
    return root;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& folder = Folder();
  {
    std::ofstream cfg(folder / "CVX-07.cfg", std::ios::binary | std::ios::trunc);
    cfg.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  tarq::DocumentEnvironment environment;
  environment.programFolder = folder.string();
  environment.readUserOptions = false;
  environment.takeLock = false;
  tarq::SilentHost host;
  tarq::CProjDoc doc(host, environment, tarq::RegisterBuiltInModuleKinds);
  if (doc.OpenProject((folder / "project").string())) {
    // Every module's checks and values, then every page built once.
    doc.CheckAllWarnings(false);
    for (tarq::CModuleBase* module : doc.GetModules()) {
      if (!module->CreatePage()) continue;
      module->RunDeferredPageWork();
      module->UpdateValues();
      module->DestroyPage();
    }
  }
  return 0;
}

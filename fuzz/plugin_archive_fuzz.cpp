// Feeds arbitrary bytes to the plugin archive reader as a ZIP file. Whatever it holds,
// nothing may be written outside the private folder, the size budget holds, and a refused
// archive leaves the folder empty. An archive that extracts is then loaded as the program
// loads a plugin archive beside a project's header: its nested archives and description
// files are read and their modules made.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "FuzzProject.h"
#include "modules/ModuleKinds.h"
#include "plugins/PluginArchive.h"

namespace {

namespace fs = std::filesystem;
using fuzzproject::Check;

// One parent for every extraction: only the private folder may ever appear in it.
const fs::path& Parent() {
  static const fs::path parent = fuzzproject::Sandbox() / "extract";
  return parent;
}

uintmax_t BytesBelow(const fs::path& folder) {
  uintmax_t total = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    Check(!it->is_symlink());
    if (it->is_regular_file()) total += it->file_size();
  }
  return total;
}

// Extracts the archive file as the plugin loader does; true when it was taken.
bool Extract(const fs::path& archive) {
  const fs::path folder = Parent() / "out";
  std::error_code error;
  fs::create_directories(folder, error);
  // A small budget, so that the size cap is reached often.
  const uint64_t budget = 1 << 20;
  uint64_t left = budget;
  std::string reason;
  const bool extracted = tarq::ExtractArchive(archive.string(), folder.string(), left, reason);
  Check(extracted || !reason.empty());
  Check(left <= budget);
  if (!extracted) Check(fs::is_empty(folder));
  Check(BytesBelow(folder) <= budget - left);
  // Nothing beside the extraction folder.
  for (const auto& entry : fs::directory_iterator(Parent())) Check(entry.path() == folder);
  fs::remove_all(folder, error);
  return extracted;
}

// The archive as a plugin beside the project's header.
void LoadInProject() {
  tarq::SilentHost host;
  tarq::CProjDoc doc(host, fuzzproject::Environment(/*plugins=*/true),
                     tarq::RegisterBuiltInModuleKinds);
  fuzzproject::OpenWithPlugins(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path archive = fuzzproject::HeaderFolder() / "Fuzz.tarq";
  fuzzproject::WriteFile(archive, std::string(reinterpret_cast<const char*>(data), size));
  if (Extract(archive)) LoadInProject();
  return 0;
}

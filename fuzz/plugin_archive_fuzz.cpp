// Feeds arbitrary bytes to the plugin archive reader as a ZIP archive. Whatever it holds,
// nothing may be written outside the private folder, the size budget holds, and a refused
// archive leaves the folder empty.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "plugins/PluginArchive.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// One parent for every run: only the private folder may ever appear in it.
const fs::path& Parent() {
  static const fs::path parent = [] {
    std::string error;
    const std::string made = tarq::MakePrivateFolder(error);
    Check(!made.empty());
    // Gone again when the fuzzer ends; the path is kept where no destructor reaches it.
    static char kept[4096];
    std::snprintf(kept, sizeof kept, "%s", made.c_str());
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::path(kept), ignored);
    });
    return fs::path(made);
  }();
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path folder = Parent() / "out";
  std::error_code error;
  fs::create_directory(folder, error);
  // A small budget, so that the size cap is reached often.
  const uint64_t budget = 1 << 20;
  uint64_t left = budget;
  std::string reason;
  const bool extracted = tarq::ExtractArchiveFromMemory(data, size, folder.string(), left, reason);
  Check(extracted || !reason.empty());
  Check(left <= budget);
  if (!extracted) Check(fs::is_empty(folder));
  Check(BytesBelow(folder) <= budget - left);
  // Nothing beside the extraction folder.
  for (const auto& entry : fs::directory_iterator(Parent())) Check(entry.path() == folder);
  fs::remove_all(folder, error);
  return 0;
}

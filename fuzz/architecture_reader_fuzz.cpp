// libFuzzer target: the architecture file reader must take any text without crashing, and
// report an error exactly when it rejects the tree list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/ArchitectureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tarq::ArchitectureFile file;
  std::string error;
  const bool ok = tarq::ParseArchitectureText(text, file, error);
  if (ok != error.empty()) std::abort();
  if (!ok && !file.tree.empty()) std::abort();
  for (const auto& [name, block] : file.moduleInfo) {
    if (block.size() > size || name.size() > size) std::abort();
  }
  return 0;
}

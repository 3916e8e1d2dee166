// Feeds arbitrary bytes to the plugin description-file reader. Every plugin entry it yields
// must be whole: an id, a class, a display name, a tree path, and register rows whose flags
// carry a width.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/Register.h"
#include "plugins/PluginFile.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tarq::CPluginFile file;
  const bool parsed = file.Parse("/plugins/fuzz.tarq/fuzz.ini", text);
  Check(parsed == !file.Plugins().empty());
  for (const tarq::CPluginInfo& info : file.Plugins()) {
    Check(!info.id.empty() && !info.className.empty());
    Check(!info.displayName.empty() && !info.treePath.empty());
    Check(info.PageAddress().rfind("file://", 0) == 0);
    if (!info.registers) continue;
    for (const auto& row : info.registers->Rows())
      Check((row.flags & (tarq::DW8 | tarq::DW16 | tarq::DW32)) != 0);
  }
  return 0;
}

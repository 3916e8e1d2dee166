// Feeds arbitrary bytes to the plugin description-file reader. Every plugin entry it yields
// must be whole: an id, a class, a display name, a tree path, and register rows whose flags
// carry a width. A file that yields plugins is then loaded as the program loads it, beside
// the header of an open project: each plugin's device filter, header file and tree path are
// applied, its module is made, checked and its page built.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzProject.h"
#include "framework/Register.h"
#include "modules/ModuleKinds.h"
#include "plugins/PluginFile.h"
#include "plugins/PluginModule.h"

namespace {

using fuzzproject::Check;

void LoadInProject(const std::string& text) {
  fuzzproject::WriteFile(fuzzproject::HeaderFolder() / "Fuzz.tarq" / "fuzz.ini", text);
  tarq::SilentHost host;
  tarq::CProjDoc doc(host, fuzzproject::Environment(/*plugins=*/true),
                     tarq::RegisterBuiltInModuleKinds);
  fuzzproject::OpenWithPlugins(doc);
  for (tarq::CModuleBase* module : doc.GetModules()) {
    if (dynamic_cast<tarq::CPluginModule*>(module) == nullptr) continue;
    std::string comment;
    module->GenerateComment(comment);
    if (!module->CreatePage()) continue;
    module->UpdateValues();
    module->DestroyPage();
  }
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
  if (parsed) LoadInProject(text);
  return 0;
}

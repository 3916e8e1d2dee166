// A small document for the link, summary and history tests: modules by prefix, a recorded
// broadcast, a page "on screen" and a host that records what the system opener was asked.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/Warnings.h"
#include "ModuleListContext.h"

namespace tarq {

class OpenerHost : public CollectingHost {
 public:
  bool ShellOpen(const std::string& target) override {
    opened.push_back(target);
    return openSucceeds;
  }
  std::vector<std::string> opened;
  bool openSucceeds = true;
};

class LinkTestContext : public ModuleListContext<OpenerHost> {
 public:
  void CheckAllWarnings(bool deferred) override { (deferred ? deferredPasses : passes)++; }
  bool ShowModule(CModuleBase* module) override {
    shown.push_back(module);
    if (refuseToLeave && module != current) return false;
    if (module != nullptr) module->CreatePage();
    current = module;
    return true;
  }
  CModuleBase* GetCurrentModule() override { return current; }

  // Attaches a module the way the document does.
  template <typename M>
  M& Add(M& module) {
    modules.push_back(&module);
    module.InitModule(*this);
    return module;
  }

  std::vector<CModuleBase*> shown;
  CModuleBase* current = nullptr;
  bool refuseToLeave = false;
  int deferredPasses = 0;
  int passes = 0;
};

inline ArchitectureEntry LinkEntry(const std::string& name, const std::string& kind,
                                   const std::string& displayName = {}) {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = kind;
  entry.linkedModule = "NONE";
  entry.displayName = displayName;
  return entry;
}

}  // namespace tarq

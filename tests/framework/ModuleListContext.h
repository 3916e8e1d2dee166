// The smallest document the framework tests need: modules by prefix, a warning list, the
// broadcasts recorded, and a host of the test's choosing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/Warnings.h"

namespace tarq {

template <typename HostType>
class ModuleListContext : public ModuleContext {
 public:
  Host& GetHost() override { return host; }
  const Options& GetOptions() const override { return options; }
  CModuleBase* FindModule(const std::string& prefix, const std::string& kind) override {
    for (CModuleBase* module : modules)
      if (module->GetPrefix() == prefix && (kind.empty() || module->GetClass() == kind))
        return module;
    return nullptr;
  }
  std::vector<CModuleBase*> GetModules() override { return modules; }
  void Broadcast(int hint, CModuleBase* sender) override { hints.push_back({hint, sender}); }
  WarningList* GetWarnings() override { return &warnings; }

  HostType host;
  Options options;
  std::vector<CModuleBase*> modules;
  WarningList warnings;
  std::vector<std::pair<int, CModuleBase*>> hints;
};

}  // namespace tarq

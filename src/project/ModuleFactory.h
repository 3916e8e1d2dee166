// The module factory: module kind (exact, case-sensitive) -> creator of the module class.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/ModuleBase.h"

namespace tarq {

using ModuleCreator = std::function<std::unique_ptr<CModuleBase>(const ArchitectureEntry& entry,
                                                                 CModuleBase* parent)>;

class ModuleFactory {
 public:
  // A later registration of the same kind replaces the earlier one.
  void Register(const std::string& kind, ModuleCreator creator);
  bool Knows(const std::string& kind) const;
  // Null for an unknown kind.
  std::unique_ptr<CModuleBase> Create(const ArchitectureEntry& entry, CModuleBase* parent) const;
  std::vector<std::string> Kinds() const;

  // Convenience for the common constructor shape (entry, parent).
  template <class ModuleClass>
  void Register(const std::string& kind) {
    Register(kind, [](const ArchitectureEntry& entry, CModuleBase* parent) {
      return std::unique_ptr<CModuleBase>(std::make_unique<ModuleClass>(entry, parent));
    });
  }

 private:
  std::map<std::string, ModuleCreator> creators_;
};

// Adds a set of module kinds to a factory. The document gets the chip family's kinds this
// way from the program that makes it (RegisterBuiltInModuleKinds in modules/ModuleKinds.h),
// since the modules are built on top of the document and it cannot name them itself.
using ModuleKindsRegistration = std::function<void(ModuleFactory& factory)>;

// The kinds every document knows whatever the chip family: UNREC, VOID and PLUGINS.
void RegisterBaseModuleKinds(ModuleFactory& factory);

}  // namespace tarq

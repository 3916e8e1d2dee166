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

// The module kinds of the Corvex family (the chip document's factory). Each module family
// adds its registration call in src/modules/ModuleKinds.cpp; this explicit list replaces
// static self-registration, which a static library's linker would drop.
void RegisterBuiltInModuleKinds(ModuleFactory& factory);

// The kinds every document knows whatever the chip family: UNREC, VOID and PLUGINS.
void RegisterBaseModuleKinds(ModuleFactory& factory);

}  // namespace tarq

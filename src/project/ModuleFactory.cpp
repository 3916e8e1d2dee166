#include "project/ModuleFactory.h"

#include "project/UnrecognisedDefinitions.h"

namespace tarq {

void ModuleFactory::Register(const std::string& kind, ModuleCreator creator) {
  creators_[kind] = std::move(creator);
}

bool ModuleFactory::Knows(const std::string& kind) const { return creators_.count(kind) != 0; }

std::unique_ptr<CModuleBase> ModuleFactory::Create(const ArchitectureEntry& entry,
                                                   CModuleBase* parent) const {
  auto found = creators_.find(entry.kind);
  if (found == creators_.end() || !found->second) return nullptr;
  return found->second(entry, parent);
}

std::vector<std::string> ModuleFactory::Kinds() const {
  std::vector<std::string> kinds;
  for (const auto& [kind, creator] : creators_) kinds.push_back(kind);
  return kinds;
}

void RegisterBaseModuleKinds(ModuleFactory& factory) {
  factory.Register("UNREC",
                   [](const ArchitectureEntry&, CModuleBase*) { return CreateUnrecModule(); });
  factory.Register("VOID", CreateVoidModule);
  factory.Register("PLUGINS", CreatePluginsModule);
}

}  // namespace tarq

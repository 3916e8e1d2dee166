#include "framework/ModuleBase.h"

namespace tarq {

CModuleBase::CModuleBase(const ArchitectureEntry& entry) : entry_(entry) {}

CModuleBase::~CModuleBase() = default;

std::string CModuleBase::GetDisplayName() const {
  return entry_.displayName.empty() ? entry_.name : entry_.displayName;
}

std::string CModuleBase::GetLabel() const {
  std::string label = GetDisplayName();
  // "SCI_0 - SCI" tells instances apart; "OCCS" alone says it all.
  if (label != entry_.kind) label += " - " + entry_.kind;
  return label;
}

}  // namespace tarq

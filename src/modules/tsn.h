// The temperature sensor of the Tebo group ("TSN"): its power switch.
#pragma once

#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

class CpmTSN : public CDeclaredModule {
 public:
  explicit CpmTSN(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
};

void RegisterTsnModuleKinds(ModuleFactory& factory);

}  // namespace tarq

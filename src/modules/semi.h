// The external memory interface of CVX-03, CVX-04 and CVX-37 ("SEMI"): the bus control on the
// main page and one sub-page per chip select (base address, block size, access and timing).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

class CpmSEMI : public CDeclaredModule {
 public:
  static constexpr int kChipSelects = 8;
  // The placeholder of chip select n's sub-page; its controls are (placeholder << 16) | id.
  static uint32_t SubPageId(int chipSelect);

  explicit CpmSEMI(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  ~CpmSEMI() override;

  void InitModule(ModuleContext& doc) override;
  void UpdateEnables() override;

  // The sub-page declaration of chip select n.
  const PageDeclaration& ChipSelect(int n) const { return *chipSelects_[static_cast<size_t>(n)]; }
  // The block a chip select decodes, in words, from its block-size field.
  static uint32_t BlockWords(uint32_t sizeField);

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void DeclareChipSelect(PageDeclaration& d, int n);

  std::vector<std::unique_ptr<PageDeclaration>> chipSelects_;
};

void RegisterSemiModuleKinds(ModuleFactory& factory);

}  // namespace tarq

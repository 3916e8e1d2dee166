// The options of the older Panomon run-time monitor driver on the classic group ("PNM", page
// "Panomon Software"): the commands compiled in, buffer sizes, the recorder's time base and the
// communication module, one of whose three presence-only defines is written.
#pragma once

#include <string>
#include <vector>

#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

class CpmPNM : public CDeclaredModule {
 public:
  explicit CpmPNM(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  // The communication list follows the serial ports the project has.
  void OnModulesReady() override;
  // With no communication define in the header the first serial port is chosen.
  int LoadDefines(HeaderFile& header) override;

  // The communication modules the list offers, in list order ("SCI_0", "SCI_1").
  const std::vector<std::string>& CommunicationItems() const { return commItems_; }
  // The selected list position; -1 when the chosen module is not listed (a stored JTAG).
  int CommunicationIndex() const;
  // Writes the define of list position `index` and clears the other two.
  void SelectCommunication(int index);

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  Register* CommRegister(const std::string& module);

  std::vector<std::string> commItems_{"SCI_0", "SCI_1"};
};

void RegisterPnmModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The pinout page ("PINOUT"): the part's package drawing, an HTML page shipped in the
// program's pages folder, filled through its script functions with every GPIO pin's current
// function, the part name, a preliminary-data mark and one check box per peripheral module
// that tells whether the module's signals reach pins. Clicking a box places the module's
// missing signals.
#pragma once

#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/HtmlModule.h"

namespace tarq {

class ModuleFactory;

class CpmPINOUT : public CHtmlModule {
 public:
  // Check-box names on the page: the prefix, a module name, optionally "__" and a pin filter.
  static constexpr const char* kCheckBoxPrefix = "GPIOXB_";

  CpmPINOUT(const ArchitectureEntry& entry, CModuleBase* parent);

  void InitModule(ModuleContext& doc) override;
  // The registers the page's settings write, once the ports and the selector exist.
  void OnModulesReady() override;
  void OnPageLoaded() override;
  void OnUpdate(int hint, CModuleBase* sender) override;
  // A refresh of the page (RefreshAll) sends the pin names and check boxes again.
  void UpdateEnables() override;
  bool DoDataExchange(bool saveAndValidate) override;
  void OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) override;
  std::vector<Register*> RunTimeRegisters() override;

  // Whole update: part name, preliminary mark, pin names, check boxes and the view.
  void UpdatePage();
  // False when a call failed (the names are sent again when the page next loads).
  bool SendPinNames();
  bool SendCheckBoxes();

  // 0: the module has no used signals or none is placed; 1: all are; 2: some are.
  int CheckBoxState(const std::string& name);
  // The module a check-box name stands for and the filter after "__"; null when the name
  // does not have the prefix or names no module of the project.
  CModuleBase* ResolveCheckBox(const std::string& name, std::string& filter);

  const std::string& GetCpuName() const { return cpuName_; }
  bool IsPreliminary() const { return preliminary_; }
  int GetActiveView() const { return activeView_; }
  bool PinNamesSent() const { return pinNamesSent_; }
  bool CheckBoxesSent() const { return checkBoxesSent_; }

 private:
  void CollectLinkedRegisters(ModuleContext& doc);
  bool ProjectLoaded() const { return projectLoaded_; }

  std::string cpuName_;
  bool preliminary_ = false;
  int activeView_ = 0;
  bool pinNamesSent_ = false;
  bool checkBoxesSent_ = false;
  bool projectLoaded_ = false;
  std::vector<RegisterRef> linked_;
};

void RegisterPinoutModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The options of the Scopex run-time monitor's target driver ("SCOPX", page "Scopex
// Communication"): the communication interface and how it is served, the commands, scope,
// recorder and address-translation features compiled in, and the buffer sizes. Running the
// driver from interrupts gives its routine "SCOPX_Isr" the interface's vectors.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/DeclaredModule.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups apart for the monitor options.
struct ScopxVariant {
  const char* name = "";
  int partTest = -1;  // -1: any part
  // Interfaces the part lacks stay in the list marked " (not available)" (else they are left
  // out of it).
  bool markMissing = true;
  // The recorder buffer may sit in far external memory (else the option is never written).
  bool farBuffer = true;
  // The debug port's interrupts must be enabled at the interrupt controller for JTAG.
  bool debugPortCheck = false;
};

class CpmSCOPX : public CDeclaredModule {
 public:
  static constexpr const char* kIsrName = "SCOPX_Isr";
  // Interface values of the communication list.
  enum Interface : uint32_t {
    kNone = 0, kSci0 = 1, kSci1 = 2, kJtag = 3, kJtagTdf = 4, kCan = 5, kCan2 = 6
  };
  static constexpr const char* kNotAvailable = " (not available)";

  explicit CpmSCOPX(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const ScopxVariant> Variants();
  const ScopxVariant& Variant() const { return *variant_; }

  // The interfaces follow the modules the project has.
  void OnModulesReady() override;
  void UpdateEnables() override;
  void CheckWarnings() override;

  uint32_t InterfaceValue() const;
  // "Long Interrupts" or "Short Interrupts".
  bool InterruptDriven() const;
  // The communication list: its texts and the interface value of each.
  const std::vector<std::string>& InterfaceItems() const { return items_; }
  const std::vector<uint32_t>& InterfaceValues() const { return values_; }
  // The vectors the current choice gives the driver's routine; `available` false when the
  // choice needs vectors the project cannot give (an interface it lacks).
  std::vector<uint32_t> NeededVectors(bool* available = nullptr) const;
  // Gives "SCOPX_Isr" the needed vectors and takes it from every other vector an interface
  // could use; false when a vector could not be had.
  bool AssignVectors();
  bool VectorFailure() const { return vectorFailure_; }

  uint32_t ControlIdOf(const std::string& key, bool caption = false) const;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  void BuildItems();
  bool Flag(const char* reg) const;
  std::vector<uint32_t> InterfaceVectors(const std::string& name, bool* present) const;

  const ScopxVariant* variant_ = nullptr;
  std::vector<std::string> items_;
  std::vector<uint32_t> values_;
  bool vectorFailure_ = false;
  bool partnersKnown_ = false;  // set once every module exists
};

void RegisterScopxModuleKinds(ModuleFactory& factory);

}  // namespace tarq

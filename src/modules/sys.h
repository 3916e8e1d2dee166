// The system integration modules ("SYS"): power-saving modes, clock outputs, peripheral
// clock and stop-mode enables, high-speed clock selection, register protection, internal
// source selection and pin-function selection. Each chip group has its own register layout
// and page, declared with the framework's PageDeclaration; the peripheral clock check and
// the queries other modules make are shared here.
//
// Other modules ask the system module about its boxes and lists by caption (IsChecked,
// Selection, ControlId), e.g. IsChecked("COP timer") or the id of
// "SCI clock sourced from HS_PERF (3x System Clock)" for a link.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Declaration.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What the page and the checks of a system module are made of, whatever the variant.
class CSysModule : public CModule, public PeripheralClockGate, public PinFunctionSelector {
 public:
  CSysModule(const ArchitectureEntry& entry, CModuleBase* parent);
  ~CSysModule() override;

  // The part decides the register table; then the inherited steps, then the declaration.
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateEnables() override { decl_.ApplyRules(); }

  // ---- the peripheral-clock gate other modules ask ----
  void CheckPeripheralClock(CModuleBase& module) override;
  bool IsOptionChecked(const std::string& caption) const override { return IsChecked(caption); }
  std::string OptionLink(const std::string& caption) const override;
  std::string SelectedOptionText(const std::string& key) const override { return SelectedText(key); }
  std::vector<ClockGateInfo> ClockGates() const override;

  // ---- the pin-function selector the ports ask ----
  bool GetSelectorBit(int bit) const override;
  void SetSelectorBit(int bit, bool set) override;
  bool GetClockOutputBit(int bit) const override;
  void SetClockOutputBit(int bit, bool set) override;
  std::vector<RegisterRef> SelectorRegisters(bool withClockOutput) override;
  std::vector<RegisterRef> PinoutSelectorRegisters(bool withClockOutput) override;

  // ---- queries by caption (a box's text, a list's caption or key) ----
  // Whether the box is checked (the register's state); false when there is no such box.
  bool IsChecked(const std::string& caption) const;
  // List position the register holds; -1 when there is no such list or no valid item.
  int Selection(const std::string& caption) const;
  // Control id of a box, or of a list's caption (where its warning shows); 0 for none.
  uint32_t ControlId(const std::string& caption) const;
  // Control id of the list itself; 0 for none.
  uint32_t ListId(const std::string& caption) const;
  // The items a list offers on this part.
  std::vector<std::string> ListItems(const std::string& caption) const;

  // The clock table: patterns tied, in order, to the boxes that enable their clock.
  struct ClockRow {
    std::string patterns;  // "SCI_0|SCI"
    std::string boxKey;    // key of the box that enables the clock
  };
  const std::vector<ClockRow>& ClockRows() const { return clockRows_; }
  // Position of the first clock-table pattern naming `moduleName` as one of its
  // "|"-separated alternatives (exact comparison); -1 when none does.
  int FindClockRow(const std::string& moduleName) const;

  // The page as declared for the current part (tests verify it).
  const PageDeclaration& Declaration() const { return decl_; }

  // The project's system module; null when it has none.
  static CSysModule* Find(ModuleContext* context);

  // Text of the source-signal warnings: the selected list text in double quotes and the
  // suffix that names the consumer.
  static std::string SourceSignalMessage(const std::string& itemText, const std::string& suffix);

 protected:
  // Register table of the current part; called before the inherited InitModule.
  virtual void DeclareRegisters() = 0;
  // The page of the current part, one statement per control.
  virtual void DeclareControls(PageDeclaration& d) = 0;

  // The pin-warning control; the module then checks its pins with the page closed as well.
  void DeclarePinWarning(PageDeclaration& d);
  void SetClockTable(std::vector<ClockRow> rows) { clockRows_ = std::move(rows); }
  // Sets or clears, for `module`, the clock warning at the box `warningId`.
  virtual void ApplyClockWarning(CModuleBase& module, bool enabled, bool inUse, uint32_t warningId);

  // The selected text of a list; empty when none.
  std::string SelectedText(const std::string& caption) const;
  // Sets or clears a warning at the control of a box or list caption.
  void WarnAt(const std::string& key, bool set, const std::string& message);
  void WarnControl(uint32_t id, bool set, const std::string& message);

 private:
  const Register* OwnRegister(const std::string& name) const;

  PageDeclaration decl_{*this};
  std::vector<ClockRow> clockRows_;
  // Per clock warning control: the modules (prefix, display name) that need it now.
  std::map<uint32_t, std::vector<std::pair<std::string, std::string>>> clockWarnings_;
};

// "SYS_V1": the bus control and system control registers of the classic group.
class CpmSYS_V1 : public CSysModule {
 public:
  using CSysModule::CSysModule;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
};

// What tells the chip groups of the V2 layouts apart. One row per variant; the part picks
// the first row whose part test it passes.
struct SysV2Variant {
  const char* name = "";
  int partTest = -1;                 // the part test that selects the row; -1: any part
  bool permanentlyDisabled = false;  // the stop and wait lists offer "... permanently disabled"
  const char* clockOutputOff = "Off: Tristated";  // the CLKOUT mode of a switched-off output
  bool pullUps = false;  // pull-up disables instead of clock enables, and no DPORT list
  const char* selectRegister = "-SIM_GPS_INIT";  // the classic layout's sixth register
  uint32_t pceReset = 0xFFFF;  // reset values of the classic layout's clock enables
  uint32_t pce2Reset = 0x0001;
  bool can2 = false;             // the second CAN's clock enable exists
  bool reloadSyncCheck = false;  // a timer counting PWM reloads must be as fast as the PWM
};

// The common base of the V2 layouts: the first five registers and their controls.
class CpmSYS_V2 : public CSysModule {
 public:
  using CSysModule::CSysModule;
  void InitModule(ModuleContext& doc) override;

  static const std::vector<SysV2Variant>& Variants();
  const SysV2Variant& Variant() const { return *variant_; }

 protected:
  // Power-saving modes, the debug-port clock and the clock output lists.
  void DeclareBaseControls(PageDeclaration& d, bool ownClockOutput = false);
  // The low-voltage interrupt boxes and the RAM check.
  void DeclareLowVoltageControls(PageDeclaration& d);

 private:
  const SysV2Variant* variant_ = &Variants().back();
};

// "SYS_V2_Classic": later, Fenn and Tebo parts (and CVX-06).
class CpmSYS_V2_Classic : public CpmSYS_V2 {
 public:
  using CpmSYS_V2::CpmSYS_V2;
  void CheckWarnings() override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
};

// "SYS_V2_Casp": the Casp group.
class CpmSYS_V2_Casp : public CpmSYS_V2 {
 public:
  using CpmSYS_V2::CpmSYS_V2;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
};

// "SYS_V2_Dorn": the Dorn group.
class CpmSYS_V2_Dorn : public CpmSYS_V2 {
 public:
  using CpmSYS_V2::CpmSYS_V2;
  bool IsSignalUsed(const std::string& signal) const override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
  // The CAN controller's clock must run even when the controller is not used.
  void ApplyClockWarning(CModuleBase& module, bool enabled, bool inUse,
                         uint32_t warningId) override;
};

// "SYS_Brel": the Brel group, with the cross-module checks of its source selections.
class CpmSYS_Brel : public CSysModule {
 public:
  using CSysModule::CSysModule;
  void CheckWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;

 private:
  // Partner facts, with the defaults that missing partners give.
  bool PwmRunning() const;
  bool ComparatorEnabled(int n) const;
  bool ComparatorWindowing(int n) const;
  void CheckClockOutputs();
  void CheckSourceSelections();
};

// Registers the SYS kinds with the module factory.
void RegisterSysModuleKinds(ModuleFactory& factory);

}  // namespace tarq

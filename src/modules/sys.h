// The system integration modules ("SYS"): power-saving modes, clock outputs, peripheral
// clock and stop-mode enables, high-speed clock selection, register protection, internal
// source selection and pin-function selection. Each chip group has its own register layout
// and page; they share the page machinery and the peripheral clock check here.
//
// Other modules ask the system module about its boxes and lists by caption (IsChecked,
// Selection, ControlId), e.g. IsChecked("COP timer") or the id of
// "SCI clock sourced from HS_PERF (3x System Clock)" for a link.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What the page and the checks of a system module are made of, whatever the variant.
class CSysModule : public CModule, public PeripheralClockGate, public PinFunctionSelector {
 public:
  CSysModule(const ArchitectureEntry& entry, CModuleBase* parent);
  ~CSysModule() override;

  // The part decides the register table; then the inherited steps, then the bindings.
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  // ---- the peripheral-clock gate other modules ask ----
  void CheckPeripheralClock(CModuleBase& module) override;
  bool IsOptionChecked(const std::string& caption) const override { return IsChecked(caption); }
  std::string OptionLink(const std::string& caption) const override;
  std::string SelectedOptionText(const std::string& key) const override { return SelectedText(key); }

  // ---- the pin-function selector the ports ask ----
  bool GetSelectorBit(int bit) const override;
  void SetSelectorBit(int bit, bool set) override;
  bool GetClockOutputBit(int bit) const override;
  void SetClockOutputBit(int bit, bool set) override;
  std::vector<RegisterRef> SelectorRegisters(bool withClockOutput) override;
  std::vector<RegisterRef> PinoutSelectorRegisters(bool withClockOutput) override;

  // ---- queries by caption (a box's text, a list's caption) ----
  // Whether the box is checked (the register's state while the page is closed); false
  // when there is no such box.
  bool IsChecked(const std::string& caption) const;
  // List position the register holds; -1 when there is no such list or no valid item.
  int Selection(const std::string& caption) const;
  // Control id of a box, or of a list's caption (where its warning shows); 0 for none.
  uint32_t ControlId(const std::string& caption) const;
  // Control id of the list itself; 0 for none.
  uint32_t ListId(const std::string& caption) const;
  // The items a list offers on this part (after the page preparation).
  std::vector<std::string> ListItems(const std::string& caption) const;

  // Position of the first clock-table pattern naming `moduleName` as one of its
  // "|"-separated alternatives (exact comparison); -1 when none does.
  int FindClockRow(const std::string& moduleName) const;
  size_t ClockRowCount() const { return clockRows_.size(); }

  // The project's module named "SYS" when it is a system module; null otherwise.
  static CSysModule* Find(ModuleContext* context);

  // Text of the source-signal warnings: the selected list text in double quotes and the
  // suffix that names the consumer.
  static std::string SourceSignalMessage(const std::string& itemText, const std::string& suffix);

 protected:
  // ---- page declaration (made in InitModule, when the part is known) ----
  enum class ItemKind { Box, List, Link, PinWarning, InterruptPanel };
  struct Item {
    ItemKind kind = ItemKind::Box;
    uint32_t id = 0;      // box, link; the caption of a list
    uint32_t listId = 0;  // the list of a list item
    std::string text;     // box text, list caption, link markup
    std::string key;      // lookup name (defaults to the text)
    std::vector<std::string> items;
    bool shown = true;
    bool newRow = true;  // starts a row of its group
    uint32_t commentFlags = 0;
    CSetBit* bit = nullptr;
    CSetMode* mode = nullptr;
  };
  struct Group {
    uint32_t id = 0;
    std::string title;
    int band = 0;  // groups of one band sit side by side
    std::vector<Item> items;
  };

  // Register table of the current part; called before the inherited InitModule.
  virtual void DeclareRegisters() = 0;
  // Groups, boxes and lists of the page, with their bindings.
  virtual void DeclareControls() = 0;
  // List texts as shown on this part (the V2 classes rewrite them).
  virtual std::vector<std::string> PrepareItems(const Item& item) const { return item.items; }

  // Declaration helpers. Groups follow one another in the current band; NextBand starts a
  // new band below.
  void NextBand();
  void BeginGroup(const std::string& title);
  // A box on bit `bit` of register `reg` (by name). Returns its id.
  uint32_t AddBox(const std::string& text, const std::string& reg, int bit, bool inverted = false,
                  const std::string& label = {}, bool newRow = true, const std::string& key = {});
  // A caption and a list on bits low..high; `values` maps positions to field values (empty:
  // the position is the value). Returns the caption's id.
  uint32_t AddList(const std::string& caption, const std::string& reg, int low, int high,
                   std::vector<std::string> items, const std::string& label = {},
                   bool newRow = true, const std::string& key = {},
                   std::vector<uint32_t> values = {});
  uint32_t AddLink(const std::string& markup, const std::string& key = {});
  void AddPinWarning();
  // Placeholders for the module's interrupt panels (none without interrupts).
  void AddInterruptPanels();
  // Hides the control of the last item added, or of the item with this key.
  void HideLast();
  void HideItem(const std::string& key);
  // Comment style of the last item added (6: the label only while checked).
  void SetLastCommentFlags(uint32_t flags);

  // The clock table: patterns tied, in order, to the boxes of the given captions.
  struct ClockRow {
    std::string patterns;  // "SCI_0|SCI"
    std::string boxKey;    // key of the box that enables the clock
  };
  void SetClockTable(std::vector<ClockRow> rows) { clockRows_ = std::move(rows); }
  const std::vector<ClockRow>& ClockRows() const { return clockRows_; }
  // Whether the clock of table position `row` is on; false when nothing is known about it,
  // which skips the check. `warningId` receives the control that shows the warning.
  virtual bool ReadClockEnable(size_t row, bool& enabled, uint32_t& warningId) const;
  // Sets or clears the clock warning of one row for module M.
  virtual void ApplyClockWarning(size_t row, CModuleBase& module, bool enabled, bool inUse,
                                 uint32_t warningId);

  const Item* FindItem(const std::string& key) const;
  const Register* OwnRegister(const std::string& name) const;
  bool TestPart(int n) const;
  // A bit of another module's register; the register name is tried with and without a
  // leading '-'. False when the module or register is missing.
  bool ReadPartnerBit(const std::string& module, const std::string& reg, int bit, bool& set) const;
  bool ReadPartnerField(const std::string& module, const std::string& reg, int low, int high,
                        uint32_t& value) const;
  // The selected text of a list; empty when none.
  std::string SelectedText(const std::string& caption) const;
  // Sets or clears a warning at the control of a box or list caption.
  void WarnAt(const std::string& key, bool set, const std::string& message);
  void WarnControl(uint32_t id, bool set, const std::string& message);

 private:
  Item& NewItem(ItemKind kind, const std::string& text, const std::string& key, bool newRow);
  void ClearDeclarations();

  std::vector<Group> groups_;
  std::map<std::string, size_t> keys_;  // key -> group << 16 | item
  std::vector<std::unique_ptr<CSetCtrl>> bindings_;
  std::vector<ClockRow> clockRows_;
  // Per clock warning control: the modules (prefix, display name) that need it now.
  std::map<uint32_t, std::vector<std::pair<std::string, std::string>>> clockWarnings_;
  int band_ = 0;
  uint32_t nextId_ = 0;
};

// "SYS_V1": the bus control and system control registers of the classic group.
class CpmSYS_V1 : public CSysModule {
 public:
  CpmSYS_V1(const ArchitectureEntry& entry, CModuleBase* parent);

 protected:
  void DeclareRegisters() override;
  void DeclareControls() override;
};

// The common base of the V2 layouts: the first five registers and their controls, and the
// page preparation that picks one text of "a|b" list items by part.
class CpmSYS_V2 : public CSysModule {
 public:
  CpmSYS_V2(const ArchitectureEntry& entry, CModuleBase* parent);

 protected:
  // Power-saving modes, the debug-port clock and the clock output lists.
  void DeclareBaseControls();
  // The low-voltage interrupt boxes and the RAM check.
  void DeclareLowVoltageControls();
  std::vector<std::string> PrepareItems(const Item& item) const override;
  // Tebo and Casp parts show the second text of a two-text item.
  bool ShowsSecondTexts() const;
};

// "SYS_V2_Classic": later, Fenn and Tebo parts (and CVX-06).
class CpmSYS_V2_Classic : public CpmSYS_V2 {
 public:
  CpmSYS_V2_Classic(const ArchitectureEntry& entry, CModuleBase* parent);
  void CheckWarnings() override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls() override;
  // The enable bit comes from the register value, page or not.
  bool ReadClockEnable(size_t row, bool& enabled, uint32_t& warningId) const override;

 private:
  bool IsCvx06() const;
};

// "SYS_V2_Casp": the Casp group.
class CpmSYS_V2_Casp : public CpmSYS_V2 {
 public:
  CpmSYS_V2_Casp(const ArchitectureEntry& entry, CModuleBase* parent);

 protected:
  void DeclareRegisters() override;
  void DeclareControls() override;
};

// "SYS_V2_Dorn": the Dorn group.
class CpmSYS_V2_Dorn : public CpmSYS_V2 {
 public:
  CpmSYS_V2_Dorn(const ArchitectureEntry& entry, CModuleBase* parent);
  void UpdateEnables() override;
  bool IsSignalUsed(const std::string& signal) const override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls() override;
  // The CAN controller's clock must run even when the controller is not used.
  void ApplyClockWarning(size_t row, CModuleBase& module, bool enabled, bool inUse,
                         uint32_t warningId) override;
};

// "SYS_Brel": the Brel group, with the cross-module checks of its source selections.
class CpmSYS_Brel : public CSysModule {
 public:
  CpmSYS_Brel(const ArchitectureEntry& entry, CModuleBase* parent);
  void UpdateEnables() override;
  void CheckWarnings() override;
  bool IsSignalUsed(const std::string& signal) const override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls() override;

 private:
  // Partner states, with the defaults that missing modules give.
  bool PwmEnabled() const;
  bool ComparatorEnabled(int n) const;
  bool ComparatorWindowing(int n) const;
  void CheckClockOutputs();
  void CheckSourceSelections();
};

// Registers the SYS kinds with the module factory.
void RegisterSysModuleKinds(ModuleFactory& factory);

}  // namespace tarq

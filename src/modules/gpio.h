// The GPIO port modules ("GPIO", GPIO_A .. GPIO_F): per pin the choice between general
// purpose I/O and the peripheral functions the part routes to it, and for GPIO pins the
// direction, pull-up, initial value, interrupt and output stage. A port is also the pin
// database of the project (PinPort): modules find their signals' pins through it.
//
// The port page holds one row per existing pin, a child page at placeholder 0xE900 + pin.
// The row classes differ by chip group: V1 on the classic group, Brel on the Brel group,
// V2 elsewhere.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"
#include "framework/Pins.h"

namespace tarq {

class CpmGPIO;
class ModuleFactory;

// One pin row: its bindings, its page, its rules and checks.
class CpmGPIO_PinDlg {
 public:
  // Control ids on a row page.
  enum : uint32_t {
    kRowGroup = 100,
    kModeCaption, kModeList, kDirectionCaption, kDirectionList, kPullUpCaption, kPullUpList,
    kInitCaption, kInitList, kPolarityCaption, kPolarityList, kInterruptBox, kMustBeInput,
    kOutputModeCaption, kOutputModeList, kDriveCaption, kDriveList, kFilterBox, kSlewBox,
    kDuplicateNote,
  };
  static constexpr uint32_t kRowIdBase = 0xE900;

  CpmGPIO_PinDlg(CpmGPIO& port, const PinDescription& pin);
  virtual ~CpmGPIO_PinDlg() = default;
  CpmGPIO_PinDlg(const CpmGPIO_PinDlg&) = delete;
  CpmGPIO_PinDlg& operator=(const CpmGPIO_PinDlg&) = delete;

  int Pin() const { return pin_.pin; }
  uint32_t RowId() const { return kRowIdBase + static_cast<uint32_t>(pin_.pin); }
  const PinDescription& Description() const { return pin_; }

  // Binds the row's controls to the port's registers (InitModule).
  virtual void Bind();
  // Fills the row's child page: the group box with the common controls, then the class's own.
  void Build(Page& row);
  // The enables of the row's controls by the pin's mode and direction.
  virtual void UpdateEnables();
  // The interrupt-on-output check (and, on rows with notes, the duplicate-function check).
  virtual void CheckWarnings();
  // Reads every binding again (the pin's function depends on the SYS registers too).
  void Refresh();
  // The row's line of the port's comment block: the function, then by mode the direction,
  // initial value, pull-up, interrupt and polarity.
  std::string CommentLine(uint32_t style) const;

  // True in GPIO mode; `output` tells the direction then.
  bool GetPinState(bool& output) const;
  bool InterruptEnabled() const;
  // Mode list title: "GPIO" and " / " with each function name, or "GPIO Only".
  std::string Title() const;
  // Full id (row id in the upper half) of a control of this row.
  uint32_t FullId(uint32_t control) const { return (RowId() << 16) | control; }
  // Items of the mode list and the function position each one selects.
  const std::vector<std::string>& ModeItems() const { return modeItems_; }

 protected:
  // The controls a row class adds after the common ones, inside the group box.
  virtual void BuildOwnControls(Page& row) { (void)row; }
  // Rows with the hidden note labels (the interrupt note and the duplicate-function note).
  virtual bool HasNoteLabels() const { return true; }
  void EnableRowControl(uint32_t id, bool enable);
  void SetRowWarning(uint32_t control, bool set, const std::string& controlText,
                     const std::string& message = {});
  void CheckDuplicateFunction();
  RegisterRef Reg(size_t index) const;

  CpmGPIO& port_;
  PinDescription pin_;
  std::vector<std::string> modeItems_;
  std::vector<int> modePositions_;  // function position of each mode item
  CSetMode mode_, direction_, pullUp_, initValue_, polarity_;
  CSetBit interrupt_;

 private:
  // The row as one comment item.
  class RowComment : public CommentSource {
   public:
    explicit RowComment(const CpmGPIO_PinDlg& row) : row_(row) {}
    bool IsDescribed() const override { return true; }
    std::string GetDescription(bool detail, uint32_t style) const override {
      (void)detail;
      return row_.CommentLine(style);
    }

   private:
    const CpmGPIO_PinDlg& row_;
  };

 public:
  const CommentSource& Comment() const { return comment_; }

 private:
  RowComment comment_{*this};
};

// Classic group: no output stage controls and no note labels.
class CpmGPIO_PinDlgV1 : public CpmGPIO_PinDlg {
 public:
  using CpmGPIO_PinDlg::CpmGPIO_PinDlg;

 protected:
  bool HasNoteLabels() const override { return false; }
};

// Later, Fenn, Tebo, Casp and Dorn groups: the output mode list.
class CpmGPIO_PinDlgV2 : public CpmGPIO_PinDlg {
 public:
  using CpmGPIO_PinDlg::CpmGPIO_PinDlg;
  void Bind() override;
  void UpdateEnables() override;

 protected:
  void BuildOwnControls(Page& row) override;

 private:
  // Three positions over the open-drain and drive-strength bits (Tebo, Casp, Dorn).
  bool ThreePositions() const;
  CSetMode outputMode_;
};

// Brel group: drive strength, input filter and slew-rate control.
class CpmGPIO_PinDlgBrel : public CpmGPIO_PinDlg {
 public:
  using CpmGPIO_PinDlg::CpmGPIO_PinDlg;
  void Bind() override;
  void UpdateEnables() override;

 protected:
  void BuildOwnControls(Page& row) override;

 private:
  CSetMode drive_;
  CSetBit filter_, slew_;
};

class CpmGPIO : public CModule, public PinPort {
 public:
  enum RegisterIndex : size_t {
    kPur = 0, kDdr, kPer, kIenr, kIpolr, kDr, kPpmode, kDrive, kIfe, kSlew, kRegisterCount
  };
  enum class RowClass { V1, V2, Brel };
  // Port page controls.
  enum : uint32_t { kIdErrata = 100, kIdUserNote = 101 };

  CpmGPIO(const ArchitectureEntry& entry, CModuleBase* parent);
  ~CpmGPIO() override;

  void InitModule(ModuleContext& doc) override;
  // The selector registers the rows write join the port's registers summary.
  void OnModulesReady() override;
  void BuildPage(Page& page) override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;
  std::vector<Register*> RunTimeRegisters() override;

  // ---- PinPort ----
  CModuleBase& PortModule() override { return *this; }
  const PinDescription* FindPin(int pin) const override;
  std::vector<int> ExistingPins() const override;
  int CurrentFunction(int pin) const override;
  bool IsOutput(int pin) const override { return OwnBit(kDdr, pin); }
  void SelectFunction(int pin, int position) override;
  std::string PinName(int pin) const override;
  std::string PinLink(int pin) const override;

  // The row of a pin; null for pins outside 0..15 or without a line.
  CpmGPIO_PinDlg* FindPinDlg(int pin) const;
  // Pin list for the pinout page: name, current function name and link of every pin.
  struct PinListEntry {
    std::string name;
    std::string function;
    std::string link;
  };
  std::vector<PinListEntry> PinList() const;

  RowClass GetRowClass() const { return rowClass_; }
  // Tebo, Casp and Dorn parts: drive strength shares the output mode list.
  bool HasThreePositionOutputMode() const { return threePositionOutput_; }
  bool IsBrel() const { return rowClass_ == RowClass::Brel; }
  // Port letter from the module name ('A' for GPIO_A), 0 for an odd name.
  char PortLetter() const;

  // ---- register access (own and the SYS pin-select bits) ----
  bool OwnBit(size_t reg, int bit) const;
  void SetOwnBit(size_t reg, int bit, bool set);
  bool HasRegister(size_t reg) const { return reg < GetRegisterCount(); }

 private:
  // The SYS register that holds GPS bit n, or the clock-output register; null without one.
  bool SelectorBit(const PinDescription& pin, size_t slot) const;
  bool ClockOutputBit(const PinDescription& pin) const;
  bool RequirementsHold(const PinDescription& pin, const PinFunction& function) const;
  void ApplyRegisterParameters();
  void CollectLinkedRegisters();
  void ShowUserSlotNote();

  std::vector<std::unique_ptr<CpmGPIO_PinDlg>> rows_;  // existing pins, in pin order
  std::vector<RegisterRef> linked_;
  RowClass rowClass_ = RowClass::V2;
  bool threePositionOutput_ = false;
  bool classic_ = false;
  bool dorn_ = false;
};

// Registers the GPIO kind with the module factory.
void RegisterGpioModuleKinds(ModuleFactory& factory);

}  // namespace tarq

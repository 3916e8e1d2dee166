// The GPIO port modules ("GPIO", GPIO_A .. GPIO_F): per pin the choice between general
// purpose I/O and the peripheral functions the part routes to it, and for GPIO pins the
// direction, pull-up, initial value, interrupt and output stage. A port is also the pin
// database of the project (PinPort): modules find their signals' pins through it.
//
// The port page holds one row per existing pin, a child page at placeholder 0xE900 + pin,
// declared once; what differs by chip group is a row of GpioVariants().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Declaration.h"
#include "framework/Module.h"
#include "framework/Pins.h"

namespace tarq {

class CpmGPIO;
class ModuleFactory;

// What sets the ports of one chip group apart, chosen once when the part is known. Tests
// iterate GpioVariants() to check every group's rows.
struct GpioVariant {
  // When the pull-up list is enabled.
  enum class PullUpRule {
    Always,             // whatever the mode and direction
    GpioInputOnly,      // GPIO inputs only
    InputOrPeripheral,  // GPIO inputs and peripheral pins (not on the fixed pin)
  };
  const char* name = "";
  std::vector<int> partTests;  // the part tests that select the row (none: the fallback)
  size_t registerCount = 7;    // PUR .. DR (6), PPMODE (7), DRIVE (8), IFE and SLEW (10)
  PullUpRule pullUp = PullUpRule::Always;
  bool noteLabels = true;      // the interrupt note and the duplicate-function note
  // Output mode list over PPMODE: 0 none, 2 open drain / push-pull, 3 with DRIVE as
  // "High strength".
  int outputModePositions = 0;
  bool outputStage = false;    // drive strength, input filter and slew-rate control
  char fixedPullUpPort = 0;    // the pin whose pull-up is fixed (the reset pin); 0: none
  int fixedPullUpPin = -1;
  bool openDrainHidden = false;   // no open-drain register: PPMODE is a dummy, not listed
  bool userSlotNote = false;      // the port page shows the interrupt user-slot note
  bool oneInterruptPerPort = false;  // silicon fault: warn at more than one interrupt pin
  bool modulePinCheck = false;    // the port checks its own pins like any module with signals
};
const std::vector<GpioVariant>& GpioVariants();
// The row of the part the document is for.
const GpioVariant& GpioVariantFor(ModuleContext& doc);

// One pin row: its declaration (controls, bindings, rules), its page and its checks.
class CpmGPIO_PinDlg {
 public:
  // Control ids on a row page; links and `show --json` carry them.
  enum : uint32_t {
    kRowGroup = 100,
    kModeCaption, kModeList, kDirectionCaption, kDirectionList, kPullUpCaption, kPullUpList,
    kInitCaption, kInitList, kPolarityCaption, kPolarityList, kInterruptBox, kMustBeInput,
    kOutputModeCaption, kOutputModeList, kDriveCaption, kDriveList, kFilterBox, kSlewBox,
    kDuplicateNote,
  };
  static constexpr uint32_t kRowIdBase = 0xE900;

  CpmGPIO_PinDlg(CpmGPIO& port, const PinDescription& pin, const GpioVariant& variant);
  CpmGPIO_PinDlg(const CpmGPIO_PinDlg&) = delete;
  CpmGPIO_PinDlg& operator=(const CpmGPIO_PinDlg&) = delete;

  int Pin() const { return pin_.pin; }
  uint32_t RowId() const { return kRowIdBase + static_cast<uint32_t>(pin_.pin); }
  const PinDescription& Description() const { return pin_; }
  const PageDeclaration& Declaration() const { return decl_; }

  // Fills the row's child page from the declaration.
  void Build(Page& row) const { decl_.BuildPage(row); }
  // The enables of the row's controls by the pin's mode and direction (the declared rules).
  void UpdateEnables() const { decl_.ApplyRules(); }
  // The interrupt-on-output check (and, on rows with notes, the duplicate-function check).
  void CheckWarnings();
  // Reads every binding again (the pin's function depends on the selector bits too).
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

 private:
  void Declare();
  void SetRowWarning(uint32_t control, bool set, const std::string& controlText,
                     const std::string& message = {});
  void CheckDuplicateFunction();
  const CSetCtrl* Binding(const char* key) const;

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

  CpmGPIO& port_;
  PinDescription pin_;
  const GpioVariant& variant_;
  std::vector<std::string> modeItems_;
  std::vector<int> modePositions_;  // function position of each mode item
  PageDeclaration decl_;
  RowComment comment_{*this};

 public:
  const CommentSource& Comment() const { return comment_; }
};

class CpmGPIO : public CModule, public PinPort {
 public:
  enum RegisterIndex : size_t {
    kPur = 0, kDdr, kPer, kIenr, kIpolr, kDr, kPpmode, kDrive, kIfe, kSlew
  };
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
  RegisterRef PeripheralModeRegister() override { return RegisterRef{this, kPer}; }
  bool HasClockOutputPins() const override;

  // The row of a pin; null for pins outside 0..15 or without a line.
  CpmGPIO_PinDlg* FindPinDlg(int pin) const;

  // The chip group's row (set by InitModule).
  const GpioVariant& Variant() const { return *variant_; }
  // Port letter from the module name ('A' for GPIO_A), 0 for an odd name.
  char PortLetter() const;

  // ---- the port's own register bits ----
  bool OwnBit(size_t reg, int bit) const;
  void SetOwnBit(size_t reg, int bit, bool set);

 private:
  // The selector's answer for the pin's selector bit `slot` and its clock-output bit; false
  // without a selector.
  bool SelectorBit(const PinDescription& pin, size_t slot) const;
  bool ClockOutputBit(const PinDescription& pin) const;
  bool RequirementsHold(const PinDescription& pin, const PinFunction& function) const;
  void ApplyRegisterParameters();
  void CollectLinkedRegisters();
  void ShowUserSlotNote();

  std::vector<std::unique_ptr<CpmGPIO_PinDlg>> rows_;  // existing pins, in pin order
  std::vector<RegisterRef> linked_;
  const GpioVariant* variant_;
};

// Registers the GPIO kind with the module factory.
void RegisterGpioModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The interrupt controller: the chip's vector table (ISR name and priority of every vector),
// the controller's own settings (global mask, IRQA/IRQB, fast interrupts, user slots), the
// interrupt panels it builds on its own page and on every other module's page, and the
// vector claims other modules make while one of their modes needs a vector.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// Flag word of one vector.
enum IntcVectorFlags : uint32_t {
  kVectorIsrFixed = 0x1,         // the ISR name cannot be edited
  kVectorPriorityFixed = 0x2,    // the priority cannot be edited
  kVectorNoPriority = 0x4,       // ... and the list holds nothing
  kVectorDisabledItem = 0x10,    // the list offers "Disabled"
  kVectorLevel0 = 0x20,          // "Level 0"; 0x40, 0x80, 0x100 for levels 1..3
  kVectorUserSlot = 0x8000,      // user-programmable slot: listed on demand, never checked
};
// A part's vectors that it lacks get this word: fixed ISR, fixed priority, "Disabled".
inline constexpr uint32_t kReservedVectorFlags = 0x13;

struct IntcVector {
  std::string text;  // "21. SCI Transmitter Empty/Idle"
  uint32_t flags = 0;
};

enum class IntcLayout { Classic, Standard, UserSlot };

class CpmINTC : public CModule, public InterruptController {
 public:
  explicit CpmINTC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  ~CpmINTC() override;

  // The vector table of a part: its group's table with the vectors the part lacks marked
  // reserved. Empty for a part the family does not know.
  static std::vector<IntcVector> VectorTableOf(const std::string& partName);
  // The source name of a vector text: what follows the number, the full stop and blanks.
  static std::string SourceNameOf(const std::string& vectorText);

  // ---- module operations ----
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // ---- services for the other modules ----
  void AttachInterruptUser(CModuleBase& user, InterruptUser& record) override;
  void BuildInterruptPanel(Page& panel, CModuleBase& user, InterruptUser& record,
                           bool wide) override;
  bool ClaimVector(const InterruptUser& user, bool enable, const std::string& isrName,
                   CModuleBase* module) override;
  int FindUserSlot(uint32_t vector, std::string* isrName) const override;

  // ---- state ----
  IntcLayout GetLayout() const { return layout_; }
  size_t GetVectorCount() const { return vectors_.size(); }
  const std::vector<IntcVector>& Vectors() const { return vectors_; }
  bool HasIrqA() const { return irqA_; }
  bool HasIrqB() const { return irqB_; }
  // 9 < n < vectors - 6, outside the reserved 34..39 (user-slot layout).
  bool IsValidUserSource(uint32_t source) const;
  // The ISR name of a vector: what the controller page's panel shows, else the register.
  std::string GetIsrName(uint32_t vector) const;
  // Position of the vector's priority in its list (0 when nothing matches).
  int GetPriorityPosition(uint32_t vector) const;
  // Whether a module (or anyone, for a null owner) holds the vector.
  bool IsClaimed(uint32_t vector) const;
  CModuleBase* ClaimOwner(uint32_t vector) const;
  // The modules whose interrupt lists name the vector.
  std::vector<CModuleBase*> UsersOf(uint32_t vector) const;
  // List texts and the values written for them, for one vector's priority.
  void PriorityItems(uint32_t vector, std::vector<std::string>& displays,
                     std::vector<std::string>& values) const;
  // Register of a vector's ISR name / priority, or null outside the table.
  Register* IsrRegister(uint32_t vector);
  Register* PriorityRegister(uint32_t vector);
  const Register* IsrRegister(uint32_t vector) const;
  const Register* PriorityRegister(uint32_t vector) const;
  // USER1..USER6: source number and ISR name (user-slot layout).
  uint32_t GetUserSource(int slot) const;
  std::string GetUserIsrName(int slot) const;
  bool IsFastUser6() const;

  // ---- page ----
  // Control ids of the controller page.
  enum : uint32_t {
    kIdGroupController = 900,
    kIdGroupFast = 901,
    kIdGroupUser = 902,
    kIdGroupJtag = 903,
    kIdGroupVectors = 904,
    kIdMaskDisable = 1000,
    kIdIrqAEnable = 1001,
    kIdIrqBEnable = 1002,
    kIdIrqATriggerCaption = 1003,
    kIdIrqATrigger = 1004,
    kIdIrqBTriggerCaption = 1005,
    kIdIrqBTrigger = 1006,
    // Fast interrupt k: base + 10 * k.
    kIdFastCaption = 1010,
    kIdFastEdit = 1011,
    kIdFastRange = 1012,
    kIdFastIsrCaption = 1013,
    kIdFastIsr = 1014,
    kIdFastNote = 1030,
    // User slot n (1..6): base + 10 * (n - 1).
    kIdUserCaption = 1100,
    kIdUserEdit = 1101,
    kIdUserIsrCaption = 1102,
    kIdUserIsr = 1103,
    kIdUserDuplicate = 1104,
    kIdUserBothIsr = 1105,
    kIdFastUser6 = 1170,
    kIdFastUser6Note = 1171,
    kIdJtagFirst = 1180,  // five boxes: Receive, Transmit, Trace, Breakpoint, Step
    kIdShowAll = 1200,
    kIdVectorHeader = 1201,
    // Vector panel placeholders: base + vector number.
    kIdVectorPanelBase = 0xE900,
  };
  // Control ids inside an interrupt panel.
  enum : uint32_t {
    kPanelSource = 1,
    kPanelIsr = 3,
    kPanelPriority = 5,
  };
  static uint32_t FastId(uint32_t base, int k) { return base + 10u * static_cast<uint32_t>(k); }
  static uint32_t UserId(uint32_t base, int slot) {
    return base + 10u * static_cast<uint32_t>(slot - 1);
  }
  // Warning id of a vector's panel on the controller page (the source text).
  static uint32_t PanelWarningId(uint32_t vector);

  bool ShowAllInterrupts() const { return showAll_; }
  // The interrupt panels that exist right now, on any page, for a vector.
  size_t CountPanels(uint32_t vector) const;

 private:
  // The priority list of a panel: with no matching item the first one is shown.
  class PriorityBinding : public CSetEnum {
   public:
    void Refresh() override;
  };
  struct Panel {
    Page* page = nullptr;  // the child page the panel fills
    uint32_t vector = 0;
    CSetString isr;
    PriorityBinding priority;
  };
  struct Claim {
    bool claimed = false;
    CModuleBase* owner = nullptr;
    std::string savedText;  // the ISR name before the first claim
    uint32_t savedValue = 0;
  };
  // Drops the panels of pages that go away.
  class PageWatcher : public PageObserver {
   public:
    explicit PageWatcher(CpmINTC& owner) : owner_(owner) {}
    void OnPageDestroyed(Page& page) override { owner_.OnPageGone(page); }

   private:
    CpmINTC& owner_;
  };

  void BuildRegisters(ModuleContext& doc);
  void ReadParameters(const ModuleContext& doc);
  void BindControls();
  void ShowIrqControls(Page& page);
  void BuildControllerClassic(Page& page);
  void BuildControllerStandard(Page& page);
  void BuildControllerUserSlots(Page& page);
  void BuildVectorList(Page& page);
  void FillPanel(Page& panel, uint32_t vector, bool wide);
  void ApplyPanelState(Panel& panel);
  void RefreshPanels(uint32_t vector, const Panel* except = nullptr);
  void OnPanelEvent(Panel& panel, Page& page, Control& control, ControlEvent event);
  void OnPageGone(Page& page);
  void WatchPage(Page& page);
  // The panel of a vector on the controller's own page, or null.
  const Panel* OwnPanel(uint32_t vector) const;
  bool IsUserSlotVector(uint32_t vector) const;

  void CheckStandard();
  void CheckUserSlots();
  void CheckPanels();
  std::string UserSlotMessage(int slot, bool name) const;

  IntcLayout layout_ = IntcLayout::Standard;
  std::vector<IntcVector> vectors_;
  size_t firstVectorRegister_ = 0;
  bool irqA_ = true;
  bool irqB_ = true;
  bool showAll_ = false;
  std::vector<Claim> claims_;
  std::vector<std::pair<CModuleBase*, uint32_t>> users_;

  std::list<std::unique_ptr<Panel>> panels_;
  std::set<Page*> watchedPages_;
  PageWatcher watcher_{*this};

  // Controller bindings.
  CSetBit maskDisable_;
  CSetBit irqAEnable_, irqBEnable_;          // classic
  CSetEnum irqATriggerText_, irqBTriggerText_;  // classic
  CSetMode irqATrigger_, irqBTrigger_;       // standard
  CSetValue fastSource_[2];
  CSetString fastIsr_[2];
  CSetValue userSource_[6];
  CSetString userIsr_[6];
  CSetBit fastUser6_;
  CSetBit jtag_[5];
};

// "NOTE: defined as USER%d (%s) in WINTC module." (with seeForm "See USER%d (%s) in WINTC
// module.") for an interrupt user of a module, as a link to the slot on the interrupt
// controller's page; empty when no user slot serves the user's vector.
std::string UserSlotNote(const CModule& module, size_t userIndex, bool seeForm = false);

void RegisterIntcModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The interrupt controller: the chip's vector table (ISR name and priority of every vector),
// the controller's own settings (global mask, IRQA/IRQB, fast interrupts, user slots), the
// interrupt panels it builds on its own page and on every other module's page, and the
// vector claims other modules make while one of their modes needs a vector.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Declaration.h"
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

// One layout of the controller, chosen once when the part is known: its fixed registers (in
// front of the two registers of every vector) and which controls its page has.
struct IntcVariant {
  IntcLayout layout;
  std::span<const RegisterDecl> registers;
  const char* title;            // the controller group
  // Global mask (bit 5), IRQ A/B trigger bits 0/1 (standard) or the JTAG enables (bits 4..0,
  // user slots); null: none.
  const char* controlRegister;
  bool irqTriggerBits;          // IRQ triggers as bits of the control register
  bool irqPinRegisters;         // classic: an enable box and a named trigger per pin
  int fastInterrupts;           // match register and fast ISR name pairs
  int userSlots;                // USER1..USERn on the last n vectors
  int jtagBoxes;
  int digitLevels;              // classic: "Level 0".."Level n-1" written as digits
};

class CpmINTC : public CModule, public InterruptController {
 public:
  explicit CpmINTC(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  ~CpmINTC() override;

  // The vector table of a part: its group's table with the vectors the part lacks marked
  // reserved. Empty for a part the family does not know.
  static std::vector<IntcVector> VectorTableOf(const std::string& partName);
  // The source name of a vector text: what follows the number, the full stop and blanks.
  static std::string SourceNameOf(const std::string& vectorText);
  // Every layout's row, and the row of a layout.
  static std::span<const IntcVariant> Variants();
  static const IntcVariant& VariantOf(IntcLayout layout);

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
  std::string VectorIsrName(uint32_t vector) const override;
  bool ClearIsrName(uint32_t vector, const std::string& isrName) override;
  std::vector<uint32_t> VectorsNamed(const std::string& isrName) const override;
  bool AreDebugPortInterruptsEnabled() const override;
  std::string UserSlotLink(int slot, const std::string& text) const override;

  // ---- state ----
  const IntcVariant& Variant() const { return *variant_; }
  IntcLayout GetLayout() const { return variant_->layout; }
  const PageDeclaration& Declaration() const { return declaration_; }
  size_t GetVectorCount() const { return vectors_.size(); }
  const std::vector<IntcVector>& Vectors() const { return vectors_; }
  bool HasIrqA() const { return irq_[0]; }
  bool HasIrqB() const { return irq_[1]; }
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
  // USER1..USERn: source number and ISR name (user-slot layout).
  uint32_t GetUserSource(int slot) const;
  std::string GetUserIsrName(int slot) const;
  bool IsFastUser6() const;

  // ---- page ----
  // The vector rows of the controller page: base + vector number (a child page each).
  static constexpr uint32_t kIdVectorPanelBase = 0xE900;
  // Control ids inside an interrupt panel.
  enum : uint32_t {
    kPanelSource = 1,
    kPanelIsr = 3,
    kPanelPriority = 5,
  };
  // Warning id of a vector's panel on the controller page (the source text).
  static uint32_t PanelWarningId(uint32_t vector);
  // Keys of the repeated controls (fast interrupt k from 0, user slot n from 1).
  static std::string FastKey(int k, const char* role);
  static std::string UserKey(int slot, const char* role);
  // The id of a declared control by key; 0 when the layout lacks it.
  uint32_t ControlId(const std::string& key) const;

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
  void Declare();
  void DeclareVectorRows(Page& page);
  bool VectorRowShown(uint32_t vector) const;
  void FillPanel(Page& panel, uint32_t vector, bool wide);
  void ApplyPanelState(Panel& panel);
  void RefreshPanels(uint32_t vector, const Panel* except = nullptr);
  void OnPanelEvent(Panel& panel, Page& page, Control& control, ControlEvent event);
  void OnPageGone(Page& page);
  void WatchPage(Page& page);
  // The panel of a vector on the controller's own page, or null.
  const Panel* OwnPanel(uint32_t vector) const;
  bool IsUserSlotVector(uint32_t vector) const;
  uint32_t UserSlotVector(int slot) const;
  // The bindings of declared controls (null when the layout lacks them).
  CSetValue* ValueOf(const std::string& key) const;
  CSetString* StringOf(const std::string& key) const;

  void CheckFastInterrupts();
  void CheckUserSlots();
  void CheckPanels();
  std::string UserSlotMessage(int slot, bool name) const;

  const IntcVariant* variant_ = &VariantOf(IntcLayout::Standard);
  PageDeclaration declaration_{*this};
  std::vector<IntcVector> vectors_;
  size_t firstVectorRegister_ = 0;
  bool irq_[2] = {true, true};
  bool showAll_ = false;
  std::vector<Claim> claims_;
  std::vector<std::pair<CModuleBase*, uint32_t>> users_;

  std::list<std::unique_ptr<Panel>> panels_;
  std::set<Page*> watchedPages_;
  PageWatcher watcher_{*this};
};

// "NOTE: defined as USER%d (%s) in WINTC module." (with seeForm "See USER%d (%s) in WINTC
// module.") for an interrupt user of a module, as a link to the slot on the page of the
// module's interrupt controller (whichever module offers that capability); empty when no
// user slot serves the user's vector.
std::string UserSlotNote(const CModule& module, size_t userIndex, bool seeForm = false);

void RegisterIntcModuleKinds(ModuleFactory& factory);

}  // namespace tarq

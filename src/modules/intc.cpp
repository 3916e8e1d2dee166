#include "modules/intc.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "framework/Hints.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

struct IntcVectorRow {
  const char* table;
  uint32_t number;
  const char* text;
  uint32_t flags;
};

struct IntcPartRow {
  const char* part;
  const char* table;
  const char* reserved;  // comma-separated vector numbers
};

#include "modules/intc_vectors.inc"

constexpr int kUserSlots = 6;
// Part tests of the groups whose layout or pins differ.

// Registers in front of the vector registers, per layout.
constexpr RegisterDecl kClassicRegisters[] = {
    {"-IRQA_ENABLED", 0, DW8 | DECVALUE},
    {"-IRQB_ENABLED", 0, DW8 | DECVALUE},
    {"-IRQA_TRIGGER", 0, STRVALUE},
    {"-IRQB_TRIGGER", 0, STRVALUE},
};
constexpr RegisterDecl kStandardRegisters[] = {
    {"ICTL_INIT", 0, DW16 | NODEFAULT},
    {"FIM0_INIT", 0, DW16 | DECVALUE},
    {"FIM1_INIT", 0, DW16 | DECVALUE},
    {"FIVA0_INIT", 0, STRVALUE},
    {"FIVA1_INIT", 0, STRVALUE},
};
constexpr RegisterDecl kUserSlotRegisters[] = {
    {"ICSR_INIT", 0, DW16 | NODEFAULT},
    {"IAR0_INIT", 0, DW16},
    {"IAR1_INIT", 0, DW16},
    {"IAR2_INIT", 0, DW16},
    {"FASTINT_ENABLE", 0, DW8 | DECVALUE},
};

// Register indexes of the fixed part of each layout.
enum : size_t {
  kRegIrqAEnabled = 0, kRegIrqBEnabled = 1, kRegIrqATrigger = 2, kRegIrqBTrigger = 3,
  kRegIctl = 0, kRegFim0 = 1, kRegFiva0 = 3,
  kRegIcsr = 0, kRegIar0 = 1, kRegFastInt = 4,
};

const char* const kClassicTriggerItems[] = {
    "", "Low-level sensitive = ITCN_LOW_LEVEL_SENSITIVE",
    "High-level sensitive = ITCN_HIGH_LEVEL_SENSITIVE",
    "Falling-edge sensitive = ITCN_FALLING_EDGE_SENSITIVE",
    "Rising-edge sensitive = ITCN_RISING_EDGE_SENSITIVE"};

// Panel widths in layout units; the list of vectors reads as a table.
constexpr int kPanelWidth = 560;
constexpr int kSourceWidth = 240;
constexpr int kIsrWidth = 160;
constexpr int kPriorityWidth = 110;

void SplitItems(const char* const* entries, size_t count, std::vector<std::string>& displays,
                std::vector<std::string>& values) {
  for (size_t i = 0; i < count; ++i) {
    const std::string entry = entries[i];
    const size_t equals = entry.find('=');
    displays.push_back(Trim(entry.substr(0, equals)));
    values.push_back(equals == std::string::npos ? Trim(entry) : Trim(entry.substr(equals + 1)));
  }
}

// A text register's text as the writer sees it: nothing while its value is 0.
std::string TextOf(const Register* reg) {
  return reg && reg->value != 0 ? reg->text : std::string();
}

}  // namespace

// ---- the vector tables ----

std::vector<IntcVector> CpmINTC::VectorTableOf(const std::string& partName) {
  std::vector<IntcVector> table;
  const IntcPartRow* part = nullptr;
  for (const IntcPartRow& row : kIntcPartRows) {
    if (partName == row.part) part = &row;
  }
  if (!part) return table;
  for (const IntcVectorRow& row : kIntcVectorRows) {
    if (std::string_view(row.table) != part->table) continue;
    if (row.number >= table.size()) table.resize(row.number + 1);
    table[row.number] = {row.text, row.flags};
  }
  // Vectors of the group's table that this part lacks.
  for (uint32_t vector : CModule::ParseInterruptList(std::string(":") + part->reserved)) {
    if (vector < table.size()) table[vector].flags = kReservedVectorFlags;
  }
  return table;
}

std::string CpmINTC::SourceNameOf(const std::string& vectorText) {
  const size_t stop = vectorText.find('.');
  if (stop == std::string::npos) return vectorText;
  const size_t start = vectorText.find_first_not_of(' ', stop + 1);
  return start == std::string::npos ? std::string() : vectorText.substr(start);
}

// ---- construction and registers ----

CpmINTC::CpmINTC(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {}

CpmINTC::~CpmINTC() {
  // The own page's panels leave through the watcher; the other pages live on and must not
  // keep handlers or bindings of this module.
  DestroyPage();
  for (auto& panel : panels_) panel->page->SetEventHandler(nullptr);
  panels_.clear();
  for (Page* page : watchedPages_) page->RemoveObserver(&watcher_);
  watchedPages_.clear();
}

void CpmINTC::InitModule(ModuleContext& doc) {
  BuildRegisters(doc);
  CModule::InitModule(doc);
  BindControls();
}

void CpmINTC::BuildRegisters(ModuleContext& doc) {
  if (doc.TestPart(kTestClassic)) {
    layout_ = IntcLayout::Classic;
  } else if (doc.TestPart(kTestBrel)) {
    layout_ = IntcLayout::UserSlot;
  } else {
    layout_ = IntcLayout::Standard;
  }
  vectors_ = VectorTableOf(doc.GetSettings().partName);
  ReadParameters(doc);

  switch (layout_) {
    case IntcLayout::Classic:
      InitRegisters(kClassicRegisters, std::size(kClassicRegisters));
      // A pin the part lacks has nothing to write.
      if (!irqA_) {
        registers_[kRegIrqAEnabled].flags |= DUMMYREG;
        registers_[kRegIrqATrigger].flags |= DUMMYREG;
      }
      if (!irqB_) {
        registers_[kRegIrqBEnabled].flags |= DUMMYREG;
        registers_[kRegIrqBTrigger].flags |= DUMMYREG;
      }
      break;
    case IntcLayout::Standard:
      InitRegisters(kStandardRegisters, std::size(kStandardRegisters));
      break;
    case IntcLayout::UserSlot:
      InitRegisters(kUserSlotRegisters, std::size(kUserSlotRegisters));
      break;
  }

  firstVectorRegister_ = registers_.size();
  for (size_t n = 0; n < vectors_.size(); ++n) {
    const uint32_t flags = vectors_[n].flags;
    const std::string isrName = Format("-INT_VECTOR_ADDR_%d", static_cast<int>(n));
    const std::string priorityName = Format("-INT_PRIORITY_LEVEL_%d", static_cast<int>(n));
    Register& isr = AddRegister(
        {isrName.c_str(), 0, STRVALUE | ((flags & kVectorIsrFixed) ? DUMMYREG : 0u)});
    if (n == 0) {
      // The start-up code's entry point. Written whenever the module is, but only a changed
      // name counts as a change of the module.
      isr.text = isr.savedText = "Start";
      isr.value = isr.savedValue = isr.resetValue = 1;
      isr.flags |= NODEFAULT;
    }
    AddRegister({priorityName.c_str(), 0,
                 STRVALUE | NOSHOWLIST |
                     ((flags & (kVectorPriorityFixed | kVectorNoPriority)) ? DUMMYREG : 0u)});
  }
  claims_.assign(vectors_.size(), Claim{});
}

void CpmINTC::ReadParameters(const ModuleContext& doc) {
  std::string text;
  // Sources the part does not wire up: listed on demand only, never checked.
  if (GetParameter("DISSRC", text)) {
    for (uint32_t vector : ParseInterruptList(":" + text))
      if (vector < vectors_.size()) vectors_[vector].flags |= kVectorUserSlot;
  }
  // The external pins exist unless the part or its group says otherwise.
  const bool pinsByDefault =
      !(doc.TestPart(kTestTebo) || doc.TestPart(kTestCasp) || doc.TestPart(kTestDorn));
  irqA_ = GetParameter("IRQA", text) ? !IsFalseText(text) : pinsByDefault;
  irqB_ = GetParameter("IRQB", text) ? !IsFalseText(text) : pinsByDefault;
}

Register* CpmINTC::IsrRegister(uint32_t vector) {
  return vector < vectors_.size() ? &registers_[firstVectorRegister_ + 2 * vector] : nullptr;
}
Register* CpmINTC::PriorityRegister(uint32_t vector) {
  return vector < vectors_.size() ? &registers_[firstVectorRegister_ + 2 * vector + 1] : nullptr;
}
const Register* CpmINTC::IsrRegister(uint32_t vector) const {
  return vector < vectors_.size() ? &registers_[firstVectorRegister_ + 2 * vector] : nullptr;
}
const Register* CpmINTC::PriorityRegister(uint32_t vector) const {
  return vector < vectors_.size() ? &registers_[firstVectorRegister_ + 2 * vector + 1] : nullptr;
}

void CpmINTC::BindControls() {
  ClearCommentItems();
  const uint32_t count = static_cast<uint32_t>(vectors_.size());
  switch (layout_) {
    case IntcLayout::Classic: {
      irqAEnable_.Bind({this, kRegIrqAEnabled}, 0);
      irqBEnable_.Bind({this, kRegIrqBEnabled}, 0);
      std::vector<std::string> displays, values;
      SplitItems(kClassicTriggerItems, std::size(kClassicTriggerItems), displays, values);
      irqATriggerText_.Bind({this, kRegIrqATrigger});
      irqATriggerText_.SetItems(displays, values);
      irqBTriggerText_.Bind({this, kRegIrqBTrigger});
      irqBTriggerText_.SetItems(displays, values);
      if (irqA_) AddCommentItems({{&irqAEnable_, 1}, {&irqATriggerText_, 0}});
      if (irqB_) AddCommentItems({{&irqBEnable_, 1}, {&irqBTriggerText_, 0}});
      break;
    }
    case IntcLayout::Standard:
      maskDisable_.Bind({this, kRegIctl}, 5, false, "All maskable interrupts disabled");
      irqATrigger_.Bind({this, kRegIctl}, 0, 0);
      irqBTrigger_.Bind({this, kRegIctl}, 1, 1);
      AddCommentItems({{&maskDisable_, 3}});
      if (irqA_) AddCommentItems({{&irqATrigger_, 0}});
      if (irqB_) AddCommentItems({{&irqBTrigger_, 0}});
      for (int k = 0; k < 2; ++k) {
        fastSource_[k].Bind({this, kRegFim0 + static_cast<size_t>(k)}, 0, 7, 0,
                            Format("Fast interrupt %d", k), false, 0, count > 0 ? count - 1 : 0,
                            true);
        fastIsr_[k].Bind({this, kRegFiva0 + static_cast<size_t>(k)},
                         Format("Fast interrupt %d ISR name", k));
        fastIsr_[k].RequireIdentifier();
        AddCommentItems({{&fastSource_[k], 0}, {&fastIsr_[k], 0}});
      }
      break;
    case IntcLayout::UserSlot:
      maskDisable_.Bind({this, kRegIcsr}, 5, false, "All maskable interrupts disabled");
      AddCommentItems({{&maskDisable_, 3}});
      for (int i = 0; i < kUserSlots; ++i) {
        const int low = (i % 2) * 8;
        userSource_[i].Bind({this, kRegIar0 + static_cast<size_t>(i / 2)}, low, low + 5, 0,
                            Format("USER%d interrupt", i + 1), false, 0,
                            count > 7 ? count - 7 : 0, true);
        const uint32_t vector = count >= kUserSlots ? count - kUserSlots + i : 0;
        userIsr_[i].Bind({this, firstVectorRegister_ + 2 * vector},
                         Format("USER%d ISR name", i + 1));
        userIsr_[i].RequireIdentifier();
        AddCommentItems({{&userSource_[i], 0}, {&userIsr_[i], 0}});
      }
      fastUser6_.Bind({this, kRegFastInt}, 0);
      AddCommentItems({{&fastUser6_, 3}});
      for (int i = 0; i < 5; ++i) {
        // Receive, Transmit, Trace, Breakpoint, Step: bits 4 down to 0.
        jtag_[i].Bind({this, kRegIcsr}, 4 - i, false, "JTAG/EDPORT Interrupts:");
        AddCommentItems({{&jtag_[i], 1}});
      }
      break;
  }
}

// ---- queries ----

bool CpmINTC::IsValidUserSource(uint32_t source) const {
  const size_t count = vectors_.size();
  return count > 6 && source > 9 && source < count - 6 && !(source >= 34 && source <= 39);
}

bool CpmINTC::IsUserSlotVector(uint32_t vector) const {
  return layout_ == IntcLayout::UserSlot && vectors_.size() >= kUserSlots &&
         vector >= vectors_.size() - kUserSlots && vector < vectors_.size();
}

const CpmINTC::Panel* CpmINTC::OwnPanel(uint32_t vector) const {
  if (!page_) return nullptr;
  for (const auto& panel : panels_) {
    if (panel->vector == vector && &panel->page->Root() == page_.get()) return panel.get();
  }
  return nullptr;
}

std::string CpmINTC::GetIsrName(uint32_t vector) const {
  if (const Panel* panel = OwnPanel(vector)) return Trim(panel->isr.GetText());
  return TextOf(IsrRegister(vector));
}

int CpmINTC::GetPriorityPosition(uint32_t vector) const {
  int position = -1;
  if (const Panel* panel = OwnPanel(vector)) {
    position = panel->priority.GetIndex();
  } else if (const Register* reg = PriorityRegister(vector)) {
    std::vector<std::string> displays, values;
    PriorityItems(vector, displays, values);
    const auto it = std::find(values.begin(), values.end(), TextOf(reg));
    if (it != values.end()) position = static_cast<int>(it - values.begin());
  }
  // A list without a matching item shows its first one.
  return std::max(position, 0);
}

void CpmINTC::PriorityItems(uint32_t vector, std::vector<std::string>& displays,
                            std::vector<std::string>& values) const {
  displays.clear();
  values.clear();
  if (vector >= vectors_.size()) return;
  const uint32_t flags = vectors_[vector].flags;
  if (flags & kVectorNoPriority) return;
  if (layout_ == IntcLayout::Classic) {
    for (int level = 0; level <= 7; ++level) {
      displays.push_back(Format("Level %d", level));
      values.push_back(Format("%d", level));
    }
    return;
  }
  if (flags & kVectorDisabledItem) {
    displays.push_back("Disabled");
    values.push_back("INTC_DISABLED");
  }
  for (int level = 0; level <= 3; ++level) {
    if (!(flags & (kVectorLevel0 << level))) continue;
    displays.push_back(Format("Level %d", level));
    values.push_back(Format("INTC_LEVEL%d", level));
  }
}

bool CpmINTC::IsClaimed(uint32_t vector) const {
  return vector < claims_.size() && claims_[vector].claimed;
}

CModuleBase* CpmINTC::ClaimOwner(uint32_t vector) const {
  return IsClaimed(vector) ? claims_[vector].owner : nullptr;
}

std::vector<CModuleBase*> CpmINTC::UsersOf(uint32_t vector) const {
  std::vector<CModuleBase*> users;
  for (const auto& [module, number] : users_) {
    if (number == vector) users.push_back(module);
  }
  return users;
}

uint32_t CpmINTC::GetUserSource(int slot) const {
  if (layout_ != IntcLayout::UserSlot || slot < 1 || slot > kUserSlots) return 0;
  return userSource_[slot - 1].GetValue();
}

std::string CpmINTC::GetUserIsrName(int slot) const {
  if (layout_ != IntcLayout::UserSlot || slot < 1 || slot > kUserSlots) return {};
  return TextOf(IsrRegister(static_cast<uint32_t>(vectors_.size() - kUserSlots + slot - 1)));
}

bool CpmINTC::IsFastUser6() const {
  return layout_ == IntcLayout::UserSlot && fastUser6_.GetCheck();
}

uint32_t CpmINTC::PanelWarningId(uint32_t vector) {
  return MakeWarningId(kIdVectorPanelBase + vector, kPanelSource);
}

size_t CpmINTC::CountPanels(uint32_t vector) const {
  return static_cast<size_t>(std::count_if(panels_.begin(), panels_.end(),
                                           [vector](const auto& p) { return p->vector == vector; }));
}

// ---- services for the other modules ----

void CpmINTC::AttachInterruptUser(CModuleBase& user, InterruptUser& record) {
  const std::pair<CModuleBase*, uint32_t> entry{&user, record.vector};
  if (std::find(users_.begin(), users_.end(), entry) == users_.end()) users_.push_back(entry);
}

bool CpmINTC::ClaimVector(const InterruptUser& user, bool enable, const std::string& isrName,
                          CModuleBase* module) {
  const uint32_t vector = user.vector;
  Register* reg = IsrRegister(vector);
  if (!reg) return false;
  Claim& claim = claims_[vector];
  const std::string textBefore = reg->text;
  const uint32_t valueBefore = reg->value;
  bool done = true;
  if (claim.claimed && claim.owner != module) {
    done = false;
  } else if (enable) {
    if (!claim.claimed) {
      claim.claimed = true;
      claim.owner = module;
      claim.savedText = reg->text;
      claim.savedValue = reg->value;
    }
    reg->text = isrName;
    reg->value = isrName.empty() ? 0 : 1;
  } else if (claim.claimed) {
    // Releasing gives the vector back the name it had before the first claim. A vector that
    // is not claimed keeps the name the user gave it.
    reg->text = claim.savedText;
    reg->value = claim.savedValue;
    claim = Claim{};
  }
  RefreshPanels(vector);
  if ((reg->text != textBefore || reg->value != valueBefore) && context_)
    context_->Broadcast(kHintValueChanged, this);
  return done;
}

int CpmINTC::FindUserSlot(uint32_t vector, std::string* isrName) const {
  if (layout_ != IntcLayout::UserSlot || !IsValidUserSource(vector)) return -1;
  for (int slot = 1; slot <= kUserSlots; ++slot) {
    if (GetUserSource(slot) != vector) continue;
    if (isrName) *isrName = GetUserIsrName(slot);
    return slot;
  }
  return -1;
}

std::string UserSlotNote(const CModule& module, size_t userIndex, bool seeForm) {
  const std::vector<InterruptUser>& users = module.InterruptUsers();
  CModuleBase* controller = module.GetInterruptController();
  if (userIndex >= users.size() || !controller) return {};
  std::string isrName;
  const int slot = controller->FindUserSlot(users[userIndex].vector, &isrName);
  if (slot < 0) return {};
  const std::string text =
      seeForm ? Format("See USER%d (%s) in WINTC module.", slot, isrName.c_str())
              : Format("NOTE: defined as USER%d (%s) in WINTC module.", slot, isrName.c_str());
  return controller->MakeLinkHtml(text, CpmINTC::UserId(CpmINTC::kIdUserEdit, slot));
}

// ---- interrupt panels ----

void CpmINTC::PriorityBinding::Refresh() {
  CSetEnum::Refresh();
  // A list without a matching item shows its first one (nothing is written until chosen).
  const Control* control = GetWnd();
  if (control && control->selection < 0 && !control->items.empty()) ShowSelection(0);
}

void CpmINTC::BuildInterruptPanel(Page& panel, CModuleBase& user, InterruptUser& record,
                                  bool wide) {
  (void)user;
  if (record.vector >= vectors_.size()) {
    panel.AddStatic(kPanelSource, Format("%u. (not in the vector table)", record.vector));
    return;
  }
  FillPanel(panel, record.vector, wide);
}

void CpmINTC::FillPanel(Page& panel, uint32_t vector, bool wide) {
  auto made = std::make_unique<Panel>();
  Panel& record = *made;
  record.page = &panel;
  record.vector = vector;
  panels_.push_back(std::move(made));

  // Columns under the headers "Interrupt Source", "ISR Name" and "Priority"; the narrow
  // panel leaves out the source.
  const IntcVector& entry = vectors_[vector];
  if (wide) panel.AddStatic(kPanelSource, entry.text).layout.width = kSourceWidth;
  record.isr.Bind({this, firstVectorRegister_ + 2 * vector}, entry.text + " ISR name");
  record.isr.RequireIdentifier();
  panel.AddEdit(kPanelIsr, &record.isr).layout.width = kIsrWidth;
  std::vector<std::string> displays, values;
  PriorityItems(vector, displays, values);
  record.priority.Bind({this, firstVectorRegister_ + 2 * vector + 1}, false,
                       entry.text + " priority");
  record.priority.SetItems(displays, values);
  panel.AddDropDown(kPanelPriority, displays, &record.priority).layout.width = kPriorityWidth;

  // The panel's events pass here first so that the vector's other panels follow.
  panel.SetEventHandler([this, &record](Page& page, Control& control, ControlEvent event) {
    OnPanelEvent(record, page, control, event);
  });
  WatchPage(panel.Root());
  ApplyPanelState(record);
}

void CpmINTC::ApplyPanelState(Panel& panel) {
  const uint32_t flags = vectors_[panel.vector].flags;
  // The user slots' vectors are edited in the slot section.
  const bool slot = IsUserSlotVector(panel.vector);
  panel.page->SetEnabled(kPanelIsr,
                         !(flags & kVectorIsrFixed) && !IsClaimed(panel.vector) && !slot);
  panel.page->SetEnabled(kPanelPriority,
                         !(flags & (kVectorPriorityFixed | kVectorNoPriority)) && !slot);
}

void CpmINTC::RefreshPanels(uint32_t vector, const Panel* except) {
  for (auto& panel : panels_) {
    if (panel->vector != vector) continue;
    if (panel.get() != except) {
      panel->isr.Refresh();
      panel->priority.Refresh();
    }
    ApplyPanelState(*panel);
  }
  if (IsUserSlotVector(vector))
    userIsr_[vector - (vectors_.size() - kUserSlots)].Refresh();
}

void CpmINTC::OnPanelEvent(Panel& panel, Page& page, Control& control, ControlEvent event) {
  const bool isrWritten = control.id == kPanelIsr && (event == ControlEvent::FocusLost ||
                                                       event == ControlEvent::TextSetByProgram);
  const bool priorityWritten =
      control.id == kPanelPriority &&
      (event == ControlEvent::SelectionChanged || event == ControlEvent::FocusLost);
  if (isrWritten || priorityWritten) RefreshPanels(panel.vector, &panel);
  // The page's module handles the rest as for its own controls.
  if (CModuleBase* module = page.GetModule()) module->OnControlEvent(page, control, event);
}

void CpmINTC::WatchPage(Page& page) {
  if (watchedPages_.insert(&page).second) page.AddObserver(&watcher_);
}

void CpmINTC::OnPageGone(Page& page) {
  panels_.remove_if([&page](const auto& panel) { return panel->page == &page; });
  watchedPages_.erase(&page);
}

// ---- the controller page ----

void CpmINTC::BuildPage(Page& page) {
  switch (layout_) {
    case IntcLayout::Classic: BuildControllerClassic(page); break;
    case IntcLayout::Standard: BuildControllerStandard(page); break;
    case IntcLayout::UserSlot: BuildControllerUserSlots(page); break;
  }
  BuildVectorList(page);
  WatchPage(page);
}

void CpmINTC::BuildControllerClassic(Page& page) {
  // The classic header has no global mask register: the first register is IRQA_ENABLED,
  // whose bit 5 would read as "IRQ A enabled" to the start-up code.
  page.AddGroupBox(kIdGroupController, "External interrupts");
  page.BeginGroup(kIdGroupController);
  const std::vector<std::string> items(std::begin(kClassicTriggerItems),
                                       std::end(kClassicTriggerItems));
  page.AddCheckBox(kIdIrqAEnable, "IRQ A enable", &irqAEnable_);
  page.NewRow();
  page.AddStatic(kIdIrqATriggerCaption, "IRQ A trigger mode:");
  page.AddDropDown(kIdIrqATrigger, items, &irqATriggerText_);
  page.NewRow();
  page.AddCheckBox(kIdIrqBEnable, "IRQ B enable", &irqBEnable_);
  page.NewRow();
  page.AddStatic(kIdIrqBTriggerCaption, "IRQ B trigger mode:");
  page.AddDropDown(kIdIrqBTrigger, items, &irqBTriggerText_);
  page.EndGroup();
  ShowIrqControls(page);
}

void CpmINTC::ShowIrqControls(Page& page) {
  // Controls of an external pin the part lacks stay out of sight (and out of the comment).
  for (uint32_t id : {kIdIrqAEnable, kIdIrqATriggerCaption, kIdIrqATrigger})
    if (page.Find(id)) page.SetShown(id, irqA_);
  for (uint32_t id : {kIdIrqBEnable, kIdIrqBTriggerCaption, kIdIrqBTrigger})
    if (page.Find(id)) page.SetShown(id, irqB_);
}

void CpmINTC::BuildControllerStandard(Page& page) {
  page.AddGroupBox(kIdGroupController, "Interrupt controller");
  page.BeginGroup(kIdGroupController);
  page.AddCheckBox(kIdMaskDisable, "All maskable interrupts disable", &maskDisable_);
  page.NewRow();
  const std::vector<std::string> triggers = {"Low-level sensitive", "Falling-edge sensitive"};
  page.AddStatic(kIdIrqATriggerCaption, "IRQ A trigger mode:");
  page.AddDropDown(kIdIrqATrigger, triggers, &irqATrigger_);
  page.NewRow();
  page.AddStatic(kIdIrqBTriggerCaption, "IRQ B trigger mode:");
  page.AddDropDown(kIdIrqBTrigger, triggers, &irqBTrigger_);
  page.EndGroup();
  ShowIrqControls(page);

  page.AddGroupBox(kIdGroupFast, "Fast interrupts");
  page.BeginGroup(kIdGroupFast);
  const int last = static_cast<int>(vectors_.size()) - 1;
  for (int k = 0; k < 2; ++k) {
    page.AddStatic(FastId(kIdFastCaption, k), Format("Match register %d:", k));
    page.AddEdit(FastId(kIdFastEdit, k), &fastSource_[k]).layout.width = 60;
    page.AddStatic(FastId(kIdFastRange, k), Format("(0 - %d)", std::max(last, 0)));
    page.AddStatic(FastId(kIdFastIsrCaption, k), "Fast ISR Name:");
    page.AddEdit(FastId(kIdFastIsr, k), &fastIsr_[k]).layout.width = kIsrWidth;
    page.NewRow();
  }
  page.AddLink(kIdFastNote, "").shown = false;
  page.EndGroup();
}

void CpmINTC::BuildControllerUserSlots(Page& page) {
  page.AddGroupBox(kIdGroupController, "Interrupt controller");
  page.BeginGroup(kIdGroupController);
  page.AddCheckBox(kIdMaskDisable, "All maskable interrupts disable", &maskDisable_);
  page.EndGroup();

  page.AddGroupBox(kIdGroupUser, "User programmable interrupts");
  page.BeginGroup(kIdGroupUser);
  for (int slot = 1; slot <= kUserSlots; ++slot) {
    page.AddStatic(UserId(kIdUserCaption, slot), Format("USER%d interrupt source:", slot));
    page.AddEdit(UserId(kIdUserEdit, slot), &userSource_[slot - 1]).layout.width = 60;
    page.AddStatic(UserId(kIdUserIsrCaption, slot), "ISR Name:");
    page.AddEdit(UserId(kIdUserIsr, slot), &userIsr_[slot - 1]).layout.width = kIsrWidth;
    page.NewRow();
    page.AddLink(UserId(kIdUserDuplicate, slot), "").shown = false;
    page.NewRow();
    page.AddLink(UserId(kIdUserBothIsr, slot), "").shown = false;
    page.NewRow();
  }
  page.AddCheckBox(kIdFastUser6, "Make USER6 Fast Interrupt", &fastUser6_);
  page.AddStatic(kIdFastUser6Note, "Please, define the ISR Name in fast_int.c file").shown =
      false;
  page.EndGroup();

  page.AddGroupBox(kIdGroupJtag, "JTAG/EDPORT Interrupts Enable");
  page.BeginGroup(kIdGroupJtag);
  const char* const boxes[] = {"Receive Register Full", "Transmit Register Empty", "Trace Buffer",
                               "Breakpoint Unit", "Step Counter"};
  for (int i = 0; i < 5; ++i) {
    page.AddCheckBox(kIdJtagFirst + static_cast<uint32_t>(i), boxes[i], &jtag_[i]);
    if (i == 2) page.NewRow();
  }
  page.EndGroup();
}

void CpmINTC::BuildVectorList(Page& page) {
  page.AddGroupBox(kIdGroupVectors, "Interrupt vectors");
  page.BeginGroup(kIdGroupVectors);
  page.AddCheckBox(kIdShowAll, "Show all interrupts").checked = showAll_;
  page.NewRow();
  // The column captions sit in a child page of their own so that they line up with the
  // panels' columns.
  page.AddPlaceholder(kIdVectorHeader, kPanelWidth).tabStop = false;
  page.NewRow();
  if (Page* header = page.CreateChildPage(kIdVectorHeader)) {
    for (const std::string& caption : InterruptHeaderCaptions(true))
      header->AddStatic(kAnonymousControl, caption);
  }
  for (uint32_t n = 0; n < vectors_.size(); ++n) {
    const uint32_t id = kIdVectorPanelBase + n;
    Control& holder = page.AddPlaceholder(id, kPanelWidth);
    holder.tabStop = false;
    holder.shown = showAll_ || !(vectors_[n].flags & kVectorUserSlot);
    page.NewRow();
    if (Page* panel = page.CreateChildPage(id)) FillPanel(*panel, n, true);
  }
  page.EndGroup();
}

void CpmINTC::UpdateEnables() {
  if (!page_) return;
  Page& page = *page_;
  if (Control* box = page.Find(kIdShowAll); box && box->checked != showAll_)
    page.SetCheck(kIdShowAll, showAll_);
  for (uint32_t n = 0; n < vectors_.size(); ++n) {
    if (vectors_[n].flags & kVectorUserSlot) ShowControl(kIdVectorPanelBase + n, showAll_);
  }
  if (layout_ != IntcLayout::UserSlot) {
    ShowIrqControls(page);
  } else {
    ShowControl(kIdFastUser6Note, IsFastUser6());
    for (int slot = 1; slot <= kUserSlots; ++slot) {
      const bool valid = IsValidUserSource(GetUserSource(slot));
      EnableControl(UserId(kIdUserIsr, slot), valid);
      if (valid) continue;
      // An unused slot has no routine: its name goes with its source.
      const uint32_t vector = static_cast<uint32_t>(vectors_.size() - kUserSlots + slot - 1);
      Register* reg = IsrRegister(vector);
      if (reg && (reg->value != 0 || !reg->text.empty())) {
        reg->text.clear();
        reg->value = 0;
      }
      if (Control* edit = page.Find(UserId(kIdUserIsr, slot)); edit && !edit->text.empty())
        page.SetText(edit->id, "");
      RefreshPanels(vector);
    }
  }
  for (auto& panel : panels_) {
    if (&panel->page->Root() == &page) ApplyPanelState(*panel);
  }
}

void CpmINTC::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  if (&page == page_.get()) {
    if (control.id == kIdShowAll && event == ControlEvent::Clicked) showAll_ = control.checked;
    for (int slot = 1; slot <= kUserSlots && layout_ == IntcLayout::UserSlot; ++slot) {
      // A slot's name also shows in its vector's panel.
      if (control.id == UserId(kIdUserIsr, slot) &&
          (event == ControlEvent::FocusLost || event == ControlEvent::TextSetByProgram))
        RefreshPanels(static_cast<uint32_t>(vectors_.size() - kUserSlots + slot - 1));
    }
  }
  CModuleBase::OnControlEvent(page, control, event);
  // A slot's source decides whether its name can be edited.
  if (&page == page_.get() && control.id >= kIdUserEdit &&
      control.id <= UserId(kIdUserEdit, kUserSlots) && (control.id - kIdUserEdit) % 10 == 0 &&
      (event == ControlEvent::TextChanged || event == ControlEvent::FocusLost))
    UpdateEnables();
}

// ---- warnings ----

void CpmINTC::CheckWarnings() {
  CModule::CheckWarnings();
  switch (layout_) {
    case IntcLayout::Classic: CheckPanels(); break;
    case IntcLayout::Standard: CheckStandard(); break;
    case IntcLayout::UserSlot: CheckUserSlots(); break;
  }
}

void CpmINTC::CheckStandard() {
  const uint32_t count = static_cast<uint32_t>(vectors_.size());
  const std::string range = Format("(0 - %d)", std::max(static_cast<int>(count) - 1, 0));
  for (int k = 0; k < 2; ++k) {
    const uint32_t source = fastSource_[k].GetValue();
    const bool outOfRange = source >= count;
    SetWarning(FastId(kIdFastRange, k), outOfRange, range,
               Format("Fast interrupt %d number is out of range", k));
    const bool both = !outOfRange && source != 0 && !Trim(fastIsr_[k].GetText()).empty() &&
                      !GetIsrName(source).empty();
    SetWarning(FastId(kIdFastIsrCaption, k), both, "Fast ISR Name:",
               Format("Fast interrupt %d has assigned both standard ISR and fast ISR. The fast "
                      "ISR will be used.",
                      k));
  }

  // Only a peripheral source at level 2 can be fast; the first offender is named.
  std::string message;
  for (int k = 0; k < 2 && message.empty(); ++k) {
    const uint32_t source = fastSource_[k].GetValue();
    if (source == 0 || source >= count) continue;
    const uint32_t peripheral = kVectorDisabledItem | kVectorLevel0 | (kVectorLevel0 << 2);
    const bool isPeripheral = (vectors_[source].flags & peripheral) == peripheral;
    // Disabled, Level 0, Level 1, Level 2: the fourth position.
    if (!isPeripheral || GetPriorityPosition(source) != 3) {
      message = Format("Interrupt source %u can not be used as fast interrupt. Only peripheral "
                       "interrupt sources configured for priority level 2 can be set as fast.",
                       source);
    }
  }
  SetWarning(kIdFastNote, !message.empty(), message, message);
  CheckPanels();
}

std::string CpmINTC::UserSlotMessage(int slot, bool name) const {
  if (slot == kUserSlots && IsFastUser6()) {
    return name ? "Fast (USER6) interrupt service routine must have a name"
                : "Fast (USER6) interrupt source number is not valid";
  }
  return name ? Format("USER%d interrupt service routine must have a name", slot)
              : Format("USER%d interrupt source number is not valid", slot);
}

void CpmINTC::CheckUserSlots() {
  std::vector<uint32_t> used;
  for (int slot = 1; slot <= kUserSlots; ++slot) {
    const uint32_t source = GetUserSource(slot);
    const std::string name = Trim(userIsr_[slot - 1].GetText());
    const bool valid = IsValidUserSource(source);
    SetWarning(UserId(kIdUserCaption, slot), source != 0 && !valid,
               Format("USER%d interrupt source:", slot), UserSlotMessage(slot, false));
    SetWarning(UserId(kIdUserIsrCaption, slot), valid && name.empty(), "ISR Name:",
               UserSlotMessage(slot, true));

    const bool duplicate = valid && std::find(used.begin(), used.end(), source) != used.end();
    const std::string duplicateText =
        Format("Interrupt source %u is assigned to more than one USER interrupt.", source);
    SetWarning(UserId(kIdUserDuplicate, slot), duplicate, duplicate ? duplicateText : "",
               duplicateText);
    if (valid) used.push_back(source);

    const bool both = valid && !name.empty() && !GetIsrName(source).empty();
    const std::string bothText = Format(
        "Interrupt source %u has assigned both standard ISR and USER%d ISR. The USER ISR will "
        "be used.",
        source, slot);
    SetWarning(UserId(kIdUserBothIsr, slot), both, both ? bothText : "", bothText);
  }
  SetWarning(kIdFastUser6, IsFastUser6() && GetUserSource(kUserSlots) == 0,
             "Make USER6 Fast Interrupt", "Fast (USER6) interrupt source number is not valid");
  CheckPanels();
}

void CpmINTC::CheckPanels() {
  const uint32_t fast0 = layout_ == IntcLayout::Standard ? fastSource_[0].GetValue() : 0;
  const uint32_t fast1 = layout_ == IntcLayout::Standard ? fastSource_[1].GetValue() : 0;
  for (uint32_t n = 0; n < vectors_.size(); ++n) {
    const uint32_t flags = vectors_[n].flags;
    if ((flags & kVectorUserSlot) || !(flags & kVectorDisabledItem) ||
        (flags & kVectorPriorityFixed))
      continue;
    const std::string source = SourceNameOf(vectors_[n].text);
    const bool named = !GetIsrName(n).empty();
    const int position = GetPriorityPosition(n);
    std::string message;
    if (named && position == 0) {
      message = Format("%s Interrupt Service Routine is specified but Interrupt Priority is not set",
                       source.c_str());
    } else if (!named && position > 0) {
      // A fast source's handler is the fast ISR.
      const bool fast = layout_ == IntcLayout::Standard && (n == fast0 || n == fast1);
      if (!fast) {
        message = Format("%s Interrupt Priority is set but Interrupt Service Routine is not specified",
                         source.c_str());
      }
    }
    SetWarning(PanelWarningId(n), !message.empty(), vectors_[n].text, message);
  }
}

void RegisterIntcModuleKinds(ModuleFactory& factory) { factory.Register<CpmINTC>("INTC"); }

}  // namespace tarq

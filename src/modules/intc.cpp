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

// The classic header has no global mask register: its first register is IRQA_ENABLED,
// whose bit 5 would read as "IRQ A enabled" to the start-up code.
constexpr IntcVariant kVariants[] = {
    {.layout = IntcLayout::Classic, .registers = kClassicRegisters,
     .title = "External interrupts", .controlRegister = nullptr, .irqTriggerBits = false,
     .irqPinRegisters = true, .fastInterrupts = 0, .userSlots = 0, .jtagBoxes = 0,
     .digitLevels = 8},
    {.layout = IntcLayout::Standard, .registers = kStandardRegisters,
     .title = "Interrupt controller", .controlRegister = "ICTL_INIT", .irqTriggerBits = true,
     .irqPinRegisters = false, .fastInterrupts = 2, .userSlots = 0, .jtagBoxes = 0,
     .digitLevels = 0},
    {.layout = IntcLayout::UserSlot, .registers = kUserSlotRegisters,
     .title = "Interrupt controller", .controlRegister = "ICSR_INIT", .irqTriggerBits = false,
     .irqPinRegisters = false, .fastInterrupts = 0, .userSlots = 6, .jtagBoxes = 5,
     .digitLevels = 0},
};

const char* const kPinNames[] = {"A", "B"};

const char* const kClassicTriggerItems[] = {
    "", "Low-level sensitive = ITCN_LOW_LEVEL_SENSITIVE",
    "High-level sensitive = ITCN_HIGH_LEVEL_SENSITIVE",
    "Falling-edge sensitive = ITCN_FALLING_EDGE_SENSITIVE",
    "Rising-edge sensitive = ITCN_RISING_EDGE_SENSITIVE"};

// Receive, Transmit, Trace, Breakpoint, Step: bits 4 down to 0 of the control register.
const char* const kJtagBoxes[] = {"Receive Register Full", "Transmit Register Empty",
                                  "Trace Buffer", "Breakpoint Unit", "Step Counter"};

// Panel widths in layout units; the list of vectors reads as a table.
constexpr uint32_t kIdVectorHeader = 1201;
constexpr int kPanelWidth = 560;
constexpr int kSourceWidth = 240;
constexpr int kIsrWidth = 160;
constexpr int kPriorityWidth = 110;

// The columns of an interrupt panel under the headers "Interrupt Source", "ISR Name" and
// "Priority" (the narrow panel leaves out the source), and the vector flags that fix them.
struct PanelColumn {
  uint32_t id;
  enum Kind { Source, Isr, Priority } kind;
  int width;
  uint32_t fixedFlags;
};
constexpr PanelColumn kPanelColumns[] = {
    {CpmINTC::kPanelSource, PanelColumn::Source, kSourceWidth, 0},
    {CpmINTC::kPanelIsr, PanelColumn::Isr, kIsrWidth, kVectorIsrFixed},
    {CpmINTC::kPanelPriority, PanelColumn::Priority, kPriorityWidth,
     kVectorPriorityFixed | kVectorNoPriority},
};

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

std::span<const IntcVariant> CpmINTC::Variants() { return kVariants; }

const IntcVariant& CpmINTC::VariantOf(IntcLayout layout) {
  for (const IntcVariant& variant : kVariants)
    if (variant.layout == layout) return variant;
  return kVariants[1];
}

void CpmINTC::InitModule(ModuleContext& doc) {
  BuildRegisters(doc);
  CModule::InitModule(doc);
  Declare();
}

void CpmINTC::BuildRegisters(ModuleContext& doc) {
  variant_ = &VariantOf(doc.TestPart(kTestClassic) ? IntcLayout::Classic
                        : doc.TestPart(kTestBrel)  ? IntcLayout::UserSlot
                                                   : IntcLayout::Standard);
  vectors_ = VectorTableOf(doc.GetSettings().partName);
  ReadParameters(doc);

  InitRegisters(variant_->registers.data(), variant_->registers.size());
  if (variant_->irqPinRegisters) {
    // A pin the part lacks has nothing to write.
    for (int pin = 0; pin < 2; ++pin) {
      if (irq_[pin]) continue;
      for (const char* what : {"ENABLED", "TRIGGER"})
        FindOwnRegister(Format("-IRQ%s_%s", kPinNames[pin], what))->flags |= DUMMYREG;
    }
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
  for (int pin = 0; pin < 2; ++pin) {
    irq_[pin] = GetParameter(std::string("IRQ") + kPinNames[pin], text) ? !IsFalseText(text)
                                                                        : pinsByDefault;
  }
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

// ---- the controller page ----

std::string CpmINTC::FastKey(int k, const char* role) { return Format("fast %d %s", k, role); }

std::string CpmINTC::UserKey(int slot, const char* role) {
  return Format("USER%d %s", slot, role);
}

void CpmINTC::Declare() {
  const IntcVariant& variant = *variant_;
  PageDeclaration& d = declaration_;
  d.Clear();
  const uint32_t count = static_cast<uint32_t>(vectors_.size());

  d.Group(variant.title, 900);
  if (variant.controlRegister) {
    d.Box({.caption = "All maskable interrupts disable", .id = 1000,
           .field = {.reg = variant.controlRegister, .low = 5},
           .label = "All maskable interrupts disabled", .comment = 3});
  }
  std::vector<std::string> classicTriggers, classicTriggerValues;
  SplitItems(kClassicTriggerItems, std::size(kClassicTriggerItems), classicTriggers,
             classicTriggerValues);
  // Controls of an external pin the part lacks stay out of sight and out of the comment.
  for (int pin = 0; pin < 2; ++pin) {
    const uint32_t at = 2 * static_cast<uint32_t>(pin);
    const std::string name = Format("IRQ %s", kPinNames[pin]);
    if (variant.irqPinRegisters) {
      d.Box({.caption = name + " enable", .id = 1001 + static_cast<uint32_t>(pin),
             .field = {.reg = Format("-IRQ%s_ENABLED", kPinNames[pin])}, .comment = 1,
             .commented = irq_[pin], .shown = irq_[pin]});
      d.List({.caption = name + " trigger mode:", .id = 1004 + at, .captionId = 1003 + at,
              .field = {.reg = Format("-IRQ%s_TRIGGER", kPinNames[pin]),
                        .texts = classicTriggerValues},
              .items = classicTriggers, .commented = irq_[pin], .shown = irq_[pin]});
    } else if (variant.irqTriggerBits) {
      d.List({.caption = name + " trigger mode:", .id = 1004 + at, .captionId = 1003 + at,
              .field = {.reg = variant.controlRegister, .low = pin},
              .items = {"Low-level sensitive", "Falling-edge sensitive"},
              .commented = irq_[pin], .shown = irq_[pin]});
    }
  }

  if (variant.fastInterrupts > 0) {
    d.NextBand();
    d.Group("Fast interrupts", 901);
    for (int k = 0; k < variant.fastInterrupts; ++k) {
      const uint32_t base = 1010 + 10 * static_cast<uint32_t>(k);
      d.Value({.caption = Format("Match register %d:", k), .key = FastKey(k, "source"),
               .id = base + 1, .captionId = base,
               .field = {.reg = Format("FIM%d_INIT", k), .low = 0, .high = 7},
               .label = Format("Fast interrupt %d", k),
               .number = {.hex = false, .maximum = count > 0 ? count - 1 : 0,
                          .zeroAllowed = true},
               .unit = Format("(0 - %d)", std::max(static_cast<int>(count) - 1, 0)),
               .unitId = base + 2, .width = 60});
      d.Text({.caption = "Fast ISR Name:", .key = FastKey(k, "ISR"), .id = base + 4,
              .captionId = base + 3, .field = {.reg = Format("FIVA%d_INIT", k)},
              .label = Format("Fast interrupt %d ISR name", k), .width = kIsrWidth,
              .newRow = false, .identifier = true});
    }
    d.Link({.key = "fast note", .id = 1030, .shown = false});
  }

  if (variant.userSlots > 0) {
    d.NextBand();
    d.Group("User programmable interrupts", 902);
    for (int slot = 1; slot <= variant.userSlots; ++slot) {
      const uint32_t base = 1100 + 10 * static_cast<uint32_t>(slot - 1);
      const int low = ((slot - 1) % 2) * 8;
      // 9 < source < vectors - 6: the highest valid source is vectors - 7.
      d.Value({.caption = Format("USER%d interrupt source:", slot), .key = UserKey(slot, "source"),
               .id = base + 1, .captionId = base,
               .field = {.reg = Format("IAR%d_INIT", (slot - 1) / 2), .low = low, .high = low + 5},
               .label = Format("USER%d interrupt", slot),
               .number = {.hex = false, .maximum = count > 7 ? count - 7 : 0,
                          .zeroAllowed = true},
               .width = 60});
      // An unused slot has no routine.
      d.Text({.caption = "ISR Name:", .key = UserKey(slot, "ISR"), .id = base + 3,
              .captionId = base + 2,
              .field = {.reg = Format("-INT_VECTOR_ADDR_%u", UserSlotVector(slot))},
              .label = Format("USER%d ISR name", slot), .width = kIsrWidth, .newRow = false, .identifier = true,
              .enabled = [this, slot] { return IsValidUserSource(GetUserSource(slot)); }});
      d.Link({.key = UserKey(slot, "duplicate"), .id = base + 4, .shown = false});
      d.Link({.key = UserKey(slot, "both ISR"), .id = base + 5, .shown = false});
    }
    d.Box({.caption = "Make USER6 Fast Interrupt", .id = 1170,
           .field = {.reg = "FASTINT_ENABLE"}, .comment = 3});
    d.Static({.caption = "Please, define the ISR Name in fast_int.c file",
              .key = "fast USER6 note", .id = 1171, .newRow = false, .shown = false,
              .visible = [this] { return IsFastUser6(); }});
  }

  if (variant.jtagBoxes > 0) {
    d.NextBand();
    d.Group("JTAG/EDPORT Interrupts Enable", 903);
    for (int i = 0; i < variant.jtagBoxes; ++i) {
      d.Box({.caption = kJtagBoxes[i], .id = 1180 + static_cast<uint32_t>(i),
             .field = {.reg = variant.controlRegister, .low = 4 - i},
             .label = "JTAG/EDPORT Interrupts:", .comment = 1, .newRow = i == 3});
    }
  }

  d.NextBand();
  d.Group("Interrupt vectors", 904);
  d.Box({.caption = "Show all interrupts", .id = 1200, .unbound = true});
  d.Custom([this](Page& page) { DeclareVectorRows(page); });

  ClearCommentItems();
  d.AddCommentItems();
}

// ---- queries ----

bool CpmINTC::IsValidUserSource(uint32_t source) const {
  const size_t count = vectors_.size();
  return count > 6 && source > 9 && source < count - 6 && !(source >= 34 && source <= 39);
}

bool CpmINTC::IsUserSlotVector(uint32_t vector) const {
  const size_t slots = static_cast<size_t>(variant_->userSlots);
  return slots > 0 && vectors_.size() >= slots && vector >= vectors_.size() - slots &&
         vector < vectors_.size();
}

uint32_t CpmINTC::UserSlotVector(int slot) const {
  // USER1..USERn sit on the last n vectors.
  const uint32_t count = static_cast<uint32_t>(vectors_.size());
  const uint32_t slots = static_cast<uint32_t>(variant_->userSlots);
  return count >= slots ? count - slots + static_cast<uint32_t>(slot - 1) : 0;
}

uint32_t CpmINTC::ControlId(const std::string& key) const {
  const DeclaredControl* control = declaration_.Find(key);
  return control ? control->id : 0;
}

CSetValue* CpmINTC::ValueOf(const std::string& key) const {
  const DeclaredControl* control = declaration_.Find(key);
  return control ? control->Value() : nullptr;
}

CSetString* CpmINTC::StringOf(const std::string& key) const {
  const DeclaredControl* control = declaration_.Find(key);
  return control ? control->String() : nullptr;
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
  if (variant_->digitLevels > 0) {
    for (int level = 0; level < variant_->digitLevels; ++level) {
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
  if (slot < 1 || slot > variant_->userSlots) return 0;
  const CSetValue* source = ValueOf(UserKey(slot, "source"));
  return source ? source->GetValue() : 0;
}

std::string CpmINTC::GetUserIsrName(int slot) const {
  if (slot < 1 || slot > variant_->userSlots) return {};
  return TextOf(IsrRegister(UserSlotVector(slot)));
}

bool CpmINTC::IsFastUser6() const {
  const DeclaredControl* box = declaration_.Find("Make USER6 Fast Interrupt");
  return box && box->Bit() && box->Bit()->GetCheck();
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
    // is not claimed keeps the name the user gave it. A remembered name that is the claimer's
    // own (read from a project saved while the claim held) was never the user's: it goes.
    const bool ownName = !isrName.empty() && claim.savedText == isrName;
    reg->text = ownName ? std::string() : claim.savedText;
    reg->value = ownName ? 0 : claim.savedValue;
    claim = Claim{};
  }
  RefreshPanels(vector);
  if ((reg->text != textBefore || reg->value != valueBefore) && context_)
    context_->Broadcast(kHintValueChanged, this);
  return done;
}

std::string CpmINTC::VectorIsrName(uint32_t vector) const {
  const Register* reg = IsrRegister(vector);
  return reg ? reg->text : std::string();
}

bool CpmINTC::ClearIsrName(uint32_t vector, const std::string& isrName) {
  Register* reg = IsrRegister(vector);
  if (!reg || isrName.empty() || IsClaimed(vector) || reg->text != isrName) return false;
  reg->text.clear();
  reg->value = 0;
  RefreshPanels(vector);
  if (context_) context_->Broadcast(kHintValueChanged, this);
  return true;
}

std::vector<uint32_t> CpmINTC::VectorsNamed(const std::string& isrName) const {
  std::vector<uint32_t> named;
  if (isrName.empty()) return named;
  for (uint32_t vector = 0; vector < vectors_.size(); ++vector)
    if (GetIsrName(vector) == isrName) named.push_back(vector);
  return named;
}

bool CpmINTC::AreDebugPortInterruptsEnabled() const {
  if (variant_->jtagBoxes < 2 || !variant_->controlRegister) return true;
  const Register* reg = const_cast<CpmINTC*>(this)->FindOwnRegister(variant_->controlRegister);
  // Receive register full is bit 4, transmit register empty bit 3.
  return reg && (reg->value & 0x18u) == 0x18u;
}

int CpmINTC::FindUserSlot(uint32_t vector, std::string* isrName) const {
  if (variant_->userSlots == 0 || !IsValidUserSource(vector)) return -1;
  for (int slot = 1; slot <= variant_->userSlots; ++slot) {
    if (GetUserSource(slot) != vector) continue;
    if (isrName) *isrName = GetUserIsrName(slot);
    return slot;
  }
  return -1;
}

std::string CpmINTC::UserSlotLink(int slot, const std::string& text) const {
  const uint32_t id = ControlId(UserKey(slot, "source"));
  return id != 0 ? MakeLinkHtml(text, id) : std::string();
}

std::string UserSlotNote(const CModule& module, size_t userIndex, bool seeForm) {
  const std::vector<InterruptUser>& users = module.InterruptUsers();
  const InterruptController* controller = module.GetInterruptController();
  if (userIndex >= users.size() || !controller) return {};
  std::string isrName;
  const int slot = controller->FindUserSlot(users[userIndex].vector, &isrName);
  if (slot < 0) return {};
  const std::string text =
      seeForm ? Format("See USER%d (%s) in WINTC module.", slot, isrName.c_str())
              : Format("NOTE: defined as USER%d (%s) in WINTC module.", slot, isrName.c_str());
  return controller->UserSlotLink(slot, text);
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

  const IntcVector& entry = vectors_[vector];
  record.isr.Bind({this, firstVectorRegister_ + 2 * vector}, entry.text + " ISR name");
  record.isr.RequireIdentifier();
  std::vector<std::string> displays, values;
  PriorityItems(vector, displays, values);
  record.priority.Bind({this, firstVectorRegister_ + 2 * vector + 1}, false,
                       entry.text + " priority");
  record.priority.SetItems(displays, values);
  for (const PanelColumn& column : kPanelColumns) {
    Control* control = nullptr;
    switch (column.kind) {
      case PanelColumn::Source:
        if (wide) control = &panel.AddStatic(column.id, entry.text);
        break;
      case PanelColumn::Isr: control = &panel.AddEdit(column.id, &record.isr); break;
      case PanelColumn::Priority:
        control = &panel.AddDropDown(column.id, displays, &record.priority);
        break;
    }
    if (control) control->layout.width = column.width;
  }

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
  for (const PanelColumn& column : kPanelColumns) {
    if (column.kind == PanelColumn::Source) continue;
    const bool isr = column.kind == PanelColumn::Isr;
    panel.page->SetEnabled(column.id, !(flags & column.fixedFlags) && !slot &&
                                          !(isr && IsClaimed(panel.vector)));
  }
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
  if (IsUserSlotVector(vector)) {
    const int slot = static_cast<int>(vector - UserSlotVector(1)) + 1;
    if (CSetString* isr = StringOf(UserKey(slot, "ISR"))) isr->Refresh();
  }
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
  declaration_.BuildPage(page);
  if (Control* box = page.Find(ControlId("Show all interrupts"))) box->checked = showAll_;
  WatchPage(page);
}

bool CpmINTC::VectorRowShown(uint32_t vector) const {
  // Sources the part does not wire up (DISSRC) are listed on demand only.
  return showAll_ || !(vectors_[vector].flags & kVectorUserSlot);
}

void CpmINTC::DeclareVectorRows(Page& page) {
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
    holder.shown = VectorRowShown(n);
    page.NewRow();
    if (Page* panel = page.CreateChildPage(id)) FillPanel(*panel, n, true);
  }
}

void CpmINTC::UpdateEnables() {
  if (!page_) return;
  Page& page = *page_;
  const uint32_t showAllId = ControlId("Show all interrupts");
  if (Control* box = page.Find(showAllId); box && box->checked != showAll_)
    page.SetCheck(showAllId, showAll_);
  for (uint32_t n = 0; n < vectors_.size(); ++n) {
    if (vectors_[n].flags & kVectorUserSlot) ShowControl(kIdVectorPanelBase + n, VectorRowShown(n));
  }
  declaration_.ApplyRules();
  for (int slot = 1; slot <= variant_->userSlots; ++slot) {
    if (IsValidUserSource(GetUserSource(slot))) continue;
    // An unused slot has no routine: its name goes with its source.
    const uint32_t vector = UserSlotVector(slot);
    Register* reg = IsrRegister(vector);
    if (reg && (reg->value != 0 || !reg->text.empty())) {
      reg->text.clear();
      reg->value = 0;
    }
    const uint32_t isrId = ControlId(UserKey(slot, "ISR"));
    if (Control* edit = page.Find(isrId); edit && !edit->text.empty()) page.SetText(isrId, "");
    RefreshPanels(vector);
  }
  for (auto& panel : panels_) {
    if (&panel->page->Root() == &page) ApplyPanelState(*panel);
  }
}

void CpmINTC::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  const bool own = &page == page_.get();
  if (own && control.id == ControlId("Show all interrupts") && event == ControlEvent::Clicked)
    showAll_ = control.checked;
  bool sourceEdited = false;
  for (int slot = 1; own && slot <= variant_->userSlots; ++slot) {
    // A slot's name also shows in its vector's panel.
    if (control.id == ControlId(UserKey(slot, "ISR")) &&
        (event == ControlEvent::FocusLost || event == ControlEvent::TextSetByProgram))
      RefreshPanels(UserSlotVector(slot));
    if (control.id == ControlId(UserKey(slot, "source"))) sourceEdited = true;
  }
  CModuleBase::OnControlEvent(page, control, event);
  // A slot's source decides whether its name can be edited.
  if (sourceEdited && (event == ControlEvent::TextChanged || event == ControlEvent::FocusLost))
    UpdateEnables();
}

// ---- warnings ----

void CpmINTC::CheckWarnings() {
  CModule::CheckWarnings();
  if (variant_->fastInterrupts > 0) CheckFastInterrupts();
  if (variant_->userSlots > 0) CheckUserSlots();
  CheckPanels();
}

void CpmINTC::CheckFastInterrupts() {
  const uint32_t count = static_cast<uint32_t>(vectors_.size());
  const std::string range = Format("(0 - %d)", std::max(static_cast<int>(count) - 1, 0));
  std::vector<uint32_t> sources;
  for (int k = 0; k < variant_->fastInterrupts; ++k) {
    const DeclaredControl& source = *declaration_.Find(FastKey(k, "source"));
    const DeclaredControl& isr = *declaration_.Find(FastKey(k, "ISR"));
    const uint32_t number = source.Value()->GetValue();
    sources.push_back(number);
    const bool outOfRange = number >= count;
    SetWarning(source.unitId, outOfRange, range,
               Format("Fast interrupt %d number is out of range", k));
    const bool both = !outOfRange && number != 0 && !Trim(isr.String()->GetText()).empty() &&
                      !GetIsrName(number).empty();
    SetWarning(isr.captionId, both, "Fast ISR Name:",
               Format("Fast interrupt %d has assigned both standard ISR and fast ISR. The fast "
                      "ISR will be used.",
                      k));
  }

  // Only a peripheral source at level 2 can be fast; the first offender is named.
  std::string message;
  for (uint32_t source : sources) {
    if (source == 0 || source >= count) continue;
    const uint32_t peripheral = kVectorDisabledItem | kVectorLevel0 | (kVectorLevel0 << 2);
    const bool isPeripheral = (vectors_[source].flags & peripheral) == peripheral;
    // Disabled, Level 0, Level 1, Level 2: the fourth position.
    if (!isPeripheral || GetPriorityPosition(source) != 3) {
      message = Format("Interrupt source %u can not be used as fast interrupt. Only peripheral "
                       "interrupt sources configured for priority level 2 can be set as fast.",
                       source);
      break;
    }
  }
  SetWarning(ControlId("fast note"), !message.empty(), message, message);
}

std::string CpmINTC::UserSlotMessage(int slot, bool name) const {
  if (slot == variant_->userSlots && IsFastUser6()) {
    return name ? "Fast (USER6) interrupt service routine must have a name"
                : "Fast (USER6) interrupt source number is not valid";
  }
  return name ? Format("USER%d interrupt service routine must have a name", slot)
              : Format("USER%d interrupt source number is not valid", slot);
}

void CpmINTC::CheckUserSlots() {
  std::vector<uint32_t> used;
  for (int slot = 1; slot <= variant_->userSlots; ++slot) {
    const uint32_t source = GetUserSource(slot);
    const DeclaredControl& sourceControl = *declaration_.Find(UserKey(slot, "source"));
    const DeclaredControl& isr = *declaration_.Find(UserKey(slot, "ISR"));
    const std::string name = Trim(isr.String()->GetText());
    const bool valid = IsValidUserSource(source);
    SetWarning(sourceControl.captionId, source != 0 && !valid,
               Format("USER%d interrupt source:", slot), UserSlotMessage(slot, false));
    SetWarning(isr.captionId, valid && name.empty(), "ISR Name:", UserSlotMessage(slot, true));

    const bool duplicate = valid && std::find(used.begin(), used.end(), source) != used.end();
    const std::string duplicateText =
        Format("Interrupt source %u is assigned to more than one USER interrupt.", source);
    SetWarning(ControlId(UserKey(slot, "duplicate")), duplicate,
               duplicate ? duplicateText : "", duplicateText);
    if (valid) used.push_back(source);

    const bool both = valid && !name.empty() && !GetIsrName(source).empty();
    const std::string bothText = Format(
        "Interrupt source %u has assigned both standard ISR and USER%d ISR. The USER ISR will "
        "be used.",
        source, slot);
    SetWarning(ControlId(UserKey(slot, "both ISR")), both, both ? bothText : "", bothText);
  }
  SetWarning(ControlId("Make USER6 Fast Interrupt"),
             IsFastUser6() && GetUserSource(variant_->userSlots) == 0,
             "Make USER6 Fast Interrupt", "Fast (USER6) interrupt source number is not valid");
}

void CpmINTC::CheckPanels() {
  std::vector<uint32_t> fast;
  for (int k = 0; k < variant_->fastInterrupts; ++k)
    fast.push_back(ValueOf(FastKey(k, "source"))->GetValue());
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
      if (std::find(fast.begin(), fast.end(), n) == fast.end()) {
        message = Format("%s Interrupt Priority is set but Interrupt Service Routine is not specified",
                         source.c_str());
      }
    }
    SetWarning(PanelWarningId(n), !message.empty(), vectors_[n].text, message);
  }
}

void RegisterIntcModuleKinds(ModuleFactory& factory) { factory.Register<CpmINTC>("INTC"); }

}  // namespace tarq

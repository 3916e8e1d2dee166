// The system integration modules: register tables, pages and checks of every chip group.
#include "modules/sys.h"

#include <algorithm>
#include <cctype>

#include "framework/Links.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

// Part tests the system modules ask.

constexpr uint32_t kFirstControlId = 1001;
constexpr int kInterruptPanelWidth = 420;

constexpr const char* kClockOffText =
    "Module %s is configured for use but its peripheral clock is disabled";
constexpr const char* kYscanClockText =
    "To prevent memory read acces error, the YSCAN module clock should be enabled.";

const std::vector<std::string> kProtectionItems = {
    "Registers not protected", "Registers write-protected", "Not protected permanently until reset",
    "Write-protected permanently until reset"};

// Keys of the stop-mode boxes, which share their texts with the clock-enable boxes.
std::string StopKey(const std::string& caption) { return "SD:" + caption; }

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return parts;
}

uint32_t FieldOf(uint32_t value, int low, int high) {
  const int width = high - low + 1;
  const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  return (value >> low) & mask;
}

// The digit right after `word` somewhere in `text`, or -1.
int DigitAfter(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const size_t next = at + word.size();
    if (next < text.size() && std::isdigit(static_cast<unsigned char>(text[next])))
      return text[next] - '0';
  }
  return -1;
}

}  // namespace

// ============================== CSysModule ==============================

CSysModule::CSysModule(const ArchitectureEntry& entry, CModuleBase* parent)
    : CModule(entry, parent) {}

CSysModule::~CSysModule() {
  // The page's controls point at the bindings: the page goes first.
  DestroyPage();
}

CSysModule* CSysModule::Find(ModuleContext* context) {
  if (!context) return nullptr;
  return dynamic_cast<CSysModule*>(context->FindModule("SYS", ""));
}

bool CSysModule::TestPart(int n) const {
  const ModuleContext* context = GetContext();
  return context && context->TestPart(n);
}

void CSysModule::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  DestroyPage();
  DeclareRegisters();
  CModule::InitModule(doc);
  ClearDeclarations();
  DeclareControls();
  ClearCommentItems();
  // A page with the pin report checks the pins with the page closed as well.
  SetHasPins(FindItem("(pin warning)") != nullptr);
  for (const Group& group : groups_) {
    for (const Item& item : group.items) {
      if (item.bit) AddCommentItem(item.bit, item.commentFlags);
      if (item.mode) AddCommentItem(item.mode, item.commentFlags);
    }
  }
}

void CSysModule::ClearDeclarations() {
  groups_.clear();
  keys_.clear();
  bindings_.clear();
  clockRows_.clear();
  band_ = 0;
  nextId_ = kFirstControlId;
}

// ---- declaration ----

void CSysModule::NextBand() {
  if (!groups_.empty() && groups_.back().band == band_) ++band_;
}

void CSysModule::BeginGroup(const std::string& title) {
  Group group;
  group.id = nextId_++;
  group.title = title;
  group.band = band_;
  groups_.push_back(std::move(group));
}

CSysModule::Item& CSysModule::NewItem(ItemKind kind, const std::string& text,
                                      const std::string& key, bool newRow) {
  if (groups_.empty()) BeginGroup({});
  Group& group = groups_.back();
  Item item;
  item.kind = kind;
  item.text = text;
  item.key = key.empty() ? text : key;
  item.newRow = newRow;
  group.items.push_back(std::move(item));
  const size_t where = (groups_.size() - 1) << 16 | (group.items.size() - 1);
  // The first of two equal keys answers, as a search along the page would.
  keys_.emplace(group.items.back().key, where);
  return group.items.back();
}

uint32_t CSysModule::AddBox(const std::string& text, const std::string& reg, int bit, bool inverted,
                            const std::string& label, bool newRow, const std::string& key) {
  auto binding = std::make_unique<CSetBit>();
  binding->Bind(RegisterRef::Named(*this, reg), bit, inverted, label);
  Item& item = NewItem(ItemKind::Box, text, key, newRow);
  item.id = nextId_++;
  item.bit = binding.get();
  item.commentFlags = 1;  // "Enabled" / "Disabled"
  bindings_.push_back(std::move(binding));
  return item.id;
}

uint32_t CSysModule::AddList(const std::string& caption, const std::string& reg, int low, int high,
                             std::vector<std::string> items, const std::string& label, bool newRow,
                             const std::string& key, std::vector<uint32_t> values) {
  auto binding = std::make_unique<CSetMode>();
  binding->Bind(RegisterRef::Named(*this, reg), low, high, 0, label, std::move(values));
  Item& item = NewItem(ItemKind::List, caption, key, newRow);
  item.id = nextId_++;
  item.listId = nextId_++;
  item.items = std::move(items);
  item.mode = binding.get();
  bindings_.push_back(std::move(binding));
  return item.id;
}

uint32_t CSysModule::AddLink(const std::string& markup, const std::string& key) {
  Item& item = NewItem(ItemKind::Link, markup, key, true);
  item.id = nextId_++;
  return item.id;
}

void CSysModule::AddPinWarning() {
  Item& item = NewItem(ItemKind::PinWarning, {}, "(pin warning)", true);
  item.id = kPinWarningControlId;
}

void CSysModule::AddInterruptPanels() {
  if (InterruptUsers().empty()) return;
  NewItem(ItemKind::InterruptPanel, {}, "(interrupts)", true);
}

void CSysModule::HideLast() {
  if (!groups_.empty() && !groups_.back().items.empty()) groups_.back().items.back().shown = false;
}

void CSysModule::HideItem(const std::string& key) {
  auto found = keys_.find(key);
  if (found == keys_.end()) return;
  groups_[found->second >> 16].items[found->second & 0xFFFF].shown = false;
}

void CSysModule::SetLastCommentFlags(uint32_t flags) {
  if (!groups_.empty() && !groups_.back().items.empty())
    groups_.back().items.back().commentFlags = flags;
}

// ---- page ----

void CSysModule::BuildPage(Page& page) {
  for (size_t first = 0; first < groups_.size();) {
    size_t end = first;
    while (end < groups_.size() && groups_[end].band == groups_[first].band) ++end;
    // The group boxes of a band share one row, so they stand side by side.
    page.NewRow();
    for (size_t g = first; g < end; ++g)
      if (!groups_[g].title.empty()) page.AddGroupBox(groups_[g].id, groups_[g].title);
    for (size_t g = first; g < end; ++g) {
      const Group& group = groups_[g];
      if (group.title.empty())
        page.NewRow();
      else
        page.BeginGroup(group.id);
      bool firstItem = true;
      for (const Item& item : group.items) {
        if (item.newRow && !firstItem) page.NewRow();
        firstItem = false;
        switch (item.kind) {
          case ItemKind::Box: {
            page.AddCheckBox(item.id, item.text, item.bit);
            if (!item.shown) page.SetShown(item.id, false);
            break;
          }
          case ItemKind::List: {
            page.AddStatic(item.id, item.text);
            page.AddDropDown(item.listId, PrepareItems(item), item.mode);
            if (!item.shown) {
              page.SetShown(item.id, false);
              page.SetShown(item.listId, false);
            }
            break;
          }
          case ItemKind::Link:
            page.AddLink(item.id, item.text);
            break;
          case ItemKind::PinWarning:
            page.AddLink(item.id, {}).shown = false;
            break;
          case ItemKind::InterruptPanel:
            for (const InterruptUser& user : InterruptUsers()) {
              page.AddPlaceholder(kInterruptPanelBase + static_cast<uint32_t>(user.index),
                                  kInterruptPanelWidth);
              page.NewRow();
            }
            break;
        }
      }
      if (group.title.empty())
        page.NewRow();
      else
        page.EndGroup();
    }
    first = end;
  }
}

// ---- queries ----

const CSysModule::Item* CSysModule::FindItem(const std::string& key) const {
  auto found = keys_.find(key);
  if (found == keys_.end()) return nullptr;
  const size_t group = found->second >> 16;
  const size_t index = found->second & 0xFFFF;
  if (group >= groups_.size() || index >= groups_[group].items.size()) return nullptr;
  return &groups_[group].items[index];
}

bool CSysModule::IsChecked(const std::string& caption) const {
  const Item* item = FindItem(caption);
  return item && item->bit && item->bit->RegisterCheck();
}

int CSysModule::Selection(const std::string& caption) const {
  const Item* item = FindItem(caption);
  if (!item || !item->mode) return -1;
  const int index = item->mode->RegisterIndex();
  return index >= 0 && static_cast<size_t>(index) < PrepareItems(*item).size() ? index : -1;
}

std::string CSysModule::SelectedText(const std::string& caption) const {
  const int index = Selection(caption);
  if (index < 0) return {};
  return PrepareItems(*FindItem(caption))[static_cast<size_t>(index)];
}

uint32_t CSysModule::ControlId(const std::string& caption) const {
  const Item* item = FindItem(caption);
  return item ? item->id : 0;
}

uint32_t CSysModule::ListId(const std::string& caption) const {
  const Item* item = FindItem(caption);
  return item ? item->listId : 0;
}

const Register* CSysModule::OwnRegister(const std::string& name) const {
  for (const Register& reg : Registers())
    if (reg.name == name) return &reg;
  return nullptr;
}

std::vector<std::string> CSysModule::ListItems(const std::string& caption) const {
  const Item* item = FindItem(caption);
  return item && item->kind == ItemKind::List ? PrepareItems(*item) : std::vector<std::string>();
}

void CSysModule::WarnAt(const std::string& key, bool set, const std::string& message) {
  const uint32_t id = ControlId(key);
  if (id != 0) WarnControl(id, set, message);
}

void CSysModule::WarnControl(uint32_t id, bool set, const std::string& message) {
  // The control's own text goes along: a warning control without a text is hidden when its
  // warning clears, and these are boxes and captions that must stay.
  std::string text;
  for (const Group& group : groups_) {
    for (const Item& item : group.items)
      if (item.id == id) text = item.text;
  }
  SetWarning(id, set, text, set ? message : std::string());
}

bool CSysModule::ReadPartnerField(const std::string& module, const std::string& reg, int low,
                                  int high, uint32_t& value) const {
  ModuleContext* context = GetContext();
  CModuleBase* partner = context ? context->FindModule(module, "") : nullptr;
  if (!partner) return false;
  const std::string bare = !reg.empty() && reg.front() == '-' ? reg.substr(1) : reg;
  const Register* found = partner->FindOwnRegister(bare);
  if (!found) found = partner->FindOwnRegister("-" + bare);
  if (!found) return false;
  value = FieldOf(found->value, low, high);
  return true;
}

bool CSysModule::ReadPartnerBit(const std::string& module, const std::string& reg, int bit,
                                bool& set) const {
  uint32_t value = 0;
  if (!ReadPartnerField(module, reg, bit, bit, value)) return false;
  set = value != 0;
  return true;
}

std::string CSysModule::SourceSignalMessage(const std::string& itemText,
                                            const std::string& suffix) {
  return "The module which provides selected source signal \"" + itemText + "\"" + suffix;
}

std::string CSysModule::OptionLink(const std::string& caption) const {
  return std::string(kLinkScheme) + GetPrefix() + "/" + GetClass() + "/" + EncodeUrlText(caption);
}

// ---- pin-function selection ----

namespace {

// The selector registers follow the first five registers of every layout that has them.
constexpr size_t kFirstSelectorRegister = 5;
constexpr const char* kClockOutputRegister = "-SIM_CLKOSR_INIT";

void WriteBit(Register* reg, int bit, bool set) {
  if (!reg || bit < 0 || bit > 31) return;
  const uint32_t mask = 1u << bit;
  reg->value = set ? reg->value | mask : reg->value & ~mask;
}

}  // namespace

bool CSysModule::GetSelectorBit(int bit) const {
  if (bit < 0) return false;
  const size_t index = kFirstSelectorRegister + static_cast<size_t>(bit) / 16;
  return index < GetRegisterCount() && (Registers()[index].value >> (bit % 16)) & 1u;
}

void CSysModule::SetSelectorBit(int bit, bool set) {
  if (bit < 0) return;
  const size_t index = kFirstSelectorRegister + static_cast<size_t>(bit) / 16;
  if (index < GetRegisterCount()) WriteBit(&Registers()[index], bit % 16, set);
}

bool CSysModule::GetClockOutputBit(int bit) const {
  const Register* reg = OwnRegister(kClockOutputRegister);
  return reg && bit >= 0 && bit < 32 && (reg->value >> bit) & 1u;
}

void CSysModule::SetClockOutputBit(int bit, bool set) {
  WriteBit(FindOwnRegister(kClockOutputRegister), bit, set);
}

std::vector<RegisterRef> CSysModule::SelectorRegisters(bool withClockOutput) {
  std::vector<RegisterRef> registers;
  for (size_t i = 0; i < GetRegisterCount(); ++i) {
    const std::string& name = Registers()[i].name;
    const bool selector = i >= kFirstSelectorRegister && name.find("_GPS") != std::string::npos;
    if (selector || (withClockOutput && name == kClockOutputRegister))
      registers.push_back({this, i});
  }
  return registers;
}

std::vector<RegisterRef> CSysModule::PinoutSelectorRegisters(bool withClockOutput) {
  std::vector<RegisterRef> registers;
  uint32_t count = 1;
  if (!GetParameterInt("GPSCNT", count)) count = 1;
  for (size_t i = 0; i < count && kFirstSelectorRegister + i < GetRegisterCount(); ++i)
    registers.push_back({this, kFirstSelectorRegister + i});
  if (const Register* reg = OwnRegister(kClockOutputRegister); reg && withClockOutput)
    registers.push_back(RegisterRef::Of(*this, *reg));
  return registers;
}

// ---- peripheral clock check ----

int CSysModule::FindClockRow(const std::string& moduleName) const {
  for (size_t row = 0; row < clockRows_.size(); ++row) {
    for (const std::string& alternative : SplitBars(clockRows_[row].patterns))
      if (alternative == moduleName) return static_cast<int>(row);
  }
  return -1;
}

bool CSysModule::ReadClockEnable(size_t row, bool& enabled, uint32_t& warningId) const {
  const Item* item = FindItem(clockRows_[row].boxKey);
  if (!item || !item->bit) return false;
  enabled = item->bit->RegisterCheck();
  warningId = item->id;
  return true;
}

void CSysModule::CheckPeripheralClock(CModuleBase& module) {
  const int row = FindClockRow(module.GetPrefix());
  if (row < 0) return;
  bool enabled = false;
  uint32_t warningId = 0;
  if (!ReadClockEnable(static_cast<size_t>(row), enabled, warningId) || warningId == 0) return;
  ApplyClockWarning(static_cast<size_t>(row), module, enabled, module.IsSelected(), warningId);
}

void CSysModule::ApplyClockWarning(size_t row, CModuleBase& module, bool enabled, bool inUse,
                                   uint32_t warningId) {
  (void)row;
  // Several modules may share one box (alternative names): the warning stays while any of
  // them needs it, whatever order the modules are checked in.
  auto& wanting = clockWarnings_[warningId];
  const std::string& prefix = module.GetPrefix();
  auto it = std::find_if(wanting.begin(), wanting.end(),
                         [&](const auto& entry) { return entry.first == prefix; });
  if (!enabled && inUse) {
    if (it == wanting.end())
      wanting.emplace_back(prefix, module.GetDisplayName());
    else
      it->second = module.GetDisplayName();
  } else if (it != wanting.end()) {
    wanting.erase(it);
  }
  if (wanting.empty()) {
    WarnControl(warningId, false, {});
    return;
  }
  WarnControl(warningId, true, Format(kClockOffText, wanting.front().second.c_str()));
}

// ============================== CpmSYS_V1 ==============================

CpmSYS_V1::CpmSYS_V1(const ArchitectureEntry& entry, CModuleBase* parent)
    : CSysModule(entry, parent) {
  DeclareRegisters();
}

void CpmSYS_V1::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-SYS_CNTL_INIT", 0x0000, DW16},
      {"-BCR_INIT", 0x00CC, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmSYS_V1::DeclareControls() {
  const std::vector<std::string> waitStates = {"0", "4", "8", "12"};
  BeginGroup("Bus Control");
  AddList("Program memory wait states:", "-BCR_INIT", 0, 3, waitStates, {}, true, {},
          {0, 4, 8, 12});
  AddList("Data memory wait states:", "-BCR_INIT", 4, 7, waitStates, {}, true, {}, {0, 4, 8, 12});
  AddBox("External Bus driven when inactive", "-BCR_INIT", 9);

  BeginGroup("System Control");
  AddBox("Stop/Wait Mode disable", "-SYS_CNTL_INIT", 0);
  AddBox("Stop/Wait mode permanent disable", "-SYS_CNTL_INIT", 1);
  // Kept in the register but not offered: the memory map is fixed by the part's boot mode.
  AddList("Internal memory map:", "-SYS_CNTL_INIT", 5, 6, {"Mode 0", "Mode 1", "Mode 2", "Mode 3"});
  HideLast();
  AddBox("Data Bus: Pull-up disable", "-SYS_CNTL_INIT", 8);
  AddBox("Address Bus: Pull-up disable", "-SYS_CNTL_INIT", 9);
  AddBox("Control Bus: Pull-up disable", "-SYS_CNTL_INIT", 10);
  AddBox("Timer IO: Pull-up disable", "-SYS_CNTL_INIT", 11);

  NextBand();
  BeginGroup("Low Voltage Interrupts");
  AddBox("Low voltage 2.2V", "-SYS_CNTL_INIT", 2, false, "Interrupts:");
  AddBox("Low voltage 2.7V", "-SYS_CNTL_INIT", 3, false, "Interrupts:");
  AddInterruptPanels();
}

// ============================== CpmSYS_V2 ==============================

CpmSYS_V2::CpmSYS_V2(const ArchitectureEntry& entry, CModuleBase* parent)
    : CSysModule(entry, parent) {}

bool CpmSYS_V2::ShowsSecondTexts() const { return TestPart(kTestTeboOrCasp); }

std::vector<std::string> CpmSYS_V2::PrepareItems(const Item& item) const {
  std::vector<std::string> items;
  const bool second = ShowsSecondTexts();
  for (const std::string& text : item.items) {
    const size_t bar = text.find('|');
    if (bar == std::string::npos)
      items.push_back(text);
    else
      items.push_back(second ? text.substr(bar + 1) : text.substr(0, bar));
  }
  // "Permanently disabled" exists on the Tebo and Casp parts only.
  if (!second && (item.key == "Stop disable" || item.key == "Wait disable") && items.size() > 3)
    items.erase(items.begin() + 3);
  return items;
}

void CpmSYS_V2::DeclareBaseControls() {
  BeginGroup("Power Saving Modes");
  AddList(
      "Stop disable", "-SIM_CONROL_INIT", 2, 3,
      {"Stop enabled", "Stop disabled", "Stop permanently enabled", "Stop permanently disabled"},
      "SIM: Power Saving Modes");
  AddList(
      "Wait disable", "-SIM_CONROL_INIT", 0, 1,
      {"Wait enabled", "Wait disabled", "Wait permanently enabled", "Wait permanently disabled"},
      "SIM: Power Saving Modes");
  if (!TestPart(kTestCvx06)) {
    AddList("DPORT clock to processor core", "-SIM_CONROL_INIT", 5, 5,
            {"Enabled when core TAP enabled", "Always enabled"}, "SIM:");
  }

  BeginGroup("Clock Output");
  AddList("CLKOUT mode:", "-SIM_CLKOSR_INIT", 5, 5,
          {"On: Clock output active", "Off: Tristated|Off: 0"}, "SIM - CLKOUT:");
  AddList("CLKOUT select:", "-SIM_CLKOSR_INIT", 0, 4,
          {"Continuous System Clock", "Peripheral Clock", "High-speed Peripheral Clock",
           "Master Clock"},
          "SIM - CLKOUT:");
}

void CpmSYS_V2::DeclareLowVoltageControls() {
  BeginGroup("Low Voltage Interrupts");
  AddBox("Low voltage 2.2V", "-LVI_CONTROL_INIT", 0, false, "SIM - Interrupts:");
  AddBox("Low voltage 2.7V", "-LVI_CONTROL_INIT", 1, false, "SIM - Interrupts:");
  AddInterruptPanels();
  AddBox("Enable Internal RAM Check during startup (software feature)", "-INTXRAM_CHECK_ENABLED",
         0);
}

// ============================== CpmSYS_V2_Classic ==============================

CpmSYS_V2_Classic::CpmSYS_V2_Classic(const ArchitectureEntry& entry, CModuleBase* parent)
    : CpmSYS_V2(entry, parent) {
  DeclareRegisters();
}

bool CpmSYS_V2_Classic::IsCvx06() const { return TestPart(kTestCvx06); }

void CpmSYS_V2_Classic::DeclareRegisters() {
  if (IsCvx06()) {
    static const RegisterDecl kCvx06[] = {
        {"-SIM_CONROL_INIT", 0x0000, DW16},     {"-SIM_PUDR_INIT", 0x0000, DW16},
        {"-SIM_CLKOSR_INIT", 0x0000, DW16},     {"-LVI_CONTROL_INIT", 0x0000, DW16},
        {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
    };
    InitRegisters(kCvx06, std::size(kCvx06));
    return;
  }
  const bool teboOrCasp = TestPart(kTestTeboOrCasp);
  const bool selectsPins = TestPart(kTestFenn) || teboOrCasp;
  const uint32_t pce2Flags = TestPart(kTestCvx17To19) ? DW16 : DW16 | DUMMYREG | NOSHOWLIST;
  const RegisterDecl registers[] = {
      {"-SIM_CONROL_INIT", 0x0000, DW16},
      {"___PUDR___", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-SIM_CLKOSR_INIT", 0x0020, DW16},
      {"-LVI_CONTROL_INIT", 0x0000, DW16},
      {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
      {selectsPins ? "-SIM_GPS_INIT" : "-SIM_DTSS_INIT", 0x0000, DW16},
      {"-SIM_PCE_INIT", teboOrCasp ? 0x0000u : 0xFFFFu, DW16},
      {"-SIM_PCE2_INIT", teboOrCasp ? 0x0000u : 0x0001u, pce2Flags},
  };
  InitRegisters(registers, std::size(registers));
}

namespace {

// The clock on pin k of the clock-output register: the signal and pin that the ports'
// pin descriptions give for "CLKOSR<k>:SYS.<signal>".
std::string ClockPinCaption(ModuleContext* context, int bit) {
  const std::string selector = Format("CLKOSR%d:SYS.", bit);
  for (char port = 'A'; context && port <= 'F'; ++port) {
    const std::string portName = std::string("GPIO_") + port;
    CModuleBase* gpio = context->FindModule(portName, "");
    if (!gpio) continue;
    const std::string& text = gpio->GetParameterText();
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      start = end + 1;
      const size_t at = line.find(selector);
      uint32_t pin = 0;
      if (at == std::string::npos || !ReadCIntegerPrefix(line, pin)) continue;
      std::string signal = line.substr(at + selector.size());
      signal = Trim(signal.substr(0, signal.find(',')));
      return Format("%s clock on %s", signal.c_str(),
                    Format("%s%u", portName.c_str(), pin).c_str());
    }
  }
  return Format("%s clock on %s", Format("CLKO%d", bit - 6).c_str(), "GPIO");
}

}  // namespace

void CpmSYS_V2_Classic::DeclareControls() {
  DeclareBaseControls();
  for (int bit = 6; bit <= 9; ++bit)
    AddBox(ClockPinCaption(GetContext(), bit), "-SIM_CLKOSR_INIT", bit);

  NextBand();
  if (!IsCvx06()) {
    static const char* const kClockBoxes[] = {"PWM A", "PWM B", "SPI 0", "SPI 1", "SCI 0", "SCI 1",
                                              "TMR A", "TMR B", "TMR C", "TMR D", "DEC 0", "DEC 1",
                                              "CAN",   "ADC A", "ADC B", "EMI"};
    BeginGroup("Peripheral Clock Enable (PCE)");
    for (int bit = 0; bit < 16; ++bit) {
      AddBox(kClockBoxes[bit], "-SIM_PCE_INIT", bit, false,
             "SIM - Peripheral clock:", bit % 3 == 0);
      SetLastCommentFlags(6);
    }
    if (TestPart(kTestCvx17To19)) {
      AddBox("CAN2", "-SIM_PCE2_INIT", 0, false, "SIM - Peripheral clock:", false);
      SetLastCommentFlags(6);
    }
    SetClockTable({{"PWM_A|PWM", "PWM A"},
                   {"PWM_B", "PWM B"},
                   {"SPI_0|SPI", "SPI 0"},
                   {"SPI_1", "SPI 1"},
                   {"SCI_0|SCI", "SCI 0"},
                   {"SCI_1", "SCI 1"},
                   {"QT_A|QT", "TMR A"},
                   {"QT_B", "TMR B"},
                   {"QT_C", "TMR C"},
                   {"QT_D", "TMR D"},
                   {"DEC_0", "DEC 0"},
                   {"DEC_1", "DEC 1"},
                   {"ZCAN", "CAN"},
                   {"ADC_A|ADC", "ADC A"},
                   {"ADC_B", "ADC B"},
                   {"SEMI|IIC", "EMI"},
                   {"ZCAN2", "CAN2"}});

    const std::string pinSelect = Registers()[5].name;
    BeginGroup("Timer and SCI Control");
    AddBox("Timer channel 3 input sourced from PWM reload_sync signal", "-SIM_CONROL_INIT", 9,
           false, "SIM:");
    AddBox("SCI", "-SIM_CONROL_INIT", 11, false, "SIM:");
    for (int channel = 0; channel < 4; ++channel)
      AddBox(Format("Timer Ch. %d", channel), "-SIM_CONROL_INIT", 12 + channel, false,
             "SIM:", channel % 2 == 0);
    AddBox("Timer clock sourced from HS_PERF (3x System Clock)", pinSelect, 15);
    AddBox("PWM clock sourced from HS_PERF (3x System Clock)", pinSelect, 14);
    NextBand();
  } else {
    BeginGroup("SIM - Pull-up disabled");
    static const char* const kPullUps[] = {"Timer A",    "Timer C",     "Timer D",  "JTAG",
                                           "Adress bus", "Control Bus", "Data bus", "PWM A0",
                                           "PWM B",      "XBOOT",       "IRQ",      "RESETB",
                                           "EMI_MODE",   "CAN",         "PWM A1"};
    for (int bit = 0; bit < 15; ++bit) {
      AddBox(kPullUps[bit], "-SIM_PUDR_INIT", bit, false, "SIM - Pull-up disabled:", bit % 3 == 0);
      SetLastCommentFlags(6);
    }
  }
  DeclareLowVoltageControls();
}

bool CpmSYS_V2_Classic::ReadClockEnable(size_t row, bool& enabled, uint32_t& warningId) const {
  if (IsCvx06()) return false;
  const Register* reg = OwnRegister(row < 16 ? "-SIM_PCE_INIT" : "-SIM_PCE2_INIT");
  const Item* box = row < ClockRows().size() ? FindItem(ClockRows()[row].boxKey) : nullptr;
  if (!reg || !box) return false;
  const int bit = row < 16 ? static_cast<int>(row) : 0;
  enabled = (reg->value >> bit) & 1u;
  warningId = box->id;
  return true;
}

void CpmSYS_V2_Classic::CheckWarnings() {
  CModule::CheckWarnings();
  // A timer counting PWM reload pulses must not run slower than the PWM.
  const std::string timerBox = "Timer clock sourced from HS_PERF (3x System Clock)";
  const bool slowerTimer = TestPart(kTestTeboOrCasp) &&
                           IsChecked("Timer channel 3 input sourced from PWM reload_sync signal") &&
                           IsChecked("PWM clock sourced from HS_PERF (3x System Clock)") &&
                           !IsChecked(timerBox);
  WarnAt(
      timerBox, slowerTimer,
      "When PWM reload pulse is routed to Timer, the Timer must run at the same or higher clock");
}

// ============================== CpmSYS_V2_Casp ==============================

CpmSYS_V2_Casp::CpmSYS_V2_Casp(const ArchitectureEntry& entry, CModuleBase* parent)
    : CpmSYS_V2(entry, parent) {
  DeclareRegisters();
}

void CpmSYS_V2_Casp::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-SIM_CONROL_INIT", 0x0000, DW16},     {"___PUDR___", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-SIM_CLKOSR_INIT", 0x0020, DW16},     {"-LVI_CONTROL_INIT", 0x0000, DW16},
      {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE}, {"-SIM_GPSA0_INIT", 0x0000, DW16},
      {"-SIM_GPSA1_INIT", 0x0000, DW16},      {"-SIM_GPSB0_INIT", 0x0000, DW16},
      {"-SIM_GPSB1_INIT", 0x0000, DW16},      {"-SIM_GPSCD_INIT", 0x0000, DW16},
      {"-SIM_PCR_INIT", 0x0000, DW16},        {"-SIM_PCE0_INIT", 0x0000, DW16},
      {"-SIM_PCE1_INIT", 0x0000, DW16},       {"-SIM_PROT_INIT", 0x0000, DW16},
      {"-SIM_SD0_INIT", 0x0000, DW16},        {"-SIM_SD1_INIT", 0x0000, DW16},
      {"-SIM_IPS0_INIT", 0x0000, DW16},       {"-SIM_IPS1_INIT", 0x0000, DW16},
      {"-SIM_IPS2_INIT", 0x0000, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmSYS_V2_Casp::DeclareControls() {
  DeclareBaseControls();
  AddBox("3x System Clock on GPIOA0", "-SIM_CLKOSR_INIT", 6);
  AddBox("2x System Clock on GPIOA1", "-SIM_CLKOSR_INIT", 7);
  AddBox("System Cllock on GPIOA2", "-SIM_CLKOSR_INIT", 8);
  AddBox("Oscillator Clock on GPIOA3", "-SIM_CLKOSR_INIT", 9);

  struct Enable {
    const char* caption;
    int bit;
  };
  static const Enable kFirst[] = {{"PWM", 0},    {"SPI 0", 2},  {"SPI 1", 3}, {"SCI 0", 4},
                                  {"SCI 1", 5},  {"I2C", 6},    {"ADC", 10},  {"DAC 0", 12},
                                  {"DAC 1", 13}, {"CMP A", 14}, {"CMP B", 15}};
  // PCE1/SD1: the eight timer channels in bits 0..7, the interval timers in bits 12..14.
  static const int kSecondBits[] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14};
  auto secondCaption = [](int bit) {
    if (bit < 4) return Format("TMR A%d", bit);
    if (bit < 8) return Format("TMR B%d", bit - 4);
    return Format("PIT %d", bit - 12);
  };
  NextBand();
  for (bool stop : {false, true}) {
    BeginGroup(stop ? "Modules Enabled in STOP Mode (SD)" : "Peripheral Clock Enable (PCE)");
    const std::string label = stop ? "SD:" : "PCE:";
    int count = 0;
    for (const Enable& enable : kFirst) {
      AddBox(enable.caption, stop ? "-SIM_SD0_INIT" : "-SIM_PCE0_INIT", enable.bit, false, label,
             count++ % 3 == 0, stop ? StopKey(enable.caption) : std::string());
      SetLastCommentFlags(6);
    }
    for (int bit : kSecondBits) {
      const std::string caption = secondCaption(bit);
      AddBox(caption, stop ? "-SIM_SD1_INIT" : "-SIM_PCE1_INIT", bit, false, label,
             count++ % 3 == 0, stop ? StopKey(caption) : std::string());
      SetLastCommentFlags(6);
    }
  }
  SetClockTable({{"PWM_A|PWM", "PWM"},
                 {"QSPI_0|SPI_0|SPI", "SPI 0"},
                 {"QSPI_1|SPI_1", "SPI 1"},
                 {"IIC", "I2C"},
                 {"QSCI_0|SCI_0|SCI", "SCI 0"},
                 {"QSCI_1|SCI_1", "SCI 1"},
                 {"ADC_A|ADC", "ADC"},
                 {"DAC_0", "DAC 0"},
                 {"DAC_1", "DAC 1"},
                 {"CMP_A", "CMP A"},
                 {"CMP_B", "CMP B"},
                 {"QT_A0", "TMR A0"},
                 {"QT_A1", "TMR A1"},
                 {"QT_A2", "TMR A2"},
                 {"QT_A3", "TMR A3"},
                 {"QT_B0", "TMR B0"},
                 {"QT_B1", "TMR B1"},
                 {"QT_B2", "TMR B2"},
                 {"QT_B3", "TMR B3"},
                 {"PIT_0", "PIT 0"},
                 {"PIT_1", "PIT 1"},
                 {"PIT_2", "PIT 2"}});

  NextBand();
  BeginGroup("High-speed Peripheral Clock (HS_PERF)");
  AddBox("IIC clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 12);
  AddBox("PWM clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 13);
  AddBox("Timer A clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 14);
  AddBox("Timer B clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 15);
  BeginGroup("Pin Functions");
  // The pin-select registers are edited on the port pages, where each pin lists its functions.
  std::string links;
  for (char port = 'A'; port <= 'F'; ++port) {
    CModuleBase* gpio =
        GetContext() ? GetContext()->FindModule(std::string("GPIO_") + port, "") : nullptr;
    if (!gpio) continue;
    links += (links.empty() ? "" : ", ") + gpio->MakeLinkHtml({});
  }
  links = links.empty() ? "on the pages of the GPIO ports" : "in " + links;
  AddLink(Format("GPIO pins can be also configured %s", links.c_str()), "GPIO pins");

  NextBand();
  BeginGroup("Register Protection");
  AddList("IPS registers and all periph. pins configuration:", "-SIM_PROT_INIT", 0, 1,
          kProtectionItems, "Protection of IPS and GPSxx");
  AddList("PCE, SD and PCR registers protection:", "-SIM_PROT_INIT", 2, 3, kProtectionItems,
          "Protection of PCE, SD and PCR");

  NextBand();
  BeginGroup("Internal Peripheral Source Selection (IPS)");
  for (int n = 0; n < 3; ++n) {
    static const char* const kTimers[] = {"Timer A0 output", "Timer A2 output", "Timer A3 output"};
    AddList(
        Format("PSRC%d:", n), "-SIM_IPS0_INIT", 3 * n, 3 * n + 2,
        {Format("PSCS%d input pin", n), kTimers[n], Format("ADC Sample %d result (HLMT/LLMT)", n),
         "Comparator A output (filtered)", "Comparator B output (filtered)"},
        "IPS:");
    if (n < 2) {
      AddList(Format("FAULT%d:", n + 1), "-SIM_IPS0_INIT", 11 + 2 * n, 11 + 2 * n,
              {Format("FAULT%d input pin", n + 1),
               Format("Comparator %c output (non-filtered)", 'A' + n)},
              "IPS:", false);
    }
  }
  const std::vector<std::string> syncItems = {"PIT 0 output",    "PIT 1 output",
                                              "PIT 2 output",    "PWM reload sync. signal",
                                              "Timer A0 output", "Timer A1 output"};
  AddList("DAC0 SYNC:", "-SIM_IPS1_INIT", 0, 2, syncItems, "IPS:");
  AddList("DAC1 SYNC:", "-SIM_IPS1_INIT", 4, 6, syncItems, "IPS:", false);
  AddList("Timer A1 Input:", "-SIM_IPS2_INIT", 4, 4,
          {"Timer A1 pin", "Comparator A output (filtered)"}, "IPS:");
  AddList("Timer A2 Input:", "-SIM_IPS2_INIT", 8, 8,
          {"Timer A2 pin", "Comparator B output (filtered)"}, "IPS:", false);
  AddList("Timer A3 Input:", "-SIM_IPS2_INIT", 12, 12, {"Timer A3 pin", "PWM reload sync. signal"},
          "IPS:");

  NextBand();
  DeclareLowVoltageControls();
}

// ============================== CpmSYS_V2_Dorn ==============================

CpmSYS_V2_Dorn::CpmSYS_V2_Dorn(const ArchitectureEntry& entry, CModuleBase* parent)
    : CpmSYS_V2(entry, parent) {
  DeclareRegisters();
}

void CpmSYS_V2_Dorn::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-SIM_CONROL_INIT", 0x0000, DW16},
      {"___PUDR___", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-SIM_CLKOSR_INIT", 0x0020, DW16},
      {"-LVI_CONTROL_INIT", 0x0000, DW16},
      {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
      {"-SIM_GPS0_INIT", 0x0000, DW16},
      {"-SIM_GPS1_INIT", 0x0000, DW16},
      {"-SIM_GPS2_INIT", 0x0000, DW16},
      {"-SIM_GPS3_INIT", 0x0000, DW16},
      {"-SIM_PCR_INIT", 0x0000, DW16},
      {"-SIM_PCE0_INIT", 0x0000, DW16 | NODEFAULT},
      {"-SIM_PCE1_INIT", 0x0002, DW16 | NODEFAULT},
      {"-SIM_PCE2_INIT", 0x0000, DW16 | NODEFAULT},
      {"-SIM_PROT_INIT", 0x0000, DW16},
      {"-SIM_SD0_INIT", 0x0000, DW16},
      {"-SIM_SD1_INIT", 0x0000, DW16},
      {"-SIM_SD2_INIT", 0x0000, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmSYS_V2_Dorn::DeclareControls() {
  DeclareBaseControls();
  // This page has its own clock output controls; the base lists stay bound but hidden.
  HideItem("CLKOUT mode:");
  HideItem("CLKOUT select:");
  AddBox("Enable CLKOUT", "-SIM_CLKOSR_INIT", 5, true);
  AddList("Source:", "-SIM_CLKOSR_INIT", 0, 1,
          {"Continuous System Clock", "Peripheral Clock", "High-speed Peripheral Clock",
           "Master Clock"},
          "CLKOUT Source", true, "CLKOUT source");

  struct Enable {
    const char* caption;
    int reg;  // 0..2: PCE0/SD0 .. PCE2/SD2
    int bit;
  };
  static const Enable kEnables[] = {
      {"GPIO A", 0, 6},   {"GPIO B", 0, 5},   {"GPIO C", 0, 4},  {"GPIO D", 0, 3},
      {"GPIO E", 0, 2},   {"GPIO F", 0, 1},   {"ADC", 0, 7},     {"TMR A0", 0, 15},
      {"TMR A1", 0, 14},  {"TMR A2", 0, 13},  {"TMR A3", 0, 12}, {"TMR B0", 0, 11},
      {"TMR B1", 0, 10},  {"TMR B2", 0, 9},   {"TMR B3", 0, 8},  {"SCI0", 1, 10},
      {"SCI1", 1, 9},     {"QSPI0", 1, 8},    {"IIC0", 1, 7},    {"IIC1", 1, 6},
      {"CRC", 1, 5},      {"REFA", 1, 4},     {"REFB", 1, 3},    {"REFC", 1, 2},
      {"HFM", 1, 1},      {"YSCAN", 1, 0},    {"DAC", 1, 14},    {"HSCMP A", 1, 13},
      {"HSCMP B", 1, 12}, {"HSCMP C", 1, 11}, {"PWMCH0", 2, 3},  {"PWMCH1", 2, 2},
      {"PWMCH2", 2, 1},   {"PWMCH3", 2, 0},
  };
  NextBand();
  for (bool stop : {false, true}) {
    BeginGroup(stop ? "Modules Enabled in STOP Mode (SD)" : "Peripheral Clock Enable (PCE)");
    int count = 0;
    for (const Enable& enable : kEnables) {
      const std::string reg = Format(stop ? "-SIM_SD%d_INIT" : "-SIM_PCE%d_INIT", enable.reg);
      AddBox(enable.caption, reg, enable.bit, false, stop ? "SD:" : "PCE:", count++ % 3 == 0,
             stop ? StopKey(enable.caption) : std::string());
      SetLastCommentFlags(6);
    }
  }
  SetClockTable({{"GPIO_A", "GPIO A"},   {"GPIO_B", "GPIO B"},   {"GPIO_C", "GPIO C"},
                 {"GPIO_D", "GPIO D"},   {"GPIO_E", "GPIO E"},   {"GPIO_F", "GPIO F"},
                 {"SCI_0|SCI", "SCI0"},  {"SCI_1|SCI", "SCI1"},  {"SPI_0|SPI", "QSPI0"},
                 {"ADC", "ADC"},         {"DAC", "DAC"},         {"HSCMP_A", "HSCMP A"},
                 {"HSCMP_B", "HSCMP B"}, {"HSCMP_C", "HSCMP C"}, {"PWM_0", "PWMCH0"},
                 {"PWM_1", "PWMCH1"},    {"PWM_2", "PWMCH2"},    {"PWM_3", "PWMCH3"},
                 {"QT_A0", "TMR A0"},    {"QT_A1", "TMR A1"},    {"QT_A2", "TMR A2"},
                 {"QT_A3", "TMR A3"},    {"QT_B0", "TMR B0"},    {"QT_B1", "TMR B1"},
                 {"QT_B2", "TMR B2"},    {"QT_B3", "TMR B3"},    {"IIC_0", "IIC0"},
                 {"IIC_1", "IIC1"},      {"VREF_A", "REFA"},     {"VREF_B", "REFB"},
                 {"VREF_C", "REFC"},     {"YSCAN", "YSCAN"}});

  NextBand();
  BeginGroup("High-speed Peripheral Clock (HS_PERF)");
  AddBox("Timer A clock sourced from HS_PERF (2x System Clock)", "-SIM_PCR_INIT", 15);
  AddBox("Timer B clock sourced from HS_PERF (2x System Clock)", "-SIM_PCR_INIT", 14);
  AddBox("SCI0 clock sourced from HS_PERF (2x System Clock)", "-SIM_PCR_INIT", 13);
  AddBox("SCI1 clock sourced from HS_PERF (2x System Clock)", "-SIM_PCR_INIT", 12);
  BeginGroup("QTIMER Input Selection");
  static const char* const kTimerPins[] = {"GPIO C2", "GPIO F8", "GPIO F6", "GPIO F7"};
  for (int timer = 0; timer < 4; ++timer) {
    AddList(Format("Timer B%d:", timer), "-SIM_GPS3_INIT", 12 + timer, 12 + timer,
            {kTimerPins[timer], Format("XB_OUT%d", 26 + timer)}, "QTIMER Input Selection:");
  }

  NextBand();
  BeginGroup("Register Protection");
  AddList("IPS registers and all periph. pins configuration:", "-SIM_PROT_INIT", 0, 1,
          kProtectionItems, "Protection of IPS and GPSxx");
  AddList("PCE, SD and PCR registers protection:", "-SIM_PROT_INIT", 2, 3, kProtectionItems,
          "Protection of PCE, SD and PCR");

  struct PinList {
    const char* caption;
    int reg;  // GPS0..GPS3
    int low;
    int high;
    std::vector<std::string> items;
  };
  static const PinList kPins[] = {
      {"GPIO A0:", 3, 0, 0, {"ANA0/CMPA_2P", "CMPC_O"}},
      {"GPIO C0:", 0, 0, 0, {"XTAL", "CLKIN"}},
      {"GPIO C2:", 0, 4, 5, {"TXD0", "TB0", "XB_IN2", "CLKO"}},
      {"GPIO C3:", 0, 6, 7, {"TA0", "CMPA_O", "RXD0"}},
      {"GPIO C4:", 0, 8, 8, {"TA1", "CMPB_O"}},
      {"GPIO C5:", 0, 10, 10, {"DACO", "XB_IN7"}},
      {"GPIO C6:", 0, 12, 13, {"TA2", "XB_IN3", "CMP_REF"}},
      {"GPIO C7:", 0, 14, 14, {"SS", "TXD0"}},
      {"GPIO C8:", 1, 0, 0, {"MISO", "RXD0"}},
      {"GPIO C9:", 1, 2, 2, {"SCLK", "XB_IN4"}},
      {"GPIO C10:", 1, 4, 5, {"MOSI", "XB_IN5", "MISO"}},
      {"GPIO C11:", 1, 6, 7, {"CANTX", "SCL1", "TXD1"}},
      {"GPIO C12:", 1, 8, 9, {"CANRX", "SDA1", "RXD1"}},
      {"GPIO C13:", 1, 10, 10, {"TA3", "XB_IN6"}},
      {"GPIO C14:", 1, 12, 12, {"SDA0", "XB_OUT0"}},
      {"GPIO C15:", 1, 14, 14, {"SCL0", "XB_OUT1"}},
      {"GPIO E4:", 3, 4, 4, {"PWMB2", "XB_IN2"}},
      {"GPIO E5:", 3, 6, 6, {"PWMA2", "XB_IN3"}},
      {"GPIO E6:", 3, 8, 8, {"PWMB3", "XB_IN4"}},
      {"GPIO E7:", 3, 10, 10, {"PWMA3", "XB_IN5"}},
      {"GPIO F1:", 2, 2, 2, {"CLKO", "XB_IN7"}},
      {"GPIO F2:", 2, 4, 4, {"SCL1", "XB_OUT2"}},
      {"GPIO F3:", 2, 6, 6, {"SDA1", "XB_OUT3"}},
      {"GPIO F4:", 2, 8, 8, {"TXD1", "XB_OUT4"}},
      {"GPIO F5:", 2, 10, 10, {"RXD1", "XB_OUT5"}},
      {"GPIO F6:", 2, 12, 12, {"TB2", "PWMX3"}},
      {"GPIO F8:", 3, 2, 2, {"RXD0", "TB1"}},
  };
  NextBand();
  BeginGroup("Peripheral Select");
  int count = 0;
  for (const PinList& pin : kPins) {
    AddList(pin.caption, Format("-SIM_GPS%d_INIT", pin.reg), pin.low, pin.high, pin.items,
            "Peripheral Select:", count++ % 3 == 0);
  }

  NextBand();
  DeclareLowVoltageControls();
  AddPinWarning();
}

void CpmSYS_V2_Dorn::UpdateEnables() {
  EnableControl(ListId("CLKOUT source"), IsChecked("Enable CLKOUT"));
}

bool CpmSYS_V2_Dorn::IsSignalUsed(const std::string& signal) const {
  if (signal.find("CLKO") != std::string::npos) return IsChecked("Enable CLKOUT");
  const int timer = DigitAfter(signal, "TB");
  if (timer >= 0 && timer <= 3) {
    return Selection(Format("Timer B%d:", timer)) == 0 && IsChecked(Format("TMR B%d", timer));
  }
  return false;
}

void CpmSYS_V2_Dorn::ApplyClockWarning(size_t row, CModuleBase& module, bool enabled, bool inUse,
                                       uint32_t warningId) {
  if (!enabled && !inUse && module.GetPrefix() == "YSCAN") {
    WarnControl(warningId, true, kYscanClockText);
    return;
  }
  CSysModule::ApplyClockWarning(row, module, enabled, inUse, warningId);
}

// ============================== CpmSYS_Brel ==============================

CpmSYS_Brel::CpmSYS_Brel(const ArchitectureEntry& entry, CModuleBase* parent)
    : CSysModule(entry, parent) {
  DeclareRegisters();
}

void CpmSYS_Brel::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-SIM_CONROL_INIT", 0x0000, DW16},
      {"___PUDR___", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-SIM_CLKOSR_INIT", 0x2020, DW16},
      {"-LVI_CONTROL_INIT", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
      {"-SIM_GPSA_INIT", 0x0000, DW16},
      {"-SIM_GPSB0_INIT", 0x0000, DW16},
      {"-SIM_GPSB1_INIT", 0x0000, DW16},
      {"-SIM_GPSC_INIT", 0x0000, DW16},
      {"-SIM_GPSD_INIT", 0x0000, DW16},
      {"-SIM_PCR_INIT", 0x0000, DW16},
      {"-SIM_PCE_INIT", 0x0000, DW16 | NODEFAULT},
      {"-SIM_PROT_INIT", 0x0000, DW16},
      {"-SIM_SDR_INIT", 0x0000, DW16},
      {"-SIM_IPS0_INIT", 0x0000, DW16},
      {"-SIM_IPS1_INIT", 0x0000, DW16},
      {"-SIM_CLKOUT_INIT", 0x601D, DW16},
      {"-SIM_ISAL_INIT", 0x0F00, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmSYS_Brel::DeclareControls() {
  BeginGroup("Power Saving Modes");
  AddList(
      "Stop disable", "-SIM_CONROL_INIT", 2, 3,
      {"Stop enabled", "Stop disabled", "Stop permanently enabled", "Stop permanently disabled"},
      "SIM: Power Saving Modes");
  AddList(
      "Wait disable", "-SIM_CONROL_INIT", 0, 1,
      {"Wait enabled", "Wait disabled", "Wait permanently enabled", "Wait permanently disabled"},
      "SIM: Power Saving Modes");
  AddList("DPORT clock to processor core", "-SIM_CONROL_INIT", 5, 5,
          {"Enabled when core TAP enabled", "Always enabled"}, "SIM:");

  const std::vector<std::string> clockSources = {
      "Continuous System Clock",     "Peripheral Clock",
      "High-speed Peripheral Clock", "Master Clock",
      "1KHz Low Power Oscilator",    "Crystal Oscillator / XTAL",
      "Relaxation Oscillator Output"};
  BeginGroup("Clock Outputs");
  AddBox("Enable CLKO_0", "-SIM_CLKOSR_INIT", 5, true);
  AddList(" Source: ", "-SIM_CLKOSR_INIT", 0, 4, clockSources, "CLKO_0 Source", true,
          "CLKO_0 source");
  AddBox("Enable CLKO_1", "-SIM_CLKOSR_INIT", 13, true);
  AddList(" Source: ", "-SIM_CLKOSR_INIT", 8, 10, clockSources, "CLKO_1 Source", true,
          "CLKO_1 source");

  static const char* const kModules[] = {"Timer Channel 0",
                                         "Timer Channel 1",
                                         "PIT",
                                         "PDB",
                                         "COP timer",
                                         "PWM",
                                         "SPI",
                                         "SCI",
                                         "I2C",
                                         "PGA 0",
                                         "PGA 1",
                                         "ADC 0",
                                         "ADC 1",
                                         "HSCPM 0",
                                         "HSCPM 1",
                                         "HSCPM 2"};
  NextBand();
  for (bool stop : {false, true}) {
    BeginGroup(stop ? "Modules Enabled in STOP Mode (SDR)" : "Peripheral Clock Enable (PCE)");
    for (int bit = 0; bit < 16; ++bit) {
      AddBox(kModules[bit], stop ? "-SIM_SDR_INIT" : "-SIM_PCE_INIT", bit, false,
             stop ? "SDR:" : "PCE:", bit % 2 == 0, stop ? StopKey(kModules[bit]) : std::string());
      SetLastCommentFlags(6);
    }
  }
  SetClockTable({{"HSCMP_0", "HSCPM 0"},
                 {"HSCMP_1", "HSCPM 1"},
                 {"HSCMP_2", "HSCPM 2"},
                 {"ADC_0", "ADC 0"},
                 {"ADC_1", "ADC 1"},
                 {"PGA_0", "PGA 0"},
                 {"PGA_1", "PGA 1"},
                 {"IIC", "I2C"},
                 {"SCI_0|SCI", "SCI"},
                 {"SPI_0|SPI", "SPI"},
                 {"PWM", "PWM"},
                 {"COP", "COP timer"},
                 {"PDB", "PDB"},
                 {"PIT|PIT_0|PIT_1|PIT_2", "PIT"},
                 {"QT_0", "Timer Channel 0"},
                 {"QT_1", "Timer Channel 1"}});

  NextBand();
  BeginGroup("High-speed Peripheral Clock (HS_PERF)");
  AddBox("Timer clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 15);
  AddBox("PWM clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 13);
  AddBox("SCI clock sourced from HS_PERF (3x System Clock)", "-SIM_PCR_INIT", 12);
  BeginGroup("Start-up");
  AddBox("Enable Internal RAM Check during startup (software feature)", "-INTXRAM_CHECK_ENABLED",
         0);

  NextBand();
  BeginGroup("Register Protection");
  AddList("IPS registers and all periph. pins configuration:", "-SIM_PROT_INIT", 0, 1,
          kProtectionItems, "Protection of IPS and GPSxx");
  AddList("PCE, SD and PCR registers protection:", "-SIM_PROT_INIT", 2, 3, kProtectionItems,
          "Protection of PCE, SD and PCR");

  NextBand();
  BeginGroup("Internal Peripheral Source Selection (IPS)");
  const std::vector<std::string> pwmSources = {"Comparator 0 output", "Comparator 1 output",
                                               "Comparator 2 output", "Timer channel T0",
                                               "Timer channel T1"};
  for (int n = 0; n < 3; ++n) {
    AddList(Format("PSRC%d:", n), "-SIM_IPS0_INIT", 3 * n, 3 * n + 2, pwmSources, "IPS:", true);
    static const char* const kFaultPins[] = {
        "FAULT1 input pin (GPIO A4)", "FAULT2 input pin (GPIO A5)", "FAULT3 input pin (GPIO B5)"};
    AddList(Format("FAULT%d:", n + 1), "-SIM_IPS0_INIT", 9 + n, 9 + n,
            {kFaultPins[n], Format("Comparator %d output", n)}, "IPS:", false);
  }
  for (int t = 0; t < 2; ++t) {
    AddList(Format("Timer T%d:", t), "-SIM_IPS1_INIT", 3 * t, 3 * t + 2,
            {t == 0 ? "Package pin (GPIO B4 or D1)" : "Package pin (GPIO B0, B5 or D3)",
             "Comparator 0 output", "Comparator 1 output", "Comparator 2 output", "PWM"},
            "IPS:", t == 0);
  }
  for (int n = 0; n < 3; ++n) {
    AddList(Format("C%d_WS:", n), "-SIM_IPS1_INIT", 6 + 3 * n, 8 + 3 * n,
            {"Timer T0 output", "Timer T1 output", "PDB Trigger A", "PDB Trigger B",
             "Tied Low (Logic Zero)"},
            "IPS:", n % 2 == 0);
  }

  struct PinList {
    const char* caption;
    const char* reg;
    int low;
    int high;
    std::vector<std::string> items;
  };
  static const PinList kPins[] = {
      {"GPIO A3:", "-SIM_GPSA_INIT", 0, 1, {"PWM3", "TXD", "EXTAL"}},
      {"GPIO A4:", "-SIM_GPSA_INIT", 2, 3, {"PWM4", "SDA", "FAULT1", "TIN2"}},
      {"GPIO A5:", "-SIM_GPSA_INIT", 4, 5, {"PWM5", "FAULT2", "TIN3"}},
      {"GPIO A6:", "-SIM_GPSA_INIT", 6, 8, {"FAULT0", "ANA1 & ANB1", "SCL", "TXD", "CLKO_1"}},
      {"GPIO B0:", "-SIM_GPSB0_INIT", 0, 2, {"SCLK", "SCL", "ANB13", "PWM3", "T1"}},
      {"GPIO B1:", "-SIM_GPSB0_INIT", 3, 4, {"SSB", "SDA", "ANA12/CMP2_P3"}},
      {"GPIO B2:", "-SIM_GPSB0_INIT", 6, 7, {"MISO", "TIN2", "ANA2 & ANB2", "CMP0_OUT"}},
      {"GPIO B3:", "-SIM_GPSB0_INIT", 8, 10, {"MOSI", "TIN3", "ANA3 & ANB3", "PWM5", "CMP1_OUT"}},
      {"GPIO B4:",
       "-SIM_GPSB0_INIT",
       11,
       13,
       {"T0", "CLKO_0", "MISO", "SDA", "RXD", "ANA0 & ANB0"}},
      {"GPIO B5:", "-SIM_GPSB0_INIT", 14, 15, {"T1", "FAULT3", "SCLK"}},
      {"GPIO B6:", "-SIM_GPSB1_INIT", 0, 1, {"RXD", "SDA", "CMP0_P2/ANA13", "CLKIN"}},
      {"GPIO B7:", "-SIM_GPSB1_INIT", 2, 3, {"TXD", "SCL", "CMP2_M3/ANA11"}},
      {"GPIO C0:", "-SIM_GPSC_INIT", 0, 0, {"ANA5/CMP1_M1", "FAULT0"}},
      {"GPIO C6:", "-SIM_GPSC_INIT", 1, 1, {"ANB4/CMP1_P1", "PWM2"}},
      {"GPIO D0:", "-SIM_GPSD_INIT", 0, 2, {"TDI", "ANB12", "SSB", "TIN2", "CMP0_OUT"}},
      {"GPIO D1:", "-SIM_GPSD_INIT", 3, 4, {"TDO", "ANB10", "T0", "CMP2_OUT"}},
      {"GPIO D2:", "-SIM_GPSD_INIT", 5, 6, {"TCK", "ANA4/CMP1_P2", "CMP1_OUT"}},
      {"GPIO D3:", "-SIM_GPSD_INIT", 7, 8, {"TMS", "ANB11", "T1", "CMP1_OUT"}},
  };
  NextBand();
  BeginGroup("Peripheral Select");
  int count = 0;
  for (const PinList& pin : kPins)
    AddList(pin.caption, pin.reg, pin.low, pin.high, pin.items,
            "Peripheral Select:", count++ % 3 == 0);

  AddPinWarning();
}

void CpmSYS_Brel::UpdateEnables() {
  EnableControl(ListId("CLKO_0 source"), IsChecked("Enable CLKO_0"));
  EnableControl(ListId("CLKO_1 source"), IsChecked("Enable CLKO_1"));
}

bool CpmSYS_Brel::PwmEnabled() const {
  bool enabled = true;  // no PWM module: nothing can be off
  ReadPartnerBit("PWM", "PMCTL_INIT", 0, enabled);
  return enabled;
}

bool CpmSYS_Brel::ComparatorEnabled(int n) const {
  bool enabled = false;
  return ReadPartnerBit(Format("HSCMP_%d", n), "CR1_INIT", 0, enabled) && enabled;
}

bool CpmSYS_Brel::ComparatorWindowing(int n) const {
  uint32_t modes = 0;
  return ComparatorEnabled(n) && ReadPartnerField(Format("HSCMP_%d", n), "CR1_INIT", 6, 7, modes) &&
         modes != 0;
}

bool CpmSYS_Brel::IsSignalUsed(const std::string& signal) const {
  if (signal.find("CLKO_") != std::string::npos) {
    const int output = DigitAfter(signal, "CLKO_");
    return (output == 0 || output == 1) && IsChecked(Format("Enable CLKO_%d", output));
  }
  const int fault = DigitAfter(signal, "FAULT");
  if (fault >= 1 && fault <= 3) return Selection(Format("FAULT%d:", fault)) == 0 && PwmEnabled();
  if (signal == "T0" || signal == "T1") {
    const int timer = signal[1] - '0';
    return Selection(Format("Timer T%d:", timer)) == 0 &&
           IsChecked(Format("Timer Channel %d", timer));
  }
  return false;
}

void CpmSYS_Brel::CheckWarnings() {
  CModule::CheckWarnings();

  // The high-speed peripheral clock is made by the PLL; without an OCCS it counts as off.
  // "Enable PLL" is inverted: a set bit switches the PLL off.
  bool pllOff = true;
  ReadPartnerBit("OCCS", "CTRL_INIT", 4, pllOff);
  static const struct {
    const char* box;
    const char* message;
  } kHighSpeed[] = {
      {"Timer clock sourced from HS_PERF (3x System Clock)",
       "PLL must be ON and selected in OCCS if sourcing timer from HS_PERF"},
      {"PWM clock sourced from HS_PERF (3x System Clock)",
       "PLL must be ON and selected in OCCS if sourcing PWM from HS_PERF"},
      {"SCI clock sourced from HS_PERF (3x System Clock)",
       "PLL must be ON and selected in OCCS if sourcing SCI from HS_PERF"},
  };
  for (const auto& entry : kHighSpeed)
    WarnAt(entry.box, IsChecked(entry.box) && pllOff, entry.message);

  CheckClockOutputs();
  CheckSourceSelections();
}

void CpmSYS_Brel::CheckClockOutputs() {
  const bool out0 = IsChecked("Enable CLKO_0");
  const bool out1 = IsChecked("Enable CLKO_1");
  bool lowPower = true;  // no PMC module: the 1 kHz oscillator counts as running
  bool crystalOff = true;
  bool relaxationOff = true;
  if (out0 || out1) {
    ReadPartnerBit("PMC", "-PMC_CR2_INIT", 8, lowPower);
    // Both OCCS boxes are inverted (a set bit switches the oscillator off); without an
    // OCCS both oscillators count as off.
    ReadPartnerBit("OCCS", "OSCTL_INIT", 12, crystalOff);
    ReadPartnerBit("OCCS", "OSCTL_INIT", 15, relaxationOff);
  }
  for (int output = 0; output < 2; ++output) {
    const bool enabled = output == 0 ? out0 : out1;
    std::string message;
    if (enabled) {
      switch (Selection(Format("CLKO_%d source", output))) {
        case 4:
          if (!lowPower)
            message = Format(
                "1 kHz oscilator in PMC module is not enabled and is selected as CLKO_%d", output);
          break;
        case 5:
          if (crystalOff)
            message = Format(
                "XTAL pin is not configured properly and is needed for CLKO_%d if "
                "crystal oscilator is not enabled - see OCCS",
                output);
          break;
        case 6:
          if (relaxationOff)
            message = Format(
                "Relaxation oscilator in OCCS module is not enabled and is selected "
                "as CLKO_%d",
                output);
          break;
        default:
          break;
      }
    }
    WarnAt(Format("Enable CLKO_%d", output), !message.empty(), message);
  }
}

void CpmSYS_Brel::CheckSourceSelections() {
  bool comparator[3];
  bool windowing[3];
  for (int n = 0; n < 3; ++n) {
    comparator[n] = ComparatorEnabled(n);
    windowing[n] = ComparatorWindowing(n);
  }
  const bool timer[2] = {IsChecked("Timer Channel 0"), IsChecked("Timer Channel 1")};
  bool trigger[2] = {false, false};  // A, B
  ModuleContext* context = GetContext();
  CModuleBase* pdb = context ? context->FindModule("PDB", "") : nullptr;
  if (pdb && pdb->IsSelected()) {
    ReadPartnerBit("PDB", "-PDB_SCR_INIT", 1, trigger[0]);
    ReadPartnerBit("PDB", "-PDB_SCR_INIT", 0, trigger[1]);
  }
  const bool pwmPresent = context && context->FindModule("PWM", "");
  const bool pwm = PwmEnabled();

  // PWM inputs that the PWM takes from this register (its source field reads 1).
  static const int kSourceField[3][2] = {{0, 1}, {2, 4}, {5, 7}};
  for (int n = 0; n < 3; ++n) {
    const std::string caption = Format("PSRC%d:", n);
    uint32_t pwmSource = 0;
    bool set = false;
    if (pwmPresent && pwm &&
        ReadPartnerField("PWM", "PMSRC_INIT", kSourceField[n][0], kSourceField[n][1], pwmSource) &&
        pwmSource == 1) {
      const int source = Selection(caption);
      set = (source >= 0 && source <= 2 && !comparator[source]) ||
            (source >= 3 && source <= 4 && !timer[source - 3]);
    }
    WarnAt(caption, set, SourceSignalMessage(SelectedText(caption), " for PWM is not enabled."));
  }

  for (int n = 1; n <= 3; ++n) {
    const bool set = Selection(Format("FAULT%d:", n)) == 1 && pwm && !comparator[n - 1];
    WarnAt(Format("FAULT%d:", n), set,
           Format("Comparator %d (HSCMP_%d) module is not enabled (and is selected as FAULT%d "
                  "source).",
                  n - 1, n - 1, n));
  }

  for (int t = 0; t < 2; ++t) {
    const std::string caption = Format("Timer T%d:", t);
    const int source = Selection(caption);
    const bool set = timer[t] && ((source >= 1 && source <= 3 && !comparator[source - 1]) ||
                                  (source == 4 && !pwm));
    WarnAt(caption, set,
           SourceSignalMessage(SelectedText(caption), t == 0 ? "  for Timer T0 is not enabled."
                                                             : " for Timer T1 is not enabled."));
  }

  for (int n = 0; n < 3; ++n) {
    const std::string caption = Format("C%d_WS:", n);
    const int source = Selection(caption);
    const bool set = windowing[n] && ((source >= 0 && source <= 1 && !timer[source]) ||
                                      (source >= 2 && source <= 3 && !trigger[source - 2]));
    WarnAt(caption, set,
           SourceSignalMessage(SelectedText(caption),
                               " for Comparator Windowing/Sampling is not enabled."));
  }
}

// ============================== registration ==============================

void RegisterSysModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmSYS_V1>("SYS_V1");
  factory.Register<CpmSYS_V2_Classic>("SYS_V2_Classic");
  factory.Register<CpmSYS_V2_Casp>("SYS_V2_Casp");
  factory.Register<CpmSYS_V2_Dorn>("SYS_V2_Dorn");
  factory.Register<CpmSYS_Brel>("SYS_Brel");
}

}  // namespace tarq

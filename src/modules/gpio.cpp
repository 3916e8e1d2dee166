#include "modules/gpio.h"

#include <algorithm>

#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {


constexpr RegisterDecl kGpioRegisters[] = {
    {"PUR_INIT", 0x00FF, DW16},          {"DDR_INIT", 0x0000, DW16},
    {"PER_INIT", 0x00FF, DW16 | NODEFAULT}, {"IENR_INIT", 0x0000, DW16},
    {"IPOLR_INIT", 0x0000, DW16},        {"DR_INIT", 0x0000, DW16},
    {"PPMODE_INIT", 0x0000, DW16},       {"DRIVE_INIT", 0x0000, DW16},
    {"IFE_INIT", 0xFFFF, DW16},          {"SLEW_INIT", 0x0000, DW16},
};

// The first pin-select register of every system module layout.

constexpr int kRowCaptionWidth = 95;
constexpr int kRowListWidth = 150;

// A caption and a list in one row of a row page.
Control& AddCaptionedList(Page& row, uint32_t captionId, const std::string& caption,
                          uint32_t listId, std::vector<std::string> items, CSetCtrl* binding) {
  row.AddStatic(captionId, caption).layout.width = kRowCaptionWidth;
  Control& list = row.AddDropDown(listId, std::move(items), binding);
  list.layout.width = kRowListWidth;
  return list;
}

}  // namespace

// ==== CpmGPIO_PinDlg ====

CpmGPIO_PinDlg::CpmGPIO_PinDlg(CpmGPIO& port, const PinDescription& pin) : port_(port), pin_(pin) {
  modeItems_.push_back("GPIO");
  modePositions_.push_back(0);
  if (pin_.voidLine) {
    modeItems_.push_back("Peripheral");
    modePositions_.push_back(1);
    return;
  }
  const std::vector<std::string> names = pin_.FunctionNames();
  for (size_t k = 0; k < names.size(); ++k) {
    if (names[k].empty()) continue;  // a function without a name cannot be chosen
    modeItems_.push_back(names[k]);
    modePositions_.push_back(static_cast<int>(k + 1));
  }
}

RegisterRef CpmGPIO_PinDlg::Reg(size_t index) const { return RegisterRef{&port_, index}; }

void CpmGPIO_PinDlg::Bind() {
  const int p = pin_.pin;
  if (pin_.voidLine) {
    // A pin without function records: the list stands for the peripheral-mode bit itself.
    mode_.Bind(Reg(CpmGPIO::kPer), p, p, 0, Format("Pin %2d: Function", p));
  } else {
    mode_.Bind(Reg(CpmGPIO::kPer), p, p);
    mode_.SetHandlers(
        [this] {
          const int current = port_.CurrentFunction(pin_.pin);
          auto found = std::find(modePositions_.begin(), modePositions_.end(), current);
          return found == modePositions_.end() ? -1 : static_cast<int>(found - modePositions_.begin());
        },
        [this](int index) {
          if (index < 0 || static_cast<size_t>(index) >= modePositions_.size()) return;
          port_.SelectFunction(pin_.pin, modePositions_[static_cast<size_t>(index)]);
        },
        Format("Pin %2d: Function", p));
  }
  mode_.SetItems({}, modeItems_);
  direction_.Bind(Reg(CpmGPIO::kDdr), p, p, 0, "Direction");
  direction_.SetItems({}, {"Input", "Output"});
  pullUp_.Bind(Reg(CpmGPIO::kPur), p, p, 0, "PullUp");
  pullUp_.SetItems({}, {"Disable", "Enable"});
  initValue_.Bind(Reg(CpmGPIO::kDr), p, p, 0, "Init.Value");
  initValue_.SetItems({}, {"Low - 0", "High - 1"});
  polarity_.Bind(Reg(CpmGPIO::kIpolr), p, p, 0, "Int.Polarity");
  polarity_.SetItems({}, {"Active high", "Active low"});
  interrupt_.Bind(Reg(CpmGPIO::kIenr), p, false, "Interrupt");
}

std::string CpmGPIO_PinDlg::Title() const {
  std::string title = "GPIO";
  size_t named = 0;
  for (const std::string& name : pin_.FunctionNames()) {
    if (name.empty()) continue;
    title += " / " + name;
    ++named;
  }
  if (named == 0) title += " Only";
  return Format("Pin %d : %s", pin_.pin, title.c_str());
}

void CpmGPIO_PinDlg::Build(Page& row) {
  // Two columns of caption and list: the function and the direction, the pull-up and the
  // initial value, then the interrupt, then what the row class adds.
  row.AddGroupBox(kRowGroup, Title());
  row.BeginGroup(kRowGroup);
  AddCaptionedList(row, kModeCaption, "Mode:", kModeList, modeItems_, &mode_);
  AddCaptionedList(row, kDirectionCaption, "Direction:", kDirectionList, {"Input", "Output"},
                   &direction_);
  row.NewRow();
  AddCaptionedList(row, kPullUpCaption, "Pull-up:", kPullUpList, {"Disable", "Enable"}, &pullUp_);
  AddCaptionedList(row, kInitCaption, "Init.value:", kInitList, {"Low - 0", "High - 1"},
                   &initValue_);
  row.NewRow();
  AddCaptionedList(row, kPolarityCaption, "Polarity:", kPolarityList,
                   {"Active high", "Active low"}, &polarity_);
  row.AddCheckBox(kInterruptBox, "GPIO Interrupt Enable", &interrupt_);
  if (HasNoteLabels()) row.AddStatic(kMustBeInput, "(pin must be GPIO Input)").shown = false;
  BuildOwnControls(row);
  if (HasNoteLabels()) {
    row.NewRow();
    row.AddStatic(kDuplicateNote, {}).shown = false;
  }
  row.EndGroup();
}

void CpmGPIO_PinDlg::Refresh() {
  for (CSetCtrl* binding : {static_cast<CSetCtrl*>(&mode_), static_cast<CSetCtrl*>(&direction_),
                            static_cast<CSetCtrl*>(&pullUp_), static_cast<CSetCtrl*>(&initValue_),
                            static_cast<CSetCtrl*>(&polarity_), static_cast<CSetCtrl*>(&interrupt_)})
    if (binding->HasWindow()) binding->Refresh();
}

bool CpmGPIO_PinDlg::GetPinState(bool& output) const {
  output = port_.OwnBit(CpmGPIO::kDdr, pin_.pin);
  return port_.CurrentFunction(pin_.pin) == 0;
}

bool CpmGPIO_PinDlg::InterruptEnabled() const { return port_.OwnBit(CpmGPIO::kIenr, pin_.pin); }

void CpmGPIO_PinDlg::EnableRowControl(uint32_t id, bool enable) {
  port_.EnableControl(FullId(id), enable);
}

void CpmGPIO_PinDlg::UpdateEnables() {
  bool output = false;
  const bool gpio = GetPinState(output);
  EnableRowControl(kDirectionList, gpio);
  EnableRowControl(kPullUpList, gpio && !output);
  EnableRowControl(kInitList, gpio && output);
  EnableRowControl(kInterruptBox, gpio);
  EnableRowControl(kPolarityList, gpio);
}

void CpmGPIO_PinDlg::SetRowWarning(uint32_t control, bool set, const std::string& controlText,
                                   const std::string& message) {
  port_.SetWarning(FullId(control), set, controlText, message);
}

void CpmGPIO_PinDlg::CheckWarnings() {
  bool output = false;
  const bool gpio = GetPinState(output);
  if (gpio && output && InterruptEnabled()) {
    SetRowWarning(kMustBeInput, true, "(pin must be GPIO Input)",
                  Format("GPIO pin #%d must be in GPIO-Input mode when using the interrupt",
                         pin_.pin));
  } else {
    SetRowWarning(kMustBeInput, false, {});
  }
  if (HasNoteLabels()) CheckDuplicateFunction();
}

void CpmGPIO_PinDlg::CheckDuplicateFunction() {
  ModuleContext* context = port_.GetContext();
  const int current = port_.CurrentFunction(pin_.pin);
  if (context && current > 0 && static_cast<size_t>(current) <= pin_.functions.size()) {
    const PinFunction& function = pin_.functions[current - 1];
    for (const std::string& ownerName : function.owners) {
      CModuleBase* owner = context->FindModule(ownerName, "");
      if (!owner || owner == &port_) continue;
      const SignalMap signalMap = CollectSignals(*context, *owner, {}, false);
      const auto found = signalMap.find(function.signal);
      if (found == signalMap.end() || found->second.selected.size() < 2) continue;
      std::string others;
      for (const SignalPin& pin : found->second.selected) {
        if (pin.port == &port_ && pin.pin == pin_.pin) continue;
        if (!others.empty()) others += " and ";
        others += "<A HREF=\"" + pin.port->PinLink(pin.pin) + "\">" + pin.port->PinName(pin.pin) + "</A>";
      }
      const std::string self =
          "<A HREF=\"" + port_.PinLink(pin_.pin) + "\">" + port_.PinName(pin_.pin) + "</A>";
      SetRowWarning(kDuplicateNote, true,
                    Format("The same function is configured also on %s", others.c_str()),
                    Format("The %s is configured for the same function as %s", self.c_str(),
                           others.c_str()));
      return;
    }
  }
  SetRowWarning(kDuplicateNote, false, {});
}

std::string CpmGPIO_PinDlg::CommentLine(uint32_t style) const {
  bool output = false;
  const bool gpio = GetPinState(output);
  std::vector<const CSetCtrl*> parts{&mode_};
  if (gpio) parts.push_back(&direction_);
  if (gpio && output) parts.push_back(&initValue_);
  if (!gpio || !output) parts.push_back(&pullUp_);
  if (gpio) {
    parts.push_back(&interrupt_);
    parts.push_back(&polarity_);
  }
  std::string line;
  for (const CSetCtrl* part : parts) {
    const std::string piece = Trim(part->GetDescription(true, style));
    if (piece.empty()) continue;
    if (!line.empty()) line += ", ";
    line += piece;
  }
  return line;
}

// ---- V2 ----

bool CpmGPIO_PinDlgV2::ThreePositions() const { return port_.HasThreePositionOutputMode(); }

void CpmGPIO_PinDlgV2::Bind() {
  CpmGPIO_PinDlg::Bind();
  const int p = pin_.pin;
  if (ThreePositions()) {
    outputMode_.Bind(Reg(CpmGPIO::kPpmode), p, p);
    outputMode_.SetHandlers(
        [this] {
          if (!port_.OwnBit(CpmGPIO::kPpmode, pin_.pin)) return 0;
          return port_.OwnBit(CpmGPIO::kDrive, pin_.pin) ? 2 : 1;
        },
        [this](int index) {
          if (index < 0 || index > 2) return;
          port_.SetOwnBit(CpmGPIO::kPpmode, pin_.pin, index >= 1);
          port_.SetOwnBit(CpmGPIO::kDrive, pin_.pin, index == 2);
        },
        "Output-Mode");
    outputMode_.SetItems({}, {"Open drain", "Push-pull", "High strength"});
  } else {
    outputMode_.Bind(Reg(CpmGPIO::kPpmode), p, p, 0, "Output-Mode");
    outputMode_.SetItems({}, {"Open drain", "Push-pull"});
  }
}

void CpmGPIO_PinDlgV2::BuildOwnControls(Page& row) {
  row.NewRow();
  std::vector<std::string> items{"Open drain", "Push-pull", "High strength"};
  // Without a drive-strength register there is no third position.
  if (!ThreePositions()) items.pop_back();
  if (port_.HasRegister(CpmGPIO::kPpmode))
    AddCaptionedList(row, kOutputModeCaption, "Output mode:", kOutputModeList, items, &outputMode_);
}

void CpmGPIO_PinDlgV2::UpdateEnables() {
  CpmGPIO_PinDlg::UpdateEnables();
  EnableRowControl(kPullUpList, true);
  EnableRowControl(kOutputModeList, true);
}

// ---- Brel ----

void CpmGPIO_PinDlgBrel::Bind() {
  CpmGPIO_PinDlg::Bind();
  const int p = pin_.pin;
  drive_.Bind(Reg(CpmGPIO::kDrive), p, p, 0, "Output-Mode");
  drive_.SetItems({}, {"Low", "High"});
  filter_.Bind(Reg(CpmGPIO::kIfe), p, false, "Input Filter");
  slew_.Bind(Reg(CpmGPIO::kSlew), p, false, "Slew Rate Control");
}

void CpmGPIO_PinDlgBrel::BuildOwnControls(Page& row) {
  row.NewRow();
  AddCaptionedList(row, kDriveCaption, "Drive strength:", kDriveList, {"Low", "High"}, &drive_);
  row.AddCheckBox(kFilterBox, "Input filter enabled", &filter_);
  row.AddCheckBox(kSlewBox, "Disable Slew Rate", &slew_);
}

void CpmGPIO_PinDlgBrel::UpdateEnables() {
  CpmGPIO_PinDlg::UpdateEnables();
  bool output = false;
  const bool gpio = GetPinState(output);
  // The reset pin (A7) has its pull-up fixed.
  const bool pullUpFixed = port_.PortLetter() == 'A' && pin_.pin == 7;
  if (!gpio) {
    EnableRowControl(kPullUpList, !pullUpFixed);
    EnableRowControl(kDriveList, true);
    EnableRowControl(kFilterBox, true);
    EnableRowControl(kSlewBox, true);
  } else {
    EnableRowControl(kDriveList, output);
    EnableRowControl(kSlewBox, output);
    EnableRowControl(kFilterBox, !output);
    EnableRowControl(kPullUpList, !output && !pullUpFixed);
  }
}

// ==== CpmGPIO ====

CpmGPIO::CpmGPIO(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {
  InitRegisters(kGpioRegisters, kRegisterCount);
}

CpmGPIO::~CpmGPIO() {
  // The rows' bindings go before the page that holds their controls.
  DestroyPage();
}

char CpmGPIO::PortLetter() const {
  const std::string& name = GetPrefix();
  if (!StartsWith(name, "GPIO_") || name.size() != 6) return 0;
  return name[5];
}

void CpmGPIO::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  DestroyPage();
  classic_ = doc.TestPart(kTestClassic);
  dorn_ = doc.TestPart(kTestDorn);
  const bool brel = doc.TestPart(kTestBrel);
  threePositionOutput_ = doc.TestPart(kTestTebo) || doc.TestPart(kTestCasp) || dorn_;
  rowClass_ = classic_ ? RowClass::V1 : brel ? RowClass::Brel : RowClass::V2;
  // The register count of the chip group: the later registers do not exist on the others.
  InitRegisters(kGpioRegisters, kRegisterCount);
  SetRegisterCount(classic_ ? 6 : brel ? 10 : threePositionOutput_ ? 8 : 7);
  CModule::InitModule(doc);

  rows_.clear();
  for (const PinDescription& pin : ParsePinDescriptions(GetParameterText())) {
    if (FindPinDlg(pin.pin)) continue;  // the first line of a pin holds
    std::unique_ptr<CpmGPIO_PinDlg> row;
    switch (rowClass_) {
      case RowClass::V1: row = std::make_unique<CpmGPIO_PinDlgV1>(*this, pin); break;
      case RowClass::V2: row = std::make_unique<CpmGPIO_PinDlgV2>(*this, pin); break;
      case RowClass::Brel: row = std::make_unique<CpmGPIO_PinDlgBrel>(*this, pin); break;
    }
    rows_.push_back(std::move(row));
  }
  std::sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) { return a->Pin() < b->Pin(); });
  ClearCommentItems();
  for (auto& row : rows_) {
    row->Bind();
    AddCommentItem(&row->Comment(), kCommentNewLine);
  }
  // The Brel ports have no open-drain register.
  if (brel) Registers()[kPpmode].flags |= DUMMYREG | NOSHOWLIST;
  ApplyRegisterParameters();
}

void CpmGPIO::OnModulesReady() {
  CModule::OnModulesReady();
  CollectLinkedRegisters();
}

void CpmGPIO::ApplyRegisterParameters() {
  const std::pair<const char*, size_t> parameters[] = {{"PUR", kPur}, {"PER", kPer}, {"PPMODE", kPpmode}};
  for (const auto& [name, index] : parameters) {
    uint32_t value = 0;
    if (index >= GetRegisterCount() || !GetParameterInt(name, value)) continue;
    Register& reg = Registers()[index];
    reg.resetValue = value & 0xFFFF;
    reg.value = value & 0xFFFF;
  }
}

void CpmGPIO::CollectLinkedRegisters() {
  linked_.clear();
  PinFunctionSelector* selector = FindCapability<PinFunctionSelector>(GetContext());
  if (!selector) return;
  const bool clockOutput = GetParameterText().find("CLKOSR") != std::string::npos;
  linked_ = selector->SelectorRegisters(clockOutput);
}

std::vector<Register*> CpmGPIO::RunTimeRegisters() {
  std::vector<Register*> registers;
  for (const RegisterRef& ref : linked_)
    if (Register* reg = ref.Get()) registers.push_back(reg);
  return registers;
}

// ---- pins ----

CpmGPIO_PinDlg* CpmGPIO::FindPinDlg(int pin) const {
  for (const auto& row : rows_)
    if (row->Pin() == pin) return row.get();
  return nullptr;
}

const PinDescription* CpmGPIO::FindPin(int pin) const {
  const CpmGPIO_PinDlg* row = FindPinDlg(pin);
  return row ? &row->Description() : nullptr;
}

std::vector<int> CpmGPIO::ExistingPins() const {
  std::vector<int> pins;
  for (const auto& row : rows_) pins.push_back(row->Pin());
  return pins;
}

std::string CpmGPIO::PinName(int pin) const { return GetPrefix() + std::to_string(pin); }

std::string CpmGPIO::PinLink(int pin) const {
  const CpmGPIO_PinDlg* row = FindPinDlg(pin);
  return row ? MakeLink(row->FullId(CpmGPIO_PinDlg::kRowGroup)) : MakeLink();
}

bool CpmGPIO::OwnBit(size_t reg, int bit) const {
  return reg < GetRegisterCount() && bit >= 0 && bit < 16 && (Registers()[reg].value >> bit) & 1u;
}

void CpmGPIO::SetOwnBit(size_t reg, int bit, bool set) {
  if (reg >= GetRegisterCount() || bit < 0 || bit >= 16) return;
  uint32_t& value = Registers()[reg].value;
  value = set ? value | (1u << bit) : value & ~(1u << bit);
}

bool CpmGPIO::SelectorBit(const PinDescription& pin, size_t slot) const {
  const PinFunctionSelector* selector = FindCapability<PinFunctionSelector>(GetContext());
  return selector && selector->GetSelectorBit(pin.gpsBits[slot]);
}

bool CpmGPIO::ClockOutputBit(const PinDescription& pin) const {
  const PinFunctionSelector* selector = FindCapability<PinFunctionSelector>(GetContext());
  return selector && selector->GetClockOutputBit(pin.clkosrBit);
}

bool CpmGPIO::RequirementsHold(const PinDescription& pin, const PinFunction& function) const {
  for (size_t slot = 0; slot < pin.gpsBits.size(); ++slot) {
    const bool required = (function.gpsSet >> slot) & 1u;
    if (SelectorBit(pin, slot) != required) return false;
  }
  if (pin.clkosrBit >= 0 && ClockOutputBit(pin) != function.clkosrSet) return false;
  return true;
}

int CpmGPIO::CurrentFunction(int pin) const {
  const PinDescription* description = FindPin(pin);
  if (!description) return -1;
  if (!OwnBit(kPer, pin)) return 0;
  if (description->voidLine) return 1;
  for (size_t k = 0; k < description->functions.size(); ++k)
    if (RequirementsHold(*description, description->functions[k])) return static_cast<int>(k + 1);
  return -1;
}

void CpmGPIO::SelectFunction(int pin, int position) {
  const PinDescription* description = FindPin(pin);
  if (!description) return;
  SetOwnBit(kPer, pin, false);
  if (position <= 0) return;
  SetOwnBit(kPer, pin, true);
  if (static_cast<size_t>(position) > description->functions.size()) return;
  const PinFunction& function = description->functions[static_cast<size_t>(position - 1)];
  // The selector bits belong to the module that selects pin functions.
  PinFunctionSelector* selector = FindCapability<PinFunctionSelector>(GetContext());
  if (!selector) return;
  for (size_t slot = 0; slot < description->gpsBits.size(); ++slot)
    selector->SetSelectorBit(description->gpsBits[slot], (function.gpsSet >> slot) & 1u);
  if (description->clkosrBit >= 0)
    selector->SetClockOutputBit(description->clkosrBit, function.clkosrSet);
}

std::vector<CpmGPIO::PinListEntry> CpmGPIO::PinList() const {
  std::vector<PinListEntry> list;
  for (const auto& row : rows_) {
    const int pin = row->Pin();
    list.push_back({PinName(pin), CurrentFunctionName(pin), PinLink(pin)});
  }
  return list;
}

// ---- page ----

void CpmGPIO::BuildPage(Page& page) {
  if (IsBrel()) {
    page.AddLink(kIdUserNote, {}).shown = false;
    page.NewRow();
  }
  page.AddLink(kIdErrata, {}).shown = false;
  page.NewRow();
  for (const auto& row : rows_) {
    page.AddPlaceholder(row->RowId(), 640).tabStop = false;
    page.NewRow();
    if (Page* child = page.CreateChildPage(row->RowId())) row->Build(*child);
  }
}

void CpmGPIO::UpdateEnables() {
  for (const auto& row : rows_) row->UpdateEnables();
  if (IsBrel()) ShowUserSlotNote();
}

void CpmGPIO::ShowUserSlotNote() {
  if (!page_) return;
  const std::string note = UserSlotNote(*this, 0);
  if (!note.empty()) page_->SetText(kIdUserNote, note);
  page_->SetShown(kIdUserNote, !note.empty());
}

void CpmGPIO::CheckWarnings() {
  int interrupts = 0;
  for (const auto& row : rows_) {
    row->CheckWarnings();
    interrupts += row->InterruptEnabled();
  }
  if (dorn_) CModule::CheckWarnings();
  if (classic_) {
    // A silicon fault of the classic parts: one interrupt pin per port at most.
    const bool errata = interrupts > 1;
    SetWarning(kIdErrata, errata,
               errata ? "More than one GPIO Interrupt pin selected (see chip errata)" : "");
  }
}

void CpmGPIO::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  CModule::OnControlEvent(page, control, event);
  if (&page == page_.get()) return;
  const bool changed = event == ControlEvent::SelectionChanged || event == ControlEvent::Clicked;
  if (!changed) return;
  // A function choice moves selector bits that other rows of the port may read too.
  if (control.id == CpmGPIO_PinDlg::kModeList)
    for (const auto& row : rows_) row->Refresh();
  UpdateEnables();
}

void RegisterGpioModuleKinds(ModuleFactory& factory) {
  factory.Register("GPIO", [](const ArchitectureEntry& entry, CModuleBase* parent) {
    return std::unique_ptr<CModuleBase>(std::make_unique<CpmGPIO>(entry, parent));
  });
}

}  // namespace tarq

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

constexpr int kRowCaptionWidth = 95;
constexpr int kRowListWidth = 150;

}  // namespace

// ==== chip groups ====

const std::vector<GpioVariant>& GpioVariants() {
  using P = GpioVariant::PullUpRule;
  static const std::vector<GpioVariant> kVariants = {
      {.name = "Classic", .partTests = {kTestClassic}, .registerCount = 6,
       .pullUp = P::GpioInputOnly, .noteLabels = false, .oneInterruptPerPort = true},
      {.name = "Brel", .partTests = {kTestBrel}, .registerCount = 10,
       .pullUp = P::InputOrPeripheral, .outputStage = true, .fixedPullUpPort = 'A',
       .fixedPullUpPin = 7, .openDrainHidden = true, .userSlotNote = true},
      {.name = "Tebo/Casp", .partTests = {kTestTebo, kTestCasp}, .registerCount = 8,
       .outputModePositions = 3},
      {.name = "Dorn", .partTests = {kTestDorn}, .registerCount = 8, .outputModePositions = 3,
       .modulePinCheck = true},
      // Later and Fenn parts, and any part no other row claims.
      {.name = "Later", .registerCount = 7, .outputModePositions = 2},
  };
  return kVariants;
}

const GpioVariant& GpioVariantFor(ModuleContext& doc) {
  const std::vector<GpioVariant>& variants = GpioVariants();
  for (const GpioVariant& variant : variants)
    for (int test : variant.partTests)
      if (doc.TestPart(test)) return variant;
  return variants.back();
}

// ==== CpmGPIO_PinDlg ====

CpmGPIO_PinDlg::CpmGPIO_PinDlg(CpmGPIO& port, const PinDescription& pin, const GpioVariant& variant)
    : port_(port), pin_(pin), variant_(variant), decl_(port) {
  modeItems_.push_back("GPIO");
  modePositions_.push_back(0);
  if (pin_.voidLine) {
    modeItems_.push_back("Peripheral");
    modePositions_.push_back(1);
  } else {
    const std::vector<std::string> names = pin_.FunctionNames();
    for (size_t k = 0; k < names.size(); ++k) {
      if (names[k].empty()) continue;  // a function without a name cannot be chosen
      modeItems_.push_back(names[k]);
      modePositions_.push_back(static_cast<int>(k + 1));
    }
  }
  Declare();
}

// Two columns of caption and list: the function and the direction, the pull-up and the
// initial value, then the polarity and the interrupt, then the chip group's output stage.
// The rows' comment is the row line (CommentLine), not the declaration's comment items.
void CpmGPIO_PinDlg::Declare() {
  const int p = pin_.pin;
  const auto bit = [p](const char* reg) { return FieldSpec{.reg = reg, .low = p}; };
  const auto gpio = [this] {
    bool output = false;
    return GetPinState(output);
  };
  const auto gpioOutput = [this] {
    bool output = false;
    return GetPinState(output) && output;
  };
  const auto notGpioOutput = [this] {
    bool output = false;
    return !GetPinState(output) || !output;
  };

  PageDeclaration& d = decl_;
  d.Clear(kRowGroup);
  d.SetChildPage(RowId());
  d.Group(Title(), kRowGroup);
  CSetMode* mode = d.List({.caption = "Mode:", .key = "Mode", .id = kModeList, .captionId = kModeCaption,
                           .field = bit("PER_INIT"), .items = modeItems_,
                           .label = Format("Pin %2d: Function", p), .width = kRowListWidth,
                           .captionWidth = kRowCaptionWidth}).Mode();
  // A pin without function records: the list stands for the peripheral-mode bit itself.
  if (mode && !pin_.voidLine) {
    mode->SetHandlers(
        [this] {
          const int current = port_.CurrentFunction(pin_.pin);
          auto found = std::find(modePositions_.begin(), modePositions_.end(), current);
          return found == modePositions_.end() ? -1 : static_cast<int>(found - modePositions_.begin());
        },
        [this](int index) {
          if (index < 0 || static_cast<size_t>(index) >= modePositions_.size()) return;
          port_.SelectFunction(pin_.pin, modePositions_[static_cast<size_t>(index)]);
        });
  }
  d.List({.caption = "Direction:", .key = "Direction", .id = kDirectionList,
          .captionId = kDirectionCaption, .field = bit("DDR_INIT"), .items = {"Input", "Output"},
          .label = "Direction", .width = kRowListWidth, .captionWidth = kRowCaptionWidth,
          .newRow = false, .enabled = gpio});
  std::function<bool()> pullUpRule;  // Always: no rule, the list stays enabled
  if (variant_.pullUp == GpioVariant::PullUpRule::GpioInputOnly) {
    pullUpRule = [this] {
      bool output = false;
      return GetPinState(output) && !output;
    };
  } else if (variant_.pullUp == GpioVariant::PullUpRule::InputOrPeripheral) {
    // The reset pin's pull-up is fixed.
    const bool fixed = port_.PortLetter() == variant_.fixedPullUpPort && p == variant_.fixedPullUpPin;
    pullUpRule = [notGpioOutput, fixed] { return notGpioOutput() && !fixed; };
  }
  d.List({.caption = "Pull-up:", .key = "PullUp", .id = kPullUpList, .captionId = kPullUpCaption,
          .field = bit("PUR_INIT"), .items = {"Disable", "Enable"}, .label = "PullUp",
          .width = kRowListWidth, .captionWidth = kRowCaptionWidth, .enabled = pullUpRule});
  d.List({.caption = "Init.value:", .key = "Init", .id = kInitList, .captionId = kInitCaption,
          .field = bit("DR_INIT"), .items = {"Low - 0", "High - 1"}, .label = "Init.Value",
          .width = kRowListWidth, .captionWidth = kRowCaptionWidth, .newRow = false,
          .enabled = gpioOutput});
  d.List({.caption = "Polarity:", .key = "Polarity", .id = kPolarityList,
          .captionId = kPolarityCaption, .field = bit("IPOLR_INIT"),
          .items = {"Active high", "Active low"}, .label = "Int.Polarity", .width = kRowListWidth,
          .captionWidth = kRowCaptionWidth, .enabled = gpio});
  d.Box({.caption = "GPIO Interrupt Enable", .key = "Interrupt", .id = kInterruptBox,
         .field = bit("IENR_INIT"), .label = "Interrupt", .newRow = false, .enabled = gpio});
  if (variant_.noteLabels)
    d.Static({.caption = "(pin must be GPIO Input)", .key = "MustBeInput", .id = kMustBeInput,
              .newRow = false, .shown = false});

  if (variant_.outputModePositions == 3) {
    // Three positions over the open-drain and drive-strength bits.
    CSetMode* outputMode =
        d.List({.caption = "Output mode:", .key = "OutputMode", .id = kOutputModeList,
                .captionId = kOutputModeCaption, .field = bit("PPMODE_INIT"),
                .items = {"Open drain", "Push-pull", "High strength"}, .label = "Output-Mode",
                .width = kRowListWidth, .captionWidth = kRowCaptionWidth}).Mode();
    if (outputMode) {
      outputMode->SetHandlers(
          [this] {
            if (!port_.OwnBit(CpmGPIO::kPpmode, pin_.pin)) return 0;
            return port_.OwnBit(CpmGPIO::kDrive, pin_.pin) ? 2 : 1;
          },
          [this](int index) {
            if (index < 0 || index > 2) return;
            port_.SetOwnBit(CpmGPIO::kPpmode, pin_.pin, index >= 1);
            port_.SetOwnBit(CpmGPIO::kDrive, pin_.pin, index == 2);
          });
    }
  } else if (variant_.outputModePositions == 2) {
    d.List({.caption = "Output mode:", .key = "OutputMode", .id = kOutputModeList,
            .captionId = kOutputModeCaption, .field = bit("PPMODE_INIT"),
            .items = {"Open drain", "Push-pull"}, .label = "Output-Mode", .width = kRowListWidth,
            .captionWidth = kRowCaptionWidth});
  }
  if (variant_.outputStage) {
    d.List({.caption = "Drive strength:", .key = "Drive", .id = kDriveList,
            .captionId = kDriveCaption, .field = bit("DRIVE_INIT"), .items = {"Low", "High"},
            .label = "Output-Mode", .width = kRowListWidth, .captionWidth = kRowCaptionWidth,
            .enabled = [gpioOutput, gpio] { return !gpio() || gpioOutput(); }});
    d.Box({.caption = "Input filter enabled", .key = "Filter", .id = kFilterBox,
           .field = bit("IFE_INIT"), .label = "Input Filter", .newRow = false,
           .enabled = notGpioOutput});
    d.Box({.caption = "Disable Slew Rate", .key = "Slew", .id = kSlewBox, .field = bit("SLEW_INIT"),
           .label = "Slew Rate Control", .newRow = false,
           .enabled = [gpioOutput, gpio] { return !gpio() || gpioOutput(); }});
  }
  if (variant_.noteLabels)
    d.Static({.key = "DuplicateNote", .id = kDuplicateNote, .shown = false});

  // The lists know their items before a page exists: the comment line reads them.
  for (const DeclaredControl* control : d.Controls())
    if (CSetMode* list = control->Mode()) list->SetItems(control->decl.field.values, control->decl.items);
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

void CpmGPIO_PinDlg::Refresh() {
  for (const DeclaredControl* control : decl_.Controls())
    if (control->binding && control->binding->HasWindow()) control->binding->Refresh();
}

bool CpmGPIO_PinDlg::GetPinState(bool& output) const {
  output = port_.OwnBit(CpmGPIO::kDdr, pin_.pin);
  return port_.CurrentFunction(pin_.pin) == 0;
}

bool CpmGPIO_PinDlg::InterruptEnabled() const { return port_.OwnBit(CpmGPIO::kIenr, pin_.pin); }

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
  if (variant_.noteLabels) CheckDuplicateFunction();
}

void CpmGPIO_PinDlg::CheckDuplicateFunction() {
  ModuleContext* context = port_.GetContext();
  const int current = port_.CurrentFunction(pin_.pin);
  if (context && current > 0 && static_cast<size_t>(current) <= pin_.functions.size()) {
    const PinFunction& function = pin_.functions[current - 1];
    for (const std::string& ownerName : function.owners) {
      // The owners are named by the pin line of the architecture file: the name is data,
      // not a guess at a partner.
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

const CSetCtrl* CpmGPIO_PinDlg::Binding(const char* key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->binding : nullptr;
}

std::string CpmGPIO_PinDlg::CommentLine(uint32_t style) const {
  bool output = false;
  const bool gpio = GetPinState(output);
  std::vector<const char*> parts{"Mode"};
  if (gpio) parts.push_back("Direction");
  if (gpio && output) parts.push_back("Init");
  if (!gpio || !output) parts.push_back("PullUp");
  if (gpio) {
    parts.push_back("Interrupt");
    parts.push_back("Polarity");
  }
  std::string line;
  for (const char* part : parts) {
    const CSetCtrl* binding = Binding(part);
    const std::string piece = binding ? Trim(binding->GetDescription(true, style)) : std::string();
    if (piece.empty()) continue;
    if (!line.empty()) line += ", ";
    line += piece;
  }
  return line;
}

// ==== CpmGPIO ====

CpmGPIO::CpmGPIO(const ArchitectureEntry& entry, CModuleBase* parent)
    : CModule(entry, parent), variant_(&GpioVariants().back()) {}

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
  variant_ = &GpioVariantFor(doc);
  // The later registers do not exist on the chip groups before them.
  InitRegisters(kGpioRegisters, variant_->registerCount);
  CModule::InitModule(doc);

  rows_.clear();
  for (const PinDescription& pin : ParsePinDescriptions(GetParameterText())) {
    if (FindPinDlg(pin.pin)) continue;  // the first line of a pin holds
    rows_.push_back(std::make_unique<CpmGPIO_PinDlg>(*this, pin, *variant_));
  }
  std::sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) { return a->Pin() < b->Pin(); });
  ClearCommentItems();
  for (auto& row : rows_) AddCommentItem(&row->Comment(), kCommentNewLine);
  if (variant_->openDrainHidden) Registers()[kPpmode].flags |= DUMMYREG | NOSHOWLIST;
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
  linked_ = selector->SelectorRegisters(HasClockOutputPins());
}

bool CpmGPIO::HasClockOutputPins() const {
  return GetParameterText().find("CLKOSR") != std::string::npos;
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

// ---- page ----

void CpmGPIO::BuildPage(Page& page) {
  if (variant_->userSlotNote) {
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
  if (variant_->userSlotNote) ShowUserSlotNote();
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
  if (variant_->modulePinCheck) CModule::CheckWarnings();
  if (variant_->oneInterruptPerPort) {
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

// The system integration modules: register tables, pages and checks of every chip group.
#include "modules/sys.h"

#include <algorithm>
#include <cctype>

#include "framework/Links.h"
#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr int kInterruptPanelWidth = 420;

// Comment styles of the boxes: the state ("Enabled" / "Disabled"), or the label only while
// checked.
constexpr uint32_t kState = 1;
constexpr uint32_t kLabelWhileChecked = 6;

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

// The digit right after `word` somewhere in `text`, or -1.
int DigitAfter(const std::string& text, const std::string& word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const size_t next = at + word.size();
    if (next < text.size() && std::isdigit(static_cast<unsigned char>(text[next])))
      return text[next] - '0';
  }
  return -1;
}

// A box on one bit; a list on bits low..high.
FieldSpec Bit(const std::string& reg, int bit) { return {.reg = reg, .low = bit}; }
FieldSpec Bits(const std::string& reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high};
}

// Clock-enable boxes, and the stop-mode boxes beside them, in groups of `perRow`.
struct EnableBox {
  std::string caption;
  std::string pce;  // clock-enable register
  std::string sd;   // stop-mode register
  int bit;
};

void DeclareEnableGroups(PageDeclaration& d, const std::vector<EnableBox>& boxes,
                         const char* stopTitle, const char* stopLabel, int perRow) {
  for (bool stop : {false, true}) {
    d.Group(stop ? stopTitle : "Peripheral Clock Enable (PCE)");
    int count = 0;
    for (const EnableBox& box : boxes) {
      d.Box({.caption = box.caption,
             .key = stop ? StopKey(box.caption) : std::string(),
             .field = {.reg = stop ? box.sd : box.pce, .low = box.bit},
             .label = stop ? stopLabel : "PCE:",
             .comment = kLabelWhileChecked,
             .newRow = count++ % perRow == 0});
    }
  }
}

// Boxes on bits of one register, one a row, described by their state.
struct StateBox {
  std::string caption;
  int bit;
};
void DeclareStateBoxes(PageDeclaration& d, const std::string& reg,
                       const std::vector<StateBox>& boxes) {
  for (const StateBox& box : boxes)
    d.Box({.caption = box.caption, .field = Bit(reg, box.bit), .comment = kState});
}

// The stop and wait lists ("... permanently disabled" where the part has it) and, where the
// part has it, the debug-port clock list.
void DeclarePowerSaving(PageDeclaration& d, bool permanentlyDisabled, bool debugPortClock) {
  std::vector<std::string> stop = {"Stop enabled", "Stop disabled", "Stop permanently enabled"};
  std::vector<std::string> wait = {"Wait enabled", "Wait disabled", "Wait permanently enabled"};
  if (permanentlyDisabled) {
    stop.push_back("Stop permanently disabled");
    wait.push_back("Wait permanently disabled");
  }
  const std::string label = "SIM: Power Saving Modes";
  d.Group("Power Saving Modes");
  d.List({.caption = "Stop disable",
          .field = Bits("-SIM_CONROL_INIT", 2, 3),
          .items = stop,
          .label = label});
  d.List({.caption = "Wait disable",
          .field = Bits("-SIM_CONROL_INIT", 0, 1),
          .items = wait,
          .label = label});
  if (debugPortClock) {
    d.List({.caption = "DPORT clock to processor core",
            .field = Bits("-SIM_CONROL_INIT", 5, 5),
            .items = {"Enabled when core TAP enabled", "Always enabled"},
            .label = "SIM:"});
  }
}

void DeclareProtection(PageDeclaration& d) {
  d.Group("Register Protection");
  d.List({.caption = "IPS registers and all periph. pins configuration:",
          .field = Bits("-SIM_PROT_INIT", 0, 1),
          .items = kProtectionItems,
          .label = "Protection of IPS and GPSxx"});
  d.List({.caption = "PCE, SD and PCR registers protection:",
          .field = Bits("-SIM_PROT_INIT", 2, 3),
          .items = kProtectionItems,
          .label = "Protection of PCE, SD and PCR"});
}

}  // namespace

// ============================== CSysModule ==============================

CSysModule::CSysModule(const ArchitectureEntry& entry, CModuleBase* parent)
    : CModule(entry, parent) {}

CSysModule::~CSysModule() {
  // The page's controls point at the bindings: the page goes first.
  DestroyPage();
}

CSysModule* CSysModule::Find(ModuleContext* context) { return FindCapability<CSysModule>(context); }

void CSysModule::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  DestroyPage();
  DeclareRegisters();
  CModule::InitModule(doc);
  decl_.Clear();
  clockRows_.clear();
  SetHasPins(false);
  DeclareControls(decl_);
  ClearCommentItems();
  decl_.AddCommentItems();
}

void CSysModule::BuildPage(Page& page) { decl_.BuildPage(page); }

void CSysModule::DeclarePinWarning(PageDeclaration& d) {
  d.PinWarning();
  SetHasPins(true);
}

// ---- queries ----

bool CSysModule::IsChecked(const std::string& caption) const {
  const DeclaredControl* control = decl_.Find(caption);
  return control && control->Bit() && control->Bit()->RegisterCheck();
}

int CSysModule::Selection(const std::string& caption) const {
  const DeclaredControl* control = decl_.Find(caption);
  if (!control || !control->Mode()) return -1;
  const int index = control->Mode()->RegisterIndex();
  return index >= 0 && static_cast<size_t>(index) < control->decl.items.size() ? index : -1;
}

std::string CSysModule::SelectedText(const std::string& caption) const {
  const int index = Selection(caption);
  return index < 0 ? std::string() : decl_.Find(caption)->decl.items[static_cast<size_t>(index)];
}

uint32_t CSysModule::ControlId(const std::string& caption) const {
  const DeclaredControl* control = decl_.Find(caption);
  if (!control) return 0;
  return control->captionId != 0 ? control->captionId : control->id;
}

uint32_t CSysModule::ListId(const std::string& caption) const {
  const DeclaredControl* control = decl_.Find(caption);
  return control && control->decl.kind == DeclKind::List ? control->id : 0;
}

std::vector<std::string> CSysModule::ListItems(const std::string& caption) const {
  const DeclaredControl* control = decl_.Find(caption);
  return control && control->decl.kind == DeclKind::List ? control->decl.items
                                                         : std::vector<std::string>();
}

const Register* CSysModule::OwnRegister(const std::string& name) const {
  for (const Register& reg : Registers())
    if (reg.name == name) return &reg;
  return nullptr;
}

void CSysModule::WarnAt(const std::string& key, bool set, const std::string& message) {
  const uint32_t id = ControlId(key);
  if (id != 0) WarnControl(id, set, message);
}

void CSysModule::WarnControl(uint32_t id, bool set, const std::string& message) {
  // The control's own text goes along: a warning control without a text is hidden when its
  // warning clears, and these are boxes and captions that must stay.
  const DeclaredControl* control = decl_.FindById(id);
  SetWarning(id, set, control ? control->decl.caption : std::string(),
             set ? message : std::string());
}

std::string CSysModule::SourceSignalMessage(const std::string& itemText,
                                            const std::string& suffix) {
  return "The module which provides selected source signal \"" + itemText + "\"" + suffix;
}

std::string CSysModule::OptionLink(const std::string& caption) const {
  return std::string(kLinkScheme) + GetPrefix() + "/" + GetClass() + "/" + EncodeUrlText(caption);
}

std::vector<ClockGateInfo> CSysModule::ClockGates() const {
  std::vector<ClockGateInfo> gates;
  for (const ClockRow& row : clockRows_)
    gates.push_back({.caption = row.boxKey, .enabled = IsChecked(row.boxKey), .link = OptionLink(row.boxKey)});
  return gates;
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

void CSysModule::CheckPeripheralClock(CModuleBase& module) {
  const int row = FindClockRow(module.GetPrefix());
  if (row < 0) return;
  const DeclaredControl* box = decl_.Find(clockRows_[static_cast<size_t>(row)].boxKey);
  if (!box || !box->Bit()) return;
  ApplyClockWarning(module, box->Bit()->RegisterCheck(), module.IsSelected(), box->id);
}

void CSysModule::ApplyClockWarning(CModuleBase& module, bool enabled, bool inUse,
                                   uint32_t warningId) {
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

void CpmSYS_V1::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"-SYS_CNTL_INIT", 0x0000, DW16},
      {"-BCR_INIT", 0x00CC, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmSYS_V1::DeclareControls(PageDeclaration& d) {
  const char* const bcr = "-BCR_INIT";
  const char* const cntl = "-SYS_CNTL_INIT";
  // The wait-state fields hold the number of wait states itself.
  const std::vector<uint32_t> waitValues = {0, 4, 8, 12};
  const std::vector<std::string> waitStates = {"0", "4", "8", "12"};

  d.Group("Bus Control");
  d.List({.caption = "Program memory wait states:",
          .field = {.reg = bcr, .low = 0, .high = 3, .values = waitValues},
          .items = waitStates});
  d.List({.caption = "Data memory wait states:",
          .field = {.reg = bcr, .low = 4, .high = 7, .values = waitValues},
          .items = waitStates});
  d.Box({.caption = "External Bus driven when inactive", .field = Bit(bcr, 9), .comment = kState});

  d.Group("System Control");
  d.Box({.caption = "Stop/Wait Mode disable", .field = Bit(cntl, 0), .comment = kState});
  d.Box({.caption = "Stop/Wait mode permanent disable", .field = Bit(cntl, 1), .comment = kState});
  // Kept in the register but not offered: the memory map is fixed by the part's boot mode.
  d.List({.caption = "Internal memory map:",
          .field = Bits(cntl, 5, 6),
          .items = {"Mode 0", "Mode 1", "Mode 2", "Mode 3"},
          .shown = false});
  d.Box({.caption = "Data Bus: Pull-up disable", .field = Bit(cntl, 8), .comment = kState});
  d.Box({.caption = "Address Bus: Pull-up disable", .field = Bit(cntl, 9), .comment = kState});
  d.Box({.caption = "Control Bus: Pull-up disable", .field = Bit(cntl, 10), .comment = kState});
  d.Box({.caption = "Timer IO: Pull-up disable", .field = Bit(cntl, 11), .comment = kState});

  d.NextBand();
  d.Group("Low Voltage Interrupts");
  d.Box({.caption = "Low voltage 2.2V",
         .field = Bit(cntl, 2),
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Low voltage 2.7V",
         .field = Bit(cntl, 3),
         .label = "Interrupts:",
         .comment = kState});
  d.InterruptPanels(kInterruptPanelWidth);
}

// ============================== CpmSYS_V2 ==============================

const std::vector<SysV2Variant>& CpmSYS_V2::Variants() {
  static const std::vector<SysV2Variant> kVariants = {
      {.name = "CVX-06", .partTest = kTestCvx06, .pullUps = true, .selectRegister = nullptr},
      {.name = "Tebo, Casp",
       .partTest = kTestTeboOrCasp,
       .permanentlyDisabled = true,
       .clockOutputOff = "Off: 0",
       .pceReset = 0x0000,
       .pce2Reset = 0x0000,
       .reloadSyncCheck = true},
      {.name = "CVX-17..19", .partTest = kTestCvx17To19, .can2 = true},
      {.name = "Fenn", .partTest = kTestFenn},
      {.name = "other parts", .selectRegister = "-SIM_DTSS_INIT"},
  };
  return kVariants;
}

void CpmSYS_V2::InitModule(ModuleContext& doc) {
  for (const SysV2Variant& variant : Variants()) {
    if (variant.partTest < 0 || doc.TestPart(variant.partTest)) {
      variant_ = &variant;
      break;
    }
  }
  CSysModule::InitModule(doc);
}

void CpmSYS_V2::DeclareBaseControls(PageDeclaration& d, bool ownClockOutput) {
  DeclarePowerSaving(d, Variant().permanentlyDisabled, !Variant().pullUps);

  // A page with its own clock output controls keeps these bound but hidden.
  d.Group("Clock Output");
  d.List({.caption = "CLKOUT mode:",
          .field = Bits("-SIM_CLKOSR_INIT", 5, 5),
          .items = {"On: Clock output active", Variant().clockOutputOff},
          .label = "SIM - CLKOUT:",
          .shown = !ownClockOutput});
  d.List({.caption = "CLKOUT select:",
          .field = Bits("-SIM_CLKOSR_INIT", 0, 4),
          .items = {"Continuous System Clock", "Peripheral Clock", "High-speed Peripheral Clock",
                    "Master Clock"},
          .label = "SIM - CLKOUT:",
          .shown = !ownClockOutput});
}

void CpmSYS_V2::DeclareLowVoltageControls(PageDeclaration& d) {
  d.Group("Low Voltage Interrupts");
  d.Box({.caption = "Low voltage 2.2V",
         .field = Bit("-LVI_CONTROL_INIT", 0),
         .label = "SIM - Interrupts:",
         .comment = kState});
  d.Box({.caption = "Low voltage 2.7V",
         .field = Bit("-LVI_CONTROL_INIT", 1),
         .label = "SIM - Interrupts:",
         .comment = kState});
  d.InterruptPanels(kInterruptPanelWidth);
  d.Box({.caption = "Enable Internal RAM Check during startup (software feature)",
         .field = Bit("-INTXRAM_CHECK_ENABLED", 0),
         .comment = kState});
}

// ============================== CpmSYS_V2_Classic ==============================

void CpmSYS_V2_Classic::DeclareRegisters() {
  const SysV2Variant& v = Variant();
  if (v.pullUps) {
    static const RegisterDecl kCvx06[] = {
        {"-SIM_CONROL_INIT", 0x0000, DW16},     {"-SIM_PUDR_INIT", 0x0000, DW16},
        {"-SIM_CLKOSR_INIT", 0x0000, DW16},     {"-LVI_CONTROL_INIT", 0x0000, DW16},
        {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
    };
    InitRegisters(kCvx06, std::size(kCvx06));
    return;
  }
  const RegisterDecl registers[] = {
      {"-SIM_CONROL_INIT", 0x0000, DW16},
      {"___PUDR___", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
      {"-SIM_CLKOSR_INIT", 0x0020, DW16},
      {"-LVI_CONTROL_INIT", 0x0000, DW16},
      {"-INTXRAM_CHECK_ENABLED", 0, NOVALUE},
      {v.selectRegister, 0x0000, DW16},
      {"-SIM_PCE_INIT", v.pceReset, DW16},
      {"-SIM_PCE2_INIT", v.pce2Reset, v.can2 ? DW16 : DW16 | DUMMYREG | NOSHOWLIST},
  };
  InitRegisters(registers, std::size(registers));
}

namespace {

// The clock on pin k of the clock-output register: the signal and pin that the ports'
// pin descriptions give for "CLKOSR<k>:SYS.<signal>".
std::string ClockPinCaption(ModuleContext* context, int bit) {
  for (PinPort* port : context ? PinPorts(*context) : std::vector<PinPort*>()) {
    CModuleBase& gpio = port->PortModule();
    for (const PinDescription& pin : ParsePinDescriptions(gpio.GetParameterText())) {
      if (pin.clkosrBit != bit) continue;
      for (const PinFunction& function : pin.functions) {
        if (function.clkosrSet && function.HasOwner("SYS"))
          return Format("%s clock on %s%d", function.signal.c_str(), gpio.GetPrefix().c_str(),
                        pin.pin);
      }
    }
  }
  return Format("CLKO%d clock on GPIO", bit - 6);
}

}  // namespace

void CpmSYS_V2_Classic::DeclareControls(PageDeclaration& d) {
  const SysV2Variant& v = Variant();
  DeclareBaseControls(d);
  for (int bit = 6; bit <= 9; ++bit) {
    d.Box({.caption = ClockPinCaption(GetContext(), bit),
           .field = Bit("-SIM_CLKOSR_INIT", bit),
           .comment = kState});
  }
  d.NextBand();

  if (v.pullUps) {
    static const char* const kPullUps[] = {"Timer A",    "Timer C",     "Timer D",  "JTAG",
                                           "Adress bus", "Control Bus", "Data bus", "PWM A0",
                                           "PWM B",      "XBOOT",       "IRQ",      "RESETB",
                                           "EMI_MODE",   "CAN",         "PWM A1"};
    d.Group("SIM - Pull-up disabled");
    for (int bit = 0; bit < 15; ++bit) {
      d.Box({.caption = kPullUps[bit],
             .field = Bit("-SIM_PUDR_INIT", bit),
             .label = "SIM - Pull-up disabled:",
             .comment = kLabelWhileChecked,
             .newRow = bit % 3 == 0});
    }
    DeclareLowVoltageControls(d);
    return;
  }

  static const char* const kClockBoxes[] = {"PWM A", "PWM B", "SPI 0", "SPI 1", "SCI 0", "SCI 1",
                                            "TMR A", "TMR B", "TMR C", "TMR D", "DEC 0", "DEC 1",
                                            "CAN",   "ADC A", "ADC B", "EMI"};
  d.Group("Peripheral Clock Enable (PCE)");
  for (int bit = 0; bit < 16; ++bit) {
    d.Box({.caption = kClockBoxes[bit],
           .field = Bit("-SIM_PCE_INIT", bit),
           .label = "SIM - Peripheral clock:",
           .comment = kLabelWhileChecked,
           .newRow = bit % 3 == 0});
  }
  if (v.can2) {
    d.Box({.caption = "CAN2",
           .field = Bit("-SIM_PCE2_INIT", 0),
           .label = "SIM - Peripheral clock:",
           .comment = kLabelWhileChecked,
           .newRow = false});
  }
  std::vector<ClockRow> clockRows = {
      {"PWM_A|PWM", "PWM A"}, {"PWM_B", "PWM B"},     {"SPI_0|SPI", "SPI 0"}, {"SPI_1", "SPI 1"},
      {"SCI_0|SCI", "SCI 0"}, {"SCI_1", "SCI 1"},     {"QT_A|QT", "TMR A"},   {"QT_B", "TMR B"},
      {"QT_C", "TMR C"},      {"QT_D", "TMR D"},      {"DEC_0", "DEC 0"},     {"DEC_1", "DEC 1"},
      {"ZCAN", "CAN"},        {"ADC_A|ADC", "ADC A"}, {"ADC_B", "ADC B"},     {"SEMI|IIC", "EMI"}};
  if (v.can2) clockRows.push_back({"ZCAN2", "CAN2"});
  SetClockTable(std::move(clockRows));

  d.Group("Timer and SCI Control");
  d.Box({.caption = "Timer channel 3 input sourced from PWM reload_sync signal",
         .field = Bit("-SIM_CONROL_INIT", 9),
         .label = "SIM:",
         .comment = kState});
  d.Box(
      {.caption = "SCI", .field = Bit("-SIM_CONROL_INIT", 11), .label = "SIM:", .comment = kState});
  for (int channel = 0; channel < 4; ++channel) {
    d.Box({.caption = Format("Timer Ch. %d", channel),
           .field = Bit("-SIM_CONROL_INIT", 12 + channel),
           .label = "SIM:",
           .comment = kState,
           .newRow = channel % 2 == 0});
  }
  d.Box({.caption = "Timer clock sourced from HS_PERF (3x System Clock)",
         .field = Bit(v.selectRegister, 15),
         .comment = kState});
  d.Box({.caption = "PWM clock sourced from HS_PERF (3x System Clock)",
         .field = Bit(v.selectRegister, 14),
         .comment = kState});
  d.NextBand();
  DeclareLowVoltageControls(d);
}

void CpmSYS_V2_Classic::CheckWarnings() {
  CModule::CheckWarnings();
  // A timer counting PWM reload pulses must not run slower than the PWM.
  const std::string timerBox = "Timer clock sourced from HS_PERF (3x System Clock)";
  const bool slowerTimer = Variant().reloadSyncCheck &&
                           IsChecked("Timer channel 3 input sourced from PWM reload_sync signal") &&
                           IsChecked("PWM clock sourced from HS_PERF (3x System Clock)") &&
                           !IsChecked(timerBox);
  WarnAt(
      timerBox, slowerTimer,
      "When PWM reload pulse is routed to Timer, the Timer must run at the same or higher clock");
}

// ============================== CpmSYS_V2_Casp ==============================

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

void CpmSYS_V2_Casp::DeclareControls(PageDeclaration& d) {
  DeclareBaseControls(d);
  DeclareStateBoxes(d, "-SIM_CLKOSR_INIT",
                    {
                        {"3x System Clock on GPIOA0", 6},
                        {"2x System Clock on GPIOA1", 7},
                        {"System Cllock on GPIOA2", 8},
                        {"Oscillator Clock on GPIOA3", 9},
                    });

  // PCE0/SD0 hold the communication and analog modules; PCE1/SD1 the eight timer channels
  // in bits 0..7 and the interval timers in bits 12..14.
  std::vector<EnableBox> boxes;
  const std::pair<const char*, int> kFirst[] = {
      {"PWM", 0},  {"SPI 0", 2},  {"SPI 1", 3},  {"SCI 0", 4},  {"SCI 1", 5}, {"I2C", 6},
      {"ADC", 10}, {"DAC 0", 12}, {"DAC 1", 13}, {"CMP A", 14}, {"CMP B", 15}};
  for (const auto& [caption, bit] : kFirst)
    boxes.push_back({caption, "-SIM_PCE0_INIT", "-SIM_SD0_INIT", bit});
  for (int bit = 0; bit < 8; ++bit)
    boxes.push_back(
        {Format("TMR %c%d", bit < 4 ? 'A' : 'B', bit % 4), "-SIM_PCE1_INIT", "-SIM_SD1_INIT", bit});
  for (int pit = 0; pit < 3; ++pit)
    boxes.push_back({Format("PIT %d", pit), "-SIM_PCE1_INIT", "-SIM_SD1_INIT", 12 + pit});
  d.NextBand();
  DeclareEnableGroups(d, boxes, "Modules Enabled in STOP Mode (SD)", "SD:", 3);
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

  d.NextBand();
  d.Group("High-speed Peripheral Clock (HS_PERF)");
  DeclareStateBoxes(d, "-SIM_PCR_INIT",
                    {
                        {"IIC clock sourced from HS_PERF (3x System Clock)", 12},
                        {"PWM clock sourced from HS_PERF (3x System Clock)", 13},
                        {"Timer A clock sourced from HS_PERF (3x System Clock)", 14},
                        {"Timer B clock sourced from HS_PERF (3x System Clock)", 15},
                    });
  d.Group("Pin Functions");
  // The pin-select registers are edited on the port pages, where each pin lists its functions.
  std::string links;
  for (PinPort* port : GetContext() ? PinPorts(*GetContext()) : std::vector<PinPort*>())
    links += (links.empty() ? "" : ", ") + port->PortModule().MakeLinkHtml({});
  links = links.empty() ? "on the pages of the GPIO ports" : "in " + links;
  d.Link({.caption = Format("GPIO pins can be also configured %s", links.c_str()),
          .key = "GPIO pins"});

  d.NextBand();
  DeclareProtection(d);

  d.NextBand();
  d.Group("Internal Peripheral Source Selection (IPS)");
  static const char* const kTimers[] = {"Timer A0 output", "Timer A2 output", "Timer A3 output"};
  for (int n = 0; n < 3; ++n) {
    d.List({.caption = Format("PSRC%d:", n),
            .field = Bits("-SIM_IPS0_INIT", 3 * n, 3 * n + 2),
            .items = {Format("PSCS%d input pin", n), kTimers[n],
                      Format("ADC Sample %d result (HLMT/LLMT)", n),
                      "Comparator A output (filtered)", "Comparator B output (filtered)"},
            .label = "IPS:"});
    if (n < 2) {
      d.List({.caption = Format("FAULT%d:", n + 1),
              .field = Bits("-SIM_IPS0_INIT", 11 + 2 * n, 11 + 2 * n),
              .items = {Format("FAULT%d input pin", n + 1),
                        Format("Comparator %c output (non-filtered)", 'A' + n)},
              .label = "IPS:",
              .newRow = false});
    }
  }
  const std::vector<std::string> syncItems = {"PIT 0 output",    "PIT 1 output",
                                              "PIT 2 output",    "PWM reload sync. signal",
                                              "Timer A0 output", "Timer A1 output"};
  d.List({.caption = "DAC0 SYNC:",
          .field = Bits("-SIM_IPS1_INIT", 0, 2),
          .items = syncItems,
          .label = "IPS:"});
  d.List({.caption = "DAC1 SYNC:",
          .field = Bits("-SIM_IPS1_INIT", 4, 6),
          .items = syncItems,
          .label = "IPS:",
          .newRow = false});
  d.List({.caption = "Timer A1 Input:",
          .field = Bits("-SIM_IPS2_INIT", 4, 4),
          .items = {"Timer A1 pin", "Comparator A output (filtered)"},
          .label = "IPS:"});
  d.List({.caption = "Timer A2 Input:",
          .field = Bits("-SIM_IPS2_INIT", 8, 8),
          .items = {"Timer A2 pin", "Comparator B output (filtered)"},
          .label = "IPS:",
          .newRow = false});
  d.List({.caption = "Timer A3 Input:",
          .field = Bits("-SIM_IPS2_INIT", 12, 12),
          .items = {"Timer A3 pin", "PWM reload sync. signal"},
          .label = "IPS:"});

  d.NextBand();
  DeclareLowVoltageControls(d);
}

// ============================== CpmSYS_V2_Dorn ==============================

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

void CpmSYS_V2_Dorn::DeclareControls(PageDeclaration& d) {
  DeclareBaseControls(d, true);
  d.Box({.caption = "Enable CLKOUT",
         .field = {.reg = "-SIM_CLKOSR_INIT", .low = 5, .inverted = true},
         .comment = kState});
  d.List({.caption = "Source:",
          .key = "CLKOUT source",
          .field = Bits("-SIM_CLKOSR_INIT", 0, 1),
          .items = {"Continuous System Clock", "Peripheral Clock", "High-speed Peripheral Clock",
                    "Master Clock"},
          .label = "CLKOUT Source",
          .enabled = [this] { return IsChecked("Enable CLKOUT"); }});

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
  std::vector<EnableBox> boxes;
  for (const Enable& enable : kEnables) {
    boxes.push_back({enable.caption, Format("-SIM_PCE%d_INIT", enable.reg),
                     Format("-SIM_SD%d_INIT", enable.reg), enable.bit});
  }
  d.NextBand();
  DeclareEnableGroups(d, boxes, "Modules Enabled in STOP Mode (SD)", "SD:", 3);
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

  d.NextBand();
  d.Group("High-speed Peripheral Clock (HS_PERF)");
  DeclareStateBoxes(d, "-SIM_PCR_INIT",
                    {
                        {"Timer A clock sourced from HS_PERF (2x System Clock)", 15},
                        {"Timer B clock sourced from HS_PERF (2x System Clock)", 14},
                        {"SCI0 clock sourced from HS_PERF (2x System Clock)", 13},
                        {"SCI1 clock sourced from HS_PERF (2x System Clock)", 12},
                    });
  d.Group("QTIMER Input Selection");
  static const char* const kTimerPins[] = {"GPIO C2", "GPIO F8", "GPIO F6", "GPIO F7"};
  for (int timer = 0; timer < 4; ++timer) {
    d.List({.caption = Format("Timer B%d:", timer),
            .field = Bits("-SIM_GPS3_INIT", 12 + timer, 12 + timer),
            .items = {kTimerPins[timer], Format("XB_OUT%d", 26 + timer)},
            .label = "QTIMER Input Selection:"});
  }

  d.NextBand();
  DeclareProtection(d);

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
  d.NextBand();
  d.Group("Peripheral Select");
  int count = 0;
  for (const PinList& pin : kPins) {
    d.List({.caption = pin.caption,
            .field = {.reg = Format("-SIM_GPS%d_INIT", pin.reg), .low = pin.low, .high = pin.high},
            .items = pin.items,
            .label = "Peripheral Select:",
            .newRow = count++ % 3 == 0});
  }

  d.NextBand();
  DeclareLowVoltageControls(d);
  DeclarePinWarning(d);
}

bool CpmSYS_V2_Dorn::IsSignalUsed(const std::string& signal) const {
  if (signal.find("CLKO") != std::string::npos) return IsChecked("Enable CLKOUT");
  const int timer = DigitAfter(signal, "TB");
  if (timer >= 0 && timer <= 3) {
    return Selection(Format("Timer B%d:", timer)) == 0 && IsChecked(Format("TMR B%d", timer));
  }
  return false;
}

void CpmSYS_V2_Dorn::ApplyClockWarning(CModuleBase& module, bool enabled, bool inUse,
                                       uint32_t warningId) {
  if (!enabled && !inUse && module.GetPrefix() == "YSCAN") {
    WarnControl(warningId, true, kYscanClockText);
    return;
  }
  CSysModule::ApplyClockWarning(module, enabled, inUse, warningId);
}

// ============================== CpmSYS_Brel ==============================

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

void CpmSYS_Brel::DeclareControls(PageDeclaration& d) {
  DeclarePowerSaving(d, true, true);

  const std::vector<std::string> clockSources = {
      "Continuous System Clock",     "Peripheral Clock",
      "High-speed Peripheral Clock", "Master Clock",
      "1KHz Low Power Oscilator",    "Crystal Oscillator / XTAL",
      "Relaxation Oscillator Output"};
  d.Group("Clock Outputs");
  // CLKO_n: an inverted enable bit and its source field; the list follows the box.
  const struct { int enable, low, high; } kOutputs[] = {{5, 0, 4}, {13, 8, 10}};
  for (int n = 0; n < 2; ++n) {
    const std::string box = Format("Enable CLKO_%d", n);
    d.Box({.caption = box,
           .field = {.reg = "-SIM_CLKOSR_INIT", .low = kOutputs[n].enable, .inverted = true},
           .comment = kState});
    d.List({.caption = " Source: ",
            .key = Format("CLKO_%d source", n),
            .field = Bits("-SIM_CLKOSR_INIT", kOutputs[n].low, kOutputs[n].high),
            .items = clockSources,
            .label = Format("CLKO_%d Source", n),
            .enabled = [this, box] { return IsChecked(box); }});
  }

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
  std::vector<EnableBox> boxes;
  for (int bit = 0; bit < 16; ++bit)
    boxes.push_back({kModules[bit], "-SIM_PCE_INIT", "-SIM_SDR_INIT", bit});
  d.NextBand();
  DeclareEnableGroups(d, boxes, "Modules Enabled in STOP Mode (SDR)", "SDR:", 2);
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

  d.NextBand();
  d.Group("High-speed Peripheral Clock (HS_PERF)");
  DeclareStateBoxes(d, "-SIM_PCR_INIT",
                    {
                        {"Timer clock sourced from HS_PERF (3x System Clock)", 15},
                        {"PWM clock sourced from HS_PERF (3x System Clock)", 13},
                        {"SCI clock sourced from HS_PERF (3x System Clock)", 12},
                    });
  d.Group("Start-up");
  d.Box({.caption = "Enable Internal RAM Check during startup (software feature)",
         .field = Bit("-INTXRAM_CHECK_ENABLED", 0),
         .comment = kState});

  d.NextBand();
  DeclareProtection(d);

  d.NextBand();
  d.Group("Internal Peripheral Source Selection (IPS)");
  const std::vector<std::string> pwmSources = {"Comparator 0 output", "Comparator 1 output",
                                               "Comparator 2 output", "Timer channel T0",
                                               "Timer channel T1"};
  static const char* const kFaultPins[] = {
      "FAULT1 input pin (GPIO A4)", "FAULT2 input pin (GPIO A5)", "FAULT3 input pin (GPIO B5)"};
  for (int n = 0; n < 3; ++n) {
    d.List({.caption = Format("PSRC%d:", n),
            .field = Bits("-SIM_IPS0_INIT", 3 * n, 3 * n + 2),
            .items = pwmSources,
            .label = "IPS:"});
    d.List({.caption = Format("FAULT%d:", n + 1),
            .field = Bits("-SIM_IPS0_INIT", 9 + n, 9 + n),
            .items = {kFaultPins[n], Format("Comparator %d output", n)},
            .label = "IPS:",
            .newRow = false});
  }
  for (int t = 0; t < 2; ++t) {
    d.List({.caption = Format("Timer T%d:", t),
            .field = Bits("-SIM_IPS1_INIT", 3 * t, 3 * t + 2),
            .items = {t == 0 ? "Package pin (GPIO B4 or D1)" : "Package pin (GPIO B0, B5 or D3)",
                      "Comparator 0 output", "Comparator 1 output", "Comparator 2 output", "PWM"},
            .label = "IPS:",
            .newRow = t == 0});
  }
  for (int n = 0; n < 3; ++n) {
    d.List({.caption = Format("C%d_WS:", n),
            .field = Bits("-SIM_IPS1_INIT", 6 + 3 * n, 8 + 3 * n),
            .items = {"Timer T0 output", "Timer T1 output", "PDB Trigger A", "PDB Trigger B",
                      "Tied Low (Logic Zero)"},
            .label = "IPS:",
            .newRow = n % 2 == 0});
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
  d.NextBand();
  d.Group("Peripheral Select");
  int count = 0;
  for (const PinList& pin : kPins) {
    d.List({.caption = pin.caption,
            .field = Bits(pin.reg, pin.low, pin.high),
            .items = pin.items,
            .label = "Peripheral Select:",
            .newRow = count++ % 3 == 0});
  }
  DeclarePinWarning(d);
}

// ---- partner facts ----

bool CpmSYS_Brel::PwmRunning() const {
  const PwmGenerator* pwm = FindCapability<PwmGenerator>(GetContext());
  return !pwm || pwm->IsRunning();  // no PWM: nothing can be off
}

bool CpmSYS_Brel::ComparatorEnabled(int n) const {
  for (const Comparator* comparator : FindCapabilities<Comparator>(GetContext()))
    if (comparator->ComparatorIndex() == n) return comparator->IsEnabled();
  return false;
}

bool CpmSYS_Brel::ComparatorWindowing(int n) const {
  for (const Comparator* comparator : FindCapabilities<Comparator>(GetContext())) {
    if (comparator->ComparatorIndex() == n)
      return comparator->IsEnabled() && comparator->IsWindowingOrSampling();
  }
  return false;
}

bool CpmSYS_Brel::IsSignalUsed(const std::string& signal) const {
  if (signal.find("CLKO_") != std::string::npos) {
    const int output = DigitAfter(signal, "CLKO_");
    return (output == 0 || output == 1) && IsChecked(Format("Enable CLKO_%d", output));
  }
  const int fault = DigitAfter(signal, "FAULT");
  if (fault >= 1 && fault <= 3) return Selection(Format("FAULT%d:", fault)) == 0 && PwmRunning();
  if (signal == "T0" || signal == "T1") {
    const int timer = signal[1] - '0';
    return Selection(Format("Timer T%d:", timer)) == 0 &&
           IsChecked(Format("Timer Channel %d", timer));
  }
  return false;
}

void CpmSYS_Brel::CheckWarnings() {
  CModule::CheckWarnings();

  // The high-speed peripheral clock is made by the PLL; without a clock module it counts
  // as off.
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  const bool pllOff = !clock || !clock->IsPllRunning();
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
  // Missing partners: the 1 kHz oscillator counts as running, the clock module's
  // oscillators as off.
  const PowerManagement* power = FindCapability<PowerManagement>(GetContext());
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  const bool lowPower = !power || power->IsLowPowerOscillatorEnabled();
  const bool crystalOff = !clock || !clock->IsCrystalOscillatorEnabled();
  const bool relaxationOff = !clock || !clock->IsRelaxationOscillatorEnabled();
  for (int output = 0; output < 2; ++output) {
    std::string message;
    if (IsChecked(Format("Enable CLKO_%d", output))) {
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
  const DelayBlock* pdb = FindCapability<DelayBlock>(GetContext());
  const bool trigger[2] = {pdb && pdb->IsTriggerEnabled(0), pdb && pdb->IsTriggerEnabled(1)};
  const PwmGenerator* pwmModule = FindCapability<PwmGenerator>(GetContext());
  const bool pwm = PwmRunning();

  // PWM inputs that the PWM takes from this register.
  for (int n = 0; n < 3; ++n) {
    const std::string caption = Format("PSRC%d:", n);
    bool set = false;
    if (pwmModule && pwm && pwmModule->UsesSystemSource(n)) {
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

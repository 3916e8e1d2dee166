// The serial communication interface of every chip group.
#include "modules/sci.h"

#include <cctype>

#include "framework/Hints.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr const char* kBr = "SCIBR_INIT";
constexpr const char* kCr = "SCICR_INIT";
constexpr const char* kCr2 = "SCICR2_INIT";
constexpr const char* kMode = "HIGHLEVEL_MODE";

constexpr uint32_t kParam = USERDEFINE;
constexpr int kInterruptPanelWidth = 420;

// Comment styles of the boxes: the state ("Enabled" / "Disabled").
constexpr uint32_t kState = 1;

constexpr const char* kDriverGroup =
    "High Level Software Layer (settings do not affect hardware registers)";

// The element types of the driver's buffers: checked "char", unchecked "UWord16".
constexpr const char* kByteType = "char";
constexpr const char* kWordType = "UWord16";

// Keys of controls whose captions repeat.
constexpr const char* kRxBufferKey = "Receiver buffer size";
constexpr const char* kTxBufferKey = "Transmitter buffer size";
constexpr const char* kRxBoxKey = "Receiver";
constexpr const char* kTxBoxKey = "Transmitter";
constexpr const char* kFifoKey = "Enable RX and TX FIFO Queues";
constexpr const char* kLoopKey = "Loop mode";
constexpr const char* kSourceKey = "Receiver source (requires loop mode):";
constexpr const char* kByteWideKey = "Byte-wide buffer operations";

FieldSpec Bit(const std::string& reg, int bit) { return {.reg = reg, .low = bit}; }
FieldSpec Bits(const std::string& reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high};
}

const std::vector<SciVariant>& Rows() {
  static const std::vector<SciVariant> kRows = {
      {.name = "Brel",
       .partTests = {kTestBrel},
       .fineTune = true,
       .secondControl = true,
       .highSpeedBox = SciVariant::HighSpeedBox::Shared,
       .forcedInterrupts = true,
       .userSlotNotes = true,
       .isrSuffixes = {"TxEmptyISR", "RxFullErrISR"}},
      {.name = "Dorn",
       .partTests = {kTestDorn},
       .fineTune = true,
       .secondControl = true,
       .fifo = true,
       .highSpeedBox = SciVariant::HighSpeedBox::PerInstance,
       .isrSuffixes = {"TxEmptyISR", "", "RxErrorISR", "RxFullISR"}},
      {.name = "Casp",
       .partTests = {kTestCasp},
       .fineTune = true,
       .secondControl = true,
       .fifo = true,
       .isrSuffixes = {"TxEmptyISR", "", "RxErrorISR", "RxFullISR"}},
      {.name = "Tebo",
       .partTests = {kTestTebo},
       .secondControl = true,
       .isrSuffixes = {"TxEmptyISR", "", "RxErrorISR", "RxFullISR"}},
      {.name = "classic, Fenn and later parts",
       .isrSuffixes = {"TxEmptyISR", "", "RxErrorISR", "RxFullISR"}},
  };
  return kRows;
}

// A box over the character-type text: checked is "char", unchecked "UWord16". A register
// without a text (nothing loaded, nothing chosen) reads as "UWord16".
class CharTypeBox : public CSetCtrl {
 public:
  void Bind(RegisterRef reg, const std::string& label) {
    reg_ = reg;
    SetGivenLabel(label);
    Refresh();
  }
  bool RegisterCheck() const {
    const Register* reg = Reg();
    return reg && reg->value != 0 && reg->text == kByteType;
  }
  bool GetCheck() const {
    const Control* control = GetWnd();
    return control ? control->checked : RegisterCheck();
  }
  void Write(bool checked) {
    if (Register* reg = Reg()) {
      reg->text = checked ? kByteType : kWordType;
      reg->value = 1;
    }
  }
  void Refresh() override {
    if (GetWnd()) ShowCheck(RegisterCheck());
  }
  void Update() override {
    Write(GetCheck());
    Broadcast(kHintCheckChanged);
  }
  void OnControlEvent(ControlEvent event) override {
    if (event == ControlEvent::Clicked || event == ControlEvent::FocusLost) Update();
  }
  void SelfTest(const SelfTestLog& log) override {
    const Register* reg = Reg();
    const Register before = reg ? *reg : Register{};
    const Control* control = GetWnd();
    for (bool checked : {false, true}) {
      if (GetWnd()) ShowCheck(checked);
      Write(checked);
      Broadcast(kHintCheckChanged);
      log(Format("SB[%4d]; CHKBOX_%s; %s; %s; %s", static_cast<int>(GetCtrlId()),
                 checked ? "ON " : "OFF", Padded(RegisterText()).c_str(),
                 Padded(control ? control->text : std::string()).c_str(),
                 Padded(SelfTestLabel()).c_str()));
    }
    // The self-test leaves the register as it found it (an untouched type stays untouched).
    if (Register* own = Reg()) {
      own->text = before.text;
      own->value = before.value;
    }
    Refresh();
  }
  std::string GetDescription(bool detail, uint32_t style) const override {
    (void)style;
    if (!enabledByModule_) return {};
    if (!detail) return label_;
    return label_ + ": " + (GetCheck() ? "Enabled " : "Disabled");
  }
  const char* GetKindName() const override { return "CSetBit"; }

 protected:
  bool UsesOwnCaption() const override { return true; }
};

}  // namespace

std::span<const SciVariant> SciVariants() { return Rows(); }

CpmSCI::CpmSCI(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDriverModeModule(entry, parent) {}

int CpmSCI::InstanceNumber() const {
  const std::string& name = GetPrefix();
  if (!name.empty() && std::isdigit(static_cast<unsigned char>(name.back())))
    return name.back() - '0';
  return 0;
}

std::string CpmSCI::CharTypeRegisterName() const {
  return InstanceNumber() == 0 ? "-SCI0CHAR" : "-SCI1CHAR";
}

void CpmSCI::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<SciVariant>(Rows(), doc, &SciVariant::partTests);
}

void CpmSCI::DeclareRegisters() {
  // The second control register exists on the Tebo, Casp, Brel and Dorn groups only; the
  // character-type parameter is named after the instance.
  const uint32_t cr2Flags = DW16 | NODEFAULT | (variant_->secondControl ? 0 : DUMMYREG | NOSHOWLIST);
  const std::string charName = CharTypeRegisterName();
  const RegisterDecl table[] = {
      {kBr, 0x0040, DW16},
      {kCr, 0, DW16 | NODEFAULT},
      {kCr2, 0, cr2Flags},
      {kMode, 0, DW8 | DECVALUE | kParam},
      {"RX_BUFFER_OKLIMIT", 15, DW16 | NODEFAULT | kParam},
      {"RX_BUFFER_LOWLIMIT", 10, DW16 | NODEFAULT | kParam},
      {"RX_BUFFER_SIZE", 0, DW8 | kParam},
      {"TX_BUFFER_SIZE", 0, DW8 | kParam},
      {"RX_XONXOFF", 0, DW8 | kParam},
      {charName.c_str(), 0, DW8 | STRVALUE | kParam},
      {"RX_CHAR_HOOK", 0, STRVALUE | kParam},
      {"RX_ERROR_HOOK", 0, STRVALUE | kParam},
      {"TX_CHAR_HOOK", 0, STRVALUE | kParam},
      {"RX_FINISHED_HOOK", 0, STRVALUE | kParam},
      {"TX_FINISHED_HOOK", 0, STRVALUE | kParam},
      {"RX_LOWBUFFER_HOOK", 0, STRVALUE | kParam},
  };
  InitRegisters(table, std::size(table));
}

void CpmSCI::DeclarePage(PageDeclaration& d) {
  const SciVariant& v = *variant_;
  const auto mode = [this] { return DriverMode(); };

  d.Group("Baud Rate");
  d.Value({.caption = "Divisor:",
           .field = v.fineTune ? Bits(kBr, 3, 15) : Bits(kBr, 0, 12),
           .number = {.hex = false, .zeroAllowed = true},
           .width = 70});
  if (v.fineTune) {
    d.Value({.caption = "Fine Tune:",
             .field = Bits(kBr, 0, 2),
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 7},
             .width = 50});
  }
  d.Display({.caption = "Baude Rate:", .width = 110});

  d.Group("Frame and Operation");
  d.Box({.caption = "Enable Receiver", .field = Bit(kCr, 2), .comment = kState});
  d.Box({.caption = "Enable Transmitter", .field = Bit(kCr, 3), .comment = kState});
  d.Box({.caption = kLoopKey, .field = Bit(kCr, 15), .comment = kState});
  d.List({.caption = kSourceKey,
          .field = Bit(kCr, 13),
          .items = {"Internal: TX signal fed to RX", "Single Wire: TX output fed to RX"},
          .enabled = [this] { return IsChecked(kLoopKey); }});
  d.List({.caption = "Function in Wait Mode",
          .field = Bit(kCr, 14),
          .items = {"SCI module enabled in Wait Mode", "SCI module disabled in Wait Mode"}});
  d.List({.caption = "Polarity:", .field = Bit(kCr, 10), .items = {"True polarity", "Inverted polarity"}});
  d.List({.caption = "Wake-up condition",
          .field = Bit(kCr, 11),
          .items = {"By idle line", "By address mark (MSB data bit RX)"}});
  d.List({.caption = "Data word length:", .field = Bit(kCr, 12), .items = {"8 bits", "9 bits"}});
  d.List({.caption = "Parity:",
          .field = {.reg = kCr, .low = 8, .high = 9, .values = {0, 2, 3}},
          .items = {"None", "Even", "Odd"},
          .label = "Parity"});
  if (v.secondControl)
    d.Box({.caption = "LIN Autobaud feature", .field = Bit(kCr2, 3), .comment = kState});

  if (v.fifo) {
    d.Group("FIFO Queues");
    d.Box({.caption = kFifoKey, .field = Bit(kCr2, 5), .comment = kState});
    const auto fifoOn = [this] { return IsChecked(kFifoKey); };
    d.List({.caption = "TX FIFO Empty Watermark:",
            .field = Bits(kCr2, 11, 12),
            .items = {"0 words in FIFO", "1 or less words in FIFO", "2 or less words in FIFO",
                      "3 or less words in FIFO"},
            .label = "Set TDRE when",
            .visible = fifoOn});
    d.List({.caption = "RX FIFO Full Watermark:",
            .field = Bits(kCr2, 6, 7),
            .items = {"at least 1 word in FIFO", "at least 2 words in FIFO",
                      "at least 3 words in FIFO", "at least 4 words in FIFO"},
            .label = "Set RDRF when",
            .visible = fifoOn});
  }

  d.Group("Interrupts");
  const auto disabledMode = [mode] { return mode() == 0; };
  for (const auto& [caption, bit] : {std::pair<const char*, int>{"RX Error", 4}, {"RX Full", 5},
                                     {"TX Idle", 6}, {"TX Empty", 7}}) {
    d.Box({.caption = caption,
           .field = Bit(kCr, bit),
           .label = "Interrupts:",
           .comment = kState,
           .visible = disabledMode});
  }
  if (v.userSlotNotes) {
    for (size_t n = 0; n < 2; ++n)
      d.Link({.caption = "(user vector information)", .key = UserNoteKey(n), .shown = false});
  }
  d.InterruptPanels(kInterruptPanelWidth);
  d.PinWarning();
  SetHasPins(true);

  d.NextBand();
  d.Group(kDriverGroup);
  d.List({.caption = kModeKey,
          .field = Bits(kMode, 0, 1),
          .items = {"Disabled", "Blocking/Non-blocking", "Buffered"},
          .width = 160});
  const auto driver = [mode] { return mode() == 1 || mode() == 2; };
  const auto buffered = [mode] { return mode() == 2; };
  const auto blocking = [mode] { return mode() == 1; };
  d.Box({.caption = kByteWideKey,
         .field = {.reg = CharTypeRegisterName()},
         .visible = driver,
         .makeBinding = [](RegisterRef reg, const std::string& label) {
           auto box = std::make_unique<CharTypeBox>();
           box->Bind(reg, label);
           return std::unique_ptr<CSetCtrl>(std::move(box));
         }});

  d.Group("Queued Operation");
  d.Box({.caption = kRxBoxKey, .unbound = true, .visible = buffered});
  d.Value({.caption = "Buffer size:", .key = kRxBufferKey, .field = Bits("RX_BUFFER_SIZE", 0, 7),
           .label = "Receiver buffer size", .number = {.hex = false, .zeroAllowed = true},
           .width = 50, .visible = buffered});
  d.Value({.caption = "Receiver buffer low limit:", .field = Bits("RX_BUFFER_LOWLIMIT", 0, 7),
           .number = {.hex = false, .zeroAllowed = true}, .width = 50, .visible = buffered});
  d.Value({.caption = "Receiver buffer OK limit:", .field = Bits("RX_BUFFER_OKLIMIT", 0, 7),
           .number = {.hex = false, .zeroAllowed = true}, .width = 50, .visible = buffered});
  d.Box({.caption = "XON/XOFF flow control", .field = Bit("RX_XONXOFF", 0), .comment = kState,
         .visible = buffered});
  d.Box({.caption = kTxBoxKey, .unbound = true, .visible = buffered});
  d.Value({.caption = "Buffer size:", .key = kTxBufferKey, .field = Bits("TX_BUFFER_SIZE", 0, 7),
           .label = "Transmitter buffer size", .number = {.hex = false, .zeroAllowed = true},
           .width = 50, .visible = buffered});

  d.Group("Hook Functions");
  struct Hook {
    const char* caption;
    const char* reg;
    std::function<bool()> shown;
  };
  const Hook hooks[] = {
      {"Char received:", "RX_CHAR_HOOK", driver},
      {"RX error:", "RX_ERROR_HOOK", driver},
      {"Char transmitted:", "TX_CHAR_HOOK", driver},
      {"RX finished:", "RX_FINISHED_HOOK", blocking},
      {"TX finished:", "TX_FINISHED_HOOK", blocking},
      {"RX low bufer:", "RX_LOWBUFFER_HOOK", buffered},
  };
  for (const Hook& hook : hooks)
    d.Text({.caption = hook.caption, .field = {.reg = hook.reg}, .width = 150, .visible = hook.shown});
}

// ---- facts ----

Register* CpmSCI::Reg(const std::string& name) const {
  return const_cast<CpmSCI*>(this)->FindOwnRegister(name);
}

uint32_t CpmSCI::Divisor() const {
  return variant_ && variant_->fineTune ? OwnField(kBr, 3, 15) : OwnField(kBr, 0, 12);
}

uint32_t CpmSCI::FineTune() const { return variant_ && variant_->fineTune ? OwnField(kBr, 0, 2) : 0; }

double CpmSCI::InputClockHz() const {
  double mhz = GetBusClockMHz();
  if (variant_ && variant_->highSpeedBox != SciVariant::HighSpeedBox::None) {
    const std::string box =
        variant_->highSpeedBox == SciVariant::HighSpeedBox::Shared
            ? "SCI clock sourced from HS_PERF (3x System Clock)"
            : Format("SCI%d clock sourced from HS_PERF (2x System Clock)", InstanceNumber() == 1 ? 1 : 0);
    const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
    if (gate && gate->IsOptionChecked(box)) mhz = GetHSClockMHz();
  }
  return static_cast<double>(static_cast<float>(mhz) * 1e6f);
}

double CpmSCI::BaudRate() const {
  const uint32_t divisor = Divisor();
  if (divisor == 0 || divisor >= 8192) return 0;
  // The divider is (D x 8 + F) x 2: 16 clocks a bit, the fine tune in eighths.
  const uint32_t divider = (divisor * 8 + FineTune()) * 2;
  const double clock = InputClockHz();
  if (clock <= 0 || divider == 0) return 0;
  return static_cast<float>(clock) / static_cast<float>(divider);
}

std::string CpmSCI::IsrName(size_t user) const {
  if (!variant_ || user >= variant_->isrSuffixes.size() || variant_->isrSuffixes[user].empty())
    return {};
  return Format("Sci%d", InstanceNumber()) + variant_->isrSuffixes[user];
}

bool CpmSCI::IsSignalUsed(const std::string& signal) const {
  if (!OwnField(kCr, 15, 15)) return true;
  if (signal.find("RXD") != std::string::npos) return false;
  if (signal.find("TXD") != std::string::npos) return OwnField(kCr, 13, 13) != 0;
  return true;
}

std::string CpmSCI::MonitorInterfaceName() const { return Format("SCI_%d", InstanceNumber()); }

std::vector<uint32_t> CpmSCI::MonitorVectors() const {
  // The driver serves the users whose routines transmit and receive characters.
  std::vector<uint32_t> vectors;
  const std::vector<InterruptUser>& users = InterruptUsers();
  for (size_t n = 0; n < users.size(); ++n) {
    const std::string suffix = variant_ && n < variant_->isrSuffixes.size() ? variant_->isrSuffixes[n] : "";
    if (suffix.starts_with("TxEmpty") || suffix.starts_with("RxFull")) vectors.push_back(users[n].vector);
  }
  return vectors;
}

// ---- values, enables, warnings ----

void CpmSCI::UpdateValues() {
  if (const DeclaredControl* display = decl_.Find("Baude Rate:"))
    ShowFrequency(display->id, BaudRate(), false, nullptr, "%.0f bps");
}

void CpmSCI::ForceDriverInterrupts() {
  if (!variant_->forcedInterrupts) return;
  Register* cr = Reg(kCr);
  if (!cr) return;
  const bool driver = DriverMode() > 0;
  if (driver) cr->value |= (1u << 4) | (1u << 5) | (1u << 7);
  // The boxes show what the register holds (forced or the user's own choice).
  for (const char* key : {"RX Full", "RX Error", "TX Empty"}) {
    const DeclaredControl* box = decl_.Find(key);
    if (box && box->binding) box->binding->Refresh();
  }
}

void CpmSCI::UpdateBufferBoxes() {
  Page* page = GetPage();
  if (!page) return;
  for (const auto& [boxKey, sizeKey] : {std::pair{kRxBoxKey, kRxBufferKey}, std::pair{kTxBoxKey, kTxBufferKey}}) {
    const DeclaredControl* box = decl_.Find(boxKey);
    const DeclaredControl* size = decl_.Find(sizeKey);
    if (!box || !size || !size->Value()) continue;
    const bool used = size->Value()->GetValue() != 0;
    if (Control* control = page->Find(box->id)) control->checked = used;
    EnableControl(size->id, used);
  }
}

void CpmSCI::UpdateEnables() {
  ForceDriverInterrupts();
  ClaimVectors();
  decl_.ApplyRules();
  UpdateBufferBoxes();
  UpdateUserSlotNotes();
}

void CpmSCI::CheckWarnings() {
  CModule::CheckWarnings();
  ForceDriverInterrupts();
  ClaimVectors();
  UpdateUserSlotNotes();
  ReportVectorClaim();
}

void CpmSCI::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  // Unchecking "Receiver" or "Transmitter" empties its buffer; checking lets it be sized.
  for (const auto& [boxKey, sizeKey] : {std::pair{kRxBoxKey, kRxBufferKey}, std::pair{kTxBoxKey, kTxBufferKey}}) {
    const DeclaredControl* box = decl_.Find(boxKey);
    const DeclaredControl* size = decl_.Find(sizeKey);
    if (!box || !size || control.id != box->id || event != ControlEvent::Clicked) continue;
    if (!control.checked && size->Value()) {
      size->Value()->SetValue(0);
      size->Value()->Refresh();
    }
    EnableControl(size->id, control.checked);
    if (GetContext()) GetContext()->Broadcast(kHintValueChanged, this);
    return;
  }
  CModule::OnControlEvent(page, control, event);
  if (event == ControlEvent::SelectionChanged) UpdateEnables();
}

// ---- writing ----

bool CpmSCI::WriteDefines(std::string& text) {
  // The not-selected question looks at the registers as they stand: an empty character type
  // is nobody's change.
  std::string probe;
  bool changed = false;
  BuildDefineText(probe, changed);
  if (!ConfirmUnselectedChanges(changed)) return false;
  if (!IsSelected()) return true;
  Register* type = Reg(CharTypeRegisterName());
  const bool fill = type && type->value == 0;
  if (fill) {
    type->text = kWordType;
    type->value = 1;
  }
  BuildDefineText(text, changed);
  if (fill) {
    type->text.clear();
    type->value = 0;
  }
  return true;
}

void RegisterSciModuleKinds(ModuleFactory& factory) { factory.Register<CpmSCI>("SCI"); }

}  // namespace tarq

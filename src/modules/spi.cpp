// The serial peripheral interface of every chip group.
#include "modules/spi.h"

#include <cctype>
#include <cmath>

#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr const char* kSpscr = "SPSCR_INIT";
constexpr const char* kSpdscr = "SPDSCR_INIT";
constexpr const char* kSpdsr = "SPDSR_INIT";
constexpr const char* kFifo = "FIFO_INIT";
constexpr const char* kDelay = "DELAY_INIT";
constexpr const char* kMode = "HIGHLEVEL_MODE";
constexpr uint32_t kParam = USERDEFINE;
constexpr uint32_t kState = 1;
constexpr int kInterruptPanelWidth = 420;
constexpr const char* kFifoKey = "Enable RX and TX FIFO Queues";

FieldSpec Bit(const std::string& reg, int bit) { return {.reg = reg, .low = bit}; }
FieldSpec Bits(const std::string& reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high};
}

const std::vector<SpiVariant>& Rows() {
  static const std::vector<SpiVariant> kRows = {
      {.name = "classic", .partTests = {kTestClassic}, .classic = true, .divisorItems = 4},
      {.name = "Brel",
       .partTests = {kTestBrel},
       .divisorItems = 12,
       .splitDivisor = true,
       .divisorLimit = 4096,
       .multiply = true,
       .invertedPolarity = true,
       .userSlotNotes = true},
      {.name = "Dorn",
       .partTests = {kTestDorn},
       .divisorItems = 14,
       .splitDivisor = true,
       .divisorLimit = 16384,
       .multiply = true,
       .fifo = true,
       .invertedPolarity = true},
      {.name = "Casp", .partTests = {kTestCasp}, .multiply = true, .fifo = true, .delayTime = true},
      {.name = "Fenn, Tebo and later parts"},
  };
  return kRows;
}

}  // namespace

std::span<const SpiVariant> SpiVariants() { return Rows(); }

CpmSPI::CpmSPI(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDriverModeModule(entry, parent) {}

int CpmSPI::InstanceNumber() const {
  const std::string& name = GetPrefix();
  if (!name.empty() && std::isdigit(static_cast<unsigned char>(name.back())))
    return name.back() - '0';
  return 0;
}

void CpmSPI::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<SpiVariant>(Rows(), doc, &SpiVariant::partTests);
}

const char* CpmSPI::DataRegister() const { return variant_->classic ? kSpdsr : kSpdscr; }

void CpmSPI::DeclareRegisters() {
  const uint32_t extra = variant_->fifo ? DW16 : DW16 | DUMMYREG | NOSHOWLIST;
  const RegisterDecl classic[] = {
      {kSpdsr, 0, DW16},
      {kSpscr, 0, DW16 | NODEFAULT},
      {kFifo, 0, DW16 | DUMMYREG | NOSHOWLIST},
      {kDelay, 0, DW16 | DUMMYREG | NOSHOWLIST},
      {kMode, 0, DW8 | DECVALUE | kParam},
      {"ERROR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"RX_CHAR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"TX_CHAR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"RX_FINISHED_HOOK", 0, DW8 | STRVALUE | kParam},
      {"TX_FINISHED_HOOK", 0, DW8 | STRVALUE | kParam},
  };
  const RegisterDecl other[] = {
      {kSpdscr, 0x000F, DW16},
      {kSpscr, 0x6140, DW16},
      {kFifo, 0, extra},
      {kDelay, 0, extra},
      {kMode, 0, DW8 | DECVALUE | kParam},
      {"ERROR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"RX_CHAR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"TX_CHAR_HOOK", 0, DW8 | STRVALUE | kParam},
      {"RX_FINISHED_HOOK", 0, DW8 | STRVALUE | kParam},
      {"TX_FINISHED_HOOK", 0, DW8 | STRVALUE | kParam},
  };
  if (variant_->classic)
    InitRegisters(classic, std::size(classic));
  else
    InitRegisters(other, std::size(other));
}

void CpmSPI::DeclarePage(PageDeclaration& d) {
  const SpiVariant& v = *variant_;
  const bool c = v.classic;
  const auto mode = [this] { return DriverMode(); };

  std::vector<std::string> sizes = {"1 (invalid)"};
  for (int bits = 2; bits <= 16; ++bits) sizes.push_back(Format("%d Bits", bits));
  std::vector<std::string> divisors;
  if (c) {
    divisors = {"IP/2", "IP/8", "IP/16", "IP/32"};
  } else {
    for (int p = 0; p < v.divisorItems; ++p) divisors.push_back(Format("IP/%d", 2 << p));
  }

  d.Group("Clock and Data");
  d.List({.caption = "Data size:", .field = Bits(DataRegister(), 0, 3), .items = sizes});
  DeclaredControl& divisor =
      d.List({.caption = "Divisor:", .field = c ? Bits(kSpscr, 6, 7) : Bits(kSpscr, 13, 15),
              .items = divisors});
  if (v.splitDivisor && divisor.Mode()) {
    // The position is split: SPSCR bits 13..15 hold p mod 8, SPDSCR bit 4 holds p / 8.
    divisor.Mode()->SetHandlers([this] { return DivisorPosition(); },
                                [this](int position) { SetDivisorPosition(position); });
  }
  if (v.multiply) d.Box({.caption = kMultiplyKey, .field = Bit(kSpdscr, 12), .comment = kState});
  d.Display({.caption = "Frequency:", .width = 110});
  d.List({.caption = "SCLK Polarity:",
          .field = {.reg = kSpscr, .low = c ? 3 : 7, .high = c ? 3 : 7,
                    .values = v.invertedPolarity ? std::vector<uint32_t>{1, 0} : std::vector<uint32_t>{}},
          .items = {"Falling edge", "Rising Edge"}});
  d.List({.caption = "SCLK Phase:", .field = Bit(kSpscr, c ? 2 : 6),
          .items = {"Transmission started by edge on SS pin", "Transmission started by 1st SCLK edge"}});
  d.List({.caption = "SPI Mode:", .field = Bit(kSpscr, c ? 4 : 8), .items = {"Slave", "Master"}});
  d.List({.caption = "Shift order:", .field = Bit(kSpscr, c ? 14 : 12), .items = {"MSB first", "LSB first"}});
  if (!c) d.List({.caption = "Wired OR mode:", .field = Bit(kSpdscr, 15), .items = {"Normal", "Open drain"}});
  d.Box({.caption = "SS Mode Fault Enable", .field = Bit(kSpscr, c ? 8 : 10), .comment = kState});
  d.Box({.caption = "SPI Module Enable", .field = Bit(kSpscr, c ? 1 : 5), .comment = kState});

  if (!c) {
    d.Group("Slave Select");
    d.Static({.caption = "Manual SS control:"});
    d.Radio({.caption = "SS Low", .field = {.reg = kSpdscr, .low = 10, .inverted = true},
             .label = "Manual SS control", .groupStart = true});
    d.Radio({.caption = "High", .field = Bit(kSpdscr, 10), .label = "Manual SS control", .newRow = false});
    if (v.multiply) {
      for (const auto& [caption, bit] :
           {std::pair<const char*, int>{"SS Pin as Open Drain (wired OR)", 9},
            {"Automatic SS Data Frame \"Envelope\"", 8},
            {"Set SS as Output (Master Mode only)", 7},
            {"Automatic SS Strobe Pulse between words", 6},
            {"Force SS Internal Input Low in Slave Mode", 5}})
        d.Box({.caption = caption, .field = Bit(kSpdscr, bit), .comment = kState});
    }
  }

  if (v.fifo) {
    d.Group("FIFO and Delay");
    d.Box({.caption = kFifoKey, .field = Bit(kFifo, 0), .comment = kState});
    const auto fifoOn = [this] { return IsChecked(kFifoKey); };
    d.List({.caption = "TX FIFO Empty Watermark:", .field = Bits(kFifo, 5, 6),
            .items = {"0 words in FIFO", "1 or less words in FIFO", "2 or less words in FIFO",
                      "3 or less words in FIFO"},
            .label = "Set TDRE when", .visible = fifoOn});
    d.List({.caption = "RX FIFO Full Watermark:", .field = Bits(kFifo, 2, 3),
            .items = {"at least 1 word in FIFO", "at least 2 words in FIFO",
                      "at least 3 words in FIFO", "at least 4 words in FIFO"},
            .label = "Set RDRF when", .visible = fifoOn});
    d.Value({.caption = "Inter-word delay:", .field = Bits(kDelay, 0, 12),
             .number = {.hex = false, .maximum = 8191, .zeroAllowed = true}, .width = 60});
    if (v.delayTime) d.Display({.caption = "Delay time:", .width = 110});
  }

  d.Group("Interrupts");
  const auto disabledMode = [mode] { return mode() == 0; };
  for (const auto& [caption, bit] : {std::pair<const char*, int>{"Error", c ? 12 : 11},
                                     {"Receiver", c ? 5 : 9}, {"Transmitter", c ? 0 : 4}}) {
    d.Box({.caption = caption, .field = Bit(kSpscr, bit), .label = "Interrupts:", .comment = kState,
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
  d.Group("High Level Software Layer (settings do not affect hardware registers)");
  d.List({.caption = kModeKey, .field = Bits(kMode, 0, 1), .items = {"Disabled", "Blocking/Non-blocking"},
          .width = 160});
  d.Group("Hook Functions");
  const auto driver = [mode] { return mode() == 1; };
  for (const auto& [caption, reg] :
       {std::pair<const char*, const char*>{"RX error:", "ERROR_HOOK"}, {"Char received:", "RX_CHAR_HOOK"},
        {"Char transmitted:", "TX_CHAR_HOOK"}, {"RX finished:", "RX_FINISHED_HOOK"},
        {"TX finished:", "TX_FINISHED_HOOK"}})
    d.Text({.caption = caption, .field = {.reg = reg}, .width = 150, .visible = driver});
}

// ---- facts ----

int CpmSPI::DivisorPosition() const {
  if (variant_->classic) return static_cast<int>(OwnField(kSpscr, 6, 7));
  int position = static_cast<int>(OwnField(kSpscr, 13, 15));
  if (variant_->splitDivisor && OwnField(kSpdscr, 4, 4)) position += 8;
  return position;
}

void CpmSPI::SetDivisorPosition(int position) {
  if (position < 0) return;
  Register* spscr = FindOwnRegister(kSpscr);
  Register* spdscr = FindOwnRegister(kSpdscr);
  if (!spscr || !spdscr) return;
  if (variant_->classic) {
    spscr->value = (spscr->value & ~0x00C0u) | ((static_cast<uint32_t>(position) & 3u) << 6);
    return;
  }
  spscr->value = (spscr->value & ~0xE000u) | ((static_cast<uint32_t>(position) & 7u) << 13);
  // Writing the position always writes the high bit too: a position below 8 clears it.
  if (variant_->splitDivisor)
    spdscr->value = (spdscr->value & ~0x0010u) | (position >= 8 ? 0x0010u : 0u);
}

uint32_t CpmSPI::EffectiveDivisor() const {
  const int p = DivisorPosition();
  if (variant_->classic) {
    static const uint32_t kClassic[] = {2, 8, 16, 32};
    return p >= 0 && p < 4 ? kClassic[p] : 0;
  }
  uint32_t divisor = 2u << p;
  if (variant_->multiply && IsChecked(kMultiplyKey)) divisor *= 2;
  if (variant_->divisorLimit != 0 && divisor > variant_->divisorLimit) divisor = variant_->divisorLimit;
  return divisor;
}

bool CpmSPI::DivisorLimited() const {
  if (variant_->classic || variant_->divisorLimit == 0) return false;
  uint64_t divisor = 2ull << DivisorPosition();
  if (variant_->multiply && IsChecked(kMultiplyKey)) divisor *= 2;
  return divisor > variant_->divisorLimit;
}

double CpmSPI::BitClockHz() const {
  const double bus = static_cast<double>(GetBusClockMHz()) * 1e6;
  const uint32_t divisor = EffectiveDivisor();
  if (bus <= 0 || divisor == 0) return 0;
  return bus / divisor;
}

double CpmSPI::DelaySeconds() const {
  const double bus = static_cast<double>(GetBusClockMHz()) * 1e6;
  if (bus <= 0) return 0;
  return OwnField(kDelay, 0, 12) / bus;
}

std::string CpmSPI::IsrName(size_t user) const {
  static const char* const kSuffixes[] = {"RxFullISR", "TxEmptyISR"};
  if (user >= std::size(kSuffixes)) return {};
  return Format("Spi%d", InstanceNumber()) + kSuffixes[user];
}

// ---- values, enables, warnings ----

void CpmSPI::UpdateValues() {
  if (const DeclaredControl* display = decl_.Find("Frequency:"))
    ShowFrequency(display->id, BitClockHz(), true, "invalid");
  if (const DeclaredControl* delay = decl_.Find("Delay time:"))
    ShowTime(delay->id, DelaySeconds(), true, "0");
  if (variant_->divisorLimit != 0) {
    const bool limited = DivisorLimited();
    if (const DeclaredControl* box = decl_.Find(kMultiplyKey))
      SetWarning(box->id, limited, box->decl.caption,
                 limited ? Format("Maximum divisor value is %u; this option will have no effect.",
                                  variant_->divisorLimit)
                         : std::string());
  }
}

void CpmSPI::UpdateEnables() {
  ClaimVectors();
  decl_.ApplyRules();
  UpdateUserSlotNotes();
}

void CpmSPI::CheckWarnings() {
  CModule::CheckWarnings();
  ClaimVectors();
  UpdateUserSlotNotes();
  ReportVectorClaim();
}

void CpmSPI::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  CModule::OnControlEvent(page, control, event);
  if (event == ControlEvent::SelectionChanged) UpdateEnables();
  if (event == ControlEvent::Clicked) UpdateValues();
}

void RegisterSpiModuleKinds(ModuleFactory& factory) { factory.Register<CpmSPI>("SPI"); }

}  // namespace tarq

// The I2C controllers: register tables, pages, timing and the address check.
#include "modules/i2c.h"

#include "framework/Capabilities.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr int kInterruptPanelWidth = 420;

// Comment styles of the boxes: the state ("Enabled" / "Disabled"), or the label only while
// checked (the addressing radios).
constexpr uint32_t kState = 1;
constexpr uint32_t kLabelWhileChecked = 6;

constexpr const char* kHighSpeedBox = "IIC clock sourced from HS_PERF (3x System Clock)";
constexpr const char* kSevenBitText = "Slave address must be less than 128 when using 7-bit adressing.";

FieldSpec Bit(const std::string& reg, int bit, bool inverted = false) {
  return {.reg = reg, .low = bit, .inverted = inverted};
}
FieldSpec Bits(const std::string& reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high};
}

// The divider register's codes: multiplier (bits 6..7), prescaler (3..5) and tap (0..2).
constexpr int kMultipliers[4] = {1, 2, 4, 0};
struct Tap {
  int scl, sda;
};
constexpr Tap kTaps[8] = {{5, 1}, {6, 1}, {7, 2}, {8, 2}, {9, 3}, {10, 3}, {12, 4}, {15, 4}};
struct Prescaler {
  int scl2start, scl2stop, scl2tap, tap2tap, nfOffset;
};
constexpr Prescaler kPrescalers[8] = {{2, 7, 4, 1, 0},     {2, 7, 4, 2, 1},    {2, 9, 6, 4, 1},
                                      {6, 9, 6, 8, 5},     {14, 17, 14, 16, 5}, {30, 33, 30, 32, 0},
                                      {62, 65, 62, 64, 0}, {126, 129, 126, 128, 0}};

const std::vector<std::string> kTapItems = {"5-1", "6-1", "7-2", "8-2", "9-3", "10-3", "12-4", "15-4"};
const std::vector<std::string> kPrescalerItems = {
    "2-7-4-1-0",      "2-7-4-2-1",      "2-9-6-4-1",      "6-9-6-8-5",
    "14-17-14-16-5",  "30-33-30-32-0",  "62-65-62-64-0",  "126-129-126-128-0"};

// The timing rows of the divider controllers: caption, key of the count.
const char* const kTimingRows[] = {"SCL Divider:", "SDA Hold:", "SCL Hold (start):", "SCL Hold (stop):"};

std::string TimeKey(const std::string& key) { return key + " time"; }

}  // namespace

I2cDividerCounts ComputeI2cDivider(uint32_t dividerRegister, int filterWidth) {
  I2cDividerCounts c;
  c.mul = kMultipliers[(dividerRegister >> 6) & 3u];
  const Tap& tap = kTaps[dividerRegister & 7u];
  const Prescaler& pre = kPrescalers[(dividerRegister >> 3) & 7u];
  c.sclTap = tap.scl;
  c.sdaTap = tap.sda;
  c.scl2start = pre.scl2start;
  c.scl2stop = pre.scl2stop;
  c.scl2tap = pre.scl2tap;
  c.tap2tap = pre.tap2tap;
  c.nfOffset = pre.nfOffset;
  c.sclDivider = 2L * c.mul * (c.scl2tap + (c.sclTap - 1L) * c.tap2tap + 2);
  // The noise filter stretches the period by whole tap steps. The fourth multiplier code
  // gives no multiplier at all: there is no period to stretch then.
  if (filterWidth > 0 && c.mul > 0)
    c.sclDivider += static_cast<long>(c.tap2tap) *
                    ((static_cast<long>(c.mul) * c.nfOffset + filterWidth + 1) /
                     (static_cast<long>(c.mul) * c.tap2tap));
  c.sdaHold = static_cast<long>(c.mul) * (c.scl2tap + (c.sdaTap - 1L) * c.tap2tap + 3);
  c.startHold = static_cast<long>(c.mul) * (c.scl2start + (c.sclTap - 1L) * c.tap2tap);
  c.stopHold = static_cast<long>(c.mul) * (c.scl2stop + (c.sclTap - 1L) * c.tap2tap);
  return c;
}

// ============================== CI2cModule ==============================

void CI2cModule::DeclarePage(PageDeclaration& d) {
  sideIds_.clear();
  DeclareControls(d);
}

void CI2cModule::UpdateEnables() {
  decl_.ApplyRules();
  UpdateNotes();
  UpdateValues();
}

uint32_t CI2cModule::Field(const char* reg, int low, int high) const {
  for (const Register& r : Registers())
    if (r.name == reg) return (r.value >> low) & ((1u << (high - low + 1)) - 1u);
  return 0;
}

void CI2cModule::SetField(const char* reg, int low, int high, uint32_t value) {
  Register* r = FindOwnRegister(reg);
  if (!r) return;
  const uint32_t mask = ((1u << (high - low + 1)) - 1u) << low;
  r->value = (r->value & ~mask) | ((value << low) & mask);
}

uint32_t CI2cModule::SideDisplay(PageDeclaration& d, const std::string& key, int width) {
  const uint32_t id = d.NextId();
  sideIds_.emplace_back(key, id);
  d.Custom([id, width](Page& page) { page.AddDisplay(id).layout.width = width; }, false);
  return id;
}

uint32_t CI2cModule::IdOf(const std::string& key) const {
  for (const auto& [name, id] : sideIds_)
    if (name == key) return id;
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

std::string CI2cModule::DisplayText(const std::string& key) const {
  const uint32_t id = IdOf(key);
  const Control* control = id != 0 && GetPage() ? GetPage()->Find(id) : nullptr;
  return control ? control->text : std::string();
}

void CI2cModule::Show(const std::string& key, const std::string& text) {
  if (const uint32_t id = IdOf(key)) ShowControlText(id, text);
}

void CI2cModule::DeclareDivider(PageDeclaration& d, const char* reg, bool noiseFilter) {
  d.Group("Frequency Divider");
  d.List({.caption = "Multiplier factor:", .field = Bits(reg, 6, 7), .items = {"1x", "2x", "4x"},
          .width = 70, .captionWidth = 170});
  d.List({.caption = "Prescaler divider values:", .field = Bits(reg, 3, 5), .items = kPrescalerItems,
          .width = 140, .captionWidth = 170});
  // The prescaler's values, three to a row so that the row stays within the group.
  int shown = 0;
  for (const char* value : {"scl2start", "scl2stop", "scl2tap", "tap2tap", "NfOffset"}) {
    if (!noiseFilter && std::string(value) == "NfOffset") continue;
    d.Display({.caption = value, .width = 36, .newRow = shown++ % 3 == 0});
  }
  d.List({.caption = "Shift register Tap point:", .field = Bits(reg, 0, 2), .items = kTapItems,
          .width = 70, .captionWidth = 170});
  d.Display({.caption = "SCL Tap", .width = 36});
  d.Display({.caption = "SDA Tap", .width = 36, .newRow = false});
  if (noiseFilter) {
    std::vector<std::string> widths = {"Filter Disabled"};
    for (int n = 1; n <= 15; ++n) widths.push_back(Format("%d clocks", n));
    d.List({.caption = "Noise Filter width:", .field = Bits("NFILT_INIT", 0, 3), .items = widths,
            .label = "Noise Filter ", .width = 120, .captionWidth = 170});
    d.Display({.caption = "Filter-out glitches shorter than:", .width = 90, .captionWidth = 210});
  }

  d.Group("Real timing values:");
  for (const char* row : kTimingRows) {
    d.Display({.caption = row, .width = 60, .captionWidth = 130});
    SideDisplay(d, TimeKey(row));
  }
  d.Display({.caption = "Frequency", .width = 100, .captionWidth = 130});
}

void CI2cModule::ShowDivider(const I2cDividerCounts& c, double hertz) {
  Show("SCL Tap", Format("%d", c.sclTap));
  Show("SDA Tap", Format("%d", c.sdaTap));
  Show("scl2start", Format("%d", c.scl2start));
  Show("scl2stop", Format("%d", c.scl2stop));
  Show("scl2tap", Format("%d", c.scl2tap));
  Show("tap2tap", Format("%d", c.tap2tap));
  Show("NfOffset", Format("%d", c.nfOffset));
  const long counts[] = {c.sclDivider, c.sdaHold, c.startHold, c.stopHold};
  for (size_t n = 0; n < std::size(kTimingRows); ++n) {
    Show(kTimingRows[n], Format("%ld", counts[n]));
    ShowTime(IdOf(TimeKey(kTimingRows[n])), hertz > 0 ? static_cast<double>(counts[n]) / hertz : 0.0);
  }
  ShowFrequency(IdOf("Frequency"),
                hertz > 0 && c.sclDivider > 0 ? hertz / static_cast<double>(c.sclDivider) : 0.0);
}

// ============================== CpmI2C ==============================

void CpmI2C::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"CTRL_INIT", 0x0000, DW16 | NODEFAULT},
      {"ADDR_INIT", 0x0000, DW16},
      {"FDIV_INIT", 0x0000, DW16},
      {"NFILT_INIT", 0x0000, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmI2C::DeclareControls(PageDeclaration& d) {
  d.Group("Module Control");
  d.Box({.caption = "I2C Module Enable", .field = Bit("CTRL_INIT", 7), .label = "I2C Module   ",
         .comment = kState});
  d.Box({.caption = "Interrupt Enable", .field = Bit("CTRL_INIT", 6), .label = "I2C Interrupt",
         .comment = kState});
  d.Value({.caption = "Slave Address:", .field = Bits("ADDR_INIT", 1, 7), .label = "Slave Address",
           .width = 60});
  DeclareDivider(d, "FDIV_INIT", true);
  if (!InterruptUsers().empty()) {
    d.NextBand();
    d.Group("Interrupts");
    d.InterruptPanels(kInterruptPanelWidth);
  }
}

void CpmI2C::UpdateValues() {
  if (!HasPage()) return;
  const int width = static_cast<int>(Field("NFILT_INIT", 0, 3));
  const double hertz = static_cast<double>(GetBusClockMHz()) * 1e6;
  ShowDivider(ComputeI2cDivider(Field("FDIV_INIT", 0, 7), width), hertz);
  ShowTime(IdOf("Filter-out glitches shorter than:"), hertz > 0 ? width / hertz : 0.0);
}

// ============================== CpmI2C_Brel ==============================

const std::vector<I2cBrelVariant>& CpmI2C_Brel::Variants() {
  static const std::vector<I2cBrelVariant> kVariants = {
      {.name = "Dorn", .partTest = kTestDorn, .glitchFilter = true},
      {.name = "Brel", .partTest = kTestBrel, .userSlotNote = true},
      // Parts of neither group that name the kind get the Brel layout.
      {.name = "other parts", .userSlotNote = true},
  };
  return kVariants;
}

void CpmI2C_Brel::ChooseVariant(ModuleContext& doc) {
  for (const I2cBrelVariant& variant : Variants()) {
    if (variant.partTest < 0 || doc.TestPart(variant.partTest)) {
      variant_ = &variant;
      break;
    }
  }
}

void CpmI2C_Brel::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"IICF_INIT", 0x00, DW8 | NODEFAULT}, {"IICA1_INIT", 0x00, DW8},  {"IICA2_INIT", 0x00, DW8},
      {"IICC1_INIT", 0x00, DW8},            {"IICC2_INIT", 0x00, DW8},  {"IICSMB_INIT", 0x00, DW8},
      {"IICSLTH_INIT", 0x00, DW8},          {"IICSLTL_INIT", 0x00, DW8}, {"IICFILT_INIT", 0x00, DW8},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
  if (!variant_->glitchFilter) SetRegisterCount(std::size(kRegisters) - 1);
}

uint32_t CpmI2C_Brel::GetSlaveAddress() const {
  return Field("IICA1_INIT", 1, 7) | (Field("IICC2_INIT", 0, 2) << 7);
}

void CpmI2C_Brel::SetSlaveAddress(uint32_t address) {
  SetField("IICA1_INIT", 1, 7, address & 0x7Fu);
  SetField("IICC2_INIT", 0, 2, (address >> 7) & 0x7u);
}

uint32_t CpmI2C_Brel::GetLowTimeout() const {
  return (Field("IICSLTH_INIT", 0, 7) << 8) | Field("IICSLTL_INIT", 0, 7);
}

void CpmI2C_Brel::SetLowTimeout(uint32_t timeout) {
  SetField("IICSLTH_INIT", 0, 7, (timeout >> 8) & 0xFFu);
  SetField("IICSLTL_INIT", 0, 7, timeout & 0xFFu);
}

void CpmI2C_Brel::DeclareControls(PageDeclaration& d) {
  d.Group("Module Control");
  d.Box({.caption = "I2C Module Enable", .field = Bit("IICC1_INIT", 7), .label = "I2C Module   ",
         .comment = kState});
  d.Box({.caption = "Interrupt Enable", .field = Bit("IICC1_INIT", 6), .label = "I2C Interrupt",
         .comment = kState});
  d.Box({.caption = "Enable Slave Operation", .field = Bit("IICC1_INIT", 5, true), .comment = kState});
  d.Box({.caption = "Enable Wake Up in Stop", .field = Bit("IICC1_INIT", 2), .comment = kState});

  d.Group("Addressing");
  d.Static({.caption = "Adressing:"});
  d.Radio({.caption = "7-bit", .field = Bit("IICC2_INIT", 6, true), .label = "7-bit addressing",
           .comment = kLabelWhileChecked, .groupStart = true, .newRow = false});
  d.Radio({.caption = "10-bit", .field = Bit("IICC2_INIT", 6), .label = "10-bit addressing",
           .comment = kLabelWhileChecked, .newRow = false});
  d.Box({.caption = "Enable General Call Address", .field = Bit("IICC2_INIT", 7), .comment = kState});
  // One number over two registers: the low seven bits in IICA1, the high three in IICC2.
  if (CSetValue* address = d.Value({.caption = "Slave Address:", .field = Bits("IICA1_INIT", 1, 7),
                                    .label = "Slave Address", .number = {.maximum = 1023},
                                    .width = 60})
                               .Value()) {
    address->SetHandlers([this](uint32_t value) { SetSlaveAddress(value); },
                         [this] { return GetSlaveAddress(); });
  }
  d.Box({.caption = "Enable Second IIC Address", .field = Bit("IICSMB_INIT", 5), .comment = kState});
  d.Value({.caption = "SMBus address:", .field = Bits("IICA2_INIT", 1, 7), .label = "SMBus address",
           .width = 60});

  DeclareDivider(d, "IICF_INIT", false);

  d.NextBand();
  d.Group("SMBus");
  d.Box({.caption = "Enable Fast NACK/ACK (writing 0 to TXAK sends NACK/ACK)",
         .field = Bit("IICSMB_INIT", 7), .comment = kState});
  d.Box({.caption = "SMBus Alert Response Address (RESERVED)", .field = Bit("IICSMB_INIT", 6),
         .comment = kState, .enabled = [] { return false; }});
  d.List({.caption = "Timeout counter clock select:", .field = Bits("IICSMB_INIT", 4, 4),
          .items = {"bus/64", "bus/1"}, .width = 80});
  d.Box({.caption = "Enable Timeout High 2 Interrupt", .field = Bit("IICSMB_INIT", 1), .comment = kState});
  if (CSetValue* timeout = d.Value({.caption = "SCL Low Time Out:", .field = Bits("IICSLTL_INIT", 0, 7),
                                    .label = "SCL Low Time Out",
                                    .number = {.hex = false, .maximum = 65535, .zeroAllowed = true},
                                    .width = 60})
                               .Value()) {
    timeout->SetHandlers([this](uint32_t value) { SetLowTimeout(value); },
                         [this] { return GetLowTimeout(); });
  }
  if (variant_->glitchFilter) {
    d.Value({.caption = "Input Glitch Filter:", .field = Bits("IICFILT_INIT", 0, 2),
             .label = "Glitch Filter",
             .number = {.hex = false, .zeroAllowed = true}, .width = 60});
  }

  if (!InterruptUsers().empty()) {
    d.Group("Interrupts");
    if (variant_->userSlotNote) d.Link({.caption = "", .key = "UserSlotNote", .shown = false});
    d.InterruptPanels(kInterruptPanelWidth);
  }
}

void CpmI2C_Brel::UpdateNotes() {
  Page* page = GetPage();
  const DeclaredControl* note = decl_.Find("UserSlotNote");
  if (!page || !note) return;
  const std::string text = UserSlotNote(*this, 0);
  if (!text.empty()) page->SetText(note->id, text);
  page->SetShown(note->id, !text.empty());
}

void CpmI2C_Brel::UpdateValues() {
  if (!HasPage()) return;
  ShowDivider(ComputeI2cDivider(Field("IICF_INIT", 0, 7), 0),
              static_cast<double>(GetBusClockMHz()) * 1e6);
}

void CpmI2C_Brel::CheckWarnings() {
  CModule::CheckWarnings();
  const DeclaredControl* address = decl_.Find("Slave Address:");
  if (!address) return;
  const bool sevenBit = Field("IICC2_INIT", 6, 6) == 0;
  const bool tooLarge = sevenBit && GetSlaveAddress() >= 128;
  SetWarning(address->captionId, tooLarge, "Slave Address:", tooLarge ? kSevenBitText : "");
}

// ============================== CpmI2C_Casp ==============================

void CpmI2C_Casp::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {"ENBL_INIT", 0x0000, DW16 | NODEFAULT},   {"CTRL_INIT", 0x0024, DW16 | NODEFAULT},
      {"SAR_INIT", 0x0055, DW16},                {"RXFT_INIT", 0x0003, DW16},
      {"TXFT_INIT", 0x0000, DW16},               {"SSHCNT_INIT", 0x009B, DW16 | NODEFAULT},
      {"SSLCNT_INIT", 0x009C, DW16 | NODEFAULT}, {"FSHCNT_INIT", 0x0023, DW16 | NODEFAULT},
      {"FSLCNT_INIT", 0x0024, DW16 | NODEFAULT}, {"IENBL_INIT", 0x08FF, DW16},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmI2C_Casp::DeclareControls(PageDeclaration& d) {
  d.Group("Module Control");
  d.Box({.caption = "I2C Module Enable", .field = Bit("ENBL_INIT", 0), .label = "I2C Module   ",
         .comment = kState});
  d.Box({.caption = "Enable Master Operation", .field = Bit("CTRL_INIT", 0), .comment = kState});
  d.List({.caption = "Speed Mode:", .field = Bits("CTRL_INIT", 1, 2),
          .items = {"Invalid Speed Mode", "Standard 0-100kbps", "Fast 0-400kbps", "Invalid Speed Mode"},
          .width = 150});
  d.Static({.caption = "Adressing:"});
  d.Radio({.caption = "7-bit", .field = Bit("CTRL_INIT", 3, true), .label = "7-bit addressing",
           .comment = kLabelWhileChecked, .groupStart = true, .newRow = false});
  d.Radio({.caption = "10-bit", .field = Bit("CTRL_INIT", 3), .label = "10-bit addressing",
           .comment = kLabelWhileChecked, .newRow = false});
  d.Box({.caption = "Enable Repeated Start Conditions", .field = Bit("CTRL_INIT", 5), .comment = kState});
  d.Box({.caption = "Enable Slave Operation", .field = Bit("CTRL_INIT", 6, true), .comment = kState});
  d.Value({.caption = "Slave Address:", .field = Bits("SAR_INIT", 0, 9), .label = "Slave Address",
           .width = 60});
  // The clock the counts run on can be the high-speed clock, chosen on the system page.
  d.Link({.caption = "I2C Clocks", .key = "Clocks"});

  d.Group("FIFO Thresholds");
  d.List({.caption = "Transmitter \"Empty\" when", .field = Bits("TXFT_INIT", 0, 1),
          .items = {"when 0 words in FIFO", "when 1 or less words in FIFO",
                    "when 2 or less words in FIFO", "when 3 or less words in FIFO"},
          .label = "Transmitter Empty", .width = 200});
  d.List({.caption = "Receiver \"Full\" when", .field = Bits("RXFT_INIT", 0, 1),
          .items = {"when at least 1 word in FIFO", "when at least 2 words in FIFO",
                    "when at least 3 words in FIFO", "when at least 4 words in FIFO"},
          .label = "Receiver Full", .width = 200});

  d.NextBand();
  for (const char* speed : {"Standard", "Fast"}) {
    const std::string s = speed;
    const char* prefix = s == "Standard" ? "SS" : "FS";
    d.Group(s + " Speed");
    d.Value({.caption = s + " Speed SCL High Time:", .field = Bits(Format("%sHCNT_INIT", prefix), 0, 15),
             .number = {.hex = false, .minimum = 6, .maximum = 65535}, .width = 70, .captionWidth = 210});
    d.Display({.caption = "SCL high (clocks):", .key = s + " high clocks", .width = 60, .captionWidth = 130});
    SideDisplay(d, s + " high time");
    d.Value({.caption = s + " Speed SCL Low Time:", .field = Bits(Format("%sLCNT_INIT", prefix), 0, 15),
             .number = {.hex = false, .minimum = 8, .maximum = 65535}, .width = 70, .captionWidth = 210});
    d.Display({.caption = "SCL low (clocks):", .key = s + " low clocks", .width = 60, .captionWidth = 130});
    SideDisplay(d, s + " low time");
    d.Display({.caption = "Bit rate:", .key = s + " bit rate", .width = 110, .captionWidth = 130});
  }

  // The interrupt enables by vector, each group with the panel of its vector.
  struct Box {
    const char* caption;
    int bit;
  };
  struct VectorGroup {
    const char* title;
    std::vector<Box> boxes;
  };
  const VectorGroup kGroups[] = {
      {"Error Interrupts",
       {{"Master-transmit Abort", 6}, {"Transmit FIFO Overflow", 3}, {"Receiver FIFO Overflow", 1},
        {"Receiver FIFO Underflow", 0}}},
      {"General Call Interrupt", {{"General Call Address Received", 11}}},
      {"Receiver Interrupt", {{"Receiver Full (at or above threshold)", 2}}},
      {"Transmitter Interrupts",
       {{"Transmitter Empty (at or below FIFO threshold)", 4}, {"Slave Read Required", 5},
        {"Slave Transmit Done", 7}}},
      {"Status Interrupts",
       {{"Start or Restart Detected on Bus", 10}, {"Stop Detected on Bus", 9}, {"I2C Activity", 8}}},
  };
  for (size_t n = 0; n < std::size(kGroups); ++n) {
    if (n % 2 == 0) d.NextBand();
    d.Group(kGroups[n].title);
    for (const Box& box : kGroups[n].boxes)
      d.Box({.caption = box.caption, .field = Bit("IENBL_INIT", box.bit),
             .comment = kLabelWhileChecked});
    if (n < InterruptUsers().size()) {
      const uint32_t placeholder = kInterruptPanelBase + static_cast<uint32_t>(n);
      d.Custom([placeholder](Page& page) { page.AddPlaceholder(placeholder, kInterruptPanelWidth); });
    }
  }
}

double CpmI2C_Casp::ClockHz() const {
  const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
  const bool highSpeed = gate && gate->IsOptionChecked(kHighSpeedBox);
  return static_cast<double>(highSpeed ? GetHSClockMHz() : GetBusClockMHz()) * 1e6;
}

void CpmI2C_Casp::UpdateNotes() {
  Page* page = GetPage();
  const DeclaredControl* clocks = decl_.Find("Clocks");
  if (!page || !clocks) return;
  const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
  const std::string link = gate ? gate->OptionLink(kHighSpeedBox) : std::string();
  const std::string anchor = link.empty() ? "Clocks" : "<A HREF=\"" + link + "\">Clocks</A>";
  page->SetText(clocks->id, Format("I2C %s", anchor.c_str()));
}

void CpmI2C_Casp::UpdateValues() {
  if (!HasPage()) return;
  const double hertz = ClockHz();
  for (const char* speed : {"Standard", "Fast"}) {
    const std::string s = speed;
    const char* reg = s == "Standard" ? "SS" : "FS";
    const long low = LowCount(Field(Format("%sLCNT_INIT", reg).c_str(), 0, 15));
    const long high = HighCount(Field(Format("%sHCNT_INIT", reg).c_str(), 0, 15));
    Show(s + " high clocks", Format("%ld", high));
    Show(s + " low clocks", Format("%ld", low));
    ShowTime(IdOf(s + " high time"), hertz > 0 ? static_cast<double>(high) / hertz : 0.0);
    ShowTime(IdOf(s + " low time"), hertz > 0 ? static_cast<double>(low) / hertz : 0.0);
    ShowFrequency(IdOf(s + " bit rate"), hertz > 0 ? hertz / static_cast<double>(low + high) : 0.0,
                  true, "Invalid", "%.3f%sb/s");
  }
}

void RegisterI2cModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmI2C>("I2C");
  factory.Register<CpmI2C_Brel>("I2C_Brel");
  factory.Register<CpmI2C_Casp>("I2C_Casp");
}

}  // namespace tarq

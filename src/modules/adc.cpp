// The analog-to-digital converters: the dual converter of most groups and the Brel group's
// converter with its gain amplifier, delay block and sibling clock.
#include "modules/adc.h"

#include <cctype>
#include <cmath>

#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

FieldSpec Bit(const std::string& reg, int bit, bool inverted = false) {
  return {.reg = reg, .low = bit, .inverted = inverted};
}
FieldSpec Bits(const std::string& reg, int low, int high, std::vector<uint32_t> values = {}) {
  return {.reg = reg, .low = low, .high = high, .values = std::move(values)};
}

// ======================= the dual converter =======================

constexpr const char* kAdcr1 = "ADCR1_INIT";
constexpr const char* kAdcr2 = "ADCR2_INIT";
constexpr const char* kAdzcc = "ADZCC_INIT";
constexpr const char* kAdsdis = "ADSDIS_INIT";
constexpr const char* kPower = "ADCPOWER_INIT";
constexpr const char* kCal = "ADCCAL_INIT";
constexpr const char* kPwr2 = "ADCPWR2_INIT";

constexpr const char* kScanModeKey = "Scan Mode:";
constexpr const char* kTriggerKey = "Trigger source:";
constexpr const char* kTriggerBKey = "ANB trigger source:";
constexpr const char* kSimultaneousKey = "ANB simulataneous to ANA";
constexpr const char* kFrequencyKey = "Frequency:";
constexpr const char* kFrequencyBKey = "ANB Frequency:";
constexpr const char* kMaxNoteKey = "clock limit note";
constexpr const char* kScanLengthKey = "Scan Length:";
constexpr const char* kEnabledSamplesKey = "Enabled samples";
constexpr const char* kDelayKey = "Power up delay:";
constexpr const char* kDelayTimeKey = "Power up time:";
constexpr const char* kTimeAKey = "ANA conversion time:";
constexpr const char* kTimeBKey = "ANB conversion time:";
constexpr const char* kSyncNoteAKey = "ANA sync note";
constexpr const char* kSyncNoteBKey = "ANB sync note";
constexpr const char* kPowerModeAKey = "ANA Power Mode:";
constexpr const char* kPowerModeBKey = "ANB Power Mode:";

// Dorn converters: the highest clock at all, and per power mode (mode 3 allows none).
constexpr double kDornMaxMHz = 15.0;
constexpr double kPowerModeMaxMHz[4] = {5.0, 12.0, 15.0, 0.0};

// A scan on one converter: the first sample takes 8.5 converter clocks, each further one 6.
constexpr double kFirstSampleClocks = 8.5;
constexpr double kNextSampleClocks = 6.0;

// The crossbar outputs that carry the SYNC inputs of converters A and B.
constexpr int kSyncOutputA = 6;
constexpr int kSyncOutputB = 7;

// The 16-slot channel lists: item k (ANA0..ANA7, ANB0..ANB7) -> channel field value.
const std::vector<uint32_t> kWideChannelValues = {0, 1, 2, 3, 8,  9,  10, 11,
                                                  4, 5, 6, 7, 12, 13, 14, 15};

std::string SlotKey(const char* what, int slot) { return Format("%s SMP%d", what, slot); }

const AdcVariant kAdcVariants[] = {
    {.name = "Dorn",
     .partTests = {kTestDorn},
     .registerCount = 38,
     .adcr2Reset = 0x5022,
     .powerReset = 0x00D3,
     .slots = 16,
     .dual = true,
     .maxClockMHz = 0,
     .reference = AdcVariant::Reference::Converters,
     .dorn = true},
    {.name = "Casp",
     .partTests = {kTestCasp},
     .registerCount = 34,
     .adcr2Reset = 0x5022,
     .powerReset = 0x00D7,
     .slots = 16,
     .dual = true,
     .maxClockMHz = 8.0,
     .reference = AdcVariant::Reference::Converters},
    {.name = "Tebo",
     .partTests = {kTestTebo},
     .registerCount = 34,
     .adcr2Reset = 0x5022,
     .powerReset = 0x00D7,
     .dual = true,
     .maxClockMHz = 5.33334,
     .reference = AdcVariant::Reference::PinPairs},
    {.name = "classic",
     .partTests = {kTestClassic},
     .registerCount = 32,
     .adcr2Reset = 0x0007,
     .highLimitReset = 0,
     .wideDivisor = false},
    {.name = "later"},
};

}  // namespace

CpmADC::CpmADC(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const AdcVariant> CpmADC::Variants() { return kAdcVariants; }

void CpmADC::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<AdcVariant>(kAdcVariants, doc, &AdcVariant::partTests);
}

void CpmADC::DeclareRegisters() {
  const AdcVariant& v = *variant_;
  const bool wideLists = v.slots == 16;
  // Registers the part does not have stay in the table but are never written.
  constexpr uint32_t kAbsent = DUMMYREG | NOSHOWLIST | DW16;
  std::vector<RegisterDecl> table = {
      {"ADCR1_INIT", 0x5005, NODEFAULT | DW16},
      {"ADCR2_INIT", v.adcr2Reset, DW16},
      {"ADZCC_INIT", 0, DW16},
      {"ADLST1_INIT", 0x3210, NODEFAULT | DW16},
      {"ADLST2_INIT", 0x7654, NODEFAULT | DW16},
      {"ADLST3_INIT", wideLists ? 0xBA98u : 0u, wideLists ? NODEFAULT | DW16 : kAbsent},
      {"ADLST4_INIT", wideLists ? 0xFEDCu : 0u, wideLists ? NODEFAULT | DW16 : kAbsent},
      {"ADSDIS_INIT", wideLists ? 0xFF00u : 0u, DW16},
  };
  // The limit and offset names must outlive the table's use.
  static std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const char* kind : {"ADLLMT", "ADHLMT", "ADOFS"})
      for (int i = 0; i < 8; ++i) n.push_back(Format("%s%d_INIT", kind, i));
    return n;
  }();
  for (size_t i = 0; i < names.size(); ++i)
    table.push_back({names[i].c_str(), i >= 8 && i < 16 ? v.highLimitReset : 0u, DW16});
  if (v.registerCount > 32) table.push_back({"ADCPOWER_INIT", v.powerReset, DW16});
  if (v.registerCount > 33) table.push_back({"ADCCAL_INIT", 0, DW16});
  if (v.registerCount > 34) {
    table.push_back({"ADCGC1_INIT", 0, DW16});
    table.push_back({"ADCGC2_INIT", 0, DW16});
    table.push_back({"ADCSCTRL_INIT", 0, DW16});
    table.push_back({"ADCPWR2_INIT", 0x0200, DW16});
  }
  InitRegisters(table.data(), table.size());
}

std::string CpmADC::MaxNote() const {
  const double max = variant_->maxClockMHz;
  return max == std::floor(max) ? Format("should be < %.0f MHz", max)
                                : Format("should be < %.3f MHz", max);
}

void CpmADC::DeclarePage(PageDeclaration& d) {
  const AdcVariant& v = *variant_;
  const bool dual = v.dual;
  const int divisorItems = v.wideDivisor ? 32 : 16;
  std::vector<std::string> divisors;
  for (int n = 0; n < divisorItems; ++n) divisors.push_back(Format("IP/%d", 2 * (n + 1)));

  d.Group("Conversion");
  d.List({.caption = kScanModeKey,
          .field = Bits(kAdcr1, 0, 2),
          .items = {"Once sequential", "Once simultaneous", "Loop sequential", "Loop simultaneous",
                    "Triggered sequential", "Triggered simultaneous"},
          .width = 180});
  d.List({.caption = kTriggerKey,
          .field = Bit(kAdcr1, 12),
          .items = {"Software start", "SYNC input"},
          .width = 140});
  if (v.dorn) d.Link({.caption = "( see XBAR )", .key = kSyncNoteAKey, .shown = false});
  d.List({.caption = dual ? "Start-up Mode:" : "Mode:",
          .field = Bit(kAdcr1, 14),
          .items = {"Normal", "Stop"},
          .width = 140});
  if (dual) {
    d.Box({.caption = kSimultaneousKey, .field = Bit(kAdcr2, 5), .comment = kState});
    d.List({.caption = kTriggerBKey,
            .field = Bit(kAdcr2, 12),
            .items = {"Software start", "SYNC input"},
            .width = 140});
    if (v.dorn) d.Link({.caption = "( see XBAR )", .key = kSyncNoteBKey, .shown = false});
    d.List({.caption = "ANB Start-up Mode:",
            .field = Bit(kAdcr2, 14),
            .items = {"Normal", "Stop"},
            .width = 140});
  }

  d.Group("Clock");
  d.List({.caption = "Divisor:",
          .field = Bits(kAdcr2, 0, v.wideDivisor ? 4 : 3),
          .items = divisors,
          .width = 100});
  d.Display({.caption = kFrequencyKey, .label = "Clock frequency", .width = 110});
  if (!v.dorn) d.Static({.caption = MaxNote(), .key = kMaxNoteKey});
  if (v.dorn) {
    d.List({.caption = kPowerModeAKey,
            .field = Bits(kPwr2, 0, 1),
            .items = {"Mode 0 (up to 5 MHz)", "Mode 1 (up to 12 MHz)", "Mode 2 (up to 15 MHz)",
                      "Mode 3"},
            .label = "Power Mode:",
            .width = 160});
    d.List(
        {.caption = "ANB Divisor:", .field = Bits(kPwr2, 8, 12), .items = divisors, .width = 100});
    d.Display({.caption = kFrequencyBKey, .width = 110});
    d.List({.caption = kPowerModeBKey,
            .field = Bits(kPwr2, 2, 3),
            .items = {"Mode 0 (up to 5 MHz)", "Mode 1 (up to 12 MHz)", "Mode 2 (up to 15 MHz)",
                      "Mode 3"},
            .label = "Power Mode:",
            .width = 160});
    d.Display({.caption = kTimeAKey, .width = 110});
    d.Display({.caption = kTimeBKey, .width = 110});
  }

  d.Group("Interrupts");
  d.Box({.caption = "High limit error",
         .field = Bit(kAdcr1, 8),
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Low limit error",
         .field = Bit(kAdcr1, 9),
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Zero crossing",
         .field = Bit(kAdcr1, 10),
         .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = dual ? "ANA Conversion complete" : "Conversion complete",
         .field = Bit(kAdcr1, 11),
         .label = "Interrupts:",
         .comment = kState});
  if (dual)
    d.Box({.caption = "ANB Conversion complete",
           .field = Bit(kAdcr2, 11),
           .label = "Interrupts:",
           .comment = kState});

  d.NextBand();
  d.Group("Channel Configuration");
  const std::vector<std::string> pairs =
      dual ? std::vector<std::string>{"ANA0-ANA1", "ANA2-ANA3", "ANB0-ANB1", "ANB2-ANB3"}
           : std::vector<std::string>{"AN0-AN1", "AN2-AN3", "AN4-AN5", "AN6-AN7"};
  for (int n = 0; n < 4; ++n)
    d.List({.caption = pairs[n],
            .field = Bit(kAdcr1, 4 + n),
            .items = {"Single ended", "Differential"},
            .label = "Channel Configuration:",
            .width = 120});
  if (v.slots == 16) {
    const char* const more[] = {"ANA4-ANA5", "ANA6-ANA7", "ANB4-ANB5", "ANB6-ANB7"};
    for (int n = 0; n < 4; ++n)
      d.List({.caption = more[n],
              .field = Bit(kAdcr2, 6 + n),
              .items = {"Single ended", "Differential"},
              .label = "Channel Configuration:",
              .width = 120});
  }

  d.Group("Channel to Sample Mapping");
  if (!dual) {
    // The scan length is the position of the lowest bit of ADSDIS that is set.
    DeclaredControl& length =
        d.List({.caption = kScanLengthKey,
                .field = Bits(kAdsdis, 0, 7),
                .items = {"8", "7", "6", "5", "4", "3", "2", "1", "0 - disable"},
                .width = 100});
    if (length.Mode())
      length.Mode()->SetHandlers([this] { return 8 - ScanLength(); },
                                 [this](int index) { SetScanLength(8 - index); });
  }
  std::vector<std::string> channels;
  if (v.slots == 16) {
    for (int n = 0; n < 8; ++n) channels.push_back(Format("ANA%d", n));
    for (int n = 0; n < 8; ++n) channels.push_back(Format("ANB%d", n));
  } else if (dual) {
    for (int n = 0; n < 4; ++n) channels.push_back(Format("ANA%d", n));
    for (int n = 0; n < 4; ++n) channels.push_back(Format("ANB%d", n));
  } else {
    for (int n = 0; n < 8; ++n) channels.push_back(Format("AN%d", n));
  }
  for (int i = 0; i < v.slots; ++i) {
    const std::string list = Format("ADLST%d_INIT", i / 4 + 1);
    const int low = 4 * (i % 4);
    d.List({.caption = Format("SMP%d:", i),
            .key = SlotKey("Channel", i),
            .field = v.slots == 16 ? Bits(list, low, low + 3, kWideChannelValues)
                                   : Bits(list, low, low + 2),
            .items = channels,
            .label = Format("Channel to Sample Mapping: SMP%d", i),
            .width = 80});
  }
  if (dual) {
    // The boxes show the samples the scan converts (ADSDIS holds the disabled ones).
    d.Group("Sample Enable");
    for (int i = 0; i < v.slots; ++i)
      d.Box({.caption = Format("SMP%d", i),
             .key = SlotKey("Enable", i),
             .field = Bit(kAdsdis, i, true),
             .label = Format("Sample SMP%d", i),
             .comment = kState,
             .newRow = i % 4 == 0});
    d.Display({.caption = "Enabled samples:", .key = kEnabledSamplesKey, .width = 330});
  }

  d.Group("Zero crossing mode");
  for (int i = 0; i < 8; ++i)
    d.List({.caption = Format("SMP%d:", i),
            .key = SlotKey("Zero crossing", i),
            .field = Bits(kAdzcc, 2 * i, 2 * i + 1),
            .items = {"Disabled", "For + to - change", "For - to + change", "For any change"},
            .label = Format("Zero crossing mode: SMP%d", i),
            .width = 140});

  d.NextBand();
  struct LimitGroup {
    const char* title;
    const char* reg;
    const char* label;
  };
  const LimitGroup limits[] = {
      {"Low Limit Registers (12 bits) :", "ADLLMT%d_INIT", "Low limit"},
      {"High Limit Registers  (12 bits) :", "ADHLMT%d_INIT", "High limit"},
      {"Offset Registers  (12 bits) :", "ADOFS%d_INIT", "Offset"},
  };
  for (const LimitGroup& group : limits) {
    d.Group(group.title);
    for (int i = 0; i < 8; ++i)
      d.Value({.caption = Format("SMP%d:", i),
               .key = SlotKey(group.label, i),
               .field = Bits(Format(group.reg, i), 3, 14),
               .label = Format("%s SMP%d", group.label, i),
               .number = {.hex = false, .zeroAllowed = true},
               .spin = {.minimum = 0, .maximum = 4095},
               .width = 70});
  }

  if (v.registerCount > 32) {
    d.NextBand();
    d.Group("Power");
    d.Box({.caption =
               dual ? "Power down converter A (ANA0-ANA3)" : "Power down converter 0 (AN0-AN3)",
           .field = Bit(kPower, 0),
           .comment = kState});
    d.Box({.caption =
               dual ? "Power down converter B (ANB0-ANB3)" : "Power down converter 1 (AN4-AN8)",
           .field = Bit(kPower, 1),
           .comment = kState});
    d.Box({.caption = "Power down voltage reference", .field = Bit(kPower, 2), .comment = kState});
    d.Box({.caption = dual ? "Auto Power Down Mode" : "Power saving mode",
           .field = Bit(kPower, 3),
           .comment = kState});
    if (dual) d.Box({.caption = "Auto Stand-by Mode", .field = Bit(kPower, 15), .comment = kState});
    d.Value({.caption = kDelayKey,
             .field = Bits(kPower, 4, 9),
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 63},
             .unit = "clocks",
             .width = 60});
    d.Display({.caption = kDelayTimeKey, .width = 110});
  }

  if (v.reference == AdcVariant::Reference::PinPairs) {
    d.Group("Voltage Reference");
    d.Radio({.caption = "VREFH  source: ANA2 Pin", .field = Bit(kCal, 15), .groupStart = true});
    d.Radio(
        {.caption = "VREFH  source: Internal VDDA", .field = Bit(kCal, 15, true), .newRow = false});
    d.Radio({.caption = "VREFLO source: ANB2 Pin", .field = Bit(kCal, 14), .groupStart = true});
    d.Radio(
        {.caption = "VREFLO source: Internal VSSA", .field = Bit(kCal, 14, true), .newRow = false});
  } else if (v.reference == AdcVariant::Reference::Converters) {
    d.Group("Voltage Reference");
    struct Pair {
      int bit;
      const char* internal;
      const char* pin;
    };
    const Pair references[] = {
        {13, "Converter0 VREFH  source: Internal VDDA", "Converter0 VREFH  source: ANA2 Pin"},
        {12, "Converter0 VREFLO source: Internal VSSA", "Converter0 VREFLO source: ANA3 Pin"},
        {15, "Converter1 VREFH  source: Internal VDDA", "Converter1 VREFH  source: ANB2 Pin"},
        {14, "Converter1 VREFLO source: Internal VSSA", "Converter1 VREFLO source: ANB3 Pin"},
    };
    for (const Pair& pair : references) {
      d.Radio({.caption = pair.internal, .field = Bit(kCal, pair.bit, true), .groupStart = true});
      d.Radio({.caption = pair.pin, .field = Bit(kCal, pair.bit), .newRow = false});
    }
    d.Box({.caption = "DAC0 to ANA7", .field = Bit(kCal, 0), .comment = kState});
    d.Box({.caption = "DAC1 to ANB7", .field = Bit(kCal, 1), .comment = kState});
  }

  if (v.dorn) {
    d.NextBand();
    const std::vector<std::string> gains = {"x1", "x2", "x4", "Reserved"};
    for (int c = 0; c < 2; ++c) {
      const char* const name = c == 0 ? "ANA" : "ANB";
      d.Group(Format("%s channel Gain Configuguration:", name));
      for (int i = 0; i < 8; ++i)
        d.List({.caption = Format("%s%d:", name, i),
                .field = Bits(c == 0 ? "ADCGC1_INIT" : "ADCGC2_INIT", 2 * i, 2 * i + 1),
                .items = gains,
                .label = Format("%s channel Gain Configuguration: %s%d", name, name, i),
                .width = 80});
    }
    d.Group("Scan Control");
    for (int i = 0; i < 16; ++i)
      d.Box({.caption = Format("SMP%d", i),
             .key = SlotKey("Scan control", i),
             .field = Bit("ADCSCTRL_INIT", i),
             .label = Format("Scan control SMP%d", i),
             .comment = kState,
             .newRow = i % 4 == 0});
  }

  d.NextBand();
  d.Group("Interrupt");
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmADC::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmADC::Field(const char* reg, int low, int high) const {
  const Register* r = const_cast<CpmADC*>(this)->FindOwnRegister(reg);
  if (!r) return 0;
  return (r->value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmADC::ParallelScan() const { return (Field(kAdcr1, 0, 2) & 1u) != 0; }

bool CpmADC::OwnDivisorB() const {
  return variant_->dorn && ParallelScan() && Field(kAdcr2, 5, 5) == 0;
}

double CpmADC::ClockMHz() const {
  const double bus = GetBusClockMHz();
  if (!(bus > 0)) return 0;
  return bus / (Field(kAdcr2, 0, variant_->wideDivisor ? 4 : 3) + 1) * 0.5;
}

double CpmADC::ClockBMHz() const {
  if (!OwnDivisorB()) return ClockMHz();
  const double bus = GetBusClockMHz();
  if (!(bus > 0)) return 0;
  return bus / (Field(kPwr2, 8, 12) + 1) * 0.5;
}

int CpmADC::ScanLength() const {
  const uint32_t disabled = Field(kAdsdis, 0, 7);
  for (int bit = 0; bit < 8; ++bit)
    if (disabled & (1u << bit)) return bit;
  return 8;
}

void CpmADC::SetScanLength(int length) {
  if (length < 0 || length > 8) return;
  if (Register* r = FindOwnRegister(kAdsdis)) r->value = (1u << length) & 0xFFu;
}

bool CpmADC::SlotEnabled(int slot) const {
  if (slot < 0 || slot >= variant_->slots) return false;
  if (variant_->dual) return Field(kAdsdis, slot, slot) == 0;
  const int length = ScanLength();
  // In the parallel modes a length above 4 runs both halves to the same depth.
  if (ParallelScan() && length > 4) return slot % 4 < length - 4;
  return slot < length;
}

int CpmADC::SlotChannel(int slot) const {
  const std::string reg = Format("ADLST%d_INIT", slot / 4 + 1);
  const int low = 4 * (slot % 4);
  if (variant_->slots != 16) return static_cast<int>(Field(reg.c_str(), low, low + 2));
  const uint32_t value = Field(reg.c_str(), low, low + 3);
  for (size_t k = 0; k < kWideChannelValues.size(); ++k)
    if (kWideChannelValues[k] == value) return static_cast<int>(k);
  return -1;
}

std::string CpmADC::EnabledSamplesText() const {
  std::string text;
  const bool parallel = ParallelScan();
  for (int i = 0; i < variant_->slots; ++i) {
    if (parallel && i > 0 && i % 4 == 0) text += "/ ";
    if (SlotEnabled(i)) text += Format("SMP%d ", i);
  }
  return text;
}

double CpmADC::PowerUpSeconds() const {
  const double clock = ClockMHz();
  // Without a clock the converter never powers up: 0, never an infinite time.
  if (!(clock > 0) || variant_->registerCount <= 32) return 0;
  return Field(kPower, 4, 9) / clock * 0.000001;
}

double CpmADC::ConversionSeconds(int converter) const {
  const bool parallel = ParallelScan();
  int count = 0;
  for (int i = 0; i < variant_->slots; ++i) {
    if (!SlotEnabled(i)) continue;
    // Sequential scans run on converter A; parallel ones split the slots in fours.
    const int on = parallel ? (i / 4) % 2 : 0;
    if (on == converter) ++count;
  }
  const double clock = converter == 0 ? ClockMHz() : ClockBMHz();
  if (count == 0 || !(clock > 0)) return 0;
  return (kFirstSampleClocks + kNextSampleClocks * (count - 1)) / (clock * 1e6);
}

void CpmADC::UpdateValues() {
  ShowFrequency(ControlIdOf(kFrequencyKey), ClockMHz() * 1e6);
  if (variant_->dorn) {
    ShowFrequency(ControlIdOf(kFrequencyBKey), ClockBMHz() * 1e6);
    ShowTime(ControlIdOf(kTimeAKey), ConversionSeconds(0), true, "n/a");
    ShowTime(ControlIdOf(kTimeBKey), ConversionSeconds(1), true, "n/a");
  }
  if (variant_->registerCount > 32)
    ShowTime(ControlIdOf(kDelayTimeKey), PowerUpSeconds(), true, "0");
  if (Page* page = GetPage(); page && variant_->dual)
    page->SetText(ControlIdOf(kEnabledSamplesKey), EnabledSamplesText());
}

void CpmADC::UpdateSampleEnables() {
  if (variant_->dual) return;
  for (int i = 0; i < variant_->slots; ++i)
    EnableControl(ControlIdOf(SlotKey("Channel", i)), SlotEnabled(i));
}

void CpmADC::UpdateEnables() {
  decl_.ApplyRules();
  UpdateSampleEnables();
  if (variant_->dorn) {
    EnableControl(ControlIdOf("ANB Divisor:"), OwnDivisorB());
    EnableControl(ControlIdOf("ANB Divisor:", true), OwnDivisorB());
  }
}

void CpmADC::CheckClock() {
  const bool selected = IsSelected();
  if (!variant_->dorn) {
    const double max = variant_->maxClockMHz;
    const bool over = selected && ClockMHz() > max;
    SetWarning(
        ControlIdOf(kMaxNoteKey), over, over ? Format("max: %.3f MHz", max) : MaxNote(),
        over ? Format("ADC clock frequency exceeds maximum operating frequency (%.3f MHz)", max)
             : std::string());
    return;
  }
  struct Converter {
    const char* name;
    const char* key;
    double clock;
    int mode;
    bool ownLimit;  // the absolute limit applies (B: only on its own divisor)
  };
  const Converter converters[2] = {
      {"ADCA", kFrequencyKey, ClockMHz(), static_cast<int>(Field(kPwr2, 0, 1)), true},
      {"ADCB", kFrequencyBKey, ClockBMHz(), static_cast<int>(Field(kPwr2, 2, 3)), OwnDivisorB()},
  };
  for (const Converter& c : converters) {
    std::string message;
    if (c.ownLimit && c.clock > kDornMaxMHz)
      message = Format("%s clock frequency exceeds maximum operating frequency (%.3f MHz)", c.name,
                       kDornMaxMHz);
    else if (c.clock > kPowerModeMaxMHz[c.mode])
      message = Format(
          "%s clock frequency exceeds maximum operating frequency in selected power mode", c.name);
    const bool set = selected && !message.empty();
    SetWarning(ControlIdOf(c.key, true), set, c.key, set ? message : std::string());
  }
}

void CpmADC::CheckParallelChannels() {
  if (!variant_->dual) return;
  const int half = variant_->slots / 2;  // analog inputs per converter
  const bool parallel = IsSelected() && ParallelScan();
  for (int i = 0; i < variant_->slots; ++i) {
    const bool onB = (i / 4) % 2 != 0;
    const int channel = SlotChannel(i);
    const bool wrong =
        parallel && SlotEnabled(i) && channel >= 0 && (onB ? channel < half : channel >= half);
    const std::string caption = Format("SMP%d:", i);
    SetWarning(ControlIdOf(SlotKey("Channel", i), true), wrong, caption,
               !wrong ? std::string()
               : onB  ? Format("In parallel sampling modes, the ANB subconverter processes inputs "
                                "ANB0-ANB%d only",
                               half - 1)
                      : Format("In parallel sampling modes, the ANA subconverter processes inputs "
                                "ANA0-ANA%d only",
                               half - 1));
  }
}

void CpmADC::CheckSync() {
  if (!variant_->dorn) return;
  const auto* crossbar = FindCapability<CrossbarOutputSelector>(GetContext());
  const bool selected = IsSelected();
  struct Sync {
    const char* name;
    const char* noteKey;
    bool sync;
    int output;
  };
  const Sync syncs[2] = {
      {"ANA", kSyncNoteAKey, Field(kAdcr1, 12, 12) != 0, kSyncOutputA},
      // B follows A's trigger when it converts simultaneously.
      {"ANB", kSyncNoteBKey, Field(kAdcr2, 12, 12) != 0 && Field(kAdcr2, 5, 5) == 0, kSyncOutputB},
  };
  for (const Sync& s : syncs) {
    const uint32_t note = ControlIdOf(s.noteKey);
    if (!crossbar || !s.sync) {
      SetWarning(note, false, "");
      continue;
    }
    const auto* module = dynamic_cast<const CModuleBase*>(crossbar);
    const std::string link = Format("<A HREF=\"%s\">%s</A>", crossbar->OutputLink(s.output).c_str(),
                                    module ? module->GetPrefix().c_str() : "XBAR");
    const bool unset = crossbar->GetSelectedInput(s.output) == 0;
    if (unset)
      SetWarning(note, selected, Format("%s Sync is not set ( see %s )", s.name, link.c_str()),
                 selected ? Format("ADC %s Sync input is not set in %s", s.name, link.c_str())
                          : std::string());
    else
      SetWarning(note, false, Format("( see %s )", link.c_str()));
  }
}

void CpmADC::CheckWarnings() {
  CModule::CheckWarnings();
  CheckClock();
  CheckParallelChannels();
  CheckSync();
}

// ======================= the Brel converter =======================

namespace {

enum BrelRegister : size_t { kSc1a = 0, kSc1b = 1, kSc2 = 2, kCfg = 3 };

const RegisterDecl kBrelRegisters[] = {
    {"ADCSC1A_INIT", 0x001F, DW16},
    {"ADCSC1B_INIT", 0x001F, DW16},
    {"ADCSC2_INIT", 0x0000, DW16},
    {"ADCCFG_INIT", 0x0000, DW16},
};

constexpr const char* kSc1aName = "ADCSC1A_INIT";
constexpr const char* kSc1bName = "ADCSC1B_INIT";
constexpr const char* kSc2Name = "ADCSC2_INIT";
constexpr const char* kCfgName = "ADCCFG_INIT";

constexpr const char* kInputClockKey = "Input Clock:";
constexpr const char* kBrelDivisorKey = "Divisor:";
constexpr const char* kLongSampleKey = "Long Sample Time Configuration:";
constexpr const char* kClockOutputKey = "Enable Continuous Clock output";
constexpr const char* kTriggerSelectKey = "Conversion Trigger Select:";
constexpr const char* kChannelAKey = "ADCA Input Channel: ";
constexpr const char* kChannelBKey = "ADCB Input Channel:";
constexpr const char* kBrelFrequencyKey = "Frequency:";
constexpr const char* kBrelLimitKey = "clock limit note";
constexpr const char* kSampleNoteKey = "sample time note";
constexpr const char* kSampleTimeKey = "Sample time:";
constexpr const char* kFirstTimeKey = "First conversion time:";
constexpr const char* kNextTimeKey = "Continuous conversion time:";

constexpr double kBrelMaxMHz = 8.0;
constexpr double kAsyncClockMHz = 3.3;
constexpr double kAsyncLowPowerClockMHz = 2.0;
constexpr int kAltClock = 2;
constexpr int kAsyncClock = 3;
constexpr int kPgaChannel = 15;

// Channel fields the converters of this group do not implement.
bool ChannelNotImplemented(uint32_t channel) {
  for (uint32_t c : {14u, 18u, 19u, 20u, 21u, 22u, 23u, 28u})
    if (channel == c) return true;
  return false;
}

std::vector<std::string> BrelChannels(const char* pga) {
  std::vector<std::string> items;
  for (int n = 0; n < 15; ++n) items.push_back(Format("AD%d", n));
  items.push_back(Format("AD15 (%s)", pga));
  for (int n = 16; n < 24; ++n) items.push_back(Format("AD%d", n));
  for (const char* text : {"AD24 (VDDCORE)", "AD25 (VDDAREG)", "AD26 (TEMPERATURE)", "AD27 (VREF)",
                           "Reserved", "VREFH", "VREFL", "DEACTIVATE"})
    items.push_back(text);
  return items;
}

}  // namespace

CpmADC_Brel::CpmADC_Brel(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmADC_Brel::ChooseVariant(ModuleContext& doc) {
  (void)doc;
  // The module number of "ADC_<n>"; 0 for a module named otherwise.
  const std::string& name = GetPrefix();
  index_ = 0;
  if (name.size() == 5 && name.compare(0, 4, "ADC_") == 0 &&
      std::isdigit(static_cast<unsigned char>(name[4])))
    index_ = name[4] - '0';
  paired_ = name == "ADC_0" || name == "ADC_1";
}

void CpmADC_Brel::DeclareRegisters() { InitRegisters(kBrelRegisters, std::size(kBrelRegisters)); }

void CpmADC_Brel::DeclarePage(PageDeclaration& d) {
  d.Group("Clock");
  d.List({.caption = kInputClockKey,
          .field = Bits(kCfgName, 0, 1),
          .items = {"Bus clock", "Bus clock/2", "Alternate clock (ALTCLK)",
                    "Asynchronous clock (ADACK)"},
          .width = 220});
  d.List({.caption = kBrelDivisorKey,
          .field = Bits(kCfgName, 5, 6),
          .items = {"Input clock/1", "Input clock/2", "Input clock/4", "Input clock/8"},
          .width = 220});
  d.List({.caption = "Low Power Configuration:",
          .field = Bit(kCfgName, 7),
          .items = {"High speed configuration", "Low power configuration"},
          .width = 220});
  d.Display({.caption = kBrelFrequencyKey, .width = 110});
  d.Static({.caption = "should be < 8 MHz", .key = kBrelLimitKey});
  d.Static({.caption = "", .key = kSampleNoteKey, .width = 420, .shown = false});

  d.Group("Conversion");
  d.List({.caption = "Conversion Mode: ",
          .field = Bits(kCfgName, 2, 3),
          .items = {"8-bit conversion", "12-bit conversion", "10-bit conversion"},
          .width = 220});
  d.List({.caption = kLongSampleKey,
          .field = Bit(kCfgName, 4),
          .items = {"Short sample time", "Long sample time"},
          .width = 220});
  d.Display({.caption = kSampleTimeKey, .width = 110});
  d.Display({.caption = kFirstTimeKey, .width = 110});
  d.Display({.caption = kNextTimeKey, .width = 110});

  d.NextBand();
  d.Group("Channels");
  d.List({.caption = kChannelAKey,
          .field = Bits(kSc1aName, 0, 4),
          .items = BrelChannels("PGA0"),
          .width = 200});
  d.Box({.caption = "Enable ADCA Continuous conversion",
         .field = Bit(kSc1aName, 5),
         .comment = kState});
  d.Box({.caption = "Enable ADCA conversion complete interrupt",
         .field = Bit(kSc1aName, 6),
         .comment = kState});
  d.List({.caption = kChannelBKey,
          .field = Bits(kSc1bName, 0, 4),
          .items = BrelChannels("PGA1"),
          .width = 200});
  d.Box({.caption = "Enable ADCB Continuous conversion",
         .field = Bit(kSc1bName, 5),
         .comment = kState});
  d.Box({.caption = "Enable ADCB conversion complete interrupt",
         .field = Bit(kSc1bName, 6),
         .comment = kState});

  d.Group("Reference and Trigger");
  d.List({.caption = "Voltage Reference Selection:",
          .field = Bits(kSc2Name, 0, 1),
          .items = {"Default reference pin pair (VREFH/VREFL)",
                    "Analog supply pin pair (VDDA/VSSA)", "On-chip bandgap reference"},
          .width = 260});
  d.Box({.caption = kClockOutputKey, .field = Bit(kSc2Name, 2), .comment = kState});
  d.List({.caption = kTriggerSelectKey,
          .field = Bit(kSc2Name, 6),
          .items = {"Software trigger", "Hardware trigger"},
          .width = 160});

  d.NextBand();
  d.Group("Interrupt");
  d.InterruptPanels(kInterruptPanelWidth);
}

uint32_t CpmADC_Brel::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmADC_Brel::Field(size_t reg, int low, int high) const {
  if (Registers().size() <= reg) return 0;
  return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
}

bool CpmADC_Brel::UsesHardwareTrigger() const { return Field(kSc2, 6, 6) != 0; }
int CpmADC_Brel::ClockDivisorField() const { return static_cast<int>(Field(kCfg, 5, 6)); }
bool CpmADC_Brel::UsesAlternateClock() const { return Field(kCfg, 0, 1) == kAltClock; }
bool CpmADC_Brel::ContinuousClockOutput() const { return Field(kSc2, 2, 2) != 0; }

CpmADC_Brel* CpmADC_Brel::Sibling() const {
  for (AnalogConverter* converter : FindCapabilities<AnalogConverter>(GetContext()))
    if (converter != this && converter->ConverterIndex() == 1 - index_)
      return dynamic_cast<CpmADC_Brel*>(converter);
  return nullptr;
}

const GainAmplifier* CpmADC_Brel::Amplifier() const {
  for (const GainAmplifier* amplifier : FindCapabilities<GainAmplifier>(GetContext()))
    if (amplifier->AmplifierIndex() == index_) return amplifier;
  return nullptr;
}

float CpmADC_Brel::InputClockMHz() const {
  const float bus = GetBusClockMHz();
  switch (Field(kCfg, 0, 1)) {
    case 0:
      return bus;
    case 1:
      return bus / 2;
    case kAltClock: {
      // The alternate clock is the sibling's input clock. When the sibling takes its clock
      // from this converter too, neither has one.
      if (askingSibling_) return 0;
      const AnalogConverter* sibling = nullptr;
      for (const AnalogConverter* converter : FindCapabilities<AnalogConverter>(GetContext()))
        if (converter != this && converter->ConverterIndex() == 1 - index_) sibling = converter;
      if (!sibling) return bus;
      askingSibling_ = true;
      const float clock = sibling->InputClockMHz();
      askingSibling_ = false;
      return clock;
    }
    default:
      return static_cast<float>(Field(kCfg, 7, 7) ? kAsyncLowPowerClockMHz : kAsyncClockMHz);
  }
}

double CpmADC_Brel::ClockMHz() const {
  const double input = InputClockMHz();
  if (!(input > 0)) return 0;
  return input / (1u << ClockDivisorField());
}

double CpmADC_Brel::SampleSeconds() const {
  const double clock = ClockMHz();
  if (!(clock > 0)) return 0;
  return (Field(kCfg, 4, 4) ? 23.5 : 3.5) / clock * 1e-6;
}

double CpmADC_Brel::FirstConversionSeconds() const {
  const double clock = ClockMHz();
  const double bus = GetBusClockMHz();
  // The asynchronous clock runs without a bus clock, but the first conversion needs both.
  if (!(clock > 0) || !(bus > 0)) return 0;
  const bool longSample = Field(kCfg, 4, 4) != 0;
  const uint32_t mode = Field(kCfg, 2, 3);
  const double cycles = (longSample ? 40 : 20) + (mode == 1 || mode == 2 ? 3 : 0);
  double micro = 5 / bus + cycles / clock;
  if (Field(kCfg, 0, 1) == kAsyncClock) micro += 5;
  return micro * 1e-6;
}

double CpmADC_Brel::ContinuousConversionSeconds() const {
  const double clock = ClockMHz();
  if (!(clock > 0)) return 0;
  const bool longSample = Field(kCfg, 4, 4) != 0;
  const uint32_t mode = Field(kCfg, 2, 3);
  const double cycles = (longSample ? 37 : 17) + (mode == 1 || mode == 2 ? 3 : 0);
  return cycles / clock * 1e-6;
}

void CpmADC_Brel::UpdateValues() {
  ShowFrequency(ControlIdOf(kBrelFrequencyKey), ClockMHz() * 1e6);
  ShowTime(ControlIdOf(kSampleTimeKey), SampleSeconds(), true, "n/a");
  ShowTime(ControlIdOf(kFirstTimeKey), FirstConversionSeconds(), true, "n/a");
  ShowTime(ControlIdOf(kNextTimeKey), ContinuousConversionSeconds(), true, "n/a");
}

void CpmADC_Brel::CheckAmplifier() {
  const bool selected = IsSelected();
  const GainAmplifier* amplifier = Amplifier();
  const bool pga = selected && amplifier && amplifier->IsEnabled();

  const bool shortSample = pga && Field(kCfg, 4, 4) == 0;
  SetWarning(ControlIdOf(kLongSampleKey, true), shortSample, kLongSampleKey,
             shortSample ? "Long ADC sample times must be used when using PGA." : "");

  const bool noOutput = pga && !ContinuousClockOutput();
  SetWarning(ControlIdOf(kClockOutputKey), noOutput, kClockOutputKey,
             noOutput
                 ? "ADC must be configured to export a continuous clock source for use by the PGA."
                 : "");

  const bool divisorDiffers = pga && ClockDivisorField() != amplifier->ClockDivisorField();
  SetWarning(
      ControlIdOf(kBrelDivisorKey, true), divisorDiffers, kBrelDivisorKey,
      divisorDiffers
          ? Format("ADC_%d clock divisor (now %d) must be equal to PGA_%d clock divisor (now %d).",
                   index_, 1 << ClockDivisorField(), index_, 1 << amplifier->ClockDivisorField())
          : "");

  // The channels: not implemented ones, and the amplifier's input while it is off.
  const struct {
    size_t reg;
    const char* key;
    const char* invalid;
  } channels[2] = {
      {kSc1a, kChannelAKey, "ADCA input channel is invalid (not implemented on this device)"},
      {kSc1b, kChannelBKey, "ADCB input channel is invalid (not implemented on this device)"},
  };
  for (const auto& c : channels) {
    const uint32_t channel = Field(c.reg, 0, 4);
    std::string message;
    if (ChannelNotImplemented(channel))
      message = c.invalid;
    else if (channel == kPgaChannel && amplifier && !amplifier->IsEnabled())
      message = Format("%s is not enabled; no input will be provided on the selected channel.",
                       Format("PGA_%d", index_).c_str());
    const bool set = selected && !message.empty();
    SetWarning(ControlIdOf(c.key, true), set, c.key, set ? message : std::string());
  }
}

void CpmADC_Brel::CheckTrigger() {
  const bool selected = IsSelected();
  const GainAmplifier* amplifier = Amplifier();
  const bool pga = amplifier && amplifier->IsEnabled();
  std::string message;
  if (UsesHardwareTrigger() && !pga) {
    // Without the amplifier the delay block triggers the conversions.
    if (const DelayBlock* block = FindCapability<DelayBlock>(GetContext())) {
      const bool blockOff = !block->IsBlockEnabled();
      const bool triggerOff = !block->IsTriggerEnabled(index_);
      if (blockOff || triggerOff) {
        if (blockOff) message += "PDB must be enabled ";
        if (blockOff && triggerOff) message += "and ";
        if (triggerOff) message += Format("Trigger %c must be enabled ", 'A' + index_);
        message += "in PDB when hardware trigger mode is selected and PGA is not used.";
      }
    }
  } else if (!UsesHardwareTrigger() && pga) {
    message = "ADC must be configured to use hardware triggering when using PGA.";
  }
  const bool set = selected && !message.empty();
  SetWarning(ControlIdOf(kTriggerSelectKey, true), set, kTriggerSelectKey,
             set ? message : std::string());
}

void CpmADC_Brel::CheckAlternateClock() {
  const CpmADC_Brel* sibling = Sibling();
  std::string message;
  if (IsSelected() && UsesAlternateClock() && sibling && paired_) {
    if (sibling->UsesAlternateClock())
      message =
          "Both ADC modules cannot use \"Alternate clock (ALTCLK)\" as their input clock source.";
    else if (!sibling->ContinuousClockOutput())
      message = Format(
          "Continuous clock output in ADC_%d module must be enabled if ADC_%d uses "
          "ALTCLK clock input.",
          1 - index_, index_);
  }
  SetWarning(ControlIdOf(kInputClockKey, true), !message.empty(), kInputClockKey, message);
}

void CpmADC_Brel::CheckWarnings() {
  CModule::CheckWarnings();
  const bool selected = IsSelected();
  const double clock = ClockMHz();
  const bool over = selected && clock > kBrelMaxMHz;
  SetWarning(ControlIdOf(kBrelLimitKey), over,
             over ? Format("max: %.3f MHz", kBrelMaxMHz) : std::string("should be < 8 MHz"),
             over ? Format("ADC clock frequency exceeds maximum operating frequency (%.3f MHz)",
                           kBrelMaxMHz)
                  : std::string());

  // Continuous conversions keep their sample time only with a fast enough bus.
  const double bus = GetBusClockMHz();
  std::string note;
  if (clock > 0 && Field(kCfg, 4, 4) != 0 && bus < clock / 11)
    note =
        "Precise sample time for continuous conversions is not guaranteed when long sample is "
        "enabled for bus frequency less than 1/11th of ADCK frequency.";
  else if (clock > 0 && Field(kCfg, 4, 4) == 0 && bus < clock)
    note =
        "Precise sample time for continuous conversions is not guaranteed when short sample is "
        "enabled for bus frequency less than ADCK frequency.";
  SetWarning(ControlIdOf(kSampleNoteKey), false, note);

  // The amplifier's and the delay block's checks apply to the converters "ADC_0"/"ADC_1".
  if (paired_) {
    CheckAmplifier();
    CheckTrigger();
  }
  CheckAlternateClock();
}

void RegisterAdcModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmADC>("ADC");
  factory.Register<CpmADC_Brel>("ADC_Brel");
}

}  // namespace tarq

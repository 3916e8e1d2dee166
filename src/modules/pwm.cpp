// The six-channel pulse-width modulator.
#include "modules/pwm.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

constexpr const char* kPmctl = "PMCTL_INIT";
constexpr const char* kPmfctl = "PMFCTL_INIT";
constexpr const char* kPmout = "PMOUT_INIT";
constexpr const char* kPwmcm = "PWMCM_INIT";
constexpr const char* kDismap1 = "PMDISMAP1_INIT";
constexpr const char* kDismap2 = "PMDISMAP2_INIT";
constexpr const char* kPmcfg = "PMCFG_INIT";
constexpr const char* kPmccr = "PMCCR_INIT";
constexpr const char* kUseVal = "USE_PWMVAL";
constexpr const char* kRawDummy = "PWMVAL_RAW_DUMMY";
constexpr const char* kPmiccr = "PMICCR_INIT";
constexpr const char* kPmsrc = "PMSRC_INIT";
constexpr const char* kDeadtm1 = "PMDEADTM1_INIT";
constexpr const char* kSync = "SYNC_INIT";
const char* const kFfilt[4] = {"FFILT0_INIT", "FFILT1_INIT", "FFILT2_INIT", "FFILT3_INIT"};

// The system module's box that puts the PWM on the high-speed peripheral clock.
constexpr const char* kHsClockBox = "PWM clock sourced from HS_PERF (3x System Clock)";

constexpr const char* kClockPeriodKey = "Clock Period:";
constexpr const char* kPeriodKey = "Period:";
constexpr const char* kFrequencyKey = "Frequency:";
constexpr const char* kDeadTimeKey[2] = {"dead time 0 duration", "dead time 1 duration"};
constexpr const char* kSyncOutKey = "Enable Sync. Output on Fault 2 pin";
constexpr const char* kWindowKey = "Input Synchronization Window Value:";
constexpr const char* kWindowNoteKey = "(window must be 0)";
constexpr const char* kNoteKey = "user slot note";
constexpr const char* kUseValKey = "Initialize Value Registers";

const char* const kPairNames[3] = {"0-1", "2-3", "4-5"};

std::string SoftwareKey(int pin) { return Format("SW Control on Pins: Pin %d", pin); }
std::string InitialKey(int pin) { return Format("Initial Value on SW-controled Pins: Pin %d", pin); }
std::string PairNoteKey(int pair) { return Format("pair note %d", pair); }
std::string ValueKey(int n) { return Format("PWM Value %d", n); }
std::string LatencyClocksKey(int n) { return Format("fault %d latency clocks", n); }
std::string FilterClockKey(int n) { return Format("fault %d pwm clks", n); }
std::string LatencyTimeKey(int n) {
  return Format("Fault %d Input Filter: Input Signal Latency", n);
}

// The clearing masks of faults 0..3 in the two disable-map registers.
constexpr uint32_t kDismap1Keep[4] = {0xEEEE, 0xDDDD, 0xBBBB, 0x7777};
constexpr uint32_t kDismap2Keep[4] = {0xEE, 0xDD, 0xBB, 0x77};

const PwmVariant kVariants[] = {
    {.name = "Brel", .partTest = kTestBrel, .registerCount = 25, .sources = true,
     .caspSources = true, .faultFilters = true, .hsClock = true, .brel = true},
    {.name = "Classic", .partTest = kTestClassic, .registerCount = 17, .classic = true,
     .later = false},
    {.name = "Tebo", .partTest = kTestTebo, .registerCount = 20, .sources = true,
     .hsClock = true, .correctionMethod = false},
    {.name = "Casp", .partTest = kTestCasp, .registerCount = 25, .sources = true,
     .caspSources = true, .faultFilters = true, .hsClock = true, .correctionMethod = false,
     .filterClockLink = true},
    {.name = "Later", .registerCount = 18},
};

}  // namespace

CpmPWM::CpmPWM(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const PwmVariant> CpmPWM::Variants() { return kVariants; }

const PwmVariant& CpmPWM::PickVariant(ModuleContext& doc) const {
  // The Brel row belongs to the Brel class; every other part takes the first matching row.
  return ChooseRow<PwmVariant>(std::span<const PwmVariant>(kVariants).subspan(1), doc,
                               &PwmVariant::partTest);
}

const PwmVariant& CpmPWM_Brel::PickVariant(ModuleContext& doc) const {
  (void)doc;
  return kVariants[0];
}

void CpmPWM::ChooseVariant(ModuleContext& doc) {
  variant_ = &PickVariant(doc);
  ReadFaultMask();
}

void CpmPWM::ReadFaultMask() {
  uint32_t value = 0;
  if (GetParameterInt("FAULTS_MASK", value)) {
    faultMask_ = value & 15u;
  } else if (GetParameterInt("FAULTS", value)) {
    // A count beyond the four inputs means all of them; a count read from a negative text
    // wraps to a huge number and counts as four as well.
    const uint32_t count = value > 4 ? 4 : value;
    faultMask_ = (1u << count) - 1u;
  } else {
    faultMask_ = 15;
  }
}

void CpmPWM::DeclareRegisters() {
  const bool deadTime0Name = variant_->sources;
  const uint32_t deadTimeReset = variant_->classic ? 0x00FF : 0x0FFF;
  std::vector<RegisterDecl> table = {
      {"PMCTL_INIT", 0x0000, DW16 | NODEFAULT},
      {"PMFCTL_INIT", 0x0000, DW16},
      {"PMOUT_INIT", 0x0000, DW16},
      {"PWMCM_INIT", 0x0000, DW16},
      {deadTime0Name ? "PMDEADTM0_INIT" : "PMDEADTM_INIT", deadTimeReset, DW16 | NODEFAULT},
      {"PMDISMAP1_INIT", 0xFFFF, DW16 | NODEFAULT},
      {"PMDISMAP2_INIT", 0x00FF, DW16 | NODEFAULT},
      {"PMCFG_INIT", 0x0000, DW16},
      {"PMCCR_INIT", 0x0000, DW16},
      {"USE_PWMVAL", 0, DW16 | DECVALUE | NOSHOWLIST},
      {"PWMVAL0_INIT", 0x0000, DW16},
      {"PWMVAL1_INIT", 0x0000, DW16},
      {"PWMVAL2_INIT", 0x0000, DW16},
      {"PWMVAL3_INIT", 0x0000, DW16},
      {"PWMVAL4_INIT", 0x0000, DW16},
      {"PWMVAL5_INIT", 0x0000, DW16},
      {"PWMVAL_RAW_DUMMY", 0, DW16 | DUMMYREG | NOSHOWLIST},
      {"PMICCR_INIT", 0x0000, DW16},
      {"PMSRC_INIT", 0x0000, DW16},
      {"PMDEADTM1_INIT", 0x0FFF, DW16 | NODEFAULT},
      {"SYNC_INIT", 0x0000, DW16},
      {"FFILT0_INIT", 0x0000, DW16},
      {"FFILT1_INIT", 0x0000, DW16},
      {"FFILT2_INIT", 0x0000, DW16},
      {"FFILT3_INIT", 0x0000, DW16},
  };
  table.resize(static_cast<size_t>(variant_->registerCount));
  InitRegisters(table.data(), table.size());
}

uint32_t CpmPWM::Field(const char* reg, int low, int high) const {
  const Register* found = nullptr;
  for (const Register& r : Registers())
    if (r.name == reg) found = &r;
  if (!found) return 0;
  const uint32_t width = static_cast<uint32_t>(high - low + 1);
  const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1u;
  return (found->value >> low) & mask;
}

int CpmPWM::PairSource(int pair) const {
  if (!variant_->sources) return 0;
  static const int kLow[3] = {0, 2, 5};
  static const int kHigh[3] = {1, 4, 7};
  return static_cast<int>(Field(kPmsrc, kLow[pair], kHigh[pair]));
}

// ---- page ----

void CpmPWM::DeclarePage(PageDeclaration& d) {
  const PwmVariant& v = *variant_;
  const char* const deadtm = v.sources ? "PMDEADTM0_INIT" : "PMDEADTM_INIT";
  std::vector<std::string> reloadItems = {"Every opportunity"};
  for (int n = 2; n <= 16; ++n) reloadItems.push_back(Format("Every %d opportunity", n));

  d.Group("PWM Module");
  d.Box({.caption = "PWM Module Enable", .field = {.reg = kPmctl, .low = 0},
         .label = "PWM module operation", .comment = kState});
  d.Box({.caption = "Load OK", .field = {.reg = kPmctl, .low = 1}, .comment = kState});
  d.Box({.caption = "Reload", .field = {.reg = kPmctl, .low = 5}, .label = "Reload interrupt",
         .comment = kState});
  d.List({.caption = "Prescaler:", .field = {.reg = kPmctl, .low = 6, .high = 7},
          .items = {"/1", "/2", "/4", "/8"}, .width = 80});
  d.Box({.caption = "Half Cycle Reload", .field = {.reg = kPmctl, .low = 11},
         .comment = kState, .enabled = [this] { return !BitOf(kPmcfg, 12); }});
  d.List({.caption = "PWM Reload Frequency:", .field = {.reg = kPmctl, .low = 12, .high = 15},
          .items = reloadItems, .width = 160});
  d.List({.caption = "Alignment:", .field = {.reg = kPmcfg, .low = 12}, .items = {"Center", "Edge"},
          .width = 100});
  d.Value({.caption = "Modulus:", .field = {.reg = kPwmcm, .low = 0, .high = 14},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0x7FFF}, .width = 100});
  d.Box({.caption = "Write Protection", .field = {.reg = kPmcfg, .low = 0}, .comment = kState});
  if (v.later) {
    d.List({.caption = "Wait Mode Operation:", .field = {.reg = kPmcfg, .low = 13},
            .items = {"Stop", "Run"}, .width = 80});
    d.List({.caption = "Debug Mode Operation:", .field = {.reg = kPmcfg, .low = 14},
            .items = {"Stop", "Run"}, .width = 80});
  }

  d.Group("Timing");
  d.Display({.caption = kClockPeriodKey, .label = "PWM clock period", .width = 110});
  d.Display({.caption = kPeriodKey, .label = "Period", .width = 110});
  d.Display({.caption = kFrequencyKey, .label = "PWM frequency", .width = 110});
  d.Value({.caption = v.sources ? "Dead Time 0:" : "Dead Time:",
           .key = "Dead Time:",
           .field = {.reg = deadtm, .low = 0, .high = v.classic ? 8 : 11},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = v.classic ? 511 : 4095}, .width = 80});
  d.Display({.caption = "", .key = kDeadTimeKey[0],
             .label = v.sources ? "PWM Deadtime 0" : "PWM Deadtime", .width = 110,
             .newRow = false});
  if (v.sources) {
    d.Value({.caption = "Dead Time 1:", .field = {.reg = kDeadtm1, .low = 0, .high = 11},
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 4095}, .width = 80});
    d.Display({.caption = "", .key = kDeadTimeKey[1], .label = "PWM Deadtime 1", .width = 110,
               .newRow = false});
  }
  // Value 1 is position 1 but field value 2: the field has no value 1.
  d.List({.caption = "Deadtime Correction Method:",
          .field = {.reg = kPmctl, .low = 2, .high = 3, .values = {0, 2, 3}},
          .items = {"Manual correction (no correction)",
                    "Automatic status correction during deadtime",
                    "Automatic, when PWM counter=PWM modulus"},
          .width = 260, .enabled = [this] { return variant_->correctionMethod; }});

  d.NextBand();
  d.Group("Channels");
  for (int pair = 0; pair < 3; ++pair) {
    const std::string channels = Format("Channels %s", kPairNames[pair]);
    d.List({.caption = Format("Channel Coupling: %s", kPairNames[pair]),
            .field = {.reg = kPmcfg, .low = 1 + pair}, .items = {"Complementary", "Independent"},
            .label = "Chann. coupling: " + channels, .width = 120});
    // The polarities on a row of their own and the current polarity on the next: the pair's
    // settings side by side would be wider than the pane.
    d.List({.caption = "Bottom Polarity:", .key = "Bottom Polarity: " + channels,
            .field = {.reg = kPmcfg, .low = 4 + pair}, .items = {"Positive", "Negative"},
            .label = "Bottom Polarity: " + channels, .width = 90});
    d.List({.caption = "Top Polarity:", .key = "Top Polarity: " + channels,
            .field = {.reg = kPmcfg, .low = 8 + pair}, .items = {"Positive", "Negative"},
            .label = "Top Polarity   : " + channels, .width = 90, .newRow = false});
    if (v.later) {
      d.List({.caption = "Current polarity:", .key = "Current Polarity: " + channels,
              .field = {.reg = kPmctl, .low = 8 + pair}, .items = {"Low", "High"},
              .label = "Current Polarity: " + channels, .width = 70,
              .enabled = [this, pair] { return Complementary(pair); }});
      d.List({.caption = "Asymetric output (center alignment only)",
              .key = "Asymmetric Operation: " + channels,
              .field = {.reg = kPmiccr, .low = pair},
              .items = {"Off (Correction Method used only)", "On (Correction Method ignored)"},
              .label = "Asymmetric Operation: " + channels, .width = 220,
              .enabled = [this, pair] { return !BitOf(kPmcfg, 12) && Complementary(pair); }});
    }
    if (v.brel) {
      d.Box({.caption = "Pulse Edge Control", .key = "Pulse Edge Control: " + channels,
             .field = {.reg = kPmiccr, .low = 3 + pair},
             .label = "Pulse Edge Control: " + channels, .comment = kState, .newRow = !v.later});
    }
    if (v.sources) {
      const std::string first = Format("Ardo classic (OUT%d-%d)", 2 * pair,
                                       v.caspSources || pair < 2 ? 2 * pair + 1 : 2 * pair + 2);
      std::vector<std::string> items;
      static const int kLow[3] = {0, 2, 5};
      static const int kHigh[3] = {1, 4, 7};
      if (v.caspSources) {
        items = {v.caspSources && pair == 2 ? "Ardo classic (OUT4-5)" : first,
                 Format("PSRC%d input (see SYS)", pair)};
      } else {
        static const char* const kTimer[3] = {"Timer Channel 0 ", "Timer Channel 2",
                                              "Timer Channel 3"};
        items = {pair == 2 ? "Ardo classic (OUT5-6)" : first,
                 Format("ADC Channel %d Thresholds", pair), Format("PWMSRC%d Input Pin", pair),
                 kTimer[pair]};
      }
      if (pair > 0) items.push_back("Same as PWM 0-1");
      static const char* const kSourceCaption[3] = {"PWM 0-1 Source:", "PWM 2-3 Source:",
                                                    "PWM 5-6 Source:"};
      d.List({.caption = kSourceCaption[pair],
              .field = {.reg = kPmsrc, .low = kLow[pair], .high = kHigh[pair]}, .items = items,
              .label = "Complementary Software Control: " + channels, .width = 200,
              .enabled = [this, pair] {
                return Complementary(pair) && SoftwareControl(2 * pair) &&
                       SoftwareControl(2 * pair + 1);
              }});
    }
    d.Link({.key = PairNoteKey(pair)});
  }

  d.Group("Software Output Control");
  for (int pin = 0; pin < 6; ++pin) {
    d.Box({.caption = Format("Enable on Pin %d", pin), .key = SoftwareKey(pin),
           .field = {.reg = kPmout, .low = 8 + pin}, .label = SoftwareKey(pin),
           .comment = kState, .newRow = pin % 3 == 0});
  }
  for (int pin = 0; pin < 6; ++pin) {
    const int pair = pin / 2;
    d.Box({.caption = Format("Initial Value Pin %d", pin), .key = InitialKey(pin),
           .field = {.reg = kPmout, .low = pin}, .label = InitialKey(pin), .comment = kState,
           .newRow = pin % 3 == 0, .enabled = [this, pin, pair] {
             return SoftwareControl(pin) && PairSource(pair) == 0;
           }});
  }
  d.Box({.caption = "Output Pad Enable", .field = {.reg = kPmout, .low = 15}, .comment = kState});

  d.Group("Channel Control");
  for (int pair = 0; pair < 3; ++pair) {
    static const char* const kSwap[3] = {"0 and 1", "2 and 3", "4 and 5"};
    static const char* const kSwapCaption[3] = {"Swap 0 && 1", "Swap 2 && 3", "Swap 4 && 5"};
    d.Box({.caption = kSwapCaption[pair], .key = std::string("Swap Channel Pairs: ") + kSwap[pair],
           .field = {.reg = kPmccr, .low = pair},
           .label = std::string("Swap Channel Pairs: ") + kSwap[pair], .comment = kState,
           .newRow = pair == 0});
  }
  for (int k = 0; k < 6; ++k) {
    d.Box({.caption = Format("Mask %d", k), .key = Format("Mask Channels: %d", k),
           .field = {.reg = kPmccr, .low = 8 + k}, .label = Format("Mask Channels: %d", k),
           .comment = kState, .newRow = k % 3 == 0});
  }
  d.List({.caption = "PWM Operation:", .field = {.reg = kPmccr, .low = 4, .high = 5},
          .items = {"Each value register is accessed independently",
                    "Writing to value register 0 also writes to 0-5",
                    "Writing to value register 0 also writes to 0-3"},
          .width = 280});
  if (v.later) {
    d.List({.caption = "Swap && Mask Mode:", .field = {.reg = kPmccr, .low = 14},
            .items = {"Tolvex compatible", "Enhanced   (nBX = 1)"}, .width = 160});
  }
  d.Box({.caption = "Keep Hardware Acceleration Register Bits Writable",
         .field = {.reg = kPmccr, .low = 15}, .comment = kState});
  if (v.sources) {
    for (int k = 0; k < 6; ++k) {
      const int pair = k / 2;
      d.Box({.caption = Format("Invert compare %d", k),
             .key = Format("PWM Compare Invert: Channel %d", k),
             .field = {.reg = kPmsrc, .low = 8 + k},
             .label = Format("PWM Compare Invert: Channel %d", k), .comment = kState,
             .newRow = k % 3 == 0, .enabled = [this, k, pair] {
               if (k % 2 == 0) return true;
               return !Complementary(pair) || PairSource(pair) == 1 || !BitOf(kPmccr, 14);
             }});
    }
  }

  d.NextBand();
  d.Group("Value Registers");
  d.Box({.caption = kUseValKey, .field = {.reg = kUseVal, .low = 0}, .comment = kState});
  d.Radio({.caption = "Percentage Values", .field = {.reg = kRawDummy, .low = 0, .inverted = true},
           .commented = false, .groupStart = true});
  d.Radio({.caption = "Raw Register Values", .field = {.reg = kRawDummy, .low = 0},
           .commented = false, .newRow = false});
  for (int n = 0; n < 6; ++n) {
    const int pair = n / 2;
    DeclaredControl& edit = d.Value(
        {.caption = Format("Value %d:", n), .key = ValueKey(n),
         .field = {.reg = Format("PWMVAL%d_INIT", n), .low = 0, .high = 15},
         .label = ValueKey(n), .number = {.hex = false, .zeroAllowed = true}, .width = 100,
         .newRow = n % 2 == 0, .enabled = [this, n, pair] {
           if (!BitOf(kUseVal, 0)) return false;
           if (n % 2 == 0) return true;
           return !Complementary(pair) || (variant_->sources && PairSource(pair) == 1);
         }});
    if (CSetValue* value = edit.Value()) {
      value->SetTextHandlers(
          [this](const std::string& text, uint32_t& out) { return ParseValueText(text, out); },
          [this](uint32_t raw) { return ValueText(raw); });
    }
  }

  DeclareFaults(d);

  if (v.brel) {
    d.Group("Interrupt");
    d.Link({.key = kNoteKey, .shown = false});
  }
  d.InterruptPanels(kInterruptPanelWidth);
}

void CpmPWM::DeclareFaults(PageDeclaration& d) {
  const PwmVariant& v = *variant_;
  d.NextBand();
  d.Group("Fault Inputs");
  for (int n = 0; n < 4; ++n) {
    const auto exists = [this, n] { return (faultMask_ & (1u << n)) != 0; };
    d.List({.caption = Format("Fault %d Fault Clearing:", n),
            .field = {.reg = kPmfctl, .low = 2 * n}, .items = {"Manual", "Automatic"},
            .label = Format("Clearing Mode:   Fault %d pin", n), .width = 100,
            .enabled = exists});
    d.Box({.caption = Format("Fault %d Pin", n), .field = {.reg = kPmfctl, .low = 2 * n + 1},
           .label = Format("Fault %d Pin interrupt", n), .comment = kState, .newRow = false,
           .enabled = exists});
    if (v.faultFilters) {
      d.List({.caption = "Polarity:", .key = Format("Signal Polarity: Fault %d pin", n),
              .field = {.reg = kPmfctl, .low = 8 + n}, .items = {"Active High", "Active Low"},
              .label = Format("Signal Polarity: Fault %d pin", n), .width = 100,
              .newRow = false, .enabled = exists});
    }
    for (int pin = 0; pin < 6; ++pin) {
      const std::string label = Format("Disable PWM Pins by Fault %d: Pin %d", n, pin);
      const FieldSpec field = pin < 4 ? FieldSpec{.reg = kDismap1, .low = 4 * pin + n}
                                      : FieldSpec{.reg = kDismap2, .low = 4 * (pin - 4) + n};
      d.Box({.caption = pin == 0 ? Format("By Fault %d: Pin 0", n) : Format("Pin %d", pin),
             .key = label, .field = field, .label = label, .comment = kState,
             .newRow = pin % 3 == 0, .enabled = exists});
    }
    if (v.faultFilters) {
      std::vector<std::string> samples;
      for (int s = 3; s <= 10; ++s) samples.push_back(Format("%d", s));
      d.Value({.caption = "Input signal sampling period (0 = filter off):",
               .key = Format("Fault %d Input Filter: Input Signal Sampling [timer clocks] ", n),
               .field = {.reg = kFfilt[n], .low = 0, .high = 7},
               .label = Format("Fault %d Input Filter: Input Signal Sampling [timer clocks] ", n),
               .number = {.hex = false, .zeroAllowed = true},
               .spin = {.minimum = 0, .maximum = 255}, .width = 60, .enabled = exists});
      // The unit names the clock the filter samples with, linked to the system module's
      // choice of that clock where there is one.
      d.Link({.caption = "pwm clks", .key = FilterClockKey(n), .newRow = false});
      d.List({.caption = "Consecutive samples required to agree:",
              .key = Format("Fault %d Input Filter: Consecutive Samples Required to Agree", n),
              .field = {.reg = kFfilt[n], .low = 8, .high = 10}, .items = samples,
              .label = Format("Fault %d Input Filter: Consecutive Samples Required to Agree", n),
              .width = 60, .enabled = exists});
      d.Display({.caption = "Latency:", .key = LatencyClocksKey(n), .width = 70,
                 .newRow = false});
      d.Display({.caption = "", .key = LatencyTimeKey(n), .label = LatencyTimeKey(n),
                 .width = 90, .newRow = false});
      if (v.brel) {
        d.Box({.caption = "Fault Input Glitch Stretching",
               .key = Format("Fault %d: Fault Input Glitch Stretching", n),
               .field = {.reg = kFfilt[n], .low = 15},
               .label = Format("Fault %d: Fault Input Glitch Stretching", n),
               .comment = kState, .enabled = exists});
      }
    }
  }
  if (v.faultFilters) {
    const auto fault2 = [this] { return (faultMask_ & 4u) != 0; };
    d.Group("Fault 2 Synchronization");
    d.Radio({.caption = "Normal Fault 2 operation (when window is 0)  or Sync. Input within window",
             .key = "Fault 2 Mode: Normal Fault 2 operation or Sync. Input within window",
             .field = {.reg = kSync, .low = 15, .inverted = true},
             .label = "Fault 2 Mode: Normal Fault 2 operation or Sync. Input within window",
             .groupStart = true, .enabled = fault2});
    d.Radio({.caption = kSyncOutKey, .field = {.reg = kSync, .low = 15},
             .label = "Fault 2 Mode: Sync. Output on Fault 2 pin (window must be 0)",
             .enabled = fault2});
    d.Link({.caption = kWindowNoteKey, .key = kWindowNoteKey, .newRow = false});
    d.Value({.caption = kWindowKey, .field = {.reg = kSync, .low = 0, .high = 14},
             .label = "Fault 2 Mode: Input Synchronization Window Value",
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 0x7FFF}, .width = 80, .enabled = fault2});
  }
}

uint32_t CpmPWM::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

// ---- the value registers ----

std::string CpmPWM::ValueText(uint32_t value) const {
  // The registers hold signed counts: a negative value is a duty below zero.
  const int count = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFFu));
  if (RawValues()) return Format("%d", count);
  const uint32_t modulus = Modulus();
  const double percent = modulus == 0 ? 0.0 : count * 100.0 / modulus;
  return Format("%g %%", percent);
}

bool CpmPWM::ParseValueText(const std::string& text, uint32_t& value) const {
  if (text.find('%') != std::string::npos) {
    float number = 0;
    char c1 = 0;
    char c2 = 0;
    if (std::sscanf(text.c_str(), " %f %c %c", &number, &c1, &c2) != 2) return false;
    if (c1 != '%' || !std::isfinite(number) || number < -100 || number > 100) return false;
    // Rounded to the nearest count in both directions: -50 % of 1000 is -500.
    const long count = std::lround(static_cast<double>(number) * 0.01 * Modulus());
    value = static_cast<uint32_t>(count) & 0xFFFFu;
    return true;
  }
  int number = 0;
  char c = 0;
  if (std::sscanf(text.c_str(), " %i %c", &number, &c) != 1) return false;
  if (number < -32768 || number > 0xFFFF) return false;
  value = static_cast<uint32_t>(number) & 0xFFFFu;
  return true;
}

void CpmPWM::RefreshValueEdits() {
  for (int n = 0; n < 6; ++n)
    if (const DeclaredControl* control = decl_.Find(ValueKey(n)))
      if (control->binding && GetPage()) control->binding->Refresh();
}

// ---- start ----

void CpmPWM::FixDefaults() {
  // Faults the part lacks cannot disable any pin: their map bits are cleared in the value,
  // the reset value and the stored value, so the saved header states what the chip does.
  for (int n = 0; n < 4; ++n) {
    if (faultMask_ & (1u << n)) continue;
    for (Register& reg : Registers()) {
      uint32_t keep = 0xFFFFFFFFu;
      if (reg.name == kDismap1) keep = kDismap1Keep[n];
      if (reg.name == kDismap2) keep = kDismap2Keep[n];
      reg.value &= keep;
      reg.resetValue &= keep;
      reg.savedValue &= keep;
    }
  }
}

// ---- values ----

double CpmPWM::ClockHz() const {
  double mhz = GetBusClockMHz();
  if (variant_->hsClock) {
    const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
    if (gate && gate->IsOptionChecked(kHsClockBox)) mhz = GetHSClockMHz();
  }
  return mhz * 1e6;
}

double CpmPWM::ClockPeriod() const {
  const double f = ClockHz();
  const uint32_t modulus = Modulus();
  if (f <= 0 || modulus >= 0x8000) return 0;
  return (1u << Field(kPmctl, 6, 7)) / f;
}

double CpmPWM::Period() const {
  const double period = ClockPeriod() * Modulus();
  return BitOf(kPmcfg, 12) ? period : 2 * period;  // centre alignment counts up and down
}

int CpmPWM::DeadTimeClocks(int d) const {
  if (d == 1 && !variant_->sources) return 0;
  const uint32_t limit = variant_->classic ? 512 : 4096;
  const uint32_t count = d == 0 ? Field(variant_->sources ? "PMDEADTM0_INIT" : "PMDEADTM_INIT", 0,
                                        variant_->classic ? 8 : 11)
                                : Field(kDeadtm1, 0, 11);
  if (count == 0 || count >= limit) return 0;
  const int prescale = 1 << Field(kPmctl, 6, 7);
  // With a prescaler the dead time starts one counter clock early.
  return static_cast<int>(count) * prescale - (prescale > 1 ? 1 : 0);
}

double CpmPWM::DeadTimeSeconds(int d) const {
  const double f = ClockHz();
  if (f <= 0 || Modulus() >= 0x8000) return 0;
  return DeadTimeClocks(d) / f;
}

int CpmPWM::FaultLatencyClocks(int n) const {
  if (!variant_->faultFilters || n < 0 || n > 3) return 0;
  const int period = static_cast<int>(Field(kFfilt[n], 0, 7));
  const int samples = static_cast<int>(Field(kFfilt[n], 8, 10));
  const int latency = (samples + 3) * period + 2;
  return latency > 2 ? latency : 0;
}

void CpmPWM::UpdateValues() {
  const double period = Period();
  ShowTime(ControlIdOf(kClockPeriodKey), ClockPeriod());
  ShowTime(ControlIdOf(kPeriodKey), period);
  ShowFrequency(ControlIdOf(kFrequencyKey), period > 0 ? 1 / period : 0);
  ShowTime(ControlIdOf(kDeadTimeKey[0]), DeadTimeSeconds(0));
  if (variant_->sources) ShowTime(ControlIdOf(kDeadTimeKey[1]), DeadTimeSeconds(1));
  if (variant_->faultFilters) {
    const double f = ClockHz();
    for (int n = 0; n < 4; ++n) {
      const int clocks = FaultLatencyClocks(n);
      const bool on = clocks > 0 && f > 0;
      ShowControlText(ControlIdOf(LatencyClocksKey(n)), on ? Format("%d clk", clocks) : "OFF");
      ShowTime(ControlIdOf(LatencyTimeKey(n)), on ? clocks / f : 0);
    }
  }
  // The value edits show percentages of the modulus: a new modulus or display mode
  // redisplays them.
  const int raw = RawValues() ? 1 : 0;
  if (Modulus() != shownModulus_ || raw != shownRaw_) {
    shownModulus_ = Modulus();
    shownRaw_ = raw;
    RefreshValueEdits();
  }
}

std::string CpmPWM::FilterClockText() const {
  if (!variant_->filterClockLink) return "pwm clks";
  const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
  const std::string link = gate ? gate->OptionLink(kHsClockBox) : std::string();
  return link.empty() ? "pwm clks" : Format("<a href=\"%s\">pwm</a> clks", link.c_str());
}

void CpmPWM::UpdateEnables() {
  decl_.ApplyRules();
  Page* page = GetPage();
  if (!page) return;
  if (variant_->faultFilters) {
    const std::string text = FilterClockText();
    for (int n = 0; n < 4; ++n) page->SetText(ControlIdOf(FilterClockKey(n)), text);
  }
  if (variant_->brel) {
    const uint32_t id = ControlIdOf(kNoteKey);
    const std::string note = UserSlotNote(*this, 0);
    if (!note.empty()) page->SetText(id, note);
    page->SetShown(id, !note.empty());
  }
}

// ---- checks ----

void CpmPWM::CheckWarnings() {
  CModule::CheckWarnings();
  for (int pair = 0; pair < 3; ++pair) {
    const int a = 2 * pair;
    const int b = a + 1;
    const bool set = Complementary(pair) && SoftwareControl(a) != SoftwareControl(b);
    SetWarning(ControlIdOf(PairNoteKey(pair)), set, "",
               Format("Software output control must be set consistently for the pins %d and %d "
                      "when operating in complementary mode",
                      a, b));
    if (Page* page = GetPage()) {
      for (int pin : {a, b}) {
        const uint32_t id = ControlIdOf(SoftwareKey(pin));
        page->SetTextColour(id, set ? std::optional<Rgb>(kWarningTextColour) : std::nullopt);
      }
    }
  }
  if (variant_->faultFilters) {
    const bool set = BitOf(kSync, 15) && Field(kSync, 0, 14) != 0;
    SetWarning(ControlIdOf(kWindowNoteKey), set, kWindowNoteKey,
               "Synchronization window must be set to zero when normal Fault 2 operation is "
               "configured");
  }
}

void CpmPWM::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  CModule::OnControlEvent(page, control, event);
  if (event != ControlEvent::Clicked || &page != GetPage()) return;
  for (int pin = 0; pin < 6; ++pin) {
    if (control.id != ControlIdOf(SoftwareKey(pin))) continue;
    // A complementary pair is driven by software as a whole: the partner pin follows.
    const int pair = pin / 2;
    if (Complementary(pair)) {
      const int partner = pin ^ 1;
      for (Register& reg : Registers()) {
        if (reg.name != kPmout) continue;
        const uint32_t bit = 1u << (8 + partner);
        reg.value = SoftwareControl(pin) ? (reg.value | bit) : (reg.value & ~bit);
      }
      if (const DeclaredControl* other = decl_.Find(SoftwareKey(partner)))
        if (other->binding) other->binding->Refresh();
    }
    UpdateEnables();
    CheckWarnings();
    return;
  }
}

// ---- partner facts ----

bool CpmPWM::IsRunning() const { return BitOf(kPmctl, 0); }

bool CpmPWM::UsesSystemSource(int input) const {
  return variant_ && variant_->caspSources && input >= 0 && input < 3 && PairSource(input) == 1;
}

void RegisterPwmModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmPWM>("PWM");
  factory.Register<CpmPWM_Brel>("PWM_Brel");
}

}  // namespace tarq

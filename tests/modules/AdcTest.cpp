// The converters: clocks and limits per chip group, the scan length, the parallel-mode channel
// checks, the Dorn clocks and sync inputs, and the Brel converter's timing, its amplifier,
// delay-block and sibling-clock checks, every variant through its declaration.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/adc.h"
#include "modules/pdb.h"

namespace tarq {
namespace {

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

class CrossbarStandIn : public CModule, public CrossbarOutputSelector {
 public:
  explicit CrossbarStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  int GetOutputCount() const override { return 8; }
  int GetSelectedInput(int output) const override {
    return output == 6 ? syncA : output == 7 ? syncB : -1;
  }
  std::string OutputLink(int output) const override {
    return "tarq:XBAR/XBAR/" + std::to_string(output);
  }
  int syncA = 0, syncB = 0;
};

class AmplifierStandIn : public CModule, public GainAmplifier {
 public:
  explicit AmplifierStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  int AmplifierIndex() const override { return GetPrefix().back() - '0'; }
  bool IsEnabled() const override { return enabled; }
  int ClockDivisorField() const override { return divisor; }
  bool enabled = false;
  int divisor = 0;
};

ProjectSpec AdcSpec(const std::string& part, const std::string& defines,
                    const std::string& partners = {}) {
  return {.part = part,
          .defines = defines,
          .tree = "OCCS CLOCK NONE IRQ:\n" + partners + "ADC ADC NONE IRQ:22,21,20\n",
          .factory = [](ModuleFactory& factory) {
            RegisterStandIn<StubClockSource>(factory, "CLOCK");
            RegisterStandIn<CrossbarStandIn>(factory, "XBARX");
          }};
}

// The text a display shows after a recompute.
std::string Shown(ModuleProject& project, const std::string& prefix, const std::string& key) {
  CModuleBase* module = project.Find(prefix);
  module->UpdateValues();
  uint32_t id = 0;
  if (auto* adc = dynamic_cast<CpmADC*>(module)) id = adc->ControlIdOf(key);
  if (auto* brel = dynamic_cast<CpmADC_Brel*>(module)) id = brel->ControlIdOf(key);
  return project.Ctl(prefix, id)->text;
}

// ---------------------------------------------------------------- dual converter

TEST(AdcClock, DivisorIP8AtSixtyMegahertzIsCheckedAgainstEachGroupsLimit) {
  struct Case {
    const char* part;
    uint32_t adcr2;  // divisor field 3 ("IP/8") in the group's field width
    const char* warning;
  };
  // 60 MHz / (3 + 1) x 0.5 = 7.5 MHz on every part.
  const Case cases[] = {
      // Fenn: above 5 MHz.
      {"CVX-08", 0x0003, "ADC clock frequency exceeds maximum operating frequency (5.000 MHz)"},
      // Tebo: above 5.33334 MHz.
      {"CVX-21", 0x5023, "ADC clock frequency exceeds maximum operating frequency (5.333 MHz)"},
      // Casp: 7.5 MHz is within 8 MHz.
      {"CVX-25", 0x5023, ""},
      // Classic: 4-bit field; bit 4 (0x10) is no part of the divisor there.
      {"CVX-03", 0x0013, "ADC clock frequency exceeds maximum operating frequency (5.000 MHz)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    ModuleProject project(AdcSpec(c.part, "#define ADC_ADCR1_INIT 0x5004U\n"));
    ASSERT_TRUE(project.Opened());
    project.Module<StubClockSource>("OCCS").bus = 60;
    project.OpenPage("ADC");
    auto& adc = project.Module<CpmADC>("ADC");
    project.Reg("ADC", "ADCR2_INIT").value = c.adcr2;
    EXPECT_DOUBLE_EQ(adc.ClockMHz(), 7.5);
    EXPECT_EQ(Shown(project, "ADC", "Frequency:"), "7.5 MHz");
    project.Check();
    EXPECT_EQ(project.WarningText("ADC", adc.ControlIdOf("clock limit note")), c.warning);
    const Control* note = project.Ctl("ADC", adc.ControlIdOf("clock limit note"));
    EXPECT_EQ(note->text,
              *c.warning ? (std::string(c.part) == "CVX-21" ? "max: 5.333 MHz" : "max: 5.000 MHz")
                         : "should be < 8 MHz");
  }
  // The 5-bit field of a later part: 0x13 is IP/40, 60 MHz / 20 / 2 = 1.5 MHz.
  ModuleProject later(
      AdcSpec("CVX-08", "#define ADC_ADCR1_INIT 0x5004U\n#define ADC_ADCR2_INIT 0x0013U\n"));
  later.Module<StubClockSource>("OCCS").bus = 60;
  EXPECT_DOUBLE_EQ(later.Module<CpmADC>("ADC").ClockMHz(), 1.5);
}

TEST(AdcClock, PowerUpTimeFollowsTheClockAndIsZeroWithoutOne) {
  ModuleProject project(AdcSpec("CVX-25",
                                "#define ADC_ADCR1_INIT 0x5004U\n"
                                "#define ADC_ADCR2_INIT 0x5023U\n"
                                "#define ADC_ADCPOWER_INIT 0x01E0U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("ADC");
  // No bus clock: the clock is off and the delay would be infinite; it shows 0.
  EXPECT_EQ(Shown(project, "ADC", "Frequency:"), "OFF");
  EXPECT_EQ(Shown(project, "ADC", "Power up time:"), "0");
  project.Module<StubClockSource>("OCCS").bus = 60;
  // Delay field 0x1E = 30 clocks at 7.5 MHz: 30 / 7.5 MHz = 4 us.
  EXPECT_EQ(Shown(project, "ADC", "Power up time:"), "4 us");
}

TEST(AdcScan, TheScanLengthWritesTheDisableRegisterAndEnablesTheMappedSlots) {
  ModuleProject project(AdcSpec("CVX-08", "#define ADC_ADCR1_INIT 0x5004U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("ADC");
  auto& adc = project.Module<CpmADC>("ADC");
  const DeclaredControl* length = adc.Declaration().Find("Scan Length:");
  ASSERT_NE(length, nullptr);
  ASSERT_NE(length->Mode(), nullptr);
  // Nothing disabled: all eight samples ("8", the first item).
  EXPECT_EQ(length->Mode()->RegisterIndex(), 0);

  // "5" is the fourth item: ADSDIS = 1 << 5.
  length->Mode()->SetIndex(3);
  length->Mode()->Update();
  EXPECT_EQ(project.Reg("ADC", "ADSDIS_INIT").value, 0x20u);
  adc.UpdateEnables();
  auto enabled = [&](int slot) {
    return project.Ctl("ADC", adc.ControlIdOf("Channel SMP" + std::to_string(slot)))->enabled;
  };
  for (int slot = 0; slot < 8; ++slot) EXPECT_EQ(enabled(slot), slot < 5) << slot;

  // A parallel scan of length 5 runs one slot in each half.
  project.Reg("ADC", "ADCR1_INIT").value = 0x5005;
  adc.UpdateEnables();
  for (int slot = 0; slot < 8; ++slot) EXPECT_EQ(enabled(slot), slot == 0 || slot == 4) << slot;

  // The lowest disable bit counts: 0x30 is a length of 4; "0 - disable" writes bit 0.
  project.Reg("ADC", "ADSDIS_INIT").value = 0x30;
  EXPECT_EQ(adc.ScanLength(), 4);
  EXPECT_EQ(length->Mode()->RegisterIndex(), 4);
  length->Mode()->SetIndex(8);
  length->Mode()->Update();
  EXPECT_EQ(project.Reg("ADC", "ADSDIS_INIT").value, 0x01u);
  EXPECT_FALSE(adc.SlotEnabled(0));
}

TEST(AdcChannels, ParallelScansKeepEachConverterToItsOwnInputs) {
  // Casp: 16 slots, 8 inputs per converter; the default mapping is clean.
  ModuleProject project(AdcSpec("CVX-25", "#define ADC_ADCR1_INIT 0x5005U\n"));
  ASSERT_TRUE(project.Opened());
  auto& adc = project.Module<CpmADC>("ADC");
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC").empty());
  EXPECT_EQ(adc.EnabledSamplesText(), "SMP0 SMP1 SMP2 SMP3 / SMP4 SMP5 SMP6 SMP7 / / ");

  // SMP0 (converter A) on ANB0 (field value 4), SMP5 (converter B) on ANA5 (field value 9).
  project.Reg("ADC", "ADLST1_INIT").value = 0x3214;
  project.Reg("ADC", "ADLST2_INIT").value = 0x7694;
  // SMP8 on ANB0 too, but SMP8 is disabled (ADSDIS 0xFF00).
  project.Reg("ADC", "ADLST3_INIT").value = 0xBA94;
  project.Check();
  const uint32_t smp0 = adc.ControlIdOf("Channel SMP0", true);
  const uint32_t smp5 = adc.ControlIdOf("Channel SMP5", true);
  EXPECT_EQ(project.WarningText("ADC", smp0),
            "In parallel sampling modes, the ANA subconverter processes inputs ANA0-ANA7 only");
  EXPECT_EQ(project.WarningText("ADC", smp5),
            "In parallel sampling modes, the ANB subconverter processes inputs ANB0-ANB7 only");
  EXPECT_EQ(project.WarningsOf("ADC").size(), 2u);

  // A sequential scan may take any input.
  project.Reg("ADC", "ADCR1_INIT").value = 0x5004;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC").empty());

  // Tebo: 8 slots, 4 inputs per converter; SMP1 on ANB1 (3-bit field value 5).
  ModuleProject tebo(
      AdcSpec("CVX-21", "#define ADC_ADCR1_INIT 0x5001U\n#define ADC_ADLST1_INIT 0x3250U\n"));
  ASSERT_TRUE(tebo.Opened());
  tebo.Check();
  EXPECT_EQ(tebo.WarningText("ADC", tebo.Module<CpmADC>("ADC").ControlIdOf("Channel SMP1", true)),
            "In parallel sampling modes, the ANA subconverter processes inputs ANA0-ANA3 only");
}

TEST(AdcDorn, PowerModeLimitsAndTheSecondDivisor) {
  ModuleProject project(AdcSpec("CVX-31", "#define ADC_ADCR1_INIT 0x5804U\n"));
  ASSERT_TRUE(project.Opened());
  project.Module<StubClockSource>("OCCS").bus = 60;
  project.OpenPage("ADC");
  auto& adc = project.Module<CpmADC>("ADC");
  const uint32_t a = adc.ControlIdOf("Frequency:", true);
  const uint32_t b = adc.ControlIdOf("ANB Frequency:", true);
  // Reset divisor 2: 60 MHz / 3 / 2 = 10 MHz, above the 5 MHz of power mode 0, for both.
  project.Check();
  EXPECT_EQ(project.WarningText("ADC", a),
            "ADCA clock frequency exceeds maximum operating frequency in selected power mode");
  EXPECT_EQ(project.WarningText("ADC", b),
            "ADCB clock frequency exceeds maximum operating frequency in selected power mode");
  // Power mode 1 (12 MHz) for both: clean.
  project.Reg("ADC", "ADCPWR2_INIT").value = 0x0205;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC").empty());

  // Divisor 0: 30 MHz is above 15 MHz whatever the mode.
  Register& adcr2 = project.Reg("ADC", "ADCR2_INIT");
  adcr2.value = 0x5020;
  project.Check();
  EXPECT_EQ(project.WarningText("ADC", a),
            "ADCA clock frequency exceeds maximum operating frequency (15.000 MHz)");
  // B shares A's clock (simultaneous): no absolute-limit message, only its power mode's.
  EXPECT_EQ(project.WarningText("ADC", b),
            "ADCB clock frequency exceeds maximum operating frequency in selected power mode");

  // Parallel scan without "simultaneous": B runs on ADCPWR2 12..8 = 0 -> 30 MHz.
  adcr2.value = 0x5002;
  project.Reg("ADC", "ADCPWR2_INIT").value = 0x0005;
  project.Reg("ADC", "ADCR1_INIT").value = 0x5805;
  EXPECT_TRUE(adc.OwnDivisorB());
  EXPECT_DOUBLE_EQ(adc.ClockMHz(), 10.0);
  EXPECT_DOUBLE_EQ(adc.ClockBMHz(), 30.0);
  project.Check();
  EXPECT_EQ(project.WarningText("ADC", a), "");
  EXPECT_EQ(project.WarningText("ADC", b),
            "ADCB clock frequency exceeds maximum operating frequency (15.000 MHz)");
  // ANB divisor 2 (0x0200 in ADCPWR2) brings B to 10 MHz.
  project.Reg("ADC", "ADCPWR2_INIT").value = 0x0205;
  EXPECT_DOUBLE_EQ(adc.ClockBMHz(), 10.0);

  // Conversion times: parallel, SMP0-3 on A and SMP4-7 on B at 10 MHz:
  // (8.5 + 3 x 6) clocks / 10 MHz = 2.65 us each.
  EXPECT_EQ(Shown(project, "ADC", "ANA conversion time:"), "2.65 us");
  EXPECT_EQ(Shown(project, "ADC", "ANB conversion time:"), "2.65 us");
  // Sequential: all eight on A, (8.5 + 7 x 6) / 10 MHz = 5.05 us; B converts nothing.
  project.Reg("ADC", "ADCR1_INIT").value = 0x5804;
  EXPECT_EQ(Shown(project, "ADC", "ANA conversion time:"), "5.05 us");
  EXPECT_EQ(Shown(project, "ADC", "ANB conversion time:"), "n/a");
  project.Module<StubClockSource>("OCCS").bus = 0;
  EXPECT_EQ(Shown(project, "ADC", "ANA conversion time:"), "n/a");
}

TEST(AdcDorn, SyncInputsAreCheckedThroughTheCrossbarOnceItExists) {
  // Both triggers on SYNC, B not simultaneous.
  const std::string defines =
      "#define ADC_ADCR1_INIT 0x5804U\n#define ADC_ADCR2_INIT 0x5002U\n"
      "#define ADC_ADCPWR2_INIT 0x0205U\n";
  ModuleProject alone(AdcSpec("CVX-31", defines));
  ASSERT_TRUE(alone.Opened());
  alone.Check();
  EXPECT_TRUE(alone.WarningsOf("ADC").empty());

  ModuleProject project(AdcSpec("CVX-31", defines, "XBAR XBARX NONE IRQ:\n"));
  ASSERT_TRUE(project.Opened());
  project.Reg("ADC", "ADCR2_INIT").value = 0x5002 | 0x1000;
  auto& adc = project.Module<CpmADC>("ADC");
  auto& crossbar = project.Module<CrossbarStandIn>("XBAR");
  project.OpenPage("ADC");
  project.Check();
  const uint32_t noteA = adc.ControlIdOf("ANA sync note");
  const uint32_t noteB = adc.ControlIdOf("ANB sync note");
  const std::string linkA = "<A HREF=\"tarq:XBAR/XBAR/6\">XBAR</A>";
  // The message names the crossbar and links to the output's row.
  EXPECT_EQ(project.WarningText("ADC", noteA), "ADC ANA Sync input is not set in XBAR");
  EXPECT_EQ(project.WarningAt("ADC", noteA)->link, "tarq:XBAR/XBAR/6");
  EXPECT_EQ(project.Ctl("ADC", noteA)->text, "ANA Sync is not set ( see " + linkA + " )");
  EXPECT_EQ(project.WarningText("ADC", noteB), "ADC ANB Sync input is not set in XBAR");
  EXPECT_EQ(project.WarningAt("ADC", noteB)->link, "tarq:XBAR/XBAR/7");

  // Outputs set: the notes stay as plain references.
  crossbar.syncA = 12;
  crossbar.syncB = 13;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC").empty());
  EXPECT_EQ(project.Ctl("ADC", noteA)->text, "( see " + linkA + " )");
  EXPECT_TRUE(project.Ctl("ADC", noteA)->shown);

  // Simultaneous: B follows A's trigger and is not checked.
  crossbar.syncB = 0;
  project.Reg("ADC", "ADCR2_INIT").value |= 0x0020;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC").empty());
  EXPECT_FALSE(project.Ctl("ADC", noteB)->shown);
}

TEST(AdcVariants, EveryGroupsDeclarationIsSoundOnItsRealTree) {
  struct Case {
    const char* part;
    const char* prefix;
    const char* variant;
    size_t registers;
  };
  const Case cases[] = {
      {"CVX-03", "ADC_B", "classic", 32}, {"CVX-07", "ADC_A", "later", 33},
      {"CVX-08", "ADC_A", "later", 33},   {"CVX-21", "ADC", "Tebo", 34},
      {"CVX-25", "ADC", "Casp", 34},      {"CVX-31", "ADC", "Dorn", 38},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened());
    auto& adc = project.Module<CpmADC>(c.prefix);
    EXPECT_STREQ(adc.Variant().name, c.variant);
    EXPECT_EQ(adc.Registers().size(), c.registers);
    EXPECT_EQ(adc.Declaration().Verify(), std::vector<std::string>{});
    Page& page = project.OpenPage(c.prefix);
    adc.UpdateEnables();
    EXPECT_NE(page.Find(CModule::kInterruptPanelBase), nullptr);
    EXPECT_EQ(adc.Declaration().Has("Scan Length:"), !adc.Variant().dual);
    EXPECT_EQ(adc.Declaration().Has("Enable SMP15"), adc.Variant().slots == 16);
  }
  // Group reset values that differ.
  ModuleProject classic({.part = "CVX-03"});
  EXPECT_EQ(classic.Reg("ADC_A", "ADCR2_INIT").resetValue, 0x0007u);
  EXPECT_EQ(classic.Reg("ADC_A", "ADHLMT0_INIT").resetValue, 0u);
  ModuleProject casp({.part = "CVX-25"});
  EXPECT_EQ(casp.Reg("ADC", "ADSDIS_INIT").resetValue, 0xFF00u);
  EXPECT_EQ(casp.Reg("ADC", "ADLST4_INIT").resetValue, 0xFEDCu);
  EXPECT_EQ(casp.Reg("ADC", "ADCPOWER_INIT").resetValue, 0x00D7u);
  ModuleProject dorn({.part = "CVX-31"});
  EXPECT_EQ(dorn.Reg("ADC", "ADCPOWER_INIT").resetValue, 0x00D3u);
  EXPECT_EQ(dorn.Reg("ADC", "ADCPWR2_INIT").resetValue, 0x0200u);
}

TEST(AdcClock, ATypedCrystalFrequencyRechecksTheConverterOnce) {
  // The classic example's clocks: 8 MHz in, bus 40 MHz; ADC_A at IP/8 runs at the 5 MHz limit.
  ModuleProject project({.part = "CVX-03",
                         .defines = "#define APPCFG_EXTCLK 8000000L\n"
                                    "#define OCCS_PLLCR_INIT 0x0082U\n"
                                    "#define OCCS_PLLDB_INIT 0x2013U\n"
                                    "#define ADC_A_ADCR1_INIT 0x1804U\n"
                                    "#define ADC_A_ADCR2_INIT 0x0003U\n"});
  ASSERT_TRUE(project.Opened());
  auto& adc = project.Module<CpmADC>("ADC_A");
  EXPECT_DOUBLE_EQ(adc.ClockMHz(), 5.0);
  EXPECT_TRUE(project.WarningsOf("ADC_A").empty());
  // The frequency is no register: typing it must still ask for a warnings pass, and one only.
  Page& occs = project.OpenPage("OCCS");
  project.Doc().OnIdle();
  ASSERT_TRUE(occs.TypeText(1124, "16"));
  EXPECT_TRUE(project.Doc().OnIdle());
  EXPECT_EQ(project.WarningText("ADC_A", adc.ControlIdOf("clock limit note")),
            "ADC clock frequency exceeds maximum operating frequency (5.000 MHz)");
  EXPECT_FALSE(project.Doc().OnIdle());
}

// ---------------------------------------------------------------- Brel converter

ProjectSpec BrelSpec(const std::string& defines, const std::string& partners = {}) {
  return {.part = "CVX-28",
          .defines = defines,
          .tree = "OCCS CLOCK NONE IRQ:\n" + partners +
                  "ADC_0 ADC_Brel PDB IRQ:12\nADC_1 ADC_Brel PDB IRQ:13\n",
          .factory = [](ModuleFactory& factory) {
            RegisterStandIn<StubClockSource>(factory, "CLOCK");
            RegisterStandIn<AmplifierStandIn>(factory, "PGAX");
          }};
}

TEST(AdcBrelTiming, AsynchronousClockGivesTwoMegahertzAndItsConversionTimes) {
  // ADACK (3), 12-bit (bit 2), short sample, divisor /1, low power (bit 7): 2.0 MHz.
  ModuleProject project(BrelSpec("#define ADC_0_ADCCFG_INIT 0x0087U\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("ADC_0");
  auto& adc = project.Module<CpmADC_Brel>("ADC_0");
  EXPECT_DOUBLE_EQ(adc.ClockMHz(), 2.0);
  EXPECT_EQ(Shown(project, "ADC_0", "Frequency:"), "2 MHz");
  // Short sample: 3.5 / 2 MHz = 1.75 us; continuous: (17 + 3) / 2 MHz = 10 us.
  EXPECT_EQ(Shown(project, "ADC_0", "Sample time:"), "1.75 us");
  EXPECT_EQ(Shown(project, "ADC_0", "Continuous conversion time:"), "10 us");
  // No bus clock: the first conversion needs one (5 / f_bus), "n/a" instead of infinity.
  EXPECT_EQ(Shown(project, "ADC_0", "First conversion time:"), "n/a");

  project.Module<StubClockSource>("OCCS").bus = 32;
  // 5 / 32 MHz + (20 + 3) / 2 MHz + 5 us = 0.15625 + 11.5 + 5 = 16.65625 us.
  EXPECT_NEAR(adc.FirstConversionSeconds(), 16.65625e-6, 1e-12);
  // Long sample, high speed: 3.3 MHz; 23.5 / 3.3 MHz = 7.1212 us; (37 + 3) / 3.3 MHz.
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0017;
  EXPECT_DOUBLE_EQ(adc.ClockMHz(), static_cast<float>(3.3));
  EXPECT_NEAR(adc.SampleSeconds(), 23.5 / 3.3e6, 1e-9);
  EXPECT_NEAR(adc.ContinuousConversionSeconds(), 40 / 3.3e6, 1e-9);
  // 8-bit, short: no extra cycles: 5 / 32 MHz + 20 / 3.3 MHz + 5 us.
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0003;
  EXPECT_NEAR(adc.FirstConversionSeconds(), (5 / 32.0 + 20 / 3.3 + 5) * 1e-6, 1e-9);
}

TEST(AdcBrelClock, BusClockDivisorsAndTheLimit) {
  ModuleProject project(BrelSpec("#define ADC_0_ADCCFG_INIT 0x0024U\n"));
  ASSERT_TRUE(project.Opened());
  project.Module<StubClockSource>("OCCS").bus = 32;
  auto& adc = project.Module<CpmADC_Brel>("ADC_0");
  const uint32_t note = adc.ControlIdOf("clock limit note");
  // Bus clock / 2 (divisor field 1): 32 MHz / 2 = 16 MHz, above 8 MHz.
  project.Check();
  EXPECT_EQ(project.WarningText("ADC_0", note),
            "ADC clock frequency exceeds maximum operating frequency (8.000 MHz)");
  // Input clock / 4: 8 MHz is the limit itself.
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0044;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC_0").empty());
  // Bus clock / 2 input (field 1), then / 8: 32 / 2 / 8 = 2 MHz.
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0061;
  EXPECT_DOUBLE_EQ(adc.ClockMHz(), 2.0);
  EXPECT_FLOAT_EQ(adc.InputClockMHz(), 16.0f);
  EXPECT_EQ(adc.ClockDivisorField(), 3);

  // The sample-time note: a 1 MHz bus is below ADCK 2 MHz with a short sample, and not below
  // 2 MHz / 11 with a long one.
  project.Module<StubClockSource>("OCCS").bus = 1;
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0023;  // ADACK 3.3 MHz / 2 = 1.65 MHz
  project.OpenPage("ADC_0");
  project.Check();
  const Control* sample = project.Ctl("ADC_0", adc.ControlIdOf("sample time note"));
  EXPECT_TRUE(sample->shown);
  EXPECT_NE(sample->text.find("short sample is enabled for bus frequency less than ADCK"),
            std::string::npos);
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0033;
  project.Check();
  EXPECT_FALSE(project.Ctl("ADC_0", adc.ControlIdOf("sample time note"))->shown);
  EXPECT_TRUE(project.WarningsOf("ADC_0").empty());
}

TEST(AdcBrelClock, AlternateClocksOfBothConvertersStopAfterOneStep) {
  ModuleProject project(
      BrelSpec("#define ADC_0_ADCCFG_INIT 0x0002U\n"
               "#define ADC_1_ADCCFG_INIT 0x0001U\n"));
  ASSERT_TRUE(project.Opened());
  project.Module<StubClockSource>("OCCS").bus = 32;
  auto& adc0 = project.Module<CpmADC_Brel>("ADC_0");
  auto& adc1 = project.Module<CpmADC_Brel>("ADC_1");
  const uint32_t clock0 = adc0.ControlIdOf("Input Clock:", true);
  const uint32_t clock1 = adc1.ControlIdOf("Input Clock:", true);
  // ADC_0 on ALTCLK: ADC_1's input clock, 32 MHz / 2.
  EXPECT_FLOAT_EQ(adc0.InputClockMHz(), 16.0f);
  project.Check();
  EXPECT_EQ(
      project.WarningText("ADC_0", clock0),
      "Continuous clock output in ADC_1 module must be enabled if ADC_0 uses ALTCLK clock input.");
  EXPECT_EQ(project.WarningText("ADC_1", clock1), "");
  project.Reg("ADC_1", "ADCSC2_INIT").value = 0x0004;
  project.Check();
  EXPECT_EQ(project.WarningText("ADC_0", clock0), "");

  // Both on ALTCLK: each would ask the other without end; the clock is 0 and both pages say so.
  project.Reg("ADC_1", "ADCCFG_INIT").value = 0x0002;
  EXPECT_FLOAT_EQ(adc0.InputClockMHz(), 0.0f);
  EXPECT_FLOAT_EQ(adc1.InputClockMHz(), 0.0f);
  project.OpenPage("ADC_0");
  EXPECT_EQ(Shown(project, "ADC_0", "Frequency:"), "OFF");
  EXPECT_EQ(Shown(project, "ADC_0", "Sample time:"), "n/a");
  project.Check();
  const std::string both =
      "Both ADC modules cannot use \"Alternate clock (ALTCLK)\" as their input clock source.";
  EXPECT_EQ(project.WarningText("ADC_0", clock0), both);
  EXPECT_EQ(project.WarningText("ADC_1", clock1), both);

  // A converter without a sibling takes the bus clock.
  ModuleProject single({.part = "CVX-28",
                        .defines = "#define ADC_0_ADCCFG_INIT 0x0002U\n",
                        .tree = "OCCS CLOCK NONE IRQ:\nADC_0 ADC_Brel NONE IRQ:12\n",
                        .factory = [](ModuleFactory& factory) {
                          RegisterStandIn<StubClockSource>(factory, "CLOCK");
                        }});
  single.Module<StubClockSource>("OCCS").bus = 4;
  EXPECT_FLOAT_EQ(single.Module<CpmADC_Brel>("ADC_0").InputClockMHz(), 4.0f);
}

TEST(AdcBrelPartners, AmplifierChecksAreSilentWithoutOneAndWorkWithIt) {
  // Short sample, no clock output, divisor /2, channel A on the amplifier input (15), channel B
  // not implemented (14), software trigger.
  const std::string defines =
      "#define ADC_0_ADCCFG_INIT 0x0020U\n"
      "#define ADC_0_ADCSC1A_INIT 0x000FU\n"
      "#define ADC_0_ADCSC1B_INIT 0x000EU\n";
  ModuleProject alone(BrelSpec(defines));
  ASSERT_TRUE(alone.Opened());
  alone.Check();
  auto& lone = alone.Module<CpmADC_Brel>("ADC_0");
  // Only the channel that no part implements is reported.
  ASSERT_EQ(alone.WarningsOf("ADC_0").size(), 1u);
  EXPECT_EQ(alone.WarningText("ADC_0", lone.ControlIdOf("ADCB Input Channel:", true)),
            "ADCB input channel is invalid (not implemented on this device)");

  ModuleProject project(BrelSpec(defines, "PGA_0 PGAX NONE IRQ:\n"));
  ASSERT_TRUE(project.Opened());
  auto& adc = project.Module<CpmADC_Brel>("ADC_0");
  auto& pga = project.Module<AmplifierStandIn>("PGA_0");
  project.Check();
  // The amplifier is off: its input channel gets nothing.
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("ADCA Input Channel: ", true)),
            "PGA_0 is not enabled; no input will be provided on the selected channel.");
  EXPECT_EQ(project.WarningsOf("ADC_0").size(), 2u);

  pga.enabled = true;
  pga.divisor = 3;
  project.Check();
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("ADCA Input Channel: ", true)), "");
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("Long Sample Time Configuration:", true)),
            "Long ADC sample times must be used when using PGA.");
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("Enable Continuous Clock output")),
            "ADC must be configured to export a continuous clock source for use by the PGA.");
  // Divisor field 1 is /2, the amplifier's 3 is /8.
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("Divisor:", true)),
            "ADC_0 clock divisor (now 2) must be equal to PGA_0 clock divisor (now 8).");
  EXPECT_EQ(project.WarningText("ADC_0", adc.ControlIdOf("Conversion Trigger Select:", true)),
            "ADC must be configured to use hardware triggering when using PGA.");

  // Long sample, clock output, equal divisors, hardware trigger: only channel B remains.
  project.Reg("ADC_0", "ADCCFG_INIT").value = 0x0070;
  project.Reg("ADC_0", "ADCSC2_INIT").value = 0x0044;
  project.Check();
  EXPECT_EQ(project.WarningsOf("ADC_0").size(), 1u);
  // ADC_1 has no amplifier of its own: nothing is asked of PGA_0 for it.
  project.Reg("ADC_1", "ADCSC1A_INIT").value = 0x000F;
  project.Check();
  EXPECT_TRUE(project.WarningsOf("ADC_1").empty());
}

TEST(AdcBrelPartners, HardwareTriggerWithoutAmplifierNeedsTheDelayBlockTrigger) {
  const std::string defines = "#define ADC_1_ADCSC2_INIT 0x0040U\n#define PDB_MOD_INIT 0x1000U\n";
  // Without a delay block nothing can be said.
  ModuleProject alone(BrelSpec(defines));
  ASSERT_TRUE(alone.Opened());
  alone.Check();
  EXPECT_TRUE(alone.WarningsOf("ADC_1").empty());

  ModuleProject project(BrelSpec(defines, "PDB PDB NONE IRQ:\n"));
  ASSERT_TRUE(project.Opened());
  auto& adc = project.Module<CpmADC_Brel>("ADC_1");
  const uint32_t trigger = adc.ControlIdOf("Conversion Trigger Select:", true);
  project.Check();
  EXPECT_EQ(project.WarningText("ADC_1", trigger),
            "PDB must be enabled and Trigger B must be enabled in PDB when hardware trigger mode "
            "is selected and PGA is not used.");
  // The block on (CTRL bit 0), trigger B off (SCR bit 0).
  project.Reg("PDB", "-PDB_CTRL_INIT").value = 0x0001;
  project.Check();
  EXPECT_EQ(
      project.WarningText("ADC_1", trigger),
      "Trigger B must be enabled in PDB when hardware trigger mode is selected and PGA is not "
      "used.");
  project.Reg("PDB", "-PDB_SCR_INIT").value = 0x0001;
  project.Check();
  EXPECT_EQ(project.WarningText("ADC_1", trigger), "");
  // Trigger on, block off.
  project.Reg("PDB", "-PDB_CTRL_INIT").value = 0;
  project.Check();
  EXPECT_EQ(
      project.WarningText("ADC_1", trigger),
      "PDB must be enabled in PDB when hardware trigger mode is selected and PGA is not used.");
}

TEST(AdcBrelVariants, BothConvertersOfTheRealTreeAreSound) {
  ModuleProject project({.part = "CVX-28",
                         .defines = "#define ADC_0_ADCSC1A_INIT 0x0040U\n"
                                    "#define ADC_0_ADCCFG_INIT 0x0044U\n"});
  ASSERT_TRUE(project.Opened());
  for (const char* prefix : {"ADC_0", "ADC_1"}) {
    SCOPED_TRACE(prefix);
    auto& adc = project.Module<CpmADC_Brel>(prefix);
    EXPECT_EQ(adc.ConverterIndex(), prefix[4] - '0');
    EXPECT_EQ(adc.Declaration().Verify(), std::vector<std::string>{});
    Page& page = project.OpenPage(prefix);
    EXPECT_NE(page.Find(CModule::kInterruptPanelBase), nullptr);
  }
  // The example's converter at 8 MHz is within its limit.
  EXPECT_TRUE(project.WarningsOf("ADC_0").empty());
}

}  // namespace
}  // namespace tarq

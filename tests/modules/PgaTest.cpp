// The gain amplifiers: the clock divided from the converter's input clock with its 8 MHz
// limit, sampling time and latency, total gain, and the checks against stand-in converters
// and a stand-in delay block (silent while either is missing).
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/pga.h"

namespace tarq {
namespace {

class ConverterStandIn : public CModule, public AnalogConverter {
 public:
  explicit ConverterStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  int ConverterIndex() const override { return GetPrefix().back() - '0'; }
  bool UsesHardwareTrigger() const override { return false; }
  float InputClockMHz() const override { return inputMHz; }
  int ClockDivisorField() const override { return divisor; }
  float inputMHz = 0;
  int divisor = 0;
};

class DelayBlockStandIn : public CModule, public DelayBlock {
 public:
  explicit DelayBlockStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  bool IsTriggerEnabled(int trigger) const override { return trigger == 0 ? a : b; }
  bool IsBlockEnabled() const override { return enabled; }
  bool enabled = true, a = true, b = true;
};

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

ProjectSpec PgaSpec(const std::string& partners) {
  return {.part = "CVX-28",
          .tree = partners + "PGA_0 PGA ADC_0 IRQ:\nPGA_1 PGA ADC_1 IRQ:\n",
          .factory = [](ModuleFactory& factory) {
            RegisterStandIn<ConverterStandIn>(factory, "ADCX");
            RegisterStandIn<DelayBlockStandIn>(factory, "PDBX");
          }};
}

// CNTL0: enabled, software trigger unless `hardware`, with the three gain fields.
uint32_t Cntl0(bool hardware, uint32_t sh = 0, uint32_t diff = 0, uint32_t dse = 0) {
  return 1u | sh << 2 | diff << 3 | dse << 5 | (hardware ? 0u : 0x80u);
}
// CNTL2: clock divisor field and clk_gs pulses.
uint32_t Cntl2(uint32_t divisor, uint32_t pulses) { return divisor | pulses << 2; }

class PgaFixture : public ::testing::Test {
 protected:
  explicit PgaFixture(const char* partners =
                          "PDB PDBX NONE IRQ:\nADC_0 ADCX NONE IRQ:\n"
                          "ADC_1 ADCX NONE IRQ:\n")
      : project(PgaSpec(partners)) {}
  void SetUp() override {
    ASSERT_TRUE(project.Opened());
    pga().SetSelected(true);
    pga(1).SetSelected(true);
  }
  CpmPGA& pga(int n = 0) { return project.Module<CpmPGA>(n ? "PGA_1" : "PGA_0"); }
  uint32_t& reg(const char* name, int n = 0) {
    return project.Reg(n ? "PGA_1" : "PGA_0", name).value;
  }
  std::string Shown(const char* key) {
    pga().UpdateValues();
    return project.Ctl("PGA_0", pga().ControlIdOf(key))->text;
  }
  std::string WarningAt(const char* key, bool caption = true, int n = 0) {
    project.Check();
    return project.WarningText(n ? "PGA_1" : "PGA_0", pga(n).ControlIdOf(key, caption));
  }
  ModuleProject project;
};

TEST_F(PgaFixture, ClockSamplingTimeAndLatencyFromTheConverterInputClock) {
  auto& adc = project.Module<ConverterStandIn>("ADC_0");
  project.OpenPage("PGA_0");
  // Input 8 MHz / 1, 5 pulses: sampling (18 x 5 + 12) / 8 MHz = 102 / 8 MHz = 12.75 us;
  // latency 8 / 8 MHz = 1 us. Exactly 8 MHz is allowed.
  adc.inputMHz = 8;
  reg("CNTL0_INIT") = Cntl0(false);
  reg("CNTL2_INIT") = Cntl2(0, 5);
  EXPECT_EQ(Shown("PGA clock:"), "8 MHz");
  EXPECT_EQ(Shown("Sampling time:"), "12.75 us");
  EXPECT_EQ(Shown("Latency:"), "1 us");
  EXPECT_EQ(WarningAt("PGA clock limit", false), "");
  // Input 20 MHz / 4 = 5 MHz, no pulses: 12 / 5 MHz = 2.4 us; 8 / 5 MHz = 1.6 us.
  adc.inputMHz = 20;
  adc.divisor = 2;
  reg("CNTL2_INIT") = Cntl2(2, 0);
  EXPECT_EQ(Shown("PGA clock:"), "5 MHz");
  EXPECT_EQ(Shown("Sampling time:"), "2.4 us");
  EXPECT_EQ(Shown("Latency:"), "1.6 us");
  // Gains 2x x 3x x 4x = 24x.
  reg("CNTL0_INIT") = Cntl0(false, 1, 2, 3);
  EXPECT_EQ(Shown("Total gain:"), "24x");
  // No input clock: "???", never "inf".
  adc.inputMHz = 0;
  EXPECT_EQ(Shown("PGA clock:"), "???");
  EXPECT_EQ(Shown("Sampling time:"), "???");
  EXPECT_EQ(Shown("Latency:"), "???");
}

TEST_F(PgaFixture, AClockOverEightMegahertzIsAnError) {
  auto& adc = project.Module<ConverterStandIn>("ADC_0");
  project.OpenPage("PGA_0");
  reg("CNTL0_INIT") = Cntl0(false);
  // 16.1 MHz / 2 = 8.05 MHz: over the limit.
  adc.inputMHz = 16.1f;
  adc.divisor = 1;
  reg("CNTL2_INIT") = Cntl2(1, 0);
  EXPECT_EQ(WarningAt("PGA clock limit", false),
            "PGA clock frequency exceeds maximum operating frequency (8.000 MHz)");
  EXPECT_EQ(project.Ctl("PGA_0", pga().ControlIdOf("PGA clock limit"))->text, "max: 8.000 MHz");
  // 16 MHz / 2 = 8 MHz: allowed.
  adc.inputMHz = 16;
  EXPECT_EQ(WarningAt("PGA clock limit", false), "");
}

TEST_F(PgaFixture, TheDivisorMustMatchTheConverters) {
  auto& adc = project.Module<ConverterStandIn>("ADC_1");
  adc.divisor = 3;
  reg("CNTL0_INIT", 1) = Cntl0(false);
  reg("CNTL2_INIT", 1) = Cntl2(1, 0);
  EXPECT_EQ(WarningAt("Clock Divisor:", true, 1),
            "PGA_1 clock divisor (now 2) must be equal to ADC_1 clock divisor (now 8).");
  adc.divisor = 1;
  EXPECT_EQ(WarningAt("Clock Divisor:", true, 1), "");
  // Disabled: no check.
  adc.divisor = 0;
  reg("CNTL0_INIT", 1) = 0;
  EXPECT_EQ(WarningAt("Clock Divisor:", true, 1), "");
}

TEST_F(PgaFixture, HardwareTriggerModeNeedsTheBlockAndTheTriggerOfItsLetter) {
  auto& pdb = project.Module<DelayBlockStandIn>("PDB");
  reg("CNTL0_INIT", 1) = Cntl0(true);
  const char* key = "Trigger Mode:";
  EXPECT_EQ(WarningAt(key, true, 1), "");
  pdb.b = false;
  EXPECT_EQ(WarningAt(key, true, 1),
            "Trigger B must be enabled in PDB when hardware trigger mode is selected.");
  pdb.enabled = false;
  EXPECT_EQ(WarningAt(key, true, 1),
            "PDB must be enabled and Trigger B must be enabled in PDB when hardware trigger "
            "mode is selected.");
  pdb.b = true;
  EXPECT_EQ(WarningAt(key, true, 1),
            "PDB must be enabled in PDB when hardware trigger mode is selected.");
  // Software trigger: the block is not needed.
  reg("CNTL0_INIT", 1) = Cntl0(false);
  EXPECT_EQ(WarningAt(key, true, 1), "");
}

TEST_F(PgaFixture, AnEnabledAmplifierCarriesTheInitialisationOrderNote) {
  EXPECT_EQ(WarningAt("PGA Module Enabled", false), "");
  reg("CNTL0_INIT") = Cntl0(false);
  EXPECT_NE(WarningAt("PGA Module Enabled", false)
                .find("ADC initialization must be performed before PGA initialization"),
            std::string::npos);
  // The converter sees the amplifier through its capability.
  const GainAmplifier* amplifier = FindCapability<GainAmplifier>(&project.Doc());
  ASSERT_NE(amplifier, nullptr);
  EXPECT_EQ(amplifier->AmplifierIndex(), 0);
  EXPECT_TRUE(amplifier->IsEnabled());
  reg("CNTL2_INIT") = Cntl2(3, 0);
  EXPECT_EQ(amplifier->ClockDivisorField(), 3);
}

class PgaAlone : public PgaFixture {
 protected:
  PgaAlone() : PgaFixture("") {}
};

TEST_F(PgaAlone, ChecksStaySilentWithoutConverterOrDelayBlock) {
  project.OpenPage("PGA_0");
  reg("CNTL0_INIT") = Cntl0(true);
  reg("CNTL2_INIT") = Cntl2(2, 3);
  EXPECT_EQ(Shown("PGA clock:"), "???");
  EXPECT_EQ(WarningAt("Trigger Mode:"), "");
  EXPECT_EQ(WarningAt("Clock Divisor:"), "");
  EXPECT_EQ(WarningAt("PGA clock limit", false), "");
}

TEST(PgaPart, TheRealPartDeclaresCleanPagesWithEightBitRegisters) {
  ModuleProject project({.part = "CVX-28", .defines = "#define PGA_1_CNTL0_INIT 0x81U\n"});
  ASSERT_TRUE(project.Opened());
  for (const char* name : {"PGA_0", "PGA_1"})
    EXPECT_EQ(project.Module<CpmPGA>(name).Declaration().Verify(), std::vector<std::string>{});
  project.OpenPage("PGA_1");
  EXPECT_TRUE(project.CtlByText("PGA_1", "PGA Module Enabled")->checked);
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PGA_1_CNTL0_INIT                  0x81U"), std::string::npos)
      << header;
}

}  // namespace
}  // namespace tarq

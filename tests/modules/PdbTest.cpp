// The delay block: period, frequency and delays with the two-clock lag, the checks against
// stand-in comparators, PWM, dual-timer clocks and converters, and the mended divisions.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/pdb.h"

namespace tarq {
namespace {

class ComparatorStandIn : public CModule, public Comparator {
 public:
  explicit ComparatorStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  int ComparatorIndex() const override { return GetPrefix().back() - '0'; }
  bool IsEnabled() const override { return enabled; }
  bool IsWindowingOrSampling() const override { return false; }
  bool enabled = false;
};

class PwmStandIn : public CModule, public PwmGenerator {
 public:
  explicit PwmStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  bool IsRunning() const override { return running; }
  bool UsesSystemSource(int) const override { return false; }
  bool running = false;
};

class GateStandIn : public CModule, public PeripheralClockGate {
 public:
  explicit GateStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  void CheckPeripheralClock(CModuleBase&) override {}
  bool IsOptionChecked(const std::string& caption) const override {
    return caption == "Timer Channel 0" ? timer0 : caption == "Timer Channel 1" ? timer1 : false;
  }
  std::string OptionLink(const std::string& caption) const override {
    return caption.rfind("Timer Channel ", 0) == 0 ? "tarq:SYS/SYS" : "";
  }
  std::string SelectedOptionText(const std::string&) const override { return {}; }
  bool timer0 = false, timer1 = false;
};

class ConverterStandIn : public CModule, public AnalogConverter {
 public:
  explicit ConverterStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  int ConverterIndex() const override { return GetPrefix().back() - '0'; }
  bool UsesHardwareTrigger() const override { return hardware; }
  float InputClockMHz() const override { return 0; }
  int ClockDivisorField() const override { return 0; }
  bool hardware = false;
};

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

ProjectSpec PdbSpec(const std::string& partners) {
  return {.part = "CVX-28",
          .tree = "OCCS CLOCK NONE IRQ:\n" + partners + "PDB PDB NONE IRQ:\n",
          .factory = [](ModuleFactory& factory) {
            RegisterStandIn<StubClockSource>(factory, "CLOCK");
            RegisterStandIn<ComparatorStandIn>(factory, "CMP");
            RegisterStandIn<PwmStandIn>(factory, "PWMX");
            RegisterStandIn<GateStandIn>(factory, "GATE");
            RegisterStandIn<ConverterStandIn>(factory, "ADCX");
          }};
}

constexpr const char* kAllPartners =
    "SYS GATE NONE IRQ:\nHSCMP_0 CMP NONE IRQ:\nHSCMP_1 CMP NONE IRQ:\nHSCMP_2 CMP NONE IRQ:\n"
    "PWM PWMX NONE IRQ:\nADC_0 ADCX NONE IRQ:\nADC_1 ADCX NONE IRQ:\n";

// SCR: trigger enables (A bit 1, B bit 0), input trigger, output selects, prescaler field.
uint32_t Scr(bool a, bool b, uint32_t input = 7, uint32_t selectA = 0, uint32_t selectB = 0,
             uint32_t prescaler = 0) {
  return (a ? 2u : 0u) | (b ? 1u : 0u) | input << 2 | selectB << 7 | selectA << 10 |
         prescaler << 13;
}

class PdbFixture : public ::testing::Test {
 protected:
  explicit PdbFixture(const char* partners = kAllPartners) : project(PdbSpec(partners)) {}
  void SetUp() override {
    ASSERT_TRUE(project.Opened());
    pdb().SetSelected(true);
  }
  CpmPDB& pdb() { return project.Module<CpmPDB>("PDB"); }
  uint32_t& reg(const char* name) { return project.Reg("PDB", name).value; }
  std::string Shown(const std::string& key) {
    pdb().UpdateValues();
    return project.Ctl("PDB", pdb().ControlIdOf(key))->text;
  }
  std::string WarningAt(const std::string& key, bool caption = true) {
    project.Check();
    auto warning = project.WarningAt("PDB", pdb().ControlIdOf(key, caption));
    return warning ? warning->text : std::string();
  }
  ModuleProject project;
};

TEST_F(PdbFixture, PeriodAndDelaysCountTheTwoClockLag) {
  project.Module<StubClockSource>("OCCS").bus = 32;
  project.OpenPage("PDB");
  // Modulus 1000 at 32 MHz / 1: period 1000 / 32 MHz = 31.25 us, 32 kHz.
  reg("-PDB_MOD_INIT") = 1000;
  reg("-PDB_SCR_INIT") = Scr(true, false, 7, 1);
  EXPECT_EQ(Shown("Period:"), "31.25 us");
  EXPECT_EQ(Shown("Frequency:"), "32 kHz");
  // Delay A 998: (998 + 2) / 32 MHz = 31.25 us, just fits.
  reg("-PDB_DELAYA_INIT") = 998;
  EXPECT_EQ(Shown("Trigger A delay time:"), "31.25 us");
  EXPECT_EQ(WarningAt("Trigger A Delay:"), "");
  // Delay A 999: 1001 / 32 MHz = 31.28125 us, 31.25 ns too long.
  reg("-PDB_DELAYA_INIT") = 999;
  EXPECT_EQ(Shown("Trigger A delay time:"), "31.28125 us");
  EXPECT_EQ(WarningAt("Trigger A Delay:"), "Trigger A delay is longer than counter period.");
  // Prescaler / 4 (field 2): period 4000 / 32 MHz = 125 us; delay B 100: 402 / 32 MHz.
  reg("-PDB_SCR_INIT") = Scr(true, true, 7, 1, 1, 2);
  reg("-PDB_DELAYB_INIT") = 100;
  EXPECT_EQ(Shown("Period:"), "0.125 ms");
  EXPECT_EQ(Shown("Trigger B delay time:"), "12.5625 us");
  EXPECT_EQ(WarningAt("Trigger A Delay:"), "");
  // Delay B 1000 at / 4: 4002 / 32 MHz > 125 us.
  reg("-PDB_DELAYB_INIT") = 1000;
  EXPECT_EQ(WarningAt("Trigger B Delay:"), "Trigger B delay is longer than counter period.");
  // Not selected for writing: no error.
  pdb().SetSelected(false);
  EXPECT_EQ(WarningAt("Trigger B Delay:"), "");
}

TEST_F(PdbFixture, ModulusOrBusClockOfZeroGivesNoPeriodNoDelayAndNoFalseError) {
  project.OpenPage("PDB");
  reg("-PDB_SCR_INIT") = Scr(true, true);
  reg("-PDB_DELAYA_INIT") = 50;
  reg("-PDB_DELAYB_INIT") = 50;
  // Bus clock 0: nothing to divide by.
  EXPECT_EQ(Shown("Period:"), "??");
  EXPECT_EQ(Shown("Frequency:"), "??");
  EXPECT_EQ(Shown("Trigger A delay time:"), "OFF");
  EXPECT_EQ(WarningAt("Trigger A Delay:"), "");
  // Modulus 0 with a clock: the delay shows, but there is no period to exceed.
  project.Module<StubClockSource>("OCCS").bus = 32;
  reg("-PDB_MOD_INIT") = 0;
  EXPECT_EQ(Shown("Period:"), "??");
  EXPECT_EQ(Shown("Trigger A delay time:"), "1.625 us");  // 52 / 32 MHz
  EXPECT_EQ(WarningAt("Trigger A Delay:"), "");
  EXPECT_EQ(WarningAt("Trigger B Delay:"), "");
}

TEST_F(PdbFixture, InputTriggerSourcesAreAskedOfTheirModules) {
  struct Case {
    uint32_t input;
    std::function<void(bool)> enable;
    std::string name;
  };
  auto& gate = project.Module<GateStandIn>("SYS");
  auto& pwm = project.Module<PwmStandIn>("PWM");
  const Case cases[] = {
      {0, [&](bool on) { project.Module<ComparatorStandIn>("HSCMP_0").enabled = on; }, "HSCMP_0"},
      {2, [&](bool on) { project.Module<ComparatorStandIn>("HSCMP_2").enabled = on; }, "HSCMP_2"},
      {3, [&](bool on) { pwm.running = on; }, "PWM"},
      {5, [&](bool on) { gate.timer0 = on; }, "Timer 0"},
      {6, [&](bool on) { gate.timer1 = on; }, "Timer 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    reg("-PDB_SCR_INIT") = Scr(false, false, c.input);
    c.enable(false);
    EXPECT_EQ(WarningAt("Input Trigger:"),
              c.name + " module is not enabled (and is selected as Input Trigger)");
    c.enable(true);
    EXPECT_EQ(WarningAt("Input Trigger:"), "");
  }
  // The external pin and the software trigger need nobody.
  for (uint32_t input : {4u, 7u}) {
    reg("-PDB_SCR_INIT") = Scr(false, false, input);
    EXPECT_EQ(WarningAt("Input Trigger:"), "") << input;
  }
}

TEST_F(PdbFixture, PreTriggersNeedADelayOfTwoWhenAConverterWaitsForThem) {
  auto& adc0 = project.Module<ConverterStandIn>("ADC_0");
  auto& adc1 = project.Module<ConverterStandIn>("ADC_1");
  const std::string a = "PreTrigger A signal will not be generated if the Trigger A Delay is 0 or 1";
  // Delay A 1, Delay A only: ADC_0 decides.
  reg("-PDB_SCR_INIT") = Scr(true, false, 7, 1);
  reg("-PDB_DELAYA_INIT") = 1;
  EXPECT_EQ(WarningAt("Trigger A Output Select:"), "");
  adc0.hardware = true;
  EXPECT_EQ(WarningAt("Trigger A Output Select:"), a);
  reg("-PDB_DELAYA_INIT") = 2;
  EXPECT_EQ(WarningAt("Trigger A Output Select:"), "");
  // Both delays: either converter.
  adc0.hardware = false;
  adc1.hardware = true;
  reg("-PDB_DELAYA_INIT") = 0;
  EXPECT_EQ(WarningAt("Trigger A Output Select:"), "");
  reg("-PDB_SCR_INIT") = Scr(true, false, 7, 2);
  EXPECT_EQ(WarningAt("Trigger A Output Select:"), a);
  // Trigger B, Delay B only: ADC_1.
  reg("-PDB_SCR_INIT") = Scr(false, true, 7, 0, 1);
  reg("-PDB_DELAYB_INIT") = 0;
  EXPECT_EQ(WarningAt("Trigger B Output Select:"),
            "PreTrigger B signal will not be generated if the Trigger B Delay is 0 or 1");
}

TEST_F(PdbFixture, APulseOutputNeedsTheOtherTrigger) {
  reg("-PDB_SCR_INIT") = Scr(true, false, 7, 3);
  EXPECT_EQ(WarningAt("Trigger B Enabled", false),
            "Trigger B must be enabled if Trigger A Output is set to PulseOut");
  reg("-PDB_SCR_INIT") = Scr(true, true, 7, 3);
  EXPECT_EQ(WarningAt("Trigger B Enabled", false), "");
  reg("-PDB_SCR_INIT") = Scr(false, true, 7, 0, 3);
  EXPECT_EQ(WarningAt("Trigger A Enabled", false),
            "Trigger A must be enabled if Trigger B Output is set to PulseOut");
}

TEST_F(PdbFixture, TheSystemModuleSeesTheTriggersOnlyWhileTheBlockIsInUse) {
  DelayBlock* block = FindCapability<DelayBlock>(&project.Doc());
  ASSERT_NE(block, nullptr);
  reg("-PDB_SCR_INIT") = Scr(true, false);
  EXPECT_TRUE(block->IsTriggerEnabled(0));
  EXPECT_FALSE(block->IsTriggerEnabled(1));
  reg("-PDB_SCR_INIT") = Scr(false, true, 4);
  EXPECT_FALSE(block->IsTriggerEnabled(0));
  EXPECT_TRUE(block->IsTriggerEnabled(1));
  EXPECT_TRUE(pdb().IsSignalUsed("PDB.EXT_TRIGGER"));
  reg("-PDB_SCR_INIT") = Scr(false, true, 5);
  EXPECT_FALSE(pdb().IsSignalUsed("PDB.EXT_TRIGGER"));
  // The block itself: "PDB Module Enabled" while in use.
  EXPECT_FALSE(block->IsBlockEnabled());
  reg("-PDB_CTRL_INIT") = 1;
  EXPECT_TRUE(block->IsBlockEnabled());
  pdb().SetSelected(false);
  EXPECT_FALSE(block->IsBlockEnabled());
  reg("-PDB_SCR_INIT") = Scr(true, true, 4);
  EXPECT_FALSE(block->IsTriggerEnabled(1));
  EXPECT_FALSE(pdb().IsSignalUsed("PDB.EXT_TRIGGER"));
}

class PdbAlone : public PdbFixture {
 protected:
  PdbAlone() : PdbFixture("") {}
};

TEST_F(PdbAlone, ChecksThatNeedAMissingPartnerStaySilent) {
  for (uint32_t input = 0; input < 8; ++input) {
    reg("-PDB_SCR_INIT") = Scr(true, true, input, 2, 2);
    EXPECT_EQ(WarningAt("Input Trigger:"), "") << input;
    EXPECT_EQ(WarningAt("Trigger A Output Select:"), "") << input;
  }
}

TEST(PdbPart, TheRealPartDeclaresACleanPageAndWritesTheStatusRegisterUnprefixed) {
  ModuleProject project({.part = "CVX-28", .defines = "#define PDB_MOD_INIT 0x1000U\n"
                                                      "#define PDB_SCR_INIT 0x0402U\n"});
  ASSERT_TRUE(project.Opened());
  auto& pdb = project.Module<CpmPDB>("PDB");
  EXPECT_EQ(pdb.Declaration().Verify(), std::vector<std::string>{});
  project.OpenPage("PDB");
  EXPECT_TRUE(project.CtlByText("PDB", "Trigger A Enabled")->checked);
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PDB_MOD_INIT                      0x1000U"), std::string::npos)
      << header;
  EXPECT_NE(header.find("#define PDB_SCR_INIT                      0x0402U"), std::string::npos);
  EXPECT_EQ(header.find("PDB_PDB_"), std::string::npos);
}

}  // namespace
}  // namespace tarq

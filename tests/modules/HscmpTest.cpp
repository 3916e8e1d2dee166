// The high-speed comparators: the output latency of every filter branch, the source lists of
// both chip groups, the pin signals they use, the window-input link and the Dorn checks
// against the converter and the voltage references.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "framework/TextUtil.h"
#include "modules/dac.h"
#include "modules/hscmp.h"
#include "modules/vref.h"

namespace tarq {
namespace {

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

ProjectSpec HscmpSpec(const std::string& part, const std::string& tree) {
  return {
      .part = part, .tree = "OCCS CLOCK NONE IRQ:\n" + tree, .factory = [](ModuleFactory& factory) {
        RegisterStandIn<StubClockSource>(factory, "CLOCK");
      }};
}

// CR0 with the positive and negative sources and the consecutive-samples field.
uint32_t Cr0(uint32_t positive, uint32_t negative, uint32_t samples = 0) {
  return negative | positive << 2 | samples << 4;
}

class BrelComparator : public ::testing::Test {
 protected:
  BrelComparator()
      : project(HscmpSpec("CVX-28", "HSCMP_0 HSCMP NONE IRQ:15\nHSCMP_1 HSCMP NONE IRQ:16\n")) {}
  void SetUp() override {
    ASSERT_TRUE(project.Opened());
    cmp().SetSelected(true);
  }
  CpmHSCMP& cmp(const char* name = "HSCMP_0") { return project.Module<CpmHSCMP>(name); }
  uint32_t& reg(const char* name, const char* module = "HSCMP_0") {
    return project.Reg(module, name).value;
  }
  std::string Latency() {
    cmp().UpdateValues();
    return project.Ctl("HSCMP_0", cmp().ControlIdOf("Maximum output latency:"))->text;
  }
  ModuleProject project;
};

TEST_F(BrelComparator, LatencyOfEveryFilterBranchAtThirtyTwoMegahertz) {
  project.Module<StubClockSource>("OCCS").bus = 32;
  project.OpenPage("HSCMP_0");
  // t = 1 / 32 MHz = 31.25 ns.
  struct Case {
    bool windowing, sampling;
    uint32_t samples, period;
    const char* shown;
  };
  const Case cases[] = {
      // Windowing off, sampling off: t + c x d x t = (1 + 3 x 10) t = 31 t.
      {false, false, 3, 10, "0.96875 us"},
      // One sample: 2 t.
      {false, false, 1, 10, "0.0625 us"},
      // No filter (c or d 0): no delay, shown as "???".
      {false, false, 0, 10, "???"},
      {false, false, 3, 0, "???"},
      // Windowing on, sampling off: c x d x t + 2 t = 32 t = 1 us.
      {true, false, 3, 10, "1 us"},
      // Windowing without a filter: t.
      {true, false, 0, 10, "0.03125 us"},
      {true, false, 3, 0, "0.03125 us"},
      // Sampling mode, with or without windowing: none.
      {false, true, 3, 10, "???"},
      {true, true, 3, 10, "???"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(
        Format("windowing %d sampling %d c %u d %u", c.windowing, c.sampling, c.samples, c.period));
    reg("CR0_INIT") = Cr0(0, 0, c.samples);
    reg("FPR_INIT") = c.period;
    reg("CR1_INIT") = 1u | (c.windowing ? 0x40u : 0u) | (c.sampling ? 0x80u : 0u);
    EXPECT_EQ(Latency(), c.shown);
  }
  // 31 clocks at 32 MHz, as a number.
  reg("CR0_INIT") = Cr0(0, 0, 3);
  reg("FPR_INIT") = 10;
  reg("CR1_INIT") = 1;
  EXPECT_DOUBLE_EQ(cmp().LatencySeconds(), 31 / 32e6);
}

TEST_F(BrelComparator, AnUnknownBusClockShowsQuestionMarksNotInfinity) {
  project.OpenPage("HSCMP_0");
  reg("CR0_INIT") = Cr0(0, 0, 3);
  reg("FPR_INIT") = 10;
  for (uint32_t cr1 : {0x00u, 0x40u}) {
    reg("CR1_INIT") = cr1;
    EXPECT_EQ(cmp().LatencySeconds(), 0.0);
    EXPECT_EQ(Latency(), "???");
  }
}

TEST_F(BrelComparator, PinSignalsCountInputsFromOneAndFollowTheEnable) {
  // Positive source field 1 is P2, negative field 0 is M1.
  reg("CR0_INIT") = Cr0(1, 0);
  EXPECT_FALSE(cmp().IsSignalUsed("CMP0_P2_ANA13"));  // comparator off
  reg("CR1_INIT") = 1;
  EXPECT_TRUE(cmp().IsSignalUsed("CMP0_P2_ANA13"));
  EXPECT_FALSE(cmp().IsSignalUsed("ANA12_CMP2_P3"));
  EXPECT_TRUE(cmp().IsSignalUsed("ANA5_CMP1_M1"));
  EXPECT_FALSE(cmp().IsSignalUsed("CMP2_M3_ANA11"));
  // The output pin follows its own enable.
  EXPECT_FALSE(cmp().IsSignalUsed("CMP0_OUT"));
  reg("CR1_INIT") = 3;
  EXPECT_TRUE(cmp().IsSignalUsed("CMP0_OUT"));
  // Not written to the header: nothing is used.
  cmp().SetSelected(false);
  EXPECT_FALSE(cmp().IsSignalUsed("CMP0_OUT"));
}

TEST_F(BrelComparator, TheCapabilityAnswersFromTheEnableAndTheModes) {
  const Comparator* comparator = nullptr;
  for (const Comparator* c : FindCapabilities<Comparator>(&project.Doc()))
    if (c->ComparatorIndex() == 1) comparator = c;
  ASSERT_NE(comparator, nullptr);
  cmp("HSCMP_1").SetSelected(true);
  EXPECT_FALSE(comparator->IsEnabled());
  reg("CR1_INIT", "HSCMP_1") = 0x81;  // enabled, sampling
  EXPECT_TRUE(comparator->IsEnabled());
  EXPECT_TRUE(comparator->IsWindowingOrSampling());
  reg("CR1_INIT", "HSCMP_1") = 0x41;  // windowing
  EXPECT_TRUE(comparator->IsWindowingOrSampling());
  reg("CR1_INIT", "HSCMP_1") = 0x01;
  EXPECT_FALSE(comparator->IsWindowingOrSampling());
  cmp("HSCMP_1").SetSelected(false);
  EXPECT_FALSE(comparator->IsEnabled());
}

TEST(HscmpVariants, SourceListsByGroupAndInstance) {
  const auto rows = CpmHSCMP::Variants();
  const HscmpVariant& dorn = rows[0];
  const HscmpVariant& brel = rows[1];
  ASSERT_TRUE(dorn.dornInputs);
  ASSERT_FALSE(brel.dornInputs);
  // Instance B of the Brel group (HSCMP_1) has no fourth positive input.
  EXPECT_EQ(CpmHSCMP::PositiveSources(brel, 0), (std::vector<std::string>{"P1", "P2", "P3", "P4"}));
  EXPECT_EQ(CpmHSCMP::PositiveSources(brel, 1), (std::vector<std::string>{"P1", "P2", "P3"}));
  EXPECT_EQ(CpmHSCMP::NegativeSources(brel), (std::vector<std::string>{"M1", "M2", "M3"}));
  // Each Dorn comparator names its own reference.
  EXPECT_EQ(CpmHSCMP::PositiveSources(dorn, 2)[0], "P0 (5-bit VREFC)");
  EXPECT_EQ(
      CpmHSCMP::PositiveSources(dorn, 0),
      (std::vector<std::string>{"P0 (5-bit VREFA)", "P1 (12-bit DAC)", "P2", "P3 (CMP_REF)"}));
  EXPECT_EQ(CpmHSCMP::NegativeSources(dorn).back(), "M3 (12-bit DAC)");
}

// Every row on a real part of its group: a clean declaration, the filter caption and the
// window-input link to the module that routes the window signal.
TEST(HscmpVariants, RealPartsDeclareCleanPagesWithTheWindowLink) {
  struct Case {
    const char* part;
    const char* module;
    const char* caption;
    const char* link;
  };
  const Case cases[] = {
      {"CVX-28", "HSCMP_1", "if routed in SYS)", "tarq:SYS/SYS_Brel/C1_WS"},
      {"CVX-31", "HSCMP_C", "if routed in XBAR)", "tarq:XBAR/XBAR/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened());
    auto& cmp = project.Module<CpmHSCMP>(c.module);
    EXPECT_EQ(cmp.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_NE(std::string(cmp.Variant().filterCaption).find(c.caption), std::string::npos);
    Page& page = project.OpenPage(c.module);
    (void)page;
    const Control* line = project.Ctl(c.module, cmp.ControlIdOf("Sample / Window Input Enable"));
    ASSERT_NE(line, nullptr);
    EXPECT_NE(line->text.find(c.link), std::string::npos) << line->text;
  }
}

// The Dorn checks with the part's own converter and references.
class DornComparator : public ::testing::Test {
 protected:
  DornComparator() : project({.part = "CVX-31"}) {}
  void SetUp() override {
    ASSERT_TRUE(project.Opened());
    for (const char* name : {"HSCMP_B", "DAC", "VREF_B"}) project.Find(name)->SetSelected(true);
    project.Reg("HSCMP_B", "CR1_INIT").value = 1;
    project.Reg("DAC", "CTRL_INIT").value = 0x0001;        // kept powered down
    project.Reg("VREF_B", "DACCTRL_INIT").value = 0x0010;  // level 16, switched off
  }
  std::string WarningAt(const char* key) {
    project.Check();
    return project.WarningText("HSCMP_B",
                               project.Module<CpmHSCMP>("HSCMP_B").ControlIdOf(key, true));
  }
  uint32_t& cr0() { return project.Reg("HSCMP_B", "CR0_INIT").value; }
  ModuleProject project;
};

TEST_F(DornComparator, SourcesFromAConverterOrReferenceThatIsOffAreReported) {
  const std::string dac =
      "HSCMP_B module is using DAC module output and DAC module is not enabled.";
  const std::string vref =
      "HSCMP_B module is using VREF_B module output and VREF_B module is not enabled.";
  cr0() = Cr0(1, 0);  // P1 (12-bit DAC)
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), dac);
  EXPECT_EQ(WarningAt("Negative Comparator Input Source:"), "");
  cr0() = Cr0(2, 3);  // M3 (12-bit DAC)
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), "");
  EXPECT_EQ(WarningAt("Negative Comparator Input Source:"), dac);
  cr0() = Cr0(0, 0);  // P0 (5-bit VREFB)
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), vref);

  // Switched on, the partners clear the lines.
  project.Reg("VREF_B", "DACCTRL_INIT").value = 0x0090;
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), "");
  cr0() = Cr0(1, 3);
  project.Reg("DAC", "CTRL_INIT").value = 0x0000;
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), "");
  EXPECT_EQ(WarningAt("Negative Comparator Input Source:"), "");
  // A converter that is not written to the header stays powered down.
  project.Find("DAC")->SetSelected(false);
  EXPECT_EQ(WarningAt("Negative Comparator Input Source:"), dac);
  // A comparator that is off uses nothing.
  project.Reg("HSCMP_B", "CR1_INIT").value = 0;
  EXPECT_EQ(WarningAt("Positive Comparator Input Source:"), "");
  EXPECT_EQ(WarningAt("Negative Comparator Input Source:"), "");
}

TEST_F(DornComparator, PinSignalsCountInputsFromZeroAndTheReferencePin) {
  auto& cmp = project.Module<CpmHSCMP>("HSCMP_B");
  cr0() = Cr0(3, 0);
  EXPECT_TRUE(cmp.IsSignalUsed("CMP_REF"));
  EXPECT_FALSE(cmp.IsSignalUsed("ANA0_CMPA_P2"));
  cr0() = Cr0(2, 0);
  EXPECT_FALSE(cmp.IsSignalUsed("CMP_REF"));
  EXPECT_TRUE(cmp.IsSignalUsed("ANA0_CMPA_P2"));
  EXPECT_FALSE(cmp.IsSignalUsed("CMPB_O"));
  project.Reg("HSCMP_B", "CR1_INIT").value = 3;
  EXPECT_TRUE(cmp.IsSignalUsed("CMPB_O"));
}

TEST(DornComparatorAlone, ChecksStaySilentWithoutConverterAndReferences) {
  ModuleProject project(HscmpSpec("CVX-31", "HSCMP_A HSCMP NONE IRQ:19\n"));
  ASSERT_TRUE(project.Opened());
  auto& cmp = project.Module<CpmHSCMP>("HSCMP_A");
  cmp.SetSelected(true);
  project.Reg("HSCMP_A", "CR1_INIT").value = 1;
  for (uint32_t cr0 : {Cr0(0, 0), Cr0(1, 3)}) {
    project.Reg("HSCMP_A", "CR0_INIT").value = cr0;
    project.Check();
    for (const char* key :
         {"Positive Comparator Input Source:", "Negative Comparator Input Source:"})
      EXPECT_FALSE(project.WarningAt("HSCMP_A", cmp.ControlIdOf(key, true))) << cr0 << key;
  }
}

}  // namespace
}  // namespace tarq

// The clock synthesis module on real projects: register tables per chip group, the clock
// computation with its displays and limit warnings, the page's enables, the pin answers
// and the clock queries other modules use.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "../support/ModuleHarness.h"
#include "framework/Hints.h"
#include "framework/Module.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "modules/occs.h"
#include "project/KnownParts.h"

namespace tarq {
namespace {

// A watchdog that reports the clock it counts, as the separate watchdog module will.
class WatchdogStub : public CModule, public WatchdogClock {
 public:
  explicit WatchdogStub(const ArchitectureEntry& entry) : CModule(entry) {}
  Source GetClockSource() const override { return source; }
  Source source = Source::Other;
};

// A project of a part on its real architecture file; `defines` follow the part line.
ModuleProject OccsProject(const std::string& part, const std::string& defines,
                          std::function<void(ModuleFactory&)> factory = {}) {
  return ModuleProject({.part = part, .defines = defines, .factory = std::move(factory), .idle = false});
}
CpmOCCS& Occs(ModuleProject& project) { return project.Module<CpmOCCS>("OCCS"); }
bool HasOccs(ModuleProject& project) { return dynamic_cast<CpmOCCS*>(project.Find("OCCS")) != nullptr; }
Control& Ctl(ModuleProject& project, uint32_t id) { return *project.Ctl("OCCS", id); }
uint32_t RegValue(ModuleProject& project, size_t index) { return Occs(project).Registers()[index].value; }
// The warning the document lists for an OCCS control, or empty.
std::string WarningOf(ModuleProject& project, uint32_t id) { return project.WarningText("OCCS", id); }

// "#define NAME VALUE" lines of a header by name.
std::map<std::string, std::string> Defines(const std::string& header) {
  std::map<std::string, std::string> defines;
  std::istringstream in(header);
  std::string word, name, value;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream parts(line);
    if (parts >> word >> name >> value && word == "#define") defines[name] = value;
  }
  return defines;
}

const std::string kClassicDefines =
    "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n"
    "#define OCCS_PLLDB_INIT 0x2013U\n#define COP_COPCTL_INIT 0x0002U\n"
    "#define COP_COPTO_INIT 0x07FFU\n";

// ---- register tables ----

TEST(OccsTest, RegisterTableFollowsTheChipGroup) {
  ModuleProject classic = OccsProject("CVX-03", "");
  ASSERT_TRUE(classic.Opened());
  const auto& c = Occs(classic).Registers();
  ASSERT_EQ(c.size(), 10u);
  EXPECT_EQ(c[1].resetValue, 0x2013u);
  EXPECT_TRUE(c[2].Has(DUMMYREG));       // no internal oscillator register on CVX-03
  EXPECT_TRUE(c[5].Has(DUMMYREG | NOSHOWLIST));
  EXPECT_TRUE(c[4].Has(DW16));
  EXPECT_EQ(Occs(classic).GetDefineName(c[7]), "COP_COPCTL_INIT");

  ModuleProject fenn = OccsProject("CVX-08", "");
  const auto& f = Occs(fenn).Registers();
  ASSERT_EQ(f.size(), 9u);
  EXPECT_EQ(f[2].resetValue, 0x1200u);
  EXPECT_FALSE(f[5].Has(DUMMYREG));  // CVX-08 has the relaxation oscillator
  EXPECT_TRUE(f[4].Has(DW8));

  ModuleProject tebo = OccsProject("CVX-21", "");
  ModuleProject casp = OccsProject("CVX-25", "");
  EXPECT_TRUE(Occs(tebo).Registers()[3].Has(DUMMYREG));
  EXPECT_FALSE(Occs(casp).Registers()[3].Has(DUMMYREG));
  EXPECT_EQ(Occs(casp).GetDefineName(Occs(casp).Registers()[3]), "OCCS_PROT_INIT");

  ModuleProject brel = OccsProject("CVX-28", "");
  const auto& b = Occs(brel).Registers();
  ASSERT_EQ(b.size(), 10u);
  EXPECT_EQ(b[0].name, "CTRL_INIT");
  EXPECT_EQ(b[7].resetValue, 0x0302u);
  EXPECT_TRUE(b[7].Has(DUMMYREG) && b[8].Has(DUMMYREG));
}

// ---- the worked clock examples ----

TEST(OccsTest, ClassicCrystalWithPllGivesEightyMegahertz) {
  ModuleProject project = OccsProject("CVX-03", kClassicDefines);
  ASSERT_TRUE(project.Opened());
  const OccsClocks clocks = Occs(project).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.vco, 160.0f);
  EXPECT_FLOAT_EQ(clocks.system, 80.0f);
  EXPECT_FLOAT_EQ(clocks.bus, 40.0f);
  EXPECT_FLOAT_EQ(clocks.hsStored, 0.0f);

  project.Doc().OnIdle();
  EXPECT_EQ(WarningOf(project, kOccsCoreRange), "");
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");

  project.OpenPage("OCCS");
  EXPECT_EQ(Ctl(project, kOccsInputFreq).text, "8 MHz");
  EXPECT_EQ(Ctl(project, kOccsVcoFreq).text, "160 MHz");
  EXPECT_EQ(Ctl(project, kOccsCoreFreq).text, "80 MHz");  // the core runs at F_out here
  EXPECT_EQ(Ctl(project, kOccsCoreRange).text, "(max. 80 MHz)");
  EXPECT_EQ(Ctl(project, kOccsVcoRange).text, "(80...240 MHz)");
  // COP: 80 MHz / 2^14 divided by 0x7FF + 1.
  EXPECT_EQ(Ctl(project, kOccsCopTimeout).text, "419.4304 ms");
  // Loss of reference: 2 x 10 / 80 MHz.
  EXPECT_EQ(Ctl(project, kOccsLorPeriodTime).text, "0.25 us");
  EXPECT_EQ(Ctl(project, kOccsMultiplyEdit).text, "20");
}

TEST(OccsTest, FennRunsAtSixtyMegahertzFromRelaxationOscillatorOrCrystal) {
  // CVX-08 has the relaxation oscillator (PLLCR bit 2 clear selects it).
  ModuleProject relax = OccsProject("CVX-08", "#define OCCS_PLLCR_INIT 0x0082U\n#define OCCS_PLLDB_INIT 0x201DU\n");
  ASSERT_TRUE(relax.Opened());
  OccsClocks clocks = Occs(relax).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.input, 8.0f);
  EXPECT_FLOAT_EQ(clocks.vco, 240.0f);
  EXPECT_FLOAT_EQ(clocks.core, 60.0f);
  EXPECT_FLOAT_EQ(clocks.system, 60.0f);
  EXPECT_FLOAT_EQ(clocks.bus, 60.0f);

  // CVX-10 has none: the 8 MHz crystal feeds the PLL.
  ModuleProject crystal = OccsProject("CVX-10", "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n");
  clocks = Occs(crystal).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.vco, 240.0f);
  EXPECT_FLOAT_EQ(clocks.system, 60.0f);
  EXPECT_FLOAT_EQ(clocks.bus, 60.0f);
  crystal.Doc().OnIdle();
  EXPECT_EQ(WarningOf(crystal, kOccsCoreRange), "");
}

TEST(OccsTest, TeboHighSpeedClockAtItsLimitAndAbove) {
  ModuleProject project = OccsProject("CVX-21", "#define EXTCLK 4000000L\n#define OCCS_PLLCR_INIT 0x0082U\n"
                                "#define OCCS_PLLDB_INIT 0x2000U\n");
  ASSERT_TRUE(project.Opened());
  OccsClocks clocks = Occs(project).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.input, 8.0f);  // relaxation oscillator, not the 4 MHz clock
  EXPECT_FLOAT_EQ(clocks.vco, 192.0f);  // fixed multiplier 24
  EXPECT_FLOAT_EQ(clocks.core, 32.0f);
  EXPECT_FLOAT_EQ(clocks.system, 32.0f);
  EXPECT_FLOAT_EQ(clocks.hsStored, 96.0f);

  Page& page = project.OpenPage("OCCS");
  EXPECT_EQ(Ctl(project, kOccsMultiplyEdit).text, "24 (fixed)");
  EXPECT_FALSE(Ctl(project, kOccsMultiplyEdit).enabled);
  EXPECT_EQ(Ctl(project, kOccsHsFreq).text, "96 MHz");
  project.Doc().OnIdle();
  EXPECT_EQ(WarningOf(project, kOccsHsLabel), "");

  // A 9 MHz re-trimmed oscillator pushes the high-speed clock to 108 MHz.
  ASSERT_TRUE(page.Click(kOccsFactoryTrim));
  ASSERT_TRUE(page.TypeText(kOccsRetrimEdit, "9000000"));
  EXPECT_EQ(Ctl(project, kOccsHsFreq).text, "108 MHz");
  EXPECT_EQ(Ctl(project, kOccsHsLabel).text, "(max. 96 MHz)");
  EXPECT_EQ(Ctl(project, kOccsHsLabel).textColour, kWarningTextColour);
  EXPECT_EQ(WarningOf(project, kOccsHsLabel),
            "Current operating system frequency exceeds the maximum which is 96 MHz");
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().hsStored, 108.0f);
}

TEST(OccsTest, HighSpeedLabelLinksToTheSystemModuleBoxes) {
  ModuleProject plain = OccsProject("CVX-21", "", [](ModuleFactory& factory) {
    factory.Register("SYS_V2_Classic", [](const ArchitectureEntry&, CModuleBase*) {
      return std::unique_ptr<CModuleBase>();  // a project without a SYS module
    });
  });
  ASSERT_TRUE(plain.Opened());
  plain.OpenPage("OCCS");
  EXPECT_EQ(Ctl(plain, kOccsHsLabel).text, "(PWM/Timer)");

  ModuleProject linked = OccsProject("CVX-21", "");
  linked.OpenPage("OCCS");
  EXPECT_EQ(Ctl(linked, kOccsHsLabel).text,
            "(<A HREF=\"tarq:SYS/SYS_V2_Classic/"
            "PWM%20clock%20sourced%20from%20HS_PERF%20(3x%20System%20Clock)\">PWM</A>/"
            "<A HREF=\"tarq:SYS/SYS_V2_Classic/"
            "Timer%20clock%20sourced%20from%20HS_PERF%20(3x%20System%20Clock)\">Timer</A>)");
  EXPECT_EQ(Ctl(linked, kOccsHsLabel).textColour, kNormalTextColour);
}

TEST(OccsTest, PllOffGivesNoVcoAndSelectingItsOutputTurnsItOn) {
  // Postscaler output selected while the PLL is off (bit 4 set).
  ModuleProject project = OccsProject("CVX-03", "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0092U\n");
  ASSERT_TRUE(project.Opened());
  OccsClocks clocks = Occs(project).ComputeClocks();
  EXPECT_FALSE(clocks.pllEnabled);
  EXPECT_FLOAT_EQ(clocks.vco, 0.0f);
  EXPECT_FLOAT_EQ(clocks.system, 0.0f);
  EXPECT_FLOAT_EQ(clocks.bus, 0.0f);
  Occs(project).UpdateValues();
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");

  // The page enforces the PLL (and its lock detector) for the postscaler output.
  project.OpenPage("OCCS");
  EXPECT_EQ(RegValue(project, 0) & 0x0090u, 0x0080u);
  EXPECT_TRUE(Ctl(project, kOccsEnablePll).checked);
  EXPECT_FALSE(Ctl(project, kOccsEnablePll).enabled);
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().system, 80.0f);

  // Back to the prescaler output: the PLL box may be cleared again.
  Page& page = *Occs(project).GetPage();
  ASSERT_TRUE(page.SelectItem(kOccsClockSourceList, 0));
  EXPECT_TRUE(Ctl(project, kOccsEnablePll).enabled);
  ASSERT_TRUE(page.Click(kOccsEnablePll));
  EXPECT_EQ(Ctl(project, kOccsVcoFreq).text, "OFF");
  EXPECT_EQ(Ctl(project, kOccsCoreFreq).text, "8 MHz");
  EXPECT_FALSE(Ctl(project, kOccsPostscalerList).enabled);
}

// ---- edits of the page ----

TEST(OccsTest, CrystalFrequencyTextMustBeOneNumber) {
  ModuleProject project = OccsProject("CVX-03", kClassicDefines);
  Page& page = project.OpenPage("OCCS");
  EXPECT_EQ(Ctl(project, kOccsXtalFreqEdit).text, "8");

  ASSERT_TRUE(page.TypeText(kOccsXtalFreqEdit, "8x"));
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().input, 0.0f);
  EXPECT_EQ(Ctl(project, kOccsInputFreq).text, "OFF");
  EXPECT_FLOAT_EQ(project.Doc().GetSettings().extClkMHz, 8.0f);  // the project keeps its value
  for (const char* text : {"nan", "-8", "8 ", ""}) {
    ASSERT_TRUE(page.TypeText(kOccsXtalFreqEdit, text));
    EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().input, 0.0f) << text;
  }

  ASSERT_TRUE(page.TypeText(kOccsXtalFreqEdit, "4"));
  EXPECT_FLOAT_EQ(project.Doc().GetSettings().extClkMHz, 4.0f);
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().system, 40.0f);
  EXPECT_NE(project.SavedHeader().find("#define APPCFG_EXTCLK 4000000L\n"), std::string::npos);
}

TEST(OccsTest, RetrimClockOutsideTheTrimRangeIsWarned) {
  ModuleProject project = OccsProject("CVX-08", "#define OCCS_PLLCR_INIT 0x0082U\n");
  Page& page = project.OpenPage("OCCS");
  EXPECT_FALSE(Ctl(project, kOccsRetrimEdit).enabled);
  ASSERT_TRUE(page.Click(kOccsFactoryTrim));
  EXPECT_TRUE(Ctl(project, kOccsRetrimEdit).enabled);
  EXPECT_FALSE(Ctl(project, kOccsTrimEdit).enabled);

  const std::string tip =
      "Internal relaxation oscillator may be trimmed by 40% in time-domain (approx 5.7 to 13.3 MHz).";
  struct Case {
    const char* hertz;
    bool warned;
  };
  for (const Case& c : {Case{"13100000", true}, Case{"13000000", false}, Case{"5700000", false},
                        Case{"5600000", true}, Case{"8000000", false}}) {
    ASSERT_TRUE(page.TypeText(kOccsRetrimEdit, c.hertz));
    EXPECT_EQ(WarningOf(project, kOccsRetrimRange), c.warned ? tip : "") << c.hertz;
    EXPECT_EQ(Ctl(project, kOccsRetrimRange).text, "(appr 6...13 MHz)");
  }
  EXPECT_EQ(RegValue(project, 6), 8000000u);
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().input, 8.0f);

  // With the oscillator not used the re-trim clock does not matter.
  ASSERT_TRUE(page.TypeText(kOccsRetrimEdit, "13100000"));
  ASSERT_TRUE(page.SelectItem(kOccsRelaxList, 1));
  EXPECT_EQ(WarningOf(project, kOccsRetrimRange), "");
  EXPECT_FALSE(Ctl(project, kOccsFactoryTrim).enabled);
}

TEST(OccsTest, MultiplierAndDivisorOutsideTheirRangesCountAsZero) {
  ModuleProject project = OccsProject("CVX-03", kClassicDefines);
  Page& page = project.OpenPage("OCCS");

  ASSERT_TRUE(page.TypeText(kOccsCopDivisorEdit, "4096"));
  EXPECT_NE(Ctl(project, kOccsCopTimeout).text, "OFF");
  ASSERT_TRUE(page.TypeText(kOccsCopDivisorEdit, "0"));
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().copTimeoutSeconds, 0.0f);
  EXPECT_EQ(Ctl(project, kOccsCopTimeout).text, "OFF");
  ASSERT_TRUE(page.TypeText(kOccsCopDivisorEdit, "4097"));
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().copTimeoutSeconds, 0.0f);

  ASSERT_TRUE(page.TypeText(kOccsMultiplyEdit, "129"));
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().vco, 0.0f);
  EXPECT_EQ(WarningOf(project, kOccsVcoRange),
            "PLL output frequency should be kept between 80 and 240 MHz on this device");

  // Outside the classic group the divisor reaches 65536.
  ModuleProject later = OccsProject("CVX-07", "#define APPCFG_EXTCLK 8000000L\n");
  Page& laterPage = later.OpenPage("OCCS");
  ASSERT_TRUE(laterPage.TypeText(kOccsCopDivisorEdit, "65536"));
  EXPECT_GT(Occs(later).ComputeClocks().copTimeoutSeconds, 0.0f);
  ASSERT_TRUE(laterPage.TypeText(kOccsCopDivisorEdit, "65537"));
  EXPECT_FLOAT_EQ(Occs(later).ComputeClocks().copTimeoutSeconds, 0.0f);
}

TEST(OccsTest, SystemClockAndPllLimitsRaiseTheirWarnings) {
  ModuleProject project = OccsProject("CVX-03", kClassicDefines);
  Page& page = project.OpenPage("OCCS");
  ASSERT_TRUE(page.TypeText(kOccsMultiplyEdit, "25"));  // VCO 200, system 100 MHz
  EXPECT_EQ(WarningOf(project, kOccsCoreRange),
            "Current operating system frequency exceeds the maximum which is 80 MHz");
  EXPECT_EQ(Ctl(project, kOccsCoreRange).textColour, kWarningTextColour);
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");

  ASSERT_TRUE(page.TypeText(kOccsMultiplyEdit, "31"));  // VCO 248
  EXPECT_EQ(WarningOf(project, kOccsVcoRange),
            "PLL output frequency should be kept between 80 and 240 MHz on this device");

  ASSERT_TRUE(page.TypeText(kOccsMultiplyEdit, "20"));
  EXPECT_EQ(WarningOf(project, kOccsCoreRange), "");
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");
  EXPECT_EQ(Ctl(project, kOccsCoreRange).textColour, kNormalTextColour);

  // The saved header holds the fields the lists chose.
  ASSERT_TRUE(page.SelectItem(kOccsPostscalerList, 1));
  ASSERT_TRUE(page.SelectItem(kOccsLockModeList, 0));
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().system, 40.0f);
  const std::map<std::string, std::string> saved = Defines(project.SavedHeader());
  EXPECT_EQ(saved.at("OCCS_PLLDB_INIT"), "0x2413U");
  EXPECT_EQ(saved.at("OCCS_REQUIRED_LOCK_MODE"), "0x0020U");
  EXPECT_EQ(saved.at("OCCS_PLLCR_INIT"), "0x0082U");
  EXPECT_EQ(saved.at("COP_COPTO_INIT"), "0x07FFU");
}

// ---- the second layout ----

TEST(OccsTest, MasterOscillatorListWritesTwoRegisters) {
  ModuleProject project = OccsProject("CVX-28", "#define APPCFG_EXTCLK 10000000L\n#define APPCFG_EXTAL 8000000L\n"
                                "#define OCCS_CTRL_INIT 0x0082U\n#define OCCS_DIVBY_INIT 0x2000U\n");
  ASSERT_TRUE(project.Opened());
  OccsClocks clocks = Occs(project).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.vco, 192.0f);
  EXPECT_FLOAT_EQ(clocks.system, 32.0f);
  EXPECT_FLOAT_EQ(clocks.hsStored, 96.0f);

  Page& page = project.OpenPage("OCCS");
  EXPECT_EQ(Ctl(project, kOccsMstrOscList).selection, 0);
  EXPECT_FALSE(Ctl(project, kOccsClkinEdit).enabled);

  ASSERT_TRUE(page.SelectItem(kOccsMstrOscList, 2));  // CLKIN
  EXPECT_TRUE(RegValue(project, 0) & 0x4u);
  EXPECT_TRUE(RegValue(project, 2) & 0x400u);
  EXPECT_TRUE(Ctl(project, kOccsClkinEdit).enabled);
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().input, 10.0f);

  ASSERT_TRUE(page.SelectItem(kOccsMstrOscList, 1));  // crystal oscillator / XTAL
  EXPECT_TRUE(RegValue(project, 0) & 0x4u);
  EXPECT_FALSE(RegValue(project, 2) & 0x400u);
  EXPECT_FLOAT_EQ(Occs(project).ComputeClocks().input, 8.0f);
  // Crystal off by default: the edit holds the direct clock on XTAL.
  EXPECT_EQ(Ctl(project, kOccsXtalFreqCaption).text, "Direct clock frequency (XTAL):");
  ASSERT_TRUE(page.Click(kOccsCrystalEnable));
  EXPECT_EQ(Ctl(project, kOccsXtalFreqCaption).text, "Crystal oscilator frequency:");
  ASSERT_TRUE(page.TypeText(kOccsXtalFreqEdit, "4"));
  EXPECT_FLOAT_EQ(project.Doc().GetSettings().extalMHz, 4.0f);
  EXPECT_FLOAT_EQ(project.Doc().GetSettings().extClkMHz, 10.0f);

  ASSERT_TRUE(page.SelectItem(kOccsMstrOscList, 0));
  EXPECT_FALSE(RegValue(project, 0) & 0x4u);

  // The relaxation oscillator switched off while it is the master oscillator.
  ASSERT_TRUE(page.Click(kOccsRelaxEnable));
  Occs(project).CheckWarnings();
  EXPECT_EQ(WarningOf(project, kOccsMstrOscCaption),
            "Internal relaxation oscillator is not enabled (and is selected as MSTR_OSC).");
  EXPECT_EQ(Ctl(project, kOccsMstrOscCaption).text, "MSTR_OSC source");
  ASSERT_TRUE(page.Click(kOccsRelaxEnable));
  Occs(project).CheckWarnings();
  EXPECT_EQ(WarningOf(project, kOccsMstrOscCaption), "");
}

TEST(OccsTest, BrelPageNotesTheUserSlotThatServesTheClockInterrupt) {
  ModuleProject plain = OccsProject("CVX-28", "#define OCCS_CTRL_INIT 0x0082U\n");
  plain.OpenPage("OCCS");
  EXPECT_FALSE(Ctl(plain, kOccsUserVectorNote).shown);

  // USER1 takes vector 11, the clock module's loss of lock / clock interrupt.
  ModuleProject slot = OccsProject("CVX-28", "#define OCCS_CTRL_INIT 0x0082U\n#define WINTC_IAR0_INIT 0x000BU\n"
                             "#define INT_VECTOR_ADDR_45 ClockLossIsr\n");
  ASSERT_TRUE(slot.Opened());
  slot.OpenPage("OCCS");
  const Control& note = Ctl(slot, kOccsUserVectorNote);
  EXPECT_TRUE(note.shown);
  EXPECT_EQ(PlainTextOf(note.text), "NOTE: defined as USER1 (ClockLossIsr) in WINTC module.");
  EXPECT_EQ(FirstLinkOf(note.text).rfind("tarq:WINTC/INTC", 0), 0u);
}

TEST(OccsTest, DornHalvesTheCrystalAndKeepsItsOwnLimits) {
  ModuleProject project = OccsProject("CVX-31", "#define APPCFG_EXTAL 8000000L\n#define OCCS_CTRL_INIT 0x0086U\n"
                                "#define OCCS_DIVBY_INIT 0x201DU\n#define OCCS_OSCTL_INIT 0x0200U\n");
  ASSERT_TRUE(project.Opened());
  OccsClocks clocks = Occs(project).ComputeClocks();  // crystal, multiplier 30
  EXPECT_FLOAT_EQ(clocks.input, 8.0f);
  EXPECT_FLOAT_EQ(clocks.vco, 240.0f);
  EXPECT_FLOAT_EQ(clocks.system, 60.0f);
  EXPECT_FLOAT_EQ(clocks.hsStored, 120.0f);
  project.Doc().OnIdle();
  EXPECT_EQ(WarningOf(project, kOccsHsLabel), "");
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");

  Page& page = project.OpenPage("OCCS");
  ASSERT_TRUE(page.Click(kOccsDivideBy2));
  clocks = Occs(project).ComputeClocks();
  EXPECT_FLOAT_EQ(clocks.input, 4.0f);
  EXPECT_FLOAT_EQ(clocks.vco, 120.0f);  // still inside 120...240
  EXPECT_EQ(WarningOf(project, kOccsVcoRange), "");
  ASSERT_TRUE(page.TypeText(kOccsMultiplyEdit, "29"));
  EXPECT_EQ(WarningOf(project, kOccsVcoRange),
            "PLL output frequency should be kept between 120 and 240 MHz on this device");
}

// ---- pins ----

TEST(OccsTest, SignalUseFollowsTheOscillatorSettings) {
  ModuleProject casp = OccsProject("CVX-25", "#define OCCS_PLLCR_INIT 0x0086U\n#define OCCS_OSCTL_INIT 0x0800U\n");
  ASSERT_TRUE(casp.Opened());
  CpmOCCS& occs = Occs(casp);
  // External clock on XTAL with the oscillator in high-power mode.
  EXPECT_TRUE(occs.IsSignalUsed("EXTAL"));
  EXPECT_TRUE(occs.IsSignalUsed("xtal"));
  EXPECT_FALSE(occs.IsSignalUsed("CLKIN_PRI"));
  EXPECT_FALSE(occs.IsSignalUsed("CLKIN_XTL"));
  occs.Registers()[2].value = 0x1800;  // power off: a clock on XTAL
  EXPECT_FALSE(occs.IsSignalUsed("EXTAL"));
  EXPECT_TRUE(occs.IsSignalUsed("CLKIN_XTL"));
  occs.Registers()[2].value = 0x0400;  // alternate pin
  EXPECT_TRUE(occs.IsSignalUsed("CLKIN_ALT"));
  EXPECT_FALSE(occs.IsSignalUsed("CLKIN_PRI"));
  occs.Registers()[0].value = 0x0082;  // relaxation oscillator: no pins at all
  EXPECT_FALSE(occs.IsSignalUsed("CLKIN_ALT"));

  ModuleProject classic = OccsProject("CVX-03", kClassicDefines);
  EXPECT_FALSE(Occs(classic).IsSignalUsed("EXTAL"));  // no relaxation oscillator part

  ModuleProject brel = OccsProject("CVX-28", "#define OCCS_CTRL_INIT 0x0086U\n#define OCCS_OSCTL_INIT 0x1200U\n");
  CpmOCCS& second = Occs(brel);
  // Crystal selected but the crystal oscillator off: a direct clock on XTAL.
  EXPECT_TRUE(second.IsSignalUsed("XTAL"));
  EXPECT_FALSE(second.IsSignalUsed("EXTAL"));
  EXPECT_FALSE(second.IsSignalUsed("CLKIN"));
  second.Registers()[2].value = 0x0200;  // crystal oscillator on
  EXPECT_TRUE(second.IsSignalUsed("EXTAL"));
  EXPECT_FALSE(second.IsSignalUsed("CLKIN"));
  second.Registers()[2].value = 0x1600;  // CLKIN, crystal off
  EXPECT_TRUE(second.IsSignalUsed("CLKIN"));
  EXPECT_FALSE(second.IsSignalUsed("XTAL"));
}

TEST(OccsTest, TeboClkinPinNeedsGpioInputMode) {
  // The part's own port B: pin 6 starts in peripheral mode.
  ModuleProject project = OccsProject("CVX-21", "#define EXTCLK 4000000L\n#define OCCS_PLLCR_INIT 0x0086U\n");
  ASSERT_TRUE(project.Opened());
  CModuleBase* port = project.Doc().FindModule("GPIO_B", "");
  ASSERT_NE(port, nullptr);
  project.Doc().OnIdle();
  EXPECT_EQ(WarningOf(project, CModule::kPinWarningControlId),
            "The GPIO_B6 pin is now in Peripheral mode which may prevent using it as CLKIN.");

  port->FindOwnRegister("PER_INIT")->value = 0x00BF;
  port->FindOwnRegister("DDR_INIT")->value = 0x0040;
  Occs(project).CheckWarnings();
  EXPECT_EQ(WarningOf(project, CModule::kPinWarningControlId),
            "The GPIO_B6 pin is now in Output mode which prevents using the pin as CLKIN.");

  port->FindOwnRegister("DDR_INIT")->value = 0;
  project.OpenPage("OCCS");
  Occs(project).CheckWarnings();
  EXPECT_EQ(WarningOf(project, CModule::kPinWarningControlId), "");  // a note, not a warning
  const Control& note = Ctl(project, CModule::kPinWarningControlId);
  EXPECT_TRUE(note.shown);
  EXPECT_EQ(note.text, "The GPIO_B6 pin should be left in Input mode to operate as CLKIN pin.");

  ASSERT_TRUE(Occs(project).GetPage()->SelectItem(kOccsRelaxList, 0));  // relaxation used
  Occs(project).CheckWarnings();
  EXPECT_FALSE(Ctl(project, CModule::kPinWarningControlId).shown);
}

// ---- clock queries ----

TEST(OccsTest, OtherModulesReadTheClocksAndTheInfoBarIsTold) {
  ModuleProject project = OccsProject("CVX-21", "#define OCCS_PLLCR_INIT 0x0082U\n");
  ASSERT_TRUE(project.Opened());
  CModule reader([] {
    ArchitectureEntry entry;
    entry.name = "READER";
    entry.kind = "READER";
    return entry;
  }());
  reader.InitModule(project.Doc());
  reader.OnModulesReady();
  EXPECT_FLOAT_EQ(reader.GetBusClockMHz(), 32.0f);
  EXPECT_FLOAT_EQ(reader.GetHSClockMHz(), 96.0f);

  HintRecorder recorder;
  project.Doc().AddObserver(&recorder);
  Occs(project).UpdateValues();  // page closed: nothing to tell
  EXPECT_EQ(recorder.Count(kHintClocksChanged), 0);
  Page& page = project.OpenPage("OCCS");
  recorder.hints.clear();
  ASSERT_TRUE(page.SelectItem(kOccsPostscalerList, 1));
  EXPECT_GE(recorder.Count(kHintClocksChanged), 1);
  EXPECT_FLOAT_EQ(reader.GetBusClockMHz(), 16.0f);
  project.Doc().RemoveObserver(&recorder);

  ModuleProject without = OccsProject("CVX-21", "", [](ModuleFactory& factory) {
    factory.Register("OCCS", [](const ArchitectureEntry&, CModuleBase*) {
      return std::unique_ptr<CModuleBase>();
    });
  });
  ASSERT_TRUE(without.Opened());
  EXPECT_FALSE(HasOccs(without));
  reader.InitModule(without.Doc());
  reader.OnModulesReady();
  EXPECT_FLOAT_EQ(reader.GetBusClockMHz(), 0.0f);
  EXPECT_FLOAT_EQ(reader.GetHSClockMHz(), 0.0f);
}

// ---- the variant rows ----

// A project for every known part (8 MHz external clock) with the row it chose.
struct PartProject {
  std::string part;
  std::unique_ptr<ModuleProject> project;
};
std::vector<PartProject> EveryPart() {
  std::vector<PartProject> parts;
  for (const KnownPart& known : KnownParts()) {
    const std::string part = known.name;
    auto project = std::make_unique<ModuleProject>(
        ProjectSpec{.part = part, .defines = "#define APPCFG_EXTCLK 8000000L\n", .idle = false});
    if (!project->Opened() || !HasOccs(*project)) continue;
    parts.push_back({part, std::move(project)});
  }
  return parts;
}

TEST(OccsVariantTest, EveryRowIsChosenBySomePartAndDeclaresItsPageWithoutFault) {
  std::vector<PartProject> parts = EveryPart();
  ASSERT_GE(parts.size(), 30u);
  std::map<std::string, int> chosen;
  for (PartProject& p : parts) {
    CpmOCCS& occs = Occs(*p.project);
    ASSERT_NE(occs.Variant(), nullptr) << p.part;
    ++chosen[occs.Variant()->name];
    EXPECT_EQ(occs.Declaration().Verify(), std::vector<std::string>()) << p.part;
    // Every declared control reaches the page under its id.
    Page& page = p.project->OpenPage("OCCS");
    for (const DeclaredControl* control : occs.Declaration().Controls())
      for (uint32_t id : control->Ids()) EXPECT_NE(page.Find(id), nullptr) << p.part << " " << id;
    EXPECT_NE(page.Find(CModule::kPinWarningControlId), nullptr) << p.part;
  }
  for (const OccsVariant& row : OccsVariants()) EXPECT_GT(chosen[row.name], 0) << row.name;
  // The rows a part name picks: the part tweaks win over their group.
  auto rowOf = [&parts](const std::string& part) -> std::string {
    for (PartProject& p : parts)
      if (p.part == part) return Occs(*p.project).Variant()->name;
    return "(no project)";
  };
  EXPECT_EQ(rowOf("CVX-02"), "CVX-02");
  EXPECT_EQ(rowOf("CVX-04"), "classic");
  EXPECT_EQ(rowOf("CVX-09"), "CVX-08/09");
  EXPECT_EQ(rowOf("CVX-12"), "Fenn");
  EXPECT_EQ(rowOf("CVX-29"), "Brel");
  EXPECT_EQ(rowOf("CVX-28"), "CVX-28");
  EXPECT_EQ(rowOf("CVX-07"), "later");
}

TEST(OccsVariantTest, OnlyThePartThatAlwaysRunsFromItsRelaxationOscillatorLocksItsList) {
  for (PartProject& p : EveryPart()) {
    ModuleProject& project = *p.project;
    Page& page = project.OpenPage("OCCS");
    const Control* list = page.Find(kOccsRelaxList);
    // The list exists where the first layout has a relaxation oscillator.
    const bool firstWithRelax = Occs(project).HasRelaxationOscillator() && !Occs(project).UsesSecondLayout();
    ASSERT_EQ(list != nullptr, firstWithRelax) << p.part;
    if (!list) continue;
    const bool locked = p.part == "CVX-02";
    EXPECT_EQ(list->enabled, !locked) << p.part;
    // "Not used" written behind the page's back: CVX-02 returns to its oscillator.
    Occs(project).Registers()[0].value |= 1u << 2;
    Occs(project).UpdateEnables();
    EXPECT_EQ(Ctl(project, kOccsRelaxList).enabled, !locked) << p.part;
    EXPECT_EQ((RegValue(project, 0) >> 2) & 1u, locked ? 0u : 1u) << p.part;
  }
}

TEST(OccsVariantTest, TrimAndRetrimFollowTheRelaxationOscillatorOnEveryPartThatHasOne) {
  for (PartProject& p : EveryPart()) {
    ModuleProject& project = *p.project;
    CpmOCCS& occs = Occs(project);
    Page& page = project.OpenPage("OCCS");
    ASSERT_EQ(page.Find(kOccsTrimEdit) != nullptr, occs.HasRelaxationOscillator()) << p.part;
    if (!occs.HasRelaxationOscillator()) continue;
    // Put the relaxation oscillator in use: first layout "Used" (CTRL bit 2 clear); second
    // layout enabled (OSCTL bit 15 clear) and chosen as MSTR_OSC.
    occs.Registers()[0].value &= ~(1u << 2);
    occs.Registers()[2].value &= ~(1u << 15);
    occs.Registers()[5].value = 0;  // own trim value
    occs.UpdateEnables();
    EXPECT_TRUE(Ctl(project, kOccsTrimEdit).enabled) << p.part;
    EXPECT_TRUE(Ctl(project, kOccsTrimCaption).enabled) << p.part;
    EXPECT_FALSE(Ctl(project, kOccsRetrimEdit).enabled) << p.part;
    EXPECT_FALSE(Ctl(project, kOccsRetrimUnit).enabled) << p.part;
    ASSERT_TRUE(page.Click(kOccsFactoryTrim)) << p.part;
    EXPECT_FALSE(Ctl(project, kOccsTrimEdit).enabled) << p.part;
    EXPECT_TRUE(Ctl(project, kOccsRetrimEdit).enabled) << p.part;
    EXPECT_TRUE(Ctl(project, kOccsRetrimRange).enabled) << p.part;
    // 8 MHz re-trim clock: the input frequency is the re-trim clock, not the crystal.
    ASSERT_TRUE(page.TypeText(kOccsRetrimEdit, "8000000")) << p.part;
    EXPECT_EQ(Ctl(project, kOccsInputFreq).text, "8 MHz") << p.part;
    // Relaxation oscillator out of use (first layout "Not used", second layout disabled):
    // neither trim entry applies. CVX-02 cannot leave its oscillator.
    occs.Registers()[0].value |= 1u << 2;
    occs.Registers()[2].value |= 1u << 15;
    occs.UpdateEnables();
    if (p.part == "CVX-02") {
      EXPECT_TRUE(Ctl(project, kOccsRetrimEdit).enabled);
      continue;
    }
    EXPECT_FALSE(Ctl(project, kOccsTrimEdit).enabled) << p.part;
    EXPECT_FALSE(Ctl(project, kOccsRetrimEdit).enabled) << p.part;
    EXPECT_FALSE(Ctl(project, kOccsFactoryTrim).enabled) << p.part;
  }
}

TEST(OccsVariantTest, EachExternalClockSelectionUsesItsOwnPins) {
  bool seen = false;
  for (PartProject& p : EveryPart()) {
    ModuleProject& project = *p.project;
    CpmOCCS& occs = Occs(project);
    Page& page = project.OpenPage("OCCS");
    const bool hasList = page.Find(kOccsExtClockList) != nullptr;
    if (!hasList) {
      // Without the list no part answers for the alternate input.
      EXPECT_FALSE(occs.IsSignalUsed("CLKIN_ALT")) << p.part;
      continue;
    }
    seen = true;
    occs.Registers()[0].value |= 1u << 2;  // the external source, not the relaxation oscillator
    struct Case {
      uint32_t selection, power;  // OSCTL bits 10..11 and 12..13
      bool pri, alt, xtl, extal;
    };
    // Power 0: high power (resonator), 1: off (a clock on XTAL).
    const Case cases[] = {
        {0, 0, true, false, false, false}, {1, 0, false, true, false, false},
        {2, 0, false, false, false, true}, {2, 1, false, false, true, false},
        {0, 1, true, false, false, false}, {1, 1, false, true, false, false},
    };
    for (const Case& c : cases) {
      occs.Registers()[2].value = (c.selection << 10) | (c.power << 12);
      const std::string at = p.part + Format(" selection %u power %u", c.selection, c.power);
      EXPECT_EQ(occs.IsSignalUsed("CLKIN_PRI"), c.pri) << at;
      EXPECT_EQ(occs.IsSignalUsed("CLKIN_ALT"), c.alt) << at;
      EXPECT_EQ(occs.IsSignalUsed("CLKIN_XTL"), c.xtl) << at;
      EXPECT_EQ(occs.IsSignalUsed("EXTAL"), c.extal) << at;
      EXPECT_EQ(occs.IsSignalUsed("XTAL"), c.extal) << at;
      // The oscillator power applies only to the crystal input.
      occs.UpdateEnables();
      EXPECT_EQ(Ctl(project, kOccsOscPowerList).enabled, c.selection == 2) << at;
    }
  }
  EXPECT_TRUE(seen);
}

TEST(OccsVariantTest, PostscalerFieldHoldsEveryItemOfItsList) {
  // Each row's postscaler list: the last item must reach the register and divide the clock
  // by its own power of two. The PLL runs at 8 MHz x multiplier; with the last of n items
  // the PLL output falls by 2^(n-1) against the first item.
  for (PartProject& p : EveryPart()) {
    ModuleProject& project = *p.project;
    CpmOCCS& occs = Occs(project);
    Page& page = project.OpenPage("OCCS");
    ASSERT_TRUE(page.SelectItem(kOccsClockSourceList, 1)) << p.part;  // the PLL
    const int items = static_cast<int>(Ctl(project, kOccsPostscalerList).items.size());
    ASSERT_GE(items, 4) << p.part;
    ASSERT_TRUE(page.SelectItem(kOccsPostscalerList, 0)) << p.part;
    const float first = occs.ComputeClocks().output;
    ASSERT_TRUE(page.SelectItem(kOccsPostscalerList, items - 1)) << p.part;
    EXPECT_EQ(Ctl(project, kOccsPostscalerList).selection, items - 1) << p.part;
    const float last = occs.ComputeClocks().output;
    if (first > 0) EXPECT_FLOAT_EQ(last * static_cast<float>(1 << (items - 1)), first) << p.part;
    else ADD_FAILURE() << p.part << ": no clock from the PLL";
  }
}

TEST(OccsPartnerTest, TheCrystalPinsServeTheWatchdogAndTheClockOutputsThatNeedThem) {
  // CVX-28 on its relaxation oscillator with the crystal oscillator off: XTAL carries a
  // direct clock only when some partner needs the crystal clock.
  const std::string defines = "#define OCCS_CTRL_INIT 0x0082U\n#define OCCS_OSCTL_INIT 0x1000U\n";
  WatchdogStub* watchdog = nullptr;
  ModuleProject project = OccsProject("CVX-28", defines, [&watchdog](ModuleFactory& factory) {
    factory.Register("COP_Brel", [&watchdog](const ArchitectureEntry& entry, CModuleBase*) {
      auto stub = std::make_unique<WatchdogStub>(entry);
      watchdog = stub.get();
      return std::unique_ptr<CModuleBase>(std::move(stub));
    });
  });
  ASSERT_TRUE(project.Opened());
  ASSERT_NE(watchdog, nullptr);
  CpmOCCS& occs = Occs(project);
  ASSERT_FALSE(occs.IsCrystalOscillatorEnabled());
  ASSERT_EQ(occs.GetMasterOscillatorSource(), 0);
  EXPECT_FALSE(occs.IsSignalUsed("XTAL"));
  watchdog->source = WatchdogClock::Source::CrystalOscillator;
  EXPECT_TRUE(occs.IsSignalUsed("XTAL"));
  EXPECT_FALSE(occs.IsSignalUsed("EXTAL"));
  watchdog->source = WatchdogClock::Source::Relaxation;
  EXPECT_FALSE(occs.IsSignalUsed("XTAL"));

  // The system module's clock outputs: enabled (bit clear) and fed from "Crystal Oscillator
  // / XTAL" (source 5). CLKO_0: enable bit 5, source bits 0..4; CLKO_1: bit 13, bits 8..10.
  Register* clkosr = project.Doc().FindModule("SYS", "")->FindOwnRegister("-SIM_CLKOSR_INIT");
  ASSERT_NE(clkosr, nullptr);
  const struct {
    uint32_t value;
    bool needed;
  } cases[] = {
      {0x2020, false},  // both outputs off
      {0x2005, true},   // CLKO_0 from the crystal
      {0x2025, false},  // CLKO_0 set to the crystal but off
      {0x2004, false},  // CLKO_0 from the relaxation oscillator
      {0x0520, true},   // CLKO_1 from the crystal
      {0x2520, false},  // CLKO_1 set to the crystal but off
  };
  for (const auto& c : cases) {
    clkosr->value = c.value;
    EXPECT_EQ(occs.IsSignalUsed("XTAL"), c.needed) << std::hex << c.value;
  }
}

}  // namespace
}  // namespace tarq

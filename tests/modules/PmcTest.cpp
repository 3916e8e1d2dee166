// The power management controller: the enable chain of its page, the regulator trim items,
// the interrupt area on the parts that have the vector, and the 1 kHz oscillator as the
// system module's clock outputs see it.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/pmc.h"
#include "modules/sys.h"

namespace tarq {
namespace {

bool Enabled(ModuleProject& project, const std::string& key) {
  auto& pmc = project.Module<CpmPMC>("PMC");
  return project.Ctl("PMC", pmc.ControlIdOf(key))->enabled;
}

TEST(PmcPage, TheLowVoltageControlsAndTheInterruptAreaFollowEnableLvd) {
  ModuleProject project({.part = "CVX-28"});
  ASSERT_TRUE(project.Opened());
  auto& pmc = project.Module<CpmPMC>("PMC");
  Page& page = project.OpenPage("PMC");
  const char* const lvdControls[] = {"Level:", "Out of Regulation interrupt", "LVD Interrupt",
                                     "Enable LVD reset", "Enable Partial Power Down",
                                     "Enable Wake-Up on Interrupt", "Enable Bandgap buffer",
                                     "Trim (trim_increment):"};
  Register& scr = project.Reg("PMC", "-PMC_SCR_INIT");
  // Reset 0x0208: LVD on.
  pmc.UpdateEnables();
  for (const char* key : lvdControls) EXPECT_TRUE(Enabled(project, key)) << key;
  ASSERT_NE(page.Find(CModule::kInterruptPanelBase), nullptr);
  EXPECT_TRUE(page.Find(CModule::kInterruptPanelBase)->shown);

  scr.value &= ~0x0008u;
  pmc.UpdateEnables();
  for (const char* key : lvdControls) EXPECT_FALSE(Enabled(project, key)) << key;
  EXPECT_FALSE(page.Find(CModule::kInterruptPanelBase)->shown);
  EXPECT_TRUE(Enabled(project, "Protection:"));

  // The factory trim takes the regulator trim out of the user's hands.
  scr.value |= 0x0008u;
  project.Reg("PMC", "USE_FACTORY_LVD_TRIM").value = 1;
  pmc.UpdateEnables();
  EXPECT_FALSE(Enabled(project, "Trim (trim_increment):"));
  EXPECT_TRUE(Enabled(project, "Level:"));
}

TEST(PmcPage, TheOscillatorTrimNeedsTheOscillatorAndNoFactoryTrim) {
  ModuleProject project({.part = "CVX-28"});
  ASSERT_TRUE(project.Opened());
  auto& pmc = project.Module<CpmPMC>("PMC");
  project.OpenPage("PMC");
  Register& cr2 = project.Reg("PMC", "-PMC_CR2_INIT");
  Register& factory = project.Reg("PMC", "USE_FACTORY_1KHZ_TRIM");
  struct Case {
    bool oscillator, factoryTrim, factoryBox, trim;
  };
  for (const Case& c : {Case{false, false, false, false}, Case{true, false, true, true},
                        Case{true, true, true, false}, Case{false, true, false, false}}) {
    cr2.value = c.oscillator ? 0x01FF : 0x00FF;
    factory.value = c.factoryTrim;
    pmc.UpdateEnables();
    EXPECT_EQ(Enabled(project, CpmPMC::kOscFactoryKey), c.factoryBox);
    EXPECT_EQ(Enabled(project, CpmPMC::kOscTrimKey), c.trim);
    EXPECT_EQ(pmc.IsLowPowerOscillatorEnabled(), c.oscillator);
  }
}

TEST(PmcPage, RegulatorTrimItemsRepeatMinusSixteenAndEndUntrimmed) {
  ModuleProject project({.part = "CVX-28"});
  ASSERT_TRUE(project.Opened());
  const DeclaredControl* trim = project.Module<CpmPMC>("PMC").Declaration().Find("Trim (trim_increment):");
  ASSERT_NE(trim, nullptr);
  const std::vector<std::string>& items = trim->decl.items;
  ASSERT_EQ(items.size(), 32u);
  EXPECT_EQ(items[0], "-1");
  EXPECT_EQ(items[15], "-16");
  EXPECT_EQ(items[16], "-16");
  EXPECT_EQ(items[17], "14");
  EXPECT_EQ(items[30], "1");
  EXPECT_EQ(items[31], "Untrimmed (Erased IFR)");
  // Reset CR2 0x00FF: both trims erased.
  EXPECT_EQ(trim->Mode()->RegisterIndex(), 31);
}

TEST(PmcVariants, DornHasNoVectorSoNoInterruptArea) {
  for (const char* part : {"CVX-28", "CVX-31"}) {
    SCOPED_TRACE(part);
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened());
    auto& pmc = project.Module<CpmPMC>("PMC");
    EXPECT_EQ(pmc.Declaration().Verify(), std::vector<std::string>{});
    const bool brel = std::string(part) == "CVX-28";
    EXPECT_EQ(pmc.InterruptUsers().size(), brel ? 1u : 0u);
    EXPECT_EQ(pmc.Declaration().Has(CpmPMC::kNoteKey), brel);
    Page& page = project.OpenPage("PMC");
    EXPECT_EQ(page.Find(CModule::kInterruptPanelBase) != nullptr, brel);
  }
}

TEST(PmcPartners, TheSystemModuleWarnsOfAClockOutputOnTheStoppedOscillator) {
  ModuleProject project({.part = "CVX-28"});
  ASSERT_TRUE(project.Opened());
  auto& sys = project.Module<CSysModule>("SYS");
  const DeclaredControl* enable = sys.Declaration().Find("Enable CLKO_0");
  const DeclaredControl* source = sys.Declaration().Find("CLKO_0 source");
  ASSERT_TRUE(enable && source);
  enable->Bit()->SetCheck(true);
  source->Mode()->SetIndex(4);  // the 1 kHz oscillator
  project.Reg("PMC", "-PMC_CR2_INIT").value = 0x00FF;
  project.Check();
  auto warning = project.WarningAt("SYS", sys.ControlId("Enable CLKO_0"));
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, "1 kHz oscilator in PMC module is not enabled and is selected as CLKO_0");
  project.Reg("PMC", "-PMC_CR2_INIT").value = 0x01FF;
  project.Check();
  EXPECT_FALSE(project.WarningAt("SYS", sys.ControlId("Enable CLKO_0")));
}

TEST(PmcExample, TheBrelSettingsSurviveASave) {
  ModuleProject project({.part = "CVX-28", .defines = "#define PMC_CR2_INIT 0x01FFU\n"});
  ASSERT_TRUE(project.Opened());
  EXPECT_TRUE(project.Module<CpmPMC>("PMC").IsLowPowerOscillatorEnabled());
  const std::string header = project.SavedHeader();
  EXPECT_NE(header.find("#define PMC_CR2_INIT                      0x01FFU"), std::string::npos)
      << header;
  EXPECT_EQ(header.find("PMC_PMC_"), std::string::npos);
}

}  // namespace
}  // namespace tarq

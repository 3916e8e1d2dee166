// The crossbar in real documents: where each output's field lies, the rows of the page, the
// signals it reports in use, the capability the later modules ask, and the input checks
// against stand-in comparators, timer channels and PWM sub-modules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/ModuleHarness.h"
#include "modules/xbar.h"

namespace tarq {
namespace {

// Partners as the later modules will offer them, answering from one register.
class ComparatorStub : public StubModule, public Comparator {
 public:
  explicit ComparatorStub(const ArchitectureEntry& entry)
      : StubModule(entry, {{"CTRL_INIT", 0x0000, DW16}}) {}
  int ComparatorIndex() const override { return GetPrefix().back() - 'A'; }
  bool IsEnabled() const override { return Registers()[0].value & 1u; }
  bool IsWindowingOrSampling() const override { return false; }
};

class TimerStub : public StubModule, public QuadTimerChannel {
 public:
  explicit TimerStub(const ArchitectureEntry& entry)
      : StubModule(entry, {{"CTRL_INIT", 0x2000, DW16}}) {}
  std::string TimerChannelName() const override { return GetPrefix(); }
  // The count mode in bits 13..15; 0 stops the channel.
  bool IsStopped() const override { return (Registers()[0].value >> 13) == 0; }
};

class PwmStub : public StubModule, public PwmTriggerSource {
 public:
  explicit PwmStub(const ArchitectureEntry& entry)
      : StubModule(entry, {{"TCTRL_INIT", 0x0000, DW16}}) {}
  int SubmoduleIndex() const override { return GetPrefix().back() - '0'; }
  bool IsOutputTriggerEnabled(int trigger) const override {
    return (Registers()[0].value >> trigger) & 1u;
  }
};

template <class Stub>
void RegisterKind(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<Stub>(entry));
  });
}

const std::string kXbarLine = "XBAR XBAR NONE IRQ: \"Crossbar Switch\"\n";

ProjectSpec WithPartners(const std::string& partners, const std::string& defines) {
  return {.part = "CVX-31",
          .defines = defines,
          .tree = kXbarLine + partners,
          .factory = [](ModuleFactory& factory) {
            RegisterKind<ComparatorStub>(factory, "CMP_STUB");
            RegisterKind<TimerStub>(factory, "QT_STUB");
            RegisterKind<PwmStub>(factory, "PWM_STUB");
          }};
}

std::string RowWarning(ModuleProject& project, int output) {
  const auto warning = project.WarningAt("XBAR", CpmXBAR::RowWarningId(output));
  return warning ? warning->text : std::string();
}

TEST(Xbar, EachOutputLivesInHalfARegisterEvenOutputsLow) {
  ModuleProject project({.part = "CVX-31",
                         .defines = "#define XBAR_XBC3_INIT 0x0010U\n#define XBAR_XBC14_INIT 0x0C09U\n"});
  ASSERT_TRUE(project.Opened());
  auto& xbar = project.Module<CpmXBAR>("XBAR");
  ASSERT_EQ(xbar.GetRegisterCount(), 15u);
  // The Dorn example's XBC3 0x0010: output 6 (register 3, bits 0..4) = 16 "PWM0_TRIG_COMB",
  // output 7 (bits 8..12) = 0. XBC14 0x0C09: output 28 = 9 "CMPA_OUT", output 29 = 12.
  EXPECT_EQ(xbar.GetSelectedInput(6), 16);
  EXPECT_EQ(xbar.GetSelectedInput(7), 0);
  EXPECT_EQ(xbar.GetSelectedInput(28), 9);
  EXPECT_EQ(xbar.GetSelectedInput(29), 12);
  EXPECT_EQ(xbar.GetSelectedInput(30), -1);
  EXPECT_EQ(xbar.GetSelectedInput(-1), -1);

  Page& page = project.OpenPage("XBAR");
  const Control* list = page.GetChildPage(CpmXBAR::kRowIdBase + 6)->Find(CpmXBAR::kRowList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->selection, 16);
  EXPECT_EQ(page.GetChildPage(CpmXBAR::kRowIdBase + 6)->Find(CpmXBAR::kRowCaption)->text,
            " 6. ADCA Trigger");
  // Choosing input 5 for output 7 writes the high half only.
  ASSERT_TRUE(page.SelectItem(((CpmXBAR::kRowIdBase + 7) << 16) | CpmXBAR::kRowList, 5));
  EXPECT_EQ(project.Reg("XBAR", "XBC3_INIT").value, 0x0510u);
  EXPECT_NE(project.SavedHeader().find("#define XBAR_XBC3_INIT                    0x0510U"),
            std::string::npos);
}

TEST(Xbar, FieldValuesWithoutAnInputNameShowNothingAndStay) {
  // Output 1 holds 0x1F (31) and output 0 holds 22: neither names an input.
  ModuleProject project({.part = "CVX-31", .defines = "#define XBAR_XBC0_INIT 0x1F16U\n"});
  ASSERT_TRUE(project.Opened());
  auto& xbar = project.Module<CpmXBAR>("XBAR");
  EXPECT_EQ(xbar.GetSelectedInput(0), -1);
  EXPECT_EQ(xbar.GetSelectedInput(1), -1);
  EXPECT_EQ(xbar.GetOutputField(1), 31);
  Page& page = project.OpenPage("XBAR");
  EXPECT_EQ(page.GetChildPage(CpmXBAR::kRowIdBase + 1)->Find(CpmXBAR::kRowList)->selection, -1);
  // Another output's edit leaves the unnamed values alone.
  ASSERT_TRUE(page.SelectItem(((CpmXBAR::kRowIdBase + 2) << 16) | CpmXBAR::kRowList, 3));
  EXPECT_EQ(project.Reg("XBAR", "XBC0_INIT").value, 0x1F16u);
  EXPECT_EQ(project.Reg("XBAR", "XBC1_INIT").value, 0x0003u);
  // Like every list holding a value no item names, the page does not validate.
  EXPECT_FALSE(xbar.ValidateControls(false));
  EXPECT_TRUE(xbar.IsSignalUsed("XB_OUT1"));  // not "Logic 0"
}

TEST(Xbar, RowsSitOnTheirReservedIdsAndEveryRowDeclaresCleanly) {
  ModuleProject project({.part = "CVX-33"});
  ASSERT_TRUE(project.Opened());
  auto& xbar = project.Module<CpmXBAR>("XBAR");
  Page& page = project.OpenPage("XBAR");
  for (int n = 0; n < CpmXBAR::kOutputCount; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(xbar.RowDeclaration(n).Verify(), std::vector<std::string>{});
    EXPECT_TRUE(IsReservedControlId(59748u + static_cast<uint32_t>(n)));
    const Page* row = page.GetChildPage(59748u + static_cast<uint32_t>(n));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Find(CpmXBAR::kRowList)->items.size(), 22u);
    EXPECT_EQ(row->Find(CpmXBAR::kRowCaption)->text.substr(4), CpmXBAR::OutputNames()[static_cast<size_t>(n)]);
  }
  EXPECT_EQ(CpmXBAR::OutputText(2), " 2. Package Pin GPIO_F  2");
  EXPECT_EQ(CpmXBAR::OutputText(29), "29. Quad Timer B3 Input");
}

TEST(Xbar, SignalsAreInUseByWhatTheOutputsSelect) {
  ModuleProject project({.part = "CVX-31", .defines = "#define XBAR_XBC3_INIT 0x0010U\n"});
  ASSERT_TRUE(project.Opened());
  auto& xbar = project.Module<CpmXBAR>("XBAR");
  EXPECT_TRUE(xbar.IsSignalUsed("XB_OUT6"));
  EXPECT_FALSE(xbar.IsSignalUsed("XB_OUT7"));
  EXPECT_TRUE(xbar.IsSignalUsed("XB_IN16"));
  EXPECT_FALSE(xbar.IsSignalUsed("XB_IN2"));
  EXPECT_FALSE(xbar.IsSignalUsed("XB_OUT"));
  EXPECT_FALSE(xbar.IsSignalUsed("XB_OUT99"));
  EXPECT_FALSE(xbar.IsSignalUsed("SCL"));
  // Input 0 ("Logic 0") is what every untouched output selects.
  EXPECT_TRUE(xbar.IsSignalUsed("XB_IN0"));
}

TEST(Xbar, LaterModulesFindItAsTheCrossbarOutputSelector) {
  ModuleProject project({.part = "CVX-31", .defines = "#define XBAR_XBC13_INIT 0x0D00U\n"});
  ASSERT_TRUE(project.Opened());
  CrossbarOutputSelector* selector = FindCapability<CrossbarOutputSelector>(&project.Doc());
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->GetOutputCount(), 30);
  EXPECT_EQ(selector->GetSelectedInput(27), 13);  // register 13, high half
  // The link focuses the row's list: child page 59748 + 27 in the upper half of the id.
  const uint32_t id = ((59748u + 27u) << 16) | CpmXBAR::kRowList;
  EXPECT_EQ(selector->OutputLink(27), "tarq:XBAR/XBAR/" + std::to_string(id));
  EXPECT_EQ(selector->OutputLink(30), "");
}

TEST(XbarChecks, PartnersThatDoNotExistGiveNoWarning) {
  // Every checked input selected, nothing present that produces them (the Dorn parts' own
  // PWM modules are not built yet; the timers and comparators are, and stand stopped or off).
  std::string defines;
  for (int reg = 0; reg < 15; ++reg) {
    const int even = 9 + (2 * reg) % 13, odd = 9 + (2 * reg + 1) % 13;  // inputs 9..21
    defines += "#define XBAR_XBC" + std::to_string(reg) + "_INIT " +
               std::to_string(odd << 8 | even) + "\n";
  }
  ModuleProject project({.part = "CVX-31", .defines = defines});
  ASSERT_TRUE(project.Opened());
  project.Check();
  // The quad timers, comparators and PWM sub-modules exist now: their stopped channels,
  // switched-off comparators and the PWM triggers that are off are reported, nothing else is.
  int stoppedTimers = 0;
  int comparatorsOff = 0;
  int pwmTriggersOff = 0;
  for (const Warning& warning : project.WarningsOf("XBAR")) {
    if (warning.id == CModule::kPinWarningControlId) continue;
    if (warning.text.find("module as input, but QT_B") != std::string::npos &&
        warning.text.find("is in stop mode") != std::string::npos) {
      ++stoppedTimers;
      continue;
    }
    if (warning.text.find("module as input, but HSCMP_") != std::string::npos &&
        warning.text.find("is not enabled") != std::string::npos) {
      ++comparatorsOff;
      continue;
    }
    if (warning.text.find("trigger as input, but PWM") != std::string::npos ||
        warning.text.find("as input, but PWM_3 trigger") != std::string::npos) {
      ++pwmTriggersOff;
      continue;
    }
    ADD_FAILURE() << warning.id << " " << warning.text;
  }
  EXPECT_GT(stoppedTimers, 0);
  EXPECT_GT(comparatorsOff, 0);
  EXPECT_GT(pwmTriggersOff, 0);
  // The outputs on package pins are in use now (they select something): the pin check
  // reports the ones this package has no pin for.
  const auto pins = project.WarningAt("XBAR", CModule::kPinWarningControlId);
  ASSERT_TRUE(pins.has_value());
  EXPECT_NE(pins->text.find("not available on any device pin"), std::string::npos);
}

TEST(XbarChecks, TimerAndComparatorInputsWarnWhileTheirSourceIsOff) {
  // Output 26 takes QT_B0_OUT (12), output 9 CMPA_OUT (9), output 10 CMPB_OUT (10).
  ModuleProject project(WithPartners(
      "QT_B0 QT_STUB NONE IRQ: \"Channel 0\"\nHSCMP_A CMP_STUB NONE IRQ: \"Comparator\"\n",
      "#define XBAR_XBC13_INIT 0x000CU\n#define XBAR_XBC4_INIT 0x0900U\n"
      "#define XBAR_XBC5_INIT 0x000AU\n#define HSCMP_A_CTRL_INIT 0x0001U\n"));
  ASSERT_TRUE(project.Opened());
  project.Check();
  EXPECT_EQ(RowWarning(project, 26), "");  // the channel counts
  EXPECT_EQ(RowWarning(project, 9), "");   // comparator A is enabled
  EXPECT_EQ(RowWarning(project, 10), "");  // no comparator B at all

  project.Reg("QT_B0", "CTRL_INIT").value = 0x0000;  // stop
  project.Reg("HSCMP_A", "CTRL_INIT").value = 0x0000;
  project.Check();
  EXPECT_EQ(RowWarning(project, 26),
            "Cross Bar output \"Quad Timer B0 Input\" has selected QT_B0 module as input, but "
            "QT_B0 is in stop mode");
  EXPECT_EQ(RowWarning(project, 9),
            "Cross Bar output \"Comparator A Window / Sample\" has selected HSCMP_A module as "
            "input, but HSCMP_A is not enabled");
  EXPECT_EQ(RowWarning(project, 10), "");

  // Choosing another input clears the row's warning on the next pass.
  project.Reg("XBAR", "XBC13_INIT").value = 0x0001;
  project.Check();
  EXPECT_EQ(RowWarning(project, 26), "");
}

TEST(XbarChecks, PwmTriggerInputsAskTheSubmodulesThatExist) {
  // Outputs 6..11 take inputs 16..21 (registers 3, 4, 5). Only PWM_0 and PWM_3 exist.
  ModuleProject project(WithPartners(
      "PWM_0 PWM_STUB NONE IRQ: \"Submodule 0\"\nPWM_3 PWM_STUB NONE IRQ: \"Submodule 3\"\n",
      "#define XBAR_XBC3_INIT 0x1110U\n#define XBAR_XBC4_INIT 0x1312U\n"
      "#define XBAR_XBC5_INIT 0x1514U\n#define PWM_3_TCTRL_INIT 0x0002U\n"));
  ASSERT_TRUE(project.Opened());
  project.Check();
  // PWM_0 without triggers: its own input (16) and the combined one (19) warn; PWM_1 and PWM_2
  // do not exist: inputs 17 and 18 stay silent.
  EXPECT_EQ(RowWarning(project, 6),
            "Cross Bar output \"ADCA Trigger\" has selected PWM0 module trigger as input, but "
            "PWM_0 triggers are not selected");
  EXPECT_EQ(RowWarning(project, 7), "");
  EXPECT_EQ(RowWarning(project, 8), "");
  EXPECT_EQ(RowWarning(project, 9),
            "Cross Bar output \"Comparator A Window / Sample\" has selected PWM0, PWM1 or PWM2 "
            "modules trigger as input, but PWM triggers are not selected");
  // PWM_3 has trigger enable 1 on (an odd one): trigger1 is produced, trigger0 is not.
  EXPECT_EQ(RowWarning(project, 10),
            "Cross Bar output \"Comparator B Window / Sample\" has selected PWM3 module trigger0 "
            "as input, but PWM_3 trigger0 is not selected");
  EXPECT_EQ(RowWarning(project, 11), "");

  project.Reg("PWM_0", "TCTRL_INIT").value = 0x0020;  // trigger enable 5
  project.Reg("PWM_3", "TCTRL_INIT").value = 0x0004;  // trigger enable 2 (even)
  project.Check();
  EXPECT_EQ(RowWarning(project, 6), "");
  EXPECT_EQ(RowWarning(project, 9), "");
  EXPECT_EQ(RowWarning(project, 10), "");
  EXPECT_NE(RowWarning(project, 11), "");
}

}  // namespace
}  // namespace tarq

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/Capabilities.h"
#include "framework/Module.h"
#include "framework/Warnings.h"
#include "ModuleListContext.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;

class DocumentHost : public CollectingHost {
 public:
  bool OpenDocument(const std::string& path, const std::string& destination) override {
    opened.push_back({path, destination});
    return true;
  }
  std::vector<std::pair<std::string, std::string>> opened;
};

class TestContext : public ModuleListContext<DocumentHost> {
 public:
  WarningList* GetWarnings() override { return withWarningList ? &warnings : nullptr; }
  bool WarningsEnabled() const override { return warningsEnabled; }
  std::string GetProgramFolder() const override { return programFolder; }

  bool withWarningList = true;
  bool warningsEnabled = false;
  std::string programFolder;
};

ArchitectureEntry Entry(const std::string& name, const std::string& kind,
                        const std::string& linked = "NONE", const std::string& interrupts = "") {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = kind;
  entry.linkedModule = linked;
  entry.interrupts = interrupts;
  return entry;
}

// Records the calls the framework makes, in order.
class RecordingModule : public CModule {
 public:
  using CModule::CModule;
  void UpdateValues() override { calls.push_back("values"); }
  void CheckPinWarnings() override { calls.push_back("pins"); }
  void NotifySystemModule() override { calls.push_back("system"); }
  void ShowWarningControl(uint32_t id, bool set, const std::string& text) override {
    shownWarnings.push_back(std::to_string(id) + (set ? " on " : " off ") + text);
  }
  void ShowControlText(uint32_t id, const std::string& text) override {
    shownTexts.push_back(std::to_string(id) + "=" + text);
  }
  std::vector<std::string> calls;
  std::vector<std::string> shownWarnings;
  std::vector<std::string> shownTexts;
};

class CheckingModule : public CModuleBase {
 public:
  using CModuleBase::CModuleBase;
  void UpdateValues() override { ++updates; }
  void CheckWarnings() override { ++checks; }
  int updates = 0;
  int checks = 0;
};

TEST(ModuleLifecycle, InitModuleResolvesTheLinkedModuleAndAppliesResetParameters) {
  TestContext context;
  CModuleBase occs(Entry("OCCS", "OCCS"));
  context.modules = {&occs};

  const RegisterDecl registers[] = {{"SCIBR_INIT", 0, DW16}};
  CModuleBase sci(Entry("SCI_0", "SCI", "OCCS"));
  sci.InitRegisters(registers, 1);
  sci.SetParameterText("SCIBR_RESET = 0x0004\n");
  sci.InitModule(context);
  EXPECT_EQ(sci.GetContext(), &context);
  EXPECT_EQ(sci.GetLinkedModule(), &occs);
  EXPECT_EQ(sci.Registers()[0].resetValue, 4u);
  EXPECT_EQ(sci.Registers()[0].value, 4u);

  // "none" in any case, an empty text and an unknown name resolve to nothing, even when a
  // module happens to be called NONE.
  CModuleBase none(Entry("NONE", "VOID"));
  context.modules.push_back(&none);
  for (const char* linked : {"none", "NONE", "NoNe", "", "MISSING"}) {
    CModuleBase module(Entry("X", "X", linked));
    module.InitModule(context);
    EXPECT_EQ(module.GetLinkedModule(), nullptr) << linked;
  }
}

TEST(ModuleLifecycle, AModuleWithoutRegistersIsNeverSelected) {
  CModuleBase empty(Entry("E", "EMPTY"));
  empty.SetSelected(true);
  EXPECT_FALSE(empty.IsSelectable());
  EXPECT_FALSE(empty.IsSelected());

  const RegisterDecl registers[] = {{"CTRL_INIT", 0, DW16}};
  CModuleBase real(Entry("R", "R"));
  real.InitRegisters(registers, 1);
  EXPECT_FALSE(real.IsSelected());
  real.SetSelected(true);
  EXPECT_TRUE(real.IsSelected());
}

TEST(ModuleLifecycle, RefreshHintRecomputesAndChecksOnlyWhileWarningsAreEnabled) {
  TestContext context;
  CheckingModule module(Entry("M", "M"));
  module.OnUpdate(kHintRefreshAll, nullptr);  // not attached yet: no warnings pass
  module.InitModule(context);
  module.OnUpdate(kHintRefreshAll, nullptr);
  EXPECT_EQ(module.updates, 2);
  EXPECT_EQ(module.checks, 0);

  context.warningsEnabled = true;
  module.OnUpdate(kHintRefreshAll, nullptr);
  module.OnUpdate(kHintValueChanged, nullptr);
  module.OnUpdate(kHintWarningChanged, nullptr);
  EXPECT_EQ(module.updates, 3);
  EXPECT_EQ(module.checks, 1);
}

TEST(ModuleLifecycle, SetWarningFillsTheDocumentListAndBroadcasts) {
  TestContext context;
  RecordingModule module(Entry("GPIO_A", "GPIO"));
  module.SetWarning(12, true, "", "no document yet");  // must not crash
  module.InitModule(context);

  module.SetWarning(MakeWarningId(3, 1516), true, "See <a href=\"tarq:SYS/SYS\">SYS</a>",
                    "WARNING:  pin not routed");
  ASSERT_EQ(context.warnings.Entries().size(), 1u);
  const Warning& warning = context.warnings.Entries()[0];
  EXPECT_EQ(warning.page, &module);
  EXPECT_EQ(warning.id, 0x305ECu);
  EXPECT_EQ(warning.text, "pin not routed");
  EXPECT_EQ(warning.link, "tarq:SYS/SYS");
  ASSERT_EQ(context.hints.size(), 1u);
  EXPECT_EQ(context.hints[0],
            std::make_pair(kHintWarningChanged, static_cast<CModuleBase*>(&module)));

  module.SetWarning(MakeWarningId(3, 1516), false, "", "");
  EXPECT_TRUE(context.warnings.Entries().empty());
  EXPECT_EQ(context.hints.size(), 2u);
  EXPECT_EQ(module.shownWarnings.back(), "198124 off ");
  EXPECT_EQ(MakeWarningId(0, 1516), 1516u);

  // A document without a list still hears about it.
  context.withWarningList = false;
  module.SetWarning(5, true, "x", "");
  EXPECT_EQ(context.hints.size(), 3u);
}

TEST(ModuleLifecycle, FrequencyTextsPickTheUnitAndDropTrailingZeros) {
  auto hz = [](double value) { return CModuleBase::FrequencyText(value, true, nullptr, nullptr); };
  EXPECT_EQ(hz(500001), "0.5 MHz");
  EXPECT_EQ(hz(8000000), "8 MHz");
  EXPECT_EQ(hz(12345678), "12.34568 MHz");
  EXPECT_EQ(hz(500000), "500 kHz");
  EXPECT_EQ(hz(1234.5), "1.2345 kHz");
  EXPECT_EQ(hz(500), "500 Hz");
  EXPECT_EQ(hz(1.0 / 3), "0.33333 Hz");
  EXPECT_EQ(hz(-2000), "-2000 Hz");
  EXPECT_EQ(hz(0), "OFF");
  EXPECT_EQ(CModuleBase::FrequencyText(0, true, "Disabled", nullptr), "Disabled");
  EXPECT_EQ(CModuleBase::FrequencyText(0, true, "", nullptr), "");
  EXPECT_EQ(CModuleBase::FrequencyText(4e6, false, nullptr, nullptr), "4000000 Hz");
  EXPECT_EQ(CModuleBase::FrequencyText(4e6, true, nullptr, "%.2f%s%s"), "4.00 MHz");

  RecordingModule module(Entry("OCCS", "OCCS"));
  EXPECT_EQ(module.ShowFrequency(1201, 60e6), "60 MHz");
  EXPECT_EQ(module.ShowFrequency(0, 1000), "1 kHz");  // no control: only returned
  EXPECT_EQ(module.shownTexts, (std::vector<std::string>{"1201=60 MHz"}));
}

TEST(ModuleLifecycle, TimeTextsPickTheUnit) {
  auto sec = [](double value) { return CModuleBase::TimeText(value, true, nullptr, nullptr); };
  EXPECT_EQ(sec(1), "1 sec");
  EXPECT_EQ(sec(0.5), "500 ms");
  EXPECT_EQ(sec(0.0002), "0.2 ms");
  EXPECT_EQ(sec(0.0001), "100 us");
  EXPECT_EQ(sec(2.5e-6), "2.5 us");
  EXPECT_EQ(sec(0), "OFF");
  EXPECT_EQ(CModuleBase::TimeText(0, true, "none", nullptr), "none");
  EXPECT_EQ(CModuleBase::TimeText(0.25, false, nullptr, nullptr), "0.25 sec");
  EXPECT_EQ(CModuleBase::TimeText(0.25, true, nullptr, "%.1f%s"), "250.0 ms");
}

TEST(ModuleLifecycle, HelpReferenceIsSplitTrimmedAndLocatedInTheHelpFolder) {
  const fs::path folder = fs::temp_directory_path() / ("tarq_help_" + std::to_string(::getpid()));
  fs::create_directories(folder / "help");
  std::ofstream(folder / "help" / "CVX.pdf") << "%PDF";

  TestContext context;
  context.programFolder = folder.string();
  ArchitectureEntry entry = Entry("SCI_0", "SCI");
  entry.helpReference = "  CVX.pdf #  SCI chapter ";
  CModuleBase module(entry);
  std::string file, destination;
  EXPECT_TRUE(module.GetHelpFileAndDestination(file, destination));
  EXPECT_EQ(file, "CVX.pdf");
  EXPECT_EQ(destination, "SCI chapter");
  EXPECT_FALSE(module.ShowHelp());  // not attached: no program folder to look in

  module.InitModule(context);
  EXPECT_TRUE(module.ShowHelp());
  ASSERT_EQ(context.host.opened.size(), 1u);
  EXPECT_EQ(fs::path(context.host.opened[0].first), folder / "help" / "CVX.pdf");
  EXPECT_EQ(context.host.opened[0].second, "SCI chapter");

  for (const char* reference : {"Missing.pdf#x", "#12", "", "help"}) {
    entry.helpReference = reference;
    CModuleBase other(entry);
    other.InitModule(context);
    EXPECT_FALSE(other.ShowHelp()) << reference;
  }
  EXPECT_EQ(context.host.opened.size(), 1u);
  fs::remove_all(folder);
}

class FakeSource : public CommentSource {
 public:
  FakeSource(std::string text, bool described = true)
      : text_(std::move(text)), described_(described) {}
  bool IsDescribed() const override { return described_; }
  std::string GetDescription(bool detail, uint32_t style) const override {
    lastStyle = style;
    return detail ? text_ : "brief";
  }
  mutable uint32_t lastStyle = 0xDEAD;

 private:
  std::string text_;
  bool described_;
};

TEST(ModuleLifecycle, CommentBlockLaysOutItemsByTheirFlags) {
  TestContext context;
  ArchitectureEntry entry = Entry("SCI_0", "SCI");
  entry.displayName = "Serial";
  CModuleBase module(entry);
  module.InitModule(context);

  FakeSource mode("Mode: Normal"), fast("Mode: Fast"), baud("Baud:: 9600"), hidden("x", false),
      txd("Pins: TXD"), rxd("Pins: RXD"), both(": : Rx && Tx: on"), level("Level: 1"),
      extra("Extra"), tail("Tail"), end("end"), styled("Styled");
  module.AddCommentItems({{&mode, 0}, {&fast, 0}, {&baud, 0x400}, {&hidden, 0}});
  module.AddCommentItems({{&txd, 0x4000}, {&rxd, 0x4000}, {&hidden, 0}, {&both, 0x1000 | 0x3}});
  module.AddCommentItems({{&level, 0x4000}, {&extra, 0x2000}, {&tail, 0x8000}, {&end, 0}});
  module.AddCommentItem(&styled, 0x00010000 | 0x800 | 0x200);

  std::string text;
  module.GenerateComment(text);
  EXPECT_EQ(text,
            "    Serial Configuration\n--------------------------------------------\n"
            "    Mode: Normal\n"
            "          Fast\n"
            "    Baud: 9600\n"
            "\n"
            "    Pins: TXD, RXD, \n"
            "        Rx & Tx: on\n"
            "    Level: 1, \n"
            "    Extra\n"
            "    Tailend\n"
            "    Styled");
  EXPECT_EQ(both.lastStyle, 0x3u);
  EXPECT_EQ(styled.lastStyle, 0x00010200u);  // layout bits (and the unused 0x800) taken out
  EXPECT_EQ(hidden.lastStyle, 0xDEADu);      // not described: not asked

  context.options.generateComments = false;
  text = "before\n";
  module.GenerateComment(text);
  EXPECT_EQ(text, "before\n    Serial Configuration\n--------------------------------------------");
}

TEST(CModuleTest, InterruptListGivesOneUserPerVector) {
  EXPECT_EQ(CModule::ParseInterruptList("INT: 12, 0x0D,015"), (std::vector<uint32_t>{12, 13, 13}));
  EXPECT_EQ(CModule::ParseInterruptList("A:1,,abc,2,-3,7x"), (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(CModule::ParseInterruptList("NONE").empty());
  EXPECT_TRUE(CModule::ParseInterruptList("INT:").empty());
  EXPECT_EQ(CModule::ParseInterruptList("a:5:6,7"), (std::vector<uint32_t>{7}));

  CModule sci(Entry("SCI_0", "SCI", "NONE", "SCI:78,79,80"));
  ASSERT_EQ(sci.InterruptUsers().size(), 3u);
  EXPECT_EQ(sci.InterruptUsers()[2].vector, 80u);
  EXPECT_EQ(sci.InterruptUsers()[2].index, 2);
}

class FakeIntc : public CModuleBase, public InterruptController {
 public:
  using CModuleBase::CModuleBase;
  void AttachInterruptUser(CModuleBase& user, InterruptUser& record) override {
    attached.push_back(user.GetPrefix() + ":" + std::to_string(record.vector));
  }
  bool ClaimVector(const InterruptUser&, bool, const std::string&, CModuleBase*) override {
    return false;
  }
  int FindUserSlot(uint32_t, std::string*) const override { return -1; }
  void BuildInterruptPanel(Page&, CModuleBase&, InterruptUser&, bool) override {}
  std::vector<std::string> attached;
};

TEST(CModuleTest, InterruptUsersAreAttachedOnceEveryModuleExists) {
  TestContext context;
  CModule plainModule(Entry("WINTC", "INTC"));  // the name alone makes no controller
  FakeIntc intc(Entry("ITCN", "INTC"));
  CModule sci(Entry("SCI_0", "SCI", "NONE", "SCI:78,79"));
  CModule plain(Entry("GPIO_A", "GPIO", "NONE", "NONE"));
  context.modules = {&plainModule, &sci, &intc, &plain};
  sci.InitModule(context);
  plain.InitModule(context);
  EXPECT_EQ(sci.GetInterruptController(), nullptr);  // partners wait for the second step
  sci.OnModulesReady();
  plain.OnModulesReady();
  EXPECT_EQ(sci.GetInterruptController(), &intc);  // found although it comes later
  EXPECT_EQ(sci.InterruptUsers()[1].controller, &intc);
  EXPECT_EQ(intc.attached, (std::vector<std::string>{"SCI_0:78", "SCI_0:79"}));

  TestContext bare;
  CModule alone(Entry("SCI_1", "SCI", "NONE", "SCI:81"));
  alone.InitModule(bare);
  alone.OnModulesReady();
  EXPECT_EQ(alone.GetInterruptController(), nullptr);
  EXPECT_EQ(alone.InterruptUsers()[0].controller, nullptr);
}

TEST(CModuleTest, CheckWarningsRunsPinCheckOnlyWithPinsThenNotifiesThenRecomputes) {
  RecordingModule module(Entry("SCI_0", "SCI"));
  module.CheckWarnings();
  EXPECT_EQ(module.calls, (std::vector<std::string>{"system", "values"}));
  module.calls.clear();
  module.SetHasPins(true);
  module.CheckWarnings();
  EXPECT_EQ(module.calls, (std::vector<std::string>{"pins", "system", "values"}));
}

class FakeOccs : public CModuleBase, public ClockSource {
 public:
  using CModuleBase::CModuleBase;
  float GetBusClockMHz() const override { return 60.0f; }
  float GetHighSpeedClockMHz() const override { return 120.0f; }
  float GetSystemClockMHz() const override { return 120.0f; }
  bool IsPllRunning() const override { return true; }
  bool IsCrystalOscillatorEnabled() const override { return false; }
  bool IsRelaxationOscillatorEnabled() const override { return false; }
  float GetCrystalFrequencyMHz() const override { return 0.0f; }
};

TEST(CModuleTest, ClockShortcutsAskTheClockModuleAndAreZeroWithoutOne) {
  TestContext context;
  CModule sci(Entry("SCI_0", "SCI"));
  EXPECT_EQ(sci.GetBusClockMHz(), 0.0f);  // not attached
  sci.InitModule(context);
  EXPECT_EQ(sci.GetBusClockMHz(), 0.0f);
  CModule named(Entry("OCCS", "OCCS"));  // the name alone is no clock source
  context.modules = {&named};
  EXPECT_EQ(sci.GetHSClockMHz(), 0.0f);
  FakeOccs occs(Entry("PLL", "PLL"));
  context.modules.push_back(&occs);
  EXPECT_EQ(sci.GetBusClockMHz(), 60.0f);
  EXPECT_EQ(sci.GetHSClockMHz(), 120.0f);
}

}  // namespace
}  // namespace tarq

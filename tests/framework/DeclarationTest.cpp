// The declaration layer: a small module with two chip-group variants, declared one statement
// per control, on a real project: ids, bindings, page, rules, comment order, and the faults
// a declaration can hold.
#include <gtest/gtest.h>

#include <algorithm>

#include "../support/ModuleHarness.h"
#include "framework/Declaration.h"
#include "framework/TextUtil.h"

namespace tarq {
namespace {

// One row per chip group: its register table and what its page offers.
struct TimerVariant {
  const char* name;
  std::vector<RegisterDecl> registers;
  bool hasPrescaler;
  std::vector<std::string> clockItems;
};

const std::vector<TimerVariant>& TimerVariants() {
  static const std::vector<TimerVariant> rows = {
      {"small", {{"CTRL_INIT", 0x0000, DW16}}, false, {"Bus clock", "Crystal"}},
      {"large",
       {{"CTRL_INIT", 0x0000, DW16}, {"PRESC_INIT", 0x0003, DW16}},
       true,
       {"Bus clock", "Crystal", "High-speed clock"}},
  };
  return rows;
}

class DeclaredTimer : public CModule {
 public:
  DeclaredTimer(const ArchitectureEntry& entry, const TimerVariant& variant)
      : CModule(entry), variant_(variant), declaration_(*this) {
    InitRegisters(variant.registers.data(), variant.registers.size());
  }
  ~DeclaredTimer() override { DestroyPage(); }

  void InitModule(ModuleContext& doc) override {
    CModule::InitModule(doc);
    Declare();
  }
  void BuildPage(Page& page) override { declaration_.BuildPage(page); }
  void UpdateEnables() override { declaration_.ApplyRules(); }

  PageDeclaration& Declaration() { return declaration_; }

 private:
  void Declare() {
    PageDeclaration& d = declaration_;
    d.Clear();
    ClearCommentItems();
    d.Group("Counter");
    d.Box({.caption = "Counter enabled", .field = {.reg = "CTRL_INIT", .low = 0}});
    d.List({.caption = "Clock source:",
            .field = {.reg = "CTRL_INIT", .low = 2, .high = 3},
            .items = variant_.clockItems,
            .enabled = [this] { return Running(); }});
    if (variant_.hasPrescaler) {
      d.Value({.caption = "Prescaler:",
               .field = {.reg = "PRESC_INIT", .low = 0, .high = 7, .offset = 1},
               .number = {.hex = false},
               .spin = {.minimum = 1, .maximum = 256},
               .unit = "clocks"});
      d.EnableIf("Prescaler:", [this] { return Running(); });
    }
    d.Display({.caption = "Counting frequency:", .unit = "(max. 10 MHz)"});
    d.AddCommentItems();
  }
  bool Running() const { return (Registers()[0].value & 1u) != 0; }

  const TimerVariant& variant_;
  PageDeclaration declaration_;
};

ModuleProject TimerProject(const TimerVariant& variant, const std::string& defines = {}) {
  return ModuleProject({.part = "CVX-21",
                        .defines = defines,
                        .tree = "TMR TIMER NONE IRQ: \"Timer\"\n",
                        .factory = [&variant](ModuleFactory& factory) {
                          factory.Register("TIMER", [&variant](const ArchitectureEntry& entry,
                                                               CModuleBase*) {
                            return std::unique_ptr<CModuleBase>(
                                std::make_unique<DeclaredTimer>(entry, variant));
                          });
                        }});
}

TEST(DeclarationTest, EveryVariantRowDeclaresWithoutFaults) {
  for (const TimerVariant& variant : TimerVariants()) {
    SCOPED_TRACE(variant.name);
    ModuleProject project = TimerProject(variant);
    ASSERT_TRUE(project.Opened());
    PageDeclaration& d = project.Module<DeclaredTimer>("TMR").Declaration();
    EXPECT_TRUE(d.Verify().empty()) << d.Verify().front();
    EXPECT_EQ(d.Has("Prescaler:"), variant.hasPrescaler);
  }
}

TEST(DeclarationTest, OneStatementGivesIdsBindingsPageRulesAndComment) {
  const TimerVariant& large = TimerVariants()[1];
  ModuleProject project = TimerProject(large, "#define TMR_CTRL_INIT 0x0009U\n");
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("TMR");
  PageDeclaration& d = project.Module<DeclaredTimer>("TMR").Declaration();

  // Ids in declaration order from 1001: group, box, caption and list, caption, edit, unit
  // and spin of the prescaler, caption, display and unit of the frequency.
  const DeclaredControl* box = d.Find("Counter enabled");
  const DeclaredControl* list = d.Find("Clock source:");
  const DeclaredControl* prescaler = d.Find("Prescaler:");
  ASSERT_TRUE(box && list && prescaler);
  EXPECT_EQ(box->id, 1002u);
  EXPECT_EQ(list->captionId, 1003u);
  EXPECT_EQ(list->id, 1004u);
  EXPECT_EQ(prescaler->Ids(), (std::vector<uint32_t>{1005, 1006, 1007, 1008}));

  // The page holds what was declared, bound to the registers.
  EXPECT_TRUE(page.Find(box->id)->checked);              // CTRL bit 0 of 0x0009
  EXPECT_EQ(page.Find(list->id)->selection, 2);          // bits 2..3 = 2
  EXPECT_EQ(page.Find(list->id)->items, large.clockItems);
  EXPECT_EQ(page.Find(prescaler->id)->text, "4");        // PRESC 3 + offset 1
  EXPECT_EQ(page.Find(prescaler->unitId)->text, "clocks");
  EXPECT_EQ(page.Find(prescaler->spinId)->kind, ControlKind::Spin);

  // Rules: clearing the box disables the list and the prescaler, with its spin.
  EXPECT_TRUE(page.Find(list->id)->enabled);
  ASSERT_TRUE(page.Click(box->id));
  EXPECT_FALSE(page.Find(list->id)->enabled);
  EXPECT_FALSE(page.Find(prescaler->id)->enabled);
  EXPECT_EQ(project.Reg("TMR", "CTRL_INIT").value, 0x0008u);

  // The header comment follows the page: box, list, prescaler.
  ASSERT_TRUE(page.Click(box->id));
  const std::string header = project.SavedHeader();
  const size_t enabled = header.find("Counter enabled");
  const size_t source = header.find("Clock source");
  const size_t presc = header.find("Prescaler");
  ASSERT_NE(enabled, std::string::npos);
  ASSERT_NE(source, std::string::npos);
  ASSERT_NE(presc, std::string::npos);
  EXPECT_LT(enabled, source);
  EXPECT_LT(source, presc);
  EXPECT_NE(header.find("#define TMR_CTRL_INIT"), std::string::npos);
}

// A module whose declarations hold the faults a hand-made page could hold.
class FaultyModule : public CModule {
 public:
  explicit FaultyModule(const ArchitectureEntry& entry) : CModule(entry), declaration_(*this) {
    static const RegisterDecl kTable[] = {{"CTRL_INIT", 0, DW16}};
    InitRegisters(kTable, std::size(kTable));
  }
  PageDeclaration declaration_;
};

ArchitectureEntry FaultyEntry() {
  ArchitectureEntry entry;
  entry.name = "BAD";
  entry.kind = "BAD";
  return entry;
}

TEST(DeclarationTest, FaultsAreReportedByVerify) {
  FaultyModule module(FaultyEntry());
  PageDeclaration& d = module.declaration_;

  d.Box({.caption = "No field"});
  d.List({.caption = "Unknown register:", .field = {.reg = "MISSING_INIT", .low = 0, .high = 1}});
  d.Box({.caption = "Pin warning twin", .id = CModule::kPinWarningControlId,
         .field = {.reg = "CTRL_INIT", .low = 1}});
  d.Box({.caption = "Given twice", .id = 1500, .field = {.reg = "CTRL_INIT", .low = 2}});
  d.Box({.caption = "Given again", .id = 1500, .field = {.reg = "CTRL_INIT", .low = 3}});
  // A variant that lacks the prescaler but still enables it.
  d.EnableIf("Prescaler:", [] { return true; });

  const std::vector<std::string> faults = d.Verify();
  auto reported = [&](const std::string& part) {
    return std::any_of(faults.begin(), faults.end(),
                       [&](const std::string& f) { return f.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(reported("\"No field\" has no register field"));
  EXPECT_TRUE(reported("names register MISSING_INIT"));
  EXPECT_TRUE(reported("id 1990 lies in a range the framework reserves"));
  EXPECT_TRUE(reported("id 1500 is used by two controls"));
  EXPECT_TRUE(reported("enable rule for \"Prescaler:\""));
  EXPECT_EQ(faults.size(), 5u);
  // Controls without a field get no binding; the others do.
  EXPECT_EQ(d.Find("No field")->binding, nullptr);
  EXPECT_NE(d.Find("Given twice")->binding, nullptr);
}

TEST(DeclarationTest, AutomaticIdsStepOverTheReservedRanges) {
  FaultyModule module(FaultyEntry());
  PageDeclaration& d = module.declaration_;
  d.Clear(CModule::kPinWarningControlId - 2);
  d.Group("Counter");  // 1988
  const DeclaredControl& before = d.Box({.caption = "A", .field = {.reg = "CTRL_INIT", .low = 0}});
  const DeclaredControl& after = d.Box({.caption = "B", .field = {.reg = "CTRL_INIT", .low = 1}});
  EXPECT_EQ(before.id, 1989u);
  EXPECT_EQ(after.id, 1991u);  // 1990 is the pin-warning control
  d.Clear(0xE8FF);
  d.Group("Rows");
  EXPECT_EQ(d.NextId(), 0xEA00u);  // past the port pin rows 0xE900..0xE9FF
  EXPECT_TRUE(IsReservedControlId(505));
  EXPECT_TRUE(IsReservedControlId(59760));
  EXPECT_FALSE(IsReservedControlId(1001));
  EXPECT_TRUE(d.Verify().empty());
}

}  // namespace
}  // namespace tarq

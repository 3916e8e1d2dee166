// The declaration layer's parts for pages that place their frames first, name their spin
// ids, keep edit boxes of their own and enable a control together with its caption.
#include <gtest/gtest.h>

#include "PageTestSupport.h"
#include "framework/Declaration.h"

namespace tarq {
namespace {

using pagetest::PageTestContext;
using pagetest::SampleEntry;

class FramedModule : public CModule {
 public:
  explicit FramedModule(const ArchitectureEntry& entry) : CModule(entry) {}
  void InitModule(ModuleContext& doc) override {
    static const RegisterDecl kRegisters[] = {{"CTRL_INIT", 0x0001, DW16}, {"DIV_INIT", 0, DW8}};
    InitRegisters(kRegisters, 2);
    CModule::InitModule(doc);
    d.Clear();
    d.FramesFirst();
    d.Group("Left", 1100);
    d.Box({.caption = "On", .id = 1110, .field = {.reg = "CTRL_INIT", .low = 0}});
    d.Edit({.caption = "Frequency:", .id = 1112, .captionId = 1111, .unit = "MHz", .unitId = 1113,
            .enableWhole = true, .enabled = [this] { return Registers()[0].value & 1u; }});
    d.Group("Right", 1101);
    d.Value({.caption = "Divider:", .id = 1121, .captionId = 1120,
             .field = {.reg = "DIV_INIT", .low = 0, .high = 3, .offset = 1},
             .spin = {.minimum = 1, .maximum = 16, .id = 1122},
             .enabled = [this] { return Registers()[0].value & 1u; }});
    d.Custom([](Page& page) { page.AddDisplay(1123); }, false);
    d.NextBand();
    d.Group("Below", 1102);
    d.Static({.caption = "note", .id = 1130});
  }
  void BuildPage(Page& page) override { d.BuildPage(page); }
  PageDeclaration d{*this};
};

TEST(DeclarationPartsTest, FramesFirstNamedSpinOwnEditAndWholeEnable) {
  PageTestContext context;
  FramedModule module(SampleEntry());
  module.InitModule(context);
  EXPECT_EQ(module.d.Verify(), std::vector<std::string>());
  ASSERT_TRUE(module.CreatePage());
  Page& page = *module.GetPage();
  // Every frame precedes every control; the controls follow in declaration order, the
  // custom display on the divider's row.
  std::vector<uint32_t> order;
  for (size_t i = 0; i < page.GetControlCount(); ++i) order.push_back(page.ControlAt(i).id);
  EXPECT_EQ(order, (std::vector<uint32_t>{1100, 1101, 1102, 1110, 1111, 1112, 1113, 1120, 1121,
                                          1122, 1123, 1130}));
  EXPECT_EQ(page.Find(1123)->layout.row, page.Find(1121)->layout.row);
  EXPECT_EQ(page.Find(1122)->buddy, 1121u);
  EXPECT_EQ(module.d.Find("Frequency:")->binding, nullptr);  // the module reads it itself

  // The whole rule reaches caption, edit and unit; the plain rule the control (and its spin).
  module.Registers()[0].value = 0;
  module.d.ApplyRules();
  for (uint32_t id : {1111u, 1112u, 1113u, 1121u, 1122u}) EXPECT_FALSE(page.Find(id)->enabled) << id;
  EXPECT_TRUE(page.Find(1120)->enabled);
  module.Registers()[0].value = 1;
  module.d.ApplyRules();
  for (uint32_t id : {1111u, 1112u, 1113u, 1121u, 1122u}) EXPECT_TRUE(page.Find(id)->enabled) << id;

  // A named spin id inside a reserved range is a declaration fault like any other id.
  module.d.Clear();
  module.d.Value({.caption = "X", .id = 1200, .captionId = 1199,
                  .field = {.reg = "DIV_INIT", .low = 0, .high = 3},
                  .spin = {.minimum = 0, .maximum = 3, .id = CModule::kPinWarningControlId}});
  EXPECT_EQ(module.d.Verify().size(), 1u);
}

}  // namespace
}  // namespace tarq

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageTestSupport.h"
#include "framework/Hints.h"
#include "framework/TextUtil.h"

namespace tarq {
namespace {

using namespace pagetest;

std::string Pad(std::string text) {
  if (text.size() < 40) text.append(40 - text.size(), ' ');
  return text;
}

class BindingsTest : public ::testing::Test, protected SampleFixture {
 protected:
  std::vector<std::string> Messages() { return context.host.Messages(); }
};

// ---- CSetBit ----

TEST_F(BindingsTest, InvertedCheckBoxShowsTheClearedStateAndClearsTheBitWhenChecked) {
  // CTRL bit 0 is 1 at reset; the "Power down" box is bound inverted.
  EXPECT_FALSE(control(kIdEnableCheck).checked);
  ASSERT_TRUE(page().Click(kIdEnableCheck));
  EXPECT_TRUE(control(kIdEnableCheck).checked);
  EXPECT_EQ(Reg("CTRL_INIT").value & 1u, 0u);
  ASSERT_EQ(context.hints.size(), 1u);
  EXPECT_EQ(context.hints[0].first, kHintCheckChanged);
  EXPECT_EQ(context.hints[0].second, &module);

  page().Click(kIdEnableCheck);
  EXPECT_EQ(Reg("CTRL_INIT").value & 1u, 1u);
  // The module's own handler runs after the binding: buttons re-run UpdateEnables.
  EXPECT_EQ(module.updateEnablesCalls, 2);
}

TEST_F(BindingsTest, RadioClickLeavesOnlyTheClickedButtonsBitSet) {
  EXPECT_TRUE(control(kIdRadioSlow).checked);
  page().Click(kIdRadioAuto);
  EXPECT_EQ(Reg("CTRL_INIT").value & 0xEu, 0x8u);
  EXPECT_FALSE(control(kIdRadioSlow).checked);
  EXPECT_FALSE(control(kIdRadioFast).checked);
  page().Click(kIdRadioFast);
  EXPECT_EQ(Reg("CTRL_INIT").value & 0xEu, 0x4u);
  // The check box before the group is not part of it.
  EXPECT_FALSE(control(kIdEnableCheck).checked);
  EXPECT_EQ(Reg("CTRL_INIT").value & 1u, 1u);
}

TEST_F(BindingsTest, WithoutAPageBitsAreReadAndWrittenInTheRegister) {
  module.DestroyPage();
  EXPECT_FALSE(module.enable.HasWindow());
  EXPECT_FALSE(module.enable.GetCheck());
  module.enable.SetCheck(true);
  EXPECT_EQ(Reg("CTRL_INIT").value & 1u, 0u);
  module.fast.SetCheck(true);
  EXPECT_TRUE(module.fast.GetCheck());
  EXPECT_EQ(Reg("CTRL_INIT").value & 4u, 4u);
}

// ---- labels ----

TEST_F(BindingsTest, LabelsComeFromTheCaptionBeforeTheControl) {
  EXPECT_EQ(module.enable.GetLabel(), "Power down");      // a button's own text
  EXPECT_EQ(module.fast.GetLabel(), "Speed: Fast");        // bound label ending in a colon
  EXPECT_EQ(module.mode.GetLabel(), "Operating mode");    // newline to blank, colons gone
  EXPECT_EQ(module.divider.GetLabel(), "Clock divider");
  EXPECT_EQ(module.scaled.GetLabel(), "Sample time");     // "##us" leaves the label empty
  EXPECT_EQ(module.scaled.GetUnit(), "us");
  EXPECT_EQ(module.name.GetLabel(), "Device name");       // a label of its own stays
  EXPECT_EQ(module.rowBit.GetLabel(), "Row enabled");
}

// ---- CSetValue ----

TEST_F(BindingsTest, OffsetValueAcceptsOneToSixteenAndNamesTheBoundsWhenRefusing) {
  EXPECT_EQ(control(kIdDividerEdit).text, "1");
  page().TypeText(kIdDividerEdit, "16");
  EXPECT_EQ(Reg("DIV_INIT").value, 15u);
  EXPECT_EQ(context.HintNumbers(), std::vector<int>{kHintValueChanged});
  EXPECT_TRUE(module.ValidateControls(true));

  page().TypeText(kIdDividerEdit, "17");
  EXPECT_EQ(Reg("DIV_INIT").value, 15u);  // never reaches the register
  EXPECT_FALSE(module.ValidateControls(true));
  page().TypeText(kIdDividerEdit, "0");
  EXPECT_FALSE(module.ValidateControls(true));
  page().TypeText(kIdDividerEdit, " -3 ");
  EXPECT_FALSE(module.ValidateControls(true));
  page().TypeText(kIdDividerEdit, "12abc");
  EXPECT_FALSE(module.ValidateControls(true));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Entered value must be lower than 17",
                                                  "Entered value must be greater than 0",
                                                  "Entered value must not be negative.",
                                                  "Invalid value entered!"}));
  EXPECT_EQ(page().GetFocusId(), static_cast<uint32_t>(kIdDividerEdit));
  EXPECT_EQ(Reg("DIV_INIT").value, 15u);
}

TEST_F(BindingsTest, ZeroAllowedPassesTheRangeCheckAndHexBoundsAreHex) {
  CSetValue value;
  value.Bind(RegisterRef::Named(module, "DIV_INIT"),
             {.lowBit = 0, .highBit = 3, .offset = 1, .label = "Div", .hex = false, .zeroAllowed = true});
  uint32_t parsed = 99;
  EXPECT_TRUE(value.ParseEntry("0", parsed, false));
  EXPECT_EQ(parsed, 0u);

  CSetValue hex;
  hex.Bind(RegisterRef::Named(module, "DIV_INIT"),
           {.lowBit = 0, .highBit = 3, .label = "Div", .minimum = 2, .maximum = 10});
  Page standalone(&module);
  standalone.AddEdit(1, &hex);
  EXPECT_FALSE(hex.ParseEntry("0xB", parsed, true));
  EXPECT_FALSE(hex.ParseEntry("1", parsed, true));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Entered value must be lower than 0xb",
                                                  "Entered value must be greater than 0x1"}));
}

TEST_F(BindingsTest, NegativeShiftStoresAQuarterAndAsksBeforeRounding) {
  page().TypeText(kIdScaledEdit, "8");
  EXPECT_EQ(Reg("SCALE_INIT").value, 2u);
  EXPECT_TRUE(module.ValidateControls(true));

  page().TypeText(kIdScaledEdit, "5");
  EXPECT_EQ(Reg("SCALE_INIT").value, 1u);
  EXPECT_EQ(module.scaled.GetValue(), 4u);
  // Silent validation cannot ask, so it refuses.
  EXPECT_FALSE(module.ValidateControls(false));
  EXPECT_TRUE(context.host.entries.empty());

  context.host.answers = {Answer::No};
  EXPECT_FALSE(module.ValidateControls(true));
  ASSERT_EQ(context.host.entries.size(), 1u);
  EXPECT_EQ(context.host.entries[0].kind, "yesno");
  EXPECT_EQ(context.host.entries[0].text,
            "The value of 'Sample time' (5) is not valid and should be rounded.The nearest "
            "acceptable value is '4'.\n\nAccept?");
  EXPECT_EQ(control(kIdScaledEdit).text, "5");

  context.host.answers = {Answer::Yes};
  EXPECT_TRUE(module.ValidateControls(true));
  EXPECT_EQ(control(kIdScaledEdit).text, "4");
}

TEST_F(BindingsTest, RefusedEntryFallsBackToTheSpecialValue) {
  module.scaled.SetSpecialValue(0xFFFFFFFFu, true);
  // The special value shows as an empty box, and an empty box means the special value.
  page().TypeText(kIdScaledEdit, "");
  EXPECT_EQ(control(kIdScaledEdit).backgroundColour, std::nullopt);
  EXPECT_TRUE(module.ValidateControls(true));

  page().TypeText(kIdScaledEdit, "5");
  context.host.answers = {Answer::No};
  EXPECT_TRUE(module.ValidateControls(true));
  EXPECT_EQ(control(kIdScaledEdit).text, "");
  EXPECT_EQ(Reg("SCALE_INIT").value, 0x3Fu);  // 0xFFFFFFFF shifted into the 6-bit field
}

TEST_F(BindingsTest, HexTextInADecimalFieldIsAcceptedAndShownAsTypedUntilToggled) {
  CSetValue value;
  value.Bind(RegisterRef::Named(module, "PRESC_INIT"), {.lowBit = 0, .highBit = 7, .label = "Count", .hex = false});
  Page standalone(&module);
  standalone.AddEdit(7, &value);
  standalone.SetLive(true);
  standalone.TypeText(7, "0x1A");
  EXPECT_EQ(Reg("PRESC_INIT").value, 26u);
  EXPECT_TRUE(value.Validate(true));
  EXPECT_EQ(standalone.Find(7)->text, "0x1A");

  standalone.FocusGained(7);
  EXPECT_TRUE(standalone.ExecuteCommand(kCmdToggleHexDec));  // text had 0x: decimal now
  EXPECT_EQ(standalone.Find(7)->text, "26");
  EXPECT_TRUE(standalone.ExecuteCommand(kCmdToggleHexDec));
  EXPECT_EQ(standalone.Find(7)->text, "0x1A");
  EXPECT_TRUE(value.IsHex());
}

TEST_F(BindingsTest, InvalidEntryTurnsTheBoxLightRedUntilItIsValidAgain) {
  page().TypeText(kIdDividerEdit, "99");
  EXPECT_EQ(control(kIdDividerEdit).backgroundColour, kInvalidEntryColour);
  EXPECT_TRUE(context.hints.empty());
  page().TypeText(kIdDividerEdit, "5");
  EXPECT_EQ(control(kIdDividerEdit).backgroundColour, std::nullopt);
  EXPECT_EQ(Reg("DIV_INIT").value, 4u);
}

TEST_F(BindingsTest, CustomFormatParsesOneNumberAndNothingAfterIt) {
  CSetValue value;
  value.Bind(RegisterRef::Named(module, "PRESC_INIT"), {.lowBit = 0, .highBit = 7, .label = "Rate", .hex = false});
  EXPECT_FALSE(value.SetFormat("%s kHz"));  // never handed to printf
  EXPECT_FALSE(value.SetFormat("%u and %u"));
  ASSERT_TRUE(value.SetFormat("%lu kHz"));
  EXPECT_EQ(value.ValueText(12), "12 kHz");
  uint32_t parsed = 0;
  EXPECT_TRUE(value.ParseEntry("12 kHz", parsed, false));
  EXPECT_EQ(parsed, 12u);
  EXPECT_TRUE(value.ParseEntry("13", parsed, false));
  EXPECT_EQ(parsed, 13u);
  EXPECT_FALSE(value.ParseEntry("12 MHz", parsed, false));
  EXPECT_FALSE(value.ParseEntry("12 kHz!", parsed, false));
  EXPECT_FALSE(value.ParseEntry("kHz", parsed, false));
}

TEST_F(BindingsTest, HandlersReplaceTheFieldAccessAndTheTextConversion) {
  uint32_t stored = 7;
  CSetValue value;
  value.SetHandlers([&](uint32_t v) { stored = v * 10; }, [&] { return stored / 10; }, "Custom");
  value.SetTextHandlers(
      [](const std::string& text, uint32_t& v) { return ReadCIntegerExact(text, v); },
      [](uint32_t v) { return Format("<%u>", v); });
  value.SetValue(4);
  EXPECT_EQ(stored, 40u);
  EXPECT_EQ(value.ValueText(value.GetValue()), "<4>");
  EXPECT_EQ(value.RegisterText(), "No Value Specified (Custom Handler)");
}

// ---- CSetMode ----

TEST_F(BindingsTest, ModeListWritesTableValuesAndRefusesAMissingSelection) {
  EXPECT_EQ(control(kIdModeList).selection, 0);
  page().SelectItem(kIdModeList, 2);
  EXPECT_EQ((Reg("CTRL_INIT").value >> 4) & 3u, 3u);
  EXPECT_EQ(context.HintNumbers(), std::vector<int>{kHintChoiceChanged});
  EXPECT_EQ(module.updateValuesCalls, 1);

  // Field value 2 is not in the table {0, 1, 3}: no selection, and validation says so.
  Reg("CTRL_INIT").value = (Reg("CTRL_INIT").value & ~0x30u) | 0x20u;
  module.RefreshAll();
  EXPECT_EQ(control(kIdModeList).selection, -1);
  EXPECT_FALSE(module.ValidateControls(false));
  EXPECT_TRUE(Messages().empty());
  EXPECT_FALSE(module.DoDataExchange(true));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Selection is not valid"});
  EXPECT_EQ(page().GetFocusId(), static_cast<uint32_t>(kIdModeList));
  // Nothing was written while there was no selection.
  EXPECT_EQ(Reg("CTRL_INIT").value & 0x30u, 0x20u);
}

TEST_F(BindingsTest, EditableComboTakesItemTextsAndBareNumbers) {
  EXPECT_EQ(control(kIdPrescaler).text, "Direct (=1)");
  page().TypeText(kIdPrescaler, "Quarter (=4)");
  EXPECT_EQ(Reg("PRESC_INIT").value, 3u);  // number minus the offset 1
  page().TypeText(kIdPrescaler, "7");
  EXPECT_EQ(Reg("PRESC_INIT").value, 6u);
  EXPECT_TRUE(module.ValidateControls(true));

  page().TypeText(kIdPrescaler, "9");
  EXPECT_EQ(Reg("PRESC_INIT").value, 6u);
  EXPECT_FALSE(module.ValidateControls(true));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Please enter a value between 1 and 8"});

  // A number without an item is added to the list when shown.
  Reg("PRESC_INIT").value = 5;
  module.RefreshAll();
  EXPECT_EQ(control(kIdPrescaler).text, "6");
  EXPECT_EQ(control(kIdPrescaler).items.back(), "6");
  Reg("PRESC_INIT").value = 1;
  module.RefreshAll();
  EXPECT_EQ(control(kIdPrescaler).text, "Half (=2)");
}

// ---- CSetEnum and CSetString ----

TEST_F(BindingsTest, EnumListSplitsDisplayAndValueTexts) {
  EXPECT_EQ(control(kIdParityList).items, (std::vector<std::string>{"None", "Even", "Odd"}));
  Reg("PARITY_INIT").text = "UART_PARITY_EVEN";
  Reg("PARITY_INIT").value = 1;
  module.RefreshAll();
  EXPECT_EQ(control(kIdParityList).selection, 1);

  page().SelectItem(kIdParityList, 2);
  EXPECT_EQ(Reg("PARITY_INIT").text, "Odd");
  EXPECT_EQ(Reg("PARITY_INIT").value, 1u);

  // A text that matches no item shows no selection and writes nothing.
  Reg("PARITY_INIT").text = "SOMETHING_ELSE";
  module.RefreshAll();
  EXPECT_EQ(control(kIdParityList).selection, -1);
  module.parity.Update();
  EXPECT_EQ(Reg("PARITY_INIT").text, "SOMETHING_ELSE");
}

TEST_F(BindingsTest, StringEditTrimsAndKeepsLongTextsWhole) {
  const std::string longName(100, 'n');
  page().TypeText(kIdNameEdit, "  " + longName + " ");
  EXPECT_EQ(Reg("NAME_INIT").text, "");  // typing alone does not write a text register
  page().FocusLost(kIdNameEdit);
  EXPECT_EQ(Reg("NAME_INIT").text, longName);
  EXPECT_EQ(Reg("NAME_INIT").value, 1u);
  EXPECT_TRUE(context.hints.empty());  // text bindings write without a broadcast

  // Text set by the program reaches the register too.
  page().SetText(kIdNameEdit, "   ");
  EXPECT_EQ(Reg("NAME_INIT").text, "");
  EXPECT_EQ(Reg("NAME_INIT").value, 0u);

  Reg("NAME_INIT").text = "hidden";
  module.RefreshAll();
  EXPECT_EQ(control(kIdNameEdit).text, "");  // value 0: no text
}

// ---- descriptions ----

TEST_F(BindingsTest, CheckBoxDescriptionWordsPerStyle) {
  page().Click(kIdEnableCheck);  // checked
  const std::vector<std::string> checked = {"Power down: Enable ", "Power down: Enabled ",
                                            "Power down: On ",     "Power down: Yes",
                                            "Power down: True ",   "Power down: 1",
                                            "Power down"};
  for (uint32_t style = 0; style <= 6; ++style)
    EXPECT_EQ(module.enable.GetDescription(true, style), checked[style]) << style;
  page().Click(kIdEnableCheck);
  const std::vector<std::string> unchecked = {"Power down: Disable", "Power down: Disabled",
                                              "Power down: Off",     "Power down: No ",
                                              "Power down: False",   "Power down: 0", ""};
  for (uint32_t style = 0; style <= 6; ++style)
    EXPECT_EQ(module.enable.GetDescription(true, style), unchecked[style]) << style;
  EXPECT_EQ(module.enable.GetDescription(false, 1), "Power down");
}

TEST_F(BindingsTest, DescriptionsOfTheOtherKinds) {
  page().TypeText(kIdScaledEdit, "44");
  EXPECT_EQ(module.scaled.GetDescription(true, 0), "Sample time: 44 us");
  EXPECT_EQ(module.scaled.GetDescription(true, 2), "Sample time: 0x2c us");
  EXPECT_EQ(module.scaled.GetDescription(true, 0x202), "Sample time: 2c us");
  EXPECT_EQ(module.scaled.GetDescription(true, 0x100), "Sample time: \"44\" us");
  EXPECT_EQ(module.divider.GetDescription(true, 0), "Clock divider: 1");

  page().SelectItem(kIdModeList, 1);
  EXPECT_EQ(module.mode.GetDescription(true, 0), "Operating mode: Normal ");
  EXPECT_EQ(module.mode.GetDescription(true, 0x300), "\"Normal\" ");

  page().SelectItem(kIdParityList, 1);
  EXPECT_EQ(module.parity.GetDescription(true, 0x100), "Parity: \"Even\" ");
  page().TypeText(kIdNameEdit, "Motor");
  page().FocusLost(kIdNameEdit);
  EXPECT_EQ(module.name.GetDescription(true, 0), "Device name: Motor ");

  // The comment block uses the same words.
  std::string comment;
  module.GenerateComment(comment);
  EXPECT_NE(comment.find("    Power down: Disabled\n"), std::string::npos) << comment;
  EXPECT_NE(comment.find("    Parity: \"Even\""), std::string::npos) << comment;
}

TEST_F(BindingsTest, BindingsThatNeverHadAControlDescribeNothing) {
  SamplePageModule fresh(SampleEntry("SAMPLE_1"));
  fresh.InitModule(context);
  EXPECT_EQ(fresh.enable.GetDescription(true, 1), "");
  EXPECT_FALSE(fresh.enable.IsDescribed());
  fresh.CreatePage();
  fresh.DestroyPage();
  // Attached once, the binding keeps describing itself from the register.
  EXPECT_EQ(fresh.enable.GetDescription(true, 1), "Power down: Disabled");
  // A disabled or hidden control leaves the comment block.
  fresh.CreatePage();
  fresh.EnableControl(kIdEnableCheck, false);
  EXPECT_FALSE(fresh.enable.IsDescribed());
  fresh.enable.SetForcedDescription(true);
  EXPECT_TRUE(fresh.enable.IsDescribed());
}

// ---- self-test lines ----

TEST_F(BindingsTest, SelfTestLinesOfABitAndAMode) {
  std::vector<std::string> lines;
  module.enable.SelfTest([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "SB[1001]; CHKBOX_OFF; " + Pad("Reg[CTRL_INIT] = 0x0003") + "; " +
                          Pad("Power down") + "; " + Pad("Power down"));
  EXPECT_EQ(lines[1], "SB[1001]; CHKBOX_ON ; " + Pad("Reg[CTRL_INIT] = 0x0002") + "; " +
                          Pad("Power down") + "; " + Pad("Power down"));
  EXPECT_EQ(Reg("CTRL_INIT").value, 3u);  // restored
  EXPECT_FALSE(control(kIdEnableCheck).checked);

  lines.clear();
  module.mode.SelfTest([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "SM[1010]; LBITEM[02]; " + Pad("Reg[CTRL_INIT] = 0x0033") + "; " +
                          Pad("Turbo") + "; " + Pad("Operating mode"));
  EXPECT_EQ(Reg("CTRL_INIT").value, 3u);
}

TEST_F(BindingsTest, SelfTestOfAValueSpreadsFiftyValuesOverAWideRange) {
  std::vector<std::string> lines;
  module.scaled.SelfTest([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[0], "ED[1030]; 0x00000000; " + Pad("Reg[SCALE_INIT] = 0x00") + "; " +
                          Pad("Test Value 0") + "; " + Pad("Sample time"));
  // 255 * 49 / 50 = 249, stored as 249 / 4.
  EXPECT_EQ(lines[49], "ED[1030]; 0x000000F9; " + Pad("Reg[SCALE_INIT] = 0x3e") + "; " +
                           Pad("Test Value 249") + "; " + Pad("Sample time"));

  lines.clear();
  module.divider.SelfTest([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 16u);  // 1 to 16, every value
  EXPECT_NE(lines[15].find("0x00000010; Reg[DIV_INIT] = 0x0f"), std::string::npos) << lines[15];
  EXPECT_EQ(Reg("DIV_INIT").value, 0u);
  EXPECT_EQ(control(kIdDividerEdit).text, "1");
}

TEST_F(BindingsTest, SelfTestOfAFullWidthFieldDoesNotOverflow) {
  static const RegisterDecl kWide[] = {{"WIDE_INIT", 0, DW32}};
  CModule wide(SampleEntry("WIDE"));
  wide.InitRegisters(kWide, 1);
  CSetValue value;
  value.Bind(RegisterRef::Named(wide, "WIDE_INIT"), {.lowBit = 0, .highBit = 31});
  std::vector<std::string> lines;
  value.SelfTest([&](const std::string& line) { lines.push_back(line); });
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[1].substr(0, 22), "ED[   0]; 0x051EB851; ");
  EXPECT_NE(lines[1].find("<Description Text Missing>"), std::string::npos);
}

}  // namespace
}  // namespace tarq

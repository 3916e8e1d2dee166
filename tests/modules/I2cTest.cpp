// The I2C controllers in real documents: divider arithmetic of the two frequency-divider
// controllers, the FIFO controller's speed counts, the split registers of the Brel and Dorn
// controller, the address check, the user-slot note and the page of every variant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/ModuleHarness.h"
#include "modules/i2c.h"

namespace tarq {
namespace {

// Field values of the divider register: multiplier code << 6 | prescaler code << 3 | tap code.
constexpr uint32_t Divider(uint32_t mul, uint32_t prescaler, uint32_t tap) {
  return mul << 6 | prescaler << 3 | tap;
}

// The clock lines of the examples: 60 MHz bus on the Fenn and Dorn parts, 32 MHz on the Casp part.
const std::string kFennClock =
    "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n#define OCCS_PLLDB_INIT 0x201DU\n";
const std::string kDornClock =
    "#define APPCFG_EXTAL 8000000L\n#define OCCS_CTRL_INIT 0x0082U\n#define OCCS_DIVBY_INIT 0x201DU\n";
const std::string kCaspClock =
    "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n#define OCCS_PLLDB_INIT 0x2000U\n";

std::string Text(ModuleProject& project, const std::string& prefix, const std::string& key) {
  return dynamic_cast<CI2cModule&>(*project.Find(prefix)).DisplayText(key);
}

const DeclaredControl& Declared(ModuleProject& project, const std::string& prefix,
                                const std::string& key) {
  const DeclaredControl* control =
      dynamic_cast<CI2cModule&>(*project.Find(prefix)).Declaration().Find(key);
  if (!control) throw std::runtime_error("no control " + key);
  return *control;
}

TEST(I2cDivider, TapsPrescalersAndMultipliersGiveTheDocumentedCounts) {
  // MUL 1, tap "5-1", prescaler "2-7-4-1-0": divider 2 x (4 + 4 x 1 + 2) = 20,
  // SDA hold 4 + 0 + 3 = 7, start hold 2 + 4 = 6, stop hold 7 + 4 = 11.
  I2cDividerCounts c = ComputeI2cDivider(Divider(0, 0, 0), 0);
  EXPECT_EQ(c.sclDivider, 20);
  EXPECT_EQ(c.sdaHold, 7);
  EXPECT_EQ(c.startHold, 6);
  EXPECT_EQ(c.stopHold, 11);

  // MUL 4, tap "15-4", prescaler "126-129-126-128-0": divider 2 x 4 x (126 + 14 x 128 + 2)
  // = 15360; SDA hold 4 x (126 + 3 x 128 + 3) = 2052; start 4 x (126 + 1792) = 7672.
  c = ComputeI2cDivider(Divider(2, 7, 7), 0);
  EXPECT_EQ(c.sclDivider, 15360);
  EXPECT_EQ(c.sdaHold, 2052);
  EXPECT_EQ(c.startHold, 7672);
  EXPECT_EQ(c.stopHold, 4 * (129 + 14 * 128));
}

TEST(I2cDivider, TheNoiseFilterAddsWholeTapStepsAndNothingWithoutAMultiplier) {
  // Prescaler "6-9-6-8-5", tap "5-1", MUL 1: base 2 x (6 + 4 x 8 + 2) = 80; width 3 adds
  // 8 x floor((1 x 5 + 3 + 1) / (1 x 8)) = 8: 88.
  EXPECT_EQ(ComputeI2cDivider(Divider(0, 3, 0), 0).sclDivider, 80);
  EXPECT_EQ(ComputeI2cDivider(Divider(0, 3, 0), 3).sclDivider, 88);
  // Width 15 with MUL 2: base 160, plus 8 x floor((10 + 16) / 16) = 8: 168.
  EXPECT_EQ(ComputeI2cDivider(Divider(1, 3, 0), 15).sclDivider, 168);
  // Width 2 stays below one step: floor((5 + 3) / 8) = 1 still, width 1: floor(7 / 8) = 0.
  EXPECT_EQ(ComputeI2cDivider(Divider(0, 3, 0), 1).sclDivider, 80);

  // The fourth multiplier code has no factor: no filter term (no division by 0), every count 0.
  const I2cDividerCounts none = ComputeI2cDivider(Divider(3, 3, 0), 15);
  EXPECT_EQ(none.mul, 0);
  EXPECT_EQ(none.sclDivider, 0);
  EXPECT_EQ(none.sdaHold, 0);
}

// ---- pages of every variant ----

TEST(I2cPages, EveryVariantDeclaresItsPageWithoutFaults) {
  struct Case {
    const char* part;
    const char* prefix;
    size_t registers;
    bool glitchFilter;
    size_t interrupts;
  };
  for (const Case& c : {Case{"CVX-08", "IIC", 4, false, 1}, Case{"CVX-21", "IIC", 4, false, 1},
                        Case{"CVX-07", "IIC", 4, false, 1}, Case{"CVX-28", "IIC", 8, false, 1},
                        Case{"CVX-31", "IIC_0", 9, true, 1}, Case{"CVX-35", "IIC_1", 9, true, 1},
                        Case{"CVX-25", "IIC", 10, false, 5}}) {
    SCOPED_TRACE(c.part);
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened());
    auto& module = dynamic_cast<CI2cModule&>(*project.Find(c.prefix));
    EXPECT_EQ(module.Declaration().Verify(), std::vector<std::string>{});
    EXPECT_EQ(module.GetRegisterCount(), c.registers);
    EXPECT_EQ(module.Declaration().Has("Input Glitch Filter:"), c.glitchFilter);
    EXPECT_EQ(module.InterruptUsers().size(), c.interrupts);
    // Every declared control is on the page, and every interrupt panel has its placeholder.
    Page& page = project.OpenPage(c.prefix);
    for (const DeclaredControl* control : module.Declaration().Controls())
      EXPECT_NE(page.Find(control->id), nullptr) << control->decl.caption;
    for (size_t n = 0; n < c.interrupts; ++n)
      EXPECT_NE(page.GetChildPage(CModule::kInterruptPanelBase + static_cast<uint32_t>(n)), nullptr);
  }
}

TEST(I2cPages, TheRulesDisableTheReservedSmbusBoxOnly) {
  ModuleProject project({.part = "CVX-28"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("IIC");
  EXPECT_FALSE(project.Ctl("IIC", Declared(project, "IIC", "SMBus Alert Response Address (RESERVED)").id)->enabled);
  EXPECT_TRUE(project.Ctl("IIC", Declared(project, "IIC", "Enable Second IIC Address").id)->enabled);
}

// ---- the older controller ----

TEST(I2cClassic, FennExampleRunsItsBusAtTheHandComputedRate) {
  // The Fenn example: 60 MHz bus, FDIV 0x15 = MUL 1, prescaler "2-9-6-4-1", tap "10-3":
  // divider 2 x (6 + 9 x 4 + 2) = 88, 60 MHz / 88 = 681.818 kHz; SDA hold 6 + 2 x 4 + 3 = 17
  // clocks = 0.28333 us.
  ModuleProject project({.part = "CVX-08",
                         .defines = kFennClock + "#define IIC_CTRL_INIT 0x0080U\n#define IIC_FDIV_INIT 0x0015U\n"});
  ASSERT_TRUE(project.Opened());
  ASSERT_FLOAT_EQ(dynamic_cast<CModule&>(*project.Find("IIC")).GetBusClockMHz(), 60.0f);
  project.OpenPage("IIC");
  EXPECT_EQ(Text(project, "IIC", "SCL Divider:"), "88");
  EXPECT_EQ(Text(project, "IIC", "Frequency"), "0.68182 MHz");
  EXPECT_EQ(Text(project, "IIC", "SDA Hold:"), "17");
  EXPECT_EQ(Text(project, "IIC", "SDA Hold: time"), "0.28333 us");
  EXPECT_EQ(Text(project, "IIC", "NfOffset"), "1");

  // Filter width 3 clocks: 88 + 4 x floor((1 + 3 + 1) / 4) = 92; 3 / 60 MHz = 0.05 us.
  Page& page = *project.Find("IIC")->GetPage();
  ASSERT_TRUE(page.SelectItem(Declared(project, "IIC", "Noise Filter width:").id, 3));
  EXPECT_EQ(project.Reg("IIC", "NFILT_INIT").value, 3u);
  EXPECT_EQ(Text(project, "IIC", "SCL Divider:"), "92");
  EXPECT_EQ(Text(project, "IIC", "Filter-out glitches shorter than:"), "0.05 us");
}

TEST(I2cClassic, TheFourthMultiplierCodeShowsNoSelectionAndNoRateAndKeepsItsValue) {
  // FDIV 0xDA: multiplier code 3, prescaler "6-9-6-8-5", tap "7-2", with the filter on.
  ModuleProject project({.part = "CVX-21",
                         .defines = "#define IIC_CTRL_INIT 0x0080U\n#define IIC_FDIV_INIT 0x00DAU\n"
                                    "#define IIC_NFILT_INIT 0x0005U\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("IIC");
  EXPECT_EQ(project.Ctl("IIC", Declared(project, "IIC", "Multiplier factor:").id)->selection, -1);
  EXPECT_EQ(Text(project, "IIC", "SCL Divider:"), "0");
  EXPECT_EQ(Text(project, "IIC", "Frequency"), "OFF");
  EXPECT_EQ(Text(project, "IIC", "SCL Divider: time"), "OFF");
  // Saving refuses the list as every list with an unnamed value; the value stays as it was.
  EXPECT_FALSE(project.Find("IIC")->ValidateControls(true));
  EXPECT_EQ(project.Host().Messages(), std::vector<std::string>{"Selection is not valid"});
  EXPECT_EQ(project.Reg("IIC", "FDIV_INIT").value, 0xDAu);
}

// ---- Brel and Dorn ----

TEST(I2cBrel, TheTenBitAddressSpansTwoRegistersAndKeepsTheirOtherBits) {
  ModuleProject project({.part = "CVX-28",
                         .defines = "#define IIC_IICA1_INIT 0x01U\n#define IIC_IICC2_INIT 0x48U\n"});
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("IIC");
  const uint32_t edit = Declared(project, "IIC", "Slave Address:").id;
  ASSERT_TRUE(page.TypeText(edit, "0x155"));
  ASSERT_TRUE(page.FocusLost(edit));
  // 0x155 = 0b10_1010101: 0x55 into IICA1 bits 1..7 (0xAA, bit 0 kept: 0xAB) and 2 into
  // IICC2 bits 0..2 (bits 3..7 kept: 0x48 | 2 = 0x4A).
  EXPECT_EQ(project.Reg("IIC", "IICA1_INIT").value, 0xABu);
  EXPECT_EQ(project.Reg("IIC", "IICC2_INIT").value, 0x4Au);
  auto& module = project.Module<CpmI2C_Brel>("IIC");
  EXPECT_EQ(module.GetSlaveAddress(), 0x155u);

  // The SCL low timeout: 4660 = 0x1234, high byte into IICSLTH, low byte into IICSLTL.
  const uint32_t timeout = Declared(project, "IIC", "SCL Low Time Out:").id;
  ASSERT_TRUE(page.TypeText(timeout, "4660"));
  ASSERT_TRUE(page.FocusLost(timeout));
  EXPECT_EQ(project.Reg("IIC", "IICSLTH_INIT").value, 0x12u);
  EXPECT_EQ(project.Reg("IIC", "IICSLTL_INIT").value, 0x34u);
  project.Find("IIC")->RefreshAll();
  EXPECT_EQ(project.Ctl("IIC", timeout)->text, "4660");
  EXPECT_EQ(project.Ctl("IIC", edit)->text, "0x155");
}

TEST(I2cBrel, SevenBitAddressingWarnsAboveOneHundredTwentySeven) {
  // Address 0x155 (IICA1 0xAA, IICC2 bits 0..2 = 2) with "7-bit" (IICC2 bit 6 clear).
  ModuleProject project({.part = "CVX-31",
                         .defines = "#define IIC_0_IICA1_INIT 0xAAU\n#define IIC_0_IICC2_INIT 0x02U\n"});
  ASSERT_TRUE(project.Opened());
  project.Check();
  const uint32_t caption = Declared(project, "IIC_0", "Slave Address:").captionId;
  auto warning = project.WarningAt("IIC_0", caption);
  ASSERT_TRUE(warning.has_value());
  EXPECT_EQ(warning->text, "Slave address must be less than 128 when using 7-bit adressing.");
  EXPECT_FALSE(project.WarningAt("IIC_1", Declared(project, "IIC_1", "Slave Address:").captionId));

  // "10-bit" clears it; so does a small address in 7-bit mode.
  Page& page = project.OpenPage("IIC_0");
  ASSERT_TRUE(page.Click(Declared(project, "IIC_0", "10-bit").id));
  EXPECT_EQ(project.Reg("IIC_0", "IICC2_INIT").value, 0x42u);
  project.Check();
  EXPECT_FALSE(project.WarningAt("IIC_0", caption));
  ASSERT_TRUE(page.Click(Declared(project, "IIC_0", "7-bit").id));
  project.Check();
  EXPECT_TRUE(project.WarningAt("IIC_0", caption));
  project.Reg("IIC_0", "IICC2_INIT").value = 0x00;
  project.Check();
  EXPECT_FALSE(project.WarningAt("IIC_0", caption));
}

TEST(I2cBrel, SlaveOperationIsCheckedWhileItsBitIsClear) {
  ModuleProject project({.part = "CVX-28", .defines = "#define IIC_IICC1_INIT 0x80U\n"});
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("IIC");
  const uint32_t box = Declared(project, "IIC", "Enable Slave Operation").id;
  EXPECT_TRUE(project.Ctl("IIC", box)->checked);
  ASSERT_TRUE(page.Click(box));
  EXPECT_EQ(project.Reg("IIC", "IICC1_INIT").value, 0xA0u);
}

TEST(I2cBrel, TheDornGroupRunsTheDividerFromItsBusClock) {
  // Dorn, 60 MHz bus; IICF 0x54 = MUL 2, prescaler "2-9-6-4-1", tap "9-3":
  // divider 2 x 2 x (6 + 8 x 4 + 2) = 160, 60 MHz / 160 = 375 kHz.
  ModuleProject project({.part = "CVX-31", .defines = kDornClock + "#define IIC_1_IICF_INIT 0x54U\n"});
  ASSERT_TRUE(project.Opened());
  ASSERT_FLOAT_EQ(dynamic_cast<CModule&>(*project.Find("IIC_1")).GetBusClockMHz(), 60.0f);
  project.OpenPage("IIC_1");
  EXPECT_EQ(Text(project, "IIC_1", "SCL Divider:"), "160");
  EXPECT_EQ(Text(project, "IIC_1", "Frequency"), "375 kHz");
  // The Dorn controller has no user slots: no note anywhere.
  EXPECT_FALSE(dynamic_cast<CI2cModule&>(*project.Find("IIC_1")).Declaration().Has("UserSlotNote"));
}

TEST(I2cBrel, TheNoteNamesTheUserSlotThatServesTheVector) {
  // USER1 serves vector 23 (the I2C vector of the Brel group); USER1's ISR is vector 45's.
  ModuleProject project({.part = "CVX-28",
                         .defines = "#define WINTC_IAR0_INIT 0x0017U\n"
                                    "#define INT_VECTOR_ADDR_45 I2cSlotIsr\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("IIC");
  const Control* note = project.Ctl("IIC", Declared(project, "IIC", "UserSlotNote").id);
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->shown);
  EXPECT_NE(note->text.find("NOTE: defined as USER1 (I2cSlotIsr) in WINTC module."), std::string::npos);
  EXPECT_NE(note->text.find("tarq:WINTC/"), std::string::npos);

  ModuleProject plain({.part = "CVX-28"});
  plain.OpenPage("IIC");
  EXPECT_FALSE(plain.Ctl("IIC", Declared(plain, "IIC", "UserSlotNote").id)->shown);
}

// ---- the FIFO controller ----

TEST(I2cCasp, ResetCountsGiveOneHundredAndFourHundredKilobitsAtThirtyTwoMegahertz) {
  // 32 MHz bus. Standard: low 156 + 1 = 157, high 155 + 8 = 163, 320 clocks: 100 kb/s.
  // Fast: low 36 + 1 = 37, high 35 + 8 = 43, 80 clocks: 400 kb/s.
  ModuleProject project({.part = "CVX-25", .defines = kCaspClock});
  ASSERT_TRUE(project.Opened());
  ASSERT_FLOAT_EQ(dynamic_cast<CModule&>(*project.Find("IIC")).GetBusClockMHz(), 32.0f);
  project.OpenPage("IIC");
  EXPECT_EQ(Text(project, "IIC", "Standard low clocks"), "157");
  EXPECT_EQ(Text(project, "IIC", "Standard high clocks"), "163");
  EXPECT_EQ(Text(project, "IIC", "Standard bit rate"), "100.000 kb/s");
  EXPECT_EQ(Text(project, "IIC", "Standard low time"), "4.90625 us");  // 157 / 32 MHz
  EXPECT_EQ(Text(project, "IIC", "Fast low clocks"), "37");
  EXPECT_EQ(Text(project, "IIC", "Fast high clocks"), "43");
  EXPECT_EQ(Text(project, "IIC", "Fast bit rate"), "400.000 kb/s");
}

TEST(I2cCasp, CountsBelowTheMinimumsCountAsTheMinimums) {
  // SSLCNT 3 < 8: 9 clocks; SSHCNT 5 < 6: 14 clocks; 23 clocks at 32 MHz = 1391.304 kb/s.
  // SSLCNT 8 is the first value taken as it stands: 9 clocks as well; SSHCNT 6: 14.
  ModuleProject project({.part = "CVX-25",
                         .defines = kCaspClock + "#define IIC_SSLCNT_INIT 0x0003U\n#define IIC_SSHCNT_INIT 0x0005U\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("IIC");
  EXPECT_EQ(Text(project, "IIC", "Standard low clocks"), "9");
  EXPECT_EQ(Text(project, "IIC", "Standard high clocks"), "14");
  EXPECT_EQ(Text(project, "IIC", "Standard bit rate"), "1.391 Mb/s");
  EXPECT_EQ(CpmI2C_Casp::LowCount(8), 9);
  EXPECT_EQ(CpmI2C_Casp::HighCount(6), 14);
  EXPECT_EQ(CpmI2C_Casp::LowCount(7), 9);
  EXPECT_EQ(CpmI2C_Casp::HighCount(7), 15);
}

TEST(I2cCasp, TheHighSpeedClockDrivesTheCountsWhenTheSystemModuleRoutesIt) {
  // SIM_PCR bit 12 sends the 3x system clock to the I2C.
  ModuleProject project({.part = "CVX-25", .defines = kCaspClock + "#define SIM_PCR_INIT 0x1000U\n"});
  ASSERT_TRUE(project.Opened());
  auto& iic = project.Module<CpmI2C_Casp>("IIC");
  const double hs = static_cast<double>(iic.GetHSClockMHz()) * 1e6;
  ASSERT_GT(hs, 0.0);
  EXPECT_DOUBLE_EQ(iic.ClockHz(), hs);
  EXPECT_DOUBLE_EQ(iic.ClockHz(), 96e6);  // 3 x the 32 MHz system clock
  project.OpenPage("IIC");
  EXPECT_EQ(Text(project, "IIC", "Standard bit rate"), "300.000 kb/s");  // 96 MHz / 320
  // The label links to the box on the system page.
  const Control* link = project.Ctl("IIC", Declared(project, "IIC", "Clocks").id);
  EXPECT_NE(link->text.find("I2C <A HREF=\"tarq:SYS/"), std::string::npos);
}

TEST(I2cCasp, WithoutAClockTheRatesSayInvalidAndTheTimesOff) {
  // A tree without a clock module: the bus clock is 0.
  ModuleProject project({.part = "CVX-25",
                         .tree = "IIC I2C_Casp NONE IRQ: \"Inter-Integrated Circuit\"\n"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("IIC");
  EXPECT_EQ(Text(project, "IIC", "Standard bit rate"), "Invalid");
  EXPECT_EQ(Text(project, "IIC", "Fast bit rate"), "Invalid");
  EXPECT_EQ(Text(project, "IIC", "Fast high time"), "OFF");
  // Without interrupt vectors the groups keep their boxes and lose only the panels.
  EXPECT_TRUE(Declared(project, "IIC", "Receiver FIFO Underflow").Bit() != nullptr);
}

TEST(I2cCasp, InterruptBoxesAndTheInvertedSlaveBoxWriteTheirBits) {
  ModuleProject project({.part = "CVX-25"});
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("IIC");
  ASSERT_TRUE(page.Click(Declared(project, "IIC", "General Call Address Received").id));
  ASSERT_TRUE(page.Click(Declared(project, "IIC", "I2C Activity").id));
  EXPECT_EQ(project.Reg("IIC", "IENBL_INIT").value, 0x08FFu ^ 0x0800u ^ 0x0100u);
  EXPECT_TRUE(project.Ctl("IIC", Declared(project, "IIC", "Enable Slave Operation").id)->checked);
  ASSERT_TRUE(page.Click(Declared(project, "IIC", "Enable Slave Operation").id));
  EXPECT_EQ(project.Reg("IIC", "CTRL_INIT").value, 0x0064u);
  // Each vector group holds the panel of its own vector: 38 error .. 42 status.
  EXPECT_EQ(project.Module<CpmI2C_Casp>("IIC").InterruptUsers()[4].vector, 42u);
}

}  // namespace
}  // namespace tarq

// The serial peripheral interface: both register tables, the divisor split over two
// registers on Brel and Dorn with its limit warning, the inverted polarity values, the
// delay time, the driver mode's vector claims and the examples' bit clocks.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/intc.h"
#include "modules/spi.h"
#include "project/KnownParts.h"

namespace tarq {
namespace {

ModuleProject SpiProject(const std::string& part, const std::string& spiLines,
                         const std::string& defines, StubClockSource*& clock) {
  return ModuleProject(
      {.part = part,
       .defines = defines,
       .tree = "OCCS CLK NONE IRQ:\nINTC INTC NONE IRQ:\n" + spiLines,
       .factory = [&clock](ModuleFactory& factory) {
         factory.Register("CLK", [&clock](const ArchitectureEntry& entry, CModuleBase*) {
           auto made = std::make_unique<StubClockSource>(entry);
           clock = made.get();
           return std::unique_ptr<CModuleBase>(std::move(made));
         });
       }});
}

std::string Shown(ModuleProject& project, const std::string& key) {
  CpmSPI& spi = project.Module<CpmSPI>("SPI_0");
  spi.UpdateValues();
  return project.Ctl("SPI_0", spi.Declaration().Find(key)->id)->text;
}

}  // namespace

TEST(SpiVariants, EveryGroupDeclaresWithoutFaultsWithItsTableAndLists) {
  struct Expect {
    const char* part;
    const char* dataRegister;
    size_t divisorItems;
    bool fifo;
    bool delayTime;
  };
  for (const Expect& e : {Expect{"CVX-01", "SPDSR_INIT", 4, false, false},
                          Expect{"CVX-08", "SPDSCR_INIT", 8, false, false},
                          Expect{"CVX-20", "SPDSCR_INIT", 8, false, false},
                          Expect{"CVX-24", "SPDSCR_INIT", 8, true, true},
                          Expect{"CVX-28", "SPDSCR_INIT", 12, false, false},
                          Expect{"CVX-30", "SPDSCR_INIT", 14, true, false}}) {
    SCOPED_TRACE(e.part);
    ModuleProject project({.part = e.part});
    ASSERT_TRUE(project.Opened());
    CpmSPI& spi = project.Module<CpmSPI>("SPI_0");
    const PageDeclaration& d = spi.Declaration();
    const std::vector<std::string> faults = d.Verify();
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_EQ(spi.Registers()[0].name, e.dataRegister);
    EXPECT_EQ(d.Find("Divisor:")->decl.items.size(), e.divisorItems);
    EXPECT_EQ(d.Find("Divisor:")->decl.items.back(), "IP/" + std::to_string(e.divisorItems == 4 ? 32 : 2 << (e.divisorItems - 1)));
    EXPECT_EQ(spi.FindOwnRegister("FIFO_INIT")->Has(DUMMYREG), !e.fifo);
    EXPECT_EQ(d.Has("Delay time:"), e.delayTime);
    EXPECT_EQ(d.Has("Wired OR mode:"), std::string(e.part) != "CVX-01");
    project.OpenPage("SPI_0");
    spi.UpdateEnables();
  }
}

TEST(SpiClock, ClassicTableAndTheDoublingDivisorsWithTheDelay) {
  // Classic, position 3 (SPSCR bits 6..7 = 3, 0x00C0): 40 MHz / 32 = 1.25 MHz.
  {
    StubClockSource* clock = nullptr;
    ModuleProject project = SpiProject("CVX-01", "SPI_0 SPI NONE IRQ:26,27\n",
                                       "#define SPI_0_SPSCR_INIT 0x00C0U\n", clock);
    ASSERT_TRUE(project.Opened());
    clock->bus = 40;
    project.OpenPage("SPI_0");
    EXPECT_EQ(Shown(project, "Frequency:"), "1.25 MHz");
    clock->bus = 0;  // no clock: the fallback text, never inf
    EXPECT_EQ(Shown(project, "Frequency:"), "invalid");
  }
  // Casp, position 2 with the doubling: divisor 2^3 x 2 = 16, 32 MHz / 16 = 2 MHz.
  // Delay 32 words of the bus clock: 32 / 32e6 = 1 us.
  {
    StubClockSource* clock = nullptr;
    ModuleProject project = SpiProject("CVX-24", "SPI_0 SPI NONE IRQ:28,29\n",
                                       "#define SPI_0_SPSCR_INIT 0x4160U\n"
                                       "#define SPI_0_SPDSCR_INIT 0x100FU\n"
                                       "#define SPI_0_DELAY_INIT 0x0020U\n",
                                       clock);
    ASSERT_TRUE(project.Opened());
    clock->bus = 32;
    project.OpenPage("SPI_0");
    EXPECT_EQ(Shown(project, "Frequency:"), "2 MHz");
    EXPECT_EQ(Shown(project, "Delay time:"), "1 us");
    clock->bus = 0;
    EXPECT_EQ(Shown(project, "Delay time:"), "0");
  }
}

TEST(SpiDivisor, BrelSplitsThePositionAndLimitsItWithAWarning) {
  // Position 12: SPSCR bits 13..15 = 4 (0x8000), SPDSCR bit 4 set (0x001F).
  StubClockSource* clock = nullptr;
  ModuleProject project = SpiProject("CVX-28", "SPI_0 SPI NONE IRQ:19,20\n",
                                     "#define SPI_0_SPSCR_INIT 0x8000U\n"
                                     "#define SPI_0_SPDSCR_INIT 0x001FU\n",
                                     clock);
  ASSERT_TRUE(project.Opened());
  clock->bus = 32;
  Page& page = project.OpenPage("SPI_0");
  CpmSPI& spi = project.Module<CpmSPI>("SPI_0");
  EXPECT_EQ(spi.DivisorPosition(), 12);
  // IP/8192 is beyond the part: 4096 is used, 32 MHz / 4096 = 7.8125 kHz.
  EXPECT_EQ(spi.EffectiveDivisor(), 4096u);
  EXPECT_EQ(Shown(project, "Frequency:"), "7.8125 kHz");
  const uint32_t multiply = spi.Declaration().Find(CpmSPI::kMultiplyKey)->id;
  project.Check();
  auto warning = project.WarningAt("SPI_0", multiply);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, "Maximum divisor value is 4096; this option will have no effect.");
  // The list has no item for 12 and selects nothing.
  EXPECT_EQ(page.Find(spi.Declaration().Find("Divisor:")->id)->selection, -1);

  // Choosing IP/16 (position 3) writes both registers: the high bit is cleared.
  ASSERT_TRUE(page.SelectItem(spi.Declaration().Find("Divisor:")->id, 3));
  EXPECT_EQ(project.Reg("SPI_0", "SPSCR_INIT").value & 0xE000u, 0x6000u);
  EXPECT_EQ(project.Reg("SPI_0", "SPDSCR_INIT").value & 0x0010u, 0u);
  EXPECT_EQ(Shown(project, "Frequency:"), "2 MHz");
  project.Check();
  EXPECT_FALSE(project.WarningAt("SPI_0", multiply));
  // IP/4096 (position 11): 3 in SPSCR, the high bit set.
  ASSERT_TRUE(page.SelectItem(spi.Declaration().Find("Divisor:")->id, 11));
  EXPECT_EQ(project.Reg("SPI_0", "SPSCR_INIT").value & 0xE000u, 0x6000u);
  EXPECT_EQ(project.Reg("SPI_0", "SPDSCR_INIT").value & 0x0010u, 0x0010u);

  // Polarity items stand for 1 ("Falling edge") and 0 ("Rising Edge").
  project.Reg("SPI_0", "SPSCR_INIT").value |= 0x0080u;
  spi.RefreshAll();
  EXPECT_EQ(page.Find(spi.Declaration().Find("SCLK Polarity:")->id)->selection, 0);
}

TEST(SpiDivisor, DornDoublesPastItsLimit) {
  // Position 13 (SPSCR 5 << 13 = 0xA000, SPDSCR bit 4) with the doubling (bit 12):
  // 2^14 x 2 = 32768 > 16384, limited. 64 MHz / 16384 = 3.90625 kHz.
  StubClockSource* clock = nullptr;
  ModuleProject project = SpiProject("CVX-30", "SPI_0 SPI NONE IRQ:27,28\n",
                                     "#define SPI_0_SPSCR_INIT 0xA000U\n"
                                     "#define SPI_0_SPDSCR_INIT 0x101FU\n",
                                     clock);
  ASSERT_TRUE(project.Opened());
  clock->bus = 64;
  project.OpenPage("SPI_0");
  CpmSPI& spi = project.Module<CpmSPI>("SPI_0");
  EXPECT_EQ(spi.DivisorPosition(), 13);
  EXPECT_TRUE(spi.DivisorLimited());
  EXPECT_EQ(Shown(project, "Frequency:"), "3.90625 kHz");
  project.Check();
  auto warning = project.WarningAt("SPI_0", spi.Declaration().Find(CpmSPI::kMultiplyKey)->id);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, "Maximum divisor value is 16384; this option will have no effect.");
}

TEST(SpiDriverMode, ClaimsBothVectorsReportsAFailedClaimAndKeepsAnUnknownMode) {
  StubClockSource* clock = nullptr;
  ModuleProject project = SpiProject(
      "CVX-08", "SPI_0 SPI NONE IRQ:33,34\nSPI_1 SPI NONE IRQ:33,34\n",
      "#define SPI_0_HIGHLEVEL_MODE 1\n#define INT_VECTOR_ADDR_34 MyTx\n", clock);
  ASSERT_TRUE(project.Opened());
  project.Check();
  CpmINTC& intc = project.Module<CpmINTC>("INTC");
  EXPECT_EQ(intc.IsrRegister(33)->text, "Spi0RxFullISR");
  EXPECT_EQ(intc.IsrRegister(34)->text, "Spi0TxEmptyISR");

  // The second module wants the same vectors: the warning the serial port gives.
  project.Reg("SPI_1", "HIGHLEVEL_MODE").value = 1;
  project.Check();
  CpmSPI& second = project.Module<CpmSPI>("SPI_1");
  auto warning = project.WarningAt("SPI_1", second.Declaration().Find(CpmSPI::kModeKey)->captionId);
  ASSERT_TRUE(warning);
  EXPECT_EQ(warning->text, CpmSPI::kClaimFailedText);

  // Modes 2 and 3 name no item: nothing selected, the value kept, the vectors released.
  project.Reg("SPI_1", "HIGHLEVEL_MODE").value = 0;
  project.Reg("SPI_0", "HIGHLEVEL_MODE").value = 3;
  Page& page = project.OpenPage("SPI_0");
  project.Check();
  CpmSPI& first = project.Module<CpmSPI>("SPI_0");
  EXPECT_EQ(first.DriverMode(), -1);
  EXPECT_EQ(page.Find(first.Declaration().Find(CpmSPI::kModeKey)->id)->selection, -1);
  EXPECT_EQ(project.Reg("SPI_0", "HIGHLEVEL_MODE").value, 3u);
  EXPECT_FALSE(intc.IsClaimed(33));
  EXPECT_EQ(intc.IsrRegister(34)->text, "MyTx");
  EXPECT_FALSE(project.WarningAt("SPI_1", second.Declaration().Find(CpmSPI::kModeKey)->captionId));
}

}  // namespace tarq

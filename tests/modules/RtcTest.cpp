// The real-time counter: divide-by, interrupt rate and roll-over time for both divide-by tables
// worked out, the shown texts where the counter is off or its clock unknown, and the check of
// the 1 kHz oscillator against a stand-in power management module.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "modules/rtc.h"

namespace tarq {
namespace {

class PowerStandIn : public CModule, public PowerManagement {
 public:
  explicit PowerStandIn(const ArchitectureEntry& entry) : CModule(entry) {}
  bool IsLowPowerOscillatorEnabled() const override { return lowPower; }
  bool lowPower = true;
};

ProjectSpec RtcSpec(bool withPower) {
  return {.part = "CVX-28",
          .tree = std::string(withPower ? "PMC POWER NONE IRQ:\n" : "") + "RTC RTC PMC IRQ:33 Real Time Counter\n",
          .factory = [](ModuleFactory& factory) {
            factory.Register("POWER", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<PowerStandIn>(entry));
            });
          }};
}

// RTCSC from a clock source (0..3) and a prescaler field (0..15).
uint32_t Sc(uint32_t source, uint32_t prescaler) { return source << 5 | prescaler; }

struct Shown {
  std::string divide, rate, rollOver;
};

Shown Show(ModuleProject& project) {
  auto& rtc = project.Module<CpmRTC>("RTC");
  rtc.UpdateValues();
  const auto text = [&](const char* key) {
    const Control* control = project.Ctl("RTC", rtc.ControlIdOf(key));
    return control ? control->text : std::string("(no page)");
  };
  return {text("Divide-By value"), text("Interrupt Rate"), text("Roll Over Time")};
}

TEST(RtcValues, BothDivideByTablesWorkedOut) {
  ModuleProject project(RtcSpec(false));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("RTC");
  auto& rtc = project.Module<CpmRTC>("RTC");
  Register& sc = project.Reg("RTC", "RTCSC_INIT");
  Register& mod = project.Reg("RTC", "RTCMOD_INIT");

  // LPO 1000 Hz, prescaler 15 (/ 1000), modulo 0 (counts as 1): 1000 / 1000 = 1 Hz, 1 s.
  sc.value = Sc(0, 15);
  mod.value = 0;
  EXPECT_DOUBLE_EQ(rtc.InterruptRateHz(), 1.0);
  Shown shown = Show(project);
  EXPECT_EQ(shown.divide, "1000");
  EXPECT_EQ(shown.rate, "1 Hz");
  EXPECT_EQ(shown.rollOver, "1 sec");

  // Internal 32 MHz (source 2, first table), prescaler 7 (/ 1024), modulo 250:
  // 32e6 / (1024 x 250) = 125 Hz, 8 ms.
  sc.value = Sc(2, 7);
  mod.value = 250;
  EXPECT_DOUBLE_EQ(rtc.InterruptRateHz(), 125.0);
  shown = Show(project);
  EXPECT_EQ(shown.divide, "1024");
  EXPECT_EQ(shown.rollOver, "8 ms");

  // Internal 32 MHz (source 3, second table), prescaler 1 (/ 1024), modulo 125:
  // 32e6 / (1024 x 125) = 250 Hz, 4 ms. Prescaler 15 of that table divides by 200000:
  // 32e6 / (200000 x 160) = 1 Hz.
  sc.value = Sc(3, 1);
  mod.value = 125;
  EXPECT_DOUBLE_EQ(rtc.InterruptRateHz(), 250.0);
  EXPECT_EQ(Show(project).rollOver, "4 ms");
  sc.value = Sc(3, 15);
  mod.value = 160;
  EXPECT_EQ(Show(project).divide, "200000");
  EXPECT_DOUBLE_EQ(rtc.InterruptRateHz(), 1.0);

  // The tables differ at every prescaler but 0.
  for (uint32_t p = 1; p < 16; ++p) EXPECT_NE(CpmRTC::DivideBy(0, p), CpmRTC::DivideBy(1, p)) << p;
  EXPECT_EQ(CpmRTC::DivideBy(2, 8), 1u);
  EXPECT_EQ(CpmRTC::DivideBy(1, 8), 1000u);

  // Prescaler 0: off. External clock: rate unknown.
  sc.value = Sc(0, 0);
  shown = Show(project);
  EXPECT_EQ(shown.divide, "OFF");
  EXPECT_EQ(shown.rate, "n/a");
  EXPECT_EQ(shown.rollOver, "n/a");
  sc.value = Sc(1, 3);
  shown = Show(project);
  EXPECT_EQ(shown.divide, "4096");
  EXPECT_EQ(shown.rate, "n/a");
}

TEST(RtcWarnings, TheLowPowerOscillatorMustRunWhenItClocksTheCounter) {
  ModuleProject project(RtcSpec(true));
  ASSERT_TRUE(project.Opened());
  auto& rtc = project.Module<CpmRTC>("RTC");
  auto& power = project.Module<PowerStandIn>("PMC");
  const uint32_t id = rtc.ControlIdOf("Clock Source:", true);
  power.lowPower = false;
  project.Reg("RTC", "RTCSC_INIT").value = Sc(0, 1);
  project.Check();
  EXPECT_EQ(project.WarningText("RTC", id),
            "1 kHz oscilator is selected as a clock source for RTC but it is not enabled in PMC module.");
  // Another source, or the oscillator on: silent.
  project.Reg("RTC", "RTCSC_INIT").value = Sc(2, 1);
  project.Check();
  EXPECT_EQ(project.WarningText("RTC", id), "");
  project.Reg("RTC", "RTCSC_INIT").value = Sc(0, 1);
  power.lowPower = true;
  project.Check();
  EXPECT_EQ(project.WarningText("RTC", id), "");

  // Without a power management module the check stays silent.
  ModuleProject alone(RtcSpec(false));
  alone.Reg("RTC", "RTCSC_INIT").value = Sc(0, 1);
  alone.Check();
  EXPECT_TRUE(alone.WarningsOf("RTC").empty());
  EXPECT_TRUE(rtc.Declaration().Verify().empty());
}

}  // namespace
}  // namespace tarq

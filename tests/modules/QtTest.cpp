// The quad timers: register tables per chip group, the group-wide channel enable, counting
// frequencies and filter latencies, the source checks and the PINS reader.
#include <gtest/gtest.h>

#include <set>

#include "../support/ModuleHarness.h"
#include "framework/Pins.h"
#include "modules/qt.h"

namespace tarq {
namespace {

// A system module that answers only which of its boxes are checked.
class StubGate : public StubModule, public PeripheralClockGate {
 public:
  explicit StubGate(const ArchitectureEntry& entry) : StubModule(entry, {}) {}
  void CheckPeripheralClock(CModuleBase&) override {}
  bool IsOptionChecked(const std::string& caption) const override { return checked.count(caption) != 0; }
  std::string OptionLink(const std::string&) const override { return {}; }
  std::string SelectedOptionText(const std::string&) const override { return {}; }
  std::set<std::string> checked;
};

ProjectSpec TimerSpec(const std::string& part, const std::string& moduleInfo = {}) {
  return {.part = part,
          .tree = "OCCS CLOCK NONE IRQ:\nSIM GATE NONE IRQ:\nQT_A QTALL NONE IRQ:\n"
                  "QT_A0 QT NONE IRQ:48\nQT_A1 QT NONE IRQ:49\nQT_A2 QT NONE IRQ:50\n"
                  "QT_B0 QT NONE IRQ:52\n",
          .moduleInfo = moduleInfo,
          .factory = [](ModuleFactory& factory) {
            factory.Register("CLOCK", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<StubClockSource>(entry));
            });
            factory.Register("GATE", [](const ArchitectureEntry& entry, CModuleBase*) {
              return std::unique_ptr<CModuleBase>(std::make_unique<StubGate>(entry));
            });
          }};
}

uint32_t Ctrl(int mode, int primary, int secondary = 0, int output = 0) {
  return static_cast<uint32_t>(mode << 13 | primary << 9 | secondary << 7 | output);
}

std::string Shown(ModuleProject& project, const std::string& prefix, const std::string& key) {
  auto& qt = project.Module<CpmQT>(prefix);
  qt.UpdateValues();
  return project.Ctl(prefix, qt.ControlIdOf(key))->text;
}

TEST(QtRegisters, CountPerChipGroupAndTheGroupWideEnable) {
  struct Case { const char* part; size_t count; };
  for (const Case& c : {Case{"CVX-01", 6}, Case{"CVX-20", 9}, Case{"CVX-25", 11},
                        Case{"CVX-28", 11}, Case{"CVX-30", 11}, Case{"CVX-10", 9}}) {
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened()) << c.part;
    for (CModuleBase* module : project.Doc().GetModules()) {
      auto* qt = dynamic_cast<CpmQT*>(module);
      if (!qt) continue;
      EXPECT_EQ(qt->Registers().size(), c.count) << qt->GetPrefix();
      EXPECT_TRUE(qt->Declaration().Verify().empty()) << qt->GetPrefix();
      if (c.count < 11) continue;
      const Register& enbl = qt->Registers()[10];
      EXPECT_EQ(enbl.resetValue, 0x000Fu);
      // Only channel 0 of groups A and B writes the enable register.
      const bool writes = qt->GroupIndex() <= 1 && qt->Channel() == 0;
      EXPECT_EQ((enbl.flags & (DUMMYREG | NOSHOWLIST)) == 0, writes) << qt->GetPrefix();
    }
  }
}

TEST(QtRegisters, ChannelEnableOfAnyChannelEditsChannelZero) {
  ModuleProject project({.part = "CVX-25"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("QT_A2");
  auto& a2 = project.Module<CpmQT>("QT_A2");
  const DeclaredControl* box = a2.Declaration().Find(
      "Timer Channel Enabled (counter starts counting immediatelly after initialized)");
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->Bit(), nullptr);
  EXPECT_EQ(box->Bit()->GetRegisterRef().module, project.Find("QT_A0"));
  project.Reg("QT_A0", "ENBL_INIT").value = 0x000B;  // channel 2 off
  box->Bit()->Refresh();
  EXPECT_FALSE(project.Ctl("QT_A2", box->id)->checked);
  project.Reg("QT_A0", "ENBL_INIT").value = 0x000F;
  box->Bit()->Refresh();
  EXPECT_TRUE(project.Ctl("QT_A2", box->id)->checked);
}

TEST(QtPage, ChoosingACountModeEnablesTheSourcesAtOnce) {
  // A stopped channel has no source to choose; picking a counting mode on the page makes the
  // primary source choosable without any other step, and a prescaler source disables the
  // input polarity (it has no pin).
  ModuleProject project(TimerSpec("CVX-25"));
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("QT_A1");
  auto& qt = project.Module<CpmQT>("QT_A1");
  const uint32_t mode = qt.ControlIdOf("Count mode");
  const uint32_t primary = qt.ControlIdOf("Primary source");
  const uint32_t polarity = qt.ControlIdOf("Input polarity");
  ASSERT_NE(mode, 0u);
  ASSERT_NE(primary, 0u);
  ASSERT_NE(polarity, 0u);
  EXPECT_FALSE(project.Ctl("QT_A1", primary)->enabled);
  ASSERT_TRUE(page.SelectItem(mode, 1));
  EXPECT_TRUE(project.Ctl("QT_A1", primary)->enabled);
  EXPECT_TRUE(project.Ctl("QT_A1", polarity)->enabled);
  ASSERT_TRUE(page.SelectItem(primary, 8));  // Prescaler (IPB clock/ 1)
  EXPECT_FALSE(project.Ctl("QT_A1", polarity)->enabled);
  EXPECT_EQ(project.Reg("QT_A1", "CTRL_INIT").value >> 9 & 15u, 8u);
  ASSERT_TRUE(page.SelectItem(mode, 0));
  EXPECT_FALSE(project.Ctl("QT_A1", primary)->enabled);
}

TEST(QtValues, CountingFrequencyFromBusAndHighSpeedClock) {
  ModuleProject project(TimerSpec("CVX-25"));
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  project.OpenPage("QT_A0");
  Register& ctrl = project.Reg("QT_A0", "CTRL_INIT");

  clock.bus = 60;
  // Counting, prescaler /2: 60 MHz / 2 = 30 MHz.
  ctrl.value = Ctrl(1, 9);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "30 MHz");
  // Edge mode counts both edges, prescaler /4: 60 MHz / 4 x 2 = 30 MHz.
  ctrl.value = Ctrl(2, 10);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "30 MHz");
  // A stopped counter shows OFF, whatever its prescaler.
  ctrl.value = Ctrl(0, 8);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "OFF");
  EXPECT_TRUE(project.Module<CpmQT>("QT_A0").IsStopped());
  // A pin source counts at a rate nobody knows.
  ctrl.value = Ctrl(1, 0);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "non explicit");
  clock.bus = 30;
  // 30 MHz / 1 = 30 MHz; 30 MHz / 128 = 234.375 kHz.
  ctrl.value = Ctrl(1, 8);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "30 MHz");
  ctrl.value = Ctrl(1, 15);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "234.375 kHz");
  clock.bus = 5;
  // 5 MHz / 8 = 625 kHz, shown in MHz above 500 kHz.
  ctrl.value = Ctrl(1, 11);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "0.625 MHz");
  // No bus clock: the fallback, never "inf" or "nan".
  clock.bus = 0;
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "non explicit");

  // The group A box of the system module puts group A (only) on the 96 MHz high-speed clock:
  // 96 MHz / 1 = 96 MHz; group B stays on the 60 MHz bus: 60 MHz / 1.
  clock.bus = 60;
  clock.highSpeed = 96;
  project.Module<StubGate>("SIM").checked.insert(
      "Timer A clock sourced from HS_PERF (3x System Clock)");
  ctrl.value = Ctrl(1, 8);
  EXPECT_EQ(Shown(project, "QT_A0", "Frequency:"), "96 MHz");
  project.OpenPage("QT_B0");
  project.Reg("QT_B0", "CTRL_INIT").value = Ctrl(1, 8);
  EXPECT_EQ(Shown(project, "QT_B0", "Frequency:"), "60 MHz");
  project.Module<StubGate>("SIM").checked.insert(
      "Timer B clock sourced from HS_PERF (3x System Clock)");
  EXPECT_EQ(Shown(project, "QT_B0", "Frequency:"), "96 MHz");
}

TEST(QtValues, InputFilterLatency) {
  ModuleProject project(TimerSpec("CVX-25"));
  ASSERT_TRUE(project.Opened());
  project.Module<StubClockSource>("OCCS").bus = 60;
  project.OpenPage("QT_A0");
  Register& filt = project.Reg("QT_A0", "FILT_INIT");
  // Sampling period 0: the filter is off.
  filt.value = 0x0300;
  EXPECT_EQ(Shown(project, "QT_A0", "Filter latency:"), "OFF");
  EXPECT_EQ(Shown(project, "QT_A0", "Filter delay:"), "OFF");
  // Period 2, "3" samples (field 0): (0 + 3) x 2 + 2 = 8 clk; 8 / 60 MHz = 133.33 ns.
  filt.value = 0x0002;
  EXPECT_EQ(Shown(project, "QT_A0", "Filter latency:"), "8 clk");
  EXPECT_EQ(project.Module<CpmQT>("QT_A0").FilterLatencyClocks(), 8);
  EXPECT_EQ(Shown(project, "QT_A0", "Filter delay:"), "0.13333 us");
  // Period 255, "10" samples (field 7): (7 + 3) x 255 + 2 = 2552 clk; / 60 MHz = 42.533 us (time shown to five decimals).
  filt.value = 0x07FF;
  EXPECT_EQ(Shown(project, "QT_A0", "Filter latency:"), "2552 clk");
  EXPECT_NE(Shown(project, "QT_A0", "Filter delay:").find("42.53"), std::string::npos);
  // Without a clock both show OFF.
  project.Module<StubClockSource>("OCCS").bus = 0;
  EXPECT_EQ(Shown(project, "QT_A0", "Filter latency:"), "OFF");
  EXPECT_EQ(Shown(project, "QT_A0", "Filter delay:"), "OFF");
}

TEST(QtChecks, SourceRules) {
  ModuleProject project(TimerSpec("CVX-25", "QT_A0\n{\n    PINS=0:GPIO_B4,7:GPIO_B5\n}\n"
                                            "QT_A1\n{\n    PINS=0:GPIO_B4,1:PWM_ADC\n}\n"
                                            "QT_A2\n{\n    PINS=0:GPIO_B4\n}\n"));
  ASSERT_TRUE(project.Opened());
  project.OpenPage("QT_A1");
  auto& a1 = project.Module<CpmQT>("QT_A1");
  const uint32_t note = a1.ControlIdOf("primary source note");
  Register& ctrl = project.Reg("QT_A1", "CTRL_INIT");
  const auto primary = [&](uint32_t value) {
    ctrl.value = value;
    project.Check();
    return project.WarningText("QT_A1", note);
  };
  // "Counter #1 output" is channel 1's own output; channel 2's is fine.
  EXPECT_NE(primary(Ctrl(1, 5)).find("Timer source can not be its own output"), std::string::npos);
  EXPECT_EQ(primary(Ctrl(1, 6)), "");
  // Cascaded mode wants another counter's output: a prescaler is refused before any pin check.
  EXPECT_NE(primary(Ctrl(7, 8)).find("In cascaded mode"), std::string::npos);
  // Gated output refuses the undivided clock only.
  EXPECT_NE(primary(Ctrl(1, 8, 0, 7)).find("must not be the IPBus_Clk/1"), std::string::npos);
  EXPECT_EQ(primary(Ctrl(1, 9, 0, 7)), "");
  // A pin the PINS list does not have.
  EXPECT_NE(primary(Ctrl(1, 2)).find("Timer Pin #2 is not available on this device"),
            std::string::npos);
  // A PWM sync input while no PWM generator exists: silent, never a pin error.
  EXPECT_EQ(primary(Ctrl(1, 1)), "");
  // Stopped: no check at all.
  EXPECT_EQ(primary(Ctrl(0, 2)), "");

  // The reader keeps input numbers 0..3 only.
  const QtInputRecords& a0 = project.Module<CpmQT>("QT_A0").Inputs();
  EXPECT_TRUE(a0[0].present);
  EXPECT_FALSE(a0[1].present);
  EXPECT_EQ(a1.Inputs()[1].pwm, "PWM");
  EXPECT_EQ(a1.Inputs()[1].adc, "ADC");
  // The channel's own pin has an ADC associated: no output enable for channel 1.
  a1.UpdateEnables();
  EXPECT_FALSE(project.Ctl("QT_A1", a1.ControlIdOf("Output enable (OFLAG to pin)"))->enabled);
}

TEST(QtChecks, PinsReaderIgnoresWhatDoesNotFit) {
  const QtInputRecords records = ParseQtPins(
      "0:GPIO_A1|GPIO_B2|GPIO_C3|GPIO_D4|GPIO_E5|GPIO_F6, 9:GPIO_A0, -1:GPIO_A0, x:GPIO_A0, "
      "2:GPIO_B99|PWM_ADC_B|junk, 3 , 0x3:GPIO_C15");
  EXPECT_TRUE(records[0].present);
  EXPECT_EQ(records[0].alternatives[3].gpio, "GPIO_D");
  EXPECT_EQ(records[0].alternatives[3].bit, 4);
  EXPECT_FALSE(records[1].present);
  EXPECT_TRUE(records[2].present);
  EXPECT_EQ(records[2].alternatives[0].gpio, "");  // bit 99 is no pin
  EXPECT_EQ(records[2].pwm, "PWM_B");
  EXPECT_EQ(records[2].adc, "ADC_B");
  EXPECT_TRUE(records[3].present);  // "%i" reads 0x3
  EXPECT_EQ(records[3].alternatives[0].bit, 15);
  // Names that end in no digit 0..3 still give a channel inside the tables.
  ModuleProject project({.part = "CVX-25",
                         .tree = "QT_AX QT NONE IRQ:\nQT_9 QT NONE IRQ:\n",
                         .moduleInfo = "QT_AX\n{\n    PINS=0:GPIO_B4\n}\n"});
  ASSERT_TRUE(project.Opened());
  EXPECT_EQ(project.Module<CpmQT>("QT_AX").Channel(), 0);
  EXPECT_EQ(project.Module<CpmQT>("QT_9").Channel(), 0);
  project.Check();
}

TEST(QtChecks, SiblingPinOwnerCountsOnTheClassicPart) {
  // Each pin of port C names one channel of group A as owner: channel 1 counting input 0
  // needs that pin in peripheral mode, owned by channel 0.
  ModuleProject project({.part = "CVX-01"});
  ASSERT_TRUE(project.Opened());
  project.OpenPage("QT_A1");
  auto& a1 = project.Module<CpmQT>("QT_A1");
  const uint32_t note = a1.ControlIdOf("primary source note");
  project.Reg("QT_A1", "CTRL_INIT").value = Ctrl(1, 0);
  PinPort* port = FindPinPort(project.Doc(), 'C');
  ASSERT_NE(port, nullptr);
  port->SelectFunction(0, 0);
  project.Check();
  EXPECT_NE(project.WarningText("QT_A1", note).find("Timer Pin #0 is not set to Timer mode"),
            std::string::npos);
  port->SelectFunction(0, 1);
  project.Check();
  EXPECT_EQ(project.WarningText("QT_A1", note), "");
}

}  // namespace
}  // namespace tarq

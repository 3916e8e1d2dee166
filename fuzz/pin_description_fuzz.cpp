// libFuzzer target: a GPIO port's module information block (pin lines and parameters) from
// an architecture file. The port must take any text: every pin it accepts lies in 0..15 and
// keeps the limits of the pin grammar, and selecting, reading back and checking every
// function of every pin, with the page built, never fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/Host.h"
#include "framework/Pins.h"
#include "modules/gpio.h"

namespace {

// A system module with enough pin-select registers for any GPS bit below 80.
class SystemStub : public tarq::CModule {
 public:
  SystemStub() : CModule(Entry("SYS", "STUB")) {
    static const tarq::RegisterDecl kRegs[] = {
        {"-SIM_CONROL_INIT", 0, tarq::DW16}, {"___PUDR___", 0, tarq::DW16},
        {"-SIM_CLKOSR_INIT", 0x20, tarq::DW16}, {"-LVI_CONTROL_INIT", 0, tarq::DW16},
        {"-INTXRAM_CHECK_ENABLED", 0, tarq::NOVALUE}, {"-SIM_GPSA_INIT", 0, tarq::DW16},
        {"-SIM_GPSB0_INIT", 0, tarq::DW16}, {"-SIM_GPSB1_INIT", 0, tarq::DW16},
        {"-SIM_GPSC_INIT", 0, tarq::DW16}, {"-SIM_GPSD_INIT", 0, tarq::DW16}};
    InitRegisters(kRegs, sizeof kRegs / sizeof kRegs[0]);
  }
  static tarq::ArchitectureEntry Entry(const char* name, const char* kind) {
    tarq::ArchitectureEntry entry;
    entry.name = name;
    entry.kind = kind;
    entry.linkedModule = "NONE";
    return entry;
  }
};

class Context : public tarq::ModuleContext {
 public:
  tarq::Host& GetHost() override { return host_; }
  const tarq::Options& GetOptions() const override { return options_; }
  tarq::CModuleBase* FindModule(const std::string& prefix, const std::string&) override {
    for (tarq::CModuleBase* module : modules)
      if (module->GetPrefix() == prefix) return module;
    return nullptr;
  }
  std::vector<tarq::CModuleBase*> GetModules() override { return modules; }
  bool TestPart(int n) const override { return n == part; }
  std::vector<tarq::CModuleBase*> modules;
  int part = 42;

 private:
  tarq::CollectingHost host_;
  tarq::Options options_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (const tarq::PinDescription& pin : tarq::ParsePinDescriptions(text)) {
    if (pin.pin < 0 || pin.pin > 15 || pin.functions.size() > 8 || pin.gpsBits.size() > 3)
      std::abort();
    for (const tarq::PinFunction& function : pin.functions)
      if (function.owners.size() > 4 || function.signal.size() > 31 || function.gpsSet > 7)
        std::abort();
  }

  // The first byte picks the chip group: classic, Tebo or Brel rows.
  static const int kGroups[] = {33, 36, 42};
  Context context;
  context.part = kGroups[data[0] % 3];
  SystemStub sys;
  tarq::CpmGPIO port(SystemStub::Entry("GPIO_A", "GPIO"), nullptr);
  port.SetParameterText(text);
  context.modules = {&sys, &port};
  sys.SetContext(&context);
  port.InitModule(context);
  port.CreatePage();
  for (int pin : port.ExistingPins()) {
    const tarq::PinDescription& description = *port.FindPin(pin);
    for (size_t position = 0; position <= description.functions.size() + 1; ++position) {
      port.SelectFunction(pin, static_cast<int>(position));
      const int current = port.CurrentFunction(pin);
      if (current < -1 || current > static_cast<int>(description.functions.size()) + 1) std::abort();
    }
  }
  port.RefreshAll();
  port.CheckWarnings();
  tarq::CollectSignals(context, port, text.substr(0, 8), true);
  tarq::AssignMissingSignals(context, sys, {});
  return 0;
}

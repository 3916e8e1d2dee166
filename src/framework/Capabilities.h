// What modules offer each other. A module finds a partner through the document by what the
// partner can do, never by its name, and asks it for facts, never for its register bits.
// A partner that does not exist is simply not found: checks that need it stay silent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/ModuleBase.h"

namespace tarq {

class Page;
struct InterruptUser;

// The clock generator: the frequencies every peripheral runs on and the oscillator states.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  // IP bus clock, high-speed peripheral clock (0 on parts without one) and system clock,
  // in MHz as the clock module computes them.
  virtual float GetBusClockMHz() const = 0;
  virtual float GetHighSpeedClockMHz() const = 0;
  virtual float GetSystemClockMHz() const = 0;
  virtual bool IsPllRunning() const = 0;
  // Parts with the oscillator control register: the crystal and relaxation oscillators.
  virtual bool IsCrystalOscillatorEnabled() const = 0;
  virtual bool IsRelaxationOscillatorEnabled() const = 0;
  // The crystal frequency in MHz (the page's entry while the page is open), 0 for none.
  virtual float GetCrystalFrequencyMHz() const = 0;
};

// One stage of the clock generator as a clock-tree diagram shows it.
struct ClockStage {
  std::string id;       // "crystal", "pll", "system" ...; unique within the tree
  std::string caption;  // "PLL (VCO)"
  float mhz = 0;        // 0: off, not running or unknown
  std::string parent;   // id of the stage that feeds it; empty for a source
  std::string detail;   // the setting that shapes it, e.g. "x30" or "/2"
  bool violates = false;
  std::string limit;    // the limit it is held to, e.g. "(160...260 MHz)"; empty for none
  std::string link;     // the control that sets it
};

// The clock generator's stages from the sources to the system, bus and high-speed clocks.
class ClockTreeSource {
 public:
  virtual ~ClockTreeSource() = default;
  virtual std::vector<ClockStage> ClockStages() const = 0;
};

// A peripheral clock enable of the system module.
struct ClockGateInfo {
  std::string caption;  // the box's text, e.g. "SCI 0"
  bool enabled = false;
  std::string link;
};

// The interrupt controller: vectors, their priorities and ISR names, the user slots.
class InterruptController {
 public:
  virtual ~InterruptController() = default;
  // Takes over an interrupt user of `user` (a CModule) once every module exists.
  virtual void AttachInterruptUser(CModuleBase& user, InterruptUser& record) = 0;
  // Claims (enable) or releases the vector of an interrupt user for `module` and sets its
  // ISR name; false when another module holds the vector. A release that passes the claim's
  // name clears a remembered name equal to it instead of restoring it.
  virtual bool ClaimVector(const InterruptUser& user, bool enable, const std::string& isrName,
                           CModuleBase* module) = 0;
  // The ISR name a vector has now (the user's or a claimer's); empty when it has none.
  virtual std::string VectorIsrName(uint32_t vector) const {
    (void)vector;
    return {};
  }
  // The user slot (1..6) that serves a vector, with the slot's ISR name; -1 when none does.
  virtual int FindUserSlot(uint32_t vector, std::string* isrName) const = 0;
  // `text` as a link to the source of user slot `slot` on the controller's page; empty when
  // the controller has no such slot.
  virtual std::string UserSlotLink(int slot, const std::string& text) const {
    (void)slot;
    (void)text;
    return {};
  }
  // Builds the panel of one interrupt user on the user's page.
  virtual void BuildInterruptPanel(Page& panel, CModuleBase& user, InterruptUser& record,
                                   bool wide) = 0;
  // Clears the ISR name of a vector that no module holds when the name is `isrName` (a
  // driver's routine that a saved project left assigned); true when it was cleared.
  virtual bool ClearIsrName(uint32_t vector, const std::string& isrName) {
    (void)vector;
    (void)isrName;
    return false;
  }
  // The vectors whose ISR name is `isrName`.
  virtual std::vector<uint32_t> VectorsNamed(const std::string& isrName) const {
    (void)isrName;
    return {};
  }
  // Whether the debug port's transmit-empty and receive-full interrupts are both enabled;
  // true on controllers that have no such enables.
  virtual bool AreDebugPortInterruptsEnabled() const { return true; }
};

// A peripheral the run-time monitor's driver can talk through, as the monitor options see it.
class MonitorInterface {
 public:
  virtual ~MonitorInterface() = default;
  // The name the monitor options list it by: "SCI_0", "SCI_1", "CAN" or "CAN_2".
  virtual std::string MonitorInterfaceName() const = 0;
  // The vectors the driver's interrupt routine serves when the driver runs from interrupts.
  virtual std::vector<uint32_t> MonitorVectors() const = 0;
};

// The module that gates the peripheral clocks and selects clock and signal sources.
class PeripheralClockGate {
 public:
  virtual ~PeripheralClockGate() = default;
  // Warns at a module's clock-enable box when the module is in use with its clock off.
  virtual void CheckPeripheralClock(CModuleBase& module) = 0;
  // Whether the box with this caption is checked; false when the part has no such box.
  virtual bool IsOptionChecked(const std::string& caption) const = 0;
  // A link to the box or list with this caption; empty when the part has none.
  virtual std::string OptionLink(const std::string& caption) const = 0;
  // The item text the list with this key shows now; empty when the part has no such list or
  // its field holds a value no item stands for.
  virtual std::string SelectedOptionText(const std::string& key) const = 0;
  // The peripheral clock enables, in page order; none when the part has no such boxes.
  virtual std::vector<ClockGateInfo> ClockGates() const { return {}; }
};

// The watchdog: the clock it counts. Parts whose watchdog is part of the clock module offer
// none of this; the separate watchdog module does.
class WatchdogClock {
 public:
  virtual ~WatchdogClock() = default;
  enum class Source { Relaxation, CrystalOscillator, BusClock, LowPowerOscillator, Other };
  virtual Source GetClockSource() const = 0;
};

// The module that holds the pin-function selector bits (GPS<n> in the pin descriptions) and
// the clock-output selector bits (CLKOSR<k>) that the ports set when a pin changes function.
class PinFunctionSelector {
 public:
  virtual ~PinFunctionSelector() = default;
  // Selector bit n, counted over the selector registers; false when the part has none.
  virtual bool GetSelectorBit(int bit) const = 0;
  virtual void SetSelectorBit(int bit, bool set) = 0;
  // Bit k of the clock-output select register; false when the part has none.
  virtual bool GetClockOutputBit(int bit) const = 0;
  virtual void SetClockOutputBit(int bit, bool set) = 0;
  // The registers the ports' settings write, for their registers summaries: every selector
  // register, and the clock-output register when asked.
  virtual std::vector<RegisterRef> SelectorRegisters(bool withClockOutput) = 0;
  // The selector registers the part's pinout counts (its GPSCNT parameter, 1 by default),
  // and the clock-output register when asked.
  virtual std::vector<RegisterRef> PinoutSelectorRegisters(bool withClockOutput) = 0;
};

// The crossbar: which input drives each output. Timers, PWM, ADC and comparators ask it.
class CrossbarOutputSelector {
 public:
  virtual ~CrossbarOutputSelector() = default;
  virtual int GetOutputCount() const = 0;
  // The input selected for output n; -1 when n is not an output or no input is named.
  virtual int GetSelectedInput(int output) const = 0;
  // A link to the control of output n; empty when there is none.
  virtual std::string OutputLink(int output) const = 0;
};

// A quad-timer channel, as the modules its output feeds see it.
class QuadTimerChannel {
 public:
  virtual ~QuadTimerChannel() = default;
  // The channel's name, e.g. "QT_B0".
  virtual std::string TimerChannelName() const = 0;
  // Whether its count mode stands at stop (the first position).
  virtual bool IsStopped() const = 0;
};

// A quadrature decoder, as the timer channels that share its pins see it.
class QuadratureDecoder {
 public:
  virtual ~QuadratureDecoder() = default;
  // Whether the decoder is switched on.
  virtual bool IsDecoderEnabled() const = 0;
};

// The output triggers of a PWM sub-module, as the crossbar sees them.
class PwmTriggerSource {
 public:
  virtual ~PwmTriggerSource() = default;
  // Which sub-module this is (0 for PWM_0).
  virtual int SubmoduleIndex() const = 0;
  // Whether output trigger n (0..5, the enables of the trigger control register) is on.
  virtual bool IsOutputTriggerEnabled(int trigger) const = 0;
};

// Counter settings of one sub-module, as a wizard computes them.
struct PwmCounterSettings {
  int prescalerField = 0;  // the clock is divided by 2^field
  int clockSource = 0;     // 0 bus clock, 1 external clock, 2 the clock of PWM_0
  int syncSource = 0;      // counter initialisation: 0 local sync, 2 master sync of PWM_0
  int reloadSource = 0;    // 0 local reload, 1 master reload of PWM_0
  bool setPairMode = false;  // whether `independent` is to be written
  bool independent = false;
  int init = 0;            // signed counts
  int val0 = 0;
  int val1 = 0;
  int val2 = 0;
  int val3 = 0;
  int deadTime = 0;        // both dead-time counters
};

// A sub-module of the sub-module PWM, as the common module, the software layer and the
// wizards see it.
class PwmSubmodule {
 public:
  virtual ~PwmSubmodule() = default;
  // Which sub-module this is (0 for PWM_0).
  virtual int SubmoduleNumber() const = 0;
  // The counter's initial and modulo values, signed.
  virtual int InitCount() const = 0;
  virtual int Val1Count() const = 0;
  // The clock its counter runs on before its own prescaler, in Hz (0 when unknown).
  virtual double CounterClockHz() const = 0;
  // Whether its A and B outputs form independent channels (rather than a complementary pair).
  virtual bool IsIndependentPair() const = 0;
  // Whether fault input `fault` (0..3) switches off any of its pins.
  virtual bool DisablesOnFault(int fault) const = 0;
  // Whether any of its interrupts of the common vectors is on: capture (0), reload error (1).
  virtual bool UsesCommonInterrupt(int vector) const = 0;
  // The register whose bits map the fault inputs to its pins (the common page edits it) and
  // the output control register (fault states); empty when the table lacks them.
  virtual RegisterRef DisableMapRegister() = 0;
  virtual RegisterRef OutputControlRegister() = 0;
  // Writes counter and timing settings the wizards computed; announces the change.
  virtual void ApplyCounterSettings(const PwmCounterSettings& settings) = 0;
};

// The common control of the sub-module PWM, as its sub-modules and the software layer see it.
class PwmCommonControl {
 public:
  virtual ~PwmCommonControl() = default;
  // The shared register of this name (load-OK, masks, output enables, software outputs,
  // dead-time sources) that each sub-module's page edits its own bits of; empty when none.
  virtual RegisterRef SharedRegister(const std::string& name) = 0;
  // The sub-modules chosen for three-phase control, in order (three numbers), or none.
  virtual std::vector<int> ThreePhaseSubmodules() const = 0;
};

// The PWM generator, as the system module's source selections see it.
class PwmGenerator {
 public:
  virtual ~PwmGenerator() = default;
  // Whether the generator is switched on (its setting, whether the module is in use or not).
  virtual bool IsRunning() const = 0;
  // Whether PWM input n (0..2) takes its signal from the system module's source selection.
  virtual bool UsesSystemSource(int input) const = 0;
};

// A high-speed comparator.
class Comparator {
 public:
  virtual ~Comparator() = default;
  // Which comparator this is (0 for the first).
  virtual int ComparatorIndex() const = 0;
  virtual bool IsEnabled() const = 0;
  // Whether it works in windowing or sampling mode (both need a window signal).
  virtual bool IsWindowingOrSampling() const = 0;
};

// An analog-to-digital converter, as the delay block that triggers it sees it.
class AnalogConverter {
 public:
  virtual ~AnalogConverter() = default;
  // Which converter this is (0 for the first).
  virtual int ConverterIndex() const = 0;
  // Whether a conversion starts on the hardware trigger (rather than by software).
  virtual bool UsesHardwareTrigger() const = 0;
  // The clock that enters the converter's divisor, in MHz (0 when unknown): the clock a paired
  // gain amplifier divides by its own divisor.
  virtual float InputClockMHz() const = 0;
  // The clock divisor field: the input clock is divided by 2^field.
  virtual int ClockDivisorField() const = 0;
};

// A programmable gain amplifier, as the converter it feeds sees it.
class GainAmplifier {
 public:
  virtual ~GainAmplifier() = default;
  // Which amplifier this is (0 for the first); it feeds the converter with the same index.
  virtual int AmplifierIndex() const = 0;
  virtual bool IsEnabled() const = 0;
  // The clock divisor field: the converter's input clock is divided by 2^field.
  virtual int ClockDivisorField() const = 0;
};

// The power management controller.
class PowerManagement {
 public:
  virtual ~PowerManagement() = default;
  // Whether the 1 kHz low-power oscillator runs.
  virtual bool IsLowPowerOscillatorEnabled() const = 0;
};

// The programmable delay block.
class DelayBlock {
 public:
  virtual ~DelayBlock() = default;
  // Whether trigger output n (0: A, 1: B) is enabled; false while the block is not in use.
  virtual bool IsTriggerEnabled(int trigger) const = 0;
  // Whether the block itself is switched on and in use. A block that cannot tell answers
  // true, so that nothing is reported against it.
  virtual bool IsBlockEnabled() const { return true; }
};

// A digital-to-analog converter, as the comparators that compare with its output see it.
class DigitalAnalogConverter {
 public:
  virtual ~DigitalAnalogConverter() = default;
  // Which converter this is (0 for DAC_0 and for a part's only DAC).
  virtual int DacIndex() const = 0;
  // Whether its output is driven: the module is in use and not kept powered down.
  virtual bool IsPoweredUp() const = 0;
};

// A voltage reference, as the comparator it feeds sees it.
class VoltageReference {
 public:
  virtual ~VoltageReference() = default;
  // Which reference this is (0 for VREF_A).
  virtual int ReferenceIndex() const = 0;
  // Whether its output is driven: the module is in use and switched on.
  virtual bool IsReferenceEnabled() const = 0;
};

// The first module of the document (in document order) that offers the capability; null when
// none does.
template <class Capability>
Capability* FindCapability(ModuleContext* context) {
  if (!context) return nullptr;
  for (CModuleBase* module : context->GetModules())
    if (auto* found = dynamic_cast<Capability*>(module)) return found;
  return nullptr;
}

// Every module that offers the capability, in document order.
template <class Capability>
std::vector<Capability*> FindCapabilities(ModuleContext* context) {
  std::vector<Capability*> found;
  if (!context) return found;
  for (CModuleBase* module : context->GetModules())
    if (auto* offer = dynamic_cast<Capability*>(module)) found.push_back(offer);
  return found;
}

}  // namespace tarq

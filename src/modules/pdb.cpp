// The programmable delay block.
#include "modules/pdb.h"

#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"

enum PdbRegister : size_t { kScr = 0, kDelayA = 1, kDelayB = 2, kMod = 3, kCtrl = 4 };

// The status and control register is the one other software reads; the module enable, the
// interrupt enables and the load controls have no free bits there and live in a register of
// their own.
const RegisterDecl kPdbRegisters[] = {
    {"-PDB_SCR_INIT", 0x0000, DW16},  {"-PDB_DELAYA_INIT", 0x0000, DW16},
    {"-PDB_DELAYB_INIT", 0x0000, DW16}, {"-PDB_MOD_INIT", 0xFFFF, DW16},
    {"-PDB_CTRL_INIT", 0x0000, DW16},
};

constexpr const char* kScrName = "-PDB_SCR_INIT";
constexpr const char* kCtrlName = "-PDB_CTRL_INIT";
constexpr const char* kInputKey = "Input Trigger:";
constexpr const char* kPeriodKey = "Period:";
constexpr const char* kFrequencyKey = "Frequency:";

// A delay may exceed the period by this much before it counts as longer (rounding).
constexpr double kDelayTolerance = 3e-12;

struct TriggerText {
  const char* name;         // "A"
  const char* other;        // "B"
  int enableBit;            // in SCR
  int selectLow;            // output select bits in SCR
  size_t delayReg;
  int interruptBit;         // delay interrupt enable in CTRL
};
constexpr TriggerText kTriggers[2] = {
    {"A", "B", 1, 10, kDelayA, 2},
    {"B", "A", 0, 7, kDelayB, 3},
};

std::string EnabledKey(int t) { return Format("Trigger %s Enabled", kTriggers[t].name); }
std::string SelectKey(int t) { return Format("Trigger %s Output Select:", kTriggers[t].name); }
std::string DelayKey(int t) { return Format("Trigger %s Delay:", kTriggers[t].name); }
std::string DelayTimeKey(int t) { return Format("Trigger %s delay time:", kTriggers[t].name); }

}  // namespace

CpmPDB::CpmPDB(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmPDB::DeclareRegisters() { InitRegisters(kPdbRegisters, std::size(kPdbRegisters)); }

void CpmPDB::DeclarePage(PageDeclaration& d) {
  // The external trigger input is a pin.
  SetHasPins(true);
  std::vector<std::string> prescalers;
  for (int n = 0; n < 8; ++n) prescalers.push_back(Format("peripheral clock / %d", 1 << n));

  d.Group("Programmable Delay Block");
  d.Box({.caption = "PDB Module Enabled", .field = {.reg = kCtrlName, .low = 0},
         .comment = kState});
  d.List({.caption = kInputKey, .field = {.reg = kScrName, .low = 2, .high = 4},
          .items = {"TriggerIn0 (CMP0_OUT)", "TriggerIn1 (CMP1_OUT)", "TriggerIn2 (CMP2_OUT)",
                    "TriggerIn3 (PWM SYNC signal)", "TriggerIn4 (ExtTrigger)",
                    "TriggerIn5 (output of Dual Timer 0 (T0))",
                    "TriggerIn6 (output of Dual Timer 1 (T1))", "SWTRIG"},
          .width = 260});
  d.Box({.caption = "Countinuous mode", .field = {.reg = kScrName, .low = 6}, .comment = kState});
  d.List({.caption = "Prescaler:", .field = {.reg = kScrName, .low = 13, .high = 15},
          .items = prescalers, .width = 260});
  d.Value({.caption = "Modulus:", .field = {.reg = "-PDB_MOD_INIT", .low = 0, .high = 15},
           .label = "PDB Modulus", .number = {.hex = false, .minimum = 1},
           .spin = {.minimum = 1, .maximum = 0xFFFF}, .width = 100});
  d.List({.caption = "Load Mode:", .field = {.reg = kCtrlName, .low = 5},
          .items = {"Independent", "End_Cycle"}, .width = 160});
  d.Box({.caption = "Load OK", .field = {.reg = kCtrlName, .low = 4}, .comment = kState});
  d.Box({.caption = "Enable Counter Overflow Interrupt", .field = {.reg = kCtrlName, .low = 1},
         .comment = kState});
  d.Display({.caption = kPeriodKey, .width = 120});
  d.Display({.caption = kFrequencyKey, .width = 120});
  d.PinWarning();

  d.NextBand();
  for (int t = 0; t < 2; ++t) {
    const TriggerText& text = kTriggers[t];
    const char* const name = text.name;
    d.Group(Format("Trigger %s", name));
    d.Box({.caption = EnabledKey(t), .field = {.reg = kScrName, .low = text.enableBit},
           .comment = kState});
    d.List({.caption = SelectKey(t),
            .field = {.reg = kScrName, .low = text.selectLow, .high = text.selectLow + 1},
            .items = {"counter delay is bypassed",
                      Format("Trigger %s is function of Delay %s only", name, name),
                      Format("Trigger %s is function of both Delay A and Delay B", name),
                      Format("Trigger %s = PulseOut", name)},
            .width = 300});
    d.Value({.caption = DelayKey(t),
             .field = {.reg = Format("-PDB_DELAY%s_INIT", name), .low = 0, .high = 15},
             .label = Format("Trigger %s Delay", name),
             .number = {.hex = false, .zeroAllowed = true},
             .spin = {.minimum = 0, .maximum = 0xFFFF}, .width = 100});
    d.Display({.caption = DelayTimeKey(t), .width = 120});
    d.Box({.caption = Format("Enable Delay %s Interrupt", name),
           .field = {.reg = kCtrlName, .low = text.interruptBit}, .comment = kState});
  }
}

uint32_t CpmPDB::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId ? control->captionId : control->id;
}

uint32_t CpmPDB::Field(size_t reg, int low, int high) const {
  return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
}

int CpmPDB::InputTrigger() const { return static_cast<int>(Field(kScr, 2, 4)); }

bool CpmPDB::IsTriggerEnabled(int trigger) const {
  if (trigger < 0 || trigger > 1 || !IsSelected()) return false;
  return Field(kScr, kTriggers[trigger].enableBit, kTriggers[trigger].enableBit) != 0;
}

bool CpmPDB::IsBlockEnabled() const { return IsSelected() && Field(kCtrl, 0, 0) != 0; }

double CpmPDB::PeriodSeconds() const {
  const double clock = GetBusClockMHz() * 1e6;
  const uint32_t modulus = Field(kMod, 0, 15);
  if (modulus == 0 || !(clock > 0)) return 0;
  const double frequency = clock / (static_cast<double>(modulus) * (1u << Field(kScr, 13, 15)));
  return frequency > 0 ? 1 / frequency : 0;
}

double CpmPDB::DelaySeconds(int trigger) const {
  const double clock = GetBusClockMHz() * 1e6;
  const uint32_t delay = Field(kTriggers[trigger].delayReg, 0, 15);
  // The trigger follows the delay count by two clocks.
  if (delay == 0 || !(clock > 0)) return 0;
  return (static_cast<double>(delay) * (1u << Field(kScr, 13, 15)) + 2) / clock;
}

void CpmPDB::UpdateValues() {
  const double period = PeriodSeconds();
  ShowTime(ControlIdOf(kPeriodKey), period, true, "??");
  ShowFrequency(ControlIdOf(kFrequencyKey), period > 0 ? 1 / period : 0, true, "??");
  for (int t = 0; t < 2; ++t) ShowTime(ControlIdOf(DelayTimeKey(t)), DelaySeconds(t));
}

bool CpmPDB::InputSourceEnabled(int input, std::string& name) const {
  ModuleContext* context = GetContext();
  if (input >= 0 && input <= 2) {
    name = Format("HSCMP_%d", input);
    for (const Comparator* comparator : FindCapabilities<Comparator>(context))
      if (comparator->ComparatorIndex() == input) return comparator->IsEnabled();
    return true;
  }
  if (input == 3) {
    name = "PWM";
    const PwmGenerator* pwm = FindCapability<PwmGenerator>(context);
    return !pwm || pwm->IsRunning();
  }
  if (input == 5 || input == 6) {
    // The dual timers run while their peripheral clock is on.
    const int timer = input - 5;
    name = Format("Timer %d", timer);
    const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(context);
    const std::string box = Format("Timer Channel %d", timer);
    return !gate || gate->OptionLink(box).empty() || gate->IsOptionChecked(box);
  }
  return true;  // the external pin and the software trigger
}

bool CpmPDB::ConverterUsesHardwareTrigger(int converter) const {
  for (const AnalogConverter* adc : FindCapabilities<AnalogConverter>(GetContext()))
    if (adc->ConverterIndex() == converter) return adc->UsesHardwareTrigger();
  return false;
}

void CpmPDB::CheckWarnings() {
  CModule::CheckWarnings();
  const bool selected = IsSelected();

  std::string source;
  const bool sourceOff = !InputSourceEnabled(InputTrigger(), source) && selected;
  SetWarning(ControlIdOf(kInputKey, true), sourceOff, kInputKey,
             sourceOff ? source + " module is not enabled (and is selected as Input Trigger)"
                       : std::string());

  const double period = PeriodSeconds();
  bool enabled[2];
  int select[2];
  for (int t = 0; t < 2; ++t) {
    enabled[t] = Field(kScr, kTriggers[t].enableBit, kTriggers[t].enableBit) != 0;
    select[t] = static_cast<int>(Field(kScr, kTriggers[t].selectLow, kTriggers[t].selectLow + 1));
  }
  for (int t = 0; t < 2; ++t) {
    const TriggerText& text = kTriggers[t];
    // Without a period (modulus or clock 0) no delay can be compared with it.
    const bool tooLong = selected && enabled[t] && period > 0 &&
                         DelaySeconds(t) - period > kDelayTolerance;
    SetWarning(ControlIdOf(DelayKey(t), true), tooLong, DelayKey(t),
               tooLong ? Format("Trigger %s delay is longer than counter period.", text.name)
                       : std::string());

    // The pre-trigger goes to the converters only from a delay of 2 on.
    bool preTrigger = false;
    if (enabled[t] && Field(text.delayReg, 0, 15) <= 1) {
      if (select[t] == 1) preTrigger = ConverterUsesHardwareTrigger(t);
      if (select[t] == 2)
        preTrigger = ConverterUsesHardwareTrigger(0) || ConverterUsesHardwareTrigger(1);
    }
    SetWarning(ControlIdOf(SelectKey(t), true), preTrigger, SelectKey(t),
               preTrigger ? Format("PreTrigger %s signal will not be generated if the Trigger %s "
                                   "Delay is 0 or 1",
                                   text.name, text.name)
                          : std::string());

    // A pulse output needs the other trigger; the warning stands at that trigger's box.
    const int other = 1 - t;
    const bool pulse = enabled[t] && select[t] == 3 && !enabled[other];
    SetWarning(ControlIdOf(EnabledKey(other)), pulse, EnabledKey(other),
               pulse ? Format("Trigger %s must be enabled if Trigger %s Output is set to PulseOut",
                              text.other, text.name)
                     : std::string());
  }
}

bool CpmPDB::IsSignalUsed(const std::string& signal) const {
  return signal.find("EXT_TRIGGER") != std::string::npos && IsSelected() && InputTrigger() == 4;
}

void RegisterPdbModuleKinds(ModuleFactory& factory) { factory.Register<CpmPDB>("PDB"); }

}  // namespace tarq

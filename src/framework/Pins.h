// The pin database of a project: which module signals each port pin can carry, which one it
// carries now, and the services built on it (signal collection for a module, the pin check
// message, placing unassigned signals). The GPIO port modules hold the pins; everything here
// reaches them through the PinPort interface, so modules need not know the port class.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/Bindings.h"

namespace tarq {

class CModuleBase;
class ModuleContext;

inline constexpr int kPinsPerPort = 16;
inline constexpr size_t kMaxPinFunctions = 8;
inline constexpr size_t kMaxFunctionOwners = 4;
inline constexpr size_t kMaxSelectorBits = 3;
inline constexpr size_t kMaxSignalLength = 31;
// Function name of a pin line that lists no function.
inline constexpr const char* kVoidFunctionName = "Peripheral (void)";

// One peripheral function a pin can carry.
struct PinFunction {
  std::vector<std::string> owners;  // module names; the function belongs to each of them
  std::string signal;               // the name the owners know the signal by ("TXD0")
  uint32_t gpsSet = 0;              // bit i: the pin's i-th selector bit must be set
  bool clkosrSet = false;           // the pin's clock-output bit must be set

  bool HasOwner(const std::string& module) const;
};

// A pin line of a port's description: "3, PWM.PWM3, GPS0:SCI_0.TXD, GPS1&GPS2:OCCS.EXTAL".
struct PinDescription {
  int pin = -1;
  std::vector<PinFunction> functions;  // in the order of the line, at most eight
  std::vector<int> gpsBits;            // selector bits, in order of first appearance
  int clkosrBit = -1;                  // bit of the SYS clock-output register, -1 for none
  bool checkAll = false;
  // Whether the line listed no function at all (the pin then offers "Peripheral (void)").
  bool voidLine = false;

  // Names shown for the functions, in order; a function without a signal has an empty one.
  std::vector<std::string> FunctionNames() const;
};

// Reads one pin line; false for lines that are not a pin line (no number, or not 0..15).
bool ParsePinDescription(const std::string& line, PinDescription& pin);
// The pin lines of a module's parameter text (lines with "=" are parameters).
std::vector<PinDescription> ParsePinDescriptions(const std::string& parameterText);

// What a GPIO port module offers to the rest of the project.
class PinPort {
 public:
  virtual ~PinPort() = default;
  virtual CModuleBase& PortModule() = 0;
  // The pin's description; null when the port has no such pin.
  virtual const PinDescription* FindPin(int pin) const = 0;
  // Every existing pin, in pin order.
  virtual std::vector<int> ExistingPins() const = 0;
  // 0 in GPIO mode, k (1-based) when the k-th function is selected, -1 when the selector
  // bits match none of them.
  virtual int CurrentFunction(int pin) const = 0;
  // Whether the pin's direction is output (what it drives in GPIO mode).
  virtual bool IsOutput(int pin) const = 0;
  // Position 0 makes the pin a GPIO; k selects the k-th function with its selector bits.
  virtual void SelectFunction(int pin, int position) = 0;
  // "GPIO_B6".
  virtual std::string PinName(int pin) const = 0;
  // A program link to the pin's row on the port page.
  virtual std::string PinLink(int pin) const = 0;
  // The current function's name ("GPIO_B6" itself in GPIO mode).
  std::string CurrentFunctionName(int pin) const;
  // The register of the pins' peripheral-mode bits (the pinout page's settings write it).
  virtual RegisterRef PeripheralModeRegister() = 0;
  // Whether a pin of the port is routed by a clock-output select bit.
  virtual bool HasClockOutputPins() const = 0;
};

// The port module "GPIO_" + letter when it exists and is a port; null otherwise.
PinPort* FindPinPort(ModuleContext& context, char letter);
// Every port of the project, A to F.
std::vector<PinPort*> PinPorts(ModuleContext& context);

// Which pins a caller looks at: "b67" (port B, pins 6 and 7), "3A" (pins 3 and 10 of every
// port), "c2x" (port C pin 2, forcing its first function). Empty admits every pin.
class PinFilter {
 public:
  explicit PinFilter(const std::string& text = {});
  // Whether the port's pin passes; `forced` receives the function a pin letter forces (1..3)
  // or 0. A port whose name does not start with "GPIO_" passes nothing.
  bool Admits(const std::string& portName, int pin, int& forced) const;
  bool IsEmpty() const { return entries_.empty(); }

 private:
  struct Entry {
    char port = 0;  // lower-case letter, 0 for every port
    int pin = 0;
    int forced = 0;
  };
  std::vector<Entry> entries_;
};

// A pin that can carry a signal, with the function that does it.
struct SignalPin {
  PinPort* port = nullptr;
  int pin = 0;
  int position = 0;  // 0 for GPIO, k for the k-th function
};

// Every pin that can carry one signal, and those on which it is selected now.
struct SignalPins {
  std::vector<SignalPin> candidates;  // ports A..F, pins ascending
  std::vector<SignalPin> selected;
};
using SignalMap = std::map<std::string, SignalPins>;

// The signals of `module` found on the project's ports (through `filter`); with `usedOnly`
// the signals its IsSignalUsed denies are left out.
SignalMap CollectSignals(ModuleContext& context, CModuleBase& module, const std::string& filter,
                         bool usedOnly);
// What placing a module's missing signals did: "SIGNAL on GPIO_B4" for each one placed, and
// the signals for which no pin was free.
struct PinPlacement {
  std::vector<std::string> placed;
  std::vector<std::string> missing;
};
// Selects, for every used signal of `module` that no pin carries, its function on the first
// candidate pin (skipping pins this pass has already given to another of its signals). With
// `freePinsOnly` (FIXPINS) only a pin in GPIO mode or carrying one of the module's own
// signals is taken, never one routed to another peripheral; the signals without such a pin
// stay missing.
PinPlacement PlaceMissingSignals(ModuleContext& context, CModuleBase& module,
                                 const std::string& filter, bool freePinsOnly);
// The user's explicit placement (the pinout page's module box): any candidate pin, the
// first one when all are taken. True when any pin changed.
bool AssignMissingSignals(ModuleContext& context, CModuleBase& module, const std::string& filter);
// The report of a placement for the user.
std::string DescribePlacement(const PinPlacement& placement);

// After pins changed outside the port pages: open port pages read their rows again, the
// views learn of the change from `sender`, and a warnings pass is requested.
void AnnouncePinChanges(ModuleContext& context, CModuleBase* sender);

// "No", "One" .. "Ten", then decimal numbers; lower case when asked.
std::string CountWord(size_t count, bool lowerCase);

// The pin check's verdict for a module's signals.
struct PinReport {
  bool hasSignals = false;
  bool missing = false;     // some signal has no pin (the warning is set)
  std::string message;      // for the warnings list
  std::string controlText;  // the message with the closing sentence
};
// `fixLink` (may be empty) is appended to the control text while signals are missing.
PinReport BuildPinReport(const SignalMap& signalMap, const std::string& fixLink);

}  // namespace tarq

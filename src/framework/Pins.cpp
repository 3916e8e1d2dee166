#include "framework/Pins.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "framework/Hints.h"
#include "framework/Module.h"
#include "framework/TextUtil.h"

namespace tarq {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// Position of a selector bit among the pin's remembered ones; remembers it when there is
// room. -1 when the pin already remembers three others.
int RememberGpsBit(PinDescription& pin, int bit) {
  auto found = std::find(pin.gpsBits.begin(), pin.gpsBits.end(), bit);
  if (found != pin.gpsBits.end()) return static_cast<int>(found - pin.gpsBits.begin());
  if (pin.gpsBits.size() >= kMaxSelectorBits) return -1;
  pin.gpsBits.push_back(bit);
  return static_cast<int>(pin.gpsBits.size() - 1);
}

// "GPS12&CLKOSR6": the requirements of one function.
void ReadSelectors(const std::string& text, PinDescription& pin, PinFunction& function) {
  for (const std::string& word : Split(text, '&')) {
    uint32_t number = 0;
    if (StartsWith(word, "GPS") && ReadCIntegerExact(word.substr(3), number) && number < 0x10000) {
      const int slot = RememberGpsBit(pin, static_cast<int>(number));
      if (slot >= 0) function.gpsSet |= 1u << slot;
    } else if (StartsWith(word, "CLKOSR") && ReadCIntegerExact(word.substr(6), number) &&
               number < 16) {
      if (pin.clkosrBit < 0) pin.clkosrBit = static_cast<int>(number);
      if (pin.clkosrBit == static_cast<int>(number)) function.clkosrSet = true;
    }
  }
}

// "[selectors:]OWNER|OWNER.SIGNAL".
PinFunction ReadFunction(const std::string& field, PinDescription& pin) {
  PinFunction function;
  std::string rest = field;
  if (const size_t colon = rest.find(':'); colon != std::string::npos) {
    ReadSelectors(rest.substr(0, colon), pin, function);
    rest = rest.substr(colon + 1);
  }
  const size_t dot = rest.find('.');
  for (std::string& owner : Split(rest.substr(0, dot), '|')) {
    if (function.owners.size() < kMaxFunctionOwners) function.owners.push_back(std::move(owner));
  }
  if (dot != std::string::npos) function.signal = rest.substr(dot + 1, kMaxSignalLength);
  return function;
}

}  // namespace

bool PinFunction::HasOwner(const std::string& module) const {
  return !module.empty() && std::find(owners.begin(), owners.end(), module) != owners.end();
}

std::vector<std::string> PinDescription::FunctionNames() const {
  if (voidLine) return {kVoidFunctionName};
  std::vector<std::string> names;
  for (const PinFunction& function : functions) names.push_back(function.signal);
  return names;
}

bool ParsePinDescription(const std::string& line, PinDescription& pin) {
  std::string text;
  for (char c : line)
    if (c != ' ' && c != '\t' && c != '"' && c != '\r') text += c;
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  if (text.find('=') != std::string::npos) return false;

  std::vector<std::string> fields = Split(text, ',');
  uint32_t number = 0;
  if (!ReadCIntegerExact(fields[0], number) || number >= kPinsPerPort) return false;
  pin = PinDescription{};
  pin.pin = static_cast<int>(number);
  pin.checkAll = text.find("checkall") != std::string::npos;
  for (size_t i = 1; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    if (field.empty() || field.find("checkall") != std::string::npos) continue;
    if (pin.functions.size() >= kMaxPinFunctions) break;
    pin.functions.push_back(ReadFunction(field, pin));
  }
  pin.voidLine = pin.functions.empty();
  return true;
}

std::vector<PinDescription> ParsePinDescriptions(const std::string& parameterText) {
  std::vector<PinDescription> pins;
  for (const std::string& line : Split(parameterText, '\n')) {
    PinDescription pin;
    if (ParsePinDescription(line, pin)) pins.push_back(std::move(pin));
  }
  return pins;
}

// ---- ports ----

std::string PinPort::CurrentFunctionName(int pin) const {
  const PinDescription* description = FindPin(pin);
  const int position = CurrentFunction(pin);
  if (!description || position < 0) return {};
  if (position == 0) return PinName(pin);
  const std::vector<std::string> names = description->FunctionNames();
  return static_cast<size_t>(position) <= names.size() ? names[position - 1] : std::string{};
}

PinPort* FindPinPort(ModuleContext& context, char letter) {
  CModuleBase* module = context.FindModule(std::string("GPIO_") + letter, "");
  return dynamic_cast<PinPort*>(module);
}

std::vector<PinPort*> PinPorts(ModuleContext& context) {
  std::vector<PinPort*> ports;
  for (char letter = 'A'; letter <= 'F'; ++letter)
    if (PinPort* port = FindPinPort(context, letter)) ports.push_back(port);
  return ports;
}

// ---- filter ----

PinFilter::PinFilter(const std::string& text) {
  char port = 0;
  for (char c : text) {
    if (c >= 'a' && c <= 'f') {
      port = c;
    } else if ((c == 'x' || c == 'y' || c == 'z') && !entries_.empty()) {
      entries_.back().forced = c - 'x' + 1;
    } else if (c >= '0' && c <= '9') {
      entries_.push_back({port, c - '0', 0});
    } else if (c >= 'A' && c <= 'F') {
      entries_.push_back({port, c - 'A' + 10, 0});
    }
  }
  // A port letter without pins stands for the whole port.
  if (port != 0 && std::none_of(entries_.begin(), entries_.end(),
                                [port](const Entry& e) { return e.port == port; }))
    for (int pin = 0; pin < kPinsPerPort; ++pin) entries_.push_back({port, pin, 0});
}

bool PinFilter::Admits(const std::string& portName, int pin, int& forced) const {
  forced = 0;
  if (entries_.empty()) return true;
  if (!StartsWith(portName, "GPIO_") || portName.size() < 6) return false;
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(portName[5])));
  for (const Entry& entry : entries_) {
    if (entry.pin != pin || (entry.port != 0 && entry.port != letter)) continue;
    forced = entry.forced;
    return true;
  }
  return false;
}

// ---- signals ----

namespace {

// M's function on a pin: the current one when M owns it, else M's first one; 0 for none.
int FunctionOf(const PinDescription& pin, int current, const std::string& module) {
  if (current > 0 && static_cast<size_t>(current) <= pin.functions.size() &&
      pin.functions[current - 1].HasOwner(module))
    return current;
  for (size_t k = 0; k < pin.functions.size(); ++k)
    if (pin.functions[k].HasOwner(module)) return static_cast<int>(k + 1);
  return 0;
}

}  // namespace

SignalMap CollectSignals(ModuleContext& context, CModuleBase& module, const std::string& filter,
                         bool usedOnly) {
  SignalMap signalMap;
  const PinFilter pinFilter(filter);
  const std::string& name = module.GetPrefix();
  for (PinPort* port : PinPorts(context)) {
    const std::string& portName = port->PortModule().GetPrefix();
    for (int pin : port->ExistingPins()) {
      int forced = 0;
      if (!pinFilter.Admits(portName, pin, forced)) continue;
      const PinDescription& description = *port->FindPin(pin);
      const int current = port->CurrentFunction(pin);
      std::string signal;
      int position = 0;
      if (&port->PortModule() == &module) {
        signal = port->PinName(pin);
      } else {
        position = forced > 0 && static_cast<size_t>(forced) <= description.functions.size()
                       ? forced
                       : FunctionOf(description, current, name);
        if (position == 0) continue;
        signal = description.functions[position - 1].signal;
      }
      SignalPins& entry = signalMap[signal];
      entry.candidates.push_back({port, pin, position});
      if (current == position) entry.selected.push_back({port, pin, position});
    }
  }
  if (usedOnly) {
    if (const auto* owner = dynamic_cast<const CModule*>(&module)) {
      std::erase_if(signalMap, [owner](const auto& item) { return !owner->IsSignalUsed(item.first); });
    }
  }
  return signalMap;
}

PinPlacement PlaceMissingSignals(ModuleContext& context, CModuleBase& module,
                                 const std::string& filter, bool freePinsOnly) {
  PinPlacement placement;
  const SignalMap signalMap = CollectSignals(context, module, filter, true);
  std::set<std::pair<const PinPort*, int>> taken;
  for (const auto& [signal, pins] : signalMap)
    for (const SignalPin& pin : pins.selected) taken.insert({pin.port, pin.pin});
  // A pin is free for this module when it is a GPIO or carries one of the module's own
  // signals; a pin routed to another peripheral is never taken away from it.
  const std::string& name = module.GetPrefix();
  auto isFree = [&](const SignalPin& candidate) {
    if (taken.count({candidate.port, candidate.pin})) return false;
    if (!freePinsOnly) return true;
    const int current = candidate.port->CurrentFunction(candidate.pin);
    if (current == 0) return true;
    const PinDescription* description = candidate.port->FindPin(candidate.pin);
    return current > 0 && description != nullptr &&
           static_cast<size_t>(current) <= description->functions.size() &&
           description->functions[static_cast<size_t>(current) - 1].HasOwner(name);
  };
  for (const auto& [signal, pins] : signalMap) {
    if (!pins.selected.empty() || pins.candidates.empty()) continue;
    // Two signals of one module cannot share a pin: the later one takes its next candidate.
    const SignalPin* choice = nullptr;
    for (const SignalPin& candidate : pins.candidates) {
      if (isFree(candidate)) {
        choice = &candidate;
        break;
      }
    }
    // An explicit placement (the pinout page's module box) takes the first candidate when
    // every one is taken by another signal of the module.
    if (choice == nullptr && !freePinsOnly) choice = &pins.candidates.front();
    if (choice == nullptr) {
      placement.missing.push_back(signal);
      continue;
    }
    choice->port->SelectFunction(choice->pin, choice->position);
    taken.insert({choice->port, choice->pin});
    placement.placed.push_back(signal + " on " + choice->port->PinName(choice->pin));
  }
  return placement;
}

bool AssignMissingSignals(ModuleContext& context, CModuleBase& module, const std::string& filter) {
  return !PlaceMissingSignals(context, module, filter, false).placed.empty();
}

std::string DescribePlacement(const PinPlacement& placement) {
  std::string text;
  auto list = [](const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    return joined;
  };
  if (!placement.placed.empty())
    text += "Signals assigned to pins: " + list(placement.placed) + ".";
  if (!placement.missing.empty()) {
    if (!text.empty()) text += "\n";
    text += "No pin in GPIO mode is left for: " + list(placement.missing) +
            ". Free a pin of another peripheral on the port pages first.";
  }
  if (text.empty()) text = "Every used signal already has a pin.";
  return text;
}

void AnnouncePinChanges(ModuleContext& context, CModuleBase* sender) {
  for (PinPort* port : PinPorts(context)) {
    CModuleBase& module = port->PortModule();
    if (module.HasPage()) module.RefreshAll();
  }
  context.Broadcast(kHintValueChanged, sender);
  context.CheckAllWarnings(true);
}

// ---- the pin check ----

std::string CountWord(size_t count, bool lowerCase) {
  static const char* const kWords[] = {"No",  "One",   "Two",   "Three", "Four", "Five",
                                       "Six", "Seven", "Eight", "Nine",  "Ten"};
  std::string word = count <= 10 ? kWords[count] : std::to_string(count);
  return lowerCase ? ToLower(word) : word;
}

namespace {

// Links to the port modules of the pins, each port named once, joined by " and ".
std::string PortLinks(const std::vector<const std::vector<SignalPin>*>& lists) {
  std::vector<CModuleBase*> ports;
  for (const auto* list : lists)
    for (const SignalPin& pin : *list) {
      CModuleBase* module = &pin.port->PortModule();
      if (std::find(ports.begin(), ports.end(), module) == ports.end()) ports.push_back(module);
    }
  // Ports in project order (A..F), whatever the order of the signals.
  std::sort(ports.begin(), ports.end(),
            [](CModuleBase* a, CModuleBase* b) { return a->GetPrefix() < b->GetPrefix(); });
  std::string links;
  for (CModuleBase* port : ports) {
    if (!links.empty()) links += " and ";
    links += port->MakeLinkHtml({});
  }
  return links;
}

}  // namespace

PinReport BuildPinReport(const SignalMap& signalMap, const std::string& fixLink) {
  PinReport report;
  report.hasSignals = !signalMap.empty();
  if (!report.hasSignals) return report;

  std::vector<const std::vector<SignalPin>*> missingPins, selectedPins, duplicatedPins;
  std::string missingName;
  size_t missing = 0;
  for (const auto& [signal, pins] : signalMap) {
    if (pins.selected.empty()) {
      ++missing;
      missingName = signal;
      missingPins.push_back(&pins.candidates);
    }
    selectedPins.push_back(&pins.selected);
    if (pins.selected.size() > 1) duplicatedPins.push_back(&pins.selected);
  }
  const size_t total = signalMap.size();
  const std::string totalWord = CountWord(total, true);
  if (missing > 1) {
    report.message = Format("%s module pins (out of %s) are not available on any device pin. See %s",
                            CountWord(missing, false).c_str(), totalWord.c_str(),
                            PortLinks(missingPins).c_str());
  } else if (missing == 1 && total == 1) {
    report.message = Format("The module signal (%s) is not available on any device pin. See %s",
                            missingName.c_str(), PortLinks(missingPins).c_str());
  } else if (missing == 1) {
    report.message = Format("One module signal (out of %s) is not available on any device pin. See %s",
                            totalWord.c_str(), PortLinks(missingPins).c_str());
  } else if (total == 1) {
    report.message =
        Format("The module pin is configured properly in %s", PortLinks(selectedPins).c_str());
  } else if (total == 2) {
    report.message =
        Format("Both module pins are configured properly in %s", PortLinks(selectedPins).c_str());
  } else {
    report.message = Format("All %s module pins are configured properly in %s", totalWord.c_str(),
                            PortLinks(selectedPins).c_str());
  }
  report.missing = missing > 0;
  report.controlText = report.message;
  if (!duplicatedPins.empty()) {
    report.controlText +=
        Format(". Be aware that there are pins with duplicated functionality in %s.",
               PortLinks(duplicatedPins).c_str());
  } else {
    report.controlText += ".";
  }
  if (report.missing && !fixLink.empty()) report.controlText += " " + fixLink;
  return report;
}

}  // namespace tarq

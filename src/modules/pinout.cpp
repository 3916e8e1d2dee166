#include "modules/pinout.h"

#include <filesystem>

#include "framework/Capabilities.h"
#include "framework/Hints.h"
#include "framework/Links.h"
#include "framework/Pins.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr const char* kPageFolder = "pages";

// A script's answer as a boolean: "true" or a non-zero number.
bool TrueResult(const std::string& result) {
  const std::string text = Trim(result);
  uint32_t number = 0;
  if (ReadCIntegerExact(text, number)) return number != 0;
  return EqualsNoCase(text, "true");
}

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string name = Trim(std::string_view(text).substr(start, comma - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = comma + 1;
  }
  return names;
}

}  // namespace

CpmPINOUT::CpmPINOUT(const ArchitectureEntry& entry, CModuleBase* parent) : CHtmlModule(entry, parent) {}

void CpmPINOUT::InitModule(ModuleContext& doc) {
  CHtmlModule::InitModule(doc);
  std::string page;
  if (GetParameter("PAGE", page) && !Trim(page).empty()) {
    // Only a file name: the page is always one of the program's own.
    const std::filesystem::path file = std::filesystem::path(Trim(page)).filename();
    const std::filesystem::path path =
        std::filesystem::absolute(std::filesystem::path(doc.GetProgramFolder()) / kPageFolder / file);
    SetStartUrl("file://" + path.generic_string());
  }
  GetParameter("CPUNAME", cpuName_);
  cpuName_ = Trim(cpuName_);
  std::string preliminary;
  GetParameter("PRELIMINARY", preliminary);
  preliminary = Trim(preliminary);
  preliminary_ = EqualsNoCase(preliminary, "yes") || EqualsNoCase(preliminary, "true");
}

void CpmPINOUT::OnModulesReady() {
  CModule::OnModulesReady();
  if (ModuleContext* context = GetContext()) CollectLinkedRegisters(*context);
}

void CpmPINOUT::CollectLinkedRegisters(ModuleContext& doc) {
  linked_.clear();
  for (PinPort* port : PinPorts(doc))
    if (const RegisterRef per = port->PeripheralModeRegister()) linked_.push_back(per);
  if (doc.TestPart(kTestClassic) || doc.TestPart(kTestBrel)) return;
  PinFunctionSelector* selector = FindCapability<PinFunctionSelector>(&doc);
  if (!selector) return;
  // The clock-output register joins when port A or B routes clock outputs (clock outputs on
  // later ports are not counted, as the pinout always did).
  bool clockOutput = false;
  for (char letter : {'A', 'B'}) {
    const PinPort* port = FindPinPort(doc, letter);
    clockOutput = clockOutput || (port && port->HasClockOutputPins());
  }
  for (const RegisterRef& ref : selector->PinoutSelectorRegisters(clockOutput)) linked_.push_back(ref);
}

std::vector<Register*> CpmPINOUT::RunTimeRegisters() {
  std::vector<Register*> registers;
  for (const RegisterRef& ref : linked_)
    if (Register* reg = ref.Get()) registers.push_back(reg);
  return registers;
}

// ---- filling the page ----

bool CpmPINOUT::SendPinNames() {
  ModuleContext* context = GetContext();
  bool sent = context != nullptr;
  for (PinPort* port : context ? PinPorts(*context) : std::vector<PinPort*>{}) {
    for (int pin : port->ExistingPins()) {
      const std::string name = port->PinName(pin);
      // Following the pin to its row shows where it came from.
      const std::string link =
          port->PinLink(pin) + "?tiptext=" + EncodeUrlText(GetDisplayName() + ": " + name);
      std::string result;
      if (!CallScript("SetPinName", {name, port->CurrentFunctionName(pin), link}, result) ||
          !TrueResult(result))
        sent = false;
    }
  }
  pinNamesSent_ = sent;
  return sent;
}

CModuleBase* CpmPINOUT::ResolveCheckBox(const std::string& name, std::string& filter) {
  filter.clear();
  ModuleContext* context = GetContext();
  if (!context || !StartsWith(name, kCheckBoxPrefix)) return nullptr;
  std::string moduleName = name.substr(std::string(kCheckBoxPrefix).size());
  if (const size_t split = moduleName.find("__"); split != std::string::npos) {
    filter = moduleName.substr(split + 2);
    moduleName.resize(split);
  }
  return moduleName.empty() ? nullptr : context->FindModule(moduleName, "");
}

int CpmPINOUT::CheckBoxState(const std::string& name) {
  std::string filter;
  CModuleBase* module = ResolveCheckBox(name, filter);
  if (!module) return 0;
  const SignalMap signalMap = CollectSignals(*GetContext(), *module, filter, true);
  size_t placed = 0;
  for (const auto& [signal, pins] : signalMap) placed += !pins.selected.empty();
  if (signalMap.empty() || placed == 0) return 0;
  return placed == signalMap.size() ? 1 : 2;
}

bool CpmPINOUT::SendCheckBoxes() {
  std::string names;
  if (!CallScript("GetGpioCheckboxes", {}, names)) {
    checkBoxesSent_ = false;
    return false;
  }
  for (const std::string& name : SplitNames(names)) {
    std::string filter;
    // Boxes for modules the project does not have stay as they are.
    if (!ResolveCheckBox(name, filter)) continue;
    std::string result;
    CallScript("SetGpioCheckbox", {name, std::to_string(CheckBoxState(name))}, result);
  }
  checkBoxesSent_ = true;
  return true;
}

void CpmPINOUT::UpdatePage() {
  std::string result;
  if (!cpuName_.empty()) CallScript("SetCpuName", {cpuName_}, result);
  if (preliminary_) CallScript("SetPreliminary", {"1"}, result);
  SendPinNames();
  SendCheckBoxes();
  CallScript("ShowView", {std::to_string(activeView_)}, result);
}

void CpmPINOUT::OnPageLoaded() {
  // A freshly loaded document knows nothing yet, whatever an earlier one was told.
  if (projectLoaded_) UpdatePage();
  else {
    if (!pinNamesSent_) SendPinNames();
    if (!checkBoxesSent_) SendCheckBoxes();
  }
}

void CpmPINOUT::OnUpdate(int hint, CModuleBase* sender) {
  CHtmlModule::OnUpdate(hint, sender);
  // The first recompute after opening: the project is complete now.
  if (hint == kHintRefreshAll && !projectLoaded_) {
    projectLoaded_ = true;
    UpdatePage();
  }
}

void CpmPINOUT::UpdateEnables() {
  if (!GetView()) return;
  SendPinNames();
  SendCheckBoxes();
}

bool CpmPINOUT::DoDataExchange(bool saveAndValidate) {
  std::string result;
  uint32_t view = 0;
  if (CallScript("GetActiveView", {}, result) && ReadCIntegerExact(Trim(result), view))
    activeView_ = static_cast<int>(view);
  return CHtmlModule::DoDataExchange(saveAndValidate);
}

void CpmPINOUT::OnLinkQuery(CModuleBase* source, const std::string& url, const std::string& query) {
  std::string filter;
  CModuleBase* module = ResolveCheckBox(query, filter);
  if (!module) {
    CHtmlModule::OnLinkQuery(source, url, query);
    return;
  }
  Host* host = HostInForce();
  if (host) host->BeginWaitCursor();
  GetContext()->NameNextStep(module->GetPrefix() + " Assign missing pins");
  if (AssignMissingSignals(*GetContext(), *module, filter)) AnnouncePinChanges(*GetContext(), this);
  SendPinNames();
  SendCheckBoxes();
  if (host) host->EndWaitCursor();
}

void RegisterPinoutModuleKinds(ModuleFactory& factory) {
  factory.Register("PINOUT", [](const ArchitectureEntry& entry, CModuleBase* parent) {
    return std::unique_ptr<CModuleBase>(std::make_unique<CpmPINOUT>(entry, parent));
  });
}

}  // namespace tarq

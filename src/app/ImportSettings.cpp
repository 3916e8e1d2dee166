#include "app/ImportSettings.h"

#include <algorithm>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace tarq {

ImportSettings::ImportSettings(CProjDocBase& current, std::string programFolder)
    : current_(current), programFolder_(std::move(programFolder)) {}

ImportSettings::~ImportSettings() = default;

std::vector<ImportSettings::Entry> ImportSettings::Destinations() const {
  std::vector<Entry> list;
  for (CModuleBase* module : current_.GetModules()) {
    if (module->GetRegisterCount() == 0) continue;
    std::string text = module->GetDisplayName();
    const bool taken = std::any_of(list.begin(), list.end(),
                                   [&](const Entry& entry) { return entry.text == text; });
    if (taken) text += " (" + module->GetClass() + ")";
    list.push_back({module, text});
  }
  return list;
}

std::vector<ImportSettings::Entry> ImportSettings::Sources(const CModuleBase& destination) const {
  std::vector<Entry> list;
  for (CModuleBase* module : SourceProject().GetModules()) {
    if (module == &destination) continue;
    bool forbidden = false;
    if (destination.CanImportFrom(*module, forbidden)) {
      std::string text = module->GetDisplayName();
      if (other_ != nullptr && !module->IsSelected()) text += " (empty)";
      list.push_back({module, text});
    } else if (forbidden) {
      list.push_back({nullptr, module->GetDisplayName() + " (forbidden)"});
    }
  }
  if (list.empty()) list.push_back({nullptr, "n/a"});
  return list;
}

std::vector<ImportSettings::RegisterEntry> ImportSettings::Registers(const CModuleBase& source) {
  std::vector<RegisterEntry> list;
  const std::vector<Register>& registers = source.Registers();
  for (size_t i = 0; i < registers.size(); ++i) {
    const Register& reg = registers[i];
    if (!CModuleBase::IsImportable(reg)) continue;
    const bool absolute = !reg.name.empty() && reg.name.front() == '-';
    list.push_back({i, absolute ? reg.name.substr(1) : " " + source.GetPrefix() + "_" + reg.name});
  }
  return list;
}

bool ImportSettings::OpenOtherProject(const std::string& path, std::string& error) {
  DocumentEnvironment environment;
  environment.programFolder = programFolder_;
  environment.takeLock = false;
  auto document =
      std::make_unique<CProjDoc>(kSecondaryDocument, environment, RegisterBuiltInModuleKinds);
  if (!document->OpenProject(path)) {
    error = document->GetLastError();
    if (error.empty()) error = "cannot open project '" + path + "'";
    return false;
  }
  other_ = std::move(document);
  return true;
}

void ImportSettings::UseCurrentProject() { other_.reset(); }

CProjDocBase& ImportSettings::SourceProject() const {
  return other_ != nullptr ? *other_ : current_;
}

std::string ImportSettings::ProjectLabel() const {
  if (other_ == nullptr) return " Importing from the current project...";
  const ProjectSettings& settings = other_->GetSettings();
  // Projects without a part number are named by their part.
  const std::string& part = settings.partNumber.empty() ? settings.partName : settings.partNumber;
  return other_->GetPath() + " (" + part + ")";
}

ImportSettings::Outcome ImportSettings::Import(CModuleBase* destination, CModuleBase* source,
                                               const std::vector<size_t>* selection, Host& host) {
  if (destination == nullptr) {
    host.ShowMessage("Please select a valid destination module!", MessageIcon::Exclamation);
    return Outcome::NoDestination;
  }
  if (source == nullptr) {
    host.ShowMessage("Please select a valid source module!", MessageIcon::Exclamation);
    return Outcome::NoSource;
  }
  if (selection != nullptr && selection->empty()) {
    host.ShowMessage("No registers selected for importing!", MessageIcon::Error);
    return Outcome::NothingSelected;
  }
  if (host.AskYesNo("Are you sure to modify the " + destination->GetDisplayName() +
                    " module settings?") != Answer::Yes)
    return Outcome::Declined;
  current_.ShowModule(destination);
  current_.NameNextStep(destination->GetPrefix() + " Import");
  if (!destination->ImportFrom(*source, selection, true)) {
    host.ShowMessage("The destination module was NOT changed!", MessageIcon::Exclamation);
    return Outcome::NotChanged;
  }
  return Outcome::Imported;
}

}  // namespace tarq

// tarq-cli import and tarq-cli doc: the import dialog and the module documentation lookup
// without a window.
#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>

#include "app/Cli.h"
#include "app/ImportSettings.h"
#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "help/DocumentationLookup.h"
#include "project/OptionsFile.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

// The indexes of the named registers among those the source offers; a name is the register's
// own ("SCIBR_INIT") or its define name ("SCI_0_SCIBR_INIT"). False for a name not offered.
bool SelectRegisters(const CModuleBase& source, const std::vector<std::string>& names,
                     std::vector<size_t>& selection, std::ostream& err) {
  const std::vector<ImportSettings::RegisterEntry> offered = ImportSettings::Registers(source);
  for (const std::string& wanted : names) {
    const std::string name = Trim(wanted);
    const auto match = std::find_if(offered.begin(), offered.end(), [&](const auto& entry) {
      const Register& reg = source.Registers()[entry.index];
      return Trim(entry.text) == name || reg.name == name || source.GetDefineName(reg) == name;
    });
    if (match == offered.end()) {
      err << "tarq-cli: '" << name << "' is no importable register of " << source.GetPrefix()
          << "\n";
      return false;
    }
    selection.push_back(match->index);
  }
  return true;
}

// The destination's registers that the import changed, as define name and value.
void PrintChanges(const CModuleBase& module, const std::vector<Register>& before, std::ostream& out) {
  const std::vector<Register>& after = module.Registers();
  for (size_t i = 0; i < after.size() && i < before.size(); ++i) {
    if (after[i].value == before[i].value && after[i].text == before[i].text) continue;
    out << module.GetDefineName(after[i]) << " " << CModuleBase::FormatValue(after[i], true)
        << " (was " << CModuleBase::FormatValue(before[i], true) << ")\n";
  }
}

}  // namespace

int RunImportCommand(const CliRequest& request, CProjDocBase& doc, const std::string& programFolder,
                     std::ostream& out, std::ostream& err) {
  Host& host = doc.GetHost();
  CModuleBase* destination = doc.FindModule(request.prefixes.front(), "");
  if (destination == nullptr) {
    err << "tarq-cli: no module '" << request.prefixes.front() << "' in this project\n";
    return kExitFailed;
  }
  ImportSettings import(doc, programFolder);
  const auto destinations = import.Destinations();
  if (std::none_of(destinations.begin(), destinations.end(),
                   [&](const auto& entry) { return entry.module == destination; })) {
    host.ShowMessage("Please select a valid destination module!", MessageIcon::Exclamation);
    return kExitFailed;
  }
  if (!request.importFrom.empty()) {
    std::string error;
    if (!import.OpenOtherProject(request.importFrom, error)) {
      err << "tarq-cli: cannot open project '" << request.importFrom << "': " << error << "\n";
      return kExitUsage;
    }
  }
  const std::vector<ImportSettings::Entry> sources = import.Sources(*destination);
  if (request.list) {
    for (const ImportSettings::Entry& entry : sources) out << entry.text << "\n";
    return kExitOk;
  }

  // The source as the dialog offers it: listed and usable.
  const std::string sourcePrefix =
      request.importSource.empty() ? destination->GetPrefix() : request.importSource;
  CModuleBase* named = import.SourceProject().FindModule(sourcePrefix, "");
  const auto offered = std::find_if(sources.begin(), sources.end(), [&](const auto& entry) {
    return named != nullptr && entry.module == named;
  });
  CModuleBase* source = offered != sources.end() ? named : nullptr;
  if (source == nullptr && named != nullptr) {
    bool forbidden = false;
    if (named != destination && !destination->CanImportFrom(*named, forbidden) && forbidden)
      err << "tarq-cli: " << named->GetDisplayName() << " (forbidden): the settings of "
          << sourcePrefix << " do not carry over between these two parts\n";
  }

  std::vector<size_t> selection;
  const bool selected = !request.registers.empty();
  if (source != nullptr && selected && !SelectRegisters(*source, request.registers, selection, err))
    return kExitFailed;

  const std::vector<Register> before = destination->Registers();
  const ImportSettings::Outcome outcome =
      import.Import(destination, source, selected ? &selection : nullptr, host);
  if (outcome != ImportSettings::Outcome::Imported) return kExitFailed;
  PrintChanges(*destination, before, out);
  if (request.save) {
    doc.OnIdle();
    if (!doc.Save()) {
      PrintSaveFailure(doc, err);
      return kExitFailed;
    }
  }
  return kExitOk;
}

int RunDocCommand(const CliRequest& request, CProjDocBase& doc, std::ostream& out,
                  std::ostream& err) {
  CModuleBase* module = doc.FindModule(request.prefixes.front(), "");
  if (module == nullptr) {
    err << "tarq-cli: no module '" << request.prefixes.front() << "' in this project\n";
    return kExitFailed;
  }
  const CModuleBase::HelpTarget target = module->GetHelpTarget();
  const DocumentPlace place = ParseDestination(target.destination);
  std::vector<std::string> command;
  if (target.exists) {
    const ReaderCommands readers = LoadReaderCommands(OptionsFilePath());
    command = target.systemOpen ? ExpandCommand(readers.opener, target.file, {}, {})
                                : ReaderCommandFor(readers, target.file, target.destination);
  }

  int code = kExitOk;
  if (target.file.empty()) {
    err << "tarq-cli: " << module->GetPrefix() << " has no documentation reference\n";
    code = kExitFailed;
  } else if (!target.exists) {
    err << "Help document not found: " << target.file << "\n";
    code = kExitFailed;
  } else if (!request.dryRun) {
    std::string error;
    if (!StartDetached(command, error)) {
      err << "tarq-cli: the reader did not start: " << error << "\n";
      code = kExitFailed;
    }
  }

  if (request.json) {
    nlohmann::json result;
    result["module"] = module->GetPrefix();
    result["file"] = target.file.empty() ? nlohmann::json() : nlohmann::json(target.file);
    result["page"] = place.page ? nlohmann::json(*place.page) : nlohmann::json();
    result["destination"] = place.name ? nlohmann::json(*place.name) : nlohmann::json();
    result["command"] = command.empty() ? nlohmann::json() : nlohmann::json(command);
    out << DumpJson(result) << "\n";
  } else if (!command.empty()) {
    // One argument a line, so an argument holding blanks reads unambiguously.
    for (const std::string& argument : command) out << argument << "\n";
  }
  return code;
}

}  // namespace tarq

// What the "Import Module Settings" dialog shows and does, without the dialog: the
// destination, source and register lists, the other project read for the purpose, and the
// OK command. The desktop dialog and `tarq-cli import` both drive it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarq {

class CModuleBase;
class CProjDocBase;
class Host;

class ImportSettings {
 public:
  struct Entry {
    CModuleBase* module = nullptr;  // null for " (forbidden)" sources and "n/a"
    std::string text;
  };
  struct RegisterEntry {
    size_t index = 0;  // position in the source's register table
    std::string text;  // the define name as the list shows it
  };
  enum class Outcome { Imported, NoDestination, NoSource, NothingSelected, Declined, NotChanged };

  // `current` is the open project; `programFolder` holds the architecture files used to read
  // another project.
  ImportSettings(CProjDocBase& current, std::string programFolder);
  ~ImportSettings();

  // Every module of the current project with registers, in document order, by display name
  // (the class added in brackets when that name is already listed).
  std::vector<Entry> Destinations() const;
  // The candidates of the source project for `destination`: usable ones by display name (with
  // " (empty)" for a module another project does not write), refused ones with
  // " (forbidden)"; "n/a" alone when there are none.
  std::vector<Entry> Sources(const CModuleBase& destination) const;
  // The source's registers that can be imported, in table order.
  static std::vector<RegisterEntry> Registers(const CModuleBase& source);

  // Reads another project as the source; on failure the previous source stays and the
  // reason is in `error`.
  bool OpenOtherProject(const std::string& path, std::string& error);
  // Imports from the current project again.
  void UseCurrentProject();
  bool HasOtherProject() const { return other_ != nullptr; }
  CProjDocBase& SourceProject() const;
  // "PATH (PART NUMBER)" of the other project, or " Importing from the current project...".
  std::string ProjectLabel() const;

  // The OK command: checks the choices, asks for confirmation, shows the destination and
  // imports. `selection` is null to import every register; otherwise the chosen indexes.
  // Failures are shown through `host` with the dialog's own messages.
  Outcome Import(CModuleBase* destination, CModuleBase* source,
                 const std::vector<size_t>* selection, Host& host);

 private:
  CProjDocBase& current_;
  std::string programFolder_;
  std::unique_ptr<CProjDocBase> other_;
};

}  // namespace tarq

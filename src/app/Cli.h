// The headless front end: arguments become one plain request that one dispatcher runs.
#pragma once

#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace tarq {

class Host;

struct CliRequest {
  enum class Command { Help, Parts, Info, Check, Reprocess, SelfTest, Show, Set, Follow, Diff,
                       Find, Serve, Import, Doc };
  Command command = Command::Help;
  std::string path;   // project folder or header; empty means the current folder
  bool json = false;  // info, check, show, set
  bool all = false;   // check: also modules not selected for writing
  bool save = false;  // set, follow: save as Save does afterwards
  bool dryRun = false;  // reprocess: show what the save would change; doc: start nothing
  std::vector<std::string> prefixes;     // show: the modules (all when empty); set: one
  std::vector<std::string> assignments;  // set: "CONTROL=VALUE" in order
  std::string link;                      // follow
  std::string otherPath;                 // diff: the second project
  bool textconv = false;                 // diff: the field listing of one project, for git
  std::string text;                      // find: the words looked for
  bool changedOnly = false;              // find: settings that differ from their reset values
  std::string socket;                    // serve: the socket file
  std::string page;                      // serve: the module whose page is shown first
  std::string importFrom;                // import: the other project (empty: this one)
  std::string importSource;              // import: the source module (empty: DEST's prefix)
  std::vector<std::string> registers;    // import: only these registers
  bool list = false;                     // import: print the source list
};

// Exit codes of tarq-cli.
enum CliExit : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct CliParse {
  bool ok = false;
  int exitCode = kExitUsage;  // when not ok, or for --help
  std::string text;           // help or error text
  CliRequest request;
};

// Subcommands "parts", "info", "check", "reprocess" with their options. Without a
// subcommand the desktop program's switches are understood: a path with "reprocess"
// reprocesses it, a path alone shows its information.
CliParse ParseCliArguments(const std::vector<std::string>& arguments);

struct CliEnvironment {
  std::string programFolder;  // holds the architecture files
  Host* host = nullptr;       // messages and questions; a BatchHost in the real program
  // The process ends right after the request: the document is not taken apart (its lock
  // and temporary files are removed).
  bool leaveDocumentAtExit = false;
};

class CProjDocBase;
class CModuleBase;
struct ControlRef;
// The page commands (show, set, follow, selftest) on an open document.
int RunPageCommand(const CliRequest& request, CProjDocBase& doc, std::ostream& out,
                   std::ostream& err);
// The name `set` takes for a control: its label when that names it alone on the module's
// page, else GROUP/LABEL, else its id ("#ID" or "#PAGE/ID").
std::string SetNameOf(CModuleBase& module, const ControlRef& ref);
// The control a `set` name names on the module's open page; empty with `error` otherwise.
ControlRef FindSetTarget(CModuleBase& module, const std::string& name, std::string& error);
// import: the import dialog's OK (or its source list) for module prefixes[0].
int RunImportCommand(const CliRequest& request, CProjDocBase& doc, const std::string& programFolder,
                     std::ostream& out, std::ostream& err);
// doc: the help operation of module prefixes[0].
int RunDocCommand(const CliRequest& request, CProjDocBase& doc, std::ostream& out,
                  std::ostream& err);
// Prints the warnings as `check` does; returns how many were printed.
int PrintWarnings(CProjDocBase& doc, bool all, bool json, std::ostream& out);

// JSON text with bytes that are not UTF-8 replaced (U+FFFD), never an exception.
std::string DumpJson(const nlohmann::json& value);
// "saving PATH failed: why", and the lines a save refused to drop.
void PrintSaveFailure(CProjDocBase& doc, std::ostream& err);

int RunCliRequest(const CliRequest& request, const CliEnvironment& environment, std::ostream& out,
                  std::ostream& err);

// Folder of the running executable, ending without a separator.
std::string ExecutableFolder();

}  // namespace tarq

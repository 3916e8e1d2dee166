#include "app/Cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/CliVersionControl.h"
#include "app/AutomationServer.h"
#include "app/CommandLine.h"
#include "framework/Capabilities.h"
#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "modules/ModuleKinds.h"
#include "plugins/PluginLoader.h"
#include "project/KnownParts.h"
#include "project/ProjDoc.h"

namespace tarq {

namespace {

constexpr const char* kSubcommands[] = {"parts",  "info",  "check", "reprocess", "selftest",
                                        "show",   "set",   "follow", "diff",     "find",
                                        "serve",  "import", "doc",   "help"};

bool IsSubcommand(const std::string& word) {
  for (const char* known : kSubcommands)
    if (word == known) return true;
  return false;
}

std::string SubcommandList() {
  std::string list;
  for (const char* known : kSubcommands) {
    if (!list.empty()) list += ", ";
    list += known;
  }
  return list;
}

// A word that names no file and looks like no path was meant as a subcommand.
bool LooksLikeMistypedCommand(const std::string& word) {
  if (word.empty() || word.front() == '-' || word.front() == '/') return false;
  if (word.find_first_of("/\\.") != std::string::npos) return false;
  std::error_code error;
  return !std::filesystem::exists(word, error);
}

// The desktop program's command line: a path with switches.
CliParse ParseDesktopStyle(const std::vector<std::string>& arguments) {
  CliParse parse;
  const CommandLineInfo info = ParseCommandLine(arguments);
  parse.ok = true;
  parse.exitCode = kExitOk;
  parse.request.path = info.fileName;
  parse.request.command = info.selfTest    ? CliRequest::Command::SelfTest
                          : info.reprocess ? CliRequest::Command::Reprocess
                                           : CliRequest::Command::Info;
  return parse;
}

CliParse ParseSubcommands(const std::vector<std::string>& arguments) {
  CliParse parse;
  CLI::App app{"Tarq: configuration of the Corvex peripherals, headless front end", "tarq-cli"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", std::string("tarq-cli ") + TARQ_VERSION_TEXT);
  CliRequest& request = parse.request;
  CLI::App* help = app.add_subcommand("help", "Print this help");

  CLI::App* parts = app.add_subcommand("parts", "List the known parts and their chip groups");
  CLI::App* info = app.add_subcommand("info", "Part, settings, clocks and module tree of a project");
  info->add_option("PATH", request.path, "Project folder or header file");
  info->add_flag("--json", request.json, "Print JSON");
  CLI::App* check = app.add_subcommand("check", "Run the warnings pass and print every warning");
  check->add_option("PATH", request.path, "Project folder or header file");
  check->add_flag("--all", request.all, "Include modules not selected for writing");
  check->add_flag("--json", request.json, "Print JSON");
  CLI::App* reprocess =
      app.add_subcommand("reprocess", "Open, recompute, validate and save without questions");
  reprocess->add_option("PATH", request.path, "Project folder or header file");
  reprocess->add_flag("--dry-run", request.dryRun,
                      "Write nothing; print the unified diff of what the save would change "
                      "(exit 0 none, 1 some)");
  CLI::App* selftest =
      app.add_subcommand("selftest", "Run the self-test and write tarq_selftest.log");
  selftest->add_option("PATH", request.path, "Project folder or header file");
  CLI::App* show = app.add_subcommand("show", "Every control of the named module pages");
  show->add_option("PATH", request.path, "Project folder or header file")->required();
  show->add_option("PREFIX", request.prefixes, "Modules to show (all when none is named)");
  show->add_flag("--json", request.json, "Print JSON");
  CLI::App* set = app.add_subcommand("set", "Act as a user on one module page");
  set->add_option("PATH", request.path, "Project folder or header file")->required();
  std::string setPrefix;  // one module; kept apart so the assignments take the rest
  set->add_option("PREFIX", setPrefix, "The module")->required();
  set->add_option("ASSIGNMENT", request.assignments,
                  "CONTROL=VALUE, in order. CONTROL is the window text, the caption before the "
                  "control, GROUP/CONTROL, #ID, or #PAGE/CONTROL for a control of a child page "
                  "(PAGE and CONTROL each an id or a text)")
      ->required();
  set->add_flag("--save", request.save, "Save as Save does");
  set->add_flag("--json", request.json, "Print the warnings as JSON");
  CLI::App* follow = app.add_subcommand("follow", "Follow a link as the program does");
  follow->add_option("PATH", request.path, "Project folder or header file")->required();
  follow->add_option("LINK", request.link, "tarq: or tarqna: link")->required();
  follow->add_flag("--save", request.save, "Save as Save does");
  CLI::App* diff =
      app.add_subcommand("diff", "Compare two projects field by field (exit 0 equal, 1 different)");
  diff->add_option("A", request.path, "Project folder or header file")->required();
  diff->add_option("B", request.otherPath, "Project folder or header file");
  diff->add_flag("--json", request.json, "Print JSON");
  diff->add_flag("--textconv", request.textconv,
                 "Print the field listing of A alone (a git diff text conversion)");
  CLI::App* find = app.add_subcommand(
      "find", "Find settings by words: captions, list items, registers and warnings");
  find->add_option("PATH", request.path, "Project folder or header file")->required();
  find->add_option("TEXT", request.text, "Words to find, in any order")->required();
  find->add_flag("--json", request.json, "Print JSON");
  find->add_flag("--changed", request.changedOnly, "Only settings that differ from reset");
  CLI::App* serve = app.add_subcommand(
      "serve", "Serve the automation object over a Unix socket until standard input ends");
  serve->add_option("PATH", request.path, "Project folder or header file")->required();
  serve->add_option("--socket", request.socket, "The socket file");
  serve->add_option("--page", request.page, "The module whose page is shown first");
  serve->add_flag("--save", request.save, "Save as Save does when serving ends");
  CLI::App* import = app.add_subcommand("import", "Import module settings, as the import dialog does");
  import->add_option("PATH", request.path, "Project folder or header file")->required();
  std::string importDestination;
  import->add_option("DEST", importDestination, "The module to be modified")->required();
  import->add_option("--from", request.importFrom, "The project to import from (default: PATH)");
  import->add_option("--source", request.importSource, "The module to import from (default: DEST)");
  import->add_option("--registers", request.registers, "Only these registers (A,B,...)")
      ->delimiter(',');
  import->add_flag("--list", request.list, "Print the modules DEST can import from");
  import->add_flag("--save", request.save, "Save as Save does");
  CLI::App* doc = app.add_subcommand("doc", "Open a module's documentation");
  doc->add_option("PATH", request.path, "Project folder or header file")->required();
  std::string docPrefix;
  doc->add_option("PREFIX", docPrefix, "The module")->required();
  doc->add_flag("--dry-run", request.dryRun, "Start no reader");
  doc->add_flag("--json", request.json, "Print module, file, page, destination and command");
  app.footer(
      "Exit codes: 0 success; 1 the save failed (reprocess, set --save, follow --save), warnings\n"
      "were found (check) or a value was refused (set); 2 usage error or the project cannot be\n"
      "opened.\n"
      "The desktop program's switches work too: tarq-cli PATH -reprocess, tarq-cli PATH "
      "/selftest.");

  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    std::ostringstream out, err;
    const int code = app.exit(error, out, err);
    parse.text = out.str() + err.str();
    parse.exitCode = code == 0 ? kExitOk : kExitUsage;
    parse.ok = false;
    return parse;
  }
  if (help->parsed() || app.get_subcommands().empty()) {
    parse.text = app.get_formatter()->make_help(&app, "tarq-cli", CLI::AppFormatMode::Normal);
    parse.exitCode = help->parsed() ? kExitOk : kExitUsage;
    parse.ok = false;
    return parse;
  }
  if (parts->parsed()) request.command = CliRequest::Command::Parts;
  if (info->parsed()) request.command = CliRequest::Command::Info;
  if (check->parsed()) request.command = CliRequest::Command::Check;
  if (reprocess->parsed()) request.command = CliRequest::Command::Reprocess;
  if (selftest->parsed()) request.command = CliRequest::Command::SelfTest;
  if (show->parsed()) request.command = CliRequest::Command::Show;
  if (find->parsed()) request.command = CliRequest::Command::Find;
  if (set->parsed()) {
    request.command = CliRequest::Command::Set;
    request.prefixes = {setPrefix};
  }
  if (follow->parsed()) request.command = CliRequest::Command::Follow;
  if (diff->parsed()) {
    request.command = CliRequest::Command::Diff;
    // Two projects to compare, or one to list for git.
    if (request.textconv != request.otherPath.empty()) {
      parse.text = request.textconv ? "tarq-cli diff --textconv takes one path\n"
                                    : "tarq-cli diff needs two paths (or --textconv and one)\n";
      parse.exitCode = kExitUsage;
      parse.ok = false;
      return parse;
    }
  }
  if (serve->parsed()) request.command = CliRequest::Command::Serve;
  if (import->parsed()) {
    request.command = CliRequest::Command::Import;
    request.prefixes = {importDestination};
  }
  if (doc->parsed()) {
    request.command = CliRequest::Command::Doc;
    request.prefixes = {docPrefix};
  }
  parse.ok = true;
  parse.exitCode = kExitOk;
  return parse;
}

std::string FormatClock(float mhz) { return mhz > 0 ? Format("%.3f MHz", mhz) : "n/a"; }

nlohmann::json TreeToJson(const TreeNode& node) {
  nlohmann::json item;
  item["text"] = node.text;
  item["prefix"] = node.module != nullptr ? node.module->GetPrefix() : "";
  item["class"] = node.module != nullptr ? node.module->GetClass() : "";
  item["selected"] = node.module != nullptr && node.module->IsSelected();
  item["children"] = nlohmann::json::array();
  for (const auto& child : node.children) item["children"].push_back(TreeToJson(*child));
  return item;
}

void PrintTree(const TreeNode& node, std::ostream& out) {
  std::string line(static_cast<size_t>(node.Depth()) * 2, ' ');
  const CModuleBase* module = node.module;
  line += (module != nullptr && module->IsSelected()) ? "[x] " : "[ ] ";
  line += node.text;
  if (module != nullptr) line += "  (" + module->GetPrefix() + ", " + module->GetClass() + ")";
  out << line << "\n";
  for (const auto& child : node.children) PrintTree(*child, out);
}

nlohmann::json SettingsToJson(const CProjDocBase& doc) {
  const ProjectSettings& settings = const_cast<CProjDocBase&>(doc).GetSettings();
  const Options& options = const_cast<CProjDocBase&>(doc).GetOptions();
  return {{"part_number", settings.partNumber},
          {"mask_number", settings.maskNumber},
          {"package", settings.package},
          {"extclk_mhz", settings.extClkMHz},
          {"extal_mhz", settings.extalMHz},
          {"prefixed_names", settings.prefixedNames},
          {"brief_view", settings.briefView},
          {"generate_comments", options.generateComments},
          {"generate_defaults", options.generateDefaults},
          {"keep_user_comments", options.keepUserComments}};
}

int RunParts(std::ostream& out) {
  const auto& parts = KnownParts();
  for (int row = 0; row < kKnownPartCount; ++row) {
    const KnownPart& part = parts[static_cast<size_t>(row)];
    std::string line = part.name;
    if (part.alias[0] != '\0') line += std::string(" (read as ") + part.alias + ")";
    if (row == kPartRowCVX36) line += " (read as CVX-08)";
    const std::string readAs = row == kPartRowCVX36 ? PartNameOfRow(kPartRowCVX08) : PartNameOfRow(row);
    PadTo(line, 28);
    out << line << ChipGroupOf(readAs) << "\n";
  }
  return kExitOk;
}

int RunInfo(CProjDocBase& doc, bool json, std::ostream& out) {
  const ProjectSettings& settings = doc.GetSettings();
  const ClockSource* clock = FindCapability<ClockSource>(&doc);
  const std::string system = FormatClock(clock ? clock->GetSystemClockMHz() : 0.0f);
  const std::string bus = FormatClock(clock ? clock->GetBusClockMHz() : 0.0f);
  if (json) {
    nlohmann::json result;
    result["part"] = settings.partName;
    result["row"] = settings.partRow + 1;
    result["group"] = ChipGroupOf(settings.partName);
    result["settings"] = SettingsToJson(doc);
    result["system_clock"] = system;
    result["bus_clock"] = bus;
    // The same in whole hertz (null when there is no such clock).
    auto hertz = [](float mhz) -> nlohmann::json {
      if (mhz <= 0) return nullptr;
      return static_cast<long long>(std::llround(static_cast<double>(mhz) * 1e6));
    };
    result["system_clock_hz"] = hertz(clock ? clock->GetSystemClockMHz() : 0.0f);
    result["bus_clock_hz"] = hertz(clock ? clock->GetBusClockMHz() : 0.0f);
    result["tree"] = nlohmann::json::array();
    for (const auto& node : doc.GetTree().TopLevel()) result["tree"].push_back(TreeToJson(*node));
    out << DumpJson(result) << "\n";
    return kExitOk;
  }
  out << "Project:       " << doc.GetTitle() << "\n"
      << "Header:        " << doc.GetPath() << "\n"
      << "Part:          " << settings.partName << " (row " << settings.partRow + 1 << ", "
      << ChipGroupOf(settings.partName) << " group)\n";
  if (!settings.partNumber.empty()) out << "Part number:   " << settings.partNumber << "\n";
  if (!settings.package.empty()) out << "Package:       " << settings.package << "\n";
  if (settings.extClkMHz > 0) out << "External clock: " << Format("%.6g MHz", settings.extClkMHz) << "\n";
  if (settings.extalMHz > 0) out << "Crystal:       " << Format("%.6g MHz", settings.extalMHz) << "\n";
  const Options& options = doc.GetOptions();
  out << "Options:       GenerateComments=" << options.generateComments
      << " GenerateDefaults=" << options.generateDefaults
      << " KeepUserComments=" << options.keepUserComments
      << " BriefView=" << settings.briefView << "\n"
      << "System clock:  " << system << "\n"
      << "IP bus clock:  " << bus << "\n"
      << "Modules:\n";
  for (const auto& node : doc.GetTree().TopLevel()) PrintTree(*node, out);
  return kExitOk;
}

int RunCheck(CProjDocBase& doc, bool all, bool json, std::ostream& out) {
  doc.OnIdle();
  return PrintWarnings(doc, all, json, out) == 0 ? kExitOk : kExitFailed;
}

int RunReprocess(CProjDocBase& doc, std::ostream& err) {
  doc.OnIdle();  // the first update recomputes every module
  if (!doc.SaveAndExit()) {
    PrintSaveFailure(doc, err);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

std::string DumpJson(const nlohmann::json& value) {
  // Header bytes need not be UTF-8: such bytes become U+FFFD, the header keeps its own.
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

void PrintSaveFailure(CProjDocBase& doc, std::ostream& err) {
  err << "tarq-cli: saving " << doc.GetPath() << " failed";
  if (!doc.GetSaveError().empty()) err << ": " << doc.GetSaveError();
  err << "\n";
  if (!doc.GetRefusedLines().empty()) {
    err << "tarq-cli: the generated section holds these lines that are not definitions; Tarq does "
           "not keep them, so the header was not written:\n";
    for (const std::string& line : doc.GetRefusedLines()) err << "    " << line << "\n";
  }
}

int PrintWarnings(CProjDocBase& doc, bool all, bool json, std::ostream& out) {
  nlohmann::json list = nlohmann::json::array();
  int count = 0;
  for (const Warning& warning : doc.GetWarnings()->Entries()) {
    if (warning.page == nullptr) continue;
    if (!all && !warning.page->IsSelected()) continue;
    ++count;
    if (json) {
      list.push_back({{"module", warning.page->GetPrefix()},
                      {"class", warning.page->GetClass()},
                      {"id", warning.id},
                      {"text", warning.text},
                      {"link", warning.link},
                      {"links", warning.links}});
    } else {
      out << warning.page->GetPrefix() << ": " << warning.text << "\n";
      for (const std::string& link : warning.links) out << "    " << link << "\n";
    }
  }
  // What reading found that the save resets or keeps as it stands.
  const std::string headerName = std::filesystem::path(doc.GetPath()).filename().string();
  for (const CProjDocBase::HeaderNote& note : doc.GetHeaderNotes()) {
    CModuleBase* module = note.module.empty() ? nullptr : doc.FindModule(note.module, "");
    if (!all && module != nullptr && !module->IsSelected()) continue;
    ++count;
    if (json) {
      list.push_back({{"module", note.module},
                      {"class", module != nullptr ? module->GetClass() : std::string()},
                      {"id", 0},
                      {"text", note.text},
                      {"link", ""},
                      {"links", nlohmann::json::array()}});
    } else {
      out << (note.module.empty() ? headerName : note.module) << ": " << note.text << "\n";
      for (const std::string& line : note.lines) out << "    " << line << "\n";
    }
  }
  if (json)
    out << DumpJson(nlohmann::json{{"part", doc.GetSettings().partName}, {"warnings", list}})
        << "\n";
  return count;
}

CliParse ParseCliArguments(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return ParseSubcommands(arguments);
  const std::string& first = arguments.front();
  if (IsSubcommand(first) || first == "--help" || first == "-h" || first == "--version")
    return ParseSubcommands(arguments);
  // The desktop program's command line has switches; a first word that is no path and no
  // switch among the arguments means a mistyped subcommand.
  const bool anySwitch = std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) {
    return !a.empty() &&
           (a.front() == '-' || (a.front() == '/' && a.find('/', 1) == std::string::npos &&
                                 !std::filesystem::exists(a)));
  });
  if (!anySwitch && LooksLikeMistypedCommand(first)) {
    CliParse parse;
    parse.ok = false;
    parse.exitCode = kExitUsage;
    parse.text = "tarq-cli: unknown command '" + first + "'; the commands are " + SubcommandList() +
                 " (tarq-cli --help tells more)\n";
    return parse;
  }
  return ParseDesktopStyle(arguments);
}

int RunCliRequest(const CliRequest& request, const CliEnvironment& environment, std::ostream& out,
                  std::ostream& err) {
  if (request.command == CliRequest::Command::Parts) return RunParts(out);
  if (request.command == CliRequest::Command::Help) return kExitUsage;
  if (request.command == CliRequest::Command::Diff) {
    if (request.textconv) return RunFieldListing(request.path, environment.programFolder, out, err);
    return RunProjectDiff(
        {request.path, request.otherPath, request.json, environment.programFolder}, out, err);
  }

  BatchHost fallbackHost;
  Host& host = environment.host != nullptr ? *environment.host : fallbackHost;
  DocumentEnvironment documentEnvironment;
  documentEnvironment.programFolder = environment.programFolder;
  documentEnvironment.reprocess = request.command == CliRequest::Command::Reprocess;
  // Only a command that saves takes the lock; the others read, as an import does, and work
  // while the desktop program has the project open.
  documentEnvironment.takeLock =
      (request.command == CliRequest::Command::Reprocess && !request.dryRun) ||
      ((request.command == CliRequest::Command::Set ||
        request.command == CliRequest::Command::Follow ||
        request.command == CliRequest::Command::Serve ||
        request.command == CliRequest::Command::Import) &&
       request.save);
  EnablePlugins(documentEnvironment);
  auto document = std::make_unique<CProjDoc>(host, documentEnvironment, RegisterBuiltInModuleKinds);
  CProjDoc& doc = *document;
  doc.SetIdleReached(true);
  if (!doc.OpenProject(request.path)) {
    // The reason has been shown through the host.
    err << "tarq-cli: cannot open project '" << request.path << "'\n";
    return kExitUsage;
  }
  int code = kExitUsage;
  switch (request.command) {
    case CliRequest::Command::Info:
      code = RunInfo(doc, request.json, out);
      break;
    case CliRequest::Command::Check:
      code = RunCheck(doc, request.all, request.json, out);
      break;
    case CliRequest::Command::Reprocess:
      code = request.dryRun ? RunReprocessDryRun(doc, out, err) : RunReprocess(doc, err);
      break;
    case CliRequest::Command::SelfTest:
    case CliRequest::Command::Show:
    case CliRequest::Command::Set:
    case CliRequest::Command::Follow:
    case CliRequest::Command::Find:
      code = RunPageCommand(request, doc, out, err);
      break;
    case CliRequest::Command::Serve:
      code = ServeAutomation(doc, {request.socket, request.page, request.save}, out, err);
      break;
    case CliRequest::Command::Import:
      code = RunImportCommand(request, doc, environment.programFolder, out, err);
      break;
    case CliRequest::Command::Doc:
      code = RunDocCommand(request, doc, out, err);
      break;
    default:
      break;
  }
  if (environment.leaveDocumentAtExit) {
    // The process ends now: the lock goes, the memory is the system's to take back, which
    // is much faster than taking a large project apart piece by piece.
    doc.PrepareForExit();
    (void)document.release();
  }
  return code;
}

std::string ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

}  // namespace tarq

// Opening help documents: which reader command opens a PDF at a page or a named destination,
// built as an argument list (never a shell line), and starting it.
#pragma once

#include <optional>

#include "framework/ModuleBase.h"
#include <string>
#include <vector>

namespace tarq {

// The reader commands of [Options] in the settings file. In each, %f is the document, %p the
// page (from 1), %d the named destination and %% a percent sign. A word in double quotes
// stays one word; placeholders are replaced inside the words, so a path holding blanks,
// quotes or shell characters is always one argument.
struct ReaderCommands {
  std::string opener;         // "Opener": the document only
  std::string pdfReaderPage;  // "PdfReaderPage"
  std::string pdfReaderDest;  // "PdfReaderDest"
};

// Keys of the commands in [Options].
inline constexpr const char* kOpenerKey = "Opener";
inline constexpr const char* kPdfReaderPageKey = "PdfReaderPage";
inline constexpr const char* kPdfReaderDestKey = "PdfReaderDest";
inline constexpr const char* kDefaultOpener = "xdg-open %f";

// The defaults: the system opener, and Evince's page and destination switches when Evince
// is installed (else the opener, which shows the document's start).
ReaderCommands DefaultReaderCommands();
// The commands of the settings file at `optionsPath`; a key it lacks (or leaves empty)
// takes its default.
ReaderCommands LoadReaderCommands(const std::string& optionsPath);

// Where a destination text points: a page when it starts with a digit, else a name.
struct DocumentPlace {
  std::optional<long> page;         // as read; pages below 1 open the document only
  std::optional<std::string> name;  // named destination
};
DocumentPlace ParseDestination(const std::string& destination);

// The argument list that opens `file` at `destination` (empty: the document only).
std::vector<std::string> ReaderCommandFor(const ReaderCommands& commands, const std::string& file,
                                          const std::string& destination);
// A command template split into words, placeholders replaced; the file is appended when the
// template does not name it.
std::vector<std::string> ExpandCommand(const std::string& commandTemplate, const std::string& file,
                                       const std::string& page, const std::string& name);

// The help of a plugin module: its help file "DOCUMENT#PAGE" relative to the folder of its
// description file. A PDF opens at the page (a page that does not read as a number opens the
// document), another existing file or a folder opens with the system's opener, and a missing
// one falls back to `moduleHelp`, the module's own reference. Plugin modules answer
// GetHelpTarget with it.
CModuleBase::HelpTarget PluginHelpTarget(const std::string& helpFile, const std::string& folder,
                                         const CModuleBase::HelpTarget& moduleHelp);

// Starts the program of arguments[0] (looked up in PATH) with the rest as its arguments, in a
// session of its own, without waiting. False with `error` filled when it could not start.
bool StartDetached(const std::vector<std::string>& arguments, std::string& error);

// Whether a program name is found in PATH (or, with a '/', exists and is executable).
bool IsProgramInstalled(const std::string& program);

}  // namespace tarq

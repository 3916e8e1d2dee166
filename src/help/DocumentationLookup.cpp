#include "help/DocumentationLookup.h"

#include <spawn.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/TextUtil.h"

extern char** environ;

namespace tarq {

namespace {

constexpr const char* kEvincePage = "evince --page-index=%p %f";
constexpr const char* kEvinceDest = "evince --named-dest=%d %f";

// The value of `key` in [Options]; nullopt when the file or key is missing.
std::optional<std::string> ReadOptionText(const std::string& path, const std::string& key) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string line;
  bool inOptions = false;
  std::optional<std::string> found;
  while (std::getline(file, line)) {
    const std::string trimmed = Trim(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      inOptions = trimmed == "[Options]";
      continue;
    }
    const size_t equals = trimmed.find('=');
    if (!inOptions || equals == std::string::npos || Trim(trimmed.substr(0, equals)) != key)
      continue;
    // As the desktop program's settings store text: double quotes group (and are dropped),
    // a backslash takes the next character as it is (\" a quote, \\ a backslash).
    const std::string raw = Trim(trimmed.substr(equals + 1));
    std::string value;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '"') continue;
      if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
      value += raw[i];
    }
    found = value;
  }
  return found;
}

// Words of a command template: blanks separate them, double quotes group them.
std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

bool IsProgramInstalled(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) folder = ".";
    if (::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

ReaderCommands DefaultReaderCommands() {
  const bool evince = IsProgramInstalled("evince");
  return {kDefaultOpener, evince ? kEvincePage : kDefaultOpener,
          evince ? kEvinceDest : kDefaultOpener};
}

ReaderCommands LoadReaderCommands(const std::string& optionsPath) {
  ReaderCommands commands = DefaultReaderCommands();
  const auto take = [&](const char* key, std::string& field) {
    const std::optional<std::string> text = ReadOptionText(optionsPath, key);
    if (text && !Trim(*text).empty()) field = *text;
  };
  take(kOpenerKey, commands.opener);
  take(kPdfReaderPageKey, commands.pdfReaderPage);
  take(kPdfReaderDestKey, commands.pdfReaderDest);
  // A reader switched off by an empty key falls back to the opener, as a missing one does.
  return commands;
}

DocumentPlace ParseDestination(const std::string& destination) {
  DocumentPlace place;
  if (destination.empty()) return place;
  if (destination.front() >= '0' && destination.front() <= '9') {
    long page = 0;
    for (char c : destination) {
      if (c < '0' || c > '9') break;
      page = page * 10 + (c - '0');
      if (page > 1000000) break;  // no document has that many pages
    }
    place.page = page;
  } else {
    place.name = destination;
  }
  return place;
}

std::vector<std::string> ExpandCommand(const std::string& commandTemplate, const std::string& file,
                                       const std::string& page, const std::string& name) {
  std::vector<std::string> arguments;
  bool namesFile = false;
  for (const std::string& word : SplitWords(commandTemplate)) {
    std::string argument;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 == word.size()) {
        argument += word[i];
        continue;
      }
      const char key = word[++i];
      if (key == 'f') {
        argument += file;
        namesFile = true;
      } else if (key == 'p') {
        argument += page;
      } else if (key == 'd') {
        argument += name;
      } else if (key == '%') {
        argument += '%';
      } else {
        argument += '%';
        argument += key;
      }
    }
    arguments.push_back(argument);
  }
  if (!arguments.empty() && !namesFile) arguments.push_back(file);
  return arguments;
}

std::vector<std::string> ReaderCommandFor(const ReaderCommands& commands, const std::string& file,
                                          const std::string& destination) {
  const DocumentPlace place = ParseDestination(destination);
  if (place.page && *place.page >= 1)
    return ExpandCommand(commands.pdfReaderPage, file, std::to_string(*place.page), {});
  if (place.name) return ExpandCommand(commands.pdfReaderDest, file, {}, *place.name);
  return ExpandCommand(commands.opener, file, {}, {});
}

CModuleBase::HelpTarget PluginHelpTarget(const std::string& helpFile, const std::string& folder,
                                         const CModuleBase::HelpTarget& moduleHelp) {
  namespace fs = std::filesystem;
  const size_t hash = helpFile.find('#');
  const std::string document = Trim(std::string_view(helpFile).substr(0, hash));
  if (document.empty()) return moduleHelp;
  const fs::path path = fs::path(folder) / document;
  std::error_code error;
  if (!fs::exists(path, error)) return moduleHelp;
  CModuleBase::HelpTarget target;
  target.file = path.string();
  target.exists = true;
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != ".pdf" || !fs::is_regular_file(path, error)) {
    target.systemOpen = true;
    return target;
  }
  // Only a whole number is a page; anything else opens the document at its start.
  const std::string page = hash == std::string::npos ? "" : Trim(helpFile.substr(hash + 1));
  const bool number = !page.empty() && page.find_first_not_of("0123456789") == std::string::npos;
  if (number) target.destination = page;
  return target;
}

bool StartDetached(const std::vector<std::string>& arguments, std::string& error) {
  if (arguments.empty() || arguments.front().empty()) {
    error = "no reader command";
    return false;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A session of its own: the reader stays when the terminal or the program goes.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  const int result = posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (result != 0) {
    error = arguments.front() + ": " + std::strerror(result);
    return false;
  }
  return true;
}

}  // namespace tarq

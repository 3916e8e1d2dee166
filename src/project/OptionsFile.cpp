#include "project/OptionsFile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "framework/TextUtil.h"

namespace tarq {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOptionsSection = "Options";

struct OptionKey {
  const char* name;
  bool Options::*field;
};

constexpr OptionKey kOptionKeys[] = {
    {"GenerateComments", &Options::generateComments},
    {"GenerateDefaults", &Options::generateDefaults},
    {"KeepUserComments", &Options::keepUserComments},
};

// "[Name]" gives Name; false for any other line.
bool SectionOf(std::string_view line, std::string& section) {
  const std::string_view trimmed = TrimView(line);
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return false;
  section = std::string(trimmed.substr(1, trimmed.size() - 2));
  return true;
}

// "Key=Value" with blanks around either part; comment lines have no key.
bool KeyValueOf(std::string_view line, std::string& key, std::string& value) {
  const std::string_view trimmed = TrimView(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return false;
  const size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return false;
  key = Trim(trimmed.substr(0, equals));
  value = Trim(trimmed.substr(equals + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return !key.empty();
}

// Integers as the desktop program stores them, and the words a boolean may be stored as.
bool ReadOptionValue(const std::string& text, bool& value) {
  if (EqualsNoCase(text, "true")) {
    value = true;
    return true;
  }
  if (EqualsNoCase(text, "false")) {
    value = false;
    return true;
  }
  uint32_t number = 0;
  if (!ReadCIntegerExact(text, number)) return false;
  value = number != 0;
  return true;
}

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  std::istringstream stream(content);
  std::string line;
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  content = buffer.str();
  return true;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return ".";
}

}  // namespace

std::string OptionsFilePath() {
  // XDG only counts absolute folders; a relative one would depend on the working folder.
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const fs::path base = configHome && configHome[0] == '/' ? fs::path(configHome)
                                                           : fs::path(HomeFolder()) / ".config";
  return (base / "Velmor" / "Tarq Corvex.conf").string();
}

Options LoadOptions(const std::string& path) {
  Options options;
  std::string content;
  if (!ReadWholeFile(path, content)) return options;
  std::string section;
  for (const std::string& line : SplitLines(content)) {
    if (SectionOf(line, section)) continue;
    std::string key;
    std::string value;
    if (section != kOptionsSection || !KeyValueOf(line, key, value)) continue;
    for (const OptionKey& option : kOptionKeys) {
      bool flag = false;
      if (key == option.name && ReadOptionValue(value, flag)) options.*option.field = flag;
    }
  }
  return options;
}

bool StoreOptions(const std::string& path, const Options& options) {
  std::string content;
  std::vector<std::string> lines;
  if (ReadWholeFile(path, content)) lines = SplitLines(content);

  // Replace the keys inside [Options]; keys it lacks go at the end of that section.
  bool written[std::size(kOptionKeys)] = {};
  std::vector<std::string> result;
  std::string section;
  bool inOptions = false;
  bool sawOptions = false;
  auto appendMissing = [&]() {
    // Blank lines that end the section stay after the added keys.
    size_t blanks = 0;
    while (blanks < result.size() && Trim(result[result.size() - 1 - blanks]).empty()) ++blanks;
    std::vector<std::string> tail(result.end() - static_cast<long>(blanks), result.end());
    result.resize(result.size() - blanks);
    for (size_t i = 0; i < std::size(kOptionKeys); ++i) {
      if (written[i]) continue;
      result.push_back(std::string(kOptionKeys[i].name) + "=" +
                       (options.*kOptionKeys[i].field ? "1" : "0"));
      written[i] = true;
    }
    result.insert(result.end(), tail.begin(), tail.end());
  };
  for (const std::string& line : lines) {
    if (SectionOf(line, section)) {
      if (inOptions) appendMissing();
      inOptions = section == kOptionsSection;
      sawOptions = sawOptions || inOptions;
      result.push_back(line);
      continue;
    }
    std::string key;
    std::string value;
    if (inOptions && KeyValueOf(line, key, value)) {
      bool replaced = false;
      for (size_t i = 0; i < std::size(kOptionKeys); ++i) {
        if (key != kOptionKeys[i].name) continue;
        // A repeated key would contradict the value just written, so it is dropped.
        if (!written[i]) result.push_back(key + "=" + (options.*kOptionKeys[i].field ? "1" : "0"));
        written[i] = true;
        replaced = true;
      }
      if (replaced) continue;
    }
    result.push_back(line);
  }
  if (!sawOptions) {
    if (!result.empty() && !Trim(result.back()).empty()) result.push_back("");
    result.push_back(std::string("[") + kOptionsSection + "]");
    inOptions = true;
  }
  if (inOptions) appendMissing();

  std::string text;
  for (const std::string& line : result) text += line + "\n";

  // Written beside the file and renamed over it, so a failed write never loses the old one.
  std::error_code error;
  const fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fclose(file) == 0 && ok;
  if (ok) fs::rename(temporary, target, error);
  if (!ok || error) {
    fs::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace tarq

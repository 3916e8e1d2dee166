#include "plugins/PluginFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/ModuleBase.h"
#include "framework/Register.h"
#include "framework/TextUtil.h"
#include "plugins/Regex.h"

namespace tarq {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPluginsSection = "tarq_plugins";

struct FlagWord {
  const char* word;
  uint32_t value;
};

// The words of a register list's flag field. A float is held as text.
constexpr FlagWord kFlagWords[] = {
    {"DW8", DW8},
    {"DW16", DW16},
    {"DW32", DW32},
    {"NODEFAULT", NODEFAULT},
    {"NONCRITICAL", NONCRITICAL},
    {"NOVALUE", NOVALUE},
    {"STRVALUE", STRVALUE},
    {"QUOTEDVALUE", QUOTEDVALUE},
    {"DECVALUE", DECVALUE},
    {"SIGNEDVALUE", SIGNEDVALUE},
    {"DUMMYREG", DUMMYREG},
    {"NOSHOWLIST", NOSHOWLIST},
    {"NOIMPORT", NOIMPORT},
    {"INTERNAL", INTERNAL},
    {"NOEDITLIST", NOEDITLIST},
    {"FLOATVALUE", FLOATVALUE | STRVALUE},
};

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

// The part after the last backslash.
std::string LastPathPart(const std::string& path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WithExtension(const std::string& path, const std::string& extension) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + extension;
  return path.substr(0, dot) + extension;
}

}  // namespace

const std::string& IniSection::Value(const std::string& key) const {
  for (const auto& [entryKey, value] : entries)
    if (entryKey == key) return value;
  return EmptyText();
}

std::vector<IniSection> ParseIniText(const std::string& text) {
  static const Regex sectionHead(R"(^\s*\[([^\]\n]+)]\s*$)");
  static const Regex entry(R"(^\s*(\S+?)\s*=\s*(.*?)\s*$)");
  std::vector<IniSection> sections;
  std::vector<std::string> groups;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    if (sectionHead.Search(line, &groups)) {
      sections.push_back({groups[1], {}});
    } else if (!sections.empty() && entry.Search(line, &groups)) {
      sections.back().entries.emplace_back(groups[1], groups[2]);
    }
    start = end + 1;
  }
  return sections;
}

// ---- register lists ----

uint32_t CPluginRegs::ParseFlags(const std::string& words) {
  uint32_t flags = 0;
  size_t start = 0;
  while (start <= words.size()) {
    size_t end = words.find('|', start);
    if (end == std::string::npos) end = words.size();
    const std::string word = Trim(std::string_view(words).substr(start, end - start));
    for (const FlagWord& known : kFlagWords)
      if (word == known.word) flags |= known.value;
    start = end + 1;
  }
  return flags;
}

CPluginRegs::Row CPluginRegs::ParseRow(const std::string& name, const std::string& value) {
  Row row;
  row.name = name;
  const size_t semicolon = value.find(';');
  const std::string defaultText = value.substr(0, semicolon);
  if (semicolon != std::string::npos) row.flags = ParseFlags(value.substr(semicolon + 1));
  // A register without a width word is 32 bits wide.
  if ((row.flags & (DW8 | DW16 | DW32)) == 0) row.flags |= DW32;
  if (row.flags & STRVALUE) {
    row.defaultText = defaultText;  // kept whole, however long
  } else if (!ReadCIntegerExact(defaultText, row.defaultValue)) {
    row.defaultValue = 0;
  }
  return row;
}

CPluginRegs CPluginRegs::FromSection(const IniSection& section) {
  CPluginRegs list;
  for (const auto& [name, value] : section.entries) {
    Row row = ParseRow(name, value);
    if (row.flags & STRVALUE) list.defaultTexts_[row.name] = row.defaultText;
    list.rows_.push_back(std::move(row));
  }
  return list;
}

const std::string* CPluginRegs::DefaultText(const std::string& name) const {
  auto found = defaultTexts_.find(name);
  return found != defaultTexts_.end() ? &found->second : nullptr;
}

// ---- plugin entries ----

std::string CPluginInfo::Folder() const {
  if (filePath.empty()) return {};
  return fs::path(filePath).parent_path().string();
}

std::string CPluginInfo::PageAddress() const {
  if (filePath.empty()) return "about:blank";
  std::string path = (fs::path(Folder()) / ReplaceAll(mainDoc, "\\", "/")).string();
  return "file://" + ReplaceAll(path, "\\", "/");
}

// ---- description files ----

const IniSection* CPluginFile::FindSection(const std::string& name) const {
  for (const IniSection& section : sections_)
    if (section.name == name) return &section;
  return nullptr;
}

CPluginInfo CPluginFile::MakeInfo(const std::string& sectionName) {
  const IniSection& section = *FindSection(sectionName);
  CPluginInfo info;
  info.filePath = path_;
  info.id = sectionName.empty() ? "UNKNOWN" : sectionName;
  const std::string& registers = section.Value("registers");
  info.className = section.Value("class");
  if (info.className.empty()) info.className = registers.empty() ? info.id : registers;
  info.treePath = section.Value("treepath");
  info.displayName = section.Value("name");
  // A tree path ending in a backslash names no node: the plugin's own name stands.
  if (info.displayName.empty()) info.displayName = LastPathPart(info.treePath);
  if (info.displayName.empty()) info.displayName = info.id + " Plugin";
  if (info.treePath.empty()) info.treePath = info.displayName;
  info.mainDoc = section.Value("maindoc");
  info.helpFile = section.Value("helpfile");
  if (info.helpFile.empty() && !info.mainDoc.empty())
    info.helpFile = WithExtension(info.mainDoc, ".pdf");
  info.earlyLoad = CModuleBase::IsTrueText(section.Value("earlyload"));
  info.externalApp = CModuleBase::IsTrueText(section.Value("externalapp"));
  info.deviceFilter = section.Value("devicefilter");
  info.headerFile = section.Value("headerfile");
  if (!registers.empty()) {
    auto& list = registerLists_[registers];
    if (!list) {
      const IniSection* listSection = FindSection(registers);
      list = std::make_shared<const CPluginRegs>(
          listSection ? CPluginRegs::FromSection(*listSection) : CPluginRegs());
    }
    info.registers = list;
  }
  return info;
}

bool CPluginFile::Parse(const std::string& path, const std::string& text) {
  path_ = path;
  sections_ = ParseIniText(text);
  plugins_.clear();
  registerLists_.clear();
  const IniSection* plugins = FindSection(kPluginsSection);
  if (plugins == nullptr) return false;
  // Copied: MakeInfo may not keep pointers into the sections while they are read.
  std::vector<std::string> names;
  for (int n = 1;; ++n) {
    const std::string& name = plugins->Value("plugin" + std::to_string(n));
    if (name.empty()) break;
    names.push_back(name);
  }
  for (const std::string& name : names)
    if (FindSection(name) != nullptr) plugins_.push_back(MakeInfo(name));
  return !plugins_.empty();
}

bool CPluginFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return false;
  return Parse(path, text.str());
}

}  // namespace tarq

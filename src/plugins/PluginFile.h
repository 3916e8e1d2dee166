// Plugin description files: an ini-form text naming plugin entries, each with a register
// list, a page document, a place in the module tree and optionally a header of its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarq {

// One section of an ini text: its entries in file order.
struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;
  // The value of the first entry with this key, or an empty text.
  const std::string& Value(const std::string& key) const;
};

// The sections of an ini text in file order. Lines that are neither a section head nor an
// entry are ignored; entries above the first head belong to no section and are dropped.
std::vector<IniSection> ParseIniText(const std::string& text);

// A register list: one row per register, in file order.
class CPluginRegs {
 public:
  struct Row {
    std::string name;
    uint32_t defaultValue = 0;
    uint32_t flags = 0;
    std::string defaultText;  // string registers only
  };

  static CPluginRegs FromSection(const IniSection& section);
  // "DEFAULT;FLAG|FLAG..." as one row of a register list.
  static Row ParseRow(const std::string& name, const std::string& value);
  // The flag words joined by '|', combined; unknown words add nothing.
  static uint32_t ParseFlags(const std::string& words);

  size_t GetCount() const { return rows_.size(); }
  const std::vector<Row>& Rows() const { return rows_; }
  // Default text of a string register by name; null for other names.
  const std::string* DefaultText(const std::string& name) const;

 private:
  std::vector<Row> rows_;
  std::map<std::string, std::string> defaultTexts_;
};

// One plugin entry of a description file.
struct CPluginInfo {
  std::string filePath;  // the description file; empty for a dynamic plugin
  std::string id;        // the section name
  std::string className;
  std::string displayName;
  std::string helpFile;
  std::string treePath;
  std::string mainDoc;
  std::shared_ptr<const CPluginRegs> registers;  // shared by the entries naming one list
  bool earlyLoad = false;
  bool externalApp = false;
  std::string deviceFilter;
  std::string headerFile;

  // Folder of the description file; empty for a dynamic plugin.
  std::string Folder() const;
  // "file://" and the main document's path, or "about:blank" without a description file.
  std::string PageAddress() const;
};

class CPluginFile {
 public:
  // Parses a description file's text. False when there is no "tarq_plugins" section or it
  // names no plugin.
  bool Parse(const std::string& path, const std::string& text);
  // Reads and parses the file; false as for Parse, or when it cannot be read.
  bool Load(const std::string& path);

  const std::string& GetPath() const { return path_; }
  const std::vector<CPluginInfo>& Plugins() const { return plugins_; }
  const IniSection* FindSection(const std::string& name) const;

 private:
  CPluginInfo MakeInfo(const std::string& sectionName);

  std::string path_;
  std::vector<IniSection> sections_;
  std::vector<CPluginInfo> plugins_;
  std::map<std::string, std::shared_ptr<const CPluginRegs>> registerLists_;
};

}  // namespace tarq

// One parsed configuration header: preamble and trailer kept verbatim, the #define lines
// before the end marker, and the hidden parameter blocks found in comments.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarq {

class Host;

struct Definition {
  std::string name;
  std::string value;    // rest of the line without comments, may be empty
  std::string comment;  // comment text without its surrounding blanks
  bool used = false;    // taken by a module, the document settings or the part decision
  size_t order = 0;     // position in the file (of the definition that won), for writing back
};

using ParameterBlock = std::map<std::string, std::string>;

class HeaderFile {
 public:
  // `isMainHeader` switches on the older-name alias lookup of FindDefinition.
  explicit HeaderFile(bool isMainHeader = false);
  ~HeaderFile();
  HeaderFile(const HeaderFile&) = delete;
  HeaderFile& operator=(const HeaderFile&) = delete;

  // Reads and parses the file. False when it cannot be opened or read; with `host` the
  // failure is reported as a message.
  bool Read(const std::string& path, Host* reportErrors);
  // Parses header text as if read from `path` (the path only names the include guard).
  void Parse(std::string_view content);

  // Exact lookup; on the main header an unknown name is retried under its alias.
  Definition* FindDefinition(const std::string& name);
  const std::string* FindParameter(const std::string& module, const std::string& key) const;
  void Clear();

  bool IsMainHeader() const { return isMainHeader_; }

  std::string path;
  std::string preamble;  // trimmed at both ends
  std::string trailer;   // trimmed at both ends, then one line break appended
  std::string guardName;
  std::map<std::string, Definition> definitions;
  // The definitions as the file gave them, a redefined name at each of its places; the
  // place whose index is the definition's `order` is the one that won. Filled by Parse;
  // whoever takes definitions out of the map clears it (Clear does).
  std::vector<const Definition*> fileOrder;
  std::map<std::string, ParameterBlock> parameterBlocks;
  // Lines of the generated section that are not definitions (#if, #include, code, comments
  // that belong to no definition), in file order, without their line breaks. In a header
  // Tarq did not write, the section runs from the first to the last definition.
  std::vector<std::string> skippedLines;
  // The file's line breaks are "\r\n": generated lines are written the same way.
  bool crlf = false;

 private:
  struct Patterns;
  // Takes the first parameter block found in one comment's text.
  void ScanComment(std::string_view text);

  bool isMainHeader_;
  std::unique_ptr<Patterns> patterns_;  // the two regular expressions, compiled once
};

// Older-generation define names and their current names, entered in both directions.
const std::unordered_map<std::string, std::string>& DefinitionAliases();
// Number of name pairs in the alias table.
int DefinitionAliasPairCount();

// Guard name made from a file name: "__" + name in capitals with '.' replaced by '_'.
std::string GuardNameFromFileName(std::string_view fileName);

}  // namespace tarq

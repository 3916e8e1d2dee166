// Reader of the architecture files ("<part>.cfg" in the program folder): the module tree
// list and the module information blocks.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarq {

// One module line of the architecture file.
struct ArchitectureEntry {
  std::string name;           // instance name and define prefix, e.g. SCI_0
  std::string kind;           // module factory key, e.g. SCI
  std::string linkedModule;   // another module's name or "NONE"
  std::string interrupts;     // part after the first ':' lists vector numbers
  std::string labelSuffix;    // shown after " - " in the tree
  std::string helpReference;  // "document#destination"
  std::string displayName;    // from the two-part "!display!suffix" form of the label
};

struct ArchitectureNode {
  ArchitectureEntry entry;
  std::vector<ArchitectureNode> children;  // entries of a nested "{ ... }" list
};

struct ArchitectureFile {
  std::vector<ArchitectureNode> tree;  // top-level entries in file order
  // Module information: (module name, block text) in file order.
  std::vector<std::pair<std::string, std::string>> moduleInfo;
};

// Parses architecture-file text. False with `error` set when the tree list is invalid
// (an entry line without kind, linked module and interrupt list, unbalanced braces).
bool ParseArchitectureText(std::string_view text, ArchitectureFile& file, std::string& error);

}  // namespace tarq

// Reader of the architecture files ("<part>.cfg" in the program folder): the module tree
// list and the module information blocks.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/ModuleBase.h"

namespace tarq {

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

// Parsing of the program's command line.
#pragma once

#include <string>
#include <vector>

namespace tarq {

struct CommandLineInfo {
  std::string fileName;  // first plain argument: project folder or header path
  bool runEmbedded = false;
  bool runAutomated = false;
  bool selfTest = false;
  bool reprocess = false;
};

// "-x", "--x" and, for the known switch words, "/x" are switches, compared without regard
// to case; any other argument is a path. Unknown switches have no effect. `arguments` are
// those after the program name.
CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tarq

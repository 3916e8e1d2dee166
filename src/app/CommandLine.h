// Parsing of the program's command line and the per-user options file.
#pragma once

#include <string>
#include <vector>

#include "project/Settings.h"

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

// The per-user settings file shared with the desktop program:
// $XDG_CONFIG_HOME/Velmor/Tarq Corvex.conf (default ~/.config), section [Options].
std::string OptionsFilePath();
// Sets the defaults, then overwrites each value the file holds (0 or 1).
Options LoadOptions(const std::string& path);
// Writes the three values, keeping every other line of the file.
bool StoreOptions(const std::string& path, const Options& options);

}  // namespace tarq

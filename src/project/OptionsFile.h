// The per-user options file shared by the desktop program and the CLI:
// $XDG_CONFIG_HOME/Velmor/Tarq Corvex.conf (default ~/.config), section [Options].
#pragma once

#include <string>

#include "project/Settings.h"

namespace tarq {

std::string OptionsFilePath();
// Sets the defaults, then overwrites each value the file holds (0 or 1).
Options LoadOptions(const std::string& path);
// Writes the three values, keeping every other line of the file.
bool StoreOptions(const std::string& path, const Options& options);

}  // namespace tarq

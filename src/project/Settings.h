// Per-user options and per-project settings.
#pragma once

#include <array>
#include <string>

namespace tarq {

// The three per-user options; GenerateDefaults also travels with the project.
struct Options {
  bool generateComments = true;   // "GenerateComments"
  bool generateDefaults = false;  // "GenerateDefaults"
  bool keepUserComments = false;  // "KeepUserComments"
  bool operator==(const Options&) const = default;
};

// Settings the document takes from the main header's APPCFG_ definitions.
struct ProjectSettings {
  int partRow = -1;        // index into KnownParts(), -1 when no part was found
  std::string partName;    // alias or name of the row, without "APPCFG_"
  std::string maskNumber;  // "APPCFG_MASKNUM"
  std::string partNumber;  // "APPCFG_PARTNUM"
  std::string package;     // "APPCFG_PACKAGE"
  float extClkMHz = 0;     // "APPCFG_EXTCLK" / "EXTCLK"
  float extalMHz = 0;      // "APPCFG_EXTAL" / "EXTAL"
  std::string extClkText;  // the value as read, so a read value is written back unchanged
  std::string extalText;
  bool prefixedNames = true;  // false when the un-prefixed EXTCLK/EXTAL were read
  bool briefView = false;     // "APPCFG_BRIEFVIEW"
  bool operator==(const ProjectSettings&) const = default;
};

}  // namespace tarq

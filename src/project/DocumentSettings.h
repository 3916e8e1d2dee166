// Takes the document's own APPCFG_ settings and the part from a freshly read main header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/Settings.h"

namespace tarq {

class HeaderFile;

// Empties the settings, then reads the part, mask number, part number, package, clocks,
// GenerateDefaults and brief view; every definition taken is marked used. Clock lines
// whose value is no plain number go to `invalidLines` ("#define NAME VALUE").
void ReadDocumentSettings(HeaderFile& header, ProjectSettings& settings, Options& options,
                          std::vector<std::string>* invalidLines = nullptr);

// CVX-36 is the older name of CVX-08: switches such settings to the CVX-08 row. True when
// the part was replaced.
bool ReplaceOlderPartName(ProjectSettings& settings);

// Reads a clock setting's value as whole hertz: decimal ("8000000L"), or hexadecimal with
// "0x". False when the text is not such a plain number.
bool ReadClockHertz(std::string_view text, long long& hertz);
// The same as 32 bits: digits, optionally the C integer suffixes, nothing else.
bool ReadPlainHertz(std::string_view text, uint32_t& hertz);

}  // namespace tarq

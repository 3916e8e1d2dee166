// Takes the document's own APPCFG_ settings and the part from a freshly read main header.
#pragma once

#include "project/Settings.h"

namespace tarq {

class HeaderFile;

// Empties the settings, then reads the part, mask number, part number, package, clocks,
// GenerateDefaults and brief view; every definition taken is marked used.
void ReadDocumentSettings(HeaderFile& header, ProjectSettings& settings, Options& options);

}  // namespace tarq

// Writes one header file: preamble, banner, settings lines (main header only), the module
// text, the end marker and the trailer, after backing up the previous file.
#pragma once

#include <ctime>
#include <string>

#include "project/Settings.h"

namespace tarq {

class HeaderFile;
class Host;

struct HeaderWriteContext {
  const ProjectSettings* settings = nullptr;  // needed for the main header
  const Options* options = nullptr;
  Host* host = nullptr;
  std::time_t now = 0;  // banner time; 0 means the current time
};

// The complete text of a header as it is written (without touching any file).
std::string BuildHeaderText(const HeaderFile& header, const std::string& moduleText, bool isMain,
                            const HeaderWriteContext& context);

// Backs up and writes the header at `targetPath`; true on success. Every failure is
// reported through the context's host with its message.
bool WriteHeaderFile(const HeaderFile& header, const std::string& targetPath,
                     const std::string& moduleText, bool isMain, const HeaderWriteContext& context);

// "0x%02x%02x%02x%02xL" from a "%d.%d.%d.%d" version text, each part capped at 255.
std::string VersionDefineValue(const std::string& versionText);
// The backup path: the same path with the extension ".bak".
std::string BackupPathOf(const std::string& headerPath);

}  // namespace tarq

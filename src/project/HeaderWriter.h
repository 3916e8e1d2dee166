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
  std::time_t now = 0;  // banner time; 0 means the current time (or SOURCE_DATE_EPOCH)
  std::string* failureReason = nullptr;  // receives why a write failed
};

// The complete text of a header as it is written (without touching any file).
std::string BuildHeaderText(const HeaderFile& header, const std::string& moduleText, bool isMain,
                            const HeaderWriteContext& context);

// Writes the header at `targetPath` through a file beside it that is renamed over it, after
// the old file became the backup; true on success. On any failure the header and its backup
// stay as they were; the failure is reported through the context's host with its message,
// which names the file and the system's reason.
bool WriteHeaderFile(const HeaderFile& header, const std::string& targetPath,
                     const std::string& moduleText, bool isMain, const HeaderWriteContext& context);

// "0x%02x%02x%02x%02xL" from a "%d.%d.%d.%d" version text, each part capped at 255.
std::string VersionDefineValue(const std::string& versionText);
// The backup path: the same path with the extension ".bak".
std::string BackupPathOf(const std::string& headerPath);

}  // namespace tarq

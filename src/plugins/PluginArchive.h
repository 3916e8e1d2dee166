// Plugin archives: ZIP files whose members are extracted into a private folder before the
// plugins in them are loaded. An archive is refused whole when any member could land
// outside that folder or when it expands beyond the size budget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarq {

// Total bytes that the archives of one plugin folder (nested ones included) may expand to.
inline constexpr uint64_t kArchiveSizeBudget = 256ull * 1024 * 1024;
// Members per archive: each one makes a file.
inline constexpr uint64_t kArchiveMemberLimit = 20000;

// Makes a fresh folder only this user may enter, "Tarq" and a unique ending, below
// $TMPDIR (or /tmp). Empty with `error` filled when none could be made.
std::string MakePrivateFolder(std::string& error);

// Extracts every member below `folder` (which exists and is empty), keeping the members'
// relative paths. `budget` is the number of bytes still allowed and is reduced by what is
// written. False with `error` filled when the archive cannot be read or is refused; the
// folder is then left empty.
bool ExtractArchive(const std::string& zipPath, const std::string& folder, uint64_t& budget,
                    std::string& error);

// The member name as a path relative to the extraction folder ('/' separators, no empty or
// "." parts, a trailing '/' for a folder). False when the name is empty, absolute, has a
// drive letter or a ".." part; backslashes count as separators.
bool SafeMemberPath(const std::string& name, std::string& relative);

}  // namespace tarq

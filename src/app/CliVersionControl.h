// The commands for projects kept under version control: what a save would change, and what
// differs between two revisions of a project.
#pragma once

#include <iosfwd>
#include <string>

namespace tarq {

class CProjDocBase;

// Prints the unified diff between each header on disk and what a save would write (the
// banner's date aside); writes nothing. 0 when a save changes nothing, 1 when it changes
// something or would fail.
int RunReprocessDryRun(CProjDocBase& doc, std::ostream& out, std::ostream& err);

}  // namespace tarq

namespace tarq {

// Compares two projects (folders or headers) at the level of the program's pages: settings
// lines, modules present in one only, registers whose value differs with each bound field
// (caption and item texts on both sides), and user definitions. Banner and comment layout
// do not count. 0 when equal, 1 when different, 2 when either cannot be opened.
struct ProjectDiffRequest {
  std::string pathA;
  std::string pathB;
  bool json = false;
  std::string programFolder;
};
int RunProjectDiff(const ProjectDiffRequest& request, std::ostream& out, std::ostream& err);

// One project's field listing, one line per setting, register, field and user definition:
// what `git diff` compares through a text conversion driver. 0, or 2 when it cannot be opened.
int RunFieldListing(const std::string& path, const std::string& programFolder, std::ostream& out,
                    std::ostream& err);

}  // namespace tarq

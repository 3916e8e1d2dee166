// `tarq-cli serve`: the automation object over a Unix socket, one JSON-RPC message per
// line, until standard input ends or SIGTERM arrives.
#pragma once

#include <iosfwd>
#include <string>

namespace tarq {

class CProjDocBase;

struct ServeOptions {
  std::string socketPath;  // empty: DefaultAutomationSocketPath()
  std::string page;        // the module whose page is shown first
  bool save = false;       // save as Save does when serving ends
};

// $XDG_RUNTIME_DIR (or the temporary folder) / tarq-corvex-<uid>-<pid>.rpc
std::string DefaultAutomationSocketPath();

// Serves until standard input ends or SIGTERM; returns the exit code.
int ServeAutomation(CProjDocBase& doc, const ServeOptions& options, std::ostream& out,
                    std::ostream& err);

}  // namespace tarq

// tarq-cli: the headless front end for scripts and continuous integration.
#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/Cli.h"
#include "framework/Host.h"

int main(int argc, char** argv) {
  // A large header makes many small records: the heap grows in large steps instead of
  // one system call per page run, and nothing is handed back before the process ends.
  mallopt(M_TOP_PAD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // freed large buffers are used again, not unmapped
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const tarq::CliParse parse = tarq::ParseCliArguments(arguments);
  if (!parse.ok) {
    (parse.exitCode == tarq::kExitOk ? std::cout : std::cerr) << parse.text;
    return parse.exitCode;
  }
  tarq::BatchHost host;
  tarq::CliEnvironment environment;
  environment.programFolder = tarq::ExecutableFolder();
  environment.host = &host;
  environment.leaveDocumentAtExit = true;
  return tarq::RunCliRequest(parse.request, environment, std::cout, std::cerr);
}

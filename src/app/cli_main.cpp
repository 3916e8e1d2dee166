// tarq-cli: the headless front end for scripts and continuous integration.
#include <iostream>
#include <string>
#include <vector>

#include "app/Cli.h"
#include "framework/Host.h"

int main(int argc, char** argv) {
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

#include "app/CommandLine.h"

#include <string_view>

#include "framework/TextUtil.h"

namespace tarq {

namespace {

constexpr const char* kSwitchWords[] = {"selftest",   "reprocess", "regserver", "unregserver",
                                        "unregister", "embedding", "automation"};

bool IsSwitchWord(std::string_view word) {
  for (const char* known : kSwitchWords) {
    if (EqualsNoCase(word, known)) return true;
  }
  return false;
}

// The switch word of an argument, or false when the argument is a path. "/" only makes a
// switch of a known word, since it also starts every absolute path.
bool SwitchWordOf(const std::string& argument, std::string& word) {
  if (StartsWith(argument, "--")) {
    word = argument.substr(2);
    return true;
  }
  if (StartsWith(argument, "-")) {
    word = argument.substr(1);
    return true;
  }
  if (StartsWith(argument, "/") && IsSwitchWord(std::string_view(argument).substr(1))) {
    word = argument.substr(1);
    return true;
  }
  return false;
}

}  // namespace

CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLineInfo info;
  bool havePath = false;
  for (const std::string& argument : arguments) {
    std::string word;
    if (!SwitchWordOf(argument, word)) {
      if (!havePath) info.fileName = argument;
      havePath = true;
      continue;
    }
    if (EqualsNoCase(word, "selftest"))
      info.selfTest = true;
    else if (EqualsNoCase(word, "reprocess"))
      info.reprocess = true;
    else if (EqualsNoCase(word, "embedding"))
      info.runEmbedded = true;
    else if (EqualsNoCase(word, "automation"))
      info.runAutomated = true;
    // RegServer, UnregServer, Unregister and unknown switches are accepted without effect.
  }
  return info;
}

}  // namespace tarq

// Feeds arbitrary bytes to the reader commands: as the settings file they are read from, and
// as a command template and a help reference. Whatever the text, the document path is never
// split or changed: it is one argument, or inside one, of every command.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "help/DocumentationLookup.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr const char* kFile = "/a b/it's \"x\"; $(touch y).pdf";

bool HoldsFile(const std::vector<std::string>& command) {
  for (const std::string& argument : command)
    if (argument.find(kFile) != std::string::npos) return true;
  return command.empty();
}

void ReadSettings(std::string_view text) {
  char path[] = "/tmp/tarq_reader_fuzz_XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  if (written) {
    const tarq::ReaderCommands commands = tarq::LoadReaderCommands(path);
    for (const char* destination : {"", "12", "0", "SCI"})
      Check(HoldsFile(tarq::ReaderCommandFor(commands, kFile, destination)));
  }
  ::unlink(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (size < 4096) ReadSettings(text);
  const tarq::ReaderCommands commands{text, text, text};
  Check(HoldsFile(tarq::ReaderCommandFor(commands, kFile, text)));
  (void)tarq::ParseDestination(text);
  return 0;
}

// Feeds arbitrary bytes to the header reader and looks up what it found, so the
// tokenizer, the preamble rules and both parameter-block expressions see hostile input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "project/HeaderFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // A record per input, so every allocation of one input is freed by its end and leaks
  // show up at the input that caused them.
  tarq::HeaderFile header(/*isMainHeader=*/true);
  header.path = "appconfig.h";
  header.Parse(text);

  // Every record must be reachable by its own name, older names included.
  for (const auto& [name, definition] : header.definitions) {
    const tarq::Definition* found = header.FindDefinition(name);
    if (found == nullptr || found->name != name) __builtin_trap();
  }
  header.FindDefinition("QT_A0_CTRL_INIT");
  header.FindDefinition("ITCN_INT_PRIORITY_10");
  for (const auto& [module, block] : header.parameterBlocks)
    for (const auto& [key, value] : block) {
      const std::string* found = header.FindParameter(module, key);
      if (found == nullptr || *found != value) __builtin_trap();
    }
  header.FindParameter("SCI_0", "MODE");

  // Skipped lines are whole lines of text, never empty.
  for (const std::string& line : header.skippedLines)
    if (line.empty() || line.find('\n') != std::string::npos) __builtin_trap();
  // The file order names every definition exactly once at the place that won.
  size_t winners = 0;
  for (size_t i = 0; i < header.fileOrder.size(); ++i)
    if (header.fileOrder[i]->order == i) ++winners;
  if (winners != header.definitions.size()) __builtin_trap();

  // The trailer always ends with exactly the one appended line break.
  if (header.trailer.empty() || header.trailer.back() != '\n') __builtin_trap();

  // Parsing again into the same record gives the same result (no state leaks between reads).
  const size_t definitionCount = header.definitions.size();
  const std::string preamble = header.preamble;
  header.Parse(text);
  if (header.definitions.size() != definitionCount || header.preamble != preamble) __builtin_trap();
  return 0;
}

// libFuzzer target: the unified diff of any two texts (split at the first NUL byte) never
// crashes, is empty exactly when the texts are equal, and every hunk holds as many old and
// new lines as its header says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "app/UnifiedDiff.h"

namespace {

// "start,count" or "start" (a count of one) after `at`.
size_t CountAfter(const std::string& header, char sign) {
  const size_t at = header.find(sign, 3);
  const size_t end = header.find(' ', at);
  const std::string range = header.substr(at + 1, end - at - 1);
  const size_t comma = range.find(',');
  return comma == std::string::npos ? 1 : std::stoul(range.substr(comma + 1));
}

void CheckHunks(const std::string& diff) {
  std::istringstream in(diff);
  std::string line;
  if (!std::getline(in, line) || line.rfind("--- ", 0) != 0) std::abort();
  if (!std::getline(in, line) || line.rfind("+++ ", 0) != 0) std::abort();
  size_t oldLeft = 0, newLeft = 0;
  while (std::getline(in, line)) {
    if (line.rfind("@@ -", 0) == 0) {
      if (oldLeft != 0 || newLeft != 0) std::abort();
      oldLeft = CountAfter(line, '-');
      newLeft = CountAfter(line, '+');
      continue;
    }
    if (line.rfind("\\ No newline at end of file", 0) == 0) continue;
    const char mark = line.empty() ? '?' : line[0];
    if (mark == ' ' || mark == '-') {
      if (oldLeft-- == 0) std::abort();
    }
    if (mark == ' ' || mark == '+') {
      if (newLeft-- == 0) std::abort();
    }
    if (mark != ' ' && mark != '-' && mark != '+') std::abort();
  }
  if (oldLeft != 0 || newLeft != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string_view before = input.substr(0, split);
  const std::string_view after =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
  const std::string diff = tarq::UnifiedDiff(before, after, "a", "b");
  if (diff.empty() != (before == after)) std::abort();
  if (!diff.empty()) CheckHunks(diff);
  return 0;
}

// The unified diff of two texts, line by line, as `diff -u` and `patch` know it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarq {

// The lines of a text, each without its "\n" (a "\r" before it stays, so a change of line
// breaks shows). A last line without a line break is marked so the diff can say so.
struct TextLines {
  std::vector<std::string> lines;
  bool lastHasBreak = true;
};
TextLines SplitTextLines(std::string_view text);

// "--- oldLabel", "+++ newLabel" and the hunks with `context` lines around every change;
// empty when the texts are equal.
std::string UnifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel, const std::string& newLabel, int context = 3);

}  // namespace tarq

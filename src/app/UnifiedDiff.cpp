#include "app/UnifiedDiff.h"

#include <algorithm>
#include <dtl/dtl.hpp>

namespace tarq {

namespace {

enum class Edit { Keep, Remove, Add };

struct EditLine {
  Edit edit;
  size_t oldIndex;  // line index in the old text (the next one for an added line)
  size_t newIndex;  // likewise in the new text
};

// The shortest edit script of the two line lists (dtl's O(NP) algorithm), flattened.
std::vector<EditLine> EditScript(const std::vector<std::string>& before,
                                 const std::vector<std::string>& after) {
  dtl::Diff<std::string, std::vector<std::string>> diff(before, after);
  diff.compose();
  std::vector<EditLine> script;
  size_t oldIndex = 0, newIndex = 0;
  for (const auto& [line, info] : diff.getSes().getSequence()) {
    (void)line;
    switch (info.type) {
      case dtl::SES_COMMON:
        script.push_back({Edit::Keep, oldIndex++, newIndex++});
        break;
      case dtl::SES_DELETE:
        script.push_back({Edit::Remove, oldIndex++, newIndex});
        break;
      case dtl::SES_ADD:
        script.push_back({Edit::Add, oldIndex, newIndex++});
        break;
    }
  }
  return script;
}

// "start,count" of a hunk side; an empty side names the line before it, as diff does.
std::string Range(size_t first, size_t count) {
  const size_t start = count == 0 ? first : first + 1;
  if (count == 1) return std::to_string(start);
  return std::to_string(start) + "," + std::to_string(count);
}

void AppendLine(std::string& out, char mark, const TextLines& text, size_t index) {
  out += mark;
  out += text.lines[index];
  out += '\n';
  if (index + 1 == text.lines.size() && !text.lastHasBreak) out += "\\ No newline at end of file\n";
}

}  // namespace

TextLines SplitTextLines(std::string_view text) {
  TextLines result;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      result.lines.emplace_back(text.substr(start));
      result.lastHasBreak = false;
      break;
    }
    result.lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

std::string UnifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel, const std::string& newLabel, int context) {
  TextLines before = SplitTextLines(oldText);
  TextLines after = SplitTextLines(newText);
  // A last line that differs only in its line break is a change of that line. The mark is a
  // line break, which no line holds, so it never equals a line of the other text (a NUL
  // byte could: texts may hold them).
  if (before.lastHasBreak != after.lastHasBreak) {
    if (!before.lastHasBreak && !before.lines.empty()) before.lines.back() += '\n';
    if (!after.lastHasBreak && !after.lines.empty()) after.lines.back() += '\n';
  }
  const std::vector<EditLine> script = EditScript(before.lines, after.lines);
  auto strip = [](TextLines& text) {
    if (!text.lastHasBreak && !text.lines.empty() && !text.lines.back().empty() &&
        text.lines.back().back() == '\n')
      text.lines.back().pop_back();
  };
  strip(before);
  strip(after);

  const size_t reach = static_cast<size_t>(std::max(context, 0));
  std::string out;
  size_t position = 0;
  while (position < script.size()) {
    // The next change, and the hunk around it: changes closer than twice the context join.
    size_t first = position;
    while (first < script.size() && script[first].edit == Edit::Keep) ++first;
    if (first == script.size()) break;
    size_t hunkStart = first >= reach ? first - reach : 0;
    hunkStart = std::max(hunkStart, position);
    size_t last = first;  // one past the last change of the hunk
    size_t scan = first;
    while (scan < script.size()) {
      if (script[scan].edit != Edit::Keep) {
        last = scan + 1;
        ++scan;
        continue;
      }
      size_t keepRun = scan;
      while (keepRun < script.size() && script[keepRun].edit == Edit::Keep) ++keepRun;
      if (keepRun == script.size() || keepRun - scan > 2 * reach) break;
      scan = keepRun;
    }
    const size_t hunkEnd = std::min(script.size(), last + reach);

    size_t oldCount = 0, newCount = 0;
    for (size_t i = hunkStart; i < hunkEnd; ++i) {
      if (script[i].edit != Edit::Add) ++oldCount;
      if (script[i].edit != Edit::Remove) ++newCount;
    }
    if (out.empty()) out = "--- " + oldLabel + "\n+++ " + newLabel + "\n";
    out += "@@ -" + Range(script[hunkStart].oldIndex, oldCount) + " +" +
           Range(script[hunkStart].newIndex, newCount) + " @@\n";
    for (size_t i = hunkStart; i < hunkEnd; ++i) {
      const EditLine& line = script[i];
      if (line.edit == Edit::Keep) AppendLine(out, ' ', before, line.oldIndex);
      if (line.edit == Edit::Remove) AppendLine(out, '-', before, line.oldIndex);
      if (line.edit == Edit::Add) AppendLine(out, '+', after, line.newIndex);
    }
    position = hunkEnd;
  }
  return out;
}

}  // namespace tarq

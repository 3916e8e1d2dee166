#include "framework/TextUtil.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tarq {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(result.data(), result.size(), format, args);
    result.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

static bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string_view TrimView(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string TrimLeft(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  return std::string(text.substr(begin));
}

std::string ToUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

std::string ToLower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  if (from.empty()) return text;
  size_t pos = 0;
  while ((pos = text.find(from, pos)) != std::string::npos) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

// strtoul needs a terminated string; header values are short, so a copy is cheap.
static bool ParseWithStrtoul(std::string_view text, uint32_t& value, size_t& consumed) {
  std::string copy(text);
  const char* begin = copy.c_str();
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(begin, &end, 0);
  if (end == begin) return false;
  value = static_cast<uint32_t>(parsed);
  consumed = static_cast<size_t>(end - begin);
  return true;
}

bool ReadCIntegerPrefix(std::string_view text, uint32_t& value) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  // A sign is not part of a register value read from a header.
  if (start >= text.size() || !std::isdigit(static_cast<unsigned char>(text[start]))) return false;
  size_t consumed = 0;
  return ParseWithStrtoul(text.substr(start), value, consumed);
}

bool ReadCIntegerExact(std::string_view text, uint32_t& value) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  bool negative = false;
  if (start < text.size() && text[start] == '-') {
    negative = true;
    ++start;
  }
  if (start >= text.size() || !std::isdigit(static_cast<unsigned char>(text[start]))) return false;
  size_t consumed = 0;
  uint32_t magnitude = 0;
  if (!ParseWithStrtoul(text.substr(start), magnitude, consumed)) return false;
  if (start + consumed != text.size()) return false;
  value = negative ? static_cast<uint32_t>(0u - magnitude) : magnitude;
  return true;
}

bool ReadFloatExact(std::string_view text, double& value) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  if (start >= text.size()) return false;
  std::string copy(text.substr(start));
  char* end = nullptr;
  const double parsed = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str() || *end != '\0') return false;
  value = parsed;
  return true;
}

void PadTo(std::string& text, size_t column) {
  if (text.size() < column) text.append(column - text.size(), ' ');
}

}  // namespace tarq

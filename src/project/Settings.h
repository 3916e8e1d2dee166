// Per-user options and per-project settings.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarq {

// The three per-user options; GenerateDefaults also travels with the project.
struct Options {
  bool generateComments = true;   // "GenerateComments"
  bool generateDefaults = false;  // "GenerateDefaults"
  bool keepUserComments = false;  // "KeepUserComments"
  bool operator==(const Options&) const = default;
};

// Settings the document takes from the main header's APPCFG_ definitions.
struct ProjectSettings {
  int partRow = -1;        // index into KnownParts(), -1 when no part was found
  std::string partName;    // alias or name of the row, without "APPCFG_"
  std::string maskNumber;  // "APPCFG_MASKNUM"
  std::string partNumber;  // "APPCFG_PARTNUM"
  std::string package;     // "APPCFG_PACKAGE"
  float extClkMHz = 0;     // "APPCFG_EXTCLK" / "EXTCLK"
  float extalMHz = 0;      // "APPCFG_EXTAL" / "EXTAL"
  std::string extClkText;  // the value as read, so a read value is written back unchanged
  std::string extalText;
  uint32_t extClkHz = 0;  // the exact hertz behind extClkMHz when known (read or typed)
  uint32_t extalHz = 0;
  // The value read is no plain number of hertz (or is 0): its line is written back as it
  // stands while the frequency stays unset.
  bool extClkKeepText = false;
  bool extalKeepText = false;
  bool prefixedNames = true;  // false when the un-prefixed EXTCLK/EXTAL were read
  bool briefView = false;     // "APPCFG_BRIEFVIEW"
  bool operator==(const ProjectSettings&) const = default;
};

// Reads a frequency typed in megahertz ("18.432", "8", " 4.5 ") as whole hertz, rounded to
// the nearest hertz without passing through binary fractions. False for anything else
// (signs, exponents, "nan", "8,5", empty) and for more than 4294967295 Hz.
inline bool ReadMegahertzText(std::string_view text, uint32_t& hertz) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  uint64_t whole = 0;
  size_t i = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + static_cast<uint64_t>(text[i] - '0');
    if (whole > 5000) return false;  // far beyond 32 bits of hertz already
  }
  uint64_t micro = 0;  // the first six decimals: hertz
  bool roundUp = false;
  if (i < text.size() && text[i] == '.') {
    ++i;
    int place = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, ++place) {
      const int digit = text[i] - '0';
      if (place < 6)
        micro = micro * 10 + static_cast<uint64_t>(digit);
      else if (place == 6)
        roundUp = digit >= 5;
    }
    for (; place < 6; ++place) micro *= 10;
  }
  if (digits == 0 || i != text.size()) return false;
  const uint64_t value = whole * 1000000u + micro + (roundUp ? 1u : 0u);
  if (value > 0xFFFFFFFFull) return false;
  hertz = static_cast<uint32_t>(value);
  return true;
}

}  // namespace tarq

// Small text helpers shared by the header reader, the register table and the writers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarq {

// printf-style formatting into a std::string, byte-exact with the C library.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);
// Replaces every occurrence of `from` (non-empty) by `to`.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

// Reads a leading integer in C syntax (decimal, 0x hexadecimal, leading-0 octal) after
// optional white space; what follows the number is ignored, so "0x0012U" reads as 18.
// Returns false when no digit could be read.
bool ReadCIntegerPrefix(std::string_view text, uint32_t& value);
// Reads exactly one integer in C syntax with an optional minus sign; leading blanks are
// allowed, nothing at all may follow. The value wraps to 32 bits as the C library does.
bool ReadCIntegerExact(std::string_view text, uint32_t& value);
// Reads exactly one floating-point number (leading blanks allowed, nothing after it).
bool ReadFloatExact(std::string_view text, double& value);

// Pads `text` with blanks up to `column` characters (nothing when already that long).
void PadTo(std::string& text, size_t column);

}  // namespace tarq

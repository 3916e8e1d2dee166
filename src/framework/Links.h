// Program links: "tarq:" (show the target module's page, then act) and "tarqna:" (act on
// the target without showing it), followed by prefix "/" class, an optional "/" control
// (decimal id or exact caption) and an optional "?" query: a word for the target module or
// key=value pairs joined by "&" (tiptext and tiptitle explain the control in a balloon).
// The link-following operations themselves are CModuleBase services (Links.cpp).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace tarq {

inline constexpr const char* kLinkScheme = "tarq:";
inline constexpr const char* kLinkSchemeNoActivate = "tarqna:";
// Longest decoded link text; the rest of an absurdly long link is dropped.
inline constexpr size_t kMaxDecodedLinkLength = 1024;

// Query parameters by lower-case, trimmed key.
using LinkParams = std::map<std::string, std::string>;

// "%" followed by two hexadecimal digits becomes that byte; anything else stays as it is.
// The result holds at most kMaxDecodedLinkLength characters.
std::string DecodeUrlEscapes(std::string_view url);

// Text as a link part: letters, digits and "-_.()" stay, every other byte becomes "%XX".
std::string EncodeUrlText(std::string_view text);

// Whether the URL is a program link (scheme compared without regard to case); `activate`
// tells "tarq:" from "tarqna:".
bool IsProgramLink(std::string_view url, bool* activate = nullptr);

// The parts of a program link.
struct LinkParts {
  bool activate = true;  // "tarq:" rather than "tarqna:"
  std::string prefix;    // target module
  std::string kind;      // target class, may be empty
  std::string control;   // id or caption, may be empty
  std::string query;     // text after the first '?', may be empty
  LinkParams params;     // the query read as key=value pairs
};

// Splits a program link (already decoded when the control and query matter); false for a
// URL that is not a program link.
bool SplitProgramLink(std::string_view url, LinkParts& parts);

// "a=1&B = 2&c" -> {a:1, b: 2, c:""}: pieces split at '&', each at its first '='; keys
// trimmed and lower-cased, values kept as they are; empty pieces skipped.
LinkParams ParseLinkParams(std::string_view query);

// What the user is told when a link names a control that its module's page does not have.
std::string MissingLinkControlMessage(const std::string& prefix, const std::string& control);

}  // namespace tarq

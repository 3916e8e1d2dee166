#include "framework/Warnings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "framework/TextUtil.h"

namespace tarq {

namespace {

bool IsAsciiLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// One character entity at `pos` (which holds '&'); appends its character and returns the
// length consumed, or 0 when the text there is not an entity we know (kept literally).
size_t DecodeEntity(std::string_view text, size_t pos, std::string& out) {
  const size_t semicolon = text.find(';', pos + 1);
  if (semicolon == std::string_view::npos || semicolon - pos > 10) return 0;
  const std::string_view name = text.substr(pos + 1, semicolon - pos - 1);
  static constexpr struct {
    std::string_view name;
    char character;
  } kNamed[] = {{"amp", '&'},  {"lt", '<'},    {"gt", '>'},
                {"quot", '"'}, {"apos", '\''}, {"nbsp", ' '}};
  for (const auto& entity : kNamed) {
    if (EqualsNoCase(name, entity.name)) {
      out += entity.character;
      return semicolon - pos + 1;
    }
  }
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string digits(name.substr(hex ? 2 : 1));
    if (digits.empty()) return 0;
    char* end = nullptr;
    const long code = std::strtol(digits.c_str(), &end, hex ? 16 : 10);
    // Only plain ASCII: anything else has no single-byte form we could vouch for.
    if (*end != '\0' || code <= 0 || code > 127) return 0;
    out += static_cast<char>(code);
    return semicolon - pos + 1;
  }
  return 0;
}

std::string DecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    if (text[pos] == '&') {
      if (const size_t used = DecodeEntity(text, pos, out)) {
        pos += used;
        continue;
      }
    }
    out += text[pos++];
  }
  return out;
}

// A tag starts with '<' followed by a letter, '/' or '!' and ends at the next '>' outside
// quotes. Returns the position after the tag, or npos when `pos` starts no tag (then the
// '<' is ordinary text, as in "x < 5").
size_t TagEnd(std::string_view text, size_t pos) {
  if (pos + 1 >= text.size()) return std::string_view::npos;
  const char next = text[pos + 1];
  if (!IsAsciiLetter(next) && next != '/' && next != '!') return std::string_view::npos;
  char quote = 0;
  for (size_t i = pos + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// Lower-case element name of a tag ("a", "/a", "br" ...), without the leading '<'.
std::string TagName(std::string_view tag) {
  size_t i = 1;
  std::string name;
  if (i < tag.size() && tag[i] == '/') name += tag[i++];
  while (i < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[i])) != 0))
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(tag[i++])));
  return name;
}

// Value of attribute `wanted` (lower case) inside one tag, entities decoded.
bool FindAttribute(std::string_view tag, std::string_view wanted, std::string& value) {
  size_t i = 1;
  while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>') ++i;  // element name
  while (i < tag.size()) {
    while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/')) ++i;
    if (i >= tag.size() || tag[i] == '>') break;
    const size_t nameStart = i;
    while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '>') ++i;
    const std::string_view name = tag.substr(nameStart, i - nameStart);
    while (i < tag.size() && IsSpace(tag[i])) ++i;
    std::string_view attributeValue;
    if (i < tag.size() && tag[i] == '=') {
      ++i;
      while (i < tag.size() && IsSpace(tag[i])) ++i;
      if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
        const char quote = tag[i++];
        const size_t valueStart = i;
        while (i < tag.size() && tag[i] != quote) ++i;
        attributeValue = tag.substr(valueStart, i - valueStart);
        if (i < tag.size()) ++i;
      } else {
        const size_t valueStart = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '>') ++i;
        attributeValue = tag.substr(valueStart, i - valueStart);
      }
    }
    if (EqualsNoCase(name, wanted)) {
      value = DecodeEntities(attributeValue);
      return true;
    }
  }
  return false;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

std::string PlainTextOf(std::string_view markup) {
  std::string out;
  out.reserve(markup.size());
  size_t textStart = 0;
  for (size_t pos = markup.find('<'); pos != std::string_view::npos;
       pos = markup.find('<', pos + 1)) {
    const size_t end = TagEnd(markup, pos);
    if (end == std::string_view::npos) continue;
    out += DecodeEntities(markup.substr(textStart, pos - textStart));
    // Text on both sides of a line break must not run together.
    if (TagName(markup.substr(pos, end - pos)) == "br") out += ' ';
    textStart = end;
    pos = end - 1;
  }
  out += DecodeEntities(markup.substr(textStart));
  return out;
}

std::string WarningTextOf(std::string_view markup) {
  std::string text = PlainTextOf(markup);
  for (std::string_view word : {std::string_view("Warning:"), std::string_view("Error:")}) {
    if (StartsWithNoCase(text, word)) {
      text.erase(0, word.size());
      break;
    }
  }
  return TrimLeft(text);
}

std::vector<std::string> LinksOf(std::string_view markup) {
  std::vector<std::string> links;
  for (size_t pos = markup.find('<'); pos != std::string_view::npos;
       pos = markup.find('<', pos + 1)) {
    const size_t end = TagEnd(markup, pos);
    if (end == std::string_view::npos) continue;
    const std::string_view tag = markup.substr(pos, end - pos);
    std::string href;
    if (TagName(tag) == "a" && FindAttribute(tag, "href", href)) links.push_back(std::move(href));
    pos = end - 1;
  }
  return links;
}

std::string FirstLinkOf(std::string_view markup) {
  std::vector<std::string> links = LinksOf(markup);
  return links.empty() ? std::string() : std::move(links.front());
}

void WarningList::Set(CModuleBase* page, uint32_t id, bool set, const std::string& controlText,
                      const std::string& message) {
  auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Warning& warning) {
    return warning.page == page && warning.id == id;
  });
  if (!set) {
    if (found != entries_.end()) entries_.erase(found);
    return;
  }
  Warning warning{page, id, WarningTextOf(message.empty() ? controlText : message),
                  FirstLinkOf(controlText), LinksOf(controlText)};
  if (found != entries_.end())
    *found = std::move(warning);
  else
    entries_.push_back(std::move(warning));
}

}  // namespace tarq

// The document's warning list: at most one entry per (module page, control), ordered by
// first appearance, so the warnings bar reads like the order in which problems arose.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarq {

class CModuleBase;

struct Warning {
  CModuleBase* page;
  uint32_t id;       // control id; a child page's control id in the upper 16 bits
  std::string text;  // plain text, without a leading "Warning:" / "Error:"
  std::string link;  // target of the first link in the control text, or empty
  std::vector<std::string> links;  // every link target of the control text, in order
};

// Warning id of a control on a child page: the child page's own control id goes into the
// upper 16 bits so that the same control id on two child pages stays apart.
constexpr uint32_t MakeWarningId(uint32_t childControlId, uint32_t controlId) {
  return (childControlId << 16) | (controlId & 0xFFFFu);
}

class WarningList {
 public:
  // set: create (appended) or update in place; !set: remove. The text is taken from
  // `message` when given, else from `controlText`; the link always from `controlText`.
  void Set(CModuleBase* page, uint32_t id, bool set, const std::string& controlText,
           const std::string& message);
  const std::vector<Warning>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Warning> entries_;
};

// Markup-free text of a warning or control text: tags dropped (a line break tag becomes a
// blank), the common character entities decoded.
std::string PlainTextOf(std::string_view markup);
// The warning's list text: plain text without a leading "Warning:" or "Error:" (any case)
// and without the blanks after it.
std::string WarningTextOf(std::string_view markup);
// The HREF of every A element, in order, entities decoded.
std::vector<std::string> LinksOf(std::string_view markup);
// The HREF of the first A element, entities decoded; empty when there is none.
std::string FirstLinkOf(std::string_view markup);

}  // namespace tarq

// Search across every setting of a project: control captions, list items, register names
// and warning texts of every module, so a user finds a setting without knowing its page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarq {

class CProjDocBase;

enum class SearchHitKind { Control, Item, Register, Warning };

// One thing a search can find.
struct SearchEntry {
  SearchHitKind kind = SearchHitKind::Control;
  std::string module;   // prefix of the module that holds it
  std::string group;    // group box title or child page title; empty at the page's top
  std::string text;     // the caption, item text, define name or warning text matched
  std::string setName;  // how `tarq-cli set` names the control; empty for registers, warnings
  std::string link;     // program link that shows the module and points at the control
  bool changed = false; // its register differs from the reset value
  uint32_t controlId = 0; // full id of the control (controls and items)
  size_t order = 0;     // position in the index: module order, then page order
};

struct SearchHit {
  const SearchEntry* entry = nullptr;
  // Lower is better: the whole text, its start, word starts, anywhere in the text, and last
  // words found only in the group title or the module name.
  int rank = 0;
};

// Every searchable entry of a project, collected once (pages are built for the purpose
// and taken down again when they were not open); then filtered as the user types.
class SettingsIndex {
 public:
  void Build(CProjDocBase& doc);
  const std::vector<SearchEntry>& Entries() const { return entries_; }

  // Entries whose text (or, ranked lower, text, group and module together) holds every word
  // of `query` (case-insensitive, any order), best first; a list shows its best item only.
  // With `changedOnly` only settings that differ from their reset values.
  std::vector<SearchHit> Find(const std::string& query, bool changedOnly) const;

 private:
  std::vector<SearchEntry> entries_;
};

// Words of a query, lower-cased; blanks and punctuation between words are dropped.
std::vector<std::string> SearchWords(const std::string& query);
// How well `text` fits the words: -1 when a word is missing, else the rank (0 best, 3 for
// words anywhere in it).
int MatchRank(const std::string& text, const std::string& query,
              const std::vector<std::string>& words);
// The rank of an entry: its text's, else 4 when its text holds a word and its text, group
// and module name together hold every word, else -1.
int EntryRank(const SearchEntry& entry, const std::string& query,
              const std::vector<std::string>& words);

const char* SearchHitKindName(SearchHitKind kind);

// Goes to a hit as a warning link does: shows its module, then focuses the control (scrolled
// into view) with a tip naming what was found. False when the module cannot be shown.
bool ShowSearchHit(CProjDocBase& doc, const SearchEntry& entry);

}  // namespace tarq

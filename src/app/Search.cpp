#include "app/Search.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "app/Cli.h"
#include "framework/Bindings.h"
#include "framework/Links.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/Register.h"
#include "framework/Summaries.h"
#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "project/ProjDoc.h"

namespace tarq {
namespace {

bool IsWordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Blanks for line breaks, no trailing colons: the text as a label reads.
std::string Readable(std::string text) {
  text = ReplaceAll(ReplaceAll(std::move(text), "\r\n", " "), "\n", " ");
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  return Trim(text);
}

bool TakesInput(const Control& control) {
  return control.kind != ControlKind::StaticText && control.kind != ControlKind::GroupBox &&
         control.kind != ControlKind::Placeholder && control.kind != ControlKind::LinkText &&
         control.kind != ControlKind::ReadOnlyDisplay && control.kind != ControlKind::BarGraph &&
         control.kind != ControlKind::Diagram;
}

bool IsSearchableControl(const Control& control) {
  return control.kind != ControlKind::StaticText && control.kind != ControlKind::GroupBox &&
         control.kind != ControlKind::Placeholder && control.kind != ControlKind::LinkText;
}

std::string GroupTitle(Page& page, const Control& control) {
  if (control.layout.groupBox != 0)
    if (const Control* box = page.Find(control.layout.groupBox)) return Readable(box->text);
  for (Page* at = &page; at->GetParent() != nullptr; at = at->GetParent())
    for (size_t i = 0; i < at->GetControlCount(); ++i)
      if (const Control& first = at->ControlAt(i);
          first.kind == ControlKind::StaticText && !Readable(first.text).empty())
        return Readable(first.text);
  return {};
}

// Text-valued registers hold 1 or 0 (present or not) as their value.
bool RegisterChanged(const Register& reg) { return reg.value != reg.resetValue; }

bool ControlChanged(const Control& control) {
  if (control.binding == nullptr) return false;
  const Register* reg = control.binding->GetRegisterRef().Get();
  return reg != nullptr && RegisterChanged(*reg);
}

class IndexBuilder {
 public:
  explicit IndexBuilder(std::vector<SearchEntry>& entries) : entries_(entries) {}

  void AddModule(CModuleBase& module) {
    const bool hadPage = module.GetPage() != nullptr;
    if (!hadPage && module.CreatePage()) {
      module.RunDeferredPageWork();
      module.UpdateValues();
    }
    if (Page* root = module.GetPage()) AddPage(module, *root);
    for (const Register& reg : module.Registers()) {
      if (reg.Has(DUMMYREG)) continue;
      Add({.kind = SearchHitKind::Register,
           .module = module.GetPrefix(),
           .text = module.GetDefineName(reg),
           .link = module.MakeLink(),
           .changed = RegisterChanged(reg)});
    }
    if (!hadPage) module.DestroyPage();
  }

  void AddWarnings(CProjDocBase& doc) {
    for (const Warning& warning : doc.GetWarnings()->Entries()) {
      if (warning.page == nullptr || !warning.page->IsSelected()) continue;
      Add({.kind = SearchHitKind::Warning,
           .module = warning.page->GetPrefix(),
           .text = warning.text,
           .link = warning.page->MakeLink(warning.id),
           .controlId = warning.id});
    }
  }

 private:
  void AddPage(CModuleBase& module, Page& page) {
    for (size_t i = 0; i < page.GetControlCount(); ++i) {
      Control& control = page.ControlAt(i);
      if (IsSearchableControl(control)) AddControl(module, page, control);
      if (Page* child = page.GetChildPage(control.id)) AddPage(module, *child);
    }
  }

  void AddControl(CModuleBase& module, Page& page, Control& control) {
    std::string label = Readable(page.LabelOf(control));
    if (label.empty() && control.IsButton()) label = Readable(control.text);
    if (label.empty()) return;
    const ControlRef ref = RefOf(page, control);
    const std::string setName = TakesInput(control) ? SetNameOf(module, ref) : std::string();
    const std::string group = GroupTitle(page, control);
    const bool changed = ControlChanged(control);
    Add({.kind = SearchHitKind::Control,
         .module = module.GetPrefix(),
         .group = group,
         .text = label,
         .setName = setName,
         .link = module.MakeLink(ref.fullId, "tiptext=" + EncodeUrlText(label)),
         .changed = changed,
         .controlId = ref.fullId});
    if (!control.IsChoice()) return;
    for (const std::string& item : control.items) {
      if (Readable(item).empty()) continue;
      Add({.kind = SearchHitKind::Item,
           .module = module.GetPrefix(),
           .group = group,
           .text = item,
           .setName = setName,
           .link = module.MakeLink(ref.fullId, "tiptext=" + EncodeUrlText(label + ": " + item)),
           .changed = changed,
           .controlId = ref.fullId});
    }
  }

  static ControlRef RefOf(Page& page, Control& control) {
    if (control.id != 0)
      if (ControlRef ref = page.FindControlById(control.id); ref && ref.control == &control)
        return ref;
    // Child pages number their controls on their own: the module page addresses them with
    // the child page's id in the upper bits.
    uint32_t fullId = control.id;
    if (page.GetParent() != nullptr) fullId = MakeWarningId(page.GetChildId(), control.id);
    return {&page, &control, fullId};
  }

  void Add(SearchEntry entry) {
    entry.order = entries_.size();
    entries_.push_back(std::move(entry));
  }

  std::vector<SearchEntry>& entries_;
};

// Whether `word` starts a word of `lower` (the text, lower-cased).
bool StartsAWord(const std::string& lower, const std::string& word) {
  for (size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1))
    if (at == 0 || !IsWordCharacter(lower[at - 1])) return true;
  return false;
}

}  // namespace

const char* SearchHitKindName(SearchHitKind kind) {
  switch (kind) {
    case SearchHitKind::Control: return "control";
    case SearchHitKind::Item: return "item";
    case SearchHitKind::Register: return "register";
    case SearchHitKind::Warning: return "warning";
  }
  return "";
}

std::vector<std::string> SearchWords(const std::string& query) {
  std::vector<std::string> words;
  std::string word;
  for (char c : ToLower(query)) {
    if (IsWordCharacter(c)) {
      word += c;
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

int MatchRank(const std::string& text, const std::string& query,
              const std::vector<std::string>& words) {
  if (words.empty()) return -1;
  const std::string lower = ToLower(text);
  bool allStartWords = true;
  for (const std::string& word : words) {
    if (lower.find(word) == std::string::npos) return -1;
    if (!StartsAWord(lower, word)) allStartWords = false;
  }
  const std::string wanted = ToLower(Trim(query));
  if (Readable(lower) == Readable(wanted)) return 0;
  if (StartsWith(lower, wanted)) return 1;
  return allStartWords ? 2 : 3;
}

int EntryRank(const SearchEntry& entry, const std::string& query,
              const std::vector<std::string>& words) {
  const int rank = MatchRank(entry.text, query, words);
  if (rank >= 0) return rank;
  // The group and module only complete a match the text itself has begun.
  const std::string lower = ToLower(entry.text);
  if (std::none_of(words.begin(), words.end(),
                   [&](const std::string& word) { return lower.find(word) != std::string::npos; }))
    return -1;
  const std::string wider = entry.text + " " + entry.group + " " + entry.module;
  return MatchRank(wider, query, words) >= 0 ? 4 : -1;
}

bool ShowSearchHit(CProjDocBase& doc, const SearchEntry& entry) {
  CModuleBase* module = doc.FindModule(entry.module, "");
  if (module == nullptr || !doc.ShowModule(module)) return false;
  if (entry.kind == SearchHitKind::Warning) {
    module->ShowToolTip(entry.controlId, entry.text, kWarningDetailTitle);
  } else if (entry.controlId != 0) {
    const std::string tip = entry.kind == SearchHitKind::Item ? "Item: " + entry.text : entry.text;
    module->ShowToolTip(entry.controlId, tip, entry.group);
  }
  return true;
}

void SettingsIndex::Build(CProjDocBase& doc) {
  entries_.clear();
  IndexBuilder builder(entries_);
  for (CModuleBase* module : doc.GetModules()) builder.AddModule(*module);
  builder.AddWarnings(doc);
}

std::vector<SearchHit> SettingsIndex::Find(const std::string& query, bool changedOnly) const {
  const std::vector<std::string> words = SearchWords(query);
  std::vector<SearchHit> hits;
  for (const SearchEntry& entry : entries_) {
    if (changedOnly && !entry.changed) continue;
    const int rank = EntryRank(entry, query, words);
    if (rank >= 0) hits.push_back({&entry, rank});
  }
  std::stable_sort(hits.begin(), hits.end(), [](const SearchHit& a, const SearchHit& b) {
    if (a.rank != b.rank) return a.rank < b.rank;
    if (a.entry->kind != b.entry->kind) return a.entry->kind < b.entry->kind;
    return a.entry->order < b.entry->order;
  });
  // Long lists (solver rows, pin functions) would bury everything else: the best item of a
  // list stands for it.
  std::set<std::pair<std::string, uint32_t>> listsShown;
  std::erase_if(hits, [&](const SearchHit& hit) {
    if (hit.entry->kind != SearchHitKind::Item) return false;
    return !listsShown.insert({hit.entry->module, hit.entry->controlId}).second;
  });
  return hits;
}

}  // namespace tarq

#include "project/UnrecognisedDefinitions.h"

#include <algorithm>

#include "framework/TextUtil.h"
#include "project/HeaderFile.h"

namespace tarq {

namespace {

constexpr const char* kBlockHead = "\n\n/*.\n    User definitions\n    ----------------- \n.*/\n";
constexpr size_t kValueColumn = 40;
constexpr size_t kCommentColumn = 50;

ArchitectureEntry UnrecEntry() {
  ArchitectureEntry entry;
  entry.name = "UNREC";
  entry.kind = "UNREC";
  return entry;
}

}  // namespace

CpmUNREC::CpmUNREC() : CModule(UnrecEntry()) {}

int CpmUNREC::LoadDefines(HeaderFile& header) {
  if (!GetDefineSource()) SetDefineSource(&header);
  // Every entry is kept whole, however many there are: a cut one would be lost on save.
  entries_.clear();
  // In the order the header had them: a save must not scramble the users' diffs.
  std::vector<const Definition*> unused;
  for (const auto& [name, definition] : header.definitions) {
    if (!definition.used) unused.push_back(&definition);
  }
  std::stable_sort(unused.begin(), unused.end(),
            [](const Definition* a, const Definition* b) { return a->order < b->order; });
  entries_.reserve(unused.size());
  for (const Definition* definition : unused)
    entries_.push_back({definition->name, definition->value, definition->comment});
  SetSelected(!entries_.empty());
  rememberedSelected_ = IsSelected();
  return static_cast<int>(entries_.size());
}

std::string CpmUNREC::BuildBlock(bool keepUserComments) const {
  if (entries_.empty()) return {};
  std::string block = kBlockHead;
  for (const Entry& entry : entries_) {
    std::string line = "#define   " + entry.name;
    PadTo(line, kValueColumn);
    line += " " + entry.value;
    if (keepUserComments) {
      PadTo(line, kCommentColumn);
      if (!entry.comment.empty()) line += " /* " + entry.comment + " */";
    }
    block += line + "\n";
  }
  return block;
}

bool CpmUNREC::WriteDefines(std::string& text) {
  text = IsSelected() ? BuildBlock(OptionsInForce().keepUserComments) : std::string();
  return true;
}

void CpmUNREC::BuildPage(Page& page) {
  page.AddStatic(kPageTextId, kPageText).layout.row = 0;
  Control& list = page.AddListBox(kListId, GetListLines());
  list.layout.row = 1;
  list.layout.width = 600;
}

std::vector<std::string> CpmUNREC::GetListLines() const {
  std::vector<std::string> lines;
  lines.reserve(entries_.size());
  for (const Entry& entry : entries_)
    lines.push_back(Format("#define %s %s", entry.name.c_str(), entry.value.c_str()));
  return lines;
}

std::unique_ptr<CModuleBase> CreateUnrecModule() { return std::make_unique<CpmUNREC>(); }

std::unique_ptr<CModuleBase> CreateVoidModule(const ArchitectureEntry& entry, CModuleBase* parent) {
  return std::make_unique<CpmVOID>(entry, parent);
}

std::unique_ptr<CModuleBase> CreateEmptyModule(const ArchitectureEntry& entry,
                                               CModuleBase* parent) {
  return std::make_unique<CpmEMPTY>(entry, parent);
}

std::unique_ptr<CModuleBase> CreateGenericModule(const ArchitectureEntry& entry,
                                                 CModuleBase* parent) {
  return std::make_unique<CpmGeneric>(entry, parent);
}

}  // namespace tarq

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
  size_t winners = 0;
  for (size_t i = 0; i < header.fileOrder.size(); ++i) {
    const Definition* definition = header.fileOrder[i];
    if (definition->order != i) continue;  // redefined later: that place counts
    ++winners;
    if (!definition->used) unused.push_back(definition);
  }
  if (winners != header.definitions.size()) {
    // A record not made by Parse (or changed since): its map decides.
    unused.clear();
    for (const auto& [name, definition] : header.definitions) {
      if (!definition.used) unused.push_back(&definition);
    }
  }
  const auto byOrder = [](const Definition* a, const Definition* b) { return a->order < b->order; };
  if (!std::is_sorted(unused.begin(), unused.end(), byOrder))
    std::stable_sort(unused.begin(), unused.end(), byOrder);
  entries_.reserve(unused.size());
  for (const Definition* definition : unused)
    entries_.push_back({definition->name, definition->value, definition->comment});
  unused = {};
  SetSelected(!entries_.empty());
  rememberedSelected_ = IsSelected();
  return static_cast<int>(entries_.size());
}

std::string CpmUNREC::BuildBlock(bool keepUserComments) const {
  std::string block;
  AppendBlock(block, keepUserComments);
  return block;
}

void CpmUNREC::AppendBlock(std::string& block, bool keepUserComments) const {
  if (entries_.empty()) return;
  block += kBlockHead;
  size_t size = block.size();
  for (const Entry& entry : entries_)
    size += kCommentColumn + entry.name.size() + entry.value.size() + entry.comment.size() + 8;
  block.reserve(size);
  // Each line is put together in place: a block of many thousand lines is written often.
  for (const Entry& entry : entries_) {
    const size_t lineStart = block.size();
    block += "#define   ";
    block += entry.name;
    if (block.size() - lineStart < kValueColumn)
      block.append(kValueColumn - (block.size() - lineStart), ' ');
    block += ' ';
    block += entry.value;
    // A value that ends in a backslash stood before a blank: without it the line would
    // join the next one.
    if (!entry.value.empty() && entry.value.back() == '\\') block += ' ';
    if (keepUserComments) {
      if (block.size() - lineStart < kCommentColumn)
        block.append(kCommentColumn - (block.size() - lineStart), ' ');
      if (!entry.comment.empty()) {
        block += " /* ";
        block += entry.comment;
        block += " */";
      }
    }
    block += '\n';
  }
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
  for (const Entry& entry : entries_) {
    std::string line = "#define ";
    line += entry.name;
    line += ' ';
    line += entry.value;
    lines.push_back(std::move(line));
  }
  return lines;
}

std::unique_ptr<CModuleBase> CreateUnrecModule() { return std::make_unique<CpmUNREC>(); }

std::unique_ptr<CModuleBase> CreateVoidModule(const ArchitectureEntry& entry, CModuleBase* parent) {
  return std::make_unique<CpmVOID>(entry, parent);
}

std::unique_ptr<CModuleBase> CreatePluginsModule(const ArchitectureEntry& entry,
                                                 CModuleBase* parent) {
  return std::make_unique<CpmPLUGINS>(entry, parent);
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

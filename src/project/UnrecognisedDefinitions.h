// Definitions that no module claims, kept and written back so a save loses no user text,
// and the page-only modules that carry no registers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Module.h"

namespace tarq {

class CpmUNREC : public CModule {
 public:
  // Views of a definition of the module's define source, which outlives the module's use
  // of it (the document drops its modules before its header): nothing is copied.
  struct Entry {
    std::string_view name;
    std::string_view value;
    std::string_view comment;
  };

  static constexpr const char* kPageText =
      "The following macros were found in the project file and will be saved back untouched.";

  CpmUNREC();

  // Collects every definition of the header that nothing has used, in file order. The
  // module is selected exactly when there is one or more. Returns the number collected.
  int LoadDefines(HeaderFile& header) override;
  // Replaces `text` (this module's whole section) with the user definitions block, or
  // with nothing when there are no entries or the module is not selected. Never cancels.
  bool WriteDefines(std::string& text) override;
  // The user decides with the tree's check box, although there are no registers.
  bool IsSelectable() const override { return true; }
  // The page: the text and the list box of the definitions, which fills the page.
  void BuildPage(Page& page) override;
  static constexpr uint32_t kPageTextId = 1000;
  static constexpr uint32_t kListId = 1001;

  const std::vector<Entry>& Entries() const { return entries_; }
  // The page's list: one "#define NAME VALUE" line per entry.
  std::vector<std::string> GetListLines() const;
  // The block as written, regardless of the selection.
  std::string BuildBlock(bool keepUserComments) const;
  // The same appended to `text`, without a copy of its own.
  void AppendBlock(std::string& text, bool keepUserComments) const;

 private:
  std::vector<Entry> entries_;
};

// A module that has a page and nothing else: no registers, no output, never selectable.
class CPageOnlyModule : public CModule {
 public:
  using CModule::CModule;
  bool IsSelectable() const override { return false; }
  // The section of a module without output stays empty.
  bool WriteDefines(std::string& text) override {
    text.clear();
    return true;
  }
};

// Placeholder of a tree folder node.
class CpmVOID : public CPageOnlyModule {
 public:
  using CPageOnlyModule::CPageOnlyModule;
};

// Grouping node of the architecture file's tree list.
class CpmEMPTY : public CPageOnlyModule {
 public:
  static constexpr const char* kPageText = "See submodules of this module.";
  static constexpr uint32_t kPageTextId = 1000;
  using CPageOnlyModule::CPageOnlyModule;
  const char* GetPageText() const { return kPageText; }
  void BuildPage(Page& page) override { page.AddStatic(kPageTextId, kPageText); }
};

// Placeholder of the tree folders that hold plugin modules.
class CpmPLUGINS : public CPageOnlyModule {
 public:
  static constexpr const char* kPageText =
      "This section contains Tarq plug-in modules loaded dynamically for this project.";
  static constexpr uint32_t kPageTextId = 1000;
  using CPageOnlyModule::CPageOnlyModule;
  void BuildPage(Page& page) override { page.AddStatic(kPageTextId, kPageText); }
};

// Module with an empty page, created by class name only.
class CpmGeneric : public CPageOnlyModule {
 public:
  using CPageOnlyModule::CPageOnlyModule;
};

// Factory entries. The unrecognised-definitions module has no architecture entry: its
// name and kind are both UNREC.
std::unique_ptr<CModuleBase> CreateUnrecModule();
std::unique_ptr<CModuleBase> CreateVoidModule(const ArchitectureEntry& entry, CModuleBase* parent);
std::unique_ptr<CModuleBase> CreatePluginsModule(const ArchitectureEntry& entry,
                                                 CModuleBase* parent);
std::unique_ptr<CModuleBase> CreateEmptyModule(const ArchitectureEntry& entry, CModuleBase* parent);
std::unique_ptr<CModuleBase> CreateGenericModule(const ArchitectureEntry& entry,
                                                 CModuleBase* parent);

}  // namespace tarq

// The external memory interface.
//
// Register layout used here:
//   BCR    3..0 base read wait states, 7..4 base write wait states, 9..8 minimal delay before a
//          chip-select access, 10 bus driven when inactive
//   CSBARn 3..0 block size (1K words << n), 15..4 base address (in 4K-word steps)
//   CSORn  4..0 read wait states, 6..5 chip-select setup, 8..7 chip-select hold,
//          11..10 read/write, 13..12 program/data space, 15..14 byte enable
//   CSTCn  4..0 write wait states, 7..5 minimal delay before another chip select's access
#include "modules/semi.h"

#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;
constexpr uint32_t kSubPageBase = 1900;  // placeholders 1900..1907, below the pin warning
constexpr uint32_t kSubPageFirstId = 1001;
constexpr int kSubPageWidth = 460;

const std::vector<RegisterDecl>& RegisterTable() {
  static const std::vector<RegisterDecl> kTable = [] {
    // The names must outlive the table: the declarations keep pointers to them.
    static std::vector<std::string> names;
    names.reserve(3 * CpmSEMI::kChipSelects);
    for (const char* stem : {"CSBAR", "CSOR", "CSTC"})
      for (int n = 0; n < CpmSEMI::kChipSelects; ++n) names.push_back(Format("%s%d_INIT", stem, n));
    std::vector<RegisterDecl> table = {{"BCR_INIT", 0x02F7, DW16}};
    for (size_t i = 0; i < names.size(); ++i) {
      const uint32_t reset = i < 8 ? 0x0003 : i < 16 ? 0xB817 : 0x0003;
      table.push_back({names[i].c_str(), reset, DW16});
    }
    return table;
  }();
  return kTable;
}

std::vector<std::string> Numbers(int count) {
  std::vector<std::string> items;
  for (int n = 0; n < count; ++n) items.push_back(Format("%d", n));
  return items;
}

}  // namespace

uint32_t CpmSEMI::SubPageId(int chipSelect) { return kSubPageBase + static_cast<uint32_t>(chipSelect); }

uint32_t CpmSEMI::BlockWords(uint32_t sizeField) { return 1024u << (sizeField & 0xFu); }

CpmSEMI::CpmSEMI(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

CpmSEMI::~CpmSEMI() { DestroyPage(); }

void CpmSEMI::DeclareRegisters() {
  const std::vector<RegisterDecl>& table = RegisterTable();
  InitRegisters(table.data(), table.size());
}

void CpmSEMI::InitModule(ModuleContext& doc) {
  DestroyPage();
  chipSelects_.clear();
  for (int n = 0; n < kChipSelects; ++n) {
    auto sub = std::make_unique<PageDeclaration>(*this);
    sub->Clear(kSubPageFirstId);
    sub->SetChildPage(SubPageId(n));
    chipSelects_.push_back(std::move(sub));
  }
  CDeclaredModule::InitModule(doc);
  // The sub-pages follow the main page in the header comment, chip select by chip select.
  for (auto& sub : chipSelects_) {
    const int n = static_cast<int>(&sub - chipSelects_.data());
    DeclareChipSelect(*sub, n);
    sub->AddCommentItems();
  }
}

void CpmSEMI::DeclarePage(PageDeclaration& d) {
  const char* bcr = "BCR_INIT";
  d.Group("Bus Control");
  d.Box({.caption = "Ext. bus driven when inactive ", .field = {.reg = bcr, .low = 10},
         .comment = kState});
  d.List({.caption = "Base (no CS) Read  Wait States", .field = {.reg = bcr, .low = 0, .high = 3},
          .items = Numbers(16), .width = 60});
  d.List({.caption = "Base (no CS) Write Wait States", .field = {.reg = bcr, .low = 4, .high = 7},
          .items = Numbers(16), .width = 60});
  d.List({.caption = "Minimal Delay before CS access", .field = {.reg = bcr, .low = 8, .high = 9},
          .items = Numbers(4), .width = 60});
  d.NextBand();
  d.Group("Chip Selects");
  d.Custom([this](Page& page) {
    for (int n = 0; n < kChipSelects; ++n) {
      page.AddPlaceholder(SubPageId(n), kSubPageWidth).tabStop = false;
      page.NewRow();
      if (Page* child = page.CreateChildPage(SubPageId(n)))
        chipSelects_[static_cast<size_t>(n)]->BuildPage(*child);
    }
  });
}

void CpmSEMI::DeclareChipSelect(PageDeclaration& d, int n) {
  const std::string bar = Format("CSBAR%d_INIT", n);
  const std::string cor = Format("CSOR%d_INIT", n);
  const std::string ctc = Format("CSTC%d_INIT", n);
  const std::string cs = Format("Chip Select CS%d: ", n);
  const std::string ws = Format("Wait States CS%d: ", n);
  std::vector<std::string> sizes;
  for (uint32_t field = 0; field < 16; ++field) {
    const uint32_t words = BlockWords(field);
    sizes.push_back(words >= 1024 * 1024 ? Format("%uM words", words >> 20)
                                         : Format("%uK words", words >> 10));
  }

  d.Group(Format("Chip Select CS%d", n));
  d.Value({.caption = "Base address:", .field = {.reg = bar, .low = 4, .high = 15},
           .label = cs + "Base address", .number = {.hex = true, .zeroAllowed = true},
           .unit = "(x 0x1000)", .width = 70});
  d.List({.caption = "Blocksize:", .field = {.reg = bar, .low = 0, .high = 3}, .items = sizes,
          .label = cs + "Blocksize", .width = 100});
  d.List({.caption = "Byte Enable:", .field = {.reg = cor, .low = 14, .high = 15},
          .items = {"Reserved", "Upper byte", "Both bytes", "Lower byte"},
          .label = cs + "Byte Enable", .width = 100});
  d.List({.caption = "PS/DS select", .field = {.reg = cor, .low = 12, .high = 13},
          .items = {"Reserved", "Program space", "Data space", "Program and data space"},
          .label = cs + "PS/DS select", .width = 150});
  d.List({.caption = "R/W", .field = {.reg = cor, .low = 10, .high = 11},
          .items = {"Reserved", "Write only", "Read only", "Read and write"},
          .label = cs + "R/W", .width = 110});
  d.List({.caption = "Read  Wait States", .field = {.reg = cor, .low = 0, .high = 4},
          .items = Numbers(32), .label = ws + "Read  Wait States", .width = 50});
  d.List({.caption = "CS Setup", .field = {.reg = cor, .low = 5, .high = 6}, .items = Numbers(4),
          .label = ws + "CS Setup", .width = 50});
  d.List({.caption = "CS Hold", .field = {.reg = cor, .low = 7, .high = 8}, .items = Numbers(4),
          .label = ws + "CS Hold", .width = 50});
  d.List({.caption = "Write Wait States", .field = {.reg = ctc, .low = 0, .high = 4},
          .items = Numbers(32), .label = ws + "Write Wait States", .width = 50});
  d.List({.caption = "Minimal Delay before other CS access", .field = {.reg = ctc, .low = 5, .high = 7},
          .items = Numbers(8), .label = ws + "Minimal Delay before other CS access", .width = 50});
}

void CpmSEMI::UpdateEnables() {
  decl_.ApplyRules();
  for (const auto& sub : chipSelects_) sub->ApplyRules();
}

void RegisterSemiModuleKinds(ModuleFactory& factory) { factory.Register<CpmSEMI>("SEMI"); }

}  // namespace tarq

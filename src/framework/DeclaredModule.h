// The common shape of a module whose page is declared through PageDeclaration: the variant
// row is chosen once when the part is known, the registers are declared once, then the page
// and its comment follow from the declaration.
#pragma once

#include <span>
#include <vector>

#include "framework/Declaration.h"
#include "framework/Module.h"

namespace tarq {

class CDeclaredModule : public CModule {
 public:
  using CModule::CModule;
  // The page's controls point at the declaration's bindings: the page goes first.
  ~CDeclaredModule() override { DestroyPage(); }

  // Variant, registers, the inherited steps ("_RESET" parameters), page and comment.
  void InitModule(ModuleContext& doc) override {
    SetContext(&doc);
    DestroyPage();
    ChooseVariant(doc);
    DeclareRegisters();
    CModule::InitModule(doc);
    decl_.Clear();
    SetHasPins(false);
    DeclarePage(decl_);
    ClearCommentItems();
    decl_.AddCommentItems();
  }
  void BuildPage(Page& page) override { decl_.BuildPage(page); }
  // Modules with rules that no declaration can state call this first.
  void UpdateEnables() override { decl_.ApplyRules(); }

  const PageDeclaration& Declaration() const { return decl_; }
  // The id of a declared control by key (its caption where it has one); 0 when the variant
  // lacks it.
  uint32_t ControlId(const std::string& key) const {
    const DeclaredControl* control = decl_.Find(key);
    if (!control) return 0;
    return control->captionId != 0 ? control->captionId : control->id;
  }

 protected:
  // Bits low..high of one of the module's own registers; 0 when it has no such register.
  uint32_t OwnField(const std::string& reg, int low, int high) const {
    const Register* r = const_cast<CDeclaredModule*>(this)->FindOwnRegister(reg);
    if (!r || low < 0 || high < low) return 0;
    const int width = high - low + 1;
    const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    return (r->value >> low) & mask;
  }
  // Whether the declared box with this key is checked; false when there is none.
  bool IsChecked(const std::string& key) const {
    const DeclaredControl* control = decl_.Find(key);
    return control && control->Bit() && control->Bit()->GetCheck();
  }

  virtual void ChooseVariant(ModuleContext& doc) { (void)doc; }
  virtual void DeclareRegisters() = 0;
  // A page with the pin-warning control calls SetHasPins(true) here.
  virtual void DeclarePage(PageDeclaration& d) = 0;

  PageDeclaration decl_{*this};
};

// The first row whose part test the document passes; a row with a negative test stands for
// every part; the last row when none matches.
template <class Row>
const Row& ChooseRow(std::span<const Row> rows, const ModuleContext& doc, int Row::*partTest) {
  for (const Row& row : rows)
    if (row.*partTest < 0 || doc.TestPart(row.*partTest)) return row;
  return rows.back();
}

// The same for rows that several part tests select; a row without tests stands for every part.
template <class Row>
const Row& ChooseRow(std::span<const Row> rows, const ModuleContext& doc,
                     std::vector<int> Row::*partTests) {
  for (const Row& row : rows) {
    const std::vector<int>& tests = row.*partTests;
    if (tests.empty()) return row;
    for (int test : tests)
      if (doc.TestPart(test)) return row;
  }
  return rows.back();
}

}  // namespace tarq

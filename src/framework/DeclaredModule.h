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

 protected:
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

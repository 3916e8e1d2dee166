// The declaration layer: a module page written as one statement per control. Each statement
// gives the caption, the kind, the register field, the items, the summary label, the comment
// flags, the enable and show rules and the lookup key; ids, bindings, the page layout, the
// comment order, `show`/`set` and the self-test follow from it.
//
//   PageDeclaration& d = Declare();
//   d.Group("Bus Control");
//   d.List({.caption = "Program memory wait states:", .field = {.reg = "-BCR_INIT", .low = 0,
//           .high = 3, .values = {0, 4, 8, 12}}, .items = {"0", "4", "8", "12"}});
//   d.Box({.caption = "External Bus driven when inactive", .field = {.reg = "-BCR_INIT", .low = 9}});
//
// Controls are laid out in groups; groups of one band stand side by side, NextBand starts
// the next band below. Ids are given in declaration order from the first free id, skipping
// the ranges the framework reserves (see IsReservedControlId); a control may name its own id
// where links that users keep refer to it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bindings.h"
#include "framework/Page.h"

namespace tarq {

class CModule;
class CModuleBase;

// Ids the framework hands out itself: interrupt panels and their headers (500..519), the
// pin-warning control (1990), the Toggle Hex/Dec command, port pin rows (0xE900..0xE9FF) and
// crossbar rows (59748..59779).
bool IsReservedControlId(uint32_t id);

// A register bit-field of the module's own table (or of the table of `holder`).
struct FieldSpec {
  std::string reg{};              // register name as in the table; empty: no field
  int low = 0;                    // first bit
  int high = -1;                  // last bit; -1: the single bit `low`
  bool inverted = false;          // boxes: checked means the bit is clear
  uint32_t offset = 0;            // lists and values: the field holds value - offset
  std::vector<uint32_t> values{}; // lists: item position -> field value (empty: the position)
  // Lists on a text register: item position -> text written (a named-text list instead of
  // a bit-field; low, high and values are then unused).
  std::vector<std::string> texts{};
  // The module whose table holds `reg` when it is not this one: a page that edits bits of a
  // partner's register (a shared control register of a module group). Null: this module.
  CModuleBase* holder = nullptr;
  int HighBit() const { return high < 0 ? low : high; }
};

// Numbers typed into an edit box.
struct NumberSpec {
  bool hex = true;
  uint32_t minimum = 0;
  uint32_t maximum = 0;  // relative to the offset; 0: the field's mask
  bool zeroAllowed = false;
};

// Up-down buttons beside an edit box.
struct SpinSpec {
  int minimum = 0;
  int maximum = 0;
  int step = 1;
  uint32_t id = 0;  // the spin's id; 0: next free
};

enum class DeclKind {
  Box,      // check box on one bit
  Radio,    // radio button on one bit; `groupStart` begins a group
  List,     // caption and drop-down list on a field
  Combo,    // caption and editable combo on a field (items plus typed numbers)
  Value,    // caption, edit box on a numeric field, unit text, optional spin
  Text,     // caption and edit box on a text register
  Edit,     // caption, edit box the module reads itself (no register field), unit text
  Display,  // caption, read-only display of a computed value, unit or range text
  Link,     // link text (notes, warnings with links)
  Static,   // a caption nobody binds
};

struct ControlDecl {
  DeclKind kind = DeclKind::Box;
  std::string caption{};   // box text; caption of the other kinds; link markup
  std::string key{};       // lookup key; the caption when empty
  uint32_t id = 0;         // the control (the list, edit or display of captioned kinds); 0: next free
  uint32_t captionId = 0;  // captioned kinds: the caption's id; 0: next free
  FieldSpec field{};
  std::vector<std::string> items{};
  std::string label{};     // summary and comment label; the caption rule when empty
  uint32_t comment = 0;    // comment flags of the binding
  bool commented = true;   // whether the binding enters the header comment
  NumberSpec number{};     // Value
  SpinSpec spin{};         // Value: a spin when maximum > minimum
  std::string unit{};      // Value, Display: a static text after the control
  uint32_t unitId = 0;     // the unit's id; 0: next free
  int width = 0;           // preferred width of the control
  int captionWidth = 0;    // captioned kinds: preferred width of the caption
  bool groupStart = false; // Radio
  bool newRow = true;      // starts a row of its group
  bool shown = true;       // initial show state
  bool enableWhole = false;       // the enable rule covers the caption and the unit as well
  bool unbound = false;           // Box: a view option of the page that no register holds
  bool identifier = false;        // Text: the value names a C function (an interrupt routine)
  std::function<bool()> enabled{};  // enable rule, applied by ApplyRules; none: untouched
  std::function<bool()> visible{};  // show rule, applied by ApplyRules; none: untouched
  // A binding the module makes itself on the field's register (a box over a text register);
  // none: the kind's own binding. It gets the register and the label.
  std::function<std::unique_ptr<CSetCtrl>(RegisterRef reg, const std::string& label)>
      makeBinding{};
};

// One declared control as the module sees it after declaration.
struct DeclaredControl {
  ControlDecl decl;
  uint32_t id = 0;
  uint32_t captionId = 0;
  uint32_t unitId = 0;
  uint32_t spinId = 0;
  CSetCtrl* binding = nullptr;
  // The binding as its kind (null for other kinds).
  CSetBit* Bit() const { return dynamic_cast<CSetBit*>(binding); }
  CSetMode* Mode() const { return dynamic_cast<CSetMode*>(binding); }
  CSetValue* Value() const { return dynamic_cast<CSetValue*>(binding); }
  CSetString* String() const { return dynamic_cast<CSetString*>(binding); }
  CSetEnum* Enum() const { return dynamic_cast<CSetEnum*>(binding); }
  // Every id the control occupies on the page (caption, control, unit, spin).
  std::vector<uint32_t> Ids() const;
};

class PageDeclaration {
 public:
  explicit PageDeclaration(CModule& module);
  ~PageDeclaration();
  PageDeclaration(const PageDeclaration&) = delete;
  PageDeclaration& operator=(const PageDeclaration&) = delete;

  // Forgets every declaration; ids start again at `firstId`.
  void Clear(uint32_t firstId = kFirstDeclaredId);
  // The declaration builds the child page at this placeholder of the module's page (a port's
  // pin row): the rules then address its controls as (placeholder << 16) | id. 0: the page.
  void SetChildPage(uint32_t placeholderId) { childPage_ = placeholderId; }
  static constexpr uint32_t kFirstDeclaredId = 1001;

  // ---- layout ----
  void NextBand();
  // A group box (an empty title: controls outside any frame). `id` 0 takes the next free id.
  void Group(const std::string& title, uint32_t id = 0);

  // ---- controls (each returns the declared control) ----
  DeclaredControl& Add(ControlDecl decl);
  DeclaredControl& Box(ControlDecl decl);
  DeclaredControl& Radio(ControlDecl decl);
  DeclaredControl& List(ControlDecl decl);
  DeclaredControl& Combo(ControlDecl decl);
  DeclaredControl& Value(ControlDecl decl);
  DeclaredControl& Text(ControlDecl decl);
  DeclaredControl& Edit(ControlDecl decl);
  DeclaredControl& Display(ControlDecl decl);
  DeclaredControl& Link(ControlDecl decl);
  DeclaredControl& Static(ControlDecl decl);
  // The pin-warning control (reports where the module's signals reach device pins).
  void PinWarning();
  // Placeholders for the module's interrupt panels (none without interrupts).
  void InterruptPanels(int width);
  // Controls a module builds itself at this position (child-page placeholders, rows that
  // are not register fields); its ids must come from NextId or the reserved ranges.
  // `newRow` false keeps it on the row of the control before.
  void Custom(std::function<void(Page& page)> build, bool newRow = true);
  // Pages whose group boxes all come before any control (band by band), as some pages have
  // always been built; the default puts each band's boxes before that band's controls.
  void FramesFirst(bool first = true) { framesFirst_ = first; }

  // ---- rules by key (a rule for a key the variant lacks is a declaration fault) ----
  void EnableIf(const std::string& key, std::function<bool()> rule);
  void ShowIf(const std::string& key, std::function<bool()> rule);

  // ---- after declaration ----
  uint32_t NextId();
  // The first control with this key (declaration order), or null.
  DeclaredControl* Find(const std::string& key);
  const DeclaredControl* Find(const std::string& key) const;
  const DeclaredControl* FindById(uint32_t id) const;
  bool Has(const std::string& key) const { return Find(key) != nullptr; }
  std::vector<const DeclaredControl*> Controls() const;
  // Builds the page: bands, groups, rows, controls with their bindings attached.
  void BuildPage(Page& page) const;
  // The module's comment items in declaration (page) order.
  void AddCommentItems() const;
  // Applies every enable and show rule to the page (nothing without a page).
  void ApplyRules() const;
  // Declaration faults: a bound control without a register field or with a register the
  // table lacks, an id in a reserved range or given twice, a rule for a missing key.
  std::vector<std::string> Verify() const;

 private:
  struct Item {
    std::unique_ptr<DeclaredControl> control;  // null for panels and custom parts
    enum class Special { None, PinWarning, InterruptPanels, Custom } special = Special::None;
    int width = 0;
    std::function<void(Page&)> build;
    bool newRow = true;
  };
  struct GroupDecl {
    uint32_t id = 0;
    std::string title;
    int band = 0;
    std::vector<Item> items;
  };
  Item& NewItem(bool newRow);
  uint32_t TakeId(uint32_t wanted);
  std::unique_ptr<CSetCtrl> MakeBinding(const DeclaredControl& control);
  void BuildControl(Page& page, const DeclaredControl& control) const;
  static std::string KeyOf(const ControlDecl& decl);

  CModule& module_;
  std::vector<GroupDecl> groups_;
  std::vector<std::unique_ptr<CSetCtrl>> bindings_;
  std::map<std::string, DeclaredControl*> keys_;
  std::vector<std::string> faults_;
  struct Rule {
    std::string key;
    bool enable = true;
    bool whole = false;
    std::function<bool()> rule;
  };
  std::vector<Rule> rules_;
  int band_ = 0;
  uint32_t childPage_ = 0;
  bool framesFirst_ = false;
  uint32_t nextId_ = kFirstDeclaredId;
};

}  // namespace tarq

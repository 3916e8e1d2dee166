#include "app/ProjectDiff.h"

#include <map>
#include <optional>

#include "framework/Bindings.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/Register.h"
#include "project/HeaderFile.h"
#include "project/HeaderWriter.h"
#include "project/ProjDoc.h"
#include "project/UnrecognisedDefinitions.h"

namespace tarq {

namespace {

constexpr const char* kArrow = " \xE2\x86\x92 ";  // " → "
constexpr const char* kNone = "(none)";

Page* OpenPage(CModuleBase& module) {
  if (!module.CreatePage()) return nullptr;
  module.RunDeferredPageWork();
  module.UpdateValues();
  return module.GetPage();
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

// What the control shows the user as its value; nothing for controls that hold none.
std::optional<std::string> ShownValue(const Control& control) {
  if (control.IsButton()) return std::string(control.checked ? "on" : "off");
  if (control.IsChoice()) {
    const std::string selected = control.SelectedText();
    return OneLine(selected.empty() ? control.text : selected);
  }
  if (control.IsEdit() || control.kind == ControlKind::ReadOnlyDisplay)
    return OneLine(control.text);
  return std::nullopt;
}

void ListPage(Page& page, const std::string& keyPrefix, CModuleBase& module, ListedModule& listed) {
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    if (Page* child = page.GetChildPage(control.id))
      ListPage(*child, keyPrefix + std::to_string(control.id) + "/", module, listed);
    const bool bound = control.binding != nullptr;
    if (!bound && control.kind != ControlKind::ReadOnlyDisplay) continue;
    const std::optional<std::string> value = ShownValue(control);
    const std::string label = OneLine(page.LabelOf(control));
    if (!value || label.empty()) continue;
    ListedField field{keyPrefix + std::to_string(control.id), label, *value};
    const RegisterRef& ref = bound ? control.binding->GetRegisterRef() : RegisterRef{};
    if (ref.module == &module && ref.index < listed.registers.size())
      listed.registers[ref.index].fields.push_back(std::move(field));
    else
      listed.others.push_back(std::move(field));
  }
}

ListedModule ListModule(CModuleBase& module) {
  ListedModule listed{module.GetPrefix(), module.GetClass(), module.IsSelected(), {}, {}};
  // One entry per table row, so that bindings find theirs by index; dummies are dropped below.
  for (const Register& reg : module.Registers())
    listed.registers.push_back({reg.Has(DUMMYREG) ? std::string() : module.GetDefineName(reg),
                                CModuleBase::FormatValue(reg, true),
                                {}});
  if (Page* page = OpenPage(module)) ListPage(*page, "", module, listed);
  std::erase_if(listed.registers, [](const ListedRegister& reg) { return reg.define.empty(); });
  return listed;
}

// The settings lines as a save writes them, each by its define name.
std::vector<ListedDefinition> SettingsLines(CProjDocBase& doc) {
  HeaderFile empty;
  HeaderWriteContext context;
  context.settings = &doc.GetSettings();
  context.options = &doc.GetOptions();
  const std::string text = BuildHeaderText(empty, "", true, context);
  std::vector<ListedDefinition> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("#define ", 0) != 0) continue;
    const std::string rest = line.substr(8);
    const size_t blank = rest.find(' ');
    const std::string name = rest.substr(0, blank);
    std::string value = blank == std::string::npos ? "" : rest.substr(blank);
    value.erase(0, value.find_first_not_of(' '));
    if (lines.empty()) {
      lines.push_back({"part", name});  // the first line names the part
      continue;
    }
    if (name == "APPCFG_TARQ_VERSION") {
      // The version of the program that wrote the file, not of this one.
      const Definition* written = doc.GetMainHeader().FindDefinition(name);
      if (written == nullptr) continue;
      value = written->value;
    }
    lines.push_back({name, value});
  }
  return lines;
}

template <typename Item, typename KeyOf, typename Compare>
void Match(const std::vector<Item>& a, const std::vector<Item>& b, KeyOf keyOf, Compare compare) {
  std::map<std::string, const Item*> inB;
  for (const Item& item : b) inB.emplace(keyOf(item), &item);
  std::map<std::string, bool> seen;
  for (const Item& item : a) {
    const auto found = inB.find(keyOf(item));
    compare(&item, found == inB.end() ? nullptr : found->second);
    seen[keyOf(item)] = true;
  }
  for (const Item& item : b)
    if (!seen.count(keyOf(item))) compare(nullptr, &item);
}

std::vector<FieldChange> CompareFields(const std::vector<ListedField>& a,
                                       const std::vector<ListedField>& b) {
  std::vector<FieldChange> changes;
  Match(
      a, b, [](const ListedField& f) { return f.key; },
      [&](const ListedField* x, const ListedField* y) {
        if (x && y && x->value == y->value) return;
        changes.push_back({x ? x->label : y->label, x ? x->value : "", y ? y->value : "",
                           x != nullptr, y != nullptr});
      });
  return changes;
}

std::vector<FieldChange> CompareDefinitions(const std::vector<ListedDefinition>& a,
                                            const std::vector<ListedDefinition>& b) {
  std::vector<FieldChange> changes;
  Match(
      a, b, [](const ListedDefinition& d) { return d.name; },
      [&](const ListedDefinition* x, const ListedDefinition* y) {
        if (x && y && x->value == y->value) return;
        changes.push_back({x ? x->name : y->name, x ? x->value : "", y ? y->value : "",
                           x != nullptr, y != nullptr});
      });
  return changes;
}

ModuleChange CompareModule(const ListedModule& a, const ListedModule& b) {
  ModuleChange change{a.prefix, a.className, true, true, a.selected, b.selected, {}, {}};
  std::vector<ListedField> unchangedA, unchangedB;  // fields of registers equal on both sides
  Match(
      a.registers, b.registers, [](const ListedRegister& r) { return r.define; },
      [&](const ListedRegister* x, const ListedRegister* y) {
        if (x && y && x->value == y->value) {
          unchangedA.insert(unchangedA.end(), x->fields.begin(), x->fields.end());
          unchangedB.insert(unchangedB.end(), y->fields.begin(), y->fields.end());
          return;
        }
        static const std::vector<ListedField> none;
        change.registers.push_back({x ? x->define : y->define, x ? x->value : "", y ? y->value : "",
                                    x != nullptr, y != nullptr,
                                    CompareFields(x ? x->fields : none, y ? y->fields : none)});
      });
  // Texts that follow from other registers or modules (items, displays) change too.
  unchangedA.insert(unchangedA.end(), a.others.begin(), a.others.end());
  unchangedB.insert(unchangedB.end(), b.others.begin(), b.others.end());
  change.others = CompareFields(unchangedA, unchangedB);
  return change;
}

std::string Side(bool present, const std::string& value) {
  if (!present) return kNone;
  return value.empty() ? "(empty)" : value;
}

void AppendChange(std::string& text, const std::string& head, const FieldChange& change) {
  text += head + change.label + ": " + Side(change.inA, change.a) + kArrow +
          Side(change.inB, change.b) + "\n";
}

}  // namespace

ProjectListing ListProject(CProjDocBase& doc) {
  ProjectListing listing;
  listing.settings = SettingsLines(doc);
  for (CModuleBase* module : doc.GetModules()) {
    if (auto* user = dynamic_cast<CpmUNREC*>(module)) {
      for (const CpmUNREC::Entry& entry : user->Entries())
        listing.userDefinitions.push_back({std::string(entry.name), std::string(entry.value)});
      continue;
    }
    listing.modules.push_back(ListModule(*module));
  }
  return listing;
}

ProjectChanges CompareListings(const ProjectListing& a, const ProjectListing& b) {
  ProjectChanges changes;
  changes.settings = CompareDefinitions(a.settings, b.settings);
  changes.userDefinitions = CompareDefinitions(a.userDefinitions, b.userDefinitions);
  Match(
      a.modules, b.modules, [](const ListedModule& m) { return m.prefix + "/" + m.className; },
      [&](const ListedModule* x, const ListedModule* y) {
        if (!x || !y) {
          const ListedModule& only = x ? *x : *y;
          changes.modules.push_back({only.prefix,
                                     only.className,
                                     x != nullptr,
                                     y != nullptr,
                                     x && x->selected,
                                     y && y->selected,
                                     {},
                                     {}});
          return;
        }
        ModuleChange change = CompareModule(*x, *y);
        if (change.selectedA != change.selectedB || !change.registers.empty() ||
            !change.others.empty())
          changes.modules.push_back(std::move(change));
      });
  return changes;
}

std::string ChangesAsText(const ProjectChanges& changes) {
  std::string text;
  for (const FieldChange& change : changes.settings) AppendChange(text, "Settings  ", change);
  for (const ModuleChange& module : changes.modules) {
    if (!module.inA || !module.inB) {
      text += std::string(module.inA ? "Only in A: " : "Only in B: ") + module.prefix + " (" +
              module.className + ")" +
              ((module.inA ? module.selectedA : module.selectedB) ? "" : ", not written") + "\n";
      continue;
    }
    const std::string head = module.prefix + "  ";
    if (module.selectedA != module.selectedB)
      text += head + "written: " + (module.selectedA ? "yes" : "no") + kArrow +
              (module.selectedB ? "yes" : "no") + "\n";
    for (const RegisterChange& reg : module.registers) {
      text +=
          head + reg.define + ": " + Side(reg.inA, reg.a) + kArrow + Side(reg.inB, reg.b) + "\n";
      for (const FieldChange& field : reg.fields) AppendChange(text, head + "  ", field);
    }
    for (const FieldChange& field : module.others) AppendChange(text, head + "  ", field);
  }
  for (const FieldChange& change : changes.userDefinitions)
    AppendChange(text, "User definitions  ", change);
  return text;
}

std::string ListingAsText(const ProjectListing& listing) {
  std::string text;
  for (const ListedDefinition& line : listing.settings)
    text += "Settings  " + line.name + " = " + line.value + "\n";
  for (const ListedModule& module : listing.modules) {
    const std::string head = module.prefix + "  ";
    text += module.prefix + " (" + module.className + ")" +
            (module.selected ? "  written" : "  not written") + "\n";
    for (const ListedRegister& reg : module.registers) {
      text += head + reg.define + " = " + reg.value + "\n";
      for (const ListedField& field : reg.fields)
        text += head + "  " + field.label + " = " + field.value + "\n";
    }
    for (const ListedField& field : module.others)
      text += head + "  " + field.label + " = " + field.value + "\n";
  }
  for (const ListedDefinition& line : listing.userDefinitions)
    text += "User definitions  " + line.name + " = " + line.value + "\n";
  return text;
}

}  // namespace tarq

// The page commands of tarq-cli: show, set, follow and selftest drive the same page models
// as the desktop program.
#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/Cli.h"
#include "app/ClockTreeJson.h"
#include "app/Search.h"
#include "framework/Bindings.h"
#include "framework/Capabilities.h"
#include "framework/Links.h"
#include "framework/ModuleBase.h"
#include "framework/Page.h"
#include "framework/TextUtil.h"
#include "project/ProjDoc.h"

namespace tarq {
namespace {

// Builds a module's page as showing it does: first show, the posted UpdateEnables, values.
Page* OpenPage(CModuleBase& module) {
  if (!module.CreatePage()) return nullptr;
  module.RunDeferredPageWork();
  module.UpdateValues();
  return module.GetPage();
}

std::string WithoutTrailingColons(std::string text) {
  text = ReplaceAll(ReplaceAll(std::move(text), "\r\n", " "), "\n", " ");
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  return text;
}

// The label a binding would take: its own text for buttons, else the caption before it.
std::string LabelOf(Page& page, const Control& control) {
  if (control.binding != nullptr && !control.binding->GetLabel().empty())
    return control.binding->GetLabel();
  if (control.IsButton()) return WithoutTrailingColons(control.text);
  if (control.kind == ControlKind::StaticText || control.kind == ControlKind::GroupBox)
    return WithoutTrailingColons(control.text);
  if (control.kind == ControlKind::Diagram && !control.text.empty()) return control.text;
  Control* before = page.ControlBefore(control);
  if (before != nullptr && before->kind == ControlKind::StaticText)
    return WithoutTrailingColons(before->text);
  return {};
}

std::string KindOf(const Control& control) {
  switch (control.kind) {
    case ControlKind::StaticText: return "label";
    case ControlKind::Placeholder: return "group";
    default: return ControlKindName(control.kind);
  }
}

bool IsWarning(const Control& control) {
  return control.textColour.has_value() && *control.textColour == kWarningTextColour;
}

nlohmann::json DiagramToJson(const std::vector<DiagramBox>& boxes) {
  nlohmann::json list = nlohmann::json::array();
  for (const DiagramBox& box : boxes) {
    list.push_back({{"id", box.id}, {"parent", box.parent.empty() ? nlohmann::json() : nlohmann::json(box.parent)},
                    {"title", box.title}, {"detail", box.detail}, {"value", box.value},
                    {"note", box.note}, {"link", box.link}, {"off", box.off}, {"alert", box.alert}});
  }
  return list;
}

nlohmann::json ControlsToJson(Page& page) {
  nlohmann::json controls = nlohmann::json::array();
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    nlohmann::json item{{"id", control.id},          {"kind", KindOf(control)},
                        {"label", LabelOf(page, control)}, {"text", control.text},
                        {"enabled", control.enabled}, {"visible", control.shown},
                        {"warning", IsWarning(control)}};
    if (control.IsButton()) item["checked"] = control.checked;
    if (control.IsChoice()) {
      item["items"] = control.items;
      item["selection"] = control.selection;
    }
    if (!control.columns.empty()) item["columns"] = control.columns;
    if (control.kind == ControlKind::BarGraph) {
      nlohmann::json segments = nlohmann::json::array();
      for (const BarSegment& segment : control.segments)
        segments.push_back({{"label", segment.label}, {"units", segment.units}});
      item["segments"] = std::move(segments);
      if (control.markerAt >= 0) item["marker"] = {{"at", control.markerAt}, {"label", control.markerLabel}};
    }
    if (control.kind == ControlKind::Diagram) item["boxes"] = DiagramToJson(control.boxes);
    if (Page* child = page.GetChildPage(control.id)) {
      item["children"] = nlohmann::json::array(
          {nlohmann::json{{"id", child->GetChildId()}, {"controls", ControlsToJson(*child)}}});
    }
    controls.push_back(std::move(item));
  }
  return controls;
}

nlohmann::json RegistersToJson(CModuleBase& module) {
  nlohmann::json registers = nlohmann::json::array();
  for (const Register& reg : module.Registers()) {
    if (reg.Has(DUMMYREG)) continue;
    registers.push_back({{"define", module.GetDefineName(reg)},
                         {"value", CModuleBase::FormatValue(reg, false)}});
  }
  return registers;
}

// One line a box, indented under its parent: "PLL (VCO) x30: 240 MHz".
void PrintDiagram(const std::vector<DiagramBox>& boxes, const std::string& indent, std::ostream& out) {
  std::map<std::string, int> depthOf;
  for (const DiagramBox& box : boxes) {
    const auto parent = depthOf.find(box.parent);
    const int depth = parent == depthOf.end() ? 0 : parent->second + 1;
    depthOf[box.id] = depth;
    std::string line = indent + std::string(static_cast<size_t>(depth) * 2, ' ') + box.title;
    if (!box.detail.empty()) line += " " + box.detail;
    line += ": " + box.value;
    if (box.alert) line += " " + box.note + " LIMIT";
    out << line << "\n";
  }
}

void PrintControls(Page& page, int depth, std::ostream& out) {
  const std::string indent(static_cast<size_t>(depth) * 2 + 2, ' ');
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    std::string line = indent + Format("#%-6u %-8s", control.id, KindOf(control).c_str());
    const std::string label = LabelOf(page, control);
    if (!label.empty() && label != control.text) line += " [" + label + "]";
    if (control.IsButton()) line += control.checked ? " (x)" : " ( )";
    if (!control.text.empty()) line += " \"" + ReplaceAll(control.text, "\n", "\\n") + "\"";
    if (control.IsChoice())
      line += Format(" selection %d of %zu", control.selection, control.items.size());
    for (const BarSegment& segment : control.segments)
      line += Format(" [%s %d]", segment.label.c_str(), segment.units);
    if (control.markerAt >= 0) line += Format(" %s at %d", control.markerLabel.c_str(), control.markerAt);
    if (!control.enabled) line += " disabled";
    if (!control.shown) line += " hidden";
    if (IsWarning(control)) line += " WARNING";
    out << line << "\n";
    PrintDiagram(control.boxes, indent + "  ", out);
    if (Page* child = page.GetChildPage(control.id)) PrintControls(*child, depth + 1, out);
  }
}

std::vector<CModuleBase*> ModulesToShow(CProjDocBase& doc, const std::vector<std::string>& prefixes,
                                        std::ostream& err, bool& ok) {
  ok = true;
  if (prefixes.empty()) return doc.GetModules();
  std::vector<CModuleBase*> modules;
  for (const std::string& prefix : prefixes) {
    CModuleBase* module = doc.FindModule(prefix, "");
    if (module == nullptr) {
      err << "tarq-cli: no module '" << prefix << "' in this project\n";
      ok = false;
      continue;
    }
    modules.push_back(module);
  }
  return modules;
}

int RunShow(const CliRequest& request, CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  bool ok = true;
  const std::vector<CModuleBase*> modules = ModulesToShow(doc, request.prefixes, err, ok);
  if (!ok) return kExitFailed;
  for (CModuleBase* module : modules) OpenPage(*module);
  doc.OnIdle();  // warnings colour the labels of the pages just built
  if (request.json) {
    nlohmann::json result{{"part", doc.GetSettings().partName}};
    result["modules"] = nlohmann::json::array();
    for (CModuleBase* module : modules) {
      Page* page = module->GetPage();
      nlohmann::json shown{{"prefix", module->GetPrefix()},
                           {"class", module->GetClass()},
                           {"display", module->GetDisplayName()},
                           {"selected", module->IsSelected()},
                           {"controls", page ? ControlsToJson(*page) : nlohmann::json::array()},
                           {"registers", RegistersToJson(*module)}};
      if (dynamic_cast<ClockTreeSource*>(module)) shown["clockTree"] = ClockTreeToJson(BuildClockTree(&doc));
      result["modules"].push_back(std::move(shown));
    }
    result["warnings"] = nlohmann::json::array();
    for (const Warning& warning : doc.GetWarnings()->Entries()) {
      if (warning.page == nullptr || !warning.page->IsSelected()) continue;
      result["warnings"].push_back({{"module", warning.page->GetPrefix()},
                                    {"id", warning.id},
                                    {"text", warning.text},
                                    {"link", warning.link}});
    }
    out << DumpJson(result) << "\n";
    return kExitOk;
  }
  for (CModuleBase* module : modules) {
    out << module->GetLabel() << (module->IsSelected() ? " [selected]" : "") << "\n";
    if (Page* page = module->GetPage()) PrintControls(*page, 0, out);
    for (const Register& reg : module->Registers()) {
      if (reg.Has(DUMMYREG)) continue;
      out << "  = " << module->GetDefineName(reg) << " " << CModuleBase::FormatValue(reg, false)
          << "\n";
    }
    out << "\n";
  }
  PrintWarnings(doc, false, false, out);
  return kExitOk;
}

// ---- finding the control a `set` names ----

bool IsInputControl(const Control& control) {
  return control.kind != ControlKind::StaticText && control.kind != ControlKind::GroupBox &&
         control.kind != ControlKind::Placeholder && control.kind != ControlKind::LinkText &&
         control.kind != ControlKind::ReadOnlyDisplay;
}

// A page and every child page below it, in the order `show` prints them.
void CollectPages(Page& page, std::vector<Page*>& pages) {
  pages.push_back(&page);
  for (size_t i = 0; i < page.GetControlCount(); ++i)
    if (Page* child = page.GetChildPage(page.ControlAt(i).id)) CollectPages(*child, pages);
}

ControlRef RefOf(Page& page, Control& control) {
  if (control.id != 0) {
    if (ControlRef ref = page.FindControlById(control.id); ref && ref.control == &control)
      return ref;
  }
  return {&page, &control, control.id};
}

// The title of a scope: a group box's text, or a child page's first caption.
std::string ChildPageTitle(Page& child) {
  for (size_t i = 0; i < child.GetControlCount(); ++i) {
    const Control& control = child.ControlAt(i);
    if (control.kind == ControlKind::StaticText && !control.text.empty())
      return WithoutTrailingColons(control.text);
  }
  return {};
}

// Controls of `pages` (restricted to one group box when `group` is not 0) that `name`
// names, as `show` prints them: the label in brackets, the caption before the control, a
// button's text; failing those, the window text of another control.
std::vector<ControlRef> MatchByName(const std::vector<Page*>& pages, uint32_t group,
                                    const std::string& name, const std::string& title = {}) {
  const std::string wanted = WithoutTrailingColons(name);
  // Inside a titled row the label may repeat the row's title: "48. Timer A/priority" names
  // "48. Timer A priority", "Pin  4/Function" names "Pin  4: Function".
  auto labelFits = [&](const std::string& label) {
    if (label.empty()) return false;
    if (label == wanted) return true;
    return !title.empty() && (label == title + " " + wanted || label == title + ": " + wanted);
  };
  std::vector<ControlRef> byLabel, byText;
  auto add = [](std::vector<ControlRef>& list, const ControlRef& ref) {
    for (const ControlRef& known : list)
      if (known.control == ref.control) return;
    list.push_back(ref);
  };
  for (Page* page : pages) {
    for (size_t i = 0; i < page->GetControlCount(); ++i) {
      Control& control = page->ControlAt(i);
      if (group != 0 && control.layout.groupBox != group) continue;
      if (control.kind == ControlKind::StaticText) {
        // A caption names the control after it.
        if (!wanted.empty() && WithoutTrailingColons(control.text) == wanted &&
            i + 1 < page->GetControlCount() && IsInputControl(page->ControlAt(i + 1)))
          add(byLabel, RefOf(*page, page->ControlAt(i + 1)));
        continue;
      }
      if (!IsInputControl(control)) continue;
      const std::string label = LabelOf(*page, control);
      if (labelFits(label) || (control.IsButton() && WithoutTrailingColons(control.text) == wanted))
        add(byLabel, RefOf(*page, control));
      else if (control.text == name)
        add(byText, RefOf(*page, control));
    }
  }
  return byLabel.empty() ? byText : byLabel;
}

// CONTROL is "#ID" (a full id as `show --json` gives it), "#PAGE/CONTROL" (a child page's
// id and, in it, a control's id or name), "GROUP/CONTROL" (a group box title or a child
// page's first caption, then a name inside it), or a name: the label `show` prints in
// brackets, the caption before the control, or its window text. A name that fits several
// controls is refused with their ids.
ControlRef FindTarget(CModuleBase& module, Page& page, const std::string& name,
                      std::string& error) {
  std::vector<Page*> pages;
  CollectPages(page, pages);
  auto unique = [&](const std::vector<ControlRef>& found) -> ControlRef {
    if (found.size() == 1) return found.front();
    if (found.empty()) {
      error = "no control '" + name + "' on the page of " + module.GetPrefix();
      return {};
    }
    error = "'" + name + "' names " + std::to_string(found.size()) + " controls on the page of " +
            module.GetPrefix() + " (";
    for (size_t i = 0; i < found.size(); ++i) {
      if (i > 0) error += ", ";
      const Page* owner = found[i].page;
      error += owner != &page ? Format("#%u/%u", owner->GetChildId(), found[i].control->id)
                              : Format("#%u", found[i].control->id);
    }
    error += "); name one by its id or as GROUP/CONTROL";
    return {};
  };

  if (!name.empty() && name[0] == '#') {
    const std::string rest = name.substr(1);
    const size_t slash = rest.find('/');
    uint32_t id = 0;
    if (slash == std::string::npos) {
      ControlRef ref;
      if (ReadCIntegerExact(rest, id)) ref = module.FindControlById(id);
      if (!ref || !IsInputControl(*ref.control)) {
        error = "no control '" + name + "' on the page of " + module.GetPrefix();
        return {};
      }
      return ref;
    }
    Page* child = nullptr;
    if (ReadCIntegerExact(rest.substr(0, slash), id)) {
      for (Page* candidate : pages)
        if (candidate != &page && candidate->GetChildId() == id) child = candidate;
    }
    if (child == nullptr) {
      error = "no child page '#" + rest.substr(0, slash) + "' on the page of " + module.GetPrefix();
      return {};
    }
    const std::string inner = rest.substr(slash + 1);
    std::vector<Page*> scope;
    CollectPages(*child, scope);
    uint32_t controlId = 0;
    if (ReadCIntegerExact(inner, controlId)) {
      for (Page* candidate : scope)
        if (Control* control = candidate->Find(controlId); control && IsInputControl(*control))
          return RefOf(*candidate, *control);
    }
    return unique(MatchByName(scope, 0, inner));
  }

  // GROUP/CONTROL: only when GROUP is a group title or a child page's caption.
  for (size_t slash = name.find('/'); slash != std::string::npos;
       slash = name.find('/', slash + 1)) {
    const std::string title = WithoutTrailingColons(name.substr(0, slash));
    const std::string inner = name.substr(slash + 1);
    std::vector<ControlRef> found;
    bool scoped = false;
    for (Page* candidate : pages) {
      for (size_t i = 0; i < candidate->GetControlCount(); ++i) {
        const Control& control = candidate->ControlAt(i);
        if (control.kind == ControlKind::GroupBox && WithoutTrailingColons(control.text) == title) {
          scoped = true;
          for (const ControlRef& ref : MatchByName({candidate}, control.id, inner))
            found.push_back(ref);
        }
      }
      if (candidate != &page && ChildPageTitle(*candidate) == title) {
        scoped = true;
        std::vector<Page*> scope;
        CollectPages(*candidate, scope);
        for (const ControlRef& ref : MatchByName(scope, 0, inner, title)) found.push_back(ref);
      }
    }
    if (scoped) {
      std::vector<ControlRef> distinct;
      for (const ControlRef& ref : found)
        if (std::none_of(distinct.begin(), distinct.end(),
                         [&](const ControlRef& known) { return known.control == ref.control; }))
          distinct.push_back(ref);
      return unique(distinct);
    }
  }
  return unique(MatchByName(pages, 0, name));
}

bool ParseSwitchValue(const std::string& value, bool& on) {
  if (value == "1" || EqualsNoCase(value, "on")) return on = true, true;
  if (value == "0" || EqualsNoCase(value, "off")) return on = false, true;
  return false;
}

int ItemIndex(const Control& control, const std::string& value) {
  if (!value.empty() && value[0] == '#') {
    uint32_t index = 0;
    if (ReadCIntegerExact(value.substr(1), index) && index < control.items.size())
      return static_cast<int>(index);
    return -1;
  }
  for (size_t i = 0; i < control.items.size(); ++i)
    if (control.items[i] == value) return static_cast<int>(i);
  return -1;
}

// Acts as a user on one control; false with `error` when the value does not fit the control.
bool Apply(CModuleBase& module, const ControlRef& ref, const std::string& value, std::string& error) {
  Page& root = *module.GetPage();
  const Control& control = *ref.control;
  const uint32_t id = ref.fullId;
  if (!control.enabled || !control.shown) return error = "the control is disabled or hidden", false;
  if (control.IsButton()) {
    bool on = false;
    if (!ParseSwitchValue(value, on)) return error = "expected 1, 0, on or off", false;
    if (control.kind == ControlKind::RadioButton && !on)
      return error = "a radio button is switched off by choosing another one", false;
    if (control.checked != on) root.Click(id);
    root.FocusLost(id);
    return true;
  }
  if (control.IsChoice()) {
    const int index = ItemIndex(control, value);
    if (index >= 0) {
      root.SelectItem(id, index);
    } else if (control.kind == ControlKind::EditableCombo) {
      root.TypeText(id, value);
    } else {
      return error = "no such item", false;
    }
    root.FocusLost(id);
    return true;
  }
  if (control.kind == ControlKind::EditBox) {
    root.FocusGained(id);
    root.TypeText(id, value);
    root.FocusLost(id);
    return true;
  }
  return error = "the control takes no input", false;
}

int RunSet(const CliRequest& request, CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  CModuleBase* module = doc.FindModule(request.prefixes.front(), "");
  if (module == nullptr) {
    err << "tarq-cli: no module '" << request.prefixes.front() << "' in this project\n";
    return kExitFailed;
  }
  Page* page = OpenPage(*module);
  if (page == nullptr) {
    err << "tarq-cli: module '" << module->GetPrefix() << "' has no page\n";
    return kExitFailed;
  }
  doc.OnIdle();
  for (const std::string& assignment : request.assignments) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
      err << "tarq-cli: '" << assignment << "' is not CONTROL=VALUE\n";
      return kExitUsage;
    }
    const std::string name = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    std::string findError;
    const ControlRef target = FindTarget(*module, *page, name, findError);
    if (!target) {
      err << "tarq-cli: " << findError << "\n";
      return kExitFailed;
    }
    std::string error;
    if (!Apply(*module, target, value, error)) {
      err << "tarq-cli: " << name << "=" << value << ": " << error << "\n";
      return kExitFailed;
    }
    // The binding's own check with its messages (shown on stderr by the batch host).
    if (target.control->binding != nullptr && !target.control->binding->Validate(true)) return kExitFailed;
    if (!module->ValidateControls(true)) return kExitFailed;
  }
  // Saved first: the warnings printed are those `check` gives for the saved result.
  const bool saved = !request.save || doc.Save();
  doc.OnIdle();
  PrintWarnings(doc, false, request.json, out);
  if (!saved) {
    PrintSaveFailure(doc, err);
    return kExitFailed;
  }
  return kExitOk;
}

// Why a program link finds no module: no module has its prefix, or the one that has it is
// of another class (often a control written where the class belongs).
std::string MissingLinkTargetMessage(CProjDocBase& doc, const LinkParts& parts) {
  const CModuleBase* byPrefix = doc.FindModule(parts.prefix, "");
  if (byPrefix == nullptr) return "the link names no module of this project (" + parts.prefix + ")";
  std::string message =
      "module " + parts.prefix + " is of class " + byPrefix->GetClass() + ", not " + parts.kind;
  if (parts.control.empty())
    message += " (a link names the class before the control: tarq:" + parts.prefix + "/" +
               byPrefix->GetClass() + "/" + parts.kind + ")";
  return message;
}

// Whether the target's page has the control a link names. A page built only to look is
// taken down again, so following the link starts from the state it would without the check.
bool HasLinkControl(CModuleBase& target, const std::string& control) {
  const bool built = target.HasPage();
  if (!built && OpenPage(target) == nullptr) return false;
  const bool found = static_cast<bool>(target.FindLinkControl(control));
  if (!built) target.DestroyPage();
  return found;
}

int RunFollow(const CliRequest& request, CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  LinkParts parts;
  if (!SplitProgramLink(DecodeUrlEscapes(request.link), parts)) {
    err << "tarq-cli: '" << request.link << "' is not a tarq: or tarqna: link\n";
    return kExitFailed;
  }
  CModuleBase* target = doc.FindModule(parts.prefix, parts.kind);
  if (target == nullptr) {
    err << "tarq-cli: " << MissingLinkTargetMessage(doc, parts) << "\n";
    return kExitFailed;
  }
  doc.OnIdle();
  if (!parts.control.empty() && !HasLinkControl(*target, parts.control)) {
    // Nothing is followed: a script learns of the broken link before anything changes.
    err << "tarq-cli: " << MissingLinkControlMessage(target->GetPrefix(), parts.control) << "\n";
    return kExitFailed;
  }
  target->OpenLink(request.link, {});
  doc.OnIdle();
  const bool saved = !request.save || doc.Save();
  doc.OnIdle();
  PrintWarnings(doc, false, false, out);
  if (!saved) {
    PrintSaveFailure(doc, err);
    return kExitFailed;
  }
  return kExitOk;
}

// What a script types to act on a search hit: the set command for a control or an item.
std::string SetCommandOf(const SearchEntry& entry) {
  if (entry.setName.empty()) return {};
  const std::string value = entry.kind == SearchHitKind::Item ? entry.text : "VALUE";
  return "set " + entry.module + " \"" + entry.setName + "=" + value + "\"";
}

int RunFind(const CliRequest& request, CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  if (SearchWords(request.text).empty()) {
    err << "tarq-cli: give a word to find\n";
    return kExitUsage;
  }
  doc.OnIdle();  // the warnings are part of what is searched
  SettingsIndex index;
  index.Build(doc);
  const std::vector<SearchHit> hits = index.Find(request.text, request.changedOnly);
  if (request.json) {
    nlohmann::json result{{"query", request.text}, {"changedOnly", request.changedOnly}};
    result["hits"] = nlohmann::json::array();
    for (const SearchHit& hit : hits) {
      const SearchEntry& entry = *hit.entry;
      result["hits"].push_back({{"module", entry.module},
                                {"group", entry.group},
                                {"kind", SearchHitKindName(entry.kind)},
                                {"text", entry.text},
                                {"set", entry.setName.empty() ? nlohmann::json() : nlohmann::json(entry.setName)},
                                {"link", entry.link},
                                {"changed", entry.changed},
                                {"rank", hit.rank}});
    }
    out << DumpJson(result) << "\n";
  } else {
    for (const SearchHit& hit : hits) {
      const SearchEntry& entry = *hit.entry;
      std::string line = Format("%-10s %-8s %s", entry.module.c_str(),
                                SearchHitKindName(entry.kind), entry.text.c_str());
      if (!entry.group.empty() && entry.group != entry.text) line += "  (" + entry.group + ")";
      if (const std::string command = SetCommandOf(entry); !command.empty())
        line += "  -> " + command;
      out << line << "\n";
    }
  }
  if (hits.empty()) err << "tarq-cli: nothing matches '" << request.text << "'\n";
  return hits.empty() ? kExitFailed : kExitOk;
}

int RunSelfTestCommand(CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  if (!doc.RunSelfTest()) {
    err << "tarq-cli: the self-test could not write its log\n";
    return kExitFailed;
  }
  out << doc.GetProjectRoot() << "/tarq_selftest.log\n";
  return kExitOk;
}

}  // namespace

std::string SetNameOf(CModuleBase& module, const ControlRef& ref) {
  Page* root = module.GetPage();
  if (root == nullptr || !ref) return {};
  auto names = [&](const std::string& name) {
    std::string error;
    const ControlRef found = FindTarget(module, *root, name, error);
    return found && found.control == ref.control;
  };
  const std::string label = LabelOf(*ref.page, *ref.control);
  if (!label.empty() && label.find('/') == std::string::npos && label[0] != '#') {
    if (names(label)) return label;
    std::string title;
    if (ref.control->layout.groupBox != 0)
      if (const Control* box = ref.page->Find(ref.control->layout.groupBox))
        title = WithoutTrailingColons(box->text);
    if (title.empty() && ref.page != root) title = ChildPageTitle(*ref.page);
    if (!title.empty() && title.find('/') == std::string::npos && names(title + "/" + label))
      return title + "/" + label;
  }
  if (ref.page != root) return Format("#%u/%u", ref.page->GetChildId(), ref.control->id);
  return Format("#%u", ref.fullId);
}

ControlRef FindSetTarget(CModuleBase& module, const std::string& name, std::string& error) {
  Page* root = module.GetPage();
  if (root == nullptr) {
    error = "module '" + module.GetPrefix() + "' has no page";
    return {};
  }
  return FindTarget(module, *root, name, error);
}

int RunPageCommand(const CliRequest& request, CProjDocBase& doc, std::ostream& out,
                   std::ostream& err) {
  switch (request.command) {
    case CliRequest::Command::Show: return RunShow(request, doc, out, err);
    case CliRequest::Command::Set: return RunSet(request, doc, out, err);
    case CliRequest::Command::Follow: return RunFollow(request, doc, out, err);
    case CliRequest::Command::SelfTest: return RunSelfTestCommand(doc, out, err);
    case CliRequest::Command::Find: return RunFind(request, doc, out, err);
    default: return kExitUsage;
  }
}

}  // namespace tarq

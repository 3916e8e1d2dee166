// The page commands of tarq-cli: show, set, follow and selftest drive the same page models
// as the desktop program.
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/Cli.h"
#include "framework/Bindings.h"
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
    if (!control.enabled) line += " disabled";
    if (!control.shown) line += " hidden";
    if (IsWarning(control)) line += " WARNING";
    out << line << "\n";
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
      result["modules"].push_back({{"prefix", module->GetPrefix()},
                                   {"class", module->GetClass()},
                                   {"display", module->GetDisplayName()},
                                   {"selected", module->IsSelected()},
                                   {"controls", page ? ControlsToJson(*page) : nlohmann::json::array()},
                                   {"registers", RegistersToJson(*module)}});
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

// CONTROL is "#id", an exact window text, or the caption before the control; "GROUP/CONTROL"
// looks only inside the group box of that title.
ControlRef FindTarget(CModuleBase& module, Page& page, const std::string& name) {
  if (!name.empty() && name[0] == '#') {
    uint32_t id = 0;
    if (!ReadCIntegerExact(name.substr(1), id)) return {};
    return module.FindControlById(id);
  }
  uint32_t group = 0;
  std::string wanted = name;
  const size_t slash = name.find('/');
  if (slash != std::string::npos) {
    const std::string title = name.substr(0, slash);
    for (size_t i = 0; i < page.GetControlCount(); ++i) {
      const Control& control = page.ControlAt(i);
      if (control.kind == ControlKind::GroupBox && control.text == title) {
        group = control.id;
        wanted = name.substr(slash + 1);
        break;
      }
    }
  }
  for (size_t i = 0; i < page.GetControlCount(); ++i) {
    Control& control = page.ControlAt(i);
    if (group != 0 && control.layout.groupBox != group) continue;
    const bool inputControl = control.kind != ControlKind::StaticText &&
                              control.kind != ControlKind::GroupBox;
    if (inputControl && control.text == wanted) return {&page, &control, control.id};
    if (control.kind == ControlKind::StaticText && control.text == wanted &&
        i + 1 < page.GetControlCount()) {
      Control& next = page.ControlAt(i + 1);
      return {&page, &next, next.id};
    }
  }
  if (group == 0) {
    ControlRef ref = module.FindControlByText(name);
    if (ref && ref.control->kind != ControlKind::StaticText) return ref;
  }
  return {};
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
    const ControlRef target = FindTarget(*module, *page, name);
    if (!target) {
      err << "tarq-cli: no control '" << name << "' on the page of " << module->GetPrefix() << "\n";
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
  doc.OnIdle();
  PrintWarnings(doc, false, request.json, out);
  if (request.save && !doc.Save()) {
    PrintSaveFailure(doc, err);
    return kExitFailed;
  }
  return kExitOk;
}

int RunFollow(const CliRequest& request, CProjDocBase& doc, std::ostream& out, std::ostream& err) {
  LinkParts parts;
  if (!SplitProgramLink(DecodeUrlEscapes(request.link), parts)) {
    err << "tarq-cli: '" << request.link << "' is not a tarq: or tarqna: link\n";
    return kExitFailed;
  }
  CModuleBase* target = doc.FindModule(parts.prefix, parts.kind);
  if (target == nullptr) {
    err << "tarq-cli: the link names no module of this project\n";
    return kExitFailed;
  }
  doc.OnIdle();
  target->OpenLink(request.link, {});
  doc.OnIdle();
  PrintWarnings(doc, false, false, out);
  if (request.save && !doc.Save()) {
    PrintSaveFailure(doc, err);
    return kExitFailed;
  }
  return kExitOk;
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

int RunPageCommand(const CliRequest& request, CProjDocBase& doc, std::ostream& out,
                   std::ostream& err) {
  switch (request.command) {
    case CliRequest::Command::Show: return RunShow(request, doc, out, err);
    case CliRequest::Command::Set: return RunSet(request, doc, out, err);
    case CliRequest::Command::Follow: return RunFollow(request, doc, out, err);
    case CliRequest::Command::SelfTest: return RunSelfTestCommand(doc, out, err);
    default: return kExitUsage;
  }
}

}  // namespace tarq

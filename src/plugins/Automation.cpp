#include "plugins/Automation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "framework/Hints.h"
#include "framework/ModuleBase.h"
#include "framework/TextUtil.h"
#include "plugins/PluginLoader.h"
#include "plugins/PluginModule.h"
#include "project/KnownParts.h"
#include "project/ProjDoc.h"

namespace tarq {

using nlohmann::json;

namespace {

std::vector<CConfigToolObj*>& LiveObjects() {
  static std::vector<CConfigToolObj*> objects;
  return objects;
}

CModuleBase*& CurrentPageModule() {
  static CModuleBase* module = nullptr;
  return module;
}

// A variant as text: texts as they are, whole numbers without a fraction, booleans as the
// automation world writes them.
bool ValueAsText(const json& value, std::string& text) {
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_boolean()) {
    text = value.get<bool>() ? "True" : "False";
  } else if (value.is_number_integer()) {
    text = value.is_number_unsigned() ? std::to_string(value.get<uint64_t>())
                                      : std::to_string(value.get<int64_t>());
  } else if (value.is_number_float()) {
    text = Format("%.15g", value.get<double>());
  } else {
    return false;
  }
  return true;
}

// A variant as a 32-bit integer: numbers (a fraction rounds), texts in C syntax, booleans.
bool ValueAsInteger(const json& value, uint32_t& number) {
  if (value.is_boolean()) {
    number = value.get<bool>() ? 1 : 0;
    return true;
  }
  if (value.is_number_integer()) {
    if (value.is_number_unsigned()) {
      const uint64_t n = value.get<uint64_t>();
      if (n > 0xFFFFFFFFull) return false;
      number = static_cast<uint32_t>(n);
      return true;
    }
    const int64_t n = value.get<int64_t>();
    if (n < INT32_MIN || n > static_cast<int64_t>(UINT32_MAX)) return false;
    number = static_cast<uint32_t>(n);
    return true;
  }
  if (value.is_number_float()) {
    const double d = std::nearbyint(value.get<double>());
    if (!std::isfinite(d) || d < INT32_MIN || d > UINT32_MAX) return false;
    number = d < 0 ? static_cast<uint32_t>(static_cast<int32_t>(d)) : static_cast<uint32_t>(d);
    return true;
  }
  if (value.is_string()) return ReadCIntegerExact(value.get<std::string>(), number);
  return false;
}

bool IsEmptyValue(const json& value) {
  return value.is_null() || (value.is_string() && value.get<std::string>().empty());
}

// Follows a document's broadcasts for the automation objects: the refresh and update events
// of plugin modules, and, when the document empties itself, the closing event and the
// unbinding of every object, so that no object is left holding a destroyed module.
class AutomationDocumentWatch : public DocumentObserver {
 public:
  explicit AutomationDocumentWatch(CProjDocBase& doc) : doc_(doc) {}
  void OnHint(int hint, CModuleBase* sender) override {
    if (hint == kHintPageRefreshed && sender != nullptr) {
      if (dynamic_cast<CPluginModule*>(sender)) RaiseAutomationEvent(sender, kEventRefreshAll);
      return;
    }
    if (hint == kHintPageUpdated && sender != nullptr) {
      if (dynamic_cast<CPluginModule*>(sender)) RaiseAutomationEvent(sender, kEventUpdateAll);
      return;
    }
    if (hint != kHintDocumentClosing) return;
    // Plugin applications hear of the closing while their module still stands.
    for (CModuleBase* module : doc_.GetModules())
      if (dynamic_cast<CPluginModule*>(module)) RaiseAutomationEvent(module, kEventProjectClosing);
    for (CModuleBase* module : doc_.GetModules()) {
      for (CConfigToolObj* object : LiveObjects())
        if (object->GetModule() == module) object->Unbind();
      if (CurrentPageModule() == module) CurrentPageModule() = nullptr;
    }
  }

 private:
  CProjDocBase& doc_;
};

}  // namespace

// ---- the object ----

CConfigToolObj::CConfigToolObj(CProjDocBase* doc) : doc_(doc), module_(CurrentPageModule()) {
  LiveObjects().push_back(this);
}

CConfigToolObj::~CConfigToolObj() {
  auto& objects = LiveObjects();
  objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
}

void CConfigToolObj::AddSink(AutomationEventSink* sink) {
  if (std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) sinks_.push_back(sink);
}

void CConfigToolObj::RemoveSink(AutomationEventSink* sink) {
  sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

bool CConfigToolObj::AssignModule(const std::string& prefix) {
  CModuleBase* found = doc_ != nullptr ? doc_->FindModule(prefix, "") : nullptr;
  if (found == nullptr) return false;
  module_ = found;
  found->RefreshAll();
  return true;
}

bool CConfigToolObj::SetReg(const std::string& name, const json& value) {
  if (module_ == nullptr || IsEmptyValue(value)) return false;
  CModuleBase* owner = nullptr;
  Register* reg = module_->FindRegister(name, &owner);
  if (reg == nullptr) return false;
  bool changed = false;
  if (reg->Has(STRVALUE)) {
    std::string text;
    std::string why;
    // A text that would break the header line (a line break, NUL, a comment end) is refused.
    if (!ValueAsText(value, text) || !CModuleBase::CheckTextValue(text, false, why)) return false;
    const uint32_t hasText = text.empty() ? 0 : 1;
    changed = text != reg->text || hasText != reg->value;
    reg->text = std::move(text);
    reg->value = hasText;
  } else {
    uint32_t number = 0;
    if (!ValueAsInteger(value, number)) return false;
    if (!reg->Has(SIGNEDVALUE)) number &= reg->Limit();
    changed = number != reg->value;
    reg->value = number;
  }
  if (changed && owner->GetContext() != nullptr)
    owner->GetContext()->Broadcast(kHintValueChanged, owner);
  return true;
}

json CConfigToolObj::GetReg(const std::string& name) {
  CModuleBase* owner = nullptr;
  if (Register* reg = module_ != nullptr ? module_->FindRegister(name, &owner) : nullptr) {
    if (reg->Has(STRVALUE)) return reg->value != 0 ? reg->text : std::string();
    if (reg->Has(SIGNEDVALUE)) return static_cast<int32_t>(reg->value);
    return reg->value;
  }
  if (doc_ == nullptr) return nullptr;
  const ProjectSettings& settings = doc_->GetSettings();
  if (name == "EXTCLK" || name == "APPCFG_EXTCLK") return static_cast<double>(settings.extClkMHz);
  if (name == "EXTAL" || name == "APPCFG_EXTAL") return static_cast<double>(settings.extalMHz);
  if (name == "APPCFGID") {
    if (settings.partRow < 0 || settings.partRow >= kKnownPartCount) return std::string();
    return std::string(KnownParts()[static_cast<size_t>(settings.partRow)].name);
  }
  return nullptr;
}

void CConfigToolObj::SetWarning(uint32_t warningId, bool set, const std::string& text) {
  if (module_ == nullptr) return;
  module_->SetWarning(warningId, set, text.empty() ? std::string(kUnspecifiedWarning) : text);
}

void CConfigToolObj::NavigatePage(const std::string& url, const std::string& tipText) {
  if (module_ != nullptr) module_->OpenLink(url, tipText);
}

void CConfigToolObj::SetComment(const std::string& comment) {
  if (auto* html = dynamic_cast<CHtmlModule*>(module_)) html->SetComment(comment);
}

json CConfigToolObj::CreateDynamicPlugin(const std::string& id, const std::string& className,
                                         const std::string& treePath, const std::string& headerFile,
                                         const std::string& helpFile,
                                         const std::string& deviceFilter) {
  if (doc_ == nullptr || id.empty()) return nullptr;
  CPluginInfo info;
  info.id = id;
  info.className = className.empty() ? id : className;
  info.treePath = treePath.empty() ? "Dynamic plugin " + id : treePath;
  info.displayName = info.treePath.substr(info.treePath.rfind('\\') + 1);
  info.headerFile = headerFile;
  info.helpFile = helpFile;
  info.deviceFilter = deviceFilter;
  if (CModuleBase* existing = doc_->FindModule(info.id, info.className)) {
    module_ = existing;
    return false;
  }
  PluginLoader loader(*doc_, false);
  const size_t before = doc_->GetModuleCount();
  CPluginModule* module = loader.CreatePluginModule(info);
  if (module == nullptr) return nullptr;
  // It joins an open project, with any tree folders made for it: their own start steps and
  // their definitions now.
  const std::vector<CModuleBase*> modules = doc_->GetModules();
  for (size_t i = before; i < modules.size(); ++i) {
    modules[i]->InitModule(*doc_);
    modules[i]->OnModulesReady();
    HeaderFile* source = modules[i]->GetDefineSource();
    modules[i]->LoadDefines(source != nullptr ? *source : doc_->GetMainHeader());
  }
  doc_->Broadcast(kHintModulesAdded, module);
  module_ = module;
  return info.id + "/" + info.className;
}

// ---- events ----

const std::vector<CConfigToolObj*>& AutomationObjects() { return LiveObjects(); }

bool RaiseAutomationEvent(CModuleBase* module, const std::string& event, const json& params) {
  bool handled = false;
  // A copy: a sink may create or release objects while it handles the event.
  const std::vector<CConfigToolObj*> objects = LiveObjects();
  for (CConfigToolObj* object : objects) {
    const auto& live = LiveObjects();
    if (std::find(live.begin(), live.end(), object) == live.end()) continue;
    if (object->GetModule() != module) continue;
    const std::vector<AutomationEventSink*> sinks = object->Sinks();
    for (AutomationEventSink* sink : sinks) {
      json answer;
      // A sink that fails or times out does not stop the others.
      if (!sink->Deliver(event, params, answer)) continue;
      if ((answer.is_number() && answer.get<double>() != 0) ||
          (answer.is_boolean() && answer.get<bool>()))
        handled = true;
    }
  }
  return handled;
}

void SetCurrentPluginPageModule(CModuleBase* module) { CurrentPageModule() = module; }
CModuleBase* CurrentPluginPageModule() { return CurrentPageModule(); }

void WatchDocumentForAutomation(CProjDocBase& doc) {
  static std::map<CProjDocBase*, std::unique_ptr<AutomationDocumentWatch>> observers;
  auto& observer = observers[&doc];
  if (!observer) observer = std::make_unique<AutomationDocumentWatch>(doc);
  doc.AddObserver(observer.get());
}

void UnbindAutomationObjects(CModuleBase* module) {
  for (CConfigToolObj* object : LiveObjects())
    if (object->GetModule() == module) object->Unbind();
  if (CurrentPageModule() == module) CurrentPageModule() = nullptr;
}

}  // namespace tarq

// The automation object that plugin applications and page scripts drive: registers, warnings,
// comments and navigation of the running project, and the events that modules raise to the
// objects bound to them. The transport (a socket, a web channel) lives in the front ends.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tarq {

class CModuleBase;
class CProjDocBase;

// Where an object's events go. Deliver sends one event and waits, bounded, for the answer;
// false when the sink failed or did not answer in time.
class AutomationEventSink {
 public:
  virtual ~AutomationEventSink() = default;
  virtual bool Deliver(const std::string& event, const nlohmann::json& params,
                       nlohmann::json& answer) = 0;
};

// Event names, in the order of their dispatch ids.
inline constexpr const char* kEventRefreshAll = "OnRefreshAll";
inline constexpr const char* kEventUpdateAll = "OnUpdateAll";
inline constexpr const char* kEventCheckWarnings = "OnCheckWarnings";
inline constexpr const char* kEventShowToolTip = "OnShowToolTip";
inline constexpr const char* kEventGenerateComment = "OnGenerateComment";
inline constexpr const char* kEventProjectClosing = "OnProjectClosing";

inline constexpr const char* kUnspecifiedWarning = "Unspecified Warning";

class CConfigToolObj {
 public:
  // Bound to the current plugin page module of `doc`, or to none.
  explicit CConfigToolObj(CProjDocBase* doc);
  ~CConfigToolObj();
  CConfigToolObj(const CConfigToolObj&) = delete;
  CConfigToolObj& operator=(const CConfigToolObj&) = delete;

  CModuleBase* GetModule() const { return module_; }
  CProjDocBase* GetDocument() const { return doc_; }
  void Bind(CModuleBase* module) { module_ = module; }
  // The module is being destroyed: the object keeps no reference to it.
  void Unbind() { module_ = nullptr; }

  void AddSink(AutomationEventSink* sink);
  void RemoveSink(AutomationEventSink* sink);
  const std::vector<AutomationEventSink*>& Sinks() const { return sinks_; }

  // ---- methods ----
  bool AssignModule(const std::string& prefix);
  // `value` is a text, a number or a boolean; null counts as empty.
  bool SetReg(const std::string& name, const nlohmann::json& value);
  // A text, a signed or unsigned number, a double for the clock names; null when unknown.
  nlohmann::json GetReg(const std::string& name);
  void SetWarning(uint32_t warningId, bool set, const std::string& text);
  void NavigatePage(const std::string& url, const std::string& tipText);
  void SetComment(const std::string& comment);
  // "ID/CLASS" of the new module; false (as JSON) when one of that id and class exists, the
  // object is then bound to it; null when no module could be made.
  nlohmann::json CreateDynamicPlugin(const std::string& id, const std::string& className,
                                     const std::string& treePath, const std::string& headerFile,
                                     const std::string& helpFile, const std::string& deviceFilter);

 private:
  CProjDocBase* doc_;
  CModuleBase* module_ = nullptr;
  std::vector<AutomationEventSink*> sinks_;
};

// Every live object, in creation order.
const std::vector<CConfigToolObj*>& AutomationObjects();

// Raises an event to every object bound to `module` and to each sink of such an object, in
// list order. True when any sink answered with a non-zero value (a handled tooltip).
bool RaiseAutomationEvent(CModuleBase* module, const std::string& event,
                          const nlohmann::json& params = nlohmann::json::array());

// The web-page module whose page the main document showed last; new objects bind to it.
void SetCurrentPluginPageModule(CModuleBase* module);
CModuleBase* CurrentPluginPageModule();

// Lets the document's broadcasts reach the automation objects: the refresh and update events
// of plugin modules, and the unbinding of every object when the document empties itself.
// Idempotent.
void WatchDocumentForAutomation(CProjDocBase& doc);
// Unbinds every object bound to a module that is going away.
void UnbindAutomationObjects(CModuleBase* module);

}  // namespace tarq

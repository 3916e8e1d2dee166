#include "plugins/AutomationRpc.h"

#include <sstream>

#include "app/Cli.h"
#include "project/ProjDoc.h"

namespace tarq {

using nlohmann::json;

namespace {

json ErrorAnswer(const json& id, int code, const std::string& message) {
  return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

const json& Param(const json& params, size_t index) {
  static const json missing;
  return index < params.size() ? params[index] : missing;
}

// A text argument: texts, numbers and booleans convert; a missing one is empty.
std::string TextParam(const json& params, size_t index) {
  const json& value = Param(params, index);
  if (value.is_null()) return {};
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "True" : "False";
  if (value.is_number_integer()) return value.dump();
  if (value.is_number_float()) return value.dump();
  throw RpcError{kRpcInvalidParams, "argument " + std::to_string(index + 1) + " must be a text"};
}

int64_t IntegerParam(const json& params, size_t index) {
  const json& value = Param(params, index);
  if (value.is_null()) return 0;
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number()) return static_cast<int64_t>(value.get<double>());
  throw RpcError{kRpcInvalidParams, "argument " + std::to_string(index + 1) + " must be a number"};
}

bool BoolParam(const json& params, size_t index) {
  const json& value = Param(params, index);
  if (value.is_null()) return false;
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0;
  throw RpcError{kRpcInvalidParams, "argument " + std::to_string(index + 1) + " must be a boolean"};
}

// A variant argument: anything but a list or an object.
const json& ValueParam(const json& params, size_t index) {
  const json& value = Param(params, index);
  if (value.is_structured())
    throw RpcError{kRpcInvalidParams, "argument " + std::to_string(index + 1) + " must be a value"};
  return value;
}

bool IsValidId(const json& id) { return id.is_null() || id.is_string() || id.is_number(); }

}  // namespace

AutomationSession::AutomationSession(CProjDocBase* doc, AutomationTransport& transport)
    : doc_(doc), transport_(transport), object_(doc) {}

AutomationSession::~AutomationSession() { object_.RemoveSink(this); }

std::string AutomationSession::HandleLine(const std::string& line) {
  if (line.size() > kRpcMaxLine)
    return ErrorAnswer(nullptr, kRpcInvalidRequest, "Invalid Request: line too long").dump();
  bool tooDeep = false;
  const json::parser_callback_t limitDepth = [&](int depth, json::parse_event_t, json&) {
    if (depth <= kRpcMaxDepth) return true;
    tooDeep = true;
    return false;
  };
  json message = json::parse(line, limitDepth, false);
  if (message.is_discarded()) return ErrorAnswer(nullptr, kRpcParseError, "Parse error").dump();
  if (tooDeep)
    return ErrorAnswer(nullptr, kRpcInvalidRequest, "Invalid Request: nested too deeply").dump();
  if (message.is_array()) {
    if (message.empty()) return ErrorAnswer(nullptr, kRpcInvalidRequest, "Invalid Request").dump();
    json answers = json::array();
    for (const json& item : message) {
      json answer = HandleMessage(item);
      if (!answer.is_null()) answers.push_back(std::move(answer));
    }
    return answers.empty() ? std::string()
                           : answers.dump(-1, ' ', false, json::error_handler_t::replace);
  }
  json answer = HandleMessage(message);
  return answer.is_null() ? std::string()
                          : answer.dump(-1, ' ', false, json::error_handler_t::replace);
}

json AutomationSession::HandleMessage(const json& message) {
  if (!message.is_object()) return ErrorAnswer(nullptr, kRpcInvalidRequest, "Invalid Request");
  const bool hasId = message.contains("id");
  const json id = hasId ? message["id"] : json();
  // The client's answer to one of our events.
  if (!message.contains("method") && (message.contains("result") || message.contains("error"))) {
    if (id.is_number_integer()) {
      const int64_t eventId = id.get<int64_t>();
      answers_[eventId] = message.contains("result") ? message["result"] : json();
      if (message.contains("error")) answers_[eventId] = json::object({{"failed", true}});
    }
    return nullptr;
  }
  if (message.value("jsonrpc", json()) != "2.0" || !message.contains("method") ||
      !message["method"].is_string() || !IsValidId(id) ||
      (message.contains("params") && !message["params"].is_array() &&
       !message["params"].is_object()))
    return ErrorAnswer(hasId && IsValidId(id) ? id : json(), kRpcInvalidRequest, "Invalid Request");
  const json params = message.value("params", json::array());
  json result;
  try {
    if (!params.is_array()) throw RpcError{kRpcInvalidParams, "arguments are given in order"};
    result = Call(message["method"].get<std::string>(), params);
  } catch (const RpcError& error) {
    return hasId ? ErrorAnswer(id, error.code, error.message) : json();
  }
  if (!hasId) return nullptr;  // a notification has no answer
  return {{"jsonrpc", "2.0"}, {"id", id}, {"result", result}};
}

json AutomationSession::Call(const std::string& method, const json& params) {
  CConfigToolObj& object = object_;
  if (method == "AssignModule") return object.AssignModule(TextParam(params, 0));
  if (method == "SetReg") return object.SetReg(TextParam(params, 0), ValueParam(params, 1));
  if (method == "GetReg") return object.GetReg(TextParam(params, 0));
  if (method == "SetWarning") {
    const int64_t warningId = IntegerParam(params, 0);
    if (warningId < 0 || warningId > UINT32_MAX)
      throw RpcError{kRpcInvalidParams, "argument 1 must be a warning number"};
    object.SetWarning(static_cast<uint32_t>(warningId), BoolParam(params, 1), TextParam(params, 2));
    return nullptr;
  }
  if (method == "NavigatePage") {
    object.NavigatePage(TextParam(params, 0), TextParam(params, 1));
    return nullptr;
  }
  if (method == "SetComment") {
    object.SetComment(TextParam(params, 0));
    return nullptr;
  }
  if (method == "CreateDynamicPlugin") {
    return object.CreateDynamicPlugin(TextParam(params, 0), TextParam(params, 1),
                                      TextParam(params, 2), TextParam(params, 3),
                                      TextParam(params, 4), TextParam(params, 5));
  }
  if (method == "tarq.subscribe") {
    subscribed_ = true;
    object.AddSink(this);
    return true;
  }
  if (method == "tarq.unsubscribe") {
    subscribed_ = false;
    object.RemoveSink(this);
    return true;
  }
  if (method == "tarq.warnings") {
    if (doc_ == nullptr) return json::array();
    doc_->CheckAllWarnings(true);
    doc_->OnIdle();
    std::ostringstream out;
    PrintWarnings(*doc_, true, true, out);
    return json::parse(out.str(), nullptr, false);
  }
  throw RpcError{kRpcMethodNotFound, "Method not found: " + method};
}

bool AutomationSession::Deliver(const std::string& event, const json& params, json& answer) {
  // Counted over every session: the waits of two clients' events nest in each other too.
  static int waiting = 0;
  if (waiting >= kEventNestingLimit) return false;
  struct Waiting {
    Waiting() { ++waiting; }
    ~Waiting() { --waiting; }
  } counted;
  const int64_t eventId = nextEventId_++;
  transport_.Send(json({{"jsonrpc", "2.0"}, {"id", eventId}, {"method", event}, {"params", params}})
                      .dump(-1, ' ', false, json::error_handler_t::replace));
  const bool answered = transport_.Pump([&] { return answers_.count(eventId) != 0; }, eventWait_);
  auto found = answers_.find(eventId);
  if (!answered || found == answers_.end()) {
    answers_.erase(eventId);
    return false;  // no answer in time counts as a failed sink
  }
  answer = std::move(found->second);
  answers_.erase(found);
  return !(answer.is_object() && answer.value("failed", false));
}

}  // namespace tarq

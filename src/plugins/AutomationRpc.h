// JSON-RPC 2.0 over lines of text for the automation object: one session per connection,
// one automation object per session. The session reads the client's lines and answers
// them; events go the other way as requests whose answers the transport waits for.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "plugins/Automation.h"

namespace tarq {

class CProjDocBase;

// Error codes of the protocol.
inline constexpr int kRpcParseError = -32700;
inline constexpr int kRpcInvalidRequest = -32600;
inline constexpr int kRpcMethodNotFound = -32601;
inline constexpr int kRpcInvalidParams = -32602;
// Longest line a client may send.
inline constexpr size_t kRpcMaxLine = 1024 * 1024;
// Deepest nesting of lists and objects in a message; no call needs more than a few levels.
// Deeper values are dropped while the line is read, so none is ever built: copying or
// writing one takes a level of the stack per level of nesting.
inline constexpr int kRpcMaxDepth = 64;
// How long an event waits for the client's answer.
inline constexpr std::chrono::milliseconds kEventAnswerWait{2000};
// Events that may wait for their answers at once. While one waits, the client's next lines
// are handled, and a call among them may raise another event: past this depth an event is
// not sent and counts as unanswered, so a client that keeps calling and never answers
// cannot make the waits nest until the stack runs out.
inline constexpr int kEventNestingLimit = 16;

// What a session needs from its connection.
class AutomationTransport {
 public:
  virtual ~AutomationTransport() = default;
  // Sends one line (without its line break).
  virtual void Send(const std::string& line) = 0;
  // Reads this client's lines and hands each to the session until `done` holds or the time
  // is up; false when the time ran out or the connection closed first.
  virtual bool Pump(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;
};

class AutomationSession : public AutomationEventSink {
 public:
  AutomationSession(CProjDocBase* doc, AutomationTransport& transport);
  ~AutomationSession() override;

  // One line from the client: the answer line to send, empty when nothing is to be sent
  // (a notification, or the client's answer to an event).
  std::string HandleLine(const std::string& line);

  // ---- AutomationEventSink ----
  bool Deliver(const std::string& event, const nlohmann::json& params,
               nlohmann::json& answer) override;

  CConfigToolObj& Object() { return object_; }
  bool IsSubscribed() const { return subscribed_; }
  // The time an event waits for its answer (tests shorten it).
  void SetEventWait(std::chrono::milliseconds wait) { eventWait_ = wait; }

 private:
  nlohmann::json HandleMessage(const nlohmann::json& message);
  nlohmann::json Call(const std::string& method, const nlohmann::json& params);

  CProjDocBase* doc_;
  AutomationTransport& transport_;
  CConfigToolObj object_;
  bool subscribed_ = false;
  int64_t nextEventId_ = 1;
  std::map<int64_t, nlohmann::json> answers_;  // event id -> the client's answer
  std::chrono::milliseconds eventWait_ = kEventAnswerWait;
};

// An error thrown by a method for the protocol's error answer.
struct RpcError {
  int code;
  std::string message;
};

}  // namespace tarq

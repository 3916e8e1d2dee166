// Feeds arbitrary lines to the automation protocol as a client connection of `tarq-cli serve`
// does: over an open project with a plugin module, lines split and trimmed as the server
// splits them, calls dispatched to the automation object, and the client's next lines read
// while an event waits for its answer. Every line that asks for an answer gets exactly one
// well-formed JSON-RPC 2.0 answer, never an exception or a crash.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "FuzzProject.h"
#include "modules/ModuleKinds.h"
#include "plugins/Automation.h"
#include "plugins/AutomationRpc.h"

namespace {

using fuzzproject::Check;

void CheckAnswer(const nlohmann::json& answer) {
  Check(answer.is_object());
  Check(answer.value("jsonrpc", "") == "2.0");
  Check(answer.contains("id"));
  Check(answer.contains("result") != answer.contains("error"));
  if (answer.contains("error")) Check(answer["error"]["code"].is_number_integer());
}

void CheckAnswerLine(const std::string& line) {
  const nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
  Check(!parsed.is_discarded());
  if (parsed.is_array()) {
    Check(!parsed.empty());
    for (const auto& item : parsed) CheckAnswer(item);
  } else {
    CheckAnswer(parsed);
  }
}

// The client's lines as the server reads them: split at line breaks, a carriage return
// before the break dropped, empty lines skipped. While an event waits, the session reads
// the next lines, as the server's connection does.
class ScriptedClient : public tarq::AutomationTransport {
 public:
  explicit ScriptedClient(const std::string& text) {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines_.push_back(std::move(line));
      start = end + 1;
    }
  }
  void Attach(tarq::AutomationSession& session) { session_ = &session; }

  // Handles the next line; false when the client has said everything.
  bool HandleNext() {
    if (lines_.empty()) return false;
    const std::string line = std::move(lines_.front());
    lines_.pop_front();
    const std::string answer = session_->HandleLine(line);
    if (!answer.empty()) CheckAnswerLine(answer);
    return true;
  }

  // Events are requests of ours; they must be JSON too.
  void Send(const std::string& line) override {
    Check(!nlohmann::json::parse(line, nullptr, false).is_discarded());
  }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds) override {
    while (!done())
      if (!HandleNext()) return false;
    return true;
  }

 private:
  std::deque<std::string> lines_;
  tarq::AutomationSession* session_ = nullptr;
};

// A plugin "BRD" beside the header: a 16-bit, a signed and a text register.
void AddBoardPlugin() {
  static const bool added = [] {
    fuzzproject::WriteFile(fuzzproject::HeaderFolder() / "Board.tarq" / "b.ini",
                           "[tarq_plugins]\nplugin1=BRD\n[BRD]\nregisters=BRD_REGS\n"
                           "[BRD_REGS]\nCTRL_INIT=0;DW16\nOFFSET_INIT=0;SIGNEDVALUE|DECVALUE\n"
                           "NAME_INIT=;STRVALUE\n");
    return true;
  }();
  (void)added;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AddBoardPlugin();
  // A fresh document for every input, so that one input's calls never shape the next one.
  tarq::SilentHost host;
  tarq::CProjDoc doc(host, fuzzproject::Environment(/*plugins=*/true),
                     tarq::RegisterBuiltInModuleKinds);
  Check(doc.OpenProject(fuzzproject::ProjectFolder().string()));
  doc.OnIdle();
  tarq::CModuleBase* board = doc.FindModule("BRD", "BRD_REGS");
  Check(board != nullptr);
  // Serving with that plugin's page shown: new automation objects bind to it.
  board->CreatePage();
  tarq::SetCurrentPluginPageModule(board);

  ScriptedClient client(std::string(reinterpret_cast<const char*>(data), size));
  {
    tarq::AutomationSession session(&doc, client);
    client.Attach(session);
    while (client.HandleNext()) doc.OnIdle();  // what a call changed is checked as at idle
  }
  tarq::SetCurrentPluginPageModule(nullptr);
  return 0;
}

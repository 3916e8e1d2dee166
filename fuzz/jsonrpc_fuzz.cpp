// Feeds arbitrary lines to the automation protocol reader. Every line that asks for an
// answer gets exactly one well-formed JSON-RPC 2.0 answer, never an exception or a crash.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "plugins/AutomationRpc.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class NullTransport : public tarq::AutomationTransport {
 public:
  void Send(const std::string&) override {}
  bool Pump(const std::function<bool()>&, std::chrono::milliseconds) override { return false; }
};

void CheckAnswer(const nlohmann::json& answer) {
  Check(answer.is_object());
  Check(answer.value("jsonrpc", "") == "2.0");
  Check(answer.contains("id"));
  Check(answer.contains("result") != answer.contains("error"));
  if (answer.contains("error")) Check(answer["error"]["code"].is_number_integer());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NullTransport transport;
  tarq::AutomationSession session(nullptr, transport);
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string answer = session.HandleLine(text.substr(start, end - start));
    if (!answer.empty()) {
      const nlohmann::json parsed = nlohmann::json::parse(answer, nullptr, false);
      Check(!parsed.is_discarded());
      if (parsed.is_array()) {
        Check(!parsed.empty());
        for (const auto& item : parsed) CheckAnswer(item);
      } else {
        CheckAnswer(parsed);
      }
    }
    start = end + 1;
  }
  return 0;
}

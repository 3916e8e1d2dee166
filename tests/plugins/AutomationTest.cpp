// The automation object on a real project with plugin modules: its methods as a plugin
// application sees them, the events the modules raise, the unbinding when modules go, and
// the protocol's answers to bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "../app/CliTestSupport.h"
#include "PluginTestSupport.h"
#include "framework/Host.h"
#include "framework/Warnings.h"
#include "modules/ModuleKinds.h"
#include "plugins/Automation.h"
#include "plugins/AutomationRpc.h"
#include "plugins/PluginLoader.h"
#include "plugins/PluginModule.h"
#include "project/ProjDoc.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Records the events it receives and answers each with `answer`; may refuse to answer.
class RecordingSink : public AutomationEventSink {
 public:
  explicit RecordingSink(json answer = 0, bool fails = false) : answer_(answer), fails_(fails) {}
  bool Deliver(const std::string& event, const json&, json& answer) override {
    events.push_back(event);
    answer = answer_;
    return !fails_;
  }
  std::vector<std::string> events;

 private:
  json answer_;
  bool fails_;
};

// The classic example with a plugin "BRD" in its header folder: a 16-bit, a signed and a
// text register.
class AutomationProject : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (sandbox_.path() / "data").c_str(), 1);
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "classic", sandbox_.path() / "p",
             fs::copy_options::recursive);
    plugintest::WriteText(sandbox_.path() / "p" / "ApplicationConfig" / "Board.tarq" / "b.ini",
                          "[tarq_plugins]\nplugin1=BRD\n[BRD]\nregisters=BRD_REGS\n"
                          "[BRD_REGS]\nCTRL_INIT=0;DW16\nOFFSET_INIT=0;SIGNEDVALUE|DECVALUE\n"
                          "NAME_INIT=;STRVALUE\n");
    DocumentEnvironment environment;
    environment.programFolder = TARQ_BINARY_DIR;
    environment.readUserOptions = false;
    environment.takeLock = false;
    EnablePlugins(environment);
    doc_ = std::make_unique<CProjDoc>(host_, environment, RegisterBuiltInModuleKinds);
    ASSERT_TRUE(doc_->OpenProject((sandbox_.path() / "p").string())) << doc_->GetLastError();
    doc_->OnIdle();
    brd_ = doc_->FindModule("BRD", "BRD_REGS");
    ASSERT_NE(brd_, nullptr);
  }
  void TearDown() override {
    SetCurrentPluginPageModule(nullptr);
    unsetenv("XDG_DATA_HOME");
  }

  apptest::TempFolder sandbox_;
  CollectingHost host_;
  std::unique_ptr<CProjDoc> doc_;
  CModuleBase* brd_ = nullptr;
};

TEST_F(AutomationProject, MethodsReadAndWriteRegistersAsAPluginApplicationExpects) {
  CConfigToolObj object(doc_.get());
  EXPECT_EQ(object.GetModule(), nullptr);  // no plugin page shown yet
  EXPECT_FALSE(object.SetReg("CTRL_INIT", 1));
  // Globals answer without a binding; 8 MHz external clock in the classic example.
  EXPECT_EQ(object.GetReg("APPCFG_EXTCLK"), json(8.0));
  EXPECT_EQ(object.GetReg("APPCFGID"), json("CVX-03"));
  EXPECT_TRUE(object.GetReg("NO_SUCH_INIT").is_null());

  ASSERT_TRUE(object.AssignModule("BRD"));
  EXPECT_FALSE(object.AssignModule("NOPE"));
  EXPECT_EQ(object.GetModule(), brd_);  // the earlier binding stays
  // 0x12345 into 16 bits is 0x2345; a signed register keeps all 32 bits.
  EXPECT_TRUE(object.SetReg("CTRL_INIT", 0x12345));
  EXPECT_EQ(object.GetReg("BRD_CTRL_INIT"), json(0x2345));
  EXPECT_TRUE(object.SetReg("OFFSET_INIT", "-100000"));
  EXPECT_EQ(object.GetReg("OFFSET_INIT"), json(-100000));
  EXPECT_FALSE(object.SetReg("CTRL_INIT", "twelve"));
  EXPECT_FALSE(object.SetReg("CTRL_INIT", nullptr));
  EXPECT_EQ(object.GetReg("CTRL_INIT"), json(0x2345));
  // Texts stay whole; a line break or NUL would break the header line.
  const std::string longText(120, 'T');
  EXPECT_TRUE(object.SetReg("NAME_INIT", longText));
  EXPECT_EQ(object.GetReg("NAME_INIT"), json(longText));
  EXPECT_FALSE(object.SetReg("NAME_INIT", "a\r\n#define EVIL 1"));
  EXPECT_FALSE(object.SetReg("NAME_INIT", std::string("a\0b", 3)));
  EXPECT_EQ(object.GetReg("NAME_INIT"), json(longText));

  auto brdWarnings = [&] {
    std::vector<std::string> texts;
    for (const Warning& warning : doc_->GetWarnings()->Entries())
      if (warning.page == brd_) texts.push_back(warning.text);
    return texts;
  };
  object.SetWarning(3, true, "");
  doc_->OnIdle();
  EXPECT_EQ(brdWarnings(), std::vector<std::string>{"Unspecified Warning"});
  object.SetWarning(3, false, "");
  EXPECT_TRUE(brdWarnings().empty());

  // A dynamic plugin is made once; asking again binds to it.
  EXPECT_EQ(object.CreateDynamicPlugin("DYN", "", "", "", "", ""), json("DYN/DYN"));
  CModuleBase* dynamic = object.GetModule();
  ASSERT_NE(dynamic, nullptr);
  object.AssignModule("BRD");
  EXPECT_EQ(object.CreateDynamicPlugin("DYN", "", "", "", "", ""), json(false));
  EXPECT_EQ(object.GetModule(), dynamic);
  EXPECT_NE(doc_->GetTree().FindNode(dynamic), nullptr);
  EXPECT_EQ(doc_->GetTree().FindNode(dynamic)->text, "Dynamic plugin DYN");
}

TEST_F(AutomationProject, EventsReachBoundObjectsAndDestroyedModulesLeaveNoBinding) {
  SetCurrentPluginPageModule(brd_);
  CConfigToolObj bound(doc_.get());
  CConfigToolObj other(doc_.get());
  ASSERT_EQ(bound.GetModule(), brd_);
  ASSERT_TRUE(other.AssignModule("SYS"));
  RecordingSink failing(0, true), tooltip(1), elsewhere;
  bound.AddSink(&failing);
  bound.AddSink(&tooltip);
  other.AddSink(&elsewhere);

  brd_->RefreshAll();
  brd_->CheckWarnings();
  std::string comment;
  brd_->GenerateComment(comment);
  // A failing sink does not stop the next one.
  EXPECT_EQ(tooltip.events,
            (std::vector<std::string>{"OnRefreshAll", "OnCheckWarnings", "OnGenerateComment"}));
  EXPECT_EQ(failing.events, tooltip.events);
  // A link with a tip to a control of the plugin's page asks the application to show it.
  EXPECT_TRUE(brd_->OpenLink("tarq:BRD/BRD_REGS/7?tiptext=Too%20fast&tiptitle=Blink", ""));
  EXPECT_EQ(tooltip.events.back(), "OnShowToolTip");
  EXPECT_TRUE(RaiseAutomationEvent(brd_, kEventShowToolTip, {7, "text", "title"}));
  EXPECT_TRUE(elsewhere.events.empty());  // another module's object hears nothing of BRD

  // Closing the project: the plugin's objects hear of it, then nothing stays bound.
  doc_->Reset();
  EXPECT_EQ(tooltip.events.back(), "OnProjectClosing");
  EXPECT_EQ(bound.GetModule(), nullptr);
  EXPECT_EQ(other.GetModule(), nullptr);
  EXPECT_EQ(CurrentPluginPageModule(), nullptr);
  EXPECT_FALSE(bound.SetReg("CTRL_INIT", 1));
  EXPECT_FALSE(other.SetReg("SYS_CNTL_INIT", 1));
  CConfigToolObj later(doc_.get());
  EXPECT_EQ(later.GetModule(), nullptr);
}

// A transport whose client never answers.
class SilentTransport : public AutomationTransport {
 public:
  void Send(const std::string& line) override { sent.push_back(line); }
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds) override {
    return done();
  }
  std::vector<std::string> sent;
};

int ErrorCode(const std::string& answer) {
  const json parsed = json::parse(answer);
  return parsed.at("error").at("code").get<int>();
}

TEST_F(AutomationProject, ProtocolAnswersEveryKindOfBadRequestWithItsCode) {
  SilentTransport transport;
  AutomationSession session(doc_.get(), transport);
  EXPECT_EQ(ErrorCode(session.HandleLine("{oops")), kRpcParseError);
  EXPECT_EQ(ErrorCode(session.HandleLine(R"({"jsonrpc":"1.0","id":1,"method":"GetReg"})")),
            kRpcInvalidRequest);
  EXPECT_EQ(ErrorCode(session.HandleLine(R"({"jsonrpc":"2.0","id":1,"method":7})")),
            kRpcInvalidRequest);
  EXPECT_EQ(ErrorCode(session.HandleLine(std::string(kRpcMaxLine + 1, ' '))), kRpcInvalidRequest);
  // Nesting that fits in a line but not on the stack is refused, not copied level by level;
  // a value a few levels deep still reaches the method and its own check.
  const auto setRegTo = [](const std::string& value) {
    return R"({"jsonrpc":"2.0","id":1,"method":"SetReg","params":["CTRL_INIT",)" + value + "]}";
  };
  const size_t depth = kRpcMaxLine / 2 - 100;
  const json tooDeep = json::parse(
      session.HandleLine(setRegTo(std::string(depth, '[') + std::string(depth, ']'))));
  EXPECT_EQ(tooDeep.at("error").at("code"), kRpcInvalidRequest);
  EXPECT_EQ(tooDeep.at("error").at("message"), "Invalid Request: nested too deeply");
  EXPECT_EQ(ErrorCode(session.HandleLine(setRegTo("[[[1]]]"))), kRpcInvalidParams);
  EXPECT_EQ(ErrorCode(session.HandleLine(R"({"jsonrpc":"2.0","id":1,"method":"Nope"})")),
            kRpcMethodNotFound);
  EXPECT_EQ(ErrorCode(session.HandleLine(
                R"({"jsonrpc":"2.0","id":1,"method":"SetReg","params":["CTRL_INIT",{}]})")),
            kRpcInvalidParams);
  EXPECT_EQ(ErrorCode(session.HandleLine(
                R"({"jsonrpc":"2.0","id":1,"method":"AssignModule","params":{"p":"BRD"}})")),
            kRpcInvalidParams);
  // A notification gets no answer; a call does, null for an empty result.
  EXPECT_EQ(session.HandleLine(R"({"jsonrpc":"2.0","method":"AssignModule","params":["BRD"]})"),
            "");
  EXPECT_EQ(json::parse(session.HandleLine(
                R"({"jsonrpc":"2.0","id":"w","method":"SetWarning","params":[2,true,"x"]})")),
            json({{"jsonrpc", "2.0"}, {"id", "w"}, {"result", nullptr}}));
  // Events wait for the answer only as long as allowed: a silent client is a failed sink.
  session.SetEventWait(std::chrono::milliseconds(1));
  session.HandleLine(R"({"jsonrpc":"2.0","id":3,"method":"tarq.subscribe"})");
  json answer;
  EXPECT_FALSE(session.Deliver("OnRefreshAll", json::array(), answer));
  EXPECT_EQ(json::parse(transport.sent.back())["method"], "OnRefreshAll");
}

}  // namespace
}  // namespace tarq

namespace tarq {
namespace {

// A client that has sent its lines at once and never answers an event: while an event
// waits, the session reads the next line, as the server's connection does.
class FloodingClient : public AutomationTransport {
 public:
  explicit FloodingClient(std::vector<std::string> lines) : lines_(std::move(lines)) {}
  void Attach(AutomationSession& session) { session_ = &session; }
  bool HandleNext() {
    if (next_ == lines_.size()) return false;
    const std::string answer = session_->HandleLine(lines_[next_++]);
    if (!answer.empty()) answers.push_back(json::parse(answer));
    return true;
  }
  void Send(const std::string&) override {}
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds) override {
    ++depth_;
    deepest = std::max(deepest, depth_);
    while (!done() && HandleNext()) {
    }
    --depth_;
    return done();
  }
  std::vector<json> answers;
  int deepest = 0;

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
  int depth_ = 0;
  AutomationSession* session_ = nullptr;
};

TEST_F(AutomationProject, ClientThatNeverAnswersEventsCannotNestWaitsWithoutBound) {
  // Every warnings pass raises an event to the subscribed client, which answers it with
  // the next call instead: each call would wait inside the one before.
  SetCurrentPluginPageModule(brd_);
  std::vector<std::string> lines = {R"({"jsonrpc":"2.0","id":0,"method":"tarq.subscribe"})"};
  const int calls = 3 * kEventNestingLimit;
  for (int id = 1; id <= calls; ++id)
    lines.push_back(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
                    R"(,"method":"tarq.warnings"})");
  FloodingClient client(lines);
  AutomationSession session(doc_.get(), client);
  client.Attach(session);
  while (client.HandleNext()) {
  }
  EXPECT_EQ(client.deepest, kEventNestingLimit);
  // Every call is still answered, once, and each with the same warnings, however deep it
  // was handled.
  ASSERT_EQ(client.answers.size(), lines.size());
  std::set<int> ids;
  const json& outermost = client.answers.back();
  ASSERT_TRUE(outermost.at("result").at("warnings").is_array()) << outermost.dump();
  for (const json& answer : client.answers) {
    ids.insert(answer.at("id").get<int>());
    if (answer.at("id") != 0) {
      EXPECT_EQ(answer.at("result"), outermost.at("result"));
    }
  }
  EXPECT_EQ(ids.size(), lines.size());
}

}  // namespace
}  // namespace tarq

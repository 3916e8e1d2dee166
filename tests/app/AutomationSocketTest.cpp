// The automation socket end to end: `tarq-cli serve` driven by a Python client as a plugin
// application would drive it (tests/app/automation_client.py holds the checks).
#include <gtest/gtest.h>

#include <string>

#include "../plugins/PluginTestSupport.h"
#include "CliTestSupport.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;

TEST(AutomationSocket, PythonClientDrivesMethodsEventsAndErrorsOverTheSocket) {
  if (std::system("python3 -c 'import json, socket' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 is not available";
  apptest::TempFolder sandbox;
  const fs::path project = sandbox.path() / "project";
  fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "classic", project,
           fs::copy_options::recursive);
  plugintest::WriteText(project / "ApplicationConfig" / "Board.tarq" / "board.ini",
                        "[tarq_plugins]\nplugin1=HF\n[HF]\nregisters=HF_REGS\n"
                        "headerfile=plugin_hf.h\n"
                        "[HF_REGS]\nMODE_INIT=0;DW8|NODEFAULT\n"
                        "LABEL_INIT=;STRVALUE|QUOTEDVALUE\n");
  plugintest::WriteText(project / "ApplicationConfig" / "plugin_hf.h", "#define HF_MODE_INIT 1\n");
  const fs::path socket = sandbox.path() / "tarq.rpc";
  const fs::path output = sandbox.path() / "client.txt";
  const std::string command =
      "XDG_DATA_HOME='" + (sandbox.path() / "data").string() + "' XDG_CONFIG_HOME='" +
      (sandbox.path() / "config").string() + "' python3 '" + TARQ_SOURCE_DIR +
      "/tests/app/automation_client.py' '" + TARQ_BINARY_DIR + "/tarq-cli' '" + project.string() +
      "' '" + socket.string() + "' >'" + output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string report = apptest::ReadFile(output);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_NE(report.find("ok\n"), std::string::npos) << report;
}

TEST(AutomationSocket, FanExamplePluginApplicationSetsItsModuleAndComment) {
  if (std::system("python3 -c 'import json, socket' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 is not available";
  apptest::TempFolder sandbox;
  const fs::path project = sandbox.path() / "project";
  const fs::path example = fs::path(TARQ_SOURCE_DIR) / "examples" / "classic";
  fs::create_directories(project);
  fs::copy(example / "ApplicationConfig", project / "ApplicationConfig",
           fs::copy_options::recursive);
  fs::copy(example / "plugins" / "FanControl.tarq",
           project / "ApplicationConfig" / "FanControl.tarq", fs::copy_options::recursive);
  const fs::path output = sandbox.path() / "client.txt";
  const std::string command =
      "XDG_DATA_HOME='" + (sandbox.path() / "data").string() + "' XDG_CONFIG_HOME='" +
      (sandbox.path() / "config").string() + "' python3 '" + TARQ_SOURCE_DIR +
      "/tests/app/example_plugins_client.py' '" + TARQ_BINARY_DIR + "/tarq-cli' '" +
      project.string() + "' '" + (sandbox.path() / "tarq.rpc").string() + "' '" +
      (project / "ApplicationConfig" / "FanControl.tarq" / "fan_control.py").string() + "' >'" +
      output.string() + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string report = apptest::ReadFile(output);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_NE(report.find("ok\n"), std::string::npos) << report;
}

}  // namespace
}  // namespace tarq

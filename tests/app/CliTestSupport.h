// Shared pieces of the tests that run the executables on copies of the example projects.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace tarq::apptest {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh folder below the system's temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            ("tarq-app-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

// A copy of examples/NAME in a fresh temporary folder, removed with the object.
class ExampleCopy {
 public:
  explicit ExampleCopy(const std::string& name) : root_(folder_.path() / name) {
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / name, root_, fs::copy_options::recursive);
  }
  std::string root() const { return root_.string(); }
  fs::path headerPath() const { return root_ / "ApplicationConfig" / "appconfig.h"; }
  std::string header() const { return ReadFile(headerPath()); }
  void WriteHeader(const std::string& text) const {
    std::ofstream(headerPath(), std::ios::binary | std::ios::trunc) << text;
  }
  // Replaces the first `from` of the header; false when the header does not hold it.
  [[nodiscard]] bool Replace(const std::string& from, const std::string& to) const {
    std::string text = header();
    const size_t at = text.find(from);
    if (at == std::string::npos) return false;
    WriteHeader(text.replace(at, from.size(), to));
    return true;
  }

 private:
  TempFolder folder_;
  fs::path root_;
};

// Example projects (folders holding ApplicationConfig/appconfig.h), sorted.
inline std::vector<fs::path> ExampleProjects() {
  std::vector<fs::path> projects;
  for (const auto& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "examples"))
    if (fs::exists(entry.path() / "ApplicationConfig" / "appconfig.h"))
      projects.push_back(entry.path());
  std::sort(projects.begin(), projects.end());
  return projects;
}

// Runs tarq-cli with shell-quoted arguments; returns its exit code. Without `errors` the
// output holds stderr after stdout. `shellPrefix` runs in the same shell first (limits,
// variables).
inline int RunCli(const std::string& arguments, std::string* output = nullptr,
                  std::string* errors = nullptr, const std::string& shellPrefix = {}) {
  TempFolder folder;
  const fs::path out = folder.path() / "out.txt";
  const fs::path err = folder.path() / "err.txt";
  const std::string command = shellPrefix + std::string(TARQ_BINARY_DIR) + "/tarq-cli " +
                              arguments + " >" + out.string() + " 2>" + err.string();
  const int status = std::system(command.c_str());
  if (output != nullptr) *output = ReadFile(out) + (errors == nullptr ? ReadFile(err) : "");
  if (errors != nullptr) *errors = ReadFile(err);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first module that `show --json PATH PREFIX` prints; null when the command fails.
inline nlohmann::json ShownModule(const std::string& root, const std::string& prefix) {
  std::string output, errors;
  if (RunCli("show --json " + root + " " + prefix, &output, &errors) != 0) return {};
  const nlohmann::json shown = nlohmann::json::parse(output, nullptr, false);
  return shown.is_discarded() ? nlohmann::json() : shown["modules"][0];
}

// The text of the first display after the control whose text is `caption`; "(none)" when
// there is none.
inline std::string DisplayAfter(const nlohmann::json& module, const std::string& caption) {
  bool next = false;
  for (const nlohmann::json& control : module["controls"]) {
    if (next && control["kind"] == "display") return control["text"];
    if (control["text"] == caption) next = true;
  }
  return "(none)";
}

}  // namespace tarq::apptest

// Shared pieces of the tests that run the executables on copies of the example projects.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace tarq::apptest

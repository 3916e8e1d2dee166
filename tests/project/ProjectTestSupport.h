// Helpers of the project-level tests: a temporary folder and a second process that holds
// a project's lock.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "project/LockFile.h"

namespace tarq {

class TempFolder {
 public:
  explicit TempFolder(const std::string& name) {
    static int counter = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("tarq-doc-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(root_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Root() const { return root_.string(); }
  std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
  // Writes a file (folders created as needed) and returns its path.
  std::string Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

 private:
  std::filesystem::path root_;
};

// A child process that takes a header's lock and keeps it until it is killed, leaving its
// lock file behind like an instance that crashed.
class LockHolderProcess {
 public:
  explicit LockHolderProcess(const std::string& headerPath) {
    int ready[2];
    if (pipe(ready) != 0 || pipe(hold_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(hold_[1]);
      LockFile lock;
      char ok = lock.Take(headerPath).state == LockState::Taken ? '1' : '0';
      (void)!write(ready[1], &ok, 1);
      char unused;
      (void)!read(hold_[0], &unused, 1);  // blocks until the parent kills us
      _exit(0);
    }
    close(ready[1]);
    close(hold_[0]);
    char ok = '0';
    started_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == '1';
    close(ready[0]);
  }
  ~LockHolderProcess() { Die(); }
  LockHolderProcess(const LockHolderProcess&) = delete;
  LockHolderProcess& operator=(const LockHolderProcess&) = delete;

  bool Started() const { return started_; }
  long Pid() const { return static_cast<long>(pid_); }
  void Die() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    close(hold_[1]);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int hold_[2] = {-1, -1};
  bool started_ = false;
};

}  // namespace tarq

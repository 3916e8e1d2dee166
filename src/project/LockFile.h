// The lock file beside an open project's header (appconfig.h -> appconfig.lck). It holds
// the owner's process id and an advisory lock for as long as the project is open, so a
// second instance on the same project can be turned away, while the file left by an
// instance that died is simply taken over.
#pragma once

#include <string>

namespace tarq {

enum class LockState {
  Taken,          // this object now holds the lock
  MayOpen,        // free to open without a (new) lock: our own process holds it, or the
                  // lock file cannot be created and nobody else holds it
  HeldElsewhere,  // another running process holds it
};

struct LockProbe {
  LockState state = LockState::MayOpen;
  long ownerPid = 0;  // pid written in the lock file, 0 when unknown
};

class LockFile {
 public:
  LockFile() = default;
  ~LockFile();  // releases (closes and deletes) a held lock
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;
  LockFile(LockFile&& other) noexcept;
  LockFile& operator=(LockFile&& other) noexcept;

  // The header's path with its extension replaced by ".lck".
  static std::string PathFor(const std::string& headerPath);

  // Takes the lock of a header. On success the process id is written into the file and the
  // lock held before by this object (another path) is released.
  LockProbe Take(const std::string& headerPath);
  // Only checks whether a header could be opened, without taking anything.
  static LockProbe Check(const std::string& headerPath);

  // Closes the held lock file and deletes it.
  void Release();
  bool IsHeld() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace tarq

#include "project/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <utility>

#include "framework/TextUtil.h"

namespace tarq {

namespace {

// The process id at the start of the file, 0 when there is none.
long ReadOwnerPid(int fd) {
  char buffer[32] = {};
  ssize_t count = pread(fd, buffer, sizeof buffer - 1, 0);
  if (count <= 0) return 0;
  buffer[count] = '\0';
  char* end = nullptr;
  long pid = std::strtol(buffer, &end, 10);
  return (end != buffer && pid > 0) ? pid : 0;
}

// Someone holds the lock: our own process may proceed (the project is open here already),
// any other holder is a running instance.
LockProbe Holder(int fd) {
  LockProbe probe;
  probe.ownerPid = ReadOwnerPid(fd);
  probe.state =
      probe.ownerPid == static_cast<long>(getpid()) ? LockState::MayOpen : LockState::HeldElsewhere;
  return probe;
}

// Checks an existing lock file without creating or changing it.
LockProbe ProbeExisting(const std::string& lockPath) {
  int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {LockState::MayOpen, 0};
  LockProbe probe;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    probe.ownerPid = ReadOwnerPid(fd);  // stale: its process ended without deleting it
    flock(fd, LOCK_UN);
  } else {
    probe = Holder(fd);
  }
  close(fd);
  return probe;
}

void MakeWritable(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
    chmod(path.c_str(), info.st_mode | S_IWUSR);
  }
}

// False when the file behind `fd` is no longer the one at `path` (its holder deleted it
// between our open and our lock), so the lock we got protects nothing.
bool StillAtPath(int fd, const std::string& path) {
  struct stat opened, named;
  if (fstat(fd, &opened) != 0 || stat(path.c_str(), &named) != 0) return false;
  return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool WriteOwnPid(int fd) {
  std::string text = Format("%u\n", static_cast<unsigned>(getpid()));
  if (ftruncate(fd, 0) != 0) return false;
  return pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
}

}  // namespace

LockFile::~LockFile() { Release(); }

LockFile::LockFile(LockFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

LockFile& LockFile::operator=(LockFile&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::string LockFile::PathFor(const std::string& headerPath) {
  return std::filesystem::path(headerPath).replace_extension(".lck").string();
}

LockProbe LockFile::Take(const std::string& headerPath) {
  const std::string lockPath = PathFor(headerPath);
  MakeWritable(lockPath);
  for (int attempt = 0; attempt < 4; ++attempt) {
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // A folder we cannot write to: open without a lock unless someone else holds one.
    if (fd < 0) return ProbeExisting(lockPath);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      LockProbe probe = Holder(fd);
      close(fd);
      return probe;
    }
    if (!StillAtPath(fd, lockPath)) {
      close(fd);
      continue;
    }
    // The lock itself is what guards the project; the pid only names the holder.
    (void)WriteOwnPid(fd);
    Release();
    fd_ = fd;
    path_ = lockPath;
    return {LockState::Taken, static_cast<long>(getpid())};
  }
  return {LockState::HeldElsewhere, 0};
}

LockProbe LockFile::Check(const std::string& headerPath) {
  return ProbeExisting(PathFor(headerPath));
}

void LockFile::Release() {
  if (fd_ < 0) return;
  // Delete while still locked, so nobody takes over a file that is about to vanish.
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
  path_.clear();
}

}  // namespace tarq

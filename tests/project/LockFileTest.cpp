#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ProjectTestSupport.h"
#include "project/LockFile.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LockFileTest, PathReplacesTheExtension) {
  EXPECT_EQ(LockFile::PathFor("/p/ApplicationConfig/appconfig.h"),
            "/p/ApplicationConfig/appconfig.lck");
  EXPECT_EQ(LockFile::PathFor("/p/header"), "/p/header.lck");
}

TEST(LockFileTest, TakeWritesPidAndReleaseDeletes) {
  TempFolder folder("lock-take");
  const std::string header = folder.Path("appconfig.h");
  const std::string lockPath = LockFile::PathFor(header);
  {
    LockFile lock;
    LockProbe probe = lock.Take(header);
    EXPECT_EQ(probe.state, LockState::Taken);
    EXPECT_TRUE(lock.IsHeld());
    EXPECT_EQ(ReadAll(lockPath), std::to_string(getpid()) + "\n");

    // This process may open the project again: it is its own lock.
    LockFile second;
    EXPECT_EQ(second.Take(header).state, LockState::MayOpen);
    EXPECT_FALSE(second.IsHeld());
    EXPECT_EQ(LockFile::Check(header).state, LockState::MayOpen);

    // Taking another path gives up the first lock and deletes its file.
    const std::string other = folder.Path("other.h");
    EXPECT_EQ(lock.Take(other).state, LockState::Taken);
    EXPECT_FALSE(fs::exists(lockPath));
    EXPECT_TRUE(fs::exists(LockFile::PathFor(other)));
  }
  EXPECT_FALSE(fs::exists(LockFile::PathFor(folder.Path("other.h"))));
}

TEST(LockFileTest, LiveHolderRefusesAndDeadHolderIsTakenOver) {
  TempFolder folder("lock-live");
  const std::string header = folder.Path("appconfig.h");
  const std::string lockPath = LockFile::PathFor(header);
  {
    LockHolderProcess holder(header);
    ASSERT_TRUE(holder.Started());

    LockFile lock;
    LockProbe probe = lock.Take(header);
    EXPECT_EQ(probe.state, LockState::HeldElsewhere);
    EXPECT_EQ(probe.ownerPid, holder.Pid());
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_EQ(LockFile::Check(header).state, LockState::HeldElsewhere);
    // The holder's file is left alone.
    EXPECT_EQ(ReadAll(lockPath), std::to_string(holder.Pid()) + "\n");
    holder.Die();  // ends without deleting its file
  }
  ASSERT_TRUE(fs::exists(lockPath));
  // A stale file, even a read-only one, is taken over.
  chmod(lockPath.c_str(), 0444);
  EXPECT_EQ(LockFile::Check(header).state, LockState::MayOpen);
  LockFile lock;
  EXPECT_EQ(lock.Take(header).state, LockState::Taken);
  EXPECT_EQ(ReadAll(lockPath), std::to_string(getpid()) + "\n");
}

TEST(LockFileTest, UncreatableLockFileOpensWithoutLock) {
  // Nobody holds a lock that cannot exist; the project still opens.
  LockFile lock;
  const std::string header = "/nonexistent-tarq-folder/appconfig.h";
  EXPECT_EQ(lock.Take(header).state, LockState::MayOpen);
  EXPECT_FALSE(lock.IsHeld());
  EXPECT_EQ(LockFile::Check(header).state, LockState::MayOpen);
}

}  // namespace
}  // namespace tarq

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/CommandLine.h"
#include "project/OptionsFile.h"

namespace tarq {

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (saved_)
      setenv(name_, saved_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << file.rdbuf();
  return buffer.str();
}

}  // namespace

TEST(CommandLine, SwitchesIgnoreCaseAndTheirLeadIn) {
  for (const char* argument : {"/REPROCESS", "-reprocess", "--Reprocess", "/reprocess"}) {
    const CommandLineInfo info = ParseCommandLine({"proj", argument});
    EXPECT_TRUE(info.reprocess) << argument;
    EXPECT_EQ(info.fileName, "proj") << argument;
    EXPECT_FALSE(info.selfTest || info.runEmbedded || info.runAutomated) << argument;
  }
  // Without a lead-in the word is a path, as any folder name may be.
  const CommandLineInfo bare = ParseCommandLine({"REPROCESS"});
  EXPECT_FALSE(bare.reprocess);
  EXPECT_EQ(bare.fileName, "REPROCESS");

  EXPECT_TRUE(ParseCommandLine({"/SelfTest"}).selfTest);
  EXPECT_TRUE(ParseCommandLine({"-Embedding"}).runEmbedded);
  EXPECT_TRUE(ParseCommandLine({"/Automation"}).runAutomated);
}

TEST(CommandLine, PathsAndSwitchesWithoutEffect) {
  EXPECT_EQ(ParseCommandLine({}).fileName, "");
  EXPECT_EQ(ParseCommandLine({"/notaswitch"}).fileName, "/notaswitch");
  EXPECT_EQ(ParseCommandLine({"/home/u/proj", "second"}).fileName, "/home/u/proj");

  const CommandLineInfo info = ParseCommandLine({"/Unregister", "-RegServer", "--unknown", "dir"});
  EXPECT_EQ(info.fileName, "dir");
  EXPECT_FALSE(info.reprocess || info.selfTest || info.runEmbedded || info.runAutomated);
}

class OptionsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("tarq_options_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(OptionsFile, PathFollowsXdgConfigHome) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", folder_.c_str());
    EXPECT_EQ(OptionsFilePath(), (folder_ / "Velmor" / "Tarq Corvex.conf").string());
  }
  ScopedEnv home("HOME", "/home/someone");
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", unusable);
    EXPECT_EQ(OptionsFilePath(), "/home/someone/.config/Velmor/Tarq Corvex.conf");
  }
}

TEST_F(OptionsFile, LoadsOnlyTheOptionsSectionOverDefaults) {
  const fs::path path = folder_ / "Tarq Corvex.conf";
  EXPECT_EQ(LoadOptions(path.string()), Options{});

  fs::create_directories(folder_);
  std::ofstream(path) << "[WindowPos]\nGenerateComments=0\n"
                         "[Options]\nGenerateDefaults = true\nKeepUserComments=1\n"
                         "GenerateComments=junk\n";
  const Options options = LoadOptions(path.string());
  EXPECT_TRUE(options.generateComments);  // other section and unreadable value keep the default
  EXPECT_TRUE(options.generateDefaults);
  EXPECT_TRUE(options.keepUserComments);
}

TEST_F(OptionsFile, StoreRoundTripsAndKeepsOtherLines) {
  ScopedEnv xdg("XDG_CONFIG_HOME", folder_.c_str());
  const std::string path = OptionsFilePath();
  Options options;
  options.generateComments = false;
  options.keepUserComments = true;
  ASSERT_TRUE(StoreOptions(path, options));  // creates the folders
  EXPECT_EQ(LoadOptions(path), options);

  std::ofstream(path) << "; kept\n[ToolBars]\nstate=abc\n\n[Options]\nGenerateComments=1\n"
                         "Extra=x\n\n[WindowPos]\nLastWndPlacement=@ByteArray(1)\n";
  options.generateDefaults = true;
  ASSERT_TRUE(StoreOptions(path, options));
  EXPECT_EQ(
      ReadFile(path),
      "; kept\n[ToolBars]\nstate=abc\n\n[Options]\nGenerateComments=0\nExtra=x\n"
      "GenerateDefaults=1\nKeepUserComments=1\n\n[WindowPos]\nLastWndPlacement=@ByteArray(1)\n");
  EXPECT_EQ(LoadOptions(path), options);
}

}  // namespace tarq

// The PWM through tarq-cli on copies of the examples: the example definitions survive a
// save, a percent value and a software-controlled pair set and saved, the example timing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "CliTestSupport.h"

namespace fs = std::filesystem;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;

class PwmExampleCopy {
 public:
  explicit PwmExampleCopy(const std::string& name) {
    root_ = fs::temp_directory_path() / ("tarq-pwm-" + std::to_string(::getpid()) + name);
    fs::remove_all(root_);
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / name, root_, fs::copy_options::recursive);
  }
  ~PwmExampleCopy() { fs::remove_all(root_); }
  std::string root() const { return root_.string(); }
  std::string header() const { return ReadFile(root_ / "ApplicationConfig" / "appconfig.h"); }

 private:
  fs::path root_;
};

// The "#define PWM..." lines of a header, name and value.
std::vector<std::pair<std::string, std::string>> PwmDefines(const std::string& header) {
  std::vector<std::pair<std::string, std::string>> found;
  static const std::regex line(R"(#define\s+(PWM\w*)\s+(\S+))");
  std::istringstream in(header);
  std::string text;
  std::smatch match;
  while (std::getline(in, text))
    if (std::regex_search(text, match, line)) found.emplace_back(match[1], match[2]);
  return found;
}

TEST(PwmCli, ExampleDefinitionsSurviveASave) {
  for (const char* name : {"classic", "fenn", "tebo", "brel"}) {
    SCOPED_TRACE(name);
    PwmExampleCopy copy(name);
    const auto before = PwmDefines(copy.header());
    ASSERT_FALSE(before.empty());
    std::string output;
    ASSERT_EQ(RunCli("reprocess " + copy.root(), &output), 0) << output;
    const auto after = PwmDefines(copy.header());
    for (const auto& define : before)
      EXPECT_NE(std::find(after.begin(), after.end(), define), after.end()) << define.first;
    // A second save changes nothing of the module.
    ASSERT_EQ(RunCli("reprocess " + copy.root(), &output), 0) << output;
    EXPECT_EQ(PwmDefines(copy.header()), after);
  }
}

TEST(PwmCli, ClassicTimingAndAPercentValueWithASoftwarePair) {
  PwmExampleCopy classic("classic");
  std::string output;
  ASSERT_EQ(RunCli("show " + classic.root() + " PWM_A", &output), 0);
  // 40 MHz bus, /1: 25 ns; centre alignment, modulus 2000: 2 x 2000 x 25 ns = 100 us, 10 kHz;
  // dead time 40 clocks = 1 us.
  EXPECT_NE(output.find("[Clock Period] \"0.025 us\""), std::string::npos) << output;
  EXPECT_NE(output.find("[Period] \"100 us\""), std::string::npos);
  EXPECT_NE(output.find("[Frequency] \"10 kHz\""), std::string::npos);
  EXPECT_NE(output.find("\"1 us\""), std::string::npos);

  PwmExampleCopy tebo("tebo");
  ASSERT_EQ(RunCli("set --save " + tebo.root() +
                       " PWM 'Initialize Value Registers=on' 'Value 0:=-50%' 'Enable on Pin 0=on'",
                   &output),
            0)
      << output;
  const std::string header = tebo.header();
  // -50 % of modulus 1600 is -800 = 0xFCE0; pin 0's partner follows into software control.
  EXPECT_TRUE(std::regex_search(header, std::regex("PWM_PWMVAL0_INIT +0xFCE0U"))) << header;
  EXPECT_TRUE(std::regex_search(header, std::regex("PWM_PMOUT_INIT +0x0300U"))) << header;
  ASSERT_EQ(RunCli("check --json " + tebo.root(), &output), 0) << output;
  EXPECT_EQ(output.find("Software output control"), std::string::npos);
  ASSERT_EQ(RunCli("show " + tebo.root() + " PWM", &output), 0);
  EXPECT_NE(output.find("[PWM Value 0] \"-50 %\""), std::string::npos) << output;
}

}  // namespace
}  // namespace tarq

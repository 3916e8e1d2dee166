#include "app/Cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarq {

TEST(CliArguments, SubcommandsBecomeRequests) {
  CliParse parse = ParseCliArguments({"check", "proj", "--all", "--json"});
  ASSERT_TRUE(parse.ok);
  EXPECT_EQ(parse.request.command, CliRequest::Command::Check);
  EXPECT_EQ(parse.request.path, "proj");
  EXPECT_TRUE(parse.request.all);
  EXPECT_TRUE(parse.request.json);

  parse = ParseCliArguments({"reprocess", "dir/appconfig.h"});
  ASSERT_TRUE(parse.ok);
  EXPECT_EQ(parse.request.command, CliRequest::Command::Reprocess);
  EXPECT_EQ(parse.request.path, "dir/appconfig.h");

  parse = ParseCliArguments({"info"});
  ASSERT_TRUE(parse.ok);
  EXPECT_EQ(parse.request.command, CliRequest::Command::Info);
  EXPECT_EQ(parse.request.path, "");
}

TEST(CliArguments, UsageErrorsAndHelpHaveTheirExitCodes) {
  CliParse parse = ParseCliArguments({"check", "--bogus"});
  EXPECT_FALSE(parse.ok);
  EXPECT_EQ(parse.exitCode, kExitUsage);
  EXPECT_FALSE(parse.text.empty());

  parse = ParseCliArguments({});
  EXPECT_FALSE(parse.ok);
  EXPECT_EQ(parse.exitCode, kExitUsage);

  parse = ParseCliArguments({"--help"});
  EXPECT_FALSE(parse.ok);
  EXPECT_EQ(parse.exitCode, kExitOk);
  EXPECT_NE(parse.text.find("reprocess"), std::string::npos);
}

TEST(CliArguments, DesktopSwitchesAreUnderstoodWithoutSubcommand) {
  CliParse parse = ParseCliArguments({"proj", "/REPROCESS"});
  ASSERT_TRUE(parse.ok);
  EXPECT_EQ(parse.request.command, CliRequest::Command::Reprocess);
  EXPECT_EQ(parse.request.path, "proj");

  parse = ParseCliArguments({"-Unregister", "proj"});
  ASSERT_TRUE(parse.ok);
  EXPECT_EQ(parse.request.command, CliRequest::Command::Info);
  EXPECT_EQ(parse.request.path, "proj");
}

TEST(CliRun, PartsListsEveryKnownPartWithItsGroup) {
  std::ostringstream out, err;
  CliRequest request;
  request.command = CliRequest::Command::Parts;
  EXPECT_EQ(RunCliRequest(request, {}, out, err), kExitOk);
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 36);
  EXPECT_NE(text.find("CVX-36 (read as CVX-08)"), std::string::npos);
  EXPECT_NE(text.find("Brel"), std::string::npos);
}

}  // namespace tarq

// Reader commands: placeholders, quoting and the settings file they come from.
#include "help/DocumentationLookup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "CliTestSupport.h"

namespace tarq {
namespace {

using Words = std::vector<std::string>;

TEST(DocumentationLookup, CommandTemplatesKeepEveryValueOneArgument) {
  // Quoted words stay together, %% is a percent sign, an unknown placeholder stays.
  EXPECT_EQ(ExpandCommand("\"/opt/My Reader/run\" -p %p%% %x %f", "/a b/c;$(x).pdf", "3", {}),
            Words({"/opt/My Reader/run", "-p", "3%", "%x", "/a b/c;$(x).pdf"}));
  // A template without %f gets the file at its end.
  EXPECT_EQ(ExpandCommand("reader --dest=%d", "m.pdf", {}, "SCI 0"),
            Words({"reader", "--dest=SCI 0", "m.pdf"}));
  EXPECT_TRUE(ExpandCommand("   ", "m.pdf", {}, {}).empty());

  const ReaderCommands commands{"open %f", "page %p %f", "dest %d %f"};
  EXPECT_EQ(ReaderCommandFor(commands, "m.pdf", "12"), Words({"page", "12", "m.pdf"}));
  EXPECT_EQ(ReaderCommandFor(commands, "m.pdf", "007b"), Words({"page", "7", "m.pdf"}));
  EXPECT_EQ(ReaderCommandFor(commands, "m.pdf", "0"), Words({"open", "m.pdf"}));
  EXPECT_EQ(ReaderCommandFor(commands, "m.pdf", "x12"), Words({"dest", "x12", "m.pdf"}));
  EXPECT_EQ(ReaderCommandFor(commands, "m.pdf", ""), Words({"open", "m.pdf"}));
}

TEST(DocumentationLookup, CommandsComeFromTheOptionsSectionWithDefaultsForTheRest) {
  apptest::TempFolder folder;
  const std::string path = (folder.path() / "Tarq Corvex.conf").string();
  std::ofstream(path) << "[Other]\nOpener=wrong %f\n[Options]\nGenerateComments=1\n"
                         "PdfReaderPage=\"reader \\\"--page\\\" %p %f\"\nPdfReaderDest=\n";
  const ReaderCommands defaults = DefaultReaderCommands();
  const ReaderCommands loaded = LoadReaderCommands(path);
  EXPECT_EQ(loaded.opener, "xdg-open %f");
  EXPECT_EQ(loaded.pdfReaderPage, "reader \"--page\" %p %f");
  EXPECT_EQ(loaded.pdfReaderDest, defaults.pdfReaderDest);
  EXPECT_EQ(LoadReaderCommands((folder.path() / "none.conf").string()).opener, "xdg-open %f");

  std::string error;
  EXPECT_FALSE(StartDetached({"tarq-no-such-reader-program", "x"}, error));
  EXPECT_NE(error.find("tarq-no-such-reader-program"), std::string::npos);
}

TEST(DocumentationLookup, PluginHelpOpensItsOwnFileOrFallsBackToTheModuleReference) {
  apptest::TempFolder folder;
  std::ofstream(folder.path() / "Plugin.PDF") << "%PDF";
  std::ofstream(folder.path() / "readme.txt") << "text";
  const std::string base = folder.path().string();
  CModuleBase::HelpTarget moduleHelp;
  moduleHelp.file = "/program/help/CVX08RM.pdf";
  moduleHelp.destination = "SCI";

  auto pdf = PluginHelpTarget("Plugin.PDF # 7 ", base, moduleHelp);
  EXPECT_EQ(pdf.file, (folder.path() / "Plugin.PDF").string());
  EXPECT_EQ(pdf.destination, "7");
  EXPECT_FALSE(pdf.systemOpen);
  EXPECT_EQ(PluginHelpTarget("Plugin.PDF#seven", base, moduleHelp).destination, "");
  EXPECT_TRUE(PluginHelpTarget("readme.txt#3", base, moduleHelp).systemOpen);
  EXPECT_TRUE(PluginHelpTarget(".", base, moduleHelp).systemOpen);  // a folder
  for (const char* missing : {"Missing.pdf#2", "", "#4"}) {
    const auto fallback = PluginHelpTarget(missing, base, moduleHelp);
    EXPECT_EQ(fallback.file, moduleHelp.file) << missing;
    EXPECT_EQ(fallback.destination, "SCI") << missing;
  }
}

}  // namespace
}  // namespace tarq

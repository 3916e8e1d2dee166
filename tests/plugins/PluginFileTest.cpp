// Description files and archive member names: worked examples of what a plugin author
// writes and what the program makes of it.
#include <gtest/gtest.h>

#include "../app/CliTestSupport.h"
#include "PluginTestSupport.h"
#include "framework/Register.h"
#include "plugins/PluginArchive.h"
#include "plugins/PluginFile.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;

TEST(PluginRegisterList, RowsReadDefaultsAndFlagsAsAuthorsWriteThem) {
  // 0x10 is 16; DW16 (0x2) | NODEFAULT (0x10) = 0x12.
  CPluginRegs::Row row = CPluginRegs::ParseRow("CTRL_INIT", "0x10;DW16|NODEFAULT");
  EXPECT_EQ(row.defaultValue, 16u);
  EXPECT_EQ(row.flags, 0x12u);
  // A blank after the number: not one integer, so the default is 0.
  EXPECT_EQ(CPluginRegs::ParseRow("R", "0x10 ;DW16").defaultValue, 0u);
  // Leading-zero octal; blanks around the flag words; an unknown word adds nothing.
  row = CPluginRegs::ParseRow("R", "010; DW8 | BOGUS |NONCRITICAL ");
  EXPECT_EQ(row.defaultValue, 8u);
  EXPECT_EQ(row.flags, static_cast<uint32_t>(DW8 | NONCRITICAL));
  // Without a width word a register is 32 bits wide, also without any flag field.
  EXPECT_EQ(CPluginRegs::ParseRow("R", "5").flags, static_cast<uint32_t>(DW32));
  EXPECT_EQ(CPluginRegs::ParseRow("R", "5").defaultValue, 5u);
  // A float is held as text; SIGNEDVALUE and QUOTEDVALUE are one flag.
  row = CPluginRegs::ParseRow("R", "1.25;FLOATVALUE|DW32");
  EXPECT_EQ(row.defaultText, "1.25");
  EXPECT_EQ(row.flags, static_cast<uint32_t>(FLOATVALUE | STRVALUE | DW32));
  EXPECT_EQ(CPluginRegs::ParseFlags("SIGNEDVALUE"), CPluginRegs::ParseFlags("QUOTEDVALUE"));
  // A long text default stays whole.
  const std::string longText(100, 'x');
  EXPECT_EQ(CPluginRegs::ParseRow("R", longText + ";STRVALUE").defaultText, longText);
}

TEST(PluginDescriptionFile, EntriesTakeTheirDefaultsAndShareRegisterLists) {
  CPluginFile file;
  ASSERT_TRUE(file.Parse("/opt/plugins/Board.tarq/board.ini",
                         "stray=before any section\n"
                         "  [tarq_plugins]  \r\n"
                         "plugin1 = Led\n"
                         "plugin2=Motor\n"
                         "plugin4=NeverReached\n"
                         "plugin3=\n"
                         "[Led]\n"
                         "registers = LED_REGS \n"
                         "treepath=Board\\Indicators\\Status LED\n"
                         "maindoc=pages\\led.html\n"
                         "earlyload=yes\n"
                         "key with blank=ignored\n"
                         "[Motor]\n"
                         "class=MOTOR\n"
                         "registers=LED_REGS\n"
                         "helpfile=manual.pdf#12\n"
                         "externalapp=0\n"
                         "[LED_REGS]\n"
                         "ON_INIT=1;DW8\n"
                         "NAME_INIT=a=b;STRVALUE\n"
                         "[NeverReached]\n"));
  ASSERT_EQ(file.Plugins().size(), 2u);
  const CPluginInfo& led = file.Plugins()[0];
  EXPECT_EQ(led.id, "Led");
  EXPECT_EQ(led.className, "LED_REGS");      // the register list's name when no class is given
  EXPECT_EQ(led.displayName, "Status LED");  // the last part of the tree path
  EXPECT_EQ(led.treePath, "Board\\Indicators\\Status LED");
  EXPECT_EQ(led.helpFile, "pages\\led.pdf");  // the main document as a PDF
  EXPECT_EQ(led.PageAddress(), "file:///opt/plugins/Board.tarq/pages/led.html");
  EXPECT_TRUE(led.earlyLoad);
  EXPECT_FALSE(led.externalApp);
  const CPluginInfo& motor = file.Plugins()[1];
  EXPECT_EQ(motor.className, "MOTOR");
  EXPECT_EQ(motor.displayName, "Motor Plugin");
  EXPECT_EQ(motor.treePath, "Motor Plugin");
  EXPECT_EQ(motor.helpFile, "manual.pdf#12");
  // Both name one list: one table, read once; the value keeps its '='.
  ASSERT_TRUE(led.registers);
  EXPECT_EQ(led.registers, motor.registers);
  ASSERT_EQ(led.registers->GetCount(), 2u);
  EXPECT_EQ(*led.registers->DefaultText("NAME_INIT"), "a=b");
  EXPECT_EQ(led.registers->DefaultText("ON_INIT"), nullptr);

  // No plugin section, or a list naming only missing sections: no plugin at all.
  EXPECT_FALSE(file.Parse("x.ini", "[other]\nplugin1=A\n[A]\n"));
  EXPECT_FALSE(file.Parse("x.ini", "[tarq_plugins]\nplugin1=Missing\n"));
  EXPECT_FALSE(file.Parse("x.ini", ""));

  // A tree path ending in a backslash: the node is still named.
  ASSERT_TRUE(file.Parse("x.ini", "[tarq_plugins]\nplugin1=P\n[P]\ntreepath=Board\\\n"));
  EXPECT_EQ(file.Plugins()[0].displayName, "P Plugin");
}

TEST(PluginArchive, MemberNamesThatWouldLeaveTheFolderAreRefused) {
  std::string relative;
  EXPECT_TRUE(SafeMemberPath("pages/./led.html", relative));
  EXPECT_EQ(relative, "pages/led.html");
  EXPECT_TRUE(SafeMemberPath("pages\\img\\", relative));
  EXPECT_EQ(relative, "pages/img/");
  EXPECT_TRUE(SafeMemberPath("a..b/c..", relative));  // dots inside a name are harmless
  for (const char* name : {"", "/", "./", "../x", "a/../../x", "a/..", "/etc/passwd",
                           "\\\\server\\share\\x", "a\\..\\..\\x", "C:\\x", "c:x"})
    EXPECT_FALSE(SafeMemberPath(name, relative)) << name;
}

TEST(PluginArchive, ExtractionKeepsPathsAndRefusesWholeArchivesOverBudget) {
  apptest::TempFolder sandbox;
  const fs::path zipPath = sandbox.path() / "p.zip";
  ASSERT_TRUE(plugintest::WriteZip(zipPath, {{"p.ini", "[tarq_plugins]\n"},
                                             {"pages/", "", plugintest::ZipMember::Folder},
                                             {"pages/a/b.html", "<b/>"}}));
  const fs::path out = sandbox.path() / "out";
  fs::create_directory(out);
  uint64_t budget = 1000;
  std::string error;
  ASSERT_TRUE(ExtractArchive(zipPath.string(), out.string(), budget, error)) << error;
  EXPECT_EQ(plugintest::ListTree(out),
            (std::vector<std::string>{"p.ini", "pages", "pages/a", "pages/a/b.html"}));
  EXPECT_EQ(budget, 1000u - 15 - 4);  // what was written counts against the budget

  // Over the budget: refused whole, the folder left empty.
  fs::remove_all(out);
  fs::create_directory(out);
  ASSERT_TRUE(plugintest::WriteZip(
      zipPath, {{"a.txt", "small"}, {"zeros.bin", "", plugintest::ZipMember::File, 4096}}));
  budget = 4096;
  EXPECT_FALSE(ExtractArchive(zipPath.string(), out.string(), budget, error));
  EXPECT_NE(error.find("expands beyond"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(out));

  // Not an archive at all.
  plugintest::WriteText(zipPath, "PK not really");
  EXPECT_FALSE(ExtractArchive(zipPath.string(), out.string(), budget, error));
  EXPECT_TRUE(fs::is_empty(out));
}

TEST(PluginArchive, PrivateFolderIsTheUsersAlone) {
  std::string error;
  const std::string folder = MakePrivateFolder(error);
  ASSERT_FALSE(folder.empty()) << error;
  EXPECT_EQ(fs::path(folder).filename().string().rfind("Tarq", 0), 0u);
  EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
  const std::string second = MakePrivateFolder(error);
  EXPECT_NE(second, folder);
  fs::remove_all(folder);
  fs::remove_all(second);
}

}  // namespace
}  // namespace tarq

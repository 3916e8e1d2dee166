// Plugins end to end through tarq-cli: folder and ZIP plugins from the program folder, the
// user's plugin folder and the project's header folder; registers in the main header and
// in a plugin's own header; hostile archives refused.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "../plugins/PluginTestSupport.h"
#include "CliTestSupport.h"

namespace tarq {
namespace {

namespace fs = std::filesystem;
using apptest::ReadFile;
using apptest::TempFolder;
using plugintest::WriteText;
using plugintest::WriteZip;
using plugintest::ZipMember;

const std::string kLongText(100, 'L');

// define -> value of every register that `show --json` printed.
std::map<std::string, std::string> ShownRegisters(const std::string& json) {
  std::map<std::string, std::string> values;
  const nlohmann::json shown = nlohmann::json::parse(json, nullptr, false);
  if (shown.is_discarded()) return values;
  for (const auto& module : shown["modules"])
    for (const auto& reg : module["registers"])
      values[reg["define"].get<std::string>()] = reg["value"].get<std::string>();
  return values;
}

std::string PluginIni(const std::string& id, const std::string& section) {
  return "[tarq_plugins]\nplugin1=" + id + "\n\n[" + id + "]\n" + section;
}

// A program folder of its own (the executable and the architecture files), a user data
// folder and a copy of the classic example project.
class PluginsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = sandbox_.path() / "program";
    userPlugins_ = sandbox_.path() / "data" / "Velmor" / "Tarq Corvex" / "plugins";
    project_ = sandbox_.path() / "project";
    tmp_ = sandbox_.path() / "tmp";
    fs::create_directories(userPlugins_);
    fs::create_directories(tmp_);
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "data", program_, fs::copy_options::recursive);
    fs::copy_file(fs::path(TARQ_BINARY_DIR) / "tarq-cli", program_ / "tarq-cli");
    fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / "classic", project_,
             fs::copy_options::recursive);
    headerFolder_ = project_ / "ApplicationConfig";
  }

  // tarq-cli COMMAND PROJECT ARGUMENTS, with the sandbox's folders.
  int Run(const std::string& command, std::string& out, std::string& err,
          const std::string& arguments = {}) {
    const fs::path outFile = io_.path() / "out.txt";
    const fs::path errFile = io_.path() / "err.txt";
    const std::string line = "XDG_DATA_HOME='" + (sandbox_.path() / "data").string() +
                             "' XDG_CONFIG_HOME='" + (io_.path() / "config").string() +
                             "' TMPDIR='" + tmp_.string() + "' '" +
                             (program_ / "tarq-cli").string() + "' " + command + " '" +
                             project_.string() + "' " + arguments + " >'" + outFile.string() +
                             "' 2>'" + errFile.string() + "'";
    const int status = std::system(line.c_str());
    out = ReadFile(outFile);
    err = ReadFile(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string MainHeader() { return ReadFile(headerFolder_ / "appconfig.h"); }

  TempFolder sandbox_;
  TempFolder io_;  // the program's output and options, outside the sandbox
  fs::path program_, userPlugins_, project_, headerFolder_, tmp_;
};

TEST_F(PluginsCli, FolderAndZipPluginsFromEachFolderLoadShowAndSave) {
  // Program folder: a folder plugin, a ZIP plugin, and a description file at the top level
  // that does not count.
  WriteText(program_ / "ProgFolder.tarq" / "pf.ini",
            PluginIni("PF",
                      "registers=PF_REGS\ntreepath=Board\\Prog Folder\nmaindoc=pf.html\n"
                      "[PF_REGS]\nCTRL_INIT=0x10;DW16|NODEFAULT\n"));
  ASSERT_TRUE(WriteZip(program_ / "ProgZip.tarq",
                       {{"pz.ini", PluginIni("PZ",
                                             "registers=PZ_REGS\nname=Zip From Program\n"
                                             "[PZ_REGS]\nCTRL_INIT=0;DW16\n")}}));
  WriteText(program_ / "stray.ini", PluginIni("STRAY", "registers=R\n[R]\nX_INIT=1;DW8\n"));
  // User folder: one without name or tree path (shown as "UF Plugin").
  WriteText(userPlugins_ / "UserFolder.tarq" / "u.ini",
            PluginIni("UF", "registers=UF_REGS\n[UF_REGS]\nVAL_INIT=7;DW8|NODEFAULT\n"));
  ASSERT_TRUE(WriteZip(userPlugins_ / "UserZip.tarq",
                       {{"sub/", "", ZipMember::Folder},
                        {"uz.ini", PluginIni("UZ",
                                             "registers=UZ_REGS\ntreepath=\\Extras\\User Zip\n"
                                             "[UZ_REGS]\nWORD_INIT=0x1000;DW32|NODEFAULT\n")}}));
  // Header folder: a folder plugin with its own header and a long text default; a ZIP
  // holding a further ZIP; the program folder's ZIP once more (a duplicate).
  WriteText(headerFolder_ / "HdrFolder.tarq" / "h.ini",
            PluginIni("HF",
                      "registers=HF_REGS\nheaderfile=plugin_hf.h\n"
                      "[HF_REGS]\nMODE_INIT=0;DW8\nLABEL_INIT=" +
                          kLongText + ";STRVALUE|QUOTEDVALUE|NODEFAULT\n"));
  WriteText(headerFolder_ / "plugin_hf.h",
            "#define HF_MODE_INIT 0x05U\n#define BOARD_SERIAL 7 /* kept by nobody */\n");
  const fs::path inner = sandbox_.path() / "inner.zip";
  ASSERT_TRUE(WriteZip(inner, {{"in.ini", PluginIni("IN",
                                                    "registers=IN_REGS\n"
                                                    "[IN_REGS]\nA_INIT=3;DW8|NODEFAULT\n")}}));
  ASSERT_TRUE(WriteZip(headerFolder_ / "HdrZip.tarq",
                       {{"hz.ini", PluginIni("HZ", "registers=HZ_REGS\n[HZ_REGS]\nB_INIT=0;DW8\n")},
                        {"Inner.tarq", ReadFile(inner)}}));
  fs::copy_file(program_ / "ProgZip.tarq", headerFolder_ / "Again.tarq");
  // Values for the main header.
  std::string header = MainHeader();
  const size_t end = header.find("/*.         End of autogenerated code");
  ASSERT_NE(end, std::string::npos);
  header.insert(end, "#define PZ_CTRL_INIT 0x1234U\n#define HZ_B_INIT 0x21U\n#define IN_A_INIT 0x09U\n");
  WriteText(headerFolder_ / "appconfig.h", header);

  std::string out, err;
  ASSERT_EQ(Run("info", out, err), 0) << err;
  EXPECT_NE(out.find("Prog Folder  (PF, PF_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("Zip From Program  (PZ, PZ_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("UF Plugin  (UF, UF_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("User Zip  (UZ, UZ_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("HF Plugin  (HF, HF_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("HZ Plugin  (HZ, HZ_REGS)"), std::string::npos) << out;
  EXPECT_NE(out.find("IN Plugin  (IN, IN_REGS)"), std::string::npos) << out;
  EXPECT_EQ(out.find("STRAY"), std::string::npos) << out;
  // Relative tree paths go below "Software Modules", each folder a PLUGINS placeholder.
  EXPECT_NE(out.find("Software Modules  (PLUGINS, PLUGINS)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  [ ] Board  (PLUGINS, PLUGINS)\n    [ ] Prog Folder  (PF, PF_REGS)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\n[ ] Extras  (PLUGINS, PLUGINS)\n  [ ] User Zip"), std::string::npos) << out;
  EXPECT_NE(err.find("Duplicate Plugin Module will not be loaded: PZ"), std::string::npos) << err;

  ASSERT_EQ(Run("show --json", out, err, "PZ HF"), 0) << err;
  auto shown = ShownRegisters(out);
  EXPECT_EQ(shown["PZ_CTRL_INIT"], "0x1234") << out;
  EXPECT_EQ(shown["HF_MODE_INIT"], "0x05") << out;
  EXPECT_EQ(shown["HF_LABEL_INIT"], kLongText) << out;

  ASSERT_EQ(Run("reprocess", out, err), 0) << err;
  const std::string mainAfter = MainHeader();
  const std::string pluginAfter = ReadFile(headerFolder_ / "plugin_hf.h");
  EXPECT_NE(mainAfter.find("#define PZ_CTRL_INIT"), std::string::npos) << mainAfter;
  EXPECT_NE(mainAfter.find("0x1234U"), std::string::npos);
  EXPECT_NE(mainAfter.find("#define IN_A_INIT"), std::string::npos);
  EXPECT_NE(mainAfter.find("0x09U"), std::string::npos);
  EXPECT_NE(mainAfter.find("0x21U"), std::string::npos);
  EXPECT_EQ(mainAfter.find("#define HF_"), std::string::npos) << mainAfter;
  EXPECT_EQ(mainAfter.find("BOARD_SERIAL"), std::string::npos);
  // The plugin's own header: its registers, the long text whole, and what nobody claimed.
  EXPECT_NE(pluginAfter.find("0x05U"), std::string::npos) << pluginAfter;
  EXPECT_NE(pluginAfter.find("\"" + kLongText + "\""), std::string::npos) << pluginAfter;
  EXPECT_NE(pluginAfter.find("BOARD_SERIAL"), std::string::npos) << pluginAfter;
  // The archives' private folders are gone with the project.
  EXPECT_TRUE(fs::is_empty(tmp_)) << plugintest::ListTree(tmp_).front();

  // Read again, the saved project gives the same values.
  ASSERT_EQ(Run("show --json", out, err, "HF PZ"), 0) << err;
  shown = ShownRegisters(out);
  EXPECT_EQ(shown["HF_LABEL_INIT"], kLongText) << out;
  EXPECT_EQ(shown["PZ_CTRL_INIT"], "0x1234") << out;
}

TEST_F(PluginsCli, RefusedPluginsAndFiltersNameTheirCause) {
  // A header outside the project, an id of an existing module, a filter that does not
  // compile, a filter for other parts: none of these makes a module or a file.
  WriteText(headerFolder_ / "Bad.tarq" / "bad.ini",
            "[tarq_plugins]\nplugin1=OUT\nplugin2=SYS\nplugin3=BADRE\nplugin4=OTHER\n"
            "plugin5=ABS\nplugin6=NEWH\n\n"
            "[OUT]\nheaderfile=..\\..\\outside.h\n[SYS]\nclass=SYSX\n"
            "[BADRE]\ndevicefilter=CVX-(0\n[OTHER]\ndevicefilter=^CVX-2\n"
            "[ABS]\nheaderfile=/tmp/abs-plugin.h\n"
            "[NEWH]\nregisters=R\nheaderfile=new_plugin.h\n[R]\nX_INIT=1;DW8\n");
  // A tree path of thousands of folders would make as many folder modules, each walked by
  // every check; one of a dozen is still fine.
  std::string deepPath, tallPath;
  for (int level = 0; level < 5000; ++level) deepPath += "D\\";
  for (int level = 0; level < 12; ++level) tallPath += "T" + std::to_string(level) + "\\";
  WriteText(headerFolder_ / "Deep.tarq" / "deep.ini",
            "[tarq_plugins]\nplugin1=DEEP\nplugin2=TALL\n[DEEP]\ntreepath=" + deepPath +
                "Deep\n[TALL]\ntreepath=" + tallPath + "Tall\n");
  WriteText(headerFolder_ / "Empty.tarq" / "empty.ini", "[other]\nx=1\n");
  std::string out, err;
  ASSERT_EQ(Run("info", out, err), 0) << err;
  EXPECT_NE(err.find("Could not create Plugin Module item: OUT"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not create Plugin Module item: ABS"), std::string::npos) << err;
  EXPECT_NE(err.find("Duplicate Plugin Module will not be loaded: SYS"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not create Plugin Module item: DEEP (tree path deeper than 16 levels)"),
            std::string::npos)
      << err;
  EXPECT_EQ(out.find("(DEEP,"), std::string::npos) << out;
  EXPECT_NE(out.find("Tall  (TALL, TALL)"), std::string::npos) << out;
  EXPECT_NE(err.find("Invalid device filter in plugin file " +
                     (headerFolder_ / "Bad.tarq" / "bad.ini").string()),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Error loading plugin file " +
                     (headerFolder_ / "Empty.tarq" / "empty.ini").string()),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("OTHER"), std::string::npos) << err;
  EXPECT_EQ(out.find("(OTHER,"), std::string::npos) << out;
  EXPECT_EQ(out.find("(BADRE,"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(sandbox_.path() / "outside.h"));
  EXPECT_FALSE(fs::exists("/tmp/abs-plugin.h"));
  // A plugin header that does not exist yet is made by a save, not by opening.
  EXPECT_NE(out.find("NEWH Plugin  (NEWH, R)"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(headerFolder_ / "new_plugin.h"));
  ASSERT_EQ(Run("reprocess", out, err), 0) << err;
  EXPECT_TRUE(fs::exists(headerFolder_ / "new_plugin.h"));
}

TEST_F(PluginsCli, HostileArchivesAndFolderLoopsAreRefusedWithNothingWrittenOutside) {
  const std::string good = PluginIni("OK", "registers=R\n[R]\nX_INIT=1;DW8|NODEFAULT\n");
  const fs::path absolute = sandbox_.path() / "abs-escape.txt";
  ASSERT_TRUE(
      WriteZip(headerFolder_ / "A_dotdot.tarq", {{"ok.ini", good}, {"../escape.txt", "x"}}));
  ASSERT_TRUE(
      WriteZip(headerFolder_ / "B_absolute.tarq", {{"ok.ini", good}, {absolute.string(), "x"}}));
  ASSERT_TRUE(WriteZip(headerFolder_ / "C_backslash.tarq",
                       {{"ok.ini", good}, {"sub\\..\\..\\escape.txt", "x"}}));
  ASSERT_TRUE(
      WriteZip(headerFolder_ / "D_link.tarq", {{"ok.ini", good},
                                               {"out", sandbox_.path().string(), ZipMember::Link},
                                               {"out/escape.txt", "x"}}));
  ASSERT_TRUE(WriteZip(headerFolder_ / "E_huge.tarq",
                       {{"ok.ini", good}, {"zeros.bin", "", ZipMember::File, 1ull << 30}}));
  // Archives inside archives, deeper than is followed.
  std::string nested = PluginIni("DEEP", "registers=R\n[R]\nX_INIT=1;DW8\n");
  std::string nestedName = "deep.ini";
  for (int level = 0; level < 12; ++level) {
    const fs::path zip = io_.path() / "nested.zip";
    ASSERT_TRUE(WriteZip(zip, {{nestedName, nested}}));
    nested = ReadFile(zip);
    nestedName = "level" + std::to_string(level) + ".tarq";
  }
  WriteText(headerFolder_ / "F_deep.tarq", nested);
  // A folder plugin that links to itself and to the folder holding it.
  const fs::path loop = headerFolder_ / "Loop.tarq";
  WriteText(loop / "loop.ini", PluginIni("LOOP", "registers=R\n[R]\nX_INIT=1;DW8|NODEFAULT\n"));
  fs::create_directory_symlink(".", loop / "self.tarq");
  fs::create_directory_symlink("..", loop / "up.tarq");
  const auto before = plugintest::ListTree(sandbox_.path());

  std::string out, err;
  ASSERT_EQ(Run("info", out, err), 0) << err;
  for (const char* name : {"A_dotdot", "B_absolute", "C_backslash", "D_link", "E_huge"})
    EXPECT_NE(err.find(std::string(name) + ".tarq was not loaded"), std::string::npos)
        << name << "\n"
        << err;
  EXPECT_EQ(out.find("(OK,"), std::string::npos) << out;
  EXPECT_NE(err.find("was not loaded: nested too deeply"), std::string::npos) << err;
  EXPECT_EQ(out.find("(DEEP,"), std::string::npos) << out;
  // The looping folder loads once: no duplicate.
  EXPECT_NE(out.find("LOOP Plugin  (LOOP, R)"), std::string::npos) << out;
  EXPECT_EQ(err.find("Duplicate"), std::string::npos) << err;
  EXPECT_EQ(plugintest::ListTree(sandbox_.path()), before);
  EXPECT_FALSE(fs::exists(absolute));
}

}  // namespace
}  // namespace tarq

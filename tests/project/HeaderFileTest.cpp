#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "framework/Host.h"
#include "framework/TextUtil.h"
#include "project/HeaderFile.h"
#include "project/HeaderWriter.h"

namespace tarq {

namespace fs = std::filesystem;

namespace {

// Parses `text` as the main header appconfig.h.
struct Parsed {
  explicit Parsed(std::string_view text, bool main = true) : header(main) {
    header.path = "/project/ApplicationConfig/appconfig.h";
    header.Parse(text);
  }
  const Definition* Def(const std::string& name) { return header.FindDefinition(name); }
  HeaderFile header;
};

// A parameter block exactly as a module writes it.
std::string ParameterComment(const std::string& module, const ParameterBlock& block) {
  std::string text = "/*. Internal Tarq parameters, do not edit!\n    [PARAMETERS:" + module + "]";
  for (const auto& [key, value] : block) text += "\n    " + key + "=" + value;
  return text + "\n.*/\n";
}

// Module text built from a parsed header the way the modules and the user definitions
// block write it: parameter blocks, then every definition with its comment behind it.
std::string ModuleTextOf(const HeaderFile& header) {
  std::string text;
  for (const auto& [module, block] : header.parameterBlocks)
    text += "/*.\n    " + module + " Software Module Configuration\n.*/\n" +
            ParameterComment(module, block) + "\n";
  text += "\n\n/*.\n    User definitions\n    ----------------- \n.*/\n";
  for (const auto& [name, definition] : header.definitions) {
    std::string line = "#define   " + name;
    PadTo(line, 40);
    line += " " + definition.value;
    if (!definition.comment.empty()) {
      PadTo(line, 50);
      line += " /* " + definition.comment + " */";
    }
    text += line + "\n";
  }
  return text;
}

std::string Rewrite(const HeaderFile& header) {
  HeaderWriteContext context;
  context.now = 1700000000;
  return BuildHeaderText(header, ModuleTextOf(header), false, context);
}

class TempFolder {
 public:
  TempFolder()
      : path_(fs::temp_directory_path() /
              ("tarq_header_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return path_ / name;
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

TEST(HeaderFileGuard, EmptyFileGetsGuardFromFileName) {
  Parsed p("");
  EXPECT_TRUE(p.header.definitions.empty());
  EXPECT_EQ(p.header.guardName, "__APPCONFIG_H");
  EXPECT_EQ(p.header.preamble, "#ifndef __APPCONFIG_H\n#define __APPCONFIG_H\n");
  EXPECT_EQ(p.header.trailer, "\n#endif /* __APPCONFIG_H */\n");

  // White space only counts as empty too; names a C compiler cannot take are mended.
  HeaderFile plugin;
  plugin.path = "C:\\proj\\my plugin-cfg.h";
  plugin.Parse(" \r\n\t\n");
  EXPECT_EQ(plugin.guardName, "__MY_PLUGIN_CFG_H");
  EXPECT_EQ(GuardNameFromFileName("appconfig.h"), "__APPCONFIG_H");
}

TEST(HeaderFileGuard, GuardDefineStaysInPreambleAndYieldsNoDefinition) {
  Parsed p("#ifndef X_H /* guard */\n#define X_H\n\n#define A 1\nint code;\n#endif\n");
  EXPECT_EQ(p.header.guardName, "X_H");
  EXPECT_EQ(p.header.preamble, "#ifndef X_H /* guard */\n#define X_H");
  // What follows the last definition of a header without end marker is kept.
  EXPECT_EQ(p.header.trailer, "int code;\n#endif\n");
  EXPECT_EQ(p.Def("X_H"), nullptr);
  ASSERT_NE(p.Def("A"), nullptr);
  EXPECT_EQ(p.header.definitions.size(), 1u);

  // After the preamble the guard's name is an ordinary definition.
  Parsed later("#ifndef G\n#define A 1\n#define G 2\n");
  ASSERT_NE(later.Def("G"), nullptr);
  EXPECT_EQ(later.Def("G")->value, "2");
}

TEST(HeaderFileGuard, GuardedHeaderWithoutDefinitionsKeepsOneEndif) {
  // The whole file is preamble; its closing #endif must not be written twice.
  Parsed p("#ifndef G\n#define G\n#include <x.h>\n#endif /* G */\n");
  EXPECT_EQ(p.header.preamble, "#ifndef G\n#define G\n#include <x.h>");
  EXPECT_EQ(p.header.trailer, "#endif /* G */\n");
  // A nested default-value idiom stays in the preamble as a whole.
  Parsed nested("#ifndef G\n#define G\n#ifndef F\n#define F 5\n#endif\n#define A 1\n#endif\n");
  EXPECT_EQ(nested.header.preamble, "#ifndef G\n#define G\n#ifndef F\n#define F 5\n#endif");
  EXPECT_EQ(nested.Def("F"), nullptr);
  EXPECT_NE(nested.Def("A"), nullptr);
}

TEST(HeaderFilePreamble, EndsAtTheDefineLineOrTheFirstInternalComment) {
  Parsed comment("/* x */\n#define A 1\n");
  EXPECT_EQ(comment.header.preamble, "/* x */");
  ASSERT_NE(comment.Def("A"), nullptr);
  EXPECT_EQ(comment.Def("A")->comment, "x");
  EXPECT_EQ(comment.header.trailer, "\n");

  Parsed indented("#include <a.h>\n   #define A 1\n");
  EXPECT_EQ(indented.header.preamble, "#include <a.h>");

  // A comment that ends on the #define line stays whole: it is the definition's comment.
  Parsed spanning("#include <a.h>\n/* a\n b */ #define A 1\n");
  EXPECT_EQ(spanning.header.preamble, "#include <a.h>");
  EXPECT_EQ(spanning.Def("A")->comment, "a\n b");

  Parsed internal("// top\n#include <b.h>\n/*. banner .*/\n#define A 1\n");
  EXPECT_EQ(internal.header.preamble, "// top\n#include <b.h>");
  EXPECT_NE(internal.Def("A"), nullptr);
}

TEST(HeaderFileDefinitions, ValueAndCommentsOfOneLine) {
  Parsed p(
      "#define A 0x10 /* speed */\n"
      "#define S  \"a  b\"   // text\n"
      "#define C '/*' /* c */\n"
      "#define Q \"x\\\" /* y */\" // z\n"
      "#define G 1/*glued*/+2\n"
      "#define E\n"
      "#define M 1 /* a */ /*  */ // b\n"
      "#define F(x, y) ((x)+(y))\n");
  EXPECT_EQ(p.Def("A")->value, "0x10");
  EXPECT_EQ(p.Def("A")->comment, "speed");
  EXPECT_EQ(p.Def("S")->value, "\"a  b\"");
  EXPECT_EQ(p.Def("S")->comment, "text");
  EXPECT_EQ(p.Def("C")->value, "'/*'");
  EXPECT_EQ(p.Def("C")->comment, "c");
  EXPECT_EQ(p.Def("Q")->value, "\"x\\\" /* y */\"");
  EXPECT_EQ(p.Def("Q")->comment, "z");
  EXPECT_EQ(p.Def("G")->value, "1+2");
  EXPECT_EQ(p.Def("G")->comment, "glued");
  EXPECT_EQ(p.Def("E")->value, "");
  EXPECT_EQ(p.Def("M")->comment, "a b");
  ASSERT_NE(p.Def("F(x,"), nullptr);
  EXPECT_EQ(p.Def("F(x,")->value, "y) ((x)+(y))");
  EXPECT_FALSE(p.Def("A")->used);
}

TEST(HeaderFileDefinitions, CommentOnTheLineBeforeAttachesOnlyWhenItStandsAlone) {
  Parsed p(
      "/* first */\n#define A 1 /* second */\n"
      "#define B 2 /* b */\n"  // A's comment must not travel to B
      "#define C 3\n"
      "// far\n\n#define D 4\n"  // two lines above: not attached
      "/* multi\n   line */\n#define E 5\n"
      "/* front */ #define F 6\n#define G 7\n");
  EXPECT_EQ(p.Def("A")->comment, "first second");
  EXPECT_EQ(p.Def("B")->comment, "b");
  EXPECT_EQ(p.Def("C")->comment, "");
  EXPECT_EQ(p.Def("D")->comment, "");
  EXPECT_EQ(p.Def("E")->comment, "multi\n   line");
  EXPECT_EQ(p.Def("F")->comment, "front");
  EXPECT_EQ(p.Def("G")->comment, "");
}

TEST(HeaderFileDefinitions, LaterWinsJoinedLinesAndIgnoredDirectives) {
  Parsed p(
      "#define A 1\n#undef A\n#define A 2\n"
      "#define J 1 + \\\n 2 /* j */\n"
      "#define K \\\r\n 7\n"
      "#include <x.h> /* k */ \\\n\n#define L 8\n"
      "#define\nN 9\n"
      "#if 0\n#endif\n");
  EXPECT_EQ(p.Def("A")->value, "2");
  EXPECT_EQ(p.Def("J")->value, "1 +  2");
  EXPECT_EQ(p.Def("J")->comment, "j");
  EXPECT_EQ(p.Def("K")->value, "7");
  EXPECT_EQ(p.Def("L")->comment, "k");  // the joined line break does not count
  EXPECT_EQ(p.Def("N"), nullptr);
  EXPECT_EQ(p.header.definitions.size(), 4u);
}

TEST(HeaderFileDefinitions, UnbalancedQuotesAndUnclosedCommentsDoNotSwallowTheFile) {
  Parsed apostrophe("#define A don't\n#define B 2\n");
  EXPECT_EQ(apostrophe.Def("A")->value, "don't");
  ASSERT_NE(apostrophe.Def("B"), nullptr);
  EXPECT_EQ(apostrophe.Def("B")->value, "2");

  // A C comment ends at its first closer, even one opened like an internal comment.
  Parsed user("/*. note */\n#define A 1\n");
  EXPECT_NE(user.Def("A"), nullptr);

  for (const char* text : {"#define A \"", "#define A 1 /* open", "/*.", "//", "\\", "#define",
                           "#ifndef", "'", "#define A '\\", "/*. x", "#define X\\\n"}) {
    Parsed p(text);  // must simply not crash or hang
    EXPECT_FALSE(p.header.trailer.empty()) << text;
  }
  Parsed open("#define A 1 /* open\n#define B 2\n");
  EXPECT_EQ(open.Def("A")->value, "1");
  EXPECT_EQ(open.Def("B"), nullptr);
}

TEST(HeaderFileParameters, BlocksAreReadFromComments) {
  std::string text =
      "/*.\n    SCI_0 comment\n.*/\n" +
      ParameterComment("SCI_0",
                       {{"MODE", "1"}, {"NAME", "\"x y\""}, {"EMPTY", ""}, {"LAST", "0x0010U"}}) +
      "#define SCI_0_SCIBR_INIT 0x0034U\n";
  text += "/* [PARAMETERS:SPI_0]\n  A = 1 \n B=2\nno equals\n C=3\n*/\n";
  text += "/*. [PARAMETERS:X]\n A=1\n\n [PARAMETERS:Y]\n B=2\n.*/\n";  // second block ignored
  text += "/* [PARAMETERS:SCI_0]\n    MODE=2\n    NEW=5\n*/\n";        // merges, overwrites
  text += "/* [PARAMETERS:Z]\n A=1 */\n";  // the last key line lacks its line break
  Parsed p(text);
  EXPECT_EQ(*p.header.FindParameter("SCI_0", "MODE"), "2");
  EXPECT_EQ(*p.header.FindParameter("SCI_0", "NAME"), "\"x y\"");
  // An empty value must not take the next key line as its value.
  EXPECT_EQ(*p.header.FindParameter("SCI_0", "EMPTY"), "");
  EXPECT_EQ(*p.header.FindParameter("SCI_0", "LAST"), "0x0010U");
  EXPECT_EQ(*p.header.FindParameter("SCI_0", "NEW"), "5");
  EXPECT_EQ(*p.header.FindParameter("SPI_0", "A"), "1");
  EXPECT_EQ(*p.header.FindParameter("SPI_0", "B"), "2");
  EXPECT_EQ(p.header.FindParameter("SPI_0", "C"), nullptr);  // a line without '=' ends the block
  EXPECT_NE(p.header.FindParameter("X", "A"), nullptr);
  EXPECT_EQ(p.header.parameterBlocks.count("Y"), 0u);
  EXPECT_EQ(p.header.parameterBlocks.count("Z"), 0u);
  EXPECT_EQ(p.header.FindParameter("NONE", "A"), nullptr);
  EXPECT_EQ(p.Def("SCI_0_SCIBR_INIT")->value, "0x0034U");

  p.header.Clear();
  EXPECT_TRUE(p.header.definitions.empty());
  EXPECT_TRUE(p.header.parameterBlocks.empty());
}

TEST(HeaderFileEndMarker, RestOfFileIsTheTrailer) {
  const std::string after = "#define AFTER 1\n/* keep */\n#endif  \n";
  Parsed p(
      "#ifndef G\n#define G\n/*. not the end .*/\n#define A 1\n"
      "/*.         End of autogenerated code\n*** ..*/ \n\n" +
      after + "\n\n");
  EXPECT_EQ(p.header.preamble, "#ifndef G\n#define G");
  EXPECT_EQ(p.header.trailer, Trim(after) + "\n");
  EXPECT_EQ(p.Def("AFTER"), nullptr);
  EXPECT_NE(p.Def("A"), nullptr);
}

TEST(HeaderFileLineEndings, CrLfFilesReadLikeLfFiles) {
  Parsed p(
      "#ifndef G\r\n#define G\r\n\r\n"
      "/*. Internal Tarq parameters, do not edit!\r\n    [PARAMETERS:M]\r\n    K=1 \r\n"
      "    E=\r\n    L=2\r\n.*/\r\n"
      "// above\r\n#define A 1 // c\r\n#define B \\\r\n  2\r\n"
      "/*. end ..*/\r\n#endif\r\n// tail\r\n");
  EXPECT_EQ(p.header.preamble, "#ifndef G\r\n#define G");
  EXPECT_EQ(p.Def("A")->value, "1");
  EXPECT_EQ(p.Def("A")->comment, "above c");
  EXPECT_EQ(p.Def("B")->value, "2");
  EXPECT_EQ(*p.header.FindParameter("M", "K"), "1");
  EXPECT_EQ(*p.header.FindParameter("M", "E"), "");
  EXPECT_EQ(*p.header.FindParameter("M", "L"), "2");
  EXPECT_EQ(p.header.trailer, "#endif\r\n// tail\n");
}

TEST(HeaderFileAliases, TableHolds308PairsInBothDirections) {
  const auto& aliases = DefinitionAliases();
  EXPECT_EQ(DefinitionAliasPairCount(), 308);
  EXPECT_EQ(aliases.size(), 616u);  // no name belongs to two pairs
  const std::pair<const char*, const char*> samples[] = {
      {"ADC_B_CONTROL_REG2", "ADC_B_ADCR2_INIT"},
      {"ADC_A_ZERO_CROSS_CONTROL_REG", "ADC_A_ADZCC_INIT"},
      {"ADC_A_CHANNEL_LIST_REG1", "ADC_A_ADLST1_INIT"},
      {"ADC_B_SAMPLE_DISABLE_REG", "ADC_B_ADSDIS_INIT"},
      {"ADC_A_STATUS_REG", "ADC_A_ADSTAT_INIT"},
      {"ADC_A_LIMIT_STATUS_REG", "ADC_A_ADLSTAT_INIT"},
      {"ADC_B_ZERO_CROSS_STATUS_REG", "ADC_B_ADZCSTAT_INIT"},
      {"ADC_A_LOW_LIMIT_REG0", "ADC_A_ADLLMT0_INIT"},
      {"ADC_B_HIGH_LIMIT_REG7", "ADC_B_ADHLMT7_INIT"},
      {"ADC_B_OFFSET_REG3", "ADC_B_ADOFS3_INIT"},
      {"COP_CONTROL_REG", "COP_COPCTL_INIT"},
      {"COP_TIMEOUT_REG", "COP_COPTO_INIT"},
      {"DEC_0_CONTROL_REG", "DEC_0_DECCR_INIT"},
      {"DEC_1_WATCHDOG_TIMEOUT_REG", "DEC_1_WTR_INIT"},
      {"DEC_1_FILTER_INTERVAL_REG", "DEC_1_FIR_INIT"},
      {"DEC_0_UPPER_INIT_REG", "DEC_0_UIR_INIT"},
      {"DEC_1_LOWER_INIT_REG", "DEC_1_LIR_INIT"},
      {"GPIO_A_PULLUP_ENABLE_REG", "GPIO_A_PUR_INIT"},
      {"GPIO_E_PUSHPULL_MODE_REG", "GPIO_E_PPMODE_INIT"},
      {"GPIO_C_INTERRUPT_POLARITY_REG", "GPIO_C_IPOLR_INIT"},
      {"ITCN_INT_PRIORITY_10", "INT_PRIORITY_LEVEL_10"},
      {"ITCN_INT_PRIORITY_63", "INT_PRIORITY_LEVEL_63"},
      {"OCCS_CONTROL_REG", "OCCS_PLLCR_INIT"},
      {"OCCS_INTERNAL_OSC_REG", "OCCS_IOSCTL_INIT"},
      {"PWM_B_DEAD_TIME_REG", "PWM_B_PMDEADTM_INIT"},
      {"PWM_A_CHANNEL_CONTROL_REG", "PWM_A_PMCCR_INIT"},
      {"PWM_B_DISABLE_MAPPING_2_REG", "PWM_B_PMDISMAP2_INIT"},
      {"QT_A0_CONTROL_REG", "QT_A0_CTRL_INIT"},
      {"QT_D3_COUNTER_REG", "QT_D3_CNTR_INIT"},
      {"QT_C2_COMPARE_REG2", "QT_C2_CMP2_INIT"},
      {"SCI_1_BAUD_RATE_REG", "SCI_1_SCIBR_INIT"},
      {"SPI_0_DATA_SIZE_REG", "SPI_0_SPDSCR_INIT"},
      {"SYS_BASEREG_7", "SEMI_CSBAR7_INIT"},
      {"SYS_OPTIONREG_0", "SEMI_CSOR0_INIT"},
      {"SYS_CONTROL_REG", "SIM_CONROL_INIT"},
      {"SYS_BUS_CONTROL_REG", "BCR_INIT"},
  };
  for (const auto& [older, current] : samples) {
    ASSERT_EQ(aliases.count(older), 1u) << older;
    EXPECT_EQ(aliases.at(older), current);
    ASSERT_EQ(aliases.count(current), 1u) << current;
    EXPECT_EQ(aliases.at(current), older);
  }
  // The ranges stop where the table says.
  for (const char* outside : {"ITCN_INT_PRIORITY_9", "ITCN_INT_PRIORITY_64", "GPIO_F_PUR_INIT",
                              "QT_E0_CTRL_INIT", "ADC_A_ADCR0_INIT", "SIM_CONTROL_INIT",
                              "SYS_BASEREG_8", "PWM_A_PMDISMAP0_INIT", "QT_A0_CMP0_INIT"})
    EXPECT_EQ(aliases.count(outside), 0u) << outside;
}

TEST(HeaderFileAliases, OnlyTheMainHeaderResolvesOlderNames) {
  const char* text =
      "#define QT_A0_CONTROL_REG 0x1234U\n#define COP_COPCTL_INIT 1\n"
      "#define COP_CONTROL_REG 2\n";
  Parsed main(text, true);
  Definition* timer = main.header.FindDefinition("QT_A0_CTRL_INIT");
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->name, "QT_A0_CONTROL_REG");
  EXPECT_EQ(timer->value, "0x1234U");
  EXPECT_EQ(main.header.FindDefinition("COP_COPCTL_INIT")->value, "1");  // exact name wins
  EXPECT_EQ(main.header.FindDefinition("QT_B0_CTRL_INIT"), nullptr);

  Parsed plugin(text, false);
  EXPECT_EQ(plugin.header.FindDefinition("QT_A0_CTRL_INIT"), nullptr);
  EXPECT_NE(plugin.header.FindDefinition("QT_A0_CONTROL_REG"), nullptr);
}

TEST(HeaderFileRead, ReportsFilesThatCannotBeRead) {
  TempFolder folder;
  CollectingHost host;
  HeaderFile header(true);
  const std::string missing = (folder.Path() / "missing.h").string();
  EXPECT_FALSE(header.Read(missing, &host));
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].find("Cannot open file '" + missing + "'"), std::string::npos);
  EXPECT_FALSE(header.Read(missing, nullptr));  // silent without a host

  EXPECT_FALSE(header.Read(folder.Path().string(), &host));  // a folder opens but cannot be read
  EXPECT_EQ(host.Messages().size(), 2u);

  const fs::path file = folder.Write("plug_in.h", "#define A 1\n");
  ASSERT_TRUE(header.Read(file.string(), &host));
  EXPECT_EQ(header.path, file.string());
  EXPECT_EQ(header.guardName, "__PLUG_IN_H");
  EXPECT_EQ(header.FindDefinition("A")->value, "1");
}

TEST(HeaderFileRoundTrip, ForeignHeaderKeepsPreambleAndTrailerByteForByte) {
  const std::string preamble = "/* Board config */\r\n#ifndef CFG\t\n#define CFG\n#include \"a.h\"";
  Parsed first(preamble + "\n\n#define A 1 /* one */\n#define B \"two  words\"\n#endif\n");
  EXPECT_EQ(first.header.preamble, preamble);
  const std::string written = Rewrite(first.header);
  EXPECT_EQ(written.substr(0, preamble.size()), preamble);
  EXPECT_TRUE(EndsWith(written, "..*/\n\n#endif\n"));

  Parsed second(written);
  EXPECT_EQ(second.header.preamble, first.header.preamble);
  EXPECT_EQ(second.header.trailer, first.header.trailer);
  ASSERT_NE(second.Def("B"), nullptr);
  EXPECT_EQ(second.Def("B")->value, "\"two  words\"");
}

TEST(HeaderFileRoundTrip, WrittenHeaderReadsBackUnchangedAndCommentsDoNotGrow) {
  std::string original = "#ifndef G\n#define G\n";
  original += "/*.\n    M comment\n.*/\n" +
              ParameterComment("SCI_0", {{"MODE", "1"}, {"EMPTY", ""}, {"TEXT", "\"a b\""}});
  original += "/* lead */\n#define A 0x10U /*  speed  */\n#define B 2 // b\n#define C\n";
  original += "/*. end ..*/\n#define KEEP 1\n#endif\n";
  Parsed first(original);

  std::string text = Rewrite(first.header);
  for (int save = 0; save < 3; ++save) {
    Parsed again(text);
    EXPECT_EQ(again.header.preamble, first.header.preamble);
    EXPECT_EQ(again.header.trailer, first.header.trailer);
    EXPECT_EQ(again.header.parameterBlocks, first.header.parameterBlocks);
    ASSERT_EQ(again.header.definitions.size(), first.header.definitions.size());
    for (const auto& [name, definition] : first.header.definitions) {
      const Definition* read = again.Def(name);
      ASSERT_NE(read, nullptr) << name;
      EXPECT_EQ(read->value, definition.value) << name;
      EXPECT_EQ(read->comment, definition.comment) << name;
    }
    const std::string next = Rewrite(again.header);
    EXPECT_EQ(next, text) << "save " << save;
    text = next;
  }
  EXPECT_EQ(first.Def("A")->comment, "lead speed");
  EXPECT_EQ(first.Def("B")->comment, "b");
  EXPECT_EQ(*first.header.FindParameter("SCI_0", "EMPTY"), "");
  EXPECT_EQ(first.header.trailer, "#define KEEP 1\n#endif\n");
}

}  // namespace tarq

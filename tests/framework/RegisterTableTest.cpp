#include <gtest/gtest.h>

#include "framework/Host.h"
#include "framework/ModuleBase.h"
#include "project/HeaderFile.h"

namespace tarq {
namespace {

class TestContext : public ModuleContext {
 public:
  Host& GetHost() override { return host; }
  const Options& GetOptions() const override { return options; }
  CModuleBase* FindModule(const std::string& prefix, const std::string& kind) override {
    for (CModuleBase* module : modules)
      if (module->GetPrefix() == prefix && (kind.empty() || module->GetClass() == kind))
        return module;
    return nullptr;
  }
  std::vector<CModuleBase*> GetModules() override { return modules; }

  CollectingHost host;
  Options options;
  std::vector<CModuleBase*> modules;
};

ArchitectureEntry Entry(const std::string& name, const std::string& kind,
                        const std::string& displayName = "") {
  ArchitectureEntry entry;
  entry.name = name;
  entry.kind = kind;
  entry.displayName = displayName;
  return entry;
}

const RegisterDecl kSciRegisters[] = {
    {"SCIBR_INIT", 0x0000, DW16},
    {"SCICR_INIT~control", 0x0000, DW16 | NODEFAULT},
    {"MODE", 0x0003, DW8 | INTERNAL},
    {"HOOK_NAME", 0, DW8 | STRVALUE | QUOTEDVALUE | USERDEFINE},
    {"HIGHLEVEL_MODE", 0, NOVALUE | USERDEFINE},
    {"SPARE_INIT", 0x0000, DW16 | DUMMYREG | NOSHOWLIST},
    {"SCISR_INIT", 0x00C0, DW16 | NONCRITICAL},
    {"-IRQA_ENABLED", 0, DW8 | DECVALUE},
};

// A SCI_0 module attached to a context, options at their defaults.
struct SciFixture : ::testing::Test {
  void SetUp() override {
    sci.InitRegisters(kSciRegisters, std::size(kSciRegisters));
    sci.SetContext(&context);
    context.modules.push_back(&sci);
    sci.SetSelected(true);
    sci.MarkSaved();
  }
  Register& Reg(const char* name) { return *sci.FindOwnRegister(name); }
  std::string Write() {
    std::string text;
    EXPECT_TRUE(sci.WriteDefines(text));
    return text;
  }

  TestContext context;
  CModuleBase sci{Entry("SCI_0", "SCI", "Serial")};
};

TEST(RegisterTable, DeclarationsIdentityAndValueText) {
  CModuleBase module(Entry("OCCS", "OCCS"));
  EXPECT_EQ(module.GetLabel(), "OCCS");  // no " - OCCS" when class and name agree
  const RegisterDecl rows[] = {{"CTRL_INIT~counter", 5, DW16}, {"LOAD_INIT   spare  x", 7, DW8}};
  module.InitRegisters(rows, 2);
  EXPECT_GE(module.Registers().capacity(), 200u);
  const Register& load = module.Registers()[1];
  EXPECT_EQ(module.Registers()[0].note, "counter");
  EXPECT_EQ(load.name + "|" + load.note, "LOAD_INIT|spare  x");
  EXPECT_EQ(load.savedValue, 7u);
  module.AddRegister({"EXTRA_INIT", 1, DW32});
  module.SetRegisterCount(10);  // never grows into nameless entries
  EXPECT_EQ(module.GetRegisterCount(), 3u);
  module.SetRegisterCount(1);
  EXPECT_EQ(module.GetRegisterCount(), 1u);

  Register reg;
  reg.value = 0xFFFFFFAB;
  const std::pair<uint32_t, const char*> forms[] = {
      {DW8, "0xFFFFFFABU"}, {DW16, "0xFFFFFFABU"}, {DW16 | DECVALUE, "-85"}};
  for (const auto& [flags, expected] : forms) {
    reg.flags = flags;
    EXPECT_EQ(CModuleBase::FormatValue(reg, true), expected);
  }
  reg.value = 0xAB;
  reg.flags = DW32;
  EXPECT_EQ(CModuleBase::FormatValue(reg, false), "0x000000AB");
  reg.flags = 0;
  EXPECT_EQ(CModuleBase::FormatValue(reg, true), "0xABU");
}

TEST(RegisterTable, ParseValueChecksSyntaxAndWidth) {
  struct Case {
    uint32_t flags;
    const char* text;
    const char* message;  // empty when accepted
    uint32_t value;
  };
  const Case cases[] = {
      {DW8, "0x100", "This register value must be a number between 0 and 0xff", 0x12},
      {DW8, "  010", "", 8},
      {DW8, "5 ", "This register value must be a number between 0 and 0xff", 0x12},
      {DW16, "-1", "This register value must be a number between 0 and 0xffff", 0x12},
      {DW32, "-1", "", 0xFFFFFFFF},
      // Beyond 32 bits must not wrap around to a small value.
      {DW32, "0x100000000", "This register value must be a number between 0 and 0xffffffff", 0x12},
      {STRVALUE | FLOATVALUE, " 1.5e3", "", 1},
  };
  for (const Case& c : cases) {
    Register reg;
    reg.flags = c.flags;
    reg.value = 0x12;
    std::string message;
    EXPECT_EQ(CModuleBase::ParseValue(reg, c.text, message), *c.message == 0) << c.text;
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(reg.value, c.value) << c.text;
  }

  Register reg;
  reg.flags = STRVALUE | FLOATVALUE;
  std::string message;
  for (const char* bad : {"1.5MHz", "12 a", "inf", "nan", "", "1.5 "}) {
    EXPECT_FALSE(CModuleBase::ParseValue(reg, bad, message)) << bad;
    EXPECT_EQ(message, "This value must be a floating point number");
  }
  EXPECT_EQ(reg.text, "");
  reg.flags = STRVALUE;
  const std::string longText(120, 'h');
  EXPECT_TRUE(CModuleBase::ParseValue(reg, longText, message));
  EXPECT_EQ(reg.text, longText);  // kept whole
  EXPECT_TRUE(CModuleBase::ParseValue(reg, "", message));
  EXPECT_EQ(reg.value, 0u);  // no text, no define
}

TEST_F(SciFixture, DefineLinesPadToColumnFortyAndOmitResetValues) {
  Reg("SCIBR_INIT").value = 0x1234;
  EXPECT_EQ(Write(),
            "/*. Internal Tarq parameters, do not edit!\n"
            "    [PARAMETERS:SCI_0]\n"
            "    MODE=0x03U\n"
            ".*/\n"
            "#define SCI_0_SCIBR_INIT                  0x1234U\n"
            "#define SCI_0_SCICR_INIT                  0x0000U\n");

  // A name that fills the 40 columns gets no padding, only the two separating blanks.
  CModuleBase longModule(Entry("LONGPREFIX_0", "X"));
  const RegisterDecl rows[] = {{"ABCDEFGHIJKLMN_INIT", 0, DW16}};
  longModule.InitRegisters(rows, 1);
  longModule.SetSelected(true);
  longModule.Registers()[0].value = 1;
  std::string text;
  ASSERT_TRUE(longModule.WriteDefines(text));
  EXPECT_EQ(text, "#define LONGPREFIX_0_ABCDEFGHIJKLMN_INIT  0x0001U\n");
}

TEST_F(SciFixture, GenerateDefaultsWritesEverythingIncludingUndef) {
  context.options.generateDefaults = true;
  sci.Registers().erase(sci.Registers().begin() + 2);  // no parameter block in this test
  const std::string text = Write();
  EXPECT_NE(text.find("#define SCI_0_SCIBR_INIT                  0x0000U\n"), std::string::npos);
  EXPECT_NE(text.find("#undef SCI_0_HIGHLEVEL_MODE\n"), std::string::npos);
  EXPECT_NE(text.find("#define IRQA_ENABLED                      0\n"), std::string::npos);
  EXPECT_EQ(text.find("SPARE"), std::string::npos);      // DUMMYREG never
  EXPECT_EQ(text.find("HOOK_NAME"), std::string::npos);  // text register without text

  Reg("HIGHLEVEL_MODE").value = 1;
  Reg("HOOK_NAME").value = 1;
  Reg("HOOK_NAME").text = "OnChar";
  const std::string withValues = Write();
  EXPECT_NE(withValues.find("#define SCI_0_HIGHLEVEL_MODE\n"), std::string::npos);
  EXPECT_NE(withValues.find("#define SCI_0_HOOK_NAME                   \"OnChar\"\n"),
            std::string::npos);
}

TEST_F(SciFixture, LoadReadsNumbersTextsAndParameters) {
  HeaderFile header;
  header.Parse(
      "/*. Internal Tarq parameters, do not edit!\n"
      "    [PARAMETERS:SCI_0]\n"
      "    MODE=0x07U\n"
      ".*/\n"
      "#define SCI_0_SCIBR_INIT 0x0012U\n"
      "#define SCI_0_HOOK_NAME \"abc\"\n"
      "#define SCI_0_HIGHLEVEL_MODE\n"
      "#define IRQA_ENABLED 017\n"
      "#define OTHER_DEFINE 1\n");
  EXPECT_EQ(sci.LoadDefines(header), 5);
  EXPECT_TRUE(sci.IsSelected());
  EXPECT_TRUE(sci.IsDefineSource(&header));
  EXPECT_FALSE(sci.IsModified());
  EXPECT_EQ(Reg("SCIBR_INIT").value, 0x12u);
  EXPECT_EQ(Reg("MODE").value, 7u);
  EXPECT_EQ(Reg("HOOK_NAME").text, "abc");
  EXPECT_EQ(Reg("HIGHLEVEL_MODE").value, 1u);
  EXPECT_EQ(Reg("IRQA_ENABLED").value, 15u);
  EXPECT_TRUE(Reg("SCIBR_INIT").Has(LOADED));
  EXPECT_FALSE(Reg("SCICR_INIT").Has(LOADED));
  EXPECT_TRUE(header.FindDefinition("SCI_0_HOOK_NAME")->used);
  EXPECT_FALSE(header.FindDefinition("OTHER_DEFINE")->used);
  EXPECT_TRUE(context.host.entries.empty());

  // Written back: the quotes return, the absolute name keeps no prefix.
  const std::string text = Write();
  EXPECT_NE(text.find("#define SCI_0_HOOK_NAME                   \"abc\"\n"), std::string::npos);
  EXPECT_NE(text.find("#define IRQA_ENABLED                      15\n"), std::string::npos);
}

TEST_F(SciFixture, InvalidValuesAreReportedInOneMessage) {
  HeaderFile header;
  header.Parse(
      "#define SCI_0_SCIBR_INIT BAUD_9600\n"
      "#define SCI_0_SCICR_INIT -\n"
      "#define SCI_0_SCISR_INIT 0x80\n");
  EXPECT_EQ(sci.LoadDefines(header), 3);
  ASSERT_EQ(context.host.entries.size(), 1u);
  EXPECT_EQ(context.host.entries[0].text,
            "Invalid values found (ignoring):\n\n"
            "     #define SCI_0_SCIBR_INIT BAUD_9600\n"
            "     #define SCI_0_SCICR_INIT -\n");
  EXPECT_EQ(Reg("SCIBR_INIT").value, 0u);
  EXPECT_EQ(Reg("SCISR_INIT").value, 0x80u);
}

TEST_F(SciFixture, CommentsSurviveLoadAndWriteWhole) {
  const std::string longComment(300, 'c');
  HeaderFile header;
  header.Parse("#define SCI_0_SCIBR_INIT 0x0012U /* .dot */\n\n"
               "#define SCI_0_SCICR_INIT 0x0001U // a*/b\n\n"
               "#define SCI_0_HOOK_NAME \"" + std::string(100, 'v') + "\"\n\n"
               "#define SCI_0_SCISR_INIT 0x0001U /* " + longComment + " */\n\n"
               "#define IRQA_ENABLED 3\n");
  ASSERT_EQ(sci.LoadDefines(header), 5);
  EXPECT_EQ(Reg("SCISR_INIT").comment, longComment);
  EXPECT_EQ(Reg("HOOK_NAME").text, std::string(100, 'v'));

  EXPECT_EQ(Write().find(" /*"), std::string::npos);  // user comments are off by default
  context.options.keepUserComments = true;
  const std::string text = Write();
  EXPECT_NE(text.find("#define SCI_0_SCISR_INIT                  0x0001U  /*" + longComment +
                      " */\n"),
            std::string::npos);
  // Neither "*/" from a line comment nor a leading '.' may change how the file reads back.
  EXPECT_NE(text.find("0x0001U  /*a* /b */\n"), std::string::npos);
  EXPECT_NE(text.find("0x0012U  /* .dot */\n"), std::string::npos);

  HeaderFile again;
  again.Parse(text);
  CModuleBase copy(Entry("SCI_0", "SCI"));
  copy.InitRegisters(kSciRegisters, std::size(kSciRegisters));
  EXPECT_EQ(copy.LoadDefines(again), 6);  // the five defines and the MODE parameter
  for (size_t i = 0; i < copy.GetRegisterCount(); ++i) {
    const Register& original = sci.Registers()[i];
    EXPECT_EQ(copy.Registers()[i].value, original.value) << original.name;
    if (original.Has(STRVALUE)) {
      EXPECT_EQ(copy.Registers()[i].text, original.text);
    }
  }
  EXPECT_EQ(copy.FindOwnRegister("SCIBR_INIT")->comment, ".dot");
  EXPECT_EQ(copy.FindOwnRegister("SCICR_INIT")->comment, "a* /b");
  EXPECT_EQ(copy.FindOwnRegister("SCISR_INIT")->comment, longComment);
}

TEST_F(SciFixture, UnselectedModuleAsksBeforeDroppingChanges) {
  const std::string question =
      "Warning: Module Serial - SCI is not selected to be written into the configuration file. "
      "Any changes in this module will be lost!\n\nDo you want to keep changes in this module?";
  const std::string before = "earlier module text\n";
  sci.SetSelected(false);

  // Only a NONCRITICAL difference: dropped without asking.
  Reg("SCISR_INIT").value = 0;
  std::string text = before;
  EXPECT_TRUE(sci.WriteDefines(text));
  EXPECT_EQ(text, before);
  EXPECT_TRUE(context.host.entries.empty());

  Reg("SCIBR_INIT").value = 0x20;
  context.host.answers = {Answer::Cancel, Answer::No, Answer::Yes};
  EXPECT_FALSE(sci.WriteDefines(text));
  EXPECT_EQ(text, before);
  EXPECT_TRUE(sci.WriteDefines(text));
  EXPECT_EQ(text, before);
  EXPECT_FALSE(sci.IsSelected());
  EXPECT_TRUE(sci.WriteDefines(text));
  EXPECT_TRUE(sci.IsSelected());
  EXPECT_NE(text.find(before + "/*. Internal"), std::string::npos);
  EXPECT_NE(text.find("SCI_0_SCIBR_INIT"), std::string::npos);
  ASSERT_EQ(context.host.entries.size(), 3u);
  EXPECT_EQ(context.host.entries[0].kind, "yesnocancel");
  EXPECT_EQ(context.host.entries[0].text, question);

  // Without a document nobody can be asked: the changes stay out.
  CModuleBase bare(Entry("SCI_1", "SCI"));
  bare.InitRegisters(kSciRegisters, 1);
  bare.Registers()[0].value = 1;
  std::string bareText;
  EXPECT_TRUE(bare.WriteDefines(bareText));
  EXPECT_EQ(bareText, "");
}

TEST_F(SciFixture, FindRegisterAcrossModules) {
  CModuleBase timer(Entry("QT_A0", "QT"));
  const RegisterDecl timerRows[] = {{"CTRL_INIT", 0, DW16}, {"-COP_COPCTL_INIT", 0, DW16}};
  timer.InitRegisters(timerRows, 2);
  timer.SetContext(&context);
  context.modules.push_back(&timer);

  CModuleBase* owner = nullptr;
  EXPECT_EQ(sci.FindRegister("SCI_0_SCIBR_INIT", &owner), &Reg("SCIBR_INIT"));
  EXPECT_EQ(owner, &sci);
  EXPECT_EQ(sci.FindRegister("IRQA_ENABLED", &owner), &Reg("-IRQA_ENABLED"));
  EXPECT_EQ(sci.FindRegister("QT_A0_CTRL_INIT", &owner), &timer.Registers()[0]);
  EXPECT_EQ(owner, &timer);
  EXPECT_EQ(sci.FindRegister("COP_COPCTL_INIT", &owner), &timer.Registers()[1]);
  EXPECT_EQ(owner, &timer);
  EXPECT_EQ(sci.FindRegister("QT_A0_CTRL_INIT"), nullptr);  // other modules only with owner
  EXPECT_EQ(sci.FindRegister("QT_A1_CTRL_INIT", &owner), nullptr);
  EXPECT_EQ(owner, nullptr);
}

TEST_F(SciFixture, ModifiedComparesCriticalRegistersAndSelection) {
  EXPECT_FALSE(sci.IsModified());
  Reg("SCISR_INIT").value = 1;
  Reg("SPARE_INIT").value = 1;
  EXPECT_FALSE(sci.IsModified());
  Reg("HOOK_NAME").text = "x";
  EXPECT_TRUE(sci.IsModified());
  sci.MarkSaved();
  EXPECT_FALSE(sci.IsModified());
  sci.SetSelected(false);
  EXPECT_TRUE(sci.IsModified());
  sci.MarkSaved();
  EXPECT_FALSE(sci.IsModified());

  CModuleBase empty(Entry("DOC", "DOC"));
  empty.SetSelected(true);
  EXPECT_FALSE(empty.IsSelected());
}

TEST(RegisterTable, ParametersAndResetOverrides) {
  CModuleBase module(Entry("COP", "COP"));
  const RegisterDecl rows[] = {{"-COP_COPCTL_INIT", 0, DW16}, {"COPTO_INIT", 0xFFFF, DW16}};
  module.InitRegisters(rows, 2);
  const std::string text = " COP_COPCTL_RESET = 0x0004 \nnoise\nCOPTO_RESET=1\nCOPTO_RESET=010\n"
                           "NAME = a = b\nBAD=x";
  module.SetParameterText(text);
  EXPECT_EQ(module.GetParameterText(), text);
  std::string value = "stale";
  EXPECT_TRUE(module.GetParameter("NAME", value));
  EXPECT_EQ(value, "a = b");
  EXPECT_FALSE(module.GetParameter("noise", value));
  EXPECT_EQ(value, "");
  uint32_t number = 0;
  EXPECT_FALSE(module.GetParameterInt("BAD", number));

  module.ApplyResetParameters();
  EXPECT_EQ(module.Registers()[0].resetValue, 4u);
  EXPECT_EQ(module.Registers()[0].value, 4u);
  EXPECT_EQ(module.Registers()[1].resetValue, 8u);  // the later line wins, read as octal

  EXPECT_TRUE(CModuleBase::IsTrueText("yes") && CModuleBase::IsTrueText("TRUE"));
  EXPECT_FALSE(CModuleBase::IsTrueText("on") || CModuleBase::IsTrueText(""));
  EXPECT_TRUE(CModuleBase::IsFalseText("No") && CModuleBase::IsFalseText("fAlSe"));
}

}  // namespace
}  // namespace tarq

namespace tarq {
namespace {

TEST(RegisterTextValues, OnlyTextsThatCanStandInTheHeaderAreTaken) {
  Register reg;
  reg.flags = STRVALUE;
  std::string message;
  for (const char* bad : {"a\nb", "a\r", "x /* y", "y */", "a // b", "tail\\"}) {
    EXPECT_FALSE(CModuleBase::ParseValue(reg, bad, message)) << bad;
    EXPECT_NE(message.find("cannot stand in the configuration file"), std::string::npos);
  }
  EXPECT_FALSE(CModuleBase::ParseValue(reg, std::string("a\0b", 3), message));
  EXPECT_TRUE(CModuleBase::ParseValue(reg, "(2 + 3) * x", message));
  EXPECT_EQ(reg.text, "(2 + 3) * x");

  EXPECT_TRUE(CModuleBase::CheckTextValue("", true, message));
  EXPECT_TRUE(CModuleBase::CheckTextValue("_Isr9", true, message));
  for (const char* bad : {"9isr", "isr x", "isr-1", "isr\\", "a*/b"})
    EXPECT_FALSE(CModuleBase::CheckTextValue(bad, true, message)) << bad;
}

}  // namespace
}  // namespace tarq

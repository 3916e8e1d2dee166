// tarq-cli import and tarq-cli doc end to end: settings imported from another project and
// from a sibling module, the lists the import dialog shows, and the reader command a module's
// help starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "CliTestSupport.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace tarq {
namespace {

using apptest::ReadFile;
using apptest::RunCli;
using apptest::TempFolder;

std::string Quote(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

fs::path CopyExample(const TempFolder& folder, const std::string& name, const std::string& as) {
  fs::copy(fs::path(TARQ_SOURCE_DIR) / "examples" / name, folder.path() / as,
           fs::copy_options::recursive);
  return folder.path() / as;
}

std::string Header(const fs::path& project) {
  return ReadFile(project / "ApplicationConfig" / "appconfig.h");
}

// The value of a define in a header, or "<none>".
std::string DefineValue(const std::string& header, const std::string& name) {
  std::smatch match;
  if (std::regex_search(header, match, std::regex("#define " + name + " +(\\S+)"))) return match[1];
  return "<none>";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// tarq-cli with a shell prefix (variables) before it.
int RunCliWith(const std::string& prefix, const std::string& arguments, std::string* output,
               std::string* errors) {
  return RunCli(arguments, output, errors, prefix);
}

// The options file of a run, so no user's settings take part.
std::string WithOptions(const TempFolder& folder, const std::string& options = {}) {
  WriteFile(folder.path() / "config" / "Velmor" / "Tarq Corvex.conf", "[Options]\n" + options);
  return "XDG_CONFIG_HOME=" + Quote(folder.path() / "config") + " ";
}

TEST(ImportCli, FromAnotherProjectCopiesTheValuesAndLeavesThatProjectAlone) {
  TempFolder folder;
  const fs::path target = CopyExample(folder, "fenn", "target");
  const fs::path other = CopyExample(folder, "fenn", "other");
  // The other project's serial port runs at another rate.
  std::string otherHeader = Header(other);
  otherHeader = std::regex_replace(otherHeader, std::regex("(#define SCI_0_SCIBR_INIT +)\\S+"),
                                   "$1 0x0123U");
  WriteFile(other / "ApplicationConfig" / "appconfig.h", otherHeader);
  const auto otherFiles = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(other))
      names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> filesBefore = otherFiles();

  std::string output, errors;
  ASSERT_EQ(RunCliWith(WithOptions(folder), "import --save " + Quote(target) + " SCI_0 --from " +
                       Quote(other),
                   &output, &errors),
            0)
      << errors;
  EXPECT_EQ(output, "SCI_0_SCIBR_INIT 0x0123U (was 0x0021U)\n");
  EXPECT_NE(errors.find("Are you sure to modify the SCI_0 module settings?"), std::string::npos);
  EXPECT_EQ(DefineValue(Header(target), "SCI_0_SCIBR_INIT"), "0x0123U");
  // Read only: no lock, no backup, not rewritten.
  EXPECT_EQ(otherFiles(), filesBefore);
  EXPECT_EQ(Header(other), otherHeader);
}

TEST(ImportCli, FromASiblingModuleAllOrTheNamedRegisters) {
  TempFolder folder;
  const fs::path project = CopyExample(folder, "fenn", "project");
  // The first port's character type differs from the default the second one has.
  WriteFile(project / "ApplicationConfig" / "appconfig.h",
            std::regex_replace(Header(project), std::regex("(#define SCI_0_SCICR_INIT[^\n]*\n)"),
                               "$1#define SCI0CHAR UWord8\n"));
  const std::string before = Header(project);
  ASSERT_EQ(DefineValue(before, "SCI0CHAR"), "UWord8");
  const std::string sci0Rate = DefineValue(before, "SCI_0_SCIBR_INIT");
  const std::string sci0Control = DefineValue(before, "SCI_0_SCICR_INIT");
  ASSERT_NE(sci0Rate, DefineValue(before, "SCI_1_SCIBR_INIT"));

  // Only the named register: the control register stays as it was.
  std::string output, errors;
  ASSERT_EQ(RunCliWith(WithOptions(folder), "import --save " + Quote(project) +
                       " SCI_1 --source SCI_0 --registers SCIBR_INIT",
                   &output, &errors),
            0)
      << errors;
  std::string header = Header(project);
  EXPECT_EQ(DefineValue(header, "SCI_1_SCIBR_INIT"), sci0Rate);
  EXPECT_NE(DefineValue(header, "SCI_1_SCICR_INIT"), sci0Control);

  // All registers; the register whose name differs (SCI1CHAR against SCI0CHAR) is asked
  // about, answered No in a batch run, and keeps its value.
  ASSERT_EQ(RunCliWith(WithOptions(folder), "import --save " + Quote(project) + " SCI_1 --source SCI_0",
                   &output, &errors),
            0)
      << errors;
  header = Header(project);
  EXPECT_EQ(DefineValue(header, "SCI_1_SCICR_INIT"), sci0Control);
  EXPECT_NE(errors.find("The register names do not match! The SCI1CHAR register value will set to "
                        "value of the SCI0CHAR register from the source project\n\nDo you want "
                        "this to happen?\n  [batch answer: No]"),
            std::string::npos)
      << errors;
  EXPECT_NE(DefineValue(header, "SCI1CHAR"), "UWord8");
  EXPECT_EQ(DefineValue(header, "SCI0CHAR"), "UWord8");

  // Named registers that are none of the source's: nothing happens.
  EXPECT_EQ(RunCliWith(WithOptions(folder), "import --save " + Quote(project) +
                       " SCI_1 --source SCI_0 --registers NOSUCH_INIT",
                   &output, &errors),
            1);
  EXPECT_EQ(Header(project), header);
}

TEST(ImportCli, SourceListsAndRefusals) {
  TempFolder folder;
  const fs::path fenn = CopyExample(folder, "fenn", "fenn");
  const fs::path classic = CopyExample(folder, "classic", "classic");
  const std::string options = WithOptions(folder);
  std::string output, errors;

  // A sibling of the same class; another project's unwritten module is "(empty)".
  ASSERT_EQ(RunCliWith(options, "import --list " + Quote(fenn) + " SCI_1", &output, &errors), 0);
  EXPECT_EQ(output, "SCI_0\n");
  ASSERT_EQ(RunCliWith(options, "import --list " + Quote(fenn) + " SCI_1 --from " + Quote(classic),
                   &output, &errors),
            0);
  EXPECT_EQ(output, "SCI_0\nSCI_1 (empty)\n");
  // The clock module of the classic group cannot be imported into a later part...
  ASSERT_EQ(RunCliWith(options, "import --list " + Quote(fenn) + " OCCS --from " + Quote(classic),
                   &output, &errors),
            0);
  EXPECT_EQ(output, "OCCS (forbidden)\n");
  // ... and a module with no other of its class has nothing to offer.
  ASSERT_EQ(RunCliWith(options, "import --list " + Quote(fenn) + " INTC", &output, &errors), 0);
  EXPECT_EQ(output, "n/a\n");

  const std::string before = Header(fenn);
  EXPECT_EQ(RunCliWith(options, "import --save " + Quote(fenn) + " OCCS --from " + Quote(classic),
                   &output, &errors),
            1);
  EXPECT_NE(errors.find("Please select a valid source module!"), std::string::npos) << errors;
  EXPECT_NE(errors.find("(forbidden)"), std::string::npos) << errors;
  // A module cannot be its own source.
  EXPECT_EQ(RunCliWith(options, "import --save " + Quote(fenn) + " SCI_1", &output, &errors), 1);
  EXPECT_EQ(Header(fenn), before);
}

// A program folder of the test's own: tarq-cli beside an architecture file whose help
// references the test chooses, and a help folder. tarq-cli finds its program folder from its
// own location, so it is copied there.
class DocProgramFolder {
 public:
  explicit DocProgramFolder(const std::string& folderName) {
    root_ = folder_.path() / folderName;
    fs::create_directories(root_ / "help");
    std::error_code error;
    fs::create_hard_link(fs::path(TARQ_BINARY_DIR) / "tarq-cli", root_ / "tarq-cli", error);
    if (error) fs::copy_file(fs::path(TARQ_BINARY_DIR) / "tarq-cli", root_ / "tarq-cli");
    WriteFile(root_ / "CVX-08.cfg",
              ".BEGIN_TREE_LIST\n"
              "SCI_0 SCI NONE IRQ: \"Page\" \"Manual.pdf#12\"\n"
              "SCI_1 SCI NONE IRQ: \"Name\" \"  Manual.pdf  #  SCI  \"\n"
              "SPI_0 SPI NONE IRQ: \"Document\" \"Manual.pdf#\"\n"
              "IIC I2C NONE IRQ: \"Missing\" \"Missing.pdf#IIC\"\n"
              "QT_A0 QT NONE IRQ: \"Page zero\" \"Manual.pdf#0\"\n"
              "QT_A1 QT NONE IRQ: \"None\"\n"
              ".END_TREE_LIST\n");
    WriteFile(root_ / "help" / "Manual.pdf", "%PDF-1.4\n");
    WriteFile(folder_.path() / "project" / "appconfig.h", "#define CVX-08\n");
  }
  const fs::path& root() const { return root_; }
  fs::path project() const { return folder_.path() / "project"; }
  const TempFolder& folder() const { return folder_; }

  // Runs `tarq-cli doc` from this folder.
  int Doc(const std::string& options, const std::string& arguments, std::string& output,
          std::string& errors) const {
    const fs::path out = folder_.path() / "out.txt";
    const fs::path err = folder_.path() / "err.txt";
    const std::string command = options + Quote(root_ / "tarq-cli") + " doc " + Quote(project()) +
                                " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
    const int status = std::system(command.c_str());
    output = ReadFile(out);
    errors = ReadFile(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  TempFolder folder_;
  fs::path root_;
};

TEST(DocCli, DryRunNamesTheReaderCommandForEachKindOfReference) {
  DocProgramFolder program("program");
  const std::string options = WithOptions(
      program.folder(),
      "Opener=opener %f\nPdfReaderPage=\"reader --page=%p %f\"\nPdfReaderDest=reader %f#%d\n");
  const std::string manual = (program.root() / "help" / "Manual.pdf").string();
  std::string output, errors;

  ASSERT_EQ(program.Doc(options, "SCI_0 --dry-run --json", output, errors), 0) << errors;
  EXPECT_EQ(json::parse(output),
            json({{"module", "SCI_0"}, {"file", manual}, {"page", 12}, {"destination", nullptr},
                  {"command", {"reader", "--page=12", manual}}}));

  // Blanks around both halves of the reference are trimmed.
  ASSERT_EQ(program.Doc(options, "SCI_1 --dry-run --json", output, errors), 0) << errors;
  EXPECT_EQ(json::parse(output),
            json({{"module", "SCI_1"}, {"file", manual}, {"page", nullptr}, {"destination", "SCI"},
                  {"command", {"reader", manual + "#SCI"}}}));

  // Nothing after the '#', and a page below 1: the document alone.
  for (const char* prefix : {"SPI_0", "QT_A0"}) {
    ASSERT_EQ(program.Doc(options, std::string(prefix) + " --dry-run --json", output, errors), 0)
        << errors;
    EXPECT_EQ(json::parse(output)["command"], json({"opener", manual})) << prefix;
  }

  // A missing document and a module without a reference open nothing.
  ASSERT_EQ(program.Doc(options, "IIC --dry-run --json", output, errors), 1);
  EXPECT_EQ(json::parse(output)["command"], json(nullptr));
  EXPECT_EQ(json::parse(output)["file"], json((program.root() / "help" / "Missing.pdf").string()));
  EXPECT_NE(errors.find("\nHelp document not found: " +
                        (program.root() / "help" / "Missing.pdf").string() + "\n"),
            std::string::npos)
      << errors;
  ASSERT_EQ(program.Doc(options, "QT_A1 --dry-run --json", output, errors), 1);
  EXPECT_EQ(json::parse(output)["command"], json(nullptr));
}

TEST(DocCli, AFolderNameWithShellCharactersReachesTheReaderAsOneArgument) {
  DocProgramFolder program("it's \"$(touch pwned)\"; `touch pwned2` & x");
  const fs::path log = program.folder().path() / "arguments.txt";
  // A stand-in reader that writes each argument on a line of its own.
  const fs::path reader = program.folder().path() / "reader.sh";
  WriteFile(reader, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " +
                        Quote(log) + "\n");
  fs::permissions(reader, fs::perms::owner_all);
  const std::string options =
      WithOptions(program.folder(), "PdfReaderDest=" + reader.string() + " --dest=%d %f\n");
  const std::string manual = (program.root() / "help" / "Manual.pdf").string();
  std::string output, errors;

  ASSERT_EQ(program.Doc(options, "SCI_1 --dry-run --json", output, errors), 0) << errors;
  EXPECT_EQ(json::parse(output)["command"], json({reader.string(), "--dest=SCI", manual}));
  EXPECT_FALSE(fs::exists(log));

  ASSERT_EQ(program.Doc(options, "SCI_1", output, errors), 0) << errors;
  for (int i = 0; i < 100 && !fs::exists(log); ++i) usleep(20000);
  for (int i = 0; i < 100 && Lines(ReadFile(log)).size() < 2; ++i) usleep(20000);
  EXPECT_EQ(Lines(ReadFile(log)), std::vector<std::string>({"--dest=SCI", manual}));
  // Nothing of the name was run by a shell, in any working folder.
  for (const fs::path& where : {program.folder().path(), program.root(), fs::current_path()}) {
    EXPECT_FALSE(fs::exists(where / "pwned"));
    EXPECT_FALSE(fs::exists(where / "pwned2"));
  }
}

}  // namespace
}  // namespace tarq

// Reading and writing a large configuration header: the time a document spends on its
// header when a project is opened and saved.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/TextUtil.h"
#include "project/HeaderFile.h"
#include "project/HeaderWriter.h"
#include "project/Settings.h"

namespace tarq {
namespace {

// One module section as modules write it: the description comment, the parameter block
// and the define lines, some with a user comment behind them.
void AppendModuleSection(std::string& text, int module) {
  const std::string prefix = Format("MOD_%d", module);
  text += "/*.\n    " + prefix + " Software Module Configuration\n";
  text += "    --------------------------------------------\n";
  text += "    Module mode:              Normal operation\n";
  text += "    Clock source:             IP bus clock, 60.000000 MHz\n";
  text += "    Interrupts:               receiver full, transmitter empty\n.*/\n";
  text += "/*. Internal Tarq parameters, do not edit!\n    [PARAMETERS:" + prefix + "]";
  for (int key = 0; key < 6; ++key) text += Format("\n    PARAM_%d=0x%04XU", key, module * 7 + key);
  text += "\n    NAME=\"module name\"\n    EMPTY=\n.*/\n";
  for (int reg = 0; reg < 12; ++reg) {
    std::string line = "#define " + prefix + Format("_REG%d_INIT", reg);
    PadTo(line, 40);
    line += Format(" 0x%04XU", (module * 31 + reg) & 0xFFFF);
    if (reg % 4 == 0) {
      PadTo(line, 50);
      line += " /* set by the application */";
    }
    text += line + "\n";
  }
  text += "\n";
}

// The module text of a project with more than 1 MB of sections and user definitions.
const std::string& ModuleText() {
  static const std::string text = [] {
    std::string result;
    result.reserve(1200 * 1024);
    for (int module = 0; result.size() < 1024 * 1024; ++module) AppendModuleSection(result, module);
    result += "\n\n/*.\n    User definitions\n    ----------------- \n.*/\n";
    for (int user = 0; user < 500; ++user) {
      std::string line = Format("#define   USER_SETTING_%d", user);
      PadTo(line, 40);
      line += Format(" (%d * 4)", user);
      PadTo(line, 50);
      line += " /* user definition */\n";
      result += line;
    }
    return result;
  }();
  return text;
}

const std::string& HeaderText() {
  static const std::string text = [] {
    HeaderFile header(true);
    header.preamble = "#ifndef __APPCONFIG_H\n#define __APPCONFIG_H\n\n#include \"board.h\"";
    header.trailer = "#endif /* __APPCONFIG_H */\n";
    ProjectSettings settings;
    Options options;
    HeaderWriteContext context{&settings, &options, nullptr, 1700000000};
    return BuildHeaderText(header, ModuleText(), true, context);
  }();
  return text;
}

// A document reads its header into one record; the expressions are compiled once.
void BM_ParseHeader(benchmark::State& state) {
  const std::string& text = HeaderText();
  HeaderFile header(true);
  header.path = "appconfig.h";
  for (auto _ : state) {
    header.Parse(text);
    benchmark::DoNotOptimize(header.definitions.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["definitions"] = static_cast<double>(header.definitions.size());
  state.counters["blocks"] = static_cast<double>(header.parameterBlocks.size());
}
BENCHMARK(BM_ParseHeader)->Unit(benchmark::kMillisecond);

// Opening a project: a new record each time, so compiling the expressions is included.
void BM_ParseHeaderFreshRecord(benchmark::State& state) {
  const std::string& text = HeaderText();
  for (auto _ : state) {
    HeaderFile header(true);
    header.path = "appconfig.h";
    header.Parse(text);
    benchmark::DoNotOptimize(header.definitions.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseHeaderFreshRecord)->Unit(benchmark::kMillisecond);

// Opening a project: the file read into a new record, as the document does.
void BM_ReadHeaderFile(benchmark::State& state) {
  const std::string& text = HeaderText();
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("tarq_bench_" + std::to_string(::getpid()) + "_appconfig.h");
  std::ofstream(path, std::ios::binary) << text;
  for (auto _ : state) {
    HeaderFile header(true);
    if (!header.Read(path.string(), nullptr)) {
      state.SkipWithError("the header could not be read");
      break;
    }
    benchmark::DoNotOptimize(header.definitions.size());
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadHeaderFile)->Unit(benchmark::kMillisecond);

// Assembling the text of a save (everything but the file write).
void BM_BuildHeaderText(benchmark::State& state) {
  HeaderFile header(true);
  header.path = "appconfig.h";
  header.Parse(HeaderText());
  const std::string& moduleText = ModuleText();
  ProjectSettings settings;
  Options options;
  HeaderWriteContext context{&settings, &options, nullptr, 1700000000};
  size_t size = 0;
  for (auto _ : state) {
    const std::string text = BuildHeaderText(header, moduleText, true, context);
    size = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_BuildHeaderText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarq

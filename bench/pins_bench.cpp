// The pin database under a warnings pass: every module with pins collects its signals over
// all ports and every pin row checks for duplicated functions, on each pass. Measured on
// the example with the most pins (Dorn, 49 pins on six ports).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "app/Cli.h"
#include "framework/Host.h"
#include "framework/Pins.h"
#include "modules/ModuleKinds.h"
#include "project/ProjDoc.h"

namespace tarq {
namespace {

class OpenExample {
 public:
  explicit OpenExample(const std::string& name) {
    const std::filesystem::path program = ExecutableFolder();
    DocumentEnvironment environment;
    environment.programFolder = program.string();
    environment.readUserOptions = false;
    doc_ = std::make_unique<CProjDoc>(host_, environment, RegisterBuiltInModuleKinds);
    // A copy, so that the lock file never lands in the repository's examples.
    copy_ = std::filesystem::temp_directory_path() / ("tarq-bench-" + name);
    std::filesystem::remove_all(copy_);
    std::filesystem::copy(program / ".." / "examples" / name, copy_,
                          std::filesystem::copy_options::recursive);
    opened_ = doc_->OpenProject(copy_.string());
    if (opened_) doc_->OnIdle();
  }
  ~OpenExample() {
    doc_.reset();
    std::filesystem::remove_all(copy_);
  }
  bool Opened() const { return opened_; }
  CProjDoc& Doc() { return *doc_; }

 private:
  CollectingHost host_;
  std::unique_ptr<CProjDoc> doc_;
  std::filesystem::path copy_;
  bool opened_ = false;
};

void BM_WarningsPassWithPinChecks(benchmark::State& state) {
  OpenExample example("dorn");
  if (!example.Opened()) {
    state.SkipWithError("examples/dorn did not open");
    return;
  }
  for (auto _ : state) example.Doc().CheckAllWarnings(false);
  state.counters["modules"] = static_cast<double>(example.Doc().GetModules().size());
}
BENCHMARK(BM_WarningsPassWithPinChecks)->Unit(benchmark::kMillisecond);

void BM_CollectSignalsOfEveryModule(benchmark::State& state) {
  OpenExample example("dorn");
  if (!example.Opened()) {
    state.SkipWithError("examples/dorn did not open");
    return;
  }
  size_t signalCount = 0;
  for (auto _ : state) {
    signalCount = 0;
    for (CModuleBase* module : example.Doc().GetModules())
      signalCount += CollectSignals(example.Doc(), *module, {}, true).size();
  }
  state.counters["signals"] = static_cast<double>(signalCount);
}
BENCHMARK(BM_CollectSignalsOfEveryModule)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarq

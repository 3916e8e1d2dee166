// The shared harness of the module tests: a project on disk with a part, a module tree (the
// part's real architecture file, or a tree and module information of the test's own), the
// header's definitions and stand-in partners; a module's page opened, a control found, a
// warning read, the header saved and read back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../project/ProjectTestSupport.h"
#include "framework/Capabilities.h"
#include "framework/Hints.h"
#include "framework/Module.h"
#include "framework/Warnings.h"
#include "modules/ModuleKinds.h"
#include "project/ModuleFactory.h"
#include "project/ProjDoc.h"

namespace tarq {

// A stand-in module that only has registers: what a module under test reads of a partner
// that is not itself under test. A partner stand-in derives from it and answers its
// capability from its register bits.
class StubModule : public CModule {
 public:
  StubModule(const ArchitectureEntry& entry, std::vector<RegisterDecl> table,
             CModuleBase* parent = nullptr)
      : CModule(entry, parent) {
    InitRegisters(table.data(), table.size());
  }

 protected:
  uint32_t Field(size_t reg, int low, int high) const {
    return (Registers()[reg].value >> low) & ((1u << (high - low + 1)) - 1);
  }
  bool Bit(size_t reg, int bit) const { return Field(reg, bit, bit) != 0; }
};

// A stand-in clock source with clocks the test sets.
class StubClockSource : public CModule, public ClockSource {
 public:
  explicit StubClockSource(const ArchitectureEntry& entry) : CModule(entry) {}
  float GetBusClockMHz() const override { return bus; }
  float GetHighSpeedClockMHz() const override { return highSpeed; }
  float GetSystemClockMHz() const override { return system; }
  bool IsPllRunning() const override { return pll; }
  bool IsCrystalOscillatorEnabled() const override { return crystal; }
  bool IsRelaxationOscillatorEnabled() const override { return relaxation; }
  float GetCrystalFrequencyMHz() const override { return crystalMHz; }
  float bus = 0, highSpeed = 0, system = 0, crystalMHz = 0;
  bool pll = false, crystal = false, relaxation = false;
};

struct ProjectSpec {
  std::string part;                 // the part the header defines
  std::string defines;              // header lines after the part's
  std::string tree;                 // tree lines; empty: the part's real architecture file
  std::string moduleInfo;           // module information of an own tree
  std::string definedPart;          // the part the header names, when it differs
  std::function<void(ModuleFactory&)> factory;  // registers stand-ins before the open
  bool idle = true;                 // runs the idle step after the open, as a shown document does
};

class ModuleProject {
 public:
  explicit ModuleProject(const ProjectSpec& spec) : folder_("module") {
    const std::string header = "#define " + (spec.definedPart.empty() ? spec.part : spec.definedPart) +
                               "\n" + spec.defines;
    headerPath_ = folder_.Write("project/ApplicationConfig/appconfig.h", header);
    DocumentEnvironment environment;
    environment.readUserOptions = false;
    environment.programFolder = TARQ_BINARY_DIR;
    if (!spec.tree.empty()) {
      std::string cfg = ".BEGIN_TREE_LIST\n" + spec.tree + ".END_TREE_LIST\n";
      if (!spec.moduleInfo.empty())
        cfg += ".BEGIN_MODULE_INFO\n" + spec.moduleInfo + ".END_MODULE_INFO\n";
      folder_.Write(spec.part + ".cfg", cfg);
      environment.programFolder = folder_.Root();
    }
    programFolder_ = environment.programFolder;
    doc_ = std::make_unique<CProjDoc>(host_, environment, RegisterBuiltInModuleKinds);
    if (spec.factory) spec.factory(doc_->GetFactory());
    opened_ = doc_->OpenProject(folder_.Path("project"));
    if (opened_ && spec.idle) doc_->OnIdle();
  }

  bool Opened() const { return opened_; }
  CProjDoc& Doc() { return *doc_; }
  CollectingHost& Host() { return host_; }
  // The folder the architecture file is read from (the test's own one with an own tree).
  const std::string& ProgramFolder() const { return programFolder_; }

  CModuleBase* Find(const std::string& prefix) { return doc_->FindModule(prefix, ""); }
  template <class ModuleClass>
  ModuleClass& Module(const std::string& prefix) {
    auto* module = dynamic_cast<ModuleClass*>(Find(prefix));
    if (!module) throw std::runtime_error("no module " + prefix + " of the expected class");
    return *module;
  }
  Register& Reg(const std::string& prefix, const std::string& name) {
    Register* reg = Find(prefix) ? Find(prefix)->FindOwnRegister(name) : nullptr;
    if (!reg) throw std::runtime_error("no register " + name + " in " + prefix);
    return *reg;
  }

  // Opens a module's page as the program does (first show and its deferred enables).
  Page& OpenPage(const std::string& prefix) {
    CModuleBase& module = *Find(prefix);
    module.CreatePage();
    module.RunDeferredPageWork();
    return *module.GetPage();
  }
  Control* Ctl(const std::string& prefix, uint32_t id) {
    return Find(prefix)->FindControlById(id).control;
  }
  Control* CtlByText(const std::string& prefix, const std::string& text) {
    return Find(prefix)->FindControlByText(text).control;
  }

  // The warnings pass as the idle step runs it.
  void Check() { doc_->CheckAllWarnings(false); }
  std::optional<Warning> WarningAt(const std::string& prefix, uint32_t id) {
    for (const Warning& warning : doc_->GetWarnings()->Entries())
      if (warning.page == Find(prefix) && warning.id == id) return warning;
    return std::nullopt;
  }
  // The text of the warning at a control, or empty.
  std::string WarningText(const std::string& prefix, uint32_t id) {
    const std::optional<Warning> warning = WarningAt(prefix, id);
    return warning ? warning->text : std::string();
  }
  std::vector<Warning> WarningsOf(const std::string& prefix) {
    std::vector<Warning> found;
    for (const Warning& warning : doc_->GetWarnings()->Entries())
      if (warning.page == Find(prefix)) found.push_back(warning);
    return found;
  }

  // Saves as Save does and returns the header's text.
  std::string SavedHeader() {
    EXPECT_TRUE(doc_->SaveProject(headerPath_));
    std::ifstream in(headerPath_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  TempFolder folder_;
  CollectingHost host_;
  std::unique_ptr<CProjDoc> doc_;
  std::string headerPath_;
  std::string programFolder_;
  bool opened_ = false;
};

// Registers a stand-in kind with a register table.
inline void RegisterStub(ModuleFactory& factory, const std::string& kind,
                         std::vector<RegisterDecl> table) {
  factory.Register(kind, [table](const ArchitectureEntry& entry, CModuleBase* parent) {
    return std::unique_ptr<CModuleBase>(std::make_unique<StubModule>(entry, table, parent));
  });
}

// Records the hints the document sends to its observers.
class HintRecorder : public DocumentObserver {
 public:
  void OnHint(int hint, CModuleBase*) override { hints.push_back(hint); }
  int Count(int hint) const { return static_cast<int>(std::count(hints.begin(), hints.end(), hint)); }
  std::vector<int> hints;
};

}  // namespace tarq

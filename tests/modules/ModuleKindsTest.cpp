// Every module kind that an architecture file names creates its module: no peripheral of the
// chip data is silently missing from the tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "modules/ModuleKinds.h"
#include "project/ArchitectureFile.h"
#include "project/ModuleFactory.h"

namespace tarq {
namespace {

void CollectKinds(const std::vector<ArchitectureNode>& nodes, std::set<std::string>& kinds) {
  for (const ArchitectureNode& node : nodes) {
    kinds.insert(node.entry.kind);
    CollectKinds(node.children, kinds);
  }
}

TEST(ModuleKinds, EveryKindOfEveryArchitectureFileCreatesAModule) {
  namespace fs = std::filesystem;
  std::set<std::string> kinds;
  int files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(TARQ_SOURCE_DIR) / "data")) {
    if (entry.path().extension() != ".cfg") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ArchitectureFile file;
    std::string error;
    ASSERT_TRUE(ParseArchitectureText(text.str(), file, error)) << entry.path() << ": " << error;
    CollectKinds(file.tree, kinds);
    ++files;
  }
  EXPECT_EQ(files, 35);

  ModuleFactory factory;
  RegisterBuiltInModuleKinds(factory);
  for (const std::string& kind : kinds) {
    ArchitectureEntry entry{.name = kind + "_X", .kind = kind, .linkedModule = "NONE", .interrupts = "IRQ:"};
    EXPECT_NE(factory.Create(entry, nullptr), nullptr) << "no module class for kind " << kind;
  }
  // The families that joined last are among them.
  for (const char* kind : {"ADC", "ADC_Brel", "HSCMP", "CMP", "DAC", "PGA", "VREF_DAC", "PWM_Dorn",
                           "PWMAll_Dorn", "PWM_Dorn_SWLayer", "SCOPX", "PNM", "DEC", "SEMI", "RTC", "TSN"})
    EXPECT_TRUE(kinds.contains(kind)) << kind;
}

}  // namespace
}  // namespace tarq

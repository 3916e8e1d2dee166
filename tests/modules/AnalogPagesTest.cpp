// The pages of the comparators, converters, amplifiers and references on every part that has
// them: a clean declaration, and a self-test that exercises every bound control and puts
// every register back.
#include <gtest/gtest.h>

#include "../support/ModuleHarness.h"
#include "framework/DeclaredModule.h"
#include "framework/TextUtil.h"

namespace tarq {
namespace {

TEST(AnalogPages, EveryBoundControlTakesPartInTheSelfTest) {
  struct Case {
    const char* part;
    std::vector<const char*> modules;
  };
  const Case cases[] = {
      {"CVX-24", {"CMP_A", "CMP_B", "DAC_0"}},
      {"CVX-26", {"CMP_B", "DAC_1"}},
      {"CVX-29", {"HSCMP_0", "HSCMP_1", "HSCMP_2", "PGA_0", "PGA_1"}},
      {"CVX-35", {"HSCMP_A", "HSCMP_B", "HSCMP_C", "DAC", "VREF_A", "VREF_B", "VREF_C"}},
  };
  for (const Case& c : cases) {
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened()) << c.part;
    for (const char* name : c.modules) {
      SCOPED_TRACE(std::string(c.part) + " " + name);
      auto* module = dynamic_cast<CDeclaredModule*>(project.Find(name));
      ASSERT_NE(module, nullptr);
      EXPECT_EQ(module->Declaration().Verify(), std::vector<std::string>{});
      project.OpenPage(name);
      std::vector<uint32_t> before;
      for (const Register& reg : module->Registers()) before.push_back(reg.value);
      std::string log;
      module->SelfTestAll([&](const std::string& line) { log += line + "\n"; });
      int bound = 0;
      for (const DeclaredControl* control : module->Declaration().Controls()) {
        if (!control->binding) continue;
        ++bound;
        EXPECT_NE(log.find(Format("[%u]", control->id)), std::string::npos)
            << control->decl.caption;
      }
      EXPECT_GT(bound, 0);
      std::vector<uint32_t> after;
      for (const Register& reg : module->Registers()) after.push_back(reg.value);
      EXPECT_EQ(after, before);
    }
  }
}

}  // namespace
}  // namespace tarq

// The quadrature decoder: watchdog timeout and filter delay worked out, the 32-bit
// initialisation value against its two halves in the header, and the timers' collision check.
#include <gtest/gtest.h>

#include <regex>

#include "../support/ModuleHarness.h"
#include "modules/dec.h"

namespace tarq {
namespace {

// Whether the header defines `name` as `value` (any blanks between).
bool HasDefine(const std::string& header, const std::string& name, const std::string& value) {
  return std::regex_search(header, std::regex("#define " + name + "\\s+" + value + "\\b"));
}

template <class T>
void RegisterStandIn(ModuleFactory& factory, const std::string& kind) {
  factory.Register(kind, [](const ArchitectureEntry& entry, CModuleBase*) {
    return std::unique_ptr<CModuleBase>(std::make_unique<T>(entry));
  });
}

ProjectSpec DecSpec(const std::string& defines = {}) {
  return {.part = "CVX-01",
          .defines = defines,
          .tree = "OCCS CLOCK NONE IRQ:\nDEC_0 DEC NONE IRQ:34,35 Quadrature Decoder\n",
          .factory = [](ModuleFactory& factory) { RegisterStandIn<StubClockSource>(factory, "CLOCK"); }};
}

std::string Shown(ModuleProject& project, const char* key) {
  auto& dec = project.Module<CpmDEC>("DEC_0");
  dec.UpdateValues();
  const Control* display = project.Ctl("DEC_0", dec.ControlIdOf(key));
  return display ? display->text : "(no page)";
}

TEST(DecTimes, WatchdogTimeoutAndFilterDelayAtTheBusClock) {
  ModuleProject project(DecSpec());
  ASSERT_TRUE(project.Opened());
  auto& clock = project.Module<StubClockSource>("OCCS");
  clock.bus = 32;
  project.OpenPage("DEC_0");
  auto& dec = project.Module<CpmDEC>("DEC_0");
  project.Reg("DEC_0", "WTR_INIT").value = 31999;
  project.Reg("DEC_0", "FIR_INIT").value = 10;
  // (31999 + 1) / 32 MHz = 1 ms.
  EXPECT_DOUBLE_EQ(dec.TimeoutSeconds(), 0.001);
  EXPECT_EQ(Shown(project, "Timeout:"), "1 ms");
  // (10 x 4 + 5) / 32 MHz = 45 / 32e6 s = 1.40625 us.
  EXPECT_DOUBLE_EQ(dec.FilterDelaySeconds(), 45.0 / 32e6);
  // WTR 0xFFFF: 65536 / 32 MHz = 2.048 ms.
  project.Reg("DEC_0", "WTR_INIT").value = 0xFFFF;
  EXPECT_DOUBLE_EQ(dec.TimeoutSeconds(), 0.002048);

  // No bus clock: both 0, shown without "inf" or "nan".
  clock.bus = 0;
  EXPECT_EQ(dec.TimeoutSeconds(), 0);
  EXPECT_EQ(dec.FilterDelaySeconds(), 0);
  for (const char* key : {"Timeout:", "Delay:"}) {
    const std::string text = Shown(project, key);
    EXPECT_EQ(text.find("inf"), std::string::npos) << text;
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
    EXPECT_FALSE(text.empty());
  }
}

TEST(DecInitValue, TheHalvesAndThe32BitValueFollowEachOther) {
  ModuleProject project(DecSpec("#define DEC_0_UIR_INIT 0x1234U\n#define DEC_0_LIR_INIT 0x5678U\n"));
  ASSERT_TRUE(project.Opened());
  // Read: UIR << 16 | LIR.
  EXPECT_EQ(project.Reg("DEC_0", "IR32").value, 0x12345678u);

  // Edited on the page: the halves follow, the 32-bit value itself is never written.
  project.Reg("DEC_0", "IR32").value = 0xDEADBEEF;
  std::string header = project.SavedHeader();
  EXPECT_TRUE(HasDefine(header, "DEC_0_UIR_INIT", "0xDEADU")) << header;
  EXPECT_TRUE(HasDefine(header, "DEC_0_LIR_INIT", "0xBEEFU")) << header;
  EXPECT_EQ(header.find("IR32"), std::string::npos);

  // A half set by other means (an import, a plugin) carries the 32-bit value along.
  project.Reg("DEC_0", "LIR_INIT").value = 0x0001;
  project.Module<CpmDEC>("DEC_0").SyncInitValue();
  EXPECT_EQ(project.Reg("DEC_0", "IR32").value, 0xDEAD0001u);
}

TEST(DecDeclaration, VerifiesAndTheTimersSeeItOnlyWhenSelected) {
  // The real classic part: timer channel QT_A0 shares its pins with DEC_0.
  ModuleProject project({.part = "CVX-01"});
  ASSERT_TRUE(project.Opened());
  auto& dec = project.Module<CpmDEC>("DEC_0");
  EXPECT_TRUE(dec.Declaration().Verify().empty());
  const QuadratureDecoder& decoder = dec;
  EXPECT_FALSE(decoder.IsDecoderEnabled());
  dec.SetSelected(true);
  EXPECT_TRUE(decoder.IsDecoderEnabled());

  // A timer channel with its output enabled collides with a decoder that is written.
  project.Reg("QT_A0", "SCR_INIT").value |= 1;
  project.Find("QT_A0")->SetSelected(true);
  project.Check();
  bool collides = false;
  for (const Warning& warning : project.WarningsOf("QT_A0"))
    collides = collides || warning.text.find("collide with associated Quadrature") != std::string::npos;
  EXPECT_TRUE(collides);
  dec.SetSelected(false);
  project.Check();
  for (const Warning& warning : project.WarningsOf("QT_A0"))
    EXPECT_EQ(warning.text.find("Quadrature"), std::string::npos) << warning.text;
}

}  // namespace
}  // namespace tarq

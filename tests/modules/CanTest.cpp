// The CAN controllers: timing displays, the rules in their order, the baud-rate solver against
// an independent count, the typed-rate parsing without division by zero, the mask-ID
// conversion and the ZedCAN page on real parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <span>

#include "../support/ModuleHarness.h"
#include "framework/TextUtil.h"
#include "modules/can.h"

namespace tarq {
namespace {

using can::ZcanTiming;

// ---- pure arithmetic ----

TEST(CanTiming, SerialClockQuantumAndBaudText) {
  // 60 MHz / prescaler 8 = 7.5 MHz; one quantum 1000 / 7.5 = 133.333 ns;
  // 1 + PROP_SEG 4 + PHASE_SEG1 5 + PHASE_SEG2 5 = 15 quanta: 7.5 MHz / 15 = 500 kBaud.
  const double serial = can::SerialClockMHz(60, 8);
  EXPECT_DOUBLE_EQ(serial, 7.5);
  EXPECT_EQ(can::SerialClockText(serial), "7.5 MHz");
  EXPECT_EQ(can::QuantumText(serial), "133.333 ns");
  const ZcanTiming t{.prescaler = 8, .propSeg = 4, .phaseSeg1 = 5, .phaseSeg2 = 5, .rjw = 2};
  EXPECT_EQ(t.Quanta(), 15);
  EXPECT_DOUBLE_EQ(can::BaudRate(serial, t.Quanta()), 500000.0);
  EXPECT_EQ(can::BaudText(can::BaudRate(serial, t.Quanta())), "500 kBaud");
  EXPECT_TRUE(can::CheckZcanTiming(t).empty());
  // Below 1 MHz: 0.5 MHz shows as 500 kHz and a 2 us quantum; 1.25 MBaud; 125 Baud.
  EXPECT_EQ(can::SerialClockText(0.5), "500 kHz");
  EXPECT_EQ(can::QuantumText(0.5), "2 us");
  EXPECT_EQ(can::BaudText(1.25e6), "1.25 MBaud");
  EXPECT_EQ(can::BaudText(125), "125 Baud");
  // No clock or a prescaler of 0: no division, "???" everywhere.
  EXPECT_EQ(can::SerialClockMHz(0, 8), 0);
  EXPECT_EQ(can::SerialClockMHz(60, 0), 0);
  EXPECT_EQ(can::SerialClockText(0), "???");
  EXPECT_EQ(can::QuantumText(0), "???");
  EXPECT_EQ(can::BaudRate(0, 15), 0);
  EXPECT_EQ(can::BaudText(0), "???");
}

std::string FirstZcan(const ZcanTiming& t) {
  const auto found = can::CheckZcanTiming(t);
  return found.empty() ? std::string() : found.front().message;
}

TEST(CanRules, ZedCanRulesInTheirOrder) {
  const ZcanTiming good{.prescaler = 8, .propSeg = 4, .phaseSeg1 = 5, .phaseSeg2 = 5, .rjw = 2};
  ZcanTiming t = good;
  t.propSeg = 9;
  t.phaseSeg1 = 0;  // rule 2 is broken too: rule 1 decides
  EXPECT_EQ(FirstZcan(t), "PROP_SEG must be between 1 and 8.");
  t = good;
  t.phaseSeg1 = 9;
  EXPECT_EQ(FirstZcan(t), "PHASE_SEG1 must be between 1 and 8.");
  // Three samples: PHASE_SEG1 2 fails, 3 passes (with PHASE_SEG2 = 3 and 1+6+3+3 = 13 quanta).
  t = {.prescaler = 8, .propSeg = 6, .phaseSeg1 = 2, .phaseSeg2 = 2, .rjw = 1, .threeSamples = true};
  EXPECT_EQ(FirstZcan(t), "PHASE_SEG1 must be greater than 2 when three samples per bit are enabled.");
  t.phaseSeg1 = t.phaseSeg2 = 3;
  EXPECT_EQ(FirstZcan(t), "");
  // IPT 2 (prescaler 8) above PHASE_SEG1 1: PHASE_SEG2 must be 2.
  t = {.prescaler = 8, .propSeg = 8, .phaseSeg1 = 1, .phaseSeg2 = 1, .rjw = 1};
  EXPECT_EQ(FirstZcan(t), "PHASE_SEG2 must be equal to IPT (=2) when IPT is greater than PHASE_SEG1.");
  t = good;
  t.phaseSeg2 = 6;
  EXPECT_EQ(FirstZcan(t),
            "PHASE_SEG2 must be equal to PHASE_SEG1 when IPT (=2) is less than or equal to PHASE_SEG1.");
  // Prescaler 1, PROP_SEG 1, PHASE_SEG1 2, PHASE_SEG2 3: IPT is 3, so the PHASE_SEG2 rule
  // holds; 1 + 1 + 2 + 3 = 7 quanta breaks the 8..25 rule (and rule 8 after it).
  t = {.prescaler = 1, .propSeg = 1, .phaseSeg1 = 2, .phaseSeg2 = 3, .rjw = 1};
  const auto found = can::CheckZcanTiming(t);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].rule, 5);
  EXPECT_EQ(found[0].message,
            "The sum of timing parameters must be between 8 and 25. (SYNC_SEG + PROP_SEG + PHASE_SEG1 + "
            "PHASE_SEG2)");
  EXPECT_EQ(found[1].message, "At least nine clocks per bit must be programmed when prescaler is one.");
  t = good;
  t.rjw = 5;
  EXPECT_EQ(FirstZcan(t), "RJW must be between 1 and 4.");
  t = {.prescaler = 8, .propSeg = 8, .phaseSeg1 = 2, .phaseSeg2 = 2, .rjw = 3};
  EXPECT_EQ(FirstZcan(t), "RJW must be less than or equal to PHASE_SEG1.");
  // Prescaler 1, 1 + 2 + 3 + 3 = 9 quanta: allowed; one quantum less is not.
  t = {.prescaler = 1, .propSeg = 2, .phaseSeg1 = 3, .phaseSeg2 = 3, .rjw = 1};
  EXPECT_EQ(FirstZcan(t), "");
}

std::string FirstYscan(const can::YscanTiming& t) {
  const auto found = can::CheckYscanTiming(t);
  return found.empty() ? std::string() : found.front().message;
}

TEST(CanRules, YscanRulesInTheirOrder) {
  can::YscanTiming t{.prescaler = 2, .sjw = 1, .tseg1 = 4, .tseg2 = 2};
  // TSEG2 = 2 with TSEG1 = 4: the 5..10 rule speaks, not the TSEG1 > TSEG2 rule.
  EXPECT_EQ(FirstYscan(t), "TIME_SEG1 must be between 5 and 10 when TIME_SEG2=2.");
  t = {.prescaler = 1, .sjw = 1, .tseg1 = 6, .tseg2 = 2};
  EXPECT_EQ(FirstYscan(t), "Prescaler must be greater than one when TIME_SEG2=2.");
  // TSEG2 = 3: TSEG1 = 11 = TSEG2 + 8 is allowed, 12 is not.
  t = {.prescaler = 2, .sjw = 1, .tseg1 = 11, .tseg2 = 3};
  EXPECT_EQ(FirstYscan(t), "");
  t.tseg1 = 12;
  EXPECT_EQ(FirstYscan(t), "TIME_SEG1 must be lower or equal to (TIME_SEG2+8)");
  t = {.prescaler = 2, .sjw = 1, .tseg1 = 4, .tseg2 = 4};
  EXPECT_EQ(FirstYscan(t), "TIME_SEG1 must be higher than TIME_SEG2");
  t = {.prescaler = 2, .sjw = 1, .tseg1 = 4, .tseg2 = 1};
  EXPECT_EQ(FirstYscan(t), "TIME_SEG2 must be greater than 1.");
  t = {.prescaler = 2, .sjw = 4, .tseg1 = 8, .tseg2 = 3};
  EXPECT_EQ(FirstYscan(t), "SJW must be between 1 and min(TSEG2,4).");
  // Within the fields' ranges rules 3 and 4 keep the sum in 8..25 (1 + 16 + 8 = 25 passes);
  // the sum rule still stands for values beyond them: 1 + 17 + 9 = 27.
  t = {.prescaler = 2, .sjw = 1, .tseg1 = 16, .tseg2 = 8, .restrictedExtal = false};
  EXPECT_EQ(FirstYscan(t), "");
  t = {.prescaler = 2, .sjw = 1, .tseg1 = 17, .tseg2 = 9};
  EXPECT_EQ(FirstYscan(t),
            "The sum of timing parameters must be between 8 and 25. (SYNC_SEG + TIME_SEG1 + TIME_SEG2)");
  EXPECT_TRUE(can::CheckYscanTiming(t).front().sumRule);
  // The EXTAL restrictions only where the part has them: TSEG2 8 and prescaler 1.
  t = {.prescaler = 1, .sjw = 1, .tseg1 = 16, .tseg2 = 8, .restrictedExtal = true};
  const auto found = can::CheckYscanTiming(t);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].message, "TIME_SEG2 must be lower than 8 when CLKSRC=0 (EXTAL_CLK).");
  EXPECT_EQ(found[1].message, "Prescaler must be greater than one when CLKSRC=0 (EXTAL_CLK).");
}

// ---- the solver ----

// Every combination counted from scratch in integers: f = P x T x r exactly, the rules as
// plain conditions, and the search's first quantum count.
int CountZcanRows(uint64_t f, uint64_t r, bool three, int currentPrescaler) {
  int count = 0;
  for (int t = currentPrescaler == 1 ? 10 : 8; t <= 25; ++t)
    for (uint64_t p = 1; p <= 256; ++p) {
      if (p * t * r != f) continue;
      const int ipt = p == 1 ? 3 : 2;
      for (int prop = 1; prop <= 8; ++prop)
        for (int s1 = 1; s1 <= 8; ++s1) {
          const int s2 = t - 1 - prop - s1;
          if (s2 < 1 || s2 > 8 || s2 != std::max(ipt, s1)) continue;
          if (three && s1 <= 2) continue;
          if (p == 1 && t < 9) continue;
          count += std::min(s1, 4);
        }
    }
  return count;
}

bool HasRow(const std::vector<can::Solution>& rows, int p, int t) {
  return std::any_of(rows.begin(), rows.end(),
                     [&](const can::Solution& row) { return row.prescaler == p && row.quanta == t; });
}

TEST(CanSolver, ZedCanRowsMatchAnIndependentCount) {
  // 60 MHz, 500 kBaud: P x T = 120, e.g. P 8 with 15 quanta and P 6 with 20 quanta.
  can::SolverInput in{.clockHz = 60000000, .rate = 500000, .currentPrescaler = 8};
  const auto rows = can::SolveZcan(in);
  EXPECT_EQ(static_cast<int>(rows.size()), CountZcanRows(60000000, 500000, false, 8));
  EXPECT_TRUE(HasRow(rows, 8, 15));
  EXPECT_TRUE(HasRow(rows, 6, 20));
  EXPECT_FALSE(HasRow(rows, 4, 30));  // more than 25 quanta
  for (const auto& row : rows) EXPECT_TRUE(row.Exact());
  // Counted by hand for P 8, T 15 (IPT 2, so PHASE_SEG2 = PHASE_SEG1 = seg and
  // 1 + prop + 2 x seg = 15): seg 3..6 with prop 8, 6, 4, 2; RJW up to min(seg, 4):
  // 3 + 4 + 4 + 4 = 15 rows.
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                          [](const can::Solution& r) { return r.prescaler == 8 && r.quanta == 15; }),
            15);

  // 8 MHz, 125 kBaud with three samples: P x T = 64 (P 4/T 16, P 8/T 8), no PHASE_SEG1 below 3.
  in = {.clockHz = 8000000, .rate = 125000, .threeSamples = true, .currentPrescaler = 2};
  const auto three = can::SolveZcan(in);
  EXPECT_EQ(static_cast<int>(three.size()), CountZcanRows(8000000, 125000, true, 2));
  EXPECT_FALSE(three.empty());
  for (const auto& row : three) EXPECT_GE(row.segments[1], 3);
}

TEST(CanSolver, PrescalerOneStartsAtTenQuanta) {
  // 9 MHz, 1 MBaud: only P 1 with 9 quanta (1 + 2 + 3 + 3). With the current prescaler 1 the
  // search starts at 10 quanta and finds nothing; with prescaler 2 it finds the 9-quanta rows.
  can::SolverInput in{.clockHz = 9000000, .rate = 1000000, .currentPrescaler = 1};
  EXPECT_TRUE(can::SolveZcan(in).empty());
  EXPECT_EQ(CountZcanRows(9000000, 1000000, false, 1), 0);
  in.currentPrescaler = 2;
  const auto rows = can::SolveZcan(in);
  EXPECT_EQ(static_cast<int>(rows.size()), CountZcanRows(9000000, 1000000, false, 2));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front().prescaler, 1);
  EXPECT_EQ(rows.front().quanta, 9);
}

TEST(CanSolver, TypedRatesSnapOnlyWithASuffixAndNeverDivideByZero) {
  // "333000" is taken exactly: 60 MHz / 333000 = 180.18, no prescaler hits it.
  can::BaudRequest request = can::ParseBaudRate("333000", 60000000);
  EXPECT_EQ(request.rate, 333000);
  EXPECT_TRUE(can::SolveZcan({.clockHz = 60000000, .rate = request.rate, .currentPrescaler = 8}).empty());
  // "333k" snaps to 60 MHz / round(180.18) = 60 MHz / 180 = 333333.33: rows, each 0.1 % off
  // the typed 333 kBaud ((333333.33 - 333000) / 333000 = 0.1001 %).
  request = can::ParseBaudRate("333 k", 60000000);
  EXPECT_DOUBLE_EQ(request.rate, 60e6 / 180);
  auto rows = can::SolveZcan(
      {.clockHz = 60000000, .rate = request.rate, .typed = request.typed, .currentPrescaler = 8});
  ASSERT_FALSE(rows.empty());
  EXPECT_NEAR(rows.front().errorPercent, 0.1001, 1e-4);
  EXPECT_FALSE(rows.front().Exact());
  EXPECT_EQ(can::ParseBaudRate("1M", 60000000).rate, 1e6);
  EXPECT_EQ(can::ParseBaudRate("", 60000000).rate, 0);
  // Above twice the clock round(f / r) is 0, and without a clock f is 0: no snapping, no
  // rate, a reason, and no row.
  for (const auto& [text, clock] : {std::pair<const char*, uint64_t>{"200M", 60000000}, {"500k", 0}}) {
    request = can::ParseBaudRate(text, clock);
    EXPECT_EQ(request.rate, 0) << text;
    EXPECT_FALSE(request.problem.empty()) << text;
    EXPECT_TRUE(can::SolveZcan({.clockHz = clock, .rate = request.rate}).empty());
  }
  EXPECT_FALSE(can::ParseBaudRate("nan k", 60000000).problem.empty());
  EXPECT_FALSE(can::ParseBaudRate("-5k", 60000000).problem.empty());
}

TEST(CanSolver, ExactRowsComeFirstThenByPrescaler) {
  std::vector<can::Solution> rows = {{.prescaler = 3, .errorPercent = 0.5},
                                     {.prescaler = 8, .errorPercent = 0},
                                     {.prescaler = 2, .errorPercent = -0.2},
                                     {.prescaler = 6, .errorPercent = 0}};
  can::SortSolutions(rows);
  EXPECT_EQ(rows[0].prescaler, 6);
  EXPECT_EQ(rows[1].prescaler, 8);
  EXPECT_EQ(rows[2].prescaler, 2);
  EXPECT_EQ(rows[3].prescaler, 3);
}

TEST(CanSolver, YscanRowsKeepItsLimits) {
  // 16 MHz, 500 kBaud: P x T = 32 -> P 2/T 16, P 4/T 8. On the EXTAL clock P 1 is out anyway.
  const auto rows = can::SolveYscan({.clockHz = 16000000, .rate = 500000, .extal = true});
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) {
    EXPECT_GT(row.prescaler, 1);
    EXPECT_LE(row.prescaler, 64);
    EXPECT_TRUE(can::CheckYscanTiming({row.prescaler, row.jump, row.segments[0], row.segments[1]}).empty());
  }
  EXPECT_TRUE(HasRow(rows, 2, 16));
  EXPECT_TRUE(HasRow(rows, 4, 8));
  // 64 is the largest prescaler: 10 kBaud at 16 MHz needs P x T = 1600, T <= 25 gives P >= 64.
  const auto slow = can::SolveYscan({.clockHz = 16000000, .rate = 10000});
  for (const auto& row : slow) EXPECT_EQ(row.prescaler, 64);
  EXPECT_TRUE(HasRow(slow, 64, 25));
}

// ---- masks ----

TEST(CanMasks, IdsConvertBothWaysInBothFormats) {
  can::MaskPair pair{.low = 0, .high = 8};  // 29-bit format
  ASSERT_TRUE(can::WriteMaskId(pair, 0x1FFFFFFF));
  EXPECT_EQ(pair.high, 0xFFEF);
  EXPECT_EQ(pair.low, 0xFFFE);
  EXPECT_EQ(can::ReadMaskId(pair), 0x1FFFFFFFu);
  // 0x1ABCDE12: H = ((id >> 15) & 7) | 8 | ((id >> 18) << 5) = 1 | 8 | 0xD5E0 = 0xD5E9,
  // L = (id & 0x7FFF) << 1 = 0xBC24. ID bit 2 is 0, so L bit 3 is 0: the format flag (H bit 3)
  // stays, and writing the ID again gives the same pair.
  ASSERT_TRUE(can::WriteMaskId(pair, 0x1ABCDE12));
  EXPECT_EQ(pair.high, 0xD5E9);
  EXPECT_EQ(pair.low, 0xBC24);
  EXPECT_EQ(pair.low & 8, 0);
  EXPECT_TRUE(can::IsExtendedMask(pair.high));
  EXPECT_EQ(can::ReadMaskId(pair), 0x1ABCDE12u);
  const can::MaskPair first = pair;
  ASSERT_TRUE(can::WriteMaskId(pair, 0x1ABCDE12));
  EXPECT_EQ(pair.high, first.high);
  EXPECT_EQ(pair.low, first.low);
  // A 29-bit ID above 0x1FFFFFFF is refused and the pair stays.
  EXPECT_FALSE(can::WriteMaskId(pair, 0x20000000));
  EXPECT_EQ(pair.high, first.high);

  can::MaskPair standard{.low = 0x1234, .high = 0};  // 11-bit format
  ASSERT_TRUE(can::WriteMaskId(standard, 0x7FF));
  EXPECT_EQ(standard.high, 0xFFE0);
  EXPECT_EQ(standard.low, 0);
  EXPECT_EQ(can::ReadMaskId(standard), 0x7FFu);
  ASSERT_TRUE(can::WriteMaskId(standard, 0x123));
  EXPECT_EQ(standard.high, 0x123 << 5);
  EXPECT_EQ(can::ReadMaskId(standard), 0x123u);
  EXPECT_FALSE(can::WriteMaskId(standard, 0x800));
  EXPECT_EQ(can::ReadMaskId(standard), 0x123u);
}

// ---- the page on real parts ----

// The later example's clock: 8 MHz crystal, PLL on, 60 MHz bus clock.
ProjectSpec Cvx07(const std::string& defines) {
  return {.part = "CVX-07",
          .defines = "#define APPCFG_EXTCLK 8000000L\n#define OCCS_PLLCR_INIT 0x0082U\n"
                     "#define OCCS_PLLDB_INIT 0x201DU\n" + defines};
}

TEST(CanPage, EveryPartWithTheControllerDeclaresCleanly) {
  for (const char* part : {"CVX-04", "CVX-07", "CVX-17"}) {
    ModuleProject project({.part = part});
    ASSERT_TRUE(project.Opened()) << part;
    std::vector<std::string> prefixes = {"ZCAN"};
    if (std::string(part) == "CVX-17") prefixes.push_back("ZCAN2");
    for (const std::string& prefix : prefixes) {
      auto& zcan = project.Module<CpmZCAN>(prefix);
      EXPECT_TRUE(zcan.Declaration().Verify().empty()) << part << " " << prefix;
    }
  }
}

TEST(CanPage, RulesReachTheWarningsWithThePageClosed) {
  // CTL1 0x0A55: prescaler 11, RJW 2, PHASE_SEG1 3, PHASE_SEG2 6 -> rule 4.
  ModuleProject project(Cvx07("#define ZCAN_CTL0_INIT 0x0002U\n#define ZCAN_CTL1_INIT 0x0A55U\n"));
  ASSERT_TRUE(project.Opened());
  auto& zcan = project.Module<CpmZCAN>("ZCAN");
  ASSERT_EQ(zcan.GetPage(), nullptr);
  project.Check();
  const uint32_t id = zcan.ControlIdOf("Bit timing:");
  EXPECT_EQ(project.WarningText("ZCAN", id),
            "PHASE_SEG2 must be equal to PHASE_SEG1 when IPT (=2) is less than or equal to PHASE_SEG1.");
  // PHASE_SEG2 = PHASE_SEG1 = 3 (CTL1 0x0A52): the warning goes.
  project.Reg("ZCAN", "CTL1_INIT").value = 0x0A52;
  project.Check();
  EXPECT_EQ(project.WarningText("ZCAN", id), "");

  // Not in use: the reset timing (every field 1, PHASE_SEG2 below IPT 3) breaks rule 4 but
  // raises no warning.
  ModuleProject unused(Cvx07(""));
  ASSERT_TRUE(unused.Opened());
  auto& idle = unused.Module<CpmZCAN>("ZCAN");
  ASSERT_FALSE(idle.IsSelected());
  ASSERT_FALSE(idle.Violations().empty());
  unused.Check();
  EXPECT_TRUE(unused.WarningsOf("ZCAN").empty());
}

TEST(CanPage, TypedRateSolutionRowWritesTheFields) {
  ModuleProject project(Cvx07("#define ZCAN_CTL1_INIT 0x095BU\n#define ZCAN_CTL0_INIT 0x0002U\n"));
  ASSERT_TRUE(project.Opened());
  auto& zcan = project.Module<CpmZCAN>("ZCAN");
  Page& page = project.OpenPage("ZCAN");
  zcan.UpdateValues();
  // The example's bus clock 60 MHz, prescaler 10: 6 MHz, 1 + 3 + 4 + 4 = 12 quanta, 500 kBaud.
  ASSERT_EQ(zcan.ClockMHz(), 60);
  EXPECT_EQ(project.Ctl("ZCAN", zcan.ControlIdOf("Serial clock:"))->text, "6 MHz");
  EXPECT_EQ(project.Ctl("ZCAN", zcan.ControlIdOf("Baud rate:"))->text, "500 kBaud");
  // The fields' own row is selected among the solutions.
  const Control* list = project.CtlByText("ZCAN", "Solutions:");
  ASSERT_NE(list, nullptr);

  // Typing 250k solves for it; the fields stay until a row is chosen.
  const uint32_t baud = zcan.ControlIdOf("Baud rate:");
  page.FocusGained(baud);
  page.TypeText(baud, "250k");
  page.FocusLost(baud);
  EXPECT_EQ(project.Ctl("ZCAN", baud)->text, "250k");
  ASSERT_FALSE(zcan.Solutions().empty());
  EXPECT_EQ(zcan.Solutions().size(),
            static_cast<size_t>(CountZcanRows(60000000, 250000, false, 10)));
  EXPECT_EQ(project.Reg("ZCAN", "CTL1_INIT").value, 0x095Bu);
  const can::Solution row = zcan.Solutions().front();
  zcan.ApplySolution(row);
  const can::ZcanTiming t = zcan.Timing();
  EXPECT_EQ(t.prescaler, row.prescaler);
  EXPECT_EQ(t.propSeg, row.segments[0]);
  EXPECT_EQ(t.phaseSeg1, row.segments[1]);
  EXPECT_EQ(t.phaseSeg2, row.segments[2]);
  EXPECT_EQ(t.rjw, row.jump);
  EXPECT_EQ(project.Ctl("ZCAN", baud)->text, "250 kBaud");

  // A rate above twice the clock: no rows, a reason, nothing "inf" or "nan".
  page.FocusGained(baud);
  page.TypeText(baud, "200M");
  page.FocusLost(baud);
  EXPECT_TRUE(zcan.Solutions().empty());
  EXPECT_EQ(zcan.SolverMessage(), "This baud rate is above the CAN clock and can not be achieved.");
}

// The page's controls of one kind, in tab order.
std::vector<Control*> ControlsOfKind(Page& page, ControlKind kind) {
  std::vector<Control*> found;
  for (size_t n = 0; n < page.GetControlCount(); ++n)
    if (page.ControlAt(n).kind == kind) found.push_back(&page.ControlAt(n));
  return found;
}

// The numbers of a solution-list item (its cells are separated by tabs).
std::vector<double> Cells(const std::string& item) {
  std::vector<double> cells;
  size_t start = 0;
  while (start <= item.size()) {
    const size_t end = std::min(item.find('\t', start), item.size());
    cells.push_back(std::atof(item.substr(start, end - start).c_str()));
    start = end + 1;
  }
  return cells;
}

TEST(CanPage, BitTimingGraphDrawsTheSegmentsOrTheViolatedRule) {
  // CTL1 0x095B: prescaler 9+1 = 10, RJW 1+1, PHASE_SEG1 3+1 = 4, PHASE_SEG2 3+1 = 4;
  // CTL0 0x0002: PROP_SEG 2+1 = 3. 1 + 3 + 4 + 4 = 12 quanta; sampled after 1 + 3 + 4 = 8:
  // 8 / 12 = 66.7 %. 60 MHz / 10 / 12 = 500 kBaud.
  ModuleProject project(Cvx07("#define ZCAN_CTL1_INIT 0x095BU\n#define ZCAN_CTL0_INIT 0x0002U\n"));
  ASSERT_TRUE(project.Opened());
  auto& zcan = project.Module<CpmZCAN>("ZCAN");
  Page& page = project.OpenPage("ZCAN");
  zcan.UpdateValues();
  const std::vector<Control*> graphs = ControlsOfKind(page, ControlKind::BarGraph);
  ASSERT_EQ(graphs.size(), 1u);
  const Control& graph = *graphs.front();
  const std::vector<BarSegment> bit = {{"sync", 1}, {"prop", 3}, {"pseg1", 4}, {"pseg2", 4}};
  EXPECT_EQ(graph.segments, bit);
  EXPECT_EQ(graph.markerAt, 8);
  EXPECT_EQ(graph.markerLabel, "sample point 66.7 %");
  EXPECT_EQ(graph.text, "500 kBaud, 12 TQ per bit");
  EXPECT_FALSE(graph.textColour.has_value());

  // PHASE_SEG2 5 breaks the phase-segment-2 rule: no bit, the rule's message as an error.
  project.Reg("ZCAN", "CTL1_INIT").value = 0x095C;
  zcan.UpdateValues();
  EXPECT_TRUE(graph.segments.empty());
  EXPECT_EQ(graph.markerAt, -1);
  EXPECT_EQ(graph.text,
            "PHASE_SEG2 must be equal to PHASE_SEG1 when IPT (=2) is less than or equal to PHASE_SEG1.");
  EXPECT_EQ(graph.textColour, kWarningTextColour);
  // A controller not in use keeps its reset timing: the rule shows, but not as an error.
  ModuleProject unused(Cvx07(""));
  ASSERT_TRUE(unused.Opened());
  Page& unusedPage = unused.OpenPage("ZCAN");
  unused.Module<CpmZCAN>("ZCAN").UpdateValues();
  const std::vector<Control*> unusedGraphs = ControlsOfKind(unusedPage, ControlKind::BarGraph);
  ASSERT_EQ(unusedGraphs.size(), 1u);
  EXPECT_TRUE(unusedGraphs.front()->segments.empty());
  EXPECT_FALSE(unusedGraphs.front()->text.empty());
  EXPECT_FALSE(unusedGraphs.front()->textColour.has_value());

  // YSCAN draws sync, tseg1 and tseg2: BTR1 0x3A is TSEG1 10+1 = 11, TSEG2 3+1 = 4, sampled
  // after 12 of 16 quanta (75 %).
  ModuleProject dorn({.part = "CVX-33",
                      .defines = "#define APPCFG_EXTAL 8000000L\n#define YSCAN_CANBTR0_INIT 0x0001U\n"
                                 "#define YSCAN_CANBTR1_INIT 0x003AU\n"});
  ASSERT_TRUE(dorn.Opened());
  Page& ypage = dorn.OpenPage("YSCAN");
  dorn.Module<CpmYSCAN>("YSCAN").UpdateValues();
  const std::vector<Control*> ygraphs = ControlsOfKind(ypage, ControlKind::BarGraph);
  ASSERT_EQ(ygraphs.size(), 1u);
  const std::vector<BarSegment> ybit = {{"sync", 1}, {"tseg1", 11}, {"tseg2", 4}};
  EXPECT_EQ(ygraphs.front()->segments, ybit);
  EXPECT_EQ(ygraphs.front()->markerAt, 12);
  EXPECT_EQ(ygraphs.front()->markerLabel, "sample point 75 %");
}

TEST(CanPage, SortingByAColumnHeaderKeepsTheChosenRowAndWritesTheRowShown) {
  ModuleProject project(Cvx07("#define ZCAN_CTL1_INIT 0x095BU\n#define ZCAN_CTL0_INIT 0x0002U\n"));
  ASSERT_TRUE(project.Opened());
  auto& zcan = project.Module<CpmZCAN>("ZCAN");
  Page& page = project.OpenPage("ZCAN");
  zcan.UpdateValues();
  const std::vector<Control*> lists = ControlsOfKind(page, ControlKind::ListBox);
  ASSERT_EQ(lists.size(), 1u);
  Control& list = *lists.front();
  ASSERT_EQ(list.columns.size(), 8u);
  EXPECT_EQ(list.columns[2], "PROPSEG");
  const uint32_t baud = zcan.ControlIdOf("Baud rate:");
  page.TypeText(baud, "250k");
  page.FocusLost(baud);
  ASSERT_GT(list.items.size(), 10u);

  // Choose a row in the middle, then sort by PROPSEG: the same row stays chosen.
  const int chosenIndex = static_cast<int>(list.items.size() / 2);
  ASSERT_TRUE(page.SelectItem(list.id, chosenIndex));
  const std::vector<double> chosen = Cells(list.items[static_cast<size_t>(chosenIndex)]);
  const uint32_t ctl0 = project.Reg("ZCAN", "CTL0_INIT").value;
  const uint32_t ctl1 = project.Reg("ZCAN", "CTL1_INIT").value;
  ASSERT_TRUE(page.ClickHeader(list.id, 2));
  EXPECT_EQ(zcan.SortColumn(), 2);
  for (size_t n = 1; n < list.items.size(); ++n)
    EXPECT_LE(Cells(list.items[n - 1])[2], Cells(list.items[n])[2]) << n;
  ASSERT_GE(list.selection, 0);
  EXPECT_EQ(Cells(list.items[static_cast<size_t>(list.selection)]), chosen);
  // Sorting wrote nothing.
  EXPECT_EQ(project.Reg("ZCAN", "CTL0_INIT").value, ctl0);
  EXPECT_EQ(project.Reg("ZCAN", "CTL1_INIT").value, ctl1);

  // Every row picked after the sort writes what that row shows.
  for (size_t pick : {size_t{0}, list.items.size() - 1, size_t{3}}) {
    ASSERT_TRUE(page.SelectItem(list.id, static_cast<int>(pick)));
    const std::vector<double> shown = Cells(list.items[pick]);
    const can::ZcanTiming t = zcan.Timing();
    EXPECT_EQ(t.prescaler, shown[0]) << pick;
    EXPECT_EQ(t.Quanta(), shown[1]) << pick;
    EXPECT_EQ(t.propSeg, shown[2]) << pick;
    EXPECT_EQ(t.phaseSeg1, shown[3]) << pick;
    EXPECT_EQ(t.phaseSeg2, shown[4]) << pick;
    EXPECT_EQ(t.rjw, shown[5]) << pick;
    // 60 MHz / (prescaler x quanta) stays 250 kBaud.
    EXPECT_EQ(shown[0] * shown[1], 240) << pick;
  }

  // A new rate keeps the order the user picked; a header past the last column is refused.
  page.TypeText(baud, "500k");
  page.FocusLost(baud);
  for (size_t n = 1; n < list.items.size(); ++n)
    EXPECT_LE(Cells(list.items[n - 1])[2], Cells(list.items[n])[2]) << n;
  EXPECT_FALSE(page.ClickHeader(list.id, 8));
  // The prescaler column again: ascending prescalers.
  ASSERT_TRUE(page.ClickHeader(list.id, 0));
  for (size_t n = 1; n < list.items.size(); ++n)
    EXPECT_LE(Cells(list.items[n - 1])[0], Cells(list.items[n])[0]) << n;
}

TEST(CanPage, MaskEditKeepsTheFormatFlagAndRefusesOutOfRangeIds) {
  ModuleProject project(Cvx07(""));
  ASSERT_TRUE(project.Opened());
  Page& page = project.OpenPage("ZCAN");
  auto& zcan = project.Module<CpmZCAN>("ZCAN");
  const uint32_t edit = zcan.ControlIdOf("Global Mask:");
  const uint32_t box = zcan.ControlIdOf("Global Mask: Extended ID mask");
  ASSERT_NE(edit, 0u);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(project.Ctl("ZCAN", edit)->text, "0x1FFFFFFF");
  for (int n = 0; n < 2; ++n) {
    page.TypeText(edit, "0x1ABCDE12");
    page.FocusLost(edit);
    EXPECT_EQ(project.Reg("ZCAN", "RXGMASKH_INIT").value, 0xD5E9u);
    EXPECT_EQ(project.Reg("ZCAN", "RXGMASKL_INIT").value, 0xBC24u);
    EXPECT_TRUE(project.Ctl("ZCAN", box)->checked);
  }
  // 11-bit format: 0x800 is refused with the range, the registers keep the last ID.
  page.Click(box);
  EXPECT_FALSE(project.Ctl("ZCAN", box)->checked);
  page.TypeText(edit, "0x800");
  page.FocusLost(edit);
  EXPECT_FALSE(project.Ctl("ZCAN", edit)->binding->Validate(true));
  EXPECT_NE(project.Host().Messages().back().find("between 0 and 0x7FF"), std::string::npos);
  EXPECT_EQ(project.Reg("ZCAN", "RXGMASKL_INIT").value, 0xBC24u);
  page.TypeText(edit, "0x7FF");
  page.FocusLost(edit);
  EXPECT_EQ(project.Reg("ZCAN", "RXGMASKH_INIT").value, 0xFFE0u);
  EXPECT_EQ(project.Reg("ZCAN", "RXGMASKL_INIT").value, 0u);
}

// ---- YSCAN ----

TEST(YscanPage, VariantRowsDeclareCleanlyAndPlaceTheClockSource) {
  const struct {
    const char* part;
    int clockBit;
    bool statusLevels;
  } parts[] = {{"CVX-22", 0, false}, {"CVX-26", 6, true}, {"CVX-33", 6, true}};
  for (const auto& expected : parts) {
    ModuleProject project({.part = expected.part});
    ASSERT_TRUE(project.Opened()) << expected.part;
    auto& yscan = project.Module<CpmYSCAN>("YSCAN");
    EXPECT_TRUE(yscan.Declaration().Verify().empty()) << expected.part;
    EXPECT_EQ(yscan.Variant().clockSourceBit, expected.clockBit) << expected.part;
    EXPECT_EQ(yscan.Declaration().Has("Status change (TX):"), expected.statusLevels) << expected.part;
    // "IP Bus clock" sets the part's clock-source bit.
    project.Reg("YSCAN", "CANCTL1_INIT").value = 1u << expected.clockBit;
    EXPECT_TRUE(yscan.UsesBusClock()) << expected.part;
  }
}

TEST(YscanPage, EachGroupsModeAndInterruptBitsOwnTheirPositions) {
  // No box of a row shares a bit with another box or with the clock source.
  for (const YscanVariant& v : CpmYSCAN::Variants()) {
    std::set<std::pair<std::string, int>> used = {{"CANCTL1_INIT", v.clockSourceBit}};
    for (std::span<const YscanBit> bits : {v.modeBits, v.interruptBits})
      for (const YscanBit& bit : bits) EXPECT_TRUE(used.insert({bit.reg, bit.bit}).second) << v.name << " " << bit.caption;
    for (const YscanChoice& choice : v.interruptChoices)
      for (int bit : {choice.low, choice.low + 1})
        EXPECT_TRUE(used.insert({choice.reg, bit}).second) << v.name << " " << choice.caption;
  }
  // The same caption writes its own group's bit: loopback is CANCTL1 bit 2 on Tebo parts and
  // bit 5 on Casp parts; a Tebo box never touches the clock source (bit 0).
  const struct {
    const char* part;
    const char* caption;
    const char* reg;
    uint32_t value;
  } cases[] = {
      {"CVX-22", "Loopback mode", "CANCTL1_INIT", 0x04},
      {"CVX-22", "Wakeup Low-pass Filter Enable", "CANCTL1_INIT", 0x02},
      {"CVX-22", "Timer Link Enable", "CANCTL0_INIT", 0x08},
      {"CVX-22", "Bus-Off", "CANRIER_INIT", 0x04},
      {"CVX-22", "Receiver Warning", "CANRIER_INIT", 0x40},
      {"CVX-22", "Transmit Buffer 2 Empty", "CANTCR_INIT", 0x04},
      {"CVX-26", "Loopback mode", "CANCTL1_INIT", 0x20},
      {"CVX-26", "CAN Module Enable", "CANCTL1_INIT", 0x80},
      {"CVX-26", "Status Change", "CANRIER_INIT", 0x40},
      {"CVX-33", "Wakeup Low-pass Filter Enable", "CANCTL1_INIT", 0x04},
  };
  for (const auto& c : cases) {
    ModuleProject project({.part = c.part});
    ASSERT_TRUE(project.Opened()) << c.part;
    auto& yscan = project.Module<CpmYSCAN>("YSCAN");
    Page& page = project.OpenPage("YSCAN");
    const bool busClock = yscan.UsesBusClock();
    const uint32_t id = yscan.ControlIdOf(c.caption);
    ASSERT_NE(id, 0u) << c.part << " " << c.caption;
    ASSERT_TRUE(page.Click(id)) << c.part << " " << c.caption;
    EXPECT_EQ(project.Reg("YSCAN", c.reg).value, c.value) << c.part << " " << c.caption;
    EXPECT_EQ(yscan.UsesBusClock(), busClock) << c.part << " " << c.caption;
  }
  // Captions of the other group are not on the page.
  ModuleProject tebo({.part = "CVX-22"});
  ASSERT_TRUE(tebo.Opened());
  EXPECT_FALSE(tebo.Module<CpmYSCAN>("YSCAN").Declaration().Has("CAN Module Enable"));
  EXPECT_FALSE(tebo.Module<CpmYSCAN>("YSCAN").Declaration().Has("Status Change"));
}

TEST(YscanPage, ExtalRunsOnTheCrystalTheClockModuleEdits) {
  // Dorn parts keep the crystal in APPCFG_EXTAL. BTR0 0x01: prescaler 2; BTR1 0x3A:
  // TSEG1 11, TSEG2 4 -> 16 quanta. 8 MHz / 2 = 4 MHz (250 ns), 4 MHz / 16 = 250 kBaud.
  ModuleProject project({.part = "CVX-33",
                         .defines = "#define APPCFG_EXTAL 8000000L\n#define YSCAN_CANBTR0_INIT 0x0001U\n"
                                    "#define YSCAN_CANBTR1_INIT 0x003AU\n"});
  ASSERT_TRUE(project.Opened());
  auto& yscan = project.Module<CpmYSCAN>("YSCAN");
  EXPECT_FALSE(yscan.UsesBusClock());
  EXPECT_DOUBLE_EQ(yscan.ClockMHz(), 8.0);
  project.OpenPage("YSCAN");
  yscan.UpdateValues();
  EXPECT_EQ(project.Ctl("YSCAN", yscan.ControlIdOf("Serial clock:"))->text, "4 MHz");
  EXPECT_EQ(project.Ctl("YSCAN", yscan.ControlIdOf("Time quantum:"))->text, "250 ns");
  EXPECT_EQ(project.Ctl("YSCAN", yscan.ControlIdOf("Baud rate:"))->text, "250 kBaud");
  // The fields' own row is among the solutions (P x T = 32: P 2/T 16, P 4/T 8).
  EXPECT_EQ(yscan.SolverMessage(), Format("%d solutions for 250 kBaud",
                                          static_cast<int>(yscan.Solutions().size())));
  ASSERT_FALSE(yscan.Solutions().empty());
  for (const auto& row : yscan.Solutions()) EXPECT_EQ(row.prescaler * row.quanta, 32);
}

TEST(YscanPage, EveryRuleIsAskedBeforeASaveAndNoFailsTheValidation) {
  // CVX-22 on EXTAL with prescaler 1 and TSEG2 8 (BTR1 0x70 | TSEG1 0x0F): both EXTAL rules.
  ModuleProject project({.part = "CVX-22",
                         .defines = "#define YSCAN_CANBTR0_INIT 0x0000U\n#define YSCAN_CANBTR1_INIT 0x007FU\n"});
  ASSERT_TRUE(project.Opened());
  auto& yscan = project.Module<CpmYSCAN>("YSCAN");
  ASSERT_TRUE(yscan.IsSelected());
  project.OpenPage("YSCAN");
  project.Check();
  EXPECT_EQ(project.WarningText("YSCAN", yscan.ControlIdOf("Bit timing:")),
            "TIME_SEG2 must be lower than 8 when CLKSRC=0 (EXTAL_CLK).");
  CollectingHost& host = project.Host();
  host.entries.clear();
  host.answers = {Answer::Yes, Answer::No};
  EXPECT_FALSE(yscan.ValidateControls(true));
  ASSERT_EQ(host.entries.size(), 2u);
  EXPECT_EQ(host.entries[0].text, "TIME_SEG2 must be lower than 8 when CLKSRC=0 (EXTAL_CLK). Ignore?");
  EXPECT_EQ(host.entries[1].text, "Prescaler must be greater than one when CLKSRC=0 (EXTAL_CLK). Ignore?");
  host.entries.clear();
  host.answers = {Answer::Yes, Answer::Yes};
  EXPECT_TRUE(yscan.ValidateControls(true));
  // On the IP bus clock the EXTAL rules are off and the timing (16 + 8 + 1 = 25) is valid.
  project.Reg("YSCAN", "CANCTL1_INIT").value = 1;
  host.entries.clear();
  EXPECT_TRUE(yscan.ValidateControls(true));
  EXPECT_TRUE(host.entries.empty());
}

}  // namespace
}  // namespace tarq

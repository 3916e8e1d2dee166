// The arithmetic of the sub-module PWM.
#include "modules/smpwm_calc.h"

#include <cmath>
#include <cstdio>

#include "framework/TextUtil.h"

namespace tarq::smpwm {

namespace {

constexpr int kMaxPrescalerField = 7;
constexpr int kMaxDeadTimeCount = 0x7FF;

}  // namespace

double PeriodCounts(const Counter& c) {
  if (c.val1 < c.init) return 0;
  double counts = static_cast<double>(c.val1) - c.init + 1;
  if (c.fractional) counts += c.fracVal1 / 32.0;
  return counts;
}

double PeriodSeconds(const Counter& c) {
  const double counts = PeriodCounts(c);
  if (counts <= 0 || !(c.clockHz > 0)) return 0;
  return counts * static_cast<double>(1u << (c.prescalerField & 7)) / c.clockHz;
}

double FrequencyHz(const Counter& c) {
  const double period = PeriodSeconds(c);
  return period > 0 ? 1 / period : 0;
}

int ResolutionBits(const Counter& c) {
  if (c.val1 < c.init) return -1;
  long long counts = static_cast<long long>(c.val1) - c.init + 1;
  if (c.fractional) counts = counts * 32 + c.fracVal1;
  // Up to 65536 x 32 + 31 counts with the fractional delay: n reaches 21.
  for (int n = 0; n <= 21; ++n)
    if ((1LL << (n + 1)) - 1 >= counts) return n;
  return -1;
}

double EdgeSeconds(const Counter& c, int value, int frac) {
  if (!(c.clockHz > 0) || value < c.init || value > c.val1) return -1;
  double counts = static_cast<double>(value) - c.init;
  if (c.fractional) counts += frac / 32.0;
  return counts * static_cast<double>(1u << (c.prescalerField & 7)) / c.clockHz;
}

double DeadTimeSeconds(int count, double clockHz) {
  if (!(clockHz > 0) || count <= 0) return 0;
  return count / clockHz;
}

WizardResult ComputeWizard(const WizardInput& in) {
  WizardResult r;
  const bool edge = in.alignment == Alignment::Edge;
  if (in.submodules.empty()) {
    r.error = "Select at least one submodule.";
    return r;
  }
  if (in.threePhase && in.submodules.size() != 3) {
    r.error = "Three-phase control needs three submodules.";
    return r;
  }
  if (!(in.clockHz > 0)) {
    r.error = "The bus clock is 0: no counter setting gives a frequency.";
    return r;
  }
  if (!(in.frequencyHz > 0) || !std::isfinite(in.frequencyHz)) {
    r.error = "Enter a frequency above 0 Hz.";
    return r;
  }
  // Edge alignment counts from 0 to VAL1 (at most 32767): 32768 counts. Center alignment
  // counts from -C/2 to C/2 - 1: up to 65536 counts, always an even number.
  const double clocks = in.clockHz / in.frequencyHz;
  const long maxCounts = edge ? 32768 : 65536;
  int field = 0;
  long counts = 0;
  for (field = 0; field <= kMaxPrescalerField; ++field) {
    const double exact = clocks / static_cast<double>(1 << field);
    counts = edge ? std::lround(exact) : 2 * std::lround(exact / 2);
    if (counts <= maxCounts) break;
  }
  if (field > kMaxPrescalerField) {
    r.error = Format(
        "%g Hz is too low for this clock: even with the prescaler at /128 a period "
        "needs more than %ld counts.",
        in.frequencyHz, maxCounts);
    return r;
  }
  if (counts < 2) {
    r.error = Format("%g Hz is too high for this clock: a period needs at least 2 counts.",
                     in.frequencyHz);
    return r;
  }
  r.prescalerField = field;
  r.counts = static_cast<int>(counts);
  r.actualHz = in.clockHz / static_cast<double>(1 << field) / static_cast<double>(counts);

  const double deadTime = in.deadTimeNs > 0 ? in.deadTimeNs : 0;
  long deadCount = std::lround(deadTime * 1e-9 * in.clockHz);
  if (deadCount > kMaxDeadTimeCount) {
    r.warnings.push_back(Format("The dead time is limited to %d counts.", kMaxDeadTimeCount));
    deadCount = kMaxDeadTimeCount;
  }
  r.deadTimeCount = static_cast<int>(deadCount);
  r.actualDeadTimeNs = deadCount / in.clockHz * 1e9;

  double duty = in.dutyPercent;
  if (!(duty >= 0)) duty = 0;
  if (duty > 100) duty = 100;
  PwmCounterSettings base;
  base.init = edge ? 0 : -r.counts / 2;
  base.val1 = edge ? r.counts - 1 : r.counts / 2 - 1;
  base.val0 = base.init + r.counts / 2;
  if (edge) {
    base.val2 = base.init;
    base.val3 = base.init + static_cast<int>(std::lround(r.counts * duty / 100));
  } else {
    const int half = static_cast<int>(std::lround(r.counts * duty / 200));
    base.val2 = -half;
    base.val3 = half;
  }
  base.deadTime = r.deadTimeCount;
  if (in.threePhase) {
    base.setPairMode = true;
    base.independent = edge;
  }

  // Sub-module 0 can run the others: they take its clock, reload and sync; the prescaler of
  // a follower then stays at /1 (its clock is already prescaled).
  const bool masterIsZero = in.submodules.front() == 0;
  std::vector<int> followers;
  for (int n : in.submodules) {
    PwmCounterSettings s = base;
    s.prescalerField = field;
    if (masterIsZero && n != 0) {
      s.prescalerField = 0;
      s.clockSource = 2;
      s.syncSource = 2;
      s.reloadSource = 1;
      followers.push_back(n);
    }
    r.settings.emplace_back(n, s);
  }
  if (!followers.empty()) {
    std::string list;
    for (size_t i = 0; i < followers.size(); ++i) {
      if (i > 0) list += i + 1 == followers.size() ? " and " : ", ";
      list += Format("%d", followers[i]);
    }
    r.warnings.insert(r.warnings.begin(),
                      Format("Warning: This wizard automatically changes in %s ALIGN mode channel "
                             "%s Clock source from channel 0 and prescaler to /1.",
                             edge ? "EDGE" : "CENTER", list.c_str()));
  }
  r.ok = true;
  return r;
}

std::vector<std::string> DescribeWizard(const WizardResult& r) {
  std::vector<std::string> lines;
  if (!r.ok) {
    lines.push_back(r.error);
    return lines;
  }
  lines.push_back(Format("Prescaler /%d, %d counts per period, frequency %.3f Hz",
                         1 << r.prescalerField, r.counts, r.actualHz));
  lines.push_back(Format("Dead time %d counts = %8.3f ns", r.deadTimeCount, r.actualDeadTimeNs));
  static const char* const kClock[] = {"bus clock", "external clock", "clock of PWM_0"};
  for (const auto& [n, s] : r.settings) {
    std::string line = Format("PWM_%d: INIT %d, VAL1 %d, VAL0 %d, VAL2 %d, VAL3 %d, %s", n, s.init,
                              s.val1, s.val0, s.val2, s.val3, kClock[s.clockSource % 3]);
    if (s.syncSource == 2) line += ", sync and reload from PWM_0";
    if (s.setPairMode) line += s.independent ? ", independent pair" : ", complementary pair";
    lines.push_back(line);
  }
  std::string started;
  for (const auto& [n, s] : r.settings)
    started += Format(started.empty() ? "PWM_%d" : ", PWM_%d", n);
  lines.push_back("Load OK and Run are set for " + started + ".");
  for (const std::string& warning : r.warnings) lines.push_back(warning);
  return lines;
}

bool ParseWizardNumber(const std::string& text, double& value, bool& percent) {
  float number = 0;
  char c1 = 0;
  char c2 = 0;
  if (std::sscanf(text.c_str(), " %f %c %c", &number, &c1, &c2) == 2 && c1 == '%') {
    if (!std::isfinite(number)) return false;
    value = number;
    percent = true;
    return true;
  }
  char c = 0;
  if (std::sscanf(text.c_str(), "%f %c", &number, &c) == 1 && std::isfinite(number)) {
    value = number;
    percent = false;
    return true;
  }
  return false;
}

}  // namespace tarq::smpwm

// The arithmetic of the sub-module PWM, apart from any page: counter periods, resolution,
// edge times and the wizards that compute counter settings from a wanted frequency.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/Capabilities.h"

namespace tarq::smpwm {

// The counter of one sub-module: signed INIT and VAL1, the fractional part of VAL1 (0..31,
// used with the fractional delay on), the prescaler field and the clock in Hz.
struct Counter {
  int init = 0;
  int val1 = 0;
  int fracVal1 = 0;
  bool fractional = false;
  int prescalerField = 0;
  double clockHz = 0;
};

// Counts of one period: VAL1 - INIT + 1, plus FRACVAL1 / 32 with the fractional delay; 0 when
// VAL1 < INIT.
double PeriodCounts(const Counter& c);
// The period in seconds; 0 when VAL1 < INIT or there is no clock.
double PeriodSeconds(const Counter& c);
// 1 / period; 0 when the period is 0.
double FrequencyHz(const Counter& c);
// The smallest n in 0..21 with 2^(n+1) - 1 >= C, C the counts of a period (with the fractional
// delay C x 32 + FRACVAL1); -1 when VAL1 < INIT or no n fits.
int ResolutionBits(const Counter& c);
// The time from the start of the period to an edge at `value` (+ frac / 32 counts); -1 when
// the edge lies outside the period or there is no clock.
double EdgeSeconds(const Counter& c, int value, int frac);
// Dead time of a count on an unprescaled clock; 0 without a clock.
double DeadTimeSeconds(int count, double clockHz);

// ---- wizards ----

enum class Alignment { Center, Edge };

struct WizardInput {
  double clockHz = 0;      // the bus clock the sub-modules run on
  double frequencyHz = 0;  // wanted PWM frequency
  Alignment alignment = Alignment::Center;
  double deadTimeNs = 0;        // wanted dead time of both edges
  double dutyPercent = 50;      // duty of the A output, 0..100
  std::vector<int> submodules;  // the sub-modules to set; the first one runs the others
  bool threePhase = false;      // complementary (center) or independent (edge) phase pairs
};

struct WizardResult {
  bool ok = false;
  std::string error;                  // why nothing can be computed
  std::vector<std::string> warnings;  // what the result changes besides the counter
  int prescalerField = 0;
  int counts = 0;  // counts per period
  double actualHz = 0;
  int deadTimeCount = 0;
  double actualDeadTimeNs = 0;
  // Settings per sub-module number, in the order of the input.
  std::vector<std::pair<int, PwmCounterSettings>> settings;
};

WizardResult ComputeWizard(const WizardInput& input);
// What the result will set, one line per fact: shown before the result is applied.
std::vector<std::string> DescribeWizard(const WizardResult& result);

// A wizard entry: a percentage ("25 %") or a plain number ("7500"); false when neither.
bool ParseWizardNumber(const std::string& text, double& value, bool& percent);

}  // namespace tarq::smpwm

// The CAN controllers: bit timing, the baud-rate solver and the acceptance masks.
#include "modules/can.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "framework/Capabilities.h"
#include "framework/Hints.h"
#include "framework/Host.h"
#include "framework/Register.h"
#include "framework/TextUtil.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace can {

// ---- displays ----

double SerialClockMHz(double clockMHz, int prescaler) {
  if (prescaler <= 0 || !(clockMHz > 0) || !std::isfinite(clockMHz)) return 0;
  return clockMHz / prescaler;
}

std::string SerialClockText(double serialMHz) {
  if (serialMHz >= 1) return Format("%g MHz", serialMHz);
  if (serialMHz > 0) return Format("%g kHz", serialMHz * 1000);
  return "???";
}

std::string QuantumText(double serialMHz) {
  if (serialMHz >= 1) return Format("%g ns", 1000 / serialMHz);
  if (serialMHz > 0) return Format("%g us", 1 / serialMHz);
  return "???";
}

double BaudRate(double serialMHz, int quantaPerBit) {
  if (quantaPerBit <= 0 || !(serialMHz > 0)) return 0;
  return serialMHz * 1e6 / quantaPerBit;
}

std::string BaudText(double baud) {
  if (!std::isfinite(baud)) return "???";
  if (baud >= 1e6) return Format("%g MBaud", baud / 1e6);
  if (baud >= 1000) return Format("%g kBaud", baud / 1000);
  if (baud > 0) return Format("%g Baud", baud);
  return "???";
}

// ---- the typed baud rate ----

BaudRequest ParseBaudRate(const std::string& text, uint64_t clockHz) {
  BaudRequest request;
  double number = 0;
  char unit = 0;
  const int read = std::sscanf(text.c_str(), "%lf %c", &number, &unit);
  if (read < 1) return request;
  if (!std::isfinite(number) || number < 0) {
    request.problem = "The baud rate must be a positive number.";
    return request;
  }
  if (read == 1) {
    request.typed = request.rate = number;
    return request;
  }
  double factor = 1;
  if (unit == 'k' || unit == 'K') factor = 1000;
  if (unit == 'm' || unit == 'M') factor = 1e6;
  request.typed = number * factor;
  if (request.typed == 0) return request;
  // Snapped to a whole divisor of the clock; without a clock, or above twice the clock, the
  // divisor rounds to 0 and there is nothing to snap to.
  const double f = static_cast<double>(clockHz);
  const double divisor = f > 0 ? std::round(f / request.typed) : 0;
  if (clockHz == 0) {
    request.problem = "There is no CAN clock: the baud rate can not be achieved.";
  } else if (divisor < 1) {
    request.problem = "This baud rate is above the CAN clock and can not be achieved.";
  } else {
    request.rate = f / divisor;
  }
  return request;
}

// ---- rules ----

std::vector<Violation> CheckZcanTiming(const ZcanTiming& t) {
  std::vector<Violation> found;
  if (t.propSeg < 1 || t.propSeg > 8)
    found.push_back({1, "PROP_SEG must be between 1 and 8.", kZPropSeg});
  if (t.phaseSeg1 < 1 || t.phaseSeg1 > 8)
    found.push_back({2, "PHASE_SEG1 must be between 1 and 8.", kZPhaseSeg1});
  if (t.threeSamples && t.phaseSeg1 <= 2)
    found.push_back({3, "PHASE_SEG1 must be greater than 2 when three samples per bit are enabled.",
                     kZPhaseSeg1});
  // The information processing time: three quanta with the undivided clock, else two.
  const int ipt = t.prescaler == 1 ? 3 : 2;
  if (t.phaseSeg2 != std::max(ipt, t.phaseSeg1)) {
    found.push_back(
        {4,
         t.phaseSeg1 < ipt
             ? Format("PHASE_SEG2 must be equal to IPT (=%d) when IPT is greater than PHASE_SEG1.", ipt)
             : Format("PHASE_SEG2 must be equal to PHASE_SEG1 when IPT (=%d) is less than or equal to "
                      "PHASE_SEG1.",
                      ipt),
         kZPhaseSeg2});
  }
  const int sum = t.Quanta();
  if (sum < 8 || sum > 25)
    found.push_back({5,
                     "The sum of timing parameters must be between 8 and 25. (SYNC_SEG + PROP_SEG + "
                     "PHASE_SEG1 + PHASE_SEG2)",
                     kZPropSeg, true});
  if (t.rjw < 1 || t.rjw > 4) found.push_back({6, "RJW must be between 1 and 4.", kZRjw});
  if (t.rjw > t.phaseSeg1)
    found.push_back({7, "RJW must be less than or equal to PHASE_SEG1.", kZRjw});
  if (t.prescaler == 1 && sum < 9)
    found.push_back(
        {8, "At least nine clocks per bit must be programmed when prescaler is one.", kZPrescaler});
  return found;
}

std::vector<Violation> CheckYscanTiming(const YscanTiming& t) {
  std::vector<Violation> found;
  if (t.restrictedExtal) {
    if (t.tseg2 > 7)
      found.push_back({1, "TIME_SEG2 must be lower than 8 when CLKSRC=0 (EXTAL_CLK).", kYTseg2});
    if (t.prescaler == 1)
      found.push_back({1, "Prescaler must be greater than one when CLKSRC=0 (EXTAL_CLK).", kYPrescaler});
  }
  if (t.tseg2 < 2) found.push_back({2, "TIME_SEG2 must be greater than 1.", kYTseg2});
  if (t.tseg2 == 2) {
    if (t.tseg1 < 5 || t.tseg1 > 10)
      found.push_back({3, "TIME_SEG1 must be between 5 and 10 when TIME_SEG2=2.", kYTseg1});
    if (t.prescaler == 1)
      found.push_back({3, "Prescaler must be greater than one when TIME_SEG2=2.", kYPrescaler});
  } else {
    if (t.tseg2 >= t.tseg1) found.push_back({4, "TIME_SEG1 must be higher than TIME_SEG2", kYTseg1});
    if (t.tseg1 > t.tseg2 + 8)
      found.push_back({4, "TIME_SEG1 must be lower or equal to (TIME_SEG2+8)", kYTseg1});
  }
  if (t.sjw < 1 || t.sjw > std::min(t.tseg2, 4))
    found.push_back({5, "SJW must be between 1 and min(TSEG2,4).", kYSjw});
  const int sum = t.Quanta();
  if (sum < 8 || sum > 25)
    found.push_back({6,
                     "The sum of timing parameters must be between 8 and 25. (SYNC_SEG + TIME_SEG1 + "
                     "TIME_SEG2)",
                     kYTseg1, true});
  return found;
}

// ---- the solver ----

namespace {

// The prescaler that makes `quanta` quanta per bit hit the rate exactly; 0 when none does.
int ExactPrescaler(const SolverInput& in, int quanta, int maximum) {
  const double f = static_cast<double>(in.clockHz);
  const double perBit = quanta * in.rate;
  if (f < perBit) return 0;
  const double p = std::round(f / perBit);
  if (p > maximum) return 0;
  return std::llround(in.rate * quanta * p) == static_cast<long long>(in.clockHz) ? static_cast<int>(p)
                                                                                   : 0;
}

Solution Row(const SolverInput& in, int p, int quanta, int a, int b, int c, int jump) {
  Solution row{.prescaler = p, .quanta = quanta, .segments = {a, b, c}, .jump = jump};
  row.rate = static_cast<double>(in.clockHz) / (static_cast<double>(p) * quanta);
  const double reference = in.typed > 0 ? in.typed : in.rate;
  row.errorPercent = reference > 0 ? (row.rate - reference) / reference * 100 : 0;
  return row;
}

bool Usable(const SolverInput& in) {
  return in.clockHz > 0 && in.rate > 0 && std::isfinite(in.rate);
}

}  // namespace

std::vector<Solution> SolveZcan(const SolverInput& in) {
  std::vector<Solution> rows;
  if (!Usable(in)) return rows;
  for (int quanta = in.currentPrescaler == 1 ? 10 : 8; quanta <= 25; ++quanta) {
    const int p = ExactPrescaler(in, quanta, 256);
    if (p == 0) continue;
    for (int prop = 1; prop <= 8; ++prop)
      for (int seg1 = 1; seg1 <= 8; ++seg1)
        for (int seg2 = 1; seg2 <= 8; ++seg2) {
          if (1 + prop + seg1 + seg2 != quanta) continue;
          for (int rjw = 1; rjw <= std::min(seg1, 4); ++rjw) {
            const ZcanTiming t{p, prop, seg1, seg2, rjw, in.threeSamples};
            if (CheckZcanTiming(t).empty()) rows.push_back(Row(in, p, quanta, prop, seg1, seg2, rjw));
          }
        }
  }
  return rows;
}

std::vector<Solution> SolveYscan(const SolverInput& in) {
  std::vector<Solution> rows;
  if (!Usable(in)) return rows;
  for (int quanta = 8; quanta <= 25; ++quanta) {
    const int p = ExactPrescaler(in, quanta, 64);
    if (p == 0 || (in.extal && p <= 1)) continue;
    for (int tseg1 = 3; tseg1 <= 16; ++tseg1)
      for (int tseg2 = 2; tseg2 <= 8; ++tseg2) {
        if (1 + tseg1 + tseg2 != quanta) continue;
        for (int sjw = 1; sjw <= std::min(tseg1, 4); ++sjw) {
          const YscanTiming t{p, sjw, tseg1, tseg2, in.threeSamples, in.restrictedExtal};
          if (CheckYscanTiming(t).empty()) rows.push_back(Row(in, p, quanta, tseg1, tseg2, 0, sjw));
        }
      }
  }
  return rows;
}

void SortSolutions(std::vector<Solution>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const Solution& a, const Solution& b) {
    if (a.Exact() != b.Exact()) return a.Exact();
    if (std::fabs(a.errorPercent) != std::fabs(b.errorPercent))
      return std::fabs(a.errorPercent) < std::fabs(b.errorPercent);
    return a.prescaler < b.prescaler;
  });
}

double SolutionCell(const Solution& row, int column, int segmentColumns) {
  if (column == 0) return row.prescaler;
  if (column == 1) return row.quanta;
  if (column >= 2 && column < 2 + segmentColumns && segmentColumns <= 3) return row.segments[column - 2];
  if (column == 2 + segmentColumns) return row.jump;
  if (column == 3 + segmentColumns) return row.rate;
  if (column == 4 + segmentColumns) return std::fabs(row.errorPercent);
  return 0;
}

void SortSolutionsBy(std::vector<Solution>& rows, int column, int segmentColumns) {
  std::stable_sort(rows.begin(), rows.end(), [column, segmentColumns](const Solution& a, const Solution& b) {
    return SolutionCell(a, column, segmentColumns) < SolutionCell(b, column, segmentColumns);
  });
}

// ---- acceptance masks ----

uint32_t MaxMaskId(bool extended) { return extended ? 0x1FFFFFFFu : 0x7FFu; }

uint32_t ReadMaskId(MaskPair pair) {
  const uint32_t v = pair.low | (static_cast<uint32_t>(pair.high) << 16);
  if (IsExtendedMask(pair.high)) return (((v >> 2) & 0x3FF80000u) | (v & 0x7FFFEu)) >> 1;
  return v >> 21;
}

bool WriteMaskId(MaskPair& pair, uint32_t id) {
  const bool extended = IsExtendedMask(pair.high);
  if (id > MaxMaskId(extended)) return false;
  if (extended) {
    // The flag stays set whatever ID bit 2 (L bit 3) is.
    pair.high = static_cast<uint16_t>(((id >> 15) & 7u) | 8u | ((id >> 18) << 5));
    pair.low = static_cast<uint16_t>((id & 0x7FFFu) << 1);
  } else {
    pair.high = static_cast<uint16_t>(id << 5);
    pair.low = 0;
  }
  return true;
}

}  // namespace can

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

constexpr const char* kMcr = "MCR_INIT";
constexpr const char* kCtl0 = "CTL0_INIT";
constexpr const char* kCtl1 = "CTL1_INIT";
constexpr const char* kImask = "IMASK1_INIT";

constexpr const char* kClockKey = "Module clock:";
constexpr const char* kPrescalerKey = "Prescaler:";
constexpr const char* kSerialKey = "Serial clock:";
constexpr const char* kQuantumKey = "Time quantum:";
constexpr const char* kPropKey = "PROP_SEG:";
constexpr const char* kSeg1Key = "PHASE_SEG1:";
constexpr const char* kSeg2Key = "PHASE_SEG2:";
constexpr const char* kRjwKey = "RJW:";
constexpr const char* kTimingKey = "Bit timing:";
constexpr const char* kBaudKey = "Baud rate:";
constexpr const char* kSolverKey = "Solver:";
constexpr const char* kSolutionsKey = "Solutions:";
constexpr const char* kGraphKey = "Bit timing graph";
constexpr const char* kCalculateHref = "tarqcmd:calculate";
constexpr const char* kRecalculateHref = "tarqcmd:baud";

FieldSpec Bit(const std::string& reg, int bit, bool inverted = false) {
  return {.reg = reg, .low = bit, .inverted = inverted};
}
FieldSpec Shown(const std::string& reg, int low, int high) {
  return {.reg = reg, .low = low, .high = high, .offset = 1};
}

// The ID edit of a mask pair: the ID in hex, written into both registers in the pair's format.
// An ID above the format's range is refused with a message, never truncated.
class MaskIdEdit : public CSetCtrl {
 public:
  void Bind(RegisterRef low, RegisterRef high, const std::string& label) {
    reg_ = low;
    high_ = high;
    SetGivenLabel(label);
    Refresh();
  }
  can::MaskPair Pair() const {
    const Register* low = reg_.Get();
    const Register* high = high_.Get();
    return {static_cast<uint16_t>(low ? low->value : 0), static_cast<uint16_t>(high ? high->value : 0)};
  }
  void Write(can::MaskPair pair) {
    if (Register* low = reg_.Get()) low->value = pair.low;
    if (Register* high = high_.Get()) high->value = pair.high;
  }
  uint32_t Id() const { return can::ReadMaskId(Pair()); }
  void Refresh() override {
    if (GetWnd()) {
      ShowText(Format("0x%X", Id()));
      ShowBackground(false);
    }
  }
  // Parses the entry; false with the reason when it is no ID of the pair's format.
  bool Parse(uint32_t& id, std::string& reason) const {
    const Control* control = GetWnd();
    const std::string entry = control ? Trim(control->text) : std::string();
    const bool extended = can::IsExtendedMask(Pair().high);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = entry.empty() ? 0 : std::strtoull(entry.c_str(), &end, 0);
    if (entry.empty() || entry[0] == '-' || errno != 0 || (end && *end != '\0')) {
      reason = Format("'%s' is not an ID.", entry.c_str());
      return false;
    }
    if (value > can::MaxMaskId(extended)) {
      reason = Format("The %s mask ID must be between 0 and 0x%X.", extended ? "29-bit" : "11-bit",
                      can::MaxMaskId(extended));
      return false;
    }
    id = static_cast<uint32_t>(value);
    return true;
  }
  void Update() override {
    uint32_t id = 0;
    std::string reason;
    if (!Parse(id, reason)) {
      ShowBackground(true);
      return;
    }
    can::MaskPair pair = Pair();
    can::WriteMaskId(pair, id);
    Write(pair);
    ShowBackground(false);
    Broadcast(kHintValueChanged);
  }
  bool Validate(bool showMessages) override {
    if (!GetWnd()) return true;
    uint32_t id = 0;
    std::string reason;
    if (Parse(id, reason)) return true;
    ShowBackground(true);
    if (showMessages) ShowError(reason);
    return false;
  }
  void OnControlEvent(ControlEvent event) override {
    if (event == ControlEvent::FocusLost || event == ControlEvent::TextSetByProgram) Update();
  }
  void SelfTest(const SelfTestLog& log) override {
    const can::MaskPair before = Pair();
    const bool extended = can::IsExtendedMask(before.high);
    for (uint32_t id : {0u, extended ? 0x1ABCDE12u : 0x2A5u, can::MaxMaskId(extended)}) {
      can::MaskPair pair = before;
      can::WriteMaskId(pair, id);
      Write(pair);
      if (GetWnd()) Refresh();
      log(Format("ED[%4d]; 0x%08X; ", static_cast<int>(GetCtrlId()), id) + Padded(RegisterText()) +
          "; " + Padded(Format("Test Value 0x%X", id)) + "; " + Padded(SelfTestLabel()));
    }
    Write(before);
    Refresh();
  }
  std::string GetDescription(bool detail, uint32_t style) const override {
    (void)style;
    if (!enabledByModule_) return {};
    if (!detail) return label_;
    return label_ + ": " + Format("0x%X", Id()) +
           (can::IsExtendedMask(Pair().high) ? " (29-bit)" : " (11-bit)");
  }
  const char* GetKindName() const override { return "CSetValue"; }

 private:
  RegisterRef high_;
};

// The cells of a list row, separated by tabs.
std::string SolutionText(const can::Solution& row, int columns) {
  std::string text = Format("%d\t%d", row.prescaler, row.quanta);
  for (int n = 0; n < columns; ++n) text += Format("\t%d", row.segments[n]);
  text += Format("\t%d\t%s\t%+.3f %%", row.jump, can::BaudText(row.rate).c_str(), row.errorPercent);
  return text;
}

bool SameRow(const can::Solution& a, const can::Solution& b) {
  return a.prescaler == b.prescaler && a.quanta == b.quanta &&
         std::equal(std::begin(a.segments), std::end(a.segments), std::begin(b.segments)) && a.jump == b.jump;
}

}  // namespace

// ---- both controllers ----

uint32_t CCanModule::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

uint32_t CCanModule::Field(const std::string& reg, int low, int high) const {
  const Register* r = const_cast<CCanModule*>(this)->FindOwnRegister(reg);
  if (!r) return 0;
  return (r->value >> low) & ((1u << (high - low + 1)) - 1);
}

void CCanModule::SetField(const std::string& reg, int low, int high, uint32_t value) {
  Register* r = FindOwnRegister(reg);
  if (!r) return;
  const uint32_t mask = ((1u << (high - low + 1)) - 1) << low;
  r->value = (r->value & ~mask) | ((value << low) & mask);
}

uint64_t CCanModule::ClockHz() const {
  const double mhz = ClockMHz();
  return mhz > 0 && std::isfinite(mhz) ? static_cast<uint64_t>(std::llround(mhz * 1e6)) : 0;
}

void CCanModule::DeclareGraph(PageDeclaration& d) {
  const uint32_t graphId = d.NextId();
  d.Custom([graphId](Page& page) {
    Control& graph = page.AddBarGraph(graphId);
    graph.layout.width = 330;
  });
  graphId_ = graphId;
  (void)kGraphKey;
}

void CCanModule::DeclareBaudRate(PageDeclaration& d, std::vector<std::string> columns) {
  d.Group("Baud Rate");
  d.Edit({.caption = kBaudKey, .width = 110});
  d.Link({.caption = Format("<A HREF=\"%s\">Calculate parameters ---></A>", kCalculateHref),
          .key = "Calculate parameters", .width = 190});
  d.Link({.caption = Format("<A HREF=\"%s\">&lt;--- Calculate baud rate</A>", kRecalculateHref),
          .key = "Calculate baud rate", .newRow = false});
  d.Display({.caption = kSolverKey, .width = 330});
  d.Static({.caption = kSolutionsKey});
  const uint32_t listId = d.NextId();
  d.Custom([listId, columns](Page& page) {
    Control& list = page.AddListBox(listId, {});
    list.layout.width = 460;
    list.columns = columns;
  });
  solutionsId_ = listId;
}

std::string CCanModule::TimingText() const {
  const std::vector<can::Violation> violations = Violations();
  if (!violations.empty()) return violations.front().message;
  return SegmentText(Current());
}

void CCanModule::UpdateGraph(double serialMHz, const can::Solution& t) {
  Page* page = GetPage();
  if (!page || !page->Find(graphId_)) return;
  const std::vector<can::Violation> violations = Violations();
  if (!violations.empty()) {
    // An invalid timing has no bit to draw: the area shows the first violated rule, as an
    // error while the controller is in use (as the warnings pass reports it).
    page->SetBar(graphId_, violations.front().message, {});
    page->SetTextColour(graphId_, IsSelected() ? std::optional<Rgb>(kWarningTextColour) : std::nullopt);
    return;
  }
  std::vector<BarSegment> segments = BitSegments(t);
  int total = 0;
  for (const BarSegment& segment : segments) total += segment.units;
  // The bit is sampled at the end of the last segment but one.
  const int sampleAt = segments.empty() ? -1 : total - segments.back().units;
  const std::string marker =
      total > 0 ? Format("sample point %g %%", std::round(1000.0 * sampleAt / total) / 10) : std::string();
  page->SetBar(graphId_, can::BaudText(can::BaudRate(serialMHz, t.quanta)) + Format(", %d TQ per bit", t.quanta),
               std::move(segments), total > 0 ? sampleAt : -1, marker);
  page->SetTextColour(graphId_, std::nullopt);
}

std::string CCanModule::TimingKey() const {
  const can::Solution t = Current();
  return Format("%d/%d/%d/%d/%d/%d/%.6f", t.prescaler, t.quanta, t.segments[0], t.segments[1],
                t.segments[2], t.jump, ClockMHz());
}

std::string CCanModule::MonitorInterfaceName() const {
  const std::string& name = GetPrefix();
  return !name.empty() && name.back() == '2' ? "CAN_2" : "CAN";
}

std::vector<uint32_t> CCanModule::MonitorVectors() const {
  std::vector<uint32_t> vectors;
  for (const InterruptUser& user : InterruptUsers()) vectors.push_back(user.vector);
  return vectors;
}

void CCanModule::UpdateValues() {
  if (!GetPage() || applying_) return;
  const can::Solution t = Current();
  const double clock = ClockMHz();
  const double serial = can::SerialClockMHz(clock, t.prescaler);
  ShowControlText(ControlIdOf(kClockKey), clock > 0 ? Format("%g MHz", clock) : "???");
  ShowControlText(ControlIdOf(kSerialKey), can::SerialClockText(serial));
  ShowControlText(ControlIdOf(kQuantumKey), can::QuantumText(serial));
  ShowControlText(ControlIdOf(kTimingKey), TimingText());
  UpdateGraph(serial, t);
  // The baud box follows the timing fields when they (or the clock) changed; a typed rate
  // stays until then and is solved again (the sampling choice changes the rows).
  const uint32_t baudId = ControlIdOf(kBaudKey);
  const std::string key = TimingKey();
  if (!shownTiming_ || *shownTiming_ != key) {
    shownTiming_ = key;
    ShowControlText(baudId, can::BaudText(can::BaudRate(serial, t.quanta)));
  }
  const ControlRef baud = FindControlById(baudId);
  RunSolver(can::ParseBaudRate(baud ? baud.control->text : std::string(), ClockHz()), false);
}

void CCanModule::SolveTyped(const std::string& text, bool autoSelect) {
  RunSolver(can::ParseBaudRate(text, ClockHz()), autoSelect);
  if (!autoSelect) return;
  Host* host = GetContext() ? &GetContext()->GetHost() : nullptr;
  if (selectedRow_ >= 0) {
    ApplySolution(solutions_[static_cast<size_t>(selectedRow_)]);
  } else if (!solutions_.empty()) {
    if (host) host->ShowMessage("The prescaler must be changed to achieve this baud rate !");
    ApplySolution(solutions_.front());
  } else if (host) {
    host->ShowMessage(solverMessage_.rfind("Type", 0) == 0 || solverMessage_.empty()
                          ? "This baud rate can not be achieved."
                          : solverMessage_);
  }
}

void CCanModule::RunSolver(const can::BaudRequest& request, bool autoSelect) {
  const can::Solution t = Current();
  std::vector<can::Solution> found = Solve(request);
  // The first row (search order) with the current prescaler, and without auto-selection also
  // the current segments.
  std::optional<can::Solution> match;
  for (const can::Solution& row : found) {
    if (row.prescaler != t.prescaler) continue;
    if (!autoSelect && (!std::equal(std::begin(row.segments), std::end(row.segments),
                                    std::begin(t.segments)) ||
                        row.jump != t.jump))
      continue;
    match = row;
    break;
  }
  can::SortSolutions(found);
  if (sortColumn_ >= 0) can::SortSolutionsBy(found, sortColumn_, SegmentColumns());
  solutions_ = std::move(found);
  selectedRow_ = -1;
  for (size_t n = 0; match && n < solutions_.size(); ++n) {
    if (SameRow(solutions_[n], *match)) {
      selectedRow_ = static_cast<int>(n);
      break;
    }
  }
  if (!request.problem.empty()) {
    solverMessage_ = request.problem;
  } else if (request.rate <= 0) {
    solverMessage_ = "Type a baud rate (e.g. 500k).";
  } else if (solutions_.empty()) {
    solverMessage_ = "This baud rate can not be achieved.";
  } else {
    solverMessage_ = Format("%d solutions for %s", static_cast<int>(solutions_.size()),
                            can::BaudText(request.rate).c_str());
  }
  ShowSolutions();
}

void CCanModule::ShowSolutions() {
  ShowControlText(ControlIdOf(kSolverKey), solverMessage_);
  Page* page = GetPage();
  if (!page || !page->Find(solutionsId_)) return;
  std::vector<std::string> items;
  items.reserve(solutions_.size());
  for (const can::Solution& row : solutions_) items.push_back(SolutionText(row, SegmentColumns()));
  page->SetItems(solutionsId_, items);
  page->SetSelection(solutionsId_, selectedRow_);
}

void CCanModule::ApplySolution(const can::Solution& row) {
  applying_ = true;
  WriteSolution(row);
  for (const std::string& key : TimingKeys())
    if (const DeclaredControl* control = decl_.Find(key); control && control->binding)
      control->binding->Refresh();
  applying_ = false;
  if (ModuleContext* context = GetContext()) context->Broadcast(kHintValueChanged, this);
  // The fields now hold the row: the baud box follows them again.
  shownTiming_.reset();
  UpdateValues();
}

void CCanModule::SortByColumn(int column) {
  std::optional<can::Solution> chosen;
  if (selectedRow_ >= 0 && static_cast<size_t>(selectedRow_) < solutions_.size())
    chosen = solutions_[static_cast<size_t>(selectedRow_)];
  sortColumn_ = column;
  if (column < 0) {
    can::SortSolutions(solutions_);
  } else {
    can::SortSolutionsBy(solutions_, column, SegmentColumns());
  }
  selectedRow_ = -1;
  for (size_t n = 0; chosen && n < solutions_.size(); ++n)
    if (SameRow(solutions_[n], *chosen)) selectedRow_ = static_cast<int>(n);
  applying_ = true;  // the list's new selection is the same row: nothing to write
  ShowSolutions();
  applying_ = false;
}

void CCanModule::OnControlEvent(Page& page, Control& control, ControlEvent event) {
  if (control.id == solutionsId_ && event == ControlEvent::HeaderClicked) {
    SortByColumn(control.clickedColumn);
    return;
  }
  if (control.id == ControlIdOf(kBaudKey) && event == ControlEvent::FocusLost) {
    SolveTyped(control.text, false);
    return;
  }
  if (control.id == solutionsId_ && event == ControlEvent::SelectionChanged) {
    if (!applying_ && control.selection >= 0 &&
        static_cast<size_t>(control.selection) < solutions_.size())
      ApplySolution(solutions_[static_cast<size_t>(control.selection)]);
    return;
  }
  CDeclaredModule::OnControlEvent(page, control, event);
}

void CCanModule::OnLinkActivated(Page& page, Control& control, const std::string& href,
                                 const std::string& linkText) {
  if (href == kCalculateHref) {
    const ControlRef baud = FindControlById(ControlIdOf(kBaudKey));
    SolveTyped(baud ? baud.control->text : std::string(), true);
    return;
  }
  if (href == kRecalculateHref) {
    const std::vector<can::Violation> violations = Violations();
    if (!violations.empty() && GetContext()) GetContext()->GetHost().ShowMessage(violations.front().message);
    shownTiming_.reset();
    UpdateValues();
    return;
  }
  CDeclaredModule::OnLinkActivated(page, control, href, linkText);
}

void CCanModule::CheckWarnings() {
  CModule::CheckWarnings();
  // Evaluated from the registers: the rules hold whether the page is open or not. A
  // controller that is not in use keeps its reset timing without a warning.
  std::vector<can::Violation> violations = Violations();
  if (!IsSelected()) violations.clear();
  SetWarning(ControlIdOf(kTimingKey), !violations.empty(), TimingText(),
             violations.empty() ? std::string() : violations.front().message);
}

// ---- ZCAN ----

CpmZCAN::CpmZCAN(const ArchitectureEntry& entry, CModuleBase* parent) : CCanModule(entry, parent) {}

void CpmZCAN::DeclareRegisters() {
  static const RegisterDecl kRegisters[] = {
      {kMcr, 0x5000, DW16 | NODEFAULT},         {kCtl0, 0, DW16 | NODEFAULT},
      {kCtl1, 0, DW16 | NODEFAULT},             {kImask, 0, DW16},
      {"RXGMASKL_INIT", 0xFFFE, DW16 | NODEFAULT}, {"RXGMASKH_INIT", 0xFFEF, DW16 | NODEFAULT},
      {"RX14MASKL_INIT", 0xFFFE, DW16 | NODEFAULT}, {"RX14MASKH_INIT", 0xFFEF, DW16 | NODEFAULT},
      {"RX15MASKL_INIT", 0xFFFE, DW16 | NODEFAULT}, {"RX15MASKH_INIT", 0xFFEF, DW16 | NODEFAULT},
  };
  InitRegisters(kRegisters, std::size(kRegisters));
}

void CpmZCAN::DeclarePage(PageDeclaration& d) {
  d.Group("Bit Timing");
  d.Display({.caption = kClockKey, .width = 110});
  d.Value({.caption = kPrescalerKey, .field = Shown(kCtl1, 8, 15), .label = "Prescaler Divide Factor",
           .number = {.hex = false}, .spin = {.minimum = 1, .maximum = 256}, .width = 70});
  d.Display({.caption = kSerialKey, .width = 110});
  d.Display({.caption = kQuantumKey, .width = 110});
  d.Value({.caption = kPropKey, .field = Shown(kCtl0, 0, 2), .label = "Propagation Segment (PROP_SEG)",
           .number = {.hex = false}, .spin = {.minimum = 1, .maximum = 8}, .width = 50});
  d.Value({.caption = kSeg1Key, .field = Shown(kCtl1, 3, 5),
           .label = "Phase Buffer Segment 1 (PHASE_SEG1)", .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = 8}, .width = 50});
  d.Value({.caption = kSeg2Key, .field = Shown(kCtl1, 0, 2),
           .label = "Phase Buffer Segment 2 (PHASE_SEG2)", .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = 8}, .width = 50});
  d.Value({.caption = kRjwKey, .field = Shown(kCtl1, 6, 7),
           .label = "Re-Synchronization Jump Width (RJW)", .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = 4}, .width = 50});
  d.Radio({.caption = "One sample per bit", .field = Bit(kCtl0, 7, true),
           .label = "Sampling: One sample per bit", .groupStart = true});
  d.Radio({.caption = "Three samples per bit", .field = Bit(kCtl0, 7),
           .label = "Sampling: Three samples per bit", .newRow = false});
  d.Display({.caption = kTimingKey, .width = 330});

  DeclareGraph(d);
  DeclareBaudRate(d, {"Prescaler", "TQ/bit", "PROPSEG", "PSEG1", "PSEG2", "RJW", "Rate", "Error"});

  d.NextBand();
  d.Group("Operation");
  d.Box({.caption = "Listen Only mode", .field = Bit(kCtl0, 3), .comment = kState});
  d.Radio({.caption = "Lowest MB transmitted first", .field = Bit(kCtl0, 4),
           .label = "Transmission: Lowest number MB transmitted first", .groupStart = true});
  d.Radio({.caption = "Lowest ID transmitted first", .field = Bit(kCtl0, 4, true),
           .label = "Transmission: Lowest ID transmitted first", .newRow = false});
  d.Box({.caption = "Timer Synch. mode", .field = Bit(kCtl0, 5), .label = "Timer Synchronization mode",
         .comment = kState});
  d.Box({.caption = "Loopback mode", .field = Bit(kCtl0, 6), .comment = kState, .newRow = false});
  d.Box({.caption = "Keep in Low-power mode ", .field = Bit(kMcr, 15),
         .label = "Keep in low-power STOP mode", .comment = kState});
  d.Box({.caption = "Enable Freeze/HALT", .field = Bit(kMcr, 14), .label = "Halt/Freeze sensitivity",
         .comment = kState, .newRow = false});
  d.Box({.caption = "Keep in Freeze/HALT", .field = Bit(kMcr, 12), .label = "Keep in Halt/Freeze",
         .comment = kState});
  d.Box({.caption = "Self-wake up enable", .field = Bit(kMcr, 6), .label = "Self Wake Up",
         .comment = kState, .newRow = false});
  d.Box({.caption = "Auto power save", .field = Bit(kMcr, 5), .comment = kState});

  d.Group("Interrupts");
  d.Box({.caption = "Error", .field = Bit(kCtl0, 14), .label = "Interrupts: Error  ", .comment = kState});
  d.Box({.caption = "Bus Off", .field = Bit(kCtl0, 15), .label = "Interrupts: Bus Off",
         .comment = kState, .newRow = false});
  d.Box({.caption = "Wake Up", .field = Bit(kMcr, 10), .label = "Interrupts: Wake up",
         .comment = kState, .newRow = false});
  for (int mb = 0; mb < 16; ++mb)
    d.Box({.caption = Format("MB %d", mb), .field = Bit(kImask, mb),
           .label = Format("MB interrupts: MB%d ", mb), .comment = kState, .newRow = mb % 4 == 0});
  d.InterruptPanels(kInterruptPanelWidth);

  d.Group("Acceptance Masks");
  struct Mask {
    const char* caption;
    const char* low;
    const char* high;
    const char* label;
  };
  for (const Mask& mask : {Mask{"Global Mask:", "RXGMASKL_INIT", "RXGMASKH_INIT", "Global mask ID"},
                           Mask{"MB14 Mask:", "RX14MASKL_INIT", "RX14MASKH_INIT", "MB14 mask ID"},
                           Mask{"MB15 Mask:", "RX15MASKL_INIT", "RX15MASKH_INIT", "MB15 mask ID"}}) {
    const std::string high = mask.high;
    d.Text({.caption = mask.caption, .field = {.reg = mask.low}, .label = mask.label, .width = 100,
            .makeBinding = [this, high](RegisterRef reg, const std::string& label) {
              auto edit = std::make_unique<MaskIdEdit>();
              edit->Bind(reg, RegisterRef::Named(*this, high), label);
              return std::unique_ptr<CSetCtrl>(std::move(edit));
            }});
    // The format flag is bit 3 of the H register only: writing an ID keeps it.
    d.Box({.caption = "Extended ID mask", .key = std::string(mask.caption) + " Extended ID mask",
           .field = Bit(mask.high, 3), .label = "Dummy IDE in mask register", .comment = kState,
           .newRow = false});
  }
}

can::ZcanTiming CpmZCAN::Timing() const {
  return {.prescaler = static_cast<int>(Field(kCtl1, 8, 15)) + 1,
          .propSeg = static_cast<int>(Field(kCtl0, 0, 2)) + 1,
          .phaseSeg1 = static_cast<int>(Field(kCtl1, 3, 5)) + 1,
          .phaseSeg2 = static_cast<int>(Field(kCtl1, 0, 2)) + 1,
          .rjw = static_cast<int>(Field(kCtl1, 6, 7)) + 1,
          .threeSamples = Field(kCtl0, 7, 7) != 0};
}

can::Solution CpmZCAN::Current() const {
  const can::ZcanTiming t = Timing();
  return {.prescaler = t.prescaler,
          .quanta = t.Quanta(),
          .segments = {t.propSeg, t.phaseSeg1, t.phaseSeg2},
          .jump = t.rjw};
}

std::vector<can::Violation> CpmZCAN::Violations() const { return can::CheckZcanTiming(Timing()); }

std::vector<can::Solution> CpmZCAN::Solve(const can::BaudRequest& request) const {
  const can::ZcanTiming t = Timing();
  return can::SolveZcan({.clockHz = ClockHz(),
                         .rate = request.rate,
                         .typed = request.typed,
                         .threeSamples = t.threeSamples,
                         .currentPrescaler = t.prescaler});
}

void CpmZCAN::WriteSolution(const can::Solution& row) {
  // The prescaler only when it changes; then the segments and RJW in column order.
  if (row.prescaler != Timing().prescaler) SetField(kCtl1, 8, 15, static_cast<uint32_t>(row.prescaler - 1));
  SetField(kCtl0, 0, 2, static_cast<uint32_t>(row.segments[0] - 1));
  SetField(kCtl1, 3, 5, static_cast<uint32_t>(row.segments[1] - 1));
  SetField(kCtl1, 0, 2, static_cast<uint32_t>(row.segments[2] - 1));
  SetField(kCtl1, 6, 7, static_cast<uint32_t>(row.jump - 1));
}

std::vector<std::string> CpmZCAN::TimingKeys() const {
  return {kPrescalerKey, kPropKey, kSeg1Key, kSeg2Key, kRjwKey};
}

std::string CpmZCAN::SegmentText(const can::Solution& t) const {
  return Format("sync 1 | prop %d | pseg1 %d | pseg2 %d = %d TQ", t.segments[0], t.segments[1],
                t.segments[2], t.quanta);
}

std::vector<BarSegment> CpmZCAN::BitSegments(const can::Solution& t) const {
  return {{"sync", 1}, {"prop", t.segments[0]}, {"pseg1", t.segments[1]}, {"pseg2", t.segments[2]}};
}

// ---- YSCAN ----

namespace {

constexpr const char* kYCtl0 = "CANCTL0_INIT";
constexpr const char* kYCtl1 = "CANCTL1_INIT";
constexpr const char* kBtr0 = "CANBTR0_INIT";
constexpr const char* kBtr1 = "CANBTR1_INIT";
constexpr const char* kIdac = "CANIDAC_INIT";
constexpr const char* kRier = "CANRIER_INIT";
constexpr const char* kTcr = "CANTCR_INIT";
constexpr const char* kSjwKey = "SJW:";
constexpr const char* kTseg1Key = "TSEG1:";
constexpr const char* kTseg2Key = "TSEG2:";
constexpr const char* kBusClockKey = "IP Bus clock";

// The controller of the Casp parts (CVX-26, CVX-27) and the Dorn group: CANCTL1 7..2 hold
// module enable, clock source, loopback, listen-only, bus-off recovery and the wake-up
// filter; CANRIER has the receive and status-change enables with two-bit status levels.
const YscanBit kCaspModeBits[] = {
    {"CAN Module Enable", kYCtl1, 7},
    {"Keep CAN in INIT mode", kYCtl0, 0},
    {"Wakeup Enable", kYCtl0, 2},
    {"Timestamp Timer Enable", kYCtl0, 3},
    {"CAN Stops in Wait Mode", kYCtl0, 5},
    {"Wakeup Low-pass Filter Enable", kYCtl1, 2},
    {"Manual Bus-off Recovery", kYCtl1, 3},
    {"Listen Only Mode", kYCtl1, 4},
    {"Loopback mode", kYCtl1, 5},
};
const YscanBit kCaspInterruptBits[] = {
    {"Wake-up", kRier, 7, "Interrupt: Wake-up"},
    {"Receiver Full", kRier, 0, "Interrupt: Receiver Full"},
    {"Receiver Overrun", kRier, 1, "Interrupt: Receiver Overrun"},
    {"Status Change", kRier, 6, "Interrupt: Status Change"},
};
const YscanChoice kCaspInterruptChoices[] = {
    {"Status change (TX):", kRier, 2, {"Disabled", "Bus-off only", "Bus-off and TxErr", "All state changes"},
     "Interrupt: Status Change Detection (TX)"},
    {"Status change (RX):", kRier, 4, {"Disabled", "Bus-off only", "Bus-off and RxErr", "All state changes"},
     "Interrupt: Status Change Detection (RX)"},
};

// The earlier controller of the Tebo parts: the clock source is CANCTL1 bit 0, with the
// wake-up filter at 1 and loopback at 2 above it; CANCTL0 keeps soft reset (0), the timer
// link (3) and the wait-mode stop (5). CANRIER has one enable per error state instead of the
// status levels, and the transmit-empty enables of the three buffers sit in CANTCR 2..0.
const YscanBit kTeboModeBits[] = {
    {"Keep CAN in INIT mode", kYCtl0, 0},
    {"Timer Link Enable", kYCtl0, 3},
    {"CAN Stops in Wait Mode", kYCtl0, 5},
    {"Wakeup Low-pass Filter Enable", kYCtl1, 1},
    {"Loopback mode", kYCtl1, 2},
};
const YscanBit kTeboInterruptBits[] = {
    {"Wake-up", kRier, 7, "Interrupt: Wake-up"},
    {"Receiver Warning", kRier, 6, "Interrupt: Receiver Warning"},
    {"Transmitter Warning", kRier, 5, "Interrupt: Transmitter Warning"},
    {"Receiver Error Passive", kRier, 4, "Interrupt: Receiver Error Passive"},
    {"Transmitter Error Passive", kRier, 3, "Interrupt: Transmitter Error Passive"},
    {"Bus-Off", kRier, 2, "Interrupt: Bus-Off"},
    {"Receiver Overrun", kRier, 1, "Interrupt: Receiver Overrun"},
    {"Receiver Full", kRier, 0, "Interrupt: Receiver Full"},
    {"Transmit Buffer 0 Empty", kTcr, 0, "Interrupt: Transmit Buffer 0 Empty"},
    {"Transmit Buffer 1 Empty", kTcr, 1, "Interrupt: Transmit Buffer 1 Empty"},
    {"Transmit Buffer 2 Empty", kTcr, 2, "Interrupt: Transmit Buffer 2 Empty"},
};

// The Casp and Dorn parts have no EXTAL restrictions; the Tebo parts restrict the EXTAL clock.
const YscanVariant kYscanVariants[] = {
    {.name = "Casp and Dorn",
     .partTests = {kTestCasp, kTestDorn},
     .clockSourceBit = 6,
     .extalLabel = "Clock Source: EXTAL_CLK",
     .modeBits = kCaspModeBits,
     .interruptBits = kCaspInterruptBits,
     .interruptChoices = kCaspInterruptChoices},
    {.name = "Tebo",
     .clockSourceBit = 0,
     .extalLabel = "Clock Source: ECTAL_CLK",
     .restrictedExtal = true,
     .modeBits = kTeboModeBits,
     .interruptBits = kTeboInterruptBits},
};

}  // namespace

CpmYSCAN::CpmYSCAN(const ArchitectureEntry& entry, CModuleBase* parent) : CCanModule(entry, parent) {}

std::span<const YscanVariant> CpmYSCAN::Variants() { return kYscanVariants; }

void CpmYSCAN::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<YscanVariant>(kYscanVariants, doc, &YscanVariant::partTests);
}

void CpmYSCAN::DeclareRegisters() {
  std::vector<RegisterDecl> table = {
      {kYCtl0, 0, DW16 | NODEFAULT}, {kYCtl1, 0, DW16 | NODEFAULT}, {kBtr0, 0, DW16 | NODEFAULT},
      {kBtr1, 0, DW16},              {kIdac, 0, DW16},              {kRier, 0, DW16},
      {kTcr, 0, DW16 | NODEFAULT},
  };
  static const char* const kCodes[] = {"CANIDAR0_INIT", "CANIDAR1_INIT", "CANIDAR2_INIT", "CANIDAR3_INIT",
                                       "CANIDAR4_INIT", "CANIDAR5_INIT", "CANIDAR6_INIT", "CANIDAR7_INIT"};
  static const char* const kMasks[] = {"CANIDMR0_INIT", "CANIDMR1_INIT", "CANIDMR2_INIT", "CANIDMR3_INIT",
                                       "CANIDMR4_INIT", "CANIDMR5_INIT", "CANIDMR6_INIT", "CANIDMR7_INIT"};
  for (const char* name : kCodes) table.push_back({name, 0, DW8});
  for (const char* name : kMasks) table.push_back({name, 0, DW8});
  InitRegisters(table.data(), table.size());
}

void CpmYSCAN::DeclarePage(PageDeclaration& d) {
  const YscanVariant& v = *variant_;
  d.Group("Bit Timing");
  d.Radio({.caption = kBusClockKey, .field = Bit(kYCtl1, v.clockSourceBit),
           .label = "Clock Source: IP_Bus Clock", .groupStart = true});
  d.Radio({.caption = "EXTAL clock", .field = Bit(kYCtl1, v.clockSourceBit, true), .label = v.extalLabel,
           .newRow = false});
  d.Display({.caption = kClockKey, .width = 110});
  d.Value({.caption = kPrescalerKey, .field = Shown(kBtr0, 0, 5), .label = "Prescaler Divide Factor",
           .number = {.hex = false}, .spin = {.minimum = 1, .maximum = 64}, .width = 70});
  d.Display({.caption = kSerialKey, .width = 110});
  d.Display({.caption = kQuantumKey, .width = 110});
  d.Value({.caption = kTseg1Key, .field = Shown(kBtr1, 0, 3), .label = "Time Segment 1 (TSEG1)",
           .number = {.hex = false}, .spin = {.minimum = 1, .maximum = 16}, .width = 50});
  d.Value({.caption = kTseg2Key, .field = Shown(kBtr1, 4, 6), .label = "Time Segment 2 (TSEG2)",
           .number = {.hex = false}, .spin = {.minimum = 1, .maximum = 8}, .width = 50});
  d.Value({.caption = kSjwKey, .field = Shown(kBtr0, 6, 7),
           .label = "Re-Synchronization Jump Width (SJW)", .number = {.hex = false},
           .spin = {.minimum = 1, .maximum = 4}, .width = 50});
  d.Radio({.caption = "One sample per bit", .field = Bit(kBtr1, 7, true), .label = "One sample per bit",
           .groupStart = true});
  d.Radio({.caption = "Three samples per bit", .field = Bit(kBtr1, 7), .label = "Three samples per bit",
           .newRow = false});
  d.Display({.caption = kTimingKey, .width = 330});
  DeclareGraph(d);
  DeclareBaudRate(d, {"Prescaler", "TQ/bit", "TSEG1", "TSEG2", "SJW", "Rate", "Error"});

  d.NextBand();
  // Boxes in pairs, one pair a row.
  const auto boxes = [&d](std::span<const YscanBit> bits) {
    for (size_t n = 0; n < bits.size(); ++n)
      d.Box({.caption = bits[n].caption, .field = Bit(bits[n].reg, bits[n].bit),
             .label = bits[n].label ? bits[n].label : "", .comment = kState, .newRow = n % 2 == 0});
  };
  if (!v.modeBits.empty()) {
    d.Group("Operation");
    boxes(v.modeBits);
  }
  d.Group("Interrupts");
  boxes(v.interruptBits);
  for (const YscanChoice& choice : v.interruptChoices)
    d.List({.caption = choice.caption, .field = {.reg = choice.reg, .low = choice.low, .high = choice.low + 1},
            .items = choice.items, .label = choice.label});
  d.InterruptPanels(kInterruptPanelWidth);

  d.Group("Acceptance Filters");
  d.List({.caption = "Acceptance filters:", .field = {.reg = kIdac, .low = 4, .high = 5},
          .items = {"Two 32-bit filters", "Four 16-bit filters", "Eight 8-bit filters", "Filter closed"},
          .label = "Acceptance filters mode"});
  d.Static({.caption = "Mask values: bit=1 don't care, bit=0 must match ID"});
  for (int n = 0; n < 8; ++n) {
    d.Value({.caption = Format("Code %d:", n), .field = {.reg = Format("CANIDAR%d_INIT", n), .low = 0, .high = 7},
             .label = Format("Acceptance code %d", n), .width = 50, .newRow = n % 2 == 0});
    d.Value({.caption = Format("Mask %d:", n), .field = {.reg = Format("CANIDMR%d_INIT", n), .low = 0, .high = 7},
             .label = Format("Acceptance mask %d", n), .width = 50, .newRow = false});
  }
}

bool CpmYSCAN::UsesBusClock() const { return Field(kYCtl1, variant_->clockSourceBit, variant_->clockSourceBit) != 0; }

double CpmYSCAN::ClockMHz() const {
  if (UsesBusClock()) return GetBusClockMHz();
  const ClockSource* clock = FindCapability<ClockSource>(GetContext());
  return clock ? clock->GetCrystalFrequencyMHz() : 0;
}

can::YscanTiming CpmYSCAN::Timing() const {
  return {.prescaler = static_cast<int>(Field(kBtr0, 0, 5)) + 1,
          .sjw = static_cast<int>(Field(kBtr0, 6, 7)) + 1,
          .tseg1 = static_cast<int>(Field(kBtr1, 0, 3)) + 1,
          .tseg2 = static_cast<int>(Field(kBtr1, 4, 6)) + 1,
          .threeSamples = Field(kBtr1, 7, 7) != 0,
          .restrictedExtal = variant_->restrictedExtal && !UsesBusClock()};
}

can::Solution CpmYSCAN::Current() const {
  const can::YscanTiming t = Timing();
  return {.prescaler = t.prescaler, .quanta = t.Quanta(), .segments = {t.tseg1, t.tseg2, 0}, .jump = t.sjw};
}

std::vector<can::Violation> CpmYSCAN::Violations() const { return can::CheckYscanTiming(Timing()); }

std::vector<can::Solution> CpmYSCAN::Solve(const can::BaudRequest& request) const {
  const can::YscanTiming t = Timing();
  return can::SolveYscan({.clockHz = ClockHz(),
                          .rate = request.rate,
                          .typed = request.typed,
                          .threeSamples = t.threeSamples,
                          .currentPrescaler = t.prescaler,
                          .extal = !UsesBusClock(),
                          .restrictedExtal = t.restrictedExtal});
}

void CpmYSCAN::WriteSolution(const can::Solution& row) {
  if (row.prescaler != Timing().prescaler) SetField(kBtr0, 0, 5, static_cast<uint32_t>(row.prescaler - 1));
  SetField(kBtr1, 0, 3, static_cast<uint32_t>(row.segments[0] - 1));
  SetField(kBtr1, 4, 6, static_cast<uint32_t>(row.segments[1] - 1));
  SetField(kBtr0, 6, 7, static_cast<uint32_t>(row.jump - 1));
}

std::vector<std::string> CpmYSCAN::TimingKeys() const { return {kPrescalerKey, kTseg1Key, kTseg2Key, kSjwKey}; }

std::string CpmYSCAN::SegmentText(const can::Solution& t) const {
  return Format("sync 1 | tseg1 %d | tseg2 %d = %d TQ", t.segments[0], t.segments[1], t.quanta);
}

std::vector<BarSegment> CpmYSCAN::BitSegments(const can::Solution& t) const {
  return {{"sync", 1}, {"tseg1", t.segments[0]}, {"tseg2", t.segments[1]}};
}

bool CpmYSCAN::ValidateControls(bool showMessages) {
  if (!CCanModule::ValidateControls(showMessages)) return false;
  if (!IsSelected() || !GetContext()) return true;
  const std::vector<can::Violation> violations = Violations();
  // Without messages nobody can be asked: a rule that could fail the check fails it, so that
  // the save asks.
  if (!showMessages)
    return std::all_of(violations.begin(), violations.end(),
                       [](const can::Violation& violation) { return violation.sumRule; });
  Host& host = GetContext()->GetHost();
  for (const can::Violation& violation : violations) {
    const bool ignore = host.AskYesNo(violation.message + " Ignore?", MessageIcon::Exclamation) == Answer::Yes;
    if (!ignore && !violation.sumRule) return false;
  }
  return true;
}

void RegisterCanModuleKinds(ModuleFactory& factory) {
  factory.Register<CpmZCAN>("ZCAN");
  factory.Register<CpmYSCAN>("YSCAN");
}

}  // namespace tarq

// The CAN controllers: the ZedCAN controller ("ZCAN", also "ZCAN2") and the YSCAN controller
// ("YSCAN"). Both pages centre on bit timing: the module checks the timing fields against the
// controller's rules, shows serial clock, time quantum and baud rate, and solves a typed baud
// rate into every combination of prescaler and segments that hits it and passes the rules.
// The timing arithmetic, the rules, the solver and the mask-ID conversion are plain functions
// (namespace can) so that they can be checked without a page.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

namespace can {

// ---- displays ----

// Serial clock in MHz: clock / prescaler, 0 when the prescaler is 0.
double SerialClockMHz(double clockMHz, int prescaler);
// "%g MHz" from 1 MHz up, "%g kHz" below, "???" for none.
std::string SerialClockText(double serialMHz);
// The time quantum: "%g ns" from 1 MHz up, "%g us" below, "???" for none.
std::string QuantumText(double serialMHz);
// Bits per second: serial clock / quanta per bit, 0 when either is 0.
double BaudRate(double serialMHz, int quantaPerBit);
// "%g MBaud", "%g kBaud", "%g Baud", "???" for 0.
std::string BaudText(double baud);

// ---- the typed baud rate ----

struct BaudRequest {
  double typed = 0;     // the number as typed, with its factor
  double rate = 0;      // the rate the solver looks for; 0: nothing to solve
  std::string problem;  // why a typed rate cannot be used (empty when it can)
};
// Reads "NUMBER [k|M]": a bare number is taken exactly; with 'k'/'K' or 'm'/'M' the rate is
// scaled and snapped to a whole divisor of the clock (clockHz / round(clockHz / rate)). A rate
// above twice the clock, or no clock at all, cannot be snapped: no rate and a problem text.
BaudRequest ParseBaudRate(const std::string& text, uint64_t clockHz);

// ---- rules ----

struct Violation {
  int rule = 0;          // the rule's number in checking order
  std::string message;
  int field = 0;         // the field to focus (ZcanField / YscanField)
  bool sumRule = false;  // the 8..25 quanta rule (only warned about before a save)
};

enum ZcanField { kZPrescaler = 1, kZPropSeg, kZPhaseSeg1, kZPhaseSeg2, kZRjw };
// Shown values (the register fields plus 1).
struct ZcanTiming {
  int prescaler = 1;
  int propSeg = 1;
  int phaseSeg1 = 1;
  int phaseSeg2 = 1;
  int rjw = 1;
  bool threeSamples = false;
  int Quanta() const { return 1 + propSeg + phaseSeg1 + phaseSeg2; }
};
// Every violated rule in checking order; the first one decides.
std::vector<Violation> CheckZcanTiming(const ZcanTiming& t);

enum YscanField { kYPrescaler = 1, kYSjw, kYTseg1, kYTseg2 };
struct YscanTiming {
  int prescaler = 1;
  int sjw = 1;
  int tseg1 = 1;
  int tseg2 = 1;
  bool threeSamples = false;
  // The EXTAL clock on a part whose controller restricts it (not CVX-26/27, not Dorn).
  bool restrictedExtal = false;
  int Quanta() const { return 1 + tseg1 + tseg2; }
};
std::vector<Violation> CheckYscanTiming(const YscanTiming& t);

// ---- the solver ----

struct Solution {
  int prescaler = 0;
  int quanta = 0;
  // ZCAN: PROP_SEG, PHASE_SEG1, PHASE_SEG2, RJW; YSCAN: TSEG1, TSEG2, SJW (segments[2] 0).
  int segments[3] = {0, 0, 0};
  int jump = 0;
  double rate = 0;          // achieved rate: clock / (prescaler x quanta)
  double errorPercent = 0;  // against the typed rate
  bool Exact() const { return errorPercent > -1e-9 && errorPercent < 1e-9; }
};
struct SolverInput {
  uint64_t clockHz = 0;
  double rate = 0;   // the rate looked for
  double typed = 0;  // the rate typed (the error column's reference); 0: `rate`
  bool threeSamples = false;
  int currentPrescaler = 1;
  bool extal = false;            // YSCAN: prescaler 1 is not allowed on the EXTAL clock
  bool restrictedExtal = false;  // YSCAN: the EXTAL restrictions of the rules
};
// In search order; SortSolutions orders them for the list.
std::vector<Solution> SolveZcan(const SolverInput& in);
std::vector<Solution> SolveYscan(const SolverInput& in);
// Exact solutions first, then by prescaler, quanta and the rest of the search order.
void SortSolutions(std::vector<Solution>& rows);
// The list's columns: prescaler, quanta, the segments (`segmentColumns` of them), jump width,
// rate and error. The number a column sorts by (the error by its size); 0 past the last.
double SolutionCell(const Solution& row, int column, int segmentColumns);
// Numeric ascending by one column; rows that tie keep their order.
void SortSolutionsBy(std::vector<Solution>& rows, int column, int segmentColumns);

// ---- acceptance masks of the ZedCAN controller ----

// Bit 3 of the H register marks a 29-bit mask.
inline bool IsExtendedMask(uint16_t high) { return (high & 8u) != 0; }
struct MaskPair {
  uint16_t low = 0;
  uint16_t high = 0;
};
// The ID a pair holds.
uint32_t ReadMaskId(MaskPair pair);
// Encodes an ID in the pair's own format (the flag is kept as it is). False, with the pair
// untouched, when the ID does not fit the format.
bool WriteMaskId(MaskPair& pair, uint32_t id);
uint32_t MaxMaskId(bool extended);

}  // namespace can

// What both controllers share: the timing displays, the typed baud rate and its solution
// list, and the timing rules in the warnings pass (so that they are reported with the page
// closed as well).
class CCanModule : public CDeclaredModule, public MonitorInterface {
 public:
  using CDeclaredModule::CDeclaredModule;

  void UpdateValues() override;
  void CheckWarnings() override;
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;
  // ---- as the run-time monitor's interface: "CAN", or "CAN_2" for the second controller,
  // with every vector of its list ----
  std::string MonitorInterfaceName() const override;
  std::vector<uint32_t> MonitorVectors() const override;
  void OnLinkActivated(Page& page, Control& control, const std::string& href,
                       const std::string& linkText) override;

  // The clock the prescaler divides, in MHz.
  virtual double ClockMHz() const = 0;
  // The fields as a row: prescaler, quanta per bit, segments and jump width (shown values).
  virtual can::Solution Current() const = 0;
  // Every violated timing rule in checking order.
  virtual std::vector<can::Violation> Violations() const = 0;
  // The bit's segments, or the first violated rule.
  std::string TimingText() const;

  // The rows the list shows, in list order, and the solver's message.
  const std::vector<can::Solution>& Solutions() const { return solutions_; }
  const std::string& SolverMessage() const { return solverMessage_; }
  // Solves `text` as if typed into the baud-rate box; with auto-selection as the calculate
  // command does (a chosen row is applied).
  void SolveTyped(const std::string& text, bool autoSelect);
  // Writes a solution row into the timing fields.
  void ApplySolution(const can::Solution& row);
  // Orders the list by a column as a click on its header does (-1: the solver's own order);
  // the chosen row stays chosen, and later solver runs keep the order.
  void SortByColumn(int column);
  int SortColumn() const { return sortColumn_; }
  int SelectedRow() const { return selectedRow_; }
  // The bit as the graph draws it: the boxes in quanta and the sample point after them.
  virtual std::vector<BarSegment> BitSegments(const can::Solution& current) const = 0;
  uint32_t ControlIdOf(const std::string& key) const;

 protected:
  virtual std::vector<can::Solution> Solve(const can::BaudRequest& request) const = 0;
  virtual void WriteSolution(const can::Solution& row) = 0;
  // Keys of the timing fields' controls (refreshed after a row is written).
  virtual std::vector<std::string> TimingKeys() const = 0;
  virtual std::string SegmentText(const can::Solution& current) const = 0;
  virtual int SegmentColumns() const = 0;
  // The baud-rate group: the box, the commands, the solver line and the solution list.
  void DeclareBaudRate(PageDeclaration& d, std::vector<std::string> columns);
  // The bit-timing graph (under the timing fields).
  void DeclareGraph(PageDeclaration& d);
  uint32_t Field(const std::string& reg, int low, int high) const;
  void SetField(const std::string& reg, int low, int high, uint32_t value);
  uint64_t ClockHz() const;

 private:
  void RunSolver(const can::BaudRequest& request, bool autoSelect);
  void UpdateGraph(double serialMHz, const can::Solution& current);
  void ShowSolutions();
  std::string TimingKey() const;

  std::vector<can::Solution> solutions_;
  int selectedRow_ = -1;
  std::string solverMessage_;
  std::optional<std::string> shownTiming_;  // the fields and clock the baud box last showed
  bool applying_ = false;
  uint32_t solutionsId_ = 0;
  uint32_t graphId_ = 0;
  int sortColumn_ = -1;
};

// The ZedCAN controller of the classic, Tebo and later parts (ZCAN, ZCAN2).
class CpmZCAN : public CCanModule {
 public:
  explicit CpmZCAN(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  can::ZcanTiming Timing() const;
  double ClockMHz() const override { return GetBusClockMHz(); }
  can::Solution Current() const override;
  std::vector<can::Violation> Violations() const override;

 private:
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  std::vector<can::Solution> Solve(const can::BaudRequest& request) const override;
  void WriteSolution(const can::Solution& row) override;
  std::vector<std::string> TimingKeys() const override;
  std::string SegmentText(const can::Solution& current) const override;
  int SegmentColumns() const override { return 3; }
  std::vector<BarSegment> BitSegments(const can::Solution& current) const override;
};

// A mode bit or interrupt enable of the YSCAN controller: one box on the page.
struct YscanBit {
  const char* caption = "";
  const char* reg = "";  // CANCTL0_INIT, CANCTL1_INIT, CANRIER_INIT or CANTCR_INIT
  int bit = 0;
  const char* label = nullptr;  // summary label; none: the caption
};
// A two-bit choice of the YSCAN controller (the status-change interrupt levels).
struct YscanChoice {
  const char* caption = "";
  const char* reg = "";
  int low = 0;
  std::vector<std::string> items{};
  const char* label = "";
};

// What tells the YSCAN controllers apart.
struct YscanVariant {
  const char* name = "";
  std::vector<int> partTests{};  // the part tests that select the row; none: any part
  int clockSourceBit = 0;        // CANCTL1 bit: set for the IP bus clock, clear for EXTAL
  const char* extalLabel = "";
  bool restrictedExtal = false;  // the EXTAL clock restricts TSEG2 and the prescaler
  std::span<const YscanBit> modeBits{};       // the "Operation" group
  std::span<const YscanBit> interruptBits{};  // the "Interrupts" group
  std::span<const YscanChoice> interruptChoices{};
};

// The YSCAN controller of the Tebo, Casp and Dorn parts.
class CpmYSCAN : public CCanModule {
 public:
  explicit CpmYSCAN(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const YscanVariant> Variants();
  const YscanVariant& Variant() const { return *variant_; }
  can::YscanTiming Timing() const;
  bool UsesBusClock() const;
  // The IP bus clock, or the crystal the clock module edits for the EXTAL clock.
  double ClockMHz() const override;
  can::Solution Current() const override;
  std::vector<can::Violation> Violations() const override;
  // Before a save: each violated rule asked with " Ignore?"; a "No" fails the validation
  // (the quanta-sum rule never does).
  bool ValidateControls(bool showMessages) override;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;
  std::vector<can::Solution> Solve(const can::BaudRequest& request) const override;
  void WriteSolution(const can::Solution& row) override;
  std::vector<std::string> TimingKeys() const override;
  std::string SegmentText(const can::Solution& current) const override;
  int SegmentColumns() const override { return 2; }
  std::vector<BarSegment> BitSegments(const can::Solution& current) const override;

  const YscanVariant* variant_ = nullptr;
};

void RegisterCanModuleKinds(ModuleFactory& factory);

}  // namespace tarq

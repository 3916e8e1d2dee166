// The crossbar switch: register table, the table of output rows and the input checks.
#include "modules/xbar.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "framework/Warnings.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr int kRowWidth = 560;
constexpr int kNameWidth = 330;

// "XB_IN12" -> 12 for the word "XB_IN"; -1 when the name is not the word and a number.
int NumberAfter(const std::string& name, const std::string& word) {
  if (name.size() <= word.size() || name.compare(0, word.size(), word) != 0) return -1;
  int number = 0;
  for (size_t i = word.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 1000) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

// Whether any PWM sub-module of `indexes` exists, and whether one of them has any of the
// output triggers `triggers` on.
struct PwmTriggers {
  bool exists = false;
  bool on = false;
};
PwmTriggers FindPwmTriggers(ModuleContext* context, std::initializer_list<int> indexes,
                            std::initializer_list<int> triggers) {
  PwmTriggers found;
  for (const PwmTriggerSource* pwm : FindCapabilities<PwmTriggerSource>(context)) {
    bool listed = false;
    for (int index : indexes) listed = listed || pwm->SubmoduleIndex() == index;
    if (!listed) continue;
    found.exists = true;
    for (int trigger : triggers) found.on = found.on || pwm->IsOutputTriggerEnabled(trigger);
  }
  return found;
}

}  // namespace

CpmXBAR::CpmXBAR(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {}

CpmXBAR::~CpmXBAR() {
  // The page's controls point at the rows' bindings: the page goes first.
  DestroyPage();
}

const std::vector<std::string>& CpmXBAR::OutputNames() {
  static const std::vector<std::string> kNames = [] {
    std::vector<std::string> names = {"Package Pin GPIO_C 14", "Package Pin GPIO_C 15"};
    for (int n = 2; n <= 5; ++n) names.push_back(Format("Package Pin GPIO_F %2d", n));
    names.insert(names.end(), {"ADCA Trigger", "ADCB Trigger", "12-bit DAC SYNC_IN"});
    for (char c : {'A', 'B', 'C'}) names.push_back(Format("Comparator %c Window / Sample", c));
    for (int n = 0; n < 4; ++n) names.push_back(Format("PWM submodule %d Alternate Control signal", n));
    for (int n = 0; n < 4; ++n)
      names.push_back(Format("PWM submodule %d External Synchronization signal", n));
    names.push_back("PWM External Clock signal");
    for (int n = 0; n < 4; ++n) names.push_back(Format("PWM module FAULT%d", n));
    names.push_back("PWM External Output Force signal");
    for (int n = 0; n < 4; ++n) names.push_back(Format("Quad Timer B%d Input", n));
    return names;
  }();
  return kNames;
}

const std::vector<std::string>& CpmXBAR::InputNames() {
  static const std::vector<std::string> kNames = {
      "Logic 0",          "Logic 1",         "GPIO_C 2 / GPIO_E 4", "GPIO_C 6 / GPIO_E 5",
      "GPIO_C 9 / GPIO_E 6", "GPIO_C 10 / GPIO_E 7", "GPIO_C 13 / GPIO_F 0", "GPIO_C 1 / GPIO_F 1",
      "(reserved)",       "CMPA_OUT",        "CMPB_OUT",         "CMPC_OUT",
      "QT_B0_OUT",        "QT_B1_OUT",       "QT_B2_OUT",        "QT_B3_OUT",
      "PWM0_TRIG_COMB",   "PWM1_TRIG_COMB",  "PWM2_TRIG_COMB",   "PWM012_TRIG_COMB",
      "PWM3_TRIG0",       "PWM3_TRIG1"};
  return kNames;
}

std::string CpmXBAR::OutputText(int output) {
  return Format("%2d. %s", output, OutputNames()[static_cast<size_t>(output)].c_str());
}

uint32_t CpmXBAR::RowWarningId(int output) {
  return MakeWarningId(kRowIdBase + static_cast<uint32_t>(output), kRowCaption);
}

void CpmXBAR::InitModule(ModuleContext& doc) {
  SetContext(&doc);
  DestroyPage();
  static const std::vector<RegisterDecl> kRegisters = [] {
    // The names must outlive the table: the declarations keep pointers to them.
    static std::vector<std::string> names;
    std::vector<RegisterDecl> table;
    for (int n = 0; n < kRegisterCount; ++n) names.push_back(Format("XBC%d_INIT", n));
    for (const std::string& name : names) table.push_back({name.c_str(), 0x0000, DW16});
    return table;
  }();
  InitRegisters(kRegisters.data(), kRegisters.size());
  CModule::InitModule(doc);

  ClearCommentItems();
  rows_.clear();
  for (int n = 0; n < kOutputCount; ++n) {
    auto row = std::make_unique<PageDeclaration>(*this);
    const uint32_t rowId = kRowIdBase + static_cast<uint32_t>(n);
    row->Clear(kRowGroup);
    row->SetChildPage(rowId);
    row->Group("", kRowGroup);
    // Output n sits in register n / 2: even outputs in bits 0..4, odd ones in bits 8..12.
    const int low = n % 2 == 0 ? 0 : 8;
    row->List({.caption = OutputText(n), .key = Format("Output %d", n), .id = kRowList,
               .captionId = kRowCaption,
               .field = {.reg = Format("XBC%d_INIT", n / 2), .low = low, .high = low + 4},
               .items = InputNames(), .label = Format("Crossbar output %d.", n), .width = 200,
               .captionWidth = kNameWidth});
    row->AddCommentItems();
    rows_.push_back(std::move(row));
  }

  decl_.Clear();
  decl_.Group("Crossbar Outputs");
  decl_.PinWarning();
  SetHasPins(true);
  decl_.Custom([this](Page& page) {
    for (int n = 0; n < kOutputCount; ++n) {
      const uint32_t rowId = kRowIdBase + static_cast<uint32_t>(n);
      page.AddPlaceholder(rowId, kRowWidth).tabStop = false;
      page.NewRow();
      if (Page* child = page.CreateChildPage(rowId)) rows_[static_cast<size_t>(n)]->BuildPage(*child);
    }
  });
}

void CpmXBAR::BuildPage(Page& page) { decl_.BuildPage(page); }

void CpmXBAR::UpdateEnables() {
  decl_.ApplyRules();
  for (const auto& row : rows_) row->ApplyRules();
}

int CpmXBAR::GetOutputField(int output) const {
  if (output < 0 || output >= kOutputCount) return -1;
  const Register& reg = Registers()[static_cast<size_t>(output / 2)];
  return static_cast<int>((reg.value >> (output % 2 == 0 ? 0 : 8)) & 0x1Fu);
}

void CpmXBAR::SetOutputField(int output, uint32_t value) {
  if (output < 0 || output >= kOutputCount) return;
  Register& reg = Registers()[static_cast<size_t>(output / 2)];
  const int shift = output % 2 == 0 ? 0 : 8;
  reg.value = (reg.value & ~(0x1Fu << shift)) | ((value & 0x1Fu) << shift);
}

int CpmXBAR::GetSelectedInput(int output) const {
  const int field = GetOutputField(output);
  return field >= 0 && static_cast<size_t>(field) < InputNames().size() ? field : -1;
}

std::string CpmXBAR::OutputLink(int output) const {
  if (output < 0 || output >= kOutputCount) return {};
  return MakeLink(((kRowIdBase + static_cast<uint32_t>(output)) << 16) | kRowList);
}

bool CpmXBAR::IsSignalUsed(const std::string& signal) const {
  const std::string name = ToUpper(Trim(signal));
  if (const int input = NumberAfter(name, "XB_IN"); input >= 0) {
    for (int n = 0; n < kOutputCount; ++n)
      if (GetOutputField(n) == input) return true;
    return false;
  }
  if (const int output = NumberAfter(name, "XB_OUT"); output >= 0)
    return output < kOutputCount && GetOutputField(output) != 0;
  return false;
}

std::string CpmXBAR::InputCheck(int input) const {
  ModuleContext* context = GetContext();
  if (input >= 9 && input <= 11) {
    const char letter = static_cast<char>('A' + input - 9);
    for (const Comparator* comparator : FindCapabilities<Comparator>(context))
      if (comparator->ComparatorIndex() == input - 9 && !comparator->IsEnabled())
        return Format("HSCMP_%c module as input, but HSCMP_%c is not enabled", letter, letter);
    return {};
  }
  if (input >= 12 && input <= 15) {
    const std::string name = Format("QT_B%d", input - 12);
    for (const QuadTimerChannel* timer : FindCapabilities<QuadTimerChannel>(context))
      if (timer->TimerChannelName() == name && timer->IsStopped())
        return Format("%s module as input, but %s is in stop mode", name.c_str(), name.c_str());
    return {};
  }
  if (input >= 16 && input <= 18) {
    const int pwm = input - 16;
    const PwmTriggers found = FindPwmTriggers(context, {pwm}, {0, 1, 2, 3, 4, 5});
    if (found.exists && !found.on)
      return Format("PWM%d module trigger as input, but PWM_%d triggers are not selected", pwm, pwm);
    return {};
  }
  if (input == 19) {
    const PwmTriggers found = FindPwmTriggers(context, {0, 1, 2}, {0, 1, 2, 3, 4, 5});
    if (found.exists && !found.on)
      return "PWM0, PWM1 or PWM2 modules trigger as input, but PWM triggers are not selected";
    return {};
  }
  if (input == 20 || input == 21) {
    const int trigger = input - 20;
    const PwmTriggers found =
        trigger == 0 ? FindPwmTriggers(context, {3}, {0, 2, 4}) : FindPwmTriggers(context, {3}, {1, 3, 5});
    if (found.exists && !found.on)
      return Format("PWM3 module trigger%d as input, but PWM_3 trigger%d is not selected", trigger,
                    trigger);
    return {};
  }
  return {};
}

void CpmXBAR::CheckWarnings() {
  CModule::CheckWarnings();
  for (int n = 0; n < kOutputCount; ++n) {
    const std::string check = InputCheck(GetOutputField(n));
    const std::string name = OutputText(n).substr(4);
    SetWarning(RowWarningId(n), !check.empty(), OutputText(n),
               check.empty() ? std::string()
                             : Format("Cross Bar output \"%s\" has selected %s", name.c_str(),
                                      check.c_str()));
  }
}

void RegisterXbarModuleKinds(ModuleFactory& factory) { factory.Register<CpmXBAR>("XBAR"); }

}  // namespace tarq

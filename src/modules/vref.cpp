// The 5-bit voltage references.
#include "modules/vref.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"

const RegisterDecl kVrefRegisters[] = {{"DACCTRL_INIT", 0x00, DW16}};

constexpr const char* kVoltsKey = "Output Voltage:";
constexpr const char* kPercentKey = "Output Level (% of VDDA):";

// One step of the 5-bit level: 3.3 V / 32. Level 31 gives the full 3.3 V.
constexpr double kStepVolts = 0.103125;
constexpr double kStepPercent = 3.125;

}  // namespace

CpmVREF_DAC::CpmVREF_DAC(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmVREF_DAC::ChooseVariant(ModuleContext& doc) {
  (void)doc;
  // "VREF_A" -> 0, "VREF_C" -> 2.
  const std::string& name = GetPrefix();
  const bool suffix = name.size() >= 2 && name[name.size() - 2] == '_';
  const unsigned char last = suffix ? static_cast<unsigned char>(name.back()) : 'A';
  index_ = std::isupper(last) ? last - 'A' : 0;
}

void CpmVREF_DAC::DeclareRegisters() { InitRegisters(kVrefRegisters, std::size(kVrefRegisters)); }

void CpmVREF_DAC::DeclarePage(PageDeclaration& d) {
  std::vector<std::string> levels;
  for (int n = 0; n < 32; ++n) levels.push_back(Format("%d", n));
  d.Group("Voltage Reference");
  d.Box({.caption = "Enable VREF_DAC",
         .field = {.reg = "DACCTRL_INIT", .low = 7},
         .comment = kState});
  d.List({.caption = "Output Level:",
          .field = {.reg = "DACCTRL_INIT", .low = 0, .high = 4},
          .items = levels,
          .width = 80});
  d.Display({.caption = kVoltsKey, .width = 100});
  d.Display({.caption = kPercentKey, .width = 100});
}

uint32_t CpmVREF_DAC::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

bool CpmVREF_DAC::Switched() const { return (Registers()[0].value >> 7) & 1u; }

bool CpmVREF_DAC::IsReferenceEnabled() const { return IsSelected() && Switched(); }

double CpmVREF_DAC::OutputVolts() const {
  return Switched() ? ((Registers()[0].value & 0x1Fu) + 1) * kStepVolts : 0;
}

double CpmVREF_DAC::OutputPercent() const {
  return Switched() ? ((Registers()[0].value & 0x1Fu) + 1) * kStepPercent : 0;
}

void CpmVREF_DAC::UpdateValues() {
  const bool on = Switched();
  ShowControlText(ControlIdOf(kVoltsKey), on ? Format("%.3f V", OutputVolts()) : "OFF");
  ShowControlText(ControlIdOf(kPercentKey), on ? Format("%.1f %%", OutputPercent()) : "OFF");
}

void RegisterVrefModuleKinds(ModuleFactory& factory) { factory.Register<CpmVREF_DAC>("VREF_DAC"); }

}  // namespace tarq

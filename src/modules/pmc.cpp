// The power management controller.
#include "modules/pmc.h"

#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

enum PmcRegister : size_t { kScr = 0, kCr2 = 1, kLvdFactory = 2, kOscFactory = 3 };

const RegisterDecl kPmcRegisters[] = {
    {"-PMC_SCR_INIT", 0x0208, DW16},
    {"-PMC_CR2_INIT", 0x00FF, DW16},
    {"USE_FACTORY_LVD_TRIM", 0, DW8 | DECVALUE},
    {"USE_FACTORY_1KHZ_TRIM", 0, DW8 | DECVALUE},
};

constexpr const char* kScrName = "-PMC_SCR_INIT";
constexpr const char* kCr2Name = "-PMC_CR2_INIT";

// The regulator trim steps as the field holds them: -1..-16, -16 again (the step the
// hardware repeats), 14 down to 1, and the erased value.
std::vector<std::string> RegulatorTrimItems() {
  std::vector<std::string> items;
  for (int n = 1; n <= 16; ++n) items.push_back(Format("-%d", n));
  items.push_back("-16");
  for (int n = 14; n >= 1; --n) items.push_back(Format("%d", n));
  items.push_back("Untrimmed (Erased IFR)");
  return items;
}

}  // namespace

CpmPMC::CpmPMC(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

void CpmPMC::DeclareRegisters() { InitRegisters(kPmcRegisters, std::size(kPmcRegisters)); }

bool CpmPMC::Bit(size_t reg, int bit) const { return (Registers()[reg].value >> bit) & 1u; }

bool CpmPMC::IsLowVoltageDetectEnabled() const { return Bit(kScr, 3); }
bool CpmPMC::IsLowPowerOscillatorEnabled() const { return Bit(kCr2, 8); }

void CpmPMC::DeclarePage(PageDeclaration& d) {
  auto lvd = [this] { return IsLowVoltageDetectEnabled(); };
  auto lvdBox = [&](const char* caption, int bit) {
    d.Box({.caption = caption, .field = {.reg = kScrName, .low = bit}, .comment = kState,
           .enabled = lvd});
  };

  d.Group("Low-Voltage Detect");
  d.Box({.caption = "Enable LVD", .field = {.reg = kScrName, .low = 3},
         .label = "Low-Voltage Detect", .comment = kState});
  d.List({.caption = "Level:", .field = {.reg = kScrName, .low = 2},
          .items = {"LVDL (1.86 V)", "LVDH (2.33 V) "}, .label = "Low-Voltage Detect",
          .width = 160, .enableWhole = true, .enabled = lvd});
  lvdBox("Out of Regulation interrupt", 11);
  lvdBox("LVD Interrupt", 10);
  lvdBox("Enable LVD reset", 9);
  lvdBox("Enable Partial Power Down", 8);
  lvdBox("Enable Wake-Up on Interrupt", 5);
  lvdBox("Enable Bandgap buffer", 4);
  d.List({.caption = "Protection:", .field = {.reg = kScrName, .low = 0, .high = 1},
          .items = {"Write Protection OFF", "Write Protection ON", "Protection Permanently OFF",
                    "Protection Permanently ON"},
          .label = "Write protection for SCR and TRIM registers", .width = 200});

  d.Group("Voltage Regulator");
  d.List({.caption = "Trim (trim_increment):", .field = {.reg = kCr2Name, .low = 0, .high = 4},
          .items = RegulatorTrimItems(), .label = "Regulator trim bits", .width = 160,
          .enableWhole = true, .enabled = [this] {
            return IsLowVoltageDetectEnabled() && !Bit(kLvdFactory, 0);
          }});
  d.Box({.caption = "Use Factory Trim Value", .key = kLvdFactoryKey,
         .field = {.reg = "USE_FACTORY_LVD_TRIM", .low = 0}, .label = "Use Factory LVD Trim Value",
         .comment = kState});

  d.NextBand();
  d.Group("1 kHz Oscillator");
  d.Box({.caption = "Enable Oscilator", .field = {.reg = kCr2Name, .low = 8},
         .label = "PMC 1KHz Oscillator", .comment = kState});
  d.List({.caption = "Trim:", .key = kOscTrimKey, .field = {.reg = kCr2Name, .low = 5, .high = 7},
          .items = {"-8.25%", "-16.5%", "-24.75%", "-33%", "+24.75%", "+16.5%", "+8.25%",
                    "Untrimmed, erased device"},
          .label = "PMC 1 KHz oscilator trim", .width = 160, .enableWhole = true,
          .enabled = [this] { return IsLowPowerOscillatorEnabled() && !Bit(kOscFactory, 0); }});
  d.Box({.caption = "Use Factory Trim Value", .key = kOscFactoryKey,
         .field = {.reg = "USE_FACTORY_1KHZ_TRIM", .low = 0},
         .label = "Use Factory 1 kHz Trim Value", .comment = kState,
         .enabled = [this] { return IsLowPowerOscillatorEnabled(); }});

  // Parts without the low-voltage vector have no interrupt area.
  if (!InterruptUsers().empty()) {
    d.NextBand();
    d.Group("LVD Interrupt Service Routine");
    d.Link({.key = kNoteKey, .shown = false});
    d.InterruptPanels(kInterruptPanelWidth);
  }
}

uint32_t CpmPMC::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

void CpmPMC::UpdateEnables() {
  decl_.ApplyRules();
  Page* page = GetPage();
  if (!page || InterruptUsers().empty()) return;
  // The interrupt area only while the low-voltage detect is on.
  const bool lvd = IsLowVoltageDetectEnabled();
  for (const InterruptUser& user : InterruptUsers()) {
    page->SetShown(kInterruptPanelBase + static_cast<uint32_t>(user.index), lvd);
    page->SetEnabled(kInterruptPanelBase + static_cast<uint32_t>(user.index), lvd);
  }
  const uint32_t id = ControlIdOf(kNoteKey);
  const std::string note = lvd ? UserSlotNote(*this, 0) : std::string();
  if (!note.empty()) page->SetText(id, note);
  page->SetShown(id, !note.empty());
}

void RegisterPmcModuleKinds(ModuleFactory& factory) { factory.Register<CpmPMC>("PMC"); }

}  // namespace tarq

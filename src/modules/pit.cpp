// The programmable interval timers.
#include "modules/pit.h"

#include <cctype>

#include "framework/TextUtil.h"
#include "modules/intc.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

enum PitRegister : size_t { kCtrl = 0, kMod = 1 };

const RegisterDecl kPitRegisters[] = {
    {"CTRL_INIT", 0x0000, DW16 | NODEFAULT},
    {"MOD_INIT", 0x0000, DW16},
};

constexpr const char* kSlaveKey = "PIT 0 Slave Mode";
constexpr const char* kRateKey = "Interrupt Rate:";
constexpr const char* kRollOverKey = "Roll Over Time:";
constexpr const char* kNoteKey = "user slot note";

const PitVariant kVariants[] = {
    {.name = "Brel", .partTest = kTestBrel, .interruptArea = true},
    {.name = "Casp"},
};

}  // namespace

CpmPIT::CpmPIT(const ArchitectureEntry& entry, CModuleBase* parent)
    : CDeclaredModule(entry, parent) {}

std::span<const PitVariant> CpmPIT::Variants() { return kVariants; }

void CpmPIT::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<PitVariant>(kVariants, doc, &PitVariant::partTest);
  const std::string& name = GetPrefix();
  instance_ = !name.empty() && std::isdigit(static_cast<unsigned char>(name.back()))
                  ? name.back() - '0'
                  : 0;
}

void CpmPIT::DeclareRegisters() { InitRegisters(kPitRegisters, std::size(kPitRegisters)); }

void CpmPIT::DeclarePage(PageDeclaration& d) {
  std::vector<std::string> prescalers;
  for (int n = 0; n < 16; ++n) prescalers.push_back(Format("/ %u", 1u << n));

  d.Group("Interval Timer");
  d.Box({.caption = "Counter Enable", .field = {.reg = "CTRL_INIT", .low = 0}, .comment = kState,
         .enabled = [this] { return !SlaveMode(); }});
  d.Box({.caption = "Interrupt Enable", .field = {.reg = "CTRL_INIT", .low = 1},
         .comment = kState});
  // Timers after the first can count in step with timer 0 instead of on their own.
  d.Box({.caption = kSlaveKey, .field = {.reg = "CTRL_INIT", .low = 15}, .comment = kState,
         .shown = instance_ != 0});
  d.List({.caption = "Clock Prescaler:", .field = {.reg = "CTRL_INIT", .low = 3, .high = 6},
          .items = prescalers, .width = 100});
  d.Value({.caption = "Modulo Value:", .field = {.reg = "MOD_INIT", .low = 0, .high = 15},
           .number = {.hex = false, .zeroAllowed = true},
           .spin = {.minimum = 0, .maximum = 0xFFFF}, .width = 100});
  d.Group("Timing");
  d.Display({.caption = kRateKey, .width = 120});
  d.Display({.caption = kRollOverKey, .width = 120});
  if (variant_->interruptArea) {
    d.NextBand();
    d.Group("Interrupt");
    d.Link({.key = kNoteKey, .shown = false});
    d.InterruptPanels(kInterruptPanelWidth);
  }
}

uint32_t CpmPIT::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

bool CpmPIT::SlaveMode() const {
  return instance_ != 0 && (Registers()[kCtrl].value & 0x8000u) != 0;
}

double CpmPIT::InterruptRateHz() const {
  const double bus = GetBusClockMHz() * 1e6;
  const uint32_t ctrl = Registers()[kCtrl].value;
  const double divider =
      (static_cast<double>(Registers()[kMod].value & 0xFFFFu) + 1) * (1u << ((ctrl >> 3) & 15u));
  return bus > 0 ? bus / divider : 0;
}

void CpmPIT::UpdateValues() {
  const double rate = InterruptRateHz();
  ShowFrequency(ControlIdOf(kRateKey), rate, true, "??");
  ShowTime(ControlIdOf(kRollOverKey), rate > 0 ? 1 / rate : 0, true, "??");
}

void CpmPIT::UpdateEnables() {
  decl_.ApplyRules();
  Page* page = GetPage();
  if (!page || !variant_->interruptArea) return;
  const uint32_t id = ControlIdOf(kNoteKey);
  const std::string note = UserSlotNote(*this, 0);
  if (!note.empty()) page->SetText(id, note);
  page->SetShown(id, !note.empty());
}

void RegisterPitModuleKinds(ModuleFactory& factory) { factory.Register<CpmPIT>("PIT"); }

}  // namespace tarq

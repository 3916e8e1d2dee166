// The quadrature decoder of the classic, Fenn and later groups.
#include "modules/dec.h"

#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;  // boxes describe themselves as "Enabled" / "Disabled"
constexpr int kInterruptPanelWidth = 420;

constexpr const char* kCr = "DECCR_INIT";
constexpr const char* kWtr = "WTR_INIT";
constexpr const char* kFir = "FIR_INIT";
constexpr const char* kUir = "UIR_INIT";
constexpr const char* kLir = "LIR_INIT";
// Carries the 32-bit initialisation value on the page; never written itself.
constexpr const char* kInit32 = "IR32";

constexpr const char* kTimeoutKey = "Timeout:";
constexpr const char* kDelayKey = "Delay:";
constexpr const char* kWatchdogKey = "Watchdog enable";

const RegisterDecl kRegisters[] = {
    {kCr, 0x0000, DW16 | NODEFAULT},
    {kWtr, 0x0000, DW16},
    {kFir, 0x0000, DW16},
    {kUir, 0x0000, DW16},
    {kLir, 0x0000, DW16},
    {kInit32, 0x0000, DW32 | DUMMYREG | NOSHOWLIST},
};

FieldSpec Bit(const char* reg, int bit) { return {.reg = reg, .low = bit}; }

}  // namespace

CpmDEC::CpmDEC(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

void CpmDEC::DeclareRegisters() { InitRegisters(kRegisters, std::size(kRegisters)); }

void CpmDEC::DeclarePage(PageDeclaration& d) {
  // Control register: mode 1..0, watchdog 2, home interrupt 3, direction 5, bypass 6,
  // watchdog interrupt 7, home initialises 9, home edge 10, index edge 12, index
  // initialises 13, index interrupt 14.
  d.Group("Operation");
  d.List({.caption = "Mode (Sources of timer 0,1,2,3):",
          .field = {.reg = kCr, .low = 0, .high = 1},
          .items = {"Mode 0: PhA,PhB,Index,Home", "Mode 1: filtered M0",
                    "Mode 2: filtered PhA,PhA,PhB,PhB"},
          .width = 220});
  d.List({.caption = "Count direction:", .field = Bit(kCr, 5), .items = {"Normal", "Reverse"},
          .width = 140});
  d.Box({.caption = "Bypass Quadrature Decoder logic", .field = Bit(kCr, 6), .comment = kState});
  d.Box({.caption = "Home pulse to initialize Position Counter", .field = Bit(kCr, 9),
         .comment = kState});
  d.List({.caption = "Home pulse edge:", .field = Bit(kCr, 10),
          .items = {"By positive edge", "By negative edge"}, .width = 140});
  d.Box({.caption = "Index pulse to initialize Position Counter", .field = Bit(kCr, 13),
         .comment = kState});
  d.List({.caption = "Index pulse edge:", .field = Bit(kCr, 12),
          .items = {"By positive edge", "By negative edge"}, .width = 140});
  d.Value({.caption = "Initialization value (32bit):", .field = {.reg = kInit32, .low = 0, .high = 31},
           .label = "Init value", .number = {.hex = true, .zeroAllowed = true}, .width = 100});

  d.Group("Watchdog and Filter");
  d.Box({.caption = kWatchdogKey, .field = Bit(kCr, 2), .label = "Watchdog Operation",
         .comment = kState});
  d.Value({.caption = "Watchdog value:", .field = {.reg = kWtr, .low = 0, .high = 15},
           .number = {.hex = false, .zeroAllowed = true}, .width = 70});
  d.Display({.caption = kTimeoutKey, .width = 100});
  d.Value({.caption = "Filter interval value:", .field = {.reg = kFir, .low = 0, .high = 7},
           .number = {.hex = false, .zeroAllowed = true}, .spin = {.minimum = 0, .maximum = 255},
           .width = 70});
  d.Display({.caption = kDelayKey, .width = 100});

  d.NextBand();
  d.Group("Interrupts");
  d.Box({.caption = "Home pulse", .field = Bit(kCr, 3), .label = "Interrupts:", .comment = kState});
  d.Box({.caption = "Watchdog timeout", .field = Bit(kCr, 7), .label = "Interrupts:",
         .comment = kState});
  d.Box({.caption = "Index pulse", .field = Bit(kCr, 14), .label = "Interrupts:", .comment = kState});
  d.InterruptPanels(kInterruptPanelWidth);
  d.PinWarning();
  SetHasPins(true);

  // The watchdog value matters only while the watchdog runs.
  d.EnableIf("Watchdog value:", [this] { return (Value(kCr) >> 2 & 1u) != 0; });
}

uint32_t CpmDEC::Value(const char* reg) const {
  const Register* r = const_cast<CpmDEC*>(this)->FindOwnRegister(reg);
  return r ? r->value : 0;
}

uint32_t CpmDEC::ControlIdOf(const std::string& key) const {
  const DeclaredControl* control = decl_.Find(key);
  return control ? control->id : 0;
}

int CpmDEC::LoadDefines(HeaderFile& header) {
  const int found = CDeclaredModule::LoadDefines(header);
  // The halves are what the header holds; the 32-bit value follows them.
  Register* init = FindOwnRegister(kInit32);
  if (init) {
    init->value = (Value(kUir) & 0xFFFFu) << 16 | (Value(kLir) & 0xFFFFu);
    init->savedValue = init->value;
    syncedInit_ = init->value;
  }
  return found;
}

void CpmDEC::SyncInitValue() {
  Register* init = FindOwnRegister(kInit32);
  Register* upper = FindOwnRegister(kUir);
  Register* lower = FindOwnRegister(kLir);
  if (!init || !upper || !lower) return;
  if (init->value != syncedInit_) {
    upper->value = init->value >> 16;
    lower->value = init->value & 0xFFFFu;
  } else {
    init->value = (upper->value & 0xFFFFu) << 16 | (lower->value & 0xFFFFu);
  }
  syncedInit_ = init->value;
}

bool CpmDEC::WriteDefines(std::string& text) {
  SyncInitValue();
  return CDeclaredModule::WriteDefines(text);
}

double CpmDEC::TimeoutSeconds() const {
  const double hz = static_cast<double>(GetBusClockMHz()) * 1e6;
  if (!(hz > 0)) return 0;
  return ((Value(kWtr) & 0xFFFFu) + 1) / hz;
}

double CpmDEC::FilterDelaySeconds() const {
  const double hz = static_cast<double>(GetBusClockMHz()) * 1e6;
  if (!(hz > 0)) return 0;
  return ((Value(kFir) & 0xFFu) * 4 + 5) / hz;
}

void CpmDEC::UpdateValues() {
  SyncInitValue();
  ShowTime(ControlIdOf(kTimeoutKey), TimeoutSeconds());
  ShowTime(ControlIdOf(kDelayKey), FilterDelaySeconds());
}

void RegisterDecModuleKinds(ModuleFactory& factory) { factory.Register<CpmDEC>("DEC"); }

}  // namespace tarq

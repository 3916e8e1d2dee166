// The Scopex run-time monitor options of every part.
#include "modules/scopx.h"

#include <algorithm>
#include <set>

#include "framework/Capabilities.h"
#include "project/KnownParts.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;
constexpr uint32_t kOption = USERDEFINE | DECVALUE | DW16;
constexpr uint32_t kChoice = kOption | NODEFAULT;

constexpr const char* kInterfaceKey = "Communication Interface:";
constexpr const char* kShortKey = "Short Interrupts";
constexpr const char* kLongKey = "Long Interrupts";

const ScopxVariant kVariants[] = {
    {.name = "classic", .partTest = kTestClassic, .markMissing = false, .farBuffer = false},
    {.name = "Brel", .partTest = kTestBrel, .debugPortCheck = true},
    {.name = "later"},
};

const char* const kInterfaceNames[] = {"Not specified", "SCI_0", "SCI_1", "JTAG",
                                       "JTAG  (with TDF workaround)", "CAN", "CAN_2"};

FieldSpec Flag0(const char* reg) { return {.reg = reg, .low = 0}; }

}  // namespace

CpmSCOPX::CpmSCOPX(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

std::span<const ScopxVariant> CpmSCOPX::Variants() { return kVariants; }

void CpmSCOPX::ChooseVariant(ModuleContext& doc) {
  variant_ = &ChooseRow<ScopxVariant>(kVariants, doc, &ScopxVariant::partTest);
  partnersKnown_ = false;
  BuildItems();
}

void CpmSCOPX::DeclareRegisters() {
  const uint32_t farFlags = kOption | (variant_->farBuffer ? 0 : DUMMYREG | NOSHOWLIST);
  const RegisterDecl table[] = {
      {"COMM_INTERFACE", 0, kChoice},
      {"LONG_INTR", 0, kChoice},
      {"SHORT_INTR", 0, kChoice},
      {"POLL_DRIVEN", 1, kChoice},
      {"COMM_BUFFER_SIZE", 0, kOption},
      {"COMM_RQUEUE_SIZE", 0x20, kOption},
      {"USE_READMEM", 1, kOption},
      {"USE_WRITEMEM", 1, kOption},
      {"USE_WRITEMEMMASK", 1, kOption},
      {"USE_READVAR", 0, kOption},
      {"USE_WRITEVAR", 0, kOption},
      {"USE_WRITEVARMASK", 0, kOption},
      {"USE_APPCMD", 0, kOption},
      {"APPCMD_BUFF_SIZE", 0x10, kOption},
      {"MAX_APPCMD_CALLS", 0, kOption},
      {"USE_SCOPE", 0, kOption},
      {"MAX_SCOPE_VARS", 8, kOption},
      {"USE_RECORDER", 0, kOption},
      {"MAX_REC_VARS", 8, kOption},
      {"REC_OWNBUFF", 0, kOption},
      {"REC_BUFF_SIZE", 0x100, kOption},
      {"REC_FARBUFF", 0, farFlags},
      // Value and unit in one word: written in hexadecimal.
      {"REC_TIMEBASE", 0, USERDEFINE | DW16},
      {"USE_TSA", 0, kOption},
      {"USE_TSA_INROM", 0, kOption},
      {"USE_TSA_SAFETY", 0, kOption},
  };
  InitRegisters(table, std::size(table));
}

// The interfaces each part offers: the serial ports and CAN controllers the project has, the
// debug port and the first serial port everywhere. Parts outside the classic group list the others as not available.
void CpmSCOPX::BuildItems() {
  items_.clear();
  values_.clear();
  // Until every module exists every interface is listed as it stands.
  std::set<std::string> present = {"SCI_0", "SCI_1", "CAN", "CAN_2"};
  if (partnersKnown_) {
    present.clear();
    for (const MonitorInterface* port : FindCapabilities<MonitorInterface>(GetContext()))
      present.insert(port->MonitorInterfaceName());
  }
  for (uint32_t value = kNone; value <= kCan2; ++value) {
    std::string text = kInterfaceNames[value];
    const bool needsModule = value == kSci1 || value == kCan || value == kCan2;
    if (needsModule && !present.contains(text)) {
      if (!variant_->markMissing) continue;
      text += kNotAvailable;
    }
    items_.push_back(text);
    values_.push_back(value);
  }
}

void CpmSCOPX::OnModulesReady() {
  CDeclaredModule::OnModulesReady();
  partnersKnown_ = true;
  BuildItems();
  decl_.Clear();
  DeclarePage(decl_);
  ClearCommentItems();
  decl_.AddCommentItems();
}

void CpmSCOPX::DeclarePage(PageDeclaration& d) {
  const auto on = [this](const char* reg) { return [this, reg] { return Flag(reg); }; };

  d.Group("Communication");
  // A stored interface the list does not offer stays as it is.
  d.List({.caption = kInterfaceKey, .field = {.reg = "COMM_INTERFACE", .low = 0, .high = 3, .values = values_},
          .items = items_, .width = 200,
          .makeBinding = [this](RegisterRef reg, const std::string& label) {
            auto list = std::make_unique<CSetKeptMode>();
            list->Bind(reg, 0, 3, 0, label, values_);
            return std::unique_ptr<CSetCtrl>(std::move(list));
          }});
  d.Radio({.caption = kLongKey, .field = Flag0("LONG_INTR"), .comment = kState, .groupStart = true});
  d.Radio({.caption = kShortKey, .field = Flag0("SHORT_INTR"), .comment = kState, .newRow = false});
  d.Radio({.caption = "Polling Mode", .field = Flag0("POLL_DRIVEN"), .comment = kState, .newRow = false});
  d.Value({.caption = "Communication I/O Buffer Size:", .field = {.reg = "COMM_BUFFER_SIZE", .low = 0, .high = 15},
           .number = {.hex = false, .minimum = 6, .maximum = 255, .zeroAllowed = true},
           .unit = "(0 for automatic)", .width = 60});
  d.Value({.caption = "Short Int. Receive Queue Size:", .field = {.reg = "COMM_RQUEUE_SIZE", .low = 0, .high = 15},
           .number = {.hex = false, .minimum = 2, .maximum = 255}, .spin = {.minimum = 2, .maximum = 255},
           .width = 60, .enableWhole = true, .enabled = on("SHORT_INTR")});

  d.Group("Memory and Variable Commands");
  d.Box({.caption = "Enable \"Read Memory\" Command", .field = Flag0("USE_READMEM"), .comment = kState});
  d.Box({.caption = "Enable \"Write Memory\" Command", .field = Flag0("USE_WRITEMEM"), .comment = kState});
  d.Box({.caption = "Enable \"Write Memory with Mask\" Command", .field = Flag0("USE_WRITEMEMMASK"),
         .comment = kState});
  d.Box({.caption = "Enable \"Read Variable\" Commands", .field = Flag0("USE_READVAR"), .comment = kState});
  d.Box({.caption = "Enable \"Write Variable\" Commands", .field = Flag0("USE_WRITEVAR"), .comment = kState});
  d.Box({.caption = "Enable \"Write Variable with Mask\" Commands", .field = Flag0("USE_WRITEVARMASK"),
         .comment = kState});

  d.Group("Application Commands");
  d.Box({.caption = "Enable Support for Application Commands", .field = Flag0("USE_APPCMD"), .comment = kState});
  d.Value({.caption = "App. Command Data I/O Buffer Size:", .field = {.reg = "APPCMD_BUFF_SIZE", .low = 0, .high = 15},
           .number = {.hex = false, .maximum = 255, .zeroAllowed = true}, .spin = {.minimum = 0, .maximum = 255},
           .width = 60, .enableWhole = true, .enabled = on("USE_APPCMD")});
  d.Value({.caption = "Max. Number of Callback Handlers", .field = {.reg = "MAX_APPCMD_CALLS", .low = 0, .high = 15},
           .number = {.hex = false, .maximum = 255, .zeroAllowed = true}, .spin = {.minimum = 0, .maximum = 255},
           .width = 60, .enableWhole = true, .enabled = on("USE_APPCMD")});

  d.NextBand();
  d.Group("Scope");
  d.Box({.caption = "Enable Scope Feature", .field = Flag0("USE_SCOPE"), .comment = kState});
  d.Value({.caption = "Max. Number of Scope Variables:", .field = {.reg = "MAX_SCOPE_VARS", .low = 0, .high = 15},
           .number = {.hex = false, .minimum = 2, .maximum = 8}, .spin = {.minimum = 2, .maximum = 8},
           .width = 60, .enableWhole = true, .enabled = on("USE_SCOPE")});

  d.Group("Recorder");
  d.Box({.caption = "Enable Recorder Feature", .field = Flag0("USE_RECORDER"), .comment = kState});
  d.Value({.caption = "Max. Number of Recorder Variables:", .field = {.reg = "MAX_REC_VARS", .low = 0, .high = 15},
           .number = {.hex = false, .minimum = 2, .maximum = 8}, .spin = {.minimum = 2, .maximum = 8},
           .width = 60, .enableWhole = true, .enabled = on("USE_RECORDER")});
  d.Radio({.caption = "Recorder Buffer Allocated by User", .field = Flag0("REC_OWNBUFF"), .comment = kState,
           .groupStart = true, .enabled = on("USE_RECORDER")});
  d.Radio({.caption = "Buffer Allocated Internally by Driver", .field = {.reg = "REC_OWNBUFF", .low = 0, .inverted = true},
           .comment = kState, .enabled = on("USE_RECORDER")});
  // The driver sizes the buffer it allocates; the user's own buffer brings its size along.
  d.Value({.caption = "Recorder Buffer Size (bytes):", .field = {.reg = "REC_BUFF_SIZE", .low = 0, .high = 15},
           .number = {.hex = false, .minimum = 8, .maximum = 0xFFFF}, .spin = {.minimum = 8, .maximum = 0xFFFF, .step = 100},
           .width = 70, .enableWhole = true,
           .enabled = [this] { return Flag("USE_RECORDER") && !Flag("REC_OWNBUFF"); }});
  if (variant_->farBuffer)
    d.Box({.caption = "Put Buffer in Far External Memory (after 0x10000)", .field = Flag0("REC_FARBUFF"),
           .comment = kState, .enabled = on("USE_RECORDER")});
  d.Value({.caption = "Recorder Timebase Information:", .field = {.reg = "REC_TIMEBASE", .low = 0, .high = 13},
           .number = {.hex = false, .zeroAllowed = true}, .width = 60, .enableWhole = true,
           .enabled = on("USE_RECORDER")});
  d.List({.caption = "Recorder timebase unit", .field = {.reg = "REC_TIMEBASE", .low = 14, .high = 15},
          .items = {"s", "ms", "us", "ns"}, .width = 50, .newRow = false, .enableWhole = true,
          .enabled = on("USE_RECORDER")});

  d.Group("Target-Side Addressing (TSA)");
  d.Box({.caption = "Enable TSA", .field = Flag0("USE_TSA"), .comment = kState});
  d.Box({.caption = "Declare TSA Descriptors as \"const\" (put to data flash)", .field = Flag0("USE_TSA_INROM"),
         .comment = kState, .enabled = on("USE_TSA")});
  d.Box({.caption = "Enable TSA \"Safety\" (access to TSA-described memory only)", .field = Flag0("USE_TSA_SAFETY"),
         .comment = kState, .enabled = on("USE_TSA")});
}

bool CpmSCOPX::Flag(const char* reg) const {
  const Register* r = const_cast<CpmSCOPX*>(this)->FindOwnRegister(reg);
  return r && (r->value & 1u) != 0;
}

uint32_t CpmSCOPX::InterfaceValue() const {
  const Register* r = const_cast<CpmSCOPX*>(this)->FindOwnRegister("COMM_INTERFACE");
  return r ? r->value & 0xFu : 0;
}

bool CpmSCOPX::InterruptDriven() const { return Flag("LONG_INTR") || Flag("SHORT_INTR"); }

uint32_t CpmSCOPX::ControlIdOf(const std::string& key, bool caption) const {
  const DeclaredControl* control = decl_.Find(key);
  if (!control) return 0;
  return caption && control->captionId != 0 ? control->captionId : control->id;
}

std::vector<uint32_t> CpmSCOPX::InterfaceVectors(const std::string& name, bool* present) const {
  for (const MonitorInterface* port : FindCapabilities<MonitorInterface>(GetContext())) {
    if (port->MonitorInterfaceName() != name) continue;
    if (present) *present = true;
    return port->MonitorVectors();
  }
  if (present) *present = false;
  return {};
}

std::vector<uint32_t> CpmSCOPX::NeededVectors(bool* available) const {
  if (available) *available = true;
  if (!InterruptDriven()) return {};
  const uint32_t choice = InterfaceValue();
  if (choice == kJtag || choice == kJtagTdf) {
    // The debug port's vectors are the module's own interrupt list (none on the classic group).
    std::vector<uint32_t> vectors;
    for (const InterruptUser& user : InterruptUsers()) vectors.push_back(user.vector);
    if (available) *available = !vectors.empty();
    return vectors;
  }
  if (choice >= kSci0 && choice <= kCan2 && choice != kJtag && choice != kJtagTdf) {
    bool present = false;
    std::vector<uint32_t> vectors = InterfaceVectors(kInterfaceNames[choice], &present);
    if (available) *available = present && !vectors.empty();
    return vectors;
  }
  return {};
}

bool CpmSCOPX::AssignVectors() {
  InterruptController* controller = GetInterruptController();
  if (!controller) controller = FindCapability<InterruptController>(GetContext());
  bool available = true;
  const std::vector<uint32_t> needed = NeededVectors(&available);
  if (!controller) return available;

  // Every vector any interface could use, and every vector that has the routine now.
  std::set<uint32_t> candidates;
  for (uint32_t vector : controller->VectorsNamed(kIsrName)) candidates.insert(vector);
  for (const InterruptUser& user : InterruptUsers()) candidates.insert(user.vector);
  for (const MonitorInterface* port : FindCapabilities<MonitorInterface>(GetContext()))
    for (uint32_t vector : port->MonitorVectors()) candidates.insert(vector);

  bool claimed = available;
  for (uint32_t vector : candidates) {
    const InterruptUser user{.vector = vector, .index = 0, .controller = controller};
    if (std::find(needed.begin(), needed.end(), vector) != needed.end()) continue;
    // Released when held; a name left from a saved project goes as well.
    controller->ClaimVector(user, false, kIsrName, this);
    controller->ClearIsrName(vector, kIsrName);
  }
  for (uint32_t vector : needed) {
    const InterruptUser user{.vector = vector, .index = 0, .controller = controller};
    if (!controller->ClaimVector(user, true, kIsrName, this)) claimed = false;
  }
  return claimed;
}

void CpmSCOPX::UpdateEnables() {
  vectorFailure_ = !AssignVectors();
  decl_.ApplyRules();
}

void CpmSCOPX::CheckWarnings() {
  CModule::CheckWarnings();
  vectorFailure_ = !AssignVectors();
  const uint32_t comboId = ControlIdOf(kInterfaceKey, true);
  SetWarning(comboId, vectorFailure_, kInterfaceKey,
             vectorFailure_ ? "Could not set interrupt vectors required by this interface" : "");
  if (vectorFailure_) return;

  // The debug port's own interrupts at the controller.
  const uint32_t choice = InterfaceValue();
  bool debugPortOff = false;
  if (variant_->debugPortCheck && InterruptDriven() && (choice == kJtag || choice == kJtagTdf)) {
    const InterruptController* controller = FindCapability<InterruptController>(GetContext());
    debugPortOff = controller && !controller->AreDebugPortInterruptsEnabled();
  }
  SetWarning(comboId, debugPortOff, kInterfaceKey,
             debugPortOff ? "EDPORT Transmit Register Empty and Receive Register Full interrupts must be "
                            "enabled in WINTC module."
                          : "");
}

void RegisterScopxModuleKinds(ModuleFactory& factory) { factory.Register<CpmSCOPX>("SCOPX"); }

}  // namespace tarq

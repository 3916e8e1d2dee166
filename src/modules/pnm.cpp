// The Panomon run-time monitor options of the classic group.
#include "modules/pnm.h"

#include <algorithm>

#include "framework/Capabilities.h"
#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr uint32_t kState = 1;
constexpr const char* kTimeBase = "RECORDER_TIME_BASE";
constexpr const char* kCommPrefix = "COMM_MODULE_";

const RegisterDecl kRegisters[] = {
    {"INCLUDE_CMD_SCOPE", 0, NOVALUE},
    {"INCLUDE_CMD_RECORDER", 0, NOVALUE},
    // No control: kept as the header has it.
    {"INCLUDE_CMD_GETINFO_BRIEF", 0, NOVALUE},
    {"INCLUDE_CMD_APPCMD", 0, NOVALUE},
    {kTimeBase, 0x8000, DW16},
    {"BUFFER_SIZE", 0x28, DW8},
    {"REC_BUFF_LEN", 0xC8, DW16},
    {"APPCMD_BUFF_LEN", 0x0A, DW8},
    // Exactly one of these is set; the first serial port stands in for none.
    {"COMM_MODULE_SCI_0", 0, NOSHOWLIST | NOVALUE | NONCRITICAL},
    {"COMM_MODULE_SCI_1", 0, NOSHOWLIST | NOVALUE},
    {"COMM_MODULE_JTAG", 0, NOSHOWLIST | NOVALUE},
};
const char* const kCommModules[] = {"SCI_0", "SCI_1", "JTAG"};

}  // namespace

CpmPNM::CpmPNM(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

void CpmPNM::DeclareRegisters() { InitRegisters(kRegisters, std::size(kRegisters)); }

Register* CpmPNM::CommRegister(const std::string& module) {
  return FindOwnRegister(kCommPrefix + module);
}

void CpmPNM::OnModulesReady() {
  CDeclaredModule::OnModulesReady();
  // JTAG is never offered; the second serial port only where the project has it.
  bool secondPort = false;
  for (const MonitorInterface* port : FindCapabilities<MonitorInterface>(GetContext()))
    if (port->MonitorInterfaceName() == "SCI_1") secondPort = true;
  commItems_ = secondPort ? std::vector<std::string>{"SCI_0", "SCI_1"} : std::vector<std::string>{"SCI_0"};
  decl_.Clear();
  DeclarePage(decl_);
  ClearCommentItems();
  decl_.AddCommentItems();
}

int CpmPNM::LoadDefines(HeaderFile& header) {
  const int found = CDeclaredModule::LoadDefines(header);
  bool any = false;
  for (const char* module : kCommModules)
    if (const Register* reg = CommRegister(module); reg && reg->value != 0) any = true;
  if (!any) {
    if (Register* first = CommRegister("SCI_0")) {
      first->value = 1;
      first->savedValue = 1;
    }
  }
  return found;
}

int CpmPNM::CommunicationIndex() const {
  auto* self = const_cast<CpmPNM*>(this);
  for (const char* module : kCommModules) {
    const Register* reg = self->CommRegister(module);
    if (!reg || reg->value == 0) continue;
    auto it = std::find(commItems_.begin(), commItems_.end(), module);
    return it == commItems_.end() ? -1 : static_cast<int>(it - commItems_.begin());
  }
  return -1;
}

void CpmPNM::SelectCommunication(int index) {
  if (index < 0 || static_cast<size_t>(index) >= commItems_.size()) return;
  for (const char* module : kCommModules)
    if (Register* reg = CommRegister(module)) reg->value = commItems_[static_cast<size_t>(index)] == module ? 1 : 0;
}

void CpmPNM::DeclarePage(PageDeclaration& d) {
  d.Group("Commands");
  d.Box({.caption = "Enable scope", .field = {.reg = "INCLUDE_CMD_SCOPE"}, .comment = kState});
  d.Box({.caption = "Enable recorder", .field = {.reg = "INCLUDE_CMD_RECORDER"}, .comment = kState});
  d.Box({.caption = "Enable application commands", .field = {.reg = "INCLUDE_CMD_APPCMD"},
         .comment = kState});

  d.Group("Communication");
  d.List({.caption = "Communication Module:",
          .field = {.reg = "COMM_MODULE_SCI_0"},
          .items = commItems_,
          .width = 100,
          .makeBinding = [this](RegisterRef reg, const std::string& label) {
            auto list = std::make_unique<CSetKeptMode>();
            list->Bind(reg, 0, 0, 0, label);
            list->SetHandlers([this] { return CommunicationIndex(); },
                              [this](int index) { SelectCommunication(index); }, label);
            return std::unique_ptr<CSetCtrl>(std::move(list));
          }});
  d.Value({.caption = "I/O (communication) buffer size:", .field = {.reg = "BUFFER_SIZE", .low = 0, .high = 7},
           .number = {.hex = false, .zeroAllowed = true}, .width = 60});

  d.NextBand();
  d.Group("Recorder and Application Commands");
  d.Value({.caption = "Recorder buffer size:", .field = {.reg = "REC_BUFF_LEN", .low = 0, .high = 15},
           .number = {.hex = false, .zeroAllowed = true}, .width = 60});
  d.Value({.caption = "Recorder timebase:", .field = {.reg = kTimeBase, .low = 0, .high = 13},
           .number = {.hex = false, .zeroAllowed = true}, .width = 60});
  d.List({.caption = "Recorder timebase unit", .field = {.reg = kTimeBase, .low = 14, .high = 15},
          .items = {"s", "ms", "us", "ns"}, .width = 50, .newRow = false});
  d.Value({.caption = "Application command buffer size:",
           .field = {.reg = "APPCMD_BUFF_LEN", .low = 0, .high = 7},
           .number = {.hex = false, .zeroAllowed = true}, .width = 60});
}

void RegisterPnmModuleKinds(ModuleFactory& factory) { factory.Register<CpmPNM>("PNM"); }

}  // namespace tarq

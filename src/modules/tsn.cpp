// The temperature sensor of the Tebo group.
#include "modules/tsn.h"

#include "project/ModuleFactory.h"

namespace tarq {

namespace {

constexpr const char* kCntl = "CNTL_INIT";
const RegisterDecl kRegisters[] = {{kCntl, 0x0000, DW16 | NODEFAULT}};

}  // namespace

CpmTSN::CpmTSN(const ArchitectureEntry& entry, CModuleBase* parent) : CDeclaredModule(entry, parent) {}

void CpmTSN::DeclareRegisters() { InitRegisters(kRegisters, std::size(kRegisters)); }

void CpmTSN::DeclarePage(PageDeclaration& d) {
  d.Group("Temperature Sensor");
  // Bit 0 powers the sensor and its reference up; at reset it is off.
  d.Box({.caption = "Power ON temperature sensor system",
         .field = {.reg = kCntl, .low = 0},
         .label = "Temperature sensor",
         .comment = 1});
}

void RegisterTsnModuleKinds(ModuleFactory& factory) { factory.Register<CpmTSN>("TSN"); }

}  // namespace tarq

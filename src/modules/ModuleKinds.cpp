// The module kinds of the Corvex family. Each module family adds its registration here as
// it is built; kinds without a class yet create nothing, so their entries stay out of the
// tree.
#include "modules/ModuleKinds.h"

#include "modules/ClockTree.h"
#include "modules/adc.h"
#include "modules/can.h"
#include "modules/cmp.h"
#include "modules/cop.h"
#include "modules/dac.h"
#include "modules/dec.h"
#include "modules/gpio.h"
#include "modules/hscmp.h"
#include "modules/i2c.h"
#include "modules/intc.h"
#include "modules/occs.h"
#include "modules/pdb.h"
#include "modules/pga.h"
#include "modules/pinout.h"
#include "modules/pit.h"
#include "modules/pmc.h"
#include "modules/pnm.h"
#include "modules/pwm.h"
#include "modules/qt.h"
#include "modules/rtc.h"
#include "modules/sci.h"
#include "modules/scopx.h"
#include "modules/semi.h"
#include "modules/smpwm.h"
#include "modules/spi.h"
#include "modules/sys.h"
#include "modules/tsn.h"
#include "modules/vref.h"
#include "modules/xbar.h"
#include "project/UnrecognisedDefinitions.h"

namespace tarq {

void RegisterBuiltInModuleKinds(ModuleFactory& factory) {
  factory.Register("EMPTY", CreateEmptyModule);
  RegisterOccsModuleKinds(factory);
  RegisterClockTreeModuleKinds(factory);
  RegisterIntcModuleKinds(factory);
  RegisterSysModuleKinds(factory);
  RegisterGpioModuleKinds(factory);
  RegisterPinoutModuleKinds(factory);
  RegisterCopModuleKinds(factory);
  RegisterPitModuleKinds(factory);
  RegisterPmcModuleKinds(factory);
  RegisterPdbModuleKinds(factory);
  RegisterSciModuleKinds(factory);
  RegisterSpiModuleKinds(factory);
  RegisterI2cModuleKinds(factory);
  RegisterXbarModuleKinds(factory);
  RegisterCanModuleKinds(factory);
  RegisterPwmModuleKinds(factory);
  RegisterQtModuleKinds(factory);
  RegisterAdcModuleKinds(factory);
  RegisterHscmpModuleKinds(factory);
  RegisterCmpModuleKinds(factory);
  RegisterDacModuleKinds(factory);
  RegisterPgaModuleKinds(factory);
  RegisterVrefModuleKinds(factory);
  RegisterSmPwmModuleKinds(factory);
  RegisterDecModuleKinds(factory);
  RegisterSemiModuleKinds(factory);
  RegisterRtcModuleKinds(factory);
  RegisterTsnModuleKinds(factory);
  RegisterScopxModuleKinds(factory);
  RegisterPnmModuleKinds(factory);
}

}  // namespace tarq

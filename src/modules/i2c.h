// The I2C controllers: the older controller with a frequency-divider register ("I2C"), the
// controller of the Brel and Dorn groups ("I2C_Brel") and the FIFO controller of the Casp
// group ("I2C_Casp"). Each binds its registers to one declared page and computes the bus
// timing from the IP bus clock (the Casp controller from the high-speed clock when the system
// module routes it there).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// The divider of the frequency-divider controllers: the multiplier, tap and prescaler codes
// of the divider register and, on the older controller, the noise-filter width.
struct I2cDividerCounts {
  int mul = 0;  // 1, 2, 4; 0 for the fourth code
  int sclTap = 0, sdaTap = 0;
  int scl2start = 0, scl2stop = 0, scl2tap = 0, tap2tap = 0, nfOffset = 0;
  long sclDivider = 0;  // bus clocks per SCL period; 0 when the multiplier is 0
  long sdaHold = 0;
  long startHold = 0;
  long stopHold = 0;
};
// `filterWidth` 0 (or no filter at all) leaves the divider as the taps make it.
I2cDividerCounts ComputeI2cDivider(uint32_t dividerRegister, int filterWidth);

// What the frequency-divider controllers and the FIFO controller share: the declaration and
// the order of the start steps.
class CI2cModule : public CDeclaredModule {
 public:
  using CDeclaredModule::CDeclaredModule;

  void UpdateEnables() override;

  // The text a display shows now (tests and `show` read the same); empty without a page.
  std::string DisplayText(const std::string& key) const;

 protected:
  virtual void DeclareControls(PageDeclaration& d) = 0;
  // The page: the side controls are counted afresh, then the class declares its controls.
  void DeclarePage(PageDeclaration& d) override;
  virtual void UpdateNotes() {}

  // A field of the module's own register; 0 when the register is missing.
  uint32_t Field(const char* reg, int low, int high) const;
  void SetField(const char* reg, int low, int high, uint32_t value);
  // A display beside the control before it; returns its id.
  uint32_t SideDisplay(PageDeclaration& d, const std::string& key, int width = 90);
  uint32_t IdOf(const std::string& key) const;
  void Show(const std::string& key, const std::string& text);

  // The divider lists and the timing displays of the frequency-divider controllers.
  void DeclareDivider(PageDeclaration& d, const char* reg, bool noiseFilter);
  void ShowDivider(const I2cDividerCounts& counts, double hertz);

  std::vector<std::pair<std::string, uint32_t>> sideIds_;
};

// "I2C": control, address, frequency-divider and noise-filter registers.
class CpmI2C : public CI2cModule {
 public:
  using CI2cModule::CI2cModule;
  void UpdateValues() override;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
};

// What tells the chip groups of "I2C_Brel" apart.
struct I2cBrelVariant {
  const char* name = "";
  int partTest = -1;          // the part test that selects the row; -1: any part
  bool glitchFilter = false;  // the ninth register, IICFILT, and its control
  bool userSlotNote = false;  // the note when a user slot of the controller serves the vector
};

// "I2C_Brel": the Brel and Dorn groups.
class CpmI2C_Brel : public CI2cModule {
 public:
  using CI2cModule::CI2cModule;
  void UpdateValues() override;
  void CheckWarnings() override;

  static const std::vector<I2cBrelVariant>& Variants();
  const I2cBrelVariant& Variant() const { return *variant_; }
  // The 10-bit slave address over IICA1 bits 1..7 and IICC2 bits 0..2.
  uint32_t GetSlaveAddress() const;
  void SetSlaveAddress(uint32_t address);
  // The SCL low timeout over IICSLTH (high byte) and IICSLTL (low byte).
  uint32_t GetLowTimeout() const;
  void SetLowTimeout(uint32_t timeout);

 protected:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
  void UpdateNotes() override;

 private:
  const I2cBrelVariant* variant_ = &Variants().back();
};

// "I2C_Casp": the FIFO controller with its standard and fast speed counts and five vectors.
class CpmI2C_Casp : public CI2cModule {
 public:
  using CI2cModule::CI2cModule;
  void UpdateValues() override;

  // Clock counts of one speed after the hardware minimums.
  static long LowCount(uint32_t reg) { return reg < 8 ? 9 : static_cast<long>(reg) + 1; }
  static long HighCount(uint32_t reg) { return reg < 6 ? 14 : static_cast<long>(reg) + 8; }
  // The clock the counts run on, in Hz: the high-speed clock when the system module routes
  // it to the I2C, else the IP bus clock.
  double ClockHz() const;

 protected:
  void DeclareRegisters() override;
  void DeclareControls(PageDeclaration& d) override;
  void UpdateNotes() override;
};

// Registers the I2C kinds with the module factory.
void RegisterI2cModuleKinds(ModuleFactory& factory);

}  // namespace tarq

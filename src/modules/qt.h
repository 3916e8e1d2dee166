// The quad timers: timer groups of four counter channels. Each channel ("QT") edits its own
// registers, shows its counting frequency and input-filter latency, and checks that its count
// sources are usable on the chip; each group ("QTALL") is a page that points at its channels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/DeclaredModule.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

// What tells the chip groups of the quad timer apart.
struct QtVariant {
  const char* name = "";
  std::vector<int> partTests{};  // the part tests that select the row; none: any part
  size_t registerCount = 9;      // 6, 9 or 11
  bool preload = false;          // compare preload group usable
  bool brelOrDorn = false;       // alternative load, fault function, debug operation
  bool reloadControls = false;   // reload on capture / on 2nd trigger usable (Dorn)
  bool filter = false;           // input filter and channel enable (Casp, Brel, Dorn)
  bool filterClockLink = false;  // the filter's "timer" label links to the clock selection
  bool userVectorNote = false;   // the user-slot note beneath the interrupts (Brel)
  bool peripheralModes23 = false;  // pins count in peripheral modes 2 and 3 too (Brel)
  // Captions of the system module's boxes that put groups A and B on the high-speed clock
  // (empty: that group never runs on it).
  const char* highSpeedA = "";
  const char* highSpeedB = "";
  enum class Routing { None, Tebo, Casp, Brel, Dorn } routing = Routing::None;
};

// One timer input as the architecture file's PINS property describes it.
struct QtInputRecord {
  bool present = false;
  std::string pwm;  // module name of an associated PWM (the input is its sync signal)
  std::string adc;  // module name of an associated ADC
  struct Alternative {
    std::string gpio;  // "GPIO_C"; empty: slot unused
    int bit = 0;
  };
  std::array<Alternative, 4> alternatives{};
};
using QtInputRecords = std::array<QtInputRecord, 4>;

// Reads a PINS property; items and alternatives out of range are ignored.
QtInputRecords ParseQtPins(const std::string& text);

class CpmQT : public CDeclaredModule, public QuadTimerChannel {
 public:
  explicit CpmQT(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  static std::span<const QtVariant> Variants();
  const QtVariant& Variant() const { return *variant_; }
  int GroupIndex() const { return group_; }
  int Channel() const { return channel_; }
  const QtInputRecords& Inputs() const { return inputs_; }

  // QuadTimerChannel
  std::string TimerChannelName() const override { return GetPrefix(); }
  bool IsStopped() const override { return CountMode() == 0; }

  void OnModulesReady() override;
  void UpdateEnables() override;
  void UpdateValues() override;
  void CheckWarnings() override;
  // A list choice (count mode, sources) decides which other controls take input.
  void OnControlEvent(Page& page, Control& control, ControlEvent event) override;

  // The counting frequency in Hz (0: stopped or not known) and the timer clock it comes from.
  double CountingFrequencyHz() const;
  double TimerClockHz() const;
  bool OnHighSpeedClock() const;
  // Filter latency in timer clocks (0 when the filter is off).
  int FilterLatencyClocks() const;

  uint32_t ControlIdOf(const std::string& key) const;

 private:
  void ChooseVariant(ModuleContext& doc) override;
  void DeclareRegisters() override;
  void DeclarePage(PageDeclaration& d) override;

  uint32_t Field(size_t reg, int low, int high) const;
  int CountMode() const { return static_cast<int>(Field(0, 13, 15)); }
  int PrimarySource() const { return static_cast<int>(Field(0, 9, 12)); }
  int SecondarySource() const { return static_cast<int>(Field(0, 7, 8)); }
  bool SecondaryUsed() const;
  bool OutputEnableUsable() const;
  std::string SiblingName(int channel) const;
  // Checks one source; sets the warning of the note with `noteKey`.
  void CheckSource(bool primary, const std::string& noteKey);
  void CheckDecoder();

  const QtVariant* variant_ = nullptr;
  int group_ = 0;
  int channel_ = 0;
  QtInputRecords inputs_{};
  std::string decoderName_;
};

// The group page: no registers, a pointer to its channels.
class CpmQTALL : public CDeclaredModule {
 public:
  using CDeclaredModule::CDeclaredModule;

 private:
  void DeclareRegisters() override {}
  void DeclarePage(PageDeclaration& d) override;
};

void RegisterQtModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The clock module's computation as stages of a tree: the sources, the PLL path and the
// clocks it publishes, each with the frequency the module computed and the control that sets
// it. The diagram is drawn from these, so every chip group gets the tree its variant describes.
#include <cmath>

#include "framework/TextUtil.h"
#include "modules/occs.h"

namespace tarq {

namespace {

std::string Divider(float divisor) {
  if (!(divisor > 0) || !std::isfinite(divisor)) return "/?";
  return Format("/%g", static_cast<double>(divisor));
}

// The high-speed clock comes from the VCO, except where the variant takes it from the
// oscillator path while that path is selected.
std::string HighSpeedParent(const OccsVariant& v, int sourceItem, const std::string& systemParent) {
  if (sourceItem != 0) return "pll";
  if (v.secondLayout) return "postscaler";
  if (v.highSpeedOnOscillator == OccsVariant::HighSpeedOnOscillator::Output) return systemParent;
  return "pll";
}

}  // namespace

std::vector<ClockStage> CpmOCCS::ClockStages() const {
  std::vector<ClockStage> stages;
  if (!variant_) return stages;
  const OccsVariant& v = *variant_;
  const OccsClocks c = ComputeClocks();
  auto add = [&stages](ClockStage stage) { stages.push_back(std::move(stage)); };

  // Sources, and which of them feeds F_in.
  std::string inputParent;
  if (v.secondLayout) {
    const int source = GetMasterOscillatorSource();
    if (v.relaxation) {
      add({.id = "relaxation", .caption = "Relaxation oscillator",
           .mhz = source == 0 ? c.input : (IsRelaxationOscillatorEnabled() ? 8.0f : 0.0f),
           .detail = c.factoryTrimUsed ? "re-trimmed" : "",
           .link = MakeLink(kOccsRelaxEnable)});
    }
    add({.id = "crystal", .caption = "Crystal oscillator",
         .mhz = IsCrystalOscillatorEnabled() || source == 1 ? GetCrystalFrequencyMHz() : 0.0f,
         .link = MakeLink(kOccsXtalFreqEdit)});
    const Control* clkin = OpenControl(kOccsClkinEdit);
    const float external = clkin ? ParseMHz(clkin->text)
                                 : (GetContext() ? GetContext()->GetSettings().extClkMHz : 0.0f);
    add({.id = "clkin", .caption = "External clock (CLKIN)", .mhz = source == 2 ? external : 0.0f,
         .link = MakeLink(kOccsClkinEdit)});
    inputParent = source == 0 ? (v.relaxation ? "relaxation" : "") : source == 1 ? "crystal" : "clkin";
  } else {
    if (v.relaxation) {
      add({.id = "relaxation", .caption = "Relaxation oscillator",
           .mhz = c.relaxSelected ? c.input : 0.0f,
           .detail = c.factoryTrimUsed ? "re-trimmed" : "",
           .link = MakeLink(kOccsRelaxList)});
    }
    add({.id = "crystal", .caption = v.externalClock ? "Crystal / external clock" : "Crystal oscillator",
         .mhz = c.relaxSelected ? 0.0f : c.input, .link = MakeLink(kOccsXtalFreqEdit)});
    inputParent = c.relaxSelected ? "relaxation" : "crystal";
  }
  add({.id = "input", .caption = "Input clock (F_in)", .mhz = c.input, .parent = inputParent,
       .link = MakeLink(v.secondLayout ? kOccsMstrOscList : kOccsInputFreq)});

  // The PLL path.
  std::string pllParent = "input";
  if (v.prescaler) {
    add({.id = "prescaler", .caption = "Prescaler", .mhz = c.input / c.prescale, .parent = "input",
         .detail = Divider(c.prescale), .link = MakeLink(kOccsPrescalerList)});
    pllParent = "prescaler";
  }
  const bool vcoOutside = c.pllEnabled && (c.vco < static_cast<float>(v.vcoLow) ||
                                           c.vco > static_cast<float>(v.vcoHigh));
  add({.id = "pll", .caption = "PLL (VCO)", .mhz = c.vco, .parent = pllParent,
       .detail = c.pllEnabled ? Format("x%lld", c.multiplier) : "off",
       .violates = vcoOutside, .limit = Format("(%d...%d MHz)", v.vcoLow, v.vcoHigh),
       .link = MakeLink(v.fixedMultiplier ? kOccsEnablePll : kOccsMultiplyEdit)});

  // The PLL gives a fixed part of the VCO frequency (F_out, half or a third); the postscaler
  // divides that, on the second layout also the oscillator path. Its box shows the divisor the
  // clock page shows.
  const float pllOut = c.vco * v.pllOutputFactor;
  add({.id = "pllout", .caption = "PLL output", .mhz = pllOut, .parent = "pll",
       .detail = v.pllOutputFactor > 0 ? Divider(1.0f / v.pllOutputFactor) : "/?",
       .link = MakeLink(v.fixedMultiplier ? kOccsEnablePll : kOccsMultiplyEdit)});
  const bool oscillatorPath = c.sourceItem == 0;
  const bool postscalesOscillator = v.secondLayout && oscillatorPath;
  const float postIn = postscalesOscillator ? c.input : pllOut;
  add({.id = "postscaler", .caption = "Postscaler", .mhz = c.postscale > 0 ? postIn / c.postscale : 0.0f,
       .parent = postscalesOscillator ? "input" : "pllout", .detail = Divider(c.postscale),
       .link = MakeLink(kOccsPostscalerList)});

  // The clocks the module publishes.
  std::string systemParent = "postscaler";
  if (oscillatorPath && !v.secondLayout) systemParent = v.prescaler ? "prescaler" : "input";
  add({.id = "system", .caption = "System clock", .mhz = c.system, .parent = systemParent,
       .detail = v.systemIsOutput ? "" : "/2",
       .violates = c.system > static_cast<float>(v.systemLimit),
       .limit = Format("(max. %d MHz)", v.systemLimit), .link = MakeLink(kOccsClockSourceList)});
  add({.id = "bus", .caption = "IP bus clock", .mhz = c.bus, .parent = "system",
       .detail = v.systemIsOutput ? "/2" : "", .link = MakeLink(kOccsClockSourceList)});
  if (v.highSpeed) {
    // From the PLL it is a fixed part of the VCO, divided by the postscaler as well.
    const bool fromPll = c.sourceItem == 1 && v.pllHighSpeedFactor > 0;
    add({.id = "highspeed", .caption = "High-speed clock", .mhz = c.hsStored,
         .parent = HighSpeedParent(v, c.sourceItem, systemParent),
         .detail = fromPll ? Divider(c.postscale / v.pllHighSpeedFactor) : std::string(),
         .violates = c.hsStored > static_cast<float>(v.highSpeedLimit),
         .limit = Format("(max. %d MHz)", v.highSpeedLimit), .link = MakeLink(kOccsHsFreq)});
    // The peripherals that may run from it, each by a box of the system module.
    const PeripheralClockGate* gate = FindCapability<PeripheralClockGate>(GetContext());
    for (const OccsVariant::HighSpeedUser& user : v.highSpeedUsers) {
      const bool selected = gate && gate->IsOptionChecked(user.sysCaption);
      add({.id = std::string("highspeed:") + user.name, .caption = std::string(user.name) + " from HS_PERF",
           .mhz = selected ? c.hsStored : 0.0f, .parent = "highspeed",
           .link = gate ? gate->OptionLink(user.sysCaption) : std::string()});
    }
  }
  return stages;
}

}  // namespace tarq

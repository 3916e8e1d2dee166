// The crossbar switch ("XBAR", Dorn group): which of 32 input signals drives each of its 30
// outputs. The page is a table, one row per output; a row warns when its input's source
// module does not produce the signal. Timers, PWM, ADC and comparators ask the crossbar
// which input feeds their output.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Capabilities.h"
#include "framework/Declaration.h"
#include "framework/Module.h"

namespace tarq {

class ModuleFactory;

class CpmXBAR : public CModule, public CrossbarOutputSelector {
 public:
  explicit CpmXBAR(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);
  ~CpmXBAR() override;

  static constexpr int kOutputCount = 30;
  static constexpr int kRegisterCount = 15;
  // Output n's row is the child page kRowIdBase + n; on it the name label and the list.
  static constexpr uint32_t kRowIdBase = 59748;
  enum : uint32_t { kRowCaption = 1, kRowList = 2, kRowGroup = 3 };

  // Output names ("ADCA Trigger") and input names ("CMPA_OUT"), by number.
  static const std::vector<std::string>& OutputNames();
  static const std::vector<std::string>& InputNames();
  // The row text: the number blank-padded to two places, a full stop, a blank, the name.
  static std::string OutputText(int output);

  // ---- module operations ----
  void InitModule(ModuleContext& doc) override;
  void BuildPage(Page& page) override;
  void UpdateEnables() override;
  void CheckWarnings() override;
  // "XB_IN<n>": some output selects input n; "XB_OUT<n>": output n selects anything but
  // "Logic 0". Other names are not used.
  bool IsSignalUsed(const std::string& signal) const override;

  // ---- the crossbar-output capability ----
  int GetOutputCount() const override { return kOutputCount; }
  int GetSelectedInput(int output) const override;
  std::string OutputLink(int output) const override;

  // The field value output n holds (register n / 2, bits 0..4 or 8..12); -1 outside.
  int GetOutputField(int output) const;
  void SetOutputField(int output, uint32_t value);
  // Why the input selected for an output is not produced; empty when it is (or when the
  // module that would produce it does not exist).
  std::string InputCheck(int input) const;
  const PageDeclaration& RowDeclaration(int output) const { return *rows_[static_cast<size_t>(output)]; }
  static uint32_t RowWarningId(int output);

 private:
  std::vector<std::unique_ptr<PageDeclaration>> rows_;
  PageDeclaration decl_{*this};
};

// Registers the XBAR kind with the module factory.
void RegisterXbarModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// A front end that can show a wizard's result before it is applied offers this beside its
// Host. Front ends without dialogs do not: there the command that asked for the result is
// the confirmation, and the result is applied.
#pragma once

#include <string>
#include <vector>

#include "framework/Host.h"

namespace tarq {

class WizardConfirmation {
 public:
  virtual ~WizardConfirmation() = default;
  // Shows what a wizard computed (one line per fact); true applies it.
  virtual bool ConfirmWizardResult(const std::string& title,
                                   const std::vector<std::string>& lines) = 0;
};

// Whether the result is to be applied: asks the host when it can show it.
inline bool ConfirmWizardResult(Host& host, const std::string& title,
                                const std::vector<std::string>& lines) {
  auto* confirmation = dynamic_cast<WizardConfirmation*>(&host);
  return !confirmation || confirmation->ConfirmWizardResult(title, lines);
}

}  // namespace tarq

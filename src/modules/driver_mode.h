// The shape the serial modules share with the kit's drivers: a "Mode of operation:" list
// whose driver modes claim the module's interrupt vectors at the interrupt controller under
// routine names the module gives, a warning on the list when a vector cannot be had, and
// notes under the interrupt panels about user slots the driver leaves to the user.
#pragma once

#include <cstddef>
#include <string>

#include "framework/DeclaredModule.h"

namespace tarq {

class CDriverModeModule : public CDeclaredModule {
 public:
  using CDeclaredModule::CDeclaredModule;

  static constexpr const char* kModeKey = "Mode of operation:";
  static constexpr const char* kClaimFailedText = "Could not set interrupt vectors required by this mode";

  // The driver mode as a list position (0 "Disabled"); -1 for a stored value no item
  // stands for, which is kept as it is.
  int DriverMode() const;
  // The routine name of interrupt user n in a driver mode; empty for none.
  virtual std::string IsrName(size_t user) const = 0;
  // Whether the last claim of the driver mode's vectors failed.
  bool VectorClaimFailed() const { return vectorFailure_; }

 protected:
  // Key of the note under the n-th interrupt panel (declared hidden, filled by
  // UpdateUserSlotNotes).
  static std::string UserNoteKey(size_t n);
  // Claims the vectors in a driver mode and releases them otherwise; notes a failure.
  void ClaimVectors();
  // Shows the note of each user slot the driver leaves to the user, when the part has them.
  void UpdateUserSlotNotes();
  virtual bool HasUserSlotNotes() const = 0;
  // Sets or clears the warning on the mode list after a claim.
  void ReportVectorClaim();

 private:
  bool vectorFailure_ = false;
};

}  // namespace tarq

#include "framework/ModuleBase.h"

namespace tarq {

const ProjectSettings& ModuleContext::GetSettings() const {
  static const ProjectSettings kEmpty;
  return kEmpty;
}

}  // namespace tarq

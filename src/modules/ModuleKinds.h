// The module kinds of the Corvex family: the list a front end gives to the document it makes.
#pragma once

#include "project/ModuleFactory.h"

namespace tarq {

// Each module family adds its registration call in ModuleKinds.cpp; this explicit list
// replaces static self-registration, which a static library's linker would drop.
void RegisterBuiltInModuleKinds(ModuleFactory& factory);

}  // namespace tarq

// The clock tree as `show --json` prints it under the clock module.
#pragma once

#include <nlohmann/json.hpp>

#include "modules/ClockTree.h"

namespace tarq {

// An array of nodes in tree order: id, caption, frequency (MHz, null when off), text, parent
// (null for a source), detail, violates, limit, link, gate.
nlohmann::json ClockTreeToJson(const ClockTree& tree);

}  // namespace tarq

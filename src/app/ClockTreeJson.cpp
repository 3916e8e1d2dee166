#include "app/ClockTreeJson.h"

namespace tarq {

nlohmann::json ClockTreeToJson(const ClockTree& tree) {
  nlohmann::json nodes = nlohmann::json::array();
  for (const ClockTreeNode& node : tree.nodes) {
    nodes.push_back({{"id", node.id},
                     {"caption", node.caption},
                     {"mhz", node.mhz > 0 ? nlohmann::json(node.mhz) : nlohmann::json()},
                     {"text", node.frequencyText},
                     {"parent", node.parent.empty() ? nlohmann::json() : nlohmann::json(node.parent)},
                     {"detail", node.detail},
                     {"violates", node.violates},
                     {"limit", node.limit},
                     {"link", node.link},
                     {"gate", node.gate}});
  }
  return nodes;
}

}  // namespace tarq

#include "modules/ClockTree.h"

#include <cmath>

#include "framework/Capabilities.h"

namespace tarq {

const ClockTreeNode* ClockTree::Find(const std::string& id) const {
  for (const ClockTreeNode& node : nodes)
    if (node.id == id) return &node;
  return nullptr;
}

std::vector<const ClockTreeNode*> ClockTree::Children(const std::string& id) const {
  std::vector<const ClockTreeNode*> children;
  for (const ClockTreeNode& node : nodes)
    if (!node.parent.empty() && node.parent == id) children.push_back(&node);
  return children;
}

int ClockTree::Depth(const ClockTreeNode& node) const {
  int depth = 0;
  const ClockTreeNode* at = &node;
  // Bounded by the node count, so a parent cycle cannot hang the caller.
  while (!at->parent.empty() && depth < static_cast<int>(nodes.size())) {
    at = Find(at->parent);
    if (at == nullptr) break;
    ++depth;
  }
  return depth;
}

std::string ClockFrequencyText(double mhz) {
  if (!std::isfinite(mhz) || !(mhz > 0)) return "OFF";
  return CModuleBase::FrequencyText(mhz * 1e6, true, "OFF", nullptr);
}

ClockTree BuildClockTree(ModuleContext* context) {
  ClockTree tree;
  const ClockTreeSource* source = FindCapability<ClockTreeSource>(context);
  if (source == nullptr) return tree;
  for (const ClockStage& stage : source->ClockStages()) {
    const double mhz = std::isfinite(stage.mhz) && stage.mhz > 0 ? stage.mhz : 0.0;
    tree.nodes.push_back({.id = stage.id, .caption = stage.caption, .mhz = mhz,
                          .frequencyText = ClockFrequencyText(mhz), .parent = stage.parent,
                          .detail = stage.detail, .violates = stage.violates,
                          .limit = stage.limit,
                          .link = stage.link});
  }
  // The peripheral clocks run from the IP bus clock while their box is checked.
  const ClockTreeNode* bus = tree.Find("bus");
  const PeripheralClockGate* gates = FindCapability<PeripheralClockGate>(context);
  if (bus == nullptr || gates == nullptr) return tree;
  const double busMHz = bus->mhz;
  for (const ClockGateInfo& gate : gates->ClockGates()) {
    const double mhz = gate.enabled ? busMHz : 0.0;
    tree.nodes.push_back({.id = "gate:" + gate.caption, .caption = gate.caption, .mhz = mhz,
                          .frequencyText = ClockFrequencyText(mhz), .parent = "bus",
                          .detail = gate.enabled ? "on" : "off", .link = gate.link, .gate = true});
  }
  return tree;
}

}  // namespace tarq

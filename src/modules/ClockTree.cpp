#include "modules/ClockTree.h"

#include <cmath>

#include "framework/Capabilities.h"
#include "project/ModuleFactory.h"

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

std::vector<DiagramBox> ClockTreeBoxes(const ClockTree& tree) {
  std::vector<DiagramBox> boxes;
  boxes.reserve(tree.nodes.size());
  for (const ClockTreeNode& node : tree.nodes) {
    boxes.push_back({.id = node.id, .parent = node.parent, .title = node.caption,
                     .detail = node.detail, .value = node.frequencyText,
                     .note = node.violates ? node.limit : std::string(), .link = node.link,
                     .off = !(node.mhz > 0), .alert = node.violates, .leaf = node.gate});
  }
  return boxes;
}

CpmCLOCKTREE::CpmCLOCKTREE(const ArchitectureEntry& entry, CModuleBase* parent) : CModule(entry, parent) {}

void CpmCLOCKTREE::BuildPage(Page& page) {
  page.AddStatic(kCaptionId, "Click a box to go to the control that sets its clock. Red: past its limit.");
  page.NewRow();
  page.AddDiagram(kDiagramId, "Clock tree").tabStop = false;
  UpdateValues();
}

void CpmCLOCKTREE::UpdateValues() {
  if (Page* page = GetPage()) page->SetDiagram(kDiagramId, ClockTreeBoxes(BuildClockTree(GetContext())));
}

// Any change of any module may move a clock: the open page follows every broadcast. The
// page exists only while it is shown, so a closed one costs nothing.
void CpmCLOCKTREE::OnUpdate(int hint, CModuleBase* sender) {
  CModule::OnUpdate(hint, sender);
  if (HasPage()) UpdateValues();
}

void RegisterClockTreeModuleKinds(ModuleFactory& factory) { factory.Register<CpmCLOCKTREE>("CLOCKTREE"); }

}  // namespace tarq

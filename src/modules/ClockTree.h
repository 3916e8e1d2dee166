// The clock tree of the current part as data: the clock module's stages and the peripheral
// clocks the system module gates, each with its frequency, its limit and the control that
// sets it. The diagram, `show --json` and the tests all read this one model.
#pragma once

#include <string>
#include <vector>

#include "framework/Module.h"

namespace tarq {

class ModuleContext;
class ModuleFactory;

struct ClockTreeNode {
  std::string id;
  std::string caption;
  double mhz = 0;             // 0: off or unknown
  std::string frequencyText;  // "60 MHz", or "OFF" for an unknown or zero clock
  std::string parent;         // empty for a source
  std::string detail;         // "x30", "/2"
  bool violates = false;
  std::string limit;
  std::string link;
  bool gate = false;          // a peripheral clock enable of the system module
};

struct ClockTree {
  std::vector<ClockTreeNode> nodes;

  const ClockTreeNode* Find(const std::string& id) const;
  std::vector<const ClockTreeNode*> Children(const std::string& id) const;
  // Steps from the node to its source (0 for a source).
  int Depth(const ClockTreeNode& node) const;
};

// The tree of the project's clock module; empty when the project has none.
ClockTree BuildClockTree(ModuleContext* context);

// "OFF" for zero, negative or not a number; else the frequency with its unit.
std::string ClockFrequencyText(double mhz);

// The tree as the boxes of a page diagram.
std::vector<DiagramBox> ClockTreeBoxes(const ClockTree& tree);

// The clock-tree page under the clock module ("CLOCKTREE"): the tree drawn as a diagram,
// rebuilt on every change while the page is open; a click on a box follows its link to the
// control that sets that clock. It has no registers and writes nothing.
class CpmCLOCKTREE : public CModule {
 public:
  static constexpr uint32_t kCaptionId = 1000;
  static constexpr uint32_t kDiagramId = 1001;

  explicit CpmCLOCKTREE(const ArchitectureEntry& entry, CModuleBase* parent = nullptr);

  void BuildPage(Page& page) override;
  void UpdateValues() override;
  void OnUpdate(int hint, CModuleBase* sender) override;
};

void RegisterClockTreeModuleKinds(ModuleFactory& factory);

}  // namespace tarq

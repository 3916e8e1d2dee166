// The module tree model: the nodes the tree view shows, in the order and nesting of the
// architecture file, plus the folders made for modules placed by path.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarq {

class CModuleBase;
struct ArchitectureEntry;

struct TreeNode {
  std::string text;
  CModuleBase* module = nullptr;  // every node carries a module; folders carry a placeholder
  bool expanded = false;
  TreeNode* parent = nullptr;  // null for the top-level nodes
  std::vector<std::unique_ptr<TreeNode>> children;

  // 0 for top-level nodes.
  int Depth() const;
};

class ModuleTree {
 public:
  // Makes the placeholder module of a missing folder: name and kind are the group class.
  using PlaceholderMaker =
      std::function<CModuleBase*(const std::string& groupClass, CModuleBase* parentModule)>;

  ModuleTree();
  ~ModuleTree();
  ModuleTree(const ModuleTree&) = delete;
  ModuleTree& operator=(const ModuleTree&) = delete;

  // Top-level nodes, in insertion order.
  const std::vector<std::unique_ptr<TreeNode>>& TopLevel() const { return root_.children; }
  bool Empty() const { return root_.children.empty(); }
  void Clear();

  // Appends a node under `parent` (null: top level).
  TreeNode* AddNode(TreeNode* parent, const std::string& text, CModuleBase* module, bool expanded);
  // The last node inserted under `parent` (null: top level), or null.
  TreeNode* LastChild(TreeNode* parent);

  // Depth-first search by module.
  TreeNode* FindNode(const CModuleBase* module);
  TreeNode* FindChild(TreeNode* parent, const std::string& text);
  // Every node, depth-first in display order.
  std::vector<TreeNode*> AllNodes();

  // Places `module` at a backslash-separated path. A path that does not begin with '\' goes
  // below "Software Modules"; an empty part other than a leading one is named "?unknown?".
  // Missing folders get a placeholder module; each parent of a new node is expanded.
  // Returns the module's node, or null when a placeholder could not be made.
  TreeNode* AddModuleAtPath(const std::string& path, const std::string& groupClass,
                            CModuleBase* module, const PlaceholderMaker& makePlaceholder);

  void ExpandAll(bool expand);

  // Check-box image of a node: 0/1 selectable and (not) selected; 2 not selectable with no
  // selected module below (or top-level without children); 3 not selectable with a selected
  // module below; 4 not selectable leaf below the top level.
  static int StateImage(const TreeNode& node);

  // Node text of an architecture entry: display name (or name), then " - " and the suffix.
  static std::string LabelOf(const ArchitectureEntry& entry);

 private:
  TreeNode* Container(TreeNode* parent) { return parent != nullptr ? parent : &root_; }

  TreeNode root_;  // invisible; its children are the top-level nodes
};

// The parts of a tree path as AddModuleAtPath reads them.
std::vector<std::string> SplitTreePath(const std::string& path);

}  // namespace tarq

#include "project/ModuleTree.h"

#include "framework/ModuleBase.h"

namespace tarq {

int TreeNode::Depth() const {
  int depth = 0;
  for (const TreeNode* node = parent; node != nullptr; node = node->parent) ++depth;
  return depth;
}

ModuleTree::ModuleTree() = default;
ModuleTree::~ModuleTree() = default;

void ModuleTree::Clear() { root_.children.clear(); }

TreeNode* ModuleTree::AddNode(TreeNode* parent, const std::string& text, CModuleBase* module,
                              bool expanded) {
  auto node = std::make_unique<TreeNode>();
  node->text = text;
  node->module = module;
  node->expanded = expanded;
  node->parent = parent;
  TreeNode* added = node.get();
  Container(parent)->children.push_back(std::move(node));
  return added;
}

TreeNode* ModuleTree::LastChild(TreeNode* parent) {
  auto& children = Container(parent)->children;
  return children.empty() ? nullptr : children.back().get();
}

static TreeNode* FindIn(TreeNode& node, const CModuleBase* module) {
  for (auto& child : node.children) {
    if (child->module == module) return child.get();
    if (TreeNode* found = FindIn(*child, module)) return found;
  }
  return nullptr;
}

TreeNode* ModuleTree::FindNode(const CModuleBase* module) {
  return module != nullptr ? FindIn(root_, module) : nullptr;
}

TreeNode* ModuleTree::FindChild(TreeNode* parent, const std::string& text) {
  for (auto& child : Container(parent)->children) {
    if (child->text == text) return child.get();
  }
  return nullptr;
}

static void Collect(TreeNode& node, std::vector<TreeNode*>& out) {
  for (auto& child : node.children) {
    out.push_back(child.get());
    Collect(*child, out);
  }
}

std::vector<TreeNode*> ModuleTree::AllNodes() {
  std::vector<TreeNode*> nodes;
  Collect(root_, nodes);
  return nodes;
}

std::vector<std::string> SplitTreePath(const std::string& path) {
  std::string full = (!path.empty() && path[0] == '\\') ? path : "Software Modules\\" + path;
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t cut = full.find('\\', start);
    std::string part =
        full.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (part.empty()) {
      if (start != 0) parts.push_back("?unknown?");
    } else {
      parts.push_back(part);
    }
    if (cut == std::string::npos) break;
    start = cut + 1;
  }
  return parts;
}

TreeNode* ModuleTree::AddModuleAtPath(const std::string& path, const std::string& groupClass,
                                      CModuleBase* module,
                                      const PlaceholderMaker& makePlaceholder) {
  std::vector<std::string> parts = SplitTreePath(path);
  TreeNode* current = nullptr;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    TreeNode* folder = FindChild(current, parts[i]);
    if (folder == nullptr) {
      CModuleBase* placeholder =
          makePlaceholder ? makePlaceholder(groupClass, current ? current->module : nullptr)
                          : nullptr;
      if (placeholder == nullptr) return nullptr;
      if (current != nullptr) current->expanded = true;
      folder = AddNode(current, parts[i], placeholder, false);
    }
    current = folder;
  }
  if (current != nullptr) current->expanded = true;
  return AddNode(current, parts.back(), module, false);
}

static void ExpandIn(TreeNode& node, bool expand) {
  for (auto& child : node.children) {
    child->expanded = expand;
    ExpandIn(*child, expand);
  }
}

void ModuleTree::ExpandAll(bool expand) { ExpandIn(root_, expand); }

static bool AnySelectedBelow(const TreeNode& node) {
  for (const auto& child : node.children) {
    if (child->module != nullptr && child->module->IsSelected()) return true;
    if (AnySelectedBelow(*child)) return true;
  }
  return false;
}

int ModuleTree::StateImage(const TreeNode& node) {
  if (node.module != nullptr && node.module->IsSelectable()) {
    return node.module->IsSelected() ? 1 : 0;
  }
  if (!node.children.empty()) return AnySelectedBelow(node) ? 3 : 2;
  return node.parent == nullptr ? 2 : 4;
}

std::string ModuleTree::LabelOf(const ArchitectureEntry& entry) {
  std::string label = entry.displayName.empty() ? entry.name : entry.displayName;
  if (!entry.labelSuffix.empty()) label += " - " + entry.labelSuffix;
  return label;
}

}  // namespace tarq

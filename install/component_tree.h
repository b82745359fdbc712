// The component tree of the components page as data: items in top-to-bottom order (an item, then
// all its descendants, then its next sibling), each with a check state and a shortcut mark. The
// tree control of the wizard shows this model; the install run and the script interpreter read
// and change it by position or by component name.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Shortcut marks: which kind of shortcut a component governs.
enum ShortcutMark : int {
  kMarkNone = 0,
  kMarkDesktop = 1,
  kMarkStartMenu = 2,
  kMarkQuickLaunch = 3,
};

class ComponentTree {
 public:
  struct Item {
    std::string text;
    int depth = 0;        // 0 for a top-level item
    bool checked = false;
    bool expanded = false;
    int mark = kMarkNone;
  };

  size_t Size() const { return items_.size(); }
  void Clear() { items_.clear(); }
  const Item* At(int position) const;
  Item* At(int position);

  // Adds an item as the last child of the item at `parent` (top-level when `parent` names no
  // item, negative included) and returns its position.
  int Add(std::string_view text, int parent, bool checked);
  // Position of the item's parent, -1 for a top-level item or a missing position.
  int ParentOf(int position) const;

  // 1 checked, 0 unchecked, -1 for a missing position.
  int CheckState(int position) const;
  void SetChecked(int position, bool checked);
  void SetExpanded(int position, bool expanded);
  void SetMark(int position, int mark);

  // The first item whose text equals `name` exactly; -1 when none.
  int Find(std::string_view name) const;
  // The check state of the first item named `name`; -1 when none.
  int CheckStateOf(std::string_view name) const;

 private:
  std::vector<Item> items_;
};

// The installer's one tree, set up after the configuration is read and shown by the wizard.
ComponentTree& CurrentComponentTree();

struct TreeGeometry {
  int left = 0, top = 0, width = 0, height = 0;
};

struct TreeSetup {
  bool added = false;                    // any item came from the store
  std::optional<TreeGeometry> geometry;  // when "Treelists" gives exactly four numbers
};

// Fills `tree` from the "Treelists" block of the store: the "Install" section holds one item per
// line, "text$,parent position$,check (1/0)$,真 to expand"; the "Unzip" section the tree's
// "left,top,width,height". The tree is emptied first. Blank lines add no item.
TreeSetup SetUpComponentTree(std::string_view store, ComponentTree& tree);

// The "基本组件勾选" ticks, for a tree that the store left empty and the page filled with its own
// items: part j ticks (when "真") or unticks the item at position j (1..3); the item at
// position 0 is then ticked exactly when none of the items 1..3 that exist is unticked.
void ApplyBasicChecks(const std::array<std::string, 3>& parts, ComponentTree& tree);

// What the description box shows for the selected item.
struct DescriptionText {
  bool has_block = false;  // the item's block exists; `text` is its "describe" section
  bool change = false;     // the box takes `text`
  std::string text;
};
// The "describe" section of the item's block or, for an item without block, the fixed text of
// its shortcut mark (no mark: the box stays as it is).
DescriptionText DescribeComponent(std::string_view store, const ComponentTree& tree,
                                       int position);

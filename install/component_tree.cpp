// The component tree model, its set-up from the "Treelists" block and the description texts.
#include "install/component_tree.h"

#include "install/script_store.h"
#include "runtime/text.h"

namespace {

bool ValidPosition(int position, size_t size) {
  return position >= 0 && static_cast<size_t>(position) < size;
}

int ToInt(std::string_view text) {
  const int64_t n = TextToInt(TrimWhitespace(text));
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int>(n);
}

}  // namespace

const ComponentTree::Item* ComponentTree::At(int position) const {
  return ValidPosition(position, items_.size()) ? &items_[position] : nullptr;
}

ComponentTree::Item* ComponentTree::At(int position) {
  return ValidPosition(position, items_.size()) ? &items_[position] : nullptr;
}

int ComponentTree::Add(std::string_view text, int parent, bool checked) {
  Item item;
  item.text = std::string(text);
  item.checked = checked;
  size_t at = items_.size();
  if (ValidPosition(parent, items_.size())) {
    // The new last child goes right after the parent's last descendant.
    item.depth = items_[parent].depth + 1;
    at = static_cast<size_t>(parent) + 1;
    while (at < items_.size() && items_[at].depth > items_[parent].depth) ++at;
  }
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return static_cast<int>(at);
}

int ComponentTree::ParentOf(int position) const {
  if (!ValidPosition(position, items_.size())) return -1;
  const int depth = items_[position].depth;
  for (int p = position - 1; p >= 0 && depth > 0; --p) {
    if (items_[p].depth == depth - 1) return p;
  }
  return -1;
}

int ComponentTree::CheckState(int position) const {
  const Item* item = At(position);
  return item ? (item->checked ? 1 : 0) : -1;
}

void ComponentTree::SetChecked(int position, bool checked) {
  if (Item* item = At(position)) item->checked = checked;
}

void ComponentTree::SetExpanded(int position, bool expanded) {
  if (Item* item = At(position)) item->expanded = expanded;
}

void ComponentTree::SetMark(int position, int mark) {
  if (Item* item = At(position)) item->mark = mark;
}

int ComponentTree::Find(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].text == name) return static_cast<int>(i);
  }
  return -1;
}

int ComponentTree::CheckStateOf(std::string_view name) const { return CheckState(Find(name)); }

ComponentTree& CurrentComponentTree() {
  static ComponentTree tree;
  return tree;
}

TreeSetup SetUpComponentTree(std::string_view store, ComponentTree& tree) {
  TreeSetup setup;
  const std::vector<std::string> box = SplitText(LookUpScript(store, kTreeBlock, kUnzipSection).text, ",");
  if (box.size() == 4) {
    setup.geometry = TreeGeometry{ToInt(box[0]), ToInt(box[1]), ToInt(box[2]), ToInt(box[3])};
  }
  tree.Clear();
  const std::string content = LookUpScript(store, kTreeBlock, kInstallSection).text;
  // (line number among the item lines - 1, expand) of every item added.
  std::vector<std::pair<int, bool>> added;
  for (const std::string& line : SplitText(content, "\r\n")) {
    if (TrimWhitespace(line).empty()) continue;
    const std::vector<std::string> fields = SplitText(line, "$,");
    const std::string text = fields.empty() ? std::string() : fields[0];
    const int parent = fields.size() > 1 ? ToInt(fields[1]) : 0;
    const bool checked = fields.size() > 2 && ToInt(fields[2]) != 0;
    const bool expand = fields.size() > 3 && fields[3] == "真";
    added.emplace_back(static_cast<int>(added.size()), expand);
    tree.Add(text, parent, checked);
  }
  // Positions shift while children are inserted, so expansion waits until all are in: the n-th
  // item line then names the item at position n - 1, as lines come in top-to-bottom order.
  for (const auto& [position, expand] : added) {
    if (expand) tree.SetExpanded(position, true);
  }
  setup.added = !added.empty();
  return setup;
}

void ApplyBasicChecks(const std::array<std::string, 3>& parts, ComponentTree& tree) {
  bool all_ticked = true;
  for (int j = 1; j <= 3; ++j) {
    if (!tree.At(j)) continue;
    const bool tick = parts[j - 1] == "真";
    tree.SetChecked(j, tick);
    all_ticked = all_ticked && tick;
  }
  tree.SetChecked(0, all_ticked);
}

DescriptionText DescribeComponent(std::string_view store, const ComponentTree& tree,
                                       int position) {
  DescriptionText d;
  const ComponentTree::Item* item = tree.At(position);
  if (!item) return d;
  const ScriptLookup block = LookUpScript(store, item->text, kDescribeSection);
  if (block.found) {
    d.has_block = true;
    d.change = true;
    d.text = block.text;
    return d;
  }
  switch (item->mark) {
    case kMarkDesktop:
      d.text = "安装完该软件后将应用主程序增加至桌面快捷方式";
      break;
    case kMarkStartMenu:
      d.text = "在开始的菜单文件夹里增加快捷方式的组件";
      break;
    case kMarkQuickLaunch:
      d.text = "在快速运行烂里增加启动主程序的快捷方式";
      break;
    default:
      return d;
  }
  d.change = true;
  return d;
}

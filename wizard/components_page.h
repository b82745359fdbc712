// The components page: what the description box shows for the selected tree item, and the texts
// the pointer brings up over the page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "install/component_tree.h"

// The description of the item at `position`: its "describe" section without the line breaks
// around it; for an item without one, the built-in text of the shortcut it governs (its mark, the
// marker in its "Install" section, or, in the page's own default tree, its place after
// "基本组件"). Nothing (the box stays as it is) for any other item.
std::optional<std::string> ComponentDescription(std::string_view store, const ComponentTree& tree,
                                                int position, bool default_tree);

// The hint the box shows before any item is chosen, and the text over the required-items label.
inline constexpr const char* kComponentHintText = "请选择相应选项后即可生成对应信息";
std::string RequiredItemsText(std::string_view product_name);

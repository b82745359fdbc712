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

// The text over the required-items label.
std::string RequiredItemsText(std::string_view product_name);

// The components page's own heading while the page is the wizard's (a plug-in may take it over).
inline constexpr const char* kComponentsPageHeading = "选择组件";
// The pointer has left the tree for the page itself: the description box goes back to the hint
// ("请选择相应选项后即可生成对应信息") when it shows anything else and the page heading is still the
// components page's; nothing (the box stays) otherwise.
std::optional<std::string> HintOnPagePointed(std::string_view shown, std::string_view heading);

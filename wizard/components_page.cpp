// Components page decisions: the description of the selected item and the pointer texts.
#include "wizard/components_page.h"

#include "install/script_store.h"
#include "runtime/text.h"
#include "wizard/wizard_texts.h"

namespace {

std::string WithoutOuterLineBreaks(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == '\r' || text[begin] == '\n')) ++begin;
  while (end > begin && (text[end - 1] == '\r' || text[end - 1] == '\n')) --end;
  return std::string(text.substr(begin, end - begin));
}

const char* ShortcutText(int mark) {
  switch (mark) {
    case kMarkDesktop: return "安装完该软件后将应用主程序增加至桌面快捷方式";
    case kMarkStartMenu: return "在开始的菜单文件夹里增加快捷方式的组件";
    case kMarkQuickLaunch: return "在快速运行烂里增加启动主程序的快捷方式";
    default: return nullptr;
  }
}

}  // namespace

std::optional<std::string> ComponentDescription(std::string_view store, const ComponentTree& tree,
                                                int position, bool default_tree) {
  const ComponentTree::Item* item = tree.At(position);
  if (!item) return std::nullopt;
  const ScriptLookup describe = LookUpScript(store, item->text, "describe");
  const std::string text = WithoutOuterLineBreaks(describe.text);
  if (!text.empty()) return text;
  int mark = item->mark;
  if (mark == kMarkNone) {
    // The marks are set when the install starts; before that the "Install" section tells.
    const std::string install = LookUpScript(store, item->text, "Install").text;
    if (ContainsText(install, "setdesktop()")) mark = kMarkDesktop;
    else if (ContainsText(install, "setstartmenu()")) mark = kMarkStartMenu;
    else if (ContainsText(install, "setquicklaunch()")) mark = kMarkQuickLaunch;
  }
  if (mark == kMarkNone && default_tree && position >= 1 && position <= 3) mark = position;
  if (const char* fixed = ShortcutText(mark)) return std::string(fixed);
  return std::nullopt;
}

std::string RequiredItemsText(std::string_view product_name) {
  return "用于安装" + std::string(product_name) + "内部组件的项目为必选项";
}

std::optional<std::string> HintOnPagePointed(std::string_view shown, std::string_view heading) {
  if (shown == kComponentHint || heading != kComponentsPageHeading) return std::nullopt;
  return std::string(kComponentHint);
}

// The description box of the components page follows the selected item.
#include "wizard/components_page.h"

#include <gtest/gtest.h>

namespace {

std::string Block(const std::string& name, const std::string& install, const std::string& describe) {
  return name + "\r\n｛\r\nInstall(){" + install + "\r\n}\r\nUnzip(){\r\n}\r\nfinish(){\r\n}\r\n" +
         "describe(){" + describe + "\r\n}\r\n｝\r\n\r\n";
}

TEST(ComponentsPage, DescriptionFollowsTheSelection) {
  const std::string store = Block("主程序", "\r\n[真]assignzip(a.exe)", "\r\n程序文件（必选）") +
                            Block("桌面图标", "\r\nsetdesktop()", "") +
                            Block("菜单", "\r\n[真]setstartmenu()", "\r\n") +
                            Block("文档", "\r\n[假]removezip(docs)", "");
  ComponentTree tree;
  for (const char* text : {"主程序", "桌面图标", "菜单", "文档", "没有块", "快捷"}) tree.Add(text, -1, true);
  tree.SetMark(5, kMarkQuickLaunch);
  struct Case {
    int position;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {0, "程序文件（必选）"},
      {1, "安装完该软件后将应用主程序增加至桌面快捷方式"},  // the marker of its "Install" section
      {2, "在开始的菜单文件夹里增加快捷方式的组件"},
      {3, std::nullopt},                                     // nothing to say: the box stays
      {4, std::nullopt},
      {5, "在快速运行烂里增加启动主程序的快捷方式"},          // marked by an install already run
      {9, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComponentDescription(store, tree, c.position, false), c.text) << c.position;
  }

  ComponentTree defaults;
  for (const char* text : {"基本组件", "桌面快捷方式", "开始菜单组件", "快速启动栏"}) {
    defaults.Add(text, -1, true);
  }
  EXPECT_EQ(ComponentDescription("", defaults, 0, true), std::nullopt);
  EXPECT_EQ(ComponentDescription("", defaults, 3, true), "在快速运行烂里增加启动主程序的快捷方式");
  EXPECT_EQ(ComponentDescription("", defaults, 3, false), std::nullopt);
  EXPECT_EQ(RequiredItemsText("Hello"), "用于安装Hello内部组件的项目为必选项");

  // The pointer over the page outside the tree brings the hint back, on the wizard's own page.
  const std::string hint = "请选择相应选项后即可生成对应信息";
  EXPECT_EQ(HintOnPagePointed("在开始的菜单文件夹里增加快捷方式的组件", "选择组件"), hint);
  EXPECT_EQ(HintOnPagePointed("", "选择组件"), hint);
  EXPECT_EQ(HintOnPagePointed(hint, "选择组件"), std::nullopt);
  EXPECT_EQ(HintOnPagePointed("插件的说明", "插件页"), std::nullopt);
}

}  // namespace

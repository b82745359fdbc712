// The wizard's texts through the three sources in set-up order: layout, company lines, GUItext.ini,
// product texts.
#include "wizard/wizard_texts.h"

#include <gtest/gtest.h>

#include "runtime/items.h"

namespace {

std::string GuiText(std::initializer_list<std::pair<const char*, const char*>> items) {
  std::string file;
  for (const auto& [key, value] : items) file = AppendItem(file, key, value);
  return file;
}

TEST(WizardTexts, SourcesApplyInSetUpOrder) {
  WizardTexts texts = LayoutTexts();
  ApplyCompanyLines("示例公司", texts);
  ApplyInstallingTitle("Hello", texts);
  ApplyGuiTexts(GuiText({{"窗口标题", "墨桐软件版本 安装程序"},
                         {"组件0", "作者的标题"},
                         {"协议1", "请阅读“墨桐软件版本”的协议"},
                         {"目录2", "装到“墨桐软件版本”"},
                         {"完成1", ""},
                         {"安装0", "正在安装 墨桐软件版本"}}),
                texts);
  ApplyProductTexts("Hello", "1.0", texts);
  const std::pair<const char*, const char*> expected[] = {
      {kCaptionName, "Hello1.0 安装程序"},
      {"编辑框_欢迎0", "欢迎使用 Hello 1.0-安装向导"},
      {"编辑框_协议1", "请阅读“Hello”的协议"},       // the name alone
      {"编辑框_组件0", "选择组件"},                   // set whole: GUItext.ini loses
      {"编辑框_组件1", "选择你想要安装“Hello1.0“的那些功能。"},
      {"编辑框_目录1", "选择“Hello1.0”的安装文件夹"},
      {"编辑框_目录2", "装到“Hello1.0”"},
      {"编辑框_完成0", "已完成 Hello 1.0-安装程序"},
      {"编辑框_完成1", ""},                           // an empty item empties the text
      {"编辑框_安装0", "正在安装 墨桐软件版本"},      // not a text the product fills in
      {"编辑框_安装1", "“Hello”正在安装，请稍后…"},
      {"编辑框_协议0", "许可证协议"},                 // no key: the default stays
      {kDirectoryCompanyLine, "示例公司 ——————————————————————————————————————"},
      {kLicenceCompanyLine, "示例公司 ——————————————————————————————————————"},
      {kInstallingCompanyLine, "示例公司 ——————————————————————————————————————"},
      {kSpareCompanyBox, "示例公司"},
  };
  for (const auto& [name, text] : expected) EXPECT_EQ(texts[name], text) << name;
  EXPECT_NE(texts["编辑框_欢迎1"].find("“Hello1.0”的安装进程"), std::string::npos);
}

TEST(WizardTexts, WithoutGuiTextTheDefaultsAreCompleted) {
  WizardTexts texts = LayoutTexts();
  const size_t count = texts.size();
  ApplyInstallingTitle("产品", texts);
  ApplyGuiTexts("", texts);
  ApplyGuiTexts("no items here", texts);
  ApplyProductTexts("产品", "2.5", texts);
  EXPECT_EQ(texts.size(), count);
  EXPECT_EQ(texts[kCaptionName], "产品2.5-安装向导");
  EXPECT_EQ(texts["编辑框_完成1"], "“产品 2.5”已安装在您的系统。\r\n单击 [完成] 关闭此向导。");
  EXPECT_EQ(texts["编辑框_目录2"],
            "安装向导将安装 “产品2.5” 在下列文件夹。要安装到不同文件夹，单击 [浏览] 并选择其他"
            "的文件夹。单击 [安装] 开始安装进程。");
  for (const auto& [name, text] : texts) {
    if (name == kDirectoryCompanyLine || name == kLicenceCompanyLine || name == kSpareCompanyBox ||
        name == kComponentsCompanyLine || name == kInstallingCompanyLine || name == "初始化的选择框" ||
        name == "备用_备注标题") {
      continue;
    }
    EXPECT_EQ(text.find("墨桐"), std::string::npos) << name << ": " << text;
  }
}

}  // namespace

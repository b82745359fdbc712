// The wizard's texts: layout defaults, company lines, GUItext.ini and the product texts.
#include "wizard/wizard_texts.h"

#include "install/install_config.h"
#include "runtime/items.h"
#include "runtime/text.h"

namespace {

constexpr std::string_view kNameVersion = "墨桐软件版本";
constexpr std::string_view kNameSpaceVersion = "墨桐软件 版本";
constexpr std::string_view kName = "墨桐软件";
constexpr std::string_view kCompany = "墨桐公司版权所有";
constexpr std::string_view kRule = " ——————————————————————————————————————";

// GUItext.ini keys in the order they are applied; each names the control whose text it replaces.
constexpr std::pair<const char*, const char*> kGuiTextKeys[] = {
    {"窗口标题", kCaptionName},
    {"欢迎0", "编辑框_欢迎0"}, {"欢迎1", "编辑框_欢迎1"},
    {"协议0", "编辑框_协议0"}, {"协议1", "编辑框_协议1"},
    {"组件0", "编辑框_组件0"}, {"组件1", "编辑框_组件1"},
    {"组件2", "编辑框_组件2"}, {"组件3", "编辑框_组件3"},
    {"目录0", "编辑框_目录0"}, {"目录1", "编辑框_目录1"}, {"目录2", "编辑框_目录2"},
    {"安装0", "编辑框_安装0"}, {"安装1", "编辑框_安装1"},
    {"完成0", "编辑框_完成0"}, {"完成1", "编辑框_完成1"},
};

void Replace(WizardTexts& texts, const char* name, std::string_view from, std::string_view to) {
  std::string& text = texts[name];
  text = ReplaceAll(text, from, to);
}

}  // namespace

WizardTexts LayoutTexts() {
  const std::string company_line = std::string(kCompany) + std::string(kRule);
  return {
      {kCaptionName, "墨桐软件版本-安装向导"},
      {"编辑框_欢迎0", "欢迎使用 墨桐软件 版本-安装向导"},
      {"编辑框_欢迎1",
       "这个向导将指引你完成“墨桐软件版本”的安装进程。\r\n\r\n在开始安装之前，建议先关闭其他所有"
       "应用程序。这将允许“安装程序”更新指定的系统文件，而不需要重新启动你的计算机。\r\n\r\n"
       "单击 [下一步(N)] 继续。"},
      {"编辑框_协议0", "许可证协议"},
      {"编辑框_协议1", "在安装“墨桐软件版本”之前，请阅读授权协议"},
      {kLicenceAboveLabel, "按 [PgDn] 阅读“授权协议”的其余部分。"},
      {kLicenceBelowLabel,
       "如果你接受协议中的条款，单击 [我接受(I)] 继续安装。如果你选定 [取消(C)] ，安装程序将会关"
       "闭。必须接受协议才能安装本程序。"},
      {"选择框_条款", "同意本协议的条款"},
      {"编辑框_组件0", "选择组件"},
      {"编辑框_组件1", "选择你想要安装“墨桐软件版本”的那些功能。"},
      {"编辑框_组件2", "勾选你想要安装的组件，并解除勾选你不希望安装的组件。 单击 [下一步(N)] 继续。"},
      {"编辑框_组件3", "选择安装的组件"},
      {"组件_提示框", "提示"},
      {"组件描述_编辑框", kComponentHint},
      {"编辑框_目录0", "选择安装位置"},
      {"编辑框_目录1", "选择你想要安装“墨桐软件版本”的那些功能。"},
      {"编辑框_目录2",
       "安装向导将安装 “墨桐软件版本” 在下列文件夹。要安装到不同文件夹，单击 [浏览] 并选择其他"
       "的文件夹。单击 [安装] 开始安装进程。"},
      {"分组框_目标文件夹", "目标文件夹"},
      {"标签_所需空间", "所需空间: XXMB"},
      {"标签_可用空间", "可用空间: XXGB"},
      {"编辑框_安装0", "正在安装"},
      {"编辑框_安装1", "“墨桐软件版本”正在安装，请稍后…"},
      {"解压_标签", "Waiting……"},
      {"编辑框_完成0", "已完成 墨桐软件 版本-安装程序"},
      {"编辑框_完成1", "“墨桐软件”已安装在您的系统。\r\n单击 [完成] 关闭此向导。"},
      {"初始化的选择框", "立即运行 墨桐软件"},
      {kLicenceCompanyLine, company_line},
      {kComponentsCompanyLine, company_line},
      {kDirectoryCompanyLine, company_line},
      {kInstallingCompanyLine, company_line},
      {"备用_主标题", "备用的传递消息"},
      {"备用_备注标题", "选择你想要安装“墨桐软件版本”的那些功能。"},
      {kSpareCompanyBox, company_line},
  };
}

void ApplyCompanyLines(std::string_view company, WizardTexts& texts) {
  Replace(texts, kDirectoryCompanyLine, kCompany, company);
  const std::string line = texts[kDirectoryCompanyLine];
  for (const char* name : {kComponentsCompanyLine, kLicenceCompanyLine, kInstallingCompanyLine}) {
    texts[name] = line;
  }
  texts[kSpareCompanyBox] = std::string(company);
}

void ApplyInstallingTitle(std::string_view name, WizardTexts& texts) {
  texts["编辑框_安装1"] = InstallingTitle(name);
}

void ApplyGuiTexts(std::string_view gui_text_file, WizardTexts& texts) {
  if (gui_text_file.empty()) return;
  for (const auto& [key, name] : kGuiTextKeys) {
    Bytes value;
    if (!GetItem(gui_text_file, key, value)) continue;
    texts[name] = IsEmptyItemValue(value) ? std::string() : value;
  }
}

void ApplyProductTexts(std::string_view name, std::string_view version, WizardTexts& texts) {
  const std::string joined = std::string(name) + std::string(version);
  const std::string spaced = std::string(name) + " " + std::string(version);
  Replace(texts, kCaptionName, kNameVersion, joined);
  Replace(texts, "编辑框_欢迎0", kNameSpaceVersion, spaced);
  Replace(texts, "编辑框_欢迎1", kNameVersion, joined);
  Replace(texts, "编辑框_协议1", kNameVersion, name);
  texts["编辑框_组件0"] = "选择组件";
  texts["编辑框_组件1"] = "选择你想要安装“" + joined + "“的那些功能。";
  texts["编辑框_目录1"] = "选择“" + joined + "”的安装文件夹";
  Replace(texts, "编辑框_目录2", kNameVersion, joined);
  texts["编辑框_完成0"] = "已完成 " + spaced + "-安装程序";
  Replace(texts, "编辑框_完成1", kName, spaced);
}

WizardTexts ConfiguredTexts(const InstallConfig& config, std::string_view gui_text_file) {
  WizardTexts texts = LayoutTexts();
  ApplyCompanyLines(config.company_name, texts);
  ApplyInstallingTitle(config.product_name, texts);
  ApplyGuiTexts(gui_text_file, texts);
  ApplyProductTexts(config.product_name, config.version, texts);
  return texts;
}

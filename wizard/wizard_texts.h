// Every visible text of the install wizard: the layout's defaults, the author's GUItext.ini, the
// company lines and the product name and version filled into the placeholders. The texts are kept
// by layout name, so the order of the three sources is decided here and the window only shows them.
#pragma once

#include <map>
#include <string>
#include <string_view>

struct InstallConfig;

// Layout name -> text. The window caption is kept under kCaptionName.
using WizardTexts = std::map<std::string, std::string>;

inline constexpr const char* kCaptionName = "窗口标题";
// Company lines at the bottom of the licence, components, directory and installing pages, and the
// company box of the spare header that plug-ins copy for the pages they add.
inline constexpr const char* kLicenceCompanyLine = "编辑框_协议版权";
inline constexpr const char* kComponentsCompanyLine = "编辑框_组件版权";
inline constexpr const char* kDirectoryCompanyLine = "编辑框_目录版权";
inline constexpr const char* kInstallingCompanyLine = "编辑框_安装版权";
inline constexpr const char* kSpareCompanyBox = "备用_编辑框版权";
// Labels of the licence page around the licence text, and the description box of the components
// page with its hint.
inline constexpr const char* kLicenceAboveLabel = "协议_上标签";
inline constexpr const char* kLicenceBelowLabel = "协议_下标签";
inline constexpr const char* kComponentHint = "请选择相应选项后即可生成对应信息";

// The texts the window is laid out with, placeholders included.
WizardTexts LayoutTexts();

// The company lines: the directory page's line with "墨桐公司版权所有" replaced by the company,
// copied to the licence, components and installing pages; the spare header gets the plain name.
void ApplyCompanyLines(std::string_view company, WizardTexts& texts);

// The installing page's title: "“" + name + "”正在安装，请稍后…" (set while data.ini is read, so
// GUItext.ini can still replace it).
void ApplyInstallingTitle(std::string_view name, WizardTexts& texts);

// GUItext.ini (item format, already deciphered and expanded): each key found replaces the text of
// its control; a missing file or key leaves the text as it was.
void ApplyGuiTexts(std::string_view gui_text_file, WizardTexts& texts);

// The product name and version filled into the placeholders (some texts are set whole).
void ApplyProductTexts(std::string_view name, std::string_view version, WizardTexts& texts);

// Every text of the wizard of this configuration, the sources in their order: layout, company
// lines, installing title, GUItext.ini (`gui_text_file`, empty when there is none), then the
// product name and version.
WizardTexts ConfiguredTexts(const InstallConfig& config, std::string_view gui_text_file);

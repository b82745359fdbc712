// The directory page: the checks of a chosen install folder ("ml" of data.ini), the folder a
// browse ends with, and the texts of the space panel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr const char* kDoubleBytePathMessage = "选择的路径含有中文字符，请重新选择";
inline constexpr const char* kRequiredEntryMessage = "选择的路径有误，请重新选择";
// Title of the directory-check message boxes (the message box's own default title).
inline constexpr const char* kDirectoryCheckTitle = "信息：";
inline constexpr const char* kBrowseTitle = "请选择安装目录";

// True when two bytes in a row lie in 0x81..0xFE (a GBK double-byte character, in practice).
bool ContainsDoubleByte(std::string_view path);

// The message for a normalised folder that the "ml" checks refuse, or the empty text when they
// accept it. `no_double_byte` is "ch" ("真" refuses double-byte characters); `required_entry` is
// "zwj" ("真,NAME": NAME must exist in the folder, as a file or a folder, which `exists` tells).
std::string InstallPathRefusal(std::string_view path, std::string_view no_double_byte,
                               std::string_view required_entry,
                               const std::function<bool(const std::string&)>& exists);

// The path box text after a browse that ended on `folder` (normalised): the folder, with
// "\" + `folder_name` appended when `auto_append` is set.
std::string BrowsedPathText(std::string_view folder, bool auto_append,
                            std::string_view folder_name);

// The lines of the space panel.
std::string RequiredSpaceText(uint64_t bytes);
std::string FreeSpaceText(uint64_t bytes);

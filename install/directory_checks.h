// The "ml" checks of a chosen install folder (data.ini section "ml"): no double-byte characters
// ("ch"), and an entry that must already exist inside the folder ("zwj"). The directory page runs
// them when a folder is browsed and before the install starts; the install run runs them again, so
// a folder given on the command line is checked the same way.
#pragma once

#include <functional>
#include <string>
#include <string_view>

inline constexpr const char* kDoubleBytePathMessage = "选择的路径含有中文字符，请重新选择";
inline constexpr const char* kRequiredEntryMessage = "选择的路径有误，请重新选择";
// Title of their message boxes (the message box's own default title).
inline constexpr const char* kDirectoryCheckTitle = "信息：";

// True when two bytes in a row lie in 0x81..0xFE (a GBK double-byte character, in practice).
bool ContainsDoubleByte(std::string_view path);

// The message for a normalised folder that the "ml" checks refuse, or the empty text when they
// accept it. `no_double_byte` is "ch" ("真" refuses double-byte characters); `required_entry` is
// "zwj" ("真,NAME": NAME must exist in the folder, as a file or a folder, which `exists` tells).
std::string InstallPathRefusal(std::string_view path, std::string_view no_double_byte,
                               std::string_view required_entry,
                               const std::function<bool(const std::string&)>& exists);

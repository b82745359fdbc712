// The directory page: the folder a browse ends with and the texts of the space panel (the checks
// of a chosen folder are in install/directory_checks.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* kBrowseTitle = "请选择安装目录";

// The path box text after a browse that ended on `folder` (normalised): the folder, with
// "\" + `folder_name` appended when `auto_append` is set.
std::string BrowsedPathText(std::string_view folder, bool auto_append,
                            std::string_view folder_name);

// The lines of the space panel.
std::string RequiredSpaceText(uint64_t bytes);
std::string FreeSpaceText(uint64_t bytes);

// ---- Windows (directory_page_win32.cpp) ----

// Free bytes for the user on the drive of `path` (its first character names the drive; a share
// path asks the share), counted in whole KiB as the space panel shows them; nullopt when the
// drive cannot be asked.
std::optional<uint64_t> FreeSpaceOfDrive(const std::string& path);

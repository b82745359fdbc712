// The directory page: the folder a browse ends with and the texts of the space panel (the checks
// of a chosen folder are in install/directory_checks.h).
#pragma once

#include <cstdint>
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

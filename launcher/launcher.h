// The uninst program's decisions, apart from Windows: the command line that starts the
// uninstaller, whether the launcher waits for it, and the icon file made from an icon group.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

// The launcher's own resources.
inline constexpr int kLauncherNameResource = 100;   // type "NAME": names the working folder
inline constexpr int kLauncherDataResource = 103;   // type "UNINST_DAT": optional data
// Bytes appended to the running copy of the uninstaller.
inline constexpr int64_t kUninstallerPadding = 10485760;
inline constexpr const char* kMissingDataMessage = "卸载数据丢失，无法启动卸载程序！";

// The uninstaller's command line: the copy (unquoted), the quoted install directory and working
// folder, the word "卸载", then each of the launcher's own arguments followed by one space.
std::string UninstallerCommandLine(std::string_view copy_path, std::string_view own_dir,
                                   std::string_view working_folder,
                                   const std::vector<std::string>& arguments);

// The content of the "uninst_ini" group of "uninst.dat" (the uninstall record), or empty.
Bytes UninstallRecordOf(std::string_view uninstaller_data);

// True when the uninstaller will run in the background (the record's "hp" switch text among the
// launcher's arguments, or "卸载模式" "后台卸载"): a script then waits for the launcher, which
// waits for the uninstaller and hands its exit code on.
bool RunsInBackground(std::string_view record, const std::vector<std::string>& arguments);

// An icon file (.ico) from an icon-group resource and its images, looked up by the ids the group
// names (`image_of` gives the bytes of one RT_ICON id, empty when missing). Empty when the group
// is malformed.
template <typename ImageOf>
Bytes IconFileFromGroup(std::string_view group, ImageOf image_of);
// The same over images already looked up, in the group's order.
Bytes IconFileFromGroupImages(std::string_view group, const std::vector<Bytes>& images);
// The RT_ICON ids a group names, in order; empty when it is malformed.
std::vector<int> IconGroupIds(std::string_view group);

template <typename ImageOf>
Bytes IconFileFromGroup(std::string_view group, ImageOf image_of) {
  std::vector<Bytes> images;
  for (int id : IconGroupIds(group)) images.push_back(image_of(id));
  return IconFileFromGroupImages(group, images);
}

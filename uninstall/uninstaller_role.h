// The uninstaller role of setup: started by uninst with the install directory, the working folder,
// the word "卸载" and the launcher's own arguments. It unpacks the uninstall record, decides the
// mode, runs the uninstall (in the window or silently) and cleans its folders up; the program's
// entry ends the process with the exit code it returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"
#include "uninstall/uninstall_record.h"

// UninstallMode: 1 start at once, 2 finish right after the run, 4 background.
inline constexpr int kUninstallDirect = 1;
inline constexpr int kUninstallFinishAtEnd = 2;
inline constexpr int kUninstallBackground = 4;

// The command text the mode switches are searched in: every argument from the third on, each
// followed by one space; one that holds a space is quoted again.
std::string UninstallCommandText(const std::vector<std::string>& arguments);
// The mode from the command text and the record's "卸载模式" and switch texts.
int DecideUninstallMode(std::string_view command_text, const UninstallRecord& record);
// Whether the window is shown: the content of "x_show" decides when it is not empty ("真" shows
// it), otherwise every mode but the background one.
bool UninstallWindowVisible(std::string_view x_show, int mode);

// What UninstallStart unpacks from "uninst.dat" of the install directory.
struct UninstallerFiles {
  Bytes record;            // the "uninst_ini" group, written as working folder + "\uninst.ini"
  Bytes skin;              // the "skin" group, kept in memory
  std::string data_folder;  // Temp + product name + "\", holding the four carried files; empty
                           // when the product name cannot name a folder
};
UninstallerFiles UnpackUninstaller(const std::string& install_dir, const std::string& working_folder,
                                   const std::string& temp_folder);

// The folder of the running program when it is an uninstaller working folder (below the
// temporary folder's "Uninstall"); empty otherwise, so nothing else is ever removed as one.
std::string OwnWorkingFolder(const std::string& program_path, const std::string& temp_folder);

// The whole role; returns the process's exit code.
unsigned RunUninstallerRole(const std::vector<std::string>& arguments);

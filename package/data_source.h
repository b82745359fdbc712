// Where the product data archive lies: copied out of the program file (its data block), in split
// volumes beside the program (joined when they are not in volume order), or nowhere. Sets the
// start-up state's data source once the configuration files are unpacked.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "package/progress_window.h"

// The effects of SettleDataSource that reach outside this module; tests replace them.
struct DataSourceHooks {
  std::function<std::unique_ptr<ProgressView>()> open_window;  // null: no window to show
  std::function<void(const std::string& text, const std::string& title)> show_message;
  // Runs a command line hidden in `folder` and waits until it ends. False when it did not start.
  std::function<bool(const std::string& command, const std::string& folder)> run_hidden;
};

// The real window, message box, process end and command runner.
DataSourceHooks DefaultDataSourceHooks();

// Reads data.ini of the configuration directory and sets Startup().data_source. Every temporary
// file it makes (the ".7zqev" copy, the joined volumes) is registered for the clean-up
// (package/cleanup.h). A missing volume sets Startup().stop_code (kExitMissingVolume) and
// stop_reason; the message box is shown only when a person can answer it: never in background
// mode (Startup().install_mode), which also shows no unpacking window.
void SettleDataSource();
void SettleDataSource(const DataSourceHooks& hooks);

// Message of a missing volume and its title.
inline constexpr const char* kMissingVolumeText = "缺少分卷文件:";
inline constexpr const char* kMissingVolumeTitle = "运行失败";
// Name added to a unique temporary name for the joined volumes.
inline constexpr const char* kJoinedVolumesSuffix = "datas.7z";

// ---- Pieces shared by both builds ----

// "." + n in decimal, left-padded with "0" to three digits (".001").
std::string VolumeExtension(int64_t n);
// The extension of a name: from its last "." to the end; empty without a ".".
std::string NameExtension(const std::string& name);
// True when the packaging mode asks for a data block: its text after the first "-" is not empty.
bool HasDataBlock(const std::string& packaging_mode, int64_t* size_mib);
// The copy command that joins the volumes `names` (joined by "+") into `joined`.
std::string JoinCommand(const std::string& names, const std::string& joined);

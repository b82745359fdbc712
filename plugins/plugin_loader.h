// Loading the package's plug-ins and calling them: LoadPlugins at start-up, CallPluginExport for
// every call, BroadcastMessage for the notifications. The decisions are here; what touches the
// system (the plug-in folder, files, modules, the call itself) goes through PluginSystem, so the
// loader runs natively in tests and for real on Windows.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "plugins/plugin_call.h"
#include "runtime/text.h"

// What the loader needs of the system.
class PluginSystem {
 public:
  virtual ~PluginSystem() = default;
  // The plug-in folder "qev_dll" in the user's temporary folder, without a final backslash.
  virtual std::string Folder() = 0;
  // Removes the folder with what it holds (files in use stay) and makes it again, writable only by
  // the current user; false when the folder is missing afterwards or cannot be trusted.
  virtual bool ResetFolder(const std::string& folder) = 0;
  virtual bool WriteImage(const std::string& path, std::string_view image) = 0;
  // The file's content; false when it cannot be read.
  virtual bool ReadImage(const std::string& path, Bytes& image) = 0;
  // Loads the module by its full path; 0 when it does not load.
  virtual uintptr_t LoadModule(const std::string& path) = 0;
  virtual uintptr_t FindExport(uintptr_t module, const std::string& name) = 0;
  virtual int32_t Call(uintptr_t proc, const PluginValue* args, int count) = 0;
  virtual void Wait(unsigned milliseconds) = 0;
  // A line for the install log.
  virtual void Log(const std::string& line) = 0;
};
// The real system (Windows) or one that loads nothing (the native build).
PluginSystem& DefaultPluginSystem();

// A loaded module, in load order: its file and its handle.
struct PluginModule {
  std::string path;
  uintptr_t handle = 0;
};

// The process-wide plug-in state. Every value handed to a plug-in is kept until the process ends,
// so the addresses it received stay valid (deques never move their elements).
struct PluginState {
  std::vector<PluginModule> modules;  // PluginList
  std::deque<Bytes> texts;
  std::deque<Bytes> byte_blocks;
  std::deque<int32_t> integers;
};
PluginState& CurrentPlugins();

// How often a plug-in image is written and loaded before it is given up, and the pause between.
inline constexpr int kPluginTries = 20;
inline constexpr unsigned kPluginRetryMilliseconds = 50;

// Loads the plug-ins of "QEVDLL.db" / "QEVDLL_s.ini" in `config_dir` (ending with a backslash)
// whose mode suits `run_mode` (1 installer, 2 uninstaller), calling each one's load export.
void LoadPlugins(int run_mode, const std::string& config_dir, PluginSystem& system,
                 PluginState& state);
void LoadPlugins(int run_mode, const std::string& config_dir);
// Whether "QEVDLL.db" in `config_dir` holds plug-in images at all.
bool CarriesPlugins(const std::string& config_dir, PluginSystem& system);
bool CarriesPlugins(const std::string& config_dir);

// Calls `export_name` of `module` (0: the module of `image`, loaded first) with the arguments of
// `argument_text`; -1 when the module or the export is missing.
int32_t CallPluginExport(std::string_view image, const std::string& export_name,
                         std::string_view argument_text, uintptr_t module, PluginSystem& system,
                         PluginState& state);

// The module of `image` written to `path`: the loaded one when the path is already listed.
// 0 (with a log line) when it cannot be written or loaded within kPluginTries.
uintptr_t LoadPluginModule(const std::string& path, std::string_view image, PluginSystem& system,
                           PluginState& state);

// Calls "zenu_msg" of every loaded module with the notification; the answers in load order
// (none when no plug-in is loaded).
std::vector<int32_t> BroadcastMessage(std::string_view message_text, PluginSystem& system,
                                      PluginState& state);
std::vector<int32_t> BroadcastMessage(std::string_view message_text);

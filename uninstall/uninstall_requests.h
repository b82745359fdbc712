// The uninstaller's request entry for plug-ins (found through the request window titled
// "备用的传递消息x_" + its address) and the UninstallInfo record it hands out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugins/plugin_call.h"
#include "plugins/qev_plugin.h"
#include "uninstall/uninstall_record.h"

// What the requests act on: the uninstall window.
class UninstallRequestTarget {
 public:
  virtual ~UninstallRequestTarget() = default;
  virtual uintptr_t InfoAddress() = 0;                         // 2001
  virtual void KeepPaths(const std::string& list) = 0;         // 2002: RemoveDumpList
  virtual void ShowWindowFor(bool visible) = 0;                // 2003
  virtual void SetCheckStates(const std::string& text) = 0;    // 2004
  virtual void RunWithLog(uintptr_t log_callback) = 0;         // 2010
};
void SetUninstallRequestTarget(UninstallRequestTarget* target);

// The entry plug-ins call: request code, parameter, a third value that is ignored. Returns the
// address of the UninstallInfo for 2001 and 0 for everything else.
PluginValue QEV_CALL UninstallRequestHandler(PluginValue code, PluginValue param, PluginValue value);
uintptr_t UninstallRequestEntry();

// The log callback of request 2010 (a plug-in's function address) as the run calls it: the
// percentage and the line's text.
std::function<void(int percent, const std::string& line)> PluginLogCallback(uintptr_t callback);

// The notice text of the skin (item "版权"); empty when there is none.
std::string UninstallNotice(const Bytes& skin);

// One option check box of the window as the record gives it to plug-ins.
struct UninstallOptionControl {
  void* box = nullptr;  // the check box window
};

// The UninstallInfo of the plug-in contract with the texts and option records it points at; it
// stays where it is once filled.
class UninstallInfoRecord {
 public:
  // `made[i]`: option i has its check box (the record placed the options); the others stay empty
  // and unticked.
  void Fill(uintptr_t window, const UninstallRecord& record, const std::string& install_dir,
            const std::string& notice, const std::vector<bool>& made);
  uintptr_t Address() const { return reinterpret_cast<uintptr_t>(&info_); }
  const plugin_abi::UninstallInfo& Info() const { return info_; }

 private:
  std::string name_, version_, notice_, install_dir_;
  std::vector<std::string> captions_, programs_;
  std::vector<plugin_abi::UninstallOption> options_;
  std::vector<char> array_;  // the option array block: 1, K, then K addresses
  plugin_abi::UninstallInfo info_{};
};

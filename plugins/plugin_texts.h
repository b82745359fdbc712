// The plug-in texts of a package and of the bridge: the entries of "QEVDLL.db" and
// "QEVDLL_s.ini", the encoded argument lists of the calls, and the notification texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

// One plug-in of the package: image entry i of "QEVDLL.db" with settings entry i of
// "QEVDLL_s.ini".
struct PluginEntry {
  int mode = 0;             // 0 installer only, 1 uninstaller only, 2 both
  std::string export_name;  // called once at load
  std::string arguments;    // ArgumentText of that call
  Bytes image;              // the DLL file
};

// The plain content of "QEVDLL.db": as it is when it begins with "DLLname", else decompressed
// (empty when it does not decompress).
Bytes PlainPluginImages(std::string_view file);

// The entries of both files, in package order. Entries that cannot be loaded are left out and
// described in `problems`: an image without settings entry, an empty image.
std::vector<PluginEntry> ParsePluginEntries(std::string_view images, std::string_view settings,
                                            std::vector<std::string>* problems);

// Whether a plug-in of `mode` is loaded in run mode 1 (installer) or 2 (uninstaller).
bool PluginModeMatches(int mode, int run_mode);

// One argument of a call, decoded from an ArgumentText item.
struct PluginArgument {
  enum class Kind { kZero, kText, kBytes, kInteger };
  Kind kind = Kind::kZero;
  Bytes value;          // text or bytes
  int32_t integer = 0;  // kInteger
};
// Items separated by "\r\nDLL标记$", fields by "$参数，" (name, type word, value); at most the
// first 15 items count.
std::vector<PluginArgument> ParseArgumentText(std::string_view text);

// A MessageText ("name，type，value" lines joined by "\r\n", "……" for a line break) as the
// ArgumentText the plug-ins receive.
std::string MessageToArgumentText(std::string_view message);

// True when any answer equals `value`.
bool AnyAnswerIs(const std::vector<int32_t>& answers, int32_t value);

// The notification texts, as the wizard and the uninstaller send them.
std::string PageShownMessage(int page);                 // 1001
std::string PageChangeMessage(int page, int direction); // 1002
std::string QuitMessage(bool confirmed);                // 1003
std::string PlacementMessage(int state);                // 1004
std::string FinishReadyMessage();                       // 1005
std::string UninstallMessage(int phase);                // 2000: 1 before, 2 after

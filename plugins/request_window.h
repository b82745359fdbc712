// The published request entries of the installer and the uninstaller: a hidden child window whose
// title is a prefix followed by the decimal address of the entry, so a plug-in finds the address
// among the window's children and calls it (code, param, value; standard Windows convention).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plugins/plugin_call.h"

inline constexpr std::string_view kInstallEntryPrefix = "备用的传递消息I_";
inline constexpr std::string_view kUninstallEntryPrefix = "备用的传递消息x_";

std::string RequestWindowTitle(std::string_view prefix, uintptr_t entry);
// The entry address of a title with that prefix; 0 for any other title.
uintptr_t RequestEntryOf(std::string_view title, std::string_view prefix);

// Creates the window ("Static", transparent, child, visible, clip siblings, at -999, -999 with no
// size) under `parent` (a window handle); 0 when it cannot be made. Windows only.
uintptr_t CreateRequestWindow(uintptr_t parent, std::string_view prefix, uintptr_t entry);

// A run without a window of its own (a background install or uninstall) publishes its entries in
// a hidden top-level window captioned `caption`: plug-ins look for them among the children of the
// process's top-level windows, and a hidden window is one of them and is never drawn. 0 when it
// cannot be made (no display). Windows only.
uintptr_t CreateHiddenRequestHost(std::string_view caption);

// The wizard's request event: the label whose text is "备用的传递消息" answers the message
// QEV_WIZARD_REQUEST (wParam code, lParam param) with the handler's result. False when the label
// cannot be routed. Windows only.
using WizardRequestHandler = PluginValue (*)(PluginValue code, PluginValue param);
bool RouteWizardRequests(uintptr_t label, WizardRequestHandler handler);

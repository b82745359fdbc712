// The plug-in points of the wizard: the plug-ins loaded at set-up, the installer's request entry
// and the wizard's request event they call back through, and what they are told.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "install/install_config.h"

class MainWindow;

// Publishes the request entry, routes the request event of the label "备用_主标题" and loads the
// installer's plug-ins.
void SetUpPlugins(MainWindow& window);

// A background install has no wizard window: the request entry and the request event are
// published in a hidden window of their own captioned `caption` (the wizard's caption), then the
// plug-ins are loaded. What needs the wizard's window answers as without one (no handle, no page
// inserted); `install_dir` is the folder plug-ins read and may change (PluginInstallDir), and
// `run_install` runs the install a plug-in starts with its password (request 1009; true when it
// ran). False when the package carries no plug-ins (no window is made then), or when no window
// could be made (no display): the plug-ins are loaded all the same, with nothing to call back
// through.
bool SetUpBackgroundPlugins(const std::string& caption, const std::string& install_dir,
                            std::function<bool(const std::string& password)> run_install);
// The install folder of a background install as the plug-ins left it.
std::string PluginInstallDir();

// An install a plug-in asked for (request 1009) while it was loaded, before the wizard was set up:
// the request was answered 0 and the install waits for the set-up to be done.
bool PluginInstallPending();
// The wizard is set up: the waiting install runs now through `install` (with the plug-in's
// password); from now on request 1009 installs at once.
void RunPendingPluginInstall(const std::function<void(const std::string& password)>& install);

// Next or Back is about to change the page: true when a plug-in keeps it (1002).
bool PluginsKeepPage(int page, int direction);
// The installation has run (1002 with the installing page and 1).
void TellPluginsInstallationRan();
// The user confirmed quitting: true when a plug-in keeps the wizard open (1003, 1); declined
// (1003, 0).
bool PluginsKeepWizardOpen();
void TellPluginsQuitDeclined();
// A page has been shown (1001, unless a page is being inserted) and the page callback.
void TellPluginsPageShown(int page);
// The window moved or changed size (1004).
void TellPluginsPlacement(int state);
// The finish page is set up (1005).
void TellPluginsFinishReady();
// The progress and log hooks a plug-in gave with the install request.
void TellPluginsProgress(int percent);
void TellPluginsLogLine(const std::string& line);
// A component's check box changed: true when the plug-in's check callback answered 1.
bool PluginsTakeComponentCheck(int position, bool checked);
// The selected component has no description of its own: the description callback.
void TellPluginsDescription(int position, uintptr_t description_box);
// The person ticked or unticked the box of finish option `option`: the list plug-ins hold follows.
void TellPluginsFinishTick(int option, bool ticked);
// The finish options Finish runs: the configuration's, or, once a plug-in has the list (request
// 1005), the list as it holds them now (ticks, commands, titles, visibility, or a list of its own);
// the finish page is made to show them first, so its boxes give the ticks.
std::vector<FinishOption> FinishOptionsToRun();
// Before an install: the lists a plug-in rewrote through their variables become the lists.
void TakePluginLists();
// The install started by a plug-in with its password (the wizard's install run); true when it ran.
bool StartInstallForPlugin(const std::string& password);

// The plug-in points of the wizard: the plug-ins loaded at set-up, the installer's request entry
// and the wizard's request event they call back through, and what they are told.
#pragma once

#include <cstdint>
#include <string>

class MainWindow;

// Publishes the request entry, routes the request event of the label "备用_主标题" and loads the
// installer's plug-ins.
void SetUpPlugins(MainWindow& window);

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
// Before an install: the lists a plug-in rewrote through their variables become the lists.
void TakePluginLists();
// The install started by a plug-in with its password (the wizard's install run); true when it ran.
bool StartInstallForPlugin(const std::string& password);

// The one start-up state record of the process, and the plug-in status file of start-up.
#include "package/startup.h"

#include "environment/system.h"
#include "runtime/files.h"

StartupState& Startup() {
  static StartupState state;
  return state;
}

bool WritePhaseText(const std::string& text) {
  const std::string folder = SpecialFolder(kFolderTemp) + "qev_dll";
  if (!FolderExists(folder)) return false;
  return WriteWholeFile(folder + "\\ct.ini", text);
}

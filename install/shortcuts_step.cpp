// The shortcut step of the install run over the process-wide records.
#include "install/install_run.h"
#include "install/shortcuts.h"

void CreateShortcuts() {
  InstallConfig& config = CurrentInstallConfig();
  const InstallRunState& run = CurrentInstallRun();
  const ShortcutContext context = SystemShortcutContext(
      config, run.install_dir, run.shortcut_switch_text, run.start_menu_name, CurrentComponentTree());
  CreateShortcutsWith(config.shortcuts, context, SystemShortcutEffects(), WriteLogLine);
}

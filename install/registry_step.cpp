// The registry step of the install run over the process-wide records.
#include "environment/variables.h"
#include "install/install_run.h"
#include "install/registry_entries.h"

void WriteRegistryEntries() {
  InstallRunState& run = CurrentInstallRun();
  run.uninstall_registry_list = WriteRegistryEntriesWith(
      CurrentInstallConfig(), Variables().registry_database, run.install_dir,
      SystemRegistryEffects(), WriteLogLine);
}

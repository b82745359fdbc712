// The registry step of the install run over the process-wide records.
#include "environment/variables.h"
#include "install/install_run.h"
#include "install/registry_entries.h"

void WriteRegistryEntries() {
  InstallRunState& run = CurrentInstallRun();
  RegistryStepResult result = WriteRegistryEntriesWith(
      CurrentInstallConfig(), Variables().registry_database, run.install_dir,
      SystemRegistryEffects(), WriteLogLine);
  run.uninstall_registry_list = std::move(result.uninstall_list);
  run.created_registry_keys = std::move(result.created_keys);
}

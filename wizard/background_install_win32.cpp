// The background install ("后台安装", -hp): no wizard window and nobody to answer. The plug-ins
// still reach the installer through a hidden window, may start the install themselves (with the
// install password, progress and log hooks) and hear of its progress, its log lines and its end.
#include <optional>

#include "environment/system.h"
#include "install/component_tree.h"
#include "install/install_config.h"
#include "install/install_run.h"
#include "package/startup.h"
#include "wizard/plugin_hooks.h"
#include "wizard/wizard.h"
#include "wizard/wizard_texts.h"

namespace {

// The silent answers, with the progress and the log lines passed on to the plug-ins' hooks.
class BackgroundObserver : public SilentInstallObserver {
 public:
  using SilentInstallObserver::SilentInstallObserver;
  void ShowLogLine(const std::string& line, bool) override { TellPluginsLogLine(line); }
  void SetProgress(int percent) override {
    if (percent <= shown_) return;
    shown_ = percent;
    TellPluginsProgress(percent);
  }

 private:
  int shown_ = 0;
};

}  // namespace

InstallOutcome RunBackgroundInstall() {
  StartupState& startup = Startup();
  const InstallConfig& config = LoadInstallConfig(startup, SystemRegistryReader());
  // The configuration's tree for a plug-in that installs at once while it is loaded.
  PrepareComponentTree(config, CurrentComponentTree());
  InstallPageTable(BuildPageTable(config), CurrentWizard());
  BackgroundObserver observer(startup.log_path);
  std::optional<InstallOutcome> outcome;
  // One install per process: the one a plug-in starts, or else the one started here.
  auto run = [&](const std::string* password) {
    TakePluginLists();
    InstallRequest request = RequestFromStartup(startup, PluginInstallDir());
    request.install_dir = PluginInstallDir();
    if (password) {
      request.password = *password;
      request.password_given = true;
    }
    outcome = RunInstall(request, observer);
  };
  const std::string caption = ConfiguredTexts(config, GuiTextFile(startup)).at(kCaptionName);
  SetUpBackgroundPlugins(caption, RequestFromStartup(startup, config.install_dir).install_dir,
                         [&](const std::string& password) {
                           if (outcome) return false;
                           run(&password);
                           return outcome->started;
                         });
  WritePhaseText(kPhasePluginsLoaded);
  if (!outcome) {
    // As in the wizard, the tree is filled once the plug-ins are loaded: the components of a
    // script store one of them replaced (request 1012) are the ones installed.
    PrepareComponentTree(config, CurrentComponentTree());
    WritePhaseText(kPhaseComponentsFilled);
    run(nullptr);
  }
  if (outcome->started) TellPluginsFinishReady();
  return *outcome;
}

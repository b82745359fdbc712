// OpenPackage: decides the run mode and prepares the configuration (see open_package.h).
#include "package/open_package.h"

#include "environment/system.h"
#include "environment/variables.h"
#include "package/cleanup.h"
#include "package/command_line.h"
#include "package/container.h"
#include "package/data_source.h"
#include "package/extract.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/md5.h"
#include "runtime/profile.h"

namespace {

constexpr const char* kSwitchSection = "安装包命令行";
constexpr const char* kSetupSection = "墨桐软件安装配置";
constexpr int kKeyResourceId = 250;

// The interface template identification text that every program file carries; start-up holds it
// and does nothing else with it.
const char* volatile template_mark = "★枢栎模版标识—传统界面模版—☆";

// Unpacks the configuration block of the own file into a new configuration directory.
void UnpackConfiguration(StartupState& s, const PackageHooks& hooks) {
  Bytes block = FindBlockBackward(s.program_path, kConfigEndText, kConfigStartText);
  if (block.empty()) return;
  const std::string folder = UniqueTempName() + "\\";
  if (!CreateOneFolder(folder)) return;
  RegisterTemporaryPath(folder);
  s.config_dir = folder;
  const std::string archive = folder + kConfigArchiveName;
  if (!WriteWholeFile(archive, block)) return;
  block.clear();
  block.shrink_to_fit();
  RestoreArchiveSignature(archive, 0);
  s.archive_password = Md5Hex(hooks.key_resource ? hooks.key_resource() : Bytes());
  // Whatever the extraction reports, start-up goes on: later reads simply find nothing.
  if (hooks.extract_configuration) hooks.extract_configuration(archive, folder, s.archive_password);
}

}  // namespace

PackageHooks DefaultPackageHooks() {
  PackageHooks h;
  h.command_line = ProcessCommandLine;
  h.program_path = OwnProgramPath;
  h.key_resource = [] { return OwnResource("KEY", kKeyResourceId); };
  h.extract_configuration = [](const std::string& archive, const std::string& folder,
                               const std::string& password) {
    return ExtractArchive(archive, folder, false, password);
  };
  h.settle_data_source = [] { SettleDataSource(); };
  h.build_variables = [] { BuildVariables(Startup().config_dir); };
  return h;
}

int OpenPackage() { return OpenPackage(DefaultPackageHooks()); }

int OpenPackage(const PackageHooks& hooks) {
  StartupState& s = Startup();
  const std::string line = hooks.command_line ? hooks.command_line() : std::string();
  // The log switch goes first of all, so every result from here on reaches the log, and a path
  // switch at the end of the line does not swallow it; the arguments are read without it.
  s.argument_text = ArgumentText(line);
  s.log_path = TakeLogSwitch(s.argument_text);
  s.arguments = SplitArgumentText(s.argument_text);
  s.program_path = hooks.program_path ? hooks.program_path() : std::string();
  s.program_folder = FolderOfPath(s.program_path);
  s.data_source = s.program_path;

  if (IsTestMode(s.arguments)) {
    s.run_mode_text = std::string(kInstallerModeText);
    s.config_dir = s.program_folder + "\\";
  } else {
    s.run_mode_text = ReadRunMode(s.program_path);
  }
  s.run_mode = RunModeFromText(s.run_mode_text);
  if (s.run_mode != kRunModeInstaller) {
    // No configuration names the switches: the default ones decide (a background install of a
    // program without package ends at once instead of showing an empty wizard).
    const SwitchDecision d = DecideSwitches(s.argument_text, SwitchSettings());
    s.install_mode = d.install_mode;
    return s.run_mode;
  }

  // In test mode without a configuration block the configuration stays in the program's folder.
  UnpackConfiguration(s, hooks);

  const std::string ini = s.config_dir.empty() ? std::string() : s.config_dir + "data.ini";
  auto read = [&](const char* section, const char* key) {
    return ini.empty() ? std::string() : GetProfileText(ini, section, key);
  };
  // The mode is decided before anything is shown: the data source shows no window in background
  // mode.
  SwitchSettings settings;
  settings.path = read(kSwitchSection, "p");
  settings.direct = read(kSwitchSection, "jp");
  settings.hide_end = read(kSwitchSection, "hideend");
  settings.hidden = read(kSwitchSection, "hp");
  SwitchDecision d = DecideSwitches(s.argument_text, settings);
  s.install_dir_override = d.install_dir_override;
  if (!d.install_mode.empty()) s.install_mode = d.install_mode;
  if (s.install_mode.empty()) s.install_mode = read(kSetupSection, "安装模式");
  if (d.show_finish_page != 0) s.show_finish_page = d.show_finish_page;

  if (hooks.settle_data_source) hooks.settle_data_source();
  if (s.stop_code != 0) return kRunModeInstaller;

  if (hooks.build_variables) hooks.build_variables();

  s.show_space = read(kSetupSection, "选择框_显示空间") == "真";
  if (s.show_space) s.unpacked_size = TextToInt(read(kSetupSection, "压缩原大小"));
  return kRunModeInstaller;
}

int PrepareStartup(const PackageHooks& hooks) {
  const char* held = template_mark;
  (void)held;
  // Plug-ins of an earlier run must not be loaded: the folder is made and removed with all in it.
  const std::string plugins = SpecialFolder(kFolderTemp) + "qev_dll";
  CreateOneFolder(plugins);
  RemoveFolderTree(plugins);
  const int mode = OpenPackage(hooks);
  WritePhaseText(kPhaseOpened);
  Startup().window_visible = 1;
  return mode;
}

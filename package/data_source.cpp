// The data source step of start-up (see data_source.h).
#include "package/data_source.h"

#include "environment/system.h"
#include "package/cleanup.h"
#include "package/container.h"
#include "package/exit_codes.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/process.h"
#include "runtime/profile.h"
#include "runtime/text.h"

namespace {

constexpr const char* kSetupSection = "墨桐软件安装配置";
constexpr double kMiB = 1048576.0;

// cmd takes a name with a blank or one of its own operators only inside double quotes.
bool NeedsQuotes(const std::string& name) {
  return name.find_first_of(" &()^,;=") != std::string::npos;
}

std::string QuotedIfNeeded(const std::string& name) {
  return NeedsQuotes(name) ? "\"" + name + "\"" : name;
}

}  // namespace

std::string VolumeExtension(int64_t n) {
  std::string digits = IntToText(n);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return "." + digits;
}

std::string NameExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool HasDataBlock(const std::string& packaging_mode, int64_t* size_mib) {
  const size_t dash = packaging_mode.find('-');
  if (dash == std::string::npos || dash + 1 == packaging_mode.size()) return false;
  *size_mib = TextToInt(std::string_view(packaging_mode).substr(dash + 1));
  return true;
}

std::string JoinCommand(const std::string& names, const std::string& joined) {
  std::string list;
  for (const std::string& name : SplitText(names, "+")) {
    if (!list.empty()) list += "+";
    list += QuotedIfNeeded(name);
  }
  return "cmd /c copy /b " + list + " " + QuotedIfNeeded(joined);
}

void SettleDataSource() { SettleDataSource(DefaultDataSourceHooks()); }

void SettleDataSource(const DataSourceHooks& hooks) {
  StartupState& s = Startup();
  s.data_source = s.program_path;
  const std::string ini = s.config_dir.empty() ? std::string() : s.config_dir + "data.ini";
  auto read = [&ini](const char* key) {
    return ini.empty() ? std::string() : GetProfileText(ini, kSetupSection, key);
  };
  // In background mode nobody is there to see a window or answer a box.
  const bool background = s.install_mode == kInstallModeBackground;
  auto open_window = [&hooks, background] {
    return std::make_unique<ProgressWindow>(
        hooks.open_window && !background ? hooks.open_window() : nullptr);
  };
  // Start-up stops here: the entry ends the process with the missing-volume code.
  auto missing_volume = [&hooks, &s, background](const std::string& path) {
    if (hooks.show_message && !background) {
      hooks.show_message(kMissingVolumeText + path, kMissingVolumeTitle);
    }
    s.stop_code = kExitMissingVolume;
    s.stop_reason = kMissingVolumeText + path;
  };

  int64_t size_mib = 0;
  if (HasDataBlock(read("安装包封装模式"), &size_mib)) {
    std::unique_ptr<ProgressWindow> window;
    {
      File program;
      const int64_t size = program.Open(s.program_path, File::Mode::kRead) ? program.Size() : -1;
      if (size >= 0 && double(size) - double(size_mib) * kMiB >= -0.0000001) window = open_window();
    }
    LetMessagesRun();
    // The copy names itself the data source as soon as it is made.
    FindBlockForward(
        s.program_path, kDataStartText, kDataEndText,
        [&window](int percent) {
          if (window) window->ShowProgress(percent);
        },
        true);
    window.reset();
    if (s.data_source != s.program_path) RegisterTemporaryPath(s.data_source);
  }

  const int64_t count = TextToInt(read("压缩分卷数"));
  if (count <= 0) return;
  const std::string folder = s.program_folder + "\\";
  const std::string names_text = read("压缩分卷文件名");
  if (!names_text.empty()) {
    const std::vector<std::string> names = SplitText(names_text, "+");
    if (names.empty()) return;
    bool in_order = true;
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string path = folder + names[i];
      if (!FileExists(path)) return missing_volume(path);
      if (NameExtension(names[i]) != VolumeExtension(int64_t(i) + 1)) {
        in_order = false;
        break;
      }
    }
    if (in_order || names.size() == 1) {
      s.data_source = folder + names[0];
      return;
    }
    std::string list = names_text;
    if (EndsWith(list, "+")) list.pop_back();
    const std::string joined = UniqueTempName() + kJoinedVolumesSuffix;
    RegisterTemporaryPath(joined);
    LetMessagesRun();
    std::unique_ptr<ProgressWindow> window = open_window();
    window->ShowJoining();
    // The names are relative to the program folder, so the copy runs there. A failed join is
    // found by the extraction that reads the joined file.
    if (hooks.run_hidden) hooks.run_hidden(JoinCommand(list, joined), s.program_folder);
    window.reset();
    s.data_source = joined;
    return;
  }

  const std::string product = read("墨桐软件名称");
  for (int64_t i = 1; i <= count; ++i) {
    const std::string path = folder + product + VolumeExtension(i);
    s.data_source = path;
    if (!FileExists(path)) return missing_volume(path);
  }
  if (!read("分卷大小").empty()) s.data_source = folder + product + VolumeExtension(1);
}

// The plug-in loader and the calls into plug-ins.
#include "plugins/plugin_loader.h"

#include "plugins/plugin_texts.h"
#include "runtime/md5.h"

PluginState& CurrentPlugins() {
  static PluginState state;
  return state;
}

void LoadPlugins(int run_mode, const std::string& config_dir, PluginSystem& system,
                 PluginState& state) {
  Bytes images, settings;
  system.ReadImage(config_dir + "QEVDLL.db", images);
  system.ReadImage(config_dir + "QEVDLL_s.ini", settings);
  images = PlainPluginImages(images);
  // Without plug-ins no folder is made: a silent run leaves nothing in the temporary folder.
  if (images.empty()) return;
  system.ResetFolder(system.Folder());
  std::vector<std::string> problems;
  const std::vector<PluginEntry> entries = ParsePluginEntries(images, settings, &problems);
  for (const std::string& p : problems) system.Log(p);
  for (const PluginEntry& entry : entries) {
    if (!PluginModeMatches(entry.mode, run_mode)) continue;
    CallPluginExport(entry.image, entry.export_name, entry.arguments, 0, system, state);
  }
}

void LoadPlugins(int run_mode, const std::string& config_dir) {
  LoadPlugins(run_mode, config_dir, DefaultPluginSystem(), CurrentPlugins());
}

bool CarriesPlugins(const std::string& config_dir, PluginSystem& system) {
  Bytes images;
  system.ReadImage(config_dir + "QEVDLL.db", images);
  return !PlainPluginImages(images).empty();
}

bool CarriesPlugins(const std::string& config_dir) {
  return CarriesPlugins(config_dir, DefaultPluginSystem());
}

uintptr_t LoadPluginModule(const std::string& path, std::string_view image, PluginSystem& system,
                           PluginState& state) {
  for (const PluginModule& m : state.modules)
    if (m.path == path) return m.handle;
  // A file that cannot be replaced may be held by another running installer; its name is the
  // image's digest, so it is used when it holds the same bytes.
  bool written = false;
  for (int tries = 0; tries < kPluginTries && !written; ++tries) {
    if (tries) system.Wait(kPluginRetryMilliseconds);
    written = system.WriteImage(path, image);
    Bytes present;
    if (!written && system.ReadImage(path, present) && present == image) written = true;
  }
  if (!written) {
    system.Log("插件文件无法写入: " + path);
    return 0;
  }
  uintptr_t handle = 0;
  for (int tries = 0; tries < kPluginTries && !handle; ++tries) {
    if (tries) system.Wait(kPluginRetryMilliseconds);
    handle = system.LoadModule(path);
  }
  if (!handle) {
    system.Log("插件无法加载: " + path);
    return 0;
  }
  state.modules.push_back({path, handle});
  return handle;
}

int32_t CallPluginExport(std::string_view image, const std::string& export_name,
                         std::string_view argument_text, uintptr_t module, PluginSystem& system,
                         PluginState& state) {
  const std::string folder = system.Folder();
  const bool folder_ready = system.ResetFolder(folder);
  if (module == 0) {
    if (!folder_ready) {
      system.Log("插件目录不可用: " + folder);
      return -1;
    }
    module = LoadPluginModule(folder + "\\" + Md5Hex(image) + ".dll", image, system, state);
  }
  const uintptr_t proc = module ? system.FindExport(module, export_name) : 0;
  if (proc == 0) return -1;

  PluginValue args[kMaxPluginArguments] = {};
  int k = 0;
  for (PluginArgument& a : ParseArgumentText(argument_text)) {
    switch (a.kind) {
      case PluginArgument::Kind::kText:
        if (!a.value.empty()) {
          state.texts.push_back(std::move(a.value));
          args[k] = reinterpret_cast<PluginValue>(state.texts.back().c_str());
        }
        break;
      case PluginArgument::Kind::kBytes:
        if (!a.value.empty()) {
          state.byte_blocks.push_back(std::move(a.value));
          args[k] = reinterpret_cast<PluginValue>(state.byte_blocks.back().data());
        }
        break;
      case PluginArgument::Kind::kInteger:
        state.integers.push_back(a.integer);
        args[k] = a.integer;
        break;
      case PluginArgument::Kind::kZero:
        break;
    }
    ++k;
  }
  return system.Call(proc, args, kMaxPluginArguments);
}

std::vector<int32_t> BroadcastMessage(std::string_view message_text, PluginSystem& system,
                                      PluginState& state) {
  const std::string text = MessageToArgumentText(message_text);
  std::vector<int32_t> answers;
  // A plug-in may load another while it is being told something; only those loaded now are told.
  const std::vector<PluginModule> modules = state.modules;
  for (const PluginModule& m : modules)
    answers.push_back(CallPluginExport({}, "zenu_msg", text, m.handle, system, state));
  return answers;
}

std::vector<int32_t> BroadcastMessage(std::string_view message_text) {
  return BroadcastMessage(message_text, DefaultPluginSystem(), CurrentPlugins());
}

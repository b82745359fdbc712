// The plug-in loader's system: the plug-in folder in the user's temporary folder, image files,
// modules, calls and the install log.
#include "plugins/plugin_system.h"

#include "environment/system.h"
#include "install/install_log.h"
#include "package/cleanup.h"
#include "package/startup.h"
#include "plugins/plugin_loader.h"
#include "runtime/files.h"
#include "runtime/process.h"

namespace {

class RealPluginSystem : public PluginSystem {
 public:
  std::string Folder() override { return SpecialFolder(kFolderTemp) + "qev_dll"; }
  bool ResetFolder(const std::string& folder) override {
    const bool ready = ResetPrivateFolder(folder);
    // The folder goes when the run ends, like every other temporary file: the images of the
    // loaded plug-ins cannot be deleted while this process holds them, so whatever is left then
    // is removed by a helper once the process has ended.
    if (ready && !removal_registered_) {
      removal_registered_ = true;
      RegisterCleanupAction([folder] {
        RemoveFolderTree(folder);
        if (FolderExists(folder)) RemoveFolderAfterExit(folder, std::string());
      });
    }
    return ready;
  }
  bool WriteImage(const std::string& path, std::string_view image) override {
    return WriteWholeFile(path, image);
  }
  bool ReadImage(const std::string& path, Bytes& image) override {
    image.clear();
    return ReadWholeFile(path, image);
  }
  uintptr_t LoadModule(const std::string& path) override { return LoadModuleAt(path); }
  uintptr_t FindExport(uintptr_t module, const std::string& name) override {
    return ModuleExport(module, name);
  }
  int32_t Call(uintptr_t proc, const PluginValue* args, int count) override {
    return CallPluginProc(proc, args, count);
  }
  void Wait(unsigned milliseconds) override { SleepMilliseconds(milliseconds); }
  void Log(const std::string& line) override { AppendLogFile(Startup().log_path, line); }

 private:
  bool removal_registered_ = false;
};

}  // namespace

PluginSystem& DefaultPluginSystem() {
  static RealPluginSystem system;
  return system;
}

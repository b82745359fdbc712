// The loader over a recorded system, with plug-in files as the package builder writes them: which
// plug-ins load, how often images are written and loaded, what the calls receive, and what the
// notifications answer.
#include "plugins/plugin_loader.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "runtime/compressed_file.h"
#include "runtime/md5.h"
#include "tools/config_files.h"

namespace {

struct RecordedCall {
  uintptr_t proc;
  std::vector<PluginValue> args;
  std::string text1;  // the text at argument 1, read during the call
};

class FakeSystem : public PluginSystem {
 public:
  std::map<std::string, Bytes> files;
  std::map<std::string, uintptr_t> loadable;     // path -> handle once loaded
  std::map<std::pair<uintptr_t, std::string>, uintptr_t> exports;
  std::map<uintptr_t, int32_t> answers;          // proc -> result
  std::vector<RecordedCall> calls;
  std::vector<std::string> log;
  int write_failures = 0, load_failures = 0, writes = 0, loads = 0, waits = 0, resets = 0;
  bool folder_trusted = true;
  std::set<std::string> locked;                  // files another process holds open

  std::string Folder() override { return "T\\qev_dll"; }
  bool ResetFolder(const std::string&) override {
    ++resets;
    return folder_trusted;
  }
  bool WriteImage(const std::string& path, std::string_view image) override {
    ++writes;
    if (locked.count(path)) return false;
    if (write_failures > 0) {
      --write_failures;
      return false;
    }
    files[path] = Bytes(image);
    return true;
  }
  bool ReadImage(const std::string& path, Bytes& image) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    image = it->second;
    return true;
  }
  uintptr_t LoadModule(const std::string& path) override {
    ++loads;
    if (load_failures > 0) {
      --load_failures;
      return 0;
    }
    if (!files.count(path)) return 0;
    auto it = loadable.find(files[path]);
    return it == loadable.end() ? 0 : it->second;
  }
  uintptr_t FindExport(uintptr_t module, const std::string& name) override {
    auto it = exports.find({module, name});
    return it == exports.end() ? 0 : it->second;
  }
  int32_t Call(uintptr_t proc, const PluginValue* args, int count) override {
    RecordedCall c{proc, std::vector<PluginValue>(args, args + count), {}};
    // The tests' integers are small; anything larger is the address of a text.
    if (args[0] > 0x10000) c.text1 = reinterpret_cast<const char*>(args[0]);
    calls.push_back(c);
    return answers.count(proc) ? answers[proc] : 0;
  }
  void Wait(unsigned) override { ++waits; }
  void Log(const std::string& line) override { log.push_back(line); }

  // A plug-in image: the bytes `image` load as module `handle` with `load_export` and zenu_msg.
  void Module(const Bytes& image, uintptr_t handle, const std::string& load_export) {
    loadable[image] = handle;
    exports[{handle, load_export}] = handle + 1;
    exports[{handle, "zenu_msg"}] = handle + 2;
  }
};

std::string PathOf(const Bytes& image) { return "T\\qev_dll\\" + Md5Hex(image) + ".dll"; }

// The package the builder makes from a description, as the loader finds it in the configuration
// folder: "QEVDLL.db" compressed, "QEVDLL_s.ini" plain.
void Package(FakeSystem& sys, const std::vector<PluginDescription>& plugins,
             const std::vector<std::string>& images) {
  ProductDescription d;
  d.plugins = plugins;
  PluginFiles f = BuildPluginFiles(d, images, [](const std::string& s) { return Utf8ToGbk(s); });
  sys.files["C\\QEVDLL.db"] = DeflateCompressedFile(f.images);
  sys.files["C\\QEVDLL_s.ini"] = f.settings;
}

TEST(PluginLoader, LoadsWhatSuitsTheRunOnceAndKeepsTheArguments) {
  const Bytes a = "MZ-installer", b = "MZ-uninstaller", c = "MZ-both";
  for (int run_mode : {1, 2}) {
    FakeSystem sys;
    sys.Module(a, 0x100, "Init");
    sys.Module(b, 0x200, "Init");
    sys.Module(c, 0x300, "Start");
    Package(sys,
            {{"a.dll", "Init", 0, {{"text", u8"你好"}, {"int", "-7"}, {"bytes", "xy"}}},
             {"b.dll", "Init", 1, {}},
             {"c.dll", "Start", 2, {{"text", ""}, {"int", "5"}}},
             {"c2.dll", "Start", 2, {{"text", "again"}}}},
            {a, b, c, c});
    EXPECT_TRUE(CarriesPlugins("C\\", sys));
    EXPECT_FALSE(CarriesPlugins("D\\", sys));
    PluginState state;
    LoadPlugins(run_mode, "C\\", sys, state);

    // The identical fourth image is the third's module: written and loaded once, called twice.
    ASSERT_EQ(state.modules.size(), 2u);
    const Bytes first = run_mode == 1 ? a : b;
    EXPECT_EQ(state.modules[0].path, PathOf(first));
    EXPECT_EQ(state.modules[1].path, PathOf(c));
    EXPECT_EQ(sys.writes, 2);
    ASSERT_EQ(sys.calls.size(), 3u);
    EXPECT_EQ(sys.calls[0].proc, run_mode == 1 ? 0x101u : 0x201u);
    EXPECT_EQ(sys.calls[0].args.size(), 15u);
    if (run_mode == 1) {
      EXPECT_EQ(sys.calls[0].text1, "你好");
      EXPECT_EQ(sys.calls[0].args[1], -7);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(sys.calls[0].args[2]), 2), "xy");
      // Retained: the addresses stay valid after the call.
      EXPECT_STREQ(reinterpret_cast<const char*>(sys.calls[0].args[0]), "你好");
    }
    EXPECT_EQ(sys.calls[1].proc, 0x301u);
    EXPECT_EQ(sys.calls[1].args[0], 0);  // an empty text is 0
    EXPECT_EQ(sys.calls[1].args[1], 5);
    EXPECT_EQ(sys.calls[2].text1, "again");
    for (const RecordedCall& call : sys.calls)
      for (size_t k = 3; k < 15; ++k) EXPECT_EQ(call.args[k], 0);
  }
}

TEST(PluginLoader, ImagesThatCannotBeWrittenOrLoadedAreGivenUp) {
  const Bytes a = "MZa", b = "MZb", c = "MZc";
  FakeSystem sys;
  sys.Module(a, 0x100, "Init");
  sys.Module(b, 0x200, "Init");
  sys.Module(c, 0x300, "Init");
  Package(sys, {{"a.dll", "Init", 0, {}}, {"b.dll", "Init", 0, {}}, {"c.dll", "Init", 0, {}}},
          {a, b, c});
  // a is never writable and has no copy in the folder: given up after kPluginTries, the others
  // load.
  sys.write_failures = kPluginTries;
  PluginState state;
  LoadPlugins(1, "C\\", sys, state);
  ASSERT_EQ(sys.log.size(), 1u);
  EXPECT_NE(sys.log[0].find(PathOf(a)), std::string::npos);
  EXPECT_EQ(sys.waits, kPluginTries - 1);
  ASSERT_EQ(state.modules.size(), 2u);
  EXPECT_EQ(state.modules[0].path, PathOf(b));

  // a loads on its third try; c is held open by another installer, and its copy is the same.
  sys.log.clear();
  sys.waits = 0;
  sys.load_failures = 2;
  sys.locked.insert(PathOf(c));
  PluginState state2;
  LoadPlugins(1, "C\\", sys, state2);
  ASSERT_EQ(state2.modules.size(), 3u);
  EXPECT_EQ(sys.waits, 2);
  EXPECT_TRUE(sys.log.empty());

  // A module that never loads is given up after kPluginTries.
  FakeSystem broken;
  Package(broken, {{"x.dll", "Init", 0, {}}}, {"MZx"});
  PluginState state3;
  LoadPlugins(1, "C\\", broken, state3);
  EXPECT_TRUE(state3.modules.empty());
  EXPECT_EQ(broken.loads, kPluginTries);
  ASSERT_EQ(broken.log.size(), 1u);

  // A plug-in folder that cannot be trusted gets no image at all.
  FakeSystem untrusted;
  untrusted.Module(a, 0x100, "Init");
  untrusted.folder_trusted = false;
  Package(untrusted, {{"a.dll", "Init", 0, {}}}, {a});
  PluginState state4;
  LoadPlugins(1, "C\\", untrusted, state4);
  EXPECT_EQ(untrusted.writes, 0);
  EXPECT_TRUE(state4.modules.empty());
  EXPECT_EQ(untrusted.log.size(), 1u);
}

TEST(PluginLoader, BroadcastAsksEveryModuleInLoadOrder) {
  FakeSystem sys;
  PluginState state;
  EXPECT_TRUE(BroadcastMessage("，整数型，1005", sys, state).empty());

  const Bytes a = "MZa", b = "MZb";
  sys.Module(a, 0x100, "Init");
  sys.Module(b, 0x200, "Init");
  sys.exports.erase({0x200, "zenu_msg"});  // b has no notification export
  sys.answers[0x102] = 1;
  Package(sys, {{"a.dll", "Init", 0, {}}, {"b.dll", "Init", 0, {}}}, {a, b});
  LoadPlugins(1, "C\\", sys, state);
  sys.calls.clear();
  const int resets = sys.resets;

  auto answers = BroadcastMessage("消息，整数型，1002\r\n参数一，整数型，3\r\n参数二，整数型，-1\r\n",
                                  sys, state);
  EXPECT_EQ(answers, (std::vector<int32_t>{1, -1}));
  ASSERT_EQ(sys.calls.size(), 1u);
  EXPECT_EQ(sys.calls[0].proc, 0x102u);
  EXPECT_EQ(sys.calls[0].args[0], 1002);
  EXPECT_EQ(sys.calls[0].args[1], 3);
  EXPECT_EQ(sys.calls[0].args[2], -1);
  EXPECT_EQ(sys.calls[0].args[3], 0);
  // Every call clears the plug-in folder first (the status file holds only what came since).
  EXPECT_EQ(sys.resets, resets + 2);
  EXPECT_EQ(sys.writes, 2);
}

TEST(PluginLoader, NoPluginsWithoutImages) {
  FakeSystem sys;
  sys.files["C\\QEVDLL.db"] = "\x0D\x0F\x3E\x03 not a zlib stream";
  sys.files["C\\QEVDLL_s.ini"] = "DLLmd0DLLmd_end";
  PluginState state;
  LoadPlugins(1, "C\\", sys, state);
  EXPECT_TRUE(state.modules.empty());
  EXPECT_EQ(sys.writes, 0);
  EXPECT_EQ(sys.resets, 0);  // and no plug-in folder is made
  LoadPlugins(1, "missing\\", sys, state);
  EXPECT_TRUE(state.modules.empty());
}

}  // namespace

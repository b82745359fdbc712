// Tests of the install run: the order of its steps, its refusals and exit codes, the passwords,
// the extraction progress, the clean-up, test mode, the command forms and the log file, over a
// recording window and recording steps.
#include "install/install_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>

#include "environment/system.h"
#include "package/exit_codes.h"
#include "install/install_log.h"
#include "package/startup.h"
#include "runtime/files.h"
#include "runtime/md5.h"

namespace {

using Events = std::vector<std::string>;

// One report of the archive library: member name and percentage.
struct Report {
  std::string name;
  int percent;
};

class RecordingWindow : public InstallObserver {
 public:
  explicit RecordingWindow(Events& events) : events_(events) {}
  std::string path_box = "C:\\App";
  bool answer = true;
  std::string typed;
  std::vector<int> progress;

  void LetMessagesRun() override {}
  void ShowError(const std::string& text) override { events_.push_back("error " + text); }
  bool AskPassword(const std::string& prompt, std::string& entered) override {
    events_.push_back("ask " + prompt);
    entered = typed;
    return answer;
  }
  void SetLogDisplay(int mode) override { events_.push_back("display " + std::to_string(mode)); }
  void ShowInstallingPicture(const ConfigImage&) override { events_.push_back("picture"); }
  void SelectInstallingPage() override { events_.push_back("page"); }
  void ShowLogLine(const std::string& line, bool add_to_list) override {
    events_.push_back((add_to_list ? "log " : "label ") + line);
  }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void StartTaskbarProgress() override { events_.push_back("taskbar on"); }
  void StopTaskbarProgress() override { events_.push_back("taskbar off"); }

 private:
  Events& events_;
};

class RecordingStarter : public ProgramStarter {
 public:
  explicit RecordingStarter(Events& events) : events_(events) {}
  void StartProgram(const std::string& command, bool wait, bool hidden) override {
    events_.push_back("start " + command + (wait ? " +wait" : "") + (hidden ? " +hidden" : ""));
  }

 private:
  Events& events_;
};

// A component block of the script store with its "Install" and "Unzip" bodies.
std::string Block(const std::string& name, const std::string& install, const std::string& unzip) {
  return name + "\r\n｛\r\nInstall(){\r\n" + install + "\r\n}\r\nUnzip(){\r\n" + unzip +
         "\r\n}\r\nfinish(){\r\n\r\n}\r\ndescribe(){\r\n}\r\n｝\r\n\r\n";
}

// One install over recording fakes. Extractions answer with `reports[folder]` and succeed unless
// the folder is in `failing`.
struct Fixture {
  Events events;
  RecordingWindow window{events};
  RecordingStarter starter{events};
  InstallSteps steps;
  InstallConfig config;
  ComponentTree tree;
  StartupState startup;
  InstallRunState run;
  ScriptLists lists;
  std::map<std::string, std::vector<Report>> reports;
  std::vector<std::string> failing;
  std::string failure_reason;  // the library's message of a failing extraction
  std::vector<std::string> passwords;  // archive password of every extraction

  Fixture() {
    steps.extract = [this](const std::string& archive, const std::string& folder,
                           const std::string& password,
                           const std::function<void(const std::string&, int)>& progress,
                           const std::string& include, const std::string& exclude,
                           std::string* why) {
      events.push_back("extract " + archive + " > " + folder + " [" + include + "] -[" + exclude +
                       "]");
      passwords.push_back(password);
      for (const Report& r : reports[folder]) progress(r.name, r.percent);
      const bool fails = std::find(failing.begin(), failing.end(), folder) != failing.end();
      if (fails && why) *why = failure_reason;
      return !fails;
    };
    steps.restore_signature = [this](const std::string& path, int64_t offset) {
      events.push_back("restore " + path + " @" + std::to_string(offset));
      return true;
    };
    steps.delete_file = [this](const std::string& path) { events.push_back("delete " + path); };
    steps.remove_folder = [this](const std::string& f) { events.push_back("remove " + f); };
    steps.create_shortcuts = [this] { events.push_back("shortcuts"); };
    steps.write_registry = [this] { events.push_back("registry"); };
    steps.generate_uninstaller = [this] { events.push_back("uninstaller"); };
    steps.write_batch = [this](std::string_view text) {
      events.push_back("batch " + std::string(text));
      return std::string("\"C:\\Temp\\1.tmp.bat\"");
    };
    steps.starter = &starter;
    steps.is_windows64 = [] { return true; };

    config.data_password = "safe-word";
    startup.program_path = "C:\\Setup\\setup.exe";
    startup.program_folder = "C:\\Setup";
    startup.config_dir = "C:\\Temp\\c1.tmp\\";
    startup.data_source = TempArchive();
  }

  static std::string TempArchive() { return SpecialFolder(kFolderTemp) + "d1.tmp.7zqev"; }

  InstallOutcome outcome;

  // The wizard's request: the path box, or the path switch's folder.
  bool Start(const std::string& password = std::string(), bool given = false) {
    InstallRequest request = RequestFromStartup(startup, window.path_box);
    request.password = password;
    request.password_given = given;
    request.config = &config;
    request.tree = &tree;
    request.lists = &lists;
    request.startup = &startup;
    outcome = RunInstall(request, window, steps, run);
    return outcome.started;
  }
};

TEST(InstallRun, StepsRunInTheirOrder) {
  const std::string archive = Fixture::TempArchive();
  const Events full = {
      "page",
      "start pre.exe +wait +hidden",           // "Install" section
      "log 运行程序: cmd /c echo",               // before-install program
      "start cmd /c echo",
      "restore " + archive + " @19",
      "extract " + archive + " > C:\\App\\bin [a.dll,b.dll,] -[]",
      "extract " + archive + " > C:\\App [a.txt] -[a.dll,b.dll]",
      "delete " + archive,
      "remove C:\\Temp\\c1.tmp\\",
      "shortcuts",
      "registry",
      "uninstaller",
      "log 运行程序: \"C:\\App\"\\tool.exe -s",  // after-extraction program
      "start \"C:\\App\"\\tool.exe -s +wait",
      "start post.exe +wait +hidden",          // "Unzip" section
  };
  auto without = [&](std::initializer_list<std::string> dropped) {
    Events e;
    for (const std::string& x : full) {
      bool keep = true;
      for (const std::string& d : dropped) keep = keep && x != d;
      if (keep) e.push_back(x);
    }
    return e;
  };
  struct Case {
    const char* what;
    std::function<void(Fixture&)> change;
    Events expected;
  };
  const Case cases[] = {
      {"everything", [](Fixture&) {}, full},
      {"no uninstaller unless the switch is 1", [](Fixture& f) { f.config.generate_uninstaller = 2; },
       without({"uninstaller"})},
      {"a null step is skipped",
       [](Fixture& f) {
         f.steps.create_shortcuts = nullptr;
         f.steps.write_registry = nullptr;
       },
       without({"shortcuts", "registry"})},
      {"test mode goes straight to the finish page",
       [](Fixture& f) { f.startup.arguments = {"test"}; }, Events{"page"}},
      {"no product data: the data step is skipped, the effects installed",
       [](Fixture& f) { f.startup.no_product_data = true; },
       [&] {
         Events e = without({"extract " + archive + " > C:\\App\\bin [a.dll,b.dll,] -[]",
                             "extract " + archive + " > C:\\App [a.txt] -[a.dll,b.dll]",
                             "restore " + archive + " @19"});
         e.insert(e.begin() + 4, "log 安装包没有产品数据: 跳过解压");
         return e;
       }()},
      {"\"test\" among other arguments installs", [](Fixture& f) {
         f.startup.arguments = {"test", "-hp"};
       }, full},
      {"display, picture and taskbar before the page; a plug-in may keep the page",
       [](Fixture& f) {
         f.config.log_display = 1;
         f.config.installing_picture.bytes = "\x89PNG";
         f.config.taskbar_progress = true;
         f.run.stay_on_page = true;
         f.startup.arguments = {"test"};
       },
       Events{"display 1", "picture", "taskbar on", "taskbar off"}},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.tree.Add("Main", -1, true);
    f.config.script_store =
        Block("Main", "[真]assignzip(a.txt)\r\n[真]pre.exe\r\n[假]never.exe", "[真]post.exe");
    f.config.exclusions = "%InstallPath%\\bin,-1\r\na.dll,0\r\nb.dll,0\r\n";
    f.config.generate_uninstaller = 1;
    f.config.before_install = {RunCommand{true, "cmd /c echo", false, false, ""}};
    f.config.after_extraction = {RunCommand{false, "tool.exe -s", false, true, "解压后运行"},
                                 RunCommand{false, "  ", false, true, "解压后运行"}};
    c.change(f);
    EXPECT_TRUE(f.Start()) << c.what;
    EXPECT_EQ(f.events, c.expected) << c.what;
    EXPECT_EQ(f.run.exit_code, kExitSuccess) << c.what;
    EXPECT_EQ(f.run.install_dir, "C:\\App") << c.what;
    EXPECT_EQ(f.outcome.exit_code, kExitSuccess) << c.what;
    EXPECT_EQ(f.outcome.install_dir, "C:\\App") << c.what;
    EXPECT_TRUE(f.outcome.failure.empty()) << c.what;
  }
}

TEST(InstallRun, RefusalsAndPasswords) {
  const std::string digest = Md5Hex("开门");
  struct Case {
    const char* what;
    std::string path_box;
    std::string override_dir;
    std::string digest;
    std::string password;  // passed by the caller when `given`
    bool given;
    bool answer;           // the password box: OK or cancelled
    std::string typed;
    bool started;
    unsigned code;
    Events first_events;   // up to the installing page
    std::string archive_password;
  };
  const Case cases[] = {
      {"empty path box", "", "", "", "", false, true, "", false, kExitDirectoryRefused,
       {"error 请先填写好完整的安装路径后再执行下一步操作！"}, ""},
      {"a bare drive root", "d:\\", "", "", "", false, true, "", false, kExitDirectoryRefused,
       {"error 安装路径不正确，请重新选择！"}, ""},
      {"an invalid character", "C:\\A|B", "", "", "", false, true, "", false,
       kExitDirectoryRefused, {"error 安装路径不正确，请重新选择！"}, ""},
      {"the command-line path replaces the box", "", "e:\\games\\", "", "", false, true, "", true,
       kExitSuccess, {"page"}, "safe-word"},
      {"no install password: the archive password is safe", "C:\\App", "", "", "x", true, true,
       "", true, kExitSuccess, {"page"}, "safe-word"},
      {"the caller's password matches", "C:\\App", "", digest, "开门", true, false, "", true,
       kExitSuccess, {"page"}, "开门"},
      {"the caller's password is wrong: no box, no message", "C:\\App", "", digest, "开", true,
       true, "开门", false, kExitPasswordRefused, {}, ""},
      {"typed into the box", "C:\\App", "", digest, "", false, true, "开门", true, kExitSuccess,
       {"ask 请输入安装程序的密码才可继续安装", "page"}, "开门"},
      {"typed wrong", "C:\\App", "", digest, "", false, true, "关门", false, kExitPasswordRefused,
       {"ask 请输入安装程序的密码才可继续安装"}, ""},
      {"box cancelled", "C:\\App", "", digest, "", false, false, "开门", false,
       kExitPasswordRefused, {"ask 请输入安装程序的密码才可继续安装"}, ""},
      {"the digest is compared exactly (upper-case hex differs)", "C:\\App", "",
       AsciiUpper(digest), "开门", true, true, "", false, kExitPasswordRefused, {}, ""},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.window.path_box = c.path_box;
    f.window.answer = c.answer;
    f.window.typed = c.typed;
    f.startup.install_dir_override = c.override_dir;
    f.config.password_digest = c.digest;
    EXPECT_EQ(f.Start(c.password, c.given), c.started) << c.what;
    EXPECT_EQ(f.run.exit_code, c.code) << c.what;
    EXPECT_EQ(f.run.started, c.started) << c.what;
    EXPECT_EQ(f.outcome.exit_code, c.code) << c.what;
    EXPECT_EQ(f.outcome.failure.empty(), c.started) << c.what;
    const size_t shown = std::min(f.events.size(), c.first_events.size());
    EXPECT_EQ(Events(f.events.begin(), f.events.begin() + shown), c.first_events) << c.what;
    if (!c.started) {
      EXPECT_EQ(f.events, c.first_events) << c.what << ": nothing past the refusal";
      EXPECT_TRUE(f.passwords.empty()) << c.what;
    } else {
      EXPECT_EQ(f.passwords, Events{c.archive_password}) << c.what;
    }
  }
  Fixture f;
  f.startup.install_dir_override = "e:\\games\\";
  f.Start();
  EXPECT_EQ(f.run.install_dir, "E:\\games");
}

TEST(InstallRun, MlChecksRefuseAFolderGivenAnyWay) {
  // The wizard checks a typed or browsed folder itself; a folder from the command line meets the
  // same checks in the run.
  struct Case {
    const char* ch;
    const char* zwj;
    const char* message;
  };
  const Case cases[] = {{"真", "", "error 选择的路径含有中文字符，请重新选择"},
                        {"", "真,qev-no-such-entry.exe", "error 选择的路径有误，请重新选择"}};
  for (const Case& c : cases) {
    Fixture f;
    f.startup.install_dir_override = "C:\\程序\\Hello";
    f.config.no_double_byte_path = c.ch;
    f.config.required_entry = c.zwj;
    EXPECT_FALSE(f.Start()) << c.message;
    EXPECT_EQ(f.outcome.exit_code, kExitDirectoryRefused) << c.message;
    EXPECT_EQ(f.events, Events{c.message});
  }
}

TEST(InstallRun, ExtractionProgress) {
  const std::vector<Report> group = {
      {"C:\\App\\bin\\a.dll", 0},   // the first report: the first member, logged too
      {"C:\\App\\bin\\a.dll", 50},  // a repeat: no second line
      {"C:\\App\\bin\\b.dll", 100},
  };
  const std::vector<Report> main = {
      {"C:\\App\\x.txt", 20},
      {"C:\\App\\x.txt", 10},    // backwards: the bar stays
      {"D:\\Other\\C:\\App\\y.txt", 30},  // the install directory is cut wherever it stands first
      {"", 100},                  // the end report
  };
  Fixture f;
  f.config.exclusions = "%InstallPath%\\bin,-1\r\na.dll,0\r\nb.dll,0";
  f.reports["C:\\App\\bin"] = group;
  f.reports["C:\\App"] = main;
  ASSERT_TRUE(f.Start());
  // The group fills the first half of the bar, the main extraction the second.
  EXPECT_EQ(f.window.progress, (std::vector<int>{25, 50, 60, 65, 100}));
  Events logs;
  for (const std::string& e : f.events) {
    if (StartsWith(e, "log ")) logs.push_back(e);
  }
  EXPECT_EQ(logs, (Events{"log 抽取: bin\\a.dll", "log 抽取: bin\\b.dll", "log 抽取: x.txt",
                          "log 抽取: D:\\Other\\y.txt"}));
  EXPECT_EQ(f.run.extracted_files,
            "C:\\App\\bin\\a.dll\r\nC:\\App\\bin\\b.dll\r\nC:\\App\\x.txt\r\n"
            "D:\\Other\\C:\\App\\y.txt\r\n");
  EXPECT_EQ(f.run.groups, 1);
  EXPECT_EQ(f.run.group, 2);

  // "安装过程_列表" 2 keeps lines out of the list; an empty first report starts nothing.
  Fixture g;
  g.config.log_display = 2;
  g.reports["C:\\App"] = {{"", 0}, {"C:\\App\\x.txt", 40}, {"C:\\App\\y.txt", 100}};
  ASSERT_TRUE(g.Start());
  EXPECT_EQ(g.events[0], "display 2");
  EXPECT_NE(std::find(g.events.begin(), g.events.end(), "label 抽取: y.txt"), g.events.end());
  EXPECT_EQ(std::count_if(g.events.begin(), g.events.end(),
                          [](const std::string& e) { return StartsWith(e, "label 抽取"); }),
            2);
  EXPECT_EQ(g.run.extracted_files, "C:\\App\\x.txt\r\nC:\\App\\y.txt\r\n");
  EXPECT_EQ(g.window.progress, (std::vector<int>{40, 100}));
}

TEST(InstallRun, FailedExtractionsGoOnAndSetTheExitCode) {
  struct Case {
    const char* what;
    std::vector<std::string> failing;
    std::string failure;
    std::string reason = "";
  };
  const Case cases[] = {
      {"main extraction", {"C:\\App"}, "解压数据包出错"},
      {"group", {"C:\\App\\bin"}, "解压文件组出错: C:\\App\\bin"},
      {"both: the first failure is kept", {"C:\\App\\bin", "C:\\App"}, "解压文件组出错: C:\\App\\bin"},
      {"the library's reason", {"C:\\App"},
       "解压数据包出错 (Two member names are one file on Windows: A.txt, a.txt)",
       "Two member names are one file on Windows: A.txt, a.txt"},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.config.exclusions = "%InstallPath%\\bin,-1\r\na.dll,0";
    f.failing = c.failing;
    f.failure_reason = c.reason;
    EXPECT_TRUE(f.Start()) << c.what;
    EXPECT_EQ(f.run.exit_code, kExitExtractionFailed) << c.what;
    EXPECT_FALSE(f.run.extraction_ok) << c.what;
    EXPECT_EQ(f.run.failure, c.failure) << c.what;
    EXPECT_NE(std::find(f.events.begin(), f.events.end(), "log 安装失败: " + c.failure),
              f.events.end())
        << c.what;
    EXPECT_EQ(f.events.back(), "registry") << c.what << ": the run went on to its end";
    EXPECT_NE(std::find(f.events.begin(), f.events.end(), "registry"), f.events.end()) << c.what;
  }
}

TEST(InstallRun, CleanUpConditions) {
  const std::string temp = "C:\\Users\\u\\AppData\\Local\\Temp\\";
  struct Case {
    const char* what;
    std::string archive;
    std::string program;
    bool deleted;
  };
  const Case cases[] = {
      {"copied-out data block", temp + "1a2b.tmp.7zqev", "D:\\Down\\setup.exe", true},
      {"joined volumes", temp + "1a2c.tmpdatas.7z", "D:\\Down\\setup.exe", true},
      {"volume beside the program", "D:\\Down\\p.001", "D:\\Down\\setup.exe", false},
      {"the test is case-sensitive", "c:\\users\\u\\appdata\\local\\temp\\1.tmp.7zqev",
       "D:\\Down\\setup.exe", false},
      {"the program itself, started from the temporary folder", temp + "setup.exe",
       temp + "setup.exe", false},
      {"a volume beside a program in the temporary folder", temp + "p.001", temp + "setup.exe",
       false},
      {"a data block beside a program in the temporary folder", temp + "9.tmp.7zqev",
       temp + "setup.exe", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTemporaryArchive(c.archive, temp, c.program), c.deleted) << c.what;
  }
  EXPECT_FALSE(IsTemporaryArchive(temp + "1.tmp.7zqev", "", "D:\\setup.exe"));

  struct Folder {
    std::string config_dir;
    std::string program_folder;
    bool removed;
  };
  const Folder folders[] = {
      {temp + "77.tmp\\", "D:\\Down", true},
      {"D:\\Down\\", "D:\\Down", false},
      {"D:\\Down", "D:\\Down", false},
      {"d:\\down\\", "D:\\Down", false},
      {"", "D:\\Down", false},
  };
  for (const Folder& c : folders) {
    EXPECT_EQ(RemovesConfigurationDirectory(c.config_dir, c.program_folder), c.removed)
        << c.config_dir;
  }

  // The run: an archive outside the temporary folder stays, the program file is never repaired.
  Fixture f;
  f.startup.data_source = f.startup.program_path;
  f.startup.config_dir = "C:\\Setup\\";
  f.run.alternative_archive = "E:\\plugin.7z";
  ASSERT_TRUE(f.Start());
  for (const std::string& e : f.events) {
    EXPECT_FALSE(StartsWith(e, "restore") || StartsWith(e, "delete") || StartsWith(e, "remove"))
        << e;
  }
  EXPECT_EQ(f.events[1], "extract E:\\plugin.7z > C:\\App [] -[]");
}

TEST(InstallRun, Exclusions) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<ExclusionGroup> groups;
    std::string exclude;
  };
  const Case cases[] = {
      {"one group", "%InstallPath%\\bin,-1\r\na.dll,0\r\nb.dll,0",
       {{"C:\\App\\bin", "a.dll,b.dll,"}}, "a.dll,b.dll"},
      {"members before the first group are ignored", "x.dll,0\r\nD:\\Lib,-1\r\ny.dll",
       {{"D:\\Lib", "y.dll,"}}, "y.dll"},
      {"two groups, blank lines", "\r\nD:\\A,-1\r\n\r\na\\1.txt,0,extra\r\nD:\\B,-1\r\nb.txt,7\r\n",
       {{"D:\\A", "a\\1.txt,"}, {"D:\\B", "b.txt,"}}, "a\\1.txt,b.txt"},
      {"only exactly -1 opens a group", "D:\\A,-1\r\nD:\\B, -1\r\nD:\\C,-10",
       {{"D:\\A", "D:\\B,D:\\C,"}}, "D:\\B,D:\\C"},
      {"a group without members", "D:\\A,-1", {{"D:\\A", ""}}, ""},
      {"nothing", "", {}, ""},
  };
  for (const Case& c : cases) {
    const Exclusions got = ParseExclusions(c.text, "C:\\App");
    ASSERT_EQ(got.groups.size(), c.groups.size()) << c.what;
    for (size_t i = 0; i < got.groups.size(); ++i) {
      EXPECT_EQ(got.groups[i].destination, c.groups[i].destination) << c.what;
      EXPECT_EQ(got.groups[i].include, c.groups[i].include) << c.what;
    }
    EXPECT_EQ(got.exclude, c.exclude) << c.what;
  }

  // Members of "Except.ini" join the exclusions of the "Install" sections.
  Fixture f;
  f.lists.exclude = "old.txt";
  f.config.exclusions = "D:\\A,-1\r\nnew.txt,0";
  ASSERT_TRUE(f.Start());
  EXPECT_EQ(f.lists.exclude, "old.txt,new.txt");
}

TEST(InstallRun, OverallProgress) {
  struct Case {
    int groups, group, percent, overall;
  };
  const Case cases[] = {
      {0, 0, 37, 37}, {0, 1, 100, 100}, {1, 1, 0, 0},   {1, 1, 99, 49},   {1, 2, 0, 50},
      {1, 2, 100, 100}, {2, 2, 50, 50}, {2, 3, 100, 100}, {3, 1, 100, 25}, {0, 0, 140, 100},
      {1, 1, -5, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OverallProgress(c.groups, c.group, c.percent), c.overall)
        << c.groups << "/" << c.group << " at " << c.percent;
  }
}

TEST(InstallRun, SystemFilter) {
  struct Case {
    std::string command;
    std::string on32;
    std::string on64;
  };
  const Case cases[] = {
      {"a.exe", "a.exe", "a.exe"},
      {"[sys=64]a.exe", "", "a.exe"},
      {"[sys=32]a.exe", "a.exe", ""},
      {"a.exe [sys=32,64] -x", "a.exe  -x", "a.exe  -x"},
      {"[sys=]a.exe", "[sys=]a.exe", "[sys=]a.exe"},
      {"[sys=xp]a.exe", "", ""},
      {"[sys=64 a.exe", "[sys=64 a.exe", "[sys=64 a.exe"},
      {"[sys=64]a.exe [sys=64]", "", "a.exe [sys=64]"},
      {"[sys=64位]程序.exe", "", "程序.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplySystemFilter(c.command, false), c.on32) << c.command;
    EXPECT_EQ(ApplySystemFilter(c.command, true), c.on64) << c.command;
  }
}

TEST(InstallRun, CommandForms) {
  Events batches;
  const auto write_batch = [&](std::string_view text) {
    batches.push_back(std::string(text));
    return std::string("\"C:\\T\\9.tmp.bat\"");
  };
  struct Case {
    const char* what;
    RunCommand command;
    std::string before;  // as the before-install list starts it
    std::string after;   // as the after-extraction list starts it
    Events batches;      // written by the two calls together
  };
  const Case cases[] = {
      {"inside the install directory", {false, "tool.exe -s", false, false, ""},
       "\"C:\\App\"\\tool.exe -s", "\"C:\\App\"\\tool.exe -s", {}},
      {"external, with the install path", {true, "\"%InstallPath%\\a.exe\" /x", false, false, ""},
       "\"C:\\App\\a.exe\" /x", "\"C:\\App\\a.exe\" /x", {}},
      {"filtered away", {true, "[sys=32]reg.exe", false, false, ""}, "", "", {}},
      {"batch: expanded before writing, or written as it is",
       {true, "CMD /C copy %InstallPath%\\a b%ET%[sys=64]del x", false, false, ""},
       "\"C:\\T\\9.tmp.bat\"", "\"C:\\T\\9.tmp.bat\"",
       {"CMD /C copy C:\\App\\a b%ET%del x", "CMD /C copy %InstallPath%\\a b%ET%[sys=64]del x"}},
      {"after extraction, only external commands become batches",
       {false, "x.bat%ET%y", false, false, ""}, "\"C:\\T\\9.tmp.bat\"",
       "\"C:\\App\"\\x.bat%ET%y", {"\"C:\\App\"\\x.bat%ET%y"}},
  };
  for (const Case& c : cases) {
    batches.clear();
    EXPECT_EQ(BeforeInstallCommand(c.command, "C:\\App", true, write_batch), c.before) << c.what;
    EXPECT_EQ(AfterExtractionCommand(c.command, "C:\\App", true, write_batch), c.after) << c.what;
    EXPECT_EQ(batches, c.batches) << c.what;
  }
  // A batch that cannot be written starts nothing.
  const RunCommand batch{true, "a%ET%b", false, false, ""};
  const auto failing = [](std::string_view) { return std::string(); };
  EXPECT_EQ(BeforeInstallCommand(batch, "C:\\App", false, failing), "");
  EXPECT_EQ(AfterExtractionCommand(batch, "C:\\App", false, failing), "");
}

TEST(InstallRun, InstallDirectoryCheck) {
  struct Case {
    std::string dir;
    bool accepted;
  };
  const Case cases[] = {
      {"C:\\Program Files\\产品", true},
      {"\\\\server\\share\\app", true},
      {"C:", false},
      {"\\\\server\\share", false},
      {"App", false},
      {"C:App", false},
      {"C:\\a:b", false},
      {"C:\\a?b", false},
      {"C:\\a*", false},
      {"C:\\\"a\"", false},
      {"C:\\a<b>", false},
      {"C:\\a\tb", false},
      // A double-byte character whose trail byte is "|" (0x7C) is no mark.
      {"C:\\\xDB\x7C", true},
      {"C:\\a\\..\\..", false},
  };
  for (const Case& c : cases) {
    const std::string problem = InstallDirectoryProblem(c.dir);
    EXPECT_EQ(problem.empty(), c.accepted) << c.dir;
    if (!c.accepted) {
      EXPECT_EQ(problem, kBadDirectoryMessage) << c.dir;
    }
  }
}

LogTime FixedTime() { return LogTime{2026, 3, 9, 8, 5, 7}; }

TEST(InstallRun, LogFile) {
  EXPECT_EQ(LogFileLine(FixedTime(), "抽取: a.txt"), "2026-03-09 08:05:07 " + GbkToUtf8("抽取: a.txt") + "\r\n");
  EXPECT_EQ(LogFileLine(FixedTime(), "抽取: Stra?00DFe.txt"),
            "2026-03-09 08:05:07 " + GbkToUtf8("抽取: ") + "Stra\xC3\x9F" "e.txt\r\n");
  EXPECT_EQ(InstallResultLine(kExitSuccess, ""), "安装完成 (退出代码 0)");
  EXPECT_EQ(InstallResultLine(kExitExtractionFailed, "解压数据包出错"),
            "安装失败: 解压数据包出错 (退出代码 4)");

  const LogClock previous = SetLogClock(FixedTime);
  const std::string log = SpecialFolder(kFolderTemp) + "install_run_log_" +
                          std::to_string(getpid()) + ".txt";
  DeleteFileAt(log);
  const std::string stamp = "2026-03-09 08:05:07 ";
  struct Case {
    const char* what;
    std::function<void(Fixture&)> change;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"a run with a member and a failure",
       [](Fixture& f) {
         f.reports["C:\\App"] = {{"C:\\App\\a.txt", 50}, {"C:\\App\\b.txt", 100}};
         f.failing = {"C:\\App"};
       },
       {"抽取: a.txt", "抽取: b.txt", "安装失败: 解压数据包出错", "运行程序: \"C:\\App\"\\go.exe",
        "安装失败: 解压数据包出错 (退出代码 4)"}},
      {"a refused directory", [](Fixture& f) { f.window.path_box = "C:"; },
       {"安装未开始: 安装路径不正确: C:", "安装失败: 安装路径不正确: C: (退出代码 2)"}},
      {"test mode writes nothing", [](Fixture& f) { f.startup.arguments = {"test"}; }, {}},
  };
  for (const Case& c : cases) {
    DeleteFileAt(log);
    Fixture f;
    f.startup.log_path = log;
    f.config.after_extraction = {RunCommand{false, "go.exe", false, false, "解压后运行"}};
    c.change(f);
    f.Start();
    // The entry ends every run through CloseRun: the result line with the exit code.
    if (!f.outcome.test_run) CloseRun(f.outcome.exit_code, f.outcome.failure, log);
    std::string expected;
    for (const std::string& line : c.lines) expected += stamp + GbkToUtf8(line) + "\r\n";
    Bytes written;
    ReadWholeFile(log, written);
    EXPECT_EQ(written, expected) << c.what;
  }
  DeleteFileAt(log);
  SetLogClock(previous);
}

}  // namespace

namespace {

// The background run's observer: no window; the password prompt is cancelled, a confirmation
// answered no, and each question and error is a line of the /LOG file.
TEST(InstallRun, SilentObserverAnswersAndLogs) {
  const LogClock previous = SetLogClock(FixedTime);
  const std::string log = SpecialFolder(kFolderTemp) + "install_run_silent_" +
                          std::to_string(getpid()) + ".txt";
  DeleteFileAt(log);
  Fixture f;
  f.startup.log_path = log;
  f.config.password_digest = Md5Hex("开门");
  SilentInstallObserver silent(log);
  InstallRequest request = RequestFromStartup(f.startup, "C:\\App");
  request.config = &f.config;
  request.tree = &f.tree;
  request.lists = &f.lists;
  request.startup = &f.startup;
  const InstallOutcome outcome = RunInstall(request, silent, f.steps, f.run);
  EXPECT_FALSE(outcome.started);
  EXPECT_EQ(outcome.exit_code, unsigned(kExitPasswordRefused));
  EXPECT_TRUE(f.passwords.empty()) << "nothing extracted";
  EXPECT_FALSE(silent.Confirm("继续吗?"));
  silent.ShowError("安装路径不正确，请重新选择！");
  CloseRun(outcome.exit_code, outcome.failure, log);
  Bytes written;
  ReadWholeFile(log, written);
  const std::string stamp = "2026-03-09 08:05:07 ";
  std::string expected;
  for (const std::string& line :
       {std::string(kSilentPasswordLine) + kPasswordPrompt, std::string("安装未开始: 未输入安装密码"),
        std::string(kSilentConfirmLine) + "继续吗?", std::string("错误: 安装路径不正确，请重新选择！"),
        std::string("安装失败: 未输入安装密码 (退出代码 3)")}) {
    expected += stamp + GbkToUtf8(line) + "\r\n";
  }
  EXPECT_EQ(written, expected);
  DeleteFileAt(log);
  SetLogClock(previous);
}

}  // namespace

// The install run end to end on the native build: a real 7z archive made by 7-Zip, extracted by
// the archive library's code through the default steps, with an exclusion group and clean-up.
#include <gtest/gtest.h>

#include "package/exit_codes.h"
#include "install/install_run.h"
#include "package/package_test_util.h"
#include "package/startup.h"

namespace {

using package_test::ScratchFolder;

class LineObserver : public InstallObserver {
 public:
  std::vector<std::string> lines;
  int progress = 0;

  void ShowError(const std::string& text) override { lines.push_back("error " + text); }
  bool AskPassword(const std::string&, std::string&) override { return false; }
  void ShowLogLine(const std::string& line, bool) override { lines.push_back(line); }
  void SetProgress(int percent) override { progress = percent; }
};

TEST(InstallRunEndToEnd, ExtractsGroupsAndMainArchive) {
  struct Case {
    const char* what;
    std::string safe;  // the archive password of the configuration
    unsigned code;
  };
  const Case cases[] = {
      {"right password", "Safe1", kExitSuccess},
      {"wrong password", "Wrong", kExitExtractionFailed},
  };
  for (const Case& c : cases) {
    ScratchFolder scratch("install_run_e2e");
    package_test::WriteProduct(scratch / "product");
    ASSERT_TRUE(package_test::Make7z(scratch / "product", scratch / "data.7z", "a.txt sub c.dll",
                                     "-pSafe1"));
    ASSERT_TRUE(CreateOneFolder(scratch / "config"));
    const std::string app = scratch / "App";

    InstallConfig config;
    config.data_password = c.safe;
    config.exclusions = "%InstallPath%\\lib,-1\r\nc.dll,0\r\n";
    StartupState startup;
    startup.program_path = scratch / "bin\\setup.exe";
    startup.program_folder = scratch / "bin";
    startup.config_dir = scratch / "config\\";
    startup.data_source = scratch / "data.7z";
    ComponentTree tree;
    InstallRunState run;
    ScriptLists lists;
    LineObserver window;
    InstallRequest request;
    request.install_dir = app;
    request.config = &config;
    request.tree = &tree;
    request.lists = &lists;
    request.startup = &startup;

    const InstallOutcome outcome = RunInstall(request, window, DefaultInstallSteps(), run);
    ASSERT_TRUE(outcome.started) << c.what;
    EXPECT_EQ(outcome.exit_code, c.code) << c.what;
    EXPECT_EQ(run.exit_code, c.code) << c.what;
    // The archive of the temporary folder and the configuration directory are gone either way.
    EXPECT_FALSE(FileExists(scratch / "data.7z")) << c.what;
    EXPECT_FALSE(FolderExists(scratch / "config")) << c.what;
    if (c.code != kExitSuccess) {
      EXPECT_FALSE(FileExists(app + "\\a.txt")) << c.what;
      continue;
    }
    Bytes text;
    EXPECT_TRUE(ReadWholeFile(app + "\\a.txt", text));
    EXPECT_EQ(text, "first file\r\n");
    EXPECT_EQ(FileSize(app + "\\sub\\b.txt"), 70000);
    EXPECT_TRUE(FileExists(app + "\\sub\\说明.txt"));
    EXPECT_TRUE(FileExists(app + "\\lib\\c.dll"));
    EXPECT_FALSE(FileExists(app + "\\c.dll"));
    EXPECT_EQ(window.progress, 100);
    // Every member is on the extracted-file list once, the group's first.
    const std::vector<std::string> listed = SplitText(run.extracted_files, "\r\n");
    EXPECT_EQ(listed.size(), 4u) << run.extracted_files;
    EXPECT_EQ(listed.empty() ? "" : listed[0], app + "\\lib\\c.dll");
    // Lines show members inside the install directory relative to it.
    EXPECT_NE(std::find(window.lines.begin(), window.lines.end(), "抽取: sub\\b.txt"),
              window.lines.end());
  }
}

}  // namespace

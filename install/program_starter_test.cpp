// Tests of the decisions of StartProgram: web addresses, the program and its parameters, and
// which commands go through the shell.
#include "install/program_starter.h"

#include <gtest/gtest.h>

#include "package/cleanup.h"
#include "runtime/files.h"
#include "runtime/text.h"

namespace {

TEST(ProgramStarter, SplitsProgramAndParameters) {
  struct Case {
    std::string command;
    std::string program;
    std::string parameters;
    bool shell;  // opened through the shell (the program names a drive)
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\App\\a.exe\" -s /x", "C:\\Program Files\\App\\a.exe", "-s /x", true},
      {"\"C:\\App\"\\tool.exe -s", "C:\\App\\tool.exe", "-s", true},
      {"C:\\App\\tool.exe -s", "C:\\App\\tool.exe", "-s", true},
      {"C:\\App\\tool.exe", "C:\\App\\tool.exe", "", true},
      {"\"C:\\App\\a b.exe\"", "C:\\App\\a b.exe", "", true},
      {"\"C:\\App\\a b.exe", "C:\\App\\a b.exe", "", true},
      {"cmd /c \"C:\\x y\\run.bat\"", "cmd", "/c \"C:\\x y\\run.bat\"", false},
      {"regedit /s \"C:\\a.reg\"", "regedit", "/s \"C:\\a.reg\"", false},
      {"\"C:\\T\\1.tmp.bat\"", "C:\\T\\1.tmp.bat", "", true},
      {"D:\\程序 目录\\安装.exe /q", "D:\\程序", "目录\\安装.exe /q", true},
      {"", "", "", false},
  };
  for (const Case& c : cases) {
    const ProgramAndParameters split = SplitProgramAndParameters(c.command);
    EXPECT_EQ(split.program, c.program) << c.command;
    EXPECT_EQ(split.parameters, c.parameters) << c.command;
    EXPECT_EQ(HasDriveLetter(split.program), c.shell) << c.command;
  }
}

TEST(ProgramStarter, WebAddresses) {
  struct Case {
    std::string command;
    bool web;
  };
  const Case cases[] = {
      {"http://example.org/", true},
      {"\"http://example.org/a b\"", true},
      {"\"ht\"tp://x", true},
      {"https://example.org/", false},
      {"HTTP://example.org/", false},
      {" http://example.org/", false},
      {"C:\\http://", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsWebAddressCommand(c.command), c.web) << c.command;
}

TEST(ProgramStarter, ApplicationsAreNamedByTheirFullPath) {
  const std::vector<std::string> folders = {"C:\\Windows\\system32", "C:\\Windows\\",
                                            ".", "D:\\Tools"};
  const std::vector<std::string> present = {"C:\\Windows\\system32\\cmd.exe",
                                            "C:\\Windows\\regedit.exe", "D:\\Tools\\x.com",
                                            "D:\\Tools\\cmd.exe", "D:\\Tools\\run.bat",
                                            "D:\\Tools\\plain"};
  const auto exists = [&](const std::string& path) {
    for (const std::string& p : present) {
      if (p == path) return true;
    }
    return false;
  };
  struct Case {
    std::string program;
    std::string application;
  };
  const Case cases[] = {
      {"cmd", "C:\\Windows\\system32\\cmd.exe"},  // the system folder before the search path
      {"cmd.exe", "C:\\Windows\\system32\\cmd.exe"},
      {"regedit", "C:\\Windows\\regedit.exe"},
      {"x", "D:\\Tools\\x.com"},
      {"run.bat", "D:\\Tools\\run.bat"},
      {"plain", ""},                  // without an extension only .exe and .com are tried
      {"missing", ""},                // not found: not started, never looked for beside setup
      {"sub\\tool.exe", ""},          // relative to the installer's folder
      {"..\\tool.exe", ""},
      {"C:\\App\\a.exe", "C:\\App\\a.exe"},
      {"\\\\server\\share\\a.exe", "\\\\server\\share\\a.exe"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveApplication(c.program, folders, exists), c.application) << c.program;
  }
}

TEST(ProgramStarter, BatchFilesEndByRemovingThemselves) {
  const std::string last = std::string(kBatchSelfRemoval) + "\r\n";
  struct Case {
    std::string command;
    std::string text;
  };
  const Case cases[] = {
      {"cmd /c copy a b%ET%del c", "copy a b\r\ndel c\r\n" + last},
      {"CMD /C echo x%ET%", "echo x\r\n" + last},  // no empty line before the last one
      {"echo 安装%ET%%ET%exit /b 1", "echo 安装\r\n\r\nexit /b 1\r\n" + last},
      {"%ET%", "\r\n" + last},
  };
  for (const Case& c : cases) EXPECT_EQ(BatchFileText(c.command), c.text) << c.command;
}

// The installer's side of a batch file's life: a run that was waited for, or never started,
// leaves nothing; one still running at the end is left to remove itself.
TEST(ProgramStarter, OwnBatchFilesGoWhenTheirRunsHaveEnded) {
  auto path_of = [](const std::string& command) { return command.substr(1, command.size() - 2); };
  const std::string waited = path_of(WriteBatchCommand("echo 1"));
  const std::string never_started = path_of(WriteBatchCommand("echo 2"));
  const std::string still_running = path_of(WriteBatchCommand("echo 3"));
  const std::string ended_later = path_of(WriteBatchCommand("echo 4"));
  for (const std::string& path : {waited, never_started, still_running, ended_later}) {
    ASSERT_TRUE(FileExists(path)) << path;
    EXPECT_TRUE(IsOwnBatchFile(path)) << path;
    EXPECT_TRUE(IsOwnBatchFile(AsciiUpper(path))) << "names match without letter case";
  }
  EXPECT_FALSE(IsOwnBatchFile(waited + "x"));

  BatchRunEnded(waited);
  EXPECT_FALSE(FileExists(waited));
  EXPECT_FALSE(IsOwnBatchFile(waited));
  BatchRunGoesOn(still_running, [] { return true; });
  BatchRunGoesOn(ended_later, [] { return false; });

  // The end of the process runs the registered clean-up.
  RemoveTemporaryPaths();
  EXPECT_FALSE(FileExists(never_started));
  EXPECT_FALSE(FileExists(ended_later));
  EXPECT_TRUE(FileExists(still_running)) << "a running batch is not cut off";
  EXPECT_FALSE(IsOwnBatchFile(still_running));
  DeleteFileAt(still_running);
}

}  // namespace

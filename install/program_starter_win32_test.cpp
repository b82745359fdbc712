// The system program starter on Windows: command lines, programs opened through the shell from
// their own folder, parameters and batch commands, each waited for and leaving a file behind.
#include <windows.h>

#include <gtest/gtest.h>

#include "environment/system.h"
#include "install/program_starter.h"
#include "runtime/files.h"
#include "runtime/wide_win32.h"

namespace {

TEST(SystemProgramStarter, StartsAndWaits) {
  const std::string dir = UniqueTempName() + " starter";
  ASSERT_TRUE(CreateFolderLevels(dir));
  const std::string q = "\"" + dir + "\\";
  // The batch writes its first parameter into a file named after it in the current folder, which
  // must be the program's own folder.
  ASSERT_TRUE(WriteWholeFile(dir + "\\make it.bat", "@echo %1>%1.txt\r\n"));
  struct Case {
    const char* what;
    std::string command;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"a command line", "cmd /c echo one>" + q + "one.txt\"", {"one.txt"}},
      {"a program through the shell, with a parameter", q + "make it.bat\" two", {"two.txt"}},
      {"a batch command", WriteBatchCommand("cmd /c echo three>" + q + "three.txt\"%ET%echo four>" +
                                            q + "four.txt\""),
       {"three.txt", "four.txt"}},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.command.empty()) << c.what;
    SystemProgramStarter().StartProgram(c.command, true, true);
    for (const std::string& file : c.files) {
      EXPECT_TRUE(FileExists(dir + "\\" + file)) << c.what << ": " << file;
    }
  }
  RemoveFolderTree(dir);
}

// Batch files leave the temporary folder: one waited for as soon as it has ended (also when it
// leaves early through "exit"), one not waited for by its own last line, after its work.
TEST(SystemProgramStarter, BatchFilesLeaveNothingBehind) {
  const std::string dir = UniqueTempName() + " batches";
  ASSERT_TRUE(CreateFolderLevels(dir));
  const std::string q = "\"" + dir + "\\";
  auto path_of = [](const std::string& command) { return command.substr(1, command.size() - 2); };

  const std::string early = WriteBatchCommand("echo a>" + q + "a.txt\"%ET%exit /b 3%ET%echo b>" + q + "b.txt\"");
  SystemProgramStarter().StartProgram(early, true, true);
  EXPECT_TRUE(FileExists(dir + "\\a.txt"));
  EXPECT_FALSE(FileExists(dir + "\\b.txt")) << "the batch left at its exit";
  EXPECT_FALSE(FileExists(path_of(early))) << "removed once its run had ended";

  const std::string later =
      WriteBatchCommand("cmd /c ping -n 2 127.0.0.1 >nul%ET%echo c>" + q + "c.txt\"");
  SystemProgramStarter().StartProgram(later, false, true);
  // The end of the installer while the batch still runs (cmd reads it line by line) must leave it
  // in place, or its last lines would never run.
  RemoveEndedBatchFiles();
  for (int i = 0; i < 600 && (FileExists(path_of(later)) || !FileExists(dir + "\\c.txt")); ++i) {
    Sleep(50);
  }
  EXPECT_TRUE(FileExists(dir + "\\c.txt")) << "the batch ran to its end";
  EXPECT_FALSE(FileExists(path_of(later))) << "and removed itself";
  RemoveFolderTree(dir);
}

// A bare name never runs the program of that name in the current folder (the installer's): the
// system's is found first.
TEST(SystemProgramStarter, BareNamesAreNotTakenFromTheCurrentFolder) {
  const std::string dir = UniqueTempName() + " planted";
  ASSERT_TRUE(CreateFolderLevels(dir));
  // A "cmd.exe" beside the installer: a copy of the system's find.exe, which would fail to run
  // "/c echo" and write nothing.
  ASSERT_TRUE(CopyFileW(ToWide(SpecialFolder(10) + "find.exe").c_str(),
                        ToWide(dir + "\\cmd.exe").c_str(), FALSE));
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(ToWide(dir).c_str()));
  SystemProgramStarter().StartProgram("cmd /c echo real>\"" + dir + "\\real.txt\"", true, true);
  SetCurrentDirectoryW(previous);
  EXPECT_TRUE(FileExists(dir + "\\real.txt")) << "the system's cmd.exe ran";
  RemoveFolderTree(dir);
}

}  // namespace

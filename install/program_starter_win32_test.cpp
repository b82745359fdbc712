// The system program starter on Windows: command lines, programs opened through the shell from
// their own folder, parameters and batch commands, each waited for and leaving a file behind.
#include <gtest/gtest.h>

#include "environment/system.h"
#include "install/program_starter.h"
#include "runtime/files.h"

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

}  // namespace

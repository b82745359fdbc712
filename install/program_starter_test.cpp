// Tests of the decisions of StartProgram: web addresses, the program and its parameters, and
// which commands go through the shell.
#include "install/program_starter.h"

#include <gtest/gtest.h>

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

}  // namespace

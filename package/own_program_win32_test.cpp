// The own-process facts on Windows: the module path, the command line as GBK, the resources.
#include <gtest/gtest.h>

#include "package/command_line.h"
#include "package/open_package.h"
#include "runtime/files.h"

TEST(OwnProgram, PathCommandLineAndResources) {
  const std::string path = OwnProgramPath();
  EXPECT_TRUE(EndsWith(AsciiLower(path), "package_tests.exe")) << path;
  EXPECT_TRUE(FileExists(path)) << path;
  EXPECT_FALSE(ProcessCommandLine().empty());
  // The test program carries no "KEY" resource; setup.exe does.
  EXPECT_TRUE(OwnResource("KEY", 250).empty());
}

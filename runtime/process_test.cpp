// The process end: exit code reaches the parent and buffered output is not flushed.
#include "runtime/process.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(ProcessDeathTest, EndProcessExitsWithTheCodeAtOnce) {
  EXPECT_EXIT(
      {
        std::printf("never flushed");
        EndProcess(3);
      },
      ::testing::ExitedWithCode(3), "");
  LetMessagesRun();  // nothing waits, nothing blocks
}

}  // namespace

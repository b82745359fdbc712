// The browsed folder and the space panel's lines.
#include "wizard/directory_page.h"

#include <gtest/gtest.h>

namespace {

TEST(DirectoryPage, BrowsedFolderAndSpaceLines) {
  EXPECT_EQ(BrowsedPathText("D:", true, "Product"), "D:\\Product");
  EXPECT_EQ(BrowsedPathText("E:\\games", false, "Product"), "E:\\games");
  EXPECT_EQ(RequiredSpaceText(1024), "所需空间: 1KB");
  EXPECT_EQ(FreeSpaceText(1610612736), "可用空间: 1.5GB");
}

}  // namespace

// Tests of the clean-up list: registered files and folders go, newest first, actions run in their
// place, twice-registered paths once, and the list is empty afterwards.
#include "package/cleanup.h"

#include <gtest/gtest.h>

#include "environment/system.h"
#include "runtime/files.h"

namespace {

TEST(Cleanup, RemovesRegisteredFilesAndFoldersNewestFirst) {
  RemoveTemporaryPaths();
  const std::string temp = SpecialFolder(kFolderTemp);
  const std::string folder = UniqueTempName() + "\\";
  ASSERT_TRUE(CreateFolderLevels(folder + "inner"));
  ASSERT_TRUE(WriteWholeFile(folder + "inner\\a.dll", "x"));
  const std::string file = UniqueTempName() + ".7zqev";
  ASSERT_TRUE(WriteWholeFile(file, "data"));
  const std::string kept = UniqueTempName() + ".keep";
  ASSERT_TRUE(WriteWholeFile(kept, "stays"));

  std::vector<std::string> order;
  RegisterTemporaryPath(folder);
  // An action registered after the folder runs while the folder is still there.
  RegisterCleanupAction([&] { order.push_back(FolderExists(folder) ? "action, folder there" : "late"); });
  RegisterTemporaryPath(file);
  RegisterTemporaryPath(file);  // once
  RegisterTemporaryPath(kept);
  ForgetTemporaryPath(kept);
  RegisterTemporaryPath("");
  RegisterTemporaryPath(temp + "never-made.tmp");  // already gone: skipped

  std::string bare = folder;
  bare.pop_back();
  EXPECT_EQ(TemporaryPaths(), (std::vector<std::string>{bare, file, temp + "never-made.tmp"}));
  RemoveTemporaryPaths();
  EXPECT_EQ(order, std::vector<std::string>{"action, folder there"});
  EXPECT_FALSE(FolderExists(folder));
  EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(FileExists(kept));
  EXPECT_TRUE(TemporaryPaths().empty());
  DeleteFileAt(kept);
}

}  // namespace

// The installer file writer: marker checks across copy blocks, cut setup images, altered
// signatures and volume names.
#include "tools/installer_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "package/container.h"
#include "package/extract.h"

namespace fs = std::filesystem;

namespace {

class Writer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qevpack_writer_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    Put("setup.exe", "MZ setup image");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }
  InstallerParts Parts(const std::string& data_path) {
    InstallerParts parts;
    parts.setup_path = (dir_ / "setup.exe").string();
    parts.config_archive = "7z config";
    parts.data_archive_path = data_path;
    return parts;
  }
  fs::path dir_;
};

TEST_F(Writer, MarkersInTheDataAreFoundAcrossCopyBlocks) {
  const size_t kBlock = 1 << 22;  // the writer's copy block
  const Bytes markers[] = {Marker(kDataEndText), Marker(kConfigEndText)};
  for (const Bytes& marker : markers) {
    for (size_t at : {size_t{10}, kBlock - 5, kBlock - marker.size(), kBlock + 3}) {
      std::string data(kBlock + 100, 'd');
      data.replace(at, marker.size(), marker);
      std::string error;
      const std::string out = (dir_ / "out.exe").string();
      EXPECT_FALSE(WriteInstallerFile(Parts(Put("data.7z", data)), out, error)) << at;
      EXPECT_FALSE(fs::exists(out));
    }
  }
  // A marker cut short by the block border is no marker.
  std::string data(kBlock + 100, 'd');
  const Bytes end = Marker(kDataEndText);
  data.replace(kBlock - 4, 4, end.substr(0, 4));
  std::string error;
  const std::string out = (dir_ / "out.exe").string();
  ASSERT_TRUE(WriteInstallerFile(Parts(Put("data.7z", data)), out, error)) << error;
  EXPECT_EQ(FindBlockForward(out, kDataStartText, kDataEndText), data);
  EXPECT_EQ(FindBlockBackward(out, kConfigEndText, kConfigStartText), "7z config");
}

TEST_F(Writer, RefusesPartsThatMisleadTheSearches) {
  std::string error;
  const std::string out = (dir_ / "out.exe").string();
  InstallerParts parts = Parts("");
  parts.config_archive = "7z" + Marker(kConfigStartText) + "rest";
  EXPECT_FALSE(WriteInstallerFile(parts, out, error));
  Put("setup.exe", "MZ" + Marker(kDataStartText));
  EXPECT_FALSE(WriteInstallerFile(Parts(""), out, error));
  Put("setup.exe", "");
  EXPECT_FALSE(WriteInstallerFile(Parts(""), out, error));
  EXPECT_FALSE(WriteInstallerFile(Parts((dir_ / "missing.7z").string()), out, error));
}

TEST_F(Writer, AlteredSignatureIsRestoredByTheInstaller) {
  const std::string signature("7z\xBC\xAF\x27\x1C\x00\x03", 8);
  std::string archive = signature + "body";
  AlterSignature(archive);
  EXPECT_NE(archive.substr(0, 8), signature);
  EXPECT_NE(archive.substr(1, 8), signature);
  const std::string path = Put("altered.7z", archive);
  ASSERT_TRUE(RestoreArchiveSignature(path, 0));
  std::ifstream in(path, std::ios::binary);
  std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, signature + "body");
}

TEST(VolumeNames, OrderedUnorderedCounted) {
  EXPECT_EQ(VolumeNames(VolumeNaming::kOrdered, "A", 2), (std::vector<std::string>{"A.001", "A.002"}));
  EXPECT_EQ(VolumeNames(VolumeNaming::kCounted, "A", 1), (std::vector<std::string>{"A.001"}));
  EXPECT_EQ(VolumeNames(VolumeNaming::kUnordered, "A", 2),
            (std::vector<std::string>{"A.part1", "A.part2"}));
  EXPECT_EQ(VolumeNames(VolumeNaming::kOrdered, "A", 1000).back(), "A.1000");
}

}  // namespace

// The library directory on FAT and HFS drives, the open modes, the existing-
// library test, and the small file operations.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/files/library_files.h"
#include "support/faulty_file_door.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

TEST(LibraryPath, AssemblesTheDirectoryByFileSystem) {
  char out[512];
  ASSERT_EQ(LibraryPath(out, "/media/stick/", kFileSystemHfs, "QVDB.DB"), 1);
  EXPECT_STREQ(out, "/media/stick/.QUORVEN/LIBRARY/QVDB.DB");
  ASSERT_EQ(LibraryPath(out, "/media/stick/", kFileSystemOther, nullptr), 1);
  EXPECT_STREQ(out, "/media/stick/QUORVEN/LIBRARY");
  // 511 bytes fit the work area; one more does not.
  std::string drive = "/" + std::string(486, 'd') + "/";
  EXPECT_EQ(LibraryPath(out, drive.c_str(), kFileSystemFat, "QVTL.DB"), 1);
  drive += 'd';
  EXPECT_EQ(LibraryPath(out, drive.c_str(), kFileSystemFat, "QVTL.DB"), 0);
  EXPECT_STREQ(out, "");
}

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OpenBuild(drive_.str().c_str(), kFileSystemFat), 0); }
  void TearDown() override { CloseBuild(); }
  LibraryBuilder* b() { return TheBuildContext().builder; }
  int Open(const char* name, int flags) {
    return OpenLibraryFile(b(), name, flags, flags & O_CREAT ? 0777 : 0);
  }
  test::TempDir drive_;
  test::FaultyFileDoor door_;
};

TEST_F(PathsTest, OpenCreatesTheDirectoriesAndOpensEveryFileToAll) {
  test::ScopedFileDoor scoped(&door_);
  door_.FailNth(test::FileOp::kFchmod, 1);  // ignored, like a failed directory
  ASSERT_GE(Files().Close(Open(kBrowseFileName, O_RDWR | O_CREAT)), 0);
  fs::path file = drive_.path() / "QUORVEN" / "LIBRARY" / "QVTL.DB";
  ASSERT_GE(Files().Close(Open(kTrackFileName, O_RDWR | O_CREAT)), 0);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::all);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  door_.FailFrom(test::FileOp::kMkdir, 1);
  ASSERT_GE(Files().Close(Open(kTrackFileName, O_RDWR)), 0);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::all);
  EXPECT_EQ(Open(kPendingFileName, O_RDWR), -1);
  fs::remove_all(drive_.path() / "QUORVEN");
  EXPECT_EQ(Open(kTrackFileName, O_RDWR | O_CREAT), -1);
}

TEST_F(PathsTest, ReadSeekWriteRemoveAndRename) {
  int fd = Open(kCompactTrackFileName, O_RDWR | O_CREAT);
  uint8_t bytes[30], in[40] = {};
  for (int i = 0; i < 30; ++i) bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(WriteLibraryItems(b(), bytes, 3, 10, fd), 10u);
  EXPECT_EQ(SeekLibraryFile(b(), fd, -10, SEEK_END), 0);
  EXPECT_EQ(ReadLibraryItems(b(), in, 4, 10, fd), 2u);  // 10 bytes left
  EXPECT_EQ(in[0], 20);
  EXPECT_EQ(SeekLibraryFile(b(), fd, -100, SEEK_SET), -1);
  EXPECT_EQ(ReadLibraryItems(b(), in, 4, 1, -1), 0u);  // a failed call counts nothing
  EXPECT_EQ(WriteLibraryItems(b(), in, 4, 1, -1), 0u);
  Files().Close(Open(kTrackFileName, O_RDWR | O_CREAT));
  // The new file replaces the old one; the descriptor is closed either way.
  EXPECT_EQ(RenameLibraryFile(b(), fd, kCompactTrackFileName, kTrackFileName), 0);
  EXPECT_EQ(Files().Close(fd), -1);
  std::string dir = test::LibraryDirectory(drive_.str());
  EXPECT_FALSE(fs::exists(dir + "QVTB.DB"));
  EXPECT_EQ(test::ReadFileBytes(dir + "QVTL.DB").size(), 30u);
  EXPECT_EQ(RenameLibraryFile(b(), Open(kBrowseFileName, O_RDWR | O_CREAT), kCompactTrackFileName,
                              kTrackFileName),
            -1);
  EXPECT_EQ(RemoveLibraryFile(b(), kTrackFileName), 0);
  EXPECT_EQ(RemoveLibraryFile(b(), kTrackFileName), -1);
  // A drive path that fits its record but not with the directories.
  CloseBuild();
  std::string deep = drive_.str(true) + std::string(495 - drive_.str(true).size(), 'x');
  ASSERT_EQ(OpenBuild(deep.c_str(), kFileSystemFat), 0);
  test::ScopedFileDoor scoped(&door_);
  EXPECT_EQ(Open(kTrackFileName, O_RDWR | O_CREAT), -1);
  EXPECT_EQ(RenameLibraryFile(b(), -1, kCompactTrackFileName, kTrackFileName), -1);
  EXPECT_EQ(std::tuple(door_.Calls(test::FileOp::kMkdir), door_.Calls(test::FileOp::kOpen)), std::tuple(0, 0));
}

TEST(CheckExistingLibrary, NeedsTheFilesAndCreatesNothing) {
  for (uint32_t kind : {kFileSystemFat, kFileSystemHfs}) {
    test::TempDir drive;
    const std::string root = drive.str(true), dir = test::LibraryDirectory(drive.str(), kind);
    EXPECT_EQ(CheckExistingLibrary(root.c_str(), kind), -1);
    EXPECT_TRUE(fs::is_empty(drive.path()));
    fs::create_directories(dir);
    for (const char* name : {"QVDB.DB", "QVTL.DB", "QVBL.DB"}) {
      EXPECT_EQ(CheckExistingLibrary(root.c_str(), kind), -1) << name;  // one file still missing
      test::WriteFileBytes(dir + name, {});
    }
    EXPECT_EQ(std::tuple(CheckExistingLibrary(root.c_str(), kind), CheckExistingLibrary(root.c_str(), 3 - kind)), std::tuple(0, -1));
  }
}

}  // namespace
}  // namespace qv

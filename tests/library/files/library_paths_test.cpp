// The library directory on FAT and HFS drives, the open modes, the existing-
// library test, and the small file operations.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

class PathsTest : public ::testing::Test {
 protected:
  void Open(uint32_t kind, const std::string& root) { ASSERT_EQ(OpenBuild(root.c_str(), kind), 0); }
  void TearDown() override { CloseBuild(); }
  LibraryBuilder* builder() { return TheBuildContext().builder; }
  // Opens a library file and closes it again; whether it opened.
  bool OpenAndClose(const char* name, int flags) {
    int fd = OpenLibraryFile(builder(), name, flags, flags & O_CREAT ? 0777 : 0);
    if (fd >= 0) Files().Close(fd);
    return fd >= 0;
  }

  test::TempDir drive_;
};

TEST(LibraryPath, AssemblesTheDirectoryByFileSystem) {
  char out[512];
  ASSERT_EQ(LibraryPath(out, "/media/stick/", kFileSystemFat, "QVTL.DB"), 1);
  EXPECT_STREQ(out, "/media/stick/QUORVEN/LIBRARY/QVTL.DB");
  ASSERT_EQ(LibraryPath(out, "/media/stick/", kFileSystemHfs, "QVDB.DB"), 1);
  EXPECT_STREQ(out, "/media/stick/.QUORVEN/LIBRARY/QVDB.DB");
  ASSERT_EQ(LibraryPath(out, "/media/stick/", kFileSystemOther, nullptr), 1);
  EXPECT_STREQ(out, "/media/stick/QUORVEN/LIBRARY");
  // 511 bytes fit the work area; one more does not.
  std::string drive = "/" + std::string(486, 'd') + "/";
  ASSERT_EQ(drive.size() + std::string("QUORVEN/LIBRARY/QVTL.DB").size(), 511u);
  EXPECT_EQ(LibraryPath(out, drive.c_str(), kFileSystemFat, "QVTL.DB"), 1);
  drive = "/" + std::string(487, 'd') + "/";
  EXPECT_EQ(LibraryPath(out, drive.c_str(), kFileSystemFat, "QVTL.DB"), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(PathsTest, OpenCreatesBothDirectoriesOnFat) {
  Open(kFileSystemFat, drive_.str());
  ASSERT_TRUE(OpenAndClose(kTrackFileName, O_RDWR | O_CREAT));
  fs::path file = drive_.path() / "QUORVEN" / "LIBRARY" / "QVTL.DB";
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::all);
  // A second file of the same job finds the directories in place.
  ASSERT_TRUE(OpenAndClose(kBrowseFileName, O_RDWR | O_CREAT));
  // An existing file opened without create gets its permissions set too.
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(OpenAndClose(kTrackFileName, O_RDWR));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::all);
  EXPECT_EQ(OpenLibraryFile(builder(), kPendingFileName, O_RDWR, 0), -1);
}

TEST_F(PathsTest, APathTooLongForItsAreaFailsBeforeCreatingAnything) {
  // The drive path fits its record, but with the directories it does not.
  std::string deep = drive_.str(true) + std::string(495 - drive_.str(true).size(), 'x');
  ASSERT_EQ(OpenBuild(deep.c_str(), kFileSystemFat), 0);
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  EXPECT_EQ(OpenLibraryFile(builder(), kTrackFileName, O_RDWR | O_CREAT, 0777), -1);
  EXPECT_EQ(door.Calls(test::FileOp::kMkdir), 0);
  EXPECT_EQ(door.Calls(test::FileOp::kOpen), 0);
  EXPECT_EQ(RemoveLibraryFile(builder(), kTrackFileName), -1);
}

TEST_F(PathsTest, FailedDirectoryCreationAndPermissionChangeAreIgnored) {
  Open(kFileSystemFat, drive_.str());
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  door.FailNth(test::FileOp::kFchmod, 1);
  ASSERT_TRUE(OpenAndClose(kTrackFileName, O_RDWR | O_CREAT));
  EXPECT_TRUE(door.Fired());
  door.FailFrom(test::FileOp::kMkdir, 1);
  ASSERT_TRUE(OpenAndClose(kTrackFileName, O_RDWR));  // directories exist already
  fs::remove_all(drive_.path() / "QUORVEN");
  EXPECT_EQ(OpenLibraryFile(builder(), kTrackFileName, O_RDWR | O_CREAT, 0777), -1);
}

TEST_F(PathsTest, ReadSeekAndWriteCountWholeItems) {
  Open(kFileSystemFat, drive_.str());
  int fd = OpenLibraryFile(builder(), kPendingFileName, O_RDWR | O_CREAT, 0777);
  ASSERT_GE(fd, 0);
  uint8_t bytes[30] = {};
  for (int i = 0; i < 30; ++i) bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(WriteLibraryItems(builder(), bytes, 3, 10, fd), 10u);
  EXPECT_EQ(SeekLibraryFile(builder(), fd, -10, SEEK_END), 0);
  uint8_t in[40] = {};
  EXPECT_EQ(ReadLibraryItems(builder(), in, 4, 10, fd), 2u);  // 10 bytes left
  EXPECT_EQ(in[0], 20);
  EXPECT_EQ(SeekLibraryFile(builder(), fd, 4, SEEK_SET), 0);
  EXPECT_EQ(SeekLibraryFile(builder(), fd, 2, SEEK_CUR), 0);
  EXPECT_EQ(ReadLibraryItems(builder(), in, 1, 1, fd), 1u);
  EXPECT_EQ(in[0], 6);
  EXPECT_EQ(SeekLibraryFile(builder(), fd, -100, SEEK_SET), -1);
  Files().Close(fd);
  EXPECT_EQ(ReadLibraryItems(builder(), in, 4, 1, fd), 0u);  // a failed read counts nothing
  EXPECT_EQ(WriteLibraryItems(builder(), in, 4, 1, fd), 0u);
}

TEST_F(PathsTest, RemoveAndRename) {
  Open(kFileSystemFat, drive_.str());
  int fd = OpenLibraryFile(builder(), kCompactTrackFileName, O_RDWR | O_CREAT, 0777);
  ASSERT_GE(fd, 0);
  uint8_t marker[4] = {1, 2, 3, 4};
  ASSERT_EQ(WriteLibraryItems(builder(), marker, 4, 1, fd), 1u);
  int old_fd = OpenLibraryFile(builder(), kTrackFileName, O_RDWR | O_CREAT, 0777);
  Files().Close(old_fd);
  // The new file replaces the old one; the descriptor is closed either way.
  EXPECT_EQ(RenameLibraryFile(builder(), fd, kCompactTrackFileName, kTrackFileName), 0);
  EXPECT_EQ(Files().Close(fd), -1);
  std::string dir = test::LibraryDirectory(drive_.str());
  EXPECT_FALSE(fs::exists(dir + "QVTB.DB"));
  EXPECT_EQ(test::ReadFileBytes(dir + "QVTL.DB"), std::vector<uint8_t>({1, 2, 3, 4}));
  fd = OpenLibraryFile(builder(), kBrowseFileName, O_RDWR | O_CREAT, 0777);
  EXPECT_EQ(RenameLibraryFile(builder(), fd, kCompactTrackFileName, kTrackFileName), -1);
  EXPECT_EQ(Files().Close(fd), -1);
  EXPECT_EQ(RemoveLibraryFile(builder(), kTrackFileName), 0);
  EXPECT_EQ(RemoveLibraryFile(builder(), kTrackFileName), -1);
  EXPECT_FALSE(fs::exists(dir + "QVTL.DB"));
}

TEST(CheckExistingLibrary, NeedsAllThreeFilesAndCreatesNothing) {
  for (uint32_t kind : {kFileSystemFat, kFileSystemHfs}) {
    test::TempDir drive;
    EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kind), -1);
    EXPECT_TRUE(fs::is_empty(drive.path()));
    std::string dir = test::LibraryDirectory(drive.str(), kind);
    fs::create_directories(dir);
    test::WriteFileBytes(dir + "QVDB.DB", {1});
    test::WriteFileBytes(dir + "QVTL.DB", {1});
    test::WriteFileBytes(dir + "QVTB.DB", {1});
    EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kind), -1);
    test::WriteFileBytes(dir + "QVBL.DB", {});
    EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kind), 0);
    uint32_t other = kind == kFileSystemFat ? kFileSystemHfs : kFileSystemFat;
    EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), other), -1);
    fs::permissions(dir + "QVTL.DB", fs::perms::none);
    if (::geteuid() != 0) {
      EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kind), -1);
    }
  }
}

}  // namespace
}  // namespace qv

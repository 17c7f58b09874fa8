#include "job/backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "library/files/library_files.h"
#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileDoor;
using test::FileOp;
using test::ReadFileBytes;
using test::ScopedFileDoor;
using test::TempDir;

const char* const kNames[3] = {"QVDB.DB", "QVTL.DB", "QVBL.DB"};

std::vector<uint8_t> Content(const std::string& name, int version) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 300 + version * 7; ++i) {
    bytes.push_back(static_cast<uint8_t>(name[2] + i * version));
  }
  return bytes;
}

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearBackupPaths(); }
  void TearDown() override { ClearBackupPaths(); }

  std::string Root() const { return drive.str(true); }
  fs::path Top(uint32_t kind = 1) const {
    return drive.path() / (kind == 2 ? ".QUORVEN" : "QUORVEN");
  }
  fs::path Lib(uint32_t kind = 1) const { return Top(kind) / "LIBRARY"; }
  void WriteLibrary(int version, uint32_t kind = 1, int files = 3) {
    for (int i = 0; i < files; ++i) {
      drive.Write(fs::relative(Lib(kind) / kNames[i], drive.path()).string(),
                  Content(kNames[i], version));
    }
  }
  void ExpectLibrary(int version, uint32_t kind = 1) {
    for (const char* name : kNames) {
      EXPECT_EQ(ReadFileBytes(Lib(kind) / name), Content(name, version)) << name;
    }
  }
  int BakCount(uint32_t kind = 1) const {
    int n = 0;
    if (!fs::exists(Top(kind))) return 0;
    for (const auto& e : fs::directory_iterator(Top(kind))) {
      n += e.path().extension() == ".bak" ? 1 : 0;
    }
    return n;
  }
  bool Backup(uint32_t kind = 1) {
    return BackupLibrary(Root().c_str(), kind, CheckExistingLibrary);
  }
  // The job writes a new library over the old one.
  void Scribble(uint32_t kind = 1) {
    WriteLibrary(9, kind);
    drive.Write(fs::relative(Lib(kind) / "QVTA.LST", drive.path()).string(), {1, 2, 3});
  }

  TempDir drive;
};

TEST_F(BackupTest, FailedJobGetsTheOldLibraryBackByteForByte) {
  WriteLibrary(1);
  ASSERT_TRUE(Backup());
  EXPECT_EQ(std::string(LibraryDir()), Root() + "QUORVEN/LIBRARY/");
  EXPECT_EQ(std::string(BackupDir()), Root() + "QUORVEN/");
  EXPECT_EQ(BakCount(), 3);
  for (const char* name : kNames) {
    EXPECT_EQ(ReadFileBytes(Top() / (std::string(name) + ".bak")), Content(name, 1));
  }
  Scribble();
  EXPECT_EQ(RestoreLibrary(), 1);
  ExpectLibrary(1);
  EXPECT_FALSE(fs::exists(Lib() / "QVTA.LST"));
  EXPECT_EQ(BakCount(), 0);
  EXPECT_STREQ(LibraryDir(), "");
  EXPECT_STREQ(BackupDir(), "");
}

TEST_F(BackupTest, SuccessLeavesNoCopies) {
  WriteLibrary(1);
  ASSERT_TRUE(Backup());
  Scribble();
  EXPECT_EQ(DiscardBackup(), 1);
  ExpectLibrary(9);
  EXPECT_EQ(BakCount(), 0);
}

TEST_F(BackupTest, TwoOfThreeFilesIsNoLibrary) {
  WriteLibrary(1, 1, 2);
  ASSERT_TRUE(Backup());
  EXPECT_STREQ(BackupDir(), "");
  EXPECT_EQ(BakCount(), 0);
  // A failed job then leaves the library directory without files.
  Scribble();
  fs::create_directory(Lib() / "sub");
  RestoreLibrary();
  EXPECT_TRUE(fs::exists(Lib() / "sub"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Lib()), fs::directory_iterator()), 1);
}

TEST_F(BackupTest, StaleCopiesAreReplaced) {
  WriteLibrary(2);
  for (const char* name : kNames) {
    drive.Write("QUORVEN/" + std::string(name) + ".bak", Content(name, 5));
  }
  ASSERT_TRUE(Backup());
  for (const char* name : kNames) {
    EXPECT_EQ(ReadFileBytes(Top() / (std::string(name) + ".bak")), Content(name, 2));
  }
  Scribble();
  RestoreLibrary();
  ExpectLibrary(2);
}

TEST_F(BackupTest, HfsLibraryLivesInTheHiddenTopDirectory) {
  WriteLibrary(3, 2);
  ASSERT_TRUE(Backup(2));
  EXPECT_EQ(std::string(BackupDir()), Root() + ".QUORVEN/");
  EXPECT_EQ(BakCount(2), 3);
  EXPECT_FALSE(fs::exists(Top(1)));
  Scribble(2);
  RestoreLibrary();
  ExpectLibrary(3, 2);
  EXPECT_EQ(BakCount(2), 0);
}

TEST_F(BackupTest, FailedCopyLeavesTheLibraryUntouchedAndNoCopies) {
  WriteLibrary(4);
  FaultyFileDoor door;
  door.FailNth(FileOp::kWrite, 2);  // the second copy's data
  {
    ScopedFileDoor scoped(&door);
    EXPECT_FALSE(Backup());
  }
  EXPECT_TRUE(door.Fired());
  ExpectLibrary(4);
  EXPECT_EQ(BakCount(), 0);
  EXPECT_STREQ(BackupDir(), "");
  EXPECT_STREQ(LibraryDir(), "");
}

TEST_F(BackupTest, CopiesThatCannotComeBackAreKept) {
  WriteLibrary(6);
  ASSERT_TRUE(Backup());
  Scribble();
  FaultyFileDoor door;
  door.FailNth(FileOp::kOpen, 1, "QVTL.DB.bak");
  {
    ScopedFileDoor scoped(&door);
    RestoreLibrary();
  }
  EXPECT_TRUE(door.Fired());
  // The copy that did not come back is still on the drive beside the others.
  EXPECT_EQ(ReadFileBytes(Top() / "QVTL.DB.bak"), Content("QVTL.DB", 6));
  EXPECT_EQ(BakCount(), 3);
}

}  // namespace
}  // namespace qv

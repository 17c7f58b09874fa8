#include "job/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "job/drive_lock.h"
#include "library/files/library_files.h"
#include "platform/file_failure.h"
#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileDoor, test::FileOp, test::ReadFileBytes;

const char* const kNames[3] = {"QVDB.DB", "QVTL.DB", "QVBL.DB"};

std::vector<uint8_t> Content(const std::string& name, int version) {
  std::vector<uint8_t> bytes(300 + version * 7);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(name[2] + i * version);
  return bytes;
}

class BackupTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearBackupPaths(); }

  std::string Root() const { return drive.str(true); }
  static std::string TopName(uint32_t kind) { return kind == 2 ? ".QUORVEN/" : "QUORVEN/"; }
  fs::path Top(uint32_t kind = 1) const { return drive.path() / TopName(kind); }
  fs::path Lib(uint32_t kind = 1) const { return Top(kind) / "LIBRARY"; }
  void WriteLibrary(int version, uint32_t kind = 1, int files = 3) {
    for (int i = 0; i < files; ++i)
      drive.Write(TopName(kind) + "LIBRARY/" + kNames[i], Content(kNames[i], version));
  }
  // The library's files of version, the first files of them only; and the copies left beside it.
  void ExpectLibrary(int version, int copies, uint32_t kind = 1, int files = 3) {
    for (int i = 0; i < files; ++i)
      EXPECT_EQ(ReadFileBytes(Lib(kind) / kNames[i]), Content(kNames[i], version)) << kNames[i];
    auto copy = [](const fs::directory_entry& e) { return e.path().extension() == ".bak"; };
    EXPECT_EQ(std::count_if(fs::directory_iterator(Top(kind)), {}, copy), copies);
  }
  // As the job does: an interrupted job's copies first, then the backup.
  bool Backup(uint32_t kind = 1) { return RecoverInterruptedJob(Root().c_str(), kind) && BackupLibrary(Root().c_str(), kind, CheckExistingLibrary); }
  // The job writes a new library over the old one.
  void Scribble(uint32_t kind = 1) {
    WriteLibrary(9, kind);
    drive.Write(TopName(kind) + "LIBRARY/QVTA.LST", {1, 2, 3});
  }
  test::TempDir drive;
};

// A failed job gets the old library back byte for byte, a successful one
// keeps the new library; either way no copy remains. The HFS library lives
// in the hidden top directory.
TEST_F(BackupTest, CopiesComeBackOnFailureAndGoAwayOnSuccess) {
  for (const uint32_t kind : {2u, 1u}) {
    for (const bool failed : {true, false}) {
      SCOPED_TRACE(std::to_string(kind) + (failed ? " failed" : " succeeded"));
      fs::remove_all(Top(kind));
      WriteLibrary(2, kind);
      ASSERT_TRUE(Backup(kind));
      EXPECT_EQ(std::string(LibraryDir()), Root() + TopName(kind) + "LIBRARY/");
      for (const char* name : kNames)
        EXPECT_EQ(ReadFileBytes(Top(kind) / (std::string(name) + ".bak")), Content(name, 2));
      Scribble(kind);
      EXPECT_EQ(failed ? RestoreLibrary() : DiscardBackup(), 1);
      ExpectLibrary(failed ? 2 : 9, 0, kind);
      EXPECT_EQ(fs::exists(Lib(kind) / "QVTA.LST"), !failed);
      EXPECT_STREQ(BackupDir(), "");
    }
  }
}

TEST_F(BackupTest, FailedCopyLeavesTheLibraryUntouchedAndNoCopies) {
  WriteLibrary(4);
  FaultyFileDoor door;
  door.FailNth(FileOp::kWrite, 2);  // the second copy's data
  EXPECT_FALSE((test::ScopedFileDoor(&door), Backup()));
  FileFailure failure;  // the user is told which copy failed, and why
  ASSERT_TRUE(LastFileFailure(&failure));
  EXPECT_EQ(std::tuple(std::string(failure.path), failure.error_number), std::tuple(Root() + "QUORVEN/QVTL.DB.bak", EIO));
  ExpectLibrary(4, 0);
  EXPECT_STREQ(BackupDir(), "");
  // Nor does a top folder that could not be made pass for something in its way.
  fs::remove_all(Top()), door.FailNth(FileOp::kMkdir, 1);
  EXPECT_EQ((test::ScopedFileDoor(&door), LockLibraryDrive(Root().c_str(), 1)), -1);
  ASSERT_TRUE(LastFileFailure(&failure));
  EXPECT_EQ(failure.error_number, EIO);
  // A drive path too long for the library folder's name is refused before any copy.
  EXPECT_FALSE(BackupLibrary(("/" + std::string(1006, 'd') + "/").c_str(), 1, nullptr));
}

TEST_F(BackupTest, CopiesThatCannotComeBackAreKept) {
  WriteLibrary(6);
  ASSERT_TRUE(Backup());
  Scribble();
  FaultyFileDoor door;
  door.FailNth(FileOp::kOpen, 1, "QVTL.DB.bak");
  EXPECT_EQ((test::ScopedFileDoor(&door), RestoreLibrary()), 1);
  // The copy that did not come back is still on the drive beside the others.
  EXPECT_EQ(ReadFileBytes(Top() / "QVTL.DB.bak"), Content("QVTL.DB", 6));
  EXPECT_EQ(BackupDir(), Root() + "QUORVEN/");
  // The next job finds them without a complete library and puts them back
  // before it copies that library again.
  ClearBackupPaths();
  ASSERT_TRUE(Backup());
  ExpectLibrary(6, 3);
  EXPECT_EQ(ReadFileBytes(Top() / "QVTL.DB.bak"), Content("QVTL.DB", 6));
}

}  // namespace
}  // namespace qv

// The browse lists and the library index on disk: the index without
// statistics, old tails and failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"

namespace qv::test {
namespace {

TrackSpec Simple(const std::string& genre, const std::string& artist, const std::string& album,
                 int n) {
  return Named(genre, artist, album, "Song " + std::to_string(n),
               "/m/" + std::to_string(n) + ".mp3", static_cast<uint16_t>(n));
}

TEST(BrowseWriter, WithoutStatisticsTheIndexIsItsHeader) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_EQ(build.Add(Simple("Rock", "Band", "First", 1)), kEngineOk);
  ASSERT_EQ(FlushBuild(1), kEngineOk);
  build.b()->flags = static_cast<uint16_t>(build.b()->flags & ~kFlagStatistics);
  ASSERT_EQ(FinishBuild(), kEngineOk);
  std::vector<uint8_t> db = build.File(kIndexFileName);
  ASSERT_EQ(db.size(), 32u);
  EXPECT_EQ(std::tuple(LoadLe32(db, 8), db[30] | db[31]), std::tuple(32, 0));  // its own size, no chunks
}

// A spilled library written over longer old files keeps their tails.
TEST(BrowseWriter, OldLongerFilesKeepTheirTails) {
  TempDir fresh, drive;
  std::filesystem::create_directories(drive.path() / "QUORVEN" / "LIBRARY");
  const char* const names[] = {kTrackFileName, kBrowseFileName, kIndexFileName};
  const std::vector<uint8_t> old(9000, 0xEE);
  for (const char* name : names) WriteFileBytes(drive.path() / "QUORVEN/LIBRARY" / name, old);
  for (TempDir* d : {&fresh, &drive}) {
    WriterBuild build(d->str());
    for (int i = 0; i < 10; ++i) {
      ASSERT_EQ(build.Add(Simple("Pop", i % 2 ? "Duo" : "Trio", "Hits", i)), kEngineOk);
      if (i == 4) {
        ASSERT_EQ(build.Spill(), kEngineOk);
      }
    }
    ASSERT_EQ((std::tuple{FlushBuild(1), FinishBuild()}), std::tuple(kEngineOk, kEngineOk));
  }
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> clean = LibraryFile(fresh, name), f = LibraryFile(drive, name);
    ASSERT_EQ(f.size(), old.size());
    ASSERT_LT(clean.size(), f.size());
    EXPECT_TRUE(std::equal(clean.begin(), clean.end(), f.begin()));
    EXPECT_TRUE(std::all_of(f.begin() + clean.size(), f.end(), [](uint8_t b) { return b == 0xEE; }));
  }
  ExpectLibraryHolds(drive);
}

struct BrowseFault { FileOp op; int nth; uint32_t site, step; };

class BrowseFaults : public ::testing::TestWithParam<BrowseFault> {};

TEST_P(BrowseFaults, FailedCallFailsTheWriteAndLeavesTheIndexAlone) {
  TempDir drive;
  WriterBuild build(drive.str());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(build.Add(Simple("Rock", "Band", "First", i)), kEngineOk);
  ASSERT_EQ(FlushBuild(1), kEngineOk);
  for (uint16_t c = kGenre; c <= kAlbum; ++c) ASSERT_EQ(BuildCategoryTree(build.b(), c), 1);
  ResetErrorLog(&TheErrorLog());
  FaultyFileDoor door;
  door.FailNth(GetParam().op, GetParam().nth);
  {
    ScopedFileDoor scope(&door);
    EXPECT_EQ(WriteBrowseFiles(build.b()), 0);
  }
  EXPECT_TRUE(door.Fired());
  ExpectOneError(GetParam().site, GetParam().step);
  if (GetParam().site == kSiteWriteBrowseBl) {
    EXPECT_FALSE(std::filesystem::exists(build.LibraryDir() / kIndexFileName));
  }
}

using enum FileOp;
constexpr uint32_t kBl = kSiteWriteBrowseBl, kDb = kSiteWriteBrowseDb;
INSTANTIATE_TEST_SUITE_P(EachStep, BrowseFaults,
    ::testing::ValuesIn(std::vector<BrowseFault>{{kOpen, 1, kBl, 1}, {kWrite, 1, kBl, 2}, {kWrite, 4, kBl, 6},
        {kWrite, 7, kBl, 7}, {kWrite, 20, kBl, 8}, {kOpen, 2, kDb, 1}, {kWrite, 21, kDb, 2}}));

}  // namespace
}  // namespace qv::test

// The browse lists and the library index on disk: genre overflow, the index
// without statistics, old tails and failed writes. The exact layouts are
// checked against the hand-laid images in the reader's tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "library/build/library_builder.h"
#include "library/files/library_files.h"
#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

// Offsets of the list chunks of QVBL.DB, walked by the sizes the file gives.
struct ListView {
  size_t offset;
  uint8_t type, level, depth;
  uint32_t count;
};

std::vector<std::vector<ListView>> ReadSections(const std::vector<uint8_t>& f) {
  std::vector<std::vector<ListView>> sections;
  size_t s = 16;
  for (int c = 0; c < 4 && s + 20 <= f.size(); ++c) {
    std::vector<ListView> lists;
    size_t at = s + 20;
    for (int j = 0; j < Le16(f, s + 12); ++j) {
      lists.push_back({at, f[at + 12], f[at + 13], f[at + 14], Le32(f, at + 16)});
      at += Le32(f, at + 8);
    }
    EXPECT_EQ(at - s, Le32(f, s + 8));
    sections.push_back(lists);
    s += Le32(f, s + 8);
  }
  EXPECT_EQ(s, Le32(f, 8));
  return sections;
}

uint32_t EntryWord(const std::vector<uint8_t>& f, const ListView& list, uint32_t entry, int word) {
  return Le32(f, list.offset + 20 + 16 * entry + 4 * word);
}

// Summary record i of QVDB.DB.
size_t Summary(uint32_t i) {
  return 32 + 376 + 16 + 24 * i;
}

TrackSpec Simple(const std::string& genre, const std::string& artist, const std::string& album,
                 int n) {
  TrackSpec t;
  t.genre = Ascii(genre);
  t.artist = Ascii(artist);
  t.album = Ascii(album);
  t.title = Ascii("Song " + std::to_string(n));
  t.path = Ascii("/m/" + std::to_string(n) + ".mp3");
  t.track_number = static_cast<uint16_t>(n);
  return t;
}

TEST(BrowseWriter, MoreThanAThousandGenresKeepTheFirstThousand) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  char name[16];
  for (int g = 0; g < 1003; ++g) {
    std::snprintf(name, sizeof(name), "G%04d", g);
    ASSERT_EQ(build.Add(Simple(name, std::string("A") + name, "Album", g)), kEngineOk);
  }
  ASSERT_EQ(build.Complete(), kEngineOk);

  std::vector<ReadPage> pages = ReadPages(build.File(kTrackFileName));
  ASSERT_EQ(pages.size(), 1003u);
  EXPECT_EQ(pages[999].name_ids[0], 999u);
  EXPECT_EQ(pages[1000].name_ids[0], kOverflowId);
  EXPECT_EQ(pages[1002].name_ids[0], kOverflowId);
  // One name begins each new id: the first overflow name is the last counted.
  EXPECT_EQ(build.b()->name_bytes[0], 1001u * 12u);

  std::vector<uint8_t> bl = build.File(kBrowseFileName);
  auto sections = ReadSections(bl);
  ASSERT_EQ(sections[0][1].count, 1000u);
  ASSERT_EQ(sections[0][2].count, 1003u);
  // The artists of the genres that found no room count under the last genre.
  EXPECT_EQ(EntryWord(bl, sections[0][1], 999, 1), 999u);
  EXPECT_EQ(EntryWord(bl, sections[0][1], 999, 2), 4u);
  EXPECT_EQ(EntryWord(bl, sections[0][2], 1002, 3), 3u);

  std::vector<uint8_t> db = build.File(kIndexFileName);
  EXPECT_EQ(Le32(db, 48 + 16), 1000u);  // distinct genres
  EXPECT_EQ(Le32(db, Summary(0) + 20), 1000u);
  EXPECT_EQ(Le32(db, Summary(1) + 20), 1003u);
}

TEST(BrowseWriter, WithoutStatisticsTheIndexIsItsHeader) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  ASSERT_EQ(build.Add(Simple("Rock", "Band", "First", 1)), kEngineOk);
  ASSERT_EQ(FlushBuild(1), kEngineOk);
  build.b()->flags = static_cast<uint16_t>(build.b()->flags & ~kFlagStatistics);
  ASSERT_EQ(FinishBuild(), kEngineOk);
  std::vector<uint8_t> db = build.File(kIndexFileName);
  ASSERT_EQ(db.size(), 32u);
  EXPECT_EQ(Le32(db, 8), 32u);
  EXPECT_EQ(Le16(db, 30), 0);
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
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 10; ++i) {
      ASSERT_EQ(build.Add(Simple("Pop", i % 2 ? "Duo" : "Trio", "Hits", i)), kEngineOk);
      if (i == 4) ASSERT_EQ(build.Spill(), kEngineOk);
    }
    ASSERT_EQ(build.Complete(), kEngineOk);
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

struct BrowseFault {
  FileOp op;
  int nth;
  uint32_t site;
  uint32_t step;
};

class BrowseFaults : public ::testing::TestWithParam<BrowseFault> {};

TEST_P(BrowseFaults, FailedCallFailsTheWriteAndLeavesTheIndexAlone) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
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

INSTANTIATE_TEST_SUITE_P(EachStep, BrowseFaults,
                         ::testing::Values(BrowseFault{FileOp::kOpen, 1, kSiteWriteBrowseBl, 1},
                                           BrowseFault{FileOp::kWrite, 1, kSiteWriteBrowseBl, 2},
                                           BrowseFault{FileOp::kWrite, 4, kSiteWriteBrowseBl, 6},
                                           BrowseFault{FileOp::kWrite, 7, kSiteWriteBrowseBl, 7},
                                           BrowseFault{FileOp::kWrite, 20, kSiteWriteBrowseBl, 8},
                                           BrowseFault{FileOp::kOpen, 2, kSiteWriteBrowseDb, 1},
                                           BrowseFault{FileOp::kWrite, 21, kSiteWriteBrowseDb, 2}));

}  // namespace
}  // namespace qv::test

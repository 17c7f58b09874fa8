// The browse lists and the library index on disk: the one-track library byte
// by byte, ranks under parents, genre overflow, old tails and failed writes.
#include <gtest/gtest.h>

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
  t.number = static_cast<uint16_t>(n);
  return t;
}

TEST(BrowseWriter, OneTrackLibraryHasTheDocumentedLayout) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  ASSERT_EQ(build.Add(Simple("Rock", "Band", "First", 1)), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);

  std::vector<uint8_t> bl = build.File(kBrowseFileName);
  ASSERT_EQ(bl.size(), 408u);
  EXPECT_EQ(Tag(bl, 0), "qvbl");
  EXPECT_EQ(Le32(bl, 4), 16u);
  EXPECT_EQ(Le32(bl, 8), 408u);
  EXPECT_EQ(Le32(bl, 12), 4u);
  const uint32_t section_sizes[4] = {152, 116, 80, 44};
  size_t s = 16;
  for (uint32_t c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(Tag(bl, s), "qvbi");
    EXPECT_EQ(Le32(bl, s + 4), 20u);
    EXPECT_EQ(Le32(bl, s + 8), section_sizes[c]);
    EXPECT_EQ(Le16(bl, s + 12), 4 - c);
    EXPECT_EQ(Le16(bl, s + 14), 0);
    EXPECT_EQ(Le32(bl, s + 16), c);
    size_t order = s + 20;
    EXPECT_EQ(Tag(bl, order), "qvba");
    EXPECT_EQ(Le32(bl, order + 4), 20u);
    EXPECT_EQ(Le32(bl, order + 8), 24u);
    EXPECT_EQ(bl[order + 12], 1);
    EXPECT_EQ(bl[order + 13], 3);
    EXPECT_EQ(bl[order + 14], 0);
    EXPECT_EQ(bl[order + 15], 0);
    EXPECT_EQ(Le32(bl, order + 16), 1u);
    EXPECT_EQ(Le32(bl, order + 20), 0u);
    for (uint32_t j = 0; j < 3 - c && c < 3; ++j) {
      size_t list = order + 24 + 36 * j;
      EXPECT_EQ(Le32(bl, list + 8), 36u);
      EXPECT_EQ(bl[list + 12], 2);
      EXPECT_EQ(bl[list + 13], c + j);
      EXPECT_EQ(bl[list + 14], j + 1);
      EXPECT_EQ(Le32(bl, list + 16), 1u);
      EXPECT_EQ(Le32(bl, list + 20), 0u);                         // first track
      EXPECT_EQ(Le32(bl, list + 24), 0u);                         // first child / first position
      EXPECT_EQ(Le32(bl, list + 28), 1u);                         // children / tracks
      EXPECT_EQ(Le32(bl, list + 32), j == 0 ? 0x001FFFFFu : 0u);  // rank under the parent
    }
    s += section_sizes[c];
  }

  std::vector<uint8_t> db = build.File(kIndexFileName);
  ASSERT_EQ(db.size(), 664u);
  EXPECT_EQ(Tag(db, 0), "qvdb");
  const uint32_t header[6] = {0, 32, 32, 2, 0, 1};
  for (int i = 1; i < 6; ++i) EXPECT_EQ(Le32(db, 4 * i), header[i]);
  EXPECT_EQ(Le32(db, 24), 1u);  // next track id
  EXPECT_EQ(Le16(db, 28), 2);
  EXPECT_EQ(Le16(db, 30), 2);

  EXPECT_EQ(Tag(db, 32), "qvts");
  EXPECT_EQ(Le32(db, 36), 16u);
  EXPECT_EQ(Le32(db, 40), 376u);
  EXPECT_EQ(Le32(db, 44), 5u);
  // UTF-16 and stored sizes of "Rock", "Band", "First", "Song 1", "/m/1.mp3".
  const uint32_t utf16[5] = {10, 10, 12, 14, 18};
  const uint32_t stored[5] = {6, 6, 7, 8, 10};
  for (uint32_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    size_t r = 48 + 72 * k;
    EXPECT_EQ(Tag(db, r), "qvss");
    EXPECT_EQ(Le32(db, r + 4), 24u);
    EXPECT_EQ(Le32(db, r + 8), 72u);
    EXPECT_EQ(Le32(db, r + 12), k);
    EXPECT_EQ(Le32(db, r + 16), 1u);
    EXPECT_EQ(Le32(db, r + 20), 2u);
    for (uint32_t m = 0; m < 2; ++m) {
      size_t d = r + 24 + 24 * m;
      EXPECT_EQ(Tag(db, d), "qvsd");
      EXPECT_EQ(Le32(db, d + 4), 24u);
      EXPECT_EQ(Le32(db, d + 8), 24u);
      EXPECT_EQ(Le32(db, d + 12), m == 0 ? 0u : (k == 4 ? 3u : 1u));
      EXPECT_EQ(Le32(db, d + 16), m == 1 && k == 4 ? 20u : 0u);
      EXPECT_EQ(Le32(db, d + 20), m == 0 ? utf16[k] : stored[k]);
    }
  }
  EXPECT_EQ(Tag(db, 408), "qvbs");
  EXPECT_EQ(Le32(db, 412), 16u);
  EXPECT_EQ(Le32(db, 416), 240u);
  EXPECT_EQ(Le32(db, 420), 10u);
  uint32_t r = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t j = 0; i + j < 4; ++j, ++r) {
      SCOPED_TRACE(r);
      size_t at = Summary(r);
      EXPECT_EQ(Tag(db, at), "qvas");
      EXPECT_EQ(Le32(db, at + 4), 24u);
      EXPECT_EQ(Le32(db, at + 8), 24u);
      EXPECT_EQ(Le32(db, at + 12), i);
      EXPECT_EQ(db[at + 16], i + j == 3 ? 1 : 2);
      EXPECT_EQ(db[at + 17], i + j);
      EXPECT_EQ(db[at + 18], j);
      EXPECT_EQ(db[at + 19], 0);
      EXPECT_EQ(Le32(db, at + 20), 1u);
    }
  }
}

TEST(BrowseWriter, ChildrenAreRankedUnderTheirParent) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  ASSERT_EQ(build.Add(Simple("Rock", "Zed", "Last", 1)), kEngineOk);
  ASSERT_EQ(build.Add(Simple("Rock", "Abe", "One", 1)), kEngineOk);
  ASSERT_EQ(build.Add(Simple("Rock", "Abe", "Two", 1)), kEngineOk);
  ASSERT_EQ(build.Add(Simple("Jazz", "Abe", "Three", 1)), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> bl = build.File(kBrowseFileName);
  auto sections = ReadSections(bl);
  ASSERT_EQ(sections.size(), 4u);
  const std::vector<ListView>& genre = sections[0];
  ASSERT_EQ(genre.size(), 4u);
  // Genres Jazz, Rock; artists Jazz/Abe, Rock/Abe, Rock/Zed; albums
  // Three, One, Two, Last.
  ASSERT_EQ(genre[1].count, 2u);
  ASSERT_EQ(genre[2].count, 3u);
  ASSERT_EQ(genre[3].count, 4u);
  EXPECT_EQ(EntryWord(bl, genre[1], 1, 1), 1u);  // Rock's first artist
  EXPECT_EQ(EntryWord(bl, genre[1], 1, 2), 2u);
  EXPECT_EQ(EntryWord(bl, genre[2], 1, 3), 0u);  // Rock/Abe
  EXPECT_EQ(EntryWord(bl, genre[2], 2, 3), 1u);  // Rock/Zed: second child
  EXPECT_EQ(EntryWord(bl, genre[2], 2, 0), 0u);  // its first track is track 0
  EXPECT_EQ(EntryWord(bl, genre[3], 2, 3), 1u);  // Two under Rock/Abe
  EXPECT_EQ(EntryWord(bl, genre[3], 3, 1), 3u);  // Last is at position 3 of the genre order
  EXPECT_EQ(EntryWord(bl, genre[3], 3, 2), 1u);
  // The artist section holds Abe with three albums and Zed with one.
  ASSERT_EQ(sections[1][1].count, 2u);
  EXPECT_EQ(EntryWord(bl, sections[1][1], 0, 2), 3u);
  EXPECT_EQ(EntryWord(bl, sections[1][1], 1, 3), 0x001FFFFFu);
  EXPECT_EQ(EntryWord(bl, sections[1][2], 2, 3), 2u);

  std::vector<uint8_t> db = build.File(kIndexFileName);
  const uint32_t expected[10] = {2, 3, 4, 4, 2, 4, 4, 4, 4, 4};
  for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(Le32(db, Summary(i) + 20), expected[i]) << i;
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

  std::vector<PageView> pages = ReadPages(build.File(kTrackFileName));
  ASSERT_EQ(pages.size(), 1003u);
  EXPECT_EQ(pages[999].name_ids[0], 999u);
  EXPECT_EQ(pages[1000].name_ids[0], kOverflowId);
  EXPECT_EQ(pages[1002].name_ids[0], kOverflowId);

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

TEST(BrowseWriter, OldLongerFilesKeepTheirTails) {
  TempDir fresh, drive;
  std::vector<uint8_t> fresh_bl, fresh_db;
  {
    WriterBuild build(fresh.str());
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(build.Add(Simple("Pop", "Duo", "Hits", i)), kEngineOk);
    ASSERT_EQ(build.Complete(), kEngineOk);
    fresh_bl = build.File(kBrowseFileName);
    fresh_db = build.File(kIndexFileName);
  }
  std::filesystem::path dir = drive.path() / "QUORVEN" / "LIBRARY";
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> old(9000, 0xEE);
  WriteFileBytes(dir / kBrowseFileName, old);
  WriteFileBytes(dir / kIndexFileName, old);
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 5; ++i) ASSERT_EQ(build.Add(Simple("Pop", "Duo", "Hits", i)), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);
  for (const char* name : {kBrowseFileName, kIndexFileName}) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> f = build.File(name);
    const std::vector<uint8_t>& expect = name == kBrowseFileName ? fresh_bl : fresh_db;
    ASSERT_EQ(f.size(), old.size());
    EXPECT_EQ(
        std::vector<uint8_t>(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(expect.size())),
        expect);
    for (size_t i = expect.size(); i < f.size(); ++i) ASSERT_EQ(f[i], 0xEE) << i;
  }
  EXPECT_EQ(ReadSections(build.File(kBrowseFileName)).size(), 4u);
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
  ASSERT_EQ(TheErrorLog().count, 1u);
  EXPECT_EQ(TheErrorLog().entries[0].module, kBuilderLive);
  EXPECT_EQ(TheErrorLog().entries[0].site, GetParam().site);
  EXPECT_EQ(TheErrorLog().entries[0].detail, GetParam().step);
  if (GetParam().site == kSiteWriteBrowseBl) {
    EXPECT_FALSE(std::filesystem::exists(build.LibraryDir() / kIndexFileName));
  }
}

INSTANTIATE_TEST_SUITE_P(EachStep, BrowseFaults,
                         ::testing::Values(BrowseFault{FileOp::kOpen, 1, kSiteWriteBrowseBl, 1},
                                           BrowseFault{FileOp::kWrite, 1, kSiteWriteBrowseBl, 2},
                                           BrowseFault{FileOp::kWrite, 2, kSiteWriteBrowseBl, 3},
                                           BrowseFault{FileOp::kWrite, 3, kSiteWriteBrowseBl, 4},
                                           BrowseFault{FileOp::kWrite, 4, kSiteWriteBrowseBl, 6},
                                           BrowseFault{FileOp::kWrite, 6, kSiteWriteBrowseBl, 6},
                                           BrowseFault{FileOp::kWrite, 7, kSiteWriteBrowseBl, 7},
                                           BrowseFault{FileOp::kWrite, 19, kSiteWriteBrowseBl, 7},
                                           BrowseFault{FileOp::kWrite, 20, kSiteWriteBrowseBl, 8},
                                           BrowseFault{FileOp::kOpen, 2, kSiteWriteBrowseDb, 1},
                                           BrowseFault{FileOp::kWrite, 21, kSiteWriteBrowseDb, 2}));

}  // namespace
}  // namespace qv::test

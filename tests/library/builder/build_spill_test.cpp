// Spilled batches at full size, the spill on the very last file, the full
// library, read-back of damaged track pages, and failures of the file calls.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"

namespace qv {
namespace {

using namespace test;
using test::TrackSpec;
using test::U16;

// Adds tracks from make(i) until the batch spills for the nth time, and
// returns how many were added.
template <typename Make>
uint32_t AddUntilSpill(uint32_t spills, Make make) {
  LibraryBuilder* b = TheBuildContext().builder;
  TrackTagsStorage storage;
  uint32_t i = 0;
  while (b->batches_written < spills) {
    test::FillTrackTags(make(i++), &storage);
    EXPECT_EQ(AddTagsToBuild(&storage.tags), 0);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(b->batch_tracks, 0u);
  return i;
}

TrackSpec Distinct(uint32_t i) {
  TrackSpec t = test::GeneratedTrack(i);
  t.title += U16(" #" + std::to_string(i));
  return t;
}

TEST(Spill, OnTheVeryLastFileTheFinalMergeStillRuns) {
  test::TempDir spilled;
  BuildOptions options;
  options.record_buffer_bytes = 16 * 1024;
  ASSERT_EQ(test::OpenTestBuild(spilled.str(), options), 0);
  uint32_t count = AddUntilSpill(3, Distinct);
  EXPECT_EQ(FlushBuild(1), 0);
  EXPECT_EQ(FinishBuild(), 0);
  EXPECT_EQ(TheBuildContext().builder->total_tracks, count);
  CloseBuild();

  // The same tracks in one batch give the same files, final name ids in every page.
  std::vector<TrackSpec> tracks;
  for (uint32_t i = 0; i < count; ++i) tracks.push_back(Distinct(i));
  test::TempDir whole;
  ASSERT_EQ(test::BuildLibrary(whole.str(), tracks), 0);
  for (const char* name : {"QVTL.DB", "QVBL.DB", "QVDB.DB"}) {
    EXPECT_EQ(LibraryFile(spilled, name), LibraryFile(whole, name)) << name;
  }
  ExpectLibraryHolds(spilled);
}

// Long UTF-16 names make every record 932 bytes, so a full record buffer
// spills after about 19,000 tracks. The names need no folding, so their
// order is the order of their units.
TrackSpec Large(uint32_t i) {
  auto name = [](uint32_t units, uint32_t value, uint32_t digits) {
    std::u16string s(units - digits, u'\u4E00');
    for (uint32_t d = 0; d < digits; ++d) {
      s.push_back(static_cast<char16_t>(0x4E00 + value % 64));
      value /= 64;
    }
    std::reverse(s.end() - digits, s.end());
    return s;
  };
  TrackSpec t;
  t.genre = name(29, (i * 7) % 1200, 2);
  t.artist = name(47, (i * 13) % 5000, 3);
  t.album = name(47, (i * 31) % 9000, 3);
  t.title = name(63, i, 3);
  t.path = u"/" + name(254, i, 3);
  t.track_number = static_cast<uint16_t>(i % 30);
  return t;
}

TEST(Spill, FullSizeBatchesSpilledTwiceNumberNamesInOrder) {
  test::TempDir drive;
  ASSERT_EQ(test::OpenTestBuild(drive.str()), 0);
  uint32_t count = AddUntilSpill(2, Large);
  ASSERT_GT(count, 38000u);
  EXPECT_EQ(TheBuildContext().spilled, 1u);
  ASSERT_EQ(FlushBuild(1), 0);
  ASSERT_EQ(FinishBuild(), 0);
  BuildSnapshot s = Snapshot(*TheBuildContext().builder);
  CloseBuild();

  // Every genre, artist and album value occurs, and the names sort by their
  // values, so a name's id is its value; genres past the thousandth overflow.
  // The reader checks the order lists against the names.
  EXPECT_EQ(s.distinct, (std::array<uint32_t, 3>{1000, 5000, 9000}));
  ExpectLibraryHolds(drive);
  std::vector<ReadPage> pages = ReadPages(LibraryFile(drive, "QVTL.DB"));
  ASSERT_EQ(pages.size(), count);
  for (uint32_t t = 0; t < count; ++t) {
    ASSERT_EQ(pages[t].texts[kTitle], Large(t).title) << t;
    uint32_t genre = (t * 7) % 1200;
    ASSERT_EQ(pages[t].name_ids[kGenre], genre < 1000 ? genre : kOverflowId) << t;
    ASSERT_EQ(pages[t].name_ids[kArtist], (t * 13) % 5000) << t;
    ASSERT_EQ(pages[t].name_ids[kAlbum], (t * 31) % 9000) << t;
  }
}

TEST(Spill, LibraryFullAtOneHundredFiftyThousandTracks) {
  test::TempDir drive;
  ASSERT_EQ(test::OpenTestBuild(drive.str()), 0);
  LibraryBuilder* b = TheBuildContext().builder;
  TrackTagsStorage storage;
  for (uint32_t i = 0; i < kMaxTracks; ++i) {
    FillTrackTags(Named("g", "a", "b", std::to_string(i % 1000), "/" + std::to_string(i), 1),
                  &storage);
    ASSERT_EQ(AddTrackRecord(b, &storage.tags), i + 1 == kMaxTracks ? 2 : 0) << i;
  }
  EXPECT_EQ(b->batches_written, 0u);
  EXPECT_EQ(AddTrackRecord(b, &storage.tags), 2);
  EXPECT_EQ(AddTagsToBuild(&storage.tags), 0);
  EXPECT_EQ(AddFileToBuild("/nonexistent/file.mp3", 2), 2);
  EXPECT_EQ(b->total_tracks, kMaxTracks);
  ASSERT_EQ(FlushBuild(1), 0);
  ASSERT_EQ(FinishBuild(), 0);
  EXPECT_EQ(b->title_counts[0], kMaxTracks);
  EXPECT_EQ(b->distinct_names[kGenre], 1u);
  std::vector<uint8_t> file = LibraryFile(drive, "QVTL.DB");
  EXPECT_EQ(Le32(file, 12), kMaxTracks);
  EXPECT_EQ(Le32(file, 8), file.size());
  EXPECT_EQ(b->category_lists[kTitle][0] % 1000, 0u);  // a title "0" first
  CloseBuild();
  ExpectLibraryHolds(drive);
}

// A build with one spilled batch of tracks 0-2 on disk, with artists that
// show the dropped article.
class ReadBackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildOptions options;
    options.record_buffer_bytes = 1100;
    ASSERT_EQ(test::OpenTestBuild(drive_.str(), options), 0);
    AddUntilSpill(1, [](uint32_t i) {
      TrackSpec t;
      t.genre = u"Pop";
      t.artist = i == 1 ? u"The Who" : u"Abba";
      t.album = u"Hits";
      t.title = U16("Song" + std::to_string(i));
      t.path = U16("/m/" + std::to_string(i) + ".mp3");
      t.track_number = static_cast<uint16_t>(i + 4);
      return t;
    });
    ASSERT_EQ(builder()->tracks_on_disk, 3u);
  }
  void TearDown() override { CloseBuild(); }

  LibraryBuilder* builder() { return TheBuildContext().builder; }
  std::string TrackFile() { return test::LibraryDirectory(drive_.str()) + "QVTL.DB"; }

  int Read(uint32_t track) {
    LibraryBuilder* b = builder();
    b->track_file = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
    EXPECT_GE(b->track_file, 0);
    int r = ReadTrackKeys(b, &b->key_sets[0], track);
    Files().Close(b->track_file);
    b->track_file = -1;
    return r;
  }

  void Damage(size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = test::ReadFileBytes(TrackFile());
    std::copy(bytes.begin(), bytes.end(), file.begin() + at);
    test::WriteFileBytes(TrackFile(), file);
  }

  int AddOne() {
    TrackTagsStorage storage;
    FillTrackTags(Named("Pop", "", "", "", "/late.mp3"), &storage);
    return AddTagsToBuild(&storage.tags);
  }

  ErrorLogEntry LastError() { return TheErrorLog().entries[TheErrorLog().count - 1]; }

  test::TempDir drive_;
};

TEST_F(ReadBackTest, KeysComeBackFromThePages) {
  builder()->current_category = kArtist;
  ASSERT_EQ(Read(1), 1);
  const SortKeySet& k = builder()->key_sets[0];
  auto slot = [&k](int s) { return std::u16string(reinterpret_cast<const char16_t*>(k.slot[s])); };
  EXPECT_EQ(slot(kGenre), u"POP");
  EXPECT_EQ(slot(kArtist), u"WHO");
  EXPECT_EQ(slot(kTitle), u"SONG1");
  EXPECT_EQ(slot(kPathSlot), u"/M/1\x0EMP3");  // the full stop weighs 14
  EXPECT_EQ(slot(5), u"The Who");
  EXPECT_EQ(k.track_number, 5);
  EXPECT_EQ(TheErrorLog().count, 0u);
}

TEST_F(ReadBackTest, DamagedPagesFailWithTheirStep) {
  uint32_t second = builder()->track_positions[1];
  // A chunk that claims more bytes than the page holds.
  Damage(second + 48 + 8, {0x00, 0xFF, 0xFF, 0x7F});
  EXPECT_EQ(Read(1), 0);
  EXPECT_EQ(LastError().site, kSiteReadTrackKeys);
  EXPECT_EQ(LastError().detail, 6u);
  // A head size beyond the chunk.
  Damage(second + 48 + 8, {28, 0, 0, 0});
  Damage(second + 48 + 4, {40, 0, 0, 0});
  EXPECT_EQ(Read(1), 0);
  EXPECT_EQ(LastError().detail, 6u);
  // A string kind that does not exist.
  Damage(second + 48 + 4, {24, 0, 0, 0});
  Damage(second + 48 + 12, {9, 0, 0, 0});
  EXPECT_EQ(Read(1), 0);
  // A first-chunk offset far past the page ends the chunks without reading.
  Damage(second + 48 + 12, {0, 0, 0, 0});
  ASSERT_EQ(Read(1), 1);
  Damage(second + 4, {0xF0, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Read(1), 1);
  EXPECT_EQ(builder()->key_sets[0].slot[kGenre][0], 0);
  // Not a page.
  Damage(second, {'x', 'v', 't', 'i'});
  EXPECT_EQ(Read(1), 0);
  EXPECT_EQ(LastError().detail, 5u);
  EXPECT_EQ(LastError().module, kBuilderLive);
  // A page cut short by the end of the file.
  std::vector<uint8_t> file = test::ReadFileBytes(TrackFile());
  file.resize(builder()->track_positions[2] + 40);
  test::WriteFileBytes(TrackFile(), file);
  EXPECT_EQ(Read(2), 0);
  EXPECT_EQ(LastError().detail, 4u);
}

TEST_F(ReadBackTest, ADamagedTrackListFailsTheFinalMerge) {
  for (uint32_t t = 0; t < 3; ++t)
    Damage(builder()->track_positions[t] + 48 + 8, {0xFF, 0xFF, 0xFF, 0xFF});
  ASSERT_EQ(AddOne(), 0);
  EXPECT_EQ(FlushBuild(1), 3);
  EXPECT_EQ(LastError().detail, 6u);
  EXPECT_EQ(IsFlushInProgress(), 0);
}

class FailureTest : public ReadBackTest {
 protected:
  test::FaultyFileDoor door_;
};

TEST_F(FailureTest, TheSecondSpillFailsWhenTheTrackListCannotBeOpened) {
  test::ScopedFileDoor scoped(&door_);
  door_.FailNth(test::FileOp::kOpen, 1, "QVTL.DB");
  ASSERT_EQ(AddOne(), 0);
  ASSERT_EQ(AddOne(), 0);
  EXPECT_EQ(AddOne(), 3);  // the third added track fills the batch
  EXPECT_TRUE(door_.Fired());
  EXPECT_EQ(IsFlushInProgress(), 0);
  EXPECT_EQ(builder()->batch_tracks, 3u);
}

TEST_F(FailureTest, AFailedKeyReadFailsTheFlush) {
  test::ScopedFileDoor scoped(&door_);
  ASSERT_EQ(AddOne(), 0);
  door_.FailNth(test::FileOp::kRead, 1);
  EXPECT_EQ(FlushBuild(1), 3);
  EXPECT_EQ(LastError().site, kSiteReadTrackKeys);
  EXPECT_EQ(LastError().detail, 4u);
}

TEST_F(FailureTest, AFailedBatchWriteGivesFourAndKeepsTheBatch) {
  test::ScopedFileDoor scoped(&door_);
  ASSERT_EQ(AddOne(), 0);
  door_.FailFrom(test::FileOp::kWrite, 1);
  EXPECT_EQ(FlushBuild(1), 4);
  EXPECT_EQ(builder()->batch_tracks, 1u);
  EXPECT_EQ(builder()->batches_written, 1u);
}

TEST_F(FailureTest, FinishingPassAndBrowseFilesFailures) {
  test::ScopedFileDoor scoped(&door_);
  ASSERT_EQ(AddOne(), 0);
  ASSERT_EQ(FlushBuild(1), 0);
  door_.FailNth(test::FileOp::kOpen, 1, "QVTL.DB");
  EXPECT_EQ(FinishBuild(), 3);
  door_.FailNth(test::FileOp::kOpen, 1, "QVBL.DB");
  EXPECT_EQ(FinishBuild(), 4);
  door_.FailNth(test::FileOp::kOpen, 0);
  EXPECT_EQ(FinishBuild(), 0);
  std::vector<ReadPage> pages = ReadPages(LibraryFile(drive_, "QVTL.DB"));
  ASSERT_EQ(pages.size(), 4u);
  for (const ReadPage& p : pages) EXPECT_EQ(p.name_ids[kGenre], 0u);  // every genre is "Pop"
  EXPECT_EQ(pages[3].name_ids[kArtist], 2u);                          // the empty artist sorts last
}

// Notes the spill flag at every write, as the progress display would see it.
class FlagWatchingDoor : public SystemFileDoor {
 public:
  int64_t Write(int fd, const void* buffer, size_t count) override {
    (IsFlushInProgress() == 1 ? flagged : unflagged)++;
    return SystemFileDoor::Write(fd, buffer, count);
  }
  int flagged = 0;
  int unflagged = 0;
};

TEST(SpillFlag, SetWhileAnAddedFileSpillsButNotForTheFinalFlush) {
  test::TempDir drive;
  FlagWatchingDoor door;
  test::ScopedFileDoor scoped(&door);
  BuildOptions options;
  options.record_buffer_bytes = 4096;
  ASSERT_EQ(test::OpenTestBuild(drive.str(), options), 0);
  AddUntilSpill(2, Distinct);
  EXPECT_GT(door.flagged, 0);
  EXPECT_EQ(door.unflagged, 0);
  EXPECT_EQ(IsFlushInProgress(), 0);
  TrackTagsStorage storage;
  FillTrackTags(Distinct(1000), &storage);
  ASSERT_EQ(AddTagsToBuild(&storage.tags), 0);
  ASSERT_EQ(FlushBuild(1), 0);
  EXPECT_GT(door.unflagged, 0);
  CloseBuild();
}

TEST(SpillFailure, AFailedFirstWriteEndsTheSpillWithFour) {
  test::TempDir drive;
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  BuildOptions options;
  options.record_buffer_bytes = 1100;
  ASSERT_EQ(test::OpenTestBuild(drive.str(), options), 0);
  door.FailFrom(test::FileOp::kMkdir, 1);
  TrackTagsStorage storage;
  int result = 0;
  for (uint32_t i = 0; i < 3 && result == 0; ++i) {
    test::FillTrackTags(test::GeneratedTrack(i), &storage);
    result = AddTagsToBuild(&storage.tags);
  }
  EXPECT_EQ(result, 4);  // no library directory, so no track list
  EXPECT_EQ(IsFlushInProgress(), 0);
  EXPECT_EQ(TheBuildContext().spilled, 1u);
  CloseBuild();
}

}  // namespace
}  // namespace qv

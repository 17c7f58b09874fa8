// Whole libraries built through the create operations. The main property: a
// build whose batches spill gives the same three files as one batch, and the
// independent reader accepts them, statistics and collation included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"

namespace qv {
namespace {

using namespace test;

// Varied names, among them spellings that differ only in case, width, a
// leading article or letters at the edges of the folded ranges; a distinct
// title each, some paths ending in a wide unit.
TrackSpec Distinct(uint32_t i) {
  static const char* const kArtists[] = {"The Band", "band", "９Ｚ", "9z", "ßÀ", "ÿà", "Zoë",
                                         "ZOË",      "山田", "",   "the band", "Ａ０", "Ā"};
  TrackSpec t = GeneratedTrack(i);
  t.artist = U16(kArtists[(i / 3) % 13]);
  t.title += U16(" #" + std::to_string(i));
  if (i % 7 == 3) t.path += u"\u97f3";
  return t;
}

// Near-largest records: more than a thousand genres, over two thousand
// artists under the overflow genre, pages that fill the writer's staging
// area twice over.
TrackSpec Big(uint32_t i) {
  // Formatted and appended: GCC 12 warns falsely about joined temporaries.
  auto text = [](const char* format, uint32_t value, size_t wide, char16_t unit = u'\x3042') {
    char head[16];
    std::snprintf(head, sizeof head, format, value);
    std::u16string s = U16(head);
    s.append(wide, unit);
    return s;
  };
  TrackSpec t;
  t.genre = text(i < 1100 ? "G%04u" : "Z", i, 20);
  t.artist = text("A%u", i, 36);
  t.album = text("B%u", i % 301, 38);
  t.title = text("T%u", i, 50);
  t.path = text("/M/%u/", i % 13, 230, u'\x304A');
  t.path.append(U16(std::to_string(i)));
  t.track_number = static_cast<uint16_t>(i % 17);
  return t;
}

// Adds make(i) until the batch has spilled `spills` times, so the last file
// added is the one that spilled; returns how many were added.
uint32_t AddUntilSpill(uint32_t spills, TrackSpec (*make)(uint32_t)) {
  LibraryBuilder* b = TheBuildContext().builder;
  TrackTagsStorage storage;
  uint32_t i = 0;
  while (b->batches_written < spills && !::testing::Test::HasFailure()) {
    FillTrackTags(make(i++), &storage);
    EXPECT_EQ(AddTagsToBuild(&storage.tags), 0);
  }
  EXPECT_EQ(b->batch_tracks, 0u);
  return i;
}

TEST(BuildLibrary, SpilledBuildsEqualTheOneBatchBuild) {
  // count 0: until the third spill, which is the last file's; buffer: record buffer bytes.
  struct Shape { TrackSpec (*make)(uint32_t); uint32_t count, buffer; } const shapes[] = {{Distinct, 0, 16 * 1024}, {Distinct, 400, 4096}, {Big, 3900, 1400 * 1024}};
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.count);
    TempDir spilled, whole;
    BuildOptions options;
    options.record_buffer_bytes = s.buffer;
    uint32_t count = s.count;
    std::vector<TrackSpec> tracks;
    if (count == 0) {
      ASSERT_EQ(OpenTestBuild(spilled.str(), options), 0);
      count = AddUntilSpill(3, s.make);
      EXPECT_EQ((std::tuple{FlushBuild(1), FinishBuild()}), std::tuple(0, 0));
      EXPECT_EQ(TheBuildContext().builder->total_tracks, count);
      CloseBuild();
    }
    for (uint32_t i = 0; i < count; ++i) tracks.push_back(s.make(i));
    if (s.count != 0) {
      options.inspect = [](LibraryBuilder& b) { EXPECT_GE(b.batches_written, 2u); };
      ASSERT_EQ(BuildLibrary(spilled.str(), tracks, options), 0);
    }
    ASSERT_EQ(BuildLibrary(whole.str(), tracks), 0);
    for (const char* name : {"QVTL.DB", "QVBL.DB", "QVDB.DB"})
      EXPECT_TRUE(LibraryFile(spilled, name) == LibraryFile(whole, name)) << name;
    ExpectLibraryHolds(spilled);
  }
}

TEST(BuildLibrary, EqualKeysOfOldAndNewTracksPutTheNewFirst) {
  // Records of 60 bytes: the third fills a 1,100-byte buffer.
  std::vector<TrackSpec> five;
  for (int i = 0; i < 5; ++i) five.push_back(Named("g", "a", "b", "t", "/Music/t" + std::to_string(i) + ".mp3", 1));
  TempDir drive;
  BuildOptions options;
  options.record_buffer_bytes = 1100;
  options.inspect = [](LibraryBuilder& b) {
    EXPECT_EQ(b.batches_written, 2u);
    for (uint16_t c : {kGenre, kTitle})
      EXPECT_EQ(std::vector<uint32_t>(b.category_lists[c], b.category_lists[c] + 5),
                std::vector<uint32_t>({4, 3, 2, 0, 1}));
  };
  EXPECT_EQ(BuildLibrary(drive.str(), five, options), 0);
}

TEST(BuildLibrary, FullAtOneHundredFiftyThousandTracks) {
  TempDir drive;
  ASSERT_EQ(OpenTestBuild(drive.str()), 0);
  LibraryBuilder* b = TheBuildContext().builder;
  TrackTagsStorage storage;
  FillTrackTags(Named("g", "a", "b", "t", "/p", 1), &storage);
  for (uint32_t i = 0; i < kMaxTracks; ++i)
    ASSERT_EQ(AddTrackRecord(b, &storage.tags), i + 1 == kMaxTracks ? 2 : 0) << i;
  EXPECT_EQ(b->batches_written, 0u);
  EXPECT_EQ(AddTrackRecord(b, &storage.tags), 2);
  EXPECT_EQ(AddTagsToBuild(&storage.tags), 0);
  EXPECT_EQ(AddFileToBuild("/nonexistent/file.mp3", 2), 2);
  EXPECT_EQ(b->total_tracks, kMaxTracks);
  CloseBuild();
}

TEST(BuildLibrary, OperationsOnAReleasedBuilderAbort) {
  ASSERT_EQ(OpenBuild("/nonexistent-drive/", 1), 0);
  EXPECT_EQ(std::string(TheBuildContext().builder->drive_path), "/nonexistent-drive/");
  CloseBuild();
  EXPECT_DEATH(FlushBuild(1), "not live");
  EXPECT_EQ(OpenBuild(std::string(600, 'd').c_str(), 1), 3);
  CloseBuild();
}

// A build with one spilled batch of tracks 0-2 on disk.
class SpilledBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildOptions options;
    options.record_buffer_bytes = 1100;
    ASSERT_EQ(OpenTestBuild(drive_.str(), options), 0);
    AddUntilSpill(1, [](uint32_t i) {
      return Named("Pop", i == 1 ? "The Who" : "Abba", "Hits", "Song" + std::to_string(i),
                   "/m/" + std::to_string(i) + ".mp3", static_cast<uint16_t>(i + 4));
    });
    ASSERT_EQ(b()->tracks_on_disk, 3u);
  }
  void TearDown() override { CloseBuild(); }
  LibraryBuilder* b() { return TheBuildContext().builder; }
  std::string TrackFile() { return LibraryDirectory(drive_.str()) + "QVTL.DB"; }
  int AddOne() {
    TrackTagsStorage storage;
    FillTrackTags(Named("Pop", "", "", "", "/late.mp3"), &storage);
    return AddTagsToBuild(&storage.tags);
  }
  uint32_t LastDetail() { return TheErrorLog().entries[TheErrorLog().count - 1].detail; }

  TempDir drive_;
  FaultyFileDoor door_;
};

TEST_F(SpilledBuild, DamagedPagesFailTheFinalMerge) {
  std::vector<uint8_t> file = ReadFileBytes(TrackFile());
  for (uint32_t t = 0; t < 3; ++t) StoreLe32(file, b()->track_positions[t] + 48 + 8, ~0u);
  WriteFileBytes(TrackFile(), file);
  ASSERT_EQ(AddOne(), 0);
  EXPECT_EQ((std::tuple{FlushBuild(1), LastDetail(), IsFlushInProgress()}), std::tuple(3, 6, 0));
}

TEST_F(SpilledBuild, FailedFileCallsFailTheirStep) {
  ScopedFileDoor scoped(&door_);
  door_.FailNth(FileOp::kOpen, 1, "QVTL.DB");
  ASSERT_EQ((std::tuple{AddOne(), AddOne()}), std::tuple(0, 0));
  EXPECT_EQ(AddOne(), 3);  // the third fills the batch; its merge cannot read
  EXPECT_EQ(std::tuple(IsFlushInProgress(), b()->batch_tracks), std::tuple(0, 3));
  door_.FailNth(FileOp::kRead, 1);
  EXPECT_EQ((std::tuple{FlushBuild(1), LastDetail()}), std::tuple(3, 4));
  door_.FailFrom(FileOp::kWrite, 1);
  EXPECT_EQ(FlushBuild(1), 4);
  EXPECT_EQ(b()->batch_tracks, 3u);
  door_.FailNth(FileOp::kWrite, 0);
  ASSERT_EQ(FlushBuild(1), 0);
  for (auto [file, code] : {std::pair{"QVTL.DB", 3}, {"QVBL.DB", 4}, {"", 0}}) {
    door_.FailNth(FileOp::kOpen, *file ? 1 : 0, file);
    EXPECT_EQ(FinishBuild(), code) << file;
  }
  ReadLibrary lib;
  ReadFault fault;
  ASSERT_EQ((std::tuple{ParseTrackList(LibraryFile(drive_, "QVTL.DB"), &lib, &fault), lib.pages.size()}), std::tuple(0, 6));
  EXPECT_EQ(lib.pages[5].name_ids[kArtist], 2u);  // the empty artist sorts last
}

}  // namespace
}  // namespace qv

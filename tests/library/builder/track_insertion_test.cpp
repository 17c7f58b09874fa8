// Packing of track records, the batch limits and the create-mode totals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/builder/library_builder.h"
#include "library/files/writer_fixture.h"

namespace qv {
namespace {

using test::TrackSpec;
using test::U16;

class InsertionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OpenBuild("/nonexistent-drive", 1), 0); }
  void TearDown() override { CloseBuild(); }

  LibraryBuilder* builder() { return TheBuildContext().builder; }

  int Add(const TrackSpec& spec) {
    TrackTagsStorage storage;
    test::FillTrackTags(spec, &storage);
    return AddTrackRecord(builder(), &storage.tags);
  }

  std::vector<uint8_t> RecordBytes(uint32_t i, size_t n) {
    const uint8_t* r = builder()->batch_records[i];
    return std::vector<uint8_t>(r, r + n);
  }

  void Shrink(uint32_t bytes) {
    BuildContext& ctx = TheBuildContext();
    ASSERT_EQ(InitLibraryBuilder(ctx.builder, ctx.record_buffer, bytes, ctx.drive_record,
                                 ctx.sort_stack, kSortStackBytes, 1),
              1);
  }
};

TrackSpec Spec(const std::string& genre, const std::string& artist, const std::string& album,
               const std::string& title, const std::string& path) {
  return test::Named(genre, artist, album, title, path);
}

TEST_F(InsertionTest, PacksEightBitAndWideStringsBehindTheHeader) {
  TrackSpec t = Spec("Rock", "Zoë", "山", "", "/a.mp3");
  t.track_number = 7;
  t.file_size = 0x01020304;
  t.file_type = kFileTypeM4a;
  ASSERT_EQ(Add(t), 0);
  // The header, then each string's distance from byte 34 with its 8-bit
  // flag; the strings follow, padded up to a multiple of 4.
  const std::vector<uint8_t> expected = {
      0,    0,    0,    0,    4,    3,    2,    1,     // track id, file size
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // reserved 1 and 2
      7,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 4,     // number, reserved 3, 4 and file type
      4,    0x80, 10,   0x80, 14,   0x00, 18,   0x80,  // genre, artist, album (UTF-16), title
      20,   0x80, 0,    0,    0,    0,    'R',  'o',   // path, reserved
      'c',  'k',  0,    0,    'Z',  'o',  0xEB, 0,    0x71, 0x5C, 0, 0, 0, 0,
      '/',  'a',  '.',  'm',  'p',  '3',  0,    0,    0,    0};
  EXPECT_EQ(RecordBytes(0, expected.size()), expected);
  EXPECT_EQ(builder()->record_cursor, builder()->record_buffer_base + 64);
  EXPECT_EQ(builder()->total_tracks, 1u);
  EXPECT_EQ(builder()->batch_tracks, 1u);
  EXPECT_EQ(builder()->next_track_id, 1u);

  uint16_t out[256];
  EXPECT_EQ(CopyRecordString(builder()->batch_records[0], kArtist, out), 8u);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(out)), U16("Zoë"));
  EXPECT_EQ(CopyRecordString(builder()->batch_records[0], kAlbum, out), 4u);
  EXPECT_EQ(out[0], 0x5C71);
  EXPECT_EQ(CopyRecordString(builder()->batch_records[0], kTitle, out), 2u);
  EXPECT_EQ(out[0], 0);
}

TEST_F(InsertionTest, LargestRecordFillsItsAreasAndStaysAligned) {
  std::u16string wide(300, u'\u00C0');
  wide[0] = u'\u0100';  // one unit above 255 makes the whole string UTF-16
  TrackSpec t;
  t.genre = t.artist = t.album = t.title = t.path = wide;
  ASSERT_EQ(Add(t), 0);
  ASSERT_EQ(Add(Spec("a", "b", "c", "d", "/e")), 0);
  const uint8_t* r = builder()->batch_records[0];
  const uint16_t distances[5] = {4, 64, 160, 256, 384};
  for (int s = 0; s < 5; ++s) {
    EXPECT_EQ(r[24 + 2 * s] | (r[25 + 2 * s] << 8), distances[s]) << "slot " << s;
    uint16_t out[256];
    uint32_t length = CopyRecordString(r, s, out);
    EXPECT_EQ(length, kSlotMaxBytes[s]) << "slot " << s;
    EXPECT_EQ(out[length / 2 - 2], 0xC0);
    EXPECT_EQ(out[length / 2 - 1], 0);
  }
  EXPECT_EQ(builder()->batch_records[1], builder()->record_buffer_base + 932);
  EXPECT_EQ(builder()->batch_records[1][0], 1);  // the second track's id
}

TEST_F(InsertionTest, TitleAndPathTotals) {
  ASSERT_EQ(Add(Spec("", "", "", "ab", "/a.mp3")), 0);
  EXPECT_EQ(builder()->title_bytes, 6u);
  EXPECT_EQ(builder()->stored_title_bytes, 4u);
  EXPECT_EQ(builder()->path_bytes, 14u);
  EXPECT_EQ(builder()->packed_path_bytes, 8u);  // the first path counts in full
  ASSERT_EQ(Add(Spec("", "", "", "♪", "/a.mp4")), 0);
  EXPECT_EQ(builder()->title_bytes, 10u);
  EXPECT_EQ(builder()->stored_title_bytes, 8u);  // UTF-16 title with terminator
  EXPECT_EQ(builder()->path_bytes, 28u);
  EXPECT_EQ(builder()->packed_path_bytes, 10u);  // "4" and its terminator, 8-bit
  ASSERT_EQ(Add(Spec("", "", "", "", "/a.m山")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 14u);  // the rest is UTF-16: 4 bytes
  ASSERT_EQ(Add(Spec("", "", "", "", "/b")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 16u);  // shares "/": "b" and terminator
  ASSERT_EQ(Add(Spec("", "", "", "", "x")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 18u);  // shares nothing
  // Tracks 5 to 19 share the whole path; track 20 restarts in full.
  for (int i = 5; i < 20; ++i) ASSERT_EQ(Add(Spec("", "", "", "", "x")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 18u + 15u * 2u);
  ASSERT_EQ(Add(Spec("", "", "", "", "x")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 18u + 15u * 2u + 2u);
  ASSERT_EQ(Add(Spec("", "", "", "", "/abcdefgh")), 0);
  EXPECT_EQ(builder()->packed_path_bytes, 50u + 10u);  // 20 bytes halved, already even
}

TEST_F(InsertionTest, AsksForASpillBeforeTheNextRecordCouldNotFit) {
  Shrink(2000);
  // Records of 64 bytes: the 17th leaves fewer than 931 bytes free.
  for (int i = 1; i <= 16; ++i) ASSERT_EQ(Add(Spec("Rock", "Zoë", "山", "", "/a.mp3")), 0) << i;
  EXPECT_EQ(Add(Spec("Rock", "Zoë", "山", "", "/a.mp3")), 1);
  ResetBatch(builder());
  EXPECT_EQ(builder()->batch_tracks, 0u);
  EXPECT_EQ(builder()->batches_written, 1u);
  EXPECT_EQ(builder()->record_cursor, builder()->record_buffer_base);
  EXPECT_EQ(builder()->total_tracks, 17u);
  EXPECT_EQ(Add(Spec("", "", "", "", "/b")), 0);
  EXPECT_EQ(builder()->batch_records[0][0], 17);  // ids go on over batches
}

TEST_F(InsertionTest, InitRefusesUnusableAreas) {
  BuildContext& ctx = TheBuildContext();
  auto init = [&](uint8_t* records, DriveRecord* drive, uint32_t stack_bytes) {
    return InitLibraryBuilder(builder(), records, 4096, drive, ctx.sort_stack, stack_bytes, 1);
  };
  EXPECT_EQ(init(ctx.record_buffer + 2, ctx.drive_record, kSortStackBytes), 0);  // unaligned
  EXPECT_EQ(init(ctx.record_buffer, ctx.drive_record, kSortStackBytes - 4), 0);
  EXPECT_EQ(init(ctx.record_buffer, nullptr, kSortStackBytes), 0);
  ASSERT_EQ(init(ctx.record_buffer, ctx.drive_record, kSortStackBytes), 1);
  EXPECT_EQ(builder()->record_cursor, builder()->record_buffer_base);
  EXPECT_EQ(builder()->category_lists[kTitle][149999], 149999u);
  EXPECT_EQ(builder()->name_ids[kAlbum][149999], kNoId);
}

TEST(ErrorLogTest, KeepsSixteenEntries) {
  ErrorLog log;
  ResetErrorLog(&log);
  for (uint32_t i = 0; i < 17; ++i) AppendErrorLog(&log, kBuilderLive, kSiteReadTrackKeys, i);
  EXPECT_EQ(log.count, 16u);
  EXPECT_EQ(log.entries[15].detail, 15u);
  EXPECT_EQ(log.entries[0].module, kBuilderLive);
  ResetErrorLog(&log);
  EXPECT_EQ(log.count, 0u);
  EXPECT_EQ(log.entries[3].site, 0u);
}

TEST(BuildLifecycle, OperationsOnAReleasedBuilderAbort) {
  ASSERT_EQ(OpenBuild("/nonexistent-drive/", 1), 0);
  EXPECT_EQ(std::string(TheBuildContext().builder->drive_path), "/nonexistent-drive/");
  CloseBuild();
  EXPECT_EQ(TheBuildContext().builder, nullptr);
  EXPECT_EQ(TheBuildContext().record_buffer, nullptr);
  EXPECT_DEATH(FlushBuild(1), "not live");
  std::string long_path(600, 'd');
  EXPECT_EQ(OpenBuild(long_path.c_str(), 1), 3);
  CloseBuild();
}

}  // namespace
}  // namespace qv

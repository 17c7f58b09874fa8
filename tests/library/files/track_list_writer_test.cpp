// The track list on disk: page bytes, appended batches, the finishing pass
// that puts the final name ids into spilled pages, old tails and failures.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "library/build/library_builder.h"
#include "library/files/library_files.h"
#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

TrackSpec Numbered(int i) {
  TrackSpec t;
  t.genre = Ascii(i % 3 == 0 ? "Rock" : "Jazz");
  t.artist = Ascii("Artist " + std::to_string(i % 5));
  t.album = Ascii("Album " + std::to_string(i % 4));
  t.title = Ascii("Title " + std::to_string(i));
  t.path = Ascii("/Music/f" + std::to_string(i) + ".mp3");
  t.number = static_cast<uint16_t>(i % 7 + 1);
  return t;
}

TEST(TrackListWriter, SmallestPageHasTheDocumentedBytes) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  TrackSpec t;
  t.title = u"A";
  t.path = u"/a.mp3";
  t.number = 7;
  t.file_size = 0x01020304;
  ASSERT_EQ(build.Add(t), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);

  std::vector<uint8_t> f = build.File(kTrackFileName);
  ASSERT_EQ(f.size(), 216u);
  EXPECT_EQ(Tag(f, 0), "qvtl");
  EXPECT_EQ(Le32(f, 4), 16u);
  EXPECT_EQ(Le32(f, 8), 216u);
  EXPECT_EQ(Le32(f, 12), 1u);

  const size_t p = 16;
  EXPECT_EQ(Tag(f, p), "qvti");
  EXPECT_EQ(Le32(f, p + 4), 48u);
  EXPECT_EQ(Le32(f, p + 8), 200u);
  EXPECT_EQ(Le32(f, p + 12), 5u);
  EXPECT_EQ(f[p + 16], kFileTypeMp3);
  EXPECT_EQ(f[p + 17], 1);
  EXPECT_EQ(Le16(f, p + 18), 0);
  EXPECT_EQ(Le32(f, p + 20), 0u);
  EXPECT_EQ(Le32(f, p + 24), 0u);
  EXPECT_EQ(Le32(f, p + 28), 0x01020304u);
  EXPECT_EQ(Le32(f, p + 32), 0xFFFFFFFFu);
  EXPECT_EQ(Le16(f, p + 36), 7);
  EXPECT_EQ(Le16(f, p + 38), 0xFFFF);
  EXPECT_EQ(Le32(f, p + 40), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(f, p + 44), 0x007FFFFFu);

  // Three empty names and a one-character title take 28 bytes each; the
  // six-character path has 14 bytes of text padded to 16.
  const uint32_t sizes[5] = {28, 28, 28, 28, 40};
  size_t c = p + 48;
  for (uint32_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(Tag(f, c), "qvst");
    EXPECT_EQ(Le32(f, c + 4), 24u);
    EXPECT_EQ(Le32(f, c + 8), sizes[k]);
    EXPECT_EQ(Le32(f, c + 12), k);
    EXPECT_EQ(Le32(f, c + 16), 0u);  // first name of each category; 0 for title and path
    EXPECT_EQ(Le32(f, c + 20), sizes[k] - 24);
    c += sizes[k];
  }
  EXPECT_EQ(ChunkText(f, p + 48 + 84), u"A");
  EXPECT_EQ(ChunkText(f, p + 48 + 112), u"/a.mp3");
  // Padding after the terminator is zero.
  EXPECT_EQ(Le16(f, p + 48 + 112 + 24 + 12), 0);
  EXPECT_EQ(Le16(f, p + 48 + 112 + 24 + 14), 0);
  EXPECT_EQ(build.b()->tracks_on_disk, 1u);
}

TEST(TrackListWriter, PagesFollowEachOtherAndPositionsAreKept) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> f = build.File(kTrackFileName);
  std::vector<PageView> pages = ReadPages(f);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(Le32(f, 12), 3u);
  EXPECT_EQ(Le32(f, 8), 16 + pages[0].size + pages[1].size + pages[2].size);
  EXPECT_EQ(Le32(f, 8), f.size());
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(build.b()->track_positions[i], pages[i].offset);
    EXPECT_EQ(Le32(f, pages[i].offset + 20), i);
    EXPECT_EQ(pages[i].texts[3], Numbered(static_cast<int>(i)).title);
    EXPECT_EQ(pages[i].texts[4], Numbered(static_cast<int>(i)).path);
  }
}

TEST(TrackListWriter, LongestTitleAndPathFillTheirAreasWithoutPadding) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  TrackSpec t;
  t.title = std::u16string(63, u'\x3042');  // UTF-16 form: 126 bytes + terminator
  t.path = u"/" + std::u16string(254, u'p');
  ASSERT_EQ(build.Add(t), kEngineOk);
  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> f = build.File(kTrackFileName);
  size_t title = 16 + 48 + 3 * 28;
  EXPECT_EQ(Le32(f, title + 20), 128u);
  EXPECT_EQ(ChunkText(f, title), t.title);
  size_t path = title + 24 + 128;
  EXPECT_EQ(Le32(f, path + 20), 512u);
  EXPECT_EQ(ChunkText(f, path), t.path);
  EXPECT_EQ(Le32(f, 16 + 8), 48u + 3 * 28 + 152 + 536);
  EXPECT_EQ(f.size(), 16u + 48 + 3 * 28 + 152 + 536);
}

// Tracks of the second half come in a second batch; the file must hold the
// same bytes a single batch gives, with the final ids in the early pages.
TEST(TrackListWriter, SpilledBatchesGetTheirFinalNameIds) {
  TempDir one_drive, two_drive;
  std::vector<uint8_t> single;
  {
    WriterBuild build(one_drive.str());
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 40; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
    ASSERT_EQ(build.Complete(), kEngineOk);
    single = build.File(kTrackFileName);
  }
  WriterBuild build(two_drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
    if (i == 14 || i == 29) {
      ASSERT_EQ(build.Spill(), kEngineOk);
    }
  }
  std::vector<PageView> early = ReadPages(build.File(kTrackFileName));
  ASSERT_EQ(early.size(), 30u);
  EXPECT_EQ(early[0].name_ids[0], kNoId);  // written before any name was numbered

  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> spilled = build.File(kTrackFileName);
  std::vector<PageView> pages = ReadPages(spilled);
  ASSERT_EQ(pages.size(), 40u);
  for (uint32_t t = 0; t < 40; ++t) {
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(pages[t].name_ids[k], build.b()->name_ids[k][t]) << t << " " << k;
  }
  // Rock sorts after Jazz: tracks 0, 3, 6, ... carry genre id 1.
  EXPECT_EQ(pages[0].name_ids[0], 1u);
  EXPECT_EQ(pages[1].name_ids[0], 0u);
  EXPECT_EQ(spilled, single);
}

// Near-largest pages, so that both the writer and the finishing pass fill
// their staging area several times over.
TrackSpec Large(int i) {
  TrackSpec t;
  t.genre = Ascii("Genre " + std::to_string(i % 11)) + std::u16string(20, u'\x3042');
  t.artist = Ascii("Artist " + std::to_string(i % 97)) + std::u16string(36, u'\x3044');
  t.album = Ascii("Album " + std::to_string(i % 301)) + std::u16string(38, u'\x3046');
  t.title = Ascii("Title " + std::to_string(i)) + std::u16string(50, u'\x3048');
  t.path = Ascii("/Music/" + std::to_string(i % 13) + "/") + std::u16string(230, u'\x304A') +
           Ascii(std::to_string(i));
  t.number = static_cast<uint16_t>(i % 17);
  return t;
}

TEST(TrackListWriter, LargeListsComeOutTheSameInOneBatchOrSeveral) {
  const int kTracks = 6000;
  TempDir one_drive, three_drive;
  std::vector<uint8_t> single;
  {
    WriterBuild build(one_drive.str());
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < kTracks; ++i) ASSERT_EQ(build.Add(Large(i)), kEngineOk);
    ASSERT_EQ(build.Complete(), kEngineOk);
    single = build.File(kTrackFileName);
  }
  ASSERT_GT(single.size(), 3u * kPageBufferBytes / 2);
  WriterBuild build(three_drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < kTracks; ++i) {
    ASSERT_EQ(build.Add(Large(i)), kEngineOk);
    if (i == 2599 || i == 5199) {
      ASSERT_EQ(build.Spill(), kEngineOk);
    }
  }
  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> spilled = build.File(kTrackFileName);
  EXPECT_TRUE(spilled == single);
  std::vector<PageView> pages = ReadPages(spilled);
  ASSERT_EQ(pages.size(), static_cast<size_t>(kTracks));
  for (uint32_t t = 0; t < kTracks; ++t) {
    ASSERT_EQ(pages[t].name_ids[0], build.b()->name_ids[0][t]) << t;
    ASSERT_EQ(pages[t].name_ids[2], build.b()->name_ids[2][t]) << t;
    ASSERT_EQ(pages[t].texts[4], Large(static_cast<int>(t)).path) << t;
  }
  EXPECT_EQ(build.b()->distinct_names[0], 11u);
  EXPECT_EQ(build.b()->distinct_names[2], 301u);
}

// In update mode the insertion leaves the title and path totals alone and the
// pages count them as they are written.
TEST(TrackListWriter, UpdateModePagesCountTitlesAndPackedPaths) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  LibraryBuilder* b = build.b();
  b->flags = static_cast<uint16_t>(b->flags | kFlagUpdateMode);
  char path[32];
  for (int i = 0; i < 21; ++i) {
    std::snprintf(path, sizeof(path), "/Music/a%02d.mp3", i);
    TrackSpec t;
    t.title = u"Song";
    t.path = Ascii(path);
    ASSERT_EQ(build.Add(t), kEngineOk);
  }
  TrackSpec wide;
  wide.title = u"\x6b4c";
  wide.path = u"/Music/\x6b4c.mp3";
  ASSERT_EQ(build.Add(wide), kEngineOk);
  EXPECT_EQ(b->title_bytes, 0u);
  EXPECT_EQ(b->packed_path_bytes, 0u);
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(b, c), 1);
    ASSERT_EQ(MergeBatch(b, b->batch_tracks, 1), 1);
  }
  uint32_t counted = b->title_counts[0];
  ASSERT_EQ(WriteTrackPages(b), 1);
  EXPECT_EQ(b->title_counts[0] - counted, 22u);
  EXPECT_EQ(b->title_bytes, 21u * 10 + 4);
  EXPECT_EQ(b->stored_title_bytes, 21u * 6 + 4);
  EXPECT_EQ(b->path_bytes, 21u * 30 + 26);
  // Whole padded path (32 bytes, halved) at 0 and 20; the 5 or 6 unshared
  // 8-bit units elsewhere, rounded up to 8 bytes; the wide path's 14 bytes
  // after the shared "/Music/".
  EXPECT_EQ(b->packed_path_bytes, 16u + 19 * 8 + 16 + 14);
  std::vector<uint16_t> last(wide.path.begin(), wide.path.end());
  last.push_back(0);
  EXPECT_EQ(std::memcmp(b->previous_path, last.data(), last.size() * 2), 0);
}

TEST(TrackListWriter, AppendRefusesAHeaderThatDisagreesWithTheBuild) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 4; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
  ASSERT_EQ(build.Spill(), kEngineOk);
  ASSERT_EQ(build.Add(Numbered(4)), kEngineOk);

  std::filesystem::path file = build.LibraryDir() / kTrackFileName;
  std::vector<uint8_t> before = ReadFileBytes(file);
  std::vector<uint8_t> wrong = before;
  StoreLe32(wrong, 12, 3);
  WriteFileBytes(file, wrong);
  ResetErrorLog(&TheErrorLog());
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(build.b(), c), 1);
    ASSERT_EQ(MergeBatch(build.b(), build.b()->batch_tracks, 0), 1);
  }
  EXPECT_EQ(WriteTrackPages(build.b()), 0);
  EXPECT_EQ(ReadFileBytes(file), wrong);
  EXPECT_EQ(build.b()->tracks_on_disk, 4u);
  ASSERT_EQ(TheErrorLog().count, 1u);
  EXPECT_EQ(TheErrorLog().entries[0].module, kBuilderLive);
  EXPECT_EQ(TheErrorLog().entries[0].site, kSiteWriteTrackPages);
  EXPECT_EQ(TheErrorLog().entries[0].detail, 9u);

  // A header that is not a track list at all is refused as well.
  std::vector<uint8_t> foreign = before;
  foreign[0] = 'x';
  WriteFileBytes(file, foreign);
  ResetErrorLog(&TheErrorLog());
  EXPECT_EQ(WriteTrackPages(build.b()), 0);
  EXPECT_EQ(TheErrorLog().entries[0].detail, 8u);
  EXPECT_EQ(ReadFileBytes(file), foreign);
}

TEST(TrackListWriter, OldLongerFileKeepsItsTailAndReadsBack) {
  TempDir drive;
  std::filesystem::path dir = drive.path() / "QUORVEN" / "LIBRARY";
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> old(100000, 0xEE);
  WriteFileBytes(dir / kTrackFileName, old);

  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
    if (i == 4) {
      ASSERT_EQ(build.Spill(), kEngineOk);
    }
  }
  ASSERT_EQ(build.Complete(), kEngineOk);
  std::vector<uint8_t> f = build.File(kTrackFileName);
  ASSERT_EQ(f.size(), old.size());
  uint32_t length = Le32(f, 8);
  ASSERT_LT(length, f.size());
  for (size_t i = length; i < f.size(); ++i) ASSERT_EQ(f[i], 0xEE) << i;
  std::vector<PageView> pages = ReadPages(f);
  ASSERT_EQ(pages.size(), 10u);
  EXPECT_EQ(pages.back().offset + pages.back().size, length);
  for (uint32_t t = 0; t < 10; ++t) {
    EXPECT_EQ(pages[t].texts[1], Numbered(static_cast<int>(t)).artist);
    EXPECT_EQ(pages[t].name_ids[1], build.b()->name_ids[1][t]);
  }
}

// Runs the finishing pass over a spilled build whose file the test damaged.
class DamagedTrackList : public ::testing::Test {
 protected:
  void SetUp() override {
    build_ = std::make_unique<WriterBuild>(drive_.str());
    ASSERT_TRUE(build_->ok());
    for (int i = 0; i < 6; ++i) {
      ASSERT_EQ(build_->Add(Numbered(i)), kEngineOk);
      if (i == 2) {
        ASSERT_EQ(build_->Spill(), kEngineOk);
      }
    }
    ASSERT_EQ(FlushBuild(1), kEngineOk);
    file_ = build_->LibraryDir() / kTrackFileName;
    bytes_ = ReadFileBytes(file_);
    ResetErrorLog(&TheErrorLog());
  }
  // Damages the file, runs the pass and expects it to fail at `step` without
  // changing a byte.
  void ExpectRefused(uint32_t step) {
    WriteFileBytes(file_, bytes_);
    EXPECT_EQ(FinishTrackList(build_->b()), -1);
    EXPECT_EQ(ReadFileBytes(file_), bytes_);
    ASSERT_EQ(TheErrorLog().count, 1u);
    EXPECT_EQ(TheErrorLog().entries[0].site, kSiteFinishTrackList);
    EXPECT_EQ(TheErrorLog().entries[0].detail, step);
  }
  size_t Page(int t) const { return build_->b()->track_positions[t]; }

  TempDir drive_;
  std::unique_ptr<WriterBuild> build_;
  std::filesystem::path file_;
  std::vector<uint8_t> bytes_;
};

TEST_F(DamagedTrackList, IntactFileIsPatchedInPlace) {
  EXPECT_EQ(FinishTrackList(build_->b()), 1);
  std::vector<uint8_t> f = ReadFileBytes(file_);
  EXPECT_EQ(f.size(), bytes_.size());
  std::vector<PageView> pages = ReadPages(f);
  ASSERT_EQ(pages.size(), 6u);
  for (uint32_t t = 0; t < 6; ++t) EXPECT_EQ(pages[t].name_ids[2], build_->b()->name_ids[2][t]);
}

TEST_F(DamagedTrackList, PageClaimingMoreThanWasReadIsRefused) {
  StoreLe32(bytes_, Page(5) + 8, 5000);
  ExpectRefused(5);
}

TEST_F(DamagedTrackList, ChunkRunningPastItsPageIsRefused) {
  StoreLe32(bytes_, Page(1) + 48 + 8, 0x7FFFFFF0);
  ExpectRefused(5);
}

TEST_F(DamagedTrackList, ChunkStartBeyondThePageIsRefused) {
  StoreLe32(bytes_, Page(2) + 4, 0xFFFFFFF0);
  ExpectRefused(5);
}

TEST_F(DamagedTrackList, ForeignPageTagIsRefused) {
  bytes_[Page(3)] = 'Q';
  ExpectRefused(5);
}

TEST_F(DamagedTrackList, TruncatedFileIsRefused) {
  bytes_.resize(Page(5) + 30);
  ExpectRefused(5);
}

TEST_F(DamagedTrackList, ForeignFileTagIsRefused) {
  bytes_[1] = 'x';
  ExpectRefused(3);
}

TEST_F(DamagedTrackList, PagesThatDoNotFollowEachOtherAreRefused) {
  // A page size shorter than the page leaves a gap the staged rewrite would
  // close up, shifting every later page.
  uint32_t size = Le32(bytes_, Page(1) + 8);
  StoreLe32(bytes_, Page(1) + 8, size - 4);
  ExpectRefused(5);
}

struct WriteFault {
  FileOp op;
  int nth;
  uint32_t step;
};

class TrackListFaults : public ::testing::TestWithParam<WriteFault> {};

// The first batch: open, header write, pages write, header rewrite.
TEST_P(TrackListFaults, FailedCallFailsTheWrite) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(build.b(), c), 1);
    ASSERT_EQ(MergeBatch(build.b(), build.b()->batch_tracks, 1), 1);
  }
  ResetErrorLog(&TheErrorLog());
  FaultyFileDoor door;
  door.FailNth(GetParam().op, GetParam().nth);
  {
    ScopedFileDoor scope(&door);
    EXPECT_EQ(WriteTrackPages(build.b()), 0);
  }
  EXPECT_TRUE(door.Fired());
  EXPECT_EQ(build.b()->tracks_on_disk, 0u);
  ASSERT_EQ(TheErrorLog().count, 1u);
  EXPECT_EQ(TheErrorLog().entries[0].site, kSiteWriteTrackPages);
  EXPECT_EQ(TheErrorLog().entries[0].detail, GetParam().step);
  // Whatever failed, the file was closed again.
  if (GetParam().op != FileOp::kOpen) {
    EXPECT_EQ(door.Calls(FileOp::kOpen), door.Calls(FileOp::kClose));
  }
}

INSTANTIATE_TEST_SUITE_P(FirstBatch, TrackListFaults,
                         ::testing::Values(WriteFault{FileOp::kOpen, 1, 1},
                                           WriteFault{FileOp::kWrite, 1, 2},
                                           WriteFault{FileOp::kWrite, 2, 4},
                                           WriteFault{FileOp::kWrite, 3, 5},
                                           WriteFault{FileOp::kSeek, 1, 5}));

TEST(TrackListWriter, FailedWritesOfALaterBatchFail) {
  for (int nth = 1; nth <= 2; ++nth) {
    SCOPED_TRACE(nth);
    TempDir drive;
    WriterBuild build(drive.str());
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 3; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
    ASSERT_EQ(build.Spill(), kEngineOk);
    ASSERT_EQ(build.Add(Numbered(3)), kEngineOk);
    for (uint16_t c = kGenre; c <= kTitle; ++c) {
      ASSERT_EQ(SortBatch(build.b(), c), 1);
      ASSERT_EQ(MergeBatch(build.b(), build.b()->batch_tracks, 1), 1);
    }
    std::vector<uint8_t> before = build.File(kTrackFileName);
    ResetErrorLog(&TheErrorLog());
    FaultyFileDoor door;
    door.FailNth(FileOp::kWrite, nth);
    {
      ScopedFileDoor scope(&door);
      EXPECT_EQ(WriteTrackPages(build.b()), 0);
    }
    EXPECT_EQ(TheErrorLog().entries[0].detail, nth == 1 ? 11u : 12u);
    EXPECT_EQ(build.b()->tracks_on_disk, 3u);
    // The header still describes the three pages written before.
    std::vector<uint8_t> after = build.File(kTrackFileName);
    EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 16),
              std::vector<uint8_t>(before.begin(), before.begin() + 16));
  }
}

TEST(TrackListWriter, FailedRewriteOfTheFinishingPassFails) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
    if (i == 1) {
      ASSERT_EQ(build.Spill(), kEngineOk);
    }
  }
  ASSERT_EQ(FlushBuild(1), kEngineOk);
  ResetErrorLog(&TheErrorLog());
  FaultyFileDoor door;
  door.FailFrom(FileOp::kWrite, 1);
  {
    ScopedFileDoor scope(&door);
    EXPECT_EQ(FinishTrackList(build.b()), -1);
    EXPECT_EQ(FinishBuild(), kEngineBuildFailed);
  }
  EXPECT_EQ(TheErrorLog().entries[0].site, kSiteFinishTrackList);
  EXPECT_EQ(TheErrorLog().entries[0].detail, 7u);
}

}  // namespace
}  // namespace qv::test

// The track list on disk: longest pages, update-mode totals, appended
// batches, the finishing pass over damaged files and failed calls. Spilled
// and single-batch lists are compared in the build tests, exact page bytes
// against the hand-laid images in the reader's tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <tuple>

#include "library/files/writer_fixture.h"
#include "support/faulty_file_door.h"

namespace qv::test {
namespace {

TrackSpec Numbered(int i) {
  std::string n = std::to_string(i);
  return Named(i % 3 == 0 ? "Rock" : "Jazz", "Artist " + std::to_string(i % 5),
               "Album " + std::to_string(i % 4), "Title " + n, "/Music/f" + n + ".mp3",
               static_cast<uint16_t>(i % 7 + 1));
}

// In update mode the insertion leaves the title and path totals alone and the
// pages count them as they are written.
TEST(TrackListWriter, UpdateModePagesCountTitlesAndPackedPaths) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  LibraryBuilder* b = build.b();
  b->flags = static_cast<uint16_t>(b->flags | kFlagUpdateMode);
  for (int i = 0; i < 21; ++i) {
    ASSERT_EQ(build.Add(Named("", "", "", "Song", "/Music/a" + std::to_string(100 + i).substr(1) + ".mp3")), kEngineOk);
  }
  TrackSpec wide = Named("", "", "", "歌", "/Music/歌.mp3");
  ASSERT_EQ(build.Add(wide), kEngineOk);
  EXPECT_EQ(b->title_bytes, 0u);
  EXPECT_EQ(b->packed_path_bytes, 0u);
  SortAndMerge(b, 1);
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
}

TEST(TrackListWriter, AppendRefusesAHeaderThatDisagreesWithTheBuild) {
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 4; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
  ASSERT_EQ(build.Spill(), kEngineOk);
  ASSERT_EQ(build.Add(Numbered(4)), kEngineOk);

  std::filesystem::path file = build.LibraryDir() / kTrackFileName;
  const std::vector<uint8_t> before = ReadFileBytes(file);
  SortAndMerge(build.b(), 0);
  // A track count that disagrees, and a header that is no track list.
  for (auto [at, value, detail] : {std::tuple{12, 3u, 9u}, std::tuple{0, 0x6C747678u, 8u}}) {
    std::vector<uint8_t> wrong = before;
    StoreLe32(wrong, at, value);
    WriteFileBytes(file, wrong);
    ResetErrorLog(&TheErrorLog());
    EXPECT_EQ(WriteTrackPages(build.b()), 0);
    EXPECT_EQ(ReadFileBytes(file), wrong);
    EXPECT_EQ(build.b()->tracks_on_disk, 4u);
    ExpectOneError(kSiteWriteTrackPages, detail);
  }
}

// Runs the finishing pass over a spilled build whose file the test damaged.
class DamagedTrackList : public ::testing::Test {
 public:
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
    ExpectOneError(kSiteFinishTrackList, step);
  }
  size_t Page(int t) const { return build_->b()->track_positions[t]; }

  TempDir drive_;
  std::unique_ptr<WriterBuild> build_;
  std::filesystem::path file_;
  std::vector<uint8_t> bytes_;
};

TEST_F(DamagedTrackList, DamagedFilesAreRefusedUnchanged) {
  const std::vector<uint8_t> good = bytes_;
  struct Case {
    const char* name;
    std::function<void(DamagedTrackList*)> damage;
    uint32_t step;
  };
  const Case cases[] = {
      {"page claims more than was read", [](auto* d) { StoreLe32(d->bytes_, d->Page(5) + 8, 5000); }, 5},
      {"chunk runs past its page",
       [](auto* d) { StoreLe32(d->bytes_, d->Page(1) + 48 + 8, 0x7FFFFFF0); }, 5},
      {"chunk start beyond the page",
       [](auto* d) { StoreLe32(d->bytes_, d->Page(2) + 4, 0xFFFFFFF0); }, 5},
      {"foreign page tag", [](auto* d) { d->bytes_[d->Page(3)] = 'Q'; }, 5},
      {"truncated file", [](auto* d) { d->bytes_.resize(d->Page(5) + 30); }, 5},
      {"foreign file tag", [](auto* d) { d->bytes_[1] = 'x'; }, 3},
      // A page size shorter than the page leaves a gap the staged rewrite
      // would close up, shifting every later page.
      {"pages that do not follow each other",
       [](auto* d) { StoreLe32(d->bytes_, d->Page(1) + 8, Le32(d->bytes_, d->Page(1) + 8) - 4); },
       5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bytes_ = good;
    c.damage(this);
    ResetErrorLog(&TheErrorLog());
    ExpectRefused(c.step);
  }
}

TEST_F(DamagedTrackList, FailedRewriteFailsThePassAndTheFinish) {
  FaultyFileDoor door;
  door.FailFrom(FileOp::kWrite, 1);
  ScopedFileDoor scope(&door);
  EXPECT_EQ(FinishTrackList(build_->b()), -1);
  EXPECT_EQ(FinishBuild(), kEngineBuildFailed);
  EXPECT_EQ(TheErrorLog().entries[0].site, kSiteFinishTrackList);
  EXPECT_EQ(TheErrorLog().entries[0].detail, 7u);
}

struct WriteFault {
  FileOp op;
  int nth;
  uint32_t step;
  bool later;  // the write of a second batch, appended to the first
};

class TrackListFaults : public ::testing::TestWithParam<WriteFault> {};

// The first batch: open, header write, pages write, header rewrite; a later
// batch: pages write, header rewrite.
TEST_P(TrackListFaults, FailedCallFailsTheWrite) {
  const WriteFault& f = GetParam();
  TempDir drive;
  WriterBuild build(drive.str());
  ASSERT_TRUE(build.ok());
  for (int i = 0; i < 3; ++i) ASSERT_EQ(build.Add(Numbered(i)), kEngineOk);
  if (f.later) {
    ASSERT_EQ(build.Spill(), kEngineOk);
    ASSERT_EQ(build.Add(Numbered(3)), kEngineOk);
  }
  SortAndMerge(build.b(), 1);
  std::vector<uint8_t> before = f.later ? build.File(kTrackFileName) : std::vector<uint8_t>(16);
  ResetErrorLog(&TheErrorLog());
  FaultyFileDoor door;
  door.FailNth(f.op, f.nth);
  {
    ScopedFileDoor scope(&door);
    EXPECT_EQ(WriteTrackPages(build.b()), 0);
  }
  EXPECT_TRUE(door.Fired());
  EXPECT_EQ(build.b()->tracks_on_disk, f.later ? 3u : 0u);
  ExpectOneError(kSiteWriteTrackPages, f.step);
  // Whatever failed, the file was closed again.
  EXPECT_EQ(door.Calls(FileOp::kOpen) - (f.op == FileOp::kOpen), door.Calls(FileOp::kClose));
  // A later batch leaves the header describing the pages written before.
  std::vector<uint8_t> after = build.File(kTrackFileName);
  if (f.later) {
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 16, after.begin()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachCall, TrackListFaults,
    ::testing::Values(WriteFault{FileOp::kOpen, 1, 1, false}, WriteFault{FileOp::kWrite, 1, 2, false},
                      WriteFault{FileOp::kWrite, 2, 4, false}, WriteFault{FileOp::kWrite, 3, 5, false},
                      WriteFault{FileOp::kSeek, 1, 5, false}, WriteFault{FileOp::kWrite, 1, 11, true},
                      WriteFault{FileOp::kWrite, 2, 12, true}));

}  // namespace
}  // namespace qv::test

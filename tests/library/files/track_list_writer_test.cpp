// The track list on disk: update-mode totals, appended batches, the
// finishing pass over damaged files and failed calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

// Adds the first count of them, the batch spilled before the one at spill_at.
void AddNumbered(WriterBuild& build, int count, int spill_at) {
  for (int i = 0; i < count; ++i)
    ASSERT_EQ((std::tuple{i == spill_at ? build.Spill() : 0, build.Add(Numbered(i))}), std::tuple(0, 0)) << i;
}

// In update mode the insertion leaves the title and path totals alone and the
// pages count them as they are written.
TEST(TrackListWriter, UpdateModePagesCountTitlesAndPackedPaths) {
  TempDir drive;
  WriterBuild build(drive.str());
  LibraryBuilder* b = build.b();
  b->flags = static_cast<uint16_t>(b->flags | kFlagUpdateMode);
  for (int i = 0; i < 21; ++i)
    ASSERT_EQ(build.Add(Named("", "", "", "Song", "/Music/a" + std::to_string(100 + i).substr(1) + ".mp3")), kEngineOk);
  ASSERT_EQ(build.Add(Named("", "", "", "歌", "/Music/歌.mp3")), kEngineOk);
  EXPECT_EQ(std::tuple(b->title_bytes, b->packed_path_bytes), std::tuple(0, 0));
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
  AddNumbered(build, 5, 4);
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

// The finishing pass over a spilled build refuses a damaged file without
// changing a byte, and fails when its rewrite cannot be written.
TEST(TrackListWriter, FinishingPassRefusesDamagedFiles) {
  TempDir drive;
  WriterBuild build(drive.str());
  AddNumbered(build, 6, 3);
  ASSERT_EQ(FlushBuild(1), kEngineOk);
  const std::filesystem::path file = build.LibraryDir() / kTrackFileName;
  const std::vector<uint8_t> good = ReadFileBytes(file);
  auto page = [&](int t) { return build.b()->track_positions[t]; };
  const struct {
    size_t at;  // a word set to value; past the end: the file cut there
    uint32_t value, step;
  } cases[] = {{page(5) + 8, 5000, 5},                 // claims more than was read
               {page(1) + 48 + 8, 0x7FFFFFF0, 5},      // a chunk runs past its page
               {page(2) + 4, 0xFFFFFFF0, 5},           // chunks start beyond the page
               {page(3), 0x69747651, 5},               // a foreign page tag
               {page(1) + 8, LoadLe32(good, page(1) + 8) - 4, 5},  // a gap between pages
               {0, 0x6C747871, 3},                     // a foreign file tag
               {good.size() + page(5) + 30, 0, 5}};    // cut short
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    std::vector<uint8_t> bytes = good;
    if (c.at < good.size()) StoreLe32(bytes, c.at, c.value);
    else bytes.resize(c.at - good.size());
    WriteFileBytes(file, bytes);
    ResetErrorLog(&TheErrorLog());
    EXPECT_EQ(FinishTrackList(build.b()), -1);
    EXPECT_EQ(ReadFileBytes(file), bytes);
    ExpectOneError(kSiteFinishTrackList, c.step);
  }
  WriteFileBytes(file, good);
  ResetErrorLog(&TheErrorLog());
  FaultyFileDoor door;
  door.FailFrom(FileOp::kWrite, 1);
  ScopedFileDoor scope(&door);
  EXPECT_EQ(FinishBuild(), kEngineBuildFailed);
  ExpectOneError(kSiteFinishTrackList, 7u);
}

struct WriteFault { FileOp op; int nth; uint32_t step; bool later; };  // later: a second batch

class TrackListFaults : public ::testing::TestWithParam<WriteFault> {};

// The first batch: open, header write, pages write, header rewrite; a later
// batch: pages write, header rewrite.
TEST_P(TrackListFaults, FailedCallFailsTheWrite) {
  const WriteFault& f = GetParam();
  TempDir drive;
  WriterBuild build(drive.str());
  AddNumbered(build, f.later ? 4 : 3, 3);
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
  if (f.step != 0) ExpectOneError(kSiteWriteTrackPages, f.step);
  // Whatever failed, the file was closed again.
  EXPECT_EQ(door.Calls(FileOp::kOpen) - (f.op == FileOp::kOpen), door.Calls(FileOp::kClose));
  // A later batch leaves the header describing the pages written before.
  std::vector<uint8_t> after = build.File(kTrackFileName);
  EXPECT_TRUE(!f.later || std::equal(before.begin(), before.begin() + 16, after.begin()));
}

using enum FileOp;
INSTANTIATE_TEST_SUITE_P(EachCall, TrackListFaults,  // {kOpen, 2, 0, true}: the reopen for the header
    ::testing::ValuesIn(std::vector<WriteFault>{{kOpen, 1, 1, false}, {kWrite, 1, 2, false}, {kWrite, 2, 4, false},
        {kWrite, 3, 5, false}, {kSeek, 1, 5, false}, {kWrite, 1, 11, true}, {kWrite, 2, 12, true}, {kOpen, 2, 0, true}}));

}  // namespace
}  // namespace qv::test

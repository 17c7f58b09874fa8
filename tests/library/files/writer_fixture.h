// Helpers of the builder and writer tests: a build on a temporary drive whose
// batches spill where a test wants them, what a finished builder holds, and
// the track list's pages as the independent reader sees them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "platform/byte_order.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"
#include "tags/track_tags.h"

namespace qv::test {

inline std::u16string Ascii(const std::string& s) { return U16(s); }

// A track of the given texts (UTF-8).
inline TrackSpec Named(const std::string& genre, const std::string& artist,
                       const std::string& album, const std::string& title,
                       const std::string& path = "", uint16_t number = 0xFFFF) {
  return {U16(genre), U16(artist), U16(album), U16(title), U16(path), number};
}

// One build through the process's build context, on a drive folder of its own.
class WriterBuild {
 public:
  explicit WriterBuild(const std::string& drive, uint32_t kind = kFileSystemFat) : drive_(drive) {
    ok_ = OpenBuild(drive.c_str(), kind) == kEngineOk;
  }
  ~WriterBuild() { CloseBuild(); }
  WriterBuild(const WriterBuild&) = delete;
  WriterBuild& operator=(const WriterBuild&) = delete;

  bool ok() const { return ok_; }
  LibraryBuilder* b() const { return TheBuildContext().builder; }

  // Adds one track; spills when the batch asks for it, like a job would.
  int Add(const TrackSpec& t) {
    TrackTagsStorage s;
    FillTrackTags(t, &s);
    return AddTrackRecord(b(), &s.tags) == 1 ? Spill() : kEngineOk;
  }

  // Writes the current batch out as if it were full: 0, 3 or 4.
  int Spill() {
    TheBuildContext().spilled = 1;
    for (uint16_t c = kGenre; c <= kTitle; ++c) {
      if (SortBatch(b(), c) != 1 || MergeBatch(b(), b()->batch_tracks, 0) != 1)
        return kEngineBuildFailed;
    }
    if (WriteTrackPages(b()) != 1) return kEngineWriteFailed;
    ResetBatch(b());
    return kEngineOk;
  }

  // The end of a job: final flush and finish; 0 when both succeed.
  int Complete() {
    int flushed = FlushBuild(1);
    return flushed != kEngineOk ? flushed : FinishBuild();
  }

  std::filesystem::path LibraryDir() const {
    return std::filesystem::path(drive_) / "QUORVEN" / "LIBRARY";
  }
  std::vector<uint8_t> File(const char* name) const { return ReadFileBytes(LibraryDir() / name); }

 private:
  std::string drive_;
  bool ok_ = false;
};

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) { return LoadLe32(bytes, at); }
inline uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) { return LoadLe16(bytes, at); }

// The builder logged exactly one error since its log was last reset.
inline void ExpectOneError(uint32_t site, uint32_t detail) {
  ASSERT_EQ(TheErrorLog().count, 1u);
  EXPECT_EQ(TheErrorLog().entries[0].module, kBuilderLive);
  EXPECT_EQ(TheErrorLog().entries[0].site, site);
  EXPECT_EQ(TheErrorLog().entries[0].detail, detail);
}

// Sorts and merges the batch in every category, as a flush does.
inline void SortAndMerge(LibraryBuilder* b, int update) {
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(b, c), 1);
    ASSERT_EQ(MergeBatch(b, b->batch_tracks, update), 1);
  }
}

// The pages of a track list, read by the independent reader; empty when it
// finds the file damaged.
inline std::vector<ReadPage> ReadPages(const std::vector<uint8_t>& file) {
  ReadLibrary lib;
  ReadFault fault;
  if (ParseTrackList(file, &lib, &fault) != kReadOk) return {};
  return lib.pages;
}

// The builder's results that the browse files are made from.
struct BuildSnapshot {
  uint32_t total = 0;
  std::array<std::vector<uint32_t>, 4> lists;
  std::array<std::vector<uint32_t>, 3> ids;
  std::array<uint32_t, 3> name_bytes{}, stored_name_bytes{}, distinct{};
  std::array<uint32_t, 2> title_counts{};
  uint32_t batches_written = 0;
};

inline BuildSnapshot Snapshot(const LibraryBuilder& b) {
  BuildSnapshot s;
  s.total = b.total_tracks;
  for (int c = 0; c < 4; ++c)
    s.lists[c].assign(b.category_lists[c], b.category_lists[c] + b.total_tracks);
  for (int c = 0; c < 3; ++c) {
    s.ids[c].assign(b.name_ids[c], b.name_ids[c] + b.total_tracks);
    s.name_bytes[c] = b.name_bytes[c];
    s.stored_name_bytes[c] = b.stored_name_bytes[c];
    s.distinct[c] = b.distinct_names[c];
  }
  s.title_counts = {b.title_counts[0], b.title_counts[1]};
  s.batches_written = b.batches_written;
  return s;
}

inline std::vector<uint8_t> LibraryFile(const TempDir& drive, const char* name,
                                        uint32_t kind = kFileSystemFat) {
  return ReadFileBytes(LibraryDirectory(drive.str(), kind) + name);
}

// The independent reader accepts the library, statistics included.
inline void ExpectLibraryHolds(const TempDir& drive, uint32_t kind = kFileSystemFat) {
  ReadLibrary lib;
  ReadFault fault;
  ASSERT_EQ(ReadLibraryFiles(drive.str().c_str(), kind, &lib, &fault), kReadOk)
      << fault.file << " at " << fault.offset << ": " << fault.message;
  EXPECT_EQ(CheckCreateStatistics(lib, &fault), kReadOk)
      << fault.file << " at " << fault.offset << ": " << fault.message;
}

}  // namespace qv::test

// Helpers of the builder and writer tests: a build on a temporary drive whose
// batches spill where a test wants them, and the independent reader's view.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "platform/byte_order.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace qv::test {

// A track of the given texts (UTF-8).
inline TrackSpec Named(const std::string& genre, const std::string& artist,
                       const std::string& album, const std::string& title,
                       const std::string& path = "", uint16_t number = 0xFFFF) {
  return {U16(genre), U16(artist), U16(album), U16(title), U16(path), number};
}

// One build through the process's build context, on a drive folder of its own.
class WriterBuild {
 public:
  explicit WriterBuild(const std::string& drive) : drive_(drive) {
    EXPECT_EQ(OpenBuild(drive.c_str(), kFileSystemFat), kEngineOk);
  }
  ~WriterBuild() { CloseBuild(); }
  WriterBuild(const WriterBuild&) = delete;
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
  std::filesystem::path LibraryDir() const {
    return std::filesystem::path(drive_) / "QUORVEN" / "LIBRARY";
  }
  std::vector<uint8_t> File(const char* name) const { return ReadFileBytes(LibraryDir() / name); }

 private:
  std::string drive_;
};

// The builder logged exactly one error since its log was last reset.
inline void ExpectOneError(uint32_t site, uint32_t detail) {
  const auto& e = TheErrorLog().entries[0];
  EXPECT_EQ(std::tuple(TheErrorLog().count, e.module, e.site, e.detail), std::tuple(1u, kBuilderLive, site, detail));
}

// Sorts and merges the batch in every category, as a flush does.
inline void SortAndMerge(LibraryBuilder* b, int update) {
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(b, c), 1);
    ASSERT_EQ(MergeBatch(b, b->batch_tracks, update), 1);
  }
}

inline std::vector<uint8_t> LibraryFile(const TempDir& drive, const char* name) {
  return ReadFileBytes(LibraryDirectory(drive.str()) + name);
}

// The independent reader accepts the library, statistics included.
inline void ExpectLibraryHolds(const TempDir& drive) {
  ReadLibrary lib;
  ReadFault fault;
  int r = ReadLibraryFiles(drive.str().c_str(), kFileSystemFat, &lib, &fault);
  if (r == kReadOk) r = CheckCreateStatistics(lib, &fault);
  EXPECT_EQ(r, kReadOk) << fault.file << " at " << fault.offset << ": " << fault.message;
}

}  // namespace qv::test

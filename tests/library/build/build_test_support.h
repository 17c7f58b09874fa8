// Helpers shared by the whole-build tests: what a finished builder holds, and
// the name ids and strings that a track list file carries.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "library/build/library_builder.h"
#include "library/files/library_reader.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace qv {

// The builder's results that the browse files are made from.
struct BuildSnapshot {
  uint32_t total = 0;
  std::array<std::vector<uint32_t>, 4> lists;
  std::array<std::vector<uint32_t>, 3> ids;
  std::array<uint32_t, 3> name_bytes{};
  std::array<uint32_t, 3> stored_name_bytes{};
  std::array<uint32_t, 3> distinct{};
  uint32_t title_bytes = 0, stored_title_bytes = 0, path_bytes = 0, packed_path_bytes = 0;
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
  s.title_bytes = b.title_bytes;
  s.stored_title_bytes = b.stored_title_bytes;
  s.path_bytes = b.path_bytes;
  s.packed_path_bytes = b.packed_path_bytes;
  s.title_counts = {b.title_counts[0], b.title_counts[1]};
  s.batches_written = b.batches_written;
  return s;
}

inline uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

// The pages of a track list, read by the independent reader; empty when it
// finds the file damaged.
inline std::vector<ReadPage> ReadPages(const std::vector<uint8_t>& file) {
  ReadLibrary lib;
  ReadFault fault;
  if (ParseTrackList(file, &lib, &fault) != kReadOk) return {};
  return lib.pages;
}

inline std::vector<uint8_t> LibraryFile(const test::TempDir& drive, const char* name,
                                        uint32_t kind = kFileSystemFat) {
  return test::ReadFileBytes(test::LibraryDirectory(drive.str(), kind) + name);
}

// The independent reader accepts the library, statistics included.
inline void ExpectLibraryHolds(const test::TempDir& drive, uint32_t kind = kFileSystemFat) {
  ReadLibrary lib;
  ReadFault fault;
  ASSERT_EQ(ReadLibraryFiles(drive.str().c_str(), kind, &lib, &fault), kReadOk)
      << fault.file << " at " << fault.offset << ": " << fault.message;
  EXPECT_EQ(CheckCreateStatistics(lib, &fault), kReadOk)
      << fault.file << " at " << fault.offset << ": " << fault.message;
}

}  // namespace qv

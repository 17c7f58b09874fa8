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

// One page of the track list as the test reads it back.
struct PageFacts {
  uint32_t offset = 0;
  uint32_t index = 0;
  uint32_t id = 0;
  uint16_t number = 0;
  std::array<uint32_t, 3> name_ids{};
  std::array<std::u16string, 5> texts;
};

inline uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

// Walks the pages that the header's length covers; empty on any damage.
inline std::vector<PageFacts> ReadPages(const std::vector<uint8_t>& f) {
  std::vector<PageFacts> pages;
  if (f.size() < 16 || Le32(f, 8) > f.size()) return {};
  uint32_t end = Le32(f, 8);
  for (uint32_t at = 16; at < end;) {
    PageFacts p;
    p.offset = at;
    p.index = Le32(f, at + 20);
    p.id = Le32(f, at + 24);
    p.number = static_cast<uint16_t>(f[at + 36] | (f[at + 37] << 8));
    uint32_t chunk = at + 48;
    for (int k = 0; k < 5; ++k) {
      if (k < 3) p.name_ids[k] = Le32(f, chunk + 16);
      uint32_t area = Le32(f, chunk + 20);
      for (uint32_t u = 0; u + 1 < area; u += 2) {
        char16_t unit = static_cast<char16_t>(f[chunk + 24 + u] | (f[chunk + 25 + u] << 8));
        if (unit == 0) break;
        p.texts[k].push_back(unit);
      }
      chunk += Le32(f, chunk + 8);
    }
    at += Le32(f, at + 8);
    pages.push_back(p);
  }
  if (pages.size() != Le32(f, 12)) return {};
  return pages;
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

// The writer of the library index file QVDB.DB.
//
// File header (32 bytes)
//   offset size field
//        0    4 tag "qvdb"
//        4    4 header size 32
//        8    4 32 again (not the file length)
//       12    4 2
//       16    4 0
//       20    4 1
//       24    4 next track id
//       28    2 2
//       30    2 chunk count: 2 with statistics, else 0 (the header alone)
//
// String statistics chunk (376 bytes, at 32)
//        0    4 tag "qvts"
//        4    4 head size 16
//        8    4 chunk size 376
//       12    4 record count 5
//   then per string kind (genre, artist, album, title, path) 72 bytes:
//        0    4 tag "qvss"
//        4    4 head size 24
//        8    4 record size 72
//       12    4 string kind
//       16    4 string count: distinct names, or the title counts
//       20    4 size record count 2
//   and two size records of 24 bytes each:
//        0    4 tag "qvsd"
//        4    4 head size 24
//        8    4 record size 24
//       12    4 storage method: 0 UTF-16; 1 8-bit where possible; 3 paths
//               packed against the previous path
//       16    4 method parameter: 20 (path restart interval) for method 3
//       20    4 byte size
//
// List summary chunk (256 bytes, at 408)
//        0    4 tag "qvbs"
//        4    4 head size 16
//        8    4 size 240: the records without this head
//       12    4 record count 10
//   then per list of QVBL.DB, section i = 0..3, step j = 0..3-i, 24 bytes:
//        0    4 tag "qvas"
//        4    4 head size 24
//        8    4 record size 24
//       12    4 section category i
//       16    1 list type: 1 for the order list (i + j = 3), else 2
//       17    1 level category i + j
//       18    1 step j
//       19    1 reserved 0
//       20    4 entry count
//
// The file is never truncated; a longer old file keeps its tail.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "library/builder/library_builder.h"
#include "library/files/browse_files.h"
#include "library/files/library_files.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace qv {
namespace {

constexpr uint32_t kHeaderBytes = 32;
constexpr uint32_t kStatsBytes = 376;
constexpr uint32_t kSummaryBytes = 256;
constexpr uint32_t kChunkHeadBytes = 16;
constexpr uint32_t kKindRecordBytes = 72;
constexpr uint32_t kRecordBytes = 24;

void FillHeader(std::span<uint8_t> out, uint32_t next_track_id, uint16_t chunks) {
  StoreTag(out, 0, "qvdb");
  StoreLe32(out, 4, kHeaderBytes);
  StoreLe32(out, 8, kHeaderBytes);
  StoreLe32(out, 12, 2);
  StoreLe32(out, 16, 0);
  StoreLe32(out, 20, 1);
  StoreLe32(out, 24, next_track_id);
  StoreLe16(out, 28, 2);
  StoreLe16(out, 30, chunks);
}

void FillSizeRecord(std::span<uint8_t> out, uint32_t at, uint32_t method, uint32_t parameter,
                    uint32_t bytes) {
  StoreTag(out, at, "qvsd");
  StoreLe32(out, at + 4, kRecordBytes);
  StoreLe32(out, at + 8, kRecordBytes);
  StoreLe32(out, at + 12, method);
  StoreLe32(out, at + 16, parameter);
  StoreLe32(out, at + 20, bytes);
}

void FillStringStats(const LibraryBuilder* b, std::span<uint8_t> out) {
  StoreTag(out, 0, "qvts");
  StoreLe32(out, 4, kChunkHeadBytes);
  StoreLe32(out, 8, kStatsBytes);
  StoreLe32(out, 12, kSlotCount);
  for (uint32_t kind = 0; kind < kSlotCount; ++kind) {
    uint32_t count = 0, utf16 = 0, stored = 0, method = 1, parameter = 0;
    if (kind <= kAlbum) {
      count = b->distinct_names[kind];
      utf16 = b->name_bytes[kind];
      stored = b->stored_name_bytes[kind];
    } else if (kind == kTitle) {
      count = b->title_counts[0];
      utf16 = b->title_bytes;
      stored = b->stored_title_bytes;
    } else {
      count = b->title_counts[1];
      utf16 = b->path_bytes;
      stored = b->packed_path_bytes;
      method = 3;
      parameter = kPathRestart;
    }
    uint32_t at = kChunkHeadBytes + kKindRecordBytes * kind;
    StoreTag(out, at, "qvss");
    StoreLe32(out, at + 4, kRecordBytes);
    StoreLe32(out, at + 8, kKindRecordBytes);
    StoreLe32(out, at + 12, kind);
    StoreLe32(out, at + 16, count);
    StoreLe32(out, at + 20, 2);
    FillSizeRecord(out, at + kRecordBytes, 0, 0, utf16);
    FillSizeRecord(out, at + 2 * kRecordBytes, method, parameter, stored);
  }
}

// The summary lists each section's browse lists by depth, then its order
// list, while QVBL.DB stores the order list first.
void FillListSummary(const LibraryBuilder* b, std::span<uint8_t> out,
                     const uint32_t entries[kCategoryCount][kMaxBrowseLists]) {
  StoreTag(out, 0, "qvbs");
  StoreLe32(out, 4, kChunkHeadBytes);
  StoreLe32(out, 8, kSummaryBytes - kChunkHeadBytes);
  StoreLe32(out, 12, 10);
  uint32_t at = kChunkHeadBytes;
  for (uint32_t i = 0; i < kCategoryCount; ++i) {
    for (uint32_t j = 0; j + i < kCategoryCount; ++j, at += kRecordBytes) {
      bool order = i + j == kTitle;
      StoreTag(out, at, "qvas");
      StoreLe32(out, at + 4, kRecordBytes);
      StoreLe32(out, at + 8, kRecordBytes);
      StoreLe32(out, at + 12, i);
      out[at + 16] = order ? 1 : 2;
      out[at + 17] = static_cast<uint8_t>(i + j);
      out[at + 18] = static_cast<uint8_t>(j);
      out[at + 19] = 0;
      StoreLe32(out, at + 20, order ? b->total_tracks : entries[i][j]);
    }
  }
}

}  // namespace

int WriteLibraryIndex(LibraryBuilder* b, const uint32_t entries[kCategoryCount][kMaxBrowseLists]) {
  int fd = OpenLibraryFile(b, kIndexFileName, O_RDWR | O_CREAT, 0777);
  if (fd < 0) {
    AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteWriteBrowseDb, 1);
    return 0;
  }
  bool stats = (b->flags & kFlagStatistics) != 0;
  uint32_t size = stats ? kHeaderBytes + kStatsBytes + kSummaryBytes : kHeaderBytes;
  std::span<uint8_t> out(b->page_buffer, size);
  std::memset(out.data(), 0, size);
  FillHeader(out, b->next_track_id, stats ? 2 : 0);
  if (stats) {
    FillStringStats(b, out.subspan(kHeaderBytes, kStatsBytes));
    FillListSummary(b, out.subspan(kHeaderBytes + kStatsBytes, kSummaryBytes), entries);
  }
  errno = 0;
  const int64_t put = Files().Write(fd, out.data(), size);
  bool written = put == static_cast<int64_t>(size);
  // A regular file takes fewer bytes than asked only when the disk is full.
  if (!written) NoteLibraryFileFailure(b, kIndexFileName, put < 0 ? errno : ENOSPC);
  Files().Close(fd);
  if (!written) {
    AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteWriteBrowseDb, 2);
    return 0;
  }
  return 1;
}

}  // namespace qv

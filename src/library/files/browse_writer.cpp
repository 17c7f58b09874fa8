// The writer of the browse lists QVBL.DB; the index file QVDB.DB follows in
// index_writer.cpp.
//
// QVBL.DB file header (16 bytes)
//   offset size field
//        0    4 tag "qvbl"
//        4    4 header size 16, also the offset of the first section
//        8    4 file length: 16 + the four section sizes
//       12    4 section count 4
//
// Then one section per category (genre, artist, album, title), back to back.
// Section head (20 bytes)
//        0    4 tag "qvbi"
//        4    4 head size 20
//        8    4 section size: 20 + its list chunks
//       12    2 list count: browse lists + 1 (4, 3, 2, 1)
//       14    2 reserved 0
//       16    4 category
// followed by the order list chunk and the browse list chunks j = 0, 1, ...
//
// List chunk head (20 bytes)
//        0    4 tag "qvba"
//        4    4 head size 20
//        8    4 chunk size: 20 + 4 N (order list) or 20 + 16 M (browse list)
//       12    1 list type: 1 order list, 2 browse list
//       13    1 level category: 3 for the order list, category + j otherwise
//       14    1 depth: 0 for the order list, j + 1 otherwise
//       15    1 reserved 0
//       16    4 entry count
// Order list entries: 4-byte global track indexes in the category's order.
//
// Browse entry (16 bytes)
//        0    4 first track of the group
//        4    4 first child in list j + 1, or in the deepest list the position
//               of the first track in the order list
//        8    4 children, or in the deepest list the tracks of the group
//       12    2 rank under the parent, bits 0-15
//       14    2 rank under the parent, bits 16-20 (0x001FFFFF in all: no parent)
//
// The file is never truncated; its header's length bounds the content.
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

constexpr uint32_t kFileHeadBytes = 16;
constexpr uint32_t kSectionHeadBytes = 20;
constexpr uint32_t kListHeadBytes = 20;
constexpr uint32_t kEntryBytes = 16;
constexpr uint32_t kUnsetCount = 0x1FFFFF;

int Fail(const LibraryBuilder* b, int fd, uint32_t step) {
  NoteLibraryFileFailure(b, kBrowseFileName, errno);
  Files().Close(fd);
  AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteWriteBrowseBl, step);
  return 0;
}

bool WriteExactly(int fd, const uint8_t* bytes, uint32_t count) {
  errno = 0;
  const int64_t put = Files().Write(fd, bytes, count);
  if (put == static_cast<int64_t>(count)) return true;
  // A regular file takes fewer bytes than asked only when the disk is full.
  if (put >= 0) errno = ENOSPC;
  return false;
}

bool WriteAt(int fd, uint32_t offset, const uint8_t* bytes, uint32_t count) {
  return Files().Seek(fd, offset, SEEK_SET) == static_cast<int64_t>(offset) &&
         WriteExactly(fd, bytes, count);
}

void FillListHead(std::span<uint8_t> head, uint32_t entry_bytes, uint8_t type, uint8_t level,
                  uint8_t depth, uint32_t count) {
  StoreTag(head, 0, "qvba");
  StoreLe32(head, 4, kListHeadBytes);
  StoreLe32(head, 8, kListHeadBytes + entry_bytes * count);
  head[12] = type;
  head[13] = level;
  head[14] = depth;
  head[15] = 0;
  StoreLe32(head, 16, count);
}

void FillSectionHead(uint8_t* bytes, uint32_t category, uint32_t size) {
  std::span<uint8_t> head(bytes, kSectionHeadBytes);
  StoreTag(head, 0, "qvbi");
  StoreLe32(head, 4, kSectionHeadBytes);
  StoreLe32(head, 8, size);
  StoreLe16(head, 12, static_cast<uint16_t>(kCategoryCount - category));
  StoreLe16(head, 14, 0);
  StoreLe32(head, 16, category);
}

// Stages the order list of a category; returns its chunk size.
uint32_t StageOrderList(const LibraryBuilder* b, uint16_t category) {
  uint32_t n = b->total_tracks;
  std::span<uint8_t> chunk(b->page_buffer, kListHeadBytes + 4 * n);
  FillListHead(chunk, 4, 1, kTitle, 0, n);
  const uint32_t* list = b->category_lists[category];
  for (uint32_t p = 0; p < n; ++p) StoreLe32(chunk, kListHeadBytes + 4 * p, list[p]);
  return kListHeadBytes + 4 * n;
}

// Stages browse list j of a category from its node region; stores the entry
// count in *entries and returns the chunk size.
uint32_t StageBrowseList(const LibraryBuilder* b, uint16_t category, uint32_t j,
                         uint32_t* entries) {
  uint32_t region = kBrowseTopRegion[category] + j;
  const CategoryNode* nodes = b->node_regions[region];
  uint32_t capacity = kNodeRegionCapacity[region];
  // The staging area holds a full list of the largest region.
  std::span<uint8_t> chunk(b->page_buffer, kListHeadBytes + kEntryBytes * capacity);
  uint32_t m = 0;
  for (; m < capacity && (nodes[m].counts & kUnsetCount) != kUnsetCount; ++m) {
    const CategoryNode& node = nodes[m];
    uint32_t at = kListHeadBytes + kEntryBytes * m;
    uint32_t rank = ((node.links & 0x3FF) << 11) | (node.counts >> 21);
    StoreLe32(chunk, at, node.first_track);
    StoreLe32(chunk, at + 4, node.links >> 10);
    StoreLe32(chunk, at + 8, node.counts & kUnsetCount);
    StoreLe32(chunk, at + 12, rank & 0x1FFFFF);
  }
  FillListHead(chunk, kEntryBytes, 2, static_cast<uint8_t>(category + j),
               static_cast<uint8_t>(j + 1), m);
  *entries = m;
  return kListHeadBytes + kEntryBytes * m;
}

// Writes one section at `offset`; 0 and its size in *size, or the failed step.
uint32_t WriteSection(const LibraryBuilder* b, int fd, uint16_t category, uint32_t offset,
                      uint32_t entries[kMaxBrowseLists], uint32_t* size) {
  uint8_t head[kSectionHeadBytes];
  FillSectionHead(head, category, 0);
  if (!WriteAt(fd, offset, head, kSectionHeadBytes)) return 3;
  uint32_t chunk = StageOrderList(b, category);
  if (!WriteExactly(fd, b->page_buffer, chunk)) return 4;
  uint32_t z = kSectionHeadBytes + chunk;
  for (uint32_t j = 0; j < kBrowseListCount[category]; ++j) {
    chunk = StageBrowseList(b, category, j, &entries[j]);
    if (!WriteExactly(fd, b->page_buffer, chunk)) return 6;
    z += chunk;
  }
  FillSectionHead(head, category, z);
  if (!WriteAt(fd, offset, head, kSectionHeadBytes)) return 7;
  *size = z;
  return 0;
}

}  // namespace

int WriteBrowseLists(LibraryBuilder* b, uint32_t entries[kCategoryCount][kMaxBrowseLists]) {
  int fd = OpenLibraryFile(b, kBrowseFileName, O_RDWR | O_CREAT, 0777);
  if (fd < 0) {
    AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteWriteBrowseBl, 1);
    return 0;
  }
  uint8_t header[kFileHeadBytes];
  std::span<uint8_t> h(header, kFileHeadBytes);
  StoreTag(h, 0, "qvbl");
  StoreLe32(h, 4, kFileHeadBytes);
  StoreLe32(h, 8, 0);
  StoreLe32(h, 12, kCategoryCount);
  if (!WriteExactly(fd, header, kFileHeadBytes)) return Fail(b, fd, 2);
  uint32_t offset = kFileHeadBytes;
  for (uint16_t c = 0; c < kCategoryCount; ++c) {
    uint32_t size = 0;
    if (uint32_t step = WriteSection(b, fd, c, offset, entries[c], &size); step != 0)
      return Fail(b, fd, step);
    offset += size;
  }
  StoreLe32(h, 8, offset);
  if (!WriteAt(fd, 0, header, kFileHeadBytes)) return Fail(b, fd, 8);
  Files().Close(fd);
  return 1;
}

int WriteBrowseFiles(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  uint32_t entries[kCategoryCount][kMaxBrowseLists] = {};
  if (WriteBrowseLists(b, entries) != 1) return 0;
  return WriteLibraryIndex(b, entries);
}

}  // namespace qv

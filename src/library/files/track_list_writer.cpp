// The writer of the track list QVTL.DB and its finishing pass.
//
// QVTL.DB: a file header, then one track page per track, back to back in
// global track order (the page of track i is the i-th page of the file).
//
// File header (16 bytes)
//   offset size field
//        0    4 tag "qvtl"
//        4    4 header size 16, also the offset of the first page
//        8    4 file length: 16 + all page sizes; the end of the valid content
//       12    4 track count
//
// Page head (48 bytes)
//        0    4 tag "qvti"
//        4    4 head size 48, also the offset of the first string chunk
//        8    4 page size: 48 + the five chunk sizes
//       12    4 chunk count 5
//       16    1 file type (1 MP3, 2 AAC, 3 MP4, 4 M4A, 12 WAV, 13 AIFF)
//       17    1 flag: bit 23 of Reserved4
//       18    2 reserved 0
//       20    4 track index (rank of the page in the file)
//       24    4 track id
//       28    4 file size
//       32    4 Reserved1
//       36    2 track number (0xFFFF when none)
//       38    2 Reserved3
//       40    4 Reserved2
//       44    4 bits 0-22 of Reserved4
//
// String chunk (24-byte head, then the text area), kinds 0 genre, 1 artist,
// 2 album, 3 title, 4 path, one of each per page, in that order
//        0    4 tag "qvst"
//        4    4 head size 24
//        8    4 chunk size 24 + P
//       12    4 string kind
//       16    4 name id (kinds 0-2), 0 for title and path
//       20    4 text area size P: text bytes with terminator, rounded up to 4
//       24    P UTF-16LE text, zero unit, zero bytes up to P
//
// The file is never truncated: an older, longer file keeps its tail, and the
// header's file length says where the valid pages end.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/files/track_page_cursor.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace qv {
namespace {

void Log(uint32_t site, uint32_t step) {
  AppendErrorLog(&TheErrorLog(), kBuilderLive, site, step);
}

bool WriteExactly(int fd, const uint8_t* bytes, uint32_t count) {
  errno = 0;
  const int64_t put = Files().Write(fd, bytes, count);
  if (put == static_cast<int64_t>(count)) return true;
  // A regular file takes fewer bytes than asked only when the disk is full.
  if (put >= 0) errno = ENOSPC;
  return false;
}

bool SeekTo(int fd, uint32_t offset) {
  return Files().Seek(fd, offset, SEEK_SET) == static_cast<int64_t>(offset);
}

bool AllBelow256(const uint16_t* text, uint32_t max_units) {
  for (uint32_t u = 0; u < max_units && text[u] != 0; ++u) {
    if (text[u] > 0xFF) return false;
  }
  return true;
}

uint32_t EvenHalf(uint32_t bytes) {
  uint32_t h = bytes / 2;
  return h + (h % 2);
}

// In update mode the insertion does not count titles and paths, so the pages
// count them as they are written.
void CountUpdateTotals(LibraryBuilder* b, int kind, uint32_t track, const uint16_t* text,
                       uint32_t len, uint32_t area) {
  if (kind == kTitle) {
    b->title_bytes += len;
    b->stored_title_bytes += AllBelow256(text, 128) ? EvenHalf(len) : len;
    b->title_counts[0] += 1;
    return;
  }
  b->path_bytes += len;
  uint32_t shared = 0;
  if (track % kPathRestart != 0) {
    while (shared < kPathBytes / 2 && text[shared] != 0 && text[shared] == b->previous_path[shared])
      ++shared;
  }
  uint32_t rest = area - 2 * shared;
  b->packed_path_bytes +=
      AllBelow256(text + shared, kPathBytes / 2 - shared) ? EvenHalf(rest) : rest;
  std::memcpy(b->previous_path, text, len);
}

// Lays out the page of global track `track` from its record at `page`; returns
// the page size. A page never exceeds 1,060 bytes.
uint32_t MakeTrackPage(LibraryBuilder* b, const uint8_t* record, uint32_t track, uint8_t* page) {
  std::span<const uint8_t> rec(record, kRecordHeaderBytes);
  std::span<uint8_t> head(page, kTrackPageHeadBytes);
  std::memset(page, 0, kTrackPageHeadBytes);
  uint32_t type_word = LoadLe32(rec, 20);
  StoreTag(head, 0, "qvti");
  StoreLe32(head, 4, kTrackPageHeadBytes);
  head[16] = static_cast<uint8_t>(type_word >> 24);
  head[17] = static_cast<uint8_t>((type_word >> 23) & 1);
  StoreLe32(head, 20, track);
  StoreLe32(head, 24, LoadLe32(rec, 0));
  StoreLe32(head, 28, LoadLe32(rec, 4));
  StoreLe32(head, 32, LoadLe32(rec, 8));
  StoreLe16(head, 36, LoadLe16(rec, 16));
  StoreLe16(head, 38, LoadLe16(rec, 18));
  StoreLe32(head, 40, LoadLe32(rec, 12));
  StoreLe32(head, 44, type_word & 0x007FFFFF);

  uint16_t text[kPathBytes / 2 + 1];
  uint32_t size = kTrackPageHeadBytes;
  for (int kind = 0; kind < kSlotCount; ++kind) {
    uint32_t len = CopyRecordString(record, kind, text);
    // A record string never exceeds its slot; the clamp keeps the page inside
    // the staging room even if one did.
    if (len < 2) len = 2;
    if (len > kSlotMaxBytes[kind]) len = kSlotMaxBytes[kind];
    text[len / 2 - 1] = 0;
    uint32_t area = (len + 3) & ~3u;
    uint8_t* chunk = page + size;
    std::span<uint8_t> ch(chunk, kTrackChunkHeadBytes + area);
    std::memset(chunk, 0, kTrackChunkHeadBytes + area);
    StoreTag(ch, 0, "qvst");
    StoreLe32(ch, 4, kTrackChunkHeadBytes);
    StoreLe32(ch, 8, kTrackChunkHeadBytes + area);
    StoreLe32(ch, 12, static_cast<uint32_t>(kind));
    StoreLe32(ch, 16, kind <= kAlbum ? b->name_ids[kind][track] : 0);
    StoreLe32(ch, 20, area);
    for (uint32_t u = 0; u + 1 < len / 2; ++u) StoreLe16(ch, kTrackChunkHeadBytes + 2 * u, text[u]);
    if ((b->flags & kFlagUpdateMode) != 0 && kind >= kTitle)
      CountUpdateTotals(b, kind, track, text, len, area);
    size += kTrackChunkHeadBytes + area;
  }
  StoreLe32(head, 8, size);
  StoreLe32(head, 12, kSlotCount);
  return size;
}

// Makes the pages of tracks D..T-1 and writes them from the file's current
// position, one write per full staging area. `offset` enters as the position
// of the first page and leaves as the end of the last. 0 or the failed step.
uint32_t StagePages(LibraryBuilder* b, int fd, uint32_t* offset, uint32_t full_step,
                    uint32_t rest_step) {
  uint8_t* stage = b->page_buffer + kTrackFileHeadBytes;
  uint32_t pending = 0;
  uint32_t limit = b->page_buffer_size - kPageStagingReserve;
  for (uint32_t i = b->tracks_on_disk; i < b->total_tracks; ++i) {
    b->track_positions[i] = *offset;
    uint32_t size = MakeTrackPage(b, b->batch_records[i - b->tracks_on_disk], i, stage + pending);
    pending += size;
    *offset += size;
    if (pending > limit) {
      if (!WriteExactly(fd, stage, pending)) return full_step;
      pending = 0;
    }
  }
  if (pending > 0 && !WriteExactly(fd, stage, pending)) return rest_step;
  return 0;
}

// errno still holds the cause of a failed call; 0 means the file was read
// whole but is not what this job wrote there.
int Fail(const LibraryBuilder* b, int fd, uint32_t site, uint32_t step, int result) {
  if (errno != 0) {
    NoteLibraryFileFailure(b, kTrackFileName, errno);
  } else {
    NoteLibraryFileFailure(b, kTrackFileName, 0, -1, "the file does not hold what this job wrote");
  }
  Files().Close(fd);
  Log(site, step);
  return result;
}

// The finishing pass found a page that is not what this job wrote.
int Damaged(const LibraryBuilder* b, int fd, uint64_t offset, const char* what) {
  char reason[160];
  std::snprintf(reason, sizeof reason, "the file does not hold what this job wrote: %s", what);
  NoteLibraryFileFailure(b, kTrackFileName, 0, static_cast<int64_t>(offset), reason);
  Files().Close(fd);
  Log(kSiteFinishTrackList, 5);
  return -1;
}

int WriteFirstPages(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kTrackFileName, O_RDWR | O_CREAT, 0777);
  if (fd < 0) {
    Log(kSiteWriteTrackPages, 1);
    return 0;
  }
  std::span<uint8_t> header(b->page_buffer, kTrackFileHeadBytes);
  StoreTag(header, 0, "qvtl");
  StoreLe32(header, 4, kTrackFileHeadBytes);
  StoreLe32(header, 8, kTrackFileHeadBytes);
  StoreLe32(header, 12, b->total_tracks);
  if (!WriteExactly(fd, b->page_buffer, kTrackFileHeadBytes))
    return Fail(b, fd, kSiteWriteTrackPages, 2, 0);
  uint32_t offset = kTrackFileHeadBytes;
  if (uint32_t step = StagePages(b, fd, &offset, 3, 4); step != 0)
    return Fail(b, fd, kSiteWriteTrackPages, step, 0);
  StoreLe32(header, 8, offset);
  if (!SeekTo(fd, 0) || !WriteExactly(fd, b->page_buffer, kTrackFileHeadBytes)) {
    return Fail(b, fd, kSiteWriteTrackPages, 5, 0);
  }
  Files().Close(fd);
  b->tracks_on_disk = b->total_tracks;
  return 1;
}

int AppendPages(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kTrackFileName, O_RDWR | O_CREAT, 0777);
  if (fd < 0) {
    Log(kSiteWriteTrackPages, 6);
    return 0;
  }
  std::span<uint8_t> header(b->page_buffer, kTrackFileHeadBytes);
  if (!SeekTo(fd, 0) ||
      Files().Read(fd, b->page_buffer, kTrackFileHeadBytes) != kTrackFileHeadBytes) {
    return Fail(b, fd, kSiteWriteTrackPages, 7, 0);
  }
  // A length inside the header would make the new pages overwrite it.
  uint32_t offset = LoadLe32(header, 8);
  errno = 0;
  if (!HasTag(header, 0, "qvtl") || offset < kTrackFileHeadBytes)
    return Fail(b, fd, kSiteWriteTrackPages, 8, 0);
  if (LoadLe32(header, 12) != b->tracks_on_disk) return Fail(b, fd, kSiteWriteTrackPages, 9, 0);
  if (!SeekTo(fd, offset)) return Fail(b, fd, kSiteWriteTrackPages, 10, 0);
  if (uint32_t step = StagePages(b, fd, &offset, 10, 11); step != 0)
    return Fail(b, fd, kSiteWriteTrackPages, step, 0);
  Files().Close(fd);
  fd = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
  if (fd < 0) return 0;
  StoreLe32(header, 8, offset);
  StoreLe32(header, 12, b->total_tracks);
  b->title_counts[1] = b->total_tracks;
  if (!SeekTo(fd, 0) || !WriteExactly(fd, b->page_buffer, kTrackFileHeadBytes)) {
    return Fail(b, fd, kSiteWriteTrackPages, 12, 0);
  }
  Files().Close(fd);
  b->tracks_on_disk = b->total_tracks;
  return 1;
}

// Puts the final name ids into the page just read at `page` (`got` bytes of
// it are valid, read from `at`). Everything the page claims is checked
// against those bytes. Returns the page size, or 0 when the page is damaged,
// with the offset and cause in the cursor.
uint32_t PatchNameIds(const LibraryBuilder* b, TrackPageCursor* c, uint8_t* page, uint32_t got,
                      uint32_t at, uint32_t track) {
  if (OpenTrackPage(c, std::span<const uint8_t>(page, got), at) != kPageOk) return 0;
  std::span<uint8_t> bytes(page, c->page.size());
  TrackChunk chunk;
  int r = kPageOk;
  while ((r = NextTrackChunk(c, &chunk)) == kPageOk)
    if (chunk.kind <= kAlbum) StoreLe32(bytes, chunk.offset + 16, b->name_ids[chunk.kind][track]);
  return r == kPageEnd ? static_cast<uint32_t>(bytes.size()) : 0;
}

}  // namespace

int WriteTrackPages(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  return b->tracks_on_disk == 0 ? WriteFirstPages(b) : AppendPages(b);
}

int FinishTrackList(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  int fd = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
  if (fd < 0) {
    Log(kSiteFinishTrackList, 1);
    return -1;
  }
  if (!SeekTo(fd, 0) ||
      Files().Read(fd, b->page_buffer, kTrackFileHeadBytes) != kTrackFileHeadBytes) {
    return Fail(b, fd, kSiteFinishTrackList, 2, -1);
  }
  if (!HasTag(std::span<const uint8_t>(b->page_buffer, kTrackFileHeadBytes), 0, "qvtl")) {
    errno = 0;
    return Fail(b, fd, kSiteFinishTrackList, 3, -1);
  }
  // The pages lie back to back, so they are read, patched and written back
  // in blocks of the page buffer; a page goes into a block only when the
  // block holds a whole page read after it, or the end of the file.
  uint8_t* stage = b->page_buffer + kTrackFileHeadBytes;
  uint32_t block = b->page_buffer_size - kTrackFileHeadBytes;
  for (uint32_t t = 0; t < b->total_tracks;) {
    uint32_t start = b->track_positions[t];
    if (!SeekTo(fd, start)) return Fail(b, fd, kSiteFinishTrackList, 4, -1);
    int64_t read = Files().Read(fd, stage, block);
    if (read < 0) return Fail(b, fd, kSiteFinishTrackList, 4, -1);
    uint32_t got = static_cast<uint32_t>(read);
    uint32_t staged = 0;
    for (; t < b->total_tracks && (got - staged >= kTrackPageReadBytes || got < block); ++t) {
      // Each page must start where the one before it ended.
      if (b->track_positions[t] != start + staged)
        return Damaged(b, fd, b->track_positions[t], "a page apart from the one before it");
      TrackPageCursor c;
      uint32_t size = PatchNameIds(b, &c, stage + staged, got - staged, start + staged, t);
      if (size == 0) return Damaged(b, fd, c.fault_offset, c.fault);
      staged += size;
    }
    if (!SeekTo(fd, start) || !WriteExactly(fd, stage, staged))
      return Fail(b, fd, kSiteFinishTrackList, t < b->total_tracks ? 6 : 7, -1);
  }
  Files().Close(fd);
  return 1;
}

}  // namespace qv

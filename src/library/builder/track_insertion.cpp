// Adding tracks to the current batch and merging a sorted batch into the
// category lists.
//
// A track record in the record buffer (4-byte aligned, little-endian):
//
//   offset  size  field
//   0       4     track id (the builder's next track id when added)
//   4       4     file size
//   8       4     reserved word 1
//   12      4     reserved word 2
//   16      2     track number (0xFFFF when none)
//   18      2     reserved half-word 3
//   20      4     reserved bits 0-23, file type bits 24-31
//   24      10    five string locators: genre, artist, album, title, path
//   34      4     reserved
//   38      ...   the five strings back to back, in that order
//
// A locator holds in bits 0-11 the distance from record byte 34 to its
// string and in bit 15 whether the string is stored with one byte per
// character (then padded with a zero byte to an even length); otherwise the
// string is UTF-16LE with its terminator.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "library/builder/library_builder.h"
#include "library/builder/utf16_text.h"
#include "platform/byte_order.h"

namespace qv {
namespace {

constexpr uint32_t kLocatorBase = 34;
constexpr uint16_t kLocator8Bit = 0x8000;
constexpr uint16_t kLocatorDistance = 0x0FFF;

uint16_t* TagString(const TrackTags* tags, int slot) {
  switch (slot) {
    case kGenre:
      return tags->Genre;
    case kArtist:
      return tags->Artist;
    case kAlbum:
      return tags->Album;
    case kTitle:
      return tags->Title;
    default:
      return tags->Path;
  }
}

// Stores one string at the cursor; returns the bytes it takes.
uint32_t StoreRecordString(uint8_t* record, uint8_t* at, int slot, const uint16_t* text) {
  uint32_t max_bytes = kSlotMaxBytes[slot];
  uint16_t locator = static_cast<uint16_t>((at - record - kLocatorBase) & kLocatorDistance);
  int32_t narrow = Utf16To8Bit(at, text, max_bytes / 2);
  uint32_t stored;
  if (narrow >= 0) {
    locator |= kLocator8Bit;
    stored = static_cast<uint32_t>(narrow);
  } else {
    std::memset(at, 0, max_bytes);
    uint16_t wide[256];
    stored = Utf16Copy(wide, text, max_bytes - 2);
    std::memcpy(at, wide, stored);
  }
  StoreLe16(std::span<uint8_t>(record, kMaxRecordBytes), 24 + 2 * slot, locator);
  return stored;
}

// Create-mode path total: paths sharing a prefix with the previous one are
// counted by their unshared rest, except every 20th which restarts in full.
void CountPath(LibraryBuilder* b, const uint16_t* path) {
  uint32_t length = Utf16ByteLength(path, kSlotMaxBytes[kPathSlot] - 2) + 2;
  b->path_bytes += length;
  uint32_t shared = 0;
  if (b->total_tracks % 20 != 0) {
    shared = Utf16CommonPrefix(path, b->previous_path, kSlotMaxBytes[kPathSlot] / 2 - 1);
  }
  uint32_t rest = length - 2 * shared;
  if (Utf16To8Bit(nullptr, path + shared, kSlotMaxBytes[kPathSlot] / 2 - shared) >= 0) {
    uint32_t half = (rest + 1) / 2;
    b->packed_path_bytes += half + (half % 2);
  } else {
    b->packed_path_bytes += rest;
  }
  Utf16Copy(b->previous_path, path, length - 2);
}

}  // namespace

int AddTrackRecord(LibraryBuilder* b, const TrackTags* tags) {
  RequireLiveBuilder(b);
  // The scan never lists more files than the library holds; a track past the
  // limit would land outside the fixed tables.
  if (b->total_tracks >= kMaxTracks) return 2;
  uint8_t* record = b->record_cursor;
  // A caller that ignored the request to spill would write past the buffer.
  if (record + kMaxRecordBytes > b->record_buffer_base + b->record_buffer_size) {
    std::fprintf(stderr, "track record buffer overrun\n");
    std::abort();
  }
  b->batch_records[b->batch_tracks] = record;
  PrepareTrackEntries(b, b->tracks_on_disk + b->batch_tracks);
  std::memset(record, 0, kMaxRecordBytes);
  std::span<uint8_t> head(record, kMaxRecordBytes);
  uint8_t* at = record + kRecordHeaderBytes;
  bool count_totals = (b->flags & kFlagUpdateMode) == 0;
  static const uint16_t kEmpty[1] = {0};
  for (int slot = kGenre; slot <= kPathSlot; ++slot) {
    const uint16_t* text = TagString(tags, slot);
    if (text == nullptr) text = kEmpty;
    if (count_totals && slot == kTitle) {
      b->title_bytes += Utf16ByteLength(text, kSlotMaxBytes[kTitle] - 2) + 2;
    }
    uint32_t stored = StoreRecordString(record, at, slot, text);
    if (count_totals && slot == kTitle) b->stored_title_bytes += stored;
    if (count_totals && slot == kPathSlot) CountPath(b, text);
    at += stored;
  }
  StoreLe32(head, 0, b->next_track_id);
  StoreLe32(head, 4, tags->FileSize);
  StoreLe32(head, 8, tags->Reserved1);
  StoreLe32(head, 12, tags->Reserved2);
  StoreLe16(head, 16, tags->TrackNumber);
  StoreLe16(head, 18, tags->Reserved3);
  StoreLe32(head, 20, tags->Reserved4AndFileType);
  ++b->next_track_id;
  uintptr_t end = reinterpret_cast<uintptr_t>(at);
  b->record_cursor = at + ((4 - (end & 3u)) & 3u);
  ++b->total_tracks;
  ++b->batch_tracks;
  if (b->total_tracks > kMaxTracks - 1) return 2;
  if (b->batch_tracks > kMaxTracks - 1) return 1;
  uint8_t* buffer_end = b->record_buffer_base + b->record_buffer_size;
  if (b->record_cursor + kMaxRecordBytes >= buffer_end) return 1;
  return 0;
}

uint32_t CopyRecordString(const uint8_t* record, int slot, uint16_t* dst) {
  uint16_t locator = LoadLe16(record, 24 + 2 * slot);
  const uint8_t* at = record + kLocatorBase + (locator & kLocatorDistance);
  uint32_t max_units = kSlotMaxBytes[slot] / 2;
  if ((locator & kLocator8Bit) != 0) {
    int32_t units = Widen8Bit(dst, at, max_units);
    return units < 0 ? 2 : static_cast<uint32_t>(units) * 2;
  }
  uint32_t units = 0;
  while (units < max_units - 1) {
    uint16_t u = LoadLe16(at, 2 * units);
    if (u == 0) break;
    dst[units++] = u;
  }
  dst[units] = 0;
  return units * 2 + 2;
}

void ResetBatch(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  b->batch_tracks = 0;
  ++b->batches_written;
  b->record_cursor = b->record_buffer_base;
}

}  // namespace qv

// The index of the loaded library's paths and the matching of found files.
//
// The index lives at the start of the builder's record buffer, right after
// the presence bytes, until the matching ends (the records of added tracks
// overwrite it later):
//
//   offset     size       field
//   0          720,000    180,000 bucket heads: node number + 1, 0 for none
//   720,000    2,400,000  150,000 nodes of 16 bytes, one per track in track
//                         order: track, next node + 1 (0 ends the chain),
//                         offset of the path text in the track's page, and
//                         the key's full hash
//   3,120,000  32,768     the window through which matching reads paths
//
// Nodes are appended at the end of their chain, so a chain lists its tracks
// in track order and a found file marks the first unmatched track with its
// path. The full hash only spares page reads for keys that share a bucket.
// A drive is scanned in much the order its library was built in, so the
// window serves most paths from one read of the pages around them.
#include <fcntl.h>

#include <span>

#include "library/files/library_files.h"
#include "library/files/track_page_cursor.h"
#include "library/update/update_internal.h"
#include "platform/file_door.h"

namespace qv {
namespace {

constexpr uint32_t kBucketCount = 180000;
constexpr uint32_t kWindowAt = kBucketCount * 4 + kMaxTracks * 16;
constexpr uint32_t kWindowBytes = 32768;

struct PathNode {
  uint32_t track;
  uint32_t next;
  uint32_t offset;
  uint32_t hash;
};

uint32_t* Heads(LibraryBuilder* b) {
  return reinterpret_cast<uint32_t*>(b->record_buffer_base);
}
PathNode* Nodes(LibraryBuilder* b) {
  return reinterpret_cast<PathNode*>(b->record_buffer_base + kBucketCount * 4);
}

// A path's key: its ASCII letters upper-cased, other units as they are.
void MakePathKey(uint16_t* key, const uint16_t* path) {
  uint32_t n = 0;
  for (; n < kPathKeyUnits && path[n] != 0; ++n) {
    uint16_t u = path[n];
    key[n] = (u >= 'a' && u <= 'z') ? static_cast<uint16_t>(u - 32) : u;
  }
  key[n] = 0;
}

uint32_t KeyHash(const uint16_t* key) {
  uint32_t hash = 0;
  for (uint32_t i = 0; i <= kPathKeyUnits && key[i] != 0; ++i) {
    int32_t high = static_cast<int8_t>(key[i] >> 8);
    int32_t low = static_cast<int8_t>(key[i] & 0xFF);
    hash = hash * 37 + static_cast<uint32_t>((high << 8) | low);
  }
  return hash;
}

uint32_t BucketOf(uint32_t hash) {
  int64_t signed_hash = static_cast<int32_t>(hash);
  return static_cast<uint32_t>((signed_hash < 0 ? -signed_hash : signed_hash) % kBucketCount);
}

// The key of the path text just read (`got` bytes); false when none was.
bool PathTextKey(const uint8_t* text, uint32_t got, uint16_t* key) {
  if (got == 0) return false;
  uint16_t path[kPathKeyUnits + 1];
  CopyPageText(std::span<const uint8_t>(text, got), 0, got, path, kPathKeyUnits);
  MakePathKey(key, path);
  return true;
}

bool SameKey(const uint16_t* a, const uint16_t* b) {
  for (uint32_t i = 0; i <= kPathKeyUnits; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

void IndexTrackPath(LibraryBuilder* b, uint32_t track, const uint16_t* path, uint32_t page_offset) {
  uint16_t key[kPathKeyUnits + 1];
  MakePathKey(key, path);
  uint32_t hash = KeyHash(key);
  PathNode* nodes = Nodes(b);
  nodes[track] = PathNode{track, 0, page_offset, hash};
  uint32_t* link = &Heads(b)[BucketOf(hash)];
  while (*link != 0) link = &nodes[*link - 1].next;
  *link = track + 1;
}

int MatchTrackPath(LibraryBuilder* b, const uint16_t* path, uint32_t file_size, uint32_t type) {
  uint16_t key[kPathKeyUnits + 1];
  MakePathKey(key, path);
  uint32_t hash = KeyHash(key);
  PathNode* nodes = Nodes(b);
  for (uint32_t n = Heads(b)[BucketOf(hash)]; n != 0; n = nodes[n - 1].next) {
    const PathNode& node = nodes[n - 1];
    if (node.hash != hash || b->update.presence[node.track] != 0) continue;
    // The library file stays open from the first match to the end of the scan.
    if (b->track_file < 0) b->track_file = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
    if (b->track_file < 0) return LogUpdateFailure(kSiteMatchFoundFile, 1);
    // Only the path's units are needed; the loading checked the page.
    FileWindow w{b->track_file, b->record_buffer_base + kWindowAt, kWindowBytes,
                 b->update.match_window_start, b->update.match_window_length};
    uint32_t got = 0;
    const uint8_t* text = FetchWindow(&w, uint64_t{b->track_positions[node.track]} + node.offset,
                                      2 * kPathKeyUnits, &got);
    b->update.match_window_start = w.start;
    b->update.match_window_length = w.length;
    if (text == nullptr) return LogUpdateFailure(kSiteMatchFoundFile, 2);
    uint16_t stored[kPathKeyUnits + 1];
    if (!PathTextKey(text, got < 2 * kPathKeyUnits ? got : 2 * kPathKeyUnits, stored))
      return LogUpdateFailure(kSiteMatchFoundFile, 3);
    if (SameKey(stored, key)) {
      b->update.presence[node.track] = 1;
      ++b->total_tracks;
      return 1;
    }
  }
  return QueuePendingFile(b, path, file_size, type);
}

void EndMatching(LibraryBuilder* b) {
  if (b->track_file >= 0) Files().Close(b->track_file);
  b->track_file = -1;
  b->update.match_window_length = 0;
}

}  // namespace qv

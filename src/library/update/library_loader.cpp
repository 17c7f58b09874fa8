// Loading the library on the drive for an update: the track index from
// QVTL.DB, the four order lists from QVBL.DB and the title and path
// statistics and the next track id from QVDB.DB. The layouts are drawn above
// their writers (track_list_writer.cpp, browse_writer.cpp, index_writer.cpp).
// Every size, offset and count read here is a claim: it is checked against
// the bytes read and the library's capacities before it is used, and a file
// that breaks one is reported as damaged, so that the job fails and the
// backup comes back.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <span>

#include "library/builder/utf16_text.h"
#include "library/files/library_files.h"
#include "library/files/track_page_cursor.h"
#include "library/update/update_internal.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"

namespace qv {
namespace {

constexpr uint32_t kBrowseHeadBytes = 16;
constexpr uint32_t kListHeadBytes = 20;
constexpr uint32_t kIndexHeadBytes = 32;

int TrackDamage(const LibraryBuilder* b, uint64_t at, const char* what, uint32_t detail) {
  return DamagedLibraryFile(b, kTrackFileName, at, what, kSiteLoadTrackIndex, detail);
}

// Keeps in name_ids what the loaded page of track t says of its name of
// category `kind` (see LoadedName); a name id past the capacity says too
// little, and the category's merge then reads every key.
void LoadName(LibraryBuilder* b, uint32_t t, const TrackPageCursor& c, const TrackChunk& chunk) {
  static constexpr uint32_t kNameLimit[3] = {kMaxGenres, kMaxNames, kMaxNames};
  uint32_t slot_units = kSlotMaxBytes[chunk.kind] / 2;
  uint16_t name[kSlotMaxBytes[kAlbum] / 2];
  uint32_t units = CopyChunkText(c, chunk, name, slot_units - 1);
  if (chunk.name_id >= kNameLimit[chunk.kind]) b->update.names_loaded &= ~(1u << chunk.kind);
  b->name_ids[chunk.kind][t] =
      LoadedName(chunk.name_id & 0x3FFFF, units, Utf16To8Bit(nullptr, name, slot_units) >= 0);
}

// Indexes the path of the page that `c` has opened and keeps its names: 1,
// or -1 when a chunk leaves the page or the page has no path.
int IndexPage(LibraryBuilder* b, uint32_t t, TrackPageCursor* c) {
  TrackChunk chunk;
  int r = kPageOk;
  uint32_t seen = 0;
  while ((r = NextTrackChunk(c, &chunk)) == kPageOk) {
    if ((seen & 1u << chunk.kind) != 0) continue;
    seen |= 1u << chunk.kind;
    if (chunk.kind <= kAlbum) LoadName(b, t, *c, chunk);
    if (chunk.kind != kPathSlot) continue;
    uint16_t path[kPathKeyUnits + 1];
    CopyChunkText(*c, chunk, path, kPathKeyUnits);
    IndexTrackPath(b, t, path, chunk.offset + kTrackChunkHeadBytes);
  }
  if (r != kPageEnd) return TrackDamage(b, c->fault_offset, c->fault, 8);
  if ((seen & 1u << kPathSlot) == 0)
    return TrackDamage(b, c->file_offset, "a track page without a path", 8);
  b->update.names_loaded &= seen;
  return 1;
}

int WalkTrackPages(LibraryBuilder* b, FileWindow* w, uint32_t first, uint32_t length,
                   uint32_t count) {
  uint64_t at = first;
  for (uint32_t t = 0; t < count; ++t) {
    uint32_t got = 0;
    const uint8_t* page = FetchWindow(w, at, kTrackPageReadBytes, &got);
    if (page == nullptr) return LogUpdateFailure(kSiteLoadTrackIndex, 4);
    // A page without its tag ends the loading: the tracks from here on count
    // as gone, and the removal pass writes the file anew without them.
    if (got < 4 || !HasTag(std::span<const uint8_t>(page, got), 0, "qvti")) {
      LogUpdateFailure(kSiteLoadTrackIndex, 7);
      return 1;
    }
    // The file length bounds the page as well as the bytes read.
    if (got > length - at) got = static_cast<uint32_t>(length - at);
    TrackPageCursor c;
    if (OpenTrackPage(&c, std::span<const uint8_t>(page, got), at) != kPageOk)
      return TrackDamage(b, c.fault_offset, c.fault, 5);
    b->track_positions[t] = static_cast<uint32_t>(at);
    uint32_t id = LoadLe32(c.page, 24);
    if (b->update.has_tracks == 0 || id > b->update.max_track_id) b->update.max_track_id = id;
    b->update.has_tracks = 1;
    if (IndexPage(b, t, &c) != 1) return -1;
    at += c.page.size();
  }
  if (at != length) return TrackDamage(b, 8, "file length is not the end of the last page", 6);
  return 1;
}

// Reads exactly `count` bytes at `offset`.
bool ReadAt(int fd, uint64_t offset, void* out, uint32_t count) {
  return Files().Seek(fd, static_cast<int64_t>(offset), SEEK_SET) == static_cast<int64_t>(offset) &&
         ReadFully(fd, out, count) == static_cast<int64_t>(count);
}

// Reads the order list of section c, which starts at `section`: 1, or -1.
int LoadOrderList(LibraryBuilder* b, int fd, uint32_t c, uint64_t section, uint64_t length,
                  uint64_t* next) {
  auto damage = [b](uint64_t at, const char* what, uint32_t detail) {
    return DamagedLibraryFile(b, kBrowseFileName, at, what, kSiteLoadCategoryLists, detail);
  };
  uint8_t head[kListHeadBytes];
  std::span<const uint8_t> h(head, kListHeadBytes);
  if (section + kListHeadBytes > length || !ReadAt(fd, section, head, kListHeadBytes) ||
      !HasTag(h, 0, "qvbi"))
    return damage(section, "a section head past the end of the file", 3);
  uint64_t end = section + LoadLe32(h, 8);
  uint64_t at = section + LoadLe32(h, 4);
  if (end > length || at < section + kListHeadBytes || at > end)
    return damage(section + 8, "section size past the end of the file", 3);
  *next = end;
  for (;;) {
    if (at + kListHeadBytes > end || !ReadAt(fd, at, head, kListHeadBytes) || !HasTag(h, 0, "qvba"))
      return damage(at, "a section without its order list", 4);
    uint32_t size = LoadLe32(h, 8);
    if (size < kListHeadBytes || at + size > end)
      return damage(at + 8, "list size past the end of its section", 4);
    if (head[12] == 1) break;
    at += size;
  }
  uint32_t count = LoadLe32(h, 16);
  uint32_t tracks = b->update.loaded_track_count;
  if (count != tracks || kListHeadBytes + 4ull * count > LoadLe32(h, 8))
    return damage(at + 16, "order list count is not the track count", 5);
  uint32_t* list = b->category_lists[c];
  if (count > 0 && !ReadAt(fd, at + kListHeadBytes, list, 4 * count))
    return damage(at + kListHeadBytes, "order list past the end of the file", 5);
  // Each list must hold every track once; the presence bytes, all 0 until the
  // scan, mark the tracks seen meanwhile.
  uint8_t* seen = b->update.presence;
  int result = 1;
  for (uint32_t i = 0; i < count && result == 1; ++i) {
    uint32_t t = LoadLe32(std::span<const uint8_t>(reinterpret_cast<uint8_t*>(&list[i]), 4), 0);
    if (t >= tracks || seen[t] != 0) {
      result = damage(at + kListHeadBytes + 4ull * i, "order list entry out of range or twice", 5);
      break;
    }
    seen[t] = 1;
    list[i] = t;
  }
  std::memset(seen, 0, tracks);
  return result;
}

// The title and path records of the statistics chunk "qvts" at `chunk`.
void LoadStringStatistics(LibraryBuilder* b, std::span<const uint8_t> file, uint32_t chunk,
                          uint32_t end) {
  uint32_t head = LoadLe32(file, chunk + 4);
  uint32_t records = LoadLe32(file, chunk + 12);
  if (head < 16 || head > end - chunk) return;
  uint32_t at = chunk + head;
  for (uint32_t r = 0; r < records && end - at >= 24; ++r) {
    uint32_t size = LoadLe32(file, at + 8);
    uint32_t kind = LoadLe32(file, at + 12);
    if (size < 24 || size > end - at) return;
    if (kind == kTitle || kind == kPathSlot) {
      b->title_counts[kind == kTitle ? 0 : 1] = LoadLe32(file, at + 16);
      uint32_t sub = at + 24;
      for (uint32_t s = LoadLe32(file, at + 20); s > 0 && at + size - sub >= 24; --s) {
        if (!HasTag(file, sub, "qvsd")) return;
        uint32_t method = LoadLe32(file, sub + 12);
        uint32_t value = LoadLe32(file, sub + 20);
        uint32_t sub_size = LoadLe32(file, sub + 8);
        if (method == 0) *(kind == kTitle ? &b->title_bytes : &b->path_bytes) = value;
        if (method == 1 || (method == 3 && kind == kPathSlot))
          *(kind == kTitle ? &b->stored_title_bytes : &b->packed_path_bytes) = value;
        if (sub_size < 24 || sub_size > at + size - sub) return;
        sub += sub_size;
      }
    }
    at += size;
  }
}

}  // namespace

int LogUpdateFailure(uint32_t site, uint32_t detail) {
  AppendErrorLog(&TheErrorLog(), kBuilderLive, site, detail);
  return -1;
}

int DamagedLibraryFile(const LibraryBuilder* b, const char* name, uint64_t offset, const char* what,
                       uint32_t site, uint32_t detail) {
  char path[kDrivePathBytes];
  LibraryPath(path, b->drive_path, b->file_system_kind, name);
  char reason[192];
  std::snprintf(reason, sizeof reason, "damaged at byte %llu: %s; Create rebuilds the library",
                static_cast<unsigned long long>(offset), what);
  NoteFileFailure(path, 0, static_cast<int64_t>(offset), reason);
  return LogUpdateFailure(site, detail);
}

const uint8_t* FetchWindow(FileWindow* w, uint64_t offset, uint32_t want, uint32_t* available) {
  uint64_t held_end = w->start + w->length;
  if (offset < w->start || offset > held_end || held_end - offset < want) {
    int64_t got = -1;
    if (Files().Seek(w->fd, static_cast<int64_t>(offset), SEEK_SET) == static_cast<int64_t>(offset))
      got = ReadFully(w->fd, w->buffer, w->capacity);
    if (got < 0) return nullptr;
    w->start = offset;
    w->length = static_cast<uint32_t>(got);
  }
  *available = static_cast<uint32_t>(w->start + w->length - offset);
  return w->buffer + (offset - w->start);
}

int LoadTrackIndex(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
  if (fd < 0) return LogUpdateFailure(kSiteLoadTrackIndex, 1);
  // The page buffer is free until the first file is queued.
  FileWindow w{fd, b->page_buffer, b->page_buffer_size, 0, 0};
  uint32_t got = 0;
  const uint8_t* head = FetchWindow(&w, 0, kTrackFileHeadBytes, &got);
  int result = 1;
  if (head == nullptr || got < kTrackFileHeadBytes) {
    result = TrackDamage(b, 0, "the file is shorter than its header", 3);
  } else {
    std::span<const uint8_t> h(head, kTrackFileHeadBytes);
    uint32_t first = LoadLe32(h, 4);
    uint32_t length = LoadLe32(h, 8);
    uint32_t count = LoadLe32(h, 12);
    if (!HasTag(h, 0, "qvtl")) {
      result = TrackDamage(b, 0, "no track list tag", 3);
    } else if (count > kMaxTracks) {
      result = TrackDamage(b, 12, "more tracks than a library holds", 3);
    } else if (first < kTrackFileHeadBytes || length < first) {
      result = TrackDamage(b, 4, "first page offset outside the file", 3);
    } else {
      b->update.loaded_track_count = count;
      b->update.names_loaded = 7;
      result = WalkTrackPages(b, &w, first, length, count);
    }
  }
  Files().Close(fd);
  return result;
}

int LoadCategoryLists(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kBrowseFileName, O_RDWR, 0);
  if (fd < 0) return LogUpdateFailure(kSiteLoadCategoryLists, 1);
  uint8_t head[kBrowseHeadBytes];
  std::span<const uint8_t> h(head, kBrowseHeadBytes);
  int result = 1;
  if (!ReadAt(fd, 0, head, kBrowseHeadBytes) || !HasTag(h, 0, "qvbl")) {
    result = DamagedLibraryFile(b, kBrowseFileName, 0, "no browse list header",
                                kSiteLoadCategoryLists, 2);
  } else {
    uint64_t length = LoadLe32(h, 8);
    uint64_t section = LoadLe32(h, 4);
    for (uint32_t c = 0; c < kCategoryCount && result == 1; ++c)
      result = LoadOrderList(b, fd, c, section, length, &section);
  }
  Files().Close(fd);
  return result;
}

int LoadIndexStatistics(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kIndexFileName, O_RDWR, 0);
  if (fd < 0) return LogUpdateFailure(kSiteLoadStatistics, 1);
  int64_t got = ReadFully(fd, b->page_buffer, b->page_buffer_size);
  Files().Close(fd);
  if (got < static_cast<int64_t>(kIndexHeadBytes) || !HasTag({b->page_buffer, 4}, 0, "qvdb"))
    return DamagedLibraryFile(b, kIndexFileName, 0, "no index header", kSiteLoadStatistics, 2);
  std::span<const uint8_t> file(b->page_buffer, static_cast<size_t>(got));
  uint32_t next_id = LoadLe32(file, 24);
  // Added tracks take ids from here on: an id the loaded tracks already
  // carry, or room for too few, would give two tracks one id.
  if ((b->update.has_tracks != 0 && next_id <= b->update.max_track_id) ||
      next_id > 0xFFFFFFFFu - kMaxTracks)
    return DamagedLibraryFile(b, kIndexFileName, 24, "next track id not above the tracks' ids",
                              kSiteLoadStatistics, 3);
  b->next_track_id = next_id;
  uint32_t chunks = LoadLe16(file, 30);
  if (chunks == 0) {
    b->flags &= static_cast<uint16_t>(~kFlagStatistics);
    return 1;
  }
  uint32_t end = static_cast<uint32_t>(got);
  uint32_t at = kIndexHeadBytes;
  uint32_t read = 0;
  for (; read < chunks && end - at >= 16; ++read) {
    uint32_t size = LoadLe32(file, at + 8);
    if (size < 16 || size > end - at) break;
    if (HasTag(file, at, "qvts")) LoadStringStatistics(b, file, at, at + size);
    at += size;
  }
  // Statistics that stop short are left at what was read; they only size
  // the player's buffers.
  if (read < chunks) LogUpdateFailure(kSiteStatisticsChunks, 1);
  return 1;
}

}  // namespace qv

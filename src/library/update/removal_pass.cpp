// Dropping the tracks whose files are gone, and regrouping what is left.
//
// The removal pass copies the pages of the kept tracks from QVTL.DB into a
// new file QVTB.DB, renumbers them densely (page byte 20, the track index),
// recounts the title and path statistics, and moves the new file into place.
// The name statistics are counted per kept track, not per distinct name: the
// totals only need to bound what the player reads. Regrouping then compacts
// the four order lists; the names along them are numbered again by the final
// merge of the added files, or, when nothing is added, before the track list
// is finished.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <span>

#include "library/builder/utf16_text.h"
#include "library/files/library_files.h"
#include "library/files/track_page_cursor.h"
#include "library/update/update_internal.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace qv {
namespace {

// Pages are read through this much of the record buffer, which holds no
// records until the additions.
constexpr uint32_t kReadWindowBytes = 4u << 20;
constexpr uint32_t kNameLimit[3] = {kMaxGenres, kMaxNames, kMaxNames};

uint32_t EvenHalf(uint32_t bytes) {
  uint32_t h = (bytes + 1) / 2;
  return h + h % 2;
}

bool AllBelow256(const uint16_t* text) {
  for (; *text != 0; ++text)
    if (*text > 0xFF) return false;
  return true;
}

struct PassState {
  int old_fd;
  int new_fd;
  uint32_t fill;
  uint32_t kept;
  uint32_t new_offset;
  uint16_t previous_path[kPathKeyUnits + 1];
};

// Adds one string chunk of a kept page to the statistics.
void CountChunk(LibraryBuilder* b, PassState* s, uint32_t kind, uint32_t stored,
                const uint16_t* text) {
  uint32_t bytes = stored + 2;
  if (kind <= kTitle) {
    uint32_t narrow = AllBelow256(text) ? EvenHalf(bytes) : bytes;
    if (kind == kTitle) {
      b->title_bytes += bytes;
      b->stored_title_bytes += narrow;
      ++b->title_counts[0];
    } else {
      b->name_bytes[kind] += bytes;
      b->stored_name_bytes[kind] += narrow;
      ++b->distinct_names[kind];
    }
    return;
  }
  b->path_bytes += bytes;
  ++b->title_counts[1];
  uint32_t shared = 0;
  if (s->kept % kPathRestart != 0)
    shared = Utf16CommonPrefix(text, s->previous_path, kPathKeyUnits);
  uint32_t rest = bytes - 2 * shared;
  b->packed_path_bytes += AllBelow256(text + shared) ? EvenHalf(rest) : rest;
  Utf16Copy(s->previous_path, text, 2 * kPathKeyUnits);
}

// Counts the strings of the kept page that `c` has opened: 1, or -1 when a
// chunk leaves the page or lacks its tag.
int CountPage(LibraryBuilder* b, PassState* s, TrackPageCursor* c) {
  TrackChunk chunk;
  int r = kPageOk;
  while ((r = NextTrackChunk(c, &chunk)) == kPageOk) {
    uint16_t text[kPathKeyUnits + 1];
    CopyChunkText(*c, chunk, text, kPathKeyUnits);
    CountChunk(b, s, chunk.kind, chunk.text_bytes, text);
  }
  if (r == kPageEnd) return 1;
  return DamagedLibraryFile(b, kTrackFileName, c->fault_offset, c->fault, kSiteRemoveGoneTracks,
                            r == kPageBadKind ? 31 : 30);
}

bool WriteExactly(int fd, const uint8_t* bytes, uint32_t count) {
  return WriteFully(fd, bytes, count) == static_cast<int64_t>(count);
}

// Copies the kept pages into the new file: 0, or the failed step.
uint32_t CopyKeptPages(LibraryBuilder* b, PassState* s, uint32_t* new_index) {
  FileWindow w{s->old_fd, b->record_buffer_base, kReadWindowBytes, 0, 0};
  uint8_t* out = b->page_buffer + kTrackFileHeadBytes;
  for (uint32_t t = 0; t < b->update.loaded_track_count; ++t) {
    if (b->update.presence[t] == 0) {
      new_index[t] = kNoId;
      ++b->update.removed_count;
      continue;
    }
    uint32_t got = 0;
    const uint8_t* page = FetchWindow(&w, b->track_positions[t], kTrackPageReadBytes, &got);
    if (page == nullptr) return 6;
    TrackPageCursor c;
    if (OpenTrackPage(&c, std::span<const uint8_t>(page, got), b->track_positions[t]) != kPageOk) {
      DamagedLibraryFile(b, kTrackFileName, c.fault_offset, c.fault, kSiteRemoveGoneTracks, 6);
      return 30;
    }
    if (CountPage(b, s, &c) != 1) return 30;
    uint32_t size = static_cast<uint32_t>(c.page.size());
    std::memcpy(out + s->fill, page, size);
    StoreLe32(std::span<uint8_t>(out + s->fill, size), 20, s->kept);
    b->track_positions[s->kept] = s->new_offset;
    new_index[t] = s->kept;
    for (int c = kGenre; c <= kAlbum; ++c) b->name_ids[c][s->kept] = b->name_ids[c][t];
    s->new_offset += size;
    s->fill += size;
    ++s->kept;
    if (s->fill > b->page_buffer_size - kPageStagingReserve) {
      if (!WriteExactly(s->new_fd, out, s->fill)) return 8;
      s->fill = 0;
    }
  }
  if (s->fill > 0 && !WriteExactly(s->new_fd, out, s->fill)) return 9;
  return 0;
}

// The passes between opening both files and closing them: 0 or the failed step.
uint32_t RewriteTrackList(LibraryBuilder* b, PassState* s, uint32_t* new_index) {
  std::span<uint8_t> header(b->page_buffer, kTrackFileHeadBytes);
  if (ReadFully(s->old_fd, b->page_buffer, kTrackFileHeadBytes) != kTrackFileHeadBytes) return 4;
  if (!WriteExactly(s->new_fd, b->page_buffer, kTrackFileHeadBytes)) return 40;
  s->new_offset = kTrackFileHeadBytes;
  if (uint32_t step = CopyKeptPages(b, s, new_index); step != 0) return step;
  StoreTag(header, 0, "qvtl");
  StoreLe32(header, 4, kTrackFileHeadBytes);
  StoreLe32(header, 8, s->new_offset);
  StoreLe32(header, 12, s->kept);
  if (Files().Seek(s->new_fd, 0, SEEK_SET) != 0 ||
      !WriteExactly(s->new_fd, b->page_buffer, kTrackFileHeadBytes))
    return 10;
  return 0;
}

// A kept track's entry takes its new index, a gone track's the mark kNoId.
void RenumberLists(LibraryBuilder* b, const uint32_t* new_index) {
  for (int c = 0; c < kCategoryCount; ++c) {
    uint32_t* list = b->category_lists[c];
    for (uint32_t i = 0; i < b->update.loaded_track_count; ++i) list[i] = new_index[list[i]];
  }
}

bool SameName(const uint16_t* a, const uint16_t* b, uint32_t units) {
  for (uint32_t i = 0; i < units; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

// Numbers the names of category c along its compacted list: 1, or -1.
int NumberNames(LibraryBuilder* b, uint16_t c) {
  const uint32_t* list = b->category_lists[c];
  uint32_t units = kSlotMaxBytes[c] / 2;
  b->current_category = c;
  uint32_t id = 0;
  for (uint32_t i = 0; i < b->total_tracks; ++i) {
    SortKeySet* keys = &b->key_sets[i % 2];
    if (ReadTrackKeys(b, keys, list[i]) != 1) return LogUpdateFailure(kSiteRegroup, i == 0 ? 1 : 2);
    if (i > 0 && !SameName(keys->slot[c], b->key_sets[(i + 1) % 2].slot[c], units))
      id = id + 1 >= kNameLimit[c] ? kOverflowId : id + 1;
    b->name_ids[c][list[i]] = id;
  }
  return 1;
}

}  // namespace

int RemoveGoneTracks(LibraryBuilder* b) {
  b->title_bytes = 0;
  b->path_bytes = 0;
  b->stored_title_bytes = 0;
  b->packed_path_bytes = 0;
  // The second title count is the path count: every kept track has one.
  b->title_counts[0] = 0;
  b->title_counts[1] = 0;
  b->update.removed_count = 0;
  PassState s{};
  s.old_fd = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
  if (s.old_fd < 0) return LogUpdateFailure(kSiteRemoveGoneTracks, 1);
  s.new_fd = OpenLibraryFile(b, kCompactTrackFileName, O_RDWR | O_CREAT | O_TRUNC, 0777);
  if (s.new_fd < 0) {
    Files().Close(s.old_fd);
    return LogUpdateFailure(kSiteRemoveGoneTracks, 3);
  }
  // The merge list is free until the additions: it maps old to new indexes.
  uint32_t* new_index = b->merge_list;
  if (uint32_t step = RewriteTrackList(b, &s, new_index); step != 0) {
    Files().Close(s.old_fd);
    Files().Close(s.new_fd);
    RemoveLibraryFile(b, kCompactTrackFileName);
    return LogUpdateFailure(kSiteRemoveGoneTracks, step);
  }
  Files().Close(s.old_fd);
  if (RemoveLibraryFile(b, kTrackFileName) != 0) {
    Files().Close(s.new_fd);
    RemoveLibraryFile(b, kCompactTrackFileName);
    return LogUpdateFailure(kSiteRemoveGoneTracks, 11);
  }
  if (RenameLibraryFile(b, s.new_fd, kCompactTrackFileName, kTrackFileName) != 0) {
    RemoveLibraryFile(b, kCompactTrackFileName);
    return LogUpdateFailure(kSiteRemoveGoneTracks, 12);
  }
  RenumberLists(b, new_index);
  return 1;
}

int RegroupCategories(LibraryBuilder* b) {
  b->record_cursor = b->record_buffer_base;
  for (uint16_t c = kGenre; c <= kTitle && b->total_tracks > 0; ++c) {
    uint32_t* list = b->category_lists[c];
    uint32_t kept = 0;
    for (uint32_t i = 0; i < b->update.loaded_track_count && kept < b->total_tracks; ++i)
      if (list[i] != kNoId) list[kept++] = list[i];
    std::memcpy(b->merge_list, list, 4ull * kept);
  }
  b->tracks_on_disk = b->total_tracks;
  b->update.kept_tracks = b->total_tracks;
  // The final merge of added files numbers every name again; only an
  // update that adds nothing needs the numbering along the compacted lists.
  b->update.names_stale = b->total_tracks > 0 ? 1 : 0;
  return 1;
}

int NumberRegroupedNames(LibraryBuilder* b) {
  for (uint16_t c = kGenre; c <= kAlbum && b->update.names_stale != 0; ++c) {
    b->track_file = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
    if (b->track_file < 0) return 0;
    int numbered = NumberNames(b, c);
    Files().Close(b->track_file);
    b->track_file = -1;
    if (numbered != 1) return -1;
  }
  b->update.names_stale = 0;
  return 1;
}

}  // namespace qv

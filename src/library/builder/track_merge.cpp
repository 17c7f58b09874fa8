// Merging a sorted batch into a category list, numbering the distinct names
// on the final merge, and reading the keys of earlier batches back from the
// track list file.
//
// What the key read-back takes from a track page:
//
//   offset  size  field
//   0       4     tag "qvti"
//   4       4     head size: offset of the first string chunk
//   8       4     page size
//   36      2     track number
//
// and from each string chunk that follows (tag "qvst"):
//
//   offset  size  field
//   0       4     tag "qvst"
//   4       4     head size
//   8       4     chunk size; the next chunk starts this far on
//   12      4     string kind 0-4
//   24      ...   the text, UTF-16LE, chunk size - head size bytes
#include <fcntl.h>

#include <cstring>
#include <span>

#include "library/builder/library_builder.h"
#include "library/builder/utf16_text.h"
#include "library/files/library_files.h"
#include "library/files/track_page_cursor.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace qv {
namespace {

// ReadTrackKeys failure details.
constexpr uint32_t kReadShort = 4;
constexpr uint32_t kReadNotAPage = 5;
constexpr uint32_t kReadDamaged = 6;

constexpr uint32_t kNameLimit[3] = {kMaxGenres, kMaxNames, kMaxNames};

int FailRead(uint32_t detail) {
  AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteReadTrackKeys, detail);
  return 0;
}

// Equal names share an id: keys agree unit by unit up to the slot's length.
bool SameName(const uint16_t* a, const uint16_t* b, uint32_t max_units) {
  for (uint32_t i = 0; i < max_units; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

// The running state of the final merge's name numbering for one category.
struct Numbering {
  bool active = false;
  bool started = false;
  uint32_t id = 0;
  uint32_t name_bytes = 0;
  uint32_t stored_bytes = 0;
};

// Gives the emitted track its name id; a new name, `length` bytes long and
// `narrow` when stored one byte per character, adds to the totals.
void CountName(LibraryBuilder* b, Numbering* n, bool new_name, uint32_t length, bool narrow,
               uint32_t global) {
  uint16_t c = b->current_category;
  // Past the capacity every name shares the overflow id, yet each distinct
  // one still adds its bytes to the totals.
  new_name = new_name || !n->started;
  uint32_t id = 0;
  if (n->started) {
    id = n->id;
    if (new_name) id = n->id + 1 >= kNameLimit[c] ? kOverflowId : n->id + 1;
  }
  if (new_name) {
    n->name_bytes += length + 2;
    n->stored_bytes += (narrow ? length / 2 : length) + 2;
  }
  n->started = true;
  n->id = id;
  b->name_ids[c][global] = id;
}

// Numbers the emitted track by its keys; `narrow` says whether its display
// name is stored one byte per character.
void NumberTrack(LibraryBuilder* b, Numbering* n, const SortKeySet* keys, uint32_t global,
                 bool narrow) {
  uint16_t c = b->current_category;
  SortKeySet* previous = &b->key_sets[2];
  bool new_name = !n->started || !SameName(keys->slot[c], previous->slot[c], kSlotMaxBytes[c] / 2);
  std::memcpy(previous->slot[c], keys->slot[c], kSlotMaxBytes[c]);
  CountName(b, n, new_name, Utf16ByteLength(keys->slot[5], kSlotMaxBytes[c]), narrow, global);
}

bool BatchNameIsNarrow(const LibraryBuilder* b, uint32_t batch_index) {
  const uint8_t* record = b->batch_records[batch_index];
  uint16_t c = b->current_category;
  return (record[25 + 2 * c] & 0x80) != 0;
}

bool ReadNameIsNarrow(const LibraryBuilder* b, const SortKeySet* keys) {
  return Utf16To8Bit(nullptr, keys->slot[5], kSlotMaxBytes[b->current_category] / 2) >= 0;
}

void StoreTotals(LibraryBuilder* b, const Numbering& n) {
  uint16_t c = b->current_category;
  if (c == kTitle) {
    // An update's pages count their own titles as they are written (the
    // removal pass counted the kept ones), and the batch of this merge is
    // written after it: leave it to add itself, so each title counts once.
    const bool update = (b->flags & kFlagUpdateMode) != 0;
    b->title_counts[0] = update ? b->total_tracks - b->batch_tracks : b->total_tracks;
    b->title_counts[1] = b->total_tracks;
    return;
  }
  uint32_t last = n.id == kOverflowId ? kNameLimit[c] - 1 : n.id;
  b->name_bytes[c] = n.name_bytes;
  b->stored_name_bytes[c] = n.stored_bytes;
  b->distinct_names[c] = n.started ? last + 1 : 0;
}

// The first batch of a library is the whole list.
int TakeBatchAsList(LibraryBuilder* b, uint32_t count, int final_flag) {
  uint16_t c = b->current_category;
  for (uint32_t i = 0; i < count; ++i) {
    b->category_lists[c][i] = b->batch_order[i];
    b->merge_list[i] = b->batch_order[i];
  }
  if (!final_flag) return 1;
  Numbering n;
  if (c != kTitle) {
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t index = b->batch_order[i];
      BuildRecordNameKey(b->batch_records[index], c, &b->key_sets[1]);
      NumberTrack(b, &n, &b->key_sets[1], index, BatchNameIsNarrow(b, index));
    }
  }
  StoreTotals(b, n);
  return 1;
}

}  // namespace

namespace {

// ReadTrackKeys; a merge asks for the slots it compares only (the current
// category's up to the title), which spares folding the path and the names
// before the category for every key read back.
int ReadPageKeys(LibraryBuilder* b, SortKeySet* keys, uint32_t global_index, bool compared_only) {
  if (global_index >= kMaxTracks) return FailRead(kReadShort);
  // Pages lie back to back in index order, so the next page's position ends
  // this one: reading no further saves copying most of the scratch page for
  // every key of a merge.
  uint32_t want = kScratchPageBytes;
  uint32_t at_page = b->track_positions[global_index];
  if (global_index + 1 < b->tracks_on_disk) {
    uint32_t next = b->track_positions[global_index + 1];
    if (next > at_page && next - at_page < want) want = next - at_page;
  }
  const int64_t got = Files().ReadAt(b->track_file, b->scratch_page, want, at_page);
  if (got < 0) return FailRead(kReadShort);
  TrackPageCursor c;
  int r = OpenTrackPage(&c, std::span<const uint8_t>(b->scratch_page, static_cast<size_t>(got)),
                        at_page);
  if (r == kPageOk) {
    keys->track_number = LoadLe16(c.page, 36);
    for (int s = 0; s <= kPathSlot; ++s) keys->slot[s][0] = 0;
    keys->slot[5][0] = 0;
  }
  TrackChunk chunk;
  while (r == kPageOk && (r = NextTrackChunk(&c, &chunk)) == kPageOk) {
    uint32_t slot = chunk.kind;
    if (compared_only && (slot < b->current_category || slot == kPathSlot)) continue;
    // A text longer than its slot keeps its first slot-size - 1 units.
    uint16_t text[kSlotMaxBytes[kPathSlot] / 2];
    uint32_t copied = 2 * CopyChunkText(c, chunk, text, kSlotMaxBytes[slot] / 2 - 1) + 2;
    MakeSortKey(keys->slot[slot], text, copied, slot == kArtist);
    if (slot == b->current_category) Utf16Copy(keys->slot[5], text, copied - 2);
  }
  if (r != kPageEnd) {
    NoteLibraryFileFailure(b, kTrackFileName, 0, static_cast<int64_t>(c.fault_offset), c.fault);
    return FailRead(r == kPageShort      ? kReadShort
                    : r == kPageNotAPage ? kReadNotAPage
                                         : kReadDamaged);
  }
  return 1;
}

// The first old list position from `from` on whose track does not sort
// below the new keys, found by galloping and halving: the position a
// one-by-one merge reaches, as the list is in order. -1 when a read failed.
int64_t FindPlace(LibraryBuilder* b, const uint32_t* old_list, uint32_t from, uint32_t on_disk,
                  const SortKeySet* new_keys) {
  SortKeySet* old_keys = &b->key_sets[0];
  uint32_t low = from;
  uint32_t high = on_disk;
  for (uint32_t probe = from, step = 1; probe < on_disk; probe = low + step, step *= 2) {
    if (ReadPageKeys(b, old_keys, old_list[probe], true) != 1) return -1;
    if (CompareSortKeys(b, old_keys, new_keys) >= 0) {
      high = probe;
      break;
    }
    low = probe + 1;
  }
  while (low < high) {
    uint32_t mid = low + (high - low) / 2;
    if (ReadPageKeys(b, old_keys, old_list[mid], true) != 1) return -1;
    if (CompareSortKeys(b, old_keys, new_keys) >= 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

// Numbers the merged list `out` of an update whose loaded tracks carry their
// LoadedName words: neighbours that both come from the loaded library share
// a name exactly when they shared an id there, so keys are read only where
// an added track meets a loaded one. 1, or 0 when a read failed.
int NumberMergedList(LibraryBuilder* b, const uint32_t* out, uint32_t count, uint32_t on_disk,
                     Numbering* n) {
  uint16_t c = b->current_category;
  SortKeySet* keys = &b->key_sets[1];
  SortKeySet* previous = &b->key_sets[2];
  bool previous_keyed = false;  // previous->slot[c] holds the previous track's key
  uint32_t previous_word = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t global = out[i];
    bool loaded = global < on_disk;
    uint32_t word = loaded ? b->name_ids[c][global] : 0;
    bool new_name = i == 0;
    if (i > 0 && loaded && out[i - 1] < on_disk) {
      new_name = LoadedNameId(word) != LoadedNameId(previous_word);
      previous_keyed = false;
    } else if (i > 0) {
      if (!previous_keyed && ReadPageKeys(b, previous, out[i - 1], true) != 1) return 0;
      if (loaded && ReadPageKeys(b, keys, global, true) != 1) return 0;
      if (!loaded) BuildRecordNameKey(b->batch_records[global - on_disk], c, keys);
      new_name = !SameName(keys->slot[c], previous->slot[c], kSlotMaxBytes[c] / 2);
    }
    if (!loaded && i == 0) BuildRecordNameKey(b->batch_records[global - on_disk], c, keys);
    if (loaded) {
      CountName(b, n, new_name, 2 * LoadedNameUnits(word), LoadedNameIsNarrow(word), global);
    } else {
      CountName(b, n, new_name, Utf16ByteLength(keys->slot[5], kSlotMaxBytes[c]),
                BatchNameIsNarrow(b, global - on_disk), global);
    }
    if (!loaded || (i > 0 && out[i - 1] >= on_disk)) {
      std::memcpy(previous->slot[c], keys->slot[c], kSlotMaxBytes[c]);
      previous_keyed = true;
    }
    previous_word = word;
  }
  return 1;
}

// MergeBatch for an update whose loaded tracks are in order on disk: each
// added track finds its place by a few reads, and the loaded runs between
// are copied whole. 1, or 0 when a read failed.
int MergeIntoLoaded(LibraryBuilder* b, uint32_t batch_count, bool numbering, Numbering* n) {
  uint16_t c = b->current_category;
  uint32_t on_disk = b->tracks_on_disk;
  const uint32_t* old_list = b->category_lists[c];
  uint32_t* out = b->merge_list;
  SortKeySet* new_keys = &b->key_sets[1];
  uint32_t oi = 0;
  uint32_t emitted = 0;
  for (uint32_t ni = 0; ni < batch_count; ++ni) {
    uint32_t index = b->batch_order[ni];
    BuildRecordKeys(b, b->batch_records[index], c, new_keys);
    int64_t place = FindPlace(b, old_list, oi, on_disk, new_keys);
    if (place < 0) return 0;
    for (; oi < place; ++oi) out[emitted++] = old_list[oi];
    out[emitted++] = index + on_disk;
  }
  for (; oi < on_disk; ++oi) out[emitted++] = old_list[oi];
  return numbering ? NumberMergedList(b, out, emitted, on_disk, n) : 1;
}

}  // namespace

int ReadTrackKeys(LibraryBuilder* b, SortKeySet* keys, uint32_t global_index) {
  RequireLiveBuilder(b);
  return ReadPageKeys(b, keys, global_index, false);
}

int MergeBatch(LibraryBuilder* b, uint32_t batch_count, int final_flag) {
  RequireLiveBuilder(b);
  uint16_t c = b->current_category;
  uint32_t on_disk = b->tracks_on_disk;
  if (b->batches_written == 0 || on_disk == 0) return TakeBatchAsList(b, batch_count, final_flag);
  int fd = OpenLibraryFile(b, kTrackFileName, O_RDWR, 0);
  if (fd < 0) return 0;
  b->track_file = fd;
  bool numbering = final_flag && c != kTitle;
  // An update's loaded tracks keep their order, and their names while no
  // batch was written before the final one.
  if ((b->flags & (kFlagUpdateMode | kFlagFullMerge)) == kFlagUpdateMode &&
      (!numbering ||
       (on_disk == b->update.kept_tracks && (b->update.names_loaded & 1u << c) != 0))) {
    Numbering n;
    bool ok = MergeIntoLoaded(b, batch_count, numbering, &n) == 1;
    Files().Close(fd);
    b->track_file = -1;
    if (!ok) return 0;
    if (final_flag) StoreTotals(b, n);
    uint32_t* old_list = b->category_lists[c];
    b->category_lists[c] = b->merge_list;
    b->merge_list = old_list;
    return 1;
  }
  const uint32_t* old_list = b->category_lists[c];
  const uint32_t* new_list = b->batch_order;
  uint32_t* out = b->merge_list;
  SortKeySet* old_keys = &b->key_sets[0];
  SortKeySet* new_keys = &b->key_sets[1];
  Numbering n;
  uint32_t oi = 0;
  uint32_t ni = 0;
  uint32_t emitted = 0;
  bool ok = true;
  if (on_disk > 0) ok = ReadPageKeys(b, old_keys, old_list[0], true) == 1;
  if (batch_count > 0) BuildRecordKeys(b, b->batch_records[new_list[0]], c, new_keys);
  // Equal keys place the newer track first.
  while (ok && oi < on_disk && ni < batch_count) {
    if (CompareSortKeys(b, old_keys, new_keys) >= 0) {
      uint32_t index = new_list[ni];
      out[emitted++] = index + on_disk;
      if (numbering) NumberTrack(b, &n, new_keys, index + on_disk, BatchNameIsNarrow(b, index));
      if (++ni < batch_count) BuildRecordKeys(b, b->batch_records[new_list[ni]], c, new_keys);
    } else {
      out[emitted++] = old_list[oi];
      if (numbering) NumberTrack(b, &n, old_keys, old_list[oi], ReadNameIsNarrow(b, old_keys));
      if (++oi < on_disk) ok = ReadPageKeys(b, old_keys, old_list[oi], true) == 1;
    }
  }
  // The side left over already holds its first key; later keys are needed
  // only to number names.
  for (bool first = true; ok && oi < on_disk; first = false) {
    if (numbering && !first) ok = ReadPageKeys(b, old_keys, old_list[oi], true) == 1;
    if (!ok) break;
    out[emitted++] = old_list[oi];
    if (numbering) NumberTrack(b, &n, old_keys, old_list[oi], ReadNameIsNarrow(b, old_keys));
    ++oi;
  }
  for (bool first = true; ok && ni < batch_count; first = false) {
    uint32_t index = new_list[ni];
    if (numbering && !first) BuildRecordNameKey(b->batch_records[index], c, new_keys);
    out[emitted++] = index + on_disk;
    if (numbering) NumberTrack(b, &n, new_keys, index + on_disk, BatchNameIsNarrow(b, index));
    ++ni;
  }
  Files().Close(fd);
  b->track_file = -1;
  if (!ok) return 0;
  if (final_flag) StoreTotals(b, n);
  b->category_lists[c] = out;
  b->merge_list = const_cast<uint32_t*>(old_list);
  return 1;
}

}  // namespace qv

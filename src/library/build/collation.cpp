// The one collation of every browse list: sort weights of UTF-16 units, the
// sort key of a name, the comparison of two tracks for a category, and the
// batch quicksort whose exact steps decide the order of equal keys.
#include <cstring>

#include "library/build/library_builder.h"
#include "library/build/utf16_text.h"

namespace qv {
namespace {

// Listed punctuation sorts before the space, digits and letters.
uint16_t FoldPunctuation(uint16_t u) {
  switch (u) {
    case 0x27:
      return 15;
    case 0x2B:
      return 24;
    case 0x2D:
      return 16;
    case 0x3B:
      return 20;
    case 0x3D:
      return 25;
    case 0x40:
      return 18;
    case 0x5E:
      return 19;
    case 0x5F:
      return 20;
    case 0x7B:
      return 21;
    case 0x7D:
      return 22;
    case 0x7E:
      return 23;
    default:
      break;
  }
  if (u >= 0x21 && u <= 0x2E) return static_cast<uint16_t>(u - 32);
  return u;
}

uint16_t FoldFullwidth(uint16_t u) {
  if (u >= 0xFF10 && u <= 0xFF19) return static_cast<uint16_t>(u - 0xFEE0);
  if (u >= 0xFF21 && u <= 0xFF3A) return static_cast<uint16_t>(u - 0xFEE0);
  if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<uint16_t>(u - 0xFF00);
  switch (u) {
    case 0xFF07:
      return 15;
    case 0xFF0B:
      return 24;
    case 0xFF0D:
      return 16;
    case 0xFF1B:
      return 17;
    case 0xFF1D:
      return 25;
    case 0xFF20:
      return 18;
    case 0xFF3E:
      return 19;
    case 0xFF3F:
      return 20;
    case 0xFF5B:
      return 21;
    case 0xFF5D:
      return 22;
    case 0xFF5E:
      return 23;
    default:
      break;
  }
  if (u >= 0xFF01 && u <= 0xFF0E) return static_cast<uint16_t>(u - 0xFF00);
  return u;
}

// Step 1 of the comparison for one slot: empty names sort after all others.
int CompareSlot(const uint16_t* a, const uint16_t* b, uint32_t max_units) {
  bool a_empty = a[0] == 0;
  bool b_empty = b[0] == 0;
  if (a_empty && b_empty) return 0;
  if (a_empty) return 1;
  if (b_empty) return -1;
  for (uint32_t i = 0; i < max_units; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (a[i] == 0) break;
  }
  return 0;
}

uint32_t SlotUnits(int slot) {
  return kSlotMaxBytes[slot] / 2;
}

}  // namespace

uint16_t FoldSortChar(uint16_t u) {
  if (u >= 0xFF00) return FoldFullwidth(u);
  if (u >= 0x61 && u <= 0x7A) return static_cast<uint16_t>(u - 32);
  if (u >= 0xE0 && u <= 0xFF) return static_cast<uint16_t>(u - 32);
  return FoldPunctuation(u);
}

void MakeSortKey(uint16_t* key, const uint16_t* text, uint32_t max_bytes, bool drop_article) {
  for (uint32_t pos = 0; pos < max_bytes; pos += 2) {
    uint16_t w = FoldSortChar(text[pos / 2]);
    key[pos / 2] = w;
    if (w == 0) break;
  }
  if (drop_article && max_bytes >= 8 && key[0] == 'T' && key[1] == 'H' && key[2] == 'E' &&
      key[3] == ' ') {
    std::memmove(key, key + 4, max_bytes - 8);
  }
}

void BuildRecordKeys(LibraryBuilder* b, const uint8_t* record, uint16_t category,
                     SortKeySet* keys) {
  // The scratch page doubles as the widened copy of each string.
  uint16_t* text = reinterpret_cast<uint16_t*>(b->scratch_page);
  for (int s = category; s <= kTitle; ++s) {
    CopyRecordString(record, s, text);
    MakeSortKey(keys->slot[s], text, kSlotMaxBytes[s], s == kArtist);
    if (s == category) Utf16Copy(keys->slot[5], text, kSlotMaxBytes[s] - 2);
  }
  keys->track_number = static_cast<uint16_t>(record[16] | (record[17] << 8));
}

int CompareSortKeys(const LibraryBuilder* b, const SortKeySet* a, const SortKeySet* c) {
  uint16_t category = b->current_category;
  int last = category == kTitle ? kTitle : kAlbum;
  for (int k = category; k <= last; ++k) {
    int r = CompareSlot(a->slot[k], c->slot[k], SlotUnits(k));
    if (r != 0) return r;
  }
  if (a->track_number != c->track_number) return a->track_number < c->track_number ? -1 : 1;
  if (category == kTitle) return 0;
  return CompareSlot(a->slot[kTitle], c->slot[kTitle], SlotUnits(kTitle));
}

int CompareCategoryNames(const LibraryBuilder* b, const SortKeySet* a, const SortKeySet* c) {
  uint16_t category = b->current_category;
  return CompareSlot(a->slot[category], c->slot[category], SlotUnits(category));
}

namespace {

void BuildPositionKey(LibraryBuilder* b, uint32_t position, SortKeySet* keys) {
  BuildRecordKeys(b, b->batch_records[b->batch_order[position]], b->current_category, keys);
}

}  // namespace

int SortBatch(LibraryBuilder* b, uint16_t category) {
  RequireLiveBuilder(b);
  if (b->batch_tracks == 0) return 0;
  for (uint32_t i = 0; i < kMaxTracks; ++i) b->batch_order[i] = i;
  b->current_category = category;
  SortKeySet* pivot = &b->key_sets[0];
  SortKeySet* probe = &b->key_sets[1];
  uint32_t* order = b->batch_order;
  uint32_t lo = 0;
  uint32_t hi = b->batch_tracks - 1;
  uint32_t depth = 0;
  for (;;) {
    while (hi <= lo) {
      if (depth == 0) return 1;
      --depth;
      lo = b->sort_low[depth];
      hi = b->sort_high[depth];
    }
    // The pivot is the entry one past the middle.
    BuildPositionKey(b, (lo + hi) / 2 + 1, pivot);
    uint32_t i = lo;
    uint32_t j = hi;
    while (i <= j && j != 0) {
      BuildPositionKey(b, i, probe);
      while (i < hi && CompareSortKeys(b, pivot, probe) == 1) BuildPositionKey(b, ++i, probe);
      BuildPositionKey(b, j, probe);
      while (j > lo && CompareSortKeys(b, pivot, probe) == -1) BuildPositionKey(b, --j, probe);
      if (i >= j) break;
      uint32_t t = order[i];
      order[i] = order[j];
      order[j] = t;
      ++i;
      --j;
    }
    if (i <= lo + 1) {
      lo = i;
      continue;
    }
    if (depth >= kMaxTracks) return 0;
    b->sort_low[depth] = i;
    b->sort_high[depth] = hi;
    ++depth;
    hi = i - 1;
  }
}

}  // namespace qv

// The one collation of every browse list: sort weights of UTF-16 units, the
// sort key of a name, the comparison of two tracks for a category, and the
// batch quicksort whose exact steps decide the order of equal keys. The
// quicksort compares ranks worked out once per batch rather than names: a
// comparison of ranks gives the same answer as one of the keys, so the order,
// ties included, is the same.
#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "library/builder/library_builder.h"
#include "library/builder/utf16_text.h"
#include "platform/byte_order.h"

namespace qv {
namespace {

// Listed punctuation sorts before the space, digits and letters.
constexpr uint16_t FoldPunctuation(uint16_t u) {
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

constexpr uint16_t FoldFullwidth(uint16_t u) {
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

constexpr uint16_t FoldByRules(uint16_t u) {
  if (u >= 0xFF00) return FoldFullwidth(u);
  if (u >= 0x61 && u <= 0x7A) return static_cast<uint16_t>(u - 32);
  if (u >= 0xE0 && u <= 0xFF) return static_cast<uint16_t>(u - 32);
  return FoldPunctuation(u);
}

// Every comparison of the batch sort folds whole names, so the weights are
// looked up rather than worked out.
struct FoldTable {
  uint16_t weight[0x10000];
};
constexpr FoldTable MakeFoldTable() {
  FoldTable t{};
  for (uint32_t u = 0; u < 0x10000; ++u) t.weight[u] = FoldByRules(static_cast<uint16_t>(u));
  return t;
}
constexpr FoldTable kFold = MakeFoldTable();

// The sort key of a record's string, folded straight from its stored form;
// the same key as the string copied out and passed to MakeSortKey with the
// slot's maximum size.
void MakeRecordSortKey(const uint8_t* record, int slot, uint16_t* key) {
  uint16_t locator = LoadLe16(record, 24 + 2 * slot);
  const uint8_t* at = record + 34 + (locator & 0x0FFF);
  uint32_t last = kSlotMaxBytes[slot] / 2 - 1;
  uint32_t i = 0;
  if ((locator & 0x8000) != 0) {
    while (i < last && at[i] != 0) {
      key[i] = kFold.weight[at[i]];
      ++i;
    }
  } else {
    for (; i < last; ++i) {
      uint16_t u = LoadLe16(at, 2 * i);
      if (u == 0) break;
      key[i] = kFold.weight[u];
    }
  }
  key[i] = 0;
  if (slot == kArtist && i >= 4 && key[0] == 'T' && key[1] == 'H' && key[2] == 'E' &&
      key[3] == ' ') {
    std::memmove(key, key + 4, kSlotMaxBytes[slot] - 8);
  }
}

}  // namespace

uint16_t FoldSortChar(uint16_t u) {
  return kFold.weight[u];
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

void BuildRecordKeys(LibraryBuilder* /*b*/, const uint8_t* record, uint16_t category,
                     SortKeySet* keys) {
  for (int s = category; s <= kTitle; ++s) MakeRecordSortKey(record, s, keys->slot[s]);
  CopyRecordString(record, category, keys->slot[5]);
  keys->track_number = LoadLe16(record, 16);
}

void BuildRecordNameKey(const uint8_t* record, uint16_t category, SortKeySet* keys) {
  MakeRecordSortKey(record, category, keys->slot[category]);
  CopyRecordString(record, category, keys->slot[5]);
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

// The units of one record string's sort key, folded as they are asked for.
// Callers ask in order and stop at the first zero, so no unit past the
// string's terminator is read.
class RecordKeyUnits {
 public:
  RecordKeyUnits(const uint8_t* record, int slot) {
    uint16_t locator = LoadLe16(record, 24 + 2 * slot);
    at_ = record + 34 + (locator & 0x0FFF);
    narrow_ = (locator & 0x8000) != 0;
    last_ = kSlotMaxBytes[slot] / 2 - 1;
    if (slot == kArtist && Unit(0) == 'T' && Unit(1) == 'H' && Unit(2) == 'E' && Unit(3) == ' ')
      skip_ = 4;
  }
  uint16_t Unit(uint32_t i) const {
    uint32_t n = i + skip_;
    if (n >= last_) return 0;
    uint16_t raw = narrow_ ? at_[n] : LoadLe16(at_, 2 * n);
    return kFold.weight[raw];
  }

 private:
  const uint8_t* at_ = nullptr;
  bool narrow_ = false;
  uint32_t last_ = 0;
  uint32_t skip_ = 0;
};

// Ranking sorts the batch's keys eight units at a time, packed into two
// integers; only tracks whose keys agree so far are packed again further on.
constexpr uint32_t kPrefixUnits = 8;

// Packs units [from, from + 8) of the key; the units before `from` are known
// not to hold its end.
void PackKeyPrefix(const uint8_t* record, int slot, uint32_t from, KeyPrefix* prefix) {
  RecordKeyUnits key(record, slot);
  uint16_t units[kPrefixUnits] = {};
  for (uint32_t i = 0; i < kPrefixUnits; ++i) {
    units[i] = key.Unit(from + i);
    if (units[i] == 0) break;
  }
  prefix->high = prefix->low = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    prefix->high = prefix->high << 16 | units[i];
    prefix->low = prefix->low << 16 | units[4 + i];
  }
  prefix->empty = from == 0 && units[0] == 0 ? 1 : 0;
}

bool PrefixLess(const KeyPrefix& x, const KeyPrefix& y) {
  if (x.empty != y.empty) return x.empty < y.empty;
  if (x.high != y.high) return x.high < y.high;
  return x.low < y.low;
}

bool SamePrefix(const KeyPrefix& x, const KeyPrefix& y) {
  return x.empty == y.empty && x.high == y.high && x.low == y.low;
}

// Sorts `count` tracks whose keys agree on their first `from` units and
// gives them ranks from *rank on, equal keys one rank.
void RankRun(LibraryBuilder* b, int slot, KeyPrefix* run, uint32_t count, uint32_t from,
             uint32_t* rank) {
  for (uint32_t i = 0; i < count; ++i)
    PackKeyPrefix(b->batch_records[run[i].track], slot, from, &run[i]);
  std::sort(run, run + count, PrefixLess);
  for (uint32_t first = 0, end = 0; first < count; first = end) {
    end = first + 1;
    while (end < count && SamePrefix(run[first], run[end])) ++end;
    // A key that ends among these units (its last one is zero) is whole.
    bool whole = run[first].empty != 0 || (run[first].low & 0xFFFF) == 0;
    if (end - first > 1 && !whole) {
      RankRun(b, slot, run + first, end - first, from + kPrefixUnits, rank);
      continue;
    }
    for (uint32_t i = first; i < end; ++i) b->batch_ranks[run[i].track].name[slot] = *rank;
    ++*rank;
  }
}

// Ranks slots `first` and `first` + 2: genre with album, artist with title,
// each pair about half the work.
struct RankPair {
  LibraryBuilder* b;
  int first;
  KeyPrefix* scratch;
};

void* RankSlotPair(void* arg) {
  const RankPair* pair = static_cast<const RankPair*>(arg);
  for (int s = pair->first; s <= kTitle; s += 2) {
    for (uint32_t i = 0; i < pair->b->batch_tracks; ++i) pair->scratch[i].track = i;
    uint32_t rank = 0;
    RankRun(pair->b, s, pair->scratch, pair->b->batch_tracks, 0, &rank);
  }
  return nullptr;
}

// Ranks every slot once per batch: the four sorts of a spill share them.
// Slots are ranked apart from each other, each writing only its own rank
// field, so two run side by side on a second thread; without one, in turn.
void RankBatch(LibraryBuilder* b, uint16_t category) {
  uint32_t stamp[2] = {b->batch_tracks, b->batches_written + 1};
  if (category != kGenre && std::memcmp(stamp, b->ranked_batch, sizeof stamp) == 0) return;
  RankPair pairs[2] = {{b, kGenre, b->key_prefixes[0]}, {b, kArtist, b->key_prefixes[1]}};
  pthread_t helper;
  const bool side_by_side = pthread_create(&helper, nullptr, RankSlotPair, &pairs[1]) == 0;
  RankSlotPair(&pairs[0]);
  if (side_by_side) {
    pthread_join(helper, nullptr);
  } else {
    RankSlotPair(&pairs[1]);
  }
  for (uint32_t i = 0; i < b->batch_tracks; ++i)
    b->batch_ranks[i].track_number = LoadLe16(b->batch_records[i], 16);
  std::memcpy(b->ranked_batch, stamp, sizeof stamp);
}

// The comparison of two batch tracks for a category as one pair of integers:
// the ranks of the compared names, 18 bits each (a batch holds fewer than
// 2^18 tracks), then the track number and, before a title, its rank. Two
// tracks compare as their packed keys do, and the keys lie in sort order in
// memory rather than scattered over the ranks.
constexpr int kRankBits = 18;
static_assert(kMaxTracks < (1u << kRankBits));

SortKey PackSortKey(const BatchRanks& r, uint16_t category) {
  SortKey key{0, r.track_number};
  int last = category == kTitle ? kTitle : kAlbum;
  for (int k = category; k <= last; ++k) key.high = key.high << kRankBits | r.name[k];
  if (category != kTitle) key.low = key.low << kRankBits | r.name[kTitle];
  return key;
}

bool KeyLess(const SortKey& x, const SortKey& y) {
  return x.high != y.high ? x.high < y.high : x.low < y.low;
}

}  // namespace

int SortBatch(LibraryBuilder* b, uint16_t category) {
  RequireLiveBuilder(b);
  if (b->batch_tracks == 0) return 0;
  RankBatch(b, category);
  for (uint32_t i = 0; i < kMaxTracks; ++i) b->batch_order[i] = i;
  b->current_category = category;
  // keys[p] is the key of the track at position p and moves with it.
  SortKey* keys = b->sort_keys;
  for (uint32_t i = 0; i < b->batch_tracks; ++i) keys[i] = PackSortKey(b->batch_ranks[i], category);
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
    const SortKey pivot = keys[(lo + hi) / 2 + 1];
    uint32_t i = lo;
    uint32_t j = hi;
    while (i <= j && j != 0) {
      while (i < hi && KeyLess(keys[i], pivot)) ++i;
      while (j > lo && KeyLess(pivot, keys[j])) --j;
      if (i >= j) break;
      std::swap(order[i], order[j]);
      std::swap(keys[i], keys[j]);
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

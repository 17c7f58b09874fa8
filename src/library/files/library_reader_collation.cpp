// The collation, rebuilt from the pages' texts: every order list must be in
// its category's order, and along the genre, artist and album orders a name id
// must change exactly where the name's sort key changes. The weights and the
// comparison are written here a second time, apart from the builder's, so
// that the two can be held against each other.
#include <algorithm>
#include <string>
#include <vector>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "library/files/library_reader_rules.h"

namespace qv {
namespace {

// Units compared per slot: genre, artist, album, title.
constexpr uint32_t kCompareUnits[4] = {30, 48, 48, 64};

uint16_t Weight(uint16_t u) {
  if (u >= 0xFF00) {
    if ((u >= 0xFF10 && u <= 0xFF19) || (u >= 0xFF21 && u <= 0xFF3A))
      return static_cast<uint16_t>(u - 0xFEE0);
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
  if ((u >= 0x61 && u <= 0x7A) || (u >= 0xE0 && u <= 0xFF)) return static_cast<uint16_t>(u - 32);
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

// Units compared per slot bound what a key keeps: the comparison never looks
// further, so a key cut there sorts as the whole text does.
constexpr uint32_t kKeyBlockUnits = 1u << 16;
constexpr uint32_t kNoKey = 0xFFFFFFFF;

// Keeps the key of text for slot k: its weights after a leading "THE " of an
// artist, at most kCompareUnits[k] of them; returns its place.
uint32_t KeepKey(ReadTracks* tr, const std::u16string& text, uint32_t k) {
  size_t from = 0;
  if (k == 1 && text.size() >= 4) {
    static const char16_t kThe[4] = {u'T', u'H', u'E', u' '};
    from = 4;
    for (size_t i = 0; i < 4 && from == 4; ++i)
      if (Weight(text[i]) != kThe[i]) from = 0;
  }
  const uint32_t units = static_cast<uint32_t>(
      text.size() - from < kCompareUnits[k] ? text.size() - from : kCompareUnits[k]);
  if (tr->keys.empty() || kKeyBlockUnits - tr->keys.back().size() < units + 1) {
    tr->keys.emplace_back();
    tr->keys.back().reserve(kKeyBlockUnits);
  }
  std::vector<char16_t>& block = tr->keys.back();
  const uint32_t place =
      static_cast<uint32_t>((tr->keys.size() - 1) * kKeyBlockUnits + block.size());
  block.push_back(static_cast<char16_t>(units));
  for (uint32_t i = 0; i < units; ++i)
    block.push_back(static_cast<char16_t>(Weight(text[from + i])));
  return place;
}

bool SameKey(const char16_t* a, const char16_t* b) {
  return a[0] == b[0] && std::equal(a + 1, a + 1 + a[0], b + 1);
}

// Empty keys sort after all others; otherwise unit by unit, up to max units.
int CompareKeys(const char16_t* a, const char16_t* b, uint32_t max) {
  if (a[0] == 0 || b[0] == 0) return (a[0] == 0) == (b[0] == 0) ? 0 : (a[0] == 0 ? 1 : -1);
  for (uint32_t i = 0; i < max; ++i) {
    uint16_t x = i < a[0] ? a[1 + i] : 0;
    uint16_t y = i < b[0] ? b[1 + i] : 0;
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

int CompareTracks(const ReadTracks& tr, const TrackFacts& a, const TrackFacts& b, uint32_t c) {
  for (uint32_t k = (c == 3 ? 3 : c); k <= (c == 3 ? 3 : 2); ++k) {
    if (a.keys[k] == b.keys[k]) continue;  // one name's kept key
    int r = CompareKeys(ReadKey(tr, a.keys[k]), ReadKey(tr, b.keys[k]), kCompareUnits[k]);
    if (r != 0) return r;
  }
  if (a.track_number != b.track_number) return a.track_number < b.track_number ? -1 : 1;
  if (c == 3) return 0;
  return CompareKeys(ReadKey(tr, a.keys[3]), ReadKey(tr, b.keys[3]), kCompareUnits[3]);
}

}  // namespace

bool SameReadKey(const char16_t* a, const char16_t* b, uint32_t c) {
  return CompareKeys(a, b, kCompareUnits[c]) == 0;
}

void AddReadTrack(ReadTracks* tr, const ReadPage& page, bool share_keys) {
  TrackFacts t;
  t.offset = page.offset;
  t.track_id = page.track_id;
  t.track_number = page.track_number;
  for (uint32_t k = 0; k < 3; ++k) {
    const std::u16string& text = page.texts[k];
    const uint32_t id = page.name_ids[k];
    t.name_ids[k] = id;
    t.name_chunks[k] = static_cast<uint16_t>(page.chunk_offsets[k] - page.offset);
    t.name_units[k] = static_cast<uint8_t>(text.size());
    bool narrow = true;
    for (char16_t u : text) narrow = narrow && u < 256;
    t.narrow |= static_cast<uint8_t>(narrow << k);
    // A name keeps one key, unless this track's text does not sort as the
    // first of its id: the rules then find the fault, exactly as with texts.
    std::vector<uint32_t>& first = tr->first_key[k];
    const bool numbered = share_keys && id < kReadNameLimit[k];
    if (numbered && id >= first.size()) first.resize(id + 1, kNoKey);
    t.keys[k] = KeepKey(tr, text, k);
    if (numbered && first[id] == kNoKey) {
      first[id] = t.keys[k];
    } else if (numbered && SameKey(ReadKey(*tr, first[id]), ReadKey(*tr, t.keys[k]))) {
      tr->keys.back().resize(tr->keys.back().size() - 1 - ReadKey(*tr, t.keys[k])[0]);
      t.keys[k] = first[id];
    }
  }
  t.keys[3] = KeepKey(tr, page.texts[3], 3);
  tr->tracks.push_back(t);
  CountPageTexts(tr, page);
}

int CheckCollation(const ReadLibrary& lib, const ReadTracks& tr, ReadFault* f) {
  static const char* const kNames[4] = {"genre", "artist", "album", "title"};
  for (uint32_t c = 0; c < 4; ++c) {
    const ReadList& order = lib.sections[c].order;
    for (uint32_t p = 1; p < order.tracks.size(); ++p) {
      uint32_t t = order.tracks[p], before = order.tracks[p - 1];
      const TrackFacts &a = tr.tracks[before], &b = tr.tracks[t];
      if (CompareTracks(tr, a, b, c) > 0)
        return Fail(f, kBrowseFileName, order.offset + 20 + 4 * p, kReadDamaged,
                    "position " + Num(p) + " of the order list of section " + Num(c) + " (track " +
                        Num(t) + ") sorts before the track ahead of it in " + kNames[c] + " order");
      if (c == 3) continue;
      uint32_t id = b.name_ids[c], id_before = a.name_ids[c];
      if (id == kReadOverflowId && id_before == kReadOverflowId) continue;
      bool same_name =
          a.keys[c] == b.keys[c] || SameReadKey(ReadKey(tr, a.keys[c]), ReadKey(tr, b.keys[c]), c);
      if (same_name != (id == id_before))
        return Fail(f, kTrackFileName, b.offset + b.name_chunks[c] + 16, kReadDamaged,
                    "track " + Num(t) + " has " + kNames[c] + " name id " + Num(id) +
                        " and track " + Num(before) + " before it " + Num(id_before) +
                        (same_name ? ", for the same name" : ", for another name"));
    }
  }
  return kReadOk;
}

}  // namespace qv

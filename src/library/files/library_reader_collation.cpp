// The collation, rebuilt from the pages' texts: every order list must be in
// its category's order, and along the genre, artist and album orders a name id
// must change exactly where the name's sort key changes. The weights and the
// comparison are written here a second time, apart from the builder's, so
// that the two can be held against each other.
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

using Key = std::u16string;

Key MakeKey(const std::u16string& text, bool drop_article) {
  Key key;
  key.reserve(text.size());
  for (char16_t u : text) key.push_back(static_cast<char16_t>(Weight(u)));
  if (drop_article && key.size() >= 4 && key.compare(0, 4, u"THE ") == 0) key.erase(0, 4);
  return key;
}

// Empty keys sort after all others; otherwise unit by unit, up to max units.
int CompareKeys(const Key& a, const Key& b, uint32_t max) {
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? 1 : -1);
  for (uint32_t i = 0; i < max; ++i) {
    uint16_t x = i < a.size() ? a[i] : 0;
    uint16_t y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

struct TrackKeys {
  Key slots[4];
  uint16_t number;
};

int CompareTracks(const TrackKeys& a, const TrackKeys& b, uint32_t c) {
  for (uint32_t k = (c == 3 ? 3 : c); k <= (c == 3 ? 3 : 2); ++k) {
    int r = CompareKeys(a.slots[k], b.slots[k], kCompareUnits[k]);
    if (r != 0) return r;
  }
  if (a.number != b.number) return a.number < b.number ? -1 : 1;
  if (c == 3) return 0;
  return CompareKeys(a.slots[3], b.slots[3], kCompareUnits[3]);
}

std::string Num(uint32_t v) {
  return std::to_string(v);
}

}  // namespace

bool SameReadName(const std::u16string& a, const std::u16string& b, uint32_t c) {
  return CompareKeys(MakeKey(a, c == 1), MakeKey(b, c == 1), kCompareUnits[c]) == 0;
}

int CheckCollation(const ReadLibrary& lib, ReadFault* f) {
  std::vector<TrackKeys> keys(lib.pages.size());
  for (size_t t = 0; t < lib.pages.size(); ++t) {
    for (uint32_t k = 0; k < 4; ++k) keys[t].slots[k] = MakeKey(lib.pages[t].texts[k], k == 1);
    keys[t].number = lib.pages[t].track_number;
  }
  static const char* const kNames[4] = {"genre", "artist", "album", "title"};
  for (uint32_t c = 0; c < 4; ++c) {
    const ReadList& order = lib.sections[c].order;
    for (uint32_t p = 1; p < order.tracks.size(); ++p) {
      uint32_t t = order.tracks[p], before = order.tracks[p - 1];
      if (CompareTracks(keys[before], keys[t], c) > 0)
        return Fail(f, kBrowseFileName, order.offset + 20 + 4 * p, kReadDamaged,
                    "position " + Num(p) + " of the order list of section " + Num(c) + " (track " +
                        Num(t) + ") sorts before the track ahead of it in " + kNames[c] + " order");
      if (c == 3) continue;
      uint32_t id = lib.pages[t].name_ids[c], id_before = lib.pages[before].name_ids[c];
      if (id == kReadOverflowId && id_before == kReadOverflowId) continue;
      bool same_name = CompareKeys(keys[before].slots[c], keys[t].slots[c], kCompareUnits[c]) == 0;
      if (same_name != (id == id_before))
        return Fail(f, kTrackFileName, lib.pages[t].chunk_offsets[c] + 16, kReadDamaged,
                    "track " + Num(t) + " has " + kNames[c] + " name id " + Num(id) +
                        " and track " + Num(before) + " before it " + Num(id_before) +
                        (same_name ? ", for the same name" : ", for another name"));
    }
  }
  return kReadOk;
}

}  // namespace qv

// The rules that tie QVTL.DB, QVBL.DB and QVDB.DB together. The pages' name
// ids are taken as the truth: the order lists must walk the tracks in name-id
// order, and each browse list must cut its order list into groups exactly where
// the name ids of its levels change.
#include <algorithm>
#include <numeric>
#include <string>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "library/files/library_reader_rules.h"

namespace qv {
namespace {

uint32_t EntryOffset(const ReadList& list, uint32_t e) {
  return list.offset + 20 + 16 * e;
}
uint32_t TrackOffset(const ReadList& list, uint32_t p) {
  return list.offset + 20 + 4 * p;
}

// True when tracks a and b carry the same name ids in categories from..to.
bool SameIds(const TrackFacts& a, const TrackFacts& b, uint32_t from, uint32_t to) {
  for (uint32_t k = from; k <= to; ++k)
    if (a.name_ids[k] != b.name_ids[k]) return false;
  return true;
}

int CheckOrderList(const ReadLibrary& lib, uint32_t c, ReadFault* f) {
  const ReadList& order = lib.sections[c].order;
  const char* fn = kBrowseFileName;
  uint32_t n = static_cast<uint32_t>(order.tracks.size());
  if (n != lib.track_count)
    return Fail(f, fn, order.offset + 16, kReadDamaged,
                "the order list of section " + Num(c) + " holds " + Num(n) + " tracks, QVTL.DB " +
                    Num(lib.track_count));
  std::vector<bool> seen(n, false);
  for (uint32_t p = 0; p < n; ++p) {
    uint32_t t = order.tracks[p];
    auto where = [&] { return "position " + Num(p) + " of the order list of section " + Num(c); };
    if (t >= n)
      return Fail(f, fn, TrackOffset(order, p), kReadDamaged,
                  where() + " names track " + Num(t) + ", beyond the tracks");
    if (seen[t])
      return Fail(f, fn, TrackOffset(order, p), kReadDamaged,
                  where() + " names track " + Num(t) + " a second time");
    seen[t] = true;
  }
  return kReadOk;
}

// Along the order list of category c (genre, artist, album) the ids of c start
// at 0 and grow by at most one (then overflow), and the ids of c to album never
// go down: the list is sorted by the same keys that numbered the names.
int CheckNameOrder(const ReadLibrary& lib, const ReadTracks& tr, uint32_t c, ReadFault* f) {
  const ReadList& order = lib.sections[c].order;
  for (uint32_t p = 0; p < order.tracks.size(); ++p) {
    const TrackFacts& page = tr.tracks[order.tracks[p]];
    uint32_t id = page.name_ids[c];
    auto where = [&] {
      return "position " + Num(p) + " of the order list of section " + Num(c) + " (track " +
             Num(order.tracks[p]) + ")";
    };
    if (p == 0) {
      if (id != 0)
        return Fail(f, kBrowseFileName, TrackOffset(order, p), kReadDamaged,
                    where() + " has name id " + Num(id) + ", not 0");
      continue;
    }
    const TrackFacts& prev = tr.tracks[order.tracks[p - 1]];
    uint32_t before = prev.name_ids[c];
    bool step = id == before || (id == before + 1 && id < kReadNameLimit[c]) ||
                (id == kReadOverflowId && before == kReadNameLimit[c] - 1);
    if (!step)
      return Fail(f, kBrowseFileName, TrackOffset(order, p), kReadDamaged,
                  where() + " jumps from name id " + Num(before) + " to " + Num(id));
    // Names past the limit share the overflow id, so below it the order of
    // the ids says nothing.
    for (uint32_t k = c; k <= 2; ++k) {
      if (page.name_ids[k] > prev.name_ids[k] || page.name_ids[k] == kReadOverflowId) break;
      if (page.name_ids[k] < prev.name_ids[k])
        return Fail(f, kBrowseFileName, TrackOffset(order, p), kReadDamaged,
                    where() + " comes after a track of a later name in category " + Num(k));
    }
  }
  return kReadOk;
}

struct Range {
  uint32_t begin, end;  // order-list positions
};

// The deepest browse list of a section: its groups cut the order list into
// consecutive runs of tracks that share all their name ids.
int CheckDeepestList(const ReadLibrary& lib, const ReadTracks& tr, uint32_t c,
                     std::vector<Range>* ranges, ReadFault* f) {
  const ReadSection& s = lib.sections[c];
  const ReadList& list = s.browse.back();
  const char* fn = kBrowseFileName;
  uint32_t j = static_cast<uint32_t>(s.browse.size()) - 1;
  uint32_t n = lib.track_count;
  uint32_t pos = 0;
  ranges->clear();
  for (uint32_t e = 0; e < list.entries.size(); ++e) {
    const ReadEntry& entry = list.entries[e];
    auto what = [&] {
      return "entry " + Num(e) + " of browse list " + Num(j) + " of section " + Num(c);
    };
    if (entry.first_child != pos)
      return Fail(
          f, fn, EntryOffset(list, e) + 4, kReadDamaged,
          what() + " starts at track position " + Num(entry.first_child) + ", not " + Num(pos));
    if (entry.count == 0 || entry.count > n - pos)
      return Fail(f, fn, EntryOffset(list, e) + 8, kReadDamaged,
                  what() + " counts " + Num(entry.count) + " tracks from position " + Num(pos));
    if (s.order.tracks[pos] != entry.first_track)
      return Fail(f, fn, EntryOffset(list, e), kReadDamaged,
                  what() + " names first track " + Num(entry.first_track) + ", the order list " +
                      Num(s.order.tracks[pos]));
    const TrackFacts& first = tr.tracks[entry.first_track];
    for (uint32_t p = pos + 1; p < pos + entry.count; ++p)
      if (!SameIds(first, tr.tracks[s.order.tracks[p]], c, 2))
        return Fail(f, fn, EntryOffset(list, e) + 8, kReadDamaged,
                    what() + " groups track " + Num(s.order.tracks[p]) + " whose names differ");
    if (e > 0 && SameIds(first, tr.tracks[list.entries[e - 1].first_track], c, 2))
      return Fail(f, fn, EntryOffset(list, e), kReadDamaged,
                  what() + " repeats the names of the entry before it");
    ranges->push_back(Range{pos, pos + entry.count});
    pos += entry.count;
  }
  if (pos != n)
    return Fail(f, fn, list.offset + 16, kReadDamaged,
                "browse list " + Num(j) + " of section " + Num(c) + " covers " + Num(pos) + " of " +
                    Num(n) + " tracks");
  return kReadOk;
}

// An inner browse list j: each entry owns a run of the next list's entries,
// numbered 0, 1, ... by their index in parent, and the tracks below it share
// the name ids of its levels. Over-capacity genres have no entry of their own:
// their tracks hang below the last genre entry.
int CheckInnerList(const ReadLibrary& lib, const ReadTracks& tr, uint32_t c, uint32_t j,
                   const std::vector<Range>& child_ranges, std::vector<Range>* ranges,
                   ReadFault* f) {
  const ReadSection& s = lib.sections[c];
  const ReadList& list = s.browse[j];
  const ReadList& children = s.browse[j + 1];
  const char* fn = kBrowseFileName;
  uint32_t m = static_cast<uint32_t>(children.entries.size());
  uint32_t next = 0;
  ranges->clear();
  for (uint32_t e = 0; e < list.entries.size(); ++e) {
    const ReadEntry& entry = list.entries[e];
    auto what = [&] {
      return "entry " + Num(e) + " of browse list " + Num(j) + " of section " + Num(c);
    };
    if (entry.first_child != next)
      return Fail(f, fn, EntryOffset(list, e) + 4, kReadDamaged,
                  what() + " has first child " + Num(entry.first_child) + ", not " + Num(next));
    if (entry.count == 0 || entry.count > m - next)
      return Fail(f, fn, EntryOffset(list, e) + 8, kReadDamaged,
                  what() + " counts " + Num(entry.count) + " children from " + Num(next));
    if (children.entries[next].first_track != entry.first_track)
      return Fail(f, fn, EntryOffset(list, e), kReadDamaged,
                  what() + " names first track " + Num(entry.first_track) + ", its first child " +
                      Num(children.entries[next].first_track));
    for (uint32_t k = 0; k < entry.count; ++k)
      if (children.entries[next + k].index_in_parent != k)
        return Fail(f, fn, EntryOffset(children, next + k) + 12, kReadDamaged,
                    "entry " + Num(next + k) + " of browse list " + Num(j + 1) + " of section " +
                        Num(c) + " has index in parent " +
                        Num(children.entries[next + k].index_in_parent) + ", not " + Num(k));
    Range range{child_ranges[next].begin, child_ranges[next + entry.count - 1].end};
    const TrackFacts& first = tr.tracks[entry.first_track];
    bool last_genre = c == 0 && j == 0 && e + 1 == list.entries.size();
    for (uint32_t p = range.begin + 1; p < range.end; ++p) {
      const TrackFacts& page = tr.tracks[s.order.tracks[p]];
      if (last_genre && page.name_ids[0] == kReadOverflowId) continue;
      if (!SameIds(first, page, c, c + j))
        return Fail(f, fn, EntryOffset(list, e) + 8, kReadDamaged,
                    what() + " holds track " + Num(s.order.tracks[p]) + " whose names differ");
    }
    if (e > 0 && SameIds(first, tr.tracks[list.entries[e - 1].first_track], c, c + j))
      return Fail(f, fn, EntryOffset(list, e), kReadDamaged,
                  what() + " repeats the names of the entry before it");
    ranges->push_back(range);
    next += entry.count;
  }
  if (next != m)
    return Fail(f, fn, list.offset + 16, kReadDamaged,
                "browse list " + Num(j) + " of section " + Num(c) + " owns " + Num(next) + " of " +
                    Num(m) + " children");
  return kReadOk;
}

int CheckBrowseLists(const ReadLibrary& lib, const ReadTracks& tr, uint32_t c, ReadFault* f) {
  std::vector<Range> below, above;
  int r = CheckDeepestList(lib, tr, c, &below, f);
  for (uint32_t j = static_cast<uint32_t>(lib.sections[c].browse.size()) - 1;
       r == kReadOk && j-- > 0;) {
    r = CheckInnerList(lib, tr, c, j, below, &above, f);
    below.swap(above);
  }
  return r;
}

int CheckSummary(const ReadLibrary& lib, ReadFault* f) {
  if (lib.chunk_count == 0) return kReadOk;
  uint32_t n = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t j = 0; j <= 3 - i; ++j, ++n) {
      const ReadSection& s = lib.sections[i];
      uint32_t want = i + j == 3 ? static_cast<uint32_t>(s.order.tracks.size())
                                 : static_cast<uint32_t>(s.browse[j].entries.size());
      if (lib.summary[n].entries != want)
        return Fail(f, kIndexFileName, 424 + 24 * n + 20, kReadDamaged,
                    "list summary record " + Num(n) + " counts " + Num(lib.summary[n].entries) +
                        " entries, QVBL.DB " + Num(want));
    }
  }
  return kReadOk;
}

int CheckTrackIds(const ReadLibrary& lib, const ReadTracks& tr, ReadFault* f) {
  std::vector<uint32_t> by_id(tr.tracks.size());
  std::iota(by_id.begin(), by_id.end(), 0u);
  std::stable_sort(by_id.begin(), by_id.end(), [&](uint32_t a, uint32_t b) {
    return tr.tracks[a].track_id < tr.tracks[b].track_id;
  });
  for (size_t i = 0; i < by_id.size(); ++i) {
    const TrackFacts& page = tr.tracks[by_id[i]];
    if (page.track_id >= lib.next_track_id)
      return Fail(f, kTrackFileName, page.offset + 24, kReadDamaged,
                  "page " + Num(by_id[i]) + " has track id " + Num(page.track_id) +
                      ", not below the next track id " + Num(lib.next_track_id));
    if (i > 0 && tr.tracks[by_id[i - 1]].track_id == page.track_id)
      return Fail(f, kTrackFileName, page.offset + 24, kReadDamaged,
                  "page " + Num(by_id[i]) + " repeats track id " + Num(page.track_id));
  }
  return kReadOk;
}

}  // namespace

int CheckLibraryConsistency(const ReadLibrary& lib, ReadFault* f) {
  // Only records that the parsers filled have the shape the rules walk.
  if (lib.pages.size() != lib.track_count)
    return Fail(f, kTrackFileName, 0, kReadDamaged, "the pages were not read");
  ReadTracks tracks;
  for (const ReadPage& page : lib.pages) AddReadTrack(&tracks, page, false);
  return CheckLibraryRules(lib, tracks, f);
}

int CheckLibraryRules(const ReadLibrary& lib, const ReadTracks& tr, ReadFault* f) {
  if (tr.tracks.size() != lib.track_count)
    return Fail(f, kTrackFileName, 0, kReadDamaged, "the pages were not read");
  for (uint32_t c = 0; c < 4; ++c)
    if (lib.sections[c].browse.size() != 3 - c)
      return Fail(f, kBrowseFileName, 0, kReadDamaged, "the browse lists were not read");
  int r = kReadOk;
  for (uint32_t c = 0; c < 4 && r == kReadOk; ++c) r = CheckOrderList(lib, c, f);
  for (uint32_t c = 0; c < 3 && r == kReadOk; ++c) r = CheckNameOrder(lib, tr, c, f);
  for (uint32_t c = 0; c < 3 && r == kReadOk; ++c) r = CheckBrowseLists(lib, tr, c, f);
  if (r == kReadOk) r = CheckSummary(lib, f);
  if (r == kReadOk) r = CheckTrackIds(lib, tr, f);
  if (r == kReadOk) r = CheckCollation(lib, tr, f);
  return r;
}

}  // namespace qv

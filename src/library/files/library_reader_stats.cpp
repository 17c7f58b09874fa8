// The string statistics of QVDB.DB as a create job counts them, recomputed
// from the pages: per category the distinct names (each counted once, by the
// first track of its name in the category's order), all titles, and the paths
// in page order with every path but each 20th reduced to what it does not share
// with the path before it.
#include <string>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "library/files/library_reader_rules.h"

namespace qv {
namespace {

bool AllNarrow(const std::u16string& text, size_t from) {
  for (size_t i = from; i < text.size(); ++i)
    if (text[i] >= 256) return false;
  return true;
}

// Bytes of a text of `units` code units kept one byte a unit: the units and a
// zero byte, made even.
uint32_t NarrowBytes(uint32_t units) {
  uint32_t h = units + 1;
  return h + h % 2;
}

uint32_t SharedUnits(const std::u16string& a, const std::u16string& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return static_cast<uint32_t>(n);
}

}  // namespace

void CountPageTexts(ReadTracks* tr, const ReadPage& page) {
  const std::u16string& title = page.texts[3];
  uint32_t units = static_cast<uint32_t>(title.size());
  tr->text_bytes[0][0] += 2 * units + 2;
  tr->text_bytes[0][1] += AllNarrow(title, 0) ? NarrowBytes(units) : 2 * units + 2;
  const std::u16string& path = page.texts[4];
  uint32_t length = static_cast<uint32_t>(path.size());
  tr->text_bytes[1][0] += 2 * length + 2;
  uint32_t shared = (page.track_index % 20 == 0 || tr->tracks.size() == 1)
                        ? 0
                        : SharedUnits(path, tr->previous_path);
  uint32_t rest = length - shared;
  tr->text_bytes[1][1] += AllNarrow(path, shared) ? NarrowBytes(rest) : 2 * rest + 2;
  tr->previous_path = path;
}

DerivedStats DeriveCreateStats(const ReadLibrary& lib, const ReadTracks& tr) {
  DerivedStats d;
  for (uint32_t c = 0; c < 3; ++c) {
    const std::vector<uint32_t>& order = lib.sections[c].order.tracks;
    uint32_t last = kReadNoNameId;
    const TrackFacts* before = nullptr;
    for (uint32_t t : order) {
      const TrackFacts& page = tr.tracks[t];
      // Past the capacity names share the overflow id, yet each counts.
      bool same = page.name_ids[c] == last &&
                  (last != kReadOverflowId ||
                   SameReadKey(ReadKey(tr, before->keys[c]), ReadKey(tr, page.keys[c]), c));
      before = &page;
      if (same) continue;
      last = page.name_ids[c];
      uint32_t units = page.name_units[c];
      d.utf16_bytes[c] += 2 * units + 2;
      d.stored_bytes[c] += ((page.narrow >> c & 1) ? units : 2 * units) + 2;
    }
    if (!order.empty()) d.counts[c] = last == kReadOverflowId ? kReadNameLimit[c] : last + 1;
  }
  for (uint32_t k = 3; k < 5; ++k) {
    d.utf16_bytes[k] = tr.text_bytes[k - 3][0];
    d.stored_bytes[k] = tr.text_bytes[k - 3][1];
    d.counts[k] = lib.track_count;
  }
  return d;
}

DerivedStats DeriveCreateStats(const ReadLibrary& lib) {
  ReadTracks tracks;
  for (const ReadPage& page : lib.pages) AddReadTrack(&tracks, page, false);
  return DeriveCreateStats(lib, tracks);
}

int CheckCreateStatistics(const ReadLibrary& lib, ReadFault* f) {
  ReadTracks tracks;
  for (const ReadPage& page : lib.pages) AddReadTrack(&tracks, page, false);
  return CheckCreateStatistics(lib, tracks, f);
}

int CheckCreateStatistics(const ReadLibrary& lib, const ReadTracks& tr, ReadFault* f) {
  for (uint32_t t = 0; t < tr.tracks.size(); ++t)
    if (tr.tracks[t].track_id != t)
      return Fail(
          f, kTrackFileName, tr.tracks[t].offset + 24, kReadDamaged,
          "page " + Num(t) + " has track id " + Num(tr.tracks[t].track_id) + ", not its rank");
  if (lib.next_track_id != lib.track_count)
    return Fail(f, kIndexFileName, 24, kReadDamaged,
                "the next track id is " + Num(lib.next_track_id) + ", not the track count " +
                    Num(lib.track_count));
  if (lib.chunk_count != 2)
    return Fail(f, kIndexFileName, 30, kReadDamaged, "the file has no statistics chunks");
  DerivedStats d = DeriveCreateStats(lib, tr);
  const char* names[5] = {"genre", "artist", "album", "title", "path"};
  for (uint32_t k = 0; k < 5; ++k) {
    uint32_t at = 48 + 72 * k;
    const ReadStringStats& s = lib.stats[k];
    std::string what = std::string("the ") + names[k] + " statistics";
    if (s.count != d.counts[k])
      return Fail(f, kIndexFileName, at + 16, kReadDamaged,
                  what + " count " + Num(s.count) + ", the tracks give " + Num(d.counts[k]));
    if (s.sizes[0].bytes != d.utf16_bytes[k])
      return Fail(f, kIndexFileName, at + 44, kReadDamaged,
                  what + " hold " + Num(s.sizes[0].bytes) + " UTF-16 bytes, the tracks give " +
                      Num(d.utf16_bytes[k]));
    if (s.sizes[1].bytes != d.stored_bytes[k])
      return Fail(f, kIndexFileName, at + 68, kReadDamaged,
                  what + " hold " + Num(s.sizes[1].bytes) + " stored bytes, the tracks give " +
                      Num(d.stored_bytes[k]));
  }
  return kReadOk;
}

}  // namespace qv

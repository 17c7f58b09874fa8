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

std::string Num(uint32_t v) {
  return std::to_string(v);
}

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

DerivedStats DeriveCreateStats(const ReadLibrary& lib) {
  DerivedStats d;
  for (uint32_t c = 0; c < 3; ++c) {
    const std::vector<uint32_t>& order = lib.sections[c].order.tracks;
    uint32_t last = kReadNoNameId;
    const ReadPage* before = nullptr;
    for (uint32_t t : order) {
      const ReadPage& page = lib.pages[t];
      // Past the capacity names share the overflow id, yet each counts.
      bool same = page.name_ids[c] == last &&
                  (last != kReadOverflowId || SameReadName(before->texts[c], page.texts[c], c));
      before = &page;
      if (same) continue;
      last = page.name_ids[c];
      uint32_t units = static_cast<uint32_t>(page.texts[c].size());
      d.utf16_bytes[c] += 2 * units + 2;
      d.stored_bytes[c] += (AllNarrow(page.texts[c], 0) ? units : 2 * units) + 2;
    }
    if (!order.empty()) d.counts[c] = last == kReadOverflowId ? kReadNameLimit[c] : last + 1;
  }
  const std::u16string* previous = nullptr;
  for (const ReadPage& page : lib.pages) {
    const std::u16string& title = page.texts[3];
    uint32_t units = static_cast<uint32_t>(title.size());
    d.utf16_bytes[3] += 2 * units + 2;
    d.stored_bytes[3] += AllNarrow(title, 0) ? NarrowBytes(units) : 2 * units + 2;
    const std::u16string& path = page.texts[4];
    uint32_t length = static_cast<uint32_t>(path.size());
    d.utf16_bytes[4] += 2 * length + 2;
    uint32_t shared =
        (page.track_index % 20 == 0 || previous == nullptr) ? 0 : SharedUnits(path, *previous);
    uint32_t rest = length - shared;
    d.stored_bytes[4] += AllNarrow(path, shared) ? NarrowBytes(rest) : 2 * rest + 2;
    previous = &path;
  }
  d.counts[3] = lib.track_count;
  d.counts[4] = lib.track_count;
  return d;
}

int CheckCreateStatistics(const ReadLibrary& lib, ReadFault* f) {
  for (const ReadPage& page : lib.pages)
    if (page.track_id != page.track_index)
      return Fail(f, kTrackFileName, page.offset + 24, kReadDamaged,
                  "page " + Num(page.track_index) + " has track id " + Num(page.track_id) +
                      ", not its rank");
  if (lib.next_track_id != lib.track_count)
    return Fail(f, kIndexFileName, 24, kReadDamaged,
                "the next track id is " + Num(lib.next_track_id) + ", not the track count " +
                    Num(lib.track_count));
  if (lib.chunk_count != 2)
    return Fail(f, kIndexFileName, 30, kReadDamaged, "the file has no statistics chunks");
  DerivedStats d = DeriveCreateStats(lib);
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

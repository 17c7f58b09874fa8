// Reading QVBL.DB and QVDB.DB.
//
// QVBL.DB header (16 bytes): 0 tag "qvbl", 4 header size 16, 8 file length,
// 12 section count 4. Then one section per category 0 to 3:
//   section head (20): 0 tag "qvbi", 4 head size 20, 8 section size,
//                      12 list count (2 bytes, 4 - category), 14 zero (2), 16 category
//   list chunk head (20): 0 tag "qvba", 4 head size 20, 8 chunk size,
//                      12 list type (1 order, 2 browse), 13 level category,
//                      14 depth, 15 zero, 16 entry count
//   order list: entry count x 4-byte track index, all tracks
//   browse list j (depth j + 1): entry count x 16 bytes:
//     0 first track, 4 first child (deepest list: order-list position, 22 bits),
//     8 count (21 bits), 12 index in parent (21 bits; 0x1FFFFF at depth 1)
//
// QVDB.DB header (32 bytes): 0 tag "qvdb", 4 header size 32, 8 the value 32,
// 12 the value 2, 16 the value 0, 20 the value 1, 24 next track id,
// 28 the value 2 (2 bytes), 30 chunk count (2 bytes, 0 or 2). With two chunks:
//   32  string statistics (376): head "qvts" 16 376 5, then per kind 0 to 4 a
//       72-byte record: "qvss" 24 72 kind count 2, then two size records
//       "qvsd" 24 24 method parameter bytes (0 0; then 1 0, or 3 20 for paths)
//  408  list summary (256): head "qvbs" 16 240 10, then ten 24-byte records
//       "qvas" 24 24 section, type, level, step, zero (1 byte each), entry count
#include <string>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "library/files/library_reader_rules.h"
#include "platform/byte_order.h"

namespace qv {
namespace {

constexpr uint32_t kListHead = 20;
constexpr uint32_t kEntrySize = 16;

// Checks a 4-byte tag and the two size words that follow it.
int CheckHead(std::span<const uint8_t> b, uint32_t pos, const char (&tag)[5], uint32_t head,
              uint32_t size, const char* fn, const std::string& what, ReadFault* f) {
  if (!HasTag(b, pos, tag))
    return Fail(f, fn, pos, kReadDamaged, what + " lacks its tag \"" + tag + "\"");
  if (LoadLe32(b, pos + 4) != head)
    return Fail(f, fn, pos + 4, kReadDamaged,
                what + " has head size " + Num(LoadLe32(b, pos + 4)) + ", not " + Num(head));
  if (LoadLe32(b, pos + 8) != size)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what + " has size " + Num(LoadLe32(b, pos + 8)) + ", not " + Num(size));
  return kReadOk;
}

// Reads the list chunk at pos, which must end by end. j < 0 for the order list.
int ParseList(std::span<const uint8_t> b, uint32_t pos, uint32_t end, uint32_t category, int j,
              ReadList* list, ReadFault* f) {
  const char* fn = kBrowseFileName;
  auto what = [&] {
    return (j < 0 ? "the order list of section " : "browse list " + Num(j) + " of section ") +
           Num(category);
  };
  if (end - pos < kListHead)
    return Fail(f, fn, pos, kReadDamaged, what() + " runs past its section");
  if (!HasTag(b, pos, "qvba"))
    return Fail(f, fn, pos, kReadDamaged, what() + " lacks its tag \"qvba\"");
  if (LoadLe32(b, pos + 4) != kListHead)
    return Fail(f, fn, pos + 4, kReadDamaged,
                what() + " has head size " + Num(LoadLe32(b, pos + 4)));
  uint32_t size = LoadLe32(b, pos + 8);
  if (size < kListHead || size > end - pos)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what() + " claims size " + Num(size) + " beyond its section");
  uint8_t type = j < 0 ? 1 : 2;
  uint8_t level = static_cast<uint8_t>(j < 0 ? 3 : category + j);
  uint8_t depth = static_cast<uint8_t>(j < 0 ? 0 : j + 1);
  if (b[pos + 12] != type)
    return Fail(f, fn, pos + 12, kReadDamaged, what() + " has list type " + Num(b[pos + 12]));
  if (b[pos + 13] != level)
    return Fail(f, fn, pos + 13, kReadDamaged, what() + " has level category " + Num(b[pos + 13]));
  if (b[pos + 14] != depth)
    return Fail(f, fn, pos + 14, kReadDamaged, what() + " has depth " + Num(b[pos + 14]));
  if (b[pos + 15] != 0)
    return Fail(f, fn, pos + 15, kReadDamaged, what() + " has a nonzero reserved byte");
  uint32_t count = LoadLe32(b, pos + 16);
  uint32_t item = j < 0 ? 4 : kEntrySize;
  uint32_t capacity = (j == 0 && category == 0) ? kReadNameLimit[0] : kReadMaxTracks;
  if (count > capacity)
    return Fail(f, fn, pos + 16, kReadDamaged,
                what() + " claims " + Num(count) + " entries, over its capacity");
  if (static_cast<uint64_t>(count) * item + kListHead != size)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what() + " has size " + Num(size) + " for " + Num(count) + " entries");
  list->offset = pos;
  list->list_type = type;
  list->level = level;
  list->depth = depth;
  uint32_t at = pos + kListHead;
  if (j < 0) {
    list->tracks.resize(count);
    for (uint32_t i = 0; i < count; ++i) list->tracks[i] = LoadLe32(b, at + 4 * i);
    return kReadOk;
  }
  bool deepest = category + j == 2;
  list->entries.resize(count);
  for (uint32_t i = 0; i < count; ++i, at += kEntrySize) {
    ReadEntry& e = list->entries[i];
    e.first_track = LoadLe32(b, at);
    e.first_child = LoadLe32(b, at + 4);
    e.count = LoadLe32(b, at + 8);
    e.index_in_parent = LoadLe32(b, at + 12);
    auto entry = [&] { return "entry " + Num(i) + " of " + what(); };
    if (deepest && e.first_child > 0x3FFFFF)
      return Fail(f, fn, at + 4, kReadDamaged, entry() + " has a track position over 22 bits");
    if (e.count > 0x1FFFFF)
      return Fail(f, fn, at + 8, kReadDamaged, entry() + " has a count over 21 bits");
    if (e.index_in_parent > kReadNoParent)
      return Fail(f, fn, at + 12, kReadDamaged, entry() + " has an index in parent over 21 bits");
    if (j == 0 && e.index_in_parent != kReadNoParent)
      return Fail(f, fn, at + 12, kReadDamaged,
                  entry() + " has a parent index although it has no parent");
  }
  return kReadOk;
}

int ParseSection(std::span<const uint8_t> b, uint32_t pos, uint32_t end, uint32_t c, ReadSection* s,
                 ReadFault* f) {
  const char* fn = kBrowseFileName;
  std::string what = "section " + Num(c) + " at " + Num(pos);
  if (end - pos < kListHead)
    return Fail(f, fn, pos, kReadDamaged, what + " runs past the file length");
  if (!HasTag(b, pos, "qvbi"))
    return Fail(f, fn, pos, kReadDamaged, what + " lacks its tag \"qvbi\"");
  if (LoadLe32(b, pos + 4) != 20)
    return Fail(f, fn, pos + 4, kReadDamaged, what + " has head size " + Num(LoadLe32(b, pos + 4)));
  uint32_t size = LoadLe32(b, pos + 8);
  if (size < 2 * kListHead || size > end - pos)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what + " claims size " + Num(size) + " beyond the file length");
  if (LoadLe16(b, pos + 12) != 4 - c)
    return Fail(f, fn, pos + 12, kReadDamaged,
                what + " has list count " + Num(LoadLe16(b, pos + 12)));
  if (LoadLe16(b, pos + 14) != 0)
    return Fail(f, fn, pos + 14, kReadDamaged, what + " has nonzero reserved bytes");
  if (LoadLe32(b, pos + 16) != c)
    return Fail(f, fn, pos + 16, kReadDamaged,
                what + " says category " + Num(LoadLe32(b, pos + 16)));
  s->offset = pos;
  s->size = size;
  s->category = c;
  uint32_t section_end = pos + size;
  uint32_t at = pos + kListHead;
  int r = ParseList(b, at, section_end, c, -1, &s->order, f);
  if (r != kReadOk) return r;
  at += LoadLe32(b, at + 8);
  s->browse.assign(3 - c, ReadList{});
  for (uint32_t j = 0; j < 3 - c; ++j) {
    r = ParseList(b, at, section_end, c, static_cast<int>(j), &s->browse[j], f);
    if (r != kReadOk) return r;
    at += LoadLe32(b, at + 8);
  }
  if (at != section_end)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what + " claims size " + Num(size) + " but its lists end at " + Num(at - pos));
  return kReadOk;
}

int ParseStats(std::span<const uint8_t> b, ReadLibrary* out, ReadFault* f) {
  const char* fn = kIndexFileName;
  int r = CheckHead(b, 32, "qvts", 16, 376, fn, "the string statistics", f);
  if (r != kReadOk) return r;
  if (LoadLe32(b, 44) != 5)
    return Fail(f, fn, 44, kReadDamaged,
                "the string statistics hold " + Num(LoadLe32(b, 44)) + " records");
  for (uint32_t k = 0; k < 5; ++k) {
    uint32_t at = 48 + 72 * k;
    std::string what = "the statistics record of kind " + Num(k);
    if ((r = CheckHead(b, at, "qvss", 24, 72, fn, what, f)) != kReadOk) return r;
    if (LoadLe32(b, at + 12) != k)
      return Fail(f, fn, at + 12, kReadDamaged, what + " says kind " + Num(LoadLe32(b, at + 12)));
    if (LoadLe32(b, at + 20) != 2)
      return Fail(f, fn, at + 20, kReadDamaged,
                  what + " holds " + Num(LoadLe32(b, at + 20)) + " size records");
    ReadStringStats& s = out->stats[k];
    s.kind = k;
    s.count = LoadLe32(b, at + 16);
    for (uint32_t n = 0; n < 2; ++n) {
      uint32_t sr = at + 24 + 24 * n;
      std::string size_what = "size record " + Num(n) + " of kind " + Num(k);
      if ((r = CheckHead(b, sr, "qvsd", 24, 24, fn, size_what, f)) != kReadOk) return r;
      uint32_t method = n == 0 ? 0 : (k == 4 ? 3 : 1);
      uint32_t parameter = (n == 1 && k == 4) ? 20 : 0;
      if (LoadLe32(b, sr + 12) != method)
        return Fail(f, fn, sr + 12, kReadDamaged,
                    size_what + " has storage method " + Num(LoadLe32(b, sr + 12)));
      if (LoadLe32(b, sr + 16) != parameter)
        return Fail(f, fn, sr + 16, kReadDamaged,
                    size_what + " has method parameter " + Num(LoadLe32(b, sr + 16)));
      s.sizes[n] = ReadSizeRecord{method, parameter, LoadLe32(b, sr + 20)};
    }
  }
  return kReadOk;
}

int ParseSummary(std::span<const uint8_t> b, ReadLibrary* out, ReadFault* f) {
  const char* fn = kIndexFileName;
  int r = CheckHead(b, 408, "qvbs", 16, 240, fn, "the list summary", f);
  if (r != kReadOk) return r;
  if (LoadLe32(b, 420) != 10)
    return Fail(f, fn, 420, kReadDamaged,
                "the list summary holds " + Num(LoadLe32(b, 420)) + " records");
  uint32_t n = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    for (uint32_t j = 0; j <= 3 - i; ++j, ++n) {
      uint32_t at = 424 + 24 * n;
      std::string what = "list summary record " + Num(n);
      if ((r = CheckHead(b, at, "qvas", 24, 24, fn, what, f)) != kReadOk) return r;
      if (LoadLe32(b, at + 12) != i)
        return Fail(f, fn, at + 12, kReadDamaged,
                    what + " names section " + Num(LoadLe32(b, at + 12)));
      if (b[at + 16] != (i + j == 3 ? 1 : 2))
        return Fail(f, fn, at + 16, kReadDamaged, what + " has list type " + Num(b[at + 16]));
      if (b[at + 17] != i + j)
        return Fail(f, fn, at + 17, kReadDamaged, what + " has level category " + Num(b[at + 17]));
      if (b[at + 18] != j)
        return Fail(f, fn, at + 18, kReadDamaged, what + " has step " + Num(b[at + 18]));
      if (b[at + 19] != 0)
        return Fail(f, fn, at + 19, kReadDamaged, what + " has a nonzero reserved byte");
      out->summary[n] = ReadSummary{i, b[at + 16], b[at + 17], b[at + 18], LoadLe32(b, at + 20)};
    }
  }
  return kReadOk;
}

}  // namespace

int ParseBrowseFile(std::span<const uint8_t> b, uint64_t size, ReadLibrary* out, ReadFault* f) {
  const char* fn = kBrowseFileName;
  out->browse_file_size = static_cast<uint32_t>(size > 0xFFFFFFFFu ? 0xFFFFFFFFu : size);
  if (size < 16) return Fail(f, fn, 0, kReadDamaged, "the file is shorter than its 16-byte header");
  if (!HasTag(b, 0, "qvbl")) return Fail(f, fn, 0, kReadDamaged, "the file lacks its tag \"qvbl\"");
  if (LoadLe32(b, 4) != 16)
    return Fail(f, fn, 4, kReadDamaged, "the header size is " + Num(LoadLe32(b, 4)) + ", not 16");
  uint32_t length = LoadLe32(b, 8);
  if (length < 16 || length > size)
    return Fail(f, fn, 8, kReadDamaged,
                "the file length " + Num(length) + " does not fit " + BytesReadText(size));
  if (LoadLe32(b, 12) != 4)
    return Fail(f, fn, 12, kReadDamaged,
                "the section count is " + Num(LoadLe32(b, 12)) + ", not 4");
  out->browse_file_length = length;
  uint32_t at = 16;
  for (uint32_t c = 0; c < 4; ++c) {
    int r = ParseSection(b, at, length, c, &out->sections[c], f);
    if (r != kReadOk) return r;
    at += out->sections[c].size;
  }
  if (at != length)
    return Fail(f, fn, 8, kReadDamaged,
                "the file length is " + Num(length) + " but the sections end at " + Num(at));
  return kReadOk;
}

int ParseBrowseLists(std::span<const uint8_t> b, ReadLibrary* out, ReadFault* f) {
  return ParseBrowseFile(b, b.size(), out, f);
}

int ParseIndexFile(std::span<const uint8_t> b, uint64_t size, ReadLibrary* out, ReadFault* f) {
  const char* fn = kIndexFileName;
  out->index_file_size = static_cast<uint32_t>(size > 0xFFFFFFFFu ? 0xFFFFFFFFu : size);
  if (size < 32) return Fail(f, fn, 0, kReadDamaged, "the file is shorter than its 32-byte header");
  if (!HasTag(b, 0, "qvdb")) return Fail(f, fn, 0, kReadDamaged, "the file lacks its tag \"qvdb\"");
  const uint32_t fixed[5][2] = {{4, 32}, {8, 32}, {12, 2}, {16, 0}, {20, 1}};
  for (const auto& [at, value] : fixed)
    if (LoadLe32(b, at) != value)
      return Fail(
          f, fn, at, kReadDamaged,
          "header byte " + Num(at) + " holds " + Num(LoadLe32(b, at)) + ", not " + Num(value));
  if (LoadLe16(b, 28) != 2)
    return Fail(f, fn, 28, kReadDamaged,
                "header byte 28 holds " + Num(LoadLe16(b, 28)) + ", not 2");
  out->next_track_id = LoadLe32(b, 24);
  out->chunk_count = LoadLe16(b, 30);
  if (out->chunk_count != 0 && out->chunk_count != 2)
    return Fail(f, fn, 30, kReadDamaged,
                "the chunk count is " + Num(out->chunk_count) + ", not 0 or 2");
  if (out->chunk_count == 0) return kReadOk;
  if (size < 664)
    return Fail(
        f, fn, 30, kReadDamaged,
        "the file ends at " + Num(out->index_file_size) + ", before its two chunks end at 664");
  int r = ParseStats(b, out, f);
  if (r == kReadOk) r = ParseSummary(b, out, f);
  return r;
}

int ParseLibraryIndex(std::span<const uint8_t> b, ReadLibrary* out, ReadFault* f) {
  return ParseIndexFile(b, b.size(), out, f);
}

}  // namespace qv

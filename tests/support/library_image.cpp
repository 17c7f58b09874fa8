#include "support/library_image.h"

#include <algorithm>
#include <numeric>

#include "support/temp_dir.h"

namespace qv::test {
namespace {

void Put32(std::vector<uint8_t>* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>* b, uint16_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
void PutTag(std::vector<uint8_t>* b, const char* tag) {
  b->insert(b->end(), tag, tag + 4);
}

std::vector<uint8_t> Page(const ImageTrack& t, uint32_t index) {
  std::vector<uint8_t> p;
  PutTag(&p, "qvti");
  Put32(&p, 48);
  Put32(&p, 0);  // page size, below
  Put32(&p, 5);
  p.push_back(t.file_type);
  p.push_back(1);
  Put16(&p, 0);
  Put32(&p, index);
  Put32(&p, index);
  Put32(&p, t.file_size);
  Put32(&p, 0xFFFFFFFF);
  Put16(&p, t.number);
  Put16(&p, 0xFFFF);
  Put32(&p, 0xFFFFFFFF);
  Put32(&p, 0x7FFFFF);
  for (uint32_t k = 0; k < 5; ++k) {
    uint32_t length = static_cast<uint32_t>(t.texts[k].size()) * 2 + 2;
    uint32_t area = (length + 3) / 4 * 4;
    PutTag(&p, "qvst");
    Put32(&p, 24);
    Put32(&p, 24 + area);
    Put32(&p, k);
    Put32(&p, k <= 2 ? t.ids[k] : 0);
    Put32(&p, area);
    for (char16_t u : t.texts[k]) Put16(&p, u);
    p.resize(p.size() + area - length + 2, 0);
  }
  SetImageLe32(&p, 8, static_cast<uint32_t>(p.size()));
  return p;
}

bool Narrow(const std::u16string& s, size_t from) {
  return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(),
                     [](char16_t u) { return u < 256; });
}
uint32_t NarrowSize(size_t units) {
  return static_cast<uint32_t>((units + 1) + (units + 1) % 2);
}

// Enough of the collation for test names: ASCII letters without case.
std::u16string Folded(const std::u16string& s) {
  std::u16string f = s;
  for (char16_t& u : f)
    if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 32);
  return f;
}

struct Lists {
  std::vector<uint32_t> order;
  std::vector<std::vector<uint32_t>> entries;  // per list, 4 words per entry
};

// Groups the order list of category c by the ids of c .. c + j for each j.
Lists SectionLists(const std::vector<ImageTrack>& tracks, uint32_t c) {
  Lists l;
  l.order.resize(tracks.size());
  std::iota(l.order.begin(), l.order.end(), 0u);
  if (c == 3) {
    std::stable_sort(l.order.begin(), l.order.end(), [&](uint32_t a, uint32_t b) {
      if (Folded(tracks[a].texts[3]) != Folded(tracks[b].texts[3]))
        return Folded(tracks[a].texts[3]) < Folded(tracks[b].texts[3]);
      return tracks[a].number < tracks[b].number;
    });
    return l;
  }
  auto key = [&](uint32_t t, uint32_t to) {
    std::vector<uint32_t> k;
    for (uint32_t s = c; s <= to; ++s) k.push_back(tracks[t].ids[s]);
    return k;
  };
  std::stable_sort(l.order.begin(), l.order.end(), [&](uint32_t a, uint32_t b) {
    if (key(a, 2) != key(b, 2)) return key(a, 2) < key(b, 2);
    if (tracks[a].number != tracks[b].number) return tracks[a].number < tracks[b].number;
    return Folded(tracks[a].texts[3]) < Folded(tracks[b].texts[3]);
  });
  uint32_t levels = 3 - c;
  // starts[j]: the order positions where a group of list j begins.
  std::vector<std::vector<uint32_t>> starts(levels);
  for (uint32_t j = 0; j < levels; ++j)
    for (uint32_t p = 0; p < l.order.size(); ++p)
      if (p == 0 || key(l.order[p], c + j) != key(l.order[p - 1], c + j)) starts[j].push_back(p);
  l.entries.resize(levels);
  for (uint32_t j = 0; j < levels; ++j) {
    const std::vector<uint32_t>& s = starts[j];
    for (size_t g = 0; g < s.size(); ++g) {
      uint32_t begin = s[g];
      uint32_t end = g + 1 < s.size() ? s[g + 1] : static_cast<uint32_t>(l.order.size());
      uint32_t first_child = begin, count = end - begin;
      if (j + 1 < levels) {
        const std::vector<uint32_t>& below = starts[j + 1];
        first_child = static_cast<uint32_t>(std::lower_bound(below.begin(), below.end(), begin) -
                                            below.begin());
        count = static_cast<uint32_t>(std::lower_bound(below.begin(), below.end(), end) -
                                      below.begin()) -
                first_child;
      }
      uint32_t in_parent = 0x1FFFFF;
      if (j > 0) {
        const std::vector<uint32_t>& above = starts[j - 1];
        uint32_t parent_begin = *(std::upper_bound(above.begin(), above.end(), begin) - 1);
        in_parent = static_cast<uint32_t>(std::lower_bound(s.begin(), s.end(), begin) -
                                          std::lower_bound(s.begin(), s.end(), parent_begin));
      }
      l.entries[j].insert(l.entries[j].end(), {l.order[begin], first_child, count, in_parent});
    }
  }
  return l;
}

}  // namespace

uint32_t ImageLe32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
void SetImageLe32(std::vector<uint8_t>* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

LibraryImage MakeLibraryImage(const std::vector<ImageTrack>& tracks) {
  LibraryImage image;
  uint32_t n = static_cast<uint32_t>(tracks.size());
  std::vector<uint8_t>& t = image.tracks;
  PutTag(&t, "qvtl");
  Put32(&t, 16);
  Put32(&t, 0);
  Put32(&t, n);
  for (uint32_t i = 0; i < n; ++i) {
    std::vector<uint8_t> page = Page(tracks[i], i);
    t.insert(t.end(), page.begin(), page.end());
  }
  SetImageLe32(&t, 8, static_cast<uint32_t>(t.size()));

  std::vector<uint8_t>& b = image.browse;
  PutTag(&b, "qvbl");
  Put32(&b, 16);
  Put32(&b, 0);
  Put32(&b, 4);
  uint32_t counts[10];
  Lists lists[4];
  for (uint32_t c = 0; c < 4; ++c) {
    lists[c] = SectionLists(tracks, c);
    size_t head = b.size();
    PutTag(&b, "qvbi");
    Put32(&b, 20);
    Put32(&b, 0);
    Put16(&b, static_cast<uint16_t>(4 - c));
    Put16(&b, 0);
    Put32(&b, c);
    PutTag(&b, "qvba");
    Put32(&b, 20);
    Put32(&b, 20 + 4 * n);
    b.insert(b.end(), {1, 3, 0, 0});
    Put32(&b, n);
    for (uint32_t x : lists[c].order) Put32(&b, x);
    for (uint32_t j = 0; j < lists[c].entries.size(); ++j) {
      const std::vector<uint32_t>& e = lists[c].entries[j];
      uint32_t m = static_cast<uint32_t>(e.size() / 4);
      PutTag(&b, "qvba");
      Put32(&b, 20);
      Put32(&b, 20 + 16 * m);
      b.insert(b.end(), {2, static_cast<uint8_t>(c + j), static_cast<uint8_t>(j + 1), 0});
      Put32(&b, m);
      for (uint32_t w : e) Put32(&b, w);
    }
    SetImageLe32(&b, head + 8, static_cast<uint32_t>(b.size() - head));
  }
  SetImageLe32(&b, 8, static_cast<uint32_t>(b.size()));
  for (uint32_t i = 0, r = 0; i < 4; ++i)
    for (uint32_t j = 0; j <= 3 - i; ++j, ++r)
      counts[r] = i + j == 3 ? n : static_cast<uint32_t>(lists[i].entries[j].size() / 4);

  // Statistics as a create job counts them.
  uint32_t count[5] = {0, 0, 0, n, n}, wide[5] = {}, stored[5] = {};
  for (uint32_t c = 0; c < 3; ++c) {
    for (size_t p = 0; p < lists[c].order.size(); ++p) {
      const ImageTrack& tr = tracks[lists[c].order[p]];
      if (p > 0 && tracks[lists[c].order[p - 1]].ids[c] == tr.ids[c]) continue;
      size_t units = tr.texts[c].size();
      ++count[c];
      wide[c] += static_cast<uint32_t>(2 * units + 2);
      stored[c] += static_cast<uint32_t>((Narrow(tr.texts[c], 0) ? units : 2 * units) + 2);
    }
  }
  for (uint32_t i = 0; i < n; ++i) {
    const std::u16string& title = tracks[i].texts[3];
    const std::u16string& path = tracks[i].texts[4];
    wide[3] += static_cast<uint32_t>(2 * title.size() + 2);
    stored[3] +=
        Narrow(title, 0) ? NarrowSize(title.size()) : static_cast<uint32_t>(2 * title.size() + 2);
    wide[4] += static_cast<uint32_t>(2 * path.size() + 2);
    size_t shared = 0;
    if (i % 20 != 0) {
      const std::u16string& prev = tracks[i - 1].texts[4];
      while (shared < path.size() && shared < prev.size() && path[shared] == prev[shared]) ++shared;
    }
    size_t rest = path.size() - shared;
    stored[4] += Narrow(path, shared) ? NarrowSize(rest) : static_cast<uint32_t>(2 * rest + 2);
  }

  std::vector<uint8_t>& d = image.index;
  PutTag(&d, "qvdb");
  for (uint32_t v : {32u, 32u, 2u, 0u, 1u, n}) Put32(&d, v);
  Put16(&d, 2);
  Put16(&d, 2);
  PutTag(&d, "qvts");
  for (uint32_t v : {16u, 376u, 5u}) Put32(&d, v);
  for (uint32_t k = 0; k < 5; ++k) {
    PutTag(&d, "qvss");
    for (uint32_t v : {24u, 72u, k, count[k], 2u}) Put32(&d, v);
    PutTag(&d, "qvsd");
    for (uint32_t v : {24u, 24u, 0u, 0u, wide[k]}) Put32(&d, v);
    PutTag(&d, "qvsd");
    for (uint32_t v : {24u, 24u, k == 4 ? 3u : 1u, k == 4 ? 20u : 0u, stored[k]}) Put32(&d, v);
  }
  PutTag(&d, "qvbs");
  for (uint32_t v : {16u, 240u, 10u}) Put32(&d, v);
  for (uint32_t i = 0, r = 0; i < 4; ++i) {
    for (uint32_t j = 0; j <= 3 - i; ++j, ++r) {
      PutTag(&d, "qvas");
      for (uint32_t v : {24u, 24u, i}) Put32(&d, v);
      d.insert(d.end(), {static_cast<uint8_t>(i + j == 3 ? 1 : 2), static_cast<uint8_t>(i + j),
                         static_cast<uint8_t>(j), 0});
      Put32(&d, counts[r]);
    }
  }
  return image;
}

void PutLibraryImage(const LibraryImage& image, const std::filesystem::path& drive, bool hfs) {
  std::filesystem::path dir = drive / (hfs ? ".QUORVEN" : "QUORVEN") / "LIBRARY";
  std::filesystem::create_directories(dir);
  WriteFileBytes(dir / "QVTL.DB", image.tracks);
  WriteFileBytes(dir / "QVBL.DB", image.browse);
  WriteFileBytes(dir / "QVDB.DB", image.index);
}

}  // namespace qv::test

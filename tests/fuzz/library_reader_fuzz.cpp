// Feeds arbitrary bytes to the library reader as the three library files.
//
// Input layout:
//
//   offset  size  field
//   0       2     n1: bytes of QVTL.DB (little-endian, cut to what is left)
//   2       2     n2: bytes of QVBL.DB (likewise)
//   4       n1    QVTL.DB
//   4 + n1  n2    QVBL.DB
//   ...     rest  QVDB.DB
//
// Whatever the files claim, the reader must stay inside the bytes it was
// given, and every result must be one of its three statuses. The engine's
// page cursor walks the same QVTL.DB: it too must stay inside the bytes, and
// on a track list the reader accepts it must find the same pages and texts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "library/files/library_reader.h"
#include "library/files/track_page_cursor.h"
#include "platform/byte_order.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// Walks the pages as the update's loader does; `lib` is the reader's view
// when it accepted the file, null otherwise.
void WalkWithCursor(std::span<const uint8_t> file, const qv::ReadLibrary* lib) {
  if (file.size() < 16) return;
  uint32_t at = qv::LoadLe32(file, 4);
  uint32_t count = qv::LoadLe32(file, 12);
  uint32_t length = std::min<uint32_t>(qv::LoadLe32(file, 8), static_cast<uint32_t>(file.size()));
  for (uint32_t t = 0; t < count && at <= length; ++t) {
    qv::TrackPageCursor c;
    int r = qv::OpenTrackPage(&c, file.subspan(at, length - at), at);
    for (uint32_t kind = 0; r == qv::kPageOk; ++kind) {
      Require(c.page.data() == file.data() + at && c.page.size() <= length - at);
      qv::TrackChunk chunk;
      if ((r = qv::NextTrackChunk(&c, &chunk)) != qv::kPageOk) break;
      Require(chunk.offset + 24 + chunk.text_bytes <= c.page.size());
      uint16_t text[257];
      std::u16string s(text, text + qv::CopyChunkText(c, chunk, text, 256));
      if (lib == nullptr) continue;
      const qv::ReadPage& page = lib->pages[t];
      Require(chunk.kind == kind && at + chunk.offset == page.chunk_offsets[kind]);
      Require(s == page.texts[kind] && (kind > 2 || chunk.name_id == page.name_ids[kind]));
      Require(kind < 5);
    }
    // A page the reader accepts has its five chunks; a failure lies in the page.
    if (r != qv::kPageEnd)
      return Require(lib == nullptr && c.fault_offset - at < std::max<size_t>(c.page.size(), 48));
    at += static_cast<uint32_t>(c.page.size());
  }
  Require(lib == nullptr || at == lib->track_file_length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  std::span<const uint8_t> all(data, size);
  size_t n1 = all[0] | (all[1] << 8);
  size_t n2 = all[2] | (all[3] << 8);
  std::span<const uint8_t> rest = all.subspan(4);
  if (n1 > rest.size()) n1 = rest.size();
  std::span<const uint8_t> tracks = rest.first(n1);
  rest = rest.subspan(n1);
  if (n2 > rest.size()) n2 = rest.size();
  std::span<const uint8_t> browse = rest.first(n2);
  std::span<const uint8_t> index = rest.subspan(n2);

  qv::ReadLibrary lib;
  qv::ReadFault fault;
  // Each parser on its own, so that a fault in one file does not hide the others.
  int r1 = qv::ParseTrackList(tracks, &lib, &fault);
  int r2 = qv::ParseBrowseLists(browse, &lib, &fault);
  int r3 = qv::ParseLibraryIndex(index, &lib, &fault);
  WalkWithCursor(tracks, r1 == qv::kReadOk ? &lib : nullptr);
  for (int r : {r1, r2, r3})
    if (r != qv::kReadOk && r != qv::kReadDamaged) std::abort();
  if (r1 == qv::kReadOk && r2 == qv::kReadOk && r3 == qv::kReadOk) {
    int r = qv::CheckLibraryConsistency(lib, &fault);
    if (r != qv::kReadOk && r != qv::kReadDamaged) std::abort();
    if (r == qv::kReadOk) {
      qv::CheckCreateStatistics(lib, &fault);
      qv::DeriveCreateStats(lib);
      for (const qv::ReadPage& page : lib.pages) qv::LibraryTextToUtf8(page.texts[3]);
    }
  }
  return 0;
}

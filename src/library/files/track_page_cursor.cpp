#include "library/files/track_page_cursor.h"

#include "library/files/library_files.h"
#include "platform/byte_order.h"

namespace qv {
namespace {

constexpr uint32_t kLastKind = 4;

int Broken(TrackPageCursor* c, int status, uint32_t at, const char* what) {
  c->fault_offset = c->file_offset + at;
  c->fault = what;
  return status;
}

}  // namespace

int OpenTrackPage(TrackPageCursor* c, std::span<const uint8_t> held, uint64_t file_offset) {
  c->page = {};
  c->file_offset = file_offset;
  c->next = 0;
  if (held.size() < kTrackPageHeadBytes)
    return Broken(c, kPageShort, 0, "a page shorter than its head");
  if (!HasTag(held, 0, "qvti")) return Broken(c, kPageNotAPage, 0, "a page without its tag");
  uint32_t size = LoadLe32(held, 8);
  if (size < kTrackPageHeadBytes || size > kTrackPageReadBytes)
    return Broken(c, kPageBadSize, 8, "a page size no page can have");
  if (size > held.size()) return Broken(c, kPageBadSize, 8, "page size past the end of the file");
  uint32_t first = LoadLe32(held, 4);
  if (first < kTrackPageHeadBytes || first > size)
    return Broken(c, kPageBadChunk, 4, "chunks start outside the page");
  c->page = held.first(size);
  c->next = first;
  return kPageOk;
}

int NextTrackChunk(TrackPageCursor* c, TrackChunk* chunk) {
  std::span<const uint8_t> page = c->page;
  uint32_t at = c->next;
  if (at == page.size()) return kPageEnd;
  if (page.size() - at < kTrackChunkHeadBytes)
    return Broken(c, kPageBadChunk, at, "a string chunk runs past its page");
  if (!HasTag(page, at, "qvst"))
    return Broken(c, kPageBadChunk, at, "a string chunk without its tag");
  if (LoadLe32(page, at + 4) != kTrackChunkHeadBytes)
    return Broken(c, kPageBadChunk, at + 4, "a string chunk head of another size");
  uint32_t size = LoadLe32(page, at + 8);
  if (size < kTrackChunkHeadBytes || size > page.size() - at)
    return Broken(c, kPageBadChunk, at + 8, "chunk size past the end of its page");
  uint32_t kind = LoadLe32(page, at + 12);
  if (kind > kLastKind) return Broken(c, kPageBadKind, at + 12, "a string kind beyond the path");
  uint32_t text_bytes = LoadLe32(page, at + 20);
  if (text_bytes > size - kTrackChunkHeadBytes)
    return Broken(c, kPageBadChunk, at + 20, "a text area larger than its chunk");
  *chunk = TrackChunk{at, kind, LoadLe32(page, at + 16), text_bytes};
  c->next = at + size;
  return kPageOk;
}

uint32_t CopyPageText(std::span<const uint8_t> bytes, uint32_t at, uint32_t area_bytes,
                      uint16_t* out, uint32_t max_units) {
  uint32_t units = 0;
  if (at <= bytes.size()) {
    uint32_t room = static_cast<uint32_t>(bytes.size() - at);
    units = (area_bytes < room ? area_bytes : room) / 2;
  }
  if (units > max_units) units = max_units;
  uint32_t n = 0;
  while (n < units && (out[n] = LoadLe16(bytes, at + 2 * n)) != 0) ++n;
  out[n] = 0;
  return n;
}

uint32_t CopyChunkText(const TrackPageCursor& c, const TrackChunk& chunk, uint16_t* out,
                       uint32_t max_units) {
  return CopyPageText(c.page, chunk.offset + kTrackChunkHeadBytes, chunk.text_bytes, out,
                      max_units);
}

}  // namespace qv

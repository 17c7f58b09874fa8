// The one walk over a track page of QVTL.DB, shared by the writer's
// finishing pass, the merge's key read-back and the update's loader and
// removal pass. The page and string chunk layouts are drawn above their
// writer (track_list_writer.cpp).
//
// Every size and offset a page claims is checked by subtraction against the
// bytes held before it is used, so no claim can move a read outside them. A
// failed check leaves in the cursor the byte offset in the file of the field
// that broke it and what was wrong, for the caller's failure record.
#pragma once

#include <cstdint>
#include <span>

namespace qv {

// Results of OpenTrackPage and NextTrackChunk.
inline constexpr int kPageOk = 0;
inline constexpr int kPageEnd = 1;       // the page holds no further chunk
inline constexpr int kPageShort = 2;     // fewer bytes held than a page head
inline constexpr int kPageNotAPage = 3;  // no tag "qvti"
inline constexpr int kPageBadSize =
    4;  // page size below its head, above a page read or past the bytes held
inline constexpr int kPageBadChunk =
    5;  // a chunk's start, tag, head, size or text area leave the page
inline constexpr int kPageBadKind = 6;  // a string kind beyond the path

// One string chunk of the page.
struct TrackChunk {
  uint32_t offset;      // of the chunk in the page
  uint32_t kind;        // 0 genre, 1 artist, 2 album, 3 title, 4 path
  uint32_t name_id;     // page word 16 of the chunk
  uint32_t text_bytes;  // the text area: text, zero unit and padding
};

struct TrackPageCursor {
  std::span<const uint8_t> page;  // the page, exactly its size
  uint64_t file_offset = 0;       // of the page in QVTL.DB
  uint32_t next = 0;              // of the next chunk in the page
  uint64_t fault_offset = 0;      // in QVTL.DB, of the field that broke a rule
  const char* fault = "";         // what was wrong there
};

// Checks the page head at the start of `held` (the bytes read from
// `file_offset` on; the page must lie within them) and sets the cursor on
// its first chunk: kPageOk or the failure.
int OpenTrackPage(TrackPageCursor* c, std::span<const uint8_t> held, uint64_t file_offset);

// Checks the next string chunk and describes it in *chunk: kPageOk, kPageEnd
// after the last one, or the failure. A chunk must end inside its page.
int NextTrackChunk(TrackPageCursor* c, TrackChunk* chunk);

// Copies the chunk's text, at most max_units units and never past its text
// area or its zero unit, into out (max_units + 1 units) and terminates it:
// the units copied.
uint32_t CopyChunkText(const TrackPageCursor& c, const TrackChunk& chunk, uint16_t* out,
                       uint32_t max_units);

// Likewise for text at `at` of `bytes` whose area, `area_bytes` long, lies
// within them.
uint32_t CopyPageText(std::span<const uint8_t> bytes, uint32_t at, uint32_t area_bytes,
                      uint16_t* out, uint32_t max_units);

}  // namespace qv

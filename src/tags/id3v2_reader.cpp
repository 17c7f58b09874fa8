// ID3v2: a tag at the very start of the file.
//
// Tag header, 10 bytes:
//   offset  size  field
//        0     3  "ID3"
//        3     1  major version
//        4     1  revision
//        5     1  flags; 0x40 announces an extended header
//        6     4  tag size without these 10 bytes, seven bits a byte (the
//                 last byte is taken whole)
//
// Frame header by version code (major * 10 + revision):
//   20 (2.2)        3 identifier, 3 size (24-bit big-endian)
//   30 (2.3)        4 identifier, 4 size (32-bit big-endian), 2 flags
//   31, 40 (2.4)    4 identifier, 4 size (syncsafe), 2 flags
// The size counts the bytes after the frame header. Second flag byte: in 2.3
// 0x80 puts a 4-byte decompressed size and 0x40 one method byte before the
// text; in 2.4 0x08 puts 4 bytes and 0x04 one byte before it.
//
// Text frame payload: 1 encoding byte (0 code page, 1 UTF-16 with byte-order
// mark, 2 UTF-16 big-endian, 3 UTF-8; any other value is text itself), then
// the text.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <span>

#include "platform/byte_order.h"
#include "platform/file_door.h"
#include "tags/id3_parts.h"
#include "tags/id3_text.h"
#include "tags/tag_file.h"
#include "tags/tag_readers.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr size_t kHeaderBytes = 10;

// The tag body is read in one piece. Tags of ordinary size go into a block
// that each thread keeps for the next file; larger ones get a block of their
// own that grows with what actually arrives, so a header that claims far more
// than the file holds costs no more memory than the file itself.
constexpr size_t kKeptBlockBytes = 256 * 1024;
thread_local uint8_t* t_kept_block = nullptr;

struct KeptBlockRelease {
  ~KeptBlockRelease() { std::free(t_kept_block); }
};

// Reads up to `claimed` bytes into the block; false when a read failed or
// memory ran out.
bool ReadBody(int fd, size_t claimed, Id3v2Block* block) {
  if (claimed == 0) return true;
  if (claimed <= kKeptBlockBytes) {
    thread_local KeptBlockRelease release;
    (void)release;
    if (!t_kept_block) t_kept_block = static_cast<uint8_t*>(std::malloc(kKeptBlockBytes));
    if (!t_kept_block) return false;
    block->body = t_kept_block;
    int64_t got = TagRead(fd, t_kept_block, claimed);
    if (got < 0) return false;
    block->size = static_cast<size_t>(got);
    return true;
  }
  size_t cap = kKeptBlockBytes;
  auto* data = static_cast<uint8_t*>(std::malloc(cap));
  if (!data) return false;
  block->body = data;
  block->own = true;
  for (;;) {
    int64_t got = TagRead(fd, data + block->size, cap - block->size);
    if (got < 0) return false;
    block->size += static_cast<size_t>(got);
    if (block->size < cap || cap == claimed) return true;
    size_t grown = claimed - cap < 3 * cap ? claimed : 4 * cap;
    auto* bigger = static_cast<uint8_t*>(std::realloc(data, grown));
    if (!bigger) return false;
    block->body = data = bigger;
    cap = grown;
  }
}

bool IsFrameIdChar(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether a frame ending at `next` is followed by something a writer puts
// there: the end of the tag, padding up to it, or a frame header whose
// identifier is well formed and whose size fits in what is left.
bool LandsWell(std::span<const uint8_t> body, uint64_t next) {
  if (next > body.size()) return false;
  size_t at = static_cast<size_t>(next);
  size_t left = body.size() - at;
  const uint8_t* p = body.data() + at;
  bool padding = true;
  for (size_t i = 0; i < left && padding; ++i) padding = p[i] == 0;
  if (padding) return true;
  if (left < kHeaderBytes) return false;
  if (!(p[0] >= 'A' && p[0] <= 'Z') || !IsFrameIdChar(p[1]) || !IsFrameIdChar(p[2]) ||
      !IsFrameIdChar(p[3])) {
    return false;
  }
  size_t room = left - kHeaderBytes;
  return LoadSyncsafe32(body, at + 4) <= room || LoadBe32(body, at + 4) <= room;
}

// 2.4 frame sizes are syncsafe, but some old encoders wrote plain numbers
// there. The plain reading is taken only when the syncsafe one leads nowhere
// sensible and the plain one does.
uint32_t Id3v24FrameSize(std::span<const uint8_t> body, size_t pos) {
  uint32_t syncsafe = LoadSyncsafe32(body, pos + 4);
  uint32_t plain = LoadBe32(body, pos + 4);
  if (syncsafe == plain) return syncsafe;
  uint64_t after = pos + kHeaderBytes;
  if (LandsWell(body, after + syncsafe)) return syncsafe;
  if (LandsWell(body, after + plain)) return plain;
  return syncsafe;
}

enum class Field { kNone, kArtist, kAlbum, kTitle, kGenre, kTrack };

Field FieldOf(const uint8_t* id, int code) {
  if (code == 20) {
    if (std::memcmp(id, "TP1", 3) == 0) return Field::kArtist;
    if (std::memcmp(id, "TAL", 3) == 0) return Field::kAlbum;
    if (std::memcmp(id, "TT2", 3) == 0) return Field::kTitle;
    if (std::memcmp(id, "TCO", 3) == 0) return Field::kGenre;
    if (std::memcmp(id, "TRK", 3) == 0) return Field::kTrack;
    return Field::kNone;
  }
  if (std::memcmp(id, "TPE1", 4) == 0) return Field::kArtist;
  if (std::memcmp(id, "TALB", 4) == 0) return Field::kAlbum;
  if (std::memcmp(id, "TIT2", 4) == 0) return Field::kTitle;
  if (std::memcmp(id, "TCON", 4) == 0) return Field::kGenre;
  if (std::memcmp(id, "TRCK", 4) == 0) return Field::kTrack;
  return Field::kNone;
}

void StoreFrame(Field field, const uint8_t* data, size_t size, TrackTags* record,
                const char* code_page) {
  // Frames that fill no field are not decoded: their text would be dropped
  // unseen.
  if (field == Field::kNone) return;
  Utf16String text = DecodeId3Text(data, size, code_page);
  if (!text) return;
  size_t n = Utf16Len(text.get());
  switch (field) {
    case Field::kArtist:
      StoreTagText(record->Artist, kArtistBytes, text.get(), n);
      break;
    case Field::kAlbum:
      StoreTagText(record->Album, kAlbumBytes, text.get(), n);
      break;
    case Field::kTitle:
      StoreTagText(record->Title, kTitleBytes, text.get(), n);
      break;
    case Field::kGenre:
      StoreTagText(record->Genre, kGenreBytes, text.get(), n);
      break;
    case Field::kTrack:
      record->TrackNumber = static_cast<uint16_t>(ParseTrackNumber(text.get()));
      break;
    case Field::kNone:
      break;
  }
}

// Where the frames begin: after the extended header when one is announced.
size_t FirstFrame(std::span<const uint8_t> body, int code, bool extended) {
  if (!extended || code == 20) return 0;
  if (body.size() < 4) return body.size();
  if (code == 30) {
    uint32_t rest = LoadBe32(body, 0);
    return rest > body.size() - 4 ? body.size() : 4 + static_cast<size_t>(rest);
  }
  uint32_t whole = LoadSyncsafe32(body, 0);
  return whole > body.size() ? body.size() : whole;
}

// 8-bit text of a text frame: after an encoding byte of 0, or the whole
// payload when its first byte names no encoding; texts in UTF-16 or UTF-8
// say nothing about the code page.
void SurveyFrame(const uint8_t* data, size_t size, CodePageSurvey* survey) {
  if (size == 0 || (data[0] >= 1 && data[0] <= 3)) return;
  const size_t from = data[0] == 0 ? 1 : 0;
  SurveyText(survey, reinterpret_cast<const char*>(data + from), size - from, false);
}

// Stores the frames into the record, or only surveys their texts when a
// survey is given.
void WalkFrames(std::span<const uint8_t> body, int code, bool extended, TrackTags* record,
                const char* code_page, CodePageSurvey* survey) {
  const size_t header = code == 20 ? 6 : 10;
  size_t pos = FirstFrame(body, code, extended);
  while (body.size() - pos >= header) {
    const uint8_t* h = body.data() + pos;
    uint32_t size;
    size_t skip = 0;
    if (code == 20) {
      if (h[0] == 0 && h[1] == 0 && h[2] == 0) break;
      size = LoadBe24(body, pos + 3);
      if (size == 0 || (size & 0x800000u)) break;
    } else {
      if (h[0] == 0 && h[1] == 0 && h[2] == 0 && h[3] == 0) break;
      if (h[3] >= 0x80) break;
      size = code == 30 ? LoadBe32(body, pos + 4) : Id3v24FrameSize(body, pos);
      if (size == 0 || (size & 0x80000000u)) break;
      uint8_t flags = h[9];
      if (code == 30) {
        if (flags & 0x80) skip += 4;
        if (flags & 0x40) skip += 1;
      } else {
        if (flags & 0x08) skip += 4;
        if (flags & 0x04) skip += 1;
      }
    }
    if (size > body.size() - pos - header) break;
    if (skip > size) break;
    const uint8_t* data = h + header + skip;
    if (h[0] == 'T' && survey) {
      SurveyFrame(data, size - skip, survey);
    } else if (h[0] == 'T') {
      StoreFrame(FieldOf(h, code), data, size - skip, record, code_page);
    }
    pos += header + size;
  }
}

}  // namespace

Id3v2Block::~Id3v2Block() {
  if (own) std::free(const_cast<uint8_t*>(body));
}

int ReadId3v2Block(int fd, Id3v2Block* block) {
  uint8_t head[kHeaderBytes];
  if (TagRead(fd, head, kHeaderBytes) != static_cast<int64_t>(kHeaderBytes)) return -1;
  if (std::memcmp(head, "ID3", 3) != 0) return 1;
  block->found = true;
  block->code = (head[3] * 10 + head[4]) % 256;
  block->extended = (head[5] & 0x40) != 0;
  uint32_t claimed = (static_cast<uint32_t>(head[6] & 0x7F) << 21) |
                     (static_cast<uint32_t>(head[7] & 0x7F) << 14) |
                     (static_cast<uint32_t>(head[8] & 0x7F) << 7) | head[9];
  return ReadBody(fd, claimed, block) ? 1 : -1;
}

int64_t Id3v2End(const Id3v2Block& block) {
  return block.found ? static_cast<int64_t>(kHeaderBytes + block.size) : 0;
}

namespace {

bool IsReadVersion(const Id3v2Block& block) {
  int code = block.code;
  return block.found && (code == 20 || code == 30 || code == 31 || code == 40);
}

}  // namespace

void ApplyId3v2Block(const Id3v2Block& block, TrackTags* record, const char* code_page) {
  if (!IsReadVersion(block)) return;
  WalkFrames(std::span<const uint8_t>(block.body, block.size), block.code, block.extended, record,
             code_page, nullptr);
}

void SurveyId3v2Block(const Id3v2Block& block, CodePageSurvey* survey) {
  if (!IsReadVersion(block)) return;
  WalkFrames(std::span<const uint8_t>(block.body, block.size), block.code, block.extended, nullptr,
             nullptr, survey);
}

int64_t ReadId3v2Tag(int fd, TrackTags* record, const char* code_page) {
  if (TagSeek(fd, 0, SEEK_SET) != 0) return -1;
  Id3v2Block block;
  if (ReadId3v2Block(fd, &block) < 0) return -1;
  ApplyId3v2Block(block, record, code_page);
  return Id3v2End(block);
}

Utf16String DecodeId3Text(const uint8_t* data, size_t size, const char* code_page) {
  if (size == 0) return Utf16String(static_cast<uint16_t*>(std::calloc(1, sizeof(uint16_t))));
  uint8_t encoding = data[0];
  if (encoding == 1 || encoding == 2) {
    size_t units = (size - 1) / 2;
    Utf16String text(static_cast<uint16_t*>(std::calloc(units + 1, sizeof(uint16_t))));
    if (!text) return text;
    std::memcpy(text.get(), data + 1, 2 * units);
    uint16_t* s = text.get();
    const auto* bytes = data + 1;
    size_t from = 0;
    if (units > 0 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
      from = 1;
    } else if (units > 0 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
      from = 1;
      SwapUtf16Bytes(s + 1, 0);
    } else {
      SwapUtf16Bytes(s, 0);
    }
    if (from) std::memmove(s, s + 1, 2 * units);  // the terminator moves along
    return text;
  }
  // The other encodings are byte strings that end at their first zero byte.
  const uint8_t* text_at = data;
  size_t text_bytes = size;
  if (encoding == 0 || encoding == 3) {
    text_at = data + 1;
    text_bytes = size - 1;
  }
  char* copy = static_cast<char*>(std::malloc(text_bytes + 2));
  if (!copy) return nullptr;
  std::memcpy(copy, text_at, text_bytes);
  copy[text_bytes] = 0;
  copy[text_bytes + 1] = 0;
  int32_t ignored = 0;
  Utf16String result = encoding == 3 ? Utf8ToUtf16(copy, &ignored, true)
                                     : CodePageToUtf16(copy, &ignored, code_page);
  std::free(copy);
  return result;
}

int ParseTrackNumber(const uint16_t* text) {
  const uint16_t* p = text;
  auto byte = [](uint16_t unit) { return static_cast<uint8_t>(unit & 0xFF); };
  while (byte(*p) == ' ' || (byte(*p) >= '\t' && byte(*p) <= '\r')) ++p;
  bool negative = false;
  if (byte(*p) == '+' || byte(*p) == '-') {
    negative = byte(*p) == '-';
    ++p;
  }
  // The C library reads a long and saturates on overflow; atoi then keeps
  // the low 32 bits.
  const uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
  uint64_t value = 0;
  bool overflow = false;
  for (; byte(*p) >= '0' && byte(*p) <= '9'; ++p) {
    uint64_t digit = byte(*p) - '0';
    if (!overflow && value > (limit - digit) / 10) overflow = true;
    if (!overflow) value = value * 10 + digit;
  }
  if (overflow) value = limit;
  uint64_t as_long = negative ? (~value + 1) : value;
  return static_cast<int>(static_cast<uint32_t>(as_long));
}

}  // namespace qv

// Reads the texts of the first LIST chunk of a WAVE or RMP3 file. Nothing in
// here fails the file: trouble only ends the reading, and what was stored
// before stays.
//
// File header:
//   offset  size  field
//   0       4     "RIFF"
//   4       4     RIFF size (not used)
//   8       4     form type, "WAVE" or "RMP3"
//
// Chunk header (top level and inside LIST; integers little-endian):
//   0       4     chunk ID
//   4       4     content size, header not counted; an odd size is followed
//                 by one pad byte
//
// LIST content:
//   0       4     list type (not examined: every list is read as INFO)
//   4       ...   sub-chunks, each 8-bit text in the tag language's code page
//                 ended by a zero byte or by the end of the sub-chunk
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/file_door.h"
#include "tags/tag_file.h"
#include "tags/tag_readers.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

struct Chunk {
  uint8_t id[4];
  uint32_t size;
};

bool IsId(const uint8_t (&id)[4], const char (&name)[5]) {
  return std::memcmp(id, name, 4) == 0;
}

// 1 read, 0 the file ended first, -1 a failed read.
int ReadChunkHeader(int fd, Chunk* chunk) {
  uint8_t head[8];
  int64_t n = TagRead(fd, head, sizeof head);
  if (n < 0) return -1;
  if (n < 8) return 0;
  std::memcpy(chunk->id, head, 4);
  chunk->size = LoadLe32(std::span<const uint8_t>(head), 4);
  return 1;
}

// The text sub-chunks and the field each fills.
struct InfoText {
  char id[5];
  size_t capacity;
  uint16_t* TrackTags::*field;
};
constexpr InfoText kInfoTexts[] = {
    {"IPRD", kAlbumBytes, &TrackTags::Album}, {"INAM", kTitleBytes, &TrackTags::Title},
    {"ISBJ", kTitleBytes, &TrackTags::Title}, {"IART", kArtistBytes, &TrackTags::Artist},
    {"IGNR", kGenreBytes, &TrackTags::Genre},
};

// The field a sub-chunk fills, or null.
uint16_t* InfoField(const uint8_t (&id)[4], TrackTags* record, size_t* capacity) {
  for (const InfoText& info : kInfoTexts) {
    if (!IsId(id, info.id)) continue;
    uint16_t* field = record->*info.field;
    // The subject stands in for a missing name only.
    if (IsId(id, "ISBJ") && (field == nullptr || field[0] != 0)) return nullptr;
    *capacity = info.capacity;
    return field;
  }
  return nullptr;
}

bool IsInfoText(const uint8_t (&id)[4]) {
  for (const InfoText& info : kInfoTexts) {
    if (IsId(id, info.id)) return true;
  }
  return false;
}

// Reads a text sub-chunk of `size` bytes (its pad byte, when the file has
// it, comes along) and stores it, or only surveys it when a survey is given.
// The size was checked against the list and the file before, so the block
// is never larger than the file.
bool StoreInfoText(int fd, uint32_t size, uint32_t pad, uint16_t* field, size_t capacity,
                   const char* code_page, CodePageSurvey* survey) {
  const size_t want = static_cast<size_t>(size) + pad;
  char* block = static_cast<char*>(std::malloc(want + 1));
  if (block == nullptr) return false;
  int64_t n = TagRead(fd, block, want);
  if (n < static_cast<int64_t>(size)) {
    std::free(block);
    return false;
  }
  block[n] = 0;
  if (survey) {
    SurveyText(survey, block, static_cast<size_t>(n), false);
    std::free(block);
    return n == static_cast<int64_t>(want);
  }
  int32_t length = 0;
  Utf16String text = CodePageToUtf16(block, &length, code_page);
  std::free(block);
  if (text) StoreTagText(field, capacity, text.get(), Utf16Len(text.get()));
  return n == static_cast<int64_t>(want);
}

// Walks the sub-chunks of a LIST whose content (`size` bytes) starts at
// `pos`; returns the offset where the reading ended.
int64_t ReadInfoList(int fd, uint64_t pos, uint32_t size, uint64_t file_size, TrackTags* record,
                     const char* code_page, CodePageSurvey* survey) {
  uint8_t list_type[4];
  if (size < 4 || TagRead(fd, list_type, 4) != 4) return static_cast<int64_t>(pos);
  pos += 4;
  uint64_t used = 4;
  while (used < size) {
    Chunk sub;
    if (ReadChunkHeader(fd, &sub) != 1) break;
    pos += 8;
    used += 8;
    if (IsId(sub.id, "IID3")) break;
    // A sub-chunk that claims more than its list or the file holds ends the
    // reading before anything is reserved for it. The pad byte of the last
    // sub-chunk is often missing, so it is not held against either.
    const uint64_t list_left = used <= size ? size - used : 0;
    const uint64_t file_left = pos <= file_size ? file_size - pos : 0;
    if (sub.size > list_left || sub.size > file_left) break;
    const uint32_t pad = sub.size & 1;
    size_t capacity = 0;
    uint16_t* field = survey ? nullptr : InfoField(sub.id, record, &capacity);
    if (survey ? IsInfoText(sub.id) : field != nullptr) {
      if (!StoreInfoText(fd, sub.size, pad, field, capacity, code_page, survey)) break;
    } else if (TagSeek(fd, static_cast<int64_t>(sub.size) + pad, SEEK_CUR) < 0) {
      break;
    }
    pos += sub.size + pad;
    used += sub.size + pad;
  }
  return static_cast<int64_t>(pos);
}

// Reads the first LIST into the record, or only surveys its texts when a
// survey is given.
int64_t WalkRiff(int fd, uint32_t file_size, TrackTags* record, const char* code_page,
                 CodePageSurvey* survey) {
  if (TagSeek(fd, 0, SEEK_SET) < 0) return -1;
  uint8_t head[12];
  if (TagRead(fd, head, sizeof head) != 12) return 0;
  const std::span<const uint8_t> bytes(head);
  const bool wave = HasTag(bytes, 8, "WAVE");
  if (!HasTag(bytes, 0, "RIFF") || !(wave || HasTag(bytes, 8, "RMP3"))) return 0;
  uint64_t pos = 12;
  for (;;) {
    Chunk chunk;
    if (ReadChunkHeader(fd, &chunk) != 1) break;
    pos += 8;
    if (IsId(chunk.id, "LIST"))
      return ReadInfoList(fd, pos, chunk.size, file_size, record, code_page, survey);
    const bool skippable =
        IsId(chunk.id, "data") || (wave && (IsId(chunk.id, "fmt ") || IsId(chunk.id, "fact")));
    if (!skippable) break;
    // Audio data that runs to the end of the file leaves no room for a list.
    if (IsId(chunk.id, "data") && pos + chunk.size >= file_size) break;
    const uint64_t skip = static_cast<uint64_t>(chunk.size) + (chunk.size & 1);
    if (pos > file_size || skip > file_size - pos) break;
    if (TagSeek(fd, static_cast<int64_t>(skip), SEEK_CUR) < 0) break;
    pos += skip;
  }
  return static_cast<int64_t>(pos);
}

}  // namespace

int64_t ReadRiffTags(int fd, uint32_t file_size, TrackTags* record, const char* code_page) {
  return WalkRiff(fd, file_size, record, code_page, nullptr);
}

void SurveyRiffTags(int fd, uint32_t file_size, CodePageSurvey* survey) {
  WalkRiff(fd, file_size, nullptr, nullptr, survey);
}

}  // namespace qv

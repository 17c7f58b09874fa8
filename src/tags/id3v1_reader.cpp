// ID3v1: the last 128 bytes of the file.
//
//   offset  size  field
//        0     3  "TAG"
//        3    30  title (8-bit text in the tag language's code page)
//       33    30  artist
//       63    30  album
//       93     4  year (not used)
//       97    30  comment (not used), except:
//      125     1    zero when the next byte is a track number
//      126     1    track number
//      127     1  genre number, an index into GenreNames
#include <unistd.h>

#include <cstring>

#include "platform/file_door.h"
#include "tags/tag_readers.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr int kTagBytes = 128;

// Converts a text of at most max_bytes (it ends earlier at a zero byte) and
// copies as many units as the source had bytes; the field was cleared before
// the readers ran, so it stays terminated.
void PutCodePageText(uint16_t* field, const uint8_t* bytes, size_t max_bytes,
                     const char* code_page) {
  if (!field) return;
  char text[32] = {};
  std::memcpy(text, bytes, max_bytes);
  int32_t length = 0;
  Utf16String converted = CodePageToUtf16(text, &length, code_page);
  if (converted) Utf16NCopy(field, converted.get(), static_cast<size_t>(length) / 2);
}

}  // namespace

int ReadId3v1Tag(int fd, uint32_t file_size, TrackTags* record, const char* code_page) {
  if (file_size <= kTagBytes) return 0;
  if (Files().Seek(fd, -kTagBytes, SEEK_END) < 0) return -1;
  uint8_t tag[kTagBytes];
  if (ReadFully(fd, tag, kTagBytes) != kTagBytes) return -1;
  if (std::memcmp(tag, "TAG", 3) != 0) return 0;

  PutCodePageText(record->Title, tag + 3, 30, code_page);
  PutCodePageText(record->Artist, tag + 33, 30, code_page);
  PutCodePageText(record->Album, tag + 63, 30, code_page);
  if (tag[125] == 0) record->TrackNumber = tag[126];
  const char* genre = GenreNames[tag[127]];
  PutCodePageText(record->Genre, reinterpret_cast<const uint8_t*>(genre), std::strlen(genre),
                  code_page);
  return kTagBytes;
}

}  // namespace qv

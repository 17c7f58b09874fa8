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
#include "tags/id3_parts.h"
#include "tags/tag_file.h"
#include "tags/tag_readers.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

// Converts a text of at most max_bytes (it ends earlier at a zero byte) as
// CodePageToUtf16 does, "?" for a text the code page cannot convert, and
// copies as many units as the source had bytes; the field was cleared before
// the readers ran, so it stays terminated. The work stays on the stack: this
// runs for every file of a job. keep_whole: a text that fills its field
// and ends with half a character loses that half instead of becoming "?".
void PutCodePageText(uint16_t* field, const uint8_t* bytes, size_t max_bytes, const char* code_page,
                     bool keep_whole) {
  if (!field) return;
  char text[32] = {};
  std::memcpy(text, bytes, max_bytes);
  size_t n = std::strlen(text);
  if (n == 0) return;
  uint16_t converted[32] = {};
  int32_t cap = static_cast<int32_t>(n + 1);
  if (keep_whole && n == kId3v1TextBytes) {
    const int64_t whole = WholeCharacterBytes(text, n, code_page);
    if (whole > 0) text[whole] = 0;
  }
  if (IconvToUtf16(converted, text, cap, code_page) < 0) {
    std::memset(converted, 0, sizeof(converted));
    IconvToUtf16(converted, "?", cap, code_page);
  }
  Utf16NCopy(field, converted, n);
}

}  // namespace

int ApplyId3v1Tag(const uint8_t* tag, TrackTags* record, const char* code_page, bool keep_whole) {
  if (std::memcmp(tag, "TAG", 3) != 0) return 0;
  for (size_t at : {size_t{3}, size_t{33}, size_t{63}}) {
    uint16_t* field = at == 3 ? record->Title : at == 33 ? record->Artist : record->Album;
    PutCodePageText(field, tag + at, kId3v1TextBytes, code_page, keep_whole);
  }
  if (tag[125] == 0) record->TrackNumber = tag[126];
  const char* genre = GenreNames[tag[127]];
  PutCodePageText(record->Genre, reinterpret_cast<const uint8_t*>(genre), std::strlen(genre),
                  code_page, false);
  return static_cast<int>(kId3v1Bytes);
}

void SurveyId3v1Tag(const uint8_t* tag, CodePageSurvey* survey) {
  if (std::memcmp(tag, "TAG", 3) != 0) return;
  for (size_t at : {size_t{3}, size_t{33}, size_t{63}}) {
    const char* text = reinterpret_cast<const char*>(tag + at);
    SurveyText(survey, text, kId3v1TextBytes, true);
  }
}

int ReadId3v1Tag(int fd, uint32_t file_size, TrackTags* record, const char* code_page) {
  const int64_t tag_bytes = static_cast<int64_t>(kId3v1Bytes);
  if (file_size <= kId3v1Bytes) return 0;
  if (TagSeek(fd, -tag_bytes, SEEK_END) < 0) return -1;
  uint8_t tag[kId3v1Bytes];
  if (TagRead(fd, tag, kId3v1Bytes) != tag_bytes) return -1;
  return ApplyId3v1Tag(tag, record, code_page);
}

}  // namespace qv

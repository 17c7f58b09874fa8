// The per-file reader: opens one audio file, runs its format readers in a
// fixed order (later sources overwrite earlier ones), tidies the texts and
// sets the path relative to the drive root.
#include "tags/track_tags.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_door.h"
#include "platform/path_encoding.h"
#include "tags/default_tag_language.h"
#include "tags/id3_parts.h"
#include "tags/tag_file.h"
#include "tags/tag_readers.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr int32_t kPathWorkUnits = 2080;
constexpr size_t kMaxPathBytes = 1023;
constexpr size_t kMaxRelativeUnits = kPathBytes / 2 - 1;
constexpr size_t kGenreUnits = kGenreBytes / 2 - 1;

// The file type by the path's extension, ASCII letters compared without
// regard to case; kFileTypeNone when the extension is not one we read.
uint8_t ClassifyPath(const char* path, size_t length) {
  char tail[6] = {};
  size_t take = length < 5 ? length : 5;
  for (size_t i = 0; i < take; ++i) {
    char c = path[length - take + i];
    tail[5 - take + i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  const char* last4 = tail + 1;
  if (take >= 4) {
    if (std::memcmp(last4, ".MP3", 4) == 0) return kFileTypeMp3;
    if (std::memcmp(last4, ".M4A", 4) == 0) return kFileTypeM4a;
    if (std::memcmp(last4, ".MP4", 4) == 0) return kFileTypeMp4;
    if (std::memcmp(last4, ".AAC", 4) == 0) return kFileTypeAac;
    if (std::memcmp(last4, ".WAV", 4) == 0) return kFileTypeWav;
    if (std::memcmp(last4, ".AIF", 4) == 0) return kFileTypeAiff;
  }
  if (take == 5 && std::memcmp(tail, ".AIFF", 5) == 0) return kFileTypeAiff;
  return kFileTypeNone;
}

void ResetRecord(TrackTags* record) {
  if (record->Genre) std::memset(record->Genre, 0, kGenreBytes);
  if (record->Artist) std::memset(record->Artist, 0, kArtistBytes);
  if (record->Album) std::memset(record->Album, 0, kAlbumBytes);
  if (record->Title) std::memset(record->Title, 0, kTitleBytes);
  record->TrackNumber = 0xFFFF;
  record->Reserved3 = 0xFFFF;
  record->FileSize = 0xFFFFFFFFu;
  record->Reserved1 = 0xFFFFFFFFu;
  record->Reserved2 = 0xFFFFFFFFu;
  record->Reserved4AndFileType = 0x00FFFFFFu;
}

void TrimTrailingSpaces(uint16_t* text) {
  if (!text) return;
  size_t n = Utf16Len(text);
  while (n > 0 && text[n - 1] == 0x0020) text[--n] = 0;
}

// A genre made only of characters below "A" is read as a list of ID3v1
// genre numbers: "(17)(20)" becomes "Rock,Alternative".
void ExpandNumericGenre(uint16_t* genre) {
  if (!genre || genre[0] == 0) return;
  for (const uint16_t* p = genre; *p != 0; ++p) {
    if (*p >= 0x41) return;
  }
  uint16_t list[kGenreUnits + 1] = {};
  size_t list_len = 0;
  const uint16_t* p = genre;
  while (*p != 0) {
    if (*p < '0' || *p > '9') {
      ++p;
      continue;
    }
    uint32_t value = 0;  // wraps like the original 32-bit counter
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + (*p - '0');
    if (value > 255) continue;
    const char* name = GenreNames[value];
    size_t comma = list_len > 0 ? 1 : 0;
    size_t name_len = std::strlen(name);
    if (list_len + comma + name_len > kGenreUnits) continue;
    if (comma) list[list_len++] = ',';
    for (size_t i = 0; i < name_len; ++i) list[list_len++] = static_cast<uint8_t>(name[i]);
  }
  std::memcpy(genre, list, sizeof(list));
}

// Closes the file and passes on the result.
int CloseWith(int fd, int result) {
  Files().Close(fd);
  return result;
}

}  // namespace

void StoreTagText(uint16_t* field, size_t capacity, const uint16_t* text, size_t n) {
  if (!field || capacity < 2) return;
  if (2 * n + 2 <= capacity) {
    std::memcpy(field, text, 2 * n);
    field[n] = 0;
  } else {
    size_t keep = capacity / 2 - 1;
    std::memcpy(field, text, 2 * keep);
    field[keep] = 0;
  }
}

void FinishTrackTags(TrackTags* record) {
  TrimTrailingSpaces(record->Genre);
  TrimTrailingSpaces(record->Artist);
  TrimTrailingSpaces(record->Album);
  TrimTrailingSpaces(record->Title);
  ExpandNumericGenre(record->Genre);
}

namespace {

// Reads the file in code_page, or, when choose is given, in the code page
// that the file's 8-bit texts were most likely written in, which *choose
// then receives (null for plain ASCII); fallback_language is preferred where
// the texts do not tell.
int ReadTrackTagsIn(const char* path, TrackTags* record, const char* code_page,
                    int fallback_language, const char** choose) {
  ResetRecord(record);
  if (choose) *choose = nullptr;
  size_t path_len = std::strlen(path);
  if (path_len > kMaxPathBytes) return -1;
  // The type needs no I/O: a name we do not read is not opened at all.
  uint8_t type = ClassifyPath(path, path_len);
  if (type == kFileTypeNone) return -1;
  int64_t file_size = 0;
  int fd = OpenRegularFile(path, O_RDONLY, 0, &file_size);
  if (fd < 0) return -1;
  TagFileScope file(fd, file_size);
  record->SetFileType(type);
  if (type == kFileTypeAiff) {
    int64_t size = TagSeek(fd, 0, SEEK_END);
    if (size < 0) return CloseWith(fd, -1);
    record->FileSize = static_cast<uint32_t>(size);
    return CloseWith(fd, 1);
  }

  // The file is read front to back, the ID3v2 tag at its start and then the
  // ID3v1 tag at its end, in as few calls as a reader can make; ID3v1 is
  // still applied first, so that ID3v2 overwrites what it gave.
  Id3v2Block v2;
  if (ReadId3v2Block(fd, &v2) < 0) return CloseWith(fd, -1);
  const int64_t v1_bytes = static_cast<int64_t>(kId3v1Bytes);
  int64_t size;
  int64_t v1_at = TagSeek(fd, -v1_bytes, SEEK_END);
  if (v1_at >= 0) {
    size = v1_at + v1_bytes;
  } else {
    // Only a file shorter than a tag may refuse that seek.
    size = TagSeek(fd, 0, SEEK_END);
    if (size < 0 || size >= v1_bytes) return CloseWith(fd, -1);
  }
  record->FileSize = static_cast<uint32_t>(size);
  // The size's low 32 bits decide, as they do for the record.
  const bool v1_present = record->FileSize > kId3v1Bytes;
  uint8_t tag[kId3v1Bytes];
  if (v1_present && TagRead(fd, tag, kId3v1Bytes) != v1_bytes) return CloseWith(fd, -1);
  if (choose) {
    CodePageSurvey survey;
    if (v1_present) SurveyId3v1Tag(tag, &survey);
    SurveyId3v2Block(v2, &survey);
    // The RIFF texts come last from the file but count as much; the walk
    // below seeks back to the same place.
    if (type == kFileTypeWav && TagSeek(fd, Id3v2End(v2), SEEK_SET) == Id3v2End(v2)) {
      SurveyRiffTags(fd, static_cast<uint32_t>(size), &survey);
    }
    *choose = ChooseCodePage(survey, fallback_language);
    // Plain ASCII reads alike in all of them.
    code_page = *choose ? *choose : CodePageTable[2];
  }
  const int v1 = v1_present ? ApplyId3v1Tag(tag, record, code_page, choose != nullptr) : 0;
  ApplyId3v2Block(v2, record, code_page);
  bool found = v1 > 0 || v2.found;
  if (type == kFileTypeMp3 || type == kFileTypeAac) {
    Files().Close(fd);
    if (found) FinishTrackTags(record);
    return 1;
  }

  int64_t v2_end = Id3v2End(v2);
  if (TagSeek(fd, v2_end, SEEK_SET) != v2_end) return CloseWith(fd, -1);
  if (type == kFileTypeWav) {
    ReadRiffTags(fd, static_cast<uint32_t>(size), record, code_page);
    Files().Close(fd);
    FinishTrackTags(record);
    return 1;
  }
  Mp4Result walk = ReadMp4Tags(fd, static_cast<uint32_t>(size), record);
  Files().Close(fd);
  if (walk == Mp4Result::kFailed) return -1;
  if (walk == Mp4Result::kCompleted) FinishTrackTags(record);
  return 1;
}

}  // namespace

int ReadTrackTags(const char* path, TrackTags* record, const char* code_page) {
  return ReadTrackTagsIn(path, record, code_page, 0, nullptr);
}

int ReadTrackTagsChoosing(const char* path, TrackTags* record, int fallback_language,
                          const char** code_page) {
  const char* chosen = nullptr;
  return ReadTrackTagsIn(path, record, nullptr, fallback_language, code_page ? code_page : &chosen);
}

int GetTrackTags(const char* path, TrackTags* record, int tag_language, const char* drive_root) {
  return GetTrackTagsReporting(path, record, tag_language, drive_root, nullptr);
}

int GetTrackTagsReporting(const char* path, TrackTags* record, int tag_language,
                          const char* drive_root, const char** code_page) {
  if (code_page)
    *code_page = tag_language >= 0 && tag_language < kTagLanguageCount ? CodePageTable[tag_language]
                                                                       : nullptr;
  if (tag_language < 0 || tag_language > kTagLanguageAuto) return 2;
  uint16_t full[kPathWorkUnits];
  uint16_t root[kPathWorkUnits];
  // A name that is not valid in the path encoding cannot be stored or found
  // again, so the file is not read.
  if (IconvToUtf16(full, path, kPathWorkUnits, kPathEncoding) < 0) return 2;
  if (IconvToUtf16(root, drive_root, kPathWorkUnits, kPathEncoding) < 0) return 2;
  size_t full_len = Utf16Len(full);
  size_t root_len = Utf16Len(root);

  size_t name_at = 0;
  for (size_t i = full_len; i > 1; --i) {
    if (full[i - 1] == '/') {
      name_at = i;
      break;
    }
  }
  // The relative path keeps the root's final "/"; it is never taken from
  // beyond the converted path.
  size_t rel_at = root_len > 0 ? root_len - 1 : 0;
  if (rel_at > full_len) return 2;
  size_t rel_len = full_len - rel_at;
  if (rel_len > kMaxRelativeUnits) return 2;

  if (tag_language == kTagLanguageAuto) {
    // Where the texts do not tell, the user's own language is the better bet.
    static const int locale_language = DefaultTagLanguage();
    if (ReadTrackTagsChoosing(path, record, locale_language, code_page) != 1) return 2;
  } else if (ReadTrackTags(path, record, CodePageTable[tag_language]) != 1) {
    return 2;
  }

  if (record->Title && record->Title[0] == 0) {
    Utf16NCopy(record->Title, full + name_at, kTitleBytes / 2 - 1);
    record->Title[kTitleBytes / 2 - 1] = 0;
  }
  if (record->Path) {
    std::memcpy(record->Path, full + rel_at, 2 * rel_len);
    record->Path[rel_len] = 0;
  }
  return 0;
}

}  // namespace qv

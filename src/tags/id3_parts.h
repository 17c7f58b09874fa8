// The ID3 readers in two steps, reading bytes and applying them to a record,
// so that the per-file reader can read a file front to back in as few calls
// as possible and still apply ID3v1 before ID3v2.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tags/track_tags.h"

namespace qv {

inline constexpr size_t kId3v1Bytes = 128;
inline constexpr size_t kId3v1TextBytes = 30;  // title, artist, album

struct CodePageSurvey;

// An ID3v2 tag in memory, not yet applied.
struct Id3v2Block {
  bool found = false;  // the file begins with "ID3"
  int code = 0;        // (major * 10 + revision) % 256
  bool extended = false;
  const uint8_t* body = nullptr;  // the bytes of the tag that were read
  size_t size = 0;
  bool own = false;  // body is a block of its own, not the thread's
  ~Id3v2Block();
};

// Reads the 10-byte header at the file's current position and, when it is
// an ID3v2 header, the tag body: 1, or -1 when a read failed or returned
// fewer than 10 header bytes.
int ReadId3v2Block(int fd, Id3v2Block* block);

// The file offset after the tag (10 + body bytes read), 0 without a tag.
int64_t Id3v2End(const Id3v2Block& block);

// Walks the frames of a tag of a known version into the record.
void ApplyId3v2Block(const Id3v2Block& block, TrackTags* record, const char* code_page);

// Adds the 8-bit texts of every text frame to the survey.
void SurveyId3v2Block(const Id3v2Block& block, CodePageSurvey* survey);

// Applies the last 128 bytes of a file: 128 when they are an ID3v1 tag, else 0.
// keep_whole: a text that fills its 30 bytes and ends with half a character
// loses that half rather than becoming "?".
int ApplyId3v1Tag(const uint8_t* tag, TrackTags* record, const char* code_page,
                  bool keep_whole = false);

// Adds the title, artist and album of an ID3v1 tag to the survey.
void SurveyId3v1Tag(const uint8_t* tag, CodePageSurvey* survey);

}  // namespace qv

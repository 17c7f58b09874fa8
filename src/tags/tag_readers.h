// The format readers that ReadTrackTags runs on an open file, in this order:
// ID3v1, ID3v2, then MP4 atoms or RIFF chunks by file type. Each overwrites
// the fields its source carries.
#pragma once

#include <cstdint>

#include "tags/track_tags.h"

namespace qv {

// 128 tag read; 0 no tag; -1 a seek or read failed.
int ReadId3v1Tag(int fd, uint32_t file_size, TrackTags* record, const char* code_page);

// The file offset just after the tag when an ID3v2 header was found; 0 no tag;
// -1 failure.
int64_t ReadId3v2Tag(int fd, TrackTags* record, const char* code_page);

enum class Mp4Result { kFailed, kStopped, kCompleted };

// Walks moov/udta/meta/ilst from the current file position with the file size
// as byte budget.
Mp4Result ReadMp4Tags(int fd, uint32_t budget, TrackTags* record);

// Reads the first LIST chunk of a WAVE or RMP3 file; never fails the file, so
// its result is not looked at.
int64_t ReadRiffTags(int fd, uint32_t file_size, TrackTags* record, const char* code_page);

struct CodePageSurvey;
// Adds the texts of the first LIST chunk to the survey, storing nothing.
void SurveyRiffTags(int fd, uint32_t file_size, CodePageSurvey* survey);

}  // namespace qv

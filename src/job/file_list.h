// The process-wide table of audio files found on the drive: the scan appends,
// the job and the progress display read entries below the published count.
#pragma once

#include <cstdint>

namespace qv {

inline constexpr int32_t kFileListCapacity = 150000;

// Zeroes the table; called once at launch.
void FileListInit();
// Appends a heap copy of path: 0, or -1 when the table is full (nothing is
// written past its slots) or the copy cannot be made.
int FileListAdd(const char* path);
// Entry index; callers pass only indexes below the count they were given.
const char* FileListGet(int32_t index);
// Frees every entry and empties the table; only while nobody reads it.
void FileListClear();
int32_t FileListCount();

}  // namespace qv

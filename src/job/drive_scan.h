// The drive scan: a depth-first walk of the drive that appends every audio
// file to the FileList while the job consumes them, skipping hidden entries,
// recycle-bin folders and anything deeper than seven folders below the root.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job_state.h"

namespace qv {

inline constexpr int32_t kDeepestLevel = 8;  // the root is level 1
inline constexpr int32_t kScanFileLimit = 150000;
inline constexpr size_t kScanPathBytes = 2080;  // terminator included
inline constexpr size_t kDesktopIniPathBytes = 2048;
inline constexpr size_t kRecycleMarkerBytes = 63;

enum ScanResult : int32_t { kScanStop = 0, kScanCarryOn = 1 };

// Upper-cases a NUL-terminated byte string in place, byte by byte.
char* ToUpperInPlace(char* text);
// Whether a file name ends, ignoring ASCII case, in an audio suffix.
bool MatchesAudioExtension(const char* name);
// 0 when the directory holds the recycle-bin marker (skip it), else non-zero.
int32_t WindowsTrasheChecker(const char* path);

// Walks path (no trailing "/") at level, appending to the FileList and
// publishing through state.FindCount. A folder that cannot be opened is
// passed over; only a confirmed cancel stops the walk (kScanStop).
ScanResult searchDirectorySub(JobState& state, const char* path, int32_t level);

// A folder the walk could not open, with the errno of the failure. The list
// keeps the first kSkippedFolderLimit of them (a drive with thousands would
// otherwise grow it without bound) and counts the rest.
struct SkippedFolder {
  std::string path;
  int error_number;
};
inline constexpr size_t kSkippedFolderLimit = 1000;
// Emptied at each job start; written by the scan thread, read by the front
// end after the job has ended.
void ClearSkippedFolders();
const std::vector<SkippedFolder>& SkippedFolders();
// How many folders could not be opened, listed or not.
size_t SkippedFolderCount();
// Audio files found past the kScanFileLimit-th, which the job leaves out.
size_t LeftOutFileCount();

}  // namespace qv

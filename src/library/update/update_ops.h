// The update operations, in calling order: open the library on the drive,
// match every found file, drop gone tracks, add the queued files, and finish.
// Results are the engine codes: 0 success, 2 the file cannot be read, 3 data
// error, 4 write error. They work on the process's one build, like the create
// operations.
#pragma once

#include <cstdint>

namespace qv {

// Room for the full path of a queued file, terminator included.
inline constexpr uint32_t kPendingPathBytes = 2080;

int OpenLibraryForUpdate(const char* drive_path, uint32_t file_system_kind);
int MatchFoundFile(const char* file_path, const char* drive_path);
// MatchFoundFile in two halves, so that files can be opened and sized ahead
// of the matching on other threads: the size of a found file, or -1 when it
// cannot be opened or sized (touches no engine state), and the match of a
// file of that size, in FileList order.
int64_t FoundFileSize(const char* file_path);
int MatchSizedFile(const char* file_path, uint32_t file_size);
int ApplyRemovals();
uint32_t UpdateChangeFlags();
uint32_t PendingAdditionCount();
// Reads the next queued file into full_path (kPendingPathBytes): the drive
// root followed by the file's relative path. The job appends it to its file
// list.
int LoadPendingAddition(const char* drive_path, char* full_path);
// Adds the queued file at file_path as a create job adds a file.
int AddPendingFile(const char* file_path, int tag_language);
int FlushUpdateBuild(int added, int final_flag);
int FinishUpdate();
void CloseUpdate();

}  // namespace qv

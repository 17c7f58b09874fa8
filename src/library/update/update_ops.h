// The update operations the job calls, in calling order: open the library on
// the drive, match every found file, drop gone tracks, add the queued files,
// and finish. Results are the engine codes: 0 success, 2 the file cannot be
// read, 3 data error, 4 write error.
#pragma once

#include <cstdint>

namespace qv {

int OpenLibraryForUpdate(const char* drive_path, uint32_t file_system_kind);
int MatchFoundFile(const char* file_path, const char* drive_path);
int ApplyRemovals();
uint32_t UpdateChangeFlags();
uint32_t PendingAdditionCount();
int LoadPendingAddition(const char* drive_path);
int AddPendingFile(const char* drive_path, int tag_language, uint32_t file_list_index,
                   uint32_t file_system_kind);
int FlushUpdateBuild(int added, int final_flag);
int FinishUpdate();
void CloseUpdate();

}  // namespace qv

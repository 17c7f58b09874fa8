// The engine operations a job calls, as a table of function pointers bound by
// default to the library engine, so that a test can script any step to fail.
#pragma once

#include <cstdint>

#include "tags/track_tags.h"

namespace qv {

struct JobEngine {
  // Create.
  int (*OpenBuild)(const char* drive_path, uint32_t file_system_kind);
  int (*AddFileToBuild)(const char* file_path, int tag_language);
  // The two halves of AddFileToBuild, for tags read on other threads.
  int (*ReadTags)(const char* file_path, TrackTags* tags, int tag_language, const char* drive_root);
  int (*AddTagsToBuild)(const TrackTags* tags);
  int (*FlushBuild)(int final_flag);
  int (*FinishBuild)();
  void (*CloseBuild)();
  // Update.
  int (*OpenLibraryForUpdate)(const char* drive_path, uint32_t file_system_kind);
  int (*MatchFoundFile)(const char* file_path, const char* drive_path);
  // Its two halves, for files opened ahead on other threads: the size into
  // tags->FileSize (0, or 2 when the file cannot be opened or sized), with
  // the arguments of ReadTags; then the match of a file of that size.
  int (*SizeFoundFile)(const char* file_path, TrackTags* tags, int tag_language,
                       const char* drive_root);
  int (*MatchSizedFile)(const char* file_path, uint32_t file_size);
  int (*ApplyRemovals)();
  uint32_t (*UpdateChangeFlags)();
  uint32_t (*PendingAdditionCount)();
  int (*LoadPendingAddition)(const char* drive_path);
  int (*AddPendingFile)(const char* drive_path, int tag_language, uint32_t index,
                        uint32_t file_system_kind);
  int (*FlushUpdateBuild)(int added, int final_flag);
  int (*FinishUpdate)();
  void (*CloseUpdate)();
  // The engine's library check, which the backup and the drive check share.
  int (*CheckExistingLibrary)(const char* drive_path, uint32_t kind);
  // Every structural rule of the library on the drive (root with "/"): 0
  // sound, 1 a file cannot be read, 2 damaged; the fault is noted.
  int (*CheckLibrary)(const char* drive_root, uint32_t kind);
  // The flag the engine raises while it writes out a full batch.
  void (*SetFlushInProgress)(int32_t value);
  int32_t (*IsFlushInProgress)();
};

// The table bound to the library engine.
JobEngine LibraryEngine();

// UpdateChangeFlags bit: files were queued for addition.
inline constexpr uint32_t kChangeQueuedAdditions = 2;

}  // namespace qv

#include "job/job_engine.h"

#include "job/backup.h"
#include "job/file_list.h"
#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/update/update_ops.h"

namespace qv {

namespace {

// The engine reads the queued files back; the job keeps them in its file list.
int LoadPendingIntoFileList(const char* drive_path) {
  char path[kPendingPathBytes];
  const int r = LoadPendingAddition(drive_path, path);
  if (r != kEngineOk) return r;
  return FileListAdd(path) == 0 ? kEngineOk : kEngineBuildFailed;
}

int AddFromFileList(const char*, int tag_language, uint32_t index, uint32_t) {
  if (index >= static_cast<uint32_t>(FileListCount())) return kEngineBuildFailed;
  return AddPendingFile(FileListGet(static_cast<int32_t>(index)), tag_language);
}

int SizeFoundFile(const char* file_path, TrackTags* tags, int, const char*) {
  const int64_t size = FoundFileSize(file_path);
  if (size < 0) return kEngineUnreadable;
  tags->FileSize = static_cast<uint32_t>(size);
  return kEngineOk;
}

}  // namespace

JobEngine LibraryEngine() {
  JobEngine e{};
  e.OpenBuild = OpenBuild;
  e.AddFileToBuild = AddFileToBuild;
  e.ReadTags = GetTrackTags;
  e.AddTagsToBuild = AddTagsToBuild;
  e.FlushBuild = FlushBuild;
  e.FinishBuild = FinishBuild;
  e.CloseBuild = CloseBuild;
  e.OpenLibraryForUpdate = OpenLibraryForUpdate;
  e.MatchFoundFile = MatchFoundFile;
  e.SizeFoundFile = SizeFoundFile;
  e.MatchSizedFile = MatchSizedFile;
  e.ApplyRemovals = ApplyRemovals;
  e.UpdateChangeFlags = UpdateChangeFlags;
  e.PendingAdditionCount = PendingAdditionCount;
  e.LoadPendingAddition = LoadPendingIntoFileList;
  e.AddPendingFile = AddFromFileList;
  e.FlushUpdateBuild = FlushUpdateBuild;
  e.FinishUpdate = FinishUpdate;
  e.CloseUpdate = CloseUpdate;
  e.CheckExistingLibrary = CheckExistingLibrary;
  e.CheckLibrary = CheckLibraryOnDrive;
  e.SetFlushInProgress = SetFlushInProgress;
  e.IsFlushInProgress = IsFlushInProgress;
  return e;
}

}  // namespace qv

#include "job/job_engine.h"

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/update/update_ops.h"

namespace qv {

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
  e.ApplyRemovals = ApplyRemovals;
  e.UpdateChangeFlags = UpdateChangeFlags;
  e.PendingAdditionCount = PendingAdditionCount;
  e.LoadPendingAddition = LoadPendingAddition;
  e.AddPendingFile = AddPendingFile;
  e.FlushUpdateBuild = FlushUpdateBuild;
  e.FinishUpdate = FinishUpdate;
  e.CloseUpdate = CloseUpdate;
  e.CheckExistingLibrary = CheckExistingLibrary;
  e.SetFlushInProgress = SetFlushInProgress;
  e.IsFlushInProgress = IsFlushInProgress;
  return e;
}

}  // namespace qv

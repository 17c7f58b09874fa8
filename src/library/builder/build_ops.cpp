// The five operations a create job calls, on the process's one build. All
// memory of a build is reserved here when it opens and given back when it
// closes; nothing is allocated per track.
#include <cstring>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "platform/zeroed_memory.h"

namespace qv {
namespace {

// Reservations come zeroed and unmapped from the kernel: a small job
// touches only the pages it writes, and nothing clears a block first.
template <typename T>
T* Reserve(size_t bytes) {
  return static_cast<T*>(ReserveZeroed(bytes));
}

LibraryBuilder* LiveBuilder() {
  LibraryBuilder* b = TheBuildContext().builder;
  RequireLiveBuilder(b);
  return b;
}

// Sorts and merges the batch for every category, writes it to the track
// list and starts the next batch: 0, 3 or 4.
int SpillBatch(LibraryBuilder* b, int final_flag) {
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    // An empty batch has nothing to sort: a create on a drive without audio
    // files still writes its empty library.
    if (b->batch_tracks > 0 && SortBatch(b, c) != 1) return kEngineBuildFailed;
    if (MergeBatch(b, b->batch_tracks, final_flag) != 1) return kEngineBuildFailed;
  }
  if (WriteTrackPages(b) != 1) return kEngineWriteFailed;
  ResetBatch(b);
  return kEngineOk;
}

}  // namespace

int ReserveBuild(const char* drive_path) {
  BuildContext& ctx = TheBuildContext();
  // One build at a time: whatever an earlier build left reserved goes back.
  CloseBuild();
  ctx.spilled = 0;
  size_t length = drive_path == nullptr ? kDrivePathBytes : std::strlen(drive_path);
  bool needs_slash = length == 0 || drive_path[length - 1] != '/';
  if (length + (needs_slash ? 1 : 0) >= kDrivePathBytes) return kEngineBuildFailed;
  ctx.record_buffer = Reserve<uint8_t>(kRecordBufferBytes);
  ctx.drive_record = Reserve<DriveRecord>(sizeof(DriveRecord));
  ctx.sort_stack = Reserve<uint8_t>(kSortStackBytes);
  ctx.builder = Reserve<LibraryBuilder>(sizeof(LibraryBuilder));
  if (ctx.drive_record != nullptr) {
    std::memcpy(ctx.drive_record->drive_path, drive_path, length);
    if (needs_slash) ctx.drive_record->drive_path[length] = '/';
    ctx.drive_record->page_buffer = Reserve<uint8_t>(kPageBufferBytes);
    ctx.drive_record->page_buffer_size = kPageBufferBytes;
  }
  if (ctx.record_buffer == nullptr || ctx.drive_record == nullptr ||
      ctx.drive_record->page_buffer == nullptr || ctx.sort_stack == nullptr ||
      ctx.builder == nullptr) {
    return kEngineBuildFailed;
  }
  ctx.builder->magic = 0;
  return kEngineOk;
}

int OpenBuild(const char* drive_path, uint32_t file_system_kind) {
  if (ReserveBuild(drive_path) != kEngineOk) return kEngineBuildFailed;
  BuildContext& ctx = TheBuildContext();
  if (InitLibraryBuilder(ctx.builder, ctx.record_buffer, kRecordBufferBytes, ctx.drive_record,
                         ctx.sort_stack, kSortStackBytes, file_system_kind) != 1) {
    ctx.builder->magic = 0;
    return kEngineBuildFailed;
  }
  return kEngineOk;
}

int AddTagsToBuild(const TrackTags* tags) {
  LibraryBuilder* b = LiveBuilder();
  int added = AddTrackRecord(b, tags);
  if (added == 0 || added == 2) return kEngineOk;
  TheBuildContext().spilled = 1;
  SetFlushInProgress(1);
  int result = SpillBatch(b, 0);
  SetFlushInProgress(0);
  return result;
}

int AddFileToBuild(const char* file_path, int tag_language) {
  LibraryBuilder* b = LiveBuilder();
  // A full library takes no more tracks; the file counts as skipped.
  if (b->total_tracks >= kMaxTracks) return kEngineUnreadable;
  TrackTagsStorage storage;
  if (GetTrackTags(file_path, &storage.tags, tag_language, b->drive_path) != 0) {
    return kEngineUnreadable;
  }
  return AddTagsToBuild(&storage.tags);
}

int FlushBuild(int final_flag) {
  LibraryBuilder* b = LiveBuilder();
  if (b->batch_tracks == 0 && b->tracks_on_disk > 0) {
    // The last file filled a batch and its spill emptied it: the tracks on
    // disk still need their final merge for the name ids and totals.
    for (uint16_t c = kGenre; c <= kTitle; ++c) {
      b->current_category = c;
      if (MergeBatch(b, 0, final_flag) != 1) return kEngineBuildFailed;
    }
    return kEngineOk;
  }
  return SpillBatch(b, final_flag);
}

int FinishBuild() {
  LibraryBuilder* b = LiveBuilder();
  if (TheBuildContext().spilled != 0 && FinishTrackList(b) != 1) return kEngineBuildFailed;
  for (uint16_t c = kGenre; c <= kAlbum; ++c) {
    if (BuildCategoryTree(b, c) != 1) return kEngineBuildFailed;
  }
  if (WriteBrowseFiles(b) != 1) return kEngineWriteFailed;
  return kEngineOk;
}

void CloseBuild() {
  BuildContext& ctx = TheBuildContext();
  if (ctx.builder != nullptr && ctx.builder->magic == kBuilderLive)
    ReleaseLibraryBuilder(ctx.builder);
  if (ctx.drive_record != nullptr) ReleaseZeroed(ctx.drive_record->page_buffer, kPageBufferBytes);
  ReleaseZeroed(ctx.drive_record, sizeof(DriveRecord));
  ReleaseZeroed(ctx.builder, sizeof(LibraryBuilder));
  ReleaseZeroed(ctx.sort_stack, kSortStackBytes);
  ReleaseZeroed(ctx.record_buffer, kRecordBufferBytes);
  ctx.builder = nullptr;
  ctx.record_buffer = nullptr;
  ctx.drive_record = nullptr;
  ctx.sort_stack = nullptr;
}

}  // namespace qv

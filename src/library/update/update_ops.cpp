// The update operations the job calls. They share the create job's build
// (its reservations and builder, started in update mode) and its insertion,
// merge and writers; the steps of their own are in the other files of this
// folder.
#include "library/update/update_ops.h"

#include <fcntl.h>
#include <strings.h>

#include <cstring>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "library/update/update_internal.h"
#include "platform/file_door.h"
#include "platform/path_encoding.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr int32_t kPathWorkUnits = 2080;

LibraryBuilder* LiveBuilder() {
  LibraryBuilder* b = TheBuildContext().builder;
  RequireLiveBuilder(b);
  return b;
}

// The QVTA.LST code of a found file's type, from the end of its name.
uint32_t FoundFileType(const char* path) {
  static const struct {
    const char* ending;
    uint32_t code;
  } kTypes[] = {{".mp3", 1},  {".m4a", 2},  {".aac", 3},  {".mp4", 4},
                {".wav", 12}, {".aif", 13}, {".aiff", 13}};
  size_t length = std::strlen(path);
  for (const auto& type : kTypes) {
    size_t n = std::strlen(type.ending);
    if (length >= n && strncasecmp(path + length - n, type.ending, n) == 0) return type.code;
  }
  return 0;
}

}  // namespace

int OpenLibraryForUpdate(const char* drive_path, uint32_t file_system_kind) {
  if (ReserveBuild(drive_path) != kEngineOk) return kEngineBuildFailed;
  BuildContext& ctx = TheBuildContext();
  LibraryBuilder* b = ctx.builder;
  if (InitLibraryBuilderForUpdate(b, ctx.record_buffer, kRecordBufferBytes, ctx.drive_record,
                                  ctx.sort_stack, kSortStackBytes, file_system_kind) != 1) {
    b->magic = 0;
    return kEngineBuildFailed;
  }
  // The queue of an interrupted job goes first (the library paths need the
  // live builder).
  RemovePendingFile(b);
  if (LoadTrackIndex(b) != 1) return kEngineBuildFailed;
  if (int r = CreatePendingFile(b); r != 1)
    return r == kPendingWriteFailed ? kEngineWriteFailed : kEngineBuildFailed;
  if (LoadCategoryLists(b) != 1 || LoadIndexStatistics(b) != 1) return kEngineBuildFailed;
  return kEngineOk;
}

// A FIFO or device put in a file's place is no audio file and must not block
// the job.
int64_t FoundFileSize(const char* file_path) {
  int64_t size = -1;
  int fd = OpenRegularFile(file_path, O_RDONLY, 0, &size);
  if (fd < 0) return -1;
  Files().Close(fd);
  return size;
}

int MatchFoundFile(const char* file_path, const char*) {
  RequireLiveBuilder(TheBuildContext().builder);
  int64_t size = FoundFileSize(file_path);
  if (size < 0) return kEngineUnreadable;
  return MatchSizedFile(file_path, static_cast<uint32_t>(size));
}

int MatchSizedFile(const char* file_path, uint32_t file_size) {
  LibraryBuilder* b = LiveBuilder();
  // The relative path keeps the root's final "/". A file outside the root, a
  // name not valid in the path encoding, or a path too long to be stored
  // cannot be a track, as in a create job.
  size_t root = std::strlen(b->drive_path);
  if (root == 0 || std::strncmp(file_path, b->drive_path, root) != 0) return kEngineUnreadable;
  uint16_t path[kPathWorkUnits];
  if (IconvToUtf16(path, file_path + root - 1, kPathWorkUnits, kPathEncoding) < 0)
    return kEngineUnreadable;
  if (Utf16Len(path) > kPathKeyUnits - 1) return kEngineUnreadable;
  uint32_t type = FoundFileType(file_path);
  if (int r = MatchTrackPath(b, path, file_size, type); r != 1)
    return r == kPendingWriteFailed ? kEngineWriteFailed : kEngineBuildFailed;
  return kEngineOk;
}

int ApplyRemovals() {
  LibraryBuilder* b = LiveBuilder();
  EndMatching(b);
  if (b->update.pending_bytes > 0 && WritePendingEntries(b) != 1) return kEngineWriteFailed;
  if (b->update.loaded_track_count != b->total_tracks) b->update.change_flags |= kChangeTracksGone;
  if (b->update.change_flags == 0) return kEngineOk;
  if ((b->update.change_flags & kChangeTracksGone) != 0 && RemoveGoneTracks(b) != 1)
    return kEngineBuildFailed;
  return RegroupCategories(b) == 1 ? kEngineOk : kEngineBuildFailed;
}

uint32_t UpdateChangeFlags() {
  return LiveBuilder()->update.change_flags;
}

uint32_t PendingAdditionCount() {
  return LiveBuilder()->update.pending_entry_count;
}

int LoadPendingAddition(const char*, char* full_path) {
  LibraryBuilder* b = LiveBuilder();
  uint16_t path[kPathKeyUnits + 1];
  if (ReadPendingEntry(b, path) != 1) return kEngineBuildFailed;
  // The drive path ends in "/" and the relative path begins with one.
  size_t root = std::strlen(b->drive_path) - 1;
  std::memcpy(full_path, b->drive_path, root);
  if (IconvFromUtf16(full_path + root, path, static_cast<int32_t>(kPendingPathBytes - 1 - root),
                     kPathEncoding) < 0) {
    LogUpdateFailure(kSiteReadPending, 5);
    return kEngineBuildFailed;
  }
  return kEngineOk;
}

int AddPendingFile(const char* file_path, int tag_language) {
  return AddFileToBuild(file_path, tag_language);
}

int FlushUpdateBuild(int added, int final_flag) {
  LibraryBuilder* b = LiveBuilder();
  ClosePendingReads(b);
  if (added == 0) {
    b->update.change_flags &= ~kChangeFilesQueued;
    return kEngineOk;
  }
  int r = FlushBuild(final_flag);
  if (r == kEngineOk && final_flag != 0) b->update.names_stale = 0;
  return r;
}

int FinishUpdate() {
  LibraryBuilder* b = LiveBuilder();
  if (b->update.change_flags == 0) return kEngineOk;
  if (NumberRegroupedNames(b) != 1 || FinishTrackList(b) != 1) return kEngineBuildFailed;
  for (uint16_t c = kGenre; c <= kAlbum; ++c) {
    if (BuildCategoryTree(b, c) != 1) return kEngineBuildFailed;
  }
  if (WriteBrowseFiles(b) != 1) return kEngineWriteFailed;
  return kEngineOk;
}

void CloseUpdate() {
  LibraryBuilder* b = TheBuildContext().builder;
  if (b != nullptr && b->magic == kBuilderLive) {
    EndMatching(b);
    RemovePendingFile(b);
  }
  CloseBuild();
}

}  // namespace qv

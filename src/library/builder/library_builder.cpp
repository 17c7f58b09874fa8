// The process-wide build state, the error log, and the builder's life cycle.
#include "library/builder/library_builder.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

BuildContext g_context{};
ErrorLog g_error_log{};
// Written by the job thread around a spill, polled by the progress thread.
std::atomic<int32_t> g_flush_in_progress{0};

void ZeroFields(LibraryBuilder* b, size_t from, size_t to) {
  std::memset(reinterpret_cast<uint8_t*>(b) + from, 0, to - from);
}

bool IsAligned4(const void* p) {
  return (reinterpret_cast<uintptr_t>(p) & 3u) == 0;
}

}  // namespace

BuildContext& TheBuildContext() {
  return g_context;
}
ErrorLog& TheErrorLog() {
  return g_error_log;
}

void SetFlushInProgress(int32_t value) {
  g_flush_in_progress.store(value, std::memory_order_release);
}
int32_t IsFlushInProgress() {
  return g_flush_in_progress.load(std::memory_order_acquire);
}

void ResetErrorLog(ErrorLog* log) {
  std::memset(log, 0, sizeof(*log));
}

void AppendErrorLog(ErrorLog* log, uint32_t module, uint32_t site, uint32_t detail) {
  if (log->count >= kErrorLogCapacity) return;
  log->entries[log->count] = ErrorLogEntry{module, site, detail};
  ++log->count;
}

void RequireLiveBuilder(const LibraryBuilder* b) {
  if (b != nullptr && b->magic == kBuilderLive) return;
  std::fprintf(stderr, "library builder used while not live\n");
  std::abort();
}

int InitLibraryBuilder(LibraryBuilder* b, uint8_t* record_buffer, uint32_t record_buffer_size,
                       DriveRecord* drive, uint8_t* sort_stack, uint32_t sort_stack_size,
                       uint32_t file_system_kind) {
  if (b == nullptr || record_buffer == nullptr || !IsAligned4(record_buffer) || drive == nullptr ||
      !IsAligned4(drive)) {
    return 0;
  }
  // A buffer that cannot hold one record of the largest size would be
  // overrun by the first track.
  if (record_buffer_size < kMaxRecordBytes + 4) return 0;
  // Only the small fields start as zero. The per-track tables are written
  // before they are read (a track's own entries when it is added, a tree's
  // nodes when it is built), so a job touches no more of them than it uses.
  ZeroFields(b, 0, offsetof(LibraryBuilder, batch_records));
  ZeroFields(b, offsetof(LibraryBuilder, name_bytes), offsetof(LibraryBuilder, batch_order));
  ZeroFields(b, offsetof(LibraryBuilder, scratch_page), offsetof(LibraryBuilder, batch_ranks));
  ZeroFields(b, offsetof(LibraryBuilder, ranked_batch), sizeof(LibraryBuilder));
  b->record_buffer_base = record_buffer;
  b->record_buffer_size = record_buffer_size;
  b->file_system_kind = file_system_kind;
  for (int c = 0; c < kCategoryCount; ++c) b->category_lists[c] = b->list_storage[c];
  b->merge_list = b->list_storage[4];
  for (int r = 0; r < 6; ++r) {
    b->node_regions[r] = &b->nodes[kNodeRegionStart[r]];
    // An empty level ends at its first node.
    std::memset(b->node_regions[r], 0xFF, sizeof(CategoryNode));
  }
  b->page_buffer = drive->page_buffer;
  b->page_buffer_size = drive->page_buffer_size;
  if (b->page_buffer == nullptr || !IsAligned4(b->page_buffer) || sort_stack == nullptr ||
      !IsAligned4(sort_stack) || sort_stack_size < kSortStackBytes) {
    return 0;
  }
  b->sort_low = reinterpret_cast<uint32_t*>(sort_stack);
  b->sort_high = reinterpret_cast<uint32_t*>(sort_stack + kSortStackBytes / 2);
  b->flags = kFlagStatistics;
  std::memcpy(b->drive_path, drive->drive_path, kDrivePathBytes);
  b->drive_path[kDrivePathBytes - 1] = '\0';
  b->record_cursor = b->record_buffer_base;
  b->track_file = -1;
  b->magic = kBuilderLive;
  ResetErrorLog(&g_error_log);
  b->initialised = 1;
  return 1;
}

void PrepareTrackEntries(LibraryBuilder* b, uint32_t track) {
  for (int k = 0; k < 3; ++k) b->name_ids[k][track] = kNoId;
  for (int r = 0; r < 5; ++r) b->list_storage[r][track] = track;
}

int ReleaseLibraryBuilder(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  b->magic = kBuilderReleased;
  return 1;
}

}  // namespace qv

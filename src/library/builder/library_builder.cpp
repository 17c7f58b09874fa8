// The process-wide build state, the error log, and the builder's life cycle.
#include "library/builder/library_builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

BuildContext g_context{};
ErrorLog g_error_log{};
// Written by the job thread around a spill, polled by the progress thread.
std::atomic<int32_t> g_flush_in_progress{0};

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
  std::memset(b, 0, sizeof(*b));
  b->record_buffer_base = record_buffer;
  b->record_buffer_size = record_buffer_size;
  b->file_system_kind = file_system_kind;
  for (int c = 0; c < kCategoryCount; ++c) b->category_lists[c] = b->list_storage[c];
  b->merge_list = b->list_storage[4];
  for (int r = 0; r < 6; ++r) b->node_regions[r] = &b->nodes[kNodeRegionStart[r]];
  std::memset(b->nodes, 0xFF, sizeof(b->nodes));
  std::memset(b->name_ids, 0xFF, sizeof(b->name_ids));
  for (int c = 0; c < kCategoryCount; ++c) {
    for (uint32_t i = 0; i < kMaxTracks; ++i) b->list_storage[c][i] = i;
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

int ReleaseLibraryBuilder(LibraryBuilder* b) {
  RequireLiveBuilder(b);
  b->magic = kBuilderReleased;
  return 1;
}

}  // namespace qv

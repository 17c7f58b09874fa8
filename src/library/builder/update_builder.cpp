// The builder of an update job: the same builder as a create job's, with the
// presence bytes of the loaded library carved from the front of the record
// buffer.
#include <cstring>

#include "library/builder/library_builder.h"

namespace qv {

int InitLibraryBuilderForUpdate(LibraryBuilder* b, uint8_t* record_buffer,
                                uint32_t record_buffer_size, DriveRecord* drive,
                                uint8_t* sort_stack, uint32_t sort_stack_size,
                                uint32_t file_system_kind) {
  // The presence bytes and at least one largest record must fit.
  if (record_buffer == nullptr || record_buffer_size < kMaxTracks + kMaxRecordBytes + 4) return 0;
  // The presence bytes start as zero because the buffer does (ReserveBuild
  // takes it zeroed from the kernel): clearing them here would touch every
  // page of them, where a small library uses a few.
  if (InitLibraryBuilder(b, record_buffer + kMaxTracks, record_buffer_size - kMaxTracks, drive,
                         sort_stack, sort_stack_size, file_system_kind) != 1) {
    return 0;
  }
  b->flags |= kFlagUpdateMode | kFlagStatistics;
  b->batches_written = 1;
  b->record_cursor = b->record_buffer_base;
  std::memset(&b->update, 0, sizeof(b->update));
  b->update.presence = record_buffer;
  b->update.pending_file = -1;
  return 1;
}

}  // namespace qv

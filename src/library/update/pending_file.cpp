// The pending-additions file QVTA.LST: the found files that are not in the
// library yet, queued during the scan and read back in the same order once
// the gone tracks are dropped. A plain run of entries with no file header:
//
// Entry
//   offset         size  field
//   0              4     entry size: 12 + text record size + path record size
//   4              4     size of the audio file
//   8              4     file-type code (1 MP3, 2 M4A, 3 AAC, 4 MP4, 12 WAV,
//                        13 AIFF, 0 other)
//   12             12    text record, always the empty text: record size 12,
//                        text length + 1 = 1, then 4 zero bytes
//   24             P     path record
//
// Path record (B: path bytes without terminator, at most 512)
//   0              4     record size P: B + 523 with the bits of value 512, 2
//                        and 1 cleared (8 + B rounded up to 4 up to B = 500,
//                        520 + B rounded up to 4 above)
//   4              4     B
//   8              ...   the path relative to the drive root, UTF-16LE, in the
//                        case found on the drive, zero padding to the end
//
// Entries are staged in the page buffer and written in runs at the end of the
// file; reading keeps its own offset.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

#include "library/builder/utf16_text.h"
#include "library/files/library_files.h"
#include "library/update/update_internal.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace qv {
namespace {

constexpr uint32_t kEntryHeadBytes = 12;
constexpr uint32_t kTextRecordBytes = 12;
constexpr uint32_t kPathHeadBytes = 8;
constexpr uint32_t kMaxPathBytes = 2 * kPathKeyUnits;
constexpr uint32_t kEntryReadBytes = 1052;
// A staged run is written once less than a page's room is left.
constexpr uint32_t kStagingReserve = 2048;

uint32_t PathRecordBytes(uint32_t path_bytes) {
  return (path_bytes + 523) & ~(512u | 2u | 1u);
}

}  // namespace

int CreatePendingFile(LibraryBuilder* b) {
  // A file left by an interrupted job must not pass for this job's queue.
  int fd = OpenLibraryFile(b, kPendingFileName, O_RDWR | O_CREAT | O_TRUNC, 0777);
  if (fd < 0) return LogUpdateFailure(kSiteCreatePending, 1), kPendingWriteFailed;
  int64_t end = Files().Seek(fd, 0, SEEK_END);
  Files().Close(fd);
  if (end != 0) return LogUpdateFailure(kSiteCreatePending, 2);
  b->update.pending_read_offset = 0;
  return 1;
}

int QueuePendingFile(LibraryBuilder* b, const uint16_t* path, uint32_t file_size, uint32_t type) {
  uint32_t path_bytes = Utf16ByteLength(path, kMaxPathBytes);
  uint32_t record = PathRecordBytes(path_bytes);
  uint32_t size = kEntryHeadBytes + kTextRecordBytes + record;
  std::span<uint8_t> entry(b->page_buffer + b->update.pending_bytes, size);
  std::memset(entry.data(), 0, size);
  StoreLe32(entry, 0, size);
  StoreLe32(entry, 4, file_size);
  StoreLe32(entry, 8, type);
  StoreLe32(entry, 12, kTextRecordBytes);
  StoreLe32(entry, 16, 1);
  uint32_t at = kEntryHeadBytes + kTextRecordBytes;
  StoreLe32(entry, at, record);
  StoreLe32(entry, at + 4, path_bytes);
  for (uint32_t i = 0; i < path_bytes / 2; ++i)
    StoreLe16(entry, at + kPathHeadBytes + 2 * i, path[i]);
  b->update.pending_bytes += size;
  ++b->update.pending_entry_count;
  b->update.change_flags |= kChangeFilesQueued;
  if (b->update.pending_bytes > b->page_buffer_size - kStagingReserve)
    return WritePendingEntries(b);
  return 1;
}

int WritePendingEntries(LibraryBuilder* b) {
  int fd = OpenLibraryFile(b, kPendingFileName, O_RDWR | O_CREAT, 0777);
  if (fd < 0) return LogUpdateFailure(kSiteWritePending, 1), kPendingWriteFailed;
  errno = 0;
  bool written = Files().Seek(fd, 0, SEEK_END) >= 0 &&
                 WriteFully(fd, b->page_buffer, b->update.pending_bytes) ==
                     static_cast<int64_t>(b->update.pending_bytes);
  const int error = errno;
  Files().Close(fd);
  if (!written) {
    // A short write with no error is a full drive.
    NoteLibraryFileFailure(b, kPendingFileName, error != 0 ? error : ENOSPC, -1, "");
    return LogUpdateFailure(kSiteWritePending, 2), kPendingWriteFailed;
  }
  b->update.pending_bytes = 0;
  return 1;
}

int ReadPendingEntry(LibraryBuilder* b, uint16_t* path) {
  // The queue is read back entry by entry, all before the first addition:
  // one open serves them all (ClosePendingReads ends it).
  if (b->update.pending_file < 0)
    b->update.pending_file = OpenLibraryFile(b, kPendingFileName, O_RDWR, 0);
  int fd = b->update.pending_file;
  if (fd < 0) return LogUpdateFailure(kSiteReadPending, 1);
  const int64_t got =
      Files().ReadAt(fd, b->scratch_page, kEntryReadBytes, b->update.pending_read_offset);
  if (got <= static_cast<int64_t>(kEntryHeadBytes + kTextRecordBytes))
    return LogUpdateFailure(kSiteReadPending, 2);
  // The file is this job's own, but every size in it is still a claim.
  std::span<const uint8_t> entry(b->scratch_page, static_cast<size_t>(got));
  uint32_t size = LoadLe32(entry, 0);
  uint32_t text = LoadLe32(entry, kEntryHeadBytes);
  uint32_t room = static_cast<uint32_t>(got) - kEntryHeadBytes;
  if (text < kTextRecordBytes || text > room || room - text < kPathHeadBytes)
    return LogUpdateFailure(kSiteReadPending, 3);
  uint32_t at = kEntryHeadBytes + text;
  uint32_t path_bytes = LoadLe32(entry, at + 4);
  if (path_bytes > kMaxPathBytes || path_bytes % 2 != 0 ||
      path_bytes > room - text - kPathHeadBytes || size < at + kPathHeadBytes + path_bytes)
    return LogUpdateFailure(kSiteReadPending, 4);
  for (uint32_t i = 0; i < path_bytes / 2; ++i)
    path[i] = LoadLe16(entry, at + kPathHeadBytes + 2 * i);
  path[path_bytes / 2] = 0;
  b->update.pending_read_offset += size;
  return 1;
}

void ClosePendingReads(LibraryBuilder* b) {
  if (b->update.pending_file >= 0) Files().Close(b->update.pending_file);
  b->update.pending_file = -1;
}

void RemovePendingFile(LibraryBuilder* b) {
  ClosePendingReads(b);
  RemoveLibraryFile(b, kPendingFileName);  // a file that is not there is the normal case
}

}  // namespace qv

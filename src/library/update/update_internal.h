// The steps of an update job below its operations: loading the library on the
// drive, the path index and matching, the pending-additions file, and the
// removal and regrouping. Steps return 1 for success and -1 (or 0 where said)
// for failure after an ErrorLog entry; a file found damaged is also noted
// for the front end with its path, offset and cause.
#pragma once

#include <cstdint>

#include "library/builder/library_builder.h"

namespace qv {

// ErrorLog sites of the update steps.
inline constexpr uint32_t kSiteLoadTrackIndex = 0x5429000d;
inline constexpr uint32_t kSiteCreatePending = 0x5429000e;
inline constexpr uint32_t kSiteLoadCategoryLists = 0x5429000f;
inline constexpr uint32_t kSiteMatchFoundFile = 0x54290010;
inline constexpr uint32_t kSiteRemoveGoneTracks = 0x54290011;
inline constexpr uint32_t kSiteRegroup = 0x54290013;
inline constexpr uint32_t kSiteReadPending = 0x54290015;
inline constexpr uint32_t kSiteLoadStatistics = 0x54290016;
inline constexpr uint32_t kSiteStatisticsChunks = 0x54290017;
inline constexpr uint32_t kSiteWritePending = 0x54290018;

// What a step returns when writing the pending-additions file failed: the
// library's own files are being written, not read.
inline constexpr int kPendingWriteFailed = -2;

// Path keys hold at most this many units before their terminator.
inline constexpr uint32_t kPathKeyUnits = 256;

int LogUpdateFailure(uint32_t site, uint32_t detail);
// Logs the failure, notes the library file `name` as damaged at `offset` for
// `what`, and returns -1.
int DamagedLibraryFile(const LibraryBuilder* b, const char* name, uint64_t offset, const char* what,
                       uint32_t site, uint32_t detail);

// A forward-only view of a file through a fixed buffer: Fetch makes at least
// `want` bytes from `offset` on available when the file holds them.
struct FileWindow {
  int fd;
  uint8_t* buffer;
  uint32_t capacity;
  uint64_t start;
  uint32_t length;
};
// The bytes from `offset` that the window holds after a refill if needed (at
// most `want` unless more are already held), in *available; null when the read
// failed.
const uint8_t* FetchWindow(FileWindow* w, uint64_t offset, uint32_t want, uint32_t* available);

// Loading (from OpenLibraryForUpdate).
int LoadTrackIndex(LibraryBuilder* b);
int LoadCategoryLists(LibraryBuilder* b);
int LoadIndexStatistics(LibraryBuilder* b);

// The path index at the start of the record buffer, whose chain heads start
// empty because an update's buffer arrives zeroed.
void IndexTrackPath(LibraryBuilder* b, uint32_t track, const uint16_t* path, uint32_t page_offset);
// Marks the first unmatched library track with this relative path as present,
// or queues the path as a pending addition: 1, or -1.
int MatchTrackPath(LibraryBuilder* b, const uint16_t* path, uint32_t file_size, uint32_t type);
// Gives back the QVTL.DB descriptor that matching keeps open.
void EndMatching(LibraryBuilder* b);

// QVTA.LST.
int CreatePendingFile(LibraryBuilder* b);
int QueuePendingFile(LibraryBuilder* b, const uint16_t* path, uint32_t file_size, uint32_t type);
int WritePendingEntries(LibraryBuilder* b);
// Reads the next entry's relative path into path (kPathKeyUnits + 1 units).
int ReadPendingEntry(LibraryBuilder* b, uint16_t* path);
void RemovePendingFile(LibraryBuilder* b);
// Closes QVTA.LST after its entries were read back.
void ClosePendingReads(LibraryBuilder* b);

// After matching.
int RemoveGoneTracks(LibraryBuilder* b);
int RegroupCategories(LibraryBuilder* b);
// Numbers the names along the compacted lists when no final merge did: 1,
// or 0 / -1.
int NumberRegroupedNames(LibraryBuilder* b);

}  // namespace qv

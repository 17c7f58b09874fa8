// Where the library lives on the drive and the operations on its files. Every
// library file is opened through OpenLibraryFile, and every call goes through
// the file door.
#pragma once

#include <cstdint>

#include "library/builder/library_builder.h"

namespace qv {

inline constexpr const char* kTrackFileName = "QVTL.DB";
inline constexpr const char* kBrowseFileName = "QVBL.DB";
inline constexpr const char* kIndexFileName = "QVDB.DB";
inline constexpr const char* kCompactTrackFileName = "QVTB.DB";
inline constexpr const char* kPendingFileName = "QVTA.LST";

// The track list's layout, shared by its writer, the merge that reads keys
// back and the update's loader and removal pass: a 16-byte file header, then
// per track a 48-byte page head and string chunks with 24-byte heads, each
// page within one 2,048-byte read.
inline constexpr uint32_t kTrackFileHeadBytes = 16;
inline constexpr uint32_t kTrackPageHeadBytes = 48;
inline constexpr uint32_t kTrackChunkHeadBytes = 24;
inline constexpr uint32_t kTrackPageReadBytes = 2048;
// Room kept free in the page buffer: the file header area and one page read.
inline constexpr uint32_t kPageStagingReserve = kTrackFileHeadBytes + kTrackPageReadBytes;
// A path is stored whole on every kPathRestart-th track; the others share
// their leading units with the previous track's path.
inline constexpr uint32_t kPathRestart = 20;

// FileSystemKind.
inline constexpr uint32_t kFileSystemOther = 0;
inline constexpr uint32_t kFileSystemFat = 1;
inline constexpr uint32_t kFileSystemHfs = 2;

// The folder at the drive's root that holds the library directory: hidden
// on HFS, where a leading dot is what hides a name.
const char* TopDirectoryName(uint32_t kind);

// Assembles drive_path + library directory (+ "/" + name when name is not
// null) into out (512 bytes): 1, or 0 when it would not fit.
int LibraryPath(char* out, const char* drive_path, uint32_t kind, const char* name);

// Keeps a failed call on the library file name as the job's last file
// failure, for the line after the error alert: error_number of the call, or
// 0 with the offset and reason of damage found in the file. A short write
// without an error counts as a full disk.
void NoteLibraryFileFailure(const LibraryBuilder* b, const char* name, int error_number,
                            int64_t offset = -1, const char* reason = "");

int OpenLibraryFile(LibraryBuilder* b, const char* name, int flags, unsigned mode);
int CheckExistingLibrary(const char* drive_path, uint32_t kind);
int RemoveLibraryFile(LibraryBuilder* b, const char* name);
int RenameLibraryFile(LibraryBuilder* b, int fd, const char* old_name, const char* new_name);
int SeekLibraryFile(LibraryBuilder* b, int fd, int32_t offset, int origin);
uint32_t ReadLibraryItems(LibraryBuilder* b, void* buffer, uint32_t item_size, uint32_t count,
                          int fd);
uint32_t WriteLibraryItems(LibraryBuilder* b, const void* buffer, uint32_t item_size,
                           uint32_t count, int fd);

// QVTL.DB: 1 written / done, 0 or -1 failure.
int WriteTrackPages(LibraryBuilder* b);
int FinishTrackList(LibraryBuilder* b);

// QVBL.DB and QVDB.DB: 1 written, 0 failure.
int WriteBrowseFiles(LibraryBuilder* b);

}  // namespace qv

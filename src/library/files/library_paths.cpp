// Where the library lives on the drive, and the small file operations every
// library file goes through. Library files are never truncated: a writer
// that puts fewer bytes into an existing file leaves its old tail, and the
// length in the file's header bounds the valid content.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "library/files/library_files.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

constexpr size_t kPathArea = kDrivePathBytes;

constexpr const char* kLibraryDirectory = "LIBRARY";

bool Append(char* out, size_t* used, const char* text) {
  size_t n = std::strlen(text);
  if (n >= kPathArea - *used) return false;
  std::memcpy(out + *used, text, n + 1);
  *used += n;
  return true;
}

// Assembles the path of a file in the library directory, and the lengths of
// its two directory prefixes so that they can be created on the way.
bool AssemblePath(char* out, const char* drive_path, uint32_t kind, const char* name,
                  size_t* top_end, size_t* library_end) {
  size_t used = 0;
  out[0] = '\0';
  if (!Append(out, &used, drive_path) || !Append(out, &used, TopDirectoryName(kind))) return false;
  *top_end = used;
  if (!Append(out, &used, "/") || !Append(out, &used, kLibraryDirectory)) return false;
  *library_end = used;
  if (name != nullptr && (!Append(out, &used, "/") || !Append(out, &used, name))) return false;
  return true;
}

// A crafted drive may hold a link where a library directory belongs; the
// job would then write, or remove, files wherever it points. Every prefix is
// made when asked and must then be a directory itself: 0, or the errno that
// tells the user why not (a top folder that cannot be written, a file or a
// link where the folder should be).
int RealDirectoryPrefix(char* path, size_t end, bool make) {
  char kept = path[end];
  path[end] = '\0';
  int make_error = 0;
  // An existing directory is the normal case.
  if (make && Files().Mkdir(path, 0777) != 0 && errno != EEXIST) make_error = errno;
  const int error_number = IsDirectoryNoFollow(path) ? 0 : make_error != 0 ? make_error : ENOTDIR;
  path[end] = kept;
  return error_number;
}

// The path of a library file whose two directories are real ones: 1, or 0.
int SafeLibraryPath(char* out, const char* drive_path, uint32_t kind, const char* name, bool make) {
  size_t top_end = 0;
  size_t library_end = 0;
  if (!AssemblePath(out, drive_path, kind, name, &top_end, &library_end)) return 0;
  return RealDirectoryPrefix(out, top_end, make) == 0 &&
         RealDirectoryPrefix(out, library_end, make) == 0;
}

}  // namespace

const char* TopDirectoryName(uint32_t kind) {
  return kind == kFileSystemHfs ? ".QUORVEN" : "QUORVEN";
}

int LibraryPath(char* out, const char* drive_path, uint32_t kind, const char* name) {
  size_t top_end = 0;
  size_t library_end = 0;
  if (!AssemblePath(out, drive_path, kind, name, &top_end, &library_end)) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

int OpenLibraryFile(LibraryBuilder* b, const char* name, int flags, unsigned mode) {
  RequireLiveBuilder(b);
  char path[kPathArea];
  size_t top_end = 0;
  size_t library_end = 0;
  if (!AssemblePath(path, b->drive_path, b->file_system_kind, name, &top_end, &library_end)) {
    NoteFileFailure(b->drive_path, ENAMETOOLONG, -1, "");
    return -1;
  }
  size_t end = top_end;
  int error_number = RealDirectoryPrefix(path, top_end, true);
  if (error_number == 0) {
    end = library_end;
    error_number = RealDirectoryPrefix(path, library_end, true);
  }
  // Neither a link nor anything but a regular file is opened, let alone
  // given mode 0777.
  int fd = error_number == 0 ? OpenRegularFile(path, flags | O_NOFOLLOW, mode) : -1;
  if (fd < 0) {
    if (error_number == 0) {
      error_number = errno;
      end = std::strlen(path);
    }
    path[end] = '\0';
    NoteFileFailure(path, error_number, -1, "");
    return -1;
  }
  Files().Fchmod(fd, 0777);  // a failed permission change does not stop the job
  // The folders' expected EEXIST must not pass for the cause of a later
  // short read.
  errno = 0;
  return fd;
}

void NoteLibraryFileFailure(const LibraryBuilder* b, const char* name, int error_number,
                            int64_t offset, const char* reason) {
  char path[kPathArea];
  size_t top_end = 0;
  size_t library_end = 0;
  if (!AssemblePath(path, b->drive_path, b->file_system_kind, name, &top_end, &library_end))
    path[kPathArea - 1] = '\0';
  NoteFileFailure(path, error_number, offset, reason);
}

int CheckExistingLibrary(const char* drive_path, uint32_t kind) {
  static const char* const kNames[3] = {kIndexFileName, kTrackFileName, kBrowseFileName};
  for (const char* name : kNames) {
    char path[kPathArea];
    if (!SafeLibraryPath(path, drive_path, kind, name, false)) return -1;
    int fd = OpenRegularFile(path, O_RDONLY | O_NOFOLLOW, 0);
    if (fd < 0) return -1;
    Files().Close(fd);
  }
  return 0;
}

int RemoveLibraryFile(LibraryBuilder* b, const char* name) {
  RequireLiveBuilder(b);
  char path[kPathArea];
  if (!SafeLibraryPath(path, b->drive_path, b->file_system_kind, name, false)) return -1;
  return Files().Remove(path) == 0 ? 0 : -1;
}

int RenameLibraryFile(LibraryBuilder* b, int fd, const char* old_name, const char* new_name) {
  RequireLiveBuilder(b);
  Files().Close(fd);
  char from[kPathArea];
  char to[kPathArea];
  if (!SafeLibraryPath(from, b->drive_path, b->file_system_kind, old_name, false) ||
      LibraryPath(to, b->drive_path, b->file_system_kind, new_name) != 1) {
    return -1;
  }
  return Files().Rename(from, to) == 0 ? 0 : -1;
}

int SeekLibraryFile(LibraryBuilder*, int fd, int32_t offset, int origin) {
  return Files().Seek(fd, static_cast<int64_t>(offset), origin) < 0 ? -1 : 0;
}

uint32_t ReadLibraryItems(LibraryBuilder*, void* buffer, uint32_t item_size, uint32_t count,
                          int fd) {
  if (item_size == 0) return 0;
  int64_t got = Files().Read(fd, buffer, static_cast<size_t>(item_size) * count);
  if (got < 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(got) / item_size);
}

uint32_t WriteLibraryItems(LibraryBuilder*, const void* buffer, uint32_t item_size, uint32_t count,
                           int fd) {
  if (item_size == 0) return 0;
  int64_t put = Files().Write(fd, buffer, static_cast<size_t>(item_size) * count);
  if (put < 0) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(put) / item_size);
}

}  // namespace qv

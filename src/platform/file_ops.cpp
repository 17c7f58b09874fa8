#include "platform/file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/directory_door.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"

namespace qv {

// Each failed step notes its path and errno, read before any clean-up call
// can change it, so that the user learns which side of the copy failed.
bool CopyFileNoOverwrite(const char* source, const char* target) {
  FileDoor& files = Files();
  int in = OpenRegularFile(source, O_RDONLY | O_NOFOLLOW, 0);
  if (in < 0) {
    NoteFileFailure(source, errno, -1, "");
    return false;
  }
  // O_EXCL: an existing target, even a stale one or a link, fails the copy.
  // Only the owner may read it until it has the source's permissions.
  int out = files.Open(target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
  if (out < 0) {
    NoteFileFailure(target, errno, -1, "");
    files.Close(in);
    return false;
  }
  const char* failed = nullptr;
  struct stat st {};
  errno = 0;
  if (fstat(in, &st) != 0 || files.Fchmod(out, st.st_mode & 0777) != 0) failed = target;
  char buffer[65536];
  while (failed == nullptr) {
    errno = 0;
    int64_t n = files.Read(in, buffer, sizeof buffer);
    if (n < 0) {
      failed = source;
      break;
    }
    if (n == 0) break;
    errno = 0;
    if (WriteFully(out, buffer, static_cast<size_t>(n)) != n) {
      failed = target;
      break;
    }
  }
  if (failed == nullptr && files.Fsync(out) != 0) failed = target;
  int error_number = errno;
  if (files.Close(out) != 0 && failed == nullptr) {
    failed = target;
    error_number = errno;
  }
  files.Close(in);
  if (failed == nullptr) return true;
  // A write that stopped short without an error is a full disk.
  NoteFileFailure(failed, error_number != 0 ? error_number : ENOSPC, -1, "");
  files.Remove(target);
  return false;
}

bool RemovePath(const char* path) {
  return Files().Remove(path) == 0;
}

bool ListDirectory(const char* path, std::vector<std::string>* names) {
  DirectoryDoor& dirs = Directories();
  void* handle = dirs.Open(path);
  if (handle == nullptr) return false;
  DirectoryEntry entry{};
  while (dirs.Next(handle, &entry)) {
    if (std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0) continue;
    names->emplace_back(entry.name);
  }
  dirs.Close(handle);
  return true;
}

bool IsRegularFileNoFollow(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0 && S_ISREG(st.st_mode);
}

namespace {

// A trailing "/" makes the system resolve a link even where it is asked not
// to follow one, so the name is looked at without it.
std::string WithoutTrailingSlash(const char* path) {
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

}  // namespace

bool IsDirectoryNoFollow(const char* path) {
  struct stat st {};
  return lstat(WithoutTrailingSlash(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SyncDirectory(const char* path) {
  FileDoor& files = Files();
  const int fd =
      files.Open(WithoutTrailingSlash(path).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
  if (fd < 0) return false;
  const bool ok = files.Fsync(fd) == 0 || errno == EINVAL;
  files.Close(fd);
  return ok;
}

}  // namespace qv

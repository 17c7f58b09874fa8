#include "job/drive_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <string>

#include "library/files/library_files.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

// Without a trailing "/", so that a link in its place is not followed.
std::string TopDirectoryPath(const char* root, uint32_t kind) {
  return std::string(root) + TopDirectoryName(kind);
}

}  // namespace

int LockLibraryDrive(const char* root, uint32_t kind) {
  const std::string top = TopDirectoryPath(root, kind);
  FileDoor& files = Files();
  // The job would make it anyway; when it cannot, that is the cause.
  const int made = files.Mkdir(top.c_str(), 0777) == 0 ? 0 : errno;
  int fd = -1;
  if (!IsDirectoryNoFollow(top.c_str())) {
    errno = made != 0 && made != EEXIST ? made : ENOTDIR;
  } else {
    fd = files.Open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
    // The lock is the kernel's, not the door's: it changes nothing on the drive.
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  }
  const int error = errno;
  if (fd >= 0) files.Close(fd);
  NoteFileFailure(top.c_str(), error, -1,
                  error == EWOULDBLOCK ? "another job is running on this drive" : "");
  errno = error;
  return -1;
}

void UnlockLibraryDrive(int lock) {
  if (lock >= 0) Files().Close(lock);
}

bool LibraryDriveBusy(const char* root, uint32_t kind) {
  const std::string top = TopDirectoryPath(root, kind);
  if (!IsDirectoryNoFollow(top.c_str())) return false;
  const int fd = Files().Open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
  if (fd < 0) return false;
  const bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  Files().Close(fd);
  return busy;
}

}  // namespace qv

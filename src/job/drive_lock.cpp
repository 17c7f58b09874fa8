#include "job/drive_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <string>

#include "platform/file_door.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

std::string TopDirectory(const char* root, uint32_t kind) {
  return std::string(root) + (kind == 2 ? ".QUORVEN" : "QUORVEN");
}

}  // namespace

int LockLibraryDrive(const char* root, uint32_t kind) {
  const std::string top = TopDirectory(root, kind);
  FileDoor& files = Files();
  files.Mkdir(top.c_str(), 0777);  // the job would make it anyway
  if (!IsDirectoryNoFollow(top.c_str())) {
    errno = ENOTDIR;
    return -1;
  }
  const int fd = files.Open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
  if (fd < 0) return -1;
  // The lock is the kernel's, not the door's: it changes nothing on the drive.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    files.Close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void UnlockLibraryDrive(int lock) {
  if (lock >= 0) Files().Close(lock);
}

bool LibraryDriveBusy(const char* root, uint32_t kind) {
  const std::string top = TopDirectory(root, kind);
  if (!IsDirectoryNoFollow(top.c_str())) return false;
  const int fd = Files().Open(top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
  if (fd < 0) return false;
  const bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  Files().Close(fd);
  return busy;
}

}  // namespace qv

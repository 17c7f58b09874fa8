#include "platform/file_door.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace qv {
namespace {

SystemFileDoor g_system_door;
FileDoor* g_door = &g_system_door;

}  // namespace

int SystemFileDoor::Open(const char* path, int flags, unsigned mode) {
  int fd;
  do {
    fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int64_t SystemFileDoor::Read(int fd, void* buffer, size_t count) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n;
}

int64_t SystemFileDoor::ReadAt(int fd, void* buffer, size_t count, int64_t offset) {
  ssize_t n;
  do {
    n = ::pread(fd, buffer, count, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  return n;
}

int64_t SystemFileDoor::Write(int fd, const void* buffer, size_t count) {
  ssize_t n;
  do {
    n = ::write(fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  return n;
}

int64_t SystemFileDoor::Seek(int fd, int64_t offset, int whence) {
  return ::lseek(fd, static_cast<off_t>(offset), whence);
}

int SystemFileDoor::Close(int fd) {
  return ::close(fd);
}
int SystemFileDoor::Fchmod(int fd, unsigned mode) {
  return ::fchmod(fd, static_cast<mode_t>(mode));
}
int SystemFileDoor::Fsync(int fd) {
  return ::fsync(fd);
}
int SystemFileDoor::Mkdir(const char* path, unsigned mode) {
  return ::mkdir(path, static_cast<mode_t>(mode));
}
int SystemFileDoor::Remove(const char* path) {
  return std::remove(path);
}
int SystemFileDoor::Rename(const char* from, const char* to) {
  return std::rename(from, to);
}

FileDoor& Files() {
  return *g_door;
}

void SetFileDoor(FileDoor* door) {
  g_door = door ? door : &g_system_door;
}

int64_t ReadFully(int fd, void* buffer, size_t count) {
  auto* at = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    int64_t n = Files().Read(fd, at + done, count - done);
    if (n < 0) return done == 0 ? -1 : static_cast<int64_t>(done);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t WriteFully(int fd, const void* buffer, size_t count) {
  const auto* at = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    int64_t n = Files().Write(fd, at + done, count - done);
    if (n <= 0) return -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int OpenRegularFile(const char* path, int flags, unsigned mode, int64_t* size) {
  const int fd = Files().Open(path, flags | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  // A query of the descriptor just opened changes nothing on the drive, so
  // it needs no door of its own.
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Files().Close(fd);
    errno = EINVAL;
    return -1;
  }
  if (size != nullptr) *size = static_cast<int64_t>(st.st_size);
  return fd;
}

}  // namespace qv

// Every open, read, write, seek, close, permission change, sync, directory
// creation, removal and rename of the program goes through this one door, so
// that tests can swap in a door that fails the call they choose and check
// that a failed job leaves the drive as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qv {

class FileDoor {
 public:
  virtual ~FileDoor() = default;

  // The POSIX calls, with their results: a descriptor or -1, a byte count or
  // -1, a new offset or -1, 0 or -1.
  virtual int Open(const char* path, int flags, unsigned mode) = 0;
  virtual int64_t Read(int fd, void* buffer, size_t count) = 0;
  virtual int64_t Write(int fd, const void* buffer, size_t count) = 0;
  virtual int64_t Seek(int fd, int64_t offset, int whence) = 0;
  virtual int Close(int fd) = 0;
  virtual int Fchmod(int fd, unsigned mode) = 0;
  virtual int Fsync(int fd) = 0;
  virtual int Mkdir(const char* path, unsigned mode) = 0;
  virtual int Remove(const char* path) = 0;
  virtual int Rename(const char* from, const char* to) = 0;
  // A read of count bytes at offset: a Seek to it and a Read, which a door
  // that watches those calls keeps. The byte count or -1.
  virtual int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset) {
    return Seek(fd, offset, SEEK_SET) < 0 ? -1 : Read(fd, buffer, count);
  }
};

// The door of the operating system.
class SystemFileDoor : public FileDoor {
 public:
  int Open(const char* path, int flags, unsigned mode) override;
  int64_t Read(int fd, void* buffer, size_t count) override;
  int64_t Write(int fd, const void* buffer, size_t count) override;
  int64_t Seek(int fd, int64_t offset, int whence) override;
  int Close(int fd) override;
  int Fchmod(int fd, unsigned mode) override;
  int Fsync(int fd) override;
  int Mkdir(const char* path, unsigned mode) override;
  int Remove(const char* path) override;
  int Rename(const char* from, const char* to) override;
  // One call that leaves the file position where it was.
  int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset) override;
};

// The door in use; the system door unless a test installed another.
FileDoor& Files();

// Installs a door (nullptr puts the system door back). Only tests call it,
// before any job runs.
void SetFileDoor(FileDoor* door);

// Reads until count bytes arrived, the file ended or a call failed: the number
// of bytes read, or -1 when the first call failed. Regular files rarely
// return short reads, but a read that spans a signal may.
int64_t ReadFully(int fd, void* buffer, size_t count);

// Writes all count bytes; the number written, or -1 when a call failed.
int64_t WriteFully(int fd, const void* buffer, size_t count);

// Opens a file that a drive supplies. The open never waits (a FIFO or a
// device would block a reader forever) and only a regular file is kept:
// anything else is closed again and fails with EINVAL, as unreadable. The
// file's size goes to *size when size is given.
int OpenRegularFile(const char* path, int flags, unsigned mode, int64_t* size = nullptr);

}  // namespace qv

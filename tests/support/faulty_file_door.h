// A file door that passes every call to the system door but fails the one the
// test chooses: the Nth call of one operation, optionally only for paths that
// contain a given text. Install it with ScopedFileDoor.
#pragma once

#include <string>

#include "platform/file_door.h"

namespace qv::test {

enum class FileOp { kOpen, kRead, kWrite, kSeek, kClose, kFchmod, kFsync, kMkdir, kRemove, kRename, kCount };

class FaultyFileDoor : public SystemFileDoor {
 public:
  // Fails the nth (1-based) call of op from now on; 0 disarms. path_filter, when
  // not empty, limits the counting of path-taking calls (open, mkdir, remove,
  // rename) to paths containing it.
  void FailNth(FileOp op, int nth, std::string path_filter = {});
  // Fails every call of op from the nth on.
  void FailFrom(FileOp op, int nth, std::string path_filter = {});
  int Calls(FileOp op) const { return calls_[static_cast<int>(op)]; }
  bool Fired() const { return fired_; }

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

 private:
  bool ShouldFail(FileOp op, const char* path);

  int calls_[static_cast<int>(FileOp::kCount)] = {};
  FileOp op_ = FileOp::kCount;
  int nth_ = 0;
  bool sticky_ = false;
  bool fired_ = false;
  int counted_ = 0;
  std::string filter_;
};

// Installs a door for the life of the scope.
class ScopedFileDoor {
 public:
  explicit ScopedFileDoor(FileDoor* door) { SetFileDoor(door); }
  ~ScopedFileDoor() { SetFileDoor(nullptr); }
  ScopedFileDoor(const ScopedFileDoor&) = delete;
  ScopedFileDoor& operator=(const ScopedFileDoor&) = delete;
};

}  // namespace qv::test

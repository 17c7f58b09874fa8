// A file door that passes every call to the system door but fails the one the
// test chooses. Install it with ScopedFileDoor.
#pragma once

#include <atomic>
#include <string>

#include "platform/file_door.h"

namespace qv::test {

enum class FileOp { kOpen, kRead, kWrite, kSeek, kClose, kFchmod, kFsync, kMkdir, kRemove, kRename, kCount };

class FaultyFileDoor : public SystemFileDoor {
 public:
  // Fails the nth (1-based) call of op from now on; 0 disarms. path_filter, when
  // not empty, limits the counting of path-taking calls (open, mkdir, remove,
  // rename) to paths containing it. FailFrom fails every call from the nth on.
  void FailNth(FileOp op, int nth, std::string path_filter = {}, bool sticky = false);
  void FailFrom(FileOp op, int nth, std::string filter = {}) { FailNth(op, nth, filter, true); }
  int Calls(FileOp op) const { return calls_[static_cast<int>(op)]; }
  bool Fired() const { return fired_; }

  int Open(const char* p, int f, unsigned m) override { return Fail(Op::kOpen, p) ? -1 : S::Open(p, f, m); }
  int64_t Read(int fd, void* b, size_t n) override { return Fail(Op::kRead) ? -1 : S::Read(fd, b, n); }
  int64_t Write(int fd, const void* b, size_t n) override { return Fail(Op::kWrite) ? -1 : S::Write(fd, b, n); }
  int64_t Seek(int fd, int64_t o, int w) override { return Fail(Op::kSeek) ? -1 : S::Seek(fd, o, w); }
  int64_t ReadAt(int fd, void* b, size_t n, int64_t o) override { return FileDoor::ReadAt(fd, b, n, o); }
  // A failed close still releases the descriptor, as on Linux.
  int Close(int fd) override {
    const bool failed = Fail(Op::kClose);
    return S::Close(fd) != 0 || failed ? -1 : 0;
  }
  int Fchmod(int fd, unsigned m) override { return Fail(Op::kFchmod) ? -1 : S::Fchmod(fd, m); }
  int Fsync(int fd) override { return Fail(Op::kFsync) ? -1 : S::Fsync(fd); }
  int Mkdir(const char* p, unsigned m) override { return Fail(Op::kMkdir, p) ? -1 : S::Mkdir(p, m); }
  int Remove(const char* p) override { return Fail(Op::kRemove, p) ? -1 : S::Remove(p); }
  int Rename(const char* a, const char* b) override { return Fail(Op::kRename, a) ? -1 : S::Rename(a, b); }

 private:
  using Op = FileOp;
  using S = SystemFileDoor;
  bool Fail(FileOp op, const char* path = nullptr);

  // The job and scan threads call the door at once: what they count is atomic.
  std::atomic<int> calls_[static_cast<int>(FileOp::kCount)] = {};
  FileOp op_ = FileOp::kCount;  // armed before a job
  int nth_ = 0;
  bool sticky_ = false;
  std::atomic<bool> fired_ = false;
  std::atomic<int> counted_ = 0;
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

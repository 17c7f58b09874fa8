#include "support/faulty_file_door.h"

#include <cerrno>

namespace qv::test {

void FaultyFileDoor::FailNth(FileOp op, int nth, std::string path_filter) {
  op_ = op;
  nth_ = nth;
  sticky_ = false;
  fired_ = false;
  counted_ = 0;
  filter_ = std::move(path_filter);
}

void FaultyFileDoor::FailFrom(FileOp op, int nth, std::string path_filter) {
  FailNth(op, nth, std::move(path_filter));
  sticky_ = true;
}

bool FaultyFileDoor::ShouldFail(FileOp op, const char* path) {
  ++calls_[static_cast<int>(op)];
  if (op != op_ || nth_ <= 0) return false;
  if (!filter_.empty() && path != nullptr && std::string(path).find(filter_) == std::string::npos) return false;
  ++counted_;
  bool fail = sticky_ ? counted_ >= nth_ : counted_ == nth_;
  if (fail) {
    fired_ = true;
    errno = EIO;
  }
  return fail;
}

int FaultyFileDoor::Open(const char* path, int flags, unsigned mode) {
  return ShouldFail(FileOp::kOpen, path) ? -1 : SystemFileDoor::Open(path, flags, mode);
}
int64_t FaultyFileDoor::Read(int fd, void* buffer, size_t count) {
  return ShouldFail(FileOp::kRead, nullptr) ? -1 : SystemFileDoor::Read(fd, buffer, count);
}
int64_t FaultyFileDoor::Write(int fd, const void* buffer, size_t count) {
  return ShouldFail(FileOp::kWrite, nullptr) ? -1 : SystemFileDoor::Write(fd, buffer, count);
}
int64_t FaultyFileDoor::Seek(int fd, int64_t offset, int whence) {
  return ShouldFail(FileOp::kSeek, nullptr) ? -1 : SystemFileDoor::Seek(fd, offset, whence);
}
int FaultyFileDoor::Close(int fd) {
  // A failed close still releases the descriptor, as on Linux.
  bool fail = ShouldFail(FileOp::kClose, nullptr);
  int r = SystemFileDoor::Close(fd);
  return fail ? -1 : r;
}
int FaultyFileDoor::Fchmod(int fd, unsigned mode) {
  return ShouldFail(FileOp::kFchmod, nullptr) ? -1 : SystemFileDoor::Fchmod(fd, mode);
}
int FaultyFileDoor::Fsync(int fd) {
  return ShouldFail(FileOp::kFsync, nullptr) ? -1 : SystemFileDoor::Fsync(fd);
}
int FaultyFileDoor::Mkdir(const char* path, unsigned mode) {
  return ShouldFail(FileOp::kMkdir, path) ? -1 : SystemFileDoor::Mkdir(path, mode);
}
int FaultyFileDoor::Remove(const char* path) {
  return ShouldFail(FileOp::kRemove, path) ? -1 : SystemFileDoor::Remove(path);
}
int FaultyFileDoor::Rename(const char* from, const char* to) {
  return ShouldFail(FileOp::kRename, from) ? -1 : SystemFileDoor::Rename(from, to);
}

}  // namespace qv::test

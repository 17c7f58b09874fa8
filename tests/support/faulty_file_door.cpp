#include "support/faulty_file_door.h"

#include <cerrno>

namespace qv::test {

void FaultyFileDoor::FailNth(FileOp op, int nth, std::string path_filter, bool sticky) {
  op_ = op, nth_ = nth, sticky_ = sticky, fired_ = false, counted_ = 0;
  filter_ = std::move(path_filter);
}

bool FaultyFileDoor::Fail(FileOp op, const char* path) {
  ++calls_[static_cast<int>(op)];
  if (op != op_ || nth_ <= 0) return false;
  if (!filter_.empty() && path != nullptr && std::string(path).find(filter_) == std::string::npos) return false;
  const int counted = ++counted_;
  if (sticky_ ? counted < nth_ : counted != nth_) return false;
  fired_ = true;
  errno = EIO;
  return true;
}

}  // namespace qv::test

#include "tags/tag_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/file_door.h"

namespace qv {
namespace {

// Large enough for the tags of a typical file at its start, small enough
// that a fill near the end of a large file copies little more than it needs.
constexpr size_t kWindowBytes = 8192;

struct Window {
  int fd = -1;
  int64_t pos = 0;     // where the reader is
  int64_t fd_pos = 0;  // where the descriptor is
  int64_t start = 0;   // the file position of bytes[0]
  int64_t length = 0;  // bytes held
  int64_t end = 0;     // the file size
  uint8_t bytes[kWindowBytes];
};

thread_local Window t_window;

// Moves the descriptor to the reader's position: false when the seek failed.
bool PlaceDescriptor(Window* w) {
  if (w->fd_pos == w->pos) return true;
  if (Files().Seek(w->fd, w->pos, SEEK_SET) != w->pos) return false;
  w->fd_pos = w->pos;
  return true;
}

}  // namespace

TagFileScope::TagFileScope(int fd, int64_t size) {
  Window& w = t_window;
  w.fd = fd;
  w.pos = 0;
  w.fd_pos = 0;
  w.start = 0;
  w.length = 0;
  w.end = size;
}

TagFileScope::~TagFileScope() {
  t_window.fd = -1;
}

int64_t TagRead(int fd, void* buffer, size_t count) {
  Window& w = t_window;
  if (fd != w.fd || fd < 0) return ReadFully(fd, buffer, count);
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    if (w.pos >= w.start && w.pos < w.start + w.length) {
      size_t take = static_cast<size_t>(w.start + w.length - w.pos);
      if (take > count - done) take = count - done;
      std::memcpy(out + done, w.bytes + (w.pos - w.start), take);
      done += take;
      w.pos += static_cast<int64_t>(take);
      continue;
    }
    if (w.pos >= w.end) break;
    if (!PlaceDescriptor(&w)) return -1;
    // Asking for no more than the file holds spares the call that would
    // only find its end.
    uint64_t left = static_cast<uint64_t>(w.end - w.pos);
    size_t rest = count - done;
    if (rest > left) rest = static_cast<size_t>(left);
    if (rest >= kWindowBytes) {
      // A large read goes straight to its buffer.
      int64_t got = ReadFully(fd, out + done, rest);
      if (got < 0) return -1;
      done += static_cast<size_t>(got);
      w.pos += got;
      w.fd_pos = w.pos;
      if (static_cast<size_t>(got) < rest) w.end = w.pos;
      break;
    }
    size_t want = left < kWindowBytes ? static_cast<size_t>(left) : kWindowBytes;
    int64_t got = ReadFully(fd, w.bytes, want);
    if (got < 0) return -1;
    w.start = w.pos;
    w.length = got;
    w.fd_pos = w.pos + got;
    if (static_cast<size_t>(got) < want) w.end = w.fd_pos;
    if (got == 0) break;
  }
  return static_cast<int64_t>(done);
}

int64_t TagSeek(int fd, int64_t offset, int whence) {
  Window& w = t_window;
  if (fd != w.fd || fd < 0) return Files().Seek(fd, offset, whence);
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = w.pos;
  } else if (whence == SEEK_END) {
    base = w.end;
  } else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) {
    errno = EINVAL;
    return -1;
  }
  w.pos = base + offset;
  return w.pos;
}

}  // namespace qv

// The reads and seeks of the tag readers. While a file is being read for its
// tags, its reads go through a small window that each reading thread keeps:
// one read fills it, later reads inside it and seeks cost no call, and no
// read asks for more than the file's size leaves. Tags at both ends of a
// small file then cost one read in all. Descriptors other than the one being
// read pass straight through to the file door.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Makes fd, of `size` bytes, the file of this thread's window until the
// scope ends.
class TagFileScope {
 public:
  TagFileScope(int fd, int64_t size);
  ~TagFileScope();
  TagFileScope(const TagFileScope&) = delete;
  TagFileScope& operator=(const TagFileScope&) = delete;
};

// ReadFully: the bytes read (fewer when the file ended), or -1 when a call failed.
int64_t TagRead(int fd, void* buffer, size_t count);
// lseek: the new position, or -1.
int64_t TagSeek(int fd, int64_t offset, int whence);

}  // namespace qv

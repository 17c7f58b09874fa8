#include "platform/zeroed_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace qv {
namespace {

constexpr size_t kAlignment = 64;

size_t PageBytes() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// The mapping: the block's pages and one inaccessible page after them. The
// block ends where that page begins (up to its alignment), so that a write
// past its end faults at once instead of landing in a neighbouring block.
size_t MappedBytes(size_t bytes) {
  size_t page = PageBytes();
  return (bytes + page - 1) / page * page + page;
}

size_t BlockOffset(size_t bytes) {
  size_t aligned = (bytes + kAlignment - 1) / kAlignment * kAlignment;
  return MappedBytes(bytes) - PageBytes() - aligned;
}

}  // namespace

void* ReserveZeroed(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX / 2) return nullptr;
  size_t mapped = MappedBytes(bytes);
  void* map = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  auto* base = static_cast<uint8_t*>(map);
  if (mprotect(base + mapped - PageBytes(), PageBytes(), PROT_NONE) != 0) {
    munmap(map, mapped);
    return nullptr;
  }
  return base + BlockOffset(bytes);
}

void ReleaseZeroed(void* block, size_t bytes) {
  if (block == nullptr) return;
  munmap(static_cast<uint8_t*>(block) - BlockOffset(bytes), MappedBytes(bytes));
}

}  // namespace qv

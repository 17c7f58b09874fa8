#include "platform/zeroed_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace qv {
namespace {

constexpr size_t kAlignment = 64;

struct KeptBlock {
  void* block;
  size_t bytes;
};
// A job reserves five blocks; more are unmapped as usual.
constexpr int kKeptCapacity = 8;
KeptBlock g_kept[kKeptCapacity] = {};
bool g_keep = false;

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

// Zeroes the pages of a kept block that a job touched, in place: the next
// job neither faults them in again nor finds the last one's bytes. A page
// the kernel still holds is one the job touched.
void ClearTouchedPages(uint8_t* base, size_t bytes) {
  const size_t page = PageBytes();
  unsigned char resident[4096];
  for (size_t at = 0; at < bytes; at += sizeof resident * page) {
    const size_t span = std::min(bytes - at, sizeof resident * page);
    if (mincore(base + at, span, resident) != 0) {
      madvise(base + at, span, MADV_DONTNEED);
      continue;
    }
    for (size_t p = 0; p * page < span; ++p)
      if ((resident[p] & 1) != 0) std::memset(base + at + p * page, 0, page);
  }
}

}  // namespace

void* ReserveZeroed(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX / 2) return nullptr;
  for (KeptBlock& kept : g_kept) {
    if (kept.block != nullptr && kept.bytes == bytes) {
      void* block = kept.block;
      kept.block = nullptr;
      return block;
    }
  }
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
  auto* base = static_cast<uint8_t*>(block) - BlockOffset(bytes);
  for (KeptBlock& kept : g_kept) {
    if (!g_keep || kept.block != nullptr) continue;
    ClearTouchedPages(base, MappedBytes(bytes) - PageBytes());
    kept = {block, bytes};
    return;
  }
  munmap(base, MappedBytes(bytes));
}

void KeepReleasedBlocks(bool keep) {
  g_keep = keep;
}

}  // namespace qv

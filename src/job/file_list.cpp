#include "job/file_list.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

// The table is reserved once, with the process.
char* g_entries[kFileListCapacity];
std::atomic<int32_t> g_count{0};

}  // namespace

void FileListInit() {
  std::memset(g_entries, 0, sizeof g_entries);
  g_count.store(0, std::memory_order_release);
}

int FileListAdd(const char* path) {
  const int32_t count = g_count.load(std::memory_order_relaxed);
  if (count >= kFileListCapacity) return -1;
  const size_t length = std::strlen(path);
  // One spare byte past the terminator, as the entries have always had.
  char* copy = static_cast<char*>(std::malloc(length + 2));
  if (copy == nullptr) return -1;
  std::memcpy(copy, path, length + 1);
  copy[length + 1] = 0;
  g_entries[count] = copy;
  g_count.store(count + 1, std::memory_order_release);
  return 0;
}

const char* FileListGet(int32_t index) {
  return g_entries[index];
}

void FileListClear() {
  const int32_t count = g_count.load(std::memory_order_acquire);
  for (int32_t i = 0; i < count; ++i) {
    std::free(g_entries[i]);
    g_entries[i] = nullptr;
  }
  std::memset(g_entries, 0, sizeof g_entries);
  g_count.store(0, std::memory_order_release);
}

int32_t FileListCount() {
  return g_count.load(std::memory_order_acquire);
}

}  // namespace qv

#include "platform/file_failure.h"

#include <cstdio>
#include <cstring>

namespace qv {
namespace {

FileFailure g_failure;
bool g_noted = false;

}  // namespace

void NoteFileFailure(const char* path, int error_number, int64_t offset, const char* reason) {
  std::snprintf(g_failure.path, sizeof g_failure.path, "%s", path != nullptr ? path : "");
  std::snprintf(g_failure.reason, sizeof g_failure.reason, "%s", reason != nullptr ? reason : "");
  g_failure.error_number = error_number;
  g_failure.offset = offset;
  g_noted = true;
}

void ClearFileFailure() { g_noted = false; }

bool LastFileFailure(FileFailure* out) {
  if (!g_noted) return false;
  std::memcpy(out, &g_failure, sizeof g_failure);
  return true;
}

}  // namespace qv

#include "platform/preferred_language.h"

#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

bool IsPlainLocale(const char* value, size_t length) {
  auto is = [&](const char* name) {
    size_t n = std::strlen(name);
    return length >= n && std::strncmp(value, name, n) == 0 &&
           (length == n || value[n] == '.' || value[n] == '@');
  };
  return is("C") || is("POSIX");
}

}  // namespace

int GetPreferredLanguage(char* buffer, size_t capacity) {
  static const char* const kVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : kVariables) {
    const char* value = std::getenv(name);
    if (!value || value[0] == 0) continue;
    size_t length = std::strlen(value);
    if (name == kVariables[0]) {
      const char* colon = std::strchr(value, ':');
      if (colon) length = static_cast<size_t>(colon - value);
      if (length == 0) continue;
    }
    if (IsPlainLocale(value, length)) return 0;
    if (capacity == 0) return 0;
    size_t copy = length < capacity - 1 ? length : capacity - 1;
    std::memcpy(buffer, value, copy);
    buffer[copy] = 0;
    return 0;
  }
  return 0;
}

}  // namespace qv

// The user's preferred language, as the locale environment names it.
#pragma once

#include <cstddef>

namespace qv {

// Fills buffer (capacity bytes, terminator included) with the user's first
// preferred language, such as "ja_JP.UTF-8", and returns 0. The buffer is left
// unchanged when there is none. The variables are read as gettext does:
// LANGUAGE (first entry of its list), LC_ALL, LC_MESSAGES, LANG; the first
// one set decides, and "C" or "POSIX" there means no preference.
int GetPreferredLanguage(char* buffer, size_t capacity);

}  // namespace qv

#include "job/error_codes.h"

#include <cstdio>
#include <string>

namespace qv {
namespace {

// Texts as the player's owners know them, typos included.
const char* const kErrorTexts[8] = {
    nullptr,
    "Can only create a Library in the Root Drectory.\nError Code : E-%02d",
    "Cannot open a file.\nSee the processin dialog for the file name.\nSkip the file or abort "
    "creating the library?\nError Code : E-%02d",
    "Error occurred while creating library data.\nError Code : E-%02d",
    "Error occurred while writing library file.\nError Code : E-%02d",
    "Cannot make the library for multiple devices.\nError Code : E-%02d",
    "[%@] is not supported device.\nError Code : E-%02d",
    "Selected device is removed.\nError Code : E-%02d",
};

}  // namespace

bool ErrorText(int code, const char* path, char* out, size_t out_size) {
  if (out_size > 0) out[0] = 0;
  if (code < 1 || code > 7 || out_size == 0) return false;
  std::string format = kErrorTexts[code];
  if (code == kErrorUnsupportedDevice) {
    // The drive name goes in as text, so a "%" in it stays a "%".
    std::string name = path != nullptr ? path : "";
    std::string escaped;
    for (char c : name) {
      escaped.push_back(c);
      if (c == '%') escaped.push_back('%');
    }
    format.replace(format.find("%@"), 2, escaped);
  }
  std::snprintf(out, out_size, format.c_str(), code);
  return true;
}

}  // namespace qv

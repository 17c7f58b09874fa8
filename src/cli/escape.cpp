#include "cli/escape.h"

#include <cstdio>

namespace qv::cli {
namespace {

// The length of the well-formed UTF-8 sequence at text[i] (no overlong
// forms, surrogates or code points past U+10FFFF), or 0.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char c = byte(0);
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  return n;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (const size_t n = Utf8SequenceLength(text, i); n == 0) {
      // A byte that is no part of a character (a lone 0x9B starts a
      // terminal command) is shown by its value.
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // U+0080..U+009F: some terminals take them as commands too.
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[++i]));
      out += escape;
    } else {
      out.append(text.substr(i, n));
      i += n - 1;
    }
  }
  return out;
}

}  // namespace qv::cli

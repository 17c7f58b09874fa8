#include "tags/text/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qv {

const char* const CodePageTable[kTagLanguageCount] = {
    "SJIS", "GB18030", "CP1252", "CP1252", "CP1252", "CP1252", "CP1252", "CP1252", "CP1251",
};

const char* const TagLanguageCodes[kTagLanguageCount] = {
    "ja", "zh", "en", "fr", "de", "it", "es", "nl", "ru",
};

namespace {

// Opening a descriptor costs more than converting a tag field, so each thread
// keeps the few it has used. A descriptor is reset before every conversion,
// which makes a cached one behave exactly like a fresh one.
class IconvCache {
 public:
  ~IconvCache() {
    for (Entry& e : entries_) {
      if (e.cd != kNone) iconv_close(e.cd);
    }
  }

  // A descriptor from `from` to `to`, or kNone when iconv does not know them.
  iconv_t Get(const char* from, const char* to) {
    for (Entry& e : entries_) {
      if (e.cd != kNone && std::strcmp(e.from, from) == 0 && std::strcmp(e.to, to) == 0)
        return e.cd;
    }
    iconv_t cd = iconv_open(to, from);
    if (cd == kNone) return kNone;
    // Names longer than the slots are converted with a descriptor of their own.
    if (std::strlen(from) >= sizeof(Entry::from) || std::strlen(to) >= sizeof(Entry::to)) {
      iconv_close(cd);
      return kNone;
    }
    Entry& slot = entries_[next_];
    next_ = (next_ + 1) % kSlots;
    if (slot.cd != kNone) iconv_close(slot.cd);
    slot.cd = cd;
    std::strcpy(slot.from, from);
    std::strcpy(slot.to, to);
    return cd;
  }

  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

 private:
  static constexpr int kSlots = 6;
  struct Entry {
    iconv_t cd = kNone;
    char from[24] = {};
    char to[24] = {};
  };
  Entry entries_[kSlots];
  int next_ = 0;
};

thread_local IconvCache t_iconv_cache;

// Converts in_bytes from `from` to `to` into out (out_bytes of room): the
// bytes of room left over, or -1 when the conversion failed.
int64_t Convert(const char* from, const char* to, const char* in, size_t in_bytes, char* out,
                size_t out_bytes) {
  iconv_t cd = t_iconv_cache.Get(from, to);
  bool own = false;
  if (cd == IconvCache::kNone) {
    cd = iconv_open(to, from);
    if (cd == IconvCache::kNone) return -1;
    own = true;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in_at = const_cast<char*>(in);
  size_t in_left = in_bytes;
  char* out_at = out;
  size_t out_left = out_bytes;
  size_t r = iconv(cd, &in_at, &in_left, &out_at, &out_left);
  // A stateful target finishes its shift sequence only when flushed.
  if (r != static_cast<size_t>(-1)) r = iconv(cd, nullptr, nullptr, &out_at, &out_left);
  if (own) iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return -1;
  return static_cast<int64_t>(out_left);
}

// Work areas of path size stay on the stack; only longer texts go to the heap.
constexpr size_t kStackWorkBytes = 4200;

// A zeroed conversion area: on the stack for the short texts of tags and
// paths, from the heap for anything longer; null when that fails.
class WorkArea {
 public:
  explicit WorkArea(size_t size)
      : bytes_(size <= kStackWorkBytes ? stack_ : static_cast<char*>(std::malloc(size))) {
    if (bytes_) std::memset(bytes_, 0, size);
  }
  ~WorkArea() {
    if (bytes_ != stack_) std::free(bytes_);
  }
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;
  char* bytes() { return bytes_; }

 private:
  alignas(uint16_t) char stack_[kStackWorkBytes];
  char* bytes_;
};

// Encodings in which every byte below 0x80 is the character of that number.
// Shift-JIS is not one of them: there 0x5C is the yen sign.
bool AsciiIsIdentity(const char* encoding) {
  return std::strcmp(encoding, "UTF-8") == 0 || std::strcmp(encoding, "CP1252") == 0 ||
         std::strcmp(encoding, "CP1251") == 0 || std::strcmp(encoding, "GB18030") == 0;
}

// Most paths and tag texts are plain ASCII; widening them byte by byte gives
// what iconv gives, without its cost. -2 when src is not plain ASCII.
int32_t WidenAscii(uint16_t* dst, const char* src, int32_t cap) {
  size_t n = 0;
  while (src[n] != 0) {
    if (static_cast<uint8_t>(src[n]) >= 0x80) return -2;
    ++n;
  }
  if (n + 1 > static_cast<size_t>(cap)) {
    dst[0] = 0;
    return -1;
  }
  for (size_t i = 0; i <= n; ++i) dst[i] = static_cast<uint8_t>(src[i]);
  return static_cast<int32_t>(n + 1);
}

}  // namespace

int32_t IconvToUtf16(uint16_t* dst, const char* src, int32_t cap, const char* from) {
  if (cap <= 0) return -1;
  if (AsciiIsIdentity(from)) {
    int32_t widened = WidenAscii(dst, src, cap);
    if (widened != -2) return widened;
  }
  WorkArea area(2 * static_cast<size_t>(cap) + 2);
  char* work = area.bytes();
  if (!work) {
    dst[0] = 0;
    return -1;
  }
  int64_t left =
      Convert(from, "UTF-16LE", src, std::strlen(src) + 1, work, 2 * static_cast<size_t>(cap));
  int32_t result = -1;
  if (left < 0) {
    dst[0] = 0;
  } else {
    // The work area is zeroed two bytes beyond the output limit, so the scan
    // for the terminator always ends inside it.
    size_t units = 0;
    for (;;) {
      uint16_t u;
      std::memcpy(&u, work + 2 * units, 2);
      if (u == 0) break;
      dst[units++] = u;
    }
    dst[units] = 0;
    result = cap - static_cast<int32_t>(left / 2);
  }
  return result;
}

int32_t IconvFromUtf16(char* dst, const uint16_t* src, int32_t cap, const char* to) {
  if (cap < 0) {
    dst[0] = 0;
    return -1;
  }
  WorkArea area(static_cast<size_t>(cap) + 2);
  char* work = area.bytes();
  if (!work) {
    dst[0] = 0;
    return -1;
  }
  int64_t left = Convert("UTF-16LE", to, reinterpret_cast<const char*>(src), 2 * Utf16Len(src),
                         work, static_cast<size_t>(cap));
  int32_t result = -1;
  if (left < 0) {
    dst[0] = 0;
  } else {
    size_t n = std::strlen(work);
    std::memcpy(dst, work, n + 1);
    result = static_cast<int32_t>(n);
  }
  return result;
}

Utf16String CodePageToUtf16(const char* src, int32_t* length, const char* code_page) {
  if (!src) return nullptr;
  size_t n = std::strlen(src);
  if (length) *length = static_cast<int32_t>(2 * n);
  Utf16String result(static_cast<uint16_t*>(std::calloc(n + 1, sizeof(uint16_t))));
  if (!result || n == 0) return result;
  int32_t cap = static_cast<int32_t>(n + 1);
  if (IconvToUtf16(result.get(), src, cap, code_page) < 0) {
    // A failed conversion may have left part of its output behind; the
    // units after the text must read as zero.
    std::memset(result.get(), 0, (n + 1) * sizeof(uint16_t));
    IconvToUtf16(result.get(), "?", cap, code_page);
  }
  return result;
}

int64_t WholeCharacterBytes(const char* bytes, size_t n, const char* code_page) {
  iconv_t cd = t_iconv_cache.Get(code_page, "UTF-16LE");
  if (cd == IconvCache::kNone) return -1;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in_at = const_cast<char*>(bytes);
  size_t in_left = n;
  // Only the verdict matters, so the output goes to one small area, again
  // and again while it fills up.
  char out[256];
  for (;;) {
    char* out_at = out;
    size_t out_left = sizeof out;
    if (iconv(cd, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1)) {
      return static_cast<int64_t>(n);
    }
    if (errno == EINVAL) return static_cast<int64_t>(n - in_left);
    if (errno != E2BIG) return -1;
  }
}

Utf16String Utf8ToUtf16(const char* src, int32_t* units, bool little_endian) {
  size_t n = std::strlen(src);
  int32_t count = DecodeUtf8(nullptr, src, n, true, little_endian);
  Utf16String result(
      static_cast<uint16_t*>(std::calloc(static_cast<size_t>(count) + 1, sizeof(uint16_t))));
  if (!result) {
    if (units) *units = 0;
    return result;
  }
  DecodeUtf8(result.get(), src, n, false, little_endian);
  if (units) *units = count;
  return result;
}

namespace {

// Decodes one UTF-8 sequence at s[0..n): its code point, or U+FFFD for a
// sequence that is invalid or cut off (overlong forms, encoded surrogates and
// values above U+10FFFF included). *used receives the bytes taken: the whole
// sequence, or the longest valid start of a broken one (at least one byte).
uint32_t DecodeOne(const uint8_t* s, size_t n, size_t* used) {
  uint8_t b0 = s[0];
  *used = 1;
  if (b0 < 0x80) return b0;
  size_t len;
  uint32_t cp;
  uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0xFFFD;
  }
  for (size_t i = 1; i < len; ++i) {
    if (i >= n) return 0xFFFD;
    uint8_t b = s[i];
    if (i == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (b & 0x3F);
    *used = i + 1;
  }
  return cp;
}

inline void PutUnit(uint16_t* dst, int32_t at, uint16_t unit, bool little_endian) {
  if (!little_endian) unit = static_cast<uint16_t>((unit >> 8) | (unit << 8));
  dst[at] = unit;
}

}  // namespace

int32_t DecodeUtf8(uint16_t* dst, const char* src, size_t n, bool count_only, bool little_endian) {
  const auto* s = reinterpret_cast<const uint8_t*>(src);
  int32_t units = 0;
  size_t i = 0;
  while (i < n) {
    size_t used;
    uint32_t cp = DecodeOne(s + i, n - i, &used);
    i += used;
    if (cp >= 0x10000) {
      if (!count_only) {
        cp -= 0x10000;
        PutUnit(dst, units, static_cast<uint16_t>(0xD800 | (cp >> 10)), little_endian);
        PutUnit(dst, units + 1, static_cast<uint16_t>(0xDC00 | (cp & 0x3FF)), little_endian);
      }
      units += 2;
    } else {
      if (!count_only) PutUnit(dst, units, static_cast<uint16_t>(cp), little_endian);
      units += 1;
    }
  }
  if (!count_only) dst[units] = 0;
  return units;
}

void SwapUtf16Bytes(uint16_t* s, size_t byte_length) {
  if (byte_length == 0) byte_length = 2 * Utf16Len(s);
  if (byte_length > 300) byte_length = 300;
  for (size_t k = 0; 2 * k + 1 < byte_length; ++k) {
    s[k] = static_cast<uint16_t>((s[k] >> 8) | (s[k] << 8));
  }
}

size_t Utf16Len(const uint16_t* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

void Utf16NCopy(uint16_t* dst, const uint16_t* src, size_t n) {
  size_t i = 0;
  for (; i < n && src[i] != 0; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = 0;
}

// Only a to z change, as the C library's toupper does in the default locale;
// done by hand so that a locale set by a host program changes nothing.
void Utf16UpperAscii(uint16_t* s) {
  for (; *s != 0; ++s) {
    if (*s >= 'a' && *s <= 'z') *s = static_cast<uint16_t>(*s - 'a' + 'A');
  }
}

void ToLowerInPlace(char* s) {
  for (; *s != 0; ++s) {
    if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
  }
}

void AppendUtf8(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(const uint16_t* s, size_t n, LoneSurrogate lone) {
  std::string out;
  for (size_t i = 0; i < n && s[i] != 0; ++i) {
    uint32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(&out, 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      if (lone == LoneSurrogate::kEscape) {
        char escape[8];
        std::snprintf(escape, sizeof(escape), "\\u%04x", u);
        out.append(escape);
      } else {
        AppendUtf8(&out, 0xFFFD);
      }
    } else {
      AppendUtf8(&out, u);
    }
  }
  return out;
}

}  // namespace qv

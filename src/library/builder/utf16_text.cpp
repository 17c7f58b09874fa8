#include "library/builder/utf16_text.h"

namespace qv {

uint32_t Utf16ByteLength(const uint16_t* s, uint32_t max_bytes) {
  uint32_t units = 0;
  while (units < max_bytes / 2 && s[units] != 0) ++units;
  return units * 2;
}

uint32_t Utf16Copy(uint16_t* dst, const uint16_t* src, uint32_t n) {
  uint32_t units = 0;
  while (units < n / 2 && src[units] != 0) {
    dst[units] = src[units];
    ++units;
  }
  dst[units] = 0;
  return units * 2 + 2;
}

int32_t Utf16To8Bit(uint8_t* dst, const uint16_t* src, uint32_t max_units) {
  uint32_t n = 0;
  while (n < max_units && src[n] != 0) {
    if (src[n] > 0xFF) return -1;
    ++n;
  }
  if (n == max_units) return -1;  // no terminator within reach
  uint32_t length = n + 1;
  if (length % 2 != 0) ++length;
  if (dst != nullptr) {
    for (uint32_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(src[i]);
    for (uint32_t i = n; i < length; ++i) dst[i] = 0;
  }
  return static_cast<int32_t>(length);
}

int32_t Widen8Bit(uint16_t* dst, const uint8_t* src, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    dst[i] = src[i];
    if (src[i] == 0) return static_cast<int32_t>(i + 1);
  }
  if (n > 0) dst[0] = 0;
  return -1;
}

uint32_t Utf16CommonPrefix(const uint16_t* a, const uint16_t* b, uint32_t max_units) {
  uint32_t n = 0;
  while (n < max_units && a[n] != 0 && a[n] == b[n]) ++n;
  return n;
}

int32_t Utf16Compare(const uint16_t* a, const uint16_t* b, uint32_t n) {
  for (uint32_t i = 0; i < n / 2; ++i) {
    if (a[i] != b[i]) return static_cast<int32_t>(a[i]) - static_cast<int32_t>(b[i]);
    if (a[i] == 0) return 0;
  }
  return 0;
}

}  // namespace qv

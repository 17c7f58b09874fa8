// The one place where multi-byte integers are packed into and read from bytes.
// Library files are little-endian; ID3 and MP4 headers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv {

inline uint16_t LoadLe16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
// Raw-pointer form, for packed records the caller has already bounded.
inline uint16_t LoadLe16(const uint8_t* b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t LoadLe32(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint16_t LoadBe16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}
inline uint32_t LoadBe24(std::span<const uint8_t> b, size_t at) {
  return (static_cast<uint32_t>(b[at]) << 16) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         static_cast<uint32_t>(b[at + 2]);
}
inline uint32_t LoadBe32(std::span<const uint8_t> b, size_t at) {
  return (static_cast<uint32_t>(b[at]) << 24) | (static_cast<uint32_t>(b[at + 1]) << 16) |
         (static_cast<uint32_t>(b[at + 2]) << 8) | static_cast<uint32_t>(b[at + 3]);
}
inline uint64_t LoadBe64(std::span<const uint8_t> b, size_t at) {
  return (static_cast<uint64_t>(LoadBe32(b, at)) << 32) | LoadBe32(b, at + 4);
}
// ID3v2 sizes: four bytes of seven bits each.
inline uint32_t LoadSyncsafe32(std::span<const uint8_t> b, size_t at) {
  return (static_cast<uint32_t>(b[at] & 0x7F) << 21) |
         (static_cast<uint32_t>(b[at + 1] & 0x7F) << 14) |
         (static_cast<uint32_t>(b[at + 2] & 0x7F) << 7) | static_cast<uint32_t>(b[at + 3] & 0x7F);
}

inline void StoreLe16(std::span<uint8_t> b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLe32(std::span<uint8_t> b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
  b[at + 2] = static_cast<uint8_t>(v >> 16);
  b[at + 3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreBe16(std::span<uint8_t> b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}
inline void StoreBe32(std::span<uint8_t> b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v >> 24);
  b[at + 1] = static_cast<uint8_t>(v >> 16);
  b[at + 2] = static_cast<uint8_t>(v >> 8);
  b[at + 3] = static_cast<uint8_t>(v);
}

// A four-character tag stored in reading order ("qvtl": 'q' in the first byte).
inline bool HasTag(std::span<const uint8_t> b, size_t at, const char (&tag)[5]) {
  return b[at] == static_cast<uint8_t>(tag[0]) && b[at + 1] == static_cast<uint8_t>(tag[1]) &&
         b[at + 2] == static_cast<uint8_t>(tag[2]) && b[at + 3] == static_cast<uint8_t>(tag[3]);
}
inline void StoreTag(std::span<uint8_t> b, size_t at, const char (&tag)[5]) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(tag[i]);
}

}  // namespace qv

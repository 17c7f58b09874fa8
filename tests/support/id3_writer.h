// Builds ID3v1 and ID3v2 (2.2, 2.3, 2.4) tags as byte vectors, so that a test
// states the bytes it reads in a line or two: text payloads in every
// encoding, frames with flags and honest or lying sizes, extended headers and
// padding. Free of any test framework so benchmarks and fuzzers can use it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

// Joins byte vectors in order.
Bytes Id3Join(std::initializer_list<Bytes> parts);
// The bytes of a string as they are (code-page text is written this way).
Bytes RawBytes(std::string_view s);
// Four bytes of seven bits each.
Bytes Syncsafe32(uint32_t value);
// Audio-like filler: MPEG frame sync bytes and noise that never spell "TAG"
// or "ID3".
Bytes AudioFiller(size_t length);

struct Id3v1Fields {
  // Raw bytes, cut to their field's size.
  std::string title = {}, artist = {}, album = {}, year = {}, comment = {};
  int track = -1;  // >= 0: byte 125 zero and byte 126 the track
  uint8_t genre = 255;
  char pad = 0;  // fills the rest of each text field
};
// The 128 bytes of an ID3v1 tag.
Bytes Id3v1Tag(const Id3v1Fields& fields);

// Text frame payloads: the encoding byte, then the text, no terminator.
Bytes Id3Latin(std::string_view bytes);  // 0: code-page bytes
enum class Bom { kNone, kLittle, kBig };
// 1: UTF-16 with the byte order the mark says; no mark writes big-endian.
Bytes Id3Utf16(std::u16string_view text, Bom bom = Bom::kLittle);
Bytes Id3Utf16Be(std::u16string_view text);  // 2
Bytes Id3Utf8(std::string_view utf8);        // 3
// Any encoding byte followed by any bytes.
Bytes Id3Payload(uint8_t encoding, const Bytes& text);

enum class FrameSize { kNatural, kPlain, kSyncsafe };
struct Id3v2FrameOptions {
  uint8_t flags1 = 0;
  uint8_t flags2 = 0;
  // kNatural: syncsafe for 2.4, plain for 2.3 (2.2 is always plain 24-bit).
  FrameSize size_form = FrameSize::kNatural;
  std::optional<uint32_t> claimed_size = {};  // written instead of the true size
};
// One frame: id is 3 characters for major 2, else 4; data follows the header.
Bytes Id3v2Frame(int major, std::string_view id, const Bytes& data,
                 const Id3v2FrameOptions& options = {});

// An extended header: 2.3 (size 6 counted after itself, flags, padding size)
// or 2.4 (syncsafe size 6 counting itself, one flag byte, no flags).
Bytes Id3v23ExtendedHeader();
Bytes Id3v24ExtendedHeader();

struct Id3v2TagOptions {
  int revision = 0;
  uint8_t flags = 0;                          // 0x40 is added when there is an extended header
  Bytes extended_header = {};                 // put before the frames
  size_t padding = 0;                         // zero bytes after the frames
  std::optional<uint32_t> claimed_size = {};  // written instead of the true size
};
// The tag header and body. major 2, 3 or 4 (or any other value).
Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, const Id3v2TagOptions& options = {});

}  // namespace qv::test

// ID3v1 and ID3v2 (2.2 to 2.4) tags, honest or lying; no test framework inside, for benchmarks and fuzzers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

Bytes Id3Join(std::initializer_list<Bytes> parts);
Bytes RawBytes(std::string_view s);
// MPEG sync bytes and noise that never spell "TAG" or "ID3".
Bytes AudioFiller(size_t length);

struct Id3v1Fields {
  std::string title = {}, artist = {}, album = {}, year = {}, comment = {};
  int track = -1;  // >= 0: byte 125 zero and byte 126 the track
  uint8_t genre = 255;
  char pad = 0;  // fills the rest of each text
};
Bytes Id3v1Tag(const Id3v1Fields& fields);

// Text payloads: the encoding byte, then the text without terminator.
Bytes Id3Latin(std::string_view bytes);
enum class Bom { kNone, kLittle, kBig };  // no mark: big-endian
Bytes Id3Utf16(std::u16string_view text, Bom bom = Bom::kLittle);
Bytes Id3Utf8(std::string_view utf8);
Bytes Id3Payload(uint8_t encoding, const Bytes& text);

enum class FrameSize { kNatural, kPlain, kSyncsafe };  // natural: syncsafe in 2.4 only
struct Id3v2FrameOptions {
  uint8_t flags2 = 0;
  FrameSize size_form = FrameSize::kNatural;
  std::optional<uint32_t> claimed_size = {};
};
// id has 3 characters for major 2, else 4.
Bytes Id3v2Frame(int major, std::string_view id, const Bytes& data, const Id3v2FrameOptions& options = {});

struct Id3v2TagOptions {
  int revision = 0;
  uint8_t flags = 0;           // 0x40 is added with an extended header
  Bytes extended_header = {};  // put before the frames
  size_t padding = 0;
  std::optional<uint32_t> claimed_size = {};
};
Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, const Id3v2TagOptions& options = {});

}  // namespace qv::test

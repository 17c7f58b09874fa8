#include "support/id3_writer.h"

namespace qv::test {
namespace {

void PutSize(Bytes* out, uint32_t v, int bytes, int bits) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<uint8_t>((v >> (i * bits)) & ((1u << bits) - 1)));
}

}  // namespace

// clang-format off
// Byte by byte: GCC 12 takes the block copies of vector::insert, inlined at
// -O3, for writes out of bounds.
Bytes Id3Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) for (uint8_t b : p) out.push_back(b);
  return out;
}

Bytes RawBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes Id3Latin(std::string_view bytes) { return Id3Payload(0, RawBytes(bytes)); }
Bytes Id3Utf8(std::string_view utf8) { return Id3Payload(3, RawBytes(utf8)); }
Bytes Id3Payload(uint8_t encoding, const Bytes& text) { return Id3Join({{encoding}, text}); }

Bytes AudioFiller(size_t length) {
  Bytes out(length);
  uint32_t state = 12345;
  for (size_t i = 0; i < length; ++i)  // bytes above 0x7F never form "TAG" or "ID3"
    state = state * 1103515245u + 12345u, out[i] = i % 417 == 0 ? 0xFF : i % 417 == 1 ? 0xFB : uint8_t(0x80 | (state >> 16));
  return out;
}

Bytes Id3v1Tag(const Id3v1Fields& f) {
  Bytes out = {'T', 'A', 'G'};
  auto put = [&](const std::string& text, size_t size) {
    for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(i < text.size() ? text[i] : f.pad));
  };
  put(f.title, 30), put(f.artist, 30), put(f.album, 30), put(f.year, 4), put(f.comment, 30);
  if (f.track >= 0) out[125] = 0, out[126] = static_cast<uint8_t>(f.track);
  out.push_back(f.genre);
  return out;
}

Bytes Id3Utf16(std::u16string_view text, Bom bom) {
  const bool little = bom == Bom::kLittle;
  Bytes out = bom == Bom::kNone ? Bytes{1} : little ? Bytes{1, 0xFF, 0xFE} : Bytes{1, 0xFE, 0xFF};
  for (char16_t c : text) out.insert(out.end(), {uint8_t(little ? c : c >> 8), uint8_t(little ? c >> 8 : c)});
  return out;
}

Bytes Id3v2Frame(int major, std::string_view id, const Bytes& data, const Id3v2FrameOptions& o) {
  Bytes out = RawBytes(id);
  uint32_t size = o.claimed_size.value_or(static_cast<uint32_t>(data.size()));
  bool syncsafe = o.size_form == FrameSize::kSyncsafe || (o.size_form == FrameSize::kNatural && major == 4);
  PutSize(&out, size, major == 2 ? 3 : 4, syncsafe ? 7 : 8);
  if (major != 2) out.insert(out.end(), {0, o.flags2});
  return Id3Join({out, data});
}

Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, const Id3v2TagOptions& o) {
  Bytes body = o.extended_header;
  for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
  body.resize(body.size() + o.padding, 0);
  uint8_t flags = static_cast<uint8_t>(o.flags | (o.extended_header.empty() ? 0 : 0x40));
  Bytes out = {'I', 'D', '3', static_cast<uint8_t>(major), static_cast<uint8_t>(o.revision), flags};
  PutSize(&out, o.claimed_size.value_or(static_cast<uint32_t>(body.size())), 4, 7);
  return Id3Join({out, body});
}
// clang-format on

}  // namespace qv::test

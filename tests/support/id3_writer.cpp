#include "support/id3_writer.h"

#include <algorithm>

namespace qv::test {
namespace {

void PutBe32(Bytes* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void PutSyncsafe(Bytes* out, uint32_t v) {
  for (int shift = 21; shift >= 0; shift -= 7)
    out->push_back(static_cast<uint8_t>((v >> shift) & 0x7F));
}

void PutField(Bytes* out, std::string_view text, size_t size, char pad) {
  for (size_t i = 0; i < size; ++i)
    out->push_back(static_cast<uint8_t>(i < text.size() ? text[i] : pad));
}

}  // namespace

Bytes Id3Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes RawBytes(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

Bytes Syncsafe32(uint32_t value) {
  Bytes out;
  PutSyncsafe(&out, value);
  return out;
}

Bytes AudioFiller(size_t length) {
  Bytes out(length);
  uint32_t state = 12345;
  for (size_t i = 0; i < length; ++i) {
    if (i % 417 == 0) {
      out[i] = 0xFF;
    } else if (i % 417 == 1) {
      out[i] = 0xFB;
    } else {
      state = state * 1103515245u + 12345u;
      // Lower-case letters never form "TAG" or "ID3".
      out[i] = static_cast<uint8_t>(0x80 | ((state >> 16) & 0x7F));
    }
  }
  return out;
}

Bytes Id3v1Tag(const Id3v1Fields& f) {
  Bytes out = {'T', 'A', 'G'};
  PutField(&out, f.title, 30, f.pad);
  PutField(&out, f.artist, 30, f.pad);
  PutField(&out, f.album, 30, f.pad);
  PutField(&out, f.year, 4, f.pad);
  PutField(&out, f.comment, 30, f.pad);
  if (f.track >= 0) {
    out[125] = 0;
    out[126] = static_cast<uint8_t>(f.track);
  }
  out.push_back(f.genre);
  return out;
}

Bytes Id3Latin(std::string_view bytes) {
  return Id3Payload(0, RawBytes(bytes));
}

Bytes Id3Utf16(std::u16string_view text, Bom bom) {
  Bytes out = {1};
  bool little = bom == Bom::kLittle;
  if (bom == Bom::kLittle) out.insert(out.end(), {0xFF, 0xFE});
  if (bom == Bom::kBig) out.insert(out.end(), {0xFE, 0xFF});
  for (char16_t c : text) {
    uint8_t lo = static_cast<uint8_t>(c), hi = static_cast<uint8_t>(c >> 8);
    out.push_back(little ? lo : hi);
    out.push_back(little ? hi : lo);
  }
  return out;
}

Bytes Id3Utf16Be(std::u16string_view text) {
  Bytes out = Id3Utf16(text, Bom::kNone);
  out[0] = 2;
  return out;
}

Bytes Id3Utf8(std::string_view utf8) {
  return Id3Payload(3, RawBytes(utf8));
}

Bytes Id3Payload(uint8_t encoding, const Bytes& text) {
  Bytes out = {encoding};
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

Bytes Id3v2Frame(int major, std::string_view id, const Bytes& data, const Id3v2FrameOptions& o) {
  Bytes out(id.begin(), id.end());
  uint32_t size = o.claimed_size.value_or(static_cast<uint32_t>(data.size()));
  if (major == 2) {
    for (int shift = 16; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(size >> shift));
  } else {
    bool syncsafe =
        o.size_form == FrameSize::kSyncsafe || (o.size_form == FrameSize::kNatural && major == 4);
    if (syncsafe) {
      PutSyncsafe(&out, size);
    } else {
      PutBe32(&out, size);
    }
    out.push_back(o.flags1);
    out.push_back(o.flags2);
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes Id3v23ExtendedHeader() {
  Bytes out;
  PutBe32(&out, 6);
  out.insert(out.end(), {0, 0, 0, 0, 0, 0});
  return out;
}

Bytes Id3v24ExtendedHeader() {
  Bytes out;
  PutSyncsafe(&out, 6);
  out.insert(out.end(), {1, 0});
  return out;
}

Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, const Id3v2TagOptions& o) {
  Bytes body = o.extended_header;
  for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
  body.resize(body.size() + o.padding, 0);
  uint8_t flags = o.flags;
  if (!o.extended_header.empty()) flags |= 0x40;
  Bytes out = {'I', 'D', '3', static_cast<uint8_t>(major), static_cast<uint8_t>(o.revision), flags};
  PutSyncsafe(&out, o.claimed_size.value_or(static_cast<uint32_t>(body.size())));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace qv::test

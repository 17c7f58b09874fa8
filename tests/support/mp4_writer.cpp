#include "support/mp4_writer.h"

#include <span>

#include "platform/byte_order.h"
#include "support/id3_writer.h"

// clang-format off
namespace qv::test {
namespace {
Bytes Be32(uint32_t v) { Bytes b(4); StoreBe32(std::span<uint8_t>(b), 0, v); return b; }
}  // namespace

Bytes JoinBytes(std::initializer_list<Bytes> parts) { return Id3Join(parts); }

Bytes Mp4AtomClaiming(std::string_view type, uint32_t size, const Bytes& body) { return JoinBytes({Be32(size), RawBytes(type.substr(0, 4)), body}); }
Bytes Mp4Atom(std::string_view type, const Bytes& body) { return Mp4AtomClaiming(type, static_cast<uint32_t>(8 + body.size()), body); }

Bytes Mp4AtomSize1(std::string_view type, const Bytes& body, uint64_t size) {
  if (size == 0) size = 16 + body.size();
  return JoinBytes({Mp4AtomClaiming(type, 1, Be32(static_cast<uint32_t>(size >> 32))), Be32(static_cast<uint32_t>(size)), body});
}

Bytes Mp4Ftyp() { return Mp4Atom("ftyp", JoinBytes({RawBytes("M4A "), Be32(0), RawBytes("M4A mp42isom")})); }

Bytes Mp4Mdat(uint32_t length) {
  Bytes body(length);
  for (uint32_t i = 0; i < length; ++i) body[i] = static_cast<uint8_t>(i * 37 + 11);
  return Mp4Atom("mdat", body);
}

Bytes Mp4Hdlr() { return Mp4Atom("hdlr", JoinBytes({Bytes(8, 0), RawBytes("mdirappl"), Bytes(9, 0)})); }
Bytes Mp4Meta(const Bytes& children, bool v) { return Mp4Atom("meta", JoinBytes({v ? Be32(0) : Bytes{}, Mp4Hdlr(), children})); }
Bytes Mp4Data(uint32_t type, const Bytes& value) { return Mp4Atom("data", JoinBytes({Be32(type), Be32(0), value})); }
Bytes Mp4TextItem(std::string_view type, std::string_view utf8) { return Mp4Atom(type, Mp4Data(1, RawBytes(utf8))); }
Bytes Mp4TrknItem(uint16_t track, uint16_t total) {
  return Mp4Atom("trkn", Mp4Data(0, {0, 0, uint8_t(track >> 8), uint8_t(track), uint8_t(total >> 8), uint8_t(total), 0, 0}));
}
Bytes Mp4MoovWithItems(const Bytes& items, bool meta_version) {
  Bytes udta = Mp4Atom("udta", Mp4Meta(Mp4Atom("ilst", items), meta_version));
  return Mp4Atom("moov", JoinBytes({Mp4Atom("mvhd", Bytes(100, 0)), udta}));
}
Bytes Mp4FileMoovFirst(const Bytes& items) { return JoinBytes({Mp4Ftyp(), Mp4MoovWithItems(items), Mp4Mdat(300)}); }
Bytes Mp4FileMdatFirst(const Bytes& items) { return JoinBytes({Mp4Ftyp(), Mp4Mdat(300), Mp4MoovWithItems(items)}); }
}  // namespace qv::test
// clang-format on

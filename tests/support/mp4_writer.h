// Builds MP4 files as byte vectors: atoms with honest, lying, zero or 64-bit
// sizes, and the moov/udta/meta/ilst path with its items. Free of any test
// framework so benchmarks and fuzzers can use it too.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

// Appends `more` to `out`.
void AppendBytes(Bytes* out, const Bytes& more);
// Joins byte vectors in order.
Bytes JoinBytes(std::initializer_list<Bytes> parts);

// An atom whose size field counts the header and body. type is 4 bytes
// ("\xA9nam" for the 0xA9 items).
Bytes Mp4Atom(std::string_view type, const Bytes& body);
// An atom whose size field says `size`, whatever the body holds.
Bytes Mp4AtomClaiming(std::string_view type, uint32_t size, const Bytes& body);
// An atom with the size field 0 (runs to the end of its parent).
Bytes Mp4AtomSize0(std::string_view type, const Bytes& body);
// An atom with the size field 1 and its size in the 64-bit field after the
// type (16 + body bytes unless `size` says otherwise).
Bytes Mp4AtomSize1(std::string_view type, const Bytes& body, uint64_t size = 0);

Bytes Mp4Ftyp();
// A media data atom of `length` bytes of audio-like filler.
Bytes Mp4Mdat(uint32_t length);
Bytes Mp4Hdlr();
// "meta" holding hdlr and `children`; with_version puts the 4 version and
// flags bytes first, as most writers do.
Bytes Mp4Meta(const Bytes& children, bool with_version = true);

// A "data" atom: size, "data", type indicator (1 text, 0 binary), locale,
// value.
Bytes Mp4Data(uint32_t type_indicator, const Bytes& value);
// An item holding a UTF-8 text.
Bytes Mp4TextItem(std::string_view type, std::string_view utf8);
// "trkn" with the value 0, track, total, 0.
Bytes Mp4TrknItem(uint16_t track, uint16_t total);

// moov/udta/meta(ilst(items)) with a small mvhd before udta.
Bytes Mp4MoovWithItems(const Bytes& items, bool meta_version = true);
// ftyp, moov with the items, mdat: the shape of a file made for streaming.
Bytes Mp4FileMoovFirst(const Bytes& items);
// ftyp, mdat, moov with the items: the shape most encoders write.
Bytes Mp4FileMdatFirst(const Bytes& items);

}  // namespace qv::test

// MP4 atoms with honest, lying, zero or 64-bit sizes and the moov/udta/meta/ilst path.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

Bytes JoinBytes(std::initializer_list<Bytes> parts);

// type is 4 bytes ("\xA9nam" for the 0xA9 items).
Bytes Mp4Atom(std::string_view type, const Bytes& body);
Bytes Mp4AtomClaiming(std::string_view type, uint32_t size, const Bytes& body);
// Size field 1 and the size in 64 bits after the type (16 + body unless given).
Bytes Mp4AtomSize1(std::string_view type, const Bytes& body, uint64_t size = 0);

Bytes Mp4Ftyp();
Bytes Mp4Mdat(uint32_t length);
Bytes Mp4Hdlr();
// hdlr and children; with_version puts the 4 version and flags bytes first.
Bytes Mp4Meta(const Bytes& children, bool with_version = true);
// Type indicator (1 text, 0 binary), locale, value.
Bytes Mp4Data(uint32_t type_indicator, const Bytes& value);
Bytes Mp4TextItem(std::string_view type, std::string_view utf8);
Bytes Mp4TrknItem(uint16_t track, uint16_t total);

// moov(mvhd, udta(meta(ilst(items)))).
Bytes Mp4MoovWithItems(const Bytes& items, bool meta_version = true);
Bytes Mp4FileMoovFirst(const Bytes& items);  // made for streaming
Bytes Mp4FileMdatFirst(const Bytes& items);  // as most encoders write

}  // namespace qv::test

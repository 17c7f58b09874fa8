// Text decoding shared by the ID3 readers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tags/text/text_encoding.h"

namespace qv {

// Decodes the payload of an ID3v2 text frame (encoding byte, then text) into
// a new UTF-16LE string; null when memory runs out. Only the first of several
// zero-separated values is kept.
Utf16String DecodeId3Text(const uint8_t* data, size_t size, const char* code_page);

// The leading number of a track text such as "3/12", read like the C
// library's atoi (white space and a sign accepted) from the low byte of each
// unit, without its undefined behaviour on overflow.
int ParseTrackNumber(const uint16_t* text);

}  // namespace qv

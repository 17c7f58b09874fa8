// The engine's small UTF-16LE string utilities. Texts are zero-terminated
// arrays of 16-bit units; every function takes a limit so that a string that
// lost its terminator is never read past its buffer. Limits are in bytes
// unless the name says units.
#pragma once

#include <cstdint>

namespace qv {

// Bytes before the first zero unit, looking at no more than max_bytes.
uint32_t Utf16ByteLength(const uint16_t* s, uint32_t max_bytes);

// Copies units until a zero unit or until n bytes are copied, then writes a
// zero unit (dst must hold n + 2 bytes): the bytes written, zero included.
uint32_t Utf16Copy(uint16_t* dst, const uint16_t* src, uint32_t n);

// When every unit before the terminator is below 256 and the terminator comes
// within max_units: writes one byte per character and a zero byte (plus one
// more when that makes the length even) into dst (may be null to only test)
// and returns that length; otherwise -1.
int32_t Utf16To8Bit(uint8_t* dst, const uint16_t* src, uint32_t max_units);

// Widens an 8-bit string, looking at no more than n characters: the units
// written including the terminator, or -1 (dst made empty) when no
// terminator came within n.
int32_t Widen8Bit(uint16_t* dst, const uint8_t* src, uint32_t n);

// Leading units the two strings share, at most max_units (0 when the first
// units differ or are zero).
uint32_t Utf16CommonPrefix(const uint16_t* a, const uint16_t* b, uint32_t max_units);

// 0 with a zero limit; else the difference of the first unequal pair of units
// within n bytes, a string that ends first counting its terminator as 0; 0
// when both end at the same place or the limit is reached.
int32_t Utf16Compare(const uint16_t* a, const uint16_t* b, uint32_t n);

}  // namespace qv

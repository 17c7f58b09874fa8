// Conversions of tag and path text into the UTF-16LE form that the library
// stores, and the UTF-16 string helpers the engine uses. Units are uint16_t
// holding little-endian values (the host order on every target we build for).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace qv {

inline constexpr int kTagLanguageCount = 9;

// iconv name of the code page for 8-bit tag text, by TagLanguage index 0..8:
// ja zh en fr de it es nl ru.
extern const char* const CodePageTable[kTagLanguageCount];
// Two-letter codes in the same order.
extern const char* const TagLanguageCodes[kTagLanguageCount];

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// A zero-terminated UTF-16 string owned by the caller.
using Utf16String = std::unique_ptr<uint16_t[], FreeDeleter>;

// Converts the zero-terminated src from encoding `from` into dst (capacity
// `cap` units, terminator included): the units produced including the
// terminator, or -1 with dst made empty.
int32_t IconvToUtf16(uint16_t* dst, const char* src, int32_t cap, const char* from);

// Converts the UTF-16LE src into dst (cap bytes of text; dst holds cap + 1)
// in encoding `to`: a non-negative value, or -1 with dst made empty.
int32_t IconvFromUtf16(char* dst, const uint16_t* src, int32_t cap, const char* to);

// 8-bit text in a code page to UTF-16LE; *length receives 2 * the source's
// byte length. A text the code page cannot convert becomes "?". Null src
// gives null.
Utf16String CodePageToUtf16(const char* src, int32_t* length, const char* code_page);

// How many leading bytes of the n-byte text hold only whole characters of
// the code page: n when the text ends with a whole character, fewer when its
// last character was cut off, -1 when it is invalid there otherwise.
int64_t WholeCharacterBytes(const char* bytes, size_t n, const char* code_page);

// Zero-terminated UTF-8 to UTF-16; *units receives the unit count.
Utf16String Utf8ToUtf16(const char* src, int32_t* units, bool little_endian);

// Decodes n bytes of UTF-8 into dst (or only counts when count_only is set):
// the number of units, excluding the terminator that writing mode adds.
int32_t DecodeUtf8(uint16_t* dst, const char* src, size_t n, bool count_only, bool little_endian);

// Appends a Unicode code point to out as UTF-8.
void AppendUtf8(std::string* out, uint32_t code_point);

// What a UTF-16 unit that is half of a pair without its other half becomes on
// the way to UTF-8, which has no form for it.
enum class LoneSurrogate { kReplace, kEscape };  // U+FFFD, or the text \uXXXX

// Up to n units of s, stopping at a zero unit, as UTF-8.
std::string Utf16ToUtf8(const uint16_t* s, size_t n, LoneSurrogate lone);

void SwapUtf16Bytes(uint16_t* s, size_t byte_length);
size_t Utf16Len(const uint16_t* s);
void Utf16NCopy(uint16_t* dst, const uint16_t* src, size_t n);
void Utf16UpperAscii(uint16_t* s);
void ToLowerInPlace(char* s);

}  // namespace qv

#include "tags/text/text_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/path_encoding.h"
#include "support/real_files.h"

namespace qv {
namespace {

using test::Utf8Of;

std::string FromCodePage(const std::string& bytes, int language) {
  int32_t length = -1;
  Utf16String s = CodePageToUtf16(bytes.c_str(), &length, CodePageTable[language]);
  EXPECT_EQ(length, static_cast<int32_t>(2 * bytes.size()));
  return s ? Utf8Of(s.get()) : "<null>";
}

// Decodes n bytes in writing mode (as UTF-8 again) and checks that counting agrees.
std::string Decode(const char* src, size_t n) {
  std::vector<uint16_t> out(2 * n + 1, 0xAAAA);
  int32_t written = DecodeUtf8(out.data(), src, n, false, true);
  EXPECT_EQ(DecodeUtf8(nullptr, src, n, true, true), written);
  EXPECT_EQ(out[written], 0);
  return Utf8Of(out.data());
}

TEST(CodePageToUtf16, DecodesTheCodePageOfEachLanguage) {
  // SJIS, GB18030 (two and four bytes), CP1251 and CP1252; then 0x81,
  // undefined in CP1252, and an SJIS lead byte cut off by the end.
  const std::tuple<const char*, int, const char*> cases[] = {{"\x83\x65", 0, "テ"},
                                                             {"\x82\xA0\x41", 0, "あA"},
                                                             {"\xD6\xD0\xCE\xC4", 1, "中文"},
                                                             {"\x95\x32\x82\x36", 1, "\U00020000"},
                                                             {"\xC0\xE1", 8, "Аб"},
                                                             {"caf\xE9 \x80", 2, "café €"},
                                                             {"\xE9", 4, "é"},
                                                             {"ab\x81xy", 2, "?"},
                                                             {"abc\x83", 0, "?"}};
  for (const auto& [bytes, language, expected] : cases)
    EXPECT_EQ(FromCodePage(bytes, language), expected) << expected;
}

TEST(CodePageToUtf16, UnconvertibleEmptyAndMissingSources) {
  // The units after the "?" read as zero up to the reported length.
  int32_t length = 0;
  Utf16String s = CodePageToUtf16("abcdefgh\x81", &length, "CP1252");
  ASSERT_TRUE(s);
  for (int32_t i = 1; i <= length / 2; ++i) EXPECT_EQ(s[i], 0) << i;
  // A code page the platform does not know gives nothing to show.
  s = CodePageToUtf16("abc", &length, "NO-SUCH-CODE-PAGE");
  ASSERT_TRUE(s);
  EXPECT_EQ(s[0], 0);
  EXPECT_FALSE(CodePageToUtf16(nullptr, &length, "CP1252"));
  s = CodePageToUtf16("", &length, "NO-SUCH-CODE-PAGE");
  ASSERT_TRUE(s);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(s[0], 0);
}

TEST(IconvToUtf16, CountsUnitsWithTerminatorAndFailsCleanly) {
  uint16_t dst[8];
  EXPECT_EQ(IconvToUtf16(dst, "abc", 8, "UTF-8"), 4);
  EXPECT_EQ(Utf8Of(dst), "abc");
  // No byte-order mark is produced.
  EXPECT_EQ(IconvToUtf16(dst, "\xF0\x9F\x8E\xB5", 8, "UTF-8"), 3);
  EXPECT_EQ(Utf8Of(dst), "\U0001F3B5");
  const std::tuple<const char*, int32_t, const char*> failing[] = {
      {"abcd", 4, "UTF-8"},  // no room for the terminator
      {"abc", 3, "UTF-8"},
      {"a\xFF", 8, "UTF-8"},
      {"a", 8, "NO-SUCH-ENCODING"}};
  for (const auto& [text, room, encoding] : failing) {
    dst[0] = 7;
    EXPECT_EQ(IconvToUtf16(dst, text, room, encoding), -1) << text;
    EXPECT_EQ(dst[0], 0) << text;
  }
  EXPECT_EQ(IconvToUtf16(dst, "ab", 3, "CP1252"), 3);
}

// Plain ASCII skips iconv for the encodings that map it to itself; the
// result must be what iconv gives, byte for byte.
TEST(IconvToUtf16, AsciiGivesWhatIconvGives) {
  std::string all;
  for (int c = 1; c < 0x80; ++c) all.push_back(static_cast<char>(c));
  for (const char* encoding : {"UTF-8", "CP1252", "CP1251", "GB18030", "SJIS"}) {
    std::vector<uint16_t> ours(all.size() + 1, 0xAAAA), theirs(all.size() + 1, 0);
    ASSERT_EQ(IconvToUtf16(ours.data(), all.c_str(), static_cast<int32_t>(ours.size()), encoding),
              static_cast<int32_t>(ours.size()))
        << encoding;
    iconv_t cd = iconv_open("UTF-16LE", encoding);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << encoding;
    char* in = all.data();
    char* out = reinterpret_cast<char*>(theirs.data());
    size_t in_left = all.size(), out_left = 2 * all.size();
    ASSERT_NE(iconv(cd, &in, &in_left, &out, &out_left), static_cast<size_t>(-1)) << encoding;
    iconv_close(cd);
    EXPECT_EQ(ours, theirs) << encoding;
  }
}

TEST(DecodeUtf8, DecodesSequencesAndReplacesBrokenOnes) {
  // Then a stray continuation, a missing one, overlong forms, an encoded
  // surrogate, a value beyond U+10FFFF, a byte never used, a cut sequence.
  const std::pair<std::string, std::string> cases[] = {
      {"A", "A"},
      {"\xC3\xA9", "é"},
      {"\xE3\x81\x82", "あ"},
      {"\xF0\x9F\x8E\xB5!", "\U0001F3B5!"},
      {"\xF4\x8F\xBF\xBF", "\U0010FFFF"},
      {"", ""},
      {"\x80z", "\uFFFDz"},
      {"\xC3z", "\uFFFDz"},
      {"\xC0\x80", "\uFFFD\uFFFD"},
      {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xFF", "\uFFFD"},
      {"\xE3\x81z", "\uFFFDz"}};
  for (const auto& [bytes, expected] : cases)
    EXPECT_EQ(Decode(bytes.data(), bytes.size()), expected) << expected;
}

TEST(DecodeUtf8, NeverReadsPastTheGivenLength) {
  // The bytes after n would complete the sequences if they were read; a heap
  // block of exactly n bytes lets the address sanitizer catch a read beyond it.
  for (const char* s : {"\xE3\x81\x82", "\xF0\x9F\x8E\xB5", "\xC3\xA9", "\xF0\x9F"}) {
    size_t n = std::strlen(s) - 1;
    EXPECT_EQ(Decode(s, n), "\uFFFD") << n;
    std::vector<char> exact(s, s + n);
    EXPECT_EQ(Decode(exact.data(), n), "\uFFFD") << n;
  }
}

TEST(DecodeUtf8, WritesBigEndianUnitsWhenAskedAndCountsUnits) {
  uint16_t out[4] = {};
  EXPECT_EQ(DecodeUtf8(out, "\xC3\xA9", 2, false, false), 1);
  EXPECT_EQ(out[0], 0xE900);
  EXPECT_EQ(out[1], 0);
  int32_t units = -1;
  Utf16String s = Utf8ToUtf16("a\xF0\x9F\x8E\xB5\xC3", &units, true);
  ASSERT_TRUE(s);
  EXPECT_EQ(units, 4);
  EXPECT_EQ(Utf8Of(s.get()), "a\U0001F3B5\uFFFD");
}

TEST(SwapUtf16Bytes, SwapsAtMostTheFirst150Units) {
  std::vector<uint16_t> s(201, 0x4100);
  s[200] = 0;
  SwapUtf16Bytes(s.data(), 0);
  for (size_t i = 0; i < 200; ++i) EXPECT_EQ(s[i], i < 150 ? 0x0041 : 0x4100) << i;
  uint16_t t[] = {0x4100, 0x4200, 0x4300, 0};
  SwapUtf16Bytes(t, 4);
  EXPECT_EQ(std::vector<uint16_t>(t, t + 3), (std::vector<uint16_t>{0x41, 0x42, 0x4300}));
}

TEST(Utf16NCopy, PadsWithZerosAndAddsNoTerminatorWhenTheCountRunsOut) {
  const uint16_t src[] = {'a', 'b', 0};
  uint16_t dst[6] = {9, 9, 9, 9, 9, 9};
  Utf16NCopy(dst, src, 5);
  EXPECT_EQ(std::vector<uint16_t>(dst, dst + 6), (std::vector<uint16_t>{'a', 'b', 0, 0, 0, 9}));
  uint16_t cut[2] = {9, 9};
  Utf16NCopy(cut, src, 1);  // no terminator when the count runs out
  EXPECT_EQ(cut[1], 9);
  EXPECT_EQ(Utf16Len(src), 2u);
}

TEST(PathEncoding, PathsComeBackByteForByteFromUtf16) {
  // An update reopens files from the UTF-16 paths it stored, so the way back
  // must give the very bytes the file system handed out.
  for (const char* path : {"/Music/a.mp3", "/M\xC3\xBAsica/Bj\xC3\xB6rk/caf\xC3\xA9 \xE2\x80\x93 01.m4a",
                           "/\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89/\xF0\x9F\x8E\xB5.mp3",
                           "/A\xCC\x8A decomposed.wav"}) {
    SCOPED_TRACE(path);
    uint16_t wide[2080];
    ASSERT_GT(IconvToUtf16(wide, path, 2080, kPathEncoding), 0);
    char back[1025];
    ASSERT_GE(IconvFromUtf16(back, wide, 1024, kPathEncoding), 0);
    EXPECT_STREQ(back, path);
  }
  uint16_t wide[16];
  EXPECT_EQ(IconvToUtf16(wide, "/bad\xFF.mp3", 16, kPathEncoding), -1);
  EXPECT_EQ(wide[0], 0);
}

}  // namespace
}  // namespace qv

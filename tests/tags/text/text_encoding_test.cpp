#include "tags/text/text_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/path_encoding.h"

namespace qv {
namespace {

std::u16string U16(const uint16_t* s) {
  std::u16string out;
  for (; *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

std::u16string FromCodePage(const std::string& bytes, int language) {
  int32_t length = -1;
  Utf16String s = CodePageToUtf16(bytes.c_str(), &length, CodePageTable[language]);
  EXPECT_EQ(length, static_cast<int32_t>(2 * bytes.size()));
  return s ? U16(s.get()) : u"<null>";
}

// Decodes n bytes in writing mode and checks that counting agrees.
std::u16string Decode(const char* src, size_t n) {
  std::vector<uint16_t> out(2 * n + 1, 0xAAAA);
  int32_t written = DecodeUtf8(out.data(), src, n, false, true);
  EXPECT_EQ(DecodeUtf8(nullptr, src, n, true, true), written);
  EXPECT_EQ(out[written], 0);
  return std::u16string(out.begin(), out.begin() + written);
}

TEST(CodePageTable, NineLanguagesWithTheirCodePages) {
  const char* codes[] = {"ja", "zh", "en", "fr", "de", "it", "es", "nl", "ru"};
  const char* pages[] = {"SJIS",   "GB18030", "CP1252", "CP1252", "CP1252",
                         "CP1252", "CP1252",  "CP1252", "CP1251"};
  for (int i = 0; i < kTagLanguageCount; ++i) {
    EXPECT_STREQ(TagLanguageCodes[i], codes[i]);
    EXPECT_STREQ(CodePageTable[i], pages[i]);
  }
}

TEST(CodePageToUtf16, DecodesTheLegacyCodePagesOfEachLanguage) {
  EXPECT_EQ(FromCodePage("\x83\x65", 0), u"\u30C6");                // SJIS katakana TE
  EXPECT_EQ(FromCodePage("\x82\xA0\x41", 0), u"\u3042A");           // SJIS hiragana A, then ASCII
  EXPECT_EQ(FromCodePage("\xD6\xD0\xCE\xC4", 1), u"\u4E2D\u6587");  // GB18030
  EXPECT_EQ(FromCodePage("\x95\x32\x82\x36", 1), u"\U00020000");    // four-byte GB18030
  EXPECT_EQ(FromCodePage("\xC0\xE1", 8), u"\u0410\u0431");          // CP1251
  EXPECT_EQ(FromCodePage("caf\xE9 \x80", 2), u"caf\u00E9 \u20AC");  // CP1252
  EXPECT_EQ(FromCodePage("\xE9", 4), u"\u00E9");
}

TEST(CodePageToUtf16, UnconvertibleTextBecomesAQuestionMark) {
  // 0x81 is undefined in CP1252; a lead byte cut off by the end in SJIS.
  EXPECT_EQ(FromCodePage("ab\x81"
                         "cd",
                         2),
            u"?");
  EXPECT_EQ(FromCodePage("abc\x83", 0), u"?");
  // The units after the "?" read as zero up to the reported length.
  int32_t length = 0;
  Utf16String s = CodePageToUtf16("abcdefgh\x81", &length, "CP1252");
  ASSERT_TRUE(s);
  for (int32_t i = 1; i <= length / 2; ++i) EXPECT_EQ(s[i], 0) << i;
  // A code page the platform does not know gives nothing to show.
  s = CodePageToUtf16("abc", &length, "NO-SUCH-CODE-PAGE");
  ASSERT_TRUE(s);
  EXPECT_EQ(s[0], 0);
}

TEST(CodePageToUtf16, EmptyAndMissingSources) {
  int32_t length = 7;
  EXPECT_FALSE(CodePageToUtf16(nullptr, &length, "CP1252"));
  Utf16String s = CodePageToUtf16("", &length, "NO-SUCH-CODE-PAGE");
  ASSERT_TRUE(s);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(s[0], 0);
}

TEST(IconvToUtf16, CountsUnitsWithTerminatorAndFailsCleanly) {
  uint16_t dst[8];
  EXPECT_EQ(IconvToUtf16(dst, "abc", 8, "UTF-8"), 4);
  EXPECT_EQ(U16(dst), u"abc");
  EXPECT_EQ(IconvToUtf16(dst, "abcd", 4, "UTF-8"), -1);  // no room for the terminator
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(IconvToUtf16(dst, "a\xFF", 8, "UTF-8"), -1);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(IconvToUtf16(dst, "a", 8, "NO-SUCH-ENCODING"), -1);
  EXPECT_EQ(dst[0], 0);
  // No byte-order mark is produced.
  EXPECT_EQ(IconvToUtf16(dst, "\xF0\x9F\x8E\xB5", 8, "UTF-8"), 3);
  EXPECT_EQ(U16(dst), u"\U0001F3B5");
}

// Plain ASCII skips iconv for the encodings that map it to itself; the
// result must be what iconv gives, byte for byte.
TEST(IconvToUtf16, AsciiGivesWhatIconvGives) {
  std::string all;
  for (int c = 1; c < 0x80; ++c) all.push_back(static_cast<char>(c));
  for (const char* encoding : {"UTF-8", "CP1252", "CP1251", "GB18030", "SJIS"}) {
    std::vector<uint16_t> ours(all.size() + 1, 0xAAAA);
    ASSERT_EQ(IconvToUtf16(ours.data(), all.c_str(), static_cast<int32_t>(ours.size()), encoding),
              static_cast<int32_t>(ours.size()))
        << encoding;
    iconv_t cd = iconv_open("UTF-16LE", encoding);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << encoding;
    std::vector<uint16_t> theirs(all.size() + 1, 0);
    char* in = all.data();
    size_t in_left = all.size();
    char* out = reinterpret_cast<char*>(theirs.data());
    size_t out_left = 2 * all.size();
    ASSERT_NE(iconv(cd, &in, &in_left, &out, &out_left), static_cast<size_t>(-1)) << encoding;
    iconv_close(cd);
    EXPECT_EQ(ours, theirs) << encoding;
  }
  // Too long for the room: refused like iconv refuses it.
  uint16_t small[3] = {7, 7, 7};
  EXPECT_EQ(IconvToUtf16(small, "abc", 3, "UTF-8"), -1);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(IconvToUtf16(small, "ab", 3, "CP1252"), 3);
}

TEST(IconvFromUtf16, ConvertsBackAndRejectsWhatItCannotWrite) {
  const uint16_t text[] = {'a', 0x00E9, 0};
  char dst[16];
  EXPECT_GE(IconvFromUtf16(dst, text, 15, "UTF-8"), 0);
  EXPECT_STREQ(dst, "a\xC3\xA9");
  EXPECT_EQ(IconvFromUtf16(dst, text, 2, "UTF-8"), -1);  // three bytes needed
  EXPECT_STREQ(dst, "");
  const uint16_t lone[] = {'a', 0xD800, 'b', 0};
  EXPECT_EQ(IconvFromUtf16(dst, lone, 15, "UTF-8"), -1);
  EXPECT_STREQ(dst, "");
}

// Update reopens files from paths stored as UTF-16, so every name must come
// back byte for byte, decomposed accents and characters beyond U+FFFF too.
TEST(PathEncoding, NamesSurviveTheRoundTripThroughUtf16) {
  const char* names[] = {
      "/Music/a.mp3",
      "/M\xC3\xBAsica/caf\xC3\xA9.mp3",  // composed
      "/Musica/cafe\xCC\x81.mp3",        // decomposed
      "/\xE9\x9F\xB3\xE6\xA5\xBD/\xF0\x9F\x8E\xB5.m4a",
      "/\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0/ x .wav",
  };
  for (const char* name : names) {
    uint16_t wide[300];
    ASSERT_GT(IconvToUtf16(wide, name, 300, kPathEncoding), 0) << name;
    char back[1024];
    ASSERT_GE(IconvFromUtf16(back, wide, 1023, kPathEncoding), 0) << name;
    EXPECT_STREQ(back, name);
  }
}

TEST(DecodeUtf8, DecodesOneTwoThreeAndFourByteSequences) {
  EXPECT_EQ(Decode("A", 1), u"A");
  EXPECT_EQ(Decode("\xC3\xA9", 2), u"\u00E9");
  EXPECT_EQ(Decode("\xE3\x81\x82", 3), u"\u3042");
  EXPECT_EQ(Decode("\xF0\x9F\x8E\xB5!", 5), u"\U0001F3B5!");
  EXPECT_EQ(Decode("\xF4\x8F\xBF\xBF", 4), u"\U0010FFFF");
  EXPECT_EQ(Decode("", 0), u"");
}

TEST(DecodeUtf8, BrokenSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Decode("\x80"
                   "A",
                   2),
            u"\uFFFDA");  // stray continuation
  EXPECT_EQ(Decode("\xC3"
                   "A",
                   2),
            u"\uFFFDA");                                                  // missing continuation
  EXPECT_EQ(Decode("\xC0\x80", 2), u"\uFFFD\uFFFD");                      // overlong zero
  EXPECT_EQ(Decode("\xE0\x80\xAF", 3), u"\uFFFD\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(Decode("\xED\xA0\x80", 3), u"\uFFFD\uFFFD\uFFFD");            // encoded surrogate
  EXPECT_EQ(Decode("\xF4\x90\x80\x80", 4), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // beyond U+10FFFF
  EXPECT_EQ(Decode("\xFF", 1), u"\uFFFD");
  EXPECT_EQ(Decode("\xE3\x81"
                   "A",
                   3),
            u"\uFFFDA");  // cut off, then text
}

TEST(DecodeUtf8, NeverReadsPastTheGivenLength) {
  // The bytes after n would complete the sequences if they were read.
  EXPECT_EQ(Decode("\xE3\x81\x82", 2), u"\uFFFD");
  EXPECT_EQ(Decode("\xF0\x9F\x8E\xB5", 3), u"\uFFFD");
  EXPECT_EQ(Decode("\xC3\xA9", 1), u"\uFFFD");
  // A heap block of exactly n bytes lets the address sanitizer catch a
  // read beyond it.
  for (const char* s : {"\xE3", "\xF0\x9F", "\xF0\x9F\x8E", "\xC3"}) {
    size_t n = std::strlen(s);
    std::vector<char> exact(s, s + n);
    EXPECT_EQ(Decode(exact.data(), n), u"\uFFFD") << n;
  }
}

TEST(DecodeUtf8, WritesBigEndianUnitsWhenAsked) {
  uint16_t out[4] = {};
  EXPECT_EQ(DecodeUtf8(out, "\xC3\xA9", 2, false, false), 1);
  EXPECT_EQ(out[0], 0xE900);
  EXPECT_EQ(out[1], 0);
}

TEST(Utf8ToUtf16, ReportsTheUnitCount) {
  int32_t units = -1;
  Utf16String s = Utf8ToUtf16("a\xF0\x9F\x8E\xB5\xC3", &units, true);
  ASSERT_TRUE(s);
  EXPECT_EQ(units, 4);
  EXPECT_EQ(U16(s.get()), u"a\U0001F3B5\uFFFD");
}

TEST(SwapUtf16Bytes, SwapsAtMostTheFirst150Units) {
  std::vector<uint16_t> s(201, 0x4100);
  s[200] = 0;
  SwapUtf16Bytes(s.data(), 0);
  for (size_t i = 0; i < 200; ++i) EXPECT_EQ(s[i], i < 150 ? 0x0041 : 0x4100) << i;

  uint16_t t[] = {0x4100, 0x4200, 0x4300, 0};
  SwapUtf16Bytes(t, 4);
  EXPECT_EQ(t[0], 0x41);
  EXPECT_EQ(t[1], 0x42);
  EXPECT_EQ(t[2], 0x4300);
}

TEST(Utf16Helpers, CopyPadsWithZerosAndAddsNoTerminator) {
  const uint16_t src[] = {'a', 'b', 0};
  uint16_t dst[6] = {9, 9, 9, 9, 9, 9};
  Utf16NCopy(dst, src, 5);
  EXPECT_EQ(std::vector<uint16_t>(dst, dst + 6), (std::vector<uint16_t>{'a', 'b', 0, 0, 0, 9}));
  uint16_t cut[3] = {9, 9, 9};
  Utf16NCopy(cut, src, 1);
  EXPECT_EQ(std::vector<uint16_t>(cut, cut + 3), (std::vector<uint16_t>{'a', 9, 9}));
  EXPECT_EQ(Utf16Len(src), 2u);
}

TEST(Utf16Helpers, CaseChangesTouchOnlyAsciiLetters) {
  // U+0161 has the low byte of "a" and must not change.
  uint16_t s[] = {'a', 'z', 'A', '{', 0x00E9, 0x0161, '1', 0};
  Utf16UpperAscii(s);
  EXPECT_EQ(U16(s), u"AZA{\u00E9\u01611");
  char ext[] =
      "MP3.\xC3\x89"
      "Aiff";
  ToLowerInPlace(ext);
  EXPECT_STREQ(ext,
               "mp3.\xC3\x89"
               "aiff");
}

}  // namespace
}  // namespace qv

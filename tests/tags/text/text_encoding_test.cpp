#include "tags/text/text_encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/path_encoding.h"
#include "platform/preferred_language.h"
#include "support/real_files.h"
#include "tags/default_tag_language.h"

namespace qv {
namespace {
// clang-format off

using test::Utf8Of;

TEST(TextEncoding, CodePagesOfEachLanguageAndIconv) {
  // Undefined in CP1252 and an SJIS lead byte cut off by the end spoil the text.
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"\x83\x65", "SJIS", "テ"}, {"\x82\xA0\x41", "SJIS", "あA"}, {"\xD6\xD0\xCE\xC4", "GB18030", "中文"},
      {"\x95\x32\x82\x36", "GB18030", "\U00020000"}, {"\xC0\xE1", "CP1251", "Аб"},
      {"caf\xE9 \x80", "CP1252", "café €"}, {"ab\x81xy", "CP1252", "?"}, {"abc\x83", "SJIS", "?"},
      {"abc", "NO-SUCH-CODE-PAGE", ""}, {"", "NO-SUCH-CODE-PAGE", ""}};
  for (const auto& [bytes, page, expected] : cases) {
    int32_t length = -1;
    Utf16String s = CodePageToUtf16(bytes.c_str(), &length, page);
    ASSERT_TRUE(s);
    // The units after the text read as zero up to the reported length.
    EXPECT_EQ(std::tuple(Utf8Of(s.get()), length), std::tuple(expected, 2 * bytes.size()));
    for (int32_t i = Utf16Len(s.get()); i <= length / 2; ++i) EXPECT_EQ(s[i], 0) << expected;
  }
  int32_t length = 0;
  EXPECT_FALSE(CodePageToUtf16(nullptr, &length, "CP1252"));
  uint16_t dst[8];
  EXPECT_EQ(IconvToUtf16(dst, "\xF0\x9F\x8E\xB5", 8, "UTF-8"), 3);  // no byte-order mark
  EXPECT_EQ(Utf8Of(dst), "\U0001F3B5");
  for (const auto& [text, room, encoding] : {std::tuple{"abcd", 4, "UTF-8"}, {"a\xFF", 8, "UTF-8"}, {"a", 8, "NO-SUCH-ENCODING"}}) {
    dst[0] = 7;
    EXPECT_EQ((std::tuple{IconvToUtf16(dst, text, room, encoding), dst[0]}), std::tuple(-1, 0)) << text;
  }
  // Plain ASCII skips iconv where it maps to itself: the result must match iconv's.
  std::string all;
  for (int c = 1; c < 0x80; ++c) all.push_back(static_cast<char>(c));
  for (const char* encoding : {"UTF-8", "CP1252", "CP1251", "GB18030", "SJIS"}) {
    std::vector<uint16_t> ours(all.size() + 1, 0xAAAA), theirs(all.size() + 1, 0);
    EXPECT_EQ(IconvToUtf16(ours.data(), all.c_str(), int32_t(ours.size()), encoding), int32_t(ours.size()));
    iconv_t cd = iconv_open("UTF-16LE", encoding);
    char *in = all.data(), *out = reinterpret_cast<char*>(theirs.data());
    size_t in_left = all.size(), out_left = 2 * all.size();
    iconv(cd, &in, &in_left, &out, &out_left), iconv_close(cd);
    EXPECT_EQ(ours, theirs) << encoding;
  }
}

TEST(TextEncoding, DecodeUtf8ReplacesBrokenSequencesWithinTheLength) {
  // Broken sequences, then sequences whose rest lies just past n in a heap block the sanitizer guards.
  const std::pair<std::string, std::string> cases[] = {
      {"A\xC3\xA9\xE3\x81\x82", "Aéあ"}, {"\xF0\x9F\x8E\xB5!", "\U0001F3B5!"},
      {"\xF4\x8F\xBF\xBF", "\U0010FFFF"}, {"", ""}, {"\x80z", "\uFFFDz"}, {"\xC3z", "\uFFFDz"},
      {"\xC0\x80", "\uFFFD\uFFFD"}, {"\xE0\x80\xAF", "\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"}, {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xFF", "\uFFFD"}, {"\xE3\x81z", "\uFFFDz"}, {"\xE3\x81", "\uFFFD"}, {"\xF0\x9F\x8E", "\uFFFD"},
      {"\xC3", "\uFFFD"}, {"\xF0", "\uFFFD"}};
  for (const auto& [bytes, expected] : cases) {
    std::vector<char> exact(bytes.begin(), bytes.end());
    std::vector<uint16_t> out(2 * bytes.size() + 1, 0xAAAA);
    int32_t written = DecodeUtf8(out.data(), exact.data(), exact.size(), false, true);
    EXPECT_EQ(DecodeUtf8(nullptr, exact.data(), exact.size(), true, true), written) << expected;
    EXPECT_EQ(std::tuple(Utf8Of(out.data()), out[written]), std::tuple(expected, 0));
  }
  uint16_t out[4] = {};
  EXPECT_EQ((std::tuple{DecodeUtf8(out, "\xC3\xA9", 2, false, false), out[0]}), std::tuple(1, 0xE900));
  int32_t units = -1;
  Utf16String s = Utf8ToUtf16("a\xF0\x9F\x8E\xB5\xC3", &units, true);
  EXPECT_EQ(std::tuple(Utf8Of(s.get()), units), std::tuple("a\U0001F3B5\uFFFD", 4));
}

TEST(TextEncoding, SwapCopyAndPathsBackByteForByte) {
  std::vector<uint16_t> s(201, 0x4100);
  s[200] = 0;
  SwapUtf16Bytes(s.data(), 0);  // at most the first 150 units
  EXPECT_EQ(std::count(s.begin(), s.end(), 0x0041), 150);
  uint16_t t[] = {0x4100, 0x4200, 0x4300, 0}, dst[6] = {9, 9, 9, 9, 9, 9};
  SwapUtf16Bytes(t, 5);  // an odd last byte stays
  EXPECT_EQ(std::vector<uint16_t>(t, t + 3), (std::vector<uint16_t>{0x41, 0x42, 0x4300}));
  const uint16_t src[] = {'a', 'b', 0};
  Utf16NCopy(dst, src, 5);
  EXPECT_EQ(std::vector<uint16_t>(dst, dst + 6), (std::vector<uint16_t>{'a', 'b', 0, 0, 0, 9}));
  Utf16NCopy(dst, t, 1);  // no terminator when the count runs out
  EXPECT_EQ(dst[1], 'b');
  // An update reopens files from stored UTF-16 paths: they must give back the same bytes.
  for (const char* path : {"/M\xC3\xBAsica/caf\xC3\xA9 \xE2\x80\x93 01.m4a", "/\xE3\x81\x95/\xF0\x9F\x8E\xB5.mp3", "/A\xCC\x8A decomposed.wav"}) {
    uint16_t wide[2080];
    char back[1025];
    ASSERT_GT(IconvToUtf16(wide, path, 2080, kPathEncoding), 0);
    ASSERT_GE(IconvFromUtf16(back, wide, 1024, kPathEncoding), 0);
    EXPECT_STREQ(back, path);
  }
}

// Each step sets or clears one variable, in order; the language then in force.
TEST(DefaultTagLanguage, FromTheFirstLocaleVariableSet) {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  const std::tuple<const char*, const char*, int> steps[] = {
      {"LANG", nullptr, 2}, {"LANG", "ja", 0}, {"LANG", "ja_JP.UTF-8", 0}, {"LANG", "ja-JP", 0}, {"LANG", "zh_TW", 1},
      {"LANG", "zh-Hans", 1}, {"LANG", "en_GB", 2}, {"LANG", "fr_FR", 3}, {"LANG", "de_DE.UTF-8", 4}, {"LANG", "it", 5},
      {"LANG", "es_ES", 6}, {"LANG", "nl_NL", 7}, {"LANG", "pt_BR", 2}, {"LANG", "j", 2}, {"LANG", "C.UTF-8", 2},
      {"LANG", "POSIX", 2}, {"LANG", "", 2}, {"LANG", "ru_RU.UTF-8", 8}, {"LC_MESSAGES", "de_DE", 4},
      {"LC_ALL", "fr_FR", 3}, {"LANGUAGE", "ja:ru", 0}, {"LANGUAGE", ":zh", 3}, {"LC_ALL", "C", 2}, {"LANGUAGE", nullptr, 2}};
  for (const auto& [name, value, language] : steps) {
    value ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(DefaultTagLanguage(), language) << name << "=" << (value ? value : "(unset)");
  }
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(name);
  setenv("LANG", "nl_NL.ISO-8859-15@euro", 1);
  char buffer[9] = "xxxxxxxx";
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  unsetenv("LANG");  // nothing set: the buffer is left alone
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "nl_NL.IS");
  setenv("LANG", "C.UTF-8", 1);  // a plain locale names no language either
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "nl_NL.IS");
  unsetenv("LANG");
  for (const auto& [code, language] : {std::pair{"ja", 0}, {"ru", 8}, {"RU", -1}, {"pt", -1}, {"", -1}})
    EXPECT_EQ(TagLanguageFromCode(code), language) << code;
}

// clang-format on
}  // namespace
}  // namespace qv

// ID3 tags as real taggers write them: MPEG audio from ffmpeg, tags from
// mutagen (or, for ID3v2.2, which mutagen no longer writes, from the test's
// own writer), read with GetTrackTags and with `qvlib tags`.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/id3_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {

constexpr int kJa = 0, kZh = 1, kEn = 2, kFr = 3, kRu = 8;

class RealId3Test : public ::testing::Test {
 protected:
  std::string Mp3(const std::string& name) {
    std::string path = dir_.str(true) + name;
    EXPECT_TRUE(MakeAudio(path));
    return path;
  }
  TagRead Read(const std::string& path, int language = kEn) {
    TagRead r = ReadTags(path, dir_.str(true), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }

  TempDir dir_;
};

TEST_F(RealId3Test, Id3v23Utf16GivesEveryFieldInEveryLanguage) {
  std::string path = Mp3("v23.mp3");
  ASSERT_TRUE(WriteId3v2(path, 3, 1,
                         {{"TIT2", "Café Ünïcode 日本の歌"},
                          {"TPE1", "Björk Ørsted"},
                          {"TALB", "Été à Paris"},
                          {"TCON", "(17)"},
                          {"TRCK", "3/12"}}));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes[3], 3);  // really version 2.3
  for (int language = 0; language < 9; ++language) {
    SCOPED_TRACE(language);
    TagRead r = Read(path, language);
    EXPECT_EQ(r.Fields(), "Café Ünïcode 日本の歌|Björk Ørsted|Été à Paris|Rock|3");
    EXPECT_EQ(r.type, kFileTypeMp3);
    EXPECT_EQ(r.size, bytes.size());
    EXPECT_EQ(r.path, "/v23.mp3");
  }
}

TEST_F(RealId3Test, Id3v24Utf8CoverPictureBeforeTitleLosesNoField) {
  std::string path = Mp3("cover.mp3");
  ASSERT_TRUE(WriteId3v2(path, 4, 3,
                         {{"APIC", ""},
                          {"TIT2", "Über den Fluss"},
                          {"TPE1", "Kessler Trio"},
                          {"TALB", "Nachtzug"},
                          {"TCON", "Jazz"},
                          {"TRCK", "7"}}));
  // The picture comes first and its syncsafe size differs from the same four
  // bytes read as a plain number; otherwise this test would prove nothing.
  auto b = ReadFileBytes(path);
  ASSERT_EQ(std::string(b.begin() + 10, b.begin() + 14), "APIC");
  uint32_t plain = (b[14] << 24) | (b[15] << 16) | (b[16] << 8) | b[17];
  uint32_t syncsafe = (b[14] << 21) | (b[15] << 14) | (b[16] << 7) | b[17];
  ASSERT_NE(plain, syncsafe);
  ASSERT_GT(syncsafe, 1000u);
  EXPECT_EQ(Read(path).Fields(), "Über den Fluss|Kessler Trio|Nachtzug|Jazz|7");
}

TEST_F(RealId3Test, Id3v24Utf16BigEndianAndLatin1) {
  std::string path = Mp3("be.mp3");
  ASSERT_TRUE(WriteId3v2(
      path, 4, 2,
      {{"TIT2", "Привет"}, {"TPE1", "Ансамбль"}, {"TCON", "(17)(20)"}, {"TRCK", "3/12"}}));
  EXPECT_EQ(Read(path, kJa).Fields(), "Привет|Ансамбль||Rock,Alternative|3");
  // Encoding 0 is read in the tag language's code page, not as Latin-1: E9
  // is "é" in CP1252, "й" in CP1251, and in Shift-JIS the lead byte of a pair
  // cut short by the end of the text, so the text becomes "?".
  path = Mp3("latin1.mp3");
  ASSERT_TRUE(WriteId3v2(path, 4, 0, {{"TIT2", "Café"}, {"TPE1", "Plain"}}));
  EXPECT_EQ(Read(path, kEn).title, "Café");
  EXPECT_EQ(Read(path, kFr).title, "Café");
  EXPECT_EQ(Read(path, kRu).title, "Cafй");
  EXPECT_EQ(Read(path, kJa).title + "|" + Read(path, kJa).artist, "?|Plain");
}

TEST_F(RealId3Test, Id3v22InFrontOfRealAudio) {
  std::string path = Mp3("old.mp3");
  auto frame = [](const char* id, std::u16string_view text) {
    return Id3v2Frame(2, id, Id3Utf16(text));
  };
  ASSERT_TRUE(PrependBytes(
      path, Id3v2Tag(2,
                     {frame("TT2", u"Früh"), frame("TP1", u"Alte Band"), frame("TAL", u"Archiv"),
                      frame("TCO", u"(13)"), frame("TRK", u"5/9")},
                     {.padding = 20})));
  EXPECT_EQ(Read(path).Fields(), "Früh|Alte Band|Archiv|Pop|5");
}

TEST_F(RealId3Test, Id3v1ShiftJisAndCp1251AreReadInTheirLanguages) {
  // "テスト" / "さくら" / "季節" in Shift-JIS.
  std::string sjis = Mp3("sjis.mp3");
  ASSERT_TRUE(AppendId3v1(sjis, "\x83\x65\x83\x58\x83\x67", "\x82\xB3\x82\xAD\x82\xE7",
                          "\x8B\x47\x90\xDF", 7, 146));
  EXPECT_EQ(Read(sjis, kJa).Fields(), "テスト|さくら|季節|JPop|7");
  EXPECT_EQ(Read(sjis, kEn).title, "ƒeƒXƒg");
  EXPECT_EQ(Read(sjis, kRu).title, "ѓeѓXѓg");
  // GB18030 pairs the bytes differently but every pair is defined.
  std::string zh = Read(sjis, kZh).title;
  EXPECT_NE(zh, "テスト");
  EXPECT_NE(zh, "");

  // "Нева" / "Белые ночи" in CP1251.
  std::string cp1251 = Mp3("cp1251.mp3");
  ASSERT_TRUE(
      AppendId3v1(cp1251, "\xCD\xE5\xE2\xE0", "\xC1\xE5\xEB\xFB\xE5 \xED\xEE\xF7\xE8", "", 2, 17));
  EXPECT_EQ(Read(cp1251, kRu).Fields(), "Нева|Белые ночи||Rock|2");
  EXPECT_EQ(Read(cp1251, kEn).title, "Íåâà");
  EXPECT_EQ(Read(cp1251, kJa).title, "?");  // the last byte E0 starts a pair the end cuts off
}

TEST_F(RealId3Test, UntaggedFileIsTitledByItsName) {
  std::filesystem::create_directories(dir_.path() / "Folder");
  TagRead r = Read(Mp3("Folder/Song Name .Mp3"));
  EXPECT_EQ(r.Fields(), "Song Name .Mp3||||65535");
  EXPECT_EQ(r.path, "/Folder/Song Name .Mp3");
}

// `qvlib tags` over real files: one JSON object per file, in argument order.
TEST_F(RealId3Test, QvlibTagsPrintsRealFilesInSeveralLanguages) {
  std::string v24 = Mp3("v24.mp3");
  ASSERT_TRUE(WriteId3v2(
      v24, 4, 3, {{"APIC", ""}, {"TIT2", "Night Drive 🌙"}, {"TCON", "(17)"}, {"TRCK", "3/12"}}));
  std::string sjis = Mp3("sjis.mp3");
  ASSERT_TRUE(AppendId3v1(sjis, "\x83\x65\x83\x58\x83\x67", "", "", -1, 255));
  std::string missing = dir_.str(true) + "gone.mp3";
  const nlohmann::json first = {{"file", v24},
                                {"status", 0},
                                {"type", 1},
                                {"size", ReadFileBytes(v24).size()},
                                {"track", 3},
                                {"genre", "Rock"},
                                {"artist", ""},
                                {"album", ""},
                                {"title", "Night Drive 🌙"},
                                {"path", "/v24.mp3"}};
  const std::pair<const char*, const char*> cases[] = {
      {"ja", "テスト"}, {"en", "ƒeƒXƒg"}, {"de", "ƒeƒXƒg"}, {"ru", "ѓeѓXѓg"}};
  for (const auto& [lang, sjis_title] : cases) {
    SCOPED_TRACE(lang);
    ProgramResult run =
        RunQvlib({"tags", "--lang", lang, "--root", dir_.str(true), v24, sjis, missing});
    EXPECT_EQ(run.status, 1) << run.errors;  // one file could not be read
    auto lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    EXPECT_EQ(nlohmann::json::parse(lines[0]), first);
    auto second = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(second["title"], sjis_title);
    EXPECT_TRUE(second["track"].is_null());
    EXPECT_EQ(second["genre"], "");
    EXPECT_EQ(nlohmann::json::parse(lines[2]), (nlohmann::json{{"file", missing}, {"status", 2}}));
  }
}

}  // namespace
}  // namespace qv::test

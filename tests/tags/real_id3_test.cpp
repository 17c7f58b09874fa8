// ID3 tags as real taggers write them: MPEG audio from ffmpeg, tags from
// mutagen (or, for ID3v2.2, which mutagen no longer writes, from bytes built
// here), read with GetTrackTags and with `qvlib tags`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/real_files.h"
#include "support/temp_dir.h"
#include "tags/track_tags.h"

namespace qv::test {
namespace {

constexpr int kJa = 0, kZh = 1, kEn = 2, kFr = 3, kRu = 8;

struct Read {
  int status = -1;
  std::string genre, artist, album, title, path;
  int track = -1;
  int type = -1;
  uint32_t size = 0;
};

Read ReadTags(const TempDir& dir, const std::string& path, int language) {
  TrackTagsStorage storage;
  Read read;
  read.status = GetTrackTags(path.c_str(), &storage.tags, language, dir.str(true).c_str());
  read.genre = Utf8Of(storage.genre);
  read.artist = Utf8Of(storage.artist);
  read.album = Utf8Of(storage.album);
  read.title = Utf8Of(storage.title);
  read.path = Utf8Of(storage.path);
  read.track = storage.tags.TrackNumber;
  read.type = storage.tags.FileType();
  read.size = storage.tags.FileSize;
  return read;
}

// An ID3v2.2 tag, the three-character frames of early encoders:
//
//   offset  size  field
//   0       3     "ID3"
//   3       2     version 2, revision 0
//   5       1     flags, 0
//   6       4     size of the frames that follow, 7 bits per byte
//   10      ...   frames: 3-byte identifier, 3-byte big-endian size, then
//                 the text encoding byte (1: UTF-16 with byte order mark)
//                 and the text
std::vector<uint8_t> Id3v22Tag(const std::vector<std::pair<std::string, std::u16string>>& frames) {
  std::vector<uint8_t> body;
  for (const auto& [id, text] : frames) {
    uint32_t size = 3 + 2 * static_cast<uint32_t>(text.size());
    body.insert(body.end(), id.begin(), id.end());
    body.insert(body.end(), {uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    body.insert(body.end(), {1, 0xFF, 0xFE});
    for (char16_t unit : text) body.insert(body.end(), {uint8_t(unit), uint8_t(unit >> 8)});
  }
  body.resize(body.size() + 20, 0);  // padding
  uint32_t size = static_cast<uint32_t>(body.size());
  std::vector<uint8_t> tag = {'I',
                              'D',
                              '3',
                              2,
                              0,
                              0,
                              uint8_t((size >> 21) & 0x7F),
                              uint8_t((size >> 14) & 0x7F),
                              uint8_t((size >> 7) & 0x7F),
                              uint8_t(size & 0x7F)};
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

class RealId3Test : public ::testing::Test {
 protected:
  std::string Mp3(const std::string& name) {
    std::string path = dir_.str(true) + name;
    EXPECT_TRUE(MakeAudio(path));
    return path;
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
    Read read = ReadTags(dir_, path, language);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.title, "Café Ünïcode 日本の歌");
    EXPECT_EQ(read.artist, "Björk Ørsted");
    EXPECT_EQ(read.album, "Été à Paris");
    EXPECT_EQ(read.genre, "Rock");
    EXPECT_EQ(read.track, 3);
    EXPECT_EQ(read.type, kFileTypeMp3);
    EXPECT_EQ(read.size, bytes.size());
    EXPECT_EQ(read.path, "/v23.mp3");
  }
}

TEST_F(RealId3Test, Id3v24CoverPictureBeforeTitleLosesNoField) {
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
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(std::string(bytes.begin() + 10, bytes.begin() + 14), "APIC");
  uint32_t plain = (bytes[14] << 24) | (bytes[15] << 16) | (bytes[16] << 8) | bytes[17];
  uint32_t syncsafe = (bytes[14] << 21) | (bytes[15] << 14) | (bytes[16] << 7) | bytes[17];
  ASSERT_NE(plain, syncsafe);
  ASSERT_GT(syncsafe, 1000u);

  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "Über den Fluss");
  EXPECT_EQ(read.artist, "Kessler Trio");
  EXPECT_EQ(read.album, "Nachtzug");
  EXPECT_EQ(read.genre, "Jazz");
  EXPECT_EQ(read.track, 7);
}

TEST_F(RealId3Test, Id3v24Utf16BigEndianAndNumericGenres) {
  std::string path = Mp3("be.mp3");
  ASSERT_TRUE(WriteId3v2(
      path, 4, 2,
      {{"TIT2", "Привет"}, {"TPE1", "Ансамбль"}, {"TCON", "(17)(20)"}, {"TRCK", "3/12"}}));
  Read read = ReadTags(dir_, path, kJa);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "Привет");
  EXPECT_EQ(read.artist, "Ансамбль");
  EXPECT_EQ(read.genre, "Rock,Alternative");
  EXPECT_EQ(read.track, 3);
}

TEST_F(RealId3Test, Id3v24Latin1TextFollowsTheTagLanguage) {
  // Encoding 0 is read in the tag language's code page, not as Latin-1: the
  // byte E9 is "é" in CP1252, "й" in CP1251, and in Shift-JIS the lead byte
  // of a pair cut short by the end of the text, so the text becomes "?".
  std::string path = Mp3("latin1.mp3");
  ASSERT_TRUE(WriteId3v2(path, 4, 0, {{"TIT2", "Café"}, {"TPE1", "Plain"}}));
  EXPECT_EQ(ReadTags(dir_, path, kEn).title, "Café");
  EXPECT_EQ(ReadTags(dir_, path, kFr).title, "Café");
  EXPECT_EQ(ReadTags(dir_, path, kRu).title, "Cafй");
  EXPECT_EQ(ReadTags(dir_, path, kJa).title, "?");
  EXPECT_EQ(ReadTags(dir_, path, kJa).artist, "Plain");
}

TEST_F(RealId3Test, Id3v22InFrontOfRealAudio) {
  std::string path = Mp3("old.mp3");
  ASSERT_TRUE(PrependBytes(path, Id3v22Tag({{"TT2", u"Früh"},
                                            {"TP1", u"Alte Band"},
                                            {"TAL", u"Archiv"},
                                            {"TCO", u"(13)"},
                                            {"TRK", u"5/9"}})));
  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "Früh");
  EXPECT_EQ(read.artist, "Alte Band");
  EXPECT_EQ(read.album, "Archiv");
  EXPECT_EQ(read.genre, "Pop");
  EXPECT_EQ(read.track, 5);
}

TEST_F(RealId3Test, Id3v1ShiftJisIsJapaneseOnlyInJapanese) {
  // "テスト" / "さくら" / "季節" in Shift-JIS.
  const std::string title = "\x83\x65\x83\x58\x83\x67";
  const std::string artist = "\x82\xB3\x82\xAD\x82\xE7";
  const std::string album = "\x8B\x47\x90\xDF";
  std::string path = Mp3("sjis.mp3");
  ASSERT_TRUE(AppendId3v1(path, title, artist, album, 7, 146));

  Read ja = ReadTags(dir_, path, kJa);
  ASSERT_EQ(ja.status, 0);
  EXPECT_EQ(ja.title, "テスト");
  EXPECT_EQ(ja.artist, "さくら");
  EXPECT_EQ(ja.album, "季節");
  EXPECT_EQ(ja.genre, "JPop");
  EXPECT_EQ(ja.track, 7);

  // The same bytes in the western and Cyrillic code pages.
  EXPECT_EQ(ReadTags(dir_, path, kEn).title, "ƒeƒXƒg");
  EXPECT_EQ(ReadTags(dir_, path, kRu).title, "ѓeѓXѓg");
  // GB18030 pairs the bytes differently but every pair is defined.
  Read zh = ReadTags(dir_, path, kZh);
  EXPECT_EQ(zh.status, 0);
  EXPECT_NE(zh.title, "テスト");
  EXPECT_NE(zh.title, "");
}

TEST_F(RealId3Test, Id3v1Cp1251IsCyrillicOnlyInRussian) {
  // "Нева" / "Белые ночи" in CP1251.
  const std::string title = "\xCD\xE5\xE2\xE0";
  const std::string artist = "\xC1\xE5\xEB\xFB\xE5 \xED\xEE\xF7\xE8";
  std::string path = Mp3("cp1251.mp3");
  ASSERT_TRUE(AppendId3v1(path, title, artist, "", 2, 17));
  Read ru = ReadTags(dir_, path, kRu);
  ASSERT_EQ(ru.status, 0);
  EXPECT_EQ(ru.title, "Нева");
  EXPECT_EQ(ru.artist, "Белые ночи");
  EXPECT_EQ(ru.album, "");
  EXPECT_EQ(ru.genre, "Rock");
  EXPECT_EQ(ru.track, 2);
  EXPECT_EQ(ReadTags(dir_, path, kEn).title, "Íåâà");
  // In Shift-JIS the last byte E0 starts a pair that the end cuts off.
  EXPECT_EQ(ReadTags(dir_, path, kJa).title, "?");
}

TEST_F(RealId3Test, Id3v2FieldsOverrideId3v1AndTheRestStays) {
  std::string path = Mp3("both.mp3");
  ASSERT_TRUE(WriteId3v2(path, 3, 1, {{"TIT2", "New Title"}}));
  ASSERT_TRUE(AppendId3v1(path, "Old Title", "Two Tag Band   ", "Mixed", 4, 13));
  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "New Title");
  EXPECT_EQ(read.artist, "Two Tag Band");
  EXPECT_EQ(read.album, "Mixed");
  EXPECT_EQ(read.genre, "Pop");
  EXPECT_EQ(read.track, 4);
}

TEST_F(RealId3Test, UntaggedFileIsTitledByItsName) {
  std::string path = dir_.str(true) + "Folder/Song Name .Mp3";
  std::filesystem::create_directories(dir_.path() / "Folder");
  ASSERT_TRUE(MakeAudio(path));
  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "Song Name .Mp3");
  EXPECT_EQ(read.artist, "");
  EXPECT_EQ(read.genre, "");
  EXPECT_EQ(read.track, 0xFFFF);
  EXPECT_EQ(read.type, kFileTypeMp3);
  EXPECT_EQ(read.path, "/Folder/Song Name .Mp3");
}

// `qvlib tags` over real files: one JSON object per file, in argument order.
TEST_F(RealId3Test, QvlibTagsPrintsRealFilesInSeveralLanguages) {
  std::string v24 = Mp3("v24.mp3");
  ASSERT_TRUE(WriteId3v2(
      v24, 4, 3, {{"APIC", ""}, {"TIT2", "Night Drive 🌙"}, {"TCON", "(17)"}, {"TRCK", "3/12"}}));
  std::string sjis = Mp3("sjis.mp3");
  ASSERT_TRUE(AppendId3v1(sjis, "\x83\x65\x83\x58\x83\x67", "", "", -1, 255));
  std::string missing = dir_.str(true) + "gone.mp3";

  struct Case {
    const char* lang;
    const char* sjis_title;
  } cases[] = {{"ja", "テスト"}, {"en", "ƒeƒXƒg"}, {"de", "ƒeƒXƒg"}, {"ru", "ѓeѓXѓg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    ProgramResult run =
        RunQvlib({"tags", "--lang", c.lang, "--root", dir_.str(true), v24, sjis, missing});
    EXPECT_EQ(run.status, 1) << run.errors;  // one file could not be read
    auto lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    auto first = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(first["file"], v24);
    EXPECT_EQ(first["status"], 0);
    EXPECT_EQ(first["type"], 1);
    EXPECT_EQ(first["size"], ReadFileBytes(v24).size());
    EXPECT_EQ(first["track"], 3);
    EXPECT_EQ(first["genre"], "Rock");
    EXPECT_EQ(first["artist"], "");
    EXPECT_EQ(first["title"], "Night Drive 🌙");
    EXPECT_EQ(first["path"], "/v24.mp3");

    auto second = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(second["title"], c.sjis_title);
    EXPECT_TRUE(second["track"].is_null());
    EXPECT_EQ(second["genre"], "");

    auto third = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(third, (nlohmann::json{{"file", missing}, {"status", 2}}));
  }
}

}  // namespace
}  // namespace qv::test

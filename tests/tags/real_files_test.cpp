// Files as real tools make them: ffmpeg encodes and muxes MP3, MP4, M4A, WAV
// and AIFF, mutagen writes ID3v2 and MP4 tags (ID3v2.2, which mutagen no
// longer writes, comes from the test's own writer); read with GetTrackTags
// and with `qvlib tags`.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/id3_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {

constexpr int kJa = 0, kZh = 1, kEn = 2, kFr = 3, kRu = 8;

uint32_t Read32(const std::vector<uint8_t>& b, size_t at, bool big) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t{b[at + i]} << (big ? 24 - 8 * i : 8 * i);
  return v;
}

// The types of a file's top-level MP4 atoms, or with riff the ids of its
// top-level RIFF chunks, so that a test can check the layout it reads.
std::string Layout(const std::vector<uint8_t>& bytes, bool riff = false) {
  std::string ids;
  for (size_t at = riff ? 12 : 0; bytes.size() - at >= 8;) {
    size_t id_at = riff ? at : at + 4;
    ids += (ids.empty() ? "" : " ") + std::string(bytes.begin() + id_at, bytes.begin() + id_at + 4);
    uint64_t size = riff ? 8 + uint64_t{Read32(bytes, at + 4, false)} : Read32(bytes, at, true);
    if (size < 8 || size > bytes.size() - at) break;
    at += size + (riff ? size & 1 : 0);
  }
  return ids;
}

std::vector<std::string> Metadata(const std::string& title, const std::string& artist,
                                  const std::string& album, const std::string& genre,
                                  const std::string& track) {
  return {"-metadata", "title=" + title, "-metadata", "artist=" + artist,
          "-metadata", "album=" + album, "-metadata", "genre=" + genre,
          "-metadata", "track=" + track};
}

class RealFilesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_.str(true) + name; }
  std::string Mp3(const std::string& name) {
    EXPECT_TRUE(MakeAudio(Path(name)));
    return Path(name);
  }
  TagRead Read(const std::string& path, int language = kEn) {
    TagRead r = ReadTags(path, dir_.str(true), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }

  TempDir dir_;
};

TEST_F(RealFilesTest, Id3v23Utf16GivesEveryFieldInEveryLanguage) {
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

TEST_F(RealFilesTest, Id3v24Utf8CoverPictureBeforeTitleLosesNoField) {
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

TEST_F(RealFilesTest, Id3v24Utf16BigEndianAndLatin1) {
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

TEST_F(RealFilesTest, Id3v22InFrontOfRealAudio) {
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

TEST_F(RealFilesTest, Id3v1ShiftJisAndCp1251AreReadInTheirLanguages) {
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

TEST_F(RealFilesTest, UntaggedFileIsTitledByItsName) {
  std::filesystem::create_directories(dir_.path() / "Folder");
  TagRead r = Read(Mp3("Folder/Song Name .Mp3"));
  EXPECT_EQ(r.Fields(), "Song Name .Mp3||||65535");
  EXPECT_EQ(r.path, "/Folder/Song Name .Mp3");
}

TEST_F(RealFilesTest, FfmpegMp4AndM4aInEveryLayout) {
  struct Case {
    const char* name;
    bool faststart, cover;
    int type;
  } cases[] = {{"plain.m4a", false, false, kFileTypeM4a},
               {"fast.M4A", true, false, kFileTypeM4a},
               {"cover.mp4", false, true, kFileTypeMp4},
               {"cover.m4a", true, true, kFileTypeM4a}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = Path(c.name);
    auto options = Metadata("Harbour", "The Quiet Hours", "Paper Boats", "(17)", "11/12");
    if (c.faststart) options.insert(options.end(), {"-movflags", "+faststart"});
    ASSERT_TRUE(c.cover ? MakeAudioWithCover(path, options) : MakeAudio(path, options));
    auto bytes = ReadFileBytes(path);
    std::string atoms = Layout(bytes);
    ASSERT_EQ(atoms.find("moov") < atoms.find("mdat"), c.faststart) << atoms;
    ASSERT_EQ(std::string(bytes.begin(), bytes.end()).find("covr") != std::string::npos, c.cover);
    TagRead r = Read(path, kJa);
    // The walk completed, so the numeric genre was expanded.
    EXPECT_EQ(r.Fields(), "Harbour|The Quiet Hours|Paper Boats|Rock|11");
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.size, bytes.size());
    EXPECT_EQ(r.path, std::string("/") + c.name);
  }
}

TEST_F(RealFilesTest, MutagenTagsWithNonBmpTextLongTitleAndCover) {
  std::string path = Path("mutagen.m4a");
  ASSERT_TRUE(MakeAudio(path));
  ASSERT_TRUE(WriteMp4Tags(path,
                           {{"©nam", std::string(70, 'x')},
                            {"©ART", "Marta Ruiz 🎸"},
                            {"©alb", "Canciones del Sur"},
                            {"©gen", "Latin   "},
                            {"©day", "2004"}},
                           2, 3, true));
  EXPECT_EQ(Read(path, kRu).Fields(),
            std::string(63, 'x') + "|Marta Ruiz 🎸|Canciones del Sur|Latin|2");
}

TEST_F(RealFilesTest, Mp4ItemsWinOverAnId3v2TagInFront) {
  std::string path = Path("id3.m4a");
  ASSERT_TRUE(MakeAudio(path, {"-metadata", "title=From MP4"}));
  ASSERT_TRUE(
      WriteId3v2(path, 3, 1, {{"TIT2", "From ID3"}, {"TPE1", "Only In ID3"}, {"TCON", "(17)"}}));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
  EXPECT_EQ(Read(path).Fields(), "From MP4|Only In ID3||Rock|65535");
}

TEST_F(RealFilesTest, FfmpegWavInfoListIsReadInTheTagLanguage) {
  // ffmpeg stores the INFO texts as the bytes it is given: E9 is "é" in
  // CP1252, "й" in CP1251 and half a character in Shift-JIS.
  std::string path = Path("info.wav");
  ASSERT_TRUE(MakeAudio(path, Metadata("Levee", "Caf\xE9 Band", "Low Country", "Blues", "4")));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(Layout(bytes, true), "fmt  LIST data");
  TagRead en = Read(path);
  EXPECT_EQ(en.Fields(), "Levee|Café Band|Low Country|Blues|65535");  // INFO carries no track
  EXPECT_EQ(en.type, kFileTypeWav);
  EXPECT_EQ(en.size, bytes.size());
  EXPECT_EQ(Read(path, kRu).artist, "Cafй Band");
  EXPECT_EQ(Read(path, kJa).title + "|" + Read(path, kJa).artist, "Levee|?");
  // INFO texts win over an ID3v1 tag at the end, which keeps its track.
  ASSERT_TRUE(AppendId3v1(path, "From ID3v1", "ID3v1 Artist", "", 9, 0));
  EXPECT_EQ(Read(path).Fields(), "Levee|Café Band|Low Country|Blues|9");
}

TEST_F(RealFilesTest, AiffIsListedByNameOnly) {
  for (const char* name : {"a.aiff", "b.aif", "C.AIFF"}) {
    SCOPED_TRACE(name);
    std::string path = Path(name);
    ASSERT_TRUE(MakeAudio(path, Metadata("Tape Hiss", "Greyfield", "Tapes", "Rock", "1")));
    TagRead r = Read(path);
    EXPECT_EQ(r.Fields(), std::string(name) + "||||65535");
    EXPECT_EQ(r.type, kFileTypeAiff);
    EXPECT_EQ(r.size, ReadFileBytes(path).size());
  }
}

// `qvlib tags` over real files: one JSON object per file, in argument order,
// the legacy texts in each language's code page.
TEST_F(RealFilesTest, QvlibTagsPrintsRealFilesInSeveralLanguages) {
  std::string v24 = Mp3("v24.mp3"), sjis = Mp3("sjis.mp3");
  ASSERT_TRUE(WriteId3v2(
      v24, 4, 3, {{"APIC", ""}, {"TIT2", "Night Drive 🌙"}, {"TCON", "(17)"}, {"TRCK", "3/12"}}));
  ASSERT_TRUE(AppendId3v1(sjis, "\x83\x65\x83\x58\x83\x67", "", "", -1, 255));
  std::string m4a = Path("a.m4a"), wav = Path("b.wav"), aiff = Path("c.aiff");
  ASSERT_TRUE(MakeAudio(m4a, Metadata("Mañana", "Marta", "Sur", "Latin", "1/3")));
  ASSERT_TRUE(MakeAudio(wav, Metadata("Intro", "Caf\xE9", "Low", "Blues", "")));
  ASSERT_TRUE(MakeAudio(aiff));
  std::string missing = Path("gone.mp3");
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
  const std::tuple<const char*, const char*, const char*> cases[] = {{"ja", "テスト", "?"},
                                                                     {"en", "ƒeƒXƒg", "Café"},
                                                                     {"fr", "ƒeƒXƒg", "Café"},
                                                                     {"ru", "ѓeѓXѓg", "Cafй"}};
  for (const auto& [lang, sjis_title, wav_artist] : cases) {
    SCOPED_TRACE(lang);
    ProgramResult run = RunQvlib(
        {"tags", "--lang", lang, "--root", dir_.str(true), v24, sjis, m4a, wav, aiff, missing});
    EXPECT_EQ(run.status, 1) << run.errors;  // one file could not be read
    auto lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 6u) << run.output;
    EXPECT_EQ(nlohmann::json::parse(lines[0]), first);
    // The other lines against the keys that tell the files apart.
    auto check = [&](size_t i, const nlohmann::json& expected) {
      auto line = nlohmann::json::parse(lines[i]);
      for (const auto& [key, value] : expected.items()) EXPECT_EQ(line[key], value) << i << key;
    };
    check(1, {{"title", sjis_title}, {"track", nullptr}, {"genre", ""}});
    check(2, {{"type", 4}, {"title", "Mañana"}, {"track", 1}, {"path", "/a.m4a"}});
    check(3, {{"type", 12}, {"title", "Intro"}, {"artist", wav_artist}, {"track", nullptr}});
    check(4, {{"type", 13}, {"title", "c.aiff"}, {"size", ReadFileBytes(aiff).size()}});
    EXPECT_EQ(nlohmann::json::parse(lines[5]), (nlohmann::json{{"file", missing}, {"status", 2}}));
  }
}

}  // namespace
}  // namespace qv::test

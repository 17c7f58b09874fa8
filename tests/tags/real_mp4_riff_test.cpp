// MP4, M4A, WAV and AIFF files as ffmpeg muxes them and mutagen tags them,
// read with GetTrackTags and with `qvlib tags`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {

constexpr int kJa = 0, kEn = 2, kRu = 8;

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

class RealMp4RiffTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_.str(true) + name; }
  TagRead Read(const std::string& path, int language = kEn) {
    TagRead r = ReadTags(path, dir_.str(true), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }

  TempDir dir_;
};

TEST_F(RealMp4RiffTest, FfmpegMp4AndM4aInEveryLayout) {
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

TEST_F(RealMp4RiffTest, MutagenTagsWithNonBmpTextLongTitleAndCover) {
  std::string path = Path("mutagen.m4a");
  ASSERT_TRUE(MakeAudio(path));
  ASSERT_TRUE(WriteMp4Tags(path,
                           {{"\xC2\xA9nam", std::string(70, 'x')},
                            {"\xC2\xA9"
                             "ART",
                             "Marta Ruiz 🎸"},
                            {"\xC2\xA9"
                             "alb",
                             "Canciones del Sur"},
                            {"\xC2\xA9gen", "Latin   "},
                            {"\xC2\xA9"
                             "day",
                             "2004"}},
                           2, 3, true));
  EXPECT_EQ(Read(path, kRu).Fields(),
            std::string(63, 'x') + "|Marta Ruiz 🎸|Canciones del Sur|Latin|2");
}

TEST_F(RealMp4RiffTest, Mp4ItemsWinOverAnId3v2TagInFront) {
  std::string path = Path("id3.m4a");
  ASSERT_TRUE(MakeAudio(path, {"-metadata", "title=From MP4"}));
  ASSERT_TRUE(
      WriteId3v2(path, 3, 1, {{"TIT2", "From ID3"}, {"TPE1", "Only In ID3"}, {"TCON", "(17)"}}));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
  EXPECT_EQ(Read(path).Fields(), "From MP4|Only In ID3||Rock|65535");
}

TEST_F(RealMp4RiffTest, FfmpegWavInfoListIsReadInTheTagLanguage) {
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

TEST_F(RealMp4RiffTest, AiffIsListedByNameOnly) {
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

TEST_F(RealMp4RiffTest, QvlibTagsPrintsM4aWavAndAiff) {
  std::string m4a = Path("a.m4a"), wav = Path("b.wav"), aiff = Path("c.aiff");
  ASSERT_TRUE(MakeAudio(m4a, Metadata("Mañana", "Marta", "Sur", "Latin", "1/3")));
  ASSERT_TRUE(MakeAudio(wav, Metadata("Intro", "Caf\xE9", "Low", "Blues", "")));
  ASSERT_TRUE(MakeAudio(aiff));
  const std::pair<const char*, const char*> cases[] = {
      {"en", "Café"}, {"fr", "Café"}, {"ru", "Cafй"}, {"ja", "?"}, {"zh", "?"}};
  for (const auto& [lang, wav_artist] : cases) {
    SCOPED_TRACE(lang);
    ProgramResult run =
        RunQvlib({"tags", "--lang", lang, "--root", dir_.str(true), m4a, wav, aiff});
    EXPECT_EQ(run.status, 0) << run.errors;
    auto lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    // Each line against the keys that tell the three files apart.
    auto check = [&](size_t i, const nlohmann::json& expected) {
      auto line = nlohmann::json::parse(lines[i]);
      for (const auto& [key, value] : expected.items()) EXPECT_EQ(line[key], value) << i << key;
    };
    check(0, {{"type", 4}, {"title", "Mañana"}, {"track", 1}, {"path", "/a.m4a"}});
    check(1, {{"type", 12}, {"title", "Intro"}, {"artist", wav_artist}, {"track", nullptr}});
    check(2, {{"type", 13}, {"title", "c.aiff"}, {"size", ReadFileBytes(aiff).size()}});
  }
}

}  // namespace
}  // namespace qv::test

// MP4, M4A, WAV and AIFF files as ffmpeg muxes them and mutagen tags them,
// read with GetTrackTags and with `qvlib tags`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/real_files.h"
#include "support/temp_dir.h"
#include "tags/track_tags.h"

namespace qv::test {
namespace {

constexpr int kJa = 0, kEn = 2, kRu = 8;

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

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         b[at + 3];
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at + 3]} << 24) | (uint32_t{b[at + 2]} << 16) | (uint32_t{b[at + 1]} << 8) |
         b[at];
}

// The types of a file's top-level atoms, from `from` on, so that a test can
// check it got the layout it means to read.
std::string TopLevelAtoms(const std::vector<uint8_t>& bytes, size_t from = 0) {
  std::string types;
  for (size_t at = from; bytes.size() - at >= 8;) {
    uint32_t size = Be32(bytes, at);
    types +=
        (types.empty() ? "" : " ") + std::string(bytes.begin() + at + 4, bytes.begin() + at + 8);
    if (size < 8 || size > bytes.size() - at) break;
    at += size;
  }
  return types;
}

// The IDs of a RIFF file's top-level chunks.
std::string RiffChunks(const std::vector<uint8_t>& bytes) {
  std::string ids;
  for (size_t at = 12; bytes.size() - at >= 8;) {
    uint32_t size = Le32(bytes, at + 4);
    ids += (ids.empty() ? "" : " ") + std::string(bytes.begin() + at, bytes.begin() + at + 4);
    if (size > bytes.size() - at - 8) break;
    at += 8 + size + (size & 1);
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

  TempDir dir_;
};

TEST_F(RealMp4RiffTest, FfmpegM4aWithMediaDataFirst) {
  std::string path = Path("plain.m4a");
  ASSERT_TRUE(
      MakeAudio(path, Metadata("Harbour", "The Quiet Hours", "Paper Boats", "Indie", "3/12")));
  auto bytes = ReadFileBytes(path);
  std::string atoms = TopLevelAtoms(bytes);
  ASSERT_LT(atoms.find("mdat"), atoms.find("moov")) << atoms;

  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "Harbour");
  EXPECT_EQ(read.artist, "The Quiet Hours");
  EXPECT_EQ(read.album, "Paper Boats");
  EXPECT_EQ(read.genre, "Indie");
  EXPECT_EQ(read.track, 3);
  EXPECT_EQ(read.type, kFileTypeM4a);
  EXPECT_EQ(read.size, bytes.size());
  EXPECT_EQ(read.path, "/plain.m4a");
}

TEST_F(RealMp4RiffTest, FfmpegM4aFaststartAndMp4WithCover) {
  std::string faststart = Path("fast.M4A");
  ASSERT_TRUE(MakeAudio(faststart, {"-metadata", "title=Lantern", "-metadata", "track=2",
                                    "-movflags", "+faststart"}));
  std::string atoms = TopLevelAtoms(ReadFileBytes(faststart));
  ASSERT_LT(atoms.find("moov"), atoms.find("mdat")) << atoms;
  Read fast = ReadTags(dir_, faststart, kEn);
  ASSERT_EQ(fast.status, 0);
  EXPECT_EQ(fast.title, "Lantern");
  EXPECT_EQ(fast.track, 2);
  EXPECT_EQ(fast.type, kFileTypeM4a);

  // The cover is an item of a few hundred bytes among the texts, in an MP4
  // with its media data first and in an M4A made for streaming.
  struct Case {
    const char* name;
    std::vector<std::string> options;
    int type;
  } cases[] = {{"cover.mp4", {}, kFileTypeMp4},
               {"cover.m4a", {"-movflags", "+faststart"}, kFileTypeM4a}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string cover = Path(c.name);
    auto options = Metadata("Tide Tables", "The Quiet Hours", "Paper Boats", "(17)", "11/12");
    options.insert(options.end(), c.options.begin(), c.options.end());
    ASSERT_TRUE(MakeAudioWithCover(cover, options));
    auto bytes = ReadFileBytes(cover);
    ASSERT_NE(std::string(bytes.begin(), bytes.end()).find("covr"), std::string::npos);
    Read read = ReadTags(dir_, cover, kJa);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.title, "Tide Tables");
    EXPECT_EQ(read.artist, "The Quiet Hours");
    EXPECT_EQ(read.album, "Paper Boats");
    EXPECT_EQ(read.genre, "Rock");  // the walk completed, so numeric genres were expanded
    EXPECT_EQ(read.track, 11);
    EXPECT_EQ(read.type, c.type);
  }
}

TEST_F(RealMp4RiffTest, MutagenTagsWithNonBmpTextLongTitleAndCover) {
  std::string path = Path("mutagen.m4a");
  ASSERT_TRUE(MakeAudio(path));
  const std::string long_title(70, 'x');
  ASSERT_TRUE(WriteMp4Tags(path,
                           {{"\xC2\xA9nam", long_title},
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
  Read read = ReadTags(dir_, path, kRu);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, std::string(63, 'x'));
  EXPECT_EQ(read.artist, "Marta Ruiz 🎸");
  EXPECT_EQ(read.album, "Canciones del Sur");
  EXPECT_EQ(read.genre, "Latin");
  EXPECT_EQ(read.track, 2);
}

TEST_F(RealMp4RiffTest, Mp4ItemsWinOverAnId3v2TagInFront) {
  std::string path = Path("id3.m4a");
  ASSERT_TRUE(MakeAudio(path, {"-metadata", "title=From MP4"}));
  size_t plain_size = ReadFileBytes(path).size();
  ASSERT_TRUE(
      WriteId3v2(path, 3, 1, {{"TIT2", "From ID3"}, {"TPE1", "Only In ID3"}, {"TCON", "(17)"}}));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
  ASSERT_GT(bytes.size(), plain_size);

  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "From MP4");
  EXPECT_EQ(read.artist, "Only In ID3");
  EXPECT_EQ(read.genre, "Rock");
  EXPECT_EQ(read.track, 0xFFFF);
}

TEST_F(RealMp4RiffTest, FfmpegWavInfoListIsReadInTheTagLanguage) {
  // ffmpeg stores the INFO texts as the bytes it is given: E9 is "é" in
  // CP1252, "й" in CP1251 and half a character in Shift-JIS.
  std::string path = Path("info.wav");
  ASSERT_TRUE(MakeAudio(path, Metadata("Levee", "Caf\xE9 Band", "Low Country", "Blues", "4")));
  auto bytes = ReadFileBytes(path);
  ASSERT_EQ(RiffChunks(bytes), "fmt  LIST data");

  Read en = ReadTags(dir_, path, kEn);
  ASSERT_EQ(en.status, 0);
  EXPECT_EQ(en.title, "Levee");
  EXPECT_EQ(en.artist, "Café Band");
  EXPECT_EQ(en.album, "Low Country");
  EXPECT_EQ(en.genre, "Blues");
  EXPECT_EQ(en.track, 0xFFFF);  // INFO lists carry no track number
  EXPECT_EQ(en.type, kFileTypeWav);
  EXPECT_EQ(en.size, bytes.size());
  EXPECT_EQ(ReadTags(dir_, path, kRu).artist, "Cafй Band");
  EXPECT_EQ(ReadTags(dir_, path, kJa).artist, "?");
  EXPECT_EQ(ReadTags(dir_, path, kJa).title, "Levee");
}

TEST_F(RealMp4RiffTest, WavInfoOverridesId3v1AndKeepsItsTrack) {
  std::string path = Path("both.wav");
  ASSERT_TRUE(MakeAudio(path, {"-metadata", "title=From INFO"}));
  ASSERT_TRUE(AppendId3v1(path, "From ID3v1", "ID3v1 Artist", "", 9, 0));
  Read read = ReadTags(dir_, path, kEn);
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(read.title, "From INFO");
  EXPECT_EQ(read.artist, "ID3v1 Artist");
  EXPECT_EQ(read.genre, "Blues");
  EXPECT_EQ(read.track, 9);
}

TEST_F(RealMp4RiffTest, AiffIsListedByNameOnly) {
  for (const char* name : {"a.aiff", "b.aif", "C.AIFF"}) {
    SCOPED_TRACE(name);
    std::string path = Path(name);
    ASSERT_TRUE(MakeAudio(path, Metadata("Tape Hiss", "Greyfield", "Tapes", "Rock", "1")));
    Read read = ReadTags(dir_, path, kEn);
    ASSERT_EQ(read.status, 0);
    EXPECT_EQ(read.type, kFileTypeAiff);
    EXPECT_EQ(read.title, name);
    EXPECT_EQ(read.artist, "");
    EXPECT_EQ(read.album, "");
    EXPECT_EQ(read.genre, "");
    EXPECT_EQ(read.track, 0xFFFF);
    EXPECT_EQ(read.size, ReadFileBytes(path).size());
  }
}

TEST_F(RealMp4RiffTest, QvlibTagsPrintsM4aWavAndAiff) {
  std::string m4a = Path("a.m4a");
  ASSERT_TRUE(MakeAudio(m4a, Metadata("Mañana", "Marta", "Sur", "Latin", "1/3")));
  std::string wav = Path("b.wav");
  ASSERT_TRUE(MakeAudio(wav, Metadata("Intro", "Caf\xE9", "Low", "Blues", "")));
  std::string aiff = Path("c.aiff");
  ASSERT_TRUE(MakeAudio(aiff));

  struct Case {
    const char* lang;
    const char* wav_artist;
  } cases[] = {{"en", "Café"}, {"fr", "Café"}, {"ru", "Cafй"}, {"ja", "?"}, {"zh", "?"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    ProgramResult run =
        RunQvlib({"tags", "--lang", c.lang, "--root", dir_.str(true), m4a, wav, aiff});
    EXPECT_EQ(run.status, 0) << run.errors;
    auto lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 3u) << run.output;
    auto first = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(first["type"], 4);
    EXPECT_EQ(first["title"], "Mañana");
    EXPECT_EQ(first["track"], 1);
    EXPECT_EQ(first["path"], "/a.m4a");
    auto second = nlohmann::json::parse(lines[1]);
    EXPECT_EQ(second["type"], 12);
    EXPECT_EQ(second["title"], "Intro");
    EXPECT_EQ(second["artist"], c.wav_artist);
    EXPECT_TRUE(second["track"].is_null());
    auto third = nlohmann::json::parse(lines[2]);
    EXPECT_EQ(third["type"], 13);
    EXPECT_EQ(third["title"], "c.aiff");
    EXPECT_EQ(third["size"], ReadFileBytes(aiff).size());
  }
}

}  // namespace
}  // namespace qv::test

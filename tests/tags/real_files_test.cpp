// Files as ffmpeg makes them, read as the job reads them; and the demo drive `make run` shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {
// clang-format off

namespace fs = std::filesystem;
constexpr int kJa = 0, kEn = 2, kRu = 8;

std::vector<std::string> Metadata(const std::string& title, const std::string& artist, const std::string& genre, const std::string& track) {
  return {"-metadata", "title=" + title, "-metadata", "artist=" + artist, "-metadata", "album=Paper Boats",
          "-metadata", "genre=" + genre, "-metadata", "track=" + track};
}

class RealFilesTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, std::vector<std::string> options = {}, bool cover = false) {
    EXPECT_TRUE(MakeAudio(dir_.str(true) + name, options, cover));
    return dir_.str(true) + name;
  }
  TagRead Read(const std::string& path, int language = kEn) {
    TagRead r = ReadTags(path, dir_.str(true), language);
    EXPECT_EQ(std::tuple(r.status, r.size), std::tuple(0, ReadFileBytes(path).size())) << path;
    return r;
  }
  TempDir dir_;
};

// ID3v2.3 carries UTF-16, ID3v2.4 UTF-8, past a cover; every tag language reads Unicode alike.
TEST_F(RealFilesTest, Id3v2FromFfmpegInEveryLanguage) {
  for (const char* version : {"3", "4"}) {
    auto options = Metadata("Café 日本の歌 🎵", "Björk Ørsted", "(17)", "3/12");
    options.insert(options.end(), {"-id3v2_version", version});
    std::string path = Make(std::string("v2") + version + ".mp3", options, true);
    ASSERT_EQ(ReadFileBytes(path)[3], version[0] - '0');
    for (int language = 0; language < 9; ++language) {
      TagRead r = Read(path, language);
      EXPECT_EQ(std::tuple(r.Fields(), r.type), std::tuple("Café 日本の歌 🎵|Björk Ørsted|Paper Boats|Rock|3", 1)) << language;
    }
  }
}

TEST_F(RealFilesTest, HandMadeTagsAroundRealAudio) {
  std::string sjis = Make("sjis.Mp3");
  // "テスト" / "さくら" / "季節" in Shift-JIS; other code pages pair the bytes otherwise.
  ASSERT_TRUE(Surround(sjis, {}, Id3v1Tag({.title = "\x83\x65\x83\x58\x83\x67", .artist = "\x82\xB3\x82\xAD\x82\xE7",
                                           .album = "\x8B\x47\x90\xDF", .track = 7, .genre = 146})));
  EXPECT_EQ(Read(sjis, kJa).Fields(), "テスト|さくら|季節|JPop|7");
  EXPECT_EQ(Read(sjis, kEn).title + Read(sjis, kRu).title, "ƒeƒXƒgѓeѓXѓg");
}

TEST_F(RealFilesTest, Mp4AndM4aInEveryLayout) {
  const std::tuple<const char*, bool, bool, int> cases[] = {
      {"plain.m4a", false, false, kFileTypeM4a}, {"fast.M4A", true, false, kFileTypeM4a},
      {"cover.mp4", false, true, kFileTypeMp4}, {"cover.m4a", true, true, kFileTypeM4a}};
  for (const auto& [name, faststart, cover, type] : cases) {
    auto options = Metadata("Harbour", "The Quiet Hours", "(17)", "11/12");
    if (faststart) options.insert(options.end(), {"-movflags", "+faststart"});
    std::string path = Make(name, options, cover);
    auto bytes = ReadFileBytes(path);
    std::string text(bytes.begin(), bytes.end());
    ASSERT_EQ(std::tuple(text.find("moov") < text.find("mdat"), text.find("covr") != std::string::npos), std::tuple(faststart, cover)) << name;
    TagRead r = Read(path, kJa);
    EXPECT_EQ(std::tuple(r.Fields(), r.type), std::tuple("Harbour|The Quiet Hours|Paper Boats|Rock|11", type)) << name;
  }
  // MP4 items win over an ID3v2 tag in front, which fills the rest.
  std::string path = Make("id3.m4a", {"-metadata", "title=From MP4"});
  ASSERT_TRUE(Surround(path, Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("From ID3")),
                                          Id3v2Frame(3, "TPE1", Id3Utf16(u"Only In ID3"))}), {}));
  EXPECT_EQ(Read(path).Fields(), "From MP4|Only In ID3|||65535");
}

TEST_F(RealFilesTest, WavInfoInTheTagLanguageAndAiffByName) {
  // ffmpeg stores the INFO texts as given: E9 is "é" in CP1252, "й" in
  // CP1251 and half a character in Shift-JIS.
  std::string wav = Make("info.wav", Metadata("Levee", "Caf\xE9 Band", "Blues", "4"));
  EXPECT_EQ(Read(wav).Fields(), "Levee|Café Band|Paper Boats|Blues|65535");
  EXPECT_EQ(Read(wav, kRu).artist + Read(wav, kJa).artist, "Cafй Band?");
  // INFO texts win over an ID3v1 tag at the end, which keeps its track.
  ASSERT_TRUE(Surround(wav, {}, Id3v1Tag({.title = "V1", .artist = "V1", .track = 9})));
  EXPECT_EQ(Read(wav).Fields(), "Levee|Café Band|Paper Boats|Blues|9");
  for (const char* name : {"a.aiff", "C.AIF"}) {
    TagRead r = Read(Make(name, Metadata("Tape", "Greyfield", "Rock", "1")));
    EXPECT_EQ(std::tuple(r.Fields(), r.type), std::tuple(std::string(name) + "||||65535", kFileTypeAiff));
  }
}

TEST(DemoDriveTest, IsTheSameTreeEachTimeAndEveryFileReads) {
  TempDir dir;
  fs::path drive = dir.path() / "drive";
  std::map<std::string, std::vector<uint8_t>> runs[2];
  for (auto& files : runs) {
    ProgramResult made = RunProgram({"/usr/bin/python3", QV_SOURCE_DIR "/tools/make-demo-drive", drive});
    ASSERT_EQ(made.status, 0) << made.errors;
    for (const auto& entry : fs::recursive_directory_iterator(drive)) if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path());
    if (&files == &runs[0]) WriteFileBytes(drive / "left over.mp3", {1});  // it starts afresh
  }
  ASSERT_TRUE(runs[0] == runs[1]) << "a second run made different files";
  // All six types read; the legacy folders read right in the languages they are named after.
  std::map<std::string, nlohmann::json> read;
  std::map<int, int> types;
  for (const char* lang : {"en", "ru", "ja"}) {
    std::vector<std::string> args = {"tags", "--lang", lang, "--root", drive.string() + "/"};
    for (const auto& [path, bytes] : runs[0]) args.push_back(path);
    ProgramResult run = RunQvlib(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const auto& line : SplitLines(run.output)) {
      auto json = nlohmann::json::parse(line);
      read[lang + json["path"].get<std::string>()] = json, ++types[json["type"].get<int>()];
      EXPECT_NE(json["title"], "") << line;
    }
  }
  EXPECT_EQ(std::tuple(read.size(), types.size()), std::tuple(3 * runs[0].size(), 6));
  EXPECT_EQ(read["ru/Legacy code pages/CP1251 (read with --lang ru)/Белые ночи/01 Нева.mp3"]["title"], "Нева");
  EXPECT_EQ(read["ja/Legacy code pages/Shift-JIS (read with --lang ja)/さくら通り/01 春の風.mp3"]["album"], "季節");
}

// clang-format on
}  // namespace
}  // namespace qv::test

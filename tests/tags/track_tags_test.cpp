#include "tags/track_tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/mp4_writer.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {

TEST(TrackTagsText, StoreCutsToTheBufferAndFinishTrimsAndExpandsGenres) {
  std::u16string over(30, u'g');
  uint16_t genre[30];
  for (size_t n : {29, 30}) {
    std::memset(genre, 0xAA, sizeof(genre));
    StoreTagText(genre, sizeof(genre), reinterpret_cast<const uint16_t*>(over.data()), n);
    EXPECT_EQ(Utf8Of(genre), std::string(29, 'g')) << n;
  }
  StoreTagText(nullptr, sizeof(genre), genre, 30);  // no buffer: nothing
  // 147 is the last name; 2^32 + 17 wraps to 17; 29 units hold two
  // "Classic Rock" but not a third, and the scan goes on.
  // clang-format off
  const std::pair<std::u16string, std::string> cases[] = {
      {u"(17)", "Rock"}, {u"(17)(20)", "Rock,Alternative"}, {u"17", "Rock"}, {u"(17)(200)", "Rock,"},
      {u"(147)(148)", "Synthpop,"}, {u"(300)", ""}, {u"()", ""}, {u"(17)Rock", "(17)Rock"},
      {u"Jazz  ", "Jazz"}, {u"  (127) ", "Dram & Bass"}, {u"4294967313", "Rock"},
      {u"(1)(1)(1)(0)", "Classic Rock,Classic Rock"}, {u"(1)(1)(1)(13)", "Classic Rock,Classic Rock,Pop"}};
  // clang-format on
  for (const auto& [text, expected] : cases) {
    TrackTagsStorage s;
    std::memcpy(s.genre, text.data(), 2 * text.size());
    std::memcpy(s.artist, u"  ABC   ", 16);
    FinishTrackTags(&s.tags);
    EXPECT_EQ(Utf8Of(s.genre) + "|" + Utf8Of(s.artist), expected + "|  ABC");
  }
  TrackTags none{};
  FinishTrackTags(&none);  // missing buffers are left alone
}

TEST(TrackTagsFile, TypesNamesAndPathLimits) {
  TempDir drive;
  std::string root = drive.str(true);
  auto read = [&](const std::string& name, const Bytes& bytes = AudioFiller(300)) {
    return ReadTags(drive.Write(name, bytes), root);
  };
  // clang-format off
  const std::pair<const char*, int> types[] = {
      {"a.Mp3", kFileTypeMp3}, {"a.aac", kFileTypeAac}, {"a.MP4", kFileTypeMp4}, {"a.m4A", kFileTypeM4a},
      {"a.wav", kFileTypeWav}, {"b.AIF", kFileTypeAiff}, {"c.aiFF", kFileTypeAiff}, {"a.ogg", 0},
      {"a.mp3.txt", 0}, {"mp3", 0}, {"a.aiffx", 0}, {"aiff", 0}};
  // clang-format on
  for (const auto& [name, type] : types) {
    TagRead r = read(name);
    EXPECT_EQ(r.status, type ? 0 : 2) << name;
    EXPECT_EQ(r.type, type) << name;
  }
  // Untagged: the name is the title, spaces kept; AIFF ignores an ID3v1 tag.
  TagRead r = read("Music/x y .aiff", Id3Join({AudioFiller(500), Id3v1Tag({.title = "T"})}));
  EXPECT_EQ(r.Fields() + r.path, "x y .aiff||||65535/Music/x y .aiff");
  EXPECT_EQ(r.size, 628u);
  TrackTagsStorage s;  // the fixed fields the player expects
  ASSERT_EQ(GetTrackTags((root + "Music/x y .aiff").c_str(), &s.tags, 2, root.c_str()), 0);
  EXPECT_EQ(s.tags.Reserved1 & s.tags.Reserved2 & (s.tags.Reserved3 | 0xFFFF0000u), 0xFFFFFFFFu);
  EXPECT_EQ(s.tags.Reserved4AndFileType, 0x0DFFFFFFu);
  // Titles from long names are cut to 63 units, not bytes.
  std::string cyrillic;
  for (int i = 0; i < 70; ++i) cyrillic += "Ж";
  EXPECT_EQ(read(cyrillic + ".mp3").title, cyrillic.substr(0, 2 * 63));
  // A record with a title buffer alone, on the heap where the address
  // sanitizer sees its end, is filled there and no further.
  std::vector<uint16_t> title(kTitleBytes / 2, 0);
  TrackTags bare{0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, title.data(), nullptr};
  std::string long_name = drive.Write(std::string(70, 'n') + ".mp3", AudioFiller(300));
  ASSERT_EQ(GetTrackTags(long_name.c_str(), &bare, 2, root.c_str()), 0);
  EXPECT_EQ(Utf8Of(title.data()), std::string(63, 'n'));
  EXPECT_EQ(read("x.mp3", {}).status, 2);
  EXPECT_EQ(read("y.mp3", {'I', 'D', '3'}).status, 2);
  // A relative path of 255 units is read; longer ones, roots over 1023
  // bytes, names that are not UTF-8 and bad roots are refused unopened.
  auto relative_of = [](size_t units) { return std::string(units - 9, 'd') + "/abc.mp3"; };
  EXPECT_EQ(read(relative_of(255)).path.size(), 255u);
  std::string good = drive.Write("good.mp3", AudioFiller(200));
  std::string long_root(1022, 'r');
  long_root.front() = long_root.back() = '/';
  // clang-format off
  const std::tuple<std::string, std::string, int> refused[] = {
      {drive.Write(relative_of(256), AudioFiller(200)), root, 2}, {long_root + "a.mp3", long_root, 2},
      {drive.Write("bad\xFF.mp3", AudioFiller(200)), root, 2}, {good, root + "\xC3/", 2},
      {good, root + "good.mp3/and/more/", 2}, {good, root, 9}, {good, root, -1}};
  // clang-format on
  for (const auto& [path, with_root, language] : refused) {
    FaultyFileDoor door;
    ScopedFileDoor scoped(&door);
    EXPECT_EQ(GetTrackTags(path.c_str(), &s.tags, language, with_root.c_str()), 2) << path.size();
    EXPECT_EQ(door.Calls(FileOp::kOpen), 0) << with_root.size() << " " << language;
  }
}

// Every failing open, seek and read fails the file, and every opened file is closed.
TEST(TrackTagsFile, AnyFailedCallFailsTheFileAndClosesIt) {
  TempDir drive;
  Bytes id3 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("T"))}), v1 = Id3v1Tag({.title = "x"});
  const std::pair<const char*, Bytes> files[] = {
      {"a.mp3", Id3Join({id3, AudioFiller(400), v1})},
      {"a.m4a", Id3Join({id3, Mp4FileMdatFirst(Mp4TextItem("\xA9nam", "M")), v1})},
      {"a.wav", Id3Join({WaveFileWithInfo(RiffText("INAM", "W")), v1})}};
  for (const auto& [name, bytes] : files) {
    std::string full = drive.Write(name, bytes);
    for (FileOp op : {FileOp::kOpen, FileOp::kSeek, FileOp::kRead}) {
      for (int nth = 1;; ++nth) {
        FaultyFileDoor door;
        int status;
        {
          ScopedFileDoor scoped(&door);
          door.FailNth(op, nth);
          TrackTagsStorage s;
          status = GetTrackTags(full.c_str(), &s.tags, 2, drive.str(true).c_str());
        }
        std::string where =
            std::string(name) + " op " + std::to_string(int(op)) + " call " + std::to_string(nth);
        EXPECT_EQ(door.Calls(FileOp::kClose),
                  door.Calls(FileOp::kOpen) - (op == FileOp::kOpen && door.Fired()))
            << where;
        if (!door.Fired()) {
          EXPECT_EQ(status, 0) << where;
          break;
        }
        // Trouble inside the RIFF chunks never fails a WAV file.
        if (std::string(name) != "a.wav") {
          EXPECT_EQ(status, 2) << where;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qv::test

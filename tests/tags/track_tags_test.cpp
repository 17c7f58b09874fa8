#include "tags/track_tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/mp4_writer.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"

namespace qv::test {
namespace {

TEST(StoreTagText, CopiesWholeTextsAndCutsLongOnesToTheBuffer) {
  std::u16string over(30, u'g');
  const auto* units = reinterpret_cast<const uint16_t*>(over.data());
  uint16_t genre[30];
  for (size_t n : {29, 30}) {
    std::memset(genre, 0xAA, sizeof(genre));
    StoreTagText(genre, sizeof(genre), units, n);
    EXPECT_EQ(Utf8Of(genre), std::string(29, 'g')) << n;
  }
  StoreTagText(genre, sizeof(genre), units, 0);  // an empty text still replaces the field
  EXPECT_EQ(genre[0], 0);
  StoreTagText(nullptr, sizeof(genre), units, 30);  // no buffer: nothing
}

TEST(FinishTrackTags, TrimsTrailingSpacesAndExpandsNumericGenres) {
  // 147 is the last numbered name; 4294967313 = 2^32 + 17 wraps to 17. 29
  // units at most: "Classic Rock,Classic Rock" fits (25), a third name does
  // not, and the scan goes on with the next number.
  const std::pair<std::u16string, std::string> cases[] = {
      {u"(17)", "Rock"},
      {u"(17)(20)", "Rock,Alternative"},
      {u"17", "Rock"},
      {u"(17)(200)", "Rock,"},
      {u"(147)(148)", "Synthpop,"},
      {u"(300)", ""},
      {u"()", ""},
      {u"(17)Rock", "(17)Rock"},
      {u"2000", ""},
      {u"Jazz  ", "Jazz"},
      {u"  (127) ", "Dram & Bass"},
      {u"4294967313", "Rock"},
      {u"(1)(1)(1)(0)", "Classic Rock,Classic Rock"},
      {u"(1)(1)(1)(13)", "Classic Rock,Classic Rock,Pop"}};
  for (const auto& [genre, expected] : cases) {
    TrackTagsStorage s;
    std::memcpy(s.genre, genre.data(), 2 * genre.size());
    std::memcpy(s.artist, u"  ABC   ", 16);
    FinishTrackTags(&s.tags);
    EXPECT_EQ(Utf8Of(s.genre), expected) << expected;
    EXPECT_EQ(Utf8Of(s.artist), "  ABC");
  }
  TrackTags none{};
  FinishTrackTags(&none);  // missing buffers are left alone
}

class TrackTagsTest : public ::testing::Test {
 protected:
  TagRead Read(const std::string& relative, const Bytes& bytes, int language = 2) {
    return ReadTags(drive_.Write(relative, bytes), root(), language);
  }
  std::string root() const { return drive_.str(true); }
  // GetTrackTags with a door that counts the calls: the status, and whether
  // a file was opened.
  std::pair<int, int> Counted(const std::string& path, const std::string& root, int language = 2) {
    FaultyFileDoor door;
    ScopedFileDoor scoped(&door);
    TrackTagsStorage s;
    int status = GetTrackTags(path.c_str(), &s.tags, language, root.c_str());
    return {status, door.Calls(FileOp::kOpen)};
  }

  TempDir drive_;
};

TEST_F(TrackTagsTest, AFileWithoutTagsGetsItsNameAsTitleAndFixedFields) {
  TagRead r = Read("Music/x y .Mp3", AudioFiller(1000));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.type, kFileTypeMp3);
  EXPECT_EQ(r.Fields(), "x y .Mp3||||65535");  // the fallback keeps its spaces
  EXPECT_EQ(r.path, "/Music/x y .Mp3");
  EXPECT_EQ(r.size, 1000u);
  TrackTagsStorage s;
  ASSERT_EQ(GetTrackTags((root() + "Music/x y .Mp3").c_str(), &s.tags, 2, root().c_str()), 0);
  EXPECT_EQ(s.tags.Reserved1, 0xFFFFFFFFu);
  EXPECT_EQ(s.tags.Reserved2, 0xFFFFFFFFu);
  EXPECT_EQ(s.tags.Reserved3, 0xFFFF);
  EXPECT_EQ(s.tags.Reserved4AndFileType, 0x01FFFFFFu);
}

TEST_F(TrackTagsTest, ClassifiesByExtensionInAnyCaseAndListsAiffByName) {
  const std::pair<const char*, int> cases[] = {
      {"a.Mp3", kFileTypeMp3}, {"a.aac", kFileTypeAac}, {"a.MP4", kFileTypeMp4},
      {"a.m4A", kFileTypeM4a}, {"a.wav", kFileTypeWav}, {"b.AIF", kFileTypeAiff},
      {"a.ogg", -1},           {"a.mp3.txt", -1},       {"mp3", -1},
      {"a.aiffx", -1}};
  for (const auto& [name, type] : cases) {
    TagRead r = Read(name, AudioFiller(300));
    EXPECT_EQ(r.status, type < 0 ? 2 : 0) << name;
    EXPECT_EQ(r.type, type < 0 ? 0 : type) << name;
  }
  // An ID3v1 tag in an AIFF file is not read.
  TagRead r = Read("Music/a.aiff", Id3Join({AudioFiller(500), Id3v1Tag({.title = "T"})}));
  EXPECT_EQ(r.Fields() + " " + r.path, "a.aiff||||65535 /Music/a.aiff");
  EXPECT_EQ(r.size, 628u);
}

TEST_F(TrackTagsTest, LongFileNamesAreCutTo63UnitsForTheTitle) {
  EXPECT_EQ(Read(std::string(70, 'n') + ".mp3", AudioFiller(200)).title, std::string(63, 'n'));
  // Multi-byte names are counted in units, not bytes.
  std::string cyrillic;
  for (int i = 0; i < 70; ++i) cyrillic += "Ж";
  EXPECT_EQ(Read(cyrillic + ".mp3", AudioFiller(200)).title, cyrillic.substr(0, 2 * 63));
}

TEST_F(TrackTagsTest, EmptyTinyAndMissingFilesCannotBeRead) {
  EXPECT_EQ(Read("x.mp3", {}).status, 2);
  EXPECT_EQ(Read("y.mp3", {'I', 'D', '3'}).status, 2);
  EXPECT_EQ(ReadTags(root() + "gone.mp3", root()).status, 2);
}

TEST_F(TrackTagsTest, PathsBeyondTheLimitsOrNotConvertibleAreRefusedUnopened) {
  // "/" + folder + "/abc.mp3": the relative path is `units` long.
  auto relative_of = [](size_t units) { return std::string(units - 9, 'd') + "/abc.mp3"; };
  TagRead ok = Read(relative_of(255), AudioFiller(200));
  ASSERT_EQ(ok.status, 0);
  EXPECT_EQ(ok.path.size(), 255u);
  EXPECT_EQ(ok.title, "abc.mp3");
  std::string good = drive_.Write("good.mp3", AudioFiller(200));
  // Over 1023 bytes, with a short relative part.
  std::string long_root = "/" + std::string(1020, 'r') + "/";
  const std::pair<std::string, std::string> refused[] = {
      {drive_.Write(relative_of(256), AudioFiller(200)), root()},
      {long_root + "a.mp3", long_root},
      {drive_.Write("bad\xFF.mp3", AudioFiller(200)), root()},
      {good, root() + "\xC3/"},
      {good, root() + "good.mp3/and/more/"},  // a root longer than the path
  };
  for (const auto& [path, with_root] : refused) {
    EXPECT_EQ(Counted(path, with_root), std::make_pair(2, 0)) << path.size() << " " << with_root;
  }
  // Languages outside the nine have no code page.
  EXPECT_EQ(Counted(good, root(), 9).first, 2);
  EXPECT_EQ(Counted(good, root(), -1).first, 2);
  EXPECT_EQ(Counted(good, root(), 8).first, 0);
}

TEST_F(TrackTagsTest, ARecordWithoutBuffersIsFilledWhereItHasThem) {
  std::string full =
      drive_.Write("a.mp3", Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("T")),
                                                  Id3v2Frame(3, "TPE1", Id3Latin("A"))}),
                                     AudioFiller(300), Id3v1Tag({.album = "B", .genre = 17})}));
  uint16_t title[64];
  TrackTags tags{0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, title, nullptr};
  ASSERT_EQ(GetTrackTags(full.c_str(), &tags, 2, root().c_str()), 0);
  EXPECT_EQ(Utf8Of(title), "T");
}

// Every open, seek and read that fails must fail the file, and every opened
// file must be closed again.
TEST_F(TrackTagsTest, AnyFailedCallFailsTheFileAndClosesIt) {
  Bytes id3 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("T"))}), v1 = Id3v1Tag({.title = "x"});
  const std::pair<const char*, Bytes> files[] = {
      {"a.mp3", Id3Join({id3, AudioFiller(400), v1})},
      {"a.m4a", Id3Join({id3, Mp4FileMdatFirst(Mp4TextItem("\xA9nam", "M")), v1})},
      {"a.wav", Id3Join({WaveFileWithInfo(RiffText("INAM", "W")), v1})}};
  for (const auto& [name, bytes] : files) {
    std::string full = drive_.Write(name, bytes);
    for (FileOp op : {FileOp::kOpen, FileOp::kSeek, FileOp::kRead}) {
      for (int nth = 1;; ++nth) {
        SCOPED_TRACE(std::string(name) + " op " + std::to_string(static_cast<int>(op)) + " call " +
                     std::to_string(nth));
        FaultyFileDoor door;
        int status;
        {
          ScopedFileDoor scoped(&door);
          door.FailNth(op, nth);
          TrackTagsStorage s;
          status = GetTrackTags(full.c_str(), &s.tags, 2, root().c_str());
        }
        EXPECT_EQ(door.Calls(FileOp::kClose),
                  door.Calls(FileOp::kOpen) - (op == FileOp::kOpen && door.Fired() ? 1 : 0));
        if (!door.Fired()) {
          EXPECT_EQ(status, 0);
          break;
        }
        // Trouble inside the RIFF chunks never fails a WAV file, so there
        // only the closing is checked.
        EXPECT_EQ(status, std::string(name) == "a.wav" ? status : 2);
      }
    }
  }
}

}  // namespace
}  // namespace qv::test

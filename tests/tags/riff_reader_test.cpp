// The RIFF INFO reader, on WAVE and RMP3 files built chunk by chunk: through
// GetTrackTags as the job calls it, and through ReadRiffTags where a failing
// file door is needed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/file_door.h"
#include "support/faulty_file_door.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"
#include "tags/tag_readers.h"
#include "tags/track_tags.h"

namespace qv {
namespace {

using test::Bytes;
using test::JoinBytes;
using test::RiffText;

std::u16string Text(const uint16_t* field) {
  return std::u16string(reinterpret_cast<const char16_t*>(field));
}

constexpr int kEnglish = 2;
constexpr int kRussian = 8;

class RiffReaderTest : public ::testing::Test {
 protected:
  int Get(const Bytes& file, const std::string& name = "a.wav", int language = kEnglish) {
    std::string path = dir_.Write("Music/" + name, file);
    return GetTrackTags(path.c_str(), &store_.tags, language, dir_.str(true).c_str());
  }

  TrackTags& tags() { return store_.tags; }

  test::TempDir dir_;
  TrackTagsStorage store_;
};

TEST_F(RiffReaderTest, ReadsTheInfoTextsOfAWaveFile) {
  Bytes info =
      JoinBytes({RiffText("INAM", "Intro"), RiffText("IART", "Band"), RiffText("IPRD", "Record"),
                 RiffText("IGNR", "(17)"), RiffText("ICMT", "not stored")});
  ASSERT_EQ(Get(test::WaveFileWithInfo(info)), 0);
  EXPECT_EQ(Text(tags().Title), u"Intro");
  EXPECT_EQ(Text(tags().Artist), u"Band");
  EXPECT_EQ(Text(tags().Album), u"Record");
  EXPECT_EQ(Text(tags().Genre), u"Rock");  // tidied: numeric genre expanded
  EXPECT_EQ(tags().FileType(), kFileTypeWav);
  EXPECT_EQ(tags().TrackNumber, 0xFFFF);
  EXPECT_EQ(Text(tags().Path), u"/Music/a.wav");
}

TEST_F(RiffReaderTest, TextsAreReadInTheTagLanguageAndCut) {
  Bytes info = JoinBytes({RiffText("INAM", "\xC0\xC1"), RiffText("IART", std::string(60, 'a'))});
  ASSERT_EQ(Get(test::WaveFileWithInfo(info), "a.wav", kRussian), 0);
  EXPECT_EQ(Text(tags().Title), u"\u0410\u0411");
  EXPECT_EQ(Text(tags().Artist), std::u16string(47, u'a'));
  // A byte the code page leaves undefined turns the whole text into "?".
  ASSERT_EQ(Get(test::WaveFileWithInfo(RiffText("INAM", "ab\x81"))), 0);
  EXPECT_EQ(Text(tags().Title), u"?");
}

TEST_F(RiffReaderTest, PadBytesKeepTheWalkInStep) {
  // Odd data, odd fmt-like fact chunk and odd sub-chunks, each padded.
  Bytes info = JoinBytes({RiffText("INAM", "Odd"), RiffText("IART", "Even!")});
  Bytes file =
      test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), test::RiffChunk("fact", Bytes(5, 1)),
                                        test::RiffData(101), test::RiffList(info)}));
  ASSERT_EQ(Get(file), 0);
  EXPECT_EQ(Text(tags().Title), u"Odd");
  EXPECT_EQ(Text(tags().Artist), u"Even!");
}

TEST_F(RiffReaderTest, MissingPadAfterTheLastTextStillReadsIt) {
  Bytes info = JoinBytes(
      {RiffText("IART", "Band"), test::RiffChunkClaiming("INAM", 3, Bytes{'a', 'b', 'c'})});
  Bytes list = test::RiffChunkClaiming("LIST", static_cast<uint32_t>(4 + info.size()),
                                       JoinBytes({Bytes{'I', 'N', 'F', 'O'}, info}));
  ASSERT_EQ(Get(test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), test::RiffData(10), list}))), 0);
  EXPECT_EQ(Text(tags().Title), u"abc");
  EXPECT_EQ(Text(tags().Artist), u"Band");
}

TEST_F(RiffReaderTest, DataReachingTheEndOfTheFileEndsTheWalk) {
  // The list bytes lie inside a data chunk that runs to the end of the file.
  Bytes list = test::RiffList(RiffText("INAM", "Hidden"));
  Bytes data = test::RiffChunkClaiming("data", static_cast<uint32_t>(20 + list.size()),
                                       JoinBytes({Bytes(20, 0), list}));
  ASSERT_EQ(Get(test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), data})), "end.wav"), 0);
  EXPECT_EQ(Text(tags().Title), u"end.wav");

  // A data chunk claiming more than the file has.
  Bytes lying = test::RiffChunkClaiming("data", 0xFFFFFFF0u, JoinBytes({Bytes(20, 0), list}));
  ASSERT_EQ(Get(test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), lying})), "end.wav"), 0);
  EXPECT_EQ(Text(tags().Title), u"end.wav");
}

TEST_F(RiffReaderTest, SubjectFillsOnlyAnEmptyTitle) {
  ASSERT_EQ(Get(test::WaveFileWithInfo(
                JoinBytes({RiffText("ISBJ", "Subject"), RiffText("INAM", "Name")}))),
            0);
  EXPECT_EQ(Text(tags().Title), u"Name");
  ASSERT_EQ(Get(test::WaveFileWithInfo(
                JoinBytes({RiffText("INAM", "Name"), RiffText("ISBJ", "Subject")}))),
            0);
  EXPECT_EQ(Text(tags().Title), u"Name");
  ASSERT_EQ(Get(test::WaveFileWithInfo(RiffText("ISBJ", "Subject"))), 0);
  EXPECT_EQ(Text(tags().Title), u"Subject");
}

TEST_F(RiffReaderTest, Id3SubChunkEndsTheList) {
  Bytes info = JoinBytes(
      {RiffText("IART", "Band"), test::RiffChunk("IID3", Bytes(12, 0)), RiffText("INAM", "Late")});
  ASSERT_EQ(Get(test::WaveFileWithInfo(info), "id3.wav"), 0);
  EXPECT_EQ(Text(tags().Artist), u"Band");
  EXPECT_EQ(Text(tags().Title), u"id3.wav");
}

TEST_F(RiffReaderTest, UnknownTopLevelChunkEndsTheWalk) {
  Bytes file = test::RiffFile(
      "WAVE", JoinBytes({test::RiffFmt(), test::RiffChunk("bext", Bytes(30, 0)), test::RiffData(10),
                         test::RiffList(RiffText("INAM", "Intro"))}));
  ASSERT_EQ(Get(file, "b.wav"), 0);
  EXPECT_EQ(Text(tags().Title), u"b.wav");
}

TEST_F(RiffReaderTest, Rmp3UnderstandsOnlyDataAndList) {
  Bytes list = test::RiffList(RiffText("INAM", "Mpeg"));
  ASSERT_EQ(Get(test::RiffFile("RMP3", JoinBytes({test::RiffData(33), list}))), 0);
  EXPECT_EQ(Text(tags().Title), u"Mpeg");
  ASSERT_EQ(
      Get(test::RiffFile("RMP3", JoinBytes({test::RiffFmt(), test::RiffData(33), list})), "f.wav"),
      0);
  EXPECT_EQ(Text(tags().Title), u"f.wav");
  ASSERT_EQ(
      Get(test::RiffFile("RMP3", JoinBytes({test::RiffChunk("fact", Bytes(4, 0)), list})), "f.wav"),
      0);
  EXPECT_EQ(Text(tags().Title), u"f.wav");
}

TEST_F(RiffReaderTest, OtherFilesAndEarlyEndsReadNothingAndSucceed) {
  Bytes list = test::RiffList(RiffText("INAM", "Intro"));
  const Bytes files[] = {
      test::RiffFile("AVI ", list),  // another form
      JoinBytes({Bytes{'R', 'I', 'F', 'X'}, Bytes(4, 0), Bytes{'W', 'A', 'V', 'E'}, list}),
      test::RiffFile("WAVE", test::RiffFmt()),                                // ends after fmt
      test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), Bytes{'d', 'a'}})),  // cut header
      Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A'},  // shorter than the RIFF header
  };
  for (const Bytes& file : files) {
    ASSERT_EQ(Get(file, "n.wav"), 0);
    EXPECT_EQ(Text(tags().Title), u"n.wav");
  }
}

TEST_F(RiffReaderTest, SubChunkClaimingMoreThanItsListEndsTheReading) {
  // IART says it holds far more than the list and the file; the reader
  // stops there without reserving it, keeping what came before.
  Bytes info = JoinBytes({RiffText("INAM", "Kept"),
                          test::RiffChunkClaiming("IART", 0x7FFFFFF0u, Bytes(6, 'x')),
                          RiffText("IPRD", "Never")});
  ASSERT_EQ(Get(test::WaveFileWithInfo(info)), 0);
  EXPECT_EQ(Text(tags().Title), u"Kept");
  EXPECT_EQ(Text(tags().Artist), u"");
  EXPECT_EQ(Text(tags().Album), u"");

  // Within the file but beyond its list.
  Bytes tight =
      JoinBytes({RiffText("INAM", "Kept"), test::RiffChunkClaiming("IART", 12, Bytes(4, 'x'))});
  Bytes list = test::RiffChunkClaiming("LIST", static_cast<uint32_t>(4 + tight.size()),
                                       JoinBytes({Bytes{'I', 'N', 'F', 'O'}, tight}));
  Bytes after = test::RiffChunk("junk", Bytes(40, 'y'));
  ASSERT_EQ(
      Get(test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), test::RiffData(8), list, after}))), 0);
  EXPECT_EQ(Text(tags().Title), u"Kept");
  EXPECT_EQ(Text(tags().Artist), u"");
}

TEST_F(RiffReaderTest, ListLongerThanTheFileStillYieldsTheTextsInside) {
  Bytes info = JoinBytes({RiffText("INAM", "Cut off"), RiffText("IART", "Band")});
  Bytes list = test::RiffChunkClaiming("LIST", 5000, JoinBytes({Bytes{'I', 'N', 'F', 'O'}, info}));
  ASSERT_EQ(Get(test::RiffFile("WAVE", JoinBytes({test::RiffFmt(), test::RiffData(8), list}))), 0);
  EXPECT_EQ(Text(tags().Title), u"Cut off");
  EXPECT_EQ(Text(tags().Artist), u"Band");
}

TEST_F(RiffReaderTest, FailedReadEndsTheReadingButKeepsEarlierTexts) {
  Bytes info = JoinBytes({RiffText("INAM", "First"), RiffText("IART", "Second")});
  std::string path = dir_.Write("direct.wav", test::WaveFileWithInfo(info));
  const auto size = static_cast<uint32_t>(test::WaveFileWithInfo(info).size());
  // Reads: RIFF header, fmt, data, LIST header, list type, INAM header, INAM
  // text, IART header, IART text.
  for (int nth = 1; nth <= 9; ++nth) {
    int fd = Files().Open(path.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    TrackTagsStorage store;
    test::FaultyFileDoor door;
    door.FailNth(test::FileOp::kRead, nth);
    {
      test::ScopedFileDoor scoped(&door);
      ReadRiffTags(fd, size, &store.tags, "CP1252");
    }
    Files().Close(fd);
    EXPECT_TRUE(door.Fired()) << nth;
    EXPECT_EQ(Text(store.tags.Title), nth > 7 ? u"First" : u"") << nth;
    EXPECT_EQ(Text(store.tags.Artist), u"") << nth;
  }
}

TEST_F(RiffReaderTest, RiffTextsOverwriteId3v1Fields) {
  // A 128-byte ID3v1 tag at the end, after the RIFF chunks.
  Bytes v1(128, 0);
  v1[0] = 'T';
  v1[1] = 'A';
  v1[2] = 'G';
  const std::string title = "V1 title", artist = "V1 artist";
  std::copy(title.begin(), title.end(), v1.begin() + 3);
  std::copy(artist.begin(), artist.end(), v1.begin() + 33);
  v1[127] = 255;
  Bytes file = JoinBytes({test::WaveFileWithInfo(RiffText("INAM", "Riff title")), v1});
  ASSERT_EQ(Get(file), 0);
  EXPECT_EQ(Text(tags().Title), u"Riff title");
  EXPECT_EQ(Text(tags().Artist), u"V1 artist");
}

}  // namespace
}  // namespace qv

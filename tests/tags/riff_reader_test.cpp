// The RIFF INFO reader, on WAVE and RMP3 files built chunk by chunk: through
// GetTrackTags as the job calls it, and through ReadRiffTags where a failing
// file door is needed.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/file_door.h"
#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"
#include "tags/tag_readers.h"

namespace qv::test {
namespace {

// A LIST of INFO whose size field says `claimed` instead of the truth.
Bytes ListClaiming(uint32_t claimed, const Bytes& info) {
  return RiffChunkClaiming("LIST", claimed, JoinBytes({RawBytes("INFO"), info}));
}
Bytes Wave(const Bytes& chunks) {
  return RiffFile("WAVE", JoinBytes({RiffFmt(), chunks}));
}

class RiffReaderTest : public ::testing::Test {
 protected:
  TagRead Get(const Bytes& file, int language = 2) {
    TagRead r = ReadTags(dir_.Write("Music/a.wav", file), dir_.str(true), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }
  TempDir dir_;
};

TEST_F(RiffReaderTest, ReadsTheInfoTextsOfAWaveFileInTheTagLanguage) {
  TagRead r = Get(WaveFileWithInfo(
      JoinBytes({RiffText("INAM", "Intro"), RiffText("IART", "Band"), RiffText("IPRD", "Record"),
                 RiffText("IGNR", "(17)"), RiffText("ICMT", "not stored")})));
  EXPECT_EQ(r.Fields(), "Intro|Band|Record|Rock|65535");
  EXPECT_EQ(r.type, kFileTypeWav);
  EXPECT_EQ(r.path, "/Music/a.wav");
  r = Get(WaveFileWithInfo(
              JoinBytes({RiffText("INAM", "\xC0\xC1"), RiffText("IART", std::string(60, 'a'))})),
          8);
  EXPECT_EQ(r.title, "АБ");
  EXPECT_EQ(r.artist, std::string(47, 'a'));
  // A byte the code page leaves undefined turns the whole text into "?".
  EXPECT_EQ(Get(WaveFileWithInfo(RiffText("INAM", "ab\x81"))).title, "?");
}

TEST_F(RiffReaderTest, PadBytesKeepTheWalkInStep) {
  // Odd data, an odd fact chunk and odd sub-chunks, each padded.
  Bytes info = JoinBytes({RiffText("INAM", "Odd"), RiffText("IART", "Even!")});
  TagRead r = Get(Wave(JoinBytes({RiffChunk("fact", Bytes(5, 1)), RiffData(101), RiffList(info)})));
  EXPECT_EQ(r.title + "|" + r.artist, "Odd|Even!");
  // The pad after the last text may be missing.
  info = JoinBytes({RiffText("IART", "Band"), RiffChunkClaiming("INAM", 3, RawBytes("abc"))});
  r = Get(
      Wave(JoinBytes({RiffData(10), ListClaiming(static_cast<uint32_t>(4 + info.size()), info)})));
  EXPECT_EQ(r.title + "|" + r.artist, "abc|Band");
}

TEST_F(RiffReaderTest, DataReachingTheEndOfTheFileEndsTheWalk) {
  // The list bytes lie inside a data chunk that runs to, or claims beyond, the end.
  Bytes inside = JoinBytes({Bytes(20, 0), RiffList(RiffText("INAM", "Hidden"))});
  for (uint32_t claimed : {static_cast<uint32_t>(inside.size()), 0xFFFFFFF0u}) {
    EXPECT_EQ(Get(Wave(RiffChunkClaiming("data", claimed, inside))).title, "a.wav") << claimed;
  }
}

TEST_F(RiffReaderTest, SubjectFillsOnlyAnEmptyTitle) {
  Bytes subject = RiffText("ISBJ", "Subject"), name = RiffText("INAM", "Name");
  EXPECT_EQ(Get(WaveFileWithInfo(JoinBytes({subject, name}))).title, "Name");
  EXPECT_EQ(Get(WaveFileWithInfo(JoinBytes({name, subject}))).title, "Name");
  EXPECT_EQ(Get(WaveFileWithInfo(subject)).title, "Subject");
}

TEST_F(RiffReaderTest, WhatTheReaderDoesNotKnowEndsTheWalk) {
  Bytes list = RiffList(RiffText("INAM", "Late"));
  // An IID3 sub-chunk ends the list.
  TagRead r = Get(WaveFileWithInfo(JoinBytes(
      {RiffText("IART", "Band"), RiffChunk("IID3", Bytes(12, 0)), RiffText("INAM", "Late")})));
  EXPECT_EQ(r.title + "|" + r.artist, "a.wav|Band");
  // An unknown top-level chunk ends the walk.
  EXPECT_EQ(Get(Wave(JoinBytes({RiffChunk("bext", Bytes(30, 0)), RiffData(10), list}))).title,
            "a.wav");
  // RMP3 understands only data and LIST.
  EXPECT_EQ(Get(RiffFile("RMP3", JoinBytes({RiffData(33), list}))).title, "Late");
  EXPECT_EQ(Get(RiffFile("RMP3", JoinBytes({RiffFmt(), RiffData(33), list}))).title, "a.wav");
  EXPECT_EQ(Get(RiffFile("RMP3", JoinBytes({RiffChunk("fact", Bytes(4, 0)), list}))).title,
            "a.wav");
  // Other forms and early ends read nothing and succeed.
  for (const Bytes& file :
       {RiffFile("AVI ", list), JoinBytes({RawBytes("RIFX"), Bytes(4, 0), RawBytes("WAVE"), list}),
        Wave({}), Wave(RawBytes("da")),
        JoinBytes({RawBytes("RIFF"), Bytes(4, 0), RawBytes("WA")})}) {
    EXPECT_EQ(Get(file).title, "a.wav");
  }
}

TEST_F(RiffReaderTest, LyingSizesKeepWhatCameBefore) {
  // IART claims far more than the list and the file: reading stops there.
  TagRead r = Get(WaveFileWithInfo(
      JoinBytes({RiffText("INAM", "Kept"), RiffChunkClaiming("IART", 0x7FFFFFF0u, Bytes(6, 'x')),
                 RiffText("IPRD", "Never")})));
  EXPECT_EQ(r.title + "|" + r.artist + "|" + r.album, "Kept||");
  // Within the file but beyond its list.
  Bytes tight = JoinBytes({RiffText("INAM", "Kept"), RiffChunkClaiming("IART", 12, Bytes(4, 'x'))});
  r = Get(Wave(JoinBytes({RiffData(8), ListClaiming(static_cast<uint32_t>(4 + tight.size()), tight),
                          RiffChunk("junk", Bytes(40, 'y'))})));
  EXPECT_EQ(r.title + "|" + r.artist, "Kept|");
  // A list longer than the file still yields the texts inside.
  r = Get(Wave(JoinBytes(
      {RiffData(8),
       ListClaiming(5000, JoinBytes({RiffText("INAM", "Cut off"), RiffText("IART", "Band")}))})));
  EXPECT_EQ(r.title + "|" + r.artist, "Cut off|Band");
}

TEST_F(RiffReaderTest, FailedReadEndsTheReadingButKeepsEarlierTexts) {
  Bytes file = WaveFileWithInfo(JoinBytes({RiffText("INAM", "First"), RiffText("IART", "Second")}));
  std::string path = dir_.Write("direct.wav", file);
  // Reads: RIFF header, fmt, data, LIST header, list type, INAM header, INAM
  // text, IART header, IART text.
  for (int nth = 1; nth <= 9; ++nth) {
    int fd = Files().Open(path.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    TrackTagsStorage store;
    FaultyFileDoor door;
    door.FailNth(FileOp::kRead, nth);
    {
      ScopedFileDoor scoped(&door);
      ReadRiffTags(fd, static_cast<uint32_t>(file.size()), &store.tags, "CP1252");
    }
    Files().Close(fd);
    EXPECT_TRUE(door.Fired()) << nth;
    EXPECT_EQ(Utf8Of(store.title) + "|" + Utf8Of(store.artist), nth > 7 ? "First|" : "|") << nth;
  }
}

TEST_F(RiffReaderTest, RiffTextsOverwriteId3v1Fields) {
  TagRead r =
      Get(JoinBytes({WaveFileWithInfo(RiffText("INAM", "Riff title")),
                     Id3v1Tag({.title = "V1 title", .artist = "V1 artist", .genre = 255})}));
  EXPECT_EQ(r.title + "|" + r.artist, "Riff title|V1 artist");
}

}  // namespace
}  // namespace qv::test

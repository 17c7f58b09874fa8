// The RIFF INFO reader on WAVE and RMP3 files built chunk by chunk.
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

Bytes Wave(const Bytes& chunks) {
  return RiffFile("WAVE", JoinBytes({RiffFmt(), chunks}));
}
Bytes ListClaiming(size_t extra, const Bytes& info) {
  return RiffChunkClaiming("LIST", static_cast<uint32_t>(4 + info.size() + extra),
                           JoinBytes({RawBytes("INFO"), info}));
}

// Each file against "title|artist|album|genre|track" in the tag language.
TEST(RiffReaderTest, InfoTextsPadsAndWhatEndsTheWalk) {
  TempDir dir;
  const Bytes late = RiffList(RiffText("INAM", "Late")), name = RiffText("INAM", "Name"),
              subject = RiffText("ISBJ", "Subject"), kept = RiffText("INAM", "Kept");
  Bytes inside = JoinBytes({Bytes(20, 0), late});
  Bytes tight = JoinBytes({kept, RiffChunkClaiming("IART", 12, Bytes(4, 'x'))});
  Bytes unpadded =
      JoinBytes({RiffText("IART", "Band"), RiffChunkClaiming("INAM", 3, RawBytes("abc"))});
  // clang-format off
  const std::tuple<Bytes, int, std::string> cases[] = {
      {WaveFileWithInfo(JoinBytes({RiffText("INAM", "Intro"), RiffText("IART", "Band"), RiffText("IPRD",
          "Record"), RiffText("IGNR", "(17)"), RiffText("ICMT", "not stored")})), 2,
          "Intro|Band|Record|Rock|65535"},
      {WaveFileWithInfo(JoinBytes({RiffText("INAM", "\xC0\xC1"), RiffText("IART",
          std::string(60, 'a'))})), 8, "АБ|" + std::string(47, 'a') + "|||65535"},
      {WaveFileWithInfo(RiffText("INAM", "ab\x81")), 2, "?||||65535"},
      // Odd chunks and sub-chunks are padded; the last pad may be missing.
      {Wave(JoinBytes({RiffChunk("fact", Bytes(5, 1)), RiffData(101), RiffList(JoinBytes({RiffText("INAM",
          "Odd"), RiffText("IART", "Even!")}))})), 2, "Odd|Even!|||65535"},
      {Wave(JoinBytes({RiffData(10), ListClaiming(0, unpadded)})), 2, "abc|Band|||65535"},
      // Data running to or claiming past the end hides what follows.
      {Wave(RiffChunkClaiming("data", static_cast<uint32_t>(inside.size()), inside)), 2, "a.wav||||65535"},
      {Wave(RiffChunkClaiming("data", 0xFFFFFFF0u, inside)), 2, "a.wav||||65535"},
      {WaveFileWithInfo(JoinBytes({subject, name})), 2, "Name||||65535"},
      {WaveFileWithInfo(JoinBytes({name, subject})), 2, "Name||||65535"},
      {WaveFileWithInfo(subject), 2, "Subject||||65535"},
      {WaveFileWithInfo(JoinBytes({RiffText("IART", "Band"), RiffChunk("IID3", Bytes(12, 0)), name})), 2,
          "a.wav|Band|||65535"},
      {Wave(JoinBytes({RiffChunk("bext", Bytes(30, 0)), RiffData(10), late})), 2, "a.wav||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffData(33), late})), 2, "Late||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffFmt(), RiffData(33), late})), 2, "a.wav||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffChunk("fact", Bytes(4, 0)), late})), 2, "a.wav||||65535"},
      {RiffFile("AVI ", late), 2, "a.wav||||65535"},
      {JoinBytes({RawBytes("RIFX"), Bytes(4, 0), RawBytes("WAVE"), late}), 2, "a.wav||||65535"},
      {Wave(RawBytes("da")), 2, "a.wav||||65535"},
      {JoinBytes({RawBytes("RIFF"), Bytes(4, 0), RawBytes("WA")}), 2, "a.wav||||65535"},
      // Lying sizes keep what came before; a list longer than the file still reads.
      {WaveFileWithInfo(JoinBytes({kept, RiffChunkClaiming("IART", 0x7FFFFFF0u, Bytes(6, 'x')),
          RiffText("IPRD", "Never")})), 2, "Kept||||65535"},
      {Wave(JoinBytes({RiffData(8), ListClaiming(0, tight), RiffChunk("junk", Bytes(40, 'y'))})), 2,
          "Kept||||65535"},
      {Wave(JoinBytes({RiffData(8), ListClaiming(5000, JoinBytes({kept, RiffText("IART", "Band")}))})), 2,
          "Kept|Band|||65535"},
      // RIFF texts overwrite ID3v1 fields.
      {JoinBytes({WaveFileWithInfo(kept), Id3v1Tag({.title = "V1", .artist = "V1 artist", .track = 3})}), 2,
          "Kept|V1 artist|||3"},
  };
  // clang-format on
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [file, language, fields] = cases[i];
    TagRead r = ReadTags(dir.Write("Music/a.wav", file), dir.str(true), language);
    EXPECT_EQ(r.status, 0) << i;
    EXPECT_EQ(r.Fields(), fields) << i;
    EXPECT_EQ(r.type, kFileTypeWav) << i;
  }
}

TEST(RiffReaderTest, FailedReadEndsTheReadingButKeepsEarlierTexts) {
  TempDir dir;
  Bytes file = WaveFileWithInfo(JoinBytes({RiffText("INAM", "First"), RiffText("IART", "Second")}));
  std::string path = dir.Write("direct.wav", file);
  // Reads: RIFF header, fmt, data, LIST header, list type, INAM header and
  // text, IART header and text.
  for (int nth = 1; nth <= 9; ++nth) {
    int fd = Files().Open(path.c_str(), O_RDONLY, 0);
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

}  // namespace
}  // namespace qv::test

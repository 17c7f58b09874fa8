// The MP4 metadata walk, on files built atom by atom: through GetTrackTags as
// the job calls it, and through ReadMp4Tags where the walk's outcome itself
// is the point.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/file_door.h"
#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/mp4_writer.h"
#include "support/temp_dir.h"
#include "tags/read_tags.h"
#include "tags/tag_readers.h"

namespace qv::test {
namespace {

// Item types; the first byte is 0xA9 (split where a hex digit follows it).
// clang-format off
constexpr std::string_view kNam = "\xA9nam";
constexpr std::string_view kArt = "\xA9" "ART";
constexpr std::string_view kAlb = "\xA9" "alb";
constexpr std::string_view kGen = "\xA9gen";
// clang-format on

Bytes Id3Title(std::string_view title) {
  return Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin(title))});
}

Bytes FourItems() {
  return JoinBytes({Mp4TextItem(kNam, "Song"), Mp4TextItem(kArt, "Band"),
                    Mp4TextItem(kAlb, "Record"), Mp4TextItem(kGen, "Jazz"), Mp4TrknItem(7, 12)});
}

// A moov claiming one byte more than it holds.
Bytes MoovTooLarge() {
  Bytes moov = Mp4MoovWithItems(FourItems());
  return Mp4AtomClaiming("moov", static_cast<uint32_t>(moov.size() + 1),
                         Bytes(moov.begin() + 8, moov.end()));
}

class Mp4ReaderTest : public ::testing::Test {
 protected:
  // Writes the bytes as Music/<name> and reads them as a job would.
  TagRead Get(const Bytes& file, const std::string& name = "a.m4a") {
    return ReadTags(dir_.Write("Music/" + name, file), dir_.str(true));
  }
  // Runs the walk alone from `start`, with the file size as budget.
  Mp4Result Walk(const Bytes& file, int64_t start = 0, FaultyFileDoor* door = nullptr) {
    int fd = Files().Open(dir_.Write("walk.m4a", file).c_str(), O_RDONLY, 0);
    EXPECT_GE(fd, 0);
    Files().Seek(fd, start, SEEK_SET);
    TrackTagsStorage store;
    Mp4Result result;
    {
      ScopedFileDoor scoped(door);
      result = ReadMp4Tags(fd, static_cast<uint32_t>(file.size()), &store.tags);
    }
    Files().Close(fd);
    return result;
  }

  TempDir dir_;
};

TEST_F(Mp4ReaderTest, FindsItemsWhetherMediaDataComesBeforeOrAfterMoov) {
  for (bool mdat_first : {true, false}) {
    SCOPED_TRACE(mdat_first);
    Bytes file = mdat_first ? Mp4FileMdatFirst(FourItems()) : Mp4FileMoovFirst(FourItems());
    TagRead r = Get(file);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.title + "|" + r.artist + "|" + r.album + "|" + r.genre, "Song|Band|Record|Jazz");
    EXPECT_EQ(r.track, 7);
    EXPECT_EQ(r.type, kFileTypeM4a);
    EXPECT_EQ(r.size, file.size());
    EXPECT_EQ(r.path, "/Music/a.m4a");
  }
  EXPECT_EQ(Get(Mp4FileMdatFirst(FourItems()), "b.MP4").type, kFileTypeMp4);
}

TEST_F(Mp4ReaderTest, AtomsAfterAnId3v2TagOverwriteItsFields) {
  TagRead r = Get(JoinBytes({Id3Title("Old title"), Mp4FileMdatFirst(FourItems())}));
  EXPECT_EQ(r.title + "|" + r.artist, "Song|Band");
  // Without a name item the tag's title stays; an empty one erases it.
  r = Get(JoinBytes({Id3Title("Old title"), Mp4FileMoovFirst(Mp4TextItem(kArt, "Band"))}));
  EXPECT_EQ(r.title + "|" + r.artist, "Old title|Band");
  EXPECT_EQ(
      Get(JoinBytes({Id3Title("Old"), Mp4FileMdatFirst(Mp4TextItem(kNam, ""))}), "x.m4a").title,
      "x.m4a");
}

TEST_F(Mp4ReaderTest, TextsAreCutToTheirFieldAndDecodedFromUtf8) {
  std::string accented;  // far more two-byte characters than the album holds
  for (int i = 0; i < 600; ++i) accented += "é";
  TagRead r = Get(Mp4FileMdatFirst(
      JoinBytes({Mp4TextItem(kNam, std::string(70, 'n')), Mp4TextItem(kGen, std::string(40, 'g')),
                 Mp4TextItem(kAlb, accented)})));
  EXPECT_EQ(r.title, std::string(63, 'n'));
  EXPECT_EQ(r.genre, std::string(29, 'g'));
  EXPECT_EQ(r.album, accented.substr(0, 2 * 47));
  // A character beyond the basic plane becomes a surrogate pair.
  EXPECT_EQ(Get(Mp4FileMdatFirst(Mp4TextItem(kNam, "A\U0001F3B5Z"))).title, "A\U0001F3B5Z");
}

TEST_F(Mp4ReaderTest, TrackNumberComesFromTheThirdAndFourthValueBytes) {
  EXPECT_EQ(Get(Mp4FileMdatFirst(Mp4Atom("trkn", Mp4Data(0, {0, 0, 0, 5, 0, 12, 0, 0})))).track, 5);
  EXPECT_EQ(Get(Mp4FileMdatFirst(Mp4Atom("trkn", Mp4Data(0, {0, 0, 1, 2, 0, 0, 0, 0})))).track,
            0x0102);
}

TEST_F(Mp4ReaderTest, OtherItemsShortPayloadsAndCoverArtArePassedOver) {
  // A name item of 10 payload bytes and a trkn of 18 have no value.
  Bytes items = JoinBytes({Mp4TextItem("\xA9"
                                       "day",
                                       "1999"),
                           Mp4Atom("covr", Mp4Data(14, Bytes(200000, 0x89))),
                           Mp4Atom("gnre", Mp4Data(0, Bytes{0, 18})), Mp4Atom(kNam, Bytes(10, 'x')),
                           Mp4Atom("trkn", Bytes(18, 9)), Mp4TextItem(kArt, "After")});
  TagRead r = Get(Mp4FileMdatFirst(items), "short.m4a");
  EXPECT_EQ(r.title + "|" + r.artist + "|" + r.genre, "short.m4a|After|");
  EXPECT_EQ(r.track, 0xFFFF);
}

TEST_F(Mp4ReaderTest, OnlyACompletedWalkTidiesTheFields) {
  EXPECT_EQ(
      Get(Mp4FileMdatFirst(JoinBytes({Mp4TextItem(kNam, "Trimmed  "), Mp4TextItem(kGen, "(17)")})))
          .genre,
      "Rock");
  // An item claiming more than moov holds stops the walk; what came before stays as read.
  Bytes file = Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "Kept "), Mp4TextItem(kGen, "(17)"),
                                           Mp4AtomClaiming(kArt, 5000, Bytes(30, 'a'))}));
  EXPECT_EQ(Walk(file), Mp4Result::kStopped);
  TagRead r = Get(file);
  EXPECT_EQ(r.title + "|" + r.genre + "|" + r.artist, "Kept |(17)|");
  // The file ending while the budget remains completes the walk.
  Bytes id3 = Id3Title("Spaced   ");
  file = JoinBytes({id3, Mp4Ftyp(), Mp4Mdat(50)});
  EXPECT_EQ(Walk(file, static_cast<int64_t>(id3.size())), Mp4Result::kCompleted);
  EXPECT_EQ(Get(file).title, "Spaced");
}

TEST_F(Mp4ReaderTest, MoovLargerThanTheFileStopsWithoutTidying) {
  EXPECT_EQ(Walk(JoinBytes({Mp4Ftyp(), MoovTooLarge()})), Mp4Result::kStopped);
  // With an ID3v2 tag in front the budget is the whole file, but the file
  // still ends before such a moov does.
  Bytes id3 = Id3Title("Spaced  ");
  Bytes file = JoinBytes({id3, Mp4Ftyp(), MoovTooLarge()});
  EXPECT_EQ(Walk(file, static_cast<int64_t>(id3.size())), Mp4Result::kStopped);
  EXPECT_EQ(Get(file).title, "Spaced  ");
}

TEST_F(Mp4ReaderTest, MissingLevelsAndMetaWithoutVersionBytes) {
  Bytes free = Mp4Atom("free", Bytes(4, 0));
  for (const Bytes& moov : {Mp4Atom("moov", Mp4Atom("udta", Mp4Meta(free))),  // no ilst
                            Mp4Atom("moov", Mp4Atom("udta", free)),           // no meta
                            Mp4Atom("moov", Mp4Atom("mvhd", Bytes(100, 0)))}) {
    Bytes tail = JoinBytes({Mp4Ftyp(), moov, Mp4Mdat(20)});
    EXPECT_EQ(Walk(tail), Mp4Result::kCompleted);
    EXPECT_EQ(Get(JoinBytes({Id3Title("From ID3 "), tail})).title, "From ID3");
  }
  // A meta without version bytes is read as a plain container.
  Bytes file = JoinBytes({Mp4Ftyp(), Mp4MoovWithItems(FourItems(), false), Mp4Mdat(10)});
  EXPECT_EQ(Walk(file), Mp4Result::kCompleted);
  TagRead r = Get(file);
  EXPECT_EQ(r.title, "Song");
  EXPECT_EQ(r.track, 7);
}

TEST_F(Mp4ReaderTest, SizeZeroRunsToTheEndOfItsParentAndSizeOneReadsEightBytes) {
  // The moov at the end of the file, and the ilst inside it, say size 0.
  Bytes meta =
      Mp4Atom("meta", JoinBytes({Bytes(4, 0), Mp4Hdlr(), Mp4AtomSize0("ilst", FourItems())}));
  TagRead r = Get(JoinBytes({Mp4Ftyp(), Mp4Mdat(40), Mp4AtomSize0("moov", Mp4Atom("udta", meta))}));
  EXPECT_EQ(r.title, "Song");
  EXPECT_EQ(r.track, 7);
  // An item of size 0 takes the rest of ilst: the items after it are inside.
  r = Get(Mp4FileMoovFirst(JoinBytes(
      {Mp4TextItem(kNam, "First"),
       Mp4AtomSize0(kArt, JoinBytes({Mp4Data(1, Bytes{'X'}), Mp4TextItem(kAlb, "Hidden")}))})));
  EXPECT_EQ(r.title + "|" + r.album, "First|");
  // Size 1: a 64-bit size follows the type.
  Bytes name = Mp4AtomSize1(kNam, Mp4Data(1, Bytes{'W', 'i', 'd', 'e'}));
  EXPECT_EQ(
      Get(JoinBytes({Mp4Ftyp(), Mp4AtomSize1("mdat", Bytes(64, 0x55)), Mp4MoovWithItems(name)}))
          .title,
      "Wide");
}

TEST_F(Mp4ReaderTest, BadSizesStopOrFailTheWalk) {
  for (uint32_t size : {2u, 7u}) {  // sizes that would step back
    EXPECT_EQ(Walk(Mp4FileMoovFirst(JoinBytes(
                  {Mp4TextItem(kNam, "Before"), Mp4AtomClaiming(kArt, size, Bytes(40, 0))}))),
              Mp4Result::kStopped)
        << size;
  }
  const Bytes stopping[] = {
      Mp4AtomClaiming("free", 4, Bytes(4, 0)),
      Mp4AtomSize1("free", Bytes(8, 0), 12),                      // 64-bit size below its header
      Mp4AtomSize1("mdat", Bytes(64, 0x55), uint64_t{1} << 40)};  // beyond the parent
  for (const Bytes& bad : stopping) {
    EXPECT_EQ(Walk(JoinBytes({Mp4Ftyp(), bad, Mp4MoovWithItems(FourItems())})),
              Mp4Result::kStopped);
  }
  // A size field of all ones fails the file.
  Bytes file = JoinBytes({Mp4Ftyp(), Mp4AtomClaiming("free", 0xFFFFFFFFu, Bytes(8, 0)),
                          Mp4MoovWithItems(FourItems())});
  EXPECT_EQ(Walk(file), Mp4Result::kFailed);
  EXPECT_EQ(Get(file).status, 2);
}

TEST_F(Mp4ReaderTest, ReadAndSeekFailuresFailTheWalk) {
  Bytes file = Mp4FileMdatFirst(FourItems());
  // Seek 1 finds the position, seek 2 passes over ftyp; reads 1 and 2 are
  // the headers of ftyp and mdat.
  for (FileOp op : {FileOp::kRead, FileOp::kSeek}) {
    for (int nth : {1, 2, 4}) {
      FaultyFileDoor door;
      door.FailNth(op, nth);
      EXPECT_EQ(Walk(file, 0, &door), Mp4Result::kFailed) << static_cast<int>(op) << " " << nth;
      EXPECT_TRUE(door.Fired());
    }
  }
}

}  // namespace
}  // namespace qv::test

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
#include "tags/tag_readers.h"
#include "tags/track_tags.h"

namespace qv {
namespace {

using test::Bytes;
using test::JoinBytes;
using test::Mp4Atom;
using test::Mp4TextItem;

std::u16string Text(const uint16_t* field) {
  return std::u16string(reinterpret_cast<const char16_t*>(field));
}

constexpr int kEnglish = 2;

// Item types; the first byte is 0xA9 (split where a hex digit follows it).
// clang-format off
constexpr std::string_view kNam = "\xA9nam";
constexpr std::string_view kArt = "\xA9" "ART";
constexpr std::string_view kAlb = "\xA9" "alb";
constexpr std::string_view kGen = "\xA9gen";
constexpr std::string_view kDay = "\xA9" "day";
constexpr std::string_view kCmt = "\xA9" "cmt";
// clang-format on

// An ID3v2.3 tag holding only a Latin-1 title.
Bytes Id3Title(std::string_view title) {
  return test::Id3v2Tag(3, {test::Id3v2Frame(3, "TIT2", test::Id3Latin(title))});
}

class Mp4ReaderTest : public ::testing::Test {
 protected:
  // Writes the bytes as Music/<name> and reads them as a job would.
  int Get(const Bytes& file, const std::string& name = "a.m4a") {
    std::string path = dir_.Write("Music/" + name, file);
    return GetTrackTags(path.c_str(), &store_.tags, kEnglish, dir_.str(true).c_str());
  }

  // Runs the walk alone from `start`, with the file size as budget.
  Mp4Result Walk(const Bytes& file, int64_t start = 0, test::FaultyFileDoor* door = nullptr) {
    std::string path = dir_.Write("walk.m4a", file);
    int fd = Files().Open(path.c_str(), O_RDONLY, 0);
    EXPECT_GE(fd, 0);
    Files().Seek(fd, start, SEEK_SET);
    Mp4Result result;
    {
      test::ScopedFileDoor scoped(door);
      result = ReadMp4Tags(fd, static_cast<uint32_t>(file.size()), &store_.tags);
    }
    Files().Close(fd);
    return result;
  }

  TrackTags& tags() { return store_.tags; }

  test::TempDir dir_;
  TrackTagsStorage store_;
};

Bytes FourItems() {
  return JoinBytes({Mp4TextItem(kNam, "Song"), Mp4TextItem(kArt, "Band"),
                    Mp4TextItem(kAlb, "Record"), Mp4TextItem(kGen, "Jazz"),
                    test::Mp4TrknItem(7, 12)});
}

TEST_F(Mp4ReaderTest, FindsItemsWhetherMediaDataComesBeforeOrAfterMoov) {
  for (bool mdat_first : {true, false}) {
    SCOPED_TRACE(mdat_first ? "mdat first" : "moov first");
    Bytes file =
        mdat_first ? test::Mp4FileMdatFirst(FourItems()) : test::Mp4FileMoovFirst(FourItems());
    ASSERT_EQ(Get(file), 0);
    EXPECT_EQ(Text(tags().Title), u"Song");
    EXPECT_EQ(Text(tags().Artist), u"Band");
    EXPECT_EQ(Text(tags().Album), u"Record");
    EXPECT_EQ(Text(tags().Genre), u"Jazz");
    EXPECT_EQ(tags().TrackNumber, 7);
    EXPECT_EQ(tags().FileType(), kFileTypeM4a);
    EXPECT_EQ(tags().FileSize, file.size());
    EXPECT_EQ(Text(tags().Path), u"/Music/a.m4a");
  }
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(FourItems()), "b.MP4"), 0);
  EXPECT_EQ(tags().FileType(), kFileTypeMp4);
  EXPECT_EQ(Text(tags().Title), u"Song");
}

TEST_F(Mp4ReaderTest, AtomsAfterAnId3v2TagOverwriteItsFields) {
  Bytes id3 = Id3Title("Old title");
  ASSERT_EQ(Get(JoinBytes({id3, test::Mp4FileMdatFirst(FourItems())})), 0);
  EXPECT_EQ(Text(tags().Title), u"Song");
  EXPECT_EQ(Text(tags().Artist), u"Band");

  // Without a name item the tag's title stays.
  Bytes artist_only = Mp4TextItem(kArt, "Band");
  ASSERT_EQ(Get(JoinBytes({id3, test::Mp4FileMoovFirst(artist_only)})), 0);
  EXPECT_EQ(Text(tags().Title), u"Old title");
  EXPECT_EQ(Text(tags().Artist), u"Band");
}

TEST_F(Mp4ReaderTest, FileEndingWhileBudgetRemainsCompletesTheWalk) {
  // After an ID3v2 tag the budget (the file size) outlasts the atoms, so the
  // walk meets the end of the file; the fields are then tidied as usual.
  Bytes file = JoinBytes({Id3Title("Spaced   "), test::Mp4Ftyp(), test::Mp4Mdat(50)});
  EXPECT_EQ(Walk(file, static_cast<int64_t>(Id3Title("Spaced   ").size())), Mp4Result::kCompleted);
  ASSERT_EQ(Get(file), 0);
  EXPECT_EQ(Text(tags().Title), u"Spaced");
}

TEST_F(Mp4ReaderTest, TextsAreCutToTheirFieldAndDecodedFromUtf8) {
  std::string long_name(70, 'n');
  std::string long_genre = std::string(40, 'g');
  // Two-byte characters, far more of them than the title holds.
  std::string accented;
  for (int i = 0; i < 600; ++i) accented += "\xC3\xA9";
  Bytes items = JoinBytes(
      {Mp4TextItem(kNam, long_name), Mp4TextItem(kGen, long_genre), Mp4TextItem(kAlb, accented)});
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(items)), 0);
  EXPECT_EQ(Text(tags().Title), std::u16string(63, u'n'));
  EXPECT_EQ(Text(tags().Genre), std::u16string(29, u'g'));
  EXPECT_EQ(Text(tags().Album), std::u16string(47, u'\u00E9'));

  // A character beyond the basic plane becomes a surrogate pair.
  const std::string note = "A\xF0\x9F\x8E\xB5Z";  // U+1F3B5 between A and Z
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(Mp4TextItem(kNam, note))), 0);
  EXPECT_EQ(Text(tags().Title), std::u16string(u"A\U0001F3B5Z"));
  EXPECT_EQ(tags().Title[1], 0xD83C);
  EXPECT_EQ(tags().Title[2], 0xDFB5);
}

TEST_F(Mp4ReaderTest, TrackNumberComesFromTheFourthValueByte) {
  // Value bytes 00 00 00 05 00 0C 00 00: track 5 of 12.
  Bytes value = {0, 0, 0, 5, 0, 12, 0, 0};
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(Mp4Atom("trkn", test::Mp4Data(0, value)))), 0);
  EXPECT_EQ(tags().TrackNumber, 5);
  value = {0, 0, 0x01, 0x02, 0, 0, 0, 0};
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(Mp4Atom("trkn", test::Mp4Data(0, value)))), 0);
  EXPECT_EQ(tags().TrackNumber, 0x0102);
}

TEST_F(Mp4ReaderTest, OtherItemsAreIgnoredAndCoverArtIsPassedOver) {
  Bytes cover = Mp4Atom("covr", test::Mp4Data(14, Bytes(200000, 0x89)));
  Bytes items =
      JoinBytes({Mp4TextItem(kDay, "1999"), cover, Mp4Atom("gnre", test::Mp4Data(0, Bytes{0, 18})),
                 Mp4TextItem(kCmt, "comment"), Mp4TextItem(kNam, "After")});
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(items)), 0);
  EXPECT_EQ(Text(tags().Title), u"After");
  EXPECT_EQ(Text(tags().Genre), u"");
  EXPECT_EQ(Text(tags().Album), u"");
  EXPECT_EQ(tags().TrackNumber, 0xFFFF);
}

TEST_F(Mp4ReaderTest, EmptyNameItemErasesTheId3TitleAndTheFileNameStandsIn) {
  Bytes file = JoinBytes({Id3Title("Old"), test::Mp4FileMdatFirst(Mp4TextItem(kNam, ""))});
  ASSERT_EQ(Get(file, "x.m4a"), 0);
  EXPECT_EQ(Text(tags().Title), u"x.m4a");
}

TEST_F(Mp4ReaderTest, PayloadsTooShortForAValueAreNotRead) {
  // A name item of 10 payload bytes and a trkn of 18: neither has a value;
  // the item after them is still read.
  Bytes items = JoinBytes(
      {Mp4Atom(kNam, Bytes(10, 'x')), Mp4Atom("trkn", Bytes(18, 9)), Mp4TextItem(kArt, "Band")});
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(items), "short.m4a"), 0);
  EXPECT_EQ(Text(tags().Title), u"short.m4a");
  EXPECT_EQ(tags().TrackNumber, 0xFFFF);
  EXPECT_EQ(Text(tags().Artist), u"Band");
}

TEST_F(Mp4ReaderTest, MoovLargerThanTheFileStopsWithoutTidying) {
  Bytes moov = test::Mp4MoovWithItems(FourItems());
  Bytes file = JoinBytes(
      {test::Mp4Ftyp(), test::Mp4AtomClaiming("moov", static_cast<uint32_t>(moov.size() + 1),
                                              Bytes(moov.begin() + 8, moov.end()))});
  EXPECT_EQ(Walk(file), Mp4Result::kStopped);

  // With an ID3v2 tag in front the budget is the whole file, but the file
  // still ends before such a moov does.
  Bytes id3 = Id3Title("Spaced  ");
  Bytes after_tag = JoinBytes({id3, test::Mp4Ftyp(),
                               test::Mp4AtomClaiming("moov", static_cast<uint32_t>(moov.size() + 1),
                                                     Bytes(moov.begin() + 8, moov.end()))});
  EXPECT_EQ(Walk(after_tag, static_cast<int64_t>(id3.size())), Mp4Result::kStopped);
  ASSERT_EQ(Get(after_tag), 0);
  EXPECT_EQ(Text(tags().Title), u"Spaced  ");  // not trimmed: no tidying
}

TEST_F(Mp4ReaderTest, StoppedWalkKeepsTheFieldsReadBeforeTheStop) {
  Bytes items = JoinBytes({Mp4TextItem(kNam, "Kept "), Mp4TextItem(kGen, "(17)"),
                           test::Mp4AtomClaiming(kArt, 5000, Bytes(30, 'a'))});
  Bytes file = test::Mp4FileMoovFirst(items);
  EXPECT_EQ(Walk(file), Mp4Result::kStopped);
  ASSERT_EQ(Get(file), 0);
  EXPECT_EQ(Text(tags().Title), u"Kept ");
  EXPECT_EQ(Text(tags().Genre), u"(17)");
  EXPECT_EQ(Text(tags().Artist), u"");
}

TEST_F(Mp4ReaderTest, CompletedWalkTidiesTheFields) {
  Bytes items = JoinBytes({Mp4TextItem(kNam, "Trimmed  "), Mp4TextItem(kGen, "(17)")});
  ASSERT_EQ(Get(test::Mp4FileMdatFirst(items)), 0);
  EXPECT_EQ(Text(tags().Title), u"Trimmed");
  EXPECT_EQ(Text(tags().Genre), u"Rock");
}

TEST_F(Mp4ReaderTest, MissingLevelsCompleteWithoutMp4Fields) {
  Bytes id3 = Id3Title("From ID3 ");
  Bytes no_ilst = Mp4Atom("moov", Mp4Atom("udta", test::Mp4Meta(Mp4Atom("free", Bytes(4, 0)))));
  Bytes no_meta = Mp4Atom("moov", Mp4Atom("udta", Mp4Atom("free", Bytes(4, 0))));
  Bytes no_udta = Mp4Atom("moov", Mp4Atom("mvhd", Bytes(100, 0)));
  for (const Bytes& moov : {no_ilst, no_meta, no_udta}) {
    Bytes tail = JoinBytes({test::Mp4Ftyp(), moov, test::Mp4Mdat(20)});
    EXPECT_EQ(Walk(tail), Mp4Result::kCompleted);
    ASSERT_EQ(Get(JoinBytes({id3, tail})), 0);
    EXPECT_EQ(Text(tags().Title), u"From ID3");
  }
}

TEST_F(Mp4ReaderTest, MetaWithoutVersionBytesIsReadAsAPlainContainer) {
  Bytes file =
      JoinBytes({test::Mp4Ftyp(), test::Mp4MoovWithItems(FourItems(), false), test::Mp4Mdat(10)});
  EXPECT_EQ(Walk(file), Mp4Result::kCompleted);
  ASSERT_EQ(Get(file), 0);
  EXPECT_EQ(Text(tags().Title), u"Song");
  EXPECT_EQ(tags().TrackNumber, 7);
}

TEST_F(Mp4ReaderTest, ZeroSizeRunsToTheEndOfItsParent) {
  // The moov at the end of the file, and the ilst inside it, say size 0.
  Bytes ilst = test::Mp4AtomSize0("ilst", FourItems());
  Bytes meta = Mp4Atom("meta", JoinBytes({Bytes(4, 0), test::Mp4Hdlr(), ilst}));
  Bytes moov = test::Mp4AtomSize0("moov", Mp4Atom("udta", meta));
  ASSERT_EQ(Get(JoinBytes({test::Mp4Ftyp(), test::Mp4Mdat(40), moov})), 0);
  EXPECT_EQ(Text(tags().Title), u"Song");
  EXPECT_EQ(tags().TrackNumber, 7);

  // An item of size 0 takes the rest of ilst: the items after it are inside.
  Bytes items = JoinBytes({Mp4TextItem(kNam, "First"),
                           test::Mp4AtomSize0(kArt, JoinBytes({test::Mp4Data(1, Bytes{'X'}),
                                                               Mp4TextItem(kAlb, "Hidden")}))});
  ASSERT_EQ(Get(test::Mp4FileMoovFirst(items)), 0);
  EXPECT_EQ(Text(tags().Title), u"First");
  EXPECT_EQ(Text(tags().Album), u"");
}

TEST_F(Mp4ReaderTest, SizeOneReadsTheSizeFromTheNextEightBytes) {
  Bytes mdat = test::Mp4AtomSize1("mdat", Bytes(64, 0x55));
  Bytes name = test::Mp4AtomSize1(kNam, test::Mp4Data(1, Bytes{'W', 'i', 'd', 'e'}));
  ASSERT_EQ(Get(JoinBytes({test::Mp4Ftyp(), mdat, test::Mp4MoovWithItems(name)})), 0);
  EXPECT_EQ(Text(tags().Title), u"Wide");

  // A 64-bit size beyond the parent stops the walk.
  Bytes huge = test::Mp4AtomSize1("mdat", Bytes(64, 0x55), uint64_t{1} << 40);
  EXPECT_EQ(Walk(JoinBytes({test::Mp4Ftyp(), huge, test::Mp4MoovWithItems(FourItems())})),
            Mp4Result::kStopped);
}

TEST_F(Mp4ReaderTest, SizesThatWouldStepBackStopTheWalk) {
  for (uint32_t size : {2u, 7u}) {
    Bytes items =
        JoinBytes({Mp4TextItem(kNam, "Before"), test::Mp4AtomClaiming(kArt, size, Bytes(40, 0))});
    EXPECT_EQ(Walk(test::Mp4FileMoovFirst(items)), Mp4Result::kStopped) << size;
  }
  Bytes bad_top = JoinBytes({test::Mp4Ftyp(), test::Mp4AtomClaiming("free", 4, Bytes(4, 0)),
                             test::Mp4MoovWithItems(FourItems())});
  EXPECT_EQ(Walk(bad_top), Mp4Result::kStopped);
  // A 64-bit size smaller than its own header.
  EXPECT_EQ(Walk(JoinBytes({test::Mp4Ftyp(), test::Mp4AtomSize1("free", Bytes(8, 0), 12)})),
            Mp4Result::kStopped);
}

TEST_F(Mp4ReaderTest, SizeFieldOfAllOnesFailsTheFile) {
  Bytes file = JoinBytes({test::Mp4Ftyp(), test::Mp4AtomClaiming("free", 0xFFFFFFFFu, Bytes(8, 0)),
                          test::Mp4MoovWithItems(FourItems())});
  EXPECT_EQ(Walk(file), Mp4Result::kFailed);
  EXPECT_EQ(Get(file), 2);
}

TEST_F(Mp4ReaderTest, ReadAndSeekFailuresFailTheWalk) {
  Bytes file = test::Mp4FileMdatFirst(FourItems());
  // Seek 1 finds the position, seek 2 passes over ftyp; reads 1 and 2 are
  // the headers of ftyp and mdat.
  for (test::FileOp op : {test::FileOp::kRead, test::FileOp::kSeek}) {
    for (int nth : {1, 2, 4}) {
      test::FaultyFileDoor door;
      door.FailNth(op, nth);
      EXPECT_EQ(Walk(file, 0, &door), Mp4Result::kFailed) << static_cast<int>(op) << " " << nth;
      EXPECT_TRUE(door.Fired());
    }
  }
}

}  // namespace
}  // namespace qv

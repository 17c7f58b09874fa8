#include "tags/track_tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/temp_dir.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

using test::Bytes;

std::u16string U16(const uint16_t* s) {
  std::u16string out;
  for (; *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

std::vector<uint16_t> Units(std::u16string_view s) {
  return {s.begin(), s.end()};
}

struct Read {
  int status = -1;
  TrackTagsStorage storage;
  std::u16string genre() const { return U16(storage.genre); }
  std::u16string artist() const { return U16(storage.artist); }
  std::u16string album() const { return U16(storage.album); }
  std::u16string title() const { return U16(storage.title); }
  std::u16string path() const { return U16(storage.path); }
  const TrackTags& tags() const { return storage.tags; }
};

class TrackTagsTest : public ::testing::Test {
 protected:
  // Writes bytes to a file below the drive and reads it as the job would.
  void ReadFile(Read* out, const std::string& relative, const Bytes& bytes, int language = 2) {
    std::string full = drive_.Write(relative, bytes);
    out->status = GetTrackTags(full.c_str(), &out->storage.tags, language, root().c_str());
  }
  std::string root() const { return drive_.str(true); }

  test::TempDir drive_;
};

TEST(GenreNames, HoldsTheNumberedNamesThenEmptyTexts) {
  for (int i = 0; i < 256; ++i) {
    ASSERT_NE(GenreNames[i], nullptr) << i;
    EXPECT_EQ(GenreNames[i][0] == 0, i >= 148) << i;
  }
  EXPECT_STREQ(GenreNames[0], "Blues");
  EXPECT_STREQ(GenreNames[17], "Rock");
  EXPECT_STREQ(GenreNames[78], "Rock & Roll");
  EXPECT_STREQ(GenreNames[123], "A capella");
  EXPECT_STREQ(GenreNames[127], "Dram & Bass");
  EXPECT_STREQ(GenreNames[133], "Negerpunk");
  EXPECT_STREQ(GenreNames[147], "Synthpop");
}

TEST(StoreTagText, CopiesWholeTextsAndCutsLongOnesToTheBuffer) {
  std::u16string exact(29, u'g'), over(30, u'g');
  uint16_t genre[30];
  std::memset(genre, 0xAA, sizeof(genre));
  StoreTagText(genre, sizeof(genre), Units(exact).data(), exact.size());
  EXPECT_EQ(U16(genre), exact);
  std::memset(genre, 0xAA, sizeof(genre));
  StoreTagText(genre, sizeof(genre), Units(over).data(), over.size());
  EXPECT_EQ(U16(genre), exact);
  // An empty text still replaces the field.
  uint16_t empty[] = {0};
  StoreTagText(genre, sizeof(genre), empty, 0);
  EXPECT_EQ(genre[0], 0);
  StoreTagText(nullptr, sizeof(genre), Units(exact).data(), exact.size());  // no buffer: nothing
}

TEST(FinishTrackTags, TrimsTrailingSpacesAndExpandsNumericGenres) {
  struct Case {
    std::u16string genre, expected;
  };
  const Case cases[] = {
      {u"(17)", u"Rock"},
      {u"(17)(20)", u"Rock,Alternative"},
      {u"17", u"Rock"},
      {u"(17)(200)", u"Rock,"},
      {u"(300)", u""},
      {u"()", u""},
      {u"(17)Rock", u"(17)Rock"},
      {u"2000", u""},
      {u"Jazz  ", u"Jazz"},
      {u"  (127) ", u"Dram & Bass"},
      {u"4294967313", u"Rock"},  // 2^32 + 17 wraps to 17
      // 29 units at most: "Classic Rock,Classic Rock" fits (25), a third
      // name does not, and the scan goes on with the next number.
      {u"(1)(1)(1)(0)", u"Classic Rock,Classic Rock"},
      {u"(1)(1)(1)(13)", u"Classic Rock,Classic Rock,Pop"},
  };
  for (const Case& c : cases) {
    TrackTagsStorage s;
    std::memcpy(s.genre, c.genre.data(), 2 * c.genre.size());
    const std::u16string artist = u"  ABC   ";
    std::memcpy(s.artist, artist.data(), 2 * artist.size());
    FinishTrackTags(&s.tags);
    EXPECT_EQ(U16(s.genre), c.expected) << std::string(c.genre.begin(), c.genre.end());
    EXPECT_EQ(U16(s.artist), u"  ABC");
  }
}

TEST(FinishTrackTags, LeavesMissingBuffersAlone) {
  TrackTags tags{};
  FinishTrackTags(&tags);
}

TEST_F(TrackTagsTest, AiffFilesAreListedByTheirNamesOnly) {
  Read r;
  // An ID3v1 tag in an AIFF file is not read.
  ReadFile(&r, "Music/a.aiff",
           test::Id3Join({test::AudioFiller(500), test::Id3v1Tag({.title = "T"})}));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.tags().FileType(), kFileTypeAiff);
  EXPECT_EQ(r.title(), u"a.aiff");
  EXPECT_EQ(r.path(), u"/Music/a.aiff");
  EXPECT_EQ(r.tags().TrackNumber, 0xFFFF);
  EXPECT_EQ(r.tags().FileSize, 628u);
  Read aif;
  ReadFile(&aif, "b.AIF", test::AudioFiller(10));
  EXPECT_EQ(aif.status, 0);
  EXPECT_EQ(aif.tags().FileType(), kFileTypeAiff);
}

TEST_F(TrackTagsTest, ClassifiesByExtensionInAnyCase) {
  struct Case {
    const char* name;
    uint8_t type;
  };
  const Case cases[] = {{"a.Mp3", kFileTypeMp3},
                        {"a.aac", kFileTypeAac},
                        {"a.MP4", kFileTypeMp4},
                        {"a.m4A", kFileTypeM4a},
                        {"a.wav", kFileTypeWav}};
  for (const Case& c : cases) {
    Read r;
    ReadFile(&r, c.name, test::AudioFiller(300));
    ASSERT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.tags().FileType(), c.type) << c.name;
  }
  for (const char* name : {"a.ogg", "a.mp3.txt", "mp3", "a.aiffx"}) {
    Read r;
    ReadFile(&r, name, test::AudioFiller(300));
    EXPECT_EQ(r.status, 2) << name;
  }
}

TEST_F(TrackTagsTest, AFileWithoutTagsGetsItsNameAsTitleAndFixedFields) {
  Read r;
  ReadFile(&r, "Music/x y .Mp3", test::AudioFiller(1000));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.tags().FileType(), kFileTypeMp3);
  EXPECT_EQ(r.title(), u"x y .Mp3");  // the fallback keeps its spaces
  EXPECT_EQ(r.genre(), u"");
  EXPECT_EQ(r.artist(), u"");
  EXPECT_EQ(r.album(), u"");
  EXPECT_EQ(r.path(), u"/Music/x y .Mp3");
  EXPECT_EQ(r.tags().FileSize, 1000u);
  EXPECT_EQ(r.tags().TrackNumber, 0xFFFF);
  EXPECT_EQ(r.tags().Reserved1, 0xFFFFFFFFu);
  EXPECT_EQ(r.tags().Reserved2, 0xFFFFFFFFu);
  EXPECT_EQ(r.tags().Reserved3, 0xFFFF);
  EXPECT_EQ(r.tags().Reserved4AndFileType, 0x01FFFFFFu);
}

TEST_F(TrackTagsTest, LongFileNamesAreCutTo63UnitsForTheTitle) {
  std::string name = std::string(70, 'n') + ".mp3";
  Read r;
  ReadFile(&r, name, test::AudioFiller(200));
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.title(), std::u16string(63, u'n'));
  // Multi-byte names are counted in units, not bytes.
  std::string cyrillic;
  for (int i = 0; i < 70; ++i) cyrillic += "\xD0\x96";
  Read c;
  ReadFile(&c, cyrillic + ".mp3", test::AudioFiller(200));
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(c.title(), std::u16string(63, u'\u0416'));
}

TEST_F(TrackTagsTest, EmptyAndTinyFilesCannotBeRead) {
  Read empty, tiny;
  ReadFile(&empty, "x.mp3", {});
  EXPECT_EQ(empty.status, 2);
  ReadFile(&tiny, "y.mp3", {'I', 'D', '3'});
  EXPECT_EQ(tiny.status, 2);
  Read missing;
  missing.status =
      GetTrackTags((root() + "gone.mp3").c_str(), &missing.storage.tags, 2, root().c_str());
  EXPECT_EQ(missing.status, 2);
}

TEST_F(TrackTagsTest, RelativePathsOfMoreThan255UnitsAreRefusedUnopened) {
  // "/" + 250 + "/" + "abc.mp3" = 259; trim the folder to reach the limits.
  auto relative_of = [](size_t units) {
    std::string folder(units - 9, 'd');
    return folder + "/abc.mp3";  // with the root's "/", units long
  };
  Read ok;
  ReadFile(&ok, relative_of(255), test::AudioFiller(200));
  ASSERT_EQ(ok.status, 0);
  EXPECT_EQ(ok.path().size(), 255u);
  EXPECT_EQ(ok.title(), u"abc.mp3");

  std::string full = drive_.Write(relative_of(256), test::AudioFiller(200));
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  Read refused;
  EXPECT_EQ(GetTrackTags(full.c_str(), &refused.storage.tags, 2, root().c_str()), 2);
  EXPECT_EQ(door.Calls(test::FileOp::kOpen), 0);
}

TEST_F(TrackTagsTest, PathsOver1023BytesAreRefusedUnopened) {
  // The relative part is short, so only the byte length of the path counts.
  std::string long_root = "/" + std::string(1020, 'r') + "/";
  std::string path = long_root + "a.mp3";
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  Read r;
  EXPECT_EQ(GetTrackTags(path.c_str(), &r.storage.tags, 2, long_root.c_str()), 2);
  EXPECT_EQ(door.Calls(test::FileOp::kOpen), 0);
}

TEST_F(TrackTagsTest, PathsThatCannotBeConvertedAreRefusedUnopened) {
  std::string bad = drive_.Write("bad\xFF.mp3", test::AudioFiller(200));
  std::string good = drive_.Write("good.mp3", test::AudioFiller(200));
  test::FaultyFileDoor door;
  test::ScopedFileDoor scoped(&door);
  Read r;
  EXPECT_EQ(GetTrackTags(bad.c_str(), &r.storage.tags, 2, root().c_str()), 2);
  std::string bad_root = root() + "\xC3/";
  EXPECT_EQ(GetTrackTags(good.c_str(), &r.storage.tags, 2, bad_root.c_str()), 2);
  // A root longer than the path leaves nothing to take the relative path from.
  std::string deeper = root() + "good.mp3/and/more/";
  EXPECT_EQ(GetTrackTags(good.c_str(), &r.storage.tags, 2, deeper.c_str()), 2);
  EXPECT_EQ(door.Calls(test::FileOp::kOpen), 0);
  // Languages outside the nine have no code page.
  EXPECT_EQ(GetTrackTags(good.c_str(), &r.storage.tags, 9, root().c_str()), 2);
  EXPECT_EQ(GetTrackTags(good.c_str(), &r.storage.tags, -1, root().c_str()), 2);
  EXPECT_EQ(GetTrackTags(good.c_str(), &r.storage.tags, 8, root().c_str()), 0);
}

TEST_F(TrackTagsTest, ARecordWithoutBuffersIsFilledWhereItHasThem) {
  std::string full = drive_.Write(
      "a.mp3",
      test::Id3Join({test::Id3v2Tag(3, {test::Id3v2Frame(3, "TIT2", test::Id3Latin("T")),
                                        test::Id3v2Frame(3, "TPE1", test::Id3Latin("A"))}),
                     test::AudioFiller(300), test::Id3v1Tag({.album = "B", .genre = 17})}));
  uint16_t title[64];
  TrackTags tags{0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, title, nullptr};
  ASSERT_EQ(GetTrackTags(full.c_str(), &tags, 2, root().c_str()), 0);
  EXPECT_EQ(U16(title), u"T");
}

// Every open, seek and read that fails must fail the file, and every opened
// file must be closed again.
TEST_F(TrackTagsTest, AnyFailedCallFailsTheFileAndClosesIt) {
  Bytes bytes =
      test::Id3Join({test::Id3v2Tag(3, {test::Id3v2Frame(3, "TIT2", test::Id3Latin("T"))}),
                     test::AudioFiller(400), test::Id3v1Tag({.title = "x"})});
  for (const char* name : {"a.mp3", "a.m4a", "a.wav"}) {
    std::string full = drive_.Write(name, bytes);
    for (test::FileOp op : {test::FileOp::kOpen, test::FileOp::kSeek, test::FileOp::kRead}) {
      for (int nth = 1;; ++nth) {
        test::FaultyFileDoor door;
        Read r;
        {
          test::ScopedFileDoor scoped(&door);
          door.FailNth(op, nth);
          r.status = GetTrackTags(full.c_str(), &r.storage.tags, 2, root().c_str());
        }
        EXPECT_EQ(
            door.Calls(test::FileOp::kClose),
            door.Calls(test::FileOp::kOpen) - (op == test::FileOp::kOpen && door.Fired() ? 1 : 0))
            << name << " op " << static_cast<int>(op) << " call " << nth;
        if (!door.Fired()) {
          EXPECT_EQ(r.status, 0) << name;
          break;
        }
        // Trouble inside the RIFF chunks never fails a WAV file, so there
        // only the closing is checked.
        if (std::string(name) != "a.wav") {
          EXPECT_EQ(r.status, 2) << name << " op " << static_cast<int>(op) << " call " << nth;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qv

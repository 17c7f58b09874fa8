// The MP4 metadata walk, on files built atom by atom: through GetTrackTags as
// the job calls it, and through ReadMp4Tags where the walk's outcome itself
// is the point. Failing reads and seeks: track_tags_test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_door.h"
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
  Mp4Result Walk(const Bytes& file, int64_t start = 0) {
    int fd = Files().Open(dir_.Write("walk.m4a", file).c_str(), O_RDONLY, 0);
    EXPECT_GE(fd, 0);
    Files().Seek(fd, start, SEEK_SET);
    TrackTagsStorage store;
    Mp4Result result = ReadMp4Tags(fd, static_cast<uint32_t>(file.size()), &store.tags);
    Files().Close(fd);
    return result;
  }

  TempDir dir_;
};

TEST_F(Mp4ReaderTest, FindsItemsWithMediaDataFirst) {
  Bytes file = Mp4FileMdatFirst(FourItems());
  TagRead r = Get(file);
  EXPECT_EQ(r.Fields(), "Song|Band|Record|Jazz|7");
  EXPECT_EQ(r.type, kFileTypeM4a);
  EXPECT_EQ(r.size, file.size());
  EXPECT_EQ(r.path, "/Music/a.m4a");
}

// Files the walk must read, step over or stop at: the walk's outcome from
// where the MP4 atoms begin, when it is the point, and the fields read,
// "title|artist|album|genre|track".
TEST_F(Mp4ReaderTest, LayoutsSizesAndItems) {
  const std::string four = "Song|Band|Record|Jazz|7";
  const Bytes id3 = Id3Title("Id3 title  "), free = Mp4Atom("free", Bytes(4, 0));
  auto after_id3 = [&](const Bytes& mp4) { return JoinBytes({id3, mp4}); };
  auto items = [](std::initializer_list<Bytes> list) { return Mp4FileMdatFirst(JoinBytes(list)); };
  auto trkn = [&](const Bytes& value) { return items({Mp4Atom("trkn", Mp4Data(0, value))}); };
  std::string accented;  // far more two-byte characters than the album holds
  for (int i = 0; i < 600; ++i) accented += "é";
  struct Case {
    const char* what;
    Bytes file;
    std::string fields;
    std::optional<Mp4Result> walk = {};
  };
  const Case cases[] = {
      {"moov first", Mp4FileMoovFirst(FourItems()), four},
      {"ID3v2 in front", after_id3(Mp4FileMdatFirst(FourItems())), four},
      {"ID3v2 title stays", after_id3(Mp4FileMoovFirst(Mp4TextItem(kArt, "Band"))),
       "Id3 title|Band|||65535"},
      {"empty name erases", after_id3(items({Mp4TextItem(kNam, "")})), "a.m4a||||65535"},
      {"cut texts",
       items({Mp4TextItem(kNam, std::string(70, 'n')), Mp4TextItem(kGen, std::string(40, 'g')),
              Mp4TextItem(kAlb, accented)}),
       std::string(63, 'n') + "||" + accented.substr(0, 2 * 47) + "|" + std::string(29, 'g') +
           "|65535"},
      {"non-BMP title", items({Mp4TextItem(kNam, "A\U0001F3B5Z")}), "A\U0001F3B5Z||||65535"},
      {"trkn 5 of 12", trkn({0, 0, 0, 5, 0, 12, 0, 0}), "a.m4a||||5"},
      {"trkn third byte", trkn({0, 0, 1, 2, 0, 0, 0, 0}), "a.m4a||||258"},
      // A name item of 10 payload bytes and a trkn of 18 have no value.
      {"other items, short payloads",
       items({Mp4TextItem("\xA9\x64\x61\x79", "1999"),
              Mp4Atom("covr", Mp4Data(14, Bytes(200000, 0x89))),
              Mp4Atom("gnre", Mp4Data(0, Bytes{0, 18})), Mp4Atom(kNam, Bytes(10, 'x')),
              Mp4Atom("trkn", Bytes(18, 9)), Mp4TextItem(kArt, "After")}),
       "a.m4a|After|||65535"},
      {"completed walk tidies", items({Mp4TextItem(kNam, "Trimmed  "), Mp4TextItem(kGen, "(17)")}),
       "Trimmed|||Rock|65535", Mp4Result::kCompleted},
      {"item past moov stops untidied",
       Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "Kept "), Mp4TextItem(kGen, "(17)"),
                                   Mp4AtomClaiming(kArt, 5000, Bytes(30, 'a'))})),
       "Kept |||(17)|65535", Mp4Result::kStopped},
      {"file ends within the budget", after_id3(JoinBytes({Mp4Ftyp(), Mp4Mdat(50)})),
       "Id3 title||||65535", Mp4Result::kCompleted},
      {"moov larger than the file", JoinBytes({Mp4Ftyp(), MoovTooLarge()}), "",
       Mp4Result::kStopped},
      {"moov larger than the file after ID3v2", after_id3(JoinBytes({Mp4Ftyp(), MoovTooLarge()})),
       "Id3 title  ||||65535", Mp4Result::kStopped},
      {"meta without ilst",
       after_id3(
           JoinBytes({Mp4Ftyp(), Mp4Atom("moov", Mp4Atom("udta", Mp4Meta(free))), Mp4Mdat(20)})),
       "Id3 title||||65535", Mp4Result::kCompleted},
      {"udta without meta",
       after_id3(JoinBytes({Mp4Ftyp(), Mp4Atom("moov", Mp4Atom("udta", free)), Mp4Mdat(20)})),
       "Id3 title||||65535", Mp4Result::kCompleted},
      {"moov without udta",
       after_id3(
           JoinBytes({Mp4Ftyp(), Mp4Atom("moov", Mp4Atom("mvhd", Bytes(100, 0))), Mp4Mdat(20)})),
       "Id3 title||||65535", Mp4Result::kCompleted},
      {"meta without version bytes",
       JoinBytes({Mp4Ftyp(), Mp4MoovWithItems(FourItems(), false), Mp4Mdat(10)}), four,
       Mp4Result::kCompleted},
      {"moov and ilst of size 0",
       JoinBytes(
           {Mp4Ftyp(), Mp4Mdat(40),
            Mp4AtomSize0(
                "moov",
                Mp4Atom("udta", Mp4Atom("meta", JoinBytes({Bytes(4, 0), Mp4Hdlr(),
                                                           Mp4AtomSize0("ilst", FourItems())}))))}),
       four, Mp4Result::kCompleted},
      // An item of size 0 takes the rest of ilst: the items after it are inside.
      {"item of size 0",
       Mp4FileMoovFirst(JoinBytes(
           {Mp4TextItem(kNam, "First"),
            Mp4AtomSize0(kArt, JoinBytes({Mp4Data(1, Bytes{'X'}), Mp4TextItem(kAlb, "Hidden")}))})),
       "First|X|||65535"},
      {"size 1",
       JoinBytes({Mp4Ftyp(), Mp4AtomSize1("mdat", Bytes(64, 0x55)),
                  Mp4MoovWithItems(Mp4AtomSize1(kNam, Mp4Data(1, Bytes{'W', 'i', 'd', 'e'})))}),
       "Wide||||65535"},
      {"size 2 steps back",
       Mp4FileMoovFirst(
           JoinBytes({Mp4TextItem(kNam, "Before"), Mp4AtomClaiming(kArt, 2, Bytes(40, 0))})),
       "", Mp4Result::kStopped},
      {"size 7 steps back",
       Mp4FileMoovFirst(
           JoinBytes({Mp4TextItem(kNam, "Before"), Mp4AtomClaiming(kArt, 7, Bytes(40, 0))})),
       "", Mp4Result::kStopped},
      {"top-level size 4",
       JoinBytes(
           {Mp4Ftyp(), Mp4AtomClaiming("free", 4, Bytes(4, 0)), Mp4MoovWithItems(FourItems())}),
       "", Mp4Result::kStopped},
      {"64-bit size below its header",
       JoinBytes({Mp4Ftyp(), Mp4AtomSize1("free", Bytes(8, 0), 12), Mp4MoovWithItems(FourItems())}),
       "", Mp4Result::kStopped},
      {"64-bit size beyond the parent",
       JoinBytes({Mp4Ftyp(), Mp4AtomSize1("mdat", Bytes(64, 0x55), uint64_t{1} << 40),
                  Mp4MoovWithItems(FourItems())}),
       "", Mp4Result::kStopped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool tagged = c.file[0] == 'I';
    if (c.walk) {
      EXPECT_EQ(Walk(c.file, tagged ? static_cast<int64_t>(id3.size()) : 0), *c.walk);
    }
    if (c.fields.empty()) continue;
    TagRead r = Get(c.file);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.Fields(), c.fields);
  }
}

TEST_F(Mp4ReaderTest, SizeFieldOfAllOnesFailsTheFile) {
  // A size field of all ones fails the file.
  Bytes file = JoinBytes({Mp4Ftyp(), Mp4AtomClaiming("free", 0xFFFFFFFFu, Bytes(8, 0)),
                          Mp4MoovWithItems(FourItems())});
  EXPECT_EQ(Walk(file), Mp4Result::kFailed);
  EXPECT_EQ(Get(file).status, 2);
}

}  // namespace
}  // namespace qv::test

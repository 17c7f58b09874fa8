// The MP4 metadata walk on files built atom by atom: through GetTrackTags as
// the job calls it, and through ReadMp4Tags where the walk's outcome matters.
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

// clang-format off
constexpr std::string_view kNam = "\xA9nam", kArt = "\xA9" "ART", kAlb = "\xA9" "alb",
                           kGen = "\xA9gen";
// clang-format on

Bytes FourItems() {
  return JoinBytes({Mp4TextItem(kNam, "Song"), Mp4TextItem(kArt, "Band"),
                    Mp4TextItem(kAlb, "Record"), Mp4TextItem(kGen, "Jazz"), Mp4TrknItem(7, 12)});
}

class Mp4ReaderTest : public ::testing::Test {
 protected:
  Mp4Result Walk(const Bytes& file, int64_t start) {
    int fd = Files().Open(dir_.Write("walk.m4a", file).c_str(), O_RDONLY, 0);
    Files().Seek(fd, start, SEEK_SET);
    TrackTagsStorage store;
    Mp4Result result = ReadMp4Tags(fd, static_cast<uint32_t>(file.size()), &store.tags);
    Files().Close(fd);
    return result;
  }
  TempDir dir_;
};

// Files the walk reads, steps over or stops at: the fields read
// ("title|artist|album|genre|track", none when the file fails) and, when it
// is the point, the walk's outcome.
TEST_F(Mp4ReaderTest, LayoutsSizesAndItems) {
  const std::string four = "Song|Band|Record|Jazz|7";
  const Bytes id3 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Id3 title  "))});
  const Bytes free = Mp4Atom("free", Bytes(4, 0)), ftyp = Mp4Ftyp();
  auto after_id3 = [&](const Bytes& mp4) { return JoinBytes({id3, mp4}); };
  auto items = [](std::initializer_list<Bytes> list) { return Mp4FileMdatFirst(JoinBytes(list)); };
  auto trkn = [&](const Bytes& value) { return items({Mp4Atom("trkn", Mp4Data(0, value))}); };
  auto moov_of = [&](const Bytes& inside) {
    return after_id3(JoinBytes({ftyp, Mp4Atom("moov", inside), Mp4Mdat(20)}));
  };
  Bytes moov = Mp4MoovWithItems(FourItems());
  Bytes too_large = Mp4AtomClaiming("moov", static_cast<uint32_t>(moov.size() + 1),
                                    Bytes(moov.begin() + 8, moov.end()));
  auto stepping_back = [&](uint32_t size) {
    return Mp4FileMoovFirst(
        JoinBytes({Mp4TextItem(kNam, "Before"), Mp4AtomClaiming(kArt, size, Bytes(40, 0))}));
  };
  std::string accented;  // more two-byte characters than the album holds
  for (int i = 0; i < 600; ++i) accented += "é";
  using R = Mp4Result;
  // clang-format off
  const std::tuple<Bytes, std::string, std::optional<R>> cases[] = {
      {Mp4FileMdatFirst(FourItems()), four, R::kCompleted},
      {Mp4FileMoovFirst(FourItems()), four, {}},
      {after_id3(Mp4FileMdatFirst(FourItems())), four, {}},
      {after_id3(Mp4FileMoovFirst(Mp4TextItem(kArt, "Band"))), "Id3 title|Band|||65535", {}},
      {after_id3(items({Mp4TextItem(kNam, "")})), "a.m4a||||65535", {}},
      {items({Mp4TextItem(kNam, std::string(70, 'n')), Mp4TextItem(kGen, std::string(40, 'g')),
          Mp4TextItem(kAlb, accented)}),
          std::string(63, 'n') + "||" + accented.substr(0, 2 * 47) + "|" + std::string(29, 'g') + "|65535", {}},
      {items({Mp4TextItem(kNam, "A\U0001F3B5Z")}), "A\U0001F3B5Z||||65535", {}},
      {trkn({0, 0, 0, 5, 0, 12, 0, 0}), "a.m4a||||5", {}},
      {trkn({0, 0, 1, 2, 0, 0, 0, 0}), "a.m4a||||258", {}},
      // A name item of 10 payload bytes and a trkn of 18 have no value.
      {items({Mp4TextItem("\xA9\x64\x61\x79", "1999"), Mp4Atom("covr", Mp4Data(14, Bytes(200000, 0x89))),
          Mp4Atom("gnre", Mp4Data(0, Bytes{0, 18})), Mp4Atom(kNam, Bytes(10, 'x')), Mp4Atom("trkn",
          Bytes(18, 9)), Mp4TextItem(kArt, "After")}), "a.m4a|After|||65535", {}},
      {items({Mp4TextItem(kNam, "Trimmed  "), Mp4TextItem(kGen, "(17)")}), "Trimmed|||Rock|65535",
          R::kCompleted},
      // A stopped walk leaves its texts untidied.
      {Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "Kept "), Mp4TextItem(kGen, "(17)"),
          Mp4AtomClaiming(kArt, 5000, Bytes(30, 'a'))})), "Kept |||(17)|65535", R::kStopped},
      {after_id3(JoinBytes({ftyp, Mp4Mdat(50)})), "Id3 title||||65535", R::kCompleted},
      {JoinBytes({ftyp, too_large}), "a.m4a||||65535", R::kStopped},
      {after_id3(JoinBytes({ftyp, too_large})), "Id3 title  ||||65535", R::kStopped},
      {moov_of(Mp4Atom("udta", Mp4Meta(free))), "Id3 title||||65535", R::kCompleted},
      {moov_of(Mp4Atom("udta", free)), "Id3 title||||65535", R::kCompleted},
      {moov_of(Mp4Atom("mvhd", Bytes(100, 0))), "Id3 title||||65535", R::kCompleted},
      {JoinBytes({ftyp, Mp4MoovWithItems(FourItems(), false), Mp4Mdat(10)}), four, R::kCompleted},
      {JoinBytes({ftyp, Mp4Mdat(40), Mp4AtomClaiming("moov", 0, Mp4Atom("udta", Mp4Atom("meta",
          JoinBytes({Bytes(4, 0), Mp4Hdlr(), Mp4AtomClaiming("ilst", 0, FourItems())}))))}), four,
          R::kCompleted},
      // An item of size 0 takes the rest of ilst: the items after it are inside.
      {Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "First"), Mp4AtomClaiming(kArt, 0, JoinBytes({Mp4Data(1,
          Bytes{'X'}), Mp4TextItem(kAlb, "Hidden")}))})), "First|X|||65535", {}},
      {JoinBytes({ftyp, Mp4AtomSize1("mdat", Bytes(64, 0x55)), Mp4MoovWithItems(Mp4AtomSize1(kNam, Mp4Data(1,
          Bytes{'W', 'i', 'd', 'e'})))}), "Wide||||65535", {}},
      {stepping_back(2), "Before||||65535", R::kStopped},
      {stepping_back(7), "Before||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomClaiming("free", 4, Bytes(4, 0)), moov}), "a.m4a||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomSize1("free", Bytes(8, 0), 12), moov}), "a.m4a||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomSize1("mdat", Bytes(64, 0x55), uint64_t{1} << 40), moov}), "a.m4a||||65535",
          R::kStopped},
      {JoinBytes({ftyp, Mp4AtomClaiming("free", 0xFFFFFFFFu, Bytes(8, 0)), moov}), "", R::kFailed},
  };
  // clang-format on
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [file, fields, walk] = cases[i];
    if (walk) {
      EXPECT_EQ(Walk(file, file[0] == 'I' ? static_cast<int64_t>(id3.size()) : 0), *walk) << i;
    }
    TagRead r = ReadTags(dir_.Write("Music/a.m4a", file), dir_.str(true));
    EXPECT_EQ(r.status, fields.empty() ? 2 : 0) << i;
    if (fields.empty()) continue;
    EXPECT_EQ(r.Fields(), fields) << i;
    EXPECT_EQ(r.type, kFileTypeM4a) << i;
    EXPECT_EQ(r.path, "/Music/a.m4a") << i;
    EXPECT_EQ(r.size, file.size()) << i;
  }
}

}  // namespace
}  // namespace qv::test

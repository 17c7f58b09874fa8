// The ID3, MP4 and RIFF readers on files built frame by frame and atom by atom.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_door.h"
#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/mp4_writer.h"
#include "support/riff_writer.h"
#include "support/temp_dir.h"
#include "tags/id3_text.h"
#include "tags/read_tags.h"
#include "tags/tag_readers.h"
#include "tags/track_tags.h"

namespace qv::test {
namespace {
// clang-format off

class TagReaderTest : public ::testing::Test {
 protected:
  TagRead File(const Bytes& bytes) { return ReadTags(dir_.Write("f.mp3", bytes), dir_.str(true)); }
  // An ID3v2 tag, then audio.
  TagRead Mp3(const Bytes& v2) {
    TagRead r = File(Id3Join({v2, AudioFiller(600)}));
    EXPECT_EQ(r.status, 0);
    return r;
  }
  TagRead Frame(const Bytes& payload, const char* id = "TIT2") { return Mp3(Id3v2Tag(3, {Id3v2Frame(3, id, payload)})); }
  // Where ReadId3v2Tag says the audio begins (start < 0), else how ReadMp4Tags ends its walk.
  int64_t Direct(const Bytes& file, int64_t start = -1) {
    int fd = Files().Open(dir_.Write("g.bin", file).c_str(), O_RDONLY, 0);
    TrackTagsStorage s;
    if (start >= 0) Files().Seek(fd, start, SEEK_SET);
    int64_t end = start < 0 ? ReadId3v2Tag(fd, &s.tags, "CP1252") : int64_t(ReadMp4Tags(fd, uint32_t(file.size()), &s.tags));
    Files().Close(fd);
    return end;
  }
  TempDir dir_;
};

TEST_F(TagReaderTest, Id3v1TagsFileSizeLimitsTextsAndTrackNumbers) {
  Bytes stray_track = Id3v1Tag({.comment = std::string(29, 'c'), .genre = 127});
  stray_track[126] = 9;  // counts only after a zero byte
  Bytes v2 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Short"))});
  const std::pair<Bytes, std::string> files[] = {
      {Id3Join({{0},
          Id3v1Tag({.title = "Song", .artist = "  A  ", .album = "Disc", .track = 5, .genre = 17, .pad = ' '})}),
       "Song|  A|Disc|Rock|5"}, {Id3Join({{0}, stray_track}), "f.mp3|||Dram & Bass|65535"},
      {Id3Join({{0}, Id3v1Tag({.title = "x", .track = 0, .genre = 200})}), "x||||0"}, {Bytes(10, 0x55), "f.mp3||||65535"},
      {Id3Join({{0}, Id3v1Tag({.title = std::string(30, ' ')})}), "f.mp3||||0"}, {v2, "Short||||65535"},
      {Id3v1Tag({.title = "Only a tag"}), "f.mp3||||65535"}, {Id3Join({v2, Bytes(50, 0x55)}), "Short||||65535"},
      // A character cut by the field's end or undefined in the code page spoils the field.
      {Id3Join({{0}, Id3v1Tag({.title = std::string(29, 'a') + "\x81", .album = "ab\x81"})}), "?||?||0"},
      // ID3v2 overwrites ID3v1 field by field; an empty frame erases.
      {Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("New")), Id3v2Frame(3, "TPE1", Id3Latin(""))}),
                Id3v1Tag({.title = "Old", .artist = "Band", .album = "Disc", .track = 4})}), "New||Disc||4"}};
  for (const auto& [bytes, fields] : files) EXPECT_EQ(std::tuple(File(bytes).Fields(), File(bytes).size), std::tuple(fields, bytes.size()));
  EXPECT_EQ(File(Bytes(9, 0x55)).status, 2);
  // UTF-16 with either mark or none, UTF-16BE, an odd last byte dropped, only
  // the first value, UTF-8, code page, any other first byte is text.
  const std::pair<Bytes, std::string> texts[] = {
      {{1, 0xFF, 0xFE, 'A', 0}, "A"}, {{1, 0xFE, 0xFF, 0, 'A'}, "A"}, {{1, 0, 'A', 0, 'B'}, "AB"},
      {{2, 0, 'A', 0x30, 0x42}, "Aあ"}, {{1, 0xFF, 0xFE, 'A', 0, 'B'}, "A"}, {{1, 0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}, "A"},
      {Id3Utf16(u"\U0001F3B5x"), "\U0001F3B5x"}, {Id3Utf16(u"Be", Bom::kBig), "Be"}, {Id3Payload(3, {'o', 'n', 'e', 0, 't'}), "one"},
      {Id3Utf8("caf\xC3\xA9 \xF0\x9F\x8E\xB5"), "café \U0001F3B5"},
      {Id3Latin("caf\xE9"), "café"}, {RawBytes("Plain"), "Plain"}, {{1}, "f.mp3"}, {{1, 0xFF}, "f.mp3"}};
  for (const auto& [payload, expected] : texts)
    EXPECT_EQ(Frame(payload).title, expected) << testing::PrintToString(payload);
  const std::pair<const char*, int> tracks[] = {{"3/12", 3}, {"", 0}, {"A3", 0}, {" \t+7", 7}, {"-1", 0xFFFF}, {"70000", 70000 & 0xFFFF}, {"99999999999999999999", 0xFFFF}, {"9223372036854775800", 0xFFF8}};
  for (const auto& [text, track] : tracks) EXPECT_EQ(Frame(Id3Latin(text), "TRCK").track, track) << text;
  // Only the low byte of each unit counts: U+0135 reads as "5", U+0100 ends.
  const uint16_t wide[] = {0x0131, 0x0135, 0x0100, '9', 0};
  EXPECT_EQ(ParseTrackNumber(wide), 15);
}

TEST_F(TagReaderTest, FramesOfEachVersionAreCutToTheirFields) {
  for (int major : {2, 3, 4}) {
    auto f = [&](const char* v22, const char* id, const Bytes& text) { return Id3v2Frame(major, major == 2 ? v22 : id, text); };
    TagRead r = Mp3(Id3v2Tag(major, {f("TT2", "TIT2", Id3Latin(std::string(100, 't'))), f("TP1", "TPE1", Id3Utf16(std::u16string(48, u'a'))),
        f("TAL", "TALB", Id3Utf16(std::u16string(47, u'b'))), f("TCO", "TCON", Id3Latin(std::string(40, 'g'))), f("TRK", "TRCK", Id3Latin("3/12"))}));
    EXPECT_EQ(r.Fields(), std::string(63, 't') + "|" + std::string(47, 'a') + "|" + std::string(47, 'b') + "|" +
                              std::string(29, 'g') + "|3") << major;
  }
}

// Headers, flags, padding and broken frames: the title and artist each gives.
TEST_F(TagReaderTest, HeadersFlagsPaddingAndMalformedFrames) {
  auto f = [](int major, const char* id, const Bytes& data, Id3v2FrameOptions o = {}) { return Id3v2Frame(major, id, data, o); };
  Bytes kept = f(3, "TIT2", Id3Latin("Kept")), late = f(3, "TPE1", Id3Latin("Late"));
  auto three = [&](const Bytes& bad) { return Id3v2Tag(3, {kept, bad, late}); };
  // 300 bytes are "00 00 02 2C" syncsafe, which a plain reading takes for 556.
  Bytes cover = Id3Join({{0}, RawBytes("image/png"), {0, 3, 0}, Bytes(287, 0x89)});
  auto sized = [](FrameSize form, const char* id, const Bytes& data) { return Id3v2Frame(4, id, data, {.size_form = form}); };
  // Plain sizes of old encoders: 201 and 151 are not valid syncsafe bytes.
  Bytes plain = Id3Join({sized(FrameSize::kPlain, "COMM", Bytes(201, 'c')), sized(FrameSize::kPlain, "TPE1", Id3Latin(std::string(150, 'L'))),
                         sized(FrameSize::kPlain, "TIT2", Id3Latin("Plain"))});
  Bytes safe = Id3Join({sized(FrameSize::kSyncsafe, "APIC", cover), sized(FrameSize::kSyncsafe, "TIT2", Id3Latin("Kept"))});
  const std::string ls(47, 'L');
  const std::pair<Bytes, std::string> cases[] = {
      {Id3v2Tag(3, {kept}, {.extended_header = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("Kept"))}, {.extended_header = {0, 0, 0, 6, 1, 0}}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))}, {.extended_header = {0x7F, 0x7F, 0x7F, 0x7F, 0, 0}}), "f.mp3|"},
      // 2.3: 0x80 puts 4 size bytes, 0x40 a method byte first; 2.4: 0x08 and 0x04.
      {Id3v2Tag(3, {f(3, "TIT2", Id3Join({{0, 0, 0, 9, 0x55}, Id3Latin("Kept")}), {.flags2 = 0xC0})}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Join({{0, 0, 0, 9}, Id3Latin("Four")}), {.flags2 = 0x08}),
                    f(4, "TPE1", Id3Join({{7}, Id3Latin("One")}), {.flags2 = 0x04})}), "Four|One"},
      {Id3v2Tag(3, {f(3, "TIT2", {0, 'x'}, {.flags2 = 0x80}), late}), "f.mp3|"},
      // Tags that end just inside, and far past, the first read of the file.
      {three(f(3, "APIC", Bytes(8130, 0x89))), "Kept|Late"}, {three(f(3, "APIC", Bytes(20000, 0x89))), "Kept|Late"},
      {three(Bytes(20, 0)), "Kept|"}, {three(f(3, "TALB", {})), "Kept|"}, {three(f(3, "TAL\x90", Id3Latin("x"))), "Kept|"},
      {three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 0x80000002})), "Kept|"}, {Id3v2Tag(4, {safe}, {.padding = 100}), "Kept|"},
      {three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 500})), "Kept|"},
      {Id3v2Tag(2, {f(2, "TT2", Id3Latin("Kept")), f(2, "TAL", {0}, {.claimed_size = 0x7FFFFF}), f(2, "TP1", {0})}), "Kept|"},
      {Id3v2Tag(3, {safe}, {.revision = 1, .padding = 100}), "Kept|"},  // 2.3.1 reads as 2.4
      {Id3v2Tag(4, {plain}), "Plain|" + ls}, {Id3v2Tag(4, {plain}, {.padding = 64}), "Plain|" + ls},
      // A plain size whose syncsafe reading lands in text running to the tag's end.
      {Id3v2Tag(4, {sized(FrameSize::kPlain, "TPE1", Id3Latin(std::string(150, 'l')))}), "f.mp3|" + std::string(47, 'l')},
      {Id3v2Tag(4, {sized(FrameSize::kPlain, "TPE1", Id3Latin(std::string(22, 'l') + "Axyz" + std::string(4, '\0') + std::string(120, 'l')))}), "f.mp3|" + std::string(22, 'l') + "Axyz"},  // no frame id there
      {Id3v2Tag(3, {f(3, "TT2 ", Id3Latin("x")), f(3, "TXXX", Id3Latin("y"))}), "f.mp3|"}, {Id3v2Tag(3, {kept, f(3, "TPE1", {1, 0xFE}), {0xFF, 0xFF}}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))}, {.revision = 1}), "f.mp3|"}};  // 2.4.1 skipped
  for (const auto& [tag, title_artist] : cases) EXPECT_EQ(Mp3(tag).title + "|" + Mp3(tag).artist, title_artist);
}

TEST_F(TagReaderTest, TagEndsAndLyingLengthsStayInsideTheTag) {
  Bytes skipped = Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin("x"))}, {.revision = 1, .padding = 30});
  EXPECT_EQ(Direct(Id3Join({skipped, AudioFiller(100)})), static_cast<int64_t>(skipped.size()));
  Bytes lying = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("x"))}, {.claimed_size = 0x0FFFFFFF});
  EXPECT_EQ(Direct(Id3Join({lying, Bytes(50, 1)})), static_cast<int64_t>(lying.size() + 50));
  // A body that fills the first large block exactly reads to the file's end.
  const Bytes whole = Id3Join({lying, Bytes(256 * 1024 + 10 - lying.size(), 1)});
  EXPECT_EQ(Direct(whole), static_cast<int64_t>(whole.size()));
  EXPECT_EQ(Direct(AudioFiller(100)), 0);
  for (FileOp op : {FileOp::kSeek, FileOp::kRead}) {  // a failed call is no tag
    FaultyFileDoor door;
    door.FailNth(op, 1);
    ScopedFileDoor scoped(&door);
    EXPECT_EQ(Direct(lying), -1);
  }
}

constexpr std::string_view kNam = "\xA9nam", kArt = "\xA9" "ART", kAlb = "\xA9" "alb", kGen = "\xA9gen";
Bytes FourItems() {
  return JoinBytes({Mp4TextItem(kNam, "Song"), Mp4TextItem(kArt, "Band"), Mp4TextItem(kAlb, "Record"),
                    Mp4TextItem(kGen, "Jazz"), Mp4TrknItem(7, 12)});
}

// Files the walk reads, steps over or stops at: the fields read
// ("title|artist|album|genre|track", none when the file fails) and, when it
// is the point, the walk's outcome.
TEST_F(TagReaderTest, LayoutsSizesAndItems) {
  const std::string four = "Song|Band|Record|Jazz|7";
  const Bytes id3 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Id3 title  "))});
  const Bytes free = Mp4Atom("free", Bytes(4, 0)), ftyp = Mp4Ftyp();
  auto after_id3 = [&](const Bytes& mp4) { return JoinBytes({id3, mp4}); };
  auto items = [](std::initializer_list<Bytes> list) { return Mp4FileMdatFirst(JoinBytes(list)); };
  auto trkn = [&](const Bytes& value) { return items({Mp4Atom("trkn", Mp4Data(0, value))}); };
  auto moov_of = [&](const Bytes& in) { return after_id3(JoinBytes({ftyp, Mp4Atom("moov", in), Mp4Mdat(20)})); };
  Bytes moov = Mp4MoovWithItems(FourItems());
  Bytes too_large = Mp4AtomClaiming("moov", uint32_t(moov.size() + 1), Bytes(moov.begin() + 8, moov.end()));
  auto stepping_back = [&](uint32_t size) { return Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "Before"), Mp4AtomClaiming(kArt, size, Bytes(40, 0))})); };
  std::string accented;  // more two-byte characters than the album holds
  for (int i = 0; i < 600; ++i) accented += "é";
  using R = Mp4Result;
  const std::tuple<Bytes, std::string, std::optional<R>> cases[] = {
      {Mp4FileMdatFirst(FourItems()), four, R::kCompleted}, {Mp4FileMoovFirst(FourItems()), four, {}},
      {after_id3(Mp4FileMdatFirst(FourItems())), four, {}},
      {after_id3(Mp4FileMoovFirst(Mp4TextItem(kArt, "Band"))), "Id3 title|Band|||65535", {}},
      {after_id3(items({Mp4TextItem(kNam, "")})), "a.m4a||||65535", {}},
      {items({Mp4TextItem(kNam, std::string(70, 'n')), Mp4TextItem(kGen, std::string(40, 'g')), Mp4TextItem(kAlb, accented)}),
          std::string(63, 'n') + "||" + accented.substr(0, 2 * 47) + "|" + std::string(29, 'g') + "|65535", {}},
      {items({Mp4TextItem(kNam, "A\U0001F3B5Z")}), "A\U0001F3B5Z||||65535", {}},
      {trkn({0, 0, 0, 5, 0, 12, 0, 0}), "a.m4a||||5", {}}, {trkn({0, 0, 1, 2, 0, 0, 0, 0}), "a.m4a||||258", {}},
      // A name item of 10 payload bytes and a trkn of 18 have no value.
      {items({Mp4TextItem("\xA9\x64\x61\x79", "1999"), Mp4Atom("covr", Mp4Data(14, Bytes(200000, 0x89))), Mp4Atom("gnre",
          Mp4Data(0, Bytes{0, 18})), Mp4Atom(kNam, Bytes(10, 'x')), Mp4Atom("trkn", Bytes(18, 9)), Mp4Atom("free", {}),
          Mp4TextItem(kArt, "After")}), "a.m4a|After|||65535", {}},
      {items({Mp4TextItem(kNam, "Trimmed  "), Mp4TextItem(kGen, "(17)")}), "Trimmed|||Rock|65535", R::kCompleted},
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
          JoinBytes({Bytes(4, 0), Mp4Hdlr(), Mp4AtomClaiming("ilst", 0, FourItems())}))))}), four, R::kCompleted},
      // An item of size 0 takes the rest of ilst: the items after it are inside.
      {Mp4FileMoovFirst(JoinBytes({Mp4TextItem(kNam, "First"), Mp4AtomClaiming(kArt, 0, JoinBytes({Mp4Data(1,
          Bytes{'X'}), Mp4TextItem(kAlb, "Hidden")}))})), "First|X|||65535", {}},
      {JoinBytes({ftyp, Mp4AtomSize1("mdat", Bytes(64, 0x55)), Mp4MoovWithItems(Mp4AtomSize1(kNam, Mp4Data(1,
          Bytes{'W', 'i', 'd', 'e'})))}), "Wide||||65535", {}},
      {stepping_back(2), "Before||||65535", R::kStopped}, {stepping_back(7), "Before||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomClaiming("free", 4, Bytes(4, 0)), moov}), "a.m4a||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomSize1("free", Bytes(8, 0), 12), moov}), "a.m4a||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomSize1("mdat", Bytes(64, 0x55), uint64_t{1} << 40), moov}), "a.m4a||||65535", R::kStopped},
      {JoinBytes({ftyp, Mp4AtomClaiming("free", 0xFFFFFFFFu, Bytes(8, 0)), moov}), "", R::kFailed},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [file, fields, walk] = cases[i];
    if (walk) {
      EXPECT_EQ(Direct(file, file[0] == 'I' ? static_cast<int64_t>(id3.size()) : 0), int64_t(*walk)) << i;
    }
    TagRead r = ReadTags(dir_.Write("Music/a.m4a", file), dir_.str(true));
    EXPECT_EQ(r.status, fields.empty() ? 2 : 0) << i;
    if (!fields.empty()) {
      EXPECT_EQ(std::tuple(r.Fields(), r.path, r.type, r.size), std::tuple(fields, "/Music/a.m4a", kFileTypeM4a, file.size())) << i;
    }
  }
}

Bytes Wave(const Bytes& chunks) { return RiffFile("WAVE", JoinBytes({RiffFmt(), chunks})); }
Bytes ListClaiming(size_t extra, const Bytes& info) {
  return RiffChunkClaiming("LIST", static_cast<uint32_t>(4 + info.size() + extra), JoinBytes({RawBytes("INFO"), info}));
}

// Each file against "title|artist|album|genre|track" in the tag language.
TEST(RiffReaderTest, InfoTextsPadsAndWhatEndsTheWalk) {
  TempDir dir;
  const Bytes late = RiffList(RiffText("INAM", "Late")), name = RiffText("INAM", "Name"),
              subject = RiffText("ISBJ", "Subject"), kept = RiffText("INAM", "Kept");
  Bytes inside = JoinBytes({Bytes(20, 0), late});
  Bytes tight = JoinBytes({kept, RiffChunkClaiming("IART", 12, Bytes(4, 'x'))});
  Bytes unpadded = JoinBytes({RiffText("IART", "Band"), RiffChunkClaiming("INAM", 3, RawBytes("abc"))});
  const std::tuple<Bytes, int, std::string> cases[] = {
      {WaveFileWithInfo(JoinBytes({RiffText("INAM", "Intro"), RiffText("IART", "Band"), RiffText("IPRD", "Record"),
          RiffText("IGNR", "(17)"), RiffText("ICMT", "not stored")})), 2, "Intro|Band|Record|Rock|65535"},
      {WaveFileWithInfo(JoinBytes({RiffText("INAM", "\xC0\xC1"), RiffText("IART", std::string(60, 'a'))})), 8,
          "АБ|" + std::string(47, 'a') + "|||65535"},
      {WaveFileWithInfo(RiffText("INAM", "ab\x81")), 0, "?||||65535"},
      // Odd chunks and sub-chunks are padded; the last pad may be missing.
      {Wave(JoinBytes({RiffChunk("fact", Bytes(5, 1)), RiffData(101), RiffList(JoinBytes({RiffText("INAM", "Odd"),
          RiffText("IART", "Even!")}))})), 2, "Odd|Even!|||65535"},
      {Wave(JoinBytes({RiffData(10), ListClaiming(0, unpadded)})), 2, "abc|Band|||65535"},
      // Data running to or claiming past the end hides what follows.
      {Wave(RiffChunkClaiming("data", static_cast<uint32_t>(inside.size()), inside)), 2, "a.wav||||65535"},
      {Wave(RiffChunkClaiming("data", 0xFFFFFFF0u, inside)), 2, "a.wav||||65535"},
      {WaveFileWithInfo(JoinBytes({subject, name})), 2, "Name||||65535"}, {WaveFileWithInfo(subject), 2, "Subject||||65535"},
      {WaveFileWithInfo(JoinBytes({name, subject})), 2, "Name||||65535"},
      {WaveFileWithInfo(JoinBytes({RiffText("IART", "Band"), RiffChunk("IID3", Bytes(12, 0)), name})), 2, "a.wav|Band|||65535"},
      {Wave(JoinBytes({RiffChunk("bext", Bytes(30, 0)), RiffData(10), late})), 2, "a.wav||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffData(33), late})), 2, "Late||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffFmt(), RiffData(33), late})), 2, "a.wav||||65535"},
      {RiffFile("RMP3", JoinBytes({RiffChunk("fact", Bytes(4, 0)), late})), 2, "a.wav||||65535"},
      {RiffFile("AVI ", late), 2, "a.wav||||65535"}, {JoinBytes({RawBytes("RIFX"), Bytes(4, 0), RawBytes("WAVE"), late}), 2, "a.wav||||65535"},
      {Wave(RawBytes("da")), 2, "a.wav||||65535"}, {JoinBytes({RawBytes("RIFF"), Bytes(4, 0), RawBytes("WA")}), 2, "a.wav||||65535"},
      // Lying sizes keep what came before; a list longer than the file still reads.
      {WaveFileWithInfo(JoinBytes({kept, RiffChunkClaiming("IART", 0x7FFFFFF0u, Bytes(6, 'x')), RiffText("IPRD", "Never")})), 2,
          "Kept||||65535"}, {Wave(JoinBytes({RiffData(8), ListClaiming(0, tight), RiffChunk("junk", Bytes(40, 'y'))})), 2, "Kept||||65535"},
      {Wave(JoinBytes({RiffData(8), ListClaiming(5000, JoinBytes({kept, RiffText("IART", "Band")}))})), 2, "Kept|Band|||65535"},
      // RIFF texts overwrite ID3v1 fields.
      {JoinBytes({WaveFileWithInfo(kept), Id3v1Tag({.title = "V1", .artist = "V1 artist", .track = 3})}), 2, "Kept|V1 artist|||3"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& [file, language, fields] = cases[i];
    TagRead r = ReadTags(dir.Write("Music/a.wav", file), dir.str(true), language);
    EXPECT_EQ(std::tuple(r.Fields(), r.status, r.type), std::tuple(fields, 0, kFileTypeWav)) << i;
  }
}

TEST(TrackTagsText, FinishTrimsAndExpandsGenres) {
  const uint16_t genre[2] = {'g', 0};
  StoreTagText(nullptr, 60, genre, 1);  // no buffer: nothing
  // 147 is the last name; 2^32 + 17 wraps to 17; 29 units hold two
  // "Classic Rock" but not a third, and the scan goes on.
  const std::pair<std::u16string, std::string> cases[] = {
      {u"(17)", "Rock"}, {u"(17)(20)", "Rock,Alternative"}, {u"17", "Rock"}, {u"(17)(200)", "Rock,"},
      {u"(147)(148)", "Synthpop,"}, {u"(300)", ""}, {u"()", ""}, {u"(17)Rock", "(17)Rock"},
      {u"Jazz  ", "Jazz"}, {u"  (127) ", "Dram & Bass"}, {u"4294967313", "Rock"},
      {u"(1)(1)(1)(0)", "Classic Rock,Classic Rock"}, {u"(1)(1)(1)(13)", "Classic Rock,Classic Rock,Pop"}};
  for (const auto& [text, expected] : cases) {
    TrackTagsStorage s;
    std::memcpy(s.genre, text.data(), 2 * text.size()), std::memcpy(s.artist, u"  ABC   ", 16);
    FinishTrackTags(&s.tags);
    EXPECT_EQ(Utf8Of(s.genre) + "|" + Utf8Of(s.artist), expected + "|  ABC");
  }
}

TEST(TrackTagsFile, TypesNamesAndPathLimits) {
  TempDir drive;
  std::string root = drive.str(true);
  auto read = [&](const std::string& name, const Bytes& bytes = AudioFiller(300)) { return ReadTags(drive.Write(name, bytes), root); };
  const std::pair<const char*, int> types[] = {{"a.Mp3", kFileTypeMp3}, {"a.aac", kFileTypeAac}, {"a.MP4", kFileTypeMp4},
      {"a.m4A", kFileTypeM4a}, {"a.wav", kFileTypeWav}, {"b.AIF", kFileTypeAiff}, {"c.aiFF", kFileTypeAiff}, {"a.ogg", 0},
      {"a.mp3.txt", 0}, {"mp3", 0}, {"a.aiffx", 0}, {"aiff", 0}};
  for (const auto& [name, type] : types) EXPECT_EQ(std::tuple(read(name).status, read(name).type), std::tuple(type ? 0 : 2, type)) << name;
  // Untagged: the name is the title, spaces kept; AIFF ignores an ID3v1 tag.
  TagRead r = read("Music/x y .aiff", Id3Join({AudioFiller(500), Id3v1Tag({.title = "T"})}));
  EXPECT_EQ(std::tuple(r.Fields(), r.path, r.size), std::tuple("x y .aiff||||65535", "/Music/x y .aiff", 628));
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
  EXPECT_EQ(std::tuple(read("x.mp3", {}).status, read("y.mp3", {'I', 'D', '3'}).status), std::tuple(2, 2));
  // A relative path of 255 units is read; longer ones, roots over 1023
  // bytes, names that are not UTF-8 and bad roots are refused unopened.
  auto relative_of = [](size_t units) { return std::string(units - 9, 'd') + "/abc.mp3"; };
  EXPECT_EQ(read(relative_of(255)).path.size(), 255u);
  std::string good = drive.Write("good.mp3", AudioFiller(200)), long_root(1022, 'r');
  long_root.front() = long_root.back() = '/';
  const std::tuple<std::string, std::string, int> refused[] = {
      {drive.Write(relative_of(256), AudioFiller(200)), root, 2}, {long_root + "a.mp3", long_root, 2},
      {drive.Write("bad\xFF.mp3", AudioFiller(200)), root, 2}, {good, root + "\xC3/", 2},
      {good, root + "good.mp3/and/more/", 2}, {good, root, 10}, {good, root, -1}};
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
  const std::pair<const char*, Bytes> files[] = {{"a.mp3", Id3Join({id3, AudioFiller(400), v1})},
      {"a.m4a", Id3Join({id3, Mp4FileMdatFirst(Mp4TextItem("\xA9nam", "M")), v1})}, {"a.wav", Id3Join({WaveFileWithInfo(RiffText("INAM", "W")), v1})}};
  for (const auto& [name, bytes] : files) {
    std::string full = drive.Write(name, bytes);
    for (FileOp op : {FileOp::kOpen, FileOp::kSeek, FileOp::kRead}) for (int nth = 1;; ++nth) {
        FaultyFileDoor door;
        door.FailNth(op, nth);
        TrackTagsStorage s;
        std::optional<ScopedFileDoor> scoped(std::in_place, &door);
        int status = GetTrackTags(full.c_str(), &s.tags, 2, drive.str(true).c_str());
        scoped.reset();
        std::string where = std::string(name) + " op " + std::to_string(int(op)) + " " + std::to_string(nth);
        EXPECT_EQ(door.Calls(FileOp::kClose), door.Calls(FileOp::kOpen) - (op == FileOp::kOpen && door.Fired())) << where;
        // Trouble inside the RIFF chunks never fails a WAV file.
        EXPECT_TRUE(status == (door.Fired() ? 2 : 0) || (door.Fired() && std::string(name) == "a.wav")) << where;
        if (!door.Fired()) break;
      }
  }
}

// clang-format on
}  // namespace
}  // namespace qv::test

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/file_door.h"
#include "support/id3_writer.h"
#include "support/temp_dir.h"
#include "tags/id3_text.h"
#include "tags/read_tags.h"
#include "tags/tag_readers.h"

namespace qv::test {
namespace {

class Id3Test : public ::testing::Test {
 protected:
  // An MP3 file f.mp3: an optional ID3v2 tag, some audio, an optional ID3v1 tag.
  TagRead Mp3(const Bytes& v2, const Bytes& v1 = {}, int language = 2) {
    TagRead r = File(Id3Join({v2, AudioFiller(600), v1}), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }
  TagRead File(const Bytes& bytes, int language = 2) {
    return ReadTags(dir_.Write("f.mp3", bytes), dir_.str(true), language);
  }
  // A tag of one frame, the title unless another id is given.
  TagRead Frame(int major, const Bytes& payload, const char* id = nullptr) {
    if (!id) id = major == 2 ? "TT2" : "TIT2";
    return Mp3(Id3v2Tag(major, {Id3v2Frame(major, id, payload)}));
  }
  // ReadId3v2Tag on its own: the offset it returns.
  int64_t TagEnd(const Bytes& file) {
    int fd = Files().Open(dir_.Write("g.mp3", file).c_str(), O_RDONLY, 0);
    TrackTagsStorage s;
    int64_t end = ReadId3v2Tag(fd, &s.tags, "CP1252");
    Files().Close(fd);
    return end;
  }

  TempDir dir_;
};

TEST_F(Id3Test, Id3v1FieldsTrackByteAndGenre) {
  TagRead r = Mp3({}, Id3v1Tag({.title = "Song",
                                .artist = "  A  ",
                                .album = "Disc",
                                .track = 5,
                                .genre = 17,
                                .pad = ' '}));
  EXPECT_EQ(r.Fields(), "Song|  A|Disc|Rock|5");  // trailing spaces go in the tidying pass
  // The track byte counts only after a zero byte.
  Bytes tag = Id3v1Tag({.comment = std::string(29, 'c'), .genre = 127});
  tag[126] = 9;
  EXPECT_EQ(Mp3({}, tag).Fields(), "f.mp3|||Dram & Bass|65535");
  for (uint8_t genre : {200, 255}) {
    EXPECT_EQ(Mp3({}, Id3v1Tag({.title = "x", .track = 0, .genre = genre})).Fields(), "x||||0");
  }
  // A title of spaces gives way to the file name.
  EXPECT_EQ(Mp3({}, Id3v1Tag({.title = std::string(30, ' ')})).title, "f.mp3");
}

TEST_F(Id3Test, FileSizeLimitsOfBothTags) {
  // An ID3v1 tag needs more than its 128 bytes in the file.
  EXPECT_EQ(File(Id3v1Tag({.title = "Only a tag"})).title, "f.mp3");
  EXPECT_EQ(File(Id3Join({{0}, Id3v1Tag({.title = "Tag"})})).title, "Tag");
  // Files shorter than an ID3v1 tag still give their ID3v2 tag.
  Bytes tag = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Short"))});
  for (size_t extra : {0, 50}) {
    TagRead r = File(Id3Join({tag, Bytes(extra, 0x55)}));
    EXPECT_EQ(r.title, "Short");
    EXPECT_EQ(r.size, tag.size() + extra);
  }
  // Ten bytes are the least a file must have.
  EXPECT_EQ(File(Bytes(9, 0x55)).status, 2);
  EXPECT_EQ(File(Bytes(10, 0x55)).size, 10u);
}

// Whole ID3v1 texts in each code page are read in real_files_test.
TEST_F(Id3Test, Id3v1FieldThatCannotBeConvertedBecomesAQuestionMark) {
  // A two-byte character cut by the end of the field spoils the whole field,
  // and so does a byte CP1252 leaves undefined.
  EXPECT_EQ(Mp3({}, Id3v1Tag({.title = std::string(29, 'a') + "\x83"}), 0).title, "?");
  EXPECT_EQ(Mp3({}, Id3v1Tag({.album = "ab\x81"}), 2).album, "?");
}

TEST_F(Id3Test, Id3v2OverwritesId3v1FieldByField) {
  TagRead r = Mp3(
      Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("New")), Id3v2Frame(3, "TPE1", Id3Latin(""))}),
      Id3v1Tag({.title = "Old", .artist = "Band", .album = "Disc", .track = 4}));
  EXPECT_EQ(r.Fields(), "New||Disc||4");  // an empty frame erases what ID3v1 gave
}

TEST_F(Id3Test, TextEncodingsAndByteOrderMarks) {
  struct Case {
    Bytes payload;
    std::string expected;
  };
  // UTF-16 with either mark or none (big-endian), UTF-16BE; an odd last byte
  // is dropped and only the first value is read; UTF-8; Latin-1 in the tag
  // language; any other first byte is text; with nothing to decode the file
  // name stands in.
  const Case cases[] = {{{1, 0xFF, 0xFE, 'A', 0}, "A"},
                        {{1, 0xFE, 0xFF, 0, 'A'}, "A"},
                        {{1, 0, 'A', 0, 'B'}, "AB"},
                        {{2, 0, 'A', 0x30, 0x42}, "Aあ"},
                        {{1, 0xFF, 0xFE, 'A', 0, 'B'}, "A"},
                        {{1, 0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}, "A"},
                        {Id3Utf16(u"\U0001F3B5x"), "\U0001F3B5x"},
                        {Id3Utf16(u"Be", Bom::kBig), "Be"},
                        {Id3Utf8("caf\xC3\xA9 \xF0\x9F\x8E\xB5"), "café \U0001F3B5"},
                        {Id3Payload(3, {'o', 'n', 'e', 0, 't', 'w', 'o'}), "one"},
                        {Id3Latin("caf\xE9"), "café"},
                        {RawBytes("Plain"), "Plain"},
                        {{1}, "f.mp3"},
                        {{1, 0xFF}, "f.mp3"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Frame(3, c.payload).title, c.expected) << testing::PrintToString(c.payload);
  }
}

TEST_F(Id3Test, FramesOfEachVersionFillTheirFields) {
  for (int major : {2, 3, 4}) {
    SCOPED_TRACE(major);
    bool v22 = major == 2;
    TagRead r = Mp3(Id3v2Tag(major, {Id3v2Frame(major, v22 ? "TT2" : "TIT2", Id3Latin("Title")),
                                     Id3v2Frame(major, v22 ? "TP1" : "TPE1", Id3Latin("Artist")),
                                     Id3v2Frame(major, v22 ? "TAL" : "TALB", Id3Latin("Album")),
                                     Id3v2Frame(major, v22 ? "TCO" : "TCON", Id3Latin("(17)")),
                                     Id3v2Frame(major, v22 ? "TRK" : "TRCK", Id3Latin("3/12"))}));
    EXPECT_EQ(r.Fields(), "Title|Artist|Album|Rock|3");
  }
}

TEST_F(Id3Test, LongTextsAreCutToTheirFields) {
  TagRead r = Mp3(Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin(std::string(100, 't'))),
                               Id3v2Frame(4, "TCON", Id3Latin(std::string(40, 'g'))),
                               Id3v2Frame(4, "TPE1", Id3Utf16(std::u16string(48, u'a'))),
                               Id3v2Frame(4, "TALB", Id3Utf16(std::u16string(47, u'b')))}));
  EXPECT_EQ(r.Fields(), std::string(63, 't') + "|" + std::string(47, 'a') + "|" +
                            std::string(47, 'b') + "|" + std::string(29, 'g') + "|65535");
}

TEST_F(Id3Test, TrackNumbers) {
  const std::pair<const char*, int> cases[] = {{"3/12", 3},
                                               {"", 0},
                                               {"A3", 0},
                                               {" \t+7", 7},
                                               {"-1", 0xFFFF},
                                               {"70000", 70000 & 0xFFFF},
                                               {"99999999999999999999", 0xFFFF}};
  for (const auto& [text, track] : cases)
    EXPECT_EQ(Frame(3, Id3Latin(text), "TRCK").track, track) << text;
  // Only the low byte of each unit is looked at, as the C library sees a byte
  // string: U+0135 reads as "5", and U+0100 ends the text.
  const uint16_t wide[] = {0x0131, 0x0135, 0x0100, '9', 0};
  EXPECT_EQ(ParseTrackNumber(wide), 15);
}

// Tags whose headers, flags and sizes the walk must step through or stop
// at: the title and artist each one gives.
TEST_F(Id3Test, HeadersFlagsPaddingAndMalformedFrames) {
  auto f = [](int major, const char* id, const Bytes& data, Id3v2FrameOptions options = {}) {
    return Id3v2Frame(major, id, data, options);
  };
  Bytes kept = f(3, "TIT2", Id3Latin("Kept")), late = f(3, "TPE1", Id3Latin("Late"));
  auto three = [&](const Bytes& bad) { return Id3v2Tag(3, {kept, bad, late}); };
  // A cover of 300 bytes before the title: 300 is 0x12C, "00 00 02 2C" when
  // syncsafe, which a plain reading takes for 556.
  Bytes cover = Id3Join({{0}, RawBytes("image/png"), {0, 3, 0}, Bytes(287, 0x89)});
  auto safe = [](const char* id, const Bytes& data) {
    return Id3v2Frame(4, id, data, {.size_form = FrameSize::kSyncsafe});
  };
  // Plain sizes of old encoders: 201 = 0xC9 and 151 = 0x97 are not valid
  // syncsafe bytes, so they are still read.
  auto plain = [](const char* id, const Bytes& data) {
    return Id3v2Frame(4, id, data, {.size_form = FrameSize::kPlain});
  };
  Bytes plain_frames =
      Id3Join({plain("COMM", Id3Join({{0}, RawBytes("eng"), {0}, Bytes(196, 'c')})),
               plain("TPE1", Id3Latin(std::string(150, 'L'))), plain("TIT2", Id3Latin("Plain"))});
  const std::string ls(47, 'L');
  struct Case {
    const char* what;
    Bytes tag;
    std::string title_artist;
  };
  const Case cases[] = {
      {"2.3 extended header", Id3v2Tag(3, {kept}, {.extended_header = Id3v23ExtendedHeader()}),
       "Kept|"},
      {"2.4 extended header",
       Id3v2Tag(4, {f(4, "TIT2", Id3Latin("Kept"))}, {.extended_header = Id3v24ExtendedHeader()}),
       "Kept|"},
      {"extended header larger than the tag",
       Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))},
                {.extended_header = {0x7F, 0x7F, 0x7F, 0x7F, 0, 0}}),
       "f.mp3|"},
      // 2.3: 0x80 puts a 4-byte size, 0x40 a method byte before the text;
      // 2.4: 0x08 puts 4 bytes, 0x04 one byte.
      {"2.3 flags",
       Id3v2Tag(3,
                {f(3, "TIT2", Id3Join({{0, 0, 0, 9, 0x55}, Id3Latin("Kept")}), {.flags2 = 0xC0})}),
       "Kept|"},
      {"2.4 flags",
       Id3v2Tag(4, {f(4, "TIT2", Id3Join({{0, 0, 0, 9}, Id3Latin("Four")}), {.flags2 = 0x08}),
                    f(4, "TPE1", Id3Join({{7}, Id3Latin("One")}), {.flags2 = 0x04})}),
       "Four|One"},
      {"too short for its flags", Id3v2Tag(3, {f(3, "TIT2", {0, 'x'}, {.flags2 = 0x80}), late}),
       "f.mp3|"},
      {"padding", three(Bytes(20, 0)), "Kept|"},
      {"zero size", three(f(3, "TALB", {})), "Kept|"},
      {"top bit", three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 0x80000002})), "Kept|"},
      {"high fourth byte", three(f(3, "TAL\x90", Id3Latin("x"))), "Kept|"},
      {"past the end", three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 500})), "Kept|"},
      {"2.2 past the end",
       Id3v2Tag(2, {f(2, "TT2", Id3Latin("Kept")),
                    f(2, "TAL", Id3Latin("x"), {.claimed_size = 0x7FFFFF}),
                    f(2, "TP1", Id3Latin("Late"))}),
       "Kept|"},
      {"syncsafe",
       Id3v2Tag(4, {safe("APIC", cover), safe("TIT2", Id3Latin("Kept"))}, {.padding = 100}),
       "Kept|"},
      {"3.1 as 2.4",
       Id3v2Tag(3, {safe("APIC", cover), safe("TIT2", Id3Latin("Kept"))},
                {.revision = 1, .padding = 100}),
       "Kept|"},
      {"plain sizes", Id3v2Tag(4, {plain_frames}), "Plain|" + ls},
      {"plain sizes, padded", Id3v2Tag(4, {plain_frames}, {.padding = 64}), "Plain|" + ls},
      {"other names", Id3v2Tag(3, {f(3, "TT2 ", Id3Latin("x")), f(3, "TXXX", Id3Latin("y"))}),
       "f.mp3|"},
      {"2.4.1 skipped whole", Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))}, {.revision = 1}),
       "f.mp3|"},
  };
  ASSERT_EQ(cover.size(), 300u);
  for (const Case& c : cases) {
    TagRead r = Mp3(c.tag);
    EXPECT_EQ(r.title + "|" + r.artist, c.title_artist) << c.what;
  }
}

TEST_F(Id3Test, OtherVersionsAndLyingTagSizes) {
  Bytes tag = Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin("x"))}, {.revision = 1, .padding = 30});
  EXPECT_EQ(TagEnd(Id3Join({tag, AudioFiller(100)})), static_cast<int64_t>(tag.size()));
  // A tag that claims more than the file holds ends with the file.
  Bytes lying = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("x"))}, {.claimed_size = 0x0FFFFFFF});
  EXPECT_EQ(TagEnd(Id3Join({lying, Bytes(50, 1)})), static_cast<int64_t>(lying.size() + 50));
  EXPECT_EQ(TagEnd(AudioFiller(100)), 0);
}

TEST_F(Id3Test, LyingLengthsNeverReadOutsideTheTag) {
  // Every cut of a tag full of frames, and its header bytes set to odd
  // values, must read without touching memory it does not own (the address
  // sanitizer watches).
  Bytes tag =
      Id3v2Tag(4,
               {Id3v2Frame(4, "TIT2", Id3Utf16(u"Title")), Id3v2Frame(4, "TPE1", Id3Utf8("Artist")),
                Id3v2Frame(4, "TRCK", Id3Latin("1/2")),
                Id3v2Frame(4, "TCON", Id3Latin("(1)"), {.flags2 = 0x0C})},
               {.extended_header = Id3v24ExtendedHeader()});
  for (size_t cut = 10; cut <= tag.size(); ++cut) {
    EXPECT_EQ(TagEnd(Bytes(tag.begin(), tag.begin() + static_cast<long>(cut))),
              static_cast<int64_t>(cut));
  }
  for (size_t i = 3; i < 40 && i < tag.size(); ++i) {
    for (uint8_t value : {0x00, 0x7F, 0xFF}) {
      Bytes broken = tag;
      broken[i] = value;
      TagEnd(Id3Join({broken, {0xFF}}));
    }
  }
}

}  // namespace
}  // namespace qv::test

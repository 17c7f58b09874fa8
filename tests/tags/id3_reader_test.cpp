#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/file_door.h"
#include "support/id3_writer.h"
#include "support/temp_dir.h"
#include "tags/id3_text.h"
#include "tags/tag_readers.h"
#include "tags/track_tags.h"

namespace qv {
namespace {

using test::Bytes;
using test::Id3Join;
using test::Id3Latin;
using test::Id3v1Tag;
using test::Id3v2Frame;
using test::Id3v2Tag;

std::u16string U16(const uint16_t* s) {
  std::u16string out;
  for (; *s != 0; ++s) out.push_back(static_cast<char16_t>(*s));
  return out;
}

struct Read {
  int status = -1;
  TrackTagsStorage storage;
  std::u16string genre() const { return U16(storage.genre); }
  std::u16string artist() const { return U16(storage.artist); }
  std::u16string album() const { return U16(storage.album); }
  std::u16string title() const { return U16(storage.title); }
  uint16_t track() const { return storage.tags.TrackNumber; }
};

class Id3Test : public ::testing::Test {
 protected:
  // An MP3 file: an optional ID3v2 tag, some audio, an optional ID3v1 tag.
  void ReadMp3(Read* out, const Bytes& v2, const Bytes& v1 = {}, int language = 2) {
    std::string full = dir_.Write("f.mp3", Id3Join({v2, test::AudioFiller(600), v1}));
    out->status = GetTrackTags(full.c_str(), &out->storage.tags, language, dir_.str(true).c_str());
    ASSERT_EQ(out->status, 0);
  }
  // A tag of one text frame; the title when no other id is given.
  void ReadFrame(Read* out, int major, const Bytes& payload, const char* id = nullptr) {
    if (!id) id = major == 2 ? "TT2" : "TIT2";
    ReadMp3(out, Id3v2Tag(major, {Id3v2Frame(major, id, payload)}));
  }
  // ReadId3v2Tag on its own: the offset it returns.
  int64_t TagEnd(const Bytes& file) {
    std::string full = dir_.Write("g.mp3", file);
    int fd = Files().Open(full.c_str(), O_RDONLY, 0);
    TrackTagsStorage s;
    int64_t end = ReadId3v2Tag(fd, &s.tags, "CP1252");
    Files().Close(fd);
    return end;
  }

  test::TempDir dir_;
};

TEST_F(Id3Test, Id3v1FieldsTrackAndGenre) {
  Read r;
  ReadMp3(&r, {},
          Id3v1Tag({.title = "Song",
                    .artist = "Band",
                    .album = "Disc",
                    .track = 5,
                    .genre = 17,
                    .pad = ' '}));
  EXPECT_EQ(r.title(), u"Song");  // the padding spaces go in the tidying pass
  EXPECT_EQ(r.artist(), u"Band");
  EXPECT_EQ(r.album(), u"Disc");
  EXPECT_EQ(r.track(), 5);
  EXPECT_EQ(r.genre(), u"Rock");
}

TEST_F(Id3Test, Id3v1TrackByteCountsOnlyAfterAZeroByte) {
  Bytes tag = Id3v1Tag({.comment = std::string(29, 'c'), .genre = 127});
  tag[126] = 9;  // byte 125 is 'c'
  Read r;
  ReadMp3(&r, {}, tag);
  EXPECT_EQ(r.track(), 0xFFFF);
  EXPECT_EQ(r.genre(), u"Dram & Bass");
  for (uint8_t genre : {200, 255}) {
    Read g;
    ReadMp3(&g, {}, Id3v1Tag({.title = "x", .track = 0, .genre = genre}));
    EXPECT_EQ(g.genre(), u"");
    EXPECT_EQ(g.track(), 0);
  }
}

TEST_F(Id3Test, Id3v1TitleOfSpacesFallsBackToTheFileName) {
  Read r;
  ReadMp3(&r, {}, Id3v1Tag({.title = std::string(30, ' '), .artist = "  A  "}));
  EXPECT_EQ(r.title(), u"f.mp3");
  EXPECT_EQ(r.artist(), u"  A");
}

TEST_F(Id3Test, Id3v1NeedsMoreThan128Bytes) {
  std::string full = dir_.Write("t.mp3", Id3v1Tag({.title = "Only a tag"}));
  Read r;
  ASSERT_EQ(GetTrackTags(full.c_str(), &r.storage.tags, 2, dir_.str(true).c_str()), 0);
  EXPECT_EQ(r.title(), u"t.mp3");
  full = dir_.Write("u.mp3", Id3Join({{0}, Id3v1Tag({.title = "Tag"})}));
  ASSERT_EQ(GetTrackTags(full.c_str(), &r.storage.tags, 2, dir_.str(true).c_str()), 0);
  EXPECT_EQ(r.title(), u"Tag");
}

TEST_F(Id3Test, FilesShorterThanAnId3v1TagStillGiveTheirId3v2Tag) {
  Bytes tag = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Short"))});
  for (size_t extra : {0, 50}) {
    std::string full = dir_.Write("s.mp3", Id3Join({tag, Bytes(extra, 0x55)}));
    Read r;
    ASSERT_EQ(GetTrackTags(full.c_str(), &r.storage.tags, 2, dir_.str(true).c_str()), 0);
    EXPECT_EQ(r.title(), u"Short");
    EXPECT_EQ(r.storage.tags.FileSize, tag.size() + extra);
  }
  // Ten bytes are the least a file must have.
  std::string nine = dir_.Write("n.mp3", Bytes(9, 0x55));
  Read r;
  EXPECT_EQ(GetTrackTags(nine.c_str(), &r.storage.tags, 2, dir_.str(true).c_str()), 2);
  std::string ten = dir_.Write("t.mp3", Bytes(10, 0x55));
  EXPECT_EQ(GetTrackTags(ten.c_str(), &r.storage.tags, 2, dir_.str(true).c_str()), 0);
  EXPECT_EQ(r.storage.tags.FileSize, 10u);
}

TEST_F(Id3Test, Id3v1TextFollowsTheTagLanguage) {
  Bytes tag = Id3v1Tag({.title = "\x83\x65\x83\x58\x83\x67", .artist = "\xC0\xE1"});
  Read ja, en, ru;
  ReadMp3(&ja, {}, tag, 0);
  EXPECT_EQ(ja.title(), u"\u30C6\u30B9\u30C8");
  ReadMp3(&en, {}, tag, 2);
  EXPECT_EQ(en.title(), u"\u0192e\u0192X\u0192g");
  EXPECT_EQ(en.artist(), u"\u00C0\u00E1");
  ReadMp3(&ru, {}, tag, 8);
  EXPECT_EQ(ru.artist(), u"\u0410\u0431");
  // A two-byte character cut by the end of the field spoils the whole field.
  Read cut;
  ReadMp3(&cut, {}, Id3v1Tag({.title = std::string(29, 'a') + "\x83"}), 0);
  EXPECT_EQ(cut.title(), u"?");
  // 0x81 is not a character in CP1252.
  Read undefined;
  ReadMp3(&undefined, {}, Id3v1Tag({.album = "ab\x81"}), 2);
  EXPECT_EQ(undefined.album(), u"?");
}

TEST_F(Id3Test, Id3v2OverwritesId3v1FieldByField) {
  Read r;
  ReadMp3(&r, Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("New"))}),
          Id3v1Tag({.title = "Old", .artist = "Band", .album = "Disc", .track = 4}));
  EXPECT_EQ(r.title(), u"New");
  EXPECT_EQ(r.artist(), u"Band");
  EXPECT_EQ(r.album(), u"Disc");
  EXPECT_EQ(r.track(), 4);
  // An empty frame erases what ID3v1 gave.
  Read e;
  ReadMp3(&e, Id3v2Tag(3, {Id3v2Frame(3, "TPE1", Id3Latin(""))}), Id3v1Tag({.artist = "Band"}));
  EXPECT_EQ(e.artist(), u"");
}

TEST_F(Id3Test, TextEncodingsAndByteOrderMarks) {
  struct Case {
    Bytes payload;
    std::u16string expected;
  };
  const Case cases[] = {
      {{1, 0xFF, 0xFE, 'A', 0}, u"A"},
      {{1, 0xFE, 0xFF, 0, 'A'}, u"A"},
      {{1, 0, 'A', 0, 'B'}, u"AB"},  // no mark: big-endian
      {{2, 0, 'A', 0x30, 0x42}, u"A\u3042"},
      {{1, 0xFF, 0xFE, 'A', 0, 'B'}, u"A"},           // an odd last byte is dropped
      {{1, 0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}, u"A"},  // only the first value
      {test::Id3Utf16(u"\U0001F3B5x"), u"\U0001F3B5x"},
      {test::Id3Utf16(u"Be", test::Bom::kBig), u"Be"},
      {test::Id3Utf8("caf\xC3\xA9 \xF0\x9F\x8E\xB5"), u"caf\u00E9 \U0001F3B5"},
      {test::Id3Utf8("a\xE3\x81"), u"a\uFFFD"},
      {test::Id3Payload(3, {'o', 'n', 'e', 0, 't', 'w', 'o'}), u"one"},
      {Id3Latin("caf\xE9"), u"caf\u00E9"},
      {test::Id3Payload(0, {'a', 0x81}), u"?"},
      // Any other first byte is text: there is no encoding byte.
      {test::RawBytes("Plain"), u"Plain"},
      // Nothing to decode: the title is empty and the file name stands in.
      {{1}, u"f.mp3"},
      {{1, 0xFF}, u"f.mp3"},
  };
  for (const Case& c : cases) {
    Read r;
    ReadFrame(&r, 3, c.payload);
    EXPECT_EQ(r.title(), c.expected) << testing::PrintToString(c.payload);
  }
}

TEST_F(Id3Test, FramesOfEachVersionFillTheirFields) {
  for (int major : {2, 3, 4}) {
    bool v22 = major == 2;
    Read r;
    ReadMp3(&r, Id3v2Tag(major, {Id3v2Frame(major, v22 ? "TT2" : "TIT2", Id3Latin("Title")),
                                 Id3v2Frame(major, v22 ? "TP1" : "TPE1", Id3Latin("Artist")),
                                 Id3v2Frame(major, v22 ? "TAL" : "TALB", Id3Latin("Album")),
                                 Id3v2Frame(major, v22 ? "TCO" : "TCON", Id3Latin("(17)")),
                                 Id3v2Frame(major, v22 ? "TRK" : "TRCK", Id3Latin("3/12"))}));
    EXPECT_EQ(r.title(), u"Title") << major;
    EXPECT_EQ(r.artist(), u"Artist") << major;
    EXPECT_EQ(r.album(), u"Album") << major;
    EXPECT_EQ(r.genre(), u"Rock") << major;
    EXPECT_EQ(r.track(), 3) << major;
  }
  // Frames of the other versions' names fill nothing.
  Read r;
  ReadMp3(&r,
          Id3v2Tag(3, {Id3v2Frame(3, "TT2 ", Id3Latin("x")), Id3v2Frame(3, "TXXX", Id3Latin("y")),
                       Id3v2Frame(3, "COMM", Id3Latin("z"))}));
  EXPECT_EQ(r.title(), u"f.mp3");
}

TEST_F(Id3Test, LongTextsAreCutToTheirFields) {
  Read r;
  ReadMp3(&r, Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin(std::string(100, 't'))),
                           Id3v2Frame(4, "TCON", Id3Latin(std::string(40, 'g'))),
                           Id3v2Frame(4, "TPE1", test::Id3Utf16(std::u16string(48, u'a'))),
                           Id3v2Frame(4, "TALB", test::Id3Utf16(std::u16string(47, u'b')))}));
  EXPECT_EQ(r.title(), std::u16string(63, u't'));
  EXPECT_EQ(r.genre(), std::u16string(29, u'g'));
  EXPECT_EQ(r.artist(), std::u16string(47, u'a'));
  EXPECT_EQ(r.album(), std::u16string(47, u'b'));
}

TEST_F(Id3Test, TrackNumbers) {
  struct Case {
    const char* text;
    uint16_t track;
  };
  const Case cases[] = {{"3/12", 3},
                        {"", 0},
                        {"A3", 0},
                        {" \t+7", 7},
                        {"-1", 0xFFFF},
                        {"70000", 70000 & 0xFFFF},
                        {"99999999999999999999", 0xFFFF}};
  for (const Case& c : cases) {
    Read r;
    ReadFrame(&r, 3, Id3Latin(c.text), "TRCK");
    EXPECT_EQ(r.track(), c.track) << c.text;
  }
  // Only the low byte of each unit is looked at, as the C library sees a byte
  // string: U+0135 reads as "5", and U+0100 ends the text.
  const uint16_t wide[] = {0x0131, 0x0135, 0x0100, '9', 0};
  EXPECT_EQ(ParseTrackNumber(wide), 15);
}

TEST_F(Id3Test, ExtendedHeadersAreSkipped) {
  Read v23, v24;
  ReadMp3(&v23, Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Three"))},
                         {.extended_header = test::Id3v23ExtendedHeader()}));
  EXPECT_EQ(v23.title(), u"Three");
  ReadMp3(&v24, Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin("Four"))},
                         {.extended_header = test::Id3v24ExtendedHeader()}));
  EXPECT_EQ(v24.title(), u"Four");
  // An extended header larger than the tag leaves no frame to read.
  Bytes huge = {0x7F, 0x7F, 0x7F, 0x7F, 0, 0};
  Read h;
  ReadMp3(&h, Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin("x"))}, {.extended_header = huge}));
  EXPECT_EQ(h.title(), u"f.mp3");
}

TEST_F(Id3Test, FrameFlagsSkipTheirExtraBytes) {
  // 2.3: 0x80 puts a 4-byte size, 0x40 a method byte before the text.
  Read a;
  ReadMp3(&a, Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Join({{0, 0, 0, 9, 0x55}, Id3Latin("Packed")}),
                                      {.flags2 = 0xC0})}));
  EXPECT_EQ(a.title(), u"Packed");
  // 2.4: 0x08 puts 4 bytes, 0x04 one byte before the text.
  Read b;
  ReadMp3(&b,
          Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Join({{0, 0, 0, 9}, Id3Latin("Four")}),
                                  {.flags2 = 0x08}),
                       Id3v2Frame(4, "TPE1", Id3Join({{7}, Id3Latin("One")}), {.flags2 = 0x04})}));
  EXPECT_EQ(b.title(), u"Four");
  EXPECT_EQ(b.artist(), u"One");
  // A frame too short for its extra bytes ends the walk.
  Read c;
  ReadMp3(&c, Id3v2Tag(3, {Id3v2Frame(3, "TIT2", {0, 'x'}, {.flags2 = 0x80}),
                           Id3v2Frame(3, "TPE1", Id3Latin("After"))}));
  EXPECT_EQ(c.artist(), u"");
}

TEST_F(Id3Test, PaddingAndMalformedFramesEndTheWalk) {
  Bytes after = Id3v2Frame(3, "TPE1", Id3Latin("Late"));
  Bytes title = Id3v2Frame(3, "TIT2", Id3Latin("Kept"));
  struct Case {
    const char* what;
    Bytes tag;
  };
  const Case cases[] = {
      {"padding", Id3Join({Id3v2Tag(3, {title, Bytes(20, 0), after})})},
      {"zero size", Id3v2Tag(3, {title, Id3v2Frame(3, "TALB", {}), after})},
      {"top bit",
       Id3v2Tag(
           3, {title, Id3v2Frame(3, "TALB", Id3Latin("x"), {.claimed_size = 0x80000002}), after})},
      {"high fourth byte", Id3v2Tag(3, {title, Id3v2Frame(3, "TAL\x90", Id3Latin("x")), after})},
      {"past the end",
       Id3v2Tag(3, {title, Id3v2Frame(3, "TALB", Id3Latin("x"), {.claimed_size = 500}), after})},
      {"2.2 past the end",
       Id3v2Tag(2, {Id3v2Frame(2, "TT2", Id3Latin("Kept")),
                    Id3v2Frame(2, "TAL", Id3Latin("x"), {.claimed_size = 0x7FFFFF}),
                    Id3v2Frame(2, "TP1", Id3Latin("Late"))})},
  };
  for (const Case& c : cases) {
    Read r;
    ReadMp3(&r, c.tag);
    EXPECT_EQ(r.title(), u"Kept") << c.what;
    EXPECT_EQ(r.artist(), u"") << c.what;
  }
}

TEST_F(Id3Test, Id3v24SizesAreSyncsafe) {
  // A cover of 300 bytes before the title: 300 is 0x12C, "00 00 02 2C" when
  // syncsafe, which a plain reading takes for 556.
  Bytes cover = Id3Join({{0}, test::RawBytes("image/png"), {0, 3, 0}, Bytes(287, 0x89)});
  ASSERT_EQ(cover.size(), 300u);
  for (int revision : {0, 1}) {
    int major = revision ? 3 : 4;  // 3.1 is read as 2.4 too
    Read r;
    ReadMp3(&r, Id3v2Tag(major,
                         {Id3v2Frame(4, "APIC", cover, {.size_form = test::FrameSize::kSyncsafe}),
                          Id3v2Frame(4, "TIT2", Id3Latin("After the cover"),
                                     {.size_form = test::FrameSize::kSyncsafe})},
                         {.revision = revision, .padding = 100}));
    EXPECT_EQ(r.title(), u"After the cover") << revision;
  }
}

TEST_F(Id3Test, Id3v24PlainSizesOfOldEncodersAreStillRead) {
  Bytes comment = Id3Join({{0}, test::RawBytes("eng"), {0}, Bytes(196, 'c')});
  ASSERT_EQ(comment.size(), 201u);                     // 0xC9: not a valid syncsafe byte
  Bytes long_title = Id3Latin(std::string(150, 'L'));  // 151 = 0x97
  for (size_t padding : {0, 64}) {
    Read r;
    ReadMp3(
        &r,
        Id3v2Tag(4,
                 {Id3v2Frame(4, "COMM", comment, {.size_form = test::FrameSize::kPlain}),
                  Id3v2Frame(4, "TPE1", long_title, {.size_form = test::FrameSize::kPlain}),
                  Id3v2Frame(4, "TIT2", Id3Latin("Plain"), {.size_form = test::FrameSize::kPlain})},
                 {.padding = padding}));
    EXPECT_EQ(r.title(), u"Plain") << padding;
    EXPECT_EQ(r.artist(), std::u16string(47, u'L')) << padding;
  }
}

TEST_F(Id3Test, OtherVersionsAreSkippedWhole) {
  Bytes frames = Id3v2Frame(4, "TIT2", Id3Latin("x"));
  Bytes tag = Id3v2Tag(4, {frames}, {.revision = 1, .padding = 30});  // 2.4.1
  Read r;
  ReadMp3(&r, tag);
  EXPECT_EQ(r.title(), u"f.mp3");
  EXPECT_EQ(TagEnd(Id3Join({tag, test::AudioFiller(100)})), static_cast<int64_t>(tag.size()));
  // A tag that claims more than the file holds ends with the file.
  Bytes lying = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("x"))}, {.claimed_size = 0x0FFFFFFF});
  EXPECT_EQ(TagEnd(Id3Join({lying, Bytes(50, 1)})), static_cast<int64_t>(lying.size() + 50));
  EXPECT_EQ(TagEnd(test::AudioFiller(100)), 0);
}

TEST_F(Id3Test, LyingLengthsNeverReadOutsideTheTag) {
  // Every cut of a tag full of frames, and every byte of its frame headers
  // set to 0xFF, must read without touching memory it does not own (the
  // address sanitizer watches).
  Bytes tag = Id3v2Tag(
      4,
      {Id3v2Frame(4, "TIT2", test::Id3Utf16(u"Title")),
       Id3v2Frame(4, "TPE1", test::Id3Utf8("Artist")), Id3v2Frame(4, "TRCK", Id3Latin("1/2")),
       Id3v2Frame(4, "TCON", Id3Latin("(1)"), {.flags2 = 0x0C})},
      {.extended_header = test::Id3v24ExtendedHeader()});
  for (size_t cut = 10; cut <= tag.size(); ++cut) {
    Bytes part(tag.begin(), tag.begin() + static_cast<long>(cut));
    EXPECT_EQ(TagEnd(part), static_cast<int64_t>(cut));
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
}  // namespace qv

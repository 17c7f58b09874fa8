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
  TagRead File(const Bytes& bytes, int language = 2) {
    return ReadTags(dir_.Write("f.mp3", bytes), dir_.str(true), language);
  }
  // An ID3v2 tag, audio, an ID3v1 tag.
  TagRead Mp3(const Bytes& v2, const Bytes& v1 = {}, int language = 2) {
    TagRead r = File(Id3Join({v2, AudioFiller(600), v1}), language);
    EXPECT_EQ(r.status, 0);
    return r;
  }
  TagRead Frame(const Bytes& payload, const char* id = "TIT2") {
    return Mp3(Id3v2Tag(3, {Id3v2Frame(3, id, payload)}));
  }
  // Where ReadId3v2Tag says the audio begins.
  int64_t TagEnd(const Bytes& file) {
    int fd = Files().Open(dir_.Write("g.mp3", file).c_str(), O_RDONLY, 0);
    TrackTagsStorage s;
    int64_t end = ReadId3v2Tag(fd, &s.tags, "CP1252");
    Files().Close(fd);
    return end;
  }
  TempDir dir_;
};

// clang-format off
TEST_F(Id3Test, Id3v1TagsFileSizeLimitsTextsAndTrackNumbers) {
  Bytes stray_track = Id3v1Tag({.comment = std::string(29, 'c'), .genre = 127});
  stray_track[126] = 9;  // counts only after a zero byte
  Bytes v2 = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("Short"))});
  const std::pair<Bytes, std::string> files[] = {
      {Id3Join({{0},
          Id3v1Tag({.title = "Song", .artist = "  A  ", .album = "Disc", .track = 5, .genre = 17, .pad = ' '})}),
       "Song|  A|Disc|Rock|5"},
      {Id3Join({{0}, stray_track}), "f.mp3|||Dram & Bass|65535"},
      {Id3Join({{0}, Id3v1Tag({.title = "x", .track = 0, .genre = 200})}), "x||||0"},
      {Id3Join({{0}, Id3v1Tag({.title = std::string(30, ' ')})}), "f.mp3||||0"},
      {Id3v1Tag({.title = "Only a tag"}), "f.mp3||||65535"},  // needs more than 128 bytes
      {v2, "Short||||65535"}, {Id3Join({v2, Bytes(50, 0x55)}), "Short||||65535"}, {Bytes(10, 0x55),
          "f.mp3||||65535"},
      // A character cut by the field's end or undefined in the code page spoils the field.
      {Id3Join({{0}, Id3v1Tag({.title = std::string(29, 'a') + "\x81", .album = "ab\x81"})}), "?||?||0"},
      // ID3v2 overwrites ID3v1 field by field; an empty frame erases.
      {Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("New")), Id3v2Frame(3, "TPE1", Id3Latin(""))}),
                Id3v1Tag({.title = "Old", .artist = "Band", .album = "Disc", .track = 4})}), "New||Disc||4"}};
  for (const auto& [bytes, fields] : files) {
    TagRead r = File(bytes);
    EXPECT_EQ(r.Fields(), fields);
    EXPECT_EQ(r.size, bytes.size()) << fields;
  }
  EXPECT_EQ(File(Bytes(9, 0x55)).status, 2);
  // UTF-16 with either mark or none, UTF-16BE, an odd last byte dropped, only
  // the first value, UTF-8, code page, any other first byte is text.
  const std::pair<Bytes, std::string> texts[] = {
      {{1, 0xFF, 0xFE, 'A', 0}, "A"}, {{1, 0xFE, 0xFF, 0, 'A'}, "A"}, {{1, 0, 'A', 0, 'B'}, "AB"},
      {{2, 0, 'A', 0x30, 0x42}, "Aあ"}, {{1, 0xFF, 0xFE, 'A', 0, 'B'}, "A"},
          {{1, 0xFF, 0xFE, 'A', 0, 0, 0, 'B', 0}, "A"},
      {Id3Utf16(u"\U0001F3B5x"), "\U0001F3B5x"}, {Id3Utf16(u"Be", Bom::kBig), "Be"},
      {Id3Utf8("caf\xC3\xA9 \xF0\x9F\x8E\xB5"), "café \U0001F3B5"}, {Id3Payload(3, {'o', 'n', 'e', 0, 't'}),
          "one"},
      {Id3Latin("caf\xE9"), "café"}, {RawBytes("Plain"), "Plain"}, {{1}, "f.mp3"}, {{1, 0xFF}, "f.mp3"}};
  for (const auto& [payload, expected] : texts)
    EXPECT_EQ(Frame(payload).title, expected) << testing::PrintToString(payload);
  const std::pair<const char*, int> tracks[] = {{"3/12", 3}, {"", 0}, {"A3", 0}, {" \t+7", 7}, {"-1", 0xFFFF},
                                                {"70000", 70000 & 0xFFFF}, {"99999999999999999999", 0xFFFF}};
  for (const auto& [text, track] : tracks) EXPECT_EQ(Frame(Id3Latin(text), "TRCK").track, track) << text;
  // Only the low byte of each unit counts: U+0135 reads as "5", U+0100 ends.
  const uint16_t wide[] = {0x0131, 0x0135, 0x0100, '9', 0};
  EXPECT_EQ(ParseTrackNumber(wide), 15);
}
// clang-format on

TEST_F(Id3Test, FramesOfEachVersionAreCutToTheirFields) {
  for (int major : {2, 3, 4}) {
    bool v22 = major == 2;
    auto f = [&](const char* id, const Bytes& text) { return Id3v2Frame(major, id, text); };
    TagRead r = Mp3(Id3v2Tag(major, {f(v22 ? "TT2" : "TIT2", Id3Latin(std::string(100, 't'))),
                                     f(v22 ? "TP1" : "TPE1", Id3Utf16(std::u16string(48, u'a'))),
                                     f(v22 ? "TAL" : "TALB", Id3Utf16(std::u16string(47, u'b'))),
                                     f(v22 ? "TCO" : "TCON", Id3Latin(std::string(40, 'g'))),
                                     f(v22 ? "TRK" : "TRCK", Id3Latin("3/12"))}));
    EXPECT_EQ(r.Fields(), std::string(63, 't') + "|" + std::string(47, 'a') + "|" +
                              std::string(47, 'b') + "|" + std::string(29, 'g') + "|3")
        << major;
  }
}

// Headers, flags, padding and broken frames: the title and artist each gives.
TEST_F(Id3Test, HeadersFlagsPaddingAndMalformedFrames) {
  auto f = [](int major, const char* id, const Bytes& data, Id3v2FrameOptions options = {}) {
    return Id3v2Frame(major, id, data, options);
  };
  Bytes kept = f(3, "TIT2", Id3Latin("Kept")), late = f(3, "TPE1", Id3Latin("Late"));
  auto three = [&](const Bytes& bad) { return Id3v2Tag(3, {kept, bad, late}); };
  // 300 bytes are "00 00 02 2C" syncsafe, which a plain reading takes for 556.
  Bytes cover = Id3Join({{0}, RawBytes("image/png"), {0, 3, 0}, Bytes(287, 0x89)});
  auto sized = [](FrameSize form, const char* id, const Bytes& data) {
    return Id3v2Frame(4, id, data, {.size_form = form});
  };
  // Plain sizes of old encoders: 201 and 151 are not valid syncsafe bytes.
  Bytes plain = Id3Join({sized(FrameSize::kPlain, "COMM", Bytes(201, 'c')),
                         sized(FrameSize::kPlain, "TPE1", Id3Latin(std::string(150, 'L'))),
                         sized(FrameSize::kPlain, "TIT2", Id3Latin("Plain"))});
  Bytes safe = Id3Join({sized(FrameSize::kSyncsafe, "APIC", cover),
                        sized(FrameSize::kSyncsafe, "TIT2", Id3Latin("Kept"))});
  const std::string ls(47, 'L');
  // clang-format off
  const std::pair<Bytes, std::string> cases[] = {
      {Id3v2Tag(3, {kept}, {.extended_header = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0}}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("Kept"))}, {.extended_header = {0, 0, 0, 6, 1, 0}}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))}, {.extended_header = {0x7F, 0x7F, 0x7F, 0x7F, 0, 0}}),
          "f.mp3|"},
      // 2.3: 0x80 puts 4 size bytes, 0x40 a method byte first; 2.4: 0x08 and 0x04.
      {Id3v2Tag(3, {f(3, "TIT2", Id3Join({{0, 0, 0, 9, 0x55}, Id3Latin("Kept")}), {.flags2 = 0xC0})}), "Kept|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Join({{0, 0, 0, 9}, Id3Latin("Four")}), {.flags2 = 0x08}),
                    f(4, "TPE1", Id3Join({{7}, Id3Latin("One")}), {.flags2 = 0x04})}), "Four|One"},
      {Id3v2Tag(3, {f(3, "TIT2", {0, 'x'}, {.flags2 = 0x80}), late}), "f.mp3|"},
      {three(Bytes(20, 0)), "Kept|"}, {three(f(3, "TALB", {})), "Kept|"}, {three(f(3, "TAL\x90",
          Id3Latin("x"))), "Kept|"},
      {three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 0x80000002})), "Kept|"},
      {three(f(3, "TALB", Id3Latin("x"), {.claimed_size = 500})), "Kept|"},
      {Id3v2Tag(2, {f(2, "TT2", Id3Latin("Kept")), f(2, "TAL", {0}, {.claimed_size = 0x7FFFFF}), f(2, "TP1",
          {0})}), "Kept|"},
      {Id3v2Tag(4, {safe}, {.padding = 100}), "Kept|"},
      {Id3v2Tag(3, {safe}, {.revision = 1, .padding = 100}), "Kept|"},  // 2.3.1 reads as 2.4
      {Id3v2Tag(4, {plain}), "Plain|" + ls}, {Id3v2Tag(4, {plain}, {.padding = 64}), "Plain|" + ls},
      {Id3v2Tag(3, {f(3, "TT2 ", Id3Latin("x")), f(3, "TXXX", Id3Latin("y"))}), "f.mp3|"},
      {Id3v2Tag(4, {f(4, "TIT2", Id3Latin("x"))}, {.revision = 1}), "f.mp3|"}};  // 2.4.1 skipped
  // clang-format on
  for (const auto& [tag, title_artist] : cases) {
    TagRead r = Mp3(tag);
    EXPECT_EQ(r.title + "|" + r.artist, title_artist) << testing::PrintToString(tag).substr(0, 80);
  }
}

TEST_F(Id3Test, TagEndsAndLyingLengthsStayInsideTheTag) {
  Bytes skipped =
      Id3v2Tag(4, {Id3v2Frame(4, "TIT2", Id3Latin("x"))}, {.revision = 1, .padding = 30});
  EXPECT_EQ(TagEnd(Id3Join({skipped, AudioFiller(100)})), static_cast<int64_t>(skipped.size()));
  Bytes lying = Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Latin("x"))}, {.claimed_size = 0x0FFFFFFF});
  EXPECT_EQ(TagEnd(Id3Join({lying, Bytes(50, 1)})), static_cast<int64_t>(lying.size() + 50));
  EXPECT_EQ(TagEnd(AudioFiller(100)), 0);
  // Every cut of a full tag, and odd header bytes, under the address sanitizer.
  Bytes tag =
      Id3v2Tag(4,
               {Id3v2Frame(4, "TIT2", Id3Utf16(u"Title")), Id3v2Frame(4, "TPE1", Id3Utf8("A")),
                Id3v2Frame(4, "TCON", Id3Latin("(1)"), {.flags2 = 0x0C})},
               {.extended_header = {0, 0, 0, 6, 1, 0}});
  for (size_t cut = 10; cut <= tag.size(); ++cut)
    EXPECT_EQ(TagEnd(Bytes(tag.begin(), tag.begin() + static_cast<long>(cut))),
              static_cast<int64_t>(cut));
  for (size_t i = 3; i < 40; ++i) {
    for (uint8_t value : {0x00, 0x7F, 0xFF}) {
      Bytes broken = tag;
      broken[i] = value;
      TagEnd(Id3Join({broken, {0xFF}}));
    }
  }
}

}  // namespace
}  // namespace qv::test

// The library reader against the bytes of small built libraries: the worked
// layouts, and every rule broken once is reported with the right file and
// byte offset, without reading outside the bytes given.
#include "library/files/library_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "library/files/library_files.h"
#include "platform/byte_order.h"
#include "support/faulty_file_door.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::TrackSpec;
// The three files of a create build: QVTL.DB, QVBL.DB, QVDB.DB.
using LibraryImage = std::array<std::vector<uint8_t>, 3>;
const char* const kNames[] = {"QVTL.DB", "QVBL.DB", "QVDB.DB"};

LibraryImage MakeLibraryImage(const std::vector<TrackSpec>& tracks) {
  test::TempDir drive;
  LibraryImage im;
  EXPECT_EQ(test::BuildLibrary(drive.str(), tracks), 0);
  for (int f = 0; f < 3; ++f) im[f] = test::ReadFileBytes(test::LibraryDirectory(drive.str()) + kNames[f]);
  return im;
}
uint32_t ImageLe32(const std::vector<uint8_t>& bytes, size_t at) { return LoadLe32(bytes, at); }
void SetImageLe32(std::vector<uint8_t>* bytes, size_t at, uint32_t v) { StoreLe32(*bytes, at, v); }

// Two genres; Rock holds two artists, so its second artist is child 1.
std::vector<TrackSpec> FiveTracks() {
  return {{u"Rock", u"Alpha", u"One", u"Start", u"/m/a1.mp3", 1},
          {u"Jazz", u"Beta", u"Two", u"Blue", u"/m/b2.mp3", 2},
          {u"Rock", u"Alpha", u"Two", u"Stop", u"/m/a2.mp3", 1},
          {u"Rock", u"Beta", u"One", u"Caf\u00e9", u"/m/b1.mp3", 3},
          {u"Jazz", u"Beta", u"Two", u"\u65e5\u672c", u"/n/\u97f3.mp3"}};
}

int ReadImage(const LibraryImage& image, ReadLibrary* lib, ReadFault* fault) {
  int r = ParseTrackList(image[0], lib, fault);
  if (r == kReadOk) r = ParseBrowseLists(image[1], lib, fault);
  if (r == kReadOk) r = ParseLibraryIndex(image[2], lib, fault);
  if (r == kReadOk) r = CheckLibraryConsistency(*lib, fault);
  return r;
}

// Offsets found by walking the images by their own size fields: the n-th
// block from at.
uint32_t Skip(const std::vector<uint8_t>& bytes, uint32_t at, uint32_t n) {
  while (n-- > 0) at += ImageLe32(bytes, at + 8);
  return at;
}
uint32_t PageAt(const LibraryImage& im, uint32_t i) { return Skip(im[0], 16, i); }
uint32_t ChunkAt(const LibraryImage& im, uint32_t i, uint32_t k) { return Skip(im[0], PageAt(im, i) + 48, k); }
// List j of section c; j = 0 is the order list, j = 1.. the browse lists.
uint32_t ListAt(const LibraryImage& im, uint32_t c, uint32_t j) {
  return Skip(im[1], Skip(im[1], 16, c) + 20, j);
}

TEST(LibraryReaderTest, ReadsTheOneTrackLibrary) {
  // The smallest library: empty genre, artist and album, one-unit title and
  // path, so its page is as small as a page can be.
  LibraryImage im = MakeLibraryImage({{u"", u"", u"", u"A", u"/"}});
  ReadLibrary lib;
  ReadFault fault;
  ASSERT_EQ(ReadImage(im, &lib, &fault), kReadOk) << fault.offset << " " << fault.message;
  EXPECT_EQ(CheckCreateStatistics(lib, &fault), kReadOk) << fault.message;
  EXPECT_EQ(lib.pages[0].texts[4], u"/");
  EXPECT_EQ(lib.pages[0].chunk_offsets[4], 16u + 48 + 4 * 28);
  // A depth-1 entry carries 0x001FFFFF as its index in parent.
  EXPECT_EQ(lib.sections[0].browse[0].entries[0].index_in_parent, 0x1FFFFFu);
  EXPECT_EQ(lib.sections[0].browse[2].entries[0].index_in_parent, 0u);
  EXPECT_EQ(lib.stats[4].sizes[1].parameter, 20u);
  // As many tracks as a library holds: the header passes, the missing page is the fault.
  const uint32_t full = 16 + 150000 * 188;
  im[0].resize(full), SetImageLe32(&im[0], 8, full), SetImageLe32(&im[0], 12, 150000);
  EXPECT_EQ(ParseTrackList(im[0], &lib, &fault), kReadDamaged);
  EXPECT_EQ(fault.offset, 16u + 188) << fault.message;
}

// One broken rule: the file (0 QVTL.DB, 1 QVBL.DB, 2 QVDB.DB) and the place
// changed, how, and where the fault is reported when elsewhere. How: 'b' sets
// the byte, 's' the word, 'a' adds to the word, 'x' swaps it with the word
// value bytes on, 'g' adds to the word and grows the file as much, 'c' cuts
// the file at value.
using At = std::function<uint32_t(const LibraryImage&)>;
struct Damage { const char* name; int file; At at; char how; uint32_t value;
                At reported = nullptr; const char* reported_file = nullptr; };

std::vector<Damage> Damages() {
  using I = const LibraryImage&;
  auto fixed = [](uint32_t at) { return [at](I) { return at; }; };
  return {
      {"track file tag", 0, fixed(0), 'b', 'x'}, {"track length past the file", 0, fixed(8), 'a', 1},
      {"track count short of the pages", 0, fixed(12), 'a', ~0u, fixed(8)},
      {"page tag", 0, [](I im) { return PageAt(im, 1); }, 'b', 'Q'},
      {"page flag", 0, [](I im) { return PageAt(im, 2) + 17; }, 'b', 2},
      {"page track index", 0, [](I im) { return PageAt(im, 3) + 20; }, 's', 7},
      {"repeated track id", 0, [](I im) { return PageAt(im, 4) + 24; }, 's', 1},
      {"chunk kind", 0, [](I im) { return ChunkAt(im, 2, 1) + 12; }, 's', 2},
      {"genre id past its limit", 0, [](I im) { return ChunkAt(im, 0, 0) + 16; }, 's', 1000},
      {"chunk size past its page", 0, [](I im) { return ChunkAt(im, 0, 4) + 8; }, 'a', 400},
      // "Rock": 10 text bytes in a 12-byte area.
      {"nonzero pad byte", 0, [](I im) { return ChunkAt(im, 0, 0) + 35; }, 'b', 1},
      {"text without zero unit", 0, [](I im) { return ChunkAt(im, 0, 0) + 32; }, 's', 0x78787878,
       [](I im) { return ChunkAt(im, 0, 0) + 24; }},
      // "Rocl", still after "Rock", but with Rock's name id.
      {"name differs from its id's", 0, [](I im) { return ChunkAt(im, 3, 0) + 30; }, 'b', 'l',
       [](I im) { return ChunkAt(im, 3, 0) + 16; }},
      {"browse file tag", 1, fixed(0), 'b', 'x'}, {"browse file longer than its sections", 1, fixed(8), 'g', 8},
      {"section count", 1, fixed(12), 's', 3}, {"section of its head alone", 1, fixed(24), 's', 20},
      {"order list entry count", 1, [](I im) { return ListAt(im, 1, 0) + 16; }, 'a', ~0u,
       [](I im) { return ListAt(im, 1, 0) + 8; }},
      {"genres out of order", 1, [](I im) { return ListAt(im, 0, 0) + 20; }, 'x', 8},
      {"titles out of order", 1, [](I im) { return ListAt(im, 3, 0) + 20; }, 'x', 4,
       [](I im) { return ListAt(im, 3, 0) + 24; }},
      {"genre list over capacity", 1, [](I im) { return ListAt(im, 0, 1) + 16; }, 's', 1001},
      {"order list names a missing track", 1, [](I im) { return ListAt(im, 2, 0) + 28; }, 's', 5},
      {"page name id against the order", 0, [](I im) { return ChunkAt(im, 4, 2) + 16; }, 's', 0,
       [](I im) { return ListAt(im, 0, 0) + 24; }, "QVBL.DB"},
      {"depth-1 entry with a parent", 1, [](I im) { return ListAt(im, 1, 1) + 32; }, 's', 0},
      {"index in parent", 1, [](I im) { return ListAt(im, 0, 2) + 64; }, 's', 0},
      {"album count over 21 bits", 1, [](I im) { return ListAt(im, 2, 1) + 28; }, 's', 1u << 21},
      {"index file tag", 2, fixed(1), 'b', 'V', fixed(0)},
      {"index cut before its chunks", 2, fixed(0), 'c', 600, fixed(30)},
      {"path storage method", 2, fixed(48 + 4 * 72 + 60), 's', 1}, {"summary size", 2, fixed(416), 's', 256},
      {"next track id", 2, fixed(24), 's', 3, [](I im) { return PageAt(im, 3) + 24; }, "QVTL.DB"},
  };
}

TEST(LibraryReaderTest, ReportsEachBrokenRuleAtItsOffset) {
  const LibraryImage good = MakeLibraryImage(FiveTracks());
  for (const Damage& d : Damages()) {
    SCOPED_TRACE(d.name);
    LibraryImage im = good;
    std::vector<uint8_t>& bytes = im[d.file];
    const uint32_t at = d.at(good), word = ImageLe32(bytes, at);
    if (d.how == 'b') bytes.at(at) = static_cast<uint8_t>(d.value);
    if (d.how == 's') SetImageLe32(&bytes, at, d.value);
    if (d.how == 'a' || d.how == 'g') SetImageLe32(&bytes, at, word + d.value);
    if (d.how == 'g') bytes.resize(bytes.size() + d.value);
    if (d.how == 'c') bytes.resize(d.value);
    if (d.how == 'x') {
      SetImageLe32(&bytes, at, ImageLe32(good[d.file], at + d.value));
      SetImageLe32(&bytes, at + d.value, word);
    }
    ReadLibrary lib;
    ReadFault fault;
    EXPECT_EQ(ReadImage(im, &lib, &fault), kReadDamaged);
    EXPECT_STREQ(fault.file, d.reported_file ? d.reported_file : kNames[d.file]) << fault.message;
    EXPECT_EQ(fault.offset, d.reported ? d.reported(good) : at) << fault.message;
  }
}

// Name ids follow the collation: case, width and a leading "THE " of an
// artist do not make another name ("The " alone is no name); a track order
// within its album does.
TEST(LibraryReaderTest, NameIdsAndOrdersFollowTheCollation) {
  std::vector<TrackSpec> same = {{u"pop", u"The Band", u"x.", u"a", u"/1", 1},
                                 {u"POP", u"BAND", u"X.", u"b", u"/2", 2},
                                 {u"\uff30\uff4f\uff50", u"\uff42\uff41\uff4e\uff44", u"\uff38\uff0e", u"c", u"/3", 3},
                                 {u"Pop", u"Band, The", u"", u"d", u"/4", 1},
                                 {u"Pop", u"The ", u"", u"e", u"/5", 1}, {u"Pop", u"", u"", u"f", u"/6", 1}};
  ReadLibrary lib;
  ReadFault fault;
  EXPECT_EQ(ReadImage(MakeLibraryImage(same), &lib, &fault), kReadOk) << fault.offset << " " << fault.message;
  // Album "Two" with track 2 (now number 9) put ahead of track 1 (number 2)
  // and named as the group's first track.
  std::vector<TrackSpec> tracks = FiveTracks();
  tracks[2].track_number = 9;
  LibraryImage im = MakeLibraryImage(tracks);
  uint32_t at = ListAt(im, 2, 0) + 20;
  ASSERT_EQ(std::tuple(ImageLe32(im[1], at + 8), ImageLe32(im[1], at + 12)), std::tuple(1, 2));
  SetImageLe32(&im[1], at + 8, 2);
  SetImageLe32(&im[1], at + 12, 1);
  SetImageLe32(&im[1], ListAt(im, 2, 1) + 20 + 16, 2);
  EXPECT_EQ(ReadImage(im, &lib, &fault), kReadDamaged);
  EXPECT_EQ(fault.offset, at + 12) << fault.message;
}

// The next track id too: ids below it, but not a create job's.
TEST(LibraryReaderTest, CreateStatisticsFaultsNameTheirField) {
  for (uint32_t at : {64u, 48u + 72 + 44, 48u + 144 + 68, 48u + 216 + 16, 48u + 288 + 68, 24u}) {
    LibraryImage im = MakeLibraryImage(FiveTracks());
    SetImageLe32(&im[2], at, ImageLe32(im[2], at) + 2);
    ReadLibrary lib;
    ReadFault fault;
    ASSERT_EQ(ReadImage(im, &lib, &fault), kReadOk) << at;
    EXPECT_EQ(CheckCreateStatistics(lib, &fault), kReadDamaged) << at;
    EXPECT_EQ(fault.offset, at) << fault.message;
  }
}

// Every prefix of every file is damaged; the sanitizers catch any read
// outside the bytes given.
TEST(LibraryReaderTest, EveryTruncationIsDamaged) {
  const LibraryImage good = MakeLibraryImage(FiveTracks());
  for (int file = 0; file < 3; ++file) {
    for (size_t cut = 0; cut < good[file].size(); ++cut) {
      LibraryImage im = good;
      im[file].resize(cut);
      ReadLibrary lib;
      ReadFault fault;
      EXPECT_EQ(ReadImage(im, &lib, &fault), kReadDamaged) << file << " cut at " << cut;
    }
  }
}

// A read, seek or open that fails is a file that cannot be read, never a
// damaged one, and every descriptor is closed again.
TEST(LibraryReaderTest, ReadsFromTheDriveOfEitherFileSystem) {
  test::TempDir fat, hfs;
  ASSERT_EQ(test::BuildLibrary(fat.str(), FiveTracks()), 0);
  ASSERT_EQ(test::BuildLibrary(hfs.str(), FiveTracks(), {kFileSystemHfs, 0, {}}), 0);
  ReadLibrary lib;
  ReadFault fault;
  EXPECT_EQ(ReadLibraryFiles(hfs.str(true).c_str(), kFileSystemHfs, &lib, &fault), kReadOk) << fault.message;
  for (test::FileOp op : {test::FileOp::kRead, test::FileOp::kSeek, test::FileOp::kOpen}) {
    for (int nth = 0; nth <= 3; ++nth) {  // 0: none fails
      test::FaultyFileDoor door;
      test::ScopedFileDoor scope(&door);
      door.FailNth(op, op == test::FileOp::kSeek ? 2 * nth : nth);
      EXPECT_EQ(ReadLibraryFiles(fat.str().c_str(), kFileSystemFat, &lib, &fault),
                nth == 0 ? kReadOk : kReadUnavailable)
          << static_cast<int>(op) << " " << nth << fault.message;
      EXPECT_EQ(door.Calls(test::FileOp::kClose),
                door.Calls(test::FileOp::kOpen) - (op == test::FileOp::kOpen && nth > 0));
    }
  }
  EXPECT_EQ(ReadLibraryFiles(fat.str().c_str(), kFileSystemHfs, &lib, &fault), kReadUnavailable);
  EXPECT_STREQ(fault.file, "QVTL.DB");
  std::filesystem::remove(fat.path() / "QUORVEN/LIBRARY/QVDB.DB");
  EXPECT_EQ(ReadLibraryFiles(fat.str().c_str(), kFileSystemFat, &lib, &fault), kReadUnavailable);
  EXPECT_STREQ(fault.file, "QVDB.DB");
}

// The streaming check against the full reader on seeded damage to a library
// of shared, cased and prefixed names (bit flips, cuts, growth, bytes of a
// library one track longer, name ids and letters of the texts changed): the same
// verdict, file, offset and message, also of the create statistics. The long
// paths make the track file larger than the check's window.
TEST(LibraryReaderTest, StreamingCheckAgreesWithTheReader) {
  auto text = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
  const char* genres[] = {"Rock", "ROCK", "Jazz", ""};
  const char* artists[] = {"The Band", "Band", "Alpha", "alpha", "The Alphas"};
  std::vector<TrackSpec> tracks;
  for (int i = 0; i < 41; ++i)
    tracks.push_back({text(genres[i % 4]), text(artists[i % 5]),
                      text("Album " + std::string(1, 'A' + i % 6)),
                      text("Song " + std::to_string(i % 9)),
                      text("/m/" + std::string(100 + 3 * i, 'p') + std::to_string(i)),
                      static_cast<uint16_t>(i % 3 + 1)});
  const LibraryImage longer = MakeLibraryImage(tracks);
  tracks.pop_back();
  const LibraryImage good = MakeLibraryImage(tracks);
  test::TempDir drive;
  ASSERT_EQ(test::BuildLibrary(drive.str(), tracks), 0);
  std::mt19937 rng(22);
  for (int i = 0; i < 360; ++i) {
    LibraryImage im = good;
    const int file = i % 6 >= 4 ? 0 : static_cast<int>(rng() % 3);
    std::vector<uint8_t>& b = im[file];
    const std::vector<uint8_t>& o = longer[file];
    const size_t n = std::min(b.size(), o.size()), at = rng() % n,
                 k = std::min(n - at, size_t{4} << rng() % 8);
    if (i % 6 == 0)
      for (int f = 0; f < 1 + i % 5; ++f) b[rng() % b.size()] ^= 1 << rng() % 8;
    if (i % 6 == 1) b.resize(rng() % b.size());
    if (i % 6 == 2) b.resize(b.size() + 1 + rng() % 64, uint8_t(rng()));
    if (i % 6 == 3) std::copy_n(o.begin() + at, k, b.begin() + at);
    if (i % 6 == 4) b[ChunkAt(im, rng() % 40, rng() % 3) + 16] ^= 1 << rng() % 3;
    if (i % 6 == 5) b[ChunkAt(im, rng() % 40, rng() % 4) + 24] ^= 1 << rng() % 6;
    for (int f = 0; f < 3; ++f)
      test::WriteFileBytes(test::LibraryDirectory(drive.str()) + kNames[f], im[f]);
    ReadLibrary full, part;
    ReadTracks facts;
    ReadFault a, z;
    int r = ReadLibraryFiles(drive.str().c_str(), kFileSystemFat, &full, &a);
    ASSERT_EQ(CheckLibraryFiles(drive.str().c_str(), kFileSystemFat, &part, &facts, &z), r)
        << i << a.message;
    if (r == kReadOk) {
      r = CheckCreateStatistics(full, &a);
      ASSERT_EQ(CheckCreateStatistics(part, facts, &z), r) << i << a.message;
    }
    if (r == kReadOk) continue;
    EXPECT_STREQ(z.file, a.file) << i;
    EXPECT_EQ(z.offset, a.offset) << i;
    EXPECT_EQ(z.message, a.message) << i;
  }
}

TEST(LibraryReaderTest, TextBecomesUtf8) {
  using P = std::pair<std::u16string, std::string>;
  for (auto [in, out] : {P{u"a\u00e9\u20ac", "a\xc3\xa9\xe2\x82\xac"}, P{u"\U0001F3B5", "\xf0\x9f\x8e\xb5"},
                         P{{u'x', static_cast<char16_t>(0xD800)}, "x\xef\xbf\xbd"}})
    EXPECT_EQ(LibraryTextToUtf8(in), out);
}

}  // namespace
}  // namespace qv

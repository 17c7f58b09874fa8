// Whole libraries built through the create operations: name numbering, the
// merge of spilled batches of equal keys, and audio files found on the drive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/files/writer_fixture.h"
#include "support/id3_writer.h"

namespace qv {
namespace {

using namespace test;
using test::TrackSpec;
using test::U16;

TrackSpec Track(const std::string& genre, const std::string& artist, const std::string& album,
                const std::string& title, uint16_t number, uint32_t i) {
  return Named(genre, artist, album, title, "/Music/t" + std::to_string(i) + ".mp3", number);
}

// Builds the tracks and returns what the builder held when it finished.
BuildSnapshot Build(const test::TempDir& drive, const std::vector<TrackSpec>& tracks,
                    uint32_t record_buffer_bytes = 0) {
  BuildSnapshot s;
  BuildOptions options;
  options.record_buffer_bytes = record_buffer_bytes;
  options.inspect = [&s](LibraryBuilder& b) { s = Snapshot(b); };
  EXPECT_EQ(test::BuildLibrary(drive.str(), tracks, options), 0);
  ExpectLibraryHolds(drive);
  return s;
}

TEST(BuildLibrary, NumbersNamesByTheirKeys) {
  std::vector<TrackSpec> tracks = {
      Track("Rock", "The Band", "Alpha", "one", 1, 0),
      Track("rock", "BAND", "alpha", "two", 2, 1),
      Track("ＲＯＣＫ", "Band, The", "Beta", "x", 1, 2),
      Track("Jazz", "", "", "y", 0xFFFF, 3),
      Track("", "Zed", "Alpha", "z", 3, 4),
  };
  test::TempDir drive;
  BuildSnapshot s = Build(drive, tracks);
  // Genres: JAZZ 0, ROCK 1 (three spellings), empty last.
  EXPECT_EQ(s.ids[kGenre], std::vector<uint32_t>({1, 1, 1, 0, 2}));
  EXPECT_EQ(s.distinct[kGenre], 3u);
  // Artists: BAND (with and without the article) 0, "BAND, THE" 1, ZED 2, empty 3.
  EXPECT_EQ(s.ids[kArtist], std::vector<uint32_t>({0, 0, 1, 3, 2}));
  EXPECT_EQ(s.distinct[kArtist], 4u);
  // Albums: ALPHA 0 (also by another artist), BETA 1, empty 2.
  EXPECT_EQ(s.ids[kAlbum], std::vector<uint32_t>({0, 0, 1, 2, 0}));
  EXPECT_EQ(s.distinct[kAlbum], 3u);
  // Genre order: JAZZ, then ROCK by artist BAND (numbers 1, 2), "BAND, THE", then the empty genre.
  EXPECT_EQ(s.lists[kGenre], std::vector<uint32_t>({3, 0, 1, 2, 4}));
  EXPECT_EQ(s.lists[kArtist], std::vector<uint32_t>({0, 1, 2, 4, 3}));
  EXPECT_EQ(s.lists[kAlbum], std::vector<uint32_t>({0, 1, 4, 2, 3}));
  EXPECT_EQ(s.lists[kTitle], std::vector<uint32_t>({0, 1, 2, 3, 4}));
  EXPECT_EQ(s.title_counts[0], 5u);
  EXPECT_EQ(s.title_counts[1], 5u);
  // The first track of each name gives its display name: "Jazz", "Rock", "" for genres.
  EXPECT_EQ(s.name_bytes[kGenre], 10u + 10u + 2u);
  EXPECT_EQ(s.stored_name_bytes[kGenre], 6u + 6u + 2u);
  // Artists counted from "The Band", "Band, The", "Zed", "".
  EXPECT_EQ(s.name_bytes[kArtist], 18u + 20u + 8u + 2u);
  EXPECT_EQ(s.stored_name_bytes[kArtist], 10u + 11u + 5u + 2u);
  // The pages carry the final ids: no batch was written before the final merge.
  std::vector<ReadPage> pages = ReadPages(LibraryFile(drive, "QVTL.DB"));
  ASSERT_EQ(pages.size(), 5u);
  for (uint32_t t = 0; t < 5; ++t) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pages[t].name_ids[c], s.ids[c][t]) << t << " " << c;
  }
}

TEST(BuildLibrary, EqualKeysOfOldAndNewTracksPutTheNewFirst) {
  // Identical tracks in two batches: records of 60 bytes, the third fills a
  // 1,100-byte buffer; the new batch goes first, each keeps its sort order.
  std::vector<TrackSpec> five;
  for (uint32_t i = 0; i < 5; ++i) five.push_back(Track("g", "a", "b", "t", 1, i));
  test::TempDir small;
  BuildSnapshot f = Build(small, five, 1100);
  EXPECT_EQ(f.batches_written, 2u);
  EXPECT_EQ(f.lists[kGenre], std::vector<uint32_t>({4, 3, 2, 0, 1}));
  EXPECT_EQ(f.lists[kTitle], std::vector<uint32_t>({4, 3, 2, 0, 1}));
  EXPECT_EQ(f.ids[kGenre], std::vector<uint32_t>({0, 0, 0, 0, 0}));
}

TEST(BuildLibrary, AddsAudioFilesFoundOnTheDrive) {
  test::TempDir drive;
  test::Id3v1Fields fields;
  fields.title = "Hello";
  fields.artist = "Abba";
  fields.album = "Gold";
  fields.track = 3;
  fields.genre = 17;
  std::string song =
      drive.Write("Music/a.mp3", test::Id3Join({test::AudioFiller(4000), test::Id3v1Tag(fields)}));
  ASSERT_EQ(OpenBuild(drive.str().c_str(), kFileSystemFat), 0);
  EXPECT_EQ(AddFileToBuild((drive.str(true) + "Music/missing.mp3").c_str(), 2), 2);
  EXPECT_EQ(TheBuildContext().builder->total_tracks, 0u);
  EXPECT_EQ(AddFileToBuild(song.c_str(), 2), 0);
  EXPECT_EQ(FlushBuild(1), 0);
  EXPECT_EQ(FinishBuild(), 0);
  CloseBuild();
  ExpectLibraryHolds(drive);
  std::vector<ReadPage> pages = ReadPages(LibraryFile(drive, "QVTL.DB"));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].texts[kPathSlot], u"/Music/a.mp3");
  EXPECT_EQ(pages[0].texts[kTitle], u"Hello");
  EXPECT_EQ(pages[0].texts[kArtist], u"Abba");
  EXPECT_EQ(pages[0].texts[kGenre], u"Rock");
  EXPECT_EQ(pages[0].track_number, 3);
}

}  // namespace
}  // namespace qv

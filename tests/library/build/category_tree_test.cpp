// The browse trees built from category lists and name ids that each test
// sets up directly, so that every grouping and linking rule is visible.
#include <gtest/gtest.h>

#include <vector>

#include "library/build/library_builder.h"
#include "library/files/writer_fixture.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

struct Ids {
  uint32_t genre, artist, album;
};

uint32_t Count(const CategoryNode& n) {
  return n.counts & 0x1FFFFF;
}
uint32_t Link(const CategoryNode& n) {
  return n.links >> 10;
}
uint32_t Rank(const CategoryNode& n) {
  return ((n.links & 0x3FF) << 11) | (n.counts >> 21);
}

class CategoryTree : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(build_.ok()); }
  LibraryBuilder* b() { return build_.b(); }

  // Tracks given in the category's browse order; track t of the order is
  // global track order[t].
  void Load(uint16_t category, const std::vector<uint32_t>& order, const std::vector<Ids>& ids) {
    b()->total_tracks = static_cast<uint32_t>(order.size());
    for (size_t p = 0; p < order.size(); ++p) {
      uint32_t t = order[p];
      b()->category_lists[category][p] = t;
      b()->name_ids[0][t] = ids[p].genre;
      b()->name_ids[1][t] = ids[p].artist;
      b()->name_ids[2][t] = ids[p].album;
    }
  }
  const CategoryNode& Node(int region, uint32_t i) { return b()->node_regions[region][i]; }
  uint32_t Filled(int region) {
    uint32_t n = 0;
    while (n < kNodeRegionCapacity[region] && Node(region, n).first_track != kNoId) ++n;
    return n;
  }

  TempDir drive_;
  WriterBuild build_{drive_.str()};
};

TEST_F(CategoryTree, OneTrackMakesOneNodePerLevel) {
  Load(kGenre, {0}, {{0, 0, 0}});
  Load(kArtist, {0}, {{0, 0, 0}});
  Load(kAlbum, {0}, {{0, 0, 0}});
  for (uint16_t c = kGenre; c <= kAlbum; ++c) ASSERT_EQ(BuildCategoryTree(b(), c), 1);
  for (int r = 0; r < 6; ++r) {
    SCOPED_TRACE(r);
    ASSERT_EQ(Filled(r), 1u);
    EXPECT_EQ(Node(r, 0).first_track, 0u);
    EXPECT_EQ(Count(Node(r, 0)), 1u);
    EXPECT_EQ(Link(Node(r, 0)), 0u);
    bool top = r == 0 || r == 3 || r == 5;
    EXPECT_EQ(Rank(Node(r, 0)), top ? 0x1FFFFFu : 0u);
  }
}

TEST_F(CategoryTree, GenreTreeGroupsLinksAndCounts) {
  // Genre order:  position: track (genre, artist, album)
  //   0: 5 (0,0,0)  1: 3 (0,0,0)  2: 0 (0,0,1)  3: 4 (0,1,2)
  //   4: 1 (1,0,0)  5: 2 (1,2,3)
  Load(kGenre, {5, 3, 0, 4, 1, 2},
       {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 2}, {1, 0, 0}, {1, 2, 3}});
  ASSERT_EQ(BuildCategoryTree(b(), kGenre), 1);

  ASSERT_EQ(Filled(0), 2u);
  EXPECT_EQ(Node(0, 0).first_track, 5u);
  EXPECT_EQ(Node(0, 1).first_track, 1u);
  EXPECT_EQ(Link(Node(0, 0)), 0u);
  EXPECT_EQ(Count(Node(0, 0)), 2u);
  EXPECT_EQ(Link(Node(0, 1)), 2u);
  EXPECT_EQ(Count(Node(0, 1)), 2u);

  // Artist 0 appears under both genres and forms a group under each.
  ASSERT_EQ(Filled(1), 4u);
  const uint32_t artist_first[4] = {5, 4, 1, 2};
  const uint32_t artist_child[4] = {0, 2, 3, 4};
  const uint32_t artist_count[4] = {2, 1, 1, 1};
  const uint32_t artist_rank[4] = {0, 1, 0, 1};
  for (uint32_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Node(1, i).first_track, artist_first[i]);
    EXPECT_EQ(Link(Node(1, i)), artist_child[i]);
    EXPECT_EQ(Count(Node(1, i)), artist_count[i]);
    EXPECT_EQ(Rank(Node(1, i)), artist_rank[i]);
  }

  ASSERT_EQ(Filled(2), 5u);
  const uint32_t album_first[5] = {5, 0, 4, 1, 2};
  const uint32_t album_position[5] = {0, 2, 3, 4, 5};
  const uint32_t album_tracks[5] = {2, 1, 1, 1, 1};
  const uint32_t album_rank[5] = {0, 1, 0, 0, 0};
  for (uint32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Node(2, i).first_track, album_first[i]);
    EXPECT_EQ(Link(Node(2, i)), album_position[i]);
    EXPECT_EQ(Count(Node(2, i)), album_tracks[i]);
    EXPECT_EQ(Rank(Node(2, i)), album_rank[i]);
  }
  // The other trees are untouched.
  EXPECT_EQ(Filled(3), 0u);
  EXPECT_EQ(Filled(5), 0u);
}

TEST_F(CategoryTree, AlbumTreeJoinsAlbumsOfTheSameNameAcrossArtists) {
  // Two artists each with an album called the same (album id 0).
  Load(kArtist, {0, 1, 2}, {{0, 0, 0}, {0, 0, 0}, {0, 1, 0}});
  ASSERT_EQ(BuildCategoryTree(b(), kArtist), 1);
  EXPECT_EQ(Filled(3), 2u);
  EXPECT_EQ(Filled(4), 2u);
  EXPECT_EQ(Count(Node(4, 0)), 2u);
  EXPECT_EQ(Count(Node(4, 1)), 1u);
  EXPECT_EQ(Rank(Node(4, 1)), 0u);

  Load(kAlbum, {0, 2, 1}, {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}});
  ASSERT_EQ(BuildCategoryTree(b(), kAlbum), 1);
  ASSERT_EQ(Filled(5), 1u);
  EXPECT_EQ(Count(Node(5, 0)), 3u);
  EXPECT_EQ(Rank(Node(5, 0)), 0x1FFFFFu);
}

TEST_F(CategoryTree, GenresPastTheCapacityCountUnderTheLastStoredGenre) {
  // Genre ids 0..999, then three tracks whose genres got the overflow id;
  // every track has an artist of its own.
  std::vector<uint32_t> order;
  std::vector<Ids> ids;
  for (uint32_t t = 0; t < 1003; ++t) {
    order.push_back(t);
    ids.push_back({t < 1000 ? t : kOverflowId, t, t});
  }
  Load(kGenre, order, ids);
  ASSERT_EQ(BuildCategoryTree(b(), kGenre), 1);
  ASSERT_EQ(Filled(0), 1000u);
  ASSERT_EQ(Filled(1), 1003u);
  EXPECT_EQ(Count(Node(0, 998)), 1u);
  EXPECT_EQ(Link(Node(0, 999)), 999u);
  EXPECT_EQ(Count(Node(0, 999)), 4u);
  for (uint32_t k = 0; k < 4; ++k) EXPECT_EQ(Rank(Node(1, 999 + k)), k);
  EXPECT_EQ(Count(Node(2, 1002)), 1u);
  EXPECT_EQ(Link(Node(2, 1002)), 1002u);
}

TEST_F(CategoryTree, RanksBeyondElevenBitsUseTheLinkWord) {
  // One genre with 3,000 artists: ranks from 2,048 on need the high bits.
  std::vector<uint32_t> order;
  std::vector<Ids> ids;
  for (uint32_t t = 0; t < 3000; ++t) {
    order.push_back(t);
    ids.push_back({0, t, t});
  }
  Load(kGenre, order, ids);
  ASSERT_EQ(BuildCategoryTree(b(), kGenre), 1);
  EXPECT_EQ(Count(Node(0, 0)), 3000u);
  const CategoryNode& n = Node(1, 2049);
  EXPECT_EQ(Rank(n), 2049u);
  EXPECT_EQ(n.counts >> 21, 1u);
  EXPECT_EQ(n.links & 0x3FF, 1u);
  EXPECT_EQ(Link(n), 2049u);  // first child in the album level
  EXPECT_EQ(Rank(Node(1, 2999)), 2999u);
}

TEST_F(CategoryTree, RebuildWithFewerGroupsLeavesNoStaleNodes) {
  Load(kAlbum, {0, 1, 2}, {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}});
  ASSERT_EQ(BuildCategoryTree(b(), kAlbum), 1);
  ASSERT_EQ(Filled(5), 3u);
  Load(kAlbum, {0, 1}, {{0, 0, 0}, {0, 0, 0}});
  ASSERT_EQ(BuildCategoryTree(b(), kAlbum), 1);
  EXPECT_EQ(Filled(5), 1u);
  EXPECT_EQ(Count(Node(5, 0)), 2u);
  EXPECT_EQ(Node(5, 1).counts, 0xFFFFFFFFu);
}

TEST_F(CategoryTree, EmptyLibraryChangesNothingAndTitleIsRefused) {
  b()->total_tracks = 0;
  ASSERT_EQ(BuildCategoryTree(b(), kGenre), 1);
  EXPECT_EQ(Node(0, 0).links, 0xFFFFFFFFu);
  ResetErrorLog(&TheErrorLog());
  EXPECT_EQ(BuildCategoryTree(b(), kTitle), 0);
  ASSERT_EQ(TheErrorLog().count, 1u);
  EXPECT_EQ(TheErrorLog().entries[0].module, kBuilderLive);
  EXPECT_EQ(TheErrorLog().entries[0].site, kSiteBuildCategoryTree);
  EXPECT_EQ(TheErrorLog().entries[0].detail, 1u);
}

}  // namespace
}  // namespace qv::test

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
  // Per node: first track, link (first child or first position), count, rank.
  const uint32_t expected[2][5][4] = {
      {{5, 0, 2, 0}, {4, 2, 1, 1}, {1, 3, 1, 0}, {2, 4, 1, 1}},
      {{5, 0, 2, 0}, {0, 2, 1, 1}, {4, 3, 1, 0}, {1, 4, 1, 0}, {2, 5, 1, 0}}};
  for (int r = 1; r <= 2; ++r) {
    ASSERT_EQ(Filled(r), r == 1 ? 4u : 5u);
    for (uint32_t i = 0; i < Filled(r); ++i) {
      SCOPED_TRACE(testing::Message() << "region " << r << " node " << i);
      const CategoryNode& n = Node(r, i);
      EXPECT_EQ(std::vector<uint32_t>({n.first_track, Link(n), Count(n), Rank(n)}),
                std::vector<uint32_t>(expected[r - 1][i], expected[r - 1][i] + 4));
    }
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

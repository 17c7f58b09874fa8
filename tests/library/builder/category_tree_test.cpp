// The browse trees built from category lists and name ids that each test
// sets up directly: ranks past eleven bits, rebuilds and refusals. Grouping
// and linking of whole libraries is checked against the hand-laid images in
// the reader's tests.
#include <gtest/gtest.h>

#include <vector>

#include "library/files/writer_fixture.h"

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
  ExpectOneError(kSiteBuildCategoryTree, 1u);
}

}  // namespace
}  // namespace qv::test

// The browse trees of the genre, artist and album categories, computed once
// all tracks are in their category lists and carry their name ids.
//
// Each tree level is a run of nodes in a node region, in browse order, ended
// by a node whose first track is all ones. A node is three words:
//   first track  global index of the group's first track
//   counts       bits 0-20 children (inner level) or tracks (lowest level);
//                bits 21-31 low 11 bits of the node's rank under its parent
//   links        bits 0-7 bits 11-18 of that rank (bits 8, 9 zero);
//                bits 10-31 first child index (inner level) or the position
//                of the first track in the category list (lowest level)
// Top-level nodes keep all ones in the rank bits: they have no parent.
#include <cstring>

#include "library/builder/library_builder.h"

namespace qv {
namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFF;
constexpr uint32_t kCountMask = 0x1FFFFF;
constexpr uint32_t kRankBitsMask = 0x3FF;
constexpr uint32_t kTopRegion[3] = {0, 3, 5};

void SetCount(CategoryNode* node, uint32_t count) {
  node->counts = (node->counts & ~kCountMask) | (count & kCountMask);
}

void SetRank(CategoryNode* node, uint32_t rank) {
  node->counts = (node->counts & kCountMask) | ((rank & 0x7FF) << 21);
  node->links = (node->links & ~kRankBitsMask) | ((rank >> 11) & 0xFF);
}

void SetLink(CategoryNode* node, uint32_t link) {
  node->links = (node->links & kRankBitsMask) | (link << 10);
}

uint32_t Link(const CategoryNode& node) {
  return node.links >> 10;
}

// Stores one node per group of tracks that share the names of levels
// category..level. Groups past the region's capacity get no node.
void GroupLevel(LibraryBuilder* b, uint16_t category, uint16_t level, CategoryNode* region,
                uint32_t capacity) {
  const uint32_t* list = b->category_lists[category];
  const uint32_t* ids = b->name_ids[level];
  uint32_t stored = 0;
  uint32_t last_id = 0;
  for (uint32_t p = 0; p < b->total_tracks; ++p) {
    uint32_t t = list[p];
    bool opens = stored == 0 || ids[t] != last_id;
    if (p > 0 && level > category)
      opens = opens || b->name_ids[level - 1][t] != b->name_ids[level - 1][list[p - 1]];
    if (p > 0 && level == category + 2) {
      opens = opens || b->name_ids[level - 2][t] != b->name_ids[level - 2][list[p - 1]];
    }
    if (!opens || stored >= capacity) continue;
    region[stored].first_track = t;
    last_id = ids[t];
    ++stored;
  }
}

// Gives every parent its first child and child count, and every child its
// rank under its parent. Children that follow the last parent's first child
// (including those of groups that found no room at the parent level) count
// under the last parent.
void LinkLevel(CategoryNode* parents, uint32_t parent_capacity, CategoryNode* children,
               uint32_t child_capacity) {
  SetLink(&parents[0], 0);
  uint32_t cursor = 0;
  uint32_t i = 0;
  for (; i < parent_capacity && parents[i].first_track != kEmpty; ++i) {
    uint32_t k = 0;
    uint32_t c = cursor;
    while (c < child_capacity && children[c].first_track != kEmpty &&
           children[c].first_track != parents[i].first_track) {
      SetRank(&children[c], k);
      ++k;
      ++c;
    }
    if (c >= child_capacity || children[c].first_track == kEmpty) {
      // No child opens this parent's group: the level is inconsistent, so
      // the walk ends here and the children passed stay with the parent before.
      if (i > 0) SetCount(&parents[i - 1], c - Link(parents[i - 1]));
      return;
    }
    SetRank(&children[c], 0);
    SetLink(&parents[i], c);
    if (i > 0) SetCount(&parents[i - 1], c - Link(parents[i - 1]));
    cursor = c;
  }
  if (i == 0) return;
  // The last parent's children run to the end of the child level.
  uint32_t k = 0;
  uint32_t c = cursor;
  for (; c < child_capacity && children[c].first_track != kEmpty; ++c, ++k)
    SetRank(&children[c], k);
  SetCount(&parents[i - 1], c - Link(parents[i - 1]));
}

// Points every node of the lowest level at the position of its first track
// in the category list and counts its tracks.
void LinkTracks(const LibraryBuilder* b, const uint32_t* list, CategoryNode* nodes,
                uint32_t capacity) {
  SetLink(&nodes[0], 0);
  uint32_t n = b->total_tracks;
  uint32_t cursor = 0;
  uint32_t i = 0;
  for (; i < capacity && i < kMaxTracks && nodes[i].first_track != kEmpty; ++i) {
    while (cursor < n && list[cursor] != nodes[i].first_track) ++cursor;
    if (cursor >= n) break;
    SetLink(&nodes[i], cursor);
    if (i > 0) SetCount(&nodes[i - 1], cursor - Link(nodes[i - 1]));
  }
  if (i > 0) SetCount(&nodes[i - 1], n - Link(nodes[i - 1]));
}

}  // namespace

int BuildCategoryTree(LibraryBuilder* b, uint16_t category) {
  RequireLiveBuilder(b);
  if (category > kAlbum) {
    AppendErrorLog(&TheErrorLog(), kBuilderLive, kSiteBuildCategoryTree, 1);
    return 0;
  }
  if (b->total_tracks == 0) return 1;
  uint32_t top = kTopRegion[category];
  uint32_t levels = kAlbum - category + 1;
  // A level holds at most one node per track, and every walk of it stops at
  // its first empty node, so clearing one node more than the tracks is
  // enough: nodes behind it, left by a tree built earlier in the same build
  // (an update rebuilds its trees) or never touched, are never read.
  for (uint32_t r = top; r < top + levels; ++r) {
    uint32_t clear =
        b->total_tracks < kNodeRegionCapacity[r] ? b->total_tracks + 1 : kNodeRegionCapacity[r];
    std::memset(b->node_regions[r], 0xFF, sizeof(CategoryNode) * clear);
  }
  for (uint32_t s = category; s <= kAlbum; ++s) {
    uint32_t r = top + (s - category);
    GroupLevel(b, category, static_cast<uint16_t>(s), b->node_regions[r], kNodeRegionCapacity[r]);
  }
  for (uint32_t s = category; s < kAlbum; ++s) {
    uint32_t r = top + (s - category);
    LinkLevel(b->node_regions[r], kNodeRegionCapacity[r], b->node_regions[r + 1],
              kNodeRegionCapacity[r + 1]);
  }
  uint32_t lowest = top + (kAlbum - category);
  LinkTracks(b, b->category_lists[category], b->node_regions[lowest], kNodeRegionCapacity[lowest]);
  return 1;
}

}  // namespace qv

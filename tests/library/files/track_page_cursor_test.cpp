// The checked walk over one track page: what it reads from a sound page, and
// the status and file offset of each broken rule.
#include "library/files/track_page_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace qv {
namespace {

// Walks a page read from byte 1000 of a file: the status that ended the walk,
// and each chunk's text (the path cut to one unit), kind and name id.
int Walk(const std::vector<uint8_t>& page, TrackPageCursor* c, std::u16string* seen) {
  int r = OpenTrackPage(c, page, 1000);
  TrackChunk k;
  for (uint16_t text[3]; r == kPageOk && (r = NextTrackChunk(c, &k)) == kPageOk;)
    *seen += std::u16string(text, text + CopyChunkText(*c, k, text, k.kind == 4 ? 1 : 2)) +
             char16_t(u'0' + k.kind) + char16_t(u'0' + k.name_id);
  return r;
}

TEST(TrackPageCursor, ReadsASoundPageAndNamesWhereABrokenOneFails) {
  // Five chunks of kinds 0 to 4, name ids 1 to 5, each the text "ab" in an 8-byte area.
  std::vector<uint8_t> good(208, 0);
  StoreTag(good, 0, "qvti");
  StoreLe32(good, 4, 48);
  StoreLe32(good, 8, 208);
  for (uint32_t k = 0, at = 48; k < 5; ++k, at += 32) {
    StoreTag(good, at, "qvst");
    for (auto [field, value] :
         {std::pair{4u, 24u}, {8u, 32u}, {12u, k}, {16u, k + 1}, {20u, 8u}, {24u, 0x620061u}})
      StoreLe32(good, at + field, value);
  }
  TrackPageCursor c;
  std::u16string seen;
  EXPECT_EQ(Walk(good, &c, &seen), kPageEnd);
  EXPECT_EQ(seen, u"ab01ab12ab23ab34a45");
  // clang-format off
  const struct { uint32_t at, value; int status; uint32_t fault; } cases[] = {
      {0, 0x69747651, kPageNotAPage, 0}, {8, 44, kPageBadSize, 8}, {8, 2052, kPageBadSize, 8},
      {8, 212, kPageBadSize, 8}, {4, 44, kPageBadChunk, 4}, {4, 212, kPageBadChunk, 4},
      {48, 0, kPageBadChunk, 48}, {52, 28, kPageBadChunk, 52}, {56, 20, kPageBadChunk, 56},
      {56, 0xFFFFFFF0, kPageBadChunk, 56}, {60, 5, kPageBadKind, 60}, {68, 12, kPageBadChunk, 68},
      {8, 204, kPageBadChunk, 184}, {8, 196, kPageBadChunk, 176}, {~0u, 0, kPageShort, 0}};
  // clang-format on
  for (const auto& k : cases) {
    std::vector<uint8_t> page = good;
    if (k.at < page.size())
      StoreLe32(page, k.at, k.value);
    else
      page.resize(47);
    EXPECT_EQ(Walk(page, &c, &seen), k.status) << k.at << " " << k.value;
    EXPECT_EQ(c.fault_offset, 1000 + k.fault) << k.at << " " << k.value;
  }
}

}  // namespace
}  // namespace qv

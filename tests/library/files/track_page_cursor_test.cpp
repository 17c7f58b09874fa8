// The checked walk over one track page: what it reads from a sound page, and
// the status and file offset of each broken rule.
#include "library/files/track_page_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace qv {
namespace {

// A page of five chunks, kinds 0 to 4 with name ids 1 to 5, each holding
// the text "ab" and its zero unit in an 8-byte area.
std::vector<uint8_t> SoundPage() {
  std::vector<uint8_t> page(48 + 5 * 32, 0);
  StoreTag(page, 0, "qvti");
  StoreLe32(page, 4, 48);
  StoreLe32(page, 8, static_cast<uint32_t>(page.size()));
  for (uint32_t k = 0, at = 48; k < 5; ++k, at += 32) {
    StoreTag(page, at, "qvst");
    for (auto [field, value] : {std::pair{4u, 24u}, {8u, 32u}, {12u, k}, {16u, k + 1}, {20u, 8u}})
      StoreLe32(page, at + field, value);
    StoreLe16(page, at + 24, 'a');
    StoreLe16(page, at + 26, 'b');
  }
  return page;
}

// Walks the page read from byte 1000 of a file: the status that ended it.
int Walk(const std::vector<uint8_t>& bytes, TrackPageCursor* c, std::u16string* texts) {
  int r = OpenTrackPage(c, bytes, 1000);
  TrackChunk chunk;
  while (r == kPageOk && (r = NextTrackChunk(c, &chunk)) == kPageOk) {
    uint16_t text[3];
    uint32_t n = CopyChunkText(*c, chunk, text, chunk.kind == 4 ? 1 : 2);
    *texts += std::u16string(text, text + n) + char16_t(u'0' + chunk.kind) +
              char16_t(u'0' + chunk.name_id);
  }
  return r;
}

TEST(TrackPageCursor, ReadsASoundPageAndNamesWhereABrokenOneFails) {
  TrackPageCursor c;
  std::u16string texts;
  EXPECT_EQ(Walk(SoundPage(), &c, &texts), kPageEnd);
  EXPECT_EQ(texts, u"ab01ab12ab23ab34a45");  // the path cut to one unit
  const struct {
    uint32_t at, value;
    int status;
    uint32_t fault;
  } cases[] = {{0, 0x69747651, kPageNotAPage, 0},
               {8, 44, kPageBadSize, 8},
               {8, 2052, kPageBadSize, 8},
               {8, 212, kPageBadSize, 8},
               {4, 44, kPageBadChunk, 4},
               {4, 212, kPageBadChunk, 4},
               {48, 0, kPageBadChunk, 48},
               {52, 28, kPageBadChunk, 52},
               {56, 20, kPageBadChunk, 56},
               {56, 0xFFFFFFF0, kPageBadChunk, 56},
               {60, 5, kPageBadKind, 60},
               {68, 12, kPageBadChunk, 68},
               {8, 204, kPageBadChunk, 184},
               {8, 196, kPageBadChunk, 176},
               {~0u, 0, kPageShort, 0}};
  for (const auto& k : cases) {
    std::vector<uint8_t> page = SoundPage();
    if (k.at < page.size())
      StoreLe32(page, k.at, k.value);
    else
      page.resize(47);
    EXPECT_EQ(Walk(page, &c, &texts), k.status) << k.at << " " << k.value;
    EXPECT_EQ(c.fault_offset, 1000 + k.fault) << k.at << " " << k.value;
  }
}

}  // namespace
}  // namespace qv

// Sort weights, sort keys, the comparison of tracks per category and the
// batch sort's order of equal keys.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "library/files/writer_fixture.h"

namespace qv {
namespace {


std::u16string Key(const std::u16string& text, bool drop_article, uint32_t max_bytes = 96) {
  std::vector<uint16_t> in(text.begin(), text.end());
  in.push_back(0);
  in.resize(256, 0);
  uint16_t key[256] = {};
  MakeSortKey(key, in.data(), max_bytes, drop_article);
  std::u16string out;
  for (uint32_t i = 0; i < max_bytes / 2 && key[i] != 0; ++i)
    out.push_back(static_cast<char16_t>(key[i]));
  return out;
}

TEST(FoldSortChar, CaseWidthAndPunctuationWeights) {
  // Letters ignore case and width; punctuation sorts before the space, the
  // space before digits and letters; some fullwidth signs differ from ASCII.
  const std::pair<uint16_t, uint16_t> kFolds[] = {
      {'a', 'A'},    {'z', 'Z'},     {'Q', 'Q'},    {0xFF21, 'A'}, {0xFF41, 'A'}, {0xFF5A, 'Z'},
      {0xFF10, '0'}, {0xFF19, '9'},  {0xE0, 0xC0},  {0xFF, 0xDF},  {0xDF, 0xDF},  {0xDE, 0xDE},
      {0, 0},        {'!', 1},       {'.', 14},     {'_', 20},     {';', 20},     {'=', 25},
      {' ', 32},     {'/', '/'},     {0xFF01, 1},   {0xFF1B, 17},  {0xFF5E, 23},  {0xFF00, 0xFF00},
      {0xFF1A, 0xFF1A}, {0xFF65, 0xFF65}, {0x3042, 0x3042}};
  for (auto [in, out] : kFolds) EXPECT_EQ(FoldSortChar(in), out) << std::hex << in;
}

TEST(MakeSortKey, ArticleLimitAndTerminator) {
  const std::u16string full = u"The " + std::u16string(43, u'x');
  const struct { std::u16string in; bool drop; uint32_t max_bytes; std::u16string key; } cases[] = {{u"The Beatles", true, 96, u"BEATLES"}, {u"tHe beatles", true, 96, u"BEATLES"},
               {u"The Beatles", false, 96, u"THE BEATLES"}, {u"Theatre", true, 96, u"THEATRE"},
               {u"The", true, 96, u"THE"}, {u"The ", true, 96, u""},
               {u"Beatles, The", true, 96, u"BEATLES\x0C THE"},  // the comma weighs 12
               {u"\uff34\uff28\uff25 Band", true, 96, u"BAND"}, {u"The Band", true, 6, u"THE"},
               {u"abcdef", false, 6, u"ABC"}, {u"ab", false, 60, u"AB"},
               // A full-length artist keeps its last units after the article goes.
               {full, true, 96, std::u16string(43, u'X')}};
  for (const auto& c : cases) EXPECT_EQ(Key(c.in, c.drop, c.max_bytes), c.key);
}

// A builder is large; tests share one per test case through the build context.
class CompareTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OpenBuild("/nonexistent-drive", 1), 0); }
  void TearDown() override { CloseBuild(); }

  LibraryBuilder* builder() { return TheBuildContext().builder; }

  void Fill(SortKeySet* keys, const test::TrackSpec& spec, uint16_t category) {
    const std::u16string* texts[4] = {&spec.genre, &spec.artist, &spec.album, &spec.title};
    for (int s = category; s <= kTitle; ++s) {
      std::vector<uint16_t> in(texts[s]->begin(), texts[s]->end());
      in.resize(256, 0);
      MakeSortKey(keys->slot[s], in.data(), kSlotMaxBytes[s], s == kArtist);
    }
    keys->track_number = spec.track_number;
  }

  int Compare(const test::TrackSpec& a, const test::TrackSpec& c, uint16_t category) {
    builder()->current_category = category;
    Fill(&builder()->key_sets[0], a, category);
    Fill(&builder()->key_sets[1], c, category);
    return CompareSortKeys(builder(), &builder()->key_sets[0], &builder()->key_sets[1]);
  }
};

test::TrackSpec Spec(const char* genre, const char* artist, const char* album, const char* title, uint16_t number = 0xFFFF) {
  return test::Named(genre, artist, album, title, "", number);
}

TEST_F(CompareTest, EachCategoryHasItsOwnKeyOrder) {
  struct Case { test::TrackSpec a, b; uint16_t category; int expected; };
  const Case cases[] = {
      // Case, width and the artist's article make no difference; the article
      // stays in genre, album and title keys.
      {Spec("ｒｏｃｋ", "a", "b", "t", 1), Spec("Rock", "A", "B", "T", 1), kGenre, 0},
      {Spec("g", "The Who", "x", "t", 1), Spec("g", "WHO", "x", "t", 1), kArtist, 0},
      {Spec("g", "a", "The Apple", "t"), Spec("g", "a", "Apple", "t"), kAlbum, 1},
      {Spec("g", "a", "b", "A-B"), Spec("g", "a", "b", "A B"), kTitle, -1},
      {Spec("g", "a", "b", "A"), Spec("g", "a", "b", "AB"), kTitle, -1},
      // Empty names and unnumbered tracks come last; empty slots on both
      // sides pass to the next slot.
      {Spec("", "a", "b", "t"), Spec("zzz", "a", "b", "t"), kGenre, 1},
      {Spec("zzz", "a", "b", "t"), Spec("", "a", "b", "t"), kGenre, -1},
      {Spec("g", "a", "b", "x", 0xFFFF), Spec("g", "a", "b", "y", 2), kAlbum, 1},
      {Spec("", "", "b", "t"), Spec("", "", "a", "t"), kGenre, 1},
      // Genre: genre, artist, album, number, title; artist ignores the
      // genre; album ignores genre and artist; title: title, then number.
      {Spec("g", "a", "z", "z", 9), Spec("g", "b", "a", "a", 1), kGenre, -1},
      {Spec("z", "a", "b", "t", 1), Spec("a", "b", "a", "t", 1), kArtist, -1},
      {Spec("z", "z", "a", "t", 1), Spec("a", "a", "b", "t", 1), kAlbum, -1},
      {Spec("g", "a", "b", "x", 3), Spec("g", "a", "b", "y", 3), kAlbum, -1},
      {Spec("a", "a", "a", "song", 2), Spec("z", "z", "z", "SONG", 1), kTitle, 1},
      {Spec("a", "a", "a", "song", 1), Spec("z", "z", "z", "SONG", 1), kTitle, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(Compare(cases[i].a, cases[i].b, cases[i].category), cases[i].expected) << i;
}

// The batch sort over records added to a builder.
class SortBatchTest : public CompareTest {
 protected:
  void Add(const test::TrackSpec& spec) {
    TrackTagsStorage storage;
    test::FillTrackTags(spec, &storage);
    ASSERT_EQ(AddTrackRecord(builder(), &storage.tags), 0);
  }
  std::vector<uint32_t> Order() { return {builder()->batch_order, builder()->batch_order + builder()->batch_tracks}; }
};

// Spellings of one artist and of none, with equal titles and numbers: the
// sort keeps the exact tie order of its steps in every category.
TEST_F(SortBatchTest, TiesOfArticleAndWidthVariantsKeepTheStepOrder) {
  EXPECT_EQ(SortBatch(builder(), kGenre), 0);  // nothing to sort
  static const char* const kArtists[] = {"The Who", "the who", "WHO", "Who, The",
                                         "THE ",    "The",     "",    "Ｗｈｏ"};
  for (uint32_t i = 0; i < 12; ++i)
    Add(Spec(i % 3 == 0 ? "rock" : "Rock", kArtists[(i * 5) % 8], i % 4 ? "Album" : "",
             i % 2 ? "t" : "T", static_cast<uint16_t>(i % 5 == 0 ? 0xFFFF : 1)));
  const std::vector<uint32_t> expected[4] = {{1, 9, 11, 2, 3, 10, 5, 8, 0, 7, 6, 4},
                                             {1, 9, 11, 2, 3, 10, 5, 8, 0, 7, 6, 4},
                                             {7, 6, 11, 9, 2, 1, 3, 10, 5, 4, 8, 0},
                                             {7, 6, 11, 8, 9, 2, 1, 4, 3, 0, 5, 10}};
  for (uint16_t c = kGenre; c <= kTitle; ++c) {
    ASSERT_EQ(SortBatch(builder(), c), 1);
    EXPECT_EQ(Order(), expected[c]) << "category " << c;
  }
}

// Ranks stand in for keys: they order like them, also past eight equal units,
// at the slot's limit and for the heaviest units against the empty name.
TEST_F(SortBatchTest, RanksOrderLikeTheKeys) {
  const std::u16string names[] = {
      u"", u"Album number 12", u"ALBUM NUMBER 13", u"album number 1", u"Album numbe",
      u"The Album number 12", u"ＡＬＢＵＭ number 12", std::u16string(8, u'\xFFFF'),
      std::u16string(9, u'\xFFFF'), std::u16string(70, u'x'), std::u16string(69, u'x') + u"y"};
  const uint32_t n = std::size(names);
  for (uint32_t i = 0; i < 3 * n; ++i)
    Add(test::TrackSpec{names[i % n], names[(i + 1) % n], names[i * 5 % n], names[i * 7 % n], u"/a"});
  ASSERT_EQ(SortBatch(builder(), kTitle), 1);
  LibraryBuilder* b = builder();
  for (uint16_t s = kGenre; s <= kTitle; ++s) {
    b->current_category = s;
    for (uint32_t x = 0; x < 3 * n * 3 * n; ++x) {
      BuildRecordKeys(b, b->batch_records[x / (3 * n)], s, &b->key_sets[0]);
      BuildRecordKeys(b, b->batch_records[x % (3 * n)], s, &b->key_sets[1]);
      const uint32_t rx = b->batch_ranks[x / (3 * n)].name[s], ry = b->batch_ranks[x % (3 * n)].name[s];
      ASSERT_EQ((rx > ry) - (rx < ry), CompareCategoryNames(b, &b->key_sets[0], &b->key_sets[1])) << s << " " << x;
    }
  }
}

}  // namespace
}  // namespace qv

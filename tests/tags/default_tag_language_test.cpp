#include "tags/default_tag_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/preferred_language.h"

namespace qv {
namespace {

class DefaultTagLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  }
};

TEST_F(DefaultTagLanguageTest, MapsTheLanguagePartOfTheLocale) {
  struct Case {
    const char* lang;
    int index;
  };
  const Case cases[] = {{"ja", 0},          {"ja_JP.UTF-8", 0}, {"ja-JP", 0}, {"zh_TW", 1},
                        {"zh-Hans", 1},     {"en", 2},          {"en_GB", 2}, {"fr_FR", 3},
                        {"de_DE.UTF-8", 4}, {"it", 5},          {"es_ES", 6}, {"nl_NL", 7},
                        {"ru_RU.UTF-8", 8}, {"pt_BR", 2},       {"ko", 2},    {"j", 2},
                        {"C", 2},           {"C.UTF-8", 2},     {"POSIX", 2}, {"", 2}};
  for (const Case& c : cases) {
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(DefaultTagLanguage(), c.index) << c.lang;
  }
  unsetenv("LANG");
  EXPECT_EQ(DefaultTagLanguage(), 2);
}

TEST_F(DefaultTagLanguageTest, TheFirstVariableSetDecides) {
  setenv("LANG", "ru_RU.UTF-8", 1);
  setenv("LC_MESSAGES", "de_DE", 1);
  EXPECT_EQ(DefaultTagLanguage(), 4);
  setenv("LC_ALL", "fr_FR", 1);
  EXPECT_EQ(DefaultTagLanguage(), 3);
  setenv("LANGUAGE", "ja:ru", 1);
  EXPECT_EQ(DefaultTagLanguage(), 0);
  // An empty entry is no preference; the next variable decides.
  setenv("LANGUAGE", ":zh", 1);
  EXPECT_EQ(DefaultTagLanguage(), 3);
  // A plain C locale means no preference at all: English, not what LANG says.
  setenv("LC_ALL", "C", 1);
  unsetenv("LANGUAGE");
  EXPECT_EQ(DefaultTagLanguage(), 2);
}

TEST_F(DefaultTagLanguageTest, PreferredLanguageFitsItsBuffer) {
  setenv("LANG", "nl_NL.ISO-8859-15@euro", 1);
  char buffer[9];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "nl_NL.IS");
  unsetenv("LANG");
  std::strcpy(buffer, "keep");
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "keep");
}

TEST(TagLanguageFromCode, KnowsTheNineCodesOnly) {
  EXPECT_EQ(TagLanguageFromCode("ja"), 0);
  EXPECT_EQ(TagLanguageFromCode("ru"), 8);
  EXPECT_EQ(TagLanguageFromCode("RU"), -1);
  EXPECT_EQ(TagLanguageFromCode("pt"), -1);
  EXPECT_EQ(TagLanguageFromCode(""), -1);
}

}  // namespace
}  // namespace qv

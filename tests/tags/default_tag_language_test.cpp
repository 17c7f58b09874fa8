#include "tags/default_tag_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/preferred_language.h"

namespace qv {
namespace {

// Each step sets or clears one variable, in order; the language then in force.
TEST(DefaultTagLanguage, FromTheFirstLocaleVariableSet) {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  const std::tuple<const char*, const char*, int> steps[] = {
      {"LANG", nullptr, 2},        {"LANG", "ja", 0},      {"LANG", "ja_JP.UTF-8", 0},
      {"LANG", "ja-JP", 0},        {"LANG", "zh_TW", 1},   {"LANG", "zh-Hans", 1},
      {"LANG", "en_GB", 2},        {"LANG", "fr_FR", 3},   {"LANG", "de_DE.UTF-8", 4},
      {"LANG", "it", 5},           {"LANG", "es_ES", 6},   {"LANG", "nl_NL", 7},
      {"LANG", "pt_BR", 2},        {"LANG", "j", 2},       {"LANG", "C.UTF-8", 2},
      {"LANG", "POSIX", 2},        {"LANG", "", 2},        {"LANG", "ru_RU.UTF-8", 8},
      {"LC_MESSAGES", "de_DE", 4}, {"LC_ALL", "fr_FR", 3}, {"LANGUAGE", "ja:ru", 0},
      {"LANGUAGE", ":zh", 3},      {"LC_ALL", "C", 2},     {"LANGUAGE", nullptr, 2}};
  for (const auto& [name, value, language] : steps) {
    value ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(DefaultTagLanguage(), language) << name << "=" << (value ? value : "(unset)");
  }
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) unsetenv(name);
  setenv("LANG", "nl_NL.ISO-8859-15@euro", 1);
  char buffer[9] = "xxxxxxxx";
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "nl_NL.IS");
  unsetenv("LANG");
  EXPECT_EQ(GetPreferredLanguage(buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "nl_NL.IS");  // nothing set: left alone
  for (const auto& [code, language] :
       {std::pair{"ja", 0}, {"ru", 8}, {"RU", -1}, {"pt", -1}, {"", -1}})
    EXPECT_EQ(TagLanguageFromCode(code), language) << code;
}

}  // namespace
}  // namespace qv

#include "tags/default_tag_language.h"

#include <cstring>

#include "platform/preferred_language.h"
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"

namespace qv {

int TagLanguageFromCode(const char* code) {
  for (int i = 0; i < kTagLanguageCount; ++i) {
    if (std::strcmp(code, TagLanguageCodes[i]) == 0) return i;
  }
  if (std::strcmp(code, kTagLanguageAutoCode) == 0) return kTagLanguageAuto;
  return -1;
}

int DefaultTagLanguage() {
  char language[9] = {};
  GetPreferredLanguage(language, sizeof(language));
  // Only the language part matters: "ja_JP", "ja-JP" and "ja" all choose 0.
  language[2] = 0;
  int index = TagLanguageFromCode(language);
  return index < 0 ? 2 : index;
}

}  // namespace qv

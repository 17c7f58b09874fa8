// The tag language preset at start-up, from the user's preferred language.
#pragma once

namespace qv {

// The TagLanguage index (0..8) of the user's preferred language; 2 (English)
// when there is none or it is not one of the nine.
int DefaultTagLanguage();

// The name of the automatic choice where the languages have their codes.
inline constexpr const char* kTagLanguageAutoCode = "auto";

// The TagLanguage index of a two-letter code such as "ru" (kTagLanguageAuto
// for "auto"), or -1 when the code names no choice.
int TagLanguageFromCode(const char* code);

}  // namespace qv

// The automatic tag language: each file's 8-bit tag texts are read in the
// code page, among those of the tag languages (Shift-JIS, GB18030, CP1251,
// CP1252), that its texts were most likely written in. One program wrote a
// file's tags, so the choice is made once per file over all its 8-bit texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tags/text/text_encoding.h"

namespace qv {

// The TagLanguage index of the automatic choice, after the nine languages.
inline constexpr int kTagLanguageAuto = kTagLanguageCount;

inline constexpr int kCodePageCandidates = 4;

// The 8-bit texts of one file as the readers meet them, reduced to what the
// choice needs; lives on the reader's stack for the one file.
struct CodePageSurvey {
  static constexpr size_t kSampleBytes = 320;
  // Texts with a byte above 0x7F, one after another, each followed by "\n";
  // what does not fit is left out.
  char sample[kSampleBytes];
  size_t sample_bytes = 0;
  // Texts with a byte above 0x7F; plain ASCII reads the same in every
  // candidate and decides nothing.
  uint32_t texts = 0;
  // Per candidate, in the order above: texts it cannot decode.
  uint32_t invalid[kCodePageCandidates] = {};
};

// Adds one text of n bytes (it ends earlier at a zero byte). cut_off: the
// text filled a fixed-size field, so its last character may have been cut
// in half, which then does not count against a code page.
void SurveyText(CodePageSurvey* survey, const char* bytes, size_t n, bool cut_off);

// The CodePageTable name to read the surveyed texts in, or null when they are
// plain ASCII. Code pages that cannot decode every text are ruled out (when
// all are, those that fail on the fewest texts stay); among the rest the
// detector's answer wins, and where it names none of them the code page of
// fallback_language (0..8), then Shift-JIS, GB18030, CP1251, CP1252.
const char* ChooseCodePage(const CodePageSurvey& survey, int fallback_language);

}  // namespace qv

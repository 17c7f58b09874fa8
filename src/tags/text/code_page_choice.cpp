#include "tags/text/code_page_choice.h"

#include <uchardet.h>

#include <cstring>

namespace qv {
namespace {

// The candidates, by their CodePageTable names.
const char* const kCandidates[kCodePageCandidates] = {"SJIS", "GB18030", "CP1251", "CP1252"};

// Longer texts are judged by their start; the detector needs no more.
constexpr size_t kSurveyTextBytes = 256;

// The detector keeps its statistics from the first bytes it sees and will
// not judge a sample that is too short for them, however telling. A short
// sample is therefore given to it again and again up to this many bytes:
// the proportions it counts stay those of the sample.
constexpr size_t kDetectorBytes = 256;

// One detector per reading thread, made at its first file with text beyond
// ASCII and reset for every file after that.
class Detector {
 public:
  ~Detector() {
    if (handle_) uchardet_delete(handle_);
  }
  // The detector's name for the sample's encoding; "" when it has none.
  const char* Judge(const char* sample, size_t n) {
    if (!handle_) handle_ = uchardet_new();
    if (!handle_ || n == 0) return "";
    uchardet_reset(handle_);
    size_t fed = 0;
    while (fed < kDetectorBytes) {
      if (uchardet_handle_data(handle_, sample, n) != 0) break;
      fed += n;
    }
    uchardet_data_end(handle_);
    const char* name = uchardet_get_charset(handle_);
    return name ? name : "";
  }

 private:
  uchardet_t handle_ = nullptr;
};

thread_local Detector t_detector;

// The candidate a detector's answer stands for: the code page of the same
// language and script, -1 for one that none of them stands for (other
// scripts, UTF-8, or no answer). Latin-script answers are many for a sample
// of a few accented letters and all mean CP1252 here.
int CandidateOfDetected(const char* name) {
  static const struct {
    const char* name;
    int candidate;
  } kAnswers[] = {
      {"SHIFT_JIS", 0},         {"EUC-JP", 0},       {"GB18030", 1},
      {"WINDOWS-1251", 2},      {"KOI8-R", 2},       {"IBM866", 2},
      {"ISO-8859-5", 2},        {"MAC-CYRILLIC", 2}, {"IBM855", 2},
      {"WINDOWS-1252", 3},      {"ISO-8859-1", 3},   {"ISO-8859-15", 3},
      {"ISO-8859-2", 3},        {"ISO-8859-3", 3},   {"ISO-8859-4", 3},
      {"ISO-8859-9", 3},        {"ISO-8859-10", 3},  {"ISO-8859-13", 3},
      {"ISO-8859-16", 3},       {"WINDOWS-1250", 3}, {"WINDOWS-1257", 3},
      {"WINDOWS-1258", 3},      {"IBM852", 3},       {"IBM865", 3},
      {"MAC-CENTRALEUROPE", 3},
  };
  for (const auto& answer : kAnswers) {
    if (std::strcmp(name, answer.name) == 0) return answer.candidate;
  }
  return -1;
}

int CandidateOfLanguage(int language) {
  if (language < 0 || language >= kTagLanguageCount) return -1;
  for (int c = 0; c < kCodePageCandidates; ++c) {
    if (std::strcmp(CodePageTable[language], kCandidates[c]) == 0) return c;
  }
  return -1;
}

}  // namespace

void SurveyText(CodePageSurvey* survey, const char* bytes, size_t n, bool cut_off) {
  size_t len = 0;
  bool high = false;
  while (len < n && bytes[len] != 0) high |= static_cast<uint8_t>(bytes[len++]) >= 0x80;
  if (!high) return;
  if (len > kSurveyTextBytes) {
    len = kSurveyTextBytes;
    cut_off = true;
  }
  ++survey->texts;
  for (int c = 0; c < kCodePageCandidates; ++c) {
    const int64_t whole = WholeCharacterBytes(bytes, len, kCandidates[c]);
    if (whole < 0 || (!cut_off && whole != static_cast<int64_t>(len))) ++survey->invalid[c];
  }
  const size_t room = CodePageSurvey::kSampleBytes - survey->sample_bytes;
  if (len + 1 <= room) {
    std::memcpy(survey->sample + survey->sample_bytes, bytes, len);
    survey->sample[survey->sample_bytes + len] = '\n';
    survey->sample_bytes += len + 1;
  }
}

const char* ChooseCodePage(const CodePageSurvey& survey, int fallback_language) {
  if (survey.texts == 0) return nullptr;
  uint32_t fewest = survey.invalid[0];
  for (uint32_t invalid : survey.invalid) fewest = invalid < fewest ? invalid : fewest;
  auto stays = [&](int c) { return c >= 0 && survey.invalid[c] == fewest; };
  const int detected = CandidateOfDetected(t_detector.Judge(survey.sample, survey.sample_bytes));
  if (stays(detected)) return kCandidates[detected];
  const int preferred = CandidateOfLanguage(fallback_language);
  if (stays(preferred)) return kCandidates[preferred];
  for (int c = 0; c < kCodePageCandidates; ++c) {
    if (stays(c)) return kCandidates[c];
  }
  return kCandidates[kCodePageCandidates - 1];
}

}  // namespace qv

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
constexpr size_t kDetectorBytes = 64;

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

// One detector per reading thread, made at its first file with text beyond
// ASCII and reset for every file after that. The files of an album repeat
// their artist and album, often with nothing else beyond ASCII, so the last
// few verdicts are kept by their samples: the detector costs far more than
// the comparison.
class Detector {
 public:
  ~Detector() {
    if (handle_) uchardet_delete(handle_);
  }
  // The candidate the detector sees in the sample, -1 none.
  int Judge(const char* sample, size_t n) {
    for (const Verdict& v : verdicts_) {
      if (v.bytes == n && std::memcmp(v.sample, sample, n) == 0) return v.candidate;
    }
    if (!handle_) handle_ = uchardet_new();
    if (!handle_ || n == 0) return -1;
    uchardet_reset(handle_);
    size_t fed = 0;
    while (fed < kDetectorBytes) {
      if (uchardet_handle_data(handle_, sample, n) != 0) break;
      fed += n;
    }
    uchardet_data_end(handle_);
    const char* name = uchardet_get_charset(handle_);
    Verdict& v = verdicts_[next_];
    next_ = (next_ + 1) % kVerdicts;
    v.bytes = n;
    std::memcpy(v.sample, sample, n);
    v.candidate = CandidateOfDetected(name ? name : "");
    return v.candidate;
  }

 private:
  static constexpr int kVerdicts = 4;
  struct Verdict {
    size_t bytes = 0;  // 0: none yet (an empty sample is never judged)
    char sample[CodePageSurvey::kSampleBytes];
    int candidate = -1;
  };
  uchardet_t handle_ = nullptr;
  Verdict verdicts_[kVerdicts];
  int next_ = 0;
};

thread_local Detector t_detector;

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
  int staying = 0, last = 0;
  for (int c = 0; c < kCodePageCandidates; ++c) {
    if (stays(c)) ++staying, last = c;
  }
  if (staying == 1) return kCandidates[last];
  const int detected = t_detector.Judge(survey.sample, survey.sample_bytes);
  if (stays(detected)) return kCandidates[detected];
  const int preferred = CandidateOfLanguage(fallback_language);
  if (stays(preferred)) return kCandidates[preferred];
  for (int c = 0; c < kCodePageCandidates; ++c) {
    if (stays(c)) return kCandidates[c];
  }
  return kCandidates[kCodePageCandidates - 1];
}

}  // namespace qv

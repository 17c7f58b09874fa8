// Reads the tags of 10,000 generated MP3 files and 1,000 M4A files three
// ways, side by side in one run with a warm page cache:
//   GetTrackTags, the reader the library build uses;
//   a minimal reader that makes only the system calls any reader needs;
//   TagLib, a general-purpose tag library, when it was found at build time.
// Prints files per second for each and the ratios. The aim is GetTrackTags
// within 1.5 times the minimal reader's time and faster than TagLib.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "minimal_reader.h"
#include "tags/track_tags.h"

#ifdef QV_HAVE_TAGLIB
#include <fileref.h>
#include <tag.h>
#endif

namespace {

constexpr int kMp3Files = 10000;
constexpr int kM4aFiles = 1000;
constexpr int kRounds = 9;
constexpr int kEnglish = 2;

struct Reader {
  const char* name;
  // Reads one file; false when it could not.
  std::function<bool(const std::string&)> read;
  double best_seconds = 1e30;
  int failures = 0;
};

std::string g_root;

bool ReadWithGetTrackTags(const std::string& path) {
  qv::TrackTagsStorage storage;
  return qv::GetTrackTags(path.c_str(), &storage.tags, kEnglish, g_root.c_str()) == 0;
}

bool ReadMinimal(const std::string& path) {
  bool m4a = path.size() > 4 && path.compare(path.size() - 4, 4, ".m4a") == 0;
  return (m4a ? qv::bench::MinimalMp4Read(path.c_str()) : qv::bench::MinimalId3Read(path.c_str())) >
         0;
}

#ifdef QV_HAVE_TAGLIB
bool ReadWithTagLib(const std::string& path) {
  TagLib::FileRef file(path.c_str(), false);
  if (file.isNull() || !file.tag()) return false;
  const TagLib::Tag* tag = file.tag();
  // Take every field the library stores, as GetTrackTags does.
  size_t length =
      tag->title().size() + tag->artist().size() + tag->album().size() + tag->genre().size();
  return length + tag->track() > 0;
}
#endif

double TimePass(Reader& reader, const std::vector<std::string>& paths) {
  auto start = std::chrono::steady_clock::now();
  int failures = 0;
  for (const auto& path : paths)
    if (!reader.read(path)) ++failures;
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  reader.failures = failures;
  return took.count();
}

}  // namespace

int main() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvbench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  g_root = pattern + "/";
  std::printf("tags_bench: writing %d MP3 and %d M4A files under %s\n", kMp3Files, kM4aFiles,
              pattern.c_str());
  std::vector<std::string> paths = qv::bench::WriteBenchFiles(pattern, kMp3Files, kM4aFiles);
  if (paths.empty()) {
    std::fprintf(stderr, "tags_bench: cannot write the files\n");
    std::filesystem::remove_all(pattern);
    return 1;
  }

  std::vector<Reader> readers = {{"GetTrackTags", ReadWithGetTrackTags},
                                 {"minimal reader", ReadMinimal}};
#ifdef QV_HAVE_TAGLIB
  readers.push_back({"TagLib", ReadWithTagLib});
#endif
  // One pass each fills the page cache; then the rounds alternate readers so
  // that none profits from running last.
  for (auto& reader : readers) TimePass(reader, paths);
  for (int round = 0; round < kRounds; ++round)
    for (auto& reader : readers)
      reader.best_seconds = std::min(reader.best_seconds, TimePass(reader, paths));

  double files = static_cast<double>(paths.size());
  std::printf("%-16s %12s %12s %9s\n", "reader", "files/s", "us/file", "failures");
  for (const auto& reader : readers)
    std::printf("%-16s %12.0f %12.2f %9d\n", reader.name, files / reader.best_seconds,
                1e6 * reader.best_seconds / files, reader.failures);
  const Reader& ours = readers[0];
  std::printf("GetTrackTags time / minimal reader time: %.2f (aim: at most 1.50)\n",
              ours.best_seconds / readers[1].best_seconds);
  if (readers.size() > 2)
    std::printf("TagLib time / GetTrackTags time:         %.2f (aim: above 1.00)\n",
                readers[2].best_seconds / ours.best_seconds);
  else
    std::printf("TagLib was not found at build time; install libtag1-dev to compare.\n");

  std::filesystem::remove_all(pattern);
  return ours.failures == 0 ? 0 : 1;
}

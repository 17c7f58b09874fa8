// Builds a library from generated tags, engine only (no tag reading): the
// insertion, batch sorts, merges, spills, the finishing pass and the writes,
// into a temporary drive folder. Reports the wall time, the time of each
// phase and the peak resident size.
//
//   build_bench [tracks (150000)] [drive folder (a fresh temporary one)]
//   QV_BENCH_LONG=1 build_bench   every text as long as its slot allows
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "tags/track_tags.h"

namespace {

using Clock = std::chrono::steady_clock;

enum Phase { kInsert, kSort, kMerge, kWritePages, kFinishList, kTrees, kBrowseFiles, kPhaseCount };
const char* const kPhaseNames[kPhaseCount] = {
    "insert", "batch sort", "merge", "write pages", "finish ids", "browse trees", "browse files"};
double g_seconds[kPhaseCount] = {};

struct Timer {
  explicit Timer(Phase p) : phase(p), start(Clock::now()) {}
  ~Timer() { g_seconds[phase] += std::chrono::duration<double>(Clock::now() - start).count(); }
  Phase phase;
  Clock::time_point start;
};

uint32_t g_seed = 12345;
uint32_t Next(uint32_t range) {
  g_seed = g_seed * 1103515245u + 12345u;
  return (g_seed >> 8) % range;
}

// Writes ASCII text and, for some names, a run of kana so that a share of the
// records are stored in UTF-16 and take more room, as on a real drive.
void PutName(uint16_t* field, size_t bytes, const char* prefix, uint32_t number, bool wide) {
  char ascii[64];
  int n = std::snprintf(ascii, sizeof(ascii), "%s %u", prefix, number);
  size_t units = bytes / 2 - 1;
  size_t at = 0;
  for (int i = 0; i < n && at < units; ++i) field[at++] = static_cast<uint8_t>(ascii[i]);
  for (uint32_t i = 0; wide && i < 12 && at < units; ++i)
    field[at++] = static_cast<uint16_t>(0x30A2 + (number + i) % 80);
  field[at] = 0;
}

// QV_BENCH_LONG=1: every name, title and path as long as its slot allows, the
// drive that decides the peak memory of a build.
const bool g_long = std::getenv("QV_BENCH_LONG") != nullptr;

void Lengthen(uint16_t* field, size_t bytes) {
  size_t at = 0;
  while (field[at] != 0) ++at;
  for (; at < bytes / 2 - 1; ++at) field[at] = static_cast<uint16_t>('a' + at % 26);
  field[at] = 0;
}

void MakeTags(qv::TrackTagsStorage* s, uint32_t i) {
  uint32_t artist = Next(9000);
  uint32_t album = artist * 3 + Next(3);
  bool wide = artist % 4 == 0;
  PutName(s->genre, qv::kGenreBytes, "Genre", Next(60), false);
  PutName(s->artist, qv::kArtistBytes, "Artist", artist, wide);
  PutName(s->album, qv::kAlbumBytes, "Album", album, wide);
  PutName(s->title, qv::kTitleBytes, "Title of the song", i, wide);
  char path[160];
  int n =
      std::snprintf(path, sizeof(path), "/Music/Artist %u/Album %u/%02u Title of the song %u.mp3",
                    artist, album, i % 20 + 1, i);
  for (int k = 0; k <= n; ++k) s->path[k] = static_cast<uint8_t>(path[k]);
  if (g_long) {
    Lengthen(s->genre, qv::kGenreBytes);
    Lengthen(s->artist, qv::kArtistBytes);
    Lengthen(s->album, qv::kAlbumBytes);
    Lengthen(s->title, qv::kTitleBytes);
    Lengthen(s->path, qv::kPathBytes);
  }
  s->tags.FileSize = 3000000 + Next(5000000);
  s->tags.Reserved1 = 0xFFFFFFFF;
  s->tags.Reserved2 = 0xFFFFFFFF;
  s->tags.TrackNumber = static_cast<uint16_t>(i % 20 + 1);
  s->tags.Reserved3 = 0xFFFF;
  s->tags.Reserved4AndFileType = 0x00FFFFFF | (static_cast<uint32_t>(qv::kFileTypeMp3) << 24);
}

bool SortAndMerge(qv::LibraryBuilder* b, int final_flag) {
  for (uint16_t c = qv::kGenre; c <= qv::kTitle; ++c) {
    {
      Timer t(kSort);
      if (qv::SortBatch(b, c) != 1) return false;
    }
    Timer t(kMerge);
    if (qv::MergeBatch(b, b->batch_tracks, final_flag) != 1) return false;
  }
  return true;
}

bool WriteBatch(qv::LibraryBuilder* b) {
  Timer t(kWritePages);
  if (qv::WriteTrackPages(b) != 1) return false;
  qv::ResetBatch(b);
  return true;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Build(const std::string& drive, uint32_t tracks) {
  if (qv::OpenBuild(drive.c_str(), qv::kFileSystemFat) != qv::kEngineOk) return 1;
  qv::LibraryBuilder* b = qv::TheBuildContext().builder;
  uint32_t spills = 0;
  qv::TrackTagsStorage storage;
  for (uint32_t i = 0; i < tracks; ++i) {
    MakeTags(&storage, i);
    int added;
    {
      Timer t(kInsert);
      added = qv::AddTrackRecord(b, &storage.tags);
    }
    if (added == 1) {
      qv::TheBuildContext().spilled = 1;
      if (!SortAndMerge(b, 0) || !WriteBatch(b)) return 2;
      ++spills;
    }
    if (added == 2) break;
  }
  if (b->batch_tracks > 0) {
    if (!SortAndMerge(b, 1) || !WriteBatch(b)) return 3;
  } else {
    Timer t(kMerge);
    if (qv::FlushBuild(1) != qv::kEngineOk) return 3;
  }
  if (qv::TheBuildContext().spilled != 0) {
    Timer t(kFinishList);
    if (qv::FinishTrackList(b) != 1) return 4;
  }
  {
    Timer t(kTrees);
    for (uint16_t c = qv::kGenre; c <= qv::kAlbum; ++c) {
      if (qv::BuildCategoryTree(b, c) != 1) return 5;
    }
  }
  {
    Timer t(kBrowseFiles);
    if (qv::WriteBrowseFiles(b) != 1) return 6;
  }
  std::printf("tracks %u, batches spilled %u, genres %u, artists %u, albums %u\n", b->total_tracks,
              spills, b->distinct_names[0], b->distinct_names[1], b->distinct_names[2]);
  qv::CloseBuild();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t tracks =
      argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : qv::kMaxTracks;
  std::filesystem::path drive;
  bool temporary = argc <= 2;
  if (temporary) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "qv-build-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    drive = pattern;
  } else {
    drive = argv[2];
  }
  auto start = Clock::now();
  int result = Build(drive.string(), tracks);
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  if (result != 0) {
    std::printf("build failed at stage %d\n", result);
    qv::CloseBuild();
  }
  std::filesystem::path dir = drive / "QUORVEN" / "LIBRARY";
  for (const char* name : {qv::kTrackFileName, qv::kBrowseFileName, qv::kIndexFileName}) {
    std::error_code ec;
    auto size = std::filesystem::file_size(dir / name, ec);
    std::printf("%-8s %12llu bytes\n", name, ec ? 0ull : static_cast<unsigned long long>(size));
  }
  int slowest = 0;
  for (int p = 0; p < kPhaseCount; ++p) {
    std::printf("%-13s %8.3f s\n", kPhaseNames[p], g_seconds[p]);
    if (g_seconds[p] > g_seconds[slowest]) slowest = p;
  }
  std::printf("wall          %8.3f s (tag generation included)\n", wall);
  std::printf("slowest phase %s\n", kPhaseNames[slowest]);
  std::printf("peak RSS      %8.1f MB\n", PeakRssKb() / 1024.0);
  if (temporary) std::filesystem::remove_all(drive);
  return result;
}

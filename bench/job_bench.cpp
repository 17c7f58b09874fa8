// Runs `qvlib create` on a generated drive of 100,000 files (90,000 MP3 with
// ID3v2.3 and ID3v1, 10,000 M4A) in an artist/album tree, side by side with
// a minimal reader that walks the same tree and makes only the system calls
// any tag reader needs; then `qvlib update` on the same drive with nothing to
// change, and once more after 1% of the files went away and 1% new ones came.
// Prints wall time, files per second and peak memory of each, and the
// ratios; then the peak memory of a create of 45,000 tracks with long names
// and paths, and a create of 20,000 files against the minimal reader. Run as root, it also times a
// create and the minimal reader from a cold page cache (dropped before each run). The aims: create
// and the unchanged update within 1.5 times the minimal reader's time, the cold create within 0.6
// times the cold minimal reader's, and every job under 64 MB of peak resident memory.
//
//   job_bench [FILES] [FOLDER]   (defaults: 100000, a fresh temporary folder;
//                                 a FOLDER that already holds files is reused)
//   QV_BENCH_LANG=auto job_bench  the jobs' --lang (default: the locale's)
#include <dirent.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "minimal_reader.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;

// The tree walk of the scan, with the minimal read of each audio file.
int64_t WalkAndRead(const std::string& dir, int64_t* files) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return 0;
  int64_t bytes = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = dir + "/" + e->d_name;
    if (e->d_type == DT_DIR) {
      bytes += WalkAndRead(path, files);
    } else if (e->d_type == DT_REG) {
      const size_t n = std::strlen(e->d_name);
      const bool m4a = n > 4 && std::strcmp(e->d_name + n - 4, ".m4a") == 0;
      const int64_t r =
          m4a ? qv::bench::MinimalMp4Read(path.c_str()) : qv::bench::MinimalId3Read(path.c_str());
      if (r > 0) {
        bytes += r;
        ++*files;
      }
    }
  }
  closedir(d);
  return bytes;
}

struct Run {
  double seconds = 1e30;
  long peak_kb = 0;
  int status = -1;
};

// Empties the page cache so that every file costs a trip to the device;
// false when that is not allowed (not root).
bool DropPageCache() {
  if (geteuid() != 0) return false;
  sync();
  FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
  if (f == nullptr) return false;
  const bool ok = std::fputs("3\n", f) >= 0;
  return std::fclose(f) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The audio files below dir, in walk order; the library is not one of them.
void ListFiles(const std::string& dir, std::vector<std::string>* out) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = dir + "/" + e->d_name;
    if (e->d_type == DT_DIR && std::strcmp(e->d_name, "QUORVEN") != 0) ListFiles(path, out);
    if (e->d_type == DT_REG) out->push_back(path);
  }
  closedir(d);
}

// The name that hides a file from the scan: a leading dot.
fs::path Hidden(const fs::path& p) {
  std::string name(".");
  name += p.filename().string();
  return p.parent_path() / name;
}

// One qvlib job (create or update) on the drive, in a child process: its
// wall time, exit status and peak resident memory.
Run JobOnce(const std::string& qvlib, const std::string& drive, const char* command) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "r", stdin);
    freopen("/dev/null", "w", stderr);
    freopen("/dev/null", "w", stdout);
    // QV_BENCH_LANG names the tag language (auto included); else the locale's.
    const char* lang = std::getenv("QV_BENCH_LANG");
    if (lang != nullptr && *lang != 0) {
      execl(qvlib.c_str(), "qvlib", command, drive.c_str(), "--fs", "fat", "--yes", "--lang", lang,
            nullptr);
    }
    execl(qvlib.c_str(), "qvlib", command, drive.c_str(), "--fs", "fat", "--yes", nullptr);
    _exit(127);
  }
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  Run r;
  r.seconds = Seconds(start);
  r.peak_kb = usage.ru_maxrss;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

// A fresh temporary folder for a drive of the bench's own.
std::string TempDrive(const char* name) {
  std::string pattern = (fs::temp_directory_path() / name).string() + "-XXXXXX";
  return mkdtemp(pattern.data());
}

// The peak memory of a create on 45,000 tracks whose names, titles and paths
// are as long as the library keeps them.
void LongNameCreateRow(const std::string& qvlib) {
  const std::string drive = TempDrive("qvlong");
  qv::bench::WriteLongNameFiles(drive, 45000);
  const Run r = JobOnce(qvlib, drive, "create");
  std::printf("%-26s %8.3f %12.0f %10.1f%s\n", "create, 45,000 long names", r.seconds,
              45000 / r.seconds, r.peak_kb / 1024.0, r.status == 0 ? "" : " (failed)");
  std::printf("long-name create peak under 64 MB: %s\n",
              r.status == 0 && r.peak_kb < 64 * 1024 ? "yes" : "no");
  std::fflush(stdout);  // before the next child inherits the buffer
  fs::remove_all(drive);
}

// The fixed costs of a job show on a small drive: a create of 20,000 files
// against the minimal reader on the same files, the best of a few rounds.
void SmallCreateRow(const std::string& qvlib) {
  const std::string drive = TempDrive("qvsmall");
  qv::bench::WriteBenchFiles(drive, 18000, 2000);
  int64_t found = 0;
  WalkAndRead(drive, &found);
  double minimal = 1e30;
  Run create;
  for (int round = 0; round < kRounds; ++round) {
    found = 0;
    const auto start = std::chrono::steady_clock::now();
    WalkAndRead(drive, &found);
    minimal = std::min(minimal, Seconds(start));
    fs::remove_all(fs::path(drive) / "QUORVEN");
    const Run r = JobOnce(qvlib, drive, "create");
    if (r.status != 0 || r.seconds < create.seconds) create = r;
    if (r.status != 0) break;
  }
  std::printf("%-26s %8.3f %12.0f\n", "minimal reader, 20,000", minimal, found / minimal);
  std::printf("%-26s %8.3f %12.0f %10.1f%s\n", "qvlib create, 20,000", create.seconds,
              found / create.seconds, create.peak_kb / 1024.0,
              create.status == 0 ? "" : " (failed)");
  std::printf("ratio create / minimal, 20,000 files: %.2f (aim: at most 1.3)\n",
              create.seconds / minimal);
  std::fflush(stdout);
  fs::remove_all(drive);
}

// The update that follows 1% of the files going and 1% coming, against a
// create of the same drive.
void PrintUpdateRatio(const Run& changed, const Run& create) {
  std::printf("ratio update with 1%% removed and 1%% added / create: %.2f (aim: at most 0.8)\n",
              changed.seconds / create.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int m4a = files / 10;
  std::string drive;
  bool made = false;
  if (argc > 2) {
    drive = argv[2];
    std::error_code error;
    fs::create_directories(drive, error);
    if (error) {
      std::fprintf(stderr, "job_bench: cannot make %s: %s\n", drive.c_str(),
                   error.message().c_str());
      return 1;
    }
  } else {
    std::string pattern = (fs::temp_directory_path() / "qvjob-XXXXXX").string();
    drive = mkdtemp(pattern.data());
    made = true;
  }
  const std::string qvlib =
      (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src/cli/qvlib").string();
  if (!fs::exists(qvlib)) {
    std::fprintf(stderr, "job_bench: %s is not built\n", qvlib.c_str());
    return 1;
  }
  if (made || fs::is_empty(drive)) {
    std::printf("job_bench: writing %d MP3 and %d M4A files into %s\n", files - m4a, m4a,
                drive.c_str());
    std::fflush(stdout);
    qv::bench::WriteBenchFiles(drive, files - m4a, m4a);
  }

  // Warm the page cache, then take the best of a few rounds of each.
  int64_t found = 0;
  WalkAndRead(drive, &found);
  double minimal = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    found = 0;
    const auto start = std::chrono::steady_clock::now();
    WalkAndRead(drive, &found);
    minimal = std::min(minimal, Seconds(start));
  }
  rusage self{};
  getrusage(RUSAGE_SELF, &self);

  Run create;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(fs::path(drive) / "QUORVEN");
    const Run r = JobOnce(qvlib, drive, "create");
    if (r.status != 0 || r.seconds < create.seconds) create = r;
    if (r.status != 0) break;
  }
  // An update with nothing to change can be repeated: the best of a few, as
  // for the minimal reader.
  Run same = create;
  for (int round = 0; round < kRounds && create.status == 0; ++round) {
    const Run r = JobOnce(qvlib, drive, "update");
    if (r.status != 0 || r.seconds < same.seconds || round == 0) same = r;
    if (r.status != 0) break;
  }
  // 1% of the files hidden from the scan (a leading dot) and 1% new copies.
  std::vector<std::string> all;
  ListFiles(drive, &all);
  std::vector<std::string> hidden, added;
  for (size_t i = 0; i < all.size(); i += 100) {
    const fs::path p(all[i]);
    hidden.push_back(all[i]);
    fs::rename(p, Hidden(p));
    added.push_back((p.parent_path() / ("new " + p.filename().string())).string());
    fs::copy_file(all[i + 1 < all.size() ? i + 1 : 0], added.back());
  }
  // Like the create, the best of a few rounds: each starts from the same
  // library, put back from a copy, with the drive's writes of the changes
  // (and of the copy) flushed first so that no round pays for them.
  const fs::path library = fs::path(drive) / "QUORVEN";
  const fs::path saved = fs::path(TempDrive("qvsaved")) / "QUORVEN";
  fs::copy(library, saved, fs::copy_options::recursive);
  Run changed = same;
  for (int round = 0; round < kRounds && same.status == 0; ++round) {
    fs::remove_all(library);
    fs::copy(saved, library, fs::copy_options::recursive);
    sync();
    const Run r = JobOnce(qvlib, drive, "update");
    if (r.status != 0 || r.seconds < changed.seconds || round == 0) changed = r;
    if (r.status != 0) break;
  }
  fs::remove_all(saved.parent_path());
  for (const std::string& path : hidden) {
    fs::rename(Hidden(path), path);
  }
  for (const std::string& path : added) fs::remove(path);
  if (changed.status != 0) {
    std::fprintf(stderr, "job_bench: qvlib exited %d (create), %d, %d (updates)\n", create.status,
                 same.status, changed.status);
    return 1;
  }

  std::printf("%-26s %8s %12s %10s\n", "", "seconds", "files/s", "peak MB");
  std::printf("%-26s %8.3f %12.0f %10.1f\n", "minimal reader walk", minimal, found / minimal,
              self.ru_maxrss / 1024.0);
  auto row = [found](const char* name, const Run& r) {
    std::printf("%-26s %8.3f %12.0f %10.1f\n", name, r.seconds, found / r.seconds,
                r.peak_kb / 1024.0);
  };
  row("qvlib create", create);
  row("qvlib update, no change", same);
  row("qvlib update, 1% -, 1% +", changed);
  const long peak_kb = std::max({create.peak_kb, same.peak_kb, changed.peak_kb});
  std::printf("ratio create / minimal: %.2f, unchanged update / minimal: %.2f (aim: at most 1.5)\n",
              create.seconds / minimal, same.seconds / minimal);
  PrintUpdateRatio(changed, create);
  std::printf("peak under 64 MB: %s\n", peak_kb < 64 * 1024 ? "yes" : "no");
  std::fflush(stdout);
  LongNameCreateRow(qvlib);
  SmallCreateRow(qvlib);

  // Cold: the best of a few rounds, the cache dropped before each run.
  double cold_minimal = 1e30;
  double cold_create = 1e30;
  bool cold = true;
  for (int round = 0; cold && round < kRounds; ++round) {
    cold = DropPageCache();
    if (!cold) break;
    found = 0;
    const auto start = std::chrono::steady_clock::now();
    WalkAndRead(drive, &found);
    cold_minimal = std::min(cold_minimal, Seconds(start));
    fs::remove_all(fs::path(drive) / "QUORVEN");
    cold = DropPageCache();
    const Run r = JobOnce(qvlib, drive, "create");
    if (r.status != 0) {
      std::fprintf(stderr, "job_bench: cold qvlib create exited %d\n", r.status);
      return 1;
    }
    cold_create = std::min(cold_create, r.seconds);
  }
  if (!cold) {
    std::printf("cold figures skipped: dropping the page cache needs root\n");
  } else {
    std::printf("%-26s %8.3f %12.0f\n", "cold minimal reader", cold_minimal, found / cold_minimal);
    std::printf("%-26s %8.3f %12.0f\n", "cold qvlib create", cold_create, found / cold_create);
    std::printf("ratio cold create / cold minimal: %.2f (aim: at most 0.6)\n",
                cold_create / cold_minimal);
  }
  if (made) fs::remove_all(drive);
  return 0;
}

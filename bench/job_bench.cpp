// Runs `qvlib create` on a generated drive of 100,000 files (90,000 MP3 with
// ID3v2.3 and ID3v1, 10,000 M4A) in an artist/album tree, side by side with
// a minimal reader that walks the same tree and makes only the system calls
// any tag reader needs. Prints wall time, files per second and peak memory
// of each, and the ratio. The aim: qvlib within 1.5 times the minimal
// reader's time, and under 64 MB of peak resident memory.
//
// Run as root, it also drops the page cache before a cold run of each (a
// stick just plugged in): the minimal reader one file after another, and
// qvlib with its tag readers. The aim there: qvlib at most 0.6 times the
// sequential reader. Otherwise the cold figures are skipped.
//
//   job_bench [FILES] [FOLDER]   (defaults: 100000, a fresh temporary folder;
//                                 a FOLDER that already holds files is reused)
#include <dirent.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_files.h"
#include "minimal_reader.h"

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 3;
constexpr int kCreateRounds = 3;  // best of three, like the minimal reader

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

// One qvlib create on the drive, in a child process: its wall time, exit
// status and peak resident memory.
Run CreateOnce(const std::string& qvlib, const std::string& drive) {
  fs::remove_all(fs::path(drive) / "QUORVEN");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "r", stdin);
    freopen("/dev/null", "w", stderr);
    freopen("/dev/null", "w", stdout);
    execl(qvlib.c_str(), "qvlib", "create", drive.c_str(), "--fs", "fat", "--yes", nullptr);
    _exit(127);
  }
  int raw = 0;
  rusage usage{};
  wait4(pid, &raw, 0, &usage);
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peak_kb = usage.ru_maxrss;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int m4a = files / 10;
  std::string drive;
  bool made = false;
  if (argc > 2) {
    drive = argv[2];
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
    minimal = std::min(
        minimal, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  rusage self{};
  getrusage(RUSAGE_SELF, &self);

  Run best;
  long peak_kb = 0;
  for (int round = 0; round < kCreateRounds; ++round) {
    const Run r = CreateOnce(qvlib, drive);
    if (r.status != 0) {
      std::fprintf(stderr, "job_bench: qvlib create exited %d\n", r.status);
      return 1;
    }
    if (r.seconds < best.seconds) best = r;
    peak_kb = std::max(peak_kb, r.peak_kb);
  }

  std::printf("%-22s %8s %12s %10s\n", "", "seconds", "files/s", "peak MB");
  std::printf("%-22s %8.3f %12.0f %10.1f\n", "minimal reader walk", minimal, found / minimal,
              self.ru_maxrss / 1024.0);
  std::printf("%-22s %8.3f %12.0f %10.1f\n", "qvlib create", best.seconds, found / best.seconds,
              peak_kb / 1024.0);
  std::printf("ratio qvlib / minimal: %.2f (aim: at most 1.5); peak under 64 MB: %s\n",
              best.seconds / minimal, peak_kb < 64 * 1024 ? "yes" : "no");
  std::fflush(stdout);

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
    const Run r = CreateOnce(qvlib, drive);
    if (r.status != 0) {
      std::fprintf(stderr, "job_bench: cold qvlib create exited %d\n", r.status);
      return 1;
    }
    cold_create = std::min(cold_create, r.seconds);
  }
  if (!cold) {
    std::printf("cold figures skipped: dropping the page cache needs root\n");
  } else {
    std::printf("%-22s %8.3f %12.0f\n", "cold minimal reader", cold_minimal, found / cold_minimal);
    std::printf("%-22s %8.3f %12.0f\n", "cold qvlib create", cold_create, found / cold_create);
    std::printf("ratio cold qvlib / cold minimal: %.2f (aim: at most 0.6)\n",
                cold_create / cold_minimal);
  }
  if (made) fs::remove_all(drive);
  return 0;
}

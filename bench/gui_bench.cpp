// Times a create on a generated drive of 20,000 files (18,000 MP3, 2,000
// M4A) through the windows of the desktop application, offscreen and without
// the pauses that only pace the display, against `qvlib create` on the same
// drive. The window's time runs from "OK" to the start question until the
// finish alert shows; qvlib's is the whole process. The aim: the window within
// 1.2 times qvlib.
//
//   gui_bench [FILES] [ROUNDS]   (defaults: 20000, 3; the best round counts)
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_files.h"
#include "gui/make_start.h"
#include "library/files/library_files.h"

namespace {

namespace fs = std::filesystem;

QMessageBox* OpenAlert() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) return box;
  return nullptr;
}

QMessageBox* WaitForAlert() {
  for (;;) {
    if (QMessageBox* box = OpenAlert()) return box;
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// One create through the windows: seconds from "OK" to the finish alert.
double WindowCreate(const std::string& drive) {
  qv::gui::ControllerSetup setup;
  setup.mounted_volumes = nullptr;
  setup.extra_drives = {{drive, "STICK", qv::kFileSystemFat}};
  setup.settings = qv::JobSettings::Immediate();
  qv::gui::MakeStart c(std::move(setup));
  c.applicationWillFinishLaunching();
  c.applicationDidFinishLaunching();
  c.outlets().VolumeNames->setCurrentIndex(0);
  c.outlets().Start->click();
  QMessageBox* question = WaitForAlert();
  QElapsedTimer timer;
  timer.start();
  question->defaultButton()->click();
  QApplication::processEvents();
  while (OpenAlert() == nullptr || OpenAlert() == question)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = timer.nsecsElapsed() / 1e9;
  const bool done = OpenAlert()->informativeText().endsWith("files are processed.");
  OpenAlert()->defaultButton()->click();
  while (!c.driver()->Finished()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done ? seconds : -1;
}

double QvlibCreate(const std::string& qvlib, const std::string& drive) {
  QElapsedTimer timer;
  timer.start();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stderr);
    freopen("/dev/null", "w", stdout);
    execl(qvlib.c_str(), "qvlib", "create", drive.c_str(), "--fs", "fat", "--yes", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? timer.nsecsElapsed() / 1e9 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
  const std::string qvlib = (bin / "src/cli/qvlib").string();
  const std::string drive =
      (fs::temp_directory_path() / ("qvgui-" + std::to_string(getpid()))).string();
  fs::create_directories(drive);
  qv::bench::WriteBenchFiles(drive, files - files / 10, files / 10);
  double window = 1e9, cli = 1e9;
  for (int r = 0; r < rounds; ++r) {
    // Alternating, so that both meet the same page cache and the same load.
    fs::remove_all(drive + "/QUORVEN");
    const double w = WindowCreate(drive);
    fs::remove_all(drive + "/QUORVEN");
    const double q = QvlibCreate(qvlib, drive);
    if (w < 0 || q < 0) {
      std::fprintf(stderr, "gui_bench: a create failed (window %.3f, qvlib %.3f)\n", w, q);
      fs::remove_all(drive);
      return 1;
    }
    window = std::min(window, w), cli = std::min(cli, q);
  }
  fs::remove_all(drive);
  std::printf("%-22s %8s %12s\n", "create of", "seconds", "files/s");
  std::printf("%-22s %8.3f %12.0f\n", "the window", window, files / window);
  std::printf("%-22s %8.3f %12.0f\n", "qvlib", cli, files / cli);
  std::printf("window / qvlib: %.2f (aim: at most 1.2)\n", window / cli);
  return 0;
}

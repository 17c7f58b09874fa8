// library-creator: the desktop application. Paths given at launch are the
// items opened on it (a file manager opening a drive with it); without them
// the main window opens.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

#include "controller/make_start.h"
#include "controller/screenshot_tour.h"
#include "job/drive_check.h"

namespace {

// Opened items and volumes name a folder the way the mount table does:
// absolute, without a trailing "/".
std::string MountStyle(const QString& path) {
  const QFileInfo info(path);
  const QString full = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
  return QDir::cleanPath(full).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Writes the music library of the player onto a removable drive (FAT or HFS).");
  parser.addHelpOption();
  parser.addOption({"volume",
                    "Lists the folder PATH as a mounted volume of the file-system type TYPE "
                    "(msdos or hfs), for a staging copy of a drive. Repeatable.",
                    "PATH:TYPE"});
  parser.addOption({"screenshots",
                    "Walks through a job on the first drive given with --volume "
                    "and saves pictures of each step into DIR, then quits.",
                    "DIR"});
  parser.addPositionalArgument("DRIVE", "Runs one job on the drive mounted at DRIVE, then quits.",
                               "[DRIVE...]");
  // Help is answered before the application connects to the display, so a
  // terminal without one gets it too.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "library-creator")),
                 stdout);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Library Creator");
  QApplication::setQuitOnLastWindowClosed(false);
  parser.process(app);

  qv::gui::ControllerSetup setup;
  for (const QString& value : parser.values("volume")) {
    const qsizetype colon = value.lastIndexOf(':');
    if (colon <= 0) {
      std::fprintf(stderr, "library-creator: --volume wants PATH:TYPE, not %s\n",
                   qPrintable(value));
      return 64;
    }
    const std::string path = MountStyle(value.left(colon));
    const std::string type = value.mid(colon + 1).toStdString();
    setup.extra_drives.push_back(
        qv::gui::Drive{path, qv::LastPathComponent(path), qv::CheckFileSystem(type.c_str())});
  }
  const QString tour_dir = parser.value("screenshots");
  if (!tour_dir.isEmpty()) setup.engine = qv::gui::PacedEngine();

  qv::gui::MakeStart controller(std::move(setup));
  // exit, not quit: quit would ask the windows to close first, and the
  // windows hand a close request back to the controller.
  QObject::connect(
      &controller, &qv::gui::MakeStart::terminate, &app, [] { QCoreApplication::exit(0); },
      Qt::QueuedConnection);
  controller.applicationWillFinishLaunching();
  const QStringList opened = parser.positionalArguments();
  if (!opened.isEmpty()) {
    QStringList paths;
    for (const QString& p : opened) paths << QString::fromStdString(MountStyle(p));
    controller.applicationOpenFiles(paths);
  }
  controller.applicationDidFinishLaunching();
  if (!tour_dir.isEmpty()) qv::gui::StartScreenshotTour(&controller, tour_dir);
  return app.exec();
}

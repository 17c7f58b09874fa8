// library-creator: the desktop application. Paths given at launch are the
// items opened on it (a file manager opening a drive with it); without them
// the main window opens.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "gui/make_start.h"
#include "gui/quit_signals.h"
#ifdef QV_SCREENSHOT_TOUR
#include "gui/screenshot_tour.h"
#endif
#include "job/drive_check.h"

namespace {

constexpr int kExitUsage = 64;

// Opened items and volumes name a folder the way the mount table does:
// absolute, without a trailing "/".
std::string MountStyle(const QString& path) {
  const QFileInfo info(path);
  const QString full = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
  return QDir::cleanPath(full).toStdString();
}

QString Tr(const char* text) {
  return QCoreApplication::translate("CommandLine", text);
}

struct Launch {
  qv::gui::ControllerSetup setup;
  QStringList opened;
  QString tour_dir;
};

// Reads the arguments without a display: help, the version and every mistake
// are answered on the terminal before any window could open. -1 to go on,
// else the exit status.
int ReadArguments(const QStringList& arguments, Launch* launch) {
  QCommandLineParser parser;
  parser.setApplicationDescription(Tr(QT_TRANSLATE_NOOP(
      "CommandLine",
      "Writes the music library of the player onto a removable drive (FAT or HFS).")));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addOption({"volume",
                    Tr(QT_TRANSLATE_NOOP(
                        "CommandLine",
                        "Lists the folder PATH as a mounted volume of the file-system type TYPE "
                        "(msdos or hfs), for a staging copy of a drive. Repeatable.")),
                    "PATH:TYPE"});
#ifdef QV_SCREENSHOT_TOUR
  parser.addOption(
      {"screenshots",
       Tr(QT_TRANSLATE_NOOP("CommandLine",
                            "Walks through a job on the first drive given with --volume "
                            "and saves pictures of each step into DIR, then quits.")),
       "DIR"});
#endif
  parser.addPositionalArgument(
      "DRIVE",
      Tr(QT_TRANSLATE_NOOP("CommandLine",
                           "Runs one job on the drive mounted at DRIVE, then quits.")),
      "[DRIVE]");
  auto fail = [](const QString& message) {
    std::fprintf(stderr, "library-creator: %s\n", qPrintable(message));
    std::fprintf(
        stderr, "%s\n",
        qPrintable(Tr(QT_TRANSLATE_NOOP("CommandLine", "Try 'library-creator --help' for more."))));
    return kExitUsage;
  };
  if (!parser.parse(arguments)) return fail(parser.errorText());
  if (parser.isSet(help) || arguments.contains("--help-all")) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("library-creator %s\n", QV_VERSION);
    return 0;
  }
  for (const QString& value : parser.values("volume")) {
    const qsizetype colon = value.lastIndexOf(':');
    const QString folder = value.left(colon);
    const uint32_t kind = qv::CheckFileSystem(value.mid(colon + 1).toUtf8().constData());
    if (colon <= 0 || kind == 0) {
      return fail(Tr(QT_TRANSLATE_NOOP("CommandLine",
                                       "--volume wants PATH:TYPE with TYPE msdos or hfs, not %1"))
                      .arg(value));
    }
    if (!QFileInfo(folder).isDir())
      return fail(Tr(QT_TRANSLATE_NOOP("CommandLine", "--volume: %1 is not a folder")).arg(folder));
    const std::string path = MountStyle(folder);
    launch->setup.extra_drives.push_back(qv::gui::Drive{path, qv::LastPathComponent(path), kind});
  }
  launch->opened = parser.positionalArguments();
  // One job runs on one drive.
  if (launch->opened.size() > 1)
    return fail(Tr(QT_TRANSLATE_NOOP("CommandLine", "one DRIVE at most, not %1"))
                    .arg(launch->opened.size()));
#ifdef QV_SCREENSHOT_TOUR
  launch->tour_dir = parser.value("screenshots");
#endif
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  Launch launch;
  {
    // No display yet: the arguments are read with the translations alone.
    QCoreApplication reader(argc, argv);
    QCoreApplication::setApplicationVersion(QV_VERSION);
    qv::gui::InstallTranslations(&reader);
    const int status = ReadArguments(QCoreApplication::arguments(), &launch);
    if (status >= 0) return status;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Library Creator");
  QApplication::setApplicationVersion(QV_VERSION);
  QGuiApplication::setDesktopFileName("org.librarycreator.LibraryCreator");
  QApplication::setWindowIcon(qv::gui::AppIcon());
  QApplication::setQuitOnLastWindowClosed(false);
  qv::gui::InstallTranslations(&app);

#ifdef QV_SCREENSHOT_TOUR
  if (!launch.tour_dir.isEmpty()) {
    // One file at a time, paced, so that a picture catches the job halfway.
    launch.setup.engine = qv::gui::PacedEngine();
    launch.setup.settings.tag_readers = 1;
  }
#endif
  qv::gui::MakeStart controller(std::move(launch.setup));
  // exit, not quit: quit would ask the windows to close first, and the
  // windows hand a close request back to the controller.
  QObject::connect(
      &controller, &qv::gui::MakeStart::terminate, &app,
      [](int status) { QCoreApplication::exit(status); }, Qt::QueuedConnection);
  qv::gui::WatchQuitSignals(&controller,
                            [&controller](int signal) { controller.Terminate(signal); });
  controller.applicationWillFinishLaunching();
  if (!launch.opened.isEmpty()) {
    QStringList paths;
    for (const QString& p : launch.opened) paths << QString::fromStdString(MountStyle(p));
    controller.applicationOpenFiles(paths);
  }
  controller.applicationDidFinishLaunching();
#ifdef QV_SCREENSHOT_TOUR
  if (!launch.tour_dir.isEmpty()) qv::gui::StartScreenshotTour(&controller, launch.tour_dir);
#endif
  return app.exec();
}

// The application's controller driven as a user drives it, offscreen: drives
// are folders listed as volumes, alerts are answered by clicking their buttons.
#include "gui/make_start.h"

#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <memory>

#include "gui/quit_signals.h"
#include "job/drive_lock.h"
#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::gui {
namespace {

namespace fs = std::filesystem;

// Slow enough that Cancel can be pressed while files are handled.
int SlowAdd(const char* path, int language) {
  SleepMicroseconds(100000);
  return LibraryEngine().AddFileToBuild(path, language);
}
int SlowMatch(const char* file, const char* drive) {
  return SleepMicroseconds(100000), LibraryEngine().MatchFoundFile(file, drive);
}

QMessageBox* VisibleBox() {
  for (int waited = 0; waited < 15000; waited += 20) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) return box;
    QTest::qWait(20);
  }
  return nullptr;
}

// Clicks the button named answer on the open alert; its informative text,
// and after a "|" the details it shows.
QString Answer(const char* answer) {
  QMessageBox* box = VisibleBox();
  if (box == nullptr) return "(no alert)";
  QString text = box->informativeText();
  if (auto* details = box->findChild<QLabel*>("qv_alert_details"))
    text += "|" + details->text().remove(QChar(0x200B));
  for (QAbstractButton* b : box->buttons())
    if (b->text() == answer) b->click();
  QTest::qWait(20);
  return text;
}

const char* const kLibraryFiles[] = {"QVDB.DB", "QVTL.DB", "QVBL.DB"};

// A drive of songs tagged by one artist, named name, listed as a volume of kind.
struct TestDrive {
  test::TempDir dir;
  std::string path;
  TestDrive(const std::string& name, int songs) : path((dir.path() / name).string()) {
    for (int s = 0; s < songs; ++s) {
      const test::Bytes tag = test::Id3v1Tag({.title = "Song " + std::to_string(s), .artist = "A"});
      dir.Write(name + "/Music/" + std::to_string(s) + ".mp3",
                test::Id3Join({test::AudioFiller(2000), tag}));
    }
    fs::create_directories(path);
  }
  bool HasLibrary() const { return fs::exists(path + "/QUORVEN/LIBRARY/QVDB.DB"); }
};

// The volumes "mounted" on the machine, as a test plugs and unplugs them.
std::vector<MountedVolume> g_mounted;

std::unique_ptr<MakeStart> Launch(std::vector<Drive> drives, bool watch_mounts = false,
                                  int readers = 1) {
  ControllerSetup setup;
  setup.mounted_volumes = watch_mounts ? +[] { return g_mounted; } : nullptr;
  setup.extra_drives = std::move(drives);
  setup.settings = JobSettings::Immediate();
  setup.settings.tag_readers = readers;  // 1: one file at a time, each slowed down
  if (readers == 1) setup.engine.AddFileToBuild = SlowAdd, setup.engine.MatchFoundFile = SlowMatch;
  setup.mount_poll_ms = 20;
  auto c = std::make_unique<MakeStart>(std::move(setup));
  c->applicationWillFinishLaunching();
  return c;
}

const QString kSettings = "\n\n    Selected Drive : STICK\n    ID Tag Language : German";
const QString kAsk =
    "Are you sure you would like to %1 the library using these settings?" + kSettings;

}  // namespace

class MakeStartTest : public QObject {
  Q_OBJECT
 private slots:
  void DriveCheckSetsTheChoiceAndTheQuestion_data() {
    QTest::addColumn<int>("library_files");
    QTest::addColumn<int>("kind");          // 2: HFS, and Create is chosen
    QTest::addColumn<QString>("question");  // empty: Start stays disabled
    QTest::newRow("no library") << 0 << 1 << kAsk.arg("create");
    QTest::newRow("two of three files") << 2 << 1 << kAsk.arg("create");
    QTest::newRow("library") << 3 << 1 << kAsk.arg("update");
    QTest::newRow("HFS library, Create chosen") << 3 << 2 << "A previous Library has been located on "
        "the selected drive!\nAre you sure you want to overwrite this?" + kSettings;
    QTest::newRow("neither FAT nor HFS") << 0 << 0 << QString();
  }
  void DriveCheckSetsTheChoiceAndTheQuestion() {
    QFETCH(int, library_files);
    QFETCH(int, kind);
    QFETCH(QString, question);
    TestDrive d("STICK", 1);
    for (int i = 0; i < library_files; ++i)
      d.dir.Write(std::string("STICK/QUORVEN/LIBRARY/") + kLibraryFiles[i], {1});
    if (kind == 2) fs::rename(d.path + "/QUORVEN", d.path + "/.QUORVEN");
    auto c = Launch({{"/nowhere", "GONE", 1}, {d.path, "STICK", static_cast<uint32_t>(kind)}});
    c->applicationDidFinishLaunching();
    const Outlets& o = c->outlets();
    QVERIFY(!o.Start->isEnabled() && !o.CreateButton->isChecked() && !o.UpdateButton->isChecked());
    o.ConboLang->setCurrentIndex(4);
    o.VolumeNames->setCurrentIndex(1);
    const bool library = library_files == 3;
    QVERIFY(o.Start->isEnabled() == !question.isEmpty() && o.RadioButton->isEnabled() == o.Start->isEnabled());
    QVERIFY(o.CreateButton->isChecked() == (!question.isEmpty() && !library) &&
            o.UpdateButton->isChecked() == library && c->NowPath() == d.path);
    if (question.isEmpty()) return;
    QCOMPARE(o.UpdateButton->isEnabled(), library);
    if (kind == 2) o.CreateButton->setChecked(true);
    o.Start->click();
    QVERIFY(VisibleBox()->windowModality() == Qt::WindowModal && Answer("Cancel") == question);
    QVERIFY(c->driver() == nullptr && o.MainWindow->isVisible() &&
            fs::exists(d.path + "/QUORVEN") == (library_files > 0 && kind == 1));
  }

  void MountsMoveOrDropTheSelectedDrive() {
    TestDrive b("B", 0);
    g_mounted = {{"/dev/null/a", "vfat", "tmpfs"}};
    auto c = Launch({{b.path, "B", 1}}, true);
    const Outlets& o = c->outlets();
    o.VolumeNames->setCurrentIndex(1);
    g_mounted.push_back({"/dev/null/c", "vfat", "tmpfs"});
    QTRY_COMPARE(o.VolumeNames->count(), 3);
    QVERIFY(o.VolumeNames->currentText() == "B" && c->ComboSelectVolume() == 2 &&
            o.VolumeNames->currentIndex() == 2 && o.Start->isEnabled());
    // Dismissing a list puts back the committed choice over a mere highlight.
    o.ConboLang->setCurrentIndex(7);
    for (auto [box, chosen] : {std::pair{o.VolumeNames, 2}, {o.ConboLang, 7}}) {
      QSignalBlocker quiet(box);
      box->setCurrentIndex(1 - chosen % 2);
      quiet.unblock();
      emit box->willDismiss(box);
      QCOMPARE(box->currentIndex(), chosen);
    }
    // Another drive unplugged: the list keeps the chosen drive, whatever its place.
    g_mounted.erase(g_mounted.begin());
    QTRY_COMPARE(o.VolumeNames->count(), 2);
    emit o.VolumeNames->willDismiss(o.VolumeNames);
    QVERIFY(o.VolumeNames->currentIndex() == 1 && c->NowPath() == b.path);
    QVERIFY(o.VolumeNames->toolTip().contains("Mount path: " + QString::fromStdString(b.path)));
    c->extra_drives().clear();
    QTRY_COMPARE(o.VolumeNames->count(), 1);
    emit o.VolumeNames->willDismiss(o.VolumeNames);
    QVERIFY(o.VolumeNames->placeholderText() == "Please Select Drive." &&
            o.VolumeNames->currentIndex() == -1 && c->ComboSelectVolume() == -1);
    QVERIFY(!o.Start->isEnabled() && !o.RadioButton->isEnabled() && c->NowPath().empty());
    o.VolumeNames->setCurrentIndex(0);  // a drive that cannot take a library says why
    QVERIFY(o.DriveProblem->text().contains("not usable: cannot be examined"));
    g_mounted.push_back({"/dev/null/d", "vfat", "tmpfs"});  // the first place is kept too
    QTRY_VERIFY(o.VolumeNames->count() == 2 && o.VolumeNames->currentIndex() == 0);
  }

  // One job through the windows, answered as the script says: "Cancel:No"
  // presses Cancel while files are handled and answers the question.
  void JobThroughTheWindows_data() {
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("finish");  // empty: the job fails, the drive keeps no library
    QTest::newRow("create") << QStringList{} << "8 files are processed.";
    QTest::newRow("cancel No then Yes") << QStringList{"Cancel:No", "Cancel:Yes"} << "";
    QTest::newRow("skip") << QStringList{"Skip"} << "8 files are processed.";
    QTest::newRow("abort") << QStringList{"Abort"} << "";
  }
  void JobThroughTheWindows() {
    QFETCH(QStringList, script);
    QFETCH(QString, finish);
    TestDrive d("STICK", script.contains("Cancel:No") ? 30 : 8);  // time to answer twice
    if (script.contains("Skip") || script.contains("Abort")) d.dir.Write("STICK/Music/zz.mp3", {});
    auto c = Launch({{d.path, "STICK", 1}}, false, script.isEmpty() ? kDefaultTagReaders : 1);
    c->applicationDidFinishLaunching();
    const Outlets& o = c->outlets();
    o.VolumeNames->setCurrentIndex(0);
    QVERIFY(QTest::qWaitForWindowActive(o.MainWindow));
    o.ConboLang->setCurrentIndex(9);  // the tenth choice, a code page per file
    QTest::keyClick(o.MainWindow, Qt::Key_Return);  // Enter starts
    QVERIFY(Answer("OK").endsWith("ID Tag Language : Automatic"));
    QVERIFY(o.RunWindow->isVisible() && !o.MainWindow->isVisible() && o.RunMessage->text() == "Creating..");
    for (const QString& step : script) {
      if (step.startsWith("Cancel:")) {
        QTRY_VERIFY_WITH_TIMEOUT(o.Process->text().toInt() > 0 && o.Cancel->isEnabled(), 10000);
        o.RunWindow->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(o.RunWindow));
        QTest::keyClick(o.RunWindow, Qt::Key_Escape);  // Escape asks, as Cancel does
        QVERIFY(!o.Cancel->isEnabled());
        QVERIFY(Answer(step.mid(7).toUtf8()).startsWith("Are you sure you want to Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(o.Cancel->isEnabled(), step.endsWith("No"), 3000);
      } else {
        QTRY_VERIFY_WITH_TIMEOUT(o.FileNameView->toPlainText().endsWith("zz.mp3"), 10000);
        QVERIFY(VisibleBox() && o.RimainTime->text() == "--:--");
        // The path in view when the alert opened; after the answer the job
        // goes on to the next file.
        const QString shown = o.FileNameView->toPlainText();
        const QString alert = Answer(step.toUtf8());
        QVERIFY(alert.startsWith("Cannot open a file."));
        QVERIFY(alert.endsWith("|" + shown));
      }
    }
    if (!finish.isEmpty()) {
      QCOMPARE(Answer("Finish"), finish);
      QCOMPARE(o.RunWindow->windowTitle() + " " + o.Total->text(),
               QString("100% STICK ") + (script.isEmpty() ? "8" : "9"));
      QVERIFY(o.Progress->value() == o.Progress->maximum() &&
              test::RunQvlib({"check", d.path, "--fs", "fat", "--created"}).status == 0);
      TestDrive copy("STICK", 8);
      QVERIFY(test::RunQvlib({"create", copy.path, "--fs", "fat", "--yes"}).status == 0);
      for (const char* f : kLibraryFiles)  // a plain create, with qvlib's readers: qvlib's bytes
        QVERIFY(!script.isEmpty() || test::ReadFileBytes(d.path + "/QUORVEN/LIBRARY/" + f) ==
                                         test::ReadFileBytes(copy.path + "/QUORVEN/LIBRARY/" + f));
    }
    QTRY_VERIFY_WITH_TIMEOUT(c->driver()->Finished(), 10000);
    QTRY_VERIFY(o.MainWindow->isVisible() && !o.RunWindow->isVisible() && o.VolumeNames->currentIndex() == -1);
    QVERIFY(d.HasLibrary() == !finish.isEmpty() && !o.Start->isEnabled() && !o.CreateButton->isChecked());
  }

  void OpenedItemsRunOneJobOrExplainWhyNot_data() {
    // "$" stands for the drive's path; "ext4" makes it unusable, "Cancel"
    // answers the start question.
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QString>("alert");
    QTest::newRow("one drive") << QStringList{"$"} << "";
    QTest::newRow("one drive, Cancel") << QStringList{"$", "Cancel"} << "";
    QTest::newRow("two drives") << QStringList{"$", "$"}
                                << "Cannot make the library for multiple devices.\nError Code : E-05";
    QTest::newRow("folder") << QStringList{"$/Music"}
                            << "Can only create a Library in the Root Drectory.\nError Code : E-01";
    QTest::newRow("unusable") << QStringList{"$", "ext4"}
                              << "[50% <b>off] is not supported device.\nError Code : E-06|"
                                 "not usable: not FAT or HFS";
  }
  void OpenedItemsRunOneJobOrExplainWhyNot() {
    QFETCH(QStringList, opened);
    QFETCH(QString, alert);
    TestDrive d("STICK", 2);
    const uint32_t kind = opened.removeAll("ext4") > 0 ? 0 : 1;
    const bool decline = opened.removeAll("Cancel") > 0;
    auto c = Launch({{d.path, "50% <b>off", kind}});
    QSignalSpy quit(c.get(), &MakeStart::terminate);
    opened.replaceInStrings("$", QString::fromStdString(d.path));
    c->applicationOpenFiles(opened);
    c->applicationDidFinishLaunching();
    QVERIFY(c->RunFlag() == kAutomaticMode && VisibleBox()->windowModality() == Qt::ApplicationModal);
    if (alert.isEmpty()) {
      QVERIFY(Answer(decline ? "Cancel" : "OK").contains("Selected Drive : 50% <b>off"));
      if (!decline)
        QVERIFY(Answer("Finish") == "2 files are processed." &&
                c->outlets().RunWindow->windowTitle() == "100% 50% <b>off");
    } else {
      QCOMPARE(Answer("OK"), alert);
    }
    QTRY_COMPARE(quit.count(), 1);  // with the error code of a refusal, as qvlib
    QCOMPARE(quit[0][0].toInt(), alert.isEmpty() ? decline * 130 : alert.section("E-", 1).left(2).toInt());
    QVERIFY(!c->outlets().MainWindow->isVisible() && d.HasLibrary() == (alert.isEmpty() && !decline));
  }

  // SIGTERM in an update cancels it: the old library back byte for byte,
  // nothing of the job left, the signal in the status. A drive another job
  // holds, or a damaged library, is refused with that cause under the alert.
  void SignalOrBusyDriveLeavesTheLibrary_data() {
    QTest::addColumn<QString>("alert");  // empty: SIGTERM
    QTest::newRow("SIGTERM") << QString();
    QTest::newRow("drive held by another job") << "Error occurred while writing library file.\n"
        "Error Code : E-04|Another job is running on this drive; nothing was changed.";
    QTest::newRow("damaged library") << "; Create rebuilds the library";
  }
  void SignalOrBusyDriveLeavesTheLibrary() {
    QFETCH(QString, alert);
    TestDrive d("STICK", 6);
    QVERIFY(test::RunQvlib({"create", d.path, "--fs", "fat", "--yes"}).status == 0);
    d.dir.Write("STICK/Music/new.mp3", test::Id3Join({test::AudioFiller(2000)}));
    const std::string library = d.path + "/QUORVEN/LIBRARY/";
    if (std::vector<uint8_t> bytes = test::ReadFileBytes(library + "QVBL.DB"); alert.endsWith("library"))
      bytes[bytes.size() - 2] ^= 0x7F, test::WriteFileBytes(library + "QVBL.DB", bytes);
    std::vector<std::vector<uint8_t>> before;
    for (const char* file : kLibraryFiles) before.push_back(test::ReadFileBytes(library + file));
    const int lock = alert.contains("E-04") ? LockLibraryDrive((d.path + "/").c_str(), 1) : -1;
    auto c = Launch({{d.path, "STICK", 1}});
    QSignalSpy quit(c.get(), &MakeStart::terminate);
    WatchQuitSignals(c.get(), [&c](int signal) { c->Terminate(signal); });
    c->outlets().VolumeNames->setCurrentIndex(0), c->outlets().Start->click(), Answer("OK");
    if (!alert.isEmpty()) {
      QVERIFY(Answer("OK").endsWith(alert));
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(c->outlets().Process->text().toInt() > 0, 10000);
      std::raise(SIGTERM);
      QTRY_COMPARE_WITH_TIMEOUT(quit.count(), 1, 10000);
      QCOMPARE(quit[0][0].toInt(), 128 + SIGTERM);
    }
    QTRY_VERIFY_WITH_TIMEOUT(c->driver()->Finished(), 10000);
    UnlockLibraryDrive(lock);
    for (size_t i = 0; i < 3; ++i)
      QVERIFY(test::ReadFileBytes(library + kLibraryFiles[i]) == before[i]);
    for (const char* left : {"QVTA.LST", "QVDB.DB.bak", "QVTL.DB.bak", "QVBL.DB.bak"})
      QVERIFY2(!fs::exists(library + left), left);
  }
};

}  // namespace qv::gui

QTEST_MAIN(qv::gui::MakeStartTest)
#include "make_start_test.moc"

// The main window: launch, the drive and language lists kept in step with the
// mounted volumes, the drive check behind the Create/Update choice, the start
// question, and the launch by opening a drive (AutomaticMode).
#include "gui/make_start.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <map>

#include "gui/alerts.h"
#include "job/backup.h"
#include "job/error_codes.h"
#include "job/file_list.h"
#include "tags/default_tag_language.h"

namespace qv::gui {
namespace {

void Centre(QWidget* window) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    window->move(screen->availableGeometry().center() - window->rect().center());
  }
}

// Room for a long drive name in the list; the rest is elided.
constexpr int kShownNameChars = 40;

}  // namespace

MakeStart::MakeStart(ControllerSetup setup) : setup_(std::move(setup)), o_(BuildWindows()) {
  connect(o_.VolumeNames, &QComboBox::currentIndexChanged, this, &MakeStart::actChangeDevice);
  connect(o_.ConboLang, &QComboBox::currentIndexChanged, this, &MakeStart::actChangeLang);
  for (ListBox* box : {o_.VolumeNames, o_.ConboLang})
    connect(box, &ListBox::willDismiss, this, &MakeStart::comboBoxWillDismiss);
  connect(o_.Start, &QPushButton::clicked, this, &MakeStart::actMakeStart);
  connect(o_.Cancel, &QPushButton::clicked, this, &MakeStart::actMakeCancel);
  connect(o_.MainWindow, &AppWindow::closeRequested, this, &MakeStart::actClose);
  connect(o_.RunWindow, &AppWindow::closeRequested, this, &MakeStart::actMakeCancel);
  // Enter starts from anywhere in the main window; Escape and the window's
  // close button ask the cancel question of a running job.
  for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
    connect(new QShortcut(QKeySequence(key), o_.MainWindow), &QShortcut::activated, o_.Start,
            &QPushButton::animateClick);
  }
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), o_.RunWindow), &QShortcut::activated, this,
          &MakeStart::actMakeCancel);
  const QKeySequence quit(Qt::CTRL | Qt::Key_Q);
  connect(new QShortcut(quit, o_.MainWindow), &QShortcut::activated, this, &MakeStart::actClose);
  connect(new QShortcut(quit, o_.RunWindow), &QShortcut::activated, this, [this] {
    // Asked first: the answer "Yes" cancels the job, which then ends the application.
    if (!o_.Cancel->isEnabled()) return;
    quit_if_cancelled_ = true;
    actMakeCancel();
  });
}

MakeStart::~MakeStart() {
  // A job still running when the application goes is cancelled, so its thread
  // restores the library rather than wait for answers nobody will give.
  closing_.store(true, std::memory_order_release);
  finish_open_.store(false, std::memory_order_release);
  finish_open_.notify_all();
  if (driver_ != nullptr) {
    Store(state_.Canceling, true);
    Store(state_.CancelFlag, true);
    driver_->Answer(kAnswerAlternate);
    driver_.reset();
  }
  FileListClear();
  delete o_.RunWindow;
  delete o_.MainWindow;
}

std::vector<Drive> MakeStart::Drives() const {
  std::vector<Drive> drives;
  if (setup_.mounted_volumes != nullptr) {
    for (const MountedVolume& v : setup_.mounted_volumes()) {
      drives.push_back(Drive{v.mount_path, VolumeDisplayName(v), 0});
    }
  }
  drives.insert(drives.end(), setup_.extra_drives.begin(), setup_.extra_drives.end());
  return drives;
}

QString UiText(const char* text) {
  return QCoreApplication::translate("MakeStart", text);
}

QString DriveCheckText(const DriveCheckResult& r) {
  if (r.check == kDriveHasLibrary) return UiText(QT_TRANSLATE_NOOP("MakeStart", "library present"));
  if (r.check == kDriveNoLibrary) return UiText(QT_TRANSLATE_NOOP("MakeStart", "no library"));
  switch (r.problem) {
    case DriveProblem::kReadOnly:
      return UiText(QT_TRANSLATE_NOOP("MakeStart", "not usable: read-only"));
    case DriveProblem::kStartupVolume:
      return UiText(QT_TRANSLATE_NOOP("MakeStart", "not usable: start-up volume"));
    case DriveProblem::kNotFatOrHfs:
      return UiText(QT_TRANSLATE_NOOP("MakeStart", "not usable: not FAT or HFS"));
    default:
      return UiText(QT_TRANSLATE_NOOP("MakeStart", "not usable: cannot be examined"));
  }
}

void MakeStart::FillDriveList() {
  listed_ = Drives();
  std::map<std::string, int> names;
  for (const Drive& d : listed_) ++names[d.name];
  const QFontMetrics metrics(o_.VolumeNames->font());
  const int room = metrics.averageCharWidth() * kShownNameChars;
  // Filled quietly: the first item added would otherwise count as chosen.
  const QSignalBlocker quiet(o_.VolumeNames);
  o_.VolumeNames->clear();
  for (const Drive& d : listed_) {
    const QString name = QString::fromStdString(d.name);
    const QString path = QString::fromStdString(d.path);
    // Two drives of one name are told apart by where they are mounted.
    QString shown = names[d.name] > 1 ? QString("%1 (%2)").arg(name, path) : name;
    shown = metrics.elidedText(shown, Qt::ElideMiddle, room);
    DriveCheckResult r =
        qv::MakeCheck(d.path.c_str(), d.kind_override, setup_.engine.CheckExistingLibrary);
    if (d.path == "/") r.check = kDriveNotUsable, r.problem = DriveProblem::kStartupVolume;
    o_.VolumeNames->addItem(shown);
    o_.VolumeNames->setItemData(
        o_.VolumeNames->count() - 1,
        UiText(QT_TRANSLATE_NOOP("MakeStart", "%1\nMount path: %2\nFile system: %3\n%4"))
            .arg(name, path, QString::fromUtf8(r.file_system), DriveCheckText(r)),
        Qt::ToolTipRole);
  }
  o_.VolumeNames->setCurrentIndex(-1);
  o_.VolumeNames->setToolTip(QString());
}

void MakeStart::SetChoice(bool enabled, bool create, bool update) {
  o_.RadioButton->setEnabled(enabled);
  // Both cells off needs the group's exclusivity lifted for a moment.
  auto* group = o_.CreateButton->group();
  group->setExclusive(false);
  o_.CreateButton->setChecked(create);
  o_.UpdateButton->setChecked(update);
  group->setExclusive(true);
}

void MakeStart::ShowDriveProblem(int check, const DriveCheckResult& result) {
  o_.DriveProblem->setVisible(check == kDriveNotUsable);
  if (check == kDriveNotUsable) {
    o_.DriveProblem->setText(
        UiText(QT_TRANSLATE_NOOP("MakeStart", "This drive cannot take a library (%1)."))
            .arg(DriveCheckText(result)));
  }
}

void MakeStart::ClearSelection() {
  o_.VolumeNames->setPlaceholderText(
      UiText(QT_TRANSLATE_NOOP("MakeStart", "Please Select Drive.")));
  o_.Start->setEnabled(false);
  SetChoice(false, false, false);
  o_.DriveProblem->hide();
  o_.VolumeNames->setToolTip(QString());
}

void MakeStart::applicationWillFinishLaunching() {
  run_flag_ = kLaunching;
  FileListInit();
  ClearBackupPaths();
  Centre(o_.MainWindow);
  Centre(o_.RunWindow);
  now_path_.clear();
  FillDriveList();
  if (setup_.mounted_volumes != nullptr && setup_.mount_poll_ms > 0) {
    // The mount table has no change signal worth trusting everywhere; a
    // comparison once a second notices a stick within that second.
    mount_timer_ = new QTimer(this);
    connect(mount_timer_, &QTimer::timeout, this, [this] {
      if (Drives() != listed_) didMount();
    });
    mount_timer_->start(setup_.mount_poll_ms);
  }
  o_.ConboLang->setCurrentIndex(DefaultTagLanguage());
  combo_select_lang_ = o_.ConboLang->currentIndex();
  o_.Start->setEnabled(false);
  SetChoice(false, false, false);
}

void MakeStart::applicationDidFinishLaunching() {
  if (run_flag_ == kAutomaticMode) return;
  run_flag_ = kInteractive;
  o_.MainWindow->show();
  o_.MainWindow->update();
}

void MakeStart::didMount() {
  const bool had_selection = o_.VolumeNames->currentIndex() >= 0;
  const std::string noted = now_path_;
  FillDriveList();
  if (had_selection) {
    const int32_t idx = CheckPath(noted);
    if (idx >= 0) {
      {
        const QSignalBlocker quiet(o_.VolumeNames);
        o_.VolumeNames->setCurrentIndex(idx);
      }
      actChangeDevice();
    } else {
      ClearSelection();
      now_path_.clear();
    }
  }
  o_.MainWindow->update();
}

int32_t MakeStart::ComboSelectVolume() const {
  for (size_t i = 0; i < listed_.size(); ++i) {
    if (!now_path_.empty() && listed_[i].path == now_path_) return static_cast<int32_t>(i);
  }
  return -1;
}

// The committed choice is a drive, known by its mount path, not a place in
// the list: a dismissed list shows that drive again, or none.
void MakeStart::comboBoxWillDismiss(ListBox* box) {
  if (box == o_.VolumeNames) {
    box->setCurrentIndex(ComboSelectVolume());
  } else if (box == o_.ConboLang) {
    box->setCurrentIndex(combo_select_lang_);
  }
}

void MakeStart::actChangeDevice() {
  const int idx = o_.VolumeNames->currentIndex();
  if (idx < 0 || static_cast<size_t>(idx) >= listed_.size()) {
    o_.Start->setEnabled(false);
    SetChoice(false, false, false);
    o_.DriveProblem->hide();
    now_path_.clear();
    return;
  }
  // The drive the person saw in the list, not whatever is at that place now.
  const std::string path = listed_[idx].path;
  const int r = MakeCheck(path);
  now_path_ = path;
  o_.VolumeNames->setToolTip(o_.VolumeNames->itemData(idx, Qt::ToolTipRole).toString());
  ShowDriveProblem(r, last_check_);
  if (r == kDriveHasLibrary) {
    o_.Start->setEnabled(true);
    SetChoice(true, false, true);
    o_.UpdateButton->setEnabled(true);
  } else if (r == kDriveNoLibrary) {
    o_.Start->setEnabled(true);
    SetChoice(true, true, false);
    o_.UpdateButton->setEnabled(false);
  } else {
    o_.Start->setEnabled(false);
    SetChoice(false, false, false);
  }
  o_.MainWindow->update();
}

void MakeStart::actChangeLang() {
  combo_select_lang_ = o_.ConboLang->currentIndex();
}

int32_t MakeStart::CheckPath(const std::string& path) const {
  const std::vector<Drive> drives = Drives();
  for (size_t i = 0; i < drives.size(); ++i) {
    if (drives[i].path == path) return static_cast<int32_t>(i);
  }
  return -1;
}

int MakeStart::MakeCheck(const std::string& path) {
  uint32_t kind = 0;
  for (const Drive& d : listed_) {
    if (d.path == path) kind = d.kind_override;
  }
  last_check_ = qv::MakeCheck(path.c_str(), kind, setup_.engine.CheckExistingLibrary);
  // Not even a folder named as a volume may put a library on the start-up volume.
  if (path == "/") {
    last_check_.check = kDriveNotUsable;
    last_check_.problem = DriveProblem::kStartupVolume;
  }
  return last_check_.check;
}

void MakeStart::actMakeStart() {
  const int idx = ComboSelectVolume();
  if (!o_.Start->isEnabled() || idx < 0) return;
  const QString drive = QString::fromStdString(listed_[idx].name);
  const QString language = o_.ConboLang->currentText();
  make_path_ = now_path_;
  std::snprintf(state_.VolumeName, sizeof state_.VolumeName, "%s", listed_[idx].name.c_str());
  QString question;
  if (!o_.CreateButton->isChecked()) {
    question = UiText(QT_TRANSLATE_NOOP(
        "MakeStart",
        "Are you sure you would like to update the library using these settings?\n\n"
        "\tSelected Drive : %1\n\tID Tag Language : %2"));
  } else if (setup_.engine.CheckExistingLibrary((make_path_ + "/").c_str(),
                                                CheckFileSystem(last_check_.file_system)) != 0) {
    question = UiText(QT_TRANSLATE_NOOP(
        "MakeStart",
        "Are you sure you would like to create the library using these settings?\n\n"
        "\tSelected Drive : %1\n\tID Tag Language : %2"));
  } else {
    question = UiText(QT_TRANSLATE_NOOP(
        "MakeStart",
        "A previous Library has been located on the selected drive!\nAre you sure you "
        "want to overwrite this?\n\n\tSelected Drive : %1\n\tID Tag Language : %2"));
  }
  // Both at once, so that a "%2" in the drive's name stays as it is.
  question = question.arg(drive, language);
  QWidget* window = run_flag_ == kAutomaticMode ? nullptr : o_.MainWindow;
  gui::OpenAlert(window, question, UiText(QT_TRANSLATE_NOOP("MakeStart", "OK")),
                 UiText(QT_TRANSLATE_NOOP("MakeStart", "Cancel")), QString(),
                 [this](int answer) { alertDidEnd(answer); });
}

void MakeStart::alertDidEnd(int answer) {
  if (answer == kAnswerDefault) {
    StartJob();
  } else if (run_flag_ == kAutomaticMode) {
    Quit(kExitCancelled);
  }
}

void MakeStart::actClose() {
  Quit(0);
}

void MakeStart::Quit(int status) {
  emit terminate(status);
}

void MakeStart::applicationOpenFiles(const QStringList& paths) {
  if (run_flag_ != kLaunching) return;
  run_flag_ = kAutomaticMode;
  if (paths.size() != 1) {
    OutputError(kErrorMultipleDevices, "");
    return;
  }
  const std::string path = paths[0].toStdString();
  const int32_t idx = CheckPath(path);
  if (idx == -1) {
    OutputError(kErrorNotRoot, "");
    return;
  }
  o_.VolumeNames->setCurrentIndex(idx);
  const int r = MakeCheck(path);
  if (r == kDriveNotUsable) {
    OutputError(kErrorUnsupportedDevice, listed_[idx].name.c_str());
    return;
  }
  o_.Start->setEnabled(true);
  SetChoice(true, r == kDriveNoLibrary, r == kDriveHasLibrary);
  o_.UpdateButton->setEnabled(r == kDriveHasLibrary);
  actMakeStart();
}

bool MakeStart::OutputError(int code, const char* path) {
  o_.Cancel->setEnabled(false);
  const QString text = AlertText(code, QString::fromUtf8(path));
  if (text.isEmpty()) return false;
  QString details;
  if (code == kErrorUnsupportedDevice) details = DriveCheckText(last_check_);
  QWidget* window = run_flag_ == kAutomaticMode ? nullptr : o_.MainWindow;
  gui::OpenAlert(window, text, UiText(QT_TRANSLATE_NOOP("MakeStart", "OK")), QString(), details,
                 [this, code](int) {
                   if (run_flag_ == kAutomaticMode) Quit(code);
                 });
  return false;
}

}  // namespace qv::gui

// The meta-object code of the header, compiled with its class.
#include "moc_make_start.cpp"

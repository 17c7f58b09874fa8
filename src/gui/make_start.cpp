// The main window: launch, the drive and language lists kept in step with the
// mounted volumes, the drive check behind the Create/Update choice, the start
// question, and the launch by opening a drive (AutomaticMode).
#include "controller/make_start.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <cstdio>

#include "controller/alerts.h"
#include "job/backup.h"
#include "job/drive_check.h"
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

}  // namespace

MakeStart::MakeStart(ControllerSetup setup) : setup_(std::move(setup)), o_(BuildWindows()) {
  connect(o_.VolumeNames, &QComboBox::currentIndexChanged, this, [this] { actChangeDevice(); });
  connect(o_.ConboLang, &QComboBox::currentIndexChanged, this, [this] { actChangeLang(); });
  for (ListBox* box : {o_.VolumeNames, o_.ConboLang}) {
    connect(box, &ListBox::willDismiss, this, [this, box] { comboBoxWillDismiss(box); });
  }
  connect(o_.Start, &QPushButton::clicked, this, [this] { actMakeStart(); });
  connect(o_.Cancel, &QPushButton::clicked, this, [this] { actMakeCancel(); });
  connect(o_.MainWindow, &AppWindow::closeRequested, this, [this] { actClose(); });
}

MakeStart::~MakeStart() {
  // A job still running when the application goes is cancelled, so its thread
  // restores the library rather than wait for answers nobody will give.
  closing_.store(true, std::memory_order_release);
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

void MakeStart::FillDriveList() {
  listed_ = Drives();
  // Filled quietly: the first item added would otherwise count as chosen.
  const QSignalBlocker quiet(o_.VolumeNames);
  o_.VolumeNames->clear();
  for (const Drive& d : listed_) o_.VolumeNames->addItem(QString::fromStdString(d.name));
  o_.VolumeNames->setCurrentIndex(-1);
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

void MakeStart::ClearSelection() {
  o_.VolumeNames->setPlaceholderText("Please Select Drive.");
  o_.Start->setEnabled(false);
  SetChoice(false, false, false);
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
  combo_select_volume_ = -1;
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
    combo_select_volume_ = idx;
  }
  o_.MainWindow->update();
}

void MakeStart::comboBoxWillDismiss(ListBox* box) {
  if (box == o_.VolumeNames && combo_select_volume_ >= 0) {
    box->setCurrentIndex(combo_select_volume_);
  } else if (box == o_.ConboLang) {
    box->setCurrentIndex(combo_select_lang_);
  }
}

void MakeStart::actChangeDevice() {
  const int idx = o_.VolumeNames->currentIndex();
  if (idx < 0) {
    o_.Start->setEnabled(false);
    SetChoice(false, false, false);
    now_path_.clear();
    return;
  }
  combo_select_volume_ = idx;
  const std::vector<Drive> drives = Drives();
  const std::string path = static_cast<size_t>(idx) < drives.size() ? drives[idx].path : "";
  const int r = MakeCheck(path);
  now_path_ = path;
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
  for (const Drive& d : Drives()) {
    if (d.path == path) kind = d.kind_override;
  }
  const DriveCheckResult r = qv::MakeCheck(path.c_str(), kind, setup_.engine.CheckExistingLibrary);
  file_system_ = r.file_system;
  // Not even a folder named as a volume may put a library on the start-up volume.
  if (path == "/") return kDriveNotUsable;
  return r.check;
}

void MakeStart::actMakeStart() {
  const QByteArray drive = o_.VolumeNames->currentText().toUtf8();
  const QByteArray language = o_.ConboLang->currentText().toUtf8();
  make_path_ = now_path_;
  std::snprintf(state_.VolumeName, sizeof state_.VolumeName, "%s", drive.constData());
  const char* format;
  if (!o_.CreateButton->isChecked()) {
    format =
        "Are you sure you would like to update the library using these settings?\n\n"
        "\tSelected Drive : %s\n\tID Tag Language : %s";
  } else if (setup_.engine.CheckExistingLibrary((make_path_ + "/").c_str(),
                                                CheckFileSystem(file_system_.c_str())) != 0) {
    format =
        "Are you sure you would like to create the library using these settings?\n\n"
        "\tSelected Drive : %s\n\tID Tag Language : %s";
  } else {
    format =
        "A previous Library has been located on the selected drive!\nAre you sure you want to "
        "overwrite this?\n\n\tSelected Drive : %s\n\tID Tag Language : %s";
  }
  char question[512];
  std::snprintf(question, sizeof question, format, drive.constData(), language.constData());
  QWidget* window = run_flag_ == kAutomaticMode ? nullptr : o_.MainWindow;
  gui::OpenAlert(window, QString::fromUtf8(question), "OK", "Cancel",
                 [this](int answer) { alertDidEnd(answer); });
}

void MakeStart::alertDidEnd(int answer) {
  if (answer == kAnswerDefault) {
    StartJob();
  } else if (run_flag_ == kAutomaticMode) {
    emit terminate();
  }
}

void MakeStart::actClose() {
  emit terminate();
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
    OutputError(kErrorUnsupportedDevice, o_.VolumeNames->currentText().toUtf8().constData());
    return;
  }
  o_.Start->setEnabled(true);
  SetChoice(true, r == kDriveNoLibrary, r == kDriveHasLibrary);
  o_.UpdateButton->setEnabled(r == kDriveHasLibrary);
  actMakeStart();
}

bool MakeStart::OutputError(int code, const char* path) {
  o_.Cancel->setEnabled(false);
  char text[1600];
  if (!ErrorText(code, path, text, sizeof text)) return false;
  QWidget* window = run_flag_ == kAutomaticMode ? nullptr : o_.MainWindow;
  gui::OpenAlert(window, QString::fromUtf8(text), "OK", nullptr, [this](int) {
    if (run_flag_ == kAutomaticMode) emit terminate();
  });
  return false;
}

}  // namespace qv::gui

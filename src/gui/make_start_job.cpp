// The controller as the job's front end: the job start, the progress window,
// the cancel question, the finish alert and the job's error alerts. The job
// calls in from its worker threads; every widget is touched on the main
// thread, through queued calls, and a worker that waits for an answer polls
// the job's own flags rather than wait on the main thread.
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <algorithm>
#include <cstdio>

#include "controller/alerts.h"
#include "controller/make_start.h"
#include "job/error_codes.h"

namespace qv::gui {
namespace {

constexpr uint32_t kFinishPollUs = 25000;

constexpr const char* kCancelQuestion =
    "Are you sure you want to Stop creating the library?\nThe Library being created will be "
    "discarded!";

}  // namespace

template <typename F>
void MakeStart::OnMainThread(F f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
  }
}

void MakeStart::StartJob() {
  std::snprintf(state_.MakePath, sizeof state_.MakePath, "%s", make_path_.c_str());
  std::snprintf(state_.FileSystem, sizeof state_.FileSystem, "%s", file_system_.c_str());
  state_.CreateMode = o_.CreateButton->isChecked();
  state_.ComboSelectLang = combo_select_lang_;
  JobSettings settings = setup_.settings;
  for (const Drive& d : Drives()) {
    if (d.path == make_path_) settings.kind_override = d.kind_override;
  }
  driver_.reset();  // the last job's threads have ended; this joins them
  driver_ = std::make_unique<JobDriver>(state_, *this, setup_.engine, settings);
  driver_->Start();
}

void MakeStart::BeginJob(const ProgressView& view, const char* volume_name) {
  const QString name = QString::fromUtf8(volume_name);
  OnMainThread([this, view, name] {
    o_.Progress->setRange(0, 1);
    o_.Progress->setValue(0);
    o_.AddView->setText(view.caption);
    o_.Total->setText("0");
    o_.Process->setText("0");
    o_.ProcessTime->setText(view.elapsed);
    o_.RimainTime->setText(view.remaining);
    o_.FileNameView->clear();
    o_.RunMessage->setText(view.message);
    // The name is appended, not formatted: a "%" in it stays as it is.
    o_.RunWindow->setWindowTitle(QString::number(view.percent) + "% " + name);
    o_.RunWindow->update();
    o_.MainWindow->hide();
    o_.RunWindow->show();
    o_.RunWindow->raise();
  });
}

void MakeStart::ShowView(const ProgressView& view) {
  o_.AddView->setText(view.caption);
  o_.Total->setText(QString::number(view.total));
  o_.Process->setText(QString::number(view.handled));
  o_.ProcessTime->setText(view.elapsed);
  o_.RimainTime->setText(view.remaining);
  const QString file = QString::fromUtf8(view.file);
  if (!file.isEmpty() && o_.FileNameView->toPlainText() != file) {
    o_.FileNameView->setPlainText(file);
  }
  const int maximum = o_.Progress->maximum();
  o_.Progress->setValue(view.percent == 100 ? maximum
                                            : std::min(static_cast<int>(view.bar_value), maximum));
  QString title = o_.RunWindow->windowTitle();
  title.replace(0, title.indexOf('%'), QString::number(view.percent));
  o_.RunWindow->setWindowTitle(title);
}

void MakeStart::ShowProgress(const ProgressView& view) {
  OnMainThread([this, view] { ShowView(view); });
}

void MakeStart::SetBarMaximum(int32_t maximum) {
  OnMainThread([this, maximum] {
    // A bar from 0 to 0 would run as a busy indicator; an empty drive's full
    // bar is 1 of 1.
    o_.Progress->setRange(0, std::max(maximum, 1));
  });
}

void MakeStart::SetCancelEnabled(bool enabled) {
  OnMainThread([this, enabled] { o_.Cancel->setEnabled(enabled); });
}

void MakeStart::OpenAlert(int code, const char* text, const char*, AlertAnswer* answer) {
  const QString informative = QString::fromUtf8(text);
  OnMainThread([this, code, informative, answer] {
    // In AutomaticMode only the Skip/Abort question stays on the progress window.
    QWidget* window =
        run_flag_ == kAutomaticMode && code != kErrorCannotOpen ? nullptr : o_.RunWindow;
    const bool unreadable = code == kErrorCannotOpen;
    gui::OpenAlert(window, informative, unreadable ? "Skip" : "OK", unreadable ? "Abort" : nullptr,
                   [this, answer](int reply) { alertDidErrorOut(answer, reply); });
  });
}

void MakeStart::alertDidErrorOut(AlertAnswer* answer, int reply) {
  answer->Answer(reply);
}

void MakeStart::ShowFinish(const char* text) {
  finish_open_.store(true, std::memory_order_release);
  const QString informative = QString::fromUtf8(text);
  OnMainThread([this, informative] {
    gui::OpenAlert(o_.RunWindow, informative, "Finish", nullptr,
                   [this](int answer) { alertDidEndEnd(answer); });
  });
  while (finish_open_.load(std::memory_order_acquire) &&
         !closing_.load(std::memory_order_acquire)) {
    SleepMicroseconds(kFinishPollUs);
  }
}

void MakeStart::alertDidEndEnd(int) {
  if (run_flag_ == kAutomaticMode) {
    emit terminate();
  } else {
    o_.RunWindow->hide();
    o_.MainWindow->show();
  }
  finish_open_.store(false, std::memory_order_release);
}

void MakeStart::EndJob(bool succeeded) {
  OnMainThread([this, succeeded] { JobEnded(succeeded); });
}

void MakeStart::JobEnded(bool succeeded) {
  if (!succeeded) {
    if (run_flag_ == kAutomaticMode) {
      emit terminate();
    } else {
      o_.RunWindow->hide();
      o_.MainWindow->show();
    }
  }
  // The drive is chosen again before the next job.
  o_.VolumeNames->setCurrentIndex(-1);
  ClearSelection();
}

void MakeStart::actMakeCancel() {
  if (driver_ == nullptr) return;
  driver_->AskCancel();
  gui::OpenAlert(o_.RunWindow, kCancelQuestion, "Yes", "No",
                 [this](int answer) { alertDidEndCancel(answer); });
}

void MakeStart::alertDidEndCancel(int answer) {
  if (driver_ != nullptr) driver_->AnswerCancel(answer == kAnswerDefault);
}

}  // namespace qv::gui

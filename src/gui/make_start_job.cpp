// The controller as the job's front end: the job start, the progress window,
// the cancel question, the finish alert and the job's error alerts. The job
// calls in from its worker threads; every widget is touched on the main
// thread, through queued calls, and a worker that waits for an answer blocks
// on the job's own flags rather than wait on the main thread.
#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "gui/alerts.h"
#include "gui/make_start.h"
#include "job/error_codes.h"
#include "platform/file_failure.h"

namespace qv::gui {
namespace {

// The progress display's fixed words, for the translation tools.
[[maybe_unused]] constexpr const char* kViewTexts[] = {
    QT_TRANSLATE_NOOP("Progress", "Creating.."), QT_TRANSLATE_NOOP("Progress", "Updating.."),
    QT_TRANSLATE_NOOP("Progress", "Processed"), QT_TRANSLATE_NOOP("Progress", "Added")};

QString ViewText(const char* text) {
  return QCoreApplication::translate("Progress", text);
}

// What went wrong behind an E-03 or E-04, as qvlib tells it on its second line.
QString FailureCause(const FileFailure& f) {
  if (f.error_number == EWOULDBLOCK) {
    return UiText(QT_TRANSLATE_NOOP("MakeStart",
                                    "Another job is running on this drive; nothing was changed."));
  }
  QString line = QString::fromUtf8(f.path);
  if (f.error_number != 0)
    return line + ": " + QString::fromLocal8Bit(std::strerror(f.error_number));
  if (f.offset >= 0) line += UiText(QT_TRANSLATE_NOOP("MakeStart", ", byte %1")).arg(f.offset);
  return line + ": " +
         (f.reason[0] != 0 ? QString::fromUtf8(f.reason)
                           : UiText(QT_TRANSLATE_NOOP("MakeStart", "cannot be written")));
}

}  // namespace

template <typename F>
void MakeStart::OnMainThread(F f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
  }
}

bool MakeStart::JobRunning() const {
  return job_running_;
}

void MakeStart::StartJob() {
  std::snprintf(state_.MakePath, sizeof state_.MakePath, "%s", make_path_.c_str());
  std::snprintf(state_.FileSystem, sizeof state_.FileSystem, "%s", last_check_.file_system);
  state_.CreateMode = o_.CreateButton->isChecked();
  state_.ComboSelectLang = combo_select_lang_;
  JobSettings settings = setup_.settings;
  for (const Drive& d : listed_) {
    if (d.path == make_path_) settings.kind_override = d.kind_override;
  }
  driver_.reset();  // the last job's threads have ended; this joins them
  driver_ = std::make_unique<JobDriver>(state_, *this, setup_.engine, settings);
  job_running_ = true;
  alerts_open_ = 0;
  driver_->Start();
}

void MakeStart::BeginJob(const ProgressView& view, const char* volume_name) {
  const QString name = QString::fromUtf8(volume_name);
  OnMainThread([this, view, name] {
    o_.Progress->setRange(0, 1);
    o_.Progress->setValue(0);
    o_.AddView->setText(ViewText(view.caption));
    o_.Total->setText("0");
    o_.Process->setText("0");
    o_.ProcessTime->setText(view.elapsed);
    o_.RimainTime->setText(view.remaining);
    o_.FileNameView->clear();
    o_.RunMessage->setText(ViewText(view.message));
    // The name is appended, not formatted: a "%" in it stays as it is.
    o_.RunWindow->setWindowTitle(QString::number(view.percent) + "% " + name);
    o_.RunWindow->update();
    o_.MainWindow->hide();
    o_.RunWindow->show();
    o_.RunWindow->raise();
    o_.RunWindow->activateWindow();
    o_.Cancel->setFocus();
  });
}

void MakeStart::ShowView(const ProgressView& view) {
  o_.AddView->setText(ViewText(view.caption));
  o_.Total->setText(QString::number(view.total));
  o_.Process->setText(QString::number(view.handled));
  o_.ProcessTime->setText(view.elapsed);
  // While a question waits for the person, nothing moves: no time is left to tell.
  o_.RimainTime->setText(alerts_open_ > 0 ? QString("--:--") : QString(view.remaining));
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
  OnMainThread([this, enabled] {
    o_.Cancel->setEnabled(enabled);
    if (enabled && o_.RunWindow->isVisible()) o_.Cancel->setFocus();
  });
}

void MakeStart::OpenAlert(int code, const char*, const char* file, AlertAnswer* answer) {
  // The file of a Skip/Abort question, or the cause of a failure, goes under
  // the alert's fixed text: the person answers with it in view.
  QString details = QString::fromUtf8(file);
  FileFailure failure;
  if ((code == kErrorCreatingData || code == kErrorWritingFile) && LastFileFailure(&failure))
    details = FailureCause(failure);
  OnMainThread([this, code, details, answer] {
    // In AutomaticMode only the Skip/Abort question stays on the progress window.
    QWidget* window =
        run_flag_ == kAutomaticMode && code != kErrorCannotOpen ? nullptr : o_.RunWindow;
    const bool unreadable = code == kErrorCannotOpen;
    ++alerts_open_;
    open_answer_ = answer;
    o_.RimainTime->setText("--:--");
    gui::OpenAlert(window, AlertText(code, QString()),
                   unreadable ? UiText(QT_TRANSLATE_NOOP("MakeStart", "Skip"))
                              : UiText(QT_TRANSLATE_NOOP("MakeStart", "OK")),
                   unreadable ? UiText(QT_TRANSLATE_NOOP("MakeStart", "Abort")) : QString(),
                   details, [this, answer](int reply) { alertDidErrorOut(answer, reply); });
  });
}

void MakeStart::alertDidErrorOut(AlertAnswer* answer, int reply) {
  --alerts_open_;
  if (open_answer_ == answer) open_answer_ = nullptr;
  answer->Answer(reply);
}

void MakeStart::ShowFinish(const char* text) {
  int count = 0;
  std::sscanf(text, "%d", &count);
  const QString informative =
      UiText(QT_TRANSLATE_NOOP("MakeStart", "%1 files are processed.")).arg(count);
  finish_open_.store(true, std::memory_order_release);
  OnMainThread([this, informative] {
    gui::OpenAlert(o_.RunWindow, informative, UiText(QT_TRANSLATE_NOOP("MakeStart", "Finish")),
                   QString(), QString(), [this](int answer) { alertDidEndEnd(answer); });
  });
  // Blocks this job thread, not the window, until the alert is dismissed.
  while (finish_open_.load(std::memory_order_acquire) &&
         !closing_.load(std::memory_order_acquire)) {
    finish_open_.wait(true, std::memory_order_acquire);
  }
}

void MakeStart::alertDidEndEnd(int) {
  if (run_flag_ == kAutomaticMode) {
    Quit(0);
  } else {
    o_.RunWindow->hide();
    o_.MainWindow->show();
  }
  finish_open_.store(false, std::memory_order_release);
  finish_open_.notify_all();
}

void MakeStart::EndJob(bool succeeded) {
  OnMainThread([this, succeeded] { JobEnded(succeeded); });
}

void MakeStart::JobEnded(bool succeeded) {
  job_running_ = false;
  if (quit_status_ >= 0) {
    Quit(quit_status_);
  } else if (!succeeded) {
    if (run_flag_ == kAutomaticMode) {
      const int raised = driver_->RaisedError();
      Quit(driver_->UserCancelled() ? kExitCancelled : raised != 0 ? raised : kExitFailed);
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
  if (driver_ == nullptr || !job_running_ || !o_.Cancel->isEnabled()) return;
  driver_->AskCancel();
  o_.Cancel->setEnabled(false);
  ++alerts_open_;
  o_.RimainTime->setText("--:--");
  gui::OpenAlert(o_.RunWindow,
                 UiText(QT_TRANSLATE_NOOP(
                     "MakeStart",
                     "Are you sure you want to Stop creating the library?\nThe Library being "
                     "created will be discarded!")),
                 UiText(QT_TRANSLATE_NOOP("MakeStart", "Yes")),
                 UiText(QT_TRANSLATE_NOOP("MakeStart", "No")), QString(),
                 [this](int answer) { alertDidEndCancel(answer); });
}

void MakeStart::alertDidEndCancel(int answer) {
  --alerts_open_;
  const bool yes = answer == kAnswerDefault;
  if (yes && quit_if_cancelled_) quit_status_ = run_flag_ == kAutomaticMode ? kExitCancelled : 0;
  quit_if_cancelled_ = false;
  if (driver_ != nullptr) driver_->AnswerCancel(yes);
}

void MakeStart::Terminate(int signal) {
  if (!job_running_) {
    Quit(128 + signal);
    return;
  }
  quit_status_ = 128 + signal;
  // The questions of the job are closed unanswered; the job cannot wait for them.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      box->disconnect(box, &QMessageBox::finished, nullptr, nullptr);
      box->close();
    }
  }
  alerts_open_ = 0;
  if (finish_open_.load(std::memory_order_acquire)) {
    // The library is final: only the finish alert was left.
    finish_open_.store(false, std::memory_order_release);
    finish_open_.notify_all();
    return;
  }
  Store(state_.Canceling, true);
  driver_->AnswerCancel(true);
  if (open_answer_ != nullptr) {
    open_answer_->Answer(kAnswerAlternate);
    open_answer_ = nullptr;
  }
}

}  // namespace qv::gui

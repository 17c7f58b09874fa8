#include "gui/screenshot_tour.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "gui/make_start.h"
#include "platform/clock.h"

namespace qv::gui {
namespace {

constexpr uint32_t kPacePerFileUs = 60000;

int PacedAdd(const char* path, int language) {
  SleepMicroseconds(kPacePerFileUs);
  return LibraryEngine().AddFileToBuild(path, language);
}

QMessageBox* OpenMessageBox() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) return box;
  }
  return nullptr;
}

// The answer a person gives in every language: the alert's default button.
void ClickDefault(QMessageBox* box) {
  if (box->defaultButton() != nullptr) box->defaultButton()->click();
}

// The screen around every visible window, as a person would see it. The
// display has no window manager, so the window's title is drawn above it.
void Save(const QString& dir, const char* name) {
  QRect area;
  QString title;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible()) continue;
    area = area.united(w->frameGeometry());
    if (qobject_cast<QMessageBox*>(w) == nullptr) title = w->windowTitle();
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  constexpr int kBar = 28;
  QPixmap framed(shot.width(), shot.height() + kBar);
  framed.fill(QColor(0x3c, 0x44, 0x4e));
  QPainter painter(&framed);
  painter.setPen(Qt::white);
  painter.drawText(QRect(0, 0, framed.width(), kBar), Qt::AlignCenter, title);
  painter.drawPixmap(0, kBar, shot);
  painter.end();
  const QString path = QDir(dir).filePath(name);
  if (!framed.save(path)) {
    std::fprintf(stderr, "library-creator: cannot save %s\n", qPrintable(path));
  }
}

// Runs the steps one after another, each when its condition holds.
struct Tour {
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  std::vector<Step> steps;
  size_t next = 0;
};

}  // namespace

JobEngine PacedEngine() {
  JobEngine engine = LibraryEngine();
  engine.AddFileToBuild = PacedAdd;
  return engine;
}

void StartScreenshotTour(MakeStart* c, const QString& dir) {
  QDir().mkpath(dir);
  auto tour = std::make_shared<Tour>();
  const Outlets& o = c->outlets();
  auto settle = std::make_shared<int>(0);
  // Waits a few ticks after the condition holds, so the window is drawn.
  auto after = [settle](std::function<bool()> f) {
    return [settle, f] {
      if (!f()) return *settle = 0, false;
      return ++*settle >= 4;
    };
  };
  auto always = [] { return true; };
  tour->steps = {
      {after(always),
       [c, o] {
         o.VolumeNames->setCurrentIndex(
             static_cast<int>(c->Drives().size() - c->extra_drives().size()));
       }},
      {after([o] { return o.Start->isEnabled(); }), [dir] { Save(dir, "main-window.png"); }},
      {always, [o] { o.Start->click(); }},
      {after([] { return OpenMessageBox() != nullptr; }),
       [dir] {
         Save(dir, "start-question.png");
         ClickDefault(OpenMessageBox());
       }},
      {after([o] {
         return o.Progress->value() * 3 >= o.Progress->maximum() && o.Progress->value() > 0;
       }),
       [dir] { Save(dir, "progress.png"); }},
      {after([] { return OpenMessageBox() != nullptr; }),
       [dir] {
         std::printf("%s\n", qPrintable(OpenMessageBox()->informativeText()));
         Save(dir, "finish.png");
         ClickDefault(OpenMessageBox());
       }},
      {after([o] { return o.MainWindow->isVisible(); }), [c] { emit c->terminate(0); }},
  };
  // The timer belongs to the controller and its handler owns the tour.
  auto* timer = new QTimer(c);
  QObject::connect(timer, &QTimer::timeout, [tour, settle] {
    if (tour->next >= tour->steps.size()) return;
    Tour::Step& step = tour->steps[tour->next];
    if (!step.ready()) return;
    *settle = 0;
    ++tour->next;
    step.act();
  });
  timer->start(100);
}

}  // namespace qv::gui

#include "controller/windows.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qv::gui {

void ListBox::hidePopup() {
  QComboBox::hidePopup();
  emit willDismiss();
}

void AppWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  emit closeRequested();
}

namespace {

QLabel* Value(const char* text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(60);
  return label;
}

void BuildMainWindow(Outlets& o) {
  o.MainWindow = new AppWindow;
  o.MainWindow->setWindowTitle("Library Creator");
  auto* form = new QFormLayout;
  o.VolumeNames = new ListBox(o.MainWindow);
  o.VolumeNames->setMinimumWidth(260);
  o.ConboLang = new ListBox(o.MainWindow);
  for (const char* name : kLanguageNames) o.ConboLang->addItem(name);
  form->addRow("Drive", o.VolumeNames);
  form->addRow("ID Tag Language", o.ConboLang);

  o.RadioButton = new QGroupBox("Library", o.MainWindow);
  o.CreateButton = new QRadioButton("Create a new library", o.RadioButton);
  o.UpdateButton = new QRadioButton("Update the library", o.RadioButton);
  auto* group = new QButtonGroup(o.RadioButton);
  group->addButton(o.CreateButton);
  group->addButton(o.UpdateButton);
  auto* choice = new QVBoxLayout(o.RadioButton);
  choice->addWidget(o.CreateButton);
  choice->addWidget(o.UpdateButton);

  o.Start = new QPushButton("Start", o.MainWindow);
  o.Start->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(o.Start);

  auto* layout = new QVBoxLayout(o.MainWindow);
  layout->addLayout(form);
  layout->addWidget(o.RadioButton);
  layout->addLayout(buttons);
  o.MainWindow->setMinimumWidth(480);
  o.MainWindow->adjustSize();
}

void BuildRunWindow(Outlets& o) {
  o.RunWindow = new AppWindow;
  o.RunMessage = new QLabel("Creating..", o.RunWindow);
  QFont bold = o.RunMessage->font();
  bold.setBold(true);
  o.RunMessage->setFont(bold);

  auto* counts = new QGridLayout;
  o.AddView = new QLabel("Processed", o.RunWindow);
  o.Process = Value("0", o.RunWindow);
  o.Total = Value("0", o.RunWindow);
  counts->addWidget(o.AddView, 0, 0);
  counts->addWidget(o.Process, 0, 1);
  counts->addWidget(new QLabel("Total", o.RunWindow), 1, 0);
  counts->addWidget(o.Total, 1, 1);
  o.ProcessTime = Value("00:00", o.RunWindow);
  o.RimainTime = Value("--:--", o.RunWindow);
  counts->addWidget(new QLabel("Elapsed time", o.RunWindow), 0, 3);
  counts->addWidget(o.ProcessTime, 0, 4);
  counts->addWidget(new QLabel("Remaining time", o.RunWindow), 1, 3);
  counts->addWidget(o.RimainTime, 1, 4);
  counts->setColumnMinimumWidth(2, 40);

  o.FileNameView = new QPlainTextEdit(o.RunWindow);
  o.FileNameView->setReadOnly(true);
  o.FileNameView->setFixedHeight(o.FileNameView->fontMetrics().lineSpacing() * 3 + 12);
  o.Progress = new QProgressBar(o.RunWindow);
  o.Progress->setTextVisible(false);
  o.Cancel = new QPushButton("Cancel", o.RunWindow);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(o.Cancel);

  auto* layout = new QVBoxLayout(o.RunWindow);
  layout->addWidget(o.RunMessage);
  layout->addLayout(counts);
  layout->addWidget(o.FileNameView);
  layout->addWidget(o.Progress);
  layout->addLayout(buttons);
  o.RunWindow->resize(460, o.RunWindow->sizeHint().height());
}

}  // namespace

Outlets BuildWindows() {
  Outlets o;
  BuildMainWindow(o);
  BuildRunWindow(o);
  return o;
}

}  // namespace qv::gui

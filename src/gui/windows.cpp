#include "gui/windows.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTranslator>
#include <QVBoxLayout>

namespace qv::gui {

void ListBox::hidePopup() {
  QComboBox::hidePopup();
  emit willDismiss(this);
}

void AppWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  emit closeRequested();
}

namespace {

// The language names, for the translation tools; the last is the entry that
// lets the application choose from the file names.
[[maybe_unused]] constexpr const char* kLanguageTexts[] = {
    QT_TRANSLATE_NOOP("Languages", "Japanese"), QT_TRANSLATE_NOOP("Languages", "Chinese"),
    QT_TRANSLATE_NOOP("Languages", "English"),  QT_TRANSLATE_NOOP("Languages", "French"),
    QT_TRANSLATE_NOOP("Languages", "German"),   QT_TRANSLATE_NOOP("Languages", "Italian"),
    QT_TRANSLATE_NOOP("Languages", "Spanish"),  QT_TRANSLATE_NOOP("Languages", "Dutch"),
    QT_TRANSLATE_NOOP("Languages", "Russian"),  QT_TRANSLATE_NOOP("Languages", "Automatic")};

QString Tr(const char* text) {
  return QCoreApplication::translate("Windows", text);
}

QLabel* Value(const char* text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(60);
  return label;
}

QLabel* Caption(const QString& text, QWidget* parent) {
  return new QLabel(text, parent);
}

void BuildMainWindow(Outlets& o) {
  o.MainWindow = new AppWindow;
  o.MainWindow->setWindowTitle(Tr(QT_TRANSLATE_NOOP("Windows", "Library Creator")));
  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  o.VolumeNames = new ListBox(o.MainWindow);
  o.VolumeNames->setMinimumWidth(260);
  o.VolumeNames->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  o.DriveProblem = new QLabel(o.MainWindow);
  o.DriveProblem->setWordWrap(true);
  o.DriveProblem->setTextFormat(Qt::PlainText);
  o.DriveProblem->setForegroundRole(QPalette::PlaceholderText);
  o.DriveProblem->hide();
  o.ConboLang = new ListBox(o.MainWindow);
  for (const char* name : kLanguageNames) o.ConboLang->addItem(LanguageName(name));
  form->addRow(Tr(QT_TRANSLATE_NOOP("Windows", "&Drive")), o.VolumeNames);
  form->addRow(QString(), o.DriveProblem);
  form->addRow(Tr(QT_TRANSLATE_NOOP("Windows", "ID &Tag Language")), o.ConboLang);

  o.RadioButton = new QGroupBox(Tr(QT_TRANSLATE_NOOP("Windows", "Library")), o.MainWindow);
  o.CreateButton =
      new QRadioButton(Tr(QT_TRANSLATE_NOOP("Windows", "&Create a new library")), o.RadioButton);
  o.UpdateButton =
      new QRadioButton(Tr(QT_TRANSLATE_NOOP("Windows", "&Update the library")), o.RadioButton);
  auto* group = new QButtonGroup(o.RadioButton);
  group->addButton(o.CreateButton);
  group->addButton(o.UpdateButton);
  auto* choice = new QVBoxLayout(o.RadioButton);
  choice->addWidget(o.CreateButton);
  choice->addWidget(o.UpdateButton);

  o.Start = new QPushButton(Tr(QT_TRANSLATE_NOOP("Windows", "&Start")), o.MainWindow);
  o.Start->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(o.Start);

  auto* layout = new QVBoxLayout(o.MainWindow);
  layout->addLayout(form);
  layout->addWidget(o.RadioButton);
  layout->addStretch();
  layout->addLayout(buttons);
  o.MainWindow->setMinimumWidth(480);
  o.MainWindow->adjustSize();
}

void BuildRunWindow(Outlets& o) {
  o.RunWindow = new AppWindow;
  o.RunMessage = new QLabel(Tr(QT_TRANSLATE_NOOP("Windows", "Creating..")), o.RunWindow);
  QFont bold = o.RunMessage->font();
  bold.setBold(true);
  o.RunMessage->setFont(bold);

  auto* counts = new QGridLayout;
  o.AddView = new QLabel(Tr(QT_TRANSLATE_NOOP("Windows", "Processed")), o.RunWindow);
  o.Process = Value("0", o.RunWindow);
  o.Total = Value("0", o.RunWindow);
  counts->addWidget(o.AddView, 0, 0);
  counts->addWidget(o.Process, 0, 1);
  counts->addWidget(Caption(Tr(QT_TRANSLATE_NOOP("Windows", "Total")), o.RunWindow), 1, 0);
  counts->addWidget(o.Total, 1, 1);
  o.ProcessTime = Value("00:00", o.RunWindow);
  o.RimainTime = Value("--:--", o.RunWindow);
  counts->addWidget(Caption(Tr(QT_TRANSLATE_NOOP("Windows", "Elapsed time")), o.RunWindow), 0, 3);
  counts->addWidget(o.ProcessTime, 0, 4);
  counts->addWidget(Caption(Tr(QT_TRANSLATE_NOOP("Windows", "Remaining time")), o.RunWindow), 1, 3);
  counts->addWidget(o.RimainTime, 1, 4);
  counts->setColumnMinimumWidth(2, 40);
  counts->setColumnStretch(2, 1);

  o.FileNameView = new QPlainTextEdit(o.RunWindow);
  o.FileNameView->setReadOnly(true);
  o.FileNameView->setFocusPolicy(Qt::ClickFocus);
  o.FileNameView->setMinimumHeight(o.FileNameView->fontMetrics().lineSpacing() * 3 + 12);
  o.Progress = new QProgressBar(o.RunWindow);
  o.Progress->setTextVisible(false);
  o.Cancel = new QPushButton(Tr(QT_TRANSLATE_NOOP("Windows", "&Cancel")), o.RunWindow);
  o.Cancel->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(o.Cancel);

  auto* layout = new QVBoxLayout(o.RunWindow);
  layout->addWidget(o.RunMessage);
  layout->addLayout(counts);
  layout->addWidget(o.FileNameView, 1);
  layout->addWidget(o.Progress);
  layout->addLayout(buttons);
  o.RunWindow->resize(460, o.RunWindow->minimumSizeHint().height());
}

}  // namespace

QString LanguageName(const char* name) {
  return QCoreApplication::translate("Languages", name);
}

QIcon AppIcon() {
  QIcon built_in;
  for (int size : {16, 32, 48, 64, 128, 256})
    built_in.addFile(QString(":/icons/%1/library-creator.png").arg(size), QSize(size, size));
  return QIcon::fromTheme("library-creator", built_in);
}

void InstallTranslations(QCoreApplication* app) {
  auto* translator = new QTranslator(app);
  // The first of the person's languages with a translation; none: English.
  if (translator->load(QLocale(), "library-creator", "_", ":/i18n")) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

Outlets BuildWindows() {
  Outlets o;
  BuildMainWindow(o);
  BuildRunWindow(o);
  for (QWidget* w : {static_cast<QWidget*>(o.MainWindow), static_cast<QWidget*>(o.RunWindow)})
    w->setWindowIcon(AppIcon());
  return o;
}

}  // namespace qv::gui

// The meta-object code of the header, compiled with its class.
#include "moc_windows.cpp"

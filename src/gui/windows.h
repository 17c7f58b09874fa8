// The two windows of the application and their controls, under the names the
// controller gives them: the main window (drive list, tag language list,
// Create/Update choice, Start) and the progress window.
#pragma once

#include <QComboBox>
#include <QIcon>
#include <QWidget>

class QCoreApplication;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qv::gui {

// A drop-down list that says when its list closes, so the controller can put
// back the committed choice over whatever was merely highlighted.
class ListBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  void hidePopup() override;
 signals:
  void willDismiss(ListBox* box);
};

// A top-level window that hands its close request to a callback instead of
// closing: the main window quits the application, the progress window asks
// the cancel question.
class AppWindow : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
 signals:
  void closeRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
};

struct Outlets {
  AppWindow* MainWindow = nullptr;
  AppWindow* RunWindow = nullptr;
  QPlainTextEdit* FileNameView = nullptr;
  ListBox* VolumeNames = nullptr;
  ListBox* ConboLang = nullptr;
  QProgressBar* Progress = nullptr;
  QLabel* Process = nullptr;
  QLabel* Total = nullptr;
  QLabel* ProcessTime = nullptr;
  QLabel* RimainTime = nullptr;
  QLabel* AddView = nullptr;
  QPushButton* Start = nullptr;
  QPushButton* Cancel = nullptr;
  QGroupBox* RadioButton = nullptr;
  QRadioButton* CreateButton = nullptr;
  QRadioButton* UpdateButton = nullptr;
  QLabel* RunMessage = nullptr;
  // Under the drive list: why the selected drive cannot take a library.
  QLabel* DriveProblem = nullptr;
};

// The display texts of the nine tag languages and of the automatic choice,
// in TagLanguage order, before translation; the start question prints them
// after "ID Tag Language : ".
inline constexpr const char* kLanguageNames[10] = {"Japanese", "Chinese",  "English", "French",
                                                   "German",   "Italian",  "Spanish", "Dutch",
                                                   "Russian",  "Automatic"};

// Builds both windows, hidden; the caller owns the two top-level windows.
Outlets BuildWindows();

// A language's name as the person's language writes it.
QString LanguageName(const char* name);

// The application's icon, from the icon theme or the one built in.
QIcon AppIcon();

// Installs the translation of the system's language, when one is shipped;
// English, the language of the sources, needs none.
void InstallTranslations(QCoreApplication* app);

}  // namespace qv::gui

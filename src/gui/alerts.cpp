#include "gui/alerts.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "gui/windows.h"
#include "job/error_codes.h"
#include "job/job_host.h"

namespace qv::gui {
namespace {

QString AlertTr(const char* text) {
  return QCoreApplication::translate("Alerts", text);
}

}  // namespace

QMessageBox* OpenAlert(QWidget* window, const QString& text, const QString& default_button,
                       const QString& alternate_button, const QString& details,
                       std::function<void(int)> done) {
  auto* box = new QMessageBox(window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle(AlertTr(QT_TRANSLATE_NOOP("Alerts", "Library Creator")));
  box->setWindowIcon(AppIcon());
  box->setIcon(QMessageBox::Information);
  box->setTextFormat(Qt::PlainText);
  box->setText(kAlertTitle);
  // A label has no tab stops: the start question's indented lines get spaces.
  QString shown = text;
  box->setInformativeText(shown.replace('\t', "    "));
  // A drive name may hold "<" or "&": the text is shown, not interpreted.
  if (auto* info = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
    info->setTextFormat(Qt::PlainText);
    info->setMinimumWidth(340);
  }
  QPushButton* yes = box->addButton(default_button, QMessageBox::AcceptRole);
  QPushButton* no = nullptr;
  if (!alternate_button.isEmpty()) no = box->addButton(alternate_button, QMessageBox::RejectRole);
  box->setDefaultButton(yes);
  box->setEscapeButton(no != nullptr ? no : yes);
  QObject::connect(box, &QMessageBox::finished, box, [box, yes, done] {
    done(box->clickedButton() == yes ? kAnswerDefault : kAnswerAlternate);
  });
  // The details are what the person needs to answer: shown under the text, a
  // long path broken after its slashes. Added last, as the box lays itself
  // out anew whenever its texts change.
  auto* grid = qobject_cast<QGridLayout*>(box->layout());
  if (!details.isEmpty() && grid != nullptr) {
    QString wrapped = details;
    auto* label = new QLabel(wrapped.replace('/', QString("/") + QChar(0x200B)), box);
    label->setObjectName("qv_alert_details");
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(340);
    grid->addWidget(label, grid->rowCount(), 1, 1, grid->columnCount() - 1);
  }
  if (window != nullptr) {
    box->open();  // window-modal
  } else {
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
  }
  return box;
}

QString AlertText(int code, const QString& path) {
  static constexpr const char* kTexts[] = {
      QT_TRANSLATE_NOOP("Alerts",
                        "Can only create a Library in the Root Drectory.\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts",
                        "Cannot open a file.\nSee the processin dialog for the file name.\nSkip "
                        "the file or abort creating the library?\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts",
                        "Error occurred while creating library data.\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts",
                        "Error occurred while writing library file.\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts",
                        "Cannot make the library for multiple devices.\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts", "[%@] is not supported device.\nError Code : E-%02d"),
      QT_TRANSLATE_NOOP("Alerts", "Selected device is removed.\nError Code : E-%02d"),
  };
  if (code < 1 || code > 7) return QString();
  const QString format = AlertTr(kTexts[code - 1]);
  // One pass over the format, so that nothing of the path is read as a format.
  QString text;
  for (qsizetype i = 0; i < format.size(); ++i) {
    if (format.mid(i, 4) == "%02d") {
      text += QString("%1").arg(code, 2, 10, QChar('0'));
      i += 3;
    } else if (format.mid(i, 2) == "%@") {
      text += path;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

}  // namespace qv::gui

#include "controller/alerts.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "job/error_codes.h"
#include "job/job_host.h"

namespace qv::gui {

QMessageBox* OpenAlert(QWidget* window, const QString& text, const char* default_button,
                       const char* alternate_button, std::function<void(int)> done) {
  auto* box = new QMessageBox(window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowTitle("Library Creator");
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
  if (alternate_button != nullptr) no = box->addButton(alternate_button, QMessageBox::RejectRole);
  box->setDefaultButton(yes);
  box->setEscapeButton(no != nullptr ? no : yes);
  QObject::connect(box, &QMessageBox::finished, box, [box, yes, done] {
    done(box->clickedButton() == yes ? kAnswerDefault : kAnswerAlternate);
  });
  if (window != nullptr) {
    box->open();  // window-modal
  } else {
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
  }
  return box;
}

}  // namespace qv::gui

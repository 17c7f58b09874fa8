// Alerts titled "TRN-3600 LIBRARY CREATOR": a sheet on a window (window-modal,
// the window stays visible behind it) or, without a window, application-modal.
// They never block the caller; the answer arrives through a callback.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace qv::gui {

// Opens an alert with text as its informative text, shown as it is (never
// read as markup; a tab shows as four spaces). default_button answers 1,
// alternate_button (none when empty) answers 0; Escape gives the alternate
// answer where there is one. details, when not empty, is shown open below
// the text: the file or the cause the alert speaks of.
QMessageBox* OpenAlert(QWidget* window, const QString& text, const QString& default_button,
                       const QString& alternate_button, const QString& details,
                       std::function<void(int)> done);

// The informative text of error code 1..7 in the person's language: the code
// as "E-%02d", and for code 6 path in place of the drive's name (never read as
// a format). Empty for any other code.
QString AlertText(int code, const QString& path);

}  // namespace qv::gui

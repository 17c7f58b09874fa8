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
// read as markup; a tab shows as four spaces). default_button answers 1, alternate_button (may be
// null) answers 0; Escape gives the alternate answer where there is one.
QMessageBox* OpenAlert(QWidget* window, const QString& text, const char* default_button,
                       const char* alternate_button, std::function<void(int)> done);

}  // namespace qv::gui

// The signals that end a session (SIGTERM at logout or shutdown, SIGHUP when
// the terminal goes, SIGINT from Ctrl-C) arrive on the main thread as calls,
// so that a running job can be cancelled and its drive restored first.
#pragma once

#include <functional>

class QObject;

namespace qv::gui {

// From now on those signals call on_signal(signal) on context's thread.
void WatchQuitSignals(QObject* context, std::function<void(int)> on_signal);

}  // namespace qv::gui

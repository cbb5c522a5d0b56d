#pragma once
// Long work off the window's thread: the work runs on a thread of its own while the window
// system keeps answering (it is never held up for more than a moment), and the progress
// window shows how far it has come once the work has lasted long enough to be worth one.
// Nothing the user does can change what the work is using until it is done: the user's
// input waits until the progress window shows, and that window is modal.

#include <functional>

#include <QString>

#include "track/progress.h"

class QWidget;

namespace trevalo {

// Runs `work` and returns when it is done, on a thread of lower priority than the window's
// (as are the threads it starts); a progress window titled `title`, over `over`,
// shows when it runs longer than a quarter of a second. `work` may call the Progress it is
// given from its own thread; the window is stepped on the window's thread. `work` must not
// touch windows, and must not throw.
void RunInBackground(const QString& title, QWidget* over,
                     const std::function<void(const Progress&)>& work);

}  // namespace trevalo

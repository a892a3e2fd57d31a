#pragma once
#include <QObject>

#include <functional>

// Moves work from a worker thread to the GUI thread: the call runs later on the thread
// of `receiver` (queued), and not at all once the receiver is gone.
class MainQueue {
  public:
    MainQueue() = delete;
    // False when there is no receiver.
    static bool Post(QObject* receiver, std::function<void()> call);
    // True on the thread of the application object.
    static bool OnGuiThread();
};

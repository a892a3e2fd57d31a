#include "gui/MainQueue.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

bool MainQueue::Post(QObject* receiver, std::function<void()> call) {
    if (!receiver || !call) return false;
    // Events posted to a receiver are dropped when it is deleted; the guard also covers
    // a receiver being destroyed while the event is delivered.
    QPointer<QObject> guard(receiver);
    return QMetaObject::invokeMethod(
        receiver,
        [guard, call = std::move(call)] {
            if (guard) call();
        },
        Qt::QueuedConnection);
}

bool MainQueue::OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

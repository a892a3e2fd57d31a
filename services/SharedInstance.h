#pragma once
// The one instance of a Qt object class (a window, a network manager), created on first
// use on the GUI thread and destroyed with the application object, never after it.
#include <QCoreApplication>

#include <memory>

template <class T> T& SharedInstance() {
    static std::unique_ptr<T> instance;
    if (!instance) {
        instance = std::make_unique<T>();
        qAddPostRoutine([] { instance.reset(); });
    }
    return *instance;
}

#include "platform/Opener.h"

#include <QDesktopServices>

#include <atomic>

namespace {
std::atomic<IOpener*> injected{nullptr};
}

bool Opener::OpenUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty()) return false;
    return QDesktopServices::openUrl(url);
}

IOpener& IOpener::Current() {
    if (IOpener* o = injected.load()) return *o;
    static Opener desktop;
    return desktop;
}

void IOpener::SetCurrent(IOpener* opener) {
    injected = opener;
}

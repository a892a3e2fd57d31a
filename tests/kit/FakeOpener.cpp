#include "tests/kit/FakeOpener.h"

namespace kit {

FakeOpener::FakeOpener() {
    IOpener::SetCurrent(this);
}

FakeOpener::~FakeOpener() {
    if (&IOpener::Current() == this) IOpener::SetCurrent(nullptr);
}

bool FakeOpener::OpenUrl(const QUrl& url) {
    std::lock_guard<std::mutex> lock(mutex);
    opened.append(url);
    return result;
}

QList<QUrl> FakeOpener::Opened() const {
    std::lock_guard<std::mutex> lock(mutex);
    return opened;
}

} // namespace kit

#pragma once
// An opener that records every request and opens nothing. While it lives it is the
// current opener of the application (IOpener::Current).
#include "platform/IOpener.h"

#include <QList>
#include <QUrl>

#include <mutex>

namespace kit {

class FakeOpener final : public IOpener {
  public:
    FakeOpener();
    ~FakeOpener() override;
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    bool OpenUrl(const QUrl& url) override;

    QList<QUrl> Opened() const;
    // The answer OpenUrl gives (true unless set).
    bool result = true;

  private:
    mutable std::mutex mutex;
    QList<QUrl> opened;
};

} // namespace kit

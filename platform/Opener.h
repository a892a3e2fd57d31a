#pragma once
#include "platform/IOpener.h"

// The desktop's opener (QDesktopServices::openUrl).
class Opener final : public IOpener {
  public:
    bool OpenUrl(const QUrl& url) override;
};

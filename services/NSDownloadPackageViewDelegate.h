#pragma once

// Told when the companion package window has closed.
class NSDownloadPackageViewDelegate {
  public:
    virtual ~NSDownloadPackageViewDelegate() = default;
    virtual void NSDownloadPackageView_CloseEvent() {}
};

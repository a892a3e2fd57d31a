#pragma once

// Receiver of the guide's two choices.
class NSGuideViewDelegate {
  public:
    virtual ~NSGuideViewDelegate() = default;
    // The first offer: the companion package for this computer.
    virtual void SelectPCRecovery() {}
    // The second offer: recovery from the device or its backups.
    virtual void SelectMobileRecovery() {}
};

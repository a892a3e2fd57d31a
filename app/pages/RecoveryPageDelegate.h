#pragma once

// Receiver of the recovery page's request to return to the home pages.
class RecoveryPageDelegate {
  public:
    virtual ~RecoveryPageDelegate() = default;
    virtual void BackHomeEvent() {}
};

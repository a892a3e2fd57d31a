#pragma once
#include <functional>

// The prompt that asks the user to trust this computer on the device. Shown and
// closed on the GUI thread. DeviceAuthorizationMessageWindow is the real window;
// tests use a scripted one so everything runs headless.
class ITrustPrompt {
  public:
    virtual ~ITrustPrompt() = default;
    // Shows the prompt; `handlerComplete` runs once if the user confirms (a later Show
    // replaces it). Closing the prompt any other way drops it unrun.
    virtual void Show(std::function<void()> handlerComplete) = 0;
    // Closes the prompt (shown or not) and drops its handler.
    virtual void Close() = 0;
};

#pragma once
#include <sys/resource.h>

#include <csignal>

namespace kit {

// While it lives, no file this process writes may grow beyond `bytes` (a disk that
// fills), and a write past the limit fails instead of raising SIGXFSZ. The old limit
// and signal handling come back when it goes. Where the limit cannot be set, Set() is
// false and nothing changed: the test skips.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Set() const { return set_; }

  private:
    rlimit old_{};
    bool set_ = false;
    void (*oldSignal_)(int) = SIG_DFL;
};

} // namespace kit

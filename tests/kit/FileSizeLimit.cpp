#include "tests/kit/FileSizeLimit.h"

namespace kit {

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &old_) != 0) return;
    rlimit limited = old_;
    limited.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limited) != 0) return;
    set_ = true;
    oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
}

FileSizeLimit::~FileSizeLimit() {
    if (!set_) return;
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldSignal_);
}

} // namespace kit

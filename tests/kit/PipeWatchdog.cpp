#include "tests/kit/PipeWatchdog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

PipeWatchdog::PipeWatchdog(std::chrono::seconds timeout) : timeout(timeout) {}

PipeWatchdog::~PipeWatchdog() {
    Stop();
    std::error_code ec;
    for (const auto& p : pipes)
        std::filesystem::remove(p, ec);
}

bool PipeWatchdog::MakePipe(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (::mkfifo(path.c_str(), 0600) != 0) return false;
    pipes.push_back(path);
    return true;
}

void PipeWatchdog::Watch(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(mutex);
    pipes.push_back(path);
}

void PipeWatchdog::Start() {
    if (watcher.joinable()) return;
    watcher = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex);
        if (wake.wait_for(lock, timeout, [this] { return stopping; })) return;
        fired = true;
        // Keep releasing readers until the test stops the watchdog.
        while (!stopping) {
            for (const auto& p : pipes) {
                const int fd = ::open(p.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) ::close(fd);
            }
            wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping; });
        }
    });
}

bool PipeWatchdog::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (watcher.joinable()) watcher.join();
    return fired.load();
}

} // namespace kit

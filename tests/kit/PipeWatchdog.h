#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace kit {

// Named pipes in place of backup files, and a watchdog for the code that must refuse
// them: should that code block on a pipe anyway, the watchdog opens every pipe for
// writing once `timeout` has passed (releasing a reader blocked in open or read), so the
// test fails on Fired() instead of hanging.
class PipeWatchdog {
  public:
    explicit PipeWatchdog(std::chrono::seconds timeout = std::chrono::seconds(30));
    ~PipeWatchdog();
    PipeWatchdog(const PipeWatchdog&) = delete;
    PipeWatchdog& operator=(const PipeWatchdog&) = delete;

    // Makes a named pipe at `path` (replacing a file there); false when mkfifo fails.
    bool MakePipe(const std::filesystem::path& path);
    // Also releases a reader of a pipe that a test puts at `path` later (a file swapped
    // for a pipe while it is read); the path is removed with the others.
    void Watch(const std::filesystem::path& path);
    // Starts the clock; call once the pipes are in place.
    void Start();
    // Stops the watchdog; true when it had to release a blocked reader.
    bool Stop();
    bool Fired() const { return fired.load(); }

  private:
    std::chrono::seconds timeout;
    std::vector<std::filesystem::path> pipes;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::atomic<bool> fired{false};
    std::thread watcher;
};

} // namespace kit

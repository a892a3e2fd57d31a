#pragma once
#include "core/util/RegularFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a backup file at any offset through one window of bounded size, refilled with
// pread, so that a reader holds no more of the file than the window and what it copies
// out. Nothing is mapped: a file that shrinks while it is read (a sync or another
// program at work on the backup) cannot raise a signal. A read that finds fewer bytes
// than the file had when it was opened fails and marks the file as changed; the reader
// ends its read there. Bytes already in memory are read the same way.
class FileWindow {
  public:
    static constexpr size_t kDefaultWindow = size_t(1) << 20;

    FileWindow() = default;
    // Reads `size` bytes in memory (kept by the caller).
    FileWindow(const uint8_t* data, size_t size);
    FileWindow(const FileWindow&) = delete;
    FileWindow& operator=(const FileWindow&) = delete;

    // Opens the stored file of a backup at `path` (see RegularFile::OpenStoredPath) when it
    // is a regular file of at most `limit` bytes, read `window` bytes at a time. False
    // when it does not open or is larger than `limit`.
    bool Open(const std::string& path, uint64_t limit, size_t window = kDefaultWindow);

    // Size of the file when it was opened.
    uint64_t Size() const { return size_; }

    // The bytes from `at` on that the window holds (at least one): the window is moved to
    // `at` when it does not hold it. False at or past the end, and when the file no
    // longer has the byte.
    bool Span(uint64_t at, const uint8_t** data, size_t* length);
    // Copies `length` bytes from `at` into `out`; false when they are not all there.
    bool Read(uint64_t at, size_t length, void* out);
    // The same into a string of that length.
    bool Read(uint64_t at, size_t length, std::string& out);

    // True once a read found the file shorter than when it was opened, or failed.
    bool Changed() const { return changed_; }

  private:
    bool Fill(uint64_t at);

    RegularFile file_;
    const uint8_t* memory_ = nullptr;
    uint64_t size_ = 0;
    size_t window_ = kDefaultWindow;
    std::vector<uint8_t> buffer_; // the window: the file's bytes from start_ on
    uint64_t start_ = 0;
    bool changed_ = false;
};

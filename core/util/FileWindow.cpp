#include "core/util/FileWindow.h"

#include <algorithm>
#include <cstring>

namespace {

// Bytes kept before the offset a window is moved to, for a reader that looks back a
// little from where it stands.
constexpr uint64_t kLookBack = 64;

} // namespace

FileWindow::FileWindow(const uint8_t* data, size_t size) : memory_(data), size_(data ? size : 0) {}

bool FileWindow::Open(const std::string& path, uint64_t limit, size_t window) {
    memory_ = nullptr;
    size_ = 0;
    buffer_.clear();
    start_ = 0;
    changed_ = false;
    // A stored file of a backup: no link below the backup folder is followed.
    if (!file_.OpenStoredPath(path)) return false;
    if (file_.Size() > limit) {
        file_.Close();
        return false;
    }
    size_ = file_.Size();
    window_ = std::max<size_t>(window, 4 * kLookBack);
    return true;
}

bool FileWindow::Fill(uint64_t at) {
    if (changed_ || !file_.IsOpen()) return false;
    const uint64_t start = at > kLookBack ? at - kLookBack : 0;
    buffer_.resize(size_t(std::min<uint64_t>(window_, size_ - start)));
    if (!file_.ReadAt(start, buffer_.data(), buffer_.size())) {
        buffer_.clear();
        changed_ = true;
        return false;
    }
    start_ = start;
    return true;
}

bool FileWindow::Span(uint64_t at, const uint8_t** data, size_t* length) {
    if (at >= size_) return false;
    if (memory_) {
        *data = memory_ + at;
        *length = size_t(size_ - at);
        return true;
    }
    if ((at < start_ || at - start_ >= buffer_.size()) && !Fill(at)) return false;
    *data = buffer_.data() + (at - start_);
    *length = buffer_.size() - size_t(at - start_);
    return true;
}

bool FileWindow::Read(uint64_t at, size_t length, void* out) {
    if (length == 0) return true;
    if (!out || at > size_ || length > size_ - at) return false;
    if (memory_) {
        std::memcpy(out, memory_ + at, length);
        return true;
    }
    if (at >= start_ && at - start_ <= buffer_.size() && length <= buffer_.size() - size_t(at - start_)) {
        std::memcpy(out, buffer_.data() + (at - start_), length);
        return true;
    }
    if (changed_) return false;
    if (!file_.ReadAt(at, out, length)) {
        changed_ = true;
        return false;
    }
    return true;
}

bool FileWindow::Read(uint64_t at, size_t length, std::string& out) {
    out.clear();
    if (at > size_ || length > size_ - at) return false;
    out.resize(length);
    if (!Read(at, length, out.data())) {
        out.clear();
        return false;
    }
    return true;
}

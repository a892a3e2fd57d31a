#pragma once

// What a result view's save did: items written and items that could not be written.
// {0, 0} when nothing was ticked.
struct DirizaSaveResult {
    int written = 0;
    int failed = 0;

    DirizaSaveResult& operator+=(const DirizaSaveResult& o) {
        written += o.written;
        failed += o.failed;
        return *this;
    }
    bool operator==(const DirizaSaveResult&) const = default;
};

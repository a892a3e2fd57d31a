#pragma once

// What a result view's save did: items written, items that could not be written, and
// files the backup does not hold (never backed up by the device: not a failure of the
// save, counted apart). {0, 0, 0} when nothing was ticked.
struct DirizaSaveResult {
    int written = 0;
    int failed = 0;
    int missing = 0;

    DirizaSaveResult& operator+=(const DirizaSaveResult& o) {
        written += o.written;
        failed += o.failed;
        missing += o.missing;
        return *this;
    }
    bool operator==(const DirizaSaveResult&) const = default;
};

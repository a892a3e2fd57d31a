#pragma once
#include <QString>

#include <cstdint>
#include <mutex>

// The latest progress of a scan: the scan thread overwrites it at every report and the
// recovery page's timer reads it, so no call is queued per report.
class ScanProgressHolder {
  public:
    struct Value {
        int value = 0;
        int maximum = 0;
        QString text;
        uint64_t serial = 0; // grows by one with every Set
    };

    void Set(int value, int maximum, const QString& text) {
        std::lock_guard<std::mutex> lock(mutex);
        current.value = value;
        current.maximum = maximum;
        current.text = text;
        ++current.serial;
    }
    Value Get() const {
        std::lock_guard<std::mutex> lock(mutex);
        return current;
    }

  private:
    mutable std::mutex mutex;
    Value current;
};

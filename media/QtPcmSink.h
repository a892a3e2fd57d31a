#pragma once
#include "platform/IPcmSink.h"

#include <QString>

#include <memory>

class QAudioSink;
class QIODevice;

// IPcmSink on QAudioSink in push mode, on the default output device.
class QtPcmSink final : public IPcmSink {
  public:
    QtPcmSink();
    ~QtPcmSink() override;
    bool start(const Format& format, int bufferBytes) override;
    int64_t bytesFree() const override;
    int64_t write(const char* data, int64_t n) override;
    int64_t bytesProcessed() const override;
    void stop() override;
    bool failed() const override;
    QString error() const override;

    // A factory of these sinks.
    static PcmSinkFactory Factory();
    // True when the system has an audio output device.
    static bool HasOutputDevice();
    // Bytes in `usecs` microseconds of sound at `bytesPerSecond`, to the nearest byte: the
    // device counts whole microseconds, so a chunk's end comes back a fraction short of it.
    static int64_t BytesIn(int64_t usecs, int64_t bytesPerSecond);

  private:
    std::unique_ptr<QAudioSink> sink;
    QIODevice* device = nullptr; // owned by the sink
    int64_t bytesPerSecond = 48000;
    QString startError;
};

#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// Raw PCM output to the sound device, fed by pushing bytes (no pulling callback).
class IPcmSink {
  public:
    struct Format {
        int sampleRate = 24000;
        int channels = 1;
        int bytesPerSample = 2; // signed 16-bit, native (little-endian) order
    };

    virtual ~IPcmSink() = default;
    // Opens the device with a buffer of `bufferBytes`; false when it cannot (error() says why).
    virtual bool start(const Format& format, int bufferBytes) = 0;
    // Bytes the device buffer can take now.
    virtual int64_t bytesFree() const = 0;
    // Hands bytes to the device; returns how many it took (-1 on error).
    virtual int64_t write(const char* data, int64_t n) = 0;
    // Bytes the device has consumed since start.
    virtual int64_t bytesProcessed() const = 0;
    // Ends output at once; what is buffered is dropped.
    virtual void stop() = 0;
    // True once the device failed (gone, refused); error() says why.
    virtual bool failed() const = 0;
    virtual QString error() const = 0;
};

using PcmSinkFactory = std::function<std::unique_ptr<IPcmSink>()>;

#pragma once
#include "platform/IPcmSink.h"

#include <QByteArray>

#include <memory>

namespace kit {

// What a scripted sound output saw and does next; shared by the test and the sinks it makes.
struct PcmSinkScript {
    int64_t capacity = 3840; // device buffer; room = capacity - (written - processed)
    int64_t processed = 0;   // consumed bytes of the current sink (the test advances it)
    bool failStart = false;  // start() refuses
    bool failNow = false;    // the device is gone
    QByteArray written;      // every byte taken, over all sinks, in order
    int64_t writtenThisSink = 0;
    int sinksMade = 0;
    int sinksStarted = 0;
    int stops = 0;
    int alive = 0; // sinks not yet destroyed
    int lastBufferBytes = 0;
    IPcmSink::Format lastFormat;
    // Consumes everything written so far to the current sink.
    void drain() { processed = writtenThisSink; }
};

class FakePcmSink final : public IPcmSink {
  public:
    explicit FakePcmSink(std::shared_ptr<PcmSinkScript> script);
    ~FakePcmSink() override;
    bool start(const Format& format, int bufferBytes) override;
    int64_t bytesFree() const override;
    int64_t write(const char* data, int64_t n) override;
    int64_t bytesProcessed() const override;
    void stop() override;
    bool failed() const override;
    QString error() const override;

    // A factory of sinks that follow `script`.
    static PcmSinkFactory Factory(std::shared_ptr<PcmSinkScript> script);

  private:
    std::shared_ptr<PcmSinkScript> s;
};

} // namespace kit

#include "tests/kit/FakePcmSink.h"

namespace kit {

FakePcmSink::FakePcmSink(std::shared_ptr<PcmSinkScript> script) : s(std::move(script)) {
    ++s->sinksMade;
    ++s->alive;
}

FakePcmSink::~FakePcmSink() {
    --s->alive;
}

bool FakePcmSink::start(const Format& format, int bufferBytes) {
    if (s->failStart) return false;
    ++s->sinksStarted;
    s->lastFormat = format;
    s->lastBufferBytes = bufferBytes;
    s->processed = 0;
    s->writtenThisSink = 0;
    return true;
}

int64_t FakePcmSink::bytesFree() const {
    return s->capacity - (s->writtenThisSink - s->processed);
}

int64_t FakePcmSink::write(const char* data, int64_t n) {
    if (s->failNow) return -1;
    const int64_t take = std::min(n, bytesFree());
    if (take <= 0) return 0;
    s->written.append(data, take);
    s->writtenThisSink += take;
    return take;
}

int64_t FakePcmSink::bytesProcessed() const {
    return s->processed;
}
void FakePcmSink::stop() {
    ++s->stops;
}
bool FakePcmSink::failed() const {
    return s->failNow || s->failStart;
}
QString FakePcmSink::error() const {
    return failed() ? QStringLiteral("fake device gone") : QString();
}

PcmSinkFactory FakePcmSink::Factory(std::shared_ptr<PcmSinkScript> script) {
    return [script] { return std::unique_ptr<IPcmSink>(new FakePcmSink(script)); };
}

} // namespace kit

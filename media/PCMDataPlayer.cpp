#include "media/PCMDataPlayer.h"

#include "platform/ProcessLog.h"
#include "media/QtPcmSink.h"

PCMDataPlayer::PCMDataPlayer(PcmSinkFactory f) : factory(f ? std::move(f) : QtPcmSink::Factory()) {
    for (auto& m : audioQueueUsed)
        m.store(0);
    for (auto& e : slotEnd)
        e.store(0);
}

PCMDataPlayer::~PCMDataPlayer() {
    stop();
}

void PCMDataPlayer::stop() {
    std::lock_guard<std::mutex> lock(sysnLock);
    if (sink) {
        sink->stop();
        sink.reset();
    }
    for (auto& m : audioQueueUsed)
        m.store(0);
    written = 0;
}

void PCMDataPlayer::reset() {
    stop();
}

void PCMDataPlayer::collect() {
    if (!sink) return;
    const int64_t processed = sink->bytesProcessed();
    for (int i = 0; i < kSlots; ++i)
        if (audioQueueUsed[i].load() == 1 && slotEnd[i].load() <= processed) audioQueueUsed[i].store(0);
}

int PCMDataPlayer::getNotUsedBuffer() {
    for (int i = 0; i < kSlots; ++i) {
        int8_t expected = 0;
        if (audioQueueUsed[i].compare_exchange_strong(expected, 1)) return i;
    }
    return -1;
}

bool PCMDataPlayer::checkBufferHasUsed() {
    std::lock_guard<std::mutex> lock(sysnLock);
    collect();
    for (auto& m : audioQueueUsed)
        if (m.load() == 1) return true;
    return false;
}

int PCMDataPlayer::outstanding() {
    std::lock_guard<std::mutex> lock(sysnLock);
    collect();
    int n = 0;
    for (auto& m : audioQueueUsed)
        n += m.load() == 1;
    return n;
}

PCMDataPlayer::Result PCMDataPlayer::play(const char* data, uint32_t length) {
    if (length > kMaxChunk) {
        ProcessLog::Write(QStringLiteral("PCMDataPlayer: chunk of %1 bytes refused (at most %2)")
                              .arg(length)
                              .arg(kMaxChunk));
        return Result::Refused;
    }
    if (!data && length > 0) return Result::Refused;
    // Playback ran dry (or never started): a fresh output.
    if (!checkBufferHasUsed()) {
        stop();
        std::lock_guard<std::mutex> lock(sysnLock);
        sink = factory();
        if (!sink || !sink->start(IPcmSink::Format{}, kDeviceBuffer)) {
            ProcessLog::Write(QStringLiteral("PCMDataPlayer: the audio output cannot start: %1")
                                  .arg(sink ? sink->error() : QStringLiteral("no output")));
            sink.reset();
            return Result::Failed;
        }
    }
    std::lock_guard<std::mutex> lock(sysnLock);
    if (sink->failed()) {
        ProcessLog::Write(QStringLiteral("PCMDataPlayer: audio output failed: %1").arg(sink->error()));
        return Result::Failed;
    }
    const int slot = getNotUsedBuffer();
    if (slot < 0) return Result::Busy;
    if (sink->bytesFree() < int64_t(length)) {
        audioQueueUsed[slot].store(0);
        return Result::Busy;
    }
    const int64_t took = length ? sink->write(data, length) : 0;
    if (took != int64_t(length)) {
        audioQueueUsed[slot].store(0);
        if (took <= 0 && !sink->failed()) return Result::Busy;
        ProcessLog::Write(QStringLiteral("PCMDataPlayer: audio output took %1 of %2 bytes: %3")
                              .arg(took)
                              .arg(length)
                              .arg(sink->error()));
        return Result::Failed;
    }
    written += length;
    slotEnd[slot].store(written);
    return Result::Queued;
}

#pragma once
#include "platform/IPcmSink.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// Plays raw PCM (24000 Hz, mono, signed 16-bit little-endian) handed over in chunks of at
// most 2000 bytes. Six chunk slots pace the caller: play() never waits; it answers Busy when
// every slot is in use or the device has no room, and the caller offers the same chunk again
// later. A slot comes back once the device has consumed the bytes up to its chunk's end.
// A fresh device output is opened for the first chunk and whenever playback ran dry.
class PCMDataPlayer {
  public:
    enum class Result { Queued, Busy, Failed, Refused };

    static constexpr int kSlots = 6;
    static constexpr uint32_t kMaxChunk = 2000;
    static constexpr int kDeviceBuffer = 3840; // six chunks of 640 bytes, 80 ms

    // `factory` makes the device outputs (default: the sound device).
    explicit PCMDataPlayer(PcmSinkFactory factory = {});
    ~PCMDataPlayer();
    PCMDataPlayer(const PCMDataPlayer&) = delete;
    PCMDataPlayer& operator=(const PCMDataPlayer&) = delete;

    // Drops the output and makes every slot free; the next chunk opens a new output.
    void reset();
    // Ends output at once; queued sound is not heard. Nothing when there is no output.
    void stop();
    // Queues one chunk (see Result). A chunk above kMaxChunk bytes is refused.
    Result play(const char* data, uint32_t length);
    // True when at least one slot holds a chunk the device has not consumed.
    bool checkBufferHasUsed();
    // Chunks queued and not yet consumed.
    int outstanding();
    // True while an output is open.
    bool hasOutput() const { return sink != nullptr; }

  private:
    // Frees the slots whose chunk the device has consumed.
    void collect();
    // The first free slot, marked in use; -1 when all are in use.
    int getNotUsedBuffer();

    PcmSinkFactory factory;
    std::unique_ptr<IPcmSink> sink;
    std::mutex sysnLock;
    std::array<std::atomic<int8_t>, kSlots> audioQueueUsed{};
    std::array<std::atomic<int64_t>, kSlots> slotEnd{}; // device byte count at the chunk's end
    int64_t written = 0;
};

#pragma once
// Decoding of SILK v3 voice files (optional 0x02, "#!SILK_V3", then packets each with a
// 16-bit little-endian length) into raw PCM: mono, 16-bit little-endian, 24000 Hz.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

namespace silk {

inline constexpr int32_t kSilkVoiceRate = 24000;
// Output stops after this much audio: a damaged file of zero lengths would otherwise turn
// every two input bytes into 20 ms of output.
inline constexpr uint64_t kSilkVoiceMaxSamples = uint64_t{30} * 60 * kSilkVoiceRate;

enum class SilkVoiceStatus { Decoded, BadHeader, OutputFailed, WriteFailed };

struct SilkVoiceIo {
    // Reads up to n bytes, returns how many arrived (fewer only at the end).
    std::function<size_t(uint8_t* dst, size_t n)> read;
    // Called once the header is accepted; false when the output cannot be created.
    std::function<bool()> openOutput;
    // Receives the samples of each packet; false when they could not be written.
    std::function<bool(std::span<const int16_t>)> write;
    // Messages of the decoder (nullptr: none).
    std::FILE* log = nullptr;
    // Output stops after this many samples.
    uint64_t maxSamples = kSilkVoiceMaxSamples;
};

struct SilkVoiceResult {
    SilkVoiceStatus status = SilkVoiceStatus::BadHeader;
    uint64_t samples = 0;  // samples written
    float duration = 0.0f; // samples / 24000 seconds
    bool capped = false;   // output stopped at the 30-minute limit
};

// The decoding loop, on any byte source and sample sink.
SilkVoiceResult silkDecodeVoiceStream(const SilkVoiceIo& io);
// In-memory: the file's bytes in, the samples appended to `pcm`.
SilkVoiceResult silkDecodeVoice(std::span<const uint8_t> file, std::vector<int16_t>& pcm,
                                std::FILE* log = nullptr);
// Decodes `input` into a new raw PCM file at `output` (and nowhere else). Returns 1 when the
// stream was decoded to its end, 0 when the input cannot be opened, its header is wrong, the
// output cannot be created or a write fails (the partial output is then removed). Writes
// *duration only on success.
int silkFileToPcm(const std::filesystem::path& input, const std::filesystem::path& output, float* duration);
// The same for an input the caller opened (a stored file of a backup, opened without
// following links and checked as a regular file); it stays the caller's to close.
int silkFileToPcm(std::FILE* input, const std::filesystem::path& output, float* duration);

} // namespace silk

#include "media/silk/SilkFileDecoder.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>

#include "media/silk/SilkDecoder.h"

namespace silk {

namespace {

constexpr int kSlots = 3;
constexpr int kMaxFramesPerPacketOut = 5;

struct Slot {
    std::vector<uint8_t> bytes;
    int32_t length = 0; // 0: lost packet
};

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void logLine(std::FILE* log, const std::string& text) {
    if (log) {
        std::fputs(text.c_str(), log);
        std::fflush(log);
    }
}

} // namespace

SilkVoiceResult silkDecodeVoiceStream(const SilkVoiceIo& io) {
    SilkVoiceResult result;

    // Header: 0x02 then "#!SILK_V3", or any byte then "!SILK_V3".
    std::array<uint8_t, 10> header{};
    size_t got = io.read(header.data(), 1);
    bool headerOk = false;
    std::string seen;
    if (got == 1) {
        if (header[0] == 0x02) {
            size_t n = io.read(header.data() + 1, 9);
            seen.assign(reinterpret_cast<const char*>(header.data() + 1), n);
            headerOk = n == 9 && std::memcmp(header.data() + 1, "#!SILK_V3", 9) == 0;
        } else {
            size_t n = io.read(header.data() + 1, 8);
            seen.assign(reinterpret_cast<const char*>(header.data() + 1), n);
            headerOk = n == 8 && std::memcmp(header.data() + 1, "!SILK_V3", 8) == 0;
        }
    }
    if (!headerOk) {
        logLine(io.log, "Error: Wrong Header " + std::string(seen.c_str()) + "\n");
        result.status = SilkVoiceStatus::BadHeader;
        return result;
    }
    if (!io.openOutput()) {
        result.status = SilkVoiceStatus::OutputFailed;
        return result;
    }

    auto decoder = std::make_unique<SilkDecoderState>();
    SKP_Silk_InitDecoder(*decoder);
    SilkDecControl control;
    control.outputRate = kSilkVoiceRate;
    control.framesPerPacket = 1;

    std::array<Slot, kSlots> slots;
    std::vector<uint8_t> fec(kSilkMaxPayloadBytes);
    std::vector<int16_t> packetOut;
    packetOut.reserve(static_cast<size_t>(kMaxFramesPerPacketOut + 1) * kSilkMaxOutputFrame);
    std::array<int16_t, kSilkMaxOutputFrame> frame{};
    bool failed = false;

    auto readPacket = [&](Slot& slot) -> bool {
        slot.length = 0;
        std::array<uint8_t, 2> len{};
        if (io.read(len.data(), 2) != 2) return false;
        int16_t n = static_cast<int16_t>(static_cast<uint16_t>(len[0] | (len[1] << 8)));
        if (n < 0) return false;
        slot.bytes.resize(static_cast<size_t>(n));
        if (n > 0 && io.read(slot.bytes.data(), static_cast<size_t>(n)) != static_cast<size_t>(n))
            return false;
        slot.length = n;
        return true;
    };

    auto decodePayload = [&](const uint8_t* payload, int32_t bytes) {
        int frames = 0;
        do {
            int16_t len = 0;
            int32_t ret = SKP_Silk_SDK_Decode(*decoder, control, 0, payload, bytes, frame, len);
            if (ret) logLine(io.log, "\nSKP_Silk_SDK_Decode returned " + std::to_string(ret));
            ++frames;
            packetOut.insert(packetOut.end(), frame.begin(), frame.begin() + len);
            if (frames > kMaxFramesPerPacketOut) {
                packetOut.clear();
                frames = 0;
            }
        } while (control.moreFrames);
    };

    auto decodeSlot0 = [&]() {
        packetOut.clear();
        if (slots[0].length > 0) {
            decodePayload(slots[0].bytes.data(), slots[0].length);
            return;
        }
        for (int j = 1; j < kSlots; ++j) {
            if (slots[static_cast<size_t>(j)].length > 0) {
                int16_t fecBytes = 0;
                silkSearchForLbrr(slots[static_cast<size_t>(j)].bytes.data(),
                                  slots[static_cast<size_t>(j)].length, j, fec.data(), fecBytes);
                if (fecBytes > 0) {
                    decodePayload(fec.data(), fecBytes);
                    return;
                }
            }
        }
        // As many frames as the last packet held; at least one, also before any packet
        // decoded (the decoder reports 0 until then, and after a packet that failed).
        const int32_t frames = control.framesPerPacket > 0 ? control.framesPerPacket : 1;
        for (int32_t i = 0; i < frames; ++i) {
            int16_t len = 0;
            int32_t ret = SKP_Silk_SDK_Decode(*decoder, control, 1, nullptr, 0, frame, len);
            if (ret) logLine(io.log, "\nSKP_Silk_Decode returned " + std::to_string(ret));
            packetOut.insert(packetOut.end(), frame.begin(), frame.begin() + len);
        }
    };

    // Writes the packet's samples; false ends the stream (write failure or the time limit).
    auto writeOut = [&]() -> bool {
        size_t n = packetOut.size();
        uint64_t room = io.maxSamples - result.samples;
        if (n > room) {
            n = static_cast<size_t>(room);
            result.capped = true;
        }
        if (n > 0 && !io.write(std::span<const int16_t>(packetOut.data(), n))) {
            failed = true;
            return false;
        }
        result.samples += n;
        if (result.capped) {
            logLine(io.log, "\nOutput stopped at the length limit of " + std::to_string(io.maxSamples) +
                                " samples\n");
            return false;
        }
        return true;
    };

    auto shift = [&]() {
        std::swap(slots[0], slots[1]);
        std::swap(slots[1], slots[2]);
        slots[2].length = 0;
    };

    bool running = true;
    bool ended = false;
    for (int i = 0; i < 2 && !ended; ++i)
        ended = !readPacket(slots[static_cast<size_t>(i)]);
    while (running && !ended) {
        if (!readPacket(slots[2])) break;
        decodeSlot0();
        running = writeOut();
        shift();
    }
    for (int k = 0; k < 2 && running; ++k) {
        decodeSlot0();
        running = writeOut();
        shift();
    }

    if (failed) {
        result.status = SilkVoiceStatus::WriteFailed;
        return result;
    }
    result.status = SilkVoiceStatus::Decoded;
    result.duration = static_cast<float>(static_cast<double>(result.samples) / kSilkVoiceRate);
    return result;
}

SilkVoiceResult silkDecodeVoice(std::span<const uint8_t> file, std::vector<int16_t>& pcm, std::FILE* log) {
    size_t pos = 0;
    SilkVoiceIo io;
    io.read = [&](uint8_t* dst, size_t n) {
        size_t take = std::min(n, file.size() - pos);
        if (take > 0) std::memcpy(dst, file.data() + pos, take);
        pos += take;
        return take;
    };
    io.openOutput = [] { return true; };
    io.write = [&](std::span<const int16_t> samples) {
        pcm.insert(pcm.end(), samples.begin(), samples.end());
        return true;
    };
    io.log = log;
    return silkDecodeVoiceStream(io);
}

int silkFileToPcm(const std::filesystem::path& input, const std::filesystem::path& output, float* duration) {
    // Voice files come from a backup: a pipe or a device in a file's place would block
    // the read for ever, so only a regular file is opened.
    std::error_code regularError;
    FilePtr in(std::filesystem::is_regular_file(input, regularError) ? std::fopen(input.c_str(), "rb")
                                                                     : nullptr);
    if (!in) {
        std::printf("Error: could not open input file %s\n", input.c_str());
        std::fflush(stdout);
        return 0;
    }
    return silkFileToPcm(in.get(), output, duration);
}

int silkFileToPcm(std::FILE* in, const std::filesystem::path& output, float* duration) {
    if (!in) return 0;
    FilePtr out;
    bool writeError = false;
    SilkVoiceIo io;
    io.read = [&](uint8_t* dst, size_t n) { return std::fread(dst, 1, n, in); };
    io.openOutput = [&] {
        out.reset(std::fopen(output.c_str(), "wb"));
        if (!out) {
            std::printf("Error: could not open output file %s\n", output.c_str());
            std::fflush(stdout);
            return false;
        }
        return true;
    };
    std::vector<uint8_t> bytes;
    io.write = [&](std::span<const int16_t> samples) {
        bytes.resize(samples.size() * 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            uint16_t v = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size()) {
            writeError = true;
            return false;
        }
        return true;
    };
    io.log = stdout;
    SilkVoiceResult result = silkDecodeVoiceStream(io);
    if (result.status == SilkVoiceStatus::BadHeader || result.status == SilkVoiceStatus::OutputFailed)
        return 0;
    if (!writeError && result.status == SilkVoiceStatus::Decoded) {
        if (std::fflush(out.get()) != 0 || std::ferror(out.get())) writeError = true;
    }
    std::FILE* raw = out.release();
    if (std::fclose(raw) != 0) writeError = true;
    if (writeError || result.status != SilkVoiceStatus::Decoded) {
        // Remove the partial output, but only a regular file (never a device such as /dev/full).
        std::error_code ec;
        if (std::filesystem::is_regular_file(output, ec)) std::filesystem::remove(output, ec);
        std::printf("Error: could not write output file %s\n", output.c_str());
        std::fflush(stdout);
        return 0;
    }
    if (duration) *duration = result.duration;
    return 1;
}

} // namespace silk

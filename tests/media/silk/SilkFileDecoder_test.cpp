// The voice file decoder on damaged and unusual files, its output file and its limits.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "media/silk/SilkFileDecoder.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/SilkPacketWriter.h"

namespace fs = std::filesystem;
using namespace silk;

namespace {

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> fixture() {
    return readBytes(fs::path(TEST_DATA_DIR) / "media/silk/fixtures/speech_16000.silk");
}

std::vector<uint8_t> header(bool leading02 = true) {
    return kit::silkVoiceFile({}, leading02);
}

void appendPacket(std::vector<uint8_t>& file, const std::vector<uint8_t>& payload, int lengthField = -1) {
    int n = lengthField >= 0 ? lengthField : static_cast<int>(payload.size());
    file.push_back(static_cast<uint8_t>(n & 0xFF));
    file.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
    file.insert(file.end(), payload.begin(), payload.end());
}

std::vector<uint8_t> goodPacket() {
    return kit::silkPacket(kit::SilkFrameSymbols{});
}

struct Case {
    std::string name;
    std::vector<uint8_t> file;
    int result;
    long samples; // expected sample count, -1: any
};

std::vector<Case> cases() {
    std::vector<Case> v;
    std::vector<uint8_t> good = fixture();
    const long goodSamples = 40 * 480;
    {
        std::vector<uint8_t> f = {0x02};
        const char* shortMagic = "#!SILK_V";
        f.insert(f.end(), shortMagic, shortMagic + 8);
        v.push_back({"0x02 and a short magic", f, 0, 0});
    }
    {
        std::vector<uint8_t> f(good.begin() + 1, good.end());
        f[0] = 'X';
        v.push_back({"another first byte", f, 1, goodSamples});
    }
    v.push_back({"empty file", {}, 0, 0});
    {
        std::vector<uint8_t> f = good;
        std::vector<uint8_t> end = {0xFF, 0xFF, 1, 2, 3};
        std::vector<uint8_t> cut(good.begin(), good.begin() + 10); // header only
        appendPacket(cut, goodPacket());
        appendPacket(cut, goodPacket());
        appendPacket(cut, goodPacket());
        cut.insert(cut.end(), end.begin(), end.end());
        appendPacket(cut, goodPacket());
        v.push_back({"length 0xFFFF ends the stream", cut, 1, 3 * 480});
    }
    {
        std::vector<uint8_t> f = header();
        appendPacket(f, goodPacket());
        appendPacket(f, goodPacket());
        appendPacket(f, goodPacket());
        std::vector<uint8_t> p = goodPacket();
        appendPacket(f, std::vector<uint8_t>(p.begin(), p.begin() + 2), static_cast<int>(p.size()));
        v.push_back({"truncated payload", f, 1, 3 * 480});
    }
    {
        std::vector<uint8_t> f = header();
        appendPacket(f, goodPacket());
        appendPacket(f, {0x12});
        appendPacket(f, {0x12, 0x34});
        appendPacket(f, {0xFF, 0xFE, 0xFD});
        appendPacket(f, goodPacket());
        v.push_back({"packets of 1 to 3 bytes", f, 1, -1});
    }
    {
        std::vector<uint8_t> f = header();
        appendPacket(f, goodPacket());
        appendPacket(f, std::vector<uint8_t>(1025, 0x42));
        appendPacket(f, goodPacket());
        appendPacket(f, goodPacket());
        v.push_back({"1025-byte packet", f, 1, 4 * 480});
    }
    {
        std::vector<uint8_t> f = header();
        for (int i = 0; i < 3; ++i)
            appendPacket(f, std::vector<uint8_t>(32767, static_cast<uint8_t>(0x10 * i + 1)));
        v.push_back({"32767-byte packets", f, 1, 3 * 480});
    }
    {
        std::mt19937 rng(7);
        std::vector<uint8_t> f = header();
        for (int i = 0; i < 4000; ++i)
            f.push_back(static_cast<uint8_t>(rng()));
        v.push_back({"random bytes", f, 1, -1});
    }
    {
        std::vector<uint8_t> f = header();
        for (int i = 0; i < 50; ++i)
            appendPacket(f, {});
        v.push_back({"only zero lengths", f, 1, 50 * 480});
    }
    return v;
}

} // namespace

TEST(SilkFileDecoder, DamagedAndUnusualFiles) {
    kit::ScratchFolder dir("silk");
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        fs::path in = dir.path() / "in.silk";
        fs::path out = dir.path() / "in.silkp";
        fs::remove(out);
        writeBytes(in, c.file);
        float duration = -7.0f;
        EXPECT_EQ(silkFileToPcm(in, out, &duration), c.result);
        if (c.result == 0) {
            EXPECT_FALSE(fs::exists(out));
            EXPECT_EQ(duration, -7.0f);
            continue;
        }
        auto size = static_cast<long>(fs::file_size(out));
        if (c.samples >= 0) EXPECT_EQ(size, 2 * c.samples);
        EXPECT_FLOAT_EQ(duration, static_cast<float>(size / 2) / 24000.0f);
        // The in-memory core gives the same samples.
        std::vector<int16_t> pcm;
        silkDecodeVoice(c.file, pcm);
        EXPECT_EQ(static_cast<long>(pcm.size()) * 2, size);
    }
}

TEST(SilkFileDecoder, MissingInputAndUncreatableOutput) {
    kit::ScratchFolder dir("silk");
    float duration = -7.0f;
    EXPECT_EQ(silkFileToPcm(dir.path() / "missing.silk", dir.path() / "out", &duration), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "out"));
    // A named pipe in a voice file's place is refused, not waited on.
    {
        kit::PipeWatchdog watchdog(std::chrono::seconds(10));
        ASSERT_TRUE(watchdog.MakePipe(dir.path() / "pipe.silk"));
        watchdog.Start();
        EXPECT_EQ(silkFileToPcm(dir.path() / "pipe.silk", dir.path() / "out", &duration), 0);
        EXPECT_FALSE(watchdog.Stop()) << "the decoder blocked on the pipe";
        EXPECT_FALSE(fs::exists(dir.path() / "out"));
    }
    fs::path in = dir.path() / "in.silk";
    writeBytes(in, fixture());
    EXPECT_EQ(silkFileToPcm(in, dir.path() / "no" / "such" / "folder" / "out", &duration), 0);
    EXPECT_EQ(duration, -7.0f);
    // A long path is not cut short.
    fs::path deep = dir.path();
    for (int i = 0; i < 8; ++i)
        deep /= std::string(60, static_cast<char>('a' + i));
    fs::create_directories(deep);
    fs::path longIn = deep / "voice.silk";
    writeBytes(longIn, fixture());
    EXPECT_GT(longIn.string().size(), 300u);
    EXPECT_EQ(silkFileToPcm(longIn, deep / "voice.silkp", &duration), 1);
    EXPECT_TRUE(fs::exists(deep / "voice.silkp"));
}

TEST(SilkFileDecoder, FailedWritesReturnZero) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    kit::ScratchFolder dir("silk");
    fs::path in = dir.path() / "in.silk";
    writeBytes(in, fixture());
    float duration = -7.0f;
    EXPECT_EQ(silkFileToPcm(in, "/dev/full", &duration), 0);
    EXPECT_EQ(duration, -7.0f);
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST(SilkFileDecoder, WritesOnlyTheOutputItIsGiven) {
    kit::ScratchFolder backup("silk-backup");
    kit::ScratchFolder cache("silk-cache");
    fs::path in = backup.path() / "msg.silk";
    writeBytes(in, fixture());
    fs::permissions(backup.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    auto before = kit::FolderSnapshot::Take(backup.path());
    float duration = 0;
    EXPECT_EQ(silkFileToPcm(in, cache.path() / "msg.silkp", &duration), 1);
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.path()).DiffFrom(before));
    std::vector<fs::path> made;
    for (const auto& e : fs::directory_iterator(cache.path()))
        made.push_back(e.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].filename(), "msg.silkp");
    fs::permissions(backup.path(), fs::perms::owner_all, fs::perm_options::add);
}

TEST(SilkFileDecoder, OutputStopsAtTheLengthLimit) {
    std::vector<uint8_t> f = header();
    for (int i = 0; i < 100; ++i)
        appendPacket(f, {});
    size_t pos = 0;
    std::vector<int16_t> pcm;
    SilkVoiceIo io;
    io.read = [&](uint8_t* dst, size_t n) {
        size_t take = std::min(n, f.size() - pos);
        std::copy_n(f.begin() + static_cast<long>(pos), take, dst);
        pos += take;
        return take;
    };
    io.openOutput = [] { return true; };
    io.write = [&](std::span<const int16_t> s) {
        pcm.insert(pcm.end(), s.begin(), s.end());
        return true;
    };
    io.maxSamples = 10 * 480 + 100;
    SilkVoiceResult r = silkDecodeVoiceStream(io);
    EXPECT_EQ(r.status, SilkVoiceStatus::Decoded);
    EXPECT_TRUE(r.capped);
    EXPECT_EQ(pcm.size(), io.maxSamples);
    EXPECT_EQ(r.samples, io.maxSamples);
    EXPECT_EQ(kSilkVoiceMaxSamples, 30u * 60 * 24000);
}

TEST(SilkFileDecoder, DurationIsSamplesOverTheRate) {
    std::vector<int16_t> pcm;
    SilkVoiceResult r = silkDecodeVoice(fixture(), pcm);
    EXPECT_FLOAT_EQ(r.duration, 40 * 0.02f);
    std::vector<uint8_t> one = header();
    appendPacket(one, goodPacket());
    pcm.clear();
    r = silkDecodeVoice(one, pcm);
    EXPECT_EQ(pcm.size(), 2u * 480); // the packet and one concealed frame
    EXPECT_FLOAT_EQ(r.duration, 0.04f);
}

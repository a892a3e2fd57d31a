// A backup file read through a bounded window reads as its bytes in memory do; a file
// that shrinks between reads fails the read that needs the lost bytes and says so.
#include "core/util/FileWindow.h"

#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string noise(size_t n) {
    std::mt19937 rng(5);
    std::string out(n, '\0');
    for (char& c : out)
        c = char(rng());
    return out;
}

// Every byte through Span, from `at` to the end.
std::string spanned(FileWindow& in, uint64_t at) {
    std::string out;
    const uint8_t* data = nullptr;
    size_t n = 0;
    while (in.Span(at, &data, &n)) {
        out.append(reinterpret_cast<const char*>(data), n);
        at += n;
    }
    return out;
}

} // namespace

TEST(FileWindow, ReadsAcrossItsWindowAsTheBytesInMemory) {
    kit::ScratchFolder scratch("window");
    const std::string bytes = noise(5000);
    writeFile(scratch.path() / "store", bytes);
    FileWindow memory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    FileWindow file;
    ASSERT_TRUE(file.Open((scratch.path() / "store").string(), 1 << 20, 300));
    for (FileWindow* in : {&memory, &file}) {
        ASSERT_EQ(bytes.size(), in->Size());
        EXPECT_EQ(bytes, spanned(*in, 0));
        EXPECT_EQ(bytes.substr(4321), spanned(*in, 4321));
        // Reads inside the window, across its edges, behind it and far ahead of it.
        const std::pair<uint64_t, size_t> reads[] = {{0, 10},   {250, 100},  {4990, 10}, {10, 4000},
                                                     {3000, 1}, {2999, 700}, {0, 5000},  {4999, 1}};
        for (const auto& [at, length] : reads) {
            std::string out;
            ASSERT_TRUE(in->Read(at, length, out)) << at << " " << length;
            EXPECT_EQ(bytes.substr(size_t(at), length), out) << at << " " << length;
        }
        // Past the end: refused, and the file is not taken for changed.
        std::string out;
        EXPECT_FALSE(in->Read(4990, 11, out));
        EXPECT_FALSE(in->Read(6000, 1, out));
        const uint8_t* data = nullptr;
        size_t n = 0;
        EXPECT_FALSE(in->Span(5000, &data, &n));
        EXPECT_FALSE(in->Changed());
    }
}

TEST(FileWindow, AFileThatShrinksBetweenReadsEndsTheRead) {
    for (uint64_t kept : {uint64_t(0), uint64_t(1000)}) {
        SCOPED_TRACE(kept);
        kit::ScratchFolder scratch("window");
        const fs::path path = scratch.path() / "store";
        const std::string bytes = noise(4000);
        writeFile(path, bytes);
        FileWindow file;
        ASSERT_TRUE(file.Open(path.string(), 1 << 20, 256));
        const uint8_t* data = nullptr;
        size_t n = 0;
        ASSERT_TRUE(file.Span(0, &data, &n));
        ASSERT_EQ(256u, n);
        fs::resize_file(path, kept);
        // What the window holds stays readable; bytes the file still has are read.
        EXPECT_TRUE(file.Span(100, &data, &n));
        std::string out;
        EXPECT_EQ(kept >= 600, file.Read(500, 100, out));
        EXPECT_FALSE(file.Changed() && kept >= 600);
        // Bytes the file no longer has: the read fails and the file counts as changed.
        EXPECT_FALSE(file.Span(2000, &data, &n));
        EXPECT_TRUE(file.Changed());
        EXPECT_FALSE(file.Read(3000, 10, out));
        EXPECT_EQ(4000u, file.Size());
    }
}

TEST(FileWindow, OnlyARegularFileWithinTheLimitOpens) {
    kit::ScratchFolder scratch("window");
    const fs::path dir = scratch.path();
    writeFile(dir / "store", std::string(100, 'x'));
    writeFile(dir / "empty", "");
    fs::create_directories(dir / "folder");
    fs::create_symlink(dir / "store", dir / "link");
    FileWindow file;
    EXPECT_TRUE(file.Open((dir / "store").string(), 100));
    EXPECT_FALSE(file.Open((dir / "store").string(), 99));
    EXPECT_FALSE(file.Open((dir / "folder").string(), 100));
    EXPECT_FALSE(file.Open((dir / "link").string(), 100));
    EXPECT_FALSE(file.Open((dir / "missing").string(), 100));
    ASSERT_TRUE(file.Open((dir / "empty").string(), 100));
    const uint8_t* data = nullptr;
    size_t n = 0;
    EXPECT_EQ(0u, file.Size());
    EXPECT_FALSE(file.Span(0, &data, &n));
    EXPECT_FALSE(file.Changed());
}

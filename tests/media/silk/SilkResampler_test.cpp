// The resampler: output counts, continuity across calls, re-initialisation and the variants
// a 24 kHz decode never reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "media/silk/SilkResampler.h"
#include "media/silk/SilkTables.h"

using namespace silk;

namespace {

constexpr int16_t kUnwritten = -32768;

std::vector<int16_t> sine(int32_t rate, double hz, int n, double amplitude = 8000) {
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return x;
}

// Resamples `in` in the given chunk sizes (repeated); returns everything written.
std::vector<int16_t> run(int32_t inRate, int32_t outRate, const std::vector<int16_t>& in,
                         std::vector<int> chunks) {
    SilkResamplerState s;
    EXPECT_EQ(silkResamplerInit(s, inRate, outRate), 0);
    std::vector<int16_t> out;
    size_t pos = 0, k = 0;
    while (pos < in.size()) {
        int n = std::min<int>(chunks[k++ % chunks.size()], static_cast<int>(in.size() - pos));
        std::vector<int16_t> buf(static_cast<size_t>(n) * 12 + 64, kUnwritten);
        EXPECT_EQ(silkResample(s, buf.data(), in.data() + pos, n), 0);
        size_t written = buf.size();
        while (written > 0 && buf[written - 1] == kUnwritten)
            --written;
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(written));
        pos += static_cast<size_t>(n);
    }
    return out;
}

int zeroCrossings(const std::vector<int16_t>& x, size_t skip) {
    int c = 0;
    for (size_t i = skip + 1; i < x.size(); ++i)
        c += (x[i - 1] < 0) != (x[i] < 0);
    return c;
}

} // namespace

TEST(SilkResampler, OutputCounts) {
    struct Case {
        int32_t in, out, n, expected;
    } cases[] = {{12000, 24000, 240, 480}, {16000, 24000, 320, 480}, {8000, 24000, 160, 480},
                 {24000, 24000, 480, 480}, {24000, 8000, 480, 160},  {24000, 12000, 480, 240},
                 {24000, 16000, 480, 320}, {24000, 48000, 480, 960}, {48000, 12000, 960, 240},
                 {48000, 8000, 960, 160}};
    for (const Case& c : cases) {
        std::vector<int16_t> x = sine(c.in, 440, c.n);
        EXPECT_EQ(run(c.in, c.out, x, {c.n}).size(), static_cast<size_t>(c.expected))
            << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, ChunksGiveTheSameSignal) {
    // Any chunking for the 2x and copy paths; whole 10 ms blocks for the fractional ones.
    struct Case {
        int32_t in, out;
        std::vector<int> chunks;
    } cases[] = {{12000, 24000, {1, 7, 33, 240}}, {24000, 24000, {5, 100}},   {16000, 24000, {160, 320, 480}},
                 {8000, 24000, {80, 160, 240}},   {24000, 16000, {240, 480}}, {24000, 8000, {240, 720}},
                 {24000, 44100, {240, 480}},      {44100, 8000, {441, 882}},  {96000, 24000, {960, 1920}},
                 {192000, 16000, {1920, 3840}},   {24000, 96000, {240, 480}}, {24000, 192000, {240, 720}}};
    for (const Case& c : cases) {
        std::vector<int16_t> x = sine(c.in, 300, c.in / 10);
        std::vector<int16_t> whole = run(c.in, c.out, x, {static_cast<int>(x.size())});
        std::vector<int16_t> chunked = run(c.in, c.out, x, c.chunks);
        EXPECT_EQ(whole, chunked) << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, SineKeepsItsFrequency) {
    // Includes the stages only rates above 48 kHz use (2x and 4x before and after) and the
    // ARMA4 prefilter of the 441 ratios.
    struct Case {
        int32_t in, out;
    } cases[] = {{44100, 8000},  {44100, 12000},  {44100, 16000}, {44100, 24000},  {44100, 32000},
                 {96000, 24000}, {192000, 16000}, {24000, 96000}, {24000, 192000}, {8000, 24000},
                 {12000, 24000}, {24000, 8000},   {32000, 24000}, {48000, 8000},   {48000, 12000}};
    for (const Case& c : cases) {
        const double hz = 500;
        std::vector<int16_t> x = sine(c.in, hz, c.in / 2);
        std::vector<int16_t> y = run(c.in, c.out, x, {c.in / 100});
        ASSERT_GT(y.size(), static_cast<size_t>(c.out / 4)) << c.in << " -> " << c.out;
        size_t skip = static_cast<size_t>(c.out / 50);
        double seconds = static_cast<double>(y.size() - skip) / c.out;
        double measured = zeroCrossings(y, skip) / 2.0 / seconds;
        EXPECT_NEAR(measured, hz, hz * 0.03) << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, ReinitialisationStartsFromSilence) {
    for (auto rates : {std::pair{16000, 24000}, std::pair{12000, 24000}, std::pair{24000, 8000}}) {
        SilkResamplerState s;
        ASSERT_EQ(silkResamplerInit(s, rates.first, rates.second), 0);
        std::vector<int16_t> x = sine(rates.first, 700, rates.first / 50, 20000);
        std::vector<int16_t> out(4096);
        silkResample(s, out.data(), x.data(), static_cast<int32_t>(x.size()));
        ASSERT_EQ(silkResamplerInit(s, rates.first, rates.second), 0);
        std::vector<int16_t> zeros(x.size(), 0);
        std::vector<int16_t> out2(4096, 7);
        silkResample(s, out2.data(), zeros.data(), static_cast<int32_t>(zeros.size()));
        size_t n = static_cast<size_t>(rates.second / 50);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(out2[i], 0) << i;
    }
}

TEST(SilkResampler, RefusesBadRatesAndUninitialisedState) {
    SilkResamplerState s;
    EXPECT_EQ(silkResamplerInit(s, 7999, 24000), -1);
    EXPECT_EQ(silkResamplerInit(s, 24000, 192001), -1);
    EXPECT_EQ(silkResamplerInit(s, 192001, 24000), -1);
    EXPECT_EQ(silkResamplerInit(s, 8000, 7999), -1);
    std::vector<int16_t> in(10, 100), out(64, 5);
    EXPECT_EQ(silkResample(s, out.data(), in.data(), 10), -1);
    SilkResamplerState never;
    EXPECT_EQ(silkResample(never, out.data(), in.data(), 10), -1);
    for (int16_t v : out)
        EXPECT_EQ(v, 5);
    EXPECT_EQ(silkResamplerInit(s, 8000, 192000), 0);
    EXPECT_EQ(silkResamplerInit(s, 192000, 8000), 0);
}

// Every filter path checked against a plain double-precision model of the same structure: the
// same all-pass, AR, ARMA and FIR sections with the same coefficients, the same blocks and the
// same integer sample positions, but no rounding. Intermediate 16-bit buffers are clamped to the
// 16-bit range in the model (that is structure, not rounding) but keep their fractions.
namespace {

namespace ref {

using namespace silk::tables;

double clamp16(double v) {
    return std::clamp(v, -32768.0, 32767.0);
}

// One first-order all-pass branch in the codec's form: t = c * (x - s), out = s + t, s = x + t,
// with c in Q16; a coefficient above one half is stored as c - 1 (negative) in 16 bits.
double allPass(double& s, double x, double c) {
    double y = x - s;
    double t = y * (c < 0 ? 1 + c / 65536 : c / 65536);
    double out = s + t;
    s = x + t;
    return out;
}

struct Up2Hq {
    double S[6]{};
    void run(const std::vector<double>& in, std::vector<double>& out) {
        for (double x : in) {
            for (int phase = 0; phase < 2; ++phase) {
                const auto& c = phase == 0 ? resampler_up2_hq_0 : resampler_up2_hq_1;
                double& sa = S[phase == 0 ? 5 : 4];
                double& sb = S[phase == 0 ? 4 : 5];
                double o1 = allPass(S[2 * phase], x, c[0]);
                double o2 = allPass(S[2 * phase + 1], o1, c[1]);
                o2 += sa * resampler_up2_hq_notch[2] / 65536 + sb * resampler_up2_hq_notch[1] / 65536;
                o1 = o2 + sb * resampler_up2_hq_notch[0] / 65536;
                sa = o2 - sa;
                out.push_back(clamp16(o1 * resampler_up2_hq_notch[3] / 32768));
            }
        }
    }
};

// Up2, or Up4 when `repeat` is 2 (each output written twice).
struct Up2 {
    double S[2]{};
    int repeat = 1;
    void run(const std::vector<double>& in, std::vector<double>& out) {
        for (double x : in) {
            double even = clamp16(allPass(S[0], x, resampler_up2_lq_0));
            double odd = clamp16(allPass(S[1], x, resampler_up2_lq_1));
            out.insert(out.end(), static_cast<size_t>(repeat), even);
            out.insert(out.end(), static_cast<size_t>(repeat), odd);
        }
    }
};

// Down2, or Down4 when `pairs` is true (inputs summed in pairs and halved first).
struct Down2 {
    double S[2]{};
    bool pairs = false;
    void run(const std::vector<double>& in, std::vector<double>& out) {
        std::vector<double> x = in;
        if (pairs) {
            x.clear();
            for (size_t i = 0; i + 1 < in.size(); i += 2)
                x.push_back((in[i] + in[i + 1]) / 2);
        }
        for (size_t i = 0; i + 1 < x.size(); i += 2) {
            double o = allPass(S[0], x[i], resampler_down2_1) + allPass(S[1], x[i + 1], resampler_down2_0);
            out.push_back(clamp16(o / 2));
        }
    }
};

// Second-order AR section: o = x + a0 o[-1] + a1 o[-2] (Q14 coefficients), kept unclamped.
struct Ar2 {
    double S[2]{};
    void run(const std::vector<double>& in, const int16_t* a, std::vector<double>& out) {
        for (double x : in) {
            double o = S[0] + x;
            out.push_back(o);
            S[0] = S[1] + o * a[0] / 16384;
            S[1] = o * a[1] / 16384;
        }
    }
};

struct Arma4 {
    double S[4]{};
    void run(const std::vector<double>& in, const int16_t* c, std::vector<double>& out) {
        for (double x : in) {
            double o1 = x + S[0] * 4;
            double o2 = o1 + S[2] * 4;
            double t = S[1] + x * c[0] / 65536;
            S[0] = t + o1 * c[2] / 65536;
            t = S[3] + o1 * c[1] / 65536;
            S[2] = t + o2 * c[4] / 65536;
            S[1] = x / 4 + o1 * c[3] / 65536;
            S[3] = o1 / 4 + o2 * c[5] / 65536;
            out.push_back(clamp16(o2 * c[6] / 65536));
        }
    }
};

// The whole resampler: configuration by the ratio, blocks and positions as the codec's.
struct Resampler {
    enum Kind { Copy, Up2HqMain, IirFir, DownFir } kind = Copy;
    int pre = 0, post = 0, batchPrePost = 0, batch = 0, input2x = 0, halve = 0, fracs = 0;
    int64_t ratioQ16 = 0, invQ16 = 0;
    const int16_t* coefs = nullptr;
    bool arma = false, hq = false;
    Down2 preStage;
    Up2 postStage;
    Up2Hq up2hq;
    Up2 up2;
    Down2 down2;
    Ar2 ar2;
    Arma4 arma4;
    std::vector<double> hist;

    Resampler(int32_t in, int32_t out) {
        if (in > 96000)
            pre = 2;
        else if (in > 48000)
            pre = 1;
        if (out > 96000)
            post = 2;
        else if (out > 48000)
            post = 1;
        preStage.pairs = pre == 2;
        postStage.repeat = post == 2 ? 2 : 1;
        if (pre + post > 0) {
            ratioQ16 = (static_cast<int64_t>(out) << 13) / in << 3;
            while ((ratioQ16 * in) >> 16 < out)
                ++ratioQ16;
            batchPrePost = in / 100;
            in >>= pre;
            out >>= post;
        }
        batch = in / 100;
        if (in % 100 != 0) {
            int cycle = in / std::gcd(in, out);
            batch = 480 / cycle == 0 ? 480 : 480 / cycle * cycle;
        }
        struct Fir {
            int num, den, fracs, halve;
            const int16_t* coefs;
        } firs[] = {{3, 4, 3, 0, Resampler_3_4_COEFS.data()}, {2, 3, 2, 0, Resampler_2_3_COEFS.data()},
                    {1, 2, 1, 0, Resampler_1_2_COEFS.data()}, {3, 8, 3, 0, Resampler_3_8_COEFS.data()},
                    {1, 3, 1, 0, Resampler_1_3_COEFS.data()}, {1, 4, 1, 1, Resampler_1_2_COEFS.data()},
                    {1, 6, 1, 1, Resampler_1_3_COEFS.data()}};
        struct Arma {
            int num;
            const int16_t* coefs;
        } armas[] = {{80, Resampler_80_441_ARMA4_COEFS.data()},
                     {120, Resampler_120_441_ARMA4_COEFS.data()},
                     {160, Resampler_160_441_ARMA4_COEFS.data()},
                     {240, Resampler_240_441_ARMA4_COEFS.data()},
                     {320, Resampler_320_441_ARMA4_COEFS.data()}};
        if (out == in) {
            kind = Copy;
        } else if (out == 2 * in) {
            kind = Up2HqMain;
        } else {
            kind = IirFir;
            input2x = 1;
            hq = in <= 24000;
            if (out < in) {
                for (const Fir& f : firs)
                    if (kind == IirFir && out * f.den == in * f.num) {
                        kind = DownFir;
                        input2x = halve = f.halve;
                        fracs = f.fracs;
                        coefs = f.coefs;
                    }
                for (const Arma& a : armas)
                    if (kind == IirFir && out * 441 == in * a.num) {
                        arma = true;
                        input2x = 0;
                        coefs = a.coefs;
                    }
            }
        }
        const int up = kind == IirFir ? input2x : 0;
        invQ16 = (static_cast<int64_t>(in) << (14 + up - halve)) / out << 2;
        while ((invQ16 * (static_cast<int64_t>(out) << halve)) >> 16 < (static_cast<int64_t>(in) << up))
            ++invQ16;
        hist.assign(kind == DownFir ? 12 : 6, 0.0);
    }

    void iirFir(const std::vector<double>& in, std::vector<double>& out) {
        for (size_t pos = 0; pos < in.size() || pos == 0;) {
            size_t n = std::min(in.size() - pos, static_cast<size_t>(batch));
            std::vector<double> x(in.begin() + static_cast<long>(pos),
                                  in.begin() + static_cast<long>(pos + n));
            std::vector<double> buf = hist;
            if (arma)
                arma4.run(x, coefs, buf);
            else if (hq)
                up2hq.run(x, buf);
            else
                up2.run(x, buf);
            for (int64_t index = 0; index < static_cast<int64_t>(n) << (16 + input2x); index += invQ16) {
                const int64_t phase = ((index & 0xFFFF) * 144) >> 16;
                const double* b = buf.data() + (index >> 16);
                const int16_t* f = resampler_frac_FIR_144.data() + 3 * phase;
                const int16_t* g = resampler_frac_FIR_144.data() + 3 * (143 - phase);
                double sum =
                    b[0] * f[0] + b[1] * f[1] + b[2] * f[2] + b[3] * g[2] + b[4] * g[1] + b[5] * g[0];
                out.push_back(clamp16(sum / 32768));
            }
            hist.assign(buf.end() - 6, buf.end());
            pos += n;
            if (n == 0) break;
        }
    }

    void downFir(const std::vector<double>& in, std::vector<double>& out) {
        for (size_t pos = 0;;) {
            size_t n = std::min(in.size() - pos, static_cast<size_t>(batch));
            std::vector<double> x(in.begin() + static_cast<long>(pos),
                                  in.begin() + static_cast<long>(pos + n));
            if (halve) {
                std::vector<double> h;
                down2.run(x, h);
                x = h;
            }
            std::vector<double> buf = hist;
            ar2.run(x, coefs, buf);
            const int16_t* fir = coefs + 2;
            for (int64_t index = 0; index < static_cast<int64_t>(x.size()) << 16; index += invQ16) {
                const int64_t phase = ((index & 0xFFFF) * fracs) >> 16;
                const double* b = buf.data() + (index >> 16);
                const int16_t* f = fir + 6 * phase;
                const int16_t* g = fir + 6 * (fracs - 1 - phase);
                double sum = 0;
                for (int j = 0; j < 6; ++j)
                    sum += b[j] * f[j] + b[11 - j] * g[j];
                out.push_back(clamp16(sum / 16384));
            }
            hist.assign(buf.end() - 12, buf.end());
            pos += x.size() << halve;
            if (in.size() - pos <= static_cast<size_t>(halve)) break;
        }
    }

    void main(const std::vector<double>& in, std::vector<double>& out) {
        switch (kind) {
        case Copy:
            out.insert(out.end(), in.begin(), in.end());
            break;
        case Up2HqMain:
            up2hq.run(in, out);
            break;
        case IirFir:
            iirFir(in, out);
            break;
        case DownFir:
            downFir(in, out);
            break;
        }
    }

    // One call of the resampler.
    std::vector<double> run(const std::vector<double>& in) {
        std::vector<double> out;
        if (pre + post == 0) {
            main(in, out);
            return out;
        }
        for (size_t pos = 0; pos < in.size();) {
            size_t n = std::min(in.size() - pos, static_cast<size_t>(batchPrePost));
            std::vector<double> x(in.begin() + static_cast<long>(pos),
                                  in.begin() + static_cast<long>(pos + n));
            const size_t nOut = static_cast<size_t>((ratioQ16 * static_cast<int64_t>(n)) >> 16);
            if (pre > 0) {
                std::vector<double> d;
                preStage.run(x, d);
                d.resize(n >> pre);
                x = d;
            }
            if (post > 0) {
                std::vector<double> m;
                main(x, m);
                m.resize(nOut >> post);
                postStage.run(m, out);
            } else {
                main(x, out);
            }
            pos += n;
        }
        return out;
    }
};

} // namespace ref

struct Signal {
    const char* name;
    std::vector<int16_t> samples;
};

std::vector<Signal> testSignals(int32_t rate) {
    const int n = rate / 8;
    std::vector<Signal> signals;
    std::vector<int16_t> sweep(static_cast<size_t>(n)), noise(static_cast<size_t>(n)),
        impulse(static_cast<size_t>(n)), fullScale(static_cast<size_t>(n));
    uint32_t seed = 12345;
    for (int i = 0; i < n; ++i) {
        // Sweep from 50 Hz to 90 % of the input's Nyquist frequency.
        double t = static_cast<double>(i) / rate, duration = static_cast<double>(n) / rate;
        double f0 = 50, f1 = 0.45 * rate;
        double phase = 2 * M_PI * (f0 * t + (f1 - f0) * t * t / (2 * duration));
        sweep[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(16000 * std::sin(phase)));
        seed = seed * 1664525u + 1013904223u;
        noise[static_cast<size_t>(i)] = static_cast<int16_t>(static_cast<int32_t>(seed >> 16) - 32768);
        // Full scale: a 300 Hz square wave from -32768 to 32767, which drives every stage into saturation.
        fullScale[static_cast<size_t>(i)] = (i * 600 / rate) % 2 == 0 ? int16_t{32767} : int16_t{-32768};
    }
    impulse[7] = 32767;
    signals.push_back({"sweep", sweep});
    signals.push_back({"noise", noise});
    signals.push_back({"impulse", impulse});
    signals.push_back({"full scale", fullScale});
    return signals;
}

// Resamples with the code and the model in the same chunks; returns the largest difference
// (and fails on a different output count).
double largestError(int32_t inRate, int32_t outRate, const std::vector<int16_t>& in,
                    const std::vector<int>& chunks, const std::string& what) {
    SilkResamplerState s;
    EXPECT_EQ(silkResamplerInit(s, inRate, outRate), 0);
    ref::Resampler model(inRate, outRate);
    double worst = 0;
    size_t pos = 0, k = 0, total = 0;
    while (pos < in.size()) {
        int n = std::min<int>(chunks[k++ % chunks.size()], static_cast<int>(in.size() - pos));
        // Run the call twice from the same state into buffers of different filling: the samples
        // written are the common prefix, whatever their values.
        SilkResamplerState before = s;
        std::vector<int16_t> a(static_cast<size_t>(n) * 12 + 64, 0x1234), b(a.size(), 0x4321);
        EXPECT_EQ(silkResample(s, a.data(), in.data() + pos, n), 0);
        EXPECT_EQ(silkResample(before, b.data(), in.data() + pos, n), 0);
        size_t written = 0;
        while (written < a.size() && a[written] == b[written])
            ++written;
        std::vector<double> x(in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos) + n);
        std::vector<double> expected = model.run(x);
        EXPECT_EQ(written, expected.size()) << what << " at input " << pos;
        for (size_t i = 0; i < std::min(written, expected.size()); ++i)
            worst = std::max(worst, std::abs(a[i] - expected[i]));
        pos += static_cast<size_t>(n);
        total += written;
    }
    EXPECT_GT(total, in.size() * static_cast<size_t>(outRate) / static_cast<size_t>(inRate) / 2) << what;
    return worst;
}

struct PathCase {
    const char* path;
    int32_t in, out;
    // How many times the signal is rounded to 16 bits on its way (intermediate buffers and the
    // output).
    int roundings;
};

// Tolerance, in 16-bit steps: half a step for each rounding to 16 bits, and half a step more
// for the truncating Q16 multiplies. Those cut less than one unit of a Q10 or Q8 state per
// sample, which the all-pass, AR and ARMA recursions carry on but which stays far below a
// step; the FIR and interpolation sections that follow a rounded buffer have gains near 1, so
// its half step reaches the output about unchanged. Largest errors seen: 0.50 (2x) and 0.63
// (FIRs alone) with one rounding, 1.29 with two, 1.68 with three.
double tolerance(const PathCase& c) {
    return 0.5 * (c.roundings + 1);
}

void checkPaths(const std::vector<PathCase>& cases) {
    for (const PathCase& c : cases) {
        for (const Signal& sig : testSignals(c.in)) {
            const int block = c.in / 100;
            struct Chunking {
                const char* name;
                std::vector<int> sizes;
            } chunkings[] = {{"10 ms blocks", {block}},
                             {"odd chunks", {1, 7, 33, 113, block + 3, 2 * block - 1}}};
            for (const Chunking& ch : chunkings) {
                std::string what = std::string(c.path) + " " + std::to_string(c.in) + " -> " +
                                   std::to_string(c.out) + ", " + sig.name + ", " + ch.name;
                double worst = largestError(c.in, c.out, sig.samples, ch.sizes, what);
                EXPECT_LE(worst, tolerance(c)) << what;
            }
        }
    }
}

} // namespace

TEST(SilkResamplerModel, DownFirRatios) {
    checkPaths({{"3:4 FIR", 32000, 24000, 1},
                {"3:4 FIR", 16000, 12000, 1},
                {"2:3 FIR", 24000, 16000, 1},
                {"2:3 FIR", 48000, 32000, 1},
                {"1:2 FIR", 24000, 12000, 1},
                {"3:8 FIR", 32000, 12000, 1},
                {"1:3 FIR", 24000, 8000, 1},
                {"1:3 FIR", 48000, 16000, 1},
                {"halved + 1:2 FIR", 32000, 8000, 2},
                {"halved + 1:2 FIR", 48000, 12000, 2},
                {"halved + 1:3 FIR", 48000, 8000, 2}});
}

TEST(SilkResamplerModel, TwoTimesStages) {
    checkPaths({{"2x HQ", 8000, 16000, 1},
                {"2x HQ", 24000, 48000, 1},
                {"2x HQ + interpolator", 8000, 12000, 2},
                {"2x HQ + interpolator", 12000, 16000, 2},
                {"2x HQ + interpolator, down", 16000, 11025, 2},
                {"2x HQ + interpolator, down", 24000, 22050, 2},
                {"2x LQ + interpolator", 32000, 48000, 2},
                {"2x LQ + interpolator", 44100, 48000, 2},
                {"2x LQ + interpolator, down", 48000, 44100, 2},
                {"2x LQ + interpolator, down", 32000, 22050, 2}});
}

TEST(SilkResamplerModel, Arma4AndPrePostStages) {
    checkPaths({{"ARMA4 80:441", 44100, 8000, 2},
                {"ARMA4 120:441", 44100, 12000, 2},
                {"ARMA4 160:441", 44100, 16000, 2},
                {"ARMA4 240:441", 44100, 24000, 2},
                {"ARMA4 320:441", 44100, 32000, 2},
                {"Down2 first", 96000, 24000, 2},
                {"Down2 first", 88200, 16000, 3},
                {"Down4 first", 192000, 16000, 2},
                {"Down4 first", 192000, 8000, 3},
                {"Up2 after", 24000, 96000, 2},
                {"Up4 after", 24000, 192000, 2},
                {"Down2 first, Up2 after", 96000, 64000, 3}});
}

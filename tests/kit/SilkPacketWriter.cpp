#include "tests/kit/SilkPacketWriter.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "media/silk/SilkTables.h"

namespace kit {

namespace t = silk::tables;

namespace {

constexpr int32_t kShellMax[4] = {18, 12, 8, 6};

// Encodes the split of `v[0..n)` (sum `count`) into halves, depth first like the decoder.
bool encodeShell(SilkRangeEncoder& enc, const int32_t* v, int n, int level) {
    static const uint16_t* const tables[4] = {t::shell_code_table3.data(), t::shell_code_table2.data(),
                                              t::shell_code_table1.data(), t::shell_code_table0.data()};
    int32_t count = 0;
    for (int i = 0; i < n; ++i)
        count += v[i];
    if (count == 0 || n == 1) return true;
    if (count > kShellMax[level]) return false; // the decoder stops with an error here
    int32_t left = 0;
    for (int i = 0; i < n / 2; ++i)
        left += v[i];
    enc.encode(left, tables[level] + t::shell_code_table_offsets[static_cast<size_t>(count)]);
    if (!encodeShell(enc, v, n / 2, level + 1)) return false;
    return encodeShell(enc, v + n / 2, n / 2, level + 1);
}

} // namespace

void SilkPacketWriter::addFrame(const SilkFrameSymbols& f) {
    SilkRangeEncoder& e = enc_;
    if (frames_ == 0) {
        e.encode(f.rateIndex, t::SamplingRates_CDF.data());
        fsKHz_ = t::SamplingRates_table[static_cast<size_t>(f.rateIndex)];
        e.encode(f.typeOffset, t::type_offset_CDF.data());
    } else {
        e.encode(f.typeOffset, t::type_offset_joint_CDF.data() + 5 * prevTypeOffset_);
    }
    prevTypeOffset_ = f.typeOffset;
    const int32_t sigtype = f.typeOffset >> 1;
    const int32_t offsetType = f.typeOffset & 1;
    if (frames_ == 0)
        e.encode(f.gainIndices[0], t::gain_CDF.data() + 65 * sigtype);
    else
        e.encode(f.gainIndices[0], t::delta_gain_CDF.data());
    for (int k = 1; k < 4; ++k)
        e.encode(f.gainIndices[k], t::delta_gain_CDF.data());
    const t::NlsfCodebook& cb = fsKHz_ == 8 ? (sigtype == 0 ? t::NLSF_CB0_10 : t::NLSF_CB1_10)
                                            : (sigtype == 0 ? t::NLSF_CB0_16 : t::NLSF_CB1_16);
    for (int32_t s = 0; s < cb.nStages; ++s)
        e.encode(f.nlsfIndices[s], cb.startPtr[s]);
    e.encode(f.interpolation, t::NLSF_interpolation_factor_CDF.data());
    if (sigtype == 0) {
        const uint16_t* lagCdf = fsKHz_ == 8    ? t::pitch_lag_NB_CDF.data()
                                 : fsKHz_ == 12 ? t::pitch_lag_MB_CDF.data()
                                 : fsKHz_ == 16 ? t::pitch_lag_WB_CDF.data()
                                                : t::pitch_lag_SWB_CDF.data();
        e.encode(f.lagIndex, lagCdf);
        e.encode(f.contourIndex, fsKHz_ == 8 ? t::pitch_contour_NB_CDF.data() : t::pitch_contour_CDF.data());
        e.encode(f.perIndex, t::LTP_per_index_CDF.data());
        for (int k = 0; k < 4; ++k)
            e.encode(f.ltpIndices[k], t::LTP_gain_CDF_ptrs[static_cast<size_t>(f.perIndex)]);
        e.encode(f.ltpScaleIndex, t::LTPscale_CDF.data());
    }
    e.encode(f.seed, t::Seed_CDF.data());

    // Pulses.
    const int32_t frameLength = 20 * fsKHz_;
    const int32_t blocks = frameLength / 16;
    std::vector<int32_t> pulses = f.pulses;
    pulses.resize(static_cast<size_t>(frameLength), 0);
    e.encode(f.rateLevel, t::rate_levels_CDF.data() + 10 * sigtype);
    const uint16_t* countCdf = t::pulses_per_block_CDF.data() + 21 * f.rateLevel;
    const uint16_t* lastCdf = t::pulses_per_block_CDF.data() + 21 * 9;
    std::vector<std::vector<int32_t>> high(static_cast<size_t>(blocks), std::vector<int32_t>(16));
    std::vector<int32_t> planes(static_cast<size_t>(blocks), 0);
    bool stop = false;
    for (int32_t b = 0; b < blocks; ++b) {
        planes[static_cast<size_t>(b)] =
            b < static_cast<int32_t>(f.lsbPlanes.size()) ? f.lsbPlanes[static_cast<size_t>(b)] : 0;
        int32_t sum = 0;
        for (int i = 0; i < 16; ++i) {
            int32_t m = std::abs(pulses[static_cast<size_t>(b * 16 + i)]) >> planes[static_cast<size_t>(b)];
            high[static_cast<size_t>(b)][static_cast<size_t>(i)] = m;
            sum += m;
        }
        if (b < static_cast<int32_t>(f.forcedCountSymbols.size()) &&
            !f.forcedCountSymbols[static_cast<size_t>(b)].empty()) {
            const auto& syms = f.forcedCountSymbols[static_cast<size_t>(b)];
            for (size_t k = 0; k < syms.size(); ++k)
                e.encode(syms[k], k == 0 ? countCdf : lastCdf);
            if (syms.back() == 19) stop = true; // the decoder refuses the block here
            continue;
        }
        for (int32_t p = 0; p < planes[static_cast<size_t>(b)]; ++p)
            e.encode(19, p == 0 ? countCdf : lastCdf);
        e.encode(sum, planes[static_cast<size_t>(b)] == 0 ? countCdf : lastCdf);
    }
    if (stop) return;
    for (int32_t b = 0; b < blocks; ++b)
        if (!encodeShell(e, high[static_cast<size_t>(b)].data(), 16, 0)) return;
    for (int32_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 16 && planes[static_cast<size_t>(b)] > 0; ++i) {
            int32_t m = std::abs(pulses[static_cast<size_t>(b * 16 + i)]);
            for (int32_t p = planes[static_cast<size_t>(b)] - 1; p >= 0; --p)
                e.encode((m >> p) & 1, t::lsb_CDF.data());
        }
    }
    const uint16_t signCdf[3] = {
        0, t::sign_CDF[static_cast<size_t>(9 * (2 * sigtype + offsetType) + f.rateLevel)], 65535};
    for (int32_t i = 0; i < frameLength; ++i)
        if (pulses[static_cast<size_t>(i)] != 0)
            e.encode(pulses[static_cast<size_t>(i)] > 0 ? 1 : 0, signCdf);
    e.encode(f.vad, t::vadflag_CDF.data());
    e.encode(f.termination, t::FrameTermination_CDF.data());
    ++frames_;
}

std::vector<uint8_t> SilkPacketWriter::finish(const std::vector<uint8_t>& trailer) {
    enc_.wrapUp();
    std::vector<uint8_t> out = enc_.bytes();
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

std::vector<uint8_t> silkPacket(const SilkFrameSymbols& frame, const std::vector<uint8_t>& trailer) {
    SilkPacketWriter w;
    w.addFrame(frame);
    return w.finish(trailer);
}

std::vector<uint8_t> silkVoiceFile(const std::vector<std::vector<uint8_t>>& packets, bool leading02) {
    static const std::string magic = "#!SILK_V3";
    std::vector<uint8_t> out(magic.begin(), magic.end());
    if (leading02) out.insert(out.begin(), uint8_t{0x02});
    for (const auto& p : packets) {
        out.push_back(static_cast<uint8_t>(p.size() & 0xFF));
        out.push_back(static_cast<uint8_t>((p.size() >> 8) & 0xFF));
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

} // namespace kit

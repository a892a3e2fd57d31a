// The generated codec tables: every distribution is a valid CDF, every start index lies
// inside its table, sizes are as documented and the NLSF stages fill their codebooks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/silk/SilkTables.h"

namespace t = silk::tables;

namespace {

struct Cdf {
    std::string name;
    const uint16_t* cdf;
    int32_t entries;
    int32_t start;
};

std::vector<Cdf> allCdfs() {
    std::vector<Cdf> v = {
        {"type_offset", t::type_offset_CDF.data(), 5, t::type_offset_CDF_offset},
        {"delta_gain", t::delta_gain_CDF.data(), 46, t::delta_gain_CDF_offset},
        {"pitch_lag_NB", t::pitch_lag_NB_CDF.data(), 130, t::pitch_lag_NB_CDF_offset},
        {"pitch_lag_MB", t::pitch_lag_MB_CDF.data(), 194, t::pitch_lag_MB_CDF_offset},
        {"pitch_lag_WB", t::pitch_lag_WB_CDF.data(), 258, t::pitch_lag_WB_CDF_offset},
        {"pitch_lag_SWB", t::pitch_lag_SWB_CDF.data(), 386, t::pitch_lag_SWB_CDF_offset},
        {"pitch_contour_NB", t::pitch_contour_NB_CDF.data(), 12, t::pitch_contour_NB_CDF_offset},
        {"pitch_contour", t::pitch_contour_CDF.data(), 35, t::pitch_contour_CDF_offset},
        {"LTP_per_index", t::LTP_per_index_CDF.data(), 4, t::LTP_per_index_CDF_offset},
        {"LTPscale", t::LTPscale_CDF.data(), 4, t::LTPscale_offset},
        {"vadflag", t::vadflag_CDF.data(), 3, t::vadflag_offset},
        {"SamplingRates", t::SamplingRates_CDF.data(), 5, t::SamplingRates_offset},
        {"NLSF_interpolation", t::NLSF_interpolation_factor_CDF.data(), 6,
         t::NLSF_interpolation_factor_offset},
        {"FrameTermination", t::FrameTermination_CDF.data(), 5, t::FrameTermination_offset},
        {"Seed", t::Seed_CDF.data(), 5, t::Seed_offset},
        {"lsb", t::lsb_CDF.data(), 3, 1},
    };
    for (int r = 0; r < 4; ++r)
        v.push_back({"type_offset_joint " + std::to_string(r), t::type_offset_joint_CDF.data() + 5 * r, 5,
                     t::type_offset_CDF_offset});
    for (int r = 0; r < 2; ++r) {
        v.push_back({"gain " + std::to_string(r), t::gain_CDF.data() + 65 * r, 65, t::gain_CDF_offset});
        v.push_back({"rate_levels " + std::to_string(r), t::rate_levels_CDF.data() + 10 * r, 10,
                     t::rate_levels_CDF_offset});
    }
    for (int r = 0; r < 10; ++r)
        v.push_back({"pulses_per_block " + std::to_string(r), t::pulses_per_block_CDF.data() + 21 * r, 21,
                     t::pulses_per_block_CDF_offset});
    const int32_t ltpSizes[3] = {11, 21, 41};
    for (int r = 0; r < 3; ++r)
        v.push_back({"LTP_gain " + std::to_string(r), t::LTP_gain_CDF_ptrs[static_cast<size_t>(r)],
                     ltpSizes[r], t::LTP_gain_CDF_offsets[static_cast<size_t>(r)]});
    struct Shell {
        const uint16_t* table;
        int maxCount;
    } shells[4] = {{t::shell_code_table3.data(), 18},
                   {t::shell_code_table2.data(), 12},
                   {t::shell_code_table1.data(), 8},
                   {t::shell_code_table0.data(), 6}};
    for (int l = 0; l < 4; ++l)
        for (int n = 1; n <= shells[l].maxCount; ++n)
            v.push_back({"shell " + std::to_string(l) + " count " + std::to_string(n),
                         shells[l].table + t::shell_code_table_offsets[static_cast<size_t>(n)], n + 2,
                         n >> 1});
    const t::NlsfCodebook* cbs[4] = {&t::NLSF_CB0_10, &t::NLSF_CB1_10, &t::NLSF_CB0_16, &t::NLSF_CB1_16};
    for (int c = 0; c < 4; ++c)
        for (int s = 0; s < cbs[c]->nStages; ++s)
            v.push_back({"NLSF " + std::to_string(c) + " stage " + std::to_string(s), cbs[c]->startPtr[s],
                         cbs[c]->stages[s].nVectors + 1, cbs[c]->middleIx[s]});
    return v;
}

TEST(SilkTables, EveryCdfStartsAtZeroEndsAtMaxAndNeverDescends) {
    for (const Cdf& c : allCdfs()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.cdf[0], 0);
        EXPECT_EQ(c.cdf[c.entries - 1], 65535);
        for (int i = 1; i < c.entries; ++i)
            EXPECT_GE(c.cdf[i], c.cdf[i - 1]) << i;
        EXPECT_GE(c.start, 0);
        EXPECT_LT(c.start, c.entries - 1);
    }
}

TEST(SilkTables, SizesAsDocumented) {
    EXPECT_EQ(t::shell_code_table0.size(), 33u);
    EXPECT_EQ(t::shell_code_table1.size(), 52u);
    EXPECT_EQ(t::shell_code_table2.size(), 102u);
    EXPECT_EQ(t::shell_code_table3.size(), 207u);
    EXPECT_EQ(t::shell_code_table_offsets.size(), 19u);
    EXPECT_EQ(t::sign_CDF.size(), 36u);
    EXPECT_EQ(t::LSFCosTab_FIX_Q12.size(), 129u);
    EXPECT_EQ(t::resampler_frac_FIR_144.size(), 144u * 3);
    EXPECT_EQ(t::CB_lags_stage2.size(), 4u * 11);
    EXPECT_EQ(t::CB_lags_stage3.size(), 4u * 34);
    EXPECT_EQ(t::LTP_gain_vq_0_Q14.size(), 10u * 5);
    EXPECT_EQ(t::LTP_gain_vq_1_Q14.size(), 20u * 5);
    EXPECT_EQ(t::LTP_gain_vq_2_Q14.size(), 40u * 5);
    EXPECT_EQ(t::Resampler_3_4_COEFS.size(), 2u + 3 * 6);
    EXPECT_EQ(t::Resampler_2_3_COEFS.size(), 2u + 2 * 6);
    EXPECT_EQ(t::Resampler_1_2_COEFS.size(), 2u + 6);
    EXPECT_EQ(t::Resampler_3_8_COEFS.size(), 2u + 3 * 6);
    EXPECT_EQ(t::Resampler_1_3_COEFS.size(), 2u + 6);
    EXPECT_EQ(t::Resampler_80_441_ARMA4_COEFS.size(), 7u);
    EXPECT_EQ(t::SamplingRates_table[0], 8);
    EXPECT_EQ(t::SamplingRates_table[3], 24);
    EXPECT_STREQ(t::kVersion, "1.0.9.6");
}

TEST(SilkTables, NlsfStagesFillTheirCodebooks) {
    struct Case {
        const t::NlsfCodebook* cb;
        int order;
        size_t vectorValues;
        size_t cdfEntries;
    } cases[] = {{&t::NLSF_CB0_10, 10, t::NLSF_MSVQ_CB0_10_Q15.size(), t::NLSF_MSVQ_CB0_10_CDF.size()},
                 {&t::NLSF_CB1_10, 10, t::NLSF_MSVQ_CB1_10_Q15.size(), t::NLSF_MSVQ_CB1_10_CDF.size()},
                 {&t::NLSF_CB0_16, 16, t::NLSF_MSVQ_CB0_16_Q15.size(), t::NLSF_MSVQ_CB0_16_CDF.size()},
                 {&t::NLSF_CB1_16, 16, t::NLSF_MSVQ_CB1_16_Q15.size(), t::NLSF_MSVQ_CB1_16_CDF.size()}};
    for (const Case& c : cases) {
        size_t vectors = 0, cdf = 0;
        for (int s = 0; s < c.cb->nStages; ++s) {
            EXPECT_EQ(c.cb->stages[s].vectorsQ15,
                      c.cb->stages[0].vectorsQ15 + vectors * static_cast<size_t>(c.order));
            EXPECT_EQ(c.cb->startPtr[s], c.cb->cdf + cdf);
            vectors += static_cast<size_t>(c.cb->stages[s].nVectors);
            cdf += static_cast<size_t>(c.cb->stages[s].nVectors) + 1;
        }
        EXPECT_EQ(vectors * static_cast<size_t>(c.order), c.vectorValues);
        EXPECT_EQ(cdf, c.cdfEntries);
    }
}

} // namespace

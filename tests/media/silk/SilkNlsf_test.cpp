// NLSF to prediction coefficients, checked against the same filter worked out in double
// precision: each coefficient is the rounded half sum of the two polynomials' terms.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "media/silk/SilkNlsf.h"
#include "media/silk/SilkTables.h"

using namespace silk;

namespace {

// 2cos of one NLSF (Q15), read from the cosine table with linear interpolation (Q20).
int32_t twoCosQ20(int32_t nlsfQ15) {
    const int32_t index = nlsfQ15 >> 8, frac = nlsfQ15 & 255;
    const int32_t lo = tables::LSFCosTab_FIX_Q12[static_cast<size_t>(index)];
    const int32_t hi = tables::LSFCosTab_FIX_Q12[static_cast<size_t>(index + 1)];
    return lo * 256 + (hi - lo) * frac;
}

// The product of (1 - c z^-1 + z^-2) over the given 2cos values, all coefficients, 1.0 = 1.
std::vector<double> symmetricProduct(const std::vector<double>& twoCos) {
    std::vector<double> poly = {1.0};
    for (double c : twoCos) {
        std::vector<double> next(poly.size() + 2, 0.0);
        for (size_t i = 0; i < poly.size(); ++i) {
            next[i] += poly[i];
            next[i + 1] -= c * poly[i];
            next[i + 2] += poly[i];
        }
        poly = std::move(next);
    }
    return poly;
}

struct Reference {
    std::vector<double> exact;   // coefficients in Q12 units, unrounded
    std::vector<double> perTerm; // what rounding each polynomial's part on its own would give
};

Reference reference(const std::vector<int32_t>& nlsf) {
    const size_t order = nlsf.size(), half = order / 2;
    std::vector<double> even, odd;
    for (size_t k = 0; k < order; ++k)
        (k % 2 ? odd : even).push_back(twoCosQ20(nlsf[k]) / double(1 << 20));
    const std::vector<double> P = symmetricProduct(even), Q = symmetricProduct(odd);
    Reference r;
    r.exact.assign(order, 0.0);
    r.perTerm.assign(order, 0.0);
    const double toQ12 = 4096.0 / 2.0; // half the sum, in Q12
    for (size_t k = 0; k < half; ++k) {
        const double p = (P[k + 1] + P[k]) * toQ12; // the difference filter's terms cancel (1 + z^-1)
        const double q = (Q[k + 1] - Q[k]) * toQ12; // and (1 - z^-1)
        r.exact[k] = -(p + q);
        r.exact[order - k - 1] = q - p;
        r.perTerm[k] = -(std::floor(p + 0.5) + std::floor(q + 0.5));
        r.perTerm[order - k - 1] = std::floor(q + 0.5) - std::floor(p + 0.5);
    }
    return r;
}

} // namespace

TEST(SilkNlsf, CoefficientsRoundTheWholeSum) {
    struct Case {
        const char* name;
        std::vector<int32_t> nlsf;
    } cases[] = {
        {"even spacing, 10", {2979, 5958, 8937, 11916, 14895, 17873, 20852, 23831, 26810, 29789}},
        {"even spacing, 16",
         {1928, 3855, 5783, 7710, 9638, 11565, 13493, 15420, 17348, 19275, 21203, 23130, 25058, 26985, 28913,
          30840}},
        {"low formants, 10", {1100, 2300, 4100, 5600, 8200, 10900, 14000, 18500, 23000, 28100}},
        {"voiced shape, 16",
         {1500, 2600, 4900, 6100, 8300, 9700, 12100, 13600, 16000, 18200, 20100, 22500, 24300, 26900, 28800,
          31000}},
        {"uneven, 10", {700, 3300, 4000, 9100, 9900, 15500, 17000, 21300, 26600, 30200}},
        {"uneven, 16",
         {900, 1700, 4400, 5300, 7900, 8800, 11900, 12500, 15800, 17400, 19900, 21900, 23800, 26100, 28700,
          31700}},
    };
    // The fixed-point polynomials carry a few units of rounding in Q20; coefficients whose exact
    // value lies this close to a rounding boundary are not compared.
    constexpr double kMargin = 0.2;
    bool perTermWouldDiffer = false;
    for (const Case& c : cases) {
        const int32_t order = static_cast<int32_t>(c.nlsf.size());
        std::array<int16_t, 16> a{};
        silkNlsfToLpc(a.data(), c.nlsf.data(), order);
        const Reference r = reference(c.nlsf);
        for (int32_t k = 0; k < order; ++k) {
            const double exact = r.exact[static_cast<size_t>(k)];
            ASSERT_LT(std::fabs(exact), 32767.0) << c.name << ": a case for the unexpanded filter";
            const double frac = exact - std::floor(exact);
            if (std::fabs(frac - 0.5) < kMargin) continue;
            const double rounded = std::floor(exact + 0.5);
            EXPECT_EQ(a[static_cast<size_t>(k)], static_cast<int16_t>(rounded)) << c.name << " k=" << k;
            if (r.perTerm[static_cast<size_t>(k)] != rounded) perTermWouldDiffer = true;
        }
    }
    // The table holds a coefficient where rounding each part alone would come out differently.
    EXPECT_TRUE(perTermWouldDiffer);
}

#include "core/sqlite/CarvedRecord.h"
#include "core/util/CheckedTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

TEST(CheckedTime, DoubleToSecondsRejectsWhatDoesNotFit) {
    struct Case {
        double in;
        std::optional<int64_t> out;
    } cases[] = {
        {1.9, 1},
        {-1.9, -1},
        {0.0, 0},
        {std::nan(""), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
        {9.3e18, std::nullopt},
        {-9.3e18, std::nullopt},
        {9.2e18, int64_t(9200000000000000000)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, doubleToSeconds(c.in)) << c.in;
}

TEST(CheckedTime, AppleToUnixIsCheckedAgainstOverflow) {
    EXPECT_EQ(978307200, appleToUnixChecked(0));
    EXPECT_EQ(std::nullopt, appleToUnixChecked(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(std::numeric_limits<int64_t>::min() + 978307200,
              appleToUnixChecked(std::numeric_limits<int64_t>::min()));
    EXPECT_EQ(978307200 + 600000000, appleDoubleToUnix(600000000.75));
    EXPECT_EQ(std::nullopt, appleDoubleToUnix(std::nan("")));
}

TEST(CheckedTime, CarvedDateRangeIsFromDecember2000UpToNow) {
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    EXPECT_TRUE(isPlausibleCarvedDate(978278400));
    EXPECT_FALSE(isPlausibleCarvedDate(978278399));
    EXPECT_TRUE(isPlausibleCarvedDate(now - 10));
    EXPECT_FALSE(isPlausibleCarvedDate(now + 3600));
}

TEST(CheckedTime, CarvedSlotReadingPerKind) {
    CarvedValue v{};
    v.i64 = 0;
    v.i32 = -1; // a one-byte -1 lands in the low half, the high half stays 0
    EXPECT_EQ(-1, carvedInteger(KindInt8, &v));
    EXPECT_EQ(-1, carvedInteger(KindInt32, &v));
    v.i64 = -5;
    EXPECT_EQ(-5, carvedInteger(KindInt64, &v));
    EXPECT_EQ(-5, carvedInteger(KindDouble, &v));
    EXPECT_EQ(std::nullopt, carvedInteger(KindText, &v));
    EXPECT_EQ(std::nullopt, carvedInteger(KindNull, &v));
    EXPECT_EQ(std::nullopt, carvedInteger(KindNotRead, &v));
    EXPECT_EQ(std::nullopt, carvedInteger(KindInt8, nullptr));
}

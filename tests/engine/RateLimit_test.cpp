#include "engine/RateLimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace harbrook::testing {
namespace {

TEST(RateLimit, RatesAreReadAsCurlReadsThem) {
    const std::pair<const char*, std::int64_t> rows[] = {
        {"2048", 2048}, {"0", 0}, {"500k", 512000}, {"10M", 10485760}, {"1.5m", 1572864}, {"1G", 1073741824},
        {"", -1}, {"10x", -1}, {"-5", -1}, {"k", -1}, {"10kk", -1}, {"1e400", -1}, {" 10", -1}, {"nan", -1},
    };
    for (const auto& [text, rate] : rows) {
        EXPECT_EQ(ParseRate(text), rate) << text;
    }
}

TEST(RateLimit, BlocksShrinkUnderALowLimitAndAStopEndsTheWait) {
    TRateLimit limit;
    EXPECT_EQ(limit.BlockFor(65536), 65536) << "no limit: the block as asked";
    limit.SetRate(1);
    EXPECT_EQ(limit.BlockFor(65536), 1);
    limit.SetRate(10 << 20);
    EXPECT_EQ(limit.BlockFor(65536), 65536);
    limit.SetRate(100000);
    EXPECT_EQ(limit.BlockFor(65536), 10000) << "a tenth of a second's worth";
    // 1 byte/s and a block of 64 KiB already moved: the wait would be 18 hours; a stop
    // ends it within a slice.
    limit.SetRate(1);
    std::atomic<int> looks{0};
    const auto started = std::chrono::steady_clock::now();
    limit.Pay(65536, [&] { return ++looks > 2; });
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_GE(looks.load(), 3);
    limit.SetRate(0);
    limit.Pay(1 << 30, [] { return false; });
    SUCCEED() << "no limit: no wait";
}

}  // namespace
}  // namespace harbrook::testing

#include "quorlix/core/Timer.h"
#include "quorlix/core/RandomGenerator.h"
#include "quorlix/platform/Threading.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace Quorlix;

TEST(Timer, CountsNanosecondsAndSettersTruncateAndClamp) {
    EXPECT_EQ(Timer::TicksToSeconds(-2000000000), -2.0);
    EXPECT_EQ(Timer::TicksToMilliSeconds(1500000), 1.5);
    EXPECT_EQ(Timer::TicksToMicroSeconds(1500), 1.5);

    // Elapsed time follows the system timer: a sleep of 20 ms shows as at least 20 ms, and
    // never more than the system timer saw around it.
    const int64_t before = Timer::GetSystemTimerTicks();
    Timer timer;
    Platform::SleepMilliseconds(20);
    const int64_t elapsed = timer.GetTicks();
    EXPECT_GE(elapsed, 20000000);
    EXPECT_LE(elapsed, Timer::GetSystemTimerTicks() - before);

    // Right after a setter the elapsed value is the one set plus the ticks the system timer
    // counted across the call, no more (so no fixed window has to allow for a slow machine).
    const auto setsTo = [&timer](int64_t expected, auto set) {
        const int64_t start = Timer::GetSystemTimerTicks();
        set();
        const int64_t ticks = timer.GetTicks();
        const int64_t spent = Timer::GetSystemTimerTicks() - start;
        return ticks >= expected && ticks <= expected + spent;
    };
    EXPECT_TRUE(setsTo(-7000000000, [&] { timer.SetTicks(-7000000000); }));
    EXPECT_TRUE(setsTo(100500000000, [&] { timer.SetSeconds(100.5); }));
    EXPECT_TRUE(setsTo(3000001, [&] { timer.SetMilliSeconds(3.0000019); }));
    EXPECT_TRUE(setsTo(-1, [&] { timer.SetMicroSeconds(-0.0019); })); // -1.9 ticks: -1
    // Past the tick range and NaN clamp instead of converting out of range.
    EXPECT_TRUE(setsTo(int64_t{1} << 62, [&] { timer.SetSeconds(1e300); }));
    EXPECT_TRUE(setsTo(-(int64_t{1} << 62), [&] { timer.SetSeconds(-1e300); }));
    EXPECT_TRUE(setsTo(0, [&] { timer.SetSeconds(std::nan("")); }));
}

TEST(RandomGenerator, StepsExactlyAsDefined) {
    RandomGenerator random;
    EXPECT_EQ(random.Next(), 1207871362u);
    EXPECT_EQ(random.Next(), 531066041u);
    EXPECT_EQ(random.Next(), 684914155u);
    // Bit 15 of h set: one lower than the minimal standard generator's 772489955.
    EXPECT_EQ(RandomGenerator(150434982).Next(), 772489954u);
    // The one state whose sum is 2^31 stays in range (the plain correction gives 2^32 - 1).
    EXPECT_EQ(RandomGenerator(1407677000).Next(), 0x7FFFFFFFu);
    EXPECT_LT(RandomGenerator(-5).Next(), 0x80000000u);

    bool inRange = true; // and never 0 from the default seed
    for (int i = 0; i < 1000000; ++i) {
        const uint32_t s = random.Next();
        inRange = inRange && s != 0 && s < 0x80000000u;
    }
    EXPECT_TRUE(inRange);
}

TEST(RandomGenerator, DerivesValuesFromTheNewState) {
    RandomGenerator random(987654321), twin(987654321);
    const auto r = [&] { return int64_t{twin.Next()}; };
    for (int n : {0, 6, INT_MAX, -1, -7, INT_MIN})
        EXPECT_EQ(random.GetI32(n), static_cast<int>(r() * (int64_t{n} + 1) / (int64_t{1} << 31)));
    EXPECT_EQ(random.GetU32(0xFFFFFFFFu), static_cast<unsigned>(r() * 2));
    EXPECT_EQ(random.GetI32(-10, 10), static_cast<int>(r() * 21 >> 31) - 10);
    EXPECT_EQ(random.GetU32(5u, 8u), static_cast<unsigned>(r() * 4 >> 31) + 5u);
    EXPECT_EQ(random.GetF32(3.0f), static_cast<float>(r()) * 4.656612873077392578125e-10f * 3.0f);
    EXPECT_EQ(random.GetF32(-1.0f, 2.0f), static_cast<float>(r() / 2147483647.0 * 3.0 - 1.0));
    EXPECT_EQ(random.GetF64(2.0, 4.0), r() * (1.0 / 2147483647.0) * 2.0 + 2.0);

    // The whole 32-bit span stays in range (max - min would wrap in 32 bits).
    bool low = false, high = false, inRange = true;
    for (int i = 0; i < 100000; ++i) {
        const int v = random.GetI32(INT_MIN, INT_MAX);
        low = low || v < -1000000000;
        high = high || v > 1000000000;
        const int small = random.GetI32(3, 5);
        const double f = random.GetF64(-2.0, -1.0);
        inRange = inRange && small >= 3 && small <= 5 && f >= -2.0 && f <= -1.0;
    }
    EXPECT_TRUE(low && high && inRange);
}

TEST(RandomGenerator, ZeroSeedWarnsAndStaysZero) {
    QuorlixTest::LogCapture capture;
    RandomGenerator random;
    random.SetSeed(0);
    EXPECT_EQ(random.GetI32(100), 0);
    EXPECT_EQ(random.GetF64(1.0), 0.0);
    random.SetSeed(77);
    EXPECT_EQ(random.GetState(), 77u);
    EXPECT_EQ(RandomGenerator(0).Next(), 0u); // the constructor stores it silently
    EXPECT_EQ(
        capture.Messages(),
        std::vector<std::string>{"[Warn ]SetSeed: seed == 0. Every Get-Function will return 0!"});
}

#include "quorlix/core/Timer.h"
#include "quorlix/core/RandomGenerator.h"
#include "quorlix/platform/Threading.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

TEST(Timer, CountsNanosecondsFromItsStartAndConvertsUnits) {
    EXPECT_EQ(Timer::TicksToSeconds(1000000000), 1.0);
    EXPECT_EQ(Timer::TicksToMilliSeconds(1500000), 1.5);
    EXPECT_EQ(Timer::TicksToMicroSeconds(1500), 1.5);
    EXPECT_EQ(Timer::TicksToSeconds(-2000000000), -2.0);

    const int64_t before = Timer::GetSystemTimerTicks();
    Timer timer;
    Platform::SleepMilliseconds(20);
    const int64_t elapsed = timer.GetTicks();
    EXPECT_GE(elapsed, 20000000);
    EXPECT_LT(elapsed, 20000000000); // a loaded machine, but not twenty seconds of it
    EXPECT_GE(timer.GetMilliSeconds(), 20.0);
    EXPECT_GE(Timer::GetSystemTimerTicks() - before, elapsed);
    EXPECT_NEAR(Timer::GetSystemTimerSeconds(), Timer::TicksToSeconds(Timer::GetSystemTimerTicks()),
                1.0);
}

TEST(Timer, SettersMoveTheStartAndTruncateToWholeTicks) {
    Timer timer;
    const auto near = [&](int64_t expected) {
        const int64_t ticks = timer.GetTicks();
        return ticks >= expected && ticks < expected + 5000000000;
    };
    timer.SetTicks(-7000000000);
    EXPECT_TRUE(near(-7000000000));
    timer.SetSeconds(100.5);
    EXPECT_TRUE(near(100500000000));
    EXPECT_GE(timer.GetSeconds(), 100.5);
    timer.SetMilliSeconds(3.0000019);
    EXPECT_TRUE(near(3000001));
    timer.SetMicroSeconds(0.0019); // 1.9 ticks truncate to 1
    EXPECT_TRUE(near(1));
    timer.SetMicroSeconds(-0.0019);
    EXPECT_TRUE(near(-1));

    // Beyond the tick range and NaN clamp instead of converting out of range.
    timer.SetSeconds(1e300);
    EXPECT_TRUE(near(int64_t{1} << 62));
    timer.SetSeconds(-1e300);
    EXPECT_TRUE(near(-(int64_t{1} << 62)));
    timer.SetSeconds(std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(near(0));
}

TEST(RandomGenerator, StepsExactlyAsDefined) {
    RandomGenerator random;
    EXPECT_EQ(random.GetState(), 1973272912u);
    EXPECT_EQ(random.Next(), 1207871362u);
    EXPECT_EQ(random.Next(), 531066041u);
    EXPECT_EQ(random.Next(), 684914155u);

    // Bit 15 of h set: one lower than the minimal standard generator's 772489955.
    EXPECT_EQ(RandomGenerator(150434982).Next(), 772489954u);

    // The one state whose sum is 2^31 stays in range (the plain correction gives 2^32 - 1),
    // and so does a negative seed.
    RandomGenerator edge(1407677000);
    EXPECT_EQ(edge.Next(), 0x7FFFFFFFu);
    EXPECT_EQ(edge.GetI32(9), RandomGenerator(0x7FFFFFFF).GetI32(9));
    RandomGenerator negative(-5);
    EXPECT_LT(negative.Next(), 0x80000000u);

    // Copies and assignment carry the state on.
    RandomGenerator copy(random);
    RandomGenerator assigned(42);
    assigned = random;
    const uint32_t next = random.Next();
    EXPECT_EQ(copy.Next(), next);
    EXPECT_EQ(assigned.Next(), next);

    // A million steps from the default seed never reach 0 and never leave 0..2^31-1.
    RandomGenerator walk;
    bool inRange = true;
    for (int i = 0; i < 1000000; ++i) {
        const uint32_t s = walk.Next();
        inRange = inRange && s != 0 && s < 0x80000000u;
    }
    EXPECT_TRUE(inRange);
}

TEST(RandomGenerator, DerivesValuesFromTheNewState) {
    RandomGenerator random(987654321);
    RandomGenerator twin(random);
    for (int n : {0, 1, 6, 1000, INT_MAX, -1, -7, INT_MIN}) {
        const int64_t r = twin.Next();
        EXPECT_EQ(random.GetI32(n), static_cast<int>(r * (int64_t{n} + 1) / (int64_t{1} << 31)));
    }
    for (unsigned n : {0u, 9u, 0xFFFFFFFFu}) {
        const int64_t r = twin.Next();
        EXPECT_EQ(random.GetU32(n), static_cast<unsigned>(r * (int64_t{n} + 1) >> 31));
    }
    {
        const int64_t r = twin.Next();
        EXPECT_EQ(random.GetI32(-10, 10), static_cast<int>(r * 21 >> 31) - 10);
        const int64_t u = twin.Next();
        EXPECT_EQ(random.GetU32(5u, 8u), static_cast<unsigned>(u * 4 >> 31) + 5u);
        const auto f = static_cast<float>(twin.Next());
        EXPECT_EQ(random.GetF32(3.0f), f * 4.656612873077392578125e-10f * 3.0f);
        const double g = twin.Next();
        EXPECT_EQ(random.GetF32(-1.0f, 2.0f), static_cast<float>(g / 2147483647.0 * 3.0 - 1.0));
        const double d = twin.Next();
        EXPECT_EQ(random.GetF64(5.0), d * (1.0 / 2147483647.0) * 5.0);
        const double e = twin.Next();
        EXPECT_EQ(random.GetF64(2.0, 4.0), e * (1.0 / 2147483647.0) * 2.0 + 2.0);
    }

    // Ranges hold, the full 32-bit span included (max - min would wrap in 32 bits).
    RandomGenerator wide;
    bool low = false, high = false, inRange = true;
    for (int i = 0; i < 100000; ++i) {
        const int v = wide.GetI32(INT_MIN, INT_MAX);
        low = low || v < -1000000000;
        high = high || v > 1000000000;
        const int small = wide.GetI32(3, 5);
        const double f = wide.GetF64(-2.0, -1.0);
        inRange = inRange && small >= 3 && small <= 5 && f >= -2.0 && f <= -1.0 &&
                  wide.GetU32(0xFFFFFFFFu) <= 0xFFFFFFFFu && wide.GetI32(-4) >= -4 &&
                  wide.GetI32(-4) <= 0;
    }
    EXPECT_TRUE(low && high && inRange);
}

TEST(RandomGenerator, ZeroSeedWarnsAndStaysZero) {
    LogCapture capture;
    RandomGenerator random;
    random.SetSeed(0);
    EXPECT_EQ(
        capture.Messages(),
        std::vector<std::string>{"[Warn ]SetSeed: seed == 0. Every Get-Function will return 0!"});
    EXPECT_EQ(random.GetI32(100), 0);
    EXPECT_EQ(random.GetF64(1.0), 0.0);
    EXPECT_EQ(random.GetState(), 0u);
    random.SetSeed(77);
    EXPECT_EQ(random.GetState(), 77u);
    EXPECT_EQ(capture.Messages().size(), 1u);
    EXPECT_EQ(RandomGenerator(0).Next(), 0u); // the constructor stores it silently
    EXPECT_EQ(capture.Messages().size(), 1u);
}

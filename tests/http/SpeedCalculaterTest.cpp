#include <gtest/gtest.h>

#include "http/SpeedCalculater.h"

namespace {

class ManualClockSpeed : public SpeedCalculater
{
public:
    DWORD tick = 0;

protected:
    DWORD Now() override { return tick; }
};

TEST(SpeedCalculater, SteadyTransferRampsOverThreeSamples)
{
    ManualClockSpeed speed;
    speed.Init(0);
    ULONGLONG sent = 0;
    const ULONGLONG expected[] = {10000, 20000, 30000, 30000, 30000};
    for (ULONGLONG want : expected) {
        speed.tick += 1000;
        sent += 30000;
        EXPECT_EQ(speed.Sample(sent), want);
    }
}

TEST(SpeedCalculater, SamplesCloserThanOneSecondKeepTheLastResult)
{
    ManualClockSpeed speed;
    speed.Init(0);
    speed.tick = 1000;
    EXPECT_EQ(speed.Sample(3000), 1000u);
    speed.tick = 1999;
    EXPECT_EQ(speed.Sample(900000), 1000u);
    // The bytes of the refused sample count in the next interval.
    speed.tick = 2000;
    EXPECT_EQ(speed.Sample(900000), 300000u);
}

TEST(SpeedCalculater, AverageBelowOneByteTruncatesToZero)
{
    ManualClockSpeed speed;
    speed.Init(100);
    speed.tick = 1000;
    EXPECT_EQ(speed.Sample(102), 0u);
}

TEST(SpeedCalculater, TickWrapDoesNotStallSampling)
{
    ManualClockSpeed speed;
    speed.tick = 0xFFFFFC00u;
    speed.Init(0);
    speed.tick = 0x000003E8u; // 2024 ms later, across the wrap
    EXPECT_EQ(speed.Sample(3000), 1000u);
}

TEST(SpeedCalculater, InitForgetsThePreviousTransfer)
{
    ManualClockSpeed speed;
    speed.Init(0);
    speed.tick = 1000;
    speed.Sample(90000);
    speed.Init(500);
    speed.tick = 1500;
    EXPECT_EQ(speed.Sample(100000), 0u);
    speed.tick = 2000;
    EXPECT_EQ(speed.Sample(3500), 1000u);
}

} // namespace
